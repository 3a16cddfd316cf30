// How quickly a window follows a file that another process appends to, and
// what following costs while the file is idle.
//
//   follow_latency [lines] [interval_ms] [idle_s]     (defaults 250 20 10)
//
// A separate writer process appends one line every interval, each carrying
// the CLOCK_MONOTONIC time of its write. The window (CFileWnd on a headless
// port, watcher on) runs on this thread as the UI thread would: it sleeps
// until a posted message wakes it, delivers the messages (the reload) and
// then reads the new lines to take each line's delay from its write to the
// end of the reload and its repaint request.
//
// Baseline, measured in the same run: a bare inotify reader (what `tail -F`
// does) on the same kind of writer, which is the floor for any follower.
//
// Idle: with the writer gone, the watcher thread's CPU time (schedstat) and
// voluntary context switches (its wake-ups) over the idle period, next to a
// bare thread that only waits 1000 ms at a time and asks a file's size, run
// over the same period: the floor for a once-a-second check on this machine
// (on some virtual machines a single timed wake-up costs 100-200 us of CPU).
#include "file/FileWatcher.h"
#include "file/MemoryMappedFile.h"
#include "platform/Window.h"
#include "tools/headless/HeadlessWindow.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <fstream>
#include <poll.h>
#include <string>
#include <sys/eventfd.h>
#include <sys/inotify.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

std::int64_t NowNs()
{
    timespec ts{};
    ::clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<std::int64_t>(ts.tv_sec) * 1000000000 + ts.tv_nsec;
}

// The writer, in a child process: only system calls and its own formatting.
[[noreturn]] void WriterChild(const char* path, int startFd, long lines, long intervalMs)
{
    char go;
    if (::read(startFd, &go, 1) != 1)
        ::_exit(1);
    const int fd = ::open(path, O_WRONLY | O_APPEND);
    if (fd < 0)
        ::_exit(2);
    std::int64_t next = NowNs();
    for (long i = 0; i < lines; ++i) {
        timespec ts{static_cast<time_t>(next / 1000000000), static_cast<long>(next % 1000000000)};
        while (::clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &ts, nullptr) == EINTR) {
        }
        // "<seq> <ns>\n"
        char buf[64];
        char* p = buf + sizeof buf;
        *--p = '\n';
        std::int64_t t = NowNs();
        do
            *--p = static_cast<char>('0' + t % 10);
        while ((t /= 10) > 0);
        *--p = ' ';
        long s = i;
        do
            *--p = static_cast<char>('0' + s % 10);
        while ((s /= 10) > 0);
        const std::size_t n = static_cast<std::size_t>(buf + sizeof buf - p);
        if (::write(fd, p, n) != static_cast<ssize_t>(n))
            ::_exit(3);
        next += intervalMs * 1000000;
    }
    ::close(fd);
    ::_exit(0);
}

struct Writer {
    pid_t pid = -1;
    int start = -1;
    void Spawn(const std::string& path, long lines, long intervalMs)
    {
        int p[2];
        if (::pipe(p) != 0)
            std::exit(1);
        pid = ::fork();
        if (pid == 0) {
            ::close(p[1]);
            WriterChild(path.c_str(), p[0], lines, intervalMs);
        }
        ::close(p[0]);
        start = p[1];
    }
    void Go() { [[maybe_unused]] ssize_t n = ::write(start, "g", 1); }
    bool Finished()
    {
        int status = 0;
        return ::waitpid(pid, &status, WNOHANG) == pid;
    }
    void Wait()
    {
        int status = 0;
        ::waitpid(pid, &status, 0);
        ::close(start);
    }
};

// Takes every complete "<seq> <ns>" line in [from, to) of `bytes` and
// records its delay to `now`; returns where the next line starts.
std::size_t TakeLines(const char* bytes, std::size_t from, std::size_t to, std::int64_t now,
                      std::vector<double>& delaysMs, long firstSeq)
{
    while (from < to) {
        const void* nl = std::memchr(bytes + from, '\n', to - from);
        if (!nl)
            break;
        const std::size_t end = static_cast<std::size_t>(static_cast<const char*>(nl) - bytes);
        long seq = -1;
        long long ns = 0;
        const std::string line(bytes + from, end - from);
        if (std::sscanf(line.c_str(), "%ld %lld", &seq, &ns) == 2 && seq >= firstSeq)
            delaysMs.push_back(static_cast<double>(now - ns) / 1e6);
        from = end + 1;
    }
    return from;
}

struct Summary {
    double median = 0, p95 = 0, max = 0;
};

Summary Summarise(std::vector<double> v)
{
    Summary s;
    if (v.empty())
        return s;
    std::sort(v.begin(), v.end());
    s.median = v[v.size() / 2];
    s.p95 = v[std::min(v.size() - 1, static_cast<std::size_t>(static_cast<double>(v.size()) * 0.95))];
    s.max = v.back();
    return s;
}

// Bare inotify follower: the floor that any follower pays.
std::vector<double> Baseline(const std::string& dir, long lines, long intervalMs)
{
    const std::string path = dir + "/baseline.log";
    std::ofstream(path, std::ios::trunc).flush();
    Writer w;
    w.Spawn(path, lines, intervalMs);
    const int in = ::inotify_init1(IN_CLOEXEC);
    ::inotify_add_watch(in, dir.c_str(), IN_MODIFY);
    const int fd = ::open(path.c_str(), O_RDONLY);
    std::vector<double> delays;
    std::string data;
    std::size_t taken = 0;
    w.Go();
    while (static_cast<long>(delays.size()) < lines) {
        pollfd p{in, POLLIN, 0};
        if (::poll(&p, 1, 2000) <= 0)
            break;
        char ev[4096];
        [[maybe_unused]] ssize_t n = ::read(in, ev, sizeof ev);
        char buf[65536];
        ssize_t got;
        while ((got = ::pread(fd, buf, sizeof buf, static_cast<off_t>(data.size()))) > 0)
            data.append(buf, static_cast<std::size_t>(got));
        taken = TakeLines(data.data(), taken, data.size(), NowNs(), delays, 0);
    }
    w.Wait();
    ::close(fd);
    ::close(in);
    return delays;
}

struct ThreadStats {
    std::uint64_t runNs = 0;
    std::uint64_t voluntary = 0;
    bool ok = false;
};

ThreadStats ReadThreadStats(int tid)
{
    ThreadStats s;
    const std::string base = "/proc/self/task/" + std::to_string(tid);
    std::ifstream sched(base + "/schedstat");
    if (sched >> s.runNs)
        s.ok = true;
    std::ifstream status(base + "/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("voluntary_ctxt_switches:", 0) == 0)
            s.voluntary = std::strtoull(line.c_str() + 24, nullptr, 10);
    return s;
}

int FindThread(const char* name)
{
    int found = 0;
    if (DIR* d = ::opendir("/proc/self/task")) {
        while (dirent* e = ::readdir(d)) {
            std::ifstream comm(std::string("/proc/self/task/") + e->d_name + "/comm");
            std::string c;
            if (std::getline(comm, c) && c == name)
                found = std::atoi(e->d_name);
        }
        ::closedir(d);
    }
    return found;
}

}  // namespace

int main(int argc, char** argv)
{
    const long lines = argc > 1 ? std::atol(argv[1]) : 250;
    const long intervalMs = argc > 2 ? std::atol(argv[2]) : 20;
    const int idleS = argc > 3 ? std::atoi(argv[3]) : 10;

    char tmpl[] = "/tmp/ostrel-follow-bench-XXXXXX";
    const char* d = ::mkdtemp(tmpl);
    if (!d)
        return 1;
    const std::string dir = d;
    const std::string path = dir + "/followed.log";

    std::printf("follow_latency: %ld lines, one every %ld ms, by a separate writer process; idle %d s\n", lines,
                intervalMs, idleS);

    const Summary base = Summarise(Baseline(dir, lines, intervalMs));

    // The window, with the document's content before the writer starts.
    {
        std::ofstream out(path, std::ios::trunc);
        for (int i = 0; i < 100; ++i)
            out << "-1 0 initial line " << i << "\n";
    }
    Writer writer;
    writer.Spawn(path, lines, intervalMs);

    const int uiWake = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    platform::SetPostWakeHook([uiWake] {
        const std::uint64_t one = 1;
        [[maybe_unused]] ssize_t n = ::write(uiWake, &one, sizeof one);
    });

    CMemoryMappedFile file;
    if (!file.Open(path.c_str(), false))
        return 1;
    headless::HeadlessPort port(40, 100);
    CFileWnd wnd(&port);
    if (!wnd.LoadFile(&file, EncodingAuto) || !wnd.GetWatcher()) {
        std::fprintf(stderr, "load failed\n");
        return 1;
    }
    std::printf("directory notification: %s\n",
                wnd.GetWatcher()->HasDirectoryNotification() ? "inotify" : "none (1000 ms polling)");

    std::vector<double> delays;
    std::size_t taken = file.Size();
    int reloads = 0, invalidations = port.m_fullInvalidations;
    int repaintRequests = 0;
    writer.Go();
    bool writerDone = false;
    while (static_cast<long>(delays.size()) < lines) {
        pollfd p{uiWake, POLLIN, 0};
        const int rc = ::poll(&p, 1, 3000);
        if (rc <= 0) {
            if (writerDone)
                break;  // lost lines: reported below
            writerDone = writer.Finished();
            continue;
        }
        std::uint64_t count;
        [[maybe_unused]] ssize_t n = ::read(uiWake, &count, sizeof count);
        reloads += platform::DrainPostedMessages();
        const std::int64_t now = NowNs();
        if (port.m_fullInvalidations != invalidations) {
            ++repaintRequests;
            invalidations = port.m_fullInvalidations;
        }
        const char* bytes = reinterpret_cast<const char*>(wnd.ViewBytes());
        if (bytes)
            taken = TakeLines(bytes, taken, file.Size(), now, delays, 0);
        port.Paint(wnd);  // what the UI would do next; not timed
    }
    writer.Wait();
    const Summary s = Summarise(delays);

    // Idle: the writer has gone; only the watcher's once-a-second look remains.
    const int tid = wnd.GetWatcher()->ThreadId();
    const int hubTid = FindThread("ostrel-dirwatch");
    platform::DrainPostedMessages();
    const ThreadStats w0 = ReadThreadStats(tid), h0 = ReadThreadStats(hubTid);
    rusage r0{};
    ::getrusage(RUSAGE_SELF, &r0);
    std::atomic<bool> floorStop{false};
    std::atomic<int> floorTid{0};
    const int floorFd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    std::thread floor([&] {
        floorTid = static_cast<int>(::syscall(SYS_gettid));
        while (!floorStop) {
            ::poll(nullptr, 0, 1000);
            struct stat st {};
            ::fstat(floorFd, &st);
        }
    });
    while (floorTid == 0)
        std::this_thread::yield();
    const ThreadStats f0 = ReadThreadStats(floorTid);
    const std::int64_t t0 = NowNs();
    std::this_thread::sleep_for(std::chrono::seconds(idleS));
    const double idleSeconds = static_cast<double>(NowNs() - t0) / 1e9;
    const ThreadStats w1 = ReadThreadStats(tid), h1 = ReadThreadStats(hubTid), f1 = ReadThreadStats(floorTid);
    floorStop = true;
    floor.join();
    ::close(floorFd);
    rusage r1{};
    ::getrusage(RUSAGE_SELF, &r1);
    const int idleMessages = platform::DrainPostedMessages();
    auto cpuUs = [](const rusage& r) {
        return static_cast<double>(r.ru_utime.tv_sec + r.ru_stime.tv_sec) * 1e6 + r.ru_utime.tv_usec +
               r.ru_stime.tv_usec;
    };

    std::printf("\nappend -> window reloaded and repaint requested (ms), %zu of %ld lines seen, %d reloads, %d repaint "
                "requests\n",
                delays.size(), lines, reloads, repaintRequests);
    std::printf("  window (watcher + posted message + reload):  median %7.3f   p95 %7.3f   max %7.3f\n", s.median,
                s.p95, s.max);
    std::printf("  baseline (bare inotify reader, same writer): median %7.3f   p95 %7.3f   max %7.3f\n", base.median,
                base.p95, base.max);
    if (base.median > 0)
        std::printf("  ratio window/baseline: median %.1fx, p95 %.1fx\n", s.median / base.median,
                    s.p95 / std::max(base.p95, 1e-6));
    std::printf("  goals: median < 5 ms %s, p95 < 15 ms %s\n", s.median < 5 ? "met" : "MISSED",
                s.p95 < 15 ? "met" : "MISSED");

    std::printf("\nidle for %.1f s (tid %d watcher, tid %d shared inotify dispatcher):\n", idleSeconds, tid, hubTid);
    if (w0.ok && w1.ok) {
        const double cpuMs = static_cast<double>(w1.runNs - w0.runNs) / 1e6;
        const double wakeups = static_cast<double>(w1.voluntary - w0.voluntary);
        std::printf("  watcher thread: CPU %.3f ms (%.5f %%), %.0f voluntary context switches (%.2f per second)\n",
                    cpuMs, cpuMs / (idleSeconds * 1000) * 100, wakeups, wakeups / idleSeconds);
        if (f0.ok && f1.ok) {
            const double floorMs = static_cast<double>(f1.runNs - f0.runNs) / 1e6;
            std::printf("  floor (bare thread: 1000 ms wait + fstat): CPU %.3f ms (%.5f %%), %llu wake-ups; "
                        "watcher/floor %.2fx\n",
                        floorMs, floorMs / (idleSeconds * 1000) * 100,
                        static_cast<unsigned long long>(f1.voluntary - f0.voluntary),
                        floorMs > 0 ? cpuMs / floorMs : 0.0);
        }
        std::printf("  goals: about one wake-up per second %s, idle CPU < 0.01 %% %s\n",
                    wakeups / idleSeconds <= 1.2 ? "met" : "MISSED",
                    cpuMs / (idleSeconds * 1000) * 100 < 0.01 ? "met" : "MISSED");
    } else {
        std::printf("  watcher thread statistics unavailable\n");
    }
    if (h0.ok && h1.ok)
        std::printf("  dispatcher thread: CPU %.3f ms, %llu voluntary context switches\n",
                    static_cast<double>(h1.runNs - h0.runNs) / 1e6,
                    static_cast<unsigned long long>(h1.voluntary - h0.voluntary));
    std::printf("  whole process: CPU %.3f ms; messages posted while idle: %d\n", (cpuUs(r1) - cpuUs(r0)) / 1000,
                idleMessages);

    platform::SetPostWakeHook(nullptr);
    wnd.OnDestroy();
    ::close(uiWake);
    const std::string rm = "rm -rf '" + dir + "'";
    return std::system(rm.c_str()) == 0 && static_cast<long>(delays.size()) == lines ? 0 : 1;
}
