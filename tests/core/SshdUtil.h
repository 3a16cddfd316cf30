// An OpenSSH server of the test's own on 127.0.0.1, on a port it picks, with
// its own host key, user key, authorized_keys, known_hosts and both
// configurations in a temporary folder; the client is told to use them by
// $OSTREL_SSH ("ssh -F FILE"), so nothing of the machine's ssh setup is read
// or written and nothing reaches another machine.
//
// sshd started as root needs its privilege-separation folder /run/sshd. The
// server runs in a mount namespace of its own in which a folder of the test
// is bound over /run, so /run/sshd exists only there; and in a process-id
// namespace of its own whose first process is sshd, so that killing it ends
// every session and remote command it started: nothing outlives the test.
#pragma once

#include "tests/core/TestUtil.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

namespace sshdtest {

using testutil::ReadFile;

// A free port on 127.0.0.1 (closed again: the server binds it a moment later).
inline int FreePort()
{
    const int s = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof a;
    int port = 0;
    if (::bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0 &&
        ::getsockname(s, reinterpret_cast<sockaddr*>(&a), &len) == 0)
        port = ntohs(a.sin_port);
    ::close(s);
    return port;
}

inline bool Accepts(int port)
{
    const int s = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(static_cast<std::uint16_t>(port));
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    const bool ok = ::connect(s, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
    ::close(s);
    return ok;
}

// The parent's id of a process, or -1.
inline int ParentOf(int pid)
{
    const std::string stat = ReadFile("/proc/" + std::to_string(pid) + "/stat");
    const std::size_t close = stat.rfind(')');
    if (close == std::string::npos)
        return -1;
    int ppid = -1;
    char state = 0;
    return std::sscanf(stat.c_str() + close + 1, " %c %d", &state, &ppid) == 2 ? ppid : -1;
}

// Every running process (not a zombie) whose command line holds `text`.
inline std::vector<int> ProcessesNaming(const std::string& text)
{
    std::vector<int> found;
    for (const auto& entry : std::filesystem::directory_iterator("/proc")) {
        const std::string name = entry.path().filename().string();
        if (name.find_first_not_of("0123456789") != std::string::npos)
            continue;
        std::string cmdline = ReadFile(entry.path().string() + "/cmdline");
        for (char& c : cmdline)
            if (c == '\0')
                c = ' ';
        if (!cmdline.empty() && cmdline.find(text) != std::string::npos)
            found.push_back(std::stoi(name));
    }
    return found;
}

class TestSshd {
public:
    TestSshd()
    {
        const std::string& d = m_dir.Path();
        std::filesystem::create_directory(d + "/run");
        if (!Run("ssh-keygen -q -t ed25519 -N '' -f " + d + "/host_key") ||
            !Run("ssh-keygen -q -t ed25519 -N '' -f " + d + "/user_key") ||
            !Run("ssh-keygen -q -t ed25519 -N '' -f " + d + "/other_key")) {
            m_problem = "ssh-keygen failed";
            return;
        }
        std::filesystem::copy_file(d + "/user_key.pub", d + "/authorized_keys");
        for (int attempt = 0; attempt < 3 && m_port == 0; ++attempt)
            Start();
    }
    ~TestSshd() { Stop(); }
    TestSshd(const TestSshd&) = delete;
    TestSshd& operator=(const TestSshd&) = delete;

    // Empty when the server accepts connections; else why not.
    const std::string& Problem() const { return m_problem; }
    int Port() const { return m_port; }
    const std::string& Dir() const { return m_dir.Path(); }
    std::string File(const std::string& name) const { return m_dir.File(name); }
    // A client configuration: `key` the key it offers, `knownHosts` whether it knows the server's host key.
    std::string ClientCommand(const std::string& key = "user_key", bool knownHosts = true) const
    {
        const std::string& d = m_dir.Path();
        const std::string config = d + "/ssh_config_" + key + (knownHosts ? "" : "_unknown");
        std::ofstream(config) << "Host *\n  IdentityFile " << d << "/" << key
                              << "\n  IdentitiesOnly yes\n  IdentityAgent none\n  UserKnownHostsFile " << d
                              << (knownHosts ? "/known_hosts" : "/no_known_hosts")
                              << "\n  GlobalKnownHostsFile /dev/null\n  StrictHostKeyChecking yes\n"
                                 "  ConnectTimeout 10\n  LogLevel ERROR\n";
        return "ssh -F " + config;
    }
    std::string Name(const std::string& path) const { return "ssh://127.0.0.1:" + std::to_string(m_port) + path; }
    // The sessions' processes (sshd's children for each connection): killing one drops its connection.
    std::vector<int> Sessions() const
    {
        std::vector<int> found;
        for (const int pid : ProcessesNaming("sshd: "))
            if (m_server > 0 && ParentOf(pid) == m_server)
                found.push_back(pid);
        return found;
    }

    // Ends the server and all it started; true when nothing of it is left running.
    bool Stop()
    {
        if (m_unshare <= 0)
            return true;
        // The first process of the namespace: when it dies the kernel kills every other one there, and unshare
        // reaps it and exits; unshare killed first would leave it to init to reap.
        if (m_server > 0)
            ::kill(m_server, SIGKILL);
        int status = 0;
        for (int waited = 0; ::waitpid(m_unshare, &status, WNOHANG) != m_unshare; waited += 10) {
            if (waited == 2000 || m_server <= 0)
                ::kill(m_unshare, SIGKILL);  // its child is killed with it (--kill-child)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        m_unshare = -1;
        m_server = -1;
        for (int waited = 0; waited < 5000; waited += 20) {
            if (ProcessesNaming(m_dir.Path()).empty())
                return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        return false;
    }

private:
    static bool Run(const std::string& command) { return std::system(command.c_str()) == 0; }

    void Start()
    {
        const std::string& d = m_dir.Path();
        const int port = FreePort();
        std::ofstream(d + "/sshd_config")
            << "Port " << port << "\nListenAddress 127.0.0.1\nHostKey " << d << "/host_key\nAuthorizedKeysFile " << d
            << "/authorized_keys\nPidFile none\nStrictModes no\nUsePAM no\n"
               "PasswordAuthentication no\nKbdInteractiveAuthentication no\n"
               "PermitRootLogin prohibit-password\n";
        std::ofstream(d + "/known_hosts") << "[127.0.0.1]:" << port << " " << ReadFile(d + "/host_key.pub");
        const std::string script = "mount --bind " + d +
                                   "/run /run && mkdir -p /run/sshd && exec /usr/sbin/sshd -D -e -f " + d +
                                   "/sshd_config";
        const pid_t pid = ::fork();
        if (pid == 0) {
            const int log = ::open((d + "/sshd.log").c_str(), O_WRONLY | O_CREAT | O_APPEND, 0600);
            ::dup2(log, 1);
            ::dup2(log, 2);
            ::execl("/usr/bin/unshare", "unshare", "--fork", "--pid", "--kill-child=SIGKILL", "--mount",
                    "--propagation", "private", "/bin/sh", "-c", script.c_str(), static_cast<char*>(nullptr));
            ::_exit(127);
        }
        m_unshare = pid;
        for (int waited = 0; waited < 10000; waited += 20) {
            if (Accepts(port)) {
                m_port = port;
                for (const auto& entry : std::filesystem::directory_iterator("/proc")) {
                    const std::string name = entry.path().filename().string();
                    if (name.find_first_not_of("0123456789") == std::string::npos &&
                        ParentOf(std::stoi(name)) == m_unshare)
                        m_server = std::stoi(name);
                }
                m_problem.clear();
                return;
            }
            int status = 0;
            if (::waitpid(pid, &status, WNOHANG) == pid) {
                m_unshare = -1;
                m_problem = "sshd did not start: " + ReadFile(d + "/sshd.log");
                return;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        m_problem = "sshd does not accept connections: " + ReadFile(d + "/sshd.log");
        Stop();
    }

    testutil::TempDir m_dir;
    std::string m_problem = "not started";
    int m_port = 0;
    pid_t m_unshare = -1;
    int m_server = -1;  // sshd, the first process of its namespace
};

// Sets $OSTREL_SSH for a test's extent.
class ScopedClient {
public:
    explicit ScopedClient(const std::string& command) { ::setenv("OSTREL_SSH", command.c_str(), 1); }
    ~ScopedClient() { ::unsetenv("OSTREL_SSH"); }
};

}  // namespace sshdtest
