// A rotation set's rows (merged::Order::Sequence) against the parts read one after another: paging forward
// and back, Home, End, the thumb and Go to Time, a growing current part, parts with and without a format.
#include "engine/MergedRows.h"
#include "tests/engine/TextForms.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <random>

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

// A part: records one second apart from `second` on, some with continuation lines, some lines without a
// stamp at the head, mixed breaks; an empty part when `records` is 0.
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
        text += std::u16string(b, b + std::strlen(b)) + breaks[rng() % 3];
        for (int c = static_cast<int>(rng() % 4); c > 1; --c)
            text += u"    at frame \u00e9\n";
    }
    return text;
}

struct Part {
    std::string bytes;
    textforms::Form form;
};

struct RefRow {
    int file;
    std::int64_t start;
    std::int64_t micros;  // the record's time (kVeryStart without a format)
};

// Every line of every part, the parts one after another.
std::vector<RefRow> Reference(const std::vector<Part>& parts, bool format)
{
    std::vector<RefRow> rows;
    for (int f = 0; f < static_cast<int>(parts.size()); ++f) {
        std::vector<RefRow> mine;
        std::int64_t time = merged::kVeryStart;
        for (const auto& [b, e] : textforms::ReferenceLines(parts[f].bytes, parts[f].form)) {
            logformat::LineRead read;
            if (format && Iso()->Read(textforms::AsciiLine(parts[f].bytes, b, e, parts[f].form), {}, read))
                time = read.micros;
            mine.push_back({f, b, time});
        }
        // Head lines take the part's first record's time.
        for (RefRow& r : mine)
            if (r.micros == merged::kVeryStart)
                for (const RefRow& later : mine)
                    if (later.micros != merged::kVeryStart) {
                        r.micros = later.micros;
                        break;
                    }
        rows.insert(rows.end(), mine.begin(), mine.end());
    }
    return rows;
}

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

struct Case {
    const char* what;
    unsigned seed;
    std::vector<int> records;  // of each part, oldest first
    bool format;
    bool utf16;       // the middle part in UTF-16
    bool clockAhead;  // the second part's clock an hour ahead: the parts still go in their order, not by time
};

TEST(RotationRows, PagingMatchesThePartsOneAfterAnother)
{
    ASSERT_NE(Iso(), nullptr);
    const std::vector<Case> cases = {
        {"five parts with a format", 1, {12, 9, 15, 7, 20}, true, false, false},
        {"five parts without a format", 2, {12, 9, 15, 7, 20}, false, false, false},
        {"an empty part in the middle and a UTF-16 part", 3, {10, 0, 14, 8}, true, true, false},
        {"an older part whose clock ran ahead", 6, {14, 11, 16}, true, false, true},
        {"two parts", 4, {25, 30}, true, false, false},
        {"one part alone", 5, {40}, false, false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::mt19937 rng(c.seed);
        std::vector<Part> parts;
        int second = 0;
        for (std::size_t f = 0; f < c.records.size(); ++f) {
            const textforms::Form form =
                c.utf16 && f == c.records.size() / 2 ? textforms::kForms[2] : textforms::kForms[f % 2];
            int at = c.clockAhead && f == 1 ? second + 3600 : second;
            parts.push_back({textforms::Encode(MakePart(rng, at, c.records[f], f % 2 == 0), form), form});
            second += c.records[f];
        }
        std::vector<std::unique_ptr<testutil::StringReader>> readers;
        std::vector<merged::Source> sources;
        for (const Part& p : parts) {
            readers.push_back(std::make_unique<testutil::StringReader>(&p.bytes));
            merged::Source s;
            s.reader = readers.back().get();
            s.form = {p.form.encoding, p.form.codePage};
            s.format = c.format ? Iso() : nullptr;
            s.dataStart = p.form.markBytes;
            s.dataEnd = static_cast<std::int64_t>(p.bytes.size());
            sources.push_back(s);
        }
        CMergedRows m(sources, merged::Order::Sequence);
        const std::vector<RefRow> ref = Reference(parts, c.format);
        const int n = static_cast<int>(ref.size());
        ASSERT_GT(n, 20);

        // Home's screenful holds every row in the parts' order.
        const std::vector<Row> all = m.Rows(m.Home(), n + 5);
        ASSERT_EQ(static_cast<int>(all.size()), n);
        for (int i = 0; i < n; ++i)
            ASSERT_EQ(Where(all[i].file, all[i].start), Where(ref[i])) << i;

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

        // Pages of 7 down from Home and up from End; End of 10 rows is the tenth row from the last.
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
        // A place made from any row goes on with the rows after it, across parts.
        for (int k = 0; k < 10; ++k) {
            const int i = static_cast<int>(rng() % n);
            const std::vector<Row> five = m.Rows(m.Place(ref[i].micros, ref[i].file, ref[i].start), 5);
            ASSERT_EQ(static_cast<int>(five.size()), std::min(5, n - i));
            for (int j = 0; j < static_cast<int>(five.size()); ++j)
                EXPECT_EQ(Where(five[j].file, five[j].start), Where(ref[i + j]));
        }

        // The thumb goes over the parts' bytes: a fraction shows the line that holds that byte of the whole.
        std::int64_t total = 0;
        for (const merged::Source& s : sources)
            total += s.dataEnd - s.dataStart;
        for (int k = 0; k < 20; ++k) {
            const double fraction = k / 20.0;
            std::int64_t left = static_cast<std::int64_t>(fraction * static_cast<double>(total));
            int file = 0;
            while (left >= sources[file].dataEnd - sources[file].dataStart) {
                left -= sources[file].dataEnd - sources[file].dataStart;
                ++file;
            }
            const std::int64_t byte = sources[file].dataStart + left;
            const RefRow* holder = nullptr;
            for (const RefRow& r : ref)
                if (r.file == file && r.start <= byte)
                    holder = &r;
            ASSERT_NE(holder, nullptr);
            const Top at = m.AtFraction(fraction);
            EXPECT_EQ(Where(at), Where(*holder)) << fraction;
            EXPECT_NEAR(m.FractionOf(at), fraction, 0.05) << fraction;
        }
        double before = 0;
        t = m.Home();
        do {
            const double now = m.FractionOf(t);
            EXPECT_GE(now, before);
            before = now;
        } while (m.Next(t));

        // Go to Time: the first row whose record is at or after the time, in the first part that reaches it.
        if (c.format && !c.clockAhead) {
            for (int k = 0; k < 15; ++k) {
                const std::int64_t when = ref[rng() % n].micros + (static_cast<std::int64_t>(rng() % 3) - 1) * 500000;
                const auto it = std::find_if(ref.begin(), ref.end(), [&](const RefRow& r) { return r.micros >= when; });
                EXPECT_EQ(Where(m.AtTime(when)), it == ref.end() ? Where(-1, 0) : Where(*it)) << when;
            }
        }

        // The current part grows: the rows from the old end are the new ones, after every older row.
        const Top oldEnd = m.PastEnd();
        const int current = static_cast<int>(parts.size()) - 1;
        parts[current].bytes += textforms::Encode(MakePart(rng, second, 6, false), parts[current].form)
                                    .substr(static_cast<std::size_t>(parts[current].form.markBytes));
        m.Grow(current, static_cast<std::int64_t>(parts[current].bytes.size()));
        const std::vector<RefRow> grown = Reference(parts, c.format);
        const std::vector<Row> added = m.Rows(oldEnd, 100);
        ASSERT_EQ(added.size(), grown.size() - ref.size());
        for (std::size_t j = 0; j < added.size(); ++j)
            EXPECT_EQ(Where(added[j].file, added[j].start), Where(grown[ref.size() + j]));
        const Top last = m.End(3);
        EXPECT_EQ(Where(last), Where(grown[grown.size() - 3]));
    }
}

}  // namespace
