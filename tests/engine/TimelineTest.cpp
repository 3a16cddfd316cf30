// The timeline's columns against counts made line by line: random logs in time
// order and with stretches out of order, summarised by the background pass,
// then grown and cut; a block whose slices lie across columns, whose shares
// are worked out by hand; the columns not reached yet; what a click and a
// drag choose.
#include "engine/Timeline.h"
#include "tests/core/TestUtil.h"

#include <array>
#include <cstdlib>
#include <map>
#include <random>

using logformat::BlockSummary;
using logformat::CRecordSummaries;
using logformat::kLevels;
using timeline::CTimeline;

namespace {

__extension__ typedef __int128 Wide;

const char* const kWords[] = {"", "FATAL", "ERROR", "WARN", "INFO", "DEBUG", "TRACE"};

struct Rec {
    bool record = false;
    std::int64_t micros = 0;
    int level = 0;
    std::int64_t start = 0;  // byte offset of its line
};

// A log of `records` records (with continuation lines), its times rising by
// random steps; with `outOfOrder`, some stretches are stamped an hour or a day
// earlier. A burst of errors lies at two thirds.
struct Log {
    std::string bytes;
    std::vector<Rec> lines;
};

void Append(Log& log, int records, std::mt19937& rng, bool outOfOrder, std::int64_t& t)
{
    for (int i = 0; i < records; ++i) {
        const bool burst = i > records * 2 / 3 && i < records * 2 / 3 + records / 20;
        t += burst ? 50 : static_cast<std::int64_t>(rng() % 400000);
        std::int64_t when = t;
        if (outOfOrder && (i / 300) % 7 == 3)
            when -= (i / 300) % 2 ? 3600000000LL : 86400000000LL;
        const int level = burst ? 2 : static_cast<int>(rng() % 7);
        log.lines.push_back({true, when, level, static_cast<std::int64_t>(log.bytes.size())});
        log.bytes += testutil::IsoStampMicros(when) + " " + kWords[level] + (level ? " " : "") + "[main] request " +
                     std::to_string(i) + std::string(rng() % 60, 'x') + "\n";
        if (rng() % 6 == 0) {
            log.lines.push_back({false, 0, 0, static_cast<std::int64_t>(log.bytes.size())});
            log.bytes += "\tat com.example.Frame(Frame.java:" + std::to_string(i) + ")\n";
        }
    }
}

// The bounds the columns must keep, counted line by line: a record whose
// summary slice lies inside one column counts there whole; one whose slice
// lies across columns counts in one of them or is shared among them.
struct Reference {
    std::int64_t first = 0, last = 0;
    std::vector<std::array<std::uint64_t, kLevels>> low, high, exact;
    std::array<std::uint64_t, kLevels> total{};
    // For each column: the records whose slice ends before its end, and those whose slice starts before it.
    std::vector<std::uint64_t> endsBefore, startsBefore;
};

Reference Count(const std::vector<Rec>& lines, std::int64_t size, int width)
{
    Reference r;
    bool any = false;
    for (const Rec& l : lines)
        if (l.record && l.start < size) {
            r.first = any ? std::min(r.first, l.micros) : l.micros;
            r.last = any ? std::max(r.last, l.micros) : l.micros;
            any = true;
        }
    const auto w = static_cast<std::size_t>(width);
    r.low.assign(w, {});
    r.high.assign(w, {});
    r.exact.assign(w, {});
    r.endsBefore.assign(w, 0);
    r.startsBefore.assign(w, 0);
    if (!any)
        return r;
    const Wide span = static_cast<Wide>(r.last) - r.first + 1;
    const auto columnOf = [&](std::int64_t t) { return static_cast<int>((t - r.first) * static_cast<Wide>(w) / span); };
    const auto columnEnd = [&](int c) {  // the first time of column c + 1
        return r.first + static_cast<std::int64_t>(((c + 1) * span + static_cast<Wide>(w) - 1) / static_cast<Wide>(w));
    };
    // Each block's own span, from the records that start in it.
    std::map<std::int64_t, std::pair<std::int64_t, std::int64_t>> blocks;
    for (const Rec& l : lines) {
        if (!l.record || l.start >= size)
            continue;
        const std::int64_t b = l.start / CRecordSummaries::kBlock;
        auto [it, fresh] = blocks.try_emplace(b, l.micros, l.micros);
        it->second.first = std::min(it->second.first, l.micros);
        it->second.second = std::max(it->second.second, l.micros);
    }
    for (const Rec& l : lines) {
        if (!l.record || l.start >= size)
            continue;
        const auto [lo, hi] = blocks[l.start / CRecordSummaries::kBlock];
        const std::int64_t sw = (hi - lo) / logformat::kSlices + 1;
        const std::int64_t a = lo + (l.micros - lo) / sw * sw, e = std::min(a + sw - 1, hi);
        const int ca = columnOf(a), ce = columnOf(e);
        const auto lv = static_cast<std::size_t>(l.level);
        ++r.total[lv];
        ++r.exact[static_cast<std::size_t>(columnOf(l.micros))][lv];
        if (ca == ce)
            ++r.low[static_cast<std::size_t>(ca)][lv];
        for (int c = ca; c <= ce; ++c)
            ++r.high[static_cast<std::size_t>(c)][lv];
        for (int c = 0; c < width; ++c) {
            if (e < columnEnd(c))
                ++r.endsBefore[static_cast<std::size_t>(c)];
            if (a < columnEnd(c))
                ++r.startsBefore[static_cast<std::size_t>(c)];
        }
    }
    return r;
}

void ExpectColumns(const CTimeline& tl, const Reference& ref, const std::string& what)
{
    ASSERT_TRUE(tl.HasRecords()) << what;
    EXPECT_EQ(tl.First(), ref.first) << what;
    EXPECT_EQ(tl.Last(), ref.last) << what;
    EXPECT_EQ(tl.AxisLast(), ref.last) << what;
    EXPECT_FALSE(tl.Incomplete()) << what;
    std::uint64_t sum = 0, largest = 0;
    std::array<std::uint64_t, kLevels> levels{};
    for (int c = 0; c < tl.Width(); ++c) {
        const auto k = static_cast<std::size_t>(c);
        const timeline::Column& col = tl.At(c);
        EXPECT_FALSE(col.unreached) << what;
        for (int l = 0; l < kLevels; ++l) {
            const auto lv = static_cast<std::size_t>(l);
            ASSERT_GE(col.n[l], ref.low[k][lv]) << what << " column " << c << " level " << l;
            ASSERT_LE(col.n[l], ref.high[k][lv]) << what << " column " << c << " level " << l;
            levels[lv] += col.n[l];
        }
        sum += col.Total();
        largest = std::max(largest, col.Total());
        ASSERT_GE(sum, ref.endsBefore[k]) << what << " up to column " << c;
        ASSERT_LE(sum, ref.startsBefore[k]) << what << " up to column " << c;
    }
    for (int l = 0; l < kLevels; ++l) {
        EXPECT_EQ(levels[static_cast<std::size_t>(l)], ref.total[static_cast<std::size_t>(l)]) << what << " " << l;
        EXPECT_EQ(tl.Totals().n[l], ref.total[static_cast<std::size_t>(l)]) << what << " " << l;
    }
    EXPECT_EQ(tl.Largest(), largest) << what;
}

// The column the most errors fall in, by the columns and line by line: a burst shows within one column of
// its place.
void ExpectBurstInPlace(const CTimeline& tl, const Reference& ref, const std::string& what)
{
    int got = 0, want = 0;
    for (int c = 0; c < tl.Width(); ++c) {
        if (tl.At(c).n[2] > tl.At(got).n[2])
            got = c;
        if (ref.exact[static_cast<std::size_t>(c)][2] > ref.exact[static_cast<std::size_t>(want)][2])
            want = c;
    }
    EXPECT_LE(std::abs(got - want), 1) << what;
}

struct Case {
    const char* name;
    int records;
    bool outOfOrder;
    int width;
    enum class Change { None, Grow, Truncate } change;
};

const Case kCases[] = {
    {"in order, 640 columns", 20000, false, 640, Case::Change::None},
    {"in order, one column", 5000, false, 1, Case::Change::None},
    {"in order, 7 columns", 8000, false, 7, Case::Change::None},
    {"out of order, 300 columns", 20000, true, 300, Case::Change::None},
    {"out of order, 3 columns", 9000, true, 3, Case::Change::None},
    {"in order, growing", 12000, false, 500, Case::Change::Grow},
    {"out of order, growing", 12000, true, 211, Case::Change::Grow},
    {"in order, truncated", 15000, false, 400, Case::Change::Truncate},
    {"out of order, truncated", 15000, true, 97, Case::Change::Truncate},
};

}  // namespace

TEST(TimelineTest, ColumnsMatchTheLinesCounted)
{
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.name);
        std::mt19937 rng(static_cast<unsigned>(c.records + c.width));
        Log log;
        std::int64_t t = 1765100000000000;
        Append(log, c.records, rng, c.outOfOrder, t);
        std::string bytes = log.bytes;
        CRecordSummaries sums(std::make_unique<testutil::StringReader>(&bytes), 0, BreakUnits{1, 0x0D, 0x0A},
                              testutil::IsoFormat(), timeseek::StampContext{2026, 12});
        const auto size = [&] { return static_cast<std::int64_t>(bytes.size()); };
        sums.SetEnd(size(), true);
        sums.WaitForWorker();
        CTimeline tl;
        tl.Build(sums, c.width, 0, size());
        Reference ref = Count(log.lines, size(), c.width);
        ExpectColumns(tl, ref, "whole");
        if (c.width >= 100 && !c.outOfOrder)
            ExpectBurstInPlace(tl, ref, "whole");

        if (c.change == Case::Change::Grow) {
            Append(log, c.records / 2, rng, c.outOfOrder, t);
            bytes = log.bytes;
            sums.SetEnd(size(), true);
            sums.WaitForWorker();
            tl.Build(sums, c.width, 0, size());
            ExpectColumns(tl, Count(log.lines, size(), c.width), "grown");
        }
        if (c.change == Case::Change::Truncate) {
            // Cut at a line start: the lines after it go, times and all.
            bytes.resize(static_cast<std::size_t>(log.lines[log.lines.size() / 3].start));
            sums.SetEnd(size(), true);
            sums.WaitForWorker();
            tl.Build(sums, c.width, 0, size());
            const Reference cut = Count(log.lines, size(), c.width);
            ExpectColumns(tl, cut, "truncated");
            EXPECT_LT(tl.Last(), ref.last);
        }
    }
}

namespace {

// A block of records from `min` to `max` with `count` records of `level` in slice `slice`.
BlockSummary Block(std::int64_t min, std::int64_t max, int slice, int level, std::uint16_t count)
{
    BlockSummary b;
    b.minMicros = min;
    b.maxMicros = max;
    b.firstLine = b.firstRecord = 0;
    b.counts[slice][level] = count;
    return b;
}

}  // namespace

TEST(TimelineTest, ASliceAcrossColumnsIsSharedByItsTimeInEach)
{
    // Times 0 .. 999 over 10 columns of 100. Slices of the first block are 999 / 16 + 1 = 63 wide.
    struct Share {
        const char* name;
        int slice;
        std::uint16_t count;
        std::vector<std::pair<int, std::uint64_t>> columns;  // column, count
    };
    const Share kShares[] = {
        // Slice 1: [63, 125]: 37 of its 63 microseconds in column 0, 26 in column 1.
        {"two columns", 1, 100, {{0, 59}, {1, 41}}},
        // Slice 0: [0, 62], inside column 0.
        {"one column", 0, 100, {{0, 100}}},
        // Slice 15: [945, 999]: inside column 9.
        {"the last slice, cut at the block's end", 15, 7, {{9, 7}}},
        // Slice 3: [189, 251]: 11 in column 1, 52 in column 2; 3 records share as 0.52 and 2.48.
        {"few records, rounded as running sums", 3, 3, {{1, 1}, {2, 2}}},
    };
    for (const Share& s : kShares) {
        SCOPED_TRACE(s.name);
        const BlockSummary blocks[] = {Block(0, 999, s.slice, 4, s.count), Block(500, 500, 0, 0, 0)};
        CTimeline tl;
        tl.Build(blocks, 2, 10);
        EXPECT_EQ(tl.First(), 0);
        EXPECT_EQ(tl.Last(), 999);
        std::vector<std::uint64_t> want(10, 0);
        for (const auto& [col, n] : s.columns)
            want[static_cast<std::size_t>(col)] = n;
        for (int c = 0; c < 10; ++c) {
            EXPECT_EQ(tl.At(c).n[4], want[static_cast<std::size_t>(c)]) << "column " << c;
            EXPECT_EQ(tl.At(c).Total(), want[static_cast<std::size_t>(c)]) << "column " << c;
        }
        EXPECT_EQ(tl.Totals().n[4], s.count);
    }
}

TEST(TimelineTest, ClicksAndDragsChooseColumnTimes)
{
    const BlockSummary blocks[] = {Block(0, 999, 0, 3, 5)};
    CTimeline tl;
    tl.Build(blocks, 1, 10);
    struct Click {
        int x;
        std::int64_t time;
    };
    for (const Click& k : {Click{0, 0}, Click{3, 300}, Click{9, 900}, Click{-4, 0}, Click{25, 900}})
        EXPECT_EQ(tl.ClickTime(k.x), k.time) << "x " << k.x;
    struct Drag {
        int x1, x2;
        std::int64_t from, to;
    };
    for (const Drag& d :
         {Drag{2, 7, 200, 799}, Drag{7, 2, 200, 799}, Drag{9, 9, 900, 999}, Drag{0, 0, 0, 99}, Drag{-3, 40, 0, 999}})
        EXPECT_EQ(std::make_pair(tl.DragRange(d.x1, d.x2).from, tl.DragRange(d.x1, d.x2).to),
                  std::make_pair(d.from, d.to))
            << "drag " << d.x1 << " to " << d.x2;
    // Uneven columns: 1000 microseconds over 3 columns start at 0, 334, 667; every time lies in the column
    // whose start is at or before it and whose next start is after it.
    tl.Build(blocks, 1, 3);
    EXPECT_EQ(tl.Start(1), 334);
    EXPECT_EQ(tl.Start(2), 667);
    EXPECT_EQ(tl.Start(3), 1000);
    for (std::int64_t time = 0; time < 1000; ++time) {
        const int c = tl.ColumnOf(time);
        ASSERT_LE(tl.Start(c), time);
        ASSERT_GT(tl.Start(c + 1), time);
    }
}

TEST(TimelineTest, ColumnsPastTheTimesSeenAreUnreachedWhileThePassRuns)
{
    struct Step {
        const char* name;
        timeline::Reach reach;
        std::int64_t axisLast;
        int firstUnreached;  // 10: none
    };
    const Step kSteps[] = {
        // Half the bytes reached: the axis is stretched to twice the time seen; columns from 1000 on are
        // unreached (ceil(5 * 1999 / 10) = 1000).
        {"half way", {false, 500, 1000}, 1998, 5},
        {"a quarter", {false, 250, 1000}, 3996, 3},
        {"complete", {true, 1000, 1000}, 999, 10},
        {"all bytes reached", {false, 1000, 1000}, 999, 10},
    };
    const BlockSummary blocks[] = {Block(0, 999, 0, 1, 9)};
    for (const Step& s : kSteps) {
        SCOPED_TRACE(s.name);
        CTimeline tl;
        tl.Build(blocks, 1, 10, s.reach);
        EXPECT_EQ(tl.AxisLast(), s.axisLast);
        EXPECT_EQ(tl.Incomplete(), s.firstUnreached < 10);
        for (int c = 0; c < 10; ++c)
            EXPECT_EQ(tl.At(c).unreached, c >= s.firstUnreached) << "column " << c;
        EXPECT_EQ(tl.Totals().n[1], 9u);
    }
}

TEST(TimelineTest, NoRecordsNoAxis)
{
    BlockSummary empty;
    empty.firstLine = 0;
    CTimeline tl;
    tl.Build(&empty, 1, 40);
    EXPECT_FALSE(tl.HasRecords());
    EXPECT_EQ(tl.Width(), 40);
    EXPECT_EQ(tl.Largest(), 0u);
    EXPECT_EQ(tl.Totals().Total(), 0u);
}
