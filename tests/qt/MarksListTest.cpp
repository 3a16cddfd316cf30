// The filter pane's list of marks as the user works it: the "Marks" toggle of
// the pane's header, Return and a double-click that show a marked line as the
// top row and give the keys back to the text, Delete that takes a mark away,
// and the list following marks made in another window on the file.
#include "ShellTestUtil.h"

#include "app/ribbon/RibbonComboBox.h"
#include "textwnd/qt/FilterPane.h"
#include "textwnd/qt/MarksList.h"
#include "view/CommandIds.h"

#include <QComboBox>
#include <QLineEdit>
#include <QToolButton>

using namespace shelltest;

namespace {

// A viewer on a numbered file with its filter pane open (the lines holding "line 1") and showing the marks.
struct Pane {
    Started s;
    CRibbonBar* bar = s.Ribbon();
    CFilterPane* pane = nullptr;
    CMarksList* list = nullptr;

    explicit Pane(const std::vector<int>& marked)
    {
        if (!s.Open(WriteFile("marked.log", Numbered(300)), QSize(1200, 700)))
            return;
        for (int line : marked)
            s.Wnd().ToggleMark(LineStart(s.Wnd(), line));
        QLineEdit* edit = bar->FindByID<CRibbonComboBox>(cmd::FindText)->GetComboBox()->lineEdit();
        QTest::keyClicks(edit, "line 1");
        QTest::keyClick(edit, Qt::Key_L, Qt::ControlModifier | Qt::ShiftModifier);
        pane = s.ActiveFrame()->GetFilterPane();
        if (!pane)
            return;
        QTest::mouseClick(pane->MarksButton(), Qt::LeftButton);
        list = pane->MarksList();
    }
    CFileWnd& Wnd() const { return s.Wnd(); }
    CFileWndWidget* Text() const { return s.ActiveFrame()->GetViewWidget()->TextWindow(); }
    QStringList Column(int column) const
    {
        QStringList out;
        for (int i = 0; i < list->topLevelItemCount(); ++i)
            out << list->topLevelItem(i)->text(column);
        return out;
    }
    // The line numbers once the line index has counted them all.
    bool Lines(const QStringList& expected) const
    {
        return QTest::qWaitFor([&] { return Column(CMarksList::LineColumn) == expected; });
    }
};

}  // namespace

class MarksListTest : public QObject {
    Q_OBJECT
private slots:
    void init() { Reset(); }

    void theToggleListsTheMarksWithTheirNumbersNotesAndText()
    {
        Pane p({40, 5, 120});
        QVERIFY(p.list);
        p.Wnd().Marks().SetNote(LineStart(p.Wnd(), 40), "slow from here");
        QVERIFY(p.pane->MarksShown() && p.list->isVisible() && p.list->hasFocus());
        QVERIFY(p.Lines({"5", "40", "120"}));
        QTRY_COMPARE(p.Column(CMarksList::NoteColumn), QStringList({"", "slow from here", ""}));
        QCOMPARE(p.Column(CMarksList::TextColumn), QStringList({"line 5", "line 40", "line 120"}));
        QCOMPARE(p.list->accessibleName(), QString("Marked lines"));
        QCOMPARE(p.pane->MarksButton()->accessibleName(), QString("Marks"));
        // Off again: the filtered lines, which a new filter also brings back.
        QTest::mouseClick(p.pane->MarksButton(), Qt::LeftButton);
        QVERIFY(!p.pane->MarksShown() && p.pane->List()->isVisible());
        p.pane->ShowMarks(true);
        QVERIFY(p.list->isVisible());
        p.s.ActiveFrame()->ShowFilter();
        QVERIFY(!p.pane->MarksShown() && !p.pane->MarksButton()->isChecked());
    }

    void returnAndADoubleClickShowTheLineDeleteTakesTheMarkAway()
    {
        Pane p({5, 40, 120, 200});
        QVERIFY(p.list);
        QVERIFY(p.Lines({"5", "40", "120", "200"}));
        enum class Act { Return, DoubleClick, Delete };
        const struct {
            int row;  // the row acted on
            Act act;
            int top;            // the window's top line afterwards
            QStringList lines;  // what the list shows afterwards
        } steps[] = {
            {1, Act::Return, 40, {"5", "40", "120", "200"}},
            {1, Act::Delete, 40, {"5", "120", "200"}},  // the top row's mark: its dot goes
            {1, Act::DoubleClick, 120, {"5", "120", "200"}},
            {0, Act::Delete, 120, {"120", "200"}},
            {1, Act::Return, 200, {"120", "200"}},
        };
        for (const auto& step : steps) {
            const QString what = QString("row %1, act %2").arg(step.row).arg(static_cast<int>(step.act));
            p.list->setFocus();
            const TextPos pos = p.list->topLevelItem(step.row)->data(0, Qt::UserRole).toLongLong();
            switch (step.act) {
            case Act::Return:
                QTest::keyClick(p.list, Qt::Key_Home);
                for (int i = 0; i < step.row; ++i)
                    QTest::keyClick(p.list, Qt::Key_Down);
                QTest::keyClick(p.list, Qt::Key_Return);
                break;
            case Act::DoubleClick:
                QTest::mouseDClick(p.list->viewport(), Qt::LeftButton, {},
                                   p.list->visualItemRect(p.list->topLevelItem(step.row)).center());
                break;
            case Act::Delete:
                p.list->setCurrentItem(p.list->topLevelItem(step.row));
                QTest::keyClick(p.list, Qt::Key_Delete);
                break;
            }
            QVERIFY2(p.Wnd().GetTop() == LineStart(p.Wnd(), step.top), qPrintable(what));
            QVERIFY2(p.Column(CMarksList::LineColumn) == step.lines, qPrintable(what));
            // Going shows the line and hands the keys to the text; Delete leaves them in the list.
            QVERIFY2(
                step.act == Act::Delete ? p.list->hasFocus() : QTest::qWaitFor([&] { return p.Text()->hasFocus(); }),
                qPrintable(what));
            QVERIFY2(p.Wnd().Marks().IsMarked(pos) == (step.act != Act::Delete), qPrintable(what));
            if (pos == p.Wnd().GetTop())  // the gutter's dot on the top row goes with the mark, and comes back
                QVERIFY2(QTest::qWaitFor([&] { return p.Text()->RowMarked(0) == (step.act != Act::Delete); }),
                         qPrintable(what));
        }
        // The last go was a mark's jump: Next Mark goes on from it, round to the first.
        QTest::keyClick(p.Text(), Qt::Key_F2);
        QCOMPARE(p.Wnd().GetTop(), LineStart(p.Wnd(), 120));
    }

    void theListFollowsMarksMadeInAnotherWindow()
    {
        Pane p({10});
        QVERIFY(p.list);
        QVERIFY(p.Lines({"10"}));
        CTextFileViewerChildFrame* first = p.s.ActiveFrame();
        QVERIFY(p.s.Frame()->ExecuteCommand(cmd::WindowNew));
        QVERIFY(p.s.Settle());
        QVERIFY(p.s.ActiveFrame() != first);
        CFileWnd& other = p.s.Wnd();
        QCOMPARE(other.SharedMarks(), first->GetViewWidget()->TextWindow()->FileWnd().SharedMarks());
        // The second window shows while the change is made (the first list learns of it when shown again), or
        // the first one does (the list follows as it shows).
        const struct {
            bool fromHidden;
            int line;
            const char* note;  // null: the mark is toggled
            QStringList lines, notes;
        } steps[] = {
            {true, 3, nullptr, {"3", "10"}, {"", ""}},
            {false, 10, "the cause", {"3", "10"}, {"", "the cause"}},
            {true, 3, nullptr, {"10"}, {"the cause"}},
            {false, 250, nullptr, {"10", "250"}, {"the cause", ""}},
        };
        CTextFileViewerChildFrame* second = p.s.ActiveFrame();
        for (const auto& step : steps) {
            p.s.Frame()->ActivateChildFrame(step.fromHidden ? second : first);
            QTRY_VERIFY(p.list->isVisible() != step.fromHidden);
            const TextPos at = LineStart(other, step.line);
            if (step.note)
                other.Marks().SetNote(at, step.note);
            else
                other.ToggleMark(at);
            p.s.Frame()->ActivateChildFrame(first);
            QVERIFY2(p.Lines(step.lines), qPrintable(QString::number(step.line)));
            QTRY_COMPARE(p.Column(CMarksList::NoteColumn), step.notes);
        }
    }
};

OSTREL_SHELL_TEST_MAIN(MarksListTest)

#include "MarksListTest.moc"
