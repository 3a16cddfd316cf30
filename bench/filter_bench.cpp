// The filter over a large log, next to ripgrep on the same file in the same run.
//
//   filter_bench [MiB] [folder]      (default 1024 MiB under /tmp/ostrel-bench)
//
// Generates (once, then reuses) a log in which about 1 % of the lines hold
// "checksum mismatch" and a third are ERROR or WARN lines, reads it so that
// it sits in the page cache, and times, best of 5:
//   - the complete list of the lines holding the literal, and of those
//     matching the regular expression ERROR|WARN;
//   - rg -c LITERAL FILE and rg -c 'ERROR|WARN' FILE (LC_ALL=C), whole processes;
// and prints the ratios (goals: at most 1.3 and 1.5). Then it scans the log
// once more while the thread that started it runs an event loop that posts
// itself a timer message every 5 ms and, on each of the filter's progress
// messages, reads the status and a screenful of entries as the pane does;
// it prints the longest gap between two timer messages (goal: at most 50 ms).
// Between the two, the probe's filter output (every listed line as a row of
// byte offset, tab, line) against rg -b with the same pattern, whole
// processes writing to /dev/null (goal: at most 1.2).
#include "engine/LineFilter.h"
#include "file/Encoding.h"
#include "platform/File.h"
#include "platform/Window.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point a, Clock::time_point b)
{
    return std::chrono::duration<double>(b - a).count();
}

std::string MakeLog(const std::string& folder, long mib)
{
    const std::string path = folder + "/filter-" + std::to_string(mib) + ".log";
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0 && st.st_size >= mib * 1048576L)
        return path;
    ::mkdir(folder.c_str(), 0755);
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f)
        return {};
    std::uint64_t x = 88172645463325252ULL;
    std::string line;
    for (long written = 0; written < mib * 1048576L;) {
        x ^= x << 13, x ^= x >> 7, x ^= x << 17;
        const unsigned r = static_cast<unsigned>(x % 600);
        const char* level = r < 100 ? "ERROR" : r < 200 ? "WARN " : "INFO ";
        char buf[256];
        const int n = std::snprintf(
            buf, sizeof buf, "2024-05-01 12:%02u:%02u.%03u %s [worker-%02u] request id=%08u user=u%04u %s took %ums\n",
            static_cast<unsigned>(x >> 20) % 60, static_cast<unsigned>(x >> 26) % 60,
            static_cast<unsigned>(x >> 32) % 1000, level, static_cast<unsigned>(x >> 40) % 64,
            static_cast<unsigned>(x >> 8) % 100000000, static_cast<unsigned>(x >> 44) % 10000,
            r % 100 == 7 ? "checksum mismatch in segment" : "path=/api/v1/items done",
            static_cast<unsigned>(x >> 50) % 900);
        std::fwrite(buf, 1, static_cast<std::size_t>(n), f);
        written += n;
    }
    std::fclose(f);
    return path;
}

void ReadAll(const std::string& path)
{
    const int fd = ::open(path.c_str(), O_RDONLY);
    static char buf[1 << 20];
    while (::read(fd, buf, sizeof buf) > 0) {
    }
    ::close(fd);
}

// Best of 5 of a whole process with its output thrown away; -1 when it cannot run.
double TimeProcess(const std::string& command)
{
    double best = -1;
    for (int i = 0; i < 5; ++i) {
        const auto t0 = Clock::now();
        const int rc = std::system(("LC_ALL=C " + command + " >/dev/null 2>&1").c_str());
        const auto t1 = Clock::now();
        if (rc == -1 || !WIFEXITED(rc) || WEXITSTATUS(rc) > 1)
            return -1;
        best = best < 0 ? Seconds(t0, t1) : std::min(best, Seconds(t0, t1));
    }
    return best;
}

double TimeFilter(platform::FileHandle fd, std::int64_t size, const linefilter::FilterQuery& query, std::int64_t* count)
{
    double best = -1;
    for (int i = 0; i < 5; ++i) {
        linefilter::CLineFilter filter;
        const auto t0 = Clock::now();
        filter.Start(std::make_unique<CPreadChunkReader>(fd), {EncodingAnsi}, query, 0, size, nullptr);
        filter.WaitIdle();
        const auto t1 = Clock::now();
        *count = filter.Count();
        best = best < 0 ? Seconds(t0, t1) : std::min(best, Seconds(t0, t1));
    }
    return best;
}

void Compare(const char* what, double ours, double rg, double goal, std::int64_t count)
{
    std::printf("%-34s %8.3f s  %9lld lines", what, ours, static_cast<long long>(count));
    if (rg > 0)
        std::printf("  rg -c %6.3f s  ratio %.2f (goal <= %.1f)\n", rg, ours / rg, goal);
    else
        std::printf("  rg: n/a\n");
}

// The UI thread's side: timer messages to itself and the filter's progress.
class Loop : public platform::IMessageTarget {
public:
    static constexpr unsigned kTimer = 1, kProgress = 2;
    explicit Loop(linefilter::CLineFilter& filter) : m_filter(filter) { m_hwnd = platform::RegisterWindow(this); }
    ~Loop() override { platform::UnregisterWindow(m_hwnd); }
    platform::HWND Handle() const { return m_hwnd; }

    std::intptr_t HandleMessage(unsigned msg, std::uintptr_t, std::intptr_t) override
    {
        const auto now = Clock::now();
        if (msg == kTimer) {
            m_longest = std::max(m_longest, Seconds(m_lastTimer, now));
            m_lastTimer = now;
            ++m_timers;
        } else {
            const linefilter::FilterStatus s = m_filter.Status();
            for (std::int64_t i = std::max<std::int64_t>(s.count - 50, 0); i < s.count; ++i)
                m_sum += m_filter.At(i);
            ++m_progress;
        }
        return 0;
    }

    linefilter::CLineFilter& m_filter;
    platform::HWND m_hwnd;
    Clock::time_point m_lastTimer = Clock::now();
    double m_longest = 0;
    long m_timers = 0, m_progress = 0;
    std::int64_t m_sum = 0;
};

void EventLoopGap(platform::FileHandle fd, std::int64_t size)
{
    linefilter::CLineFilter filter;
    Loop loop(filter);
    const platform::HWND hwnd = loop.Handle();
    filter.SetNotify([hwnd] { platform::PostWindowMessage(hwnd, Loop::kProgress, 0, 0); });
    filter.Start(std::make_unique<CPreadChunkReader>(fd), {EncodingAnsi},
                 linefilter::FilterQuery{u"ERROR|WARN", true, false, false}, 0, size, nullptr);
    loop.m_lastTimer = Clock::now();
    auto nextTimer = Clock::now();
    while (filter.Status().running) {
        if (Clock::now() >= nextTimer) {
            platform::PostWindowMessage(hwnd, Loop::kTimer, 0, 0);
            nextTimer += std::chrono::milliseconds(5);
        }
        platform::DrainPostedMessages();
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    platform::DrainPostedMessages();
    std::printf("event loop during a scan: longest gap %.1f ms over %ld timer and %ld progress messages "
                "(goal <= 50 ms)\n",
                loop.m_longest * 1000, loop.m_timers, loop.m_progress);
}

}  // namespace

int main(int argc, char** argv)
{
    const long mib = argc > 1 ? std::atol(argv[1]) : 1024;
    const std::string folder = argc > 2 ? argv[2] : "/tmp/ostrel-bench";
    const std::string path = MakeLog(folder, mib);
    if (path.empty()) {
        std::fprintf(stderr, "cannot write the log under %s\n", folder.c_str());
        return 1;
    }
    ReadAll(path);
    const platform::FileHandle fd = platform::OpenReadShared(path);
    const std::int64_t size = platform::FileSizeByHandle(fd);
    std::printf("%s: %.0f MiB\n", path.c_str(), static_cast<double>(size) / 1048576);

    const bool rg = std::system("command -v rg >/dev/null 2>&1") == 0;
    std::int64_t count = 0;
    const double literal = TimeFilter(fd, size, {u"checksum mismatch", false, false, false}, &count);
    Compare("filter \"checksum mismatch\"", literal, rg ? TimeProcess("rg -c 'checksum mismatch' " + path) : -1, 1.3,
            count);
    const double regex = TimeFilter(fd, size, {u"ERROR|WARN", true, false, false}, &count);
    Compare("filter --regex \"ERROR|WARN\"", regex, rg ? TimeProcess("rg -c 'ERROR|WARN' " + path) : -1, 1.5, count);
    // The probe's filter output (byte offset, tab, line) against rg -b, which prints the same rows.
    const std::string self = argv[0];
    const std::string probe = self.substr(0, self.rfind('/') + 1) + "ostrel-probe";
    if (rg && ::access(probe.c_str(), X_OK) == 0) {
        const struct {
            const char* what;
            const char* ours;
            const char* theirs;
        } outputs[] = {
            {"probe filter \"checksum mismatch\"", "'filter:checksum mismatch'", "-F 'checksum mismatch'"},
            {"probe ifilter error", "ifilter:error", "-i error"},
            {"probe --regex filter \"ERROR|WARN\"", "--regex 'filter:ERROR|WARN'", "'ERROR|WARN'"},
        };
        std::printf("\nwhole processes, output to /dev/null, best of 5 (%s)\n", probe.c_str());
        for (const auto& o : outputs) {
            const std::string ours = std::string(o.ours);
            const bool regex = ours.rfind("--regex ", 0) == 0;
            const double t = TimeProcess(probe + " --rows 2 " + (regex ? "--regex " : "") + path + " " +
                                         (regex ? ours.substr(8) : ours));
            const double r = TimeProcess("rg -b " + std::string(o.theirs) + " " + path);
            std::printf("%-34s %8.3f s  rg -b %6.3f s  ratio %.2f (goal <= 1.2) %s\n", o.what, t, r,
                        t > 0 && r > 0 ? t / r : 0.0, t > 0 && r > 0 && t / r <= 1.2 ? "ok" : "MISSED");
        }
    } else {
        std::printf("probe or rg missing: no output comparison\n");
    }
    EventLoopGap(fd, size);
    platform::CloseFile(fd);
    return 0;
}
