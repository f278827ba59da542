// The download's dialog fields and the run's steps up to the terminals (the
// terminals themselves: tests/e2e/ConfigurationDownloadTest.cpp).
#include <gtest/gtest.h>

#include <filesystem>

#include "NetworkTestSupport.h"
#include "TestDocument.h"
#include "core/common/ProgressNotice.h"
#include "core/download/ConfigurationDownload.h"
#include "core/download/DownloadDialogFields.h"
#include "core/staging/FtpClient.h"
#include "core/terminals/TerminalDatabase.h"

namespace {

using Names = std::vector<std::string>;
using Rows = std::vector<std::size_t>;

TEST(DownloadDialogFields, ThePreviousChoiceIsFoundFromTheSecondEntryOnExactNamesFirst) {
    struct Case {
        Names names;
        std::string saved;
        Rows expected;
    };
    const Case cases[] = {
        {{"Network", "Net"}, "Net=\n", {1}},
        // A saved "Net" re-selects "Net", not the "Network" that begins with it.
        {{"Alpha", "Network", "Net"}, "Net=\n", {2}},
        {{"Alpha", "Network"}, "net=\n", {1}},
        {{"Alpha", "Beta"}, "alpha=\n", {0}},
        {{"Alpha", "Beta"}, "Gamma=\n=\n", {}},
        {{"A", "B", "C"}, "c=\nb=\nB=\n", {2, 1}},
        {{}, "Net=\n", {}},
    };
    for (const auto& c : cases) {
        TestDocument t("[CurrentExclusions]\n" + c.saved);
        EXPECT_EQ(PreviousExclusionChoice(t.State().Profiles(), c.names, t.SettingsPath()),
                  c.expected)
            << c.saved;
    }
}

TEST(DownloadDialogFields, ListsRebootAndPathAsStoredAndStopAtAnOversizedSection) {
    TestDocument t(
        "[Misc]\nDnloadPath=/srv/configs\nCfgReboot=yes\n"
        "[AvailableExclusions]\nSite Two=multi_sz:\nSite One=multi_sz:\n"
        "[CurrentExclusions]\nsite one=\n");
    WriteTextFile(t.Dir().File("fleetwarden.tpl"),
                  "[AvailableExclusions]\n\"b\"=multi_sz:\n\"A\"=multi_sz:\n\"a\"=multi_sz:\n");
    t.Doc().State().Terminals().Append({.m_ip = "10.0.0.2", .m_name = "B-NAME"});
    t.Doc().State().Terminals().Append({.m_ip = "10.0.0.1", .m_name = "A-NAME"});
    DownloadDialogFields fields = ReadDownloadDialogFields(t.Doc());
    EXPECT_EQ(fields.terminalNames, (Names{"B-NAME", "A-NAME"}));
    EXPECT_EQ(fields.path, "/srv/configs");
    EXPECT_FALSE(fields.reboot);  // only "Yes" itself
    EXPECT_EQ(fields.exclusions.names, (Names{"A", "a", "b", "Site Two", "Site One"}));
    EXPECT_EQ(fields.exclusions.templateCount, 3u);
    EXPECT_EQ(fields.selectedExclusions, (Rows{4}));
    EXPECT_TRUE(t.Messages().Texts().empty());

    TestDocument big("[Misc]\nCfgReboot=Yes\n[CurrentExclusions]\n" + std::string(10000, 'x') +
                     "=\n");
    fields = ReadDownloadDialogFields(big.Doc());
    EXPECT_TRUE(fields.reboot);
    EXPECT_EQ(fields.path, "GetINIValueStrError");
    EXPECT_FALSE(fields.exclusions.complete);
    EXPECT_TRUE(fields.selectedExclusions.empty());
    EXPECT_EQ(big.Messages().Texts(), Names{"GetINIValueStr:Misc:DnloadPath:Not Found"});
}

// The notice's steps and closings, as one text each.
class RecordingNotice final : public IProgressNotice {
public:
    void SetMessages(const std::string& line1, const std::string& line2) override {
        events.push_back(line1 + " / " + line2);
    }
    void Close() override {
        if (events.empty() || events.back() != "closed") {
            events.push_back("closed");
        }
    }
    Names events;
};

const std::string kFilterStep = "Filtering Source Configuration File / Please Wait";
const std::string kPutStep = "FTP Configuration to FTP Server / Please Wait";

class DownloadRun : public ::testing::Test {
protected:
    void Use(const std::string& misc) {
        t = std::make_unique<TestDocument>("[Misc]\nRegFileName=terminal.reg\nFTPServerName=" +
                                           std::string("127.0.0.1\nFTPServerPort=") +
                                           std::to_string(FreeTcpPort("127.0.0.1")) +
                                           "\nFTPServerPath=/\nFTPLogin=\nFTPPassword=\n"
                                           "DnloadPath=/before\nDnFilterBufferSize=0\n" +
                                           misc);
        WriteTextFile(t->Dir().File("fleetwarden.tpl"), "[Template-Version]\n\"Version\"=1\n");
    }
    DownloadRunOutcome Run(const std::string& path, std::vector<DownloadTarget> targets) {
        CurlFtpClient ftp;
        return RunConfigurationDownload(
            t->Doc(), macByItem, {path, true, std::move(targets), {list, {}}}, ftp, {}, notice);
    }
    std::string Input() const { return t->Dir().File("terminal.reg"); }

    std::unique_ptr<TestDocument> t;
    ExclusionList list;
    MacByItemTable macByItem;
    RecordingNotice notice;
};

TEST_F(DownloadRun, NoPathOrNoTerminalIsRefusedBeforeAnythingHappens) {
    Use("");
    std::string before = ReadTextFile(t->SettingsPath());
    EXPECT_EQ(Run("", {{0, "T"}}).end, DownloadRunEnd::Refused);
    EXPECT_EQ(Run(t->Dir().Path(), {}).end, DownloadRunEnd::Refused);
    EXPECT_EQ(t->Messages().Texts(),
              (Names{"Must Provide a Path for the Configuration File",
                     "Terminal(s) Must Be Selected Before Configuration Transfer Can Occur"}));
    EXPECT_TRUE(notice.events.empty());
    EXPECT_EQ(ReadTextFile(t->SettingsPath()), before);
}

// A failed filter or put ends the run with its message under the step's
// notice; the path is not saved, and the filtered file goes unless
// DnRemoveTempFile says "no" in any letter case.
TEST_F(DownloadRun, AFailedStepEndsTheRunAndTheFilteredFileGoesUnlessKept) {
    struct Case {
        std::string misc;
        bool input;
        bool kept;
    };
    const Case cases[] = {
        {"DnRemoveTempFile=no\n", true, true},
        {"DnRemoveTempFile=YES\n", true, false},
        {"", true, false},
        {"DnRemoveTempFile=NO\n", false, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.misc + (c.input ? "with input" : "without input"));
        Use(c.misc);
        if (c.input) {
            WriteTextFile(Input(), "REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\X]\r\n\"A\"=\"1\"\r\n");
        }
        notice.events.clear();
        DownloadRunOutcome outcome = Run(t->Dir().Path() + "/", {{0, "T"}});
        EXPECT_EQ(outcome.end, DownloadRunEnd::Failed);
        EXPECT_TRUE(outcome.requests.empty());
        Names texts = t->Messages().Texts();
        ASSERT_FALSE(texts.empty());
        if (c.input) {
            EXPECT_EQ(notice.events, (Names{kFilterStep, "closed", kPutStep, "closed"}));
            EXPECT_EQ(texts[0], "The attempt to connect to the server failed.");
        } else {
            EXPECT_EQ(notice.events, (Names{kFilterStep, "closed"}));
            EXPECT_EQ(texts[0], "File Not Found\n" + Input());
        }
        EXPECT_EQ(texts.size(), c.misc.empty() ? 2u : 1u);
        EXPECT_EQ(std::filesystem::exists(Input() + ".fil"), c.kept);
        EXPECT_EQ(t->Doc().GetINIValueStr("Misc", "DnloadPath", IfMissing::Silent), "/before");
    }
}

}  // namespace
