#pragma once

#include <atomic>
#include <iosfwd>
#include <mutex>
#include <string>
#include <vector>

#include "core/common/UserMessages.h"

class CTarnDoc;

// Message boxes of the command line: one line each on standard error. Worker
// threads may print too, so whole lines are written under a lock.
class StderrMessages final : public IUserMessages {
public:
    explicit StderrMessages(std::ostream& err) : m_err(err) {}
    void ShowMessage(const std::string& text, MessageIcon icon) override;
    // How many messages were printed so far.
    std::size_t Shown() const { return m_shown; }

private:
    std::ostream& m_err;
    std::mutex m_mutex;
    std::atomic<std::size_t> m_shown{0};
};

// What a subcommand gets: its arguments, the document, the two streams, and
// the message printer behind the document; standard input last.
struct CliContext {
    std::vector<std::string> args;
    CTarnDoc& doc;
    std::ostream& out;
    std::ostream& err;
    StderrMessages& messages;
    std::istream& in;
};

// A subcommand: its name, a one-line usage, and the function that runs it and
// returns the exit code.
struct CliCommand {
    const char* name;
    const char* usage;
    int (*run)(CliContext& context);
};

// Every subcommand the command line offers, in the order --help lists them.
const std::vector<CliCommand>& CliCommands();

// Runs the command line as main() does; split out so tests can drive it.
int RunCli(const std::vector<std::string>& argv, std::ostream& out, std::ostream& err);
// The same with another standard input.
int RunCli(const std::vector<std::string>& argv, std::istream& in, std::ostream& out,
           std::ostream& err);
