#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <stop_token>
#include <thread>
#include <unordered_map>
#include <utility>
#include <vector>

#include "core/traps/TrapService.h"

// Hands the traps of each sender to a pool of threads: one trap of a sender at
// a time, in the order they came, while the traps of other senders go ahead on
// other threads. A sender that does not answer so holds up only its own traps.
// What waits is bounded by bytes, in all and per sender.
class SenderLanes {
public:
    struct Limits {
        std::size_t threads = 32;
        std::size_t budgetBytes = std::size_t{16} << 20;
        std::size_t senderBytes = std::size_t{1} << 20;
    };
    // Handles one trap on a thread of the pool; `stop` is that thread's stop.
    using Handler = std::function<void(const SnmpTrap& trap, std::stop_token stop)>;
    enum class Admission { Accepted, OverBudget, SenderFull };

    SenderLanes(Limits limits, Handler handler);
    // Stops every thread, which ends the requests its handler has in flight,
    // and waits for them; traps still waiting are dropped.
    ~SenderLanes();
    SenderLanes(const SenderLanes&) = delete;
    SenderLanes& operator=(const SenderLanes&) = delete;

    // Queues a trap behind the earlier ones of `sender`.
    Admission Add(std::uint32_t sender, SnmpTrap trap);

private:
    struct Lane {
        std::deque<std::pair<SnmpTrap, std::size_t>> traps;  // with their bytes
        std::size_t bytes = 0;
    };
    void Work(const std::stop_token& stop);

    const Limits m_limits;
    const Handler m_handler;
    std::mutex m_mutex;
    std::condition_variable_any m_changed;
    // A sender's lane exists while it has traps waiting or in hand; it is in
    // m_ready while a trap of it waits and none is in hand.
    std::unordered_map<std::uint32_t, Lane> m_lanes;
    std::deque<std::uint32_t> m_ready;
    std::size_t m_bytes = 0;
    std::size_t m_idle = 0;
    std::vector<std::jthread> m_threads;
};
