#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <map>
#include <random>
#include <thread>

#include "FakeTerminals.h"
#include "NetNamespace.h"
#include "Recorders.h"
#include "TestDocument.h"
#include "core/common/StringTable.h"
#include "core/discovery/DiscoveryControl.h"
#include "core/discovery/SubnetList.h"
#include "core/discovery/WinSockErrorText.h"
#include "core/terminals/TerminalDatabase.h"

namespace {

const std::string kSysName = ".1.3.6.1.2.1.1.5.0";

std::string RangeSettings(const std::string& subnets, int low, int high,
                          const std::string& more = "") {
    return DefaultSettingsWith("DiscoverIPSubNet=" + subnets +
                               "\nDiscoverRangeLow=" + std::to_string(low) +
                               "\nDiscoverRangeHigh=" + std::to_string(high) + "\n" + more);
}

struct Found {
    std::string name;
    std::string ip;
    bool operator==(const Found&) const = default;
};
std::vector<Found> Database(CTarnDoc& doc) {
    std::vector<Found> found;
    for (const auto& entry : doc.State().Terminals().Entries()) {
        found.push_back({entry.record.m_name, entry.record.m_ip});
    }
    return found;
}

class SnmpScan : public ::testing::Test {
protected:
    // The probes the scan sent, in order.
    std::vector<std::string> Probed() const {
        std::vector<std::string> agents;
        for (const auto& open : snmp.Opens()) {
            if (open.timeoutMs == 200) {
                EXPECT_EQ(open.retries, 2);
                agents.push_back(open.agent);
            }
        }
        return agents;
    }
    FakeSnmpManager snmp;
};

// The last subnet of the list is scanned first, each address probed once with
// the short GET while the bar walks 0..9 once over both; an agent that refuses
// the name has given none. (The fleet's own scan: tests/e2e.)
TEST_F(SnmpScan, ScansTheLastSubnetFirstAndProbesEachAddressOnce) {
    TestDocument t(RangeSettings("10.1.1;10.1.2", 1, 10), &snmp);
    AddFakeTerminal(
        snmp, {.ip = "10.1.1.3", .name = "FRONT", .description = "Desk 1", .mac = "008064000001"});
    AddFakeTerminal(
        snmp, {.ip = "10.1.2.5", .name = "BACK", .description = "Desk 2", .mac = "008064000002"});
    snmp.agents["10.1.2.8"][".1.3.6.1.2.1.1.1.0"] = FakeSnmpManager::Text("no name here");
    RecordingMonitor monitor;
    EXPECT_EQ(SnmpScanThread(t.Doc(), monitor), kDiscoveryEnded);
    std::vector<std::string> expected = TerminalBlock("BACK", "Desk 2", "10.1.2.5");
    for (const auto& line : TerminalBlock("FRONT", "Desk 1", "10.1.1.3")) {
        expected.push_back(line);
    }
    EXPECT_EQ(monitor.Lines(), expected);
    EXPECT_EQ(Database(t.Doc()), (std::vector<Found>{{"BACK", "10.1.2.5"}, {"FRONT", "10.1.1.3"}}));
    EXPECT_EQ(monitor.DoneCount(), 1);
    EXPECT_TRUE(t.Messages().Texts().empty());
    std::vector<std::string> probed = Probed();
    ASSERT_EQ(probed.size(), 20u);
    EXPECT_EQ(probed.front() + " " + probed.back(), "10.1.2.1 10.1.1.10");
    EXPECT_EQ(monitor.Progress(), (std::vector<int>{0, 0, 1, 1, 2, 2, 3, 3, 4, 4,  //
                                                    4, 4, 5, 5, 6, 6, 7, 7, 8, 8}));
}

TEST_F(SnmpScan, RangeEdges) {
    // Each end is taken into 0..255 when read; low above high scans nothing.
    struct Case {
        long long low, high;
        std::vector<std::string> probed;
    };
    const Case cases[] = {
        {5, 5, {"10.1.2.5"}},
        {253, 258, {"10.1.2.253", "10.1.2.254", "10.1.2.255"}},
        {-1, 1, {"10.1.2.0", "10.1.2.1"}},
        {254, 2147483647, {"10.1.2.254", "10.1.2.255"}},
        {-4294967295, 0, {"10.1.2.0"}},
        {9, 3, {}},
    };
    for (const Case& c : cases) {
        FakeSnmpManager hosts;
        TestDocument t(DefaultSettingsWith(
                           "DiscoverIPSubNet=10.1.2\nDiscoverRangeLow=" + std::to_string(c.low) +
                           "\nDiscoverRangeHigh=" + std::to_string(c.high) + "\n"),
                       &hosts);
        RecordingMonitor monitor;
        EXPECT_EQ(SnmpScanThread(t.Doc(), monitor), kDiscoveryEnded);
        std::vector<std::string> asked;
        for (const auto& open : hosts.Opens()) {
            asked.push_back(open.agent);
        }
        EXPECT_EQ(asked, c.probed) << c.low << ".." << c.high;
        EXPECT_EQ(monitor.Progress().size(), c.probed.size());
        EXPECT_EQ(monitor.DoneCount(), 1);
    }
}

// The subnet list is read whole, however long; a bad one (tests below) is
// reported and ends the run before any probe.
TEST_F(SnmpScan, TheSubnetListIsReadWholeOrRefused) {
    std::string list;
    for (int i = 0; i < 32; ++i) {
        list += "127.0." + std::to_string(100 + i) + ";";
    }
    TestDocument t(RangeSettings(list, 1, 1), &snmp);
    RecordingMonitor monitor;
    EXPECT_EQ(SnmpScanThread(t.Doc(), monitor), kDiscoveryEnded);
    ASSERT_EQ(Probed().size(), 32u);
    EXPECT_EQ(Probed().front(), "127.0.131.1");
    FakeSnmpManager silent;
    TestDocument refused(RangeSettings("10.1.1;;10.1.2", 1, 10), &silent);
    RecordingMonitor none;
    EXPECT_EQ(SnmpScanThread(refused.Doc(), none), kDiscoveryEnded);
    EXPECT_EQ(refused.Messages().Texts(),
              std::vector<std::string>{"Bad Discover IP Sub Net Entry in INI, Check Setup"});
    EXPECT_TRUE(none.Lines().empty());
    EXPECT_TRUE(silent.Opens().empty());
    EXPECT_EQ(none.DoneCount(), 1);
}

TEST_F(SnmpScan, NamesAndDescriptionsCannotForgeLogLines) {
    TestDocument t(RangeSettings("10.1.2", 7, 7), &snmp);
    AddFakeTerminal(snmp,
                    {.ip = "10.1.2.7", .name = "A\n\nFORGED", .description = "\x1b[2Jdesk\t3"});
    RecordingMonitor monitor;
    EXPECT_EQ(SnmpScanThread(t.Doc(), monitor), kDiscoveryEnded);
    EXPECT_EQ(monitor.Lines(), TerminalBlock("A\\n\\nFORGED", "\\x1b[2Jdesk\\t3", "10.1.2.7"));
}

TEST_F(SnmpScan, WithoutTheMonitorWindowNothingIsProbed) {
    TestDocument t(RangeSettings("10.1.2", 1, 254, "DiscoverParallel=16\n"), &snmp);
    RecordingMonitor monitor;
    monitor.hasWindow = false;
    DiscoveryWorker worker;
    worker.Start(t.Doc(), monitor);
    EXPECT_EQ(worker.Join(), kDiscoveryEnded);
    EXPECT_TRUE(worker.Finished());
    EXPECT_EQ(monitor.DoneCount(), 1);
    EXPECT_TRUE(monitor.Progress().empty());
    EXPECT_TRUE(monitor.Lines().empty());
    EXPECT_TRUE(snmp.Opens().empty());
}

// The runs below compare the one-by-one scan with parallel probing; they run
// under ThreadSanitizer too.

// A fleet spread over three subnets: live terminals, silent addresses,
// failing names and addresses that answer with an error, in a fixed mix.
std::string MixedFleet(FakeSnmpManager& snmp) {
    std::mt19937 random(2026);
    int serial = 0;
    for (const char* subnet : {"10.2.1", "10.2.2", "10.2.3"}) {
        for (int host = 1; host <= 40; ++host) {
            std::string ip = std::string(subnet) + "." + std::to_string(host);
            switch (random() % 5) {
                case 0:
                case 1: {
                    char mac[16];
                    std::snprintf(mac, sizeof(mac), "0080640000%02X", (++serial) & 0xFF);
                    AddFakeTerminal(snmp, {.ip = ip,
                                           .name = "T" + std::to_string(serial),
                                           .description = "Desk " + ip,
                                           .mac = mac});
                    break;
                }
                case 2:
                    snmp.silentAgents.insert(ip);
                    break;
                case 3:
                    AddFakeTerminal(snmp, {.ip = ip, .name = "Error " + ip});
                    break;
                default:
                    break;  // answers every GET with noSuchName
            }
        }
    }
    return RangeSettings("10.2.1;10.2.2;10.2.3", 1, 40);
}

struct RunRecord {
    unsigned exitCode;
    std::vector<std::string> lines;
    std::vector<int> progress;
    std::vector<Found> database;
    int done;
};

// `onLine` may ask the run to stop through the source it is given.
RunRecord Scan(CTarnDoc& doc, std::optional<long> parallel,
               std::function<void(const std::string&, std::stop_source&)> onLine = {}) {
    doc.State().Terminals().Clear();
    std::stop_source stop;
    RecordingMonitor monitor;
    if (onLine) {
        monitor.onLine = [&](const std::string& line) { onLine(line, stop); };
    }
    unsigned code = SnmpScanThread(doc, monitor, stop.get_token(), parallel);
    return {code, monitor.Lines(), monitor.Progress(), Database(doc), monitor.DoneCount()};
}

TEST(DiscoveryConcurrency, ParallelProbingChangesNothingButTheTime) {
    FakeSnmpManager snmp;
    TestDocument t(MixedFleet(snmp), &snmp);
    snmp.delay = std::chrono::milliseconds(2);

    RunRecord sequential = Scan(t.Doc(), std::nullopt);
    EXPECT_EQ(snmp.MostInFlight(), 1);
    ASSERT_GT(sequential.database.size(), 30u);
    EXPECT_EQ(sequential.exitCode, kDiscoveryEnded);
    EXPECT_EQ(sequential.lines.size(), 5 * sequential.database.size());
    EXPECT_EQ(sequential.progress.size(), 120u);

    for (long width : {2L, 7L, 64L, 1000L}) {
        RunRecord parallel = Scan(t.Doc(), width);
        EXPECT_EQ(parallel.exitCode, sequential.exitCode) << width;
        EXPECT_EQ(parallel.lines, sequential.lines) << width;
        EXPECT_EQ(parallel.progress, sequential.progress) << width;
        EXPECT_EQ(parallel.database, sequential.database) << width;
        EXPECT_EQ(parallel.done, 1) << width;
    }
    EXPECT_GT(snmp.MostInFlight(), 7);
    EXPECT_TRUE(t.Messages().Texts().empty());
}

TEST(DiscoveryConcurrency, AStopRequestEndsTheScanBeforeTheNextAddress) {
    FakeSnmpManager snmp;
    TestDocument t(MixedFleet(snmp), &snmp);
    // The request comes while the third terminal found is being logged.
    auto stopAtThirdBlock = [count = 0](const std::string& line, std::stop_source& stop) mutable {
        if (line == kSeparatorLine && ++count == 3) {
            stop.request_stop();
        }
    };
    for (std::optional<long> width : {std::optional<long>{}, std::optional<long>{16}}) {
        RunRecord run = Scan(t.Doc(), width, stopAtThirdBlock);
        EXPECT_EQ(run.exitCode, kDiscoveryStopped);
        EXPECT_EQ(run.database.size(), 3u);
        EXPECT_EQ(run.lines.size(), 15u);
        EXPECT_EQ(run.done, 1);
    }
}

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

// Answers each request as the script says, from a thread of its own; the
// replies to one request go out in order, each at its time.
class Responder {
public:
    explicit Responder(std::map<std::string, std::vector<Reply>> script)
        : m_script(std::move(script)) {
        int on = 1;
        ::setsockopt(m_socket, IPPROTO_IP, IP_PKTINFO, &on, sizeof(on));
        sockaddr_in any = Endpoint("0.0.0.0", 2343);
        m_ready = ::bind(m_socket, reinterpret_cast<sockaddr*>(&any), sizeof(any)) == 0;
        m_thread = std::jthread([this](std::stop_token stop) { Serve(stop); });
    }
    ~Responder() {
        m_thread.request_stop();
        m_thread.join();
        ::close(m_socket);
    }
    bool Ready() const { return m_ready; }
    // The destination and the payload of each request seen.
    std::vector<std::pair<std::string, std::string>> Requests() const {
        std::lock_guard lock(m_mutex);
        return m_seen;
    }

private:
    void Serve(std::stop_token stop) {
        while (!stop.stop_requested()) {
            pollfd watch{m_socket, POLLIN, 0};
            char data[2048], control[256];
            sockaddr_in source{};
            iovec vector{data, sizeof(data)};
            msghdr message{&source, sizeof(source), &vector, 1, control, sizeof(control), 0};
            ssize_t length = ::poll(&watch, 1, 50) > 0 ? ::recvmsg(m_socket, &message, 0) : -1;
            if (length < 0) {
                continue;
            }
            // IP_PKTINFO is the only control message asked for.
            char destination[INET_ADDRSTRLEN];
            ::inet_ntop(
                AF_INET,
                &reinterpret_cast<in_pktinfo*>(CMSG_DATA(CMSG_FIRSTHDR(&message)))->ipi_addr,
                destination, sizeof(destination));
            {
                std::lock_guard lock(m_mutex);
                m_seen.push_back(
                    {destination, std::string(data, static_cast<std::size_t>(length))});
            }
            auto at = Clock::now();
            for (const Reply& reply : m_script[destination]) {
                std::this_thread::sleep_until(at + milliseconds(reply.afterMs));
                int out = ::socket(AF_INET, SOCK_DGRAM, 0);
                sockaddr_in from = Endpoint(reply.from, 0);
                ::bind(out, reinterpret_cast<const sockaddr*>(&from), sizeof(from));
                ::sendto(out, reply.payload.data(), reply.payload.size(), 0,
                         reinterpret_cast<const sockaddr*>(&source), sizeof(source));
                ::close(out);
            }
        }
    }

    std::map<std::string, std::vector<Reply>> m_script;
    int m_socket = ::socket(AF_INET, SOCK_DGRAM, 0);
    bool m_ready = false;
    mutable std::mutex m_mutex;
    std::vector<std::pair<std::string, std::string>> m_seen;
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

// Replies with the wrong magic or too short are passed over; one longer than
// the receive buffer is logged and the run goes on. The last subnet of the list
// goes first, each request the 8-byte datagram; the limited broadcast follows
// only when the workstation is on a listed subnet (10.77.12.7 merely looks as
// if it were on 10.77.1), and a terminal that answers twice is logged once.
TEST_F(BroadcastDiscovery, EachTerminalThatAnswersIsLoggedOnce) {
    INSIDE_A_NETWORK_NAMESPACE();
    const std::string magic = "KorvroK";
    for (const std::string workstation : {"10.77.1.1", "10.77.12.7"}) {
        SCOPED_TRACE(workstation);
        const bool onSubnet = workstation == "10.77.1.1";
        Responder responder({
            {"10.77.2.255",
             {{"10.77.2.10", magic + std::string("\0 model 400", 11), 0},
              {"10.77.2.11", "KorvroX and more", 20},
              {"10.77.2.12", "Korvro", 40},
              {"10.77.2.13", magic + std::string(994, 'x'), 60},
              {"10.77.2.14", magic, 100}}},
            {"10.77.1.255", {{"10.77.1.10", magic, 0}, {"10.77.1.11", kRequest, 50}}},
            {"255.255.255.255", {{"10.77.1.10", magic, 150}, {"10.77.1.12", magic, 200}}},
        });
        ASSERT_TRUE(responder.Ready());
        TestDocument t(Settings("10.77.1;10.77.2", workstation), &snmp);
        RecordingMonitor monitor;
        EXPECT_EQ(BroadcastScanThread(t.Doc(), monitor), kDiscoveryEnded);
        std::vector<std::string> expected = Blocks({"10.77.2.10"});
        expected.push_back(WinSockErrorText("RecvFromSocketError", 10040));
        for (const auto& line : Blocks({"10.77.2.14", "10.77.1.10", "10.77.1.11"})) {
            expected.push_back(line);
        }
        std::vector<std::string> destinations = {"10.77.2.255", "10.77.1.255"};
        if (onSubnet) {
            for (const auto& line : Blocks({"10.77.1.12"})) {
                expected.push_back(line);
            }
            destinations.push_back("255.255.255.255");
        }
        EXPECT_EQ(monitor.Lines(), expected);
        EXPECT_EQ(monitor.Progress(), (std::vector<int>{128, 256}));
        EXPECT_EQ(monitor.DoneCount(), 1);
        EXPECT_TRUE(t.Messages().Texts().empty());
        std::vector<std::string> seen;
        for (const auto& [destination, payload] : responder.Requests()) {
            seen.push_back(destination);
            EXPECT_EQ(payload, kRequest);
        }
        EXPECT_EQ(seen, destinations);
    }
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

TEST_F(BroadcastDiscovery, AWindowGoneEndsTheRunNormallyWithoutWaiting) {
    INSIDE_A_NETWORK_NAMESPACE();
    Responder responder(
        {{"10.77.2.255", {{"10.77.2.10", "KorvroK", 0}, {"10.77.2.11", "KorvroK", 300}}}});
    ASSERT_TRUE(responder.Ready());
    TestDocument t(Settings("10.77.1;10.77.2", "10.77.9.1"), &snmp);
    RecordingMonitor monitor;
    monitor.onLine = [&monitor](const std::string& line) {
        monitor.hasWindow = monitor.hasWindow && line != kSeparatorLine;
    };
    auto started = Clock::now();
    EXPECT_EQ(BroadcastScanThread(t.Doc(), monitor), kDiscoveryEnded);
    EXPECT_LT(Clock::now() - started, milliseconds(1500));
    EXPECT_EQ(monitor.Lines(), Blocks({"10.77.2.10"}));
    EXPECT_EQ(responder.Requests().size(), 1u);  // the other subnet is passed over
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

using Entries = std::vector<std::string>;

// An entry is exactly three numbers from 0 to 255: shorter forms, octal and
// hexadecimal parts, and anything the C library's reader would stop before
// (white space, a NUL) are refused. An empty or bad entry rejects the whole
// list, and so do more than 255 entries; the empty text leaves the table as
// it was.
TEST(SubnetList, BadListsAreRejectedWhole) {
    SubnetTable table;
    ASSERT_TRUE(ParseSubnetList("255.255.255;0.0.0;127.0.0;10.1.2;192.168.100", table));
    std::string full;
    for (int i = 0; i < 255; ++i) {
        full += "10." + std::to_string(i / 200) + "." + std::to_string(i % 200) + ";";
    }
    ASSERT_TRUE(ParseSubnetList(full, table));
    EXPECT_EQ(table.Count(), 255u);
    EXPECT_EQ(table.Entries().front(), "10.1.54");
    for (const std::string& bad : std::vector<std::string>{"10.1",
                                                           "10",
                                                           "0x0a.1.2",
                                                           "010.1.2",
                                                           "10.1.02",
                                                           "1000.1.2",
                                                           "10.1.256",
                                                           "10.1.1.1",
                                                           "10.1.x",
                                                           "10..1",
                                                           "10.1.2.",
                                                           "a.b.c",
                                                           "10.1.2 ",
                                                           " 10.1.2",
                                                           "10.1.2\tjunk",
                                                           "-1.2.3",
                                                           "+1.2.3",
                                                           std::string("10.1.2\0", 7),
                                                           std::string("10.1\0.2", 7),
                                                           "10.1.1;;10.1.2",
                                                           ";10.1.1",
                                                           ";;",
                                                           "10.1.1;10.1.2.3",
                                                           "10.1.1; 10.1.2",
                                                           full + "10.2.0"}) {
        ASSERT_TRUE(ParseSubnetList("10.9.9", table));
        EXPECT_FALSE(ParseSubnetList(bad, table)) << bad.substr(0, 20);
        EXPECT_EQ(table.Count(), 0u) << bad.substr(0, 20);
    }
    // Entries are stored last first; any number of ";" at the very end is ignored.
    ASSERT_TRUE(ParseSubnetList("10.9.9;10.9.8;;", table));
    EXPECT_FALSE(ParseSubnetList("", table));
    EXPECT_EQ(table.Entries(), (Entries{"10.9.8", "10.9.9"}));
}

}  // namespace
