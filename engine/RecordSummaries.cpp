// Block summaries of a log's records, built by a worker that reads the file once.
#include "engine/RecordSummaries.h"

#include "engine/CodeUnits.h"
#include "engine/LogRecords.h"
#include "engine/ScanReader.h"

#include <algorithm>
#include <cstring>

namespace logformat {

namespace {

void AddSaturating(std::uint16_t& c)
{
    c = static_cast<std::uint16_t>(c + (c != 0xFFFF));
}

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
    CBuilder(std::int64_t dataStart, std::size_t block, bool seen, const CFormat* format, timeseek::StampContext ctx)
        : m_nStart(dataStart), m_nBlock(block), m_bSeen(seen), m_bSeenAtBlock(seen), m_pFormat(format), m_ctx(ctx)
    {
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
        if (m_pFormat->Read(text, m_ctx, read)) {
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
    // The first line start in the current block, or -1 when none is known.
    std::int64_t CurrentFirstLine() const
    {
        return m_cur.firstLine == BlockSummary::kNone
                   ? -1
                   : m_nStart + static_cast<std::int64_t>(m_nBlock) * kBlock + m_cur.firstLine;
    }
    bool SeenBeforeCurrent() const { return m_bSeenAtBlock; }

private:
    struct Rec {
        std::int64_t micros;
        Level level;
    };

    void Close()
    {
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
    bool m_bSeen, m_bSeenAtBlock;
    const CFormat* m_pFormat;
    timeseek::StampContext m_ctx;
    BlockSummary m_cur;
    std::vector<Rec> m_records;
    std::vector<BlockSummary> m_finished;
};

CRecordSummaries::CRecordSummaries(std::unique_ptr<IChunkReader> reader, std::int64_t dataStart, BreakUnits units,
                                   const CFormat* format, timeseek::StampContext ctx, std::function<void()> notify)
    : m_pReader(std::move(reader)),
      m_nStart(dataStart),
      m_units(units),
      m_pFormat(format),
      m_ctx(ctx),
      m_notify(std::move(notify)),
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
    if (!run || !m_pFormat || m_worker.IsWorking() || read >= end)
        return;  // a text without a format has no records to summarise
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
    CBuilder builder(m_nStart, first, seen, m_pFormat, m_ctx);
    CScanReader reader(*m_pReader, static_cast<std::size_t>(kChunk));
    reader.SetCancel(&m_worker.StopFlag());
    reader.SetProgress(m_pProgress);

    const std::int64_t u = m_units.unit;
    const bool narrow = u == 1;
    const auto cr8 = static_cast<std::uint8_t>(m_units.cr), lf8 = static_cast<std::uint8_t>(m_units.lf);
    const auto isBreak16 = [&](std::uint16_t c) { return c == m_units.cr || c == m_units.lf; };
    const auto unitAt = [&](const std::uint8_t* p) -> std::uint16_t { return narrow ? *p : codeunits::Load16(p); };
    constexpr std::int64_t kLineUnits = CRecordReader::kLineUnits;
    char ascii[kLineUnits];
    const bool swap = m_units.cr != 0x0D;
    // The text a record reader reads of a line: its first units up to a break, as ASCII.
    const auto text = [&](const std::uint8_t* p, std::int64_t bytes) -> std::string_view {
        if (narrow)
            return {reinterpret_cast<const char*>(p), static_cast<std::size_t>(bytes)};
        const auto units = static_cast<std::size_t>(bytes / 2);
        for (std::size_t k = 0; k < units; ++k) {
            const std::uint16_t v = codeunits::Load16(p + 2 * k);
            const std::uint16_t c = swap ? codeunits::Swap16(v) : v;
            ascii[k] = c < 0x80 ? static_cast<char>(c) : '?';
        }
        return {ascii, units};
    };

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
        bool hasCr = true;
        if (narrow) {
            // As the record reader sees them: every byte above ASCII a '?'.
            // Eight bytes at a time: a log is mostly ASCII, and this pass touches every byte.
            std::int64_t k = 0;
            for (; k + 8 <= got; k += 8) {
                std::uint64_t w;
                std::memcpy(&w, data + k, 8);
                if (w & 0x8080808080808080ull)
                    for (std::int64_t b = k; b < k + 8; ++b)
                        data[b] = data[b] < 0x80 ? data[b] : static_cast<std::uint8_t>('?');
            }
            for (; k < got; ++k)
                data[k] = data[k] < 0x80 ? data[k] : static_cast<std::uint8_t>('?');
            hasCr = std::memchr(data, cr8, static_cast<std::size_t>(got)) != nullptr;
        }
        std::int64_t i = 0;
        for (;;) {
            // The break that ends the current line, from i.
            std::int64_t j = got;
            if (narrow) {
                const auto* p =
                    static_cast<const std::uint8_t*>(std::memchr(data + i, lf8, static_cast<std::size_t>(got - i)));
                j = p ? p - data : got;
                if (hasCr)
                    if (const auto* c = static_cast<const std::uint8_t*>(
                            std::memchr(data + i, cr8, static_cast<std::size_t>(j - i))))
                        j = c - data;
            } else {
                for (j = i; j < got && !isBreak16(codeunits::Load16(data + j)); j += 2) {
                }
            }
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

CRecordSummaries::State CRecordSummaries::GetState() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    State s;
    s.done = m_blocks.size();
    s.blocks = s.done + m_tail.size();
    s.summarisedEnd = m_nRead;
    s.complete = !m_worker.IsWorking() && m_nRead >= m_nEnd;
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
