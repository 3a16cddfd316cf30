// Child windows in tab groups: New Window and its titles, closing windows
// and documents, the keys and buttons that move between windows, the
// windows dialog, and the groups themselves.
#include "ShellTestUtil.h"

#include "app/shell/WindowsDialog.h"
#include "app/tabgroups/TabGroupArea.h"
#include "file/TextFileDoc.h"
#include "view/CommandIds.h"

#include <QKeyEvent>
#include <QListWidget>

#include <fstream>

using namespace shelltest;

namespace {

QStringList Titles(const CTextFileViewerMainFrame* frame)
{
    QStringList titles;
    for (CTextFileViewerChildFrame* window : frame->GetChildFrames())
        titles << frame->GetTabArea()->TabTitle(window);
    return titles;
}

QWidget* FocusTarget(const Started& s)
{
    return s.ActiveFrame()->GetViewWidget()->TextWindow();
}

}  // namespace

class ChildFramesTest : public QObject {
    Q_OBJECT

private slots:
    void init() { Reset(); }

    void newWindowNumbersTheWindowsAndBothFollowTheFile()
    {
        const std::string path = WriteFile("grow.log");
        Started s({path});
        QVERIFY(s.Settle());
        CTextFileDoc* doc = s.ActiveFrame()->GetDocument();
        QVERIFY(s.Frame()->ExecuteCommand(cmd::WindowNew));
        QVERIFY(s.Settle());
        QCOMPARE(s.app->GetDocuments().size(), 1u);
        QCOMPARE(s.app->GetFrames(doc).size(), 2u);
        QCOMPARE(Titles(s.Frame()), (QStringList{"grow.log:1", "grow.log:2"}));
        QCOMPARE(s.ActiveFrame(), s.app->GetFrames(doc).back());  // the new one is active
        QCOMPARE(s.Frame()->windowTitle(), QString(kApplicationTitle) + " - grow.log:2");

        std::ofstream(path, std::ios::app) << "gamma line appended\n";
        for (CTextFileViewerChildFrame* window : s.app->GetFrames(doc)) {
            CFileWnd& wnd = window->GetViewWidget()->TextWindow()->FileWnd();
            QTRY_VERIFY_WITH_TIMEOUT(wnd.CharacterCount() == 41, 10000);
        }

        // One of two closing keeps the document and its name comes back alone; the last takes the document.
        s.Frame()->CloseChildFrame(s.app->GetFrames(doc).front());
        QCOMPARE(s.app->GetDocuments().size(), 1u);
        QCOMPARE(Titles(s.Frame()), QStringList{"grow.log"});
        s.Frame()->CloseChildFrame(s.app->GetFrames(doc).front());
        QVERIFY(s.app->GetDocuments().empty());
        QVERIFY(!s.Update(cmd::WindowNew).m_bEnabled);
        QVERIFY(s.Update(cmd::WindowManager).m_bEnabled);  // always
    }

    void keysButtonsAndTheWindowsDialogMoveThroughTheWindows()
    {
        Started s({WriteFile("a.log"), WriteFile("b.log"), WriteFile("c.log")});
        QVERIFY(s.Active());
        const QList<CTextFileViewerChildFrame*> order = s.Frame()->GetChildFrames();
        QCOMPARE(s.ActiveFrame(), order[2]);

        struct Step {
            const char* what;
            std::function<void()> act;
            int expected;  // index in window order afterwards
        };
        auto press = [&](Qt::MouseButton button) { QTest::mousePress(FocusTarget(s), button); };
        auto key = [&](Qt::Key k, Qt::KeyboardModifiers m = Qt::NoModifier) { QTest::keyClick(FocusTarget(s), k, m); };
        const Step steps[] = {
            {"forward wraps to the first", [&] { press(Qt::ForwardButton); }, 0},
            {"back returns", [&] { press(Qt::BackButton); }, 2},
            {"Key_Back", [&] { key(Qt::Key_Back); }, 1},
            {"Key_Forward", [&] { key(Qt::Key_Forward); }, 2},
            {"Ctrl+Tab", [&] { key(Qt::Key_Tab, Qt::ControlModifier); }, 0},
            {"Ctrl+F6", [&] { key(Qt::Key_F6, Qt::ControlModifier); }, 1},
            {"Ctrl+Shift+Tab", [&] { key(Qt::Key_Backtab, Qt::ControlModifier | Qt::ShiftModifier); }, 0},
            {"Ctrl+Shift+F6", [&] { key(Qt::Key_F6, Qt::ControlModifier | Qt::ShiftModifier); }, 2},
        };
        for (const Step& step : steps) {
            step.act();
            QVERIFY2(s.ActiveFrame() == order[step.expected], step.what);
        }

        // The windows dialog lists them and activates the chosen one; the back button inside it is its own.
        QStringList listed;
        QTimer::singleShot(0, [&] {
            auto* dialog = qobject_cast<CWindowsDialog*>(QApplication::activeModalWidget());
            QVERIFY(dialog);
            for (int i = 0; i < dialog->List()->count(); ++i)
                listed << dialog->List()->item(i)->text();
            QTest::mousePress(dialog->List()->viewport(), Qt::BackButton);
            QTest::keyClick(dialog->List(), Qt::Key_Back);
            listed << (s.ActiveFrame() == order[2] ? "unchanged" : "switched");
            dialog->List()->setCurrentRow(0);
            QTest::keyClick(dialog->List(), Qt::Key_Return);
        });
        QVERIFY(s.Frame()->ExecuteCommand(cmd::WindowManager));
        QCOMPARE(listed, (QStringList{"a.log", "b.log", "c.log", "unchanged"}));
        QCOMPARE(s.ActiveFrame(), order[0]);
        QVERIFY(s.Active());
        key(Qt::Key_F4, Qt::ControlModifier);
        QCOMPARE(s.Frame()->GetChildFrames().size(), 2);
        key(Qt::Key_W, Qt::ControlModifier);
        QCOMPARE(s.Frame()->GetChildFrames().size(), 1);
        CTextFileViewerChildFrame* last = s.ActiveFrame();
        press(Qt::BackButton);
        key(Qt::Key_Tab, Qt::ControlModifier);
        QCOMPARE(s.ActiveFrame(), last);  // one window: nothing changes
    }

    void manyFilesOfTheCommandLineOpenWhileTheFirstWindowAnswers()
    {
        // 150 files, one missing among them, the 11th named again last: their tabs in the command line's order,
        // the missing one said once and skipped, the file named last active at the end.
        QByteArray lines;
        for (int i = 0; i < 300; ++i)
            lines += "line " + QByteArray::number(i) + "\n";
        std::vector<std::string> files;
        QStringList expected;
        for (int i = 0; i < 150; ++i) {
            const QString name = QString("many-%1.log").arg(i, 3, 10, QChar('0'));
            files.push_back(i == 75 ? Root()->path().toStdString() + "/files/missing.log" : WriteFile(name, lines));
            if (i != 75)
                expected << name;
        }
        files.push_back(files[10]);
        {
            Started s(files, false);
            QVERIFY(s.ok);
            QVERIFY(s.app->IsOpeningStartFiles());
            CTextFileViewerChildFrame* first = s.ActiveFrame();
            CFileWndWidget* text = first->GetViewWidget()->TextWindow();
            QVERIFY(Until([&] { return first->GetActiveView()->IsLoaded(); }));
            // A key posted to the first window is answered while files are still coming.
            const TextPos top = s.Wnd().GetTop();
            QCoreApplication::postEvent(text, new QKeyEvent(QEvent::KeyPress, Qt::Key_Up, Qt::NoModifier));
            int windowsWhenAnswered = -1;
            QVERIFY(Until([&] {
                if (windowsWhenAnswered < 0 && text->FileWnd().GetTop() != top)
                    windowsWhenAnswered = static_cast<int>(s.Frame()->GetChildFrames().size());
                return windowsWhenAnswered >= 0;
            }));
            QVERIFY2(windowsWhenAnswered < static_cast<int>(expected.size()), "answered only after the last file");
            QCOMPARE(s.ActiveFrame(), first);  // the windows coming behind it do not take over
            QVERIFY(QTest::qWaitFor([&] { return !s.app->IsOpeningStartFiles(); }, 20000));
            QCOMPARE(Titles(s.Frame()), expected);
            QCOMPARE(s.ActiveFrame(), s.Frame()->GetChildFrames().at(10));
            QCOMPARE(Lines(s.errors.str()), 1);
            QCOMPARE(s.app->GetRecentFileList().Entries().front(), files[149]);
        }
        {
            // A window the user moves to while the files come stays active after the last. More files than
            // above: the window's activation must come while they are still coming, however fast they open.
            Reset();
            files.clear();
            for (int i = 0; i < 600; ++i)
                files.push_back(WriteFile(QString("many-%1.log").arg(i, 3, 10, QChar('0')), lines));
            Started s(files, false);
            QVERIFY(s.ok);
            s.Frame()->activateWindow();
            QVERIFY(Until([&] { return s.Frame()->isActiveWindow(); }));
            QVERIFY(Until([&] { return s.Frame()->GetChildFrames().size() >= 2; }));
            QVERIFY(s.app->IsOpeningStartFiles());
            QTest::keyClick(FocusTarget(s), Qt::Key_Tab, Qt::ControlModifier);
            CTextFileViewerChildFrame* chosen = s.Frame()->GetChildFrames().at(1);
            QCOMPARE(s.ActiveFrame(), chosen);
            QVERIFY(QTest::qWaitFor([&] { return !s.app->IsOpeningStartFiles(); }, 20000));
            QCOMPARE(s.ActiveFrame(), chosen);
        }
    }

    void aRefusedFileDestroysItsOwnWindow()
    {
        Started s({WriteFile("kept.log")});
        QVERIFY(s.Settle());
        s.Frame()->m_messageBoxHook = [](const std::string&, unsigned) { return platform::kIdOk; };
        QVERIFY(s.app->OpenDocumentFile(WriteFile("wide.txt", QByteArray("\xFF\xFE\0\0xxxxxxxx", 12))));
        QTRY_COMPARE(s.Frame()->GetChildFrames().size(), 1);
        QCOMPARE(s.app->GetDocuments().size(), 1u);  // the refused document went with its window
        QCOMPARE(Titles(s.Frame()), QStringList{"kept.log"});
    }

    // New Window goes into the active group: two groups, three tabs, one of them a second window on a file (the
    // picture of the docs, when asked for). The close buttons, the list button and groups emptied by moves are
    // TabGroupAreaTest's.
    void newWindowGoesIntoTheActiveGroup()
    {
        QByteArray log;
        for (int i = 1; i <= 60; ++i)
            log += QByteArray("2026-12-07 10:") + QByteArray::number(10 + i % 50) + ":00 INFO  worker-" +
                   QByteArray::number(i % 4) + " processed batch " + QByteArray::number(i) + "\n";
        Started s({WriteFile("service.log", log), WriteFile("notes.txt", "Release notes\n\nTabs in groups.\n")});
        QVERIFY(s.Settle());
        s.Frame()->resize(1000, 560);
        CTabGroupArea* area = s.Frame()->GetTabArea();
        area->MoveWindowToNewGroup(s.ActiveFrame(), 1);
        s.Frame()->ExecuteCommand(cmd::WindowNew);
        QVERIFY(s.Settle());
        QCOMPARE(area->GroupCount(), 2);
        QCOMPARE(area->GroupOf(s.ActiveFrame()), 1);
        QCOMPARE(Titles(s.Frame()), (QStringList{"service.log", "notes.txt:1", "notes.txt:2"}));
        const QByteArray dir = qgetenv("OSTREL_SCREENSHOT_DIR");
        if (!dir.isEmpty()) {
            Idle();
            QVERIFY(s.Frame()->grab().save(QString::fromLocal8Bit(dir) + "/child-frames.png"));
        }
    }
};

OSTREL_SHELL_TEST_MAIN(ChildFramesTest)

#include "ChildFramesTest.moc"
