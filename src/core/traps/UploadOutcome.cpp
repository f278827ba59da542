#include "core/traps/UploadOutcome.h"

void UploadOutcome::Await(const std::string& terminalIP) {
    std::lock_guard lock(m_mutex);
    m_target = terminalIP;
    m_uplGoodTrapEvent = false;
    m_uplBadTrapEvent = false;
    m_uploadTrapEvent = true;
}

void UploadOutcome::StopAwaiting() {
    std::lock_guard lock(m_mutex);
    m_uploadTrapEvent = false;
}

void UploadOutcome::Check(const std::string& senderIP, int generic, int specific) {
    {
        std::lock_guard lock(m_mutex);
        if (!m_uploadTrapEvent || senderIP != m_target) {
            return;
        }
        m_uploadTrapEvent = false;
        if (generic == 6 && specific == 5) {
            m_uplGoodTrapEvent = true;
        } else {
            m_uplBadTrapEvent = true;
        }
    }
    m_changed.notify_all();
}

UploadResult UploadOutcome::Wait(std::chrono::milliseconds timeout, std::stop_token stop) {
    std::unique_lock lock(m_mutex);
    bool decided = m_changed.wait_for(lock, stop, timeout,
                                      [this] { return m_uplGoodTrapEvent || m_uplBadTrapEvent; });
    if (m_uplBadTrapEvent) {
        return UploadResult::Failed;
    }
    if (m_uplGoodTrapEvent) {
        return UploadResult::Done;
    }
    return !decided && stop.stop_requested() ? UploadResult::Stopped : UploadResult::TimedOut;
}

std::string UploadOutcome::Target() const {
    std::lock_guard lock(m_mutex);
    return m_target;
}

bool UploadOutcome::Awaiting() const {
    std::lock_guard lock(m_mutex);
    return m_uploadTrapEvent;
}
