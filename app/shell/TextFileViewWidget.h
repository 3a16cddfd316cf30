// The Qt home of a view: a widget that owns the CTextFileView, holds its text
// window (a CFileWndWidget filling it, which takes the focus for it) and
// stands for the frame around it (IViewHost): ribbon elements, message boxes
// captioned with the application's title, the Font dialog, the view's Find
// dialog, and the child window it lives in. All it needs of the rest of the
// program comes through IViewServices.
#pragma once

#include "view/TextFileView.h"
#include "view/ViewHost.h"

#include <QElapsedTimer>
#include <QWidget>

#include <memory>

class CFileWndWidget;
class CMessageStrip;
class CTimelineBand;
class CTextFileDoc;
class IViewServices;

class CTextFileViewWidget : public QWidget, public IViewHost {
    Q_OBJECT
public:
    // `frame` is the child window it fills and belongs to.
    CTextFileViewWidget(CTextFileDoc* doc, IViewServices* services, QWidget* frame);
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
    void AskText(const std::string& title, const std::string& prompt,
                 const std::function<std::string(const std::string&)>& accept,
                 const std::string& initial = {}) override;
    bool ChooseSaveLines(const std::vector<std::string>& sources, std::size_t& source, std::string& path) override;
    savelines::CLineSet ListedLines() override;
    std::vector<std::string> ViewedPaths() override;
    bool PointerInText(int& x, int& y) override;
    void BeginBusy() override;
    void EndBusy() override;
    bool BusyStopAsked() override;
    bool IsActiveView() override;
    CFileWnd* CreateTextWindow() override;
    void DestroyTextWindow() override;
    void DestroyFrame() override;
    void FocusTextWindow() override;
    void UpdateTextWindow() override;
    void LockUpdates(bool lock) override;
    void ShowMessage(ViewMessageKind kind, const std::string& text, const std::string& action = {},
                     int actionCommand = 0) override;
    void HideMessage() override;
    std::uint64_t LastMessageNumber() const override { return m_nMessageNumber; }
    void HideMessageNumbered(std::uint64_t number) override;
    void MarkWindow(const std::string& text) override;
    void TitleChanged() override;

    CMessageStrip* MessageStrip() const { return m_pMessageStrip; }
    // The timeline band above the text window (null before the window is made).
    CTimelineBand* Timeline() const { return m_pTimeline; }

private:
    void ShowContextMenu(const QPoint& pos);

    IViewServices* m_pServices;
    QWidget* m_pFrame;
    CFileWndWidget* m_pTextWindow = nullptr;
    CTimelineBand* m_pTimeline = nullptr;
    CMessageStrip* m_pMessageStrip;
    int m_nMessageCommand = 0;
    std::uint64_t m_nMessageNumber = 0;  // of the last message shown
    // While a search is busy: what it let through of the user's input (Esc only) and when it last looked.
    std::unique_ptr<QObject> m_pBusyInput;
    QElapsedTimer m_busyPolled;
    CTextFileView m_view;  // last: destroyed first, while the rest still stands
};
