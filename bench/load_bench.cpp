// Cost of opening and paging a file, against its size: loading a window
// (map + encoding + last screenful) and 1000 page-downs, on logs of about
// 100 MiB, 2 GiB and 5 GiB (sparse, with 64 MiB of real lines at its end),
// and the process's anonymous resident memory after each. The ratios of the
// largest file to the smallest show whether the cost depends on the size.
//
// Then the first load of logs that end in a long run of zeros, and how much
// of the file it leaves mapped in: "a\nb\n" and a 2 GiB hole (as `truncate
// -s 2G` leaves it; goal: under 50 ms, the resident set unchanged), and
// "a\nb\n" and 1 GiB of written zeros (read at memory speed, not kept).
//
// Then the line index and Go to Time: counting the lines of the 2 GiB log
// against `wc -l` on the same cached file (goal: at least as fast), the
// index's size per GiB, and Go to Time on a 5 GiB log of real lines (goal:
// under 20 ms and under 200 KiB read).
//
// Then a file that is one long line (1 GiB, or MiB as given; made in a
// temporary folder under DIR and removed after): the load with its first
// paint (goal <= 0.5 s at 1 GiB), each key with its paint (Home, Page Down,
// Down, Right, End, Page Up, Up; goal <= 100 ms), and ten reloads after an
// append of 1 KiB to the line, the window following its end (goal: the cost
// of what was appended, not of the line: printed beside the load).
//
// usage: load_bench [DIR] [long [MiB]]   (files are made once in DIR, default
//        /tmp/ostrel-bench; "long" runs only the long-line figures)
#include "engine/LineIndex.h"
#include "engine/TimeSeek.h"
#include "tools/headless/HeadlessWindow.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double Ms(Clock::duration d)
{
    return std::chrono::duration<double, std::milli>(d).count();
}

long RssAnonKiB()
{
    std::ifstream in("/proc/self/status");
    std::string line;
    while (std::getline(in, line))
        if (line.rfind("RssAnon:", 0) == 0)
            return std::stol(line.substr(8));
    return -1;
}

// A log line of about 100 bytes.
std::string LogLine(std::uint64_t i)
{
    char buf[160];
    std::snprintf(
        buf, sizeof buf,
        "2026-12-06 12:%02llu:%02llu.%03llu INFO  [worker-%02llu] request %llu served in %llu us from cache\n",
        (unsigned long long)(i / 60000 % 60), (unsigned long long)(i / 1000 % 60), (unsigned long long)(i % 1000),
        (unsigned long long)(i % 17), (unsigned long long)i, (unsigned long long)(i * 7919 % 100000));
    return buf;
}

// Writes `real` bytes of lines at the end of a file of `size` bytes (the rest a hole).
bool MakeFile(const std::string& path, std::uint64_t size, std::uint64_t real)
{
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0 && static_cast<std::uint64_t>(st.st_size) == size)
        return true;
    const int fd = ::open(path.c_str(), O_CREAT | O_TRUNC | O_WRONLY, 0644);
    if (fd < 0)
        return false;
    if (::ftruncate(fd, static_cast<off_t>(size)) != 0)
        return false;
    std::string chunk;
    std::uint64_t off = size - real, i = 0;
    if (off > 0 && ::pwrite(fd, "\n", 1, static_cast<off_t>(off - 1)) != 1)
        return false;
    while (off < size) {
        chunk.clear();
        while (chunk.size() < (1 << 20))
            chunk += LogLine(i++);
        const std::uint64_t n = std::min<std::uint64_t>(chunk.size(), size - off);
        if (::pwrite(fd, chunk.data(), n, static_cast<off_t>(off)) != static_cast<ssize_t>(n))
            return false;
        off += n;
    }
    return ::close(fd) == 0;
}

struct Figures {
    double loadMs, pageMs;
    long rssLoad, rssPage;
};

Figures Measure(const std::string& path)
{
    Figures f{1e9, 1e9, 0, 0};
    // Loads and page-downs are timed in separate rounds (the paging of one
    // round would otherwise disturb the caches the next load meets); the
    // first of each warms up, the best of the rest is kept, as the machine
    // is shared and noisy.
    for (int pass = 0; pass < 31; ++pass) {
        CMemoryMappedFile file;
        headless::HeadlessPort port(50, 120);
        CFileWnd wnd(&port);
        wnd.SetWatchFile(false);
        const auto t0 = Clock::now();
        if (!file.Open(path.c_str(), false) || !wnd.LoadFile(&file, EncodingAuto)) {
            std::fprintf(stderr, "cannot load %s\n", path.c_str());
            return Figures{};
        }
        const auto t1 = Clock::now();
        f.rssLoad = RssAnonKiB();
        if (pass > 0)
            f.loadMs = std::min(f.loadMs, Ms(t1 - t0));
    }
    for (int pass = 0; pass < 8; ++pass) {
        CMemoryMappedFile file;
        headless::HeadlessPort port(50, 120);
        CFileWnd wnd(&port);
        wnd.SetWatchFile(false);
        if (!file.Open(path.c_str(), false) || !wnd.LoadFile(&file, EncodingAuto))
            return Figures{};
        // Start 1200 pages above the end, inside the real lines.
        port.m_trackPos = wnd.LastPageTop() - wnd.DataStart() - 1200LL * 48 * 100;
        wnd.OnVScroll(kSbThumbTrack);
        const auto t2 = Clock::now();
        for (int i = 0; i < 1000; ++i)
            wnd.OnKeyDown(kVkNext);
        const auto t3 = Clock::now();
        f.rssPage = RssAnonKiB();
        if (pass > 0)
            f.pageMs = std::min(f.pageMs, Ms(t3 - t2));
    }
    return f;
}

// KiB of [p, p + n) mapped into this process (present in its page table).
long MappedKiB(const std::uint8_t* p, std::uint64_t n)
{
    const int fd = ::open("/proc/self/pagemap", O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return -1;
    const auto page = static_cast<std::uint64_t>(::sysconf(_SC_PAGESIZE));
    std::vector<std::uint64_t> entries(1 << 16);
    long present = 0;
    for (std::uint64_t first = reinterpret_cast<std::uintptr_t>(p) / page, left = (n + page - 1) / page; left > 0;) {
        const std::uint64_t k = std::min<std::uint64_t>(left, entries.size());
        const auto bytes = static_cast<ssize_t>(k * sizeof(std::uint64_t));
        if (::pread(fd, entries.data(), static_cast<size_t>(bytes), static_cast<off_t>(first * 8)) != bytes)
            break;
        for (std::uint64_t i = 0; i < k; ++i)
            present += static_cast<long>(entries[i] >> 63);
        first += k;
        left -= k;
    }
    ::close(fd);
    return present * static_cast<long>(page / 1024);
}

// "a\nb\n" followed by `zeros` zero bytes, a hole or written; made anew each
// run, so that the load below is the first the system sees.
bool MakeZeroTail(const std::string& path, std::uint64_t zeros, bool hole)
{
    const int fd = ::open(path.c_str(), O_CREAT | O_TRUNC | O_WRONLY, 0644);
    if (fd < 0 || ::write(fd, "a\nb\n", 4) != 4)
        return false;
    if (hole) {
        if (::ftruncate(fd, static_cast<off_t>(4 + zeros)) != 0)
            return false;
    } else {
        const std::vector<char> block(1 << 20, 0);
        for (std::uint64_t done = 0; done < zeros; done += block.size())
            if (::write(fd, block.data(), block.size()) != static_cast<ssize_t>(block.size()))
                return false;
    }
    return ::close(fd) == 0;
}

// One load of the file: its time and how much of the file it left mapped in.
void FirstLoad(const char* name, const std::string& path, double goalMs)
{
    CMemoryMappedFile file;
    headless::HeadlessPort port(50, 120);
    CFileWnd wnd(&port);
    wnd.SetWatchFile(false);
    const auto t0 = Clock::now();
    const bool ok = file.Open(path.c_str(), false) && wnd.LoadFile(&file, EncodingAuto);
    const double ms = Ms(Clock::now() - t0);
    if (!ok) {
        std::fprintf(stderr, "cannot load %s\n", path.c_str());
        return;
    }
    const long mapped = MappedKiB(file.View(), file.Size());
    if (goalMs > 0)
        std::printf("%-20s first load %9.3f ms (goal < %.0f ms), %ld KiB of the file resident (goal: its text)\n", name,
                    ms, goalMs, mapped);
    else
        std::printf("%-20s first load %9.3f ms (%.1f GB/s), %ld KiB of the file resident (of %llu KiB)\n", name, ms,
                    static_cast<double>(file.Size()) / ms / 1e6, mapped,
                    static_cast<unsigned long long>(file.Size() >> 10));
}

}  // namespace

// Seconds of the best of three runs of f.
template <typename F>
double BestOf3(F f)
{
    double best = 1e9;
    for (int k = 0; k < 3; ++k) {
        const auto t0 = Clock::now();
        f();
        best = std::min(best, Ms(Clock::now() - t0) / 1000);
    }
    return best;
}

// Counts pread's bytes for Go to Time's figure.
class CountingReader : public IChunkReader {
public:
    explicit CountingReader(int fd) : m_fd(fd) {}
    std::uint64_t Read(std::uint8_t* buffer, std::uint64_t n, std::int64_t offset) override
    {
        const std::uint64_t got = platform::ReadAt(m_fd, buffer, n, offset);
        m_bytes += got;
        return got;
    }
    std::uint64_t m_bytes = 0;

private:
    int m_fd;
};

void LineIndexFigures(const std::string& countPath, const std::string& timePath)
{
    const int fd = ::open(countPath.c_str(), O_RDONLY);
    struct stat st {};
    ::fstat(fd, &st);
    const double gib = static_cast<double>(st.st_size) / (1 << 30);
    std::int64_t lines = 0;
    const double ours = BestOf3([&] {
        CLineIndex index(std::make_unique<CPreadChunkReader>(fd), 0, BreakUnits{});
        index.SetEnd(st.st_size, true);
        index.WaitForWorker();
        lines = index.LineCount();
    });
    const std::string wc = "wc -l < '" + countPath + "' > /dev/null";
    const double theirs = BestOf3([&] { (void)std::system(wc.c_str()); });
    std::printf(
        "line count of %.1f GiB: %lld lines in %.3f s (%.2f GiB/s); wc -l %.3f s; ratio wc/ours %.2f (goal >= 1)\n",
        gib, static_cast<long long>(lines), ours, gib / ours, theirs, theirs / ours);
    ::close(fd);

    const int tfd = ::open(timePath.c_str(), O_RDONLY);
    ::fstat(tfd, &st);
    const double tgib = static_cast<double>(st.st_size) / (1 << 30);
    CLineIndex index(std::make_unique<CPreadChunkReader>(tfd), 0, BreakUnits{});
    index.SetEnd(st.st_size, true);
    index.WaitForWorker();
    std::printf("index of %.1f GiB: %zu bytes, %.0f KiB per GiB (goal <= 1024)\n", tgib, index.IndexBytes(),
                static_cast<double>(index.IndexBytes()) / 1024 / tgib);
    std::vector<double> costs;
    std::uint64_t maxRead = 0;
    const std::int64_t lineCount = static_cast<std::int64_t>(st.st_size / 100);
    for (int k = 1; k <= 21; ++k) {
        // Times spread over the log: its line i is stamped i/1000 seconds after 12:00.
        const std::int64_t i = lineCount * k / 22;
        char text[64];
        std::snprintf(text, sizeof text, "2026-12-06 12:%02lld:%02lld.%03lld", static_cast<long long>(i / 60000 % 60),
                      static_cast<long long>(i / 1000 % 60), static_cast<long long>(i % 1000));
        std::int64_t micros = 0;
        timeseek::ParseUserTime(text, micros);
        CountingReader reader(tfd);
        const auto t0 = Clock::now();
        CTimeSeeker seeker(reader, 0, st.st_size, BreakUnits{}, {2026, 12});
        seeker.Detect();
        seeker.Seek(micros);
        costs.push_back(Ms(Clock::now() - t0));
        maxRead = std::max(maxRead, reader.m_bytes);
    }
    std::sort(costs.begin(), costs.end());
    std::printf(
        "Go to Time on %.1f GiB: median %.3f ms, worst %.3f ms (goal < 20 ms), at most %llu KiB read (goal < 200)\n",
        tgib, costs[costs.size() / 2], costs.back(), static_cast<unsigned long long>(maxRead / 1024));
    ::close(tfd);
}

// Writes one line of `bytes` bytes (log text, no break) to a new file.
bool MakeLongLine(const std::string& path, std::uint64_t bytes)
{
    const int fd = ::open(path.c_str(), O_CREAT | O_TRUNC | O_WRONLY, 0644);
    if (fd < 0)
        return false;
    std::string chunk;
    for (std::uint64_t i = 0; chunk.size() < (1 << 20); ++i) {
        std::string l = LogLine(i);
        l.back() = ' ';
        chunk += l;
    }
    for (std::uint64_t off = 0; off < bytes;) {
        const std::uint64_t n = std::min<std::uint64_t>(chunk.size(), bytes - off);
        if (::pwrite(fd, chunk.data(), n, static_cast<off_t>(off)) != static_cast<ssize_t>(n))
            return false;
        off += n;
    }
    return ::close(fd) == 0;
}

void LongLine(const std::string& dir, std::uint64_t mib)
{
    char tmpl[512];
    std::snprintf(tmpl, sizeof tmpl, "%s/long-line-XXXXXX", dir.c_str());
    if (!::mkdtemp(tmpl)) {
        std::fprintf(stderr, "cannot make a folder under %s\n", dir.c_str());
        return;
    }
    const std::string path = std::string(tmpl) + "/one-line.log";
    if (!MakeLongLine(path, mib << 20)) {
        std::fprintf(stderr, "cannot write %s\n", path.c_str());
        return;
    }
    std::printf("\none line of %llu MiB (load: best of 3)\n", static_cast<unsigned long long>(mib));
    double load = 1e9;
    for (int pass = 0; pass < 3; ++pass) {
        CMemoryMappedFile file;
        headless::HeadlessPort port(50, 120);
        CFileWnd wnd(&port);
        wnd.SetWatchFile(false);
        const auto t0 = Clock::now();
        if (!file.Open(path.c_str(), false) || !wnd.LoadFile(&file, EncodingAuto))
            return;
        port.Paint(wnd, true);
        load = std::min(load, Ms(Clock::now() - t0));
    }
    std::printf("  load and first paint       %10.2f ms   (goal <= 500 ms per GiB)\n", load);

    CMemoryMappedFile file;
    headless::HeadlessPort port(50, 120);
    CFileWnd wnd(&port);
    wnd.SetWatchFile(false);
    if (!file.Open(path.c_str(), false) || !wnd.LoadFile(&file, EncodingAuto))
        return;
    port.Paint(wnd, true);
    const struct {
        const char* name;
        unsigned key;
    } keys[] = {{"Home", kVkHome}, {"Page Down", kVkNext}, {"Down", kVkDown}, {"Right", kVkRight},
                {"End", kVkEnd},   {"Page Up", kVkPrior},  {"Up", kVkUp}};
    // Each key is pressed three times; the first press, which meets what the
    // keys before it left, counts, the best of the three is shown beside it.
    double worstKey = 0;
    for (const auto& k : keys) {
        double first = 0, best = 1e9;
        for (int pass = 0; pass < 3; ++pass) {
            const auto t0 = Clock::now();
            wnd.OnKeyDown(k.key);
            port.Paint(wnd);
            const double ms = Ms(Clock::now() - t0);
            first = pass == 0 ? ms : first;
            best = std::min(best, ms);
        }
        worstKey = std::max(worstKey, first);
        std::printf("  key %-22s %10.2f ms   (best %.2f ms)\n", k.name, first, best);
    }
    std::printf("  worst key                  %10.2f ms   (goal <= 100 ms)\n", worstKey);

    // Following: at the end, 1 KiB appended to the line, then the reload the watcher would ask for.
    wnd.OnKeyDown(kVkEnd);
    port.Paint(wnd);
    const int fd = ::open(path.c_str(), O_WRONLY | O_APPEND);
    const std::string more = LogLine(7).substr(0, 99) + ' ';
    double worstReload = 0, sumReload = 0;
    for (int i = 0; i < 10; ++i) {
        std::string kib;
        while (kib.size() < 1024)
            kib += more;
        if (::write(fd, kib.data(), 1024) != 1024)
            break;
        const auto t0 = Clock::now();
        wnd.OnFileChanged(1, 0);
        port.Paint(wnd);
        const double ms = Ms(Clock::now() - t0);
        worstReload = std::max(worstReload, ms);
        sumReload += ms;
    }
    ::close(fd);
    std::printf("  reload after 1 KiB appended: mean %.3f ms, worst %.3f ms (the load: %.2f ms)\n", sumReload / 10,
                worstReload, load);
    ::unlink(path.c_str());
    ::rmdir(tmpl);
}

int main(int argc, char** argv)
{
    const std::string dir = argc > 1 ? argv[1] : "/tmp/ostrel-bench";
    ::mkdir(dir.c_str(), 0755);
    if (argc > 2 && std::strcmp(argv[2], "long") == 0) {
        LongLine(dir, argc > 3 ? std::strtoull(argv[3], nullptr, 10) : 1024);
        return 0;
    }
    struct Sample {
        const char* name;
        std::uint64_t size, real;
    } samples[] = {
        {"100MiB", 100ull << 20, 100ull << 20},
        {"2GiB", 2ull << 30, 2ull << 30},
        {"5GiB-sparse", 5ull << 30, 64ull << 20},
    };
    const std::string hole = dir + "/zero-tail-hole.log";
    const std::string written = dir + "/zero-tail-written.log";
    if (!MakeZeroTail(hole, (2ull << 30) - 4, true) || !MakeZeroTail(written, 1ull << 30, false)) {
        std::fprintf(stderr, "cannot make the zero-tail files in %s\n", dir.c_str());
        return 1;
    }
    FirstLoad("2GiB trailing hole", hole, 50);
    FirstLoad("1GiB written zeros", written, 0);
    ::unlink(hole.c_str());
    ::unlink(written.c_str());

    std::vector<Figures> all;
    std::printf("%-12s %12s %16s %14s %14s\n", "file", "load ms", "1000 pgdn ms", "RssAnon load", "RssAnon page");
    for (const Sample& s : samples) {
        const std::string path = dir + "/load-" + s.name + ".log";
        if (!MakeFile(path, s.size, s.real)) {
            std::fprintf(stderr, "cannot make %s\n", path.c_str());
            return 1;
        }
        const Figures f = Measure(path);
        all.push_back(f);
        std::printf("%-12s %12.3f %16.2f %11ld KiB %11ld KiB\n", s.name, f.loadMs, f.pageMs, f.rssLoad, f.rssPage);
    }
    std::printf("ratio largest/smallest: load %.2f, 1000 page-downs %.2f\n", all.back().loadMs / all.front().loadMs,
                all.back().pageMs / all.front().pageMs);

    // The 5 GiB log of the paging figures is mostly a hole: Go to Time gets one of real lines.
    const std::string timed = dir + "/goto-5GiB.log";
    if (!MakeFile(timed, 5ull << 30, 5ull << 30)) {
        std::fprintf(stderr, "cannot make %s\n", timed.c_str());
        return 1;
    }
    LineIndexFigures(dir + "/load-2GiB.log", timed);
    LongLine(dir, 1024);
    return 0;
}
