// The mapped file and the document that owns it.
#include "file/MemoryMappedFile.h"
#include "file/TextFileDoc.h"
#include "tests/core/CompressUtil.h"
#include "tests/core/FollowUtil.h"
#include "tests/core/TestUtil.h"

#include <cstdio>
#include <cstring>
#include <sys/stat.h>

using testutil::TempDir;

namespace {

std::string Bytes(const CMemoryMappedFile& f)
{
    return std::string(reinterpret_cast<const char*>(f.View()), f.Size());
}

// Whether this process holds a descriptor or a mapping of `path`.
bool ProcessHolds(const std::string& path)
{
    const std::vector<std::string> fds = followtest::DescriptorTargets();
    bool found = std::find(fds.begin(), fds.end(), path) != fds.end();
    std::ifstream maps("/proc/self/maps");
    for (std::string line; !found && std::getline(maps, line);)
        found = line.size() >= path.size() && line.compare(line.size() - path.size(), path.size(), path) == 0;
    return found;
}

}  // namespace

TEST(MemoryMappedFile, RemapSeesGrowthAndOnlyAWritableFileIsLengthened)
{
    TempDir dir;
    const std::string path = dir.Write("db", "abcd");
    {
        CMemoryMappedFile w;
        ASSERT_NE(w.Open(path.c_str(), true), nullptr);
        std::uint8_t* extra = w.Remap(10);
        ASSERT_EQ(extra, w.View() + 4);
        EXPECT_EQ(Bytes(w), std::string("abcd") + std::string(10, '\0'));
        extra[0] = 'Z';
    }
    CMemoryMappedFile r;
    ASSERT_NE(r.Open(path.c_str(), false), nullptr);
    EXPECT_EQ(Bytes(r), std::string("abcdZ") + std::string(9, '\0'));
    dir.Append("db", "tail");
    EXPECT_EQ(r.Remap(0), r.View() + 18);
    EXPECT_EQ(Bytes(r).substr(14), "tail");
    EXPECT_EQ(r.Remap(5), nullptr) << "a read-only mapping larger than the file is refused";
    EXPECT_EQ(r.View(), nullptr);
    ASSERT_NE(r.Remap(0), nullptr);
    EXPECT_EQ(r.Size(), 18u);

    CMemoryMappedFile never;
    EXPECT_EQ(never.Remap(0), nullptr);
    EXPECT_TRUE(never.Close());
    CMemoryMappedFile created;  // a writable open creates the file; empty, it has no view yet
    EXPECT_EQ(created.Open(dir.File("new.db").c_str(), true), nullptr);
    EXPECT_EQ(::access(dir.File("new.db").c_str(), F_OK), 0);
    EXPECT_TRUE(created.Close());
    EXPECT_EQ(created.Path(), nullptr);
}

TEST(TextFileDoc, OpensAndSharesOneMappingAndClosingReleasesTheFile)
{
    TempDir dir;
    const std::string path = dir.Write("a.log", "hello\nworld\n"), second = dir.Write("b.log", "second\n");
    {
        CTextFileDoc doc;
        doc.SetModifiedFlag(true);
        ASSERT_TRUE(doc.OnOpenDocument(path.c_str()));
        EXPECT_EQ(doc.GetMappedFile(), doc.m_pMappedFile.get());
        EXPECT_EQ(doc.GetPathName(), path);
        EXPECT_FALSE(doc.IsModified());
        EXPECT_EQ(Bytes(*doc.m_pMappedFile), "hello\nworld\n");
        EXPECT_TRUE(ProcessHolds(path));
        ASSERT_TRUE(doc.OnOpenDocument(second.c_str()));
        EXPECT_FALSE(ProcessHolds(path)) << "another file replaces the mapping and releases the first";
        doc.OnCloseDocument();
        EXPECT_EQ(doc.m_pMappedFile, nullptr);
        EXPECT_FALSE(ProcessHolds(second));
        ASSERT_TRUE(doc.OnOpenDocument(path.c_str()));
    }
    EXPECT_FALSE(ProcessHolds(path)) << "destroying the document closes its file";
}

// Run as an ordinary user: the superuser may read a file of mode 0.
TEST(TextFileDoc, FilesThatCannotBeMappedAreRefusedSilently)
{
    if (testutil::RanAsNobody())
        return;
    TempDir dir;
    const std::string good = dir.Write("good.log", "kept\n"), empty = dir.Write("empty.log", "");
    const std::string locked = dir.Write("locked.log", "secret\n");
    ASSERT_EQ(::chmod(locked.c_str(), 0), 0);
    CTextFileDoc doc;
    ASSERT_TRUE(doc.OnOpenDocument(good.c_str()));
    CMemoryMappedFile* kept = doc.m_pMappedFile.get();
    for (const char* bad : {empty.c_str(), locked.c_str(), "/no/such/file.log", dir.Path().c_str(), "",
                            static_cast<const char*>(nullptr)}) {
        EXPECT_FALSE(doc.OnOpenDocument(bad)) << (bad ? bad : "null");
        EXPECT_EQ(doc.m_pMappedFile.get(), kept) << "a failed open keeps what the document had";
        EXPECT_EQ(doc.GetPathName(), good);
    }
    EXPECT_FALSE(ProcessHolds(empty)) << "not even a descriptor of a refused file is kept";
}

// A file is opened once by its name, plain or compressed: what was sniffed is
// what is shown, and its identity comes from that same descriptor, so a log
// rotated during the open is never taken for two files.
TEST(TextFileDoc, AFileIsOpenedOnceByItsNameAndKnownByThatDescriptor)
{
    TempDir dir;
    const std::string plain = dir.Write("plain.log", "one\n");
    const std::string packed = dir.Write("packed.log.gz", compresstest::Compress(Compression::Gzip, "two\n"));
    for (const std::string& path : {plain, packed}) {
        platform::FileId before;
        ASSERT_TRUE(platform::GetFileId(path, before));
        CTextFileDoc doc;
        const std::uint64_t opens = platform::OpensByName();
        ASSERT_TRUE(doc.OnOpenDocument(path.c_str())) << path;
        EXPECT_EQ(platform::OpensByName() - opens, 1u) << path;
        // The name now names another file; the document still knows the one it read.
        ASSERT_EQ(::rename(path.c_str(), (path + ".1").c_str()), 0);
        dir.Write(path.substr(path.rfind('/') + 1), "new\n");
        platform::FileId opened;
        ASSERT_TRUE(doc.GetOpenedFileId(opened)) << path;
        EXPECT_TRUE(opened == before) << path;
    }
}

// Another process holds the file open for writing, appends, renames it and
// makes a new one under its name: the document keeps reading its own file.
TEST(TextFileDoc, FileHeldOpenForWritingByAnotherProcessOpensAndKeepsGrowing)
{
    TempDir dir;
    const std::string path = dir.Write("busy.log", "one\n");
    followtest::WriterProcess writer(path);
    ASSERT_TRUE(writer.Do("append two\\n")) << writer.LastAnswer();  // now holds it open for writing
    CTextFileDoc doc;
    ASSERT_TRUE(doc.OnOpenDocument(path.c_str()));
    ASSERT_TRUE(writer.Do("append three\\n")) << "the writer is not locked out";
    ASSERT_TRUE(writer.Do("rename " + dir.File("moved.log"))) << "nor from renaming it";
    ASSERT_TRUE(writer.Do("create new\\n"));
    ASSERT_NE(doc.m_pMappedFile->Remap(0), nullptr);
    EXPECT_EQ(Bytes(*doc.m_pMappedFile), "one\ntwo\nthree\n");
}
