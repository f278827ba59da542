// The upload's local directory, the checks before anything is sent, and a
// terminal that answers at once; the dialog's runs against simulated
// terminals are in tests/gui/TransferDialogsTest.cpp.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "FakeTerminals.h"
#include "MissingPeer.h"
#include "NetworkTestSupport.h"
#include "PyFtpServer.h"
#include "RecordingTrapLog.h"
#include "TestDocument.h"
#include "TrapSender.h"
#include "core/common/ProgressNotice.h"
#include "core/staging/FtpClient.h"
#include "core/terminals/TerminalDatabase.h"
#include "core/transfer/ConfigurationUpload.h"
#include "core/transfer/UploadDirectory.h"

namespace {

mode_t ModeOf(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 ? (st.st_mode & 07777) : 0;
}

class RecordingNotice final : public IProgressNotice {
public:
    void SetMessages(const std::string& line1, const std::string&) override {
        lines.push_back(line1);
    }
    void Close() override {}
    std::vector<std::string> lines;
};

TEST(UploadDirectory, TrailingSlashesGoAndOnlyARegularFileIsRestricted) {
    const std::pair<std::string, std::string> cases[] = {
        {"/", "/"}, {"//", "/"}, {"configs//", "configs"}, {"C:\\cfg\\", "C:\\cfg\\"}};
    for (const auto& [typed, normal] : cases) {
        EXPECT_EQ(NormaliseLocalDirectory(typed), normal) << typed;
    }
    EXPECT_EQ(FileInDirectory("/", "terminal.reg"), "/terminal.reg");

    TempDir dir;
    WriteTextFile(dir.File("old.reg"), "x");
    WriteTextFile(dir.File("target"), "y");
    ::chmod(dir.File("old.reg").c_str(), 0644);
    ::chmod(dir.File("target").c_str(), 0644);
    std::filesystem::create_symlink(dir.File("target"), dir.File("link.reg"));
    for (const char* name : {"old.reg", "link.reg", "missing.reg"}) {
        RestrictToOwner(dir.File(name));
    }
    EXPECT_EQ(ModeOf(dir.File("old.reg")), 0600u);
    EXPECT_EQ(ModeOf(dir.File("target")), 0644u);
}

// Every refusal leaves the terminal unasked and the notice unshown. A missing
// directory is created (owner-only, one level) before the later checks.
TEST(ConfigurationUpload, RefusalsSendNothing) {
    FakeSnmpManager snmp;
    TestDocument t(DefaultSettingsWith(), &snmp);
    AddFakeTerminal(snmp, {.ip = "127.0.0.21", .name = "DESK", .mac = "0080641200AA"});
    ASSERT_TRUE(t.Doc().RegisterTerminal("127.0.0.21"));
    MacByItemTable rows;
    rows.Assign({"0080641200AA"});
    const std::string plain = t.Dir().File("plain");
    const std::string fresh = t.Dir().File("fresh");
    WriteTextFile(plain, "x");
    const std::string refresh =
        "Terminal Not Listed As Of The Last Refresh, Exit And Refresh The List";
    struct Case {
        UploadChoice choice;
        std::string message;
    };
    const Case cases[] = {
        {{"", 0, "DESK"}, "Must Provide a Path for the Configuration File"},
        {{plain, 0, "DESK"}, "Can't Create Directory: " + plain},
        {{plain + "/sub", 0, "DESK"}, "Can't Create Directory: " + plain + "/sub"},
        {{fresh + "/sub", 0, "DESK"}, "Can't Create Directory: " + fresh + "/sub"},
        {{fresh + "/", -1, ""},
         "Terminal(s) Must Be Selected Before Configuration Transfer Can Occur"},
        // Registered after the main list's refresh: a row the table lacks.
        {{fresh, 1, "LATE"}, refresh},
        // The row's terminal was renamed since: its name no longer matches.
        {{fresh, 0, "DESK-OLD"}, refresh},
    };
    std::size_t requestsBefore = snmp.Requests().size();
    for (const auto& c : cases) {
        t.Messages().Clear();
        RecordingNotice notice;
        CurlFtpClient ftp;
        EXPECT_EQ(UploadConfiguration(t.Doc(), rows, c.choice, ftp, notice, {}),
                  UploadEnd::Refused);
        EXPECT_EQ(t.Messages().Texts(), std::vector<std::string>{c.message}) << c.choice.path;
        EXPECT_TRUE(notice.lines.empty());
    }
    EXPECT_EQ(snmp.Requests().size(), requestsBefore);
    EXPECT_EQ(ModeOf(fresh), 0700u);
    if (::geteuid() != 0) {  // permissions bind everyone but the superuser
        ::chmod(fresh.c_str(), 0500);
        EXPECT_EQ(PrepareUploadDirectory(fresh), "Cant Access Directory: " + fresh);
        ::chmod(fresh.c_str(), 0700);
    }
}

// A terminal that reports its outcome before its submit is even answered: the
// wait was armed before the request went out, so that trap still decides.
TEST(ConfigurationUpload, AnOutcomeTrapAheadOfTheSubmitsAnswerStillCounts) {
    PyFtpServer ftp;
    if (!ftp.Ready()) {
        SKIP_FOR_MISSING_PEER("pyftpdlib did not start: " + ftp.Log());
    }
    const std::string ip = "127.0.0.21";
    const std::string prefix = ".1.3.6.1.4.1.32473.10";
    unsigned trapPort = FreeUdpPort();
    FakeSnmpManager snmp;
    std::string settings = DefaultSettingsWith("TrapPort=" + std::to_string(trapPort) +
                                               "\nFTPServerPort=" + std::to_string(ftp.Port()) +
                                               "\nLocalHostIP=127.0.0.1\n");
    settings.replace(settings.find("\nFTPServerName=\n"), 16, "\nFTPServerName=127.0.0.1\n");
    TestDocument t(settings, &snmp);
    AddFakeTerminal(snmp, {.ip = ip, .name = "DESK", .mac = "0080641200AA"});
    for (const char* suffix : {".3.5.0", ".4.2.0", ".4.4.0", ".4.5.0", ".4.8.0"}) {
        snmp.agents[ip][prefix + suffix] = FakeSnmpManager::Text("");
    }
    for (const char* suffix : {".4.1.0", ".4.3.0", ".4.6.0", ".4.7.0", ".4.11.0", ".4.12.0"}) {
        snmp.agents[ip][prefix + suffix] = FakeSnmpManager::Integer(0);
    }
    ASSERT_TRUE(t.Doc().RegisterTerminal(ip));
    MacByItemTable rows;
    rows.Assign({"0080641200AA"});

    RecordingTrapLog log;
    TrapListener listener(t.Doc(), log, nullptr);
    listener.Start();
    ASSERT_TRUE(log.WaitForLine("Listening For Traps..."));
    TrapSender sender(trapPort);
    ASSERT_TRUE(sender.Ready());
    snmp.beforeAnswer = [&](const FakeSnmpManager::Request& request) {
        if (request.type == SnmpPduType::Set &&
            OidToText(request.bindings[0].name) == prefix + ".4.12.0") {
            sender.SendV1(ip, 6, 5);
            log.WaitForLine("SNMP Initiated Up/Download Request Done");
        }
    };
    WriteTextFile(ftp.Root() + "/terminal.reg", "REGEDIT4\r\n");

    CurlFtpClient client;
    NoProgressNotice notice;
    EXPECT_EQ(UploadConfiguration(t.Doc(), rows, {t.Dir().Path(), 0, "DESK"}, client, notice, {},
                                  std::chrono::seconds(5)),
              UploadEnd::Done);
    EXPECT_EQ(ReadTextFile(t.Dir().File("terminal.reg")), "REGEDIT4\r\n");
}

}  // namespace
