// A window's filter stack and the decision it makes over a stream of lines:
// which records are shown, which lines around them are shown as context, and
// how many lines each rule matches. The decision is plain code that reads no
// text: the shown-set scan (engine/ShownSet.h) feeds it the lines of what it
// reads, each with the rules it matched and whether it starts a record.
//
// A record is a line a log format reads and the lines after it that it does
// not read (a line is a record in a file without a format). A record is shown
// when its level is at or above the lowest level, its time lies in the range
// (a record without a time, or without a level, passes that condition), it
// matches at least one Include rule that is on ("any") or every one of them
// ("all"), and it matches no Exclude rule that is on. A record matches a rule
// when one of its lines does. Up to `context` lines before and after a shown
// record are shown as context.
#pragma once

#include "engine/LogFormat.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace shownset {

enum class RuleKind : std::uint8_t { Include, Exclude };
enum class Combine : std::uint8_t { Any, All };

struct FilterRule {
    bool on = true;
    RuleKind kind = RuleKind::Include;
    std::u16string text;
    bool regex = false;
    bool caseSensitive = false;
    bool operator==(const FilterRule&) const = default;
};

struct FilterStack {
    static constexpr int kMaxContext = 9;
    // Rules past this many are not applied (each costs a bit of a line's mask).
    static constexpr std::size_t kMaxRules = 64;

    std::vector<FilterRule> rules;
    Combine combine = Combine::Any;
    // Level::None is "any"; otherwise Fatal .. Debug, a record passes when at least as severe.
    logformat::Level lowest = logformat::Level::None;
    bool hasFrom = false, hasTo = false;
    std::int64_t fromMicros = 0, toMicros = 0;  // both inclusive
    int context = 0;                            // 0 .. kMaxContext

    bool operator==(const FilterStack&) const = default;
    // Whether the stack can hide a line: a rule with a text is on, or a level or time is set.
    bool Hides() const;
    // Whether a record's time and level pass the stack's conditions.
    bool Passes(bool timed, std::int64_t micros, logformat::Level level) const;
};

// One line as the scan hands it to the decision.
struct LineFacts {
    std::int64_t start = 0;
    std::uint64_t hits = 0;  // bit r: rule r matches the line
    bool startsRecord = false;
    bool passes = true;  // of a record's first line: its time and level pass
};

// A run of shown lines: whole lines [start, end), every one a line of a shown
// record or every one a context line.
struct ShownRun {
    std::int64_t start = 0, end = 0;
    bool context = false;
    bool operator==(const ShownRun&) const = default;
};

// The decision over lines fed in file order. A copy is a checkpoint: the
// shown-set scan keeps one where its complete lines end and goes on from it
// when the file grows. Emitted runs go to `out` (appended; adjacent runs of
// one kind may follow each other unmerged).
class CShownDecision {
public:
    CShownDecision() = default;
    // includeMask and excludeMask: the bits of the rules that are on and usable.
    CShownDecision(std::uint64_t includeMask, std::uint64_t excludeMask, bool all, int context);

    void Line(const LineFacts& line, std::int64_t end, std::vector<ShownRun>& out);
    // Lines [0, n) in file order, the last one ending at `end`: Line for each.
    void Lines(const LineFacts* lines, std::size_t n, std::int64_t end, std::vector<ShownRun>& out);
    // The data ends here for now: decides the open record.
    void Finish(std::vector<ShownRun>& out);

    std::int64_t Lines() const { return m_lines; }
    std::int64_t ShownLines() const { return m_shown; }
    std::int64_t RuleCount(std::size_t rule) const { return m_counts[rule]; }
    // Runs are final before this point: later lines can add context only from here on.
    std::int64_t FinalBefore() const;

private:
    // The starts of the last lines before the open record (up to kMaxContext of them).
    struct Ring {
        std::array<std::int64_t, FilterStack::kMaxContext> at{};
        int n = 0, head = 0;
        void Push(std::int64_t v);
        std::int64_t FromEnd(int k) const;  // k = 1: the last one
    };
    void Close(std::vector<ShownRun>& out);
    void Emit(std::int64_t start, std::int64_t end, bool context, std::vector<ShownRun>& out);

    std::uint64_t m_include = 0, m_exclude = 0;
    bool m_all = false;
    int m_context = 0;

    std::int64_t m_lines = 0, m_shown = 0;
    std::array<std::int64_t, FilterStack::kMaxRules> m_counts{};
    std::int64_t m_emittedEnd = -1;
    int m_afterLeft = 0;  // context lines still owed to the last shown record
    Ring m_before;

    // The open record.
    bool m_open = false;
    std::int64_t m_recStart = 0, m_recEnd = 0, m_recLines = 0;
    std::uint64_t m_recHits = 0;
    bool m_recPasses = true;
    std::array<std::int64_t, FilterStack::kMaxContext + 1> m_recFirst{};  // starts of its first lines
    Ring m_recLast;                                                       // starts of its last lines
};

}  // namespace shownset
