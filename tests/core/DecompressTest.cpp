// The decompressors from memory: every format whole, concatenated, cut short
// and damaged, the limit, the magic, and the sizes streams declare.
#include "CompressUtil.h"
#include "file/Decompress.h"
#include "tests/core/TestUtil.h"

#include <gtest/gtest.h>

using compresstest::Compress;
using compresstest::MemorySink;
using compresstest::MemorySource;
using Status = DecompressResult::Status;

namespace {

const Compression kFormats[] = {Compression::Gzip, Compression::Xz, Compression::Zstd, Compression::Bzip2};

DecompressResult Unpack(Compression c, const std::string& data, std::string& text, std::uint64_t limit = UINT64_MAX,
                        std::size_t piece = 4093)
{
    MemorySource source(data, piece);
    MemorySink sink;
    const DecompressResult r = Decompress(c, source, sink, limit);
    text = sink.text;
    EXPECT_EQ(r.produced, text.size());
    return r;
}

TEST(DecompressTest, EveryFormatWholeConcatenatedCutShortDamagedAndLimited)
{
    const std::string text = testutil::Lines(0, 30000);
    for (const Compression c : kFormats) {
        SCOPED_TRACE(CompressionName(c));
        const std::string packed = Compress(c, text);
        ASSERT_EQ(DetectCompression(reinterpret_cast<const std::uint8_t*>(packed.data()), packed.size()), c);
        std::string out;
        EXPECT_EQ(Unpack(c, packed, out, UINT64_MAX, 1).status, Status::Complete);
        EXPECT_TRUE(out == text) << "byte by byte";
        EXPECT_EQ(Unpack(c, packed, out).status, Status::Complete);
        EXPECT_TRUE(out == text);

        // Two members, frames or streams one after the other are read whole.
        const std::string second = Compress(c, "and a second member\n");
        EXPECT_EQ(Unpack(c, packed + second, out).status, Status::Complete);
        EXPECT_TRUE(out == text + "and a second member\n");

        const DecompressResult cut = Unpack(c, packed.substr(0, packed.size() * 3 / 4), out);
        EXPECT_EQ(cut.status, Status::Damaged);
        EXPECT_EQ(cut.problem.rfind("the compressed data ends early", 0), 0u) << cut.problem;
        EXPECT_TRUE(text.compare(0, out.size(), out) == 0) << "what came out is the start of the text";
        EXPECT_LT(out.size(), text.size());

        std::string damaged = packed;
        for (std::size_t i = damaged.size() / 2; i < damaged.size() / 2 + 64; ++i)
            damaged[i] = static_cast<char>(damaged[i] ^ 0x5A);
        EXPECT_EQ(Unpack(c, damaged, out).status, Status::Damaged);

        const DecompressResult limited = Unpack(c, packed, out, 1000);
        EXPECT_EQ(limited.status, Status::OverLimit);
        EXPECT_EQ(out, text.substr(0, 1000));
        EXPECT_EQ(Unpack(c, packed, out, text.size()).status, Status::Complete) << "text exactly at the limit";
    }
}

TEST(DecompressTest, MagicAndDeclaredSizes)
{
    const struct {
        std::string head;
        Compression want;
    } kHeads[] = {
        {"\x1F\x8B", Compression::Gzip},
        {std::string("\xFD\x37zXZ\0", 6), Compression::Xz},
        {"\x28\xB5\x2F\xFD", Compression::Zstd},
        {"BZh9", Compression::Bzip2},
        {"BZhello", Compression::None},  // a line of text, not a bzip2 stream
        {"\x1F", Compression::None},
        {"\xFD\x37zX", Compression::None},
        {"", Compression::None},
    };
    for (const auto& h : kHeads)
        EXPECT_EQ(DetectCompression(reinterpret_cast<const std::uint8_t*>(h.head.data()), h.head.size()), h.want)
            << h.head;

    const std::string text = testutil::Lines(0, 5000);
    const std::string zstd = Compress(Compression::Zstd, text, true);
    EXPECT_EQ(ZstdDeclaredSize(reinterpret_cast<const std::uint8_t*>(zstd.data()), 18), text.size());
    const std::string streamed = Compress(Compression::Zstd, text);
    EXPECT_EQ(ZstdDeclaredSize(reinterpret_cast<const std::uint8_t*>(streamed.data()), 18), 0u);

    // The xz index, also behind stream padding; a cut file declares nothing.
    auto readAt = [](void* context, std::uint8_t* buffer, std::uint64_t n, std::int64_t offset) -> std::uint64_t {
        const auto& data = *static_cast<const std::string*>(context);
        const std::size_t at = std::min<std::size_t>(static_cast<std::size_t>(offset), data.size());
        const std::size_t take = std::min<std::size_t>(n, data.size() - at);
        std::copy_n(data.data() + at, take, buffer);
        return take;
    };
    for (std::string xz : {Compress(Compression::Xz, text), Compress(Compression::Xz, text) + std::string(8, '\0')})
        EXPECT_EQ(XzDeclaredSize(readAt, &xz, xz.size()), text.size());
    std::string cut = Compress(Compression::Xz, text);
    cut.resize(cut.size() - 3);
    EXPECT_EQ(XzDeclaredSize(readAt, &cut, cut.size()), 0u);
}

}  // namespace
