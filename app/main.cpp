// ostrel-viewer [FILE...]: opens each file named on the command line.
#include "app/ImageStrip.h"
#include "app/MainWindow.h"

#include <QApplication>
#include <QPixmap>
#include <QScreen>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);  // takes away the options that are Qt's own
    app.setWindowIcon(ApplicationIcon());
    CMainWindow window;
    window.show();

    // The files are opened from the event loop, once the window has its size
    // (a window shows its file's last screenful) and so that a question a load
    // asks (the encoding prompt) sits over the window.
    bool quitting = false;
    QTimer::singleShot(0, &window, [&window, &quitting, argc, argv] {
        for (int i = 1; i < argc && !quitting; ++i)
            window.OpenFile(QByteArray(argv[i]));
    });

    // OSTREL_SCREENSHOT=path: save a picture of the screen once the window has
    // settled and quit (for machines without a display, under Xvfb). With
    // OSTREL_SCREENSHOT_COUNT=n, n pictures 3 s apart ("name-1.png", ...), to
    // show a followed file growing. Message boxes that are up by then are in
    // the picture, and are closed by the quit.
    const QString shot = qEnvironmentVariable("OSTREL_SCREENSHOT");
    if (!shot.isEmpty()) {
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
            QTimer::singleShot(delay + (i - 1) * 3000, &window, [&window, &quitting, path, last = i == count] {
                QPixmap picture;
                if (QScreen* screen = window.screen())
                    picture = screen->grabWindow(0);
                if (picture.isNull())  // platforms without a screen to read back
                    picture = window.grab();
                const bool saved = picture.save(path, "PNG");
                if (!saved)
                    std::fprintf(stderr, "ostrel-viewer: could not save the screenshot to %s\n", qPrintable(path));
                if (!saved || last) {
                    quitting = true;
                    QCoreApplication::exit(saved ? 0 : 1);
                }
            });
        }
    }
    return app.exec();
}
