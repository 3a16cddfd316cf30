// The truncation guard: reads (and writes) past the new end of a file that
// was shortened under its mapping go on, and real faults still crash.
#include "file/MemoryMappedFile.h"
#include "platform/DirWatch.h"
#include "platform/SigbusGuard.h"
#include "tests/core/TestUtil.h"

#include <csignal>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/wait.h>

using testutil::TempDir;

namespace {

const std::size_t kPage = static_cast<std::size_t>(::sysconf(_SC_PAGESIZE));

// Every page filled with its own letter, so that a page read from the wrong
// place would show.
std::string Pages(std::size_t count)
{
    std::string s;
    for (std::size_t p = 0; p < count; ++p)
        s.append(kPage, static_cast<char>('a' + p % 26));
    return s;
}

std::uint8_t ReadAt(const CMemoryMappedFile& f, std::size_t at)
{
    return static_cast<const volatile std::uint8_t*>(f.View())[at];
}

TEST(SigbusGuard, ReadsPastATruncationSeeZerosAndTheWholeLossCostsOneSignal)
{
    TempDir dir;
    const std::string content = Pages(64);
    const std::string path = dir.Write("a.log", content);
    CMemoryMappedFile f;
    ASSERT_NE(f.Open(path.c_str(), false), nullptr);
    const std::size_t kept = kPage + kPage / 2;
    ASSERT_EQ(::truncate(path.c_str(), static_cast<off_t>(kept)), 0);
    const std::uint64_t faults = platform::GuardedFaultCount();
    // Backwards from the old end, as a reader looking for the last screenful goes.
    for (std::size_t at = content.size(); at-- > 0;)
        ASSERT_EQ(ReadAt(f, at), at < kept ? static_cast<std::uint8_t>(content[at]) : 0) << at;
    EXPECT_EQ(platform::GuardedFaultCount(), faults + 1) << "one signal patches the whole lost range";
    EXPECT_TRUE(f.IsStale());

    // Grown back, the patched pages still read zero until the file is mapped again.
    dir.Write("a.log", content);
    EXPECT_EQ(ReadAt(f, 10 * kPage), 0);
    ASSERT_NE(f.Remap(0), nullptr);
    EXPECT_FALSE(f.IsStale());
    EXPECT_EQ(ReadAt(f, 10 * kPage), static_cast<std::uint8_t>(content[10 * kPage]));

    // A write into a lost page of a writable mapping goes on too.
    CMemoryMappedFile db;
    ASSERT_NE(db.Open(path.c_str(), true), nullptr);
    ASSERT_EQ(::truncate(path.c_str(), 0), 0);
    static_cast<volatile std::uint8_t*>(db.View())[5 * kPage + 7] = 'Z';
    EXPECT_EQ(ReadAt(db, 5 * kPage + 7), 'Z');
    EXPECT_TRUE(db.IsStale());
}

TEST(SigbusGuard, ListenersOfThatFileAloneAreWoken)
{
    TempDir dir;
    const std::string pathA = dir.Write("a.log", Pages(4)), pathB = dir.Write("b.log", Pages(4));
    CMemoryMappedFile a, b;
    ASSERT_NE(a.Open(pathA.c_str(), false), nullptr);
    ASSERT_NE(b.Open(pathB.c_str(), false), nullptr);
    // A watcher holds a descriptor of its own on the same file.
    const int fdA = ::open(pathA.c_str(), O_RDONLY | O_CLOEXEC);
    platform::WakeEvent wake;
    const int listener = platform::RegisterStaleListener(fdA, &wake);
    ASSERT_GE(listener, 0);
    const std::uint32_t before = platform::StaleCount(listener);
    for (const auto& [path, file, count] : {std::tuple{pathB, &b, before}, std::tuple{pathA, &a, before + 1}}) {
        ASSERT_EQ(::truncate(path.c_str(), 0), 0);
        EXPECT_EQ(ReadAt(*file, 3 * kPage), 0);
        EXPECT_EQ(platform::StaleCount(listener), count) << path;
        EXPECT_EQ(wake.Wait(0), count != before) << path;
    }
    platform::UnregisterStaleListener(listener);
    dir.Write("a.log", Pages(4));
    ASSERT_NE(a.Remap(0), nullptr);
    ASSERT_EQ(::truncate(pathA.c_str(), 0), 0);
    EXPECT_EQ(ReadAt(a, 2 * kPage), 0);
    EXPECT_FALSE(wake.Wait(0)) << "a listener that left is not woken";
    ::close(fdA);
}

// The child of a death test dies of SIGBUS (under a sanitizer, whose own
// handler is the one we chain to, it reports it and exits with failure).
bool DiedOfBusError(int status)
{
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
    if (WIFEXITED(status) && WEXITSTATUS(status) != 0)
        return true;
#endif
    return WIFSIGNALED(status) && WTERMSIG(status) == SIGBUS;
}

// A death test's child runs the test again up to its statement, and dies
// there without running destructors: it removes its own temporary folder
// once its files are open (mappings and descriptors outlive the names).
[[noreturn]] void FaultOutsideTheGuard(const TempDir& dir, const std::string& path)
{
    CMemoryMappedFile guarded;  // the guard is in place
    const bool opened = guarded.Open(path.c_str(), false) != nullptr;
    const int fd = ::open(path.c_str(), O_RDWR);
    void* raw = ::mmap(nullptr, 4 * kPage, PROT_READ, MAP_SHARED, fd, 0);
    std::filesystem::remove_all(dir.Path());
    if (!opened || raw == MAP_FAILED || ::ftruncate(fd, 0) != 0)
        ::_exit(3);
    [[maybe_unused]] std::uint8_t x = static_cast<const volatile std::uint8_t*>(raw)[2 * kPage];
    ::_exit(0);
}

void ExitWith42(int)
{
    ::_exit(42);
}

TEST(SigbusGuardDeathTest, OtherFaultsStillKillOrReachTheHandlerBefore)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    TempDir dir;
    const std::string path = dir.Write("a.log", Pages(4)), other = dir.Write("b.log", Pages(4));
    EXPECT_EXIT(FaultOutsideTheGuard(dir, path), DiedOfBusError, "");
    EXPECT_EXIT(
        {  // a SIGBUS sent by someone is not ours to swallow either
            CMemoryMappedFile guarded;
            if (!guarded.Open(path.c_str(), false))
                ::_exit(3);
            std::filesystem::remove_all(dir.Path());
            ::raise(SIGBUS);
            ::_exit(0);
        },
        DiedOfBusError, "");
    EXPECT_EXIT(
        {
            struct sigaction sa {};
            sa.sa_handler = ExitWith42;
            ::sigaction(SIGBUS, &sa, nullptr);
            platform::InstallSigbusGuard();
            // A guarded fault is still answered by the guard...
            CMemoryMappedFile f;
            if (!f.Open(other.c_str(), false) || ::truncate(other.c_str(), 0) != 0 || ReadAt(f, kPage) != 0)
                ::_exit(3);
            // ...and anything else goes to the handler that was there before.
            FaultOutsideTheGuard(dir, path);
        },
        ::testing::ExitedWithCode(42), "");
}

}  // namespace
