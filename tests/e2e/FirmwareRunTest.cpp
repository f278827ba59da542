// The firmware run of the console's core and of the command line against the
// simulated fleet and pyftpdlib: what reaches the server, which terminals are
// asked, and what they report.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <set>

#include "CliTestSupport.h"
#include "MissingPeer.h"
#include "PyFtpServer.h"
#include "RecordingNotice.h"
#include "SimFleetProcess.h"
#include "TestDocument.h"
#include "TrapReceiver.h"
#include "core/common/Sentinel.h"
#include "core/firmware/FirmwareDownload.h"
#include "core/staging/FtpClient.h"
#include "core/terminals/TerminalDatabase.h"

namespace {

namespace fs = std::filesystem;

const std::string kCurrent = ".1.3.6.1.4.1.32473.10";
const std::string kOlder = ".1.3.6.1.4.1.32473.22";
const std::string kFw1 = "127.0.74.2";
const std::string kFw2 = "127.0.74.3";
const std::string kRefuser = "127.0.74.4";
const std::string kOldFallback = "127.0.74.5";
const std::string kOldLocked = "127.0.74.6";
const std::string kMute = "127.0.74.7";

const std::string kFleet = "[FW-1]\nAddress=" + kFw1 + "\n[FW-2]\nAddress=" + kFw2 +
                           "\n[REFUSER]\nAddress=" + kRefuser +
                           "\nRefuseSetsOf=EntOidTrapServer5,EntOidTrapServer4\n"
                           "[OLD-FALLBACK]\nAddress=" +
                           kOldFallback +
                           "\nModel=older\nRefuseSetsOf=EntOidTrapServer5\n"
                           "[OLD-LOCKED]\nAddress=" +
                           kOldLocked +
                           "\nModel=older\nRefuseSetsOf=EntOidTrapServer5,EntOidTrapServer4\n"
                           "[MUTE]\nAddress=" +
                           kMute + "\nNoOutcomeTrap=yes\n";

const std::string kSending = "Sending Firmware To FTP Server, File: ";
const std::string kRequests = "Sending Download Configuration Request to Terminal(s) / Please Wait";
const std::string kSkipping = "\n- Skipping to Next Terminal -";
// An image with bytes an ASCII transfer would change.
const std::string kImage("\x7f\x00\r\n\xff\x1a", 6);

std::string Completion(const std::string& directory) {
    return "Download Firmware Request(s) Complete Using Files From:\n\n" + directory +
           "\n\nCheck Trap Monitor for any Download Failures";
}

void Replace(std::string& text, const std::string& from, const std::string& to) {
    text.replace(text.find(from), from.size(), to);
}

// Every file under `root`, by its path relative to it, with its contents.
std::map<std::string, std::string> FilesUnder(const std::string& root) {
    std::map<std::string, std::string> files;
    for (const auto& entry : fs::recursive_directory_iterator(root)) {
        if (entry.is_regular_file()) {
            files[fs::relative(entry.path(), root).string()] = ReadTextFile(entry.path().string());
        }
    }
    return files;
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

class FirmwareRun : public ::testing::Test {
protected:
    void SetUp() override {
        if (FindProgram("snmpget").empty()) {
            SKIP_FOR_MISSING_PEER("net-snmp's command-line tools are not installed");
        }
        if (!ftp.Ready()) {
            SKIP_FOR_MISSING_PEER("pyftpdlib did not start: " + ftp.Log());
        }
    }
    void TearDown() override {
        if (document) {
            Doc().State().Terminals().Clear();
        }
    }

    // The fleet sends its traps to `trapPort`; the settings name it too, for
    // the command line's --wait.
    void Start(unsigned trapPort, const std::string& extraMisc = "") {
        fleet = std::make_unique<SimFleetProcess>(SimFleetProcess::Options{
            kFleet,
            {"--trap-port", std::to_string(trapPort), "--ftp-port", std::to_string(ftp.Port())},
            false,
            {}});
        ASSERT_TRUE(fleet->Ready()) << fleet->Log();
        std::string settings = ReadTextFile(ShippedSettingsPath());
        Replace(settings, "[Misc]\n",
                "[Misc]\nSnmpPort=" + std::to_string(fleet->SnmpPort()) + "\nTrapPort=" +
                    std::to_string(trapPort) + "\nFTPServerPort=" + std::to_string(ftp.Port()) +
                    "\nLocalHostIP=127.0.0.1\n" + extraMisc);
        Replace(settings, "\nFTPServerName=\n", "\nFTPServerName=127.0.0.1\n");
        document = std::make_unique<TestDocument>(settings);
    }
    CTarnDoc& Doc() { return document->Doc(); }
    std::vector<std::string> Messages() { return document->Messages().Texts(); }

    // A firmware directory: params.ini naming fw.bin with `build`, the image,
    // and bootstrap.exe when asked for.
    std::string MakeFirmware(const std::string& name, const std::string& build, bool bootstrap) {
        std::string directory = dir.File(name);
        fs::create_directories(directory);
        WriteTextFile(directory + "/params.ini",
                      "[Image]\nImageFileName=fw.bin\nBuildNumber=" + build + "\n");
        WriteTextFile(directory + "/fw.bin", kImage);
        if (bootstrap) {
            WriteTextFile(directory + "/bootstrap.exe", "bootstrap " + build);
        }
        return directory;
    }
    std::vector<FirmwareTarget> Targets(const std::vector<std::string>& addresses) {
        std::vector<FirmwareTarget> targets;
        for (const auto& ip : addresses) {
            EXPECT_TRUE(Doc().RegisterTerminal(ip)) << ip;
            auto entry = Doc().State().Terminals().FindByIP(ip);
            targets.push_back({entry->record.m_name, entry->record.m_macAdr});
        }
        return targets;
    }
    FirmwareRunResult Run(const std::string& typed, const std::vector<FirmwareTarget>& targets) {
        document->Messages().Clear();
        notice.Clear();
        return DownloadFirmware(Doc(), client, typed, targets, notice);
    }

    TempDir dir;
    PyFtpServer ftp;
    TrapReceiver traps;
    CountingFtpClient client;
    RecordingNotice notice;
    std::unique_ptr<SimFleetProcess> fleet;
    std::unique_ptr<TestDocument> document;
};

// The server's old bootstrap.exe goes in any case; the directory's files
// arrive whole, each named on the notice, all over one connection; the terminal
// fetches the image; the directory is saved without its trailing "/".
TEST_F(FirmwareRun, TheServerHoldsExactlyTheDirectorysFiles) {
    Start(traps.Port());
    auto targets = Targets({kFw1});
    for (bool bootstrap : {true, false}) {
        SCOPED_TRACE(bootstrap);
        const std::string build = bootstrap ? "6.0.0001" : "6.0.0002";
        std::string firmware = MakeFirmware(build, build, bootstrap);
        fs::remove_all(ftp.Root());
        fs::create_directories(ftp.Root());
        WriteTextFile(ftp.Root() + "/bootstrap.exe", "stale bootstrap");
        client.connects = 0;

        FirmwareRunResult run = Run(firmware + "/", targets);
        EXPECT_EQ(run.end, FirmwareRunEnd::Completed);
        EXPECT_EQ(Messages(), std::vector<std::string>{Completion(firmware)});
        std::map<std::string, std::string> expected = {
            {"params.ini", ReadTextFile(firmware + "/params.ini")}, {"fw.bin", kImage}};
        std::vector<std::string> steps;
        if (bootstrap) {
            expected["bootstrap.exe"] = "bootstrap " + build;
            steps.push_back(kSending + "bootstrap.exe / Please Wait");
        }
        EXPECT_EQ(FilesUnder(ftp.Root()), expected);
        steps.insert(steps.end(), {kSending + "params.ini / Please Wait",
                                   kSending + "fw.bin / Please Wait", "-", kRequests, "-"});
        EXPECT_EQ(notice.Events(), steps);
        EXPECT_EQ(client.connects, 1);
        EXPECT_EQ(Doc().GetINIValueStr("Misc", "DnloadFWPath", IfMissing::Silent), firmware);
        auto done = traps.WaitFor([](const ReceivedTrap& t) {
            return t.agent == kFw1 && t.generic == 6 && t.specific == 5;
        });
        EXPECT_TRUE(done) << fleet->Log();
        EXPECT_EQ(SnmpGetText(fleet->At(kFw1), kCurrent + ".1.2.0"), build);
    }
}

// A terminal that refuses its trap destination is reported and skipped; the
// others still get their requests. The older model refusing its first
// destination takes its own layout's second one, and OID names resolve in
// "OID" again afterwards. In parallel the messages are those of one by one.
TEST_F(FirmwareRun, ARefusedTrapDestinationSkipsOnlyThatTerminal) {
    Start(traps.Port());
    auto targets = Targets({kRefuser, kOldFallback, kOldLocked, kFw2});
    std::string firmware = MakeFirmware("fw", "6.1.0001", false);
    for (const std::string width : {"1", "3"}) {
        SCOPED_TRACE(width);
        Doc().WriteINIValueStr("Misc", "TransferParallel", width);
        FirmwareRunResult run = Run(firmware, targets);
        EXPECT_EQ(document->State().OidSection().Get(), "OID");
        EXPECT_EQ(run.end, FirmwareRunEnd::Completed);
        std::vector<std::string> messages = Messages();
        ASSERT_EQ(messages.size(), 3u);
        for (std::size_t i : {0u, 1u}) {
            const std::string head = (i == 0 ? "REFUSER" : "OLD-LOCKED") +
                                     std::string("- Set Trap Server Error -\nSet - ");
            EXPECT_EQ(messages[i].rfind(head, 0), 0u) << messages[i];
            EXPECT_EQ(messages[i].substr(messages[i].size() - kSkipping.size()), kSkipping);
        }
        EXPECT_EQ(messages[2], Completion(firmware));
        std::vector<bool> requested;
        for (const auto& outcome : run.outcomes) {
            requested.push_back(outcome.Requested());
        }
        EXPECT_EQ(requested, (std::vector<bool>{false, true, false, true}));
        std::set<std::string> done;
        traps.WaitFor([&](const ReceivedTrap& t) {
            if (t.generic == 6 && t.specific == 5) {
                done.insert(t.agent);
            }
            return done.size() == 2;
        });
        EXPECT_EQ(done, (std::set<std::string>{kOldFallback, kFw2})) << fleet->Log();
        EXPECT_EQ(SnmpGetText(fleet->At(kOldFallback), kOlder + ".9.4.0"), "127.0.0.1");
    }
}

// --wait prints each terminal's outcome and exits 0 only when all were done.
TEST_F(FirmwareRun, TheCommandLineReportsEachTerminal) {
    unsigned trapPort = FreeUdpPort("127.0.0.1");
    Start(trapPort,
          "DiscoverIPSubNet=127.0.74\nDiscoverMethod=SNMP\nDiscoverRangeLow=2\n"
          "DiscoverRangeHigh=7\n");
    std::string firmware = MakeFirmware("fw", "6.2.0001", true);
    auto cli = [&](std::vector<std::string> args) {
        args.insert(args.begin(), {"--settings", document->SettingsPath(), "firmware", firmware});
        return RunCliCaptured(args);
    };
    CliRun both = cli({kFw1, kFw2, "--wait", "30"});
    EXPECT_EQ(both.code, 0) << both.err;
    EXPECT_EQ(both.out, kFw1 + " ok\n" + kFw2 + " ok\n");

    CliRun all = cli({"--all", "--wait", "4"});
    EXPECT_EQ(all.code, 1) << all.err;
    std::vector<std::string> lines = SplitLines(all.out);
    for (auto& line : lines) {
        line = line.substr(0, line.find(": Set - "));
    }
    EXPECT_EQ(lines, (std::vector<std::string>{kFw1 + " ok", kFw2 + " ok",
                                               kRefuser + " not requested", kOldFallback + " ok",
                                               kOldLocked + " not requested", kMute + " no trap"}));
}

TEST(FirmwareCommandLine, MalformedArgumentsAreUsageErrors) {
    for (const std::vector<std::string>& args :
         std::vector<std::vector<std::string>>{{"firmware"},
                                               {"firmware", "/fw"},
                                               {"firmware", "/fw", "--all", "127.0.0.2"},
                                               {"firmware", "/fw", "127.0.0.2", "--wait", "0"},
                                               {"firmware", "/fw", "127.0.0.2", "--wait", "5s"},
                                               {"firmware", "/fw", "127.0.0"}}) {
        CliRun run = RunCliCaptured(args);
        EXPECT_EQ(run.code, 2) << args.size() << ": " << run.err;
        EXPECT_EQ(run.out, "");
    }
}

}  // namespace
