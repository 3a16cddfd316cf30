// The one reader of every bulk pass over a file (find, the filter, the line
// index, time seeking): reads a chunk source (engine/ChunkReader.h, pread by
// default) into one reused buffer, never through the window's mapping. Mapping a page of the page cache costs
// more than reading it into a buffer that stays in the processor's cache, so
// a scan of a large file reads; the mapping stays for what is drawn and for
// short steps.
//
// A file truncated under a walk gives a short read: the walk ends there, with
// no signal to guard. A walk also ends when its cancel flag is raised (a
// worker's owner asks it to stop): the one way to cancel a pass. Every byte it
// reads is added to a progress counter when one is given: the one way a pass
// reports how far it got.
#pragma once

#include "engine/ChunkReader.h"
#include "platform/File.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

class CScanReader {
public:
    // 256 KiB stays in the second-level cache beside the scanner's own data;
    // larger chunks measured no faster here, smaller ones pay more calls.
    static constexpr std::size_t kDefaultChunk = std::size_t(256) << 10;

    // The chunk is kept a multiple of 4 bytes, so windows keep to the code
    // units of every encoding.
    // Reads the file by pread.
    explicit CScanReader(platform::FileHandle file = platform::kInvalidFile, std::size_t chunkBytes = kDefaultChunk);
    // Reads `source`, which outlives the reader; several readers (one per
    // thread) may share one source.
    explicit CScanReader(IChunkReader& source, std::size_t chunkBytes = kDefaultChunk);
    // A reader for a part of `walk`'s walk (a block on another thread, or wider windows): the same source and
    // progress, a buffer of its own, and the stop flag and poll given.
    CScanReader(const CScanReader& walk, std::size_t chunkBytes, const std::atomic<bool>* cancel,
                std::function<void()> poll);
    CScanReader(const CScanReader&) = delete;
    CScanReader& operator=(const CScanReader&) = delete;

    // Reads this file by pread from now on (and no longer a source given).
    void SetFile(platform::FileHandle file);
    // The file read by pread; kInvalidFile when nothing is read or a source was given.
    platform::FileHandle File() const { return m_pSource == &m_pread ? m_pread.Handle() : platform::kInvalidFile; }
    IChunkReader& Source() const { return *m_pSource; }
    std::size_t ChunkBytes() const { return m_nChunk; }
    void SetCancel(const std::atomic<bool>* cancel) { m_pCancel = cancel; }
    const std::atomic<bool>* CancelFlag() const { return m_pCancel; }
    bool Cancelled() const { return m_pCancel && m_pCancel->load(std::memory_order_relaxed); }
    // Called before every read of a walk, on the walking thread: a walk on the
    // user-interface thread keeps its window answering (and lets the user
    // raise the cancel flag) from here.
    void SetPoll(std::function<void()> poll) { m_poll = std::move(poll); }
    const std::function<void()>& Poll() const { return m_poll; }
    // Every read adds the bytes it got to *bytes (from any thread).
    void SetProgress(std::atomic<std::int64_t>* bytes) { m_pProgress = bytes; }
    std::atomic<std::int64_t>* Progress() const { return m_pProgress; }

    // Reads [offset, offset + n) into the buffer (grown when n exceeds it) and
    // returns the bytes read: fewer at the end of the file or on failure.
    std::size_t Read(std::int64_t offset, std::size_t n);
    // The same in `parts` pieces read at once on the engine's pool, for a
    // pass that reads a large window for every thread: the copies out of the
    // page cache run side by side. The bytes read are those up to the first
    // piece that came back short.
    std::size_t Read(std::int64_t offset, std::size_t n, std::size_t parts);
    // The bytes of the last Read, writable so that a scanner can mark them up.
    std::uint8_t* Data() { return m_buffer.data(); }

    // How a walk ended: its range done, stopped by the visitor, cut short by a
    // short read (the file shrank) or cancelled.
    enum class End { Done, Stopped, Short, Cancelled };

    // One window of a walk: `n` bytes at file offset `offset`.
    // Forward visitors return where the next window begins (above `offset`,
    // at most offset + n; the bytes from there on are read again, so that a
    // match across the boundary is found) or kStop.
    // Backward visitors return where the next window ends (below offset + n,
    // at least `offset`) or kStop.
    static constexpr std::int64_t kStop = -1;
    using Visitor = std::function<std::int64_t(std::uint8_t* data, std::size_t n, std::int64_t offset)>;

    // Walks [from, to) upwards in windows of the chunk size.
    End Forward(std::int64_t from, std::int64_t to, const Visitor& visit);
    // Walks [from, to) downwards: windows of the chunk size, ending at `to`
    // and then where the visitor says.
    End Backward(std::int64_t from, std::int64_t to, const Visitor& visit);

private:
    CPreadChunkReader m_pread;
    IChunkReader* m_pSource;
    std::size_t m_nChunk;
    std::atomic<std::int64_t>* m_pProgress = nullptr;
    const std::atomic<bool>* m_pCancel = nullptr;
    std::function<void()> m_poll;
    std::vector<std::uint8_t> m_buffer;
};
