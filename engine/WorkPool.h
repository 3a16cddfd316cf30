// The engine's worker threads: one small pool for every background scan, as
// many threads as the machine has cores (at least 2), started on first use and
// joined when the process ends. A scan splits its range into blocks, hands
// them out as tasks and waits for them; a task never waits for another task,
// so a full pool only queues, never deadlocks.
//
// One rule for cancelling: a scan's tasks look at one atomic flag (the
// caller's, or the scan's own when a lower block has already decided), and a
// scan that returns has joined every task it started: nothing of it runs on
// after its caller's descriptor is closed.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace engine {

class CWorkPool {
public:
    explicit CWorkPool(unsigned threads);
    ~CWorkPool();
    CWorkPool(const CWorkPool&) = delete;
    CWorkPool& operator=(const CWorkPool&) = delete;

    // The process's pool.
    static CWorkPool& Shared();
    unsigned Threads() const { return m_nThreads; }
    void Post(std::function<void()> task);
    // Whether a task posted now would start at once (a thread is free and
    // nothing waits before it). A hint: by the time it is posted that may
    // have changed.
    bool WouldStartNow();

    // While a thread of its own counts (the line index's worker), one of the
    // pool's threads is held back, so that a scan filling the pool leaves
    // that thread a core. At least one thread always takes tasks, so every
    // task still runs.
    class CKeptCore {
    public:
        explicit CKeptCore(CWorkPool& pool);
        ~CKeptCore();
        CKeptCore(const CKeptCore&) = delete;
        CKeptCore& operator=(const CKeptCore&) = delete;

    private:
        CWorkPool& m_pool;
    };

private:
    void Run();
    // How many threads may run tasks at once: all but the kept ones, and at least one (under m_mutex).
    unsigned Takers() const;
    bool MayTake() const;

    const unsigned m_nThreads;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::deque<std::function<void()>> m_tasks;
    unsigned m_nBusy = 0;  // threads running a task
    unsigned m_nKept = 0;  // cores kept by counting threads
    bool m_stop = false;
    std::vector<std::thread> m_threads;
};

// Runs task(0) .. task(n - 1) on the pool and returns when all have ended.
// While it waits, `wait` is called on the caller's thread every few
// milliseconds (a window on the user-interface thread keeps answering there
// and may raise the cancel flag that the tasks look at).
void RunBlocks(std::size_t n, const std::function<void(std::size_t)>& task, const std::function<void()>& wait = {},
               CWorkPool& pool = CWorkPool::Shared());

// Runs task(0) .. task(n - 1) on the pool and, meanwhile, `beside` on the
// caller's thread; returns when all have ended. A scan whose serial step
// follows its blocks overlaps that step of one round with the next round.
void RunBlocksBeside(std::size_t n, const std::function<void(std::size_t)>& task, const std::function<void()>& beside,
                     CWorkPool& pool = CWorkPool::Shared());

// How a long scan is cut into blocks for the pool: a range longer than
// minBytes (when the pool has more than one thread) goes in blocks of about
// blockBytes. Tests make both small.
struct BlockSplit {
    std::int64_t minBytes = std::int64_t{16} << 20;
    std::int64_t blockBytes = std::int64_t{4} << 20;
    bool Splits(std::int64_t bytes) const { return bytes > minBytes && CWorkPool::Shared().Threads() > 1; }
};

// A forward search in blocks: decide(i, stop, tick) scans block i and says
// whether it decides the search (a match, or the end of what may be
// searched); the answer is the lowest block that decides, or n when none
// does. A block's `stop` is raised once a lower block has decided (its work
// can no longer matter) or when *cancel is raised. A block calls `tick`
// before each of its reads; for each tick, `poll` is called once on the
// caller's thread while it waits (so a window polls as often as a scan in one
// piece would make it), and no more once *cancel is raised.
using BlockDecision =
    std::function<bool(std::size_t, const std::atomic<bool>& stop, const std::function<void()>& tick)>;
std::size_t FirstDecidingBlock(std::size_t n, const BlockDecision& decide, const std::atomic<bool>* cancel,
                               const std::function<void()>& poll);

}  // namespace engine
