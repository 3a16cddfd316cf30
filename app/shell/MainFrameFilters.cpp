// The filter stack editor's place in the main frame: a pane docked at the right, made at the first Filters...
// command, that always shows the stack of the active window.
#include "app/shell/ChildFrame.h"
#include "app/shell/FilterStackEditor.h"
#include "app/shell/MainFrame.h"
#include "app/shell/TextFileViewWidget.h"
#include "app/shell/TextFileViewerApp.h"
#include "app/tabgroups/TabGroupArea.h"
#include "textwnd/qt/AllWindowsList.h"
#include "textwnd/qt/FileWndWidget.h"
#include "view/CommandIds.h"
#include "view/StringTable.h"

#include <QDockWidget>

#include <vector>

void CTextFileViewerMainFrame::ShowFilterEditor()
{
    if (!m_pFilterDock) {
        m_pFilterDock = new QDockWidget(text::FilterEditorTitle, this);
        m_pFilterDock->setObjectName("filterDock");
        m_pFilterDock->setAllowedAreas(Qt::LeftDockWidgetArea | Qt::RightDockWidgetArea);
        m_pFilterEditor = new CFilterStackEditor(m_pApp->GetSettings(), m_pFilterDock);
        connect(m_pFilterEditor, &CFilterStackEditor::filterAllWindowsAsked, this,
                [this] { ExecuteCommand(cmd::FilterAllWindows); });
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

void CTextFileViewerMainFrame::FilterAllWindows()
{
    if (!m_pActiveFrame)
        return;
    CTextFileViewWidget* active = m_pActiveFrame->GetViewWidget();
    const shownset::FilterStack stack = active->TextWindow()->FileWnd().GetFilterStack();
    if (!stack.Hides()) {
        active->ShowMessage(ViewMessageKind::Information, text::FilterAllWindowsNothing);
        return;
    }
    // The windows of the active one's group, in the order of their tabs.
    std::vector<CAllWindowsList::Source> sources;
    const int group = m_pTabArea->GroupOf(m_pActiveFrame);
    for (CTextFileViewerChildFrame* frame : GetChildFrames())
        if (m_pTabArea->GroupOf(frame) == group)
            sources.push_back({frame->GetViewWidget()->TextWindow(), frame->GetTitle()});
    if (!m_pAllWindowsDock) {
        // At the bottom, apart from every window: it stays in sight while its lines activate one window after
        // another of the group.
        m_pAllWindowsDock = new QDockWidget(text::FilterAllWindowsLabel, this);
        m_pAllWindowsDock->setObjectName("allWindowsDock");
        m_pAllWindowsDock->setAllowedAreas(Qt::BottomDockWidgetArea | Qt::TopDockWidgetArea);
        m_pAllWindowsList = new CAllWindowsList(m_pAllWindowsDock);
        m_pAllWindowsDock->setWidget(m_pAllWindowsList);
        addDockWidget(Qt::BottomDockWidgetArea, m_pAllWindowsDock);
        connect(m_pAllWindowsList, &CAllWindowsList::lineChosen, this, [this](CFileWndWidget* window, TextPos line) {
            for (CTextFileViewerChildFrame* frame : GetChildFrames())
                if (frame->GetViewWidget()->TextWindow() == window) {
                    ActivateChildFrame(frame);
                    window->FileWnd().ShowLineAt(line);
                    window->viewport()->update();
                    window->setFocus(Qt::OtherFocusReason);
                    return;
                }
        });
        connect(m_pAllWindowsList, &CAllWindowsList::closeAsked, this, [this] {
            m_pAllWindowsDock->hide();
            if (m_pActiveFrame)
                m_pActiveFrame->GetViewWidget()->TextWindow()->setFocus(Qt::OtherFocusReason);
        });
    }
    m_pAllWindowsList->Start(sources, stack);
    m_pAllWindowsDock->show();
    m_pAllWindowsDock->raise();
    m_pAllWindowsList->setFocus(Qt::OtherFocusReason);
}

bool CTextFileViewerMainFrame::OnFiltersCommand(int id)
{
    if (id == cmd::FilterAllWindows) {
        FilterAllWindows();
        return true;
    }
    if (id != cmd::FilterEditor)
        return false;
    ShowFilterEditor();
    return true;
}

bool CTextFileViewerMainFrame::OnUpdateFiltersCommand(CCmdUI& ui)
{
    if (ui.m_nID == cmd::FilterAllWindows) {
        ui.Enable(m_pActiveFrame != nullptr);
        return true;
    }
    if (ui.m_nID != cmd::FilterEditor)
        return false;
    ui.Enable();  // also without windows: the pane waits for one
    return true;
}
