// Merged windows' rows against a plain reference: every record of every file
// stable-sorted by (time, file order) over random logs in several text forms,
// and a rotation set's parts (merged::Order::Sequence) read one after another.
// Both are paged forward and back, by Home, End, the thumb and Go to Time, and
// grow at their last file.
#include "engine/MergedRows.h"
#include "tests/engine/TextForms.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <random>
#include <set>

namespace {

using merged::CMergedRows;
using merged::Row;
using merged::Top;
using testutil::IsoFormat;

std::u16string Ascii(const char* s)
{
    return std::u16string(s, s + std::strlen(s));
}

// A log: optional head lines, records at times that rise by 0..2 steps (or
// anywhere when `shuffled`), some with continuation lines, mixed breaks.
std::u16string MakeLog(std::mt19937& rng, int records, bool head, bool shuffled, int startStep)
{
    std::u16string text;
    const char16_t* breaks[] = {u"\n", u"\r\n", u"\n"};
    if (head)
        text += u"head line\n  second head line\n";
    int step = startStep;
    for (int i = 0; i < records; ++i) {
        step += static_cast<int>(rng() % 3);
        const int at = shuffled ? static_cast<int>(rng() % 40) : step;
        char b[64];
        std::snprintf(b, sizeof b, "2026-12-07 06:%02d:%02d.%06dZ", at / 4 / 60 % 60, at / 4 % 60, (at % 4) * 1000);
        text += Ascii(b) + u" INFO r" + std::u16string(1, static_cast<char16_t>(u'a' + i % 26)) + breaks[rng() % 3];
        for (int c = static_cast<int>(rng() % 4); c > 1; --c)
            text += u"    at frame \u00e9\n";
    }
    return text;
}

// A rotated part: records one second apart from `second` on, otherwise as MakeLog's; empty when `records` is 0.
std::u16string MakePart(std::mt19937& rng, int& second, int records, bool head)
{
    std::u16string text;
    if (head && records > 0)
        text += u"started\n";
    const char16_t* breaks[] = {u"\n", u"\r\n", u"\n"};
    for (int i = 0; i < records; ++i, ++second) {
        char b[64];
        std::snprintf(b, sizeof b, "2026-12-07 %02d:%02d:%02dZ INFO r%d", second / 3600, second / 60 % 60, second % 60,
                      i);
        text += Ascii(b) + breaks[rng() % 3];
        for (int c = static_cast<int>(rng() % 4); c > 1; --c)
            text += u"    at frame \u00e9\n";
    }
    return text;
}

struct Log {
    std::string bytes;
    textforms::Form form;
};

struct RefRow {
    int file;
    std::int64_t start;
    std::int64_t micros;  // the record's time (kVeryStart without a format)
};

// Every line of every log with its record's time; head lines take the log's first record's time. `sorted`:
// stable-sorted by time, as a merge shows them; otherwise the logs one after another, as a rotation set.
std::vector<RefRow> Reference(const std::vector<Log>& logs, bool format, bool sorted)
{
    std::vector<RefRow> rows;
    for (int f = 0; f < static_cast<int>(logs.size()); ++f) {
        std::vector<RefRow> mine;
        std::int64_t time = merged::kVeryStart;
        for (const auto& [b, e] : textforms::ReferenceLines(logs[f].bytes, logs[f].form)) {
            logformat::LineRead read;
            if (format && IsoFormat()->Read(textforms::AsciiLine(logs[f].bytes, b, e, logs[f].form), {}, read))
                time = read.micros;
            mine.push_back({f, b, time});
        }
        const auto first =
            std::find_if(mine.begin(), mine.end(), [](const RefRow& r) { return r.micros != merged::kVeryStart; });
        for (RefRow& r : mine)
            if (r.micros == merged::kVeryStart && first != mine.end())
                r.micros = first->micros;
        rows.insert(rows.end(), mine.begin(), mine.end());
    }
    if (sorted)
        std::stable_sort(rows.begin(), rows.end(),
                         [](const RefRow& a, const RefRow& b) { return a.micros < b.micros; });
    return rows;
}

// The logs as a merge reads them, from strings.
struct Fixture {
    std::vector<Log> logs;
    std::vector<std::unique_ptr<testutil::StringReader>> readers;
    std::vector<merged::Source> sources;
    std::unique_ptr<CMergedRows> rows;

    CMergedRows& Open(bool format = true, merged::Order order = merged::Order::ByTime)
    {
        readers.clear();
        sources.clear();
        for (const Log& l : logs) {
            readers.push_back(std::make_unique<testutil::StringReader>(&l.bytes));
            merged::Source s;
            s.reader = readers.back().get();
            s.form = {l.form.encoding, l.form.codePage};
            s.format = format ? IsoFormat() : nullptr;
            s.dataStart = l.form.markBytes;
            s.dataEnd = static_cast<std::int64_t>(l.bytes.size());
            sources.push_back(s);
        }
        rows = std::make_unique<CMergedRows>(sources, order);
        return *rows;
    }
};

std::string Where(int file, std::int64_t pos)
{
    return std::to_string(file) + "@" + std::to_string(pos);
}
std::string Where(const RefRow& r)
{
    return Where(r.file, r.start);
}
std::string Where(const Top& t)
{
    return Where(t.file, t.pos);
}
std::string Where(const Row& r)
{
    return Where(r.file, r.start);
}

// What both orders share: Home's screenful holds every row; row by row forward and back; one step back from
// past the end; pages of 7 down from Home and up from End (of 10 rows, the tenth row from the last); places
// made from any row go on with the rows after it; the thumb's fraction rises with the rows (the last row's in
// `lastFraction`); Go to Time (when `times`) is the first row at or after a time near a row's, `jitter` microseconds
// either side.
void ExpectPaging(CMergedRows& m, const std::vector<RefRow>& ref, std::mt19937& rng, bool times, std::int64_t jitter,
                  double* lastFraction)
{
    const int n = static_cast<int>(ref.size());
    const std::vector<Row> all = m.Rows(m.Home(), n + 5);
    ASSERT_EQ(static_cast<int>(all.size()), n);
    for (int i = 0; i < n; ++i) {
        ASSERT_EQ(Where(all[i]), Where(ref[i])) << i;
        if (times) {
            ASSERT_EQ(all[i].micros, ref[i].micros) << i;
        }
    }
    Top t = m.Home();
    for (int i = 0; i < n; ++i) {
        ASSERT_EQ(Where(t), Where(ref[i])) << "forward " << i;
        ASSERT_EQ(m.Next(t), i + 1 < n);
    }
    for (int i = n - 1; i >= 0; --i) {
        ASSERT_EQ(Where(t), Where(ref[i])) << "back " << i;
        ASSERT_EQ(m.Previous(t), i > 0);
    }
    Top past = m.PastEnd();
    ASSERT_TRUE(m.Previous(past));
    EXPECT_EQ(Where(past), Where(ref[n - 1]));

    t = m.Home();
    for (int i = 0; i + 7 < n; i += 7) {
        ASSERT_EQ(m.PageDown(t, 7), 7);
        ASSERT_EQ(Where(t), Where(ref[i + 7])) << "page down " << i;
    }
    Top end = m.End(10);
    ASSERT_EQ(Where(end), Where(ref[n - 10]));
    for (int i = n - 10; i - 7 >= 0; i -= 7) {
        ASSERT_EQ(m.PageUp(end, 7), 7);
        ASSERT_EQ(Where(end), Where(ref[i - 7])) << "page up " << i;
    }

    for (int k = 0; k < 20; ++k) {
        const int i = static_cast<int>(rng() % n);
        const std::vector<Row> five = m.Rows(m.Place(ref[i].micros, ref[i].file, ref[i].start), 5);
        ASSERT_EQ(static_cast<int>(five.size()), std::min(5, n - i));
        for (int j = 0; j < static_cast<int>(five.size()); ++j)
            EXPECT_EQ(Where(five[j]), Where(ref[i + j]));
        if (!times)
            continue;
        const std::int64_t when = ref[rng() % n].micros + (static_cast<std::int64_t>(rng() % 3) - 1) * jitter;
        const auto it = std::find_if(ref.begin(), ref.end(), [&](const RefRow& r) { return r.micros >= when; });
        EXPECT_EQ(Where(m.AtTime(when)), it == ref.end() ? Where(-1, 0) : Where(*it)) << when;
    }

    double before = 0;
    t = m.Home();
    do {
        const double now = m.FractionOf(t);
        EXPECT_GE(now, before);
        before = now;
    } while (m.Next(t));
    *lastFraction = before;
}

// The last log grows by `more` (its form's mark left off): the rows from the old end are the new ones, after
// every older row, and End of 3 rows is the third row from the new last.
void ExpectGrowth(Fixture& fx, const std::u16string& more, bool format, bool sorted)
{
    CMergedRows& m = *fx.rows;
    const std::vector<RefRow> ref = Reference(fx.logs, format, sorted);
    const Top oldEnd = m.PastEnd();
    const int last = static_cast<int>(fx.logs.size()) - 1;
    Log& log = fx.logs[last];
    log.bytes += textforms::Encode(more, log.form).substr(static_cast<std::size_t>(log.form.markBytes));
    m.Grow(last, static_cast<std::int64_t>(log.bytes.size()));
    const std::vector<RefRow> grown = Reference(fx.logs, format, sorted);
    const std::vector<Row> added = m.Rows(oldEnd, 100);
    ASSERT_EQ(added.size(), grown.size() - ref.size());
    for (std::size_t j = 0; j < added.size(); ++j)
        EXPECT_EQ(Where(added[j]), Where(grown[ref.size() + j]));
    EXPECT_EQ(m.Rows(m.Home(), static_cast<int>(grown.size()) + 1).size(), grown.size());
    EXPECT_EQ(Where(m.End(3)), Where(grown[grown.size() - 3]));
}

TEST(MergedRows, PagingMatchesTheSortedRecords)
{
    ASSERT_NE(IsoFormat(), nullptr);
    const struct {
        unsigned seed;
        int files;
        int records;
        bool utf16;  // the first file in UTF-16
    } cases[] = {{1, 2, 30, false}, {2, 3, 40, true},  {3, 4, 25, false},
                 {4, 5, 60, true},  {5, 1, 20, false}, {6, 8, 15, true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.seed);
        std::mt19937 rng(c.seed);
        Fixture fx;
        for (int f = 0; f < c.files; ++f) {
            const textforms::Form form = c.utf16 && f == 0 ? textforms::kForms[2] : textforms::kForms[f % 2];
            fx.logs.push_back({textforms::Encode(MakeLog(rng, c.records, rng() % 2 == 0, false, 0), form), form});
        }
        CMergedRows& m = fx.Open();
        const std::vector<RefRow> ref = Reference(fx.logs, true, true);
        const int n = static_cast<int>(ref.size());
        ASSERT_GT(n, 10);
        // The stamps are read: the rows span many times.
        std::set<std::int64_t> times;
        for (const RefRow& r : ref)
            times.insert(r.micros);
        ASSERT_GT(times.size(), 5u);

        double last = 0;
        ExpectPaging(m, ref, rng, true, 1, &last);
        EXPECT_DOUBLE_EQ(last, 1.0);
        // The thumb's ends.
        EXPECT_EQ(Where(m.AtFraction(0)), Where(ref[0]));
        EXPECT_EQ(m.AtFraction(1).micros, ref[n - 1].micros);
        ExpectGrowth(fx, MakeLog(rng, 6, false, false, 10000), true, true);
    }
}

// Out of order within files: from Home to the end, and back from the end,
// every row comes exactly once, each file's rows in the file's order.
TEST(MergedRows, OutOfOrderRowsComeOnceEachWay)
{
    for (unsigned seed = 10; seed < 14; ++seed) {
        std::mt19937 rng(seed);
        Fixture fx;
        for (int f = 0; f < 3; ++f)
            fx.logs.push_back(
                {textforms::Encode(MakeLog(rng, 40, f == 1, true, 0), textforms::kForms[0]), textforms::kForms[0]});
        CMergedRows& m = fx.Open();
        std::set<std::pair<int, std::int64_t>> expected;
        for (int f = 0; f < 3; ++f)
            for (const auto& line : textforms::ReferenceLines(fx.logs[f].bytes, fx.logs[f].form))
                expected.insert({f, line.first});
        for (bool forward : {true, false}) {
            std::set<std::pair<int, std::int64_t>> seen;
            std::map<int, std::int64_t> last;
            Top t = forward ? m.Home() : m.PastEnd();
            if (!forward) {
                ASSERT_TRUE(m.Previous(t));
            }
            do {
                EXPECT_TRUE(seen.insert({t.file, t.pos}).second) << seed << " twice " << Where(t);
                if (last.count(t.file)) {
                    EXPECT_EQ(forward, t.pos > last[t.file]) << seed;
                }
                last[t.file] = t.pos;
            } while (forward ? m.Next(t) : m.Previous(t));
            EXPECT_EQ(seen, expected) << seed << (forward ? " forward" : " back");
        }
    }
}

TEST(RotationRows, PagingMatchesThePartsOneAfterAnother)
{
    ASSERT_NE(IsoFormat(), nullptr);
    const struct {
        const char* what;
        unsigned seed;
        std::vector<int> records;  // of each part, oldest first
        bool format;
        bool utf16;       // the middle part in UTF-16
        bool clockAhead;  // the second part's clock an hour ahead: the parts still go in their order, not by time
    } cases[] = {
        {"five parts with a format", 1, {12, 9, 15, 7, 20}, true, false, false},
        {"five parts without a format", 2, {12, 9, 15, 7, 20}, false, false, false},
        {"an empty part in the middle and a UTF-16 part", 3, {10, 0, 14, 8}, true, true, false},
        {"an older part whose clock ran ahead", 6, {14, 11, 16}, true, false, true},
        {"two parts", 4, {25, 30}, true, false, false},
        {"one part alone", 5, {40}, false, false, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        std::mt19937 rng(c.seed);
        Fixture fx;
        int second = 0;
        for (std::size_t f = 0; f < c.records.size(); ++f) {
            const textforms::Form form =
                c.utf16 && f == c.records.size() / 2 ? textforms::kForms[2] : textforms::kForms[f % 2];
            int at = c.clockAhead && f == 1 ? second + 3600 : second;
            fx.logs.push_back({textforms::Encode(MakePart(rng, at, c.records[f], f % 2 == 0), form), form});
            second += c.records[f];
        }
        CMergedRows& m = fx.Open(c.format, merged::Order::Sequence);
        const std::vector<RefRow> ref = Reference(fx.logs, c.format, false);
        const int n = static_cast<int>(ref.size());
        ASSERT_GT(n, 20);
        double last = 0;
        ExpectPaging(m, ref, rng, c.format && !c.clockAhead, 500000, &last);

        // The thumb goes over the parts' bytes: a fraction shows the line that holds that byte of the whole.
        std::int64_t total = 0;
        for (const merged::Source& s : fx.sources)
            total += s.dataEnd - s.dataStart;
        for (int k = 0; k < 20; ++k) {
            const double fraction = k / 20.0;
            std::int64_t left = static_cast<std::int64_t>(fraction * static_cast<double>(total));
            int file = 0;
            for (; left >= fx.sources[file].dataEnd - fx.sources[file].dataStart; ++file)
                left -= fx.sources[file].dataEnd - fx.sources[file].dataStart;
            const std::int64_t byte = fx.sources[file].dataStart + left;
            const RefRow* holder = nullptr;
            for (const RefRow& r : ref)
                if (r.file == file && r.start <= byte)
                    holder = &r;
            ASSERT_NE(holder, nullptr);
            const Top at = m.AtFraction(fraction);
            EXPECT_EQ(Where(at), Where(*holder)) << fraction;
            EXPECT_NEAR(m.FractionOf(at), fraction, 0.05) << fraction;
        }
        ExpectGrowth(fx, MakePart(rng, second, 6, false), c.format, false);
    }
}

}  // namespace
