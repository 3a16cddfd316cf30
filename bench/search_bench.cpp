// Search speed over a large log, next to the command-line tools on the same
// file in the same run.
//
//   search_bench [MiB] [folder] [all|process]   (default 1024 MiB under /tmp/ostrel-bench, all)
//
// "process" times only the whole processes (below) and the scan engine's
// chunk sizes.
//
// Generates (once, then reuses) a log of the given size in Windows-1252 and
// the same text in UTF-16 LE, reads both so that they sit in the page cache,
// and times:
//   - FindFirst from the top for a text that occurs once, near the end:
//     case-sensitive and ignoring case, ANSI and UTF-16 LE;
//   - FindPrevious from the end for a text that occurs once, near the start;
//   - a plain memchr pass over the same bytes (the memory-speed baseline);
//   - grep -F / grep -F -i (LC_ALL=C), rg -F / rg -F -i, tac | grep -m1 -F;
//   - narrow text under the UTF-8 code page, on a UTF-8 log of the same size
//     with names and words outside ASCII: FindFirst ignoring case for an
//     ASCII text and for German, Greek and Cyrillic texts of the same length
//     in bytes (goal: at most 2 times the ASCII one), and the ASCII text
//     under Windows-1252 on the same file (goal: the same speed).
// Whole processes, as a user at a shell would compare them (ostrel-probe from
// the folder of this program, LC_ALL=C for every tool, best of 5):
//   - FindFirst of an absent text against grep -c -F and rg -c -F, also
//     ignoring case; FindPrevious of it; UTF-16 in bytes per second;
//   - regular expressions that match nowhere against rg -c with the same
//     pattern (goals: at most 0.8 with a rare literal, 1.0 with a literal on
//     every line), and a plain text in regular-expression mode against the
//     plain search (FindFirst: at most 0.3 of grep -c -F);
// the scan engine's reads of the whole file by chunk size, in process; and
// the line index counting the file while searches run beside it, against
// wc -l beside the same searches, and both alone (goal: at most 1.0 each;
// the index beside a search against wc -l alone is shown too).
// Every figure is the best of several runs. Our searches run on a freshly
// mapped file each time (as a process like rg would), so page-table set-up
// is included; the figure on an already touched mapping is shown beside it.
#include "engine/LineIndex.h"
#include "engine/ScanReader.h"
#include "engine/SearchKernels.h"
#include "file/MemoryMappedFile.h"
#include "platform/Win1252.h"
#include "textwnd/FileWnd.h"
#include "tools/headless/FileWndTestAccess.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <functional>
#include <spawn.h>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace {

const char kForwardNeedle[] = "checksum mismatch in segment 9173";
const char16_t kForwardNeedleUpper[] = u"CHECKSUM MISMATCH IN SEGMENT 9173";
const char kBackwardNeedle[] = "cold start marker 5521 reached";
// Texts outside ASCII of the same 33 bytes as kForwardNeedle, in the UTF-8
// log only, and as a user types them to find them ignoring case.
const char* const kUtf8Needles[] = {
    "pr\u00FCfsumme ung\u00FCltig im segment 9",
    "\u03C3\u03C6\u03AC\u03BB\u03BC\u03B1 \u03B5\u03BB\u03AD\u03B3\u03C7\u03BF\u03C5 91734",
    "\u043E\u0448\u0438\u0431\u043A\u0430 \u0441\u0432\u0435\u0440\u043A\u0438 9173456"};
const char* const kUtf8NeedlesUpper[] = {
    "PR\u00DCFSUMME UNG\u00DCLTIG IM SEGMENT 9",
    "\u03A3\u03A6\u0386\u039B\u039C\u0391 \u0395\u039B\u0388\u0393\u03A7\u039F\u03A5 91734",
    "\u041E\u0428\u0418\u0411\u041A\u0410 \u0421\u0412\u0415\u0420\u041A\u0418 9173456"};
const char* const kUtf8NeedleNames[] = {"German", "Greek", "Cyrillic"};

// A window without a screen: 40 rows of 120 columns.
class BenchPort : public IFileWndPort {
public:
    WRect GetClientRect() override { return {0, 0, 120 * 8, 40 * 16}; }
    void MeasureText(const platform::LOGFONTW&, const char16_t*, int length, int* cx, int* cy) override
    {
        *cx = length * 8;
        *cy = 16;
    }
    int GetDpiY() override { return 96; }
    void SetScrollInfo(int, unsigned, std::int64_t, std::int64_t, std::int64_t, std::int64_t, bool) override {}
    std::int64_t GetVScrollTrackPos() override { return 0; }
    void InvalidateAll() override {}
    void ScrollWindow(int, int) override {}
    int ShowMessageBox(const std::string&, const std::string&, unsigned) override { return platform::kIdYes; }
    bool OpenClipboard() override { return false; }
    void EmptyClipboard() override {}
    void SetClipboardData(unsigned, std::vector<std::uint8_t>) override {}
    bool CloseClipboard() override { return true; }
    void SetCapture() override {}
    void ReleaseCapture() override {}
    bool HasCapture() override { return false; }
};

double Now()
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

struct Timing {
    double best = 1e30;
    double median = 0;
};

Timing Measure(int runs, const std::function<void()>& body)
{
    std::vector<double> t;
    for (int i = 0; i < runs; ++i) {
        const double t0 = Now();
        body();
        t.push_back(Now() - t0);
    }
    std::sort(t.begin(), t.end());
    return {t.front(), t[t.size() / 2]};
}

std::uint64_t FileSize(const std::string& path)
{
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 ? static_cast<std::uint64_t>(st.st_size) : 0;
}

// --- The generated log ---------------------------------------------------------

struct Rng {
    std::uint64_t s = 0x9E3779B97F4A7C15ull;
    std::uint32_t Next()
    {
        s ^= s << 13;
        s ^= s >> 7;
        s ^= s << 17;
        return static_cast<std::uint32_t>(s >> 16);
    }
    std::uint32_t Below(std::uint32_t n) { return Next() % n; }
};

// One plausible log line; none contains any needle in any letter case. With
// `utf8`, the names and some words lie outside ASCII.
void AppendLine(std::string& out, Rng& r, std::uint64_t lineNo, bool utf8 = false)
{
    static const char* const kAsciiUsers[] = {"alice", "bob", "carol", "dave", "erin", "frank", "grace", "heidi"};
    static const char* const kUtf8Users[] = {"alice",
                                             "j\u00FCrgen",
                                             "zo\u00EB",
                                             "s\u00F8ren",
                                             "\u03B5\u03BB\u03AD\u03BD\u03B7",
                                             "\u043E\u043B\u0435\u0433",
                                             "fran\u00E7ois",
                                             "\u00F0\u00F3ra"};
    const char* const* kUsers = utf8 ? kUtf8Users : kAsciiUsers;
    static const char* const kPaths[] = {"/api/v1/items",  "/api/v1/orders", "/static/app.js", "/login",
                                         "/api/v2/search", "/health",        "/metrics"};
    char buf[256];
    const unsigned ms = static_cast<unsigned>(lineNo % 86400000);
    const int n = std::snprintf(buf, sizeof buf, "2024-03-%02u %02u:%02u:%02u.%03u ", 1 + r.Below(28),
                                ms / 3600000 % 24, ms / 60000 % 60, ms / 1000 % 60, ms % 1000);
    out.append(buf, static_cast<std::size_t>(n));
    int k = 0;
    switch (r.Below(8)) {
    case 0:
        k = std::snprintf(buf, sizeof buf, "WARN  [scheduler] job %u delayed by %u ms, queue depth %u\r\n",
                          r.Below(100000), r.Below(5000), r.Below(300));
        break;
    case 1:
        k = std::snprintf(
            buf, sizeof buf, "DEBUG [cache] key=user:%u hit ratio %u.%02u evictions=%u%s\r\n", r.Below(1000000),
            r.Below(100), r.Below(100), r.Below(50),
            utf8
                ? " \u00FCberpr\u00FCft \u03C3\u03B5\u03B9\u03C1\u03AC \u043F\u0440\u043E\u0432\u0435\u0440\u043A\u0430"
                : "");
        break;
    case 2:
        k = std::snprintf(buf, sizeof buf, "ERROR [db-pool] connection %u reset by peer after %u retries (user %s)\r\n",
                          r.Below(64), r.Below(9), kUsers[r.Below(8)]);
        break;
    case 3:
        k = std::snprintf(buf, sizeof buf, "INFO  [auth] user %s logged in from 10.%u.%u.%u session=%08x\r\n",
                          kUsers[r.Below(8)], r.Below(256), r.Below(256), r.Below(256), r.Next());
        break;
    default:
        k = std::snprintf(buf, sizeof buf,
                          "INFO  [worker-%u] request id=%08x %s completed in %u ms status=%u bytes=%u\r\n", r.Below(16),
                          r.Next(), kPaths[r.Below(7)], r.Below(2000), r.Below(8) ? 200u : 404u, r.Below(1 << 20));
        break;
    }
    out.append(buf, static_cast<std::size_t>(k));
}

bool WriteAll(int fd, const std::string& s)
{
    std::size_t done = 0;
    while (done < s.size()) {
        const ssize_t w = ::write(fd, s.data() + done, s.size() - done);
        if (w <= 0)
            return false;
        done += static_cast<std::size_t>(w);
    }
    return true;
}

// Writes `bytes` of log (whole lines), the backward needle about 0.1 % in
// and the forward needle about 99.9 % in. The UTF-16 LE file is the same
// text with a byte-order mark.
bool Generate(const std::string& ansiPath, const std::string& widePath, std::uint64_t bytes)
{
    const std::string tmpA = ansiPath + ".part", tmpW = widePath + ".part";
    const int fa = ::open(tmpA.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const int fw = ::open(tmpW.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fa < 0 || fw < 0)
        return false;
    Rng r;
    std::uint64_t written = 0, lineNo = 0;
    bool early = false, late = false;
    std::string chunk, wide;
    bool ok = WriteAll(fw, std::string("\xFF\xFE", 2));
    while (ok && written < bytes) {
        chunk.clear();
        while (chunk.size() < (4u << 20) && written + chunk.size() < bytes - 200) {
            const std::uint64_t at = written + chunk.size();
            if (!early && at >= bytes / 1000) {
                chunk += "2024-03-01 00:00:00.000 INFO  [boot] ";
                chunk += kBackwardNeedle;
                chunk += "\r\n";
                early = true;
            } else if (!late && at >= bytes - bytes / 1000) {
                chunk += "2024-03-28 23:59:59.999 ERROR [store] ";
                chunk += kForwardNeedle;
                chunk += "\r\n";
                late = true;
            }
            AppendLine(chunk, r, lineNo++);
        }
        if (chunk.empty()) {
            // Pad the last bytes with a line of dots to hit the size exactly.
            chunk.assign(static_cast<std::size_t>(bytes - written - 2), '.');
            chunk += "\r\n";
        }
        wide.resize(chunk.size() * 2);
        for (std::size_t i = 0; i < chunk.size(); ++i) {
            wide[2 * i] = chunk[i];
            wide[2 * i + 1] = 0;
        }
        ok = WriteAll(fa, chunk) && WriteAll(fw, wide);
        written += chunk.size();
    }
    ok = ::close(fa) == 0 && ok;
    ok = ::close(fw) == 0 && ok;
    return ok && early && late && ::rename(tmpA.c_str(), ansiPath.c_str()) == 0 &&
           ::rename(tmpW.c_str(), widePath.c_str()) == 0;
}

// The UTF-8 log: the same kind of lines with names and words outside ASCII,
// the ASCII forward needle and the UTF-8 ones about 99.9 % in.
bool GenerateUtf8(const std::string& path, std::uint64_t bytes)
{
    const std::string tmp = path + ".part";
    const int fd = ::open(tmp.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd < 0)
        return false;
    Rng r;
    std::uint64_t written = 0, lineNo = 0;
    bool late = false, ok = true;
    std::string chunk;
    while (ok && written < bytes) {
        chunk.clear();
        while (chunk.size() < (4u << 20) && written + chunk.size() < bytes - 400) {
            if (!late && written + chunk.size() >= bytes - bytes / 1000) {
                chunk += std::string("2024-03-28 23:59:59.999 ERROR [store] ") + kForwardNeedle + "\r\n";
                for (const char* n : kUtf8Needles)
                    chunk += std::string("2024-03-28 23:59:59.999 ERROR [store] ") + n + "\r\n";
                late = true;
            }
            AppendLine(chunk, r, lineNo++, true);
        }
        if (chunk.empty()) {
            chunk.assign(static_cast<std::size_t>(bytes - written - 2), '.');
            chunk += "\r\n";
        }
        ok = WriteAll(fd, chunk);
        written += chunk.size();
    }
    ok = ::close(fd) == 0 && ok;
    return ok && late && ::rename(tmp.c_str(), path.c_str()) == 0;
}

// Reads a file through so that it sits in the page cache.
void Warm(const std::string& path)
{
    const int fd = ::open(path.c_str(), O_RDONLY);
    if (fd < 0)
        return;
    std::vector<char> buf(8 << 20);
    while (::read(fd, buf.data(), buf.size()) > 0) {
    }
    ::close(fd);
}

// --- External tools -----------------------------------------------------------

// Runs a program with LC_ALL=C and its output thrown away; its exit status,
// or -1 when it could not run.
int RunStatus(const std::vector<std::string>& args)
{
    std::vector<char*> argv;
    for (const std::string& a : args)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    std::vector<std::string> envStore;
    for (char** e = environ; *e; ++e)
        if (std::strncmp(*e, "LC_", 3) != 0 && std::strncmp(*e, "LANG", 4) != 0)
            envStore.emplace_back(*e);
    envStore.emplace_back("LC_ALL=C");
    std::vector<char*> envp;
    for (std::string& e : envStore)
        envp.push_back(e.data());
    envp.push_back(nullptr);
    posix_spawn_file_actions_t fa;
    posix_spawn_file_actions_init(&fa);
    posix_spawn_file_actions_addopen(&fa, 1, "/dev/null", O_WRONLY, 0);
    pid_t pid;
    const int rc = posix_spawnp(&pid, argv[0], &fa, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&fa);
    if (rc != 0)
        return -1;
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

bool Run(const std::vector<std::string>& args)
{
    return RunStatus(args) == 0;  // 0: a line was found
}

bool HaveTool(const char* name)
{
    return Run({"sh", "-c", std::string("command -v ") + name});
}

// --- Our search ---------------------------------------------------------------

struct Viewer {
    BenchPort port;
    CMemoryMappedFile file;
    CFileWnd wnd{&port};
    bool Open(const std::string& path, platform::CodePage codePage)
    {
        wnd.SetWatchFile(false);
        wnd.SetCodePage(codePage);
        return file.Open(path.c_str(), false) && wnd.LoadFile(&file, EncodingAuto);
    }
};

// Times one search call, on a freshly mapped file (fresh: the scan pays for
// setting up the page tables, as any process reading the file would) or on
// one whose pages were touched by an earlier run. Opening is not timed.
Timing TimeSearch(const std::string& path, bool fresh, int runs, std::int64_t* found,
                  const std::function<void(CFileWnd&)>& setUp, const std::function<int(CFileWnd&)>& search,
                  platform::CodePage codePage = platform::CodePage::Windows1252)
{
    Viewer warm;
    if (!fresh && !warm.Open(path, codePage))
        return {};
    std::vector<double> t;
    for (int i = 0; i < runs; ++i) {
        Viewer v;
        Viewer& use = fresh ? v : warm;
        if (fresh && !v.Open(path, codePage))
            return {};
        setUp(use.wnd);
        const double t0 = Now();
        const int rc = search(use.wnd);
        t.push_back(Now() - t0);
        *found = rc == 0 ? use.wnd.CharIndex(use.wnd.GetLastMatch()) : -1;
    }
    std::sort(t.begin(), t.end());
    return {t.front(), t[t.size() / 2]};
}

Timing TimeFindFirst(const std::string& path, const std::u16string& text, bool ignoreCase, bool fresh, int runs,
                     std::int64_t* found, platform::CodePage codePage = platform::CodePage::Windows1252)
{
    return TimeSearch(
        path, fresh, runs, found, [](CFileWnd& w) { w.OnVScroll(kSbTop); },
        [&](CFileWnd& w) { return w.FindFirst(ignoreCase, text); }, codePage);
}

Timing TimeFindPrevious(const std::string& path, const std::u16string& text, bool ignoreCase, bool fresh, int runs,
                        std::int64_t* found)
{
    return TimeSearch(
        path, fresh, runs, found, [](CFileWnd& w) { CFileWndTestAccess::SetFindPlace(w, w.DataEnd(), w.DataEnd()); },
        [&](CFileWnd& w) { return w.FindPrevious(ignoreCase, text); });
}

Timing TimeMemchr(const std::string& path, bool fresh, int runs)
{
    CMemoryMappedFile warm;
    if (!fresh && !warm.Open(path.c_str(), false))
        return {};
    std::vector<double> t;
    for (int i = 0; i < runs; ++i) {
        CMemoryMappedFile f;
        CMemoryMappedFile& use = fresh ? f : warm;
        if (fresh && !f.Open(path.c_str(), false))
            return {};
        const double t0 = Now();
        const void* hit = std::memchr(use.View(), 0x01, static_cast<std::size_t>(use.Size()));
        t.push_back(Now() - t0);
        if (hit)
            std::printf("unexpected byte 0x01\n");
    }
    std::sort(t.begin(), t.end());
    return {t.front(), t[t.size() / 2]};
}

void Row(const char* what, const Timing& t, std::uint64_t bytes)
{
    std::printf("  %-46s %8.4f s %7.2f GB/s  (median %.4f s)\n", what, t.best, bytes / t.best / 1e9, t.median);
}

// Our searches: on a fresh mapping (like for like with the tools, which map
// or read the file anew) and on a touched one (the viewer's next search).
struct Pair {
    Timing fresh, touched;
};

void Row(const char* what, const Pair& p, std::uint64_t bytes)
{
    std::printf("  %-46s %8.4f s %7.2f GB/s  | touched %7.4f s %7.2f GB/s\n", what, p.fresh.best,
                bytes / p.fresh.best / 1e9, p.touched.best, bytes / p.touched.best / 1e9);
}

// --- Whole processes and the scan engine ------------------------------------

const char kAbsent[] = "NOTTHERE";
// Regular expressions that match nowhere: two whose required literals are
// rare here, and one whose literal begins every line (so that a literal
// prefilter finds a candidate on every line), each with its goal against rg -c.
const char* const kAbsentPatterns[] = {"user=u[0-9]{4} ", "(FATAL|CRIT)ICAL", "2024-03-[0-9]{2}x"};
const double kAbsentGoals[] = {0.8, 0.8, 1.0};
constexpr int kAbsentCount = static_cast<int>(std::size(kAbsentPatterns));

// The time of a program that must end with status 0 or 1 (grep -c and rg -c
// say 1 for no line); -1 when it cannot run.
Timing TimeProcess(int runs, const std::vector<std::string>& args)
{
    bool ran = true;
    const Timing t = Measure(runs, [&] {
        const int rc = RunStatus(args);
        ran &= rc == 0 || rc == 1;
    });
    return ran ? t : Timing{-1, -1};
}

// The whole file read through the scan engine, searched for an absent text
// (in blocks on the pool unless `split` says otherwise).
Timing TimeScan(const std::string& path, std::size_t chunk, int runs, const engine::BlockSplit& split = {})
{
    const platform::FileHandle fd = platform::OpenReadShared(path);
    const std::int64_t size = platform::FileSizeByHandle(fd);
    const searchkernels::Needle needle = searchkernels::PrepareNarrow(kAbsent, false);
    const Timing t = Measure(runs, [&] {
        CScanReader reader(fd, chunk);
        if (searchkernels::SearchFile(needle, reader, 0, size, 0, size, true, searchkernels::BestIsa(), split) >= 0)
            std::printf("  !! the absent text was found\n");
    });
    platform::CloseFile(fd);
    return t;
}

// `body` timed while searches for an absent text run beside it on the pool
// (unless `beside` is false), as when a large file is opened and searched at
// once.
Timing BesideSearch(const std::string& path, int runs, bool beside, const std::function<void()>& body)
{
    const platform::FileHandle fd = platform::OpenReadShared(path);
    const std::int64_t size = platform::FileSizeByHandle(fd);
    const searchkernels::Needle needle = searchkernels::PrepareNarrow(kAbsent, false);
    std::vector<double> t;
    for (int i = 0; i < runs; ++i) {
        std::atomic<bool> stop{false}, started{!beside};
        std::thread search([&] {
            while (beside && !stop) {
                CScanReader reader(fd);
                reader.SetCancel(&stop);
                started = true;
                searchkernels::SearchFile(needle, reader, 0, size, 0, size, true);
            }
        });
        while (!started)
            std::this_thread::yield();
        const double t0 = Now();
        body();
        t.push_back(Now() - t0);
        stop = true;
        search.join();
    }
    platform::CloseFile(fd);
    std::sort(t.begin(), t.end());
    return {t.front(), t[t.size() / 2]};
}

// The line index counting the whole file: the time from its start to its
// last count.
Timing TimeIndex(const std::string& path, int runs, bool beside)
{
    const platform::FileHandle fd = platform::OpenReadShared(path);
    const std::int64_t size = platform::FileSizeByHandle(fd);
    const Timing t = BesideSearch(path, runs, beside, [&] {
        CLineIndex index(std::make_unique<CPreadChunkReader>(fd), 0, BreakUnits{});
        index.SetEnd(size, true);
        index.WaitForWorker();
    });
    platform::CloseFile(fd);
    return t;
}

int WholeProcesses(const std::string& self, const std::string& ansi, const std::string& wide, std::uint64_t bytes,
                   std::uint64_t wideBytes, int runs)
{
    const std::string dir = self.substr(0, self.rfind('/') + 1);
    const std::string probe = dir + "ostrel-probe";
    const bool haveRg = HaveTool("rg");
    std::printf("\nthe scan engine: reads of the ANSI file by chunk size, searched for \"%s\"\n", kAbsent);
    for (const std::size_t kib : {64, 256, 1024, 4096}) {
        const std::string what = std::to_string(kib) + " KiB";
        Row(what.c_str(), TimeScan(ansi, kib << 10, runs), bytes);
    }
    Row("256 KiB, one thread", TimeScan(ansi, 256 << 10, runs, {INT64_MAX, 0}), bytes);
    std::printf("\nwhole processes, best of %d (%s)\n", runs, probe.c_str());
    auto ours = [&](const std::string& file, std::vector<std::string> cmds) {
        std::vector<std::string> args{probe, "--rows", "2"};
        if (cmds.front() == "--regex") {
            args.push_back("--regex");
            cmds.erase(cmds.begin());
        }
        args.push_back(file);
        args.insert(args.end(), cmds.begin(), cmds.end());
        return TimeProcess(runs, args);
    };
    const std::string find = std::string("find:") + kAbsent;
    const Timing first = ours(ansi, {find});
    Row("ostrel-probe find:ABSENT", first, bytes);
    const Timing firstNoCase = ours(ansi, {std::string("ifind:") + kAbsent});
    Row("ostrel-probe ifind:ABSENT", firstNoCase, bytes);
    const Timing previous = ours(ansi, {std::string("prev:") + kAbsent});
    Row("ostrel-probe prev:ABSENT", previous, bytes);
    const Timing wideFirst = ours(wide, {find});
    Row("ostrel-probe find:ABSENT, UTF-16 LE", wideFirst, wideBytes);
    const Timing regexLiteral = ours(ansi, {"--regex", find});
    Row("ostrel-probe --regex find:ABSENT", regexLiteral, bytes);
    Timing regex[kAbsentCount];
    for (int i = 0; i < kAbsentCount; ++i) {
        regex[i] = ours(ansi, {"--regex", std::string("find:") + kAbsentPatterns[i]});
        Row((std::string("ostrel-probe --regex find:'") + kAbsentPatterns[i] + "'").c_str(), regex[i], bytes);
    }
    const Timing grep = TimeProcess(runs, {"grep", "-c", "-F", kAbsent, ansi});
    Row("grep -c -F ABSENT", grep, bytes);
    const Timing grepNoCase = TimeProcess(runs, {"grep", "-c", "-F", "-i", kAbsent, ansi});
    Row("grep -c -F -i ABSENT", grepNoCase, bytes);
    Timing rg{-1, -1}, rgNoCase{-1, -1}, rgRegex[kAbsentCount];
    for (Timing& t : rgRegex)
        t = {-1, -1};
    if (haveRg) {
        rg = TimeProcess(runs, {"rg", "-c", "-F", kAbsent, ansi});
        Row("rg -c -F ABSENT", rg, bytes);
        rgNoCase = TimeProcess(runs, {"rg", "-c", "-F", "-i", kAbsent, ansi});
        Row("rg -c -F -i ABSENT", rgNoCase, bytes);
        for (int i = 0; i < kAbsentCount; ++i) {
            rgRegex[i] = TimeProcess(runs, {"rg", "-c", kAbsentPatterns[i], ansi});
            Row((std::string("rg -c '") + kAbsentPatterns[i] + "'").c_str(), rgRegex[i], bytes);
        }
    } else {
        std::printf("  rg not installed (OSTREL_BENCH_DEPS=1 tools/install-deps.sh)\n");
    }

    std::printf("\nratios of whole-process times (goal in brackets)\n");
    auto ratio = [](const std::string& what, const Timing& a, const Timing& b, double goal) {
        if (a.best <= 0 || b.best <= 0) {
            std::printf("  %-58s    n/a\n", what.c_str());
            return;
        }
        const double r = a.best / b.best;
        if (goal > 0)
            std::printf("  %-58s %6.2f   [<= %.1f] %s\n", what.c_str(), r, goal, r <= goal ? "ok" : "MISSED");
        else
            std::printf("  %-58s %6.2f\n", what.c_str(), r);
    };
    ratio("FindFirst / grep -c -F", first, grep, 0.3);
    ratio("FindFirst ignoring case / grep -c -F -i", firstNoCase, grepNoCase, 1.0);
    ratio("FindFirst / rg -c -F", first, rg, 0);
    ratio("FindFirst ignoring case / rg -c -F -i", firstNoCase, rgNoCase, 0);
    ratio("FindPrevious / FindFirst", previous, first, 1.0);
    // Per byte: the UTF-16 file holds the same text in twice the bytes.
    ratio("ANSI bytes/s / UTF-16 bytes/s", Timing{wideFirst.best / wideBytes, 0}, Timing{first.best / bytes, 0}, 1.0);
    ratio("plain text in regex mode / plain search", regexLiteral, first, 1.1);
    for (int i = 0; i < kAbsentCount; ++i) {
        ratio(std::string("regex '") + kAbsentPatterns[i] + "' / rg -c", regex[i], rgRegex[i], kAbsentGoals[i]);
        ratio(std::string("regex '") + kAbsentPatterns[i] + "' / grep -c -E", regex[i],
              TimeProcess(runs, {"grep", "-c", "-E", kAbsentPatterns[i], ansi}), 0);
    }
    const Timing index = TimeIndex(ansi, runs, true);
    Row("line index of the whole file beside a search", index, bytes);
    const Timing indexAlone = TimeIndex(ansi, runs, false);
    Row("line index of the whole file alone", indexAlone, bytes);
    const Timing wc = TimeProcess(runs, {"wc", "-l", ansi});
    Row("wc -l", wc, bytes);
    // The same search takes its share of the memory bus from wc -l too.
    const Timing wcBeside = BesideSearch(ansi, runs, true, [&] { RunStatus({"wc", "-l", ansi}); });
    Row("wc -l beside the same search", wcBeside, bytes);
    ratio("line index beside a search / wc -l beside it", index, wcBeside, 1.0);
    ratio("line index beside a search / wc -l alone", index, wc, 0);
    ratio("line index alone / wc -l", indexAlone, wc, 1.0);
    return 0;
}

}  // namespace

int main(int argc, char** argv)
{
    const std::uint64_t mib = argc > 1 ? std::strtoull(argv[1], nullptr, 10) : 1024;
    const std::string dir = argc > 2 ? argv[2] : "/tmp/ostrel-bench";
    const int runs = 5;
    ::mkdir(dir.c_str(), 0755);
    const std::uint64_t bytes = mib << 20;
    const std::string tag = dir + "/search-v1-" + std::to_string(mib) + "M";
    const std::string ansi = tag + "-ansi.log", wide = tag + "-utf16le.log";
    if (FileSize(ansi) != bytes || FileSize(wide) != 2 * bytes + 2) {
        std::printf("generating %s and %s ...\n", ansi.c_str(), wide.c_str());
        std::fflush(stdout);
        if (!Generate(ansi, wide, bytes)) {
            std::fprintf(stderr, "cannot write the logs under %s\n", dir.c_str());
            return 1;
        }
    }
    const std::string utf8 = tag + "-utf8.log";
    if (FileSize(utf8) != bytes) {
        std::printf("generating %s ...\n", utf8.c_str());
        std::fflush(stdout);
        if (!GenerateUtf8(utf8, bytes)) {
            std::fprintf(stderr, "cannot write the UTF-8 log under %s\n", dir.c_str());
            return 1;
        }
    }
    Warm(ansi);
    Warm(wide);
    Warm(utf8);
    const std::uint64_t wideBytes = FileSize(wide);
    std::printf("search_bench: %s (%llu bytes), %s (%llu bytes); kernels: %s\n", ansi.c_str(),
                static_cast<unsigned long long>(bytes), wide.c_str(), static_cast<unsigned long long>(wideBytes),
                searchkernels::IsaName(searchkernels::BestIsa()));
    std::printf("forward text \"%s\" (only near the end), backward text \"%s\" (only near the start); best of %d\n\n",
                kForwardNeedle, kBackwardNeedle, runs);

    const std::u16string fwd(kForwardNeedle, kForwardNeedle + std::strlen(kForwardNeedle));
    const std::u16string back(kBackwardNeedle, kBackwardNeedle + std::strlen(kBackwardNeedle));
    std::int64_t where = 0;
    bool ok = true;
    auto expectFound = [&](const char* what) {
        if (where < 0) {
            std::printf("  !! %s found nothing\n", what);
            ok = false;
        }
    };

    if (argc > 3 && std::strcmp(argv[3], "process") == 0)
        return WholeProcesses(argv[0], ansi, wide, bytes, wideBytes, runs);

    std::printf("%-48s %19s    %s\n", "", "fresh mapping", "touched mapping");
    std::printf("baseline\n");
    const Pair memchrT{TimeMemchr(ansi, true, runs), TimeMemchr(ansi, false, runs)};
    Row("memchr of an absent byte, ANSI file", memchrT, bytes);

    auto findFirst = [&](const std::string& path, const std::u16string& text, bool ignoreCase, const char* what) {
        Pair p{TimeFindFirst(path, text, ignoreCase, true, runs, &where), {}};
        expectFound(what);
        p.touched = TimeFindFirst(path, text, ignoreCase, false, runs, &where);
        expectFound(what);
        return p;
    };
    auto findPrevious = [&](const std::string& path, const std::u16string& text, bool ignoreCase, const char* what) {
        Pair p{TimeFindPrevious(path, text, ignoreCase, true, runs, &where), {}};
        expectFound(what);
        p.touched = TimeFindPrevious(path, text, ignoreCase, false, runs, &where);
        expectFound(what);
        return p;
    };
    const std::u16string fwdUpper(kForwardNeedleUpper);
    std::printf("ours, ANSI\n");
    const Pair ansiCase = findFirst(ansi, fwd, false, "FindFirst");
    Row("FindFirst case-sensitive", ansiCase, bytes);
    const Pair ansiNoCase = findFirst(ansi, fwdUpper, true, "FindFirst ignoring case");
    Row("FindFirst ignoring case", ansiNoCase, bytes);
    const Pair ansiBack = findPrevious(ansi, back, false, "FindPrevious");
    Row("FindPrevious from the end, case-sensitive", ansiBack, bytes);
    const Pair ansiBackNoCase = findPrevious(ansi, back, true, "FindPrevious ignoring case");
    Row("FindPrevious from the end, ignoring case", ansiBackNoCase, bytes);

    std::printf("ours, UTF-16 LE (the same text, twice the bytes)\n");
    const Pair wideCase = findFirst(wide, fwd, false, "FindFirst UTF-16");
    Row("FindFirst case-sensitive", wideCase, wideBytes);
    const Pair wideNoCase = findFirst(wide, fwdUpper, true, "FindFirst UTF-16 ignoring case");
    Row("FindFirst ignoring case", wideNoCase, wideBytes);
    const Pair wideBack = findPrevious(wide, back, false, "FindPrevious UTF-16");
    Row("FindPrevious from the end, case-sensitive", wideBack, wideBytes);

    std::printf("ours, the UTF-8 log (same size), ignoring case\n");
    using platform::CodePage;
    auto findUtf8 = [&](const std::u16string& text, CodePage cp, const char* what) {
        Pair p{TimeFindFirst(utf8, text, true, true, runs, &where, cp), {}};
        expectFound(what);
        p.touched = TimeFindFirst(utf8, text, true, false, runs, &where, cp);
        expectFound(what);
        Row(what, p, bytes);
        return p;
    };
    const Pair utf8Ascii = findUtf8(fwdUpper, CodePage::Utf8, "ASCII text under UTF-8");
    const Pair utf8AsciiIn1252 = findUtf8(fwdUpper, CodePage::Windows1252, "ASCII text under Windows-1252");
    Pair utf8Other[3];
    for (int i = 0; i < 3; ++i) {
        const std::string what = std::string(kUtf8NeedleNames[i]) + " text under UTF-8";
        utf8Other[i] = findUtf8(platform::Utf8ToUtf16(kUtf8NeedlesUpper[i]), CodePage::Utf8, what.c_str());
    }

    std::printf("tools on the same files (LC_ALL=C, output to /dev/null)\n");
    Timing grepCase{}, grepNoCase{}, rgCase{}, rgNoCase{}, tacGrep{}, rgWide{};
    const bool haveRg = HaveTool("rg");
    grepCase = Measure(runs, [&] { ok &= Run({"grep", "-m1", "-F", kForwardNeedle, ansi}); });
    Row("grep -m1 -F", grepCase, bytes);
    grepNoCase = Measure(runs, [&] { ok &= Run({"grep", "-m1", "-F", "-i", kForwardNeedle, ansi}); });
    Row("grep -m1 -F -i", grepNoCase, bytes);
    if (haveRg) {
        rgCase = Measure(runs, [&] { ok &= Run({"rg", "-m1", "-F", kForwardNeedle, ansi}); });
        Row("rg -m1 -F", rgCase, bytes);
        rgNoCase = Measure(runs, [&] { ok &= Run({"rg", "-m1", "-F", "-i", kForwardNeedle, ansi}); });
        Row("rg -m1 -F -i", rgNoCase, bytes);
        rgWide = Measure(3, [&] { ok &= Run({"rg", "-m1", "-F", kForwardNeedle, wide}); });
        Row("rg -m1 -F on the UTF-16 LE file (transcodes)", rgWide, wideBytes);
    } else {
        std::printf("  rg not installed (OSTREL_BENCH_DEPS=1 tools/install-deps.sh)\n");
    }
    tacGrep = Measure(3, [&] {
        ok &= Run({"sh", "-c", std::string("tac '") + ansi + "' | grep -m1 -F '" + kBackwardNeedle + "'"});
    });
    Row("tac FILE | grep -m1 -F (backward)", tacGrep, bytes);

    std::printf("\nratios of times (goal in brackets); ours on fresh mappings unless said\n");
    auto ratio = [](const char* what, double a, double b, double goal) {
        if (goal > 0)
            std::printf("  %-58s %6.2f   [<= %.1f] %s\n", what, a / b, goal, a / b <= goal ? "ok" : "MISSED");
        else
            std::printf("  %-58s %6.2f\n", what, a / b);
    };
    ratio("FindFirst ANSI / memchr", ansiCase.fresh.best, memchrT.fresh.best, 0);
    ratio("FindFirst ANSI / memchr, touched mappings", ansiCase.touched.best, memchrT.touched.best, 0);
    if (haveRg) {
        ratio("FindFirst ANSI case-sensitive / rg -F", ansiCase.fresh.best, rgCase.best, 1.5);
        ratio("FindFirst ANSI ignoring case / rg -F -i", ansiNoCase.fresh.best, rgNoCase.best, 2.0);
    }
    ratio("FindFirst ANSI case-sensitive / grep -F", ansiCase.fresh.best, grepCase.best, 0);
    ratio("FindFirst ANSI ignoring case / grep -F -i", ansiNoCase.fresh.best, grepNoCase.best, 0);
    // Per byte: the UTF-16 file holds the same text in twice the bytes.
    ratio("ANSI GB/s / UTF-16 GB/s, case-sensitive", wideCase.fresh.best / wideBytes, ansiCase.fresh.best / bytes, 2.0);
    ratio("ANSI GB/s / UTF-16 GB/s, ignoring case", wideNoCase.fresh.best / wideBytes, ansiNoCase.fresh.best / bytes,
          2.0);
    ratio("ANSI GB/s / UTF-16 GB/s, case-sensitive, touched", wideCase.touched.best / wideBytes,
          ansiCase.touched.best / bytes, 2.0);
    ratio("ANSI GB/s / UTF-16 GB/s, ignoring case, touched", wideNoCase.touched.best / wideBytes,
          ansiNoCase.touched.best / bytes, 2.0);
    ratio("FindPrevious / FindFirst, ANSI case-sensitive", ansiBack.fresh.best, ansiCase.fresh.best, 1.5);
    ratio("FindPrevious / FindFirst, ANSI case-sensitive, touched", ansiBack.touched.best, ansiCase.touched.best, 1.5);
    ratio("FindPrevious / FindFirst, UTF-16 case-sensitive", wideBack.fresh.best, wideCase.fresh.best, 1.5);
    ratio("FindPrevious ANSI / tac FILE | grep -m1 -F", ansiBack.fresh.best, tacGrep.best, 0);
    ratio("UTF-8 log, ignoring case: ASCII under UTF-8 / under 1252", utf8Ascii.fresh.best, utf8AsciiIn1252.fresh.best,
          1.1);
    ratio("  the same, touched", utf8Ascii.touched.best, utf8AsciiIn1252.touched.best, 1.1);
    for (int i = 0; i < 3; ++i) {
        const std::string what = std::string("UTF-8 log, ignoring case: ") + kUtf8NeedleNames[i] + " / ASCII";
        ratio(what.c_str(), utf8Other[i].fresh.best, utf8Ascii.fresh.best, 2.0);
        ratio("  the same, touched", utf8Other[i].touched.best, utf8Ascii.touched.best, 2.0);
    }
    return ok ? 0 : 1;
}
