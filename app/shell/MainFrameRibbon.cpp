// The main frame's ribbon: made and filled at the frame's creation, every
// element's command id registered with the update pass, the recent documents
// kept current, Auto Hide Ribbon, and the frame's size, place and maximised
// state with the ribbon's minimised state kept under "Settings" from one run
// to the next (the framework kept them for the classic program).
//
// The ribbon does not draw the window's title bar, as the classic one did:
// on Linux the window manager draws it, and the ribbon starts under it.
#include "app/shell/MainFrame.h"

#include "app/ribbon/RibbonBar.h"
#include "app/ribbon/RibbonButton.h"
#include "app/ribbon/RibbonElement.h"
#include "app/ribbon_content/RibbonContent.h"
#include "app/shell/TextFileViewerApp.h"
#include "view/CommandIds.h"
#include "view/Profile.h"
#include "view/RecentFileList.h"

#include "app/bars/StatusBar.h"

#include <QCloseEvent>
#include <QFile>
#include <QMenu>

#include <set>
#include <vector>

namespace {

constexpr const char* kPlacementEntry = "MainFrame Placement";
constexpr const char* kRibbonMinimizedEntry = "Ribbon Minimized";
constexpr const char* kStatusBarEntry = "Status Bar";

void CollectMenuIds(const QMenu* menu, std::set<int>& ids)
{
    for (const QAction* action : menu->actions()) {
        if (action->menu())
            CollectMenuIds(action->menu(), ids);
        else if (!action->isSeparator() && action->data().isValid() && action->data().toInt() != 0)
            ids.insert(action->data().toInt());
    }
}

// Every command the ribbon can issue: its elements, their drop-down menus and the whole recent-file range (its
// entries come and go with the list).
std::set<int> RibbonCommandIds(const CRibbonBar& bar)
{
    std::set<int> ids;
    for (const CRibbonElement* element : bar.findChildren<CRibbonElement*>()) {
        if (element->GetID() != 0)
            ids.insert(element->GetID());
        if (const auto* button = qobject_cast<const CRibbonButton*>(element); button && button->GetMenu())
            CollectMenuIds(button->GetMenu(), ids);
    }
    for (int id = cmd::FileMruFirst; id <= cmd::FileMruLast; ++id)
        ids.insert(id);
    return ids;
}

QStringList RecentPaths(const CRecentFileList& list)
{
    QStringList paths;
    for (const std::string& path : list.Entries())
        paths.append(QFile::decodeName(path.c_str()));
    return paths;
}

}  // namespace

// Steps 5 and 6: the ribbon at the top of the frame with its whole content.
void CTextFileViewerMainFrame::CreateRibbon()
{
    auto* bar = new CRibbonBar(this);
    bar->setObjectName(QStringLiteral("ribbonBar%1").arg(wnd::RibbonBar));
    InitRibbon(*bar);
    SetRibbonBar(bar);
    AddRibbonCommandUI(bar);

    // What's This (Shift+F1) tells of an element what its tooltip tells.
    for (CRibbonElement* element : bar->findChildren<CRibbonElement*>()) {
        if (!element->GetDescription().isEmpty())
            element->setWhatsThis(
                QStringLiteral("<b>%1</b><br>%2")
                    .arg(element->GetToolTipTitle().toHtmlEscaped(), element->GetDescription().toHtmlEscaped()));
    }

    const auto showRecent = [this] {
        if (m_pRibbon)
            SetRecentDocuments(*m_pRibbon, RecentPaths(m_pApp->GetRecentFileList()));
    };
    showRecent();
    connect(m_pApp, &CTextFileViewerApp::recentFilesChanged, this, showRecent);
}

void CTextFileViewerMainFrame::AddRibbonCommandUI(CRibbonBar* bar)
{
    for (int id : RibbonCommandIds(*bar)) {
        // Only a command that has been marked once is made a radio item: the mark would otherwise put every
        // menu item into a group of its own.
        AddCommandUI(id, bar, [bar, id, marked = false](const CCmdUI& ui) mutable {
            bar->SetCommandEnabled(id, ui.m_bEnabled);
            bar->SetCommandChecked(id, ui.m_nCheck == 1);
            if (ui.m_bRadio || marked) {
                marked = true;
                bar->SetCommandRadio(id, ui.m_bRadio);
            }
        });
    }
}

bool CTextFileViewerMainFrame::OnRibbonCommand(int id)
{
    if (id != cmd::ViewAutoHideRibbon || !m_pRibbon)
        return false;
    m_pRibbon->SetMinimized(!m_pRibbon->IsMinimized());
    return true;
}

bool CTextFileViewerMainFrame::OnUpdateRibbonCommand(CCmdUI& ui)
{
    if (ui.m_nID != cmd::ViewAutoHideRibbon || !m_pRibbon)
        return false;
    ui.Enable();
    ui.SetCheck(m_pRibbon->IsMinimized() ? 1 : 0);
    return true;
}

// --- The frame's state from one run to the next --------------------------------------------------------------------

void CTextFileViewerMainFrame::RestoreFrameState()
{
    IProfile& profile = GetCurrentProfile();
    std::vector<std::uint8_t> placement;
    if (profile.GetProfileBinary(kSettingsSection, kPlacementEntry, placement))
        restoreGeometry(
            QByteArray(reinterpret_cast<const char*>(placement.data()), static_cast<qsizetype>(placement.size())));
    if (m_pRibbon)
        m_pRibbon->SetMinimized(profile.GetProfileInt(kSettingsSection, kRibbonMinimizedEntry, 0) != 0);
    if (m_pStatusBar)
        m_pStatusBar->setVisible(profile.GetProfileInt(kSettingsSection, kStatusBarEntry, 1) != 0);
}

void CTextFileViewerMainFrame::SaveFrameState()
{
    IProfile& profile = GetCurrentProfile();
    // Size and place of the normal window with the maximised state: a maximised frame comes back maximised and
    // returns to its old size when restored.
    const QByteArray placement = saveGeometry();
    profile.WriteProfileBinary(kSettingsSection, kPlacementEntry, placement.constData(),
                               static_cast<std::size_t>(placement.size()));
    if (m_pRibbon)
        profile.WriteProfileInt(kSettingsSection, kRibbonMinimizedEntry, m_pRibbon->IsMinimized() ? 1 : 0);
    if (m_pStatusBar)
        profile.WriteProfileInt(kSettingsSection, kStatusBarEntry, m_pStatusBar->isHidden() ? 0 : 1);
    profile.Flush();
}

void CTextFileViewerMainFrame::closeEvent(QCloseEvent* event)
{
    SaveFrameState();
    QMainWindow::closeEvent(event);
}
