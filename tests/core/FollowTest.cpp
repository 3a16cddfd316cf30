// Windows following files that another process changes underneath them.
#include "file/FileWatcher.h"
#include "file/TextFileDoc.h"
#include "platform/Process.h"
#include "tests/core/FollowUtil.h"
#include "tests/core/TestUtil.h"

#include <fstream>
#include <sys/resource.h>

using followtest::PumpUntil;
using followtest::WriterProcess;
using testutil::Lines;
using testutil::ScreenOf;
using testutil::Window;

namespace {

// A window of 10 rows on a mapping that others may share (a document's).
struct View {
    headless::HeadlessPort port{10, 40};
    CFileWnd wnd{&port};
    View(CMemoryMappedFile* file, bool watch)
    {
        wnd.SetWatchFile(watch);
        wnd.LoadFile(file, EncodingAuto);
    }
    std::string Row(int r)
    {
        port.Paint(wnd, true);
        std::string s = testutil::Utf8(port.RowText(r, false));
        return s.erase(s.find_last_not_of(' ') + 1);
    }
};

class FollowTest : public followtest::WatchingTest {};

TEST_F(FollowTest, WindowAtTheEndFollowsAppendsAndAScrolledOneKeepsItsText)
{
    Window w(Lines(0, 100), 10, 40, EncodingAuto, true);
    ASSERT_NE(w.wnd.GetWatcher(), nullptr);
    WriterProcess writer(w.Path());
    for (int n = 100; n < 103; ++n) {
        ASSERT_TRUE(writer.Do("append line " + std::to_string(n) + "\\n"));
        ASSERT_TRUE(PumpUntil([&] { return w.Screen() == ScreenOf(n - 9, n + 1); })) << "append " << n;
    }
    w.wnd.OnKeyDown(kVkHome);
    w.wnd.OnKeyDown(kVkDown);
    for (int n = 103; n < 106; ++n) {
        const std::uint64_t size = w.wnd.CharacterCount() + Lines(n, n + 1).size();
        ASSERT_TRUE(writer.Do("append line " + std::to_string(n) + "\\n"));
        ASSERT_TRUE(PumpUntil([&] { return w.wnd.CharacterCount() == size; })) << "append " << n;
        EXPECT_EQ(w.Screen(), ScreenOf(1, 11)) << "scrolled up: the same text stays";
    }
    w.wnd.OnKeyDown(kVkEnd);
    ASSERT_TRUE(writer.Do("append line 106\\n"));
    EXPECT_TRUE(PumpUntil([&] { return w.Screen() == ScreenOf(97, 107); })) << "back at the end it follows again";
}

// A logger that has not reopened its file yet keeps writing to the file the
// window opened, whatever became of its name.
TEST_F(FollowTest, RenamedOrDeletedFileIsStillFollowed)
{
    for (const bool rename : {true, false}) {
        SCOPED_TRACE(rename ? "renamed, a new file under the name" : "deleted");
        Window w(Lines(0, 50), 10, 40, EncodingAuto, true);
        WriterProcess writer(w.Path());
        ASSERT_TRUE(writer.Do("reopen"));
        ASSERT_TRUE(writer.Do(rename ? "rename " + w.dir.File("text.log.1") : "delete"));
        if (rename)
            w.dir.Write("text.log", "a new file under the old name\n");
        ASSERT_TRUE(followtest::WaitChecks(*w.wnd.GetWatcher(), 2));
        EXPECT_EQ(w.Screen(), ScreenOf(40, 50));
        ASSERT_TRUE(writer.Do("append line 50\\n"));
        EXPECT_TRUE(PumpUntil([&] { return w.Screen() == ScreenOf(41, 51); }));
    }
}

TEST_F(FollowTest, WindowsSharingOneMappingStayCorrectAndReloadOnTheirOwnMessages)
{
    testutil::TempDir dir;
    const std::string path = dir.Write("shared.log", Lines(0, 200));
    CMemoryMappedFile file;
    ASSERT_NE(file.Open(path.c_str(), false), nullptr);
    // `a` and `c` follow; `b` reloads only when the test hands it its
    // message, so that it has to live with the mapping the others moved.
    View a(&file, true), b(&file, false), c(&file, true);
    b.wnd.OnKeyDown(kVkHome);

    WriterProcess writer(path);
    ASSERT_TRUE(writer.Do("append line 200\\n"));
    ASSERT_TRUE(PumpUntil([&] { return a.Row(9) == "line 200" && c.Row(9) == "line 200"; }));
    EXPECT_EQ(b.Row(0), "line 0") << "b reads the re-mapped view through its offsets";
    EXPECT_EQ(b.Row(9), "line 9");

    // Shrunk below b's place: a and c reload, b has not yet.
    b.wnd.OnKeyDown(kVkEnd);
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

    // A failed re-map (the file emptied) leaves every window empty and safe;
    // rows read blank even before the reload (the guard's zeros), so the
    // re-mapping itself is waited for.
    ASSERT_TRUE(writer.Do("truncate 0"));
    ASSERT_TRUE(PumpUntil([&] { return file.View() == nullptr && a.wnd.CharacterCount() == 0; }));
    b.wnd.OnKeyDown(kVkNext);
    b.wnd.OnFileChanged(1, 0);
    for (View* v : {&a, &b, &c})
        EXPECT_TRUE(v->Row(0).empty());
    // The next growth shows the file again.
    ASSERT_TRUE(writer.Do("append back 1\\nback 2\\n"));
    ASSERT_TRUE(PumpUntil([&] { return a.Row(1) == "back 2" && c.Row(1) == "back 2"; }));
    b.wnd.OnFileChanged(1, 0);
    EXPECT_EQ(b.Row(0), "back 1");
    EXPECT_EQ(b.Row(1), "back 2");
}

// New Window after a rotation (the file renamed, a new one under its name):
// the new window follows the document's file, as the first one does.
TEST_F(FollowTest, ANewWindowAfterARotationFollowsTheDocumentsFile)
{
    testutil::TempDir dir;
    const std::string path = dir.Write("rot.log", Lines(0, 50));
    CTextFileDoc doc;
    ASSERT_TRUE(doc.OnOpenDocument(path.c_str()));
    View first(doc.GetMappedFile(), true);
    WriterProcess writer(path);
    ASSERT_TRUE(writer.Do("reopen"));
    ASSERT_TRUE(writer.Do("rename " + dir.File("rot.log.1")));
    dir.Write("rot.log", "NEW\n");
    View second(doc.GetMappedFile(), true);
    ASSERT_TRUE(writer.Do("append line 50\\n"));
    EXPECT_TRUE(PumpUntil([&] { return first.Row(9) == "line 50" && second.Row(9) == "line 50"; }));
    EXPECT_EQ(second.Row(0), "line 41");
}

// Under a low limit of open files a document costs one descriptor however
// many windows follow it; a file past the limit is refused without harm to
// the others, which all go on following. The start raises the limit.
TEST_F(FollowTest, EachDocumentCostsOneDescriptorAndEveryWindowFollowsUnderALowLimit)
{
    constexpr int kFiles = 60, kHeadroom = 40;
    testutil::TempDir dir;
    std::vector<std::string> paths;
    for (int i = 0; i < kFiles; ++i)
        paths.push_back(dir.Write("f" + std::to_string(i) + ".log", Lines(0, 20)));
    rlimit saved{};
    ASSERT_EQ(::getrlimit(RLIMIT_NOFILE, &saved), 0);
    const int before = static_cast<int>(followtest::DescriptorTargets().size());
    rlimit low = saved;
    low.rlim_cur = static_cast<rlim_t>(before + kHeadroom);
    ASSERT_EQ(::setrlimit(RLIMIT_NOFILE, &low), 0);

    std::vector<std::unique_ptr<CTextFileDoc>> docs;
    std::vector<std::unique_ptr<View>> views;
    for (const std::string& path : paths) {
        auto doc = std::make_unique<CTextFileDoc>();
        if (!doc->OnOpenDocument(path.c_str()))
            continue;
        for (int k = 0; k < 2; ++k)
            views.push_back(std::make_unique<View>(doc->GetMappedFile(), true));
        docs.push_back(std::move(doc));
    }
    const int used = static_cast<int>(followtest::DescriptorTargets().size()) - before;
    EXPECT_EQ(platform::RaiseOpenFileLimit(), static_cast<unsigned long>(saved.rlim_max));
    rlimit raised{};
    ASSERT_EQ(::getrlimit(RLIMIT_NOFILE, &raised), 0);
    EXPECT_EQ(raised.rlim_cur, saved.rlim_max);
    ASSERT_EQ(::setrlimit(RLIMIT_NOFILE, &saved), 0);

    EXPECT_LT(docs.size(), std::size_t(kFiles)) << "the limit was reached";
    EXPECT_GE(docs.size(), std::size_t(kHeadroom - 2));
    EXPECT_LE(used, static_cast<int>(docs.size()) + 1) << "one per document (and the one notification instance)";
    for (const auto& doc : docs)
        std::ofstream(doc->GetPathName(), std::ios::binary | std::ios::app) << "line 20\n";
    EXPECT_TRUE(PumpUntil(
        [&] { return std::all_of(views.begin(), views.end(), [](auto& v) { return v->Row(9) == "line 20"; }); }));
}

TEST_F(FollowTest, TwoHundredWindowsOnTwoHundredFilesAllFollowOnOneNotificationInstance)
{
    constexpr int kWindows = 200;  // more than the usual per-user limit of 128 instances
    std::vector<std::unique_ptr<Window>> windows;
    for (int i = 0; i < kWindows; ++i) {
        windows.push_back(std::make_unique<Window>(Lines(0, 5), 10, 40, EncodingAuto, true));
        ASSERT_TRUE(windows.back()->wnd.GetWatcher()->HasDirectoryNotification()) << i;
    }
    EXPECT_LE(followtest::InotifyInstances(), 1);
    for (auto& w : windows)
        w->dir.Append("text.log", "line 5\n");
    const std::uint64_t size = Lines(0, 6).size();
    ASSERT_TRUE(PumpUntil([&] {
        return std::all_of(windows.begin(), windows.end(), [&](auto& w) { return w->wnd.CharacterCount() == size; });
    }));
    for (auto& w : windows)
        EXPECT_EQ(w->Screen(), ScreenOf(0, 6));
}

}  // namespace
