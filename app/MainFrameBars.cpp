// The main frame's status bar: the active window's figures, its Refresh pane
// and its link.
//
// With no active window the three panes are empty: the update pass finds
// nobody who owns their ids, and figures of a file that is no longer shown
// would be wrong. The encoding pane is emptied too.
#include "app/MainFrame.h"

#include "app/StatusBar.h"
#include "view/CommandIds.h"

// Step 7: the status bar, its clicks as commands and its panes fed by the update pass.
void CTextFileViewerMainFrame::CreateStatusBar()
{
    m_pStatusBar = new CStatusBar(this);
    setStatusBar(m_pStatusBar);
    connect(m_pStatusBar, &CStatusBar::commandTriggered, this, &CTextFileViewerMainFrame::ExecuteCommand);
    for (int id : {cmd::PaneCurrentChar, cmd::PaneTotalChars, cmd::PaneEncoding}) {
        AddCommandUI(id, m_pStatusBar, [bar = m_pStatusBar, id](const CCmdUI& ui) {
            bar->SetPaneText(id, ui.m_text ? QString::fromStdString(*ui.m_text) : QString());
        });
    }
    for (int id : {cmd::Refresh, cmd::StatusLink}) {
        QWidget* element = m_pStatusBar->Element(id);
        AddCommandUI(id, element, [element](const CCmdUI& ui) { element->setEnabled(ui.m_bEnabled); });
    }
}

void CTextFileViewerMainFrame::OpenLink()
{
    if (m_pStatusBar)
        m_pStatusBar->OpenLink();
}

bool CTextFileViewerMainFrame::OnBarsCommand(int id)
{
    switch (id) {
    case cmd::ViewStatusBar:
        if (!m_pStatusBar)
            return false;
        m_pStatusBar->setVisible(m_pStatusBar->isHidden());
        return true;
    case cmd::StatusLink: OpenLink(); return true;
    default: return false;
    }
}

bool CTextFileViewerMainFrame::OnUpdateBarsCommand(CCmdUI& ui)
{
    switch (ui.m_nID) {
    case cmd::ViewStatusBar:
        if (!m_pStatusBar)
            return false;
        ui.Enable();
        ui.SetCheck(m_pStatusBar->isHidden() ? 0 : 1);
        return true;
    case cmd::StatusLink: ui.Enable(); return true;
    default: return false;
    }
}
