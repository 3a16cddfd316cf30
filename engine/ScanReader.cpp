#include "engine/ScanReader.h"

#include "engine/WorkPool.h"

#include <algorithm>

CScanReader::CScanReader(platform::FileHandle file, std::size_t chunkBytes)
    : m_pread(file), m_pSource(&m_pread), m_nChunk(std::max<std::size_t>(chunkBytes, 16) / 4 * 4)
{
}

CScanReader::CScanReader(IChunkReader& source, std::size_t chunkBytes)
    : m_pread(platform::kInvalidFile), m_pSource(&source), m_nChunk(std::max<std::size_t>(chunkBytes, 16) / 4 * 4)
{
}

CScanReader::CScanReader(const CScanReader& walk, std::size_t chunkBytes, const std::atomic<bool>* cancel,
                         std::function<void()> poll)
    : CScanReader(walk.Source(), chunkBytes)
{
    m_pCancel = cancel;
    m_poll = std::move(poll);
    m_pProgress = walk.m_pProgress;
}

void CScanReader::SetFile(platform::FileHandle file)
{
    m_pread.SetHandle(file);
    m_pSource = &m_pread;
}

std::size_t CScanReader::Read(std::int64_t offset, std::size_t n)
{
    if (m_buffer.size() < n)
        m_buffer.resize(std::max(n, m_nChunk));
    if (m_poll)
        m_poll();
    if (n == 0 || offset < 0 || Cancelled())
        return 0;
    const auto got = static_cast<std::size_t>(m_pSource->Read(m_buffer.data(), n, offset));
    if (m_pProgress)
        m_pProgress->fetch_add(static_cast<std::int64_t>(got), std::memory_order_relaxed);
    return got;
}

std::size_t CScanReader::Read(std::int64_t offset, std::size_t n, std::size_t parts)
{
    // Pieces below this are not worth a task each.
    constexpr std::size_t kMinPiece = std::size_t{256} << 10;
    parts = std::min(parts, n / kMinPiece);
    if (parts <= 1)
        return Read(offset, n);
    if (m_buffer.size() < n)
        m_buffer.resize(std::max(n, m_nChunk));
    if (m_poll)
        m_poll();
    if (offset < 0 || Cancelled())
        return 0;
    const std::size_t piece = n / parts / 4 * 4;
    std::vector<std::size_t> got(parts);
    engine::RunBlocks(parts, [&](std::size_t k) {
        const std::size_t a = k * piece, b = k + 1 == parts ? n : a + piece;
        got[k] = static_cast<std::size_t>(
            m_pSource->Read(m_buffer.data() + a, b - a, offset + static_cast<std::int64_t>(a)));
    });
    std::size_t total = 0;
    for (std::size_t k = 0; k < parts; ++k) {
        total += got[k];
        if (got[k] < (k + 1 == parts ? n - k * piece : piece))
            break;
    }
    if (m_pProgress)
        m_pProgress->fetch_add(static_cast<std::int64_t>(total), std::memory_order_relaxed);
    return total;
}

CScanReader::End CScanReader::Forward(std::int64_t from, std::int64_t to, const Visitor& visit)
{
    for (std::int64_t at = from; at < to;) {
        if (Cancelled())
            return End::Cancelled;
        const auto want =
            static_cast<std::size_t>(std::min<std::int64_t>(to - at, static_cast<std::int64_t>(m_nChunk)));
        const std::size_t got = Read(at, want);
        if (got == 0)
            return End::Short;
        const std::int64_t next = visit(m_buffer.data(), got, at);
        if (next == kStop)
            return End::Stopped;
        if (got < want)
            return End::Short;
        // A visitor that keeps the whole window would never get further.
        at = std::clamp<std::int64_t>(next, at + 1, at + static_cast<std::int64_t>(got));
    }
    return End::Done;
}

CScanReader::End CScanReader::Backward(std::int64_t from, std::int64_t to, const Visitor& visit)
{
    for (std::int64_t end = to; end > from;) {
        if (Cancelled())
            return End::Cancelled;
        const std::int64_t at = std::max(from, end - static_cast<std::int64_t>(m_nChunk));
        const auto want = static_cast<std::size_t>(end - at);
        const std::size_t got = Read(at, want);
        if (got < want)
            return End::Short;
        const std::int64_t next = visit(m_buffer.data(), got, at);
        if (next == kStop)
            return End::Stopped;
        end = std::clamp<std::int64_t>(next, at, end - 1);
    }
    return End::Done;
}
