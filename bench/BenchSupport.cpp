#include "BenchSupport.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <thread>

#include "core/app/CTarnDoc.h"

void PrintedMessages::ShowMessage(const std::string& text, MessageIcon /*icon*/) {
    std::fprintf(stderr, "message: %s\n", text.c_str());
}

pid_t StartProgram(std::vector<std::string> args, bool quiet) {
    // Made before the fork: the child of a threaded process must not allocate.
    std::vector<char*> argv;
    for (auto& a : args) {
        argv.push_back(a.data());
    }
    argv.push_back(nullptr);
    int null = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
    pid_t pid = ::fork();
    if (pid == 0) {
        ::dup2(null, 1);
        if (quiet) {
            ::dup2(null, 2);
        }
        ::execv(argv[0], argv.data());
        ::_exit(127);
    }
    ::close(null);
    return pid;
}

namespace {

void StopProgram(pid_t pid) {
    if (pid > 0) {
        ::kill(pid, SIGTERM);
        ::waitpid(pid, nullptr, 0);
    }
}

bool Greets(unsigned port) {
    int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    timeval timeout{1, 0};
    ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof(timeout));
    sockaddr_in sin{};
    sin.sin_family = AF_INET;
    sin.sin_port = htons(static_cast<std::uint16_t>(port));
    sin.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    char banner[4] = {};
    bool greeted = ::connect(fd, reinterpret_cast<sockaddr*>(&sin), sizeof(sin)) == 0 &&
                   ::recv(fd, banner, 3, MSG_WAITALL) == 3 && std::string(banner, 3) == "220";
    ::close(fd);
    return greeted;
}

}  // namespace

SimulatedFleet::SimulatedFleet(const std::vector<std::string>& arguments) {
    std::vector<std::string> args = arguments;
    args.insert(args.begin(), ProgramPath("fleetwarden-simfleet"));
    m_pid = StartProgram(args, false);
}

SimulatedFleet::~SimulatedFleet() {
    StopProgram(m_pid);
}

StagingFtpServer::StagingFtpServer(const std::string& root) {
    int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in sin{};
    sin.sin_family = AF_INET;
    sin.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(fd, reinterpret_cast<sockaddr*>(&sin), sizeof(sin));
    socklen_t len = sizeof(sin);
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&sin), &len);
    ::close(fd);
    m_port = ntohs(sin.sin_port);
    m_pid = StartProgram({"/usr/bin/python3", "-m", "pyftpdlib", "-i", "127.0.0.1", "-p",
                          std::to_string(m_port), "-d", root, "-w"},
                         true);
    for (int attempt = 0; attempt < 100 && !m_ready; ++attempt) {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        m_ready = Greets(m_port);
    }
}

StagingFtpServer::~StagingFtpServer() {
    StopProgram(m_pid);
}

std::string ProgramPath(const std::string& name) {
    return std::string(FLEETWARDEN_PROGRAM_DIR) + "/" + name;
}

std::string DefaultSettingsText() {
    std::ifstream in(FLEETWARDEN_SOURCE_DIR "/resources/fleetwarden.ini");
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

unsigned FreeUdpPortOn(const std::string& address) {
    int fd = ::socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in sin{};
    sin.sin_family = AF_INET;
    ::inet_pton(AF_INET, address.c_str(), &sin.sin_addr);
    ::bind(fd, reinterpret_cast<sockaddr*>(&sin), sizeof(sin));
    socklen_t len = sizeof(sin);
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&sin), &len);
    ::close(fd);
    return ntohs(sin.sin_port);
}

std::string MakeTempDir() {
    std::string pattern = "/tmp/fleetwarden-bench-XXXXXX";
    return ::mkdtemp(pattern.data()) ? pattern : std::string("/tmp");
}

void WriteFile(const std::string& path, const std::string& text) {
    std::ofstream out(path, std::ios::trunc);
    out << text;
}

double SecondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

bool WaitUntilAnswering(CTarnDoc& doc, const std::string& address) {
    for (int attempt = 0; attempt < 100; ++attempt) {
        if (doc.GetSnmpOutcome(address, "OidSysName", 0, 100, 0).ok) {
            return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return false;
}
