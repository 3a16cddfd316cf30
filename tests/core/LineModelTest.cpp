// The line model: breaks and their pairing, NUL, tabs, the last screenful,
// reloads that keep the reader's place or follow the end, and files whose
// size or holes no line step may pay for.
#include "tests/core/TestUtil.h"
#include "view/CommandIds.h"
#include "view/StatusIndicators.h"

#include <fcntl.h>
#include <random>

using testutil::TempDir;
using testutil::Window;

namespace {

// A deliberately simple model of the rules, one unit at a time, over a
// vector of units: the oracle for the fast scans.
struct Reference {
    std::vector<std::uint32_t> u;
    static bool Brk(std::uint32_t c) { return c == 0x0D || c == 0x0A; }
    bool PairAt(size_t i) const { return i + 1 < u.size() && Brk(u[i]) && Brk(u[i + 1]) && u[i] != u[i + 1]; }

    size_t Next(size_t p, size_t last) const
    {
        for (; p < last; ++p) {
            if (u[p] == 0)
                return p;
            if (Brk(u[p]))
                return std::min(p + (PairAt(p) ? 2 : 1), last);  // never past the last screenful
        }
        return p;
    }
    size_t Prev(size_t p) const
    {
        size_t q = p >= 2 && PairAt(p - 2) ? p - 2 : Brk(u[p - 1]) ? p - 1 : p;
        while (q > 0 && !Brk(u[q - 1]))
            --q;
        return q;
    }
    // The start of the line that holds p, breaks paired from the left.
    size_t StartOf(size_t p) const
    {
        size_t start = 0;
        for (size_t i = 0; i < p;) {
            i += !Brk(u[i]) ? 1 : PairAt(i) ? 2 : 1;
            if (Brk(u[i - 1]) && i <= p)
                start = i;
        }
        return start;
    }
    size_t LastOf(size_t p) const
    {
        while (p < u.size() && !Brk(u[p]))
            ++p;
        return p < u.size() && p > 0 ? p - 1 : p;
    }
    std::u16string Read(size_t& p) const
    {
        std::u16string s;
        for (; p < u.size() && u[p] != 0; ++p) {
            if (Brk(u[p])) {
                p += PairAt(p) ? 2 : 1;
                break;
            }
            if (u[p] == 9)
                s.append(s.size() % 8, u' ');
            else
                s.push_back(static_cast<char16_t>(u[p]));
        }
        return s;
    }
};

std::string Encode(const std::vector<std::uint32_t>& units, std::int32_t enc)
{
    const std::u16string s(units.begin(), units.end());
    return enc == EncodingAnsi ? std::string(units.begin(), units.end()) : testutil::Utf16(s, enc == EncodingUtf16BE);
}

std::u16string Text(const std::string& narrow, const std::u16string& wide, std::int32_t enc)
{
    return enc == EncodingAnsi ? std::u16string(narrow.begin(), narrow.end()) : wide;
}

}  // namespace

// The fast scans against the model on random texts full of breaks, NULs,
// tabs and (for UTF-16) units whose bytes look like breaks.
TEST(LineModel, FastScansAgreeWithTheSimpleModel)
{
    std::mt19937 rng(1234);
    const std::uint32_t alphabet[] = {'a', 'b', 0x0D, 0x0A, 0x0D, 0x0A, 0, 9, 0x0D00, 0x0A00, 0x0D0A, 0xFFFF};
    for (int round = 0; round < 300; ++round) {
        const std::int32_t enc = round % 3 == 0 ? EncodingAnsi : round % 3 == 1 ? EncodingUtf16LE : EncodingUtf16BE;
        Reference ref;
        for (int i = 1 + static_cast<int>(rng() % 90); i > 0; --i)
            ref.u.push_back(rng() % 3 == 0 ? 'a' + rng() % 26 : alphabet[rng() % (enc == EncodingAnsi ? 8 : 12)]);
        Window w(Encode(ref.u, enc), 1 + rng() % 6, 20, enc);
        ASSERT_TRUE(w.loaded);
        size_t last = ref.u.size();
        for (int k = w.port.Rows(); k > 0 && last > 0; --k)
            last = ref.Prev(last);
        // Never before a NUL that text follows (NULs at the very end hide nothing).
        size_t text = ref.u.size();
        while (text > last && ref.u[text - 1] == 0)
            --text;
        for (size_t i = text; i > last; --i)
            if (ref.u[i - 1] == 0) {
                last = i;
                break;
            }
        ASSERT_EQ(w.Index(w.wnd.LastPageTop()), static_cast<std::int64_t>(last)) << "round " << round;
        for (size_t i = 0; i <= ref.u.size(); ++i) {
            SCOPED_TRACE("round " + std::to_string(round) + " at " + std::to_string(i));
            const auto at = [&](size_t k) { return w.At(static_cast<std::int64_t>(k)); };
            const auto index = [&](TextPos p) { return static_cast<size_t>(w.Index(p)); };
            TextPos p = at(i);
            const size_t next = i >= last ? i : ref.Next(i, last);
            ASSERT_EQ(w.wnd.NextLineStart(p), next != i);
            ASSERT_EQ(index(p), next);
            p = at(i);
            ASSERT_EQ(w.wnd.PrevLineStart(p), i > 0);
            ASSERT_EQ(index(p), i > 0 ? ref.Prev(i) : 0);
            ASSERT_EQ(index(w.wnd.LineStartOf(at(i))), ref.StartOf(i));
            ASSERT_EQ(index(w.wnd.LineLastOf(at(i))), ref.LastOf(i));

            // A read from a column further right stores what shows there (the
            // tabs left of it still count), steps over the whole line, and
            // pairs a unit with the column where the text before it ends.
            size_t end = i;
            const std::u16string line = ref.Read(end);
            const size_t from = rng() % (line.size() + 2);
            const size_t mark = i + rng() % (end - i + 1);
            LineColumns columns;
            columns.firstColumn = static_cast<std::int64_t>(from);
            columns.marks[0] = at(mark);
            std::string narrow;
            std::u16string wide;
            p = at(i);
            w.wnd.ReadLine(p, &narrow, &wide, 3, &columns);
            ASSERT_EQ(index(p), end);
            ASSERT_EQ(Text(narrow, wide, enc), from < line.size() ? line.substr(from, 3) : u"");
            ASSERT_EQ(columns.width, static_cast<std::int64_t>(line.size()));
            Reference head{
                std::vector<std::uint32_t>(ref.u.begin(), ref.u.begin() + static_cast<std::ptrdiff_t>(mark))};
            size_t headEnd = i;
            ASSERT_EQ(columns.markColumns[0], static_cast<std::int64_t>(head.Read(headEnd).size()));
        }
    }
}

// A newly opened window shows its last screenful; Home its first lines.
TEST(LineModel, ScreensOfTheRules)
{
    const std::string thirty = testutil::Lines(1, 31, "line "), nul("one\ntwo\0three\nfour\n", 19);
    const std::string tabs = "\tstart\nxy\tz\nabc\tq\n12345678\tr\n";
    const struct {
        const char* name;
        std::string bytes;
        int rows;
        bool home;
        std::vector<std::string> screen;
    } cases[] = {
        {"a CR CR LF b is three lines", "a\r\r\nb", 5, true, {"a", "", "b"}},
        {"a LF CR b is two", "a\n\rb", 5, true, {"a", "b"}},
        {"a tab adds n mod 8 spaces at column n", tabs, 5, true, {"start", "xy  z", "abc   q", "12345678r"}},
        {"UTF-16 tabs alike", testutil::Utf16LE(u"ab\tc\r\n", true), 5, true, {"ab  c"}},
        {"reading stops at a NUL", nul, 5, true, {"one", "two"}},
        {"the text after a NUL fills the window from the top", nul, 5, false, {"three", "four"}},
        {"NULs at the end hide nothing", "a\nb\n" + std::string(50, '\0'), 5, false, {"a", "b"}},
        {"no empty line after the final break", thirty, 3, false, {"line 28", "line 29", "line 30"}},
        {"a last line without a break", thirty + "tail", 3, false, {"line 29", "line 30", "tail"}},
        {"a text shorter than the window stays at its top", "a\nb\n", 5, false, {"a", "b"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Window w(c.bytes, c.rows, 20);
        ASSERT_TRUE(w.loaded);
        EXPECT_EQ(w.wnd.GetTop(), w.wnd.LastPageTop());
        if (c.home)
            w.wnd.OnKeyDown(kVkHome);
        EXPECT_EQ(w.Screen(), c.screen);
    }
}

TEST(LineModel, NulEndsForwardReadingOnly)
{
    Window w(std::string("one\ntwo\0three\nfour\nfive\nsix\n", 28), 2, 20);
    w.wnd.OnKeyDown(kVkHome);
    for (int i = 0; i < 5; ++i)
        w.wnd.OnKeyDown(kVkDown);
    EXPECT_EQ(w.Top(), 7) << "line steps stop on the NUL itself";
    EXPECT_TRUE(w.Screen().empty());
    w.wnd.OnKeyDown(kVkEnd);
    EXPECT_EQ(w.Screen(), (std::vector<std::string>{"five", "six"})) << "End reaches past it";
    w.wnd.OnKeyDown(kVkUp);
    w.wnd.OnKeyDown(kVkUp);
    EXPECT_EQ(w.Top(), 4) << "and backward steps pass it";
}

// A log that a crash left zeros in goes on after them: End, the thumb and
// following all reach the text after the last NULs, also when it is shorter
// than a screenful.
TEST(LineModel, TextAfterTheLastNulsIsReachedByEndThumbAndFollowing)
{
    using Screen = std::vector<std::string>;
    const std::string bytes = "start\n" + std::string(100, '\0') + "important error line\nlast line\n";
    Window w(bytes, 10, 40);
    const Screen tail{"important error line", "last line"};
    EXPECT_EQ(w.Screen(), tail) << "opened at the end";
    w.wnd.OnKeyDown(kVkHome);
    EXPECT_EQ(w.Screen(), Screen{"start"});
    w.wnd.OnKeyDown(kVkEnd);
    EXPECT_EQ(w.Screen(), tail) << "End";
    w.wnd.OnKeyDown(kVkHome);
    w.port.m_trackPos = w.port.m_vert.max;
    w.wnd.OnVScroll(kSbThumbTrack);
    EXPECT_EQ(w.Screen(), tail) << "the thumb at the end of the bar";
    w.dir.Append("text.log", "new line\n");
    w.wnd.OnFileChanged(1, 0);
    EXPECT_EQ(w.Screen(), (Screen{"important error line", "last line", "new line"})) << "following";
}

TEST(LineModel, ReloadsFollowTheEndOrKeepTheOffset)
{
    Window w(testutil::Lines(1, 21, "row "), 5, 20);
    w.dir.Append("text.log", "row 21\nrow 22\n");
    ASSERT_TRUE(w.wnd.LoadFile(nullptr, EncodingAuto));
    EXPECT_EQ(w.Screen().back(), "row 22") << "at the end: follows it";

    w.wnd.OnKeyDown(kVkHome);
    w.wnd.OnKeyDown(kVkDown);
    w.dir.Append("text.log", "row 23\n");
    ASSERT_TRUE(w.wnd.LoadFile(nullptr, EncodingAuto));
    EXPECT_EQ(w.Screen().front(), "row 2") << "scrolled up: the same text stays on top";

    // Truncated below the top: the top goes to the new last screenful, and
    // every kept position stays inside the text.
    w.wnd.OnKeyDown(kVkEnd);
    ASSERT_EQ(truncate(w.Path().c_str(), 12), 0);  // "row 1\nrow 2\n"
    ASSERT_TRUE(w.wnd.LoadFile(nullptr, EncodingAuto));
    EXPECT_EQ(w.Screen(), (std::vector<std::string>{"row 1", "row 2"}));
    EXPECT_LE(w.wnd.GetLastMatch(), w.wnd.DataEnd());
    EXPECT_LE(w.wnd.GetHighlightEnd(), w.wnd.DataEnd());

    // Emptied: no text and handlers that do nothing; grown again: its end.
    ASSERT_EQ(truncate(w.Path().c_str(), 0), 0);
    EXPECT_TRUE(w.wnd.LoadFile(nullptr, EncodingAuto));
    EXPECT_FALSE(w.wnd.HasText());
    EXPECT_EQ(w.Row(0), "");
    w.wnd.OnKeyDown(kVkHome);
    w.wnd.CopyScreenToClipboard();
    w.dir.Write("text.log", testutil::Lines(1, 9, "new "));
    EXPECT_TRUE(w.wnd.LoadFile(nullptr, EncodingAuto));
    EXPECT_EQ(w.Screen(), testutil::ScreenOf(4, 9, "new "));
}

// What the walks over a long line found is kept while it grows and dropped
// when the file shrinks: what then grows in its place is read afresh.
TEST(LineModel, ALongLineWalkIsForgottenWhenTheFileShrinks)
{
    Window w(std::string(200 << 10, 'x'), 2, 20);
    w.dir.Append("text.log", "yy");
    ASSERT_TRUE(w.wnd.LoadFile(nullptr, EncodingAuto));
    EXPECT_EQ(w.wnd.GetTop(), w.wnd.DataStart());
    ASSERT_EQ(truncate(w.Path().c_str(), 100 << 10), 0);
    ASSERT_TRUE(w.wnd.LoadFile(nullptr, EncodingAuto));
    w.dir.Append("text.log", "\nsecond\nthird");
    ASSERT_TRUE(w.wnd.LoadFile(nullptr, EncodingAuto));
    EXPECT_EQ(w.Screen(), (std::vector<std::string>{"second", "third"}));
}

TEST(LineModel, FontSettersCompareFacesAndCutLongNames)
{
    Window w(testutil::Lines(1, 21, ""), 6, 20);
    const TextPos before = w.wnd.GetTop();
    w.wnd.SetFontPoints(14);  // the fake port's metrics stay 8 x 16: nothing to reload
    EXPECT_EQ(w.wnd.GetLogFont().lfHeight, -19);
    EXPECT_EQ(w.wnd.GetFontPoints(), 14);
    EXPECT_EQ(w.wnd.GetTop(), before);
    platform::LOGFONTW f = w.wnd.GetLogFont();
    f.lfFaceName[0] = u'c';  // differs only in letter case: the same font
    w.wnd.SetLogFont(f);
    EXPECT_EQ(w.wnd.GetLogFont().lfFaceName[0], u'C');
    w.wnd.SetFontFace(u"A face name that is much longer than thirty-one", 1, 2);
    EXPECT_EQ(std::u16string(w.wnd.GetLogFont().lfFaceName), u"A face name that is much longer");
    EXPECT_EQ(w.wnd.GetLogFont().lfCharSet, 1);
}

namespace {

// Whether any page under [p, p + n) is mapped into this process.
bool AnyPageMapped(const std::uint8_t* p, std::uint64_t n)
{
    const int fd = ::open("/proc/self/pagemap", O_RDONLY | O_CLOEXEC);
    const auto page = static_cast<std::uint64_t>(::sysconf(_SC_PAGESIZE));
    std::vector<std::uint64_t> entries((n + page - 1) / page);
    const auto bytes = static_cast<ssize_t>(entries.size() * sizeof(std::uint64_t));
    const off_t at = static_cast<off_t>(reinterpret_cast<std::uintptr_t>(p) / page * 8);
    const bool read = fd >= 0 && ::pread(fd, entries.data(), static_cast<size_t>(bytes), at) == bytes;
    ::close(fd);
    return !read || std::any_of(entries.begin(), entries.end(), [](std::uint64_t e) { return e >> 63; });
}

}  // namespace

// Files that no line step may pay for: above 4 GiB (shown whole, its thumb
// exact, its figures counted in 64 bits), and logs that end in or hold a long run of zeros (a crash or a
// preallocation; a hole or written zeros), whose pages stay unmapped.
TEST(LineModel, HugeFilesAndZeroRunsCostOnlyTheirLines)
{
    const std::string tail = testutil::Lines(0, 50, "tail line ");
    const std::u32string bs(20, U'b');
    const struct {
        const char* name;
        std::string before;
        std::uint64_t zeros;
        bool hole;
        std::string after;
        int rows;
        std::uint64_t thumb;  // into `after`, or into the run when `after` is empty
        std::u32string lastRow0, thumbRow0;
    } cases[] = {
        {"above 4 GiB", "", (5ull << 30) - tail.size(), true, "\n" + tail, 10, 1 + 5 * 12 + 4, U"tail line 40",
         U"tail line 5"},
        // Its text fills a block: the break in the last byte before the hole counts.
        {"trailing hole", "a\n" + std::string(4093, 'b') + "\n", 1ull << 30, true, "", 2, 1ull << 29, bs, bs},
        // The text after the zeros is the last screenful: no top before them hides it.
        {"hole inside a line", "x\ny\n", 1ull << 30, true, "tail\nend\n", 3, 0, U"tail", U"tail"},
        {"written zeros", "x\ny\n", 32ull << 20, false, "\nend\n", 3, 0, U" ", U" "},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        const std::string path = dir.File("zeros.log");
        const int fd = ::open(path.c_str(), O_CREAT | O_RDWR, 0644);
        ASSERT_EQ(::write(fd, c.before.data(), c.before.size()), static_cast<ssize_t>(c.before.size()));
        const std::string block(1 << 20, '\0');
        for (std::uint64_t done = 0; !c.hole && done < c.zeros; done += block.size())
            ASSERT_EQ(::write(fd, block.data(), block.size()), static_cast<ssize_t>(block.size()));
        const auto runEnd = static_cast<off_t>(c.before.size() + c.zeros);
        ASSERT_EQ(::ftruncate(fd, runEnd), 0);
        ASSERT_EQ(::pwrite(fd, c.after.data(), c.after.size(), runEnd), static_cast<ssize_t>(c.after.size()));
        ::close(fd);

        CMemoryMappedFile file;
        ASSERT_NE(file.Open(path.c_str(), false), nullptr);
        const std::int64_t size = runEnd + static_cast<std::int64_t>(c.after.size());
        headless::HeadlessPort port(c.rows, 20);
        CFileWnd wnd(&port);
        wnd.SetWatchFile(false);
        ASSERT_TRUE(wnd.LoadFile(&file, EncodingAuto));
        EXPECT_EQ(wnd.DataEnd(), size);
        EXPECT_EQ(port.m_vert.max, size);
        port.Paint(wnd, true);
        EXPECT_EQ(port.RowText(0), c.lastRow0);
        // The thumb into a line (or the run) shows the line that holds it;
        // beyond the bar's reach it stops at the last screenful.
        port.m_trackPos =
            c.after.empty() ? static_cast<std::int64_t>(c.thumb) : runEnd + static_cast<std::int64_t>(c.thumb);
        wnd.OnVScroll(kSbThumbTrack);
        port.Paint(wnd, true);
        EXPECT_EQ(port.RowText(0), c.thumbRow0);
        port.m_trackPos = size;
        wnd.OnVScroll(kSbThumbTrack);
        EXPECT_EQ(wnd.GetTop(), wnd.LastPageTop());
        // The status figures count in 64 bits.
        EXPECT_EQ(StatusPaneText(cmd::PaneTotalChars, &wnd), "Total Chars: " + std::to_string(size));
        EXPECT_EQ(StatusPaneText(cmd::PaneCurrentChar, &wnd), "Current Char: " + std::to_string(wnd.GetTop()));
        // The scans may read the first and the last few pages of the run in place.
        const std::uint64_t margin = 1 << 20;
        EXPECT_FALSE(AnyPageMapped(file.View() + c.before.size() + margin, c.zeros - 2 * margin));
    }
}
