// A merged window in the Qt text window, offscreen: keys, the bar and growth against the rows of every file
// stable-sorted by (record time, file order); the source column's letters in their colours; Copy Screen.
#include "file/MemoryMappedFile.h"
#include "platform/Window.h"
#include "textwnd/MergedWnd.h"
#include "textwnd/qt/FileWndWidget.h"
#include "textwnd/qt/FilterPane.h"
#include "view/CommandIds.h"
#include "view/StatusIndicators.h"

#include <QApplication>
#include <QClipboard>
#include <QImage>
#include <QScrollBar>
#include <QtTest>

#include <algorithm>
#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <vector>

using platform::kFwNormal;
using platform::LOGFONTW;

namespace {

// One line of a log as the reference sees it.
struct Line {
    int file;
    std::int64_t start;
    std::int64_t micros;  // its record's time
    std::string text;     // without the break
};

std::string Stamp(std::int64_t tenths)
{
    char b[48];
    std::snprintf(b, sizeof b, "2026-12-07 06:%02d:%02d.%01dZ", static_cast<int>(tenths / 600 % 60),
                  static_cast<int>(tenths / 10 % 60), static_cast<int>(tenths % 10));
    return b;
}

// A log of `records` records at rising times (equal times between files are frequent), some with continuation
// lines, optionally lines before the first record, with `eol` breaks; its lines go to `lines`.
std::string MakeLog(int file, std::mt19937& rng, int records, bool head, const char* eol, std::vector<Line>& lines)
{
    std::string text;
    std::vector<Line> mine;
    auto add = [&](const std::string& line) {
        mine.push_back({file, static_cast<std::int64_t>(text.size()), 0, line});
        text += line + eol;
    };
    if (head) {
        add("started by hand");
        add("  and a second line before any record");
    }
    std::int64_t t = 0;
    for (int i = 0; i < records; ++i) {
        t += static_cast<std::int64_t>(rng() % 3);
        add(Stamp(t) + " INFO file" + std::to_string(file) + " record " + std::to_string(i));
        for (int c = static_cast<int>(rng() % 5); c > 2; --c)
            add("    at frame " + std::to_string(c));
    }
    // Each line's record time: the stamp's (tenths of a second suffice to order them), the lines before the
    // first record at the first record's time.
    std::int64_t current = -1;
    for (Line& l : mine) {
        if (l.text.rfind("2026", 0) == 0)
            current = std::stoll(l.text.substr(14, 2)) * 600 + std::stoll(l.text.substr(17, 2)) * 10 +
                      std::stoll(l.text.substr(20, 1));
        l.micros = current;
    }
    for (Line& l : mine)
        if (l.micros < 0)
            l.micros = std::find_if(mine.begin(), mine.end(), [](const Line& x) { return x.micros >= 0; })->micros;
    lines.insert(lines.end(), mine.begin(), mine.end());
    return text;
}

std::vector<Line> Reference(std::vector<Line> lines)
{
    std::stable_sort(lines.begin(), lines.end(), [](const Line& a, const Line& b) {
        return a.micros != b.micros ? a.micros < b.micros : a.file < b.file;
    });
    return lines;
}

// The pixels of `rc` (within `img`) in the letter colour of file `f` on a black page.
int LetterPixels(const QImage& img, QRect rc, int f)
{
    const platform::COLORREF c = mergedwnd::LetterColor(f, 0);
    const QRgb want = qRgb(platform::RedOf(c), platform::GreenOf(c), platform::BlueOf(c));
    int n = 0;
    rc = rc.intersected(img.rect());
    for (int y = rc.top(); y <= rc.bottom(); ++y)
        for (int x = rc.left(); x <= rc.right(); ++x)
            n += (img.pixel(x, y) & 0xFFFFFF) == (want & 0xFFFFFF);
    return n;
}

struct Fixture {
    QTemporaryDir dir;
    std::vector<std::string> paths;
    std::vector<std::string> texts;
    std::vector<Line> lines;
    std::unique_ptr<CMemoryMappedFile> file;
    std::unique_ptr<CFileWndWidget> widget;
    CMergedWnd* merged = nullptr;

    Fixture(unsigned seed, int files, int records)
    {
        std::mt19937 rng(seed);
        const char* eols[] = {"\n", "\r\n"};
        for (int f = 0; f < files; ++f) {
            texts.push_back(MakeLog(f, rng, records, f == 1, eols[f % 2], lines));
            paths.push_back(QFile::encodeName(dir.filePath(QString("log%1.log").arg(f))).toStdString());
            Write(f);
        }
        file = std::make_unique<CMemoryMappedFile>();
        file->Open(paths[0].c_str(), false);
        widget = std::make_unique<CFileWndWidget>();
        CFileWnd& w = widget->FileWnd();
        w.SetWatchFile(false);
        LOGFONTW lf{};
        lf.lfHeight = -14;
        lf.lfWeight = kFwNormal;
        const char16_t face[] = u"DejaVu Sans Mono";
        std::memcpy(lf.lfFaceName, face, sizeof face);
        w.SetLogFont(lf);
        w.SetPageColor(platform::Rgb(0, 0, 0));
        w.SetFontColor(platform::Rgb(200, 200, 200));
        widget->resize(QSize(500, 300));
        widget->show();
        QVERIFY(QTest::qWaitForWindowExposed(widget.get()));
        QVERIFY(widget->LoadFile(file.get(), EncodingAuto));
        auto m = std::make_unique<CMergedWnd>(w);
        std::vector<CMergedWnd::Failure> failures;
        QVERIFY(m->Open(paths, false, true, failures));
        merged = m.get();
        w.SetMerged(std::move(m));
        QCoreApplication::processEvents();
    }

    void Write(int f)
    {
        QFile out(QString::fromStdString(paths[static_cast<std::size_t>(f)]));
        QVERIFY(out.open(QIODevice::WriteOnly));
        out.write(texts[static_cast<std::size_t>(f)].data(),
                  static_cast<qint64>(texts[static_cast<std::size_t>(f)].size()));
    }

    CFileWnd& Wnd() { return widget->FileWnd(); }
    int Rows() { return widget->viewport()->height() / Wnd().GetLineHeight(); }

    // The painted rows from the reference's row k on (as many as the screen shows).
    void ExpectRowsFrom(std::size_t k, const std::vector<Line>& ref, const char* step)
    {
        widget->viewport()->repaint();
        const auto& rows = merged->PaintedRows();
        const std::size_t n = std::min<std::size_t>(static_cast<std::size_t>(Rows()), ref.size() - k);
        QVERIFY2(rows.size() >= n, step);
        for (std::size_t i = 0; i < n; ++i) {
            const Line& want = ref[k + i];
            if (rows[i].file != want.file || rows[i].start != want.start)
                QFAIL(qPrintable(QString::asprintf("%s: row %zu is file %d at %lld, expected file %d at %lld (%s)",
                                                   step, i, rows[i].file, static_cast<long long>(rows[i].start),
                                                   want.file, static_cast<long long>(want.start), want.text.c_str())));
        }
    }
};

}  // namespace

class MergedWndTest : public QObject {
    Q_OBJECT
private slots:
    void keysPageThroughTheRowsInTimeOrder()
    {
        for (const unsigned seed : {1u, 2u, 3u}) {
            Fixture fx(seed, 3, 60);
            const std::vector<Line> ref = Reference(fx.lines);
            const int rows = fx.Rows();
            QVERIFY(rows > 4);
            const std::size_t last = ref.size() - static_cast<std::size_t>(rows);
            QScrollBar* bar = fx.widget->verticalScrollBar();
            // Each key and where the top row stands in the reference after it.
            std::size_t k = 0;
            fx.ExpectRowsFrom(k, ref, "a new merged window starts at the first row");
            const struct {
                Qt::Key key;
                int delta;  // rows moved; INT_MAX: to the last screenful, INT_MIN: to the first row
            } steps[] = {
                {Qt::Key_PageDown, rows - 2},
                {Qt::Key_Down, 1},
                {Qt::Key_PageDown, rows - 2},
                {Qt::Key_Up, -1},
                {Qt::Key_PageUp, -(rows - 2)},
                {Qt::Key_End, INT_MAX},
                {Qt::Key_Down, 0},
                {Qt::Key_PageDown, 0},
                {Qt::Key_Up, -1},
                {Qt::Key_Home, INT_MIN},
                {Qt::Key_Up, 0},
                {Qt::Key_Space, rows - 2},
            };
            for (const auto& step : steps) {
                QTest::keyClick(fx.widget.get(), step.key);
                if (step.delta == INT_MAX)
                    k = last;
                else if (step.delta == INT_MIN)
                    k = 0;
                else
                    k = static_cast<std::size_t>(std::clamp<std::int64_t>(static_cast<std::int64_t>(k) + step.delta, 0,
                                                                          static_cast<std::int64_t>(last)));
                const std::unique_ptr<char[]> key(QTest::toString(step.key));  // the caller's to delete
                fx.ExpectRowsFrom(k, ref, key.get());
            }
            // Paging down from Home meets every row once, in the reference's order, and stops at the last screenful.
            QTest::keyClick(fx.widget.get(), Qt::Key_Home);
            for (k = 0; k < last;) {
                QTest::keyClick(fx.widget.get(), Qt::Key_PageDown);
                k = std::min(k + static_cast<std::size_t>(rows - 2), last);
                fx.ExpectRowsFrom(k, ref, "paging down");
            }
            QVERIFY(fx.merged->AtEnd());
            // The bar is scaled over time: the end at its maximum, Home at zero, and its thumb moves the top.
            QCOMPARE(bar->value(), bar->maximum());
            QTest::keyClick(fx.widget.get(), Qt::Key_Home);
            QCOMPARE(bar->value(), 0);
            bar->triggerAction(QAbstractSlider::SliderToMaximum);
            fx.ExpectRowsFrom(last, ref, "the bar's maximum");
            bar->setSliderDown(true);
            bar->setSliderPosition(bar->maximum() / 2);
            bar->setSliderDown(false);
            const std::int64_t middle = (ref.front().micros + ref.back().micros) / 2;
            const merged::Top& top = fx.merged->Top();
            // The first row at or after the middle time (a whole record: the time is the record's).
            QVERIFY(top.micros >= 0);
            const auto at = std::find_if(ref.begin(), ref.end(), [&](const Line& l) {
                return l.file == fx.merged->TopFile() && l.start == top.pos;
            });
            QVERIFY(at != ref.end());
            QVERIFY(std::abs(at->micros - middle) <= 2);
            // Line numbers are each file's own.
            for (int f = 0; f < 3; ++f)
                fx.merged->WindowOf(f).GetLineIndex()->WaitForWorker();
            const std::vector<std::int64_t> numbers = fx.Wnd().RowLineNumbers();
            fx.widget->viewport()->repaint();
            for (std::size_t i = 0; i + 1 < numbers.size() && i < fx.merged->PaintedRows().size(); ++i) {
                const auto& row = fx.merged->PaintedRows()[i];
                std::int64_t line = 0;
                for (const Line& l : fx.lines)
                    line += l.file == row.file && l.start <= row.start ? 1 : 0;
                QCOMPARE(fx.Wnd().RowLineNumbers()[i], line);
            }
        }
    }

    void sourceColumnShowsEachFilesLetterInItsColour()
    {
        Fixture fx(7, 3, 30);
        fx.widget->viewport()->repaint();
        const QImage img = fx.widget->viewport()->grab().toImage().convertToFormat(QImage::Format_RGB32);
        const int h = fx.Wnd().GetLineHeight(), cw = fx.Wnd().GetCharWidth();
        const auto& rows = fx.merged->PaintedRows();
        // A row's letter cell holds its file's colour and no other file's; the text after it none of them.
        for (int r = 0; r < fx.Rows(); ++r) {
            const int file = rows[static_cast<std::size_t>(r)].file;
            QVERIFY(file >= 0);
            auto count = [&](QRect rc, int f) { return LetterPixels(img, rc, f); };
            const QRect letter(0, r * h, cw, h);
            const QRect text(2 * cw, r * h, 20 * cw, h);
            QVERIFY2(count(letter, file) > 0, "the letter is drawn in its file's colour");
            for (int f = 0; f < 3; ++f) {
                QCOMPARE(count(text, f), 0);
                if (f != file)
                    QCOMPARE(count(letter, f), 0);
            }
        }
        // The colours differ from each other on a dark page and on a light one, and from the page.
        for (const platform::COLORREF page : {platform::Rgb(0, 0, 0), platform::Rgb(255, 255, 255)})
            for (int a = 0; a < merged::kMaxSources; ++a) {
                QVERIFY(mergedwnd::LetterColor(a, page) != page);
                for (int b = a + 1; b < merged::kMaxSources; ++b)
                    QVERIFY(mergedwnd::LetterColor(a, page) != mergedwnd::LetterColor(b, page));
            }
        QCOMPARE(mergedwnd::Letter(0), 'A');
        QCOMPARE(mergedwnd::Letter(25), 'Z');
        QCOMPARE(mergedwnd::Letter(26), 'a');
    }

    void copyScreenPutsEachRowAsItsFileHoldsIt()
    {
        Fixture fx(11, 3, 40);
        const std::vector<Line> ref = Reference(fx.lines);
        QTest::keyClick(fx.widget.get(), Qt::Key_PageDown);
        fx.widget->viewport()->repaint();
        const int rows = fx.Rows();
        fx.Wnd().CopyScreenToClipboard();
        // The rows on screen and the partial one below, each with its own file's break, without the letters.
        std::string want;
        for (std::size_t i = static_cast<std::size_t>(rows - 2); i < static_cast<std::size_t>(2 * rows - 1); ++i)
            want += ref[i].text + (ref[i].file % 2 ? "\r\n" : "\n");
        QCOMPARE(QGuiApplication::clipboard()->text().toStdString(), want);
    }

    void aWindowAtTheEndFollowsAGrowingFile()
    {
        Fixture fx(5, 3, 30);
        QTest::keyClick(fx.widget.get(), Qt::Key_End);
        QVERIFY(fx.merged->AtEnd());
        // File B gains records later than every other: they show at the end, the window stays there.
        std::string extra;
        for (int i = 0; i < 3; ++i)
            extra += Stamp(5000 + i) + " INFO late " + std::to_string(i) + "\r\n";
        for (int i = 0; i < 3; ++i)
            fx.lines.push_back(
                {1, static_cast<std::int64_t>(fx.texts[1].size() + extra.size() / 3 * static_cast<std::size_t>(i)),
                 5000 + i, Stamp(5000 + i) + " INFO late " + std::to_string(i)});
        fx.texts[1] += extra;
        fx.Write(1);
        CFileWnd& b = fx.merged->WindowOf(1);
        b.HandleMessage(platform::WM_FILE_CHANGED, 1, 0);
        const std::vector<Line> ref = Reference(fx.lines);
        fx.ExpectRowsFrom(ref.size() - static_cast<std::size_t>(fx.Rows()), ref, "following the end");
        QVERIFY(fx.merged->AtEnd());
        // Scrolled up, it stays where it is when a file grows.
        QTest::keyClick(fx.widget.get(), Qt::Key_Home);
        fx.texts[0] += Stamp(6000) + " INFO later still\n";
        fx.Write(0);
        fx.merged->WindowOf(0).HandleMessage(platform::WM_FILE_CHANGED, 1, 0);
        fx.ExpectRowsFrom(0, Reference(fx.lines), "kept at Home");
        QVERIFY(!fx.merged->AtEnd());
    }

    void aHiddenFileLeavesTheRowsAndComesBack()
    {
        Fixture fx(13, 3, 40);
        const std::vector<Line> ref = Reference(fx.lines);
        QTest::keyClick(fx.widget.get(), Qt::Key_PageDown);
        const int rows = fx.Rows();
        const std::size_t k = static_cast<std::size_t>(rows - 2);
        fx.ExpectRowsFrom(k, ref, "paged down");
        // Without file B the rows are those of A and C from the same place on; B back, the same rows as before.
        std::vector<Line> without;
        for (const Line& l : ref)
            if (l.file != 1)
                without.push_back(l);
        const Line& top = ref[k];
        fx.merged->SetHidden(1, true);
        QVERIFY(fx.merged->IsHidden(1));
        const auto at = std::find_if(without.begin(), without.end(), [&](const Line& l) {
            return l.micros > top.micros ||
                   (l.micros == top.micros && (l.file > top.file || (l.file == top.file && l.start >= top.start)));
        });
        fx.ExpectRowsFrom(static_cast<std::size_t>(at - without.begin()), without, "B hidden");
        QTest::keyClick(fx.widget.get(), Qt::Key_End);
        fx.ExpectRowsFrom(without.size() - static_cast<std::size_t>(rows), without, "End without B");
        fx.merged->SetHidden(1, false);
        QTest::keyClick(fx.widget.get(), Qt::Key_Home);
        fx.ExpectRowsFrom(0, ref, "B shown again, Home");
    }

    void findGoesThroughTheMatchesInTimeOrder()
    {
        Fixture fx(17, 3, 40);
        const std::vector<Line> ref = Reference(fx.lines);
        // "record 1" is in records 1 and 10 to 19 of every file: the matches in the merged order, then round.
        std::vector<const Line*> matches;
        for (const Line& l : ref)
            if (l.text.find("record 1") != std::string::npos)
                matches.push_back(&l);
        QVERIFY(matches.size() > 10);
        QCOMPARE(fx.Wnd().FindFirst(false, u"record 1"), 0);
        for (std::size_t i = 0; i < matches.size() + 2; ++i) {
            if (i > 0)
                QCOMPARE(fx.Wnd().FindNext(false, u"record 1"), 0);
            const Line& want = *matches[i % matches.size()];
            const std::int64_t at = want.start + static_cast<std::int64_t>(want.text.find("record 1"));
            // The match's row is on screen, and the match is drawn in inverse video.
            fx.widget->viewport()->repaint();
            const auto& rows = fx.merged->PaintedRows();
            const bool shown = std::any_of(rows.begin(), rows.end(), [&](const CMergedWnd::PaintedRow& r) {
                return r.file == want.file && r.start == want.start;
            });
            QVERIFY2(shown, qPrintable(QString::fromStdString(want.text)));
            QCOMPARE(fx.merged->MatchFile(), want.file);
            QCOMPARE(fx.merged->MatchStart(), at);
        }
        // Back from the second match: the first.
        QCOMPARE(fx.Wnd().FindPrevious(false, u"record 1"), 0);
        QCOMPARE(fx.merged->MatchStart(),
                 matches[0]->start + static_cast<std::int64_t>(matches[0]->text.find("record 1")));
        QCOMPARE(fx.Wnd().FindFirst(false, u"no such text"), 1);
    }

    void statusPanesAreOfTheTopRowsFile()
    {
        Fixture fx(19, 3, 30);
        const std::vector<Line> ref = Reference(fx.lines);
        // Down row by row: Current Char is the top row's place in its own file, Total Chars that file's size.
        for (std::size_t k = 0; k < 8; ++k) {
            const Line& top = ref[k];
            QCOMPARE(StatusPaneText(cmd::PaneCurrentChar, &fx.Wnd()), "Current Char: " + std::to_string(top.start));
            QCOMPARE(StatusPaneText(cmd::PaneTotalChars, &fx.Wnd()),
                     "Total Chars: " + std::to_string(fx.texts[static_cast<std::size_t>(top.file)].size()));
            QTest::keyClick(fx.widget.get(), Qt::Key_Down);
        }
    }

    // The filter pane on a merged window: every file's matching lines, file after file, each row with its file's
    // letter in its colour; Return on a row shows that row of that file in the merged window, its match marked.
    void filterPaneListsEveryFilesLinesWithTheirLetters()
    {
        const struct {
            const char* name;
            linefilter::FilterQuery query;
            std::string needle;  // what the reference looks for in each line (lower case: the query ignores case)
        } cases[] = {
            {"plain", {u"record 1", false, false, false}, "record 1"},
            {"ignoring case", {u"FILE2 RECORD 2", false, true, false}, "file2 record 2"},
            {"regular expression", {u"frame [34]", true, false, false}, "frame "},
        };
        for (const auto& c : cases) {
            Fixture fx(31, 3, 40);
            CFilterPane pane(fx.widget.get(), nullptr);
            pane.resize(500, 400);
            std::string error;
            QVERIFY2(pane.Start(c.query, &error), c.name);
            QVERIFY2(QTest::qWaitFor([&] { return !pane.Running(); }, 5000), c.name);
            QCoreApplication::processEvents();
            // The reference: each file's lines that hold the needle, in the order of the files.
            std::vector<const Line*> expected;
            for (int f = 0; f < 3; ++f)
                for (const Line& l : fx.lines) {
                    std::string lower = l.text;
                    std::transform(lower.begin(), lower.end(), lower.begin(),
                                   [](unsigned char ch) { return std::tolower(ch); });
                    if (l.file == f && lower.find(c.needle) != std::string::npos)
                        expected.push_back(&l);
                }
            QVERIFY2(expected.size() > 3, c.name);
            QCOMPARE(pane.Count(), static_cast<std::int64_t>(expected.size()));
            for (std::size_t i = 0; i < expected.size(); ++i) {
                const CFilterPane::Entry e = pane.EntryAt(static_cast<std::int64_t>(i));
                QVERIFY2(e.file == expected[i]->file && e.at == expected[i]->start, c.name);
            }
            QVERIFY2(pane.StatusText().contains(QString::number(expected.size())), c.name);

            // Each painted row's letter cell holds its file's colour.
            pane.List()->viewport()->repaint();
            const QImage img = pane.List()->viewport()->grab().toImage().convertToFormat(QImage::Format_RGB32);
            const int h = fx.Wnd().GetLineHeight(), cw = fx.Wnd().GetCharWidth();
            const int painted = std::min<int>(pane.List()->VisibleRows(), static_cast<int>(expected.size()));
            for (int r = 0; r < painted; ++r) {
                const int file = expected[static_cast<std::size_t>(r)]->file;
                QVERIFY2(LetterPixels(img, QRect(0, r * h, cw, h), file) > 0, c.name);
            }

            // Return on the last entry (the last file's): the merged window shows that row, its match marked.
            pane.List()->setFocus();
            QTest::keyClick(pane.List(), Qt::Key_End);
            QTest::keyClick(pane.List(), Qt::Key_Return);
            const Line& last = *expected.back();
            QCOMPARE(fx.merged->MatchFile(), last.file);
            QVERIFY2(fx.merged->MatchStart() >= last.start &&
                         fx.merged->MatchStart() < last.start + static_cast<std::int64_t>(last.text.size()),
                     c.name);
            fx.widget->viewport()->repaint();
            const auto& rows = fx.merged->PaintedRows();
            QVERIFY2(std::any_of(
                         rows.begin(), rows.end(),
                         [&](const CMergedWnd::PaintedRow& r) { return r.file == last.file && r.start == last.start; }),
                     c.name);
        }
    }

    // Filtered, each file's rows are its shown records (a record's continuation lines with it); End shows the last
    // of them, a rule above each row whose file hid lines before it, and records that arrive are filtered as they
    // come: the matching ones at the end, where the window stays.
    void aFilteredWindowAtTheEndFollowsWhatItShows()
    {
        Fixture fx(13, 3, 40);
        // The reference: per file, a record is shown when its first line holds the text.
        auto shown = [&](const std::vector<Line>& lines, const std::string& needle) {
            std::vector<Line> out;
            std::vector<bool> hiddenBefore;
            for (int f = 0; f < 3; ++f) {
                bool record = false, hidden = false;
                for (const Line& l : lines) {
                    if (l.file != f)
                        continue;
                    if (l.text.rfind("2026", 0) == 0)
                        record = l.text.find(needle) != std::string::npos;
                    else if (l.text.rfind("    ", 0) != 0)
                        record = false;  // the lines before the first record
                    if (record) {
                        out.push_back(l);
                        out.back().text = (hidden ? "-" : "") + out.back().text;
                    }
                    hidden = !record;
                }
            }
            std::vector<Line> sorted = Reference(out);
            return sorted;
        };
        shownset::FilterStack stack;
        stack.rules.push_back({true, shownset::RuleKind::Include, u"record 1", false, true});
        fx.Wnd().SetFilterStack(stack);
        fx.Wnd().SetShowOnlyFiltered(true);
        fx.Wnd().WaitShownSet();
        QVERIFY(fx.Wnd().IsFilteringRows());
        auto expectEnd = [&](const char* step) {
            const std::vector<Line> ref = shown(fx.lines, "record 1");
            QVERIFY2(ref.size() > static_cast<std::size_t>(fx.Rows()), step);
            const std::size_t k = ref.size() - static_cast<std::size_t>(fx.Rows());
            fx.ExpectRowsFrom(k, ref, step);
            const auto& rows = fx.merged->PaintedRows();
            for (std::size_t i = 0; i + k < ref.size() && i < rows.size(); ++i)
                QCOMPARE(rows[i].followsHidden, ref[k + i].text[0] == '-');
            QVERIFY2(fx.merged->AtEnd(), step);
            const shownset::ShownStatus s = fx.Wnd().GetShownStatus();
            QCOMPARE(s.shownLines, static_cast<std::int64_t>(ref.size()));
            QCOMPARE(s.totalLines, static_cast<std::int64_t>(fx.lines.size()));
        };
        QTest::keyClick(fx.widget.get(), Qt::Key_End);
        expectEnd("the end of the shown rows");
        // File C gains a matching record with a continuation line, a record that does not match, and more than a
        // screenful of matching ones, later than every other.
        std::vector<std::pair<std::string, std::int64_t>> extra = {{Stamp(5000) + " INFO record 1 late", 5000},
                                                                   {"    at frame 9", 5000},
                                                                   {Stamp(5001) + " INFO other late", 5001}};
        for (int i = 0; i < 2 * fx.Rows(); ++i)
            extra.push_back({Stamp(5002 + i) + " INFO record 1 later " + std::to_string(i), 5002 + i});
        for (const auto& [text, tenths] : extra) {
            fx.lines.push_back({2, static_cast<std::int64_t>(fx.texts[2].size()), tenths, text});
            fx.texts[2] += text + "\n";
        }
        fx.Write(2);
        fx.merged->WindowOf(2).HandleMessage(platform::WM_FILE_CHANGED, 1, 0);
        fx.Wnd().WaitShownSet();
        expectEnd("following the shown rows");
    }
};

QTEST_MAIN(MergedWndTest)
#include "MergedWndTest.moc"
