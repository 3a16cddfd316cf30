// The main frame's state from one run to the next, under "Settings": the
// size, place and maximised state of the frame, the ribbon's minimised state
// and whether the status bar shows. Restored once the frame is made, saved
// when it closes (with the session of its windows, which the application keeps).
#include "app/shell/MainFrame.h"

#include "app/bars/StatusBar.h"
#include "app/ribbon/RibbonBar.h"
#include "app/shell/TextFileViewerApp.h"
#include "view/Profile.h"

#include <QCloseEvent>

#include <cstdint>
#include <vector>

namespace {

constexpr const char* kPlacementEntry = "MainFrame Placement";
constexpr const char* kRibbonMinimizedEntry = "Ribbon Minimized";
constexpr const char* kStatusBarEntry = "Status Bar";

}  // namespace

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
    // Every window still stands here: the session is taken before any goes.
    m_pApp->SaveSession();
    SaveFrameState();
    QMainWindow::closeEvent(event);
}
