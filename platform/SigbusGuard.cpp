// The truncation guard (see SigbusGuard.h for what it promises).
//
// How it works:
// - Registry: a fixed table of slots, each a handful of atomics. A slot is
//   claimed by compare-and-swap of its state (free -> busy), filled, then
//   published (busy -> live, release). The handler only reads live slots
//   (acquire), so it never sees a half-filled one and never takes a lock.
// - Handler (SA_SIGINFO): if si_addr lies in a live slot, it asks the file's
//   current size (fstat is async-signal-safe) and maps anonymous zero pages
//   MAP_FIXED from the page after the new end of file (or from the faulting
//   page, if that lies earlier: the file may have grown back meanwhile, and
//   an I/O error would otherwise fault again for ever) to the end of the
//   mapping, in one call. A reader walking backwards over a truncated
//   gigabyte therefore costs one signal, not one per page. The partial page
//   holding the new end of file needs nothing: the kernel already reads it
//   as zeros past the end.
//   It then marks the slot stale and wakes the listeners (file watchers) of
//   the same file through their wake events, and returns: the faulting
//   instruction runs again and reads zero.
// - Anything else goes to the previous handler; when there was none (or it
//   ignored the signal) the default action is restored and the fault
//   repeats, so a genuine bug still ends the process with a core dump.
// - Only raw system calls are used inside the handler, so that no library
//   interceptor (the sanitizers wrap mmap and fstat) runs in signal context.
// - The zero pages stay until the mapping is replaced: a window re-maps on
//   the next WM_FILE_CHANGED, which the stale mark makes sure is posted even
//   if the file's size is back where it was.
#include "platform/SigbusGuard.h"

#include "platform/DirWatch.h"

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <mutex>
#include <sched.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace platform {
namespace {

constexpr int kMaxMappings = 4096;
constexpr int kMaxListeners = 4096;

enum : int { kFree = 0, kBusy = 1, kLive = 2 };

struct MappingSlot {
    std::atomic<int> state{kFree};
    std::atomic<std::uintptr_t> base{0};
    std::atomic<std::uint64_t> size{0};
    std::atomic<int> fd{-1};
    std::atomic<bool> writable{false};
    std::atomic<std::uint64_t> dev{0};
    std::atomic<std::uint64_t> ino{0};
    std::atomic<bool> stale{false};
};

struct ListenerSlot {
    std::atomic<int> state{kFree};
    std::atomic<std::uint64_t> dev{0};
    std::atomic<std::uint64_t> ino{0};
    std::atomic<WakeEvent*> wake{nullptr};
    std::atomic<std::uint32_t> count{0};
};

MappingSlot g_mappings[kMaxMappings];
ListenerSlot g_listeners[kMaxListeners];
std::atomic<std::uint64_t> g_faults{0};
// Handlers currently waking listeners: a listener's wake event goes away only
// once none of them can still be about to set it.
std::atomic<int> g_waking{0};
std::atomic<std::uint64_t> g_pageSize{4096};

std::mutex g_installLock;
struct sigaction g_previous;  // written under g_installLock before our handler goes in

static_assert(std::atomic<std::uint64_t>::is_always_lock_free && std::atomic<std::uintptr_t>::is_always_lock_free,
              "the signal handler needs lock-free atomics");

long RawFstat(int fd, struct stat* st)
{
    return ::syscall(SYS_fstat, fd, st);
}

void* RawMapZeros(std::uintptr_t at, std::uint64_t length, bool writable)
{
    const int prot = writable ? (PROT_READ | PROT_WRITE) : PROT_READ;
    return reinterpret_cast<void*>(
        ::syscall(SYS_mmap, at, length, prot, MAP_PRIVATE | MAP_ANONYMOUS | MAP_FIXED, -1, 0L));
}

void WakeListeners(std::uint64_t dev, std::uint64_t ino, bool stale = true)
{
    g_waking.fetch_add(1);  // seq_cst: pairs with the load in UnregisterStaleListener
    for (ListenerSlot& l : g_listeners) {
        if (l.state.load() != kLive)
            continue;
        if (l.dev.load(std::memory_order_relaxed) != dev || l.ino.load(std::memory_order_relaxed) != ino)
            continue;
        if (stale)
            l.count.fetch_add(1, std::memory_order_release);
        if (WakeEvent* wake = l.wake.load(std::memory_order_relaxed))
            wake->Signal();  // an atomic and a raw futex call: safe here
    }
    g_waking.fetch_sub(1, std::memory_order_acq_rel);
}

// Patches the lost tail of one mapping; false when it cannot be patched.
bool Patch(MappingSlot& m, std::uintptr_t addr)
{
    const std::uintptr_t base = m.base.load(std::memory_order_relaxed);
    const std::uint64_t size = m.size.load(std::memory_order_relaxed);
    const std::uint64_t page = g_pageSize.load(std::memory_order_relaxed);
    struct stat st {};
    std::uint64_t fileSize = 0;
    if (RawFstat(m.fd.load(std::memory_order_relaxed), &st) == 0 && st.st_size > 0)
        fileSize = static_cast<std::uint64_t>(st.st_size);
    const std::uint64_t mappedEnd = (size + page - 1) / page * page;
    const std::uint64_t faultPage = (addr - base) / page * page;
    std::uint64_t from = (fileSize + page - 1) / page * page;
    if (from > faultPage)
        from = faultPage;
    if (from >= mappedEnd)
        return false;
    if (RawMapZeros(base + from, mappedEnd - from, m.writable.load(std::memory_order_relaxed)) == MAP_FAILED)
        return false;
    m.stale.store(true, std::memory_order_release);
    g_faults.fetch_add(1, std::memory_order_relaxed);
    WakeListeners(m.dev.load(std::memory_order_relaxed), m.ino.load(std::memory_order_relaxed));
    return true;
}

void ChainToPrevious(int sig, siginfo_t* info, void* context)
{
    const struct sigaction& prev = g_previous;
    if ((prev.sa_flags & SA_SIGINFO) && prev.sa_sigaction) {
        prev.sa_sigaction(sig, info, context);
        return;
    }
    if (prev.sa_handler != SIG_DFL && prev.sa_handler != SIG_IGN) {
        prev.sa_handler(sig);
        return;
    }
    // No one else wants it: let the default action (terminate with a core)
    // happen. A fault repeats as soon as we return; a signal sent by kill()
    // does not, so raise it again (it is blocked until we return).
    struct sigaction dfl {};
    dfl.sa_handler = SIG_DFL;
    sigemptyset(&dfl.sa_mask);
    ::sigaction(SIGBUS, &dfl, nullptr);
    if (info->si_code <= 0)
        ::raise(SIGBUS);
}

void OnSigbus(int sig, siginfo_t* info, void* context)
{
    const int savedErrno = errno;
    const auto addr = reinterpret_cast<std::uintptr_t>(info->si_addr);
    if (info->si_code > 0) {  // a real fault, not a signal sent by someone
        for (MappingSlot& m : g_mappings) {
            if (m.state.load(std::memory_order_acquire) != kLive)
                continue;
            const std::uintptr_t base = m.base.load(std::memory_order_relaxed);
            const std::uint64_t size = m.size.load(std::memory_order_relaxed);
            if (addr < base || addr - base >= size)
                continue;
            if (Patch(m, addr)) {
                errno = savedErrno;
                return;
            }
            break;
        }
    }
    ChainToPrevious(sig, info, context);
    errno = savedErrno;
}

void EnsureInstalled()
{
    static std::once_flag once;
    std::call_once(once, InstallSigbusGuard);
}

bool SameFile(int fd, std::uint64_t* dev, std::uint64_t* ino)
{
    struct stat st {};
    if (fd < 0 || ::fstat(fd, &st) != 0)
        return false;
    *dev = static_cast<std::uint64_t>(st.st_dev);
    *ino = static_cast<std::uint64_t>(st.st_ino);
    return true;
}

}  // namespace

void InstallSigbusGuard()
{
    std::lock_guard<std::mutex> g(g_installLock);
    const long page = ::sysconf(_SC_PAGESIZE);
    if (page > 0)
        g_pageSize.store(static_cast<std::uint64_t>(page), std::memory_order_relaxed);
    struct sigaction current {};
    if (::sigaction(SIGBUS, nullptr, &current) != 0)
        return;
    if ((current.sa_flags & SA_SIGINFO) && current.sa_sigaction == OnSigbus)
        return;
    g_previous = current;
    struct sigaction sa {};
    sa.sa_sigaction = OnSigbus;
    sa.sa_flags = SA_SIGINFO | SA_ONSTACK | SA_RESTART;
    sigemptyset(&sa.sa_mask);
    ::sigaction(SIGBUS, &sa, nullptr);
}

void RegisterGuardedMapping(std::uint8_t* view, std::uint64_t size, int fd)
{
    if (!view || size == 0 || fd < 0)
        return;
    EnsureInstalled();
    std::uint64_t dev = 0, ino = 0;
    SameFile(fd, &dev, &ino);
    const int flags = ::fcntl(fd, F_GETFL);
    const bool writable = flags >= 0 && (flags & O_ACCMODE) != O_RDONLY;
    for (MappingSlot& m : g_mappings) {
        int expected = kFree;
        if (!m.state.compare_exchange_strong(expected, kBusy, std::memory_order_acq_rel))
            continue;
        m.base.store(reinterpret_cast<std::uintptr_t>(view), std::memory_order_relaxed);
        m.size.store(size, std::memory_order_relaxed);
        m.fd.store(fd, std::memory_order_relaxed);
        m.writable.store(writable, std::memory_order_relaxed);
        m.dev.store(dev, std::memory_order_relaxed);
        m.ino.store(ino, std::memory_order_relaxed);
        m.stale.store(false, std::memory_order_relaxed);
        m.state.store(kLive, std::memory_order_release);
        return;
    }
}

void UnregisterGuardedMapping(std::uint8_t* view)
{
    if (!view)
        return;
    const auto base = reinterpret_cast<std::uintptr_t>(view);
    for (MappingSlot& m : g_mappings) {
        if (m.state.load(std::memory_order_acquire) != kLive || m.base.load(std::memory_order_relaxed) != base)
            continue;
        int expected = kLive;
        if (!m.state.compare_exchange_strong(expected, kBusy, std::memory_order_acq_rel))
            continue;
        m.base.store(0, std::memory_order_relaxed);
        m.size.store(0, std::memory_order_relaxed);
        m.fd.store(-1, std::memory_order_relaxed);
        m.state.store(kFree, std::memory_order_release);
        return;
    }
}

bool IsMappingStale(const std::uint8_t* view)
{
    if (!view)
        return false;
    const auto base = reinterpret_cast<std::uintptr_t>(view);
    for (MappingSlot& m : g_mappings)
        if (m.state.load(std::memory_order_acquire) == kLive && m.base.load(std::memory_order_relaxed) == base)
            return m.stale.load(std::memory_order_acquire);
    return false;
}

int RegisterStaleListener(int fileFd, WakeEvent* wake)
{
    std::uint64_t dev = 0, ino = 0;
    if (!SameFile(fileFd, &dev, &ino))
        return -1;
    for (int i = 0; i < kMaxListeners; ++i) {
        ListenerSlot& l = g_listeners[i];
        int expected = kFree;
        if (!l.state.compare_exchange_strong(expected, kBusy, std::memory_order_acq_rel))
            continue;
        l.dev.store(dev, std::memory_order_relaxed);
        l.ino.store(ino, std::memory_order_relaxed);
        l.wake.store(wake, std::memory_order_relaxed);
        l.count.store(0, std::memory_order_relaxed);
        l.state.store(kLive, std::memory_order_release);
        return i;
    }
    return -1;
}

void UnregisterStaleListener(int listener)
{
    if (listener < 0 || listener >= kMaxListeners)
        return;
    ListenerSlot& l = g_listeners[listener];
    int expected = kLive;
    if (!l.state.compare_exchange_strong(expected, kBusy))
        return;
    l.wake.store(nullptr, std::memory_order_relaxed);
    l.state.store(kFree, std::memory_order_release);
    // A handler on another thread may have read the old event just before;
    // the caller may destroy it after we return, so let that setting land.
    while (g_waking.load() != 0)
        ::sched_yield();
}

std::uint32_t StaleCount(int listener)
{
    if (listener < 0 || listener >= kMaxListeners)
        return 0;
    return g_listeners[listener].count.load(std::memory_order_acquire);
}

void WakeFileListeners(int fd)
{
    struct stat st {};
    if (RawFstat(fd, &st) == 0)
        WakeListeners(static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino), false);
}

void WakeFileListeners(std::uint64_t device, std::uint64_t inode)
{
    WakeListeners(device, inode, false);
}

std::uint64_t GuardedFaultCount()
{
    return g_faults.load(std::memory_order_relaxed);
}

}  // namespace platform
