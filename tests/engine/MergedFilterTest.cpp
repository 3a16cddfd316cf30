// Merged rows while each file's filter stack hides lines: paging, Home, End,
// Go to Time and places against a reference that decides every line of every
// file on its own (the shown set's plain reference), sorts every record of the
// files by (time, file order) and keeps the shown lines; over random logs with
// equal times, continuation lines, context and a file that grows.
#include "engine/MergedRows.h"
#include "engine/ShownSet.h"
#include "tests/engine/ShownSetReference.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <map>
#include <random>

namespace {

using merged::CMergedRows;
using merged::Row;
using merged::Top;
using shownset::CShownSet;
using shownset::FilterRule;
using shownset::FilterStack;
using shownset::RuleKind;
using testutil::IsoFormat;
using testutil::StringReader;
using textforms::Form;

// Records whose times rise by 0..2 steps from startStep (equal times across files and within one), a level, a
// few words; some with indented continuation lines.
std::u16string MakeLog(std::mt19937& rng, int records, int startStep)
{
    static const char16_t* kWords[] = {u"alpha", u"timeout", u"health", u"beta", u"x1"};
    static const char16_t* kLevels[] = {u"ERROR", u"WARN", u"INFO", u"DEBUG"};
    std::u16string text;
    int step = startStep;
    for (int i = 0; i < records; ++i) {
        step += static_cast<int>(rng() % 3);
        char b[64];
        std::snprintf(b, sizeof b, "2024-05-01 06:%02d:%02d.%03d ", step / 40 % 60, step / 4 % 10, step % 4 * 100);
        text += std::u16string(b, b + std::strlen(b)) + kLevels[rng() % 4];
        for (unsigned w = rng() % 3; w > 0; --w)
            text += std::u16string(u" ") + kWords[rng() % 5];
        text += rng() % 4 ? u"\n" : u"\r\n";
        for (int c = static_cast<int>(rng() % 5); c > 2; --c)
            text += std::u16string(u"    at ") + kWords[rng() % 5] + u"\n";
    }
    return text;
}

// The shown set's answers as the rows ask them (a finished scan: nothing scanned ahead).
struct SetLines : merged::IShownLines {
    explicit SetLines(const CShownSet& s) : set(s) {}
    std::int64_t NextShown(std::int64_t pos) override
    {
        const std::int64_t p = set.ShownAtOrAfter(pos);
        return p < 0 ? std::numeric_limits<std::int64_t>::max() : p;
    }
    std::int64_t PrevShownEnd(std::int64_t pos) override { return set.ShownEndBefore(pos); }
    bool FollowsHidden(std::int64_t lineStart) override { return set.FollowsHidden(lineStart); }
    bool IsContext(std::int64_t lineStart) override { return set.IsContext(lineStart); }
    const CShownSet& set;
};

struct RefRow {
    int file;
    std::int64_t start, micros;
    bool followsHidden = false, context = false;
    bool shown = false;
};

std::string Where(int file, std::int64_t pos)
{
    return file < 0 ? "past" : std::string(1, static_cast<char>('A' + file)) + "@" + std::to_string(pos);
}
std::string Where(const RefRow& r)
{
    return Where(r.file, r.start);
}
std::string Where(const Top& t)
{
    return Where(t.file, t.pos);
}

struct Log {
    std::string bytes;
    Form form;
};

// Every line of every file in the merged order, each with its file's decision.
std::vector<RefRow> Reference(const std::vector<Log>& logs, const FilterStack& st)
{
    struct Record {
        std::int64_t micros;
        std::vector<RefRow> lines;
    };
    std::vector<Record> records;
    for (int f = 0; f < static_cast<int>(logs.size()); ++f) {
        const std::vector<shownref::RefLine> decided =
            shownref::Reference(logs[f].bytes, logs[f].form, st, IsoFormat());
        std::vector<Record> mine;
        for (std::size_t i = 0; i < decided.size(); ++i) {
            const shownref::RefLine& l = decided[i];
            logformat::LineRead read;
            const bool stamped =
                IsoFormat()->Read(textforms::AsciiLine(logs[f].bytes, l.start, l.end, logs[f].form), {2024, 5}, read);
            if (stamped || mine.empty())
                mine.push_back({stamped ? read.micros : merged::kVeryStart, {}});
            RefRow row{f, l.start, mine.back().micros};
            row.shown = l.kind != 0;
            row.context = l.kind == 2;
            row.followsHidden = row.shown && i > 0 && decided[i - 1].kind == 0;
            mine.back().lines.push_back(row);
        }
        for (Record& r : mine)
            for (RefRow& row : r.lines)
                row.micros = r.micros;
        records.insert(records.end(), mine.begin(), mine.end());
    }
    std::stable_sort(records.begin(), records.end(),
                     [](const Record& a, const Record& b) { return a.micros < b.micros; });
    std::vector<RefRow> rows;
    for (const Record& r : records)
        rows.insert(rows.end(), r.lines.begin(), r.lines.end());
    return rows;
}

std::vector<RefRow> ShownOnly(const std::vector<RefRow>& all)
{
    std::vector<RefRow> out;
    std::copy_if(all.begin(), all.end(), std::back_inserter(out), [](const RefRow& r) { return r.shown; });
    return out;
}

struct Fixture {
    std::vector<Log> logs;
    std::vector<std::unique_ptr<CShownSet>> sets;
    std::vector<std::unique_ptr<SetLines>> lines;
    std::vector<std::unique_ptr<StringReader>> readers;
    std::unique_ptr<CMergedRows> rows;

    void Open(const FilterStack& st)
    {
        std::vector<merged::Source> sources;
        for (const Log& l : logs) {
            sets.push_back(std::make_unique<CShownSet>(64));
            sets.back()->Start(std::make_unique<StringReader>(&l.bytes), {l.form.encoding, l.form.codePage}, st,
                               IsoFormat(), {2024, 5}, l.form.markBytes, static_cast<std::int64_t>(l.bytes.size()));
            sets.back()->WaitIdle();
            lines.push_back(std::make_unique<SetLines>(*sets.back()));
            readers.push_back(std::make_unique<StringReader>(&l.bytes));
            merged::Source s;
            s.reader = readers.back().get();
            s.shown = lines.back().get();
            s.form = {l.form.encoding, l.form.codePage};
            s.format = IsoFormat();
            s.ctx = {2024, 5};
            s.dataStart = l.form.markBytes;
            s.dataEnd = static_cast<std::int64_t>(l.bytes.size());
            sources.push_back(s);
        }
        rows = std::make_unique<CMergedRows>(std::move(sources));
    }
};

FilterRule Rule(RuleKind kind, const char16_t* text, bool regex = false)
{
    return {true, kind, text, regex, false};
}

std::int64_t Micros(const char* line)
{
    logformat::LineRead read;
    return IsoFormat()->Read(line, {2024, 5}, read) ? read.micros : 0;
}

struct Case {
    const char* name;
    unsigned seed;
    int files;
    int records;
    std::function<FilterStack()> stack;
};

const Case kCases[] = {
    {"include", 1, 3, 40, [] { return FilterStack{{Rule(RuleKind::Include, u"timeout")}}; }},
    {"include and exclude with context", 2, 4, 35,
     [] {
         FilterStack s{{Rule(RuleKind::Include, u"timeout"), Rule(RuleKind::Exclude, u"health")}};
         s.context = 2;
         return s;
     }},
    {"level, regex, one context line", 3, 3, 50,
     [] {
         FilterStack s{{Rule(RuleKind::Include, u"al.ha|x\\d", true)}};
         s.lowest = logformat::Level::Warn;
         s.context = 1;
         return s;
     }},
    {"time range and all of", 4, 5, 30,
     [] {
         FilterStack s{{Rule(RuleKind::Include, u"a"), Rule(RuleKind::Include, u"e")}};
         s.combine = shownset::Combine::All;
         s.hasFrom = s.hasTo = true;
         s.fromMicros = Micros("2024-05-01 06:00:03.000 INFO");
         s.toMicros = Micros("2024-05-01 06:00:07.000 INFO");
         return s;
     }},
    {"excludes only, many files, context 1", 5, 8, 20,
     [] {
         FilterStack s{{Rule(RuleKind::Exclude, u"alpha"), Rule(RuleKind::Exclude, u"health")}};
         s.context = 1;
         return s;
     }},
    {"a file of one encoding each", 6, 3, 40,
     [] {
         FilterStack s{{Rule(RuleKind::Include, u"ERROR"), Rule(RuleKind::Include, u"x1")}};
         s.context = 1;
         return s;
     }},
};

void ExpectRows(CMergedRows& m, const std::vector<RefRow>& ref, const std::string& what)
{
    const int n = static_cast<int>(ref.size());
    const std::vector<Row> all = m.Rows(m.Home(), n + 5);
    ASSERT_EQ(static_cast<int>(all.size()), n) << what;
    for (int i = 0; i < n; ++i) {
        ASSERT_EQ(Where(all[i].file, all[i].start), Where(ref[i])) << what << " row " << i;
        EXPECT_EQ(all[i].micros, ref[i].micros) << what << " row " << i;
        EXPECT_EQ(all[i].followsHidden, ref[i].followsHidden) << what << " row " << i;
        EXPECT_EQ(all[i].context, ref[i].context) << what << " row " << i;
    }
}

class MergedFilterTest : public ::testing::TestWithParam<Case> {};

TEST_P(MergedFilterTest, ShownRowsPageAsTheSortedShownLines)
{
    const Case& c = GetParam();
    ASSERT_NE(IsoFormat(), nullptr);
    std::mt19937 rng(c.seed);
    const FilterStack st = c.stack();
    Fixture fx;
    for (int f = 0; f < c.files; ++f) {
        const Form form = textforms::kForms[(f + c.seed) % 3];
        fx.logs.push_back({textforms::Encode(MakeLog(rng, c.records, 0), form), form});
    }
    fx.Open(st);
    CMergedRows& m = *fx.rows;
    const std::vector<RefRow> full = Reference(fx.logs, st);
    const std::vector<RefRow> ref = ShownOnly(full);
    const int n = static_cast<int>(ref.size());
    // The stack hides some lines and shows enough to page over, some after hidden lines.
    ASSERT_GT(n, 12) << c.name;
    ASSERT_LT(n, static_cast<int>(full.size())) << c.name;
    ASSERT_TRUE(std::any_of(ref.begin() + 1, ref.end(), [](const RefRow& r) { return r.followsHidden; })) << c.name;
    if (st.context > 0) {
        ASSERT_TRUE(std::any_of(ref.begin(), ref.end(), [](const RefRow& r) { return r.context; })) << c.name;
    }

    ExpectRows(m, ref, c.name);

    // Row by row forward, then back; from past the end one step back is the last row.
    Top t = m.Home();
    for (int i = 0; i < n; ++i) {
        ASSERT_EQ(Where(t), Where(ref[i])) << c.name << " forward " << i;
        ASSERT_EQ(m.Next(t), i + 1 < n) << c.name;
    }
    for (int i = n - 1; i >= 0; --i) {
        ASSERT_EQ(Where(t), Where(ref[i])) << c.name << " back " << i;
        ASSERT_EQ(m.Previous(t), i > 0) << c.name;
    }
    // Pages down and up, and End.
    t = m.Home();
    for (int i = 0; i + 5 < n; i += 5) {
        ASSERT_EQ(m.PageDown(t, 5), 5) << c.name;
        ASSERT_EQ(Where(t), Where(ref[i + 5])) << c.name << " page down " << i;
    }
    Top end = m.End(6);
    ASSERT_EQ(Where(end), Where(ref[n - 6])) << c.name;
    for (int i = n - 6; i - 5 >= 0; i -= 5) {
        ASSERT_EQ(m.PageUp(end, 5), 5) << c.name;
        ASSERT_EQ(Where(end), Where(ref[i - 5])) << c.name << " page up " << i;
    }

    // Go to Time: the first shown row at or after the time.
    for (int k = 0; k < 25; ++k) {
        const RefRow& any = full[rng() % full.size()];
        const std::int64_t when = any.micros + static_cast<std::int64_t>(rng() % 3) - 1;
        const auto it = std::find_if(ref.begin(), ref.end(), [&](const RefRow& r) { return r.micros >= when; });
        EXPECT_EQ(Where(m.AtTime(when)), it == ref.end() ? std::string("past") : Where(*it)) << c.name << " " << when;
    }
    // A place made from any line, shown or hidden: the rows from the first shown one at or after it.
    for (int k = 0; k < 25; ++k) {
        const std::size_t i = rng() % full.size();
        const auto next = std::find_if(full.begin() + static_cast<std::ptrdiff_t>(i), full.end(),
                                       [](const RefRow& r) { return r.shown; });
        const Top at = m.Place(full[i].micros, full[i].file, full[i].start);
        EXPECT_EQ(Where(at), next == full.end() ? std::string("past") : Where(*next))
            << c.name << " place " << Where(full[i]);
    }

    // A file grows: the rows are those of the longer files, and the last screenful is the new one.
    const int grown = static_cast<int>(rng() % static_cast<unsigned>(c.files));
    Log& g = fx.logs[static_cast<std::size_t>(grown)];
    g.bytes += textforms::Encode(MakeLog(rng, 12, 700), g.form).substr(static_cast<std::size_t>(g.form.markBytes));
    fx.sets[static_cast<std::size_t>(grown)]->Grow(static_cast<std::int64_t>(g.bytes.size()));
    fx.sets[static_cast<std::size_t>(grown)]->WaitIdle();
    m.Grow(grown, static_cast<std::int64_t>(g.bytes.size()));
    const std::vector<RefRow> ref2 = ShownOnly(Reference(fx.logs, st));
    ExpectRows(m, ref2, std::string(c.name) + " grown");
    const Top end2 = m.End(6);
    ASSERT_GE(ref2.size(), 6u);
    EXPECT_EQ(Where(end2), Where(ref2[ref2.size() - 6])) << c.name << " grown end";
}

INSTANTIATE_TEST_SUITE_P(Stacks, MergedFilterTest, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<Case>& info) {
                             std::string name = info.param.name;
                             for (char& ch : name)
                                 ch = std::isalnum(static_cast<unsigned char>(ch)) ? ch : '_';
                             return name;
                         });

}  // namespace
