#include "BenchSupport.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
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

SimulatedFleet::SimulatedFleet(const std::vector<std::string>& arguments) {
    std::vector<std::string> args = arguments;
    args.insert(args.begin(), ProgramPath("fleetwarden-simfleet"));
    m_pid = ::fork();
    if (m_pid == 0) {
        int null = ::open("/dev/null", O_WRONLY);
        ::dup2(null, 1);
        std::vector<char*> argv;
        for (auto& a : args) {
            argv.push_back(a.data());
        }
        argv.push_back(nullptr);
        ::execv(argv[0], argv.data());
        ::_exit(127);
    }
}

SimulatedFleet::~SimulatedFleet() {
    if (m_pid > 0) {
        ::kill(m_pid, SIGTERM);
        ::waitpid(m_pid, nullptr, 0);
    }
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
