// How a file is known again from one run to the next: its device and inode,
// and a digest of its first bytes. A path alone is not enough (a rotated log
// is a new file under the old name) and neither is the inode (a file emptied
// and written anew keeps it), so whatever the program keeps about a file's
// positions is checked against both before it is used.
#pragma once

#include "platform/File.h"

#include <cstdint>

// The most bytes the digest covers: enough to tell two logs apart by their
// first lines, little enough to read at every opening.
inline constexpr std::uint32_t kIdentityPrefixBytes = 64 * 1024;

struct CFileIdentity {
    platform::FileId id;
    std::uint64_t size = 0;
    std::uint32_t prefixLength = 0;  // the bytes the digest covers: min(size, kIdentityPrefixBytes)
    std::uint64_t digest = 0;
};

// The identity of an open file, its digest over its first bytes; false when
// the file cannot be read.
bool ReadFileIdentity(platform::FileHandle h, CFileIdentity& out);
// The digest of the file's first `length` bytes; false when it holds fewer.
bool DigestOfPrefix(platform::FileHandle h, std::uint32_t length, std::uint64_t& digest);

// What a stored identity says about the file that is there now.
enum class FileMatch {
    Same,       // the same file, perhaps grown: kept positions hold
    Truncated,  // the same file, shorter than it was: positions past its end are gone
    Replaced,   // another file under the name: kept positions mean nothing
};
// The stored size is the file's size when the positions were last kept.
// `prefixDigest` is the digest of the current file's first `stored.prefixLength` bytes, when it holds that many.
FileMatch CompareIdentity(const CFileIdentity& stored, const CFileIdentity& current, std::uint64_t prefixDigest);
