#pragma once

#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "Recorders.h"
#include "TestDocument.h"
#include "core/traps/TrapListener.h"

// The lines of one trap as the Trap Monitor shows them, split from the log:
// the time stamp line, then the trap's own lines (name line, meaning, reason).
struct TrapBlock {
    std::string timeStamp;
    std::vector<std::string> lines;
};

// Splits the log after its first line into blocks at each separator line; a
// block whose header is not separator, time stamp and empty line is reported
// through `malformed`.
std::vector<TrapBlock> SplitTrapBlocks(const std::vector<std::string>& log, std::string* malformed);

// True when `line` has the form " ***** MM/DD/YYYY hh:mm:ss *****".
bool IsTrapTimeStamp(const std::string& line);

// A listener on a free trap port over a test document, with its log and the
// view notifications it posts recorded.
class ListeningConsole {
public:
    // `settings` must start with section [Misc]; the trap port is added to it.
    ListeningConsole(const std::string& settings, ISnmpManager* snmp,
                     std::unique_ptr<ITrapService> service = MakeNetTrapService());
    ~ListeningConsole();

    bool Listening() { return log.WaitForLine("Listening For Traps..."); }
    // Waits until the listener has handled `count` traps in all.
    bool WaitForTraps(std::uint64_t count, std::chrono::seconds timeout = std::chrono::seconds(30));
    std::vector<TrapBlock> Blocks();

    unsigned trapPort;
    TestDocument document;
    RecordingTrapLog log;
    CountingNotifications view;
    std::unique_ptr<TrapListener> listener;
};
