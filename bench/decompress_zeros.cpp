// A compressed file that decompresses to far more than the text limit, of
// text without a single line break (2,000 gzip members of 10 MiB of zeros):
// how long the window's event loop is held up while it is read and shown,
// and how long the text takes to reach the limit, against `gzip -dc | head -c
// LIMIT` to /dev/null (the probe), measured in the same run.
//
//   decompress_zeros [limit_mib] [members]     (defaults 4096 2000)
//
// Our side is the whole path of a document and one window on it, headless,
// on this thread as the UI thread would run it: the document's background
// reader, the window loaded once the document is ready to show, the window
// following the text and painted at each turn. A turn is one wake-up of the
// loop: its messages delivered and the window painted; the longest is the
// longest event-loop gap.
#include "file/TextFileDoc.h"
#include "platform/Window.h"
#include "textwnd/FileWnd.h"
#include "tools/headless/HeadlessWindow.h"

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <poll.h>
#include <string>
#include <sys/eventfd.h>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point from)
{
    return std::chrono::duration<double>(Clock::now() - from).count();
}

}  // namespace

int main(int argc, char** argv)
{
    const std::uint64_t limit = (argc > 1 ? std::strtoull(argv[1], nullptr, 10) : 4096) << 20;
    const int members = argc > 2 ? std::atoi(argv[2]) : 2000;
    char folder[] = "/tmp/ostrel-zeros-XXXXXX";
    if (!::mkdtemp(folder))
        return 1;
    const std::string dir = folder, member = dir + "/m.gz", path = dir + "/zeros.gz";
    if (std::system(("head -c 10485760 /dev/zero | gzip -c > '" + member + "'").c_str()) != 0)
        return 1;
    {
        std::ifstream in(member, std::ios::binary);
        const std::string one((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        std::ofstream out(path, std::ios::binary);
        for (int i = 0; i < members; ++i)
            out << one;
    }
    std::printf("decompress_zeros: %d gzip members of 10 MiB of zeros, text limit %llu MiB\n", members,
                static_cast<unsigned long long>(limit >> 20));

    // The probe: the same text to the same limit through a pipe.
    auto start = Clock::now();
    const std::string probe = "gzip -dc '" + path + "' 2>/dev/null | head -c " + std::to_string(limit) + " > /dev/null";
    if (std::system(probe.c_str()) != 0)
        return 1;
    const double probeS = Seconds(start);

    const int wake = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    platform::SetPostWakeHook([wake] {
        const std::uint64_t one = 1;
        [[maybe_unused]] ssize_t n = ::write(wake, &one, sizeof one);
    });
    CTextFileDoc::SetTextLimit(limit);
    double maxTurnMs = 0, readyS = -1, endS = -1, shownS = -1, loadMs = 0;
    int turns = 0;
    {
        start = Clock::now();
        CTextFileDoc doc;
        if (!doc.OnOpenDocument(path.c_str()) || !doc.GetSource())
            return 1;
        headless::HeadlessPort port(40, 120);
        CFileWnd wnd(&port);
        wnd.SetCountLines(true);
        doc.GetSource()->AddWindow(wnd.GetSafeHwnd());
        bool loaded = false;
        for (;;) {
            pollfd p{wake, POLLIN, 0};
            ::poll(&p, 1, 20);
            const auto a = Clock::now();
            std::uint64_t count;
            [[maybe_unused]] ssize_t n = ::read(wake, &count, sizeof count);
            platform::DrainPostedMessages();
            const CStreamSource::Progress progress = doc.GetSource()->GetProgress();
            if (!loaded && doc.IsReadyToShow()) {
                readyS = Seconds(start);
                loaded = wnd.LoadFile(doc.GetMappedFile(), EncodingAuto);
                wnd.OnKeyDown(kVkEnd);
                port.Paint(wnd);
                loadMs = Seconds(start) * 1000 - readyS * 1000;
                if (!loaded)
                    break;
            }
            if (loaded)
                port.Paint(wnd);
            maxTurnMs = std::max(maxTurnMs, std::chrono::duration<double, std::milli>(Clock::now() - a).count());
            ++turns;
            if (progress.state != CStreamSource::State::Running && endS < 0)
                endS = Seconds(start);
            if (loaded && endS >= 0 && wnd.CharacterCount() == progress.bytes) {
                shownS = Seconds(start);
                break;
            }
            if (Seconds(start) > 600)
                break;
        }
        wnd.OnDestroy();
    }
    platform::SetPostWakeHook(nullptr);
    ::close(wake);

    std::printf("  probe (gzip -dc | head -c %llu):        %7.2f s\n", static_cast<unsigned long long>(limit), probeS);
    std::printf("  ours: text at the limit after              %7.2f s (ratio %.2fx; goal <= 1.5x %s)\n", endS,
                probeS > 0 ? endS / probeS : 0.0, endS >= 0 && endS <= 1.5 * probeS ? "met" : "MISSED");
    std::printf("  ours: shown (window loaded at %.2f s, in %.2f ms) after %7.2f s\n", readyS, loadMs, shownS);
    std::printf("  longest event-loop gap: %.2f ms over %d turns (goal < 50 ms %s)\n", maxTurnMs, turns,
                maxTurnMs < 50 ? "met" : "MISSED");
    std::system(("rm -rf '" + dir + "'").c_str());
    return shownS >= 0 ? 0 : 1;
}
