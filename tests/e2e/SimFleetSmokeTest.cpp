// The simulated fleet as independent peers see it: net-snmp's tools,
// pyftpdlib and a trap receiver on net-snmp's parser. The other suites drive
// it (its broadcast replies and its trap tool too) through the console; this
// proves the objects and the wire forms they rely on.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include "MissingPeer.h"
#include "NetNamespace.h"
#include "PyFtpServer.h"
#include "SimFleetProcess.h"
#include "TrapReceiver.h"

namespace {

const std::string kCurrent = ".1.3.6.1.4.1.32473.10";  // the current model's prefix
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
[Fleet]
Contact=Service desk
[FRONT]
Address=127.0.0.2
BuildNumber=5.2.1044
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
        {"snmpget", "public", "127.0.0.2", {".1.3.6.1.2.1.1.4.0"}, "\"Service desk\""},
        {"snmpget", "public", "127.0.0.2", {".1.3.6.1.2.1.1.2.0"}, ".1.3.6.1.4.1.32473.1.400"},
        {"snmpget", "public", "127.0.0.3", {".1.3.6.1.2.1.1.2.0"}, ".1.3.6.1.4.1.32473.1.2200"},
        {"snmpget", "public", "127.0.0.2", {".1.3.6.1.2.1.2.2.1.3.3"}, "INTEGER: 6"},
        {"snmpget", "public", "127.0.0.2", {".1.3.6.1.2.1.2.2.1.6.3"}, "02 46 57 AA BB CC"},
        {"snmpget", "public", "127.0.0.2", {kCurrent + ".1.2.0"}, "\"5.2.1044\""},
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

// A request written with snmpset is carried out against pyftpdlib, and its
// outcome trap names the request and the reason as the console decodes them.
TEST_F(SimFleetSmoke, TransfersEndInAnOutcomeTrapOfTheWireForm) {
    PyFtpServer ftp;
    if (!ftp.Ready()) {
        SKIP_FOR_MISSING_PEER("pyftpdlib did not start: " + ftp.Log());
    }
    TrapReceiver traps;
    Start("[T1]\nAddress=127.0.0.2\nConfig=[Network]\\nDHCP=Yes\\n\n",
          {"--trap-port", std::to_string(traps.Port()), "--ftp-port", std::to_string(ftp.Port())});
    auto submit = [&](int direction, const std::string& source, const std::string& dest) {
        std::vector<std::string> args =
            Words(".3.5.0 s 127.0.0.1 .4.1.0 i 1 .4.2.0 s trap-id .4.3.0 i " +
                  std::to_string(direction) + " .4.4.0 s " + source + " .4.5.0 s " + dest +
                  " .4.6.0 i 1 .4.7.0 i 0 .4.8.0 s 127.0.0.1 .4.11.0 i 0 .4.12.0 i 1");
        for (std::size_t i = 0; i < args.size(); i += 3) {
            args[i] = kCurrent + args[i];
        }
        CommandResult set = Snmp("snmpset", "private", fleet->At("127.0.0.2"), args);
        EXPECT_EQ(set.exitCode, 0) << set.output;
    };
    for (auto [direction, source, dest, reason] : {std::tuple{0, "terminal.reg", "/T1.reg", 0L},
                                                   std::tuple{1, "/absent.reg", "x.reg", 6L}}) {
        submit(direction, source, dest);
        auto trap = traps.WaitFor([](const ReceivedTrap& t) { return t.generic == 6; });
        ASSERT_TRUE(trap) << fleet->Log();
        EXPECT_EQ(trap->source + " " + trap->agent, "127.0.0.2 127.0.0.2");
        EXPECT_EQ(trap->enterprise, kCurrent);
        EXPECT_EQ(trap->specific, reason == 0 ? 5 : 6);
        ASSERT_EQ(trap->bindings.size(), 2u);
        EXPECT_EQ(trap->bindings[0].oid + " " + trap->bindings[0].text,
                  kCurrent + ".4.2.0 trap-id");
        EXPECT_EQ(trap->bindings[1].type, 0x02);  // INTEGER
        EXPECT_EQ(trap->bindings[1].integer, reason);
    }
    EXPECT_EQ(ReadTextFile(ftp.Root() + "/T1.reg"), "[Network]\nDHCP=Yes\n");
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

// The namespaces the broadcast tests run in: the given addresses, and a
// default route through the console's end, so that nothing leaves.
TEST(NetNamespaceHelper, GivesTheAddressesAndKeepsTheDefaultRouteInside) {
    std::string unavailable = NamespaceUnavailableReason();
    if (!unavailable.empty()) {
        SKIP_FOR_MISSING_PEER(unavailable);
    }
    CommandResult inside =
        RunInNamespace({{"10.9.8.1"}, {"10.9.8.2/16"}},
                       {"sh", "-c", "ip -o -4 addr show; ip route get 192.0.2.1"});
    EXPECT_EQ(inside.exitCode, 0) << inside.output;
    for (const char* part :
         {"veth0    inet 10.9.8.1/24", "veth1    inet 10.9.8.2/16", "dev veth0"}) {
        EXPECT_TRUE(Contains(inside.output, part)) << part << "\n" << inside.output;
    }
}

}  // namespace
