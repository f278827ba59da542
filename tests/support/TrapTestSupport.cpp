#include "TrapTestSupport.h"

#include <gtest/gtest.h>

#include <regex>
#include <thread>

#include "NetworkTestSupport.h"
#include "core/terminals/TerminalDatabase.h"

namespace {
std::string WithTrapPort(std::string settings, unsigned port) {
    const std::string misc = "[Misc]\n";
    std::size_t at = settings.find(misc);
    std::string line = "TrapPort=" + std::to_string(port) + "\n";
    if (at == std::string::npos) {
        return misc + line + settings;
    }
    return settings.insert(at + misc.size(), line);
}
}  // namespace

bool IsTrapTimeStamp(const std::string& line) {
    static const std::regex form(R"( \*\*\*\*\* \d\d/\d\d/\d{4} \d\d:\d\d:\d\d \*\*\*\*\*)");
    return std::regex_match(line, form);
}

std::vector<TrapBlock> SplitTrapBlocks(const std::vector<std::string>& log,
                                       std::string* malformed) {
    std::vector<TrapBlock> blocks;
    const std::string separator(80, '_');
    for (std::size_t i = 1; i < log.size();) {
        if (log[i] != separator) {
            if (malformed && malformed->empty()) {
                *malformed = "line " + std::to_string(i) + " outside a block: " + log[i];
            }
            ++i;
            continue;
        }
        TrapBlock block;
        if (i + 2 >= log.size() || !IsTrapTimeStamp(log[i + 1]) || !log[i + 2].empty()) {
            if (malformed && malformed->empty()) {
                *malformed = "bad header at line " + std::to_string(i);
            }
        } else {
            block.timeStamp = log[i + 1];
        }
        i += 3;
        while (i < log.size() && log[i] != separator) {
            block.lines.push_back(log[i++]);
        }
        blocks.push_back(std::move(block));
    }
    return blocks;
}

ListeningConsole::ListeningConsole(const std::string& settings, ISnmpManager* snmp,
                                   std::unique_ptr<ITrapService> service)
    : trapPort(FreeUdpPort()), document(WithTrapPort(settings, trapPort), snmp) {
    listener = std::make_unique<TrapListener>(document.Doc(), log, &view, std::move(service));
    listener->Start();
}

ListeningConsole::~ListeningConsole() {
    listener.reset();
}

bool ListeningConsole::WaitForTraps(std::uint64_t count, std::chrono::seconds timeout) {
    auto deadline = std::chrono::steady_clock::now() + timeout;
    while (listener->TrapsHandled() < count) {
        if (std::chrono::steady_clock::now() > deadline) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

std::vector<TrapBlock> ListeningConsole::Blocks() {
    std::string malformed;
    auto blocks = SplitTrapBlocks(log.Lines(), &malformed);
    if (!malformed.empty()) {
        ADD_FAILURE() << malformed;
    }
    return blocks;
}
