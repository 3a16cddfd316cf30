// The Qt text window, offscreen: events reach the window's handlers, the
// pixels show what the window painted, the bars map bytes both ways.
#include "file/MemoryMappedFile.h"
#include "platform/Window.h"
#include "textwnd/qt/FileWndWidget.h"

#include <QApplication>
#include <QClipboard>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QScrollBar>
#include <QWheelEvent>
#include <QtTest>

#include <climits>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <string>
#include <thread>
#include <unistd.h>

using platform::BlueOf;
using platform::COLORREF;
using platform::GreenOf;
using platform::HWND;
using platform::kFwNormal;
using platform::LOGFONTW;
using platform::RedOf;
using platform::Rgb;
using platform::WM_FILE_CHANGED;

namespace {

constexpr COLORREF kPage = Rgb(0, 0, 128);
constexpr COLORREF kInk = Rgb(255, 255, 0);

QRgb Rgb(COLORREF c)
{
    return qRgb(static_cast<int>(RedOf(c)), static_cast<int>(GreenOf(c)), static_cast<int>(BlueOf(c)));
}

// "line 000\n" ... : every line is 9 bytes, so line k starts at byte 9 k.
std::string NumberedLines(int count, const char* eol = "\n")
{
    std::string s;
    char buf[32];
    for (int i = 0; i < count; ++i) {
        std::snprintf(buf, sizeof buf, "line %03d%s", i, eol);
        s += buf;
    }
    return s;
}

// A widget with a known fixed-pitch font and colours on a file of `bytes`.
struct Fixture {
    QTemporaryDir dir;
    QString path;
    std::unique_ptr<CMemoryMappedFile> file;
    std::unique_ptr<CFileWndWidget> widget;

    explicit Fixture(const std::string& bytes, QSize size = QSize(400, 300))
    {
        path = dir.filePath("text.log");
        QFile f(path);
        if (f.open(QIODevice::WriteOnly))
            f.write(bytes.data(), static_cast<qint64>(bytes.size()));
        f.close();
        Open(size);
    }
    Fixture(const QString& existing, QSize size) : path(existing) { Open(size); }

    void Open(QSize size)
    {
        file = std::make_unique<CMemoryMappedFile>();
        file->Open(QFile::encodeName(path).constData(), false);
        widget = std::make_unique<CFileWndWidget>();
        CFileWnd& w = widget->FileWnd();
        w.SetWatchFile(false);
        LOGFONTW lf{};
        lf.lfHeight = -14;
        lf.lfWeight = kFwNormal;
        const char16_t face[] = u"DejaVu Sans Mono";
        std::memcpy(lf.lfFaceName, face, sizeof face);
        w.SetLogFont(lf);
        w.SetPageColor(kPage);
        w.SetFontColor(kInk);
        widget->resize(size);
        widget->show();
        QVERIFY(QTest::qWaitForWindowExposed(widget.get()));
        QVERIFY(widget->LoadFile(file.get(), EncodingAuto));
        // As in the event loop, the loaded window is painted before input
        // reaches it: the lines on screen are met (and the horizontal range known).
        QCoreApplication::processEvents();
    }

    CFileWnd& Wnd() { return widget->FileWnd(); }
    int Rows() { return widget->viewport()->height() / Wnd().GetLineHeight(); }
    int Cols() { return widget->viewport()->width() / Wnd().GetCharWidth(); }
    QImage Pixels() { return widget->viewport()->grab().toImage().convertToFormat(QImage::Format_RGB32); }

    void Wheel(QPoint angle)
    {
        const QPointF at(10, 10);
        QWheelEvent ev(at, widget->viewport()->mapToGlobal(at), QPoint(), angle, Qt::NoButton, Qt::NoModifier,
                       Qt::NoScrollPhase, false);
        QCoreApplication::sendEvent(widget->viewport(), &ev);
    }
};

// Share of the pixels of `r` that have colour `c`.
double Share(const QImage& img, QRect r, QRgb c)
{
    r = r.intersected(img.rect());
    if (r.isEmpty())
        return 0;
    int hits = 0;
    for (int y = r.top(); y <= r.bottom(); ++y)
        for (int x = r.left(); x <= r.right(); ++x)
            hits += (img.pixel(x, y) & 0xFFFFFF) == (c & 0xFFFFFF);
    return double(hits) / (r.width() * r.height());
}

// Ink: the pixels of `r` that are not the page colour, as the rows and columns they fall in.
struct Ink {
    int count = 0, top = INT_MAX, left = INT_MAX, right = -1;
};
Ink InkOf(const QImage& img, QRect r)
{
    Ink ink;
    r = r.intersected(img.rect());
    for (int y = r.top(); y <= r.bottom(); ++y)
        for (int x = r.left(); x <= r.right(); ++x)
            if ((img.pixel(x, y) & 0xFFFFFF) != (Rgb(kPage) & 0xFFFFFF)) {
                ++ink.count;
                ink.top = std::min(ink.top, y - r.top());
                ink.left = std::min(ink.left, x - r.left());
                ink.right = std::max(ink.right, x - r.left());
            }
    return ink;
}

}  // namespace

class FileWndWidgetTest : public QObject {
    Q_OBJECT
private slots:
    void keysAndBarActionsMoveTheTopAndTheBarShowsBytes()
    {
        Fixture fx(NumberedLines(300));
        CFileWnd& w = fx.Wnd();
        QScrollBar* bar = fx.widget->verticalScrollBar();
        const int rows = fx.Rows();
        QVERIFY(rows > 4);
        QCOMPARE(w.GetTop(), TextPos(9 * (300 - rows)));  // a new window shows the last screenful
        // Below INT_MAX bytes the bar is exact: its last value is the top of the last screenful, its page the rest.
        QCOMPARE(bar->maximum(), int(w.LastPageTop()));
        QCOMPARE(bar->pageStep(), int(w.DataEnd() - w.LastPageTop()));
        using A = QAbstractSlider;
        const struct {
            Qt::Key key;  // or, with none, the bar's action
            A::SliderAction action;
            TextPos top;
        } steps[] = {
            {Qt::Key_Home, A::SliderNoAction, 0},
            {Qt::Key_PageDown, A::SliderNoAction, 9 * (rows - 2)},
            {Qt::Key_Down, A::SliderNoAction, 9 * (rows - 1)},
            {Qt::Key_Up, A::SliderNoAction, 9 * (rows - 2)},
            {Qt::Key_PageUp, A::SliderNoAction, 0},
            {Qt::Key_Space, A::SliderNoAction, 9 * (rows - 2)},
            {Qt::Key_End, A::SliderNoAction, w.LastPageTop()},
            {Qt::Key_unknown, A::SliderToMinimum, 0},
            {Qt::Key_unknown, A::SliderSingleStepAdd, 9},  // one line, not one byte
            {Qt::Key_unknown, A::SliderPageStepAdd, 9 * (rows - 1)},
        };
        for (const auto& step : steps) {
            step.key == Qt::Key_unknown ? bar->triggerAction(step.action) : QTest::keyClick(fx.widget.get(), step.key);
            QCOMPARE(w.GetTop(), step.top);
            QCOMPARE(bar->value(), int(step.top));
        }

        // Dragging the thumb into the middle of a line puts that line at the top.
        bar->setSliderDown(true);
        bar->setSliderPosition(9 * 100 + 4);
        QCOMPARE(w.GetTop(), TextPos(9 * 100));
        bar->setSliderDown(false);
        QCOMPARE(bar->value(), 9 * 100);
        bar->triggerAction(QAbstractSlider::SliderToMaximum);
        QCOMPARE(w.GetTop(), w.LastPageTop());

        // The horizontal bar counts columns: longest line met (with its break) less the window's columns, never
        // below zero. Keys the window does not know are left to the widgets around it.
        QCOMPARE(fx.widget->horizontalScrollBar()->maximum(), 0);
        QCOMPARE(fx.widget->horizontalScrollBar()->pageStep(), fx.Cols());
        QKeyEvent other(QEvent::KeyPress, Qt::Key_F5, Qt::NoModifier);
        QCoreApplication::sendEvent(fx.widget.get(), &other);
        QVERIFY(!other.isAccepted());
    }

    void pixelsShowPageColourInverseHighlightAndTheColumnGrid()
    {
        // Row 0: a highlight that takes in the line break; row 1: a bar in
        // column 40 only; rows below: past the end of the text.
        const std::string text = "hello world\n" + std::string(40, ' ') + "|\n";
        Fixture fx(text, QSize(600, 200));
        CFileWnd& w = fx.Wnd();
        QCOMPARE(w.GetTop(), TextPos(0));
        w.SetHighlight(6, 6);
        const QImage img = fx.Pixels();
        if (qEnvironmentVariableIsSet("OSTREL_TEST_DUMP"))
            img.save(qEnvironmentVariable("OSTREL_TEST_DUMP"));
        const int cw = w.GetCharWidth();
        const int lh = w.GetLineHeight();
        QVERIFY(img.width() > 45 * cw);

        // Inverse video: the font colour is the background of "world"...
        QVERIFY(Share(img, QRect(6 * cw, 0, 5 * cw, lh), Rgb(kInk)) > 0.5);
        // ...and, the match ending the line, of the rest of the row.
        QCOMPARE(Share(img, QRect(11 * cw, 0, img.width() - 11 * cw, lh), Rgb(kInk)), 1.0);
        // "hello " is drawn normally: mostly page colour, some ink.
        const double helloPage = Share(img, QRect(0, 0, 5 * cw, lh), Rgb(kPage));
        QVERIFY(helloPage > 0.5 && helloPage < 1.0);

        // The bar sits in its column: ink in column 40, none in 39 or 41 (the
        // grid is the window's integer width, no drift along the row).
        QVERIFY(Share(img, QRect(40 * cw, lh, cw, lh), Rgb(kPage)) < 0.95);  // antialiased: blends, not pure ink
        QCOMPARE(Share(img, QRect(0, lh, 40 * cw, lh), Rgb(kPage)), 1.0);
        QCOMPARE(Share(img, QRect(41 * cw, lh, img.width() - 41 * cw, lh), Rgb(kPage)), 1.0);

        // Past the end every row is page colour to the edges.
        QCOMPARE(Share(img, QRect(0, 2 * lh, img.width(), img.height() - 2 * lh), Rgb(kPage)), 1.0);

        // Equal colours hide everything, highlight included.
        w.SetFontColor(kPage);
        QCOMPARE(Share(fx.Pixels(), QRect(0, 0, img.width(), img.height()), Rgb(kPage)), 1.0);

        // A click clears the highlight, and the mouse is let go.
        QTest::mouseClick(fx.widget->viewport(), Qt::LeftButton, Qt::NoModifier, QPoint(20, 5));
        QCOMPARE(w.GetHighlightStart(), kNoPos);
        QCOMPARE(w.GetHighlightEnd(), kNoPos);
        QVERIFY(!fx.widget->HasCapture());
    }

    void utf8CharactersTakeTheirCellsAndCopyAsDrawn()
    {
        // A wide character and its two cells, a base with its combining mark in one, a lone byte.
        const std::string text = "\xE6\x97\xA5x\ne\xCC\x81y \xE9\n";
        Fixture fx(text, QSize(300, 100));
        CFileWnd& w = fx.Wnd();
        w.SetCodePage(platform::CodePage::Utf8);
        const QImage img = fx.Pixels();
        const int cw = w.GetCharWidth();
        const int lh = w.GetLineHeight();
        QVERIFY2(Share(img, QRect(2 * cw, 0, cw, lh), Rgb(kPage)) < 0.95, "x in the third cell");
        QCOMPARE(Share(img, QRect(3 * cw, 0, img.width() - 3 * cw, lh), Rgb(kPage)), 1.0);
        QVERIFY2(Share(img, QRect(0, lh, cw, lh), Rgb(kPage)) < 0.95, "e and its mark in the first");
        QVERIFY2(Share(img, QRect(cw, lh, cw, lh), Rgb(kPage)) < 0.95, "y in the second");
        QCOMPARE(Share(img, QRect(2 * cw, lh, cw, lh), Rgb(kPage)), 1.0);
        QVERIFY2(Share(img, QRect(3 * cw, lh, cw, lh), Rgb(kPage)) < 0.95, "the lone byte as é");
        QCOMPARE(Share(img, QRect(4 * cw, lh, img.width() - 4 * cw, lh), Rgb(kPage)), 1.0);
        w.CopyScreenToClipboard();
        QCOMPARE(QGuiApplication::clipboard()->text(), QString::fromUtf8("\u65E5x\ne\u0301y \u00E9\n"));
    }

    void marksSitOnTheirBaseAndRowsHoldCapitalAccents()
    {
        // Row 0: e and a combining acute; row 1: the precomposed letter (and, in UTF-16, where each unit keeps its
        // column, a space for the mark's); row 2: Z and a breve, which compose to nothing; row 3: Z; row 4: E acute.
        const std::u16string lines[2][5] = {{u"e\u0301x", u"\u00E9x", u"Z\u0306", u"Z", u"\u00C9"},
                                            {u"e\u0301x", u"\u00E9 x", u"Z\u0306", u"Z", u"\u00C9"}};
        for (const char16_t* face : {u"Courier New", u"Liberation Mono", u"DejaVu Sans Mono"}) {
            for (const bool utf16 : {false, true}) {
                const QString what = QString::fromUtf16(face) + (utf16 ? " UTF-16" : " UTF-8");
                std::string bytes = utf16 ? std::string("\xFF\xFE", 2) : std::string();
                for (const std::u16string& line : lines[utf16]) {
                    const QString l = QString::fromStdU16String(line) + '\n';
                    const QByteArray b =
                        utf16 ? QByteArray(reinterpret_cast<const char*>(l.utf16()), l.size() * 2) : l.toUtf8();
                    bytes.append(b.constData(), static_cast<std::size_t>(b.size()));
                }
                Fixture fx(bytes, QSize(200, 200));
                CFileWnd& w = fx.Wnd();
                w.SetCodePage(platform::CodePage::Utf8);
                LOGFONTW lf = w.GetLogFont();
                lf.lfHeight = -13;  // 10 points
                std::fill(std::begin(lf.lfFaceName), std::end(lf.lfFaceName), char16_t(0));
                std::copy(face, face + std::char_traits<char16_t>::length(face), lf.lfFaceName);
                w.SetLogFont(lf);
                QCoreApplication::processEvents();
                const QImage img = fx.Pixels();
                const int cw = w.GetCharWidth(), lh = w.GetLineHeight();
                auto row = [&](int r) { return img.copy(0, r * lh, img.width(), lh); };
                QVERIFY2(row(0) == row(1), qPrintable(what + ": e and its acute drawn as the composed letter"));
                const Ink breve = InkOf(img, QRect(0, 2 * lh, img.width(), lh));
                const Ink z = InkOf(img, QRect(0, 3 * lh, img.width(), lh));
                QVERIFY2(breve.count > z.count && breve.top < z.top, qPrintable(what + ": the breve above the Z"));
                QVERIFY2(breve.left >= 0 && breve.right < cw, qPrintable(what + ": the breve within the Z's cell"));
                // The same letter drawn with room above and below it: none of its ink is cut from the row.
                QImage free(cw, 3 * lh, QImage::Format_RGB32);
                {
                    QPainter p(&free);
                    CQtFontCache fonts;
                    CQtFilePainter painter(p, QRegion(free.rect()), fonts, cw);
                    painter.SelectFont(w.GetLogFont());
                    const char16_t e = u'\u00C9';
                    painter.TextOutWide(0, 2 * lh, {0, 0, cw, 3 * lh}, &e, 1, kInk, kPage);
                }
                const int acute = InkOf(img, QRect(0, 4 * lh, cw, lh)).count;
                QVERIFY2(acute > 0 && acute == InkOf(free, free.rect()).count,
                         qPrintable(what + ": the accent of E acute inside its row"));
            }
        }
    }

    void barOfAFileAboveTwoGigabytesIsScaledAndItsMaximumIsTheLastPage()
    {
        // A sparse file of 3 GiB: lines at the start and at the end, a hole of
        // zero bytes between (which no step here reads through).
        QTemporaryDir dir;
        const QString path = dir.filePath("huge.log");
        const std::int64_t size = (std::int64_t(3) << 30) + 1000003;  // no whole bytes per bar step
        const std::string head = NumberedLines(50);
        const std::string tail = "\n" + NumberedLines(1000);
        {
            const int fd = ::open(QFile::encodeName(path).constData(), O_RDWR | O_CREAT | O_TRUNC, 0600);
            QVERIFY(fd >= 0);
            QVERIFY(::pwrite(fd, head.data(), head.size(), 0) == ssize_t(head.size()));
            QVERIFY(::pwrite(fd, tail.data(), tail.size(), size - std::int64_t(tail.size())) == ssize_t(tail.size()));
            ::close(fd);
        }
        Fixture fx(path, QSize(400, 300));
        CFileWnd& w = fx.Wnd();
        QScrollBar* bar = fx.widget->verticalScrollBar();
        const TextPos last = w.LastPageTop();
        QCOMPARE(last, TextPos(size - 9 * fx.Rows()));

        // Scaled: the bar's range fits an int and is far below the byte count.
        QVERIFY(bar->maximum() > 0);
        QVERIFY(bar->maximum() < INT_MAX / 2);
        QCOMPARE(bar->value(), bar->maximum());
        QCOMPARE(fx.widget->VBarBytesOf(bar->maximum()), std::int64_t(last));

        // The ends of the thumb's travel are exact.
        bar->setSliderDown(true);
        bar->setSliderPosition(0);
        QCOMPARE(w.GetTop(), TextPos(0));
        bar->setSliderPosition(bar->maximum());
        QCOMPARE(w.GetTop(), last);
        // One step short of the end lands on a line start just above it.
        bar->setSliderPosition(bar->maximum() - 1);
        QVERIFY(w.GetTop() < last);
        QVERIFY(w.GetTop() > size - std::int64_t(tail.size()));
        QCOMPARE((w.GetTop() - (size - std::int64_t(tail.size()) + 1)) % 9, TextPos(0));
        bar->setSliderDown(false);
        QCOMPARE(bar->value(), fx.widget->VBarValueOf(w.GetTop()));
        QVERIFY(fx.widget->VBarBytesOf(bar->value()) <= std::int64_t(w.GetTop()));

        // Keys still step by lines at the end of a huge file.
        QTest::keyClick(fx.widget.get(), Qt::Key_End);
        QTest::keyClick(fx.widget.get(), Qt::Key_Up);
        QCOMPARE(w.GetTop(), last - 9);
        QCOMPARE(bar->value(), fx.widget->VBarValueOf(last - 9));
    }

    void wheelMovesAQuarterAndTouchpadDeltasAddUp()
    {
        std::string text;  // 300 lines of 300 characters and a break: line k starts at byte 301 k
        for (int i = 0; i < 300; ++i)
            text += "line " + std::to_string(1000 + i).substr(1) + std::string(292, 'x') + "\n";
        Fixture fx(text);
        CFileWnd& w = fx.Wnd();
        const int rows = (fx.Rows() - 2) / 4, cols = fx.Cols() / 4;  // a quarter of the page, of the columns
        QVERIFY(rows >= 1 && cols >= 1);
        QTest::keyClick(fx.widget.get(), Qt::Key_Home);
        const struct {
            QPoint angle;
            int down, right;  // quarters from the top and from the left afterwards
        } steps[] = {
            {{0, -120}, 1, 0},                                        // one notch towards the user: down the text
            {{0, -40}, 1, 0},   {{0, -40}, 1, 0},  {{0, -40}, 2, 0},  // a touchpad: a third of a notch each
            {{0, -60}, 2, 0},   {{0, 60}, 2, 0},   {{0, 60}, 1, 0},   // a new direction drops the part collected
            {{-120, 0}, 1, 1},  {{-120, 0}, 1, 2}, {{120, 0}, 1, 1},  // Qt reports a tilt to the right as negative
            {{120, 120}, 0, 0},                                       // a diagonal move acts on both axes
            {{0, -240}, 2, 0},                                        // two notches in one event
        };
        for (const auto& step : steps) {
            fx.Wheel(step.angle);
            QCOMPARE(w.GetTop(), TextPos(301 * rows * step.down));
            QCOMPARE(w.GetHorzOffset(), std::int64_t(cols * step.right));
            QCOMPARE(fx.widget->horizontalScrollBar()->value(), cols * step.right);
        }
        // Over the bar the wheel moves the text the same way; Right moves a quarter of the columns as well.
        QWheelEvent ev(QPointF(2, 2), QPointF(2, 2), QPoint(), QPoint(0, -120), Qt::NoButton, Qt::NoModifier,
                       Qt::NoScrollPhase, false);
        QCoreApplication::sendEvent(fx.widget->verticalScrollBar(), &ev);
        QCOMPARE(w.GetTop(), TextPos(301 * rows * 3));
        QTest::keyClick(fx.widget.get(), Qt::Key_Right);
        QCOMPARE(w.GetHorzOffset(), std::int64_t(cols));
    }

    void postedFileChangedMessageReloadsFromAnotherThread()
    {
        Fixture fx(NumberedLines(100));
        CFileWnd& w = fx.Wnd();
        QCOMPARE(w.CharacterCount(), std::uint64_t(900));
        {
            QFile f(fx.path);
            QVERIFY(f.open(QIODevice::Append));
            f.write(QByteArray::fromStdString(NumberedLines(120).substr(900)));
        }
        const HWND hwnd = w.GetSafeHwnd();
        std::thread poster([hwnd] { platform::PostWindowMessage(hwnd, WM_FILE_CHANGED, 1, 0); });
        poster.join();
        // Delivered by the event loop, not by the posting thread.
        QTRY_COMPARE(w.CharacterCount(), std::uint64_t(9 * 120));
        // The window was at the end, so it follows to the new end.
        QCOMPARE(w.GetTop(), w.LastPageTop());
        QCOMPARE(w.GetTop(), TextPos(9 * (120 - fx.Rows())));
    }

    void gutterNumbersTheRowsLeftOfTheTextArea()
    {
        Fixture fx(NumberedLines(300));
        QTest::keyClick(fx.widget.get(), Qt::Key_Home);
        const int cw = fx.Wnd().GetCharWidth();
        auto show = [&](bool on) {
            CFileWndWidget::SetLineNumbers(on);
            fx.widget->viewport()->update();
            return QTest::qWaitFor([&] { return (fx.widget->GutterWidth() > 0) == on; });
        };
        // Not counted yet: only the first line's number is known.
        QVERIFY(show(true));
        QCOMPARE(fx.widget->GutterText(0), QString("1"));
        QCOMPARE(fx.widget->GutterText(1), QString("\u2026"));
        // The column of mark dots first, kept while the numbers are on.
        const int dots = fx.widget->MarkColumnWidth();
        QCOMPARE(fx.widget->GutterWidth(), dots + 2 * cw);
        QCOMPARE(fx.widget->viewport()->x(), dots + 2 * cw);
        // Counted in the background: the numbers appear, and at the end the gutter widens for three digits.
        fx.Wnd().SetCountLines(true);
        QVERIFY(QTest::qWaitFor([&] { return fx.widget->GutterText(1) == "2"; }));
        QTest::keyClick(fx.widget.get(), Qt::Key_End);
        QVERIFY(QTest::qWaitFor([&] { return fx.widget->GutterWidth() == dots + 4 * cw; }));
        QCOMPARE(fx.widget->GutterText(0), QString::number(300 - fx.Rows() + 1));
        fx.Wnd().CopyScreenToClipboard();
        QVERIFY(QGuiApplication::clipboard()->text().startsWith(
            QString("line %1").arg(300 - fx.Rows(), 3, 10, QChar('0'))));
        QVERIFY(show(false));
        QCOMPARE(fx.widget->viewport()->x(), 0);
    }

    // A drag beyond the drag distance selects from the press to the pointer, scrolling when the pointer leaves the text
    // below; double- and triple-clicks take a word and a line, Shift+click extends, a plain click selects nothing and
    // copy then takes the screen; Escape drops the selection.
    void mouseSelectsAndTheSelectionIsCopied()
    {
        Fixture fx(NumberedLines(200));
        CFileWnd& w = fx.Wnd();
        QWidget* vp = fx.widget->viewport();
        QTest::keyClick(fx.widget.get(), Qt::Key_Home);
        const int cw = w.GetCharWidth(), lh = w.GetLineHeight();
        auto at = [&](int col, int row, bool right = false) {
            return QPoint(col * cw + (right ? cw - 2 : 1), row * lh + 3);
        };
        auto move = [&](QPoint p) {
            QMouseEvent ev(QEvent::MouseMove, p, vp->mapToGlobal(p), Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
            QCoreApplication::sendEvent(vp, &ev);
        };
        auto copied = [&] {
            w.CopyToClipboard();
            return QGuiApplication::clipboard()->text();
        };

        QTest::mouseClick(vp, Qt::LeftButton, Qt::NoModifier, at(2, 0));
        QVERIFY(!w.HasSelection());
        QVERIFY(copied().startsWith("line 000\nline 001\n"));

        // Within the drag distance nothing is selected; beyond it the drag selects across lines.
        QTest::mousePress(vp, Qt::LeftButton, Qt::NoModifier, at(5, 0));
        move(at(5, 0) + QPoint(1, 0));
        QVERIFY(!w.HasSelection());
        move(at(4, 2, true));
        QTest::mouseRelease(vp, Qt::LeftButton, Qt::NoModifier, at(4, 2, true));
        QCOMPARE(copied(), QString("000\nline 001\nline "));
        QClipboard* clipboard = QGuiApplication::clipboard();
        if (clipboard->supportsSelection())
            QCOMPARE(clipboard->text(QClipboard::Selection), QString("000\nline 001\nline "));
        // Drawn in the palette's highlight colour.
        const QRgb highlight = vp->palette().color(QPalette::Highlight).rgb();
        QVERIFY(Share(fx.Pixels(), QRect(0, lh, 8 * cw, lh), highlight) > 0.4);
        QTest::keyClick(fx.widget.get(), Qt::Key_Escape);
        QVERIFY(!w.HasSelection());
        QCOMPARE(Share(fx.Pixels(), QRect(0, lh, 8 * cw, lh), highlight), 0.0);

        QTest::mouseDClick(vp, Qt::LeftButton, Qt::NoModifier, at(6, 3));
        QCOMPARE(copied(), QString("003"));
        QTest::mouseClick(vp, Qt::LeftButton, Qt::NoModifier, at(6, 3));
        QCOMPARE(copied(), QString("line 003\n"));

        QTest::qWait(QApplication::doubleClickInterval() + 50);
        QTest::mouseClick(vp, Qt::LeftButton, Qt::NoModifier, at(0, 1));
        QTest::mouseClick(vp, Qt::LeftButton, Qt::ShiftModifier, at(20, 2));
        QCOMPARE(copied(), QString("line 001\nline 002"));

        // Held below the text, the drag scrolls on and the selection grows with it.
        const TextPos lastOnScreen = TextPos(9) * fx.Rows();
        QTest::mousePress(vp, Qt::LeftButton, Qt::NoModifier, at(0, 1));
        move(QPoint(cw, vp->height() + 20));
        QTRY_VERIFY(w.GetTop() >= 9 * 3);
        QTest::mouseRelease(vp, Qt::LeftButton, Qt::NoModifier, QPoint(cw, vp->height() + 20));
        QCOMPARE(w.GetSelectionStart(), TextPos(9));
        QVERIFY(w.GetSelectionEnd() > lastOnScreen);
        const TextPos top = w.GetTop();
        QTest::qWait(200);
        QCOMPARE(w.GetTop(), top);  // released: no more scrolling
    }
};

QTEST_MAIN(FileWndWidgetTest)
#include "FileWndWidgetTest.moc"
