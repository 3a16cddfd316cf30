// ostrel-viewer [FILE...]: opens each file named on the command line.
#include "app/MainWindow.h"

#include <QApplication>
#include <QPixmap>
#include <QTimer>

#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);  // takes away the options that are Qt's own
    CMainWindow window;
    for (int i = 1; i < argc; ++i)
        window.OpenFile(QByteArray(argv[i]));
    window.show();

    // OSTREL_SCREENSHOT=path: save a picture of the window once it has
    // settled and quit (for machines without a display, under Xvfb).
    const QByteArray shot = qgetenv("OSTREL_SCREENSHOT");
    if (!shot.isEmpty()) {
        bool ok = false;
        int delay = qEnvironmentVariableIntValue("OSTREL_SCREENSHOT_DELAY_MS", &ok);
        if (!ok || delay < 0)
            delay = 1500;
        QTimer::singleShot(delay, &window, [&window, shot] {
            const bool saved = window.grab().save(QString::fromLocal8Bit(shot), "PNG");
            if (!saved)
                std::fprintf(stderr, "ostrel-viewer: could not save the screenshot to %s\n", shot.constData());
            QCoreApplication::exit(saved ? 0 : 1);
        });
    }
    return app.exec();
}
