// Merged windows' paging against every record of every file stable-sorted by
// (time, file order), over random logs in several text forms.
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

const logformat::CFormat* Iso()
{
    for (const logformat::CFormat* f : logformat::BuiltinFormats())
        if (f->Name() == "ISO 8601")
            return f;
    return nullptr;
}

std::u16string Stamp(std::int64_t secs, int micros)
{
    char b[64];
    std::snprintf(b, sizeof b, "2026-12-07 06:%02d:%02d.%06dZ", static_cast<int>(secs / 60 % 60),
                  static_cast<int>(secs % 60), micros);
    return std::u16string(b, b + std::strlen(b));
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
        text += Stamp(at / 4, (at % 4) * 1000) + u" INFO r" + std::u16string(1, static_cast<char16_t>(u'a' + i % 26));
        text += breaks[rng() % 3];
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
    std::int64_t micros;
};

std::vector<RefRow> Reference(const std::vector<Log>& logs)
{
    struct Record {
        std::int64_t micros;
        int file;
        std::vector<std::int64_t> lines;
    };
    std::vector<Record> records;
    for (int f = 0; f < static_cast<int>(logs.size()); ++f) {
        std::vector<Record> mine;
        for (const auto& [b, e] : textforms::ReferenceLines(logs[f].bytes, logs[f].form)) {
            logformat::LineRead read;
            if (Iso()->Read(textforms::AsciiLine(logs[f].bytes, b, e, logs[f].form), {}, read) || mine.empty())
                mine.push_back({Iso()->Read(textforms::AsciiLine(logs[f].bytes, b, e, logs[f].form), {}, read)
                                    ? read.micros
                                    : merged::kVeryStart,
                                f,
                                {}});
            mine.back().lines.push_back(b);
        }
        // Head lines take the first record's time.
        if (mine.size() > 1 && mine[0].micros == merged::kVeryStart)
            mine[0].micros = mine[1].micros;
        records.insert(records.end(), mine.begin(), mine.end());
    }
    std::stable_sort(records.begin(), records.end(),
                     [](const Record& a, const Record& b) { return a.micros < b.micros; });
    std::vector<RefRow> rows;
    for (const Record& r : records)
        for (std::int64_t s : r.lines)
            rows.push_back({r.file, s, r.micros});
    return rows;
}

struct Fixture {
    std::vector<Log> logs;
    std::vector<std::unique_ptr<testutil::StringReader>> readers;
    std::unique_ptr<CMergedRows> rows;

    void Open()
    {
        std::vector<merged::Source> sources;
        readers.clear();
        for (const Log& l : logs) {
            readers.push_back(std::make_unique<testutil::StringReader>(&l.bytes));
            merged::Source s;
            s.reader = readers.back().get();
            s.form = {l.form.encoding, l.form.codePage};
            s.format = Iso();
            s.dataStart = l.form.markBytes;
            s.dataEnd = static_cast<std::int64_t>(l.bytes.size());
            sources.push_back(s);
        }
        rows = std::make_unique<CMergedRows>(std::move(sources));
    }
};

std::string Where(const RefRow& r)
{
    return std::to_string(r.file) + "@" + std::to_string(r.start);
}
std::string Where(const Top& t)
{
    return std::to_string(t.file) + "@" + std::to_string(t.pos);
}

struct Case {
    unsigned seed;
    int files;
    int records;
    bool utf16;
};

class MergedRowsTest : public ::testing::TestWithParam<Case> {};

TEST_P(MergedRowsTest, PagingMatchesTheSortedRecords)
{
    const Case c = GetParam();
    ASSERT_NE(Iso(), nullptr);
    std::mt19937 rng(c.seed);
    Fixture fx;
    for (int f = 0; f < c.files; ++f) {
        const textforms::Form form = c.utf16 && f == 0 ? textforms::kForms[2] : textforms::kForms[f % 2];
        fx.logs.push_back({textforms::Encode(MakeLog(rng, c.records, rng() % 2 == 0, false, 0), form), form});
    }
    fx.Open();
    CMergedRows& m = *fx.rows;
    const std::vector<RefRow> ref = Reference(fx.logs);
    const int n = static_cast<int>(ref.size());
    ASSERT_GT(n, 10);
    // The stamps are read: the rows span many times.
    std::set<std::int64_t> times;
    for (const RefRow& r : ref)
        times.insert(r.micros);
    ASSERT_GT(times.size(), 5u);

    // A screenful from Home holds every row.
    const std::vector<Row> all = m.Rows(m.Home(), n + 5);
    ASSERT_EQ(static_cast<int>(all.size()), n);
    for (int i = 0; i < n; ++i) {
        ASSERT_EQ(std::to_string(all[i].file) + "@" + std::to_string(all[i].start), Where(ref[i])) << i;
        ASSERT_EQ(all[i].micros, ref[i].micros) << i;
    }

    // Row by row forward, then back.
    Top t = m.Home();
    for (int i = 0; i < n; ++i) {
        ASSERT_EQ(Where(t), Where(ref[i])) << "forward " << i;
        ASSERT_EQ(m.Next(t), i + 1 < n);
    }
    for (int i = n - 1; i >= 0; --i) {
        ASSERT_EQ(Where(t), Where(ref[i])) << "back " << i;
        ASSERT_EQ(m.Previous(t), i > 0);
    }
    // From past the end, one step back is the last row.
    Top past = m.PastEnd();
    ASSERT_TRUE(m.Previous(past));
    EXPECT_EQ(Where(past), Where(ref[n - 1]));

    // Pages of 7 down and up; End of 10 rows.
    t = m.Home();
    for (int i = 0; i + 7 < n; i += 7) {
        EXPECT_EQ(m.PageDown(t, 7), 7);
        ASSERT_EQ(Where(t), Where(ref[i + 7])) << "page down " << i;
    }
    Top end = m.End(10);
    EXPECT_EQ(Where(end), Where(ref[n - 10]));
    for (int i = n - 10; i - 7 >= 0; i -= 7) {
        EXPECT_EQ(m.PageUp(end, 7), 7);
        ASSERT_EQ(Where(end), Where(ref[i - 7])) << "page up " << i;
    }

    // Go to Time and places made from any row.
    for (int k = 0; k < 20; ++k) {
        const std::int64_t when = ref[rng() % n].micros + static_cast<std::int64_t>(rng() % 3) - 1;
        const auto it = std::find_if(ref.begin(), ref.end(), [&](const RefRow& r) { return r.micros >= when; });
        const Top at = m.AtTime(when);
        EXPECT_EQ(Where(at), it == ref.end() ? std::string("-1@0") : Where(*it)) << when;
        const int i = static_cast<int>(rng() % n);
        const std::vector<Row> five = m.Rows(m.Place(ref[i].micros, ref[i].file, ref[i].start), 5);
        for (int j = 0; j < static_cast<int>(five.size()); ++j)
            EXPECT_EQ(std::to_string(five[j].file) + "@" + std::to_string(five[j].start), Where(ref[i + j]));
        EXPECT_EQ(static_cast<int>(five.size()), std::min(5, n - i));
    }

    // The thumb: its ends, and fractions that rise with the rows.
    EXPECT_EQ(Where(m.AtFraction(0)), Where(ref[0]));
    EXPECT_EQ(m.AtFraction(1).micros, ref[n - 1].micros);
    double before = 0;
    t = m.Home();
    do {
        const double now = m.FractionOf(t);
        EXPECT_GE(now, before);
        before = now;
    } while (m.Next(t));
    EXPECT_DOUBLE_EQ(before, 1.0);

    // A file grows: the rows from the old end are the new ones.
    const Top oldEnd = m.PastEnd();
    const int grown = c.files - 1;
    fx.logs[grown].bytes += textforms::Encode(MakeLog(rng, 6, false, false, 10000), fx.logs[grown].form)
                                .substr(static_cast<std::size_t>(fx.logs[grown].form.markBytes));
    m.Grow(grown, static_cast<std::int64_t>(fx.logs[grown].bytes.size()));
    const std::vector<RefRow> ref2 = Reference(fx.logs);
    const std::vector<Row> added = m.Rows(oldEnd, 100);
    ASSERT_EQ(added.size(), ref2.size() - ref.size());
    for (std::size_t j = 0; j < added.size(); ++j)
        EXPECT_EQ(std::to_string(added[j].file) + "@" + std::to_string(added[j].start), Where(ref2[ref.size() + j]));
    EXPECT_EQ(m.Rows(m.Home(), static_cast<int>(ref2.size()) + 1).size(), ref2.size());
}

INSTANTIATE_TEST_SUITE_P(Seeds, MergedRowsTest,
                         ::testing::Values(Case{1, 2, 30, false}, Case{2, 3, 40, true}, Case{3, 4, 25, false},
                                           Case{4, 5, 60, true}, Case{5, 1, 20, false}, Case{6, 8, 15, true}));

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
        fx.Open();
        CMergedRows& m = *fx.rows;
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

}  // namespace
