// Time until the viewer is usable when many files are named at its start,
// against the same start with one file (the baseline of the same run).
//
// Usable: the first window shown, painted, its file loaded, and an Up key
// posted to its text window answered (the text scrolled a line). Also printed:
// the time until every window has loaded its file, and the longest time the
// event loop went without turning over (a 1 ms timer's longest wait, the
// start itself included) from the start until then, and from usable until
// then. Goal: 400 files usable in under 2 s.
//
// usage: start_files_bench_qt [FILES] [DIR]   (FILES: 400 by default; files
// are made once in DIR, default /tmp/ostrel-bench/start; each start has a
// fresh settings folder). Runs offscreen unless QT_QPA_PLATFORM says otherwise.
// Exits 1 when a start fails or a window never becomes usable.
#include "app/shell/ChildFrame.h"
#include "app/shell/MainFrame.h"
#include "app/shell/TextFileViewWidget.h"
#include "app/shell/TextFileViewerApp.h"
#include "platform/AppInfo.h"
#include "textwnd/FileWnd.h"
#include "textwnd/qt/FileWndWidget.h"
#include "view/TextFileView.h"

#include <QApplication>
#include <QDir>
#include <QEventLoop>
#include <QKeyEvent>
#include <QPointer>
#include <QSettings>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double Ms(Clock::duration d)
{
    return std::chrono::duration<double, std::milli>(d).count();
}

// A log of 1,000 stamped lines (about 80 KB), made once.
bool MakeLog(const std::string& path, int seed)
{
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0 && st.st_size > 0)
        return true;
    std::ofstream out(path, std::ios::binary);
    for (int i = 0; i < 1000; ++i) {
        char line[128];
        std::snprintf(line, sizeof line, "2026-12-08 03:%02d:%02d.%03d %s worker-%d request %06d handled\n",
                      i / 60 % 60, i % 60, (i * 7) % 1000, i % 50 == 0 ? "ERROR" : "INFO ", seed % 16, i * 31 + seed);
        out << line;
    }
    return static_cast<bool>(out);
}

struct StartFigures {
    bool ok = false;
    double usableMs = 0;      // from the call that starts the application to the key answered
    double allLoadedMs = 0;   // until every window has its file
    double longestGapMs = 0;  // the event loop's longest wait between two turns, until all loaded
    double usableGapMs = 0;   // the same from usable until all loaded: what a user at work meets
};

// Sees the first paint of each text window and the key press the benchmark posts.
class CWatch : public QObject {
public:
    std::vector<QObject*> painted;
    QObject* keyTarget = nullptr;
    bool keySeen = false;
    Clock::time_point keyAt;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Paint && qobject_cast<CFileWndWidget*>(watched) &&
            std::ranges::find(painted, watched) == painted.end())
            painted.push_back(watched);
        if (event->type() == QEvent::KeyPress && watched == keyTarget && !keySeen) {
            keySeen = true;
            keyAt = Clock::now();
        }
        return false;
    }
};

StartFigures Start(const std::vector<std::string>& files, const QString& settings)
{
    // A fresh profile each time: no settings, no database.
    QSettings stored(QSettings::NativeFormat, QSettings::UserScope, QString::fromUtf8(kProfileOrganization),
                     QString::fromUtf8(kApplicationTitle));
    stored.clear();
    stored.sync();
    QDir(settings + "/data").removeRecursively();

    StartFigures figures;
    CWatch watch;
    qApp->installEventFilter(&watch);
    auto app = std::make_unique<CTextFileViewerApp>();
    std::ostringstream errors;
    const Clock::time_point t0 = Clock::now();
    if (!app->InitInstance(files, errors)) {
        std::fprintf(stderr, "start failed: %s\n", errors.str().c_str());
        qApp->removeEventFilter(&watch);
        return figures;
    }
    CTextFileViewerMainFrame* frame = app->GetMainFrame();
    QPointer<CTextFileViewerChildFrame> first = frame->GetActiveChildFrame();
    CFileWndWidget* target = first ? first->GetViewWidget()->TextWindow() : nullptr;
    watch.keyTarget = target;
    TextPos topBefore = 0;
    bool keyPosted = false, usable = false, allLoaded = false;
    Clock::time_point lastTurn = t0;

    QEventLoop loop;
    QTimer tick;
    tick.setTimerType(Qt::PreciseTimer);
    tick.setInterval(1);
    QObject::connect(&tick, &QTimer::timeout, [&] {
        const Clock::time_point now = Clock::now();
        figures.longestGapMs = std::max(figures.longestGapMs, Ms(now - lastTurn));
        if (usable && !allLoaded)
            figures.usableGapMs = std::max(figures.usableGapMs, Ms(now - lastTurn));
        lastTurn = now;
        if (!first || !target) {
            loop.quit();
            return;
        }
        CTextFileView* view = first->GetActiveView();
        // The key goes in once the window has shown its text: what a user who presses it sees answered.
        if (!keyPosted && view->IsLoaded() && std::ranges::find(watch.painted, target) != watch.painted.end()) {
            topBefore = target->FileWnd().GetTop();
            QCoreApplication::postEvent(target, new QKeyEvent(QEvent::KeyPress, Qt::Key_Up, Qt::NoModifier));
            QCoreApplication::postEvent(target, new QKeyEvent(QEvent::KeyRelease, Qt::Key_Up, Qt::NoModifier));
            keyPosted = true;
        }
        if (watch.keySeen && !usable && target->FileWnd().GetTop() != topBefore) {
            usable = true;
            figures.usableMs = Ms(watch.keyAt - t0);
        }
        if (!allLoaded) {
            const QList<CTextFileViewerChildFrame*> frames = frame->GetChildFrames();
            allLoaded = frames.size() == static_cast<qsizetype>(files.size()) &&
                        std::ranges::all_of(frames, [](auto* f) { return f->GetActiveView()->IsLoaded(); });
            if (allLoaded)
                figures.allLoadedMs = Ms(now - t0);
        }
        if (usable && allLoaded)
            loop.quit();
    });
    QTimer::singleShot(120000, &loop, &QEventLoop::quit);
    tick.start();
    loop.exec();
    tick.stop();
    qApp->removeEventFilter(&watch);
    figures.ok = usable && allLoaded;
    if (!figures.ok)
        std::fprintf(stderr, "%zu files: %s\n", files.size(),
                     !usable ? "the first window never answered its key" : "not every window loaded its file");
    app->ExitInstance();
    return figures;
}

// The median of three starts by time to usable.
StartFigures Median(const std::vector<std::string>& files, const QString& settings)
{
    std::vector<StartFigures> runs;
    for (int i = 0; i < 3; ++i) {
        runs.push_back(Start(files, settings));
        if (!runs.back().ok)
            return runs.back();
    }
    std::ranges::sort(runs, {}, &StartFigures::usableMs);
    return runs[1];
}

}  // namespace

int main(int argc, char** argv)
{
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    const int count = argc > 1 ? std::max(1, std::atoi(argv[1])) : 400;
    const std::string dir = argc > 2 ? argv[2] : "/tmp/ostrel-bench/start";
    QDir().mkpath(QString::fromStdString(dir) + "/logs");
    std::vector<std::string> files;
    for (int i = 0; i < count; ++i) {
        char name[64];
        std::snprintf(name, sizeof name, "/logs/service-%03d.log", i);
        files.push_back(dir + name);
        if (!MakeLog(files.back(), i)) {
            std::fprintf(stderr, "cannot write %s\n", files.back().c_str());
            return 1;
        }
    }
    const QString settings = QString::fromStdString(dir) + "/profile";
    QDir(settings).removeRecursively();
    qputenv("XDG_CONFIG_HOME", (settings + "/config").toLocal8Bit());
    qputenv("XDG_DATA_HOME", (settings + "/data").toLocal8Bit());
    int qtArgc = 1;
    QApplication app(qtArgc, argv);

    const StartFigures one = Median({files.front()}, settings);
    const StartFigures many = Median(files, settings);
    QDir(settings).removeRecursively();
    if (!one.ok || !many.ok)
        return 1;
    std::printf("start with 1 file:    usable %8.1f ms, all loaded %8.1f ms, longest loop gap %7.1f ms\n", one.usableMs,
                one.allLoadedMs, one.longestGapMs);
    std::printf("start with %d files: usable %8.1f ms, all loaded %8.1f ms, longest loop gap %7.1f ms "
                "(%.1f ms once usable)\n",
                count, many.usableMs, many.allLoadedMs, many.longestGapMs, many.usableGapMs);
    std::printf("usable, %d files against 1: %.2fx (goal: under 2000 ms)\n", count, many.usableMs / one.usableMs);
    return 0;
}
