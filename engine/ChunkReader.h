// Reads a file's bytes by offset into a caller's buffer, never through a
// window's mapping: a long scan copies what it reads and maps nothing in, and
// a thread may read while the UI thread re-maps. Behind an interface so that
// tests can read a string; every bulk pass reads one through CScanReader
// (engine/ScanReader.h). A source may be read from several threads at once.
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
    platform::FileHandle Handle() const { return m_hFile; }
    void SetHandle(platform::FileHandle h) { m_hFile = h; }
    std::uint64_t Read(std::uint8_t* buffer, std::uint64_t n, std::int64_t offset) override
    {
        return m_hFile == platform::kInvalidFile ? 0 : platform::ReadAt(m_hFile, buffer, n, offset);
    }

private:
    platform::FileHandle m_hFile;
};

// pread on a descriptor of its own, closed with the reader: a scan that reads
// through it may outlive whoever opened the file.
class COwnedPreadChunkReader : public CPreadChunkReader {
public:
    explicit COwnedPreadChunkReader(platform::FileHandle owned) : CPreadChunkReader(owned) {}
    ~COwnedPreadChunkReader() override { platform::CloseFile(Handle()); }
    COwnedPreadChunkReader(const COwnedPreadChunkReader&) = delete;
    COwnedPreadChunkReader& operator=(const COwnedPreadChunkReader&) = delete;
};
