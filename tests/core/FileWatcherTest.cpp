#include "file/FileWatcher.h"
#include "file/MemoryMappedFile.h"
#include "platform/DirWatch.h"
#include "FollowUtil.h"
#include "TestUtil.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using followtest::MsSince;
using followtest::PumpUntil;
using followtest::RecordingTarget;
using testutil::TempDir;

namespace {

class FileWatcherTest : public followtest::WatchingTest {
protected:

    // Waits until the watcher has made `n` more size checks than now, so that
    // a change made before this call has certainly been looked at.
    static bool WaitChecks(const CFileWatcher& w, int n, int timeoutMs = 5000)
    {
        const std::uint64_t target = w.CheckCount() + static_cast<std::uint64_t>(n);
        return PumpUntil([&] { return w.CheckCount() >= target; }, timeoutMs);
    }
};

TEST_F(FileWatcherTest, EachAppendPostsOneMessageToEachWindowInOrder)
{
    TempDir dir;
    const std::string path = dir.Write("a.log", "first\n");
    std::vector<platform::HWND> order;
    RecordingTarget r1, r2;
    r1.log = r2.log = &order;
    CFileWatcher w;
    ASSERT_TRUE(w.AddWindow(path.c_str(), r1.hwnd));
    ASSERT_TRUE(w.AddWindow(path.c_str(), r2.hwnd));
    EXPECT_TRUE(w.IsWatching());
    EXPECT_TRUE(w.HasDirectoryNotification());

    for (int k = 1; k <= 3; ++k) {
        const auto t0 = followtest::Clock::now();
        dir.Append("a.log", "more " + std::to_string(k) + "\n");
        ASSERT_TRUE(PumpUntil([&] { return r1.got.size() >= std::size_t(k) && r2.got.size() >= std::size_t(k); }))
            << "append " << k << " was not reported";
        const double ms = MsSince(t0);
        RecordProperty("append_to_message_ms_" + std::to_string(k), std::to_string(ms));
        EXPECT_LT(ms, 1500.0) << "a change must be noticed within about a second";
        // Later checks of the same size post nothing more.
        ASSERT_TRUE(WaitChecks(w, 2));
        EXPECT_EQ(r1.got.size(), std::size_t(k));
        EXPECT_EQ(r2.got.size(), std::size_t(k));
    }
    for (const auto* r : {&r1, &r2})
        for (const auto& g : r->got) {
            EXPECT_EQ(g.wParam, 1u);
            EXPECT_EQ(g.lParam, 0);
        }
    ASSERT_EQ(order.size(), 6u);
    for (std::size_t i = 0; i < order.size(); i += 2) {
        EXPECT_EQ(order[i], r1.hwnd) << "windows are told in order of registration";
        EXPECT_EQ(order[i + 1], r2.hwnd);
    }
    EXPECT_TRUE(w.RemoveWindow(r1.hwnd));
    EXPECT_TRUE(w.RemoveWindow(r2.hwnd));
}

TEST_F(FileWatcherTest, RewriteInPlaceAndOtherFilesPostNothing)
{
    TempDir dir;
    const std::string path = dir.Write("a.log", "0123456789\n");
    RecordingTarget r;
    CFileWatcher w;
    ASSERT_TRUE(w.AddWindow(path.c_str(), r.hwnd));

    {
        const int fd = ::open(path.c_str(), O_WRONLY);
        ASSERT_GE(fd, 0);
        ASSERT_EQ(::pwrite(fd, "abcde", 5, 2), 5);
        ::close(fd);
    }
    ASSERT_TRUE(WaitChecks(w, 2));
    dir.Write("other.log", "another file in the same directory\n");
    dir.Append("other.log", "grows\n");
    ASSERT_TRUE(WaitChecks(w, 2));
    EXPECT_TRUE(r.got.empty()) << "only a change of the watched file's size is reported";

    // The watcher is still alive and reports the next real change.
    dir.Append("a.log", "x");
    EXPECT_TRUE(PumpUntil([&] { return r.got.size() == 1; }));
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
    // POSIX names differing only in letter case are different files.
    EXPECT_FALSE(w.AddWindow(upper.c_str(), r2.hwnd));
    EXPECT_TRUE(w.AddWindow(path.c_str(), r2.hwnd));

    EXPECT_FALSE(w.RemoveWindow(stranger.hwnd));
    EXPECT_TRUE(w.IsWatching()) << "windows are left: keep following";
    EXPECT_TRUE(w.RemoveWindow(r1.hwnd));
    EXPECT_FALSE(w.RemoveWindow(r1.hwnd));
    EXPECT_TRUE(w.IsWatching());
    EXPECT_TRUE(w.RemoveWindow(r2.hwnd));
    EXPECT_FALSE(w.IsWatching());

    // Idle again: it may start anew, on another file.
    EXPECT_TRUE(w.AddWindow(other.c_str(), r1.hwnd));
    dir.Append("b.log", "more\n");
    dir.Append("a.log", "more\n");
    EXPECT_TRUE(PumpUntil([&] { return r1.got.size() == 1; }));
    ASSERT_TRUE(WaitChecks(w, 2));
    EXPECT_EQ(r1.got.size(), 1u);
    EXPECT_TRUE(r2.got.empty());
    EXPECT_TRUE(w.RemoveWindow(r1.hwnd));
}

TEST_F(FileWatcherTest, StoppingEndsTheThreadWithoutWaitingOutTheSecond)
{
    TempDir dir;
    const std::string path = dir.Write("a.log", "a\n");
    for (bool notified : {true, false}) {
        platform::DirWatch::SetEnabled(notified);
        RecordingTarget r;
        CFileWatcher w;
        ASSERT_TRUE(w.AddWindow(path.c_str(), r.hwnd));
        ASSERT_TRUE(PumpUntil([&] { return w.ThreadId() != 0; }));
        const int tid = w.ThreadId();
        EXPECT_TRUE(followtest::ThreadExists(tid));
        ASSERT_TRUE(WaitChecks(w, 1));  // the thread is now in its 1000 ms wait

        const auto t0 = followtest::Clock::now();
        EXPECT_TRUE(w.RemoveWindow(r.hwnd));
        const double ms = MsSince(t0);
        EXPECT_FALSE(w.IsWatching());
        EXPECT_FALSE(followtest::ThreadExists(tid)) << "the thread really ended";
        EXPECT_EQ(w.ThreadId(), 0);
        RecordProperty(notified ? "stop_ms_inotify" : "stop_ms_polling", std::to_string(ms));
        EXPECT_LT(ms, 900.0) << "the stop wakes the thread at once";
    }
}

TEST_F(FileWatcherTest, DestroyedWindowIsSkippedOthersAreStillTold)
{
    TempDir dir;
    const std::string path = dir.Write("a.log", "a\n");
    RecordingTarget gone, alive;
    CFileWatcher w;
    ASSERT_TRUE(w.AddWindow(path.c_str(), gone.hwnd));
    ASSERT_TRUE(w.AddWindow(path.c_str(), alive.hwnd));
    gone.Destroy();  // destroyed without leaving the watcher
    dir.Append("a.log", "b\n");
    ASSERT_TRUE(PumpUntil([&] { return alive.got.size() == 1; }));
    EXPECT_TRUE(gone.got.empty());
    EXPECT_EQ(platform::PendingPostedMessages(), 0);
}

TEST_F(FileWatcherTest, WithoutDirectoryNotificationStillFollowsWithinASecond)
{
    platform::DirWatch::SetEnabled(false);
    TempDir dir;
    const std::string path = dir.Write("a.log", "a\n");
    RecordingTarget r;
    CFileWatcher w;
    ASSERT_TRUE(w.AddWindow(path.c_str(), r.hwnd));
    EXPECT_FALSE(w.HasDirectoryNotification());
    for (int k = 1; k <= 2; ++k) {
        const auto t0 = followtest::Clock::now();
        dir.Append("a.log", "b\n");
        ASSERT_TRUE(PumpUntil([&] { return r.got.size() == std::size_t(k); }, 5000));
        const double ms = MsSince(t0);
        RecordProperty("polling_append_to_message_ms_" + std::to_string(k), std::to_string(ms));
        EXPECT_LT(ms, 2000.0) << "the once-a-second check must notice it";
    }
    w.RemoveWindow(r.hwnd);
}

TEST_F(FileWatcherTest, DirectoryOfKeepsRootAndResolvesRelativePaths)
{
    EXPECT_EQ(CFileWatcher::DirectoryOf("/x.log"), "/");
    EXPECT_EQ(CFileWatcher::DirectoryOf("//x.log"), "/");
    EXPECT_EQ(CFileWatcher::DirectoryOf("/var/log/syslog"), "/var/log");
    EXPECT_EQ(CFileWatcher::DirectoryOf("/var//log//syslog"), "/var//log");
    const std::string longDir(300, 'd');  // no 260-character limit
    EXPECT_EQ(CFileWatcher::DirectoryOf("/" + longDir + "/f"), "/" + longDir);
    char cwd[4096];
    ASSERT_NE(::getcwd(cwd, sizeof cwd), nullptr);
    const std::string here(cwd);
    EXPECT_EQ(CFileWatcher::DirectoryOf("app.log"), here);
    EXPECT_EQ(CFileWatcher::DirectoryOf("sub/app.log"), (here == "/" ? "" : here) + "/sub");
}

TEST_F(FileWatcherTest, RelativeAndTopLevelPathsAreFollowedAtOnce)
{
    TempDir dir;
    dir.Write("rel.log", "r\n");
    char cwd[4096];
    ASSERT_NE(::getcwd(cwd, sizeof cwd), nullptr);
    ASSERT_EQ(::chdir(dir.Path().c_str()), 0);
    RecordingTarget r;
    CFileWatcher w;
    const bool added = w.AddWindow("rel.log", r.hwnd);
    ASSERT_EQ(::chdir(cwd), 0);
    ASSERT_TRUE(added);
    EXPECT_TRUE(w.HasDirectoryNotification());
    dir.Append("rel.log", "more\n");
    EXPECT_TRUE(PumpUntil([&] { return r.got.size() == 1; }, 900)) << "notified, not polled";
    w.RemoveWindow(r.hwnd);

    // Files directly under a short absolute directory, and under "/" when we may write there.
    for (const std::string top : {"/tmp", ""}) {
        const std::string file = top + "/ostrel-watch-" + std::to_string(::getpid()) + ".log";
        const int fd = ::open(file.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (fd < 0) {
            EXPECT_NE(top, "/tmp");
            continue;
        }
        ASSERT_EQ(::write(fd, "a\n", 2), 2);
        RecordingTarget t;
        CFileWatcher tw;
        ASSERT_TRUE(tw.AddWindow(file.c_str(), t.hwnd));
        EXPECT_TRUE(tw.HasDirectoryNotification()) << file;
        ASSERT_EQ(::write(fd, "b\n", 2), 2);
        EXPECT_TRUE(PumpUntil([&] { return t.got.size() == 1; }, 900)) << file;
        tw.RemoveWindow(t.hwnd);
        ::close(fd);
        ::unlink(file.c_str());
    }
}

TEST_F(FileWatcherTest, TruncationCaughtByTheGuardIsReportedEvenAtTheSameSize)
{
    // Without directory notification the watcher looks only once a second,
    // so the file can be truncated and regrown to its old size between two
    // looks: the size alone would say nothing happened.
    platform::DirWatch::SetEnabled(false);
    TempDir dir;
    const std::string content(5 * 4096 + 100, 'q');
    const std::string path = dir.Write("a.log", content);
    CMemoryMappedFile mapped;
    ASSERT_NE(mapped.Open(path.c_str(), false), nullptr);
    RecordingTarget r;
    CFileWatcher w;
    ASSERT_TRUE(w.AddWindow(path.c_str(), r.hwnd));
    ASSERT_TRUE(WaitChecks(w, 1));  // just after a look: about a second until the next

    ASSERT_EQ(::truncate(path.c_str(), 0), 0);
    const volatile std::uint8_t* view = mapped.View();
    EXPECT_EQ(view[3 * 4096], 0) << "the lost page reads as zero";
    EXPECT_TRUE(mapped.IsStale());
    dir.Write("a.log", content);  // back to the same size
    ASSERT_TRUE(PumpUntil([&] { return r.got.size() >= 1; }, 5000));
    EXPECT_EQ(r.got[0].wParam, 1u);
    ASSERT_NE(mapped.Remap(0), nullptr);
    EXPECT_FALSE(mapped.IsStale());
    EXPECT_EQ(mapped.View()[3 * 4096], 'q');
    w.RemoveWindow(r.hwnd);
}

TEST_F(FileWatcherTest, ManyWatchersShareOneNotificationInstance)
{
    TempDir dir;
    constexpr int kCount = 150;  // more than the usual per-user limit of 128 instances
    std::vector<std::unique_ptr<RecordingTarget>> targets;
    std::vector<std::unique_ptr<CFileWatcher>> watchers;
    for (int i = 0; i < kCount; ++i) {
        const std::string name = "f" + std::to_string(i) + ".log";
        dir.Write(name, "x\n");
        targets.push_back(std::make_unique<RecordingTarget>());
        watchers.push_back(std::make_unique<CFileWatcher>());
        ASSERT_TRUE(watchers.back()->AddWindow(dir.File(name).c_str(), targets.back()->hwnd));
        EXPECT_TRUE(watchers.back()->HasDirectoryNotification()) << i;
    }
    EXPECT_LE(followtest::InotifyInstances(), 1);
    for (int i = 0; i < kCount; i += 7)
        dir.Append("f" + std::to_string(i) + ".log", "y\n");
    EXPECT_TRUE(PumpUntil([&] {
        for (int i = 0; i < kCount; i += 7)
            if (targets[std::size_t(i)]->got.size() != 1)
                return false;
        return true;
    }));
    for (int i = 0; i < kCount; ++i)
        EXPECT_EQ(targets[std::size_t(i)]->got.size(), i % 7 == 0 ? 1u : 0u) << i;
    for (int i = 0; i < kCount; ++i)
        watchers[std::size_t(i)]->RemoveWindow(targets[std::size_t(i)]->hwnd);
}

TEST_F(FileWatcherTest, DestructorStopsAWatcherThatWasNotLeft)
{
    TempDir dir;
    const std::string path = dir.Write("a.log", "a\n");
    RecordingTarget r;
    int tid = 0;
    {
        CFileWatcher w;
        ASSERT_TRUE(w.AddWindow(path.c_str(), r.hwnd));
        ASSERT_TRUE(PumpUntil([&] { return w.ThreadId() != 0; }));
        tid = w.ThreadId();
    }
    EXPECT_FALSE(followtest::ThreadExists(tid));
}

}  // namespace
