// A window that shows only the lines of its filter stack, against the shown
// set's plain reference, paged over as a list.
#include "tests/core/TestUtil.h"
#include "tests/engine/ShownSetReference.h"

#include <random>

using testutil::Window;

namespace {

struct Log {
    std::vector<std::string> lines;
    std::string Text() const
    {
        std::string s;
        for (const std::string& l : lines)
            s += l + "\n";
        return s;
    }
};

Log RandomLog(std::mt19937& rng, int n)
{
    static const char* const kWords[] = {"ERROR", "INFO", "timeout", "healthcheck", "ok", "Warn", "db"};
    Log log;
    for (int i = 0; i < n; ++i) {
        std::string l = "n" + std::to_string(i);
        for (int w = static_cast<int>(rng() % 3); w >= 0; --w)
            l += std::string(" ") + kWords[rng() % std::size(kWords)];
        log.lines.push_back(l);
    }
    return log;
}

// The lines the stack shows, by the shown set's reference (no format: each line a record of its own).
std::vector<std::string> Reference(const Log& log, const shownset::FilterStack& st)
{
    const std::string text = log.Text();
    const textforms::Form ansi{EncodingAnsi, platform::CodePage::Windows1252, 0};
    std::vector<std::string> shown;
    for (const shownref::RefLine& l : shownref::Reference(text, ansi, st, nullptr))
        if (l.kind)
            shown.push_back(
                text.substr(static_cast<std::size_t>(l.start), static_cast<std::size_t>(l.end - l.start - 1)));
    return shown;
}

shownset::FilterStack RandomStack(std::mt19937& rng)
{
    static const shownset::FilterRule kRules[] = {
        {true, shownset::RuleKind::Include, u"ERROR", false, true},
        {true, shownset::RuleKind::Include, u"timeout", false, false},
        {true, shownset::RuleKind::Include, u"warn", false, false},
        {true, shownset::RuleKind::Exclude, u"healthcheck", false, true},
        {true, shownset::RuleKind::Exclude, u"DB", false, false},
    };
    shownset::FilterStack st;
    for (const shownset::FilterRule& r : kRules)
        if (rng() % 2)
            st.rules.push_back(r);
    if (st.rules.empty())
        st.rules.push_back(kRules[0]);
    st.combine = rng() % 4 == 0 ? shownset::Combine::All : shownset::Combine::Any;
    st.context = static_cast<int>(rng() % 3);
    return st;
}

void Filter(Window& w, const shownset::FilterStack& st)
{
    w.wnd.SetFilterStack(st);
    w.wnd.SetShowOnlyFiltered(true);
    w.wnd.WaitShownSet();
}

}  // namespace

TEST(FilteredWindow, KeysPagesAndTheEndGoOverTheShownLinesAsAListWould)
{
    std::mt19937 rng(7);
    for (int iter = 0; iter < 24; ++iter) {
        const std::int32_t encoding = testutil::kAllEncodings[iter % 4];
        const Log log = RandomLog(rng, 20 + static_cast<int>(rng() % 120));
        const shownset::FilterStack st = RandomStack(rng);
        const std::vector<std::string> ref = Reference(log, st);
        const int rows = 2 + static_cast<int>(rng() % 6);
        const std::string text = log.Text();
        Window w(testutil::FileBytes(std::u16string(text.begin(), text.end()), encoding), rows, 60, EncodingAuto);
        SCOPED_TRACE("iteration " + std::to_string(iter) + ", " + std::to_string(ref.size()) + " shown");
        Filter(w, st);
        EXPECT_EQ(w.wnd.GetShownStatus().shownLines, std::ssize(ref));

        // Down, line by line from Home: each top is the next shown line; the last screenful holds the rest.
        w.wnd.OnKeyDown(kVkHome);
        std::vector<std::string> seen;
        for (std::size_t guard = 0; guard <= ref.size(); ++guard) {
            const TextPos before = w.wnd.GetTop();
            const std::vector<std::string> screen = w.Screen();
            if (!screen.empty())
                seen.push_back(screen.front());
            w.wnd.OnKeyDown(kVkDown);
            if (w.wnd.GetTop() == before) {
                for (std::size_t r = 1; r < screen.size(); ++r)
                    seen.push_back(screen[r]);
                break;
            }
        }
        EXPECT_EQ(seen, ref);

        // End shows the last screenful of shown lines; pages back reach the first one again.
        w.wnd.OnKeyDown(kVkEnd);
        const std::vector<std::string> last(ref.end() - std::min<std::ptrdiff_t>(std::ssize(ref), rows), ref.end());
        EXPECT_EQ(w.Screen(), last);
        for (std::size_t guard = 0; guard <= ref.size(); ++guard)
            w.wnd.OnKeyDown(rows > 3 ? kVkPrior : kVkUp);
        if (!ref.empty()) {
            EXPECT_EQ(w.Screen().front(), ref.front());
        }
        // The bar is scaled over the shown bytes.
        std::int64_t bytes = 0;
        for (const std::string& l : ref)
            bytes += static_cast<std::int64_t>(l.size() + 1) * EncodingUnitSize(w.wnd.GetEncoding());
        EXPECT_EQ(w.port.m_vert.max, bytes);

        // Off again: every line, from the same top line (within the last screenful of them all).
        w.wnd.OnKeyDown(kVkDown);
        const TextPos top = w.wnd.GetTop();
        w.wnd.SetShowOnlyFiltered(false);
        EXPECT_EQ(w.wnd.GetTop(), std::min(top, w.wnd.LastPageTop()));
        EXPECT_EQ(w.Screen().size(), std::min<std::size_t>(log.lines.size(), static_cast<std::size_t>(rows)));
    }
}

TEST(FilteredWindow, FindCopyAndGoToLineKeepToTheShownLines)
{
    Log log;
    for (int i = 0; i < 60; ++i)
        log.lines.push_back("n" + std::to_string(i) + (i % 10 == 3 ? " ERROR timeout" : " INFO timeout"));
    shownset::FilterStack st;
    st.rules.push_back({true, shownset::RuleKind::Include, u"ERROR", false, true});
    Window w(log.Text(), 3, 60);
    Filter(w, st);
    w.wnd.OnKeyDown(kVkHome);
    EXPECT_EQ(w.Screen(), (std::vector<std::string>{"n3 ERROR timeout", "n13 ERROR timeout", "n23 ERROR timeout"}));

    // "timeout" is on every line: only the shown ones are found.
    std::vector<std::string> found;
    for (int i = 0; i < 7; ++i) {
        ASSERT_EQ(i == 0 ? w.wnd.FindFirst(false, u"timeout") : w.wnd.FindNext(false, u"timeout"), 0);
        TextPos p = w.wnd.LineStartOf(w.wnd.GetLastMatch());
        std::string line;
        w.wnd.ReadLine(p, &line, nullptr);
        found.push_back(line);
    }
    EXPECT_EQ(found, (std::vector<std::string>{"n3 ERROR timeout", "n13 ERROR timeout", "n23 ERROR timeout",
                                               "n33 ERROR timeout", "n43 ERROR timeout", "n53 ERROR timeout",
                                               "n3 ERROR timeout"}));
    ASSERT_EQ(w.wnd.FindPrevious(false, u"timeout"), 0);
    EXPECT_EQ(w.wnd.GetLastMatch(), static_cast<TextPos>(log.Text().find("n53 ERROR timeout")) + 10);

    // Copy Screen copies the shown rows as the file holds them (the partial row below the last whole one too).
    w.wnd.OnKeyDown(kVkHome);
    w.wnd.CopyScreenToClipboard();
    const std::vector<std::uint8_t>& clip = w.port.m_clipboard;
    EXPECT_EQ(std::string(clip.begin(), clip.end() - 2),
              "n3 ERROR timeout\nn13 ERROR timeout\nn23 ERROR timeout\nn33 ERROR timeout\n");

    // Go to Line goes to the nearest shown line at or after the target.
    w.wnd.SetCountLines(true);
    w.wnd.GetLineIndex()->WaitForWorker();
    ASSERT_TRUE(w.wnd.GoToLine(20));
    EXPECT_EQ(w.Screen().front(), "n23 ERROR timeout");
}

TEST(FilteredWindow, AWindowAtTheEndFollowsWhatTheGrowingFileAdds)
{
    Log log;
    for (int i = 0; i < 30; ++i)
        log.lines.push_back("n" + std::to_string(i) + (i % 4 == 0 ? " ERROR" : " INFO"));
    shownset::FilterStack st;
    st.rules.push_back({true, shownset::RuleKind::Include, u"ERROR", false, true});
    Window w(log.Text(), 3, 60);
    Filter(w, st);
    w.wnd.OnKeyDown(kVkEnd);
    EXPECT_EQ(w.Screen(), (std::vector<std::string>{"n20 ERROR", "n24 ERROR", "n28 ERROR"}));
    for (int round = 0; round < 3; ++round) {
        std::string more;
        for (int i = 0; i < 9; ++i)
            more += "m" + std::to_string(round) + "-" + std::to_string(i) + (i % 3 == 1 ? " ERROR\n" : " INFO\n");
        w.dir.Append("text.log", more);
        w.wnd.LoadFile(nullptr, EncodingAuto);
        w.wnd.WaitShownSet();
        const std::string r = std::to_string(round);
        EXPECT_EQ(w.Screen(),
                  (std::vector<std::string>{"m" + r + "-1 ERROR", "m" + r + "-4 ERROR", "m" + r + "-7 ERROR"}))
            << "round " << round;
    }
    // Truncated: decided afresh over what is left.
    w.dir.Write("text.log", "a ERROR\nb INFO\nc ERROR\n");
    w.wnd.LoadFile(nullptr, EncodingAuto);
    w.wnd.WaitShownSet();
    EXPECT_EQ(w.Screen(), (std::vector<std::string>{"a ERROR", "c ERROR"}));
    EXPECT_EQ(w.wnd.GetShownStatus().shownLines, 2);
}
