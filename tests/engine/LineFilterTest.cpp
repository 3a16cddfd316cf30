// The filter against a plain reference: lines found by walking the units one
// by one, each matched on its own (plain text by the reference search,
// regular expressions by std::regex), over random texts in every encoding,
// with every pairing of CR and LF, read in chunks of many sizes.
#include "engine/LineFilter.h"
#include "tests/engine/TextForms.h"

#include <gtest/gtest.h>

#include <random>

namespace {

using testutil::StringReader;

using linefilter::CLineFilter;
using linefilter::FilterQuery;
using linefilter::TextForm;
using platform::CodePage;
using namespace textforms;

// Characters of the random texts: letters of both cases, one outside ASCII
// in both cases, one that Windows-1252 lacks (stored there as '?'), a '?',
// the breaks, a tab and a NUL.
const char16_t kAlphabet[] = u"abcxAB1 \r\n\t\u00E9\u00C9\u03A9?";

std::string RandomText(std::mt19937& rng, const Form& f, std::size_t chars)
{
    std::u16string text;
    const std::size_t n = sizeof kAlphabet / sizeof kAlphabet[0];  // the terminator stands for NUL
    for (std::size_t i = 0; i < chars; ++i)
        text += kAlphabet[rng() % (rng() % 3 ? n - 1 : n)];
    return Encode(text, f);
}

std::vector<std::int64_t> Reference(const std::string& bytes, const Form& f, const FilterQuery& query)
{
    const auto* v = reinterpret_cast<const std::uint8_t*>(bytes.data());
    std::vector<std::int64_t> out;
    for (const auto& [b, e] : ReferenceLines(bytes, f)) {
        const bool hit = query.regex ? RegexHit(AsciiLine(bytes, b, e, f), query.pattern, query.ignoreCase)
                                     : searchref::Search(v, b, e, f.encoding, query.ignoreCase, query.pattern, b, e,
                                                         false, f.codePage) >= 0;
        if (hit != query.invert)
            out.push_back(b);
    }
    return out;
}

std::vector<std::int64_t> Listed(const CLineFilter& filter)
{
    std::vector<std::int64_t> out;
    for (std::int64_t i = 0; i < filter.Count(); ++i)
        out.push_back(filter.At(i));
    return out;
}

struct PatternCase {
    const char16_t* pattern;
    bool regex, ignoreCase, invert;
};

const PatternCase kPatterns[] = {
    {u"a", false, false, false},   {u"ab", false, true, false},   {u"\u00E9", false, true, false},
    {u"c a", false, false, true},  {u"x", false, false, true},    {u"b.c", true, false, false},
    {u"^a", true, false, false},   {u"c$", true, false, false},   {u"[ab]c|x1", true, true, false},
    {u"(ab)+", true, false, true}, {u"x*", true, false, false},   {u"[^a ]b", true, false, false},
    {u"\\d", true, false, false},  {u"a.*c", true, true, false},  {u"^$", true, false, true},
    {u"ab|x1", true, true, false}, {u"c|b a", true, false, true},
};

TEST(LineFilter, ListsWhatThePlainReferenceListsOnRandomTexts)
{
    std::mt19937 rng(4242);
    for (int iter = 0; iter < 12; ++iter) {
        for (const Form& f : kForms) {
            const std::string bytes = RandomText(rng, f, 1 + rng() % 300);
            for (const PatternCase& c : kPatterns) {
                const FilterQuery query{c.pattern, c.regex, c.ignoreCase, c.invert};
                const std::vector<std::int64_t> expected = Reference(bytes, f, query);
                // Small chunks cut lines and pairs; small blocks on the pool cut each chunk in pieces too.
                const struct {
                    std::size_t chunk;
                    std::int64_t block;
                } reads[] = {{8, 0}, {30, 0}, {std::size_t{1} << 20, 0}, {8, 4}, {30, 12}};
                for (const auto [chunk, block] : reads) {
                    CLineFilter filter(chunk, CLineFilter::kMaxEntries,
                                       block > 0 ? engine::BlockSplit{0, block} : engine::BlockSplit{});
                    ASSERT_TRUE(filter.Start(std::make_unique<StringReader>(&bytes), TextForm{f.encoding, f.codePage},
                                             query, f.markBytes, static_cast<std::int64_t>(bytes.size()), nullptr));
                    filter.WaitIdle();
                    ASSERT_EQ(Listed(filter), expected)
                        << "encoding " << f.encoding << " pattern " << platform::Utf16ToUtf8(query.pattern) << " regex "
                        << query.regex << " invert " << query.invert << " chunk " << chunk << " block " << block;
                    EXPECT_EQ(filter.Status().percent, 100);
                }
            }
        }
    }
}

// Expressions that every match of holds a literal of three characters or more: the filter looks for the
// literal first and runs the expression on its lines alone. Texts of words that hold the literal, almost hold
// it, or hold it across a break or a NUL.
TEST(LineFilter, ExpressionsWithALiteralEveryMatchHoldsListWhatTheReferenceLists)
{
    const char16_t* const kWords[] = {u"abc", u"abx", u"xabc1", u"AbC",  u"ab",        u"c1",  u" ",
                                      u"\t",  u"\r",  u"\n",    u"\r\n", u"\u00E9abc", nullptr /* a NUL */};
    const PatternCase kLiteral[] = {
        {u"abc.?1", true, false, false},
        {u"^abc", true, true, false},
        {u"abc$", true, false, false},
        {u"(abc)+x", true, true, true},
        {u"xab[c1]", true, true, false},
        {u"abc\\s*c1", true, false, false},
        // Starting with the literal: a later one on the line may start the match; a quantifier takes the last
        // character from the literal.
        {u"abc[1\\t]", true, false, false},
        {u"abcc?1", true, false, false},
        {u"abc\\b", true, false, true},
    };
    std::mt19937 rng(77);
    for (int iter = 0; iter < 20; ++iter) {
        for (const Form& f : kForms) {
            std::u16string text;
            for (int w = 1 + static_cast<int>(rng() % 120); w > 0; --w) {
                const std::size_t k = rng() % std::size(kWords);
                text += kWords[k] ? std::u16string(kWords[k]) : std::u16string(1, u'\0');
            }
            const std::string bytes = Encode(text, f);
            for (const PatternCase& c : kLiteral) {
                const FilterQuery query{c.pattern, c.regex, c.ignoreCase, c.invert};
                for (const std::size_t chunk : {std::size_t{16}, std::size_t{1} << 20}) {
                    CLineFilter filter(chunk, CLineFilter::kMaxEntries);
                    ASSERT_TRUE(filter.Start(std::make_unique<StringReader>(&bytes), TextForm{f.encoding, f.codePage},
                                             query, f.markBytes, static_cast<std::int64_t>(bytes.size()), nullptr));
                    filter.WaitIdle();
                    ASSERT_EQ(Listed(filter), Reference(bytes, f, query))
                        << "encoding " << f.encoding << " pattern " << platform::Utf16ToUtf8(query.pattern) << " chunk "
                        << chunk;
                }
            }
        }
    }
}

// Appended text is matched from the line that held the old end, however
// the cut falls (inside a CR LF pair, inside a line, after a break).
TEST(LineFilter, GrowthListsWhatAFreshScanOfTheWholeTextLists)
{
    std::mt19937 rng(99);
    for (int iter = 0; iter < 40; ++iter) {
        const Form& f = kForms[iter % 4];
        const std::string full = RandomText(rng, f, 2 + rng() % 200);
        const std::size_t u = static_cast<std::size_t>(EncodingUnitSize(f.encoding));
        const std::size_t body = (full.size() - static_cast<std::size_t>(f.markBytes)) / u;
        for (const PatternCase& c : {kPatterns[0], kPatterns[4], kPatterns[6], kPatterns[14]}) {
            const FilterQuery query{c.pattern, c.regex, c.ignoreCase, c.invert};
            std::string bytes = full.substr(0, static_cast<std::size_t>(f.markBytes) + rng() % (body + 1) * u);
            CLineFilter filter(16);
            ASSERT_TRUE(filter.Start(std::make_unique<StringReader>(&bytes), TextForm{f.encoding, f.codePage}, query,
                                     f.markBytes, static_cast<std::int64_t>(bytes.size()), nullptr));
            filter.WaitIdle();
            while (bytes.size() < full.size()) {
                bytes = full.substr(0, std::min(full.size(), bytes.size() + (1 + rng() % 20) * u));
                filter.Grow(static_cast<std::int64_t>(bytes.size()));
                filter.WaitIdle();
            }
            ASSERT_EQ(Listed(filter), Reference(full, f, query)) << "iteration " << iter;
        }
    }
}

// A character that Windows-1252 lacks is stored there as '?': a pattern that
// holds one looks for that '?' literally, as find does, and never turns into
// another pattern ("\u03A9" into the invalid "?", "a\u03A9" into "a?", which matches every 'a').
TEST(LineFilter, ACharacterTheCodePageLacksIsMatchedAsTheQuestionMarkItIsStoredAs)
{
    const std::u16string text = u"ab\na?\na\u03A9\n\u03A9\n?\n";
    struct Case {
        int form;
        const char16_t* pattern;
        bool regex;
        std::vector<int> lines;  // the listed lines, by number
    };
    const Case cases[] = {
        {0, u"a\u03A9", true, {1, 2}},   {0, u"\u03A9", true, {1, 2, 3, 4}}, {0, u"a\u03A9", false, {1, 2}},
        {0, u"a\u03A9|x", true, {1, 2}}, {1, u"a\u03A9", true, {2}},         {1, u"\u03A9", true, {2, 3}},
        {1, u"a\u03A9", false, {2}},     {2, u"a\u03A9", true, {2}},         {3, u"\u03A9$", true, {2, 3}},
    };
    for (const Case& c : cases) {
        const Form& f = kForms[c.form];
        const std::string bytes = Encode(text, f);
        std::vector<std::int64_t> expected;
        const std::vector<std::pair<std::int64_t, std::int64_t>> lines = ReferenceLines(bytes, f);
        for (const int n : c.lines)
            expected.push_back(lines[static_cast<std::size_t>(n)].first);
        CLineFilter filter;
        std::string error;
        ASSERT_TRUE(filter.Start(std::make_unique<StringReader>(&bytes), TextForm{f.encoding, f.codePage},
                                 FilterQuery{c.pattern, c.regex, false, false}, f.markBytes,
                                 static_cast<std::int64_t>(bytes.size()), &error))
            << error;
        filter.WaitIdle();
        EXPECT_EQ(Listed(filter), expected) << "form " << c.form << " pattern " << platform::Utf16ToUtf8(c.pattern);
    }
}

TEST(LineFilter, ListStopsAtItsCapAndSaysSo)
{
    const std::string bytes = "a1\nb\na2\na3\na4\n";
    const Form f = kForms[0];
    CLineFilter filter(4, 3);
    ASSERT_TRUE(filter.Start(std::make_unique<StringReader>(&bytes), TextForm{f.encoding, f.codePage},
                             FilterQuery{u"a", false, false, false}, 0, static_cast<std::int64_t>(bytes.size()),
                             nullptr));
    filter.WaitIdle();
    EXPECT_EQ(Listed(filter), (std::vector<std::int64_t>{0, 5, 8}));
    EXPECT_TRUE(filter.Status().capped);
    // In pieces on the pool, the cap falls on the same lines.
    CLineFilter pieces(8, 3, engine::BlockSplit{0, 4});
    ASSERT_TRUE(pieces.Start(std::make_unique<StringReader>(&bytes), TextForm{f.encoding, f.codePage},
                             FilterQuery{u"a", false, false, false}, 0, static_cast<std::int64_t>(bytes.size()),
                             nullptr));
    pieces.WaitIdle();
    EXPECT_EQ(Listed(pieces), (std::vector<std::int64_t>{0, 5, 8}));
    EXPECT_TRUE(pieces.Status().capped);
}

// What the last news of a scan or of a growth reads: the scan over, so that a pane that shows the status at
// each piece of news is not left at "100 % scanned".
TEST(LineFilter, TheLastNewsOfAScanSaysItIsOver)
{
    std::string bytes = "a1\nb\na2\n";
    // Declared before the filter so that it outlives the filter's thread, which may still be sending news.
    std::vector<linefilter::FilterStatus> news;
    CLineFilter filter(4);
    filter.SetNotify([&] { news.push_back(filter.Status()); });
    ASSERT_TRUE(filter.Start(std::make_unique<StringReader>(&bytes), TextForm{EncodingAnsi, CodePage::Windows1252},
                             FilterQuery{u"a", false, false, false}, 0, static_cast<std::int64_t>(bytes.size()),
                             nullptr));
    for (int step = 0; step < 2; ++step) {
        filter.WaitIdle();
        ASSERT_FALSE(news.empty());
        EXPECT_FALSE(news.back().running) << step;
        EXPECT_EQ(news.back().percent, 100) << step;
        EXPECT_EQ(news.back().count, 2 + step) << step;
        bytes += "a3\n";
        filter.Grow(static_cast<std::int64_t>(bytes.size()));
    }
}

TEST(LineFilter, InvalidPatternsAreRefusedWithAReason)
{
    const std::string bytes = "abc\n";
    for (const char16_t* pattern : {u"(", u"a{2,1}", u"[z-a]", u""}) {
        CLineFilter filter;
        std::string error;
        EXPECT_FALSE(filter.Start(std::make_unique<StringReader>(&bytes), TextForm{EncodingAnsi, CodePage::Utf8},
                                  FilterQuery{pattern, true, false, false}, 0, 4, &error));
        EXPECT_FALSE(error.empty());
        EXPECT_EQ(error.find("(?m)"), std::string::npos) << error;
    }
}

}  // namespace
