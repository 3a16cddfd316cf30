#include "app/shell/MainFrame.h"

#include "app/ribbon/RibbonBar.h"
#include "app/ribbon/RibbonColorButton.h"
#include "app/ribbon/RibbonComboBox.h"
#include "app/ribbon/RibbonKeyTipFilter.h"
#include "app/ribbon_content/RibbonContent.h"
#include "app/shell/ChildFrame.h"
#include "app/shell/FontDialog.h"
#include "app/shell/Looks.h"
#include "app/shell/RibbonElementPorts.h"
#include "app/shell/TextFileViewWidget.h"
#include "app/shell/TextFileViewerApp.h"
#include "app/shell/WindowsDialog.h"
#include "app/tabgroups/TabGroupArea.h"
#include "file/TextFileDoc.h"
#include "platform/AppInfo.h"
#include "textwnd/qt/FileWndWidget.h"
#include "view/CommandIds.h"
#include "view/Profile.h"

#include <QAbstractEventDispatcher>
#include <QAction>
#include <QApplication>
#include <QChildEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QKeyEvent>
#include <QMimeData>
#include <QMouseEvent>
#include <QScopedValueRollback>
#include <QTimer>
#include <QUrl>

#include <unordered_map>

// The back and forward buttons of a mouse or keyboard, on the main window and
// every widget in it (not application-wide: a dialog keeps its own buttons).
// Widgets added later are watched as they come.
class CTextFileViewerMainFrame::CBackForwardFilter : public QObject {
public:
    explicit CBackForwardFilter(CTextFileViewerMainFrame* frame) : QObject(frame), m_pFrame(frame) { Watch(frame); }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        int step = 0;
        switch (event->type()) {
        case QEvent::ChildAdded:
            if (QObject* child = static_cast<QChildEvent*>(event)->child(); child->isWidgetType())
                Watch(child);
            return false;
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonDblClick: {
            const Qt::MouseButton button = static_cast<QMouseEvent*>(event)->button();
            step = button == Qt::BackButton ? -1 : button == Qt::ForwardButton ? 1 : 0;
            break;
        }
        case QEvent::KeyPress: {
            const int key = static_cast<QKeyEvent*>(event)->key();
            step = key == Qt::Key_Back ? -1 : key == Qt::Key_Forward ? 1 : 0;
            break;
        }
        default: return false;
        }
        // A dialog is a child of the frame too, but a window of its own.
        auto* widget = qobject_cast<QWidget*>(watched);
        if (!step || !widget || widget->window() != m_pFrame)
            return false;
        if (step < 0)
            m_pFrame->ActivatePreviousChildFrame();
        else
            m_pFrame->ActivateNextChildFrame();
        return true;
    }

private:
    void Watch(QObject* object)
    {
        object->installEventFilter(this);
        for (QObject* child : object->children())
            if (child->isWidgetType())
                Watch(child);
    }

    CTextFileViewerMainFrame* m_pFrame;
};

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

QStringList DroppedFiles(const QMimeData* data)
{
    QStringList files;
    if (data && data->hasUrls())
        for (const QUrl& url : data->urls())
            if (url.isLocalFile())
                files.append(url.toLocalFile());
    return files;
}

}  // namespace

CTextFileViewerMainFrame::CTextFileViewerMainFrame(CTextFileViewerApp* app) : m_pApp(app)
{
    setWindowTitle(QString::fromUtf8(kApplicationTitle));
    resize(1000, 700);
    m_nApplicationLook =
        GetCurrentProfile().GetProfileInt(kSettingsSection, kApplicationLookEntry, cmd::AppLookDefault);
    m_pLook = &LookForId(m_nApplicationLook, m_nOffice2007Style);
}

CTextFileViewerMainFrame::~CTextFileViewerMainFrame()
{
    // The windows go while the frame is whole: each takes its view, and the last of a document the document.
    if (!m_pTabArea)
        return;
    // Nothing is activated any more while they go.
    disconnect(m_pTabArea, nullptr, this, nullptr);
    m_pActiveFrame = nullptr;
    for (CTextFileViewerChildFrame* frame : GetChildFrames())
        delete frame;
}

bool CTextFileViewerMainFrame::OnCreate()
{
    // 1. The frame itself, with the area of the child windows in the middle.
    // 2. The colour lists of the pickers come with the ribbon.
    // 3. The application look, stored again; the parts made below take it as they come.
    ApplyApplicationLook(m_nApplicationLook);
    // 4. Tabbed groups of child windows: note-book tabs, the close button on the active tab only, no icons,
    //    automatic tab colours and a list button at the right end of each row, which the area provides.
    m_pTabArea = new CTabGroupArea(this);
    m_pTabArea->SetTheme(m_pLook->tabs);
    setCentralWidget(m_pTabArea);
    connect(m_pTabArea, &CTabGroupArea::windowActivated, this, &CTextFileViewerMainFrame::OnWindowActivated);
    connect(m_pTabArea, &CTabGroupArea::closeRequested, this, [this](QWidget* window) {
        if (auto* frame = qobject_cast<CTextFileViewerChildFrame*>(window))
            CloseChildFrame(frame);
    });
    // 5.-6. The ribbon and its content, with the keys of the accelerator table; 11. its key tips (SetRibbonBar).
    // 7. The status bar, and the caption bar's place under the ribbon.
    CreateRibbon();
    AddAccelerators();
    CreateStatusBar();
    CreateCaptionBar();
    // 8.-9. Docking modes: the frame has no docking panes.
    // 10. The windows dialog answers command 131 (ShowWindowsDialog); with it the keys and buttons that move
    //     between the windows.
    AddWindowKeys();
    new CBackForwardFilter(this);
    // 12. The welcome message, once per user; then the size and place the frame had when it was last closed.
    ShowWelcomeOnce();
    RestoreFrameState();

    // The update pass, as the framework's idle processing: whenever the event loop is about to wait.
    if (QAbstractEventDispatcher* dispatcher = QAbstractEventDispatcher::instance(thread()))
        connect(dispatcher, &QAbstractEventDispatcher::aboutToBlock, this, &CTextFileViewerMainFrame::RunUpdatePass);
    return true;
}

// --- Child windows -------------------------------------------------------------------------------------------------

void CTextFileViewerMainFrame::AddChildFrame(CTextFileViewerChildFrame* frame)
{
    m_pTabArea->AddWindow(frame, frame->GetTitle(), QFile::decodeName(frame->GetDocument()->GetPathName().c_str()));
}

void CTextFileViewerMainFrame::ActivateChildFrame(CTextFileViewerChildFrame* frame)
{
    m_pTabArea->SetActiveWindow(frame);
}

CTextFileViewerChildFrame* CTextFileViewerMainFrame::GetActiveChildFrame() const
{
    return m_pActiveFrame;
}

QList<CTextFileViewerChildFrame*> CTextFileViewerMainFrame::GetChildFrames() const
{
    QList<CTextFileViewerChildFrame*> frames;
    for (QWidget* window : m_pTabArea->Windows())
        if (auto* frame = qobject_cast<CTextFileViewerChildFrame*>(window))
            frames.append(frame);
    return frames;
}

void CTextFileViewerMainFrame::ActivateNextChildFrame()
{
    m_pTabArea->ActivateNextWindow();
}

void CTextFileViewerMainFrame::ActivatePreviousChildFrame()
{
    m_pTabArea->ActivatePreviousWindow();
}

// The keys of tabbed documents: Ctrl+F4 and Ctrl+W close the active window, Ctrl+Tab and Ctrl+F6 go to the next
// one, with Shift to the previous one.
void CTextFileViewerMainFrame::AddWindowKeys()
{
    auto add = [this](const QList<QKeySequence>& keys, auto slot) {
        auto* action = new QAction(this);
        action->setShortcuts(keys);
        action->setShortcutContext(Qt::WindowShortcut);
        connect(action, &QAction::triggered, this, slot);
        addAction(action);
    };
    add({QKeySequence(Qt::CTRL | Qt::Key_F4), QKeySequence(Qt::CTRL | Qt::Key_W)}, [this] {
        if (m_pActiveFrame)
            CloseChildFrame(m_pActiveFrame);
    });
    add({QKeySequence(Qt::CTRL | Qt::Key_Tab), QKeySequence(Qt::CTRL | Qt::Key_F6)},
        &CTextFileViewerMainFrame::ActivateNextChildFrame);
    // Shift+Tab arrives as Backtab.
    add({QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Backtab), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Tab),
         QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_F6)},
        &CTextFileViewerMainFrame::ActivatePreviousChildFrame);
}

void CTextFileViewerMainFrame::ShowWindowsDialog()
{
    CWindowsDialog dialog(this);
    dialog.exec();
}

CTextFileView* CTextFileViewerMainFrame::GetActiveView() const
{
    return m_pActiveFrame ? m_pActiveFrame->GetActiveView() : nullptr;
}

void CTextFileViewerMainFrame::CloseChildFrame(CTextFileViewerChildFrame* frame)
{
    // Out of the tabs first, so that the next window is active while this one still stands; then it goes.
    m_pTabArea->RemoveWindow(frame);
    delete frame;
}

void CTextFileViewerMainFrame::CloseWindowLater(QWidget* window)
{
    if (auto* frame = qobject_cast<CTextFileViewerChildFrame*>(window))
        QTimer::singleShot(0, frame, [this, frame] { CloseChildFrame(frame); });
}

bool CTextFileViewerMainFrame::IsActiveWindow(const QWidget* window) const
{
    return m_pActiveFrame.data() == window;
}

int CTextFileViewerMainFrame::ContextMenu(const std::string& name) const
{
    return m_pApp->GetContextMenu(name);
}

void CTextFileViewerMainFrame::SetChildFrameTitle(CTextFileViewerChildFrame* frame, const QString& title,
                                                  const QString& toolTip)
{
    m_pTabArea->SetTabTitle(frame, title);
    m_pTabArea->SetTabToolTip(frame, toolTip);
    UpdateFrameTitle();
}

void CTextFileViewerMainFrame::OnWindowActivated(QWidget* window)
{
    auto* frame = qobject_cast<CTextFileViewerChildFrame*>(window);
    if (frame == m_pActiveFrame)
        return;
    if (CTextFileView* before = GetActiveView())
        before->OnActivateView(false);
    m_pActiveFrame = frame;
    if (CTextFileView* now = GetActiveView())
        now->OnActivateView(true);
    UpdateFrameTitle();
}

void CTextFileViewerMainFrame::UpdateFrameTitle()
{
    // The application's title, then the active document's (as a frame that adds the document to its title).
    QString title = QString::fromUtf8(kApplicationTitle);
    if (m_pActiveFrame)
        title += QStringLiteral(" - ") + m_pActiveFrame->GetTitle();
    if (windowTitle() != title)
        setWindowTitle(title);
}

// --- Commands ------------------------------------------------------------------------------------------------------

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

bool CTextFileViewerMainFrame::OnCommand(int id)
{
    if (OnRibbonCommand(id) || OnBarsCommand(id) || OnHelpCommand(id))
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
    default:
        if (!IsLookCommand(id))
            return false;
        ApplyApplicationLook(id);
        return true;
    }
}

bool CTextFileViewerMainFrame::OnUpdateCommand(CCmdUI& ui)
{
    if (OnUpdateRibbonCommand(ui) || OnUpdateBarsCommand(ui) || OnUpdateHelpCommand(ui))
        return true;
    switch (ui.m_nID) {
    case cmd::FileClose:
    case cmd::WindowNew:
        if (!m_pActiveFrame)
            return false;
        ui.Enable();
        return true;
    case cmd::WindowManager:
        ui.Enable();  // always, also without windows
        return true;
    default:
        if (!IsLookCommand(ui.m_nID))
            return false;
        ui.SetRadio(ui.m_nID == m_nApplicationLook);
        return true;
    }
}

// --- Ribbon --------------------------------------------------------------------------------------------------------

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

// --- Application look ----------------------------------------------------------------------------------------------

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

// --- Dialogs -------------------------------------------------------------------------------------------------------

int CTextFileViewerMainFrame::MessageBox(QWidget* parent, const std::string& text, unsigned type)
{
    if (m_messageBoxHook)
        return m_messageBoxHook(text, type);
    return ShowQtMessageBox(parent ? parent : this, text, kApplicationTitle, type);
}

bool CTextFileViewerMainFrame::ChooseFont(QWidget* parent, platform::LOGFONTW& font, platform::COLORREF& color)
{
    if (m_chooseFontHook)
        return m_chooseFontHook(font, color);
    CFontDialog dialog(font, color, parent ? parent : this);
    if (dialog.exec() != QDialog::Accepted)
        return false;
    font = dialog.GetLogFont();
    color = dialog.GetColor();
    return true;
}

// --- Drops ---------------------------------------------------------------------------------------------------------

void CTextFileViewerMainFrame::dragEnterEvent(QDragEnterEvent* event)
{
    if (!DroppedFiles(event->mimeData()).isEmpty())
        event->acceptProposedAction();
}

void CTextFileViewerMainFrame::dropEvent(QDropEvent* event)
{
    const QStringList files = DroppedFiles(event->mimeData());
    if (files.isEmpty())
        return;
    event->acceptProposedAction();
    activateWindow();
    // Each as if chosen from the recent-file list: opened, or its window activated; failures are silent.
    for (const QString& file : files)
        m_pApp->OpenDocumentFile(QFile::encodeName(file).toStdString());
}
