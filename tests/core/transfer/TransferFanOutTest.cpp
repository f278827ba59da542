#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <random>
#include <thread>

#include "TestDocument.h"
#include "core/transfer/TransferFanOut.h"

namespace {
// Jobs that take uneven times and show a box each: whatever the width, the
// boxes come in item order and every job runs once; above 1 they overlap.
TEST(TransferFanOut, MessagesKeepTheOrderOfTheItemsWhateverTheWidth) {
    for (long width : {1L, 8L}) {
        TestDocument t("[Misc]\n");
        std::atomic<int> running{0}, most{0}, runs{0};
        RunForEachTerminal(t.Doc(), 40, width, {}, [&](CTarnDoc& jobDoc, std::size_t i) {
            int now = ++running;
            most = std::max(most.load(), now);
            std::this_thread::sleep_for(std::chrono::milliseconds((i * 7919) % 13));
            jobDoc.Messages().ShowMessage(std::to_string(i), MessageIcon::Warning);
            ++runs;
            --running;
        });
        std::vector<std::string> expected;
        for (int i = 0; i < 40; ++i) {
            expected.push_back(std::to_string(i));
        }
        EXPECT_EQ(t.Messages().Texts(), expected) << width;
        EXPECT_EQ(runs, 40);
        EXPECT_EQ(most > 1, width > 1) << most;
    }
}

// A terminal that holds its job (a silent one, waiting out its time-outs)
// holds only its own thread: the jobs far behind it in the list still run.
TEST(TransferFanOut, AHeldJobDoesNotHoldBackTheJobsFarBehindIt) {
    TestDocument t("[Misc]\n");
    constexpr std::size_t kCount = 600;
    std::mutex mutex;
    std::condition_variable lastRan;
    bool last = false;
    bool firstSawLast = false;
    RunForEachTerminal(t.Doc(), kCount, 4, {}, [&](CTarnDoc&, std::size_t i) {
        std::unique_lock lock(mutex);
        if (i == 0) {
            firstSawLast = lastRan.wait_for(lock, std::chrono::seconds(20), [&] { return last; });
        } else if (i == kCount - 1) {
            last = true;
            lastRan.notify_all();
        }
    });
    EXPECT_TRUE(firstSawLast);
}

TEST(TransferFanOut, TheWidthComesFromTheSettingsWithinBounds) {
    for (auto [text, width] : std::vector<std::pair<std::string, long>>{
             {"", 1},
             {"TransferParallel=32\n", 32},
             {"TransferParallel=0\n", 1},
             {"TransferParallel=x\n", 1},
             {"TransferParallel=99999\n", kMaxTransferParallel}}) {
        TestDocument t("[Misc]\n" + text);
        EXPECT_EQ(TransferParallel(t.Doc()), width) << text;
        EXPECT_TRUE(t.Messages().Texts().empty());
    }
}
}  // namespace
