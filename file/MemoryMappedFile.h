// One whole file as one contiguous mapped view.
#pragma once

#include "platform/File.h"

#include <cstdint>
#include <string>

class CMemoryMappedFile {
public:
    CMemoryMappedFile();
    // Opens `path` read-only; throws CFileException when no view results.
    explicit CMemoryMappedFile(const char* path);
    ~CMemoryMappedFile();
    CMemoryMappedFile(const CMemoryMappedFile&) = delete;
    CMemoryMappedFile& operator=(const CMemoryMappedFile&) = delete;

    // Returns the view, or null (a missing, unreadable or empty file).
    std::uint8_t* Open(const char* path, bool writable);
    // Takes `file` (open, read-only use) as the file of this object under the
    // name `path`, and maps what it holds; an empty file is taken too (no view
    // until it grows). `anonymous`: no name leads to the bytes (an anonymous
    // file in memory that a background reader fills), so `path` only says
    // where they came from and nothing follows it.
    void Adopt(platform::FileHandle file, const char* path, bool anonymous);
    // Puts `file` in place of the open file under the same descriptor (so
    // that whoever reads the size through it follows the new one) and maps
    // it; false, with nothing changed, when it cannot be done.
    bool ReplaceFile(platform::FileHandle file);
    bool IsAnonymous() const { return m_bAnonymous; }
    // Maps the file again at its current size plus `extraBytes` (writable
    // files only; the file is lengthened with zeros). Returns the address of
    // the first extra byte (the end of the data for 0), or null.
    std::uint8_t* Remap(std::uint64_t extraBytes);
    // True when everything held could be released.
    bool Close();

    std::uint8_t* View() const { return m_pView; }
    std::uint64_t Size() const { return m_pView ? m_dwSize : 0; }
    const char* Path() const { return m_pszPath.empty() ? nullptr : m_pszPath.c_str(); }
    platform::FileHandle Handle() const { return m_hFile; }
    // Whether the truncation guard patched zero pages into the view (a read
    // went past the file's new end): the view must be re-mapped, whatever the
    // file's size is now (platform/SigbusGuard.h).
    bool IsStale() const;

    platform::FileHandle m_hFile = platform::kInvalidFile;
    std::uint8_t* m_pView = nullptr;
    // 64-bit mapped size: the file size read at the last map plus the extra
    // bytes asked for (so files of 4 GiB and more are shown whole).
    std::uint64_t m_dwSize = 0;
    std::string m_pszPath;
    bool m_bWritable = false;
    bool m_bAnonymous = false;
};

// Thrown for a file that cannot be shown: callers above the file layer catch
// one type, whatever the operating system said.
struct CFileException {
    int m_cause = 0;
    long m_lOsError = -1;
};
