#pragma once

#include <algorithm>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <thread>
#include <vector>

// Runs the work items 0..count-1 of a sequence ahead of it, on up to `width`
// threads, and hands the results back in the sequence's own order: Take(k)
// waits for item k. Items are started in order and never more than a bounded
// distance ahead of the sequence (`lookahead`; 0: four times the width, at
// least 256), so a sequence that stops early leaves little work behind.
// Whatever the caller does with the results (messages, logging, database
// changes) stays in its own thread and order, so a run differs from one item
// at a time only in how long it takes.
template <typename Result>
class RunAhead {
public:
    using Work = std::function<Result(std::uint64_t index)>;

    RunAhead(std::size_t width, std::uint64_t count, Work work, std::uint64_t lookahead = 0)
        : m_count(count),
          m_lookahead(lookahead != 0 ? lookahead : std::max<std::uint64_t>(4 * width, 256)),
          m_work(std::move(work)) {
        width = static_cast<std::size_t>(
            std::min<std::uint64_t>(std::max<std::size_t>(width, 1), count));
        m_threads.reserve(width);
        for (std::size_t i = 0; i < width; ++i) {
            m_threads.emplace_back([this] { Run(); });
        }
    }
    ~RunAhead() { Cancel(); }
    RunAhead(const RunAhead&) = delete;
    RunAhead& operator=(const RunAhead&) = delete;

    // The result of item `index`; indices must be taken in increasing order
    // (indices passed over are dropped).
    Result Take(std::uint64_t index) {
        std::unique_lock lock(m_mutex);
        // Results of the indices passed over are no longer wanted.
        m_results.erase(m_results.begin(), m_results.lower_bound(index));
        m_wanted = index;
        m_changed.notify_all();
        m_changed.wait(lock, [&] { return m_results.count(index) != 0; });
        Result result = std::move(m_results.at(index));
        m_results.erase(index);
        m_wanted = index + 1;
        m_changed.notify_all();
        return result;
    }
    // Starts no further item and waits for those in flight.
    void Cancel() {
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

private:
    void Run() {
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
            Result result = m_work(index);
            lock.lock();
            if (index >= m_wanted) {
                m_results.emplace(index, std::move(result));
            }
            m_changed.notify_all();
        }
    }

    const std::uint64_t m_count;
    const std::uint64_t m_lookahead;
    Work m_work;

    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::uint64_t m_nextToStart = 0;
    std::uint64_t m_wanted = 0;  // the index the sequence takes next
    bool m_cancelled = false;
    std::map<std::uint64_t, Result> m_results;

    std::vector<std::jthread> m_threads;
};
