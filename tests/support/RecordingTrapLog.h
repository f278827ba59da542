#pragma once

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "core/common/ViewNotifications.h"
#include "core/traps/TrapListener.h"

// A Trap Monitor log that keeps every line, for tests to wait on and read.
class RecordingTrapLog final : public ITrapLog {
public:
    void AddLine(const std::string& text) override {
        {
            std::lock_guard lock(m_mutex);
            m_lines.push_back(text);
        }
        m_changed.notify_all();
    }
    std::vector<std::string> Lines() const {
        std::lock_guard lock(m_mutex);
        return m_lines;
    }
    // Waits until some line equals `text`.
    bool WaitForLine(const std::string& text,
                     std::chrono::milliseconds timeout = std::chrono::seconds(20)) {
        std::unique_lock lock(m_mutex);
        return m_changed.wait_for(lock, timeout, [&] {
            return std::find(m_lines.begin(), m_lines.end(), text) != m_lines.end();
        });
    }

private:
    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    std::vector<std::string> m_lines;
};

// Counts the view notifications the workers post.
class CountingNotifications final : public IViewNotifications {
public:
    void PostDiscoveryDone() override { ++discoveryDone; }
    void PostTrapNewUnits() override { ++trapNewUnits; }
    std::atomic<int> discoveryDone{0};
    std::atomic<int> trapNewUnits{0};
};
