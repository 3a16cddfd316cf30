// Helpers for the tests that follow changing files: helper processes (a
// writer that changes files on command, tests/helpers/file_writer.cpp),
// message pumping up to a generous ceiling, a window stand-in that records
// what it is posted, and the highlight rules that appended lines meet.
#pragma once

#include "engine/HighlightRules.h"
#include "file/FileWatcher.h"
#include "platform/DirWatch.h"
#include "platform/Types.h"
#include "platform/Window.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <functional>
#include <memory>
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
// left waiting from another test. Its watchers poll every few milliseconds,
// so that a wait for a size check without notification is short.
class WatchingTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        Reset();
        CFileWatcher::SetPollPeriod(kTestPollMs);
    }
    void TearDown() override
    {
        Reset();
        CFileWatcher::SetPollPeriod(CFileWatcher::kWaitMs);
    }
    static void Reset()
    {
        platform::DirWatch::SetEnabled(true);
        platform::DrainPostedMessages();
    }
    static constexpr int kTestPollMs = 20;
};

// Delivers posted messages until `done` holds; false when it still does not
// after `ceilingMs` (a ceiling for a stuck case, far above the usual wait).
inline bool PumpUntil(const std::function<bool()>& done, int ceilingMs = 30000)
{
    const auto deadline = Clock::now() + std::chrono::milliseconds(ceilingMs);
    for (;;) {
        platform::DrainPostedMessages();
        if (done())
            return true;
        if (Clock::now() >= deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

// Waits until the watcher has made `n` more size checks than now, so that a
// change made before this call has certainly been looked at.
inline bool WaitChecks(const CFileWatcher& w, int n)
{
    const std::uint64_t target = w.CheckCount() + static_cast<std::uint64_t>(n);
    return PumpUntil([&] { return w.CheckCount() >= target; });
}

// Starts a helper program of the build with `args`, its standard input and
// output on the given descriptors (-1: inherited); its pid, or -1.
inline pid_t Spawn(const std::string& name, std::vector<std::string> args, int in = -1, int out = -1)
{
    const char* env = std::getenv("OSTREL_BIN_DIR");
    std::string exe = std::string(env && *env ? env : OSTREL_BIN_DIR) + "/" + name;
    args.insert(args.begin(), exe);
    std::vector<char*> argv;
    for (std::string& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t fa;
    posix_spawn_file_actions_init(&fa);
    if (in >= 0)
        posix_spawn_file_actions_adddup2(&fa, in, 0);
    if (out >= 0)
        posix_spawn_file_actions_adddup2(&fa, out, 1);
    pid_t pid = -1;
    if (posix_spawn(&pid, exe.c_str(), &fa, nullptr, argv.data(), environ) != 0)
        pid = -1;
    posix_spawn_file_actions_destroy(&fa);
    return pid;
}

// The exit status of a helper, or -1 when it did not exit normally.
inline int WaitExit(pid_t pid)
{
    int status = 0;
    return pid > 0 && ::waitpid(pid, &status, 0) == pid && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
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
        m_pid = Spawn("file_writer", {path}, in[0], out[1]);
        ::close(in[0]);
        ::close(out[1]);
        m_in = in[1];
        m_out = out[0];
    }
    ~WriterProcess()
    {
        if (m_in >= 0) {
            Send("quit");
            ::close(m_in);
        }
        WaitExit(m_pid);
        if (m_out >= 0)
            ::close(m_out);
    }
    WriterProcess(const WriterProcess&) = delete;
    WriterProcess& operator=(const WriterProcess&) = delete;

    bool Send(const std::string& command)
    {
        const std::string s = command + "\n";
        for (std::size_t done = 0; done < s.size();) {
            const ssize_t n = ::write(m_in, s.data() + done, s.size() - done);
            if (n <= 0 && errno != EINTR)
                return false;
            done += n > 0 ? static_cast<std::size_t>(n) : 0;
        }
        return true;
    }
    // The answer of the oldest command sent; true for "ok".
    bool Await()
    {
        std::size_t nl;
        while ((nl = m_buf.find('\n')) == std::string::npos) {
            pollfd p{m_out, POLLIN, 0};
            char chunk[256];
            const ssize_t n = ::poll(&p, 1, 120000) > 0 ? ::read(m_out, chunk, sizeof chunk) : 0;
            if (n <= 0) {
                m_last = "no answer";
                return false;
            }
            m_buf.append(chunk, static_cast<std::size_t>(n));
        }
        m_last = m_buf.substr(0, nl);
        m_buf.erase(0, nl + 1);
        return m_last == "ok";
    }
    bool Do(const std::string& command) { return Send(command) && Await(); }
    // Whether the answer to a command sent has arrived (without taking it).
    bool AnswerReady()
    {
        pollfd p{m_out, POLLIN, 0};
        return m_buf.find('\n') != std::string::npos || ::poll(&p, 1, 0) > 0;
    }
    const std::string& LastAnswer() const { return m_last; }

private:
    pid_t m_pid = -1;
    int m_in = -1, m_out = -1;
    std::string m_buf, m_last;
};

// Stands for a window: records the WM_FILE_CHANGED messages it is posted.
struct RecordingTarget : platform::IMessageTarget {
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
        if (msg == platform::WM_FILE_CHANGED && wParam == 1 && lParam == 0) {
            ++got;
            if (log)
                log->push_back(id);
        }
        return 0;
    }
    platform::HWND hwnd;
    std::size_t got = 0;                         // WM_FILE_CHANGED (1, 0) messages
    std::vector<platform::HWND>* log = nullptr;  // shared delivery order, when set
    platform::HWND id = hwnd;
};

// Puts highlight rules in force for the process for one scope.
struct ScopedRules {
    explicit ScopedRules(std::vector<HighlightRule> rules) : set(std::make_shared<CHighlightRules>(std::move(rules)))
    {
        SetCurrentHighlightRules(set);
    }
    ~ScopedRules() { SetCurrentHighlightRules(nullptr); }
    std::shared_ptr<CHighlightRules> set;
};

// What each descriptor this process has open names (a path, "anon_inode:inotify"), the one that reads the
// folder of descriptors left out.
inline std::vector<std::string> DescriptorTargets()
{
    std::vector<std::string> targets;
    if (DIR* d = ::opendir("/proc/self/fd")) {
        while (dirent* e = ::readdir(d)) {
            char target[4096];
            const ssize_t n = ::readlinkat(::dirfd(d), e->d_name, target, sizeof target);
            if (n > 0 && std::atoi(e->d_name) != ::dirfd(d))
                targets.emplace_back(target, static_cast<std::size_t>(n));
        }
        ::closedir(d);
    }
    return targets;
}

inline int InotifyInstances()
{
    const std::vector<std::string> targets = DescriptorTargets();
    return static_cast<int>(std::count(targets.begin(), targets.end(), "anon_inode:inotify"));
}

inline bool ThreadExists(int tid)
{
    return tid > 0 && ::access(("/proc/self/task/" + std::to_string(tid)).c_str(), F_OK) == 0;
}

}  // namespace followtest
