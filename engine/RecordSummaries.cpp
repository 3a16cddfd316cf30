// Block summaries of a log's records, built by a worker that reads the file once.
#include "engine/RecordSummaries.h"

#include "engine/CodeUnits.h"
#include "engine/LogRecords.h"
#include "engine/ScanReader.h"
#include "engine/WorkPool.h"

#include <algorithm>
#include <cstring>

namespace logformat {

namespace {

void AddSaturating(std::uint16_t& c)
{
    c = static_cast<std::uint16_t>(c + (c != 0xFFFF));
}

// Cuts what a read brought into lines, and gives each line's text as a record reader reads it: its first units up
// to a break, as ASCII (every unit above ASCII a '?').
class CLineCutter {
public:
    static constexpr std::int64_t kLineUnits = CRecordReader::kLineUnits;

    explicit CLineCutter(BreakUnits units)
        : m_u(units),
          m_unit(units.unit),
          m_cr8(static_cast<std::uint8_t>(units.cr)),
          m_lf8(static_cast<std::uint8_t>(units.lf)),
          m_swap(units.cr != 0x0D)
    {
    }
    std::int64_t Unit() const { return m_unit; }
    // Makes `n` bytes just read ready to be cut (narrow text becomes ASCII in place).
    void Prepare(std::uint8_t* data, std::int64_t n)
    {
        m_hasCr = true;
        if (m_unit != 1)
            return;
        // Eight bytes at a time: a log is mostly ASCII, and this pass touches every byte.
        std::int64_t k = 0;
        for (; k + 8 <= n; k += 8) {
            std::uint64_t w;
            std::memcpy(&w, data + k, 8);
            if (w & 0x8080808080808080ull)
                for (std::int64_t b = k; b < k + 8; ++b)
                    data[b] = data[b] < 0x80 ? data[b] : static_cast<std::uint8_t>('?');
        }
        for (; k < n; ++k)
            data[k] = data[k] < 0x80 ? data[k] : static_cast<std::uint8_t>('?');
        m_hasCr = std::memchr(data, m_cr8, static_cast<std::size_t>(n)) != nullptr;
    }
    // The first break unit in [i, n) of prepared data, or n.
    std::int64_t BreakFrom(const std::uint8_t* data, std::int64_t i, std::int64_t n) const
    {
        if (m_unit == 1) {
            const auto* p =
                static_cast<const std::uint8_t*>(std::memchr(data + i, m_lf8, static_cast<std::size_t>(n - i)));
            std::int64_t j = p ? p - data : n;
            if (m_hasCr)
                if (const auto* c =
                        static_cast<const std::uint8_t*>(std::memchr(data + i, m_cr8, static_cast<std::size_t>(j - i))))
                    j = c - data;
            return j;
        }
        std::int64_t j = i;
        while (j < n && !IsBreak(codeunits::Load16(data + j)))
            j += 2;
        return j;
    }
    bool IsBreak(std::uint16_t c) const { return c == m_u.cr || c == m_u.lf; }
    std::uint16_t UnitAt(const std::uint8_t* p) const { return m_unit == 1 ? *p : codeunits::Load16(p); }
    // The text of a line whose first `bytes` (at most kLineUnits units, no break) are at p.
    std::string_view Text(const std::uint8_t* p, std::int64_t bytes)
    {
        if (m_unit == 1)
            return {reinterpret_cast<const char*>(p), static_cast<std::size_t>(bytes)};
        const auto units = static_cast<std::size_t>(bytes / 2);
        for (std::size_t k = 0; k < units; ++k) {
            const std::uint16_t v = codeunits::Load16(p + 2 * k);
            const std::uint16_t c = m_swap ? codeunits::Swap16(v) : v;
            m_ascii[k] = c < 0x80 ? static_cast<char>(c) : '?';
        }
        return {m_ascii, units};
    }

private:
    BreakUnits m_u;
    std::int64_t m_unit;
    std::uint8_t m_cr8, m_lf8;
    bool m_swap;
    bool m_hasCr = true;
    char m_ascii[kLineUnits];
};

}  // namespace

std::uint32_t BlockSummary::Records() const
{
    std::uint32_t n = 0;
    for (const auto& slice : counts)
        for (const std::uint16_t c : slice)
            n += c;
    return n;
}

std::uint64_t LevelCounts::Total() const
{
    std::uint64_t t = 0;
    for (const std::uint64_t c : n)
        t += c;
    return t;
}

// Takes a file's lines in order and closes each block once a line starts
// after it. Copied to summarise the blocks that are not done yet.
class CRecordSummaries::CBuilder {
public:
    struct Rec {
        std::int64_t micros;
        Level level;
    };
    // A block whose lines are not all known to this builder: what it learnt of it, to be joined with what
    // another builder learnt of the same block.
    struct Open {
        std::size_t block = 0;
        BlockSummary cur;
        std::vector<Rec> records;
        bool Empty() const { return cur.firstLine == BlockSummary::kNone; }
    };

    CBuilder(std::int64_t dataStart, std::size_t block, bool seen, const CFormat* format, timeseek::StampContext ctx)
        : m_nStart(dataStart),
          m_nBlock(block),
          m_nFinishedFrom(block),
          m_bSeen(seen),
          m_bSeenAtBlock(seen),
          m_pFormat(format),
          m_ctx(ctx)
    {
    }
    // The first block is kept open (FirstOpen) instead of closed: lines before this builder's may start in it.
    void KeepFirstOpen() { m_bKeepFirst = true; }
    const Open& FirstOpen() const { return m_first; }
    bool KeptFirst() const { return m_bKeptFirst; }
    Open CurrentOpen() const { return {m_nBlock, m_cur, m_records}; }
    bool SawRecord() const { return m_bSeen; }
    // Zeroes the untimed counts: a record came before every line this builder read.
    void ForgetUntimed()
    {
        m_first.cur.untimed = m_cur.untimed = 0;
        for (BlockSummary& b : m_finished)
            b.untimed = 0;
    }
    // Closes what `open` holds as a block and appends it to `out`, after an empty block for each block
    // without a line start between the blocks in `out` and it (`out` holds the blocks from `firstBlock`).
    static void CloseInto(Open open, std::size_t firstBlock, std::vector<BlockSummary>& out)
    {
        while (firstBlock + out.size() < open.block)
            out.emplace_back();
        CBuilder b(0, open.block, true, nullptr, {});
        b.m_cur = open.cur;
        b.m_records = std::move(open.records);
        b.Close();
        out.push_back(b.m_finished.front());
    }
    // `later`'s lines follow `earlier`'s in the same block.
    static void Join(Open& earlier, const Open& later)
    {
        BlockSummary& e = earlier.cur;
        const BlockSummary& l = later.cur;
        if (e.firstLine == BlockSummary::kNone)
            e.firstLine = l.firstLine;
        if (e.firstRecord == BlockSummary::kNone)
            e.firstRecord = l.firstRecord;
        e.untimed = static_cast<std::uint16_t>(std::min<int>(e.untimed + l.untimed, 0xFFFF));
        earlier.records.insert(earlier.records.end(), later.records.begin(), later.records.end());
    }

    void Line(std::int64_t at, std::string_view text)
    {
        const auto block = static_cast<std::size_t>((at - m_nStart) / kBlock);
        while (m_nBlock < block) {
            Close();
            ++m_nBlock;
            m_bSeenAtBlock = m_bSeen;
        }
        const auto offset = static_cast<std::uint32_t>(at - m_nStart - static_cast<std::int64_t>(m_nBlock) * kBlock);
        if (m_cur.firstLine == BlockSummary::kNone)
            m_cur.firstLine = offset;
        LineRead read;
        if (m_pFormat->ReadAt(text, at, m_ctx, read)) {
            if (m_cur.firstRecord == BlockSummary::kNone)
                m_cur.firstRecord = offset;
            m_records.push_back({read.micros, read.level});
            m_bSeen = true;
        } else if (!m_bSeen) {
            AddSaturating(m_cur.untimed);
        }
    }

    // The current block closed too (its lines may not all be known).
    void CloseAll() { Close(); }

    std::vector<BlockSummary>& Finished() { return m_finished; }
    // The block that Finished() starts with (after the first one, when it was kept open).
    std::size_t FirstBlockOfFinished() const { return m_nFinishedFrom + (m_bKeptFirst ? 1 : 0); }
    // The first line start in the current block, or -1 when none is known.
    std::int64_t CurrentFirstLine() const
    {
        return m_cur.firstLine == BlockSummary::kNone
                   ? -1
                   : m_nStart + static_cast<std::int64_t>(m_nBlock) * kBlock + m_cur.firstLine;
    }
    bool SeenBeforeCurrent() const { return m_bSeenAtBlock; }

private:
    void Close()
    {
        if (m_bKeepFirst && !m_bKeptFirst) {
            m_bKeptFirst = true;
            m_first = {m_nBlock, m_cur, std::move(m_records)};
            m_cur = {};
            m_records.clear();
            return;
        }
        BlockSummary& b = m_cur;
        if (!m_records.empty()) {
            b.minMicros = b.maxMicros = m_records.front().micros;
            for (const Rec& r : m_records) {
                b.minMicros = std::min(b.minMicros, r.micros);
                b.maxMicros = std::max(b.maxMicros, r.micros);
            }
            const std::int64_t width = b.SliceWidth();
            for (const Rec& r : m_records)
                AddSaturating(b.counts[(r.micros - b.minMicros) / width][static_cast<int>(r.level)]);
        }
        m_finished.push_back(b);
        m_cur = {};
        m_records.clear();
    }

    std::int64_t m_nStart;
    std::size_t m_nBlock;
    std::size_t m_nFinishedFrom;
    bool m_bSeen, m_bSeenAtBlock;
    const CFormat* m_pFormat;
    timeseek::StampContext m_ctx;
    BlockSummary m_cur;
    std::vector<Rec> m_records;
    std::vector<BlockSummary> m_finished;
    bool m_bKeepFirst = false, m_bKeptFirst = false;
    Open m_first;
};

CRecordSummaries::CRecordSummaries(std::unique_ptr<IChunkReader> reader, std::int64_t dataStart, BreakUnits units,
                                   const CFormat* format, timeseek::StampContext ctx, std::function<void()> notify,
                                   engine::BlockSplit split)
    : m_pReader(std::move(reader)),
      m_nStart(dataStart),
      m_units(units),
      m_pFormat(format),
      m_ctx(ctx),
      m_notify(std::move(notify)),
      m_split(split),
      m_nFrontLine(dataStart),
      m_nRead(dataStart),
      m_nEnd(dataStart)
{
}

CRecordSummaries::~CRecordSummaries()
{
    StopWorker();
}

void CRecordSummaries::StopWorker()
{
    m_worker.Stop();
}

void CRecordSummaries::WaitForWorker()
{
    m_worker.Wait();
}

bool CRecordSummaries::StillReadsTheSame(bool atEnd)
{
    std::uint8_t kept[sizeof m_fingerprint], now[sizeof m_fingerprint], head[sizeof m_head];
    std::int64_t at;
    int n, h;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        n = m_nFingerprint;
        at = m_nRead - n;
        std::memcpy(kept, m_fingerprint, sizeof kept);
        h = m_nHead;
        std::memcpy(head, m_head, sizeof head);
    }
    const auto same = [&](const std::uint8_t* bytes, int count, std::int64_t from) {
        return count == 0 ||
               (m_pReader->Read(now, static_cast<std::uint64_t>(count), from) == static_cast<std::uint64_t>(count) &&
                std::memcmp(bytes, now, static_cast<std::size_t>(count)) == 0);
    };
    return same(head, h, m_nStart) && (!atEnd || same(kept, n, at));
}

// Keeps the blocks whose lines all end before `cut` (the text after the
// line start that follows them), so the cut changed none of them.
void CRecordSummaries::DropFrom(std::int64_t cut)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    std::size_t f = m_blocks.size();
    std::int64_t front = m_nFrontLine;
    while (f > 0 && front > cut) {
        --f;
        if (m_blocks[f].firstLine != BlockSummary::kNone)
            front = BlockStart(f) + m_blocks[f].firstLine;
    }
    if (f == 0)
        front = m_nStart;
    if (f < m_blocks.size())
        ++m_nDrops;
    m_blocks.resize(f);
    m_blocks.shrink_to_fit();
    m_tail.clear();
    m_nFrontLine = front;
    m_bSeenRecord = std::any_of(m_blocks.begin(), m_blocks.end(), [](const BlockSummary& b) { return b.HasRecords(); });
    m_nRead = front;
    m_nFingerprint = 0;
    if (f == 0)
        m_nHead = 0;
}

void CRecordSummaries::SetEnd(std::int64_t end, bool run)
{
    std::int64_t read;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        read = m_nRead;
    }
    if (end < read) {
        // Cut: what lies before the cut is kept when the text still starts as it did.
        StopWorker();
        DropFrom(StillReadsTheSame(false) ? end : m_nStart);
    } else if (!StillReadsTheSame(true)) {
        StopWorker();
        DropFrom(m_nStart);
    }
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_nEnd = end;
        read = m_nRead;
    }
    if (!run || !m_pFormat || read >= end)
        return;  // a text without a format has no records to summarise
    // A pass that runs is asked to run on to the new end once it is over.
    m_worker.Start([this] { Run(); }, m_notify);
}

void CRecordSummaries::Run()
{
    std::int64_t lineStart, end;
    std::size_t first;
    bool seen;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        lineStart = m_nFrontLine;
        first = m_blocks.size();
        seen = m_bSeenRecord;
        end = m_nEnd;
    }
    if (m_split.Splits(end - lineStart) && RunInPieces(lineStart, first, seen, end)) {
        std::lock_guard<std::mutex> lock(m_mutex);
        lineStart = m_nFrontLine;
        first = m_blocks.size();
        seen = m_bSeenRecord;
    }
    CBuilder builder(m_nStart, first, seen, m_pFormat, m_ctx);
    CScanReader reader(*m_pReader, static_cast<std::size_t>(kChunk));
    reader.SetCancel(&m_worker.StopFlag());
    reader.SetProgress(m_pProgress);

    CLineCutter cut(m_units);
    const std::int64_t u = cut.Unit();
    constexpr std::int64_t kLineUnits = CLineCutter::kLineUnits;
    const auto text = [&](const std::uint8_t* p, std::int64_t bytes) { return cut.Text(p, bytes); };
    const auto unitAt = [&](const std::uint8_t* p) { return cut.UnitAt(p); };
    const auto isBreak16 = [&](std::uint16_t c) { return cut.IsBreak(c); };

    std::vector<BlockSummary> tail;
    bool tailMade = false;
    bool emitted = false;  // the current line, longer than a read, has been handed over
    std::int64_t scanFrom = lineStart;
    constexpr int kChunksPerNotice = static_cast<int>((256 << 20) / kChunk);
    int chunks = 0;
    while (!m_worker.Stopping()) {
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            end = m_nEnd;
        }
        const std::int64_t readAt = emitted ? scanFrom : lineStart;
        std::int64_t n = std::min(kChunk, end - readAt);
        n -= n % u;
        if (n <= 0)
            break;
        std::int64_t got = static_cast<std::int64_t>(reader.Read(readAt, static_cast<std::size_t>(n)));
        got -= got % u;
        if (got <= 0)
            break;  // cancelled, or the file is shorter than told: the next change says more
        std::uint8_t* data = reader.Data();
        // A short read (the file was cut) ends the pass as the end would.
        const bool atEnd = readAt + got >= end || got < n;
        std::uint8_t fingerprint[sizeof m_fingerprint];
        const int kept = static_cast<int>(std::min<std::int64_t>(got, sizeof fingerprint));
        std::memcpy(fingerprint, data + got - kept, static_cast<std::size_t>(kept));
        std::uint8_t head[sizeof m_head];
        std::memcpy(head, data, static_cast<std::size_t>(std::min<std::int64_t>(got, sizeof head)));
        cut.Prepare(data, got);
        std::int64_t i = 0;
        for (;;) {
            // The break that ends the current line, from i.
            const std::int64_t j = cut.BreakFrom(data, i, got);
            if (j < got) {
                if (!emitted)
                    builder.Line(lineStart, text(data + i, std::min(j - i, kLineUnits * u)));
                std::int64_t next = j + u;
                if (next < got) {
                    const std::uint16_t b = unitAt(data + j), c = unitAt(data + next);
                    if (isBreak16(c) && c != b)
                        next += u;
                } else if (!atEnd) {
                    // Whether the break pairs with the next unit is read with the next chunk.
                    emitted = true;
                    scanFrom = readAt + j;
                    break;
                }
                lineStart = readAt + next;
                emitted = false;
                i = next;
                if (i >= got)
                    break;
                continue;
            }
            if (!emitted && got - i >= kLineUnits * u) {
                builder.Line(lineStart, text(data + i, kLineUnits * u));
                emitted = true;
            }
            if (!emitted && atEnd && !tailMade) {
                // The last line, maybe still being written: only in the blocks that are not done.
                CBuilder last = builder;
                last.Finished().clear();
                last.Line(lineStart, text(data + i, std::min(got - i, kLineUnits * u)));
                last.CloseAll();
                tail = std::move(last.Finished());
                tailMade = true;
            }
            if (emitted)
                scanFrom = readAt + got;
            break;
        }
        if (atEnd && !tailMade) {
            CBuilder last = builder;
            last.Finished().clear();
            last.CloseAll();
            tail = std::move(last.Finished());
            tailMade = true;
        }
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            std::vector<BlockSummary>& done = builder.Finished();
            m_blocks.insert(m_blocks.end(), done.begin(), done.end());
            m_tail.erase(m_tail.begin(),
                         m_tail.begin() + static_cast<std::ptrdiff_t>(std::min(done.size(), m_tail.size())));
            done.clear();
            if (builder.CurrentFirstLine() >= 0) {
                m_nFrontLine = builder.CurrentFirstLine();
                m_bSeenRecord = builder.SeenBeforeCurrent();
            }
            if (m_nHead == 0 && readAt == m_nStart) {
                m_nHead = static_cast<int>(std::min<std::int64_t>(got, sizeof m_head));
                std::memcpy(m_head, head, static_cast<std::size_t>(m_nHead));
            }
            if (readAt + got > m_nRead) {
                m_nRead = readAt + got;
                m_nFingerprint = kept;
                std::memcpy(m_fingerprint, fingerprint, static_cast<std::size_t>(kept));
            }
            if (tailMade) {
                m_tail = std::move(tail);
                tail.clear();
            }
        }
        if (tailMade)
            break;
        if (++chunks % kChunksPerNotice == 0 && m_notify)
            m_notify();
    }
}

// The first position at or after `from` (and before `limit`) that is sure to start a line whatever came before:
// a unit that is no break right after one that is (inside a run of breaks, how the units pair depends on the
// whole run). -1 when there is none.
std::int64_t CRecordSummaries::ClearLineStart(std::int64_t from, std::int64_t limit) const
{
    CLineCutter cut(m_units);
    const std::int64_t u = cut.Unit();
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(std::max<std::int64_t>(limit - from + u, 0)));
    if (from - u < m_nStart || bytes.empty() ||
        m_pReader->Read(bytes.data(), bytes.size(), from - u) != static_cast<std::uint64_t>(bytes.size()))
        return -1;
    for (std::int64_t k = u; k < static_cast<std::int64_t>(bytes.size()); k += u)
        if (cut.IsBreak(cut.UnitAt(bytes.data() + k - u)) && !cut.IsBreak(cut.UnitAt(bytes.data() + k)))
            return from - u + k;
    return -1;
}

// The first pass over a long text, in pieces on the engine's pool. Each piece runs from a line start that is
// sure (ClearLineStart) to the next one, so that its lines are those a pass in one piece would cut; a block
// that two pieces share is joined from what each learnt of it. The last piece is left to the pass in one piece,
// which follows the text's end as it moves. False when nothing was done (cancelled, the text changed under the
// pieces, or no sure line start was found near any boundary).
bool CRecordSummaries::RunInPieces(std::int64_t lineStart, std::size_t first, bool seen, std::int64_t end)
{
    const std::int64_t piece = std::max<std::int64_t>(kBlock, m_split.blockBytes / kBlock * kBlock);
    std::vector<std::int64_t> starts{lineStart};
    for (std::int64_t at = BlockStart(first) + piece; at + piece <= end; at += piece) {
        // Near a boundary inside a long line (or a long run of breaks) the piece runs on to the next boundary.
        const std::int64_t s = ClearLineStart(at, std::min(at + kBlock, end));
        if (s > starts.back())
            starts.push_back(s);
    }
    if (starts.size() < 2)
        return false;
    const std::size_t n = starts.size() - 1;
    std::vector<std::unique_ptr<CBuilder>> builders(n);
    std::atomic<bool> failed{false};
    engine::RunBlocks(n, [&](std::size_t k) {
        const std::int64_t from = starts[k], to = starts[k + 1];
        auto b = std::make_unique<CBuilder>(m_nStart, static_cast<std::size_t>((from - m_nStart) / kBlock),
                                            k == 0 && seen, m_pFormat, m_ctx);
        if (k > 0)
            b->KeepFirstOpen();
        if (!SummarisePiece(*b, from, to))
            failed = true;
        builders[k] = std::move(b);
    });
    if (failed || m_worker.Stopping())
        return false;

    // The pieces in order: the block that a piece's last lines start in may be the one that the next piece's
    // first lines start in.
    std::vector<BlockSummary> done;
    CBuilder::Open carry;
    bool seenBefore = seen;
    for (std::size_t k = 0; k < n; ++k) {
        CBuilder& b = *builders[k];
        if (k > 0 && seenBefore)
            b.ForgetUntimed();
        const auto take = [&](const CBuilder::Open& open) {
            if (open.Empty())
                return;
            if (!carry.Empty() && carry.block == open.block) {
                CBuilder::Join(carry, open);
                return;
            }
            if (!carry.Empty())
                CBuilder::CloseInto(std::move(carry), first, done);
            carry = open;
        };
        if (b.KeptFirst())
            take(b.FirstOpen());
        if (!b.Finished().empty()) {
            if (!carry.Empty())
                CBuilder::CloseInto(std::move(carry), first, done);
            carry = {};
            while (first + done.size() < b.FirstBlockOfFinished())
                done.emplace_back();
            done.insert(done.end(), b.Finished().begin(), b.Finished().end());
        }
        take(b.CurrentOpen());
        seenBefore = seenBefore || b.SawRecord();
    }
    // The block of the last lines is summarised again by the pass in one piece, from its first line.
    const std::int64_t front = BlockStart(carry.block) + carry.cur.firstLine;
    const std::int64_t last = starts.back();
    std::uint8_t fingerprint[sizeof m_fingerprint];
    const int kept = static_cast<int>(std::min<std::int64_t>(last - m_nStart, sizeof fingerprint));
    if (m_pReader->Read(fingerprint, static_cast<std::uint64_t>(kept), last - kept) != static_cast<std::uint64_t>(kept))
        return false;
    std::uint8_t head[sizeof m_head];
    const int heads = static_cast<int>(std::min<std::int64_t>(last - m_nStart, sizeof head));
    if (m_pReader->Read(head, static_cast<std::uint64_t>(heads), m_nStart) != static_cast<std::uint64_t>(heads))
        return false;
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_blocks.size() != first)
        return false;
    while (first + done.size() < carry.block)
        done.emplace_back();
    m_blocks.insert(m_blocks.end(), done.begin(), done.end());
    m_tail.clear();
    m_nFrontLine = front;
    m_bSeenRecord = std::any_of(m_blocks.begin(), m_blocks.end(), [](const BlockSummary& b) { return b.HasRecords(); });
    if (m_nHead == 0) {
        m_nHead = heads;
        std::memcpy(m_head, head, static_cast<std::size_t>(heads));
    }
    m_nRead = std::max(m_nRead, last);
    m_nFingerprint = kept;
    std::memcpy(m_fingerprint, fingerprint, static_cast<std::size_t>(kept));
    return true;
}

// The lines that start in [from, to) into `b`: `from` starts a line and the text before `to` ends one.
bool CRecordSummaries::SummarisePiece(CBuilder& b, std::int64_t from, std::int64_t to)
{
    CScanReader reader(*m_pReader, static_cast<std::size_t>(kChunk));
    reader.SetCancel(&m_worker.StopFlag());
    reader.SetProgress(m_pProgress);
    CLineCutter cut(m_units);
    const std::int64_t u = cut.Unit();
    const std::int64_t most = CLineCutter::kLineUnits * u;
    std::int64_t lineStart = from, pos = from;
    bool emitted = false;  // the current line, longer than a read, has been handed over
    while (pos < to) {
        const std::int64_t n = std::min(kChunk, to - pos);
        const auto got = static_cast<std::int64_t>(reader.Read(pos, static_cast<std::size_t>(n)));
        if (got != n)
            return false;  // cancelled, or the text is shorter than it was
        std::uint8_t* data = reader.Data();
        cut.Prepare(data, got);
        std::int64_t i = emitted ? 0 : lineStart - pos;
        std::int64_t resume = pos + got;
        for (;;) {
            const std::int64_t j = cut.BreakFrom(data, i, got);
            if (j >= got) {
                if (!emitted && got - i >= most) {
                    b.Line(lineStart, cut.Text(data + i, most));
                    emitted = true;
                }
                if (!emitted)
                    resume = lineStart;  // read again from the line's start, with the rest of it
                break;
            }
            if (!emitted)
                b.Line(lineStart, cut.Text(data + i, std::min(j - i, most)));
            std::int64_t next = j + u;
            if (next < got) {
                const std::uint16_t c = cut.UnitAt(data + next);
                if (cut.IsBreak(c) && c != cut.UnitAt(data + j))
                    next += u;
            } else if (pos + got < to) {
                // The unit that may pair with the break comes with the next read.
                emitted = true;
                resume = pos + j;
                i = got;
                break;
            }
            lineStart = pos + next;
            emitted = false;
            i = next;
            if (i >= got)
                break;
        }
        if (resume <= pos)
            return false;  // no line ends before `to` after all: the text changed
        pos = resume;
    }
    return true;
}

CRecordSummaries::State CRecordSummaries::GetState() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    State s;
    s.done = m_blocks.size();
    s.blocks = s.done + m_tail.size();
    s.summarisedEnd = m_nRead;
    s.complete = !m_worker.IsWorking() && m_nRead >= m_nEnd;
    s.drops = m_nDrops;
    return s;
}

const BlockSummary* CRecordSummaries::At(std::size_t k) const
{
    if (k < m_blocks.size())
        return &m_blocks[k];
    k -= m_blocks.size();
    return k < m_tail.size() ? &m_tail[k] : nullptr;
}

std::vector<BlockSummary> CRecordSummaries::Blocks(std::size_t first, std::size_t n) const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    std::vector<BlockSummary> out;
    for (std::size_t k = first; k < first + n; ++k) {
        const BlockSummary* b = At(k);
        if (!b)
            break;
        out.push_back(*b);
    }
    return out;
}

LevelCounts CRecordSummaries::CountsIn(std::int64_t from, std::int64_t to) const
{
    LevelCounts out;
    std::lock_guard<std::mutex> lock(m_mutex);
    const auto add = [&](const BlockSummary& b) {
        if (!b.HasRecords() || b.maxMicros < from || b.minMicros >= to)
            return;
        for (int s = 0; s < kSlices; ++s) {
            const std::int64_t start = b.SliceStart(s);
            if (start >= to)
                break;
            if (start >= from)
                for (int l = 0; l < kLevels; ++l)
                    out.n[l] += b.counts[s][l];
        }
    };
    for (const BlockSummary& b : m_blocks)
        add(b);
    for (const BlockSummary& b : m_tail)
        add(b);
    return out;
}

std::uint64_t CRecordSummaries::UntimedLines() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    std::uint64_t n = 0;
    for (const BlockSummary& b : m_blocks)
        n += b.untimed;
    for (const BlockSummary& b : m_tail)
        n += b.untimed;
    return n;
}

std::size_t CRecordSummaries::SummaryBytes() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return (m_blocks.capacity() + m_tail.capacity()) * sizeof(BlockSummary);
}

}  // namespace logformat
