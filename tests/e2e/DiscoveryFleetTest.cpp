// Discovery against the simulated fleet: the range scan on loopback
// addresses, the broadcast method inside a network namespace of its own.
#include <gtest/gtest.h>

#include "FakeTerminals.h"
#include "NetNamespace.h"
#include "Recorders.h"
#include "SimFleetProcess.h"
#include "TestDocument.h"
#include "core/discovery/DiscoveryControl.h"
#include "core/terminals/TerminalDatabase.h"

namespace {

// Hosts 1 to 8 of 127.0.66: four terminals of both models (one with a name that
// reads like a failure text), one that never answers, and three addresses
// without any.
const char* const kLoopbackFleet = R"INI(
[ALPHA]
Address=127.0.66.2
Description=Front desk
[BRAVO]
Address=127.0.66.4
Description=Back office
[ErrorLab]
Address=127.0.66.5
[QUIET]
Address=127.0.66.6
Silent=yes
[OLDIE]
Address=127.0.66.7
Model=older
Description=Old model
)INI";

std::vector<std::string> Blocks(
    std::initializer_list<std::tuple<const char*, const char*, const char*>> terminals) {
    std::vector<std::string> lines;
    for (const auto& [name, description, ip] : terminals) {
        auto block = TerminalBlock(name, description, ip);
        lines.insert(lines.end(), block.begin(), block.end());
    }
    return lines;
}

class DiscoveryFleet : public ::testing::Test {
protected:
    void Start(const std::string& fleetText, std::vector<std::string> args = {},
               bool broadcast = false) {
        fleet = std::make_unique<SimFleetProcess>(
            SimFleetProcess::Options{fleetText, std::move(args), broadcast, {}});
        ASSERT_TRUE(fleet->Ready()) << fleet->Log();
    }
    std::string Settings(const std::string& misc) const {
        return DefaultSettingsWith(misc, {.snmp = fleet->SnmpPort()});
    }

    std::unique_ptr<SimFleetProcess> fleet;
};

TEST_F(DiscoveryFleet, TheRangeScanFindsTheFleetOnceWhateverTheProbingWidth) {
    Start(kLoopbackFleet);
    TestDocument t(
        Settings("DiscoverIPSubNet=127.0.66\nDiscoverRangeLow=1\nDiscoverRangeHigh=8\n"));
    const auto expected = Blocks({{"ALPHA", "Front desk", "127.0.66.2"},
                                  {"BRAVO", "Back office", "127.0.66.4"},
                                  {"ErrorLab", "T400 thin client, firmware 5.2.1044", "127.0.66.5"},
                                  {"OLDIE", "Old model", "127.0.66.7"}});

    RecordingMonitor first;
    EXPECT_EQ(SnmpScanThread(t.Doc(), first), kDiscoveryEnded);
    EXPECT_EQ(first.Lines(), expected);
    EXPECT_EQ(first.Progress(), (std::vector<int>{0, 1, 2, 3, 4, 5, 6, 7}));
    EXPECT_EQ(first.DoneCount(), 1);
    EXPECT_TRUE(t.Messages().Texts().empty()) << t.Messages().Texts().front();

    // Nothing new on a second scan.
    RecordingMonitor second;
    EXPECT_EQ(SnmpScanThread(t.Doc(), second), kDiscoveryEnded);
    EXPECT_TRUE(second.Lines().empty());
    EXPECT_EQ(t.Terminals().Count(), 4u);

    // With every address probed at once, the same run.
    t.Terminals().Clear();
    RecordingMonitor parallel;
    EXPECT_EQ(SnmpScanThread(t.Doc(), parallel, {}, 8), kDiscoveryEnded);
    EXPECT_EQ(parallel.Lines(), expected);
    EXPECT_EQ(parallel.Progress(), first.Progress());
}

// The console at 10.66.1.1; the terminals on the other end of a veth pair.
NamespaceAddresses BroadcastNetwork() {
    return {{"10.66.1.1"}, {"10.66.1.10/32", "10.66.1.11/32", "10.66.1.12/32", "10.66.1.13/32"}};
}

TEST_F(DiscoveryFleet, BroadcastDiscoveryFindsTheAnsweringTerminalsOnce) {
    if (!InTestNamespace()) {
        RUN_TEST_IN_NAMESPACE(BroadcastNetwork());
        return;
    }
    Start(R"INI(
[ALPHA]
Address=10.66.1.10
Description=Front desk
[BRAVO]
Address=10.66.1.11
Description=Back office
[WRONG]
Address=10.66.1.12
WrongMagic=yes
[QUIET]
Address=10.66.1.13
Silent=yes
)INI",
          {"--broadcast-port", "2343"}, true);
    // The workstation is on the subnet: the limited broadcast goes out too,
    // and every terminal answers both.
    TestDocument t(
        Settings("DiscoverIPSubNet=10.66.1\nDiscoverMethod=BCAST\nLocalHostIP=10.66.1.1\n"));
    RecordingMonitor monitor;
    EXPECT_EQ(BroadcastScanThread(t.Doc(), monitor), kDiscoveryEnded);
    EXPECT_EQ(monitor.Lines(), Blocks({{"ALPHA", "Front desk", "10.66.1.10"},
                                       {"BRAVO", "Back office", "10.66.1.11"}}))
        << fleet->Log();
    EXPECT_EQ(monitor.Progress(), std::vector<int>{256});
    EXPECT_EQ(monitor.DoneCount(), 1);
    EXPECT_TRUE(t.Messages().Texts().empty());
    std::string log = fleet->Log();
    EXPECT_NE(log.find("to 255.255.255.255 answered"), std::string::npos) << log;
}

}  // namespace
