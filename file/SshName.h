// A file on another machine named ssh://[USER@]HOST[:PORT]/PATH, read by the
// system's ssh client, so that the user's keys, agent, ~/.ssh/config and
// host-key checks decide as they do for any ssh the user runs, and the other
// machine needs nothing but a POSIX shell and its usual tools.
//
// The name never reaches a shell as written: the user, host and port are
// checked against what a name of each may hold (nothing that ssh could read
// as an option), and the path is quoted for the remote shell and the whole
// remote command again for the local one.
#pragma once

#include <string>
#include <string_view>

namespace sshname {

inline constexpr std::string_view kPrefix = "ssh://";

// Why a name is not one ssh can be run on.
enum class Problem {
    None,
    BadUser,  // empty, or not letters, digits, '.', '_', '-' (not first)
    BadHost,  // empty, or not letters, digits, '.', '_', '-' (not first), or a bracketed IPv6 address
    BadPort,  // not a number from 1 to 65535
    BadPath,  // no path after the host, or a control character in it
};

struct Name {
    std::string user;  // empty: ssh's own choice (~/.ssh/config, the local user)
    std::string host;  // an IPv6 address without its brackets
    std::string port;  // empty: ssh's own choice
    std::string path;  // absolute, as written (no %-decoding)
};

// Whether `text` is meant as an ssh name (it starts with kPrefix).
bool IsSshName(std::string_view text);
// Problem::None and `out` filled when `text` is a name ssh can be run on.
Problem Parse(std::string_view text, Name& out);

// `text` in single quotes for a POSIX shell, each ' in it as '\''.
std::string QuoteForShell(std::string_view text);
// What the remote shell runs: tail -c +1 -F on the path, so that the text is
// followed across rotation; a file that starts with compression magic (read
// whole, then decompressed here) or that cannot be opened is read without
// following, so that the reading ends, with tail's own message for a file
// that is missing or unreadable.
std::string RemoteCommand(const std::string& path);
// The local command line (for /bin/sh -c): `client` as given (a command
// line of its own, such as "ssh -F FILE"), never asking for a password or a
// host key, its standard input empty, the name's destination after "--".
std::string CommandLine(const Name& name, const std::string& client);
// The client: $OSTREL_SSH when it is set and not empty, else "ssh".
std::string Client();

}  // namespace sshname
