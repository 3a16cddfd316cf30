// The truncation guard: reads (and writes) past the new end of a file that
// was shortened under its mapping go on, and real faults still crash.
#include "file/MemoryMappedFile.h"
#include "platform/DirWatch.h"
#include "platform/SigbusGuard.h"
#include "TestUtil.h"

#include <csignal>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/wait.h>
#include <unistd.h>

using testutil::TempDir;

namespace {

std::size_t PageSize() { return static_cast<std::size_t>(::sysconf(_SC_PAGESIZE)); }

// Every page filled with its own letter, so that a page read from the wrong
// place would show.
std::string Pages(std::size_t count)
{
    std::string s;
    for (std::size_t p = 0; p < count; ++p)
        s.append(PageSize(), static_cast<char>('a' + p % 26));
    return s;
}

TEST(SigbusGuard, ReadsPastATruncationSeeZerosAndTheWholeLossCostsOneSignal)
{
    TempDir dir;
    const std::size_t page = PageSize();
    const std::string content = Pages(64);
    const std::string path = dir.Write("a.log", content);
    CMemoryMappedFile f;
    ASSERT_NE(f.Open(path.c_str(), false), nullptr);
    EXPECT_FALSE(f.IsStale());

    const std::size_t kept = page + page / 2;
    ASSERT_EQ(::truncate(path.c_str(), static_cast<off_t>(kept)), 0);
    const std::uint64_t faults = platform::GuardedFaultCount();
    const volatile std::uint8_t* v = f.View();
    // Walk backwards from the old end, as a reader looking for the last screenful does.
    std::size_t nonZero = 0;
    for (std::size_t off = content.size(); off-- > 2 * page;)
        nonZero += v[off] != 0;
    EXPECT_EQ(nonZero, 0u);
    EXPECT_EQ(platform::GuardedFaultCount(), faults + 1) << "one signal patches the whole lost range";
    EXPECT_TRUE(f.IsStale());
    // What the file still holds is untouched; its last page reads as zeros past the end.
    for (std::size_t i = 0; i < 2 * page; ++i)
        ASSERT_EQ(v[i], i < kept ? static_cast<std::uint8_t>(content[i]) : 0) << i;

    // Grown back, the patched pages still read zero until the file is mapped again.
    dir.Write("a.log", content);
    EXPECT_EQ(v[10 * page], 0);
    ASSERT_NE(f.Remap(0), nullptr);
    EXPECT_FALSE(f.IsStale());
    EXPECT_EQ(f.View()[10 * page], static_cast<std::uint8_t>(content[10 * page]));
}

TEST(SigbusGuard, WritableMappingIsCoveredToo)
{
    TempDir dir;
    const std::size_t page = PageSize();
    const std::string path = dir.Write("prefs.db", Pages(8));
    CMemoryMappedFile db;
    ASSERT_NE(db.Open(path.c_str(), true), nullptr);
    ASSERT_EQ(::truncate(path.c_str(), 0), 0);
    volatile std::uint8_t* v = db.View();
    v[5 * page + 7] = 'Z';  // a write into a lost page must not kill the process either
    EXPECT_EQ(v[5 * page + 7], 'Z');
    EXPECT_EQ(v[0], 0);
    EXPECT_TRUE(db.IsStale());
}

TEST(SigbusGuard, ListenersOfThatFileAloneAreWoken)
{
    TempDir dir;
    const std::size_t page = PageSize();
    const std::string pathA = dir.Write("a.log", Pages(4));
    const std::string pathB = dir.Write("b.log", Pages(4));
    CMemoryMappedFile a, b;
    ASSERT_NE(a.Open(pathA.c_str(), false), nullptr);
    ASSERT_NE(b.Open(pathB.c_str(), false), nullptr);
    // A watcher holds a descriptor of its own on the same file.
    const int fdA = ::open(pathA.c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_GE(fdA, 0);
    platform::WakeEvent wake;
    const int listener = platform::RegisterStaleListener(fdA, wake.Fd());
    ASSERT_GE(listener, 0);
    const std::uint32_t before = platform::StaleCount(listener);

    ASSERT_EQ(::truncate(pathB.c_str(), 0), 0);
    EXPECT_EQ(static_cast<const volatile std::uint8_t*>(b.View())[3 * page], 0);
    EXPECT_EQ(platform::StaleCount(listener), before);
    EXPECT_FALSE(wake.Wait(0));

    ASSERT_EQ(::truncate(pathA.c_str(), 0), 0);
    EXPECT_EQ(static_cast<const volatile std::uint8_t*>(a.View())[3 * page], 0);
    EXPECT_EQ(platform::StaleCount(listener), before + 1);
    EXPECT_TRUE(wake.Wait(0));

    platform::UnregisterStaleListener(listener);
    dir.Write("a.log", Pages(4));
    ASSERT_NE(a.Remap(0), nullptr);
    ASSERT_EQ(::truncate(pathA.c_str(), 0), 0);
    EXPECT_EQ(static_cast<const volatile std::uint8_t*>(a.View())[2 * page], 0);
    EXPECT_FALSE(wake.Wait(0)) << "a listener that left is not woken";
    ::close(fdA);
    EXPECT_EQ(platform::RegisterStaleListener(-1, wake.Fd()), -1);
}

// The child of a death test: dies of SIGBUS (or, under a sanitizer, whose
// own handler is the one we chain to, reports it and exits with failure).
bool DiedOfBusError(int status)
{
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
    if (WIFEXITED(status) && WEXITSTATUS(status) != 0)
        return true;
#endif
    return WIFSIGNALED(status) && WTERMSIG(status) == SIGBUS;
}

[[noreturn]] void FaultInUnguardedMapping(const std::string& path)
{
    // Make sure the guard is in place, then fault where it does not look.
    CMemoryMappedFile guarded;
    if (!guarded.Open(path.c_str(), false))
        ::_exit(3);
    const int fd = ::open(path.c_str(), O_RDWR);
    void* raw = ::mmap(nullptr, 4 * PageSize(), PROT_READ, MAP_SHARED, fd, 0);
    if (raw == MAP_FAILED || ::ftruncate(fd, 0) != 0)
        ::_exit(4);
    [[maybe_unused]] std::uint8_t x = static_cast<const volatile std::uint8_t*>(raw)[2 * PageSize()];
    ::_exit(0);
}

TEST(SigbusGuardDeathTest, FaultOutsideGuardedMappingsStillKillsTheProcess)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    TempDir dir;
    const std::string path = dir.Write("a.log", Pages(4));
    EXPECT_EXIT(FaultInUnguardedMapping(path), DiedOfBusError, "");
    // A SIGBUS sent by someone is not ours to swallow either.
    EXPECT_EXIT(
        {
            CMemoryMappedFile guarded;
            if (!guarded.Open(path.c_str(), false))
                ::_exit(3);
            ::raise(SIGBUS);
            ::_exit(0);
        },
        DiedOfBusError, "");
}

void ExitWith42(int) { ::_exit(42); }

TEST(SigbusGuardDeathTest, ChainsToTheHandlerInstalledBefore)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    TempDir dir;
    const std::string path = dir.Write("a.log", Pages(4));
    const std::string other = dir.Write("b.log", Pages(4));
    EXPECT_EXIT(
        {
            struct sigaction sa {};
            sa.sa_handler = ExitWith42;
            sigemptyset(&sa.sa_mask);
            ::sigaction(SIGBUS, &sa, nullptr);
            platform::InstallSigbusGuard();
            // A guarded fault is still answered by the guard...
            CMemoryMappedFile f;
            if (!f.Open(other.c_str(), false) || ::truncate(other.c_str(), 0) != 0)
                ::_exit(3);
            if (static_cast<const volatile std::uint8_t*>(f.View())[PageSize()] != 0)
                ::_exit(5);
            // ...and anything else goes to the handler that was there before.
            FaultInUnguardedMapping(path);
        },
        ::testing::ExitedWithCode(42), "");
}

}  // namespace
