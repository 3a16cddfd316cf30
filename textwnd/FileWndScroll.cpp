// Moving the view: scroll bars, keys and wheels.
#include "textwnd/FileWnd.h"

#include <algorithm>
#include <cstdlib>

void CFileWnd::OnVScroll(int code)
{
    SyncWithMapping();
    if (!HasText())
        return;
    const int visible = VisibleLines();
    const int page = visible - 2;
    const int quarter = page / 4;
    const TextPos unit = CodeUnitSize();

    switch (code) {
    case SB_LINEUP:
        if (PrevLineStart(m_pTop))
            ScrollLines(-1);
        break;
    case SB_LINEDOWN:
        if (NextLineStart(m_pTop))
            ScrollLines(1);
        break;
    case SB_PAGEUP:
    case SB_QUARTER_BACK: {
        int moved = 0;
        for (int i = code == SB_PAGEUP ? page : quarter; i > 0; --i)
            moved += PrevLineStart(m_pTop) ? 1 : 0;
        ScrollLines(-moved);
        break;
    }
    case SB_PAGEDOWN:
    case SB_QUARTER_FORWARD: {
        int moved = 0;
        for (int i = code == SB_PAGEDOWN ? page : quarter; i > 0; --i)
            moved += NextLineStart(m_pTop) ? 1 : 0;
        ScrollLines(moved);
        break;
    }
    case SB_THUMBPOSITION:
    case SB_THUMBTRACK: {
        // The tracking position is lowered onto the code-unit grid and kept
        // within the bar's reach: a top beyond the last screenful would leave
        // the line model reading past what it may.
        std::int64_t track = m_pPort->GetVScrollTrackPos();
        track -= track % unit;
        track = std::clamp<std::int64_t>(track, 0, LastPageTop() - DataStart());
        m_pTop = DataStart() + track;
        // The end of the bar's reach is the last screenful itself, kept as it
        // is so that the window follows the file from there.
        if (track != 0 && m_pTop != LastPageTop())
            m_pTop = LineStartOf(m_pTop);
        m_pPort->InvalidateAll();
        break;
    }
    case SB_TOP:
        m_pTop = DataStart();
        m_pPort->InvalidateAll();
        break;
    case SB_BOTTOM:
        m_pTop = LastPageTop();
        m_pPort->InvalidateAll();
        break;
    default:
        break;
    }
    UpdateScrollPositions();
}

void CFileWnd::OnHScroll(int code, std::int64_t thumb)
{
    SyncWithMapping();
    if (!HasText())
        return;
    const std::int64_t h = m_nHorzOffset;
    std::int64_t target;
    switch (code) {
    case SB_LINELEFT: target = h - 1; break;
    case SB_LINERIGHT: target = h + 1; break;
    case SB_PAGELEFT: target = h - m_nColumns; break;
    case SB_PAGERIGHT: target = h + m_nColumns; break;
    case SB_THUMBPOSITION:
    case SB_THUMBTRACK: target = thumb; break;
    case SB_LEFT: target = 0; break;
    case SB_RIGHT: target = m_nLongestLine; break;
    case SB_QUARTER_BACK: target = h - m_nColumns / 4; break;
    case SB_QUARTER_FORWARD: target = h + m_nColumns / 4; break;
    default: target = h; break;
    }
    target = std::min(target, m_nLongestLine - m_nColumns);
    target = std::max<std::int64_t>(target, 0);
    if (target == h)
        return;
    if (std::llabs(h - target) < m_nColumns)
        m_pPort->ScrollWindow(static_cast<int>((h - target) * GetCharWidth()), 0);
    else
        m_pPort->InvalidateAll();
    m_nHorzOffset = target;
    UpdateScrollPositions();
}

void CFileWnd::OnKeyDown(unsigned virtualKey)
{
    switch (virtualKey) {
    case VK_SPACE:
    case VK_NEXT: OnVScroll(SB_PAGEDOWN); break;
    case VK_PRIOR: OnVScroll(SB_PAGEUP); break;
    case VK_END: OnVScroll(SB_BOTTOM); break;
    case VK_HOME: OnVScroll(SB_TOP); break;
    case VK_LEFT: OnHScroll(SB_QUARTER_BACK); break;
    case VK_UP: OnVScroll(SB_LINEUP); break;
    case VK_RIGHT: OnHScroll(SB_QUARTER_FORWARD); break;
    case VK_DOWN: OnVScroll(SB_LINEDOWN); break;
    default: break;
    }
}

bool CFileWnd::OnMouseWheel(int delta)
{
    OnVScroll(delta > 0 ? SB_QUARTER_BACK : SB_QUARTER_FORWARD);
    return false;
}

// A positive delta is a tilt to the right, which moves the view right.
void CFileWnd::OnMouseHWheel(int delta)
{
    if (delta > 0)
        OnHScroll(SB_QUARTER_FORWARD);
    else if (delta < 0)
        OnHScroll(SB_QUARTER_BACK);
}

// A click clears the search highlight (both ends: a range with only its end
// set would highlight everything before it).
void CFileWnd::OnLButtonDown()
{
    m_pPort->SetCapture();
    m_pHighlightStart = kNoPos;
    m_pHighlightEnd = kNoPos;
}

void CFileWnd::OnMouseMove()
{
    if (m_pPort->HasCapture())
        m_pHighlightEnd = kNoPos;
}

void CFileWnd::OnLButtonUp()
{
    if (m_pPort->HasCapture()) {
        m_pPort->ReleaseCapture();
        m_pHighlightEnd = kNoPos;
    }
    m_pPort->InvalidateAll();
}
