#pragma once

#include <map>
#include <mutex>
#include <string>

// Remembers what was last reported on each topic, so that a problem that
// persists (a settings file that cannot be read, a bad port) is reported once
// rather than at every call, and again only when it changes or comes back.
class OnceReports {
public:
    // True when `text` is not what was last reported on `topic`; it is then.
    bool First(const std::string& topic, const std::string& text) {
        std::lock_guard lock(m_mutex);
        auto [it, added] = m_last.try_emplace(topic, text);
        if (!added && it->second == text) {
            return false;
        }
        it->second = text;
        return true;
    }
    // The problem of `topic` is over.
    void Forget(const std::string& topic) {
        std::lock_guard lock(m_mutex);
        m_last.erase(topic);
    }

private:
    std::mutex m_mutex;
    std::map<std::string, std::string> m_last;
};
