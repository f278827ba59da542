#include "FtpTransfer.h"

#include <curl/curl.h>

#include <cstring>

#include "FleetConfig.h"
#include "IniFile.h"
#include "Net.h"

namespace simfleet {

namespace {

constexpr std::size_t kMaxFile = 64u << 20;

struct Upload {
    const std::string* data;
    std::size_t offset = 0;
};

std::size_t Collect(char* data, std::size_t size, std::size_t count, void* user) {
    auto* text = static_cast<std::string*>(user);
    if (text->size() + size * count > kMaxFile) {
        return 0;
    }
    text->append(data, size * count);
    return size * count;
}

std::size_t Supply(char* buffer, std::size_t size, std::size_t count, void* user) {
    auto* upload = static_cast<Upload*>(user);
    std::size_t n = std::min(size * count, upload->data->size() - upload->offset);
    std::memcpy(buffer, upload->data->data() + upload->offset, n);
    upload->offset += n;
    return n;
}

int Progress(void* user, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
    return static_cast<const std::atomic<bool>*>(user)->load() ? 1 : 0;
}

// An FTP URL for a server-side path: a leading "/" makes the path absolute
// (the "%2F" form), repeated slashes count as one, each element is escaped.
std::string FtpUrl(CURL* curl, in_addr server, unsigned port, const std::string& path) {
    std::string url = "ftp://" + Endpoint(server, port) + "/";
    std::string normal;
    for (char c : path) {
        if (c == '\\') {
            c = '/';
        }
        if (c == '/' && !normal.empty() && normal.back() == '/') {
            continue;
        }
        normal += c;
    }
    std::size_t pos = 0;
    if (!normal.empty() && normal[0] == '/') {
        url += "%2F";
        pos = 1;
    }
    while (pos <= normal.size()) {
        std::size_t end = normal.find('/', pos);
        std::string element = normal.substr(pos, end == std::string::npos ? end : end - pos);
        char* escaped = curl_easy_escape(curl, element.c_str(), static_cast<int>(element.size()));
        url += escaped ? escaped : "";
        curl_free(escaped);
        if (end == std::string::npos) {
            break;
        }
        url += '/';
        pos = end + 1;
    }
    return url;
}

long ReasonFor(CURLcode code, bool fetching) {
    switch (code) {
        case CURLE_OK:
            return reason::kDone;
        case CURLE_COULDNT_RESOLVE_HOST:
            return reason::kCannotResolve;
        case CURLE_COULDNT_CONNECT:
        case CURLE_OPERATION_TIMEDOUT:
            return reason::kCannotConnect;
        case CURLE_REMOTE_FILE_NOT_FOUND:
        case CURLE_FTP_COULDNT_RETR_FILE:
        case CURLE_REMOTE_ACCESS_DENIED:  // a missing directory on the way
            return fetching ? reason::kSourceMissing : reason::kTransferError;
        default:
            return reason::kTransferError;
    }
}

// Lines of an ASCII fetch as the terminal keeps them: ending in CR LF, the
// transfer's own line end, which libcurl turns into LF on this platform.
std::string WithTerminalLineEnds(const std::string& text) {
    std::string out;
    out.reserve(text.size() + text.size() / 16);
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\n' && (i == 0 || text[i - 1] != '\r')) {
            out += '\r';
        }
        out += text[i];
    }
    return out;
}

class Session {
public:
    Session(const TransferRequest& request, in_addr server, const std::atomic<bool>& stop)
        : m_request(request), m_server(server), m_stop(stop), m_curl(curl_easy_init()) {}
    ~Session() { curl_easy_cleanup(m_curl); }
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    // One file from the server; the reason code and, for the log, curl's words.
    long Fetch(const std::string& path, std::string& content, std::string& detail) {
        content.clear();
        Prepare(path, detail);
        curl_easy_setopt(m_curl, CURLOPT_WRITEFUNCTION, Collect);
        curl_easy_setopt(m_curl, CURLOPT_WRITEDATA, &content);
        return Perform(true, detail);
    }

    long Send(const std::string& path, const std::string& content, std::string& detail) {
        Prepare(path, detail);
        Upload upload{&content};
        curl_easy_setopt(m_curl, CURLOPT_UPLOAD, 1L);
        curl_easy_setopt(m_curl, CURLOPT_READFUNCTION, Supply);
        curl_easy_setopt(m_curl, CURLOPT_READDATA, &upload);
        curl_easy_setopt(m_curl, CURLOPT_INFILESIZE_LARGE, static_cast<curl_off_t>(content.size()));
        return Perform(false, detail);
    }

private:
    void Prepare(const std::string& path, std::string& detail) {
        curl_easy_reset(m_curl);
        std::string url = FtpUrl(m_curl, m_server, m_request.port, path);
        detail = url;
        bool anonymous = m_request.user.empty();
        m_user = anonymous ? "anonymous" : m_request.user;
        m_password = anonymous ? "terminal@fleet" : m_request.password;
        curl_easy_setopt(m_curl, CURLOPT_URL, url.c_str());
        curl_easy_setopt(m_curl, CURLOPT_USERNAME, m_user.c_str());
        curl_easy_setopt(m_curl, CURLOPT_PASSWORD, m_password.c_str());
        curl_easy_setopt(m_curl, CURLOPT_NOSIGNAL, 1L);
        curl_easy_setopt(m_curl, CURLOPT_TRANSFERTEXT, m_request.binary ? 0L : 1L);
        curl_easy_setopt(m_curl, CURLOPT_CONNECTTIMEOUT, 10L);
        curl_easy_setopt(m_curl, CURLOPT_SERVER_RESPONSE_TIMEOUT, 30L);
        curl_easy_setopt(m_curl, CURLOPT_TIMEOUT, 300L);
        curl_easy_setopt(m_curl, CURLOPT_NOPROGRESS, 0L);
        curl_easy_setopt(m_curl, CURLOPT_XFERINFOFUNCTION, Progress);
        curl_easy_setopt(m_curl, CURLOPT_XFERINFODATA, &m_stop);
        curl_easy_setopt(m_curl, CURLOPT_ERRORBUFFER, m_error);
        m_error[0] = '\0';
    }

    long Perform(bool fetching, std::string& detail) {
        CURLcode code = curl_easy_perform(m_curl);
        if (code != CURLE_OK) {
            detail += std::string(": ") + (m_error[0] ? m_error : curl_easy_strerror(code));
        }
        return ReasonFor(code, fetching);
    }

    const TransferRequest& m_request;
    in_addr m_server;
    const std::atomic<bool>& m_stop;
    CURL* m_curl;
    std::string m_user;
    std::string m_password;
    char m_error[CURL_ERROR_SIZE] = {};
};

}  // namespace

void InitialiseTransfers() {
    curl_global_init(CURL_GLOBAL_DEFAULT);
}

void ShutdownTransfers() {
    curl_global_cleanup();
}

std::string BaseName(const std::string& path) {
    std::size_t slash = path.find_last_of("/\\");
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

TransferOutcome RunTransfer(const TransferRequest& request, const std::atomic<bool>& stop) {
    TransferOutcome outcome;
    outcome.terminal = request.terminal;
    outcome.toTerminal = request.toTerminal;
    outcome.dest = request.dest;
    auto server = ResolveIpv4(request.server);
    if (!server) {
        outcome.reason = reason::kCannotResolve;
        outcome.detail = "cannot resolve server " + request.server;
        return outcome;
    }
    if (!IsLocalAddress(*server)) {
        outcome.reason = reason::kCannotConnect;
        outcome.detail = "server " + request.server + " is not on this machine; not contacted";
        return outcome;
    }
    Session session(request, *server, stop);
    if (!request.toTerminal) {
        outcome.reason = session.Send(request.dest, request.upload, outcome.detail);
        return outcome;
    }
    if (!request.binary) {
        outcome.reason = session.Fetch(request.source, outcome.content, outcome.detail);
        outcome.content = WithTerminalLineEnds(outcome.content);
        return outcome;
    }
    // A firmware update: the description file beside the image names the
    // image to fetch (and may give the build number it brings).
    outcome.firmware = true;
    std::string directory =
        request.source.substr(0, request.source.size() - BaseName(request.source).size());
    std::string params;
    long result = session.Fetch(directory + "params.ini", params, outcome.detail);
    if (result != reason::kDone) {
        outcome.reason = result == reason::kSourceMissing ? reason::kParamsUnreadable : result;
        return outcome;
    }
    IniFile description = IniFile::Parse(params);
    auto image = description.Get("Image", "ImageFileName");
    if (!image || image->empty()) {
        outcome.reason = reason::kParamsUnreadable;
        outcome.detail += ": no ImageFileName in [Image]";
        return outcome;
    }
    std::string imageData;
    outcome.reason = session.Fetch(directory + *image, imageData, outcome.detail);
    outcome.newBuild = description.Get("Image", "BuildNumber", "");
    return outcome;
}

}  // namespace simfleet
