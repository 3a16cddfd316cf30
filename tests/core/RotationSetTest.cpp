// The older parts of a log found by their names: every naming style, mixed styles and decoys.
#include "file/RotationSet.h"
#include "tests/core/CompressUtil.h"
#include "tests/core/TestUtil.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

namespace {

struct Case {
    const char* what;
    std::string current;
    std::vector<std::string> folder;  // in the folder's own order
    std::vector<std::string> parts;   // expected, oldest first
};

TEST(RotationSet, FindsPartsOfEveryStyleOldestFirst)
{
    const std::vector<Case> cases = {
        {"numbers, the higher the older, compressed or not",
         "app.log",
         {"app.log", "app.log.1", "app.log.3.gz", "app.log.2.xz", "app.log.10.zst", "app.log.4.bz2"},
         {"app.log.10.zst", "app.log.4.bz2", "app.log.3.gz", "app.log.2.xz", "app.log.1"}},
        {"a name without an extension", "syslog", {"syslog.2.gz", "syslog", "syslog.1"}, {"syslog.2.gz", "syslog.1"}},
        {"number zero is the newest part",
         "messages",
         {"messages.0", "messages.1.bz2"},
         {"messages.1.bz2", "messages.0"}},
        {"logrotate's dateext, compressed or not, with an hour",
         "app.log",
         {"app.log-20261206", "app.log-20261204.gz", "app.log-2026120610", "app.log-2026120609.gz"},
         {"app.log-20261204.gz", "app.log-20261206", "app.log-2026120609.gz", "app.log-2026120610"}},
        {"dates after a dot, with hours and indices",
         "app.log",
         {"app.log.2026-12-06.1.gz", "app.log.2026-12-06", "app.log.2026-12-05_23", "app.log.2026-12-06.0.gz",
          "app.log.2026-12-05-22", "app.log.20261204"},
         {"app.log.20261204", "app.log.2026-12-05-22", "app.log.2026-12-05_23", "app.log.2026-12-06",
          "app.log.2026-12-06.0.gz", "app.log.2026-12-06.1.gz"}},
        {"marks between the stem and the extension",
         "app.log",
         {"app-2026-12-06.log", "app.2026-12-05.log.gz", "app-20261204.log", "app.1.log", "app-2026-12-06.1.log",
          "app.2.log.xz"},
         {"app-20261204.log", "app.2026-12-05.log.gz", "app-2026-12-06.log", "app-2026-12-06.1.log", "app.2.log.xz",
          "app.1.log"}},
        {"mixed styles: dated parts before numbered ones",
         "app.log",
         {"app.log.1", "app.log-20261205.gz", "app.log.2026-12-06", "app.log.2.gz"},
         {"app.log-20261205.gz", "app.log.2026-12-06", "app.log.2.gz", "app.log.1"}},
        {"a part plain and compressed at once: the plain one",
         "app.log",
         {"app.log.2.gz", "app.log.2", "app.log.1"},
         {"app.log.2", "app.log.1"}},
        {"decoys: other suffixes, other logs, the log itself compressed",
         "app.log",
         {"app.log.bak", "app.log.1.swp", "other.log.1", "app.log.1.gz.tmp", "app.logx.1", "xapp.log.1", "app.log.",
          "app.log.-1", "app.log.1a", "app.log.gz", "app.log.1234567", "app.log-1", "app.log.old.1", "app.log1",
          "app.1.txt", "app..log", "app.log.2026-12-06.x"},
         {}},
        {"decoys: no day of the calendar, no hour of the day",
         "app.log",
         {"app.log-20261306", "app.log.2026-02-30", "app.log-2026120624", "app.log.2026-12-06_25", "app.log-19601206",
          "app.log-2025-02-29.gz", "app.log.2024-02-29"},
         {"app.log.2024-02-29"}},
        {"a hidden log: its leading dot is no extension",
         ".history",
         {".history.1", ".1.history", ".history"},
         {".history.1"}},
    };
    for (const Case& c : cases) {
        std::vector<rotation::Name> names;
        for (const std::string& n : c.folder)
            names.push_back({n, true});
        EXPECT_EQ(rotation::OlderParts(c.current, names), c.parts) << c.what;
    }
}

TEST(RotationSet, ReadsTheFolderSkippingFoldersAndKnowsCompressedNames)
{
    testutil::TempDir dir;
    for (const char* n : {"app.log", "app.log.1", "app.log.2.gz", "app.log.bak"})
        dir.Write(n, "x\n");
    ::mkdir((dir.Path() + "/app.log.3").c_str(), 0700);  // a folder named like a part
    const std::vector<std::string> set = rotation::SetOf(dir.Path() + "/app.log");
    EXPECT_EQ(set, (std::vector<std::string>{dir.Path() + "/app.log.2.gz", dir.Path() + "/app.log.1",
                                             dir.Path() + "/app.log"}));
    EXPECT_EQ(rotation::SetOf(dir.Path() + "/missing/app.log"),
              std::vector<std::string>{dir.Path() + "/missing/app.log"});
    const std::vector<std::pair<std::string, bool>> compressed = {
        {"a.1.gz", true}, {"a.1.xz", true}, {"a.1.zst", true}, {"a.1.bz2", true}, {"a.1", false}, {"a.gzip", false}};
    for (const auto& [name, is] : compressed)
        EXPECT_EQ(rotation::IsCompressedName(name), is) << name;

    // The text a part holds, guessed before it is read: a gzip part's from its trailer, any other's its size.
    const std::string text(100000, 'x');
    dir.Write("t.1.gz", compresstest::Compress(Compression::Gzip, text));
    dir.Write("t.2.xz", compresstest::Compress(Compression::Xz, text));
    dir.Write("t.3", text);
    dir.Write("t.4.gz", "short");  // too short for a trailer
    EXPECT_EQ(rotation::TextSizeOf(dir.Path() + "/t.1.gz"), 100000);
    EXPECT_EQ(rotation::TextSizeOf(dir.Path() + "/t.2.xz"),
              static_cast<std::int64_t>(compresstest::Compress(Compression::Xz, text).size()));
    EXPECT_EQ(rotation::TextSizeOf(dir.Path() + "/t.3"), 100000);
    EXPECT_EQ(rotation::TextSizeOf(dir.Path() + "/t.4.gz"), 5);
    EXPECT_EQ(rotation::TextSizeOf(dir.Path() + "/missing"), 0);
}

}  // namespace
