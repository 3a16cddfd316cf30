// The selection: two positions on character boundaries, hit-tested from the
// pixels of the rows as painting lays them out, widened to words and lines,
// and copied as the window draws the text.
#include "textwnd/FileWnd.h"

#include "engine/Utf8Text.h"
#include "platform/Win1252.h"

#include <algorithm>

namespace {

// How far a double-click looks either way for the ends of a word: a line of
// gigabytes of letters selects a long stretch of it, never freezes the window.
constexpr TextPos kWordReach = TextPos(1) << 20;

bool IsHighSurrogate(char16_t c)
{
    return c >= 0xD800 && c < 0xDC00;
}

bool IsLowSurrogate(char16_t c)
{
    return c >= 0xDC00 && c < 0xE000;
}

// 0 a word character, 1 a blank, 2 any other.
int CharClass(char32_t c)
{
    if (c == U'_' || (c >= U'0' && c <= U'9') || utf8text::IsLetter32(c))
        return 0;
    return c == U' ' || c == U'\t' ? 1 : 2;
}

}  // namespace

TextPos CFileWnd::SnapToCharacter(TextPos p, bool up)
{
    if (!HasText() || p == kNoPos)
        return kNoPos;
    const TextPos start = DataStart(), end = DataEnd();
    const TextPos u = m_lines.Unit();
    p = std::clamp(p, start, end);
    if (const TextPos off = (p - start) % u)
        p = up ? std::min(p - off + u, end) : p - off;
    if (p <= start || p >= end)
        return p;
    if (m_lines.IsWide()) {
        if (IsHighSurrogate(m_lines.CharAt(p - u)) && IsLowSurrogate(m_lines.CharAt(p)))
            return up ? p + u : p - u;
    } else if (DecodesUtf8()) {
        // A lead byte or an ASCII byte always starts a character: the nearest one before p decides.
        const std::uint8_t* v = m_lines.View();
        for (TextPos k = 1; k <= 3 && p - k >= start; ++k) {
            if ((v[p - k] & 0xC0) == 0x80)
                continue;
            const utf8text::Char c = utf8text::DecodeAt(v + p - k, v + end);
            if (c.valid && c.length > k)
                return up ? p - k + c.length : p - k;
            break;
        }
    }
    // Between the two units of a pair as forward reading pairs them (a line start follows a lone break).
    if (m_lines.IsBreakAt(p - u) && m_lines.IsBreakAt(p) && m_lines.IsPairAt(p - u) && m_lines.LineStartOf(p) < p)
        return up ? p + u : p - u;
    return p;
}

char32_t CFileWnd::DrawnCharAt(TextPos q, TextPos& next) const
{
    const TextPos end = DataEnd();
    const std::uint8_t* v = m_lines.View();
    if (m_lines.IsWide()) {
        next = q + 2;
        const char16_t c = m_lines.CharAt(q);
        if (IsHighSurrogate(c) && next < end && IsLowSurrogate(m_lines.CharAt(next))) {
            const char16_t lo = m_lines.CharAt(next);
            next += 2;
            return 0x10000 + ((static_cast<char32_t>(c) - 0xD800) << 10) + (lo - 0xDC00);
        }
        return c;
    }
    if (DecodesUtf8()) {
        const utf8text::Char c = utf8text::DecodeAt(v + q, v + end);
        next = q + c.length;
        return c.ch;
    }
    next = q + 1;
    return platform::Win1252ToUnicode(v[q]);
}

TextPos CFileWnd::PositionAt(int x, int y)
{
    SyncWithMapping();
    if (!HasText() || m_pTop == kNoPos)
        return kNoPos;
    const WRect rc = m_pPort->GetClientRect();
    const int h = GetLineHeight(), cw = GetCharWidth();
    // The rows painting reads from the top: the partly visible one below the whole ones is the last.
    const int row = std::min(std::max(y - rc.top, 0) / h, std::max(rc.Height() / h, 0));
    const TextPos end = DataEnd();
    TextPos pos = std::clamp(m_pTop, DataStart(), end);
    BeginInput();
    for (int i = 0; i < row && pos < end; ++i) {
        ReadLine(pos, nullptr, nullptr);
        StepRow(pos);
    }
    if (pos >= end)
        return end;
    const int px = std::max(x - rc.left, 0);
    const std::int64_t cell = px / cw + std::max<std::int64_t>(m_nHorzOffset, 0);
    const bool rightHalf = (px % cw) * 2 >= cw;

    // The character whose cells hold the pointer, and the column where it starts.
    const bool wideOut = m_lines.IsWide() || DecodesUtf8();
    std::string narrow;
    std::u16string wide;
    LineColumns c;
    c.firstColumn = cell;
    TextPos q = pos;
    ReadLine(q, wideOut ? nullptr : &narrow, wideOut ? &wide : nullptr, 1, &c);
    if (c.storedStart >= c.contentEnd)
        return c.contentEnd;
    const TextPos at = c.storedStart, after = std::min(c.storedEnd, c.contentEnd);
    std::int64_t endColumn = c.storedStartColumn + 1;
    TextPos next = 0;
    if (wideOut || DrawnCharAt(at, next) == U'\t' || after - at != m_lines.Unit()) {
        // A tab or a wide character: where the next character starts decides which half the pointer is in.
        LineColumns e;
        e.firstColumn = INT64_MAX / 2;
        e.marks[0] = after;
        q = pos;
        ReadLine(q, nullptr, nullptr, 0, &e);
        endColumn = std::max(e.markColumns[0], c.storedStartColumn + 1);
    }
    const std::int64_t halves = 2 * (cell - c.storedStartColumn) + (rightHalf ? 1 : 0);
    return halves >= endColumn - c.storedStartColumn ? after : at;
}

void CFileWnd::SetSelection(TextPos anchor, TextPos caret)
{
    SyncWithMapping();
    if (!HasText() || anchor == kNoPos || caret == kNoPos) {
        ClearSelection();
        return;
    }
    const bool forward = anchor <= caret;
    anchor = SnapToCharacter(anchor, !forward);
    caret = SnapToCharacter(caret, forward);
    if (anchor == m_pSelAnchor && caret == m_pSelCaret)
        return;
    const bool repaint = HasSelection() || anchor != caret;
    m_pSelAnchor = anchor;
    m_pSelCaret = caret;
    if (repaint)
        m_pPort->InvalidateAll();
}

void CFileWnd::ExtendSelection(TextPos caret)
{
    SetSelection(m_pSelAnchor == kNoPos ? caret : m_pSelAnchor, caret);
}

void CFileWnd::ClearSelection()
{
    const bool repaint = HasSelection();
    m_pSelAnchor = m_pSelCaret = kNoPos;
    if (repaint)
        m_pPort->InvalidateAll();
}

void CFileWnd::SelectWord(TextPos p)
{
    SyncWithMapping();
    p = SnapToCharacter(p, false);
    if (p == kNoPos)
        return;
    const TextPos start = DataStart(), end = DataEnd();
    auto ends = [&](TextPos q) { return q >= end || m_lines.IsBreakAt(q) || m_lines.UnitAt(q) == 0; };
    // Past the end of a line's text: the character before it, so that a word at the line's end is taken.
    if (ends(p) && p > start && !ends(SnapToCharacter(p - m_lines.Unit(), false)))
        p = SnapToCharacter(p - m_lines.Unit(), false);
    if (ends(p)) {
        SetSelection(p, p);
        return;
    }
    TextPos next = 0;
    const int kind = CharClass(DrawnCharAt(p, next));
    TextPos to = next;
    if (kind != 2)
        while (to < end && to - p < kWordReach && !ends(to) && CharClass(DrawnCharAt(to, next)) == kind)
            to = next;
    TextPos from = p;
    if (kind != 2)
        while (from > start && p - from < kWordReach) {
            const TextPos before = SnapToCharacter(from - m_lines.Unit(), false);
            if (ends(before) || CharClass(DrawnCharAt(before, next)) != kind)
                break;
            from = before;
        }
    SetSelection(from, to);
}

void CFileWnd::SelectLine(TextPos p)
{
    SyncWithMapping();
    p = SnapToCharacter(p, false);
    if (p == kNoPos)
        return;
    const TextPos end = DataEnd();
    if (p >= end && p > DataStart())
        p = SnapToCharacter(p - m_lines.Unit(), false);
    const TextPos from = LineStartOf(p);
    const TextPos to = p < end ? m_lines.NextLineStart(p, end) : end;
    // A NUL stops the reading where it is: the line is taken up to it.
    SetSelection(from, std::max(to, p));
}

std::uint64_t CFileWnd::SelectionBytes() const
{
    return HasSelection() ? static_cast<std::uint64_t>(GetSelectionEnd() - GetSelectionStart()) : 0;
}

void CFileWnd::CopySelectionToClipboard()
{
    SyncWithMapping();
    if (!HasSelection() || !HasText())
        return;
    PutOnClipboard(GetSelectionStart(), SelectionBytes());
}

void CFileWnd::CopyToClipboard()
{
    SyncWithMapping();
    if (HasSelection() && !m_pMerged)  // a merged window's rows are of several files: the screen
        CopySelectionToClipboard();
    else
        CopyScreenToClipboard();
}

void CFileWnd::PublishSelection()
{
    SyncWithMapping();
    if (!HasSelection() || !HasText() || SelectionBytes() > kLargeSelectionBytes)
        return;
    std::vector<std::uint8_t> block;
    unsigned format = 0;
    if (ClipboardBlock(GetSelectionStart(), SelectionBytes(), block, format))
        m_pPort->SetPrimarySelection(format, std::move(block));
}
