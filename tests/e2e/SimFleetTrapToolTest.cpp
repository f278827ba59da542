// The trap subcommands, received with net-snmp's parser.
#include <gtest/gtest.h>

#include <map>
#include <set>

#include "SimFleetProcess.h"
#include "TrapReceiver.h"

namespace {

TEST(SimFleetTrapTool, SendsOneTrapAsTold) {
    TrapReceiver traps;
    CommandResult sent = RunCommand({SimFleetProgram(),
                                     "trap",
                                     "--to",
                                     "127.0.0.1:" + std::to_string(traps.Port()),
                                     "--from",
                                     "127.0.0.3",
                                     "--agent",
                                     "10.0.0.7",
                                     "--enterprise",
                                     ".1.3.6.1.4.1.32473.10",
                                     "--generic",
                                     "6",
                                     "--specific",
                                     "7",
                                     "--uptime",
                                     "4242",
                                     "--var",
                                     ".1.3.6.1.4.1.32473.10.4.2.0",
                                     "s",
                                     "abc",
                                     "--var",
                                     ".1.3.6.1.4.1.32473.10.5.1.0",
                                     "i",
                                     "-9",
                                     "--var",
                                     ".1.3.6.1.2.1.1.2.0",
                                     "o",
                                     ".1.3.6.1.4.1.32473.1.400",
                                     "--var",
                                     ".1.3.6.1.4.1.32473.10.5.2.0",
                                     "x",
                                     "00 80 ff"});
    ASSERT_EQ(sent.exitCode, 0) << sent.output;
    auto trap = traps.Next(std::chrono::seconds(10));
    ASSERT_TRUE(trap);
    ASSERT_FALSE(trap->malformed);
    EXPECT_EQ(trap->source, "127.0.0.3");
    EXPECT_EQ(trap->agent, "10.0.0.7");
    EXPECT_EQ(trap->enterprise, ".1.3.6.1.4.1.32473.10");
    EXPECT_EQ(trap->generic, 6);
    EXPECT_EQ(trap->specific, 7);
    ASSERT_EQ(trap->bindings.size(), 4u);
    EXPECT_EQ(trap->bindings[0].text, "abc");
    EXPECT_EQ(trap->bindings[1].type, 0x02);
    EXPECT_EQ(trap->bindings[1].integer, -9);
    EXPECT_EQ(trap->bindings[2].type, 0x06);
    EXPECT_EQ(trap->bindings[2].text, ".1.3.6.1.4.1.32473.1.400");
    EXPECT_EQ(trap->bindings[3].text, std::string("\x00\x80\xff", 3));
}

TEST(SimFleetTrapTool, ABurstKeepsEachSendersOrder) {
    TrapReceiver traps;
    CommandResult sent = RunCommand({SimFleetProgram(), "trap-burst", "--to",
                                     "127.0.0.1:" + std::to_string(traps.Port()), "--senders",
                                     "127.0.0.2-127.0.0.4", "--count", "60"});
    ASSERT_EQ(sent.exitCode, 0) << sent.output;
    std::map<std::string, long> last;
    std::set<long> numbers;
    while (auto trap = traps.Next(std::chrono::seconds(2))) {
        ASSERT_FALSE(trap->malformed);
        ASSERT_EQ(trap->bindings.size(), 2u);
        EXPECT_EQ(trap->source, trap->agent);
        EXPECT_EQ(trap->bindings[0].integer, last[trap->agent] + 1) << trap->agent;
        last[trap->agent] = trap->bindings[0].integer;
        numbers.insert(trap->bindings[1].integer);
    }
    EXPECT_EQ(last, (std::map<std::string, long>{
                        {"127.0.0.2", 20}, {"127.0.0.3", 20}, {"127.0.0.4", 20}}));
    EXPECT_EQ(numbers.size(), 60u);
}

TEST(SimFleetTrapTool, RefusesDestinationsOffThisMachineAndBadBindings) {
    CommandResult far = RunCommand({SimFleetProgram(), "trap", "--to", "192.0.2.1:162"});
    EXPECT_EQ(far.exitCode, 2);
    EXPECT_NE(far.output.find("not an address of this machine"), std::string::npos) << far.output;
    CommandResult type = RunCommand({SimFleetProgram(), "trap", "--to", "127.0.0.1:1", "--var",
                                     ".1.3.6.1.2.1.1.5.0", "q", "x"});
    EXPECT_EQ(type.exitCode, 2);
    EXPECT_EQ(RunCommand({SimFleetProgram(), "trap-burst", "--to", "127.0.0.1:1"}).exitCode, 2);
}

}  // namespace
