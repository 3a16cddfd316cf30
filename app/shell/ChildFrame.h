// One window on an open document: a page of the main frame's tab groups
// holding one view. Several windows may show one document; the application
// keeps, per document, the list of its windows, and the last one to go takes
// the document with it.
#pragma once

#include <QWidget>

class CDocTemplate;
class CTextFileDoc;
class CTextFileView;
class CTextFileViewerApp;
class CTextFileViewerMainFrame;
class CTextFileViewWidget;

class CTextFileViewerChildFrame : public QWidget {
    Q_OBJECT
public:
    CTextFileViewerChildFrame(CTextFileViewerApp* app, CTextFileDoc* doc, const CDocTemplate* docTemplate,
                              CTextFileViewerMainFrame* mainFrame);
    // The view goes first, then the application hears of it (and may close the document).
    ~CTextFileViewerChildFrame() override;

    // Makes the view and its text window; false when that fails.
    bool Create();

    CTextFileDoc* GetDocument() const { return m_pDocument; }
    const CDocTemplate* GetDocTemplate() const { return m_pTemplate; }
    CTextFileViewWidget* GetViewWidget() const { return m_pViewWidget; }
    CTextFileView* GetActiveView() const;

    // The window's place among its document's windows (1, 2, ... in the order they were made); 0 alone.
    int GetWindowNumber() const { return m_nWindowNumber; }
    void SetWindowNumber(int number) { m_nWindowNumber = number; }
    // The title its tab shows: the file's name, with ":n" when its document has several windows.
    QString GetTitle() const;

private:
    CTextFileViewerApp* m_pApp;
    CTextFileDoc* m_pDocument;
    const CDocTemplate* m_pTemplate;
    CTextFileViewerMainFrame* m_pMainFrame;
    CTextFileViewWidget* m_pViewWidget = nullptr;
    int m_nWindowNumber = 0;
};
