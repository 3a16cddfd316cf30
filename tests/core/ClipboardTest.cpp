// Copy of the screen and the mouse, which only clears the highlight.
#include "TestUtil.h"

using testutil::Utf16BE;
using testutil::Utf16LE;
using testutil::Window;

namespace {

std::string Clip(const Window& w)
{
    const auto& b = w.port.m_clipboard;
    return std::string(b.begin(), b.end());
}

}  // namespace

TEST(Clipboard, TenLineWindowCopiesElevenLinesAsInTheFile)
{
    std::string text;
    for (int i = 1; i <= 30; ++i)
        text += "Line\t" + std::to_string(i) + "\r\n";
    Window w(text, 10, 40);
    w.wnd.SetTextCase(TextCaseUpper);  // display only
    CFileWndTestAccess::SetHorzOffset(w.wnd, 3);
    w.wnd.OnKeyDown(kVkHome);
    w.wnd.CopyScreenToClipboard();
    EXPECT_EQ(w.port.m_clipFormat, static_cast<unsigned>(platform::kCfText));
    std::string expect;
    for (int i = 1; i <= 11; ++i)
        expect += "Line\t" + std::to_string(i) + "\r\n";
    EXPECT_EQ(Clip(w), expect + std::string(2, '\0'));
    EXPECT_TRUE(w.port.m_messages.empty());
}

TEST(Clipboard, EndsAndOddPlaces)
{
    Window w("a\nb\nlast without break", 10, 40);
    w.wnd.CopyScreenToClipboard();
    EXPECT_EQ(Clip(w), std::string("a\nb\nlast without break") + std::string(2, '\0'));

    // A top inside a line starts the copy there.
    Window mid("first line\nsecond\n", 1, 40);
    CFileWndTestAccess::SetTop(mid.wnd, mid.At(6));
    mid.wnd.CopyScreenToClipboard();
    EXPECT_EQ(Clip(mid), std::string("line\nsecond\n") + std::string(2, '\0'));
    // A top at the end of the text copies nothing.
    CFileWndTestAccess::SetTop(mid.wnd, mid.wnd.DataEnd());
    mid.wnd.CopyScreenToClipboard();
    EXPECT_EQ(Clip(mid), std::string(2, '\0'));
}

TEST(Clipboard, UnicodeInHostOrder)
{
    Window be(Utf16BE(u"\u00C4rger\r\nz", true), 5, 20);
    be.wnd.CopyScreenToClipboard();
    EXPECT_EQ(be.port.m_clipFormat, static_cast<unsigned>(platform::kCfUnicodeText));
    EXPECT_EQ(Clip(be), Utf16LE(u"\u00C4rger\r\nz") + std::string(2, '\0'));
    Window le(Utf16LE(u"ab\n", true), 5, 20);
    le.wnd.CopyScreenToClipboard();
    EXPECT_EQ(Clip(le), Utf16LE(u"ab\n") + std::string(2, '\0'));
    Window utf8("\xEF\xBB\xBF\xC3\xA9t\xC3\xA9", 5, 20);
    utf8.wnd.CopyScreenToClipboard();
    EXPECT_EQ(utf8.port.m_clipFormat, static_cast<unsigned>(platform::kCfText));
    EXPECT_EQ(Clip(utf8), std::string("\xC3\xA9t\xC3\xA9") + std::string(2, '\0'));
}

TEST(Clipboard, FailureMessages)
{
    Window w("text\n", 5, 20);
    w.port.m_clipboardOpens = false;
    w.wnd.CopyScreenToClipboard();
    ASSERT_EQ(w.port.m_messages.size(), 1u);
    EXPECT_EQ(w.port.m_messages[0], "Unable to open clipboard");
    EXPECT_EQ(w.port.m_clipFormat, 0u);
    w.port.m_clipboardOpens = true;
    w.port.m_clipboardCloses = false;
    w.wnd.CopyScreenToClipboard();
    ASSERT_EQ(w.port.m_messages.size(), 2u);
    EXPECT_EQ(w.port.m_messages[1], "Unable to close clipboard");
    EXPECT_EQ(Clip(w), std::string("text\n") + std::string(2, '\0'));  // the data did arrive
}

TEST(Mouse, ClickClearsTheWholeHighlight)
{
    Window w("abc def\n", 3, 20);
    ASSERT_EQ(w.wnd.FindFirst(false, u"def"), 0);  // highlighted, and the last match
    w.wnd.OnLButtonDown();
    // While the button is down nothing may be highlighted (a range with only
    // its end set would cover everything before it).
    EXPECT_EQ(w.Row(0), "abc def");
    w.wnd.OnMouseMove();
    w.wnd.OnLButtonUp();
    EXPECT_FALSE(w.port.HasCapture());
    EXPECT_EQ(w.Row(0), "abc def");
    EXPECT_EQ(w.wnd.GetLastMatch(), w.At(4));  // the search state stays
    // A reload keeps the cleared highlight empty.
    ASSERT_TRUE(w.wnd.LoadFile(nullptr, EncodingAuto));
    EXPECT_EQ(w.Row(0), "abc def");
}
