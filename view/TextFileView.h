// The view of one window on an open file. It draws nothing itself: it owns
// the text window that fills it, attaches the document's text and the file's
// display preferences to it, and carries every display command of the
// ribbon. Each command changes the text window and, in the same step, the
// file's record in the preference database, so the choice is remembered for
// that file at once. It also keeps the ribbon's font, size and colour
// controls showing the state of the active window, and stores that state as
// the defaults for files not seen before.
//
// Decisions worth knowing:
// - The defaults are never saved from a view whose file is not loaded yet:
//   its text window still has its initial state (Courier 8, grey on black),
//   which would otherwise replace the user's defaults at every opening.
// - Grow selects the first size entry above the window's size in points (as
//   the box shows it, without sign) and Shrink the last one below it; each is
//   enabled exactly while such an entry exists. Stepping the selected index
//   would go wrong whenever the shown size is no entry (13 points show "13"
//   with "14" selected). For the same reason a shown size that is no entry selects
//   the first entry above the size without its sign.
// - A font name typed and confirmed in the font box applies the entry of that
//   name, not whichever entry was selected before; a name that is no entry
//   shows a warning naming it.
// - A view loaded behind the active one saves the defaults but leaves the
//   ribbon and the focus to the active view.
// - Without a preference database the view works with an in-memory record.
// - The database and the profile come from the view's owner, never from
//   process-wide state: two views may keep their records in different places,
//   and a test gives a view its own without touching anyone else's.
// - A Find Dialog command while the view's Find dialog is open takes the find
//   text as the command does, shows it and the match-case setting in that
//   dialog and brings it forward: a view has one Find dialog at most.
// - A search over more than kBusySearchBytes of text shows the busy cursor,
//   keeps the windows painted and stops at Esc, saying so.
#pragma once

#include "file/SshName.h"
#include "file/TextFileDoc.h"
#include "platform/Window.h"
#include "textwnd/FileWnd.h"
#include "textwnd/MergedWnd.h"
#include "view/CommandTarget.h"
#include "view/FilePrefDatabase.h"
#include "view/StateStore.h"
#include "view/ViewHost.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

class CFileWnd;

// A size as a box shows it: white space at both ends removed, then a signed
// decimal number from the start (reading stops at the first other character;
// no digits give 0).
std::int32_t ParseFontSize(const std::u16string& text);
// The absolute value in decimal.
std::u16string FormatFontSize(std::int32_t size);

// The find box's history: the text moves to the head of the list (an entry
// equal to it, compared exactly, goes), with no limit on its length. Returns
// the text's index, 0.
int AddHistoryItem(IRibbonComboElement& box, const std::u16string& text);

// What a window says of its document's background reader: its progress while
// the text is not shown yet, and how it ended when that was not complete
// (empty otherwise); `error` tells an end that lost text from a warning.
std::string DescribeSourceProgress(const CStreamSource::Progress& p, bool pipe);
// The same for the systemd journal, and the title of its window: "Journal" and what the query chose.
std::string DescribeJournalProgress(const CStreamSource::Progress& p);
std::string JournalTitle(const platform::JournalQuery& query, const std::string& since);
std::string DescribeSourceEnd(const CStreamSource::Progress& p, bool& error);
// How an ssh document's connection ended, for the strip: `ended` with `status`, `errors` the last line ssh
// wrote to its standard error; or its output closed while ssh still runs.
std::string DescribeSshEnd(bool ended, int status, const std::string& errors);
// What an ssh document's window says until its text can be shown: the name and the bytes read so far.
std::string DescribeSshProgress(const CStreamSource::Progress& p, const std::string& name);
// What is wrong with an ssh:// name (sshname::Parse), as a reason after the name.
const char* SshNameProblemText(sshname::Problem problem);
// Why a file cannot be part of a merged window, as the user is told after its name.
const char* MergeFailureReason(CMergedWnd::Failure::Why why);

// The most characters the Find dialog's text holds.
inline constexpr std::size_t FIND_TEXT_MAX = 80;
// Searches over more text than this (bytes of the mapping) show the busy cursor.
inline constexpr std::int64_t kBusySearchBytes = std::int64_t{64} << 20;

// The setting that opens a log with older parts as one log with them (Include Rotated Parts).
inline constexpr const char* kIncludeRotatedSection = "Log";
inline constexpr const char* kIncludeRotatedEntry = "IncludeRotated";

class CTextFileView : public ICommandTarget, public platform::IMessageTarget, public IFileWndListener {
public:
    // `doc`, `host`, `database` and `profile` outlive the view. The owner hands in the preference database
    // (null: the view keeps an in-memory record) and the profile that holds the defaults, so that a view never
    // reaches for process-wide state.
    CTextFileView(CTextFileDoc* doc, IViewHost* host, CFilePrefDatabase* database, IProfile& profile);
    ~CTextFileView() override;
    CTextFileView(const CTextFileView&) = delete;
    CTextFileView& operator=(const CTextFileView&) = delete;

    // Window creation: makes the text window and posts the deferred load to
    // itself. False when the text window cannot be made.
    bool OnCreate();
    // Window destruction: saves the defaults (of a loaded file only) and
    // destroys the text window. A load still pending never happens.
    void OnDestroy();
    // The view's window became the active one (or stopped being it).
    void OnActivateView(bool bActivate);

    // Attaches the file's record and text to the text window; a file the
    // window refuses closes the view's frame. Runs once, from the posted message.
    void OnDeferredLoad();
    // Makes the ribbon show the text window's font, size and colours, gives
    // the window the focus and saves the defaults.
    void SyncRibbonControls();

    // The find box's text, moved to the head of its history and shown as its
    // caption; empty without a find box.
    std::u16string TakeFindText();
    // The Find dialog's Find Next: searches down or up with its text and
    // match case (which becomes the view's), then shows the text in the find
    // box, leaving the history as it is.
    void OnFindDialogNext(IFindDialog* dialog, const std::u16string& text, bool matchCase, bool down);
    // The Find dialog is closing: it goes, and the view forgets it.
    void OnFindDialogClosing(IFindDialog* dialog);
    bool IsMatchCase() const { return m_bMatchCase; }
    // Whether the searches take their text as a regular expression: the owner's choice for every window, given
    // to each view (and on to its text window and Find dialog). A pattern that does not compile searches nothing
    // and says why in the message strip and the find box's tooltip, until a search with a valid one.
    void SetRegularExpression(bool on);
    bool IsRegularExpression() const { return m_bRegularExpression; }

    // Rotation sets (TextFileViewRotation.cpp): the window shows its log's older parts and the log as one log.
    // At once when loaded, else once it loads; false when the log has no older parts (or cannot show them).
    bool ShowRotationSet();
    void RequestRotationSet();
    // How many older parts lay beside the log when it loaded.
    int RotatedPartsFound() const { return m_nRotatedParts; }

    bool OnCommand(int id) override;
    bool OnUpdateCommand(CCmdUI& ui) override;
    std::intptr_t HandleMessage(unsigned msg, std::uintptr_t wParam, std::intptr_t lParam) override;

    // Highlight rules that lines appended to the file matched: a window that is not the active one is marked; a
    // following window that stopped says why in its message strip.
    void OnRuleAlert(const std::string& rule) override;
    void OnFollowStopped(const std::string& rule) override;
    // The filter stack's scan found more: the "Scanning…" notice follows whether the window still shows lines
    // the scan has not reached, and whoever shows the counts hears of it.
    void OnShownSetNews() override;
    // The timeline's input (TextFileViewFilters.cpp). A click goes to the first record at or after `micros` as
    // Go to Time does; a drag makes [from, to] the filter stack's time range and turns Show Only Filtered on; a
    // double-click takes the range away.
    void OnTimelineTime(std::int64_t micros);
    void OnTimelineRange(std::int64_t from, std::int64_t to);
    void OnTimelineClear();
    // Called after each OnShownSetNews (the filter editor of the frame listens); one listener at a time.
    void SetShownSetNewsCallback(std::function<void()> callback) { m_onShownSetNews = std::move(callback); }

    // --- Marks and the session (TextFileViewSession.cpp) ----------------------------------------------------------
    // Where the marks of the view's file are kept (null: nowhere; they last as long as the window). Set before
    // the deferred load: the load hands the window the file's kept marks, shared with the file's other windows.
    void SetStore(CStateStore* store) { m_pStore = store; }
    // The window as a session keeps it: file, place, display, highlight (its group, filter and activity are the
    // frame's to fill in). Only meaningful once loaded.
    CWindowState CaptureState() const;
    // Puts the window back as `state` says, at once when loaded, else right after the deferred load: its
    // display, and its place unless the file changed since (then it shows the end, as when it was following).
    void RestoreState(const CWindowState& state);
    // Called once after the deferred load has shown the file (the frame restores its filter there).
    void SetLoadedCallback(std::function<void()> callback) { m_onLoaded = std::move(callback); }

    CTextFileDoc* GetDocument() const { return m_pDocument; }
    CFileWnd* GetFileWnd() const { return m_pFileWnd; }
    platform::HWND GetSafeHwnd() const { return m_hWnd; }
    // Whether the file is attached and shown.
    bool IsLoaded() const { return m_bLoaded; }
    // The file's record; null before the deferred load. Valid until the next database call.
    DisplayPreferences* GetPrefs() const;

private:
    void ApplyFontSize();
    void ApplyFontName();
    void OnFontDialog();
    // Grow (+1) or Shrink (-1): the size entry it selects, or -1 when there is none.
    int SizeStepTarget(int step);
    void ToggleStyle(int id);
    void SetTextCase(std::int32_t textCase);
    void SyncColor(int id, platform::COLORREF color);
    // The find commands (TextFileViewFind.cpp); false for other ids.
    bool OnFindCommand(int id);
    bool OnUpdateFindCommand(CCmdUI& ui);
    void OnFindDialog();
    // Go to Line and Go to Time (TextFileViewGoTo.cpp): each asks in a dialog, which stays open on a text the
    // window cannot take and says why.
    void OnGoToLine();
    void OnGoToTime();
    std::string TakeLineNumber(const std::string& typed);
    std::string TakeTime(const std::string& typed);
    // What a jump by time says in the message strip (a time before the first or after the last stamp).
    void ShowTimeJump(CFileWnd::TimeJump jump);
    // The name of the window's file came to name another file (TextFileViewSource.cpp).
    void OnFileReplaced();
    // Reopen: the document takes the file the name names now.
    void OnReopenFile();
    // The document's file was put in place of the old one: load it anew and show its end.
    void LoadReplacedFile();
    // The background reader made progress or ended.
    void OnSourceProgress();
    // After a load: the older parts of the log, shown at once (asked for, or Log/IncludeRotated) or offered.
    void OfferRotationSet();
    // What the message strip says of the compressed parts being read.
    void SayPartsProgress();
    void SayLateMergeFailures();
    // A journal's window (TextFileViewJournal.cpp): its own log format before the first load, and what it says
    // of the text (only the user's own entries, the oldest dropped at the limit).
    void PrepareJournalWindow();
    void SayJournalNews();
    void OnRunCommandAgain();
    // The file's kept marks given to the window, and what the store has to say.
    void AttachMarks();
    void ApplyState(const CWindowState& state);
    // The log format (TextFileViewRecords.cpp): the file's kept choice given to the window at load, the Format
    // drop-down filled with the window's formats and choice, and a choice from it applied and kept.
    void ApplyKeptFormat();
    void SyncRecordFormat();
    // The format that the drop-down's Automatic entry names: a file that grows may show its format only later.
    const logformat::CFormat* m_pSyncedDetected = nullptr;
    void OnRecordFormat();
    // Toggle Mark (the line under the pointer, else the top line), Next Mark and Previous Mark; a wrap or a
    // window without marks says so in the message strip.
    void OnMarkCommand(int id);
    // --- Mark Note and Save Lines (TextFileViewMarks.cpp) ---------------------------------------------------------
    // The start of the line a mark command means: the one under the pointer (or where the context menu was
    // opened), else the top line; kNoPos without text.
    TextPos MarkTarget();
    // Asks for the note of that line's mark, marking the line first; Cancel leaves the marks as they were.
    void OnMarkNote();
    // Writes the marked lines, the filter pane's listed lines or the selection to a file the user names; what
    // came of it is told in the message strip (a viewed file refused, a failure, the count saved).
    void OnSaveLines();
    // --- The filter stack (TextFileViewFilters.cpp) --------------------------------------------------------------
    void OnShowOnlyFiltered();
    // Shows "Scanning…" in the message strip while the window scans ahead, and takes it back when it is done.
    void SyncScanningNotice();
    // One search of the text window with the view's match case.
    void Search(int (CFileWnd::*find)(bool, const std::u16string&), const std::u16string& text);
    // Tells of the text window's pattern error after a search, or takes back what an earlier one told.
    void ShowPatternError();

    CTextFileDoc* m_pDocument;
    IViewHost* m_pHost;
    CFilePrefDatabase* m_pDatabase;
    IProfile& m_profile;
    CFileWnd* m_pFileWnd = nullptr;  // owned by the host's window
    platform::HWND m_hWnd = 0;
    bool m_bLoaded = false;
    CPrefRecordRef m_prefs;
    // The record when there is no database object at all.
    std::unique_ptr<DisplayPreferences> m_pOwnPrefs;
    IFindDialog* m_pFindDialog = nullptr;  // the open Find dialog of this view
    bool m_bSearched = false;              // a Find has run: Find Next and Previous stay enabled
    bool m_bMatchCase = false;
    bool m_bSourceEndShown = false;            // how the background reader ended was said
    bool m_bJournalOwnShown = false;           // the strip said that only the user's own entries are there
    bool m_bJournalEmptyShown = false;         // the strip says that no entry matches (until one comes)
    std::uint64_t m_nJournalRestartsSaid = 0;  // the times the journal's oldest entries went that were said
    bool m_bTimeMessageShown = false;          // the strip says where Go to Time's last time lay
    bool m_bRegularExpression = false;
    bool m_bPatternErrorShown = false;  // the message strip tells of an invalid pattern
    std::uint32_t m_nReplacesSeen = 0;  // the document's switches to another file this window has loaded
    CStateStore* m_pStore = nullptr;
    std::optional<CWindowState> m_pendingState;
    std::function<void()> m_onLoaded;
    std::function<void()> m_onShownSetNews;
    bool m_bScanningShown = false;         // the message strip says "Scanning…"
    std::uint64_t m_nScanningMessage = 0;  // the number of that message
    int m_nRotatedParts = 0;               // older parts found beside the log at its load
    bool m_bRotationWanted = false;        // the set shown as soon as the log loads
    bool m_bRotationOffered = false;       // the strip offers the set (and is hidden once it is shown)
    std::uint64_t m_nPartsMessage = 0;     // the number of the strip's message of the parts being read
};
