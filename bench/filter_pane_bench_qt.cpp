// The filter pane's worker against the window's event loop: while the pane
// lists a large log (a literal in about 1 % of the lines, then ERROR|WARN as
// a regular expression, a third of them), a 5 ms timer measures the longest
// gap between its events and a 50 ms timer pages the view down, as a user
// would. Baseline of the same run: the longest gap of the same loop, paging
// the same way, with no filter. Goal: no gap above 50 ms.
//
// usage: filter_pane_bench_qt [DIR] [MiB]   (the log is made once in DIR,
// default /tmp/ostrel-bench, of MiB mebibytes, default 256; the goal's
// figure is for 5120.) Runs offscreen unless QT_QPA_PLATFORM says otherwise.
#include "textwnd/qt/FilterPane.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <sys/stat.h>

namespace {

// Log lines of about 100 bytes: one in 100 holds "FATAL", a third ERROR or WARN.
bool MakeLog(const std::string& path, std::uint64_t bytes)
{
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0 && static_cast<std::uint64_t>(st.st_size) >= bytes)
        return true;
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f)
        return false;
    static const char* const kLevels[] = {"INFO ", "ERROR", "DEBUG", "WARN ", "INFO ", "DEBUG"};
    char line[160];
    std::uint64_t written = 0;
    for (unsigned n = 0; written < bytes; ++n) {
        const int len = std::snprintf(line, sizeof line,
                                      "2024-05-01 12:%02u:%02u.%03u %s [worker-%u] request %u handled in %u ms%s\n",
                                      n / 60000 % 60, n / 1000 % 60, n % 1000, kLevels[n % 6], n % 16, n * 7919u,
                                      n % 997, n % 100 == 42 ? " FATAL" : "");
        written += std::fwrite(line, 1, static_cast<std::size_t>(len), f);
    }
    return std::fclose(f) == 0;
}

struct Gaps {
    qint64 longestMs = 0;
    qint64 elapsedMs = 0;
};

// Runs the loop until `done` holds (or `limitMs` passed), timing the gaps of a 5 ms timer and paging the view.
template <typename Done>
Gaps RunLoop(CFileWndWidget& view, Done done, qint64 limitMs)
{
    Gaps g;
    QElapsedTimer clock, since;
    clock.start();
    since.start();
    QTimer tick, page;
    QObject::connect(&tick, &QTimer::timeout, [&] {
        g.longestMs = std::max(g.longestMs, since.restart());
        if (done() || clock.elapsed() > limitMs)
            QCoreApplication::exit(0);
    });
    QObject::connect(&page, &QTimer::timeout, [&] {
        QKeyEvent key(QEvent::KeyPress, Qt::Key_PageDown, Qt::NoModifier);
        QCoreApplication::sendEvent(&view, &key);
    });
    tick.start(5);
    page.start(50);
    QCoreApplication::exec();
    g.elapsedMs = clock.elapsed();
    return g;
}

}  // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const std::string dir = argc > 1 ? argv[1] : "/tmp/ostrel-bench";
    const std::uint64_t mib = argc > 2 ? std::strtoull(argv[2], nullptr, 10) : 256;
    ::mkdir(dir.c_str(), 0755);
    const std::string path = dir + "/filter" + std::to_string(mib) + "m.log";
    CMemoryMappedFile file;
    if (!MakeLog(path, mib << 20) || !file.Open(path.c_str(), false)) {
        std::fprintf(stderr, "filter_pane_bench_qt: cannot make %s\n", path.c_str());
        return 1;
    }
    CFileWndWidget view;
    view.FileWnd().SetWatchFile(false);
    view.resize(900, 600);
    view.show();
    QCoreApplication::processEvents();
    view.LoadFile(&file, EncodingAuto);
    CFilterPane pane(&view, nullptr);
    pane.resize(900, 250);

    std::printf("filter pane over %s (%llu MiB)\n", path.c_str(), static_cast<unsigned long long>(mib));
    const Gaps idle = RunLoop(
        view, [] { return false; }, 1000);
    std::printf("  no filter:     longest event-loop gap %4lld ms (baseline, paging the view)\n",
                static_cast<long long>(idle.longestMs));
    struct Case {
        const char* name;
        linefilter::FilterQuery query;
    };
    const Case cases[] = {{"FATAL", {u"FATAL", false, false, false}},
                          {"ERROR|WARN (regex)", {u"ERROR|WARN", true, false, false}}};
    int worst = 0;
    for (const Case& c : cases) {
        std::string error;
        if (!pane.Start(c.query, &error)) {
            std::fprintf(stderr, "filter_pane_bench_qt: %s\n", error.c_str());
            return 1;
        }
        const Gaps g = RunLoop(
            view, [&] { return !pane.Filter().Status().running; }, 600000);
        std::printf("  %-20s %lld lines in %6lld ms; longest event-loop gap %4lld ms (goal <= 50)\n", c.name,
                    static_cast<long long>(pane.Filter().Count()), static_cast<long long>(g.elapsedMs),
                    static_cast<long long>(g.longestMs));
        worst = std::max(worst, static_cast<int>(g.longestMs));
    }
    std::printf("  longest gap %d ms: %s\n", worst, worst <= 50 ? "within the goal" : "ABOVE the goal");
    return 0;
}
