#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>

// A manual-reset event: stays signalled until reset, wakes every waiter.
class ManualResetEvent {
public:
    void Set() {
        {
            std::lock_guard lock(m_mutex);
            m_signalled = true;
        }
        m_changed.notify_all();
    }
    void Reset() {
        std::lock_guard lock(m_mutex);
        m_signalled = false;
    }
    bool IsSet() const {
        std::lock_guard lock(m_mutex);
        return m_signalled;
    }
    // Waits up to `timeout`; true when the event was (or became) signalled.
    bool WaitFor(std::chrono::milliseconds timeout) const {
        std::unique_lock lock(m_mutex);
        return m_changed.wait_for(lock, timeout, [this] { return m_signalled; });
    }

private:
    mutable std::mutex m_mutex;
    mutable std::condition_variable m_changed;
    bool m_signalled = false;
};
