// The filter: a worker thread that lists, in file order, the start of every
// line that holds a match of a pattern (or, inverted, of every line that
// does not), while the window that asked stays live.
//
// The worker reads the file through its own scan reader (over an
// IChunkReader, pread by default), never through a window's mapping, and touches nothing else:
// its results are behind a lock, read by the owner at any time, and a
// callback tells the owner that there is news (from the worker's thread, at
// most every few dozen milliseconds and at the end of each scan).
//
// Lines follow the line rules of the text window (CR, LF, CR LF, LF CR,
// pairs formed from the left); a NUL is a unit of its line. A listed line
// costs 8 bytes (its start); the list stops growing at a cap (256 MiB of
// offsets) and says so. A read that comes back short (the file was
// truncated under the scan) ends the scan; the owner rebuilds on reload.
#pragma once

#include "engine/ChunkReader.h"
#include "engine/GrowingScan.h"
#include "engine/LineMatcher.h"
#include "engine/ScanReader.h"
#include "engine/WorkPool.h"
#include "platform/File.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace linefilter {

// Line starts in blocks that never move: 8 bytes an entry and no copy as it grows.
class COffsetList {
public:
    std::int64_t Count() const { return m_count; }
    std::int64_t At(std::int64_t i) const { return m_blocks[i >> kShift][i & kMask]; }
    void Append(std::int64_t v);
    void PopBack() { --m_count; }
    void Clear();
    // Index of the first entry not below v (Count() when none).
    std::int64_t LowerBound(std::int64_t v) const;

private:
    static constexpr int kShift = 16;
    static constexpr std::int64_t kMask = (std::int64_t{1} << kShift) - 1;
    std::vector<std::unique_ptr<std::int64_t[]>> m_blocks;
    std::int64_t m_count = 0;
};

struct FilterStatus {
    std::int64_t count = 0;  // lines listed so far
    int percent = 0;         // of the data scanned
    bool running = false;    // a scan is under way
    bool capped = false;     // the list reached its cap and stopped growing
    bool shortRead = false;  // the file ended before the scan did
};

class CLineFilter : public engine::CGrowingScan {
public:
    static constexpr std::int64_t kMaxEntries = (std::int64_t{256} << 20) / 8;

    // chunkBytes, maxEntries and split are for tests (small chunks, a low
    // cap, small blocks). A scan longer than the split's threshold lists each
    // chunk in pieces on every core of the pool.
    explicit CLineFilter(std::size_t chunkBytes = std::size_t{1} << 20, std::int64_t maxEntries = kMaxEntries,
                         const engine::BlockSplit& split = {});
    ~CLineFilter();  // cancels and joins
    CLineFilter(const CLineFilter&) = delete;
    CLineFilter& operator=(const CLineFilter&) = delete;

    // Cancels what runs and starts listing [dataStart, dataEnd) of the text.
    // False, with the reason in `error`, for a pattern that cannot be used.
    bool Start(std::unique_ptr<IChunkReader> reader, const TextForm& form, const FilterQuery& query,
               std::int64_t dataStart, std::int64_t dataEnd, std::string* error);
    // Grow, Rebuild, Stop, WaitIdle and SetNotify come from the growing scan: on Grow the lines from the one
    // that held the old end are matched again and appended; Rebuild lists afresh; Stop keeps the list.
    FilterStatus Status() const;
    std::int64_t Count() const;
    std::int64_t At(std::int64_t i) const;  // -1 out of range
    std::int64_t LowerBound(std::int64_t offset) const;
    // Entries [first, first + count) (clamped to the list) under one lock.
    std::vector<std::int64_t> Entries(std::int64_t first, std::int64_t count) const;
    const FilterQuery& Query() const { return m_query; }
    bool Active() const { return m_matcher != nullptr; }

    // Given before Start: called on the scan's thread after the lines of each
    // chunk are in the list (Count includes them), with the chunk's bytes,
    // [base, base + bytes) of the file, valid during the call. Every line
    // listed from a chunk lies wholly in it, so a listing that shows its
    // lines takes them from here and the text is read once.
    using ChunkSink = std::function<void(const std::uint8_t* data, std::int64_t base, std::size_t bytes)>;
    void SetChunkSink(ChunkSink sink) { m_sink = std::move(sink); }

private:
    void Run();
    void ScanTo(std::int64_t target);
    // The lines of the chunk [0, cut) of m_buffer that read at `base`.
    void ListChunk(std::int64_t base, std::size_t cut);
    void ListPiece(ILineMatcher& matcher, const std::uint8_t* data, std::int64_t base, std::size_t cut,
                   std::size_t room, std::vector<std::int64_t>& out) const;
    bool ListLine(std::int64_t offset);
    void Publish(bool force, bool last = false);

    // Fixed while a worker runs.
    std::size_t m_chunkBytes;
    std::int64_t m_maxEntries;
    std::unique_ptr<IChunkReader> m_reader;
    std::unique_ptr<ILineMatcher> m_matcher;
    std::vector<std::unique_ptr<ILineMatcher>> m_moreMatchers;  // one for every other thread of the pool
    engine::BlockSplit m_split;
    FilterQuery m_query;
    TextForm m_form;
    std::uint16_t m_cr = '\r', m_lf = '\n';
    ChunkSink m_sink;

    // The worker's own.
    std::unique_ptr<CScanReader> m_scan;              // reads m_reader, cancelled by m_stop
    std::vector<std::vector<std::int64_t>> m_pieces;  // the lines of each piece of a chunk
    bool m_splitting = false;                         // this scan lists its chunks in pieces
    std::vector<std::int64_t> m_pending;              // found, not yet published
    std::int64_t m_listed = 0;                        // entries in the list when last published
    bool m_full = false;                              // the cap was reached
    std::int64_t m_scanned = 0;                       // the scan has listed every line before this line start

    // Shared, under m_mutex.
    COffsetList m_list;
    bool m_capped = false, m_shortRead = false;
};

}  // namespace linefilter
