// The application's profile kept by QSettings: in the native format on Linux
// that is the INI file
//   ~/.config/Corvane/Ostrel/Text Log File Viewer/Ostrel Text Log File Viewer.conf
// with one group per section. Byte strings are stored as QByteArray values,
// integers as numbers, texts as strings.
//
// The file is used only when its path leads to a regular file (symbolic
// links followed) or to nothing yet. Anything else there (a FIFO, a device, a
// folder, a link to one of them or to nothing) is left alone: reading a FIFO
// would wait for ever, and saving renames a new file over what the path leads
// to. The values then live in memory for the run, starting from the defaults.
#pragma once

#include "view/Profile.h"

#include <QString>

#include <memory>
#include <string>

class QSettings;

class CQtProfile : public IProfile {
public:
    // The application's own settings (organisation and application names of
    // platform/AppInfo.h, native format, user scope).
    CQtProfile();
    // An INI file at `iniPath` (tools and tests).
    explicit CQtProfile(const QString& iniPath);
    ~CQtProfile() override;

    bool GetProfileBinary(const std::string& section, const std::string& entry,
                          std::vector<std::uint8_t>& out) override;
    std::int32_t GetProfileInt(const std::string& section, const std::string& entry,
                               std::int32_t defaultValue) override;
    bool WriteProfileBinary(const std::string& section, const std::string& entry, const void* data,
                            std::size_t size) override;
    bool WriteProfileInt(const std::string& section, const std::string& entry, std::int32_t value) override;
    // Text that is valid UTF-8 is stored as text; other bytes (a file name in another encoding) as a byte string.
    std::string GetProfileString(const std::string& section, const std::string& entry,
                                 const std::string& defaultValue = {}) override;
    bool WriteProfileString(const std::string& section, const std::string& entry, const std::string& value) override;
    void DeleteProfileEntry(const std::string& section, const std::string& entry) override;
    void Flush() override;

    // The settings file (also when it is left alone).
    QString FileName() const;
    // The settings file's own object, for values that are no plain section and entry (the highlight rules'
    // array); null when the file is left alone.
    QSettings* Settings() const { return m_pSettings.get(); }
    // Whether the values are kept in the file (false: in memory for this run).
    bool IsStored() const { return m_pSettings != nullptr; }
    // Why the file is left alone, as a line for the standard error; empty when it is used.
    const std::string& Problem() const { return m_strProblem; }

    // The settings key of a value: "section/entry", with the characters that
    // QSettings reserves ('/' and '\\', and '%' that marks the escape)
    // percent-encoded inside each part.
    static QString Key(const std::string& section, const std::string& entry);

private:
    // Opens the INI file at `iniPath` when it may be used, else notes why not.
    void Attach(const QString& iniPath);

    QString m_strFileName;
    std::unique_ptr<QSettings> m_pSettings;  // null when the file is left alone
    CMemoryProfile m_memory;                 // the values of this run then
    std::string m_strProblem;
};

// Installs the application's QSettings profile as the current one and takes
// the screen resolution for point sizes from the primary screen (when a
// QGuiApplication exists). For the application shell at start-up.
void InstallQtPreferences();
