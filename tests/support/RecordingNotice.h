#pragma once

#include <mutex>
#include <string>
#include <vector>

#include "core/common/ProgressNotice.h"

// Records a progress notice's lines ("line1 / line2") and closings ("-").
class RecordingNotice final : public IProgressNotice {
public:
    void SetMessages(const std::string& line1, const std::string& line2) override {
        std::lock_guard lock(m_mutex);
        m_events.push_back(line1 + " / " + line2);
    }
    void Close() override {
        std::lock_guard lock(m_mutex);
        m_events.push_back("-");
    }
    void Clear() {
        std::lock_guard lock(m_mutex);
        m_events.clear();
    }
    std::vector<std::string> Events() const {
        std::lock_guard lock(m_mutex);
        return m_events;
    }

private:
    mutable std::mutex m_mutex;
    std::vector<std::string> m_events;
};
