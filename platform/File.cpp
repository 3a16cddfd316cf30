#include "platform/File.h"

#include "platform/SigbusGuard.h"

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <string_view>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

namespace {

// Opens without ever waiting: a FIFO without a writer, a terminal or a device
// could otherwise hold the caller (the user-interface thread) for ever. Only
// a regular file is kept, then switched back to blocking reads; anything else
// has nothing to map and is refused like a file that cannot be opened.
std::atomic<std::uint64_t> g_opensByName{0};

FileHandle OpenRegularFile(const std::string& path, int flags)
{
    g_opensByName.fetch_add(1, std::memory_order_relaxed);
    int fd;
    do
        fd = ::open(path.c_str(), flags | O_CLOEXEC | O_NONBLOCK | O_NOCTTY, 0644);
    while (fd < 0 && errno == EINTR);
    if (fd < 0)
        return kInvalidFile;
    struct stat st {};
    const int fl = ::fcntl(fd, F_GETFL);
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || fl < 0 || ::fcntl(fd, F_SETFL, fl & ~O_NONBLOCK) != 0) {
        ::close(fd);
        return kInvalidFile;
    }
    return fd;
}

}  // namespace

std::uint64_t OpensByName()
{
    return g_opensByName.load(std::memory_order_relaxed);
}

FileHandle OpenReadShared(const std::string& path)
{
    return OpenRegularFile(path, O_RDONLY);
}

FileHandle OpenWritableCreate(const std::string& path)
{
    return OpenRegularFile(path, O_RDWR | O_CREAT);
}

bool CloseFile(FileHandle h)
{
    if (h < 0)
        return true;
    return ::close(h) == 0 || errno == EINTR;
}

FileHandle DuplicateFile(FileHandle h)
{
    return h < 0 ? kInvalidFile : ::fcntl(h, F_DUPFD_CLOEXEC, 0);
}

std::int64_t FileSizeByHandle(FileHandle h)
{
    struct stat st {};
    if (h < 0 || ::fstat(h, &st) != 0)
        return -1;
    return static_cast<std::int64_t>(st.st_size);
}

bool SetFileLength(FileHandle h, std::uint64_t size)
{
    if (h < 0 || size > static_cast<std::uint64_t>(INT64_MAX))
        return false;
    int rc;
    do
        rc = ::ftruncate(h, static_cast<off_t>(size));
    while (rc != 0 && errno == EINTR);
    return rc == 0;
}

std::uint8_t* MapFile(FileHandle h, std::uint64_t size, bool writable)
{
    if (h < 0 || size == 0 || size > static_cast<std::uint64_t>(SIZE_MAX / 2))
        return nullptr;
    const int prot = writable ? (PROT_READ | PROT_WRITE) : PROT_READ;
    void* p = ::mmap(nullptr, static_cast<size_t>(size), prot, MAP_SHARED, h, 0);
    if (p == MAP_FAILED)
        return nullptr;
    auto* view = static_cast<std::uint8_t*>(p);
    RegisterGuardedMapping(view, size, h);
    return view;
}

bool UnmapFile(std::uint8_t* view, std::uint64_t size)
{
    if (!view)
        return true;
    UnregisterGuardedMapping(view);
    return ::munmap(view, static_cast<size_t>(size)) == 0;
}

std::int64_t FirstHole(FileHandle h)
{
    const off_t at = h < 0 ? -1 : ::lseek(h, 0, SEEK_HOLE);
    return at < 0 ? INT64_MAX : static_cast<std::int64_t>(at);
}

bool IsHole(FileHandle h, std::int64_t from, std::int64_t to)
{
    if (h < 0 || from >= to)
        return false;
    const off_t data = ::lseek(h, static_cast<off_t>(from), SEEK_DATA);
    // ENXIO: no data at or after `from`, the end of the file included.
    return data < 0 ? errno == ENXIO : data >= to;
}

std::int64_t HoleStartBefore(FileHandle h, std::int64_t end, std::int64_t floor)
{
    if (end <= floor || !IsHole(h, end - 1, end))
        return end;
    if (IsHole(h, floor, end))
        return floor;
    // Data somewhere in [lo, end), none in [hi, end): halve the gap.
    std::int64_t lo = floor, hi = end - 1;
    while (hi - lo > 1) {
        const std::int64_t mid = lo + (hi - lo) / 2;
        (IsHole(h, mid, end) ? hi : lo) = mid;
    }
    return hi;
}

std::int64_t FileModifiedTime(FileHandle h)
{
    struct stat st {};
    if (h < 0 || ::fstat(h, &st) != 0)
        return -1;
    return static_cast<std::int64_t>(st.st_mtime);
}

std::uint64_t ReadAt(FileHandle h, std::uint8_t* buffer, std::uint64_t n, std::int64_t offset)
{
    std::uint64_t done = 0;
    while (h >= 0 && done < n) {
        const ssize_t got = ::pread(h, buffer + done, static_cast<size_t>(n - done), static_cast<off_t>(offset + done));
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            break;
        done += static_cast<std::uint64_t>(got);
    }
    return done;
}

bool WriteAt(FileHandle h, const void* data, std::uint64_t n, std::int64_t offset)
{
    const auto* p = static_cast<const std::uint8_t*>(data);
    while (n > 0) {
        const ssize_t done = h < 0 ? -1 : ::pwrite(h, p, static_cast<size_t>(n), static_cast<off_t>(offset));
        if (done < 0 && errno == EINTR)
            continue;
        if (done <= 0)
            return false;
        p += done;
        n -= static_cast<std::uint64_t>(done);
        offset += done;
    }
    return true;
}

LockResult TryLockFile(FileHandle h)
{
    for (;;) {
        if (::flock(h, LOCK_EX | LOCK_NB) == 0)
            return LockResult::Locked;
        if (errno == EWOULDBLOCK)
            return LockResult::Busy;
        if (errno != EINTR)
            return LockResult::Unsupported;
    }
}

void UnlockFile(FileHandle h)
{
    ::flock(h, LOCK_UN);
}

std::string AbsolutePath(const std::string& path)
{
    if (path.empty() || path[0] == '/')
        return path;
    char buf[PATH_MAX];
    if (!::getcwd(buf, sizeof buf))
        return path;
    std::string cwd(buf);
    if (cwd.empty() || cwd.back() != '/')
        cwd += '/';
    return cwd + path;
}

std::string RealPath(const std::string& path)
{
    std::string out;
    if (char* resolved = ::realpath(path.c_str(), nullptr)) {
        out = resolved;
        std::free(resolved);
    }
    return out;
}

std::vector<FolderEntry> FolderEntries(const std::string& folder)
{
    std::vector<FolderEntry> out;
    DIR* dir = ::opendir(folder.c_str());
    if (!dir)
        return out;
    while (const dirent* e = ::readdir(dir)) {
        const std::string_view name = e->d_name;
        if (name == "." || name == "..")
            continue;
        FolderEntry entry;
        entry.name = name;
        entry.regular = KindOfPath(folder + "/" + entry.name) == PathKind::RegularFile;
        out.push_back(std::move(entry));
    }
    ::closedir(dir);
    return out;
}

PathKind KindOfPath(const std::string& path)
{
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0)
        return errno == ENOENT ? PathKind::Missing : PathKind::Other;
    if (::stat(path.c_str(), &st) != 0)
        return PathKind::Other;
    return S_ISREG(st.st_mode) ? PathKind::RegularFile : PathKind::Other;
}

bool IsFolder(const std::string& path)
{
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool IsPrivateFolder(const std::string& path)
{
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == ::geteuid() &&
           (st.st_mode & (S_IWGRP | S_IWOTH)) == 0;
}

void MakeFolders(const std::string& path)
{
    for (std::size_t pos = 1; pos <= path.size(); ++pos) {
        if (pos == path.size() || path[pos] == '/')
            ::mkdir(path.substr(0, pos).c_str(), 0700);
    }
}

std::string CleanAbsolutePath(const std::string& path)
{
    const std::string absolute = AbsolutePath(path);
    if (absolute.empty() || absolute[0] != '/')
        return absolute;
    // Part by part: empty parts (repeated slashes) and "." go, everything else stays.
    std::string out;
    std::size_t start = 0;
    while (start <= absolute.size()) {
        std::size_t end = absolute.find('/', start);
        if (end == std::string::npos)
            end = absolute.size();
        const std::string_view part(absolute.data() + start, end - start);
        if (!part.empty() && part != ".") {
            out += '/';
            out += part;
        }
        start = end + 1;
    }
    return out.empty() ? "/" : out;
}

bool GetFileId(const std::string& path, FileId& id)
{
    struct stat st {};
    if (path.empty() || ::stat(path.c_str(), &st) != 0)
        return false;
    id.device = static_cast<std::uint64_t>(st.st_dev);
    id.inode = static_cast<std::uint64_t>(st.st_ino);
    return true;
}

bool GetFileIdByHandle(FileHandle h, FileId& id)
{
    struct stat st {};
    if (h < 0 || ::fstat(h, &st) != 0)
        return false;
    id.device = static_cast<std::uint64_t>(st.st_dev);
    id.inode = static_cast<std::uint64_t>(st.st_ino);
    return true;
}

bool NamesAnotherFile(const std::string& path, const FileId& id, FileId* other)
{
    struct stat st {};
    if (path.empty() || ::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode))
        return false;
    const FileId named{static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino)};
    if (other)
        *other = named;
    return !(named == id);
}

bool ReplaceHandle(FileHandle target, FileHandle source)
{
    if (target < 0 || source < 0 || target == source)
        return false;
    int r;
    do
        r = ::dup3(source, target, O_CLOEXEC);
    while (r < 0 && errno == EINTR);
    if (r != target)
        return false;
    ::close(source);
    return true;
}

FileHandle CreateAnonymousFile(const char* name)
{
    const int fd = ::memfd_create(name, MFD_CLOEXEC);
    return fd < 0 ? kInvalidFile : fd;
}

std::int64_t ReadSome(FileHandle h, std::uint8_t* buffer, std::uint64_t n, int timeoutMs)
{
    pollfd p{h, POLLIN, 0};
    int ready;
    do
        ready = ::poll(&p, 1, timeoutMs);
    while (ready < 0 && errno == EINTR);
    if (ready < 0)
        return kReadFailed;
    if (ready == 0)
        return kReadTimedOut;
    ssize_t got;
    do
        got = ::read(h, buffer, n);
    while (got < 0 && errno == EINTR);
    if (got < 0)
        return errno == EAGAIN ? kReadTimedOut : kReadFailed;
    return got;
}

bool IsRegularFile(FileHandle h)
{
    struct stat st {};
    return h >= 0 && ::fstat(h, &st) == 0 && S_ISREG(st.st_mode);
}

std::string DescribeOpenFailure(const std::string& path)
{
    struct stat st {};
    if (path.empty())
        return std::strerror(ENOENT);
    if (::stat(path.c_str(), &st) != 0)
        return std::strerror(errno);
    if (S_ISDIR(st.st_mode))
        return std::strerror(EISDIR);
    if (!S_ISREG(st.st_mode))
        return "not a regular file";
    errno = 0;
    const FileHandle h = OpenReadShared(path);
    if (h == kInvalidFile)
        return std::strerror(errno ? errno : EACCES);
    CloseFile(h);
    if (st.st_size == 0)
        return "empty file";
    return "cannot be mapped into memory";
}

}  // namespace platform
