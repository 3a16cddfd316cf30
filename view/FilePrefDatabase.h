// The per-file preference database: "fileprefdatabase.fpdb", a headerless
// array of 612-byte DisplayPreferences records, mapped writable for the whole
// run. Records are found and changed in the mapping; a new path appends one
// record. Several instances of the program may share the file.
//
// Decisions worth knowing:
// - Paths are stored as UTF-16LE, converted from the UTF-8 the program uses.
//   A path that is not valid UTF-8, is empty, holds a NUL or does not fit the
//   field (260 units or more) is never written into the file: the caller gets
//   an in-memory record with the defaults (shared by every lookup of that
//   path in this run).
// - Paths compare exactly: POSIX file systems are case-sensitive, and folding
//   case would merge the records of two distinct files. Only a Windows build
//   folds the ASCII letters.
// - Callers hold a CPrefRecordRef, which keeps the record's index and path,
//   not its address, so it still reaches the record after the file has grown
//   and been mapped again.
// - A new record goes to the first 612-aligned slot after the last whole
//   record (an incomplete tail is overwritten), so it is found again.
// - The file is created when missing and never truncated.
// - A new, larger mapping is made before the old one is released: a failed
//   re-map leaves the database open on its old view, never on freed memory.
// - A stored path is found without any lock. A new one is looked for again
//   and appended under an advisory lock on the file, after a fresh look at
//   its size, so two instances adding different paths at the same time both
//   keep theirs. The lock is waited for about a second at most (another
//   process may be stuck holding it); past that the caller gets an in-memory
//   record, as for every other failure. After such a wait the lookups of the
//   next minute only try the lock once and never wait: opening thirty new
//   files must not cost thirty seconds behind a stuck process.
#pragma once

#include "file/MemoryMappedFile.h"
#include "view/DisplayPreferences.h"

#include <chrono>
#include <cstdint>
#include <map>
#include <memory>
#include <string>

inline constexpr std::uint64_t RECORD_SIZE = sizeof(DisplayPreferences);
inline constexpr const char* kDatabaseFolderName = "Ostrel";
inline constexpr const char* kDatabaseFileName = "fileprefdatabase.fpdb";

class CFilePrefDatabase;

// A reference to one file's record that a view may keep for its whole life.
// It resolves, at each use, to the record in the live mapping; if that can no
// longer be reached (another program truncated or rewrote the file, or the
// database object is gone) it finds or re-adds the path's record, and failing
// that falls back to an in-memory record (with the built-in defaults once the
// database object is gone: its profile may be gone with it). Do not keep the
// pointer it yields across another database call: a lookup may replace the
// mapping.
class CPrefRecordRef {
public:
    CPrefRecordRef() = default;

    DisplayPreferences* Get() const;
    DisplayPreferences* operator->() const { return Get(); }
    DisplayPreferences& operator*() const { return *Get(); }
    explicit operator bool() const { return m_pOwned != nullptr || m_pLink != nullptr; }

    // Whether the record lives in the database file (false for in-memory ones).
    bool IsStored() const;
    // Index of the record in the file, or -1 for an in-memory record.
    std::int64_t Index() const { return m_pOwned ? -1 : m_nIndex; }

private:
    friend class CFilePrefDatabase;
    std::shared_ptr<CFilePrefDatabase*> m_pLink;  // points to null once the database is destroyed
    mutable std::int64_t m_nIndex = -1;
    std::u16string m_strKey;
    mutable std::shared_ptr<DisplayPreferences> m_pOwned;
};

class CFilePrefDatabase {
public:
    // New records take their defaults from `profile`, which outlives the database.
    explicit CFilePrefDatabase(IProfile& profile);
    ~CFilePrefDatabase();
    CFilePrefDatabase(const CFilePrefDatabase&) = delete;
    CFilePrefDatabase& operator=(const CFilePrefDatabase&) = delete;

    // $XDG_DATA_HOME/Ostrel/fileprefdatabase.fpdb (XDG_DATA_HOME defaulting to
    // ~/.local/share); the folders are created when missing, but never the
    // home folder itself: without a usable home, a private folder in the
    // temporary folder stands in. Empty when no safe location exists. An
    // explicit path (SetDatabasePath) wins.
    std::string GetDatabasePath();
    // Uses `path` instead of the usual location (tests, tools); empty restores it.
    void SetDatabasePath(const std::string& path) { m_strPathOverride = path; }
    // How long a lookup waits for the lock held by another process, and how
    // long after a wait in vain lookups do not wait (tests shorten both).
    void SetLockTimes(std::chrono::milliseconds wait, std::chrono::milliseconds rest)
    {
        m_lockWait = wait;
        m_lockRest = rest;
    }

    // Opens (creating it when missing, never truncating it) and maps the
    // database file. False when it is already open or cannot be opened. An
    // empty file opens fine and simply holds no record yet.
    bool OpenDatabase();
    // Releases the mapping and the file; references fall back as described.
    void CloseDatabase();
    bool IsOpen() const { return m_pFile != nullptr; }

    // The record of `path` (UTF-8), added with the defaults of the profile
    // when the file has none. Never an empty reference.
    CPrefRecordRef FindOrAddRecord(const std::string& path);
    CPrefRecordRef FindOrAddRecord(const std::u16string& path);

    // Whole records in the current mapping (0 when closed).
    std::uint64_t RecordCount() const { return m_nRecords; }

    // The folder that holds the "Ostrel" folder, from the environment's
    // values: XDG_DATA_HOME when absolute, else HOME/.local/share, else the
    // password database's home/.local/share, else `tempFolder`; each only when
    // absolute. Empty when none is.
    static std::string DataFolderFor(const char* xdgDataHome, const char* home, const char* passwdHome,
                                     const std::string& tempFolder);

    DisplayPreferences* m_pRecords = nullptr;    // first record of the live view
    std::unique_ptr<CMemoryMappedFile> m_pFile;  // null while the database is not open

private:
    friend class CPrefRecordRef;

    // Brings the view to the file's current size (new view first, then the old
    // released). False when the size cannot be read.
    bool SyncMapping();
    std::int64_t FindIndex(const std::u16string& key) const;
    // Finds, or appends under the file lock; -1 when the record cannot be
    // stored or reached in the mapping.
    std::int64_t FindOrAddIndex(const std::u16string& key);
    // The record behind a reference, or null when the file cannot hold it.
    DisplayPreferences* Resolve(std::int64_t& index, const std::u16string& key);
    std::shared_ptr<DisplayPreferences> MemoryRecord(const std::u16string& key);
    CPrefRecordRef MemoryRef(const std::u16string& key);

    IProfile& m_profile;
    std::string m_strPathOverride;
    std::chrono::milliseconds m_lockWait{1000};
    std::chrono::milliseconds m_lockRest{60000};
    std::chrono::steady_clock::time_point m_lockRestEnd{};  // no wait before it
    std::uint64_t m_nRecords = 0;
    std::shared_ptr<CFilePrefDatabase*> m_pSelf;
    // Records that cannot live in the file, one per path for the whole run.
    std::map<std::u16string, std::shared_ptr<DisplayPreferences>> m_memoryRecords;
    std::map<std::string, std::shared_ptr<DisplayPreferences>> m_memoryRecordsRaw;
};
