// Cost of drawing the text window with Qt, against the same window drawn
// through the recording painter (the core's own work, no pixels):
//   1. one full screen painted onto a QImage (QPainter) vs the recorder;
//   2. 1000 line-downs from the top of a file of 200-byte lines, and of a file
//      whose lines are 1 MiB long (also under UTF-8, where a long line keeps
//      column checkpoints): the window's steps alone (headless), then
//      each step followed by the paint of the uncovered strip through the Qt
//      widget's event loop (scroll of the backing store + paint + flush);
//   3. one line of 300 MiB (ANSI), the same length of Latin text in UTF-8
//      with one letter in ten a two-byte letter, and one of 1 GiB (UTF-16,
//      512 Mi units), with a tab every 100 characters: a full repaint at the
//      horizontal offsets 0, the middle and the end, the heap it takes, and a
//      Right press near the end (sideways scroll + strip paint through Qt).
//      Goals: for the 300 MiB lines under 100 ms per repaint at any offset
//      and for the press; for all no more heap than a screenful. The UTF-8
//      line's first repaint, which measures it whole, is shown beside.
//      Baselines of the same run: the full screen of 200-byte lines of 1.,
//      and one memchr over the whole line (what reading it must cost).
//   4. a full screen of Latin text with accents, in Windows-1252 under that
//      code page and in UTF-8 under UTF-8: goal at most 1.3 times the time.
//   5. 20 highlight rules (regular and plain, whole-line and match, some
//      matching every line): a full repaint through Qt with them against the
//      same repaint without rules, on the 200-byte lines and on the 300 MiB
//      line (ANSI, at its middle). Goal: at most 1.5 times.
//   6. Log Levels (each record coloured by its level, read by the file's
//      format) on a Java log with stack traces, against the same repaint
//      without rules, at the top and with the top row inside a stack trace.
//      Goal: at most 1.3 times.
//
// usage: paint_bench_qt [DIR] [rules|levels]   (files are made once in DIR,
// default /tmp/ostrel-bench; "rules": only the files and figures of 5. and 6.,
// "levels": only 6.)
// Runs offscreen unless QT_QPA_PLATFORM says otherwise.
#include "engine/HighlightRules.h"
#include "platform/Win1252.h"
#include "textwnd/qt/FileWndWidget.h"
#include "tools/headless/HeadlessWindow.h"

#include <QApplication>
#include <QImage>
#include <QPainter>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <malloc.h>
#include <new>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

using platform::kFwNormal;
using platform::LOGFONTW;
using platform::Rgb;

// The heap held through operator new, counted so that a repaint's own
// allocations can be shown (Qt's internal malloc calls are not counted).
namespace {
std::atomic<std::size_t> g_heapLive{0};
std::atomic<std::size_t> g_heapPeak{0};
}  // namespace

void* operator new(std::size_t n)
{
    void* p = std::malloc(n ? n : 1);
    if (!p)
        throw std::bad_alloc();
    const std::size_t live = g_heapLive += malloc_usable_size(p);
    std::size_t peak = g_heapPeak.load(std::memory_order_relaxed);
    while (live > peak && !g_heapPeak.compare_exchange_weak(peak, live))
        ;
    return p;
}

void operator delete(void* p) noexcept
{
    if (p) {
        g_heapLive -= malloc_usable_size(p);
        std::free(p);
    }
}

void operator delete(void* p, std::size_t) noexcept
{
    operator delete(p);
}

namespace {

using Clock = std::chrono::steady_clock;

double Ms(Clock::duration d)
{
    return std::chrono::duration<double, std::milli>(d).count();
}

constexpr int kWidth = 1200;  // client area of the benchmarked window, pixels
constexpr int kHeight = 800;
constexpr int kSteps = 1000;

LOGFONTW DisplayFont()
{
    LOGFONTW lf{};
    lf.lfHeight = 13;  // "Courier New" at 10 points on a 96 dpi screen
    lf.lfWeight = kFwNormal;
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

// The most heap that one call of f held beyond what was held before it.
template <typename F>
std::size_t HeapPeak(F&& f)
{
    const std::size_t before = g_heapLive.load();
    g_heapPeak = before;
    f();
    return g_heapPeak.load() - before;
}

enum class LineKind { Ansi, Utf8, Utf16 };

// One line of `units` code units (UTF-16 LE with its mark when wide), no
// break: words of a log with a tab every 100 characters. In UTF-8 the same
// number of bytes, every tenth letter a two-byte letter. Made once.
bool MakeLongLine(const std::string& path, std::uint64_t units, LineKind kind)
{
    const bool wide = kind == LineKind::Utf16;
    const std::uint64_t size = (wide ? 2 : 0) + units * (wide ? 2 : 1);
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0 && static_cast<std::uint64_t>(st.st_size) == size)
        return true;
    const int fd = ::open(path.c_str(), O_CREAT | O_TRUNC | O_WRONLY, 0644);
    if (fd < 0)
        return false;
    bool ok = !wide || ::write(fd, "\xFF\xFE", 2) == 2;
    constexpr std::uint64_t kChunk = 1 << 20;
    std::string text(kChunk, ' ');
    std::string bytes;
    for (std::uint64_t done = 0; done < units && ok;) {
        const std::uint64_t n = std::min(kChunk, units - done);
        for (std::uint64_t k = 0; k < n; ++k) {
            const std::uint64_t i = done + k;
            text[k] = i % 100 == 99 ? '\t' : i % 8 == 7 ? ' ' : static_cast<char>('a' + i / 8 % 26);
            // é (C3 A9) in place of two letters: one letter in ten is two bytes.
            if (kind == LineKind::Utf8 && i % 12 == 5 && k + 1 < n && i % 100 < 98 && i % 8 < 6) {
                text[k] = '\xC3';
                text[++k] = '\xA9';
            }
        }
        if (wide) {
            bytes.assign(2 * n, '\0');
            for (std::uint64_t k = 0; k < n; ++k)
                bytes[2 * k] = text[k];
        } else {
            bytes.assign(text, 0, n);
        }
        ok = ::write(fd, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size());
        done += n;
    }
    return ::close(fd) == 0 && ok;
}

struct QtWindow {
    CFileWndWidget widget;
    explicit QtWindow(CMemoryMappedFile& file, platform::CodePage codePage = platform::CodePage::Windows1252)
    {
        widget.FileWnd().SetWatchFile(false);
        widget.FileWnd().SetCodePage(codePage);
        widget.FileWnd().SetLogFont(DisplayFont());
        widget.FileWnd().SetFontColor(Rgb(255, 255, 255));
        widget.FileWnd().SetPageColor(Rgb(0, 0, 0));
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
    HeadlessWindow(CMemoryMappedFile& file, int rows, int cols,
                   platform::CodePage codePage = platform::CodePage::Windows1252)
        : port(rows, cols)
    {
        wnd.SetWatchFile(false);
        wnd.SetCodePage(codePage);
        wnd.LoadFile(&file, EncodingAuto);
    }
};

// Returns the full-screen paint through Qt, the baseline of the long lines.
double PaintFullScreen(CMemoryMappedFile& file)
{
    QtWindow qt(file);
    CFileWnd& w = qt.Wnd();
    w.OnKeyDown(kVkHome);
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
    hw.wnd.OnKeyDown(kVkHome);
    const double recMs = BestMs(5, 40, [&] { hw.port.Paint(hw.wnd, true); });

    std::printf("full screen, %d rows x %d columns of 200-byte lines (cell %dx%d px):\n", rows, cols, w.GetCharWidth(),
                w.GetLineHeight());
    std::printf("  QPainter onto a QImage   %8.3f ms\n", qtMs);
    std::printf("  recording painter        %8.3f ms\n", recMs);
    std::printf("  ratio Qt / recorder      %8.1f\n", qtMs / recMs);
    std::printf("  QPainter, one-row strip  %8.3f ms\n", qtStripMs);
    return qtMs;
}

void LineDowns(CMemoryMappedFile& file, const char* what, platform::CodePage codePage = platform::CodePage::Windows1252)
{
    QtWindow qt(file, codePage);
    CFileWnd& w = qt.Wnd();
    const QSize client = qt.widget.viewport()->size();
    const int rows = client.height() / w.GetLineHeight();
    const int cols = client.width() / w.GetCharWidth();

    // The window's steps alone: scan to the next line, move the image.
    HeadlessWindow hw(file, rows, cols, codePage);
    hw.wnd.OnKeyDown(kVkHome);
    auto t0 = Clock::now();
    int moved = 0;
    for (int i = 0; i < kSteps; ++i) {
        const TextPos before = hw.wnd.GetTop();
        hw.wnd.OnVScroll(kSbLineDown);
        moved += hw.wnd.GetTop() != before;
    }
    const double coreMs = Ms(Clock::now() - t0);

    // Each step painted through the recorder (the strip, as the real window).
    hw.wnd.OnKeyDown(kVkHome);
    hw.port.Paint(hw.wnd, true);
    t0 = Clock::now();
    for (int i = 0; i < kSteps; ++i) {
        hw.wnd.OnVScroll(kSbLineDown);
        hw.port.Paint(hw.wnd);
    }
    const double recMs = Ms(Clock::now() - t0);

    // Through Qt: the step, then the event loop paints the uncovered strip.
    w.OnKeyDown(kVkHome);
    qt.widget.viewport()->repaint();
    QCoreApplication::processEvents();
    t0 = Clock::now();
    for (int i = 0; i < kSteps; ++i) {
        w.OnVScroll(kSbLineDown);
        QCoreApplication::processEvents();
    }
    const double qtMs = Ms(Clock::now() - t0);

    std::printf("%d line-downs from the top, %s (%d rows, %d moved):\n", kSteps, what, rows, moved);
    std::printf("  steps alone (headless)         %9.2f ms  (%.4f ms each)\n", coreMs, coreMs / kSteps);
    std::printf("  steps + recorder strip paint   %9.2f ms  (%.4f ms each)\n", recMs, recMs / kSteps);
    std::printf("  steps + Qt strip paint         %9.2f ms  (%.4f ms each)\n", qtMs, qtMs / kSteps);
    std::printf("  ratio Qt / steps alone         %9.1f\n", qtMs / coreMs);
}

// goalMs: the most a repaint may take, or 0 when only the heap has a goal.
void LongLine(CMemoryMappedFile& file, const char* what, double screenMs, double goalMs,
              platform::CodePage codePage = platform::CodePage::Windows1252)
{
    QtWindow qt(file, codePage);
    CFileWnd& w = qt.Wnd();
    const QSize client = qt.widget.viewport()->size();
    QImage image(client, QImage::Format_ARGB32_Premultiplied);
    CQtFontCache fonts;
    auto paint = [&] {
        QPainter p(&image);
        CQtFilePainter painter(p, QRegion(image.rect()), fonts, w.GetCharWidth(), &image);
        w.OnPaint(painter);
    };
    paint();  // meets the whole line: the horizontal range is known after it
    const std::int64_t columns = w.GetColumns();
    // The first paint of a window that has never read the line (the Qt
    // window above painted already as it was shown).
    double firstMs = 0;
    {
        HeadlessWindow hw(file, client.height() / w.GetLineHeight(), static_cast<int>(columns), codePage);
        const auto t0 = Clock::now();
        hw.port.Paint(hw.wnd, true);
        firstMs = Ms(Clock::now() - t0);
    }
    const std::int64_t end = w.GetLongestLine() - columns;
    // Narrow text under Windows-1252 is stored a byte a column, anything else as UTF-16.
    const std::size_t screenful = static_cast<std::size_t>(client.height() / w.GetLineHeight() + 2) *
                                  static_cast<std::size_t>(columns + 2) *
                                  (w.GetEncoding() == EncodingAnsi && !w.DecodesUtf8() ? 1 : 2);

    const std::uint8_t* v = file.View();
    const std::size_t size = static_cast<std::size_t>(file.Size());
    const double scanMs = BestMs(3, 1, [&] {
        const void* hit = std::memchr(v, '\n', size);
        if (hit)
            std::printf("(a line break in the long line?)\n");
    });

    std::printf("%s, %lld columns (window %lld x %d):\n", what, static_cast<long long>(w.GetLongestLine()),
                static_cast<long long>(columns), client.height() / w.GetLineHeight());
    std::printf("  one memchr over the line       %9.2f ms\n", scanMs);
    std::printf("  first paint, headless          %9.2f ms  (measures the line)\n", firstMs);
    std::printf("  %-30s %9s %9s %9s %12s\n", "full repaint (QPainter)", "ms", "/screen", "/memchr", "heap bytes");
    double worstMs = 0;
    std::size_t worstHeap = 0;
    auto report = [&](const char* label, double ms, std::size_t heap) {
        std::printf("  %-30s %9.2f %9.1f %9.2f %12zu\n", label, ms, ms / screenMs, ms / scanMs, heap);
        worstMs = std::max(worstMs, ms);
        worstHeap = std::max(worstHeap, heap);
    };
    for (const std::int64_t offset : {std::int64_t(0), end / 2, end}) {
        w.OnHScroll(kSbThumbTrack, offset);
        const double ms = BestMs(3, 1, paint);
        char label[64];
        std::snprintf(label, sizeof label, "at offset %lld", static_cast<long long>(w.GetHorzOffset()));
        report(label, ms, HeapPeak(paint));
    }

    // A Right press a little before the end: the window moves the image a
    // quarter page sideways and the event loop paints the uncovered strip.
    double rightMs = 1e300;
    std::size_t rightHeap = 0;
    for (int r = 0; r < 3; ++r) {
        w.OnHScroll(kSbThumbTrack, end - columns);
        qt.widget.viewport()->repaint();
        QCoreApplication::processEvents();
        const auto t0 = Clock::now();
        const std::size_t heap = HeapPeak([&] {
            w.OnKeyDown(kVkRight);
            QCoreApplication::processEvents();
        });
        rightMs = std::min(rightMs, Ms(Clock::now() - t0));
        rightHeap = std::max(rightHeap, heap);
    }
    report("Right press near the end", rightMs, rightHeap);
    if (goalMs > 0)
        std::printf("  goal: every row under %.0f ms: %s\n", goalMs, worstMs < goalMs ? "met" : "MISSED");
    std::printf("  goal: heap at most a screenful (%zu bytes): %s\n", screenful,
                worstHeap <= screenful ? "met" : "MISSED");
}

// Latin text with accents, the same characters in Windows-1252 and in UTF-8,
// in lines of about 200 characters. Made once.
bool MakeLatinFiles(const std::string& ansiPath, const std::string& utf8Path, int lines)
{
    static const char* const kWords[] = {"M\u00FCller",    "caf\u00E9",        "Stra\u00DFe",   "\u00C4rger",
                                         "na\u00EFve",     "\u00E9l\u00E8ve",  "gar\u00E7on",   "se\u00F1or",
                                         "K\u00F8benhavn", "r\u00E9sum\u00E9", "log",           "request",
                                         "status=200",     "f\u00FCr",         "d\u00E9j\u00E0"};
    std::string ansi, utf8;
    for (int i = 0; i < lines; ++i) {
        std::u16string line = u"2024-03-01 12:00:00 INFO ";
        for (int k = 0; line.size() < 200; ++k) {
            const std::string word = kWords[(i * 7 + k * 3) % std::size(kWords)];
            line += platform::Utf8ToUtf16(word) + u" ";
        }
        ansi += platform::Utf16ToWin1252(line) + "\n";
        utf8 += platform::Utf16ToUtf8(line) + "\n";
    }
    for (const auto& [path, bytes] : {std::pair{ansiPath, ansi}, {utf8Path, utf8}}) {
        const int fd = ::open(path.c_str(), O_CREAT | O_TRUNC | O_WRONLY, 0644);
        if (fd < 0 || ::write(fd, bytes.data(), bytes.size()) != static_cast<ssize_t>(bytes.size()) || ::close(fd) != 0)
            return false;
    }
    return true;
}

// A full screen of the same Latin text in both code pages, through Qt and through the recorder.
void LatinScreens(const std::string& dir)
{
    const std::string ansiPath = dir + "/latin-1252.log", utf8Path = dir + "/latin-utf8.log";
    CMemoryMappedFile ansi, utf8;
    if (!MakeLatinFiles(ansiPath, utf8Path, 2000) || !ansi.Open(ansiPath.c_str(), false) ||
        !utf8.Open(utf8Path.c_str(), false)) {
        std::fprintf(stderr, "paint_bench_qt: cannot write the Latin files in %s\n", dir.c_str());
        return;
    }
    struct Result {
        double qtMs, recMs;
    };
    auto measure = [](CMemoryMappedFile& file, platform::CodePage codePage) {
        QtWindow qt(file, codePage);
        CFileWnd& w = qt.Wnd();
        w.OnKeyDown(kVkHome);
        const QSize client = qt.widget.viewport()->size();
        QImage image(client, QImage::Format_ARGB32_Premultiplied);
        CQtFontCache fonts;
        auto paint = [&] {
            QPainter p(&image);
            CQtFilePainter painter(p, QRegion(image.rect()), fonts, w.GetCharWidth(), &image);
            w.OnPaint(painter);
        };
        paint();
        HeadlessWindow hw(file, client.height() / w.GetLineHeight(), client.width() / w.GetCharWidth(), codePage);
        hw.wnd.OnKeyDown(kVkHome);
        hw.port.Paint(hw.wnd, true);
        return Result{BestMs(5, 40, paint), BestMs(5, 40, [&] { hw.port.Paint(hw.wnd, true); })};
    };
    // Alternated, so that neither gets a warmer machine.
    Result a = measure(ansi, platform::CodePage::Windows1252), u = measure(utf8, platform::CodePage::Utf8);
    const Result a2 = measure(ansi, platform::CodePage::Windows1252), u2 = measure(utf8, platform::CodePage::Utf8);
    a = {std::min(a.qtMs, a2.qtMs), std::min(a.recMs, a2.recMs)};
    u = {std::min(u.qtMs, u2.qtMs), std::min(u.recMs, u2.recMs)};
    std::printf("full screen of Latin text with accents, 200-character lines:\n");
    std::printf("  %-34s %9s %9s\n", "", "QPainter", "recorder");
    std::printf("  %-34s %9.3f %9.3f ms\n", "Windows-1252 under Windows-1252", a.qtMs, a.recMs);
    std::printf("  %-34s %9.3f %9.3f ms\n", "UTF-8 under UTF-8", u.qtMs, u.recMs);
    std::printf("  %-34s %9.2f %9.2f\n", "ratio UTF-8 / Windows-1252", u.qtMs / a.qtMs, u.recMs / a.recMs);
    std::printf("  goal: UTF-8 at most 1.3 x Windows-1252 (QPainter): %s\n", u.qtMs <= 1.3 * a.qtMs ? "met" : "MISSED");
}

// Twenty rules such as a log reader keeps: levels, requests, addresses, a
// few that colour every line of the benchmark's files.
std::vector<HighlightRule> TwentyRules()
{
    std::vector<HighlightRule> rules = LogLevelRules();
    const struct {
        const char* pattern;
        bool regex, line;
    } more[] = {
        {R"(req=0000\d\d)", true, false},
        {"INFO", false, false},
        {R"(\b\d{1,3}(\.\d{1,3}){3}\b)", true, false},
        {"timeout", false, true},
        {R"(user=\w+)", true, false},
        {R"(\b(GET|POST|PUT|DELETE)\b)", true, false},
        {R"(status=[45]\d\d)", true, true},
        {"Exception", false, true},
        {"panic", false, true},
        {R"(took \d+ms)", true, false},
        {"retry", false, false},
        {R"(id=[0-9a-f]{8})", true, false},
        {"denied", false, true},
        {R"(^\d{8} )", true, false},
        {"connection reset", false, true},
        {R"(\bOOM\b)", true, true},
        {"[audit]", false, false},
    };
    for (const auto& m : more) {
        HighlightRule r;
        r.name = m.pattern;
        r.pattern = m.pattern;
        r.regex = m.regex;
        r.scope = m.line ? RuleScope::Line : RuleScope::Match;
        r.text = RuleColor::Of(Rgb(80, 160, 240));
        r.background = RuleColor::Of(Rgb(20, 30, 40));
        rules.push_back(r);
    }
    return rules;
}

// A full repaint of the window with and without the rules, alternated.
void RuleCost(CMemoryMappedFile& file, const char* what, bool middle)
{
    QtWindow qt(file);
    CFileWnd& w = qt.Wnd();
    w.OnKeyDown(kVkHome);
    const QSize client = qt.widget.viewport()->size();
    QImage image(client, QImage::Format_ARGB32_Premultiplied);
    CQtFontCache fonts;
    auto paint = [&] {
        QPainter p(&image);
        CQtFilePainter painter(p, QRegion(image.rect()), fonts, w.GetCharWidth(), &image);
        w.OnPaint(painter);
    };
    paint();
    if (middle)
        w.OnHScroll(kSbThumbTrack, (w.GetLongestLine() - w.GetColumns()) / 2);
    const auto rules = std::make_shared<CHighlightRules>(TwentyRules());
    double plainMs = 1e300, ruledMs = 1e300;
    for (int round = 0; round < 3; ++round) {
        SetCurrentHighlightRules(nullptr);
        plainMs = std::min(plainMs, BestMs(3, middle ? 3 : 40, paint));
        SetCurrentHighlightRules(rules);
        ruledMs = std::min(ruledMs, BestMs(3, middle ? 3 : 40, paint));
    }
    SetCurrentHighlightRules(nullptr);
    std::printf("20 highlight rules, full repaint (QPainter), %s:\n", what);
    std::printf("  without rules   %9.3f ms\n", plainMs);
    std::printf("  with 20 rules   %9.3f ms\n", ruledMs);
    std::printf("  ratio           %9.2f   goal at most 1.5: %s\n", ruledMs / plainMs,
                ruledMs <= 1.5 * plainMs ? "met" : "MISSED");
}

// A Java log whose records carry stack traces of 40 lines: the worst case for
// finding the record of a row, which looks back to the line that starts it.
bool MakeLevelLog(const std::string& path)
{
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0 && st.st_size > 0)
        return true;
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f)
        return false;
    const char* const words[] = {"INFO ", "ERROR", "WARN ", "DEBUG"};
    for (int i = 0; i < 20000; ++i) {
        std::fprintf(f, "2026-12-07 10:%02d:%02d,%03d %s [main] com.example.Service - request %d failed or not\n",
                     i / 6000 % 60, i / 100 % 60, i % 1000, words[i % 4], i);
        if (i % 3 == 1)
            for (int k = 0; k < 40; ++k)
                std::fprintf(f, "\tat com.example.Frame%d.call(Frame.java:%d)\n", k, i);
    }
    return std::fclose(f) == 0;
}

// A full repaint of a log with Log Levels on (records coloured by level)
// against the same repaint without rules, at the top and inside a stack trace.
void LevelCost(const std::string& dir)
{
    const std::string path = dir + "/levels.log";
    CMemoryMappedFile file;
    if (!MakeLevelLog(path) || !file.Open(path.c_str(), false)) {
        std::fprintf(stderr, "paint_bench_qt: cannot write %s\n", path.c_str());
        return;
    }
    QtWindow qt(file);
    CFileWnd& w = qt.Wnd();
    w.OnKeyDown(kVkHome);
    const QSize client = qt.widget.viewport()->size();
    QImage image(client, QImage::Format_ARGB32_Premultiplied);
    CQtFontCache fonts;
    auto paint = [&] {
        QPainter p(&image);
        CQtFilePainter painter(p, QRegion(image.rect()), fonts, w.GetCharWidth(), &image);
        w.OnPaint(painter);
    };
    const auto rules = std::make_shared<CHighlightRules>(LogLevelRules());
    for (const bool inTrace : {false, true}) {
        if (inTrace)
            for (int k = 0; k < 20; ++k)
                w.OnKeyDown(kVkDown);  // the top row is inside a stack trace
        paint();
        double plainMs = 1e300, levelMs = 1e300;
        for (int round = 0; round < 3; ++round) {
            SetCurrentHighlightRules(nullptr);
            plainMs = std::min(plainMs, BestMs(3, 40, paint));
            SetCurrentHighlightRules(rules);
            levelMs = std::min(levelMs, BestMs(3, 40, paint));
        }
        SetCurrentHighlightRules(nullptr);
        std::printf("Log Levels by record, full repaint (QPainter), a Java log with stack traces%s:\n",
                    inTrace ? ", the top row inside one" : "");
        std::printf("  without rules   %9.3f ms\n", plainMs);
        std::printf("  Log Levels on   %9.3f ms\n", levelMs);
        std::printf("  ratio           %9.2f   goal at most 1.3: %s\n", levelMs / plainMs,
                    levelMs <= 1.3 * plainMs ? "met" : "MISSED");
    }
}

}  // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const std::string dir = argc > 1 ? argv[1] : "/tmp/ostrel-bench";
    ::mkdir(dir.c_str(), 0755);
    if (argc > 2 && std::string(argv[2]) == "levels") {
        LevelCost(dir);
        return 0;
    }
    if (argc > 2 && std::string(argv[2]) == "rules") {
        const std::string shortLines = dir + "/lines200.log", narrowLine = dir + "/line300m.log";
        CMemoryMappedFile shortFile, lineFile;
        if (!MakeFile(shortLines, 20000, 200) || !MakeLongLine(narrowLine, std::uint64_t(300) << 20, LineKind::Ansi) ||
            !shortFile.Open(shortLines.c_str(), false) || !lineFile.Open(narrowLine.c_str(), false)) {
            std::fprintf(stderr, "paint_bench_qt: cannot write the test files in %s\n", dir.c_str());
            return 1;
        }
        RuleCost(shortFile, "200-byte lines", false);
        RuleCost(lineFile, "one 300 MiB line (ANSI), at its middle", true);
        LevelCost(dir);
        return 0;
    }

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

    const double screenMs = PaintFullScreen(shortFile);
    std::printf("\n");
    LineDowns(shortFile, "200-byte lines");
    std::printf("\n");
    LineDowns(longFile, "1 MiB lines");
    std::printf("\n");
    LineDowns(longFile, "1 MiB lines, under UTF-8", platform::CodePage::Utf8);
    std::printf("\n");

    LatinScreens(dir);
    std::printf("\n");

    const std::string narrowLine = dir + "/line300m.log";
    const std::string utf8Line = dir + "/line300m-utf8.log";
    const std::string wideLine = dir + "/line1g-utf16.log";
    if (!MakeLongLine(narrowLine, std::uint64_t(300) << 20, LineKind::Ansi) ||
        !MakeLongLine(utf8Line, std::uint64_t(300) << 20, LineKind::Utf8) ||
        !MakeLongLine(wideLine, std::uint64_t(512) << 20, LineKind::Utf16)) {
        std::fprintf(stderr, "paint_bench_qt: cannot write the long-line files in %s\n", dir.c_str());
        return 1;
    }
    struct LongLineCase {
        const std::string& path;
        const char* what;
        double goalMs;
        platform::CodePage codePage;
    };
    const LongLineCase longLineCases[] = {
        {narrowLine, "one 300 MiB line, ANSI", 100, platform::CodePage::Windows1252},
        {utf8Line, "one 300 MiB line, UTF-8 (one letter in ten of two bytes)", 100, platform::CodePage::Utf8},
        {wideLine, "one 1 GiB line, UTF-16 LE", 0, platform::CodePage::Windows1252}};
    for (const LongLineCase& line : longLineCases) {
        CMemoryMappedFile file;
        if (!file.Open(line.path.c_str(), false)) {
            std::fprintf(stderr, "paint_bench_qt: cannot map %s\n", line.path.c_str());
            return 1;
        }
        LongLine(file, line.what, screenMs, line.goalMs, line.codePage);
        std::printf("\n");
        if (line.codePage == platform::CodePage::Windows1252 && &line == &longLineCases[0]) {
            RuleCost(shortFile, "200-byte lines", false);
            RuleCost(file, "one 300 MiB line (ANSI), at its middle", true);
            LevelCost(dir);
            std::printf("\n");
        }
    }
    return 0;
}
