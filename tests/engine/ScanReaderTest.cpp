// A window read in pieces on the pool against the same bytes read whole:
// the file's end in any piece, and a piece that comes back short in the middle.
#include "engine/ScanReader.h"
#include "tests/core/TestUtil.h"

#include <gtest/gtest.h>

namespace {

using testutil::StringReader;

// Reads as StringReader does, but a read that starts at `shortAt` gets half of what it asks.
class ShortPieceReader : public IChunkReader {
public:
    ShortPieceReader(const std::string* bytes, std::int64_t shortAt) : m_all(bytes), m_shortAt(shortAt) {}
    std::uint64_t Read(std::uint8_t* buffer, std::uint64_t n, std::int64_t offset) override
    {
        return m_all.Read(buffer, offset == m_shortAt ? n / 2 : n, offset);
    }

private:
    StringReader m_all;
    std::int64_t m_shortAt;
};

TEST(ScanReader, AWindowReadInPiecesIsTheWindowReadWhole)
{
    constexpr std::size_t kMiB = std::size_t{1} << 20;
    std::string bytes(3 * kMiB + 123, '\0');
    for (std::size_t i = 0; i < bytes.size(); ++i)
        bytes[i] = static_cast<char>(i * 7 + i / 4096);
    const auto size = static_cast<std::int64_t>(bytes.size());
    const struct {
        const char* name;
        std::int64_t offset;
        std::size_t n, parts;
        std::int64_t shortAt;  // -1: none
        std::size_t expected;
    } cases[] = {
        {"whole, two pieces", 0, 2 * kMiB, 2, -1, 2 * kMiB},
        {"whole, three pieces of a size not a multiple of 4", 4, 2 * kMiB + 6, 3, -1, 2 * kMiB + 6},
        {"too small to cut", 8, kMiB / 4, 4, -1, kMiB / 4},
        {"the end in the last piece", size - static_cast<std::int64_t>(kMiB), 2 * kMiB, 2, -1, kMiB},
        {"the end in the first piece", size - 1000, 2 * kMiB, 2, -1, 1000},
        {"a short first piece", 0, 2 * kMiB, 2, 0, kMiB / 2},
        {"a short middle piece", 0, 3 * kMiB, 3, static_cast<std::int64_t>(kMiB), kMiB + kMiB / 2},
        {"past the end", size, kMiB, 2, -1, 0},
    };
    for (const auto& c : cases) {
        ShortPieceReader source(&bytes, c.shortAt);
        CScanReader reader(source);
        std::atomic<std::int64_t> progress{0};
        reader.SetProgress(&progress);
        const std::size_t got = reader.Read(c.offset, c.n, c.parts);
        ASSERT_EQ(got, c.expected) << c.name;
        EXPECT_EQ(progress.load(), static_cast<std::int64_t>(got)) << c.name;
        EXPECT_EQ(std::string(reinterpret_cast<const char*>(reader.Data()), got),
                  bytes.substr(static_cast<std::size_t>(std::min(c.offset, size)), got))
            << c.name;
    }
}

}  // namespace
