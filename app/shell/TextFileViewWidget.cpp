#include "app/shell/TextFileViewWidget.h"

#include "app/bars/FindDialog.h"
#include "app/bars/GoToDialog.h"
#include "app/bars/MessageStrip.h"
#include "app/bars/SaveLinesDialog.h"
#include "app/shell/ChildFrame.h"
#include "app/shell/ViewServices.h"
#include "textwnd/MergedWnd.h"
#include "textwnd/qt/FileWndWidget.h"
#include "textwnd/qt/FilterPane.h"
#include "view/CommandIds.h"
#include "view/StringTable.h"
#include "view/qt/TimelineBand.h"

#include <QApplication>
#include <QFile>
#include <QKeyEvent>
#include <QMenu>
#include <QPointer>
#include <QVBoxLayout>

namespace {

// The Find dialog as its view sees it; a child object of the dialog, so it goes with it.
class CFindDialogPort : public QObject, public IFindDialog {
public:
    explicit CFindDialogPort(CFindDialog* dialog) : QObject(dialog), m_pDialog(dialog) {}

    void SetFindText(const std::u16string& text) override { m_pDialog->SetFindText(QString::fromStdU16String(text)); }
    void SetMatchCase(bool matchCase) override { m_pDialog->SetMatchCase(matchCase); }
    void SetRegularExpression(bool on) override
    {
        m_pDialog->setWindowTitle(QString::fromUtf8(on ? text::FindDialogRegexTitle : text::FindDialogTitle));
    }
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

CTextFileViewWidget::CTextFileViewWidget(CTextFileDoc* doc, IViewServices* services, QWidget* frame)
    : QWidget(frame),
      m_pServices(services),
      m_pFrame(frame),
      m_pMessageStrip(new CMessageStrip(this)),
      m_view(doc, this, services->PreferenceDatabase(), services->Profile())
{
    m_view.SetStore(services->StateStore());
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(m_pMessageStrip);
    connect(m_pMessageStrip, &CMessageStrip::actionTriggered, this, [this] {
        if (m_nMessageCommand)
            m_view.OnCommand(m_nMessageCommand);
    });
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
    return m_pServices->FindColorElement(id);
}

IRibbonComboElement* CTextFileViewWidget::FindComboElement(int id)
{
    return m_pServices->FindComboElement(id);
}

IRibbonFontElement* CTextFileViewWidget::FindFontElement(int id)
{
    return m_pServices->FindFontElement(id);
}

void CTextFileViewWidget::InvalidateRibbon()
{
    m_pServices->RepaintRibbon();
}

// --- Dialogs -------------------------------------------------------------------------------------------------------

int CTextFileViewWidget::MessageBox(const std::string& text, unsigned type)
{
    return m_pServices->MessageBox(this, text, type);
}

bool CTextFileViewWidget::ChooseFont(platform::LOGFONTW& font, platform::COLORREF& color)
{
    return m_pServices->ChooseFont(this, font, color);
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

void CTextFileViewWidget::AskText(const std::string& title, const std::string& prompt,
                                  const std::function<std::string(const std::string&)>& accept,
                                  const std::string& initial)
{
    CGoToDialog dialog(QString::fromStdString(title), QString::fromStdString(prompt), accept, this);
    dialog.SetText(QString::fromStdString(initial));
    dialog.exec();
    FocusTextWindow();
}

bool CTextFileViewWidget::ChooseSaveLines(const std::vector<std::string>& sources, std::size_t& source,
                                          std::string& path)
{
    const std::optional<CSaveLinesChoice> choice = CSaveLinesDialog::Run(sources, this);
    FocusTextWindow();
    if (!choice)
        return false;
    source = choice->source;
    path = QFile::encodeName(choice->path).toStdString();
    return true;
}

savelines::CLineSet CTextFileViewWidget::ListedLines()
{
    auto* frame = qobject_cast<CTextFileViewerChildFrame*>(m_pFrame);
    const CFilterPane* pane = frame ? frame->GetFilterPane() : nullptr;
    if (!pane || pane->isHidden())
        return {};
    const linefilter::CLineFilter* filter = &pane->Filter();
    return {filter->Count(), [filter](std::int64_t i) { return static_cast<TextPos>(filter->At(i)); }};
}

std::vector<std::string> CTextFileViewWidget::ViewedPaths()
{
    return m_pServices->ViewedPaths();
}

bool CTextFileViewWidget::PointerInText(int& x, int& y)
{
    const std::optional<QPoint> at = m_pTextWindow ? m_pTextWindow->PointerPoint() : std::nullopt;
    if (!at)
        return false;
    x = at->x();
    y = at->y();
    return true;
}

namespace {

// The user's input while a search runs on the user-interface thread: the
// windows keep painting, but nothing the user does reaches them (a closed
// window or another command in the middle of the search would pull the text
// from under it), except Esc, which asks the search to stop.
class CBusyInput : public QObject {
public:
    bool stopAsked = false;

protected:
    bool eventFilter(QObject* watched, QEvent* e) override
    {
        switch (e->type()) {
        case QEvent::ShortcutOverride:
            e->accept();  // taken here: no shortcut acts, and the key comes as a key press
            [[fallthrough]];
        case QEvent::KeyPress:
            if (static_cast<QKeyEvent*>(e)->key() == Qt::Key_Escape)
                stopAsked = true;
            return true;
        case QEvent::KeyRelease:
        case QEvent::Shortcut:
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
        case QEvent::MouseMove:
        case QEvent::Wheel:
        case QEvent::ContextMenu:
        case QEvent::Close:
        case QEvent::DragEnter:
        case QEvent::DragMove:
        case QEvent::Drop:
        case QEvent::TouchBegin:
        case QEvent::TouchUpdate:
        case QEvent::TouchEnd:
        case QEvent::InputMethod: return true;
        default: return QObject::eventFilter(watched, e);
        }
    }
};

}  // namespace

void CTextFileViewWidget::BeginBusy()
{
    QApplication::setOverrideCursor(Qt::WaitCursor);
    m_pBusyInput = std::make_unique<CBusyInput>();
    qApp->installEventFilter(m_pBusyInput.get());
    m_busyPolled.start();
}

void CTextFileViewWidget::EndBusy()
{
    m_pBusyInput.reset();  // removes the filter
    QApplication::restoreOverrideCursor();
}

bool CTextFileViewWidget::BusyStopAsked()
{
    auto* input = static_cast<CBusyInput*>(m_pBusyInput.get());
    if (!input)
        return false;
    // A chunk is read in well under a millisecond: looking at the events every 30 ms keeps the window painted
    // and Esc heard at a cost the search does not feel.
    if (m_busyPolled.elapsed() >= 30) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        m_busyPolled.restart();
    }
    return input->stopAsked;
}

// --- Windows -------------------------------------------------------------------------------------------------------

bool CTextFileViewWidget::IsActiveView()
{
    return m_pServices->IsActiveWindow(m_pFrame);
}

CFileWnd* CTextFileViewWidget::CreateTextWindow()
{
    m_pTextWindow = new CFileWndWidget(this);
    m_pTextWindow->setObjectName(QStringLiteral("TextWindow%1").arg(wnd::TextWindow));
    // The text window's own questions (the encoding prompt, the clipboard messages) are the frame's message boxes.
    m_pTextWindow->m_messageBoxHook = [this](const std::string& text, const std::string&, unsigned type) {
        return m_pServices->MessageBox(m_pTextWindow, text, type);
    };
    m_pTextWindow->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(m_pTextWindow, &QWidget::customContextMenuRequested, this, &CTextFileViewWidget::ShowContextMenu);
    // The timeline band above the text, shown while the setting is on and the file has a format.
    m_pTimeline = new CTimelineBand(m_pTextWindow, this);
    connect(m_pTimeline, &CTimelineBand::timeClicked, this, [this](qint64 micros) { m_view.OnTimelineTime(micros); });
    connect(m_pTimeline, &CTimelineBand::rangeSelected, this,
            [this](qint64 from, qint64 to) { m_view.OnTimelineRange(from, to); });
    connect(m_pTimeline, &CTimelineBand::rangeCleared, this, [this] { m_view.OnTimelineClear(); });
    layout()->addWidget(m_pTimeline);
    layout()->addWidget(m_pTextWindow);
    setFocusProxy(m_pTextWindow);
    return &m_pTextWindow->FileWnd();
}

void CTextFileViewWidget::DestroyTextWindow()
{
    setFocusProxy(nullptr);
    delete m_pTimeline;
    m_pTimeline = nullptr;
    delete m_pTextWindow;
    m_pTextWindow = nullptr;
}

void CTextFileViewWidget::DestroyFrame()
{
    m_pServices->CloseWindowLater(m_pFrame);
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
    const int menuId = m_pServices->ContextMenu(LoadStringById(ids::EditMenu));
    QMenu menu(this);
    for (const MenuItemText& item : MenuItems(menuId)) {
        QAction* action = menu.addAction(QString::fromUtf8(item.text));
        CCmdUI ui(item.id);
        m_pServices->UpdateCommandUI(ui);
        action->setEnabled(ui.m_bEnabled);
        connect(action, &QAction::triggered, this, [this, id = item.id] { m_pServices->ExecuteCommand(id); });
    }
    // A merged window's files, each with its letter: a file unticked is hidden from the rows (never the last).
    if (CMergedWnd* merged = m_pTextWindow ? m_pTextWindow->FileWnd().GetMerged() : nullptr) {
        QMenu* sources = menu.addMenu(QString::fromUtf8(text::MergedSourcesMenu));
        int shown = 0;
        for (int f = 0; f < merged->Count(); ++f)
            shown += merged->IsHidden(f) ? 0 : 1;
        for (int f = 0; f < merged->Count(); ++f) {
            QAction* action = sources->addAction(QString(QChar(mergedwnd::Letter(f))) + "  " +
                                                 QFile::decodeName(merged->PathOf(f).c_str()));
            action->setCheckable(true);
            action->setChecked(!merged->IsHidden(f));
            action->setEnabled(merged->IsHidden(f) || shown > 1);
            connect(action, &QAction::toggled, this, [merged, f](bool on) { merged->SetHidden(f, !on); });
        }
    }
    if (menu.isEmpty())
        return;
    // Toggle Mark from the menu means the line the menu was opened on, wherever the pointer went since.
    QPointer<CFileWndWidget> window = m_pTextWindow;
    window->SetMenuPoint(pos);
    menu.exec(window->viewport()->mapToGlobal(pos));
    if (window)
        window->SetMenuPoint(std::nullopt);
}

// --- Messages ------------------------------------------------------------------------------------------------------

void CTextFileViewWidget::MarkWindow(const std::string& text)
{
    m_pServices->MarkWindow(m_pFrame, text);
}

void CTextFileViewWidget::TitleChanged()
{
    m_pServices->TitleChanged(m_pFrame);
}

void CTextFileViewWidget::ShowMessage(ViewMessageKind kind, const std::string& text, const std::string& action,
                                      int actionCommand)
{
    const CMessageStrip::Kind shown = kind == ViewMessageKind::Error     ? CMessageStrip::Kind::Error
                                      : kind == ViewMessageKind::Warning ? CMessageStrip::Kind::Warning
                                                                         : CMessageStrip::Kind::Information;
    m_nMessageCommand = action.empty() ? 0 : actionCommand;
    ++m_nMessageNumber;
    m_pMessageStrip->ShowMessage(shown, QString::fromStdString(text), QString::fromStdString(action));
}

void CTextFileViewWidget::HideMessage()
{
    m_pMessageStrip->hide();
}

void CTextFileViewWidget::HideMessageNumbered(std::uint64_t number)
{
    if (number != 0 && number == m_nMessageNumber)
        m_pMessageStrip->hide();
}
