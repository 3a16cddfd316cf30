// A separate writer process for the follow tests: it changes one file on command, so that the viewer sees real file-system
// events from another process.
//
//   file_writer PATH
//
// Reads one command per line from stdin and answers "ok" (or "err WHY") on
// stdout once the command is done. TEXT arguments take the escapes \n, \r,
// \t, \\ and \xHH.
//
//   append TEXT        append through the descriptor held (opened on demand)
//   truncate N         shorten or lengthen the file to N bytes (ftruncate)
//   rename NEWPATH     rename PATH to NEWPATH; the held descriptor follows it
//   create TEXT        make a new file under PATH with TEXT and hold that one
//   delete             unlink PATH (the held descriptor stays open)
//   link TARGET        make PATH a symbolic link to TARGET in one step (a
//                      link made beside it, renamed over PATH)
//   reopen             hold PATH anew
//   stress MS SEED     for MS ms: random appends, rewrites in place, truncations
//                      (some to zero) and regrowth, with short pauses
//   lock  unlock       take or release an exclusive flock on the held descriptor
//   quit
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <random>
#include <string>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

std::string g_path;
int g_fd = -1;

std::string Unescape(const std::string& s)
{
    std::string out;
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (s[i] != '\\' || i + 1 == s.size()) {
            out += s[i];
            continue;
        }
        const char c = s[++i];
        if (c == 'n')
            out += '\n';
        else if (c == 'r')
            out += '\r';
        else if (c == 't')
            out += '\t';
        else if (c == 'x' && i + 2 < s.size()) {
            out += static_cast<char>(std::strtoul(s.substr(i + 1, 2).c_str(), nullptr, 16));
            i += 2;
        } else
            out += c;
    }
    return out;
}

bool Hold()
{
    if (g_fd >= 0)
        return true;
    g_fd = ::open(g_path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    return g_fd >= 0;
}

bool WriteAll(const std::string& bytes, off_t at = -1)
{
    std::size_t done = 0;
    while (done < bytes.size()) {
        ssize_t n = at < 0 ? ::write(g_fd, bytes.data() + done, bytes.size() - done)
                           : ::pwrite(g_fd, bytes.data() + done, bytes.size() - done, at + static_cast<off_t>(done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

bool Append(const std::string& bytes)
{
    if (!Hold())
        return false;
    if (::lseek(g_fd, 0, SEEK_END) < 0)
        return false;
    return WriteAll(bytes);
}

std::int64_t Size()
{
    struct stat st {};
    return g_fd >= 0 && ::fstat(g_fd, &st) == 0 ? static_cast<std::int64_t>(st.st_size) : -1;
}

std::int64_t NowNs()
{
    timespec ts{};
    ::clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<std::int64_t>(ts.tv_sec) * 1000000000 + ts.tv_nsec;
}

bool Stress(long ms, unsigned seed)
{
    if (!Hold())
        return false;
    std::mt19937 rng(seed);
    auto pick = [&](std::uint64_t n) { return n == 0 ? 0 : static_cast<std::uint64_t>(rng() % n); };
    const std::int64_t end = NowNs() + static_cast<std::int64_t>(ms) * 1000000;
    long seq = 0;
    while (NowNs() < end) {
        const std::int64_t size = Size();
        const unsigned op = static_cast<unsigned>(pick(100));
        if (op < 55 || size < 4096) {
            // A burst of lines, sometimes large enough to span pages.
            std::string burst;
            const std::uint64_t lines = 1 + pick(op < 10 ? 2000 : 60);
            for (std::uint64_t i = 0; i < lines; ++i)
                burst += "stress line " + std::to_string(seq++) + " " + std::string(pick(90), 'x') + "\n";
            if (!Append(burst))
                return false;
        } else if (op < 65) {
            if (::ftruncate(g_fd, 0) != 0)  // copy-and-truncate rotation
                return false;
        } else if (op < 85) {
            if (::ftruncate(g_fd, static_cast<off_t>(pick(static_cast<std::uint64_t>(size)))) != 0)
                return false;
        } else if (op < 92) {
            const std::string text = "rewritten in place " + std::to_string(seq++) + "\n";
            const std::uint64_t at = pick(static_cast<std::uint64_t>(size));
            if (!WriteAll(text, static_cast<off_t>(at)))
                return false;
        } else {
            // Regrowth with a hole: the new bytes read as zeros.
            if (::ftruncate(g_fd, static_cast<off_t>(size + 1 + static_cast<std::int64_t>(pick(20000)))) != 0)
                return false;
        }
        if (Size() > (4 << 20) && ::ftruncate(g_fd, 0) != 0)
            return false;
        ::usleep(static_cast<useconds_t>(pick(1500)));
    }
    return true;
}

bool Run(const std::string& line)
{
    const std::size_t sp = line.find(' ');
    const std::string cmd = line.substr(0, sp);
    const std::string arg = sp == std::string::npos ? std::string() : line.substr(sp + 1);
    if (cmd == "append")
        return Append(Unescape(arg));
    if (cmd == "truncate")
        return Hold() && ::ftruncate(g_fd, static_cast<off_t>(std::strtoll(arg.c_str(), nullptr, 10))) == 0;
    if (cmd == "rename")
        return ::rename(g_path.c_str(), arg.c_str()) == 0;
    if (cmd == "create" || cmd == "reopen") {
        if (g_fd >= 0)
            ::close(g_fd);
        g_fd = ::open(g_path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | (cmd == "create" ? O_TRUNC : 0), 0644);
        return g_fd >= 0 && (cmd == "reopen" || WriteAll(Unescape(arg)));
    }
    if (cmd == "delete")
        return ::unlink(g_path.c_str()) == 0;
    if (cmd == "link") {
        const std::string temp = g_path + ".link";
        ::unlink(temp.c_str());
        return ::symlink(arg.c_str(), temp.c_str()) == 0 && ::rename(temp.c_str(), g_path.c_str()) == 0;
    }
    if (cmd == "stress") {
        long ms = 0;
        unsigned seed = 0;
        return std::sscanf(arg.c_str(), "%ld %u", &ms, &seed) == 2 && Stress(ms, seed);
    }
    if (cmd == "lock" || cmd == "unlock")
        return Hold() && ::flock(g_fd, cmd == "lock" ? LOCK_EX : LOCK_UN) == 0;
    return false;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: file_writer PATH  (commands on stdin)\n");
        return 2;
    }
    g_path = argv[1];
    char* line = nullptr;
    size_t cap = 0;
    ssize_t n;
    while ((n = ::getline(&line, &cap, stdin)) > 0) {
        std::string cmd(line, static_cast<std::size_t>(n));
        while (!cmd.empty() && (cmd.back() == '\n' || cmd.back() == '\r'))
            cmd.pop_back();
        if (cmd == "quit")
            break;
        if (Run(cmd))
            std::printf("ok\n");
        else
            std::printf("err %s: %s\n", cmd.c_str(), std::strerror(errno));
        std::fflush(stdout);
    }
    std::free(line);
    if (g_fd >= 0)
        ::close(g_fd);
    return 0;
}
