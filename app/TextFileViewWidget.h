// The Qt home of a view: a widget that owns the CTextFileView, holds its text
// window (a CFileWndWidget filling it, which takes the focus for it) and
// stands for the frame around it (IViewHost): ribbon elements from the main
// frame's ribbon, message boxes captioned with the application's title, the
// Font dialog, the view's Find dialog, and the child frame it lives in.
#pragma once

#include "view/TextFileView.h"
#include "view/ViewHost.h"

#include <QWidget>

class CFileWndWidget;
class CTextFileDoc;
class CTextFileViewerChildFrame;
class CTextFileViewerMainFrame;

class CTextFileViewWidget : public QWidget, public IViewHost {
    Q_OBJECT
public:
    // `database` and `profile` are the view's, handed on from the application that owns them.
    CTextFileViewWidget(CTextFileDoc* doc, CFilePrefDatabase* database, IProfile& profile,
                        CTextFileViewerMainFrame* mainFrame, CTextFileViewerChildFrame* frame);
    ~CTextFileViewWidget() override;

    // Makes the text window and posts the load; false when the window cannot be made.
    bool Create();

    CTextFileView& View() { return m_view; }
    CFileWndWidget* TextWindow() const { return m_pTextWindow; }

    // --- IViewHost ------------------------------------------------------------------------------------------------
    IRibbonColorElement* FindColorElement(int id) override;
    IRibbonComboElement* FindComboElement(int id) override;
    IRibbonFontElement* FindFontElement(int id) override;
    void InvalidateRibbon() override;
    int MessageBox(const std::string& text, unsigned type) override;
    bool ChooseFont(platform::LOGFONTW& font, platform::COLORREF& color) override;
    IFindDialog* CreateFindDialog(const std::u16string& text, bool matchCase) override;
    void BeginBusy() override;
    void EndBusy() override;
    bool IsActiveView() override;
    CFileWnd* CreateTextWindow() override;
    void DestroyTextWindow() override;
    void DestroyFrame() override;
    void FocusTextWindow() override;
    void UpdateTextWindow() override;
    void LockUpdates(bool lock) override;

private:
    void ShowContextMenu(const QPoint& pos);

    CTextFileViewerMainFrame* m_pMainFrame;
    CTextFileViewerChildFrame* m_pFrame;
    CFileWndWidget* m_pTextWindow = nullptr;
    CTextFileView m_view;  // last: destroyed first, while the rest still stands
};
