// The simulated fleet as net-snmp's tools see it. The other suites drive it
// through the console (its transfers and outcome traps against pyftpdlib and
// a trap receiver on net-snmp's parser); this proves the objects they rely on.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include "MissingPeer.h"
#include "SimFleetProcess.h"

namespace {

const std::string kOlder = ".1.3.6.1.4.1.32473.22";
const std::string kSysName = ".1.3.6.1.2.1.1.5.0";

bool Contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

class SimFleetSmoke : public ::testing::Test {
protected:
    void Start(const std::string& fleetText, std::vector<std::string> args = {}) {
        if (FindProgram("snmpget").empty()) {
            SKIP_FOR_MISSING_PEER("net-snmp's command-line tools are not installed");
        }
        fleet = std::make_unique<SimFleetProcess>(
            SimFleetProcess::Options{fleetText, std::move(args), true, {}});
        ASSERT_TRUE(fleet->Ready()) << fleet->Log();
    }
    std::unique_ptr<SimFleetProcess> fleet;
};

// Both models' layouts from the shipped settings, the interface table, the
// communities, and the terminals that refuse or never answer.
TEST_F(SimFleetSmoke, AgentsServeTheSettingsObjectsAndGuardThem) {
    Start(R"INI(
[FRONT]
Address=127.0.0.2
MAC=02:46:57:AA:BB:CC
Interfaces=3
EthernetIndex=3
[OLD]
Address=127.0.0.3
Model=older
BuildNumber=3.7.215
[GUARDED]
Address=127.0.0.4
RefuseSetsOf=OidSysLocation
[SILENT]
Address=127.0.0.5
Silent=yes
)INI");
    struct Row {
        const char* tool;
        const char* community;
        const char* address;
        std::vector<std::string> args;
        const char* answer;  // a part of what the tool prints
    };
    const Row rows[] = {
        {"snmpget", "public", "127.0.0.2", {kSysName}, "\"FRONT\""},
        {"snmpget", "public", "127.0.0.2", {".1.3.6.1.2.1.1.2.0"}, ".1.3.6.1.4.1.32473.1.400"},
        {"snmpget", "public", "127.0.0.3", {".1.3.6.1.2.1.1.2.0"}, ".1.3.6.1.4.1.32473.1.2200"},
        {"snmpget", "public", "127.0.0.2", {".1.3.6.1.2.1.2.2.1.3.3"}, "INTEGER: 6"},
        {"snmpget", "public", "127.0.0.2", {".1.3.6.1.2.1.2.2.1.6.3"}, "02 46 57 AA BB CC"},
        // The older model answers "1" where the current one keeps its date.
        {"snmpget", "public", "127.0.0.3", {kOlder + ".1.1.0"}, "\"1\""},
        {"snmpget", "public", "127.0.0.3", {kOlder + ".9.2.0"}, "\"3.7.215\""},
        {"snmpget", "public", "127.0.0.3", {kOlder + ".1.2.0"}, "noSuchName"},
        {"snmpset", "private", "127.0.0.2", {kSysName, "s", "FRONT-2"}, "\"FRONT-2\""},
        {"snmpget", "public", "127.0.0.2", {kSysName}, "\"FRONT-2\""},
        {"snmpset", "private", "127.0.0.4", {".1.3.6.1.2.1.1.6.0", "s", "x"}, "readOnly"},
        // No answer at all: a wrong community, a SET with the read community.
        {"snmpget", "nobody", "127.0.0.2", {kSysName}, "Timeout"},
        {"snmpset", "public", "127.0.0.2", {kSysName, "s", "X"}, "Timeout"},
        {"snmpget", "public", "127.0.0.5", {kSysName}, "Timeout"},
    };
    for (const Row& row : rows) {
        CommandResult run =
            Snmp(row.tool, row.community, fleet->At(row.address), row.args, "0.5", 0);
        EXPECT_TRUE(Contains(run.output, row.answer)) << row.args[0] << ": " << run.output;
    }
}

// Nothing is sent off this machine, and a stop ends the fleet cleanly.
TEST(SimFleetCommandLine, FarAddressesAreRefusedAndATermEndsTheFleet) {
    TempDir dir;
    WriteTextFile(dir.File("far.ini"), "[T1]\nAddress=192.0.2.1\n");
    CommandResult far =
        RunCommand({SimFleetProgram(), "--fleet", dir.File("far.ini"), "--snmp-port",
                    std::to_string(FreeUdpPort()), "--no-broadcast"});
    EXPECT_EQ(far.exitCode, 1);
    EXPECT_TRUE(Contains(far.output, "cannot bind 192.0.2.1")) << far.output;
    CommandResult trap = RunCommand({SimFleetProgram(), "trap", "--to", "192.0.2.1:162"});
    EXPECT_EQ(trap.exitCode, 2);
    EXPECT_TRUE(Contains(trap.output, "not an address of this machine")) << trap.output;
    SimFleetProcess fleet({"[T1]\nAddress=127.0.0.2\n", {}, true, {}});
    ASSERT_TRUE(fleet.Ready()) << fleet.Log();
    int status = fleet.Stop();
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
}

}  // namespace
