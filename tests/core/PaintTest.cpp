// What the window draws: rows from the top, the horizontal offset, the
// highlight in inverse colours, and the display-only letter case.
#include "TestUtil.h"

using testutil::Utf16BE;
using testutil::Utf16LE;
using testutil::Window;

TEST(Paint, RowsPastTheEndAreSingleSpacesAndWindowWithoutTextIsPageColour)
{
    Window w("one\ntwo\n", 5, 20);
    EXPECT_EQ(w.Row(0), "one");
    EXPECT_EQ(w.Row(1), "two");
    EXPECT_EQ(w.Row(2), " ");
    EXPECT_EQ(w.Row(4), " ");

    headless::HeadlessPort port(3, 10);
    CFileWnd empty(&port);
    headless::RecordingPainter painter(port, empty, true);
    empty.SetPageColor(platform::Rgb(1, 2, 3));
    empty.OnPaint(painter);
    EXPECT_TRUE(painter.m_calls.empty());  // filled, nothing drawn
}

TEST(Paint, HorizontalOffsetAndShortLines)
{
    Window w("short\n0123456789AB\n", 4, 20);
    CFileWndTestAccess::SetHorzOffset(w.wnd, 10);
    EXPECT_EQ(w.Row(0), "");    // a line of 5 shows empty
    EXPECT_EQ(w.Row(1), "AB");  // a line of 12 shows its last 2
    EXPECT_EQ(w.Row(2), "");    // past the end: nothing at offset 10

    // Every row is painted from the left edge to the right edge.
    headless::RecordingPainter painter(w.port, w.wnd, true);
    w.wnd.OnPaint(painter);
    ASSERT_FALSE(painter.m_calls.empty());
    for (const auto& c : painter.m_calls)
        EXPECT_EQ(c.opaque.right, 20 * 8);
    EXPECT_EQ(painter.m_fontSelections, 1);
    EXPECT_EQ(painter.m_calls.size(), 6u);  // n + 2 rows, one segment each
}

TEST(Paint, HighlightRunsInInverseColoursToTheRightEdge)
{
    Window w("abc match\nnext line\n", 3, 20);
    w.wnd.SetHighlight(w.At(4), 5);
    EXPECT_EQ(w.Row(0), "abc \u00ABmatch\u00BB");
    headless::RecordingPainter painter(w.port, w.wnd, true);
    w.wnd.OnPaint(painter);
    // The highlighted segment's back colour is the font colour, and its
    // opaque rectangle runs to the right edge.
    const auto& hl = painter.m_calls.at(1);
    EXPECT_EQ(hl.text, U"match");
    EXPECT_EQ(hl.bg, w.wnd.GetFontColor());
    EXPECT_EQ(hl.fg, w.wnd.GetPageColor());
    EXPECT_EQ(hl.x, 4 * 8);
    EXPECT_EQ(hl.opaque.right, 20 * 8);
    EXPECT_EQ(painter.m_calls.at(2).bg, w.wnd.GetPageColor());  // next line back to normal

    // A highlight across a line break, seen with an offset: columns pair with
    // source positions from the start of each line.
    w.wnd.SetHighlight(w.At(6), 7);
    CFileWndTestAccess::SetHorzOffset(w.wnd, 2);
    EXPECT_EQ(w.Row(0), "c ma\u00ABtch\u00BB");
    EXPECT_EQ(w.Row(1), "\u00ABx\u00BBt line");
}

TEST(Paint, HighlightInWideTextAndOnOddBoundaries)
{
    Window w(Utf16LE(u"find me here\r\n"), 3, 30, EncodingUtf16LE);
    w.wnd.SetHighlight(w.At(5), 2);
    EXPECT_EQ(w.Row(0), "find \u00ABme\u00BB here");
    // An end between the two bytes of a unit covers that unit's start only.
    CFileWndTestAccess::SetHighlightRange(w.wnd, w.At(5), w.At(7) + 1);
    EXPECT_EQ(w.Row(0), "find \u00ABme \u00BBhere");
}

TEST(Paint, SentenceCase)
{
    Window w("hello world. this is HAL. ok\nand I said. no! yes? maybe\n", 3, 40, EncodingAuto);
    w.wnd.SetTextCase(TextCaseSentence);
    EXPECT_EQ(w.Row(0), "Hello world. This is hal. Ok");
    // The state carries across rows; only the full stop starts a sentence.
    EXPECT_EQ(w.Row(1), "and i said. No! yes? maybe");
    Window eg("e.g. foo\n", 2, 40);
    eg.wnd.SetTextCase(TextCaseSentence);
    EXPECT_EQ(eg.Row(0), "E.G. Foo");
    // Letters of Windows-1252 beyond ASCII (0x8A is Š, 0x9C is œ) go on a
    // word: the letter after them is not capitalised.
    Window accented("\x8Ata. \x9Cuvre\n", 2, 40);
    accented.wnd.SetTextCase(TextCaseSentence);
    EXPECT_EQ(accented.Row(0), "\u0160ta. \u0153uvre");

    // The first letter drawn at the top is capitalised even mid-sentence,
    // and characters left of the offset do not count.
    Window mid("the cat sat. on the mat\n", 2, 40);
    mid.wnd.SetTextCase(TextCaseSentence);
    CFileWndTestAccess::SetHorzOffset(mid.wnd, 4);
    EXPECT_EQ(mid.Row(0), "Cat sat. On the mat");

    // Characters beyond the right edge are drawn (clipped) and still count:
    // the full stop off-screen capitalises the next row.
    Window wide("aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa end.\nnext\nmore\n", 3, 10);
    wide.wnd.SetTextCase(TextCaseSentence);
    EXPECT_EQ(wide.Row(0), "Aaaaaaaaaa");
    EXPECT_EQ(wide.Row(1), "Next");
    EXPECT_EQ(wide.Row(2), "more");
}

TEST(Paint, SentenceCaseStripAfterLineScrollStartsAsScreenTop)
{
    std::string text;
    for (int i = 0; i < 20; ++i)
        text += "word and more\n";
    Window w(text, 4, 20);
    w.wnd.SetTextCase(TextCaseSentence);
    w.wnd.OnKeyDown(kVkHome);
    w.port.Paint(w.wnd, true);
    EXPECT_EQ(w.port.RowText(0), U"Word and more");
    EXPECT_EQ(w.port.RowText(1), U"word and more");
    w.wnd.OnKeyDown(kVkDown);  // scrolls the image; only the bottom strip is painted
    EXPECT_EQ(w.port.m_scrolls, 1);
    w.port.Paint(w.wnd);
    EXPECT_EQ(w.port.RowText(0), U"word and more");  // moved, not repainted
    EXPECT_EQ(w.port.RowText(3), U"Word and more");  // the strip starts its own sentence
}

TEST(Paint, UpperAndLowerCaseSameForBigAndLittleEndian)
{
    const std::u16string text = u"Stra\u00DFe \u00E9t\u00E9 \u03C3\u03BF\u03C6\u03CC\u03C2 i\r\n";
    Window le(Utf16LE(text, true), 2, 40);
    Window be(Utf16BE(text, true), 2, 40);
    for (std::int32_t c : {TextCaseUpper, TextCaseLower}) {
        le.wnd.SetTextCase(c);
        be.wnd.SetTextCase(c);
        EXPECT_EQ(le.Row(0), be.Row(0));
    }
    le.wnd.SetTextCase(TextCaseUpper);
    // Simple mappings only, never the process locale: sharp s stays, dotless/dotted i does not appear.
    EXPECT_EQ(le.Row(0), "STRA\u00DFE \u00C9T\u00C9 \u03A3\u039F\u03A6\u038C\u03A3 I");
    be.wnd.SetTextCase(TextCaseLower);
    EXPECT_EQ(be.Row(0), "stra\u00DFe \u00E9t\u00E9 \u03C3\u03BF\u03C6\u03CC\u03C2 i");

    // Narrow text is cased in ASCII only; other bytes stay as they are.
    Window ansi("caf\xE9 ok\n", 2, 20);
    ansi.wnd.SetTextCase(TextCaseUpper);
    EXPECT_EQ(ansi.Row(0), "CAF\u00E9 OK");
}

TEST(Paint, NarrowBytesShowAsWindows1252)
{
    Window w("\x80\x81\x9F\xA0\xFF\n", 2, 20);
    EXPECT_EQ(w.Row(0), "\u20AC\u0081\u0178\u00A0\u00FF");
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
