// The configuration download end to end: the console's core and command line
// against the simulated fleet, pyftpdlib as the staging server and a trap
// receiver standing in for the Trap Monitor.
#include <gtest/gtest.h>

#include <filesystem>
#include <set>

#include "CliTestSupport.h"
#include "PyFtpServer.h"
#include "SimFleetProcess.h"
#include "TestDocument.h"
#include "TrapReceiver.h"
#include "core/common/ProgressNotice.h"
#include "core/common/Sentinel.h"
#include "core/download/ConfigurationDownload.h"
#include "core/settings/ProfileStore.h"
#include "core/settings/SettingsPath.h"
#include "core/staging/FtpClient.h"
#include "core/terminals/TerminalDatabase.h"

namespace {

const char* const kFleet =
    "[T1]\nAddress=127.0.73.2\n[OLD]\nAddress=127.0.73.3\nModel=older\n"
    "[LOCKED]\nAddress=127.0.73.4\nRefuseSetsOf=EntOidTrapServer5\n"
    "[NOREBOOT]\nAddress=127.0.73.5\nRefuseSetsOf=EntOidCfgDnldReboot\n"
    "[HALFWAY]\nAddress=127.0.73.6\nRefuseSetsOf=EntOidXferDest\n"
    "[MUTE]\nAddress=127.0.73.7\nNoOutcomeTrap=yes\n";

const std::string kKey = "[HKEY_LOCAL_MACHINE\\SOFTWARE\\ThinClient\\";
const std::string kStored = "REGEDIT4\r\n\r\n" + kKey +
                            "Session]\r\n\"Server\"=\"apps2.fleet.example\"\r\n\r\n" + kKey +
                            "Display]\r\n\"Resolution\"=\"1920x1080\"\r\n\r\n" + kKey +
                            "Security]\r\n\"AdminPassword\"=\"site-Adm-2024\"\r\n"
                            "\"LockSettings\"=dword:00000001\r\n";

void Replace(std::string& text, const std::string& from, const std::string& to) {
    text.replace(text.find(from), from.size(), to);
}

class ConfigurationDownload : public ::testing::Test {
protected:
    // The fleet sends its traps to `port`; the settings and the shipped
    // template, beside each other, point at the fleet and the server.
    void SetUp() override {
        if (FindProgram("snmpget").empty() || !ftp.Ready()) {
            GTEST_SKIP() << "net-snmp's tools or pyftpdlib missing: " << ftp.Log();
        }
    }
    void Start(unsigned port, const std::string& settingsPath, const std::string& misc) {
        fleet = std::make_unique<SimFleetProcess>(SimFleetProcess::Options{
            kFleet,
            {"--trap-port", std::to_string(port), "--ftp-port", std::to_string(ftp.Port()),
             "--state-dir", dir.File("state")}});
        ASSERT_TRUE(fleet->Ready()) << fleet->Log();
        std::filesystem::create_directories(dir.File("configs"));
        WriteTextFile(dir.File("configs/terminal.reg"), kStored);
        std::string text = ReadTextFile(ShippedSettingsPath());
        Replace(text, "[Misc]\n",
                "[Misc]\nSnmpPort=" + std::to_string(fleet->SnmpPort()) + "\nTrapPort=" +
                    std::to_string(port) + "\nFTPServerPort=" + std::to_string(ftp.Port()) +
                    "\nLocalHostIP=127.0.0.1\n" + misc);
        Replace(text, "\nFTPServerName=\n", "\nFTPServerName=127.0.0.1\n");
        Replace(text, "[AvailableExclusions]\n",
                "[AvailableExclusions]\nKiosk Display=multi_sz:\"" + kKey.substr(1) +
                    "Display\",\"*\"\n");
        WriteTextFile(settingsPath, text);
        std::filesystem::copy_file(FLEETWARDEN_SOURCE_DIR "/resources/fleetwarden.tpl",
                                   settingsPath.substr(0, settingsPath.size() - 3) + "tpl",
                                   std::filesystem::copy_options::overwrite_existing);
    }
    std::string StoredOn(const std::string& ip) const {
        return ReadTextFile(dir.File("state/" + ip + "/terminal.reg"));
    }

    TempDir dir;
    PyFtpServer ftp;
    std::unique_ptr<SimFleetProcess> fleet;
};

using Trap = std::tuple<std::string, long, long>;  // agent, generic, specific

// One by one with a reboot, then eight at a time without: the same messages in
// list order, the filtered file on every terminal that took the request, its
// outcome trap, a warm start only when asked, and the choices saved.
TEST_F(ConfigurationDownload, TerminalsGetTheFilteredFileAndFailuresTheirMessagesInListOrder) {
    TrapReceiver traps;
    std::string settings = dir.File("fleetwarden.ini");
    Start(traps.Port(), settings, "");
    for (auto [width, reboot] : {std::pair{1, true}, std::pair{8, false}}) {
        SCOPED_TRACE(width);
        TestDocument t(ReadTextFile(settings));
        t.Doc().WriteINIValueStr("Misc", "TransferParallel", std::to_string(width));
        std::filesystem::copy_file(settings.substr(0, settings.size() - 3) + "tpl",
                                   t.Dir().File("fleetwarden.tpl"));
        std::vector<std::string> macs;
        for (int host = 2; host <= 7; ++host) {
            ASSERT_TRUE(t.Doc().RegisterTerminal("127.0.73." + std::to_string(host)));
            macs.push_back(t.Terminals().Entries().back().record.m_macAdr);
        }
        MacByItemTable macByItem;
        macByItem.Assign(macs);
        ExclusionList list = ReadAvailableExclusions(t.State().Profiles(), t.SettingsPath(),
                                                     t.Doc().GetTemplatePath());
        ASSERT_EQ(list.names[2], "Passwords");
        ASSERT_EQ(list.names[4], "Kiosk Display");
        // Row 5 is MUTE's: an entry whose name no longer matches sends nothing.
        DownloadChoices choices{
            dir.File("configs/"),
            reboot,
            {{0, "T1"}, {1, "OLD"}, {2, "LOCKED"}, {3, "NOREBOOT"}, {4, "HALFWAY"}, {5, "RENAMED"}},
            {list, {4, 2}}};
        CurlFtpClient client;
        NoProgressNotice notice;
        DownloadRunOutcome outcome =
            RunConfigurationDownload(t.Doc(), macByItem, choices, client, {}, notice);
        ASSERT_EQ(outcome.end, DownloadRunEnd::Completed);
        EXPECT_EQ(outcome.requests.size(), 5u);

        std::vector<std::string> texts = t.Messages().Texts();
        ASSERT_EQ(texts.size(), 5u) << ::testing::PrintToString(texts);
        const std::string skip = "\n- Skipping to Next Terminal -";
        EXPECT_EQ(texts[0].rfind("LOCKED- Set Trap Server Error -\n", 0), 0u) << texts[0];
        EXPECT_EQ(texts[1].rfind("NOREBOOT- Set Reboot Action Error -\n", 0), 0u) << texts[1];
        EXPECT_TRUE(texts[0].ends_with(skip) && texts[1].ends_with(skip));
        EXPECT_EQ(texts[3], "- HALFWAY -\n" + texts[2] + skip);  // after the request's own
        EXPECT_EQ(texts[4], "Download Configuration Request(s) Complete Using Files From:\n\n" +
                                dir.File("configs") +
                                "\n\nCheck Trap Monitor for any Download Failures");

        std::set<Trap> wanted = {{"127.0.73.2", 6, 5}, {"127.0.73.3", 6, 5}};
        if (reboot) {
            wanted.insert({{"127.0.73.2", 1, 0}, {"127.0.73.3", 1, 0}});
        }
        std::set<Trap> seen;
        while (
            auto trap = traps.Next(std::chrono::milliseconds(
                std::includes(seen.begin(), seen.end(), wanted.begin(), wanted.end()) ? 1000
                                                                                      : 20000))) {
            seen.insert({trap->agent, trap->generic, trap->specific});
        }
        EXPECT_EQ(seen, wanted) << fleet->Log();
        for (const std::string ip : {"127.0.73.2", "127.0.73.3"}) {
            std::string stored = StoredOn(ip);
            EXPECT_EQ(stored, ReadTextFile(ftp.Root() + "/terminal.reg"));
            EXPECT_NE(stored.find("\"Server\"=\"apps2.fleet.example\""), std::string::npos);
            EXPECT_NE(stored.find("LockSettings"), std::string::npos);
            for (const char* excluded : {"site-Adm-2024", "Resolution", "Display]"}) {
                EXPECT_EQ(stored.find(excluded), std::string::npos) << ip << " " << excluded;
            }
        }
        EXPECT_NE(StoredOn("127.0.73.5"), StoredOn("127.0.73.2"));

        EXPECT_EQ(t.State().Profiles().ReadSectionLines(t.SettingsPath(), "CurrentExclusions"),
                  (std::vector<std::string>{"Passwords=", "Kiosk Display="}));
        EXPECT_EQ(t.Doc().GetINIValueStr("Misc", "DnloadPath", IfMissing::Silent),
                  dir.File("configs"));
        EXPECT_EQ(t.Doc().GetINIValueStr("Misc", "CfgReboot", IfMissing::Silent),
                  reboot ? "Yes" : "No");
        EXPECT_FALSE(std::filesystem::exists(dir.File("configs/terminal.reg.fil")));
    }
}

// The command line waits for each terminal's outcome trap and says what came.
TEST_F(ConfigurationDownload, TheCommandLineReportsEachTerminal) {
    std::string settings = dir.File("cli.ini");
    Start(FreeUdpPort("127.0.0.1"), settings,
          "DiscoverIPSubNet=127.0.73\nDiscoverRangeLow=2\nDiscoverRangeHigh=3\n");
    const std::string configs = dir.File("configs");
    CliRun all = RunCliCaptured({"--settings", settings, "download-config", configs, "--reboot",
                                 "--exclude", "Passwords", "--all", "--wait", "20"});
    EXPECT_EQ(all.code, 0) << all.err;
    EXPECT_EQ(all.out, "127.0.73.2 T1: ok\n127.0.73.3 OLD: ok\n") << all.err;
    EXPECT_EQ(StoredOn("127.0.73.2").find("site-Adm-2024"), std::string::npos);

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
    EXPECT_TRUE(ProfileStore().ReadSectionLines(settings, "CurrentExclusions").empty());
}

}  // namespace
