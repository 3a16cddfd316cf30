// Copy of the screen and the mouse, which only clears the highlight.
#include "tests/core/TestUtil.h"

using testutil::Utf16LE;
using testutil::Window;

TEST(Clipboard, CopiesTheLinesOnScreenAsTheFileHoldsThem)
{
    std::string crlf;
    for (int i = 1; i <= 30; ++i)
        crlf += "Line\t" + std::to_string(i) + "\r\n";
    const std::string nul(2, '\0');
    const struct {
        const char* name;
        std::string bytes;
        int rows;
        std::int64_t top;  // a character index; -1: the top of the text
        unsigned format;
        std::string clip;
        platform::CodePage codePage = platform::CodePage::Windows1252;
    } cases[] = {
        {"ten rows copy eleven lines, tabs and CR LF as they are", crlf, 10, -1, platform::kCfText,
         crlf.substr(0, crlf.find("Line\t12")) + nul},
        {"up to the last byte of a file without a final break", "a\nb\nlast without break", 10, -1, platform::kCfText,
         "a\nb\nlast without break" + nul},
        {"a top inside a line starts there", "first line\nsecond\nthird\n", 1, 6, platform::kCfText,
         "line\nsecond\n" + nul},
        {"a top at the end copies nothing", "first line\nsecond\n", 1, 18, platform::kCfText, nul},
        {"UTF-16 BE as host-order Unicode", testutil::Utf16BE(u"\u00C4rger\r\nz", true), 5, -1,
         platform::kCfUnicodeText, Utf16LE(u"\u00C4rger\r\nz") + nul},
        {"UTF-16 LE as it is", Utf16LE(u"ab\n", true), 5, -1, platform::kCfUnicodeText, Utf16LE(u"ab\n") + nul},
        {"UTF-8 byte for byte as ANSI text under Windows-1252", "\xEF\xBB\xBF\xC3\xA9t\xC3\xA9", 5, -1,
         platform::kCfText, "\xC3\xA9t\xC3\xA9" + nul},
        {"under UTF-8 as drawn: decoded, other bytes as their Windows-1252 characters, breaks and tabs as they are",
         "\xEF\xBB\xBF\xC3\xA9t\xC3\xA9\t\xE6\x97\xA5\r\n\xE9\x80\xE6\x97", 5, -1, platform::kCfUnicodeText,
         Utf16LE(u"\u00E9t\u00E9\t\u65E5\r\n\u00E9\u20AC\u00E6\u2014") + nul, platform::CodePage::Utf8},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Window w(c.bytes, c.rows, 40);
        w.wnd.SetCodePage(c.codePage);
        w.wnd.OnKeyDown(kVkHome);
        if (c.top >= 0)
            CFileWndTestAccess::SetTop(w.wnd, w.At(c.top));
        w.wnd.SetTextCase(TextCaseUpper);  // display only, as the offset
        CFileWndTestAccess::SetHorzOffset(w.wnd, 3);
        w.wnd.CopyScreenToClipboard();
        EXPECT_EQ(w.port.m_clipFormat, c.format);
        EXPECT_EQ(std::string(w.port.m_clipboard.begin(), w.port.m_clipboard.end()), c.clip);
        EXPECT_TRUE(w.port.m_messages.empty());
    }
}

TEST(Clipboard, FailureMessages)
{
    Window w("text\n", 5, 20);
    w.port.m_clipboardOpens = false;
    w.wnd.CopyScreenToClipboard();
    EXPECT_EQ(w.port.m_messages, std::vector<std::string>{"Unable to open clipboard"});
    EXPECT_EQ(w.port.m_clipFormat, 0u);
    w.port.m_clipboardOpens = true;
    w.port.m_clipboardCloses = false;
    w.wnd.CopyScreenToClipboard();
    EXPECT_EQ(w.port.m_messages.back(), "Unable to close clipboard");
    EXPECT_EQ(std::string(w.port.m_clipboard.begin(), w.port.m_clipboard.end()), std::string("text\n\0\0", 7))
        << "the data did arrive";
}

TEST(Mouse, ClickClearsTheWholeHighlightAndKeepsTheSearch)
{
    Window w("abc def\n", 3, 20);
    ASSERT_EQ(w.wnd.FindFirst(false, u"def"), 0);
    w.wnd.OnLButtonDown();
    // While the button is down nothing may be highlighted (a range with only
    // its end set would cover everything before it).
    EXPECT_EQ(w.Row(0), "abc def");
    w.wnd.OnMouseMove();
    w.wnd.OnLButtonUp();
    EXPECT_FALSE(w.port.HasCapture());
    EXPECT_EQ(w.Row(0), "abc def");
    EXPECT_EQ(w.wnd.GetLastMatch(), w.At(4));
    ASSERT_TRUE(w.wnd.LoadFile(nullptr, EncodingAuto));
    EXPECT_EQ(w.Row(0), "abc def") << "a reload keeps it cleared";
}
