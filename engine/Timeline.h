// A log's records over time, column by column, for a band as wide as W
// columns: made from the block summaries alone (engine/RecordSummaries.h),
// never from the lines, so that its cost depends on the file's blocks and
// the band's width, not on the file's records.
//
// The axis runs from the smallest time seen to the largest (records out of
// order count at their own times). Column c covers the times
// [Start(c), Start(c + 1)); the columns split the axis as evenly as integer
// microseconds allow. A summary slice that lies across column edges is spread
// over the columns it covers in proportion to its time in each, rounded so
// that the counts of all columns still add up to the records summarised.
//
// While the pass has not reached the whole text, the axis is stretched to the
// time the text's end would have at the rate seen so far (a log is mostly
// written in time order), and the columns after the largest time seen are
// marked unreached.
#pragma once

#include "engine/RecordSummaries.h"

#include <cstdint>
#include <vector>

namespace timeline {

struct Column {
    // Records per level, indexed by logformat::Level (0: records without a level).
    std::uint64_t n[logformat::kLevels] = {};
    bool unreached = false;
    std::uint64_t Total() const;
};

// How far the pass has gone: the bytes of the text summarised of the bytes it has.
struct Reach {
    bool complete = true;
    std::int64_t reachedBytes = 0, totalBytes = 0;
};

class CTimeline {
public:
    // Columns of `width` (at least 1) over `n` block summaries.
    void Build(const logformat::BlockSummary* blocks, std::size_t n, int width, Reach reach = {});
    // The same over everything `sums` has summarised so far.
    void Build(const logformat::CRecordSummaries& sums, int width, std::int64_t dataStart, std::int64_t dataEnd);

    // Whether any record was summarised (without one there is no axis and no column holds anything).
    bool HasRecords() const { return m_bAny; }
    int Width() const { return static_cast<int>(m_columns.size()); }
    // The smallest and largest time seen.
    std::int64_t First() const { return m_nFirst; }
    std::int64_t Last() const { return m_nLast; }
    // The axis's last time: Last() once the pass is complete, later while it runs.
    std::int64_t AxisLast() const { return m_nAxisLast; }
    const Column& At(int c) const { return m_columns[static_cast<std::size_t>(c)]; }
    // The first time of column c (0 .. Width(); Start(Width()) is AxisLast() + 1).
    std::int64_t Start(int c) const;
    // The column that holds `micros` (clamped to the columns).
    int ColumnOf(std::int64_t micros) const;
    // The largest column total (the top of the band's scale).
    std::uint64_t Largest() const { return m_nLargest; }
    // Records per level over every column.
    const Column& Totals() const { return m_totals; }
    // Whether any column is unreached.
    bool Incomplete() const { return m_bIncomplete; }

    // What a click at column x goes to: that column's first time (x clamped to the columns).
    std::int64_t ClickTime(int x) const;
    // The time range, both ends inclusive, that a drag from column x1 to x2 (either way round) selects:
    // from the first time of the leftmost column to the last of the rightmost.
    struct Range {
        std::int64_t from = 0, to = 0;
    };
    Range DragRange(int x1, int x2) const;

private:
    void Spread(std::int64_t a, std::int64_t b, int level, std::uint64_t count);

    std::vector<Column> m_columns;
    Column m_totals;
    bool m_bAny = false;
    bool m_bIncomplete = false;
    std::int64_t m_nFirst = 0, m_nLast = 0, m_nAxisLast = 0;
    std::uint64_t m_nLargest = 0;
    std::vector<logformat::BlockSummary> m_scratch;
};

}  // namespace timeline
