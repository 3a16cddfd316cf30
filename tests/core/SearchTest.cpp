// Search: the behaviour of find first, next and previous in a window, and
// the fast scans checked against the plain reference of SearchReference.h.
#include "tests/core/SearchReference.h"
#include "tests/core/TestUtil.h"
#include "textwnd/SearchKernels.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <sys/mman.h>
#include <unistd.h>

namespace {

using testutil::Window;

// Numbered lines "line NNNN: ...\r\n" with optional replacements.
std::string NumberedLines(int count, const std::string& filler = "some filler text")
{
    std::string out;
    char buf[64];
    for (int i = 0; i < count; ++i) {
        std::snprintf(buf, sizeof buf, "line %04d: ", i);
        out += buf;
        out += filler;
        out += "\r\n";
    }
    return out;
}

// --- The edge cases of the window's search ---------------------------------------

TEST(SearchWindow, SingleOccurrenceFoundOnceThenNextAndPreviousFailAndClear)
{
    const std::string text = NumberedLines(30) + "the needle is here\r\n" + NumberedLines(30);
    Window w(text);
    ASSERT_TRUE(w.loaded);
    w.wnd.OnVScroll(kSbTop);
    ASSERT_EQ(w.wnd.FindFirst(false, u"needle"), 0);
    const TextPos at = w.wnd.GetLastMatch();
    EXPECT_EQ(at, w.At(static_cast<std::int64_t>(text.find("needle"))));
    EXPECT_EQ(w.wnd.GetHighlightStart(), at);
    EXPECT_EQ(w.wnd.GetHighlightEnd(), at + 6);

    EXPECT_EQ(w.wnd.FindNext(false, u"needle"), 1);
    EXPECT_EQ(w.wnd.GetHighlightStart(), kNoPos);
    EXPECT_EQ(w.wnd.GetHighlightEnd(), kNoPos);
    EXPECT_EQ(w.wnd.GetLastMatch(), at) << "a failed search keeps the last match";

    EXPECT_EQ(w.wnd.FindPrevious(false, u"needle"), 1);
    EXPECT_EQ(w.wnd.GetHighlightStart(), kNoPos);
    EXPECT_EQ(w.wnd.GetLastMatch(), at);
}

TEST(SearchWindow, OverlappingMatchAfterTheLastIsSkipped)
{
    Window w("aaa");
    ASSERT_TRUE(w.loaded);
    EXPECT_EQ(w.wnd.GetTop(), w.wnd.DataStart());
    ASSERT_EQ(w.wnd.FindFirst(false, u"aa"), 0);
    EXPECT_EQ(w.Index(w.wnd.GetLastMatch()), 0);
    EXPECT_EQ(w.wnd.FindNext(false, u"aa"), 1);
    EXPECT_EQ(w.wnd.FindPrevious(false, u"aa"), 1);
}

TEST(SearchWindow, MatchesFollowEachOtherAndWrapAround)
{
    Window w("ab ab ab");
    ASSERT_TRUE(w.loaded);
    ASSERT_EQ(w.wnd.FindFirst(false, u"ab"), 0);
    EXPECT_EQ(w.Index(w.wnd.GetLastMatch()), 0);
    ASSERT_EQ(w.wnd.FindNext(false, u"ab"), 0);
    EXPECT_EQ(w.Index(w.wnd.GetLastMatch()), 3);
    ASSERT_EQ(w.wnd.FindNext(false, u"ab"), 0);
    EXPECT_EQ(w.Index(w.wnd.GetLastMatch()), 6);
    ASSERT_EQ(w.wnd.FindNext(false, u"ab"), 0) << "wraps to the start";
    EXPECT_EQ(w.Index(w.wnd.GetLastMatch()), 0);
    ASSERT_EQ(w.wnd.FindPrevious(false, u"ab"), 0) << "wraps to the end";
    EXPECT_EQ(w.Index(w.wnd.GetLastMatch()), 6);
    ASSERT_EQ(w.wnd.FindPrevious(false, u"ab"), 0);
    EXPECT_EQ(w.Index(w.wnd.GetLastMatch()), 3);
}

TEST(SearchWindow, MatchStraddlingTheTopIsFoundByNeitherRange)
{
    Window w("xxxx abcdef xxxx\r\nmore\r\n");
    ASSERT_TRUE(w.loaded);
    CFileWndTestAccess::SetTop(w.wnd, w.At(7));  // inside "abcdef"
    EXPECT_EQ(w.wnd.FindFirst(false, u"abcdef"), 1);
    EXPECT_EQ(w.wnd.GetTop(), w.At(7)) << "a failed search does not move the view";
    EXPECT_EQ(w.wnd.GetHighlightStart(), kNoPos);

    CFileWndTestAccess::SetTop(w.wnd, w.At(5));  // exactly at the match
    ASSERT_EQ(w.wnd.FindFirst(false, u"abcdef"), 0);
    EXPECT_EQ(w.Index(w.wnd.GetLastMatch()), 5);
}

TEST(SearchWindow, FindNextAsTheFirstSearchStartsAfterTheFirstCharacters)
{
    {
        const std::string text = NumberedLines(5) + "abc";
        Window w(text, 3);
        ASSERT_TRUE(w.loaded);
        ASSERT_NE(w.wnd.GetTop(), w.wnd.DataStart()) << "the file opens at its end";
        EXPECT_EQ(w.wnd.GetLastMatch(), w.wnd.DataStart());
        ASSERT_EQ(w.wnd.FindNext(false, u"line"), 0) << "searches from the start of the data, not the screen";
        EXPECT_EQ(w.Index(w.wnd.GetLastMatch()), static_cast<std::int64_t>(text.find("line", 1)));
    }
    {
        Window w("abcabc");
        ASSERT_TRUE(w.loaded);
        ASSERT_EQ(w.wnd.FindNext(false, u"abc"), 0);
        EXPECT_EQ(w.Index(w.wnd.GetLastMatch()), 3);
    }
    {
        Window w("abc def");  // the only match lies within the first three characters
        ASSERT_TRUE(w.loaded);
        EXPECT_EQ(w.wnd.FindNext(false, u"abc"), 1);
    }
    {
        Window w("abc abc abc");
        ASSERT_TRUE(w.loaded);
        ASSERT_EQ(w.wnd.FindPrevious(false, u"abc"), 0) << "the last occurrence from L characters on";
        EXPECT_EQ(w.Index(w.wnd.GetLastMatch()), 8);
    }
    {
        Window w("abc def");
        ASSERT_TRUE(w.loaded);
        EXPECT_EQ(w.wnd.FindPrevious(false, u"abc"), 1);
    }
}

struct EncodingCase {
    const char* name;
    std::int32_t encoding;
    std::string (*bytes)(const std::u16string&);
};

std::string AsAnsi(const std::u16string& s) { return platform::Utf16ToWin1252(s); }
std::string AsLE(const std::u16string& s) { return testutil::Utf16LE(s, true); }
std::string AsBE(const std::u16string& s) { return testutil::Utf16BE(s, true); }

const EncodingCase kEncodings[] = {
    {"ANSI", EncodingAnsi, AsAnsi},
    {"UTF-16 LE", EncodingUtf16LE, AsLE},
    {"UTF-16 BE", EncodingUtf16BE, AsBE},
};

TEST(SearchWindow, IgnoringCaseAbcMatchesABCInEveryEncoding)
{
    for (const EncodingCase& e : kEncodings) {
        SCOPED_TRACE(e.name);
        Window w(e.bytes(u"first line\r\nsecond: abc here\r\n"), 24, 80, e.encoding);
        ASSERT_TRUE(w.loaded);
        ASSERT_EQ(w.wnd.GetEncoding(), e.encoding);
        w.wnd.OnVScroll(kSbTop);
        EXPECT_EQ(w.wnd.FindFirst(false, u"ABC"), 1) << "letter case counts";
        ASSERT_EQ(w.wnd.FindFirst(true, u"ABC"), 0);
        EXPECT_EQ(w.Index(w.wnd.GetLastMatch()), 20);
        EXPECT_TRUE(w.wnd.IsFindNoCase());
        EXPECT_EQ(w.wnd.GetFindText(), u"ABC");
        EXPECT_EQ(w.Index(w.wnd.GetHighlightEnd()), 23);
        w.wnd.OnVScroll(kSbTop);
        ASSERT_EQ(w.wnd.FindFirst(true, u"aBc"), 0);
        EXPECT_EQ(w.Index(w.wnd.GetLastMatch()), 20);
    }
}

TEST(SearchWindow, CaseFoldingBeyondAsciiOnlyInUtf16)
{
    for (const EncodingCase& e : kEncodings) {
        SCOPED_TRACE(e.name);
        Window w(e.bytes(u"x \u00E9t\u00E9 y"), 24, 80, e.encoding);  // "été"
        ASSERT_TRUE(w.loaded);
        const int found = w.wnd.FindFirst(true, u"\u00C9T\u00C9");
        if (e.encoding == EncodingAnsi) {
            EXPECT_EQ(found, 1) << "bytes fold ASCII letters only";
            EXPECT_EQ(w.wnd.FindFirst(false, u"\u00E9t\u00E9"), 0) << "the text is searched in its Windows-1252 form";
        } else {
            ASSERT_EQ(found, 0);
            EXPECT_EQ(w.Index(w.wnd.GetLastMatch()), 2);
        }
    }
    // Simple upper-case mappings that leave ASCII: the long s is an S.
    Window w(testutil::Utf16BE(u"mi\u017Fsion", true));
    ASSERT_TRUE(w.loaded);
    ASSERT_EQ(w.wnd.FindFirst(true, u"MISSION"), 0);
    EXPECT_EQ(w.Index(w.wnd.GetLastMatch()), 0);
    EXPECT_EQ(w.wnd.FindFirst(false, u"mission"), 1);
}

TEST(SearchWindow, ForwardSearchStopsAtNulBackwardPassesIt)
{
    for (const EncodingCase& e : kEncodings) {
        SCOPED_TRACE(e.name);
        Window w(e.bytes(std::u16string(u"abc\0def\r\nghi", 12)), 24, 80, e.encoding);
        ASSERT_TRUE(w.loaded);
        w.wnd.OnVScroll(kSbTop);
        EXPECT_EQ(w.wnd.FindFirst(false, u"def"), 1);
        EXPECT_EQ(w.wnd.FindNext(false, u"def"), 1);
        ASSERT_EQ(w.wnd.FindPrevious(false, u"def"), 0);
        EXPECT_EQ(w.Index(w.wnd.GetLastMatch()), 4);
        ASSERT_EQ(w.wnd.FindNext(false, u"ghi"), 0) << "the last match lies past the NUL now";
        EXPECT_EQ(w.Index(w.wnd.GetLastMatch()), 9);
        EXPECT_EQ(w.wnd.FindNext(false, u"def"), 1) << "the wrap-around range stops at the NUL";
        EXPECT_EQ(w.Index(w.wnd.GetLastMatch()), 9);
        CFileWndTestAccess::SetTop(w.wnd, w.At(4));
        ASSERT_EQ(w.wnd.FindFirst(false, u"def"), 0) << "from a top past the NUL";
        EXPECT_EQ(w.Index(w.wnd.GetLastMatch()), 4);
        EXPECT_EQ(w.wnd.FindFirst(false, std::u16string(u"c\0d", 3)), 0) << "a search text ends at its NUL";
        EXPECT_EQ(w.Index(w.wnd.GetLastMatch()), 2);
        EXPECT_EQ(w.wnd.FindFirst(false, std::u16string(u"\0x", 2)), 1) << "an empty text finds nothing";
    }
}

TEST(SearchWindow, HighlightRepaintsOnlyWhenItChanges)
{
    Window w("one two three");
    ASSERT_TRUE(w.loaded);
    const int before = w.port.m_fullInvalidations;
    w.wnd.SetHighlight(w.At(4), 3);
    EXPECT_EQ(w.wnd.GetHighlightStart(), w.At(4));
    EXPECT_EQ(w.wnd.GetHighlightEnd(), w.At(7));
    EXPECT_EQ(w.port.m_fullInvalidations, before + 1);
    w.wnd.SetHighlight(w.At(4), 3);
    EXPECT_EQ(w.port.m_fullInvalidations, before + 1);
    w.wnd.SetHighlight(kNoPos, 0);
    EXPECT_EQ(w.wnd.GetHighlightEnd(), kNoPos);
    EXPECT_EQ(w.port.m_fullInvalidations, before + 2);
    w.wnd.SetHighlight(kNoPos, 5);
    EXPECT_EQ(w.port.m_fullInvalidations, before + 2);

    // Finding the same match from the same place again changes nothing on screen.
    ASSERT_EQ(w.wnd.FindFirst(false, u"two"), 0);
    const int after = w.port.m_fullInvalidations;
    ASSERT_EQ(w.wnd.FindFirst(false, u"two"), 0);
    EXPECT_EQ(w.port.m_fullInvalidations, after);
    EXPECT_EQ(w.Row(0), "one «two» three");
}

TEST(SearchWindow, UtfSixteenHighlightCoversTheMatch)
{
    Window w(testutil::Utf16BE(u"alpha beta gamma", true), 24, 80);
    ASSERT_TRUE(w.loaded);
    ASSERT_EQ(w.wnd.FindFirst(true, u"BETA"), 0);
    EXPECT_EQ(w.wnd.GetHighlightStart(), w.At(6));
    EXPECT_EQ(w.wnd.GetHighlightEnd(), w.At(10));
    EXPECT_EQ(w.Row(0), "alpha «beta» gamma");
}

TEST(SearchWindow, SurrogatePairIsOneCharacterInANarrowFile)
{
    Window w("a?b?c");
    ASSERT_TRUE(w.loaded);
    ASSERT_EQ(w.wnd.FindFirst(false, u"\U0001F600b"), 0);  // one '?' and b
    EXPECT_EQ(w.Index(w.wnd.GetLastMatch()), 1);
    EXPECT_EQ(w.Index(w.wnd.GetHighlightEnd()), 3) << "the highlight covers the two bytes matched";
    ASSERT_EQ(w.wnd.FindNext(false, u"\U0001F600b"), 1);
    ASSERT_EQ(w.wnd.FindNext(false, u"\U0001F600"), 0) << "continues right after the match";
    EXPECT_EQ(w.Index(w.wnd.GetLastMatch()), 3);
}

// --- Scrolling the match into view ----------------------------------------------

TEST(SearchShowMatch, FortyLineWindowPutsTheMatchLineNineteenOrTwentyRowsDown)
{
    std::string text = NumberedLines(1000);
    text += "line 1000: the marker-inside is here\r\n";
    text += NumberedLines(500);
    text += "START-OF-LINE marker\r\n";
    text += NumberedLines(700);
    Window w(text, 40, 80);
    ASSERT_TRUE(w.loaded);
    w.wnd.OnVScroll(kSbTop);

    ASSERT_EQ(w.wnd.FindFirst(false, u"marker-inside"), 0);
    EXPECT_EQ(w.Row(0).substr(0, 9), "line 0981");
    EXPECT_EQ(w.Row(19), "line 1000: the «marker-inside» is here");
    EXPECT_EQ(w.port.m_vert.pos, w.wnd.GetTop() - w.wnd.DataStart()) << "the scroll bar follows";

    ASSERT_EQ(w.wnd.FindNext(false, u"START-OF-LINE"), 0);
    EXPECT_EQ(w.Row(20), "«START-OF-LINE» marker") << "a match at the start of its line";
    EXPECT_EQ(w.Row(0).substr(0, 4), "line");
}

TEST(SearchShowMatch, MatchInTheLastLinesLeavesTheTopAtTheLastPage)
{
    std::string text = NumberedLines(300) + "the very end\r\n" + NumberedLines(3);
    Window w(text, 40, 80);
    ASSERT_TRUE(w.loaded);
    const TextPos last = w.wnd.LastPageTop();
    w.wnd.OnVScroll(kSbTop);
    ASSERT_EQ(w.wnd.FindFirst(false, u"very end"), 0);
    EXPECT_EQ(w.wnd.GetTop(), last);
    EXPECT_EQ(w.Row(36), "the «very end»");
}

TEST(SearchShowMatch, MatchFarRightIsCentredHorizontally)
{
    std::string line(1000, 'x');
    line.replace(300, 6, "TARGET");
    Window w("short\r\n" + line + "\r\nshort\r\n", 10, 80);
    ASSERT_TRUE(w.loaded);
    w.wnd.OnVScroll(kSbTop);
    ASSERT_EQ(w.wnd.FindFirst(false, u"TARGET"), 0);
    EXPECT_EQ(w.wnd.GetHorzOffset(), 300 + 3 - 40);
    EXPECT_EQ(w.port.m_horz.pos, 263);
    const std::string row = w.Row(1);
    EXPECT_EQ(row.find("«TARGET»"), 37u) << row;

    // Back near the left edge the offset returns to 0 (never negative).
    ASSERT_EQ(w.wnd.FindFirst(false, u"short"), 0);
    EXPECT_EQ(w.wnd.GetHorzOffset(), 0);
}

TEST(SearchShowMatch, MatchWiderThanTheWindowStartsOneColumnIn)
{
    std::string line(1000, 'x');
    const std::string wide(100, 'W');
    line.replace(300, wide.size(), wide);
    Window w(line + "\r\n", 10, 80);
    ASSERT_TRUE(w.loaded);
    ASSERT_EQ(w.wnd.FindFirst(false, std::u16string(wide.begin(), wide.end())), 0);
    EXPECT_EQ(w.wnd.GetHorzOffset(), 299);
}

// --- The fast scans against the reference ---------------------------------------

// A copy of some bytes with unreadable pages right before and right after:
// any read outside them faults.
class GuardedBytes {
public:
    GuardedBytes(const std::uint8_t* data, std::size_t n, bool alignEnd)
    {
        m_page = static_cast<std::size_t>(::sysconf(_SC_PAGESIZE));
        const std::size_t body = (n + m_page - 1) / m_page * m_page;
        m_size = body + 2 * m_page;
        void* p = ::mmap(nullptr, m_size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (p == MAP_FAILED)
            throw std::bad_alloc();
        m_map = static_cast<std::uint8_t*>(p);
        ::mprotect(m_map, m_page, PROT_NONE);
        ::mprotect(m_map + m_page + body, m_page, PROT_NONE);
        m_data = alignEnd ? m_map + m_page + body - n : m_map + m_page;
        if (n)
            std::memcpy(m_data, data, n);
    }
    ~GuardedBytes() { ::munmap(m_map, m_size); }
    GuardedBytes(const GuardedBytes&) = delete;
    GuardedBytes& operator=(const GuardedBytes&) = delete;
    const std::uint8_t* Data() const { return m_data; }

private:
    std::size_t m_page = 4096, m_size = 0;
    std::uint8_t* m_map = nullptr;
    std::uint8_t* m_data = nullptr;
};

// Units that make searches interesting: letters whose case twins lie outside
// ASCII or differ in more than one bit, line breaks, NULs.
const char16_t kWideAlphabet[] = {
    u'a', u'b', u'A', u'B', u's', u'S', 0x017F, u'i', u'I', 0x0131, 0x03C3, 0x03A3, 0x03C2, 0x0399, 0x0345, 0x1FBE,
    0x03B9, 0x00E9, 0x00C9, 0x0101, 0x0100, u'k', u'K', 0x212A, 0x0442, 0x1C84, 0x0422, 0x2020, 0x0D00, u'\r', u'\n',
    0x0000, 0x6100, 0x4100, u'x'};
const char16_t kNarrowAlphabet[] = {u'a', u'b', u'A', u'B', u's', u'S', u'i', u'I', 0x00E9, 0x00C9, 0x0178, 0x00FF,
                                    u'?', u'\r', u'\n', 0x0000, u'x', 0x017F, 0x0131};

struct RandomText {
    std::int32_t encoding;
    std::u16string chars;    // the text as characters
    std::string bytes;       // as the file stores them (no mark)
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
        t.chars.push_back(c);
    }
    if (narrow) {
        for (char16_t c : t.chars)
            t.bytes.push_back(static_cast<char>(platform::UnicodeToWin1252(c)));
        t.chars.clear();
        for (char b : t.bytes)
            t.chars.push_back(platform::Win1252ToUnicode(static_cast<std::uint8_t>(b)));
    } else if (encoding == EncodingUtf16LE) {
        t.bytes = testutil::Utf16LE(t.chars);
    } else {
        t.bytes = testutil::Utf16BE(t.chars);
    }
    return t;
}

// A pattern: mostly a piece of the text with some letters' case flipped,
// sometimes random characters; 1 to 20 characters.
std::u16string MakePattern(std::mt19937& rng, const RandomText& t)
{
    const std::size_t m = std::uniform_int_distribution<std::size_t>(1, 20)(rng);
    std::u16string p;
    if (t.chars.size() >= m && rng() % 4 != 0) {
        const std::size_t at = std::uniform_int_distribution<std::size_t>(0, t.chars.size() - m)(rng);
        p = t.chars.substr(at, m);
        for (char16_t& c : p) {
            if (rng() % 3 == 0)
                c = rng() % 2 ? UpperCase16(c) : LowerCase16(c);
            if (c == 0)
                c = u'a';
        }
    } else {
        const bool narrow = t.encoding == EncodingAnsi || t.encoding == EncodingUtf8;
        for (std::size_t i = 0; i < m; ++i) {
            const char16_t c = narrow ? kNarrowAlphabet[rng() % std::size(kNarrowAlphabet)]
                                      : kWideAlphabet[rng() % std::size(kWideAlphabet)];
            p.push_back(c ? c : u'b');
        }
    }
    return p;
}

const std::int32_t kAllEncodings[] = {EncodingAnsi, EncodingUtf8, EncodingUtf16LE, EncodingUtf16BE};

std::vector<searchkernels::Isa> AvailableIsas()
{
    std::vector<searchkernels::Isa> out;
    for (auto isa : {searchkernels::Isa::Scalar, searchkernels::Isa::Sse2, searchkernels::Isa::Avx2})
        if (searchkernels::IsaAvailable(isa))
            out.push_back(isa);
    return out;
}

TEST(SearchKernels, EveryInstructionSetAgreesWithTheReferenceOnRandomTexts)
{
    std::mt19937 rng(20240501);
    const auto isas = AvailableIsas();
    int matches = 0, cases = 0;
    for (int iter = 0; iter < 1500; ++iter) {
        const std::int32_t encoding = kAllEncodings[iter % 4];
        const std::size_t length = iter % 10 == 0 ? std::uniform_int_distribution<std::size_t>(0, 4000)(rng)
                                                  : std::uniform_int_distribution<std::size_t>(0, 300)(rng);
        const RandomText t = MakeText(rng, encoding, length, iter % 3 == 0 ? 0 : 40);
        const auto* bytes = reinterpret_cast<const std::uint8_t*>(t.bytes.data());
        const std::int64_t u = EncodingUnitSize(encoding);
        const std::int64_t n = static_cast<std::int64_t>(t.bytes.size()) / u;
        for (int q = 0; q < 6; ++q) {
            const std::u16string text = MakePattern(rng, t);
            const bool ignoreCase = rng() % 2;
            std::int64_t a = n ? std::uniform_int_distribution<std::int64_t>(0, n)(rng) : 0;
            std::int64_t b = n ? std::uniform_int_distribution<std::int64_t>(0, n)(rng) : 0;
            if (q < 2)
                a = 0, b = n;  // whole ranges exercise the block loops most
            if (a > b)
                std::swap(a, b);
            const searchkernels::Needle needle = searchkernels::PrepareForEncoding(text, encoding, ignoreCase);
            for (const bool forward : {true, false}) {
                const std::int64_t expected = searchref::Search(bytes, 0, n * u, encoding, ignoreCase, text, a * u,
                                                                b * u, forward);
                matches += expected >= 0;
                ++cases;
                // The kernels see only the range, with a fault on either side of it.
                for (const bool alignEnd : {true, false}) {
                    GuardedBytes slice(bytes + a * u, static_cast<std::size_t>((b - a) * u), alignEnd);
                    for (auto isa : isas) {
                        const auto units = static_cast<std::size_t>(b - a);
                        const std::int64_t k = forward ? searchkernels::FindForward(needle, slice.Data(), units, isa)
                                                       : searchkernels::FindBackward(needle, slice.Data(), units, isa);
                        const std::int64_t got = k < 0 ? -1 : (a + k) * u;
                        if (got != expected) {
                            ADD_FAILURE() << searchkernels::IsaName(isa) << " encoding " << encoding
                                          << (forward ? " forward" : " backward") << (ignoreCase ? " nocase" : "")
                                          << " range " << a << ".." << b << " of " << n << ": got " << got
                                          << ", expected " << expected;
                            return;
                        }
                    }
                }
                // Whole searches in small chunks: a match or a NUL may lie across a chunk's end.
                for (auto isa : isas) {
                    const std::size_t chunk = std::uniform_int_distribution<std::size_t>(1, 80)(rng);
                    const std::int64_t got = searchkernels::SearchView(needle, bytes, 0, n * u, a * u, b * u,
                                                                       forward, isa, chunk);
                    if (got != expected) {
                        ADD_FAILURE() << searchkernels::IsaName(isa) << " chunks of " << chunk << " encoding "
                                      << encoding << (forward ? " forward" : " backward")
                                      << (ignoreCase ? " nocase" : "") << " range " << a << ".." << b << " of " << n
                                      << ": got " << got << ", expected " << expected;
                        return;
                    }
                }
            }
        }
    }
    // The generator must produce both outcomes often, or the comparison proves little.
    EXPECT_GT(matches, cases / 5);
    EXPECT_LT(matches, cases * 4 / 5);
}

TEST(SearchKernels, LongRunsOfCandidatesAndFarFilters)
{
    // Every position passes the filters but few verify: the slow path of
    // the block loops, with filters far apart in a long pattern.
    const auto isas = AvailableIsas();
    for (const std::int32_t encoding : kAllEncodings) {
        SCOPED_TRACE(encoding);
        std::u16string chars(5000, u'a');
        chars[4000] = u'b';
        chars[1000] = u'b';
        chars[2500] = 0;
        std::string bytes = encoding == EncodingUtf16LE   ? testutil::Utf16LE(chars)
                            : encoding == EncodingUtf16BE ? testutil::Utf16BE(chars)
                                                          : std::string(chars.begin(), chars.end());
        const auto* v = reinterpret_cast<const std::uint8_t*>(bytes.data());
        const std::int64_t end = static_cast<std::int64_t>(bytes.size());
        for (const std::u16string& text : {std::u16string(300, u'a') + u"b", u"b" + std::u16string(40, u'a'),
                                           std::u16string(u"aab"), std::u16string(u"A"), std::u16string(u"AAAB")}) {
            for (const bool ignoreCase : {false, true}) {
                const auto needle = searchkernels::PrepareForEncoding(text, encoding, ignoreCase);
                for (auto isa : isas) {
                    for (const bool forward : {true, false}) {
                        for (std::int64_t from : {std::int64_t(0), end / 2 + 2}) {
                            const std::int64_t expected =
                                searchref::Search(v, 0, end, encoding, ignoreCase, text, from, end, forward);
                            EXPECT_EQ(searchkernels::SearchView(needle, v, 0, end, from, end, forward, isa), expected)
                                << searchkernels::IsaName(isa) << (forward ? " forward " : " backward ")
                                << text.size() << (ignoreCase ? " nocase" : "") << " from " << from;
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
    const std::int64_t start = 2, end = 20;
    const auto needle = searchkernels::PrepareForEncoding(u"bc", EncodingUtf16LE, false);
    struct Row {
        std::int64_t from, to;
        bool forward;
    };
    const Row rows[] = {{-1, 1000, true},  {-1, 1000, false}, {3, 20, true},   {5, 20, true},  {2, 13, false},
                        {2, 12, false},    {2, 11, false},    {20, 30, true},  {9, 9, true},   {50, 10, true},
                        {-100, 3, false},  {INT64_MIN, INT64_MAX, true},       {INT64_MIN, INT64_MAX, false}};
    for (const Row& r : rows) {
        const std::int64_t expected =
            searchref::Search(v, start, end, EncodingUtf16LE, false, u"bc", r.from, r.to, r.forward);
        EXPECT_EQ(searchkernels::SearchView(needle, v, start, end, r.from, r.to, r.forward), expected)
            << r.from << ".." << r.to << (r.forward ? " forward" : " backward");
    }
    EXPECT_EQ(searchkernels::SearchView(needle, v, start, end, 3, 20, true), 4) << "3 is off the grid: from 4 on";
    EXPECT_EQ(searchkernels::SearchView(needle, v, start, end, 5, 20, true), 10);
    EXPECT_EQ(searchkernels::SearchView(needle, v, start, end, 2, 15, false), 10) << "15 is off the grid: below 14";
    EXPECT_EQ(searchkernels::SearchView(needle, v, start, end, 2, 13, false), 4);
    // An odd trailing byte is never read as half a unit.
    EXPECT_EQ(searchkernels::SearchView(needle, v, start, 21, -1, 1000, false), 16);
}

TEST(SearchKernels, CaseBlindFiltersCoverEveryTwinOfAUnit)
{
    // Units whose upper-case mapping is shared by three or four units: the
    // vector filter must accept each of them, in both byte orders.
    const std::u16string text = u"x\u0345y\u1FBEz\u03B9w\u0399v\u1C84u\u0442t\u0422s\u017Fr";
    for (const std::int32_t encoding : {EncodingUtf16LE, EncodingUtf16BE}) {
        std::u16string chars(200, u'.');
        chars += text;
        chars += std::u16string(200, u'.');
        const std::string bytes = encoding == EncodingUtf16LE ? testutil::Utf16LE(chars) : testutil::Utf16BE(chars);
        const auto* v = reinterpret_cast<const std::uint8_t*>(bytes.data());
        const std::int64_t end = static_cast<std::int64_t>(bytes.size());
        for (const std::u16string& pattern : {std::u16string(u"\u0399"), std::u16string(u"\u0422T"),
                                              std::u16string(u"\u0399W\u0399"), std::u16string(u"s\u017FR")}) {
            const auto needle = searchkernels::PrepareForEncoding(pattern, encoding, true);
            for (auto isa : AvailableIsas()) {
                for (const bool forward : {true, false}) {
                    EXPECT_EQ(searchkernels::SearchView(needle, v, 0, end, 0, end, forward, isa),
                              searchref::Search(v, 0, end, encoding, true, pattern, 0, end, forward))
                        << searchkernels::IsaName(isa) << " encoding " << encoding;
                }
            }
        }
        // Each of the four units of the iota ring is found on its own.
        const auto iota = searchkernels::PrepareForEncoding(u"\u0399", encoding, true);
        std::int64_t from = 0;
        int found = 0;
        for (std::int64_t at; (at = searchkernels::SearchView(iota, v, 0, end, from, end, true)) >= 0; from = at + 2)
            ++found;
        EXPECT_EQ(found, 4);
    }
}

// A model of find first, next and previous over the reference search, run
// side by side with a window through random sequences of searches.
struct FindModel {
    const std::uint8_t* view;
    std::int64_t start, end, unit;
    std::int32_t encoding;
    TextPos anchor = kNoPos, last = kNoPos, hlStart = kNoPos, hlEnd = kNoPos;

    std::int64_t Ref(bool ic, const std::u16string& t, std::int64_t from, std::int64_t to, bool fwd) const
    {
        return searchref::Search(view, start, end, encoding, ic, t, from, to, fwd);
    }
    int Find(int kind, bool ic, const std::u16string& t, TextPos top)
    {
        const std::int64_t len = static_cast<std::int64_t>(searchref::Pattern(t, encoding).size());
        if (kind == 0 || anchor == kNoPos)
            anchor = last = top;
        std::int64_t m;
        if (kind == 0) {
            m = Ref(ic, t, top, end, true);
            if (m < 0)
                m = Ref(ic, t, start, last, true);
        } else if (kind == 1) {
            m = Ref(ic, t, last + len * unit, end, true);
            if (m < 0)
                m = Ref(ic, t, start, last, true);
        } else {
            m = Ref(ic, t, start, last, false);
            if (m < 0)
                m = Ref(ic, t, last + len * unit, end, false);
        }
        if (m < 0) {
            hlStart = hlEnd = kNoPos;
            return 1;
        }
        last = m;
        hlStart = m;
        hlEnd = m + len * unit;
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
        // Line breaks every so often, so that the window has lines to step over.
        const std::string mark = encoding == EncodingUtf16LE ? "\xFF\xFE" : encoding == EncodingUtf16BE ? "\xFE\xFF"
                                 : encoding == EncodingUtf8  ? "\xEF\xBB\xBF"
                                                             : "";
        Window w(mark + t.bytes, 8, 20, encoding);
        ASSERT_TRUE(w.loaded);
        ASSERT_EQ(w.wnd.GetEncoding(), encoding);
        const auto* view = w.wnd.ViewBytes();
        FindModel model{view, w.wnd.DataStart(), w.wnd.DataEnd(), EncodingUnitSize(encoding), encoding};
        model.anchor = w.wnd.GetFindAnchor();
        model.last = w.wnd.GetLastMatch();
        ASSERT_EQ(model.last, w.wnd.DataStart()) << "a load makes the search positions the start of the data";
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

TEST(SearchWindow, WindowWithoutTextFindsNothing)
{
    headless::HeadlessPort port(10, 40);
    CFileWnd wnd(&port);
    EXPECT_EQ(wnd.FindFirst(false, u"a"), 1);
    EXPECT_EQ(wnd.FindNext(true, u"a"), 1);
    EXPECT_EQ(wnd.FindPrevious(false, u"a"), 1);
    EXPECT_EQ(wnd.SearchForward(u"a", 0, 100), kNoPos);
    EXPECT_EQ(wnd.SearchBackward(u"a", 0, 100), kNoPos);
    EXPECT_EQ(wnd.GetHighlightStart(), kNoPos);
}

}  // namespace
