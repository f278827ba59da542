// Transfer requests written with snmpset, carried out against pyftpdlib, and
// the traps that report them, received with net-snmp's parser.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <set>
#include <thread>

#include "MissingPeer.h"
#include "PyFtpServer.h"
#include "SimFleetProcess.h"
#include "TrapReceiver.h"

namespace {

const std::string kCurrent = ".1.3.6.1.4.1.32473.10";
const std::string kOlder = ".1.3.6.1.4.1.32473.22";
constexpr int kInteger = 0x02;

const char* const kFleet = R"INI(
[T1]
Address=127.0.0.2
Config=[Network]\nDHCP=Yes\n[Display]\nResolution=1024x768\n
[OLD]
Address=127.0.0.3
Model=older
Config=old model configuration\n
[BROKEN]
Address=127.0.0.4
MalformedTrap=yes
[MUTE]
Address=127.0.0.5
NoOutcomeTrap=yes
)INI";

struct Request {
    int direction = 0;  // 0: the terminal sends, 1: it fetches
    std::string source;
    std::string dest;
    int type = 1;  // 0: binary, 1: ASCII
    std::string server = "127.0.0.1";
    int protocol = 0;
};

class SimFleetTransfer : public ::testing::Test {
protected:
    void SetUp() override {
        if (FindProgram("snmpset").empty()) {
            SKIP_FOR_MISSING_PEER("net-snmp's command-line tools are not installed");
        }
        if (!ftp->Ready()) {
            SKIP_FOR_MISSING_PEER("pyftpdlib did not start: " + ftp->Log());
        }
    }
    void Start(const std::string& fleetText = kFleet, std::vector<std::string> args = {}) {
        args.insert(args.end(), {"--trap-port", std::to_string(traps.Port()), "--ftp-port",
                                 std::to_string(ftp->Port())});
        fleet =
            std::make_unique<SimFleetProcess>(SimFleetProcess::Options{fleetText, args, false, {}});
        ASSERT_TRUE(fleet->Ready()) << fleet->Log();
    }
    static std::string PrefixOf(const std::string& address) {
        return address == "127.0.0.3" ? kOlder : kCurrent;
    }
    void Set(const std::string& address, const std::vector<std::string>& args) {
        CommandResult set = Snmp("snmpset", "private", fleet->At(address), args);
        ASSERT_EQ(set.exitCode, 0) << set.output;
    }
    // Writes the trap destination, then the request in the console's order.
    void Submit(const std::string& address, const Request& r) {
        std::string p = PrefixOf(address);
        Set(address, {p + ".3.5.0", "s", "127.0.0.1"});
        Set(address, {p + ".4.1.0",  "i", "1",
                      p + ".4.2.0",  "s", "trap-" + address,
                      p + ".4.3.0",  "i", std::to_string(r.direction),
                      p + ".4.4.0",  "s", r.source,
                      p + ".4.5.0",  "s", r.dest,
                      p + ".4.6.0",  "i", std::to_string(r.type),
                      p + ".4.7.0",  "i", std::to_string(r.protocol),
                      p + ".4.8.0",  "s", r.server,
                      p + ".4.11.0", "i", "0",
                      p + ".4.12.0", "i", "1"});
    }
    // The outcome trap of the terminal's transfer; its reason (0 when done).
    long Outcome(const std::string& address) {
        auto trap = traps.WaitFor([&](const ReceivedTrap& t) {
            return t.agent == address && t.generic == 6 && (t.specific == 5 || t.specific == 6);
        });
        EXPECT_TRUE(trap) << fleet->Log();
        if (!trap) {
            return -1;
        }
        EXPECT_EQ(trap->source, address);
        EXPECT_EQ(trap->enterprise, PrefixOf(address));
        EXPECT_EQ(trap->bindings.size(), 2u);
        if (trap->bindings.size() != 2u) {
            return -1;
        }
        EXPECT_EQ(trap->bindings[0].oid, PrefixOf(address) + ".4.2.0");
        EXPECT_EQ(trap->bindings[0].text, "trap-" + address);
        EXPECT_EQ(trap->bindings[1].type, kInteger);
        long reason = trap->bindings[1].integer;
        EXPECT_EQ(trap->specific == 5, reason == 0) << trap->specific << " " << reason;
        return reason;
    }
    std::string OnServer(const std::string& name) { return ReadTextFile(ftp->Root() + name); }

    std::unique_ptr<PyFtpServer> ftp = std::make_unique<PyFtpServer>();
    TrapReceiver traps;
    std::unique_ptr<SimFleetProcess> fleet;
};

TEST_F(SimFleetTransfer, UploadSendsTheStoredConfigurationAndReportsDone) {
    Start();
    Submit("127.0.0.2", {0, "terminal.reg", "/T1.reg"});
    EXPECT_EQ(Outcome("127.0.0.2"), 0);
    EXPECT_EQ(OnServer("/T1.reg"), "[Network]\nDHCP=Yes\n[Display]\nResolution=1024x768\n");

    // The older model, anonymous as well since its login objects are empty.
    Submit("127.0.0.3", {0, "terminal.reg", "/OLD.reg"});
    EXPECT_EQ(Outcome("127.0.0.3"), 0);
    EXPECT_EQ(OnServer("/OLD.reg"), "old model configuration\n");
}

TEST_F(SimFleetTransfer, FailuresCarryTheirReasonInTheSecondBinding) {
    Start();
    Submit("127.0.0.2", {1, "/absent.reg", "terminal.reg"});
    EXPECT_EQ(Outcome("127.0.0.2"), 6);
    Submit("127.0.0.2", {0, "other.reg", "/other.reg"});
    EXPECT_EQ(Outcome("127.0.0.2"), 6);
    // pyftpdlib listens on 127.0.0.1 only.
    Submit("127.0.0.2", {0, "terminal.reg", "/T1.reg", 1, "127.0.0.254"});
    EXPECT_EQ(Outcome("127.0.0.2"), 9);
    Submit("127.0.0.2", {0, "terminal.reg", "/T1.reg", 1, "127.0.0.1", 1});
    EXPECT_EQ(Outcome("127.0.0.2"), 20);
    EXPECT_FALSE(std::filesystem::exists(ftp->Root() + "/T1.reg"));
}

TEST_F(SimFleetTransfer, ADownloadReplacesTheConfigurationAndARebootFollows) {
    TempDir state;
    Start(kFleet, {"--state-dir", state.Path()});
    const std::string kept = state.File("127.0.0.2/terminal.reg");
    std::string before = SnmpGetText(fleet->At("127.0.0.2"), kCurrent + ".1.1.0");
    // Lines that end in LF alone on the server end in CR LF on the terminal.
    const std::string registry =
        "Windows Registry Editor Version 5.00\r\n\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\ThinClient\\"
        "Display]\r\n\"Banner\"=hex(2):41,00,\\\r\n  00,00\r\n";
    std::string lineFeeds = registry;
    for (std::size_t at; (at = lineFeeds.find('\r')) != std::string::npos;) {
        lineFeeds.erase(at, 1);
    }
    WriteTextFile(ftp->Root() + "/new.reg", lineFeeds);
    Set("127.0.0.2", {kCurrent + ".2.1.0", "i", "1"});
    Submit("127.0.0.2", {1, "/new.reg", "terminal.reg"});
    EXPECT_EQ(Outcome("127.0.0.2"), 0);
    auto warm = traps.WaitFor([](const ReceivedTrap& t) { return t.agent == "127.0.0.2"; });
    ASSERT_TRUE(warm) << fleet->Log();
    EXPECT_EQ(warm->generic, 1);
    EXPECT_EQ(warm->specific, 0);
    std::string modified = SnmpGetText(fleet->At("127.0.0.2"), kCurrent + ".1.1.0");
    EXPECT_NE(modified, before);
    EXPECT_EQ(ReadTextFile(kept), registry);

    // What is no registry export is refused, and the terminal keeps what it had.
    for (const char* bad : {"[Display]\nResolution=1920x1080\n",
                            "REGEDIT4\r\n[HKEY_LOCAL_MACHINE\\X]\r\nResolution=1\r\n", ""}) {
        WriteTextFile(ftp->Root() + "/bad.reg", bad);
        Submit("127.0.0.2", {1, "/bad.reg", "terminal.reg"});
        EXPECT_EQ(Outcome("127.0.0.2"), 21) << bad;
    }
    EXPECT_EQ(ReadTextFile(kept), registry);
    EXPECT_EQ(SnmpGetText(fleet->At("127.0.0.2"), kCurrent + ".1.1.0"), modified);
    EXPECT_FALSE(traps.Next(std::chrono::milliseconds(800))) << "no reboot after a refusal";

    Submit("127.0.0.2", {0, "terminal.reg", "/check.reg"});
    EXPECT_EQ(Outcome("127.0.0.2"), 0);
    EXPECT_EQ(OnServer("/check.reg"), registry);
}

// Terminals without a configuration of their own start with a registry export
// made from their data, the older model with the older header.
TEST_F(SimFleetTransfer, GeneratedTerminalsKeepRegistryExportsInTheStateDirectory) {
    TempDir state;
    Start("", {"--generate", "6", "--first-address", "127.0.72.1", "--state-dir", state.Path()});
    for (int host = 1; host <= 6; ++host) {
        std::string path = state.File("127.0.72." + std::to_string(host) + "/terminal.reg");
        std::string text = ReadTextFile(path);
        SCOPED_TRACE(path);
        EXPECT_EQ(
            text.rfind(host == 6 ? "REGEDIT4\r\n" : "Windows Registry Editor Version 5.00\r\n", 0),
            0u);
        for (const char* part :
             {"\\Network]\r\n\"HostName\"=\"TERM-00", "\"IPAddress\"=\"127.0.72.",
              "\\Session]\r\n\"Server\"=", "\\Display]\r\n", "\"AdminPassword\"="}) {
            EXPECT_NE(text.find(part), std::string::npos) << part;
        }
        EXPECT_EQ(std::filesystem::status(path).permissions() & std::filesystem::perms::all,
                  std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
    }
}

TEST_F(SimFleetTransfer, AFirmwareDownloadChangesTheBuildNumber) {
    Start();
    std::filesystem::create_directories(ftp->Root() + "/fw");
    WriteTextFile(ftp->Root() + "/fw/params.ini",
                  "[Image]\nImageFileName=fw-6.bin\nBuildNumber=6.0.0001\n");
    WriteTextFile(ftp->Root() + "/fw/fw-6.bin", std::string("\x7f\x00\x01\xff", 4));
    Submit("127.0.0.2", {1, "/fw/fw-6.bin", "fw-6.bin", 0});
    EXPECT_EQ(Outcome("127.0.0.2"), 0);
    EXPECT_EQ(SnmpGetText(fleet->At("127.0.0.2"), kCurrent + ".1.2.0"), "6.0.0001");
    EXPECT_NE(SnmpGetText(fleet->At("127.0.0.2"), ".1.3.6.1.2.1.1.1.0").find("6.0.0001"),
              std::string::npos);

    // Without a description file beside the image the terminal cannot go on.
    std::filesystem::create_directories(ftp->Root() + "/bare");
    WriteTextFile(ftp->Root() + "/bare/fw-7.bin", "image");
    Submit("127.0.0.2", {1, "/bare/fw-7.bin", "fw-7.bin", 0});
    EXPECT_EQ(Outcome("127.0.0.2"), 26);
}

TEST_F(SimFleetTransfer, TheOlderModelLogsInWithItsOwnUserObjects) {
    ftp = std::make_unique<PyFtpServer>("fleet", "secret");
    ASSERT_TRUE(ftp->Ready()) << ftp->Log();
    Start();
    Set("127.0.0.3", {kOlder + ".9.9.0", "s", "fleet", kOlder + ".9.10.0", "s", "secret"});
    Submit("127.0.0.3", {0, "terminal.reg", "/OLD.reg"});
    EXPECT_EQ(Outcome("127.0.0.3"), 0);
    EXPECT_EQ(OnServer("/OLD.reg"), "old model configuration\n");

    // A wrong password (answered after pyftpdlib's delay) is an error of the protocol.
    Set("127.0.0.3", {kOlder + ".9.10.0", "s", "wrong"});
    Submit("127.0.0.3", {0, "terminal.reg", "/OLD2.reg"});
    EXPECT_EQ(Outcome("127.0.0.3"), 10);
}

TEST_F(SimFleetTransfer, MalformedDatagramsAndMissingOutcomeTraps) {
    Start();
    Submit("127.0.0.4", {0, "terminal.reg", "/B.reg"});
    auto first = traps.Next(std::chrono::seconds(20));
    ASSERT_TRUE(first) << fleet->Log();
    EXPECT_TRUE(first->malformed);
    EXPECT_EQ(first->source, "127.0.0.4");
    EXPECT_EQ(Outcome("127.0.0.4"), 0);

    Submit("127.0.0.5", {0, "terminal.reg", "/M.reg"});
    for (int i = 0;
         i < 200 && fleet->Log().find("outcome trap (reason 0) not sent") == std::string::npos;
         ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    EXPECT_EQ(OnServer("/M.reg").empty(), false);
    EXPECT_FALSE(traps.Next(std::chrono::milliseconds(300))) << fleet->Log();
}

TEST_F(SimFleetTransfer, AnsweringTerminalsAnnounceAColdStart) {
    Start(
        "[A]\nAddress=127.0.0.2\n[B]\nAddress=127.0.0.3\nModel=older\n"
        "[Q]\nAddress=127.0.0.4\nSilent=yes\n",
        {"--cold-start", "--trap-dest", "127.0.0.1"});
    std::set<std::string> agents;
    while (agents.size() < 2) {
        auto trap = traps.WaitFor([](const ReceivedTrap& t) { return t.generic == 0; });
        ASSERT_TRUE(trap) << fleet->Log();
        EXPECT_EQ(trap->source, trap->agent);
        agents.insert(trap->agent);
    }
    EXPECT_EQ(agents, (std::set<std::string>{"127.0.0.2", "127.0.0.3"}));
}

}  // namespace
