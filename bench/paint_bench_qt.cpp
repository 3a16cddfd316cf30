// Cost of drawing the text window with Qt, against the same window drawn
// through the recording painter (the core's own work, no pixels):
//   1. one full screen painted onto a QImage (QPainter) vs the recorder;
//   2. 1000 line-downs from the top of a file of 200-byte lines, and of a file
//      whose lines are 1 MiB long: the window's steps alone (headless), then
//      each step followed by the paint of the uncovered strip through the Qt
//      widget's event loop (scroll of the backing store + paint + flush).
//
// usage: paint_bench_qt [DIR]   (files are made once in DIR, default /tmp/ostrel-bench)
// Runs offscreen unless QT_QPA_PLATFORM says otherwise.
#include "textwnd/qt/FileWndWidget.h"
#include "tools/headless/HeadlessWindow.h"

#include <QApplication>
#include <QImage>
#include <QPainter>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double Ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

constexpr int kWidth = 1200;  // client area of the benchmarked window, pixels
constexpr int kHeight = 800;
constexpr int kSteps = 1000;

LOGFONTW DisplayFont()
{
    LOGFONTW lf{};
    lf.lfHeight = 13;  // "Courier New" at 10 points on a 96 dpi screen
    lf.lfWeight = FW_NORMAL;
    const char16_t face[] = u"Courier New";
    std::memcpy(lf.lfFaceName, face, sizeof face);
    return lf;
}

// `lines` lines of `length` bytes each (line break included), made once.
bool MakeFile(const std::string& path, std::uint64_t lines, std::uint64_t length)
{
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0 && static_cast<std::uint64_t>(st.st_size) == lines * length)
        return true;
    const int fd = ::open(path.c_str(), O_CREAT | O_TRUNC | O_WRONLY, 0644);
    if (fd < 0)
        return false;
    std::string line(length, ' ');
    bool ok = true;
    for (std::uint64_t i = 0; i < lines && ok; ++i) {
        for (std::uint64_t k = 0; k + 1 < length; ++k)
            line[k] = static_cast<char>('!' + (i * 7 + k) % 90);
        char head[48];
        const int n = std::snprintf(head, sizeof head, "%08llu INFO req=%06llu ", (unsigned long long)i,
                                    (unsigned long long)(i * 31 % 1000000));
        std::memcpy(line.data(), head, std::min<std::size_t>(static_cast<std::size_t>(n), length - 1));
        line[length - 1] = '\n';
        ok = ::write(fd, line.data(), line.size()) == static_cast<ssize_t>(line.size());
    }
    return ::close(fd) == 0 && ok;
}

// The best of `rounds` batches of `reps` calls, per call.
template <typename F>
double BestMs(int rounds, int reps, F&& f)
{
    double best = 1e300;
    for (int r = 0; r < rounds; ++r) {
        const auto t0 = Clock::now();
        for (int i = 0; i < reps; ++i)
            f();
        best = std::min(best, Ms(Clock::now() - t0) / reps);
    }
    return best;
}

struct QtWindow {
    CFileWndWidget widget;
    explicit QtWindow(CMemoryMappedFile& file)
    {
        widget.FileWnd().m_bWatchFile = false;
        widget.FileWnd().SetLogFont(DisplayFont());
        widget.FileWnd().m_crFont = RGB(255, 255, 255);
        widget.FileWnd().m_crPage = RGB(0, 0, 0);
        widget.show();
        const QSize frame = widget.size() - widget.viewport()->size();
        widget.resize(QSize(kWidth, kHeight) + frame);
        QCoreApplication::processEvents();
        widget.LoadFile(&file, EncodingAuto);
        QCoreApplication::processEvents();
    }
    CFileWnd& Wnd() { return widget.FileWnd(); }
};

struct HeadlessWindow {
    headless::HeadlessPort port;
    CFileWnd wnd{&port};
    HeadlessWindow(CMemoryMappedFile& file, int rows, int cols) : port(rows, cols)
    {
        wnd.m_bWatchFile = false;
        wnd.LoadFile(&file, EncodingAuto);
    }
};

void PaintFullScreen(CMemoryMappedFile& file)
{
    QtWindow qt(file);
    CFileWnd& w = qt.Wnd();
    w.OnKeyDown(VK_HOME);
    const QSize client = qt.widget.viewport()->size();
    const int rows = client.height() / w.GetLineHeight();
    const int cols = client.width() / w.GetCharWidth();
    QImage image(client, QImage::Format_ARGB32_Premultiplied);
    CQtFontCache fonts;
    const double qtMs = BestMs(5, 40, [&] {
        QPainter p(&image);
        CQtFilePainter painter(p, QRegion(image.rect()), fonts, w.GetCharWidth(), &image);
        w.OnPaint(painter);
    });

    // The strip a line-down uncovers: one row drawn (all rows still read).
    const QRegion strip(0, (rows - 1) * w.GetLineHeight(), client.width(), w.GetLineHeight());
    const double qtStripMs = BestMs(5, 200, [&] {
        QPainter p(&image);
        p.setClipRegion(strip);
        CQtFilePainter painter(p, strip, fonts, w.GetCharWidth(), &image);
        w.OnPaint(painter);
    });

    HeadlessWindow hw(file, rows, cols);
    hw.wnd.OnKeyDown(VK_HOME);
    const double recMs = BestMs(5, 40, [&] { hw.port.Paint(hw.wnd, true); });

    std::printf("full screen, %d rows x %d columns of 200-byte lines (cell %dx%d px):\n", rows, cols,
                w.GetCharWidth(), w.GetLineHeight());
    std::printf("  QPainter onto a QImage   %8.3f ms\n", qtMs);
    std::printf("  recording painter        %8.3f ms\n", recMs);
    std::printf("  ratio Qt / recorder      %8.1f\n", qtMs / recMs);
    std::printf("  QPainter, one-row strip  %8.3f ms\n", qtStripMs);
}

void LineDowns(CMemoryMappedFile& file, const char* what)
{
    QtWindow qt(file);
    CFileWnd& w = qt.Wnd();
    const QSize client = qt.widget.viewport()->size();
    const int rows = client.height() / w.GetLineHeight();
    const int cols = client.width() / w.GetCharWidth();

    // The window's steps alone: scan to the next line, move the image.
    HeadlessWindow hw(file, rows, cols);
    hw.wnd.OnKeyDown(VK_HOME);
    auto t0 = Clock::now();
    int moved = 0;
    for (int i = 0; i < kSteps; ++i) {
        const TextPos before = hw.wnd.m_pTop;
        hw.wnd.OnVScroll(SB_LINEDOWN);
        moved += hw.wnd.m_pTop != before;
    }
    const double coreMs = Ms(Clock::now() - t0);

    // Each step painted through the recorder (the strip, as the real window).
    hw.wnd.OnKeyDown(VK_HOME);
    hw.port.Paint(hw.wnd, true);
    t0 = Clock::now();
    for (int i = 0; i < kSteps; ++i) {
        hw.wnd.OnVScroll(SB_LINEDOWN);
        hw.port.Paint(hw.wnd);
    }
    const double recMs = Ms(Clock::now() - t0);

    // Through Qt: the step, then the event loop paints the uncovered strip.
    w.OnKeyDown(VK_HOME);
    qt.widget.viewport()->repaint();
    QCoreApplication::processEvents();
    t0 = Clock::now();
    for (int i = 0; i < kSteps; ++i) {
        w.OnVScroll(SB_LINEDOWN);
        QCoreApplication::processEvents();
    }
    const double qtMs = Ms(Clock::now() - t0);

    std::printf("%d line-downs from the top, %s (%d rows, %d moved):\n", kSteps, what, rows, moved);
    std::printf("  steps alone (headless)         %9.2f ms  (%.4f ms each)\n", coreMs, coreMs / kSteps);
    std::printf("  steps + recorder strip paint   %9.2f ms  (%.4f ms each)\n", recMs, recMs / kSteps);
    std::printf("  steps + Qt strip paint         %9.2f ms  (%.4f ms each)\n", qtMs, qtMs / kSteps);
    std::printf("  ratio Qt / steps alone         %9.1f\n", qtMs / coreMs);
}

}  // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const std::string dir = argc > 1 ? argv[1] : "/tmp/ostrel-bench";
    ::mkdir(dir.c_str(), 0755);

    const std::string shortLines = dir + "/lines200.log";
    const std::string longLines = dir + "/lines1m.log";
    // Enough 1 MiB lines for 1000 steps below a full screen (about 1.1 GiB).
    if (!MakeFile(shortLines, 20000, 200) || !MakeFile(longLines, kSteps + 100, 1 << 20)) {
        std::fprintf(stderr, "paint_bench_qt: cannot write the test files in %s\n", dir.c_str());
        return 1;
    }
    CMemoryMappedFile shortFile, longFile;
    if (!shortFile.Open(shortLines.c_str(), false) || !longFile.Open(longLines.c_str(), false)) {
        std::fprintf(stderr, "paint_bench_qt: cannot map the test files\n");
        return 1;
    }

    PaintFullScreen(shortFile);
    std::printf("\n");
    LineDowns(shortFile, "200-byte lines");
    std::printf("\n");
    LineDowns(longFile, "1 MiB lines");
    return 0;
}
