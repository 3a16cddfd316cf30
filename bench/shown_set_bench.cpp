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
#include "engine/ShownSet.h"
#include "file/Encoding.h"
#include "platform/File.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
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
