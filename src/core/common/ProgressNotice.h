#pragma once

#include <string>

// The two-line notice a long operation keeps up to date: the step on the first
// line, usually "Please Wait" on the second. The console shows it in a small
// window, the command line ignores it, tests record it. An operation closes it
// before it shows a result, and a later step opens it again.
class IProgressNotice {
public:
    virtual ~IProgressNotice() = default;
    virtual void SetMessages(const std::string& line1, const std::string& line2) = 0;
    virtual void Close() = 0;
};

// For callers that show no notice.
class NoProgressNotice final : public IProgressNotice {
public:
    void SetMessages(const std::string&, const std::string&) override {}
    void Close() override {}
};
