#include "core/traps/SenderLanes.h"

#include <exception>

SenderLanes::SenderLanes(Limits limits, Handler handler)
    : m_limits(limits), m_handler(std::move(handler)) {}

SenderLanes::~SenderLanes() {
    // Every thread is told first, so their requests end together.
    for (auto& thread : m_threads) {
        thread.request_stop();
    }
    m_threads.clear();
}

SenderLanes::Admission SenderLanes::Add(std::uint32_t sender, SnmpTrap trap) {
    std::size_t bytes = TrapFootprint(trap);
    {
        std::lock_guard lock(m_mutex);
        if (m_bytes + bytes > m_limits.budgetBytes) {
            return Admission::OverBudget;
        }
        auto [entry, fresh] = m_lanes.try_emplace(sender);
        Lane& lane = entry->second;
        if (lane.bytes + bytes > m_limits.senderBytes) {
            if (fresh) {
                m_lanes.erase(entry);
            }
            return Admission::SenderFull;
        }
        lane.traps.emplace_back(std::move(trap), bytes);
        lane.bytes += bytes;
        m_bytes += bytes;
        if (fresh) {
            m_ready.push_back(sender);
            if (m_idle < m_ready.size() && m_threads.size() < m_limits.threads) {
                m_threads.emplace_back([this](std::stop_token stop) { Work(stop); });
            }
        }
    }
    m_changed.notify_one();
    return Admission::Accepted;
}

void SenderLanes::Work(const std::stop_token& stop) {
    std::unique_lock lock(m_mutex);
    for (;;) {
        ++m_idle;
        m_changed.wait(lock, stop, [this] { return !m_ready.empty(); });
        --m_idle;
        // Stopped: the traps still waiting are dropped, not handled in a hurry.
        if (stop.stop_requested()) {
            return;
        }
        std::uint32_t sender = m_ready.front();
        m_ready.pop_front();
        // References into the map stay valid while other lanes come and go.
        Lane& lane = m_lanes.at(sender);
        auto [trap, bytes] = std::move(lane.traps.front());
        lane.traps.pop_front();
        lock.unlock();
        try {
            m_handler(trap, stop);
        } catch (const std::exception&) {
            // Out of memory for this one trap: it is lost, the lane goes on.
        }
        lock.lock();
        lane.bytes -= bytes;
        m_bytes -= bytes;
        if (lane.traps.empty()) {
            m_lanes.erase(sender);
        } else {
            // Behind the senders already waiting, so every sender gets its turn.
            m_ready.push_back(sender);
            m_changed.notify_one();
        }
    }
}
