// Documents read by their background reader: compressed files (and a bomb),
// and standard input as a pipe that pauses and closes.
#include "CompressUtil.h"
#include "FakeViewHost.h"
#include "file/TextFileDoc.h"
#include "tests/core/FollowUtil.h"
#include "tests/core/TestUtil.h"
#include "view/StringTable.h"

#include <fstream>
#include <regex>
#include <sys/stat.h>

using compresstest::Compress;
using followtest::PumpUntil;
using State = CStreamSource::State;

namespace {

using Screen = std::vector<std::string>;

class StreamSourceTest : public followtest::WatchingTest {
protected:
    void TearDown() override
    {
        CTextFileDoc::SetTextLimit(0);
        WatchingTest::TearDown();
    }
    // A view of 5 rows on `doc`, loaded as soon as the reader lets it.
    struct Opened : viewtest::HostedView {
        explicit Opened(CTextFileDoc& doc) : HostedView(doc, 5, 40) { platform::DrainPostedMessages(); }
        Screen Rows() { return view->IsLoaded() ? host.Rows() : Screen{}; }
    };
    static bool Ended(CTextFileDoc& doc)
    {
        return PumpUntil([&] { return doc.GetSource()->GetProgress().state != State::Running; });
    }
    static void WriteAll(int fd, const std::string& bytes)
    {
        for (std::size_t done = 0; done < bytes.size();) {
            const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
            ASSERT_GT(n, 0);
            done += static_cast<std::size_t>(n);
        }
    }

    testutil::TempDir m_dir;
};

// One block of bzip2 cut short gives no text: the strip says why.
const char* const kCutBzip2 = "the compressed data ends early, inside a block that bzip2 gives whole or not at all";

TEST_F(StreamSourceTest, ACompressedLogShowsItsLastScreenfulOnceDecompressedAndSaysWhereADamagedOneStops)
{
    const std::string text = testutil::Lines(0, 20000);
    for (const Compression c : {Compression::Gzip, Compression::Xz, Compression::Zstd, Compression::Bzip2}) {
        SCOPED_TRACE(CompressionName(c));
        for (const bool cut : {false, true}) {
            std::string packed = Compress(c, text);
            if (cut)
                packed.resize(packed.size() * 3 / 4);
            const std::string path = m_dir.Write("app.log.1", packed);  // the magic decides, not the name
            CTextFileDoc doc;
            ASSERT_TRUE(doc.OnOpenDocument(path.c_str()));
            ASSERT_NE(doc.GetSource(), nullptr);
            Opened o(doc);
            ASSERT_TRUE(Ended(doc));
            ASSERT_TRUE(PumpUntil([&] { return o.view->IsLoaded(); }));
            EXPECT_TRUE(doc.IsDecompressed());
            EXPECT_EQ(doc.GetPathName(), path) << "the record is the compressed file's";
            EXPECT_EQ(o.host.wnd->GetWatcher()->HasDirectoryNotification(), false) << "no name to follow";
            if (!cut) {
                EXPECT_EQ(o.Rows(), testutil::ScreenOf(19995, 20000));
                EXPECT_TRUE(o.host.strip.empty() || o.host.strip.back().rfind("Decompressing: ", 0) == 0);
            } else {
                const CStreamSource::Progress p = doc.GetSource()->GetProgress();
                EXPECT_EQ(p.state, State::Damaged);
                EXPECT_EQ(doc.GetMappedFile()->Size(), p.bytes);
                EXPECT_EQ(o.host.strip.back(),
                          "The text stops after " + std::to_string(p.bytes) + " bytes: " +
                              (c == Compression::Bzip2 ? kCutBzip2 : "the compressed data ends early") + ".");
            }
        }
    }
}

// One small gzip member of zeros, concatenated thousands of times: a little
// compressed file that would be gigabytes of text stops at the limit, and the
// anonymous file never holds more than the limit.
TEST_F(StreamSourceTest, ABombStopsAtTheLimitAndADeclaredSizeOverItIsRefusedUnread)
{
    const std::string member = Compress(Compression::Gzip, std::string(std::size_t{1} << 20, '\0'));
    {
        std::ofstream bomb(m_dir.File("bomb.gz"), std::ios::binary);
        for (int i = 0; i < 8192; ++i)  // 8 GiB of text
            bomb << member;
    }
    constexpr std::uint64_t kLimit = std::uint64_t{48} << 20;
    CTextFileDoc::SetTextLimit(kLimit);
    CTextFileDoc doc;
    ASSERT_TRUE(doc.OnOpenDocument(m_dir.File("bomb.gz").c_str()));
    Opened o(doc);
    ASSERT_TRUE(Ended(doc));
    const CStreamSource::Progress p = doc.GetSource()->GetProgress();
    EXPECT_EQ(p.state, State::OverLimit);
    EXPECT_EQ(p.bytes, kLimit);
    EXPECT_EQ(platform::FileSizeByHandle(doc.GetMappedFile()->Handle()), static_cast<std::int64_t>(kLimit));
    ASSERT_TRUE(PumpUntil([&] { return o.view->IsLoaded(); }));
    EXPECT_EQ(o.host.strip.back(), "The text reached the limit of " + std::to_string(kLimit) +
                                       " bytes (Compressed/MaxBytes): it ends there.");

    // A zstd frame that states its size is refused before anything is decompressed.
    const std::string text = testutil::Lines(0, 1000);
    CTextFileDoc::SetTextLimit(text.size() - 1);
    CTextFileDoc declared;
    ASSERT_TRUE(declared.OnOpenDocument(m_dir.Write("d.zst", Compress(Compression::Zstd, text, true)).c_str()));
    ASSERT_TRUE(Ended(declared));
    EXPECT_EQ(declared.GetSource()->GetProgress().state, State::Declared);
    EXPECT_EQ(declared.GetSource()->GetProgress().bytes, 0u);

    // Closing a document cancels its reader at once (the bomb again, no limit to stop it).
    CTextFileDoc::SetTextLimit(std::uint64_t{1} << 40);
    auto closing = std::make_unique<CTextFileDoc>();
    ASSERT_TRUE(closing->OnOpenDocument(m_dir.File("bomb.gz").c_str()));
    ASSERT_TRUE(PumpUntil([&] { return closing->GetSource()->GetProgress().bytes > 0; }));
    closing.reset();
}

// Zeros cost nothing: whole pages of them stay holes of the anonymous file (no memory, nothing written), which
// every long walk of the window steps over unread, so that the text is shown as soon as it has ended.
TEST_F(StreamSourceTest, PagesOfZerosStayHolesThatTheWindowStepsOverUnread)
{
    const std::string text = "head\n" + std::string((std::size_t{64} << 20) + 123, '\0') + "tail\n";
    CTextFileDoc doc;
    ASSERT_TRUE(doc.OnOpenDocument(m_dir.Write("zeros.gz", Compress(Compression::Gzip, text)).c_str()));
    Opened o(doc);
    ASSERT_TRUE(Ended(doc));
    ASSERT_EQ(doc.GetSource()->GetProgress().state, State::Complete);
    const platform::FileHandle h = doc.GetMappedFile()->Handle();
    ASSERT_EQ(platform::FileSizeByHandle(h), static_cast<std::int64_t>(text.size()));
    std::string back(text.size(), 'x');
    ASSERT_EQ(platform::ReadAt(h, reinterpret_cast<std::uint8_t*>(back.data()), back.size(), 0), back.size());
    EXPECT_TRUE(back == text) << "the holes read as the zeros they stand for";
    EXPECT_TRUE(platform::IsHole(h, 4096, std::int64_t{64} << 20)) << "the zeros were not written";
    struct stat st {};
    ASSERT_EQ(::fstat(h, &st), 0);
    EXPECT_LT(st.st_blocks * 512, 1 << 20) << "64 MiB of zeros hold no memory";
    ASSERT_TRUE(PumpUntil([&] { return o.view->IsLoaded(); }));
    const Screen rows = o.Rows();
    EXPECT_NE(std::find(rows.begin(), rows.end(), "tail"), rows.end()) << "the text after the zeros is shown";
}

TEST_F(StreamSourceTest, StandardInputIsFollowedAsItArrivesAndStaysWhenThePipeCloses)
{
    int fds[2];
    ASSERT_EQ(::pipe2(fds, O_CLOEXEC), 0);
    CTextFileDoc doc;
    ASSERT_TRUE(doc.OnOpenStream(fds[0], CTextFileDoc::kStandardInputName));
    Opened o(doc);
    // A writer that pauses between lines: each line shows when it comes.
    for (int n = 0; n < 7; ++n) {
        WriteAll(fds[1], "line " + std::to_string(n) + "\n");
        ASSERT_TRUE(PumpUntil([&] { return o.Rows() == testutil::ScreenOf(std::max(0, n - 4), n + 1); })) << n;
    }
    EXPECT_EQ(o.host.wnd->GetWatcher()->HasDirectoryNotification(), false);
    ::close(fds[1]);
    ASSERT_TRUE(Ended(doc));
    EXPECT_EQ(doc.GetSource()->GetProgress().state, State::Complete);
    platform::DrainPostedMessages();
    EXPECT_EQ(o.Rows(), testutil::ScreenOf(2, 7)) << "the text stays";
    EXPECT_FALSE(doc.IsDecompressed());
}

// While the text is not yet shown: the strip gives the size read in a reader's units, and the ribbon the
// font that the text will have, not the empty window's own.
TEST_F(StreamSourceTest, WhileDecompressingTheStripGivesAReadableSizeAndTheRibbonTheFontToCome)
{
    const std::string compressed = Compress(Compression::Gzip, testutil::Lines(0, 400000));
    int fds[2];
    ASSERT_EQ(::pipe2(fds, O_CLOEXEC), 0);
    CTextFileDoc doc;
    ASSERT_TRUE(doc.OnOpenStream(fds[0], CTextFileDoc::kStandardInputName));
    Opened o(doc);
    WriteAll(fds[1], compressed.substr(0, compressed.size() / 2));
    ASSERT_TRUE(
        PumpUntil([&] { return !o.host.strip.empty() && o.host.strip.back().find(" MB ") != std::string::npos; }));
    EXPECT_FALSE(o.view->IsLoaded());
    EXPECT_TRUE(std::regex_match(o.host.strip.back(), std::regex(R"(Reading standard input: \d\.\d\d MB so far)")))
        << o.host.strip.back();
    EXPECT_EQ(o.host.fontBox.text, u"Courier New");
    EXPECT_EQ(o.host.sizeBox.text, u"10");
    ::close(fds[1]);
    ASSERT_TRUE(Ended(doc));
    for (const auto& [bytes, shown] :
         std::initializer_list<std::pair<std::uint64_t, const char*>>{{1, "1 byte"},
                                                                      {999, "999 bytes"},
                                                                      {1000, "1.00 kB"},
                                                                      {99949, "99.9 kB"},
                                                                      {999499, "999 kB"},
                                                                      {999500, "1.00 MB"},
                                                                      {1943005926, "1.94 GB"}}) {
        CStreamSource::Progress p;
        p.bytes = bytes;
        EXPECT_EQ(DescribeSourceProgress(p, false), std::string("Decompressing: ") + shown + " so far");
    }
}

TEST_F(StreamSourceTest, CompressedStandardInputIsDecompressedAndTheLimitStopsReading)
{
    const std::string text = testutil::Lines(0, 3000);
    for (const bool limited : {false, true}) {
        SCOPED_TRACE(limited ? "limited" : "compressed");
        CTextFileDoc::SetTextLimit(limited ? 1000 : 0);
        int fds[2];
        ASSERT_EQ(::pipe2(fds, O_CLOEXEC), 0);
        CTextFileDoc doc;
        ASSERT_TRUE(doc.OnOpenStream(fds[0], CTextFileDoc::kStandardInputName));
        Opened o(doc);
        std::thread writer([&] {
            WriteAll(fds[1], limited ? text : Compress(Compression::Xz, text));
            ::close(fds[1]);
        });
        ASSERT_TRUE(Ended(doc));
        writer.join();
        ASSERT_TRUE(PumpUntil([&] { return o.view->IsLoaded(); }));
        platform::DrainPostedMessages();
        if (limited) {
            EXPECT_EQ(doc.GetSource()->GetProgress().state, State::OverLimit);
            EXPECT_EQ(doc.GetMappedFile()->Size(), 1000u);
            ASSERT_FALSE(o.host.strip.empty());
            EXPECT_EQ(o.host.strip.back(),
                      "The text reached the limit of 1000 bytes (Compressed/MaxBytes): it ends there.");
        } else {
            EXPECT_TRUE(doc.IsDecompressed());
            EXPECT_EQ(o.Rows(), testutil::ScreenOf(2995, 3000));
        }
    }
}

}  // namespace
