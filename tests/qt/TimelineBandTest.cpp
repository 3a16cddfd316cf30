// The timeline band as the user meets it: off at the first start, turned on by its command above a log's
// window (not above a plain text's), its bars painted by level, and a click, a drag and a double-click going
// through the view to the window's top line, the filter stack's time range and Show Only Filtered.
#include "ShellTestUtil.h"

#include "app/shell/FilterStackEditor.h"
#include "view/CommandIds.h"
#include "view/qt/TimelineBand.h"

#include <QLineEdit>
#include <QPainter>

#include <ctime>

using namespace shelltest;

namespace {

constexpr int kRecords = 2000;
constexpr std::int64_t kFirst = 1765100000000000;  // 2025-12-07, UTC
// One record a second, every line as long as the others; records 1200 .. 1259 are an error burst.
QByteArray Log(int from = 0, int to = kRecords)
{
    QByteArray bytes;
    for (int i = from; i < to; ++i) {
        const std::time_t secs = static_cast<std::time_t>(kFirst / 1000000 + i);
        std::tm tm{};
        gmtime_r(&secs, &tm);
        char buf[80];
        std::strftime(buf, sizeof buf, "%Y-%m-%dT%H:%M:%S.000000Z", &tm);
        const bool error = i >= 1200 && i < 1260;
        bytes += QByteArray(buf) + (error ? " ERROR" : " INFO ") + " [main] request " +
                 QByteArray::number(i).rightJustified(5, '0') + "\n";
    }
    return bytes;
}
const qsizetype kLineBytes = Log().indexOf('\n') + 1;

struct Window {
    Started s;
    CTimelineBand* band = nullptr;
    explicit Window(const std::vector<std::string>& paths) : s(paths)
    {
        if (!s.Settle())
            return;
        s.Frame()->resize(1200, 700);
        s.Frame()->activateWindow();
        (void)QTest::qWaitForWindowActive(s.Frame());
        band = s.ActiveFrame()->GetViewWidget()->Timeline();
    }
    CFileWnd& Wnd() const { return s.Wnd(); }
    // The record index of the window's top line.
    std::int64_t TopRecord() const { return (Wnd().GetTop() - Wnd().DataStart()) / kLineBytes; }
    bool Ready() const
    {
        Wnd().WaitRecordSummaries();
        return Until(
            [this] { return band->isVisible() && band->Columns().HasRecords() && !band->Columns().Incomplete(); });
    }
};

}  // namespace

class TimelineBandTest : public QObject {
    Q_OBJECT

private slots:
    void init() { Reset(); }

    void theCommandShowsTheBandAboveLogsOnlyAndIsKept()
    {
        const std::string log = WriteFile("app.log", Log());
        const std::string plain = WriteFile("notes.txt", "no times\nin here\n");
        {
            Window w({plain, log});
            QCOMPARE(w.s.Update(cmd::Timeline).m_nCheck, 0);  // off at the first start
            QVERIFY(!w.band->isVisible());
            QVERIFY(!w.Wnd().GetRecordSummaries());  // nothing is spent on a timeline nobody sees
            w.s.Frame()->ExecuteCommand(cmd::Timeline);
            QCOMPARE(w.s.Update(cmd::Timeline).m_nCheck, 1);
            QVERIFY(w.Ready());
            QCOMPARE(w.band->height(), CTimelineBand::kHeight);
            QCOMPARE(w.band->accessibleName(), QStringLiteral("Timeline"));
            QVERIFY2(w.band->accessibleDescription().contains("error 60") &&
                         w.band->accessibleDescription().contains("info 1940"),
                     qPrintable(w.band->accessibleDescription()));
            // The plain text's window has summaries of nothing: no band.
            for (CTextFileViewerChildFrame* frame : w.s.Frame()->GetChildFrames())
                if (!frame->GetViewWidget()->TextWindow()->FileWnd().GetRecordSummaries())
                    QVERIFY(!frame->GetViewWidget()->Timeline()->isVisible());
        }
        QCOMPARE(Settings().value("Log/Timeline").toInt(), 1);
        {
            // Hidden again, the band's pass goes with it.
            Window w({log});
            QVERIFY(w.Ready());
            w.s.Frame()->ExecuteCommand(cmd::Timeline);
            QVERIFY(!w.band->isVisible());
            QVERIFY(!w.Wnd().GetRecordSummaries());
            w.s.Frame()->ExecuteCommand(cmd::Timeline);
        }
        Window again({log});
        QCOMPARE(again.s.Update(cmd::Timeline).m_nCheck, 1);
        QVERIFY(again.Ready());
    }

    void barsArePaintedByLevelFromTheBottom()
    {
        Window w({WriteFile("app.log", Log())});
        w.s.Frame()->ExecuteCommand(cmd::Timeline);
        QVERIFY(w.Ready());
        const timeline::CTimeline& tl = w.band->Columns();
        const QImage image = w.band->grab().toImage();
        const qreal ratio = image.devicePixelRatio();
        const int bottom = static_cast<int>((w.band->height() - 1) * ratio);
        struct Case {
            const char* what;
            int level;  // the column holds records of this level alone
        } cases[] = {{"errors only", 2}, {"info only", 4}};
        for (const Case& c : cases) {
            int column = -1;
            for (int x = 0; x < tl.Width() && column < 0; ++x)
                if (tl.At(x).n[c.level] && tl.At(x).n[c.level] == tl.At(x).Total())
                    column = x;
            QVERIFY2(column >= 0, c.what);
            QCOMPARE(image.pixelColor(static_cast<int>(column * ratio), bottom), w.band->LevelColor(c.level));
        }
        QVERIFY(w.band->LevelColor(2) != w.band->LevelColor(4));
        // A column's tooltip counts its records by level.
        const int burst = tl.ColumnOf(kFirst + std::int64_t{1230} * 1000000);
        QVERIFY2(w.band->ColumnToolTip(burst).contains(QStringLiteral("error %1").arg(tl.At(burst).n[2])),
                 qPrintable(w.band->ColumnToolTip(burst)));
    }

    // The band keeps the final blocks it took: growth adds to them, a cut or another text takes them all again.
    void theBandFollowsTheFileAsItGrowsAndIsCut()
    {
        const std::string path = WriteFile("app.log", Log());
        Window w({path});
        w.s.Frame()->ExecuteCommand(cmd::Timeline);
        QVERIFY(w.Ready());
        struct Step {
            const char* what;
            bool append;
            int from, to;  // the records written
            std::uint64_t records, errors;
        } steps[] = {
            {"grown", true, kRecords, 9000, 9000, 60},
            {"cut", false, 1100, 1300, 200, 60},
            {"grown again", true, 1300, 4000, 2900, 60},
            {"written anew, shorter, no errors", false, 0, 500, 500, 0},
        };
        for (const Step& step : steps) {
            QFile file(QString::fromStdString(path));
            QVERIFY(file.open(step.append ? QIODevice::Append : QIODevice::WriteOnly | QIODevice::Truncate));
            file.write(Log(step.from, step.to));
            file.close();
            QVERIFY(w.Wnd().LoadFile(nullptr, EncodingAuto));
            QVERIFY(w.Ready());
            const timeline::Column& totals = w.band->Columns().Totals();
            QVERIFY2(totals.Total() == step.records, step.what);
            QVERIFY2(totals.n[2] == step.errors, step.what);
        }
    }

    // The bars alone over summaries made by hand: a pass halfway through the text leaves the columns past its
    // last time unreached, and those are hatched, not left as the page nor filled.
    void unreachedColumnsAreHatched()
    {
        std::vector<logformat::BlockSummary> blocks(8);
        for (std::size_t k = 0; k < blocks.size(); ++k) {
            blocks[k].minMicros = kFirst + static_cast<std::int64_t>(k) * 1000000;
            blocks[k].maxMicros = blocks[k].minMicros + 999999;
            blocks[k].firstLine = blocks[k].firstRecord = 0;
            blocks[k].counts[0][k < 4 ? 2 : 4] = 50;  // errors in the first half, info in the second
        }
        const std::array<QColor, 7> colours = {QColor(90, 90, 90),   QColor(120, 0, 0),     QColor(230, 40, 30),
                                               QColor(230, 160, 40), QColor(200, 200, 200), QColor(100, 100, 100),
                                               QColor(60, 60, 60)};
        const QColor page(0, 0, 0), neutral(128, 128, 128);
        struct Case {
            const char* what;
            bool complete;
            int hatchedFrom;  // the first hatched column (-1: none)
        } cases[] = {{"a pass that is done", true, -1}, {"a pass halfway through", false, 40}};
        for (const Case& c : cases) {
            timeline::CTimeline tl;
            tl.Build(blocks.data(), c.complete ? 8 : 4, 80, {c.complete, 4 * 65536, 8 * 65536});
            QImage image(80, CTimelineBand::kHeight, QImage::Format_RGB32);
            image.fill(page);
            QPainter p(&image);
            CTimelineBand::PaintBars(p, tl, colours, neutral, image.height());
            p.end();
            // The first column holds errors alone: error colour from the bottom.
            QCOMPARE(image.pixelColor(0, image.height() - 1), colours[2]);
            for (int x = 0; x < 80; ++x) {
                int hatch = 0, bare = 0;
                for (int y = 0; y < image.height(); ++y) {
                    const QColor px = image.pixelColor(x, y);
                    hatch += px == neutral;
                    bare += px == page;
                }
                const bool hatched = c.hatchedFrom >= 0 && x >= c.hatchedFrom;
                QVERIFY2(hatched == (tl.At(x).unreached), c.what);
                if (hatched)
                    QVERIFY2(hatch > 0 && bare > 0, qPrintable(QStringLiteral("%1: column %2").arg(c.what).arg(x)));
            }
        }
    }

    void clicksDragsAndDoubleClicksReachTheWindow()
    {
        Window w({WriteFile("app.log", Log())});
        w.s.Frame()->ExecuteCommand(cmd::Timeline);
        w.s.Frame()->ExecuteCommand(cmd::FilterEditor);  // its time fields follow the band's range
        auto* from = w.s.Frame()->GetFilterEditor()->findChild<QLineEdit*>("filterFrom");
        QVERIFY(from);
        QVERIFY(w.Ready());
        const timeline::CTimeline& tl = w.band->Columns();
        const int y = CTimelineBand::kHeight / 2;
        auto column = [&](int record) { return tl.ColumnOf(kFirst + std::int64_t{record} * 1000000); };
        // The first record at or after a time, one record a second from kFirst.
        auto recordAt = [](std::int64_t micros) {
            return std::max<std::int64_t>(0, (micros - kFirst + 999999) / 1000000);
        };
        struct Step {
            const char* what;
            int from, to;  // records under the press and the release
            bool doubleClick = false;
        } steps[] = {
            {"a click", 500, 500},
            {"another click", 100, 100},
            {"a drag to the right", 1100, 1300},
            {"a drag to the left", 900, 300},
            {"a double-click", 700, 700, true},
        };
        for (const Step& step : steps) {
            const int x1 = column(step.from), x2 = column(step.to);
            const shownset::FilterStack before = w.Wnd().GetFilterStack();
            if (step.doubleClick) {
                QTest::mouseDClick(w.band, Qt::LeftButton, {}, QPoint(x1, y));
                QVERIFY2(!w.Wnd().GetFilterStack().hasFrom && !w.Wnd().GetFilterStack().hasTo, step.what);
                QVERIFY2(from->text().isEmpty(), step.what);
                continue;
            }
            QTest::mousePress(w.band, Qt::LeftButton, {}, QPoint(x1, y));
            if (x1 != x2) {
                QMouseEvent move(QEvent::MouseMove, QPointF(x2, y), w.band->mapToGlobal(QPointF(x2, y)), Qt::NoButton,
                                 Qt::LeftButton, Qt::NoModifier);
                QApplication::sendEvent(w.band, &move);
            }
            QTest::mouseRelease(w.band, Qt::LeftButton, {}, QPoint(x2, y));
            if (x1 == x2) {
                QCOMPARE(w.TopRecord(), recordAt(tl.ClickTime(x1)));
                QVERIFY2(w.Wnd().GetFilterStack() == before, step.what);  // a click filters nothing
                continue;
            }
            const timeline::CTimeline::Range r = tl.DragRange(x1, x2);
            const shownset::FilterStack& stack = w.Wnd().GetFilterStack();
            QVERIFY2(stack.hasFrom && stack.hasTo, step.what);
            QCOMPARE(stack.fromMicros, r.from);
            QCOMPARE(stack.toMicros, r.to);
            QVERIFY2(w.Wnd().IsShowOnlyFiltered(), step.what);
            QVERIFY2(!from->text().isEmpty(), step.what);
            QCOMPARE(w.s.Update(cmd::ShowOnlyFiltered).m_nCheck, 1);
            // The window shows the range's records: its top line is the first of them or later.
            w.Wnd().WaitShownSet();
            QVERIFY2(w.TopRecord() >= recordAt(r.from) && w.TopRecord() <= r.to / 1000000 - kFirst / 1000000,
                     step.what);
            // Outside the range the band is dimmed, inside it the bars keep their colour.
            const QImage image = w.band->grab().toImage();
            const qreal ratio = image.devicePixelRatio();
            const int bottom = static_cast<int>((w.band->height() - 1) * ratio);
            const int inside = tl.ColumnOf(r.from) + 1, outside = std::min(x1, x2) > 5 ? 2 : tl.Width() - 3;
            QCOMPARE(image.pixelColor(static_cast<int>(inside * ratio), bottom), w.band->LevelColor(4));
            QVERIFY2(image.pixelColor(static_cast<int>(outside * ratio), bottom) != w.band->LevelColor(4), step.what);
        }
    }
};

OSTREL_SHELL_TEST_MAIN(TimelineBandTest)

#include "TimelineBandTest.moc"
