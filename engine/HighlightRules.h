// Highlight rules: patterns that colour the lines or the matched text of
// every window, in order, the first rule that covers a character deciding
// its colours. A rule whose pattern does not compile is skipped (never
// applied as something else), and says why.
//
// Patterns are matched against UTF-8 text (the text window converts what it
// shows): regular ones with RE2's syntax, plain ones literally. A rule set is
// compiled once and shared by every window; the set in force is
// process-wide, as the code page is (CurrentHighlightRules below).
#pragma once

#include "platform/Types.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

// A rule's text or background colour: unchanged (the window's own), one
// colour, or (the built-in set) one for a dark page and one for a light
// page, or halfway between the window's text and page colours.
struct RuleColor {
    enum Kind : std::uint8_t { Unchanged, Fixed, ByPage, Halfway };
    Kind kind = Unchanged;
    platform::COLORREF dark = 0;   // Fixed: the colour
    platform::COLORREF light = 0;  // ByPage: the colour on a light page

    static RuleColor Of(platform::COLORREF c) { return {Fixed, c, c}; }
    bool operator==(const RuleColor&) const = default;
    // The colour drawn in a window of these colours; `unchanged` when the rule leaves it.
    platform::COLORREF Resolve(platform::COLORREF text, platform::COLORREF page, platform::COLORREF unchanged) const;
};

enum class RuleScope : std::uint8_t { Line, Match };

struct HighlightRule {
    std::string name;
    std::string pattern;  // UTF-8
    bool regex = false;
    bool caseSensitive = false;
    RuleColor text;
    RuleColor background;
    RuleScope scope = RuleScope::Line;
    bool enabled = true;
    bool alert = false;  // a match appended to a file marks its window's tab
    bool stop = false;   // ... and stops its window following the file (with alert)
    // The built-in set only: the record levels (a bit for each logformat::Level) whose records the rule
    // colours whole in a text whose log format gives levels; there it matches no words.
    std::uint8_t levels = 0;
    bool operator==(const HighlightRule&) const = default;
};

// Whether a page of this colour is dark (its luminance below the middle).
bool IsDarkPage(platform::COLORREF page);
// The built-in "Log Levels" set: errors red, warnings amber, debug and trace
// halfway to the page; case-sensitive, whole lines. It comes after every
// other rule. In a text with a log format its rules colour records by their
// level instead of by the words they hold.
std::vector<HighlightRule> LogLevelRules();
// The set with every colour made Fixed as it shows on a window of these colours (to copy into one's own rules).
std::vector<HighlightRule> ResolvedRules(std::vector<HighlightRule> rules, platform::COLORREF text,
                                         platform::COLORREF page);

// Matched text longer than this is matched only near what is shown (the
// text window's visible columns and this much either side).
inline constexpr std::size_t kRuleLineBytes = 64 << 10;
inline constexpr std::size_t kRuleMarginBytes = 4 << 10;

class CHighlightRules {
public:
    // What one rule covers in a text: bytes [begin, end), or the whole line.
    struct Span {
        std::size_t begin, end;
        int rule;
        bool wholeLine;
    };

    // Compiles the enabled rules; `warnings` receives one text for each rule
    // skipped for its pattern.
    explicit CHighlightRules(std::vector<HighlightRule> rules, std::vector<std::string>* warnings = nullptr);
    ~CHighlightRules();
    CHighlightRules(const CHighlightRules&) = delete;
    CHighlightRules& operator=(const CHighlightRules&) = delete;

    const std::vector<HighlightRule>& Rules() const { return m_rules; }
    // Whether any rule takes part.
    bool Any() const { return !m_active.empty(); }
    bool AnyAlert() const { return m_bAnyAlert; }
    // Why rule i does not take part for its pattern; empty when it compiles.
    const std::string& Error(std::size_t i) const { return m_errors[i]; }

    // The spans of `text` in rule order: a whole-line span for a line rule
    // that matches (no later rule can win a character then, so none
    // follows), every match of a match rule. Clears `out` first.
    void Match(std::string_view text, std::vector<Span>& out) const { Match(text, out, true); }
    // The same, with `byWords` false leaving out the rules that colour by level (the text's records say it).
    void Match(std::string_view text, std::vector<Span>& out, bool byWords) const;
    // The first rule taking part that colours records of `level` (a logformat::Level), or -1.
    int RuleForLevel(int level) const;
    bool AnyByLevel() const { return m_bAnyByLevel; }
    // The first alert rule (stop rules only, when `stopOnly`) that matches `text`, or -1.
    int FirstAlert(std::string_view text, bool stopOnly) const;
    // Where the first match of rule i in `text` starts and ends; false when none.
    bool Find(std::size_t i, std::string_view text, std::size_t& begin, std::size_t& end) const;

private:
    struct Compiled;
    struct CombinedSet;
    // The rules whose patterns occur in `text`, in order, by one pass over it.
    void Candidates(std::string_view text, std::vector<int>& out) const;
    bool FindFrom(const Compiled& c, std::string_view text, std::size_t from, std::size_t& begin,
                  std::size_t& end) const;

    std::vector<HighlightRule> m_rules;
    std::vector<std::string> m_errors;
    std::vector<std::unique_ptr<Compiled>> m_compiled;  // by rule; null when not taking part
    std::vector<int> m_active;                          // rules taking part, in order
    std::unique_ptr<CombinedSet> m_pSet;                // all active patterns; null when it could not be built
    bool m_bAnyAlert = false;
    bool m_bAnyByLevel = false;
    mutable std::vector<int> m_candidates;
};

// The rules in force in every window (null: highlighting off). User-interface thread only.
const std::shared_ptr<const CHighlightRules>& CurrentHighlightRules();
void SetCurrentHighlightRules(std::shared_ptr<const CHighlightRules> rules);
