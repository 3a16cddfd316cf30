// The timeline band as the user meets it: off at the first start, turned on by its command above a log's
// window (not above a plain text's), its bars painted by level, and a click, a drag and a double-click going
// through the view to the window's top line, the filter stack's time range and Show Only Filtered.
#include "ShellTestUtil.h"

#include "view/CommandIds.h"
#include "view/qt/TimelineBand.h"

#include <ctime>

using namespace shelltest;

namespace {

constexpr int kRecords = 2000;
constexpr std::int64_t kFirst = 1765100000000000;  // 2025-12-07, UTC
// One record a second, every line as long as the others; records 1200 .. 1259 are an error burst.
QByteArray Log()
{
    QByteArray bytes;
    for (int i = 0; i < kRecords; ++i) {
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

    void clicksDragsAndDoubleClicksReachTheWindow()
    {
        Window w({WriteFile("app.log", Log())});
        w.s.Frame()->ExecuteCommand(cmd::Timeline);
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

int main(int argc, char** argv)
{
    return Run<TimelineBandTest>(argc, argv);
}

#include "TimelineBandTest.moc"
