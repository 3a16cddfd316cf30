// Journal files for the tests and the benchmark: entries written in the
// journal export format and turned into a journal file by
// systemd-journal-remote, always inside a folder of the caller's (never the
// machine's journal).
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace journaltest {

inline constexpr const char* kJournalRemote = "/lib/systemd/systemd-journal-remote";

struct Entry {
    std::uint64_t realtime = 0;
    int priority = -1;  // -1: no PRIORITY field
    std::string message;
    bool hasMessage = true;
    std::string unit;
    std::string boot = std::string(32, 'a');
    std::string pid = "100";
    std::string identifier = "ident";
    std::string comm;
    std::string host = "host";
};

// One field: "NAME=value" or, for a value with a line feed, the binary form (the name, a line feed, the
// value's length as 64-bit little endian, the value, a line feed).
inline void AddField(std::string& out, const std::string& name, const std::string& value)
{
    if (value.find('\n') == std::string::npos) {
        out += name + "=" + value + "\n";
        return;
    }
    out += name + "\n";
    std::uint64_t n = value.size();
    for (int i = 0; i < 8; ++i, n >>= 8)
        out.push_back(static_cast<char>(n & 0xff));
    out += value + "\n";
}

inline std::string ExportText(const std::vector<Entry>& entries)
{
    std::string out;
    std::uint64_t monotonic = 1;
    for (const Entry& e : entries) {
        out += "__REALTIME_TIMESTAMP=" + std::to_string(e.realtime) + "\n";
        out += "__MONOTONIC_TIMESTAMP=" + std::to_string(monotonic++) + "\n";
        out += "_BOOT_ID=" + e.boot + "\n";
        if (e.priority >= 0)
            AddField(out, "PRIORITY", std::to_string(e.priority));
        if (e.hasMessage)
            AddField(out, "MESSAGE", e.message);
        if (!e.unit.empty())
            AddField(out, "_SYSTEMD_UNIT", e.unit);
        if (!e.pid.empty())
            AddField(out, "_PID", e.pid);
        if (!e.identifier.empty())
            AddField(out, "SYSLOG_IDENTIFIER", e.identifier);
        if (!e.comm.empty())
            AddField(out, "_COMM", e.comm);
        if (!e.host.empty())
            AddField(out, "_HOSTNAME", e.host);
        out += "\n";
    }
    return out;
}

// Writes `entries` as the journal file `file` (its name ends in .journal); false when the tool failed.
inline bool WriteJournal(const std::string& file, const std::vector<Entry>& entries)
{
    const std::string command = std::string(kJournalRemote) + " --output='" + file + "' - 2>/dev/null";
    FILE* pipe = ::popen(command.c_str(), "w");
    if (!pipe)
        return false;
    const std::string text = ExportText(entries);
    const bool written = std::fwrite(text.data(), 1, text.size(), pipe) == text.size();
    const int status = ::pclose(pipe);
    return written && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// What a command writes on its standard output.
inline std::string OutputOf(const std::string& command)
{
    std::string out;
    if (FILE* pipe = ::popen(command.c_str(), "r")) {
        char buf[65536];
        for (std::size_t n; (n = std::fread(buf, 1, sizeof buf, pipe)) > 0;)
            out.append(buf, n);
        ::pclose(pipe);
    }
    return out;
}

}  // namespace journaltest
