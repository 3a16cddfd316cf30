// Helpers for the tests that follow changing files: a separate writer
// process (tests/helpers/file_writer.cpp), message pumping with deadlines,
// and a window stand-in that records what it is posted.
#pragma once

#include "platform/DirWatch.h"
#include "platform/Types.h"
#include "platform/Window.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <functional>
#include <poll.h>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace followtest {

using Clock = std::chrono::steady_clock;

// Each test starts and ends with directory notifications on and no message
// left waiting from another test.
class WatchingTest : public ::testing::Test {
protected:
    void SetUp() override { Reset(); }
    void TearDown() override { Reset(); }
    static void Reset()
    {
        platform::DirWatch::SetEnabled(true);
        platform::DrainPostedMessages();
    }
};

inline std::string BinDir()
{
    const char* env = std::getenv("OSTREL_BIN_DIR");
    return env && *env ? env : OSTREL_BIN_DIR;
}

inline double MsSince(Clock::time_point t0)
{
    return std::chrono::duration<double, std::milli>(Clock::now() - t0).count();
}

// Delivers posted messages until `done` holds or `timeoutMs` pass; whether
// it held. The short pause between rounds only keeps the loop from spinning.
inline bool PumpUntil(const std::function<bool()>& done, int timeoutMs = 5000)
{
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        platform::DrainPostedMessages();
        if (done())
            return true;
        if (Clock::now() >= deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

// A running file_writer on one path. Do() sends a command and waits for its
// answer; Send()/Await() split the two for long commands.
class WriterProcess {
public:
    explicit WriterProcess(const std::string& path)
    {
        std::signal(SIGPIPE, SIG_IGN);  // a writer that died must fail a test, not kill it
        int in[2], out[2];
        if (::pipe2(in, O_CLOEXEC) != 0 || ::pipe2(out, O_CLOEXEC) != 0)
            return;
        posix_spawn_file_actions_t fa;
        posix_spawn_file_actions_init(&fa);
        posix_spawn_file_actions_adddup2(&fa, in[0], 0);
        posix_spawn_file_actions_adddup2(&fa, out[1], 1);
        std::string exe = BinDir() + "/file_writer";
        std::string arg = path;
        char* argv[] = {exe.data(), arg.data(), nullptr};
        if (posix_spawn(&m_pid, exe.c_str(), &fa, nullptr, argv, environ) != 0)
            m_pid = -1;
        posix_spawn_file_actions_destroy(&fa);
        ::close(in[0]);
        ::close(out[1]);
        m_in = in[1];
        m_out = out[0];
    }
    ~WriterProcess()
    {
        if (m_in >= 0) {
            Write("quit\n");
            ::close(m_in);
        }
        if (m_pid > 0) {
            int status = 0;
            ::waitpid(m_pid, &status, 0);
        }
        if (m_out >= 0)
            ::close(m_out);
    }
    WriterProcess(const WriterProcess&) = delete;
    WriterProcess& operator=(const WriterProcess&) = delete;

    bool Running() const { return m_pid > 0; }
    bool Send(const std::string& command) { return Write(command + "\n"); }
    // The answer of the oldest command sent; true for "ok".
    bool Await(int timeoutMs = 60000)
    {
        const std::string line = ReadLine(timeoutMs);
        m_last = line;
        return line == "ok";
    }
    bool Do(const std::string& command, int timeoutMs = 60000) { return Send(command) && Await(timeoutMs); }
    // Whether the answer to a command sent has arrived (without taking it).
    bool AnswerReady()
    {
        pollfd p{m_out, POLLIN, 0};
        return m_buf.find('\n') != std::string::npos || ::poll(&p, 1, 0) > 0;
    }
    const std::string& LastAnswer() const { return m_last; }

private:
    bool Write(const std::string& s)
    {
        std::size_t done = 0;
        while (done < s.size()) {
            const ssize_t n = ::write(m_in, s.data() + done, s.size() - done);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                return false;
            done += static_cast<std::size_t>(n);
        }
        return true;
    }
    std::string ReadLine(int timeoutMs)
    {
        const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
        for (;;) {
            const std::size_t nl = m_buf.find('\n');
            if (nl != std::string::npos) {
                std::string line = m_buf.substr(0, nl);
                m_buf.erase(0, nl + 1);
                return line;
            }
            const int left = static_cast<int>(std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count());
            if (left <= 0)
                return "timeout";
            pollfd p{m_out, POLLIN, 0};
            if (::poll(&p, 1, left) <= 0)
                continue;
            char chunk[256];
            const ssize_t n = ::read(m_out, chunk, sizeof chunk);
            if (n <= 0)
                return "eof";
            m_buf.append(chunk, static_cast<std::size_t>(n));
        }
    }

    pid_t m_pid = -1;
    int m_in = -1, m_out = -1;
    std::string m_buf, m_last;
};

// Stands for a window: records the WM_FILE_CHANGED messages it is posted.
struct RecordingTarget : platform::IMessageTarget {
    struct Got {
        std::uintptr_t wParam;
        std::intptr_t lParam;
    };
    RecordingTarget() : hwnd(platform::RegisterWindow(this)) {}
    ~RecordingTarget() override { Destroy(); }
    void Destroy()
    {
        if (hwnd)
            platform::UnregisterWindow(hwnd);
        hwnd = 0;
    }
    std::intptr_t HandleMessage(unsigned msg, std::uintptr_t wParam, std::intptr_t lParam) override
    {
        if (msg == platform::WM_FILE_CHANGED) {
            got.push_back({wParam, lParam});
            if (log)
                log->push_back(id);
        }
        return 0;
    }
    platform::HWND hwnd;
    std::vector<Got> got;
    std::vector<platform::HWND>* log = nullptr;  // shared delivery order, when set
    platform::HWND id = hwnd;
};

// Descriptors of this process that are inotify instances.
inline int InotifyInstances()
{
    int count = 0;
    if (DIR* d = ::opendir("/proc/self/fd")) {
        while (dirent* e = ::readdir(d)) {
            char target[256];
            const std::string link = std::string("/proc/self/fd/") + e->d_name;
            const ssize_t n = ::readlink(link.c_str(), target, sizeof target - 1);
            if (n > 0 && std::string(target, static_cast<std::size_t>(n)) == "anon_inode:inotify")
                ++count;
        }
        ::closedir(d);
    }
    return count;
}

inline bool ThreadExists(int tid)
{
    return tid > 0 && ::access(("/proc/self/task/" + std::to_string(tid)).c_str(), F_OK) == 0;
}

}  // namespace followtest
