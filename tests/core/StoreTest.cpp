// The store of marks and sessions: marks known again by path, inode and digest
// from one run to the next, the session round trip, and a database that is
// locked by another process, damaged, or left by a process killed in the
// middle of a change.
#include "tests/core/TestUtil.h"
#include "view/StateStore.h"

#include <sqlite3.h>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <sstream>

namespace {

using testutil::TempDir;
namespace fs = std::filesystem;

using testutil::Positions;

// The marks `store` has for `path`, as a window that opens the file under that name now asks for them.
std::shared_ptr<CMarkList> MarksOf(CStateStore& store, const std::string& path)
{
    const platform::FileHandle h = platform::OpenReadShared(path);
    std::shared_ptr<CMarkList> marks = store.MarksFor(path, h);
    platform::CloseFile(h);
    return marks;
}

// A store opened on `db`, what it said kept in `errors`.
struct Opened : CStateStore {
    std::ostringstream errors;
    bool ok;
    explicit Opened(const std::string& db) : ok(Open(db, errors)) {}
};

// The marks a store opened afresh (a new run) has for `path`.
std::vector<TextPos> MarksInNewRun(const std::string& db, const std::string& path)
{
    Opened store(db);
    EXPECT_TRUE(store.ok);
    return Positions(*MarksOf(store, path));
}

// A child process that runs `body` on its own connection to the database, says it is ready on a pipe and waits
// to be killed.
struct Child {
    pid_t pid = -1;
    template <typename Body>
    explicit Child(Body body)
    {
        int ready[2];
        if (::pipe(ready) != 0)
            return;
        pid = ::fork();
        if (pid == 0) {
            ::close(ready[0]);
            const bool ok = body();
            (void)!::write(ready[1], ok ? "1" : "0", 1);
            for (;;)
                ::pause();
        }
        ::close(ready[1]);
        char c = 0;
        ok = ::read(ready[0], &c, 1) == 1 && c == '1';
        ::close(ready[0]);
    }
    ~Child() { Kill(); }
    void Kill()
    {
        if (pid > 0) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, nullptr, 0);
        }
        pid = -1;
    }
    bool ok = false;
};

sqlite3* Connect(const std::string& db)
{
    sqlite3* c = nullptr;
    sqlite3_open_v2(db.c_str(), &c, SQLITE_OPEN_READWRITE, nullptr);
    return c;
}

TEST(Store, MarksAreKnownAgainByPathInodeAndDigest)
{
    const std::string text = "alpha\nbeta\ngamma\ndelta\n";  // lines at 0, 6, 11, 17
    const struct {
        const char* name;
        void (*change)(const std::string& path);
        std::vector<TextPos> kept;         // under the name
        std::vector<TextPos> keptRenamed;  // under path.1, when the change made it
    } cases[] = {
        {"appended", [](const std::string& p) { std::ofstream(p, std::ios::app) << "epsilon\n"; }, {0, 6, 17}, {}},
        {"truncated in place", [](const std::string& p) { fs::resize_file(p, 12); }, {0, 6}, {}},
        {"emptied", [](const std::string& p) { fs::resize_file(p, 0); }, {}, {}},
        {"rewritten in place", [](const std::string& p) { std::ofstream(p) << "ALPHA\nbeta\ngamma\ndelta\n"; }, {}, {}},
        {"copied over by rename",
         [](const std::string& p) {
             fs::copy_file(p, p + ".new");
             fs::rename(p + ".new", p);
         },
         {0, 6, 17},
         {}},
        {"rotated",
         [](const std::string& p) {
             fs::rename(p, p + ".1");
             std::ofstream(p) << "a new log\n";
         },
         {},
         {0, 6, 17}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        const std::string db = dir.File("store.sqlite"), path = dir.Write("app.log", text);
        {
            Opened store(db);
            ASSERT_TRUE(store.ok);
            std::shared_ptr<CMarkList> marks = MarksOf(store, path);
            for (TextPos p : {0, 6, 17})
                marks->Add(p);
            marks->SetNote(6, "the second line");
            // A second window on the file shares the list.
            EXPECT_EQ(MarksOf(store, path), marks);
        }
        EXPECT_EQ(MarksInNewRun(db, path), (std::vector<TextPos>{0, 6, 17})) << "unchanged";
        c.change(path);
        if (!c.keptRenamed.empty()) {
            EXPECT_EQ(MarksInNewRun(db, path), c.kept);  // the new file first: the old one's marks wait for it
            EXPECT_EQ(MarksInNewRun(db, path + ".1"), c.keptRenamed);
        }
        EXPECT_EQ(MarksInNewRun(db, path), c.kept);
    }
}

TEST(Store, SessionRoundTrip)
{
    TempDir dir;
    const std::string db = dir.File("store.sqlite");
    CWindowState a;
    a.path = dir.File("a.log");
    a.group = 0;
    a.top = 1234;
    a.size = 99999;
    a.modified = 1700000000;
    a.id = {7, 8};
    a.font.lfHeight = -13;
    a.font.lfWeight = 700;
    a.font.lfFaceName[0] = u'M';
    a.fontColor = 0x00112233;
    a.pageColor = 0x00FFEEDD;
    a.textCase = 3;
    a.codePage = "utf-8";
    a.highlightStart = 10;
    a.highlightEnd = 14;
    a.filter = "ERROR|WARN";
    a.filterRegex = true;
    a.filterInvert = true;
    CWindowState b;
    b.path = std::string("/tmp/odd \xFF name.log");  // a file name need not be UTF-8
    b.group = 1;
    b.active = true;
    b.following = true;
    b.filterIgnoreCase = true;
    b.rotated = true;  // shown with its older parts, the top row in one of them
    b.topPath = b.path + ".1";
    b.topMicros = -5;
    CWindowState c;  // a merged window: its files in order
    c.path = dir.File("m1.log");
    c.merged = {"/tmp/m0.log", c.path};
    c.top = 77;
    c.topPath = "/tmp/m0.log";
    c.topMicros = 1'700'000'000'123'456;
    c.topId = {~0ULL, 1ULL << 63};  // through SQLite's signed integers unchanged
    {
        Opened store(db);
        ASSERT_TRUE(store.ok);
        store.SaveSession({a, b, c});
        store.SaveSession({a, b, c});  // replaced, not added to
    }
    {
        Opened store(db);
        ASSERT_TRUE(store.ok);
        EXPECT_EQ(store.LastSession(), (std::vector<CWindowState>{a, b, c}));
        EXPECT_TRUE(store.errors.str().empty());
    }
    // A viewer that knows only the one-file windows saves its session over this one and leaves the rows of
    // several files behind: they stay with the window they were written for.
    sqlite3* raw = Connect(db);
    ASSERT_EQ(sqlite3_exec(raw, "UPDATE session SET path = 'other.log' WHERE ord = 2", nullptr, nullptr, nullptr),
              SQLITE_OK);
    sqlite3_close(raw);
    c.path = "other.log";
    c.merged.clear();
    c.topPath.clear();
    c.topMicros = 0;
    c.topId = {};
    Opened store(db);
    EXPECT_EQ(store.LastSession(), (std::vector<CWindowState>{a, b, c}));
}

// Another instance holds the database: this one waits a little, reads it, and keeps its changes to itself.
TEST(Store, LockedByAnotherProcessIsUsedReadOnly)
{
    TempDir dir;
    const std::string db = dir.File("store.sqlite"), path = dir.Write("app.log", "one\ntwo\nthree\n");
    {
        Opened store(db);
        ASSERT_TRUE(store.ok);
        MarksOf(store, path)->Add(4);
        CWindowState window;
        window.path = path;
        store.SaveSession({window});
        store.SetFormatOf(path, "ISO 8601");
    }
    // Made by a viewer that had no tables for windows of several files, which this one cannot add now.
    sqlite3* raw = Connect(db);
    ASSERT_EQ(sqlite3_exec(raw, "DROP TABLE session_sets; DROP TABLE session_merged", nullptr, nullptr, nullptr),
              SQLITE_OK);
    sqlite3_close(raw);
    Child holder([&] {
        sqlite3* c = Connect(db);
        return c && sqlite3_exec(c, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr) == SQLITE_OK;
    });
    ASSERT_TRUE(holder.ok);

    const auto start = std::chrono::steady_clock::now();
    Opened store(db);
    EXPECT_TRUE(store.ok);
    std::shared_ptr<CMarkList> marks = MarksOf(store, path);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(3));  // never a long wait
    EXPECT_TRUE(store.IsReadOnly());
    EXPECT_EQ(Positions(*marks), (std::vector<TextPos>{4}));  // what was kept is read all the same
    EXPECT_EQ(store.LastSession().size(), 1u);
    EXPECT_EQ(store.FormatOf(path), "ISO 8601");
    EXPECT_FALSE(store.TakeNotice().empty());
    EXPECT_TRUE(store.TakeNotice().empty());  // said once
    marks->Add(8);                            // kept in memory for the run
    EXPECT_EQ(Positions(*marks), (std::vector<TextPos>{4, 8}));
    holder.Kill();
    EXPECT_EQ(MarksInNewRun(db, path), (std::vector<TextPos>{4}));
    EXPECT_TRUE(store.errors.str().empty());
}

TEST(Store, DamagedDatabaseIsMovedAsideAndANewOneStarted)
{
    const struct {
        const char* name;
        void (*damage)(const std::string& db);
    } cases[] = {
        {"not a database", [](const std::string& db) { std::ofstream(db) << std::string(8192, 'x'); }},
        {"a page overwritten",
         [](const std::string& db) {
             std::fstream f(db, std::ios::in | std::ios::out | std::ios::binary);
             f.seekp(4096 + 8);  // inside the second page, past its header
             f << std::string(2000, '\x5A');
         }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        const std::string db = dir.File("store.sqlite"), path = dir.Write("app.log", "one\ntwo\n");
        {
            Opened store(db);
            ASSERT_TRUE(store.ok);
            MarksOf(store, path)->Add(4);
            std::vector<CWindowState> session(50);
            for (CWindowState& w : session)
                w.path = path, w.filter = std::string(100, 'f');
            store.SaveSession(session);  // a few pages to damage
        }
        c.damage(db);
        Opened store(db);
        EXPECT_TRUE(store.ok);
        const std::string said = store.errors.str();
        EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), 1) << said;
        int aside = 0;
        for (const auto& entry : fs::directory_iterator(dir.Path()))
            aside += entry.path().filename().string().starts_with("store.sqlite.damaged-") ? 1 : 0;
        EXPECT_EQ(aside, 1);
        EXPECT_FALSE(store.IsReadOnly());
        EXPECT_TRUE(store.LastSession().empty());
        MarksOf(store, path)->Add(0);
        store.Close();
        EXPECT_EQ(MarksInNewRun(db, path), (std::vector<TextPos>{0}));
    }
}

// A process killed between a change and its commit leaves the change out and everything committed in.
TEST(Store, KilledInTheMiddleOfAChangeLosesOnlyThatChange)
{
    TempDir dir;
    const std::string db = dir.File("store.sqlite"), path = dir.Write("app.log", "one\ntwo\nthree\n");
    Child writer([&] {
        Opened store(db);
        if (!store.ok)
            return false;
        MarksOf(store, path)->Add(4);  // committed
        // A change as large as a session, its pages already in the log, never committed.
        sqlite3* c = Connect(db);
        sqlite3_exec(c, "PRAGMA cache_size=1", nullptr, nullptr, nullptr);
        return sqlite3_exec(c,
                            "BEGIN IMMEDIATE; DELETE FROM marks; WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL "
                            "SELECT i + 1 FROM n WHERE i < 5000) INSERT INTO marks SELECT 1, i * 100, "
                            "'never committed' FROM n;",
                            nullptr, nullptr, nullptr) == SQLITE_OK;
    });
    ASSERT_TRUE(writer.ok);
    writer.Kill();
    Opened store(db);
    EXPECT_TRUE(store.ok);
    EXPECT_TRUE(store.errors.str().empty()) << store.errors.str();
    EXPECT_FALSE(store.IsReadOnly());
    EXPECT_EQ(Positions(*MarksOf(store, path)), (std::vector<TextPos>{4}));
}

}  // namespace

// The log format chosen per file: kept by path across runs, back to the format found when the choice is taken
// back, and a file never chosen for has none.
TEST(Store, ChosenFormatIsKeptPerFileAcrossRuns)
{
    TempDir dir;
    const std::string db = dir.File("store.sqlite");
    const std::pair<std::string, std::string> changes[] = {
        {"/logs/a.log", "logcat threadtime"},
        {"/logs/b.log", "klog"},
        {"/logs/a.log", "Spark"},
        {"/logs/c.log", "JSON lines"},
        {"/logs/c.log", ""} /* back to Automatic */,
    };
    {
        Opened store(db);
        ASSERT_TRUE(store.ok);
        for (const auto& [path, name] : changes)
            store.SetFormatOf(path, name);
        EXPECT_EQ(store.FormatOf("/logs/a.log"), "Spark");
    }
    Opened store(db);
    ASSERT_TRUE(store.ok);
    const std::pair<std::string, std::string> kept[] = {
        {"/logs/a.log", "Spark"}, {"/logs/b.log", "klog"}, {"/logs/c.log", ""}, {"/logs/never.log", ""}};
    for (const auto& [path, name] : kept)
        EXPECT_EQ(store.FormatOf(path), name) << path;
    EXPECT_TRUE(store.errors.str().empty());
}
