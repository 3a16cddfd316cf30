// Directory change notification on Linux: one shared inotify instance and a
// dispatcher thread that fans its events out to the watchers' wake events.
//
// The dispatcher sleeps in poll() without a timeout, so it costs nothing
// while nothing changes. It lives as long as the process once started (the
// hub is never destroyed, so no storage can go away under it). Watchers keep
// their own 1000 ms wait, so a directory whose watch the kernel dropped
// (deleted, unmounted) or an overflowing event queue still leaves every file
// followed at least once a second.
#include "platform/DirWatch.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <linux/futex.h>
#include <mutex>
#include <poll.h>
#include <pthread.h>
#include <sys/inotify.h>
#include <sys/syscall.h>
#include <thread>
#include <unistd.h>
#include <unordered_map>
#include <vector>

namespace platform {

// --- WakeEvent ----------------------------------------------------------------

namespace {

long Futex(std::atomic<std::uint32_t>* word, int op, std::uint32_t value, const timespec* timeout)
{
    static_assert(
        sizeof(std::atomic<std::uint32_t>) == sizeof(std::uint32_t) && std::atomic<std::uint32_t>::is_always_lock_free,
        "the futex word is the atomic's own storage");
    return ::syscall(SYS_futex, reinterpret_cast<std::uint32_t*>(word), op, value, timeout, nullptr, 0);
}

}  // namespace

void WakeEvent::Signal()
{
    if (m_nSet.exchange(1) == 0)
        Futex(&m_nSet, FUTEX_WAKE_PRIVATE, INT32_MAX, nullptr);
}

bool WakeEvent::Wait(int timeoutMs)
{
    using namespace std::chrono;
    const auto deadline = steady_clock::now() + milliseconds(std::max(timeoutMs, 0));
    for (;;) {
        if (m_nSet.exchange(0) != 0)
            return true;
        const auto left = duration_cast<nanoseconds>(deadline - steady_clock::now()).count();
        if (left <= 0)
            return false;
        const timespec ts{static_cast<time_t>(left / 1000000000), static_cast<long>(left % 1000000000)};
        // Returns at once when the word is no longer 0 (set meanwhile), on a
        // wake-up, a signal or the timeout: the loop looks again in each case.
        Futex(&m_nSet, FUTEX_WAIT_PRIVATE, 0, &ts);
    }
}

// --- The shared inotify instance --------------------------------------------------

namespace {

// Entries created, deleted or renamed, and files written or resized (a
// truncation arrives as IN_MODIFY). Only directories are accepted.
constexpr std::uint32_t kMask =
    IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO | IN_MODIFY | IN_CLOSE_WRITE | IN_ONLYDIR;

std::atomic<int> g_enabled{-1};  // -1: not yet read from the environment

class Hub {
public:
    // Adds a subscriber; the watch descriptor, or -1.
    int Add(const std::string& directory, WakeEvent* wake)
    {
        std::lock_guard<std::mutex> g(m_lock);
        if (m_fd < 0) {
            // Retried on each start while it fails: the instance limit may
            // have been reached by other programs and freed since.
            m_fd = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
            if (m_fd < 0)
                return -1;
        }
        const int wd = ::inotify_add_watch(m_fd, directory.c_str(), kMask);
        if (wd < 0)
            return -1;
        if (!m_bStarted) {
            try {
                std::thread(&Hub::Run, this).detach();
            } catch (...) {
                RemoveLocked(wd, nullptr);
                return -1;
            }
            m_bStarted = true;
        }
        m_subscribers[wd].push_back(wake);
        return wd;
    }

    void Remove(int wd, WakeEvent* wake)
    {
        std::lock_guard<std::mutex> g(m_lock);
        RemoveLocked(wd, wake);
    }

private:
    void RemoveLocked(int wd, WakeEvent* wake)
    {
        auto it = m_subscribers.find(wd);
        if (it != m_subscribers.end()) {
            auto& v = it->second;
            v.erase(std::remove(v.begin(), v.end(), wake), v.end());
            if (!v.empty())
                return;
            m_subscribers.erase(it);
        } else if (wake) {
            return;  // the kernel already dropped this watch (IN_IGNORED)
        }
        ::inotify_rm_watch(m_fd, wd);
    }

    void Run()
    {
        pthread_setname_np(pthread_self(), "ostrel-dirwatch");
        alignas(inotify_event) char buf[16384];
        std::vector<int> woken;
        for (;;) {
            pollfd p{m_fd, POLLIN, 0};
            if (::poll(&p, 1, -1) < 0) {
                if (errno == EINTR)
                    continue;
                ::usleep(100000);  // should not happen; never spin
                continue;
            }
            const ssize_t n = ::read(m_fd, buf, sizeof buf);
            if (n <= 0)
                continue;
            woken.clear();
            bool everyone = false;
            std::vector<int> dropped;
            for (ssize_t off = 0; off + static_cast<ssize_t>(sizeof(inotify_event)) <= n;) {
                const auto* ev = reinterpret_cast<const inotify_event*>(buf + off);
                if (ev->mask & IN_Q_OVERFLOW)
                    everyone = true;
                else if (std::find(woken.begin(), woken.end(), ev->wd) == woken.end())
                    woken.push_back(ev->wd);
                if (ev->mask & IN_IGNORED)
                    dropped.push_back(ev->wd);
                off += static_cast<ssize_t>(sizeof(inotify_event) + ev->len);
            }
            std::lock_guard<std::mutex> g(m_lock);
            if (everyone) {
                for (auto& [wd, subs] : m_subscribers)
                    for (WakeEvent* w : subs)
                        w->Signal();
            } else {
                for (int wd : woken) {
                    auto it = m_subscribers.find(wd);
                    if (it != m_subscribers.end())
                        for (WakeEvent* w : it->second)
                            w->Signal();
                }
            }
            // The directory went away: its watchers fall back to their
            // once-a-second check (they were just woken to make one).
            for (int wd : dropped)
                m_subscribers.erase(wd);
        }
    }

    std::mutex m_lock;
    int m_fd = -1;
    bool m_bStarted = false;
    std::unordered_map<int, std::vector<WakeEvent*>> m_subscribers;
};

Hub& hub()
{
    static Hub* h = new Hub;  // never destroyed: its thread runs until the process ends
    return *h;
}

}  // namespace

// --- DirWatch ---------------------------------------------------------------------

void DirWatch::SetEnabled(bool enabled)
{
    g_enabled.store(enabled ? 1 : 0);
}

bool DirWatch::Enabled()
{
    int e = g_enabled.load();
    if (e < 0) {
        const char* env = std::getenv("OSTREL_NO_INOTIFY");
        e = env && *env && std::strcmp(env, "0") != 0 ? 0 : 1;
        int expected = -1;
        g_enabled.compare_exchange_strong(expected, e);
        e = g_enabled.load();
    }
    return e != 0;
}

bool DirWatch::Start(const std::string& directory, WakeEvent* wake)
{
    Stop();
    if (!wake || directory.empty() || !Enabled())
        return false;
    m_nWatch = hub().Add(directory, wake);
    m_pWake = m_nWatch >= 0 ? wake : nullptr;
    return m_nWatch >= 0;
}

void DirWatch::Stop()
{
    if (m_nWatch < 0)
        return;
    hub().Remove(m_nWatch, m_pWake);
    m_nWatch = -1;
    m_pWake = nullptr;
}

}  // namespace platform
