// The recent-file list: the paths of the files opened last, newest first,
// kept in the profile: section "Recent File List",
// values "File1" (the newest) to "File<size>". Paths are kept as bytes and
// compared exactly (POSIX file names are case-sensitive).
#pragma once

#include <string>
#include <vector>

class IProfile;

inline constexpr const char* kRecentFileSection = "Recent File List";
inline constexpr int kRecentFileCount = 10;

class CRecentFileList {
public:
    explicit CRecentFileList(int size = kRecentFileCount) : m_nSize(size) {}

    // Reads the list (empty values skipped, at most `size` entries).
    void ReadList(IProfile& profile);
    // Writes the whole list, removes the values of emptied places, and flushes.
    void WriteList(IProfile& profile) const;

    // Puts `path` first; an equal entry moves up, the oldest falls off a full list.
    void Add(const std::string& path);
    void Remove(int index);

    int GetSize() const { return m_nSize; }
    const std::vector<std::string>& Entries() const { return m_entries; }

private:
    int m_nSize;
    std::vector<std::string> m_entries;
};
