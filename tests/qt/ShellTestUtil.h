// What the shell's Qt tests share: settings and data folders of their own
// (redirected before Qt first asks for them), sample files, a started
// application and waits on conditions.
#pragma once

#include "app/ribbon/RibbonBar.h"
#include "app/ribbon_content/RibbonContent.h"
#include "app/shell/ChildFrame.h"
#include "app/shell/MainFrame.h"
#include "app/shell/TextFileViewWidget.h"
#include "app/shell/TextFileViewerApp.h"
#include "platform/AppInfo.h"
#include "textwnd/qt/FileWndWidget.h"
#include "view/TextFileView.h"

#include <QApplication>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QSettings>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <memory>
#include <sstream>
#include <string>
#include <vector>

namespace shelltest {

// The folders of the whole run: XDG_CONFIG_HOME and XDG_DATA_HOME point into it.
inline QTemporaryDir*& Root()
{
    static QTemporaryDir* root = nullptr;
    return root;
}

inline QString DataHome()
{
    return Root()->path() + "/data";
}

inline QSettings Settings()
{
    return QSettings(QSettings::NativeFormat, QSettings::UserScope, QString::fromUtf8(kProfileOrganization),
                     QString::fromUtf8(kApplicationTitle));
}

// A clean start: no settings, no database, an empty folder of sample files.
inline void Reset()
{
    QSettings settings = Settings();
    settings.clear();
    settings.sync();
    QDir(DataHome()).removeRecursively();
    QDir(Root()->path() + "/files").removeRecursively();
    QDir().mkpath(Root()->path() + "/files");
    qputenv("XDG_DATA_HOME", DataHome().toLocal8Bit());
}

inline std::string WriteFile(const QString& name, const QByteArray& bytes = "alpha line\nbeta line\n")
{
    const QString path = Root()->path() + "/files/" + name;
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        qWarning("could not write %s", qPrintable(path));
    return QFile::encodeName(path).toStdString();
}

// A started application; ended (windows, documents, database) when it goes.
struct Started {
    std::unique_ptr<CTextFileViewerApp> app = std::make_unique<CTextFileViewerApp>();
    std::ostringstream errors;
    bool ok = false;

    // With `all` set, waits until every file of the command line has been opened by the event loop.
    explicit Started(const std::vector<std::string>& files = {}, bool all = true)
    {
        ok = app->InitInstance(files, errors);
        if (ok && all && !QTest::qWaitFor([this] { return !app->IsOpeningStartFiles(); }, 20000))
            qWarning("the files of the command line were not all opened");
    }
    CTextFileViewerMainFrame* Frame() const { return app->GetMainFrame(); }
    CTextFileView* ActiveView() const { return Frame() ? Frame()->GetActiveView() : nullptr; }
    CTextFileViewerChildFrame* ActiveFrame() const { return Frame() ? Frame()->GetActiveChildFrame() : nullptr; }
    CFileWnd& Wnd() const { return ActiveFrame()->GetViewWidget()->TextWindow()->FileWnd(); }
    // The state the update pass would give a command's elements.
    CCmdUI Update(int id) const
    {
        CCmdUI ui(id);
        Frame()->UpdateCommandUI(ui);
        return ui;
    }
    // A ribbon of its own with every category, as the user meets it.
    CRibbonBar* Ribbon() const
    {
        auto* bar = new CRibbonBar;
        InitRibbon(*bar);
        Frame()->SetRibbonBar(bar);
        return bar;
    }
    // The set-up most tests share: every file loaded, the frame (at `size`, if given) active with its keys.
    bool Active(QSize size = {}) const
    {
        if (!Settle())
            return false;
        if (size.isValid())
            Frame()->resize(size);
        Frame()->activateWindow();
        return QTest::qWaitForWindowActive(Frame());
    }
    // Opens `path` as the File Open command would and makes its frame active.
    bool Open(const std::string& path, QSize size = {}) const { return app->OpenDocumentFile(path) && Active(size); }
    // Waits until every window has loaded its file (or gone).
    bool Settle() const
    {
        return QTest::qWaitFor([this] {
            for (CTextFileViewerChildFrame* frame : Frame()->GetChildFrames())
                if (!frame->GetActiveView()->IsLoaded())
                    return false;
            return true;
        });
    }
};

// Lets a real event loop run until it waits for events (processEvents never waits, so it never idles).
inline void Idle()
{
    QEventLoop loop;
    QTimer::singleShot(30, &loop, &QEventLoop::quit);
    loop.exec();
}

// Runs a real event loop until `done` holds (looked at every millisecond) or `ms` have passed. Unlike
// QTest::qWaitFor, which processes events for its whole timeout while a zero timer keeps some pending, it
// looks at `done` between two turns of the loop.
template <typename F>
bool Until(F done, int ms = 5000)
{
    QEventLoop loop;
    QTimer poll;
    poll.setInterval(1);
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        if (done())
            loop.quit();
    });
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    poll.start();
    loop.exec();
    return done();
}

// "line 1\n" ... "line N\n".
inline QByteArray Numbered(int lines)
{
    QByteArray bytes;
    for (int i = 1; i <= lines; ++i)
        bytes += "line " + QByteArray::number(i) + "\n";
    return bytes;
}

// The start of line `line` (from 1) of `wnd`.
inline TextPos LineStart(CFileWnd& wnd, int line)
{
    TextPos p = wnd.DataStart();
    for (int i = 1; i < line; ++i)
        wnd.NextLineStart(p);
    return p;
}

inline int Lines(const std::string& text)
{
    return static_cast<int>(std::count(text.begin(), text.end(), '\n'));
}

// Runs `main`-like: the folders redirected, then the tests of `Test`.
template <class Test>
int Run(int argc, char** argv)
{
    QTemporaryDir root;
    Root() = &root;
    qputenv("XDG_CONFIG_HOME", (root.path() + "/config").toLocal8Bit());
    qputenv("XDG_DATA_HOME", DataHome().toLocal8Bit());
    QApplication app(argc, argv);
    Test test;
    return QTest::qExec(&test, argc, argv);
}

}  // namespace shelltest

// The `main` of a test program of the shell: shelltest::Run on `Test`.
#define OSTREL_SHELL_TEST_MAIN(Test)             \
    int main(int argc, char** argv)              \
    {                                            \
        return shelltest::Run<Test>(argc, argv); \
    }
