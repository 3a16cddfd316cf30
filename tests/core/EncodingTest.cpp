// Deciding a file's encoding from its byte-order mark and the request.
#include "tests/core/TestUtil.h"

using platform::kIdCancel;
using platform::kIdNo;
using platform::kIdYes;
using testutil::Utf16BE;
using testutil::Utf16LE;
using testutil::Window;

TEST(Encoding, MarkTableAndPromptOutcomes)
{
    const std::string prompt =
        "User requested loading file with encoding ANSI / ASCII but file header indicates encoding Unicode UTF 16 "
        "Little Endian.\r\nClick Yes to proceed with user requested encoding, No to proceed with file specified "
        "encoding.";
    const std::string refusal = "Error: 32bit unicode is not supported.";
    const std::string u32le("\xFF\xFE\0\0a\0\0\0", 8), u32be(std::string("\0\0\xFE\xFF\0\0\0", 7) + "a");
    const struct {
        const char* name;
        std::string bytes;
        std::int32_t requested;
        int answer;
        std::int32_t encoding;  // effective; EncodingNone when the load is refused
        std::uint32_t bom;
        std::vector<std::string> messages;  // "?": the prompt, whatever the names
    } cases[] = {
        {"no mark, auto is ANSI", "abc", EncodingAuto, kIdCancel, EncodingAnsi, 0, {}},
        {"no mark, request kept", "ab", EncodingUtf16LE, kIdCancel, EncodingUtf16LE, 0, {}},
        {"UTF-8 mark", "\xEF\xBB\xBFxyz", EncodingAuto, kIdCancel, EncodingUtf8, 3, {}},
        {"UTF-16 LE mark", Utf16LE(u"hi", true), EncodingAuto, kIdCancel, EncodingUtf16LE, 2, {}},
        {"UTF-16 BE mark", Utf16BE(u"hi", true), EncodingUtf16BE, kIdCancel, EncodingUtf16BE, 2, {}},
        {"mismatch, Yes keeps the request", Utf16LE(u"hi", true), EncodingAnsi, kIdYes, EncodingAnsi, 2, {prompt}},
        {"mismatch, No takes the mark", Utf16LE(u"hi", true), EncodingAnsi, kIdNo, EncodingUtf16LE, 2, {prompt}},
        {"mismatch, Cancel abandons", Utf16LE(u"hi", true), EncodingAnsi, kIdCancel, EncodingNone, 2, {prompt}},
        {"UTF-32 LE refused", u32le, EncodingAuto, kIdCancel, EncodingNone, 4, {refusal}},
        {"UTF-32 BE refused", u32be, EncodingAuto, kIdCancel, EncodingNone, 4, {refusal}},
        {"UTF-32 No leads to the refusal", u32le, EncodingUtf16LE, kIdNo, EncodingNone, 4, {"?", refusal}},
        {"UTF-32 Yes reads past the 4-byte mark", u32le, EncodingAnsi, kIdYes, EncodingAnsi, 4, {"?"}},
        {"exactly FF FE is UTF-16 LE with nothing", "\xFF\xFE", EncodingAuto, kIdCancel, EncodingUtf16LE, 2, {}},
        {"one byte has no mark", "\xFF", EncodingAuto, kIdCancel, EncodingAnsi, 0, {}},
        {"FF FE 00 is UTF-16 LE", std::string("\xFF\xFE\x00", 3), EncodingAuto, kIdCancel, EncodingUtf16LE, 2, {}},
        {"EF BB alone is no mark", "\xEF\xBB", EncodingAuto, kIdCancel, EncodingAnsi, 0, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        testutil::TempDir dir;
        CMemoryMappedFile file;
        ASSERT_NE(file.Open(dir.Write("f", c.bytes).c_str(), false), nullptr);
        headless::HeadlessPort port(10, 40);
        port.m_answer = c.answer;
        CFileWnd wnd(&port);
        wnd.SetWatchFile(false);
        EXPECT_EQ(wnd.LoadFile(&file, c.requested), c.encoding != EncodingNone);
        EXPECT_TRUE(c.encoding == EncodingNone || wnd.GetEncoding() == c.encoding) << wnd.GetEncoding();
        EXPECT_EQ(wnd.GetBomLength(), c.bom);
        ASSERT_EQ(port.m_messages.size(), c.messages.size());
        for (size_t i = 0; i < c.messages.size(); ++i)
            EXPECT_EQ(port.m_messages[i].rfind(c.messages[i] == "?" ? "User requested" : c.messages[i], 0), 0u);
    }
    // The prompt names the request, then the mark.
    Window w(Utf16LE(u"x", true), 5, 20, EncodingUtf16BE);
    ASSERT_EQ(w.port.m_messages.size(), 1u);
    EXPECT_EQ(w.port.m_messages[0].rfind("User requested loading file with encoding Unicode UTF 16 Big Endian but file "
                                         "header indicates encoding Unicode UTF 16 Little Endian.",
                                         0),
              0u);
}

TEST(Encoding, UnitsAreWholeAndBigEndianIsSwappedOnlyWhenItLeavesTheWindow)
{
    Window odd(std::string("\xFF\xFE"
                           "a\0b\0\n\0c\0d",
                           11));  // a mark and 4.5 units
    EXPECT_EQ(odd.wnd.CharacterCount(), 4u);
    EXPECT_EQ(odd.wnd.DataEnd(), 10) << "the odd byte is never part of the text";
    EXPECT_EQ(odd.Screen(), (std::vector<std::string>{"ab", "c"}));
    Window utf8("\xEF\xBB\xBF\xC3\xA9");
    EXPECT_EQ(utf8.wnd.CharacterCount(), 2u);
    EXPECT_EQ(utf8.Row(0), "\xC3\x83\xC2\xA9") << "byte for byte, as Windows-1252 characters";

    Window be(Utf16BE(u"Gr\u00FC\u00DFe\r\nzwei", true));
    EXPECT_EQ(be.wnd.GetCRUnit(), 0x0D00);
    EXPECT_EQ(be.wnd.GetLFUnit(), 0x0A00);
    EXPECT_EQ(be.Screen(), (std::vector<std::string>{"Gr\u00FC\u00DFe", "zwei"}));
    TextPos p = be.wnd.DataStart();
    std::u16string line;
    be.wnd.ReadLine(p, nullptr, &line);
    EXPECT_EQ(line, u"Gr\u00FC\u00DFe");
    EXPECT_EQ(be.Index(p), 7);
}
