#include "app/shell/ChildFrame.h"

#include "app/shell/DocTemplate.h"
#include "app/shell/TextFileViewWidget.h"
#include "file/TextFileDoc.h"

#include <QFile>
#include <QVBoxLayout>

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
    delete m_pViewWidget;  // the text window stops reading the document's mapping here
    m_pViewWidget = nullptr;
}

bool CTextFileViewerChildFrame::Create()
{
    m_pViewWidget = new CTextFileViewWidget(m_pDocument, m_pServices, this);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_pViewWidget);
    setFocusProxy(m_pViewWidget);
    return m_pViewWidget->Create();
}

CTextFileView* CTextFileViewerChildFrame::GetActiveView() const
{
    return m_pViewWidget ? &m_pViewWidget->View() : nullptr;
}

QString CTextFileViewerChildFrame::GetTitle() const
{
    const std::string& path = m_pDocument->GetPathName();
    const std::size_t slash = path.rfind('/');
    QString title =
        path == CTextFileDoc::kStandardInputName
            ? QString::fromUtf8(CTextFileDoc::kStandardInputTitle)
            : QFile::decodeName(QByteArray::fromStdString(slash == std::string::npos ? path : path.substr(slash + 1)));
    if (m_nWindowNumber > 0)
        title += QStringLiteral(":%1").arg(m_nWindowNumber);
    return title;
}
