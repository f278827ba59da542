#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <optional>
#include <stop_token>
#include <string>
#include <thread>

#include "core/app/CTarnDoc.h"

class IViewNotifications;

// What a discovery worker writes to: the Discover Monitor's log and progress
// bar, and the view to tell when the run has ended. The console's window posts
// each call to its own thread; the command line prints the lines.
class IDiscoverMonitor {
public:
    virtual ~IDiscoverMonitor() = default;
    // Appends a line to the log and scrolls it into view.
    virtual void AddLine(const std::string& line) = 0;
    // False once the monitor's window is gone (the console closing): the range
    // scan then passes over the remaining addresses without probing them.
    virtual bool ProgressHasWindow() const = 0;
    virtual void SetProgressPos(int position) = 0;
    // The view that gets the end-of-run notification.
    virtual IViewNotifications& OwnerView() = 0;
};

// The workers' stop check: when the run was asked to stop (`stop`) while its
// window is still there, runs `release` (the worker's own clean-up), tells the
// view the run ended and returns true; the worker then returns
// kDiscoveryStopped at once. A window gone means the console is closing: the
// run then passes over what is left and ends normally.
bool DiscoveryStopRequested(IDiscoverMonitor& monitor, const std::stop_token& stop,
                            const std::function<void()>& release = {});

// Exit codes of the workers.
inline constexpr unsigned kDiscoveryEnded = 0;
inline constexpr unsigned kDiscoverySocketError = 1;
inline constexpr unsigned kDiscoveryStopped = 2;

// The range scan's probe of an address: a short GET of the system name (200 ms,
// two retries). A terminal answered when the GET gave a value, whatever its
// text; a failure text still contains "Error".
SnmpOutcome ProbeTerminalName(CTarnDoc& doc, const std::string& terminalIP);

// The start both methods share: reads "Misc"/DiscoverIPSubNet into the
// process-wide list text and parses it. A list that does not parse is reported
// and the run ended (the view is told); the worker then returns kDiscoveryEnded.
bool LoadSubnetListForRun(CTarnDoc& doc, IDiscoverMonitor& monitor);

// The separator that ends every block of the discovery log.
inline const std::string kSeparatorLine(80, '_');

// The log block of a newly registered terminal: an empty line, its name, its
// description, its address and the separator.
void WriteTerminalBlock(IDiscoverMonitor& monitor, const std::string& name,
                        const std::string& description, const std::string& terminalIP);

// The host range of the range scan ("Misc"/DiscoverRangeLow and High, read with
// the missing-key report, each taken into 0..255), as the unsigned numbers the
// scan counts with.
struct DiscoverRange {
    std::uint32_t low = 0;
    std::uint32_t high = 0;
    // The progress bar's range is 0..Span() (negative when low is above high).
    int Span() const { return static_cast<int>(high) - static_cast<int>(low); }
};
DiscoverRange ReadDiscoverRange(CTarnDoc& doc);

// The two methods, each run on the discovery worker thread. They return one of
// the exit codes above. The range scan probes "Misc"/DiscoverParallel addresses
// at a time (default 1, at most 256), or `parallel` when given.
// A stop requested through `stop` ends the run at its next check.
unsigned SnmpScanThread(CTarnDoc& doc, IDiscoverMonitor& monitor, std::stop_token stop = {},
                        std::optional<long> parallel = std::nullopt);
unsigned BroadcastScanThread(CTarnDoc& doc, IDiscoverMonitor& monitor, std::stop_token stop = {});

// The discovery worker thread. Start() reads "Misc"/DiscoverMethod ("BCAST" selects the broadcast
// method, anything else the range scan) and runs the method on a new thread. The monitor must
// outlive the thread; destroying the worker waits for the thread.
class DiscoveryWorker {
public:
    void Start(CTarnDoc& doc, IDiscoverMonitor& monitor,
               std::optional<long> parallel = std::nullopt);
    bool Started() const { return m_thread.joinable(); }
    // Asks the run to stop: its SNMP requests in flight end at once and later
    // ones fail at once, so it ends without waiting out a time-out; it stops at
    // its next check, or, when its window is gone, passes over what is left.
    void RequestStop() { m_thread.request_stop(); }
    // True once the method has returned (the run ended in any way).
    bool Finished() const { return m_finished; }
    // Waits for the thread to end; returns its exit code.
    unsigned Join();

private:
    std::atomic<unsigned> m_exitCode{kDiscoveryEnded};
    std::atomic<bool> m_finished{false};
    std::jthread m_thread;
};
