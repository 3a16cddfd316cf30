// What the window draws: rows from the top, the horizontal offset, the
// highlight in inverse colours, and the display-only letter case.
#include "TestUtil.h"

using testutil::Utf16BE;
using testutil::Utf16LE;
using testutil::Window;

TEST(Paint, RowsOffsetsAndHighlights)
{
    const struct {
        const char* name;
        std::string bytes;
        std::int64_t offset;
        std::int64_t highlight[2];  // character indexes; -1: none
        std::vector<std::string> rows;
    } cases[] = {
        {"rows past the end are single spaces", "one\ntwo\n", 0, {-1, -1}, {"one", "two", " ", " "}},
        {"at offset 10, a line of 5 shows empty, one of 12 its last 2",
         "short\n0123456789AB\n",
         10,
         {-1, -1},
         {"", "AB", "", ""}},
        {"a highlight in inverse video", "abc match\nnext line\n", 0, {4, 9}, {"abc «match»", "next line", " "}},
        {"one across a break, with an offset: columns pair with units",
         "abc match\nnext line\n",
         2,
         {6, 13},
         {"c ma«tch»", "«x»t line", ""}},
        {"the spaces of a tab belong to the tab", "a\tbc\tdefg\tX\n", 0, {2, 5}, {"a «bc    »defg    X", " "}},
        {"in UTF-16", Utf16LE(u"find me here\r\n", true), 0, {5, 7}, {"find «me» here", " "}},
        {"narrow bytes are Windows-1252", "\x80\x81\x9F\xA0\xFF\n", 0, {-1, -1}, {"\u20AC\u0081\u0178\u00A0\u00FF"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Window w(c.bytes, 4, 20);
        w.wnd.OnKeyDown(kVkHome);
        CFileWndTestAccess::SetHorzOffset(w.wnd, c.offset);
        if (c.highlight[0] >= 0)
            CFileWndTestAccess::SetHighlightRange(w.wnd, w.At(c.highlight[0]), w.At(c.highlight[1]));
        for (std::size_t r = 0; r < c.rows.size(); ++r)
            EXPECT_EQ(w.Row(static_cast<int>(r)), c.rows[r]) << r;
    }
    // A highlight ending between the two bytes of a unit covers that unit's start only.
    Window odd(Utf16LE(u"find me here\r\n"), 3, 30, EncodingUtf16LE);
    CFileWndTestAccess::SetHighlightRange(odd.wnd, odd.At(5), odd.At(7) + 1);
    EXPECT_EQ(odd.Row(0), "find «me »here");
}

TEST(Paint, EveryRowIsPaintedToTheRightEdgeInItsColours)
{
    Window w("abc match\nnext line\n", 3, 20);
    w.wnd.SetHighlight(w.At(4), 5);
    headless::RecordingPainter painter(w.port, w.wnd, true);
    w.wnd.OnPaint(painter);
    EXPECT_EQ(painter.m_fontSelections, 1);
    ASSERT_EQ(painter.m_calls.size(), 6u);  // n + 2 rows; the first in two segments
    for (const auto& c : painter.m_calls)
        EXPECT_EQ(c.opaque.right, 20 * 8);
    const auto& hl = painter.m_calls[1];
    EXPECT_EQ(hl.text, U"match");
    EXPECT_EQ(hl.x, 4 * 8);
    EXPECT_EQ(hl.bg, w.wnd.GetFontColor());
    EXPECT_EQ(hl.fg, w.wnd.GetPageColor());
    EXPECT_EQ(painter.m_calls[2].bg, w.wnd.GetPageColor()) << "the next line is back to normal";

    headless::HeadlessPort port(3, 10);
    CFileWnd empty(&port);
    headless::RecordingPainter filled(port, empty, true);
    empty.OnPaint(filled);
    EXPECT_TRUE(filled.m_calls.empty()) << "without text: the page colour, nothing drawn";
}

TEST(Paint, LetterCase)
{
    const std::u16string greek = u"Stra\u00DFe \u00E9t\u00E9 \u03C3\u03BF\u03C6\u03CC\u03C2 i\r\n";
    const struct {
        const char* name;
        std::string bytes;
        std::int32_t textCase;
        std::int64_t offset;
        int cols;
        std::vector<std::string> rows;
    } cases[] = {
        {"only the full stop ends a sentence, across rows",
         "hello world. this is HAL. ok\nand I said. no! yes? maybe\n",
         TextCaseSentence,
         0,
         40,
         {"Hello world. This is hal. Ok", "and i said. No! yes? maybe"}},
        {"e.g.", "e.g. foo\n", TextCaseSentence, 0, 40, {"E.G. Foo"}},
        // 0x8A is Š, 0x9C œ: letters, so the letter after them goes on the word.
        {"letters of Windows-1252", "\x8Ata. \x9Cuvre\n", TextCaseSentence, 0, 40, {"\u0160ta. \u0153uvre"}},
        {"the first letter drawn is capitalised; those left of the offset do not count",
         "the cat sat. on the mat\n",
         TextCaseSentence,
         4,
         40,
         {"Cat sat. On the mat"}},
        {"those past the right edge do",
         "aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa end.\nnext\nmore\n",
         TextCaseSentence,
         0,
         10,
         {"Aaaaaaaaaa", "Next", "more"}},
        {"simple mappings only, never the locale",
         Utf16LE(greek, true),
         TextCaseUpper,
         0,
         40,
         {"STRA\u00DFE \u00C9T\u00C9 \u03A3\u039F\u03A6\u038C\u03A3 I"}},
        {"big-endian alike",
         Utf16BE(greek, true),
         TextCaseUpper,
         0,
         40,
         {"STRA\u00DFE \u00C9T\u00C9 \u03A3\u039F\u03A6\u038C\u03A3 I"}},
        {"lower",
         Utf16BE(greek, true),
         TextCaseLower,
         0,
         40,
         {"stra\u00DFe \u00E9t\u00E9 \u03C3\u03BF\u03C6\u03CC\u03C2 i"}},
        {"narrow text in ASCII only", "caf\xE9 ok\n", TextCaseUpper, 0, 20, {"CAF\u00E9 OK"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Window w(c.bytes, 3, c.cols);
        w.wnd.OnKeyDown(kVkHome);
        w.wnd.SetTextCase(c.textCase);
        CFileWndTestAccess::SetHorzOffset(w.wnd, c.offset);
        for (std::size_t r = 0; r < c.rows.size(); ++r)
            EXPECT_EQ(w.Row(static_cast<int>(r)), c.rows[r]) << r;
    }

    // A strip repainted after a line scroll starts its own sentence.
    Window w(testutil::Lines(0, 20, "word and more "), 4, 20);
    w.wnd.SetTextCase(TextCaseSentence);
    w.wnd.OnKeyDown(kVkHome);
    w.port.Paint(w.wnd, true);
    EXPECT_EQ(w.port.RowText(1), U"word and more 1");
    w.wnd.OnKeyDown(kVkDown);
    w.port.Paint(w.wnd);
    EXPECT_EQ(w.port.RowText(0), U"word and more 1") << "moved, not repainted";
    EXPECT_EQ(w.port.RowText(3), U"Word and more 4");
}

TEST(Paint, VeryLongLinesStoreOnlyWhatShows)
{
    std::string line(1 << 20, 'x');
    line[(1 << 20) - 3] = 'E';
    Window w(line + "\nshort\n", 3, 10);
    EXPECT_EQ(w.Row(0), "xxxxxxxxxx");
    EXPECT_EQ(w.wnd.GetLongestLine(), (1 << 20) + 1);
    w.wnd.OnHScroll(kSbThumbTrack, (1 << 20) - 5);  // limited to longest - columns
    EXPECT_EQ(w.wnd.GetHorzOffset(), (1 << 20) - 9);
    EXPECT_EQ(w.Row(0), "xxxxxxExx");
}
