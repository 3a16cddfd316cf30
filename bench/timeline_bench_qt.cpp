// The timeline band's repaint for a 5 GiB log against a plain repaint of the text area in the same run.
//
// The summaries of a 5 GiB log (81920 blocks of 64 KiB, some 700 records each over a day, levels mixed, an
// error burst) are made in memory rather than read from a file: the band's cost depends on the blocks and
// its width, never on the text. Two repaints of a band 1920 pixels wide are timed: after news (the columns
// built again from every block, then painted) and for a scroll (the columns kept, painted again). The
// baseline is a full repaint of a text window 1920 x 1000 showing a log, as the text area repaints on a
// scroll. Goal: a band repaint under 5 ms.
//
// usage: timeline_bench_qt [GiB]   (default 5). Runs offscreen unless QT_QPA_PLATFORM says otherwise.
#include "engine/Timeline.h"
#include "file/MemoryMappedFile.h"
#include "textwnd/qt/FileWndWidget.h"
#include "view/qt/TimelineBand.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QImage>
#include <QPainter>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <vector>

namespace {

constexpr int kWidth = 1920;
constexpr int kRounds = 40;

std::vector<logformat::BlockSummary> Summaries(std::int64_t bytes)
{
    const std::size_t n = static_cast<std::size_t>(bytes / logformat::CRecordSummaries::kBlock);
    std::vector<logformat::BlockSummary> blocks(n);
    const std::int64_t start = 1765100000000000, day = 86400000000;
    for (std::size_t k = 0; k < n; ++k) {
        logformat::BlockSummary& b = blocks[k];
        b.minMicros = start + static_cast<std::int64_t>(k) * day / static_cast<std::int64_t>(n);
        b.maxMicros = b.minMicros + day / static_cast<std::int64_t>(n) - 1;
        b.firstLine = b.firstRecord = 0;
        const bool burst = k % 9000 < 60;
        for (int s = 0; s < logformat::kSlices; ++s)
            for (int l = 0; l < logformat::kLevels; ++l)
                b.counts[s][l] = static_cast<std::uint16_t>(l == 2 && burst ? 40 : (k + s + l) % 11);
    }
    return blocks;
}

template <typename F>
double MedianMs(F body)
{
    std::vector<double> ms;
    QElapsedTimer t;
    for (int r = 0; r < kRounds; ++r) {
        t.start();
        body();
        ms.push_back(static_cast<double>(t.nsecsElapsed()) / 1e6);
    }
    std::sort(ms.begin(), ms.end());
    return ms[ms.size() / 2];
}

}  // namespace

int main(int argc, char** argv)
{
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const double gib = argc > 1 ? std::atof(argv[1]) : 5.0;
    const auto bytes = static_cast<std::int64_t>(gib * 1024 * 1024 * 1024);
    const std::vector<logformat::BlockSummary> blocks = Summaries(bytes);

    // The text area's repaint, the baseline.
    QTemporaryDir dir;
    const QString path = dir.filePath("bench.log");
    {
        std::ofstream out(path.toStdString(), std::ios::binary);
        for (int i = 0; i < 40000; ++i)
            out << "2025-12-07 10:00:" << (i / 1000 % 60) << "." << (i % 1000) << (i % 7 == 2 ? " ERROR" : " INFO ")
                << " [worker-" << i % 16 << "] request " << i * 7919 << " handled in " << i % 997 << " ms\n";
    }
    CMemoryMappedFile file;
    if (!file.Open(path.toLocal8Bit().constData(), false)) {
        std::fprintf(stderr, "cannot open %s\n", qPrintable(path));
        return 1;
    }
    CFileWndWidget text;
    text.FileWnd().SetWatchFile(false);
    text.resize(kWidth, 1000);
    text.show();
    QApplication::processEvents();
    text.LoadFile(&file);
    QApplication::processEvents();
    const double textMs = MedianMs([&] { text.viewport()->repaint(); });

    // The band: the columns built from every block and painted, then painted alone.
    CTimelineBand band(&text, nullptr);
    const QColor page(0, 0, 0), neutral(128, 128, 128);
    std::array<QColor, 7> colours;
    for (int l = 0; l < 7; ++l)
        colours[static_cast<std::size_t>(l)] = band.LevelColor(l);
    QImage image(kWidth, CTimelineBand::kHeight, QImage::Format_RGB32);
    timeline::CTimeline tl;
    auto paint = [&] {
        QPainter p(&image);
        p.fillRect(image.rect(), page);
        CTimelineBand::PaintBars(p, tl, colours, neutral, image.height());
    };
    // News comes every 256 MiB the pass summarises: the band takes those blocks (it keeps the final ones it
    // took before) and builds the columns over all of them.
    const std::size_t fresh = std::min<std::size_t>(blocks.size(), (std::size_t{256} << 20) / 65536);
    std::vector<logformat::BlockSummary> kept(blocks.begin(), blocks.end() - static_cast<std::ptrdiff_t>(fresh));
    const double newsMs = MedianMs([&] {
        kept.resize(blocks.size() - fresh);
        const std::vector<logformat::BlockSummary> more(blocks.end() - static_cast<std::ptrdiff_t>(fresh),
                                                        blocks.end());
        kept.insert(kept.end(), more.begin(), more.end());
        tl.Build(kept.data(), kept.size(), kWidth);
        paint();
    });
    const double scrollMs = MedianMs(paint);

    std::printf("Timeline band, %d px wide, over the summaries of a %.1f GiB log (%zu blocks), median of %d:\n", kWidth,
                gib, blocks.size(), kRounds);
    std::printf("  text area repaint (1920 x 1000)   %8.3f ms\n", textMs);
    std::printf("  band repaint after news (build)   %8.3f ms   %.2fx the text area\n", newsMs, newsMs / textMs);
    std::printf("  band repaint for a scroll         %8.3f ms   %.2fx the text area\n", scrollMs, scrollMs / textMs);
    std::printf("  goal: a band repaint under 5 ms: %s\n", std::max(newsMs, scrollMs) < 5.0 ? "met" : "NOT met");
    return 0;
}
