// The view's marks and its part of the session: the window as it was, kept at
// exit and put back at the next start.
#include "platform/CodePage.h"
#include "view/CommandIds.h"
#include "view/StringTable.h"
#include "view/TextFileView.h"

void CTextFileView::AttachMarks()
{
    CMemoryMappedFile* file = m_pDocument->GetMappedFile();
    // Standard input and a command are read once: there is no file to know again.
    if (!m_pStore || !file || m_pDocument->GetPathName() == CTextFileDoc::kStandardInputName ||
        m_pDocument->IsCommand() || m_pDocument->IsJournal())
        return;
    m_pFileWnd->SetMarks(m_pStore->MarksFor(m_pDocument->GetPathName(), file->Handle()));
    const std::string notice = m_pStore->TakeNotice();
    if (!notice.empty())
        m_pHost->ShowMessage(ViewMessageKind::Warning, notice);
}

CWindowState CTextFileView::CaptureState() const
{
    CWindowState state;
    state.path = m_pDocument->GetPathName();
    // A window put back but not shown yet is still where it was put.
    if (!m_bLoaded && m_pendingState)
        return *m_pendingState;
    if (!m_bLoaded || !m_pFileWnd->HasText())
        return state;
    CFileWnd& wnd = *m_pFileWnd;
    state.top = wnd.GetTop();
    state.following = wnd.GetTop() == wnd.LastPageTop();
    if (const CMemoryMappedFile* file = m_pDocument->GetMappedFile()) {
        const std::int64_t size = platform::FileSizeByHandle(file->Handle());
        state.size = size < 0 ? 0 : static_cast<std::uint64_t>(size);
        state.modified = platform::FileModifiedTime(file->Handle());
        platform::GetFileIdByHandle(file->Handle(), state.id);
    }
    state.font = wnd.GetLogFont();
    state.fontColor = wnd.GetFontColor();
    state.pageColor = wnd.GetPageColor();
    state.textCase = wnd.GetTextCase();
    state.codePage = platform::CodePageKey(wnd.GetCodePage());
    if (const CMergedWnd* merged = wnd.GetMerged()) {
        // The rows of several files: what they are and the top row's file, not a place in the window's own.
        state.rotated = merged->IsSequence();
        for (int i = 0; !state.rotated && i < merged->Count(); ++i)
            if (merged->PathOf(i) != CTextFileDoc::kStandardInputName)  // gone with the run that read it
                state.merged.push_back(merged->PathOf(i));
        const CMergedWnd::Place place = merged->PlaceToKeep();
        state.following = place.atEnd;
        state.topPath = place.path;
        state.top = place.pos;
        state.topMicros = place.micros;
        state.topId = place.id;
        return state;
    }
    if (wnd.GetHighlightStart() != kNoPos && wnd.GetHighlightStart() < wnd.GetHighlightEnd()) {
        state.highlightStart = wnd.GetHighlightStart();
        state.highlightEnd = wnd.GetHighlightEnd();
    }
    return state;
}

void CTextFileView::RestoreState(const CWindowState& state)
{
    if (m_bLoaded)
        ApplyState(state);
    else
        m_pendingState = state;
}

void CTextFileView::ApplyState(const CWindowState& state)
{
    CFileWnd& wnd = *m_pFileWnd;
    wnd.SetLogFont(state.font);
    wnd.SetFontColor(state.fontColor);
    wnd.SetPageColor(state.pageColor);
    wnd.SetTextCase(state.textCase);
    platform::CodePage codePage = wnd.GetCodePage();
    if (platform::ParseCodePageKey(state.codePage, codePage))
        wnd.SetCodePage(codePage);
    if (!wnd.HasText())
        return;
    const CMemoryMappedFile* file = m_pDocument->GetMappedFile();
    platform::FileId id;
    const bool changed = !file || !platform::GetFileIdByHandle(file->Handle(), id) || !(id == state.id) ||
                         platform::FileSizeByHandle(file->Handle()) != static_cast<std::int64_t>(state.size) ||
                         platform::FileModifiedTime(file->Handle()) != state.modified;
    if (CMergedWnd* merged = wnd.GetMerged()) {
        // The place is in the top row's file, found again by its identity: the window's own file (the current
        // one of a rotated log, say) may have grown or been rotated meanwhile without touching that row.
        if (state.following || !merged->ShowAtTop(state.topPath, state.topId, state.top, state.topMicros))
            wnd.OnKeyDown(kVkEnd);
    } else if (changed || state.following) {
        // A file that changed meanwhile may hold anything at the old place: its end is what is new.
        wnd.OnKeyDown(kVkEnd);
    } else {
        wnd.ShowLineAt(wnd.LineStartOf(state.top));
        if (state.highlightStart != kNoPos && state.highlightStart < state.highlightEnd)
            wnd.SetHighlight(state.highlightStart, state.highlightEnd - state.highlightStart);
    }
    if (m_pHost->IsActiveView())
        SyncRibbonControls();
}

void CTextFileView::OnMarkCommand(int id)
{
    if (!m_bLoaded || !m_pFileWnd->HasText())
        return;
    if (id == cmd::ToggleMark) {
        m_pFileWnd->ToggleMark(MarkTarget());
        return;
    }
    const bool forward = id == cmd::NextMark;
    switch (m_pFileWnd->GoToMark(forward)) {
    case CFileWnd::MarkJump::NoMarks: m_pHost->ShowMessage(ViewMessageKind::Information, text::NoMarks); break;
    case CFileWnd::MarkJump::Wrapped:
        m_pHost->ShowMessage(ViewMessageKind::Information,
                             forward ? text::MarksWrappedToFirst : text::MarksWrappedToLast);
        break;
    case CFileWnd::MarkJump::Shown: break;
    }
}
