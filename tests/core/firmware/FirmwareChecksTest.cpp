// The firmware run's checks and its stop at a failed copy: each ends the run
// with its message before anything reaches the server or a terminal.
#include <gtest/gtest.h>

#include <filesystem>

#include "FakeSnmpManager.h"
#include "FakeTerminals.h"
#include "NetworkTestSupport.h"
#include "RecordingNotice.h"
#include "TestDocument.h"
#include "core/firmware/FirmwareDownload.h"
#include "core/staging/FtpClient.h"

namespace {

const std::string kNoImageName = "Could Not Locate Image Name In PARAMS.INI File";
const std::string kNotFound = "Could Not Find File:\n";

// Counts connections; the checks must never open one.
class CountingFtpClient final : public IFtpClient {
public:
    std::unique_ptr<IFtpConnection> Connect(const FtpServer&, std::stop_token) override {
        ++connects;
        return nullptr;
    }
    int connects = 0;
};

TEST(FirmwareChecks, EachFailedCheckStopsWithItsMessageAndSendsNothing) {
    TempDir dir;
    const std::string fw = dir.File("fw");
    struct Case {
        std::string name;
        std::string params;  // text of params.ini; "<dir>" makes it a directory, "" leaves it out
        bool image = true;   // fw.bin present
        std::string typed;
        std::vector<FirmwareTarget> targets;
        std::string message;
    };
    const std::vector<FirmwareTarget> one = {{"T1", "00806412ABCD"}};
    const std::string good = "[Image]\nImageFileName=fw.bin\n";
    const Case cases[] = {
        {"empty path", good, true, "", one, "Must Provide A Firmware Location Path"},
        {"no params.ini", "", true, fw, one, kNotFound + fw + "/params.ini"},
        {"params.ini a directory", "<dir>", true, fw + "//", one, kNotFound + fw + "/params.ini"},
        {"the root", good, true, "/", one, kNotFound + "/params.ini"},
        {"no [Image]", "[Other]\nImageFileName=fw.bin\n", true, fw, one, kNoImageName},
        {"no key", "[Image]\nBuildNumber=6\n", true, fw, one, kNoImageName},
        {"empty name", "[Image]\nImageFileName=\n", true, fw, one, kNoImageName},
        {"climbs out", "[Image]\nImageFileName=../fw/fw.bin\n", true, fw, one, kNoImageName},
        {"another directory", "[Image]\nImageFileName=sub/fw.bin\n", true, fw, one, kNoImageName},
        {"no image", good, false, fw + "/", one, kNotFound + fw + "/fw.bin"},
        {"no terminal selected",
         good,
         true,
         fw,
         {},
         "Terminal(s) Must Be Selected Before Configuration Transfer Can Occur"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::filesystem::remove_all(fw);
        std::filesystem::create_directories(fw + "/sub");
        if (c.params == "<dir>") {
            std::filesystem::create_directories(fw + "/params.ini");
        } else if (!c.params.empty()) {
            WriteTextFile(fw + "/params.ini", c.params);
        }
        if (c.image) {
            WriteTextFile(fw + "/fw.bin", "image");
            WriteTextFile(fw + "/sub/fw.bin", "image");
        }
        FakeSnmpManager snmp;
        TestDocument t(DefaultSettingsWith("DnloadFWPath=/before\n"), &snmp);
        CountingFtpClient ftp;
        RecordingNotice notice;
        FirmwareRunResult run = DownloadFirmware(t.Doc(), ftp, c.typed, c.targets, notice);
        EXPECT_EQ(run.end, FirmwareRunEnd::CheckFailed);
        EXPECT_EQ(t.Messages().Texts(), std::vector<std::string>{c.message});
        EXPECT_EQ(ftp.connects, 0);
        EXPECT_TRUE(snmp.Requests().empty());
        EXPECT_TRUE(notice.Events().empty());
        EXPECT_EQ(t.Doc().GetINIValueStr("Misc", "DnloadFWPath", IfMissing::Silent), "/before");
    }
}

// A server that cannot be reached ends the run with the FTP text: no terminal
// is asked, no completion is shown, the directory is not saved.
TEST(FirmwareChecks, AFailedCopyAsksNoTerminal) {
    TempDir dir;
    WriteTextFile(dir.File("params.ini"), "[Image]\nImageFileName=fw.bin\n");
    WriteTextFile(dir.File("fw.bin"), "image");
    FakeSnmpManager snmp;
    TestDocument t(DefaultSettingsWith("FTPServerPort=" + std::to_string(FreeTcpPort()) +
                                       "\nDnloadFWPath=/before\n"),
                   &snmp);
    t.Doc().WriteINIValueStr("Misc", "FTPServerName", "127.0.0.1");
    CurlFtpClient ftp;
    RecordingNotice notice;
    FirmwareRunResult run =
        DownloadFirmware(t.Doc(), ftp, dir.Path(), {{"T1", "00806412ABCD"}}, notice);
    EXPECT_EQ(run.end, FirmwareRunEnd::CopyFailed);
    EXPECT_EQ(t.Messages().Texts(),
              std::vector<std::string>{"The attempt to connect to the server failed."});
    EXPECT_TRUE(snmp.Requests().empty());
    EXPECT_EQ(notice.Events(), std::vector<std::string>{"-"});
    EXPECT_EQ(t.Doc().GetINIValueStr("Misc", "DnloadFWPath", IfMissing::Silent), "/before");
}

}  // namespace
