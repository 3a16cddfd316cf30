// The systemd journal, read through libsystemd's sd-journal: the machine's
// journal or the journal files of one folder, narrowed to a boot, to units,
// to a lowest priority and to a first time, each entry written as one line
// (and its message's further lines) the way `journalctl -o short-iso` writes
// it. The rest of the program sees text and numbers only: no sd-journal type
// leaves this file.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace platform {

struct JournalQuery {
    std::string directory;  // empty: the machine's journal
    enum class Boot { All, This, Previous };
    Boot boot = Boot::All;
    std::vector<std::string> units;  // empty: every unit
    int lowestPriority = 7;          // entries of this priority or a more urgent one (0 emerg .. 7 debug)
    bool hasSince = false;
    std::int64_t sinceMicros = 0;  // since 1970-01-01 00:00 UTC
};

// What a line of text says of the entry it was written from.
struct JournalEntryInfo {
    std::uint64_t realtime = 0;  // __REALTIME_TIMESTAMP, microseconds
    int priority = -1;           // PRIORITY, -1 when the entry gives none
    std::size_t lineAt = 0;      // where in the text appended the entry's first line starts
};

class CJournalReader {
public:
    CJournalReader();
    ~CJournalReader();
    CJournalReader(const CJournalReader&) = delete;
    CJournalReader& operator=(const CJournalReader&) = delete;

    // Opens the journal, the query's matches set, positioned before its first entry. False, with the
    // system's reason in `error`, when it cannot be opened.
    bool Open(const JournalQuery& query, std::string& error);
    // Appends the next entry's text (each line ending in a line feed) to `out`. False at the end of what is
    // there now; an entry without a message is passed over, as journalctl passes it.
    bool Next(std::string& out, JournalEntryInfo& info);
    // Positions the reader `count` entries before the end, so that Next reads the last `count` (or all);
    // returns how many entries it went back.
    std::uint64_t SeekLast(std::uint64_t count);
    // Positions the reader at the start again.
    void SeekFirst();
    // Waits until new entries may be there (true) or `timeoutMs` passed or Wake was called (false).
    bool Wait(int timeoutMs);
    // Any thread: ends a Wait at once (and the next one, if none waits now).
    void Wake();
    // Whether a machine's journal holds entries this user may not read (not a member of adm or
    // systemd-journal, not root): then only the user's own are seen.
    bool SeesOnlyOwn() const;
    // The units named in the journal (_SYSTEMD_UNIT), sorted.
    std::vector<std::string> Units();

private:
    struct Impl;
    std::unique_ptr<Impl> m;
};

// The values of the fields of the entry at `realtime` that a row's tooltip names (_SYSTEMD_UNIT, _PID, _COMM,
// SYSLOG_IDENTIFIER, _HOSTNAME), as "NAME=value" lines; empty when no entry is there.
std::string JournalEntryFields(const std::string& directory, std::uint64_t realtime);

}  // namespace platform
