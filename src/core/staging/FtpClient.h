#pragma once

#include <chrono>
#include <memory>
#include <stop_token>
#include <string>

#include "core/staging/InternetErrorText.h"

// The staging server as one operation sees it. The operations read it from the
// settings (ReadFtpServerSettings); the client itself reads no setting.
struct FtpServer {
    std::string name;  // host name or dotted IPv4 address
    unsigned port = 21;
    std::string login;     // user name; "anonymous" when empty
    std::string password;  // plain
};

// How long a dead or stalled server may hold an operation; both are reported
// as a time-out (12002).
struct FtpLimits {
    // Connecting, greeting and logging on, and waiting for any one reply.
    std::chrono::milliseconds replyTimeout{20000};
    // A transfer moving less than one byte a second for this long is ended.
    std::chrono::seconds stallTime{30};
};

// What became of one FTP step: success, or the failure code with the label of
// the failing step and the server's last reply.
struct FtpOutcome {
    bool ok = true;
    unsigned long code = 0;
    std::string label;
    FtpLastResponse response;

    static FtpOutcome Success() { return {}; }
    static FtpOutcome Failure(unsigned long code, std::string label,
                              FtpLastResponse response = {}) {
        return {false, code, std::move(label), std::move(response)};
    }
    // InternetErrorText of the failure ("" on success).
    std::string ErrorText() const;
};

// One connection to the staging server: opened and logged on by the first
// request, kept for the later ones, closed when the object goes. Passive data
// connections, image type. Remote names are sent as they stand.
class IFtpConnection {
public:
    virtual ~IFtpConnection() = default;
    // Puts a local file under the remote name.
    virtual FtpOutcome Put(const std::string& localFile, const std::string& remoteName) = 0;
    // Gets the remote file into the local file, replacing it only once the
    // whole file has arrived.
    virtual FtpOutcome Get(const std::string& remoteName, const std::string& localFile) = 0;
    // Deletes the remote file. The server's refusal (a missing file) is not a
    // failure; not reaching or logging on to the server is.
    virtual FtpOutcome Delete(const std::string& remoteName) = 0;
};

// Makes connections. A stop request ends a connection's request in flight with
// code 12017.
class IFtpClient {
public:
    virtual ~IFtpClient() = default;
    virtual std::unique_ptr<IFtpConnection> Connect(const FtpServer& server,
                                                    std::stop_token stop = {}) = 0;
};

// The client on libcurl.
class CurlFtpClient final : public IFtpClient {
public:
    explicit CurlFtpClient(FtpLimits limits = {});
    std::unique_ptr<IFtpConnection> Connect(const FtpServer& server,
                                            std::stop_token stop = {}) override;

private:
    FtpLimits m_limits;
};
