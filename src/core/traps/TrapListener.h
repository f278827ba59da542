#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <stop_token>
#include <string>
#include <thread>
#include <vector>

#include "core/common/ManualResetEvent.h"
#include "core/snmp/SnmpTypes.h"
#include "core/traps/SenderLanes.h"
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
// " ***** MM/DD/YYYY hh:mm:ss *****" of the workstation's local clock, now or at `when`.
std::string TrapTimeStampLine();
std::string TrapTimeStampLine(std::chrono::system_clock::time_point when);
// The line written when the listener ends on an error, by the label of the
// call that failed and the failure code.
std::string TrapListenErrorLine(const std::string& label, unsigned long code);
// The line that says how many traps were lost, and why.
std::string TrapLossLine(const TrapLosses& losses);

// The working half of the Trap Monitor: the listener thread, which takes each
// trap off the trap service's queue and writes it into the log as a
// time-stamped block, and the decoding of traps into readable lines.
//
// A trap costs a GET of its sender's name, and a start trap the sender's
// registration. Those run on a pool of threads, one trap of a sender at a time:
// a sender that does not answer delays only its own traps, while the traps of
// others pass it. The lines of one trap are written together.
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

    // Starts the listener thread.
    void Start();
    // Asks the thread to stop and waits until it has ended. The requests in
    // flight end at once; the traps they were for are not written.
    void Stop();
    // Ends the thread by itself once it has handled `limit` traps (0: never).
    // Set before Start.
    void SetTrapLimit(std::uint64_t limit) { m_trapLimit = limit; }
    // What may wait for the senders' requests. Set before Start.
    void SetLaneLimits(const SenderLanes::Limits& limits) { m_laneLimits = limits; }

    // Signalled when the thread has ended, for whatever reason.
    const ManualResetEvent& Ended() const { return m_ended; }
    // The thread's exit code: 2 after a stop request (or the trap limit), 1
    // after an error, 0 while it runs.
    int ExitCode() const { return m_exitCode.load(); }
    // Traps whose lines were written and whose registration, if any, is done.
    std::uint64_t TrapsHandled() const { return m_trapsHandled.load(); }

    // Handles one trap taken off the queue, on the calling thread: the
    // upload-outcome check, the header and the trap's own lines, and the
    // registration of a terminal that announces its start.
    void HandleTrap(const SnmpTrap& trap);
    // The trap's own lines: who sent it (its name read by `doc`) and what it means.
    std::vector<std::string> DecodeTrap(CTarnDoc& doc, int generic, int specific,
                                        const std::vector<std::uint8_t>& agentAddress,
                                        const SnmpVarBindList& bindings);
    // Writes one line of the listener's own. Every line is written escaped:
    // names and values from the network can neither break it nor forge one.
    void AddLine(const std::string& text) { WriteBlock({text}); }

private:
    friend int TrapListenThread(TrapListener& listener, const std::stop_token& stop);
    // "Misc"/TrapPort; nothing, with `problem` saying why, when it is not a port.
    std::optional<unsigned> TrapPort(std::string& problem) const;
    // The listener thread's part of a trap: the checks made in queue order.
    void Dispatch(SnmpTrap trap, SenderLanes& lanes, TrapLosses& losses);
    // The rest, on a thread of the pool (or the caller's).
    void WriteAndRegister(CTarnDoc& doc, const SnmpTrap& trap, const std::stop_token& stop);
    // Writes the lines as one block; false once the trap limit has been written.
    bool WriteBlock(const std::vector<std::string>& lines);
    void CountHandled();
    bool LimitReached() const;

    CTarnDoc& m_doc;
    ITrapLog& m_log;
    IViewNotifications* m_owner;
    std::unique_ptr<ITrapService> m_service;
    std::uint64_t m_trapLimit = 0;
    SenderLanes::Limits m_laneLimits;
    std::mutex m_writing;  // keeps the lines of one block together
    std::uint64_t m_blocksWritten = 0;
    std::atomic<std::uint64_t> m_trapsHandled{0};
    std::atomic<int> m_exitCode{0};
    ManualResetEvent m_ended;
    std::jthread m_thread;
};

// The listener thread's procedure: starts trap reception, writes "Listening
// For Traps...", then waits for traps and drains the queue until stopped.
// Returns 2 on a stop request, 1 after an error.
int TrapListenThread(TrapListener& listener, const std::stop_token& stop);
