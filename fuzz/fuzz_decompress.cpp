// Feeds arbitrary bytes to the decompressors' entry, in pieces of an
// arbitrary size, under a small limit, and to the readers of declared sizes;
// checks that the text never passes the limit and that what a run reports
// matches what it wrote.
//
// Input: [format] [piece] [data...]
//   format: the magic of the data decides; when it names no format, bits 0-1
//           choose one (gzip, xz, zstd, bzip2) so that every decoder meets junk.
//   piece:  1 + the byte: the most bytes a read gives.
#include "tests/core/CompressUtil.h"

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

constexpr std::uint64_t kLimit = std::uint64_t{8} << 20;

void Check(bool ok, const char* what)
{
    if (!ok) {
        std::fprintf(stderr, "broken: %s\n", what);
        std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 2)
        return 0;
    const std::string bytes(reinterpret_cast<const char*>(data) + 2, size - 2);
    const auto* body = reinterpret_cast<const std::uint8_t*>(bytes.data());
    Compression c = DetectCompression(body, bytes.size());
    if (c == Compression::None) {
        static const Compression kAny[] = {Compression::Gzip, Compression::Xz, Compression::Zstd, Compression::Bzip2};
        c = kAny[data[0] & 3];
    }
    compresstest::MemorySource source(bytes, std::size_t{data[1]} + 1);
    compresstest::MemorySink sink;
    const DecompressResult r = Decompress(c, source, sink, kLimit);
    Check(r.produced == sink.text.size(), "the count of text differs from what was written");
    Check(sink.text.size() <= kLimit, "the text passed the limit");
    Check(r.consumed <= bytes.size(), "more input used than given");
    Check(r.status != DecompressResult::Status::OverLimit || r.produced == kLimit, "stopped short of the limit");

    ZstdDeclaredSize(body, bytes.size());
    auto readAt = [](void* context, std::uint8_t* buffer, std::uint64_t n, std::int64_t offset) -> std::uint64_t {
        const auto& all = *static_cast<const std::string*>(context);
        if (offset < 0 || static_cast<std::uint64_t>(offset) > all.size())
            return 0;
        const std::size_t take = std::min<std::size_t>(n, all.size() - static_cast<std::size_t>(offset));
        std::copy_n(all.data() + offset, take, buffer);
        return take;
    };
    std::string copy = bytes;
    XzDeclaredSize(readAt, &copy, copy.size());
    return 0;
}
