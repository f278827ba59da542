// The simulated terminals as net-snmp's own command-line tools see them.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <chrono>
#include <set>
#include <sstream>
#include <thread>

#include "MissingPeer.h"
#include "SimFleetProcess.h"

namespace {

const std::string kCurrent = ".1.3.6.1.4.1.32473.10";  // T400's prefix in the shipped settings
const std::string kOlder = ".1.3.6.1.4.1.32473.22";    // T2200's
const std::string kSysName = ".1.3.6.1.2.1.1.5.0";

const char* const kFleet = R"INI(
; two terminals, one of each model
[Fleet]
Contact=Service desk
[FRONT-01]
Address=127.0.0.2
Location=Lobby
CustomField1=Asset 1
DomainName=fleet.example
BuildNumber=5.2.1044
Platform=x86 T400 rev B
ModDate=2024-01-02 03:04:05
MAC=02:46:57:AA:BB:CC
Interfaces=3
EthernetIndex=3
[OLD-01]
Address=127.0.0.3
Model=older
BuildNumber=3.7.215
Platform=T2200 board
ModDate=2023-12-24 18:00:00
)INI";

bool Contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

class SimFleetSnmp : public ::testing::Test {
protected:
    void Start(const std::string& fleet, std::vector<std::string> args = {},
               const std::string& settings = {}) {
        if (FindProgram("snmpget").empty()) {
            SKIP_FOR_MISSING_PEER("net-snmp's command-line tools are not installed");
        }
        fleetProcess = std::make_unique<SimFleetProcess>(
            SimFleetProcess::Options{fleet, std::move(args), false, settings});
        ASSERT_TRUE(fleetProcess->Ready()) << fleetProcess->Log();
    }
    std::string At(const std::string& address) const { return fleetProcess->At(address); }
    std::string Value(const std::string& address, const std::string& oid) const {
        return SnmpGetText(At(address), oid);
    }
    // The output of a SET that is expected to fail with this status.
    std::string SetFailure(const std::string& address, const std::vector<std::string>& args,
                           const std::string& community = "private") const {
        CommandResult result = Snmp("snmpset", community, At(address), args);
        EXPECT_NE(result.exitCode, 0) << result.output;
        return result.output;
    }

    std::unique_ptr<SimFleetProcess> fleetProcess;
};

TEST_F(SimFleetSnmp, ServesIdentityInterfaceTableAndEnterpriseObjects) {
    Start(kFleet);
    EXPECT_EQ(Value("127.0.0.2", kSysName), "FRONT-01");
    EXPECT_EQ(Value("127.0.0.2", ".1.3.6.1.2.1.1.6.0"), "Lobby");
    EXPECT_EQ(Value("127.0.0.2", ".1.3.6.1.2.1.1.4.0"), "Service desk");  // from [Fleet]
    EXPECT_EQ(Value("127.0.0.2", ".1.3.6.1.2.1.1.2.0"), ".1.3.6.1.4.1.32473.1.400");
    EXPECT_EQ(Value("127.0.0.3", ".1.3.6.1.2.1.1.2.0"), ".1.3.6.1.4.1.32473.1.2200");

    // The Ethernet entry is the third of three.
    EXPECT_EQ(Value("127.0.0.2", ".1.3.6.1.2.1.2.1.0"), "3");
    EXPECT_NE(Value("127.0.0.2", ".1.3.6.1.2.1.2.2.1.3.1"), "6");
    EXPECT_NE(Value("127.0.0.2", ".1.3.6.1.2.1.2.2.1.3.2"), "6");
    EXPECT_EQ(Value("127.0.0.2", ".1.3.6.1.2.1.2.2.1.3.3"), "6");
    CommandResult mac = Snmp("snmpget", "public", At("127.0.0.2"), {".1.3.6.1.2.1.2.2.1.6.3"});
    EXPECT_TRUE(Contains(mac.output, "02 46 57 AA BB CC")) << mac.output;

    // Enterprise objects of the current model, including its product-specific ones.
    EXPECT_EQ(Value("127.0.0.2", kCurrent + ".1.1.0"), "2024-01-02 03:04:05");
    EXPECT_EQ(Value("127.0.0.2", kCurrent + ".1.2.0"), "5.2.1044");
    EXPECT_EQ(Value("127.0.0.2", kCurrent + ".1.3.0"), "x86 T400 rev B");
    EXPECT_EQ(Value("127.0.0.2", kCurrent + ".1.4.0"), "Asset 1");
    EXPECT_EQ(Value("127.0.0.2", kCurrent + ".1.7.0"), "fleet.example");
    // The transfer objects are numbers where the console writes numbers.
    CommandResult types = Snmp("snmpget", "private", At("127.0.0.2"),
                               {kCurrent + ".4.3.0", kCurrent + ".4.4.0", kCurrent + ".4.12.0"});
    EXPECT_TRUE(Contains(types.output, ".4.3.0 = INTEGER: 0")) << types.output;
    EXPECT_TRUE(Contains(types.output, ".4.4.0 = \"\"")) << types.output;
    EXPECT_TRUE(Contains(types.output, ".4.12.0 = INTEGER: 0")) << types.output;
}

TEST_F(SimFleetSnmp, AWalkVisitsEveryObjectInOrderAndEnds) {
    Start(kFleet);
    CommandResult walk = Snmp("snmpwalk", "public", At("127.0.0.2"), {".1.3"});
    ASSERT_EQ(walk.exitCode, 0) << walk.output;
    std::istringstream lines(walk.output);
    std::string line;
    std::vector<std::string> oids;
    while (std::getline(lines, line)) {
        if (line.rfind(".", 0) == 0) {
            oids.push_back(line.substr(0, line.find(' ')));
        }
    }
    // net-snmp's walk stops with an error if the agent ever goes backwards.
    EXPECT_FALSE(Contains(walk.output, "OID not increasing")) << walk.output;
    std::set<std::string> seen(oids.begin(), oids.end());
    EXPECT_EQ(seen.size(), oids.size());
    for (const std::string& expected : {kSysName, std::string(".1.3.6.1.2.1.2.2.1.6.3"),
                                        kCurrent + ".1.1.0", kCurrent + ".4.12.0"}) {
        EXPECT_EQ(seen.count(expected), 1u) << expected << "\n" << walk.output;
    }
    // The current model has nothing of the older layout.
    EXPECT_FALSE(Contains(walk.output, kCurrent + ".9.")) << walk.output;
}

TEST_F(SimFleetSnmp, RequestsTheTerminalCannotServeGetTheirErrorStatus) {
    Start(kFleet);
    EXPECT_TRUE(Contains(SetFailure("127.0.0.2", {kSysName, "i", "5"}), "badValue"));
    EXPECT_TRUE(Contains(SetFailure("127.0.0.2", {".1.3.6.1.2.1.1.1.0", "s", "x"}), "readOnly"));
    EXPECT_TRUE(Contains(SetFailure("127.0.0.2", {kCurrent + ".1.2.0", "s", "9.9"}), "readOnly"));
    EXPECT_TRUE(Contains(SetFailure("127.0.0.2", {".1.3.6.1.2.1.1.99.0", "s", "x"}), "noSuchName"));
    CommandResult unknown = Snmp("snmpget", "public", At("127.0.0.2"), {kCurrent + ".8.8.0"});
    EXPECT_TRUE(Contains(unknown.output, "noSuchName")) << unknown.output;

    // A SET changes all of its objects or none.
    std::string partly = SetFailure(
        "127.0.0.2", {".1.3.6.1.2.1.1.6.0", "s", "Cellar", ".1.3.6.1.2.1.1.1.0", "s", "x"});
    EXPECT_TRUE(Contains(partly, "readOnly")) << partly;
    EXPECT_EQ(Value("127.0.0.2", ".1.3.6.1.2.1.1.6.0"), "Lobby");

    // A wrong community gets no answer at all, and so does a SET with the read community.
    CommandResult wrong = Snmp("snmpget", "nobody", At("127.0.0.2"), {kSysName}, "0.3", 0);
    EXPECT_TRUE(Contains(wrong.output, "Timeout")) << wrong.output;
    CommandResult readOnly =
        Snmp("snmpset", "public", At("127.0.0.2"), {kSysName, "s", "X"}, "0.3", 0);
    EXPECT_TRUE(Contains(readOnly.output, "Timeout")) << readOnly.output;
    EXPECT_TRUE(Contains(fleetProcess->Log(), "dropped: wrong community \"nobody\""));

    // What the write community sets, the read community reads.
    CommandResult set = Snmp("snmpset", "private", At("127.0.0.2"),
                             {kSysName, "s", "FRONT-99", kCurrent + ".1.5.0", "s", "Second"});
    EXPECT_EQ(set.exitCode, 0) << set.output;
    EXPECT_EQ(Value("127.0.0.2", kSysName), "FRONT-99");
    EXPECT_EQ(Value("127.0.0.2", kCurrent + ".1.5.0"), "Second");
}

TEST_F(SimFleetSnmp, TheOlderModelServesItsOwnLayout) {
    Start(kFleet);
    // The current layout's modification date answers "1"; the real one is elsewhere.
    EXPECT_EQ(Value("127.0.0.3", kOlder + ".1.1.0"), "1");
    EXPECT_EQ(Value("127.0.0.3", kOlder + ".9.1.0"), "2023-12-24 18:00:00");
    EXPECT_EQ(Value("127.0.0.3", kOlder + ".9.2.0"), "3.7.215");
    EXPECT_EQ(Value("127.0.0.3", kOlder + ".9.3.0"), "T2200 board");
    for (const std::string& absent : {kOlder + ".1.2.0", kOlder + ".1.3.0", kOlder + ".1.7.0"}) {
        EXPECT_TRUE(Contains(Value("127.0.0.3", absent), "noSuchName")) << absent;
    }
    // Custom fields, trap destination 5 and the transfer objects sit where the current model has
    // them.
    CommandResult shared = Snmp("snmpset", "private", At("127.0.0.3"),
                                {kOlder + ".1.4.0", "s", "Asset 7", kOlder + ".3.5.0", "s",
                                 "127.0.0.1", kOlder + ".4.8.0", "s", "127.0.0.1"});
    EXPECT_EQ(shared.exitCode, 0) << shared.output;
    // The FTP login and trap destination 4 exist only in the older layout.
    EXPECT_TRUE(
        Contains(SetFailure("127.0.0.3", {kOlder + ".4.9.0", "s", "anonymous"}), "noSuchName"));
    EXPECT_TRUE(
        Contains(SetFailure("127.0.0.3", {kOlder + ".3.4.0", "s", "127.0.0.1"}), "noSuchName"));
    CommandResult old = Snmp("snmpset", "private", At("127.0.0.3"),
                             {kOlder + ".9.9.0", "s", "anonymous", kOlder + ".9.10.0", "s",
                              "secret", kOlder + ".9.4.0", "s", "127.0.0.1"});
    EXPECT_EQ(old.exitCode, 0) << old.output;
}

TEST_F(SimFleetSnmp, ObjectsAndProductsComeFromTheSettingsFile) {
    TempDir dir;
    std::string settings = ReadTextFile(ShippedSettingsPath());
    auto replace = [&](const std::string& from, const std::string& to) {
        std::size_t at = settings.find(from);
        ASSERT_NE(at, std::string::npos) << from;
        settings.replace(at, from.size(), to);
    };
    replace("T400=.1.3.6.1.4.1.32473.10\n", "T400=.1.3.6.1.4.1.32473.77\n");
    replace("EntOidCustomField1=.1.4.0\n", "EntOidCustomField1=.1.40.0\n");
    WriteTextFile(dir.File("custom.ini"), settings);
    Start(kFleet, {}, dir.File("custom.ini"));
    EXPECT_EQ(Value("127.0.0.2", ".1.3.6.1.4.1.32473.77.1.40.0"), "Asset 1");
    EXPECT_EQ(Value("127.0.0.2", ".1.3.6.1.4.1.32473.77.1.2.0"), "5.2.1044");
    EXPECT_TRUE(Contains(Value("127.0.0.2", kCurrent + ".1.2.0"), "noSuchName"));
}

TEST_F(SimFleetSnmp, MisbehavingTerminals) {
    Start(R"INI(
[SILENT]
Address=127.0.0.4
Silent=yes
[KIOSK]
Address=127.0.0.5
RefuseSets=yes
[FLAKY]
Address=127.0.0.6
AnswerEveryOther=yes
[SLOW]
Address=127.0.0.7
DelayMs=1500
[NOETH]
Address=127.0.0.8
Interfaces=2
EthernetIndex=none
[RENAMER]
Address=127.0.0.9
RenameAfterMs=300
RenameTo=RENAMED
)INI");
    CommandResult silent = Snmp("snmpget", "public", At("127.0.0.4"), {kSysName}, "0.3", 1);
    EXPECT_TRUE(Contains(silent.output, "Timeout")) << silent.output;

    EXPECT_TRUE(Contains(SetFailure("127.0.0.5", {".1.3.6.1.2.1.1.6.0", "s", "x"}), "readOnly"));

    // Answered, dropped, answered: a client without retries sees it so.
    auto flaky = [&] { return Snmp("snmpget", "public", At("127.0.0.6"), {kSysName}, "0.5", 0); };
    EXPECT_EQ(flaky().exitCode, 0);
    EXPECT_TRUE(Contains(flaky().output, "Timeout"));
    EXPECT_EQ(flaky().exitCode, 0);

    // The slow one answers, but not within a time-out shorter than its delay.
    EXPECT_TRUE(Contains(Snmp("snmpget", "public", At("127.0.0.7"), {kSysName}, "0.2", 0).output,
                         "Timeout"));
    EXPECT_EQ(SnmpGetText(At("127.0.0.7"), kSysName), "SLOW");

    EXPECT_EQ(Value("127.0.0.8", ".1.3.6.1.2.1.2.1.0"), "2");
    EXPECT_NE(Value("127.0.0.8", ".1.3.6.1.2.1.2.2.1.3.1"), "6");
    EXPECT_NE(Value("127.0.0.8", ".1.3.6.1.2.1.2.2.1.3.2"), "6");

    std::string name;
    for (int i = 0; i < 100 && name != "RENAMED"; ++i) {
        name = Value("127.0.0.9", kSysName);
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    EXPECT_EQ(name, "RENAMED");
}

TEST_F(SimFleetSnmp, GeneratedFleetIsVariedAndOnConsecutiveAddresses) {
    Start("", {"--generate", "7", "--generate-silent", "1", "--first-address", "127.0.0.20"});
    std::set<std::string> names;
    std::set<std::string> macs;
    int older = 0;
    for (int host = 20; host < 27; ++host) {
        std::string address = "127.0.0." + std::to_string(host);
        names.insert(Value(address, kSysName));
        older += Value(address, ".1.3.6.1.2.1.1.2.0") == ".1.3.6.1.4.1.32473.1.2200" ? 1 : 0;
        std::string count = Value(address, ".1.3.6.1.2.1.2.1.0");
        ASSERT_TRUE(count == "2" || count == "3") << address << ": " << count;
        for (int i = 1; i <= count[0] - '0'; ++i) {
            std::string index = std::to_string(i);
            if (Value(address, ".1.3.6.1.2.1.2.2.1.3." + index) == "6") {
                macs.insert(Value(address, ".1.3.6.1.2.1.2.2.1.6." + index));
            }
        }
    }
    EXPECT_EQ(names.size(), 7u);
    EXPECT_EQ(macs.size(), 7u);
    EXPECT_EQ(older, 1);
    CommandResult silent = Snmp("snmpget", "public", At("127.0.0.27"), {kSysName}, "0.3", 0);
    EXPECT_TRUE(Contains(silent.output, "Timeout")) << silent.output;
}

TEST(SimFleetCommandLine, HelpMistakesAndShutdown) {
    CommandResult help = RunCommand({SimFleetProgram(), "--help"});
    EXPECT_EQ(help.exitCode, 0);
    for (const char* option :
         {"--fleet", "--generate", "--snmp-port", "--trap-port", "trap-burst"}) {
        EXPECT_TRUE(Contains(help.output, option)) << option;
    }
    EXPECT_EQ(RunCommand({SimFleetProgram(), "--bogus"}).exitCode, 2);
    EXPECT_EQ(RunCommand({SimFleetProgram()}).exitCode, 2);

    TempDir dir;
    WriteTextFile(dir.File("typo.ini"), "[T1]\nAddress=127.0.0.2\nSilnet=yes\n");
    CommandResult typo = RunCommand({SimFleetProgram(), "--fleet", dir.File("typo.ini")});
    EXPECT_EQ(typo.exitCode, 1);
    EXPECT_TRUE(Contains(typo.output, "unknown key Silnet")) << typo.output;
    // An address of no interface here cannot be bound; nothing is sent anywhere.
    WriteTextFile(dir.File("far.ini"), "[T1]\nAddress=192.0.2.1\n");
    CommandResult far =
        RunCommand({SimFleetProgram(), "--fleet", dir.File("far.ini"), "--snmp-port",
                    std::to_string(FreeUdpPort()), "--no-broadcast"});
    EXPECT_EQ(far.exitCode, 1);
    EXPECT_TRUE(Contains(far.output, "cannot bind 192.0.2.1")) << far.output;

    SimFleetProcess fleet({"[T1]\nAddress=127.0.0.2\n", {}, true, {}});
    ASSERT_TRUE(fleet.Ready()) << fleet.Log();
    int status = fleet.Stop();
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    EXPECT_TRUE(Contains(fleet.Log(), "stopped"));
}

}  // namespace
