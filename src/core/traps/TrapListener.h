#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "core/common/LineEscape.h"
#include "core/common/ManualResetEvent.h"
#include "core/snmp/SnmpTypes.h"
#include "core/traps/TrapService.h"

class CTarnDoc;
class IViewNotifications;

// Where the trap listener writes: the Trap Monitor's log. AddLine may be called
// from any thread; the lines keep the order of the calls.
class ITrapLog {
public:
    virtual ~ITrapLog() = default;
    virtual void AddLine(const std::string& text) = 0;
};

// A line of exactly 80 "_", which opens every block of the Trap Monitor.
inline const std::string kTrapSeparatorLine(80, '_');
// " ***** MM/DD/YYYY hh:mm:ss *****" of the workstation's local clock, now.
std::string TrapTimeStampLine();
// The line written when the listener ends on an error, by the label of the
// call that failed and the failure code.
std::string TrapListenErrorLine(const std::string& label, unsigned long code);

// The working half of the Trap Monitor: the listener thread, which takes each
// trap off the trap service's queue and writes it into the log as a
// time-stamped block, and the decoding of traps into readable lines.
class TrapListener {
public:
    // `owner` (the terminal list view; may be null) hears of terminals that a
    // trap registered. The service defaults to the workstation's own.
    TrapListener(CTarnDoc& doc, ITrapLog& log, IViewNotifications* owner,
                 std::unique_ptr<ITrapService> service = MakeNetTrapService());
    // Stops the thread and waits for it.
    ~TrapListener();
    TrapListener(const TrapListener&) = delete;
    TrapListener& operator=(const TrapListener&) = delete;

    // Resets stopTrapEvent and starts the listener thread.
    void Start();
    // Sets stopTrapEvent and waits until the thread has ended: it ends before
    // taking another trap, so this takes as long as the trap in hand needs.
    void Stop();
    // Ends the thread by itself once it has handled `limit` traps (0: never).
    // Set before Start.
    void SetTrapLimit(std::uint64_t limit) { m_trapLimit = limit; }

    // Signalled when the thread has ended, for whatever reason.
    const ManualResetEvent& Ended() const { return m_ended; }
    // The thread's exit code: 2 after a stop request (or the trap limit), 1
    // after an error, 0 while it runs.
    int ExitCode() const { return m_exitCode.load(); }
    std::uint64_t TrapsHandled() const { return m_trapsHandled.load(); }

    // Writes one trap's own lines (who sent it and what it means) and registers
    // a terminal that announces its start.
    void DecodeTrap(int generic, int specific, const std::vector<std::uint8_t>& agentAddress,
                    const SnmpVarBindList& bindings);
    // Names and values in a line come from the network: escaped, they can
    // neither break the line nor forge one.
    void AddLine(const std::string& text) { m_log.AddLine(EscapeForLine(text)); }

    // Handles one trap taken off the queue: the upload-outcome check, the
    // header lines and the trap's own lines.
    void HandleTrap(const SnmpTrap& trap);

private:
    friend int TrapListenThread(TrapListener& listener);
    // "Misc"/TrapPort; nothing, with `problem` saying why, when it is not a port.
    std::optional<unsigned> TrapPort(std::string& problem) const;

    CTarnDoc& m_doc;
    ITrapLog& m_log;
    IViewNotifications* m_owner;
    std::unique_ptr<ITrapService> m_service;
    std::uint64_t m_trapLimit = 0;
    std::atomic<std::uint64_t> m_trapsHandled{0};
    std::atomic<int> m_exitCode{0};
    ManualResetEvent m_ended;
    std::jthread m_thread;
};

// The listener thread's procedure: starts trap reception, writes "Listening
// For Traps...", then waits for traps and drains the queue until stopped.
// Returns 2 on a stop request, 1 after an error.
int TrapListenThread(TrapListener& listener);
