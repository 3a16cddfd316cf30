// The last session: kept when the main window closes, reopened from the File
// button's menu in a new run over the same settings and store, and at start
// when Restore Windows at Start is ticked.
#include "ShellTestUtil.h"

#include "app/bars/MessageStrip.h"
#include "app/ribbon/RibbonApplicationButton.h"
#include "app/ribbon/RibbonComboBox.h"
#include "app/ribbon/RibbonMainPanel.h"
#include "app/tabgroups/TabGroupArea.h"
#include "textwnd/FileWnd.h"
#include "textwnd/qt/FilterPane.h"
#include "view/CommandIds.h"
#include "view/StringTable.h"

#include <QComboBox>
#include <QLineEdit>

#include <fstream>

using namespace shelltest;

namespace {

QByteArray Numbered(const char* name, int lines)
{
    QByteArray text;
    for (int i = 0; i < lines; ++i)
        text += QByteArray(name) + " line " + QByteArray::number(i) + "\n";
    return text;
}

CRibbonElement* UnderRecentFiles(const Started& s, int id)
{
    for (CRibbonElement* element :
         s.Frame()->GetRibbonBar()->GetApplicationButton()->GetMainPanel()->GetUnderRecentFiles())
        if (element->GetID() == id)
            return element;
    return nullptr;
}

// Opens the File button's menu and clicks the element of `id` under the recent files, as the user does.
bool ClickInFileMenu(const Started& s, int id)
{
    CRibbonApplicationButton* button = s.Frame()->GetRibbonBar()->GetApplicationButton();
    button->ShowMenu();
    Idle();  // the update pass gives the element its state
    CRibbonElement* element = UnderRecentFiles(s, id);
    if (!element || !element->isVisible() || !element->isEnabled())
        return false;
    QTest::mouseClick(element, Qt::LeftButton, {}, element->rect().center());
    Idle();
    return true;
}

QStringList Titles(const Started& s)
{
    QStringList titles;
    for (CTextFileViewerChildFrame* frame : s.Frame()->GetChildFrames())
        titles << frame->GetTitle();
    return titles;
}

CFileWnd& WndOf(CTextFileViewerChildFrame* frame)
{
    return frame->GetViewWidget()->TextWindow()->FileWnd();
}

void Press(CTextFileViewerChildFrame* frame, Qt::Key key, int times = 1)
{
    for (int i = 0; i < times; ++i)
        QTest::keyClick(frame->GetViewWidget()->TextWindow(), key);
}

}  // namespace

class SessionTest : public QObject {
    Q_OBJECT

private slots:
    void init() { Reset(); }

    // Two tab groups closed with the main window come back in a new run by Reopen Last Session: the groups,
    // the order, the top lines, the window that showed the end at the (new) end, a grown file at its end, the
    // filter pane's query, the active window; a file deleted meanwhile is skipped with one notice naming it.
    void reopenLastSessionPutsTheWindowsBack()
    {
        const std::string a = WriteFile("a.log", Numbered("a", 30000));
        const std::string gone = WriteFile("gone.log", Numbered("gone", 10));
        const std::string b = WriteFile("b.log", Numbered("b", 3000));
        const std::string grown = WriteFile("grown.log", Numbered("grown", 3000));
        TextPos topA = 0;
        TextPos topGrown = 0;
        {
            Started first({a, gone, b, grown});
            QVERIFY(first.ok && first.Settle() && QTest::qWaitForWindowActive(first.Frame()));
            const QList<CTextFileViewerChildFrame*> frames = first.Frame()->GetChildFrames();
            QCOMPARE(frames.size(), 4);
            CTabGroupArea* area = first.Frame()->GetTabArea();
            QVERIFY(area->MoveWindowToNewGroup(frames[2], 1));
            QVERIFY(area->MoveWindow(frames[3], 1));

            first.Frame()->ActivateChildFrame(frames[0]);
            Press(frames[0], Qt::Key_Home);  // a log opens at its end
            Press(frames[0], Qt::Key_PageDown, 5);
            topA = WndOf(frames[0]).GetTop();
            QVERIFY(topA > 0);
            QLineEdit* find =
                first.Frame()->GetRibbonBar()->FindByID<CRibbonComboBox>(cmd::FindText)->GetComboBox()->lineEdit();
            Idle();  // the update pass enables the find box for the active window
            QTest::keyClicks(find, "line 7");
            QTest::keyClick(find, Qt::Key_L, Qt::ControlModifier | Qt::ShiftModifier);
            QVERIFY(frames[0]->GetFilterPane() && !frames[0]->GetFilterPane()->isHidden());

            first.Frame()->ActivateChildFrame(frames[3]);
            Press(frames[3], Qt::Key_Home);
            Press(frames[3], Qt::Key_PageDown, 2);
            topGrown = WndOf(frames[3]).GetTop();
            first.Frame()->ActivateChildFrame(frames[2]);
            Press(frames[2], Qt::Key_Home);
            Press(frames[2], Qt::Key_End);
            QVERIFY(WndOf(frames[2]).GetTop() > 0);
            QCOMPARE(WndOf(frames[0]).GetTop(), topA);  // far from the end: the filter pane moved nothing
            QVERIFY(first.Frame()->close());
        }
        QVERIFY(QFile::remove(QFile::decodeName(gone.c_str())));
        std::ofstream(grown, std::ios::app) << Numbered("more", 500).toStdString();

        Started second;
        QVERIFY(second.ok && QTest::qWaitForWindowActive(second.Frame()));
        QCOMPARE(second.Frame()->GetChildFrames().size(), 0);  // Restore Windows at Start is off at first
        QVERIFY(second.Update(cmd::FileReopenSession).m_bEnabled);
        QVERIFY(ClickInFileMenu(second, cmd::FileReopenSession));
        QVERIFY(!second.Frame()->GetRibbonBar()->GetApplicationButton()->GetMainPanel()->isVisible());
        QVERIFY(second.Settle());
        Idle();

        QCOMPARE(Titles(second), QStringList({"a.log", "b.log", "grown.log"}));
        const QList<CTextFileViewerChildFrame*> frames = second.Frame()->GetChildFrames();
        const CTabGroupArea* area = second.Frame()->GetTabArea();
        QCOMPARE(area->GroupCount(), 2);
        QCOMPARE(QList<int>({area->GroupOf(frames[0]), area->GroupOf(frames[1]), area->GroupOf(frames[2])}),
                 QList<int>({0, 1, 1}));
        QCOMPARE(second.ActiveFrame(), frames[1]);
        QCOMPARE(WndOf(frames[0]).GetTop(), topA);
        for (CTextFileViewerChildFrame* atEnd : {frames[1], frames[2]})
            QCOMPARE(WndOf(atEnd).GetTop(), WndOf(atEnd).LastPageTop());
        QVERIFY(WndOf(frames[2]).GetTop() > topGrown);
        const CFilterPane* pane = frames[0]->GetFilterPane();
        QVERIFY(pane && !pane->isHidden());
        QVERIFY(pane->Filter().Query().pattern == u"line 7");

        QStringList notices;
        for (CTextFileViewerChildFrame* frame : frames)
            if (const QString text = frame->GetViewWidget()->MessageStrip()->Text(); !text.isEmpty())
                notices << text;
        QCOMPARE(notices, QStringList(QString::fromUtf8(text::SessionFilesGone) + QFile::decodeName(gone.c_str())));
    }

    // Restore Windows at Start, ticked in the File button's menu and kept as Session/RestoreAtStart, brings the
    // last run's windows back at a start without files named; unticked, or with a file named, it does not.
    void restoreWindowsAtStart()
    {
        struct Row {
            const char* name;
            bool tick;
            bool named;
            QStringList expected;
        };
        const Row rows[] = {
            {"left off", false, false, {}},
            {"ticked", true, false, {"x.log", "y.log"}},
            {"ticked, a file named", true, true, {"z.log"}},
        };
        for (const Row& row : rows) {
            Reset();
            const std::string x = WriteFile("x.log"), y = WriteFile("y.log"), z = WriteFile("z.log");
            {
                Started first({x, y});
                QVERIFY2(first.ok && first.Settle() && QTest::qWaitForWindowActive(first.Frame()), row.name);
                QVERIFY2(first.Update(cmd::FileRestoreAtStart).m_nCheck == 0, row.name);
                if (row.tick) {
                    QVERIFY2(ClickInFileMenu(first, cmd::FileRestoreAtStart), row.name);
                    QVERIFY2(UnderRecentFiles(first, cmd::FileRestoreAtStart)->IsChecked(), row.name);
                }
                QVERIFY2(Settings().value("Session/RestoreAtStart", 0).toInt() == (row.tick ? 1 : 0), row.name);
                QVERIFY2(first.Frame()->close(), row.name);
            }
            Started second(row.named ? std::vector<std::string>{z} : std::vector<std::string>{});
            QVERIFY2(second.ok && second.Settle(), row.name);
            QVERIFY2(Titles(second) == row.expected, qPrintable(QString(row.name) + ": " + Titles(second).join(' ')));
            QVERIFY2(second.Update(cmd::FileRestoreAtStart).m_nCheck == (row.tick ? 1 : 0), row.name);
        }
    }
};

OSTREL_SHELL_TEST_MAIN(SessionTest)

#include "SessionTest.moc"
