// The filter stack editor's place in the main frame: a pane docked at the right, made at the first Filters...
// command, that always shows the stack of the active window.
#include "app/shell/ChildFrame.h"
#include "app/shell/FilterStackEditor.h"
#include "app/shell/MainFrame.h"
#include "app/shell/TextFileViewerApp.h"
#include "view/CommandIds.h"
#include "view/StringTable.h"

#include <QDockWidget>

void CTextFileViewerMainFrame::ShowFilterEditor()
{
    if (!m_pFilterDock) {
        m_pFilterDock = new QDockWidget(text::FilterEditorTitle, this);
        m_pFilterDock->setObjectName("filterDock");
        m_pFilterDock->setAllowedAreas(Qt::LeftDockWidgetArea | Qt::RightDockWidgetArea);
        m_pFilterEditor = new CFilterStackEditor(m_pApp->GetSettings(), m_pFilterDock);
        m_pFilterDock->setWidget(m_pFilterEditor);
        addDockWidget(Qt::RightDockWidgetArea, m_pFilterDock);
    }
    SyncFilterEditor();
    m_pFilterDock->show();
    m_pFilterDock->raise();
    m_pFilterEditor->setFocus(Qt::OtherFocusReason);
}

void CTextFileViewerMainFrame::SyncFilterEditor()
{
    if (m_pFilterEditor)
        m_pFilterEditor->SetViewWidget(m_pActiveFrame ? m_pActiveFrame->GetViewWidget() : nullptr);
}

bool CTextFileViewerMainFrame::OnFiltersCommand(int id)
{
    if (id != cmd::FilterEditor)
        return false;
    ShowFilterEditor();
    return true;
}

bool CTextFileViewerMainFrame::OnUpdateFiltersCommand(CCmdUI& ui)
{
    if (ui.m_nID != cmd::FilterEditor)
        return false;
    ui.Enable();  // also without windows: the pane waits for one
    return true;
}
