// Decompression of the formats rotated logs are kept in (gzip, xz, zstd,
// bzip2), told apart by their first bytes whatever the file's name, from a
// source of compressed bytes to a sink of text, with a limit on the text.
//
// Used by the document's background reader (file/StreamSource.h); plain
// functions over two small interfaces so that the fuzzer and the tests drive
// them from memory.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>

enum class Compression { None, Gzip, Xz, Zstd, Bzip2 };

// The most bytes that DetectCompression looks at.
inline constexpr std::size_t kCompressionMagicBytes = 6;
// The format whose magic `head` starts with; None for anything else (and for
// fewer bytes than that magic).
Compression DetectCompression(const std::uint8_t* head, std::size_t n);
// Whether `head` is too short to tell but starts as some magic does (a
// reader of a pipe waits for more before it decides).
bool MayBeCompressionMagic(const std::uint8_t* head, std::size_t n);
// "gzip", "xz", "zstd", "bzip2"; "" for None.
const char* CompressionName(Compression c);

// The size of the blocks of text the decompressors fill (IByteSink::NextBlock).
inline constexpr std::size_t kDecompressBlock = std::size_t{1} << 20;

// Compressed bytes, pulled: the count read (at most n), 0 at the end, -1 on a
// failure or when reading was cancelled.
class IByteSource {
public:
    virtual ~IByteSource() = default;
    virtual std::int64_t Read(std::uint8_t* buffer, std::size_t n) = 0;
};

// Text, pushed; false when it cannot be kept (the run stops as failed).
class IByteSink {
public:
    virtual ~IByteSink() = default;
    virtual bool Write(const std::uint8_t* data, std::size_t n) = 0;
    // The block of `size` bytes that the decompressor fills next. A sink that
    // keeps text in the background hands out a block it is not reading from,
    // so that it may go on reading a block after Write has returned; by
    // default the decompressor's own block `own`, read before Write returns.
    virtual std::uint8_t* NextBlock(std::uint8_t* own, std::size_t size)
    {
        (void)size;
        return own;
    }
};

struct DecompressResult {
    enum class Status {
        Complete,   // every stream ended where it should
        Damaged,    // the data is corrupt, or ends early: what came before it was kept
        OverLimit,  // the text reached the limit: the text up to it was kept
        Declared,   // the stream declares more text than the limit: nothing was decompressed
        Failed,     // reading or writing failed, or the run was cancelled
    };
    Status status = Status::Complete;
    std::uint64_t produced = 0;  // bytes of text written to the sink
    std::uint64_t consumed = 0;  // compressed bytes used up to where it stopped
    std::uint64_t declared = 0;  // Declared: the size the stream declares
    std::string problem;         // Damaged: what was wrong, in a few words
};

// Decompresses everything `source` gives (concatenated members and streams
// included) into `sink`, writing at most `limit` bytes. `cancel`, when set,
// stops the run between two blocks (status Failed).
DecompressResult Decompress(Compression c, IByteSource& source, IByteSink& sink, std::uint64_t limit,
                            const std::atomic<bool>* cancel = nullptr);

// The size of text that a zstd frame header declares at the start of `head`,
// or 0 when it declares none (or is no zstd frame).
std::uint64_t ZstdDeclaredSize(const std::uint8_t* head, std::size_t n);
// The size of text that the index of the last xz stream of a whole file
// declares, given a reader of the file's bytes at an offset and the file's
// size; 0 when it cannot be told.
using ReadAtFunction = std::uint64_t (*)(void* context, std::uint8_t* buffer, std::uint64_t n, std::int64_t offset);
std::uint64_t XzDeclaredSize(ReadAtFunction read, void* context, std::uint64_t fileSize);
