// Follows one file from a thread of its own and posts WM_FILE_CHANGED (1, 0)
// to the registered windows whenever its size changes.
//
// The thread sleeps until something changes in the file's directory (shared
// inotify, see platform/DirWatch.h) or the poll period (1000 ms) passes,
// whichever comes first, then compares the file's size with the last one
// seen. When the directory cannot be watched it keeps the once-a-second size
// check: a log that is silently no longer followed would be a wrong result.
//
// A window's watcher reads the size through the descriptor its document
// holds, not through the file's name: every window of a document follows the
// file the document has open, even one made after the name was given to a
// new file (log rotation), and a window costs no descriptor of its own.
//
// Concurrency:
// - m_windows is guarded by m_lock, which both threads hold while they touch
//   it (the thread holds it while it posts, so posts keep their order).
// - Stopping sets m_bStop and then the wake event, which ends the thread's
//   wait at once; the stopper joins the thread, so no storage is released
//   while it runs, and closing a window never stalls for the 1000 ms wait.
//   The stop flag is a value of its own, never confused with "not started".
// - Everything else the thread reads is set before it starts and released
//   after it has been joined.
//
// It also looks at what the name names (device and inode of the path against
// those of the open file) and posts WM_FILE_REPLACED (1, 0) once for each
// other file the name comes to name: a log rotated by renaming or deleting
// and creating, or a symbolic link pointed elsewhere. What to do about it is
// the document's choice; while the name names nothing, nothing is posted. A
// document that switches to the new file in place of the old one (the same
// descriptor) is seen as a change of size as well.
//
// Besides size changes, the thread also posts when a mapping of its file was
// caught reading past a truncation (platform/SigbusGuard.h): those pages
// read as zeros until the window re-maps, and the size alone may look
// unchanged if the file has grown back meanwhile.
#pragma once

#include "platform/DirWatch.h"
#include "platform/File.h"
#include "platform/Types.h"

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

class CFileWatcher {
public:
    CFileWatcher();
    ~CFileWatcher();
    CFileWatcher(const CFileWatcher&) = delete;
    CFileWatcher& operator=(const CFileWatcher&) = delete;

    // UI thread. Starts following `path` on the first call; false for another
    // path (compared exactly: POSIX names differ by case), for a window that
    // is already registered, or when no thread could be started. `file`, when
    // given, is an open descriptor of the file, which the caller keeps open
    // while windows are registered: the size is read through it. Without one
    // the watcher opens `path` itself. A file that cannot be opened or a
    // thread that cannot be started is said on the standard error. Without
    // `watchName` the file has no name to follow (bytes in memory that `path`
    // only describes): neither the directory nor the name is looked at, and
    // a writer of the file wakes the thread (platform::WakeFileListeners).
    bool AddWindow(const char* path, platform::HWND hwnd, platform::FileHandle file = platform::kInvalidFile,
                   bool watchName = true);
    // UI thread. False when `hwnd` was not registered. When the list is empty
    // afterwards the thread is stopped and joined; AddWindow may start anew.
    bool RemoveWindow(platform::HWND hwnd);

    // The directory that is watched for `path`: the absolute directory of the
    // file, without a trailing slash except for "/" itself.
    static std::string DirectoryOf(const std::string& path);

    // --- Diagnostics (tests and benchmarks) ----------------------------------
    bool IsWatching() const { return m_hThread.joinable(); }
    // Whether changes wake the thread at once (false: the 1000 ms check only).
    bool HasDirectoryNotification() const { return m_bNotified.load(); }
    // Size checks the thread has made so far.
    std::uint64_t CheckCount() const { return m_nChecks.load(); }
    // The thread's kernel id (0 when none), for /proc/self/task/<tid>.
    int ThreadId() const { return m_nThreadId.load(); }

    // The longest wait between two size checks.
    static constexpr int kWaitMs = 1000;
    // The wait of watchers started from now on (tests shorten it, so that a
    // check without notification costs them milliseconds, not seconds).
    static void SetPollPeriod(int ms);
    static int PollPeriod();

private:
    void WatchThreadProc();
    void Stop();
    void NotifyWindows(unsigned msg);
    // Watcher thread: whether the name came to name another file than the one
    // open (once per such file); notes a switch of the open file as a change.
    bool CheckName(bool& changed);
    // Listens for truncations caught in mappings of the file open now (UI
    // thread before the thread starts, then the watcher thread).
    void ListenForStaleMappings();

    std::string m_pszPath;       // as given; empty while idle
    std::string m_pszDirectory;  // what DirectoryOf made of it
    platform::FileHandle m_hFile = platform::kInvalidFile;
    bool m_bOwnsFile = false;        // opened by the watcher (no descriptor was given)
    int m_nPollMs = kWaitMs;         // set before the thread starts
    std::int64_t m_dwLastSize = -1;  // watcher thread only, once started
    std::mutex m_lock;
    std::vector<platform::HWND> m_windows;  // guarded by m_lock

    std::thread m_hThread;
    std::atomic<bool> m_bStop{false};
    platform::WakeEvent m_wake;
    platform::DirWatch m_dirWatch;
    // The directory of the name itself, when a symbolic link leads elsewhere:
    // pointing the link at another file changes that one, not the target's.
    platform::DirWatch m_nameDirWatch;
    bool m_bWatchName = true;       // set before the thread starts
    platform::FileId m_openId;      // watcher thread only: the open file's identity
    platform::FileId m_reportedId;  // watcher thread only: the other file last reported
    int m_nStaleListener = -1;
    std::uint32_t m_nStaleSeen = 0;  // watcher thread only, once started

    std::atomic<bool> m_bNotified{false};
    std::atomic<std::uint64_t> m_nChecks{0};
    std::atomic<int> m_nThreadId{0};
};
