// Compressed test inputs made with the libraries themselves, and a source and
// sink in memory for the decompressors.
#pragma once

#include "file/Decompress.h"

#include <bzlib.h>
#include <lzma.h>
#include <zlib.h>
#include <zstd.h>

#include <algorithm>
#include <string>

namespace compresstest {

// One member, frame or stream of `c` holding `text`. `declare`: a zstd frame
// that states its content size (a streamed one does not).
inline std::string Compress(Compression c, const std::string& text, bool declare = false)
{
    std::string out(text.size() + text.size() / 2 + 4096, '\0');
    auto* in = reinterpret_cast<const std::uint8_t*>(text.data());
    auto* buf = reinterpret_cast<std::uint8_t*>(out.data());
    std::size_t size = 0;
    switch (c) {
    case Compression::Gzip: {
        z_stream z{};
        deflateInit2(&z, 6, Z_DEFLATED, 16 + MAX_WBITS, 8, Z_DEFAULT_STRATEGY);
        z.next_in = const_cast<Bytef*>(in);
        z.avail_in = static_cast<uInt>(text.size());
        z.next_out = buf;
        z.avail_out = static_cast<uInt>(out.size());
        deflate(&z, Z_FINISH);
        size = z.total_out;
        deflateEnd(&z);
        break;
    }
    case Compression::Xz:
        lzma_easy_buffer_encode(6, LZMA_CHECK_CRC64, nullptr, in, text.size(), buf, &size, out.size());
        break;
    case Compression::Zstd:
        if (declare) {
            size = ZSTD_compress(buf, out.size(), text.data(), text.size(), 3);
        } else {
            ZSTD_CCtx* z = ZSTD_createCCtx();
            ZSTD_CCtx_setParameter(z, ZSTD_c_contentSizeFlag, 0);
            ZSTD_outBuffer o{buf, out.size(), 0};
            ZSTD_inBuffer i{text.data(), text.size(), 0};
            while (ZSTD_compressStream2(z, &o, &i, ZSTD_e_end) != 0) {
            }
            size = o.pos;
            ZSTD_freeCCtx(z);
        }
        break;
    case Compression::Bzip2: {
        unsigned n = static_cast<unsigned>(out.size());
        BZ2_bzBuffToBuffCompress(out.data(), &n, const_cast<char*>(text.data()), static_cast<unsigned>(text.size()), 9,
                                 0, 0);
        size = n;
        break;
    }
    case Compression::None: return text;
    }
    out.resize(size);
    return out;
}

// Gives `data` in pieces of `piece` bytes.
class MemorySource : public IByteSource {
public:
    MemorySource(const std::string& data, std::size_t piece) : m_data(data), m_piece(piece) {}
    std::int64_t Read(std::uint8_t* buffer, std::size_t n) override
    {
        const std::size_t take = std::min({n, m_piece, m_data.size() - m_at});
        std::copy_n(m_data.data() + m_at, take, buffer);
        m_at += take;
        return static_cast<std::int64_t>(take);
    }

private:
    const std::string& m_data;
    std::size_t m_piece;
    std::size_t m_at = 0;
};

class MemorySink : public IByteSink {
public:
    bool Write(const std::uint8_t* data, std::size_t n) override
    {
        text.append(reinterpret_cast<const char*>(data), n);
        return true;
    }
    std::string text;
};

}  // namespace compresstest
