#include "view/Profile.h"

#include <atomic>
#include <cstring>

bool CMemoryProfile::GetProfileBinary(const std::string& section, const std::string& entry,
                                      std::vector<std::uint8_t>& out)
{
    out.clear();
    const auto it = m_values.find({section, entry});
    if (it == m_values.end() || it->second.kind != Value::Binary)
        return false;
    out = it->second.bytes;
    return true;
}

std::int32_t CMemoryProfile::GetProfileInt(const std::string& section, const std::string& entry,
                                           std::int32_t defaultValue)
{
    const auto it = m_values.find({section, entry});
    if (it == m_values.end() || it->second.kind != Value::Number)
        return defaultValue;
    return it->second.number;
}

bool CMemoryProfile::WriteProfileBinary(const std::string& section, const std::string& entry, const void* data,
                                        std::size_t size)
{
    Value v;
    v.kind = Value::Binary;
    v.bytes.resize(size);
    if (size)
        std::memcpy(v.bytes.data(), data, size);
    m_values[{section, entry}] = std::move(v);
    return true;
}

bool CMemoryProfile::WriteProfileInt(const std::string& section, const std::string& entry, std::int32_t value)
{
    Value v;
    v.number = value;
    m_values[{section, entry}] = std::move(v);
    return true;
}

std::string CMemoryProfile::GetProfileString(const std::string& section, const std::string& entry,
                                             const std::string& defaultValue)
{
    const auto it = m_values.find({section, entry});
    if (it == m_values.end() || it->second.kind != Value::Text)
        return defaultValue;
    return std::string(it->second.bytes.begin(), it->second.bytes.end());
}

bool CMemoryProfile::WriteProfileString(const std::string& section, const std::string& entry, const std::string& value)
{
    Value v;
    v.kind = Value::Text;
    v.bytes.assign(value.begin(), value.end());
    m_values[{section, entry}] = std::move(v);
    return true;
}

void CMemoryProfile::DeleteProfileEntry(const std::string& section, const std::string& entry)
{
    m_values.erase({section, entry});
}

bool CMemoryProfile::Has(const std::string& section, const std::string& entry) const
{
    return m_values.count({section, entry}) != 0;
}

namespace {

CMemoryProfile& StandInProfile()
{
    static CMemoryProfile profile;
    return profile;
}

std::atomic<IProfile*> g_pCurrentProfile{nullptr};

}  // namespace

IProfile& GetCurrentProfile()
{
    IProfile* p = g_pCurrentProfile.load(std::memory_order_acquire);
    return p ? *p : StandInProfile();
}

void SetCurrentProfile(IProfile* profile)
{
    g_pCurrentProfile.store(profile == &StandInProfile() ? nullptr : profile, std::memory_order_release);
}
