// ostrel-probe: drives a real text window headlessly, so that its behaviour
// can be scripted and reproduced from a shell. See --help.
#include "engine/JournalFormat.h"
#include "engine/LineFilter.h"
#include "engine/LogRecords.h"
#include "engine/RegexSearch.h"
#include "engine/Timeline.h"
#include "engine/Utf8Text.h"
#include "engine/WorkPool.h"
#include "file/RotationSet.h"
#include "file/SshName.h"
#include "file/TextFileDoc.h"
#include "platform/CodePage.h"
#include "platform/Process.h"
#include "platform/Win1252.h"
#include "platform/Window.h"
#include "textwnd/MergedWnd.h"
#include "textwnd/SaveLines.h"
#include "tools/headless/HeadlessWindow.h"
#include "tools/headless/NarrowRows.h"
#include "view/HighlightSettings.h"
#include "view/StateStore.h"
#include "view/StringTable.h"
#include "view/TextFileView.h"

#include <algorithm>
#include <charconv>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>
#include <iostream>
#include <map>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

using platform::kCfUnicodeText;
using platform::kIdCancel;
using platform::kIdNo;
using platform::kIdYes;
using platform::kMbOk;

namespace {

const char kUsage[] =
    "usage: ostrel-probe [--rows N] [--cols N] [--encoding 0..3] [--answer yes|no|cancel] [--case 0..3]\n"
    "                    [--code-page utf-8|1252] [--index-wait] [--regex] [--no-watch] [--follow-name] "
    "[--max-decompressed BYTES] [--rules INI]\n"
    "                    [--store DIR] [--formats DIR] [--merge FILE]... [--rotated]\n"
    "                    FILE|-|ssh://[USER@]HOST[:PORT]/PATH|journal:DIR|command:CMD [COMMAND ...]\n"
    "  FILE          a file; one that starts with gzip, xz, zstd or bzip2 magic is decompressed first\n"
    "                (a damaged one shows what came out and says warning: ... on stderr; one over the\n"
    "                limit says error: ... and exits 1); - reads standard input as it arrives\n"
    "  ssh://...     a file on another machine, read and followed by ssh ($OSTREL_SSH if set) running\n"
    "                tail -F there; how ssh ended is printed as strip \"TEXT\" [Reconnect], TEXT with\n"
    "                its status and the last line it wrote to stderr; a bad name says error: and exits 3\n"
    "  --merge FILE  (repeatable) a merged window of these files and FILE, in the order given: rows by\n"
    "                time, each file's letter (A, B, ...) in a source column; print follows each row with\n"
    "                \"  src=L\" (after any rule=), and its state line is \"merged top=L:BYTE line=N end=0|1\";\n"
    "                the filter stack's commands decide each file's lines (its own format, its own\n"
    "                context), and shown N of M sums the files;\n"
    "                a file without a recognised log format says \"error: FILE: ...\" and exits 2\n"
    "  --rotated     FILE and the older parts that rotation left beside it (FILE.1, FILE.2.gz,\n"
    "                FILE-20261206, ...) as one log, the oldest first, each part's letter in the source\n"
    "                column; a compressed part is read when the view reaches it, and each command waits\n"
    "                until it is\n"
    "  command:CMD   the output of the command line CMD (run by /bin/sh -c), standard error with it,\n"
    "                as it arrives; how it ended is printed as strip \"TEXT\" [Run Again]\n"
    "  journal:DIR   the systemd journal files of DIR (as journalctl --directory DIR reads them),\n"
    "                each entry as journalctl -o short-iso writes it, its level from PRIORITY\n"
    "  --max-decompressed  the most bytes of text decompressed or read from standard input\n"
    "  --rows N      client height is N x line height (default 24); line height 16, char width 8\n"
    "  --cols N      client width is N x char width (default 80); a wide character fills two\n"
    "  --code-page   code page of narrow text (default 1252, whatever the locale); under utf-8\n"
    "                rows show decoded characters (a combining mark after its base), escapes are\n"
    "                \\uXXXX, and a copy prints its text as UTF-8\n"
    "  --encoding    requested encoding id (default 0); --answer: the reply to the encoding prompt (default cancel)\n"
    "  --case        text case of the window (default 0)\n"
    "  --rules INI   highlight rules: the HighlightRules array of a settings file, in force whatever\n"
    "                Highlight/Enabled says; a row that one rule covers more than half of is followed\n"
    "                by \"  rule=NAME\"; a rule with an invalid pattern is skipped with a warning\n"
    "  --no-watch    do not follow the file (by default changes are noticed and handled during wait:MS)\n"
    "  --index-wait  counts every line of the file before the commands run (by default lines are\n"
    "                counted only as far as a command needs: line= shows ? for a top not counted yet)\n"
    "  --regex       find commands and filters take regular expressions (RE2 syntax; a match lies\n"
    "                within a line); an invalid pattern prints \"error: ...\" on stderr and exits 2\n"
    "  --store DIR   keeps the file's marks in DIR (the viewer's store of marks and sessions): they are\n"
    "                loaded after the file and each change is written at once\n"
    "  --formats DIR reads the users' log formats (*.ini, one [Format] each) from DIR; a bad file is\n"
    "                skipped with \"warning: FILE: REASON\" on stderr\n"
    "  --follow-name when the file's name comes to name another file (rotation), go on with that file;\n"
    "                either way what the window's message strip says is printed as strip \"TEXT\"\n"
    "commands, applied in order after loading:\n"
    "  key:NAME      NAME one of space pgup pgdn end home left up right down\n"
    "  wheel:up  wheel:down  hwheel:left  hwheel:right\n"
    "  thumb:N       vertical thumb to byte position N      hthumb:N   horizontal thumb to column N\n"
    "  resize:RxC    client becomes R rows by C columns\n"
    "  find:T next:T prev:T        case-sensitive find first/next/previous (T is UTF-8)\n"
    "  ifind:T inext:T iprev:T     the same ignoring case\n"
    "  filter:P ifilter:P xfilter:P  lists the lines holding P (case-sensitive, ignoring case,\n"
    "                or those without P): \"filter N\", then per line its byte offset, a tab, the line\n"
    "  click         left button down and up\n"
    "  select:A-B    selects bytes A to B of the file, as a drag from A to B would\n"
    "  copy          prints \"clip FORMAT ESCAPED\": the selection when there is one, else the screen\n"
    "  reload        reloads the file\n"
    "  gotoline:N    line N as the top row (from 1, or from the end: -1 is the last line)\n"
    "  gototime:T    the first line stamped at or after T (YYYY-MM-DD[ T]HH:MM[:SS[.f]][Z|+HH:MM]) on top;\n"
    "                the stamps are read as the file's log format reads them when it has one\n"
    "  wait:MS       runs the message loop MS milliseconds\n"
    "  mark:N unmark:N  marks line N (from 1), or takes its mark away\n"
    "  nextmark prevmark  the next or previous marked line as the top row (going round prints its strip)\n"
    "  marks         prints \"marks N\", then per mark its line number, a tab and its note\n"
    "  save:PATH     saves the marked lines to PATH: \"saved N\", or \"error: ...\" on stderr\n"
    "  include:P exclude:P iinclude:P iexclude:P  adds a rule to the window's filter stack (case-sensitive,\n"
    "                or ignoring case; a regular expression under --regex); the first stack command\n"
    "                shows only the filtered lines, and each one waits until the stack is decided\n"
    "  anyof allof   a record must match any Include rule (the default), or every one\n"
    "  level:LEVEL   the lowest level shown: any debug info warn error fatal\n"
    "  since:T until:T  the time range shown (as gototime takes T); records without a time pass\n"
    "  context:N     N lines (0 to 9) around each shown record are shown too\n"
    "  showall       shows every line again (the stack is kept)\n"
    "  print         prints the state line, then one line per visible row; filtered, a row that\n"
    "                follows hidden lines starts with - instead of |, and \"shown N of M\" follows\n"
    "  records       prints \"format NAME\" (or \"format none\"), then per visible row of text: + when a\n"
    "                record starts on it or ~ when it continues the one above, the level (fatal error\n"
    "                warn info debug trace, or -), the record's time in UTC (YYYY-MM-DDTHH:MM:SS.ffffffZ,\n"
    "                or -), a tab and the row as print shows it\n"
    "  timeline:W    prints \"timeline FIRST LAST\" (the span of the record summaries, times as records\n"
    "                writes them), then W lines, one per column from the left: its first time and its\n"
    "                records per level: fatal error warn info debug trace none (\"timeline none\" without)\n"
    "  alerts        prints \"alerts marked=0|1 stopped=0|1\": a line matching an alert rule arrived (the\n"
    "                probe's window is never the active one); following was stopped by a stop rule\n";

// Printable ASCII as is (but \ and "), C escapes for the rest.
std::string EscapeBytes(const std::uint8_t* p, std::size_t n)
{
    std::string out;
    char buf[8];
    for (std::size_t i = 0; i < n; ++i) {
        const std::uint8_t c = p[i];
        switch (c) {
        case '\r': out += "\\r"; break;
        case '\n': out += "\\n"; break;
        case '\t': out += "\\t"; break;
        case '\\': out += "\\\\"; break;
        case '"': out += "\\\""; break;
        default:
            if (c >= 0x20 && c < 0x7F) {
                out += static_cast<char>(c);
            } else {
                std::snprintf(buf, sizeof buf, "\\x%02X", c);
                out += buf;
            }
        }
    }
    return out;
}

std::string EscapeText(const std::string& s)
{
    return EscapeBytes(reinterpret_cast<const std::uint8_t*>(s.data()), s.size());
}

void AppendUtf8(std::string& out, char32_t c)
{
    // Encoded here, not through UTF-16: a filter's listing appends every character of every line.
    if (c < 0x80) {
        out += static_cast<char>(c);
        return;
    }
    if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
        return;
    }
    if ((c < 0xD800 || c > 0xDFFF) && c < 0x110000) {
        if (c < 0x10000) {
            out += static_cast<char>(0xE0 | (c >> 12));
        } else {
            out += static_cast<char>(0xF0 | (c >> 18));
            out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        }
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
        return;
    }
    std::u16string u;
    if (c >= 0x10000) {
        u.push_back(static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10)));
        u.push_back(static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF)));
    } else {
        u.push_back(static_cast<char16_t>(c));
    }
    out += platform::Utf16ToUtf8(u);
}

// A filter's listing of narrow text, made from each chunk that the filter
// has just scanned, on every thread of the engine's pool (one piece of the
// chunk's lines each), and kept in order until the count that heads it is known.
class CNarrowListing {
public:
    CNarrowListing(IChunkReader& source, std::int64_t end, const std::function<void(std::string&, std::uint8_t)>& shown)
    {
        for (unsigned k = 0; k < engine::CWorkPool::Shared().Threads(); ++k)
            m_rows.push_back(std::make_unique<headless::CNarrowRows>(source, end, shown));
    }

    // The lines that the filter listed from the chunk [base, base + bytes) at `data`.
    void Add(const linefilter::CLineFilter& filter, const std::uint8_t* data, std::int64_t base, std::size_t bytes)
    {
        const std::int64_t n = filter.Count();
        const std::vector<std::int64_t> starts = filter.Entries(m_listed, n - m_listed);
        m_listed = n;
        if (starts.empty())
            return;
        const std::size_t parts = starts.size() < 1024 ? 1 : m_rows.size();
        const std::size_t first = m_out.size();
        m_out.resize(first + parts);
        auto piece = [&](std::size_t k) {
            const std::size_t a = starts.size() * k / parts, b = starts.size() * (k + 1) / parts;
            // Room for rows of their lines' length and the offset beside them: most of the text is
            // written once, not copied again as the string grows.
            std::size_t room = 0;
            for (std::size_t i = a; i < b; ++i)
                room +=
                    24 +
                    static_cast<std::size_t>(std::min<std::int64_t>(
                        (i + 1 < starts.size() ? starts[i + 1] : base + static_cast<std::int64_t>(bytes)) - starts[i],
                        512));
            m_out[first + k].reserve(room);
            m_rows[k]->Hold(data, base, bytes);
            m_rows[k]->AppendListing(m_out[first + k], starts.data() + a, b - a);
        };
        if (parts == 1)
            piece(0);
        else
            engine::RunBlocks(parts, piece);
    }

    void Print()
    {
        for (const std::string& text : m_out)
            std::fwrite(text.data(), 1, text.size(), stdout);
        m_out.clear();
    }

private:
    std::vector<std::unique_ptr<headless::CNarrowRows>> m_rows;  // one for every thread
    std::vector<std::string> m_out;
    std::int64_t m_listed = 0;
};

class ProbePort : public headless::HeadlessPort {
public:
    using HeadlessPort::HeadlessPort;
    int ShowMessageBox(const std::string& text, const std::string& caption, unsigned type) override
    {
        const int answer = HeadlessPort::ShowMessageBox(text, caption, type);
        std::printf("message \"%s\"", EscapeText(text).c_str());
        if ((type & 0xF) != kMbOk)
            std::printf(" %s", answer == kIdYes ? "yes" : answer == kIdNo ? "no" : "cancel");
        std::printf("\n");
        return answer;
    }
};

class Probe : public platform::IMessageTarget, public IFileWndListener {
public:
    Probe(int rows, int cols) : m_port(rows, cols), m_wnd(&m_port)
    {
        m_hWnd = platform::RegisterWindow(this);
        m_wnd.SetNotifyWindow(m_hWnd);
        m_wnd.SetListener(this);
    }
    ~Probe() override
    {
        m_wnd.SetListener(nullptr);
        platform::UnregisterWindow(m_hWnd);
    }

    void OnRuleAlert(const std::string&) override { m_bMarked = true; }
    void OnFollowStopped(const std::string&) override {}
    bool m_bMarked = false;

    ProbePort m_port;
    bool m_regex = false;
    // Made before the window and so destroyed after it: the window's watcher
    // reads the file's size through the document's descriptor.
    CTextFileDoc m_doc;
    CFileWnd m_wnd;
    std::string m_narrow;  // the line last read for a row (kept for its capacity)
    std::u16string m_wide;
    platform::HWND m_hWnd = 0;
    std::int32_t m_nEncoding = 0;

    // What the view does when its window's file name names another file.
    std::intptr_t HandleMessage(unsigned msg, std::uintptr_t, std::intptr_t) override
    {
        if (msg == platform::WM_SOURCE_PROGRESS)
            ReportSourceEnd();
        if (msg != platform::WM_FILE_REPLACED)
            return 0;
        switch (m_doc.OnNameReplaced(m_nReplacesSeen)) {
        case CTextFileDoc::NameChange::Reopened:
            m_wnd.LoadFile(m_doc.GetMappedFile(), m_nEncoding);
            m_wnd.OnKeyDown(kVkEnd);
            std::printf("strip \"%s\"\n", text::FileReopened);
            break;
        case CTextFileDoc::NameChange::Offered:
            std::printf("strip \"%s\" [%s]\n", text::NameNamesAnotherFile, text::ReopenAction);
            break;
        case CTextFileDoc::NameChange::None: break;
        }
        return 0;
    }

    bool m_bSourceEndShown = false;
    std::uint32_t m_nReplacesSeen = 0;

    // Once, how the background reader ended when that lost text; true when
    // it is an error (the window shows nothing of it, or not all of it).
    bool ReportSourceEnd()
    {
        const CStreamSource* source = m_doc.GetSource();
        if (m_doc.IsSsh()) {
            // How the connection ended, with ssh's own reason, as the strip says it.
            if (!source || m_bSourceEndShown || source->GetProgress().state != CStreamSource::State::Complete)
                return false;
            m_bSourceEndShown = true;
            int status = 0;
            const bool ended = m_doc.CommandEnded(status, 200);
            std::printf("strip \"%s\" [%s]\n", EscapeText(DescribeSshEnd(ended, status, m_doc.SshErrors())).c_str(),
                        text::ReconnectAction);
            return false;
        }
        if (m_doc.IsCommand()) {
            // How the command ended, as the strip says it (its output ends a moment before it does).
            if (!source || m_bSourceEndShown || source->GetProgress().state != CStreamSource::State::Complete)
                return false;
            m_bSourceEndShown = true;
            int status = 0;
            if (m_doc.CommandEnded(status, 2000)) {
                std::string text = text::CommandEndedFormat;
                text.replace(text.find("%s"), 2, std::to_string(status));
                std::printf("strip \"%s\" [%s]\n", text.c_str(), text::RunAgainAction);
            } else {
                std::printf("strip \"%s\" [%s]\n", text::CommandOutputClosed, text::RunAgainAction);
            }
            return false;
        }
        bool error = false;
        const std::string end = source ? DescribeSourceEnd(source->GetProgress(), error) : std::string();
        if (end.empty() || m_bSourceEndShown)
            return false;
        m_bSourceEndShown = true;
        std::fprintf(stderr, "%s: %s\n", error ? "error" : "warning", end.c_str());
        return error;
    }

    // Opens the document and, for a background reader, waits until its text
    // can be shown; the exit code when it cannot (0: go on).
    int OpenDocument(const char* path)
    {
        if (std::strncmp(path, kJournalPrefix, std::strlen(kJournalPrefix)) == 0)
            return OpenJournal(path + std::strlen(kJournalPrefix));
        const bool command = std::strncmp(path, kCommandPrefix, std::strlen(kCommandPrefix)) == 0;
        const bool remote = command || sshname::IsSshName(path);
        if (command) {
            std::string error;
            if (!m_doc.OnOpenCommand(path + std::strlen(kCommandPrefix), error)) {
                std::fprintf(stderr, "error: %s: %s\n", path, error.c_str());
                return 3;
            }
        } else if (remote) {
            std::string error;
            if (!m_doc.OnOpenSsh(path, error)) {
                sshname::Name name;
                std::fprintf(stderr, "error: %s: %s\n", path,
                             error.empty() ? SshNameProblemText(sshname::Parse(path, name)) : error.c_str());
                return 3;
            }
        } else if (!m_doc.OnOpenDocument(path)) {
            return 3;
        }
        const bool input = std::strcmp(path, CTextFileDoc::kStandardInputName) == 0;
        m_doc.SetPathName(input || remote ? path : platform::CleanAbsolutePath(path).c_str());
        if (CStreamSource* source = m_doc.GetSource()) {
            source->AddWindow(m_hWnd);
            while (!m_doc.IsReadyToShow()) {
                platform::DrainPostedMessages();
                std::this_thread::sleep_for(std::chrono::milliseconds(2));
            }
            const bool pipe = source->IsPipe();
            if (ReportSourceEnd() && !pipe)
                return 1;
        }
        return 0;
    }

    // command:CMD: the output of the command line CMD (by /bin/sh -c), as it arrives.
    static constexpr const char* kCommandPrefix = "command:";

    // journal:DIR: the journal files of DIR, read whole before the commands run (and followed after).
    static constexpr const char* kJournalPrefix = "journal:";
    int OpenJournal(const char* dir)
    {
        platform::JournalQuery query;
        query.directory = platform::CleanAbsolutePath(dir);
        std::string error;
        if (!m_doc.OnOpenJournal(query, JournalTitle(query, {}), error)) {
            std::fprintf(stderr, "error: %s\n", error.c_str());
            return 1;
        }
        m_wnd.SetOwnFormat(logformat::MakeJournalFormat(m_doc.Journal()->Levels()));
        m_doc.GetSource()->AddWindow(m_hWnd);
        while (!m_doc.Journal()->HasReadAll() &&
               m_doc.GetSource()->GetProgress().state == CStreamSource::State::Running) {
            platform::DrainPostedMessages();
            m_doc.IsReadyToShow();  // the whole journal in place of its newest entries, once read
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        m_doc.IsReadyToShow();
        return ReportSourceEnd() ? 1 : 0;
    }

    void Paint(bool everything = false) { m_port.Paint(m_wnd, everything); }

    std::string Index(TextPos p) { return std::to_string(m_wnd.CharIndex(p)); }

    void PrintState()
    {
        CFileWnd& w = m_wnd;
        if (const CMergedWnd* m = w.GetMerged()) {
            const int file = m->TopFile();
            std::string line = "-";
            if (file >= 0) {
                const std::int64_t n = m_wnd.GetMerged()->WindowOf(file).LineNumberOf(m->Top().pos);
                line = n < 0 ? "?" : std::to_string(n);
            }
            std::printf("merged top=%c:%lld line=%s end=%d\n", file >= 0 ? mergedwnd::Letter(file) : '-',
                        static_cast<long long>(file >= 0 ? m->Top().pos : 0), line.c_str(), m->AtEnd() ? 1 : 0);
            return;
        }
        std::string top = "-", last = "-";
        std::uint64_t total = 0;
        if (w.HasText()) {
            top = Index(w.GetTop());
            last = Index(w.LastPageTop());
            total = w.CharacterCount();
        }
        std::string hl = "none";
        if (w.HasText() && w.GetHighlightStart() != kNoPos && w.GetHighlightEnd() != kNoPos &&
            w.GetHighlightStart() < w.GetHighlightEnd())
            hl = Index(w.GetHighlightStart()) + "-" + Index(w.GetHighlightEnd());
        std::string line = "-";
        if (w.HasText()) {
            const std::int64_t n = w.LineNumberOf(w.GetTop());
            line = n < 0 ? "?" : std::to_string(n);
        }
        std::printf("top=%s last=%s total=%llu enc=\"%s\" hoff=%lld longest=%lld hl=%s line=%s\n", top.c_str(),
                    last.c_str(), static_cast<unsigned long long>(total), EncodingName(w.GetEncoding()),
                    static_cast<long long>(w.GetHorzOffset()), static_cast<long long>(w.GetLongestLine()), hl.c_str(),
                    line.c_str());
    }

    // Printable characters as UTF-8 (a wide one once, marks after it), C escapes for the rest.
    static std::string EscapeChars(const std::u16string& text)
    {
        std::string out;
        char buf[16];
        for (std::size_t i = 0, units = 1; i < text.size(); i += units) {
            const char32_t ch = utf8text::CharAt16(text.data(), text.size(), i, &units);
            switch (ch) {
            case '\r': out += "\\r"; break;
            case '\n': out += "\\n"; break;
            case '\t': out += "\\t"; break;
            case '\\': out += "\\\\"; break;
            case '"': out += "\\\""; break;
            default:
                if (ch < 0x20 || (ch >= 0x7F && ch <= 0x9F) || (ch >= 0xD800 && ch <= 0xDFFF)) {
                    std::snprintf(buf, sizeof buf, "\\u%04X", static_cast<unsigned>(ch));
                    out += buf;
                } else {
                    AppendUtf8(out, ch);
                }
            }
        }
        return out;
    }

    // One character of a row as `print` shows it: printable ones as UTF-8,
    // the rest (and the highlight's marks) escaped.
    static void AppendShown(std::string& line, char32_t ch, bool wide)
    {
        char buf[16];
        if (ch < 0x20 || (ch >= 0x7F && ch <= 0x9F) || ch == '\\' || ch == 0xAB || ch == 0xBB ||
            (ch >= 0xD800 && ch <= 0xDFFF)) {
            if (wide)
                std::snprintf(buf, sizeof buf, "\\u%04X", static_cast<unsigned>(ch));
            else
                std::snprintf(buf, sizeof buf, "\\x%02X",
                              static_cast<unsigned>(platform::UnicodeToWin1252(static_cast<char16_t>(ch))));
            line += buf;
        } else {
            AppendUtf8(line, ch);
        }
    }

    bool ShowsWide() const
    {
        return m_wnd.GetEncoding() == EncodingUtf16LE || m_wnd.GetEncoding() == EncodingUtf16BE ||
               m_wnd.GetCodePage() == platform::CodePage::Utf8;
    }

    // The whole line at p (tabs expanded) as `print` shows a row.
    std::string ShownLine(TextPos p)
    {
        std::string line;
        AppendShownLine(line, p);
        return line;
    }

    // Printable ASCII stands for itself: runs of it are copied whole.
    static bool PlainAscii(std::uint32_t c) { return c >= 0x20 && c < 0x7F && c != '\\'; }

    void AppendShownLine(std::string& line, TextPos p)
    {
        m_narrow.clear();
        m_wide.clear();
        m_wnd.ReadLine(p, &m_narrow, &m_wide);
        const bool wideForm = ShowsWide();
        line += '|';
        for (std::size_t i = 0; i < m_narrow.size();) {
            std::size_t j = i;
            while (j < m_narrow.size() && PlainAscii(static_cast<std::uint8_t>(m_narrow[j])))
                ++j;
            line.append(m_narrow, i, j - i);
            if (j < m_narrow.size())
                AppendShown(line, platform::Win1252ToUnicode(static_cast<std::uint8_t>(m_narrow[j++])), false);
            i = j;
        }
        for (std::size_t i = 0, units = 1; i < m_wide.size(); i += units) {
            if (PlainAscii(m_wide[i])) {
                line += static_cast<char>(m_wide[i]);
                units = 1;
                continue;
            }
            AppendShown(line, utf8text::CharAt16(m_wide.data(), m_wide.size(), i, &units), wideForm);
        }
        line += '|';
    }

    // Lists the lines as the filter pane would; an invalid pattern ends the probe.
    void RunFilter(const std::string& verb, const std::string& pattern)
    {
        linefilter::FilterQuery query;
        query.pattern = platform::Utf8ToUtf16(pattern);
        query.regex = m_regex;
        query.ignoreCase = verb[0] == 'i';
        query.invert = verb[0] == 'x';
        linefilter::CLineFilter filter;
        std::string error;
        const linefilter::TextForm form{m_wnd.GetEncoding(), m_wnd.GetCodePage()};
        const TextPos start = m_wnd.HasText() ? m_wnd.DataStart() : 0;
        const TextPos end = m_wnd.HasText() ? m_wnd.DataEnd() : 0;
        // Narrow text: the rows are made from the filter's own chunks while it scans.
        const bool narrow = !ShowsWide() && !m_wnd.DecodesUtf8() && m_wnd.GetEncoding() == EncodingAnsi;
        CPreadChunkReader source(m_doc.GetMappedFile()->Handle());
        CNarrowListing listing(source, end, [](std::string& out, std::uint8_t b) {
            AppendShown(out, platform::Win1252ToUnicode(b), false);
        });
        if (narrow)
            filter.SetChunkSink([&](const std::uint8_t* data, std::int64_t base, std::size_t bytes) {
                listing.Add(filter, data, base, bytes);
            });
        if (!filter.Start(std::make_unique<CPreadChunkReader>(m_doc.GetMappedFile()->Handle()), form, query, start, end,
                          &error)) {
            std::fprintf(stderr, "error: %s\n", error.c_str());
            std::fflush(stdout);
            std::exit(2);
        }
        filter.WaitIdle();
        const std::int64_t n = filter.Count();
        std::printf("filter %lld\n", static_cast<long long>(n));
        if (narrow) {
            listing.Print();
            return;
        }
        // Rows go out in blocks of about a megabyte, not one call per row.
        std::string out;
        char number[24];
        for (std::int64_t k = 0; k < n; ++k) {
            const std::int64_t at = filter.At(k);
            const char* end = std::to_chars(number, number + sizeof number, at).ptr;
            out.append(number, static_cast<std::size_t>(end - number));
            out += '\t';
            AppendShownLine(out, at);
            out += '\n';
            if (out.size() >= (std::size_t{1} << 20) || k + 1 == n) {
                std::fwrite(out.data(), 1, out.size(), stdout);
                out.clear();
            }
        }
    }

    void PrintRows()
    {
        const std::vector<TextPos>& starts = m_wnd.PaintedRowStarts();
        const CMergedWnd* merged = m_wnd.GetMerged();
        std::size_t r = 0;
        for (std::string& row : ShownRows()) {
            if (r < starts.size() && m_wnd.RowFollowsHidden(starts[r]))
                row[0] = '-';
            if (merged && r < merged->PaintedRows().size() && merged->PaintedRows()[r].followsHidden)
                row[0] = '-';
            if (merged && r < merged->PaintedRows().size() && merged->PaintedRows()[r].file >= 0)
                row += std::string("  src=") + mergedwnd::Letter(merged->PaintedRows()[r].file);
            ++r;
            std::printf("%s\n", row.c_str());
        }
        if (m_wnd.IsFilteringRows()) {
            const shownset::ShownStatus s = m_wnd.GetShownStatus();
            std::printf("shown %lld of %lld\n", static_cast<long long>(s.shownLines),
                        static_cast<long long>(s.totalLines));
        }
    }

    // The visible rows as `print` shows them.
    std::vector<std::string> ShownRows()
    {
        std::vector<std::string> rows;
        const bool wide = ShowsWide();
        const auto& screen = m_port.Screen();
        // A merged window's source column is no part of the row's text (src= names the file).
        const size_t skip = m_wnd.GetMerged() ? mergedwnd::kSourceColumns : 0;
        for (int r = 0; r < m_port.Rows(); ++r) {
            std::string line = "|";
            bool inverse = false;
            const auto& cells = screen[static_cast<size_t>(r)];
            for (size_t i = skip; i < cells.size() && cells[i].ch; ++i) {
                const headless::Cell& c = cells[i];
                if (c.tail)
                    continue;
                if (c.inverse != inverse) {
                    line += c.inverse ? "\u00AB" : "\u00BB";
                    inverse = c.inverse;
                }
                const char32_t ch = c.ch;
                const bool high = ch >= 0xD800 && ch <= 0xDBFF;
                if (high && i + 1 < cells.size() && cells[i + 1].ch >= 0xDC00 && cells[i + 1].ch <= 0xDFFF &&
                    cells[i + 1].inverse == c.inverse) {
                    AppendUtf8(line, 0x10000 + ((ch - 0xD800) << 10) + (cells[i + 1].ch - 0xDC00));
                    ++i;
                } else {
                    AppendShown(line, ch, wide);
                }
                for (const char32_t m : c.marks)
                    AppendUtf8(line, m);
            }
            if (inverse)
                line += "\u00BB";
            line += "|" + RuleOfRow(cells, skip);
            rows.push_back(std::move(line));
        }
        return rows;
    }

    // A time in UTC as records prints it: YYYY-MM-DDTHH:MM:SS.ffffffZ.
    static std::string UtcText(std::int64_t micros)
    {
        const std::time_t secs = static_cast<std::time_t>((micros >= 0 ? micros : micros - 999999) / 1000000);
        std::tm tm{};
        gmtime_r(&secs, &tm);
        char buf[48];
        std::strftime(buf, sizeof buf, "%Y-%m-%dT%H:%M:%S", &tm);
        char frac[16];
        std::snprintf(frac, sizeof frac, ".%06lldZ",
                      static_cast<long long>(micros - static_cast<std::int64_t>(secs) * 1000000));
        return std::string(buf) + frac;
    }

    // The timeline of `width` columns over the window's record summaries, once they are complete.
    void PrintTimeline(int width)
    {
        m_wnd.SetSummariesWanted(true);
        m_wnd.WaitRecordSummaries();
        const logformat::CRecordSummaries* sums = m_wnd.GetRecordSummaries();
        timeline::CTimeline tl;
        if (sums)
            tl.Build(*sums, width, m_wnd.DataStart(), m_wnd.DataEnd());
        if (!sums || !tl.HasRecords()) {
            std::printf("timeline none\n");
            return;
        }
        std::printf("timeline %s %s\n", UtcText(tl.First()).c_str(), UtcText(tl.Last()).c_str());
        // Columns by severity first, records without a level last (the level's index 0).
        for (int c = 0; c < tl.Width(); ++c) {
            const timeline::Column& col = tl.At(c);
            std::printf("%s", UtcText(tl.Start(c)).c_str());
            for (int level = 1; level <= logformat::kLevels; ++level)
                std::printf(" %llu", static_cast<unsigned long long>(col.n[level % logformat::kLevels]));
            std::printf("\n");
        }
    }

    // "format NAME", then per visible row of text whether a record starts on
    // it (+) or it continues the one above (~), the record's level and time.
    void PrintRecords()
    {
        Paint(true);
        const logformat::CFormat* format = m_wnd.HasText() ? m_wnd.RecordFormat() : nullptr;
        std::printf("format %s\n", format ? format->Name().c_str() : "none");
        if (!m_wnd.HasText())
            return;
        CPreadChunkReader reader(m_doc.GetMappedFile()->Handle());
        const BreakUnits units{m_wnd.CodeUnitSize(), m_wnd.GetCRUnit(), m_wnd.GetLFUnit()};
        logformat::CRecordReader records(reader, m_wnd.DataStart(), m_wnd.DataEnd(), units, format,
                                         m_wnd.StampContextOfFile());
        const std::vector<std::string> rows = ShownRows();
        TextPos p = m_wnd.LineStartOf(m_wnd.GetTop());
        for (const std::string& row : rows) {
            if (p >= m_wnd.DataEnd())
                break;
            const logformat::Record r = records.RecordOf(p);
            const std::string when = r.timed ? UtcText(r.micros) : "-";
            std::printf("%c %s %s\t%s\n", r.starts ? '+' : '~', logformat::LevelName(r.level), when.c_str(),
                        row.c_str());
            p = records.NextLineStart(p);
        }
    }

    // "  rule=NAME" when one rule covers more than half of the characters printed, else nothing.
    static std::string RuleOfRow(const std::vector<headless::Cell>& cells, size_t skip)
    {
        const auto& rules = CurrentHighlightRules();
        std::map<int, int> count;
        int printed = 0;
        for (size_t i = skip; i < cells.size() && cells[i].ch; ++i) {
            if (cells[i].tail)
                continue;
            ++printed;
            if (cells[i].rule >= 0)
                ++count[cells[i].rule];
        }
        for (const auto& [rule, n] : count)
            if (rules && 2 * n > printed)
                return "  rule=" + rules->Rules()[static_cast<size_t>(rule)].name;
        return {};
    }

    // The filter stack's commands: the window's stack changed and applied, decided before the next command.
    bool StackCommand(const std::string& verb, const std::string& arg, bool hasArg, bool apply)
    {
        shownset::FilterStack st = m_wnd.GetFilterStack();
        if ((verb == "include" || verb == "exclude" || verb == "iinclude" || verb == "iexclude") && hasArg &&
            !arg.empty()) {
            const bool ignore = verb[0] == 'i';
            shownset::FilterRule rule;
            rule.kind =
                verb.find("include") != std::string::npos ? shownset::RuleKind::Include : shownset::RuleKind::Exclude;
            rule.text = platform::Utf8ToUtf16(arg);
            rule.regex = m_regex;
            rule.caseSensitive = !ignore;
            st.rules.push_back(rule);
        } else if (!hasArg && (verb == "anyof" || verb == "allof")) {
            st.combine = verb == "allof" ? shownset::Combine::All : shownset::Combine::Any;
        } else if (verb == "level" && hasArg) {
            logformat::Level level = logformat::Level::None;
            if (arg != "any" && (!logformat::ParseLevelName(arg, level) || level == logformat::Level::Trace))
                return false;
            st.lowest = level;
        } else if ((verb == "since" || verb == "until") && hasArg) {
            std::int64_t micros = 0;
            if (!timeseek::ParseUserTime(arg, micros))
                return false;
            (verb == "since" ? st.hasFrom : st.hasTo) = true;
            (verb == "since" ? st.fromMicros : st.toMicros) = micros;
        } else if (verb == "context" && hasArg) {
            int n = -1;
            const auto r = std::from_chars(arg.data(), arg.data() + arg.size(), n);
            if (r.ec != std::errc() || r.ptr != arg.data() + arg.size() || n < 0 ||
                n > shownset::FilterStack::kMaxContext)
                return false;
            st.context = n;
        } else if (!hasArg && verb == "showall") {
            if (apply)
                m_wnd.SetShowOnlyFiltered(false);
            return true;
        } else {
            return false;
        }
        if (apply) {
            m_wnd.SetFilterStack(st);
            m_wnd.SetShowOnlyFiltered(true);
            m_wnd.WaitShownSet();
        }
        return true;
    }

    // Checks one command and, when `apply`, carries it out. Checking has no
    // effect, so a whole script can be checked before anything runs.
    bool Run(const std::string& cmd, bool apply)
    {
        const size_t colon = cmd.find(':');
        const std::string verb = cmd.substr(0, colon);
        const std::string arg = colon == std::string::npos ? std::string() : cmd.substr(colon + 1);
        const bool hasArg = colon != std::string::npos;
        if (verb == "key" && hasArg) {
            static const struct {
                const char* name;
                unsigned vk;
            } keys[] = {
                {"space", kVkSpace}, {"pgup", kVkPrior}, {"pgdn", kVkNext},   {"end", kVkEnd},   {"home", kVkHome},
                {"left", kVkLeft},   {"up", kVkUp},      {"right", kVkRight}, {"down", kVkDown},
            };
            for (const auto& k : keys)
                if (arg == k.name) {
                    if (apply)
                        m_wnd.OnKeyDown(k.vk);
                    return true;
                }
            return false;
        }
        if (verb == "wheel" && (arg == "up" || arg == "down")) {
            if (apply)
                m_wnd.OnMouseWheel(arg == "up" ? 120 : -120);
            return true;
        }
        if (verb == "hwheel" && (arg == "left" || arg == "right")) {
            if (apply)
                m_wnd.OnMouseHWheel(arg == "right" ? 120 : -120);
            return true;
        }
        if ((verb == "thumb" || verb == "hthumb") && hasArg) {
            char* endp = nullptr;
            long long n = std::strtoll(arg.c_str(), &endp, 10);
            if (arg.empty() || *endp)
                return false;
            if (!apply)
                return true;
            // As a real bar: its value stays between 0 and its last reachable position.
            const headless::ScrollInfo& bar = verb == "thumb" ? m_port.m_vert : m_port.m_horz;
            const long long reach = std::max<long long>(bar.max - bar.page, 0);
            n = std::clamp<long long>(n, 0, reach);
            if (verb == "thumb") {
                m_port.m_trackPos = n;
                m_wnd.OnVScroll(kSbThumbTrack);
            } else {
                m_wnd.OnHScroll(kSbThumbTrack, n);
            }
            return true;
        }
        if (verb == "resize" && hasArg) {
            int r = 0, c = 0;
            char x = 0;
            if (std::sscanf(arg.c_str(), "%d%c%d", &r, &x, &c) != 3 || x != 'x' || r < 0 || c < 0)
                return false;
            if (!apply)
                return true;
            m_port.Resize(r, c);
            const WRect rc = m_port.GetClientRect();
            m_wnd.OnSize(rc.Width(), rc.Height());
            return true;
        }
        if ((verb == "find" || verb == "next" || verb == "prev" || verb == "ifind" || verb == "inext" ||
             verb == "iprev") &&
            hasArg) {
            if (!apply)
                return true;
            const bool ignore = verb[0] == 'i';
            const std::string v = ignore ? verb.substr(1) : verb;
            const std::u16string text = platform::Utf8ToUtf16(arg);
            const int rc = v == "find"   ? m_wnd.FindFirst(ignore, text)
                           : v == "next" ? m_wnd.FindNext(ignore, text)
                                         : m_wnd.FindPrevious(ignore, text);
            if (rc == 2) {
                std::fprintf(stderr, "error: %s\n", m_wnd.GetPatternError().c_str());
                std::exit(2);
            }
            return true;
        }
        if ((verb == "filter" || verb == "ifilter" || verb == "xfilter") && hasArg) {
            if (apply)
                RunFilter(verb, arg);
            return true;
        }
        if (verb == "select" && hasArg) {
            long long a = 0, b = 0;
            char dash = 0;
            if (std::sscanf(arg.c_str(), "%lld%c%lld", &a, &dash, &b) != 3 || dash != '-' || a < 0 || b < 0)
                return false;
            if (!apply)
                return true;
            m_wnd.SetSelection(static_cast<TextPos>(a), static_cast<TextPos>(b));
            m_wnd.PublishSelection();
            return true;
        }
        if (cmd == "click") {
            if (!apply)
                return true;
            m_wnd.OnLButtonDown();
            m_wnd.OnLButtonUp();
            return true;
        }
        if (cmd == "copy") {
            if (!apply)
                return true;
            m_port.m_clipFormat = 0;
            m_port.m_clipboard.clear();
            m_wnd.CopyToClipboard();
            if (m_port.m_clipFormat) {
                const auto& b = m_port.m_clipboard;
                const size_t n = b.size() >= 2 ? b.size() - 2 : 0;
                const bool unicode = m_port.m_clipFormat == kCfUnicodeText;
                std::string shown = EscapeBytes(b.data(), n);
                if (unicode && m_wnd.GetCodePage() == platform::CodePage::Utf8) {
                    std::u16string text(n / 2, u'\0');
                    std::memcpy(text.data(), b.data(), text.size() * 2);
                    shown = EscapeChars(text);
                }
                std::printf("clip %s %s\n", unicode ? "unicode" : "text", shown.c_str());
            }
            return true;
        }
        if (cmd == "reload") {
            if (!apply)
                return true;
            m_wnd.LoadFile(nullptr, EncodingAuto);
            return true;
        }
        if (verb == "gotoline" && hasArg) {
            char* endp = nullptr;
            const long long n = std::strtoll(arg.c_str(), &endp, 10);
            if (arg.empty() || *endp)
                return false;
            if (apply && !m_wnd.GoToLine(n))
                std::fprintf(stderr, "warning: line out of range\n");
            return true;
        }
        if (verb == "gototime" && hasArg) {
            std::int64_t micros = 0;
            if (!timeseek::ParseUserTime(arg, micros))
                return false;
            if (!apply)
                return true;
            const CFileWnd::TimeJump jump = m_wnd.GoToTime(arg);
            if (jump == CFileWnd::TimeJump::NoTimestamps)
                std::fprintf(stderr, "warning: no timestamps recognised\n");
            else if (jump == CFileWnd::TimeJump::AfterLast)
                std::fprintf(stderr, "warning: after the last timestamp\n");
            return true;
        }
        if (verb == "wait" && hasArg) {
            char* endp = nullptr;
            const long ms = std::strtol(arg.c_str(), &endp, 10);
            if (arg.empty() || *endp || ms < 0)
                return false;
            if (!apply)
                return true;
            const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
            do {
                if (platform::DrainPostedMessages())
                    Paint();
                std::this_thread::sleep_for(std::chrono::milliseconds(2));
            } while (std::chrono::steady_clock::now() < until);
            platform::DrainPostedMessages();
            return true;
        }
        if ((verb == "mark" || verb == "unmark") && hasArg) {
            char* endp = nullptr;
            const long long n = std::strtoll(arg.c_str(), &endp, 10);
            if (arg.empty() || *endp || n < 1)
                return false;
            if (!apply)
                return true;
            CLineIndex* index = m_wnd.GetLineIndex();
            const TextPos start = index ? index->LineStart(n) : kNoPos;
            if (start == kNoPos || start >= m_wnd.DataEnd())
                std::fprintf(stderr, "warning: line out of range\n");
            else if (verb == "mark")
                m_wnd.Marks().Add(start);
            else
                m_wnd.Marks().Remove(start);
            return true;
        }
        if (cmd == "nextmark" || cmd == "prevmark") {
            if (!apply)
                return true;
            const bool forward = cmd == "nextmark";
            const CFileWnd::MarkJump jump = m_wnd.GoToMark(forward);
            if (jump == CFileWnd::MarkJump::NoMarks)
                std::printf("strip \"%s\"\n", text::NoMarks);
            else if (jump == CFileWnd::MarkJump::Wrapped)
                std::printf("strip \"%s\"\n", forward ? text::MarksWrappedToFirst : text::MarksWrappedToLast);
            return true;
        }
        if (cmd == "marks") {
            if (!apply)
                return true;
            const std::vector<CMark>& marks = m_wnd.Marks().All();
            std::printf("marks %zu\n", marks.size());
            CLineIndex* index = m_wnd.GetLineIndex();
            for (const CMark& m : marks) {
                if (index)
                    index->CountUpTo(m.pos + 1);
                const std::int64_t line = index ? index->LineNumberAt(m.pos) : -1;
                std::printf("%lld\t%s\n", static_cast<long long>(line), m.note.c_str());
            }
            return true;
        }
        if (verb == "save" && hasArg) {
            if (!apply)
                return true;
            std::vector<TextPos> starts;
            for (const CMark& m : m_wnd.Marks().All())
                starts.push_back(m.pos);
            const savelines::CSaveOutcome outcome = savelines::SaveLines(
                m_wnd.Lines(), m_doc.GetMappedFile()->Handle(), savelines::LinesOf(starts), arg, {m_doc.GetPathName()});
            if (outcome.result == savelines::SaveResult::Saved)
                std::printf("saved %llu\n", static_cast<unsigned long long>(outcome.lines));
            else if (outcome.result == savelines::SaveResult::ViewedFile)
                std::fprintf(stderr, "error: %s\n", text::SaveLinesViewedFile);
            else
                std::fprintf(stderr, "error: %s\n", outcome.error.c_str());
            return true;
        }
        if (cmd == "alerts") {
            if (apply)
                std::printf("alerts marked=%d stopped=%d\n", m_bMarked ? 1 : 0, m_wnd.IsFollowStopped() ? 1 : 0);
            return true;
        }
        if (verb == "timeline" && hasArg) {
            char* endp = nullptr;
            const long width = std::strtol(arg.c_str(), &endp, 10);
            if (arg.empty() || *endp || width < 1 || width > 100000)
                return false;
            if (apply)
                PrintTimeline(static_cast<int>(width));
            return true;
        }
        if (cmd == "records") {
            if (apply)
                PrintRecords();
            return true;
        }
        if (StackCommand(verb, arg, hasArg, apply))
            return true;
        if (cmd == "print") {
            if (!apply)
                return true;
            Paint(true);
            PrintState();
            PrintRows();
            return true;
        }
        return false;
    }
};

bool ParseInt(const char* s, int lo, int hi, int& out)
{
    char* end = nullptr;
    const long v = std::strtol(s, &end, 10);
    if (!*s || *end || v < lo || v > hi)
        return false;
    out = static_cast<int>(v);
    return true;
}

// The error of a find command's pattern, or empty (any other command, or a valid pattern).
std::string PatternError(const std::string& cmd)
{
    const std::size_t colon = cmd.find(':');
    static const char* const kFinds[] = {"find", "next", "prev", "ifind", "inext", "iprev"};
    const std::string verb = cmd.substr(0, colon);
    if (colon == std::string::npos || std::find(std::begin(kFinds), std::end(kFinds), verb) == std::end(kFinds))
        return {};
    const regexsearch::CPattern pattern(platform::Utf8ToUtf16(cmd.substr(colon + 1)), verb[0] == 'i', EncodingUtf16LE,
                                        platform::CodePage::Utf8);
    return pattern.Error();
}

// Puts the rules of the INI file in force; 2 (after "error: ...") when it cannot be read.
int LoadRules(const char* path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    if (in)
        text << in.rdbuf();
    std::vector<HighlightRule> rules;
    if (!in || !ReadRulesFromIni(text.str(), rules)) {
        std::fprintf(stderr, "error: cannot read highlight rules from %s\n", path);
        return 2;
    }
    std::vector<std::string> warnings;
    auto set = std::make_shared<CHighlightRules>(std::move(rules), &warnings);
    for (const std::string& w : warnings)
        std::fprintf(stderr, "warning: %s\n", w.c_str());
    SetCurrentHighlightRules(std::move(set));
    return 0;
}

int Usage()
{
    std::fputs(kUsage, stderr);
    return 2;
}

}  // namespace

int main(int argc, char** argv)
{
    int rows = 24, cols = 80, encoding = 0, textCase = 0, answer = kIdCancel;
    platform::CodePage codePage = platform::CodePage::Windows1252;
    bool watch = true, indexWait = false, regex = false;
    const char* rulesPath = nullptr;
    const char* storeDir = nullptr;
    const char* formatsDir = nullptr;
    std::vector<std::string> merges;
    bool rotated = false;
    int i = 1;
    for (; i < argc && argv[i][0] == '-' && argv[i][1] == '-'; ++i) {
        const std::string opt = argv[i];
        if (opt == "--help") {
            std::fputs(kUsage, stdout);
            return 0;
        }
        if (opt == "--no-watch") {
            watch = false;
            continue;
        }
        if (opt == "--index-wait") {
            indexWait = true;
            continue;
        }
        if (opt == "--regex") {
            regex = true;
            continue;
        }
        if (opt == "--rotated") {
            rotated = true;
            continue;
        }
        if (opt == "--follow-name") {
            CTextFileDoc::SetFollowName(true);
            continue;
        }
        if (i + 1 >= argc)
            return Usage();
        const char* val = argv[++i];
        if (opt == "--max-decompressed") {
            char* end = nullptr;
            const unsigned long long n = std::strtoull(val, &end, 10);
            if (!*val || *end || n == 0)
                return Usage();
            CTextFileDoc::SetTextLimit(n);
        } else if (opt == "--rows") {
            if (!ParseInt(val, 0, 100000, rows))
                return Usage();
        } else if (opt == "--cols") {
            if (!ParseInt(val, 0, 100000, cols))
                return Usage();
        } else if (opt == "--encoding") {
            if (!ParseInt(val, 0, 3, encoding))
                return Usage();
        } else if (opt == "--case") {
            if (!ParseInt(val, 0, 3, textCase))
                return Usage();
        } else if (opt == "--store") {
            storeDir = val;
        } else if (opt == "--merge") {
            merges.push_back(val);
        } else if (opt == "--formats") {
            formatsDir = val;
        } else if (opt == "--rules") {
            rulesPath = val;
        } else if (opt == "--code-page") {
            if (!platform::ParseCodePageKey(val, codePage))
                return Usage();
        } else if (opt == "--answer") {
            const std::string a = val;
            if (a == "yes")
                answer = kIdYes;
            else if (a == "no")
                answer = kIdNo;
            else if (a == "cancel")
                answer = kIdCancel;
            else
                return Usage();
        } else {
            return Usage();
        }
    }
    if (i >= argc)
        return Usage();
    const char* path = argv[i++];
    if (rulesPath && LoadRules(rulesPath) != 0)
        return 2;
    if (formatsDir)
        logformat::SetCurrentFormats(logformat::LoadFormats(formatsDir, std::cerr));
    platform::RaiseOpenFileLimit();
    std::setvbuf(stdout, nullptr, _IOLBF, 0);

    // The probe's own choice, not the locale's: a script reads the same everywhere.
    platform::SetAnsiCodePage(codePage);
    Probe probe(rows, cols);
    probe.m_port.m_answer = answer;
    probe.m_wnd.SetTextCase(textCase);
    probe.m_wnd.SetWatchFile(watch);
    probe.m_wnd.SetCountLines(indexWait);
    probe.m_regex = regex;
    // Commands are checked before anything runs: a typo must not leave half a script done.
    for (int k = i; k < argc; ++k) {
        if (!probe.Run(argv[k], false)) {
            std::fprintf(stderr, "ostrel-probe: bad command '%s'\n", argv[k]);
            return Usage();
        }
        const std::string error = regex ? PatternError(argv[k]) : std::string();
        if (!error.empty()) {
            std::fprintf(stderr, "error: %s\n", error.c_str());
            return 2;
        }
    }
    probe.m_wnd.SetRegularExpression(regex);

    probe.m_nEncoding = encoding;
    if (const int code = probe.OpenDocument(path); code == 1)
        return 1;
    if (!probe.m_doc.GetMappedFile() || !probe.m_wnd.LoadFile(probe.m_doc.GetMappedFile(), encoding)) {
        std::printf("load failed\n");
        return 3;
    }
    // The file's marks, kept in the store's database under DIR.
    CStateStore store;
    if (storeDir && probe.m_doc.GetPathName() != CTextFileDoc::kStandardInputName) {
        store.Open(std::string(storeDir) + "/" + CStateStore::kFileName, std::cerr);
        probe.m_wnd.SetMarks(store.MarksFor(probe.m_doc.GetPathName(), probe.m_doc.GetMappedFile()->Handle()));
        if (const std::string notice = store.TakeNotice(); !notice.empty())
            std::printf("strip \"%s\"\n", EscapeText(notice).c_str());
    }
    if (indexWait && probe.m_wnd.GetLineIndex())
        probe.m_wnd.GetLineIndex()->WaitForWorker();
    if (!merges.empty()) {
        merges.push_back(path);
        auto merged = std::make_unique<CMergedWnd>(probe.m_wnd);
        std::vector<CMergedWnd::Failure> failures;
        if (!merged->Open(merges, watch, indexWait, failures)) {
            for (const CMergedWnd::Failure& f : failures)
                std::fprintf(stderr, "error: %s: %s\n", f.path.c_str(), MergeFailureReason(f.why));
            return 2;
        }
        for (int k = 0; indexWait && k < merged->Count(); ++k)
            if (CLineIndex* index = merged->WindowOf(k).GetLineIndex())
                index->WaitForWorker();
        probe.m_wnd.SetMerged(std::move(merged));
    }
    if (const std::vector<std::string> set = rotation::SetOf(platform::CleanAbsolutePath(path));
        rotated && merges.empty() && set.size() > 1) {
        auto merged = std::make_unique<CMergedWnd>(probe.m_wnd);
        if (!merged->OpenSequence(set, watch, indexWait)) {
            std::fprintf(stderr, "error: %s: %s\n", path, text::MergeCannotOpen);
            return 2;
        }
        probe.m_wnd.SetMerged(std::move(merged));
    }
    // A script reads the same whatever the machine's speed: the compressed parts a command reached are read.
    auto settle = [&] {
        const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        while (probe.m_wnd.GetMerged() && probe.m_wnd.GetMerged()->Progress().reading >= 0 &&
               std::chrono::steady_clock::now() < until) {
            platform::DrainPostedMessages();
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        // A compressed file of a merge that cannot take part once read, as the viewer's strip says it.
        if (CMergedWnd* merged = probe.m_wnd.GetMerged())
            for (const CMergedWnd::Failure& f : merged->TakeLateFailures())
                std::fprintf(stderr, "error: %s: %s\n", f.path.c_str(), MergeFailureReason(f.why));
    };
    settle();
    probe.Paint();
    for (; i < argc; ++i) {
        probe.Run(argv[i], true);
        settle();
        probe.Paint();
    }
    return 0;
}
