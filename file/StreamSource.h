// The background reader of a document whose text is not a file on disk as it
// stands: a compressed log, or standard input. A thread of its own reads the
// input through its own buffers (pread for a file, reads as data arrives for
// a pipe), decompresses it when its first bytes are the magic of a
// compressed format, and appends the text to an anonymous file in memory
// (platform::CreateAnonymousFile), which the document maps like any file.
//
// After each block it wakes the watchers of that file (so windows showing it
// follow it like a growing log) and posts WM_SOURCE_PROGRESS (0, 0) to the
// windows registered with it. It never touches a window, a mapping or the
// database. Stop cancels it between two blocks (a pipe is waited on at most
// kPollMs at a time) and joins it; the document stops it before it closes the
// anonymous file.
#pragma once

#include "file/Decompress.h"
#include "platform/File.h"
#include "platform/Types.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

class CStreamSource {
public:
    enum class State {
        Running,    // still reading
        Complete,   // all of the input is in the text
        Damaged,    // corrupt or truncated compressed data: the text ends where it stopped
        OverLimit,  // the text reached the limit: it ends there and reading stopped
        Declared,   // the stream declares more text than the limit: nothing was read
        Failed,     // the input could not be read or the text not kept
    };
    struct Progress {
        State state = State::Running;
        std::uint64_t bytes = 0;     // text so far
        std::uint64_t declared = 0;  // Declared: the size the stream declares
        std::uint64_t limit = 0;
        Compression compression = Compression::None;  // known once the first bytes were read
        bool headKnown = false;                       // whether `compression` is known yet
        std::string problem;                          // Damaged: what was wrong
    };

    // What makes the text in place of an input (the journal): it runs on the reader's thread.
    class IProducer {
    public:
        virtual ~IProducer() = default;
        // Appends text with AppendText until there is no more to come or StopRequested; returns the state
        // the text ended in.
        virtual State Produce(CStreamSource& source) = 0;
        // Any thread: ends a wait of Produce at once, so that it looks at the stop flag.
        virtual void Wake() = 0;
    };

    // How long a read of a pipe waits before it looks at the stop flag.
    static constexpr int kPollMs = 100;

    CStreamSource() = default;
    ~CStreamSource() { Stop(); }
    CStreamSource(const CStreamSource&) = delete;
    CStreamSource& operator=(const CStreamSource&) = delete;

    // UI thread. Starts appending the text of `input` to `output` (an
    // anonymous file the caller keeps open until Stop returns), at most
    // `limit` bytes. `input` is taken and closed when reading ends; `pipe`:
    // it is read as data arrives until its writer closes it, otherwise it is
    // a regular file read at offsets. False when no thread could be started.
    bool Start(platform::FileHandle input, bool pipe, platform::FileHandle output, std::uint64_t limit);
    // UI thread. Starts `producer` on the reader's thread, appending to `output` as Start does; the text is
    // shown as it grows, like a pipe's.
    bool StartProducer(std::shared_ptr<IProducer> producer, platform::FileHandle output, std::uint64_t limit);
    // Reader thread, for a producer: appends text to the output (false when it cannot be kept; the limit
    // is the producer's to keep), wakes the watchers and tells the windows.
    bool AppendText(const std::uint8_t* data, std::size_t n) { return Append(data, n); }
    // Reader thread, for a producer: empties the text so that it starts anew (the windows load it again).
    bool ClearText();
    // Reader thread, for a producer: the output now holds `bytes` of text (another file took its descriptor).
    void TextReplaced(std::uint64_t bytes);
    // Reader thread, for a producer: tells the windows that something changed.
    void Notify() { NotifyWindows(); }
    bool StopRequested() const { return m_bStop.load(std::memory_order_relaxed); }
    std::uint64_t Limit() const { return m_nLimit; }
    // UI thread: cancels and joins the thread; the state stays as it was.
    void Stop();

    // UI thread: windows told of progress; a window gone is forgotten by the queue.
    void AddWindow(platform::HWND hwnd);
    void RemoveWindow(platform::HWND hwnd);

    Progress GetProgress() const;
    bool IsPipe() const { return m_bPipe; }

private:
    bool Launch(platform::FileHandle input, bool pipe, platform::FileHandle output, std::uint64_t limit);
    void ReadThreadProc();
    // Reads the head of the input (the magic, a zstd frame header); false when
    // reading failed or was cancelled.
    bool ReadHead(std::vector<std::uint8_t>& head);
    void Copy(std::vector<std::uint8_t>& head);
    void Unpack(Compression c, std::vector<std::uint8_t>& head);
    std::uint64_t DeclaredSize(Compression c, const std::vector<std::uint8_t>& head);
    // Appends text to the output; false when it cannot be kept.
    bool Append(const std::uint8_t* data, std::size_t n);
    void Finish(State state, std::string problem = {}, std::uint64_t declared = 0);
    void NotifyWindows();

    friend class CStreamSourceInput;

    platform::FileHandle m_hInput = platform::kInvalidFile;
    platform::FileHandle m_hOutput = platform::kInvalidFile;
    bool m_bPipe = false;
    std::uint64_t m_nLimit = 0;
    std::int64_t m_nInputOffset = 0;  // reader thread only: next offset of a file input

    std::shared_ptr<IProducer> m_pProducer;
    std::thread m_hThread;
    std::atomic<bool> m_bStop{false};
    mutable std::mutex m_lock;
    Progress m_progress;                    // guarded by m_lock
    std::vector<platform::HWND> m_windows;  // guarded by m_lock
};
