// The text window's record summaries over the life of its file: made when the file has a format, told of
// growth under a writer, made anew for a cut, another file or a text without a format, and joined when the
// window goes while they still run.
#include "engine/Timeline.h"
#include "tests/core/TestUtil.h"

#include <atomic>
#include <thread>

using testutil::Window;

namespace {

const char* const kLevelWords[] = {"", "FATAL", "ERROR", "WARN", "INFO", "DEBUG", "TRACE"};

// n records from record `first` on, one a second, level by record number (0: none); counted into `levels`.
std::string Records(int first, int n, std::uint64_t (&levels)[logformat::kLevels])
{
    std::string s;
    for (int i = first; i < first + n; ++i) {
        const int level = i % logformat::kLevels;
        ++levels[level];
        s += testutil::IsoStampMicros(1765100000000000 + std::int64_t{i} * 1000000) + " " + kLevelWords[level] +
             (level ? " " : "") + "[main] request " + std::to_string(i) + "\n";
    }
    return s;
}

// Every level's count as the window's summaries have it, after they finished; empty without summaries.
std::vector<std::uint64_t> Counts(CFileWnd& wnd)
{
    wnd.WaitRecordSummaries();
    const logformat::CRecordSummaries* sums = wnd.GetRecordSummaries();
    if (!sums)
        return {};
    timeline::CTimeline tl;
    tl.Build(*sums, 7, wnd.DataStart(), wnd.DataEnd());
    return {std::begin(tl.Totals().n), std::end(tl.Totals().n)};
}

std::vector<std::uint64_t> Of(const std::uint64_t (&levels)[logformat::kLevels])
{
    return {std::begin(levels), std::end(levels)};
}

}  // namespace

TEST(SummariesWindow, FollowTheFileThroughGrowthCutsAndAnotherText)
{
    std::uint64_t levels[logformat::kLevels] = {};
    Window w(Records(0, 500, levels));
    ASSERT_TRUE(w.loaded);
    EXPECT_EQ(w.wnd.GetRecordSummaries(), nullptr) << "no pass while nothing shows the summaries";
    w.wnd.SetSummariesWanted(true);
    ASSERT_NE(w.wnd.GetRecordSummaries(), nullptr);
    EXPECT_EQ(Counts(w.wnd), Of(levels));

    struct Step {
        const char* what;
        bool append;         // else the file is written anew
        int first, n;        // records
        bool plain = false;  // a text without a format
        bool wanted = true;  // something shows the summaries
    };
    const Step steps[] = {
        {"grown", true, 500, 300},
        {"grown again", true, 800, 5000},
        {"cut to fewer records", false, 0, 40},
        {"a text without a format", false, 0, 0, true},
        {"a log again", false, 100, 900},
        {"grown while nothing shows them", true, 1000, 300, false, false},
        {"shown again, and grown", true, 1300, 20},
    };
    for (const Step& s : steps) {
        if (!s.append)
            std::fill(std::begin(levels), std::end(levels), 0);
        const std::string bytes = s.plain ? std::string("plain words\nno times here\n") : Records(s.first, s.n, levels);
        if (s.append)
            w.dir.Append("text.log", bytes);
        else
            w.dir.Write("text.log", bytes);
        w.wnd.SetSummariesWanted(s.wanted);
        ASSERT_TRUE(w.wnd.LoadFile(nullptr, EncodingAuto)) << s.what;
        if (s.plain || !s.wanted) {
            EXPECT_EQ(w.wnd.GetRecordSummaries(), nullptr) << s.what;
            continue;
        }
        EXPECT_EQ(Counts(w.wnd), Of(levels)) << s.what;
    }
}

TEST(SummariesWindow, AFileGrowingUnderAWriterIsSummarisedToItsLastRecord)
{
    std::uint64_t levels[logformat::kLevels] = {};
    Window w(Records(0, 100, levels));
    ASSERT_TRUE(w.loaded);
    w.wnd.SetSummariesWanted(true);
    std::atomic<bool> done{false};
    std::uint64_t written[logformat::kLevels] = {};
    std::thread writer([&] {
        for (int batch = 0; batch < 60; ++batch)
            w.dir.Append("text.log", Records(100 + batch * 400, 400, written));
        done = true;
    });
    // The window reloads as a watcher would tell it to, while the writer writes and the pass runs.
    while (!done)
        w.wnd.LoadFile(nullptr, EncodingAuto);
    writer.join();
    w.wnd.LoadFile(nullptr, EncodingAuto);
    for (int l = 0; l < logformat::kLevels; ++l)
        levels[l] += written[l];
    EXPECT_EQ(Counts(w.wnd), Of(levels));
}

TEST(SummariesWindow, AWindowThatGoesWhileThePassRunsJoinsItFirst)
{
    std::uint64_t levels[logformat::kLevels] = {};
    std::string big;
    for (int k = 0; k < 40; ++k)
        big += Records(k * 5000, 5000, levels);  // some 18 MiB: the pass is still running when the window goes
    for (int round = 0; round < 3; ++round) {
        auto w = std::make_unique<Window>(big);
        ASSERT_TRUE(w->loaded);
        w->wnd.SetSummariesWanted(true);
        const logformat::CRecordSummaries* sums = w->wnd.GetRecordSummaries();
        ASSERT_NE(sums, nullptr);
        w->wnd.OnDestroy();
        EXPECT_EQ(w->wnd.GetRecordSummaries(), nullptr);
        w->file.reset();  // the descriptor closes after the pass was joined
        w.reset();
    }
}
