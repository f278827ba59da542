// What the trap service makes of each datagram: a trap that holds only what
// decoding reads, within the queue's budget of bytes, or a counted loss.
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>

#include "TrapSender.h"
#include "core/common/StringTable.h"
#include "core/traps/TrapDecoding.h"
#include "core/traps/TrapIntake.h"

namespace {

sockaddr_in Loopback() {
    sockaddr_in from{};
    from.sin_family = AF_INET;
    from.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return from;
}

void Feed(TrapIntake& intake, const std::vector<std::uint8_t>& datagram) {
    intake.Receive(datagram.data(), datagram.size(), Loopback());
}

TEST(TrapIntake, AHugeTrapKeepsOnlyTheBindingsDecodingReads) {
    struct Row {
        int generic, specific;
        std::size_t kept;
    };
    // 9,277 tiny bindings after two INTEGERs: a 65 KB datagram.
    for (const Row& row : {Row{6, 6, 2}, Row{6, 3, 7}, Row{6, 7, 1}, Row{6, 5, 0}, Row{0, 0, 0}}) {
        RawV1Trap raw{.generic = row.generic, .specific = row.specific, .integers = {4, 9}};
        raw.tinyBindings = 9277;
        std::vector<std::uint8_t> datagram = raw.Encode();
        ASSERT_GT(datagram.size(), 65000u);
        TrapIntake intake;
        Feed(intake, datagram);
        auto trap = intake.Take();
        ASSERT_TRUE(trap) << row.specific;
        EXPECT_EQ(trap->bindings.size(), row.kept) << row.specific;
        EXPECT_LT(TrapFootprint(*trap), 1024u);
        if (row.kept >= 2) {
            EXPECT_EQ(LoadResString(TrapReasonText(trap->bindings, 1)),
                      "Missing Server Or Cannot Connect To Server");
        }
    }
}

TEST(TrapIntake, TheQueueHoldsItsBudgetOfBytesAndCountsWhatItDrops) {
    std::vector<std::uint8_t> datagram = RawV1Trap{.specific = 6, .integers = {1, 2}}.Encode();
    TrapIntake probe;
    Feed(probe, datagram);
    std::size_t each = probe.QueuedBytes();
    ASSERT_GT(each, 0u);

    TrapIntake intake(10 * each);
    for (int i = 0; i < 50; ++i) {
        Feed(intake, datagram);
    }
    EXPECT_EQ(intake.QueuedBytes(), 10 * each);
    EXPECT_EQ(intake.TakeLosses().dropped, 40u);
    EXPECT_EQ(intake.TakeLosses().dropped, 0u);
    int taken = 0;
    while (intake.Take()) {
        ++taken;
    }
    EXPECT_EQ(taken, 10);
    EXPECT_EQ(intake.QueuedBytes(), 0u);
    // Room again once the listener has taken them.
    Feed(intake, datagram);
    EXPECT_TRUE(intake.Take().has_value());
}

TEST(TrapIntake, AnAgentAddressKeepsTheLengthItCameWith) {
    struct Row {
        std::vector<std::uint8_t> address;
        bool usable;
    };
    const Row rows[] = {{{}, false},           {{127, 0}, false},     {{10, 1, 2}, false},
                        {{0, 0, 0, 0}, false}, {{10, 1, 2, 0}, true}, {{127, 0, 0, 5}, true}};
    for (const Row& row : rows) {
        TrapIntake intake;
        Feed(intake, RawV1Trap{.agentAddress = row.address, .generic = 0, .specific = 0}.Encode());
        auto trap = intake.Take();
        ASSERT_TRUE(trap);
        EXPECT_EQ(trap->agentAddress, row.address);
        EXPECT_EQ(IsUsableAgentAddress(trap->agentAddress), row.usable);
    }
}

}  // namespace
