// Line numbers for files of any size: a worker thread counts the line breaks
// of the text once, behind the reader's back, and keeps the count at sparse
// checkpoints only (one every kStride bytes, never one per line), so that the
// number of any counted position, or the start of any counted line, costs one
// count over less than kStride bytes.
//
// The rules of counting are the line model's forward reading: CR LF and LF CR
// are one break each, pairs forming from the left (LF CR LF is a pair and a
// lone LF); a NUL is an ordinary character here. The file's lines are its
// breaks, plus one when text follows the last break. A position's line is one
// more than the breaks that end at or before it: a position between the two
// units of a pair belongs to the line that the pair ends.
//
// Threads: the worker and the UI thread both count through their own scan
// readers over the one chunk source (the worker's cancelled by StopWorker)
// and commit under one lock; a count made against a stale state is dropped.
#pragma once

#include "engine/ChunkReader.h"
#include "engine/PassWorker.h"
#include "engine/ScanReader.h"
#include "engine/SearchKernels.h"
#include "engine/TextPos.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

// The break units of an encoding as a 16-bit load of the stored bytes sees
// them (UTF-16 BE values byte-swapped); narrow text uses the low byte.
struct BreakUnits {
    unsigned unit = 1;  // bytes per code unit: 1 or 2
    std::uint16_t cr = 0x0D;
    std::uint16_t lf = 0x0A;
};

// The state of a forward count: breaks started so far and the break unit just
// passed when it may still pair with the next unit (0 when none).
struct BreakState {
    std::int64_t breaks = 0;
    std::uint16_t pending = 0;
};

// Counts breaks over consecutive pieces of text; a pair split between two
// pieces is counted once. Text with CRs is counted 64 units at a time with
// the vector instructions of `isa` (AVX2 where the processor has it).
class CBreakCounter {
public:
    explicit CBreakCounter(BreakUnits u, BreakState s = {}, searchkernels::Isa isa = searchkernels::BestIsa())
        : m_u(u), m_s(s), m_isa(isa)
    {
    }
    // n bytes at p, a whole number of units.
    void Feed(const std::uint8_t* p, std::uint64_t n);
    // One unit, as Feed counts it.
    void Step(std::uint16_t u);
    const BreakState& State() const { return m_s; }
    bool IsBreakUnit(std::uint16_t u) const { return u == m_u.cr || u == m_u.lf; }
    // Whether a unit `u` right after the counted text completes a pair (the
    // counted text then ends inside that pair).
    bool PairsWith(std::uint16_t u) const { return m_s.pending && IsBreakUnit(u) && u != m_s.pending; }

private:
    template <int UnitBytes>
    void FeedUnits(const std::uint8_t* p, std::uint64_t units);

    BreakUnits m_u;
    BreakState m_s;
    searchkernels::Isa m_isa;
};

class CLineIndex {
public:
    static constexpr std::int64_t kStride = 64 * 1024;   // bytes between checkpoints
    static constexpr std::int64_t kChunk = 1024 * 1024;  // bytes counted between two commits
    static constexpr std::int64_t kRead = 256 * 1024;    // bytes read at once by the worker

    // The text from `dataStart` on, read through `reader`. `notify`, when
    // given, is called from the worker after each stretch it counts and when
    // it is done; it must only post.
    CLineIndex(std::unique_ptr<IChunkReader> reader, std::int64_t dataStart, BreakUnits units,
               std::function<void()> notify = {});
    ~CLineIndex();  // stops the worker
    CLineIndex(const CLineIndex&) = delete;
    CLineIndex& operator=(const CLineIndex&) = delete;

    // The text now ends at `end`. When the text up to the counted part no
    // longer reads as it did (the file was truncated or replaced), the count
    // starts again. Starts the worker towards `end` when `run`.
    void SetEnd(std::int64_t end, bool run);
    void StopWorker();
    bool IsWorking() const { return m_worker.IsWorking(); }
    // Blocks until the worker has counted everything (for scripts and tests).
    void WaitForWorker();

    std::int64_t CountedEnd() const;
    bool IsComplete() const;
    std::size_t IndexBytes() const;

    // The line of p, or -1 when p lies beyond the counted part.
    std::int64_t LineNumberAt(std::int64_t p);
    // The lines of ascending positions in one pass (-1 for each one beyond the counted part).
    std::vector<std::int64_t> LineNumbersAt(const std::vector<std::int64_t>& sorted);
    // Counts here and now (the caller's thread) up to `to`, keeping what it learns.
    void CountUpTo(std::int64_t to);
    // The number of lines of the whole text (counting what is left).
    std::int64_t LineCount();
    // Where line n (1-based) starts, counting as far as needed; -1 beyond the last line.
    std::int64_t LineStart(std::int64_t n);

private:
    struct Snapshot {
        std::int64_t at = 0;
        BreakState state;
        std::uint64_t generation = 0;
    };
    // What counting [from, to) found: the state at its end, the states at
    // the stride boundaries in it, where it stopped, and its last bytes.
    struct Part {
        explicit Part(CBreakCounter c) : counter(c) {}
        CBreakCounter counter;
        std::vector<BreakState> found;
        std::int64_t pos = 0;
        std::uint8_t tail[64] = {};
        std::size_t tailBytes = 0;
    };
    void CountPart(CScanReader& reader, std::int64_t from, std::int64_t to, Part& part) const;
    // The first unit boundary at or after `at` (and before `limit`) that
    // follows a unit that is no break, where counting may start afresh; -1 when none near.
    std::int64_t CleanCut(std::int64_t at, std::int64_t limit) const;
    // Counts the next stretch after the counted part through `reader`;
    // false when nothing is left to count (or the reader was cancelled).
    // A stretch's second half is read through `halfReader`, the caller's own as `reader` is (the worker
    // and the UI thread may both count).
    bool CountNext(CScanReader& reader, CScanReader& halfReader, std::int64_t to);
    Snapshot CheckpointBefore(std::int64_t p) const;
    // Counts [from, to) on from state s through the UI buffer.
    BreakState CountRange(BreakState s, std::int64_t from, std::int64_t to);
    std::uint16_t UnitAt(std::int64_t p);
    void Reset();
    void Run();
    bool StillReadsTheSame();

    std::unique_ptr<IChunkReader> m_pReader;
    const std::int64_t m_nStart;
    const BreakUnits m_units;
    std::function<void()> m_notify;

    mutable std::mutex m_mutex;
    std::vector<BreakState> m_checkpoints;  // state at m_nStart + k * kStride
    std::int64_t m_nCounted;                // counted up to here
    BreakState m_tail;                      // state at m_nCounted
    std::int64_t m_nEnd;                    // the text's end as last told
    std::uint64_t m_nGeneration = 0;        // bumped by every restart
    std::uint8_t m_fingerprint[64] = {};    // the bytes just before m_nCounted
    int m_nFingerprint = 0;

    engine::CPassWorker m_worker;
    std::condition_variable m_done;
    std::unique_ptr<CScanReader> m_pUiScan;      // the caller's reads (UI thread only); the worker has its own
    std::unique_ptr<CScanReader> m_pUiHalfScan;  // the UI thread's reads of a stretch's second half
};
