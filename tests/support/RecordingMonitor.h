#pragma once

#include <atomic>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "core/common/ViewNotifications.h"
#include "core/discovery/DiscoveryControl.h"

// A Discover Monitor and its view for tests: records the log lines, the
// progress positions and the end-of-run notifications.
class RecordingMonitor final : public IDiscoverMonitor, public IViewNotifications {
public:
    void AddLine(const std::string& line) override {
        {
            std::lock_guard lock(m_mutex);
            m_lines.push_back(line);
        }
        if (onLine) {
            onLine(line);
        }
    }
    bool ProgressHasWindow() const override { return hasWindow; }
    void SetProgressPos(int position) override {
        std::lock_guard lock(m_mutex);
        m_progress.push_back(position);
    }
    IViewNotifications& OwnerView() override { return *this; }
    void PostDiscoveryDone() override { ++m_done; }
    void PostTrapNewUnits() override {}

    std::vector<std::string> Lines() const {
        std::lock_guard lock(m_mutex);
        return m_lines;
    }
    std::vector<int> Progress() const {
        std::lock_guard lock(m_mutex);
        return m_progress;
    }
    int DoneCount() const { return m_done; }

    // onLine is called on the worker's thread; the window may go at any time.
    std::atomic<bool> hasWindow{true};
    std::function<void(const std::string&)> onLine;

private:
    mutable std::mutex m_mutex;
    std::vector<std::string> m_lines;
    std::vector<int> m_progress;
    std::atomic<int> m_done{0};
};

// The five lines the log shows for a newly found terminal.
inline std::vector<std::string> TerminalBlock(const std::string& name,
                                              const std::string& description,
                                              const std::string& ip) {
    return {"", name, description, ip, kSeparatorLine};
}
