// The alert and stop rules over appended text: a worker thread finds the
// first line of each growth that an alert rule matches and the first that a
// stop rule matches, while the window that shows the text stays live however
// fast it grows.
//
// The worker reads through its own buffer (an IChunkReader), never through a
// window's mapping, and matches with the filter's matchers (LineMatcher.h),
// one for each rule. What it finds waits behind a lock until the owner takes
// it; a callback (on the worker's thread) tells the owner that there is news.
// Once a line for alerts and one for stops wait, the worker only counts the
// text as seen: the owner acts on the first of each, no more.
#pragma once

#include "engine/ChunkReader.h"
#include "engine/LineMatcher.h"

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace linefilter {

// One rule to look for: `index` is the owner's number for it (reported back).
struct AlertRule {
    int index = -1;
    bool stop = false;
    FilterQuery query;
};

// What the worker found since the owner last took it: the start of a line and the first rule (by index) that it
// matches, for alerts (every rule) and stops (stop rules only); -1 when none.
struct AlertNews {
    std::int64_t alertLine = -1, stopLine = -1;
    int alertRule = -1, stopRule = -1;
    bool Any() const { return alertRule >= 0 || stopRule >= 0; }
};

class CAlertScanner {
public:
    // chunkBytes is for tests (small chunks).
    explicit CAlertScanner(std::size_t chunkBytes = std::size_t{1} << 20);
    ~CAlertScanner();  // cancels and joins
    CAlertScanner(const CAlertScanner&) = delete;
    CAlertScanner& operator=(const CAlertScanner&) = delete;

    // Cancels what runs, forgets what was found and starts a worker for `rules` over text of `form`. A rule whose
    // pattern cannot be used is left out; false when none is left.
    bool Start(std::unique_ptr<IChunkReader> reader, const TextForm& form, const std::vector<AlertRule>& rules);
    // The text [from, to) arrived (`from` a line start): its lines are matched after what was asked before. A
    // `from` below what the worker has seen (a line that grew) has that line matched again.
    void Scan(std::int64_t from, std::int64_t to);
    // Cancels the scan and joins the worker; what waits stays.
    void Stop();
    // Waits until the worker has seen all that was asked (tests, benchmarks).
    void WaitIdle();
    bool Idle() const;

    void SetNotify(std::function<void()> notify);
    // What waits, handed over (and no longer waiting).
    AlertNews Take();

private:
    struct Matcher {
        int index;
        bool stop;
        std::unique_ptr<ILineMatcher> m;
    };
    void Run();
    // Matches the chunk [0, cut) of m_buffer, read at `base`, for what `want` still lacks.
    void MatchChunk(std::int64_t base, std::size_t cut, AlertNews& found, bool wantAlert, bool wantStop);
    // The first line of the chunk that matcher `m` matches, at or after `from` and below `below`; `below` when none.
    std::size_t FirstLine(Matcher& m, std::size_t from, std::size_t cut, std::size_t below);

    // Fixed while a worker runs.
    std::size_t m_chunkBytes;
    std::unique_ptr<IChunkReader> m_reader;
    std::vector<Matcher> m_matchers;
    unsigned m_unit = 1;
    std::uint16_t m_cr = '\r', m_lf = '\n';
    std::vector<std::uint8_t> m_buffer;  // the worker's own

    // Shared, under m_mutex.
    mutable std::mutex m_mutex;
    std::condition_variable m_wake, m_idle;
    std::int64_t m_pos = 0, m_target = 0;  // seen up to m_pos; asked up to m_target
    std::int64_t m_rescan = INT64_MAX;     // asked again from here (a line that grew) while a chunk was read
    bool m_busy = false;
    AlertNews m_news;
    std::function<void()> m_notify;
    std::atomic<bool> m_stop{false};
    std::thread m_thread;
};

}  // namespace linefilter
