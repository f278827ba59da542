#include <curl/curl.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <mutex>
#include <optional>
#include <string_view>

#include "core/staging/FtpClient.h"

namespace {

using namespace ftp_code;

void InitialiseCurlOnce() {
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

// The code of a local file that cannot be read or written.
unsigned long LocalFileCode(int error, bool creating) {
    switch (error) {
        case ENOENT:
            return creating ? kPathNotFound : kFileNotFound;
        case ENOTDIR:
        case ENAMETOOLONG:
            return kPathNotFound;
        case EACCES:
        case EPERM:
        case EISDIR:
        case EROFS:
            return kAccessDenied;
        case EMFILE:
        case ENFILE:
            return kTooManyOpenFiles;
        case ENOSPC:
        case EDQUOT:
            return kDiskFull;
        default:
            return creating ? kWriteFault : kReadFault;
    }
}

// A name goes into an FTP command line as it stands: a control character in
// it would end the command and start another.
bool IsSendableName(std::string_view name) {
    if (name.empty()) {
        return false;
    }
    for (char c : name) {
        auto u = static_cast<unsigned char>(c);
        if (u < 0x20 || u == 0x7F) {
            return false;
        }
    }
    return true;
}

std::string PercentEncodePath(std::string_view name) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out;
    for (char c : name) {
        auto u = static_cast<unsigned char>(c);
        bool plain = (u >= 'A' && u <= 'Z') || (u >= 'a' && u <= 'z') || (u >= '0' && u <= '9') ||
                     c == '-' || c == '.' || c == '_' || c == '~' || c == '/';
        if (plain) {
            out += c;
        } else {
            out += '%';
            out += kHex[u >> 4];
            out += kHex[u & 0xF];
        }
    }
    return out;
}

// The server's replies of one request, as the header callback sees them: the
// last complete reply (all lines of a multi-line one) and what the logon said.
struct ReplyLog {
    std::string pending;
    std::string lastText;
    unsigned long lastCode = 0;
    unsigned long pendingCode = 0;
    bool inMultiLine = false;
    bool passwordAsked = false;
    bool loggedOn = false;

    void StartRequest() {
        pending.clear();
        lastText.clear();
        lastCode = 0;
        inMultiLine = false;
        passwordAsked = false;
        loggedOn = false;
    }

    static bool StartsWithCode(std::string_view line) {
        return line.size() >= 3 && std::isdigit(static_cast<unsigned char>(line[0])) &&
               std::isdigit(static_cast<unsigned char>(line[1])) &&
               std::isdigit(static_cast<unsigned char>(line[2]));
    }

    void Line(std::string_view line) {
        while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) {
            line.remove_suffix(1);
        }
        bool coded = StartsWithCode(line);
        unsigned long code = coded ? std::stoul(std::string(line.substr(0, 3))) : 0;
        if (inMultiLine) {
            pending += '\n';
            pending += line;
            if (coded && code == pendingCode && (line.size() == 3 || line[3] == ' ')) {
                Complete();
            }
            return;
        }
        if (!coded) {
            return;
        }
        pending = std::string(line);
        pendingCode = code;
        if (line.size() > 3 && line[3] == '-') {
            inMultiLine = true;
            return;
        }
        Complete();
    }

    void Complete() {
        inMultiLine = false;
        lastText = std::move(pending);
        lastCode = pendingCode;
        pending.clear();
        if (lastCode == 331 || lastCode == 332) {
            passwordAsked = true;
        } else if (lastCode == 230 || lastCode == 202) {
            loggedOn = true;
        }
    }

    bool LastIsErrorReply() const { return lastCode >= 400 && lastCode < 600; }
};

std::size_t OnHeader(char* data, std::size_t size, std::size_t count, void* user) {
    static_cast<ReplyLog*>(user)->Line(std::string_view(data, size * count));
    return size * count;
}

int OnProgress(void* user, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
    return static_cast<const std::stop_token*>(user)->stop_requested() ? 1 : 0;
}

// A local file that closes itself.
struct LocalFile {
    int fd = -1;
    int error = 0;  // errno of a failed read or write
    explicit LocalFile(int descriptor) : fd(descriptor) {}
    ~LocalFile() {
        if (fd >= 0) {
            ::close(fd);
        }
    }
    LocalFile(const LocalFile&) = delete;
    LocalFile& operator=(const LocalFile&) = delete;
};

std::size_t ReadLocal(char* buffer, std::size_t size, std::size_t count, void* user) {
    auto* file = static_cast<LocalFile*>(user);
    while (true) {
        ssize_t n = ::read(file->fd, buffer, size * count);
        if (n >= 0) {
            return static_cast<std::size_t>(n);
        }
        if (errno != EINTR) {
            file->error = errno;
            return CURL_READFUNC_ABORT;
        }
    }
}

std::size_t WriteLocal(char* data, std::size_t size, std::size_t count, void* user) {
    auto* file = static_cast<LocalFile*>(user);
    std::size_t total = size * count;
    std::size_t done = 0;
    while (done < total) {
        ssize_t n = ::write(file->fd, data + done, total - done);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            file->error = errno;
            return 0;
        }
        done += static_cast<std::size_t>(n);
    }
    return total;
}

// Between requests no callback may reach a local file of an earlier one.
std::size_t RefuseRead(char*, std::size_t, std::size_t, void*) {
    return CURL_READFUNC_ABORT;
}
std::size_t DiscardWrite(char*, std::size_t size, std::size_t count, void*) {
    return size * count;
}

std::string DirectoryOf(const std::string& path) {
    auto slash = path.rfind('/');
    if (slash == std::string::npos) {
        return ".";
    }
    return slash == 0 ? "/" : path.substr(0, slash);
}

class CurlFtpConnection final : public IFtpConnection {
public:
    CurlFtpConnection(const FtpServer& server, const FtpLimits& limits, std::stop_token stop)
        : m_server(server), m_stop(std::move(stop)), m_curl(curl_easy_init()) {
        if (!m_curl) {
            return;
        }
        const std::string& login = m_server.login.empty() ? kAnonymous : m_server.login;
        curl_easy_setopt(m_curl, CURLOPT_NOSIGNAL, 1L);
        curl_easy_setopt(m_curl, CURLOPT_PROTOCOLS_STR, "ftp");
        // The staging server is reached directly, whatever the environment says.
        curl_easy_setopt(m_curl, CURLOPT_PROXY, "");
        curl_easy_setopt(m_curl, CURLOPT_USERNAME, login.c_str());
        curl_easy_setopt(m_curl, CURLOPT_PASSWORD, m_server.password.c_str());
        // The remote name goes into the command as it stands, with no change
        // of directory on the way.
        curl_easy_setopt(m_curl, CURLOPT_FTP_FILEMETHOD, static_cast<long>(CURLFTPMETHOD_NOCWD));
        curl_easy_setopt(m_curl, CURLOPT_FTPPORT, nullptr);
        curl_easy_setopt(m_curl, CURLOPT_TRANSFERTEXT, 0L);
        curl_easy_setopt(m_curl, CURLOPT_PATH_AS_IS, 1L);
        curl_easy_setopt(m_curl, CURLOPT_FTP_CREATE_MISSING_DIRS, 0L);
        long timeoutMs = static_cast<long>(limits.replyTimeout.count());
        curl_easy_setopt(m_curl, CURLOPT_CONNECTTIMEOUT_MS, timeoutMs);
        curl_easy_setopt(m_curl, CURLOPT_SERVER_RESPONSE_TIMEOUT, (timeoutMs + 999) / 1000);
        curl_easy_setopt(m_curl, CURLOPT_LOW_SPEED_LIMIT, 1L);
        curl_easy_setopt(m_curl, CURLOPT_LOW_SPEED_TIME,
                         static_cast<long>(limits.stallTime.count()));
        curl_easy_setopt(m_curl, CURLOPT_HEADERFUNCTION, OnHeader);
        curl_easy_setopt(m_curl, CURLOPT_HEADERDATA, &m_replies);
        curl_easy_setopt(m_curl, CURLOPT_NOPROGRESS, 0L);
        curl_easy_setopt(m_curl, CURLOPT_XFERINFOFUNCTION, OnProgress);
        curl_easy_setopt(m_curl, CURLOPT_XFERINFODATA, &m_stop);
        ForgetLocalFile();
    }

    ~CurlFtpConnection() override {
        if (m_curl) {
            curl_easy_cleanup(m_curl);
        }
    }
    CurlFtpConnection(const CurlFtpConnection&) = delete;
    CurlFtpConnection& operator=(const CurlFtpConnection&) = delete;

    FtpOutcome Put(const std::string& localFile, const std::string& remoteName) override {
        if (auto refused = Prepare(remoteName, ftp_label::kPutFile)) {
            return *refused;
        }
        LocalFile file(::open(localFile.c_str(), O_RDONLY | O_CLOEXEC));
        struct stat st {};
        if (file.fd < 0 || ::fstat(file.fd, &st) != 0) {
            return FtpOutcome::Failure(LocalFileCode(errno, false), ftp_label::kPutFile);
        }
        if (!S_ISREG(st.st_mode)) {
            return FtpOutcome::Failure(kAccessDenied, ftp_label::kPutFile);
        }
        curl_easy_setopt(m_curl, CURLOPT_UPLOAD, 1L);
        curl_easy_setopt(m_curl, CURLOPT_READFUNCTION, ReadLocal);
        curl_easy_setopt(m_curl, CURLOPT_READDATA, &file);
        curl_easy_setopt(m_curl, CURLOPT_INFILESIZE_LARGE, static_cast<curl_off_t>(st.st_size));
        return Perform(ftp_label::kPutFile, file, false);
    }

    FtpOutcome Get(const std::string& remoteName, const std::string& localFile) override {
        if (auto refused = Prepare(remoteName, ftp_label::kGetFile)) {
            return *refused;
        }
        // The file arrives beside its place and replaces it only when whole,
        // so a failed get leaves an existing local file as it was.
        std::string base = localFile.substr(localFile.rfind('/') + 1);
        std::string temp = DirectoryOf(localFile) + "/." + base + ".XXXXXX";
        LocalFile file(::mkstemp(temp.data()));
        if (file.fd < 0) {
            return FtpOutcome::Failure(LocalFileCode(errno, true), ftp_label::kGetFile);
        }
        curl_easy_setopt(m_curl, CURLOPT_WRITEFUNCTION, WriteLocal);
        curl_easy_setopt(m_curl, CURLOPT_WRITEDATA, &file);
        FtpOutcome outcome = Perform(ftp_label::kGetFile, file, true);
        if (outcome.ok) {
            outcome = Finish(file, temp, localFile);
        }
        if (!outcome.ok) {
            ::unlink(temp.c_str());
        }
        return outcome;
    }

    FtpOutcome Delete(const std::string& remoteName) override {
        if (!m_curl) {
            return FtpOutcome::Failure(kOutOfHandles, ftp_label::kOpen);
        }
        if (!IsSendableName(remoteName)) {
            return FtpOutcome::Failure(kInvalidName, ftp_label::kDeleteFile);
        }
        if (auto refused = SetUrl("/", ftp_label::kConnect)) {
            return *refused;
        }
        // "*": the server's refusal neither fails the request nor costs the
        // connection, which a firmware run keeps for its puts.
        std::string command = "*DELE " + remoteName;
        curl_slist* quote = curl_slist_append(nullptr, command.c_str());
        curl_easy_setopt(m_curl, CURLOPT_NOBODY, 1L);
        curl_easy_setopt(m_curl, CURLOPT_QUOTE, quote);
        LocalFile none(-1);
        FtpOutcome outcome = Perform(ftp_label::kDeleteFile, none, false);
        curl_easy_setopt(m_curl, CURLOPT_QUOTE, nullptr);
        curl_slist_free_all(quote);
        // Past the logon nothing of the delete is a failure.
        if (!outcome.ok && m_lastLoggedOn) {
            return FtpOutcome::Success();
        }
        return outcome;
    }

private:
    static inline const std::string kAnonymous = "anonymous";

    // Checks the handle and the name and resets the options of the last request.
    std::optional<FtpOutcome> Prepare(const std::string& remoteName, const char* label) {
        if (!m_curl) {
            return FtpOutcome::Failure(kOutOfHandles, ftp_label::kOpen);
        }
        if (!IsSendableName(remoteName) || remoteName.back() == '/') {
            return FtpOutcome::Failure(kInvalidName, label);
        }
        curl_easy_setopt(m_curl, CURLOPT_NOBODY, 0L);
        curl_easy_setopt(m_curl, CURLOPT_UPLOAD, 0L);
        curl_easy_setopt(m_curl, CURLOPT_QUOTE, nullptr);
        // An empty path element in front keeps a leading "/" in the name.
        return SetUrl("/" + remoteName, label);
    }

    std::optional<FtpOutcome> SetUrl(const std::string& path, const char* label) {
        // User and password end up in command lines too.
        if (!IsSendableName(m_server.login.empty() ? kAnonymous : m_server.login)) {
            return FtpOutcome::Failure(kIncorrectUserName, ftp_label::kConnect);
        }
        if (m_server.password.find_first_of(std::string("\r\n\0", 3)) != std::string::npos) {
            return FtpOutcome::Failure(kIncorrectPassword, ftp_label::kConnect);
        }
        CURLU* url = curl_url();
        if (!url) {
            return FtpOutcome::Failure(kOutOfHandles, ftp_label::kOpen);
        }
        std::string port = std::to_string(m_server.port);
        std::optional<FtpOutcome> refused;
        char* text = nullptr;
        if (curl_url_set(url, CURLUPART_SCHEME, "ftp", 0) != CURLUE_OK ||
            curl_url_set(url, CURLUPART_HOST, m_server.name.c_str(), 0) != CURLUE_OK) {
            refused = FtpOutcome::Failure(kNameNotResolved, ftp_label::kConnect);
        } else if (m_server.port == 0 || m_server.port > 65535 ||
                   curl_url_set(url, CURLUPART_PORT, port.c_str(), 0) != CURLUE_OK) {
            refused = FtpOutcome::Failure(kCannotConnect, ftp_label::kConnect);
        } else if (curl_url_set(url, CURLUPART_PATH, PercentEncodePath(path).c_str(),
                                CURLU_PATH_AS_IS) != CURLUE_OK ||
                   curl_url_get(url, CURLUPART_URL, &text, 0) != CURLUE_OK) {
            refused = FtpOutcome::Failure(kInvalidName, label);
        } else {
            curl_easy_setopt(m_curl, CURLOPT_URL, text);
        }
        curl_free(text);
        curl_url_cleanup(url);
        return refused;
    }

    void ForgetLocalFile() {
        curl_easy_setopt(m_curl, CURLOPT_READFUNCTION, RefuseRead);
        curl_easy_setopt(m_curl, CURLOPT_READDATA, nullptr);
        curl_easy_setopt(m_curl, CURLOPT_WRITEFUNCTION, DiscardWrite);
        curl_easy_setopt(m_curl, CURLOPT_WRITEDATA, nullptr);
    }

    FtpOutcome Perform(const char* label, const LocalFile& file, bool writingLocal) {
        m_replies.StartRequest();
        CURLcode result = curl_easy_perform(m_curl);
        ForgetLocalFile();
        long connects = 0;
        curl_easy_getinfo(m_curl, CURLINFO_NUM_CONNECTS, &connects);
        // A request on a connection kept from an earlier one is past the logon.
        // No new connection without one that logged on before is a connect
        // that failed: a dead server must not pass for a refused delete.
        m_lastLoggedOn = (connects == 0 && m_everLoggedOn) || m_replies.loggedOn;
        m_everLoggedOn = m_everLoggedOn || m_replies.loggedOn;
        if (result == CURLE_OK) {
            return FtpOutcome::Success();
        }
        if (file.error != 0) {
            return FtpOutcome::Failure(LocalFileCode(file.error, writingLocal), label);
        }
        return Map(result, m_lastLoggedOn ? label : ftp_label::kConnect);
    }

    FtpOutcome Map(CURLcode result, const char* label) const {
        FtpLastResponse reply{m_replies.lastText, m_replies.lastCode};
        switch (result) {
            case CURLE_COULDNT_RESOLVE_HOST:
            case CURLE_COULDNT_RESOLVE_PROXY:
                return FtpOutcome::Failure(kNameNotResolved, label);
            case CURLE_COULDNT_CONNECT:
                return FtpOutcome::Failure(kCannotConnect, label);
            case CURLE_LOGIN_DENIED:
                // Servers ask for a password whatever the user: a refusal after
                // that is the password's.
                return FtpOutcome::Failure(
                    m_replies.passwordAsked ? kIncorrectPassword : kIncorrectUserName, label);
            case CURLE_OPERATION_TIMEDOUT:
                return FtpOutcome::Failure(kTimeout, label);
            case CURLE_ABORTED_BY_CALLBACK:
                return FtpOutcome::Failure(kOperationCancelled, label);
            case CURLE_UPLOAD_FAILED:
            case CURLE_REMOTE_FILE_NOT_FOUND:
            case CURLE_FTP_COULDNT_RETR_FILE:
            case CURLE_REMOTE_ACCESS_DENIED:
            case CURLE_QUOTE_ERROR:
            case CURLE_FTP_COULDNT_SET_TYPE:
            case CURLE_REMOTE_DISK_FULL:
            case CURLE_REMOTE_FILE_EXISTS:
            case CURLE_FTP_COULDNT_USE_REST:
            case CURLE_FTP_PRET_FAILED:
                return FtpOutcome::Failure(kExtendedError, label, reply);
            case CURLE_WEIRD_SERVER_REPLY:
            case CURLE_FTP_WEIRD_PASV_REPLY:
            case CURLE_FTP_WEIRD_227_FORMAT:
                if (m_replies.LastIsErrorReply()) {
                    return FtpOutcome::Failure(kExtendedError, label, reply);
                }
                return FtpOutcome::Failure(kInvalidServerResponse, label);
            case CURLE_SEND_ERROR:
            case CURLE_RECV_ERROR:
                return FtpOutcome::Failure(kConnectionReset, label);
            case CURLE_GOT_NOTHING:
            case CURLE_PARTIAL_FILE:
                return FtpOutcome::Failure(kConnectionAborted, label);
            case CURLE_URL_MALFORMAT:
                return FtpOutcome::Failure(kInvalidName, label);
            default:
                return FtpOutcome::Failure(static_cast<unsigned long>(result), label);
        }
    }

    // Moves the arrived file into its place.
    static FtpOutcome Finish(LocalFile& file, const std::string& temp,
                             const std::string& localFile) {
        struct stat st {};
        if (::stat(localFile.c_str(), &st) == 0 && S_ISREG(st.st_mode)) {
            ::fchmod(file.fd, st.st_mode & 07777);
        }
        int fd = file.fd;
        file.fd = -1;
        int error = ::fsync(fd) == 0 ? 0 : errno;
        if (::close(fd) != 0 && error == 0) {
            error = errno;
        }
        if (error == 0 && ::rename(temp.c_str(), localFile.c_str()) != 0) {
            error = errno;
        }
        if (error != 0) {
            return FtpOutcome::Failure(LocalFileCode(error, true), ftp_label::kGetFile);
        }
        return FtpOutcome::Success();
    }

    FtpServer m_server;
    std::stop_token m_stop;
    CURL* m_curl;
    ReplyLog m_replies;
    bool m_lastLoggedOn = false;
    bool m_everLoggedOn = false;
};

}  // namespace

CurlFtpClient::CurlFtpClient(FtpLimits limits) : m_limits(limits) {
    InitialiseCurlOnce();
}

std::unique_ptr<IFtpConnection> CurlFtpClient::Connect(const FtpServer& server,
                                                       std::stop_token stop) {
    return std::make_unique<CurlFtpConnection>(server, m_limits, std::move(stop));
}
