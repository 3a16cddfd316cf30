// Writes a new file, or a new version of one, so that the name never shows a
// half-written file: the bytes go to a temporary file beside the target
// (same folder, so the same file system), which is flushed to the disk and
// renamed over the target only when every byte was written. A failure (a full
// disk, a size limit, a folder that cannot be written) removes the temporary
// file and leaves the target as it was.
#pragma once

#include <cstdint>
#include <string>

namespace platform {

class CReplacingWriter {
public:
    CReplacingWriter() = default;
    // Removes the temporary file unless Commit succeeded.
    ~CReplacingWriter();
    CReplacingWriter(const CReplacingWriter&) = delete;
    CReplacingWriter& operator=(const CReplacingWriter&) = delete;

    // Creates the temporary file for `target`. A target that exists keeps its
    // permission bits; a new one is readable by all and writable by its owner.
    bool Begin(const std::string& target);
    // Appends `n` bytes; false (and Error says why) when not all were written.
    bool Write(const void* data, std::uint64_t n);
    // Flushes the file, renames it over the target and flushes the folder.
    bool Commit();
    // Removes the temporary file; the target is untouched.
    void Abort();

    // Why the last step failed ("No space left on device", ...).
    const std::string& Error() const { return m_strError; }
    std::uint64_t Written() const { return m_nWritten; }

private:
    bool Fail();

    int m_fd = -1;
    std::string m_strTarget;
    std::string m_strTemp;
    std::string m_strError;
    std::uint64_t m_nWritten = 0;
};

// Renames `from` to `to`, replacing `to`; false when the system refuses.
bool RenamePath(const std::string& from, const std::string& to);
// Removes a file's name; false when there is none or it cannot be removed.
bool RemovePath(const std::string& path);

}  // namespace platform
