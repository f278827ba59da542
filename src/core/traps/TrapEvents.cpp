#include "core/traps/TrapEvents.h"

#include <mutex>

ManualResetEvent stopTrapEvent;
ManualResetEvent uploadTrapEvent;
ManualResetEvent uplGoodTrapEvent;
ManualResetEvent uplBadTrapEvent;

namespace {
// Serialises the target and the events' changes as one state; the events stay
// waitable on their own.
std::mutex& UploadMutex() {
    static std::mutex mutex;
    return mutex;
}
std::string& UploadTarget() {
    static std::string target;
    return target;
}
}  // namespace

std::string GetUploadTarget() {
    std::lock_guard lock(UploadMutex());
    return UploadTarget();
}

void SetUploadTarget(const std::string& terminalIP) {
    std::lock_guard lock(UploadMutex());
    UploadTarget() = terminalIP;
}

void AwaitUploadOutcome(const std::string& terminalIP) {
    std::lock_guard lock(UploadMutex());
    UploadTarget() = terminalIP;
    uplGoodTrapEvent.Reset();
    uplBadTrapEvent.Reset();
    uploadTrapEvent.Set();
}

void StopAwaitingUploadOutcome() {
    std::lock_guard lock(UploadMutex());
    uploadTrapEvent.Reset();
}

void UploadOutcomeCheck(const std::string& senderIP, int generic, int specific) {
    std::lock_guard lock(UploadMutex());
    if (!uploadTrapEvent.IsSet() || senderIP != UploadTarget()) {
        return;
    }
    // Only the first trap from the terminal decides.
    uploadTrapEvent.Reset();
    if (generic == 6 && specific == 5) {
        uplGoodTrapEvent.Set();
    } else {
        uplBadTrapEvent.Set();
    }
}
