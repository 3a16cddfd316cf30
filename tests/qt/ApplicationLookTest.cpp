// The application look in the real main window: the look a stored value
// gives, the value written back at every start, the Style menu's mark, a
// choice that restyles every part of the open window at once (its pixels)
// and holds at the next start; and the key tips that Alt shows and that
// reach the commands (the About box showing this build's version).
#include "ShellTestUtil.h"

#include "app/bars/AboutDlg.h"
#include "app/bars/CaptionBar.h"
#include "app/bars/StatusBar.h"
#include "app/ribbon/RibbonCategory.h"
#include "app/ribbon/RibbonPaint.h"
#include "app/ribbon/RibbonPanel.h"
#include "app/shell/Looks.h"
#include "app/tabgroups/TabGroupArea.h"
#include "view/BuildDate.h"
#include "view/CommandIds.h"

#include <QEnterEvent>
#include <QLabel>
#include <QMenu>
#include <QTabBar>

#include <cmath>

using namespace shelltest;

namespace {

constexpr const char* kLookKey = "Settings/ApplicationLook";

bool Near(const QColor& a, const QColor& b)
{
    return std::hypot(a.red() - b.red(), a.green() - b.green(), a.blue() - b.blue()) <= 6;
}

// The look commands whose menu items carry a mark.
QList<int> Marked(const CRibbonBar* bar)
{
    QList<int> ids;
    for (const QMenu* menu : bar->findChildren<QMenu*>())
        for (const QAction* action : menu->actions())
            if (action->isChecked() && action->data().toInt() >= cmd::AppLookFirst &&
                action->data().toInt() <= cmd::AppLookLast)
                ids.append(action->data().toInt());
    return ids;
}

}  // namespace

class ApplicationLookTest : public QObject {
    Q_OBJECT

private slots:
    void init() { Reset(); }

    void theStoredLookAtStart_data()
    {
        QTest::addColumn<int>("stored");  // 0: nothing stored
        QTest::addColumn<QString>("look");
        QTest::addColumn<QList<int>>("marked");
        QTest::newRow("first start") << 0 << "silver" << QList<int>{cmd::AppLookOffice2007Silver};
        QTest::newRow("210") << 210 << "blue" << QList<int>{};
        QTest::newRow("4242") << 4242 << "blue" << QList<int>{};
        QTest::newRow("208") << 208 << "beige" << QList<int>{};
        QTest::newRow("218") << 218 << "aqua" << QList<int>{cmd::AppLookOffice2007Aqua};
    }

    void theStoredLookAtStart()
    {
        QFETCH(int, stored);
        QFETCH(QString, look);
        QFETCH(QList<int>, marked);
        if (stored) {
            QSettings settings = Settings();
            settings.setValue(kLookKey, stored);
        }
        Started s;
        QVERIFY(s.ok);
        s.Frame()->RunUpdatePass();
        QCOMPARE(s.Frame()->GetLook().name, look);
        QCOMPARE(s.Frame()->GetRibbonBar()->GetTheme().tabRowBottom, s.Frame()->GetLook().ribbon.tabRowBottom);
        QCOMPARE(s.Frame()->GetTabArea()->Theme().rowBackground, s.Frame()->GetLook().tabs.rowBackground);
        QCOMPARE(s.Frame()->GetApplicationLook(), stored ? stored : cmd::AppLookOffice2007Silver);
        QCOMPARE(Settings().value(kLookKey).toInt(), stored ? stored : cmd::AppLookOffice2007Silver);
        QCOMPARE(Marked(s.Frame()->GetRibbonBar()), marked);
    }

    // One command restyles ribbon, tab rows, status bar and caption bar at once, the text window keeps the colours
    // of its file, and the choice holds at the next start.
    void choosingBlackRestylesEveryPartAtOnceAndHolds()
    {
        {
            Started s({WriteFile("black.log")});
            QVERIFY(s.ok && s.Settle());
            CTextFileViewerMainFrame* frame = s.Frame();
            CRibbonBar* ribbon = frame->GetRibbonBar();
            QWidget* panel = ribbon->GetActiveCategory()->GetPanel(0);
            QWidget* row = frame->GetTabArea()->TabBar(0)->parentWidget();  // its tab row's background above the tab
            CStatusBar* status = frame->GetStatusBar();
            QWidget* caption = frame->GetCaptionBarController()->CaptionBar();
            QWidget* text = s.ActiveFrame()->GetViewWidget()->TextWindow()->viewport();
            const int titleMiddle = panel->height() - ribbon::titleHeight(panel->fontMetrics()) / 2 - 1;
            const QList<std::pair<QWidget*, QPoint>> probes{{ribbon, {ribbon->width() / 2, 0}},
                                                            {panel, {3, titleMiddle}},
                                                            {row, {row->width() / 2, 1}},
                                                            {status, {status->width() / 2, status->height() / 2}},
                                                            {caption, {1, 1}},
                                                            {text, {text->width() - 5, 40}}};
            auto colours = [&] {
                const QImage shot = frame->grab().toImage();
                QList<QColor> seen;
                for (const auto& [widget, at] : probes)
                    seen.append(shot.pixelColor(widget->mapTo(frame, at)));
                return seen;
            };
            const QList<QColor> before = colours();
            QVERIFY(frame->ExecuteCommand(cmd::AppLookOffice2007Black));
            const CLook& black = frame->GetLook();
            QCOMPARE(black.name, QString("black"));
            const QList<QColor> after = colours();
            const QList<QColor> expected{black.ribbon.tabRowTop,
                                         black.ribbon.panelTitleBack,
                                         black.tabs.rowBackground,
                                         QColor(),
                                         black.captionBar.color(QPalette::Window),
                                         QColor(Qt::black)};
            for (qsizetype i = 0; i < probes.size(); ++i) {
                QVERIFY2((before[i] == after[i]) == (i == probes.size() - 1), qPrintable(QString::number(i)));
                if (expected[i].isValid())
                    QVERIFY2(Near(after[i], expected[i]),
                             qPrintable(QStringLiteral("%1: %2").arg(i).arg(after[i].name())));
            }
            // The status bar stands between the two ends of its own gradient, and its link takes the look's colour.
            QVERIFY(after[3].lightness() <= black.statusBar.top.lightness() &&
                    after[3].lightness() >= black.statusBar.bottom.lightness());
            QVERIFY(
                qobject_cast<QLabel*>(status->Element(cmd::StatusLink))->text().contains(black.statusBar.link.name()));

            // The Style button on the dark tab row: light text, and dark text on the light highlight once lit.
            CRibbonElement* styleButton = ribbon->GetTabElements().front();
            auto inks = [&] {
                const QImage shot = styleButton->grab().toImage();
                QSet<QRgb> seen;
                for (int y = 0; y < shot.height(); ++y)
                    for (int x = 0; x < shot.width(); ++x)
                        seen.insert(shot.pixel(x, y));
                return std::pair{seen.contains(black.ribbon.tabText.rgb()), seen.contains(black.ribbon.text.rgb())};
            };
            QCOMPARE(inks(), std::pair(true, false));
            QEnterEvent enter(QPointF(2, 2), QPointF(2, 2), styleButton->mapToGlobal(QPointF(2, 2)));
            QApplication::sendEvent(styleButton, &enter);
            QCOMPARE(inks(), std::pair(false, true));
            s.Frame()->RunUpdatePass();
            QCOMPARE(Marked(ribbon), QList<int>{cmd::AppLookOffice2007Black});
        }
        QCOMPARE(Settings().value(kLookKey).toInt(), cmd::AppLookOffice2007Black);
        Started again;
        QCOMPARE(again.Frame()->GetLook().name, QString("black"));
    }

    void altShowsTheKeyTipsThatReachTheCommands()
    {
        Started s({WriteFile("tips.log")});
        QVERIFY(s.ok && s.Settle());
        CTextFileViewerMainFrame* frame = s.Frame();
        QVERIFY(QTest::qWaitForWindowActive(frame));
        CRibbonBar* ribbon = frame->GetRibbonBar();
        QSignalSpy commands(ribbon, &CRibbonBar::commandTriggered);

        // (Which tips show is RibbonQtTest's, on the same content.) "a" opens the About box with this build's version, modal; closed as soon as it shows.
        QTest::keyClick(frame, Qt::Key_Alt);
        QString version;
        QTimer::singleShot(0, frame, [&version] {
            if (auto* about = qobject_cast<CAboutDlg*>(QApplication::activeModalWidget())) {
                version = about->findChild<QLabel*>("version")->text();
                about->close();
            }
        });
        QTest::keyClick(frame, Qt::Key_A);
        QCOMPARE(commands.count(), 1);
        QCOMPARE(commands.front().front().toInt(), cmd::AppAbout);
        QCOMPARE(version,
                 "Ostrel File Viewer, Version " + QString::fromStdString(BuildVersionText(ProgramBuildDate())));
    }
};

OSTREL_SHELL_TEST_MAIN(ApplicationLookTest)

#include "ApplicationLookTest.moc"
