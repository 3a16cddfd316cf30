#include "app/shell/ChildFrame.h"

#include "app/shell/DocTemplate.h"
#include "app/shell/TextFileViewWidget.h"
#include "app/shell/ViewServices.h"
#include "file/TextFileDoc.h"
#include "platform/Win1252.h"
#include "textwnd/MergedWnd.h"
#include "textwnd/qt/FileWndWidget.h"
#include "textwnd/qt/FilterPane.h"
#include "view/CommandIds.h"
#include "view/StateStore.h"
#include "view/StringTable.h"
#include "view/TextFileView.h"

#include <QFile>
#include <QHBoxLayout>
#include <QSplitter>
#include <QVBoxLayout>

#include <utility>

CTextFileViewerChildFrame::CTextFileViewerChildFrame(CTextFileDoc* doc, const CDocTemplate* docTemplate,
                                                     IViewServices* services)
    : m_pDocument(doc), m_pServices(services)
{
    // The view paints the whole window; nothing of the frame shows through.
    setAttribute(Qt::WA_OpaquePaintEvent);
    setWindowIcon(docTemplate->GetIcon());
}

CTextFileViewerChildFrame::~CTextFileViewerChildFrame()
{
    delete m_pFilterPane;  // its worker joined while the text window and the document still stand
    m_pFilterPane = nullptr;
    delete m_pViewWidget;  // the text window stops reading the document's mapping here
    m_pViewWidget = nullptr;
}

bool CTextFileViewerChildFrame::Create()
{
    // The view over its filter pane, which a splitter sizes; the pane's overview strip goes in the text window.
    m_pSplitter = new QSplitter(Qt::Vertical, this);
    m_pSplitter->setChildrenCollapsible(false);
    m_pSplitter->setAutoFillBackground(true);  // the frame paints nothing under the splitter's handle
    m_pTop = new QWidget(m_pSplitter);
    auto* top = new QHBoxLayout(m_pTop);
    top->setContentsMargins(0, 0, 0, 0);
    top->setSpacing(0);
    m_pViewWidget = new CTextFileViewWidget(m_pDocument, m_pServices, this);
    top->addWidget(m_pViewWidget);
    m_pSplitter->addWidget(m_pTop);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_pSplitter);
    setFocusProxy(m_pViewWidget);
    return m_pViewWidget->Create();
}

CTextFileView* CTextFileViewerChildFrame::GetActiveView() const
{
    return m_pViewWidget ? &m_pViewWidget->View() : nullptr;
}

void CTextFileViewerChildFrame::ShowFilter()
{
    CTextFileView* view = GetActiveView();
    if (!view || !view->IsLoaded() || !m_pViewWidget->TextWindow())
        return;
    linefilter::FilterQuery query;
    query.pattern = view->TakeFindText();
    if (query.pattern.empty()) {
        m_pViewWidget->ShowMessage(ViewMessageKind::Information, "Type the text to filter by in the find box first.");
        return;
    }
    query.regex = view->GetFileWnd()->IsRegularExpression();
    query.ignoreCase = !view->IsMatchCase();
    query.invert = m_bFilterInvert;
    if (StartFilter(query))
        m_pFilterPane->setFocus(Qt::OtherFocusReason);
}

bool CTextFileViewerChildFrame::StartFilter(const linefilter::FilterQuery& query)
{
    if (!m_pFilterPane) {
        m_pFilterPane = new CFilterPane(m_pViewWidget->TextWindow(), m_pSplitter);
        m_pSplitter->addWidget(m_pFilterPane);
        m_pViewWidget->TextWindow()->SetSideStrip(m_pFilterPane->Strip());
        m_pSplitter->setSizes({height() * 2 / 3, height() / 3});
        // A hidden pane gives the keys back to the text window.
        connect(m_pFilterPane, &CFilterPane::closed, this, [this] { m_pViewWidget->setFocus(); });
        connect(m_pFilterPane, &CFilterPane::filterAllWindowsAsked, this,
                [this] { m_pServices->ExecuteCommand(cmd::FilterAllWindows); });
    }
    std::string error;
    if (!m_pFilterPane->Start(query, &error)) {
        m_pViewWidget->ShowMessage(ViewMessageKind::Error, error);
        return false;
    }
    return true;
}

void CTextFileViewerChildFrame::ToggleFilterInvert()
{
    m_bFilterInvert = !m_bFilterInvert;
    if (m_pFilterPane && m_pFilterPane->isVisible()) {
        linefilter::FilterQuery query = m_pFilterPane->Filter().Query();
        query.invert = m_bFilterInvert;
        std::string error;
        m_pFilterPane->Start(query, &error);
    }
}

CWindowState CTextFileViewerChildFrame::CaptureState() const
{
    const CTextFileView* view = GetActiveView();
    CWindowState state = view ? view->CaptureState() : CWindowState{};
    std::optional<linefilter::FilterQuery> query = m_pendingFilter;
    if (m_pFilterPane && !m_pFilterPane->isHidden())
        query = m_pFilterPane->Filter().Query();
    if (query && !query->pattern.empty()) {
        state.filter = platform::Utf16ToUtf8(query->pattern);
        state.filterRegex = query->regex;
        state.filterIgnoreCase = query->ignoreCase;
        state.filterInvert = query->invert;
    }
    return state;
}

void CTextFileViewerChildFrame::RestoreState(const CWindowState& state)
{
    CTextFileView* view = GetActiveView();
    if (!view)
        return;
    view->RestoreState(state);
    if (state.filter.empty())
        return;
    linefilter::FilterQuery query;
    query.pattern = platform::Utf8ToUtf16(state.filter);
    query.regex = state.filterRegex;
    query.ignoreCase = state.filterIgnoreCase;
    query.invert = m_bFilterInvert = state.filterInvert;
    m_pendingFilter = query;
    const auto start = [this] {
        if (const std::optional<linefilter::FilterQuery> kept = std::exchange(m_pendingFilter, std::nullopt))
            StartFilter(*kept);
    };
    if (view->IsLoaded())
        start();
    else
        view->SetLoadedCallback(start);
}

QString CTextFileViewerChildFrame::GetTitle() const
{
    // A merged window names its files.
    if (const CTextFileView* view = GetActiveView(); view && view->GetFileWnd() && view->GetFileWnd()->GetMerged()) {
        const CMergedWnd& merged = *view->GetFileWnd()->GetMerged();
        if (merged.IsSequence() && merged.Count() > 0) {
            // A rotation set is its current file's log, with its older parts.
            const std::string& p = merged.PathOf(merged.Count() - 1);
            return QFile::decodeName(p.substr(p.rfind('/') + 1).c_str()) +
                   QString::fromUtf8(text::RotationTitleFormat).arg(merged.Count() - 1);
        }
        QString title = QString::fromUtf8(text::MergedTitlePrefix);
        for (int f = 0; f < merged.Count(); ++f) {
            const std::string& p = merged.PathOf(f);
            title += (f ? ", " : "") + QFile::decodeName(p.substr(p.rfind('/') + 1).c_str());
        }
        return title;
    }
    const std::string& path = m_pDocument->GetPathName();
    const std::size_t slash = path.rfind('/');
    QString title =
        m_pDocument->IsCommand() && !m_pDocument->IsSsh() ? QString::fromStdString(m_pDocument->Command())
        : m_pDocument->IsJournal()                        ? QString::fromStdString(path)
        : path == CTextFileDoc::kStandardInputName
            ? QString::fromUtf8(CTextFileDoc::kStandardInputTitle)
            : QFile::decodeName(QByteArray::fromStdString(slash == std::string::npos ? path : path.substr(slash + 1)));
    if (m_nWindowNumber > 0)
        title += QStringLiteral(":%1").arg(m_nWindowNumber);
    return title;
}
