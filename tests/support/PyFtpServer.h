#pragma once

#include <memory>
#include <string>

#include "NetworkTestSupport.h"
#include "TestFiles.h"

// pyftpdlib as an FTP server on 127.0.0.1 and a free port, serving a fresh
// directory with write access: anonymous, or only the given user when one is
// given. pyftpdlib answers a wrong password after about 3 seconds.
class PyFtpServer {
public:
    explicit PyFtpServer(const std::string& user = {}, const std::string& password = {});
    ~PyFtpServer();

    // False when pyftpdlib is not installed or did not come up.
    bool Ready() const { return m_ready; }
    unsigned Port() const { return m_port; }
    // The served directory: "/" on the server.
    std::string Root() const { return m_dir.File("root"); }
    std::string Log() const;

private:
    TempDir m_dir;
    unsigned m_port = 0;
    bool m_ready = false;
    std::unique_ptr<ChildProcess> m_process;
};
