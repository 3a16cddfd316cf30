// The filter stack as the user drives it: Ctrl+Shift+H on a window, the Filters pane's rules typed in and applied
// after the pause, an invalid pattern shown red, the pane following the active window, and a stack saved by
// name and loaded again through the settings file.
#include "ShellTestUtil.h"

#include "app/bars/GoToDialog.h"
#include "app/bars/MessageStrip.h"
#include "app/bars/StatusBar.h"
#include "app/ribbon/RibbonComboBox.h"
#include "app/shell/FilterStackEditor.h"
#include "textwnd/MergedWnd.h"
#include "textwnd/qt/AllWindowsList.h"
#include "textwnd/qt/FilterPane.h"
#include "view/CommandIds.h"
#include "view/StringTable.h"

#include <QComboBox>
#include <QContextMenuEvent>
#include <QDockWidget>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QSpinBox>
#include <QTableWidget>
#include <QToolButton>

using namespace shelltest;

namespace {

// Ten lines; "error" on lines 3 and 7.
QByteArray TenLines()
{
    QByteArray bytes;
    for (int i = 1; i <= 10; ++i)
        bytes += (i == 3 || i == 7 ? "error at step " : "fine at step ") + QByteArray::number(i) + "\n";
    return bytes;
}

struct Window {
    Started s;
    CFileWndWidget* text = nullptr;

    // With `merged`, the files open as one merged window.
    explicit Window(const std::vector<std::string>& paths, bool merged = false)
        : s(merged ? std::vector<std::string>{} : paths)
    {
        if ((!merged || s.app->OpenMerged(paths)) && s.Active(QSize(1400, 800)))
            Focus();
    }
    void Focus()
    {
        text = s.ActiveFrame()->GetViewWidget()->TextWindow();
        text->setFocus();
    }
    CFileWnd& Wnd() const { return text->FileWnd(); }
    // The line numbers (from 1) of the rows the window paints now.
    std::vector<int> PaintedLines() const
    {
        text->viewport()->repaint();
        std::vector<int> lines;
        // The line starts of TenLines, read from its bytes.
        std::vector<TextPos> starts{Wnd().DataStart()};
        const QByteArray bytes = TenLines();
        for (qsizetype i = 0; i + 1 < bytes.size(); ++i)
            if (bytes[i] == '\n')
                starts.push_back(Wnd().DataStart() + i + 1);
        for (TextPos row : Wnd().PaintedRowStarts()) {
            const auto at = std::find(starts.begin(), starts.end(), row);
            lines.push_back(at == starts.end() ? -1 : static_cast<int>(at - starts.begin()) + 1);
        }
        return lines;
    }
    QString TotalCharsTip() const
    {
        Idle();  // the update pass
        return s.Frame()->GetStatusBar()->Element(cmd::PaneTotalChars)->toolTip();
    }
    CFilterStackEditor* OpenEditor() const
    {
        s.Frame()->ExecuteCommand(cmd::FilterEditor);
        return s.Frame()->GetFilterEditor();
    }
    // The editor's changes applied after the pause, the window's shown set and the editor's counts brought up
    // to date.
    bool Applied(CFilterStackEditor* editor) const
    {
        const bool applied = Until([&] { return !editor->IsApplyPending(); }, 2000);
        Wnd().WaitShownSet();
        QCoreApplication::processEvents();
        editor->RefreshStatus();
        return applied;
    }
    // Add, the text typed into the new row and confirmed.
    static void AddRule(CFilterStackEditor* editor, const QString& typed)
    {
        QTest::mouseClick(editor->findChild<QPushButton*>("filterAdd"), Qt::LeftButton);
        QWidget* field = QApplication::focusWidget();
        QVERIFY(qobject_cast<QLineEdit*>(field));
        QTest::keyClicks(field, typed);
        QTest::keyClick(field, Qt::Key_Return);
    }
    // The row's check box in `column` toggled by Space, as the keyboard does it.
    static void ToggleCell(CFilterStackEditor* editor, int row, int column)
    {
        QTableWidget* rules = editor->Rules();
        rules->setCurrentCell(row, column);
        QTest::keyClick(rules, Qt::Key_Space);
    }
};

std::vector<int> AllLines()
{
    return {1, 2, 3, 4, 5, 6, 7, 8, 9, 10};
}

}  // namespace

class FilterEditorTest : public QObject {
    Q_OBJECT
private slots:
    void init() { Reset(); }

    void ctrlShiftHTogglesTheWindowsFiltering()
    {
        Window w({WriteFile("ten.log", TenLines())});
        QVERIFY(w.text);
        shownset::FilterStack stack;
        stack.rules.push_back({true, shownset::RuleKind::Include, u"error", false, false});
        w.Wnd().SetFilterStack(stack);
        w.Wnd().WaitShownSet();
        const QString label = text::PaneTotalCharsLabel;
        const struct {
            bool filtering;
            std::vector<int> lines;
            QString tip;
        } steps[] = {
            {true, {3, 7}, label + "\n2 of 10 lines shown"},
            {false, AllLines(), label},
            {true, {3, 7}, label + "\n2 of 10 lines shown"},
        };
        for (const auto& step : steps) {
            QTest::keyClick(w.text, Qt::Key_H, Qt::ControlModifier | Qt::ShiftModifier);
            QCOMPARE(w.Wnd().IsShowOnlyFiltered(), step.filtering);
            QCOMPARE(w.s.Update(cmd::ShowOnlyFiltered).m_nCheck, step.filtering ? 1 : 0);
            QCOMPARE(w.PaintedLines(), step.lines);
            QCOMPARE(w.TotalCharsTip(), step.tip);
        }
    }

    // A merged window: Ctrl+Shift+H and the editor apply the stack to every file's rows, each file deciding its
    // own lines; the rows stay in time order, a rule above a row whose file hid lines before it, and the tooltip
    // sums the files.
    void ctrlShiftHFiltersAMergedWindowsRows()
    {
        const std::vector<std::string> paths = {
            WriteFile("a.log", "2026-12-07 06:00:01.0Z INFO a1\n2026-12-07 06:00:03.0Z ERROR a2 error\n"
                               "    at frame a2\n2026-12-07 06:00:05.0Z INFO a3\n"),
            WriteFile("b.log", "2026-12-07 06:00:02.0Z ERROR b1 error\n2026-12-07 06:00:03.0Z INFO b2\n"
                               "2026-12-07 06:00:04.0Z INFO b3 error\n"),
            WriteFile("c.log", "2026-12-07 06:00:03.0Z INFO c1 error\n2026-12-07 06:00:06.0Z INFO c2\n"),
        };
        Window w(paths, true);
        QVERIFY(w.text);
        CFileWndWidget* text = w.text;
        CFileWnd& wnd = w.Wnd();
        QVERIFY(wnd.GetMerged());
        // Each painted row as its file's letter and the row's last word (the text after the last blank).
        auto rows = [&] {
            text->viewport()->repaint();
            std::vector<std::string> out;
            const CMergedWnd& m = *wnd.GetMerged();
            for (const CMergedWnd::PaintedRow& r : m.PaintedRows()) {
                if (r.file < 0)
                    continue;
                TextPos p = r.start;
                std::string line;
                std::u16string wide;
                wnd.GetMerged()->WindowOf(r.file).ReadLine(p, &line, &wide);
                for (const char16_t c : wide)
                    line += static_cast<char>(c);  // the logs are ASCII
                const std::size_t blank = line.find_last_of(' ');
                out.push_back(std::string(r.followsHidden ? "-" : "") + mergedwnd::Letter(r.file) + ":" +
                              line.substr(blank == std::string::npos ? 0 : blank + 1));
            }
            return out;
        };
        const QString label = text::PaneTotalCharsLabel;
        const std::vector<std::string> all = {"A:a1",    "B:error", "A:error", "A:a2", "B:b2",
                                              "C:error", "B:error", "A:a3",    "C:c2"};
        const std::vector<std::string> shown = {"B:error", "-A:error", "A:a2", "C:error", "-B:error"};
        QCOMPARE(rows(), all);

        // The editor's first rule turns filtering on; its count is every file's lines that match it.
        CFilterStackEditor* editor = w.OpenEditor();
        QVERIFY(editor);
        Window::AddRule(editor, "error");
        QVERIFY(w.Applied(editor));
        QVERIFY(wnd.IsShowOnlyFiltered());
        QCOMPARE(editor->Rules()->item(0, CFilterStackEditor::ColCount)->text(), QString("4"));  // lines that match
        QCOMPARE(rows(), shown);
        text->setFocus();

        const struct {
            bool filtering;
            std::vector<std::string> rows;
            QString tip;
        } steps[] = {
            {false, all, label},
            {true, shown, label + "\n5 of 9 lines shown"},
            {false, all, label},
        };
        for (const auto& step : steps) {
            QTest::keyClick(text, Qt::Key_H, Qt::ControlModifier | Qt::ShiftModifier);
            wnd.WaitShownSet();
            QCOMPARE(wnd.IsShowOnlyFiltered(), step.filtering);
            QCOMPARE(w.s.Update(cmd::ShowOnlyFiltered).m_nCheck, step.filtering ? 1 : 0);
            QCOMPARE(rows(), step.rows);
            QCOMPARE(w.TotalCharsTip(), step.tip);
        }
    }

    void rulesTypedInTheEditorApplyAfterThePause()
    {
        const struct {
            const char* name;
            QString typed;
            bool regex;  // the Regular Expression box ticked by Space after typing
            bool exclude;
            std::vector<int> lines;  // empty: not looked at
            QString count;           // the Lines cell; empty: the rule's error
        } cases[] = {
            {"plain include", "error", false, false, {3, 7}, "2"},
            {"case-blind by default", "ERROR", false, false, {3, 7}, "2"},
            {"regular expression", "step [12]$", true, false, {1, 2}, "2"},
            {"exclude", "fine", false, true, {3, 7}, "8"},
            {"invalid pattern", "step [", true, false, {}, ""},
        };
        for (const auto& c : cases) {
            Window w({WriteFile("ten.log", TenLines())});
            QVERIFY(w.text);
            CFilterStackEditor* editor = w.OpenEditor();
            QVERIFY(editor && editor->isVisible());
            Window::AddRule(editor, c.typed);
            if (c.regex)
                Window::ToggleCell(editor, 0, CFilterStackEditor::ColRegex);
            if (c.exclude) {
                auto* kind = qobject_cast<QComboBox*>(editor->Rules()->cellWidget(0, CFilterStackEditor::ColKind));
                QTest::keyClick(kind, Qt::Key_Down);
            }
            // Nothing reaches the window before the pause.
            QVERIFY2(w.Wnd().GetFilterStack().rules.empty(), c.name);
            QVERIFY2(w.Applied(editor), c.name);
            QVERIFY2(w.Wnd().IsShowOnlyFiltered(), c.name);  // the first rule turned it on
            QTableWidgetItem* count = editor->Rules()->item(0, CFilterStackEditor::ColCount);
            if (c.count.isEmpty()) {
                const std::string error = w.Wnd().GetShownStatus().ruleErrors.at(0);
                QVERIFY2(!error.empty(), c.name);
                QCOMPARE(count->text(), QString::fromStdString(error));
                QCOMPARE(editor->Rules()->item(0, CFilterStackEditor::ColText)->toolTip(),
                         QString::fromStdString(error));
                QCOMPARE(count->background().color().red(), 0xff);
                QVERIFY2(count->background().color().green() < 0xe0, c.name);
                continue;
            }
            QCOMPARE(count->text(), c.count);
            QCOMPARE(count->background().style(), Qt::NoBrush);
            QCOMPARE(w.PaintedLines(), c.lines);
            QCOMPARE(editor->Total()->text(), QString("%1 of 10 lines shown").arg(c.lines.size()));
        }
    }

    void conditionsAndAnUnreadableTime()
    {
        Window w({WriteFile("ten.log", TenLines())});
        QVERIFY(w.text);
        CFilterStackEditor* editor = w.OpenEditor();
        Window::AddRule(editor, "error");
        auto* context = editor->findChild<QSpinBox*>("filterContext");
        context->setFocus();
        QTest::keyClick(context, Qt::Key_Up);
        QVERIFY(w.Applied(editor));
        QCOMPARE(w.Wnd().GetFilterStack().context, 1);
        QCOMPARE(w.PaintedLines(), (std::vector<int>{2, 3, 4, 6, 7, 8}));
        // A time it cannot read is said and not applied; one it reads is.
        auto* from = editor->findChild<QLineEdit*>("filterFrom");
        QTest::keyClicks(from, "yesterday");
        QVERIFY(Until([&] { return !editor->IsApplyPending(); }, 2000));
        QVERIFY(editor->Problem()->isVisible());
        QCOMPARE(editor->Problem()->text(), QString(text::FilterTimeInvalid));
        QVERIFY(!w.Wnd().GetFilterStack().hasFrom);
        from->selectAll();
        QTest::keyClicks(from, "2026-12-07T06:41:07Z");
        QVERIFY(Until([&] { return !editor->IsApplyPending(); }, 2000));
        QVERIFY(!editor->Problem()->isVisible());
        QVERIFY(w.Wnd().GetFilterStack().hasFrom);
        QCOMPARE(w.Wnd().GetFilterStack().fromMicros, std::int64_t{1796625667} * 1000000);
    }

    void thePaneFollowsTheActiveWindow()
    {
        Window w({WriteFile("one.log", TenLines()), WriteFile("two.log", TenLines())});
        QVERIFY(w.text);
        CFilterStackEditor* editor = w.OpenEditor();
        Window::AddRule(editor, "error");
        QVERIFY(Until([&] { return !editor->IsApplyPending(); }, 2000));
        CTextFileViewerChildFrame* first = w.s.ActiveFrame();
        const QList<CTextFileViewerChildFrame*> frames = w.s.Frame()->GetChildFrames();
        QCOMPARE(frames.size(), 2);
        CTextFileViewerChildFrame* other = frames[0] == first ? frames[1] : frames[0];
        const struct {
            CTextFileViewerChildFrame* frame;
            int rows;
        } steps[] = {{other, 0}, {first, 1}};
        for (const auto& step : steps) {
            w.s.Frame()->ActivateChildFrame(step.frame);
            QCOMPARE(editor->Rules()->rowCount(), step.rows);
            QCOMPARE(editor->Window(), &step.frame->GetViewWidget()->TextWindow()->FileWnd());
        }
        QCOMPARE(editor->Rules()->item(0, CFilterStackEditor::ColText)->text(), QString("error"));
    }

    void aStackSavedByNameLoadsAgain()
    {
        Window w({WriteFile("ten.log", TenLines())});
        QVERIFY(w.text);
        CFilterStackEditor* editor = w.OpenEditor();
        Window::AddRule(editor, "error");
        Window::AddRule(editor, "step 7");
        Window::ToggleCell(editor, 1, CFilterStackEditor::ColCase);
        QVERIFY(Until([&] { return !editor->IsApplyPending(); }, 2000));
        const shownset::FilterStack saved = w.Wnd().GetFilterStack();
        QCOMPARE(saved.rules.size(), std::size_t{2});
        QVERIFY(saved.rules[1].caseSensitive);

        QString said;
        QTimer::singleShot(0, [&] {
            auto* dialog = dynamic_cast<CGoToDialog*>(QApplication::activeModalWidget());
            QVERIFY(dialog);
            auto* edit = dialog->findChild<QLineEdit*>("goToText");
            QTest::keyClick(edit, Qt::Key_Return);  // no name: the dialog stays and says so
            said = dialog->Message();
            QTest::keyClicks(edit, "errors only");
            QTest::keyClick(edit, Qt::Key_Return);
        });
        QTest::mouseClick(editor->findChild<QPushButton*>("filterSaveAs"), Qt::LeftButton);
        QCOMPARE(said, QString(text::FilterSaveAsEmpty));
        {
            QSettings file = Settings();  // the file as another reader sees it
            const std::vector<NamedFilterStack> kept = LoadFilterStacks(file);
            QCOMPARE(kept.size(), std::size_t{1});
            QCOMPARE(kept[0].name, std::string("errors only"));
            QVERIFY(kept[0].stack == saved);
        }

        // Both rules removed (applied after the pause), then the kept stack loaded from the menu.
        for (int i = 0; i < 2; ++i) {
            editor->Rules()->setCurrentCell(0, CFilterStackEditor::ColText);
            QTest::mouseClick(editor->findChild<QPushButton*>("filterRemove"), Qt::LeftButton);
        }
        QVERIFY(Until([&] { return !editor->IsApplyPending(); }, 2000));
        QVERIFY(w.Wnd().GetFilterStack().rules.empty());
        QTimer::singleShot(0, [&] {
            auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
            QVERIFY(menu);
            QCOMPARE(menu->actions().size(), 1);
            QTest::keyClick(menu, Qt::Key_Down);
            QTest::keyClick(menu, Qt::Key_Return);
        });
        QTest::mouseClick(editor->findChild<QToolButton*>("filterLoad"), Qt::LeftButton);
        QVERIFY(Until([&] { return w.Wnd().GetFilterStack() == saved; }, 2000));
        QCOMPARE(editor->Rules()->rowCount(), 2);
        QCOMPARE(editor->Rules()->item(1, CFilterStackEditor::ColText)->text(), QString("step 7"));
        w.Wnd().WaitShownSet();
        QCOMPARE(w.PaintedLines(), (std::vector<int>{3, 7}));
    }

    void theCountColumnShowsAtThePanesDefaultWidth()
    {
        Window w({WriteFile("ten.log", TenLines())});
        QVERIFY(w.text);
        CFilterStackEditor* editor = w.OpenEditor();
        Window::AddRule(editor, "error");
        QVERIFY(w.Applied(editor));
        QCoreApplication::processEvents();
        QTableWidget* rules = editor->Rules();
        QCOMPARE(rules->item(0, CFilterStackEditor::ColCount)->text(), QString("2"));
        const QRect viewport = rules->viewport()->rect();
        for (int c = 0; c < CFilterStackEditor::ColumnCount; ++c) {
            const QRect cell = rules->visualRect(rules->model()->index(0, c));
            QVERIFY2(viewport.contains(cell), qPrintable(QString::asprintf("column %d at %d..%d of %d", c, cell.left(),
                                                                           cell.right(), viewport.width())));
        }
        // The text column keeps room for what is typed.
        QVERIFY(rules->columnWidth(CFilterStackEditor::ColText) >= rules->fontMetrics().averageCharWidth() * 8);
    }

    void aNoticeTakesBackOnlyItsOwnMessage()
    {
        Window w({WriteFile("ten.log", TenLines())});
        QVERIFY(w.text);
        CTextFileViewWidget* view = w.s.ActiveFrame()->GetViewWidget();
        CMessageStrip* strip = view->findChild<CMessageStrip*>();
        QVERIFY(strip);
        const struct {
            const char* name;
            bool another;      // a message shown after the notice
            bool hideAnother;  // that message taken back by its own number afterwards
            bool visible;
            QString text;
        } cases[] = {
            {"alone", false, false, false, ""},
            {"another message shown since", true, false, true, "Following stopped"},
            {"then that one taken back", true, true, false, ""},
        };
        for (const auto& c : cases) {
            IViewHost& host = *view;
            host.ShowMessage(ViewMessageKind::Information, text::ScanningNotice);
            const std::uint64_t notice = host.LastMessageNumber();
            QVERIFY2(notice != 0, c.name);
            QVERIFY2(strip->isVisibleTo(view), c.name);
            std::uint64_t other = 0;
            if (c.another) {
                host.ShowMessage(ViewMessageKind::Warning, "Following stopped");
                other = host.LastMessageNumber();
                QVERIFY2(other != notice, c.name);
            }
            host.HideMessageNumbered(notice);
            if (c.hideAnother)
                host.HideMessageNumbered(other);
            QCOMPARE(strip->isVisibleTo(view), c.visible);
            if (c.visible)
                QCOMPARE(strip->Text(), c.text);
            host.HideMessageNumbered(0);  // no message has number 0: nothing changes
            QCOMPARE(strip->isVisibleTo(view), c.visible);
            host.HideMessage();
        }
    }
    void filterAllWindowsListsTheStackOverTheGroup()
    {
        // The first file's errors at lines 3 and 7; the second's at lines 1 and 101, far apart so that showing the
        // second moves the top; none in the third.
        QByteArray second = "error one\n";
        for (int i = 0; i < 200; ++i)
            second += (i == 99 ? "error two" : "fine " + QByteArray::number(i)) + "\n";
        Window w({WriteFile("a.log", TenLines()), WriteFile("b.log", second), WriteFile("c.log", "fine\n")});
        QVERIFY(w.text);
        const QList<CTextFileViewerChildFrame*> frames = w.s.Frame()->GetChildFrames();
        QCOMPARE(frames.size(), 3);
        w.s.Frame()->ActivateChildFrame(frames[0]);
        w.Focus();
        CFilterStackEditor* editor = w.OpenEditor();
        // A stack that hides nothing lists nothing and says why.
        QTest::mouseClick(editor->findChild<QPushButton*>("filterAllWindows"), Qt::LeftButton);
        CMessageStrip* strip = frames[0]->GetViewWidget()->findChild<CMessageStrip*>();
        QCOMPARE(strip->Text(), QString(text::FilterAllWindowsNothing));
        QVERIFY(!w.s.Frame()->GetAllWindowsDock());

        Window::AddRule(editor, "error");
        QTest::mouseClick(editor->findChild<QPushButton*>("filterAllWindows"), Qt::LeftButton);
        CAllWindowsList* list = w.s.Frame()->GetAllWindowsList();
        QVERIFY(list && w.s.Frame()->GetAllWindowsDock()->isVisible());
        QCOMPARE(QApplication::focusWidget(), list);
        const auto children = [list](int section) {
            QStringList texts;
            const QTreeWidgetItem* header = list->topLevelItem(section);
            for (int i = 0; header && i < header->childCount(); ++i)
                texts << header->child(i)->text(0);
            return texts;
        };
        const QStringList expected[] = {{"error at step 3", "error at step 7"}, {"error one", "error two"}, {}};
        QVERIFY(Until([&] { return !list->Running() && children(1) == expected[1]; }));
        QCOMPARE(list->topLevelItemCount(), 3);
        for (int i = 0; i < 3; ++i)
            QCOMPARE(children(i), expected[i]);
        QVERIFY(list->topLevelItem(1)->text(0).endsWith(": 2 of 201 lines shown"));
        QVERIFY(list->topLevelItem(2)->text(0).endsWith(": 0 of 1 lines shown"));
        // The other windows keep their own stacks.
        for (int i : {1, 2})
            QVERIFY(frames[i]->GetViewWidget()->TextWindow()->FileWnd().GetFilterStack().rules.empty());

        // Return on a line of the second file shows that window on that line.
        list->setCurrentItem(list->topLevelItem(1)->child(1));
        QTest::keyClick(list, Qt::Key_Return);
        QCOMPARE(w.s.ActiveFrame(), frames[1]);
        CFileWndWidget* secondText = frames[1]->GetViewWidget()->TextWindow();
        QCOMPARE(secondText->FileWnd().GetTop(), secondText->FileWnd().DataStart() + second.indexOf("error two"));
        QCOMPARE(QApplication::focusWidget(), secondText);

        // Lines appended to a listed file are listed on; a closed window takes its rows away.
        {
            QFile file(QFile::decodeName(frames[1]->GetDocument()->GetPathName().c_str()));
            QVERIFY(file.open(QIODevice::Append));
            file.write("late error\n");
        }
        QVERIFY(Until([&] { return children(1).size() == 3; }, 10000));
        QCOMPARE(children(1).last(), QString("late error"));
        w.s.Frame()->ActivateChildFrame(frames[2]);
        w.s.Frame()->ExecuteCommand(cmd::FileClose);
        QVERIFY(Until([&] { return list->topLevelItemCount() == 2; }));
        QTest::keyClick(list, Qt::Key_Escape);
        QVERIFY(!w.s.Frame()->GetAllWindowsDock()->isVisible());

        // The filter pane's context menu asks for the same, with the first window's stack.
        w.s.Frame()->ActivateChildFrame(frames[0]);
        QLineEdit* find = w.s.Ribbon()->FindByID<CRibbonComboBox>(cmd::FindText)->GetComboBox()->lineEdit();
        QTest::keyClicks(find, "step");
        QTest::keyClick(find, Qt::Key_L, Qt::ControlModifier | Qt::ShiftModifier);
        CFilterList* listed = frames[0]->GetFilterPane()->List();
        QTimer::singleShot(0, [] {
            QWidget* menu = QApplication::activePopupWidget();
            QVERIFY(menu);
            QTest::keyClick(menu, Qt::Key_Down);
            QTest::keyClick(menu, Qt::Key_Return);
        });
        QContextMenuEvent menuAsked(QContextMenuEvent::Mouse, {5, 5}, listed->viewport()->mapToGlobal(QPoint{5, 5}));
        QCoreApplication::sendEvent(listed->viewport(), &menuAsked);
        QVERIFY(w.s.Frame()->GetAllWindowsDock()->isVisible());
        QVERIFY(Until([&] { return !list->Running() && children(0) == expected[0]; }));
        QCOMPARE(list->topLevelItemCount(), 2);
    }
};

OSTREL_SHELL_TEST_MAIN(FilterEditorTest)

#include "FilterEditorTest.moc"
