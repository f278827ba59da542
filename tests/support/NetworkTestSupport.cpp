#include "NetworkTestSupport.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <thread>

#include "TestFiles.h"

namespace {
unsigned FreePort(const std::string& address, int type) {
    int fd = ::socket(AF_INET, type, 0);
    sockaddr_in sin{};
    sin.sin_family = AF_INET;
    ::inet_pton(AF_INET, address.c_str(), &sin.sin_addr);
    sin.sin_port = 0;
    ::bind(fd, reinterpret_cast<sockaddr*>(&sin), sizeof(sin));
    socklen_t len = sizeof(sin);
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&sin), &len);
    ::close(fd);
    return ntohs(sin.sin_port);
}

std::vector<char*> Pointers(std::vector<std::string>& strings) {
    std::vector<char*> pointers;
    for (auto& s : strings) {
        pointers.push_back(s.data());
    }
    pointers.push_back(nullptr);
    return pointers;
}
}  // namespace

unsigned FreeUdpPort(const std::string& address) {
    return FreePort(address, SOCK_DGRAM);
}
unsigned FreeTcpPort(const std::string& address) {
    return FreePort(address, SOCK_STREAM);
}

ChildProcess::ChildProcess(const std::vector<std::string>& argv,
                           const std::vector<std::string>& extraEnv, const std::string& logFile) {
    // The child of a threaded process may only make async-signal-safe calls
    // until it execs: an allocation there can wait forever on a lock another
    // thread held at the fork. So everything it needs is made here.
    std::vector<std::string> args = argv;
    std::vector<std::string> env = extraEnv;  // the first of two equal names wins
    for (char** variable = environ; *variable; ++variable) {
        env.emplace_back(*variable);
    }
    auto pointers = Pointers(args);
    auto environment = Pointers(env);
    int out = ::open(logFile.empty() ? "/dev/null" : logFile.c_str(),
                     O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    m_pid = ::fork();
    if (m_pid == 0) {
        ::dup2(out, 1);
        ::dup2(out, 2);
        ::execvpe(pointers[0], pointers.data(), environment.data());
        ::_exit(127);
    }
    ::close(out);
}

ChildProcess::~ChildProcess() {
    Stop(2.0);
}

bool ChildProcess::Running() {
    if (m_pid <= 0) {
        return false;
    }
    int status = 0;
    pid_t done = ::waitpid(m_pid, &status, WNOHANG);
    if (done == m_pid) {
        m_status = status;
        m_pid = -1;
        return false;
    }
    return true;
}

int ChildProcess::Stop(double seconds) {
    if (m_pid <= 0) {
        return m_status;
    }
    ::kill(m_pid, SIGTERM);
    auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    while (std::chrono::steady_clock::now() < deadline) {
        if (!Running()) {
            return m_status;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    ::kill(m_pid, SIGKILL);
    ::waitpid(m_pid, &m_status, 0);
    m_pid = -1;
    return -1;
}

int ChildProcess::Wait() {
    if (m_pid > 0) {
        ::waitpid(m_pid, &m_status, 0);
        m_pid = -1;
    }
    return m_status;
}

CommandResult RunCommand(const std::vector<std::string>& argv) {
    TempDir dir;
    ChildProcess child(argv, {}, dir.File("output"));
    int status = child.Wait();
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, ReadTextFile(dir.File("output"))};
}

std::vector<std::string> Words(const std::string& text) {
    std::vector<std::string> words;
    std::size_t start = 0;
    for (std::size_t space; (space = text.find(' ', start)) != std::string::npos;
         start = space + 1) {
        words.push_back(text.substr(start, space - start));
    }
    words.push_back(text.substr(start));
    return words;
}

std::string FindProgram(const std::string& name) {
    for (const char* dir : {"/usr/sbin", "/usr/bin", "/sbin", "/bin"}) {
        std::string candidate = std::string(dir) + "/" + name;
        if (::access(candidate.c_str(), X_OK) == 0) {
            return candidate;
        }
    }
    return {};
}
