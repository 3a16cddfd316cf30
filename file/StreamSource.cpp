#include "file/StreamSource.h"

#include "platform/Process.h"
#include "platform/SigbusGuard.h"
#include "platform/Window.h"

#include <algorithm>
#include <condition_variable>
#include <cstring>
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

// The text, appended to the anonymous file by a thread of its own while the
// decompressor fills the next block: a write into memory costs the kernel a
// page for every 4 KiB and a copy, about a third of the decompression
// itself, and on another core it costs no time. Two blocks take turns; Write
// waits only while the other block is still being written. When no thread
// can be started, the text is appended at once from the decompressor's block.
class BackgroundSink : public IByteSink {
public:
    BackgroundSink(std::function<bool(const std::uint8_t*, std::size_t)> append, std::size_t block)
        : m_append(std::move(append))
    {
        try {
            m_thread = std::thread(&BackgroundSink::Run, this);
            m_blocks[0].resize(block);
            m_blocks[1].resize(block);
        } catch (const std::exception&) {
            Finish();
        }
    }
    ~BackgroundSink() override { Finish(); }

    std::uint8_t* NextBlock(std::uint8_t* own, std::size_t size) override
    {
        if (!m_thread.joinable() || m_blocks[0].size() < size)
            return own;
        m_nNext ^= 1;
        return m_blocks[m_nNext].data();
    }
    bool Write(const std::uint8_t* data, std::size_t n) override
    {
        if (!m_thread.joinable())
            return m_append(data, n);
        std::unique_lock<std::mutex> g(m_lock);
        m_cv.wait(g, [this] { return !m_pending; });
        m_pending = data;
        m_nPending = n;
        m_cv.notify_all();
        return !m_bFailed;
    }
    // Waits until every block handed over is kept; false when one was not.
    bool Finish()
    {
        {
            std::unique_lock<std::mutex> g(m_lock);
            m_cv.wait(g, [this] { return !m_pending; });
            m_bDone = true;
            m_cv.notify_all();
        }
        if (m_thread.joinable())
            m_thread.join();
        return !m_bFailed;
    }

private:
    void Run()
    {
        platform::NameCurrentThread("ostrel-sink");
        std::unique_lock<std::mutex> g(m_lock);
        for (;;) {
            m_cv.wait(g, [this] { return m_pending || m_bDone; });
            if (!m_pending)
                return;
            const std::uint8_t* data = m_pending;
            const std::size_t n = m_nPending;
            const bool failed = m_bFailed;
            g.unlock();
            const bool ok = !failed && m_append(data, n);
            g.lock();
            m_bFailed = !ok;
            m_pending = nullptr;
            m_cv.notify_all();
        }
    }

    std::function<bool(const std::uint8_t*, std::size_t)> m_append;
    std::vector<std::uint8_t> m_blocks[2];
    int m_nNext = 0;  // decompressor's side only
    std::thread m_thread;
    std::mutex m_lock;
    std::condition_variable m_cv;
    const std::uint8_t* m_pending = nullptr;  // guarded by m_lock: the block being written
    std::size_t m_nPending = 0;               // guarded by m_lock
    bool m_bFailed = false;                   // guarded by m_lock
    bool m_bDone = false;                     // guarded by m_lock
};

}  // namespace

bool CStreamSource::Start(platform::FileHandle input, bool pipe, platform::FileHandle output, std::uint64_t limit)
{
    Stop();
    m_pProducer.reset();
    return Launch(input, pipe, output, limit);
}

bool CStreamSource::Launch(platform::FileHandle input, bool pipe, platform::FileHandle output, std::uint64_t limit)
{
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
        // A producer's text has no head to sniff: it is plain from its first byte.
        m_progress.headKnown = m_pProducer != nullptr;
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

bool CStreamSource::StartProducer(std::shared_ptr<IProducer> producer, platform::FileHandle output, std::uint64_t limit)
{
    Stop();
    m_pProducer = std::move(producer);
    return Launch(platform::kInvalidFile, true, output, limit);
}

bool CStreamSource::ClearText()
{
    if (!platform::SetFileLength(m_hOutput, 0))
        return false;
    {
        std::lock_guard<std::mutex> g(m_lock);
        m_progress.bytes = 0;
    }
    NotifyWindows();
    return true;
}

void CStreamSource::TextReplaced(std::uint64_t bytes)
{
    {
        std::lock_guard<std::mutex> g(m_lock);
        m_progress.bytes = bytes;
    }
    NotifyWindows();
}

void CStreamSource::Stop()
{
    if (m_hThread.joinable()) {
        m_bStop = true;
        if (m_pProducer)
            m_pProducer->Wake();
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

namespace {

bool AllZero(const std::uint8_t* p, std::size_t n)
{
    return n == 0 || (p[0] == 0 && std::memcmp(p, p + 1, n - 1) == 0);
}

}  // namespace

// Whole pages of zeros are not written but left as holes of the anonymous
// file: they take no memory and no time, and every long walk of a window
// steps over a hole unread, so that a text of zeros (a preallocated log, one
// cut short by a crash, a decompression bomb) costs its reader nothing per
// byte and is shown at once however long it is.
bool CStreamSource::Append(const std::uint8_t* data, std::size_t n)
{
    std::uint64_t at;
    {
        std::lock_guard<std::mutex> g(m_lock);
        at = m_progress.bytes;
    }
    constexpr std::size_t kPage = 4096;
    std::size_t run = 0;  // the start of what is still to be written
    for (std::size_t p = 0; p < n;) {
        const std::size_t next = std::min(n, p + (kPage - static_cast<std::size_t>((at + p) % kPage)));
        if (next - p == kPage && AllZero(data + p, kPage)) {
            if (run < p && !platform::WriteAt(m_hOutput, data + run, p - run, static_cast<std::int64_t>(at + run)))
                return false;
            run = next;
        }
        p = next;
    }
    if (run < n ? !platform::WriteAt(m_hOutput, data + run, n - run, static_cast<std::int64_t>(at + run))
                : !platform::SetFileLength(m_hOutput, at + n))
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
    if (m_pProducer) {
        Finish(m_pProducer->Produce(*this));
        return;
    }
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
    BackgroundSink out([this](const std::uint8_t* data, std::size_t n) { return Append(data, n); }, kDecompressBlock);
    DecompressResult r = Decompress(c, in, out, m_nLimit, &m_bStop);
    if (!out.Finish())
        r.status = DecompressResult::Status::Failed;
    switch (r.status) {
    case DecompressResult::Status::Complete: return Finish(State::Complete);
    case DecompressResult::Status::Damaged: return Finish(State::Damaged, r.problem);
    case DecompressResult::Status::OverLimit: return Finish(State::OverLimit);
    case DecompressResult::Status::Declared: return Finish(State::Declared, {}, r.declared);
    case DecompressResult::Status::Failed: return Finish(State::Failed);
    }
}
