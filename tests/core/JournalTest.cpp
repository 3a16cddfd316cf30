// The systemd journal as a document: its text as journalctl -o short-iso
// writes it, the query's narrowing, each entry's level and time taken from
// its fields (Log Levels, the filter stack's lowest level, Go to Time), new
// entries followed, and the oldest dropped at the text limit. Every journal
// is made in a temporary folder by systemd-journal-remote.
#include "FakeViewHost.h"
#include "engine/HighlightRules.h"
#include "engine/JournalFormat.h"
#include "file/TextFileDoc.h"
#include "platform/Journal.h"
#include "tests/core/FollowUtil.h"
#include "tests/core/JournalUtil.h"
#include "tests/core/TestUtil.h"
#include "view/Profile.h"
#include "view/StringTable.h"
#include "view/TextFileView.h"

#include <algorithm>
#include <cstdlib>
#include <ctime>
#include <filesystem>

// Entries are written with designated initializers naming only the fields that matter to a case.
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"

using followtest::PumpUntil;
using journaltest::Entry;
using viewtest::TextOf;

namespace {

constexpr std::uint64_t kBase = 1765000000000000;  // 2025-12-06 05:46:40 UTC
constexpr std::uint64_t kSecond = 1000000;

// Sets one of the document's or the reader's limits for a scope; 0 at its end puts back the default.
struct ScopedLimit {
    void (*set)(std::uint64_t);
    ScopedLimit(void (*s)(std::uint64_t), std::uint64_t value) : set(s) { set(value); }
    ~ScopedLimit() { set(0); }
};

bool HaveTools()
{
    return ::access(journaltest::kJournalRemote, X_OK) == 0;
}

platform::JournalQuery QueryOf(const std::string& dir, int lowest = 7)
{
    platform::JournalQuery query;
    query.directory = dir;
    query.lowestPriority = lowest;
    return query;
}

std::string ReadAll(const platform::JournalQuery& query)
{
    platform::CJournalReader reader;
    std::string error, text;
    EXPECT_TRUE(reader.Open(query, error)) << error;
    platform::JournalEntryInfo info;
    while (reader.Next(text, info)) {
    }
    return text;
}

// The messages of a text's entry lines (what follows "]: ").
std::vector<std::string> Messages(const std::string& text)
{
    std::vector<std::string> out;
    for (std::size_t at = 0; at < text.size();) {
        std::size_t nl = text.find('\n', at);
        if (nl == std::string::npos)
            nl = text.size();
        const std::string line = text.substr(at, nl - at);
        if (const std::size_t colon = line.find("]: "); colon != std::string::npos && line[0] != ' ')
            out.push_back(line.substr(colon + 3));
        at = nl + 1;
    }
    return out;
}

TEST(Journal, TextIsWhatJournalctlWrites)
{
    if (!HaveTools() || ::access("/bin/journalctl", X_OK) != 0)
        GTEST_SKIP() << "systemd-journal-remote or journalctl is not installed";
    // Local time two hours east of UTC (a POSIX zone string: no zone files needed), for this process and the
    // journalctl it starts.
    testutil::ScopedEnv zone("TZ", "XST-2", ::tzset);
    const std::string b2(32, 'b');
    std::vector<Entry> entries;
    auto add = [&](Entry e) {
        e.realtime = kBase + entries.size() * 1700000;
        entries.push_back(std::move(e));
    };
    add({.priority = 6, .message = "plain"});
    add({.priority = 3, .message = "first line\nsecond line\nthird"});
    add({.priority = -1, .message = "no priority"});
    add({.priority = 5, .message = "no host", .host = ""});
    add({.priority = 5, .message = "comm only", .identifier = "", .comm = "daemon"});
    add({.priority = 5, .message = "no pid", .pid = ""});
    add({.priority = 5, .message = "", .hasMessage = false});
    add({.priority = 4, .message = "trailing break\n"});
    add({.priority = 2, .message = "next boot", .boot = b2});
    add({.priority = 6, .message = "tab\there and UTF-8 \u00e9", .boot = b2});
    testutil::TempDir dir;
    ASSERT_TRUE(journaltest::WriteJournal(dir.Path() + "/a.journal", entries));
    const platform::JournalQuery query = QueryOf(dir.Path());
    const std::string expected =
        journaltest::OutputOf("journalctl -o short-iso --no-pager --directory '" + dir.Path() + "' 2>/dev/null");
    ASSERT_FALSE(expected.empty());
    EXPECT_EQ(ReadAll(query), expected);
}

TEST(Journal, TheQueryNarrowsTheEntries)
{
    if (!HaveTools())
        GTEST_SKIP() << "systemd-journal-remote is not installed";
    const std::string boots[] = {std::string(32, '1'), std::string(32, '2'), std::string(32, '3')};
    const char* const units[] = {"u1.service", "u2.service", "u3.service"};
    std::vector<Entry> entries;
    for (int i = 0; i < 45; ++i)
        entries.push_back({.realtime = kBase + static_cast<std::uint64_t>(i) * kSecond,
                           .priority = i % 9 == 8 ? -1 : i % 9,
                           .message = "m" + std::to_string(i),
                           .unit = units[i % 3],
                           .boot = boots[i / 15]});
    testutil::TempDir dir;
    ASSERT_TRUE(journaltest::WriteJournal(dir.Path() + "/a.journal", entries));
    using Boot = platform::JournalQuery::Boot;
    const struct {
        const char* name;
        Boot boot;
        std::vector<std::string> units;
        int lowest;
        int since;  // entry index, -1: none
    } cases[] = {
        {"everything", Boot::All, {}, 7, -1},
        {"this boot: the last", Boot::This, {}, 7, -1},
        {"the previous boot", Boot::Previous, {}, 7, -1},
        {"one unit", Boot::All, {"u2.service"}, 7, -1},
        {"two units", Boot::All, {"u1.service", "u3.service"}, 7, -1},
        {"warnings and above", Boot::All, {}, 4, -1},
        {"since a time", Boot::All, {}, 7, 31},
        {"all at once", Boot::Previous, {"u1.service", "u2.service"}, 3, 20},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        platform::JournalQuery query = QueryOf(dir.Path(), c.lowest);
        query.boot = c.boot;
        query.units = c.units;
        query.hasSince = c.since >= 0;
        query.sinceMicros =
            c.since >= 0 ? static_cast<std::int64_t>(entries[static_cast<std::size_t>(c.since)].realtime) : 0;
        std::vector<std::string> expected;
        const std::string& wantBoot = c.boot == Boot::This ? boots[2] : boots[1];
        for (const Entry& e : entries) {
            const bool boot = c.boot == Boot::All || e.boot == wantBoot;
            const bool unit = c.units.empty() || std::find(c.units.begin(), c.units.end(), e.unit) != c.units.end();
            const bool level = c.lowest == 7 || (e.priority >= 0 && e.priority <= c.lowest);
            const bool time = !query.hasSince || e.realtime >= static_cast<std::uint64_t>(query.sinceMicros);
            if (boot && unit && level && time)
                expected.push_back(e.message);
        }
        EXPECT_EQ(Messages(ReadAll(query)), expected);
    }
    // The units the journal names, for the dialog's list.
    platform::CJournalReader reader;
    std::string error;
    ASSERT_TRUE(reader.Open(QueryOf(dir.Path()), error));
    EXPECT_EQ(reader.Units(), (std::vector<std::string>{"u1.service", "u2.service", "u3.service"}));
    EXPECT_EQ(platform::JournalEntryFields(dir.Path(), entries[4].realtime),
              "_SYSTEMD_UNIT=u2.service\n_PID=100\nSYSLOG_IDENTIFIER=ident\n_HOSTNAME=host");
}

class JournalWindow : public followtest::WatchingTest {};

// Levels and times come from the entries' fields, whatever their messages say: Log Levels colours each row by
// its PRIORITY, the filter stack's lowest level hides the rest, Go to Time lands on the entry of its time.
TEST_F(JournalWindow, LevelsAndTimesAreTheEntriesOwn)
{
    if (!HaveTools())
        GTEST_SKIP() << "systemd-journal-remote is not installed";
    followtest::ScopedRules rules(LogLevelRules());
    const char* const words[] = {"ERROR", "debug", "WARN", "info", "FATAL", "trace", "warning", "error", "x"};
    std::vector<Entry> entries;
    for (int i = 0; i < 9; ++i)
        entries.push_back({.realtime = kBase + static_cast<std::uint64_t>(i) * 2500000 + 123456,
                           .priority = i == 8 ? -1 : (i * 5) % 8,
                           .message = std::string(words[i]) + " says the text, entry " + std::to_string(i),
                           .pid = std::to_string(200 + i)});
    testutil::TempDir dir;
    ASSERT_TRUE(journaltest::WriteJournal(dir.Path() + "/a.journal", entries));
    // A journal shorter than the newest entries shown first is read in one pass; a longer one in two.
    for (const std::uint64_t first : {CJournalProducer::kFirstEntries, std::uint64_t{3}}) {
        SCOPED_TRACE("first entries " + std::to_string(first));
        const ScopedLimit firstEntries(CJournalProducer::SetFirstEntries, first);
        CTextFileDoc doc;
        const platform::JournalQuery query = QueryOf(dir.Path());
        std::string error;
        ASSERT_TRUE(doc.OnOpenJournal(query, JournalTitle(query, {}), error)) << error;
        EXPECT_EQ(doc.GetPathName(), "Journal (" + dir.Path() + ")");
        viewtest::HostedView hosted(doc, 5, 120, false);
        viewtest::FakeHost& host = hosted.host;
        CTextFileView& view = *hosted.view;
        ASSERT_TRUE(PumpUntil([&] {
            return view.IsLoaded() && doc.Journal()->HasReadAll() && Messages(TextOf(doc)).size() == entries.size();
        }));
        // Read in two steps, the newest entries first: the whole text took their place.
        EXPECT_EQ(doc.ReplaceCount(), first < entries.size() ? 1U : 0U);
        EXPECT_EQ(TextOf(doc), ReadAll(query));
        CFileWnd& w = *host.wnd;
        ASSERT_NE(w.RecordFormat(), nullptr);
        EXPECT_EQ(w.RecordFormat()->Name(), logformat::kJournalFormatName);
        // The first screenful, then the last.
        for (const int key : {kVkHome, kVkEnd}) {
            w.OnKeyDown(key);
            host.port.Paint(w, true);
            const std::size_t top = key == kVkHome ? 0 : entries.size() - 5;
            for (std::size_t i = top; i < top + 5; ++i) {
                const logformat::Level level = logformat::LevelOfSeverity(entries[i].priority);
                const int rule =
                    level == logformat::Level::None ? -1 : rules.set->RuleForLevel(static_cast<int>(level));
                EXPECT_EQ(host.port.Screen()[i - top][0].rule, rule) << "entry " << i;
            }
        }
        // The top row's tooltip: its entry's fields (the screen shows the last five entries).
        EXPECT_EQ(w.RowTip(0), "_PID=" + entries[entries.size() - 5].pid + "\nSYSLOG_IDENTIFIER=ident\n_HOSTNAME=host");
        // Each entry's record: its level and its time to the microsecond.
        CPreadChunkReader reader(doc.GetMappedFile()->Handle());
        logformat::CRecordReader records(reader, w.DataStart(), w.DataEnd(), BreakUnits{1, '\r', '\n'},
                                         w.RecordFormat(), w.StampContextOfFile());
        std::int64_t at = w.DataStart();
        for (const Entry& e : entries) {
            const logformat::Record r = records.RecordOf(at);
            EXPECT_TRUE(r.starts && r.timed);
            EXPECT_EQ(r.micros, static_cast<std::int64_t>(e.realtime));
            EXPECT_EQ(r.level, logformat::LevelOfSeverity(e.priority));
            at = records.NextLineStart(at);
        }
        // Go to Time: the stamp's second finds its entry.
        EXPECT_EQ(w.GoToMicros(static_cast<std::int64_t>(entries[2].realtime / kSecond * kSecond)),
                  CFileWnd::TimeJump::Shown);
        EXPECT_EQ(Messages(host.Rows()[0] + "\n").at(0), entries[2].message);
        // The lowest level: warnings and above, by PRIORITY (an entry without one passes, as a record without a
        // level does).
        shownset::FilterStack stack;
        stack.lowest = logformat::Level::Warn;
        w.SetFilterStack(stack);
        w.SetShowOnlyFiltered(true);
        w.WaitShownSet();
        std::vector<std::string> expected;
        for (const Entry& e : entries)
            if (e.priority <= 4)
                expected.push_back(e.message);
        EXPECT_EQ(w.GetShownStatus().shownLines, std::ssize(expected));
        for (const int key : {kVkHome, kVkEnd}) {
            w.OnKeyDown(key);
            std::vector<std::string> shown;
            for (const std::string& row : host.Rows())
                shown.push_back(Messages(row + "\n").at(0));
            const auto first = key == kVkHome ? expected.begin() : expected.end() - 5;
            EXPECT_EQ(shown, std::vector<std::string>(first, first + 5));
        }
    }
}

// New entries are followed; a query that nothing matches yet shows an empty window that says so, not the
// reader's progress, until entries come.
TEST_F(JournalWindow, NewEntriesAreFollowedAndClosingEndsTheReader)
{
    if (!HaveTools())
        GTEST_SKIP() << "systemd-journal-remote is not installed";
    const struct {
        const char* name;
        int lowest;
        std::vector<std::string> first, last;
    } cases[] = {
        {"every priority", 7, {"before"}, {"before", "after 1", "after 2"}},
        {"errors only: nothing at first", 3, {}, {"after 1", "after 2"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        testutil::TempDir dir;
        ASSERT_TRUE(journaltest::WriteJournal(dir.Path() + "/a.journal",
                                              {{.realtime = kBase, .priority = 6, .message = "before"}}));
        auto doc = std::make_unique<CTextFileDoc>();
        const platform::JournalQuery query = QueryOf(dir.Path(), c.lowest);
        std::string error;
        ASSERT_TRUE(doc->OnOpenJournal(query, JournalTitle(query, {}), error)) << error;
        auto hosted = std::make_unique<viewtest::HostedView>(*doc, 6, 100);
        viewtest::FakeHost& host = hosted->host;
        CTextFileView* view = hosted->view.get();
        ASSERT_TRUE(PumpUntil([&] { return view->IsLoaded() && host.Rows().size() == c.first.size(); }));
        EXPECT_EQ(host.Said(text::JournalNoEntries) > 0, c.first.empty());
        // Another journal file in the folder, as journald starts one: its entries follow in time order.
        ASSERT_TRUE(journaltest::WriteJournal(
            dir.Path() + "/b.journal", {{.realtime = kBase + kSecond, .priority = 3, .message = "after 1"},
                                        {.realtime = kBase + 2 * kSecond, .priority = 3, .message = "after 2"}}));
        ASSERT_TRUE(PumpUntil([&] {
            doc->IsReadyToShow();
            return Messages(TextOf(*doc)) == c.last;
        }));
        ASSERT_TRUE(PumpUntil([&] { return host.Rows().size() == c.last.size(); }));
        EXPECT_EQ(doc->GetSource()->GetProgress().state, CStreamSource::State::Running);
        // Closing: the view goes, then the document stops its reader (waiting on the journal) and joins it.
        view->OnDestroy();
        hosted.reset();
        doc.reset();
    }
}

TEST_F(JournalWindow, AtTheLimitTheOldestEntriesGo)
{
    if (!HaveTools())
        GTEST_SKIP() << "systemd-journal-remote is not installed";
    std::vector<Entry> entries;
    for (int i = 0; i < 300; ++i)
        entries.push_back({.realtime = kBase + static_cast<std::uint64_t>(i) * kSecond,
                           .priority = 6,
                           .message = "entry number " + std::to_string(i)});
    testutil::TempDir dir;
    ASSERT_TRUE(journaltest::WriteJournal(dir.Path() + "/a.journal", entries));
    const platform::JournalQuery query = QueryOf(dir.Path());
    const std::string whole = ReadAll(query);
    ASSERT_GT(whole.size(), 12000U);
    const struct {
        const char* name;
        std::uint64_t limit;
        std::uint64_t first;  // the newest entries shown first
    } cases[] = {{"a quarter", whole.size() / 4, CJournalProducer::kFirstEntries},
                 {"just under the whole", whole.size() - 1, CJournalProducer::kFirstEntries},
                 {"a quarter, the newest entries first", whole.size() / 4, 3}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const ScopedLimit limit(CTextFileDoc::SetTextLimit, c.limit), first(CJournalProducer::SetFirstEntries, c.first);
        CTextFileDoc doc;
        std::string error;
        ASSERT_TRUE(doc.OnOpenJournal(query, JournalTitle(query, {}), error)) << error;
        viewtest::HostedView hosted(doc, 24, 80, false);
        viewtest::FakeHost& host = hosted.host;
        CTextFileView& view = *hosted.view;
        ASSERT_TRUE(PumpUntil([&] { return view.IsLoaded() && doc.Journal()->HasReadAll(); }));
        doc.IsReadyToShow();
        const std::string text = TextOf(doc);
        EXPECT_LE(text.size(), c.limit);
        EXPECT_GT(text.size(), 0U);
        // The newest entries, whole lines: the end of the whole text.
        ASSERT_LE(text.size(), whole.size());
        EXPECT_EQ(whole.substr(whole.size() - text.size()), text);
        EXPECT_EQ(Messages(text).back(), entries.back().message);
        EXPECT_GE(doc.Journal()->Restarts(), 1U);
        const std::string said =
            std::string(text::JournalOldestDroppedFormat)
                .replace(std::string(text::JournalOldestDroppedFormat).find("%s"), 2, std::to_string(c.limit));
        // Said at least once: a slow reader may drop the oldest entries again, and each drop says so.
        ASSERT_TRUE(PumpUntil([&] { return host.Said(said) >= 1; }));
        view.OnDestroy();
    }
}

}  // namespace
