// The viewer on a screen of 144 dpi (scaled by 1.5, as some desktops set it): the factor
// rounds to a whole 2 (so the window's whole-pixel cells stay whole device
// pixels), the text window paints at device resolution, and a point size goes
// through a record, the window and the Font dialog and comes back as it was.
#include "app/shell/HighDpi.h"
#include "file/MemoryMappedFile.h"
#include "textwnd/qt/FileWndWidget.h"
#include "view/DisplayPreferences.h"
#include "view/qt/QtFont.h"

#include <QApplication>
#include <QtTest>

class HiDpiTest : public QObject {
    Q_OBJECT

private slots:
    void pointSizesComeBackAndTheScreenIsPaintedAtDeviceResolution()
    {
        FollowScreenDpi();
        QTemporaryDir dir;
        const QString path = dir.filePath("scaled.log");
        QFile out(path);
        QVERIFY(out.open(QIODevice::WriteOnly));
        for (int i = 0; i < 200; ++i)
            out.write(QByteArray("line ") + QByteArray::number(i) + "\tcolumns\n");
        out.close();
        CMemoryMappedFile file;
        QVERIFY(file.Open(QFile::encodeName(path).constData(), false));
        CFileWndWidget widget;
        CFileWnd& wnd = widget.FileWnd();
        wnd.SetWatchFile(false);
        widget.resize(400, 300);
        widget.show();
        QVERIFY(QTest::qWaitForWindowExposed(&widget));
        QCOMPARE(widget.devicePixelRatioF(), 2.0);  // the fractional 1.5 rounds to a whole factor
        QVERIFY(widget.LoadFile(&file));

        for (int points : {6, 7, 8, 9, 10, 11, 12, 13, 14, 16, 18, 20, 22, 24, 26, 28, 36, 48, 72}) {
            wnd.SetFontPoints(points);
            QCOMPARE(wnd.GetFontPoints(), points);
            // The record's conversion and the window's agree, and the Font dialog shows the same size.
            QCOMPARE(wnd.GetLogFont().lfHeight, PointsToHeight(points));
            QCOMPARE(HeightToPoints(wnd.GetLogFont().lfHeight), points);
            QCOMPARE(QFontFromLogFont(wnd.GetLogFont()).pointSize(), points);
            QVERIFY(wnd.GetLineHeight() > 0 && wnd.GetCharWidth() > 0);
        }
        // The screen is painted at device resolution, not scaled up from a half-size picture.
        const QImage picture = widget.viewport()->grab().toImage();
        QCOMPARE(picture.size(), widget.viewport()->size() * 2);
    }
};

int main(int argc, char** argv)
{
    // An offscreen screen of 144 dpi: a platform factor of 1.5, which the rounding policy governs (a factor
    // given by QT_SCALE_FACTOR or QT_SCREEN_SCALE_FACTORS would be taken as it is).
    QTemporaryDir dir;
    const QString config = dir.filePath("screen.json");
    QFile screen(config);
    if (!screen.open(QIODevice::WriteOnly))
        return 2;
    screen.write(R"({"screens": [{"name": "scaled", "x": 0, "y": 0, "width": 1600, "height": 1200,
                                   "logicalDpi": 144, "logicalBaseDpi": 96, "dpr": 1}]})");
    screen.close();
    qputenv("QT_QPA_PLATFORM", "offscreen:configfile=" + QFile::encodeName(config));
    PrepareHighDpiScaling();
    QApplication app(argc, argv);
    HiDpiTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "HiDpiTest.moc"
