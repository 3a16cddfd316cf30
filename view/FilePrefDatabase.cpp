#include "view/FilePrefDatabase.h"

#include "platform/File.h"
#include "platform/Process.h"
#include "platform/SigbusGuard.h"
#include "platform/Win1252.h"
#include "view/Profile.h"

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <thread>

namespace {

constexpr const char* kHomeDataFolder = "/.local/share";

bool IsAbsolute(const char* s)
{
    return s && s[0] == '/';
}

// Whether a record's path field holds exactly `key` (which has no NUL and is
// shorter than the field, so the terminator at key.size() is inside it).
bool PathFieldMatches(const char16_t* field, const std::u16string& key)
{
    const std::size_t n = key.size();
    if (field[n] != 0)
        return false;
#ifdef _WIN32
    // Windows file systems ignore letter case; only the ASCII letters fold,
    // so that the comparison depends on no locale.
    for (std::size_t i = 0; i < n; ++i) {
        char16_t a = field[i], b = key[i];
        if (a >= u'A' && a <= u'Z')
            a = static_cast<char16_t>(a + 32);
        if (b >= u'A' && b <= u'Z')
            b = static_cast<char16_t>(b + 32);
        if (a != b)
            return false;
    }
    return true;
#else
    return std::memcmp(field, key.data(), n * sizeof(char16_t)) == 0;
#endif
}

bool IsStorableKey(const std::u16string& key)
{
    return !key.empty() && key.size() < static_cast<std::size_t>(kPrefsPathUnits) &&
           key.find(char16_t(0)) == std::u16string::npos;
}

// The database's path in our folder below `base`, once that folder exists
// (it is made when missing); empty when it cannot be. A base in the shared
// temporary folder must be private.
std::string DatabasePathIn(const std::string& base, bool temporary)
{
    if (base.empty())
        return {};
    if (temporary) {
        platform::MakeFolders(base);
        if (!platform::IsPrivateFolder(base))
            return {};
    }
    std::string folder = base;
    while (folder.size() > 1 && folder.back() == '/')
        folder.pop_back();
    folder += '/';
    folder += kDatabaseFolderName;
    platform::MakeFolders(folder);
    return platform::IsFolder(folder) ? folder + "/" + kDatabaseFileName : std::string();
}

// Holds an exclusive advisory lock on the database while one instance checks
// for a path and appends its record. Another instance holds it only for the
// moment of an append, so the wait is bounded: a process stuck with the lock
// must not freeze every load behind it. Where the file system has no locks
// the work goes on unlocked: a rare duplicate record is better than none.
class CDatabaseLock {
public:
    // `wait` 0: one try.
    CDatabaseLock(platform::FileHandle h, std::chrono::milliseconds wait) : m_hFile(h)
    {
        using namespace std::chrono;
        const auto deadline = steady_clock::now() + wait;
        for (;;) {
            const platform::LockResult r = platform::TryLockFile(m_hFile);
            if (r == platform::LockResult::Locked) {
                m_bLocked = true;
                return;
            }
            if (r == platform::LockResult::Unsupported)
                return;  // no locks on this file system
            if (steady_clock::now() >= deadline) {
                m_bTimedOut = true;
                return;
            }
            std::this_thread::sleep_for(milliseconds(10));
        }
    }
    ~CDatabaseLock()
    {
        if (m_bLocked)
            platform::UnlockFile(m_hFile);
    }
    CDatabaseLock(const CDatabaseLock&) = delete;
    CDatabaseLock& operator=(const CDatabaseLock&) = delete;

    // Another process kept the lock for the whole wait.
    bool TimedOut() const { return m_bTimedOut; }

private:
    platform::FileHandle m_hFile;
    bool m_bLocked = false;
    bool m_bTimedOut = false;
};

std::shared_ptr<DisplayPreferences> NewMemoryRecord(const std::u16string& path, IProfile& profile)
{
    auto rec = std::make_shared<DisplayPreferences>();
    LoadDefaultPreferences(*rec, profile);
    SetPreferencesPath(*rec, path);  // left empty when it does not fit
    return rec;
}

}  // namespace

// --- CPrefRecordRef ---------------------------------------------------------------

DisplayPreferences* CPrefRecordRef::Get() const
{
    if (m_pOwned)
        return m_pOwned.get();
    if (!m_pLink)
        return nullptr;
    CFilePrefDatabase* db = *m_pLink;
    if (db) {
        if (DisplayPreferences* rec = db->Resolve(m_nIndex, m_strKey))
            return rec;
        m_pOwned = db->MemoryRecord(m_strKey);
    } else {
        CMemoryProfile builtIn;
        m_pOwned = NewMemoryRecord(m_strKey, builtIn);
    }
    // From here on the holder works in memory; it never switches back, so
    // its later changes all land in one place.
    return m_pOwned.get();
}

bool CPrefRecordRef::IsStored() const
{
    return Get() && !m_pOwned;
}

// --- CFilePrefDatabase ----------------------------------------------------------------

CFilePrefDatabase::CFilePrefDatabase(IProfile& profile)
    : m_profile(profile), m_pSelf(std::make_shared<CFilePrefDatabase*>(this))
{
}

CFilePrefDatabase::~CFilePrefDatabase()
{
    *m_pSelf = nullptr;
    CloseDatabase();
}

std::string CFilePrefDatabase::DataFolderFor(const char* xdgDataHome, const char* home, const char* passwdHome,
                                             const std::string& tempFolder)
{
    // A relative XDG_DATA_HOME is invalid and must be ignored.
    if (IsAbsolute(xdgDataHome))
        return xdgDataHome;
    if (IsAbsolute(home))
        return std::string(home) + kHomeDataFolder;
    if (IsAbsolute(passwdHome))
        return std::string(passwdHome) + kHomeDataFolder;
    if (IsAbsolute(tempFolder.c_str()))
        return tempFolder;
    return {};
}

std::string CFilePrefDatabase::GetDatabasePath()
{
    if (!m_strPathOverride.empty())
        return m_strPathOverride;

    // Without a usable home folder (a service account whose home does not
    // exist or cannot be written, a stripped container) the preferences go
    // to a private folder in the temporary folder, and last until the system
    // clears it. An XDG_DATA_HOME names the place itself: it is used or none.
    const char* tmp = std::getenv("TMPDIR");
    const std::string tempFolder =
        std::string(IsAbsolute(tmp) ? tmp : "/tmp") + "/ostrel-data-" + std::to_string(platform::UserId());
    const char* xdg = std::getenv("XDG_DATA_HOME");
    const std::string passwdHome = platform::PasswdHome();
    const std::string base = DataFolderFor(xdg, std::getenv("HOME"), passwdHome.c_str(), tempFolder);
    if (base == tempFolder)
        return DatabasePathIn(tempFolder, true);
    if (IsAbsolute(xdg))
        return DatabasePathIn(base, false);
    // The home folder itself is never made: only what belongs to us below it.
    const std::string home = base.substr(0, base.size() - std::strlen(kHomeDataFolder));
    std::string path = platform::IsFolder(home) ? DatabasePathIn(base, false) : std::string();
    return path.empty() ? DatabasePathIn(tempFolder, true) : path;
}

bool CFilePrefDatabase::OpenDatabase()
{
    if (m_pFile)
        return false;
    const std::string path = GetDatabasePath();
    if (path.empty())
        return false;
    auto file = std::make_unique<CMemoryMappedFile>();
    // Opens read-write and creates the file when missing; an existing file is
    // never truncated, whatever its state, so a failure to map can never
    // cost the user the records already kept.
    file->Open(path.c_str(), true);
    if (file->m_hFile == platform::kInvalidFile)
        return false;
    m_pFile = std::move(file);
    SyncMapping();
    return true;
}

void CFilePrefDatabase::CloseDatabase()
{
    m_pFile.reset();
    m_pRecords = nullptr;
    m_nRecords = 0;
}

bool CFilePrefDatabase::SyncMapping()
{
    if (!m_pFile)
        return false;
    CMemoryMappedFile& file = *m_pFile;
    const std::int64_t size = platform::FileSizeByHandle(file.m_hFile);
    if (size < 0) {
        m_nRecords = 0;
        return false;
    }
    const auto fileSize = static_cast<std::uint64_t>(size);
    // A stale view had pages past a truncation replaced by zeros; even at the
    // same size again, only a new mapping shows the file's bytes there.
    if (!file.m_pView || file.m_dwSize != fileSize || platform::IsMappingStale(file.m_pView)) {
        if (fileSize == 0) {
            platform::UnmapFile(file.m_pView, file.m_dwSize);
            file.m_pView = nullptr;
            file.m_dwSize = 0;
        } else if (std::uint8_t* view = platform::MapFile(file.m_hFile, fileSize, true)) {
            platform::UnmapFile(file.m_pView, file.m_dwSize);
            file.m_pView = view;
            file.m_dwSize = fileSize;
        }
        // A failed map keeps the old view: still valid memory, and the count
        // below keeps every read inside both it and the file.
    }
    m_pRecords = reinterpret_cast<DisplayPreferences*>(file.m_pView);
    m_nRecords = file.m_pView ? std::min(file.m_dwSize, fileSize) / RECORD_SIZE : 0;
    return true;
}

std::int64_t CFilePrefDatabase::FindIndex(const std::u16string& key) const
{
    for (std::uint64_t i = 0; i < m_nRecords; ++i) {
        if (PathFieldMatches(m_pRecords[i].path, key))
            return static_cast<std::int64_t>(i);
    }
    return -1;
}

std::int64_t CFilePrefDatabase::FindOrAddIndex(const std::u16string& key)
{
    if (!m_pFile)
        OpenDatabase();
    if (!m_pFile)
        return -1;

    // Most lookups find a path stored before, and need no lock: a record
    // that another instance is still writing is not yet whole in the file's
    // size, so it is not on the grid that FindIndex scans.
    if (!SyncMapping())
        return -1;
    std::int64_t found = FindIndex(key);
    if (found >= 0)
        return found;

    const platform::FileHandle fd = m_pFile->m_hFile;
    const auto now = std::chrono::steady_clock::now();
    const bool resting = now < m_lockRestEnd;
    CDatabaseLock lock(fd, resting ? std::chrono::milliseconds(0) : m_lockWait);
    if (lock.TimedOut()) {
        // Whoever holds it may hold it for long: the next lookups take their
        // in-memory records at once, unless they find the lock free.
        if (!resting)
            m_lockRestEnd = std::chrono::steady_clock::now() + m_lockRest;
        return -1;
    }
    // Another instance may have added the path while we waited.
    if (!SyncMapping())
        return -1;
    found = FindIndex(key);
    if (found >= 0)
        return found;

    // Appending without having seen every whole record on disk could add a
    // second record for a path the file already has.
    const std::int64_t size = platform::FileSizeByHandle(fd);
    if (size < 0 || static_cast<std::uint64_t>(size) / RECORD_SIZE != m_nRecords)
        return -1;

    // The first slot on the 612-byte grid after the last whole record: an
    // incomplete tail is overwritten, and the record is where lookups scan.
    const std::uint64_t slot = m_nRecords * RECORD_SIZE;
    DisplayPreferences rec;
    LoadDefaultPreferences(rec, m_profile);
    SetPreferencesPath(rec, key);
    // Written with a file call rather than through a grown mapping: the
    // write allocates the disk blocks and reports a full disk as an error,
    // where a store into a sparse mapped page would raise SIGBUS.
    if (!platform::WriteAt(fd, &rec, sizeof rec, static_cast<std::int64_t>(slot)))
        return -1;
    SyncMapping();
    const auto index = static_cast<std::int64_t>(m_nRecords) - 1;
    if (index < 0 || static_cast<std::uint64_t>(index) * RECORD_SIZE != slot)
        return -1;
    return index;
}

DisplayPreferences* CFilePrefDatabase::Resolve(std::int64_t& index, const std::u16string& key)
{
    if (m_pFile && SyncMapping() && index >= 0 && static_cast<std::uint64_t>(index) < m_nRecords &&
        PathFieldMatches(m_pRecords[index].path, key))
        return &m_pRecords[index];
    // The record is not where it was (another program truncated or rewrote
    // the file): find it again or add it afresh rather than write this
    // file's settings into whatever record now sits at that index.
    const std::int64_t i = FindOrAddIndex(key);
    if (i < 0 || static_cast<std::uint64_t>(i) >= m_nRecords)
        return nullptr;
    index = i;
    return &m_pRecords[i];
}

std::shared_ptr<DisplayPreferences> CFilePrefDatabase::MemoryRecord(const std::u16string& key)
{
    auto& rec = m_memoryRecords[key];
    if (!rec)
        rec = NewMemoryRecord(key, m_profile);
    return rec;
}

CPrefRecordRef CFilePrefDatabase::MemoryRef(const std::u16string& key)
{
    CPrefRecordRef ref;
    ref.m_pOwned = MemoryRecord(key);
    ref.m_strKey = key;
    return ref;
}

CPrefRecordRef CFilePrefDatabase::FindOrAddRecord(const std::u16string& path)
{
    if (!IsStorableKey(path))
        return MemoryRef(path);
    const std::int64_t index = FindOrAddIndex(path);
    if (index < 0 || static_cast<std::uint64_t>(index) >= m_nRecords)
        return MemoryRef(path);
    CPrefRecordRef ref;
    ref.m_pLink = m_pSelf;
    ref.m_nIndex = index;
    ref.m_strKey = path;
    return ref;
}

CPrefRecordRef CFilePrefDatabase::FindOrAddRecord(const std::string& path)
{
    std::u16string key;
    if (platform::Utf8ToUtf16Checked(path, key))
        return FindOrAddRecord(key);
    // A name that is not UTF-8 has no faithful UTF-16 form to store.
    auto& rec = m_memoryRecordsRaw[path];
    if (!rec)
        rec = NewMemoryRecord(platform::Utf8ToUtf16(path), m_profile);
    CPrefRecordRef ref;
    ref.m_pOwned = rec;
    return ref;
}
