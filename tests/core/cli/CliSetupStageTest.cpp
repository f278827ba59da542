#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "CliTestSupport.h"
#include "NetworkTestSupport.h"
#include "PyFtpServer.h"
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

class CliSetup : public ::testing::Test {
protected:
    void SetUp() override { WriteTextFile(settings, kSettings); }
    CliRun Setup(std::vector<std::string> args, const std::string& input = {}) {
        args.insert(args.begin(), {"--settings", settings, "setup"});
        return RunCliCaptured(args, input);
    }
    std::string Stored(const std::string& key) {
        CliRun run = Setup({"--show"});
        for (const auto& line : SplitLines(run.out)) {
            if (line.rfind(key + "=", 0) == 0) {
                return line.substr(key.size() + 1);
            }
        }
        return "?";
    }
    TempDir dir;
    std::string settings = dir.File("cli.ini");
};

TEST_F(CliSetup, ShowPrintsTheFieldsButNeverThePassword) {
    CliRun run = Setup({"--show"});
    EXPECT_EQ(run.code, 0) << run.err;
    EXPECT_EQ(run.out,
              "GetCommunity=public\nSetCommunity=private\nDiscoverIPSubNet=10.1.2\n"
              "DiscoverMethod=SNMP\nFTPServerName=127.0.0.1\nFTPServerPath=/\nFTPLogin=\n"
              "FTPPassword=(stored)\nDiscoverRangeLow=1\nDiscoverRangeHigh=254\n");
    EXPECT_EQ(run.out.find("00045796a397"), std::string::npos);
}

TEST_F(CliSetup, WritesTheKeysGivenWithThePasswordFromStandardInput) {
    CliRun run =
        Setup({"getcommunity=north", "DiscoverMethod=bcast", "FTPServerPath=cfg", "FTPPassword=-"},
              "typed secret\n");
    EXPECT_EQ(run.code, 0) << run.err;
    EXPECT_EQ(run.out + run.err, "");
    std::string text = ReadTextFile(settings);
    EXPECT_EQ(text.find("typed secret"), std::string::npos);
    EXPECT_EQ(Stored("GetCommunity"), "north");
    EXPECT_EQ(Stored("DiscoverMethod"), "BCAST");
    EXPECT_EQ(Stored("FTPServerPath"), "/cfg");
    auto at = text.find("FTPPassword=") + 12;
    EXPECT_EQ(UnscrambleStoredForm(text.substr(at, text.find('\n', at) - at)), "typed secret");

    // A password nobody retyped stays exactly as stored.
    std::string before = text.substr(at, text.find('\n', at) - at);
    EXPECT_EQ(Setup({"FTPLogin=stager"}).code, 0);
    EXPECT_NE(ReadTextFile(settings).find("FTPPassword=" + before + "\n"), std::string::npos);
}

TEST_F(CliSetup, RefusalsWriteNothing) {
    const struct {
        std::vector<std::string> args;
        int code;
        std::string err;
    } cases[] = {
        {{"GetCommunity=x", "DiscoverRangeLow=0"},
         1,
         "Please enter an integer between 1 and 254.\n"},
        {{"DiscoverIPSubNet=10.1.2; 10.1.3"},
         1,
         "Syntax Error in Discover IP Sub Net Entry, Check Entry\n"},
        {{"GetCommunity=x", "FTPPassword=hunter2"}, 2, "never given"},
        {{"DiscoverMethod=RANGE"}, 2, "SNMP or BCAST"},
        {{"Colour=blue"}, 2, "unknown key Colour"},
        {{"GetCommunity"}, 2, "expected KEY=VALUE"},
        {{}, 2, "usage"},
    };
    for (const auto& c : cases) {
        CliRun run = Setup(c.args);
        EXPECT_EQ(run.code, c.code) << run.err;
        EXPECT_NE(run.err.find(c.err), std::string::npos) << run.err;
        EXPECT_EQ((run.out + run.err).find("hunter2"), std::string::npos);
        EXPECT_EQ(ReadTextFile(settings), kSettings);
    }
}

class CliStage : public ::testing::Test {
protected:
    void SetUp() override {
        if (!server.Ready()) {
            GTEST_SKIP() << "pyftpdlib is not available";
        }
        std::filesystem::create_directories(server.Root() + "/cfg");
        WriteTextFile(settings, std::string(kSettings) +
                                    "FTPServerPort=" + std::to_string(server.Port()) + "\n");
        ASSERT_EQ(
            RunCliCaptured({"--settings", settings, "setup", "FTPServerPath=cfg", "FTPPassword="})
                .code,
            0);
    }
    CliRun Stage(std::vector<std::string> args) {
        args.insert(args.begin(), {"--settings", settings, "stage"});
        return RunCliCaptured(args);
    }
    PyFtpServer server;
    TempDir dir;
    std::string settings = dir.File("cli.ini");
};

TEST_F(CliStage, PutGetAndDeleteMoveFilesByteForByte) {
    std::string bytes;
    for (int i = 0; i < 4096; ++i) {
        bytes += static_cast<char>(i * 7 % 256);
    }
    WriteTextFile(dir.File("image.bin"), bytes);
    EXPECT_EQ(Stage({"put", dir.File("image.bin")}).code, 0);
    EXPECT_EQ(Stage({"put", dir.File("image.bin"), "copy.bin"}).code, 0);
    EXPECT_EQ(ReadTextFile(server.Root() + "/cfg/image.bin"), bytes);
    CliRun get = Stage({"get", "copy.bin", dir.File("back.bin")});
    EXPECT_EQ(get.code, 0) << get.err;
    EXPECT_EQ(ReadTextFile(dir.File("back.bin")), bytes);

    EXPECT_EQ(Stage({"delete", "copy.bin"}).code, 0);
    EXPECT_FALSE(std::filesystem::exists(server.Root() + "/cfg/copy.bin"));
    EXPECT_EQ(Stage({"delete", "copy.bin"}).code, 0);
}

TEST_F(CliStage, FailuresPrintTheTextAndExitOne) {
    CliRun missingLocal = Stage({"put", dir.File("absent.bin")});
    EXPECT_EQ(missingLocal.code, 1);
    EXPECT_EQ(missingLocal.err, "InternetFtpPutFileError = 2\n");
    EXPECT_EQ(Stage({"get", "only-one"}).code, 2);
    EXPECT_EQ(Stage({"move", "a", "b"}).code, 2);
}

// Name resolution that cannot leave the machine: the test runs again in a
// network namespace of its own, where no name server is reachable.
TEST(CliStageOffline, AnUnknownHostCannotBeResolved) {
    if (std::getenv("FLEETWARDEN_OFFLINE_RERUN") == nullptr) {
        std::string unshare = FindProgram("unshare");
        if (unshare.empty() || RunCommand({unshare, "-n", "true"}).exitCode != 0) {
            GTEST_SKIP() << "cannot make a network namespace here";
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

}  // namespace
