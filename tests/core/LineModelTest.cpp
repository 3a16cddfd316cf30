// The line model: breaks and their pairing, NUL, tabs, the last screenful,
// and reloads that keep the reader's place or follow the end.
#include "TestUtil.h"

#include <fcntl.h>
#include <random>
#include <sys/stat.h>

using testutil::TempDir;
using testutil::Utf16BE;
using testutil::Utf16LE;
using testutil::Window;

namespace {

// A deliberately simple model of the rules, one unit at a time, over a
// vector of units; used as the oracle for the fast scans.
struct Reference {
    std::vector<std::uint32_t> u;
    static bool Brk(std::uint32_t c) { return c == 0x0D || c == 0x0A; }

    size_t Next(size_t p, size_t last) const
    {
        while (p < last) {
            if (u[p] == 0)
                return p;
            if (Brk(u[p])) {
                // A pair is never stepped over past the last screenful.
                if (p + 1 < u.size() && Brk(u[p + 1]) && u[p + 1] != u[p])
                    return std::min(p + 2, last);
                return p + 1;
            }
            ++p;
        }
        return p;
    }
    size_t Prev(size_t p) const
    {
        size_t q = p;
        if (p >= 2 && Brk(u[p - 1]) && Brk(u[p - 2]) && u[p - 1] != u[p - 2])
            q = p - 2;
        else if (Brk(u[p - 1]))
            q = p - 1;
        while (q > 0 && !Brk(u[q - 1]))
            --q;
        return q;
    }
    // The start of the line that holds p, as forward reading pairs breaks
    // from the first unit (NULs aside): inside a pair, the line it ends.
    size_t StartOf(size_t p) const
    {
        size_t start = 0;
        for (size_t i = 0; i < p;) {
            if (!Brk(u[i])) {
                ++i;
                continue;
            }
            i += i + 1 < u.size() && Brk(u[i + 1]) && u[i + 1] != u[i] ? 2 : 1;
            if (i <= p)
                start = i;
        }
        return start;
    }
    // Just before the first break at or after p, never before the start.
    size_t LastOf(size_t p) const
    {
        while (p < u.size() && !Brk(u[p]))
            ++p;
        return p < u.size() && p > 0 ? p - 1 : p;
    }
    std::u16string Read(size_t& p) const
    {
        std::u16string s;
        while (p < u.size()) {
            const std::uint32_t c = u[p];
            if (c == 0)
                return s;
            if (Brk(c)) {
                p += p + 1 < u.size() && Brk(u[p + 1]) && u[p + 1] != c ? 2 : 1;
                return s;
            }
            if (c == 9)
                s.append(s.size() % 8, u' ');
            else
                s.push_back(static_cast<char16_t>(c));
            ++p;
        }
        return s;
    }
};

std::string Encode(const std::vector<std::uint32_t>& units, std::int32_t enc)
{
    std::u16string s(units.begin(), units.end());
    if (enc == EncodingUtf16LE)
        return Utf16LE(s);
    if (enc == EncodingUtf16BE)
        return Utf16BE(s);
    return std::string(units.begin(), units.end());
}

}  // namespace

TEST(LineModel, PairingForwardAndBackward)
{
    // a CR CR LF b: three lines (a, an empty line, b).
    Window w("a\r\r\nb", 10, 20);
    EXPECT_EQ(w.Row(0), "a");
    EXPECT_EQ(w.Row(1), " ");
    EXPECT_EQ(w.Row(2), "b");
    // Forward steps never pass the last screenful: use a one-line window.
    w.port.Resize(1, 20);
    w.wnd.OnSize(20 * 8, 16);
    TextPos p = w.At(0);
    EXPECT_TRUE(w.wnd.NextLineStart(p));
    EXPECT_EQ(w.Index(p), 2);  // a lone CR
    EXPECT_TRUE(w.wnd.NextLineStart(p));
    EXPECT_EQ(w.Index(p), 4);  // then a CR LF pair

    // a LF CR b: two lines.
    Window two("a\n\rb", 10, 20);
    EXPECT_EQ(two.Row(0), "a");
    EXPECT_EQ(two.Row(1), "b");
    EXPECT_EQ(two.Row(2), " ");

    // LF CR LF: forward pairs LF CR then a lone LF; backward pairs CR LF.
    Window three("x\n\r\ny", 1, 20);
    p = three.At(0);
    three.wnd.NextLineStart(p);
    EXPECT_EQ(three.Index(p), 3);
    p = three.At(4);
    EXPECT_TRUE(three.wnd.PrevLineStart(p));
    EXPECT_EQ(three.Index(p), 2);  // CR LF just before y is one break; the line before is empty and starts at 2
    EXPECT_TRUE(three.wnd.PrevLineStart(p));
    EXPECT_EQ(three.Index(p), 0);
    EXPECT_FALSE(three.wnd.PrevLineStart(p));
}

TEST(LineModel, NulEndsForwardReadingOnly)
{
    Window w(std::string("one\ntwo\0three\nfour\nfive\nsix\n", 28), 3, 20);
    ASSERT_TRUE(w.loaded);
    w.wnd.OnKeyDown(kVkHome);
    EXPECT_EQ(w.Row(0), "one");
    EXPECT_EQ(w.Row(1), "two");
    EXPECT_EQ(w.Row(2), " ");  // reading stops at the NUL
    w.port.Resize(2, 20);
    w.wnd.OnSize(20 * 8, 2 * 16);
    // Line steps stop on the NUL itself, where every row is empty.
    for (int i = 0; i < 5; ++i)
        w.wnd.OnKeyDown(kVkDown);
    EXPECT_EQ(w.Index(w.wnd.GetTop()), 7);
    EXPECT_EQ(w.Row(0), " ");
    // End still reaches the text after it.
    w.wnd.OnKeyDown(kVkEnd);
    EXPECT_EQ(w.Row(0), "five");
    w.wnd.OnKeyDown(kVkUp);
    w.wnd.OnKeyDown(kVkUp);
    EXPECT_EQ(w.Index(w.wnd.GetTop()), 4);  // backward steps pass the NUL
    EXPECT_EQ(w.Row(0), "two");
}

TEST(LineModel, TabsAddColumnModEightSpaces)
{
    Window w("\tstart\nxy\tz\nabc\tq\n12345678\tr\n", 10, 40);
    w.wnd.OnKeyDown(kVkHome);
    EXPECT_EQ(w.Row(0), "start");        // a tab at column 0 adds nothing
    EXPECT_EQ(w.Row(1), "xy  z");        // at column 2, two spaces
    EXPECT_EQ(w.Row(2), "abc   q");      // at column 3, three
    EXPECT_EQ(w.Row(3), "12345678r");    // at column 8, none
    Window wide(Utf16LE(u"ab\tc\r\n"), 5, 20, EncodingUtf16LE);
    EXPECT_EQ(wide.Row(0), "ab  c");
}

TEST(LineModel, LastScreenfulWithAndWithoutFinalBreak)
{
    std::string text;
    for (int i = 1; i <= 30; ++i)
        text += "line " + std::to_string(i) + "\r\n";
    Window w(text, 10, 40);
    EXPECT_EQ(w.Row(0), "line 21");
    EXPECT_EQ(w.Row(9), "line 30");  // no empty line after the final break
    EXPECT_EQ(w.wnd.GetTop(), w.wnd.LastPageTop());

    Window open(text + "tail", 10, 40);
    EXPECT_EQ(open.Row(0), "line 22");
    EXPECT_EQ(open.Row(9), "tail");

    Window shortText("a\nb\n", 10, 40);
    EXPECT_EQ(shortText.wnd.LastPageTop(), shortText.wnd.DataStart());
    EXPECT_EQ(shortText.Row(0), "a");
    shortText.wnd.OnKeyDown(kVkDown);
    EXPECT_EQ(shortText.Index(shortText.wnd.GetTop()), 0);
}

TEST(LineModel, TallerWindowAtTheEndPullsTheTopUp)
{
    std::string text;
    for (int i = 1; i <= 30; ++i)
        text += std::to_string(i) + "\n";
    Window w(text, 5, 20);
    EXPECT_EQ(w.Row(0), "26");
    w.port.Resize(8, 20);
    w.wnd.OnSize(20 * 8, 8 * 16);
    EXPECT_EQ(w.Row(0), "23");
    EXPECT_EQ(w.Row(7), "30");
    EXPECT_EQ(w.port.m_vert.max, static_cast<std::int64_t>(text.size()));
    EXPECT_EQ(w.port.m_vert.page, static_cast<std::int64_t>(text.size()) - w.wnd.GetTop());
    EXPECT_EQ(w.port.m_vert.pos, w.wnd.GetTop());
}

TEST(LineModel, ReloadFollowsTheEndOrKeepsTheOffset)
{
    std::string text;
    for (int i = 1; i <= 20; ++i)
        text += "row " + std::to_string(i) + "\n";
    Window w(text, 5, 20);
    EXPECT_EQ(w.Row(4), "row 20");
    w.dir.Append("text.log", "row 21\nrow 22\n");
    ASSERT_TRUE(w.wnd.LoadFile(nullptr, EncodingAuto));
    EXPECT_EQ(w.Row(4), "row 22");  // following the end

    w.wnd.OnKeyDown(kVkHome);
    w.wnd.OnKeyDown(kVkDown);
    EXPECT_EQ(w.Row(0), "row 2");
    w.dir.Append("text.log", "row 23\n");
    ASSERT_TRUE(w.wnd.LoadFile(nullptr, EncodingAuto));
    EXPECT_EQ(w.Row(0), "row 2");  // scrolled up: the same text stays on top

    // Truncated below the top: the top goes to the new last screenful.
    w.wnd.OnKeyDown(kVkEnd);
    w.wnd.OnKeyDown(kVkUp);
    w.wnd.OnKeyDown(kVkUp);
    ASSERT_EQ(truncate(w.Path().c_str(), 12), 0);  // "row 1\nrow 2\n"
    ASSERT_TRUE(w.wnd.LoadFile(nullptr, EncodingAuto));
    EXPECT_EQ(w.wnd.GetTop(), w.wnd.DataStart());
    EXPECT_EQ(w.Row(0), "row 1");
    EXPECT_EQ(w.Row(1), "row 2");
    EXPECT_LE(w.wnd.GetLastMatch(), w.wnd.DataEnd());
    EXPECT_LE(w.wnd.GetHighlightEnd(), w.wnd.DataEnd());
}

TEST(LineModel, FileShrinkingToNothingThenGrowingAgain)
{
    Window w("first\nsecond\n", 4, 20);
    ASSERT_EQ(truncate(w.Path().c_str(), 0), 0);
    EXPECT_TRUE(w.wnd.LoadFile(nullptr, EncodingAuto));
    EXPECT_FALSE(w.wnd.HasText());
    EXPECT_EQ(w.Row(0), "");  // only the page colour
    w.wnd.OnKeyDown(kVkHome);  // handlers do nothing, safely
    w.wnd.CopyScreenToClipboard();
    w.dir.Write("text.log", "new one\nnew two\n");
    EXPECT_TRUE(w.wnd.LoadFile(nullptr, EncodingAuto));
    ASSERT_TRUE(w.wnd.HasText());
    EXPECT_EQ(w.Row(0), "new one");
    EXPECT_EQ(w.wnd.GetTop(), w.wnd.LastPageTop());
}

TEST(LineModel, FontSettersCompareAndCutAsWindowsDoes)
{
    std::string text;
    for (int i = 1; i <= 20; ++i)
        text += std::to_string(i) + "\n";
    Window w(text, 6, 20);
    const TextPos before = w.wnd.GetTop();
    w.wnd.SetFontPoints(14);  // the fake port's metrics stay 8 x 16: nothing to reload
    EXPECT_EQ(w.wnd.GetLogFont().lfHeight, -19);
    EXPECT_EQ(w.wnd.GetFontPoints(), 14);
    EXPECT_EQ(w.wnd.GetTop(), before);
    platform::LOGFONTW f = w.wnd.GetLogFont();
    f.lfFaceName[0] = u'c';  // differs only in letter case: the same font
    EXPECT_TRUE(w.wnd.SetLogFont(f));
    EXPECT_EQ(w.wnd.GetLogFont().lfFaceName[0], u'C');
    w.wnd.SetFontFace(u"A face name that is much longer than thirty-one", 1, 2);
    EXPECT_EQ(std::u16string(w.wnd.GetLogFont().lfFaceName), u"A face name that is much longer");
    EXPECT_EQ(w.wnd.GetLogFont().lfCharSet, 1);
}

// The fast scans against the simple model on random texts full of breaks,
// NULs, tabs and (for UTF-16) units whose bytes look like breaks.
TEST(LineModel, FastScansAgreeWithSimpleModel)
{
    std::mt19937 rng(1234);
    const std::uint32_t alphabet[] = {'a', 'b', 0x0D, 0x0A, 0x0D, 0x0A, 0, 9, 0x0D00, 0x0A00, 0x0D0A, 0xFFFF};
    for (int round = 0; round < 300; ++round) {
        const std::int32_t enc = round % 3 == 0 ? EncodingAnsi : round % 3 == 1 ? EncodingUtf16LE : EncodingUtf16BE;
        const int n = 1 + static_cast<int>(rng() % 90);
        Reference ref;
        for (int i = 0; i < n; ++i) {
            std::uint32_t c = alphabet[rng() % (enc == EncodingAnsi ? 8 : 12)];
            if (rng() % 3 == 0)
                c = 'a' + rng() % 26;
            ref.u.push_back(c);
        }
        // The window reads BE units byte-swapped: its breaks are the model's.
        Window w(Encode(ref.u, enc), 1 + rng() % 6, 20, enc);
        ASSERT_TRUE(w.loaded);
        const size_t count = ref.u.size();
        const TextPos last = w.wnd.LastPageTop();
        // Last screenful: k steps back from the end.
        size_t expectLast = count;
        for (int k = w.port.Rows(); k > 0 && expectLast > 0; --k)
            expectLast = ref.Prev(expectLast);
        ASSERT_EQ(static_cast<size_t>(w.Index(last)), expectLast) << "round " << round;
        for (size_t i = 0; i <= count; ++i) {
            SCOPED_TRACE("round " + std::to_string(round) + " at " + std::to_string(i));
            TextPos p = w.At(static_cast<std::int64_t>(i));
            const size_t want = i >= expectLast ? i : ref.Next(i, expectLast);
            const bool moved = w.wnd.NextLineStart(p);
            ASSERT_EQ(static_cast<size_t>(w.Index(p)), want);
            ASSERT_EQ(moved, want != i);
            p = w.At(static_cast<std::int64_t>(i));
            if (i > 0) {
                ASSERT_TRUE(w.wnd.PrevLineStart(p));
                ASSERT_EQ(static_cast<size_t>(w.Index(p)), ref.Prev(i));
            }
            ASSERT_EQ(static_cast<size_t>(w.Index(w.wnd.LineStartOf(w.At(static_cast<std::int64_t>(i))))),
                      ref.StartOf(i));
            ASSERT_EQ(static_cast<size_t>(w.Index(w.wnd.LineLastOf(w.At(static_cast<std::int64_t>(i))))),
                      ref.LastOf(i));
            size_t rp = i;
            const std::u16string line = ref.Read(rp);
            p = w.At(static_cast<std::int64_t>(i));
            std::string narrow;
            std::u16string wide;
            w.wnd.ReadLine(p, &narrow, &wide);
            ASSERT_EQ(static_cast<size_t>(w.Index(p)), rp);
            if (enc == EncodingAnsi)
                ASSERT_EQ(std::u16string(narrow.begin(), narrow.end()), line);
            else
                ASSERT_EQ(wide, line);
            // A capped read stores a prefix and still steps over the whole line.
            p = w.At(static_cast<std::int64_t>(i));
            w.wnd.ReadLine(p, &narrow, &wide, 3);
            ASSERT_EQ(static_cast<size_t>(w.Index(p)), rp);
            const size_t stored = enc == EncodingAnsi ? narrow.size() : wide.size();
            ASSERT_EQ(stored, std::min<size_t>(3, line.size()));
            // A read from a column further right stores what shows there (the
            // tabs left of it still count), and pairs a unit with the column
            // where the expanded text before it ends.
            const size_t from = rng() % (line.size() + 2);
            const size_t mark = i + rng() % (rp - i + 1);
            LineColumns columns;
            columns.firstColumn = static_cast<std::int64_t>(from);
            columns.marks[0] = w.At(static_cast<std::int64_t>(mark));
            p = w.At(static_cast<std::int64_t>(i));
            w.wnd.ReadLine(p, &narrow, &wide, 3, &columns);
            const std::u16string shown = from < line.size() ? line.substr(from, 3) : std::u16string();
            if (enc == EncodingAnsi)
                ASSERT_EQ(std::u16string(narrow.begin(), narrow.end()), shown);
            else
                ASSERT_EQ(wide, shown);
            Reference head{std::vector<std::uint32_t>(ref.u.begin(), ref.u.begin() + static_cast<std::ptrdiff_t>(mark))};
            size_t headPos = i;
            ASSERT_EQ(columns.markColumns[0], static_cast<std::int64_t>(head.Read(headPos).size()));
            ASSERT_EQ(columns.width, static_cast<std::int64_t>(line.size()));
        }
    }
}

// A sparse file above 4 GiB: shown whole, with its real last screenful, and
// cheap to open (only the end is read).
TEST(LineModel, SparseFileAboveFourGiBShowsItsEnd)
{
    TempDir dir;
    const std::string path = dir.File("huge.log");
    const int fd = ::open(path.c_str(), O_CREAT | O_RDWR, 0644);
    ASSERT_GE(fd, 0);
    const std::int64_t size = (5LL << 30) + 123;
    std::string tail;
    for (int i = 0; i < 50; ++i)
        tail += "tail line " + std::to_string(i) + "\n";
    ASSERT_EQ(ftruncate(fd, size - static_cast<std::int64_t>(tail.size())), 0);
    ASSERT_EQ(pwrite(fd, "\n", 1, size - static_cast<std::int64_t>(tail.size()) - 1), 1);
    ASSERT_EQ(pwrite(fd, tail.data(), tail.size(), size - static_cast<std::int64_t>(tail.size())),
              static_cast<ssize_t>(tail.size()));
    ::close(fd);

    CMemoryMappedFile file;
    ASSERT_NE(file.Open(path.c_str(), false), nullptr);
    EXPECT_EQ(file.Size(), static_cast<std::uint64_t>(size));
    headless::HeadlessPort port(10, 40);
    CFileWnd wnd(&port);
    wnd.SetWatchFile(false);
    ASSERT_TRUE(wnd.LoadFile(&file, EncodingAuto));
    EXPECT_EQ(wnd.CharacterCount(), static_cast<std::uint64_t>(size));
    EXPECT_EQ(wnd.DataEnd(), size);
    port.Paint(wnd, true);
    EXPECT_EQ(port.RowText(0), U"tail line 40");
    EXPECT_EQ(port.RowText(9), U"tail line 49");
    EXPECT_EQ(port.m_vert.max, size);
    // The thumb into the middle of a real line puts the top at its start.
    const std::int64_t line5 = size - static_cast<std::int64_t>(tail.size()) + 5 * 12;
    port.m_trackPos = line5 + 4;
    wnd.OnVScroll(kSbThumbTrack);
    EXPECT_EQ(wnd.GetTop(), line5);
    port.Paint(wnd, true);
    EXPECT_EQ(port.RowText(0), U"tail line 5");
    // Beyond the bar's reach it stops at the last screenful.
    port.m_trackPos = size;
    wnd.OnVScroll(kSbThumbTrack);
    EXPECT_EQ(wnd.GetTop(), wnd.LastPageTop());
}

namespace {

// Whether any page under [p, p + n) is mapped into this process.
bool AnyPageMapped(const std::uint8_t* p, std::uint64_t n)
{
    const int fd = ::open("/proc/self/pagemap", O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return true;
    const auto page = static_cast<std::uint64_t>(::sysconf(_SC_PAGESIZE));
    const std::uint64_t first = reinterpret_cast<std::uintptr_t>(p) / page;
    std::vector<std::uint64_t> entries((n + page - 1) / page);
    const auto bytes = static_cast<ssize_t>(entries.size() * sizeof(std::uint64_t));
    const bool read = ::pread(fd, entries.data(), static_cast<size_t>(bytes), static_cast<off_t>(first * 8)) == bytes;
    ::close(fd);
    return !read || std::any_of(entries.begin(), entries.end(), [](std::uint64_t e) { return e >> 63; });
}

}  // namespace

// A log that ends in (or holds) a long run of zeros, left by a crash or a
// preallocation, whether a hole or written zeros: the last screenful, line
// steps and the thumb pass the run without mapping its pages in.
TEST(LineModel, LongZeroRunsArePassedWithoutMappingThem)
{
    const struct {
        const char* name;
        std::string before;
        std::uint64_t zeros;
        bool hole;
        std::string after;
        std::int64_t lastTop;  // character index
        std::u32string row0;
    } cases[] = {
        // Its text fills a block: the break in the last byte before the hole counts.
        {"trailing hole", "a\n" + std::string(4093, 'b') + "\n", 1ull << 30, true, "", 2, U"bbbbbbbbbbbbbbbbbbbb"},
        {"hole inside a line", "x\ny\n", 1ull << 30, true, "tail\nend\n", 2, U"y"},
        {"written zeros", "x\ny\n", 32ull << 20, false, "\nend\n", 2, U"y"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        const std::string path = dir.File("zeros.log");
        const int fd = ::open(path.c_str(), O_CREAT | O_RDWR, 0644);
        ASSERT_GE(fd, 0);
        ASSERT_EQ(::write(fd, c.before.data(), c.before.size()), static_cast<ssize_t>(c.before.size()));
        if (c.hole) {
            ASSERT_EQ(::ftruncate(fd, static_cast<off_t>(c.before.size() + c.zeros)), 0);
        } else {
            const std::string block(1 << 20, '\0');
            for (std::uint64_t done = 0; done < c.zeros; done += block.size())
                ASSERT_EQ(::write(fd, block.data(), block.size()), static_cast<ssize_t>(block.size()));
        }
        const auto runEnd = static_cast<off_t>(c.before.size() + c.zeros);
        ASSERT_EQ(::pwrite(fd, c.after.data(), c.after.size(), runEnd), static_cast<ssize_t>(c.after.size()));
        ::close(fd);

        CMemoryMappedFile file;
        ASSERT_NE(file.Open(path.c_str(), false), nullptr);
        headless::HeadlessPort port(c.hole && c.after.empty() ? 2 : 3, 20);
        CFileWnd wnd(&port);
        wnd.SetWatchFile(false);
        ASSERT_TRUE(wnd.LoadFile(&file, EncodingAuto));
        EXPECT_EQ(wnd.CharIndex(wnd.GetTop()), c.lastTop);
        port.Paint(wnd, true);
        EXPECT_EQ(port.RowText(0), c.row0);
        wnd.OnKeyDown(kVkUp);
        wnd.OnKeyDown(kVkHome);
        port.m_trackPos = static_cast<std::int64_t>(c.before.size() + c.zeros / 2);
        wnd.OnVScroll(kSbThumbTrack);  // into the run: the line that holds it
        EXPECT_EQ(wnd.GetTop(), std::min<TextPos>(static_cast<TextPos>(c.before.size()), wnd.LastPageTop()));
        // The scans may read the first and the last few pages of the run in place.
        const std::uint64_t margin = 1 << 20;
        EXPECT_FALSE(AnyPageMapped(file.View() + c.before.size() + margin, c.zeros - 2 * margin));
    }
}
