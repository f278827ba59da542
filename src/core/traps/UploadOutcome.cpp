#include "core/traps/UploadOutcome.h"

#include "core/traps/TrapEvents.h"

void UploadOutcome::Await(const std::string& terminalIP) {
    AwaitUploadOutcome(terminalIP);
}

void UploadOutcome::StopAwaiting() {
    StopAwaitingUploadOutcome();
}

UploadResult UploadOutcome::Wait(std::chrono::milliseconds timeout, std::stop_token stop) {
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + timeout;
    // Sleeps on the good event in short slices, so a failure or a stop is
    // seen soon after it happens.
    constexpr std::chrono::milliseconds kSlice{50};
    while (true) {
        if (uplBadTrapEvent.IsSet()) {
            return UploadResult::Failed;
        }
        if (stop.stop_requested()) {
            return UploadResult::Stopped;
        }
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        if (left <= std::chrono::milliseconds::zero()) {
            return uplGoodTrapEvent.IsSet() ? UploadResult::Done : UploadResult::TimedOut;
        }
        if (uplGoodTrapEvent.WaitFor(std::min(left, kSlice))) {
            return UploadResult::Done;
        }
    }
}
