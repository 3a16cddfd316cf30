#include "app/shell/MainFrame.h"

#include "app/ribbon/RibbonBar.h"
#include "app/ribbon/RibbonColorButton.h"
#include "app/ribbon/RibbonComboBox.h"
#include "app/shell/ChildFrame.h"
#include "app/shell/FontDialog.h"
#include "app/shell/Looks.h"
#include "app/shell/MergeWith.h"
#include "app/shell/RibbonElementPorts.h"
#include "app/shell/TextFileViewerApp.h"
#include "app/shell/WindowsDialog.h"
#include "app/tabgroups/TabGroupArea.h"
#include "file/TextFileDoc.h"
#include "platform/AppInfo.h"
#include "textwnd/MergedWnd.h"
#include "textwnd/qt/FileWndWidget.h"
#include "view/CommandIds.h"
#include "view/TextFileView.h"

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
#include <QTimer>
#include <QUrl>

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
    LoadApplicationLook();
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
    // The look first (stored again), so that every part made below takes it as it comes; the colour lists of
    // the pickers come with the ribbon.
    ApplyApplicationLook(m_nApplicationLook);
    // Tabbed groups of child windows in the middle: note-book tabs, the close button on the active tab only, no icons,
    //    automatic tab colours and a list button at the right end of each row, which the area provides.
    m_pTabArea = new CTabGroupArea(this);
    m_pTabArea->SetTheme(m_pLook->tabs);
    setCentralWidget(m_pTabArea);
    connect(m_pTabArea, &CTabGroupArea::windowActivated, this, &CTextFileViewerMainFrame::OnWindowActivated);
    connect(m_pTabArea, &CTabGroupArea::closeRequested, this, [this](QWidget* window) {
        if (auto* frame = qobject_cast<CTextFileViewerChildFrame*>(window))
            CloseChildFrame(frame);
    });
    m_pTabArea->SetTabMenuExtension([this](QMenu& menu, QWidget* window) {
        if (auto* frame = qobject_cast<CTextFileViewerChildFrame*>(window))
            AddMergeWithAction(menu, frame, *m_pApp, this);
    });
    // The ribbon and its content with the keys of the accelerator table (key tips come with SetRibbonBar), the
    // status bar, and the caption bar's place under the ribbon.
    CreateRibbon();
    AddAccelerators();
    CreateStatusBar();
    CreateCaptionBar();
    // The one docking pane, the filter stack editor, is made when first asked for. The windows dialog answers command 131 (ShowWindowsDialog); with it come
    // the keys and mouse buttons that move between the windows.
    AddWindowKeys();
    new CBackForwardFilter(this);
    // The welcome message, once per user; then the size and place the frame had when it was last closed.
    ShowWelcomeOnce();
    RestoreFrameState();

    // The update pass, as the framework's idle processing: whenever the event loop is about to wait.
    if (QAbstractEventDispatcher* dispatcher = QAbstractEventDispatcher::instance(thread()))
        connect(dispatcher, &QAbstractEventDispatcher::aboutToBlock, this, &CTextFileViewerMainFrame::RunUpdatePass);
    return true;
}

// --- Child windows -------------------------------------------------------------------------------------------------

void CTextFileViewerMainFrame::AddChildFrame(CTextFileViewerChildFrame* frame, bool activate)
{
    m_pTabArea->AddWindow(frame, frame->GetTitle(), QFile::decodeName(frame->GetDocument()->GetPathName().c_str()), -1,
                          activate);
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

std::vector<std::string> CTextFileViewerMainFrame::ViewedPaths() const
{
    std::vector<std::string> paths;
    for (CTextFileViewerChildFrame* frame : GetChildFrames())
        if (CTextFileView* view = frame->GetActiveView())
            paths.push_back(view->GetDocument()->GetPathName());
    return paths;
}

void CTextFileViewerMainFrame::MarkWindow(QWidget* window, const std::string& text)
{
    // A strong red that none of the light automatic tab colours comes near.
    m_pTabArea->SetTabMark(window, QColor(0xd9, 0x2d, 0x20), QString::fromStdString(text));
}

void CTextFileViewerMainFrame::TitleChanged(QWidget* window)
{
    auto* frame = qobject_cast<CTextFileViewerChildFrame*>(window);
    const CTextFileView* view = frame ? frame->GetActiveView() : nullptr;
    const CMergedWnd* merged = view && view->GetFileWnd() ? view->GetFileWnd()->GetMerged() : nullptr;
    if (!merged)
        return;
    // The tooltip gives every file's path after its letter, as the source column's does.
    QString tip;
    for (int i = 0; i < merged->Count(); ++i)
        tip += (i ? "\n" : "") + QString(QChar(mergedwnd::Letter(i))) + "  " +
               QFile::decodeName(merged->PathOf(i).c_str());
    SetChildFrameTitle(frame, frame->GetTitle(), tip);
}

bool CTextFileViewerMainFrame::IsActiveWindow(const QWidget* window) const
{
    return m_pActiveFrame.data() == window;
}

CFilePrefDatabase* CTextFileViewerMainFrame::PreferenceDatabase()
{
    return m_pApp->GetDatabase();
}

CStateStore* CTextFileViewerMainFrame::StateStore()
{
    return m_pApp->GetStateStore();
}

IProfile& CTextFileViewerMainFrame::Profile()
{
    return m_pApp->GetProfile();
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
    ShowCodePage();
    SyncFilterEditor();
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
