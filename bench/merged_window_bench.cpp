// What a merged window costs on real files: 8 logs of N MiB each (their times
// interleaved) against one log of the same total size, in the same run, cached.
//
//   merged_window_bench DIR [MiB]   (default 1024, each of the 8 logs)
//
// The logs are written under DIR (kept there and used again when their sizes
// fit; delete them after). Printed, each with its ratio to the single file:
//   (a) the last screenful, whole process: ostrel-probe --no-watch --merge ...
//       key:end print as a child process, against the probe on the single file
//       (goals: under 0.3 s, under 1.5 times the single file's);
//   (b) Page Down in the merged window, painted (goal: under 2 ms);
//   (c) Go to Time, painted (goal: under 50 ms), and the bytes that placing
//       the rows and reading a screenful read, through counting chunk readers
//       (goal: under 2 MiB).
// The probe is looked for beside this program (build/bin), or given as
// $OSTREL_PROBE.
#include "engine/MergedRows.h"
#include "file/MemoryMappedFile.h"
#include "textwnd/MergedWnd.h"
#include "tools/headless/HeadlessWindow.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <memory>
#include <random>
#include <string>
#include <vector>

extern char** environ;

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point since)
{
    return std::chrono::duration<double>(Clock::now() - since).count();
}

constexpr int kFiles = 8;
constexpr std::int64_t kLine = 64;
constexpr std::int64_t kBase = 1796601600LL * 1000000;  // 2026-12-07 00:00 UTC
constexpr int kRows = 50;

// Line i of a log that holds every `stride`-th millisecond from `phase` on: fixed-width lines, written a
// block at a time (the date part made once a second).
bool WriteLog(const std::string& path, std::int64_t bytes, int stride, int phase)
{
    std::FILE* out = std::fopen(path.c_str(), "wb");
    if (!out)
        return false;
    std::vector<char> block(std::size_t{1} << 20);
    std::int64_t cachedSecond = -1;
    char date[80] = {};
    std::size_t used = 0;
    const std::int64_t lines = bytes / kLine;
    for (std::int64_t i = 0; i < lines; ++i) {
        const std::int64_t micros = kBase + (i * stride + phase) * 1000;
        const std::int64_t second = micros / 1000000;
        if (second != cachedSecond) {
            cachedSecond = second;
            const std::time_t t = static_cast<std::time_t>(second);
            std::tm tm{};
            gmtime_r(&t, &tm);
            std::snprintf(date, sizeof date, "%04d-%02d-%02dT%02d:%02d:%02d", tm.tm_year + 1900, tm.tm_mon + 1,
                          tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec);
        }
        char* l = block.data() + used;
        std::memcpy(l, date, 19);
        l[19] = '.';
        std::int64_t frac = micros % 1000000;
        for (int d = 25; d >= 20; --d, frac /= 10)
            l[d] = static_cast<char>('0' + frac % 10);
        std::memcpy(l + 26, "Z INFO line ", 12);
        std::int64_t n = i;
        for (int d = 49; d >= 38; --d, n /= 10)
            l[d] = static_cast<char>('0' + n % 10);
        std::memset(l + 50, '.', kLine - 51);
        l[50] = ' ';
        l[kLine - 1] = '\n';
        used += kLine;
        if (used + kLine > block.size() || i + 1 == lines) {
            if (std::fwrite(block.data(), 1, used, out) != used) {
                std::fclose(out);
                return false;
            }
            used = 0;
        }
    }
    return std::fclose(out) == 0;
}

bool EnsureLog(const std::string& path, std::int64_t bytes, int stride, int phase)
{
    std::error_code ec;
    if (fs::exists(path, ec) && static_cast<std::int64_t>(fs::file_size(path, ec)) == bytes)
        return true;
    std::printf("writing %s (%lld MiB)\n", path.c_str(), static_cast<long long>(bytes >> 20));
    std::fflush(stdout);
    return WriteLog(path, bytes, stride, phase);
}

// Reads every byte once, so that the measures below are of cached files.
void Warm(const std::string& path)
{
    std::FILE* in = std::fopen(path.c_str(), "rb");
    if (!in)
        return;
    std::vector<char> b(std::size_t{4} << 20);
    while (std::fread(b.data(), 1, b.size(), in) == b.size()) {
    }
    std::fclose(in);
}

// One run of the probe, its output to a file under DIR; seconds, or -1 when it failed.
double RunProbe(const std::string& probe, const std::vector<std::string>& args, const std::string& outPath,
                int& srcRows)
{
    std::vector<char*> argv;
    std::vector<std::string> all = {probe};
    all.insert(all.end(), args.begin(), args.end());
    for (std::string& a : all)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const auto t0 = Clock::now();
    pid_t pid = 0;
    const int rc = posix_spawn(&pid, probe.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0)
        return -1;
    int status = 0;
    waitpid(pid, &status, 0);
    const double s = Seconds(t0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        return -1;
    srcRows = 0;
    if (std::FILE* in = std::fopen(outPath.c_str(), "r")) {
        char line[512];
        while (std::fgets(line, sizeof line, in))
            srcRows += std::strstr(line, "  src=") != nullptr;
        std::fclose(in);
    }
    return s;
}

double BestProbe(const std::string& probe, const std::vector<std::string>& args, const std::string& outPath,
                 int& srcRows)
{
    double best = 1e9;
    RunProbe(probe, args, outPath, srcRows);  // the program itself cached
    for (int k = 0; k < 5; ++k) {
        const double s = RunProbe(probe, args, outPath, srcRows);
        if (s < 0)
            return -1;
        best = std::min(best, s);
    }
    return best;
}

// A window as the viewer has it: the owner's file loaded, then merged (or not, for one file).
struct Window {
    headless::HeadlessPort port{kRows, 120};
    std::unique_ptr<CMemoryMappedFile> file = std::make_unique<CMemoryMappedFile>();
    CFileWnd wnd{&port};
    bool ok = false;

    explicit Window(const std::vector<std::string>& paths)
    {
        wnd.SetWatchFile(false);
        wnd.SetCountLines(false);
        if (!file->Open(paths.back().c_str(), false) || !wnd.LoadFile(file.get(), EncodingAuto))
            return;
        if (paths.size() > 1) {
            auto merged = std::make_unique<CMergedWnd>(wnd);
            std::vector<CMergedWnd::Failure> failures;
            if (!merged->Open(paths, false, false, failures))
                return;
            wnd.SetMerged(std::move(merged));
        }
        port.Paint(wnd, true);
        ok = true;
    }
};

struct Figures {
    double pageDown = 0, goToTime = 0;
};

Figures MeasureWindow(Window& w, std::int64_t firstMicros, std::int64_t spanMicros)
{
    Figures f;
    std::mt19937 rng(7);
    // Page Down from the middle, each painted as the viewer paints it.
    w.wnd.GoToMicros(firstMicros + spanMicros / 2);
    w.port.Paint(w.wnd, true);
    constexpr int kPages = 400;
    auto t0 = Clock::now();
    for (int i = 0; i < kPages; ++i) {
        w.wnd.OnVScroll(kSbPageDown);
        w.port.Paint(w.wnd, true);
    }
    f.pageDown = Seconds(t0) / kPages;
    constexpr int kJumps = 100;
    t0 = Clock::now();
    for (int i = 0; i < kJumps; ++i) {
        w.wnd.GoToMicros(firstMicros + static_cast<std::int64_t>(rng() % static_cast<std::uint64_t>(spanMicros)));
        w.port.Paint(w.wnd, true);
    }
    f.goToTime = Seconds(t0) / kJumps;
    return f;
}

class CountingReader : public IChunkReader {
public:
    explicit CountingReader(platform::FileHandle h) : m_inner(h) {}
    std::uint64_t Read(std::uint8_t* buffer, std::uint64_t n, std::int64_t offset) override
    {
        const std::uint64_t got = m_inner.Read(buffer, n, offset);
        bytes += got;
        return got;
    }
    std::uint64_t bytes = 0;

private:
    CPreadChunkReader m_inner;
};

const logformat::CFormat* Iso()
{
    for (const logformat::CFormat* f : logformat::BuiltinFormats())
        if (f->Name() == "ISO 8601")
            return f;
    return nullptr;
}

// The most bytes one Go to Time (the rows placed and a screenful read) reads, through counting readers.
std::uint64_t MostBytesPerJump(const std::vector<std::string>& paths, std::int64_t firstMicros, std::int64_t spanMicros)
{
    std::vector<std::unique_ptr<CMemoryMappedFile>> files;
    std::vector<std::unique_ptr<CountingReader>> readers;
    std::vector<merged::Source> sources;
    for (const std::string& p : paths) {
        files.push_back(std::make_unique<CMemoryMappedFile>());
        if (!files.back()->Open(p.c_str(), false))
            return 0;
        readers.push_back(std::make_unique<CountingReader>(files.back()->Handle()));
        merged::Source s;
        s.reader = readers.back().get();
        s.format = Iso();
        s.dataEnd = static_cast<std::int64_t>(fs::file_size(p));
        sources.push_back(s);
    }
    std::uint64_t most = 0;
    std::mt19937 rng(11);
    for (int i = 0; i < 50; ++i) {
        merged::CMergedRows rows(sources);  // nothing cached from the jump before
        for (auto& r : readers)
            r->bytes = 0;
        const merged::Top top =
            rows.AtTime(firstMicros + static_cast<std::int64_t>(rng() % static_cast<std::uint64_t>(spanMicros)));
        rows.Rows(top, kRows + 2);
        std::uint64_t sum = 0;
        for (auto& r : readers)
            sum += r->bytes;
        most = std::max(most, sum);
    }
    return most;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: merged_window_bench DIR [MiB]\n");
        return 2;
    }
    const std::string dir = argv[1];
    const std::int64_t mib = argc > 2 ? std::atoll(argv[2]) : 1024;
    const std::int64_t each = mib * 1024 * 1024 / kLine * kLine;
    std::error_code ec;
    fs::create_directories(dir, ec);
    std::vector<std::string> eight;
    for (int f = 0; f < kFiles; ++f) {
        eight.push_back(dir + "/merged-" + std::to_string(f) + ".log");
        if (!EnsureLog(eight.back(), each, kFiles, f))
            return 1;
    }
    const std::string single = dir + "/single.log";
    if (!EnsureLog(single, each * kFiles, 1, 0))
        return 1;
    for (const std::string& p : eight)
        Warm(p);
    Warm(single);

    const char* envProbe = std::getenv("OSTREL_PROBE");
    const std::string probe =
        envProbe ? envProbe : (fs::absolute(fs::path(argv[0])).parent_path() / "ostrel-probe").string();
    std::vector<std::string> mergedArgs = {"--no-watch", "--rows", std::to_string(kRows)};
    for (int f = 0; f + 1 < kFiles; ++f) {
        mergedArgs.push_back("--merge");
        mergedArgs.push_back(eight[static_cast<std::size_t>(f)]);
    }
    mergedArgs.push_back(eight.back());
    mergedArgs.push_back("key:end");
    mergedArgs.push_back("print");
    const std::vector<std::string> singleArgs = {"--no-watch", "--rows",  std::to_string(kRows),
                                                 single,       "key:end", "print"};
    int srcRows = 0, plainRows = 0;
    const double probeSingle = BestProbe(probe, singleArgs, dir + "/probe-single.txt", plainRows);
    const double probeMerged = BestProbe(probe, mergedArgs, dir + "/probe-merged.txt", srcRows);

    const std::int64_t span = each * kFiles / kLine * 1000;  // the logs' span of time, in microseconds
    Window one({single});
    Window merged(eight);
    if (!one.ok || !merged.ok) {
        std::fprintf(stderr, "the windows could not open the logs\n");
        return 1;
    }
    const Figures fs1 = MeasureWindow(one, kBase, span);
    const Figures fs8 = MeasureWindow(merged, kBase, span);
    const std::uint64_t bytes8 = MostBytesPerJump(eight, kBase, span);
    const std::uint64_t bytes1 = MostBytesPerJump({single}, kBase, span);

    std::printf("%d logs of %lld MiB against 1 of %lld MiB, cached\n", kFiles, static_cast<long long>(mib),
                static_cast<long long>(mib * kFiles));
    if (probeSingle < 0 || probeMerged < 0 || srcRows < kRows)
        std::printf("(a) the probe failed (%s), or printed %d rows with src=\n", probe.c_str(), srcRows);
    else
        std::printf("(a) last screenful, whole process: single %.3f s, merged %.3f s, ratio %.2f (goals < 0.3 s, "
                    "< 1.5)\n",
                    probeSingle, probeMerged, probeMerged / probeSingle);
    std::printf("(b) Page Down, painted: single %.3f ms, merged %.3f ms, ratio %.2f (goal < 2 ms)\n",
                fs1.pageDown * 1e3, fs8.pageDown * 1e3, fs8.pageDown / fs1.pageDown);
    std::printf("(c) Go to Time, painted: single %.3f ms, merged %.3f ms, ratio %.2f (goal < 50 ms)\n",
                fs1.goToTime * 1e3, fs8.goToTime * 1e3, fs8.goToTime / fs1.goToTime);
    std::printf("    bytes read by one (most of 50): single %.1f KiB, merged %.1f KiB, ratio %.2f (goal < 2 MiB)\n",
                static_cast<double>(bytes1) / 1024, static_cast<double>(bytes8) / 1024,
                static_cast<double>(bytes8) / static_cast<double>(std::max<std::uint64_t>(bytes1, 1)));
    return 0;
}
