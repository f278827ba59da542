#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <map>
#include <thread>

#include "FakeTerminals.h"
#include "NetNamespace.h"
#include "RecordingMonitor.h"
#include "TestDocument.h"
#include "core/discovery/DiscoveryControl.h"
#include "core/discovery/WinSockErrorText.h"
#include "core/terminals/TerminalDatabase.h"

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

const std::string kRequest("KorvroK\0", 8);

sockaddr_in Endpoint(const std::string& ip, unsigned port) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    ::inet_pton(AF_INET, ip.c_str(), &address.sin_addr);
    return address;
}

// Terminals' answers to the discovery datagram, as a script: for each address
// a request is sent to (a subnet broadcast or the limited broadcast), which
// addresses answer, with what, and how long after the request.
struct Reply {
    std::string from;
    std::string payload;
    int afterMs = 0;
};

class Responder {
public:
    struct Seen {
        std::string destination;
        std::string payload;
        Clock::time_point at;
    };

    explicit Responder(std::map<std::string, std::vector<Reply>> script)
        : m_script(std::move(script)) {
        m_socket = ::socket(AF_INET, SOCK_DGRAM, 0);
        int on = 1;
        ::setsockopt(m_socket, IPPROTO_IP, IP_PKTINFO, &on, sizeof(on));
        sockaddr_in any = Endpoint("0.0.0.0", 2343);
        m_ready = ::bind(m_socket, reinterpret_cast<sockaddr*>(&any), sizeof(any)) == 0;
        m_thread = std::jthread([this](std::stop_token stop) { Serve(stop); });
    }
    ~Responder() {
        m_thread.request_stop();
        m_thread.join();
        m_replies.clear();
        ::close(m_socket);
    }
    bool Ready() const { return m_ready; }
    std::vector<Seen> Requests() const {
        std::lock_guard lock(m_mutex);
        return m_seen;
    }
    // When each terminal's reply went out.
    Clock::time_point SentAt(const std::string& from) const {
        std::lock_guard lock(m_mutex);
        return m_sentAt.at(from);
    }

private:
    void Serve(std::stop_token stop) {
        while (!stop.stop_requested()) {
            pollfd watch{m_socket, POLLIN, 0};
            if (::poll(&watch, 1, 50) <= 0) {
                continue;
            }
            char data[2048];
            char control[256];
            sockaddr_in source{};
            iovec vector{data, sizeof(data)};
            msghdr message{};
            message.msg_name = &source;
            message.msg_namelen = sizeof(source);
            message.msg_iov = &vector;
            message.msg_iovlen = 1;
            message.msg_control = control;
            message.msg_controllen = sizeof(control);
            ssize_t length = ::recvmsg(m_socket, &message, 0);
            if (length < 0) {
                continue;
            }
            std::string destination;
            for (cmsghdr* c = CMSG_FIRSTHDR(&message); c; c = CMSG_NXTHDR(&message, c)) {
                if (c->cmsg_level == IPPROTO_IP && c->cmsg_type == IP_PKTINFO) {
                    auto* info = reinterpret_cast<in_pktinfo*>(CMSG_DATA(c));
                    char text[INET_ADDRSTRLEN];
                    ::inet_ntop(AF_INET, &info->ipi_addr, text, sizeof(text));
                    destination = text;
                }
            }
            {
                std::lock_guard lock(m_mutex);
                m_seen.push_back({destination, std::string(data, static_cast<std::size_t>(length)),
                                  Clock::now()});
            }
            auto script = m_script.find(destination);
            if (script == m_script.end()) {
                continue;
            }
            auto at = Clock::now();
            for (const Reply& reply : script->second) {
                m_replies.emplace_back([this, reply, source, at] {
                    std::this_thread::sleep_until(at + milliseconds(reply.afterMs));
                    int out = ::socket(AF_INET, SOCK_DGRAM, 0);
                    sockaddr_in from = Endpoint(reply.from, 0);
                    ::bind(out, reinterpret_cast<const sockaddr*>(&from), sizeof(from));
                    {
                        std::lock_guard lock(m_mutex);
                        m_sentAt[reply.from] = Clock::now();
                    }
                    ::sendto(out, reply.payload.data(), reply.payload.size(), 0,
                             reinterpret_cast<const sockaddr*>(&source), sizeof(source));
                    ::close(out);
                });
            }
        }
    }

    std::map<std::string, std::vector<Reply>> m_script;
    int m_socket = -1;
    bool m_ready = false;
    mutable std::mutex m_mutex;
    std::vector<Seen> m_seen;
    std::map<std::string, Clock::time_point> m_sentAt;
    std::vector<std::jthread> m_replies;
    std::jthread m_thread;
};

const char* const kTerminals[] = {"10.77.1.10", "10.77.1.11", "10.77.1.12",
                                  "10.77.1.13", "10.77.2.10", "10.77.2.11",
                                  "10.77.2.12", "10.77.2.13", "10.77.2.14"};

// The console at 10.77.1.1 and 10.77.2.1 on one end of a veth pair, the
// terminals on the other, inside a namespace of the test's own. The default
// route through the console's end makes both kinds of broadcast reach the
// local listeners; nothing leaves the namespace.
NamespaceAddresses Network() {
    NamespaceAddresses network{{"10.77.1.1", "10.77.2.1"}, {}};
    for (const char* terminal : kTerminals) {
        network.peer.push_back(std::string(terminal) + "/32");
    }
    return network;
}

// Runs the rest of the test again inside its own network namespace.
#define INSIDE_A_NETWORK_NAMESPACE()      \
    if (!InTestNamespace()) {             \
        RUN_TEST_IN_NAMESPACE(Network()); \
        return;                           \
    }

class BroadcastDiscovery : public ::testing::Test {
protected:
    void SetUp() override {
        for (std::size_t i = 0; i < std::size(kTerminals); ++i) {
            std::string ip = kTerminals[i];
            std::string last = ip.substr(6);  // "1.10"
            char mac[16];
            std::snprintf(mac, sizeof(mac), "0200000000%02zu", i);
            AddFakeTerminal(
                snmp, {.ip = ip, .name = "T" + last, .description = "Desk " + last, .mac = mac});
        }
    }
    std::string Settings(const std::string& subnets, const std::string& localHost) {
        return DefaultSettingsWith("DiscoverIPSubNet=" + subnets +
                                   "\nDiscoverMethod=BCAST\nLocalHostIP=" + localHost + "\n");
    }
    std::vector<std::string> Blocks(std::initializer_list<const char*> ips) {
        std::vector<std::string> lines;
        for (std::string ip : ips) {
            std::string last = ip.substr(6);
            auto block = TerminalBlock("T" + last, "Desk " + last, ip);
            lines.insert(lines.end(), block.begin(), block.end());
        }
        return lines;
    }

    FakeSnmpManager snmp;
};

// Each terminal that answers is logged once, whichever broadcast it answered;
// replies that are not the terminals' are passed over, and an oversized one
// is logged as a line. The last subnet of the list goes first, and the limited
// broadcast follows only when the workstation is on a listed subnet, by whole
// numbers (10.77.1 is not the subnet of 10.77.12.7). A window that goes ends
// the run normally, without waiting out the quiet period.
TEST_F(BroadcastDiscovery, EachTerminalThatAnswersIsLoggedOnce) {
    INSIDE_A_NETWORK_NAMESPACE();
    const std::string magic = "KorvroK";
    struct Case {
        const char* what;
        std::map<std::string, std::vector<Reply>> script;
        std::string subnets, localHost;
        std::vector<std::string> lines;
        std::vector<std::string> destinations;
        bool windowGoes = false;
    };
    std::vector<std::string> hostile = Blocks({"10.77.1.11"});
    hostile.push_back(WinSockErrorText("RecvFromSocketError", 10040));
    for (const auto& line : Blocks({"10.77.1.12"})) {
        hostile.push_back(line);
    }
    const Case cases[] = {
        {"answers",
         {{"10.77.2.255",
           {{"10.77.2.10", magic + std::string("\0 model 400", 11), 0},
            {"10.77.2.11", "KorvroX and more", 20},  // wrong magic
            {"10.77.2.12", "Korvro", 40}}},          // too short
          {"10.77.1.255", {{"10.77.1.10", magic, 0}, {"10.77.1.11", kRequest, 50}}},
          // The limited broadcast: one terminal answers it again, one only it.
          {"255.255.255.255", {{"10.77.1.10", magic, 150}, {"10.77.1.12", magic, 200}}}},
         "10.77.1;10.77.2",
         "10.77.1.1",
         Blocks({"10.77.2.10", "10.77.1.10", "10.77.1.11", "10.77.1.12"}),
         {"10.77.2.255", "10.77.1.255", "255.255.255.255"}},
        {"hostile",
         {{"10.77.1.255",
           {{"10.77.1.11", magic, 0},
            {"10.77.1.10", magic + std::string(994, 'x'), 100},
            {"10.77.1.12", magic, 200}}},
          {"255.255.255.255", {{"10.77.1.13", magic, 0}}}},
         "10.77.1",
         "10.77.12.7",
         hostile,
         {"10.77.1.255"}},
        {"window gone",
         {{"10.77.2.255", {{"10.77.2.10", magic, 0}, {"10.77.2.11", magic, 300}}}},
         "10.77.1;10.77.2",
         "10.77.9.1",
         Blocks({"10.77.2.10"}),
         {"10.77.2.255"},
         true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Responder responder(c.script);
        ASSERT_TRUE(responder.Ready());
        TestDocument t(Settings(c.subnets, c.localHost), &snmp);
        RecordingMonitor monitor;
        if (c.windowGoes) {
            monitor.onLine = [&monitor](const std::string& line) {
                monitor.hasWindow = monitor.hasWindow && line != kSeparatorLine;
            };
        }
        auto started = Clock::now();
        EXPECT_EQ(BroadcastScanThread(t.Doc(), monitor), kDiscoveryEnded);
        EXPECT_EQ(monitor.Lines(), c.lines);
        EXPECT_EQ(monitor.DoneCount(), 1);
        EXPECT_TRUE(t.Messages().Texts().empty());
        std::vector<std::string> destinations;
        for (const auto& seen : responder.Requests()) {
            destinations.push_back(seen.destination);
            EXPECT_EQ(seen.payload, kRequest);
        }
        EXPECT_EQ(destinations, c.destinations);
        if (c.windowGoes) {
            EXPECT_LT(Clock::now() - started, milliseconds(1500));
        } else if (c.destinations.size() == 3) {
            EXPECT_EQ(monitor.Progress(), (std::vector<int>{128, 256}));
        }
    }
    // The names and descriptions were read with the default GET settings.
    for (const auto& open : snmp.Opens()) {
        EXPECT_EQ(open.timeoutMs, 2000);
    }
}

TEST_F(BroadcastDiscovery, RepliesKeepTheQuietPeriodOpenWhileTheyKeepComing) {
    INSIDE_A_NETWORK_NAMESPACE();
    const std::string magic = "KorvroK";
    Responder responder({
        // Each reply comes less than half a second after the one before,
        // except the last, which misses the first subnet's collection.
        {"10.77.2.255",
         {{"10.77.2.10", magic, 300},
          {"10.77.2.11", magic, 700},
          {"10.77.2.12", magic, 1100},
          {"10.77.2.13", magic, 1500},
          {"10.77.2.14", magic, 2700}}},
        {"10.77.1.255", {{"10.77.1.10", magic, 100}}},
    });
    ASSERT_TRUE(responder.Ready());
    TestDocument t(Settings("10.77.1;10.77.2", "10.77.9.1"), &snmp);
    RecordingMonitor monitor;

    EXPECT_EQ(BroadcastScanThread(t.Doc(), monitor), kDiscoveryEnded);

    EXPECT_EQ(monitor.Lines(), Blocks({"10.77.2.10", "10.77.2.11", "10.77.2.12", "10.77.2.13",
                                       "10.77.1.10", "10.77.2.14"}));
    auto requests = responder.Requests();
    ASSERT_EQ(requests.size(), 2u);  // no limited broadcast: not the workstation's subnet
    auto quietAfterLast = requests[1].at - responder.SentAt("10.77.2.13");
    EXPECT_GE(quietAfterLast, milliseconds(495));
    EXPECT_LT(quietAfterLast, milliseconds(900));
    // The last subnet waits five seconds after its last reply.
    auto lastQuiet = monitor.DoneAt() - responder.SentAt("10.77.2.14");
    EXPECT_GE(lastQuiet, milliseconds(5000));
    EXPECT_LT(lastQuiet, milliseconds(5800));
}

TEST_F(BroadcastDiscovery, ASocketFailureEndsTheRunWithItsText) {
    INSIDE_A_NETWORK_NAMESPACE();
    // Without the default route only the console's own subnets can be reached.
    ASSERT_EQ(RunCommand({FindProgram("ip"), "route", "del", "default"}).exitCode, 0);
    // A subnet the workstation has no route to fails the send.
    TestDocument t(Settings("10.88.1", "10.77.1.1"), &snmp);
    RecordingMonitor monitor;
    EXPECT_EQ(BroadcastScanThread(t.Doc(), monitor), kDiscoverySocketError);
    EXPECT_TRUE(monitor.Lines().empty());
    EXPECT_EQ(t.Messages().Texts(),
              std::vector<std::string>{"The network cannot be reached from this host at "
                                       "this time"});
    EXPECT_EQ(monitor.DoneCount(), 1);
}

TEST(WinSockErrorText, BothTablesAndTheFallbacks) {
    EXPECT_EQ(WinSockErrorText("SendToSocketError1", WinSockCodeFromErrno(EACCES)),
              "The requested address is a broadcast address, but the appropriate flag was not "
              "set. Call setsockopt with the SO_BROADCAST parameter to allow the use of the "
              "broadcast address. ");
    EXPECT_EQ(WinSockErrorText("BindSocketError", WinSockCodeFromErrno(EADDRINUSE)).substr(0, 48),
              "The socket's local address is already in use and");
    EXPECT_NE(WinSockErrorText("RecvFromSocketError", WinSockCodeFromErrno(ECONNRESET))
                  .find("with a \"Port Unreachable\" ICMP packet."),
              std::string::npos);
    EXPECT_NE(WinSockErrorText("SocketInitError", 10037).find("socket. \nIn order"),
              std::string::npos);
    // A code the table lacks, including a system error with no counterpart.
    EXPECT_EQ(WinSockErrorText("SocketInitError", 10039), "socket - unknown error:10039");
    EXPECT_EQ(WinSockErrorText("SocketInitError", WinSockCodeFromErrno(EMFILE)),
              "socket - unknown error:" + std::to_string(EMFILE));
    // The start-up has a table of its own.
    EXPECT_EQ(WinSockErrorText("WSAStartupError", 10092),
              "The version of Windows Sockets support requested is not provided by this "
              "particular Windows Sockets implementation");
    EXPECT_EQ(WinSockErrorText("WSAStartupError", 10013), "Unknown WSAStartup Error");
    EXPECT_EQ(WinSockErrorText("SendToSocketError2", 10091), "socket - unknown error:10091");
}

}  // namespace
