// Moving the view: scroll bars, keys and wheels.
#include "textwnd/FileWnd.h"
#include "textwnd/MergedWnd.h"

#include <algorithm>
#include <cstdlib>

void CFileWnd::OnVScroll(int code)
{
    SyncWithMapping();
    if (m_pMerged) {
        m_pMerged->VScroll(code);
        return;
    }
    if (!HasText())
        return;
    BeginInput();
    const int visible = VisibleLines();
    const int page = visible - 2;
    const int quarter = page / 4;
    const TextPos unit = CodeUnitSize();

    switch (code) {
    case kSbLineUp:
        if (PrevLineStart(m_pTop))
            ScrollLines(-1);
        break;
    case kSbLineDown:
        if (NextLineStart(m_pTop))
            ScrollLines(1);
        break;
    case kSbPageUp:
    case kSbQuarterBack: {
        int moved = 0;
        for (int i = code == kSbPageUp ? page : quarter; i > 0; --i)
            moved += PrevLineStart(m_pTop) ? 1 : 0;
        ScrollLines(-moved);
        break;
    }
    case kSbPageDown:
    case kSbQuarterForward: {
        int moved = 0;
        for (int i = code == kSbPageDown ? page : quarter; i > 0; --i)
            moved += NextLineStart(m_pTop) ? 1 : 0;
        ScrollLines(moved);
        break;
    }
    case kSbThumbPosition:
    case kSbThumbTrack: {
        // The tracking position is lowered onto the code-unit grid and kept
        // within the bar's reach: a top beyond the last screenful would leave
        // the line model reading past what it may.
        std::int64_t track = m_pPort->GetVScrollTrackPos();
        if (IsFiltering()) {
            // Scaled over the shown bytes: the shown line that many shown bytes from the start.
            const TextPos last = LastPageTop();
            const TextPos at = m_pShown->PosAfterShownBytes(track);
            m_pTop = at < 0 || at >= last ? last : std::min(NextShown(LineStartOf(at)), last);
            m_pPort->InvalidateAll();
            break;
        }
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
    case kSbTop:
        m_pTop = IsFiltering() ? std::min(NextShown(DataStart()), LastPageTop()) : DataStart();
        m_pPort->InvalidateAll();
        break;
    case kSbBottom:
        m_pTop = LastPageTop();
        m_pPort->InvalidateAll();
        break;
    default: break;
    }
    // Scrolled down to the end: the user follows the file again.
    const bool down = code != kSbLineUp && code != kSbPageUp && code != kSbQuarterBack && code != kSbTop;
    if (down && m_pTop == LastPageTop())
        m_bFollowStopped = false;
    m_bShownAtEnd = m_pTop == LastPageTop();
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
    case kSbLineLeft: target = h - 1; break;
    case kSbLineRight: target = h + 1; break;
    case kSbPageLeft: target = h - m_nColumns; break;
    case kSbPageRight: target = h + m_nColumns; break;
    case kSbThumbPosition:
    case kSbThumbTrack: target = thumb; break;
    case kSbLeft: target = 0; break;
    case kSbRight: target = m_nLongestLine; break;
    case kSbQuarterBack: target = h - m_nColumns / 4; break;
    case kSbQuarterForward: target = h + m_nColumns / 4; break;
    default: target = h; break;
    }
    target = std::min(target, m_nLongestLine - m_nColumns);
    target = std::max<std::int64_t>(target, 0);
    if (target == h)
        return;
    // Decoded text is drawn afresh: a wide character that the new left edge
    // cuts shows as a blank cell, not as the half that moving the image would keep.
    if (std::llabs(h - target) < m_nColumns && !DecodesUtf8())
        m_pPort->ScrollWindow(static_cast<int>((h - target) * GetCharWidth()), 0);
    else
        m_pPort->InvalidateAll();
    m_nHorzOffset = target;
    UpdateScrollPositions();
}

void CFileWnd::OnKeyDown(unsigned virtualKey)
{
    switch (virtualKey) {
    case kVkSpace:
    case kVkNext: OnVScroll(kSbPageDown); break;
    case kVkPrior: OnVScroll(kSbPageUp); break;
    case kVkEnd:
        // The end shown again: following goes on, whatever stopped it.
        m_bFollowStopped = false;
        OnVScroll(kSbBottom);
        break;
    case kVkHome: OnVScroll(kSbTop); break;
    case kVkLeft: OnHScroll(kSbQuarterBack); break;
    case kVkUp: OnVScroll(kSbLineUp); break;
    case kVkRight: OnHScroll(kSbQuarterForward); break;
    case kVkDown: OnVScroll(kSbLineDown); break;
    default: break;
    }
}

bool CFileWnd::OnMouseWheel(int delta)
{
    OnVScroll(delta > 0 ? kSbQuarterBack : kSbQuarterForward);
    return false;
}

// A positive delta is a tilt to the right, which moves the view right.
void CFileWnd::OnMouseHWheel(int delta)
{
    if (delta > 0)
        OnHScroll(kSbQuarterForward);
    else if (delta < 0)
        OnHScroll(kSbQuarterBack);
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
