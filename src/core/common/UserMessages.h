#pragma once

#include <string>

// How a message box looks: no icon, the warning icon, or the information icon
// that completion messages carry.
enum class MessageIcon { None, Warning, Information };

// The modal message boxes of the console. The console shows a box (a worker
// thread waits until it is dismissed), the command line prints one line on
// standard error, tests record the texts.
class IUserMessages {
public:
    virtual ~IUserMessages() = default;
    virtual void ShowMessage(const std::string& text, MessageIcon icon) = 0;
};
