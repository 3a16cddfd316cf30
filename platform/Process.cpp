#include "platform/Process.h"

#include <cerrno>
#include <pthread.h>
#include <pwd.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>
#include <vector>

namespace platform {

unsigned long long PhysicalMemoryBytes()
{
    const long pages = ::sysconf(_SC_PHYS_PAGES);
    const long size = ::sysconf(_SC_PAGESIZE);
    return pages > 0 && size > 0 ? static_cast<unsigned long long>(pages) * static_cast<unsigned long long>(size) : 0;
}

unsigned UserId()
{
    return static_cast<unsigned>(::getuid());
}

std::string PasswdHome()
{
    std::vector<char> buf(16384);
    struct passwd pw {};
    struct passwd* result = nullptr;
    if (::getpwuid_r(::getuid(), &pw, buf.data(), buf.size(), &result) != 0 || !result || !result->pw_dir)
        return {};
    return result->pw_dir;
}

void NameCurrentThread(const char* name)
{
    ::pthread_setname_np(::pthread_self(), name);
}

int CurrentThreadId()
{
    return static_cast<int>(::syscall(SYS_gettid));
}

unsigned long RaiseOpenFileLimit()
{
    struct rlimit rl {};
    if (::getrlimit(RLIMIT_NOFILE, &rl) != 0)
        return 0;
    if (rl.rlim_cur < rl.rlim_max) {
        struct rlimit raised = rl;
        raised.rlim_cur = rl.rlim_max;
        if (::setrlimit(RLIMIT_NOFILE, &raised) == 0)
            rl = raised;
    }
    return static_cast<unsigned long>(rl.rlim_cur);
}

void ReportProblem(const std::string& text)
{
    // One write, so that lines from several threads never interleave.
    const std::string line = std::string(program_invocation_short_name) + ": " + text + "\n";
    for (std::size_t done = 0; done < line.size();) {
        const ssize_t n = ::write(STDERR_FILENO, line.data() + done, line.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return;
        done += static_cast<std::size_t>(n);
    }
}

}  // namespace platform
