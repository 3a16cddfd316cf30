// How fast a compressed log becomes text in memory, against the command-line
// decompressors of the same formats writing to a file in /dev/shm (the same
// kind of memory sink as our anonymous file), measured in the same run.
//
//   decompress_bench [megabytes] [runs]     (defaults 128 5)
//
// A log of about `megabytes` MiB (large enough that starting a tool's
// process is a small part of its time) of varied lines is compressed with gzip -6,
// xz -6, zstd -3 and bzip2 -9 (in a temporary folder), the input files are
// read once so that both sides start from the page cache, and each side's
// best of `runs` is taken: for us the whole path of a document (open, the
// background reader's reads, decompression and appends to the anonymous
// file, until it has ended); for the tools `zcat`, `xzcat`, `zstdcat` and
// `bzcat` with their output on a new file in /dev/shm. Goal: ratio <= 1.1.
#include "file/TextFileDoc.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point from)
{
    return std::chrono::duration<double>(Clock::now() - from).count();
}

// Runs `argv` with its standard output on `out` (or inherited); its exit status.
int Run(std::vector<std::string> argv, const char* out = nullptr)
{
    std::vector<char*> args;
    for (std::string& a : argv)
        args.push_back(a.data());
    args.push_back(nullptr);
    posix_spawn_file_actions_t fa;
    posix_spawn_file_actions_init(&fa);
    if (out)
        posix_spawn_file_actions_addopen(&fa, 1, out, O_WRONLY | O_CREAT | O_TRUNC, 0600);
    pid_t pid = -1;
    int status = -1;
    if (posix_spawnp(&pid, args[0], &fa, nullptr, args.data(), environ) == 0)
        ::waitpid(pid, &status, 0);
    posix_spawn_file_actions_destroy(&fa);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

void WriteLog(const std::string& path, std::size_t megabytes)
{
    std::ofstream log(path, std::ios::binary);
    const char* const levels[] = {"INFO", "DEBUG", "WARN", "ERROR"};
    const char* const units[] = {"sshd", "cron", "kernel", "nginx", "postgres", "systemd"};
    std::uint64_t seed = 12345;
    std::size_t written = 0;
    char line[256];
    for (long n = 0; written < megabytes << 20; ++n) {
        seed = seed * 6364136223846793005ULL + 1442695040888963407ULL;
        const int len = std::snprintf(
            line, sizeof line,
            "2024-05-%02d %02d:%02d:%02d.%03d host%u %s[%u]: %s request %ld took %u ms "
            "from 10.%u.%u.%u user=%08llx\n",
            1 + int(n / 3000000 % 28), int(n / 100000 % 24), int(n / 1000 % 60), int(n / 10 % 60), int(n % 1000),
            unsigned(seed >> 60), units[(seed >> 20) % 6], unsigned(seed >> 40) % 30000, levels[(seed >> 8) % 4], n,
            unsigned(seed >> 33) % 5000, unsigned(seed >> 12) % 256, unsigned(seed >> 24) % 256,
            unsigned(seed >> 48) % 256, static_cast<unsigned long long>(seed >> 30));
        log.write(line, len);
        written += static_cast<std::size_t>(len);
    }
}

// Our side: a document on the compressed file, until its reader has ended.
double OursOnce(const std::string& path, std::uint64_t& bytes)
{
    const auto start = Clock::now();
    CTextFileDoc doc;
    if (!doc.OnOpenDocument(path.c_str()) || !doc.GetSource())
        return -1;
    while (doc.GetSource()->GetProgress().state == CStreamSource::State::Running)
        std::this_thread::sleep_for(std::chrono::microseconds(200));
    const double s = Seconds(start);
    bytes = doc.GetSource()->GetProgress().bytes;
    return doc.GetSource()->GetProgress().state == CStreamSource::State::Complete ? s : -1;
}

double ToolOnce(const char* tool, const std::string& path, const std::string& sink)
{
    const auto start = Clock::now();
    const int rc = Run({tool, path}, sink.c_str());
    const double s = Seconds(start);
    ::unlink(sink.c_str());
    return rc == 0 ? s : -1;
}

}  // namespace

int main(int argc, char** argv)
{
    const std::size_t megabytes = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 128;
    const int runs = argc > 2 ? std::atoi(argv[2]) : 5;
    char folder[] = "/tmp/ostrel-decompress-XXXXXX";
    if (!::mkdtemp(folder))
        return 1;
    const std::string dir = folder;
    const std::string log = dir + "/app.log";
    WriteLog(log, megabytes);
    CTextFileDoc::SetTextLimit(std::uint64_t{16} << 30);

    const struct {
        const char* name;
        std::vector<std::string> compress;  // writes the compressed file to standard output
        const char* ext;
        const char* tool;
    } kFormats[] = {
        {"gzip", {"gzip", "-6", "-c", log}, ".gz", "zcat"},
        {"xz", {"xz", "-6", "-T2", "-c", log}, ".xz", "xzcat"},
        {"zstd", {"zstd", "-3", "-q", "-c", log}, ".zst", "zstdcat"},
        {"bzip2", {"bzip2", "-9", "-c", log}, ".bz2", "bzcat"},
    };
    std::printf("text: %zu MiB of log lines; best of %d runs; sink of the tools: /dev/shm\n", megabytes, runs);
    std::printf("%-6s %12s %10s %10s %10s %8s\n", "format", "compressed", "ours s", "tool s", "tool", "ratio");
    int failed = 0;
    for (const auto& f : kFormats) {
        const std::string packed = log + f.ext;
        if (Run(f.compress, packed.c_str()) != 0) {
            std::printf("%-6s cannot compress (is %s installed?)\n", f.name, f.compress[0].c_str());
            ++failed;
            continue;
        }
        Run({"cat", packed}, "/dev/null");  // into the page cache for both sides
        double ours = 1e9, tool = 1e9;
        std::uint64_t bytes = 0;
        for (int r = 0; r < runs; ++r) {
            const double o = OursOnce(packed, bytes);
            const double t = ToolOnce(f.tool, packed, "/dev/shm/ostrel-bench-" + std::to_string(::getpid()));
            if (o < 0 || t < 0) {
                ours = tool = -1;
                break;
            }
            ours = std::min(ours, o);
            tool = std::min(tool, t);
        }
        std::ifstream in(packed, std::ios::binary | std::ios::ate);
        if (ours < 0) {
            std::printf("%-6s failed\n", f.name);
            ++failed;
        } else {
            std::printf("%-6s %10lld B %10.3f %10.3f %10s %8.3f\n", f.name, static_cast<long long>(in.tellg()), ours,
                        tool, f.tool, ours / tool);
        }
        ::unlink(packed.c_str());
    }
    ::unlink(log.c_str());
    ::rmdir(folder);
    return failed ? 1 : 0;
}
