// Deciding a file's encoding from its byte-order mark and the request.
#include "TestUtil.h"

using platform::kIdCancel;
using platform::kIdNo;
using platform::kIdYes;

using testutil::Utf16BE;
using testutil::Utf16LE;
using testutil::Window;

namespace {

struct MarkCase {
    const char* name;
    std::string bytes;
    std::int32_t requested;
    int answer;
    std::int32_t encoding;  // effective; EncodingNone when the load is refused
    std::uint32_t bom;
    std::vector<std::string> messages;
};

const std::string kPrompt16LE =
    "User requested loading file with encoding ANSI / ASCII but file header indicates encoding Unicode UTF 16 "
    "Little Endian.\r\nClick Yes to proceed with user requested encoding, No to proceed with file specified encoding.";
const std::string kRefusal = "Error: 32bit unicode is not supported.";

}  // namespace

TEST(Encoding, NamesAndUnitSizes)
{
    EXPECT_STREQ(EncodingName(EncodingAuto), "Unknown");
    EXPECT_STREQ(EncodingName(EncodingAnsi), "ANSI / ASCII");
    EXPECT_STREQ(EncodingName(EncodingUtf16LE), "Unicode UTF 16 Little Endian");
    EXPECT_STREQ(EncodingName(EncodingUtf16BE), "Unicode UTF 16 Big Endian");
    EXPECT_STREQ(EncodingName(EncodingUtf32LE), "Unicode UTF 32 Little Endian");
    EXPECT_STREQ(EncodingName(EncodingUtf32BE), "Unicode UTF 32 Big Endian");
    EXPECT_STREQ(EncodingName(EncodingUtf8), "Unicode UTF 8");
    EXPECT_STREQ(EncodingName(EncodingNone), "Unknown");
    EXPECT_STREQ(EncodingName(42), "Unknown");
    EXPECT_EQ(EncodingUnitSize(EncodingUtf8), 1u);
    EXPECT_EQ(EncodingUnitSize(EncodingUtf16BE), 2u);
    EXPECT_EQ(EncodingUnitSize(EncodingUtf32LE), 4u);
    EXPECT_EQ(EncodingUnitSize(-1), 0u);
}

TEST(Encoding, MarkTableAndPromptOutcomes)
{
    const std::string u32le("\xFF\xFE\x00\x00" "a\0\0\0", 8);
    const std::string u32be("\x00\x00\xFE\xFF" "\0\0\0a", 8);
    const MarkCase cases[] = {
        {"no mark, auto is ANSI", "abc", EncodingAuto, kIdCancel, EncodingAnsi, 0, {}},
        {"no mark, request kept", "ab", EncodingUtf16LE, kIdCancel, EncodingUtf16LE, 0, {}},
        {"UTF-8 mark", "\xEF\xBB\xBFxyz", EncodingAuto, kIdCancel, EncodingUtf8, 3, {}},
        {"UTF-16 LE mark", Utf16LE(u"hi", true), EncodingAuto, kIdCancel, EncodingUtf16LE, 2, {}},
        {"UTF-16 BE mark", Utf16BE(u"hi", true), EncodingUtf16BE, kIdCancel, EncodingUtf16BE, 2, {}},
        {"mark agrees with request", Utf16LE(u"hi", true), EncodingUtf16LE, kIdCancel, EncodingUtf16LE, 2, {}},
        {"mismatch, Yes keeps the request", Utf16LE(u"hi", true), EncodingAnsi, kIdYes, EncodingAnsi, 2, {kPrompt16LE}},
        {"mismatch, No takes the mark", Utf16LE(u"hi", true), EncodingAnsi, kIdNo, EncodingUtf16LE, 2, {kPrompt16LE}},
        {"mismatch, Cancel abandons silently", Utf16LE(u"hi", true), EncodingAnsi, kIdCancel, EncodingNone, 2,
         {kPrompt16LE}},
        {"UTF-32 LE refused", u32le, EncodingAuto, kIdCancel, EncodingNone, 4, {kRefusal}},
        {"UTF-32 BE refused", u32be, EncodingAuto, kIdCancel, EncodingNone, 4, {kRefusal}},
        {"UTF-32 No leads to the refusal", u32le, EncodingUtf16LE, kIdNo, EncodingNone, 4, {"", kRefusal}},
        {"UTF-32 Yes reads past the 4-byte mark", u32le, EncodingAnsi, kIdYes, EncodingAnsi, 4, {""}},
        {"exactly FF FE is UTF-16 LE with nothing", "\xFF\xFE", EncodingAuto, kIdCancel, EncodingUtf16LE, 2, {}},
        {"one byte has no mark", "\xFF", EncodingAuto, kIdCancel, EncodingAnsi, 0, {}},
        {"FF FE 00 is UTF-16 LE (the 4-byte mark needs all 4)", std::string("\xFF\xFE\x00", 3), EncodingAuto,
         kIdCancel, EncodingUtf16LE, 2, {}},
        {"EF BB alone is no mark", "\xEF\xBB", EncodingAuto, kIdCancel, EncodingAnsi, 0, {}},
    };
    for (const MarkCase& c : cases) {
        SCOPED_TRACE(c.name);
        testutil::TempDir dir;
        const std::string path = dir.Write("f", c.bytes);
        CMemoryMappedFile file;
        ASSERT_NE(file.Open(path.c_str(), false), nullptr);
        headless::HeadlessPort port(10, 40);
        port.m_answer = c.answer;
        CFileWnd wnd(&port);
        wnd.SetWatchFile(false);
        const bool loaded = wnd.LoadFile(&file, c.requested);
        EXPECT_EQ(loaded, c.encoding != EncodingNone);
        if (loaded) {
            EXPECT_EQ(wnd.GetEncoding(), c.encoding);
        }
        EXPECT_EQ(wnd.GetBomLength(), c.bom);
        ASSERT_EQ(port.m_messages.size(), c.messages.size());
        for (size_t i = 0; i < c.messages.size(); ++i)
            if (!c.messages[i].empty()) {
                EXPECT_EQ(port.m_messages[i], c.messages[i]);
            }
    }
}

TEST(Encoding, PromptNamesRequestThenMark)
{
    Window w(Utf16LE(u"x", true), 5, 20, EncodingUtf16BE);
    ASSERT_EQ(w.port.m_messages.size(), 1u);
    EXPECT_EQ(w.port.m_messages[0].rfind(
                  "User requested loading file with encoding Unicode UTF 16 Big Endian but file header indicates "
                  "encoding Unicode UTF 16 Little Endian.",
                  0),
              0u);
    EXPECT_FALSE(w.loaded);
}

TEST(Encoding, CharacterCountDropsOddBytesAndDataEndStaysOnGrid)
{
    // 11 bytes: a mark and 4.5 units.
    Window w(std::string("\xFF\xFE" "a\0b\0\n\0c\0d", 11));
    ASSERT_TRUE(w.loaded);
    EXPECT_EQ(w.wnd.CharacterCount(), 4u);
    EXPECT_EQ(w.wnd.DataStart(), 2);
    EXPECT_EQ(w.wnd.DataEnd(), 10);  // the odd byte is never part of the text
    EXPECT_EQ(w.Row(0), "ab");
    EXPECT_EQ(w.Row(1), "c");

    Window ansi("abc");
    EXPECT_EQ(ansi.wnd.CharacterCount(), 3u);
    Window utf8("\xEF\xBB\xBF\xC3\xA9");
    EXPECT_EQ(utf8.wnd.CharacterCount(), 2u);
    // Shown byte for byte as Windows-1252 characters.
    EXPECT_EQ(utf8.Row(0), "\xC3\x83\xC2\xA9");
}

TEST(Encoding, BigEndianTextIsSwappedOnlyWhenItLeavesTheWindow)
{
    Window be(Utf16BE(u"Gr\u00FC\u00DFe\r\nzwei", true));
    ASSERT_TRUE(be.loaded);
    EXPECT_EQ(be.wnd.GetCRUnit(), 0x0D00);
    EXPECT_EQ(be.wnd.GetLFUnit(), 0x0A00);
    EXPECT_EQ(be.Row(0), "Gr\u00FC\u00DFe");
    EXPECT_EQ(be.Row(1), "zwei");
    TextPos p = be.wnd.DataStart();
    std::u16string line;
    be.wnd.ReadLine(p, nullptr, &line);
    EXPECT_EQ(line, u"Gr\u00FC\u00DFe");
    EXPECT_EQ(be.Index(p), 7);
}
