// traps: listens for traps and prints the Trap Monitor's lines.
#include <chrono>
#include <mutex>
#include <ostream>

#include "cli/CliCommandsList.h"
#include "core/app/CTarnDoc.h"
#include "core/common/TextFormat.h"
#include "core/traps/TrapListener.h"

namespace {

// The Trap Monitor's log on standard output, a line as soon as it is written.
class StreamTrapLog final : public ITrapLog {
public:
    explicit StreamTrapLog(std::ostream& out) : m_out(out) {}
    void AddLine(const std::string& text) override {
        std::lock_guard lock(m_mutex);
        m_out << text << std::endl;
    }

private:
    std::mutex m_mutex;
    std::ostream& m_out;
};

bool ReadCount(const std::string& text, long& value) {
    long number = ToLong(text);
    if (number <= 0 || FormatText("%ld", number) != text) {
        return false;
    }
    value = number;
    return true;
}

}  // namespace

int RunTrapsCommand(CliContext& context) {
    long count = 0;
    long seconds = 0;
    const auto& args = context.args;
    // Options come in pairs: the name and its number.
    for (std::size_t i = 0; i < args.size(); i += 2) {
        bool known = (args[i] == "--count" || args[i] == "--seconds") && i + 1 < args.size();
        if (!known || !ReadCount(args[i + 1], args[i] == "--count" ? count : seconds)) {
            context.err << "usage: fleetwarden-cli traps [--count N] [--seconds S]" << std::endl;
            return 2;
        }
    }

    StreamTrapLog log(context.out);
    TrapListener listener(context.doc, log, nullptr);
    listener.SetTrapLimit(static_cast<std::uint64_t>(count));
    listener.Start();
    if (seconds > 0) {
        listener.Ended().WaitFor(std::chrono::seconds(seconds));
    } else {
        while (!listener.Ended().WaitFor(std::chrono::hours(24))) {
        }
    }
    listener.Stop();
    return listener.ExitCode() == 1 ? 1 : 0;
}
