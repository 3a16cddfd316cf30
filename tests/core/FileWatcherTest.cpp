// The watcher by itself: what it posts, to whom and when not, its
// registration rules, and its thread. Windows following real files are
// FollowTest's.
#include "file/FileWatcher.h"
#include "file/MemoryMappedFile.h"
#include "platform/SigbusGuard.h"
#include "tests/core/FollowUtil.h"
#include "tests/core/TestUtil.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

using followtest::PumpUntil;
using followtest::RecordingTarget;
using followtest::WaitChecks;
using testutil::TempDir;

namespace {

class FileWatcherTest : public followtest::WatchingTest {};

TEST_F(FileWatcherTest, EachSizeChangePostsOneMessageToEachWindowInOrder)
{
    for (const bool notified : {true, false}) {
        SCOPED_TRACE(notified ? "directory notification" : "the once-a-second check");
        platform::DirWatch::SetEnabled(notified);
        TempDir dir;
        const std::string path = dir.Write("a.log", "first\n");
        std::vector<platform::HWND> order;
        RecordingTarget r1, r2;
        r1.log = r2.log = &order;
        CFileWatcher w;
        ASSERT_TRUE(w.AddWindow(path.c_str(), r1.hwnd));
        ASSERT_TRUE(w.AddWindow(path.c_str(), r2.hwnd));
        EXPECT_EQ(w.HasDirectoryNotification(), notified);
        for (std::size_t k = 1; k <= 3; ++k) {
            if (k == 3)
                ASSERT_EQ(::truncate(path.c_str(), 2), 0);  // shrinking is a change too
            else
                dir.Append("a.log", "more\n");
            ASSERT_TRUE(PumpUntil([&] { return r1.got >= k && r2.got >= k; })) << "change " << k;
            ASSERT_TRUE(WaitChecks(w, 2));
            EXPECT_EQ(r1.got, k) << "later checks of the same size post nothing";
            EXPECT_EQ(r2.got, k);
        }
        EXPECT_EQ(order, (std::vector<platform::HWND>{r1.hwnd, r2.hwnd, r1.hwnd, r2.hwnd, r1.hwnd, r2.hwnd}));
        EXPECT_TRUE(w.RemoveWindow(r1.hwnd));
        EXPECT_TRUE(w.RemoveWindow(r2.hwnd));
    }
}

// A document that puts the file its name now names in place of the open one
// keeps the descriptor: a truncation of the new file caught in its mapping
// wakes the watcher, even when the file grows back to the same size before
// the watcher looks (no directory notification: only the short poll).
TEST_F(FileWatcherTest, ATruncationOfTheFileSwitchedToIsNoticed)
{
    platform::DirWatch::SetEnabled(false);
    TempDir dir;
    const std::string text = testutil::Lines(0, 2000);
    CMemoryMappedFile file(dir.Write("a.log", "old\n").c_str());
    RecordingTarget r;
    CFileWatcher w;
    ASSERT_TRUE(w.AddWindow(file.Path(), r.hwnd, file.Handle()));
    ASSERT_EQ(::rename(dir.File("a.log").c_str(), dir.File("a.log.1").c_str()), 0);
    ASSERT_TRUE(file.ReplaceFile(platform::OpenReadShared(dir.Write("a.log", text))));
    ASSERT_TRUE(PumpUntil([&] { return r.got == 1; })) << "the switch is a change of size";
    ASSERT_TRUE(WaitChecks(w, 2));

    // A mapping of the new file read past its end, as after a truncation regrown at once: a change, though the
    // size is the same (read here without racing the watcher to the empty file).
    const long page = ::sysconf(_SC_PAGESIZE);
    const auto mapped = static_cast<std::size_t>((static_cast<long>(text.size()) / page + 2) * page);
    const int fd = ::open(dir.File("a.log").c_str(), O_RDONLY);
    auto* view = static_cast<std::uint8_t*>(::mmap(nullptr, mapped, PROT_READ, MAP_SHARED, fd, 0));
    ASSERT_NE(view, MAP_FAILED);
    platform::RegisterGuardedMapping(view, mapped, fd);
    EXPECT_EQ(static_cast<volatile std::uint8_t*>(view)[mapped - 1], 0) << "caught: reads zero";
    EXPECT_TRUE(PumpUntil([&] { return r.got == 2; }));
    platform::UnregisterGuardedMapping(view);
    ::munmap(view, mapped);
    ::close(fd);
    EXPECT_TRUE(w.RemoveWindow(r.hwnd));
}

// A file that grows faster than its windows reload must neither queue notes
// without end nor keep the drain (and so painting) from ever returning.
TEST_F(FileWatcherTest, WaitingNotesAreNotRepeatedAndADrainEnds)
{
    struct Reposting : RecordingTarget {
        std::intptr_t HandleMessage(unsigned msg, std::uintptr_t wParam, std::intptr_t lParam) override
        {
            RecordingTarget::HandleMessage(msg, wParam, lParam);
            platform::PostWindowMessage(hwnd, msg, wParam, lParam);  // as a watcher posting during the reload
            return 0;
        }
    };
    Reposting busy;
    RecordingTarget other;
    for (int i = 0; i < 3; ++i)
        EXPECT_TRUE(platform::PostWindowMessage(busy.hwnd, platform::WM_FILE_CHANGED, 1, 0));
    EXPECT_TRUE(platform::PostWindowMessage(other.hwnd, platform::WM_FILE_CHANGED, 1, 0));
    EXPECT_EQ(platform::PendingPostedMessages(), 2);
    for (std::size_t drain = 1; drain <= 3; ++drain) {
        EXPECT_EQ(platform::DrainPostedMessages(), drain == 1 ? 2 : 1);
        EXPECT_EQ(busy.got, drain);
        EXPECT_EQ(platform::PendingPostedMessages(), 1);
    }
    busy.Destroy();
    EXPECT_EQ(platform::DrainPostedMessages(), 0);
    EXPECT_EQ(other.got, 1u);
}

TEST_F(FileWatcherTest, RewritesInPlaceOtherFilesAndGoneWindowsGetNothing)
{
    TempDir dir;
    const std::string path = dir.Write("a.log", "0123456789\n");
    RecordingTarget r, gone;
    CFileWatcher w;
    ASSERT_TRUE(w.AddWindow(path.c_str(), r.hwnd));
    ASSERT_TRUE(w.AddWindow(path.c_str(), gone.hwnd));
    const int fd = ::open(path.c_str(), O_WRONLY);
    ASSERT_EQ(::pwrite(fd, "abcde", 5, 2), 5);
    ::close(fd);
    dir.Write("other.log", "another file in the same directory\n");
    dir.Append("other.log", "grows\n");
    ASSERT_TRUE(WaitChecks(w, 2));
    EXPECT_EQ(r.got, 0u) << "only a change of the watched file's size is reported";

    gone.Destroy();  // destroyed without leaving the watcher
    dir.Append("a.log", "x");
    EXPECT_TRUE(PumpUntil([&] { return r.got == 1; }));
    EXPECT_EQ(gone.got, 0u);
    EXPECT_EQ(platform::PendingPostedMessages(), 0);
    w.RemoveWindow(r.hwnd);
}

TEST_F(FileWatcherTest, RegistrationRules)
{
    TempDir dir;
    const std::string path = dir.Write("a.log", "a\n");
    const std::string other = dir.Write("b.log", "b\n");
    const std::string upper = dir.Write("A.log", "A\n");
    RecordingTarget r1, r2, stranger;
    CFileWatcher w;
    EXPECT_FALSE(w.AddWindow(nullptr, r1.hwnd));
    EXPECT_FALSE(w.IsWatching());
    EXPECT_FALSE(w.RemoveWindow(stranger.hwnd)) << "removing from an idle watcher is harmless";
    EXPECT_TRUE(w.AddWindow(path.c_str(), r1.hwnd));
    EXPECT_FALSE(w.AddWindow(path.c_str(), r1.hwnd)) << "a window registers once";
    EXPECT_FALSE(w.AddWindow(other.c_str(), r2.hwnd)) << "one watcher follows one file";
    EXPECT_FALSE(w.AddWindow(upper.c_str(), r2.hwnd)) << "POSIX names differing in case are other files";
    EXPECT_TRUE(w.AddWindow(path.c_str(), r2.hwnd));
    EXPECT_FALSE(w.RemoveWindow(stranger.hwnd));
    EXPECT_TRUE(w.RemoveWindow(r1.hwnd));
    EXPECT_FALSE(w.RemoveWindow(r1.hwnd));
    EXPECT_TRUE(w.IsWatching()) << "a window is left: it keeps following";
    EXPECT_TRUE(w.RemoveWindow(r2.hwnd));
    EXPECT_FALSE(w.IsWatching());

    // Idle again: it may start anew, on another file.
    EXPECT_TRUE(w.AddWindow(other.c_str(), r1.hwnd));
    dir.Append("b.log", "more\n");
    dir.Append("a.log", "more\n");
    EXPECT_TRUE(PumpUntil([&] { return r1.got == 1; }));
    ASSERT_TRUE(WaitChecks(w, 2));
    EXPECT_EQ(r1.got, 1u);
    EXPECT_EQ(r2.got, 0u);
    EXPECT_TRUE(w.RemoveWindow(r1.hwnd));

    // A file it cannot open for its size is said, for that file.
    const std::string missing = dir.File("missing.log");
    testing::internal::CaptureStderr();
    EXPECT_TRUE(w.AddWindow(missing.c_str(), r1.hwnd));
    EXPECT_NE(testing::internal::GetCapturedStderr().find("cannot follow '" + missing + "'"), std::string::npos);
    EXPECT_TRUE(w.RemoveWindow(r1.hwnd));
}

TEST_F(FileWatcherTest, TheThreadEndsWithTheLastWindowOrTheWatcher)
{
    // A joined thread's /proc entry goes a moment after the join returns (the kernel wakes the joiner before it
    // reaps the thread); a thread that was never joined stays for good.
    const auto Gone = [](int tid) { return PumpUntil([tid] { return !followtest::ThreadExists(tid); }, 5000); };
    TempDir dir;
    const std::string path = dir.Write("a.log", "a\n");
    for (const bool leave : {true, false}) {
        RecordingTarget r;
        int tid = 0;
        {
            CFileWatcher w;
            ASSERT_TRUE(w.AddWindow(path.c_str(), r.hwnd));
            ASSERT_TRUE(PumpUntil([&] { return w.ThreadId() != 0; }));
            tid = w.ThreadId();
            EXPECT_TRUE(followtest::ThreadExists(tid));
            if (leave) {
                EXPECT_TRUE(w.RemoveWindow(r.hwnd));
                EXPECT_TRUE(Gone(tid)) << "joined when the last window leaves";
                EXPECT_EQ(w.ThreadId(), 0);
            }
        }
        EXPECT_TRUE(Gone(tid)) << "and by the destructor of a watcher not left";
    }
}

TEST_F(FileWatcherTest, TheDirectoryOfAPath)
{
    char cwd[4096];
    ASSERT_NE(::getcwd(cwd, sizeof cwd), nullptr);
    const std::string here(cwd), longDir(300, 'd');  // no 260-character limit
    const std::pair<std::string, std::string> rows[] = {
        {"/x.log", "/"},
        {"//x.log", "/"},
        {"/var/log/syslog", "/var/log"},
        {"/var//log//syslog", "/var//log"},
        {"/" + longDir + "/f", "/" + longDir},
        {"app.log", here},
        {"sub/app.log", (here == "/" ? "" : here) + "/sub"},
    };
    for (const auto& [path, directory] : rows)
        EXPECT_EQ(CFileWatcher::DirectoryOf(path), directory) << path;

    // A relative path is followed in its directory, by notification.
    TempDir dir;
    dir.Write("rel.log", "r\n");
    ASSERT_EQ(::chdir(dir.Path().c_str()), 0);
    RecordingTarget r;
    CFileWatcher w;
    const bool added = w.AddWindow("rel.log", r.hwnd);
    ASSERT_EQ(::chdir(cwd), 0);
    ASSERT_TRUE(added);
    EXPECT_TRUE(w.HasDirectoryNotification());
    dir.Append("rel.log", "more\n");
    EXPECT_TRUE(PumpUntil([&] { return r.got == 1; }));
    w.RemoveWindow(r.hwnd);
}

}  // namespace
