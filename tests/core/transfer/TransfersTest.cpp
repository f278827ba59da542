#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <filesystem>
#include <mutex>
#include <thread>

#include "FakeSnmpManager.h"
#include "FakeTerminals.h"
#include "MissingPeer.h"
#include "NetworkTestSupport.h"
#include "PyFtpServer.h"
#include "Recorders.h"
#include "TestDocument.h"
#include "TrapSender.h"
#include "core/common/ProgressNotice.h"
#include "core/download/ConfigurationDownload.h"
#include "core/download/DownloadDialogFields.h"
#include "core/firmware/FirmwareDownload.h"
#include "core/staging/FtpClient.h"
#include "core/terminals/TerminalDatabase.h"
#include "core/terminfo/TerminalInfoEditing.h"
#include "core/transfer/ConfigurationUpload.h"
#include "core/transfer/OutcomeTrapWatch.h"
#include "core/transfer/TransferFanOut.h"
#include "core/transfer/UploadDirectory.h"

namespace {

// The upload's local directory, the checks before anything is sent, and a
// terminal that answers at once; the dialog's runs against simulated
// terminals are in tests/gui/DialogsTest.cpp.
mode_t ModeOf(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 ? (st.st_mode & 07777) : 0;
}

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
        EXPECT_TRUE(notice.Events().empty());
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
    snmp.beforeAnswer = [&](const FakeSnmpManager::Request& request) {
        if (request.type == SnmpPduType::Set &&
            OidToText(request.bindings[0].name) == prefix + ".4.12.0") {
            SendTrap(trapPort, ip, 6, 5);
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

using Kind = TransferOutcomeReport::Kind;

// Real trap datagrams on the configured port: the first outcome trap of each
// terminal counts, other traps and other senders do not, and a terminal that
// never reports is told apart once the wait is over. The port is the watch's
// alone.
TEST(OutcomeTrapWatch, EachTerminalsFirstOutcomeTrapCounts) {
    unsigned port = FreeUdpPort();
    TestDocument t("[Misc]\nTrapPort=" + std::to_string(port) + "\n");
    OutcomeTrapWatch watch(t.Doc());
    std::string error;
    ASSERT_TRUE(watch.Start(error)) << error;
    ASSERT_TRUE(SendTrap(port, "127.0.0.7", 0, 0));  // a cold start is no outcome
    ASSERT_TRUE(SendTrap(port, "127.0.0.7", 6, 5));
    ASSERT_TRUE(SendTrap(port, "127.0.0.7", 6, 6, {0L}));
    ASSERT_TRUE(SendTrap(port, "127.0.0.8", 6, 6, {std::string("x"), 9L}));
    ASSERT_TRUE(SendTrap(port, "127.0.0.10", 6, 5));
    auto reports =
        watch.WaitFor({"127.0.0.7", "127.0.0.8", "127.0.0.9"}, std::chrono::milliseconds(1500));
    ASSERT_EQ(reports.size(), 3u);
    EXPECT_EQ(reports["127.0.0.7"].kind, Kind::Ok);
    EXPECT_EQ(reports["127.0.0.8"].kind, Kind::Failed);
    EXPECT_EQ(reports["127.0.0.8"].reason, "Missing Server Or Cannot Connect To Server");
    EXPECT_EQ(reports["127.0.0.9"].kind, Kind::NoTrap);
    // A second watch cannot have the port, and says which.
    OutcomeTrapWatch second(t.Doc());
    EXPECT_FALSE(second.Start(error));
    EXPECT_NE(error.find(std::to_string(port)), std::string::npos) << error;
}

// Jobs that take uneven times and show a box each: whatever the width (from
// the settings, within bounds), the boxes come in item order and every job
// runs once; above 1 they overlap.
TEST(TransferFanOut, MessagesKeepTheOrderOfTheItemsWhateverTheWidth) {
    for (auto [text, width] : std::vector<std::pair<std::string, long>>{
             {"", 1},
             {"TransferParallel=8\n", 8},
             {"TransferParallel=0\n", 1},
             {"TransferParallel=x\n", 1},
             {"TransferParallel=99999\n", kMaxTransferParallel}}) {
        TestDocument t("[Misc]\n" + text);
        ASSERT_EQ(TransferParallel(t.Doc()), width) << text;
        std::atomic<int> running{0}, most{0}, runs{0};
        RunForEachTerminal(t.Doc(), 40, width, {}, [&](CTarnDoc& jobDoc, std::size_t i) {
            int now = ++running;
            most = std::max(most.load(), now);
            std::this_thread::sleep_for(std::chrono::milliseconds((i * 7919) % 13));
            jobDoc.Messages().ShowMessage(std::to_string(i), MessageIcon::Warning);
            ++runs;
            --running;
        });
        std::vector<std::string> expected;
        for (int i = 0; i < 40; ++i) {
            expected.push_back(std::to_string(i));
        }
        EXPECT_EQ(t.Messages().Texts(), expected) << width;
        EXPECT_EQ(runs, 40);
        EXPECT_EQ(most > 1, width > 1) << most;
    }
}

// A terminal that holds its job (a silent one, waiting out its time-outs)
// holds only its own thread: the jobs far behind it in the list still run.
TEST(TransferFanOut, AHeldJobDoesNotHoldBackTheJobsFarBehindIt) {
    TestDocument t("[Misc]\n");
    constexpr std::size_t kCount = 600;
    std::mutex mutex;
    std::condition_variable lastRan;
    bool last = false;
    bool firstSawLast = false;
    RunForEachTerminal(t.Doc(), kCount, 4, {}, [&](CTarnDoc&, std::size_t i) {
        std::unique_lock lock(mutex);
        if (i == 0) {
            firstSawLast = lastRan.wait_for(lock, std::chrono::seconds(20), [&] { return last; });
        } else if (i == kCount - 1) {
            last = true;
            lastRan.notify_all();
        }
    });
    EXPECT_TRUE(firstSawLast);
}

// The download's dialog fields and the run's steps up to the terminals (the
// terminals themselves: tests/e2e/FleetTest.cpp).
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
        notice.Clear();
        DownloadRunOutcome outcome = Run(t->Dir().Path() + "/", {{0, "T"}});
        EXPECT_EQ(outcome.end, DownloadRunEnd::Failed);
        EXPECT_TRUE(outcome.requests.empty());
        Names texts = t->Messages().Texts();
        ASSERT_FALSE(texts.empty());
        if (c.input) {
            EXPECT_EQ(notice.Events(), (Names{kFilterStep, "-", kPutStep, "-"}));
            EXPECT_EQ(texts[0], "The attempt to connect to the server failed.");
        } else {
            EXPECT_EQ(notice.Events(), (Names{kFilterStep, "-"}));
            EXPECT_EQ(texts[0], "File Not Found\n" + Input());
        }
        EXPECT_EQ(texts.size(), c.misc.empty() ? 2u : 1u);
        EXPECT_EQ(std::filesystem::exists(Input() + ".fil"), c.kept);
        EXPECT_EQ(t->Doc().GetINIValueStr("Misc", "DnloadPath", IfMissing::Silent), "/before");
    }
}

// The firmware run's checks and its stop at a failed copy: each ends the run
// with its message before anything reaches the server or a terminal.
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

const std::string kSysName = ".1.3.6.1.2.1.1.5.0";
const std::string kDomain = ".1.3.6.1.4.1.32473.10.1.7.0";
using Outcome = SetTargetResult::Outcome;

// Terminals T0..T(count-1) of their own MAC addresses, whose stored names
// carry the domain "fleet.example" they report.
struct Fleet {
    FakeSnmpManager snmp;
    TestDocument t;
    Fleet(int count, long parallel)
        : t(DefaultSettingsWith("TransferParallel=" + std::to_string(parallel) + "\n"), &snmp) {
        for (int i = 0; i < count; ++i) {
            std::string ip = "127.0.0." + std::to_string(30 + i);
            AddFakeTerminal(snmp, {.ip = ip,
                                   .name = "T" + std::to_string(i) + ".fleet.example",
                                   .mac = "0080641200" + std::to_string(10 + i)});
            snmp.SetAgentValue(ip, kDomain, FakeSnmpManager::Text("fleet.example"));
            t.Doc().RegisterTerminal(ip);
        }
    }
    TerminalEntry Entry(int i) { return t.Terminals().Entries().at(static_cast<std::size_t>(i)); }
    SetTargetResult Set(int i, const TerminalInfoTexts& texts) {
        NoProgressNotice notice;
        return SetTargetInfo(t.Doc(), Entry(i), texts, BlankFields::Ignore, {}, notice);
    }
};

// One domain read per terminal, ahead in parallel or one by one, and the same
// decision either way.
TEST(TerminalInfoEditing, TheDuplicateSearchDecidesAlikeOneByOneAndInParallel) {
    const std::pair<std::string, Outcome> cases[] = {
        {"T7", Outcome::DuplicateName},  // another terminal's, without its domain
        {"T3", Outcome::Complete},       // the edited terminal's own
        {"t7", Outcome::Complete},       // another's in other letters
    };
    for (long parallel : {1L, 8L}) {
        for (const auto& [name, outcome] : cases) {
            SCOPED_TRACE(name + " with " + std::to_string(parallel));
            Fleet f(12, parallel);
            f.snmp.delay = std::chrono::milliseconds(3);
            EXPECT_EQ(f.Set(3, {.name = name}).outcome, outcome);
            EXPECT_EQ(f.snmp.MostInFlight() > 1, parallel > 1);
            bool complete = outcome == Outcome::Complete;
            auto requests = f.snmp.Requests();
            EXPECT_EQ(std::count_if(requests.begin(), requests.end(),
                                    [](const auto& r) { return r.type == SnmpPduType::Set; }),
                      complete ? 1 : 0);
            EXPECT_EQ(f.Entry(3).record.m_name, complete ? name : "T3.fleet.example");
            for (int i = 0; complete && i < 12; ++i) {
                EXPECT_EQ(f.snmp.GetCount(f.Entry(i).record.m_ip, kDomain), 1) << i;
            }
            EXPECT_TRUE(f.t.Messages().Texts().empty());
        }
    }
}

// The terminal took the name but cannot be read back: the record keeps the
// name written, not a failure text that the next refresh would drop it for.
TEST(TerminalInfoEditing, ANameThatCannotBeReadBackIsStoredAsWritten) {
    Fleet f(2, 1);
    const std::string ip = f.Entry(1).record.m_ip;
    std::atomic<bool> renamed{false};
    f.snmp.beforeAnswer = [&](const FakeSnmpManager::Request& request) {
        if (OidToText(request.bindings.at(0).name) == kSysName) {
            if (request.type == SnmpPduType::Set) {
                renamed = true;
            } else if (renamed) {
                f.snmp.silentAgents.insert(ip);
            }
        }
    };
    SetTargetResult result = f.Set(1, {.name = "NEW", .location = "Hall"});
    f.snmp.beforeAnswer = nullptr;
    EXPECT_EQ(result.outcome, Outcome::SetFailed);  // the location, on a silent terminal
    EXPECT_TRUE(result.written);
    EXPECT_EQ(f.Entry(1).record.m_name, "NEW");
    EXPECT_EQ(f.Entry(1).record.m_location, "Lab");
}

}  // namespace
