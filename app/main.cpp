// ostrel-viewer [FILE...]: opens each file named on the command line.
#include "app/ImageStrip.h"
#include "app/MainWindow.h"

#include <QApplication>
#include <QPixmap>
#include <QScreen>
#include <QTimer>

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
    // settled and quit (for machines without a display, under Xvfb). Message
    // boxes that are up by then are in the picture, and are closed by the quit.
    const QByteArray shot = qgetenv("OSTREL_SCREENSHOT");
    if (!shot.isEmpty()) {
        bool ok = false;
        int delay = qEnvironmentVariableIntValue("OSTREL_SCREENSHOT_DELAY_MS", &ok);
        if (!ok || delay < 0)
            delay = 1500;
        QTimer::singleShot(delay, &window, [&window, &quitting, shot] {
            QPixmap picture;
            if (QScreen* screen = window.screen())
                picture = screen->grabWindow(0);
            if (picture.isNull())  // platforms without a screen to read back
                picture = window.grab();
            const bool saved = picture.save(QString::fromLocal8Bit(shot), "PNG");
            if (!saved)
                std::fprintf(stderr, "ostrel-viewer: could not save the screenshot to %s\n", shot.constData());
            quitting = true;
            QCoreApplication::exit(saved ? 0 : 1);
        });
    }
    return app.exec();
}
