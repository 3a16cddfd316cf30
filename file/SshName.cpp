#include "file/SshName.h"

#include <cstdlib>

namespace sshname {

namespace {

bool IsWordChar(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' || c == '_' ||
           c == '-';
}

// A user or a host name: ssh reads a word that starts with '-' as an option.
bool IsPlainWord(std::string_view s)
{
    if (s.empty() || s.front() == '-')
        return false;
    for (const char c : s)
        if (!IsWordChar(c))
            return false;
    return true;
}

bool IsIpv6(std::string_view s)
{
    if (s.find(':') == std::string_view::npos)
        return false;
    for (const char c : s)
        if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F') || c == ':' || c == '.'))
            return false;
    return true;
}

bool IsPort(std::string_view s)
{
    if (s.empty() || s.size() > 5 || s.front() == '0')
        return false;
    unsigned value = 0;
    for (const char c : s) {
        if (c < '0' || c > '9')
            return false;
        value = value * 10 + static_cast<unsigned>(c - '0');
    }
    return value >= 1 && value <= 65535;
}

}  // namespace

bool IsSshName(std::string_view text)
{
    return text.substr(0, kPrefix.size()) == kPrefix;
}

Problem Parse(std::string_view text, Name& out)
{
    if (!IsSshName(text))
        return Problem::BadHost;
    text.remove_prefix(kPrefix.size());
    const std::size_t slash = text.find('/');
    std::string_view authority = text.substr(0, slash);
    const std::string_view path = slash == std::string_view::npos ? std::string_view() : text.substr(slash);
    Name name;
    if (const std::size_t at = authority.find('@'); at != std::string_view::npos) {
        if (!IsPlainWord(authority.substr(0, at)))
            return Problem::BadUser;
        name.user = authority.substr(0, at);
        authority.remove_prefix(at + 1);
    }
    std::string_view host = authority, port;
    if (!authority.empty() && authority.front() == '[') {
        const std::size_t close = authority.find(']');
        if (close == std::string_view::npos)
            return Problem::BadHost;
        host = authority.substr(1, close - 1);
        const std::string_view rest = authority.substr(close + 1);
        if (!rest.empty() && rest.front() != ':')
            return Problem::BadHost;
        if (!rest.empty() && !IsPort(port = rest.substr(1)))
            return Problem::BadPort;
        if (!IsIpv6(host))
            return Problem::BadHost;
    } else {
        if (const std::size_t colon = authority.find(':'); colon != std::string_view::npos) {
            host = authority.substr(0, colon);
            port = authority.substr(colon + 1);
            if (!IsPort(port))
                return Problem::BadPort;
        }
        if (!IsPlainWord(host))
            return Problem::BadHost;
    }
    if (path.size() < 2)
        return Problem::BadPath;
    for (const char c : path)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F)
            return Problem::BadPath;
    name.host = host;
    name.port = port;
    name.path = path;
    out = std::move(name);
    return Problem::None;
}

std::string QuoteForShell(std::string_view text)
{
    std::string out = "'";
    for (const char c : text) {
        if (c == '\'')
            out += "'\\''";
        else
            out += c;
    }
    return out + "'";
}

std::string RemoteCommand(const std::string& path)
{
    // The first four bytes as hex: gzip, xz, zstd and bzip2 magic.
    return "f=" + QuoteForShell(path) +
           "; if test -f \"$f\"; then case $(dd if=\"$f\" bs=4 count=1 2>/dev/null | od -An -tx1 | tr -d ' \\n') in "
           "1f8b*|fd377a58|28b52ffd|425a68*) ;; *) exec tail -c +1 -F -- \"$f\";; esac; fi; "
           "exec tail -c +1 -- \"$f\"";
}

std::string CommandLine(const Name& name, const std::string& client)
{
    std::string line = client + " -o BatchMode=yes -n -T";
    if (!name.port.empty())
        line += " -p " + name.port;
    if (!name.user.empty())
        line += " -l " + QuoteForShell(name.user);
    return line + " -- " + QuoteForShell(name.host) + " " + QuoteForShell(RemoteCommand(name.path));
}

std::string Client()
{
    const char* set = std::getenv("OSTREL_SSH");
    return set && *set ? set : "ssh";
}

}  // namespace sshname
