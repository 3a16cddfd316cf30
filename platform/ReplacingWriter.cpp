#include "platform/ReplacingWriter.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <mutex>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

namespace {

// A write past the process's file-size limit raises SIGXFSZ, whose default
// ends the process: a viewer that saves lines must report the failure and go
// on, as for a full disk (the write then fails with EFBIG).
void IgnoreFileSizeSignal()
{
    static std::once_flag once;
    std::call_once(once, [] { std::signal(SIGXFSZ, SIG_IGN); });
}

std::string FolderOf(const std::string& path)
{
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

}  // namespace

CReplacingWriter::~CReplacingWriter()
{
    Abort();
}

bool CReplacingWriter::Fail()
{
    m_strError = std::strerror(errno);
    Abort();
    return false;
}

bool CReplacingWriter::Begin(const std::string& target)
{
    Abort();
    IgnoreFileSizeSignal();
    m_strTarget = target;
    m_nWritten = 0;
    const std::size_t slash = target.rfind('/');
    const std::string name = slash == std::string::npos ? target : target.substr(slash + 1);
    m_strTemp = FolderOf(target) + "/." + name + ".XXXXXX";
    m_fd = ::mkostemp(m_strTemp.data(), O_CLOEXEC);
    if (m_fd < 0) {
        m_strError = std::strerror(errno);
        m_strTemp.clear();
        return false;
    }
    struct stat st {};
    mode_t mode = 0644;
    if (::stat(target.c_str(), &st) == 0 && S_ISREG(st.st_mode))
        mode = st.st_mode & 07777;
    if (::fchmod(m_fd, mode) != 0)
        return Fail();
    return true;
}

bool CReplacingWriter::Write(const void* data, std::uint64_t n)
{
    if (m_fd < 0)
        return false;
    const auto* p = static_cast<const char*>(data);
    while (n > 0) {
        const ssize_t k = ::write(m_fd, p, n);
        if (k < 0 && errno == EINTR)
            continue;
        if (k <= 0) {
            if (k == 0)
                errno = ENOSPC;
            return Fail();
        }
        p += k;
        n -= static_cast<std::uint64_t>(k);
        m_nWritten += static_cast<std::uint64_t>(k);
    }
    return true;
}

bool CReplacingWriter::Commit()
{
    if (m_fd < 0)
        return false;
    // The data reaches the disk before the name does: a crash leaves the old
    // file or the whole new one, never a short one.
    if (::fsync(m_fd) != 0)
        return Fail();
    if (::close(m_fd) != 0) {
        m_fd = -1;
        return Fail();
    }
    m_fd = -1;
    if (::rename(m_strTemp.c_str(), m_strTarget.c_str()) != 0)
        return Fail();
    m_strTemp.clear();
    const int dir = ::open(FolderOf(m_strTarget).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
    return true;
}

void CReplacingWriter::Abort()
{
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
    if (!m_strTemp.empty())
        ::unlink(m_strTemp.c_str());
    m_strTemp.clear();
}

bool RenamePath(const std::string& from, const std::string& to)
{
    return ::rename(from.c_str(), to.c_str()) == 0;
}

bool RemovePath(const std::string& path)
{
    return ::unlink(path.c_str()) == 0;
}

}  // namespace platform
