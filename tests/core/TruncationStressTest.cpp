// A window keeps working while another process appends to its file and
// truncates it (copy-and-truncate rotation), and afterwards shows the file
// as it finally is.
#include "engine/LineFilter.h"
#include "file/FileWatcher.h"
#include "platform/SigbusGuard.h"
#include "tests/core/FollowUtil.h"
#include "tests/core/TestUtil.h"

#include <fcntl.h>
#include <random>

using followtest::PumpUntil;
using followtest::WriterProcess;
using testutil::Lines;
using testutil::Window;

namespace {

using TruncationTest = followtest::WatchingTest;

// One thing a user might do; every one of them reads the mapping.
void Poke(Window& w, unsigned what)
{
    CFileWnd& wnd = w.wnd;
    switch (what % 12) {
    case 0: wnd.OnKeyDown(kVkPrior); break;
    case 1: wnd.OnKeyDown(kVkNext); break;
    case 2: wnd.OnKeyDown(kVkEnd); break;
    case 3: wnd.OnKeyDown(kVkHome); break;
    case 4: wnd.OnVScroll(kSbPageUp); break;
    case 5: wnd.OnKeyDown(kVkUp); break;
    case 6: wnd.FindFirst(what & 16, u"stress line 1"); break;
    case 7: wnd.FindNext(false, u"x\nst"); break;
    case 8: wnd.CopyScreenToClipboard(); break;
    case 9: wnd.OnFileChanged(1, 0); break;  // a reload out of the watcher's rhythm
    case 10: wnd.OnMouseWheel(-240); break;
    default: wnd.OnHScroll(kSbLineRight); break;
    }
    w.port.Paint(wnd, (what & 1) != 0);
}

TEST_F(TruncationTest, WindowSurvivesAppendAndTruncateLoopAndShowsTheFinalContent)
{
    Window w(Lines(0, 3000, "seed line "), 20, 80, EncodingAuto, true);
    WriterProcess writer(w.Path());
    const unsigned seed = static_cast<unsigned>(::testing::UnitTest::GetInstance()->random_seed()) + 7u;
    ASSERT_TRUE(writer.Send("stress 4000 " + std::to_string(seed)));
    std::mt19937 rng(seed);
    int rounds = 0;
    for (; !writer.AnswerReady(); ++rounds) {
        platform::DrainPostedMessages();
        Poke(w, static_cast<unsigned>(rng()));
    }
    ASSERT_TRUE(writer.Await()) << writer.LastAnswer();
    RecordProperty("rounds", rounds);

    // Copy-and-truncate once more, and write the final text. The emptied
    // file is waited for first: the final size might otherwise equal the
    // last size the watcher saw, and a size-only check could not tell.
    ASSERT_TRUE(writer.Do("truncate 0"));
    ASSERT_TRUE(PumpUntil([&] { return w.wnd.CharacterCount() == 0; }));
    const std::string finalText = Lines(0, 12, "final ");
    std::string escaped;
    for (char c : finalText)
        escaped += c == '\n' ? std::string("\\n") : std::string(1, c);
    ASSERT_TRUE(writer.Do("append " + escaped));
    ASSERT_TRUE(PumpUntil([&] {
        w.wnd.OnHScroll(kSbLeft);  // the loop scrolled sideways, too; a reload keeps that
        return w.Screen() == testutil::ScreenOf(0, 12, "final ");
    })) << ::testing::PrintToString(w.Screen());
    w.wnd.OnKeyDown(kVkHome);
    w.wnd.CopyScreenToClipboard();
    EXPECT_EQ(std::string(w.port.m_clipboard.begin(), w.port.m_clipboard.end()), finalText + std::string(2, '\0'));
}

TEST_F(TruncationTest, ReadingATruncatedMappingBeforeItsReloadIsSafe)
{
    Window w(Lines(0, 20000, "old line "), 20, 80);
    const std::uint64_t faults = platform::GuardedFaultCount();
    WriterProcess writer(w.Path());
    ASSERT_TRUE(writer.Do("truncate 100"));
    // No reload yet: the window reads where the file no longer is.
    EXPECT_TRUE(w.Screen().empty());
    for (int i = 0; i < 50; ++i)
        w.wnd.OnKeyDown(kVkPrior);
    w.wnd.FindFirst(false, u"old line 19999");
    w.wnd.CopyScreenToClipboard();
    w.wnd.OnKeyDown(kVkHome);
    EXPECT_EQ(w.Screen().front(), "old line 0");
    EXPECT_EQ(platform::GuardedFaultCount(), faults + 1) << "one fault, however much of the lost range is read";
    EXPECT_TRUE(w.file->IsStale());

    w.wnd.OnFileChanged(1, 0);
    EXPECT_FALSE(w.file->IsStale());
    EXPECT_EQ(w.wnd.CharacterCount(), 100u);
}

TEST_F(TruncationTest, TruncatedAndRegrownToTheSameSizeIsStillReloaded)
{
    // Only the once-a-second check, so the file can be emptied and refilled
    // to its old size between two looks of the watcher.
    platform::DirWatch::SetEnabled(false);
    const std::string before = Lines(0, 2000, "aaaa "), after = Lines(0, 2000, "bbbb ");
    Window w(before, 10, 40, EncodingAuto, true);
    ASSERT_TRUE(followtest::WaitChecks(*w.wnd.GetWatcher(), 1));

    // Emptied and refilled at once (in this process, so that the watcher
    // rarely gets to see the empty file in between).
    const int fd = ::open(w.Path().c_str(), O_RDWR);
    ASSERT_EQ(::ftruncate(fd, 0), 0);
    w.port.Paint(w.wnd, true);  // reads the lost pages: zeros
    ASSERT_EQ(::pwrite(fd, after.data(), after.size(), 0), static_cast<ssize_t>(after.size()));
    ::close(fd);
    EXPECT_TRUE(PumpUntil([&] { return !w.Screen().empty() && w.Screen().back() == "bbbb 1999"; }))
        << "the zero pages must not stay";
}

// A filter reads through its own buffer: a file cut short under its scan
// gives short reads, the scan ends there, and a rebuild lists what is left.
TEST_F(TruncationTest, AFilterScanCutShortByATruncationEndsAndRebuildsSafely)
{
    testutil::TempDir dir;
    const std::string text = Lines(0, 300000, "line ");
    const std::string path = dir.Write("scan.log", text);
    const platform::FileHandle fd = platform::OpenReadShared(path);
    ASSERT_NE(fd, platform::kInvalidFile);
    linefilter::CLineFilter filter(4096);
    const linefilter::FilterQuery query{u"line 1", false, false, false};
    ASSERT_TRUE(filter.Start(std::make_unique<CPreadChunkReader>(fd), {EncodingAnsi}, query, 0,
                             static_cast<std::int64_t>(text.size()), nullptr));
    {
        WriterProcess writer(path);
        ASSERT_TRUE(writer.Do("truncate 100"));
    }
    filter.WaitIdle();
    const linefilter::FilterStatus cut = filter.Status();
    EXPECT_TRUE(cut.shortRead || cut.count == 111111) << "either cut short or done before the truncation";

    filter.Rebuild(platform::FileSizeByHandle(fd));
    filter.WaitIdle();
    std::vector<std::int64_t> listed, expected;
    for (std::int64_t i = 0; i < filter.Count(); ++i)
        listed.push_back(filter.At(i));
    for (std::size_t p = 0; p < 100; p = text.find('\n', p) + 1)
        if (text.compare(p, 6, "line 1") == 0 && p + 6 <= 100)
            expected.push_back(static_cast<std::int64_t>(p));
    EXPECT_EQ(listed, expected);
    EXPECT_FALSE(filter.Status().shortRead);
    platform::CloseFile(fd);
}

}  // namespace
