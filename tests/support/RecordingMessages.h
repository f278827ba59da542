#pragma once

#include <mutex>
#include <string>
#include <vector>

#include "core/common/UserMessages.h"

// Records every message box instead of showing it.
class RecordingMessages final : public IUserMessages {
public:
    void ShowMessage(const std::string& text, MessageIcon icon) override {
        std::lock_guard lock(m_mutex);
        m_texts.push_back(text);
        m_icons.push_back(icon);
    }
    std::vector<std::string> Texts() const {
        std::lock_guard lock(m_mutex);
        return m_texts;
    }
    std::vector<MessageIcon> Icons() const {
        std::lock_guard lock(m_mutex);
        return m_icons;
    }
    void Clear() {
        std::lock_guard lock(m_mutex);
        m_texts.clear();
        m_icons.clear();
    }

private:
    mutable std::mutex m_mutex;
    std::vector<std::string> m_texts;
    std::vector<MessageIcon> m_icons;
};
