// A window's log format: found when a file is loaded, kept while the log
// grows, found again when it is cut or rewritten; Go to Time reads stamps by it.
#include "tests/core/TestUtil.h"

#include <fstream>

namespace {

std::string Logcat(int from, int to)
{
    std::string s;
    for (int i = from; i < to; ++i) {
        char line[96];
        std::snprintf(line, sizeof line, "03-17 16:%02d:%02d.000  1702  2395 %c Tag: event %d\n", i / 60, i % 60,
                      i % 5 ? 'I' : 'E', i);
        s += line;
    }
    return s;
}

}  // namespace

TEST(RecordFormat, FoundAtLoadKeptWhileGrowingFoundAgainWhenCut)
{
    const testutil::ScopedEnv zone("TZ", "UTC", ::tzset);
    testutil::Window w("a header without a stamp\n", 2, 80);
    ASSERT_TRUE(w.loaded);
    EXPECT_EQ(w.wnd.RecordFormat(), nullptr);
    EXPECT_FALSE(w.wnd.HasTimeStamps());
    const auto append = [&](const std::string& bytes) {
        std::ofstream(w.Path(), std::ios::app | std::ios::binary) << bytes;
        ASSERT_TRUE(w.wnd.LoadFile(nullptr, EncodingAuto));
    };
    // No format yet and the file has more than doubled: it is looked for again.
    append(Logcat(0, 200));
    const logformat::CFormat* logcat = w.wnd.RecordFormat();
    ASSERT_TRUE(logcat);
    EXPECT_EQ(logcat->Name(), "logcat threadtime");
    // Go to Time by the format: these stamps are none of the families it knew before.
    EXPECT_EQ(w.wnd.GoToTime("2026-03-17 16:02:00Z"), CFileWnd::TimeJump::Shown);
    EXPECT_EQ(w.Screen().at(0), "03-17 16:02:00.000  1702  2395 E Tag: event 120");
    // Growth keeps the format, whatever the new lines are.
    append("2026-12-07 10:00:00,1 INFO x\n2026-12-07 10:00:00,2 INFO y\n");
    EXPECT_EQ(w.wnd.RecordFormat(), logcat);
    // Cut and rewritten in another family: found again.
    {
        std::ofstream(w.Path(), std::ios::trunc | std::ios::binary) << "2026-12-07 10:00:00,1 INFO x\n";
    }
    ASSERT_TRUE(w.wnd.LoadFile(nullptr, EncodingAuto));
    ASSERT_TRUE(w.wnd.RecordFormat());
    EXPECT_EQ(w.wnd.RecordFormat()->Name(), "ISO 8601");
}
