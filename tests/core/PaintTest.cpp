// What the window draws: rows from the top, the horizontal offset, the
// highlight in inverse colours, and the display-only letter case.
#include "tests/core/TestUtil.h"

using testutil::Utf16BE;
using testutil::Utf16LE;
using testutil::Window;

TEST(Paint, RowsOffsetsAndHighlights)
{
    const std::string match = "abc match\nnext line\n";
    const struct {
        std::string bytes;
        std::int64_t offset;
        std::int64_t highlight[2];  // character indexes; -1: none
        std::vector<std::string> rows;
    } cases[] = {
        {"one\ntwo\n", 0, {-1, -1}, {"one", "two", " ", " "}},        // rows past the end are single spaces
        {"short\n0123456789AB\n", 10, {-1, -1}, {"", "AB", "", ""}},  // offset 10: 5 show empty, 12 their last 2
        {match, 0, {4, 9}, {"abc «match»", "next line", " "}},        // a highlight in inverse video
        {match, 2, {6, 13}, {"c ma«tch»", "«x»t line", ""}},          // across a break, offset: columns pair with units
        {"a\tbc\tdefg\tX\n", 0, {2, 5}, {"a «bc    »defg    X", " "}},  // the spaces of a tab belong to the tab
        {Utf16LE(u"find me here\r\n", true), 0, {5, 7}, {"find «me» here", " "}},
        {"\x80\x81\x9F\xA0\xFF\n", 0, {-1, -1}, {"\u20AC\u0081\u0178\u00A0\u00FF"}},  // narrow bytes are Windows-1252
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.rows.front());
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
    const std::string upper = "STRA\u00DFE \u00C9T\u00C9 \u03A3\u039F\u03A6\u038C\u03A3 I";
    const std::string lower = "stra\u00DFe \u00E9t\u00E9 \u03C3\u03BF\u03C6\u03CC\u03C2 i";
    const std::string endings = "hello world. this is HAL. ok\nand I said. no! yes? maybe\n";
    const std::int32_t sentence = TextCaseSentence;
    const struct {
        std::int32_t textCase;
        std::int64_t offset;
        int cols;
        std::string bytes;
        std::vector<std::string> rows;
    } cases[] = {
        // Only the full stop ends a sentence, across rows.
        {sentence, 0, 40, endings, {"Hello world. This is hal. Ok", "and i said. No! yes? maybe"}},
        {sentence, 0, 40, "e.g. foo\n", {"E.G. Foo"}},
        // 0x8A is Š, 0x9C œ: letters of Windows-1252, so the letter after them goes on the word.
        {sentence, 0, 40, "\x8Ata. \x9Cuvre\n", {"\u0160ta. \u0153uvre"}},
        // The first letter drawn is capitalised; those left of the offset do not count, those past the edge do.
        {sentence, 4, 40, "the cat sat. on the mat\n", {"Cat sat. On the mat"}},
        {sentence, 0, 10, std::string(32, 'a') + " end.\nnext\nmore\n", {"Aaaaaaaaaa", "Next", "more"}},
        // Simple mappings only, never the locale, in both byte orders; narrow text in ASCII only.
        {TextCaseUpper, 0, 40, Utf16LE(greek, true), {upper}},
        {TextCaseUpper, 0, 40, Utf16BE(greek, true), {upper}},
        {TextCaseLower, 0, 40, Utf16BE(greek, true), {lower}},
        {TextCaseUpper, 0, 20, "caf\xE9 ok\n", {"CAF\u00E9 OK"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.rows.front());
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
