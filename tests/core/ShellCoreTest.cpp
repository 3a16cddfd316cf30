// The plain pieces of the shell: the recent-file list, the build version,
// and the path rules of documents.
#include "platform/File.h"
#include "view/BuildDate.h"
#include "view/Profile.h"
#include "view/RecentFileList.h"

#include "tests/core/TestUtil.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace {

TEST(RecentFileList, KeepsTheLastTenNewestFirstWithoutDuplicates)
{
    CMemoryProfile profile;
    CRecentFileList list;
    for (int i = 1; i <= 12; ++i)
        list.Add("/logs/" + std::to_string(i) + ".log");
    list.Add("/logs/5.log");
    list.Add("/logs/\xff\xfe.log");  // not UTF-8: kept as bytes
    list.WriteList(profile);
    EXPECT_EQ(profile.GetProfileString(kRecentFileSection, "File1"), "/logs/\xff\xfe.log");
    EXPECT_EQ(profile.GetProfileString(kRecentFileSection, "File2"), "/logs/5.log");
    EXPECT_EQ(profile.GetProfileString(kRecentFileSection, "File3"), "/logs/12.log");
    EXPECT_EQ(profile.GetProfileString(kRecentFileSection, "File10"), "/logs/4.log");  // 5 moved up, 3 fell off
    EXPECT_FALSE(profile.Has(kRecentFileSection, "File11"));

    CRecentFileList read;
    read.ReadList(profile);
    EXPECT_EQ(read.Entries(), list.Entries());
    read.Remove(0);
    read.WriteList(profile);
    EXPECT_EQ(profile.GetProfileString(kRecentFileSection, "File1"), "/logs/5.log");
    EXPECT_FALSE(profile.Has(kRecentFileSection, "File10"));  // the emptied place is gone
}

TEST(BuildDate, ParsesTheCompilerFormIntoSixDigits)
{
    const std::pair<const char*, const char*> cases[] = {
        {"Oct 11 2009", "091011"}, {"Jan  5 2010", "100105"},
        {"Dec 31 1999", "991231"}, {"OCT 11 2009", "091011"},
        {"oCt 11 2009", "091011"}, {"Foo 11 2009", "000100"},
        {"Oct 11 1899", "000100"}, {"Oct 11 3000", "000100"},
        {"Oct 11", "000100"},      {"", "000100"},
        {"Oct 32 2009", "000100"}, {"Oct 0 2009", "000100"},
        {"Octo 1 2009", "000100"},  // the month word is three characters at most
    };
    for (auto [date, version] : cases)
        EXPECT_EQ(BuildVersionText(date), version) << date;
    const std::tm parsed = ParseBuildDate("Feb  3 2024");
    EXPECT_EQ(parsed.tm_mday, 3);
    EXPECT_EQ(parsed.tm_mon, 1);
    EXPECT_EQ(parsed.tm_year, 2024);
    EXPECT_EQ(BuildVersionText(ProgramBuildDate()).size(), 6u);
    EXPECT_NE(BuildVersionText(ProgramBuildDate()), "000100");
}

TEST(DocumentPaths, AbsoluteWithoutResolvingAndOneIdentityPerFile)
{
    testutil::TempDir dir;
    namespace fs = std::filesystem;
    fs::create_directories(dir.File("real/sub"));
    const std::string log = dir.Write("real/app.log", "x\n");
    dir.Write("other.log", "y\n");
    fs::create_directory_symlink(dir.File("real/sub"), dir.File("link"));
    fs::create_symlink(log, dir.File("alias.log"));

    // "." and repeated slashes go; ".." and symbolic links stay as written.
    EXPECT_EQ(platform::CleanAbsolutePath(dir.Path() + "//real/./app.log"), log);
    EXPECT_EQ(platform::CleanAbsolutePath(dir.File("link/../app.log")), dir.File("link/../app.log"));
    const fs::path cwd = fs::current_path();
    fs::current_path(dir.Path());
    EXPECT_EQ(platform::CleanAbsolutePath("alias.log"), dir.File("alias.log"));
    fs::current_path(cwd);

    platform::FileId viaLink, direct, other, missing;
    ASSERT_TRUE(platform::GetFileId(dir.File("link/../app.log"), viaLink));  // the parent of sub: real/
    ASSERT_TRUE(platform::GetFileId(dir.File("alias.log"), direct));
    ASSERT_TRUE(platform::GetFileId(dir.File("other.log"), other));
    EXPECT_EQ(viaLink, direct);
    EXPECT_FALSE(direct == other);
    EXPECT_FALSE(platform::GetFileId(dir.File("missing.log"), missing));

    EXPECT_EQ(platform::DescribeOpenFailure(dir.File("missing.log")), "No such file or directory");
    EXPECT_EQ(platform::DescribeOpenFailure(dir.Path()), "Is a directory");
    EXPECT_EQ(platform::DescribeOpenFailure(dir.Write("empty.log", "")), "empty file");
}

}  // namespace
