// The QSettings profile: where it lives, how its values round-trip, and what
// it makes of values it did not write.
#include "view/DisplayPreferences.h"
#include "view/qt/QtProfile.h"

#include <QFile>
#include <QGuiApplication>
#include <QScreen>
#include <QSettings>
#include <QTemporaryDir>
#include <QtTest>

#include <cmath>
#include <cstring>

namespace {

// Redirected before anything asks QSettings or QStandardPaths for a folder.
QTemporaryDir* g_pConfigHome = nullptr;

platform::LOGFONTW SampleFont()
{
    platform::LOGFONTW f{};
    f.lfHeight = -16;
    f.lfWeight = 700;
    f.lfItalic = 1;
    f.lfCharSet = 0;  // NUL bytes inside the value must survive
    const std::u16string face = u"Liberation Mono";
    std::copy(face.begin(), face.end(), f.lfFaceName);
    return f;
}

}  // namespace

class ProfileQtTest : public QObject {
    Q_OBJECT

private slots:
    void init()
    {
        QSettings(QSettings::NativeFormat, QSettings::UserScope, "Corvane/Ostrel/Text Log File Viewer",
                  "Ostrel Text Log File Viewer")
            .clear();
    }

    void storesUnderTheApplicationsConfigFile()
    {
        CQtProfile profile;
        const QString expected =
            g_pConfigHome->path() + "/Corvane/Ostrel/Text Log File Viewer/Ostrel Text Log File Viewer.conf";
        QCOMPARE(profile.FileName(), expected);
        profile.WriteProfileInt(kPrefsSection, kPrefsTextCase, 2);
        profile.Flush();
        QVERIFY(QFile::exists(expected));
        // The file is an INI file with the section as its group.
        QSettings raw(expected, QSettings::IniFormat);
        QCOMPARE(raw.value("TextFileView/Text Case").toInt(), 2);
    }

    void valuesRoundTripThroughTheFile()
    {
        const platform::LOGFONTW font = SampleFont();
        {
            CQtProfile writer;
            QVERIFY(writer.WriteProfileBinary(kPrefsSection, kPrefsLogFont, &font, sizeof font));
            QVERIFY(writer.WriteProfileInt(kPrefsSection, kPrefsFontColor, static_cast<std::int32_t>(0xFF102030u)));
            QVERIFY(writer.WriteProfileInt(kPrefsSection, kPrefsPageColor, 0x00405060));
            QVERIFY(writer.WriteProfileInt(kPrefsSection, kPrefsTextCase, -7));
        }
        CQtProfile reader;
        std::vector<std::uint8_t> bytes;
        QVERIFY(reader.GetProfileBinary(kPrefsSection, kPrefsLogFont, bytes));
        QCOMPARE(bytes.size(), std::size_t(92));
        QVERIFY(std::memcmp(bytes.data(), &font, 92) == 0);
        QCOMPARE(static_cast<std::uint32_t>(reader.GetProfileInt(kPrefsSection, kPrefsFontColor, 0)), 0xFF102030u);
        QCOMPARE(reader.GetProfileInt(kPrefsSection, kPrefsPageColor, 0), 0x00405060);
        QCOMPARE(reader.GetProfileInt(kPrefsSection, kPrefsTextCase, 0), -7);
        QCOMPARE(reader.GetProfileInt(kPrefsSection, "Missing", 42), 42);
    }

    void foreignValuesCountAsAbsent()
    {
        const QString file = CQtProfile().FileName();
        {
            QSettings raw(file, QSettings::IniFormat);
            raw.setValue("TextFileView/LogFont", QByteArray(91, 'x'));  // one byte short
            raw.setValue("TextFileView/Font Color", "pink");
            raw.setValue("TextFileView/Page Color", "4294967295");  // written by hand, unsigned
            raw.setValue("TextFileView/Text Case", QByteArray("\x01", 1));
        }
        CQtProfile profile;
        std::vector<std::uint8_t> bytes;  // what LoadDefaultPreferences makes of a short font is the core's
        QVERIFY(profile.GetProfileBinary(kPrefsSection, kPrefsLogFont, bytes) && bytes.size() == 91);
        QCOMPARE(profile.GetProfileInt(kPrefsSection, kPrefsFontColor, 7), 7);
        QCOMPARE(static_cast<std::uint32_t>(profile.GetProfileInt(kPrefsSection, kPrefsPageColor, 7)), 0xFFFFFFFFu);
        QCOMPARE(profile.GetProfileInt(kPrefsSection, kPrefsTextCase, 7), 7);

        // Text under the font's name is not a byte string.
        {
            QSettings raw(file, QSettings::IniFormat);
            raw.setValue("TextFileView/LogFont", QString("Courier New,10"));
        }
        CQtProfile again;
        QVERIFY(!again.GetProfileBinary(kPrefsSection, kPrefsLogFont, bytes));
    }

    void reservedKeyCharactersStaySeparate()
    {
        CQtProfile profile;
        profile.WriteProfileInt("a/b", "c", 1);
        profile.WriteProfileInt("a", "b/c", 2);
        profile.WriteProfileInt("a\\b", "c%", 3);
        profile.Flush();
        CQtProfile reader;
        QCOMPARE(reader.GetProfileInt("a/b", "c", 0), 1);
        QCOMPARE(reader.GetProfileInt("a", "b/c", 0), 2);
        QCOMPARE(reader.GetProfileInt("a\\b", "c%", 0), 3);
    }

    void installTakesTheScreenResolution()
    {
        InstallQtPreferences();
        QVERIFY(dynamic_cast<CQtProfile*>(&GetCurrentProfile()) != nullptr);
        const QScreen* screen = QGuiApplication::primaryScreen();
        QVERIFY(screen);
        QCOMPARE(GetScreenDpiY(), static_cast<int>(std::lround(screen->logicalDotsPerInchY())));
        SetCurrentProfile(nullptr);
    }
};

int main(int argc, char** argv)
{
    QTemporaryDir configHome;
    g_pConfigHome = &configHome;
    qputenv("XDG_CONFIG_HOME", configHome.path().toLocal8Bit());
    QGuiApplication app(argc, argv);
    ProfileQtTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "ProfileQtTest.moc"
