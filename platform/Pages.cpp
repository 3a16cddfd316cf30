#include "platform/Pages.h"

#include <cstdint>
#include <initializer_list>

#if defined(__linux__)
#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>
#ifndef MADV_POPULATE_READ
#define MADV_POPULATE_READ 22  // Linux 5.14; older kernels refuse it, which is harmless
#endif
#endif

namespace platform {

void MapAhead(const void* p, std::size_t n)
{
#if defined(__linux__)
    static const auto page = static_cast<std::uintptr_t>(::sysconf(_SC_PAGESIZE));
    const auto begin = reinterpret_cast<std::uintptr_t>(p) & ~(page - 1);
    const auto end = reinterpret_cast<std::uintptr_t>(p) + n;
    if (n)
        ::madvise(reinterpret_cast<void*>(begin), end - begin, MADV_POPULATE_READ);
#else
    (void)p, (void)n;
#endif
}

bool LooksMapped(const void* p, std::size_t n)
{
#if defined(__linux__)
    static const int fd = ::open("/proc/self/pagemap", O_RDONLY | O_CLOEXEC);
    static const auto page = static_cast<std::uintptr_t>(::sysconf(_SC_PAGESIZE));
    if (fd < 0 || n == 0)
        return false;
    const auto at = reinterpret_cast<std::uintptr_t>(p);
    for (const std::uintptr_t a : {at, at + n / 3, at + n / 3 * 2, at + n - 1}) {
        std::uint64_t entry = 0;
        const auto offset = static_cast<off_t>(a / page * sizeof entry);
        if (::pread(fd, &entry, sizeof entry, offset) != static_cast<ssize_t>(sizeof entry) || !(entry >> 63))
            return false;
    }
    return true;
#else
    (void)p, (void)n;
    return false;
#endif
}

}  // namespace platform
