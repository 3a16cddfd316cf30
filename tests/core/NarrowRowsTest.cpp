// The rows of a filter's listing of narrow text, read in windows or held by
// the caller, against the window's own reading of each line, for every window
// size down to one byte, with lines, tabs, pairs and escaped bytes cut at the
// windows' edges.
#include "tests/core/TestUtil.h"
#include "tools/headless/NarrowRows.h"

#include <gtest/gtest.h>

namespace {

using testutil::StringReader;

// Any escape will do, as long as the rows and the reference use the same.
void Shown(std::string& out, std::uint8_t b)
{
    char buf[8];
    std::snprintf(buf, sizeof buf, "<%02X>", b);
    out += buf;
}

// Line starts as the line model reads them: after every break, a CR LF or LF CR pair being one.
std::vector<std::int64_t> LineStarts(const std::string& s)
{
    std::vector<std::int64_t> starts{0};
    for (std::size_t i = 0; i < s.size();) {
        if (s[i] != '\r' && s[i] != '\n') {
            ++i;
            continue;
        }
        i += i + 1 < s.size() && (s[i + 1] == '\r' || s[i + 1] == '\n') && s[i + 1] != s[i] ? 2 : 1;
        if (i < s.size())
            starts.push_back(static_cast<std::int64_t>(i));
    }
    return starts;
}

// The listing as the window reads the same lines.
std::string Reference(CFileWnd& wnd, const std::vector<std::int64_t>& starts)
{
    std::string out;
    for (const std::int64_t start : starts) {
        std::string narrow;
        std::u16string wide;
        TextPos p = start;
        wnd.ReadLine(p, &narrow, &wide);
        out += std::to_string(start) + "\t|";
        for (const char c : narrow) {
            const auto b = static_cast<std::uint8_t>(c);
            if (b >= 0x20 && b < 0x7F && b != '\\')
                out += c;
            else
                Shown(out, b);
        }
        out += "|\n";
    }
    return out;
}

std::string LongLine()
{
    std::string s;
    for (int i = 0; i < 3000; ++i)
        s += i % 97 == 0 ? '\t' : static_cast<char>('a' + i % 26);
    return s;
}

TEST(NarrowRows, ListingsAgreeWithTheWindowForEveryWindowSize)
{
    const struct {
        const char* name;
        std::string text;
    } texts[] = {
        {"CR LF lines", "first line\r\nsecond\r\nthird\r\n"},
        {"tabs at every column", "\tx\r\na\tb\r\nab\tc\tdd\t\te\r\nabcdefg\th\r\nabcdefgh\ti\n"},
        {"lone CR, LF CR and LF LF", "one\rtwo\n\rthree\n\nfour"},
        {"backslash, controls and bytes above ASCII", "x\x01y\\z\x7F\x80\x81\x9F\xAB\xBB\xE9\xFF end\r\n\x1B[0m\r\n"},
        {"a NUL, where the window's text ends", std::string("ok line\r\nx\0y\r\nafter\r\n", 21)},
        {"a long line among short ones", "short\r\n" + LongLine() + "\r\nafter\r\n"},
        {"empty lines", "\n\n\r\n\r\n\n\rx"},
        {"no break at the end", "alpha\r\nbeta"},
    };
    const std::size_t windows[] = {1, 2, 5, 16, 17, 600, headless::CNarrowRows::kWindow};
    for (const auto& t : texts) {
        testutil::TempDir dir;
        CMemoryMappedFile file;
        headless::HeadlessPort port(24, 80);
        CFileWnd wnd(&port);
        wnd.SetWatchFile(false);
        wnd.SetCodePage(platform::CodePage::Windows1252);
        ASSERT_TRUE(file.Open(dir.Write("text.log", t.text).c_str(), false));
        ASSERT_TRUE(wnd.LoadFile(&file, EncodingAnsi));
        ASSERT_EQ(wnd.DataStart(), 0);
        std::vector<std::int64_t> all = LineStarts(t.text), everyOther, last{all.back()};
        for (std::size_t k = 0; k < all.size(); k += 2)
            everyOther.push_back(all[k]);
        // Held bytes serve their lines unread: the source reads another text.
        const std::string& bytes = t.text;
        const std::string other(bytes.size(), 'Z');
        StringReader source(&bytes), otherSource(&other);
        for (const auto* starts : {&all, &everyOther, &last}) {
            const std::string expected = Reference(wnd, *starts);
            for (const std::size_t window : windows) {
                for (const bool held : {false, true}) {
                    headless::CNarrowRows rows(held ? otherSource : source, wnd.DataEnd(), Shown, window);
                    if (held)
                        rows.Hold(reinterpret_cast<const std::uint8_t*>(bytes.data()), 0, bytes.size());
                    std::string got;
                    rows.AppendListing(got, starts->data(), starts->size());
                    EXPECT_EQ(got, expected)
                        << t.name << ", window " << window << ", " << starts->size() << " lines, held " << held;
                }
            }
        }
    }
}

}  // namespace
