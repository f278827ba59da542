#include "PyFtpServer.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <thread>

namespace {

// True once the server greets a connection with its 220 line.
bool Greets(unsigned port) {
    int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    if (fd < 0) {
        return false;
    }
    timeval timeout{1, 0};
    ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof(timeout));
    sockaddr_in sin{};
    sin.sin_family = AF_INET;
    sin.sin_port = htons(static_cast<std::uint16_t>(port));
    sin.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bool greeted = false;
    if (::connect(fd, reinterpret_cast<sockaddr*>(&sin), sizeof(sin)) == 0) {
        char banner[4] = {};
        greeted = ::recv(fd, banner, 3, MSG_WAITALL) == 3 && std::string(banner, 3) == "220";
    }
    ::close(fd);
    return greeted;
}

}  // namespace

PyFtpServer::PyFtpServer(const std::string& user, const std::string& password) {
    const std::string python = "/usr/bin/python3";
    if (::access(python.c_str(), X_OK) != 0 ||
        RunCommand({python, "-c", "import pyftpdlib"}).exitCode != 0) {
        return;
    }
    std::filesystem::create_directories(Root());
    for (int attempt = 0; attempt < 3 && !m_ready; ++attempt) {
        m_port = FreeTcpPort();
        std::vector<std::string> argv = {
            python, "-m",   "pyftpdlib", "-i", "127.0.0.1", "-p", std::to_string(m_port),
            "-d",   Root(), "-w"};
        if (!user.empty()) {
            argv.insert(argv.end(), {"-u", user, "-P", password});
        }
        m_process = std::make_unique<ChildProcess>(argv, std::vector<std::string>{},
                                                   m_dir.File("pyftpdlib.log"));
        auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(15);
        while (std::chrono::steady_clock::now() < deadline && m_process->Running()) {
            if (Greets(m_port)) {
                m_ready = true;
                break;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
    }
}

PyFtpServer::~PyFtpServer() = default;

std::string PyFtpServer::Log() const {
    return ReadTextFile(m_dir.File("pyftpdlib.log"));
}
