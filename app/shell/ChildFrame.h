// One window on an open document: a page of the main frame's tab groups
// holding one view. Several windows may show one document; the application
// keeps, per document, the list of its windows, and the last one to go takes
// the document with it. The window knows neither: its end is announced by
// QObject::destroyed, after its view has gone.
#pragma once

#include "engine/LineMatcher.h"

#include <QWidget>

#include <optional>

class CDocTemplate;
struct CWindowState;
class CFilterPane;
class QSplitter;
class CTextFileDoc;
class CTextFileView;
class CTextFileViewWidget;
class IViewServices;

class CTextFileViewerChildFrame : public QWidget {
    Q_OBJECT
public:
    // `services` is what its view asks of the window around it.
    CTextFileViewerChildFrame(CTextFileDoc* doc, const CDocTemplate* docTemplate, IViewServices* services);
    // The view goes first: whoever hears `destroyed` may close the document.
    ~CTextFileViewerChildFrame() override;

    // Makes the view and its text window; false when that fails.
    bool Create();

    CTextFileDoc* GetDocument() const { return m_pDocument; }
    CTextFileViewWidget* GetViewWidget() const { return m_pViewWidget; }
    CTextFileView* GetActiveView() const;

    // The window's place among its document's windows (1, 2, ... in the order they were made); 0 alone.
    void SetWindowNumber(int number) { m_nWindowNumber = number; }
    // Filter: lists, in a pane under the text window, the lines that hold the
    // find box's text (with the view's case and regular-expression settings),
    // or with Invert those that do not. Says in the message strip why it cannot.
    void ShowFilter();
    // Invert: the next filter (and the one shown, listed afresh) takes the other lines.
    void ToggleFilterInvert();
    bool IsFilterInverted() const { return m_bFilterInvert; }
    // The window's filter pane; null before the first Filter.
    CFilterPane* GetFilterPane() const { return m_pFilterPane; }

    // The window as a session keeps it: its view's state with the query of its filter pane when one shows
    // (its group and activity are the application's to fill in).
    CWindowState CaptureState() const;
    // Puts the window back as `state` says: the view's display and place, and the filter pane listing the
    // kept query again once the file is shown (the focus stays in the text window).
    void RestoreState(const CWindowState& state);

    // The title its tab shows: the file's name, with ":n" when its document has several windows.
    QString GetTitle() const;

private:
    // Lists the lines for `query` in the pane (made at the first call); false, with the reason in the message
    // strip, for a query that cannot be used.
    bool StartFilter(const linefilter::FilterQuery& query);

    CTextFileDoc* m_pDocument;
    IViewServices* m_pServices;
    CTextFileViewWidget* m_pViewWidget = nullptr;
    QSplitter* m_pSplitter = nullptr;
    QWidget* m_pTop = nullptr;  // the view and the filter's overview strip beside it
    CFilterPane* m_pFilterPane = nullptr;
    bool m_bFilterInvert = false;
    // A kept filter waiting for the file to be shown.
    std::optional<linefilter::FilterQuery> m_pendingFilter;
    int m_nWindowNumber = 0;
};
