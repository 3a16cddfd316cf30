#include "file/StreamSource.h"

#include "platform/Process.h"
#include "platform/SigbusGuard.h"
#include "platform/Window.h"

#include <algorithm>
#include <exception>
#include <functional>

namespace {

// What the head of the input must hold: the longest magic, and a zstd frame
// header with its content size (at most 18 bytes).
constexpr std::size_t kHeadBytes = 18;
constexpr std::size_t kPipeBlock = std::size_t{1} << 20;

}  // namespace

// The compressed bytes: the head already read, then the rest of the input.
class CStreamSourceInput : public IByteSource {
public:
    CStreamSourceInput(CStreamSource& source, const std::vector<std::uint8_t>& head) : m_source(source), m_head(head) {}
    std::int64_t Read(std::uint8_t* buffer, std::size_t n) override
    {
        if (m_nHeadUsed < m_head.size()) {
            const std::size_t take = std::min(n, m_head.size() - m_nHeadUsed);
            std::copy_n(m_head.data() + m_nHeadUsed, take, buffer);
            m_nHeadUsed += take;
            return static_cast<std::int64_t>(take);
        }
        return m_source.m_bPipe ? ReadPipe(buffer, n) : ReadFile(buffer, n);
    }

private:
    std::int64_t ReadFile(std::uint8_t* buffer, std::size_t n)
    {
        const std::uint64_t got = platform::ReadAt(m_source.m_hInput, buffer, n, m_source.m_nInputOffset);
        m_source.m_nInputOffset += static_cast<std::int64_t>(got);
        return static_cast<std::int64_t>(got);
    }
    std::int64_t ReadPipe(std::uint8_t* buffer, std::size_t n)
    {
        for (;;) {
            if (m_source.m_bStop.load())
                return -1;
            const std::int64_t got = platform::ReadSome(m_source.m_hInput, buffer, n, CStreamSource::kPollMs);
            if (got != platform::kReadTimedOut)
                return got;
        }
    }

    CStreamSource& m_source;
    const std::vector<std::uint8_t>& m_head;
    std::size_t m_nHeadUsed = 0;
};

namespace {

// The text, appended to the anonymous file.
class OutputSink : public IByteSink {
public:
    explicit OutputSink(std::function<bool(const std::uint8_t*, std::size_t)> append) : m_append(std::move(append)) {}
    bool Write(const std::uint8_t* data, std::size_t n) override { return m_append(data, n); }

private:
    std::function<bool(const std::uint8_t*, std::size_t)> m_append;
};

}  // namespace

bool CStreamSource::Start(platform::FileHandle input, bool pipe, platform::FileHandle output, std::uint64_t limit)
{
    Stop();
    m_hInput = input;
    m_hOutput = output;
    m_bPipe = pipe;
    m_nLimit = limit;
    m_nInputOffset = 0;
    m_bStop = false;
    {
        std::lock_guard<std::mutex> g(m_lock);
        m_progress = Progress{};
        m_progress.limit = limit;
    }
    try {
        m_hThread = std::thread(&CStreamSource::ReadThreadProc, this);
    } catch (const std::exception& e) {
        platform::ReportProblem(std::string("cannot start reading: ") + e.what());
        Finish(State::Failed);
        return false;
    }
    return true;
}

void CStreamSource::Stop()
{
    if (m_hThread.joinable()) {
        m_bStop = true;
        m_hThread.join();
    }
    // Standard input stays open for the process; any other input is ours.
    if (m_hInput != platform::kInvalidFile && m_hInput != platform::kStandardInput)
        platform::CloseFile(m_hInput);
    m_hInput = platform::kInvalidFile;
}

void CStreamSource::AddWindow(platform::HWND hwnd)
{
    std::lock_guard<std::mutex> g(m_lock);
    if (std::find(m_windows.begin(), m_windows.end(), hwnd) == m_windows.end())
        m_windows.push_back(hwnd);
}

void CStreamSource::RemoveWindow(platform::HWND hwnd)
{
    std::lock_guard<std::mutex> g(m_lock);
    m_windows.erase(std::remove(m_windows.begin(), m_windows.end(), hwnd), m_windows.end());
}

CStreamSource::Progress CStreamSource::GetProgress() const
{
    std::lock_guard<std::mutex> g(m_lock);
    return m_progress;
}

void CStreamSource::NotifyWindows()
{
    // The watchers of the text first: a window that shows it follows it.
    platform::WakeFileListeners(m_hOutput);
    std::lock_guard<std::mutex> g(m_lock);
    for (platform::HWND h : m_windows)
        if (platform::IsWindow(h))
            platform::PostWindowMessage(h, platform::WM_SOURCE_PROGRESS, 0, 0);
}

void CStreamSource::Finish(State state, std::string problem, std::uint64_t declared)
{
    {
        std::lock_guard<std::mutex> g(m_lock);
        m_progress.state = state;
        m_progress.problem = std::move(problem);
        m_progress.declared = declared;
    }
    NotifyWindows();
}

bool CStreamSource::Append(const std::uint8_t* data, std::size_t n)
{
    std::uint64_t at;
    {
        std::lock_guard<std::mutex> g(m_lock);
        at = m_progress.bytes;
    }
    if (!platform::WriteAt(m_hOutput, data, n, static_cast<std::int64_t>(at)))
        return false;
    {
        std::lock_guard<std::mutex> g(m_lock);
        m_progress.bytes = at + n;
    }
    NotifyWindows();
    return true;
}

bool CStreamSource::ReadHead(std::vector<std::uint8_t>& head)
{
    head.resize(kHeadBytes);
    std::size_t have = 0;
    if (!m_bPipe) {
        have = static_cast<std::size_t>(platform::ReadAt(m_hInput, head.data(), kHeadBytes, 0));
        m_nInputOffset = static_cast<std::int64_t>(have);
    } else {
        // A pipe gives what its writer wrote: the head may come in pieces, or
        // never be whole (a short input).
        const std::vector<std::uint8_t> none;
        CStreamSourceInput in(*this, none);
        while (have < kHeadBytes) {
            const std::int64_t got = in.Read(head.data() + have, kHeadBytes - have);
            if (got < 0)
                return false;
            if (got == 0)
                break;
            have += static_cast<std::size_t>(got);
            // A line typed at a terminal, or a first log line: show it without
            // waiting for the rest of the head.
            if (DetectCompression(head.data(), have) == Compression::None && !MayBeCompressionMagic(head.data(), have))
                break;
        }
    }
    head.resize(have);
    const Compression c = DetectCompression(head.data(), head.size());
    std::lock_guard<std::mutex> g(m_lock);
    m_progress.compression = c;
    m_progress.headKnown = true;
    return true;
}

void CStreamSource::ReadThreadProc()
{
    platform::NameCurrentThread("ostrel-source");
    std::vector<std::uint8_t> head;
    if (!ReadHead(head)) {
        Finish(State::Failed);
        return;
    }
    const Compression c = DetectCompression(head.data(), head.size());
    if (c == Compression::None)
        Copy(head);
    else
        Unpack(c, head);
}

void CStreamSource::Copy(std::vector<std::uint8_t>& head)
{
    CStreamSourceInput in(*this, head);
    std::vector<std::uint8_t> block(kPipeBlock);
    std::uint64_t total = 0;
    for (;;) {
        const std::int64_t got = in.Read(block.data(), block.size());
        if (got < 0)
            return Finish(State::Failed);
        if (got == 0)
            return Finish(State::Complete);
        const std::size_t take = static_cast<std::size_t>(std::min<std::uint64_t>(got, m_nLimit - total));
        if (take > 0 && !Append(block.data(), take))
            return Finish(State::Failed);
        total += take;
        if (take < static_cast<std::size_t>(got))
            return Finish(State::OverLimit);
    }
}

std::uint64_t CStreamSource::DeclaredSize(Compression c, const std::vector<std::uint8_t>& head)
{
    if (c == Compression::Zstd)
        return ZstdDeclaredSize(head.data(), head.size());
    if (c != Compression::Xz || m_bPipe)
        return 0;
    auto readAt = [](void* fd, std::uint8_t* buffer, std::uint64_t n, std::int64_t offset) {
        return platform::ReadAt(*static_cast<platform::FileHandle*>(fd), buffer, n, offset);
    };
    const std::int64_t size = platform::FileSizeByHandle(m_hInput);
    return size > 0 ? XzDeclaredSize(readAt, &m_hInput, static_cast<std::uint64_t>(size)) : 0;
}

void CStreamSource::Unpack(Compression c, std::vector<std::uint8_t>& head)
{
    const std::uint64_t declared = DeclaredSize(c, head);
    if (declared > m_nLimit)
        return Finish(State::Declared, {}, declared);
    CStreamSourceInput in(*this, head);
    OutputSink out([this](const std::uint8_t* data, std::size_t n) { return Append(data, n); });
    const DecompressResult r = Decompress(c, in, out, m_nLimit, &m_bStop);
    switch (r.status) {
    case DecompressResult::Status::Complete: return Finish(State::Complete);
    case DecompressResult::Status::Damaged: return Finish(State::Damaged, r.problem);
    case DecompressResult::Status::OverLimit: return Finish(State::OverLimit);
    case DecompressResult::Status::Declared: return Finish(State::Declared, {}, r.declared);
    case DecompressResult::Status::Failed: return Finish(State::Failed);
    }
}
