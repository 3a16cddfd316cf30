#include "file/TextFileDoc.h"
#include "FollowUtil.h"
#include "TestUtil.h"

#include <cstring>
#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

using testutil::TempDir;

namespace {

// Whether this process holds a descriptor or a mapping of `path`.
bool ProcessHolds(const std::string& path)
{
    if (DIR* d = ::opendir("/proc/self/fd")) {
        bool found = false;
        while (dirent* e = ::readdir(d)) {
            char target[4096];
            const std::string link = std::string("/proc/self/fd/") + e->d_name;
            const ssize_t n = ::readlink(link.c_str(), target, sizeof target - 1);
            if (n > 0 && std::string(target, static_cast<std::size_t>(n)) == path)
                found = true;
        }
        ::closedir(d);
        if (found)
            return true;
    }
    std::ifstream maps("/proc/self/maps");
    std::string line;
    while (std::getline(maps, line))
        if (line.size() >= path.size() && line.compare(line.size() - path.size(), path.size(), path) == 0)
            return true;
    return false;
}

TEST(TextFileDoc, OpensAndSharesOneMappingAndClosingReleasesTheFile)
{
    TempDir dir;
    const std::string path = dir.Write("a.log", "hello\nworld\n");
    {
        CTextFileDoc doc;
        EXPECT_EQ(doc.m_pMappedFile, nullptr);
        EXPECT_TRUE(doc.OnNewDocument());
        doc.SetModifiedFlag(true);
        ASSERT_TRUE(doc.OnOpenDocument(path.c_str()));
        ASSERT_NE(doc.m_pMappedFile, nullptr);
        EXPECT_EQ(doc.GetMappedFile(), doc.m_pMappedFile.get());
        EXPECT_EQ(doc.GetPathName(), path);
        EXPECT_FALSE(doc.IsModified());
        EXPECT_EQ(doc.m_pMappedFile->Size(), 12u);
        EXPECT_EQ(std::memcmp(doc.m_pMappedFile->View(), "hello\nworld\n", 12), 0);
        EXPECT_TRUE(ProcessHolds(path));

        // Opening another file replaces the mapping and releases the first.
        const std::string second = dir.Write("b.log", "second\n");
        ASSERT_TRUE(doc.OnOpenDocument(second.c_str()));
        EXPECT_EQ(doc.GetPathName(), second);
        EXPECT_EQ(doc.m_pMappedFile->Size(), 7u);
        EXPECT_FALSE(ProcessHolds(path));
        EXPECT_TRUE(ProcessHolds(second));

        doc.OnCloseDocument();
        EXPECT_EQ(doc.m_pMappedFile, nullptr);
        EXPECT_FALSE(ProcessHolds(second));

        ASSERT_TRUE(doc.OnOpenDocument(path.c_str()));
        EXPECT_TRUE(ProcessHolds(path));
    }
    EXPECT_FALSE(ProcessHolds(path)) << "destroying the document closes its file";
}

TEST(TextFileDoc, FilesThatCannotBeMappedAreRefusedSilently)
{
    TempDir dir;
    const std::string good = dir.Write("good.log", "kept\n");
    const std::string empty = dir.Write("empty.log", "");
    CTextFileDoc doc;
    ASSERT_TRUE(doc.OnOpenDocument(good.c_str()));
    CMemoryMappedFile* kept = doc.m_pMappedFile.get();

    for (const std::string& bad : {empty, dir.File("missing.log"), dir.Path(), std::string()}) {
        EXPECT_FALSE(doc.OnOpenDocument(bad.c_str())) << bad;
        EXPECT_EQ(doc.m_pMappedFile.get(), kept) << "a failed open keeps what the document had";
        EXPECT_EQ(doc.GetPathName(), good);
    }
    EXPECT_FALSE(doc.OnOpenDocument(nullptr));
    EXPECT_FALSE(ProcessHolds(empty));

    CTextFileDoc fresh;
    EXPECT_FALSE(fresh.OnOpenDocument(empty.c_str()));
    EXPECT_EQ(fresh.m_pMappedFile, nullptr);
    EXPECT_TRUE(fresh.GetPathName().empty());

    if (::geteuid() != 0) {  // root reads anything
        const std::string locked = dir.Write("locked.log", "secret\n");
        ASSERT_EQ(::chmod(locked.c_str(), 0), 0);
        EXPECT_FALSE(fresh.OnOpenDocument(locked.c_str()));
    }
}

TEST(TextFileDoc, FileHeldOpenForWritingByAnotherProcessOpensAndKeepsGrowing)
{
    TempDir dir;
    const std::string path = dir.Write("busy.log", "one\n");
    followtest::WriterProcess writer(path);
    ASSERT_TRUE(writer.Running());
    ASSERT_TRUE(writer.Do("append two\\n")) << writer.LastAnswer();  // now holds it open for writing

    CTextFileDoc doc;
    ASSERT_TRUE(doc.OnOpenDocument(path.c_str()));
    EXPECT_EQ(doc.m_pMappedFile->Size(), 8u);
    ASSERT_TRUE(writer.Do("append three\\n")) << "the writer is not locked out";
    ASSERT_NE(doc.m_pMappedFile->Remap(0), nullptr);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(doc.m_pMappedFile->View()), doc.m_pMappedFile->Size()),
              "one\ntwo\nthree\n");
    ASSERT_TRUE(writer.Do("rename " + dir.File("moved.log"))) << "nor from renaming it";
    ASSERT_TRUE(writer.Do("create new\\n"));
    ASSERT_NE(doc.m_pMappedFile->Remap(0), nullptr);
    EXPECT_EQ(doc.m_pMappedFile->Size(), 14u) << "the document stays with the file it opened";
}

}  // namespace
