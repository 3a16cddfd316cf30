#include "platform/File.h"

#include "platform/SigbusGuard.h"

#include <cerrno>
#include <climits>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

namespace {

// Opens without ever waiting: a FIFO without a writer, a terminal or a device
// could otherwise hold the caller (the user-interface thread) for ever. Only
// a regular file is kept, then switched back to blocking reads; anything else
// has nothing to map and is refused like a file that cannot be opened.
FileHandle OpenRegularFile(const std::string& path, int flags)
{
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

}  // namespace platform
