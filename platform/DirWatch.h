// Directory change notification and the wake-up event that a watcher thread
// sleeps on: the platform half of the file watcher (file/FileWatcher.h).
//
// The Linux driver (DirWatchLinux.cpp) shares ONE inotify instance across the
// process: instances are a scarce per-user resource (max_user_instances is
// often 128), and a viewer with many windows must neither run out of them nor
// starve the user's other programs. A dispatcher thread of its own reads the
// instance and sets the WakeEvent of every watch on the directory concerned.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>

namespace platform {

// An event that one thread waits on and any thread, or a signal handler,
// sets. Settings that arrive before the wait are not lost and count as one.
// It is a word of memory and a futex, not a descriptor: a viewer with
// hundreds of windows must not spend one descriptor on each window's wake-up.
class WakeEvent {
public:
    WakeEvent() = default;
    WakeEvent(const WakeEvent&) = delete;
    WakeEvent& operator=(const WakeEvent&) = delete;

    // Async-signal-safe: one atomic exchange and a raw system call.
    void Signal();
    // Waits up to `timeoutMs` for the event; true when it was set (it is
    // then cleared), false when the time ran out.
    bool Wait(int timeoutMs);

private:
    std::atomic<std::uint32_t> m_nSet{0};
};

// One directory watched for the creation, deletion, renaming, writing and
// resizing of its entries (not of its subdirectories' entries).
class DirWatch {
public:
    DirWatch() = default;
    ~DirWatch() { Stop(); }
    DirWatch(const DirWatch&) = delete;
    DirWatch& operator=(const DirWatch&) = delete;

    // Starts setting `wake` on every change in `directory` (absolute). False
    // when the system cannot notify for it (no notification facility, its
    // limits reached, no such directory): the caller must then poll.
    bool Start(const std::string& directory, WakeEvent* wake);
    // After Stop returns, `wake` is no longer touched.
    void Stop();
    bool Active() const { return m_nWatch >= 0; }

    // Whether notifications may be used at all. Off simulates a system
    // without them (tests, and OSTREL_NO_INOTIFY=1 in the environment).
    static void SetEnabled(bool enabled);
    static bool Enabled();

private:
    int m_nWatch = -1;
    WakeEvent* m_pWake = nullptr;
};

}  // namespace platform
