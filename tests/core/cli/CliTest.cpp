#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>

#include "CliTestSupport.h"
#include "MissingPeer.h"
#include "NetworkTestSupport.h"
#include "PyFtpServer.h"
#include "SnmpdAgent.h"
#include "TestFiles.h"
#include "core/setup/PasswordScrambling.h"

namespace {

const char* const kSettings =
    "[Misc]\n"
    "GetCommunity=public\n"
    "SetCommunity=private\n"
    "DiscoverIPSubNet=10.1.2\n"
    "DiscoverMethod=SNMP\n"
    "DiscoverRangeLow=1\n"
    "DiscoverRangeHigh=254\n"
    "FTPServerName=127.0.0.1\n"
    "FTPServerPath=/\n"
    "FTPLogin=\n"
    "FTPPassword=00045796a397\n"
    "RegFileName=terminal.reg\n";

bool Contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

TEST(CliOptions, HelpAndVersion) {
    CliRun help = RunCliCaptured({"--help"});
    EXPECT_EQ(help.code, 0);
    EXPECT_TRUE(Contains(help.out, "get IP OIDNAME [INDEX]"));
    EXPECT_EQ(RunCliCaptured({"--version"}).out, "fleetwarden-cli 1.0.2.1\n");
}

// Arguments are refused, not guessed: each refusal says why, before anything
// is asked of a terminal or written to the settings file, and a password given
// on the command line is never repeated.
TEST(CliOptions, RefusedArgumentsSayWhyAndTouchNothing) {
    TempDir dir;
    const std::string f = dir.File("cli.ini");
    const std::string settings = std::string(kSettings) +
                                 "SnmpPort=" + std::to_string(FreeUdpPort()) +
                                 "\n[OID]\nOidSysName=.1.3.6.1.2.1.1.5.0\n"
                                 "[AvailableExclusions]\nKiosk=multi_sz:\"K\",\"*\"\n";
    WriteTextFile(f, settings);
    const std::string problem = "fleetwarden-cli: ", usage = "usage";
    // The words of each command line (an empty one between two spaces), after
    // "--settings FILE" unless the line starts with "-".
    const std::pair<std::string, std::string> cases[] = {
        {"- frobnicate", problem},
        {"- --bogus", problem},
        {"-", "Usage"},
        {"- --settings  get 127.0.0.1 OidSysName", problem},
        {"- --settings= get 127.0.0.1 OidSysName", problem},
        {"get  OidSysName", problem},
        {"get localhost OidSysName", problem},
        {"get 127.0.0.1 ", problem},
        {"get 127.0.0.1 OidSysName abc", problem},
        {"get 127.0.0.1 OidSysName -1", problem},
        {"set  OidSysName x", problem},
        {"set 127.0.0.1.5 OidSysName x", problem},
        {"register 127.0.0.1 ", problem},
        {"list ", problem},
        {"list --csv 10.1.2", problem},
        {"discover --parallel none", usage},
        {"traps --count", usage},
        {"traps --seconds x", usage},
        {"traps --loud", usage},
        {"exclusions extra", usage},
        {"stage get only-one", usage},
        {"stage move a b", usage},
        {"setup", usage},
        {"setup GetCommunity", "expected KEY=VALUE"},
        {"setup Colour=blue", "unknown key Colour"},
        {"setup DiscoverMethod=RANGE", "SNMP or BCAST"},
        {"setup GetCommunity=x FTPPassword=hunter2", "never given"},
        {"setup GetCommunity=x DiscoverRangeLow=0", "Please enter an integer between 1 and 254.\n"},
        {"setup DiscoverIPSubNet=10.1.2;;10.1.3",
         "Syntax Error in Discover IP Sub Net Entry, Check Entry\n"},
        {"download-config", "needs the configuration's directory"},
        {"download-config /cfg", "either --all or"},
        {"download-config /cfg --all 10.0.0.1", "either --all or"},
        {"download-config /cfg 10.0.0", "not an IPv4 address"},
        {"download-config /cfg 10.0.0.1 --wait soon", "--wait takes"},
        {"download-config /cfg 10.0.0.1 --exclude", "incomplete option --exclude"},
        {"download-config /cfg 10.0.0.1 --force", "unknown or incomplete option"},
        {"download-config /cfg 10.0.0.1 --exclude Kiosk --exclude kiosk",
         "no exclusion named \"kiosk\""},
        {"firmware", usage},
        {"firmware /fw", usage},
        {"firmware /fw --all 127.0.0.2", usage},
        {"firmware /fw 127.0.0.2 --wait 0", usage},
        {"firmware /fw 127.0.0.2 --wait 5s", usage},
        {"firmware /fw 127.0.0", usage},
        {"upload 127.0.0.2", usage},
        {"upload 127.0.0 /cfg", usage},
        {"upload 127.0.0.2 /cfg --timeout 0", usage},
        {"submit 127.0.0.2 --direction down --type ascii --source a --dest b", usage},
        {"submit 127.0.0.2 --direction sideways --type ascii --source a --dest b --server s",
         usage},
        {"submit 127.0.0.2 --direction up --type ascii --source a --dest b --server s "
         "--trap-id 12345678901",
         "at most 10"},
        {"set-info 127.0.0.2 --among", usage},
        {"set-info 127.0.0.2 --name a --name b", usage},
        {"set-info 127.0.0.2 --field1 " + std::string(256, 'x'), usage},
        {"get-info kiosk", usage}};
    for (const auto& [line, said] : cases) {
        std::vector<std::string> args = Words(line);
        if (args[0] == "-") {
            args.erase(args.begin());
        } else {
            args.insert(args.begin(), {"--settings", f});
        }
        CliRun run = RunCliCaptured(args);
        // A usage error exits 2; a check of Setup's, said in a line of its own, 1.
        EXPECT_EQ(run.code, said.ends_with("\n") ? 1 : 2) << line << ": " << run.err;
        EXPECT_TRUE(Contains(run.err, said)) << line << ": " << run.err;
        EXPECT_EQ(run.out, "") << line;
        EXPECT_FALSE(Contains(run.err, "hunter2")) << line;
        EXPECT_EQ(ReadTextFile(f), settings) << line;
    }
}

TEST(CliHint, ATimedOutRequestAddsOneLineNamingWhereItAsked) {
    TempDir dir;
    std::string settings = dir.File("cli.ini");
    std::string port = std::to_string(FreeUdpPort("127.0.0.1"));
    const std::pair<std::string, std::string> cases[] = {
        {"GetCommunity=public\n", "the default \"public\""},
        {"GetCommunity=s3cret\n", "not the default \"public\""},
        {"", "missing from the settings file"}};
    for (const auto& [community, kind] : cases) {
        WriteTextFile(settings, "[Misc]\n" + community + "SetCommunity=private\nSnmpPort=" + port +
                                    "\n[OID]\nOidSysName=.1.3.6.1.2.1.1.5.0\n");
        CliRun run = RunCliCaptured({"--settings", settings, "list", "127.0.0.1"});
        EXPECT_EQ(run.code, 1);
        EXPECT_EQ(run.out, "");
        auto lines = SplitLines(run.err);
        EXPECT_EQ(std::count_if(lines.begin(), lines.end(),
                                [](const std::string& line) {
                                    return line.find("hint") != std::string::npos;
                                }),
                  1)
            << run.err;
        EXPECT_EQ(lines.back(), "fleetwarden-cli: hint: no answer from 127.0.0.1 port " + port +
                                    "; community: \"Misc\"/GetCommunity (" + kind +
                                    "); settings file: " + settings);
    }
}

// The exit code comes from the request's outcome, not from its text.
TEST(CliAgent, GetAndSetPrintTheTextAndExitByTheOutcome) {
    SnmpdAgent agent;
    if (!agent.Ready()) {
        SKIP_FOR_MISSING_PEER("snmpd did not start");
    }
    TempDir dir;
    const std::string settings = dir.File("cli.ini");
    WriteTextFile(settings, "[Misc]\nGetCommunity=public\nSetCommunity=private\nSnmpPort=" +
                                std::to_string(agent.Port()) +
                                "\n[OID]\nOidSysLocation=.1.3.6.1.2.1.1.6.0\n"
                                "OidWritable=.1.3.6.1.4.1.32473.99.20.0\n"
                                "OidUnknown=.1.3.6.1.2.1.1.99.0\n");
    const std::string unknown =
        "Get - The requested operation identified an unknown variable - AgentErrorStatusError\n";
    struct Case {
        std::vector<std::string> args;
        int code;
        std::string out;
        std::string err;
    };
    const Case cases[] = {
        {{"get", "OidSysLocation"}, 0, "Test Rack 7\n", ""},
        {{"get", "OidUnknown"}, 1, unknown, ""},
        // A name missing from the settings: the message on standard error.
        {{"get", "OidNowhere"},
         1,
         "Could not properly convert OID to object - GetSnmpMgrStrToOidError\n",
         "GetOidFromStr:OID:OidNowhere:Not Found\n"},
        {{"set", "OidWritable", "Error log at desk 3"}, 0, "NoneNoneNone\n", ""},
        {{"get", "OidWritable"}, 0, "Error log at desk 3\n", ""},
    };
    for (const auto& c : cases) {
        std::vector<std::string> args = {"--settings", settings, c.args[0], agent.Address()};
        args.insert(args.end(), c.args.begin() + 1, c.args.end());
        CliRun run = RunCliCaptured(args);
        EXPECT_EQ(run.code, c.code) << c.args[1];
        EXPECT_EQ(run.out, c.out) << c.args[1];
        EXPECT_EQ(run.err, c.err) << c.args[1];
    }
    // The agent refuses to change what its configuration sets.
    EXPECT_EQ(
        RunCliCaptured({"--settings", settings, "set", agent.Address(), "OidSysLocation", "x"})
            .code,
        1);
}

class CliSetup : public ::testing::Test {
protected:
    void SetUp() override { WriteTextFile(settings, kSettings); }
    CliRun Run(std::vector<std::string> args, const std::string& input = {}) {
        args.insert(args.begin(), {"--settings", settings});
        return RunCliCaptured(args, input);
    }
    std::string StoredPassword() {
        std::string text = ReadTextFile(settings);
        auto at = text.find("FTPPassword=") + 12;
        return text.substr(at, text.find('\n', at) - at);
    }
    TempDir dir;
    std::string settings = dir.File("cli.ini");
};

TEST_F(CliSetup, ShowNeverPrintsThePasswordAndWritesTakeItFromStandardInput) {
    CliRun run = Run({"setup", "--show"});
    EXPECT_EQ(run.code, 0) << run.err;
    EXPECT_EQ(run.out,
              "GetCommunity=public\nSetCommunity=private\nDiscoverIPSubNet=10.1.2\n"
              "DiscoverMethod=SNMP\nFTPServerName=127.0.0.1\nFTPServerPath=/\nFTPLogin=\n"
              "FTPPassword=(stored)\nDiscoverRangeLow=1\nDiscoverRangeHigh=254\n");

    run = Run({"setup", "getcommunity=north", "DiscoverMethod=bcast", "FTPServerPath=cfg",
               "FTPPassword=-"},
              "typed secret\n");
    EXPECT_EQ(run.code, 0) << run.err;
    EXPECT_EQ(run.out + run.err, "");
    EXPECT_FALSE(Contains(ReadTextFile(settings), "typed secret"));
    EXPECT_EQ(UnscrambleStoredForm(StoredPassword()), "typed secret");
    EXPECT_TRUE(Contains(Run({"setup", "--show"}).out,
                         "GetCommunity=north\nSetCommunity=private\nDiscoverIPSubNet=10.1.2\n"
                         "DiscoverMethod=BCAST\nFTPServerName=127.0.0.1\nFTPServerPath=/cfg\n"));
    // A password nobody retyped stays exactly as stored.
    std::string before = StoredPassword();
    EXPECT_EQ(Run({"setup", "FTPLogin=stager"}).code, 0);
    EXPECT_EQ(StoredPassword(), before);
}

TEST_F(CliSetup, StageMovesFilesByteForByteOrPrintsTheText) {
    PyFtpServer server;
    if (!server.Ready()) {
        SKIP_FOR_MISSING_PEER("pyftpdlib is not available");
    }
    std::filesystem::create_directories(server.Root() + "/cfg");
    ASSERT_EQ(Run({"setup", "FTPServerPath=cfg", "FTPPassword="}).code, 0);
    WriteTextFile(settings,
                  ReadTextFile(settings) + "FTPServerPort=" + std::to_string(server.Port()) + "\n");
    std::string bytes;
    for (int i = 0; i < 4096; ++i) {
        bytes += static_cast<char>(i * 7 % 256);
    }
    WriteTextFile(dir.File("image.bin"), bytes);
    EXPECT_EQ(Run({"stage", "put", dir.File("image.bin")}).code, 0);
    EXPECT_EQ(Run({"stage", "put", dir.File("image.bin"), "copy.bin"}).code, 0);
    EXPECT_EQ(ReadTextFile(server.Root() + "/cfg/image.bin"), bytes);
    CliRun get = Run({"stage", "get", "copy.bin", dir.File("back.bin")});
    EXPECT_EQ(get.code, 0) << get.err;
    EXPECT_EQ(ReadTextFile(dir.File("back.bin")), bytes);
    EXPECT_EQ(Run({"stage", "delete", "copy.bin"}).code, 0);
    EXPECT_FALSE(std::filesystem::exists(server.Root() + "/cfg/copy.bin"));
    EXPECT_EQ(Run({"stage", "delete", "copy.bin"}).code, 0);
    CliRun missing = Run({"stage", "put", dir.File("absent.bin")});
    EXPECT_EQ(missing.code, 1);
    EXPECT_EQ(missing.err, "InternetFtpPutFileError = 2\n");
}

// Name resolution that cannot leave the machine: the test runs again in a
// network namespace of its own, where no name server is reachable.
TEST(CliStageOffline, AnUnknownHostCannotBeResolved) {
    if (std::getenv("FLEETWARDEN_OFFLINE_RERUN") == nullptr) {
        std::string unshare = FindProgram("unshare");
        if (unshare.empty() || RunCommand({unshare, "-n", "true"}).exitCode != 0) {
            SKIP_FOR_MISSING_PEER("cannot make a network namespace here");
        }
        CommandResult inside =
            RunCommand({"/usr/bin/env", "FLEETWARDEN_OFFLINE_RERUN=1", unshare, "-n",
                        std::filesystem::read_symlink("/proc/self/exe").string(),
                        "--gtest_filter=CliStageOffline.AnUnknownHostCannotBeResolved"});
        EXPECT_EQ(inside.exitCode, 0) << inside.output;
        return;
    }
    TempDir dir;
    WriteTextFile(dir.File("cli.ini"),
                  "[Misc]\nGetCommunity=\nSetCommunity=\nFTPServerName=no-such-stage.invalid\n"
                  "FTPServerPath=/\nRegFileName=r\nFTPLogin=\nFTPPassword=\n");
    WriteTextFile(dir.File("f"), "x");
    CliRun run = RunCliCaptured({"--settings", dir.File("cli.ini"), "stage", "put", dir.File("f")});
    EXPECT_EQ(run.code, 1);
    EXPECT_EQ(run.err, "The server name could not be resolved.\n");
}

// The shipped template's exclusions first, then the settings file's; a
// settings section too large is no ground for a download either.
TEST(CliExclusions, TheTemplatesThenTheSettingsFilesAndAnOversizedSectionRefused) {
    TempDir dir;
    const std::string ini = dir.File("site.ini"), tpl = dir.File("site.tpl");
    const std::string misc = "[Misc]\nGetCommunity=public\nSetCommunity=private\n";
    WriteTextFile(tpl, ReadTextFile(FLEETWARDEN_SOURCE_DIR "/resources/fleetwarden.tpl"));
    WriteTextFile(ini, misc + "[AvailableExclusions]\nSite=multi_sz:\"K\",\"V\"\n");
    const std::string shipped = "Display\nNetwork Addressing\nPasswords\nSession Server\n";
    CliRun run = RunCliCaptured({"--settings", ini, "exclusions"});
    EXPECT_EQ(run.code, 0);
    EXPECT_EQ(run.out + run.err, shipped + "Site\n");

    WriteTextFile(ini, misc + "[AvailableExclusions]\nBig=" + std::string(10000, 'x') + "\n");
    run = RunCliCaptured({"--settings", ini, "exclusions"});
    EXPECT_EQ(run.code, 1);
    EXPECT_EQ(run.out, shipped);
    EXPECT_EQ(run.err, "Out Of Buffer Memory (Internal)\n");
    run = RunCliCaptured({"--settings", ini, "download-config", "/cfg", "10.0.0.1"});
    EXPECT_EQ(run.code, 1);
    EXPECT_EQ(run.err, "Out Of Buffer Memory (Internal)\n");
}

TEST(CliTraps, EndsAfterTheSecondsAndOnAPortItCannotHave) {
    TempDir dir;
    unsigned trapPort = FreeUdpPort();
    std::string settings = dir.File("cli.ini");
    WriteTextFile(settings, "[Misc]\nTrapPort=" + std::to_string(trapPort) + "\n");
    CliRun quiet = RunCliCaptured({"--settings", settings, "traps", "--seconds", "1"});
    EXPECT_EQ(quiet.code, 0);
    EXPECT_EQ(quiet.out, "Listening For Traps...\n");

    int holder = ::socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<std::uint16_t>(trapPort));
    ASSERT_EQ(::bind(holder, reinterpret_cast<sockaddr*>(&address), sizeof(address)), 0);
    CliRun taken = RunCliCaptured({"--settings", settings, "traps"});
    ::close(holder);
    EXPECT_EQ(taken.code, 1);
    auto lines = SplitLines(taken.out);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0], "SnmpMgrListen Function Unknown Error");
}

}  // namespace
