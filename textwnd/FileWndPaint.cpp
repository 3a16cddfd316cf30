// Painting one screenful from the top position, and the display-only text case.
#include "textwnd/FileWnd.h"

#include "textwnd/LineScan.h"
#include "textwnd/UnicodeCase.h"

#include <algorithm>

bool CFileWnd::IsHighlighted(TextPos p) const
{
    return m_pHighlightStart <= p && p < m_pHighlightEnd;
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

}  // namespace

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
    case TextCaseSentence:
        ApplySentenceCase(s, n, m_bSentenceStart, IsWin1252Letter, UpperCase8, LowerCase8);
        break;
    default:
        break;
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
    case TextCaseSentence:
        ApplySentenceCase(s, n, m_bSentenceStart, IsLetter16, UpperCase16, LowerCase16);
        break;
    default:
        break;
    }
}

bool CFileWnd::SentenceStateAfter(TextPos from, TextPos to, bool state) const
{
    const std::uint8_t* v = ViewBytes();
    if (IsWide()) {
        const bool swap = m_nEncoding == EncodingUtf16BE;
        for (TextPos q = to - 2; q >= from; q -= 2) {
            std::uint16_t u = linescan::Load16(v + q);
            if (swap)
                u = static_cast<std::uint16_t>((u >> 8) | (u << 8));
            if (u == '.')
                return true;
            if (IsLetter16(u))
                return false;
        }
    } else {
        for (TextPos q = to - 1; q >= from; --q) {
            if (v[q] == '.')
                return true;
            if (IsWin1252Letter(v[q]))
                return false;
        }
    }
    return state;
}

void CFileWnd::OnPaint(IFilePainter& painter)
{
    SyncWithMapping();
    if (!m_bPainted) {
        m_bPainted = true;
        if (m_hWnd)
            UpdateScrollPositions();
    }
    const WRect rc = m_pPort->GetClientRect();
    if (!HasText()) {
        painter.FillSolidRect(rc, m_crPage);
        return;
    }

    const int h = GetLineHeight();
    const int cw = GetCharWidth();
    const int n = rc.Height() / h;
    const bool wide = IsWide();
    const TextPos unit = wide ? 2 : 1;
    const TextPos end = DataEnd();
    m_bSentenceStart = true;
    painter.SelectFont(m_logFont);
    bool highlighted = false;
    TextPos pos = std::clamp(m_pTop, DataStart(), end);

    // Characters right of the window are never seen: store only what can show
    // (one partial column more), but still step over the whole line.
    const std::int64_t hoff = std::max<std::int64_t>(m_nHorzOffset, 0);
    const std::size_t cap = static_cast<std::size_t>(hoff) + static_cast<std::size_t>(rc.Width() / cw) + 2;

    std::string narrow;
    std::u16string wideText;
    std::string segN;
    std::u16string segW;
    for (int i = 0; i < n + 2; ++i) {
        const int rowTop = rc.top + i * h;
        const int rowBottom = rowTop + h;
        TextPos src = pos + static_cast<TextPos>(hoff) * unit;
        TextPos storedEnd = pos, contentEnd = pos;
        bool truncated = false;
        if (pos < end) {
            ReadLine(pos, wide ? nullptr : &narrow, wide ? &wideText : nullptr, cap, &storedEnd, &contentEnd);
            truncated = storedEnd < contentEnd;
        } else {
            narrow.clear();
            wideText.clear();
        }
        if (wide ? wideText.empty() : narrow.empty()) {
            narrow.assign(1, ' ');
            wideText.assign(1, u' ');
        }
        const WRect row{rc.left, rowTop, rc.right, rowBottom};
        if (!painter.RectVisible(row))
            continue;

        const std::size_t len = wide ? wideText.size() : narrow.size();
        auto draw = [&](int x, std::size_t from, std::size_t count, bool hl) {
            if (hl != highlighted)
                highlighted = hl;
            const COLORREF fg = hl ? m_crPage : m_crFont;
            const COLORREF bg = hl ? m_crFont : m_crPage;
            const WRect opaque{x, rowTop, rc.right, rowBottom};
            if (wide) {
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

        std::size_t k = static_cast<std::size_t>(hoff);
        if (k >= len) {
            // The line ends left of the window: an empty row in the page colour.
            draw(rc.left, 0, 0, false);
            continue;
        }
        int x = rc.left;
        while (k < len) {
            const bool state = IsHighlighted(src);
            // Characters from k keep this state up to the highlight's next edge.
            std::size_t count = len - k;
            const TextPos edge = state ? m_pHighlightEnd
                                       : (src < m_pHighlightStart && m_pHighlightStart < m_pHighlightEnd ? m_pHighlightStart
                                                                                                       : kNoPos);
            if (edge != kNoPos) {
                const TextPos steps = (edge - src + unit - 1) / unit;
                if (!state && src + steps * unit >= m_pHighlightEnd) {
                    // The range holds no position on this grid: never highlighted.
                } else if (static_cast<std::uint64_t>(steps) < count) {
                    count = static_cast<std::size_t>(steps);
                }
            }
            draw(x, k, count, state);
            k += count;
            src += static_cast<TextPos>(count) * unit;
            x += static_cast<int>(count) * cw;
        }
        if (truncated && m_nTextCase == TextCaseSentence)
            m_bSentenceStart = SentenceStateAfter(storedEnd, contentEnd, m_bSentenceStart);
    }
}
