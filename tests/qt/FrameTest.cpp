// The main frame as a user meets it: its keys, Auto Hide Ribbon, the state
// that comes back at the next start, the status bar's figures and the welcome
// bar.
#include "ShellTestUtil.h"

#include "app/bars/AboutDlg.h"
#include "app/bars/CaptionBar.h"
#include "app/bars/StatusBar.h"
#include "app/ribbon/RibbonApplicationButton.h"
#include "app/ribbon/RibbonComboBox.h"
#include "app/ribbon/RibbonMainPanel.h"
#include "platform/CodePage.h"
#include "view/BuildDate.h"
#include "view/CommandIds.h"
#include "view/StringTable.h"

#include <QAccessible>
#include <QAction>
#include <QClipboard>
#include <QComboBox>
#include <QLineEdit>
#include <QTreeWidget>
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
        // One row a key, with what it does beside it, in groups: a screen reader reads the rows one by one.
        auto* keys = s.Frame()->GetHelpPage()->findChild<QTreeWidget*>("helpKeys");
        QVERIFY(keys && keys->topLevelItemCount() == 2);
        QString help;
        for (int g = 0; g < keys->topLevelItemCount(); ++g)
            for (int r = 0; r < keys->topLevelItem(g)->childCount(); ++r) {
                const QTreeWidgetItem* row = keys->topLevelItem(g)->child(r);
                QVERIFY(!row->text(0).isEmpty() && !row->text(1).isEmpty());
                help += row->text(0) + '\t' + row->text(1) + '\n';
            }
        QVERIFY(help.contains("Ctrl+Shift+F") && help.contains(StringTitle(cmd::EditCopy).c_str()));
        QVERIFY(help.contains("Ctrl+Shift+Tab, Ctrl+Shift+F6") && !help.contains("Backtab"));
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

    // A face name typed into the font box and confirmed with Return, as a user's keys reach it: an unknown name
    // is refused with the warning and the box shows the font in use again; a listed one is applied.
    void aTypedFontNameIsConfirmedOrRefused()
    {
        Started s({WriteFile("face.log")});
        QVERIFY(s.Settle() && QTest::qWaitForWindowActive(s.Frame()));
        std::vector<std::string> warnings;
        s.Frame()->m_messageBoxHook = [&](const std::string& text, unsigned) {
            warnings.push_back(text);
            return platform::kIdOk;
        };
        auto* box = s.Frame()->GetRibbonBar()->FindByID<CRibbonFontComboBox>(cmd::FontName);
        Idle();  // the update pass enables the box when the event loop waits
        QVERIFY(box->isEnabled());
        const QString inUse = box->GetText();
        const QString listed = box->GetItem(box->GetCount() - 1);
        for (const QString& typed : {QString("No Such Face Mono"), listed}) {
            QTest::mouseClick(box->GetComboBox(), Qt::LeftButton, {}, QPoint(8, box->GetComboBox()->height() / 2));
            QTRY_VERIFY(box->GetComboBox()->hasFocus());
            box->GetComboBox()->lineEdit()->selectAll();
            QTest::keyClicks(QApplication::focusWidget(), typed);
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        }
        QCOMPARE(warnings.size(), 1u);
        QVERIFY(QString::fromStdString(warnings[0]).contains("No Such Face Mono"));
        QCOMPARE(std::u16string(s.Wnd().GetLogFont().lfFaceName), listed.toStdU16String());
        QVERIFY(inUse != listed);
    }

    // The Log category's code page redraws the open window at once, shows in the encoding pane's tooltip and is
    // kept for the next start.
    void theCodePageIsChosenForEveryWindowAndKept()
    {
        const std::string path = WriteFile("u.log", "user=m\xc3\xbcller\n");
        // What the ribbon shows, once the update pass has run.
        const auto shown = [](const Started& s, int id) {
            Idle();
            return s.Frame()->GetRibbonBar()->FindByID(id)->IsChecked();
        };
        const auto copied = [](const Started& s) {
            QApplication::clipboard()->clear();
            s.Frame()->ExecuteCommand(cmd::EditCopy);
            return QApplication::clipboard()->text();
        };
        {
            Started s({path});
            QVERIFY(s.Settle());
            s.Frame()->ExecuteCommand(cmd::CodePageUtf8);
            QVERIFY(shown(s, cmd::CodePageUtf8) && !shown(s, cmd::CodePage1252));
            QVERIFY(copied(s).contains(QString::fromUtf8("m\xc3\xbcller")));
            QVERIFY(s.Frame()->GetStatusBar()->Element(cmd::PaneEncoding)->toolTip().contains("UTF-8"));
            s.Frame()->ExecuteCommand(cmd::CodePage1252);
            QVERIFY(copied(s).contains(QString::fromUtf8("m\xc3\x83\xc2\xbcller")));
            QVERIFY(s.Frame()->GetStatusBar()->Element(cmd::PaneEncoding)->toolTip().contains("Windows-1252"));
            QCOMPARE(Settings().value("Log/CodePage").toString(), QString("1252"));
            s.Frame()->ExecuteCommand(cmd::CodePageUtf8);
        }
        Started again({path});
        QVERIFY(again.Settle());
        QVERIFY(shown(again, cmd::CodePageUtf8) && !shown(again, cmd::CodePage1252));
        platform::SetAnsiCodePage(platform::CodePage::Windows1252);  // as the other tests expect it
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

        // A screen reader hears the figure itself as the pane's name, and what it means as its description.
        QAccessibleInterface* pane = QAccessible::queryAccessibleInterface(bar->Element(cmd::PaneTotalChars));
        QCOMPARE(pane->text(QAccessible::Name), QString("Total Chars: 6"));
        QCOMPARE(pane->text(QAccessible::Description), QString(text::PaneTotalCharsLabel));

        for (int i = 0; i < 2; ++i)
            s.Frame()->ExecuteCommand(cmd::FileClose);
        for (int id : {cmd::PaneCurrentChar, cmd::PaneTotalChars, cmd::PaneEncoding})
            QVERIFY(Pane(s, id).isEmpty());
        QVERIFY(!bar->Element(cmd::Refresh)->isEnabled());

        // Hidden, it stays hidden after a restart; shown again, it comes back shown.
        s.Frame()->ExecuteCommand(cmd::ViewStatusBar);
        s.Frame()->close();
        s.app.reset();
        for (bool shown : {false, true}) {
            Started again;
            QCOMPARE(again.Frame()->GetStatusBar()->isHidden(), !shown);
            QCOMPARE(Checked(again, cmd::ViewStatusBar), shown);
            again.Frame()->ExecuteCommand(cmd::ViewStatusBar);
            again.Frame()->close();
        }
    }

    void theWelcomeBarGreetsTheFirstStartOnly()
    {
        {
            Started s;
            CCaptionBarController* captions = s.Frame()->GetCaptionBarController();
            QVERIFY(captions->IsCaptionBarVisible() && Checked(s, cmd::ViewCaptionBar));
            QCOMPARE(captions->CaptionBar()->Text(), QString(text::WelcomeMessage));
            QVERIFY(QTest::qWaitFor([] { return Settings().value("Caption/Shown Welcome").toInt() == 1; }));
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

OSTREL_SHELL_TEST_MAIN(FrameTest)

#include "FrameTest.moc"
