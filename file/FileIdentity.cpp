#include "file/FileIdentity.h"

#include <algorithm>
#include <vector>

namespace {

// FNV-1a over 64 bits: the digest only tells files apart, nobody forges it.
std::uint64_t Fnv1a(const std::uint8_t* p, std::size_t n, std::uint64_t h = 0xcbf29ce484222325ULL)
{
    for (std::size_t i = 0; i < n; ++i)
        h = (h ^ p[i]) * 0x100000001b3ULL;
    return h;
}

}  // namespace

bool DigestOfPrefix(platform::FileHandle h, std::uint32_t length, std::uint64_t& digest)
{
    std::vector<std::uint8_t> buffer(length);
    if (length > 0 && platform::ReadAt(h, buffer.data(), length, 0) != length)
        return false;
    digest = Fnv1a(buffer.data(), buffer.size());
    return true;
}

bool ReadFileIdentity(platform::FileHandle h, CFileIdentity& out)
{
    const std::int64_t size = platform::FileSizeByHandle(h);
    if (size < 0 || !platform::GetFileIdByHandle(h, out.id))
        return false;
    out.size = static_cast<std::uint64_t>(size);
    out.prefixLength = static_cast<std::uint32_t>(std::min<std::uint64_t>(out.size, kIdentityPrefixBytes));
    return DigestOfPrefix(h, out.prefixLength, out.digest);
}

FileMatch CompareIdentity(const CFileIdentity& stored, const CFileIdentity& current, std::uint64_t prefixDigest)
{
    // A file at least as long as the stored digest's bytes is the same file
    // exactly when those bytes are unchanged, whatever its inode (a copy kept
    // in place of the file, a decompressed text mapped anew each run).
    if (current.size >= stored.prefixLength) {
        if (prefixDigest != stored.digest)
            return FileMatch::Replaced;
        return current.size < stored.size ? FileMatch::Truncated : FileMatch::Same;
    }
    // Shorter than those bytes: only the inode can tell a truncation from a new file.
    return current.id == stored.id ? FileMatch::Truncated : FileMatch::Replaced;
}
