// Windows following files that another process changes underneath them.
#include "file/FileWatcher.h"
#include "platform/DirWatch.h"
#include "FollowUtil.h"
#include "TestUtil.h"

#include <fcntl.h>
#include <unistd.h>

using followtest::MsSince;
using followtest::PumpUntil;
using followtest::WriterProcess;
using testutil::TempDir;

namespace {

std::string Lines(int from, int to, const std::string& prefix = "line ")
{
    std::string s;
    for (int i = from; i < to; ++i)
        s += prefix + std::to_string(i) + "\n";
    return s;
}

// A headless window on its own port, loaded from a shared mapping.
struct View {
    headless::HeadlessPort port;
    CFileWnd wnd{&port};
    View(CMemoryMappedFile* file, int rows, bool watch = true) : port(rows, 40)
    {
        wnd.SetWatchFile(watch);
        loaded = wnd.LoadFile(file, EncodingAuto);
    }
    std::string Row(int r)
    {
        port.Paint(wnd, true);
        std::string out;
        for (char32_t c : port.RowText(r, false))
            out += c < 0x80 ? static_cast<char>(c) : '?';
        while (!out.empty() && out.back() == ' ')
            out.pop_back();  // rows past the text are filled with blanks
        return out;
    }
    bool loaded = false;
};

// The rows of a window, painted now, with the blank ones at the end dropped.
std::vector<std::string> Screen(testutil::Window& w)
{
    std::vector<std::string> rows;
    for (int r = 0; r < w.port.Rows(); ++r) {
        rows.push_back(w.Row(r, false));
        while (!rows.back().empty() && rows.back().back() == ' ')
            rows.back().pop_back();  // rows past the text are filled with blanks
    }
    while (!rows.empty() && rows.back().empty())
        rows.pop_back();
    return rows;
}

std::vector<std::string> LinesOf(int from, int to)
{
    std::vector<std::string> v;
    for (int i = from; i < to; ++i)
        v.push_back("line " + std::to_string(i));
    return v;
}

class FollowTest : public followtest::WatchingTest {
protected:
    static bool WaitChecks(CFileWnd& wnd, int n)
    {
        if (!wnd.GetWatcher())
            return false;
        const std::uint64_t target = wnd.GetWatcher()->CheckCount() + static_cast<std::uint64_t>(n);
        return PumpUntil([&] { return wnd.GetWatcher()->CheckCount() >= target; });
    }
};

TEST_F(FollowTest, WindowAtEndFollowsThreeSuccessiveAppends)
{
    testutil::Window w(Lines(0, 100), 10, 40, EncodingAuto, true);
    ASSERT_TRUE(w.loaded);
    ASSERT_NE(w.wnd.GetWatcher(), nullptr);
    EXPECT_EQ(Screen(w), LinesOf(90, 100));
    WriterProcess writer(w.Path());
    for (int k = 0; k < 3; ++k) {
        const int n = 100 + k;
        const auto t0 = followtest::Clock::now();
        ASSERT_TRUE(writer.Do("append line " + std::to_string(n) + "\\n"));
        ASSERT_TRUE(PumpUntil([&] { return Screen(w) == LinesOf(n - 9, n + 1); })) << "append " << k;
        RecordProperty("append_to_screen_ms_" + std::to_string(k), std::to_string(MsSince(t0)));
    }
}

TEST_F(FollowTest, ScrolledUpWindowKeepsItsTopText)
{
    testutil::Window w(Lines(0, 100), 10, 40, EncodingAuto, true);
    ASSERT_TRUE(w.loaded);
    w.wnd.OnKeyDown(kVkHome);
    for (int i = 0; i < 5; ++i)
        w.wnd.OnKeyDown(kVkDown);
    ASSERT_EQ(Screen(w).front(), "line 5");
    WriterProcess writer(w.Path());
    std::uint64_t size = w.wnd.CharacterCount();
    for (int k = 0; k < 3; ++k) {
        const std::string line = "line " + std::to_string(100 + k) + "\n";
        ASSERT_TRUE(writer.Do("append " + line.substr(0, line.size() - 1) + "\\n"));
        size += line.size();
        ASSERT_TRUE(PumpUntil([&] { return w.wnd.CharacterCount() == size; })) << "append " << k;
        EXPECT_EQ(Screen(w), LinesOf(5, 15));
    }
    // Back at the end, it follows again.
    w.wnd.OnKeyDown(kVkEnd);
    ASSERT_TRUE(writer.Do("append line 103\\n"));
    EXPECT_TRUE(PumpUntil([&] { return Screen(w) == LinesOf(94, 104); }));
}

TEST_F(FollowTest, TruncationToZeroThenGrowthShowsNewText)
{
    testutil::Window w(Lines(0, 3000), 10, 40, EncodingAuto, true);
    ASSERT_TRUE(w.loaded);
    WriterProcess writer(w.Path());
    ASSERT_TRUE(writer.Do("truncate 0"));
    ASSERT_TRUE(PumpUntil([&] { return w.wnd.CharacterCount() == 0; }));
    EXPECT_TRUE(Screen(w).empty()) << "an emptied file shows an empty window";
    w.wnd.OnKeyDown(kVkNext);  // and takes keys without harm
    w.wnd.CopyScreenToClipboard();

    ASSERT_TRUE(writer.Do("append fresh 1\\nfresh 2\\n"));
    ASSERT_TRUE(PumpUntil([&] { return Screen(w) == std::vector<std::string>{"fresh 1", "fresh 2"}; }));
    ASSERT_TRUE(writer.Do("append fresh 3\\n"));
    EXPECT_TRUE(PumpUntil([&] { return Screen(w).size() == 3 && Screen(w).back() == "fresh 3"; }));
}

TEST_F(FollowTest, RotationByRenameKeepsTheOldFile)
{
    testutil::Window w(Lines(0, 50), 10, 40, EncodingAuto, true);
    ASSERT_TRUE(w.loaded);
    WriterProcess writer(w.Path());
    ASSERT_TRUE(writer.Do("reopen"));
    ASSERT_TRUE(writer.Do("rename " + w.dir.File("text.log.1")));
    w.dir.Write("text.log", "a new file under the old name\n");
    ASSERT_TRUE(WaitChecks(w.wnd, 2));
    EXPECT_EQ(Screen(w), LinesOf(40, 50)) << "the window keeps the file it opened";
    // The writer still holds the old file (as a logger that has not reopened yet).
    ASSERT_TRUE(writer.Do("append line 50\\n"));
    EXPECT_TRUE(PumpUntil([&] { return Screen(w) == LinesOf(41, 51); }));
}

TEST_F(FollowTest, DeleteWhileOpenDoesNotCrashAndTheOpenFileIsStillFollowed)
{
    testutil::Window w(Lines(0, 50), 10, 40, EncodingAuto, true);
    ASSERT_TRUE(w.loaded);
    WriterProcess writer(w.Path());
    ASSERT_TRUE(writer.Do("reopen"));
    ASSERT_TRUE(writer.Do("delete"));
    ASSERT_TRUE(WaitChecks(w.wnd, 2));
    EXPECT_EQ(Screen(w), LinesOf(40, 50));
    ASSERT_TRUE(writer.Do("append line 50\\n"));
    EXPECT_TRUE(PumpUntil([&] { return Screen(w) == LinesOf(41, 51); }));
    ASSERT_TRUE(writer.Do("truncate 0"));
    EXPECT_TRUE(PumpUntil([&] { return Screen(w).empty(); }));
}

TEST_F(FollowTest, WindowsSharingOneMappingStayCorrectAndReloadOnTheirOwnMessages)
{
    TempDir dir;
    const std::string path = dir.Write("shared.log", Lines(0, 200));
    CMemoryMappedFile file;
    ASSERT_NE(file.Open(path.c_str(), false), nullptr);
    // `a` follows; `b` reloads only when the test hands it its message, so
    // that it has to live with the mapping that `a` moved meanwhile.
    View a(&file, 10), b(&file, 10, false);
    ASSERT_TRUE(a.loaded && b.loaded);
    b.wnd.OnKeyDown(kVkHome);
    ASSERT_EQ(b.Row(0), "line 0");
    View c(&file, 10);  // a third, at the end
    ASSERT_TRUE(c.loaded);

    WriterProcess writer(path);
    ASSERT_TRUE(writer.Do("append line 200\\n"));
    ASSERT_TRUE(PumpUntil([&] { return a.Row(9) == "line 200" && c.Row(9) == "line 200"; }));
    EXPECT_EQ(b.Row(0), "line 0") << "b reads the re-mapped view through its offsets";
    EXPECT_EQ(b.Row(9), "line 9");

    // Shrink below b's place: a and c reload, b has not yet.
    b.wnd.OnKeyDown(kVkEnd);
    ASSERT_EQ(b.Row(9), "line 199");
    ASSERT_TRUE(writer.Do("truncate " + std::to_string(Lines(0, 5).size())));
    ASSERT_TRUE(PumpUntil([&] { return a.Row(4) == "line 4" && a.Row(5).empty(); }));
    for (int r = 0; r < 10; ++r) {
        const std::string row = b.Row(r);  // bounded by the live mapping: no crash, nothing past it
        EXPECT_TRUE(row.empty() || row.rfind("line ", 0) == 0) << r << ": " << row;
    }
    b.wnd.CopyScreenToClipboard();
    b.wnd.OnKeyDown(kVkPrior);
    b.wnd.OnFileChanged(1, 0);  // its own message arrives
    EXPECT_EQ(b.Row(0), "line 0");
    EXPECT_EQ(b.Row(4), "line 4");
    EXPECT_TRUE(b.Row(5).empty());

    // A failed re-map (the file emptied) leaves every window empty and safe...
    ASSERT_TRUE(writer.Do("truncate 0"));
    // (Rows read as blank even before the reload: the guard answers the
    // lost pages with zeros. Wait for the re-mapping itself.)
    ASSERT_TRUE(PumpUntil([&] { return file.View() == nullptr && a.wnd.CharacterCount() == 0; }));
    EXPECT_TRUE(a.Row(0).empty());
    EXPECT_TRUE(c.Row(0).empty());
    EXPECT_TRUE(b.Row(0).empty());
    b.wnd.OnKeyDown(kVkNext);
    b.wnd.OnFileChanged(1, 0);
    EXPECT_TRUE(b.Row(0).empty());
    // ...and the next growth shows the file again.
    ASSERT_TRUE(writer.Do("append back 1\\nback 2\\n"));
    ASSERT_TRUE(PumpUntil([&] { return a.Row(1) == "back 2" && c.Row(1) == "back 2"; }));
    b.wnd.OnFileChanged(1, 0);
    EXPECT_EQ(b.Row(0), "back 1");
    EXPECT_EQ(b.Row(1), "back 2");
}

TEST_F(FollowTest, TwoHundredWindowsOnTwoHundredFilesAllFollow)
{
    constexpr int kWindows = 200;
    std::vector<std::unique_ptr<testutil::Window>> windows;
    for (int i = 0; i < kWindows; ++i) {
        windows.push_back(std::make_unique<testutil::Window>(Lines(0, 5), 10, 40, EncodingAuto, true));
        ASSERT_TRUE(windows.back()->loaded);
        ASSERT_NE(windows.back()->wnd.GetWatcher(), nullptr);
        EXPECT_TRUE(windows.back()->wnd.GetWatcher()->HasDirectoryNotification()) << i;
    }
    EXPECT_LE(followtest::InotifyInstances(), 1) << "one notification instance for the whole process";
    for (auto& w : windows)
        w->dir.Append("text.log", "line 5\n");
    EXPECT_TRUE(PumpUntil([&] {
        for (auto& w : windows)
            if (w->wnd.CharacterCount() != Lines(0, 6).size())
                return false;
        return true;
    }, 20000));
    int following = 0;
    for (auto& w : windows)
        following += Screen(*w) == LinesOf(0, 6);
    EXPECT_EQ(following, kWindows);
}

}  // namespace
