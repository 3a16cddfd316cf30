// The application look in the real main window: the look a stored value
// gives, the value written back at every start, the Style menu's mark, a
// choice that restyles the open window at once and holds at the next start;
// and the key tips that Alt shows and that reach the frame's commands.
#include "ShellTestUtil.h"

#include "app/ribbon/RibbonBar.h"
#include "app/shell/Looks.h"
#include "app/shell/WindowsDialog.h"
#include "app/tabgroups/TabGroupArea.h"
#include "view/CommandIds.h"

#include <QMenu>
#include <QSignalSpy>
#include <QTabBar>

using namespace shelltest;

namespace {

constexpr const char* kLookKey = "Settings/ApplicationLook";

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

    void choosingBlackRestylesAtOnceAndHolds()
    {
        const std::string file = WriteFile("black.log");
        {
            Started s({file});
            QVERIFY(s.ok && s.Settle());
            CRibbonBar* ribbon = s.Frame()->GetRibbonBar();
            // The parts take the look at once (the pixels of ApplyLook are LooksTest's).
            QVERIFY(s.Frame()->ExecuteCommand(cmd::AppLookOffice2007Black));
            const CLook& black = s.Frame()->GetLook();
            QCOMPARE(black.name, QString("black"));
            QCOMPARE(ribbon->GetTheme().tabRowBottom, black.ribbon.tabRowBottom);
            QCOMPARE(s.Frame()->GetTabArea()->Theme().rowBackground, black.tabs.rowBackground);
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
        auto alt = [frame] { QTest::keyClick(frame, Qt::Key_Alt); };
        auto sorted = [](QStringList l) {
            l.sort();
            return l;
        };

        alt();
        QCOMPARE(sorted(ribbon->GetShownKeyTips()),
                 sorted({"f", "a", "L", "d", "zf", "zb", "zw", "pc", "n", "s", "W"}));
        QTest::keyClick(frame, Qt::Key_Escape);

        // "a" opens the About box, modal; closed as soon as it shows.
        alt();
        QTimer::singleShot(0, frame, [] {
            if (QWidget* about = QApplication::activeModalWidget())
                about->close();
        });
        QTest::keyClick(frame, Qt::Key_A);
        QCOMPARE(commands.count(), 1);
        QCOMPARE(commands.front().front().toInt(), cmd::AppAbout);
        frame->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(frame));

        // The frame's own command: the windows dialog, closed as soon as it shows.
        alt();
        bool dialogShown = false;
        QTimer::singleShot(0, frame, [&dialogShown] {
            if (auto* dialog = qobject_cast<CWindowsDialog*>(QApplication::activeModalWidget())) {
                dialogShown = true;
                dialog->reject();
            }
        });
        QTest::keyClick(frame, Qt::Key_W, Qt::ShiftModifier);
        QVERIFY(dialogShown);
    }
};

int main(int argc, char** argv)
{
    return Run<ApplicationLookTest>(argc, argv);
}

#include "ApplicationLookTest.moc"
