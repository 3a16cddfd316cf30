// The application's profile: small named values in sections, where the
// display defaults, the welcome flag and the look are kept. The core sees only
// this interface; the Qt side stores it with QSettings (view/qt/QtProfile.h),
// tests use the in-memory profile.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

class IProfile {
public:
    virtual ~IProfile() = default;

    // A byte-string value; false (and `out` empty) when it is absent.
    virtual bool GetProfileBinary(const std::string& section, const std::string& entry,
                                  std::vector<std::uint8_t>& out) = 0;
    // A 32-bit integer value, or `defaultValue` when absent or not a number.
    virtual std::int32_t GetProfileInt(const std::string& section, const std::string& entry,
                                       std::int32_t defaultValue) = 0;
    virtual bool WriteProfileBinary(const std::string& section, const std::string& entry, const void* data,
                                    std::size_t size) = 0;
    virtual bool WriteProfileInt(const std::string& section, const std::string& entry, std::int32_t value) = 0;
    // A text value (bytes kept as they are: a file name need not be UTF-8), or `defaultValue` when absent.
    virtual std::string GetProfileString(const std::string& section, const std::string& entry,
                                         const std::string& defaultValue = {}) = 0;
    virtual bool WriteProfileString(const std::string& section, const std::string& entry, const std::string& value) = 0;
    // Removes a value; removing an absent one is no error.
    virtual void DeleteProfileEntry(const std::string& section, const std::string& entry) = 0;
    // Pushes written values to their store (after a group of writes).
    virtual void Flush() {}
};

// A profile that lives in memory only: for tests and as the stand-in until
// the application installs its own.
class CMemoryProfile : public IProfile {
public:
    bool GetProfileBinary(const std::string& section, const std::string& entry,
                          std::vector<std::uint8_t>& out) override;
    std::int32_t GetProfileInt(const std::string& section, const std::string& entry,
                               std::int32_t defaultValue) override;
    bool WriteProfileBinary(const std::string& section, const std::string& entry, const void* data,
                            std::size_t size) override;
    bool WriteProfileInt(const std::string& section, const std::string& entry, std::int32_t value) override;
    std::string GetProfileString(const std::string& section, const std::string& entry,
                                 const std::string& defaultValue = {}) override;
    bool WriteProfileString(const std::string& section, const std::string& entry, const std::string& value) override;
    void DeleteProfileEntry(const std::string& section, const std::string& entry) override;

    bool Has(const std::string& section, const std::string& entry) const;
    void Clear() { m_values.clear(); }

private:
    struct Value {
        enum Kind { Number, Binary, Text } kind = Number;
        std::vector<std::uint8_t> bytes;  // binary and text values
        std::int32_t number = 0;
    };
    std::map<std::pair<std::string, std::string>, Value> m_values;
};

// The process-wide profile. Never null: without an installed one, a private
// in-memory profile serves. The caller keeps ownership of what it installs.
IProfile& GetCurrentProfile();
void SetCurrentProfile(IProfile* profile);  // null restores the in-memory stand-in
