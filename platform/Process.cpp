#include "platform/Process.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <mutex>
#include <pthread.h>
#include <pwd.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace platform {

namespace {

// The threads that end command groups: joined when the program ends, so that a group that ignores SIGTERM
// still gets its SIGKILL.
struct Enders {
    std::mutex lock;
    std::vector<std::thread> threads;
    ~Enders()
    {
        std::lock_guard<std::mutex> hold(lock);
        for (std::thread& t : threads)
            if (t.joinable())
                t.join();
    }
};

Enders& TheEnders()
{
    static Enders enders;
    return enders;
}

int StatusOf(int waited)
{
    if (WIFEXITED(waited))
        return WEXITSTATUS(waited);
    if (WIFSIGNALED(waited))
        return 128 + WTERMSIG(waited);
    return -1;
}

}  // namespace

bool StartShellCommand(const std::string& command, ShellCommand& out, std::string& error, FileHandle errors)
{
    int ends[2];
    if (::pipe2(ends, O_CLOEXEC) != 0) {
        error = std::strerror(errno);
        return false;
    }
    posix_spawn_file_actions_t actions;
    posix_spawnattr_t attr;
    posix_spawn_file_actions_init(&actions);
    posix_spawnattr_init(&attr);
    posix_spawn_file_actions_addclose(&actions, 0);
    posix_spawn_file_actions_adddup2(&actions, ends[1], 1);
    posix_spawn_file_actions_adddup2(&actions, errors != kInvalidFile ? errors : ends[1], 2);
    // A group of its own, so that ending it ends what the shell started; signals as a fresh process has them.
    sigset_t none, defaults;
    sigemptyset(&none);
    sigemptyset(&defaults);
    sigaddset(&defaults, SIGPIPE);
    sigaddset(&defaults, SIGTERM);
    sigaddset(&defaults, SIGINT);
    posix_spawnattr_setpgroup(&attr, 0);
    posix_spawnattr_setsigmask(&attr, &none);
    posix_spawnattr_setsigdefault(&attr, &defaults);
    posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETPGROUP | POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
    char sh[] = "/bin/sh", c[] = "-c";
    std::string line = command;
    char* argv[] = {sh, c, line.data(), nullptr};
    pid_t pid = -1;
    const int failed = posix_spawn(&pid, "/bin/sh", &actions, &attr, argv, environ);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attr);
    ::close(ends[1]);
    if (failed != 0) {
        ::close(ends[0]);
        error = std::strerror(failed);
        return false;
    }
    out.pid = pid;
    out.output = ends[0];
    return true;
}

bool PollCommandEnd(int pid, int& status)
{
    if (pid <= 0)
        return false;
    int waited = 0;
    if (::waitpid(pid, &waited, WNOHANG) != pid)
        return false;
    status = StatusOf(waited);
    return true;
}

void EndCommandGroup(int pid)
{
    if (pid <= 0)
        return;
    ::kill(-pid, SIGTERM);
    Enders& enders = TheEnders();
    std::lock_guard<std::mutex> hold(enders.lock);
    enders.threads.emplace_back([pid] {
        using Clock = std::chrono::steady_clock;
        const Clock::time_point last = Clock::now() + std::chrono::seconds(2);
        int waited = 0;
        // The shell is reaped here unless its end was polled already; the group is gone when no member is left.
        while (Clock::now() < last) {
            ::waitpid(pid, &waited, WNOHANG);
            if (::kill(-pid, 0) != 0 && errno == ESRCH)
                return;
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        ::kill(-pid, SIGKILL);
        ::waitpid(pid, &waited, 0);
    });
}

unsigned long long PhysicalMemoryBytes()
{
    const long pages = ::sysconf(_SC_PHYS_PAGES);
    const long size = ::sysconf(_SC_PAGESIZE);
    return pages > 0 && size > 0 ? static_cast<unsigned long long>(pages) * static_cast<unsigned long long>(size) : 0;
}

unsigned UserId()
{
    return static_cast<unsigned>(::getuid());
}

std::string PasswdHome()
{
    std::vector<char> buf(16384);
    struct passwd pw {};
    struct passwd* result = nullptr;
    if (::getpwuid_r(::getuid(), &pw, buf.data(), buf.size(), &result) != 0 || !result || !result->pw_dir)
        return {};
    return result->pw_dir;
}

void NameCurrentThread(const char* name)
{
    ::pthread_setname_np(::pthread_self(), name);
}

int CurrentThreadId()
{
    return static_cast<int>(::syscall(SYS_gettid));
}

unsigned long RaiseOpenFileLimit()
{
    struct rlimit rl {};
    if (::getrlimit(RLIMIT_NOFILE, &rl) != 0)
        return 0;
    if (rl.rlim_cur < rl.rlim_max) {
        struct rlimit raised = rl;
        raised.rlim_cur = rl.rlim_max;
        if (::setrlimit(RLIMIT_NOFILE, &raised) == 0)
            rl = raised;
    }
    return static_cast<unsigned long>(rl.rlim_cur);
}

void ReportProblem(const std::string& text)
{
    // One write, so that lines from several threads never interleave.
    const std::string line = std::string(program_invocation_short_name) + ": " + text + "\n";
    for (std::size_t done = 0; done < line.size();) {
        const ssize_t n = ::write(STDERR_FILENO, line.data() + done, line.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return;
        done += static_cast<std::size_t>(n);
    }
}

}  // namespace platform
