#include "core/discovery/ProbeAhead.h"

#include <algorithm>

ProbeAhead::ProbeAhead(std::size_t width, std::uint64_t count, Probe probe)
    : m_count(count),
      m_lookahead(std::max<std::uint64_t>(4 * width, 256)),
      m_probe(std::move(probe)) {
    width =
        static_cast<std::size_t>(std::min<std::uint64_t>(std::max<std::size_t>(width, 1), count));
    m_threads.reserve(width);
    for (std::size_t i = 0; i < width; ++i) {
        m_threads.emplace_back([this] { Work(); });
    }
}

ProbeAhead::~ProbeAhead() {
    Cancel();
}

void ProbeAhead::Cancel() {
    {
        std::lock_guard lock(m_mutex);
        m_cancelled = true;
    }
    m_changed.notify_all();
    for (auto& thread : m_threads) {
        if (thread.joinable()) {
            thread.join();
        }
    }
}

void ProbeAhead::Work() {
    std::unique_lock lock(m_mutex);
    while (true) {
        m_changed.wait(lock, [this] {
            return m_cancelled || m_nextToStart >= m_count ||
                   m_nextToStart < m_wanted + m_lookahead;
        });
        if (m_cancelled || m_nextToStart >= m_count) {
            return;
        }
        std::uint64_t index = m_nextToStart++;
        lock.unlock();
        Result result = m_probe(index);
        lock.lock();
        if (index >= m_wanted) {
            m_results.emplace(index, std::move(result));
        }
        m_changed.notify_all();
    }
}

ProbeAhead::Result ProbeAhead::Take(std::uint64_t index) {
    std::unique_lock lock(m_mutex);
    // Results of the indices passed over are no longer wanted.
    m_results.erase(m_results.begin(), m_results.lower_bound(index));
    m_wanted = index;
    m_changed.notify_all();
    m_changed.wait(lock, [&] { return m_results.count(index) != 0; });
    Result result = std::move(m_results[index]);
    m_results.erase(index);
    m_wanted = index + 1;
    m_changed.notify_all();
    return result;
}
