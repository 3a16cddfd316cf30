// The application shell as a user meets it: start-up and the command line,
// documents opened once, drops, the recent-file list, settings and records
// that survive, the update pass, the context menu, message boxes, and the
// view reaching a real ribbon through its host.
#include "ShellTestUtil.h"

#include "app/bars/GoToDialog.h"
#include "app/bars/MessageStrip.h"
#include "app/bars/StatusBar.h"
#include "app/ribbon/RibbonApplicationButton.h"
#include "app/ribbon/RibbonColorButton.h"
#include "app/ribbon/RibbonComboBox.h"
#include "app/ribbon/RibbonElement.h"
#include "app/ribbon/RibbonMainPanel.h"
#include "app/shell/CommandDialog.h"
#include "app/shell/CommandLine.h"
#include "app/shell/JournalDialog.h"
#include "file/TextFileDoc.h"
#include "tests/core/JournalUtil.h"
#include "textwnd/MergedWnd.h"
#include "view/CommandIds.h"
#include "view/DisplayPreferences.h"
#include "view/FilePrefDatabase.h"
#include "view/StringTable.h"
#include "view/qt/QtFont.h"

#include <QClipboard>
#include <QComboBox>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QToolTip>

#include <cstring>
#include <filesystem>
#include <fstream>

using namespace shelltest;

namespace {

// The line of the top row as a plain count of the file's line feeds sees it.
int TopLine(const Started& s, const QByteArray& bytes)
{
    return 1 + static_cast<int>(bytes.left(static_cast<int>(s.Wnd().GetTop() - s.Wnd().DataStart())).count('\n'));
}

// Ctrl+G or Ctrl+Shift+G, then each text typed over the last and confirmed with Return; what the dialog said of
// each one while it stayed open ("closed" once it closed).
QStringList GoTo(const Started& s, Qt::KeyboardModifiers keys, const QStringList& typed)
{
    (void)s.Active();  // back from the last dialog
    QStringList said;
    bool done = false;
    QTimer::singleShot(0, [&] {
        auto* dialog = dynamic_cast<CGoToDialog*>(QApplication::activeModalWidget());
        for (const QString& text : typed) {
            if (!dialog || !dialog->isVisible()) {
                said << "closed";
                continue;
            }
            auto* edit = dialog->findChild<QLineEdit*>("goToText");
            edit->selectAll();
            QTest::keyClicks(edit, text);
            QTest::keyClick(edit, Qt::Key_Return);
            said << (dialog->isVisible() ? dialog->Message() : QString("closed"));
        }
        if (dialog && dialog->isVisible())
            dialog->reject();
        done = true;
    });
    QTest::keyClick(s.ActiveFrame()->GetViewWidget()->TextWindow(), Qt::Key_G, keys);
    (void)QTest::qWaitFor([&] { return done; });  // no dialog: the timer is still to come
    return said;
}

std::string FileName(const CTextFileDoc* doc)
{
    return std::filesystem::path(doc->GetPathName()).filename().string();
}

}  // namespace

class ShellTest : public QObject {
    Q_OBJECT

private slots:
    void init() { Reset(); }

    void startsEmptyTitlesTheActiveDocumentAndTypesFollowTheExtension()
    {
        Started s;
        QVERIFY(s.ok);
        QVERIFY(s.Frame()->isVisible());
        QVERIFY(s.app->GetDocuments().empty());
        QCOMPARE(s.Frame()->windowTitle(), QString(kApplicationTitle));
        QVERIFY(!s.Update(cmd::FontBold).m_bEnabled);  // no active view
        QVERIFY(!s.Update(cmd::FileClose).m_bEnabled);

        const std::pair<const char*, int> cases[] = {{"notes.txt", 136}, {"APP.LOG", 135},   {"trace", 135},
                                                     {"data.TXT", 136},  {"a.txt.log", 135}, {"b.log.txt", 136}};
        for (auto [name, type] : cases) {
            CTextFileDoc* doc = s.app->OpenDocumentFile(WriteFile(name));
            QVERIFY(doc);
            QCOMPARE(s.Frame()->windowTitle(), QString(kApplicationTitle) + " - " + name);
            QCOMPARE(s.app->GetDocTemplate(doc)->GetResourceId(), type);
            QVERIFY(!s.app->GetDocTemplate(doc)->GetIcon().isNull());
        }
        QVERIFY(s.Settle());
        QVERIFY(s.Update(cmd::FontBold).m_bEnabled);
        QCOMPARE(s.app->TemplateForPath("x.txt")->GetDocString(CDocTemplate::regFileTypeName),
                 std::string("Ostrel Text File"));
        QCOMPARE(s.app->TemplateForPath("x")->GetDocString(CDocTemplate::filterName), std::string("Log Files(*.log)"));
    }

    void aFileThatCannotBeOpenedEndsTheStart()
    {
        const std::string missing = Root()->path().toStdString() + "/files/missing.log";
        {
            Started s({missing});
            QVERIFY(!s.ok);
            QVERIFY(!s.Frame());
            QCOMPARE(Lines(s.errors.str()), 1);
            QVERIFY(s.errors.str().find("'" + missing + "': No such file or directory") != std::string::npos);
        }
        {
            Started s({missing, WriteFile("there.log"), WriteFile("empty.log", "")});
            QVERIFY(s.ok);  // several: the ones that open are shown
            QCOMPARE(s.app->GetDocuments().size(), 1u);
            QCOMPARE(Lines(s.errors.str()), 2);
        }
        // The program itself: no window, a non-zero status and one line; --version without a display.
        QProcess viewer;
        viewer.start(OSTREL_BIN_DIR "/ostrel-viewer", {QString::fromStdString(missing)});
        QVERIFY(viewer.waitForFinished(30000));
        QCOMPARE(viewer.exitCode(), 1);
        QCOMPARE(viewer.readAllStandardError().count("cannot open"), 1);
        QProcessEnvironment bare = QProcessEnvironment::systemEnvironment();
        bare.remove("QT_QPA_PLATFORM");
        bare.remove("DISPLAY");
        viewer.setProcessEnvironment(bare);
        viewer.start(OSTREL_BIN_DIR "/ostrel-viewer", {"--version"});
        QVERIFY(viewer.waitForFinished(30000));
        QCOMPARE(viewer.exitCode(), 0);
        QVERIFY(QString(viewer.readAllStandardOutput())
                    .contains(QRegularExpression("^Ostrel Text Log File Viewer [0-9.]+ \\(build [0-9]{6}\\)\n$")));
    }

    void openCommandRunsWhatIsTypedAndKeepsItInTheHistory()
    {
        Started s;
        QVERIFY(s.ok);
        const QString typed[] = {"echo first; exit 4", "echo second", "echo first; exit 4"};
        for (const QString& command : typed) {
            QTimer::singleShot(0, [&command] {
                auto* dialog = qobject_cast<CCommandDialog*>(QApplication::activeModalWidget());
                QVERIFY(dialog);
                QTest::keyClicks(dialog->Box()->lineEdit(), command);
                QTest::keyClick(dialog->Box()->lineEdit(), Qt::Key_Return);
            });
            QVERIFY(s.Frame()->ExecuteCommand(cmd::OpenCommand));
            QVERIFY(s.ActiveFrame());
            QCOMPARE(s.ActiveFrame()->GetTitle(), command);
            CMessageStrip* strip = s.ActiveFrame()->GetViewWidget()->findChild<CMessageStrip*>();
            const QString status = command.endsWith("exit 4") ? "4" : "0";
            QVERIFY(Until([&] { return strip->Text() == "The command ended with status " + status + "."; }));
        }
        // Every run its own window; the history newest first, each command once.
        QCOMPARE(s.Frame()->GetChildFrames().size(), 3);
        QCOMPARE(Settings().value(CCommandDialog::kHistoryKey).toStringList(),
                 (QStringList{"echo first; exit 4", "echo second"}));
    }

    void systemJournalOpensWhatTheDialogChose()
    {
        if (::access(journaltest::kJournalRemote, X_OK) != 0)
            QSKIP("systemd-journal-remote is not installed");
        QTemporaryDir dir;
        std::vector<journaltest::Entry> entries;
        for (int i = 0; i < 12; ++i) {
            journaltest::Entry e;
            e.realtime = 1765000000000000 + static_cast<std::uint64_t>(i) * 1000000;
            e.priority = i % 8;
            e.unit = i % 2 ? "u1.service" : "u2.service";
            e.boot = std::string(32, i < 6 ? 'a' : 'b');
            e.message = "entry " + std::to_string(i);
            entries.push_back(e);
        }
        QVERIFY(journaltest::WriteJournal(dir.path().toStdString() + "/a.journal", entries));
        // --journal-dir names the folder; --journal asks.
        const char* argv[] = {"ostrel-viewer", "--journal", "--journal-dir", "/x/y", "--journal-dir=/z"};
        QVERIFY(ParseCommandLine(2, argv).m_bJournal);
        QCOMPARE(ParseCommandLine(4, argv).m_strJournalDir, std::string("/x/y"));
        QCOMPARE(ParseCommandLine(5, argv).m_strJournalDir, std::string("/z"));
        QCOMPARE(ParseCommandLine(3, argv).m_action, CCommandLineInfo::BadOption);

        Started s;
        QVERIFY(s.ok);
        s.Frame()->SetJournalFolder(dir.path());
        QTimer::singleShot(0, [] {
            auto* dialog = qobject_cast<CJournalDialog*>(QApplication::activeModalWidget());
            QVERIFY(dialog);
            // This boot (the first choice), one unit typed, warnings and above, no first time.
            QTest::keyClicks(dialog->UnitsBox()->lineEdit(), "u1.service");
            for (int i = 0; i < 3; ++i)
                QTest::keyClick(dialog->PriorityBox(), Qt::Key_Up);
            QTest::keyClick(dialog->SinceEdit(), Qt::Key_Return);
        });
        QVERIFY(s.Frame()->ExecuteCommand(cmd::OpenJournal));
        QVERIFY(s.ActiveFrame());
        QCOMPARE(s.ActiveFrame()->GetTitle(), "Journal (" + dir.path() + ", this boot, u1.service, warning and above)");
        CTextFileDoc* doc = s.ActiveFrame()->GetDocument();
        QVERIFY(doc->IsJournal());
        QVERIFY(Until([&] { return doc->Journal()->HasReadAll(); }));
        std::string expected;
        for (const journaltest::Entry& e : entries)
            if (e.boot[0] == 'b' && e.unit == "u1.service" && e.priority <= 4)
                expected += e.message + "\n";
        std::string shown;
        const CMemoryMappedFile* file = doc->GetMappedFile();
        const std::string text(reinterpret_cast<const char*>(file->View()), file->Size());
        for (std::size_t at = 0; (at = text.find("]: ", at)) != std::string::npos; at += 3)
            shown += text.substr(at + 3, text.find('\n', at) - at - 2);
        QCOMPARE(shown, expected);
        // Resting the pointer on the top row: its entry's fields are its tooltip.
        CFileWndWidget* window = s.ActiveFrame()->GetViewWidget()->TextWindow();
        QTest::keyClick(window, Qt::Key_Home, Qt::ControlModifier);
        QVERIFY(Until([&] { return window->FileWnd().PaintedRowStarts().size() >= 2; }));
        const QPoint at(20, window->FileWnd().GetLineHeight() / 2);
        QHelpEvent help(QEvent::ToolTip, at, window->viewport()->mapToGlobal(at));
        QApplication::sendEvent(window->viewport(), &help);
        QVERIFY(Until([] { return QToolTip::isVisible(); }));
        QCOMPARE(QToolTip::text(), "_SYSTEMD_UNIT=u1.service\n_PID=100\nSYSLOG_IDENTIFIER=ident\n_HOSTNAME=host");
    }

    void olderPartsAreOfferedInTheStripAndShownByItsActionOrTheSetting()
    {
        Reset();
        // Three parts (the oldest compressed) beside each log, 10 lines each, and a decoy.
        auto parts = [](const QString& log) {
            for (const auto& [suffix, mark] : {std::pair{".2.gz", "p2"}, std::pair{".1", "p1"}, std::pair{"", "p0"}}) {
                QByteArray text;
                for (int i = 0; i < 10; ++i)
                    text += QByteArray(mark) + " line " + QByteArray::number(i) + "\n";
                const QString name = log + suffix;
                if (QString(suffix).endsWith(".gz")) {
                    QProcess gzip;
                    gzip.start("gzip", {"-c"});
                    gzip.write(text);
                    gzip.closeWriteChannel();
                    QVERIFY(gzip.waitForFinished(10000));
                    text = gzip.readAllStandardOutput();
                }
                WriteFile(name, text);
            }
            WriteFile(log + ".bak", "not a part\n");
        };
        parts("app.log");
        parts("web.log");
        Started s;
        QVERIFY(s.ok);
        s.Ribbon();
        QVERIFY(s.Open(Root()->path().toStdString() + "/files/app.log", QSize(900, 600)));
        CMessageStrip* strip = s.ActiveFrame()->GetViewWidget()->MessageStrip();
        QVERIFY(Until([&] { return strip->isVisible(); }));
        QCOMPARE(strip->Text(), QString("Older parts of this log: 2 files."));
        QCOMPARE(strip->ActionLabel(), QString(text::RotatedPartsAction));
        QVERIFY(!s.Wnd().GetMerged());
        // The action, clicked: the parts and the log as one log at its end; the title says so.
        auto* action = strip->findChild<QPushButton*>();
        QVERIFY(action && action->isVisible());
        QTest::mouseClick(action, Qt::LeftButton);
        QVERIFY(s.Wnd().GetMerged() && s.Wnd().GetMerged()->IsSequence());
        QCOMPARE(s.Wnd().GetMerged()->Count(), 3);
        QCOMPARE(s.ActiveFrame()->GetTitle(), QString("app.log (and 2 older parts)"));
        // Ctrl+Home by key: the oldest part, read in the background, shows its first line on top.
        CFileWndWidget* text = s.ActiveFrame()->GetViewWidget()->TextWindow();
        text->setFocus();
        QTest::keyClick(text, Qt::Key_Home, Qt::ControlModifier);
        QVERIFY(Until([&] {
            text->viewport()->repaint();
            const auto& rows = s.Wnd().GetMerged()->PaintedRows();
            return !rows.empty() && rows.front().file == 0 && rows.front().start == 0 &&
                   !s.Wnd().GetMerged()->IsPending(0);
        }));
        // Include Rotated Parts: off at first, kept in the settings, and a log with parts opens as one log.
        QCOMPARE(s.Update(cmd::IncludeRotated).m_nCheck, 0);
        QVERIFY(s.Frame()->ExecuteCommand(cmd::IncludeRotated));
        QCOMPARE(Settings().value("Log/IncludeRotated").toInt(), 1);
        QCOMPARE(s.Update(cmd::IncludeRotated).m_nCheck, 1);
        QVERIFY(s.Open(Root()->path().toStdString() + "/files/web.log"));
        QVERIFY(Until([&] { return s.Wnd().GetMerged() != nullptr; }));
        QCOMPARE(s.Wnd().GetMerged()->Count(), 3);
        QVERIFY(s.Frame()->ExecuteCommand(cmd::IncludeRotated));
        QCOMPARE(Settings().value("Log/IncludeRotated").toInt(), 0);
    }

    void theCommandLineKeepsBytesAndEndsOptionsAtDoubleDash()
    {
        const char* argv[] = {"ostrel-viewer", "--bogus", "--version", "a.log", "--", "--help", "-"};
        const CCommandLineInfo info = ParseCommandLine(7, argv);
        QCOMPARE(info.m_action, CCommandLineInfo::ShowVersion);
        QCOMPARE(info.m_files, (std::vector<std::string>{"a.log", "--help", "-"}));
        QCOMPARE(ParseCommandLine(2, argv).m_action, CCommandLineInfo::BadOption);
        // A command line given by --command (or --command=), never taken for a file; without one it is refused.
        const char* commands[] = {"ostrel-viewer", "--command", "tail -f a b", "--command=ls -l", "c.log", "--command"};
        const CCommandLineInfo run = ParseCommandLine(5, commands);
        QCOMPARE(run.m_commands, (std::vector<std::string>{"tail -f a b", "ls -l"}));
        QCOMPARE(run.m_files, std::vector<std::string>{"c.log"});
        QCOMPARE(ParseCommandLine(6, commands).m_action, CCommandLineInfo::BadOption);
        // --rotated shows each file with its older parts; after "--" it is a file's name.
        const char* rotated[] = {"ostrel-viewer", "--rotated", "a.log", "--", "--rotated"};
        QVERIFY(ParseCommandLine(3, rotated).m_bRotated);
        QCOMPARE(ParseCommandLine(5, rotated).m_files, (std::vector<std::string>{"a.log", "--rotated"}));
        QVERIFY(!ParseCommandLine(2, commands).m_bRotated);

        // A name that is not UTF-8 opens, and keeps its bytes as its path.
        const std::string odd = Root()->path().toStdString() + "/files/caf\xe9.log";
        std::ofstream(odd) << "latin-1 name\n";
        Started s({odd});
        QVERIFY(s.ok);
        QCOMPARE(s.app->GetDocuments().front()->GetPathName(), odd);
        std::filesystem::remove(odd);  // a name Qt cannot spell would outlive the run's folder
    }

    void eachFileOpensOnceUnderAnySpellingAndByDrops()
    {
        const std::string path = WriteFile("same.log");
        const std::string dir = Root()->path().toStdString() + "/files";
        std::filesystem::create_symlink(path, dir + "/alias.log");
        Started s({path, path});
        QVERIFY(s.ok);
        QVERIFY(s.app->OpenDocumentFile(dir + "/./same.log"));
        CTextFileDoc* viaLink = s.app->OpenDocumentFile(dir + "/alias.log");
        QCOMPARE(s.app->GetDocuments().size(), 1u);
        QCOMPARE(viaLink->GetPathName(), path);  // the open document's path is used
        QCOMPARE(s.app->DocumentPath(dir + "/alias.log"), path);
        QCOMPARE(s.app->DocumentPath(dir + "/new.log"), dir + "/new.log");

        // Dropped files open as documents; one open already brings its window forward.
        auto drop = [&](const QStringList& names) {
            QMimeData data;
            QList<QUrl> urls;
            for (const QString& name : names)
                urls.append(QUrl::fromLocalFile(QString::fromStdString(WriteFile(name))));
            data.setUrls(urls);
            QDropEvent event(QPointF(50, 50), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
            // Straight to the window: the application delivers drops only during a drag of its own.
            static_cast<QObject*>(s.Frame())->event(&event);
            QVERIFY(event.isAccepted());
        };
        drop({"one.log", "two.txt"});
        QCOMPARE(s.app->GetDocuments().size(), 3u);
        QCOMPARE(FileName(s.ActiveFrame()->GetDocument()), std::string("two.txt"));
        drop({"same.log"});
        QCOMPARE(s.app->GetDocuments().size(), 3u);
        QCOMPARE(FileName(s.ActiveFrame()->GetDocument()), std::string("same.log"));
    }

    void theRecentListKeepsTheLastTenSuccessfulOpens()
    {
        std::vector<std::string> paths;
        {
            Started s;
            for (int i = 1; i <= 12; ++i)
                paths.push_back(WriteFile(QString("r%1.log").arg(i)));
            for (const std::string& p : paths)
                s.app->OpenDocumentFile(p);
            QVERIFY(!s.app->OpenDocumentFile(Root()->path().toStdString() + "/files/never.log"));
        }
        QSettings settings = Settings();  // written at once, not at exit
        settings.sync();
        QCOMPARE(settings.value("Recent File List/File1").toString().toStdString(), paths[11]);
        QCOMPARE(settings.value("Recent File List/File10").toString().toStdString(), paths[2]);

        Started s;
        QCOMPARE(s.app->GetRecentFileList().Entries().size(), 10u);
        // A chosen entry whose file has gone leaves the list; one that is there opens. The file menu follows.
        CRibbonMainPanel* menu = s.Frame()->GetRibbonBar()->GetApplicationButton()->GetMainPanel();
        std::filesystem::remove(paths[11]);
        QVERIFY(s.Frame()->ExecuteCommand(cmd::FileMruFirst));
        QCOMPARE(s.app->GetRecentFileList().Entries().front(), paths[10]);
        QVERIFY(s.app->GetDocuments().empty());
        QCOMPARE(menu->GetRecentFileCount(), 9);
        menu->GetRecentFileEntry(1)->OnKeyTip();
        QCOMPARE(FileName(s.app->GetDocuments().front()), std::string("r10.log"));
        QCOMPARE(s.app->GetRecentFileList().Entries().front(), paths[9]);
        QVERIFY(menu->GetRecentFileEntry(0)->GetLabel().contains("r10.log"));
        QVERIFY(!s.Update(cmd::FileMruFirst + 9).m_bEnabled);  // nine entries left
        QVERIFY(!s.Update(cmd::FileMruFirst + 10).m_bEnabled);
    }

    void anUnwritableDataFolderStillOpensFilesAndAppliesCommands()
    {
        const std::string blocker = WriteFile("not-a-folder");
        qputenv("XDG_DATA_HOME", QByteArray::fromStdString(blocker + "/data"));
        Started s({WriteFile("a.log")});
        QVERIFY(s.ok);
        QVERIFY(s.Settle());
        QVERIFY(s.Frame()->ExecuteCommand(cmd::FontBold));
        QCOMPARE(s.Wnd().GetLogFont().lfWeight, 700);
        QCOMPARE(s.ActiveView()->GetPrefs()->bold, 1);
        QVERIFY(!s.app->GetDatabase()->IsOpen());
    }

    void aFirstStartStoresTheDefaultsAndABoldFileStaysBold()
    {
        const std::string path = WriteFile("first.log");
        {
            Started s({path});
            QVERIFY(s.Settle());
        }
        // The record's bytes are the core's (FilePrefDatabase, DisplayPreferences); here: one record is written.
        QCOMPARE(QFile(DataHome() + "/Ostrel/fileprefdatabase.fpdb").size(), 612);
        QSettings settings = Settings();
        const QByteArray logFont = settings.value("TextFileView/LogFont").toByteArray();
        QCOMPARE(logFont.size(), 92);
        platform::LOGFONTW font{};
        std::memcpy(&font, logFont.constData(), sizeof font);
        QCOMPARE(font.lfHeight, 13);  // -10 points: a 13-pixel cell at 96 dpi
        QCOMPARE(font.lfWeight, 400);
        QCOMPARE(std::u16string(font.lfFaceName), std::u16string(u"Courier New"));
        QCOMPARE(font.lfCharSet + font.lfPitchAndFamily + font.lfItalic + font.lfUnderline + font.lfStrikeOut, 0);
        QCOMPARE(settings.value("TextFileView/Font Color").toLongLong(), 0xFFFFFFLL);
        QCOMPARE(settings.value("TextFileView/Page Color").toInt(), 0);
        QCOMPARE(settings.value("TextFileView/Text Case").toInt(), 0);

        // A file made bold is bold after a restart (closed and opened in one run, TextFileViewTest.EachFile...).
        {
            Started s({path});
            QVERIFY(s.Settle());
            s.Frame()->ExecuteCommand(cmd::FontBold);
        }
        Started again({path});
        QVERIFY(again.Settle());
        QCOMPARE(again.Wnd().GetLogFont().lfWeight, 700);
    }

    void theViewReachesARealRibbonWithoutIssuingCommands()
    {
        Started s;
        CRibbonBar* bar = s.Frame()->GetRibbonBar();
        QSignalSpy commands(bar, &CRibbonBar::commandTriggered);
        s.app->OpenDocumentFile(WriteFile("ribbon.log"));
        QVERIFY(s.Settle());
        auto* size = bar->FindByID<CRibbonComboBox>(cmd::FontSize);
        auto* face = bar->FindByID<CRibbonFontComboBox>(cmd::FontName);
        QCOMPARE(size->GetText(), QString("10"));
        QCOMPARE(size->GetItem(size->GetCurSel()), QString("10"));
        QCOMPARE(face->GetText(), QString("Courier New"));
        QCOMPARE(bar->FindByID<CRibbonColorButton>(cmd::FontColor)->GetColor(), QColor(Qt::white));
        QCOMPARE(bar->FindByID<CRibbonColorButton>(cmd::PageColor)->GetColor(), QColor(Qt::black));

        // A 13-point font shows "13" with "14" selected, and filling the box runs no Font Size command.
        s.Frame()->m_chooseFontHook = [](platform::LOGFONTW& font, platform::COLORREF&) {
            font.lfHeight = PointsToHeight(13);
            return true;
        };
        QVERIFY(s.Frame()->ExecuteCommand(cmd::FontDialog));
        QCOMPARE(size->GetText(), QString("13"));
        QCOMPARE(size->GetItem(size->GetCurSel()), QString("14"));
        QCOMPARE(s.ActiveView()->GetPrefs()->pointSize, 13);
        QCOMPARE(commands.count(), 0);

        // The user's choice issues the command.
        emit size->GetComboBox()->activated(size->FindItem("16"));
        QCOMPARE(commands.count(), 1);
        QCOMPARE(s.ActiveView()->GetPrefs()->pointSize, 16);

        // A face that is no entry is shown as it is, with no entry selected.
        s.Frame()->FindFontElement(cmd::FontName)->ShowFace(u"No Such Face", 0);
        QCOMPARE(face->GetText(), QString("No Such Face"));
        QCOMPARE(face->GetCurSel(), -1);
        QCOMPARE(commands.count(), 1);
        QVERIFY(!s.Frame()->FindColorElement(cmd::FontBold));
    }

    // The Records panel's Format drop-down: Automatic names the format found, a choice applies to the window at
    // once (its records' levels) and comes back with the file in the next run; Automatic again takes it back.
    void theFormatDropDownChoosesTheWindowsFormatAndKeepsItPerFile()
    {
        const std::string path = WriteFile("records.log", "2026-12-07 10:00:00.123 ERROR boom\n\tat a.b(C.java:1)\n");
        const struct {
            QString pick;            // the entry the user picks; empty: none, a new run
            const char* shown;       // the drop-down's selected entry afterwards
            const char* format;      // the window's format
            logformat::Level level;  // the top record's level
        } steps[] = {
            {"", "Automatic (ISO 8601)", "ISO 8601", logformat::Level::Error},
            {"klog", "klog", "klog", logformat::Level::None},
            {"", "klog", "klog", logformat::Level::None},  // the next run
            {"Automatic (ISO 8601)", "Automatic (ISO 8601)", "ISO 8601", logformat::Level::Error},
            {"", "Automatic (ISO 8601)", "ISO 8601", logformat::Level::Error},
        };
        auto s = std::make_unique<Started>(std::vector<std::string>{path});
        for (const auto& step : steps) {
            if (step.pick.isEmpty()) {
                s.reset();  // one application at a time: it owns the process-wide settings
                s = std::make_unique<Started>(std::vector<std::string>{path});
                QVERIFY(s->Settle());
                s->ActiveView()->SyncRibbonControls();
            }
            auto* box = s->Frame()->GetRibbonBar()->FindByID<CRibbonComboBox>(cmd::RecordFormat);
            QVERIFY(box);
            if (!step.pick.isEmpty()) {
                QVERIFY(box->FindItem(step.pick) >= 0);
                box->SelectItem(box->FindItem(step.pick));
                emit box->GetComboBox()->activated(box->FindItem(step.pick));
            }
            QCOMPARE(box->GetItem(box->GetCurSel()), QString(step.shown));
            QVERIFY(s->Wnd().RecordFormat());
            QCOMPARE(s->Wnd().RecordFormat()->Name(), std::string(step.format));
            QCOMPARE(static_cast<int>(s->Wnd().TopRecord().level), static_cast<int>(step.level));
        }
    }

    // A log that shows its format only as it grows: Automatic names it once the window reads it so.
    void theFormatDropDownNamesAFormatFoundAsTheFileGrows()
    {
        const std::string path = WriteFile("late.log", "starting\nstill starting\n");
        Started s({path});
        QVERIFY(s.Settle());
        s.ActiveView()->SyncRibbonControls();
        auto* box = s.Frame()->GetRibbonBar()->FindByID<CRibbonComboBox>(cmd::RecordFormat);
        QVERIFY(box);
        QCOMPARE(box->GetItem(0), QString("Automatic (none)"));
        std::ofstream(path, std::ios::app) << std::string(40, '\n') + [] {
            std::string lines;
            for (int i = 0; i < 40; ++i)
                lines += "2026-12-07 10:00:0" + std::to_string(i % 10) + ".123 INFO request\n";
            return lines;
        }();
        QTRY_COMPARE_WITH_TIMEOUT((Idle(), box->GetItem(0)), QString("Automatic (ISO 8601)"), 10000);
        QCOMPARE(box->GetCurSel(), 0);
    }

    void aQtFontBecomesALogFontAtTheOneResolution()
    {
        platform::SetScreenDpiY(96);
        QFont font("DejaVu Sans Mono");
        font.setPointSize(12);
        font.setWeight(QFont::Bold);
        font.setItalic(true);
        const platform::LOGFONTW lf = LogFontFromQFont(font);
        QCOMPARE(lf.lfHeight, -16);
        QCOMPARE(lf.lfWeight, 700);
        QVERIFY(lf.lfItalic && !lf.lfUnderline && !lf.lfStrikeOut);
        QCOMPARE(std::u16string(lf.lfFaceName), std::u16string(u"DejaVu Sans Mono"));
        QCOMPARE(lf.lfPitchAndFamily, kFixedPitchModern);
        QCOMPARE(QFontFromLogFont(lf).pointSize(), 12);
        FollowScreenDpi();  // back to the screen's
    }

    void theUpdatePassAppliesWhatChanged()
    {
        Started s;
        QObject owner;
        std::vector<CCmdUI> applied;
        s.Frame()->AddCommandUI(cmd::FontBold, &owner, [&](const CCmdUI& ui) { applied.push_back(ui); });
        QCOMPARE(applied.size(), 1u);
        QVERIFY(!applied.back().m_bEnabled);
        s.app->OpenDocumentFile(WriteFile("pass.log"));
        QVERIFY(s.Settle());
        Idle();  // the pass runs when the event loop is about to wait
        QVERIFY(applied.back().m_bEnabled);
        QCOMPARE(applied.back().m_nCheck, 0);
        const std::size_t before = applied.size();
        s.Frame()->ExecuteCommand(cmd::FontBold);
        Idle();
        QCOMPARE(applied.size(), before + 1);
        QCOMPARE(applied.back().m_nCheck, 1);
        s.Frame()->RunUpdatePass();
        QCOMPARE(applied.size(), before + 1);  // nothing changed: nothing applied
    }

    void lineNumbersGoToLineAndGoToTime()
    {
        QByteArray plain, stamped;
        for (int i = 1; i <= 200; ++i) {
            plain += "line " + QByteArray::number(i) + "\n";
            stamped += QString("2026-12-07 06:%1:00 event %2\n").arg(i / 60 % 60, 2, 10, QChar('0')).arg(i).toUtf8();
        }
        CFileWndWidget::SetLineNumbers(false);
        Started s({WriteFile("stamped.log", stamped), WriteFile("plain.log", plain)});
        QVERIFY(s.Active(QSize(1600, 700)));  // the Log category's panels whole, none folded into a pop-up
        CFileWndWidget* window = s.ActiveFrame()->GetViewWidget()->TextWindow();

        // The check box turns the gutter on: the numbers of the rows, the text area after it; kept in the settings.
        QCOMPARE(s.Update(cmd::LineNumbers).m_nCheck, 0);
        CRibbonBar* ribbon = s.Frame()->GetRibbonBar();
        ribbon->SetActiveCategory(ribbon->GetCategory(1));
        for (CRibbonElement* box : ribbon->FindAllByID(cmd::LineNumbers))
            if (box->isVisible())
                QTest::mouseClick(box, Qt::LeftButton);
        // The mark column, then "200" and half a cell either side.
        QVERIFY(QTest::qWaitFor(
            [&] { return window->GutterWidth() == window->MarkColumnWidth() + 4 * s.Wnd().GetCharWidth(); }));
        QCOMPARE(window->GutterText(0), QString::number(TopLine(s, plain)));
        QCOMPARE(Settings().value("Log/LineNumbers").toInt(), 1);

        // Go to Line: a refusal keeps the dialog open and says why; a negative number counts from the end.
        const QString outOfRange = "Out of range: the file has 200 lines.";
        QCOMPARE(GoTo(s, Qt::ControlModifier, {"0", "x1", "201", "-201", "7"}),
                 (QStringList{outOfRange, text::GoToLineNotNumber, outOfRange, outOfRange, "closed"}));
        QCOMPARE(TopLine(s, plain), 7);
        Idle();
        QVERIFY(s.Frame()->GetStatusBar()->Element(cmd::PaneCurrentChar)->toolTip().endsWith("Line 7 at the top"));
        GoTo(s, Qt::ControlModifier, {"-200"});
        QCOMPARE(TopLine(s, plain), 1);
        GoTo(s, Qt::ControlModifier, {"-1"});
        QCOMPARE(s.Wnd().GetTop(), s.Wnd().LastPageTop());

        // No timestamps: Go to Time is disabled, its tooltip says why, its keys open nothing.
        const CCmdUI noTime = s.Update(cmd::GoToTime);
        QVERIFY(!noTime.m_bEnabled);
        QCOMPARE(noTime.m_toolTip.value_or(""), std::string(text::GoToTimeNoStamps));
        QVERIFY(s.Frame()->GetRibbonBar()->FindByID(cmd::GoToTime)->toolTip().contains(text::GoToTimeNoStamps));
        QCOMPARE(GoTo(s, Qt::ControlModifier | Qt::ShiftModifier, {"x"}), QStringList{"closed"});

        // The stamped log: a text that is no time, then a time after its end.
        s.Frame()->ActivateChildFrame(s.Frame()->GetChildFrames().front());
        QCOMPARE(GoTo(s, Qt::ControlModifier | Qt::ShiftModifier, {"07/12/2026", "2026-12-08 00:00"}),
                 (QStringList{text::GoToTimeInvalid, "closed"}));
        QCOMPARE(s.Wnd().GetTop(), s.Wnd().LastPageTop());
        QCOMPARE(s.ActiveFrame()->GetViewWidget()->MessageStrip()->Text(), QString(text::GoToTimeAfterLast));

        // A new start takes the kept choice.
        CFileWndWidget::SetLineNumbers(false);
        Started again;
        QCOMPARE(again.Update(cmd::LineNumbers).m_nCheck, 1);
        CFileWndWidget::SetLineNumbers(false);
    }

    void theContextMenuCopiesTheScreenAndMessagesCarryTheTitle()
    {
        Started s({WriteFile("menu.log")});
        QVERIFY(s.Settle());
        CFileWndWidget* text = s.ActiveFrame()->GetViewWidget()->TextWindow();
        QStringList items;
        QTimer::singleShot(0, [&] {
            auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
            QVERIFY(menu);
            for (QAction* action : menu->actions())
                items << action->text() + (action->isEnabled() ? "" : " (disabled)");
            menu->actions().front()->trigger();
            menu->close();
        });
        emit text->customContextMenuRequested(QPoint(5, 5));
        QCOMPARE(items, (QStringList{"&Copy\tCtrl+C", "Toggle &Mark\tCtrl+M"}));
        QVERIFY(QApplication::clipboard()->text().contains("beta line"));

        QString caption;
        QTimer::singleShot(0, [&] {
            QWidget* box = QApplication::activeModalWidget();
            QVERIFY(box);
            caption = box->windowTitle();
            box->close();
        });
        s.Frame()->MessageBox(nullptr, "x", platform::kMbOk);
        QCOMPARE(caption, QString(kApplicationTitle));
    }
};

OSTREL_SHELL_TEST_MAIN(ShellTest)

#include "ShellTest.moc"
