// How soon a journal of many entries shows its last screenful, and how fast it
// is read whole, against `journalctl -o short-iso --no-pager --directory DIR`
// writing to /dev/null on the same files, measured in the same run.
//
//   journal_bench [entries] [runs]     (defaults 1000000 3)
//
// The journal is made in a temporary folder by systemd-journal-remote from
// the export format (varied units, priorities and messages). Each side's best
// of `runs` is taken, the files read once before so that both start from the
// page cache. For us: a document and a headless window on it, as the viewer
// opens one, from the open until the window's bottom row is the journal's
// last entry (the last screenful), and until the whole journal is in the
// text. Goals: the last screenful under 1 s; whole / journalctl <= 1.
#include "engine/JournalFormat.h"
#include "file/TextFileDoc.h"
#include "platform/Window.h"
#include "tests/core/JournalUtil.h"
#include "tools/headless/HeadlessWindow.h"
#include "view/TextFileView.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point from)
{
    return std::chrono::duration<double>(Clock::now() - from).count();
}

// Writes the export text of `entries` entries to systemd-journal-remote in pieces (the whole would take
// gigabytes).
bool MakeJournal(const std::string& dir, std::size_t entries)
{
    const std::string command =
        std::string(journaltest::kJournalRemote) + " --output='" + dir + "/bench.journal' - 2>/dev/null";
    FILE* pipe = ::popen(command.c_str(), "w");
    if (!pipe)
        return false;
    const char* const units[] = {"nginx.service", "sshd.service", "cron.service", "systemd-logind.service"};
    std::vector<journaltest::Entry> batch;
    bool ok = true;
    for (std::size_t i = 0; i < entries && ok; ++i) {
        journaltest::Entry e;
        e.realtime = 1765000000000000 + i * 997;
        e.priority = static_cast<int>(i % 8);
        e.message = "request " + std::to_string(i) + " served in " + std::to_string(i % 977) + " ms from 10.0." +
                    std::to_string(i % 256) + "." + std::to_string(i % 199);
        e.unit = units[i % 4];
        e.pid = std::to_string(1000 + i % 50);
        e.identifier = "app" + std::to_string(i % 4);
        batch.push_back(std::move(e));
        if (batch.size() == 10000 || i + 1 == entries) {
            const std::string text = journaltest::ExportText(batch);
            ok = std::fwrite(text.data(), 1, text.size(), pipe) == text.size();
            batch.clear();
        }
    }
    const int status = ::pclose(pipe);
    return ok && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// The last entry's message, as the journal has it.
std::string LastMessage(const std::string& dir)
{
    platform::JournalQuery query;
    query.directory = dir;
    platform::CJournalReader reader;
    std::string error, text;
    reader.Open(query, error);
    reader.SeekLast(1);
    platform::JournalEntryInfo info;
    reader.Next(text, info);
    return text.substr(text.find("]: ") + 3, text.size() - text.find("]: ") - 4);
}

struct Times {
    double screen = 1e9, whole = 1e9;
};

Times OpenOnce(const std::string& dir, const std::string& last)
{
    Times t;
    const Clock::time_point start = Clock::now();
    CTextFileDoc doc;
    platform::JournalQuery query;
    query.directory = dir;
    std::string error;
    if (!doc.OnOpenJournal(query, JournalTitle(query, {}), error)) {
        std::fprintf(stderr, "cannot open the journal: %s\n", error.c_str());
        std::exit(1);
    }
    headless::HeadlessPort port(40, 160);
    CFileWnd wnd(&port);
    wnd.SetOwnFormat(logformat::MakeJournalFormat(doc.Journal()->Levels()));
    const platform::HWND hwnd = platform::RegisterWindow(&wnd);
    wnd.SetNotifyWindow(hwnd);
    bool loaded = false;
    for (bool seen = false; !seen || !doc.Journal()->HasReadAll();) {
        platform::DrainPostedMessages();
        const bool ready = doc.IsReadyToShow();  // also puts the whole text in place once read
        if (!loaded && ready) {
            loaded = wnd.LoadFile(doc.GetMappedFile(), EncodingAuto);
            wnd.SetWatchFile(true);
        }
        if (!seen && loaded) {
            // As a window that follows the end: the last screenful after each reload.
            wnd.OnKeyDown(kVkEnd);
            port.Paint(wnd, true);
            for (int r = port.Rows() - 1; r >= 0; --r) {
                const std::u32string row = port.RowText(r, false);
                if (row.find_first_not_of(U' ') == std::u32string::npos)
                    continue;
                if (std::string(row.begin(), row.end()).find(last) != std::string::npos) {
                    seen = true;
                    t.screen = Seconds(start);
                }
                break;
            }
        }
        if (doc.Journal()->HasReadAll() && t.whole > 1e8)
            t.whole = Seconds(start);
        std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
    platform::UnregisterWindow(hwnd);
    return t;
}

}  // namespace

int main(int argc, char** argv)
{
    const std::size_t entries = argc > 1 ? std::strtoull(argv[1], nullptr, 10) : 1000000;
    const int runs = argc > 2 ? std::atoi(argv[2]) : 3;
    if (::access(journaltest::kJournalRemote, X_OK) != 0) {
        std::fprintf(stderr, "journal_bench: %s is not installed\n", journaltest::kJournalRemote);
        return 1;
    }
    char tmpl[] = "/tmp/ostrel-journal-bench-XXXXXX";
    const std::string dir = ::mkdtemp(tmpl) ? tmpl : "";
    if (dir.empty() || !MakeJournal(dir, entries)) {
        std::fprintf(stderr, "journal_bench: the journal could not be made\n");
        return 1;
    }
    const std::string last = LastMessage(dir);
    const std::string journalctl = "journalctl -o short-iso --no-pager --directory '" + dir + "' > /dev/null";
    std::system(journalctl.c_str());  // the files into the page cache
    double tool = 1e9;
    Times ours;
    for (int r = 0; r < runs; ++r) {
        const Clock::time_point start = Clock::now();
        std::system(journalctl.c_str());
        tool = std::min(tool, Seconds(start));
        const Times t = OpenOnce(dir, last);
        ours.screen = std::min(ours.screen, t.screen);
        ours.whole = std::min(ours.whole, t.whole);
    }
    std::error_code ec;
    std::filesystem::remove_all(dir, ec);
    std::printf("entries %zu: journalctl %.3f s, ours whole %.3f s (ratio %.2f, goal <= 1), last screenful %.3f s "
                "(goal < 1)\n",
                entries, tool, ours.whole, ours.whole / tool, ours.screen);
    return ours.whole <= tool && ours.screen < 1.0 ? 0 : 2;
}
