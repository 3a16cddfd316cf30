// The status bar's indicator texts for a text window (a file above 4 GiB is
// LineModelTest's), and the rule that lays the bar out again only when a text
// changes its length.
#include "tests/core/TestUtil.h"
#include "view/CommandIds.h"
#include "view/StatusIndicators.h"

using testutil::Utf16LE;
using testutil::Window;

namespace {

// The three pane texts joined by " | ".
std::string panes(CFileWnd* wnd)
{
    return StatusPaneText(cmd::PaneCurrentChar, wnd) + " | " + StatusPaneText(cmd::PaneTotalChars, wnd) + " | " +
           StatusPaneText(cmd::PaneEncoding, wnd);
}

}  // namespace

TEST(StatusIndicators, TextsOfLoadedFilesAndOfNone)
{
    struct Case {
        std::string bytes;
        int scrollLines;
        const char* texts;
    };
    const Case cases[] = {
        {Utf16LE(u"0123456789", true), 0, "Current Char: 0 | Total Chars: 10 | Unicode UTF 16 Little Endian"},
        {std::string(1000, 'a'), 0, "Current Char: 0 | Total Chars: 1000 | ANSI / ASCII"},
        {std::string("\xEF\xBB\xBF") + "caf\xC3\xA9\n", 0, "Current Char: 0 | Total Chars: 6 | Unicode UTF 8"},
        // The byte distance from the mark, in code units.
        {Utf16LE(u"ab\ncd\nef\ngh\n", true), 2, "Current Char: 6 | Total Chars: 12 | Unicode UTF 16 Little Endian"},
        // Refused (UTF-32): no text, so no figures.
        {std::string("\xFF\xFE\0\0a\0\0\0", 8), 0, " |  | "},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.texts);
        Window w(c.bytes, 2, 20);
        w.wnd.OnVScroll(kSbTop);  // a window opens on the end of its file
        for (int i = 0; i < c.scrollLines; ++i)
            w.wnd.OnVScroll(kSbLineDown);
        EXPECT_EQ(panes(&w.wnd), c.texts);
    }
    headless::HeadlessPort port(10, 40);
    CFileWnd unloaded(&port);
    EXPECT_EQ(panes(&unloaded), " |  | ");
    EXPECT_EQ(panes(nullptr), " |  | ");
}

TEST(StatusIndicators, LayoutOnlyWhenALengthChanges)
{
    CPaneTextLengths lengths;
    const std::pair<const char*, bool> currentChar[] = {
        {"", false},  // the remembered length starts at 0
        {"Current Char: 99", true},
        {"Current Char: 100", true},
        {"Current Char: 200", false},
        {"Current Char: 2\xC3\xA9"
         "0",
         false},  // characters, not bytes
    };
    for (const auto& [text, relayout] : currentChar)
        EXPECT_EQ(lengths.Update(cmd::PaneCurrentChar, text), relayout) << text;
    // Each pane remembers its own length; other ids have none.
    EXPECT_TRUE(lengths.Update(cmd::PaneEncoding, "Unicode UTF 8"));
    EXPECT_FALSE(lengths.Update(cmd::PaneCurrentChar, "Current Char: 300"));
    EXPECT_FALSE(lengths.Update(cmd::Refresh, "Refresh"));
}

// The Current Char tooltip tells the top record's time and level as the window's format reads them: the format
// found, or the one chosen; a chosen name that names no format falls back to the one found.
TEST(StatusIndicators, TopRecordByTheWindowsFormat)
{
    const std::string log = "2026-12-07 10:00:00.123 ERROR boom\n\tat a.b(C.java:1)\n";
    struct Case {
        std::string bytes, chosen;
        int scrollLines;
        const char* record;  // the tooltip's last line; empty: the tooltip has no record line
    };
    const Case cases[] = {
        {log, "", 0, "Record at the top: 2026-12-07 10:00:00.123, error"},
        {log, "", 1, "Record at the top: 2026-12-07 10:00:00.123, error"},  // a stack trace's line: its record's
        {log, "no such format", 0, "Record at the top: 2026-12-07 10:00:00.123, error"},
        {log, "klog", 0, "Record at the top: no time, no level"},  // read by a format that reads none of it
        {"plain text\nwithout stamps\n", "", 0, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.chosen + " " + std::to_string(c.scrollLines));
        Window w(c.bytes, 2, 40);
        w.wnd.OnVScroll(kSbTop);
        for (int i = 0; i < c.scrollLines; ++i)
            w.wnd.OnVScroll(kSbLineDown);
        w.wnd.SetChosenFormat(c.chosen);
        const std::string tip = TopLineTooltip(&w.wnd);
        const std::string last = tip.substr(tip.rfind('\n') + 1);
        EXPECT_EQ(last.rfind("Record", 0) == 0 ? last : std::string(), c.record) << tip;
    }
}
