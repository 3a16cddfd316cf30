// The decision of the filter stack over lines in file order: records are
// decided when the next one starts (or the data ends), their context lines
// then, so that each line is emitted once and runs come out in file order.
#include "engine/FilterStack.h"

#include <algorithm>
#include <tuple>

namespace shownset {

bool FilterStack::Hides() const
{
    if (lowest != logformat::Level::None || hasFrom || hasTo)
        return true;
    const std::size_t n = std::min(rules.size(), kMaxRules);
    return std::any_of(rules.begin(), rules.begin() + static_cast<std::ptrdiff_t>(n),
                       [](const FilterRule& r) { return r.on && !r.text.empty(); });
}

bool FilterStack::Passes(bool timed, std::int64_t micros, logformat::Level level) const
{
    if (lowest != logformat::Level::None && level != logformat::Level::None &&
        static_cast<int>(level) > static_cast<int>(lowest))
        return false;
    if (timed && ((hasFrom && micros < fromMicros) || (hasTo && micros > toMicros)))
        return false;
    return true;
}

void CShownDecision::Ring::Push(std::int64_t v)
{
    // Every line of a scan passes here: a wrap by comparison, not by division.
    constexpr int size = static_cast<int>(std::tuple_size_v<decltype(at)>);
    at[static_cast<std::size_t>(head)] = v;
    head = head + 1 == size ? 0 : head + 1;
    n = n < size ? n + 1 : size;
}

std::int64_t CShownDecision::Ring::FromEnd(int k) const
{
    constexpr int size = static_cast<int>(std::tuple_size_v<decltype(at)>);
    const int i = head - k;  // k is at most the ring's size
    return at[static_cast<std::size_t>(i < 0 ? i + size : i)];
}

CShownDecision::CShownDecision(std::uint64_t includeMask, std::uint64_t excludeMask, bool all, int context)
    : m_include(includeMask),
      m_exclude(excludeMask),
      m_all(all),
      m_context(std::clamp(context, 0, FilterStack::kMaxContext))
{
}

void CShownDecision::Line(const LineFacts& line, std::int64_t end, std::vector<ShownRun>& out)
{
    ++m_lines;
    for (std::uint64_t h = line.hits; h; h &= h - 1)
        ++m_counts[static_cast<std::size_t>(__builtin_ctzll(h))];
    // The lines before the first line a format reads form a record without time or level.
    if (line.startsRecord || !m_open) {
        if (m_open)
            Close(out);
        m_open = true;
        m_recStart = line.start;
        m_recLines = 0;
        m_recHits = 0;
        m_recPasses = line.startsRecord ? line.passes : true;
        m_recLast.n = m_recLast.head = 0;  // its slots are written before they are read
    }
    if (m_recLines <= m_context)
        m_recFirst[static_cast<std::size_t>(m_recLines)] = line.start;
    m_recLast.Push(line.start);
    ++m_recLines;
    m_recEnd = end;
    m_recHits |= line.hits;
}

void CShownDecision::Lines(const LineFacts* lines, std::size_t n, std::int64_t end, std::vector<ShownRun>& out)
{
    // Most lines of a filtered log close a one-line record that no Include
    // rule matched and that owes no context: such a record is hidden and only
    // becomes a line before the next, which this does without the general
    // path (a scan passes every line of the file here, on one thread).
    const bool hidesUnmatched = m_include != 0;
    for (std::size_t i = 0; i < n; ++i) {
        const LineFacts& line = lines[i];
        const std::int64_t lineEnd = i + 1 < n ? lines[i + 1].start : end;
        if (hidesUnmatched && line.startsRecord && m_open && m_recLines == 1 && m_afterLeft == 0 &&
            !(m_recHits & m_include)) {
            ++m_lines;
            for (std::uint64_t h = line.hits; h; h &= h - 1)
                ++m_counts[static_cast<std::size_t>(__builtin_ctzll(h))];
            m_before.Push(m_recStart);
            m_recStart = line.start;
            m_recHits = line.hits;
            m_recPasses = line.passes;
            m_recFirst[0] = line.start;
            m_recLast.at[0] = line.start;
            m_recLast.head = m_recLast.n = 1;
            m_recEnd = lineEnd;
            continue;
        }
        Line(line, lineEnd, out);
    }
}

void CShownDecision::Finish(std::vector<ShownRun>& out)
{
    if (m_open)
        Close(out);
    m_open = false;
}

std::int64_t CShownDecision::FinalBefore() const
{
    if (!m_open)
        return m_recEnd;
    const int k = std::min(m_context, m_before.n);
    return std::max(k > 0 ? m_before.FromEnd(k) : m_recStart, m_emittedEnd);
}

void CShownDecision::Emit(std::int64_t start, std::int64_t end, bool context, std::vector<ShownRun>& out)
{
    if (start >= end)
        return;
    if (!out.empty() && out.back().end == start && out.back().context == context)
        out.back().end = end;
    else
        out.push_back({start, end, context});
    m_emittedEnd = end;
}

void CShownDecision::Close(std::vector<ShownRun>& out)
{
    const bool included = m_all ? (m_recHits & m_include) == m_include : m_include == 0 || (m_recHits & m_include);
    const bool shown = m_recPasses && included && !(m_recHits & m_exclude);
    if (shown) {
        // Context before it: the lines not yet emitted among the last ones before it.
        int k = std::min(m_context, m_before.n);
        while (k > 0 && m_before.FromEnd(k) < m_emittedEnd)
            --k;
        m_shown += k + m_recLines;
        if (k > 0)
            Emit(m_before.FromEnd(k), m_recStart, true, out);
        Emit(m_recStart, m_recEnd, false, out);
        m_afterLeft = m_context;
    } else if (m_afterLeft > 0) {
        const int k = static_cast<int>(std::min<std::int64_t>(m_afterLeft, m_recLines));
        Emit(m_recStart, k < m_recLines ? m_recFirst[static_cast<std::size_t>(k)] : m_recEnd, true, out);
        m_shown += k;
        m_afterLeft -= k;
    }
    // The record's last lines become the lines before the next one.
    const int kept = static_cast<int>(std::min<std::int64_t>(m_recLines, m_recLast.n));
    for (int j = kept; j >= 1; --j)
        m_before.Push(m_recLast.FromEnd(j));
}

}  // namespace shownset
