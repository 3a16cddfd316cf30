#include "view/StateStore.h"

#include "platform/ReplacingWriter.h"

#include <sqlite3.h>

#include <algorithm>
#include <cstring>
#include <ctime>
#include <ostream>

namespace {

constexpr int kSchemaVersion = 1;
constexpr int kCheckpointPages = 16384;  // 64 MiB of log

constexpr const char* kSchema = R"sql(
CREATE TABLE IF NOT EXISTS files(
    id INTEGER PRIMARY KEY,
    path BLOB NOT NULL UNIQUE,
    device INTEGER NOT NULL, inode INTEGER NOT NULL,
    size INTEGER NOT NULL, prefix INTEGER NOT NULL, digest INTEGER NOT NULL);
CREATE INDEX IF NOT EXISTS files_by_inode ON files(device, inode);
CREATE TABLE IF NOT EXISTS marks(
    file INTEGER NOT NULL REFERENCES files(id) ON DELETE CASCADE,
    pos INTEGER NOT NULL,
    note TEXT NOT NULL DEFAULT '',
    PRIMARY KEY(file, pos)) WITHOUT ROWID;
CREATE TABLE IF NOT EXISTS session(
    ord INTEGER PRIMARY KEY,
    path BLOB NOT NULL, grp INTEGER NOT NULL, active INTEGER NOT NULL,
    top INTEGER NOT NULL, following INTEGER NOT NULL,
    size INTEGER NOT NULL, modified INTEGER NOT NULL, device INTEGER NOT NULL, inode INTEGER NOT NULL,
    font BLOB, font_color INTEGER NOT NULL, page_color INTEGER NOT NULL, text_case INTEGER NOT NULL,
    code_page TEXT NOT NULL, hl_start INTEGER NOT NULL, hl_end INTEGER NOT NULL,
    filter TEXT NOT NULL, filter_flags INTEGER NOT NULL);
CREATE TABLE IF NOT EXISTS session_sets(
    ord INTEGER PRIMARY KEY, path BLOB NOT NULL,
    rotated INTEGER NOT NULL, top_path BLOB NOT NULL, top_micros INTEGER NOT NULL,
    top_device INTEGER NOT NULL, top_inode INTEGER NOT NULL);
CREATE TABLE IF NOT EXISTS session_merged(
    ord INTEGER NOT NULL, part INTEGER NOT NULL, path BLOB NOT NULL,
    PRIMARY KEY(ord, part)) WITHOUT ROWID;
CREATE TABLE IF NOT EXISTS formats(
    path BLOB PRIMARY KEY,
    name TEXT NOT NULL) WITHOUT ROWID;
)sql";

constexpr const char* kLockedNotice =
    "The marks and the session are kept by another instance of the viewer: this one keeps no changes to them.";
constexpr const char* kFailedNotice = "The marks and the session cannot be kept: ";

// SQLite keeps signed 64-bit integers; device and inode numbers and the digest go through them unchanged.
std::int64_t Signed(std::uint64_t v)
{
    std::int64_t s;
    std::memcpy(&s, &v, sizeof s);
    return s;
}

std::uint64_t Unsigned(std::int64_t v)
{
    std::uint64_t u;
    std::memcpy(&u, &v, sizeof u);
    return u;
}

void BindBytes(sqlite3_stmt* st, int i, const std::string& bytes)
{
    sqlite3_bind_blob(st, i, bytes.data(), static_cast<int>(bytes.size()), SQLITE_TRANSIENT);
}

std::string ColumnBytes(sqlite3_stmt* st, int i)
{
    const void* p = sqlite3_column_blob(st, i);
    const int n = sqlite3_column_bytes(st, i);
    return p && n > 0 ? std::string(static_cast<const char*>(p), static_cast<std::size_t>(n)) : std::string();
}

std::string ColumnText(sqlite3_stmt* st, int i)
{
    const unsigned char* p = sqlite3_column_text(st, i);
    return p ? std::string(reinterpret_cast<const char*>(p)) : std::string();
}

// "2024-05-01T10-20-30": a date that sorts, in a file name.
std::string DateForName()
{
    const std::time_t now = std::time(nullptr);
    std::tm tm{};
    localtime_r(&now, &tm);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H-%M-%S", &tm);
    return text;
}

}  // namespace

bool CWindowState::operator==(const CWindowState& o) const
{
    return path == o.path && group == o.group && active == o.active && top == o.top && following == o.following &&
           size == o.size && modified == o.modified && id == o.id && std::memcmp(&font, &o.font, sizeof font) == 0 &&
           fontColor == o.fontColor && pageColor == o.pageColor && textCase == o.textCase && codePage == o.codePage &&
           highlightStart == o.highlightStart && highlightEnd == o.highlightEnd && filter == o.filter &&
           filterRegex == o.filterRegex && filterIgnoreCase == o.filterIgnoreCase && filterInvert == o.filterInvert &&
           rotated == o.rotated && merged == o.merged && topPath == o.topPath && topMicros == o.topMicros &&
           topId == o.topId;
}

struct CStateStore::CFileEntry {
    std::string path;
    std::int64_t row = 0;  // 0: not in the database yet
    CFileIdentity identity;
    std::vector<CMark> kept;  // read at Open, until the list is made
    std::shared_ptr<CMarkList> list;
    std::unique_ptr<CSink> sink;
};

class CStateStore::CSink : public IMarkSink {
public:
    CSink(CStateStore& store, CFileEntry& entry) : m_store(store), m_entry(entry) {}
    void OnMarkSet(const CMark& mark) override { m_store.WriteMark(m_entry, mark); }
    void OnMarkRemoved(TextPos pos) override { m_store.RemoveMark(m_entry, pos); }
    void OnMarksDroppedFrom(TextPos end) override { m_store.DropMarks(m_entry, end); }

private:
    CStateStore& m_store;
    CFileEntry& m_entry;
};

CStateStore::CStateStore() = default;

CStateStore::~CStateStore()
{
    // A window may keep its list a little longer: it must no longer write here.
    for (auto& [path, entry] : m_files)
        if (entry->list)
            entry->list->SetSink(nullptr);
    Close();
}

void CStateStore::Close()
{
    for (auto& [sql, st] : m_statements)
        sqlite3_finalize(st);
    m_statements.clear();
    if (m_pDb && !m_bReadOnly)
        sqlite3_wal_checkpoint_v2(m_pDb, nullptr, SQLITE_CHECKPOINT_PASSIVE, nullptr, nullptr);
    if (m_pDb)
        sqlite3_close(m_pDb);
    m_pDb = nullptr;
}

CStateStore::Outcome CStateStore::Classify(int rc) const
{
    switch (rc & 0xFF) {
    case SQLITE_OK:
    case SQLITE_ROW:
    case SQLITE_DONE: return Outcome::Ok;
    case SQLITE_BUSY:
    case SQLITE_LOCKED: return Outcome::Locked;
    case SQLITE_CORRUPT:
    case SQLITE_NOTADB: return Outcome::Damaged;
    default: return Outcome::Failed;
    }
}

bool CStateStore::Exec(const char* sql)
{
    return m_pDb && sqlite3_exec(m_pDb, sql, nullptr, nullptr, nullptr) == SQLITE_OK;
}

sqlite3_stmt* CStateStore::Statement(const char* sql)
{
    if (!m_pDb)
        return nullptr;
    sqlite3_stmt*& st = m_statements[sql];
    if (!st && sqlite3_prepare_v3(m_pDb, sql, -1, SQLITE_PREPARE_PERSISTENT, &st, nullptr) != SQLITE_OK) {
        m_statements.erase(sql);
        return nullptr;
    }
    sqlite3_reset(st);
    sqlite3_clear_bindings(st);
    return st;
}

CStateStore::Outcome CStateStore::OpenAt(const std::string& path)
{
    Close();
    const int rc = sqlite3_open_v2(path.c_str(), &m_pDb, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
    if (rc != SQLITE_OK)
        return Classify(rc) == Outcome::Damaged ? Outcome::Damaged : Outcome::Failed;
    sqlite3_extended_result_codes(m_pDb, 1);
    sqlite3_busy_timeout(m_pDb, static_cast<int>(m_lockWait.count()));
    return Prepare();
}

CStateStore::Outcome CStateStore::Prepare()
{
    // The journal mode is the database's own once set: this asks for no lock when it is WAL already.
    if (sqlite3_stmt* st = Statement("PRAGMA journal_mode=WAL")) {
        const Outcome o = Classify(sqlite3_step(st));
        sqlite3_reset(st);
        if (o != Outcome::Ok)
            return o;
    } else {
        return Classify(sqlite3_errcode(m_pDb));
    }
    Exec("PRAGMA synchronous=NORMAL");
    // A checkpoint flushes the database file to the disk: SQLite's own, every 1000 pages, would cost a change
    // now and then tens of milliseconds on the UI thread. The log is folded in when the store closes, and in a
    // run so long that it grows past kCheckpointPages.
    sqlite3_wal_hook(
        m_pDb,
        [](void*, sqlite3* db, const char*, int pages) {
            if (pages >= kCheckpointPages)
                sqlite3_wal_checkpoint_v2(db, nullptr, SQLITE_CHECKPOINT_PASSIVE, nullptr, nullptr);
            return SQLITE_OK;
        },
        nullptr);
    Exec("PRAGMA foreign_keys=ON");
    if (sqlite3_stmt* st = Statement("PRAGMA quick_check")) {
        const int rc = sqlite3_step(st);
        const bool ok = rc == SQLITE_ROW && ColumnText(st, 0) == "ok";
        sqlite3_reset(st);
        if (rc == SQLITE_ROW && !ok)
            return Outcome::Damaged;
        if (rc != SQLITE_ROW)
            return Classify(rc);
    } else {
        return Classify(sqlite3_errcode(m_pDb));
    }
    const int begin = sqlite3_exec(m_pDb, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr);
    if (begin != SQLITE_OK)
        return Classify(begin);
    const int made = sqlite3_exec(m_pDb, kSchema, nullptr, nullptr, nullptr);
    const std::string version = "PRAGMA user_version=" + std::to_string(kSchemaVersion);
    if (made != SQLITE_OK || !Exec(version.c_str()) || !Exec("COMMIT")) {
        Exec("ROLLBACK");
        return made != SQLITE_OK ? Classify(made) : Outcome::Failed;
    }
    return Outcome::Ok;
}

CStateStore::Outcome CStateStore::ReadAll()
{
    // No statement may hold the read open afterwards: a checkpoint would wait for it.
    struct CResetAll {
        std::map<std::string, sqlite3_stmt*>& statements;
        ~CResetAll()
        {
            for (auto& [sql, st] : statements)
                sqlite3_reset(st);
        }
    } resetAll{m_statements};
    m_files.clear();
    m_session.clear();
    m_formats.clear();
    std::map<std::int64_t, CFileEntry*> byRow;
    sqlite3_stmt* files = Statement("SELECT id, path, device, inode, size, prefix, digest FROM files");
    if (!files)
        return Classify(sqlite3_errcode(m_pDb));
    int rc;
    while ((rc = sqlite3_step(files)) == SQLITE_ROW) {
        auto entry = std::make_unique<CFileEntry>();
        entry->row = sqlite3_column_int64(files, 0);
        entry->path = ColumnBytes(files, 1);
        entry->identity.id = {Unsigned(sqlite3_column_int64(files, 2)), Unsigned(sqlite3_column_int64(files, 3))};
        entry->identity.size = Unsigned(sqlite3_column_int64(files, 4));
        entry->identity.prefixLength = static_cast<std::uint32_t>(sqlite3_column_int64(files, 5));
        entry->identity.digest = Unsigned(sqlite3_column_int64(files, 6));
        byRow[entry->row] = entry.get();
        m_files[entry->path] = std::move(entry);
    }
    if (rc != SQLITE_DONE)
        return Classify(rc);
    sqlite3_stmt* marks = Statement("SELECT file, pos, note FROM marks ORDER BY file, pos");
    if (!marks)
        return Classify(sqlite3_errcode(m_pDb));
    while ((rc = sqlite3_step(marks)) == SQLITE_ROW) {
        const auto it = byRow.find(sqlite3_column_int64(marks, 0));
        if (it != byRow.end())
            it->second->kept.push_back({sqlite3_column_int64(marks, 1), ColumnText(marks, 2)});
    }
    if (rc != SQLITE_DONE)
        return Classify(rc);
    sqlite3_stmt* session = Statement(
        "SELECT path, grp, active, top, following, size, modified, device, inode, font, font_color, page_color, "
        "text_case, code_page, hl_start, hl_end, filter, filter_flags FROM session ORDER BY ord");
    if (!session)
        return Classify(sqlite3_errcode(m_pDb));
    while ((rc = sqlite3_step(session)) == SQLITE_ROW) {
        CWindowState w;
        w.path = ColumnBytes(session, 0);
        w.group = sqlite3_column_int(session, 1);
        w.active = sqlite3_column_int(session, 2) != 0;
        w.top = sqlite3_column_int64(session, 3);
        w.following = sqlite3_column_int(session, 4) != 0;
        w.size = Unsigned(sqlite3_column_int64(session, 5));
        w.modified = sqlite3_column_int64(session, 6);
        w.id = {Unsigned(sqlite3_column_int64(session, 7)), Unsigned(sqlite3_column_int64(session, 8))};
        const std::string font = ColumnBytes(session, 9);
        if (font.size() == sizeof w.font)
            std::memcpy(&w.font, font.data(), sizeof w.font);
        w.fontColor = static_cast<platform::COLORREF>(sqlite3_column_int64(session, 10));
        w.pageColor = static_cast<platform::COLORREF>(sqlite3_column_int64(session, 11));
        w.textCase = sqlite3_column_int(session, 12);
        w.codePage = ColumnText(session, 13);
        w.highlightStart = sqlite3_column_int64(session, 14);
        w.highlightEnd = sqlite3_column_int64(session, 15);
        w.filter = ColumnText(session, 16);
        const int flags = sqlite3_column_int(session, 17);
        w.filterRegex = flags & 1;
        w.filterIgnoreCase = flags & 2;
        w.filterInvert = flags & 4;
        m_session.push_back(std::move(w));
    }
    if (rc != SQLITE_DONE)
        return Classify(rc);
    // A session kept by an earlier viewer has no rows here (nor, in a store it made and cannot change now, the
    // tables): its windows are on one file each. Such a viewer also leaves rows of an older session behind, so
    // a row counts only beside the window of the same file.
    std::vector<bool> isSet(m_session.size(), false);
    const auto window = [&](sqlite3_stmt* st) -> std::size_t {
        const std::int64_t ord = sqlite3_column_int64(st, 0);
        return ord >= 0 && ord < static_cast<std::int64_t>(m_session.size()) ? static_cast<std::size_t>(ord)
                                                                             : m_session.size();
    };
    if (sqlite3_stmt* sets =
            Statement("SELECT ord, path, rotated, top_path, top_micros, top_device, top_inode FROM session_sets")) {
        while ((rc = sqlite3_step(sets)) == SQLITE_ROW) {
            const std::size_t k = window(sets);
            if (k == m_session.size() || m_session[k].path != ColumnBytes(sets, 1))
                continue;
            isSet[k] = true;
            m_session[k].rotated = sqlite3_column_int(sets, 2) != 0;
            m_session[k].topPath = ColumnBytes(sets, 3);
            m_session[k].topMicros = sqlite3_column_int64(sets, 4);
            m_session[k].topId = {Unsigned(sqlite3_column_int64(sets, 5)), Unsigned(sqlite3_column_int64(sets, 6))};
        }
        if (rc != SQLITE_DONE)
            return Classify(rc);
    }
    if (sqlite3_stmt* parts = Statement("SELECT ord, path FROM session_merged ORDER BY ord, part")) {
        while ((rc = sqlite3_step(parts)) == SQLITE_ROW)
            if (const std::size_t k = window(parts); k < m_session.size() && isSet[k])
                m_session[k].merged.push_back(ColumnBytes(parts, 1));
        if (rc != SQLITE_DONE)
            return Classify(rc);
    }
    sqlite3_stmt* formats = Statement("SELECT path, name FROM formats");
    if (!formats)
        return Classify(sqlite3_errcode(m_pDb));
    while ((rc = sqlite3_step(formats)) == SQLITE_ROW)
        m_formats[ColumnBytes(formats, 0)] = ColumnText(formats, 1);
    return rc == SQLITE_DONE ? Outcome::Ok : Classify(rc);
}

bool CStateStore::Open(const std::string& path, std::ostream& errors)
{
    m_strPath = path;
    m_bReadOnly = false;
    m_strNotice.clear();
    m_bNoticeTaken = false;
    for (int attempt = 0; attempt < 2; ++attempt) {
        Outcome o = OpenAt(path);
        if (o == Outcome::Ok || o == Outcome::Locked) {
            if (o == Outcome::Locked)
                GoReadOnly(kLockedNotice);
            const Outcome read = ReadAll();
            if (read == Outcome::Locked && !m_bReadOnly)
                GoReadOnly(kLockedNotice);
            if (read != Outcome::Damaged)
                return true;
            o = read;
        }
        const std::string why = m_pDb ? sqlite3_errmsg(m_pDb) : "out of memory";
        Close();
        m_files.clear();
        m_session.clear();
        m_formats.clear();
        if (o != Outcome::Damaged || attempt > 0) {
            GoReadOnly(kFailedNotice + why);
            return false;
        }
        // The damaged file goes aside whole, its log with it (SQLite would replay that log into the new one).
        const std::string aside = path + ".damaged-" + DateForName();
        if (!platform::RenamePath(path, aside)) {
            GoReadOnly(kFailedNotice + why);
            return false;
        }
        platform::RenamePath(path + "-wal", aside + "-wal");
        platform::RemovePath(path + "-shm");
        errors << "ostrel: the store " << path << " was damaged (" << why << "): moved to " << aside
               << ", a new one started\n";
    }
    return false;
}

void CStateStore::GoReadOnly(const std::string& why)
{
    if (m_bReadOnly)
        return;
    m_bReadOnly = true;
    if (!m_bNoticeTaken && m_strNotice.empty())
        m_strNotice = why;
}

std::string CStateStore::TakeNotice()
{
    if (m_bNoticeTaken || m_strNotice.empty())
        return {};
    m_bNoticeTaken = true;
    return m_strNotice;
}

template <typename Body>
bool CStateStore::Write(Body body)
{
    if (!m_pDb || m_bReadOnly)
        return false;
    const int begin = sqlite3_exec(m_pDb, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr);
    if (begin != SQLITE_OK) {
        GoReadOnly(Classify(begin) == Outcome::Locked ? kLockedNotice
                                                      : std::string(kFailedNotice) + sqlite3_errmsg(m_pDb));
        return false;
    }
    if (body() && Exec("COMMIT"))
        return true;
    const std::string why = sqlite3_errmsg(m_pDb);
    Exec("ROLLBACK");
    GoReadOnly(kFailedNotice + why);
    return false;
}

// --- Marks -------------------------------------------------------------------------------------------------------

bool CStateStore::StoreIdentity(CFileEntry& entry)
{
    const CFileIdentity& id = entry.identity;
    sqlite3_stmt* st = Statement(entry.row ? "UPDATE files SET path=?1, device=?2, inode=?3, size=?4, prefix=?5, "
                                             "digest=?6 WHERE id=?7"
                                           : "INSERT INTO files(path, device, inode, size, prefix, digest) "
                                             "VALUES(?1, ?2, ?3, ?4, ?5, ?6)");
    if (!st)
        return false;
    BindBytes(st, 1, entry.path);
    sqlite3_bind_int64(st, 2, Signed(id.id.device));
    sqlite3_bind_int64(st, 3, Signed(id.id.inode));
    sqlite3_bind_int64(st, 4, Signed(id.size));
    sqlite3_bind_int64(st, 5, id.prefixLength);
    sqlite3_bind_int64(st, 6, Signed(id.digest));
    if (entry.row)
        sqlite3_bind_int64(st, 7, entry.row);
    if (sqlite3_step(st) != SQLITE_DONE)
        return false;
    if (!entry.row)
        entry.row = sqlite3_last_insert_rowid(m_pDb);
    return true;
}

void CStateStore::WriteMark(CFileEntry& entry, const CMark& mark)
{
    const std::int64_t rowBefore = entry.row;
    const bool written = Write([&] {
        if (!entry.row && !StoreIdentity(entry))
            return false;
        sqlite3_stmt* st = Statement("INSERT OR REPLACE INTO marks(file, pos, note) VALUES(?1, ?2, ?3)");
        if (!st)
            return false;
        sqlite3_bind_int64(st, 1, entry.row);
        sqlite3_bind_int64(st, 2, mark.pos);
        sqlite3_bind_text(st, 3, mark.note.data(), static_cast<int>(mark.note.size()), SQLITE_TRANSIENT);
        return sqlite3_step(st) == SQLITE_DONE;
    });
    if (!written)
        entry.row = rowBefore;  // a rolled-back row was never there
}

void CStateStore::RemoveMark(CFileEntry& entry, TextPos pos)
{
    if (!entry.row)
        return;
    Write([&] {
        sqlite3_stmt* st = Statement("DELETE FROM marks WHERE file=?1 AND pos=?2");
        if (!st)
            return false;
        sqlite3_bind_int64(st, 1, entry.row);
        sqlite3_bind_int64(st, 2, pos);
        return sqlite3_step(st) == SQLITE_DONE;
    });
}

void CStateStore::DropMarks(CFileEntry& entry, TextPos end)
{
    if (!entry.row)
        return;
    Write([&] {
        sqlite3_stmt* st = Statement("DELETE FROM marks WHERE file=?1 AND pos>=?2");
        if (!st)
            return false;
        sqlite3_bind_int64(st, 1, entry.row);
        sqlite3_bind_int64(st, 2, end);
        return sqlite3_step(st) == SQLITE_DONE;
    });
}

bool CStateStore::SetRowPath(std::int64_t row, const std::string& path)
{
    return Write([&] {
        sqlite3_stmt* st = Statement("UPDATE files SET path=?1 WHERE id=?2");
        if (!st)
            return false;
        BindBytes(st, 1, path);
        sqlite3_bind_int64(st, 2, row);
        return sqlite3_step(st) == SQLITE_DONE;
    });
}

CStateStore::CFileEntry& CStateStore::EntryFor(const std::string& path, const CFileIdentity& current,
                                               platform::FileHandle h)
{
    const auto matches = [&](const CFileEntry& e) {
        std::uint64_t digest = 0;
        const bool read = current.size >= e.identity.prefixLength && DigestOfPrefix(h, e.identity.prefixLength, digest);
        return CompareIdentity(e.identity, current, read ? digest : ~e.identity.digest) != FileMatch::Replaced;
    };
    auto it = m_files.find(path);
    if (it != m_files.end() && !it->second->list && !matches(*it->second)) {
        // Another file has the name now. The marks stay with the file they were made on, which a rotation
        // renamed: kept under a name no file has (paths hold no NUL), it is found again by its inode.
        std::unique_ptr<CFileEntry> old = std::move(it->second);
        m_files.erase(it);
        it = m_files.end();
        if (old->row && !old->kept.empty()) {
            const std::string key = std::string(1, '\0') + std::to_string(old->row);
            if (SetRowPath(old->row, key)) {
                old->path = key;
                m_files.emplace(key, std::move(old));
            }
        } else if (old->row) {
            DeleteRow(old->row);
        }
    }
    if (it == m_files.end()) {
        // Under another name: a log renamed by its rotation is the same file where its device, inode and first
        // bytes are, provided its old name no longer leads to it.
        for (auto other = m_files.begin(); other != m_files.end(); ++other) {
            CFileEntry& e = *other->second;
            platform::FileId there;
            if (e.list || !(e.identity.id == current.id) || !matches(e) ||
                (platform::GetFileId(e.path, there) && there == current.id))
                continue;
            std::unique_ptr<CFileEntry> moved = std::move(other->second);
            m_files.erase(other);
            if (moved->row && !SetRowPath(moved->row, path))
                moved->row = 0;  // not kept under its new name: written anew with the next mark
            moved->path = path;
            it = m_files.emplace(path, std::move(moved)).first;
            break;
        }
    }
    if (it == m_files.end())
        it = m_files.emplace(path, std::make_unique<CFileEntry>()).first;
    CFileEntry& entry = *it->second;
    entry.path = path;
    return entry;
}

void CStateStore::DeleteRow(std::int64_t row)
{
    Write([&] {
        sqlite3_stmt* st = Statement("DELETE FROM files WHERE id=?1");
        if (!st)
            return false;
        sqlite3_bind_int64(st, 1, row);
        return sqlite3_step(st) == SQLITE_DONE;
    });
}

std::shared_ptr<CMarkList> CStateStore::MarksFor(const std::string& path, platform::FileHandle h)
{
    CFileIdentity current;
    if (!ReadFileIdentity(h, current))
        return std::make_shared<CMarkList>();
    // The digest decides before EntryFor may move an entry under this name.
    CFileEntry& entry = EntryFor(path, current, h);
    if (entry.list && entry.identity.id == current.id && current.size >= entry.identity.size) {
        entry.list->DropFrom(static_cast<TextPos>(current.size));
        return entry.list;
    }
    std::uint64_t digest = 0;
    const bool read =
        current.size >= entry.identity.prefixLength && DigestOfPrefix(h, entry.identity.prefixLength, digest);
    const bool known = entry.row || entry.list;
    const FileMatch match =
        known ? CompareIdentity(entry.identity, current, read ? digest : ~entry.identity.digest) : FileMatch::Replaced;
    std::vector<CMark> marks = entry.list ? entry.list->All() : std::move(entry.kept);
    entry.kept.clear();
    if (match == FileMatch::Replaced)
        marks.clear();
    std::erase_if(marks, [&](const CMark& m) { return m.pos >= static_cast<TextPos>(current.size); });
    if (!entry.list) {
        entry.list = std::make_shared<CMarkList>();
        entry.sink = std::make_unique<CSink>(*this, entry);
    }
    entry.list->SetSink(nullptr);
    entry.list->Load(marks);
    entry.list->SetSink(entry.sink.get());
    entry.identity = current;
    if (entry.row) {
        // What the file is now, and only the marks it still holds, in one transaction.
        Write([&] {
            sqlite3_stmt* st = Statement(match == FileMatch::Replaced ? "DELETE FROM marks WHERE file=?1"
                                                                      : "DELETE FROM marks WHERE file=?1 AND pos>=?2");
            if (!st)
                return false;
            sqlite3_bind_int64(st, 1, entry.row);
            if (match != FileMatch::Replaced)
                sqlite3_bind_int64(st, 2, static_cast<std::int64_t>(current.size));
            return sqlite3_step(st) == SQLITE_DONE && StoreIdentity(entry);
        });
    }
    return entry.list;
}

void CStateStore::FileReplaced(const std::string& path, platform::FileHandle h)
{
    const auto it = m_files.find(path);
    CFileIdentity current;
    if (it == m_files.end() || !ReadFileIdentity(h, current))
        return;
    CFileEntry& entry = *it->second;
    if (entry.list)
        entry.list->Clear();  // each removal is written through the sink
    entry.kept.clear();
    entry.identity = current;
    if (entry.row)
        Write([&] { return StoreIdentity(entry); });
}

// --- The session -------------------------------------------------------------------------------------------------

void CStateStore::SaveSession(const std::vector<CWindowState>& windows)
{
    m_session = windows;
    Write([&] {
        if (!Exec("DELETE FROM session") || !Exec("DELETE FROM session_sets") || !Exec("DELETE FROM session_merged"))
            return false;
        sqlite3_stmt* st = Statement(
            "INSERT INTO session(ord, path, grp, active, top, following, size, modified, device, inode, font, "
            "font_color, page_color, text_case, code_page, hl_start, hl_end, filter, filter_flags) "
            "VALUES(?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10, ?11, ?12, ?13, ?14, ?15, ?16, ?17, ?18, ?19)");
        if (!st)
            return false;
        int ord = 0;
        for (const CWindowState& w : windows) {
            sqlite3_reset(st);
            sqlite3_bind_int(st, 1, ord++);
            BindBytes(st, 2, w.path);
            sqlite3_bind_int(st, 3, w.group);
            sqlite3_bind_int(st, 4, w.active ? 1 : 0);
            sqlite3_bind_int64(st, 5, w.top);
            sqlite3_bind_int(st, 6, w.following ? 1 : 0);
            sqlite3_bind_int64(st, 7, Signed(w.size));
            sqlite3_bind_int64(st, 8, w.modified);
            sqlite3_bind_int64(st, 9, Signed(w.id.device));
            sqlite3_bind_int64(st, 10, Signed(w.id.inode));
            sqlite3_bind_blob(st, 11, &w.font, sizeof w.font, SQLITE_TRANSIENT);
            sqlite3_bind_int64(st, 12, w.fontColor);
            sqlite3_bind_int64(st, 13, w.pageColor);
            sqlite3_bind_int(st, 14, w.textCase);
            sqlite3_bind_text(st, 15, w.codePage.c_str(), -1, SQLITE_TRANSIENT);
            sqlite3_bind_int64(st, 16, w.highlightStart);
            sqlite3_bind_int64(st, 17, w.highlightEnd);
            sqlite3_bind_text(st, 18, w.filter.c_str(), -1, SQLITE_TRANSIENT);
            sqlite3_bind_int(st, 19, (w.filterRegex ? 1 : 0) | (w.filterIgnoreCase ? 2 : 0) | (w.filterInvert ? 4 : 0));
            if (sqlite3_step(st) != SQLITE_DONE || !SaveSetOf(ord - 1, w))
                return false;
        }
        return true;
    });
}

bool CStateStore::SaveSetOf(int ord, const CWindowState& w)
{
    if (!w.rotated && w.merged.empty() && w.topPath.empty())
        return true;
    sqlite3_stmt* st =
        Statement("INSERT INTO session_sets(ord, path, rotated, top_path, top_micros, top_device, top_inode) "
                  "VALUES(?1, ?2, ?3, ?4, ?5, ?6, ?7)");
    if (!st)
        return false;
    sqlite3_reset(st);
    sqlite3_bind_int(st, 1, ord);
    BindBytes(st, 2, w.path);
    sqlite3_bind_int(st, 3, w.rotated ? 1 : 0);
    BindBytes(st, 4, w.topPath);
    sqlite3_bind_int64(st, 5, w.topMicros);
    sqlite3_bind_int64(st, 6, Signed(w.topId.device));
    sqlite3_bind_int64(st, 7, Signed(w.topId.inode));
    if (sqlite3_step(st) != SQLITE_DONE)
        return false;
    sqlite3_stmt* part = Statement("INSERT INTO session_merged(ord, part, path) VALUES(?1, ?2, ?3)");
    if (!part)
        return false;
    for (std::size_t k = 0; k < w.merged.size(); ++k) {
        sqlite3_reset(part);
        sqlite3_bind_int(part, 1, ord);
        sqlite3_bind_int(part, 2, static_cast<int>(k));
        BindBytes(part, 3, w.merged[k]);
        if (sqlite3_step(part) != SQLITE_DONE)
            return false;
    }
    return true;
}

std::string CStateStore::FormatOf(const std::string& path) const
{
    const auto it = m_formats.find(path);
    return it == m_formats.end() ? std::string() : it->second;
}

void CStateStore::SetFormatOf(const std::string& path, const std::string& name)
{
    const auto it = m_formats.find(path);
    if ((it == m_formats.end() ? std::string() : it->second) == name)
        return;
    if (name.empty())
        m_formats.erase(path);
    else
        m_formats[path] = name;
    Write([&] {
        sqlite3_stmt* st = Statement(name.empty() ? "DELETE FROM formats WHERE path=?1"
                                                  : "INSERT OR REPLACE INTO formats(path, name) VALUES(?1, ?2)");
        if (!st)
            return false;
        BindBytes(st, 1, path);
        if (!name.empty())
            sqlite3_bind_text(st, 2, name.c_str(), -1, SQLITE_TRANSIENT);
        return sqlite3_step(st) == SQLITE_DONE;
    });
}
