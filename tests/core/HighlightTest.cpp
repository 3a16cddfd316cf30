// Highlight rules: what each rule covers and which wins, how the window
// draws them in every encoding and on long lines, and what appended lines
// do to a window that follows its file.
#include "engine/HighlightRules.h"
#include "tests/core/FollowUtil.h"
#include "tests/core/TestUtil.h"
#include "view/HighlightSettings.h"

using followtest::ScopedRules;
using platform::Rgb;
using testutil::Utf16LE;
using testutil::Window;

namespace {

HighlightRule Rule(const std::string& name, const std::string& pattern, bool regex = false, bool caseSensitive = false,
                   RuleScope scope = RuleScope::Match)
{
    HighlightRule r;
    r.name = name;
    r.pattern = pattern;
    r.regex = regex;
    r.caseSensitive = caseSensitive;
    r.scope = scope;
    r.text = RuleColor::Of(Rgb(255, 0, static_cast<unsigned>(name.size())));
    return r;
}

// The rule of each byte of `text` as a digit ('.' for none), first rule winning.
std::string Owners(const CHighlightRules& rules, const std::string& text)
{
    std::vector<CHighlightRules::Span> spans;
    rules.Match(text, spans);
    std::string out(text.size(), '.');
    for (const auto& s : spans)
        for (std::size_t i = s.begin; i < s.end; ++i)
            if (out[i] == '.')
                out[i] = static_cast<char>('0' + s.rule);
    return out;
}

// Row r's cells as rule digits ('.' none); a wide character's second cell is left out.
std::string RuleRow(Window& w, int r)
{
    w.port.Paint(w.wnd, true);
    std::string out;
    for (const headless::Cell& c : w.port.Screen()[static_cast<std::size_t>(r)])
        if (c.ch && !c.tail)
            out += c.rule < 0 ? '.' : static_cast<char>('0' + c.rule);
    return out;
}

}  // namespace

TEST(HighlightRules, WhatEachRuleCoversAndWhichWins)
{
    const auto line = RuleScope::Line;
    HighlightRule disabled = Rule("off", "a");
    disabled.enabled = false;
    const struct {
        const char* name;
        std::vector<HighlightRule> rules;
        std::string text;
        std::string owners;
        int skipped;
    } cases[] = {
        {"plain without case", {Rule("e", "error")}, "An ERROR, error", "...00000..00000", 0},
        {"plain with case", {Rule("e", "error", false, true)}, "An ERROR, error", "..........00000", 0},
        {"plain is literal", {Rule("p", "a.c")}, "abc a.c", "....000", 0},
        {"regex with word bounds", {Rule("w", R"(\bWARN(ING)?\b)", true, true)}, "WARNINGS WARN", ".........0000", 0},
        {"the first rule wins each character", {Rule("a", "bcd"), Rule("b", "abcde")}, "xabcdex", ".10001.", 0},
        {"a later rule keeps what the first leaves", {Rule("a", "cd"), Rule("b", "abcde")}, "abcdef", "11001.", 0},
        {"a line rule takes what earlier rules leave",
         {Rule("m", "ERR"), Rule("l", "ERR", false, false, line), Rule("never", "x")},
         "x ERR x",
         "1100011",
         0},
        {"a line rule first takes all", {Rule("l", "x", false, false, line), Rule("m", "ERR")}, "ERR x", "00000", 0},
        {"a disabled rule takes no part", {disabled, Rule("b", "a")}, "aa", "11", 0},
        {"an invalid pattern is skipped, never applied otherwise",
         {Rule("bad", "(", true), Rule("b", "(")},
         "((",
         "11",
         1},
        {"an empty pattern is skipped", {Rule("empty", ""), Rule("b", "a")}, "ab", "1.", 1},
        {"case folds beyond ASCII", {Rule("u", "\u00C9T\u00C9")}, "\u00E9t\u00E9", "00000", 0},
        {"empty matches cover nothing", {Rule("s", "x*", true), Rule("b", "y")}, "yxy", "101", 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<std::string> warnings;
        CHighlightRules rules(c.rules, &warnings);
        EXPECT_EQ(Owners(rules, c.text), c.owners);
        EXPECT_EQ(static_cast<int>(warnings.size()), c.skipped);
    }
}

TEST(HighlightRules, LogLevels)
{
    CHighlightRules rules(LogLevelRules());
    const struct {
        const char* text;
        int rule;
    } lines[] = {{"12:00 ERROR disk full", 0},
                 {"FATAL: x", 0},
                 {"ERR", 0},
                 {"an error", -1},
                 {"ERRORS", -1},
                 {"WARNING: low", 1},
                 {"[WARN] x", 1},
                 {"DEBUG x", 2},
                 {"TRACE", 2},
                 {"ERROR and WARN", 0},
                 {"INFO ok", -1}};
    for (const auto& l : lines) {
        std::vector<CHighlightRules::Span> spans;
        rules.Match(l.text, spans);
        EXPECT_EQ(spans.empty() ? -1 : spans[0].rule, l.rule) << l.text;
        EXPECT_TRUE(spans.empty() || spans[0].wholeLine) << l.text;
    }
    const auto& r = rules.Rules();
    const auto white = Rgb(255, 255, 255), black = Rgb(0, 0, 0), grey = Rgb(192, 192, 192);
    EXPECT_EQ(r[0].text.Resolve(grey, black, grey), Rgb(0xe0, 0x44, 0x3a));
    EXPECT_EQ(r[0].text.Resolve(black, white, black), Rgb(0xc0, 0x28, 0x1b));
    EXPECT_EQ(r[1].text.Resolve(grey, black, grey), Rgb(0xe0, 0xa0, 0x30));
    EXPECT_EQ(r[1].text.Resolve(black, white, black), Rgb(0xb3, 0x6b, 0x00));
    EXPECT_EQ(r[2].text.Resolve(grey, black, grey), Rgb(96, 96, 96));
    EXPECT_EQ(r[0].background.Resolve(grey, black, black), black) << "the background unchanged";
    const auto copied = ResolvedRules(LogLevelRules(), black, white);
    EXPECT_EQ(copied[2].text, RuleColor::Of(Rgb(127, 127, 127)));
}

TEST(HighlightPaint, RowsShowTheirRulesInEveryEncoding)
{
    const auto utf8 = platform::CodePage::Utf8, ansi = platform::CodePage::Windows1252;
    const struct {
        const char* name;
        std::string bytes;
        platform::CodePage codePage;
        std::int64_t offset;
        std::vector<std::string> rows;  // by cell
    } cases[] = {
        {"match and line rules", "an ERROR x\nWARN y\nok\n", ansi, 0, {"...00000..", "111111", ".."}},
        {"tabs expand inside a match", "ab\tERROR\tz\n", ansi, 0, {"....00000.."}},
        {"Windows-1252 bytes match as their characters", "caf\xE9 ERROR\n", ansi, 0, {".....00000"}},
        {"a horizontal offset: what is left of it still counts", "xx ERROR yy WARN\n", ansi, 5, {"00011111111", ""}},
        {"UTF-8, a wide character counted once", "\xE6\x97\xA5 ERROR \xC3\xA9t\xC3\xA9\n", utf8, 0, {"..00000...."}},
        {"UTF-16", Utf16LE(u"\u00E9 ERROR\r\nWARN\r\n", true), ansi, 0, {"..00000", "1111"}},
    };
    ScopedRules rules({Rule("e", "ERROR"), Rule("w", "WARN", false, true, RuleScope::Line)});
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Window w(c.bytes, 4, 12);
        w.wnd.SetCodePage(c.codePage);
        w.wnd.OnKeyDown(kVkHome);
        CFileWndTestAccess::SetHorzOffset(w.wnd, c.offset);
        for (std::size_t r = 0; r < c.rows.size(); ++r) {
            EXPECT_EQ(RuleRow(w, static_cast<int>(r)), c.rows[r]) << r;
        }
    }
}

// With a log format, Log Levels colours each record whole by its level (a stack trace with its record), and a
// level word inside another record's message colours nothing; the user's rules still come first. A text without
// a format keeps the word rules.
TEST(HighlightPaint, RecordsAreColouredByTheirLevel)
{
    std::vector<HighlightRule> all{Rule("u", "user")};
    for (HighlightRule& r : LogLevelRules())
        all.push_back(r);
    ScopedRules rules(all);
    const std::string java = "2024-05-01 10:00:00,001 INFO  [main] start, 0 ERROR so far\n"
                             "2024-05-01 10:00:01,002 ERROR [main] failed\n"
                             "java.lang.IllegalStateException: boom\n"
                             "\tat a.b.C.d(C.java:1)\n"
                             "2024-05-01 10:00:02,003 WARN  [main] slow\n"
                             "2024-05-01 10:00:03,004 DEBUG [main] user x\n";
    const std::string logcat = "03-17 16:13:38.811  1702  2395 I Tag: an ERROR that is no error\n"
                               "03-17 16:13:38.812  1702  2395 E Tag: failed\n"
                               "03-17 16:13:38.813  1702  2395 W Tag: slow\n"
                               "03-17 16:13:38.814  1702  2395 V Tag: detail\n";
    const struct {
        const char* name;
        std::string bytes;
        std::vector<char> rows;  // the rule of each row's first cell
        int quietRow;            // a row with a level word inside another record: no cell coloured
    } cases[] = {
        {"log4j with a stack trace", java, {'.', '1', '1', '1', '2', '3'}, 0},
        {"the same in UTF-16", Utf16LE(platform::Utf8ToUtf16(java), true), {'.', '1', '1', '1', '2', '3'}, 0},
        {"logcat's letters", logcat, {'.', '1', '2', '3'}, 0},
        {"no format: the words decide", "an ERROR x\nWARN y\nok\n", {'1', '2', '.'}, 2},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Window w(c.bytes, 8, 70);
        w.wnd.OnKeyDown(kVkHome);
        for (std::size_t r = 0; r < c.rows.size(); ++r)
            EXPECT_EQ(RuleRow(w, static_cast<int>(r)).substr(0, 1), std::string(1, c.rows[r])) << r;
        const std::string quiet = RuleRow(w, c.quietRow);
        EXPECT_EQ(quiet.find_first_not_of('.'), std::string::npos) << quiet;
    }
    // The user's rule wins its match over the record's colour.
    Window w(java, 8, 70);
    w.wnd.OnKeyDown(kVkHome);
    const std::string debug = RuleRow(w, 5);
    EXPECT_EQ(debug[0], '3');
    EXPECT_EQ(debug.substr(37, 4), "0000") << debug;
}

TEST(HighlightPaint, ColoursAndTheSearchHighlightOnTop)
{
    HighlightRule back = Rule("b", "ERROR");
    back.background = RuleColor::Of(Rgb(1, 2, 3));
    back.text = {};
    ScopedRules rules({back});
    Window w("x ERROR y\n", 3, 12);
    w.wnd.SetHighlight(w.At(4), 2);  // "RO"
    w.port.Paint(w.wnd, true);
    const auto& row = w.port.Screen()[0];
    EXPECT_EQ(row[0].bg, w.wnd.GetPageColor());
    EXPECT_EQ(row[2].bg, Rgb(1, 2, 3));
    EXPECT_EQ(row[2].fg, w.wnd.GetFontColor()) << "the text colour left unchanged";
    EXPECT_TRUE(row[4].inverse && row[5].inverse) << "the search highlight stays on top";
    EXPECT_EQ(row[4].rule, 0) << "and the rule still covers it";
    EXPECT_EQ(row[7].bg, w.wnd.GetPageColor());
    EXPECT_EQ(w.Row(0), "x ER«RO»R y");
}

TEST(HighlightPaint, ALongLineMatchesNearWhatIsShown)
{
    // 100 KiB: ERROR at the start and NEEDLE in the middle; only what is near the shown columns counts.
    std::string line(100 << 10, 'a');
    line.replace(0, 5, "ERROR");
    line.replace(50 << 10, 6, "NEEDLE");
    ScopedRules rules({Rule("n", "NEEDLE", false, true, RuleScope::Line), Rule("e", "ERROR")});
    for (const auto cp : {platform::CodePage::Windows1252, platform::CodePage::Utf8}) {
        Window w(line + "\n", 3, 10);
        w.wnd.SetCodePage(cp);
        w.wnd.OnKeyDown(kVkHome);
        EXPECT_EQ(RuleRow(w, 0), "11111.....") << "NEEDLE is 50 KiB away";
        CFileWndTestAccess::SetHorzOffset(w.wnd, (50 << 10) - 3000);
        EXPECT_EQ(RuleRow(w, 0), "0000000000") << "within 4 KiB of the shown columns";
        CFileWndTestAccess::SetHorzOffset(w.wnd, (50 << 10) + 5000);
        EXPECT_EQ(RuleRow(w, 0), "..........") << "more than 4 KiB past it";
    }
}

namespace {

struct Listener : IFileWndListener {
    std::vector<std::string> alerts, stops;
    void OnRuleAlert(const std::string& rule) override { alerts.push_back(rule); }
    void OnFollowStopped(const std::string& rule) override { stops.push_back(rule); }
};

}  // namespace

class HighlightFollowTest : public followtest::WatchingTest {};

TEST_F(HighlightFollowTest, StopRuleStopsFollowingAtTheFirstMatchAndEndResumes)
{
    HighlightRule alert = Rule("Alert", "warn");
    alert.alert = true;
    HighlightRule stop = Rule("Stop", "ERROR", false, true);
    stop.alert = stop.stop = true;
    ScopedRules rules({alert, stop});
    Window w(testutil::Lines(0, 20), 5, 40, EncodingAuto, true);
    Listener heard;
    w.wnd.SetListener(&heard);
    followtest::WriterProcess writer(w.Path());
    using followtest::PumpUntil;

    // A line without its break is matched again when it grows.
    ASSERT_TRUE(writer.Do("append a warn\\nhalf ERR"));
    ASSERT_TRUE(PumpUntil([&] { return !heard.alerts.empty(); }));
    EXPECT_TRUE(heard.stops.empty());
    ASSERT_TRUE(writer.Do("append OR here\\nafter 1\\nafter 2\\nafter 3\\nafter 4\\nERROR again\\n"));
    ASSERT_TRUE(PumpUntil([&] { return !heard.stops.empty(); }));
    EXPECT_EQ(heard.stops, std::vector<std::string>{"Stop"});
    EXPECT_EQ(heard.alerts, (std::vector<std::string>{"Alert", "Stop"}));
    EXPECT_TRUE(w.wnd.IsFollowStopped());
    EXPECT_EQ(w.Screen(), (std::vector<std::string>{"line 17", "line 18", "line 19", "a warn", "half ERROR here"}))
        << "the first matching line at the bottom";
    EXPECT_EQ(w.Row(4), "half «ERROR» here");

    const std::uint64_t size = w.wnd.CharacterCount() + 7;
    ASSERT_TRUE(writer.Do("append more 1\\n"));
    ASSERT_TRUE(PumpUntil([&] { return w.wnd.CharacterCount() == size; }));
    EXPECT_EQ(w.Screen()[4], "half ERROR here") << "stopped: it stays";

    w.wnd.OnKeyDown(kVkEnd);
    EXPECT_FALSE(w.wnd.IsFollowStopped());
    ASSERT_TRUE(writer.Do("append more 2\\n"));
    EXPECT_TRUE(PumpUntil([&] { return w.Screen().back() == "more 2"; })) << "End resumes following";
    w.wnd.SetListener(nullptr);
}

TEST_F(HighlightFollowTest, StopHoldsWhileALoggerWritesLineByLine)
{
    HighlightRule stop = Rule("Stop", "FATAL", false, true);
    stop.alert = stop.stop = true;
    ScopedRules rules({stop});
    using followtest::PumpUntil;
    for (const int pauseMs : {10, 50, 200}) {
        Window w(testutil::Lines(0, 20), 5, 40, EncodingAuto, true);
        Listener heard;
        w.wnd.SetListener(&heard);
        followtest::WriterProcess writer(w.Path());
        ASSERT_TRUE(writer.Do("append FATAL here\\n"));
        ASSERT_TRUE(PumpUntil([&] { return !heard.stops.empty(); })) << pauseMs;
        // The stopping line is the last one: the window stands on the last screenful.
        ASSERT_EQ(w.Screen().back(), "FATAL here") << pauseMs;
        for (int i = 0; i < 4; ++i) {
            const std::uint64_t size = w.wnd.CharacterCount() + 7;  // "next N\n"
            PumpUntil([] { return false; }, pauseMs);
            ASSERT_TRUE(writer.Do("append next " + std::to_string(i) + "\\n"));
            ASSERT_TRUE(PumpUntil([&] { return w.wnd.CharacterCount() == size; })) << pauseMs;
            EXPECT_TRUE(w.wnd.IsFollowStopped()) << pauseMs << " ms, line " << i;
            EXPECT_EQ(w.Screen().back(), "FATAL here") << pauseMs << " ms, line " << i;
        }
        // Scrolling down to the end follows again: four lines came after the stop.
        for (int i = 0; i < 4; ++i) {
            EXPECT_TRUE(w.wnd.IsFollowStopped()) << pauseMs << " ms, " << i << " lines down";
            w.wnd.OnKeyDown(kVkDown);
        }
        EXPECT_FALSE(w.wnd.IsFollowStopped()) << pauseMs;
        w.wnd.SetListener(nullptr);
    }
}

TEST(HighlightSettings, RulesFromTheSettingsFile)
{
    // As QSettings writes an array: quoted values with escapes, keys N\key, missing keys at their defaults.
    const std::string ini = "[Highlight]\nEnabled=true\n\n[HighlightRules]\n"
                            "1\\name=Errors\n1\\pattern=\"\\\\b(ERROR|FATAL)\\\\b ; x\"\n1\\regex=true\n"
                            "1\\caseSensitive=true\n1\\text=#e0443a\n1\\background=\n1\\scope=match\n"
                            "1\\enabled=false\n1\\alert=true\n1\\stop=true\n"
                            "2\\name=Plain\n2\\pattern=a b  ; a comment\n2\\text=red\n"
                            "size=3\n";
    std::vector<HighlightRule> rules;
    ASSERT_TRUE(ReadRulesFromIni(ini, rules));
    ASSERT_EQ(rules.size(), 3u);
    HighlightRule first = Rule("Errors", "\\b(ERROR|FATAL)\\b ; x", true, true);
    first.text = RuleColor::Of(Rgb(0xe0, 0x44, 0x3a));
    first.enabled = false;
    first.alert = first.stop = true;
    EXPECT_EQ(rules[0], first);
    HighlightRule plain;
    plain.name = "Plain";
    plain.pattern = "a b";
    EXPECT_EQ(rules[1], plain) << "defaults: enabled, plain, without case, whole line, no colour for a bad one";
    EXPECT_EQ(rules[2], HighlightRule{}) << "an index without keys";
    EXPECT_EQ(RuleFromValues(ValuesOfRule(first)), first);
    EXPECT_FALSE(ReadRulesFromIni("[Highlight]\nEnabled=true\n", rules));
}

namespace {

// The settings' two switches and rules, in memory.
class CMemoryHighlightStore : public IHighlightStore {
public:
    std::vector<HighlightRule> LoadRules() override { return rules; }
    void SaveRules(const std::vector<HighlightRule>& r) override { rules = r; }
    bool GetSwitch(const std::string& key) override { return switches[key]; }
    void SetSwitch(const std::string& key, bool on) override { switches[key] = on; }
    std::vector<HighlightRule> rules;
    std::map<std::string, bool> switches;
};

}  // namespace

TEST(HighlightSettings, EachSwitchPutsItsOwnRulesInForce)
{
    // What an ERROR line and a line of the user's rule are coloured by under each pair of switches, from a fresh
    // profile: the built-in set must not wait for the user's rules to be switched on.
    const struct {
        bool enabled, logLevels;
        bool errorColoured, noteColoured;
    } cases[] = {
        {false, false, false, false}, {false, true, true, false}, {true, false, false, true}, {true, true, true, true}};
    for (const auto& c : cases) {
        CMemoryHighlightStore store;
        CHighlightSettings settings(store);
        ASSERT_EQ(CurrentHighlightRules(), nullptr) << "nothing at the first start";
        settings.SetRules({Rule("Notes", "note")});
        settings.SetEnabled(c.enabled);
        settings.SetLogLevels(c.logLevels);
        const auto coloured = [](const char* text) {
            std::vector<CHighlightRules::Span> spans;
            if (const auto& rules = CurrentHighlightRules())
                rules->Match(text, spans);
            return !spans.empty();
        };
        EXPECT_EQ(coloured("12:00 ERROR disk full"), c.errorColoured) << c.enabled << c.logLevels;
        EXPECT_EQ(coloured("a note"), c.noteColoured) << c.enabled << c.logLevels;
        // A restart with the same settings puts the same rules in force.
        CHighlightSettings restarted(store);
        EXPECT_EQ(coloured("12:00 ERROR disk full"), c.errorColoured) << "restarted";
        SetCurrentHighlightRules(nullptr);
    }
}
