// ostrel-viewer [OPTION]... [FILE]...: opens each file named on the command line.
#include "app/shell/CommandLine.h"
#include "app/shell/HighDpi.h"
#include "app/shell/MainFrame.h"
#include "app/shell/TextFileViewerApp.h"
#include "platform/Process.h"
#include "res/ImageStrip.h"

#include <QApplication>
#include <QFile>
#include <QPixmap>
#include <QScreen>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <iostream>

namespace {

// OSTREL_SCREENSHOT=path: save a picture of the screen once the window has
// settled and quit (for machines without a display, under Xvfb). With
// OSTREL_SCREENSHOT_COUNT=n, n pictures 3 s apart ("name-1.png", ...), to
// show a followed file growing. Message boxes that are up by then are in the
// picture, and are closed by the quit.
void ScheduleScreenshots(QWidget& window)
{
    const QString shot = qEnvironmentVariable("OSTREL_SCREENSHOT");
    if (shot.isEmpty())
        return;
    bool ok = false;
    int delay = qEnvironmentVariableIntValue("OSTREL_SCREENSHOT_DELAY_MS", &ok);
    if (!ok || delay < 0)
        delay = 1500;
    const int count = std::clamp(qEnvironmentVariableIntValue("OSTREL_SCREENSHOT_COUNT"), 1, 10);
    for (int i = 1; i <= count; ++i) {
        QString path = shot;
        if (count > 1) {
            const int dot = path.lastIndexOf('.');
            path.insert(dot > path.lastIndexOf('/') ? dot : path.size(), QStringLiteral("-%1").arg(i));
        }
        QTimer::singleShot(delay + (i - 1) * 3000, &window, [&window, path, last = i == count] {
            QPixmap picture;
            if (QScreen* screen = window.screen())
                picture = screen->grabWindow(0);
            if (picture.isNull())  // platforms without a screen to read back
                picture = window.grab();
            const bool saved = picture.save(path, "PNG");
            if (!saved)
                std::fprintf(stderr, "ostrel-viewer: could not save the screenshot to %s\n", qPrintable(path));
            if (!saved || last)
                QCoreApplication::exit(saved ? 0 : 1);
        });
    }
}

}  // namespace

int main(int argc, char** argv)
{
    // --help and --version need no display: answered before Qt starts.
    const CCommandLineInfo early = ParseCommandLine(argc, argv);
    if (early.m_action == CCommandLineInfo::ShowHelp) {
        std::cout << HelpText("ostrel-viewer");
        return 0;
    }
    if (early.m_action == CCommandLineInfo::ShowVersion) {
        std::cout << VersionText();
        return 0;
    }

    // Hundreds of open files must not run out of descriptors under the usual soft limit.
    platform::RaiseOpenFileLimit();
    PrepareHighDpiScaling();
    QApplication app(argc, argv);  // takes away the options that are Qt's own
    app.setWindowIcon(ApplicationIcon());
    const CCommandLineInfo info = ParseCommandLine(argc, argv);
    if (info.m_action == CCommandLineInfo::BadOption) {
        std::cerr << BadOptionText("ostrel-viewer", info.m_strBadOption);
        return 2;
    }

    CTextFileViewerApp viewer;
    viewer.SetOpenRotated(info.m_bRotated);
    if (!viewer.InitInstance(info.m_bMerge ? std::vector<std::string>{} : info.m_files, std::cerr))
        return 1;
    if (info.m_bMerge && !info.m_files.empty() && !viewer.OpenMerged(info.m_files))
        return 1;
    for (const std::string& command : info.m_commands)
        viewer.OpenCommand(command);
    if (!info.m_strJournalDir.empty())
        viewer.GetMainFrame()->SetJournalFolder(
            QFile::decodeName(QByteArray::fromStdString(platform::CleanAbsolutePath(info.m_strJournalDir))));
    if (info.m_bJournal) {
        // After the loop has started: the dialog sits over the main window.
        QTimer::singleShot(0, viewer.GetMainFrame(), [&viewer] { viewer.GetMainFrame()->ShowJournalDialog(); });
    } else if (!info.m_strJournalDir.empty()) {
        platform::JournalQuery query;
        query.directory = platform::CleanAbsolutePath(info.m_strJournalDir);
        viewer.OpenJournal(query);
    }
    ScheduleScreenshots(*viewer.GetMainFrame());
    const int status = app.exec();
    viewer.ExitInstance();
    return status;
}
