// What knowing a log's records costs: detection of the format of a file
// (both 64 KiB ends sampled, every format tried), and reading every line's
// time and level as a background pass over a file would.
//
//   records_bench [MiB]      (default 16: the size of each family's log, in memory)
//
// Baseline, in the same run: finding the same lines' ends with memchr (the
// least any reading of lines costs). The goals: detection under 5 ms a file;
// the figures per line show how far reading times and levels stands from
// counting lines.
#include "engine/LogFormat.h"
#include "tests/core/TestUtil.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
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

}  // namespace

int main(int argc, char** argv)
{
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
