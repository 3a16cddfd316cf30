// What knowing a log's records costs: detection of the format of a file
// (both 64 KiB ends sampled, every format tried), and reading every line's
// time and level as a background pass over a file would.
//
//   records_bench [MiB]      (default 16: the size of each family's log, in memory)
//   records_bench pass [MiB] [DIR]   (default 400 MiB files in /tmp/ostrel-bench)
//
// "pass": the background pass over a cached file on disk, an ISO 8601 log
// with stack traces and a JSON-lines log: the line count alone (the line
// index's worker), then the line count with the block summaries beside it,
// then the summaries alone, each the best of three in the same run. Goals:
// the summaries at least 1 GiB/s, and the line count with them within 1.5
// times the line count alone.
//
// Baseline, in the same run: finding the same lines' ends with memchr (the
// least any reading of lines costs). The goals: detection under 5 ms a file;
// the figures per line show how far reading times and levels stands from
// counting lines.
#include "engine/LineIndex.h"
#include "engine/LogFormat.h"
#include "engine/RecordSummaries.h"
#include "platform/File.h"
#include "tests/core/TestUtil.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point since)
{
    return std::chrono::duration<double>(Clock::now() - since).count();
}

struct Family {
    const char* name;
    std::string (*line)(int i);
};

std::string Two(int v)
{
    char b[4];
    std::snprintf(b, sizeof b, "%02d", v % 100);
    return b;
}

const Family kFamilies[] = {
    {"ISO 8601",
     [](int i) {
         return "2026-12-07 10:" + Two(i / 60000) + ":" + Two(i / 1000 % 60) + "," + std::to_string(100 + i % 900) +
                (i % 7 ? " INFO  [main] com.example.Service - handled request " : " ERROR [main] com.example.X - ") +
                std::to_string(i);
     }},
    {"logcat threadtime",
     [](int i) {
         return "03-17 16:" + Two(i / 60000) + ":" + Two(i / 1000 % 60) + "." + std::to_string(100 + i % 900) +
                "  1702  2395 D WindowManager: relayout window " + std::to_string(i);
     }},
    {"syslog (RFC 3164)",
     [](int i) {
         return "Jun 14 15:" + Two(i / 60000) + ":" + Two(i / 1000 % 60) + " combo sshd(pam_unix)[19939]: session " +
                std::to_string(i);
     }},
    {"JSON lines",
     [](int i) {
         return R"({"time":"2026-12-07T10:00:)" + Two(i / 1000 % 60) + R"(.123Z","level":"info","msg":"request )" +
                std::to_string(i) + "\"}";
     }},
};

// Writes `mib` MiB of the family's lines to `path` once (kept for the next run).
bool MakeLog(const std::string& path, const Family& family, std::size_t mib)
{
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0 && static_cast<std::size_t>(st.st_size) >= mib << 20)
        return true;
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f)
        return false;
    std::string block;
    std::size_t written = 0;
    for (int i = 0; written < mib << 20; ++i) {
        block += family.line(i) + (i % 13 == 5 ? "\n\tat com.example.Frame(Frame.java:1)\n" : "\n");
        if (block.size() > (1 << 20)) {
            written += std::fwrite(block.data(), 1, block.size(), f);
            block.clear();
        }
    }
    std::fwrite(block.data(), 1, block.size(), f);
    return std::fclose(f) == 0;
}

double BestOf3(const std::function<void()>& run)
{
    double best = 1e300;
    for (int k = 0; k < 3; ++k) {
        const auto t = Clock::now();
        run();
        best = std::min(best, Seconds(t));
    }
    return best;
}

int Pass(std::size_t mib, const std::string& dir)
{
    ::mkdir(dir.c_str(), 0755);
    const timeseek::StampContext ctx{2026, 12};
    bool ok = true;
    std::printf("%-12s %9s %14s %16s %14s %8s\n", "family", "MiB", "lines MB/s", "lines+sums MB/s", "sums MB/s",
                "ratio");
    for (const Family& family : {kFamilies[0], kFamilies[3]}) {
        const std::string path =
            dir + "/records-" + std::to_string(mib) + (family.name[0] == 'J' ? "-json.log" : "-iso.log");
        if (!MakeLog(path, family, mib)) {
            std::fprintf(stderr, "records_bench: cannot write %s\n", path.c_str());
            return 1;
        }
        const platform::FileHandle h = platform::OpenReadShared(path);
        const std::int64_t size = platform::FileSizeByHandle(h);
        CPreadChunkReader sample(h);
        const logformat::CFormat* format =
            logformat::DetectFormat(logformat::SampleLines(sample, 0, size, {}), ctx, logformat::BuiltinFormats());
        if (!format || format->Name() != family.name) {
            std::printf("%s: detected as %s\n", family.name, format ? format->Name().c_str() : "none");
            return 1;
        }
        std::vector<char> warm(1 << 20);
        for (std::int64_t at = 0; at < size; at += 1 << 20)  // into the page cache
            platform::ReadAt(h, reinterpret_cast<std::uint8_t*>(warm.data()), warm.size(), at);

        std::uint64_t records = 0;
        const double lines = BestOf3([&] {
            CLineIndex index(std::make_unique<CPreadChunkReader>(h), 0, {});
            index.SetEnd(size, true);
            index.WaitForWorker();
        });
        const double both = BestOf3([&] {
            CLineIndex index(std::make_unique<CPreadChunkReader>(h), 0, {});
            logformat::CRecordSummaries sums(std::make_unique<CPreadChunkReader>(h), 0, {}, format, ctx);
            index.SetEnd(size, true);
            sums.SetEnd(size, true);
            index.WaitForWorker();
            sums.WaitForWorker();
            records = sums.CountsIn(INT64_MIN, INT64_MAX).Total();
        });
        const double alone = BestOf3([&] {
            logformat::CRecordSummaries sums(std::make_unique<CPreadChunkReader>(h), 0, {}, format, ctx);
            sums.SetEnd(size, true);
            sums.WaitForWorker();
        });
        platform::CloseFile(h);
        if (records == 0)
            return 1;
        const double mb = static_cast<double>(size) / 1e6;
        const double ratio = both / lines;
        std::printf("%-12s %9.0f %14.0f %16.0f %14.0f %8.2f\n", family.name, static_cast<double>(size) / (1 << 20),
                    mb / lines, mb / both, mb / alone, ratio);
        const bool rate = static_cast<double>(size) / both >= double(1 << 30);
        std::printf("  goal: lines and summaries at least 1 GiB/s: %s; within 1.5 x the line count alone: %s\n",
                    rate ? "met" : "MISSED", ratio <= 1.5 ? "met" : "MISSED");
        ok = ok && rate && ratio <= 1.5;
    }
    return ok ? 0 : 2;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc > 1 && std::string(argv[1]) == "pass")
        return Pass(argc > 2 ? static_cast<std::size_t>(std::atoi(argv[2])) : 400,
                    argc > 3 ? argv[3] : "/tmp/ostrel-bench");
    const std::size_t mib = argc > 1 ? static_cast<std::size_t>(std::atoi(argv[1])) : 16;
    const timeseek::StampContext ctx{2026, 12};
    const auto& formats = logformat::BuiltinFormats();
    std::printf("%-20s %12s %12s %12s %12s %8s\n", "family", "detect ms", "lines/s", "MB/s", "memchr MB/s", "ratio");
    for (const Family& family : kFamilies) {
        std::string text;
        for (int i = 0; text.size() < mib << 20; ++i)
            text += family.line(i) + (i % 13 == 5 ? "\n\tat com.example.Frame(Frame.java:1)\n" : "\n");
        testutil::StringReader reader(&text);
        const auto end = static_cast<std::int64_t>(text.size());

        const int runs = 20;
        const logformat::CFormat* found = nullptr;
        const auto t0 = Clock::now();
        for (int r = 0; r < runs; ++r)
            found = logformat::DetectFormat(logformat::SampleLines(reader, 0, end, {}), ctx, formats);
        const double detectMs = Seconds(t0) / runs * 1000;
        if (!found || found->Name() != family.name) {
            std::printf("%s: detected as %s\n", family.name, found ? found->Name().c_str() : "none");
            return 1;
        }

        // Every line's time and level, then the baseline over the same bytes.
        std::size_t lines = 0, read = 0;
        const auto t1 = Clock::now();
        for (std::size_t at = 0; at < text.size();) {
            const char* nl = static_cast<const char*>(std::memchr(text.data() + at, '\n', text.size() - at));
            const std::size_t e = nl ? static_cast<std::size_t>(nl - text.data()) : text.size();
            logformat::LineRead r;
            read += found->Read(std::string_view(text.data() + at, std::min<std::size_t>(e - at, 1024)), ctx, r);
            ++lines;
            at = e + 1;
        }
        const double readSecs = Seconds(t1);
        std::size_t baseLines = 0;
        const auto t2 = Clock::now();
        for (std::size_t at = 0; at < text.size(); ++baseLines) {
            const char* nl = static_cast<const char*>(std::memchr(text.data() + at, '\n', text.size() - at));
            at = nl ? static_cast<std::size_t>(nl - text.data()) + 1 : text.size();
        }
        const double baseSecs = Seconds(t2);
        if (baseLines != lines || read == 0)
            return 1;
        const double mb = static_cast<double>(text.size()) / 1e6;
        std::printf("%-20s %12.2f %12.0f %12.0f %12.0f %8.1f\n", family.name, detectMs,
                    static_cast<double>(lines) / readSecs, mb / readSecs, mb / baseSecs, readSecs / baseSecs);
    }
    return 0;
}
