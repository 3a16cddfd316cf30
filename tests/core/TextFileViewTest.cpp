// The view's commands, update rules, ribbon synchronisation and records,
// driven through a host double with plain ribbon elements and a headless
// text window.
#include "file/TextFileDoc.h"
#include "view/CommandIds.h"
#include "view/DisplayPreferences.h"
#include "view/FilePrefDatabase.h"
#include "view/Profile.h"
#include "view/StringTable.h"
#include "view/TextFileView.h"

#include "FakeViewHost.h"
#include "tests/core/FollowUtil.h"
#include "tests/core/TestUtil.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <functional>
#include <optional>
#include <tuple>

using platform::COLORREF;
using platform::LOGFONTW;
using platform::Rgb;

namespace {

using namespace viewtest;

// One open file with one or more views, its database and profile private to the test.
class TextFileViewTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        platform::SetScreenDpiY(96);
        m_db.SetDatabasePath(m_dir.File("prefs.fpdb"));
    }

    struct Opened {
        std::unique_ptr<CTextFileDoc> doc;
        std::unique_ptr<FakeHost> host;
        std::unique_ptr<CTextFileView> view;
        CFileWnd& Wnd() { return *host->wnd; }
        DisplayPreferences& Prefs() { return *view->GetPrefs(); }
        CCmdUI Update(int id)
        {
            CCmdUI ui(id);
            EXPECT_TRUE(view->OnUpdateCommand(ui)) << id;
            return ui;
        }
    };

    // A view on `name` (written with `bytes` unless it exists), or on `shared`'s document; loaded unless told.
    Opened Open(const std::string& name, const std::string& bytes = "line one\nline two\n", bool load = true,
                Opened* shared = nullptr)
    {
        Opened o;
        if (!shared) {
            o.doc = std::make_unique<CTextFileDoc>();
            if (!std::ifstream(m_dir.File(name)))
                m_dir.Write(name, bytes);
            EXPECT_TRUE(o.doc->OnOpenDocument(m_dir.File(name).c_str()));
        }
        o.host = std::make_unique<FakeHost>();
        o.view =
            std::make_unique<CTextFileView>(shared ? shared->doc.get() : o.doc.get(), o.host.get(), &m_db, m_profile);
        EXPECT_TRUE(o.view->OnCreate());
        if (load)
            platform::DrainPostedMessages();
        return o;
    }
    static LOGFONTW Font(const std::u16string& face, std::int32_t points, std::int32_t weight = 400)
    {
        LOGFONTW f{};
        f.lfHeight = PointsToHeight(points, 96);
        f.lfWeight = weight;
        std::copy(face.begin(), face.end(), f.lfFaceName);
        return f;
    }

    testutil::TempDir m_dir;
    CMemoryProfile m_profile;
    CFilePrefDatabase m_db{m_profile};
};

// What a command changes, as the window holds it and as the record holds it.
std::pair<std::int64_t, std::int64_t> Values(CFileWnd& wnd, const DisplayPreferences& p, int id)
{
    const LOGFONTW& f = wnd.GetLogFont();
    switch (id) {
    case cmd::FontBold: return {f.lfWeight > 500, p.bold};
    case cmd::FontItalic: return {f.lfItalic, p.italic};
    case cmd::FontUnderline: return {f.lfUnderline, p.underline};
    case cmd::FontStrikethrough: return {f.lfStrikeOut, p.strikeOut};
    case cmd::FontColor: return {wnd.GetFontColor(), p.fontColor};
    case cmd::PageColor: return {wnd.GetPageColor(), p.pageColor};
    case cmd::FontSize: return {wnd.GetFontPoints(), p.pointSize};
    default: return {wnd.GetTextCase(), p.textCase};  // the four cases
    }
}

TEST_F(TextFileViewTest, EveryCommandActsOnTheWindowAndTheRecordAndReportsItsState)
{
    Opened a = Open("a.log");
    const struct {
        int id;
        void (*prepare)(FakeHost&);
        std::int64_t value;  // in the window and the record afterwards
        int check;           // the update's check state afterwards (-1: none)
    } rows[] = {
        {cmd::FontBold, nullptr, 1, 1},
        {cmd::FontItalic, nullptr, 1, 1},
        {cmd::FontUnderline, nullptr, 1, 1},
        {cmd::FontStrikethrough, nullptr, 1, 1},
        {cmd::CaseUpper, nullptr, 1, 1},
        {cmd::CaseLower, nullptr, 2, 1},
        {cmd::CaseSentence, nullptr, 3, 1},
        {cmd::CaseOriginal, nullptr, 0, 1},
        {cmd::FontColor, [](FakeHost& h) { h.fontColor.color = Rgb(1, 2, 3); }, Rgb(1, 2, 3), -1},
        {cmd::PageColor, [](FakeHost& h) { h.pageColor.color = Rgb(4, 5, 6); }, Rgb(4, 5, 6), -1},
        {cmd::FontSize, [](FakeHost& h) { h.sizeBox.SetText(u" 16 pt"); }, 16, -1},
        {cmd::ChangeCase, nullptr, 0, -1},  // only opens the case menu
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.id);
        if (row.prepare)
            row.prepare(*a.host);
        EXPECT_TRUE(a.view->OnCommand(row.id));
        EXPECT_EQ(Values(a.Wnd(), a.Prefs(), row.id), std::pair(row.value, row.value));
        const CCmdUI ui = a.Update(row.id);
        EXPECT_TRUE(ui.m_bEnabled);
        EXPECT_EQ(ui.m_nCheck, row.check);
    }
    EXPECT_EQ(a.Update(cmd::CaseUpper).m_nCheck, 0);  // one case checked at a time
    a.view->OnCommand(cmd::FontItalic);               // styles toggle back
    EXPECT_EQ(Values(a.Wnd(), a.Prefs(), cmd::FontItalic).first + a.Prefs().italic, 0);

    // A name confirmed in the font box applies its entry, with the fixed-pitch family; one that is no entry is
    // refused with a warning naming it.
    for (const char16_t* typed : {u"liberation mono", u"Comic Mono"}) {
        a.host->fontBox.SetText(typed);
        a.view->OnCommand(cmd::FontName);
        EXPECT_EQ(std::u16string(a.Wnd().GetLogFont().lfFaceName), u"Liberation Mono");
        EXPECT_EQ(std::u16string(a.Prefs().faceName), u"Liberation Mono");
        EXPECT_EQ(a.Prefs().pitchAndFamily, 0x31);
    }
    EXPECT_EQ(a.host->fontBox.text, u"Liberation Mono");
    EXPECT_EQ(a.host->messages, (std::vector<std::pair<std::string, unsigned>>{
                                    {"The font \"Comic Mono\" is not one of the fixed-pitch fonts in the list.",
                                     platform::kMbOk | platform::kMbIconWarning}}));
    a.view->OnCommand(cmd::EditCopy);
    EXPECT_FALSE(a.host->port.m_clipboard.empty());
    for (int id : {cmd::EditCopy, cmd::Refresh, cmd::FontDialog, cmd::FontName})
        EXPECT_TRUE(a.Update(id).m_bEnabled) << id;
    // The panes show the window's figures.
    EXPECT_EQ(a.Update(cmd::PaneCurrentChar).m_text, "Current Char: 0");
    EXPECT_EQ(a.Update(cmd::PaneTotalChars).m_text, "Total Chars: 18");
    EXPECT_EQ(a.Update(cmd::PaneEncoding).m_text, "ANSI / ASCII");
    // Enter in the accelerator table is nobody's command.
    CCmdUI enter(cmd::EnterKey);
    EXPECT_FALSE(a.view->OnUpdateCommand(enter));
    // Bold toggles on the weight above 500.
    for (auto [weight, after] : {std::pair{600, 400}, {500, 700}, {501, 400}, {0, 700}}) {
        a.Wnd().SetLogFont(Font(u"Courier New", 10, weight));
        EXPECT_EQ(a.Update(cmd::FontBold).m_nCheck, weight > 500 ? 1 : 0);
        a.view->OnCommand(cmd::FontBold);
        EXPECT_EQ(a.Wnd().GetLogFont().lfWeight, after) << weight;
        EXPECT_EQ(a.Prefs().bold, after == 700 ? 1 : 0);
    }
}

TEST_F(TextFileViewTest, SizeBoxFollowsTheWindowAndGrowShrinkStepFromTheShownSize)
{
    Opened a = Open("a.log");
    // The built-in default is -10 points (a cell height): shown as "10".
    EXPECT_EQ(a.Wnd().GetFontPoints(), -10);
    EXPECT_EQ(a.host->sizeBox.text, u"10");
    EXPECT_EQ(a.host->sizeBox.sel, 6);
    a.view->OnCommand(cmd::FontGrow);
    EXPECT_EQ(a.Wnd().GetFontPoints(), 11);
    EXPECT_EQ(a.Prefs().pointSize, 11);

    // 13 points from the Font dialog: "13" shown, "14" selected; Grow gives 14 and Shrink from 13 gives 12.
    a.host->fontAnswer = std::pair{Font(u"Courier New", 13), Rgb(9, 9, 9)};
    a.view->OnCommand(cmd::FontDialog);
    EXPECT_EQ(a.Prefs().pointSize, 13);
    EXPECT_EQ(a.Prefs().fontColor, Rgb(9, 9, 9));
    EXPECT_EQ(a.host->sizeBox.text, u"13");
    EXPECT_EQ(a.host->sizeBox.GetItem(a.host->sizeBox.sel), u"14");
    EXPECT_EQ(a.host->locks, (std::vector<bool>{true, false}));
    a.view->OnCommand(cmd::FontGrow);
    EXPECT_EQ(a.Wnd().GetFontPoints(), 14);
    a.Wnd().SetFontPoints(13);
    a.view->OnCommand(cmd::FontShrink);
    EXPECT_EQ(a.Wnd().GetFontPoints(), 12);

    // Enabled exactly while an entry lies beyond the size.
    for (auto [points, grow, shrink] :
         {std::tuple{72, false, true}, {4, true, false}, {100, false, true}, {3, true, false}, {73, false, true}}) {
        a.Wnd().SetFontPoints(points);
        EXPECT_EQ(a.Update(cmd::FontGrow).m_bEnabled, grow) << points;
        EXPECT_EQ(a.Update(cmd::FontShrink).m_bEnabled, shrink) << points;
    }
    a.view->OnCommand(cmd::FontShrink);  // from 73
    EXPECT_EQ(a.Wnd().GetFontPoints(), 72);
    EXPECT_EQ(a.Prefs().pointSize, 72);

    // Sizes outside 1 to 100 are refused with the message, and the box shows the size again.
    for (const char16_t* typed : {u"0", u"101", u"-5", u"abc"}) {
        a.host->sizeBox.SetText(typed);
        a.view->OnCommand(cmd::FontSize);
        EXPECT_EQ(a.Wnd().GetFontPoints(), 72);
        EXPECT_EQ(a.Prefs().pointSize, 72);
        EXPECT_EQ(a.host->sizeBox.text, u"72");
    }
    ASSERT_EQ(a.host->messages.size(), 4u);
    EXPECT_EQ(a.host->messages[0], std::pair(std::string("The font size must be between 1 and 100."), platform::kMbOk));
    for (auto [text, value] :
         {std::pair{u"  42x", 42}, {u"+7", 7}, {u"-12", -12}, {u"", 0}, {u"99999999999", INT32_MAX}})
        EXPECT_EQ(ParseFontSize(text), value);
    EXPECT_EQ(FormatFontSize(-10), u"10");
}

TEST_F(TextFileViewTest, EachFileKeepsItsOwnRecordWhileTheDatabaseGrows)
{
    Opened a = Open("a.log");
    Opened b = Open("b.log");  // the database grows and is mapped again
    ASSERT_EQ(m_db.RecordCount(), 2u);
    a.view->OnCommand(cmd::FontBold);
    EXPECT_EQ(m_db.FindOrAddRecord(m_dir.File("a.log"))->bold, 1);
    EXPECT_EQ(m_db.FindOrAddRecord(m_dir.File("b.log"))->bold, 0);

    // Two views on one file share the record: the last change is what it holds.
    Opened a2 = Open("a.log", {}, true, &a);  // a second view on the same document
    a.host->fontColor.color = Rgb(10, 0, 0);
    a.view->OnCommand(cmd::FontColor);
    a2.host->fontColor.color = Rgb(0, 20, 0);
    a2.view->OnCommand(cmd::FontColor);
    EXPECT_EQ(m_db.FindOrAddRecord(m_dir.File("a.log"))->fontColor, Rgb(0, 20, 0));
    EXPECT_EQ(a.Wnd().GetFontColor(), Rgb(10, 0, 0));  // each window keeps its own
    EXPECT_EQ(m_db.RecordCount(), 2u);

    // A forced encoding in a record is used when the file is opened again.
    m_db.FindOrAddRecord(m_dir.Write("be.txt", testutil::Utf16BE(u"big end\n")))->requestedEncoding = EncodingUtf16BE;
    EXPECT_EQ(Open("be.txt").Wnd().GetEncoding(), EncodingUtf16BE);
}

TEST_F(TextFileViewTest, SavedDefaultsSurviveTheOpeningOfANewFile)
{
    // The user's defaults: 12-point bold Liberation Mono, green on white, upper case.
    const LOGFONTW saved = Font(u"Liberation Mono", 12, 700);
    m_profile.WriteProfileBinary(kPrefsSection, kPrefsLogFont, &saved, sizeof saved);
    m_profile.WriteProfileInt(kPrefsSection, kPrefsFontColor, static_cast<std::int32_t>(Rgb(0, 128, 0)));
    m_profile.WriteProfileInt(kPrefsSection, kPrefsPageColor, static_cast<std::int32_t>(Rgb(255, 255, 255)));
    m_profile.WriteProfileInt(kPrefsSection, kPrefsTextCase, 1);
    auto expectSaved = [&] {
        std::vector<std::uint8_t> bytes;
        ASSERT_TRUE(m_profile.GetProfileBinary(kPrefsSection, kPrefsLogFont, bytes));
        ASSERT_EQ(bytes.size(), sizeof saved);
        EXPECT_EQ(std::memcmp(bytes.data(), &saved, sizeof saved), 0);
        EXPECT_EQ(m_profile.GetProfileInt(kPrefsSection, kPrefsFontColor, 0),
                  static_cast<std::int32_t>(Rgb(0, 128, 0)));
    };

    // A view activated before its load, and one destroyed before its load: neither writes the defaults.
    Opened early = Open("new.log", "text\n", false);
    early.view->OnActivateView(true);
    expectSaved();
    Opened gone = Open("gone.log", "text\n", false);
    gone.view.reset();
    platform::DrainPostedMessages();
    expectSaved();

    // The new file's record takes the saved defaults, and its window shows them.
    EXPECT_TRUE(early.view->IsLoaded());
    EXPECT_EQ(m_db.RecordCount(), 1u);  // the destroyed view never loaded
    const DisplayPreferences& prefs = early.Prefs();
    EXPECT_EQ(prefs.faceName, std::u16string(u"Liberation Mono"));
    EXPECT_EQ(prefs.pointSize, 12);
    EXPECT_EQ(prefs.bold, 1);
    EXPECT_EQ(prefs.fontColor, Rgb(0, 128, 0));
    EXPECT_EQ(early.Wnd().GetTextCase(), 1);
    EXPECT_EQ(early.host->sizeBox.text, u"12");
    expectSaved();
}

TEST_F(TextFileViewTest, ARefusedFileClosesItsFrameAndABackgroundLoadLeavesTheRibbon)
{
    Opened refused = Open("wide.txt", std::string("\xFF\xFE\x00\x00", 4) + std::string(8, 'x'));
    EXPECT_TRUE(refused.host->frameDestroyed);
    EXPECT_FALSE(refused.view->IsLoaded());
    EXPECT_TRUE(refused.host->messages.empty());  // the window's own message goes through its port
    EXPECT_EQ(refused.host->port.m_messages, (std::vector<std::string>{"Error: 32bit unicode is not supported."}));

    Opened behind = Open("behind.log", "x\n", false);
    behind.host->active = false;
    platform::DrainPostedMessages();
    EXPECT_TRUE(behind.view->IsLoaded());
    EXPECT_EQ(behind.host->sizeBox.text, u"7");  // untouched
    EXPECT_EQ(behind.host->focusCalls, 0);
    EXPECT_TRUE(m_profile.Has(kPrefsSection, kPrefsLogFont));  // the defaults are still saved
}

// Positions in the file of the find tests: "one" at 0, 4 and 8, "Two" at 12, "two" at 16.
const char* const kFindText = "one\none\none\nTwo two\n";

TEST_F(TextFileViewTest, TheFindBoxKeepsTheRunsHistoryAndFindNextFollowsTheFirstFind)
{
    Opened a = Open("find.log", kFindText);
    FakeBox& box = a.host->findBox;
    using Items = std::vector<std::u16string>;

    // F3 on a typed text before any Find: enabled by the text alone; it searches and the text enters the history.
    EXPECT_FALSE(a.Update(cmd::FindNext).m_bEnabled);
    EXPECT_FALSE(a.Update(cmd::FindPrevious).m_bEnabled);
    box.SetText(u"one");
    EXPECT_TRUE(a.Update(cmd::FindPrevious).m_bEnabled);
    a.view->OnCommand(cmd::FindNext);
    EXPECT_EQ(a.Wnd().GetHighlightStart(), 4);
    EXPECT_EQ(box.items, Items{u"one"});
    EXPECT_EQ(a.host->paintsNow, 1);
    box.SetText(u"");
    EXPECT_FALSE(a.Update(cmd::FindNext).m_bEnabled);  // F3 is no Find

    // A, B, A leaves A, B: A at the head, once, shown, selected and the box's caption. Letter case counts.
    for (const char16_t* find : {u"two", u"Two", u"two"}) {
        box.SetText(find);
        a.view->OnCommand(cmd::FindText);
    }
    EXPECT_EQ(box.items, (Items{u"two", u"Two", u"one"}));
    EXPECT_EQ(box.sel, 0);
    EXPECT_EQ(box.text, u"two");
    EXPECT_EQ(box.caption, u"two");

    // After a Find a cleared box leaves Find Next enabled, and it does nothing.
    box.SetText(u"");
    EXPECT_TRUE(a.Update(cmd::FindNext).m_bEnabled);
    const TextPos before = a.Wnd().GetHighlightStart();
    a.view->OnCommand(cmd::FindNext);
    EXPECT_EQ(a.Wnd().GetHighlightStart(), before);
    EXPECT_EQ(box.items.size(), 3u);

    // The search each command makes, and Case Sensitive's check.
    const struct {
        int id;
        const char16_t* find;
        TextPos match;
        int check;
    } steps[] = {
        {cmd::FindText, u"one", 0, 0},            // from the top
        {cmd::FindPrevious, u"one", 8, 0},        // Shift+F3 goes back, around the start
        {cmd::FindPrevious, u"one", 4, 0},        // and on back
        {cmd::FindNext, u"one", 8, 0},            // F3 goes on from the last match
        {cmd::FindText, u"two", 12, 0},           // "Two" first, letter case aside
        {cmd::FindMatchCase, u"two", 12, 1},      // no search of its own
        {cmd::FindText, u"two", 16, 1},           // now only "two"
        {cmd::FindText, u"TWO", kNoPos, 1},       // not found: the highlight goes
        {cmd::FindMatchCase, u"TWO", kNoPos, 0},  // and back
        {cmd::FindNext, u"TWO", 12, 0},           // round the end from the last match found
    };
    for (const auto& step : steps) {
        box.SetText(step.find);
        a.view->OnCommand(step.id);
        EXPECT_EQ(a.Wnd().GetHighlightStart(), step.match) << step.id;
        EXPECT_EQ(a.Update(cmd::FindMatchCase).m_nCheck, step.check) << step.id;
    }
}

TEST_F(TextFileViewTest, TheFindDialogSearchesWithoutTheHistoryAndASecondCommandBringsItForward)
{
    Opened a = Open("dialog.log", kFindText);
    FakeBox& box = a.host->findBox;
    std::vector<std::unique_ptr<FakeFindDialog>>& dialogs = a.host->dialogs;
    using Items = std::vector<std::u16string>;
    box.SetText(u"Two");
    a.view->OnCommand(cmd::FindDialog);
    ASSERT_EQ(dialogs.size(), 1u);
    FakeFindDialog* dialog = dialogs[0].get();
    EXPECT_EQ(dialog->text, u"Two");  // taken from the box, which enters the history
    EXPECT_FALSE(dialog->matchCase);
    EXPECT_EQ(box.items, Items{u"Two"});

    // Its Find Next: down or up, its match case becomes the view's, the box shows its text, the history stays.
    const struct {
        const char16_t* find;
        bool matchCase, down;
        TextPos match;
    } steps[] = {
        {u"one", true, true, 4}, {u"one", true, false, 0}, {u"TWO", true, true, kNoPos}, {u"TWO", false, true, 12}};
    for (const auto& step : steps) {
        a.view->OnFindDialogNext(dialog, step.find, step.matchCase, step.down);
        EXPECT_EQ(a.Wnd().GetHighlightStart(), step.match);
        EXPECT_EQ(a.Update(cmd::FindMatchCase).m_nCheck, step.matchCase ? 1 : 0);
        EXPECT_EQ(box.text, step.find);
    }
    EXPECT_EQ(box.items, Items{u"Two"});
    box.SetText(u"");
    EXPECT_FALSE(a.Update(cmd::FindNext).m_bEnabled);  // its searches are no Find

    // A second Find Dialog command refreshes the open dialog and brings it forward.
    box.SetText(u"two");
    a.view->OnCommand(cmd::FindMatchCase);
    a.view->OnCommand(cmd::FindDialog);
    ASSERT_EQ(dialogs.size(), 1u);
    EXPECT_EQ(dialog->text, u"two");
    EXPECT_TRUE(dialog->matchCase);
    EXPECT_EQ(dialog->fronts, 1);
    EXPECT_EQ(box.items, (Items{u"two", u"Two"}));

    // Closed, it goes and is forgotten, late notices too; the next one takes at most 80 characters and goes with
    // the view.
    a.view->OnFindDialogClosing(dialog);
    EXPECT_TRUE(dialog->destroyed);
    a.view->OnFindDialogNext(dialog, u"one", false, true);
    EXPECT_TRUE(a.view->IsMatchCase());
    box.SetText(std::u16string(100, u'x'));
    a.view->OnCommand(cmd::FindDialog);
    ASSERT_EQ(dialogs.size(), 2u);
    EXPECT_EQ(dialogs[1]->text, std::u16string(FIND_TEXT_MAX, u'x'));
    a.view.reset();
    EXPECT_TRUE(dialogs[1]->destroyed);
}

TEST_F(TextFileViewTest, GoingToTheFindBoxSelectsItAndASearchOverALargeMappingIsBusy)
{
    // Sparse: the text at the start, a hole up to just past the limit.
    m_dir.Write("big.log", "needle\n");
    std::filesystem::resize_file(m_dir.File("big.log"), kBusySearchBytes + 4096);
    Opened big = Open("big.log");
    Opened small = Open("small.log", "needle\n");
    for (Opened* o : {&big, &small}) {
        o->host->findBox.SetText(u"needle");
        o->view->OnCommand(cmd::FindText);
        EXPECT_EQ(o->Wnd().GetHighlightStart(), 0);
        EXPECT_EQ(o->host->busy, 0);  // the cursor is always given back
    }
    EXPECT_EQ(big.host->busySearches, 1);
    EXPECT_EQ(small.host->busySearches, 0);

    small.view->OnCommand(cmd::FindGoTo);
    EXPECT_EQ(small.host->findBox.focusSelects, 1);
}

// A busy search stops at Esc wherever it is, plain or by pattern, forwards or
// backwards, in its first range or after wrapping: nothing found, the highlight
// and the position kept, and the strip says why; the next search runs whole.
TEST_F(TextFileViewTest, EscStopsABusySearchAndTheNextRunsWhole)
{
    // A window opens at the end: the needle in the middle is 128 chunks away, forwards (wrapping) or backwards.
    std::string bytes(static_cast<std::size_t>(kBusySearchBytes) + 4096, 'x');
    for (std::size_t i = 99; i < bytes.size(); i += 100)
        bytes[i] = '\n';
    const std::size_t middle = bytes.size() / 2 / 100 * 100 + 10;
    bytes.replace(middle, 6, "needle");
    struct Case {
        bool regex;
        int command;
        int stopAt;  // the poll at which Esc comes
    };
    const Case cases[] = {{false, cmd::FindText, 1}, {false, cmd::FindText, 40},    {true, cmd::FindText, 1},
                          {true, cmd::FindText, 60}, {false, cmd::FindPrevious, 2}, {true, cmd::FindPrevious, 30}};
    for (const Case& c : cases) {
        Opened o = Open("big.log", bytes);
        o.view->SetRegularExpression(c.regex);
        o.host->findBox.SetText(c.regex ? u"ne+dle" : u"needle");
        const TextPos top = o.Wnd().GetTop(), highlight = o.Wnd().GetHighlightStart();
        o.host->stopAtPoll = c.stopAt;
        o.view->OnCommand(c.command);
        const std::string what = "regex " + std::to_string(c.regex) + " command " + std::to_string(c.command);
        EXPECT_EQ(o.host->busyPolls, c.stopAt) << what << ": the search ends at the poll that asked it to";
        EXPECT_EQ(o.Wnd().GetHighlightStart(), highlight) << what;
        EXPECT_EQ(o.Wnd().GetTop(), top) << what;
        EXPECT_EQ(o.host->strip, std::vector<std::string>{text::SearchStopped}) << what;
        EXPECT_EQ(o.host->busy, 0) << what;

        o.host->stopAtPoll = 0;
        o.view->OnCommand(c.command);
        EXPECT_EQ(o.Wnd().GetHighlightStart(), static_cast<TextPos>(middle)) << what;
        EXPECT_GT(o.host->busyPolls, 100) << what;
    }
}

}  // namespace

TEST_F(TextFileViewTest, AppendedLinesMarkAnInactiveWindowAndAStopSaysWhy)
{
    HighlightRule alert;
    alert.name = "Errors";
    alert.pattern = "ERROR";
    alert.alert = true;
    HighlightRule stop = alert;
    stop.name = "Fatal";
    stop.pattern = "FATAL";
    stop.stop = true;
    const followtest::ScopedRules rules({alert, stop});
    Opened o = Open("grow.log");
    const struct {
        bool active;
        const char* appended;
        std::size_t marks, messages;
    } steps[] = {
        {true, "an ERROR seen\n", 0, 0},
        {false, "an ERROR unseen\n", 1, 0},
        {false, "quiet\n", 1, 0},
        {false, "FATAL at last\n", 2, 1},
    };
    for (const auto& step : steps) {
        SCOPED_TRACE(step.appended);
        o.host->active = step.active;
        m_dir.Append("grow.log", step.appended);
        o.Wnd().LoadFile(nullptr, EncodingAuto);
        // The lines are matched on a worker: its news come as a message.
        followtest::PumpUntil(
            [&] { return o.host->marks.size() == step.marks && o.host->strip.size() == step.messages; }, 5000);
        followtest::PumpUntil([] { return false; }, 50);  // nothing more comes
        ASSERT_EQ(o.host->marks.size(), step.marks);
        ASSERT_EQ(o.host->strip.size(), step.messages);
    }
    EXPECT_NE(o.host->marks.back().find("\"Fatal\""), std::string::npos) << o.host->marks.back();
    EXPECT_EQ(o.host->stripKinds.back(), ViewMessageKind::Warning);
    EXPECT_NE(o.host->strip.back().find("\"Fatal\""), std::string::npos);
}

TEST_F(TextFileViewTest, MarkCommandsMarkTheTopLineAndJumpWithANoticeWhenTheyWrap)
{
    std::string text;
    for (int i = 1; i <= 60; ++i)
        text += "entry " + std::to_string(i) + "\n";
    Opened o = Open("marks.log", text);
    CFileWnd& wnd = o.Wnd();
    const TextPos line1 = wnd.DataStart(), line10 = static_cast<TextPos>(text.find("entry 10\n"));
    const struct {
        TextPos top;  // shown before the command (kNoPos: left as it is)
        int command;
        TextPos topAfter;
        const char* notice;  // the strip's last text afterwards (null: nothing new)
    } steps[] = {
        {line1, cmd::NextMark, line1, text::NoMarks},
        {line1, cmd::ToggleMark, line1, nullptr},
        {line10, cmd::ToggleMark, line10, nullptr},
        {kNoPos, cmd::NextMark, line1, text::MarksWrappedToFirst},
        {kNoPos, cmd::PreviousMark, line10, text::MarksWrappedToLast},
        {kNoPos, cmd::PreviousMark, line1, nullptr},
    };
    for (const auto& s : steps) {
        if (s.top != kNoPos)
            wnd.ShowLineAt(s.top);
        const std::size_t shown = o.host->strip.size();
        EXPECT_TRUE(o.Update(s.command).m_bEnabled) << s.command;
        EXPECT_TRUE(o.view->OnCommand(s.command));
        EXPECT_EQ(wnd.GetTop(), s.topAfter) << s.command;
        if (s.notice) {
            ASSERT_EQ(o.host->strip.size(), shown + 1) << s.command;
            EXPECT_EQ(o.host->strip.back(), s.notice);
        } else {
            EXPECT_EQ(o.host->strip.size(), shown) << s.command;
        }
    }
    EXPECT_TRUE(wnd.Marks().IsMarked(line1));
    EXPECT_TRUE(wnd.Marks().IsMarked(line10));
    EXPECT_EQ(wnd.Marks().Count(), 2u);
}
