#include "file/MemoryMappedFile.h"

#include "platform/SigbusGuard.h"

using namespace platform;

CMemoryMappedFile::CMemoryMappedFile() = default;

CMemoryMappedFile::CMemoryMappedFile(const char* path)
{
    if (path && !Open(path, false)) {
        // No destructor runs for an object whose constructor throws: release
        // the descriptor that Open may hold (an empty file opens but does
        // not map), or every refused file would leak one.
        Close();
        throw CFileException{};
    }
}

CMemoryMappedFile::~CMemoryMappedFile()
{
    Close();
}

std::uint8_t* CMemoryMappedFile::Open(const char* path, bool writable)
{
    m_bWritable = writable;
    m_hFile = writable ? OpenWritableCreate(path) : OpenReadShared(path);
    if (m_hFile == kInvalidFile)
        return nullptr;
    const std::int64_t size = FileSizeByHandle(m_hFile);
    m_dwSize = size > 0 ? static_cast<std::uint64_t>(size) : 0;
    m_pView = MapFile(m_hFile, m_dwSize, writable);
    m_pszPath = path;
    return m_pView;
}

void CMemoryMappedFile::Adopt(FileHandle file, const char* path, bool anonymous)
{
    Close();
    m_bWritable = false;
    m_bAnonymous = anonymous;
    m_hFile = file;
    m_pszPath = path ? path : "";
    const std::int64_t size = FileSizeByHandle(m_hFile);
    m_dwSize = size > 0 ? static_cast<std::uint64_t>(size) : 0;
    m_pView = MapFile(m_hFile, m_dwSize, false);
}

bool CMemoryMappedFile::ReplaceFile(FileHandle file)
{
    if (m_hFile == kInvalidFile || m_bWritable || file == kInvalidFile)
        return false;
    if (!ReplaceHandle(m_hFile, file))
        return false;
    // The old file's bytes go; an empty new file has no view until it grows.
    Remap(0);
    return true;
}

std::uint8_t* CMemoryMappedFile::Remap(std::uint64_t extraBytes)
{
    if (m_hFile == kInvalidFile)
        return nullptr;
    UnmapFile(m_pView, m_dwSize);
    m_pView = nullptr;
    const std::int64_t size = FileSizeByHandle(m_hFile);
    const std::uint64_t fileSize = size > 0 ? static_cast<std::uint64_t>(size) : 0;
    m_dwSize = fileSize + extraBytes;
    if (extraBytes > 0) {
        // A read-only mapping beyond the end of the file would fault on touch.
        if (!m_bWritable || !SetFileLength(m_hFile, m_dwSize)) {
            m_dwSize = fileSize;
            return nullptr;
        }
    }
    m_pView = MapFile(m_hFile, m_dwSize, m_bWritable);
    if (!m_pView)
        return nullptr;
    return m_pView + (m_dwSize - extraBytes);
}

bool CMemoryMappedFile::Close()
{
    bool ok = true;
    if (m_pView) {
        if (UnmapFile(m_pView, m_dwSize))
            m_pView = nullptr;
        else
            ok = false;
    }
    if (m_hFile != kInvalidFile) {
        if (CloseFile(m_hFile))
            m_hFile = kInvalidFile;
        else
            ok = false;
    }
    m_pszPath.clear();
    m_bAnonymous = false;
    return ok;
}

bool CMemoryMappedFile::IsStale() const
{
    return m_pView && IsMappingStale(m_pView);
}
