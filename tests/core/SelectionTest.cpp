// The selection: pixels to positions as the rows are laid out, character boundaries in every encoding, words and
// lines, the copy and the primary selection, painting under the search highlight, and what drops it.
#include "tests/core/TestUtil.h"

#include <filesystem>

using testutil::Utf16BE;
using testutil::Utf16LE;
using testutil::Window;

namespace {

constexpr int kW = headless::HeadlessPort::kCharWidth;
constexpr int kH = headless::HeadlessPort::kLineHeight;

// A pixel in the left or the right half of cell (col, row).
struct Pixel {
    int col, row;
    bool right = false;
    int X() const { return col * kW + (right ? kW - 2 : 1); }
    int Y() const { return row * kH + 3; }
};

std::string Clip(const std::vector<std::uint8_t>& b)
{
    return std::string(b.begin(), b.end());
}

const std::string kNul2(2, '\0');
constexpr auto kAnsi = platform::CodePage::Windows1252, kUtf8 = platform::CodePage::Utf8;
const std::string kWide = "a\xE6\x97\xA5\xE6\x9C\xAC" + std::string("b\n");  // a, two wide characters, b

}  // namespace

TEST(Selection, DragFromPixelToPixelCopiesWhatIsDrawn)
{
    std::string digits;
    for (int i = 0; i < 300; ++i)
        digits += static_cast<char>('0' + i % 10);
    const unsigned text = platform::kCfText, utf16 = platform::kCfUnicodeText;
    const std::string crlf = "hello world\r\nsecond\r\n";
    const std::string le = Utf16LE(u"\u00C4rger\r\nzwei", true), be = Utf16BE(u"\u00C4rger\r\nzwei", true);
    const struct {
        const char* name;
        std::string bytes;
        platform::CodePage codePage;
        std::int64_t hoff;
        Pixel press, release;
        unsigned format;
        std::string clip;
    } cases[] = {
        // From the left half of a cell to the right half of one, and back.
        {"ANSI over a CR LF", crlf, kAnsi, 0, {6, 0}, {3, 1, true}, text, "world\r\nseco"},
        {"dragged upwards", crlf, kAnsi, 0, {3, 1, true}, {6, 0}, text, "world\r\nseco"},
        // A wide character's second cell rounds to its end, the first to its start.
        {"UTF-8 decoded", kWide, kUtf8, 0, {2, 0}, {5, 0, true}, utf16, Utf16LE(u"\u672Cb")},
        {"UTF-8 from the first cell", kWide, kUtf8, 0, {1, 0}, {3, 0}, utf16, Utf16LE(u"\u65E5")},
        {"UTF-8 under Windows-1252: a byte each", "a\xC3\xA9z\n", kAnsi, 0, {1, 0}, {2, 0, true}, text, "\xC3\xA9"},
        {"a tab's right part takes the tab", "abcde\tX\n", kAnsi, 0, {8, 0, true}, {10, 0, true}, text, "X"},
        {"a tab's left part leaves it in", "abcde\tX\n", kAnsi, 0, {6, 0}, {10, 0, true}, text, "\tX"},
        {"UTF-16 LE", le, kAnsi, 0, {1, 0}, {1, 1}, utf16, Utf16LE(u"rger\r\nz")},
        {"UTF-16 BE as host order", be, kAnsi, 0, {0, 0}, {2, 1, true}, utf16, Utf16LE(u"\u00C4rger\r\nzwe")},
        {"columns count from the offset", digits + "\n", kAnsi, 150, {0, 0}, {3, 0, true}, text, digits.substr(150, 4)},
        {"above the text row 0, below it the end", "ab\ncd", kAnsi, 0, {0, -3}, {30, 20}, text, "ab\ncd"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Window w(c.bytes, 5, 20);
        ASSERT_TRUE(w.loaded);
        w.wnd.SetCodePage(c.codePage);
        w.wnd.OnKeyDown(kVkHome);
        CFileWndTestAccess::SetHorzOffset(w.wnd, c.hoff);
        w.wnd.SetSelection(w.wnd.PositionAt(c.press.X(), c.press.Y()), w.wnd.PositionAt(c.release.X(), c.release.Y()));
        w.wnd.SetTextCase(TextCaseUpper);  // display only
        w.wnd.PublishSelection();
        w.wnd.CopyToClipboard();
        EXPECT_EQ(w.port.m_clipFormat, c.format);
        EXPECT_EQ(Clip(w.port.m_clipboard), c.clip + kNul2);
        EXPECT_EQ(w.port.m_primaryFormat, c.format) << "the primary selection holds it too";
        EXPECT_EQ(Clip(w.port.m_primary), c.clip + kNul2);
    }
}

// Byte positions inside a character are taken to its boundaries, the lower end down and the upper one up; a word
// or a line chosen at a position covers it whole.
TEST(Selection, EndsSnapToCharactersWordsAndLines)
{
    const std::string emoji = "x\xF0\x9F\x98\x80y\r\nz";  // x, U+1F600 (bytes 1-4), y, CR LF at 6
    const std::string pair =
        Utf16LE(u"x\U0001F600y\r\nz", true);  // BOM 0-1, x 2, the pair 4-7, y 8, CR 10, LF 12, z 14
    enum How { Ends, Word, Line };
    const struct {
        const char* name;
        std::string bytes;
        platform::CodePage codePage;
        How how;
        TextPos anchor, caret;  // the caret only for Ends
        TextPos from, to;
    } cases[] = {
        {"UTF-16: a surrogate pair and a CR LF pair are never cut", pair, kAnsi, Ends, 6, 12, 4, 14},
        {"UTF-16: odd bytes go to the unit grid", pair, kAnsi, Ends, 3, 9, 2, 10},
        {"UTF-8 decoded: a sequence is one character, either way round", emoji, kUtf8, Ends, 7, 2, 1, 8},
        {"UTF-8 under Windows-1252: every byte is one", emoji, kAnsi, Ends, 2, 7, 2, 8},
        {"between CR and LF of a pair, either end", "ab\r\ncd", kAnsi, Ends, 3, 3, 2, 4},
        {"CR CR LF: the first CR stands alone, the second pairs", "ab\r\r\ncd", kAnsi, Ends, 3, 4, 3, 5},
        {"letters, digits and underscores make a word", "foo_bar1 baz\n", kAnsi, Word, 2, 0, 0, 8},
        {"a run of blanks", "foo  \t bar\n", kAnsi, Word, 4, 0, 3, 7},
        {"another character stands alone", "a--b\n", kAnsi, Word, 1, 0, 1, 2},
        {"past the end of a line: the word before it", "one two\nx\n", kAnsi, Word, 7, 0, 4, 7},
        {"Windows-1252 letters", "caf\xE9 x\n", kAnsi, Word, 1, 0, 0, 4},
        {"UTF-8 decoded letters", "h\xC3\xA9llo w\xC3\xB6rld\n", kUtf8, Word, 9, 0, 7, 13},
        {"a line with its break", "one\r\ntwo\r\nthree", kAnsi, Line, 6, 0, 5, 10},
        {"the last line, from its end", "one\r\ntwo\r\nthree", kAnsi, Line, 15, 0, 10, 15},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Window w(c.bytes, 5, 20);
        ASSERT_TRUE(w.loaded);
        w.wnd.SetCodePage(c.codePage);
        if (c.how == Ends)
            w.wnd.SetSelection(c.anchor, c.caret);
        else if (c.how == Word)
            w.wnd.SelectWord(c.anchor);
        else
            w.wnd.SelectLine(c.anchor);
        EXPECT_EQ(w.wnd.GetSelectionStart(), c.from);
        EXPECT_EQ(w.wnd.GetSelectionEnd(), c.to);
    }
}

// Per cell of a row: '.' plain, 's' the selection's colours, 'h' the search highlight.
TEST(Selection, PaintedInThePortsColoursUnderTheHighlight)
{
    const auto colours = headless::HeadlessPort(1, 1).SelectionColors();
    auto cells = [&](Window& w, int row, int n) {
        w.port.Paint(w.wnd, true);
        std::string out;
        for (int i = 0; i < n; ++i) {
            const headless::Cell& cell = w.port.Screen()[static_cast<std::size_t>(row)][static_cast<std::size_t>(i)];
            out += cell.inverse ? 'h' : cell.bg == colours.second && cell.fg == colours.first ? 's' : '.';
        }
        return out;
    };
    const struct {
        const char* name;
        std::string bytes;
        platform::CodePage codePage;
        TextPos from, to;
        const char16_t* find;
        std::vector<std::string> rows;  // the first 12 cells of each
    } cases[] = {
        {"the highlight on top", "abc def ghi\n", kAnsi, 2, 9, u"def", {"..sshhhss..."}},
        // A selected break fills its row, one that ends with the text stops there.
        {"breaks", "abc\n\nxyz\nend\n", kAnsi, 1, 7, nullptr, {".sssssssssss", "ssssssssssss", "ss.........."}},
        {"wide characters take both cells", kWide, kUtf8, 1, 4, nullptr, {".ss........."}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Window w(c.bytes, 5, 20);
        ASSERT_TRUE(w.loaded);
        w.wnd.SetCodePage(c.codePage);
        w.wnd.OnKeyDown(kVkHome);
        if (c.find) {
            ASSERT_EQ(w.wnd.FindFirst(false, c.find), 0);
        }
        w.wnd.SetSelection(c.from, c.to);
        for (std::size_t r = 0; r < c.rows.size(); ++r)
            EXPECT_EQ(cells(w, static_cast<int>(r), 12), c.rows[r]) << "row " << r;
    }
}

// It stays on its text while the window scrolls, follows and changes font; a truncation before its end or
// another file drops it, a truncation after it does not.
TEST(Selection, KeptOnItsTextDroppedWhenCutOrReplaced)
{
    CMemoryMappedFile other;  // outlives the window that shows it
    Window w(testutil::Lines(0, 40), 5, 20);
    ASSERT_TRUE(w.loaded);
    w.wnd.OnKeyDown(kVkHome);
    const TextPos from = w.At(7), to = w.At(21);  // "line 1\nline 2\n"
    w.wnd.SetSelection(from, to);
    ASSERT_TRUE(w.wnd.HasSelection());
    w.wnd.OnKeyDown(kVkNext);
    w.wnd.SetFontPoints(w.wnd.GetFontPoints() + 4);
    w.dir.Append("text.log", testutil::Lines(40, 50));
    w.wnd.LoadFile(nullptr, EncodingAuto);
    w.wnd.OnKeyDown(kVkEnd);
    EXPECT_EQ(w.wnd.GetSelectionStart(), from);
    EXPECT_EQ(w.wnd.GetSelectionEnd(), to);
    w.wnd.CopyToClipboard();
    EXPECT_EQ(Clip(w.port.m_clipboard), "line 1\nline 2\n" + kNul2);

    std::filesystem::resize_file(w.Path(), static_cast<std::uintmax_t>(to + 5));
    w.wnd.LoadFile(nullptr, EncodingAuto);
    EXPECT_TRUE(w.wnd.HasSelection()) << "cut after its end";
    std::filesystem::resize_file(w.Path(), static_cast<std::uintmax_t>(to - 1));
    w.wnd.LoadFile(nullptr, EncodingAuto);
    EXPECT_FALSE(w.wnd.HasSelection()) << "cut before its end";
    w.wnd.CopyScreenToClipboard();
    const std::string screen = Clip(w.port.m_clipboard);
    w.wnd.CopyToClipboard();
    EXPECT_EQ(Clip(w.port.m_clipboard), screen) << "without one the screen is copied";

    w.wnd.SetSelection(from, from + 3);
    ASSERT_TRUE(other.Open(w.dir.Write("other.log", testutil::Lines(0, 40)).c_str(), false));
    ASSERT_TRUE(w.wnd.LoadFile(&other, EncodingAuto));
    EXPECT_FALSE(w.wnd.HasSelection()) << "another file";
}
