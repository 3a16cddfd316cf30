#include "file/FileWatcher.h"

#include "platform/Process.h"
#include "platform/SigbusGuard.h"
#include "platform/Window.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <exception>

using platform::HWND;
using platform::WM_FILE_CHANGED;

namespace {

std::atomic<int> g_pollMs{CFileWatcher::kWaitMs};

}  // namespace

CFileWatcher::CFileWatcher() = default;

CFileWatcher::~CFileWatcher()
{
    // The owner normally removed its window already; if not, the thread must
    // still be gone before our members are.
    Stop();
}

std::string CFileWatcher::DirectoryOf(const std::string& path)
{
    const std::string abs = platform::AbsolutePath(path);
    std::string dir;
    const std::size_t slash = abs.rfind('/');
    if (slash != std::string::npos)
        dir = abs.substr(0, slash);
    while (!dir.empty() && dir.back() == '/')
        dir.pop_back();
    // "/x.log" lives in "/", which must stay a directory, not become "".
    return dir.empty() ? std::string("/") : dir;
}

void CFileWatcher::SetPollPeriod(int ms)
{
    g_pollMs.store(ms > 0 ? ms : kWaitMs);
}

int CFileWatcher::PollPeriod()
{
    return g_pollMs.load();
}

bool CFileWatcher::AddWindow(const char* path, HWND hwnd, platform::FileHandle file, bool watchName)
{
    if (!path || !*path)
        return false;
    bool result = true;
    if (m_pszPath.empty()) {
        m_pszPath = path;
        // Watch the directory where the file really lives: for a symbolic
        // link that is the target's, where the writes happen.
        const std::string real = platform::RealPath(m_pszPath);
        m_pszDirectory = DirectoryOf(real.empty() ? m_pszPath : real);
        m_bOwnsFile = file == platform::kInvalidFile;
        errno = 0;
        m_hFile = m_bOwnsFile ? platform::OpenReadShared(m_pszPath) : file;
        if (m_hFile == platform::kInvalidFile)
            platform::ReportProblem("cannot follow '" + m_pszPath + "': " + std::strerror(errno ? errno : EACCES));
        m_dwLastSize = platform::FileSizeByHandle(m_hFile);
        ListenForStaleMappings();
        m_bWatchName = watchName;
        m_openId = {};
        platform::GetFileIdByHandle(m_hFile, m_openId);
        m_reportedId = m_openId;
        if (m_bWatchName) {
            m_bNotified = m_dirWatch.Start(m_pszDirectory, &m_wake);
            const std::string nameDirectory = DirectoryOf(m_pszPath);
            if (nameDirectory != m_pszDirectory)
                m_nameDirWatch.Start(nameDirectory, &m_wake);
        }
        m_bStop = false;
        m_nPollMs = PollPeriod();
        try {
            m_hThread = std::thread(&CFileWatcher::WatchThreadProc, this);
        } catch (const std::exception& e) {
            platform::ReportProblem("cannot follow '" + m_pszPath + "': " + e.what());
            result = false;
        }
    }
    if (m_pszPath != path)
        return false;
    std::lock_guard<std::mutex> g(m_lock);
    if (std::find(m_windows.begin(), m_windows.end(), hwnd) != m_windows.end())
        return false;
    m_windows.push_back(hwnd);
    return result;
}

bool CFileWatcher::RemoveWindow(HWND hwnd)
{
    bool found = false;
    bool empty;
    {
        std::lock_guard<std::mutex> g(m_lock);
        auto it = std::find(m_windows.begin(), m_windows.end(), hwnd);
        if (it != m_windows.end()) {
            m_windows.erase(it);
            found = true;
        }
        empty = m_windows.empty();
    }
    if (empty)
        Stop();
    return found;
}

void CFileWatcher::Stop()
{
    if (m_hThread.joinable()) {
        m_bStop = true;
        m_wake.Signal();
        m_hThread.join();
    }
    m_dirWatch.Stop();
    m_nameDirWatch.Stop();
    platform::UnregisterStaleListener(m_nStaleListener);
    m_nStaleListener = -1;
    m_wake.Wait(0);  // forget a pending wake-up, so a restart begins quiet
    if (m_bOwnsFile)
        platform::CloseFile(m_hFile);
    m_hFile = platform::kInvalidFile;
    m_bOwnsFile = false;
    m_pszPath.clear();
    m_pszDirectory.clear();
    m_bNotified = false;
    m_bStop = false;
    m_nThreadId = 0;
}

void CFileWatcher::ListenForStaleMappings()
{
    platform::UnregisterStaleListener(m_nStaleListener);
    m_nStaleListener = m_hFile != platform::kInvalidFile ? platform::RegisterStaleListener(m_hFile, &m_wake) : -1;
    m_nStaleSeen = 0;
}

void CFileWatcher::NotifyWindows(unsigned msg)
{
    std::lock_guard<std::mutex> g(m_lock);
    for (HWND h : m_windows)
        if (platform::IsWindow(h))
            platform::PostWindowMessage(h, msg, 1, 0);
}

bool CFileWatcher::CheckName(bool& changed)
{
    if (!m_bWatchName)
        return false;
    platform::FileId open;
    if (!platform::GetFileIdByHandle(m_hFile, open))
        return false;
    if (!(open == m_openId)) {
        // The document put the file the name names in place of the old one:
        // a truncation of the new file must wake us, not one of the old.
        m_openId = open;
        m_reportedId = open;
        ListenForStaleMappings();
        changed = true;
    }
    platform::FileId named;
    if (!platform::NamesAnotherFile(m_pszPath, open, &named) || named == m_reportedId)
        return false;
    m_reportedId = named;
    return true;
}

void CFileWatcher::WatchThreadProc()
{
    platform::NameCurrentThread("ostrel-watch");
    m_nThreadId = platform::CurrentThreadId();
    while (!m_bStop.load()) {
        // Woken by a change in the directory, a caught truncation or the
        // stop; in any case the size is looked at once a second.
        m_wake.Wait(m_nPollMs);
        if (m_bStop.load())
            break;
        bool changed = false;
        const std::int64_t size = platform::FileSizeByHandle(m_hFile);
        if (size >= 0 && size != m_dwLastSize) {
            m_dwLastSize = size;
            changed = true;
        }
        const std::uint32_t stale = platform::StaleCount(m_nStaleListener);
        if (stale != m_nStaleSeen) {
            m_nStaleSeen = stale;
            changed = true;
        }
        const bool replaced = CheckName(changed);
        if (changed)
            NotifyWindows(WM_FILE_CHANGED);
        if (replaced)
            NotifyWindows(platform::WM_FILE_REPLACED);
        m_nChecks.fetch_add(1);
    }
}
