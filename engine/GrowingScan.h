// What a background scan of a file that may grow shares with its owner: the
// data's end the owner last gave, whether to start over, the worker thread,
// its stop flag, and the owner's news callback. The filter's list and a
// window's shown set are such scans: their workers wait on m_wake for a new
// end, scan to it, and signal m_idle when they have reached it.
#pragma once

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>

namespace engine {

class CGrowingScan {
public:
    // The data now ends at dataEnd, after what was there before.
    void Grow(std::int64_t dataEnd);
    // The data changed otherwise (truncated, replaced): scan it afresh.
    void Rebuild(std::int64_t dataEnd);
    // Cancels the scan and joins the worker; what it found stays as it is.
    void Stop();
    // Waits until the scan has reached the data's end (tests, the probe).
    void WaitIdle();
    // Called from the worker when there is news (it must only post).
    void SetNotify(std::function<void()> notify);

protected:
    CGrowingScan() = default;
    ~CGrowingScan() = default;  // the scan's own destructor stops the worker first
    CGrowingScan(const CGrowingScan&) = delete;
    CGrowingScan& operator=(const CGrowingScan&) = delete;

    bool Cancelled() const { return m_stop.load(std::memory_order_relaxed); }
    // The data's end, lowered onto the code-unit grid.
    std::int64_t OnGrid(std::int64_t dataEnd) const
    {
        return m_dataStart + (std::max(dataEnd - m_dataStart, std::int64_t{0}) / m_unit) * m_unit;
    }

    // Under m_mutex, as the worker publishes: the current scan's progress from what it has read, and the news
    // callback when news is due (at most every 30 ms, or now when forced), else an empty one, to be called
    // once the lock is let go.
    std::function<void()> NotePublished(bool force, bool last);

    // Fixed while a worker runs.
    std::int64_t m_dataStart = 0;
    unsigned m_unit = 1;
    // The worker's, read under m_mutex by WaitIdle: the end the current scan goes to.
    std::int64_t m_scanEnd = 0;
    std::int64_t m_scanStart = 0;  // where the current scan began
    std::int64_t m_reached = 0;    // how far it has read
    std::chrono::steady_clock::time_point m_lastNotify;

    // Shared, under m_mutex.
    mutable std::mutex m_mutex;
    std::condition_variable m_wake, m_idle;
    std::int64_t m_target = 0;  // the data's end as the owner last said
    bool m_rebuild = false;     // start over from the data's start
    bool m_running = false;
    std::function<void()> m_notify;
    int m_percent = 0;
    std::atomic<bool> m_stop{false};
    std::thread m_thread;
};

}  // namespace engine
