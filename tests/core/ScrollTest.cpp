// Moving the view by scroll bars, keys and wheels.
#include "tests/core/TestUtil.h"

#include <functional>

using testutil::Window;

namespace {

// Keys: D(own), U(p), N(ext page), P(rior page), S(pace), H(ome), E(nd),
// w/W the wheel down/up, x a key the window does not know.
void Press(CFileWnd& wnd, char key)
{
    switch (key) {
    case 'w': wnd.OnMouseWheel(-120); break;
    case 'W': wnd.OnMouseWheel(1); break;  // a quarter whatever the delta
    default: {
        const std::string keys = "DUNPSHEx";
        const unsigned codes[] = {kVkDown, kVkUp, kVkNext, kVkPrior, kVkSpace, kVkHome, kVkEnd, 0x41};
        wnd.OnKeyDown(codes[keys.find(key)]);
    }
    }
}

}  // namespace

TEST(Scroll, KeysAndWheelsMoveTheTopByLinesPagesAndQuarters)
{
    const struct {
        const char* name;
        int rows;
        std::string keys;
        int top;  // the number of the line on top afterwards
    } cases[] = {
        {"a page is the window less two lines", 20, "HN", 19},
        {"space pages too; prior goes back", 20, "HNSP", 19},
        {"a wheel notch is a quarter page, whatever its delta", 20, "Hww", 9},
        {"and up", 20, "HwwW", 5},
        {"a line", 20, "HDDU", 2},
        {"the end shows the last screenful", 20, "E", 181},
        {"nothing moves past it", 20, "ENwD", 181},
        {"other keys do nothing", 20, "Hx", 1},
        {"a window of two lines pages nothing", 2, "HNw", 1},
        {"but steps by lines", 2, "HD", 2},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Window w(testutil::Lines(1, 201), c.rows, 40);
        for (char k : c.keys)
            Press(w.wnd, k);
        EXPECT_EQ(w.Screen().front(), "line " + std::to_string(c.top));
        EXPECT_EQ(w.port.m_vert.pos, w.wnd.GetTop() - w.wnd.DataStart()) << "the bar follows";
    }
}

TEST(Scroll, LinesAndPagesScrollTheImageJumpsRepaint)
{
    Window w(testutil::Lines(1, 101), 10, 40);
    w.wnd.OnKeyDown(kVkHome);
    const int full = w.port.m_fullInvalidations;
    w.port.m_invalid.clear();
    w.wnd.OnKeyDown(kVkDown);
    EXPECT_EQ(w.port.m_scrolls, 1);
    EXPECT_EQ(w.port.m_fullInvalidations, full);
    ASSERT_EQ(w.port.m_invalid.size(), 1u);
    EXPECT_EQ(w.port.m_invalid[0].top, 9 * 16) << "only the uncovered row";
    w.wnd.OnKeyDown(kVkNext);
    EXPECT_EQ(w.port.m_scrolls, 2);
    w.wnd.OnKeyDown(kVkEnd);
    EXPECT_EQ(w.port.m_fullInvalidations, full + 1);
}

TEST(Scroll, ThumbPlacesTheTopAtLineStartsWithinTheBarsReach)
{
    const std::string text = testutil::Lines(1, 101);
    const std::int64_t line50 = static_cast<std::int64_t>(text.find("line 50\n"));
    const struct {
        std::int64_t track;
        const char* row0;
    } rows[] = {
        {0, "line 1"}, {line50 + 3, "line 50"}, {-5, "line 1"}, {static_cast<std::int64_t>(text.size()), "line 91"}};
    Window w(text, 10, 40);
    for (const auto& r : rows) {
        w.port.m_trackPos = r.track;
        w.wnd.OnVScroll(r.track % 2 ? kSbThumbPosition : kSbThumbTrack);
        EXPECT_EQ(w.Screen().front(), r.row0) << r.track;
    }
    // UTF-16: an odd tracking position is lowered to the even byte before it.
    std::u16string wide;
    for (char16_t c = u'A'; c < u'Z'; ++c)
        wide += u"wide " + std::u16string(1, c) + u"\r\n";
    Window u(testutil::Utf16LE(wide, true), 5, 20);
    u.port.m_trackPos = 8 * 2 * 2 + 11;  // an odd byte inside the third line
    u.wnd.OnVScroll(kSbThumbTrack);
    EXPECT_EQ(u.Screen().front(), "wide C");
}

TEST(Scroll, HorizontalMovesAndLimits)
{
    Window fits("short\nlines\n", 5, 40);
    fits.wnd.OnKeyDown(kVkRight);
    EXPECT_EQ(fits.wnd.GetHorzOffset(), 0) << "everything fits: the offset stays 0";

    Window w(std::string(100, 'x') + "\n" + std::string(20, 'y') + "\n", 5, 40);
    w.wnd.OnKeyDown(kVkHome);
    w.port.Paint(w.wnd, true);  // meets the long line
    EXPECT_EQ(w.wnd.GetLongestLine(), 101);
    const struct {
        const char* name;
        std::function<void()> act;
        std::int64_t offset;
    } steps[] = {
        {"right: a quarter of 40 columns", [&] { w.wnd.OnKeyDown(kVkRight); }, 10},
        {"a tilt to the right moves right", [&] { w.wnd.OnMouseHWheel(120); }, 20},
        {"and to the left left", [&] { w.wnd.OnMouseHWheel(-120); }, 10},
        {"no tilt, no move", [&] { w.wnd.OnMouseHWheel(0); }, 10},
        {"the right end is the longest line less the columns", [&] { w.wnd.OnHScroll(kSbRight); }, 61},
        {"a page left", [&] { w.wnd.OnHScroll(kSbPageLeft); }, 21},
        {"the left end", [&] { w.wnd.OnHScroll(kSbLeft); }, 0},
        {"the thumb is limited too", [&] { w.wnd.OnHScroll(kSbThumbTrack, 1000); }, 61},
        {"widening keeps the offset",
         [&] {
             w.port.Resize(5, 90);
             w.wnd.OnSize(90 * 8, 5 * 16);
         },
         61},
        {"the next move limits it", [&] { w.wnd.OnHScroll(kSbLineLeft); }, 11},
    };
    for (const auto& s : steps) {
        s.act();
        EXPECT_EQ(w.wnd.GetHorzOffset(), s.offset) << s.name;
        EXPECT_EQ(w.port.m_horz.pos, s.offset) << s.name;
    }
    EXPECT_EQ(w.port.m_scrolls, 5) << "moves narrower than the window scroll the image";
}

// A reload measures the lines on screen afresh: a window scrolled right keeps
// its offset while they reach it, and a file that shrank to shorter lines
// brings it within them instead of leaving the window empty.
TEST(Scroll, ReloadKeepsTheHorizontalOffsetWithinTheNewRange)
{
    const std::string shortLines = testutil::Lines(0, 3, "short ");
    Window w(shortLines + std::string(5000, 'x') + "\n", 5, 40);
    w.Screen();  // painted: the long line is met
    w.wnd.OnHScroll(kSbRight);
    ASSERT_EQ(w.wnd.GetHorzOffset(), 5001 - 40);
    w.dir.Append("text.log", "appended\n");
    ASSERT_TRUE(w.wnd.LoadFile(nullptr, EncodingAuto));
    EXPECT_EQ(w.wnd.GetHorzOffset(), 5001 - 40) << "the long line is still on screen";

    w.dir.Write("text.log", shortLines + std::string(100, 'y') + "\n");
    ASSERT_TRUE(w.wnd.LoadFile(nullptr, EncodingAuto));
    EXPECT_EQ(w.wnd.GetLongestLine(), 101);
    EXPECT_EQ(w.wnd.GetHorzOffset(), 101 - 40);
    EXPECT_EQ(w.port.m_horz.pos, 101 - 40);
    EXPECT_EQ(w.Screen().back(), std::string(39, 'y')) << "the break counts as a column";
}

// Growing pulls the top back to the last screenful; shrinking keeps a window
// that shows the end at the end (and following), and one that does not where it is.
TEST(Scroll, ResizingKeepsTheEndInView)
{
    Window w("1\n2\n3\n4\n5\n6\n7\n8\n9", 4, 10);
    const auto resize = [&w](int rows) {
        w.port.Resize(rows, 10);
        w.wnd.OnSize(10 * 8, rows * 16);
    };
    resize(6);
    EXPECT_EQ(w.Row(0), "4");
    EXPECT_EQ(w.port.m_vert.max, 17);  // the bar follows
    EXPECT_EQ(w.port.m_vert.page, 17 - w.wnd.GetTop());
    EXPECT_EQ(w.port.m_vert.pos, w.wnd.GetTop());
    resize(3);
    EXPECT_EQ(w.Row(0), "7");
    EXPECT_EQ(w.wnd.GetTop(), w.wnd.LastPageTop());
    w.dir.Append("text.log", "\n10");
    ASSERT_TRUE(w.wnd.LoadFile(nullptr, EncodingAuto));
    EXPECT_EQ(w.Row(2), "10");
    w.wnd.OnKeyDown(kVkHome);
    resize(2);
    EXPECT_EQ(w.Row(0), "1");
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
    for (const char key : std::string("DNSw")) {
        SCOPED_TRACE(key);
        Window w("x\n\r\n1\n2\n3\n4\n5", 6, 20);
        ASSERT_EQ(w.Index(w.wnd.LastPageTop()), 2);
        w.wnd.OnKeyDown(kVkHome);
        Press(w.wnd, key);
        EXPECT_EQ(w.wnd.GetTop(), w.wnd.LastPageTop());
        w.dir.Append("text.log", "\n6");
        ASSERT_TRUE(w.wnd.LoadFile(nullptr, EncodingAuto));
        EXPECT_EQ(w.Row(5), "6");
    }
}
