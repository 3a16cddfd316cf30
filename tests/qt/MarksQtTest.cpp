// Marks in the viewer as the user makes them: Ctrl+M on the line under the
// pointer (or where the context menu opened), the gutter's dot and its note
// as a tooltip, the Mark Note dialog, Save Lines through its file dialog, and
// the dot's colour in every look.
#include "ShellTestUtil.h"

#include "app/bars/GoToDialog.h"
#include "app/bars/MessageStrip.h"
#include "app/bars/SaveLinesDialog.h"
#include "app/ribbon/RibbonTheme.h"
#include "app/shell/Looks.h"
#include "view/CommandIds.h"
#include "view/StringTable.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QHelpEvent>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QToolTip>

using namespace shelltest;

namespace {

struct Window {
    Started s;
    CFileWndWidget* text = nullptr;
    QWidget* gutter = nullptr;

    explicit Window(const std::string& path) : s({path})
    {
        if (!s.Active(QSize(1200, 700)))
            return;
        text = s.ActiveFrame()->GetViewWidget()->TextWindow();
        gutter = text->findChild<QWidget*>("lineGutter");
        text->setFocus();
        QTest::keyClick(text, Qt::Key_Home);  // line 1 at the top
    }
    CFileWnd& Wnd() const { return text->FileWnd(); }
    QPoint RowPoint(int row) const { return {40, row * Wnd().GetLineHeight() + Wnd().GetLineHeight() / 2}; }
    // The pointer over row `row` of the text (-1: over the ribbon, outside the text), the frame active again
    // after the last dialog or menu (its keys are the frame's).
    void PointAt(int row) const
    {
        (void)s.Active();
        if (row < 0)
            QTest::mouseMove(s.Frame()->GetRibbonBar(), QPoint(300, 20));
        else
            QTest::mouseMove(text->viewport(), RowPoint(row));
        QCoreApplication::processEvents();
    }
    QString Strip() const { return s.ActiveFrame()->GetViewWidget()->MessageStrip()->Text(); }
    // The tooltip the gutter shows when the pointer rests on row `row`.
    QString TipAt(int row) const
    {
        QToolTip::hideText();
        const QPoint at(2, RowPoint(row).y());
        QHelpEvent help(QEvent::ToolTip, at, gutter->mapToGlobal(at));
        QCoreApplication::sendEvent(gutter, &help);
        return QToolTip::isVisible() ? QToolTip::text() : QString();
    }
};

}  // namespace

class MarksQtTest : public QObject {
    Q_OBJECT
private slots:
    void init()
    {
        Reset();
        CFileWndWidget::SetLineNumbers(false);
    }

    void toggleMarkTakesThePointersLineAndTheGutterShowsItsDot()
    {
        Window w(WriteFile("pointer.log", Numbered(200)));
        QVERIFY(w.text && w.gutter);
        QCOMPARE(w.text->GutterWidth(), 0);
        const struct {
            int pointerRow;  // -1: outside the text
            int menuRow;     // the context menu opened on this row (-1: Ctrl+M)
            int line;        // the line whose mark it toggles
            bool marked;     // afterwards
        } steps[] = {
            {3, -1, 4, true},    // the line under the pointer
            {-1, -1, 1, true},   // outside the text: the top line
            {3, -1, 4, false},   // again: the mark goes
            {-1, 6, 7, true},    // the menu's line, wherever the pointer is
            {10, -1, 11, true},  // a second mark moves no text
        };
        int width = -1;
        for (const auto& step : steps) {
            const QString what = QString("pointer %1, menu %2").arg(step.pointerRow).arg(step.menuRow);
            w.PointAt(step.pointerRow);
            if (step.menuRow < 0) {
                QTest::keyClick(w.text, Qt::Key_M, Qt::ControlModifier);
            } else {
                QTimer::singleShot(0, [] {
                    auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
                    QVERIFY(menu);
                    for (QAction* action : menu->actions())
                        if (action->text().startsWith("Toggle &Mark"))
                            action->trigger();
                    menu->close();
                });
                emit w.text->customContextMenuRequested(w.RowPoint(step.menuRow));
            }
            QVERIFY2(w.Wnd().Marks().IsMarked(LineStart(w.Wnd(), step.line)) == step.marked, qPrintable(what));
            // The dot on the line's row, the gutter shown while there are marks (Line Numbers off).
            QVERIFY2(QTest::qWaitFor([&] { return w.text->RowMarked(step.line - 1) == step.marked; }),
                     qPrintable(what));
            QVERIFY(QTest::qWaitFor([&] { return w.text->GutterWidth() > 0; }));
            if (width >= 0)
                QCOMPARE(w.text->GutterWidth(), width);
            width = w.text->GutterWidth();
        }
        QCOMPARE(w.Wnd().Marks().Count(), std::size_t{3});
        // The numbers on: the column of dots stays as it was, the numbers beside it.
        CFileWndWidget::SetLineNumbers(true);
        w.text->viewport()->update();
        QVERIFY(QTest::qWaitFor([&] { return w.text->GutterText(0) == "1"; }));
        QVERIFY(QTest::qWaitFor([&] { return w.text->GutterWidth() == width + 3 * w.Wnd().GetCharWidth(); }));
        // Every mark taken away: the gutter goes with the last one.
        CFileWndWidget::SetLineNumbers(false);
        for (const int line : {1, 7, 11}) {
            w.PointAt(line - 1);
            QTest::keyClick(w.text, Qt::Key_M, Qt::ControlModifier);
        }
        QVERIFY(w.Wnd().Marks().Empty());
        QVERIFY(QTest::qWaitFor([&] { return w.text->GutterWidth() == 0; }));
    }

    void markNoteSetsTheNoteShownAsTheDotsTooltip()
    {
        Window w(WriteFile("notes.log", Numbered(100)));
        QVERIFY(w.text && w.gutter);
        w.PointAt(2);
        QTest::keyClick(w.text, Qt::Key_M, Qt::ControlModifier);  // line 3, marked without a note
        const struct {
            int row;
            const char* typed;  // null: Cancel
            QString shown;      // what the field held when the dialog opened
            bool marked;
            std::string note;
        } steps[] = {
            {2, "disk full here", "", true, "disk full here"},
            {2, "  retried, then gave up ", "disk full here", true, "retried, then gave up"},
            {5, nullptr, "", false, ""},                 // no mark yet, Cancel: none afterwards
            {5, "the second", "", true, "the second"},   // no mark yet, OK: marked with its note
            {2, "", "retried, then gave up", true, ""},  // an empty note: the mark stays, without a note
        };
        for (const auto& step : steps) {
            w.PointAt(step.row);
            QString shown = "(no dialog)";
            QTimer::singleShot(0, [&] {
                auto* dialog = dynamic_cast<CGoToDialog*>(QApplication::activeModalWidget());
                QVERIFY(dialog);
                QCOMPARE(dialog->windowTitle(), QString(text::MarkNoteTitle));
                auto* edit = dialog->findChild<QLineEdit*>("goToText");
                shown = edit->text();
                if (!step.typed) {
                    QTest::keyClick(edit, Qt::Key_Escape);
                    return;
                }
                edit->selectAll();
                if (*step.typed)
                    QTest::keyClicks(edit, QString::fromUtf8(step.typed));
                else
                    QTest::keyClick(edit, Qt::Key_Delete);
                QTest::keyClick(edit, Qt::Key_Return);
            });
            QTest::keyClick(w.text, Qt::Key_M, Qt::ControlModifier | Qt::ShiftModifier);
            QCOMPARE(shown, step.shown);
            const TextPos line = LineStart(w.Wnd(), step.row + 1);
            QCOMPARE(w.Wnd().Marks().IsMarked(line), step.marked);
            if (step.marked)
                QCOMPARE(*w.Wnd().Marks().NoteOf(line), step.note);
            QVERIFY(QTest::qWaitFor([&] { return w.text->RowMarked(step.row) == step.marked; }));
            QCOMPARE(w.TipAt(step.row), QString::fromStdString(step.note));
        }
        QCOMPARE(w.TipAt(4), QString());  // a row without a mark: no tooltip
    }

    void saveLinesWritesTheMarkedLinesAndRefusesAViewedFile()
    {
        const std::string viewed = WriteFile("save.log", Numbered(50));
        const QByteArray original = Numbered(50);
        Window w(viewed);
        QVERIFY(w.text);
        // Nothing to save yet: the strip says how to get something.
        QTest::keyClick(w.text, Qt::Key_S, Qt::ControlModifier | Qt::ShiftModifier);
        QCOMPARE(w.Strip(), QString(text::SaveLinesNothing));
        for (const int row : {1, 4}) {
            w.PointAt(row);
            QTest::keyClick(w.text, Qt::Key_M, Qt::ControlModifier);
        }
        const QString out = Root()->path() + "/files/out.txt";
        const struct {
            QString target;
            QString strip;
            QString file;  // the target's contents afterwards
            QByteArray contents;
        } steps[] = {
            {out, "Saved 2 lines to out.txt.", out, "line 2\nline 5\n"},
            {QFile::decodeName(QByteArray::fromStdString(viewed)), text::SaveLinesViewedFile,
             QFile::decodeName(QByteArray::fromStdString(viewed)), original},
        };
        for (const auto& step : steps) {
            w.PointAt(-1);
            QStringList sources;
            // The file dialog's own question (the file is there already) is answered Yes.
            QTimer confirm;
            QObject::connect(&confirm, &QTimer::timeout, [] {
                if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget()))
                    box->button(QMessageBox::Yes)->click();
            });
            QTimer::singleShot(0, [&] {
                auto* dialog = qobject_cast<CSaveLinesDialog*>(QApplication::activeModalWidget());
                QVERIFY(dialog);
                for (int i = 0; i < dialog->SourceList()->count(); ++i)
                    sources << dialog->SourceList()->itemText(i);
                auto* name = dialog->findChild<QLineEdit*>("fileNameEdit");
                QVERIFY(name);
                name->setText(step.target);  // as pasted: typed, the name's completer takes the Return
                auto* buttons = dialog->findChild<QDialogButtonBox*>("buttonBox");
                QVERIFY(buttons && buttons->button(QDialogButtonBox::Save));
                confirm.start(20);
                QTest::mouseClick(buttons->button(QDialogButtonBox::Save), Qt::LeftButton);
            });
            QTest::keyClick(w.text, Qt::Key_S, Qt::ControlModifier | Qt::ShiftModifier);
            confirm.stop();
            QCOMPARE(sources, QStringList{"The marked lines (2)"});
            QCOMPARE(w.Strip(), step.strip);
            QFile file(step.file);
            QVERIFY(file.open(QIODevice::ReadOnly));
            QCOMPARE(file.readAll(), step.contents);
        }
    }

    // The dot on the gutter's background and the overview strip's red: apart in every look.
    void theMarkColourReadsInEveryLook()
    {
        const QColor filterRed(0xd6, 0x4a, 0x3b);
        for (const CLook& look : Looks()) {
            const QColor back = look.palette.color(QPalette::Window);
            const QColor dot = CFileWndWidget::MarkColor(look.palette);
            QVERIFY2(RibbonContrastRatio(dot, back) >= 3.0, qPrintable(look.name));
            QVERIFY2(RibbonContrastRatio(dot, back.darker(105)) >= 3.0, qPrintable(look.name + " (strip)"));
            const int hue = std::abs(dot.hsvHue() - filterRed.hsvHue());
            QVERIFY2(std::min(hue, 360 - hue) >= 90, qPrintable(look.name));
        }
    }
};

OSTREL_SHELL_TEST_MAIN(MarksQtTest)

#include "MarksQtTest.moc"
