// The console's transfer, editing and inventory operations end to end: its
// core and its command line against the simulated fleet, with pyftpdlib as the
// staging server.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <set>

#include "CliTestSupport.h"
#include "FakeTerminals.h"
#include "FleetSite.h"
#include "MissingPeer.h"
#include "Recorders.h"
#include "TestDocument.h"
#include "TrapReceiver.h"
#include "core/common/ProgressNotice.h"
#include "core/common/Sentinel.h"
#include "core/download/ConfigurationDownload.h"
#include "core/firmware/FirmwareDownload.h"
#include "core/settings/ProfileStore.h"
#include "core/setup/PasswordScrambling.h"
#include "core/staging/FtpClient.h"
#include "core/terminals/TerminalDatabase.h"
#include "core/terminfo/TerminalInfoEditing.h"

namespace {

namespace fs = std::filesystem;
using Texts = std::vector<std::string>;

const std::string kCurrent = ".1.3.6.1.4.1.32473.10";
const std::string kOlder = ".1.3.6.1.4.1.32473.22";
// Longer than the 10 characters of a trap return identifier.
const std::string kT1 = "127.0.80.12", kOld = "127.0.80.13", kLocked = "127.0.80.14",
                  kNoReboot = "127.0.80.15", kHalfway = "127.0.80.16", kMute = "127.0.80.17",
                  kOldFallback = "127.0.80.18", kOldLocked = "127.0.80.19", kT2 = "127.0.80.20",
                  kGuarded = "127.0.80.21", kBare = "127.0.80.22", kThird = "127.0.80.25",
                  kSilent = "127.0.80.28";
const std::string kFleet =
    "[Fleet]\nDomainName=fleet.example\nContact=Desk 4100\n"
    "[T1]\nAddress=127.0.80.12\nLocation=Hall\nCustomField1=Asset 1\nBuildNumber=5.2.1\n"
    "Platform=PX-4\nModDate=2026-11-30\n"
    "[OLD]\nAddress=127.0.80.13\nModel=older\nBuildNumber=3.7.215\nPlatform=P-OLD\n"
    "ModDate=2019-11-04\n"
    "[LOCKED]\nAddress=127.0.80.14\nRefuseSetsOf=EntOidTrapServer5,EntOidTrapServer4\n"
    "[NOREBOOT]\nAddress=127.0.80.15\nRefuseSetsOf=EntOidCfgDnldReboot\n"
    "[HALFWAY]\nAddress=127.0.80.16\nRefuseSetsOf=EntOidXferDest\n"
    "[MUTE]\nAddress=127.0.80.17\nNoOutcomeTrap=yes\n"
    "[OLD-FALLBACK]\nAddress=127.0.80.18\nModel=older\nRefuseSetsOf=EntOidTrapServer5\n"
    "[OLD-LOCKED]\nAddress=127.0.80.19\nModel=older\n"
    "RefuseSetsOf=EntOidTrapServer5,EntOidTrapServer4,EntOidXferUserName\n"
    "[T2]\nAddress=127.0.80.20\nLocation=Lobby\n"
    "[GUARDED]\nAddress=127.0.80.21\nCustomField1=keep 1\nCustomField2=keep 2\n"
    "CustomField3=keep 3\nRefuseSetsOf=OidSysContact\n"
    "[BARE]\nAddress=127.0.80.22\nConfigFileName=other.reg\n"
    "[TWIN-A]\nName=TWIN\nAddress=127.0.80.23\nLocation=Left\nMAC=02:46:57:00:10:01\n"
    "[TWIN-B]\nName=TWIN\nAddress=127.0.80.24\nLocation=Right\nMAC=02:46:57:00:10:02\n"
    "[THIRD]\nAddress=127.0.80.25\nInterfaces=3\nEthernetIndex=3\nMAC=02:46:57:00:30:03\n"
    "[NOETH-A]\nName=NOETH\nAddress=127.0.80.26\nEthernetIndex=none\n"
    "[NOETH-B]\nName=NOETH\nAddress=127.0.80.27\nEthernetIndex=none\n"
    "[SILENT]\nAddress=127.0.80.28\nSilent=yes\n";

const std::string kSkip = "\n- Skipping to Next Terminal -";
const std::string kRefused =
    "Set - The requested operation tried to change a variable that was not allowed";
const std::string kName = ".1.3.6.1.2.1.1.5.0", kLocation = ".1.3.6.1.2.1.1.6.0",
                  kContact = ".1.3.6.1.2.1.1.4.0";

bool StartsWith(const std::string& text, const std::string& head) {
    return text.rfind(head, 0) == 0;
}

// The real client, counting its connections.
class CountingFtpClient final : public IFtpClient {
public:
    std::unique_ptr<IFtpConnection> Connect(const FtpServer& server,
                                            std::stop_token stop) override {
        ++connects;
        return m_client.Connect(server, stop);
    }
    int connects = 0;

private:
    CurlFtpClient m_client;
};

// The fleet, its staging server and the settings; the configured subnets
// hold T1 and OLD.
class Fleet : public ::testing::Test {
protected:
    void Start(unsigned trapPort) {
        if (!site.Start(kFleet, trapPort,
                        "DiscoverIPSubNet=127.0.80\nDiscoverRangeLow=12\nDiscoverRangeHigh=13\n")) {
            SKIP_FOR_MISSING_PEER(site.Why());
        }
        ASSERT_TRUE(site.Ready()) << site.Why();
    }
    std::string Wire(const std::string& ip, const std::string& oid) {
        return SnmpGetText(site.At(ip), oid);
    }
    FleetSite site;
};

// The console's core, a trap receiver standing in for the Trap Monitor.
class FleetOperations : public Fleet {
protected:
    void SetUp() override {
        ASSERT_NO_FATAL_FAILURE(Start(traps.Port()));
        if (IsSkipped()) {
            return;
        }
        t = std::make_unique<TestDocument>(site.Settings());
        InstallShippedTemplate(t->SettingsPath());
    }
    CTarnDoc& Doc() { return t->Doc(); }
    Texts Messages() { return t->Messages().Texts(); }
    // Registers the terminals, which become the main list's rows in this order.
    void Register(const std::vector<std::string>& ips) {
        std::vector<std::string> macs;
        for (const auto& ip : ips) {
            ASSERT_TRUE(Doc().RegisterTerminal(ip)) << ip;
            macs.push_back(Record(ip).m_macAdr);
        }
        macByItem.Assign(macs);
    }
    TerminalRecord Record(const std::string& ip) { return t->Terminals().FindByIP(ip)->record; }
    // A transfer object of the terminal, by its suffix of the model's prefix.
    std::string Object(const std::string& ip, const std::string& suffix) {
        bool older = ip == kOld || ip == kOldFallback || ip == kOldLocked;
        return Wire(ip, (older ? kOlder : kCurrent) + suffix);
    }
    // The reason of the terminal's outcome trap; -1 when none came.
    long OutcomeReason(const std::string& ip) {
        auto trap = traps.WaitFor([&](const ReceivedTrap& r) {
            return r.agent == ip && r.generic == 6 && (r.specific == 5 || r.specific == 6);
        });
        EXPECT_TRUE(trap) << site.Why();
        return trap && trap->bindings.size() == 2 ? trap->bindings[1] : -1;
    }
    // The agents whose outcome trap said done, once `count` of them have.
    std::set<std::string> Done(std::size_t count) {
        std::set<std::string> done;
        traps.WaitFor([&](const ReceivedTrap& r) {
            if (r.generic == 6 && r.specific == 5) {
                done.insert(r.agent);
            }
            return done.size() == count;
        });
        return done;
    }

    TrapReceiver traps;
    std::unique_ptr<TestDocument> t;
    MacByItemTable macByItem;
};

const std::string kKey = "[HKEY_LOCAL_MACHINE\\SOFTWARE\\ThinClient\\";
const std::string kStored = "REGEDIT4\r\n\r\n" + kKey +
                            "Session]\r\n\"Server\"=\"apps2.fleet.example\"\r\n\r\n" + kKey +
                            "Display]\r\n\"Resolution\"=\"1920x1080\"\r\n\r\n" + kKey +
                            "Security]\r\n\"AdminPassword\"=\"site-Adm-2024\"\r\n"
                            "\"LockSettings\"=dword:00000001\r\n";

// One by one with a reboot, then eight at a time without: the same messages in
// list order, the filtered file on every terminal that took the request, its
// outcome trap, a warm start only when asked, and the choices saved.
TEST_F(FleetOperations, ConfigurationDownloadFiltersAndReportsInListOrder) {
    const std::string configs = site.dir.File("configs");
    fs::create_directories(configs);
    WriteTextFile(configs + "/terminal.reg", kStored);
    Doc().WriteINIValueStr("AvailableExclusions", "Kiosk Display",
                           "multi_sz:\"" + kKey.substr(1) + "Display\",\"*\"");
    Register({kT1, kOld, kLocked, kNoReboot, kHalfway, kMute});
    ExclusionList list =
        ReadAvailableExclusions(t->State().Profiles(), t->SettingsPath(), Doc().GetTemplatePath());
    ASSERT_EQ(list.names[2] + "," + list.names[4], "Passwords,Kiosk Display");
    for (auto [width, reboot] : {std::pair{1, true}, std::pair{8, false}}) {
        SCOPED_TRACE(width);
        t->Messages().Clear();
        Doc().WriteINIValueStr("Misc", "TransferParallel", std::to_string(width));
        // Row 5 is MUTE's: an entry whose name no longer matches sends nothing.
        DownloadChoices choices{
            configs + "/",
            reboot,
            {{0, "T1"}, {1, "OLD"}, {2, "LOCKED"}, {3, "NOREBOOT"}, {4, "HALFWAY"}, {5, "RENAMED"}},
            {list, {4, 2}}};
        CurlFtpClient client;
        NoProgressNotice notice;
        DownloadRunOutcome outcome =
            RunConfigurationDownload(Doc(), macByItem, choices, client, {}, notice);
        ASSERT_EQ(outcome.end, DownloadRunEnd::Completed);
        EXPECT_EQ(outcome.requests.size(), 5u);
        Texts texts = Messages();
        ASSERT_EQ(texts.size(), 5u) << ::testing::PrintToString(texts);
        EXPECT_TRUE(StartsWith(texts[0], "LOCKED- Set Trap Server Error -\n")) << texts[0];
        EXPECT_TRUE(StartsWith(texts[1], "NOREBOOT- Set Reboot Action Error -\n")) << texts[1];
        EXPECT_TRUE(texts[0].ends_with(kSkip) && texts[1].ends_with(kSkip));
        EXPECT_EQ(texts[3], "- HALFWAY -\n" + texts[2] + kSkip);  // after the request's own
        EXPECT_EQ(texts[4], "Download Configuration Request(s) Complete Using Files From:\n\n" +
                                configs + "\n\nCheck Trap Monitor for any Download Failures");

        using Trap = std::tuple<std::string, long, long>;  // agent, generic, specific
        std::set<Trap> wanted = {{kT1, 6, 5}, {kOld, 6, 5}};
        if (reboot) {
            wanted.insert({{kT1, 1, 0}, {kOld, 1, 0}});
        }
        std::set<Trap> seen;
        while (
            auto trap = traps.Next(std::chrono::milliseconds(
                std::includes(seen.begin(), seen.end(), wanted.begin(), wanted.end()) ? 1000
                                                                                      : 20000))) {
            seen.insert({trap->agent, trap->generic, trap->specific});
        }
        EXPECT_EQ(seen, wanted) << site.Why();
        for (const std::string& ip : {kT1, kOld}) {
            std::string stored = site.StoredOn(ip);
            EXPECT_EQ(stored, ReadTextFile(site.ftp.Root() + "/terminal.reg"));
            EXPECT_NE(stored.find("\"Server\"=\"apps2.fleet.example\""), std::string::npos);
            EXPECT_NE(stored.find("LockSettings"), std::string::npos);
            for (const char* excluded : {"site-Adm-2024", "Resolution", "Display]"}) {
                EXPECT_EQ(stored.find(excluded), std::string::npos) << ip << " " << excluded;
            }
        }
        EXPECT_NE(site.StoredOn(kNoReboot), site.StoredOn(kT1));
        EXPECT_EQ(t->State().Profiles().ReadSectionLines(t->SettingsPath(), "CurrentExclusions"),
                  (Texts{"Passwords=", "Kiosk Display="}));
        EXPECT_EQ(Doc().GetINIValueStr("Misc", "DnloadPath", IfMissing::Silent) + " " +
                      Doc().GetINIValueStr("Misc", "CfgReboot", IfMissing::Silent),
                  configs + (reboot ? " Yes" : " No"));
        EXPECT_FALSE(fs::exists(configs + "/terminal.reg.fil"));
    }
}

// An image with bytes an ASCII transfer would change.
const std::string kImage("\x7f\x00\r\n\xff\x1a", 6);
const std::string kSending = "Sending Firmware To FTP Server, File: ";

std::string FirmwareCompletion(const std::string& directory) {
    return "Download Firmware Request(s) Complete Using Files From:\n\n" + directory +
           "\n\nCheck Trap Monitor for any Download Failures";
}

// A firmware directory: params.ini naming fw.bin with `build`, the image, and
// bootstrap.exe when asked for.
std::string MakeFirmware(const TempDir& dir, const std::string& build, bool bootstrap) {
    std::string directory = dir.File(build);
    fs::create_directories(directory);
    WriteTextFile(directory + "/params.ini",
                  "[Image]\nImageFileName=fw.bin\nBuildNumber=" + build + "\n");
    WriteTextFile(directory + "/fw.bin", kImage);
    if (bootstrap) {
        WriteTextFile(directory + "/bootstrap.exe", "bootstrap " + build);
    }
    return directory;
}

// The server's old bootstrap.exe goes in any case; the directory's files
// arrive whole, each named on the notice, all over one connection; the terminal
// fetches the image; the directory is saved without its trailing "/".
TEST_F(FleetOperations, FirmwareLeavesTheServerHoldingExactlyTheDirectorysFiles) {
    Register({kT1});
    for (bool bootstrap : {true, false}) {
        SCOPED_TRACE(bootstrap);
        const std::string build = bootstrap ? "6.0.0001" : "6.0.0002";
        std::string firmware = MakeFirmware(site.dir, build, bootstrap);
        fs::remove_all(site.ftp.Root());
        fs::create_directories(site.ftp.Root());
        WriteTextFile(site.ftp.Root() + "/bootstrap.exe", "stale bootstrap");
        t->Messages().Clear();
        CountingFtpClient client;
        RecordingNotice notice;
        FirmwareRunResult run =
            DownloadFirmware(Doc(), client, firmware + "/", {{"T1", Record(kT1).m_macAdr}}, notice);
        EXPECT_EQ(run.end, FirmwareRunEnd::Completed);
        EXPECT_EQ(Messages(), Texts{FirmwareCompletion(firmware)});
        std::map<std::string, std::string> expected = {
            {"params.ini", ReadTextFile(firmware + "/params.ini")}, {"fw.bin", kImage}};
        Texts steps;
        if (bootstrap) {
            expected["bootstrap.exe"] = "bootstrap " + build;
            steps.push_back(kSending + "bootstrap.exe / Please Wait");
        }
        std::map<std::string, std::string> onServer;
        for (const auto& entry : fs::directory_iterator(site.ftp.Root())) {
            onServer[entry.path().filename().string()] = ReadTextFile(entry.path());
        }
        EXPECT_EQ(onServer, expected);
        steps.insert(steps.end(),
                     {kSending + "params.ini / Please Wait", kSending + "fw.bin / Please Wait", "-",
                      "Sending Download Configuration Request to Terminal(s) / Please Wait", "-"});
        EXPECT_EQ(notice.Events(), steps);
        EXPECT_EQ(client.connects, 1);
        EXPECT_EQ(Doc().GetINIValueStr("Misc", "DnloadFWPath", IfMissing::Silent), firmware);
        EXPECT_EQ(Done(1), std::set<std::string>{kT1});
        EXPECT_EQ(Wire(kT1, kCurrent + ".1.2.0"), build);
    }
}

const std::string kRegistry =
    "REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\ThinClient\\Display]\r\n"
    "\"Resolution\"=\"1600x900\"\r\n";

// The older model gets its login through the user name's retry in its own
// layout, and OID names resolve in "OID" again; the current model gets none.
TEST_F(FleetOperations, TransferRequestsReachBothModels) {
    Doc().WriteINIValueStr("Misc", "FTPServerPath", "");
    Doc().WriteINIValueStr("Misc", "FTPPassword", *ScrambleToStoredForm("secret"));
    Register({kOld, kT1});
    EXPECT_EQ(Doc().SubmitXferRequest("terminal.reg", kOld, 0, false), kNoneNoneNone);
    EXPECT_EQ(t->State().OidSection().Get(), "OID");
    EXPECT_TRUE(Messages().empty());
    // Anonymous, the password that followed it, an empty server path, ASCII.
    EXPECT_EQ(Object(kOld, ".9.9.0") + "|" + Object(kOld, ".9.10.0") + "|" +
                  Object(kOld, ".4.4.0") + "|" + Object(kOld, ".4.5.0") + "|" +
                  Object(kOld, ".4.6.0"),
              "anonymous|secret|terminal.reg|/terminal.reg|1");
    EXPECT_EQ(OutcomeReason(kOld), 0);
    EXPECT_EQ(ReadTextFile(site.ftp.Root() + "/terminal.reg"), site.StoredOn(kOld));
    EXPECT_EQ(site.fleet->Log().find("secret"), std::string::npos);

    WriteTextFile(site.ftp.Root() + "/terminal.reg", kRegistry);
    EXPECT_EQ(Doc().SubmitXferRequest("terminal.reg", kT1, 1, false), kNoneNoneNone);
    EXPECT_EQ(Object(kT1, ".4.2.0") + "|" + Object(kT1, ".4.4.0") + "|" + Object(kT1, ".4.9.0") +
                  "|" + Object(kT1, ".4.10.0"),
              "27.0.80.12|/terminal.reg||");
    EXPECT_EQ(OutcomeReason(kT1), 0);
    EXPECT_EQ(site.StoredOn(kT1), kRegistry);
}

// A refused write is shown once and ends the request: what came before stays
// written, the submit object is never set, and the terminal does nothing.
TEST_F(FleetOperations, AFailedWriteEndsTheRequestBeforeTheSubmitObject) {
    Register({kHalfway, kOldLocked});
    struct Case {
        std::string ip;
        Texts written;    // suffixes that hold the request's values
        Texts unwritten;  // suffixes still at their start value
    };
    const Case cases[] = {
        {kHalfway, {".4.1.0", ".4.2.0", ".4.3.0", ".4.4.0"}, {".4.5.0", ".4.6.0", ".4.8.0"}},
        // Refused in both layouts: the retry's text is the one shown.
        {kOldLocked, {".4.1.0", ".4.6.0", ".4.8.0"}, {".9.9.0", ".9.10.0"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.ip);
        t->Messages().Clear();
        std::string result = Doc().SubmitXferRequest("terminal.reg", c.ip, 1, false);
        EXPECT_NE(result.find(kRefused), std::string::npos) << result;
        EXPECT_EQ(Messages(), Texts{result});
        EXPECT_EQ(t->State().OidSection().Get(), "OID");
        for (const auto& suffix : c.written) {
            std::string value = Object(c.ip, suffix);
            EXPECT_TRUE(value != "" && value != "0") << suffix << " = " << value;
        }
        for (const auto& suffix : c.unwritten) {
            std::string value = Object(c.ip, suffix);
            EXPECT_TRUE(value == "" || value == "0") << suffix << " = " << value;
        }
        EXPECT_EQ(Object(c.ip, ".4.12.0"), "0");
    }
    EXPECT_EQ(site.fleet->Log().find("transfer "), std::string::npos) << site.Why();
}

using SetOutcome = SetTargetResult::Outcome;

SetTargetResult SetInfo(TestDocument& t, const std::string& ip, const TerminalInfoTexts& texts,
                        BlankFields blanks = BlankFields::Ignore) {
    NoProgressNotice notice;
    return SetTargetInfo(t.Doc(), *t.Terminals().FindByIP(ip), texts, blanks, {}, notice);
}

TEST_F(FleetOperations, AnEmptiedFieldIsLeftUnderIgnoreAndClearedUnderSend) {
    Register({kT1, kT2});
    for (auto [ip, blanks] : {std::pair{kT1, BlankFields::Ignore}, {kT2, BlankFields::Send}}) {
        bool send = blanks == BlankFields::Send;
        std::string location = Wire(ip, kLocation), name = Wire(ip, kName);
        ASSERT_EQ(SetInfo(*t, ip, {.contact = "New desk"}, blanks).outcome, SetOutcome::Complete);
        EXPECT_EQ(Wire(ip, kContact), "New desk");
        EXPECT_EQ(Wire(ip, kLocation) + "|" + Record(ip).m_location,
                  send ? "|" : location + "|" + location);
        EXPECT_EQ(Wire(ip, kCurrent + ".1.4.0"), send ? "" : "Asset 1");
        EXPECT_EQ(Wire(ip, kName), name);  // never sent empty
    }
}

// The first refused write ends the run; what came before stays written, on the
// terminal and in its record.
TEST_F(FleetOperations, ARefusedContactLeavesNameAndLocationWrittenAndTheRestUntouched) {
    Register({kGuarded});
    std::string contact = Record(kGuarded).m_contact;
    SetTargetResult result =
        SetInfo(*t, kGuarded, {"FRONT", "Front door", "Guard", "n1", "n2", "n3"});
    EXPECT_EQ(result.outcome, SetOutcome::SetFailed);
    EXPECT_TRUE(StartsWith(result.message, kRefused));
    EXPECT_EQ(
        Wire(kGuarded, kName) + "|" + Wire(kGuarded, kLocation) + "|" + Wire(kGuarded, kContact),
        "FRONT|Front door|Desk 4100");
    for (int i = 1; i <= 3; ++i) {
        EXPECT_EQ(Wire(kGuarded, kCurrent + ".1." + std::to_string(3 + i) + ".0"),
                  "keep " + std::to_string(i));
    }
    TerminalRecord r = Record(kGuarded);
    EXPECT_EQ(r.m_name + "|" + r.m_location + "|" + r.m_contact, "FRONT|Front door|" + contact);
}

// The command line against the fleet: each command prints what it did per
// terminal.
bool Contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

// The command line, which listens for the fleet's traps itself.
class FleetCommandLine : public Fleet {
protected:
    void SetUp() override { Start(FreeUdpPort("127.0.0.1")); }
    CliRun Cli(std::vector<std::string> args, const std::string& input = {}) {
        args.insert(args.begin(), {"--settings", site.SettingsPath()});
        return RunCliCaptured(args, input);
    }
    // A run of the program as a process of its own (output and errors together).
    CliRun Program(std::vector<std::string> args) {
        args.insert(args.begin(),
                    {ProgramDirectory() + "/fleetwarden-cli", "--settings", site.SettingsPath()});
        CommandResult run = RunCommand(args);
        return {run.exitCode, run.output, {}};
    }
};

TEST_F(FleetCommandLine, DownloadConfigWaitsForEachTerminalsOutcome) {
    const std::string configs = site.dir.File("configs");
    fs::create_directories(configs);
    WriteTextFile(configs + "/terminal.reg",
                  "REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\ThinClient\\Security]\r\n"
                  "\"AdminPassword\"=\"site-Adm-2024\"\r\n\"LockSettings\"=dword:00000001\r\n");
    CliRun all = Cli({"download-config", configs, "--reboot", "--exclude", "Passwords", "--all",
                      "--wait", "20"});
    EXPECT_EQ(all.code, 0) << all.err;
    EXPECT_EQ(all.out, kT1 + " T1: ok\n" + kOld + " OLD: ok\n") << all.err;
    EXPECT_FALSE(Contains(site.StoredOn(kT1), "site-Adm-2024"));
    EXPECT_TRUE(Contains(site.StoredOn(kT1), "LockSettings"));

    // A line that is neither a key nor a value passes the filter; the terminal
    // refuses the file, with the reason.
    WriteTextFile(configs + "/terminal.reg",
                  "REGEDIT4\r\n[HKEY_LOCAL_MACHINE\\X]\r\nResolution=1\r\n");
    CliRun mixed = Cli({"download-config", configs, kT1, kLocked, kMute, "--wait", "3"});
    EXPECT_EQ(mixed.code, 1);
    Texts lines = SplitLines(mixed.out);
    ASSERT_EQ(lines.size(), 3u) << mixed.out << mixed.err;
    EXPECT_EQ(lines[0].rfind(kT1 + " T1: failed: ", 0), 0u) << lines[0];
    EXPECT_GT(lines[0].size(), kT1.size() + 15);
    EXPECT_EQ(lines[1].rfind(kLocked + " LOCKED: not sent: ", 0), 0u) << lines[1];
    EXPECT_EQ(lines[2], kMute + " MUTE: no trap");
    EXPECT_TRUE(Contains(mixed.err, "LOCKED- Set Trap Server Error -")) << mixed.err;
    EXPECT_TRUE(ProfileStore().ReadSectionLines(site.SettingsPath(), "CurrentExclusions").empty());
}

// --wait prints each terminal's outcome, in the order given, and exits 0 only
// when all were done. Three at a time: a terminal that refuses its trap
// destination (the older model in both of its layouts) is reported and not
// asked; the older model refusing its first destination takes its own
// layout's second one.
TEST_F(FleetCommandLine, FirmwareWaitsForEachTerminalsOutcome) {
    const std::string firmware = MakeFirmware(site.dir, "6.1.0001", false);
    ASSERT_FALSE(ProfileStore().Write(site.SettingsPath(), "Misc", "TransferParallel", "3"));
    CliRun mixed =
        Cli({"firmware", firmware, kLocked, kOldFallback, kOldLocked, kT2, kMute, "--wait", "4"});
    EXPECT_EQ(mixed.code, 1) << mixed.err;
    Texts lines = SplitLines(mixed.out);
    for (auto& line : lines) {
        line = line.substr(0, line.find(": Set - "));
    }
    EXPECT_EQ(lines, (Texts{kLocked + " not requested", kOldFallback + " ok",
                            kOldLocked + " not requested", kT2 + " ok", kMute + " no trap"}));
    Texts errors = SplitLines(mixed.err);
    ASSERT_GE(errors.size(), 2u) << mixed.err;
    EXPECT_TRUE(StartsWith(errors[0], "LOCKED- Set Trap Server Error - Set - ")) << errors[0];
    EXPECT_TRUE(StartsWith(errors[1], "OLD-LOCKED- Set Trap Server Error - Set - ")) << errors[1];
    EXPECT_EQ(Wire(kOldFallback, kOlder + ".9.4.0"), "127.0.0.1");
}

// The upload exits 0 only with the file in the directory; a failure trap's
// reason follows the message, as the Trap Monitor has it.
TEST_F(FleetCommandLine, UploadBringsTheFileOrSaysWhyNot) {
    const std::string configs = site.dir.File("configs");
    CliRun run = Cli({"upload", kT1, configs + "/"});
    EXPECT_EQ(run.code, 0) << run.err;
    EXPECT_EQ(ReadTextFile(configs + "/terminal.reg"), site.StoredOn(kT1));
    EXPECT_EQ(run.err, "Configuration Upload Complete To Directory:  " + configs + "\n");

    run = Cli({"upload", kBare, site.dir.File("bare")});
    EXPECT_EQ(run.code, 1);
    EXPECT_EQ(
        SplitLines(run.err),
        (Texts{"Configuration Upload Failure, Check Trap Monitor For Reason", "BARE : " + kBare,
               "SNMP Initiated Up/Download Request Not Completed", "Source File Not Found"}));
    run = Cli({"upload", kMute, site.dir.File("quiet"), "--timeout", "1"});
    EXPECT_EQ(run.code, 1);
    EXPECT_EQ(run.err, "Configuration Upload Failure, No Trap Received Before Timeout\n");
}

// The terminals compared are those given, or else those a discovery of the
// configured subnets finds; values print on one line each.
TEST_F(FleetCommandLine, SetInfoRefusesDuplicatesFoundEitherWayAndGetInfoPrintsTheTexts) {
    for (const auto& among : {Texts{"--among", kOld}, Texts{}}) {
        Texts args = {"set-info", kT1, "--name", "OLD", "--field3", "x"};
        args.insert(args.end(), among.begin(), among.end());
        CliRun run = Cli(args);
        EXPECT_EQ(run.code, 1);
        EXPECT_EQ(run.err, "Duplicate Name Found, Please Select Another\n");
    }
    // A discovery that fails checks nothing, so nothing is sent.
    std::string broken = site.Settings();
    broken.replace(broken.find("=127.0.80\n"), 10, "=127.0\n");
    WriteTextFile(site.SettingsPath(), broken);
    EXPECT_EQ(Cli({"set-info", kT1, "--name", "NEW", "--location", "x"}).code, 1);
    EXPECT_EQ(Wire(kT1, ".1.3.6.1.2.1.1.5.0") + "|" + Wire(kT1, ".1.3.6.1.2.1.1.6.0"), "T1|Hall");

    CliRun set = Cli({"set-info", kT1, "--location", "Row 1\nRow 2"});
    EXPECT_EQ(set.code, 0) << set.err;
    EXPECT_EQ(set.err, "Terminal Information Update Complete\n");
    CliRun get = Cli({"get-info", kT1});
    EXPECT_EQ(get.code, 0) << get.err;
    EXPECT_EQ(get.out,
              "Name\tT1\nLocation\tRow 1\\nRow 2\nContact\tDesk 4100\nCustom Field 1\tAsset 1\n"
              "Custom Field 2\t\nCustom Field 3\t\n");
}

TEST_F(FleetCommandLine, ListShowsEachTerminalWithItsElevenValues) {
    CliRun run = Cli({"list", "--csv", kT1, kOld, "127.0.80.23", "127.0.80.24", kThird,
                      "127.0.80.26", "127.0.80.27", kSilent});
    // The silent address is reported and not registered.
    EXPECT_EQ(run.code, 1);
    EXPECT_TRUE(Contains(run.err, kSilent + ": no answer: Get Get - The request timed-out"))
        << run.err;
    Texts lines = SplitLines(run.out);
    ASSERT_EQ(lines.size(), 7u) << run.out;  // header, six terminals (the NOETH pair is one)
    EXPECT_EQ(lines[0],
              "Name,Version,Location,Contact,Custom Field 1,Custom Field 2,Custom Field 3,"
              "Build #,ModDate,IP Address,MAC Address,Platform");
    const std::pair<std::size_t, std::string> parts[] = {
        {1, "T1,"},
        {1, ",Hall,Desk 4100,Asset 1,"},
        {1, ",5.2.1,2026-11-30," + kT1 + ","},
        {1, ",PX-4"},
        // The older model's build, date and platform come through its own layout.
        {2, ",3.7.215,2019-11-04," + kOld + ","},
        {2, ",P-OLD"},
        // Two terminals of one name, each with its own data and MAC address.
        {3, "TWIN,"},
        {3, ",Left,"},
        {3, ",024657001001,"},
        {4, ",Right,"},
        {4, ",024657001002,"},
        // The Ethernet entry at position 3 of the interface table.
        {5, ",024657003003,"},
        // Without Ethernet, one name is one terminal: the later registration replaced it.
        {6, ",127.0.80.27,EtherNetMacAdrTypeNotFoundError,"},
    };
    for (const auto& [line, part] : parts) {
        EXPECT_TRUE(Contains(lines[line], part)) << lines[line] << " lacks " << part;
    }
    EXPECT_EQ(SplitLines(Cli({"register", kT1, kT1}).out),
              (Texts{kT1 + " added", kT1 + " not added (already known, or not a product the "
                                           "settings accept)"}));
}

// What set wrote, from another run too, shows at a later run's refresh, each
// value on the terminal's own line; the CSV form keeps it exact, in quotes.
// Separate runs share nothing but the terminals themselves.
TEST_F(FleetCommandLine, WrittenValuesShowInALaterRunOnTheirLine) {
    Texts lines = SplitLines(Program({"list", kT1, kThird}).out);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[1].rfind("THIRD\t", 0), 0u);
    const std::string location = "Hall\t2\nRow \\3\x1b[1m";
    const std::pair<const char*, std::string> written[] = {
        {"OidSysName", "T1-2"},           {"OidSysLocation", location},
        {"OidSysContact", "Desk 4200"},   {"EntOidCustomField1", "Asset 2"},
        {"EntOidCustomField2", "Second"}, {"EntOidCustomField3", "Third"}};
    for (const auto& [name, value] : written) {
        CliRun set = Cli({"set", kT1, name, value});
        EXPECT_EQ(set.out, "NoneNoneNone\n") << name << set.err;
    }
    CliRun rename = Program({"set", kThird, "OidSysName", "THIRD-NEW"});
    EXPECT_EQ(rename.code, 0);
    EXPECT_EQ(rename.out, "NoneNoneNone\n");
    const std::string escaped = "Hall\\t2\\nRow \\\\3\\x1b[1m";
    EXPECT_EQ(Cli({"get", kT1, "OidSysLocation"}).out, escaped + "\n");
    lines = SplitLines(Program({"list", kThird, kT1}).out);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0].rfind("THIRD-NEW\t", 0), 0u);
    EXPECT_EQ(lines[1].rfind("T1-2\t", 0), 0u) << lines[1];
    EXPECT_TRUE(Contains(lines[1], "\t" + escaped + "\tDesk 4200\tAsset 2\tSecond\tThird\t"))
        << lines[1];
    std::string csv = Cli({"list", "--csv", kT1}).out;
    EXPECT_TRUE(Contains(csv, ",\"" + location + "\",Desk 4200,")) << csv;
    EXPECT_EQ(SplitLines(Program({"list", kT1}).out).size(), 1u);
}

TEST_F(FleetCommandLine, DiscoverPrintsTheLogThenTheTerminals) {
    CliRun run = Cli({"discover", "--parallel", "8"});
    EXPECT_EQ(run.code, 0) << run.err;
    EXPECT_EQ(run.err, "");
    Texts lines = SplitLines(run.out);
    ASSERT_EQ(lines.size(), 12u) << run.out;
    EXPECT_EQ(Texts(lines.begin(), lines.begin() + 5),
              (Texts{"", "T1", "T400 thin client, firmware 5.2.1", kT1, std::string(80, '_')}));
    EXPECT_EQ(lines[10].substr(0, lines[10].find('\t')), "T1");
    EXPECT_TRUE(Contains(lines[11], "\t" + kOld + "\t"));
}

}  // namespace
