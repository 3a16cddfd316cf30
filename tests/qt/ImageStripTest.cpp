// The compiled-in pictures: every strip has the size and count the ribbon
// indexes into, and every picture renders at 1x and 2x (a missing or broken
// SVG file shows here as a wrong count, a wrong size or an empty pixmap).
#include "res/ImageStrip.h"

#include <QImage>
#include <QtTest>

namespace {

// Share of the pixels that the picture covers at all.
double coverage(const QPixmap& pm)
{
    const QImage image = pm.toImage().convertToFormat(QImage::Format_ARGB32);
    qsizetype painted = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            painted += qAlpha(image.pixel(x, y)) > 0;
    return image.isNull() ? 0.0 : double(painted) / double(image.width() * image.height());
}

// Renders at 1x and 2x and checks the pixel size and that something was drawn.
void verifyRenders(const QIcon& icon, const QSize& size, const QString& what)
{
    QVERIFY2(!icon.isNull(), qPrintable(what));
    for (qreal dpr : {1.0, 2.0}) {
        const QPixmap pm = icon.pixmap(size, dpr);
        QCOMPARE(pm.size(), size * dpr);
        QCOMPARE(pm.devicePixelRatio(), dpr);
        QVERIFY2(coverage(pm) > 0.05, qPrintable(QStringLiteral("%1 at %2x is empty").arg(what).arg(dpr)));
    }
}

}  // namespace

class ImageStripTest : public QObject {
    Q_OBJECT

private slots:
    void strips_data()
    {
        QTest::addColumn<int>("id");
        QTest::addColumn<QSize>("size");
        QTest::addColumn<int>("count");
        QTest::newRow("112 logo") << 112 << QSize(26, 26) << 1;
        QTest::newRow("115 file menu small") << 115 << QSize(16, 16) << 16;
        QTest::newRow("114 file menu large") << 114 << QSize(32, 32) << 15;
        QTest::newRow("110 options small") << 110 << QSize(16, 16) << 16;
        QTest::newRow("111 options large") << 111 << QSize(32, 32) << 16;
        QTest::newRow("113 panel icons") << 113 << QSize(16, 16) << 28;
        QTest::newRow("316 find group") << 316 << QSize(16, 16) << 10;
        QTest::newRow("199 font toolbar") << 199 << QSize(16, 15) << 8;
    }

    void strips()
    {
        QFETCH(int, id);
        QFETCH(QSize, size);
        QFETCH(int, count);
        const CImageStrip strip(id);
        QCOMPARE(strip.Count(), count);
        QCOMPARE(strip.ImageSize(), size);
        for (int i = 0; i < count; ++i) {
            const QString what = QStringLiteral("strip %1 image %2").arg(id).arg(i);
            QVERIFY2(SvgSize(strip.FileName(i)) == size, qPrintable(what + " has another size"));
            verifyRenders(strip.Icon(i), size, what);
        }
        QVERIFY(strip.Icon(count).isNull());
        QVERIFY(strip.Icon(-1).isNull());
    }

    void carriesNoOtherStrip()
    {
        QCOMPARE(CImageStrip::Resources(), (QList<int>{110, 111, 112, 113, 114, 115, 199, 316}));
        QCOMPARE(CImageStrip(100).Count(), 0);
        QVERIFY(CImageStrip(100).Icon(0).isNull());
    }

    void singleImages()
    {
        for (int size : {16, 32, 48, 64, 128, 256})
            verifyRenders(ApplicationIcon(), QSize(size, size), QStringLiteral("application icon"));
        for (int id : {135, 136})
            for (int size : {16, 32, 48})
                verifyRenders(DocumentIcon(id), QSize(size, size), QStringLiteral("document icon %1").arg(id));
        QVERIFY(DocumentIcon(137).isNull());
        verifyRenders(WelcomeBitmap(), QSize(20, 20), QStringLiteral("welcome bitmap"));
        verifyRenders(RefreshIcon(), QSize(16, 16), QStringLiteral("refresh icon"));
    }

    // A picture with several designs is drawn from the one made for the size
    // in device pixels: the same size or the next larger, else a whole multiple.
    void picksTheDesignForTheDevicePixels_data()
    {
        QTest::addColumn<bool>("application");
        QTest::addColumn<int>("size");
        QTest::addColumn<qreal>("dpr");
        QTest::addColumn<QString>("design");
        const QString docs = QStringLiteral(":/ostrel/documents/135/");
        const QString app = QStringLiteral(":/ostrel/app/");
        QTest::newRow("16 at 1x") << false << 16 << 1.0 << docs + "16.svg";
        QTest::newRow("16 at 2x") << false << 16 << 2.0 << docs + "32.svg";
        QTest::newRow("24 at 1x") << false << 24 << 1.0 << docs + "32.svg";
        QTest::newRow("48 at 2x") << false << 48 << 2.0 << docs + "48.svg";
        QTest::newRow("32 at 2x") << false << 32 << 2.0 << docs + "32.svg";
        QTest::newRow("app 16") << true << 16 << 1.0 << app + "ostrel-viewer-16.svg";
        QTest::newRow("app 32") << true << 32 << 1.0 << app + "ostrel-viewer.svg";
    }

    void picksTheDesignForTheDevicePixels()
    {
        QFETCH(bool, application);
        QFETCH(int, size);
        QFETCH(qreal, dpr);
        QFETCH(QString, design);
        const QIcon icon = application ? ApplicationIcon() : DocumentIcon(135);
        QImage got = icon.pixmap(QSize(size, size), dpr).toImage().convertToFormat(QImage::Format_ARGB32);
        got.setDevicePixelRatio(1.0);
        const QImage expected = SvgIcon({design}).pixmap(QSize(size, size) * dpr).toImage();
        QCOMPARE(got, expected.convertToFormat(QImage::Format_ARGB32));
    }
};

QTEST_MAIN(ImageStripTest)
#include "ImageStripTest.moc"
