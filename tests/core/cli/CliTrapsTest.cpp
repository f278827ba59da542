#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <sstream>
#include <thread>

#include "CliContext.h"
#include "SnmpdAgent.h"
#include "TrapSender.h"
#include "TrapTestSupport.h"

namespace {

struct CliRun {
    int code;
    std::string out;
    std::string err;
};

CliRun Cli(std::vector<std::string> args) {
    args.insert(args.begin(), "fleetwarden-cli");
    std::ostringstream out, err;
    int code = RunCli(args, out, err);
    return {code, out.str(), err.str()};
}

std::vector<std::string> SplitLines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        lines.push_back(line);
    }
    return lines;
}

TEST(CliTraps, PrintsTheTrapMonitorsLinesForTheCountedTraps) {
    SnmpdAgent agent;
    if (!agent.Ready()) {
        GTEST_SKIP() << "snmpd missing";
    }
    TempDir dir;
    unsigned trapPort = FreeUdpPort();
    std::string settings = dir.File("cli.ini");
    WriteTextFile(settings, "[Misc]\nGetCommunity=public\nTrapPort=" + std::to_string(trapPort) +
                                "\nSnmpPort=" + std::to_string(agent.Port()) +
                                "\n[OID]\nOidSysName=.1.3.6.1.2.1.1.5.0\n");
    // Traps sent before the command listens are lost, so keep sending until it
    // has printed its two and ended.
    std::atomic<bool> done{false};
    std::jthread sender([&] {
        TrapSender traps(trapPort);
        while (!done) {
            traps.SendV1(
                "127.0.0.1", 6, 6,
                {{".1.3.6.1.4.1.32473.5.1", 'i', "0"}, {".1.3.6.1.4.1.32473.5.2", 'i', "13"}});
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
    });
    CliRun run = Cli({"--settings", settings, "traps", "--count", "2", "--seconds", "60"});
    done = true;
    EXPECT_EQ(run.code, 0) << run.err;
    auto lines = SplitLines(run.out);
    ASSERT_EQ(lines.size(), 1u + 2 * 6) << run.out;
    EXPECT_EQ(lines[0], "Listening For Traps...");
    auto blocks = SplitTrapBlocks(lines, nullptr);
    ASSERT_EQ(blocks.size(), 2u);
    for (const auto& block : blocks) {
        EXPECT_TRUE(IsTrapTimeStamp(block.timeStamp));
        ASSERT_EQ(block.lines.size(), 3u);
        EXPECT_TRUE(block.lines[0].ends_with(" : 127.0.0.1"));
        EXPECT_FALSE(block.lines[0].find("Error") != std::string::npos) << block.lines[0];
        EXPECT_EQ(block.lines[1], "SNMP Initiated Up/Download Request Not Completed");
        EXPECT_EQ(block.lines[2], "Failed To Resolve Server Name To IP Address");
    }
}

TEST(CliTraps, EndsAfterTheSecondsAndOnAPortItCannotHave) {
    TempDir dir;
    unsigned trapPort = FreeUdpPort();
    std::string settings = dir.File("cli.ini");
    WriteTextFile(settings, "[Misc]\nTrapPort=" + std::to_string(trapPort) + "\n");
    CliRun quiet = Cli({"--settings", settings, "traps", "--seconds", "1"});
    EXPECT_EQ(quiet.code, 0);
    EXPECT_EQ(quiet.out, "Listening For Traps...\n");

    int holder = ::socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<std::uint16_t>(trapPort));
    ASSERT_EQ(::bind(holder, reinterpret_cast<sockaddr*>(&address), sizeof(address)), 0);
    CliRun taken = Cli({"--settings", settings, "traps"});
    ::close(holder);
    EXPECT_EQ(taken.code, 1);
    auto lines = SplitLines(taken.out);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0], "SnmpMgrListen Function Unknown Error");

    EXPECT_EQ(Cli({"--settings", settings, "traps", "--count"}).code, 2);
    EXPECT_EQ(Cli({"--settings", settings, "traps", "--seconds", "x"}).code, 2);
    EXPECT_EQ(Cli({"--settings", settings, "traps", "--loud"}).code, 2);
}

}  // namespace
