#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "core/app/CTarnDoc.h"

// Runs the probes of a scan ahead of it, on up to `width` threads, and hands
// the results back in the scan's own order: Take(k) waits for probe k. The
// probes are started in order and never more than a bounded distance ahead of
// the scan, so a scan that stops early leaves little work behind.
class ProbeAhead {
public:
    using Result = CTarnDoc::SnmpGetOutcome;
    using Probe = std::function<Result(std::uint64_t index)>;

    ProbeAhead(std::size_t width, std::uint64_t count, Probe probe);
    ~ProbeAhead();
    ProbeAhead(const ProbeAhead&) = delete;
    ProbeAhead& operator=(const ProbeAhead&) = delete;

    // The outcome of probe `index`; indices must be taken in increasing order
    // (indices passed over are dropped).
    Result Take(std::uint64_t index);
    // Starts no further probe and waits for those in flight.
    void Cancel();

private:
    void Work();

    const std::uint64_t m_count;
    const std::uint64_t m_lookahead;
    Probe m_probe;

    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::uint64_t m_nextToStart = 0;
    std::uint64_t m_wanted = 0;  // the index the scan takes next
    bool m_cancelled = false;
    std::map<std::uint64_t, Result> m_results;

    std::vector<std::jthread> m_threads;
};
