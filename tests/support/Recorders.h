#pragma once

// Stand-ins that record what the console would show: message boxes, the
// progress notice, the Trap Monitor's and the Discover Monitor's lines.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "core/common/ProgressNotice.h"
#include "core/common/UserMessages.h"
#include "core/common/ViewNotifications.h"
#include "core/discovery/DiscoveryControl.h"
#include "core/traps/TrapListener.h"

// Values that threads add to and tests read.
template <typename T>
class Recorded {
public:
    void Add(T value) {
        std::lock_guard lock(m_mutex);
        m_values.push_back(std::move(value));
    }
    std::vector<T> Get() const {
        std::lock_guard lock(m_mutex);
        return m_values;
    }
    void Clear() {
        std::lock_guard lock(m_mutex);
        m_values.clear();
    }

private:
    mutable std::mutex m_mutex;
    std::vector<T> m_values;
};

// Records every message box instead of showing it.
class RecordingMessages final : public IUserMessages {
public:
    void ShowMessage(const std::string& text, MessageIcon icon) override {
        m_texts.Add(text);
        m_icons.Add(icon);
    }
    std::vector<std::string> Texts() const { return m_texts.Get(); }
    std::vector<MessageIcon> Icons() const { return m_icons.Get(); }
    void Clear() {
        m_texts.Clear();
        m_icons.Clear();
    }

private:
    Recorded<std::string> m_texts;
    Recorded<MessageIcon> m_icons;
};

// Records a progress notice's lines ("line1 / line2") and closings ("-").
class RecordingNotice final : public IProgressNotice {
public:
    void SetMessages(const std::string& line1, const std::string& line2) override {
        m_events.Add(line1 + " / " + line2);
    }
    void Close() override { m_events.Add("-"); }
    void Clear() { m_events.Clear(); }
    std::vector<std::string> Events() const { return m_events.Get(); }

private:
    Recorded<std::string> m_events;
};

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
    void PostDiscoveryDone() override {}
    void PostTrapNewUnits() override { ++trapNewUnits; }
    std::atomic<int> trapNewUnits{0};
};

// A Discover Monitor and its view for tests: records the log lines, the
// progress positions and the end-of-run notifications.
class RecordingMonitor final : public IDiscoverMonitor, public IViewNotifications {
public:
    void AddLine(const std::string& line) override {
        m_lines.Add(line);
        if (onLine) {
            onLine(line);
        }
    }
    bool ProgressHasWindow() const override { return hasWindow; }
    void SetProgressPos(int position) override { m_progress.Add(position); }
    IViewNotifications& OwnerView() override { return *this; }
    void PostDiscoveryDone() override { ++m_done; }
    void PostTrapNewUnits() override {}

    std::vector<std::string> Lines() const { return m_lines.Get(); }
    std::vector<int> Progress() const { return m_progress.Get(); }
    int DoneCount() const { return m_done; }

    // onLine is called on the worker's thread; the window may go at any time.
    std::atomic<bool> hasWindow{true};
    std::function<void(const std::string&)> onLine;

private:
    Recorded<std::string> m_lines;
    Recorded<int> m_progress;
    std::atomic<int> m_done{0};
};

// The five lines the log shows for a newly found terminal.
inline std::vector<std::string> TerminalBlock(const std::string& name,
                                              const std::string& description,
                                              const std::string& ip) {
    return {"", name, description, ip, kSeparatorLine};
}
