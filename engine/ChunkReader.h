// Reads a file's bytes by offset into a caller's buffer, never through a
// window's mapping: a long scan copies what it reads and maps nothing in, and
// a thread may read while the UI thread re-maps. Behind an interface so that
// a shared scanning engine can take its place.
#pragma once

#include "platform/File.h"

#include <cstdint>

class IChunkReader {
public:
    virtual ~IChunkReader() = default;
    // Reads up to n bytes at `offset`; how many were read (fewer at the end).
    virtual std::uint64_t Read(std::uint8_t* buffer, std::uint64_t n, std::int64_t offset) = 0;
};

// pread on a descriptor that someone else owns and keeps open meanwhile.
class CPreadChunkReader : public IChunkReader {
public:
    explicit CPreadChunkReader(platform::FileHandle h) : m_hFile(h) {}
    std::uint64_t Read(std::uint8_t* buffer, std::uint64_t n, std::int64_t offset) override
    {
        return platform::ReadAt(m_hFile, buffer, n, offset);
    }

private:
    platform::FileHandle m_hFile;
};
