// The main frame's looks: the application look is loaded from the settings
// when the frame is made, put on every part at once when a look command
// chooses it, stored again at once, and marked in the Style menu. The frame
// owns it because the frame is what applies it; parts made later take theirs
// from GetLook().
#include "app/shell/MainFrame.h"

#include "app/bars/StatusBar.h"
#include "app/ribbon/RibbonBar.h"
#include "app/shell/Looks.h"
#include "app/shell/TextFileViewerApp.h"
#include "app/tabgroups/TabGroupArea.h"
#include "view/CommandIds.h"
#include "view/Profile.h"

#include <QApplication>

namespace {

constexpr const char* kApplicationLookEntry = "ApplicationLook";

bool IsLookCommand(int id)
{
    return id >= cmd::AppLookFirst && id <= cmd::AppLookLast;
}

// The wait cursor for a scope, however it is left.
class CWaitCursor {
public:
    CWaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~CWaitCursor() { QApplication::restoreOverrideCursor(); }
    CWaitCursor(const CWaitCursor&) = delete;
    CWaitCursor& operator=(const CWaitCursor&) = delete;
};

}  // namespace

void CTextFileViewerMainFrame::LoadApplicationLook()
{
    m_nApplicationLook =
        GetCurrentProfile().GetProfileInt(kSettingsSection, kApplicationLookEntry, cmd::AppLookDefault);
    m_pLook = &LookForId(m_nApplicationLook, m_nOffice2007Style);
}

void CTextFileViewerMainFrame::ApplyApplicationLook(int id)
{
    const CWaitCursor wait;
    m_nApplicationLook = id;
    m_pLook = &LookForId(id, m_nOffice2007Style);
    // Every window and part at once, each repainted before this returns.
    ApplyLook(*m_pLook, {m_pRibbon, m_pTabArea, findChild<CStatusBar*>()});
    IProfile& profile = GetCurrentProfile();
    profile.WriteProfileInt(kSettingsSection, kApplicationLookEntry, id);
    profile.Flush();
}

bool CTextFileViewerMainFrame::OnLookCommand(int id)
{
    if (!IsLookCommand(id))
        return false;
    ApplyApplicationLook(id);
    return true;
}

bool CTextFileViewerMainFrame::OnUpdateLookCommand(CCmdUI& ui)
{
    if (!IsLookCommand(ui.m_nID))
        return false;
    ui.SetRadio(ui.m_nID == m_nApplicationLook);
    return true;
}
