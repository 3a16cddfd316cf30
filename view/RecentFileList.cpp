#include "view/RecentFileList.h"

#include "view/Profile.h"

#include <algorithm>

namespace {

std::string EntryName(int index)
{
    return "File" + std::to_string(index + 1);
}

}  // namespace

void CRecentFileList::ReadList(IProfile& profile)
{
    m_entries.clear();
    for (int i = 0; i < m_nSize; ++i) {
        std::string path = profile.GetProfileString(kRecentFileSection, EntryName(i));
        if (!path.empty() && std::find(m_entries.begin(), m_entries.end(), path) == m_entries.end())
            m_entries.push_back(std::move(path));
    }
}

void CRecentFileList::WriteList(IProfile& profile) const
{
    for (int i = 0; i < m_nSize; ++i) {
        if (i < static_cast<int>(m_entries.size()))
            profile.WriteProfileString(kRecentFileSection, EntryName(i), m_entries[static_cast<std::size_t>(i)]);
        else
            profile.DeleteProfileEntry(kRecentFileSection, EntryName(i));
    }
    profile.Flush();
}

void CRecentFileList::Add(const std::string& path)
{
    if (path.empty() || m_nSize <= 0)
        return;
    std::erase(m_entries, path);
    m_entries.insert(m_entries.begin(), path);
    if (static_cast<int>(m_entries.size()) > m_nSize)
        m_entries.resize(static_cast<std::size_t>(m_nSize));
}

void CRecentFileList::Remove(int index)
{
    if (index >= 0 && index < static_cast<int>(m_entries.size()))
        m_entries.erase(m_entries.begin() + index);
}
