#include "view/qt/QtProfile.h"

#include "platform/AppInfo.h"
#include "platform/File.h"
#include "view/qt/QtFont.h"

#include <QByteArray>
#include <QFile>
#include <QSettings>
#include <QStandardPaths>
#include <QVariant>

#include <cstring>

namespace {

QString EscapeKeyPart(const std::string& part)
{
    QString out;
    for (QChar c : QString::fromStdString(part)) {
        if (c == u'%' || c == u'/' || c == u'\\')
            out += QStringLiteral("%%1").arg(c.unicode(), 2, 16, QChar(u'0')).toUpper();
        else
            out += c;
    }
    return out;
}

}  // namespace

// The file named by its path, as QSettings names the user's file of an organisation and application in its native
// format (INI on this platform), without the fallback files it would also read: each of them could be a FIFO too.
CQtProfile::CQtProfile()
{
    Attach(QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) + u'/' +
           QString::fromUtf8(kProfileOrganization) + u'/' + QString::fromUtf8(kApplicationTitle) + ".conf");
}

CQtProfile::CQtProfile(const QString& iniPath)
{
    Attach(iniPath);
}

void CQtProfile::Attach(const QString& iniPath)
{
    m_strFileName = iniPath;
    // Looked at before QSettings opens it (in its constructor).
    if (platform::KindOfPath(QFile::encodeName(iniPath).toStdString()) != platform::PathKind::Other) {
        m_pSettings = std::make_unique<QSettings>(iniPath, QSettings::IniFormat);
        return;
    }
    m_strProblem = "the settings file '" + QFile::encodeName(iniPath).toStdString() +
                   "' is not a regular file; it is left alone, and this run uses the default settings and keeps none";
}

CQtProfile::~CQtProfile()
{
    if (&GetCurrentProfile() == this)
        SetCurrentProfile(nullptr);
    Flush();
}

QString CQtProfile::Key(const std::string& section, const std::string& entry)
{
    return EscapeKeyPart(section) + u'/' + EscapeKeyPart(entry);
}

bool CQtProfile::GetProfileBinary(const std::string& section, const std::string& entry, std::vector<std::uint8_t>& out)
{
    if (!m_pSettings)
        return m_memory.GetProfileBinary(section, entry, out);
    out.clear();
    const QVariant v = m_pSettings->value(Key(section, entry));
    // Only a byte string counts; a number or text under the name is not one.
    if (v.typeId() != QMetaType::QByteArray)
        return false;
    const QByteArray bytes = v.toByteArray();
    out.resize(static_cast<std::size_t>(bytes.size()));
    if (!out.empty())
        std::memcpy(out.data(), bytes.constData(), out.size());
    return true;
}

std::int32_t CQtProfile::GetProfileInt(const std::string& section, const std::string& entry, std::int32_t defaultValue)
{
    if (!m_pSettings)
        return m_memory.GetProfileInt(section, entry, defaultValue);
    const QVariant v = m_pSettings->value(Key(section, entry));
    if (!v.isValid() || v.typeId() == QMetaType::QByteArray)
        return defaultValue;
    bool ok = false;
    const qlonglong n = v.toLongLong(&ok);
    // A 32-bit value either way round: colours written by hand as unsigned
    // numbers (4294967295) read back with all their bits.
    if (!ok || n < INT32_MIN || n > static_cast<qlonglong>(UINT32_MAX))
        return defaultValue;
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(n));
}

bool CQtProfile::WriteProfileBinary(const std::string& section, const std::string& entry, const void* data,
                                    std::size_t size)
{
    if (!m_pSettings)
        return m_memory.WriteProfileBinary(section, entry, data, size);
    m_pSettings->setValue(Key(section, entry),
                          QByteArray(static_cast<const char*>(data), static_cast<qsizetype>(size)));
    return m_pSettings->status() == QSettings::NoError;
}

bool CQtProfile::WriteProfileInt(const std::string& section, const std::string& entry, std::int32_t value)
{
    if (!m_pSettings)
        return m_memory.WriteProfileInt(section, entry, value);
    m_pSettings->setValue(Key(section, entry), value);
    return m_pSettings->status() == QSettings::NoError;
}

std::string CQtProfile::GetProfileString(const std::string& section, const std::string& entry,
                                         const std::string& defaultValue)
{
    if (!m_pSettings)
        return m_memory.GetProfileString(section, entry, defaultValue);
    const QVariant v = m_pSettings->value(Key(section, entry));
    if (v.typeId() == QMetaType::QByteArray) {
        const QByteArray bytes = v.toByteArray();
        return std::string(bytes.constData(), static_cast<std::size_t>(bytes.size()));
    }
    if (v.typeId() != QMetaType::QString)
        return defaultValue;
    return v.toString().toStdString();
}

bool CQtProfile::WriteProfileString(const std::string& section, const std::string& entry, const std::string& value)
{
    if (!m_pSettings)
        return m_memory.WriteProfileString(section, entry, value);
    const QByteArray bytes(value.data(), static_cast<qsizetype>(value.size()));
    const QString text = QString::fromUtf8(bytes);
    if (text.toUtf8() == bytes)
        m_pSettings->setValue(Key(section, entry), text);
    else
        m_pSettings->setValue(Key(section, entry), bytes);
    return m_pSettings->status() == QSettings::NoError;
}

void CQtProfile::DeleteProfileEntry(const std::string& section, const std::string& entry)
{
    if (!m_pSettings) {
        m_memory.DeleteProfileEntry(section, entry);
        return;
    }
    m_pSettings->remove(Key(section, entry));
}

void CQtProfile::Flush()
{
    if (m_pSettings)
        m_pSettings->sync();
}

QString CQtProfile::FileName() const
{
    return m_strFileName;
}

void InstallQtPreferences()
{
    static CQtProfile profile;
    SetCurrentProfile(&profile);
    FollowScreenDpi();
}
