// Broadcast discovery: one datagram to the broadcast address of each subnet
// (and the limited broadcast for the workstation's own), then every terminal
// that answers with the same magic text is registered and, when new, logged.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <optional>
#include <variant>

#include "core/app/CTarnDoc.h"
#include "core/common/StringTable.h"
#include "core/common/ViewNotifications.h"
#include "core/discovery/DiscoveryControl.h"
#include "core/discovery/SubnetList.h"
#include "core/discovery/WinSockErrorText.h"
#include "core/settings/LocalHost.h"

namespace {

// The request is the magic text with its terminating zero byte; a reply is
// valid when it starts with the magic text.
constexpr char kMagic[] = "KorvroK";
constexpr std::size_t kMagicLength = sizeof(kMagic) - 1;
constexpr std::size_t kRequestLength = sizeof(kMagic);
constexpr std::uint16_t kDiscoveryPort = 2343;
constexpr std::size_t kReplyBufferSize = 1000;
constexpr auto kQuietPeriod = std::chrono::milliseconds(500);
constexpr auto kLastQuietPeriod = std::chrono::milliseconds(5000);
// How often a wait for replies looks at the stop request.
constexpr auto kStopPollSlice = std::chrono::milliseconds(100);

// A failed socket call: the label naming it and the table's error number.
struct SocketFailure {
    const char* label;
    int code;
};

SocketFailure Failed(const char* label) {
    return {label, WinSockCodeFromErrno(errno)};
}

// A datagram longer than the receive buffer.
struct Oversized {};

class DiscoverySocket {
public:
    DiscoverySocket() = default;
    ~DiscoverySocket() { Close(); }
    DiscoverySocket(const DiscoverySocket&) = delete;
    DiscoverySocket& operator=(const DiscoverySocket&) = delete;

    std::optional<SocketFailure> Open() {
        m_fd = ::socket(AF_INET, SOCK_DGRAM, 0);
        if (m_fd < 0) {
            return Failed("SocketInitError");
        }
        int on = 1;
        if (::setsockopt(m_fd, SOL_SOCKET, SO_BROADCAST, &on, sizeof(on)) != 0) {
            return Failed("SetSocketOptError");
        }
        sockaddr_in local{};
        local.sin_family = AF_INET;
        local.sin_addr.s_addr = htonl(INADDR_ANY);
        local.sin_port = 0;
        if (::bind(m_fd, reinterpret_cast<sockaddr*>(&local), sizeof(local)) != 0) {
            return Failed("BindSocketError");
        }
        return std::nullopt;
    }

    std::optional<SocketFailure> SendRequest(in_addr_t destination, const char* label) {
        sockaddr_in to{};
        to.sin_family = AF_INET;
        to.sin_addr.s_addr = destination;
        to.sin_port = htons(kDiscoveryPort);
        if (::sendto(m_fd, kMagic, kRequestLength, 0, reinterpret_cast<sockaddr*>(&to),
                     sizeof(to)) != static_cast<ssize_t>(kRequestLength)) {
            return Failed(label);
        }
        return std::nullopt;
    }

    // Waits until a datagram is ready (true) or `quiet` passes without one
    // (false). A stop request, or the monitor's window going, ends the wait
    // early, as if the quiet period had passed.
    std::variant<bool, SocketFailure> WaitForReply(std::chrono::milliseconds quiet,
                                                   const IDiscoverMonitor& monitor,
                                                   const std::stop_token& stop) {
        auto deadline = std::chrono::steady_clock::now() + quiet;
        while (true) {
            auto left = std::chrono::ceil<std::chrono::milliseconds>(
                deadline - std::chrono::steady_clock::now());
            if (left.count() <= 0 || stop.stop_requested() || !monitor.ProgressHasWindow()) {
                return false;
            }
            pollfd watch{m_fd, POLLIN, 0};
            int ready = ::poll(&watch, 1, static_cast<int>(std::min(left, kStopPollSlice).count()));
            if (ready > 0) {
                return true;
            }
            if (ready < 0 && errno != EINTR) {
                return Failed("RecvFromSocketError");
            }
        }
    }

    // Receives one datagram. One longer than the buffer is reported as its own
    // failure: anyone can send one, so it must not end the run.
    std::variant<std::string, Oversized, SocketFailure> Receive(sockaddr_in& from) {
        char buffer[kReplyBufferSize];
        socklen_t fromLength = sizeof(from);
        ssize_t length = ::recvfrom(m_fd, buffer, sizeof(buffer), MSG_TRUNC,
                                    reinterpret_cast<sockaddr*>(&from), &fromLength);
        if (length < 0) {
            return Failed("RecvFromSocketError");
        }
        if (static_cast<std::size_t>(length) > sizeof(buffer)) {
            return Oversized{};
        }
        return std::string(buffer, static_cast<std::size_t>(length));
    }

    void Close() {
        if (m_fd >= 0) {
            ::close(m_fd);
            m_fd = -1;
        }
    }

private:
    int m_fd = -1;
};

bool IsValidReply(const std::string& reply) {
    return reply.size() >= kMagicLength && reply.compare(0, kMagicLength, kMagic) == 0;
}

// The limited broadcast reaches only the workstation's own network, so it
// goes out for the entry the workstation's address begins with: the whole
// numbers, followed by the dot (10.1.2 is not the subnet of 10.1.20.7).
bool IsWorkstationSubnet(const std::string& workstation, const std::string& entry) {
    return workstation.size() > entry.size() && workstation.compare(0, entry.size(), entry) == 0 &&
           workstation[entry.size()] == '.';
}

std::string DottedText(const in_addr& address) {
    char text[INET_ADDRSTRLEN] = {};
    ::inet_ntop(AF_INET, &address, text, sizeof(text));
    return text;
}

}  // namespace

unsigned BroadcastScanThread(CTarnDoc& doc, IDiscoverMonitor& monitor, std::stop_token stop) {
    if (!LoadSubnetListForRun(doc, monitor)) {
        return kDiscoveryEnded;
    }

    // The socket layer needs no start-up here, so "WSAStartupError" never occurs.
    DiscoverySocket socket;
    auto errorEnd = [&](const SocketFailure& failure) {
        socket.Close();
        doc.Messages().ShowMessage(WinSockErrorText(failure.label, failure.code),
                                   MessageIcon::Warning);
        monitor.OwnerView().PostDiscoveryDone();
        return kDiscoverySocketError;
    };
    auto release = [&socket] { socket.Close(); };
    if (auto failure = socket.Open()) {
        return errorEnd(*failure);
    }

    std::vector<std::string> subnets = doc.State().Subnets().Entries();
    const std::size_t n = subnets.size();
    const std::string workstation = GetLocalHostIP(doc);
    for (std::size_t i = 0; i < n; ++i) {
        const std::size_t k = i + 1;
        if (!monitor.ProgressHasWindow()) {
            // The window is gone (the console closing): the remaining subnets
            // are passed over, each still after a stop check.
            if (DiscoveryStopRequested(monitor, stop, release)) {
                return kDiscoveryStopped;
            }
            continue;
        }
        monitor.SetProgressPos(static_cast<int>((256 / n) * k));
        in_addr broadcast{};
        ::inet_aton((subnets[i] + ".255").c_str(), &broadcast);
        if (auto failure = socket.SendRequest(broadcast.s_addr, "SendToSocketError1")) {
            return errorEnd(*failure);
        }
        if (IsWorkstationSubnet(workstation, subnets[i])) {
            if (auto failure = socket.SendRequest(htonl(INADDR_BROADCAST), "SendToSocketError2")) {
                return errorEnd(*failure);
            }
        }

        const auto quiet = k == n ? kLastQuietPeriod : kQuietPeriod;
        while (true) {
            auto waited = socket.WaitForReply(quiet, monitor, stop);
            if (auto* failure = std::get_if<SocketFailure>(&waited)) {
                return errorEnd(*failure);
            }
            if (!std::get<bool>(waited)) {
                break;
            }
            sockaddr_in from{};
            auto received = socket.Receive(from);
            if (auto* failure = std::get_if<SocketFailure>(&received)) {
                return errorEnd(*failure);
            }
            if (std::holds_alternative<Oversized>(received)) {
                monitor.AddLine(
                    WinSockErrorText("RecvFromSocketError", WinSockCodeFromErrno(EMSGSIZE)));
                continue;
            }
            if (!IsValidReply(std::get<std::string>(received))) {
                continue;
            }
            std::string terminalIP = DottedText(from.sin_addr);
            if (DiscoveryStopRequested(monitor, stop, release)) {
                return kDiscoveryStopped;
            }
            if (!monitor.ProgressHasWindow()) {
                break;
            }
            if (doc.RegisterTerminal(terminalIP)) {
                std::string name = doc.GetSnmpValue(terminalIP, "OidSysName");
                WriteTerminalBlock(monitor, name, doc.GetSnmpValue(terminalIP, "OidSysDesc"),
                                   terminalIP);
            }
        }
        if (DiscoveryStopRequested(monitor, stop, release)) {
            return kDiscoveryStopped;
        }
    }
    socket.Close();
    monitor.OwnerView().PostDiscoveryDone();
    return kDiscoveryEnded;
}
