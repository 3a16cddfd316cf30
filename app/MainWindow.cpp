#include "app/MainWindow.h"

#include "file/TextFileDoc.h"
#include "platform/AppInfo.h"
#include "textwnd/qt/FileWndWidget.h"

#include <QFile>
#include <QFileInfo>
#include <QTabWidget>

#include <algorithm>
#include <cstring>

using platform::kFwNormal;
using platform::LOGFONTW;
using platform::MulDiv;
using platform::Rgb;

namespace {

// The display settings of a file never seen before: "Courier New" at 10
// points, white on black, the original letter case.
void ApplyBuiltInDisplay(CFileWndWidget& w)
{
    CFileWnd& wnd = w.FileWnd();
    LOGFONTW lf{};
    lf.lfHeight = -MulDiv(-10, w.GetDpiY(), 72);  // positive: a cell height
    lf.lfWeight = kFwNormal;
    const char16_t face[] = u"Courier New";
    std::memcpy(lf.lfFaceName, face, sizeof face);
    wnd.SetLogFont(lf);
    wnd.SetFontColor(Rgb(255, 255, 255));
    wnd.SetPageColor(Rgb(0, 0, 0));
    wnd.SetTextCase(TextCaseOriginal);
}

}  // namespace

CMainWindow::CMainWindow(QWidget* parent) : QMainWindow(parent), m_pTabs(new QTabWidget(this))
{
    setWindowTitle(QString::fromUtf8(kApplicationTitle));
    m_pTabs->setDocumentMode(true);
    m_pTabs->setTabsClosable(true);
    m_pTabs->setMovable(true);
    connect(m_pTabs, &QTabWidget::tabCloseRequested, this, &CMainWindow::CloseTab);
    // The keys page and scroll the text of the tab in front.
    connect(m_pTabs, &QTabWidget::currentChanged, this, [this](int index) {
        if (CFileWndWidget* w = FileWindow(index))
            w->setFocus();
    });
    setCentralWidget(m_pTabs);
    resize(1000, 700);
}

CMainWindow::~CMainWindow()
{
    // Windows go first: each leaves its watcher and stops reading its mapping.
    for (OpenDocument& d : m_docs)
        delete d.widget;
    m_docs.clear();
}

CFileWndWidget* CMainWindow::FileWindow(int index) const
{
    return qobject_cast<CFileWndWidget*>(m_pTabs->widget(index));
}

bool CMainWindow::OpenFile(const QByteArray& path)
{
    auto doc = std::make_unique<CTextFileDoc>();
    if (!doc->OnOpenDocument(path.constData()))
        return false;  // failed opens are silent (missing, unreadable, empty, a folder)
    doc->SetPathName(path.constData());

    auto* w = new CFileWndWidget;
    ApplyBuiltInDisplay(*w);
    const QString shown = QFile::decodeName(path);
    const int index = m_pTabs->addTab(w, QFileInfo(shown).fileName());
    m_pTabs->setTabToolTip(index, shown);
    CMemoryMappedFile* mapping = doc->GetMappedFile();
    m_docs.push_back({w, std::move(doc)});
    if (!w->LoadFile(mapping, EncodingAuto)) {
        CloseTab(m_pTabs->indexOf(w));
        return false;
    }
    m_pTabs->setCurrentWidget(w);
    w->setFocus();
    return true;
}

void CMainWindow::CloseTab(int index)
{
    CFileWndWidget* w = FileWindow(index);
    if (!w)
        return;
    m_pTabs->removeTab(index);
    delete w;
    m_docs.erase(std::remove_if(m_docs.begin(), m_docs.end(), [w](const OpenDocument& d) { return d.widget == w; }),
                 m_docs.end());
}
