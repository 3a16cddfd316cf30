// Cost of opening and paging a file, against its size: loading a window
// (map + encoding + last screenful) and 1000 page-downs, on logs of about
// 100 MiB, 2 GiB and 5 GiB (sparse, with 64 MiB of real lines at its end),
// and the process's anonymous resident memory after each. The ratios of the
// largest file to the smallest show whether the cost depends on the size.
//
// usage: load_bench [DIR]   (files are made once in DIR, default /tmp/ostrel-bench)
#include "tools/headless/HeadlessWindow.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double Ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

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
    std::snprintf(buf, sizeof buf,
                  "2026-12-06 12:%02llu:%02llu.%03llu INFO  [worker-%02llu] request %llu served in %llu us from cache\n",
                  (unsigned long long)(i / 60000 % 60), (unsigned long long)(i / 1000 % 60),
                  (unsigned long long)(i % 1000), (unsigned long long)(i % 17), (unsigned long long)i,
                  (unsigned long long)(i * 7919 % 100000));
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
        wnd.m_bWatchFile = false;
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
        wnd.m_bWatchFile = false;
        if (!file.Open(path.c_str(), false) || !wnd.LoadFile(&file, EncodingAuto))
            return Figures{};
        // Start 1200 pages above the end, inside the real lines.
        port.m_trackPos = wnd.LastPageTop() - wnd.DataStart() - 1200LL * 48 * 100;
        wnd.OnVScroll(SB_THUMBTRACK);
        const auto t2 = Clock::now();
        for (int i = 0; i < 1000; ++i)
            wnd.OnKeyDown(VK_NEXT);
        const auto t3 = Clock::now();
        f.rssPage = RssAnonKiB();
        if (pass > 0)
            f.pageMs = std::min(f.pageMs, Ms(t3 - t2));
    }
    return f;
}

}  // namespace

int main(int argc, char** argv)
{
    const std::string dir = argc > 1 ? argv[1] : "/tmp/ostrel-bench";
    ::mkdir(dir.c_str(), 0755);
    struct Sample {
        const char* name;
        std::uint64_t size, real;
    } samples[] = {
        {"100MiB", 100ull << 20, 100ull << 20},
        {"2GiB", 2ull << 30, 2ull << 30},
        {"5GiB-sparse", 5ull << 30, 64ull << 20},
    };
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
    return 0;
}
