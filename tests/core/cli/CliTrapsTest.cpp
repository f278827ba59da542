#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <sstream>

#include "CliTestSupport.h"
#include "NetworkTestSupport.h"
#include "TestFiles.h"

namespace {

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

    EXPECT_EQ(RunCliCaptured({"--settings", settings, "traps", "--count"}).code, 2);
    EXPECT_EQ(RunCliCaptured({"--settings", settings, "traps", "--seconds", "x"}).code, 2);
    EXPECT_EQ(RunCliCaptured({"--settings", settings, "traps", "--loud"}).code, 2);
}

}  // namespace
