// The main frame's ribbon: made and filled at the frame's creation, every
// element's command id registered with the update pass, the recent documents
// kept current, Auto Hide Ribbon, and its elements lent to the views as ports.
//
// The ribbon does not draw the window's title bar: on Linux the window
// manager draws it, and the ribbon starts under it.
#include "app/shell/MainFrame.h"

#include "app/ribbon/RibbonBar.h"
#include "app/ribbon/RibbonButton.h"
#include "app/ribbon/RibbonColorButton.h"
#include "app/ribbon/RibbonComboBox.h"
#include "app/ribbon/RibbonElement.h"
#include "app/ribbon/RibbonKeyTipFilter.h"
#include "app/ribbon_content/RibbonContent.h"
#include "app/shell/Looks.h"
#include "app/shell/RibbonElementPorts.h"
#include "app/shell/TextFileViewerApp.h"
#include "view/CommandIds.h"
#include "view/RecentFileList.h"

#include <QFile>
#include <QMenu>

#include <set>

namespace {

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

// The ribbon at the top of the frame with its whole content.
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
            bar->SetCommandToolTipNote(id, QString::fromStdString(ui.m_toolTip.value_or(std::string())));
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

// --- The ribbon's elements as ports for the views -----------------------------------------------------------------

CRibbonBar* CTextFileViewerMainFrame::GetRibbonBar() const
{
    return m_pRibbon;
}

void CTextFileViewerMainFrame::SetRibbonBar(CRibbonBar* bar)
{
    if (m_pRibbon)
        disconnect(m_pRibbon, nullptr, this, nullptr);
    m_pRibbon = bar;
    m_colorPorts.clear();
    m_comboPorts.clear();
    m_fontPorts.clear();
    delete m_pKeyTips;
    if (!bar)
        return;
    setMenuWidget(bar);
    connect(bar, &CRibbonBar::commandTriggered, this, &CTextFileViewerMainFrame::ExecuteCommand);
    bar->SetTheme(m_pLook->ribbon);
    // The Style menu marks the look on show.
    for (int id = cmd::AppLookFirst; id <= cmd::AppLookLast; ++id)
        AddCommandUI(id, bar, [bar, id](const CCmdUI& ui) { bar->SetCommandRadio(id, ui.m_bRadio); });
    // The key tips that are not part of the labels; Alt alone shows them all.
    AssignKeyTips(*bar);
    m_pKeyTips = new CRibbonKeyTipFilter(bar, this);
}

namespace {

// The port of a ribbon element, made again when the element it wraps has been replaced.
template <class Element, class Port>
Port* PortOf(CRibbonBar* ribbon, std::map<int, std::unique_ptr<Port>>& ports, int id)
{
    auto* element = ribbon ? ribbon->FindByID<Element>(id) : nullptr;
    if (!element)
        return nullptr;
    std::unique_ptr<Port>& port = ports[id];
    if (!port || port->Element() != element)
        port = std::make_unique<Port>(element);
    return port.get();
}

}  // namespace

IRibbonColorElement* CTextFileViewerMainFrame::FindColorElement(int id)
{
    return PortOf<CRibbonColorButton>(m_pRibbon, m_colorPorts, id);
}

IRibbonComboElement* CTextFileViewerMainFrame::FindComboElement(int id)
{
    return PortOf<CRibbonComboBox>(m_pRibbon, m_comboPorts, id);
}

IRibbonFontElement* CTextFileViewerMainFrame::FindFontElement(int id)
{
    return PortOf<CRibbonFontComboBox>(m_pRibbon, m_fontPorts, id);
}

void CTextFileViewerMainFrame::RepaintRibbon()
{
    if (m_pRibbon)
        m_pRibbon->update();
}
