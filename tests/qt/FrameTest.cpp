// The main frame as a user meets it: its keys, Auto Hide Ribbon, the state
// that comes back at the next start, the status bar's figures and the welcome
// bar.
#include "ShellTestUtil.h"

#include "app/CaptionBar.h"
#include "app/StatusBar.h"
#include "app/ribbon/RibbonBar.h"
#include "app/ribbon/RibbonComboBox.h"
#include "view/CommandIds.h"
#include "view/StringTable.h"

#include <QAction>
#include <QClipboard>
#include <QComboBox>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTextBrowser>
#include <QWhatsThis>

using namespace shelltest;

namespace {

bool Checked(const Started& s, int id)
{
    return s.Update(id).m_nCheck == 1;
}

QString Pane(const Started& s, int id)
{
    s.Frame()->RunUpdatePass();
    return s.Frame()->GetStatusBar()->PaneText(id);
}

}  // namespace

class FrameTest : public QObject {
    Q_OBJECT

private slots:
    void init() { Reset(); }

    void eachKeyReachesItsCommand()
    {
        Started s({WriteFile("keys.log")});
        QVERIFY(s.Settle() && QTest::qWaitForWindowActive(s.Frame()) && QApplication::focusWidget());
        // The keys only: what the commands do is not this test's (Ctrl+O and Ctrl+Shift+F open dialogs).
        QList<int> issued;
        for (QAction* action : s.Frame()->actions()) {
            if (!action->data().isValid())
                continue;
            disconnect(action, &QAction::triggered, s.Frame(), nullptr);
            connect(action, &QAction::triggered, [&issued, action] { issued.append(action->data().toInt()); });
        }
        const std::pair<QKeyCombination, int> rows[] = {
            {Qt::CTRL | Qt::Key_O, cmd::FileOpen},
            {Qt::CTRL | Qt::Key_C, cmd::EditCopy},
            {Qt::CTRL | Qt::Key_Insert, cmd::EditCopy},
            {Qt::Key_F3, cmd::FindNext},
            {Qt::SHIFT | Qt::Key_F3, cmd::FindPrevious},
            {Qt::CTRL | Qt::Key_F, cmd::FindGoTo},
            {Qt::CTRL | Qt::SHIFT | Qt::Key_F, cmd::FindDialog},
            {Qt::Key_F1, cmd::Help},
            {Qt::SHIFT | Qt::Key_F1, cmd::ContextHelp},
            {Qt::Key_F6, cmd::NextPane},
            {Qt::SHIFT | Qt::Key_F6, cmd::PrevPane},
            {QKeyCombination(Qt::Key_Return), 0},  // no frame-wide Return
        };
        for (const auto& [key, id] : rows) {
            issued.clear();
            QTest::keyClick(QApplication::focusWidget(), key.key(), key.keyboardModifiers());
            QCOMPARE(issued, id ? QList<int>{id} : QList<int>{});
        }
    }

    void keysActThroughTheRouterAndCtrlCYieldsToAFocusedEditor()
    {
        Started s({WriteFile("copy.log")});
        QVERIFY(s.Settle() && QTest::qWaitForWindowActive(s.Frame()));
        QApplication::clipboard()->clear();
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_C, Qt::ControlModifier);
        QVERIFY(QApplication::clipboard()->text().contains("beta line"));

        for (int id : {cmd::FindText, cmd::FontName}) {
            auto* box = s.Frame()->GetRibbonBar()->FindByID<CRibbonComboBox>(id);
            box->SetCommandEnabled(true);  // the find box's commands are the find issue's
            QLineEdit* edit = box->GetComboBox()->lineEdit();
            box->GetComboBox()->setFocus();
            edit->setText("needle in the box");
            for (Qt::Key key : {Qt::Key_C, Qt::Key_Insert}) {
                QApplication::clipboard()->clear();
                edit->setSelection(0, 6);
                QTest::keyClick(QApplication::focusWidget(), key, Qt::ControlModifier);
                QCOMPARE(QApplication::clipboard()->text(), QString("needle"));
            }
        }

        QTest::keyClick(s.Frame(), Qt::Key_F1);
        QVERIFY(s.Frame()->GetHelpPage() && s.Frame()->GetHelpPage()->isVisible());
        const QString help = s.Frame()->GetHelpPage()->findChild<QTextBrowser*>()->toPlainText();
        QVERIFY(help.contains("Ctrl+Shift+F") && help.contains(StringTitle(cmd::EditCopy).c_str()));
        s.Frame()->GetHelpPage()->close();
        QVERIFY(s.Frame()->ExecuteCommand(cmd::ContextHelp));
        QVERIFY(QWhatsThis::inWhatsThisMode());
        QWhatsThis::leaveWhatsThisMode();
    }

    void autoHideRibbonAndTheFrameStateComeBackAtTheNextStart()
    {
        {
            Started s;
            CRibbonBar* ribbon = s.Frame()->GetRibbonBar();
            QVERIFY(!ribbon->IsMinimized() && !Checked(s, cmd::ViewAutoHideRibbon));
            QVERIFY(s.Frame()->ExecuteCommand(cmd::ViewAutoHideRibbon));
            s.Frame()->RunUpdatePass();
            QVERIFY(ribbon->IsMinimized() && ribbon->FindByID(cmd::ViewAutoHideRibbon)->IsChecked());
            s.Frame()->setGeometry(40, 50, 700, 480);
            s.Frame()->close();
        }
        {
            Started s;
            QCOMPARE(s.Frame()->geometry(), QRect(40, 50, 700, 480));
            QVERIFY(s.Frame()->GetRibbonBar()->IsMinimized() && Checked(s, cmd::ViewAutoHideRibbon));
            s.Frame()->ExecuteCommand(cmd::ViewAutoHideRibbon);
            QVERIFY(!s.Frame()->GetRibbonBar()->IsMinimized());
            s.Frame()->showMaximized();
            QVERIFY(QTest::qWaitFor([&] { return s.Frame()->isMaximized(); }));
            s.Frame()->close();
        }
        Started s;
        QVERIFY(s.Frame()->isMaximized() && !s.Frame()->GetRibbonBar()->IsMinimized());
        s.Frame()->showNormal();
        QVERIFY(QTest::qWaitFor([&] { return s.Frame()->geometry() == QRect(40, 50, 700, 480); }));
    }

    void thePanesShowTheActiveWindowAndSurviveHiding()
    {
        Started s({WriteFile("short.log", "12345\n"), WriteFile("long.log", QByteArray(1000, 'x'))});
        QVERIFY(s.Settle());
        QCOMPARE(Pane(s, cmd::PaneTotalChars), QString("Total Chars: 1000"));
        QCOMPARE(Pane(s, cmd::PaneEncoding), QString("ANSI / ASCII"));
        s.Frame()->ActivatePreviousChildFrame();
        QCOMPARE(Pane(s, cmd::PaneTotalChars), QString("Total Chars: 6"));
        QCOMPARE(Pane(s, cmd::PaneCurrentChar), QString("Current Char: 0"));

        CStatusBar* bar = s.Frame()->GetStatusBar();
        QVERIFY(Checked(s, cmd::ViewStatusBar));
        s.Frame()->ExecuteCommand(cmd::ViewStatusBar);
        QVERIFY(bar->isHidden() && !Checked(s, cmd::ViewStatusBar));
        s.Frame()->ExecuteCommand(cmd::ViewStatusBar);
        QVERIFY(bar->isVisible() && bar->Element(cmd::PaneTotalChars)->isVisible());
        QCOMPARE(bar->PaneText(cmd::PaneTotalChars), QString("Total Chars: 6"));

        for (int i = 0; i < 2; ++i)
            s.Frame()->ExecuteCommand(cmd::FileClose);
        for (int id : {cmd::PaneCurrentChar, cmd::PaneTotalChars, cmd::PaneEncoding})
            QVERIFY(Pane(s, id).isEmpty());
        QVERIFY(!bar->Element(cmd::Refresh)->isEnabled());
    }

    void theWelcomeBarGreetsTheFirstStartOnly()
    {
        {
            Started s;
            CCaptionBarController* captions = s.Frame()->GetCaptionBarController();
            QVERIFY(captions->IsCaptionBarVisible() && Checked(s, cmd::ViewCaptionBar));
            QCOMPARE(captions->CaptionBar()->Text(), QString(text::WelcomeMessage));
            QVERIFY(QTest::qWaitFor([] { return Settings().value("Caption/Shown Welcome").toInt() == 1; }));

            s.Frame()->ExecuteCommand(cmd::Welcome);
            s.Frame()->ExecuteCommand(cmd::Welcome);
            QCOMPARE(s.Frame()->findChildren<CMyCaptionBar*>().size(), 1);
            CMyCaptionBar* bar = captions->CaptionBar();
            QTest::mouseClick(bar, Qt::LeftButton, {}, bar->CloseRect().center());
            QVERIFY(!captions->IsCaptionBarVisible() && !Checked(s, cmd::ViewCaptionBar));
            s.Frame()->ExecuteCommand(cmd::Welcome);
            QVERIFY(captions->IsCaptionBarVisible());
            s.Frame()->ExecuteCommand(cmd::ViewCaptionBar);
            QVERIFY(!captions->IsCaptionBarVisible());
        }
        Started s;
        QVERIFY(!s.Frame()->GetCaptionBarController()->CaptionBar());
        QVERIFY(s.Frame()->ExecuteCommand(cmd::ViewCaptionBar));  // no bar: nothing, unchecked
        QVERIFY(!s.Frame()->GetCaptionBarController()->CaptionBar() && !Checked(s, cmd::ViewCaptionBar));
    }
};

int main(int argc, char** argv)
{
    return Run<FrameTest>(argc, argv);
}

#include "FrameTest.moc"
