// The view's find commands: the find box with the run's search history, Find
// Next and Previous (F3, Shift+F3), match case, going to the find box
// (Ctrl+F), and the modeless Find dialog. Every search is the text window's;
// a search that finds nothing clears the highlight and says nothing.
#include "view/TextFileView.h"

#include "textwnd/FileWnd.h"
#include "view/CommandIds.h"
#include "view/StringTable.h"

int AddHistoryItem(IRibbonComboElement& box, const std::u16string& text)
{
    for (int i = 0; i < box.GetCount(); ++i) {
        if (box.GetItem(i) == text) {
            box.DeleteItem(i);
            break;
        }
    }
    return box.InsertItem(0, text);
}

std::u16string CTextFileView::TakeFindText()
{
    IRibbonComboElement* box = m_pHost->FindComboElement(cmd::FindText);
    if (!box)
        return {};
    const std::u16string text = box->GetText();
    if (text.empty())
        return text;
    box->SelectItem(AddHistoryItem(*box, text));
    box->SetText(text);
    box->SetElementText(text);
    return text;
}

void CTextFileView::Search(int (CFileWnd::*find)(bool, const std::u16string&), const std::u16string& text)
{
    // The scan runs on this thread and may cover the whole file, in both of its ranges.
    const bool busy = m_pFileWnd->HasText() && m_pFileWnd->DataEnd() - m_pFileWnd->DataStart() > kBusySearchBytes;
    if (busy) {
        m_pHost->BeginBusy();
        m_pFileWnd->SetSearchPoll([this] {
            if (m_pHost->BusyStopAsked())
                m_pFileWnd->CancelSearch();
        });
    }
    // Not found: the window clears its highlight, nothing more.
    const int result = (m_pFileWnd->*find)(!m_bMatchCase, text);
    if (busy) {
        m_pFileWnd->SetSearchPoll({});
        m_pHost->EndBusy();
    }
    ShowPatternError();
    if (result == 3)
        m_pHost->ShowMessage(ViewMessageKind::Information, text::SearchStopped);
}

void CTextFileView::SetRegularExpression(bool on)
{
    m_bRegularExpression = on;
    if (m_pFileWnd)
        m_pFileWnd->SetRegularExpression(on);
    if (m_pFindDialog)
        m_pFindDialog->SetRegularExpression(on);
}

void CTextFileView::ShowPatternError()
{
    // Each search replaces the strip's message rather than adding one, so a pattern repeated with F3 still tells
    // its error once.
    const std::string& error = m_pFileWnd->GetPatternError();
    IRibbonComboElement* box = m_pHost->FindComboElement(cmd::FindText);
    if (!error.empty()) {
        const std::string message = text::PatternErrorPrefix + error;
        m_pHost->ShowMessage(ViewMessageKind::Error, message);
        m_bPatternErrorShown = true;
        if (box)
            box->SetProblem(message);
        return;
    }
    if (box)
        box->SetProblem({});
    if (m_bPatternErrorShown)
        m_pHost->HideMessage();
    m_bPatternErrorShown = false;
}

bool CTextFileView::OnFindCommand(int id)
{
    switch (id) {
    case cmd::FindText: {
        const std::u16string text = TakeFindText();
        if (!text.empty()) {
            Search(&CFileWnd::FindFirst, text);
            m_bSearched = true;
        }
        return true;
    }
    case cmd::FindNext:
    case cmd::FindPrevious: {
        const std::u16string text = TakeFindText();
        if (!text.empty()) {
            Search(id == cmd::FindNext ? &CFileWnd::FindNext : &CFileWnd::FindPrevious, text);
            // With F3 held down every match is shown, not only the one where the keys stop.
            m_pHost->UpdateTextWindow();
        }
        return true;
    }
    case cmd::FindMatchCase: m_bMatchCase = !m_bMatchCase; return true;
    case cmd::FindDialog: OnFindDialog(); return true;
    case cmd::FindGoTo:
        if (IRibbonComboElement* box = m_pHost->FindComboElement(cmd::FindText))
            box->FocusAndSelectAll();
        return true;
    default: return false;
    }
}

bool CTextFileView::OnUpdateFindCommand(CCmdUI& ui)
{
    switch (ui.m_nID) {
    case cmd::FindText:
    case cmd::FindDialog:
    case cmd::FindGoTo: ui.Enable(); return true;
    case cmd::FindNext:
    case cmd::FindPrevious: {
        IRibbonComboElement* box = m_pHost->FindComboElement(cmd::FindText);
        ui.Enable(m_bSearched || (box && !box->GetText().empty()));
        return true;
    }
    case cmd::FindMatchCase: ui.SetCheck(m_bMatchCase ? 1 : 0); return true;
    default: return false;
    }
}

void CTextFileView::OnFindDialog()
{
    std::u16string text = TakeFindText();
    if (text.size() > FIND_TEXT_MAX) {
        // Cut between characters, never inside a surrogate pair.
        std::size_t n = FIND_TEXT_MAX;
        if (text[n - 1] >= 0xD800 && text[n - 1] < 0xDC00)
            --n;
        text.resize(n);
    }
    // One dialog per view: a second command refreshes the open one instead of stacking another on it.
    if (m_pFindDialog) {
        m_pFindDialog->SetFindText(text);
        m_pFindDialog->SetMatchCase(m_bMatchCase);
        m_pFindDialog->BringToFront();
        return;
    }
    m_pFindDialog = m_pHost->CreateFindDialog(text, m_bMatchCase);
    if (m_pFindDialog)
        m_pFindDialog->SetRegularExpression(m_bRegularExpression);
}

void CTextFileView::OnFindDialogNext(IFindDialog* dialog, const std::u16string& text, bool matchCase, bool down)
{
    if (!dialog || dialog != m_pFindDialog || !m_pFileWnd)
        return;
    m_bMatchCase = matchCase;
    if (text.empty())
        return;
    // The dialog's searches never count as a Find and never enter the history.
    Search(down ? &CFileWnd::FindNext : &CFileWnd::FindPrevious, text);
    if (IRibbonComboElement* box = m_pHost->FindComboElement(cmd::FindText))
        box->SetText(text);
}

void CTextFileView::OnFindDialogClosing(IFindDialog* dialog)
{
    if (!dialog || dialog != m_pFindDialog)
        return;
    m_pFindDialog->DestroyWindow();
    m_pFindDialog = nullptr;
}
