// Painting one screenful from the top position, and the display-only text case.
#include "textwnd/FileWnd.h"
#include "textwnd/MergedWnd.h"

#include "engine/UnicodeCase.h"
#include "engine/Utf8Text.h"

#include <algorithm>
#include <tuple>

using platform::COLORREF;

bool CFileWnd::IsHighlighted(TextPos p) const
{
    return m_pHighlightStart <= p && p < m_pHighlightEnd;
}

// Painting fills every row with the page colour itself, so a change of colour
// or case needs no erase of its own: a full repaint shows it.
void CFileWnd::SetFontColor(COLORREF color)
{
    m_crFont = color;
    m_pPort->InvalidateAll();
}

void CFileWnd::SetPageColor(COLORREF color)
{
    m_crPage = color;
    m_pPort->InvalidateAll();
}

void CFileWnd::SetTextCase(std::int32_t textCase)
{
    m_nTextCase = textCase;
    m_pPort->InvalidateAll();
}

void CFileWnd::Invalidate()
{
    m_pPort->InvalidateAll();
}

namespace {

// The sentence rule for one character: a full stop starts a sentence, a
// letter takes the case the state asks for and ends the start.
template <typename Ch, typename IsLetter, typename Upper, typename Lower>
void ApplySentenceCase(Ch* s, std::size_t n, bool& state, IsLetter isLetter, Upper upper, Lower lower)
{
    for (std::size_t i = 0; i < n; ++i) {
        if (s[i] == Ch('.')) {
            state = true;
        } else if (isLetter(s[i])) {
            s[i] = state ? upper(s[i]) : lower(s[i]);
            state = false;
        }
    }
}

// Where the highlight's two edges (display columns of the row) fall in row
// text decoded from UTF-8: the unit index of the first character with a
// cell at or right of each edge, and that character's column. A combining
// mark stays with the character it is drawn on.
struct DecodedSplits {
    std::size_t index[2];
    std::int64_t column[2];
};

DecodedSplits SplitDecoded(const std::u16string& text, const std::int64_t (&edges)[2])
{
    DecodedSplits s{{text.size(), text.size()}, {0, 0}};
    std::int64_t k = 0;
    for (std::size_t i = 0; i < text.size();) {
        std::size_t units = 1;
        const int cells = utf8text::Cells(utf8text::CharAt16(text.data(), text.size(), i, &units));
        for (int e = 0; e < 2; ++e)
            if (cells > 0 && s.index[e] == text.size() && k >= edges[e])
                s.index[e] = i, s.column[e] = k;
        k += cells;
        i += units;
    }
    for (int e = 0; e < 2; ++e)
        if (s.index[e] == text.size())
            s.column[e] = k;
    return s;
}

}  // namespace

void CFileWnd::ApplyTextCaseDecoded(std::u16string& segment)
{
    if (m_nTextCase != TextCaseUpper && m_nTextCase != TextCaseLower && m_nTextCase != TextCaseSentence)
        return;
    std::u16string out;
    out.reserve(segment.size());
    for (std::size_t i = 0; i < segment.size();) {
        std::size_t units = 1;
        char32_t ch = utf8text::CharAt16(segment.data(), segment.size(), i, &units);
        if (m_nTextCase == TextCaseUpper) {
            ch = utf8text::UpperKeepingLength(ch);
        } else if (m_nTextCase == TextCaseLower) {
            ch = utf8text::LowerKeepingLength(ch);
        } else if (ch == U'.') {
            m_bSentenceStart = true;
        } else if (utf8text::IsLetter32(ch)) {
            ch = m_bSentenceStart ? utf8text::UpperKeepingLength(ch) : utf8text::LowerKeepingLength(ch);
            m_bSentenceStart = false;
        }
        utf8text::AppendUtf16(out, ch);
        i += units;
    }
    segment.swap(out);
}

void CFileWnd::ApplyTextCase(std::string& segment)
{
    auto* s = reinterpret_cast<std::uint8_t*>(segment.data());
    const std::size_t n = segment.size();
    switch (m_nTextCase) {
    case TextCaseUpper:
        for (std::size_t i = 0; i < n; ++i)
            s[i] = UpperCase8(s[i]);
        break;
    case TextCaseLower:
        for (std::size_t i = 0; i < n; ++i)
            s[i] = LowerCase8(s[i]);
        break;
    case TextCaseSentence: ApplySentenceCase(s, n, m_bSentenceStart, IsWin1252Letter, UpperCase8, LowerCase8); break;
    default: break;
    }
}

void CFileWnd::ApplyTextCase(std::u16string& segment)
{
    char16_t* s = segment.data();
    const std::size_t n = segment.size();
    switch (m_nTextCase) {
    case TextCaseUpper:
        for (std::size_t i = 0; i < n; ++i)
            s[i] = UpperCase16(s[i]);
        break;
    case TextCaseLower:
        for (std::size_t i = 0; i < n; ++i)
            s[i] = LowerCase16(s[i]);
        break;
    case TextCaseSentence: ApplySentenceCase(s, n, m_bSentenceStart, IsLetter16, UpperCase16, LowerCase16); break;
    default: break;
    }
}

bool CFileWnd::SentenceStateAfter(TextPos from, TextPos to, bool state) const
{
    if (DecodesUtf8())
        return CUtf8LineReader::SentenceStateAfter(m_lines.View(), from, to, state);
    const bool wide = m_lines.IsWide();
    const TextPos u = m_lines.Unit();
    for (TextPos q = to - u; q >= from; q -= u) {
        const char16_t c = m_lines.CharAt(q);
        if (c == u'.')
            return true;
        if (wide ? IsLetter16(c) : IsWin1252Letter(static_cast<std::uint8_t>(c)))
            return false;
    }
    return state;
}

// A row that rules colour, in runs of one rule and one highlight state.
// Columns count from the horizontal offset; the text's characters take one
// each, but for decoded text, whose characters take their cells (a mark
// stays in the run of its character).
template <typename Draw>
void CFileWnd::DrawRuledRow(Draw& draw, std::size_t total, const std::u16string* decoded,
                            const std::int64_t (&edges)[2], const std::int64_t (&sel)[2], int cw, int left,
                            const std::vector<HighlightRule>& rules)
{
    const std::int64_t ruled = static_cast<std::int64_t>(m_rowRules.size());
    std::size_t runFrom = 0;
    std::int64_t k = 0, runCol = 0;
    int runHl = 0;
    int runRule = -2;  // no run yet
    int x = left;
    for (std::size_t i = 0; i < total;) {
        std::size_t units = 1;
        int cells = 1;
        if (decoded)
            cells = utf8text::Cells(utf8text::CharAt16(decoded->data(), total, i, &units));
        if (cells > 0 || runRule == -2) {
            const int hl = edges[0] <= k && k < edges[1] ? 1 : sel[0] <= k && k < sel[1] ? 2 : 0;
            const int rule = k < ruled ? m_rowRules[static_cast<std::size_t>(k)] : -1;
            if (runRule != -2 && (hl != runHl || rule != runRule)) {
                draw(x, runFrom, i - runFrom, runHl, runRule);
                x += static_cast<int>(k - runCol) * cw;
                runFrom = i;
                runCol = k;
            }
            runHl = hl;
            runRule = rule;
        }
        k += cells;
        i += units;
    }
    draw(x, runFrom, total - runFrom, runHl, runRule);
    if (runHl)
        return;
    // A match's background ends with it, also at the end of the line.
    if (runRule >= 0 && rules[static_cast<std::size_t>(runRule)].scope == RuleScope::Match)
        draw(x + static_cast<int>(k - runCol) * cw, 0, 0, 0);
}

void CFileWnd::OnPaint(IFilePainter& painter)
{
    SyncWithMapping();
    BeginInput();
    if (!m_bPainted) {
        m_bPainted = true;
        if (m_hWnd)
            UpdateScrollPositions();
    }
    if (m_pMerged) {
        m_pMerged->Paint(painter);
        return;
    }
    const WRect rc = m_pPort->GetClientRect();
    if (!HasText()) {
        painter.FillSolidRect(rc, m_crPage);
        return;
    }

    const int h = GetLineHeight();
    const int cw = GetCharWidth();
    const int n = rc.Height() / h;
    const bool wide = m_lines.IsWide();
    const bool decoded = DecodesUtf8();
    const bool wideOut = wide || decoded;  // the row's text is UTF-16
    const TextPos end = DataEnd();
    m_bSentenceStart = true;
    painter.SelectFont(m_logFont);
    bool highlighted = false;
    TextPos pos = std::clamp(m_pTop, DataStart(), end);
    const bool anyHighlight = m_pHighlightStart != kNoPos && m_pHighlightStart < m_pHighlightEnd;
    // The selection, drawn in the port's colours under the search highlight.
    const bool anySelection = HasSelection();
    const TextPos selFrom = anySelection ? GetSelectionStart() : kNoPos;
    const TextPos selTo = anySelection ? GetSelectionEnd() : kNoPos;
    const std::pair<COLORREF, COLORREF> selColors =
        anySelection ? m_pPort->SelectionColors() : std::pair<COLORREF, COLORREF>{};

    // Only the columns from the offset to the right edge (one partial column
    // more) are stored; the rest of each line is stepped over.
    const std::int64_t hoff = std::max<std::int64_t>(m_nHorzOffset, 0);
    const std::size_t cap = static_cast<std::size_t>(rc.Width() / cw) + 2;

    // The rules in force, and the colours each shows in this window.
    const CHighlightRules* rules =
        CurrentHighlightRules() && CurrentHighlightRules()->Any() ? CurrentHighlightRules().get() : nullptr;
    std::vector<std::pair<COLORREF, COLORREF>> ruleColors;
    if (rules)
        for (const HighlightRule& r : rules->Rules())
            ruleColors.push_back(RuleColors(r));
    if (rules)
        PrepareLevels(*rules);

    std::string narrow;
    std::u16string wideText;
    std::string segN;
    std::u16string segW;
    m_paintedRowStarts.clear();
    // Filtered: context lines in the colour halfway between text and page, and a thin rule above a row that
    // follows hidden lines (drawn once the row is, whichever way its drawing ends).
    const bool filtering = IsFiltering();
    const COLORREF halfway = platform::Rgb((platform::RedOf(m_crFont) + platform::RedOf(m_crPage)) / 2,
                                           (platform::GreenOf(m_crFont) + platform::GreenOf(m_crPage)) / 2,
                                           (platform::BlueOf(m_crFont) + platform::BlueOf(m_crPage)) / 2);
    const int ruleHeight = std::max(1, h / 12);
    for (int i = 0; i < n + 2; ++i) {
        const int rowTop = rc.top + i * h;
        const int rowBottom = rowTop + h;
        const TextPos rowStart = pos;
        const bool context = filtering && pos < end && RowIsContext(pos);
        const RuleAbove ruleAbove{painter,
                                  {rc.left, rowTop, rc.right, rowTop + ruleHeight},
                                  halfway,
                                  filtering && i > 0 && pos < end && RowFollowsHidden(pos)};
        if (pos < end && (m_paintedRowStarts.empty() || pos != m_paintedRowStarts.back()))
            m_paintedRowStarts.push_back(pos);  // a row stopped on a NUL is repeated below it: numbered once
        LineColumns columns;
        columns.firstColumn = hoff;
        columns.marks[0] = m_pHighlightStart;
        columns.marks[1] = m_pHighlightEnd;
        columns.marks[3] = selFrom;
        columns.marks[4] = selTo;
        bool truncated = false;
        if (pos < end) {
            ReadLine(pos, wideOut ? nullptr : &narrow, wideOut ? &wideText : nullptr, cap, &columns);
            if (pos != rowStart)
                StepRow(pos);
            truncated = columns.storedEnd < columns.contentEnd;
        } else {
            narrow.clear();
            wideText.clear();
        }
        const bool empty = wideOut ? wideText.empty() : narrow.empty();
        if (empty) {
            narrow.assign(1, ' ');
            wideText.assign(1, u' ');
        }
        const WRect row{rc.left, rowTop, rc.right, rowBottom};
        if (!painter.RectVisible(row))
            continue;

        // The search highlight's inverse video stays on top of every rule.
        // State 0 plain, 1 the search highlight, 2 the selection.
        auto draw = [&](int x, std::size_t from, std::size_t count, int state, int rule = -1) {
            const bool hl = state == 1;
            if (hl != highlighted)
                highlighted = hl;
            COLORREF fg = hl ? m_crPage : context ? halfway : m_crFont;
            COLORREF bg = hl ? m_crFont : m_crPage;
            if (state == 2)
                std::tie(fg, bg) = selColors;
            if (rule >= 0 && state == 0)
                std::tie(fg, bg) = ruleColors[static_cast<std::size_t>(rule)];
            if (rules)
                painter.NoteRule(rule);
            const WRect opaque{x, rowTop, rc.right, rowBottom};
            if (decoded) {
                segW.assign(wideText, from, count);
                ApplyTextCaseDecoded(segW);
                painter.TextOutCells(x, rowBottom, opaque, segW.data(), segW.size(), fg, bg);
            } else if (wide) {
                segW.assign(wideText, from, count);
                ApplyTextCase(segW);
                painter.TextOutWide(x, rowBottom, opaque, segW.data(), segW.size(), fg, bg);
            } else {
                segN.assign(narrow, from, count);
                ApplyTextCase(segN);
                painter.TextOutNarrow(x, rowBottom, opaque, reinterpret_cast<const std::uint8_t*>(segN.data()),
                                      segN.size(), fg, bg);
            }
        };

        const bool ruled = rules && rowStart < end && RowRules(*rules, rowStart, columns, hoff, cap);
        // A selected break shows as the selection's colour from the line's text to the right edge; a selection
        // that ends with the text stops there.
        const bool breakSelected =
            anySelection && selFrom <= columns.contentEnd && columns.contentEnd < selTo && rowStart < end;
        const std::int64_t shownColumns = columns.width - hoff;
        const bool fillAfter = anySelection && rowStart < end && !truncated && shownColumns > 0 &&
                               (breakSelected || (selFrom < columns.contentEnd && selTo == columns.contentEnd));
        auto fillRest = [&] {
            if (fillAfter)
                draw(rc.left + static_cast<int>(shownColumns) * cw, 0, 0, breakSelected ? 2 : 0);
        };
        if (empty && hoff > 0) {
            // The line ends left of the window: an empty row in the page colour (or a whole-line rule's).
            draw(rc.left, 0, 0, breakSelected ? 2 : 0, ruled ? m_rowRules[0] : -1);
            continue;
        }
        // Each display column came from one unit (the spaces of a tab from the
        // tab), so the highlighted units show as one run of columns. The space
        // that stands for an empty line stands for the unit it starts at.
        const std::int64_t len = static_cast<std::int64_t>(wideOut ? wideText.size() : narrow.size());
        std::int64_t edges[2] = {0, 0};
        std::int64_t sel[2] = {0, 0};
        if (empty) {
            edges[1] = IsHighlighted(rowStart) ? 1 : 0;
            sel[1] = anySelection && selFrom <= rowStart && rowStart < selTo ? 1 : 0;
        } else {
            // Columns (units of the row's text but for decoded text, which the split below maps).
            const std::int64_t most = decoded ? INT64_MAX : len;
            if (anyHighlight) {
                edges[0] = std::clamp<std::int64_t>(columns.markColumns[0] - hoff, 0, most);
                edges[1] = std::clamp<std::int64_t>(columns.markColumns[1] - hoff, 0, most);
            }
            if (anySelection) {
                sel[0] = std::clamp<std::int64_t>(columns.markColumns[3] - hoff, 0, most);
                sel[1] = std::clamp<std::int64_t>(columns.markColumns[4] - hoff, 0, most);
            }
        }
        auto stateAt = [&](std::int64_t k) {
            return edges[0] <= k && k < edges[1] ? 1 : sel[0] <= k && k < sel[1] ? 2 : 0;
        };
        if (ruled) {
            DrawRuledRow(draw, wideOut ? wideText.size() : narrow.size(), decoded && !empty ? &wideText : nullptr,
                         edges, sel, cw, rc.left, rules->Rules());
            fillRest();
            if (truncated && m_nTextCase == TextCaseSentence)
                m_bSentenceStart = SentenceStateAfter(columns.storedEnd, columns.contentEnd, m_bSentenceStart);
            continue;
        }
        int x = rc.left;
        if (decoded && !empty) {
            // Runs between the edges of the highlight and of the selection that hold characters, one state each.
            const DecodedSplits sh = SplitDecoded(wideText, edges);
            const DecodedSplits ss = SplitDecoded(wideText, sel);
            std::pair<std::size_t, std::int64_t> cuts[5] = {{0, 0},
                                                            {sh.index[0], sh.column[0]},
                                                            {sh.index[1], sh.column[1]},
                                                            {ss.index[0], ss.column[0]},
                                                            {ss.index[1], ss.column[1]}};
            std::sort(std::begin(cuts), std::end(cuts));
            std::size_t runFrom = 0;
            std::int64_t runCol = 0;
            for (int r = 1; r <= 5; ++r) {
                const std::size_t to = r < 5 ? cuts[r].first : wideText.size();
                if (to <= runFrom || (r < 5 && stateAt(cuts[r].second) == stateAt(runCol)))
                    continue;
                draw(x, runFrom, to - runFrom, stateAt(runCol));
                if (r < 5) {
                    x += static_cast<int>(cuts[r].second - runCol) * cw;
                    runFrom = to;
                    runCol = cuts[r].second;
                }
            }
            fillRest();
            if (truncated && m_nTextCase == TextCaseSentence)
                m_bSentenceStart = SentenceStateAfter(columns.storedEnd, columns.contentEnd, m_bSentenceStart);
            continue;
        }
        for (std::int64_t k = 0; k < len;) {
            const int state = stateAt(k);
            // Characters from k keep this state up to the next edge where it changes.
            std::int64_t next = len;
            for (const std::int64_t e : {edges[0], edges[1], sel[0], sel[1]})
                if (e > k && e < next && stateAt(e) != state)
                    next = e;
            draw(x, static_cast<std::size_t>(k), static_cast<std::size_t>(next - k), state);
            x += static_cast<int>(next - k) * cw;
            k = next;
        }
        fillRest();
        if (truncated && m_nTextCase == TextCaseSentence)
            m_bSentenceStart = SentenceStateAfter(columns.storedEnd, columns.contentEnd, m_bSentenceStart);
    }
}
