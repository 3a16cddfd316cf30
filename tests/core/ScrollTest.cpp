// Moving the view by scroll bars, keys and wheels.
#include "TestUtil.h"

using testutil::Utf16LE;
using testutil::Window;

namespace {

std::string Numbered(int lines)
{
    std::string text;
    for (int i = 1; i <= lines; ++i)
        text += "line " + std::to_string(i) + "\n";
    return text;
}

}  // namespace

TEST(Scroll, PagesKeysAndWheelsIn20LineWindow)
{
    Window w(Numbered(200), 20, 40);
    w.wnd.OnKeyDown(kVkHome);
    EXPECT_EQ(w.Row(0), "line 1");
    w.wnd.OnKeyDown(kVkNext);  // 18 lines: two stay in view
    EXPECT_EQ(w.Row(0), "line 19");
    w.wnd.OnKeyDown(kVkSpace);
    EXPECT_EQ(w.Row(0), "line 37");
    w.wnd.OnKeyDown(kVkPrior);
    EXPECT_EQ(w.Row(0), "line 19");
    EXPECT_FALSE(w.wnd.OnMouseWheel(-120));  // a quarter of 18: 4 lines
    EXPECT_EQ(w.Row(0), "line 23");
    w.wnd.OnMouseWheel(120);
    EXPECT_EQ(w.Row(0), "line 19");
    w.wnd.OnMouseWheel(-1);  // one quarter per message, whatever the delta
    EXPECT_EQ(w.Row(0), "line 23");
    w.wnd.OnKeyDown(kVkDown);
    EXPECT_EQ(w.Row(0), "line 24");
    w.wnd.OnKeyDown(kVkUp);
    EXPECT_EQ(w.Row(0), "line 23");
    w.wnd.OnKeyDown(kVkEnd);
    EXPECT_EQ(w.Row(19), "line 200");
    w.wnd.OnKeyDown(kVkNext);  // at the end: nothing moves
    EXPECT_EQ(w.Row(19), "line 200");
    w.wnd.OnKeyDown(0x41);  // other keys do nothing
    EXPECT_EQ(w.Row(19), "line 200");
    EXPECT_EQ(w.port.m_vert.pos, w.wnd.GetTop() - w.wnd.DataStart());
}

TEST(Scroll, LineAndPageMovesScrollTheImageJumpsRepaint)
{
    Window w(Numbered(100), 10, 40);
    w.wnd.OnKeyDown(kVkHome);
    const int full = w.port.m_fullInvalidations;
    w.port.m_invalid.clear();
    w.wnd.OnKeyDown(kVkDown);
    EXPECT_EQ(w.port.m_scrolls, 1);
    EXPECT_EQ(w.port.m_fullInvalidations, full);
    ASSERT_EQ(w.port.m_invalid.size(), 1u);
    EXPECT_EQ(w.port.m_invalid[0].top, 9 * 16);  // only the uncovered row
    w.wnd.OnKeyDown(kVkNext);
    EXPECT_EQ(w.port.m_scrolls, 2);
    w.wnd.OnKeyDown(kVkEnd);
    EXPECT_EQ(w.port.m_fullInvalidations, full + 1);
    w.port.Paint(w.wnd);
    EXPECT_EQ(w.port.RowText(9), U"line 100");
}

TEST(Scroll, ShortWindowsPageNothing)
{
    Window w(Numbered(50), 2, 40);
    w.wnd.OnKeyDown(kVkHome);
    w.wnd.OnKeyDown(kVkNext);
    w.wnd.OnMouseWheel(-120);
    EXPECT_EQ(w.Row(0), "line 1");
    w.wnd.OnKeyDown(kVkDown);
    EXPECT_EQ(w.Row(0), "line 2");
}

TEST(Scroll, ThumbPlacesTopAtLineStarts)
{
    const std::string text = Numbered(100);
    Window w(text, 10, 40);
    w.port.m_trackPos = 0;
    w.wnd.OnVScroll(kSbThumbTrack);
    EXPECT_EQ(w.wnd.GetTop(), w.wnd.DataStart());
    const std::int64_t line50 = static_cast<std::int64_t>(text.find("line 50\n"));
    w.port.m_trackPos = line50 + 3;  // the middle of a line
    w.wnd.OnVScroll(kSbThumbTrack);
    EXPECT_EQ(w.Row(0), "line 50");
    w.port.m_trackPos = static_cast<std::int64_t>(text.size());  // beyond the reach of the bar
    w.wnd.OnVScroll(kSbThumbPosition);
    EXPECT_EQ(w.wnd.GetTop(), w.wnd.LastPageTop());
    w.port.m_trackPos = -5;
    w.wnd.OnVScroll(kSbThumbTrack);
    EXPECT_EQ(w.wnd.GetTop(), w.wnd.DataStart());

    // UTF-16: an odd tracking position is lowered to the even byte before it.
    std::u16string wide;
    for (int i = 0; i < 40; ++i)
        wide += u"wide " + std::u16string(1, static_cast<char16_t>(u'A' + i % 26)) + u"\r\n";
    Window u(Utf16LE(wide, true), 5, 20);
    u.port.m_trackPos = 8 * 2 * 2 + 11;  // an odd byte inside the third line
    u.wnd.OnVScroll(kSbThumbTrack);
    EXPECT_EQ((u.wnd.GetTop() - u.wnd.DataStart()) % 2, 0);
    EXPECT_EQ(u.Row(0), "wide C");
}

TEST(Scroll, HorizontalMovesAndLimits)
{
    Window fits("short\nlines\n", 5, 40);
    fits.wnd.OnKeyDown(kVkRight);  // everything fits: the offset stays 0
    EXPECT_EQ(fits.wnd.GetHorzOffset(), 0);

    Window w(std::string(100, 'x') + "\n" + std::string(20, 'y') + "\n", 5, 40);
    w.wnd.OnKeyDown(kVkHome);
    w.port.Paint(w.wnd, true);  // meets the long line
    EXPECT_EQ(w.wnd.GetLongestLine(), 101);
    w.wnd.OnKeyDown(kVkRight);
    EXPECT_EQ(w.wnd.GetHorzOffset(), 10);  // a quarter of 40 columns
    EXPECT_EQ(w.port.m_scrolls, 1);      // less than a window width: scrolled
    w.wnd.OnMouseHWheel(120);            // a tilt to the right moves right
    EXPECT_EQ(w.wnd.GetHorzOffset(), 20);
    w.wnd.OnMouseHWheel(-120);
    EXPECT_EQ(w.wnd.GetHorzOffset(), 10);
    w.wnd.OnMouseHWheel(0);
    EXPECT_EQ(w.wnd.GetHorzOffset(), 10);
    w.wnd.OnHScroll(kSbRight);
    EXPECT_EQ(w.wnd.GetHorzOffset(), 61);  // longest - columns
    w.wnd.OnHScroll(kSbPageLeft);
    EXPECT_EQ(w.wnd.GetHorzOffset(), 21);
    w.wnd.OnHScroll(kSbLeft);
    EXPECT_EQ(w.wnd.GetHorzOffset(), 0);
    EXPECT_EQ(w.port.m_horz.pos, 0);
    w.wnd.OnHScroll(kSbThumbTrack, 1000);
    EXPECT_EQ(w.wnd.GetHorzOffset(), 61);

    // Widening keeps the offset; the next move limits it.
    w.port.Resize(5, 90);
    w.wnd.OnSize(90 * 8, 5 * 16);
    EXPECT_EQ(w.wnd.GetHorzOffset(), 61);
    w.wnd.OnHScroll(kSbLineLeft);
    EXPECT_EQ(w.wnd.GetHorzOffset(), 11);
}

TEST(Scroll, HandlersWithoutTextDoNothing)
{
    headless::HeadlessPort port(5, 10);
    CFileWnd w(&port);
    w.OnKeyDown(kVkEnd);
    w.OnVScroll(kSbThumbTrack);
    w.OnHScroll(kSbRight);
    w.OnMouseWheel(120);
    w.OnSize(80, 80);
    EXPECT_EQ(w.GetTop(), kNoPos);
    EXPECT_EQ(w.LastPageTop(), kNoPos);
    EXPECT_EQ(port.m_scrolls, 0);
}

// The last screenful starts between the LF and the CR of "x LF CR LF": backward
// pairing pairs CR LF, forward pairing LF CR. Whatever the step that reaches
// the end, the top stops at the last screenful, and the window follows.
TEST(Scroll, EveryForwardStepStopsAtTheLastScreenfulAndFollows)
{
    const struct {
        const char* name;
        void (*step)(CFileWnd&);
    } steps[] = {
        {"down", [](CFileWnd& w) { w.OnKeyDown(kVkDown); }},
        {"page down", [](CFileWnd& w) { w.OnKeyDown(kVkNext); }},
        {"space", [](CFileWnd& w) { w.OnKeyDown(kVkSpace); }},
        {"wheel", [](CFileWnd& w) { w.OnMouseWheel(-120); }},
    };
    for (const auto& s : steps) {
        SCOPED_TRACE(s.name);
        Window w("x\n\r\n1\n2\n3\n4\n5", 6, 20);
        ASSERT_EQ(w.Index(w.wnd.LastPageTop()), 2);
        w.wnd.OnKeyDown(kVkHome);
        s.step(w.wnd);
        EXPECT_EQ(w.wnd.GetTop(), w.wnd.LastPageTop());
        w.dir.Append("text.log", "\n6");
        ASSERT_TRUE(w.wnd.LoadFile(nullptr, EncodingAuto));
        EXPECT_EQ(w.Row(5), "6");
    }
}
