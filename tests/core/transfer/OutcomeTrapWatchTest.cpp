#include <gtest/gtest.h>

#include "NetworkTestSupport.h"
#include "TestDocument.h"
#include "TrapSender.h"
#include "core/transfer/OutcomeTrapWatch.h"

namespace {
using Kind = TransferOutcomeReport::Kind;
const std::string kEnterprise = ".1.3.6.1.4.1.32473.10.5.";

// Real trap datagrams on the configured port: the first outcome trap of each
// terminal counts, other traps and other senders do not, and a terminal that
// never reports is told apart once the wait is over.
TEST(OutcomeTrapWatch, EachTerminalsFirstOutcomeTrapCounts) {
    unsigned port = FreeUdpPort();
    TestDocument t("[Misc]\nTrapPort=" + std::to_string(port) + "\n");
    OutcomeTrapWatch watch(t.Doc());
    std::string error;
    ASSERT_TRUE(watch.Start(error)) << error;
    TrapSender sender(port);
    ASSERT_TRUE(sender.Ready());
    ASSERT_TRUE(sender.SendV1("127.0.0.7", 0, 0));  // a cold start is no outcome
    ASSERT_TRUE(sender.SendV1("127.0.0.7", 6, 5));
    ASSERT_TRUE(sender.SendV1("127.0.0.7", 6, 6, {{kEnterprise + "1", 'i', "0"}}));
    ASSERT_TRUE(sender.SendV1("127.0.0.8", 6, 6,
                              {{kEnterprise + "1", 's', "x"}, {kEnterprise + "2", 'i', "9"}}));
    ASSERT_TRUE(sender.SendV1("127.0.0.10", 6, 5));
    auto reports =
        watch.WaitFor({"127.0.0.7", "127.0.0.8", "127.0.0.9"}, std::chrono::milliseconds(1500));
    ASSERT_EQ(reports.size(), 3u);
    EXPECT_EQ(reports["127.0.0.7"].kind, Kind::Ok);
    EXPECT_EQ(reports["127.0.0.8"].kind, Kind::Failed);
    EXPECT_EQ(reports["127.0.0.8"].reason, "Missing Server Or Cannot Connect To Server");
    EXPECT_EQ(reports["127.0.0.9"].kind, Kind::NoTrap);
}

TEST(OutcomeTrapWatch, APortInUseIsSaid) {
    unsigned port = FreeUdpPort();
    TestDocument t("[Misc]\nTrapPort=" + std::to_string(port) + "\n");
    OutcomeTrapWatch first(t.Doc());
    OutcomeTrapWatch second(t.Doc());
    std::string error;
    ASSERT_TRUE(first.Start(error)) << error;
    EXPECT_FALSE(second.Start(error));
    EXPECT_NE(error.find(std::to_string(port)), std::string::npos) << error;
}
}  // namespace
