// The store: what the viewer keeps from one run to the next besides the
// settings and the display preferences, in one SQLite database beside the
// preference database: the marks of every file (with their notes) and the
// windows of the last run (the session).
//
// Decisions worth knowing:
// - Everything is read once, when the store is opened; from then on the
//   store answers from memory and writes each change at once, in its own
//   transaction, on the caller's (the UI) thread. The database runs in
//   write-ahead logging with synchronous=NORMAL: a commit costs a write to
//   the log, not a flush of the disk, so a change costs well under a
//   millisecond; a crash of the program loses nothing that was committed,
//   and a change that was not committed leaves no trace.
// - Several instances share the database, each writing its own changes. One
//   that finds it locked (another instance in the middle of a long write, or
//   stuck) waits 200 ms at most, then goes on read-only for the rest of the
//   run: what it was told stays in memory, and TakeNotice says so once.
// - A damaged database (not a database at all, or failing SQLite's quick
//   check) is moved aside under its name with the date added, and a new one
//   is started; one line on the error stream says where the old one went.
// - Nothing here ever stops a file from opening: without a database the
//   store works from memory for the run.
// - The log format a user chose for a file is kept by the file's path alone: a
//   choice names a family of logs, which a rotated or rewritten file keeps.
// - Marks are kept per file by byte position. A file is known again by its
//   path, or, under a new name (a rotated log), by its device and inode; in
//   either case only when the digest of its first bytes still matches
//   (file/FileIdentity.h). Marks past the file's end are dropped; a file
//   that was replaced keeps none.
#pragma once

#include "engine/TextPos.h"
#include "file/FileIdentity.h"
#include "platform/File.h"
#include "platform/Types.h"
#include "textwnd/Marks.h"

#include <chrono>
#include <cstdint>
#include <iosfwd>
#include <map>
#include <memory>
#include <string>
#include <vector>

struct sqlite3;
struct sqlite3_stmt;

// One window of a session, as it was when the program ended.
struct CWindowState {
    std::string path;
    int group = 0;        // its tab group, counted from the left; the windows come in window order
    bool active = false;  // the active window
    TextPos top = 0;
    bool following = false;  // it showed the end of the file
    // The file as the window saw it: a file that changed since reopens at its end.
    std::uint64_t size = 0;
    std::int64_t modified = -1;
    platform::FileId id;
    platform::LOGFONTW font{};
    platform::COLORREF fontColor = 0;
    platform::COLORREF pageColor = 0;
    std::int32_t textCase = 0;
    std::string codePage;  // platform::CodePageKey
    TextPos highlightStart = kNoPos;
    TextPos highlightEnd = kNoPos;
    // The filter pane's query (UTF-8); empty: no filter shown.
    std::string filter;
    bool filterRegex = false;
    bool filterIgnoreCase = false;
    bool filterInvert = false;
    // A window that showed its log with the older parts that rotation left beside it: it reopens with the
    // parts found anew.
    bool rotated = false;
    // A merged window's files in its order (the window's own `path` among them); empty for a window on one file.
    std::vector<std::string> merged;
    // In a merged window or a rotated log, the file of the top row and that row's time (`top` is its place in
    // that file); empty for a window on one file.
    std::string topPath;
    std::int64_t topMicros = 0;
    // That file's device and inode, by which it is found again wherever a rotation moved its name.
    platform::FileId topId;
    bool operator==(const CWindowState& other) const;
};

class CStateStore {
public:
    static constexpr const char* kFileName = "store.sqlite";

    CStateStore();
    ~CStateStore();
    CStateStore(const CStateStore&) = delete;
    CStateStore& operator=(const CStateStore&) = delete;

    // How long a locked database is waited for (tests shorten it).
    void SetLockWait(std::chrono::milliseconds wait) { m_lockWait = wait; }
    // Opens (creating it when missing) the database at `path` and reads it whole. A damaged one is moved aside
    // with one line on `errors`. False when the store works from memory only (no database could be opened).
    bool Open(const std::string& path, std::ostream& errors);
    void Close();
    bool IsOpen() const { return m_pDb != nullptr; }
    // Whether changes are no longer written (the database was locked, or failed a write).
    bool IsReadOnly() const { return m_bReadOnly; }
    const std::string& Path() const { return m_strPath; }
    // What the user should hear of the store, once: the text the first time, then empty.
    std::string TakeNotice();

    // --- Marks --------------------------------------------------------------------------------------------------
    // The marks of the file open as `h` under `path`: the list that every window on the file shares, with what
    // was kept of it, its changes written from then on. Never null.
    std::shared_ptr<CMarkList> MarksFor(const std::string& path, platform::FileHandle h);
    // Another file is under `path` now (open as `h`): its marks went, and it is known by its new identity.
    void FileReplaced(const std::string& path, platform::FileHandle h);

    // --- The session ----------------------------------------------------------------------------------------------
    // Replaces the kept session with `windows`, in one transaction.
    void SaveSession(const std::vector<CWindowState>& windows);
    // The session as it was read at Open (or last saved).
    const std::vector<CWindowState>& LastSession() const { return m_session; }

    // --- The log format chosen per file --------------------------------------------------------------------------
    // The name of the format chosen for the file at `path`; empty: the format found from its lines.
    std::string FormatOf(const std::string& path) const;
    // Keeps `name` (empty: back to the format found) as the choice for `path`, in one transaction.
    void SetFormatOf(const std::string& path, const std::string& name);

private:
    struct CFileEntry;
    class CSink;
    friend class CSink;

    enum class Outcome { Ok, Locked, Damaged, Failed };
    Outcome OpenAt(const std::string& path);
    Outcome Prepare();
    Outcome ReadAll();
    Outcome Classify(int rc) const;
    // The rows of a merged window or a rotated log beside its row `ord` of the session.
    bool SaveSetOf(int ord, const CWindowState& w);
    bool Exec(const char* sql);
    // Runs `body` in a transaction; a failure rolls it back and turns the store read-only with a notice.
    template <typename Body>
    bool Write(Body body);
    void GoReadOnly(const std::string& why);
    sqlite3_stmt* Statement(const char* sql);

    CFileEntry& EntryFor(const std::string& path, const CFileIdentity& current, platform::FileHandle h);
    bool StoreIdentity(CFileEntry& entry);
    bool SetRowPath(std::int64_t row, const std::string& path);
    void DeleteRow(std::int64_t row);
    void WriteMark(CFileEntry& entry, const CMark& mark);
    void RemoveMark(CFileEntry& entry, TextPos pos);
    void DropMarks(CFileEntry& entry, TextPos end);

    sqlite3* m_pDb = nullptr;
    std::map<std::string, sqlite3_stmt*> m_statements;
    std::string m_strPath;
    std::chrono::milliseconds m_lockWait{200};
    bool m_bReadOnly = false;
    std::string m_strNotice;
    bool m_bNoticeTaken = false;
    std::map<std::string, std::unique_ptr<CFileEntry>> m_files;  // by path
    std::vector<CWindowState> m_session;
    std::map<std::string, std::string> m_formats;  // chosen log format by path
};
