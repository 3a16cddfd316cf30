#include "app/ChildFrame.h"

#include "app/DocTemplate.h"
#include "app/MainFrame.h"
#include "app/TextFileViewWidget.h"
#include "app/TextFileViewerApp.h"
#include "file/TextFileDoc.h"

#include <QFile>
#include <QVBoxLayout>

CTextFileViewerChildFrame::CTextFileViewerChildFrame(CTextFileViewerApp* app, CTextFileDoc* doc,
                                                     const CDocTemplate* docTemplate,
                                                     CTextFileViewerMainFrame* mainFrame)
    : m_pApp(app), m_pDocument(doc), m_pTemplate(docTemplate), m_pMainFrame(mainFrame)
{
    // The view paints the whole window; nothing of the frame shows through.
    setAttribute(Qt::WA_OpaquePaintEvent);
    setWindowIcon(docTemplate->GetIcon());
}

CTextFileViewerChildFrame::~CTextFileViewerChildFrame()
{
    m_pMainFrame->OnChildFrameDestroyed(this);
    delete m_pViewWidget;  // the text window stops reading the document's mapping here
    m_pViewWidget = nullptr;
    m_pApp->OnFrameDestroyed(this);
}

bool CTextFileViewerChildFrame::Create()
{
    m_pViewWidget =
        new CTextFileViewWidget(m_pDocument, m_pApp->GetDatabase(), m_pApp->GetProfile(), m_pMainFrame, this);
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
        QFile::decodeName(QByteArray::fromStdString(slash == std::string::npos ? path : path.substr(slash + 1)));
    if (m_nWindowNumber > 0)
        title += QStringLiteral(":%1").arg(m_nWindowNumber);
    return title;
}
