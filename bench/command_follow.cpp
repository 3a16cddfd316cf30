// A window that follows a command writing fast: how long its UI thread is kept from the next event.
//
//   command_follow [MB_PER_S] [SECONDS]     (defaults 100 5)
//
// The command (run by /bin/sh -c, as Open Command runs one) writes log lines at MB_PER_S for SECONDS. The
// window (CFileWnd on a headless port, as the viewer's) runs on this thread as the UI thread would: it sleeps
// until a posted message wakes it, delivers the messages (the reloads) and paints. The longest of those
// turns is the longest the event loop stops (goal: under 50 ms).
//
// Baseline, in the same run: the same writer appending to a file on disk that a window follows, the work a
// followed log costs anyway; the ratio is the command's longest turn against the file's.
#include "file/MemoryMappedFile.h"
#include "file/StreamSource.h"
#include "file/TextFileDoc.h"
#include "platform/Window.h"
#include "tools/headless/HeadlessWindow.h"

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <poll.h>
#include <string>
#include <sys/eventfd.h>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

double Ms(Clock::duration d)
{
    return std::chrono::duration<double, std::milli>(d).count();
}

// A writer of log lines at `rate` MB/s for `seconds`, in 10 ms portions, as a shell command line.
std::string WriterCommand(long rate, long seconds)
{
    return "python3 -c '\n"
           "import sys, time\n"
           "line = b\"2026-12-08 10:00:00.000 INFO  [worker-1] request served in 12 ms, user=u0001 "
           "path=/api/v1/items\\n\"\n"
           "chunk = line * (" +
           std::to_string(rate) + " * 10000 // len(line))\n" + "out = sys.stdout.buffer\n" +
           "t = time.monotonic(); end = t + " + std::to_string(seconds) + "\n" +
           "while t < end:\n"
           "    out.write(chunk); out.flush(); t += 0.01\n"
           "    d = t - time.monotonic()\n"
           "    if d > 0: time.sleep(d)\n"
           "'";
}

struct Turns {
    double longestMs = 0;
    long turns = 0;
    long long bytes = 0;
};

// Runs the UI loop of `wnd` until `done` says the writer is over and the window has taken everything.
template <typename Done>
Turns Follow(CFileWnd& wnd, headless::HeadlessPort& port, int wake, long seconds, Done done)
{
    Turns t;
    const Clock::time_point deadline = Clock::now() + std::chrono::seconds(seconds + 30);
    while (Clock::now() < deadline) {
        pollfd p{wake, POLLIN, 0};
        if (::poll(&p, 1, 100) > 0) {
            std::uint64_t count;
            [[maybe_unused]] ssize_t n = ::read(wake, &count, sizeof count);
        }
        const Clock::time_point a = Clock::now();
        platform::DrainPostedMessages();
        port.Paint(wnd);
        t.longestMs = std::max(t.longestMs, Ms(Clock::now() - a));
        ++t.turns;
        if (done())
            break;
    }
    if (Clock::now() >= deadline)
        std::fprintf(stderr, "the writer's end was never seen\n");
    t.bytes = wnd.HasText() ? wnd.DataEnd() - wnd.DataStart() : 0;
    return t;
}

}  // namespace

int main(int argc, char** argv)
{
    const long rate = argc > 1 ? std::atol(argv[1]) : 100;
    const long seconds = argc > 2 ? std::atol(argv[2]) : 5;
    const int wake = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    platform::SetPostWakeHook([wake] {
        const std::uint64_t one = 1;
        [[maybe_unused]] ssize_t n = ::write(wake, &one, sizeof one);
    });
    const std::string command = WriterCommand(rate, seconds);

    // Baseline: a file on disk, appended to by the same writer, followed by a window.
    char dir[] = "/tmp/ostrel-command-follow-XXXXXX";
    if (!::mkdtemp(dir))
        return 1;
    const std::string path = std::string(dir) + "/written.log";
    if (std::system(("printf '2026-12-08 10:00:00.000 INFO  start\\n' > " + path).c_str()) != 0)
        return 1;
    Turns file;
    {
        CMemoryMappedFile mapping;
        headless::HeadlessPort port(50, 120);
        CFileWnd wnd(&port);
        if (!mapping.Open(path.c_str(), false) || !wnd.LoadFile(&mapping, EncodingAuto) || !wnd.GetWatcher()) {
            std::fprintf(stderr, "the file cannot be followed\n");
            return 1;
        }
        wnd.OnKeyDown(kVkEnd);
        const std::string run = command + " >> " + path + " & echo $!";
        FILE* started = ::popen(run.c_str(), "r");
        long pid = 0;
        if (!started || std::fscanf(started, "%ld", &pid) != 1)
            return 1;
        ::pclose(started);
        const long long expected = rate * 1000000LL * seconds;  // what the writer writes, about
        file = Follow(wnd, port, wake, seconds, [&] {
            return ::kill(static_cast<pid_t>(pid), 0) != 0 && wnd.DataEnd() - wnd.DataStart() >= expected / 2 &&
                   static_cast<std::uint64_t>(wnd.DataEnd()) >= mapping.Size();
        });
    }
    std::system(("rm -rf " + std::string(dir)).c_str());

    // The command, as Open Command runs it.
    Turns cmd;
    {
        CTextFileDoc doc;
        std::string error;
        if (!doc.OnOpenCommand(command, error)) {
            std::fprintf(stderr, "the command cannot be run: %s\n", error.c_str());
            return 1;
        }
        while (!doc.IsReadyToShow())
            ::usleep(1000);
        headless::HeadlessPort port(50, 120);
        CFileWnd wnd(&port);
        if (!wnd.LoadFile(doc.GetMappedFile(), EncodingAuto)) {
            std::fprintf(stderr, "the command's text cannot be shown\n");
            return 1;
        }
        wnd.OnKeyDown(kVkEnd);
        int status = 0;
        cmd = Follow(wnd, port, wake, seconds, [&] {
            return doc.CommandEnded(status, 0) &&
                   doc.GetSource()->GetProgress().state != CStreamSource::State::Running &&
                   static_cast<std::uint64_t>(wnd.DataEnd()) >= doc.GetMappedFile()->Size();
        });
        doc.OnCloseDocument();
    }
    platform::SetPostWakeHook(nullptr);

    std::printf("a writer of %ld MB/s for %ld s\n", rate, seconds);
    std::printf("file on disk followed:   longest turn %6.2f ms over %ld turns, %lld bytes shown\n", file.longestMs,
                file.turns, file.bytes);
    std::printf("command output followed: longest turn %6.2f ms over %ld turns, %lld bytes shown  ratio %.2f  "
                "(goal: under 50 ms)\n",
                cmd.longestMs, cmd.turns, cmd.bytes, file.longestMs > 0 ? cmd.longestMs / file.longestMs : 0.0);
    return cmd.longestMs < 50 ? 0 : 2;
}
