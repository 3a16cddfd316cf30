// The per-file preference database, checked from the outside: every file the
// database writes is read back by a reader that knows only the record layout
// (offsets, sizes, little-endian), never the program's structures.
#include "platform/SigbusGuard.h"
#include "platform/Win1252.h"
#include "view/FilePrefDatabase.h"
#include "view/Profile.h"

#include "FollowUtil.h"
#include "TestUtil.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <random>
#include <set>
#include <spawn.h>
#include <sstream>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using platform::LOGFONTW;
using platform::Rgb;

extern char** environ;

namespace {

// --- The independent reader ---------------------------------------------------------

struct RawRecord {
    std::int32_t requestedEncoding = 0;
    std::u16string path;
    bool pathTerminated = false;
    bool zeroAfterPath = true;
    std::uint32_t fontColor = 0;
    std::uint32_t pageColor = 0;
    std::u16string face;
    std::uint16_t faceUnit31 = 0;
    std::uint8_t charSet = 0;
    std::uint8_t pitchAndFamily = 0;
    std::uint16_t reserved = 0;
    std::int32_t pointSize = 0;
    std::uint8_t italic = 0, underline = 0, strikeOut = 0, bold = 0;
    std::int32_t textCase = 0;
};

std::uint32_t U32(const std::string& b, std::size_t at)
{
    return static_cast<std::uint32_t>(static_cast<std::uint8_t>(b[at])) |
           static_cast<std::uint32_t>(static_cast<std::uint8_t>(b[at + 1])) << 8 |
           static_cast<std::uint32_t>(static_cast<std::uint8_t>(b[at + 2])) << 16 |
           static_cast<std::uint32_t>(static_cast<std::uint8_t>(b[at + 3])) << 24;
}

std::uint16_t U16(const std::string& b, std::size_t at)
{
    return static_cast<std::uint16_t>(static_cast<std::uint8_t>(b[at]) | static_cast<std::uint8_t>(b[at + 1]) << 8);
}

// Text of a NUL-terminated UTF-16LE field of `units` units at `at`.
std::u16string Units(const std::string& b, std::size_t at, int units, bool* terminated = nullptr,
                     bool* zeroAfter = nullptr)
{
    std::u16string s;
    int i = 0;
    for (; i < units; ++i) {
        const char16_t u = U16(b, at + 2 * i);
        if (!u)
            break;
        s.push_back(u);
    }
    if (terminated)
        *terminated = i < units;
    if (zeroAfter) {
        *zeroAfter = true;
        for (int k = i; k < units; ++k)
            *zeroAfter = *zeroAfter && U16(b, at + 2 * k) == 0;
    }
    return s;
}

// Offsets and sizes from the file format's table, nothing else.
RawRecord ReadRawRecord(const std::string& b, std::size_t at)
{
    RawRecord r;
    r.requestedEncoding = static_cast<std::int32_t>(U32(b, at + 0));
    r.path = Units(b, at + 4, 260, &r.pathTerminated, &r.zeroAfterPath);
    r.fontColor = U32(b, at + 524);
    r.pageColor = U32(b, at + 528);
    r.face = Units(b, at + 532, 32);
    r.faceUnit31 = U16(b, at + 532 + 62);
    r.charSet = static_cast<std::uint8_t>(b[at + 596]);
    r.pitchAndFamily = static_cast<std::uint8_t>(b[at + 597]);
    r.reserved = U16(b, at + 598);
    r.pointSize = static_cast<std::int32_t>(U32(b, at + 600));
    r.italic = static_cast<std::uint8_t>(b[at + 604]);
    r.underline = static_cast<std::uint8_t>(b[at + 605]);
    r.strikeOut = static_cast<std::uint8_t>(b[at + 606]);
    r.bold = static_cast<std::uint8_t>(b[at + 607]);
    r.textCase = static_cast<std::int32_t>(U32(b, at + 608));
    return r;
}

// A record as a foreign writer would lay it out.
std::string RawRecordBytes(const std::u16string& path, std::uint32_t fontColor = 0x00FFFFFF)
{
    std::string b(612, '\0');
    auto put32 = [&](std::size_t at, std::uint32_t v) {
        for (int k = 0; k < 4; ++k)
            b[at + k] = static_cast<char>((v >> (8 * k)) & 0xFF);
    };
    for (std::size_t i = 0; i < path.size(); ++i) {
        b[4 + 2 * i] = static_cast<char>(path[i] & 0xFF);
        b[4 + 2 * i + 1] = static_cast<char>(path[i] >> 8);
    }
    put32(524, fontColor);
    const std::u16string face = u"Courier New";
    for (std::size_t i = 0; i < face.size(); ++i)
        b[532 + 2 * i] = static_cast<char>(face[i]);
    put32(600, static_cast<std::uint32_t>(-10));
    return b;
}

std::string ReadWholeFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

std::int64_t FileSize(const std::string& path)
{
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 ? static_cast<std::int64_t>(st.st_size) : -1;
}

// Sets an environment variable for one scope.
class EnvGuard {
public:
    EnvGuard(const char* name, const char* value) : m_name(name)
    {
        if (const char* old = std::getenv(name)) {
            m_bHad = true;
            m_old = old;
        }
        if (value)
            ::setenv(name, value, 1);
        else
            ::unsetenv(name);
    }
    ~EnvGuard()
    {
        if (m_bHad)
            ::setenv(m_name.c_str(), m_old.c_str(), 1);
        else
            ::unsetenv(m_name.c_str());
    }

private:
    std::string m_name, m_old;
    bool m_bHad = false;
};

class FilePrefDatabaseTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        // Defaults that differ from the built-in ones, so that a record shows
        // where its values came from.
        LOGFONTW f{};
        f.lfHeight = -16;
        f.lfWeight = 700;
        f.lfCharSet = 1;
        f.lfPitchAndFamily = 49;
        const std::u16string face = u"Liberation Mono";
        std::copy(face.begin(), face.end(), f.lfFaceName);
        profile.WriteProfileBinary(kPrefsSection, kPrefsLogFont, &f, sizeof f);
        profile.WriteProfileInt(kPrefsSection, kPrefsFontColor, static_cast<std::int32_t>(Rgb(10, 200, 30)));
        profile.WriteProfileInt(kPrefsSection, kPrefsPageColor, static_cast<std::int32_t>(Rgb(1, 2, 3)));
        profile.WriteProfileInt(kPrefsSection, kPrefsTextCase, TextCaseUpper);
        db.SetDatabasePath(dbPath);
    }

    void ExpectDefaultsOf(const RawRecord& r)
    {
        EXPECT_EQ(r.requestedEncoding, 0);
        EXPECT_TRUE(r.pathTerminated);
        EXPECT_TRUE(r.zeroAfterPath);
        EXPECT_EQ(r.fontColor, Rgb(10, 200, 30));
        EXPECT_EQ(r.pageColor, Rgb(1, 2, 3));
        EXPECT_EQ(r.face, u"Liberation Mono");
        EXPECT_EQ(r.faceUnit31, 0);
        EXPECT_EQ(r.charSet, 1);
        EXPECT_EQ(r.pitchAndFamily, 49);
        EXPECT_EQ(r.reserved, 0);
        EXPECT_EQ(r.pointSize, 12);
        EXPECT_EQ(r.italic, 0);
        EXPECT_EQ(r.underline, 0);
        EXPECT_EQ(r.strikeOut, 0);
        EXPECT_EQ(r.bold, 1);
        EXPECT_EQ(r.textCase, TextCaseUpper);
    }

    std::vector<std::u16string> StoredPaths()
    {
        const std::string bytes = ReadWholeFile(dbPath);
        std::vector<std::u16string> out;
        for (std::size_t at = 0; at + 612 <= bytes.size(); at += 612)
            out.push_back(ReadRawRecord(bytes, at).path);
        return out;
    }

    testutil::TempDir dir;
    std::string dbPath = dir.File("prefs.fpdb");
    CMemoryProfile profile;
    CScopedProfile scope{profile};
    CFilePrefDatabase db;
};

// --- Location -----------------------------------------------------------------------

TEST(FilePrefDatabaseLocationTest, DataFolderFollowsTheXdgRules)
{
    const std::string tmp = "/tmp/ostrel-data-1000";
    EXPECT_EQ(CFilePrefDatabase::DataFolderFor("/x/data", "/home/u", "/home/pw", tmp), "/x/data");
    // A relative XDG_DATA_HOME is invalid and ignored, as is an empty one.
    EXPECT_EQ(CFilePrefDatabase::DataFolderFor("rel/data", "/home/u", "/home/pw", tmp), "/home/u/.local/share");
    EXPECT_EQ(CFilePrefDatabase::DataFolderFor("", "/home/u", "/home/pw", tmp), "/home/u/.local/share");
    EXPECT_EQ(CFilePrefDatabase::DataFolderFor(nullptr, "/home/u", "/home/pw", tmp), "/home/u/.local/share");
    // No HOME: the password database's home; neither: the private temporary folder.
    EXPECT_EQ(CFilePrefDatabase::DataFolderFor(nullptr, nullptr, "/home/pw", tmp), "/home/pw/.local/share");
    EXPECT_EQ(CFilePrefDatabase::DataFolderFor(nullptr, "", "", tmp), tmp);
    EXPECT_EQ(CFilePrefDatabase::DataFolderFor(nullptr, "relative", nullptr, tmp), tmp);
    EXPECT_EQ(CFilePrefDatabase::DataFolderFor(nullptr, nullptr, nullptr, ""), "");
}

TEST_F(FilePrefDatabaseTest, FirstUseCreatesTheFolderAndExactlyOneRecord)
{
    const std::string xdg = dir.File("not/yet/there");
    EnvGuard env("XDG_DATA_HOME", xdg.c_str());
    CFilePrefDatabase fresh;  // the usual location, redirected by the environment
    const std::string expected = xdg + "/Ostrel/fileprefdatabase.fpdb";
    EXPECT_EQ(fresh.GetDatabasePath(), expected);
    struct stat st {};
    ASSERT_EQ(::stat((xdg + "/Ostrel").c_str(), &st), 0);
    EXPECT_TRUE(S_ISDIR(st.st_mode));
    EXPECT_EQ(FileSize(expected), -1);  // the folder, not yet the file

    CPrefRecordRef ref = fresh.FindOrAddRecord("/var/log/app.log");
    ASSERT_TRUE(ref);
    EXPECT_TRUE(ref.IsStored());
    EXPECT_EQ(ref.Index(), 0);
    EXPECT_EQ(FileSize(expected), 612);
    const std::string bytes = ReadWholeFile(expected);
    const RawRecord r = ReadRawRecord(bytes, 0);
    EXPECT_EQ(r.path, u"/var/log/app.log");
    ExpectDefaultsOf(r);
}

TEST_F(FilePrefDatabaseTest, HomeStandsInForAMissingXdgDataHome)
{
    const std::string home = dir.File("home");
    ::mkdir(home.c_str(), 0700);
    EnvGuard xdg("XDG_DATA_HOME", nullptr);
    EnvGuard h("HOME", home.c_str());
    CFilePrefDatabase fresh;
    EXPECT_EQ(fresh.GetDatabasePath(), home + "/.local/share/Ostrel/fileprefdatabase.fpdb");
    EXPECT_TRUE(fresh.FindOrAddRecord("/a.log").IsStored());
    EXPECT_EQ(FileSize(home + "/.local/share/Ostrel/fileprefdatabase.fpdb"), 612);
}

TEST_F(FilePrefDatabaseTest, HomeThatDoesNotExistGivesWayToThePrivateTemporaryFolder)
{
    const std::string home = dir.File("no-such-home");
    EnvGuard xdg("XDG_DATA_HOME", nullptr);
    EnvGuard h("HOME", home.c_str());
    EnvGuard tmp("TMPDIR", dir.Path().c_str());
    CFilePrefDatabase fresh;
    const std::string temp = dir.File("ostrel-data-" + std::to_string(::getuid()));
    const std::string expected = temp + "/Ostrel/fileprefdatabase.fpdb";
    EXPECT_EQ(fresh.GetDatabasePath(), expected);
    EXPECT_TRUE(fresh.FindOrAddRecord("/a.log").IsStored());
    EXPECT_EQ(FileSize(expected), 612);
    EXPECT_NE(::access(home.c_str(), F_OK), 0);  // nobody's home is made
}

// --- Growth and lookup -----------------------------------------------------------------

TEST_F(FilePrefDatabaseTest, SecondPathGrowsTheFileByOneRecord)
{
    CPrefRecordRef a = db.FindOrAddRecord("/logs/a.log");
    CPrefRecordRef b = db.FindOrAddRecord("/logs/b.log");
    EXPECT_EQ(a.Index(), 0);
    EXPECT_EQ(b.Index(), 1);
    EXPECT_EQ(FileSize(dbPath), 1224);
    const std::string bytes = ReadWholeFile(dbPath);
    EXPECT_EQ(ReadRawRecord(bytes, 0).path, u"/logs/a.log");
    const RawRecord rb = ReadRawRecord(bytes, 612);
    EXPECT_EQ(rb.path, u"/logs/b.log");
    ExpectDefaultsOf(rb);

    // Known paths never grow the file, from this object or a fresh one.
    EXPECT_EQ(db.FindOrAddRecord("/logs/a.log").Index(), 0);
    CFilePrefDatabase other;
    other.SetDatabasePath(dbPath);
    EXPECT_EQ(other.FindOrAddRecord("/logs/b.log").Index(), 1);
    EXPECT_EQ(FileSize(dbPath), 1224);
}

TEST_F(FilePrefDatabaseTest, PathsCompareExactlyOnPosix)
{
#ifdef _WIN32
    GTEST_SKIP() << "Windows folds ASCII case";
#else
    CPrefRecordRef lower = db.FindOrAddRecord("/logs/app.log");
    CPrefRecordRef upper = db.FindOrAddRecord("/logs/App.log");
    CPrefRecordRef longer = db.FindOrAddRecord("/logs/app.log2");
    CPrefRecordRef shorter = db.FindOrAddRecord("/logs/app.lo");
    EXPECT_EQ(lower.Index(), 0);
    EXPECT_EQ(upper.Index(), 1);
    EXPECT_EQ(longer.Index(), 2);
    EXPECT_EQ(shorter.Index(), 3);
    upper->textCase = TextCaseSentence;
    EXPECT_EQ(lower->textCase, TextCaseUpper);
#endif
}

TEST_F(FilePrefDatabaseTest, IncompleteTailIsOverwrittenOnTheRecordGrid)
{
    // One whole record and 88 bytes of an unfinished one.
    std::string bytes = RawRecordBytes(u"/known.log", Rgb(9, 9, 9)) + std::string(88, '\xEE');
    dir.Write("prefs.fpdb", bytes);
    ASSERT_EQ(FileSize(dbPath), 700);

    CPrefRecordRef added = db.FindOrAddRecord("/new.log");
    EXPECT_TRUE(added.IsStored());
    EXPECT_EQ(added.Index(), 1);
    EXPECT_EQ(FileSize(dbPath), 1224);
    const std::string after = ReadWholeFile(dbPath);
    EXPECT_EQ(after.substr(0, 612), bytes.substr(0, 612));
    const RawRecord r = ReadRawRecord(after, 612);
    EXPECT_EQ(r.path, u"/new.log");
    ExpectDefaultsOf(r);  // no byte of the old tail survives in the record

    // Found again, by this object and by the next run; nothing more appended.
    EXPECT_EQ(db.FindOrAddRecord("/new.log").Index(), 1);
    CFilePrefDatabase nextRun;
    nextRun.SetDatabasePath(dbPath);
    EXPECT_EQ(nextRun.FindOrAddRecord("/new.log").Index(), 1);
    EXPECT_EQ(nextRun.FindOrAddRecord("/known.log")->fontColor, Rgb(9, 9, 9));
    EXPECT_EQ(FileSize(dbPath), 1224);
}

TEST_F(FilePrefDatabaseTest, EmptyFileGetsItsFirstRecordAtZero)
{
    dir.Write("prefs.fpdb", "");
    EXPECT_TRUE(db.OpenDatabase());
    EXPECT_EQ(db.RecordCount(), 0u);
    EXPECT_FALSE(db.OpenDatabase());  // already open
    EXPECT_EQ(db.FindOrAddRecord("/x").Index(), 0);
    EXPECT_EQ(FileSize(dbPath), 612);
}

// --- References ---------------------------------------------------------------------

TEST_F(FilePrefDatabaseTest, ChangesThroughAReferenceAreWhatTheFileHolds)
{
    CPrefRecordRef ref = db.FindOrAddRecord("/srv/app.log");
    ref->requestedEncoding = 3;
    ref->fontColor = Rgb(1, 2, 250);
    ref->textCase = TextCaseLower;
    ref->italic = 1;
    const RawRecord r = ReadRawRecord(ReadWholeFile(dbPath), 0);
    EXPECT_EQ(r.requestedEncoding, 3);
    EXPECT_EQ(r.fontColor, Rgb(1, 2, 250));
    EXPECT_EQ(r.textCase, TextCaseLower);
    EXPECT_EQ(r.italic, 1);

    // Two views on one file share the record.
    CPrefRecordRef second = db.FindOrAddRecord("/srv/app.log");
    EXPECT_EQ(second.Index(), ref.Index());
    second->pageColor = Rgb(7, 7, 7);
    EXPECT_EQ(ref->pageColor, Rgb(7, 7, 7));
}

TEST_F(FilePrefDatabaseTest, ReferenceSurvivesTheDatabaseGrowing)
{
    CPrefRecordRef first = db.FindOrAddRecord("/first.log");
    // Enough records to move the mapping across several pages.
    for (int i = 0; i < 200; ++i)
        ASSERT_TRUE(db.FindOrAddRecord("/more/" + std::to_string(i)).IsStored());
    EXPECT_EQ(db.RecordCount(), 201u);
    first->pointSize = 33;
    EXPECT_EQ(first.Index(), 0);
    EXPECT_EQ(ReadRawRecord(ReadWholeFile(dbPath), 0).pointSize, 33);
}

TEST_F(FilePrefDatabaseTest, ReferenceReopensAClosedDatabase)
{
    CPrefRecordRef ref = db.FindOrAddRecord("/a.log");
    db.CloseDatabase();
    EXPECT_FALSE(db.IsOpen());
    ref->textCase = TextCaseSentence;
    EXPECT_TRUE(ref.IsStored());
    EXPECT_EQ(ReadRawRecord(ReadWholeFile(dbPath), 0).textCase, TextCaseSentence);
}

TEST_F(FilePrefDatabaseTest, ReferenceOutlivingTheDatabaseFallsBackToMemory)
{
    CPrefRecordRef ref;
    {
        CFilePrefDatabase shortLived;
        shortLived.SetDatabasePath(dbPath);
        g_pFilePrefDatabase = &shortLived;
        ref = shortLived.FindOrAddRecord("/gone.log");
        ASSERT_TRUE(ref.IsStored());
    }
    EXPECT_EQ(g_pFilePrefDatabase, nullptr);
    ASSERT_NE(ref.Get(), nullptr);
    EXPECT_FALSE(ref.IsStored());
    EXPECT_EQ(PreferencesPath(*ref), u"/gone.log");
    EXPECT_EQ(ref->fontColor, Rgb(10, 200, 30));
    ref->fontColor = 5;
    EXPECT_EQ(ref->fontColor, 5u);  // the same in-memory record on every use
}

// --- Paths that the file cannot hold ------------------------------------------------------

TEST_F(FilePrefDatabaseTest, PathsAreStoredAsUtf16)
{
    const std::string utf8 = "/tmp/\xC3\x9Cn\xC3\xAF/\xE2\x82\xAC-\xF0\x9F\x98\x80.log";  // Ünï/€-😀
    CPrefRecordRef ref = db.FindOrAddRecord(utf8);
    EXPECT_TRUE(ref.IsStored());
    const RawRecord r = ReadRawRecord(ReadWholeFile(dbPath), 0);
    EXPECT_EQ(r.path, u"/tmp/\u00DCn\u00EF/\u20AC-\U0001F600.log");
    // The UTF-16 overload finds the same record.
    EXPECT_EQ(db.FindOrAddRecord(std::u16string(u"/tmp/\u00DCn\u00EF/\u20AC-\U0001F600.log")).Index(), 0);
}

TEST_F(FilePrefDatabaseTest, PathsTooLongForTheFieldStayInMemory)
{
    const std::string fits = "/" + std::string(258, 'a');        // 259 units
    const std::string tooLong = "/" + std::string(259, 'a');     // 260 units
    std::string emoji;                                            // 129 pairs + '/' = 259 units
    for (int i = 0; i < 129; ++i)
        emoji += "\xF0\x9F\x98\x80";
    EXPECT_TRUE(db.FindOrAddRecord(fits).IsStored());
    EXPECT_TRUE(db.FindOrAddRecord("/" + emoji).IsStored());
    EXPECT_EQ(FileSize(dbPath), 1224);

    CPrefRecordRef big = db.FindOrAddRecord(tooLong);
    CPrefRecordRef bigEmoji = db.FindOrAddRecord("//" + emoji);  // 260 units in 518 bytes
    for (CPrefRecordRef* r : {&big, &bigEmoji}) {
        ASSERT_TRUE(*r);
        EXPECT_FALSE(r->IsStored());
        EXPECT_EQ(r->Index(), -1);
        EXPECT_EQ((*r)->fontColor, Rgb(10, 200, 30));  // the defaults
        for (char16_t u : (*r)->path)
            ASSERT_EQ(u, 0);  // a path that does not fit is never cut into the field
    }
    EXPECT_EQ(FileSize(dbPath), 1224);
    // Every lookup of that path in this run shares the in-memory record.
    big->pointSize = 99;
    EXPECT_EQ(db.FindOrAddRecord(tooLong)->pointSize, 99);
}

TEST_F(FilePrefDatabaseTest, UnstorablePathNamesStayInMemory)
{
    for (const std::string& path : {std::string("/bad/\xFF\xFE.log"), std::string("/bad/\xC0\xAF"),
                                    std::string(), std::string("/a\0b", 4)}) {
        CPrefRecordRef ref = db.FindOrAddRecord(path);
        ASSERT_TRUE(ref);
        EXPECT_FALSE(ref.IsStored());
        EXPECT_EQ(ref->textCase, TextCaseUpper);
    }
    // Nothing was written, not even an empty database.
    EXPECT_EQ(FileSize(dbPath), -1);
    CPrefRecordRef a = db.FindOrAddRecord(std::string("/bad/\xFF.log"));
    a->bold = 0;
    EXPECT_EQ(db.FindOrAddRecord(std::string("/bad/\xFF.log"))->bold, 0);
    EXPECT_EQ(db.FindOrAddRecord(std::string("/bad/\xFE.log"))->bold, 1);
}

// --- Damaged and foreign files -----------------------------------------------------------

TEST_F(FilePrefDatabaseTest, GarbageDatabaseIsSearchedAndExtendedSafely)
{
    std::mt19937 rng(612);
    std::string bytes(612 * 4 + 100, '\0');
    for (char& c : bytes)
        c = static_cast<char>(rng());
    // Record 2 holds a real path in the middle of the noise.
    const std::string known = RawRecordBytes(u"/known.log");
    bytes.replace(4 + 1224, 2 * 11, known.substr(4, 2 * 11));
    bytes[4 + 1224 + 22] = bytes[4 + 1224 + 23] = 0;
    dir.Write("prefs.fpdb", bytes);

    EXPECT_EQ(db.FindOrAddRecord("/known.log").Index(), 2);
    CPrefRecordRef added = db.FindOrAddRecord("/new.log");
    EXPECT_EQ(added.Index(), 4);
    EXPECT_EQ(FileSize(dbPath), 612 * 5);
    const std::string after = ReadWholeFile(dbPath);
    EXPECT_EQ(after.substr(0, 612 * 4), bytes.substr(0, 612 * 4));  // old records untouched
    EXPECT_EQ(ReadRawRecord(after, 612 * 4).path, u"/new.log");
    // Garbage values are used as stored, and a font built from them is sane.
    CPrefRecordRef g = db.FindOrAddRecord("/known.log");
    LOGFONTW f;
    PreferencesToLogFont(f, *g);
    EXPECT_EQ(f.lfFaceName[31], 0);
}

TEST_F(FilePrefDatabaseTest, UnterminatedPathFieldNeverMatches)
{
    // 260 units of 'a' with no terminator, then a record whose path is
    // followed by leftovers after its terminator.
    std::string rec0(612, '\0');
    for (int i = 0; i < 260; ++i)
        rec0[4 + 2 * i] = 'a';
    std::string rec1 = RawRecordBytes(u"/x");
    rec1[4 + 2 * 3] = 'J';  // after the terminator at unit 2
    dir.Write("prefs.fpdb", rec0 + rec1);

    const std::string a259(259, 'a');
    CPrefRecordRef ref = db.FindOrAddRecord(a259);
    EXPECT_EQ(ref.Index(), 2);  // not record 0, whose name never ends
    EXPECT_EQ(db.FindOrAddRecord("/x").Index(), 1);
    EXPECT_EQ(db.FindOrAddRecord(a259).Index(), 2);
    EXPECT_EQ(FileSize(dbPath), 612 * 3);
}

TEST_F(FilePrefDatabaseTest, RecordsTruncatedAwayByAnotherProgramAreAddedAgain)
{
    // Twenty records span three pages; touching a page past the new end of
    // the file would fault, so no read may go there.
    std::vector<CPrefRecordRef> refs;
    for (int i = 0; i < 20; ++i)
        refs.push_back(db.FindOrAddRecord("/r/" + std::to_string(i)));
    ASSERT_EQ(FileSize(dbPath), 612 * 20);
    ASSERT_EQ(::truncate(dbPath.c_str(), 612), 0);  // another program keeps only record 0

    CPrefRecordRef d = db.FindOrAddRecord("/d");
    EXPECT_EQ(d.Index(), 1);
    // Record 1 now belongs to "/d": the old reference to "/r/1" must not
    // write into it but get a record of its own.
    refs[1]->pointSize = 41;
    refs[19]->pointSize = 59;
    refs[0]->pointSize = 40;
    EXPECT_EQ(d->pointSize, 12);
    const std::vector<std::u16string> paths = StoredPaths();
    ASSERT_EQ(paths.size(), 4u);
    EXPECT_EQ(paths[0], u"/r/0");
    EXPECT_EQ(paths[1], u"/d");
    EXPECT_EQ(paths[2], u"/r/1");
    EXPECT_EQ(paths[3], u"/r/19");
    const std::string bytes = ReadWholeFile(dbPath);
    EXPECT_EQ(ReadRawRecord(bytes, 0).pointSize, 40);
    EXPECT_EQ(ReadRawRecord(bytes, 612).pointSize, 12);
    EXPECT_EQ(ReadRawRecord(bytes, 1224).pointSize, 41);
    EXPECT_EQ(ReadRawRecord(bytes, 1836).pointSize, 59);

    // Truncated to nothing: the next use starts the file again at zero.
    ASSERT_EQ(::truncate(dbPath.c_str(), 0), 0);
    refs[5]->bold = 0;
    EXPECT_TRUE(refs[5].IsStored());
    EXPECT_EQ(refs[5].Index(), 0);
    EXPECT_EQ(FileSize(dbPath), 612);
}

TEST_F(FilePrefDatabaseTest, TruncationCaughtByTheGuardIsFollowedByAFreshMapping)
{
    std::vector<CPrefRecordRef> refs;
    for (int i = 0; i < 20; ++i)
        refs.push_back(db.FindOrAddRecord("/g/" + std::to_string(i)));
    const std::string original = ReadWholeFile(dbPath);
    // A store that races another program's truncation: the page past the new
    // end faults, and the guard answers with zeros.
    DisplayPreferences* raw = refs[19].Get();
    const std::uint64_t faultsBefore = platform::GuardedFaultCount();
    ASSERT_EQ(::truncate(dbPath.c_str(), 612), 0);
    raw->pointSize = 5;
    EXPECT_GT(platform::GuardedFaultCount(), faultsBefore);
    // The file comes back whole at the very same size (a restored copy).
    dir.Write("prefs.fpdb", original);
    ASSERT_EQ(FileSize(dbPath), 612 * 20);
    // The record is read from the file again, not from the zero pages: it is
    // found where it was and nothing is appended.
    EXPECT_EQ(db.FindOrAddRecord("/g/19").Index(), 19);
    EXPECT_EQ(refs[19].Index(), 19);
    EXPECT_EQ(refs[19]->pointSize, 12);
    EXPECT_EQ(FileSize(dbPath), 612 * 20);
}

TEST_F(FilePrefDatabaseTest, UnusableLocationsGiveInMemoryRecords)
{
    // A folder that cannot exist (a file stands where it would be), which
    // even the superuser cannot create, and a database that is a folder.
    const std::string blocker = dir.Write("blocker", "x");
    for (const std::string& where : {blocker + "/Ostrel/prefs.fpdb", dir.Path()}) {
        CFilePrefDatabase bad;
        bad.SetDatabasePath(where);
        EXPECT_FALSE(bad.OpenDatabase());
        CPrefRecordRef ref = bad.FindOrAddRecord("/a.log");
        ASSERT_TRUE(ref) << where;
        EXPECT_FALSE(ref.IsStored()) << where;
        EXPECT_EQ(ref->fontColor, Rgb(10, 200, 30)) << where;
        EXPECT_EQ(PreferencesPath(*ref), u"/a.log") << where;
        EXPECT_FALSE(bad.IsOpen());
    }
    // The same through the environment: XDG_DATA_HOME below a plain file.
    EnvGuard env("XDG_DATA_HOME", (blocker + "/share").c_str());
    CFilePrefDatabase viaEnv;
    EXPECT_FALSE(viaEnv.FindOrAddRecord("/b.log").IsStored());
}

// Another process holding the database's lock (stuck, say) delays no lookup
// of a stored path; a new path waits a bounded time for it, then gets an
// in-memory record; once the lock is free, the path is stored.
TEST_F(FilePrefDatabaseTest, LockHeldElsewhereNeverBlocksALookup)
{
    ASSERT_TRUE(db.FindOrAddRecord("/known.log").IsStored());
    followtest::WriterProcess holder(dbPath);
    ASSERT_TRUE(holder.Do("lock")) << holder.LastAnswer();
    CPrefRecordRef known = db.FindOrAddRecord("/known.log");
    EXPECT_TRUE(known.IsStored());
    EXPECT_EQ(known.Index(), 0);
    CPrefRecordRef fresh = db.FindOrAddRecord("/new.log");
    ASSERT_TRUE(fresh);
    EXPECT_FALSE(fresh.IsStored());
    EXPECT_EQ(FileSize(dbPath), 612);
    ASSERT_TRUE(holder.Do("unlock")) << holder.LastAnswer();
    EXPECT_EQ(db.FindOrAddRecord("/new.log").Index(), 1);
}

// --- Address space exhausted ------------------------------------------------------------
//
// Mapping failures are provoked with an address-space limit in a child
// process (a death test re-runs this test binary for the child).

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define OSTREL_NO_ADDRESS_LIMIT 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
#define OSTREL_NO_ADDRESS_LIMIT 1
#endif
#endif

std::uint64_t VmSizeBytes()
{
    std::ifstream in("/proc/self/status");
    std::string line;
    while (std::getline(in, line)) {
        if (line.rfind("VmSize:", 0) == 0)
            return std::stoull(line.substr(7)) * 1024;
    }
    return 0;
}

// Leaves room for small allocations but not for a 64 MiB mapping.
bool LimitAddressSpace(rlimit& saved)
{
    if (::getrlimit(RLIMIT_AS, &saved) != 0)
        return false;
    rlimit tight = saved;
    tight.rlim_cur = VmSizeBytes() + 16u * 1024 * 1024;
    return ::setrlimit(RLIMIT_AS, &tight) == 0;
}

constexpr std::uint64_t kBigDatabase = 64u * 1024 * 1024;  // 109655 records and a 4-byte tail

std::string MakeBigDatabase(const testutil::TempDir& dir)
{
    const std::string path = dir.File("big.fpdb");
    const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_TRUNC, 0644);
    const std::string rec = RawRecordBytes(u"/known.log", Rgb(4, 4, 4));
    if (fd < 0 || ::pwrite(fd, rec.data(), rec.size(), 0) != 612 || ::ftruncate(fd, kBigDatabase) != 0)
        return {};
    ::close(fd);
    return path;
}

// Opening fails for want of address space: the records on disk stay as they
// were, nothing is appended, and the caller still gets a record.
[[maybe_unused]] int OpenWithoutAddressSpace()
{
    testutil::TempDir dir;
    const std::string path = MakeBigDatabase(dir);
    if (path.empty())
        return 10;
    CFilePrefDatabase db;
    db.SetDatabasePath(path);
    rlimit saved{};
    if (!LimitAddressSpace(saved))
        return 11;
    CPrefRecordRef fresh = db.FindOrAddRecord("/new.log");
    CPrefRecordRef known = db.FindOrAddRecord("/known.log");
    const bool inMemory = fresh && !fresh.IsStored() && known && !known.IsStored();
    ::setrlimit(RLIMIT_AS, &saved);
    if (!inMemory)
        return 12;
    if (FileSize(path) != static_cast<std::int64_t>(kBigDatabase))
        return 13;
    // Once the space is back, the same object finds the old record.
    CPrefRecordRef again = db.FindOrAddRecord("/known.log");
    if (!again.IsStored() || again.Index() != 0 || again->fontColor != Rgb(4, 4, 4))
        return 14;
    return 0;
}

// Growing fails to map: the database stays open on its old view, records
// found before keep working, and the record written to disk is found (not
// added twice) once mapping works again.
[[maybe_unused]] int GrowWithoutAddressSpace()
{
    testutil::TempDir dir;
    const std::string path = MakeBigDatabase(dir);
    if (path.empty())
        return 20;
    CFilePrefDatabase db;
    db.SetDatabasePath(path);
    CPrefRecordRef known = db.FindOrAddRecord("/known.log");
    if (!known.IsStored())
        return 21;
    rlimit saved{};
    if (!LimitAddressSpace(saved))
        return 22;
    CPrefRecordRef fresh = db.FindOrAddRecord("/new.log");
    const bool freshInMemory = fresh && !fresh.IsStored();
    known->fontColor = Rgb(8, 8, 8);
    const bool knownStored = known.IsStored() && db.IsOpen();
    ::setrlimit(RLIMIT_AS, &saved);
    if (!freshInMemory)
        return 23;
    if (!knownStored)
        return 24;
    const std::uint64_t slot = kBigDatabase / 612 * 612;
    if (FileSize(path) != static_cast<std::int64_t>(slot + 612))
        return 25;
    CPrefRecordRef again = db.FindOrAddRecord("/new.log");
    if (!again.IsStored() || static_cast<std::uint64_t>(again.Index()) != slot / 612)
        return 26;
    if (FileSize(path) != static_cast<std::int64_t>(slot + 612))
        return 27;
    const int fd = ::open(path.c_str(), O_RDONLY);
    std::string rec0(612, '\0');
    const bool read = fd >= 0 && ::pread(fd, rec0.data(), 612, 0) == 612;
    ::close(fd);
    if (!read || ReadRawRecord(rec0, 0).fontColor != Rgb(8, 8, 8))
        return 28;
    return 0;
}

TEST_F(FilePrefDatabaseTest, MappingFailuresNeverTruncateOrDuplicate)
{
#ifdef OSTREL_NO_ADDRESS_LIMIT
    GTEST_SKIP() << "sanitizers reserve more address space than any limit allows";
#else
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(std::_Exit(OpenWithoutAddressSpace()), ::testing::ExitedWithCode(0), "");
    EXPECT_EXIT(std::_Exit(GrowWithoutAddressSpace()), ::testing::ExitedWithCode(0), "");
#endif
}

// --- Several instances at once -------------------------------------------------------------

std::string HelperPath(const char* name)
{
    const char* env = std::getenv("OSTREL_BIN_DIR");
    return std::string(env && *env ? env : OSTREL_BIN_DIR) + "/" + name;
}

TEST_F(FilePrefDatabaseTest, TwoProcessesAddingAtOnceKeepEveryRecord)
{
    const std::string helper = HelperPath("prefdb_adder");
    ASSERT_EQ(::access(helper.c_str(), X_OK), 0) << helper;
    constexpr int kEach = 300;
    // Both start from a missing file, released at the same instant.
    // Only the read end is inherited: a helper holding the write end would
    // never see the end of file.
    int gate[2];
    ASSERT_EQ(::pipe2(gate, O_CLOEXEC), 0);
    ASSERT_EQ(::fcntl(gate[0], F_SETFD, 0), 0);
    const std::string count = std::to_string(kEach);
    const std::string gateFd = std::to_string(gate[0]);
    std::vector<pid_t> pids;
    for (const char* prefix : {"/one", "/two"}) {
        std::vector<std::string> args = {helper, dbPath, prefix, count, gateFd};
        std::vector<char*> argv;
        for (auto& a : args)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        pid_t pid = 0;
        ASSERT_EQ(::posix_spawn(&pid, helper.c_str(), nullptr, nullptr, argv.data(), environ), 0);
        pids.push_back(pid);
    }
    ::close(gate[0]);
    ::close(gate[1]);  // both helpers go
    for (pid_t pid : pids) {
        int status = 0;
        ASSERT_EQ(::waitpid(pid, &status, 0), pid);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "helper status " << status;
    }

    EXPECT_EQ(FileSize(dbPath), 612 * 2 * kEach);
    const std::string bytes = ReadWholeFile(dbPath);
    std::set<std::u16string> seen;
    for (std::size_t at = 0; at + 612 <= bytes.size(); at += 612) {
        const RawRecord r = ReadRawRecord(bytes, at);
        EXPECT_TRUE(seen.insert(r.path).second) << "duplicate record at " << at;
        // Each helper wrote i + 1 into the size of its record for path i.
        const std::string name = platform::Utf16ToUtf8(r.path);
        const std::size_t slash = name.rfind('/');
        ASSERT_NE(slash, std::string::npos);
        EXPECT_EQ(r.pointSize, std::stoi(name.substr(slash + 1)) + 1) << name;
    }
    for (const char* prefix : {"/one/", "/two/"}) {
        for (int i = 0; i < kEach; ++i) {
            const std::string path = prefix + std::to_string(i) + ".log";
            EXPECT_TRUE(seen.count(platform::Utf8ToUtf16(path))) << path << " lost";
        }
    }
}

}  // namespace
