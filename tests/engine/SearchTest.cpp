// Search: find first, next and previous in a window, the match scrolled into
// view, and the fast scans, all checked against the plain reference of
// SearchReference.h.
#include "engine/ScanReader.h"
#include "engine/SearchKernels.h"
#include "tests/core/TestUtil.h"
#include "tests/engine/SearchSteps.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <sys/mman.h>

namespace {

using testutil::Window;

using testutil::FileBytes;
using testutil::kAllEncodings;

// --- The rules of the window's search, one table --------------------------------------

using searchsteps::Step;

TEST(SearchWindow, RulesOfFirstNextAndPrevious)
{
    const std::u16string needle = u"xxxx\r\nthe needle is here\r\nxxxx\r\n", top = u"xxxx abcdef xxxx\r\nmore";
    const std::u16string nul(u"abc\0def\r\nghi", 12), cd(u"c\0d", 3), nx(u"\0x", 2), smile = u"\U0001F600";
    const std::u16string etes = u"x \u00E9t\u00E9 mi\u017Fsion", ETE = u"\u00C9T\u00C9", ete = u"\u00E9t\u00E9";
    const std::vector<std::int32_t> ansi = {EncodingAnsi}, wide = {EncodingUtf16LE, EncodingUtf16BE},
                                    all(std::begin(kAllEncodings), std::end(kAllEncodings));
    // From the top of the text, the last match at its start. The usual rounds (wrapping, overlaps, both ways) are
    // RandomSequencesOfSearchesFollowTheModel's.
    const struct {
        std::u16string text;
        std::vector<std::int32_t> encodings;
        std::vector<Step> steps;
    } cases[] = {
        // One match: found once, then neither way.
        {needle, all, {{'F', 0, u"needle", 0, 10}, {'N', 0, u"needle", 1, 10}, {'P', 0, u"needle", 1, 10}}},
        // A match across the top is in neither range; one at the top is found.
        {top, all, {{'T', 0, u"", 0, 7}, {'F', 0, u"abcdef", 1, 7}}},
        {top, all, {{'T', 0, u"", 0, 5}, {'F', 0, u"abcdef", 0, 5}}},
        // A first Find Next starts L characters into the data, so misses a match there.
        {u"abcabc", all, {{'N', 0, u"abc", 0, 3}}},
        {u"abc def", all, {{'N', 0, u"abc", 1, 0}, {'P', 0, u"abc", 1, 0}}},
        // Ignoring case, ABC is abc; narrow text folds ASCII only (Windows-1252), UTF-16 beyond, the long s too.
        {u"first line\r\nsecond: abc here\r\n", all, {{'F', 0, u"ABC", 1, 0}, {'F', 1, u"aBc", 0, 20}}},
        {u"x \u00E9t\u00E9 y", ansi, {{'F', 1, ETE, 1, 0}, {'F', 0, ete, 0, 2}}},
        {etes, wide, {{'F', 1, ETE, 0, 2}, {'F', 1, u"MISSION", 0, 6}, {'F', 0, u"mission", 1, 0}}},
        // Forward stops at a NUL, backward passes it.
        // The text after the NUL is the last screenful: the search starts from the top.
        {nul, all, {{'T', 0, u"", 0, 0}, {'F', 0, u"def", 1, 0}, {'N', 0, u"def", 1, 0}, {'P', 0, u"def", 0, 4}}},
        {nul, all, {{'P', 0, u"def", 0, 4}, {'N', 0, u"ghi", 0, 9}, {'N', 0, u"def", 1, 9}}},
        {nul, all, {{'T', 0, u"", 0, 4}, {'F', 0, u"def", 0, 4}, {'F', 0, cd, 0, 2}, {'F', 0, nx, 1, 0}}},
        // A surrogate pair is one '?' in a narrow file.
        {u"a?b?c", ansi, {{'F', 0, smile + u"b", 0, 1}, {'N', 0, smile + u"b", 1, 1}, {'N', 0, smile, 0, 3}}},
    };
    for (const auto& c : cases) {
        for (const std::int32_t encoding : c.encodings) {
            SCOPED_TRACE("case " + std::to_string(&c - cases) + ", encoding " + std::to_string(encoding));
            Window w(FileBytes(c.text, encoding), 3, 80, encoding);
            ASSERT_EQ(w.wnd.GetEncoding(), encoding);
            EXPECT_EQ(w.wnd.GetLastMatch(), w.wnd.DataStart()) << "a load puts the last match at the start";
            searchsteps::Run(w, c.steps, encoding);
        }
    }
    headless::HeadlessPort port(10, 40);
    CFileWnd empty(&port);
    EXPECT_EQ(empty.FindFirst(false, u"a"), 1) << "a window without text finds nothing";
    EXPECT_EQ(empty.FindPrevious(false, u"a"), 1);
}

TEST(SearchWindow, HighlightRepaintsOnlyWhenItChanges)
{
    Window w("one two three");
    const int before = w.port.m_fullInvalidations;
    for (const auto& [at, length, repaints] : {std::tuple{4, 3, 1}, {4, 3, 1}, {-1, 0, 2}, {-1, 5, 2}}) {
        w.wnd.SetHighlight(at < 0 ? kNoPos : w.At(at), length);
        EXPECT_EQ(w.port.m_fullInvalidations, before + repaints) << at << ", " << length;
    }
    ASSERT_EQ(w.wnd.FindFirst(false, u"two"), 0);
    const int after = w.port.m_fullInvalidations;
    ASSERT_EQ(w.wnd.FindFirst(false, u"two"), 0);
    EXPECT_EQ(w.port.m_fullInvalidations, after) << "the same match from the same place changes nothing";
    EXPECT_EQ(w.Row(0), "one «two» three");
}

// --- The match scrolled into view ---------------------------------------------------------

TEST(SearchShowMatch, MatchLandsMidScreenAndCentredWhenItFits)
{
    std::string far(1000, 'x');
    far.replace(300, 6, "TARGET");
    std::string wide(1000, 'x');
    wide.replace(300, 100, std::string(100, 'W'));
    const struct {
        const char* name;
        std::string text;
        int rows;
        std::string find;
        int row;  // where the match's line lands
        std::int64_t offset;
    } cases[] = {
        {"inside a line: 19 rows down in 40",
         testutil::Lines(0, 1000) + "the marker-inside\n" + testutil::Lines(0, 900), 40, "marker-inside", 19, 0},
        {"starting its line: 20 rows down", testutil::Lines(0, 1000) + "START marker\n" + testutil::Lines(0, 900), 40,
         "START", 20, 0},
        {"in the last lines: the last screenful", testutil::Lines(0, 300) + "the very end\n" + testutil::Lines(0, 3),
         40, "very end", 36, 0},
        {"at column 300 of 80: centred", "short\n" + far + "\nshort\n", 10, "TARGET", 1, 300 + 3 - 40},
        {"wider than the window: one column in", "short\n" + wide + "\n", 10, std::string(100, 'W'), 1, 299},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Window w(c.text, c.rows, 80);
        w.wnd.OnKeyDown(kVkHome);
        ASSERT_EQ(w.wnd.FindFirst(false, std::u16string(c.find.begin(), c.find.end())), 0);
        EXPECT_EQ(w.wnd.GetHorzOffset(), c.offset);
        EXPECT_EQ(w.port.m_horz.pos, c.offset);
        EXPECT_EQ(w.port.m_vert.pos, w.wnd.GetTop() - w.wnd.DataStart()) << "the scroll bar follows";
        TextPos p = w.wnd.GetTop();
        for (int r = 0; r < c.row; ++r)
            w.wnd.ReadLine(p, nullptr, nullptr);
        EXPECT_EQ(w.wnd.LineStartOf(w.wnd.GetLastMatch()), p);
    }
}

// --- The fast scans against the reference --------------------------------------------------

// A copy of some bytes with unreadable pages right before and right after:
// any read outside them faults.
class GuardedBytes {
public:
    GuardedBytes(const std::uint8_t* data, std::size_t n, bool alignEnd)
    {
        const auto page = static_cast<std::size_t>(::sysconf(_SC_PAGESIZE));
        const std::size_t body = (n + page - 1) / page * page;
        m_size = body + 2 * page;
        m_map = static_cast<std::uint8_t*>(
            ::mmap(nullptr, m_size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0));
        ::mprotect(m_map, page, PROT_NONE);
        ::mprotect(m_map + page + body, page, PROT_NONE);
        m_data = alignEnd ? m_map + page + body - n : m_map + page;
        if (n)
            std::memcpy(m_data, data, n);
    }
    ~GuardedBytes() { ::munmap(m_map, m_size); }
    GuardedBytes(const GuardedBytes&) = delete;
    GuardedBytes& operator=(const GuardedBytes&) = delete;
    const std::uint8_t* Data() const { return m_data; }

private:
    std::size_t m_size = 0;
    std::uint8_t* m_map = nullptr;
    std::uint8_t* m_data = nullptr;
};

// Units that make searches interesting: letters whose case twins lie outside
// ASCII or differ in more than one bit, line breaks, NULs.
const char16_t kWideAlphabet[] = {u'a',   u'b',   u'A',   u'B',   u's',   u'S',   0x017F, u'i',   u'I',
                                  0x0131, 0x03C3, 0x03A3, 0x03C2, 0x0399, 0x0345, 0x1FBE, 0x03B9, 0x00E9,
                                  0x00C9, 0x0101, 0x0100, u'k',   u'K',   0x212A, 0x0442, 0x1C84, 0x0422,
                                  0x2020, 0x0D00, u'\r',  u'\n',  0x0000, 0x6100, 0x4100, u'x'};
const char16_t kNarrowAlphabet[] = {u'a',   u'b',   u'A', u'B',  u's',  u'S',   u'i', u'I',   0x00E9, 0x00C9,
                                    0x0178, 0x00FF, u'?', u'\r', u'\n', 0x0000, u'x', 0x017F, 0x0131};

struct RandomText {
    std::int32_t encoding;
    std::u16string chars;  // the text as characters
    std::string bytes;     // as the file stores them (no mark)
};

RandomText MakeText(std::mt19937& rng, std::int32_t encoding, std::size_t length, int nulOneIn)
{
    const bool narrow = encoding == EncodingAnsi || encoding == EncodingUtf8;
    const char16_t* alphabet = narrow ? kNarrowAlphabet : kWideAlphabet;
    const std::size_t size = narrow ? std::size(kNarrowAlphabet) : std::size(kWideAlphabet);
    // A few letters dominate so that partial matches abound.
    const std::size_t common = std::uniform_int_distribution<std::size_t>(2, size)(rng);
    RandomText t{encoding, {}, {}};
    for (std::size_t i = 0; i < length; ++i) {
        char16_t c = alphabet[std::uniform_int_distribution<std::size_t>(0, common - 1)(rng)];
        if (c == 0 && (nulOneIn == 0 || rng() % static_cast<unsigned>(nulOneIn) != 0))
            c = u'a';
        t.chars.push_back(narrow ? platform::Win1252ToUnicode(platform::UnicodeToWin1252(c)) : c);
    }
    t.bytes = narrow ? platform::Utf16ToWin1252(t.chars) : testutil::Utf16(t.chars, encoding == EncodingUtf16BE);
    return t;
}

// A pattern: mostly a piece of the text with some letters' case flipped,
// sometimes random characters; 1 to 20 characters.
std::u16string MakePattern(std::mt19937& rng, const RandomText& t)
{
    const std::size_t m = std::uniform_int_distribution<std::size_t>(1, 20)(rng);
    const bool narrow = t.encoding == EncodingAnsi || t.encoding == EncodingUtf8;
    std::u16string p;
    if (t.chars.size() >= m && rng() % 4 != 0) {
        p = t.chars.substr(std::uniform_int_distribution<std::size_t>(0, t.chars.size() - m)(rng), m);
        for (char16_t& c : p)
            c = c == 0 ? u'a' : rng() % 3 ? c : rng() % 2 ? UpperCase16(c) : LowerCase16(c);
    } else {
        for (std::size_t i = 0; i < m; ++i) {
            const char16_t c = narrow ? kNarrowAlphabet[rng() % std::size(kNarrowAlphabet)]
                                      : kWideAlphabet[rng() % std::size(kWideAlphabet)];
            p.push_back(c ? c : u'b');
        }
    }
    return p;
}

std::vector<searchkernels::Isa> AvailableIsas()
{
    std::vector<searchkernels::Isa> out;
    for (auto isa : {searchkernels::Isa::Scalar, searchkernels::Isa::Sse2, searchkernels::Isa::Avx2})
        if (searchkernels::IsaAvailable(isa))
            out.push_back(isa);
    return out;
}

// A hundred and fifty texts keep the run short; fuzz/fuzz_search.cpp carries the volume.
TEST(SearchKernels, EveryInstructionSetAgreesWithTheReferenceOnRandomTexts)
{
    std::mt19937 rng(20240501);
    const auto isas = AvailableIsas();
    int matches = 0, cases = 0;
    testutil::TempDir dir;
    for (int iter = 0; iter < 150; ++iter) {
        const std::int32_t encoding = kAllEncodings[iter % 4];
        const std::size_t length = std::uniform_int_distribution<std::size_t>(0, iter % 10 == 0 ? 4000 : 300)(rng);
        const RandomText t = MakeText(rng, encoding, length, iter % 3 == 0 ? 0 : 40);
        const platform::FileHandle file = platform::OpenReadShared(dir.Write("t.txt", t.bytes));
        const auto* bytes = reinterpret_cast<const std::uint8_t*>(t.bytes.data());
        const std::int64_t u = EncodingUnitSize(encoding);
        const std::int64_t n = static_cast<std::int64_t>(t.bytes.size()) / u;
        for (int q = 0; q < 6; ++q) {
            const std::u16string text = MakePattern(rng, t);
            const bool ignoreCase = rng() % 2;
            std::int64_t a = std::uniform_int_distribution<std::int64_t>(0, n)(rng);
            std::int64_t b = std::uniform_int_distribution<std::int64_t>(0, n)(rng);
            if (q < 2)
                a = 0, b = n;  // whole ranges exercise the block loops most
            if (a > b)
                std::swap(a, b);
            const searchkernels::Needle needle = searchkernels::PrepareForEncoding(text, encoding, ignoreCase);
            for (const bool forward : {true, false}) {
                const std::int64_t expected =
                    searchref::Search(bytes, 0, n * u, encoding, ignoreCase, text, a * u, b * u, forward);
                matches += expected >= 0;
                ++cases;
                const std::string what = std::string(forward ? "forward" : "backward") + (ignoreCase ? " nocase" : "") +
                                         " encoding " + std::to_string(encoding) + " range " + std::to_string(a) +
                                         ".." + std::to_string(b) + " of " + std::to_string(n);
                for (auto isa : isas) {
                    // The kernels see only the range, with a fault on either side of it.
                    for (const bool alignEnd : {true, false}) {
                        GuardedBytes slice(bytes + a * u, static_cast<std::size_t>((b - a) * u), alignEnd);
                        const auto units = static_cast<std::size_t>(b - a);
                        const std::int64_t k = forward ? searchkernels::FindForward(needle, slice.Data(), units, isa)
                                                       : searchkernels::FindBackward(needle, slice.Data(), units, isa);
                        ASSERT_EQ(k < 0 ? -1 : (a + k) * u, expected) << searchkernels::IsaName(isa) << " " << what;
                    }
                    // Whole searches in small chunks: a match or a NUL may lie across a chunk's end.
                    const std::size_t chunk = std::uniform_int_distribution<std::size_t>(1, 80)(rng);
                    ASSERT_EQ(searchkernels::SearchView(needle, bytes, 0, n * u, a * u, b * u, forward, isa, chunk),
                              expected)
                        << searchkernels::IsaName(isa) << " chunks of " << chunk << " " << what;
                    // The same read from the file in windows of a few bytes.
                    CScanReader reader(file, chunk * 2);
                    ASSERT_EQ(searchkernels::SearchFile(needle, reader, 0, n * u, a * u, b * u, forward, isa), expected)
                        << searchkernels::IsaName(isa) << " reads of " << chunk * 2 << " " << what;
                    // The same in blocks of a few bytes on the pool: a match or a NUL may lie across a block's end.
                    const engine::BlockSplit split{0, 4 * std::uniform_int_distribution<std::int64_t>(1, 20)(rng)};
                    ASSERT_EQ(searchkernels::SearchFile(needle, reader, 0, n * u, a * u, b * u, forward, isa, split),
                              expected)
                        << searchkernels::IsaName(isa) << " blocks of " << split.blockBytes << " " << what;
                }
            }
        }
        platform::CloseFile(file);
    }
    // The generator must produce both outcomes often, or the comparison proves little.
    EXPECT_GT(matches, cases / 5);
    EXPECT_LT(matches, cases * 4 / 5);
}

TEST(SearchKernels, LongRunsOfCandidatesAndFarFilters)
{
    // Every position passes the filters but few verify: the slow path of
    // the block loops, with filters far apart in a long pattern.
    std::u16string chars(5000, u'a');
    chars[4000] = chars[1000] = u'b';
    chars[2500] = 0;
    for (const std::int32_t encoding : kAllEncodings) {
        const std::string bytes = EncodingUnitSize(encoding) == 1 ? std::string(chars.begin(), chars.end())
                                                                  : testutil::Utf16(chars, encoding == EncodingUtf16BE);
        const auto* v = reinterpret_cast<const std::uint8_t*>(bytes.data());
        const std::int64_t start = 0, end = static_cast<std::int64_t>(bytes.size());
        for (const std::u16string& text : {std::u16string(300, u'a') + u"b", u"b" + std::u16string(40, u'a'),
                                           std::u16string(u"aab"), std::u16string(u"A"), std::u16string(u"AAAB")}) {
            for (const bool ignoreCase : {false, true}) {
                const auto needle = searchkernels::PrepareForEncoding(text, encoding, ignoreCase);
                for (auto isa : AvailableIsas()) {
                    for (const bool forward : {true, false}) {
                        for (const std::int64_t from : {start, start + (end - start) / 2 + 2}) {
                            EXPECT_EQ(searchkernels::SearchView(needle, v, start, end, from, end, forward, isa),
                                      searchref::Search(v, start, end, encoding, ignoreCase, text, from, end, forward))
                                << searchkernels::IsaName(isa) << " encoding " << encoding
                                << (forward ? " fwd " : " back ") << text.size() << (ignoreCase ? " nocase" : "")
                                << " from " << from;
                        }
                    }
                }
            }
        }
    }
}

TEST(SearchKernels, RangesAreClampedToTheDataAndTheUnitGrid)
{
    const std::string bytes = testutil::Utf16LE(u"abcabcabc", true);
    const auto* v = reinterpret_cast<const std::uint8_t*>(bytes.data());
    const auto needle = searchkernels::PrepareForEncoding(u"bc", EncodingUtf16LE, false);
    const struct {
        std::int64_t from, to, dataEnd;
        bool forward;
        std::int64_t found;
    } rows[] = {
        {-1, 1000, 20, true, 4},
        {-1, 1000, 20, false, 16},
        {3, 20, 20, true, 4},
        {5, 20, 20, true, 10},
        {2, 15, 20, false, 10},
        {2, 13, 20, false, 4},
        {2, 11, 20, false, 4},
        {20, 30, 20, true, -1},
        {9, 9, 20, true, -1},
        {50, 10, 20, true, -1},
        {-100, 3, 20, false, -1},
        {INT64_MIN, INT64_MAX, 20, true, 4},
        {INT64_MIN, INT64_MAX, 20, false, 16},
        {-1, 1000, 21, false, 16},  // an odd trailing byte is never read as half a unit
    };
    for (const auto& r : rows) {
        EXPECT_EQ(searchkernels::SearchView(needle, v, 2, r.dataEnd, r.from, r.to, r.forward), r.found)
            << r.from << ".." << r.to << (r.forward ? " forward" : " backward");
        EXPECT_EQ(searchref::Search(v, 2, r.dataEnd, EncodingUtf16LE, false, u"bc", r.from, r.to, r.forward), r.found);
    }
}

// A model of find first, next and previous over the reference search, run
// side by side with a window through random sequences of searches.
struct FindModel {
    const std::uint8_t* view;
    std::int64_t start, end, unit;
    std::int32_t encoding;
    TextPos anchor, last, hlStart = kNoPos, hlEnd = kNoPos;

    std::int64_t Ref(bool ic, const std::u16string& t, std::int64_t from, std::int64_t to, bool fwd) const
    {
        return searchref::Search(view, start, end, encoding, ic, t, from, to, fwd);
    }
    int Find(int kind, bool ic, const std::u16string& t, TextPos top)
    {
        const std::int64_t length = static_cast<std::int64_t>(searchref::Pattern(t, encoding).size()) * unit;
        if (kind == 0 || anchor == kNoPos)
            anchor = last = top;
        std::int64_t m;
        if (kind == 2) {
            m = Ref(ic, t, start, last, false);
            if (m < 0)
                m = Ref(ic, t, last + length, end, false);
        } else {
            m = Ref(ic, t, kind == 0 ? top : last + length, end, true);
            if (m < 0)
                m = Ref(ic, t, start, last, true);
        }
        hlStart = hlEnd = kNoPos;
        if (m < 0)
            return 1;
        last = hlStart = m;
        hlEnd = m + length;
        return 0;
    }
};

TEST(SearchWindow, RandomSequencesOfSearchesFollowTheModel)
{
    std::mt19937 rng(77);
    for (int iter = 0; iter < 80; ++iter) {
        const std::int32_t encoding = kAllEncodings[iter % 4];
        RandomText t;
        do  // a NUL right after a UTF-16 LE mark would read as a UTF-32 mark
            t = MakeText(rng, encoding, std::uniform_int_distribution<std::size_t>(1, 600)(rng), 90);
        while (t.chars[0] == 0);
        Window w(FileBytes(t.chars, encoding), 8, 20, encoding);
        ASSERT_EQ(w.wnd.GetEncoding(), encoding);
        FindModel model{w.wnd.ViewBytes(), w.wnd.DataStart(),     w.wnd.DataEnd(),     EncodingUnitSize(encoding),
                        encoding,          w.wnd.GetFindAnchor(), w.wnd.GetLastMatch()};
        std::vector<std::u16string> texts;
        for (int i = 0; i < 3; ++i)
            texts.push_back(MakePattern(rng, t));
        for (int step = 0; step < 25; ++step) {
            const int kind = static_cast<int>(rng() % 3);
            const bool ignoreCase = rng() % 2;
            const std::u16string& text = texts[rng() % texts.size()];
            if (rng() % 4 == 0) {
                const std::int64_t units = (model.end - model.start) / model.unit;
                CFileWndTestAccess::SetTop(w.wnd, w.At(std::uniform_int_distribution<std::int64_t>(0, units)(rng)));
            }
            const int expected = model.Find(kind, ignoreCase, text, w.wnd.GetTop());
            const int got = kind == 0   ? w.wnd.FindFirst(ignoreCase, text)
                            : kind == 1 ? w.wnd.FindNext(ignoreCase, text)
                                        : w.wnd.FindPrevious(ignoreCase, text);
            ASSERT_EQ(got, expected) << "iteration " << iter << " step " << step << " kind " << kind;
            ASSERT_EQ(w.wnd.GetLastMatch(), model.last);
            ASSERT_EQ(w.wnd.GetFindAnchor(), model.anchor);
            ASSERT_EQ(w.wnd.GetHighlightStart(), model.hlStart);
            ASSERT_EQ(w.wnd.GetHighlightEnd(), model.hlEnd);
            if (got == 0) {
                // The match is on screen: its line lies between the top and the last row.
                ASSERT_LE(w.wnd.GetTop(), model.last);
                ASSERT_LE(w.wnd.GetTop(), w.wnd.LastPageTop());
            }
        }
    }
}

}  // namespace
