#include "PyFtpServer.h"

#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <thread>

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
            // Logged once the socket listens.
            if (Log().find(">>> starting FTP server on") != std::string::npos) {
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
