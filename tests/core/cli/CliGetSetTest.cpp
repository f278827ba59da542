#include <gtest/gtest.h>

#include <sstream>

#include "CliTestSupport.h"
#include "MissingPeer.h"
#include "NetworkTestSupport.h"
#include "SnmpdAgent.h"
#include "TestFiles.h"

namespace {

TEST(CliOptions, HelpVersionAndMistakes) {
    CliRun help = RunCliCaptured({"--help"});
    EXPECT_EQ(help.code, 0);
    EXPECT_NE(help.out.find("get IP OIDNAME [INDEX]"), std::string::npos);
    EXPECT_EQ(RunCliCaptured({"--version"}).out, "fleetwarden-cli 1.0.2.1\n");
    EXPECT_EQ(RunCliCaptured({"frobnicate"}).code, 2);
    EXPECT_EQ(RunCliCaptured({"--bogus"}).code, 2);
    EXPECT_EQ(RunCliCaptured({}).code, 2);
}

TEST(CliOptions, EmptyOrOddArgumentsAreUsageErrorsNotGuesses) {
    TempDir dir;
    std::string settings = dir.File("cli.ini");
    WriteTextFile(settings, "[Misc]\nGetCommunity=public\nSetCommunity=private\nSnmpPort=" +
                                std::to_string(FreeUdpPort()) +
                                "\n[OID]\nOidSysName=.1.3.6.1.2.1.1.5.0\n");
    const std::string& f = settings;
    const std::vector<std::vector<std::string>> cases = {
        {"--settings", f, "get", "", "OidSysName"},
        {"--settings", f, "get", "localhost", "OidSysName"},
        {"--settings", f, "get", "127.0.0.1", ""},
        {"--settings", f, "get", "127.0.0.1", "OidSysName", "abc"},
        {"--settings", f, "get", "127.0.0.1", "OidSysName", "-1"},
        {"--settings", f, "set", "", "OidSysName", "x"},
        {"--settings", f, "set", "127.0.0.1.5", "OidSysName", "x"},
        {"--settings", f, "register", "127.0.0.1", ""},
        {"--settings", f, "list", ""},
        {"--settings", f, "list", "--csv", "10.1.2"},
        {"--settings", "", "get", "127.0.0.1", "OidSysName"},
        {"--settings=", "get", "127.0.0.1", "OidSysName"},
    };
    for (const auto& args : cases) {
        std::string shown;
        for (const auto& arg : args) {
            shown += " \"" + arg + "\"";
        }
        CliRun run = RunCliCaptured(args);
        EXPECT_EQ(run.code, 2) << shown << ": " << run.out << run.err;
        EXPECT_EQ(run.out, "") << shown;
        EXPECT_EQ(run.err.rfind("fleetwarden-cli: ", 0), 0u) << shown << ": " << run.err;
    }
}

class CliAgent : public ::testing::Test {
protected:
    void SetUp() override {
        if (!agent.Ready()) {
            SKIP_FOR_MISSING_PEER("snmpd did not start");
        }
        settings = dir.File("cli.ini");
        WriteTextFile(settings, "[Misc]\nGetCommunity=public\nSetCommunity=private\nSnmpPort=" +
                                    std::to_string(agent.Port()) +
                                    "\n[OID]\nOidSysLocation=.1.3.6.1.2.1.1.6.0\n"
                                    "OidWritable=.1.3.6.1.4.1.32473.99.20.0\n"
                                    "OidUnknown=.1.3.6.1.2.1.1.99.0\n");
    }
    SnmpdAgent agent;
    TempDir dir;
    std::string settings;
};

TEST_F(CliAgent, GetPrintsTheValueAndExitsZero) {
    CliRun run = RunCliCaptured({"--settings", settings, "get", agent.Address(), "OidSysLocation"});
    EXPECT_EQ(run.code, 0) << run.err;
    EXPECT_EQ(run.out, "Test Rack 7\n");
    EXPECT_EQ(run.err, "");
}

TEST_F(CliAgent, FailuresPrintTheTextAndExitOne) {
    CliRun run = RunCliCaptured({"--settings", settings, "get", agent.Address(), "OidUnknown"});
    EXPECT_EQ(run.code, 1);
    EXPECT_EQ(run.out,
              "Get - The requested operation identified an unknown variable - "
              "AgentErrorStatusError\n");
    // A name missing from the settings: the message on standard error, the text on standard output.
    run = RunCliCaptured({"--settings", settings, "get", agent.Address(), "OidNowhere"});
    EXPECT_EQ(run.code, 1);
    EXPECT_EQ(run.err, "GetOidFromStr:OID:OidNowhere:Not Found\n");
}

TEST_F(CliAgent, SetWritesAndReportsTheResult) {
    CliRun run =
        RunCliCaptured({"--settings", settings, "set", agent.Address(), "OidWritable", "from cli"});
    EXPECT_EQ(run.code, 0) << run.out << run.err;
    EXPECT_EQ(run.out, "NoneNoneNone\n");
    EXPECT_EQ(RunCliCaptured({"--settings", settings, "get", agent.Address(), "OidWritable"}).out,
              "from cli\n");
    run = RunCliCaptured({"--settings", settings, "set", agent.Address(), "OidSysLocation", "x"});
    EXPECT_EQ(run.code, 1);
}

TEST_F(CliAgent, AValueThatReadsLikeAFailureTextIsStillAValue) {
    // The exit code comes from the request's outcome, not from its text.
    ASSERT_EQ(RunCliCaptured({"--settings", settings, "set", agent.Address(), "OidWritable",
                              "Error log at desk 3"})
                  .code,
              0);
    CliRun run = RunCliCaptured({"--settings", settings, "get", agent.Address(), "OidWritable"});
    EXPECT_EQ(run.code, 0) << run.err;
    EXPECT_EQ(run.out, "Error log at desk 3\n");
}

}  // namespace
