// The main frame's bars outside the ribbon: the status bar with the active
// window's figures, its Refresh pane and its link, and the caption bar under
// the ribbon that greets a user at the first start and again on "&Welcome".
//
// With no active window the three panes are empty: the update pass finds
// nobody who owns their ids, and figures of a file that is no longer shown
// would be wrong. The encoding pane is emptied too.
//
// "Shown Welcome" is written only once the welcome bar is actually on the
// screen, so a start that fails before its window appears does not use the
// welcome up unseen.
#include "app/shell/MainFrame.h"

#include "app/bars/CaptionBar.h"
#include "app/bars/StatusBar.h"
#include "app/shell/Looks.h"
#include "platform/CodePage.h"
#include "view/CommandIds.h"
#include "view/Profile.h"
#include "view/StatusIndicators.h"
#include "view/StringTable.h"
#include "view/TextFileView.h"

#include <QVBoxLayout>

namespace {

constexpr const char* kCaptionSection = "Caption";
constexpr const char* kShownWelcomeEntry = "Shown Welcome";

}  // namespace

// The status bar, its clicks as commands and its panes fed by the update pass.
void CTextFileViewerMainFrame::CreateStatusBar()
{
    m_pStatusBar = new CStatusBar(this);
    m_pStatusBar->SetTheme(GetLook().statusBar);
    setStatusBar(m_pStatusBar);
    connect(m_pStatusBar, &CStatusBar::commandTriggered, this, &CTextFileViewerMainFrame::ExecuteCommand);
    for (int id : {cmd::PaneCurrentChar, cmd::PaneTotalChars, cmd::PaneEncoding}) {
        AddCommandUI(id, m_pStatusBar, [bar = m_pStatusBar, id](const CCmdUI& ui) {
            bar->SetPaneText(id, ui.m_text ? QString::fromStdString(*ui.m_text) : QString());
            if (id == cmd::PaneCurrentChar)  // the line of the top row, while a window has text
                bar->SetPaneToolTip(id, QString::fromStdString(ui.m_toolTip.value_or(text::PaneCurrentCharLabel)));
            else if (id == cmd::PaneTotalChars)  // how many lines it shows, while a window filters
                bar->SetPaneToolTip(id, QString::fromStdString(ui.m_toolTip.value_or(text::PaneTotalCharsLabel)));
        });
    }
    for (int id : {cmd::Refresh, cmd::StatusLink}) {
        QWidget* element = m_pStatusBar->Element(id);
        AddCommandUI(id, element, [element](const CCmdUI& ui) { element->setEnabled(ui.m_bEnabled); });
    }
    ShowCodePage();
}

void CTextFileViewerMainFrame::ShowCodePage()
{
    if (!m_pStatusBar)
        return;
    // The active window's document: a decompressed text says what it came from.
    const char* from = nullptr;
    if (const CTextFileView* view = GetActiveView(); view && view->GetDocument()->IsDecompressed())
        from = CompressionName(view->GetDocument()->GetSource()->GetProgress().compression);
    m_pStatusBar->SetPaneToolTip(cmd::PaneEncoding,
                                 QString::fromStdString(EncodingPaneTooltip(platform::AnsiCodePage(), from)));
}

// The caption bar's place: the top of the frame's middle, under the ribbon and over the windows.
void CTextFileViewerMainFrame::CreateCaptionBar()
{
    QWidget* windows = takeCentralWidget();
    auto* middle = new QWidget(this);
    auto* column = new QVBoxLayout(middle);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    if (windows)
        column->addWidget(windows, 1);
    setCentralWidget(middle);
    m_pCaptionBars = new CCaptionBarController(this, column, 0);
}

// The welcome message at a user's first start.
void CTextFileViewerMainFrame::ShowWelcomeOnce()
{
    if (GetCurrentProfile().GetProfileInt(kCaptionSection, kShownWelcomeEntry, 0) != 0)
        return;
    connect(
        m_pCaptionBars, &CCaptionBarController::captionBarShown, this,
        [] {
            IProfile& profile = GetCurrentProfile();
            profile.WriteProfileInt(kCaptionSection, kShownWelcomeEntry, 1);
            profile.Flush();
        },
        Qt::SingleShotConnection);
    m_pCaptionBars->ShowCaptionMessage();
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
    case cmd::ViewCaptionBar:
        if (!m_pCaptionBars)
            return false;
        m_pCaptionBars->ToggleCaptionBar();
        return true;
    case cmd::Welcome:
        if (!m_pCaptionBars)
            return false;
        m_pCaptionBars->ShowCaptionMessage();
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
    case cmd::ViewCaptionBar:
        if (!m_pCaptionBars)
            return false;
        ui.Enable();
        ui.SetCheck(m_pCaptionBars->IsCaptionBarVisible() ? 1 : 0);
        return true;
    case cmd::Welcome:
    case cmd::StatusLink: ui.Enable(); return true;
    default: return false;
    }
}
