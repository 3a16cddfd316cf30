// How long the window's event loop is held up while a followed file grows as
// fast as a process can write it, with an alert-and-stop highlight rule
// against the same rule without its alert (colouring only).
//
//   follow_rules [lines]     (default 50000000: `seq 1 50000000`, 439 MB)
//
// A child process runs `seq 1 LINES` appending to the followed file. The
// window (CFileWnd on a headless port, watcher on) runs on this thread as the
// UI thread would: it waits for a posted message, delivers the messages (the
// reloads, the matcher's news) and paints. The longest time from one wait to
// the next is the longest event-loop gap. After the writer is done, one line
// "FATAL end" is appended: with the alert rule the window must stop there,
// which shows that every appended byte was matched, and how long after its
// write the stop came.
#include "engine/HighlightRules.h"
#include "file/MemoryMappedFile.h"
#include "platform/Window.h"
#include "tools/headless/HeadlessWindow.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fcntl.h>
#include <fstream>
#include <poll.h>
#include <string>
#include <sys/eventfd.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

std::int64_t NowNs()
{
    timespec ts{};
    ::clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<std::int64_t>(ts.tv_sec) * 1000000000 + ts.tv_nsec;
}

struct Result {
    double maxGapMs = 0, writeS = 0, stopLagMs = -1;
    int loops = 0;
    bool stopped = false, sawAll = false;
};

Result Run(const std::string& path, long lines, bool alert, int wake)
{
    std::ofstream(path, std::ios::trunc) << "first line\n";
    HighlightRule rule;
    rule.name = "Fatal";
    rule.pattern = "FATAL";
    rule.caseSensitive = true;
    rule.background = RuleColor::Of(platform::Rgb(200, 0, 0));
    rule.alert = rule.stop = alert;
    SetCurrentHighlightRules(std::make_shared<const CHighlightRules>(std::vector<HighlightRule>{rule}));

    Result r;
    CMemoryMappedFile file;
    if (!file.Open(path.c_str(), false))
        return r;
    headless::HeadlessPort port(40, 120);
    CFileWnd wnd(&port);
    if (!wnd.LoadFile(&file, EncodingAuto))
        return r;
    port.Paint(wnd);

    const std::int64_t t0 = NowNs();
    const pid_t pid = ::fork();
    if (pid == 0) {
        const int fd = ::open(path.c_str(), O_WRONLY | O_APPEND);
        if (fd < 0 || ::dup2(fd, 1) < 0)
            ::_exit(2);
        const std::string n = std::to_string(lines);
        ::execlp("seq", "seq", "1", n.c_str(), static_cast<char*>(nullptr));
        ::_exit(3);
    }
    bool writing = true;
    std::int64_t fatalAt = 0, quietSince = 0;
    const std::uint64_t finalSize = [&] {
        // seq's output: the digits of every number and a break each.
        std::uint64_t bytes = 0;
        for (long digits = 1, low = 1; low <= lines; ++digits, low *= 10)
            bytes += static_cast<std::uint64_t>(std::min(lines, low * 10 - 1) - low + 1) * (digits + 1);
        return bytes + 11 + 10;  // "first line\n" and "FATAL end\n"
    }();
    for (;;) {
        pollfd p{wake, POLLIN, 0};
        ::poll(&p, 1, 20);
        const std::int64_t a = NowNs();
        std::uint64_t count;
        [[maybe_unused]] ssize_t n = ::read(wake, &count, sizeof count);
        platform::DrainPostedMessages();
        port.Paint(wnd);
        const std::int64_t b = NowNs();
        r.maxGapMs = std::max(r.maxGapMs, static_cast<double>(b - a) / 1e6);
        ++r.loops;
        if (writing) {
            int status = 0;
            if (::waitpid(pid, &status, WNOHANG) == pid) {
                writing = false;
                r.writeS = static_cast<double>(NowNs() - t0) / 1e9;
                std::ofstream(path, std::ios::app) << "FATAL end\n";
                fatalAt = NowNs();
            }
            continue;
        }
        if (alert && wnd.IsFollowStopped() && !r.stopped) {
            r.stopped = true;
            r.stopLagMs = static_cast<double>(NowNs() - fatalAt) / 1e6;
        }
        const bool all = wnd.CharacterCount() == finalSize;
        if (all && !r.sawAll) {
            r.sawAll = true;
            quietSince = NowNs();
        }
        // Done once everything is shown and (with the alert) the stop came, or 5 s after everything was shown.
        if (r.sawAll && (r.stopped || NowNs() - quietSince > 5000000000LL))
            break;
        if (NowNs() - fatalAt > 120000000000LL)
            break;
    }
    wnd.OnDestroy();
    SetCurrentHighlightRules(nullptr);
    return r;
}

}  // namespace

int main(int argc, char** argv)
{
    const long lines = argc > 1 ? std::atol(argv[1]) : 50000000;
    char tmpl[] = "/tmp/ostrel-follow-rules-XXXXXX";
    const char* d = ::mkdtemp(tmpl);
    if (!d)
        return 1;
    const std::string dir = d, path = dir + "/followed.log";
    const int wake = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    platform::SetPostWakeHook([wake] {
        const std::uint64_t one = 1;
        [[maybe_unused]] ssize_t n = ::write(wake, &one, sizeof one);
    });

    std::printf("follow_rules: `seq 1 %ld >> followed.log` while the window follows it, one rule on FATAL\n", lines);
    const Result base = Run(path, lines, false, wake);
    const Result with = Run(path, lines, true, wake);
    std::printf("  without alert (colouring only): longest event-loop gap %8.2f ms over %d turns, writer %.2f s\n",
                base.maxGapMs, base.loops, base.writeS);
    std::printf("  alert and stop on FATAL:        longest event-loop gap %8.2f ms over %d turns, writer %.2f s\n",
                with.maxGapMs, with.loops, with.writeS);
    std::printf("  ratio with/without: %.2fx; stop at the last line %s, %.1f ms after its write\n",
                base.maxGapMs > 0 ? with.maxGapMs / base.maxGapMs : 0.0, with.stopped ? "came" : "NEVER CAME",
                with.stopLagMs);
    const bool met = with.maxGapMs < 50 && with.stopped && base.sawAll && with.sawAll;
    std::printf("  goal: gap under 50 ms with the rule, every line matched: %s\n", met ? "met" : "MISSED");

    platform::SetPostWakeHook(nullptr);
    ::close(wake);
    const std::string rm = "rm -rf '" + dir + "'";
    return std::system(rm.c_str()) == 0 && with.stopped ? 0 : 1;
}
