// The configuration download end to end: the console's core and command line
// against the simulated fleet, pyftpdlib as the staging server and a trap
// receiver standing in for the Trap Monitor.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <set>

#include "CliTestSupport.h"
#include "PyFtpServer.h"
#include "SimFleetProcess.h"
#include "TestDocument.h"
#include "TrapReceiver.h"
#include "core/common/ProgressNotice.h"
#include "core/download/ConfigurationDownload.h"
#include "core/settings/ProfileStore.h"
#include "core/settings/SettingsGlobals.h"
#include "core/settings/SettingsPath.h"
#include "core/staging/FtpClient.h"
#include "core/terminals/TerminalDatabase.h"

namespace {

const std::string kCurrent = ".1.3.6.1.4.1.32473.10";
const std::string kOlder = ".1.3.6.1.4.1.32473.22";

// Rows in registration order.
const std::vector<std::pair<std::string, std::string>> kTerminals = {
    {"T1", "127.0.73.2"},       {"OLD", "127.0.73.3"},     {"LOCKED", "127.0.73.4"},
    {"NOREBOOT", "127.0.73.5"}, {"HALFWAY", "127.0.73.6"}, {"MUTE", "127.0.73.7"}};

const char* const kFleet = R"INI(
[T1]
Address=127.0.73.2
[OLD]
Address=127.0.73.3
Model=older
[LOCKED]
Address=127.0.73.4
RefuseSetsOf=EntOidTrapServer5
[NOREBOOT]
Address=127.0.73.5
RefuseSetsOf=EntOidCfgDnldReboot
[HALFWAY]
Address=127.0.73.6
RefuseSetsOf=EntOidXferDest
[MUTE]
Address=127.0.73.7
NoOutcomeTrap=yes
)INI";

const std::string kKey = "[HKEY_LOCAL_MACHINE\\SOFTWARE\\ThinClient\\";
const std::string kStored = "Windows Registry Editor Version 5.00\r\n\r\n" + kKey +
                            "Session]\r\n\"Server\"=\"apps2.fleet.example\"\r\n\r\n" + kKey +
                            "Display]\r\n\"Resolution\"=\"1920x1080\"\r\n\r\n" + kKey +
                            "Security]\r\n\"AdminPassword\"=\"site-Adm-2024\"\r\n"
                            "\"LockSettings\"=dword:00000001\r\n";

void Replace(std::string& text, const std::string& from, const std::string& to) {
    text.replace(text.find(from), from.size(), to);
}

class ConfigurationDownload : public ::testing::Test {
protected:
    void SetUp() override {
        if (FindProgram("snmpget").empty()) {
            GTEST_SKIP() << "net-snmp's command-line tools are not installed";
        }
        if (!ftp.Ready()) {
            GTEST_SKIP() << "pyftpdlib did not start: " << ftp.Log();
        }
        std::filesystem::create_directories(dir.File("configs"));
        WriteTextFile(dir.File("configs/terminal.reg"), kStored);
    }
    // The fleet sends its traps to `trapPort` on this machine.
    void StartFleet(unsigned port) {
        trapPort = port;
        fleet = std::make_unique<SimFleetProcess>(
            SimFleetProcess::Options{kFleet,
                                     {"--trap-port", std::to_string(trapPort), "--ftp-port",
                                      std::to_string(ftp.Port()), "--state-dir", dir.File("state")},
                                     false,
                                     {}});
        ASSERT_TRUE(fleet->Ready()) << fleet->Log();
    }
    void TearDown() override { g_Terminals.Clear(); }

    // The shipped settings and template, pointed at the fleet and the server.
    std::string Settings(const std::string& misc) const {
        std::string settings = ReadTextFile(DefaultSettingsPath());
        Replace(settings, "[Misc]\n",
                "[Misc]\nSnmpPort=" + std::to_string(fleet->SnmpPort()) + "\nTrapPort=" +
                    std::to_string(trapPort) + "\nFTPServerPort=" + std::to_string(ftp.Port()) +
                    "\nLocalHostIP=127.0.0.1\n" + misc);
        Replace(settings, "\nFTPServerName=\n", "\nFTPServerName=127.0.0.1\n");
        Replace(settings, "[AvailableExclusions]\n",
                "[AvailableExclusions]\nKiosk Display=multi_sz:\"" + kKey.substr(1) +
                    "Display\",\"*\"\n");
        return settings;
    }
    void Template(const std::string& settingsPath) const {
        std::filesystem::copy_file(
            std::string(FLEETWARDEN_SOURCE_DIR) + "/resources/fleetwarden.tpl",
            settingsPath.substr(0, settingsPath.size() - 3) + "tpl",
            std::filesystem::copy_options::overwrite_existing);
    }
    std::string StoredOn(const std::string& ip) const {
        return ReadTextFile(dir.File("state/" + ip + "/terminal.reg"));
    }
    std::string Object(const std::string& ip, const std::string& suffix) const {
        return SnmpGetText(fleet->At(ip), (ip == "127.0.73.3" ? kOlder : kCurrent) + suffix);
    }
    // Traps as (agent, generic, specific) until `wanted` have all come.
    std::set<std::tuple<std::string, long, long>> TrapsUntil(
        const std::set<std::tuple<std::string, long, long>>& wanted) {
        std::set<std::tuple<std::string, long, long>> seen;
        while (!std::includes(seen.begin(), seen.end(), wanted.begin(), wanted.end())) {
            auto trap = traps->Next(std::chrono::seconds(20));
            if (!trap) {
                ADD_FAILURE() << fleet->Log();
                break;
            }
            seen.insert({trap->agent, trap->generic, trap->specific});
        }
        return seen;
    }

    TempDir dir;
    PyFtpServer ftp;
    // The Trap Monitor's stand-in, when the test has one.
    std::unique_ptr<TrapReceiver> traps;
    unsigned trapPort = 0;
    std::unique_ptr<SimFleetProcess> fleet;
};

// One run over every kind of terminal, one by one with a reboot and eight at
// a time without: the same messages in the same order, the filtered file on
// every terminal that took the request, the outcome traps, the reboots only
// when asked, and the choices saved.
TEST_F(ConfigurationDownload, TerminalsGetTheFilteredFileAndFailuresTheirMessagesInListOrder) {
    traps = std::make_unique<TrapReceiver>();
    StartFleet(traps->Port());
    for (auto [width, reboot] : {std::pair{1, true}, std::pair{8, false}}) {
        SCOPED_TRACE(width);
        TestDocument t(Settings("TransferParallel=" + std::to_string(width) + "\n"));
        Template(t.SettingsPath());
        std::vector<std::string> macs;
        for (const auto& [name, ip] : kTerminals) {
            ASSERT_TRUE(t.Doc().RegisterTerminal(ip)) << ip;
        }
        for (const auto& entry : g_Terminals.Entries()) {
            macs.push_back(entry.record.m_strMacAdr);
        }
        MacByItemTable macByItem;
        macByItem.Assign(macs);
        ExclusionList list = ReadAvailableExclusions(t.SettingsPath(), GetTemplatePath());
        auto row = [&](const std::string& name) {
            return static_cast<std::size_t>(std::find(list.names.begin(), list.names.end(), name) -
                                            list.names.begin());
        };
        DownloadChoices choices{
            dir.File("configs/"),
            reboot,
            {{0, "T1"}, {1, "OLD"}, {2, "LOCKED"}, {3, "NOREBOOT"}, {4, "HALFWAY"}, {5, "RENAMED"}},
            {list, {row("Kiosk Display"), row("Passwords")}}};
        CurlFtpClient client;
        NoProgressNotice notice;
        DownloadRunOutcome outcome =
            RunConfigurationDownload(t.Doc(), macByItem, choices, client, {}, notice);
        ASSERT_EQ(outcome.end, DownloadRunEnd::Completed);

        // Messages: each failing terminal by name, then the completion.
        std::vector<std::string> texts = t.Messages().Texts();
        ASSERT_EQ(texts.size(), 5u) << ::testing::PrintToString(texts);
        const std::string skip = "\n- Skipping to Next Terminal -";
        EXPECT_EQ(texts[0].rfind("LOCKED- Set Trap Server Error -\n", 0), 0u) << texts[0];
        EXPECT_EQ(texts[1].rfind("NOREBOOT- Set Reboot Action Error -\n", 0), 0u) << texts[1];
        EXPECT_EQ(texts[3], "- HALFWAY -\n" + texts[2] + skip);  // after the request's own
        for (int i : {0, 1}) {
            EXPECT_TRUE(texts[i].ends_with(skip)) << texts[i];
        }
        EXPECT_EQ(texts[4], "Download Configuration Request(s) Complete Using Files From:\n\n" +
                                dir.File("configs") +
                                "\n\nCheck Trap Monitor for any Download Failures");
        EXPECT_EQ(t.Messages().Icons()[4], MessageIcon::Information);
        ASSERT_EQ(outcome.requests.size(), 5u);
        EXPECT_EQ(outcome.requests[0].result, kNoneNoneNone);
        EXPECT_EQ(outcome.requests[4].name, "HALFWAY");

        // The terminals that took the request report, fetch the filtered file
        // and reboot when asked; the trap destination is this console.
        std::set<std::tuple<std::string, long, long>> wanted = {{"127.0.73.2", 6, 5},
                                                                {"127.0.73.3", 6, 5}};
        if (reboot) {
            wanted.insert({{"127.0.73.2", 1, 0}, {"127.0.73.3", 1, 0}});
        }
        auto seen = TrapsUntil(wanted);
        while (auto late = traps->Next(std::chrono::milliseconds(reboot ? 200 : 1200))) {
            seen.insert({late->agent, late->generic, late->specific});
        }
        EXPECT_EQ(seen, wanted);
        for (const std::string ip : {"127.0.73.2", "127.0.73.3"}) {
            std::string stored = StoredOn(ip);
            EXPECT_NE(stored.find("\"Server\"=\"apps2.fleet.example\""), std::string::npos);
            EXPECT_NE(stored.find("LockSettings"), std::string::npos);
            for (const char* excluded : {"site-Adm-2024", "Resolution", "Display]"}) {
                EXPECT_EQ(stored.find(excluded), std::string::npos) << ip << " " << excluded;
            }
            EXPECT_EQ(stored, ReadTextFile(ftp.Root() + "/terminal.reg"));
            EXPECT_EQ(Object(ip, ".3.5.0"), "127.0.0.1");
            EXPECT_EQ(Object(ip, ".2.1.0"), reboot ? "1" : "0");
        }
        EXPECT_NE(StoredOn("127.0.73.5"), ReadTextFile(ftp.Root() + "/terminal.reg"));

        EXPECT_EQ(ProfileStore::ReadSectionLines(t.SettingsPath(), "CurrentExclusions"),
                  (std::vector<std::string>{"Passwords=", "Kiosk Display="}));
        EXPECT_EQ(t.Doc().GetINIValueStr("Misc", "DnloadPath", 0), dir.File("configs"));
        EXPECT_EQ(t.Doc().GetINIValueStr("Misc", "CfgReboot", 0), reboot ? "Yes" : "No");
        EXPECT_FALSE(std::filesystem::exists(dir.File("configs/terminal.reg.fil")));
        g_Terminals.Clear();
    }
}

// The command line waits for each terminal's outcome trap and says what came.
TEST_F(ConfigurationDownload, TheCommandLineReportsEachTerminal) {
    StartFleet(FreeUdpPort("127.0.0.1"));
    std::string settings = dir.File("cli.ini");
    std::string text = Settings("");
    for (auto [from, to] : {std::pair{"\nDiscoverIPSubNet=\n", "\nDiscoverIPSubNet=127.0.73\n"},
                            {"\nDiscoverRangeLow=1\n", "\nDiscoverRangeLow=2\n"},
                            {"\nDiscoverRangeHigh=254\n", "\nDiscoverRangeHigh=3\n"}}) {
        Replace(text, from, to);
    }
    WriteTextFile(settings, text);
    Template(settings);
    const std::string configs = dir.File("configs");

    CliRun all = RunCliCaptured({"--settings", settings, "download-config", configs, "--reboot",
                                 "--exclude", "Passwords", "--all", "--wait", "20"});
    EXPECT_EQ(all.code, 0) << all.err;
    EXPECT_EQ(all.out, "127.0.73.2 T1: ok\n127.0.73.3 OLD: ok\n") << all.err;
    EXPECT_EQ(StoredOn("127.0.73.2").find("site-Adm-2024"), std::string::npos);
    g_Terminals.Clear();

    // A line that is neither a key nor a value passes the filter; the terminal
    // refuses the file, with the reason.
    WriteTextFile(dir.File("configs/terminal.reg"),
                  "REGEDIT4\r\n[HKEY_LOCAL_MACHINE\\X]\r\nResolution=1\r\n");
    CliRun mixed = RunCliCaptured({"--settings", settings, "download-config", configs, "127.0.73.2",
                                   "127.0.73.4", "127.0.73.7", "--wait", "3"});
    EXPECT_EQ(mixed.code, 1);
    std::vector<std::string> lines = SplitLines(mixed.out);
    ASSERT_EQ(lines.size(), 3u) << mixed.out << mixed.err;
    EXPECT_EQ(lines[0].rfind("127.0.73.2 T1: failed: ", 0), 0u) << lines[0];
    EXPECT_GT(lines[0].size(), std::string("127.0.73.2 T1: failed: ").size());
    EXPECT_EQ(lines[1].rfind("127.0.73.4 LOCKED: not sent: ", 0), 0u) << lines[1];
    EXPECT_EQ(lines[2], "127.0.73.7 MUTE: no trap");
    EXPECT_NE(mixed.err.find("LOCKED- Set Trap Server Error -"), std::string::npos) << mixed.err;
    EXPECT_EQ(ProfileStore::ReadSectionLines(settings, "CurrentExclusions").size(), 0u);
}

}  // namespace
