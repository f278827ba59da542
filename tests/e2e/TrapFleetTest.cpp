// The trap listener against the simulated fleet: live terminals answer the name
// GETs, announce themselves by cold start, and send the traps of the trap tool;
// the command line prints the same lines as the console's listener.
#include <gtest/gtest.h>

#include <set>
#include <thread>

#include "CliTestSupport.h"
#include "FakeTerminals.h"
#include "SimFleetProcess.h"
#include "TrapTestSupport.h"
#include "core/terminals/TerminalDatabase.h"

namespace {

const char* const kFleet =
    "[ALPHA]\nAddress=127.0.60.2\n"
    "[BETA]\nAddress=127.0.60.3\nMalformedTrap=yes\n"
    "[GAMMA]\nAddress=127.0.60.4\nModel=older\n"
    "[OFF]\nAddress=127.0.60.5\nSilent=yes\n";

std::multiset<std::vector<std::string>> BlockSet(const std::vector<TrapBlock>& blocks) {
    std::multiset<std::vector<std::string>> set;
    for (const auto& block : blocks) {
        set.insert(block.lines);
    }
    return set;
}

CommandResult SendTrap(unsigned port, const std::string& agent, int generic, int specific,
                       const std::vector<std::string>& vars = {}) {
    std::vector<std::string> argv = {SimFleetProgram(),
                                     "trap",
                                     "--to",
                                     "127.0.0.1:" + std::to_string(port),
                                     "--from",
                                     agent,
                                     "--generic",
                                     std::to_string(generic),
                                     "--specific",
                                     std::to_string(specific)};
    argv.insert(argv.end(), vars.begin(), vars.end());
    return RunCommand(argv);
}

TEST(TrapFleet, ColdStartsFromTheFleetRegisterItsTerminalsAndTellTheView) {
    ListeningConsole console(DefaultSettingsWith(), nullptr);
    ASSERT_TRUE(console.Listening());
    SimFleetProcess fleet({kFleet,
                           {"--trap-port", std::to_string(console.trapPort), "--trap-dest",
                            "127.0.0.1", "--cold-start", "--cold-start-delay", "0.5"}});
    ASSERT_TRUE(fleet.Ready()) << fleet.Log();
    console.document.Doc().WriteINIValueStr("Misc", "SnmpPort", std::to_string(fleet.SnmpPort()));

    // The silent terminal sends nothing; BETA's broken datagram is dropped.
    ASSERT_TRUE(console.WaitForTraps(3)) << fleet.Log();
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_EQ(BlockSet(console.Blocks()),
              (std::multiset<std::vector<std::string>>{{"ALPHA : 127.0.60.2", "Cold Start"},
                                                       {"BETA : 127.0.60.3", "Cold Start"},
                                                       {"GAMMA : 127.0.60.4", "Cold Start"}}));
    EXPECT_EQ(console.view.trapNewUnits, 3);
    EXPECT_EQ(console.document.Terminals().Count(), 3u);
    EXPECT_TRUE(console.document.Terminals().FindByIP("127.0.60.4").has_value());
    EXPECT_EQ(console.listener->ExitCode(), 0);
}

TEST(TrapFleet, TheCommandLinePrintsTheConsolesLines) {
    SimFleetProcess fleet({kFleet, {"--trap-port", "9"}});
    ASSERT_TRUE(fleet.Ready()) << fleet.Log();
    ListeningConsole console(DefaultSettingsWith("", {.snmp = fleet.SnmpPort()}), nullptr);
    ASSERT_TRUE(console.Listening());

    // The command line on a settings file of its own with another trap port.
    TempDir dir;
    unsigned cliPort = FreeUdpPort();
    std::string settings = dir.File("cli.ini");
    WriteTextFile(settings, DefaultSettingsWith("", {.snmp = fleet.SnmpPort(), .trap = cliPort}));
    std::string output = dir.File("cli.out");
    ChildProcess cli({ProgramDirectory() + "/fleetwarden-cli", "--settings", settings, "traps",
                      "--count", "4", "--seconds", "60"},
                     {}, output);
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (ReadTextFile(output).find("Listening For Traps...") == std::string::npos &&
           std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }

    const std::vector<std::string> reason = {"--var", ".1.3.6.1.4.1.32473.10.9.1.0", "s", "x",
                                             "--var", ".1.3.6.1.4.1.32473.10.9.2.0", "i", "25"};
    for (unsigned port : {console.trapPort, cliPort}) {
        ASSERT_EQ(SendTrap(port, "127.0.60.2", 6, 6, reason).exitCode, 0);
        ASSERT_EQ(SendTrap(port, "127.0.60.4", 6, 5).exitCode, 0);
        ASSERT_EQ(SendTrap(port, "127.0.60.5", 2, 0).exitCode, 0);  // silent: times out
        ASSERT_EQ(SendTrap(port, "127.0.60.3", 4, 0).exitCode, 0);
    }
    ASSERT_TRUE(console.WaitForTraps(4, std::chrono::seconds(60)));
    deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (cli.Running() && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    EXPECT_EQ(cli.Stop(), 0);

    // The silent terminal's trap waits for its name while the others pass it.
    auto blocks = console.Blocks();
    ASSERT_EQ(blocks.size(), 4u);
    const std::vector<std::string> silent = {
        "Terminal Not Available - Offline or Rebooting : 127.0.60.5", "Link Down"};
    EXPECT_EQ(blocks.back().lines, silent);
    EXPECT_EQ(BlockSet(blocks),
              (std::multiset<std::vector<std::string>>{
                  {"ALPHA : 127.0.60.2", "SNMP Initiated Up/Download Request Not Completed",
                   "Failed to Reset The Terminal To Factory Default Settings"},
                  {"GAMMA : 127.0.60.4", "SNMP Initiated Up/Download Request Done"},
                  silent,
                  {"Unknown - Can't Retrieve Identity : 127.0.60.3",
                   "Protocol Message Authentication Failure"}}));

    // Standard error shares the file: the silent sender's hint ends it.
    std::vector<std::string> printed = SplitLines(ReadTextFile(output));
    std::erase_if(printed, [](const std::string& line) {
        return line.rfind("fleetwarden-cli: hint: no answer from 127.0.60.5 ", 0) == 0;
    });
    auto cliBlocks = SplitTrapBlocks(printed, nullptr);
    ASSERT_EQ(cliBlocks.size(), blocks.size()) << ReadTextFile(output);
    EXPECT_EQ(BlockSet(cliBlocks), BlockSet(blocks));
    EXPECT_EQ(cliBlocks.back().lines, silent);
    for (const auto& block : cliBlocks) {
        EXPECT_TRUE(IsTrapTimeStamp(block.timeStamp));
    }
}

}  // namespace
