// The application object: the settings store, the recent-file list, the
// preference database, the two document types, the open documents and the
// main frame. It opens documents (from the command line, the recent-file
// list, drops and the Open dialog) and answers the commands of the whole
// program (the recent files, Exit).
//
// A document's path is the absolute form of the path it was opened by, made
// once (platform::CleanAbsolutePath: symbolic links and ".." kept), and is its
// record's key, its recent-list entry and its title. A file is open already
// when that path is a document's path, or when it names the same file (same
// device and inode) under another spelling: its window is then activated and
// the open document's path is the one used. Paths compare exactly: POSIX
// file names are case-sensitive, so comparing them without regard to case
// would take two distinct files for one.
#pragma once

#include "app/shell/DocTemplate.h"
#include "platform/CodePage.h"
#include "platform/File.h"
#include "platform/Journal.h"
#include "view/CommandIds.h"
#include "view/CommandTarget.h"
#include "view/RecentFileList.h"

#include <QObject>
#include <QPointer>

#include <deque>
#include <iosfwd>
#include <map>
#include <memory>
#include <string>
#include <vector>

class CFilePrefDatabase;
class CStateStore;
class IProfile;
class CHighlightSettings;
class CQtHighlightStore;
class CQtProfile;
class CTextFileDoc;
class CTextFileViewerChildFrame;
class CTextFileViewerMainFrame;
class QSettings;
class QTimer;

// The profile section where the framework keeps its own state (the look, window places).
inline constexpr const char* kSettingsSection = "Settings";

class CTextFileViewerApp : public QObject, public ICommandTarget {
    Q_OBJECT
public:
    CTextFileViewerApp();
    ~CTextFileViewerApp() override;

    // Start-up: settings, database, frame, then the files. Opens `files` (command-line paths, as bytes): with one, a file that cannot
    // be opened fails the start; with several, each such file is skipped, and the start fails when none opened.
    // Every file that cannot be opened gets one line on `errors`. The main window is shown when the start succeeds
    // and `show` is set. False: the caller ends the process (the main window, if made, is gone by then).
    //
    // Only the files up to the first that opens are opened here; the others open from the event loop, a few
    // milliseconds' worth at a time, so that the first window paints and takes keys while they come (`errors`
    // must last until IsOpeningStartFiles turns false). They join behind the first window as tabs in the
    // command line's order; when the last has come, the window that the command line's last file names becomes
    // the active one, unless the user has activated another window meanwhile.
    bool InitInstance(const std::vector<std::string>& files, std::ostream& errors, bool show = true);
    // Whether files of the command line are still waiting to be opened.
    bool IsOpeningStartFiles() const { return m_bOpeningStartFiles; }
    // Opens the waiting files at once (the event loop is not needed for them then).
    void FinishStartFiles();
    // The session kept (when the main window closes has not done it), then windows, documents, the database
    // and the settings store.
    int ExitInstance();

    // --- The session ------------------------------------------------------------------------------------------------
    // Keeps every window in the store as the last session: in window order, with its tab group (counted from the
    // left among the groups kept) and which one is active. Standard input and windows without a file are left
    // out. Called when the main window closes, before any window goes.
    void SaveSession();
    // Opens the last session's windows again, in their groups and order, each put back as it was, and activates
    // the one that was active. Files that no longer exist are skipped, which one notice names. With `asked`
    // (the user's command) a session none of whose files came back says so in a message box; at start, on the
    // error stream. The number of windows made.
    int ReopenLastSession(bool asked = true);
    // Restore Windows at Start (Session/RestoreAtStart): off at the first start, a change is kept at once.
    bool IsRestoreAtStart() const;
    void SetRestoreAtStart(bool on);

    CTextFileViewerMainFrame* GetMainFrame() const { return m_pMainFrame; }

    CFilePrefDatabase* GetDatabase() const { return m_pFilePrefDatabase.get(); }
    // The marks and the session, opened at start beside the preference database.
    CStateStore* GetStateStore() const { return m_pStateStore.get(); }
    // The settings store; valid from InitInstance to ExitInstance.
    IProfile& GetProfile() const;
    // The settings file behind the profile, for what is kept as lists (the named filter stacks); null when the
    // file is left alone.
    QSettings* GetSettings() const;
    // The highlight rules in force and their switches; null before the start.
    CHighlightSettings* GetHighlight() const { return m_pHighlight.get(); }
    const CRecentFileList& GetRecentFileList() const { return m_recentFiles; }

    // --- Documents ------------------------------------------------------------------------------------------------
    // Opens `path` as a document with a window, or activates the window of the document that has it open. Null
    // when the file cannot be opened, which one line on the standard error says (the program goes on with the
    // files it has). A document opened anew enters the recent-file list.
    CTextFileDoc* OpenDocumentFile(const std::string& path);
    // Runs a command line the user gave and shows its output in a window of its own (every run its own
    // document: never the recent files nor the session, which would run it again unasked). Null, with the
    // reason on the error stream and in a message box when there is a main frame, when it cannot be run.
    CTextFileDoc* OpenCommand(const std::string& command, std::string* reason = nullptr);
    // --rotated: the start files (InitInstance's) show their older parts with them, each as one log.
    void SetOpenRotated(bool on) { m_bOpenRotated = on; }
    // One window that shows the files merged by time (textwnd/MergedWnd.h), in the order given; a document of
    // its own, never found again by its first file's name. Null when any file cannot be merged: each such file
    // and why is on the error stream and in `reasons` ("PATH: why" each), and no window is made.
    CTextFileViewerChildFrame* OpenMerged(const std::vector<std::string>& paths,
                                          std::vector<std::string>* reasons = nullptr,
                                          std::vector<std::string>* failed = nullptr);
    // The systemd journal that `query` narrows, in a window of its own that follows new entries; `since` is
    // the first time as the user wrote it (for the title). Null, with the reason, when it cannot be read.
    CTextFileDoc* OpenJournal(const platform::JournalQuery& query, const std::string& since = {},
                              std::string* reason = nullptr);
    // The path a file is known by: the open document's path when it is open already (under any spelling), else
    // the absolute form of `path`.
    std::string DocumentPath(const std::string& path) const;
    std::vector<CTextFileDoc*> GetDocuments() const;
    const CDocTemplate* GetDocTemplate(const CTextFileDoc* doc) const;
    // The document type a path opens with: by extension, letter case aside; 135 for any other.
    const CDocTemplate* TemplateForPath(const std::string& path) const;
    // The windows of a document, in the order they were made.
    std::vector<CTextFileViewerChildFrame*> GetFrames(const CTextFileDoc* doc) const;
    // Another window on an open document; it becomes the active one. Null when it cannot be made.
    CTextFileViewerChildFrame* CreateFrame(CTextFileDoc* doc);
    // Closes every window of the document, and with the last one the document.
    void CloseDocument(CTextFileDoc* doc);

    // The context menu registered under `name` ("Edit": the text window's), or 0.
    int GetContextMenu(const std::string& name) const;

    // --- ICommandTarget: Open, the recent files and Exit ----------------------------------------------------
    bool OnCommand(int id) override;
    bool OnUpdateCommand(CCmdUI& ui) override;

signals:
    // The recent-file list changed (the ribbon's file menu shows it).
    void recentFilesChanged();
    // The last file of the command line has been opened (or skipped).
    void startFilesOpened();

private:
    struct COpenDocument {
        std::unique_ptr<CTextFileDoc> doc;
        const CDocTemplate* docTemplate = nullptr;
        bool bHasId = false;
        platform::FileId id;
        std::vector<CTextFileViewerChildFrame*> frames;
        bool bMerged = false;  // a merged window's: never found by its path
    };

    void PreLoadState();
    // Opens `path` as OpenDocumentFile does; with `activate` false the window it makes or finds is not activated.
    // The window is given back in `frame` (null when none).
    CTextFileDoc* OpenDocument(const std::string& path, bool activate, CTextFileViewerChildFrame** frame);
    // Opens `doc` by an ssh:// name; false, with the reason written to the errors, when it cannot.
    bool OpenSshDocument(CTextFileDoc& doc, const std::string& name);
    CTextFileViewerChildFrame* MakeFrame(CTextFileDoc* doc, bool activate);
    // One slice of the waiting start files: as many as open within a few milliseconds, at least one.
    void OpenStartFilesSlice();
    void OpenStateStore(std::ostream& errors);
    // The waiting files done with: the recent list written; `opened` (all of them opened, not abandoned at the
    // end): the last one's window activated and the news sent.
    void EndStartFiles(bool opened);
    // A window of a document has gone (its view with it): the document's list forgets it, the last takes the
    // document. Only its address is used: the window is no longer whole.
    void OnFrameDestroyed(const QObject* frame);
    COpenDocument* Find(const CTextFileDoc* doc);
    const COpenDocument* FindOpen(const std::string& absolutePath) const;
    void AddToRecentFileList(const std::string& path);
    void OpenRecentFile(int index);
    // The Open dialog: the chosen encoding goes into the file's record, then the file opens as a document.
    void OnFileOpen();
    // Open Merged: the chosen files in one merged window (or each in its own); a file that cannot be merged is
    // named with why, and offered to open on its own.
    void OnFileOpenMerged();
    // The About box, modal, with the version of this build's date.
    void OnAppAbout();
    // The code page of narrow text: the stored choice, else the locale's; a change is kept and redraws every
    // window at once, each keeping its top.
    void RestoreCodePage();
    void SetCodePage(platform::CodePage codePage);
    // Follow Name for every document: off at the first start, a change is kept at once.
    void RestoreFollowName();
    // Regular expressions in every window's searches: off at the first start, a change is kept at once and
    // given to every view; the find box's placeholder says when they are on.
    void SetRegularExpression(bool on);
    void ShowRegularExpression();
    void SetFollowName(bool follow);
    // The line-number gutter of every window: off at the first start, a change is kept and shown at once.
    void RestoreLineNumbers();
    void SetLineNumbers(bool shown);
    // The most bytes of text kept from a compressed log or standard input: Compressed/MaxBytes, else the default.
    void RestoreTextLimit();
    // The highlight commands: the two switches (kept, every window repainted) and the rule editor.
    bool OnHighlightCommand(int id);
    bool OnUpdateHighlightCommand(CCmdUI& ui);
    void EditHighlightRules();
    void RepaintWindows();
    // Numbers the windows of a document and gives their tabs their titles.
    void UpdateFrameTitles(COpenDocument& entry);

    std::unique_ptr<CQtProfile> m_pProfile;
    std::unique_ptr<CQtHighlightStore> m_pHighlightStore;
    std::unique_ptr<CHighlightSettings> m_pHighlight;
    CRecentFileList m_recentFiles;
    std::unique_ptr<CFilePrefDatabase> m_pFilePrefDatabase;
    std::unique_ptr<CStateStore> m_pStateStore;
    std::vector<std::unique_ptr<CDocTemplate>> m_templates;
    std::map<std::string, int> m_contextMenus;
    CTextFileViewerMainFrame* m_pMainFrame = nullptr;
    bool m_bRegularExpression = false;
    bool m_bOpenRotated = false;
    std::vector<COpenDocument> m_documents;
    std::ostream* m_pErrors;  // where a file that cannot be opened is said: the caller's stream at start-up
    // The start files still to open, next first, and the timer that opens them from the event loop.
    std::deque<std::string> m_startFiles;
    QTimer* m_pStartTimer = nullptr;
    bool m_bOpeningStartFiles = false;
    bool m_bInStartSlice = false;
    // The window the last start file opened or named so far, and the one active when the first had opened.
    QPointer<CTextFileViewerChildFrame> m_pStartLast;
    QPointer<CTextFileViewerChildFrame> m_pStartFirst;
    // The recent-file list is written once when the start files are in, not once per file.
    bool m_bRecentListUnsaved = false;
    // The session is kept once, at the first of the main window's close and the end.
    bool m_bSessionSaved = false;
};
