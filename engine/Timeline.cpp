#include "engine/Timeline.h"

#include <algorithm>

namespace timeline {

namespace {

__extension__ typedef __int128 Wide;

}  // namespace

std::uint64_t Column::Total() const
{
    std::uint64_t t = 0;
    for (const std::uint64_t v : n)
        t += v;
    return t;
}

std::int64_t CTimeline::Start(int c) const
{
    // The smallest time whose column is c: ceil(c * span / width) past the first.
    const Wide span = static_cast<Wide>(m_nAxisLast) - m_nFirst + 1;
    const Wide w = static_cast<Wide>(m_columns.size());
    return m_nFirst + static_cast<std::int64_t>((c * span + w - 1) / w);
}

int CTimeline::ColumnOf(std::int64_t micros) const
{
    if (micros <= m_nFirst)
        return 0;
    const Wide span = static_cast<Wide>(m_nAxisLast) - m_nFirst + 1;
    const Wide c = (static_cast<Wide>(micros) - m_nFirst) * static_cast<Wide>(m_columns.size()) / span;
    return static_cast<int>(std::min<Wide>(c, static_cast<Wide>(m_columns.size()) - 1));
}

void CTimeline::Spread(std::int64_t a, std::int64_t b, int level, std::uint64_t count)
{
    const int ca = ColumnOf(a), cb = ColumnOf(b);
    if (ca == cb) {
        m_columns[static_cast<std::size_t>(ca)].n[level] += count;
        return;
    }
    // Each column gets its share of the slice's time; the shares are rounded as running sums, so they add
    // up to `count` exactly.
    const Wide length = static_cast<Wide>(b) - a + 1;
    std::uint64_t given = 0;
    for (int c = ca; c <= cb; ++c) {
        const std::int64_t end = c == cb ? b + 1 : std::min(Start(c + 1), b + 1);
        const auto upTo =
            static_cast<std::uint64_t>((static_cast<Wide>(count) * (end - a) * 2 + length) / (2 * length));
        m_columns[static_cast<std::size_t>(c)].n[level] += upTo - given;
        given = upTo;
    }
}

void CTimeline::Build(const logformat::BlockSummary* blocks, std::size_t n, int width, Reach reach)
{
    m_columns.assign(static_cast<std::size_t>(std::max(width, 1)), Column{});
    m_totals = Column{};
    m_bAny = false;
    m_bIncomplete = false;
    m_nLargest = 0;
    m_nFirst = m_nLast = m_nAxisLast = 0;
    for (std::size_t k = 0; k < n; ++k) {
        const logformat::BlockSummary& b = blocks[k];
        if (!b.HasRecords())
            continue;
        m_nFirst = m_bAny ? std::min(m_nFirst, b.minMicros) : b.minMicros;
        m_nLast = m_bAny ? std::max(m_nLast, b.maxMicros) : b.maxMicros;
        m_bAny = true;
    }
    if (!m_bAny)
        return;
    m_nAxisLast = m_nLast;
    if (!reach.complete && reach.reachedBytes > 0 && reach.reachedBytes < reach.totalBytes) {
        const Wide stretched = static_cast<Wide>(m_nLast - m_nFirst) * reach.totalBytes / reach.reachedBytes;
        m_nAxisLast = static_cast<std::int64_t>(std::min<Wide>(m_nFirst + stretched, INT64_MAX - 1));
    }
    const int last = Width() - 1;
    for (std::size_t k = 0; k < n; ++k) {
        const logformat::BlockSummary& b = blocks[k];
        if (!b.HasRecords())
            continue;
        const int c0 = ColumnOf(b.minMicros);
        if (c0 == ColumnOf(b.maxMicros)) {
            // The whole block lies in one column: no slice needs spreading.
            Column& col = m_columns[static_cast<std::size_t>(c0)];
            for (const auto& slice : b.counts)
                for (int l = 0; l < logformat::kLevels; ++l)
                    col.n[l] += slice[l];
            continue;
        }
        for (int s = 0; s < logformat::kSlices; ++s) {
            const std::int64_t a = b.SliceStart(s);
            if (a > b.maxMicros)
                break;
            const std::int64_t e = std::min(a + b.SliceWidth() - 1, b.maxMicros);
            for (int l = 0; l < logformat::kLevels; ++l)
                if (b.counts[s][l])
                    Spread(a, e, l, b.counts[s][l]);
        }
    }
    for (int c = 0; c <= last; ++c) {
        Column& col = m_columns[static_cast<std::size_t>(c)];
        col.unreached = !reach.complete && Start(c) > m_nLast;
        m_bIncomplete = m_bIncomplete || col.unreached;
        for (int l = 0; l < logformat::kLevels; ++l)
            m_totals.n[l] += col.n[l];
        m_nLargest = std::max(m_nLargest, col.Total());
    }
}

void CTimeline::Build(const logformat::CRecordSummaries& sums, int width, std::int64_t dataStart, std::int64_t dataEnd)
{
    const logformat::CRecordSummaries::State state = sums.GetState();
    m_scratch = sums.Blocks(0, state.blocks);
    Reach reach;
    reach.complete = state.complete;
    reach.reachedBytes = state.summarisedEnd - dataStart;
    reach.totalBytes = dataEnd - dataStart;
    Build(m_scratch.data(), m_scratch.size(), width, reach);
}

std::int64_t CTimeline::ClickTime(int x) const
{
    return Start(std::clamp(x, 0, Width() - 1));
}

CTimeline::Range CTimeline::DragRange(int x1, int x2) const
{
    const int lo = std::clamp(std::min(x1, x2), 0, Width() - 1);
    const int hi = std::clamp(std::max(x1, x2), 0, Width() - 1);
    return {Start(lo), Start(hi + 1) - 1};
}

}  // namespace timeline
