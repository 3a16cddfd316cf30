// The shown set of a window that hides lines: a worker thread reads the text
// through a chunk reader of its own (pread by default, never a window's
// mapping), matches each chunk's lines against the rules of a filter stack
// (engine/FilterStack.h) and lists what is shown as runs of whole lines,
// (start, end) byte ranges of 16 bytes each: never a table of every line. The
// window walks the lines inside the runs from its top position.
//
// Threads: the runs and the counts are behind a lock and read by the owner at
// any time; a callback tells the owner there is news (from the worker, at most
// every few dozen milliseconds and at the end of each scan; it must only
// post). The file growing scans on from the last complete line; truncated or
// replaced, the owner calls Rebuild. A long scan matches each chunk in pieces
// on the engine's pool. Where the scan has not yet reached, the owner may scan
// ahead on its own thread, a bounded number of bytes at a time.
//
// The last record at the data's end is decided as if the data ended there;
// when the file grows, that decision is taken back and made again with the
// lines that follow.
#pragma once

#include "engine/ChunkReader.h"
#include "engine/FilterStack.h"
#include "engine/GrowingScan.h"
#include "engine/LineMatcher.h"
#include "engine/LogFormat.h"
#include "engine/ScanReader.h"
#include "engine/WorkPool.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace shownset {

// Runs in blocks that never move, 16 bytes a run (the context flag in the
// end's top bit), with the shown bytes before each block for the scroll bar.
class CRunList {
public:
    std::int64_t Count() const { return m_count; }
    ShownRun At(std::int64_t i) const;
    void Append(const ShownRun& run);  // merged into the last run when it continues it
    void Truncate(std::int64_t n);
    void Clear();
    // Index of the last run that starts at or before pos (-1 when none).
    std::int64_t LastAtOrBefore(std::int64_t pos) const;
    // Shown bytes before pos.
    std::int64_t BytesBefore(std::int64_t pos) const;
    // The position that `bytes` shown bytes lie before (the inverse of BytesBefore); -1 without runs.
    std::int64_t PosAfterBytes(std::int64_t bytes) const;
    std::int64_t Bytes() const { return m_bytes; }
    std::size_t MemoryBytes() const;

private:
    struct Packed {
        std::int64_t start;
        std::uint64_t end;  // top bit: context
    };
    static_assert(sizeof(Packed) == 16, "a run costs 16 bytes");
    static constexpr int kShift = 12;
    static constexpr std::int64_t kMask = (std::int64_t{1} << kShift) - 1;
    static constexpr std::uint64_t kContextBit = std::uint64_t{1} << 63;
    static ShownRun Unpack(const Packed& p)
    {
        return {p.start, static_cast<std::int64_t>(p.end & ~kContextBit), (p.end & kContextBit) != 0};
    }
    Packed& Slot(std::int64_t i) { return m_blocks[static_cast<std::size_t>(i >> kShift)][i & kMask]; }
    const Packed& Slot(std::int64_t i) const { return m_blocks[static_cast<std::size_t>(i >> kShift)][i & kMask]; }

    std::vector<std::unique_ptr<Packed[]>> m_blocks;
    std::vector<std::int64_t> m_blockBytes;  // shown bytes before each block
    std::int64_t m_count = 0;
    std::int64_t m_bytes = 0;
};

struct ShownStatus {
    std::int64_t shownLines = 0;  // "N of M lines shown"
    std::int64_t totalLines = 0;
    std::vector<std::int64_t> ruleCounts;  // lines each rule matches (by the stack's index; 0 when off or invalid)
    std::vector<std::string> ruleErrors;   // why a rule that is on cannot be used (empty: it can)
    std::int64_t runs = 0;
    std::int64_t scannedTo = 0;  // the runs are final before this (the data's end once idle)
    int percent = 0;             // of the current scan
    bool running = false;
    bool shortRead = false;  // the file ended before the scan did
};

// What a bounded scan ahead found.
struct AheadRuns {
    std::vector<ShownRun> runs;  // those ending after the position asked for
    std::int64_t reached = 0;    // the scan decided everything before this
};

class CShownSet : public engine::CGrowingScan {
public:
    // chunkBytes and split are for tests (small chunks, small pieces).
    explicit CShownSet(std::size_t chunkBytes = std::size_t{1} << 20, const engine::BlockSplit& split = {});
    ~CShownSet();  // cancels and joins
    CShownSet(const CShownSet&) = delete;
    CShownSet& operator=(const CShownSet&) = delete;

    // Cancels what runs and starts deciding [dataStart, dataEnd) of the text
    // with `stack`. `format` (null: every line is a record without time or
    // level) outlives the scan. A rule whose pattern cannot be used is left
    // out and reported in the status with the matcher's message.
    void Start(std::unique_ptr<IChunkReader> reader, const linefilter::TextForm& form, const FilterStack& stack,
               const logformat::CFormat* format, timeseek::StampContext ctx, std::int64_t dataStart,
               std::int64_t dataEnd);
    // Grow, Rebuild (decide afresh), Stop, WaitIdle and SetNotify come from the growing scan.

    const FilterStack& Stack() const { return m_stack; }
    std::int64_t DataStart() const { return m_dataStart; }
    ShownStatus Status() const;

    // Paging, over the runs found so far. Positions are line starts.
    // The first shown line at or after pos (pos itself when shown); -1 when none.
    std::int64_t ShownAtOrAfter(std::int64_t pos) const;
    // Where the shown text before pos ends: the previous shown line is the
    // one that ends there (pos itself when the line before pos is shown); -1 when none.
    std::int64_t ShownEndBefore(std::int64_t pos) const;
    bool IsShown(std::int64_t pos) const;
    bool IsContext(std::int64_t pos) const;  // shown as a context line
    // Whether the shown line at lineStart follows hidden lines.
    bool FollowsHidden(std::int64_t lineStart) const;
    // The run holding pos, or the first after it; {-1, -1} when none.
    ShownRun RunAtOrAfter(std::int64_t pos) const;
    std::int64_t ShownBytesBefore(std::int64_t pos) const;
    std::int64_t ShownBytes() const;
    // Where `bytes` shown bytes from the start lie (inside a shown line, or at the end of the last run); -1
    // without runs. The scroll bar's thumb, scaled over the shown bytes, is taken back to a position with it.
    std::int64_t PosAfterShownBytes(std::int64_t bytes) const;
    // Runs [first, first + n) (fewer at the end), for the probe and tests.
    std::vector<ShownRun> Runs(std::int64_t first, std::int64_t n) const;

    // Scans on the caller's thread at most maxBytes of what the worker has
    // not decided yet, from pos (a line start), without changing the set:
    // from where the worker is when pos lies before it, else as if the
    // data began at pos (context and records from before pos unknown).
    AheadRuns ScanAhead(std::int64_t pos, std::int64_t maxBytes);

private:
    using LineInfo = LineFacts;
    // A thread's matchers (null: the rule is not used) and its scratch.
    struct Matchers {
        std::vector<std::unique_ptr<linefilter::ILineMatcher>> rules;
        std::vector<std::vector<std::size_t>> hits;  // each rule's matching line starts in a piece
        std::string ascii;
        std::vector<std::uint8_t> known;      // of the lines listed last: whether the format has read them
        std::unique_ptr<CScanReader> reader;  // a piece's own
    };
    enum class Split { Done, Serial, Short };
    Split SplitRound(std::int64_t from, std::int64_t to);
    std::int64_t FirstCut(std::int64_t at);
    bool ListRange(Matchers& m, std::int64_t from, std::int64_t to, std::vector<LineInfo>& out) const;
    Matchers MakeMatchers(std::vector<std::string>* errors) const;
    void Run();
    void ScanTo(std::int64_t end);
    // Appends the lines of [from, to) of `data` (whole lines) read at file offset base + from.
    void ListLines(Matchers& m, const std::uint8_t* data, std::int64_t base, std::size_t from, std::size_t to,
                   std::vector<LineInfo>& out) const;
    void Feed(CShownDecision& d, const std::vector<LineInfo>& lines, std::int64_t end,
              std::vector<ShownRun>& out) const;
    void FeedPending();  // decides the round that SplitRound listed last
    void Publish(bool force, bool last = false);
    std::size_t PieceChunk() const { return std::min(m_chunkBytes, CScanReader::kDefaultChunk); }

    // Fixed while a worker runs.
    std::size_t m_chunkBytes;
    engine::BlockSplit m_split;
    std::unique_ptr<IChunkReader> m_reader;
    FilterStack m_stack;
    std::vector<std::string> m_errors;
    linefilter::TextForm m_form;
    const logformat::CFormat* m_format = nullptr;
    timeseek::StampContext m_ctx;
    std::uint64_t m_include = 0, m_exclude = 0;
    std::uint16_t m_cr = '\r', m_lf = '\n';
    std::vector<Matchers> m_matchers;  // one set for each thread of the pool
    Matchers m_aheadMatchers;          // the owner's, for ScanAhead

    // The worker's own.
    std::unique_ptr<CScanReader> m_scan;
    std::vector<std::vector<LineInfo>> m_pieces;
    // The round listed last, not yet decided, and where its pieces end (empty: none).
    std::vector<std::vector<LineInfo>> m_pending;
    std::vector<std::int64_t> m_pendingAt;
    std::vector<LineInfo> m_lines;
    CShownDecision m_decision;    // after the complete lines before m_scanned
    std::vector<ShownRun> m_new;  // emitted, not yet published
    // At the data's end: the decision with the last, maybe incomplete, lines, and what it emitted.
    bool m_haveTail = false;
    CShownDecision m_tailDecision;
    std::vector<ShownRun> m_tailRuns;
    std::int64_t m_scanned = 0;

    // Shared, under m_mutex.
    CRunList m_runs;
    // The runs of the open record's tentative decision: undone before the next publish.
    std::int64_t m_tailFrom = -1;
    ShownRun m_tailLast{};  // the run before them as it was
    bool m_tailLastValid = false;
    CShownDecision m_published;  // the decision as of m_publishedAt, for ScanAhead
    std::int64_t m_publishedAt = 0;
    std::int64_t m_shownLines = 0, m_totalLines = 0, m_finalTo = 0;
    std::vector<std::int64_t> m_counts;
    bool m_shortRead = false;
};

}  // namespace shownset
