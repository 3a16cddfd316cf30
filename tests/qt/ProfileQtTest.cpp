// The QSettings profile: where it lives, how its values round-trip, and what
// it makes of values it did not write.
#include "view/DisplayPreferences.h"
#include "view/qt/QtProfile.h"

#include <QGuiApplication>
#include <QScreen>
#include <QtTest>

#include <chrono>
#include <cmath>
#include <cstring>
#include <fcntl.h>
#include <functional>
#include <future>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Redirected before anything asks QSettings or QStandardPaths for a folder.
QTemporaryDir* g_pConfigHome = nullptr;

// What a path is, without following a link, and where a link points.
QString Describe(const QString& path)
{
    struct stat st {};
    if (::lstat(QFile::encodeName(path).constData(), &st) != 0)
        return "missing";
    return QString::number(st.st_mode, 8) + " " + QFileInfo(path).symLinkTarget();
}

// A profile made on another thread: one that waits on a FIFO for ever must fail the test, not hang it. The FIFO
// is then opened for writing, which ends the wait; the profile made on it is left undestroyed, as its last
// save would wait on the FIFO again.
std::unique_ptr<CQtProfile> MakeProfileWithin10s(const QString& fifo)
{
    auto made = std::async(std::launch::async, [] { return std::make_unique<CQtProfile>(); });
    if (made.wait_for(std::chrono::seconds(10)) == std::future_status::ready)
        return made.get();
    const int fd = ::open(QFile::encodeName(fifo).constData(), O_WRONLY | O_NONBLOCK);
    [[maybe_unused]] CQtProfile* stuck = made.get().release();
    ::close(fd);
    return nullptr;
}

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

    // A test that stopped half way leaves the next one no FIFO or folder to open.
    void cleanup()
    {
        const QString file =
            g_pConfigHome->path() + "/Corvane/Ostrel/Text Log File Viewer/Ostrel Text Log File Viewer.conf";
        if (!QFileInfo(file).isFile()) {
            QFile::remove(file);
            QDir().rmdir(file);
        }
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
            // Characters QSettings reserves in keys keep sections and keys apart.
            writer.WriteProfileInt("a/b", "c", 1);
            writer.WriteProfileInt("a", "b/c", 2);
            writer.WriteProfileInt("a\\b", "c%", 3);
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
        QCOMPARE(reader.GetProfileInt("a/b", "c", 0), 1);
        QCOMPARE(reader.GetProfileInt("a", "b/c", 0), 2);
        QCOMPARE(reader.GetProfileInt("a\\b", "c%", 0), 3);
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

    // The settings path may lead to anything: only a regular file (links followed) is read or written. Anything
    // else is left as it was, nothing waits on it, and the run keeps its values in memory.
    void onlyARegularFileIsReadOrWritten()
    {
        const QString file = CQtProfile().FileName();
        const QString aside = g_pConfigHome->path() + "/aside";
        QVERIFY(QDir().mkpath(aside));
        QVERIFY(QDir().mkpath(QFileInfo(file).path()));
        QCOMPARE(::mkfifo(QFile::encodeName(aside + "/fifo").constData(), 0600), 0);
        const auto link = [&](const QString& target) { return QFile::link(target, file); };
        const std::pair<const char*, std::function<bool()>> cases[] = {
            {"a FIFO", [&] { return ::mkfifo(QFile::encodeName(file).constData(), 0600) == 0; }},
            {"a folder", [&] { return QDir().mkdir(file); }},
            {"a link to a FIFO", [&] { return link(aside + "/fifo"); }},
            {"a link to a folder", [&] { return link(aside); }},
            {"a link to nothing", [&] { return link(aside + "/none"); }},
        };
        for (const auto& [name, make] : cases) {
            QFile::remove(file);
            QDir().rmdir(file);
            QVERIFY2(make(), name);
            const QString before = Describe(file), fifoBefore = Describe(aside + "/fifo");
            std::unique_ptr<CQtProfile> profile = MakeProfileWithin10s(QFileInfo(file).canonicalFilePath());
            QVERIFY2(profile, name);
            QVERIFY2(!profile->IsStored(), name);
            QVERIFY2(profile->Problem().find(QFile::encodeName(file).toStdString()) != std::string::npos, name);
            QVERIFY(profile->WriteProfileInt(kPrefsSection, kPrefsTextCase, 3));
            QCOMPARE(profile->GetProfileInt(kPrefsSection, kPrefsTextCase, 0), 3);
            profile->Flush();
            profile.reset();
            QCOMPARE(Describe(file), before);
            QCOMPARE(Describe(aside + "/fifo"), fifoBefore);
        }

        // A link to a regular file is followed, and stays a link.
        QFile::remove(file);
        QVERIFY(link(aside + "/real.conf"));
        {
            QFile real(aside + "/real.conf");
            QVERIFY(real.open(QIODevice::WriteOnly));
        }
        {
            CQtProfile profile;
            QVERIFY(profile.IsStored());
            QVERIFY(profile.Problem().empty());
            profile.WriteProfileInt(kPrefsSection, kPrefsTextCase, 2);
        }
        QVERIFY(QFileInfo(file).isSymLink());
        QCOMPARE(QSettings(aside + "/real.conf", QSettings::IniFormat).value("TextFileView/Text Case").toInt(), 2);

        // The program says so once and starts (here it ends at once, on a file it cannot open).
        QFile::remove(file);
        QCOMPARE(::mkfifo(QFile::encodeName(file).constData(), 0600), 0);
        QProcess viewer;
        viewer.start(OSTREL_BIN_DIR "/ostrel-viewer", {g_pConfigHome->path() + "/missing.log"});
        const bool finished = viewer.waitForFinished(30000);
        if (!finished) {
            ::close(::open(QFile::encodeName(file).constData(), O_WRONLY | O_NONBLOCK));
            viewer.kill();
            viewer.waitForFinished();
        }
        QVERIFY(finished);
        const QByteArray errors = viewer.readAllStandardError();
        QCOMPARE(errors.count("is not a regular file"), 1);
        QCOMPARE(errors.count("cannot open"), 1);
        QVERIFY(QFileInfo(file).exists() && !QFileInfo(file).isFile());
        QFile::remove(file);
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
