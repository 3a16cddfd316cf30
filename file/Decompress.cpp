#include "file/Decompress.h"

#include <bzlib.h>
#include <lzma.h>
#include <zlib.h>
#include <zstd.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <thread>
#include <vector>

using Status = DecompressResult::Status;

namespace {

// Blocks of 1 MiB: each costs one read, one write and one call of the
// library, few enough for a log to decompress at memory speed, and small
// enough that a block of text is still in the cache when the sink copies it.
constexpr std::size_t kInBlock = std::size_t{1} << 20;
constexpr std::size_t kOutBlock = kDecompressBlock;

bool StartsWith(const std::uint8_t* p, std::size_t n, std::initializer_list<std::uint8_t> magic)
{
    return n >= magic.size() && std::equal(magic.begin(), magic.end(), p);
}

// The input and output blocks of one run, the limit and the result.
class Pump {
public:
    Pump(IByteSource& source, IByteSink& sink, std::uint64_t limit, const std::atomic<bool>* cancel)
        : m_source(source),
          m_sink(sink),
          m_limit(limit),
          m_cancel(cancel),
          m_in(kInBlock),
          m_out(kOutBlock),
          m_block(sink.NextBlock(m_out.data(), m_out.size()))
    {
    }

    // Reads the next block when the last one is used up; false at the end of
    // the input or on a failure (then the result says Failed).
    bool Refill()
    {
        if (avail > 0)
            return true;
        if (m_cancel && m_cancel->load(std::memory_order_relaxed))
            return Fail();
        const std::int64_t got = m_source.Read(m_in.data(), m_in.size());
        if (got < 0)
            return Fail();
        next = m_in.data();
        avail = static_cast<std::size_t>(got);
        m_read += avail;
        return avail > 0;
    }
    // Marks `n` input bytes as used.
    void Used(std::size_t n)
    {
        next += n;
        avail -= n;
    }
    std::uint8_t* Out() { return m_block; }
    std::size_t OutSize() const { return m_out.size(); }
    // Hands `n` bytes of text to the sink, no more than the limit allows;
    // false when the run must stop (the limit reached, or the sink failed).
    bool Emit(std::size_t n)
    {
        // Looked at for every block out as well as in: one block of a bomb's
        // input can be gigabytes of text.
        if (m_cancel && m_cancel->load(std::memory_order_relaxed))
            return Fail();
        const std::uint64_t room = m_limit - result.produced;
        const std::size_t take = static_cast<std::size_t>(std::min<std::uint64_t>(n, room));
        if (take > 0) {
            if (!m_sink.Write(m_block, take))
                return Fail();
            m_block = m_sink.NextBlock(m_out.data(), m_out.size());
        }
        result.produced += take;
        if (take < n)
            return Stop(Status::OverLimit);
        return true;
    }
    bool Stop(Status status, std::string problem = {})
    {
        if (result.status == Status::Complete) {
            result.status = status;
            result.problem = std::move(problem);
        }
        return false;
    }
    bool Fail() { return Stop(Status::Failed); }
    DecompressResult Finish()
    {
        result.consumed = m_read - avail;
        return result;
    }
    bool Stopped() const { return result.status != Status::Complete; }

    const std::uint8_t* next = nullptr;
    std::size_t avail = 0;
    DecompressResult result;

private:
    IByteSource& m_source;
    IByteSink& m_sink;
    std::uint64_t m_limit;
    const std::atomic<bool>* m_cancel;
    std::vector<std::uint8_t> m_in, m_out;
    std::uint8_t* m_block;  // where the text goes: m_out, or a block of the sink
    std::uint64_t m_read = 0;
};

const char* const kEndsEarly = "the compressed data ends early";
// A bzip2 block becomes text only whole (its bytes are sorted as one), so a
// cut inside the first block leaves no text at all: the reader learns why.
const char* const kEndsInBzip2Block =
    "the compressed data ends early, inside a block that bzip2 gives whole or not at all";

// Concatenated members are read whole, as gzip -d does; bytes after the last
// member that start no other member are left alone.
void Gunzip(Pump& p)
{
    z_stream z{};
    if (inflateInit2(&z, 16 + MAX_WBITS) != Z_OK) {
        p.Fail();
        return;
    }
    bool inMember = false;
    bool full = false;  // the last call filled the output: more may come without input
    while (!p.Stopped()) {
        if (!full && !p.Refill()) {
            if (inMember)
                p.Stop(Status::Damaged, kEndsEarly);
            break;
        }
        if (!inMember && p.next[0] != 0x1F)
            break;  // trailing bytes (often zeros of a block device's padding)
        inMember = true;
        z.next_in = const_cast<Bytef*>(p.next);
        z.avail_in = static_cast<uInt>(std::min<std::size_t>(p.avail, UINT32_MAX));
        z.next_out = p.Out();
        z.avail_out = static_cast<uInt>(p.OutSize());
        const int ret = inflate(&z, Z_NO_FLUSH);
        p.Used(static_cast<std::size_t>(z.next_in - p.next));
        full = z.avail_out == 0;
        if (!p.Emit(p.OutSize() - z.avail_out))
            break;
        if (ret == Z_STREAM_END) {
            inMember = false;
            full = false;  // a member's end flushed everything
            inflateReset(&z);
        } else if (ret != Z_OK && ret != Z_BUF_ERROR) {
            p.Stop(Status::Damaged, std::string("damaged gzip data") + (z.msg ? std::string(" (") + z.msg + ")" : ""));
        }
    }
    inflateEnd(&z);
}

void Unxz(Pump& p)
{
    lzma_stream z = LZMA_STREAM_INIT;
    // Far above what xz -9 needs (64 MiB of dictionary), far below what a forged
    // header could ask for.
    constexpr std::uint64_t kMemoryLimit = std::uint64_t{512} << 20;
    // Files written by xz -T (the default of recent xz) are in blocks that
    // decode side by side; others decode on this thread alone.
    lzma_mt mt{};
    mt.flags = LZMA_CONCATENATED;
    mt.threads = std::clamp(std::thread::hardware_concurrency(), 1u, 4u);
    mt.memlimit_threading = kMemoryLimit;
    mt.memlimit_stop = kMemoryLimit;
    if (lzma_stream_decoder_mt(&z, &mt) != LZMA_OK) {
        p.Fail();
        return;
    }
    bool atEnd = false;
    while (!p.Stopped()) {
        if (!atEnd && !p.Refill())
            atEnd = !p.Stopped();
        if (p.Stopped())
            break;
        z.next_in = p.next;
        z.avail_in = p.avail;
        z.next_out = p.Out();
        z.avail_out = p.OutSize();
        const lzma_ret ret = lzma_code(&z, atEnd ? LZMA_FINISH : LZMA_RUN);
        p.Used(static_cast<std::size_t>(z.next_in - p.next));
        if (!p.Emit(p.OutSize() - z.avail_out))
            break;
        if (ret == LZMA_STREAM_END)
            break;
        if (ret == LZMA_BUF_ERROR && atEnd) {
            p.Stop(Status::Damaged, kEndsEarly);
        } else if (ret != LZMA_OK && ret != LZMA_BUF_ERROR) {
            p.Stop(Status::Damaged, ret == LZMA_MEMLIMIT_ERROR || ret == LZMA_MEM_ERROR
                                        ? "xz data needs too much memory"
                                        : "damaged xz data");
        }
    }
    lzma_end(&z);
}

void Unzstd(Pump& p)
{
    std::unique_ptr<ZSTD_DStream, decltype(&ZSTD_freeDStream)> z(ZSTD_createDStream(), ZSTD_freeDStream);
    if (!z) {
        p.Fail();
        return;
    }
    std::size_t pending = 0;  // non-zero while a frame is not finished
    bool full = false;        // the last call filled the output: more may come without input
    while (!p.Stopped()) {
        if (!full && !p.Refill()) {
            if (pending != 0 && !p.Stopped())
                p.Stop(Status::Damaged, kEndsEarly);
            break;
        }
        ZSTD_inBuffer in{p.next, p.avail, 0};
        ZSTD_outBuffer out{p.Out(), p.OutSize(), 0};
        pending = ZSTD_decompressStream(z.get(), &out, &in);
        p.Used(in.pos);
        full = out.pos == out.size;
        if (ZSTD_isError(pending)) {
            p.Emit(out.pos);
            p.Stop(Status::Damaged, std::string("damaged zstd data (") + ZSTD_getErrorName(pending) + ")");
            break;
        }
        if (!p.Emit(out.pos))
            break;
    }
}

void Bunzip2(Pump& p)
{
    bz_stream z{};
    if (BZ2_bzDecompressInit(&z, 0, 0) != BZ_OK) {
        p.Fail();
        return;
    }
    bool inStream = false;
    bool full = false;  // the last call filled the output: more may come without input
    while (!p.Stopped()) {
        if (!full && !p.Refill()) {
            if (inStream)
                p.Stop(Status::Damaged, kEndsInBzip2Block);
            break;
        }
        if (!inStream && p.next[0] != 'B')
            break;
        inStream = true;
        z.next_in = const_cast<char*>(reinterpret_cast<const char*>(p.next));
        z.avail_in = static_cast<unsigned>(std::min<std::size_t>(p.avail, UINT32_MAX));
        z.next_out = reinterpret_cast<char*>(p.Out());
        z.avail_out = static_cast<unsigned>(p.OutSize());
        const int ret = BZ2_bzDecompress(&z);
        p.Used(static_cast<std::size_t>(reinterpret_cast<const std::uint8_t*>(z.next_in) - p.next));
        full = z.avail_out == 0;
        if (!p.Emit(p.OutSize() - z.avail_out))
            break;
        if (ret == BZ_STREAM_END) {
            // Concatenated streams (pbzip2 and lbzip2 write them): a fresh decoder each.
            inStream = false;
            full = false;
            BZ2_bzDecompressEnd(&z);
            z = bz_stream{};
            if (BZ2_bzDecompressInit(&z, 0, 0) != BZ_OK) {
                p.Fail();
                return;
            }
        } else if (ret != BZ_OK) {
            p.Stop(Status::Damaged, "damaged bzip2 data");
        }
    }
    BZ2_bzDecompressEnd(&z);
}

}  // namespace

Compression DetectCompression(const std::uint8_t* head, std::size_t n)
{
    if (!head)
        return Compression::None;
    if (StartsWith(head, n, {0x1F, 0x8B}))
        return Compression::Gzip;
    if (StartsWith(head, n, {0xFD, '7', 'z', 'X', 'Z', 0x00}))
        return Compression::Xz;
    if (StartsWith(head, n, {0x28, 0xB5, 0x2F, 0xFD}))
        return Compression::Zstd;
    // "BZh" and a block size digit: three letters alone are too common in text.
    if (StartsWith(head, n, {'B', 'Z', 'h'}) && n >= 4 && head[3] >= '1' && head[3] <= '9')
        return Compression::Bzip2;
    return Compression::None;
}

bool MayBeCompressionMagic(const std::uint8_t* head, std::size_t n)
{
    static const std::initializer_list<std::uint8_t> kMagics[] = {
        {0x1F, 0x8B}, {0xFD, '7', 'z', 'X', 'Z', 0x00}, {0x28, 0xB5, 0x2F, 0xFD}, {'B', 'Z', 'h'}};
    for (const auto& magic : kMagics)
        if (n < magic.size() + (*magic.begin() == 'B' ? 1 : 0) &&
            std::equal(head, head + n, magic.begin(), magic.begin() + std::min(n, magic.size())))
            return true;
    return false;
}

const char* CompressionName(Compression c)
{
    switch (c) {
    case Compression::Gzip: return "gzip";
    case Compression::Xz: return "xz";
    case Compression::Zstd: return "zstd";
    case Compression::Bzip2: return "bzip2";
    case Compression::None: break;
    }
    return "";
}

DecompressResult Decompress(Compression c, IByteSource& source, IByteSink& sink, std::uint64_t limit,
                            const std::atomic<bool>* cancel)
{
    Pump p(source, sink, limit, cancel);
    switch (c) {
    case Compression::Gzip: Gunzip(p); break;
    case Compression::Xz: Unxz(p); break;
    case Compression::Zstd: Unzstd(p); break;
    case Compression::Bzip2: Bunzip2(p); break;
    case Compression::None: p.Fail(); break;
    }
    return p.Finish();
}

std::uint64_t ZstdDeclaredSize(const std::uint8_t* head, std::size_t n)
{
    const unsigned long long size = ZSTD_getFrameContentSize(head, n);
    return size == ZSTD_CONTENTSIZE_UNKNOWN || size == ZSTD_CONTENTSIZE_ERROR ? 0 : size;
}

std::uint64_t XzDeclaredSize(ReadAtFunction read, void* context, std::uint64_t fileSize)
{
    // Stream padding (zeros in fours) may follow the last stream's footer.
    std::uint64_t end = fileSize;
    std::uint8_t footer[LZMA_STREAM_HEADER_SIZE];
    while (end >= 2 * LZMA_STREAM_HEADER_SIZE) {
        if (read(context, footer, 4, static_cast<std::int64_t>(end - 4)) != 4)
            return 0;
        if (footer[0] || footer[1] || footer[2] || footer[3])
            break;
        end -= 4;
    }
    if (end < 2 * LZMA_STREAM_HEADER_SIZE ||
        read(context, footer, sizeof footer, static_cast<std::int64_t>(end - sizeof footer)) != sizeof footer)
        return 0;
    lzma_stream_flags flags{};
    if (lzma_stream_footer_decode(&flags, footer) != LZMA_OK)
        return 0;
    const std::uint64_t indexSize = flags.backward_size;
    if (indexSize > (std::uint64_t{64} << 20) || indexSize + sizeof footer > end)
        return 0;
    std::vector<std::uint8_t> index(static_cast<std::size_t>(indexSize));
    const std::int64_t at = static_cast<std::int64_t>(end - sizeof footer - indexSize);
    if (read(context, index.data(), indexSize, at) != indexSize)
        return 0;
    lzma_index* decoded = nullptr;
    std::uint64_t memlimit = std::uint64_t{256} << 20;
    std::size_t pos = 0;
    if (lzma_index_buffer_decode(&decoded, &memlimit, nullptr, index.data(), &pos, index.size()) != LZMA_OK)
        return 0;
    const std::uint64_t size = lzma_index_uncompressed_size(decoded);
    lzma_index_end(decoded, nullptr);
    return size;
}
