// The main window: the ribbon above, the caption bar under it, the tab groups
// of the child windows in the middle, the status bar below, all in the
// application's look (which it applies and stores). It routes every command by id
// (the active view first, then itself, then the application), runs the update
// pass that sets the enabled, checked and pane states of whatever shows a
// command (each registers its ids with AddCommandUI), keeps the title on the
// active document and opens the files dropped on it.
//
// The active view is the one of the window whose tab was activated last: the
// focus moving into the ribbon or a dialog does not change it.
//
// One class, its parts in files by job (each part is a few members of the same
// window, too entwined with it to be worth classes of their own):
//   MainFrame.cpp          creation, the child windows, dialogs, drops
//   MainFrameCommands.cpp  command routing and the update pass
//   MainFrameRibbon.cpp    the ribbon, its ports for the views, the recent list
//   MainFrameLooks.cpp     the application look: loaded, applied, stored
//   MainFrameState.cpp     the frame's saved state from one run to the next
//   MainFrameBars.cpp      the status bar, the caption bar and the welcome
//   MainFrameKeys.cpp      the accelerator table and the help page
#pragma once

#include "app/shell/ViewServices.h"
#include "view/CommandTarget.h"
#include "view/ViewHost.h"

#include <QList>
#include <QMainWindow>
#include <QPointer>

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class CCaptionBarController;
class CAllWindowsList;
class CFilterStackEditor;
class QDockWidget;
class CRibbonBar;
class CRibbonKeyTipFilter;
struct CLook;
class CRibbonColorPort;
class CRibbonComboPort;
class CRibbonFontPort;
class CStatusBar;
class CTabGroupArea;
class CTextFileView;
class CTextFileViewerApp;
class CTextFileViewerChildFrame;

class CTextFileViewerMainFrame : public QMainWindow, public ICommandTarget, public IViewServices {
    Q_OBJECT
public:
    explicit CTextFileViewerMainFrame(CTextFileViewerApp* app);
    ~CTextFileViewerMainFrame() override;

    // Makes the frame's parts, restores its saved state and starts the update pass; false fails the start.
    bool OnCreate();

    CTabGroupArea* GetTabArea() const { return m_pTabArea; }

    // --- Child windows --------------------------------------------------------------------------------------------
    // Puts a new window into the active tab group and activates it; with `activate` false it waits behind its
    // tab (the first window of all is activated all the same).
    void AddChildFrame(CTextFileViewerChildFrame* frame, bool activate = true);
    void ActivateChildFrame(CTextFileViewerChildFrame* frame);
    CTextFileViewerChildFrame* GetActiveChildFrame() const;
    // Every window, in window order (groups left to right, tabs left to right): the order of the list button,
    // the windows dialog, Ctrl+Tab and the back and forward buttons.
    QList<CTextFileViewerChildFrame*> GetChildFrames() const;
    // The next or previous window after the active one, wrapping around; one window: no change.
    void ActivateNextChildFrame();
    void ActivatePreviousChildFrame();
    CTextFileView* GetActiveView() const;
    // Closes the window (and with the last window of a document the document).
    void CloseChildFrame(CTextFileViewerChildFrame* frame);
    void SetChildFrameTitle(CTextFileViewerChildFrame* frame, const QString& title, const QString& toolTip);

    // --- Commands -------------------------------------------------------------------------------------------------
    // A user's command: the active view, the frame, then the application; false when none handles it.
    bool ExecuteCommand(int id) override;
    // The command's state, asked in the same order; nobody owns it: disabled.
    void UpdateCommandUI(CCmdUI& ui) override;
    // Whatever shows a command (a ribbon element, a status pane, a menu item) has its state applied to it by the
    // update pass: `apply` runs when the state of `id` differs from what it was last given (and at once after
    // registering). The registration ends with `owner`.
    void AddCommandUI(int id, QObject* owner, std::function<void(const CCmdUI&)> apply);
    // Asks every registered id and applies what changed; also the window title. Runs whenever the event loop is
    // about to wait.
    void RunUpdatePass();

    bool OnCommand(int id) override;
    bool OnUpdateCommand(CCmdUI& ui) override;

    // --- Ribbon ---------------------------------------------------------------------------------------------------
    // The ribbon above the child windows (null until one is set); its elements issue their commands here.
    CRibbonBar* GetRibbonBar() const;
    void SetRibbonBar(CRibbonBar* bar);
    // The ribbon's elements by command id, as the views use them; null when the ribbon has none.
    IRibbonColorElement* FindColorElement(int id) override;
    IRibbonComboElement* FindComboElement(int id) override;
    IRibbonFontElement* FindFontElement(int id) override;
    void RepaintRibbon() override;

    // --- IViewServices: what a view's widget asks of the window around it -------------------------------------------
    CFilePrefDatabase* PreferenceDatabase() override;
    IProfile& Profile() override;
    CStateStore* StateStore() override;
    int ContextMenu(const std::string& name) const override;
    bool IsActiveWindow(const QWidget* window) const override;
    void CloseWindowLater(QWidget* window) override;
    void MarkWindow(QWidget* window, const std::string& text) override;
    void TitleChanged(QWidget* window) override;
    std::vector<std::string> ViewedPaths() const override;

    // The windows dialog (Switch Windows): modal, activates the window chosen.
    void ShowWindowsDialog();

    // --- Bars, keys and help (MainFrameBars.cpp, MainFrameKeys.cpp) -----------------------------------------------
    CStatusBar* GetStatusBar() const { return m_pStatusBar; }
    // The encoding pane's tooltip names the code page narrow text is read in.
    void ShowCodePage();
    // The caption bar under the ribbon (the welcome message); null before OnCreate.
    CCaptionBarController* GetCaptionBarController() const { return m_pCaptionBars; }
    // The status bar's link: its address handed to the desktop's handler for web addresses.
    void OpenLink();
    // The built-in page of keyboard shortcuts and commands (F1), modeless; null while it is not open.
    QWidget* GetHelpPage() const { return m_pHelpPage; }
    void ShowHelpPage();
    // --- The filter stack editor (MainFrameFilters.cpp) ----------------------------------------------------------
    // The pane docked at the right that edits the active window's filter stack; made at the first Filters...
    // command (null before).
    CFilterStackEditor* GetFilterEditor() const { return m_pFilterEditor; }
    QDockWidget* GetFilterDock() const { return m_pFilterDock; }
    void ShowFilterEditor();
    // Open Command...: the dialog, then the command's window; the command joins the history.
    void ShowCommandDialog();
    // System Journal: the dialog, then the journal it chose in a window of its own (MainFrameJournal.cpp).
    void ShowJournalDialog();
    // The folder whose journal files the dialog reads at first (--journal-dir); empty: the machine's journal.
    void SetJournalFolder(const QString& folder) { m_journalFolder = folder; }
    // Filter All Windows: the lines that the active window's stack shows in every window of its tab group,
    // listed in a pane docked at the bottom (made at the first call); says in the message strip why not
    // when that stack hides nothing.
    void FilterAllWindows();
    CAllWindowsList* GetAllWindowsList() const { return m_pAllWindowsList; }
    QDockWidget* GetAllWindowsDock() const { return m_pAllWindowsDock; }
    // --- Application look -----------------------------------------------------------------------------------------
    // Makes `id` the application's look (205 to 219, or any stored value) on every window at once and stores it
    // as "ApplicationLook" in the settings.
    void ApplyApplicationLook(int id);
    // The look on show; parts made later (a status bar) take theirs from it.
    const CLook& GetLook() const { return *m_pLook; }
    // Its id, as the look command that chose it (or the stored value it was loaded from).
    int GetApplicationLook() const { return m_nApplicationLook; }

    // --- Dialogs --------------------------------------------------------------------------------------------------
    // A message box captioned with the application's title, owned by `parent`; returns a platform::kId... value.
    int MessageBox(QWidget* parent, const std::string& text, unsigned type) override;
    bool ChooseFont(QWidget* parent, platform::LOGFONTW& font, platform::COLORREF& color) override;
    // When set, message boxes and the Font dialog go through these instead (tests answer them without a dialog).
    std::function<int(const std::string& text, unsigned type)> m_messageBoxHook;
    std::function<bool(platform::LOGFONTW& font, platform::COLORREF& color)> m_chooseFontHook;

protected:
    void closeEvent(QCloseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    QString m_journalFolder;  // where System Journal reads at first (empty: the machine's journal)
    class CBackForwardFilter;
    struct CCommandUISink {
        int id;
        QPointer<QObject> owner;
        std::function<void(const CCmdUI&)> apply;
        std::optional<CCmdUI> last;
    };

    void OnWindowActivated(QWidget* window);
    void UpdateFrameTitle();

    // The parts OnCreate makes and the commands of each, each part in its own file.
    void LoadApplicationLook();  // MainFrameLooks.cpp
    bool OnLookCommand(int id);
    bool OnUpdateLookCommand(CCmdUI& ui);
    void RestoreFrameState();  // MainFrameState.cpp
    void SaveFrameState();
    void CreateRibbon();  // MainFrameRibbon.cpp
    void AddRibbonCommandUI(CRibbonBar* bar);
    bool OnRibbonCommand(int id);
    bool OnUpdateRibbonCommand(CCmdUI& ui);
    void AddAccelerators();  // MainFrameKeys.cpp: the accelerator table, the window keys and help
    void AddWindowKeys();
    bool OnHelpCommand(int id);
    bool OnUpdateHelpCommand(CCmdUI& ui);
    void CreateStatusBar();  // MainFrameBars.cpp: status bar, caption bar and welcome
    void CreateCaptionBar();
    void ShowWelcomeOnce();
    bool OnBarsCommand(int id);
    bool OnUpdateBarsCommand(CCmdUI& ui);
    bool OnFiltersCommand(int id);
    bool OnUpdateFiltersCommand(CCmdUI& ui);
    // The editor shows the active window's stack.
    void SyncFilterEditor();

    CTextFileViewerApp* m_pApp;
    CTabGroupArea* m_pTabArea = nullptr;
    QPointer<CRibbonBar> m_pRibbon;
    QPointer<CTextFileViewerChildFrame> m_pActiveFrame;  // a window that goes clears it
    std::vector<CCommandUISink> m_sinks;
    std::map<int, std::unique_ptr<CRibbonColorPort>> m_colorPorts;
    std::map<int, std::unique_ptr<CRibbonComboPort>> m_comboPorts;
    std::map<int, std::unique_ptr<CRibbonFontPort>> m_fontPorts;
    bool m_bInUpdatePass = false;
    CStatusBar* m_pStatusBar = nullptr;
    CCaptionBarController* m_pCaptionBars = nullptr;
    QPointer<QWidget> m_pHelpPage;
    int m_nApplicationLook = 0;
    const CLook* m_pLook;
    int m_nOffice2007Style = 0;  // the Office 2007 colour style set last (a look id), 0: none yet
    QPointer<CRibbonKeyTipFilter> m_pKeyTips;
    QDockWidget* m_pFilterDock = nullptr;
    CFilterStackEditor* m_pFilterEditor = nullptr;
    QDockWidget* m_pAllWindowsDock = nullptr;
    CAllWindowsList* m_pAllWindowsList = nullptr;
};
