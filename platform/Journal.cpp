#include "platform/Journal.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <grp.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <systemd/sd-journal.h>
#include <unistd.h>

namespace platform {

namespace {

std::string_view ValueOf(const void* data, std::size_t length, std::size_t nameLength)
{
    return {static_cast<const char*>(data) + nameLength + 1, length - nameLength - 1};
}

// A field "NAME=value" whose name is `name`.
bool IsField(const void* data, std::size_t length, std::string_view name)
{
    const char* p = static_cast<const char*>(data);
    return length > name.size() && p[name.size()] == '=' && std::memcmp(p, name.data(), name.size()) == 0;
}

// journalctl writes a message that holds other control characters than a
// line feed or a tab as the size of its data instead.
bool Printable(std::string_view s)
{
    for (const char ch : s) {
        const auto c = static_cast<unsigned char>(ch);
        if ((c < 0x20 && c != '\n' && c != '\t') || c == 0x7f)
            return false;
    }
    return true;
}

// A tab as journalctl writes it: eight spaces, wherever it stands.
void AppendExpandingTabs(std::string& out, std::string_view s)
{
    for (std::size_t tab; (tab = s.find('\t')) != std::string_view::npos; s.remove_prefix(tab + 1))
        out.append(s.substr(0, tab)).append(8, ' ');
    out.append(s);
}

std::string SystemError(int negativeErrno)
{
    return std::strerror(-negativeErrno);
}

}  // namespace

struct CJournalReader::Impl {
    sd_journal* j = nullptr;
    int wakeFd = -1;
    bool local = false;
    bool hasSince = false;
    std::uint64_t since = 0;
    bool atEntry = false;  // the reader stands on an entry that Next has not read yet
    std::string lastBoot;  // the boot of the entry read last, for the line between two boots
    std::int64_t stampSecond = -1;
    std::string stamp;  // the stamp of stampSecond, as written

    ~Impl()
    {
        if (j)
            sd_journal_close(j);
        if (wakeFd >= 0)
            ::close(wakeFd);
    }

    const std::string& StampOf(std::uint64_t realtime)
    {
        const auto second = static_cast<std::int64_t>(realtime / 1000000);
        if (second != stampSecond) {
            const auto t = static_cast<std::time_t>(second);
            std::tm tm{};
            localtime_r(&t, &tm);
            char buf[64];
            stamp.assign(buf, std::strftime(buf, sizeof buf, "%Y-%m-%dT%H:%M:%S%z", &tm));
            stampSecond = second;
        }
        return stamp;
    }

    // The boots of the journal (as the query's other matches narrow it) in the order of their first entries.
    std::vector<std::string> Boots()
    {
        std::vector<std::pair<std::uint64_t, std::string>> boots;
        std::vector<std::string> ids;
        const void* data;
        std::size_t length;
        if (sd_journal_query_unique(j, "_BOOT_ID") < 0)
            return {};
        SD_JOURNAL_FOREACH_UNIQUE(j, data, length)
        {
            if (IsField(data, length, "_BOOT_ID"))
                ids.emplace_back(ValueOf(data, length, 8));
        }
        for (const std::string& id : ids) {
            sd_journal_flush_matches(j);
            const std::string match = "_BOOT_ID=" + id;
            std::uint64_t first = 0;
            if (sd_journal_add_match(j, match.data(), match.size()) >= 0 && sd_journal_seek_head(j) >= 0 &&
                sd_journal_next(j) > 0)
                sd_journal_get_realtime_usec(j, &first);
            boots.emplace_back(first, id);
        }
        sd_journal_flush_matches(j);
        std::sort(boots.begin(), boots.end());
        ids.clear();
        for (auto& b : boots)
            ids.push_back(std::move(b.second));
        return ids;
    }
};

CJournalReader::CJournalReader() : m(std::make_unique<Impl>()) {}

CJournalReader::~CJournalReader() = default;

bool CJournalReader::Open(const JournalQuery& query, std::string& error)
{
    m = std::make_unique<Impl>();
    const int r = query.directory.empty() ? sd_journal_open(&m->j, SD_JOURNAL_LOCAL_ONLY)
                                          : sd_journal_open_directory(&m->j, query.directory.c_str(), 0);
    if (r < 0) {
        m->j = nullptr;
        error = SystemError(r);
        return false;
    }
    m->local = query.directory.empty();
    m->wakeFd = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (m->wakeFd < 0) {
        error = std::strerror(errno);
        return false;
    }
    // Asked before any wait, so that the journal watches its files from the start.
    if (const int fd = sd_journal_get_fd(m->j); fd < 0) {
        error = SystemError(fd);
        return false;
    }
    std::string boot;
    if (query.boot != JournalQuery::Boot::All) {
        const std::vector<std::string> boots = m->Boots();
        const std::size_t back = query.boot == JournalQuery::Boot::This ? 1 : 2;
        // A boot that the journal does not hold shows nothing, as journalctl does.
        boot = boots.size() >= back ? boots[boots.size() - back] : std::string(32, '0');
    }
    auto add = [&](const std::string& match) { return sd_journal_add_match(m->j, match.data(), match.size()) >= 0; };
    bool ok = true;
    for (const std::string& unit : query.units)
        ok = ok && add("_SYSTEMD_UNIT=" + unit);
    if (query.lowestPriority < 7) {
        ok = ok && sd_journal_add_conjunction(m->j) >= 0;
        for (int p = 0; p <= std::max(query.lowestPriority, 0); ++p)
            ok = ok && add("PRIORITY=" + std::to_string(p));
    }
    if (!boot.empty())
        ok = ok && sd_journal_add_conjunction(m->j) >= 0 && add("_BOOT_ID=" + boot);
    if (!ok) {
        error = "the journal's matches cannot be set";
        return false;
    }
    m->hasSince = query.hasSince && query.sinceMicros > 0;
    m->since = m->hasSince ? static_cast<std::uint64_t>(query.sinceMicros) : 0;
    SeekFirst();
    return true;
}

void CJournalReader::SeekFirst()
{
    if (!m->j)
        return;
    if (m->hasSince)
        sd_journal_seek_realtime_usec(m->j, m->since);
    else
        sd_journal_seek_head(m->j);
    m->atEntry = false;
    m->lastBoot.clear();
}

std::uint64_t CJournalReader::SeekLast(std::uint64_t count)
{
    if (!m->j)
        return 0;
    sd_journal_seek_tail(m->j);
    const int back = count > 0 ? sd_journal_previous_skip(m->j, count) : 0;
    m->atEntry = back > 0;
    m->lastBoot.clear();
    return back > 0 ? static_cast<std::uint64_t>(back) : 0;
}

bool CJournalReader::Next(std::string& out, JournalEntryInfo& info)
{
    if (!m->j)
        return false;
    for (;;) {
        if (m->atEntry)
            m->atEntry = false;
        else if (sd_journal_next(m->j) <= 0)
            return false;
        std::uint64_t realtime = 0;
        if (sd_journal_get_realtime_usec(m->j, &realtime) < 0 || (m->hasSince && realtime < m->since))
            continue;
        std::string_view message, hostname, identifier, comm, pid, syslogPid, boot;
        int priority = -1;
        const void* data;
        std::size_t length;
        SD_JOURNAL_FOREACH_DATA(m->j, data, length)
        {
            const char* p = static_cast<const char*>(data);
            if (length < 2)
                continue;
            // Dispatched on the first letter: most of an entry's fields are none of these.
            switch (p[0]) {
            case 'M':
                if (IsField(data, length, "MESSAGE"))
                    message = ValueOf(data, length, 7);
                break;
            case 'P':
                if (IsField(data, length, "PRIORITY") && length == 10 && p[9] >= '0' && p[9] <= '7')
                    priority = p[9] - '0';
                break;
            case 'S':
                if (IsField(data, length, "SYSLOG_IDENTIFIER"))
                    identifier = ValueOf(data, length, 17);
                else if (IsField(data, length, "SYSLOG_PID"))
                    syslogPid = ValueOf(data, length, 10);
                break;
            case '_':
                if (IsField(data, length, "_HOSTNAME"))
                    hostname = ValueOf(data, length, 9);
                else if (IsField(data, length, "_COMM"))
                    comm = ValueOf(data, length, 5);
                else if (IsField(data, length, "_PID"))
                    pid = ValueOf(data, length, 4);
                else if (IsField(data, length, "_BOOT_ID"))
                    boot = ValueOf(data, length, 8);
                break;
            default: break;
            }
        }
        // The line between two boots comes before the first entry of the next, even one passed over.
        if (!boot.empty()) {
            if (!m->lastBoot.empty() && boot != m->lastBoot)
                out.append("-- Boot ").append(boot).append(" --\n");
            m->lastBoot.assign(boot);
        }
        if (message.data() == nullptr)
            continue;
        const std::size_t lineStart = out.size();
        out += m->StampOf(realtime);
        if (!hostname.empty())
            out.append(" ").append(hostname);
        if (!identifier.empty())
            out.append(" ").append(identifier);
        else if (!comm.empty())
            out.append(" ").append(comm);
        else
            out.append(" unknown");
        if (!pid.empty())
            out.append("[").append(pid).append("]");
        else if (!syslogPid.empty())
            out.append("[").append(syslogPid).append("]");
        out.append(": ");
        while (!message.empty() && message.back() == '\n')
            message.remove_suffix(1);
        if (!Printable(message)) {
            out.append("[").append(std::to_string(message.size())).append("B blob data]\n");
        } else {
            // A message's further lines stand under its first, as journalctl sets them.
            const std::size_t indent = out.size() - lineStart;
            for (std::size_t at = 0;;) {
                const std::size_t nl = message.find('\n', at);
                AppendExpandingTabs(
                    out, message.substr(at, nl == std::string_view::npos ? std::string_view::npos : nl - at));
                out.push_back('\n');
                if (nl == std::string_view::npos)
                    break;
                at = nl + 1;
                out.append(indent, ' ');
            }
        }
        info.realtime = realtime;
        info.priority = priority;
        info.lineAt = lineStart;
        return true;
    }
}

bool CJournalReader::Wait(int timeoutMs)
{
    if (!m->j)
        return false;
    pollfd fds[2] = {{sd_journal_get_fd(m->j), static_cast<short>(sd_journal_get_events(m->j)), 0},
                     {m->wakeFd, POLLIN, 0}};
    std::uint64_t journalTimeout = 0;
    int timeout = timeoutMs;
    if (sd_journal_get_timeout(m->j, &journalTimeout) >= 0 && journalTimeout != UINT64_MAX) {
        timespec now{};
        clock_gettime(CLOCK_MONOTONIC, &now);
        const std::uint64_t nowUs =
            static_cast<std::uint64_t>(now.tv_sec) * 1000000 + static_cast<std::uint64_t>(now.tv_nsec) / 1000;
        const std::uint64_t left = journalTimeout > nowUs ? (journalTimeout - nowUs + 999) / 1000 : 0;
        timeout = static_cast<int>(std::min<std::uint64_t>(left, static_cast<std::uint64_t>(timeoutMs)));
    }
    const int r = ::poll(fds, 2, timeout);
    if (r > 0 && (fds[1].revents & POLLIN)) {
        std::uint64_t count;
        [[maybe_unused]] const ssize_t n = ::read(m->wakeFd, &count, sizeof count);
        return false;
    }
    const int changed = sd_journal_process(m->j);
    return changed == SD_JOURNAL_APPEND || changed == SD_JOURNAL_INVALIDATE;
}

void CJournalReader::Wake()
{
    if (m && m->wakeFd >= 0) {
        const std::uint64_t one = 1;
        [[maybe_unused]] const ssize_t n = ::write(m->wakeFd, &one, sizeof one);
    }
}

bool CJournalReader::SeesOnlyOwn() const
{
    if (!m->local || ::geteuid() == 0)
        return false;
    std::vector<gid_t> groups(static_cast<std::size_t>(std::max(0, static_cast<int>(::getgroups(0, nullptr)))));
    groups.resize(static_cast<std::size_t>(std::max(0, ::getgroups(static_cast<int>(groups.size()), groups.data()))));
    groups.push_back(::getegid());
    for (const char* name : {"adm", "systemd-journal"})
        if (const group* g = ::getgrnam(name); g && std::find(groups.begin(), groups.end(), g->gr_gid) != groups.end())
            return false;
    return true;
}

std::vector<std::string> CJournalReader::Units()
{
    std::vector<std::string> units;
    if (!m->j || sd_journal_query_unique(m->j, "_SYSTEMD_UNIT") < 0)
        return units;
    const void* data;
    std::size_t length;
    SD_JOURNAL_FOREACH_UNIQUE(m->j, data, length)
    {
        if (IsField(data, length, "_SYSTEMD_UNIT"))
            units.emplace_back(ValueOf(data, length, 13));
    }
    std::sort(units.begin(), units.end());
    return units;
}

std::string JournalEntryFields(const std::string& directory, std::uint64_t realtime)
{
    sd_journal* j = nullptr;
    if ((directory.empty() ? sd_journal_open(&j, SD_JOURNAL_LOCAL_ONLY)
                           : sd_journal_open_directory(&j, directory.c_str(), 0)) < 0)
        return {};
    std::string out;
    std::uint64_t at = 0;
    if (sd_journal_seek_realtime_usec(j, realtime) >= 0 && sd_journal_next(j) > 0 &&
        sd_journal_get_realtime_usec(j, &at) >= 0 && at == realtime) {
        for (const char* name : {"_SYSTEMD_UNIT", "_PID", "_COMM", "SYSLOG_IDENTIFIER", "_HOSTNAME"}) {
            const void* data;
            std::size_t length;
            if (sd_journal_get_data(j, name, &data, &length) >= 0) {
                out.append(static_cast<const char*>(data), length);
                out.push_back('\n');
            }
        }
    }
    sd_journal_close(j);
    if (!out.empty())
        out.pop_back();
    return out;
}

}  // namespace platform
