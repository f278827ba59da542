#pragma once

#include <string>
#include <utility>
#include <vector>

#include "core/common/UserMessages.h"

// The message boxes of work done ahead of its turn, kept until the turn comes
// and then shown in order, so a run in parallel shows what a one-by-one run does.
class HeldMessages final : public IUserMessages {
public:
    using Held = std::vector<std::pair<std::string, MessageIcon>>;

    void ShowMessage(const std::string& text, MessageIcon icon) override {
        m_held.emplace_back(text, icon);
    }
    Held Take() { return std::move(m_held); }

    static void ShowAll(IUserMessages& messages, const Held& held) {
        for (const auto& [text, icon] : held) {
            messages.ShowMessage(text, icon);
        }
    }

private:
    Held m_held;
};
