// The shown set of a large log, next to ripgrep on the same file in the same run.
//
//   shown_set_bench [MiB] [folder]      (default 1024 MiB under /tmp/ostrel-bench)
//
// Generates (once, then reuses; the same log as filter_bench) a log in which
// about 1 % of the lines hold "checksum mismatch", reads it so that it sits in
// the page cache, and times, best of 3, the whole shown set of a stack of three
// rules (include "checksum mismatch", include the regular expression
// "took 8[0-9][0-9]ms", exclude "worker-07") with 2 context lines, once with
// the log's format (records read line by line) and once without; then
// rg -c with the three patterns combined (LC_ALL=C, a whole process), and
// prints the ratios (goal: at most 1.3). It also prints the bytes the runs
// take per run.
//
//   shown_set_bench page [GiB] [folder]   (default 5 GiB)
//
// Paging a window that shows 0.1 % of a large log (a rule matching one line
// in a thousand): 1000 Page Downs, each with its paint, in a 50 x 120 window
// with the shown set complete, next to 1000 Page Downs in the same window
// unfiltered in the same run (goal: at most 1 ms a Page Down); the slowest
// single Page Down while the scan is still running (the longest the event
// loop waits for a key, the window scanning ahead itself where the scan has
// not reached); the scan's time and the memory its runs take.
#include "engine/ShownSet.h"
#include "file/Encoding.h"
#include "platform/File.h"
#include "tools/headless/HeadlessWindow.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
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

double TimeProcess(const std::string& command)
{
    double best = -1;
    for (int i = 0; i < 3; ++i) {
        const auto t0 = Clock::now();
        const int rc = std::system(("LC_ALL=C " + command + " >/dev/null 2>&1").c_str());
        const auto t1 = Clock::now();
        if (rc == -1 || !WIFEXITED(rc) || WEXITSTATUS(rc) > 1)
            return -1;
        best = best < 0 ? Seconds(t0, t1) : std::min(best, Seconds(t0, t1));
    }
    return best;
}

double TimeShownSet(platform::FileHandle fd, std::int64_t size, const shownset::FilterStack& stack,
                    const logformat::CFormat* format, shownset::ShownStatus* status)
{
    double best = -1;
    for (int i = 0; i < 3; ++i) {
        shownset::CShownSet set;
        const auto t0 = Clock::now();
        set.Start(std::make_unique<CPreadChunkReader>(fd), {EncodingAnsi}, stack, format, {2024, 5}, 0, size);
        set.WaitIdle();
        const auto t1 = Clock::now();
        *status = set.Status();
        best = best < 0 ? Seconds(t0, t1) : std::min(best, Seconds(t0, t1));
    }
    return best;
}

// A log of about `gib` GiB in which one line in a thousand holds "needle", made once.
std::string MakeSparseMatchLog(const std::string& folder, long gib)
{
    const std::string path = folder + "/page-" + std::to_string(gib) + "GiB.log";
    const long long want = static_cast<long long>(gib) << 30;
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0 && st.st_size >= want)
        return path;
    ::mkdir(folder.c_str(), 0755);
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f)
        return {};
    std::string block;
    unsigned long long line = 0;
    for (long long written = 0; written < want;) {
        block.clear();
        while (block.size() < (4u << 20)) {
            char buf[192];
            const int n = std::snprintf(
                buf, sizeof buf, "2026-12-06 %02llu:%02llu:%02llu.%03llu INFO  [worker-%02llu] request %llu %s\n",
                line / 3600000 % 24, line / 60000 % 60, line / 1000 % 60, line % 1000, line % 17, line,
                line % 1000 == 500 ? "needle found in the cache" : "served");
            block.append(buf, static_cast<std::size_t>(n));
            ++line;
        }
        if (std::fwrite(block.data(), 1, block.size(), f) != block.size()) {
            std::fclose(f);
            return {};
        }
        written += static_cast<long long>(block.size());
    }
    std::fclose(f);
    return path;
}

double PageDownsMs(headless::HeadlessPort& port, CFileWnd& wnd, int n, double* slowest = nullptr)
{
    const auto t0 = Clock::now();
    for (int i = 0; i < n; ++i) {
        const auto k0 = Clock::now();
        wnd.OnKeyDown(kVkNext);
        port.Paint(wnd);
        if (slowest)
            *slowest = std::max(*slowest, Seconds(k0, Clock::now()) * 1000);
    }
    return Seconds(t0, Clock::now()) * 1000;
}

int Paging(long gib, const std::string& folder)
{
    const std::string path = MakeSparseMatchLog(folder, gib);
    if (path.empty()) {
        std::fprintf(stderr, "cannot write the log under %s\n", folder.c_str());
        return 1;
    }
    ReadAll(path);
    shownset::FilterStack stack;
    stack.rules = {{true, shownset::RuleKind::Include, u"needle", false, true}};
    double plain = 1e9, filtered = 1e9, scanS = 0, slowest = 0;
    shownset::ShownStatus status;
    for (int pass = 0; pass < 4; ++pass) {
        CMemoryMappedFile file;
        headless::HeadlessPort port(50, 120);
        CFileWnd wnd(&port);
        wnd.SetWatchFile(false);
        if (!file.Open(path.c_str(), false) || !wnd.LoadFile(&file, EncodingAuto)) {
            std::fprintf(stderr, "cannot load %s\n", path.c_str());
            return 1;
        }
        wnd.OnKeyDown(kVkHome);
        port.Paint(wnd, true);
        plain = std::min(plain, PageDownsMs(port, wnd, 1000));
        wnd.OnKeyDown(kVkHome);
        const auto t0 = Clock::now();
        wnd.SetFilterStack(stack);
        wnd.SetShowOnlyFiltered(true);
        // While the scan runs: the window pages on, scanning ahead where the scan has not reached.
        double slow = 0;
        PageDownsMs(port, wnd, 200, &slow);
        wnd.WaitShownSet();
        const double scan = Seconds(t0, Clock::now());
        status = wnd.GetShownStatus();
        wnd.OnKeyDown(kVkHome);
        port.Paint(wnd, true);
        const double ms = PageDownsMs(port, wnd, 1000);
        if (pass > 0) {  // the first pass warms the caches
            filtered = std::min(filtered, ms);
            slowest = std::max(slowest, slow);
            scanS = scanS == 0 ? scan : std::min(scanS, scan);
        }
    }
    std::printf("%s: %ld GiB, %lld of %lld lines shown (%.2f %%), %lld runs\n", path.c_str(), gib,
                static_cast<long long>(status.shownLines), static_cast<long long>(status.totalLines),
                100.0 * static_cast<double>(status.shownLines) /
                    static_cast<double>(std::max<std::int64_t>(1, status.totalLines)),
                static_cast<long long>(status.runs));
    std::printf("1000 Page Downs with paint: unfiltered %.2f ms, filtered %.2f ms: %.3f ms a Page Down "
                "(goal <= 1), ratio %.2f\n",
                plain, filtered, filtered / 1000, filtered / plain);
    std::printf("slowest Page Down while the scan runs: %.2f ms; the scan took %.2f s\n", slowest, scanS);
    std::printf("memory of the shown set: %lld bytes of runs (16 bytes a run)\n",
                static_cast<long long>(status.runs) * 16);
    return 0;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc > 1 && std::strcmp(argv[1], "page") == 0)
        return Paging(argc > 2 ? std::atol(argv[2]) : 5, argc > 3 ? argv[3] : "/tmp/ostrel-bench");
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

    shownset::FilterStack stack;
    stack.rules = {
        {true, shownset::RuleKind::Include, u"checksum mismatch", false, true},
        {true, shownset::RuleKind::Include, u"took 8[0-9][0-9]ms", true, true},
        {true, shownset::RuleKind::Exclude, u"worker-07", false, true},
    };
    stack.context = 2;
    const logformat::CFormat* format = logformat::DetectFormat(
        "2024-05-01 12:00:00.000 ERROR [worker-01] a\n2024-05-01 12:00:01.000 INFO  [worker-02] b\n", {2024, 5},
        logformat::BuiltinFormats());

    const bool rg = std::system("command -v rg >/dev/null 2>&1") == 0;
    const double theirs =
        rg ? TimeProcess("rg -c -e 'checksum mismatch' -e 'took 8[0-9][0-9]ms' -e 'worker-07' " + path) : -1;
    for (const logformat::CFormat* f : {format, static_cast<const logformat::CFormat*>(nullptr)}) {
        shownset::ShownStatus s;
        const double ours = TimeShownSet(fd, size, stack, f, &s);
        std::printf("shown set, 3 rules, 2 context lines, %-14s %7.3f s  %lld of %lld lines shown, %lld runs "
                    "(16 bytes each)",
                    f ? ("format " + f->Name()).c_str() : "no format", ours, static_cast<long long>(s.shownLines),
                    static_cast<long long>(s.totalLines), static_cast<long long>(s.runs));
        if (theirs > 0)
            std::printf("  rg -c %6.3f s  ratio %.2f (goal <= 1.3)\n", theirs, ours / theirs);
        else
            std::printf("  rg: n/a (no ratio)\n");
    }
    platform::CloseFile(fd);
    return 0;
}
