// The rows of a filter's listing of narrow text, read in windows, against the
// window's own reading of each line, for every window size down to one byte,
// with lines, tabs, pairs and escaped bytes cut at the windows' edges.
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
        const std::string& bytes = t.text;
        StringReader source(&bytes);
        for (const auto* starts : {&all, &everyOther, &last}) {
            const std::string expected = Reference(wnd, *starts);
            for (const std::size_t window : windows) {
                headless::CNarrowRows rows(source, wnd.DataEnd(), Shown, window);
                std::string got;
                rows.AppendListing(got, starts->data(), starts->size());
                EXPECT_EQ(got, expected) << t.name << ", window " << window << ", " << starts->size() << " lines";
            }
        }
    }
}

// Rows held by the caller (a filter's chunk) are taken from there; a line that
// goes on past what is held is read on from the source. The source here reads
// the text in upper case, so every row tells where it was read.
TEST(NarrowRows, HeldBytesServeTheirLinesAndTheRestIsRead)
{
    const std::string text = "one\r\ntwo\tthree\r\n" + LongLine() + "\r\nlast line\n";
    std::string upper = text;
    for (char& c : upper)
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    const std::vector<std::int64_t> starts = LineStarts(text);
    auto row = [&](const std::string& bytes, std::int64_t start) {
        StringReader source(&bytes);
        headless::CNarrowRows rows(source, static_cast<std::int64_t>(bytes.size()), Shown);
        std::string out;
        rows.AppendRow(out, start, start + 1);
        return out;
    };
    const struct {
        std::size_t from, to;  // the bytes held
    } holds[] = {{0, text.size()}, {0, 20}, {5, 9}, {16, text.size()}, {16, 1000}, {5, 5}};
    for (const auto& h : holds) {
        StringReader source(&upper);
        headless::CNarrowRows rows(source, static_cast<std::int64_t>(text.size()), Shown, 64);
        rows.Hold(reinterpret_cast<const std::uint8_t*>(text.data()) + h.from, static_cast<std::int64_t>(h.from),
                  h.to - h.from);
        for (std::size_t k = 0; k < starts.size(); ++k) {
            const auto b = static_cast<std::size_t>(starts[k]);
            const std::size_t e = k + 1 < starts.size() ? static_cast<std::size_t>(starts[k + 1]) : text.size();
            if (b < h.from)
                continue;
            std::string got;
            rows.AppendRow(got, starts[k], starts[k] + headless::CNarrowRows::kSpare);
            if (e <= h.to) {
                EXPECT_EQ(got, row(text, starts[k])) << "held " << h.from << "-" << h.to << ", line " << k;
            } else if (b >= h.to) {
                EXPECT_EQ(got, row(upper, starts[k])) << "held " << h.from << "-" << h.to << ", line " << k;
            }
        }
    }
}

}  // namespace
