#include "file/MemoryMappedFile.h"
#include "TestUtil.h"

#include <cstring>
#include <sys/wait.h>

using testutil::TempDir;

TEST(MemoryMappedFile, OpenMapsWholeFileAndRemapSeesAppends)
{
    TempDir dir;
    const std::string path = dir.Write("a.log", "hello\n");
    CMemoryMappedFile f;
    const std::uint8_t* v = f.Open(path.c_str(), false);
    ASSERT_NE(v, nullptr);
    EXPECT_EQ(f.Size(), 6u);
    EXPECT_EQ(std::memcmp(v, "hello\n", 6), 0);
    ASSERT_NE(f.Path(), nullptr);
    EXPECT_EQ(std::string(f.Path()), path);

    dir.Append("a.log", "world\n");
    const std::uint8_t* end = f.Remap(0);
    ASSERT_NE(end, nullptr);
    EXPECT_EQ(f.Size(), 12u);
    EXPECT_EQ(end, f.View() + 12);
    EXPECT_EQ(std::memcmp(f.View() + 6, "world\n", 6), 0);
}

TEST(MemoryMappedFile, RemapWithExtraBytesGrowsWritableFileOnly)
{
    TempDir dir;
    const std::string path = dir.Write("db", "abcd");
    {
        CMemoryMappedFile w;
        ASSERT_NE(w.Open(path.c_str(), true), nullptr);
        std::uint8_t* extra = w.Remap(10);
        ASSERT_NE(extra, nullptr);
        EXPECT_EQ(extra, w.View() + 4);
        EXPECT_EQ(w.Size(), 14u);
        EXPECT_EQ(std::memcmp(w.View(), "abcd", 4), 0);
        for (int i = 0; i < 10; ++i)
            EXPECT_EQ(extra[i], 0);
        extra[0] = 'Z';
    }
    CMemoryMappedFile r;
    ASSERT_NE(r.Open(path.c_str(), false), nullptr);
    EXPECT_EQ(r.Size(), 14u);
    EXPECT_EQ(r.View()[4], 'Z');
    // A read-only mapping larger than the file is refused and the file stays as it is.
    EXPECT_EQ(r.Remap(5), nullptr);
    EXPECT_EQ(r.View(), nullptr);
    ASSERT_NE(r.Remap(0), nullptr);
    EXPECT_EQ(r.Size(), 14u);
}

TEST(MemoryMappedFile, FailuresAndCloseAreHarmless)
{
    TempDir dir;
    CMemoryMappedFile never;
    EXPECT_EQ(never.Remap(0), nullptr);
    EXPECT_TRUE(never.Close());
    EXPECT_TRUE(never.Close());

    CMemoryMappedFile missing;
    EXPECT_EQ(missing.Open(dir.File("nope").c_str(), false), nullptr);
    EXPECT_EQ(missing.Remap(0), nullptr);

    const std::string empty = dir.Write("empty", "");
    CMemoryMappedFile e;
    EXPECT_EQ(e.Open(empty.c_str(), false), nullptr);
    EXPECT_THROW(CMemoryMappedFile{empty.c_str()}, CFileException);
    EXPECT_THROW(CMemoryMappedFile{dir.File("nope").c_str()}, CFileException);
    EXPECT_THROW(CMemoryMappedFile{dir.Path().c_str()}, CFileException);  // a directory

    // A writable open creates the file; empty, it yields no view yet.
    CMemoryMappedFile created;
    EXPECT_EQ(created.Open(dir.File("new.db").c_str(), true), nullptr);
    EXPECT_EQ(access(dir.File("new.db").c_str(), F_OK), 0);
    EXPECT_TRUE(created.Close());
    EXPECT_EQ(created.Path(), nullptr);
}

// Another process holds the file open for writing, appends, renames and
// deletes it while we keep it mapped: we keep reading the same file object.
TEST(MemoryMappedFile, OtherProcessWritesRenamesAndDeletes)
{
    TempDir dir;
    const std::string path = dir.Write("live.log", "first\n");
    const std::string moved = dir.File("live.log.1");
    CMemoryMappedFile f;
    ASSERT_NE(f.Open(path.c_str(), false), nullptr);

    const pid_t pid = fork();
    if (pid == 0) {
        FILE* w = std::fopen(path.c_str(), "ab");
        if (!w)
            _exit(1);
        std::fputs("second\n", w);
        std::fflush(w);
        if (std::rename(path.c_str(), moved.c_str()) != 0)
            _exit(2);
        std::fputs("third\n", w);
        std::fclose(w);
        _exit(std::remove(moved.c_str()) == 0 ? 0 : 3);
    }
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);

    ASSERT_NE(f.Remap(0), nullptr);
    ASSERT_EQ(f.Size(), 19u);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(f.View()), 19), "first\nsecond\nthird\n");
}
