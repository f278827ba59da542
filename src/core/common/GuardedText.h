#pragma once

#include <mutex>
#include <string>

// A process-wide text that several threads read while one may replace it
// (the communities, the subnet list text).
class GuardedText {
public:
    explicit GuardedText(std::string initial = {}) : m_text(std::move(initial)) {}
    std::string Get() const {
        std::lock_guard lock(m_mutex);
        return m_text;
    }
    void Set(std::string text) {
        std::lock_guard lock(m_mutex);
        m_text = std::move(text);
    }

private:
    mutable std::mutex m_mutex;
    std::string m_text;
};
