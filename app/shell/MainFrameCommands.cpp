// The main frame's command routing and its update pass: a command goes to
// the active view, then the frame's parts, then the application; whatever
// shows a command registers its id and is given the command's state whenever
// it changes, each time the event loop is about to wait.
#include "app/shell/MainFrame.h"

#include "app/shell/ChildFrame.h"
#include "app/shell/CommandDialog.h"
#include "app/shell/TextFileViewerApp.h"
#include "view/CommandIds.h"
#include "view/StringTable.h"
#include "view/TextFileView.h"

#include <QScopedValueRollback>
#include <QSettings>

#include <string>
#include <unordered_map>

bool CTextFileViewerMainFrame::ExecuteCommand(int id)
{
    return RouteCommand({GetActiveView(), this, m_pApp}, id);
}

void CTextFileViewerMainFrame::UpdateCommandUI(CCmdUI& ui)
{
    RouteUpdateCommand({GetActiveView(), this, m_pApp}, ui);
}

void CTextFileViewerMainFrame::AddCommandUI(int id, QObject* owner, std::function<void(const CCmdUI&)> apply)
{
    CCommandUISink sink{id, owner, std::move(apply), std::nullopt};
    CCmdUI ui(id);
    UpdateCommandUI(ui);
    sink.apply(ui);
    sink.last = ui;
    m_sinks.push_back(std::move(sink));
}

void CTextFileViewerMainFrame::RunUpdatePass()
{
    if (m_bInUpdatePass)
        return;
    const QScopedValueRollback<bool> running(m_bInUpdatePass, true);
    std::erase_if(m_sinks, [](const CCommandUISink& sink) { return sink.owner.isNull(); });
    // Several sinks may show one id (an element and a menu item): each id is asked once per pass.
    std::unordered_map<int, CCmdUI> states;
    for (std::size_t i = 0; i < m_sinks.size(); ++i) {
        CCommandUISink& sink = m_sinks[i];
        auto it = states.find(sink.id);
        if (it == states.end()) {
            CCmdUI ui(sink.id);
            UpdateCommandUI(ui);
            it = states.emplace(sink.id, std::move(ui)).first;
        }
        if (sink.last != it->second && sink.owner) {
            sink.last = it->second;
            sink.apply(it->second);
        }
    }
    UpdateFrameTitle();
}

void CTextFileViewerMainFrame::ShowCommandDialog()
{
    QSettings* settings = m_pApp->GetSettings();
    CCommandDialog dialog(settings ? CCommandDialog::History(*settings) : QStringList(), this);
    if (dialog.exec() != QDialog::Accepted || dialog.Command().isEmpty())
        return;
    const QString command = dialog.Command();
    // Kept once it was asked for, also when it cannot run: the user may want to mend it.
    if (settings)
        settings->setValue(CCommandDialog::kHistoryKey,
                           CCommandDialog::WithNewest(CCommandDialog::History(*settings), command));
    std::string error;
    if (!m_pApp->OpenCommand(command.toStdString(), &error)) {
        std::string said = text::CommandFailedFormat;
        const std::size_t first = said.find("%s");
        said.replace(first, 2, command.toStdString());
        said.replace(said.find("%s", first + command.toUtf8().size()), 2, error);
        MessageBox(this, said, platform::kMbOk | platform::kMbIconError);
    }
}

bool CTextFileViewerMainFrame::OnCommand(int id)
{
    if (OnRibbonCommand(id) || OnBarsCommand(id) || OnHelpCommand(id) || OnFiltersCommand(id))
        return true;
    switch (id) {
    case cmd::FileClose:
    case cmd::WindowNew:
        if (!m_pActiveFrame)
            return false;
        if (id == cmd::FileClose)
            m_pApp->CloseDocument(m_pActiveFrame->GetDocument());
        else
            m_pApp->CreateFrame(m_pActiveFrame->GetDocument());
        return true;
    case cmd::WindowManager: ShowWindowsDialog(); return true;
    case cmd::OpenCommand: ShowCommandDialog(); return true;
    case cmd::OpenJournal: ShowJournalDialog(); return true;
    case cmd::Filter:
    case cmd::FilterInvert:
        if (!m_pActiveFrame)
            return false;
        if (id == cmd::Filter)
            m_pActiveFrame->ShowFilter();
        else
            m_pActiveFrame->ToggleFilterInvert();
        return true;
    default: return OnLookCommand(id);
    }
}

bool CTextFileViewerMainFrame::OnUpdateCommand(CCmdUI& ui)
{
    if (OnUpdateRibbonCommand(ui) || OnUpdateBarsCommand(ui) || OnUpdateHelpCommand(ui) || OnUpdateFiltersCommand(ui))
        return true;
    switch (ui.m_nID) {
    case cmd::FileClose:
    case cmd::WindowNew:
        if (!m_pActiveFrame)
            return false;
        ui.Enable();
        return true;
    case cmd::WindowManager:
    case cmd::OpenCommand:
    case cmd::OpenJournal:
        ui.Enable();  // always, also without windows
        return true;
    case cmd::Filter:
    case cmd::FilterInvert:
        ui.Enable(m_pActiveFrame != nullptr);
        if (ui.m_nID == cmd::FilterInvert)
            ui.SetCheck(m_pActiveFrame && m_pActiveFrame->IsFilterInverted() ? 1 : 0);
        return true;
    default: return OnUpdateLookCommand(ui);
    }
}
