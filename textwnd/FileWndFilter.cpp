// The window while its filter stack hides lines: rows are the shown lines in
// file order, found from the top position through the scan's runs, never from
// a table of lines. Where the scan has not reached yet the window scans ahead
// by itself, within a budget per input, so that no key press waits for the scan.
#include "textwnd/FileWnd.h"
#include "textwnd/MergedWnd.h"

#include <algorithm>

using platform::WM_SHOWN_SET_NEWS;

void CFileWnd::SetFilterStack(const shownset::FilterStack& stack)
{
    m_filterStack = stack;
    if (m_pMerged) {
        m_pMerged->SetFilterStack(stack);  // each file's window decides its own lines
        return;
    }
    SyncShownSet(true);
}

void CFileWnd::SetShowOnlyFiltered(bool on)
{
    if (on == m_bShowOnlyFiltered)
        return;
    if (m_pMerged) {
        m_bShowOnlyFiltered = on;
        m_pMerged->SetShowOnlyFiltered(on);
        return;
    }
    SyncWithMapping();
    // Off, the top line stays the top line; on, the top goes to the first shown line at or after it. A
    // window that shows the end goes on showing it.
    const bool atEnd = m_pTop != kNoPos && (m_pTop >= DataEnd() || FollowsEnd());
    m_bShowOnlyFiltered = on;
    m_pLastPageTop = kNoPos;
    if (!HasText())
        return;
    BeginInput();
    m_bShownAtEnd = atEnd;
    if (IsFiltering() && m_pTop != kNoPos)
        m_pTop = atEnd ? LastPageTop() : ClampShownTop(NextShown(LineStartOf(m_pTop)));
    else if (m_pTop != kNoPos)
        m_pTop = std::min(m_pTop, LastPageTop());
    OnSize(m_pPort->GetClientRect().Width(), m_pPort->GetClientRect().Height());
    m_pPort->InvalidateAll();
}

shownset::ShownStatus CFileWnd::GetShownStatus() const
{
    if (m_pMerged)
        return m_pMerged->ShownStatus();
    return m_pShown ? m_pShown->Status() : shownset::ShownStatus{};
}

bool CFileWnd::IsFilteringRows() const
{
    return m_pMerged ? m_pMerged->IsFiltering() && m_filterStack.Hides() : IsFiltering();
}

bool CFileWnd::IsScanningAhead() const
{
    return m_pMerged ? m_pMerged->IsScanningAhead() : m_bScanningAhead;
}

void CFileWnd::WaitShownSet()
{
    if (m_pMerged) {
        m_pMerged->WaitShownSet();
        return;
    }
    if (!m_pShown)
        return;
    m_pShown->WaitIdle();
    OnShownSetNews();
}

CFileWnd::DetachedShownSet CFileWnd::StartDetachedShownSet(const shownset::FilterStack& stack,
                                                           std::function<void()> notify)
{
    DetachedShownSet scan;
    SyncWithMapping();
    if (!HasText() || !m_pMappedFile || !stack.Hides())
        return scan;
    const platform::FileHandle own = platform::DuplicateFile(m_pMappedFile->Handle());
    if (own == platform::kInvalidFile)
        return scan;
    platform::GetFileIdByHandle(own, scan.fileId);
    const logformat::CFormat* format = RecordFormat();
    scan.formats = m_pFormats;
    scan.chosen = m_pChosenFormats;
    scan.end = DataEnd();
    scan.set = std::make_unique<shownset::CShownSet>();
    scan.set->SetNotify(std::move(notify));
    scan.set->Start(std::make_unique<COwnedPreadChunkReader>(own), linefilter::TextForm{m_nEncoding, m_nCodePage},
                    stack, format, StampContextOfFile(), DataStart(), scan.end);
    return scan;
}

bool CFileWnd::RowFollowsHidden(TextPos rowStart) const
{
    return IsFiltering() && rowStart != kNoPos && rowStart < DataEnd() && m_pShown->FollowsHidden(rowStart);
}

bool CFileWnd::RowIsContext(TextPos rowStart) const
{
    if (!IsFiltering() || rowStart == kNoPos)
        return false;
    if (rowStart < ShownFinalTo())
        return m_pShown->IsContext(rowStart);
    for (const shownset::ShownRun& r : m_ahead.runs)
        if (r.start <= rowStart && rowStart < r.end)
            return r.context;
    return false;
}

void CFileWnd::SyncShownSet(bool fresh)
{
    if (m_pMerged)
        return;  // the files' windows keep the shown sets of a merged window
    if (!HasText() || !m_pMappedFile || !m_filterStack.Hides()) {
        const bool had = m_pShown != nullptr;
        m_pShown.reset();
        m_pShownEnd = kNoPos;
        m_ahead = {};
        m_pAheadFrom = kNoPos;
        m_bScanningAhead = false;
        if (had && m_bShowOnlyFiltered && HasText()) {
            m_pLastPageTop = kNoPos;
            OnSize(m_pPort->GetClientRect().Width(), m_pPort->GetClientRect().Height());
            m_pPort->InvalidateAll();
        }
        return;
    }
    const TextPos end = DataEnd();
    m_ahead = {};
    m_pAheadFrom = kNoPos;
    // Records read with another format (found anew as the file grew, or chosen) are decided afresh.
    const logformat::CFormat* format = RecordFormat();
    if (format != m_pShownFormat)
        fresh = true;
    if (!fresh && m_pShown && m_pShownEnd != kNoPos) {
        if (end > m_pShownEnd)
            m_pShown->Grow(end);
        else if (end < m_pShownEnd)
            m_pShown->Rebuild(end);
        m_pShownEnd = end;
        return;
    }
    m_pShown.reset();  // joined before what it reads goes
    m_pShownFormat = format;
    m_pShownFormats = m_pFormats;
    m_pShownChosen = m_pChosenFormats;
    m_pShown = std::make_unique<shownset::CShownSet>();
    const platform::HWND hwnd = m_hWnd;
    m_pShown->SetNotify([hwnd] { platform::PostWindowMessage(hwnd, WM_SHOWN_SET_NEWS, 0, 0); });
    m_pShown->Start(std::make_unique<CPreadChunkReader>(m_pMappedFile->Handle()),
                    linefilter::TextForm{m_nEncoding, m_nCodePage}, m_filterStack, format, StampContextOfFile(),
                    DataStart(), end);
    m_pShownEnd = end;
    if (IsFiltering()) {
        BeginInput();
        const bool atEnd = FollowsEnd();
        m_pLastPageTop = kNoPos;
        m_bShownAtEnd = atEnd;
        if (atEnd)
            m_pTop = LastPageTop();
        else if (m_pTop != kNoPos)
            m_pTop = ClampShownTop(NextShown(LineStartOf(m_pTop)));
        OnSize(m_pPort->GetClientRect().Width(), m_pPort->GetClientRect().Height());
        m_pPort->InvalidateAll();
    }
}

void CFileWnd::OnShownSetNews()
{
    if (!m_pShown)
        return;
    SyncWithMapping();
    if (IsFiltering() && HasText()) {
        // What was scanned ahead is decided by the scan now; a window at the end stays at the end.
        const bool atEnd = FollowsEnd();
        m_ahead = {};
        m_pAheadFrom = kNoPos;
        m_pLastPageTop = kNoPos;
        BeginInput();
        if (atEnd)
            m_pTop = LastPageTop();
        else if (m_pTop != kNoPos)
            m_pTop = ClampShownTop(NextShown(LineStartOf(m_pTop)));
        OnSize(m_pPort->GetClientRect().Width(), m_pPort->GetClientRect().Height());
        m_bScanningAhead = m_bScanningAhead && m_pShown->Status().running;
        m_pPort->InvalidateAll();
    }
    if (m_pListener)
        m_pListener->OnShownSetNews();
}

bool CFileWnd::FollowsEnd() const
{
    if (m_pTop != m_pLastPageTop || m_bFollowStopped)
        return false;
    return !IsFiltering() || m_bShownAtEnd || !m_bLastPageProvisional;
}

TextPos CFileWnd::ClampShownTop(TextPos p)
{
    // While the scan runs the last screenful is only that of what it decided so far: a top past it stays.
    if (m_pShown->Status().running)
        return p;
    return std::min(p, LastPageTop());
}

TextPos CFileWnd::ShownFinalTo() const
{
    if (!m_pShown)
        return DataEnd();
    const shownset::ShownStatus s = m_pShown->Status();
    return s.running ? s.scannedTo : DataEnd();
}

TextPos CFileWnd::NextShown(TextPos p)
{
    const TextPos end = DataEnd();
    if (p >= end)
        return end;
    const TextPos final = ShownFinalTo();
    if (p < final) {
        const TextPos q = m_pShown->ShownAtOrAfter(p);
        if (q != -1 && q < final)
            return q;
        if (final >= end)
            return end;
        p = std::max(p, final);
    }
    // Past what the scan decided: what the window scanned ahead, more of it while the budget lasts.
    for (;;) {
        if (m_pAheadFrom != kNoPos && m_pAheadFrom <= p && p < m_ahead.reached) {
            for (const shownset::ShownRun& r : m_ahead.runs)
                if (r.end > p)
                    return std::max(r.start, p);
            p = m_ahead.reached;  // nothing shown in what was scanned ahead
            if (p >= end)
                return end;
        }
        if (m_nAheadLeft <= 0) {
            m_bScanningAhead = true;
            return end;
        }
        // One bounded scan per input: a key press or a paint never reads more than the budget.
        shownset::AheadRuns ahead = m_pShown->ScanAhead(p, m_nAheadLeft);
        m_nAheadLeft = 0;
        if (ahead.reached <= p) {
            m_bScanningAhead = true;
            return end;
        }
        m_bScanningAhead = ahead.reached < end;
        // The runs from where the scan is on are kept; the window's earlier ahead is dropped.
        m_pAheadFrom = p;
        m_ahead = std::move(ahead);
    }
}

TextPos CFileWnd::PrevShownEnd(TextPos p)
{
    if (p <= DataStart())
        return kNoPos;
    if (p > ShownFinalTo() && m_pAheadFrom != kNoPos && m_pAheadFrom < p) {
        for (auto r = m_ahead.runs.rbegin(); r != m_ahead.runs.rend(); ++r)
            if (r->start < p && r->start >= m_pAheadFrom)
                return std::min(r->end, p);
        p = std::min(p, m_pAheadFrom);
    }
    const TextPos e = m_pShown->ShownEndBefore(p);
    return e == -1 ? kNoPos : e;
}

void CFileWnd::StepRow(TextPos& p)
{
    if (IsFiltering() && p < DataEnd())
        p = NextShown(p);
}
