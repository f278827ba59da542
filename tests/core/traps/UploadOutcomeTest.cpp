#include <gtest/gtest.h>

#include <thread>

#include "core/traps/UploadOutcome.h"

namespace {
using namespace std::chrono_literals;

// The upload waits for the listener's check on another thread; each trap it
// sees decides the wait, a stop or the deadline ends it otherwise.
TEST(UploadOutcome, TheAwaitedTerminalsTrapDecidesTheWait) {
    struct Case {
        const char* sender;
        int generic, specific;
        UploadResult expected;
    } cases[] = {{"10.0.0.7", 6, 5, UploadResult::Done},
                 {"10.0.0.7", 6, 6, UploadResult::Failed},
                 {"10.0.0.8", 6, 5, UploadResult::TimedOut}};
    for (const Case& c : cases) {
        UploadOutcome upload;
        upload.Await("10.0.0.7");
        std::jthread listener([&] {
            std::this_thread::sleep_for(20ms);
            upload.Check(c.sender, c.generic, c.specific);
        });
        EXPECT_EQ(upload.Wait(400ms, {}), c.expected) << c.sender << " " << c.specific;
        upload.StopAwaiting();
    }
}

TEST(UploadOutcome, AStopEndsTheWaitAtOnce) {
    UploadOutcome upload;
    upload.Await("10.0.0.7");
    std::stop_source stop;
    std::jthread stopper([&] {
        std::this_thread::sleep_for(20ms);
        stop.request_stop();
    });
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(upload.Wait(60s, stop.get_token()), UploadResult::Stopped);
    EXPECT_LT(std::chrono::steady_clock::now() - start, 5s);
}
}  // namespace
