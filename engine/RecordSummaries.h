// What a log holds, block by block, learnt once in the background: for each
// 64 KiB block of a file with a format, the smallest and largest time of the
// records that start in it and how many records of each level fall in each of
// 16 equal slices of that span (each record by its own time). A timeline or a
// filter by level and time reads these instead of the file.
//
// A line belongs to the block it starts in. A line the format reads starts a
// record; a line it does not read continues one and is not counted; the lines
// before the file's first record have no time and are counted apart, in no
// slice. A record's line is read as the record reader reads it: its first
// CRecordReader::kLineUnits units.
//
// Threads: one worker per file reads it through a scan reader of its own over
// the chunk source (pread, never a mapping), cancelled by StopWorker, and
// appends each block once every line that starts in it is known; any thread
// reads what is done under the lock meanwhile. The blocks after the last done
// one are summarised as far as the text goes (its last line maybe cut) and
// shown as not done: growth summarises them again.
#pragma once

#include "engine/ChunkReader.h"
#include "engine/LineIndex.h"
#include "engine/LogFormat.h"
#include "engine/PassWorker.h"
#include "engine/WorkPool.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace logformat {

constexpr int kSlices = 16;
// Counted levels, indexed by Level: none (a record without a level), fatal .. trace.
constexpr int kLevels = 7;

struct BlockSummary {
    static constexpr std::uint32_t kNone = 0xFFFFFFFFu;
    // Of the records that start in the block (both 0 when none does).
    std::int64_t minMicros = 0, maxMicros = 0;
    // Records per slice and level. A 64 KiB block holds at most 65536 line
    // starts, so a counter could only overflow by one: counters saturate.
    std::uint16_t counts[kSlices][kLevels] = {};
    // Offsets in the block of its first line start and first record (kNone: none).
    std::uint32_t firstLine = kNone;
    std::uint32_t firstRecord = kNone;
    // Lines before the file's first record (saturating).
    std::uint16_t untimed = 0;

    bool HasRecords() const { return firstRecord != kNone; }
    // Slices are this wide, so that slice kSlices - 1 holds maxMicros.
    std::int64_t SliceWidth() const { return (maxMicros - minMicros) / kSlices + 1; }
    std::int64_t SliceStart(int slice) const { return minMicros + slice * SliceWidth(); }
    int SliceOf(std::int64_t micros) const { return static_cast<int>((micros - minMicros) / SliceWidth()); }
    std::uint32_t Records() const;
};
static_assert(sizeof(BlockSummary) <= 256, "a block's summary costs at most 256 bytes");

struct LevelCounts {
    std::uint64_t n[kLevels] = {};
    std::uint64_t Total() const;
};

class CRecordSummaries {
public:
    static constexpr std::int64_t kBlock = 64 * 1024;
    static constexpr std::int64_t kChunk = 1024 * 1024;  // bytes read at once

    // The text from `dataStart` on, read through `reader` with `format` (it
    // outlives this; null: a text without a format, which gets no blocks). `notify`, when given, is called from the worker
    // every 256 MiB and when it is done; it must only post.
    // A long first pass runs in pieces of about split.blockBytes on the engine's pool.
    CRecordSummaries(std::unique_ptr<IChunkReader> reader, std::int64_t dataStart, BreakUnits units,
                     const CFormat* format, timeseek::StampContext ctx, std::function<void()> notify = {},
                     engine::BlockSplit split = {});
    ~CRecordSummaries();  // stops the worker
    CRecordSummaries(const CRecordSummaries&) = delete;
    CRecordSummaries& operator=(const CRecordSummaries&) = delete;

    // The text now ends at `end`. A shorter text drops the blocks that the
    // cut may have changed; text that no longer reads as it did before the
    // summarised end (another file) starts over. Starts the worker when `run`.
    void SetEnd(std::int64_t end, bool run);
    void StopWorker();
    // Blocks until the worker has summarised everything (for scripts, benchmarks and tests).
    void WaitForWorker();
    bool IsWorking() const { return m_worker.IsWorking(); }
    // Every byte the worker reads is added here too (from the worker's thread).
    void SetProgress(std::atomic<std::int64_t>* bytes) { m_pProgress = bytes; }

    struct State {
        std::size_t done = 0;    // blocks 0 .. done - 1 are final
        std::size_t blocks = 0;  // done, then the blocks summarised so far beyond them
        std::int64_t summarisedEnd = 0;
        bool complete = false;  // everything up to the end as last told
        // How many times final blocks were dropped (a cut, another text): a reader that keeps copies of the
        // final blocks takes them all again when this changed.
        std::uint64_t drops = 0;
    };
    State GetState() const;
    // Blocks [first, first + n) of those in GetState().blocks (fewer at the end).
    std::vector<BlockSummary> Blocks(std::size_t first, std::size_t n) const;
    // Where block k starts.
    std::int64_t BlockStart(std::size_t k) const { return m_nStart + static_cast<std::int64_t>(k) * kBlock; }
    // Records per level in the time range [from, to), over every block
    // summarised: a slice counts whole in the range that holds its start, so
    // ranges that follow one another share out every record once; exact where
    // a slice lies wholly inside or outside the range.
    LevelCounts CountsIn(std::int64_t from, std::int64_t to) const;
    // Lines before the file's first record.
    std::uint64_t UntimedLines() const;
    std::size_t SummaryBytes() const;

private:
    class CBuilder;
    void Run();
    bool RunInPieces(std::int64_t lineStart, std::size_t first, bool seen, std::int64_t end);
    bool SummarisePiece(CBuilder& builder, std::int64_t from, std::int64_t to);
    std::int64_t ClearLineStart(std::int64_t from, std::int64_t limit) const;
    // Whether the text still starts as it did, and (atEnd) still reads the same before the summarised end.
    bool StillReadsTheSame(bool atEnd);
    void DropFrom(std::int64_t cut);
    const BlockSummary* At(std::size_t k) const;

    std::unique_ptr<IChunkReader> m_pReader;
    const std::int64_t m_nStart;
    const BreakUnits m_units;
    const CFormat* m_pFormat;
    const timeseek::StampContext m_ctx;
    std::function<void()> m_notify;
    const engine::BlockSplit m_split;
    std::atomic<std::int64_t>* m_pProgress = nullptr;

    mutable std::mutex m_mutex;
    std::vector<BlockSummary> m_blocks;  // final
    std::vector<BlockSummary> m_tail;    // the blocks after them, summarised as far as the text went
    std::uint64_t m_nDrops = 0;          // State::drops
    std::int64_t m_nFrontLine;           // the first line start in block m_blocks.size() or later
    bool m_bSeenRecord = false;          // a record starts before block m_blocks.size()
    std::int64_t m_nRead;                // read up to here
    std::int64_t m_nEnd;
    std::uint8_t m_fingerprint[64] = {};  // the bytes just before m_nRead
    int m_nFingerprint = 0;
    std::uint8_t m_head[64] = {};  // the text's first bytes: another file, even a shorter one, starts otherwise
    int m_nHead = 0;

    engine::CPassWorker m_worker;
};

}  // namespace logformat
