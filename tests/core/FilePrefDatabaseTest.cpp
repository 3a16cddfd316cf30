// The per-file preference database, checked from the outside: every file the
// database writes is read back by a reader that knows only the record layout
// (offsets, sizes, little-endian), never the program's structures.
#include "platform/SigbusGuard.h"
#include "platform/Win1252.h"
#include "view/FilePrefDatabase.h"
#include "view/Profile.h"

#include "tests/core/FollowUtil.h"
#include "tests/core/TestUtil.h"

#include <gtest/gtest.h>

#include <chrono>
#include <fcntl.h>
#include <random>
#include <set>
#include <sys/stat.h>
#include <thread>

using platform::LOGFONTW;
using platform::Rgb;
using testutil::ReadFile;
using testutil::ScopedEnv;
using testutil::TempDir;

namespace {

// --- The independent reader ---------------------------------------------------------

std::uint32_t U32(const std::string& b, std::size_t at)
{
    std::uint32_t v = 0;
    for (int k = 3; k >= 0; --k)
        v = v << 8 | static_cast<std::uint8_t>(b[at + k]);
    return v;
}

std::uint16_t U16(const std::string& b, std::size_t at)
{
    return static_cast<std::uint16_t>(static_cast<std::uint8_t>(b[at]) | static_cast<std::uint8_t>(b[at + 1]) << 8);
}

// A NUL-terminated UTF-16LE field of `units` units; whether it ends inside
// the field with nothing but zeros after its end.
std::u16string Units(const std::string& b, std::size_t at, int units, bool* zeroAfter = nullptr)
{
    std::u16string s;
    int i = 0;
    for (; i < units && U16(b, at + 2 * i); ++i)
        s.push_back(U16(b, at + 2 * i));
    if (zeroAfter)
        *zeroAfter = i < units && b.find_first_not_of('\0', at + 2 * i) >= at + 2 * units;
    return s;
}

// Offsets and sizes from the file format's table, nothing else.
struct RawRecord {
    std::int32_t requestedEncoding, pointSize, textCase;
    std::u16string path, face;
    bool pathTerminatedAndZeroed, faceUnit31Zero;
    std::uint32_t fontColor, pageColor;
    std::uint8_t charSet, pitchAndFamily, italic, underline, strikeOut, bold;
    std::uint16_t reserved;
};

RawRecord ReadRawRecord(const std::string& b, std::size_t at)
{
    RawRecord r;
    r.requestedEncoding = static_cast<std::int32_t>(U32(b, at));
    r.path = Units(b, at + 4, 260, &r.pathTerminatedAndZeroed);
    r.fontColor = U32(b, at + 524);
    r.pageColor = U32(b, at + 528);
    r.face = Units(b, at + 532, 32);
    r.faceUnit31Zero = b[at + 594] == 0 && b[at + 595] == 0;
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
    for (std::size_t i = 0; i < path.size(); ++i)
        b[4 + 2 * i] = static_cast<char>(path[i] & 0xFF), b[5 + 2 * i] = static_cast<char>(path[i] >> 8);
    for (int k = 0; k < 4; ++k)
        b[524 + k] = static_cast<char>(fontColor >> (8 * k)), b[600 + k] = static_cast<char>(-10 >> (8 * k));
    const std::u16string face = u"Courier New";
    for (std::size_t i = 0; i < face.size(); ++i)
        b[532 + 2 * i] = static_cast<char>(face[i]);
    return b;
}

std::int64_t FileSize(const std::string& path)
{
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 ? static_cast<std::int64_t>(st.st_size) : -1;
}

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

    // A new record holds its path and the profile's defaults, every other byte zero.
    static void ExpectNewRecord(const std::string& bytes, std::size_t at, const std::u16string& path)
    {
        const RawRecord r = ReadRawRecord(bytes, at);
        EXPECT_EQ(r.path, path);
        EXPECT_TRUE(r.pathTerminatedAndZeroed);
        EXPECT_EQ(r.requestedEncoding, 0);
        EXPECT_EQ(r.fontColor, Rgb(10, 200, 30));
        EXPECT_EQ(r.pageColor, Rgb(1, 2, 3));
        EXPECT_EQ(r.face, u"Liberation Mono");
        EXPECT_TRUE(r.faceUnit31Zero);
        EXPECT_EQ(r.charSet, 1);
        EXPECT_EQ(r.pitchAndFamily, 49);
        EXPECT_EQ(r.reserved, 0);
        EXPECT_EQ(r.pointSize, 12);
        EXPECT_EQ(r.italic + r.underline + r.strikeOut, 0);
        EXPECT_EQ(r.bold, 1);
        EXPECT_EQ(r.textCase, TextCaseUpper);
    }

    std::vector<std::u16string> StoredPaths()
    {
        const std::string bytes = ReadFile(dbPath);
        std::vector<std::u16string> out;
        for (std::size_t at = 0; at + 612 <= bytes.size(); at += 612)
            out.push_back(ReadRawRecord(bytes, at).path);
        return out;
    }

    TempDir dir;
    std::string dbPath = dir.File("prefs.fpdb");
    CMemoryProfile profile;
    CFilePrefDatabase db{profile};
};

// --- Where the database lives --------------------------------------------------------

TEST(FilePrefDatabaseLocationTest, DataFolderFollowsTheXdgRules)
{
    const std::string tmp = "/tmp/ostrel-data-1000";
    const struct {
        const char *xdg, *home, *passwd;
        std::string temp, expected;
    } rows[] = {
        {"/x/data", "/home/u", "/home/pw", tmp, "/x/data"},
        {"rel/data", "/home/u", "/home/pw", tmp, "/home/u/.local/share"},  // relative: invalid, ignored
        {"", "/home/u", "/home/pw", tmp, "/home/u/.local/share"},
        {nullptr, nullptr, "/home/pw", tmp, "/home/pw/.local/share"},
        {nullptr, "", "", tmp, tmp},
        {nullptr, "relative", nullptr, tmp, tmp},
        {nullptr, nullptr, nullptr, "", ""},
    };
    for (const auto& r : rows)
        EXPECT_EQ(CFilePrefDatabase::DataFolderFor(r.xdg, r.home, r.passwd, r.temp), r.expected)
            << (r.xdg ? r.xdg : "-") << " " << (r.home ? r.home : "-");
}

TEST_F(FilePrefDatabaseTest, FirstUseMakesTheFolderAndOneRecordWhereTheEnvironmentSays)
{
    const std::string home = dir.File("home"), temp = dir.File("ostrel-data-" + std::to_string(::getuid()));
    ::mkdir(home.c_str(), 0700);
    const struct {
        const char* name;
        const char *xdg, *home;
        std::string folder;
    } rows[] = {
        {"XDG_DATA_HOME, made when missing", "not/yet/there", nullptr, dir.File("not/yet/there")},
        {"HOME stands in for it", nullptr, "home", home + "/.local/share"},
        {"a missing HOME gives way to a private temporary folder", nullptr, "no-such-home", temp},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.name);
        ScopedEnv xdg("XDG_DATA_HOME", r.xdg ? dir.File(r.xdg).c_str() : nullptr);
        ScopedEnv h("HOME", r.home ? dir.File(r.home).c_str() : nullptr);
        ScopedEnv tmp("TMPDIR", dir.Path().c_str());
        CFilePrefDatabase fresh(profile);  // the usual location, redirected by the environment
        const std::string expected = r.folder + "/Ostrel/fileprefdatabase.fpdb";
        EXPECT_EQ(fresh.GetDatabasePath(), expected);
        EXPECT_EQ(FileSize(expected), -1) << "the folder, not yet the file";
        EXPECT_EQ(fresh.FindOrAddRecord("/var/log/app.log").Index(), 0);
        ExpectNewRecord(ReadFile(expected), 0, u"/var/log/app.log");
        EXPECT_EQ(FileSize(expected), 612);
    }
    EXPECT_NE(::access(dir.File("no-such-home").c_str(), F_OK), 0) << "nobody's home is made";
}

// --- Lookups and growth, on files as other writers leave them -------------------------------

TEST_F(FilePrefDatabaseTest, RecordsAreFoundExactlyAndNewOnesLandOnTheGrid)
{
    std::mt19937 rng(612);
    std::string garbage(612 * 4 + 100, '\0');
    for (char& c : garbage)
        c = static_cast<char>(rng());
    const std::string known = RawRecordBytes(u"/known.log");
    garbage.replace(1224 + 4, 24, known.substr(4, 24));  // record 2 holds a real path in the noise
    std::string unterminated(612, '\0');
    for (int i = 0; i < 260; ++i)
        unterminated[4 + 2 * i] = 'a';
    std::string leftovers = RawRecordBytes(u"/x");
    leftovers[4 + 2 * 3] = 'J';  // after the terminator at unit 2
    const std::string a259(259, 'a'), tail(88, '\xEE');
    const struct {
        const char* name;
        std::string file;  // as found; -: none
        std::vector<std::pair<std::string, std::int64_t>> lookups;
        int records;
    } rows[] = {
        {"a missing file", "-", {{"/a.log", 0}, {"/b.log", 1}, {"/a.log", 0}}, 2},
        {"an empty file", "", {{"/x", 0}}, 1},
        {"an incomplete tail is overwritten", known + tail, {{"/new.log", 1}, {"/new.log", 1}, {"/known.log", 0}}, 2},
        {"paths compare exactly", "-", {{"/a.log", 0}, {"/A.log", 1}, {"/a.log2", 2}, {"/a.lo", 3}, {"/a.log", 0}}, 4},
        {"a path field without an end never matches", unterminated + leftovers, {{a259, 2}, {"/x", 1}, {a259, 2}}, 3},
        {"garbage is searched and extended", garbage, {{"/known.log", 2}, {"/new.log", 4}}, 5},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.name);
        ::unlink(dbPath.c_str());
        if (r.file != "-")
            dir.Write("prefs.fpdb", r.file);
        const std::size_t whole = r.file == "-" ? 0 : r.file.size() / 612 * 612;
        std::set<std::int64_t> added;
        {
            CFilePrefDatabase first(profile);
            first.SetDatabasePath(dbPath);
            for (const auto& [path, index] : r.lookups) {
                const CPrefRecordRef ref = first.FindOrAddRecord(path);
                EXPECT_TRUE(ref.IsStored()) << path;
                EXPECT_EQ(ref.Index(), index) << path;
                if (static_cast<std::size_t>(index) * 612 >= whole)
                    added.insert(index);
            }
        }
        CFilePrefDatabase nextRun(profile);  // finds every record again, adding none
        nextRun.SetDatabasePath(dbPath);
        for (const auto& [path, index] : r.lookups)
            EXPECT_EQ(nextRun.FindOrAddRecord(path).Index(), index) << path;
        EXPECT_EQ(FileSize(dbPath), 612 * r.records);
        const std::string bytes = ReadFile(dbPath);
        EXPECT_EQ(bytes.substr(0, whole), r.file.substr(0, whole)) << "records found are never rewritten";
        for (const auto& [path, index] : r.lookups)
            if (added.count(index))
                ExpectNewRecord(bytes, static_cast<std::size_t>(index) * 612, platform::Utf8ToUtf16(path));
    }
}

TEST_F(FilePrefDatabaseTest, PathsTheFieldCannotHoldStayInMemory)
{
    std::string emoji;  // 129 pairs: 258 units
    for (int i = 0; i < 129; ++i)
        emoji += "\xF0\x9F\x98\x80";
    const struct {
        std::string path;
        bool stored;
    } rows[] = {
        {"/tmp/\xC3\x9Cn\xC3\xAF/\xE2\x82\xAC-\xF0\x9F\x98\x80.log", true},  // Ünï/€-😀, as UTF-16
        {"/" + std::string(258, 'a'), true},                                 // 259 units fit
        {"/" + emoji, true},
        {"/" + std::string(259, 'a'), false},  // 260 do not
        {"//" + emoji, false},
        {"/bad/\xFF\xFE.log", false},  // not UTF-8
        {"/bad/\xC0\xAF", false},
        {"", false},
        {std::string("/a\0b", 4), false},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.path);
        CPrefRecordRef ref = db.FindOrAddRecord(r.path);
        ASSERT_TRUE(ref);
        EXPECT_EQ(ref.IsStored(), r.stored);
        EXPECT_EQ(ref->fontColor, Rgb(10, 200, 30));
        if (r.stored) {
            EXPECT_EQ(StoredPaths().back(), platform::Utf8ToUtf16(r.path));
            EXPECT_EQ(db.FindOrAddRecord(platform::Utf8ToUtf16(r.path)).Index(), ref.Index()) << "the UTF-16 overload";
            continue;
        }
        EXPECT_EQ(ref.Index(), -1);
        const std::u16string kept = PreferencesPath(*ref);
        EXPECT_TRUE(kept.empty() || kept == platform::Utf8ToUtf16(r.path)) << "a path is never cut into the field";
        ref->pointSize = 99;  // every lookup of that path in this run shares the record
        EXPECT_EQ(db.FindOrAddRecord(r.path)->pointSize, 99);
    }
    EXPECT_EQ(FileSize(dbPath), 612 * 3);
    EXPECT_NE(db.FindOrAddRecord("/bad/\xFF.log")->pointSize, 99) << "each unstorable path has its own record";
}

// --- References --------------------------------------------------------------------------------

TEST_F(FilePrefDatabaseTest, ReferencesReachTheRecordWhateverBecomesOfTheMapping)
{
    CPrefRecordRef ref = db.FindOrAddRecord("/srv/app.log");
    ref->requestedEncoding = 3;
    ref->fontColor = Rgb(1, 2, 250);
    ref->italic = 1;
    RawRecord r = ReadRawRecord(ReadFile(dbPath), 0);
    EXPECT_EQ(r.requestedEncoding, 3);
    EXPECT_EQ(r.fontColor, Rgb(1, 2, 250));
    EXPECT_EQ(r.italic, 1);
    db.FindOrAddRecord("/srv/app.log")->pageColor = Rgb(7, 7, 7);
    EXPECT_EQ(ref->pageColor, Rgb(7, 7, 7)) << "two views on one file share the record";

    for (int i = 0; i < 200; ++i)  // the mapping moves across several pages
        ASSERT_TRUE(db.FindOrAddRecord("/more/" + std::to_string(i)).IsStored());
    ref->pointSize = 33;
    db.CloseDatabase();
    ref->textCase = TextCaseSentence;  // reopens it
    EXPECT_TRUE(ref.IsStored());
    r = ReadRawRecord(ReadFile(dbPath), 0);
    EXPECT_EQ(r.pointSize, 33);
    EXPECT_EQ(r.textCase, TextCaseSentence);

    // Outliving the database object: the same in-memory record on every use.
    {
        CFilePrefDatabase shortLived(profile);
        shortLived.SetDatabasePath(dbPath);
        ref = shortLived.FindOrAddRecord("/gone.log");
    }
    EXPECT_FALSE(ref.IsStored());
    EXPECT_EQ(PreferencesPath(*ref), u"/gone.log");
    ref->fontColor = 5;
    EXPECT_EQ(ref->fontColor, 5u);
}

TEST_F(FilePrefDatabaseTest, RecordsTruncatedAwayByAnotherProgramAreAddedAgain)
{
    // Twenty records span three pages; touching a page past the new end of
    // the file would fault, so no read may go there.
    std::vector<CPrefRecordRef> refs;
    for (int i = 0; i < 20; ++i)
        refs.push_back(db.FindOrAddRecord("/r/" + std::to_string(i)));
    ASSERT_EQ(::truncate(dbPath.c_str(), 612), 0);  // another program keeps only record 0

    CPrefRecordRef d = db.FindOrAddRecord("/d");
    EXPECT_EQ(d.Index(), 1);
    // Record 1 now belongs to "/d": the old reference to "/r/1" must not
    // write into it but get a record of its own.
    refs[1]->pointSize = 41;
    refs[19]->pointSize = 59;
    refs[0]->pointSize = 40;
    EXPECT_EQ(d->pointSize, 12);
    EXPECT_EQ(StoredPaths(), (std::vector<std::u16string>{u"/r/0", u"/d", u"/r/1", u"/r/19"}));
    const std::string bytes = ReadFile(dbPath);
    for (const auto& [at, size] : {std::pair{0, 40}, {1, 12}, {2, 41}, {3, 59}})
        EXPECT_EQ(ReadRawRecord(bytes, at * 612).pointSize, size) << at;

    // Truncated to nothing: the next use starts the file again at zero.
    ASSERT_EQ(::truncate(dbPath.c_str(), 0), 0);
    refs[5]->bold = 0;
    EXPECT_EQ(refs[5].Index(), 0);
    EXPECT_EQ(FileSize(dbPath), 612);
}

TEST_F(FilePrefDatabaseTest, TruncationCaughtByTheGuardIsFollowedByAFreshMapping)
{
    std::vector<CPrefRecordRef> refs;
    for (int i = 0; i < 20; ++i)
        refs.push_back(db.FindOrAddRecord("/g/" + std::to_string(i)));
    const std::string original = ReadFile(dbPath);
    // A store that races another program's truncation: the page past the new
    // end faults, and the guard answers with zeros.
    DisplayPreferences* raw = refs[19].Get();
    const std::uint64_t faultsBefore = platform::GuardedFaultCount();
    ASSERT_EQ(::truncate(dbPath.c_str(), 612), 0);
    raw->pointSize = 5;
    EXPECT_GT(platform::GuardedFaultCount(), faultsBefore);
    // The file comes back whole at the very same size (a restored copy): the
    // record is read from the file again, not from the zero pages.
    dir.Write("prefs.fpdb", original);
    EXPECT_EQ(db.FindOrAddRecord("/g/19").Index(), 19);
    EXPECT_EQ(refs[19]->pointSize, 12);
    EXPECT_EQ(FileSize(dbPath), 612 * 20);
}

// --- Places that cannot hold it, and other processes ---------------------------------------------

// A folder that cannot exist (a file stands where it would be), a database
// that is a folder, and a data folder that may not be written (run as an
// ordinary user: the superuser may write anywhere).
TEST_F(FilePrefDatabaseTest, UnusableLocationsGiveInMemoryRecords)
{
    if (testutil::RanAsNobody())
        return;
    const std::string blocker = dir.Write("blocker", "x"), readOnly = dir.File("data");
    ASSERT_EQ(::mkdir(readOnly.c_str(), 0500), 0);
    const std::pair<std::string, std::string> rows[] = {
        {blocker + "/Ostrel/prefs.fpdb", ""}, {dir.Path(), ""}, {"", blocker + "/share"}, {"", readOnly}};
    for (const auto& [where, xdg] : rows) {
        SCOPED_TRACE(where + xdg);
        ScopedEnv env("XDG_DATA_HOME", xdg.c_str());
        CFilePrefDatabase bad(profile);
        bad.SetDatabasePath(where);
        CPrefRecordRef ref = bad.FindOrAddRecord("/a.log");
        EXPECT_FALSE(ref.IsStored());
        EXPECT_EQ(ref->fontColor, Rgb(10, 200, 30));
        EXPECT_EQ(PreferencesPath(*ref), u"/a.log");
        EXPECT_FALSE(bad.IsOpen());
    }
    EXPECT_NE(::access((readOnly + "/Ostrel").c_str(), F_OK), 0);
}

// Another process holding the database's lock (stuck, say) delays no lookup
// of a stored path; a new path waits a bounded time for it, then gets an
// in-memory record, and so do the new paths after it, at once, for a while;
// then one waits again. Once the lock is free, the path is stored.
TEST_F(FilePrefDatabaseTest, LockHeldElsewhereNeverBlocksALookup)
{
    using namespace std::chrono;
    constexpr milliseconds kWait(300), kRest(1000);
    db.SetLockTimes(kWait, kRest);
    const auto timed = [&](const std::string& path, bool* stored) {
        const auto start = steady_clock::now();
        *stored = db.FindOrAddRecord(path).IsStored();
        return steady_clock::now() - start;
    };
    ASSERT_TRUE(db.FindOrAddRecord("/known.log").IsStored());
    followtest::WriterProcess holder(dbPath);
    ASSERT_TRUE(holder.Do("lock")) << holder.LastAnswer();
    EXPECT_EQ(db.FindOrAddRecord("/known.log").Index(), 0);
    bool stored = true;
    EXPECT_GE(timed("/new.log", &stored), kWait) << "the first new path waits for the lock";
    EXPECT_FALSE(stored);
    const auto restStart = steady_clock::now();
    steady_clock::duration more{};
    for (int i = 0; i < 30; ++i) {
        more += timed("/more" + std::to_string(i) + ".log", &stored);
        EXPECT_FALSE(stored);
    }
    EXPECT_LT(more, kWait) << "thirty more new paths together wait less than one wait";
    EXPECT_EQ(FileSize(dbPath), 612);
    std::this_thread::sleep_until(restStart + kRest);
    EXPECT_GE(timed("/late.log", &stored), kWait) << "after the rest a lookup waits again";
    ASSERT_TRUE(holder.Do("unlock")) << holder.LastAnswer();
    EXPECT_EQ(db.FindOrAddRecord("/new.log").Index(), 1) << "a free lock is taken, rest or not";
}

TEST_F(FilePrefDatabaseTest, TwoProcessesAddingAtOnceKeepEveryRecord)
{
    constexpr int kEach = 300;
    // Both start from a missing file, released at the same instant by the
    // end of a pipe they wait on (only its read end is inherited).
    int gate[2];
    ASSERT_EQ(::pipe2(gate, O_CLOEXEC), 0);
    ASSERT_EQ(::fcntl(gate[0], F_SETFD, 0), 0);
    std::vector<pid_t> pids;
    for (const char* prefix : {"/one", "/two"})
        pids.push_back(
            followtest::Spawn("prefdb_adder", {dbPath, prefix, std::to_string(kEach), std::to_string(gate[0])}));
    ::close(gate[0]);
    ::close(gate[1]);  // both helpers go
    for (pid_t pid : pids)
        EXPECT_EQ(followtest::WaitExit(pid), 0);

    EXPECT_EQ(FileSize(dbPath), 612 * 2 * kEach);
    const std::string bytes = ReadFile(dbPath);
    std::set<std::u16string> seen;
    for (std::size_t at = 0; at + 612 <= bytes.size(); at += 612) {
        const RawRecord r = ReadRawRecord(bytes, at);
        EXPECT_TRUE(seen.insert(r.path).second) << "duplicate record at " << at;
        // Each helper wrote i + 1 into the size of its record for path i.
        const std::string name = platform::Utf16ToUtf8(r.path);
        EXPECT_EQ(r.pointSize, std::atoi(name.c_str() + name.rfind('/') + 1) + 1) << name;
    }
    EXPECT_EQ(seen.size(), std::size_t(2 * kEach));
}

}  // namespace
