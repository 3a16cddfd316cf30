#include "app/TextFileViewWidget.h"

#include "app/ChildFrame.h"
#include "app/FindDialog.h"
#include "app/MainFrame.h"
#include "app/TextFileViewerApp.h"
#include "app/ribbon/RibbonBar.h"
#include "textwnd/qt/FileWndWidget.h"
#include "view/CommandIds.h"
#include "view/StringTable.h"

#include <QApplication>
#include <QMenu>
#include <QVBoxLayout>

namespace {

// The Find dialog as its view sees it; a child object of the dialog, so it goes with it.
class CFindDialogPort : public QObject, public IFindDialog {
public:
    explicit CFindDialogPort(CFindDialog* dialog) : QObject(dialog), m_pDialog(dialog) {}

    void SetFindText(const std::u16string& text) override { m_pDialog->SetFindText(QString::fromStdU16String(text)); }
    void SetMatchCase(bool matchCase) override { m_pDialog->SetMatchCase(matchCase); }
    void BringToFront() override
    {
        m_pDialog->show();
        m_pDialog->raise();
        m_pDialog->activateWindow();
    }
    void DestroyWindow() override
    {
        // Later: the view may be inside the dialog's own signal.
        m_pDialog->hide();
        m_pDialog->deleteLater();
    }

private:
    CFindDialog* m_pDialog;
};

}  // namespace

CTextFileViewWidget::CTextFileViewWidget(CTextFileDoc* doc, CFilePrefDatabase* database, IProfile& profile,
                                         CTextFileViewerMainFrame* mainFrame, CTextFileViewerChildFrame* frame)
    : QWidget(frame), m_pMainFrame(mainFrame), m_pFrame(frame), m_view(doc, this, database, profile)
{
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
}

CTextFileViewWidget::~CTextFileViewWidget()
{
    m_view.OnDestroy();
}

bool CTextFileViewWidget::Create()
{
    return m_view.OnCreate();
}

// --- Ribbon elements -----------------------------------------------------------------------------------------------

IRibbonColorElement* CTextFileViewWidget::FindColorElement(int id)
{
    return m_pMainFrame->FindColorElement(id);
}

IRibbonComboElement* CTextFileViewWidget::FindComboElement(int id)
{
    return m_pMainFrame->FindComboElement(id);
}

IRibbonFontElement* CTextFileViewWidget::FindFontElement(int id)
{
    return m_pMainFrame->FindFontElement(id);
}

void CTextFileViewWidget::InvalidateRibbon()
{
    if (CRibbonBar* ribbon = m_pMainFrame->GetRibbonBar())
        ribbon->update();
}

// --- Dialogs -------------------------------------------------------------------------------------------------------

int CTextFileViewWidget::MessageBox(const std::string& text, unsigned type)
{
    return m_pMainFrame->MessageBox(this, text, type);
}

bool CTextFileViewWidget::ChooseFont(platform::LOGFONTW& font, platform::COLORREF& color)
{
    return m_pMainFrame->ChooseFont(this, font, color);
}

IFindDialog* CTextFileViewWidget::CreateFindDialog(const std::u16string& text, bool matchCase)
{
    auto* dialog = new CFindDialog(this);
    auto* port = new CFindDialogPort(dialog);
    connect(dialog, &CFindDialog::findNext, this, [this, port](const QString& find, bool caseMatters, bool down) {
        m_view.OnFindDialogNext(port, find.toStdU16String(), caseMatters, down);
    });
    connect(dialog, &CFindDialog::closing, this, [this, port] { m_view.OnFindDialogClosing(port); });
    port->SetFindText(text);
    port->SetMatchCase(matchCase);
    port->BringToFront();
    return port;
}

void CTextFileViewWidget::BeginBusy()
{
    QApplication::setOverrideCursor(Qt::WaitCursor);
}

void CTextFileViewWidget::EndBusy()
{
    QApplication::restoreOverrideCursor();
}

// --- Windows -------------------------------------------------------------------------------------------------------

bool CTextFileViewWidget::IsActiveView()
{
    return m_pMainFrame->GetActiveChildFrame() == m_pFrame;
}

CFileWnd* CTextFileViewWidget::CreateTextWindow()
{
    m_pTextWindow = new CFileWndWidget(this);
    m_pTextWindow->setObjectName(QStringLiteral("TextWindow%1").arg(wnd::TextWindow));
    // The text window's own questions (the encoding prompt, the clipboard messages) are the frame's message boxes.
    m_pTextWindow->m_messageBoxHook = [this](const std::string& text, const std::string&, unsigned type) {
        return m_pMainFrame->MessageBox(m_pTextWindow, text, type);
    };
    m_pTextWindow->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(m_pTextWindow, &QWidget::customContextMenuRequested, this, &CTextFileViewWidget::ShowContextMenu);
    layout()->addWidget(m_pTextWindow);
    setFocusProxy(m_pTextWindow);
    return &m_pTextWindow->FileWnd();
}

void CTextFileViewWidget::DestroyTextWindow()
{
    setFocusProxy(nullptr);
    delete m_pTextWindow;
    m_pTextWindow = nullptr;
}

void CTextFileViewWidget::DestroyFrame()
{
    m_pMainFrame->CloseChildFrameLater(m_pFrame);
}

void CTextFileViewWidget::FocusTextWindow()
{
    // Only the active window takes the focus: one loaded behind it must not pull the user away.
    if (m_pTextWindow && IsActiveView())
        m_pTextWindow->setFocus(Qt::OtherFocusReason);
}

void CTextFileViewWidget::UpdateTextWindow()
{
    if (m_pTextWindow)
        m_pTextWindow->viewport()->repaint();
}

void CTextFileViewWidget::LockUpdates(bool lock)
{
    if (m_pTextWindow)
        m_pTextWindow->setUpdatesEnabled(!lock);
}

// The text window's context menu: the menu the application keeps under the name "Edit".
void CTextFileViewWidget::ShowContextMenu(const QPoint& pos)
{
    const int menuId = m_pMainFrame->GetApp()->GetContextMenu(LoadStringById(ids::EditMenu));
    QMenu menu(this);
    for (const MenuItemText& item : MenuItems(menuId)) {
        QAction* action = menu.addAction(QString::fromUtf8(item.text));
        CCmdUI ui(item.id);
        m_pMainFrame->UpdateCommandUI(ui);
        action->setEnabled(ui.m_bEnabled);
        connect(action, &QAction::triggered, this, [this, id = item.id] { m_pMainFrame->ExecuteCommand(id); });
    }
    if (!menu.isEmpty())
        menu.exec(m_pTextWindow->viewport()->mapToGlobal(pos));
}
