#include <gtest/gtest.h>

#include <random>

#include "FakeTerminals.h"
#include "RecordingMonitor.h"
#include "TestDocument.h"
#include "core/common/StringTable.h"
#include "core/discovery/DiscoveryControl.h"
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
    void Fleet(std::initializer_list<FakeTerminal> terminals) {
        for (const auto& terminal : terminals) {
            AddFakeTerminal(snmp, terminal);
        }
    }
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

TEST_F(SnmpScan, LogsEachNewTerminalOnceAndPassesOverTheOthers) {
    TestDocument t(RangeSettings("10.1.1;10.1.2", 1, 10), &snmp);
    Fleet({{.ip = "10.1.1.3", .name = "FRONT", .description = "Desk 1", .mac = "008064000001"},
           {.ip = "10.1.2.5", .name = "BACK", .description = "Desk 2", .mac = "008064000002"},
           {.ip = "10.1.2.7", .name = "SIDE", .description = "Desk 3", .mac = "008064000003"},
           // Any answer is an answer, even a name that reads like a failure text.
           {.ip = "10.1.2.6", .name = "ErrorLab", .mac = "008064000004"}});
    snmp.silentAgents.insert("10.1.2.4");
    // An agent that refuses the name (unknown object) has given no name.
    snmp.agents["10.1.2.8"][".1.3.6.1.2.1.1.1.0"] = FakeSnmpManager::Text("no name here");
    RecordingMonitor monitor;

    EXPECT_EQ(SnmpScanThread(t.Doc(), monitor), kDiscoveryEnded);

    // The last subnet of the list is scanned first.
    std::vector<std::string> expected;
    for (const auto& block : {TerminalBlock("BACK", "Desk 2", "10.1.2.5"),
                              TerminalBlock("ErrorLab", "Thin client", "10.1.2.6"),
                              TerminalBlock("SIDE", "Desk 3", "10.1.2.7"),
                              TerminalBlock("FRONT", "Desk 1", "10.1.1.3")}) {
        expected.insert(expected.end(), block.begin(), block.end());
    }
    EXPECT_EQ(monitor.Lines(), expected);
    EXPECT_EQ(Database(t.Doc()), (std::vector<Found>{{"BACK", "10.1.2.5"},
                                                     {"ErrorLab", "10.1.2.6"},
                                                     {"SIDE", "10.1.2.7"},
                                                     {"FRONT", "10.1.1.3"}}));
    EXPECT_EQ(monitor.DoneCount(), 1);
    EXPECT_TRUE(t.Messages().Texts().empty());
    // Each address is probed once, with the short GET.
    std::vector<std::string> probed = Probed();
    ASSERT_EQ(probed.size(), 20u);
    EXPECT_EQ(probed.front(), "10.1.2.1");
    EXPECT_EQ(probed.back(), "10.1.1.10");
    // The bar walks 0..9 once: each subnet takes half of it.
    EXPECT_EQ(monitor.Progress(), (std::vector<int>{0, 0, 1, 1, 2, 2, 3, 3, 4, 4,  //
                                                    4, 4, 5, 5, 6, 6, 7, 7, 8, 8}));

    // Scanning again finds nothing new.
    RecordingMonitor again;
    EXPECT_EQ(SnmpScanThread(t.Doc(), again), kDiscoveryEnded);
    EXPECT_TRUE(again.Lines().empty());
    EXPECT_EQ(again.DoneCount(), 1);
    EXPECT_EQ(t.Terminals().Count(), 4u);
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

// The subnet list is read whole, however long; more than 255 entries, or an
// empty one, are reported and end the run before any probe.
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
    std::string tooMany;
    for (int i = 0; i < 8; ++i) {
        tooMany += list;  // 256 entries
    }
    for (const std::string& bad : {tooMany, std::string("10.1.1;;10.1.2")}) {
        FakeSnmpManager silent;
        TestDocument refused(RangeSettings(bad, 1, 10), &silent);
        RecordingMonitor none;
        EXPECT_EQ(SnmpScanThread(refused.Doc(), none), kDiscoveryEnded);
        EXPECT_EQ(refused.Messages().Texts(),
                  std::vector<std::string>{"Bad Discover IP Sub Net Entry in INI, Check Setup"});
        EXPECT_TRUE(none.Lines().empty());
        EXPECT_TRUE(silent.Opens().empty());
        EXPECT_EQ(none.DoneCount(), 1);
    }
}

TEST_F(SnmpScan, NamesAndDescriptionsCannotForgeLogLines) {
    TestDocument t(RangeSettings("10.1.2", 7, 7), &snmp);
    Fleet({{.ip = "10.1.2.7", .name = "A\n\nFORGED", .description = "\x1b[2Jdesk\t3"}});
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

}  // namespace
