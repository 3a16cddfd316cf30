#include "engine/WorkPool.h"

#include <algorithm>
#include <chrono>
#include <memory>

namespace engine {

CWorkPool::CWorkPool(unsigned threads) : m_nThreads(std::max(threads, 1u))
{
    for (unsigned i = 0; i < m_nThreads; ++i)
        m_threads.emplace_back([this] { Run(); });
}

CWorkPool::~CWorkPool()
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_stop = true;
    }
    m_wake.notify_all();
    for (std::thread& t : m_threads)
        t.join();
}

CWorkPool& CWorkPool::Shared()
{
    static CWorkPool pool(std::max(std::thread::hardware_concurrency(), 2u));
    return pool;
}

void CWorkPool::Post(std::function<void()> task)
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_tasks.push_back(std::move(task));
    }
    m_wake.notify_one();
}

CWorkPool::CKeptCore::CKeptCore(CWorkPool& pool) : m_pool(pool)
{
    std::lock_guard<std::mutex> lock(m_pool.m_mutex);
    ++m_pool.m_nKept;
}

CWorkPool::CKeptCore::~CKeptCore()
{
    {
        std::lock_guard<std::mutex> lock(m_pool.m_mutex);
        --m_pool.m_nKept;
    }
    m_pool.m_wake.notify_all();
}

bool CWorkPool::WouldStartNow()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_tasks.empty() && m_nBusy < Takers();
}

unsigned CWorkPool::Takers() const
{
    return m_nThreads - std::min(m_nKept, m_nThreads - 1);
}

bool CWorkPool::MayTake() const
{
    return !m_tasks.empty() && (m_stop || m_nBusy < Takers());
}

void CWorkPool::Run()
{
    for (;;) {
        std::function<void()> task;
        {
            std::unique_lock<std::mutex> lock(m_mutex);
            m_wake.wait(lock, [&] { return m_stop || MayTake(); });
            if (!MayTake())
                return;  // stopping, and nothing is left to run
            task = std::move(m_tasks.front());
            m_tasks.pop_front();
            ++m_nBusy;
        }
        task();
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            --m_nBusy;
        }
        // A thread held back may take the next task now.
        m_wake.notify_one();
    }
}

namespace {

void RunBlocksThen(std::size_t n, const std::function<void(std::size_t)>& task, const std::function<void()>& beside,
                   const std::function<void()>& wait, CWorkPool& pool)
{
    struct Join {
        std::mutex mutex;
        std::condition_variable done;
        std::size_t left;
    };
    auto join = std::make_shared<Join>();
    join->left = n;
    for (std::size_t i = 0; i < n; ++i)
        pool.Post([join, &task, i] {
            task(i);
            std::lock_guard<std::mutex> lock(join->mutex);
            if (--join->left == 0)
                join->done.notify_all();
        });
    if (beside)
        beside();
    std::unique_lock<std::mutex> lock(join->mutex);
    while (join->left > 0) {
        if (!wait) {
            join->done.wait(lock);
            continue;
        }
        join->done.wait_for(lock, std::chrono::milliseconds(5));
        lock.unlock();
        wait();
        lock.lock();
    }
}

}  // namespace

void RunBlocks(std::size_t n, const std::function<void(std::size_t)>& task, const std::function<void()>& wait,
               CWorkPool& pool)
{
    RunBlocksThen(n, task, {}, wait, pool);
}

void RunBlocksBeside(std::size_t n, const std::function<void(std::size_t)>& task, const std::function<void()>& beside,
                     CWorkPool& pool)
{
    RunBlocksThen(n, task, beside, {}, pool);
}

std::size_t FirstDecidingBlock(std::size_t n, const BlockDecision& decide, const std::atomic<bool>* cancel,
                               const std::function<void()>& poll)
{
    std::atomic<std::size_t> lowest{n};
    std::atomic<std::int64_t> ticks{0};
    const std::function<void()> tick = [&ticks] { ticks.fetch_add(1, std::memory_order_relaxed); };
    const std::unique_ptr<std::atomic<bool>[]> stop(new std::atomic<bool>[n]);
    for (std::size_t i = 0; i < n; ++i)
        stop[i] = false;
    auto stopAbove = [&](std::size_t k) {
        for (std::size_t j = k; j < n; ++j)
            stop[j].store(true, std::memory_order_relaxed);
    };
    auto cancelled = [&] { return cancel && cancel->load(std::memory_order_relaxed); };
    auto pollTicks = [&] {
        for (std::int64_t t = ticks.exchange(0); t > 0 && !cancelled(); --t)
            if (poll)
                poll();
    };
    RunBlocks(
        n,
        [&](std::size_t i) {
            if (i > lowest.load() || stop[i].load(std::memory_order_relaxed) || !decide(i, stop[i], tick))
                return;
            std::size_t seen = lowest.load();
            while (i < seen && !lowest.compare_exchange_weak(seen, i)) {
            }
            stopAbove(i + 1);
        },
        [&] {
            pollTicks();
            if (cancelled())
                stopAbove(0);
        });
    pollTicks();  // the reads of the last few milliseconds
    // A block stopped by the caller's cancel decides nothing: nothing is found.
    return cancelled() ? n : lowest.load();
}

}  // namespace engine
