#include "platform/Process.h"

#include <pthread.h>
#include <pwd.h>
#include <sys/syscall.h>
#include <unistd.h>
#include <vector>

namespace platform {

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

}  // namespace platform
