// The view's part in the filter stack: Show Only Filtered, and the notice that the window shows lines its
// scan has not reached yet.
#include "view/StringTable.h"
#include "view/TextFileView.h"

#include <algorithm>
#include <utility>

void CTextFileView::OnShowOnlyFiltered()
{
    if (!m_bLoaded || !m_pFileWnd->HasText())
        return;
    m_pFileWnd->SetShowOnlyFiltered(!m_pFileWnd->IsShowOnlyFiltered());
    SyncScanningNotice();
}

void CTextFileView::OnTimelineTime(std::int64_t micros)
{
    if (!m_bLoaded || !m_pFileWnd->HasTimeStamps())
        return;
    ShowTimeJump(m_pFileWnd->GoToMicros(micros));
}

void CTextFileView::OnTimelineRange(std::int64_t from, std::int64_t to)
{
    if (!m_bLoaded || !m_pFileWnd->HasText())
        return;
    shownset::FilterStack stack = m_pFileWnd->GetFilterStack();
    stack.hasFrom = stack.hasTo = true;
    stack.fromMicros = std::min(from, to);
    stack.toMicros = std::max(from, to);
    m_pFileWnd->SetFilterStack(stack);
    if (!m_pFileWnd->IsShowOnlyFiltered())
        OnShowOnlyFiltered();
    OnShownSetNews();
}

void CTextFileView::OnTimelineClear()
{
    if (!m_bLoaded || !m_pFileWnd->HasText())
        return;
    shownset::FilterStack stack = m_pFileWnd->GetFilterStack();
    if (!stack.hasFrom && !stack.hasTo)
        return;
    stack.hasFrom = stack.hasTo = false;
    m_pFileWnd->SetFilterStack(stack);
    OnShownSetNews();
}

void CTextFileView::OnShownSetNews()
{
    SyncScanningNotice();
    if (m_onShownSetNews)
        m_onShownSetNews();
}

void CTextFileView::SyncScanningNotice()
{
    if (!m_pFileWnd)
        return;
    const bool scanning = m_pFileWnd->IsFilteringRows() && m_pFileWnd->IsScanningAhead();
    if (scanning == m_bScanningShown)
        return;
    m_bScanningShown = scanning;
    // The notice takes back only itself: a message shown since (a search's, a file's) stays.
    if (scanning) {
        m_pHost->ShowMessage(ViewMessageKind::Information, text::ScanningNotice);
        m_nScanningMessage = m_pHost->LastMessageNumber();
    } else {
        m_pHost->HideMessageNumbered(std::exchange(m_nScanningMessage, 0));
    }
}
