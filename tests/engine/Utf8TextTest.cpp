// Narrow text through the UTF-8 code page: the decoder, the cells of a
// character, rows laid out in display columns (checked against a plain
// layout of whole lines, long ones too), search, letter case and the
// change of code page in a window.
#include "engine/SearchKernels.h"
#include "engine/Utf8Text.h"
#include "tests/core/TestUtil.h"
#include "tests/engine/SearchReference.h"
#include "view/StatusIndicators.h"

#include <clocale>
#include <cstdlib>
#include <random>

namespace {

using platform::CodePage;
using testutil::Window;

std::u32string Decoded(const std::string& bytes)
{
    std::u32string out;
    const auto* p = reinterpret_cast<const std::uint8_t*>(bytes.data());
    for (const std::uint8_t* q = p; q < p + bytes.size();) {
        const utf8text::Char c = utf8text::DecodeAt(q, p + bytes.size());
        out += c.ch;
        q += c.length;
    }
    return out;
}

// A window on `bytes` that reads narrow text as UTF-8, at the top of the file.
struct Utf8Window : Window {
    explicit Utf8Window(const std::string& bytes, int rows = 3, int cols = 40) : Window(bytes, rows, cols)
    {
        wnd.SetCodePage(CodePage::Utf8);
        wnd.OnKeyDown(kVkHome);
    }
};

}  // namespace

TEST(Utf8Text, EveryByteOutsideAWellFormedSequenceIsItsWindows1252Character)
{
    const struct {
        const char* name;
        std::string bytes;
        std::u32string chars;
    } cases[] = {
        {"one to four bytes", "a\xC3\xA9\xE6\x97\xA5\xF0\x9F\x98\x80", U"a\u00E9\u65E5\U0001F600"},
        {"a lone byte", "caf\xE9!", U"caf\u00E9!"},
        {"continuations alone", "\x80\xBF", U"\u20AC\u00BF"},
        {"cut short at the end", "x\xE6\x97", U"x\u00E6\u2014"},
        {"cut short by the next lead", "\xE6\x97\xC3\xA9", U"\u00E6\u2014\u00E9"},
        {"cut short by ASCII", "\xF0\x9F\x98-", U"\u00F0\u0178\u02DC-"},
        {"overlong forms", "\xC0\xAF\xC1\xBF\xE0\x80\xAF\xF0\x80\x80\xAF",
         U"\u00C0\u00AF\u00C1\u00BF\u00E0\u20AC\u00AF\u00F0\u20AC\u20AC\u00AF"},
        {"the last of each length", "\xDF\xBF\xEF\xBF\xBF\xF4\x8F\xBF\xBF", U"\u07FF\uFFFF\U0010FFFF"},
        {"surrogates", "\xED\xA0\x80\xED\xBF\xBF", U"\u00ED\u00A0\u20AC\u00ED\u00BF\u00BF"},
        {"around them", "\xED\x9F\xBF\xEE\x80\x80", U"\uD7FF\uE000"},
        {"past U+10FFFF, and bytes that never lead", "\xF4\x90\x80\x80\xF5\xFF",
         U"\u00F4\u0090\u20AC\u20AC\u00F5\u00FF"},
        {"the five bytes Windows-1252 leaves undefined", "\x81\x8D\x8F\x90\x9D", U"\u0081\u008D\u008F\u0090\u009D"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(Decoded(c.bytes), c.chars);
        // Reading back from the end meets the same characters.
        const auto* p = reinterpret_cast<const std::uint8_t*>(c.bytes.data());
        std::u32string back;
        for (const std::uint8_t* q = p + c.bytes.size(); q > p;) {
            const std::uint8_t* s = utf8text::PrevStart(p, q);
            back.insert(back.begin(), utf8text::DecodeAt(s, q).ch);
            q = s;
        }
        EXPECT_EQ(back, c.chars);
    }
}

TEST(Utf8Text, CellsAndCaseTables)
{
    const struct {
        char32_t ch;
        int cells;
    } cells[] = {{U'a', 1},    {0x0301, 0}, {0x20DD, 0}, {0x0903, 1}, {0x65E5, 2}, {0xFF21, 2},
                 {0x1F600, 2}, {0xAC00, 2}, {0x03B1, 1}, {0x00B1, 1}, {0x0416, 1}, {0x20000, 2},
                 {0xE0100, 0}, {0x0009, 1}, {0x00E9, 1}, {0x3000, 2}, {0x0085, 1}};
    for (const auto& c : cells)
        EXPECT_EQ(utf8text::Cells(c.ch), c.cells) << std::hex << static_cast<unsigned>(c.ch);

    // Length-keeping mappings: ſ, ı, İ, the Kelvin sign and ß keep their own case.
    const struct {
        char32_t ch, upper, lower;
    } cases[] = {{0x00E9, 0x00C9, 0x00E9},    {0x00C4, 0x00C4, 0x00E4}, {0x03C2, 0x03A3, 0x03C2},
                 {0x017F, 0x017F, 0x017F},    {0x0131, 0x0131, 0x0131}, {0x0130, 0x0130, 0x0130},
                 {0x212A, 0x212A, 0x212A},    {0x00DF, 0x00DF, 0x00DF}, {0x10428, 0x10400, 0x10428},
                 {0x1E922, 0x1E900, 0x1E922}, {0x0433, 0x0413, 0x0433}};
    for (const auto& c : cases) {
        EXPECT_EQ(utf8text::UpperKeepingLength(c.ch), c.upper) << std::hex << static_cast<unsigned>(c.ch);
        EXPECT_EQ(utf8text::LowerKeepingLength(c.ch), c.lower) << std::hex << static_cast<unsigned>(c.ch);
    }
    EXPECT_TRUE(utf8text::IsLetter32(0x10400));
    EXPECT_FALSE(utf8text::IsLetter32(0x1F600));
    char32_t sigma[4];
    ASSERT_EQ(utf8text::CaseSpellings(0x03C3, sigma), 3);
    EXPECT_EQ(std::u32string(sigma, 3), U"\u03C3\u03A3\u03C2");
}

TEST(Utf8Text, CodePageOfTheLocaleAndItsNames)
{
    for (const auto& [charset, cp] : {std::pair{"UTF-8", CodePage::Utf8},
                                      {"utf8", CodePage::Utf8},
                                      {"ANSI_X3.4-1968", CodePage::Windows1252},
                                      {"ISO-8859-15", CodePage::Windows1252},
                                      {"", CodePage::Windows1252}})
        EXPECT_EQ(platform::CodePageOfCharset(charset), cp) << charset;
    // The environment's locale, not the process's, which stays as it was.
    const std::string before = std::setlocale(LC_CTYPE, nullptr);
    {
        testutil::ScopedEnv all("LC_ALL", nullptr);
        for (const auto& [locale, cp] : {std::pair{"C.UTF-8", CodePage::Utf8}, {"C", CodePage::Windows1252}}) {
            all.Set(locale);
            EXPECT_EQ(platform::LocaleCodePage(), cp) << locale;
        }
    }
    EXPECT_EQ(std::setlocale(LC_CTYPE, nullptr), before);

    CodePage cp = CodePage::Windows1252;
    EXPECT_TRUE(platform::ParseCodePageKey("UTF-8", cp));
    EXPECT_EQ(cp, CodePage::Utf8);
    EXPECT_FALSE(platform::ParseCodePageKey("latin1", cp));
    EXPECT_EQ(cp, CodePage::Utf8);
    EXPECT_TRUE(platform::ParseCodePageKey(platform::CodePageKey(CodePage::Windows1252), cp));
    EXPECT_EQ(cp, CodePage::Windows1252);
    EXPECT_STREQ(platform::CodePageName(CodePage::Utf8), "UTF-8");
    EXPECT_EQ(platform::AnsiCodePage(), CodePage::Windows1252) << "never the locale's unless the shell says so";
    EXPECT_EQ(EncodingPaneTooltip(CodePage::Utf8), "Encoding of currently open file (ANSI code page: UTF-8)");
}

// --- Rows in display columns ---------------------------------------------------------------

TEST(Utf8Rows, DecodedCutAndHighlighted)
{
    const std::string cjk = "ab\xE6\x97\xA5\xE6\x9C\xAC"
                            "cd\n";  // a b 日 本 c d: columns 0 1 2-3 4-5 6 7
    const std::string user = "user=m\xC3\xBCller caf\xC3\xA9 \xE6\x97\xA5\xE6\x9C\xAC x\n";
    const struct {
        const char* name;
        std::string bytes;
        int cols;
        std::int64_t highlight[2];  // byte offsets; -1: none
        std::string row;
        std::int64_t longest;
    } cases[] = {
        // Named cases; every edge (cut by the left edge, combining marks,
        // rows from an offset, highlights) is also checked against a plain
        // layout on random lines below.
        {"decoded, wide characters in two cells", user, 40, {-1, -1}, "user=müller café 日本 x", 24},
        {"the x in cell 23 is cut off by 22", user, 22, {-1, -1}, "user=müller café 日本 ", 24},
        {"a wide character at the right edge shows its first half", cjk, 3, {-1, -1}, "ab日", 9},
        {"a tab after a wide character counts its columns", "\xE6\x97\xA5\tx\n", 10, {-1, -1}, "日  x", 6},
        {"a sequence cut by the end of the file", "ok \xE6\x97", 10, {-1, -1}, "ok æ—", 5},
        {"a highlight over a wide character", "caf\xC3\xA9 \xE6\x97\xA5 z\n", 20, {6, 9}, "café «日» z", 10},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Utf8Window w(c.bytes, 2, c.cols);
        if (c.highlight[0] >= 0)
            CFileWndTestAccess::SetHighlightRange(w.wnd, w.At(c.highlight[0]), w.At(c.highlight[1]));
        EXPECT_EQ(w.Row(0), c.row);
        EXPECT_EQ(w.wnd.GetLongestLine(), c.longest);
    }
    // A sideways scroll repaints the window rather than moving its image,
    // which would keep the half of a character that the new edge cuts.
    Utf8Window w("ab\xE6\x97\xA5" + std::string(40, 'c') + "\n", 2, 12);
    w.port.Paint(w.wnd, true);
    w.wnd.OnKeyDown(kVkRight);
    EXPECT_EQ(w.port.m_scrolls, 0);
    w.port.Paint(w.wnd);
    EXPECT_EQ(w.port.RowText(0), U" " + std::u32string(11, U'c'));
}

namespace {

// A line laid out straight from the rules, one cell at a time: a
// well-formed sequence is a character, any other byte its Windows-1252
// character; a character takes its cells, a tab (n mod 8) at column n; a
// combining mark joins the cell before it, or a blank cell of its own at the
// start of the line.
struct Layout {
    struct Cell {
        std::u32string text;
        bool tail = false;
    };
    std::vector<Cell> cells;
    std::vector<std::pair<std::int64_t, std::int64_t>> columnOf;  // (byte, column) of each character

    explicit Layout(const std::string& line)
    {
        const auto* p = reinterpret_cast<const std::uint8_t*>(line.data());
        for (std::size_t i = 0; i < line.size();) {
            int n = searchref::LeadLength(p[i]);
            char32_t ch = i + n <= line.size() ? searchref::WellFormed(p + i, n) : 0xFFFFFFFF;
            if (ch == 0xFFFFFFFF)
                ch = platform::Win1252ToUnicode(p[i]), n = 1;
            const auto col = static_cast<std::int64_t>(cells.size());
            columnOf.emplace_back(static_cast<std::int64_t>(i), col);
            if (ch == U'\t') {
                cells.resize(cells.size() + static_cast<std::size_t>(col % 8), Cell{U" "});
            } else if (utf8text::Cells(ch) == 0 && !cells.empty()) {
                std::size_t head = cells.size() - 1;
                while (cells[head].tail)
                    --head;
                cells[head].text += ch;
            } else if (utf8text::Cells(ch) == 0) {
                cells.push_back(Cell{std::u32string(U" ") + ch});
            } else {
                cells.push_back(Cell{std::u32string(1, ch)});
                if (utf8text::Cells(ch) == 2)
                    cells.push_back(Cell{std::u32string(1, ch), true});
            }
            i += static_cast<std::size_t>(n);
        }
    }
    // The column of the first character at or after byte b.
    std::int64_t ColumnAt(std::int64_t b) const
    {
        for (const auto& [at, col] : columnOf)
            if (at >= b)
                return col;
        return static_cast<std::int64_t>(cells.size());
    }
    // The row at `offset`, `cols` wide, with the highlighted columns in « ».
    std::u32string Row(std::int64_t offset, int cols, std::int64_t hlFrom, std::int64_t hlTo) const
    {
        std::u32string out;
        bool inverse = false;
        for (std::int64_t k = offset; k < offset + cols && k < static_cast<std::int64_t>(cells.size()); ++k) {
            const Cell& c = cells[static_cast<std::size_t>(k)];
            if (c.tail && k > offset)
                continue;
            const bool hl = hlFrom <= k && k < hlTo;
            if (hl != inverse)
                out += hl ? U'\u00AB' : U'\u00BB';
            inverse = hl;
            out += c.tail ? U" " : c.text;
        }
        if (inverse)
            out += U'\u00BB';
        return out;
    }
};

// Random narrow text: ASCII and Latin runs (the fast path), wide
// characters, marks, tabs, and bytes that are no well-formed sequence.
std::string RandomLine(std::mt19937& rng, std::size_t bytes)
{
    static const char* const kPieces[] = {"abcdefghijklmnopqrstuvwxyz0123",
                                          "caf\xC3\xA9 m\xC3\xBCller \xCE\xB1\xCE\xB2\xCE\xB3 ",
                                          "x",
                                          "\xC3\xA9",
                                          "\xE6\x97\xA5",
                                          "\xF0\x9F\x98\x80",
                                          "\xCC\x81",
                                          "\xE2\x83\x9D",
                                          "\t",
                                          "\xE9",
                                          "\xE6\x97",
                                          "\x80",
                                          "\xED\xA0\x80",
                                          "\xC0\xAF",
                                          "\xFF",
                                          "\xD2\x83",
                                          "\xEF\xBC\xA1"};
    std::string s;
    while (s.size() < bytes) {
        const std::size_t k = rng() % std::size(kPieces);
        for (int r = k < 2 ? 1 + static_cast<int>(rng() % 40) : 1; r > 0; --r)
            s += kPieces[k];
    }
    return s;
}

}  // namespace

TEST(Utf8Rows, RandomLinesLongAndShortMatchAPlainLayout)
{
    std::mt19937 rng(2024);
    for (int iter = 0; iter < 60; ++iter) {
        // Every fourth line is long enough for checkpoints.
        const std::size_t size = iter % 4 == 0 ? 150000 + rng() % 150000 : rng() % 300;
        const std::string line = RandomLine(rng, size);
        const Layout layout(line);
        const int cols = 1 + static_cast<int>(rng() % 30);
        Utf8Window w(line + "\n", 1, cols);
        const auto width = static_cast<std::int64_t>(layout.cells.size());
        for (int look = 0; look < 6; ++look) {
            SCOPED_TRACE("line " + std::to_string(iter) + ", look " + std::to_string(look));
            const std::int64_t offset = look == 0 ? 0 : std::uniform_int_distribution<std::int64_t>(0, width + 2)(rng);
            std::int64_t a =
                std::uniform_int_distribution<std::int64_t>(0, static_cast<std::int64_t>(line.size()))(rng);
            std::int64_t b =
                std::uniform_int_distribution<std::int64_t>(0, static_cast<std::int64_t>(line.size()))(rng);
            if (a > b)
                std::swap(a, b);
            CFileWndTestAccess::SetHorzOffset(w.wnd, offset);
            CFileWndTestAccess::SetHighlightRange(w.wnd, w.At(a), w.At(b));
            w.port.Paint(w.wnd, true);
            std::u32string expected = layout.Row(offset, cols, layout.ColumnAt(a), layout.ColumnAt(b));
            if (expected.empty() && offset == 0)
                expected.push_back(U' ');
            ASSERT_EQ(w.port.RowText(0), expected) << "offset " << offset << " highlight " << a << ".." << b;
            ASSERT_EQ(w.wnd.GetLongestLine(), width + 1);
        }
    }
}

TEST(Utf8Rows, ALongLineFollowsItsFileAsItGrowsAndShrinks)
{
    std::mt19937 rng(5);
    const std::string first = RandomLine(rng, 200000);
    const std::string more = RandomLine(rng, 100000);
    const std::string other = RandomLine(rng, 250000);
    Utf8Window w(first, 1, 20);
    auto check = [&](const std::string& line, std::int64_t breakBytes) {
        w.wnd.LoadFile(nullptr, EncodingAuto);
        w.wnd.OnKeyDown(kVkHome);
        const Layout layout(line);
        const auto width = static_cast<std::int64_t>(layout.cells.size());
        for (const std::int64_t offset : {std::int64_t(0), width / 3, width - 10}) {
            CFileWndTestAccess::SetHorzOffset(w.wnd, offset);
            w.port.Paint(w.wnd, true);
            EXPECT_EQ(w.port.RowText(0), layout.Row(offset, 20, 0, 0)) << "offset " << offset;
        }
        EXPECT_EQ(w.wnd.GetLongestLine(), width + breakBytes);
    };
    check(first, 0);
    w.dir.Append("text.log", more + "\nnext\n");  // the unfinished line goes on, and ends
    check(first + more, 1);
    w.dir.Write("text.log", first.substr(0, 1000));  // truncated: its checkpoints go
    check(first.substr(0, 1000), 0);
    w.dir.Write("text.log", other + "\nshort\n");
    check(other, 1);
}

// --- Search, letter case, copy and the change of code page -----------------------------------

TEST(Utf8Search, CharactersAreFoundByteForByteAndFoldedByLengthKeepingMappings)
{
    const std::string text = "user=m\xC3\xBCller caf\xC3\xA9 \xE6\x97\xA5\xE6\x9C\xAC \xE9t\xE9 "
                             "\xCF\x83\xCE\xBF\xCF\x86\xCF\x8C\xCF\x82 \xD0\xBF\xD1\x80\xD0\xB8 mi\xC5\xBFsion "
                             "\xE2\x84\xAA ok \xC4\xB1I\n";
    const struct {
        std::u16string find;
        bool ignoreCase;
        std::int64_t at;  // byte offset of the match; -1: none
        std::int64_t length;
    } cases[] = {
        {u"CAF\u00C9", true, 13, 5},
        {u"caf\u00C9", false, -1, 0},
        {u"\u65E5\u672C", false, 19, 6},
        {u"M\u00DCLLER", true, 5, 7},
        {u"\u00E9t\u00E9", false, -1, 0},                   // a lone E9 is not é
        {u"\u03A3\u039F\u03A6\u038C\u03A3", true, 30, 10},  // the final sigma too
        {u"\u041F\u0420\u0418", true, 41, 6},
        {u"MISSION", true, -1, 0},  // ſ is not s
        {u"mi\u017Fsion", true, 48, 8},
        {u"K OK", true, -1, 0},  // nor the Kelvin sign K
        {u"\u212A ok", true, 57, 6},
        {u"II", true, -1, 0},  // nor ı I
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(platform::Utf16ToUtf8(c.find));
        Utf8Window w(text, 3, 30);
        EXPECT_EQ(w.wnd.FindFirst(c.ignoreCase, c.find), c.at < 0 ? 1 : 0);
        EXPECT_EQ(w.wnd.GetHighlightStart(), c.at < 0 ? kNoPos : w.At(c.at));
        EXPECT_EQ(w.wnd.GetHighlightEnd(), c.at < 0 ? kNoPos : w.At(c.at + c.length));
    }
    // Found Next continues after the match's bytes, and places it by columns.
    Utf8Window w(std::string(30, ' ') + "\xE6\x97\xA5\xE6\x97\xA5\xE6\x97\xA5 needle\n", 3, 10);
    ASSERT_EQ(w.wnd.FindFirst(false, u"\u65E5\u65E5"), 0);
    EXPECT_EQ(w.wnd.FindNext(false, u"\u65E5\u65E5"), 1) << "the overlapping one is skipped";
    ASSERT_EQ(w.wnd.FindFirst(true, u"NEEDLE"), 0);
    EXPECT_EQ(w.wnd.GetHorzOffset(), 30 + 7 + 3 - 5) << "six wide columns before it";
    EXPECT_EQ(w.Row(0), "  «needle»");
}

TEST(Utf8Search, EveryInstructionSetAgreesWithTheReference)
{
    // Spellings that fold, that must not fold, of several lengths, and bytes
    // that are no character.
    static const char* const kPieces[] = {"a",
                                          "A",
                                          "s",
                                          "S",
                                          "k",
                                          "K",
                                          "i",
                                          "I",
                                          "\xC5\xBF",
                                          "\xC4\xB1",
                                          "\xE2\x84\xAA",
                                          "\xC3\xA9",
                                          "\xC3\x89",
                                          "\xCF\x83",
                                          "\xCF\x82",
                                          "\xCE\xA3",
                                          "\xF0\x90\x90\xA8",
                                          "\xF0\x90\x90\x80",
                                          "\xE6\x97\xA5",
                                          "\xE9",
                                          "\xC3",
                                          "\x80",
                                          "\n",
                                          " "};
    std::mt19937 rng(99);
    int matches = 0, cases = 0;
    for (int iter = 0; iter < 400; ++iter) {
        const std::size_t common = 3 + rng() % (std::size(kPieces) - 3);
        std::string bytes;
        for (std::size_t n = rng() % (iter % 10 == 0 ? 3000 : 200); n > 0; --n)
            bytes += kPieces[rng() % common];
        const std::u16string chars = platform::Utf8ToUtf16(bytes);
        for (int q = 0; q < 4; ++q) {
            std::u16string text;
            const std::size_t m = 1 + rng() % 8;
            if (chars.size() > m && rng() % 4) {
                text = chars.substr(rng() % (chars.size() - m), m);
                for (char16_t& ch : text)
                    ch = rng() % 2 ? UpperCase16(ch) : LowerCase16(ch);
            } else {
                for (std::size_t i = 0; i < m; ++i)
                    text += platform::Utf8ToUtf16(kPieces[rng() % common]);
            }
            const bool ignoreCase = rng() % 4 != 0;
            const auto needle = searchkernels::PrepareForEncoding(text, EncodingAnsi, ignoreCase, CodePage::Utf8);
            const auto* v = reinterpret_cast<const std::uint8_t*>(bytes.data());
            const auto n = static_cast<std::int64_t>(bytes.size());
            for (const bool forward : {true, false}) {
                const std::int64_t expected =
                    searchref::Search(v, 0, n, EncodingAnsi, ignoreCase, text, 0, n, forward, CodePage::Utf8);
                matches += expected >= 0;
                ++cases;
                for (auto isa : {searchkernels::Isa::Scalar, searchkernels::Isa::Sse2, searchkernels::Isa::Avx2}) {
                    if (!searchkernels::IsaAvailable(isa))
                        continue;
                    ASSERT_EQ(searchkernels::SearchView(needle, v, 0, n, 0, n, forward, isa, 1 + rng() % 64), expected)
                        << searchkernels::IsaName(isa) << " iteration " << iter << " " << platform::Utf16ToUtf8(text);
                }
            }
        }
    }
    EXPECT_GT(matches, cases / 5);
    EXPECT_LT(matches, cases * 4 / 5);
}

TEST(Utf8Case, DisplayCaseMapsDecodedCharactersKeepingTheirLength)
{
    const struct {
        std::string bytes;
        std::int32_t textCase;
        int cols;
        std::vector<std::string> rows;
    } cases[] = {
        {"straße été σοφός ſ ı 日\n", TextCaseUpper, 40, {"STRAßE ÉTÉ ΣΟΦΌΣ ſ ı 日"}},
        {"ÉTÉ ΣΟΦ İ \u212A \xE9\n", TextCaseLower, 40, {"été σοφ İ \u212A é"}},
        {"x. élan été. über\n", TextCaseSentence, 40, {"X. Élan été. Über"}},
        // Letters right of the window still count: the row after starts mid-sentence.
        {"éééééé x.\nnext é. —\naéééééééééééé\nmore\n", TextCaseSentence, 5, {"Ééééé", "Next ", "Aéééé", "more"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.rows[0]);
        Utf8Window w(c.bytes, 4, c.cols);
        w.wnd.SetTextCase(c.textCase);
        for (std::size_t r = 0; r < c.rows.size(); ++r)
            EXPECT_EQ(w.Row(static_cast<int>(r)), c.rows[r]) << r;
    }
}

TEST(Utf8Window, ChangingTheCodePageMeasuresAgainAndKeepsTheTop)
{
    std::string text = testutil::Lines(0, 30);
    text += "m\xC3\xBCller caf\xC3\xA9 \xE6\x97\xA5\n" + testutil::Lines(30, 60);
    Window w(text, 4, 40);
    w.port.Paint(w.wnd, true);
    ASSERT_EQ(w.wnd.FindFirst(true, u"CAF\u00C9"), 1) << "not in Windows-1252";
    ASSERT_EQ(w.wnd.FindFirst(true, u"CAF\u00C3"), 0) << "but its first byte is";
    const TextPos top = w.wnd.GetTop();
    const std::int64_t longest = w.wnd.GetLongestLine();
    EXPECT_EQ(w.Row(1), "m\u00C3\u00BCller «caf\u00C3»\u00A9 \u00E6\u2014\u00A5");

    const int repaints = w.port.m_fullInvalidations;
    w.wnd.SetCodePage(CodePage::Utf8);
    EXPECT_EQ(w.port.m_fullInvalidations, repaints + 1);
    EXPECT_EQ(w.wnd.GetTop(), top);
    EXPECT_EQ(w.wnd.GetHighlightStart(), kNoPos) << "CAFÃ is no longer there";
    EXPECT_EQ(w.Row(1), "müller café 日");
    EXPECT_LT(w.wnd.GetLongestLine(), longest);
    EXPECT_EQ(w.port.m_horz.max, w.wnd.GetLongestLine());

    ASSERT_EQ(w.wnd.FindFirst(true, u"M\u00DCLLER"), 0);
    w.wnd.SetCodePage(CodePage::Windows1252);
    EXPECT_EQ(w.wnd.GetHighlightStart(), kNoPos);
    w.wnd.SetCodePage(CodePage::Utf8);
    ASSERT_EQ(w.wnd.FindFirst(false, u"ller"), 0);
    w.wnd.SetCodePage(CodePage::Windows1252);
    EXPECT_EQ(w.Row(1), "m\u00C3\u00BC«ller» caf\u00C3\u00A9 \u00E6\u2014\u00A5") << "an ASCII match stays";
    platform::SetAnsiCodePage(CodePage::Utf8);
    w.wnd.OnCodePageChanged();
    platform::SetAnsiCodePage(CodePage::Windows1252);
    EXPECT_EQ(w.wnd.GetCodePage(), CodePage::Utf8);
    EXPECT_EQ(w.Row(1), "m\u00FC«ller» caf\u00E9 \u65E5");
}
