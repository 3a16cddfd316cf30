// The text window: derives every screenful from one top position in the
// mapped bytes, never counting the lines of the file.
//
// Positions are byte offsets from the start of the mapping (not addresses):
// several windows share one mapped file, and a reload in any of them moves
// the view. kNoPos ("none") compares below every position. Every read is
// bounded by the mapping as it is now (see SyncWithMapping). The rules of
// lines are the line model's (textwnd/LineModel.h); the window steps through
// it, bounded by its last screenful, and keeps what it has met.
#pragma once

#include "engine/AlertScan.h"
#include "engine/ChunkReader.h"
#include "engine/HighlightRules.h"
#include "engine/LineIndex.h"
#include "engine/LogFormat.h"
#include "engine/LogRecords.h"
#include "engine/RecordSummaries.h"
#include "engine/RegexSearch.h"
#include "engine/ScanReader.h"
#include "engine/ShownSet.h"
#include "engine/TimeSeek.h"
#include "file/Encoding.h"
#include "file/MemoryMappedFile.h"
#include "platform/CodePage.h"
#include "platform/Types.h"
#include "platform/Window.h"
#include "textwnd/FileWndPort.h"
#include "textwnd/LineModel.h"
#include "textwnd/Marks.h"
#include "textwnd/Utf8Lines.h"

#include <algorithm>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class CFileWatcher;
class CMergedWnd;

// What the window tells its owner of the highlight rules that appended text matched.
class IFileWndListener {
public:
    virtual ~IFileWndListener() = default;
    // A line that the file's growth completed or added matches alert rule `rule` (the first such rule).
    virtual void OnRuleAlert(const std::string& rule) = 0;
    // The window was following the end and stopped at a line that matches stop rule `rule`.
    virtual void OnFollowStopped(const std::string& rule) = 0;
    // The scan of the filter stack found more (counts, shown lines) or reached the end.
    virtual void OnShownSetNews() {}
};

enum TextCase : std::int32_t {
    TextCaseOriginal = 0,
    TextCaseUpper = 1,
    TextCaseLower = 2,
    TextCaseSentence = 3,
};

class CFileWnd : public platform::IMessageTarget {
public:
    explicit CFileWnd(IFileWndPort* port);
    ~CFileWnd() override;
    CFileWnd(const CFileWnd&) = delete;
    CFileWnd& operator=(const CFileWnd&) = delete;

    platform::HWND GetSafeHwnd() const { return m_hWnd; }

    // --- Text source -------------------------------------------------------
    // Attaches `mapping` (a new one), or reloads the one held when null.
    bool LoadFile(CMemoryMappedFile* mapping, std::int32_t requestedEncoding);
    std::int32_t DetectEncoding(std::int32_t requestedEncoding);
    TextPos DataStart() const;  // kNoPos without text
    TextPos DataEnd() const;    // kNoPos without text; on the code-unit grid
    unsigned CodeUnitSize();
    std::uint64_t CharacterCount();
    TextPos LastPageTop();
    bool HasText() const;
    // Character index of a position, for status texts and the driver.
    std::int64_t CharIndex(TextPos p) const;
    const std::uint8_t* ViewBytes() const;  // the live view, or null

    // --- Fonts ----------------------------------------------------------------
    bool SetLogFont(const platform::LOGFONTW& font);
    void SetFontPoints(std::int32_t points);
    std::int32_t GetFontPoints();
    void SetFontFace(const char16_t* face, std::uint8_t charSet, std::uint8_t pitchAndFamily);
    void RemeasureFont();
    int GetLineHeight();
    int GetCharWidth();

    // --- Line model -----------------------------------------------------------
    bool NextLineStart(TextPos& p);
    bool PrevLineStart(TextPos& p);
    TextPos LineStartOf(TextPos p);
    TextPos LineLastOf(TextPos p);
    // Reads one display line from p (tabs expanded, break excluded) and
    // advances p past it. Narrow text fills `narrow` under Windows-1252 and
    // `wide` under UTF-8 (decoded: see CUtf8LineReader), UTF-16 fills `wide`
    // (host byte order); under UTF-8 the counts are display columns. At most `maxChars` characters are stored, from
    // `columns->firstColumn` on; the rest of the line is still stepped over
    // and counted. `columns`, when given, asks for more and receives it.
    void ReadLine(TextPos& p, std::string* narrow, std::u16string* wide, std::size_t maxChars = SIZE_MAX,
                  LineColumns* columns = nullptr);
    // A line of `columns` display columns (its break counted as its units) was read.
    void NoteLineLength(std::int64_t columns);

    // --- Window messages --------------------------------------------------------
    void OnSize(int cx, int cy);
    void OnPaint(IFilePainter& painter);
    void OnVScroll(int code);
    void OnHScroll(int code, std::int64_t thumb = 0);
    void OnKeyDown(unsigned virtualKey);
    bool OnMouseWheel(int delta);
    void OnMouseHWheel(int delta);
    void OnLButtonDown();
    void OnMouseMove();
    void OnLButtonUp();
    void OnDestroy();
    std::intptr_t OnFileChanged(std::uintptr_t wParam, std::intptr_t lParam);
    std::intptr_t HandleMessage(unsigned msg, std::uintptr_t wParam, std::intptr_t lParam) override;

    void ScrollLines(int n);
    void UpdateScrollPositions();

    // --- Painting ---------------------------------------------------------------
    void ApplyTextCase(std::string& segment);
    void ApplyTextCase(std::u16string& segment);
    // Narrow text decoded from UTF-8 (UTF-16, host order): the mappings that
    // keep a character's UTF-8 length (Utf8Text.h), surrogate pairs whole.
    void ApplyTextCaseDecoded(std::u16string& segment);
    bool IsHighlighted(TextPos p) const;

    // --- Search -----------------------------------------------------------------
    int FindFirst(bool ignoreCase, const std::u16string& text);
    int FindNext(bool ignoreCase, const std::u16string& text);
    int FindPrevious(bool ignoreCase, const std::u16string& text);
    void SetHighlight(TextPos p, std::int64_t length);
    TextPos SearchForward(const std::u16string& text, TextPos from, TextPos to);
    TextPos SearchBackward(const std::u16string& text, TextPos from, TextPos to);
    void ShowMatch(TextPos m, std::int64_t length);
    // With regular expressions on, the three searches take their text as a
    // pattern (engine/RegexSearch.h): the match length L of their rules is
    // the last match's. An invalid pattern searches nothing: the searches
    // return 2 and GetPatternError says why.
    void SetRegularExpression(bool on) { m_bFindRegex = on; }
    bool IsRegularExpression() const { return m_bFindRegex; }
    const std::string& GetPatternError() const { return m_strPatternError; }
    // A long search can be stopped: `poll` is called on the searching thread
    // before each chunk it reads, and CancelSearch (from there or any thread)
    // ends the search under way; it then returns 3, finds nothing, and keeps
    // the highlight and the position as they were. The next search starts
    // afresh.
    void SetSearchPoll(std::function<void()> poll) { m_scanReader.SetPoll(std::move(poll)); }
    void CancelSearch() { m_bSearchCancel.store(true, std::memory_order_relaxed); }

    // --- Line numbers (engine/LineIndex.h) --------------------------------------
    // Whether the lines are counted in the background as soon as a file is
    // loaded (the viewer) or only when a number is asked for (scripts).
    void SetCountLines(bool background);
    // The index of the text, or null without text.
    CLineIndex* GetLineIndex() const { return m_pLineIndex.get(); }
    // The line of p, or -1 while the lines up to p are not counted yet.
    std::int64_t LineNumberOf(TextPos p);
    // The number of each row the last paint drew (the partial last one included): -1
    // while not counted, 0 for a row without a line of its own (past the end,
    // or repeating the row above on a NUL).
    std::vector<std::int64_t> RowLineNumbers();
    // Shows line n (from 1, or counted from the end: -1 is the last line) as
    // the top row, never past the last screenful; false when there is no such line.
    bool GoToLine(std::int64_t n);
    // Shows the line that starts at p as the top row, within the same bounds.
    void ShowLineAt(TextPos p);

    // --- Marks (textwnd/Marks.h) ---------------------------------------------------
    // The window's marks: a list of its own until its owner hands it the list that every window on the file
    // shares. A truncation that the window notices drops the marks past the new end.
    CMarkList& Marks() { return *m_pMarks; }
    const std::shared_ptr<CMarkList>& SharedMarks() const { return m_pMarks; }
    void SetMarks(std::shared_ptr<CMarkList> marks);
    // Marks the line that holds p, or takes its mark away; true when it is marked afterwards. Nothing past the
    // last line is marked.
    bool ToggleMark(TextPos p);
    // Shows the next (previous) marked line as the top row, going round after the last (first) one. A jump
    // that the last screenful held back goes on from the mark it showed, not from the top.
    enum class MarkJump { NoMarks, Shown, Wrapped };
    MarkJump GoToMark(bool forward);
    // Shows the marked line that starts at `mark` as the top row, as a jump to it would: the next jump goes on
    // from it.
    void ShowMark(TextPos mark);
    // Where each row of the last paint began (the gutter's dots: a row whose start is marked).
    const std::vector<TextPos>& PaintedRowStarts() const { return m_paintedRowStarts; }
    // The line model, for readers of whole lines (Save Lines).
    const CLineModel& Lines() const { return m_lines; }

    // --- Go to Time (engine/TimeSeek.h) --------------------------------------------
    // The stamp format of the text, found from its first and last lines (kept
    // until the next load).
    timeseek::StampFormat TimeStampFormat();
    enum class TimeJump { Shown, BeforeFirst, AfterLast, NoTimestamps, BadTime };
    // Shows the first line stamped at or after `text` (as ParseUserTime reads
    // it) as the top row: the first line when the time is before the first
    // stamp, the last screenful when it is after the last.
    TimeJump GoToTime(const std::string& text);
    // The log format of the text (engine/LogFormat.h) among CurrentFormats(),
    // found from its first and last 64 KiB, again when the file is replaced or
    // cut; null when none.
    // Go to Time reads stamps as it does when there is one.
    // A format the user chose (by name, among CurrentFormats()) stands in its place; a name that names no
    // format leaves the one found.
    const logformat::CFormat* RecordFormat();
    // The format found from the text, whatever the user chose.
    const logformat::CFormat* DetectedFormat();
    // A format of the document's own (the journal's, whose levels are kept beside its text): it stands in
    // place of the chosen and the found ones for as long as the window lives. Set before the first load.
    void SetOwnFormat(std::shared_ptr<const logformat::CFormat> format) { m_pOwnFormat = std::move(format); }
    // What a row's tooltip says, from the start of the line it shows (the journal's entry fields); none set,
    // or an empty answer: no tooltip.
    void SetRowTipSource(std::function<std::string(TextPos lineStart)> source) { m_rowTips = std::move(source); }
    // The tooltip of the painted row `row` (0 at the top); empty when there is none.
    std::string RowTip(int row);
    // The user's choice of format by name; empty: the one found. Applies at once: painting by level, Go to
    // Time and the records read the new format.
    void SetChosenFormat(const std::string& name);
    // The chosen format when its name names one, else null.
    const logformat::CFormat* ChosenFormat();
    // The record of the top row: its time and level (none without a format, or before the first record).
    // Kept for the top it was read at: the status bar asks at every idle moment.
    logformat::Record TopRecord();
    // Whether Go to Time finds stamps: by the log format or by a stamp format.
    bool HasTimeStamps() { return RecordFormat() || TimeStampFormat() != timeseek::StampFormat::None; }
    // What a stamp without a year takes it from: the file's modification time.
    timeseek::StampContext StampContextOfFile() const;
    // Shows the first line stamped at or after `micros` as GoToTime does with a time it has read.
    TimeJump GoToMicros(std::int64_t micros);

    // --- Record summaries (engine/RecordSummaries.h, FileWndSummaries.cpp) ------------------------------------
    // While the text has a log format, a pass summarises its records block by block in the background (the
    // timeline reads it): started when a format becomes known, told the new end at each reload, made anew for
    // another format or another file, stopped before the mapping goes. Its news repaints the window and tells
    // the port (SummariesNews). Null without a format, and while nothing wants them: a pass over a whole
    // multi-gigabyte log is not spent on a window whose timeline nobody shows.
    const logformat::CRecordSummaries* GetRecordSummaries() const { return m_pSummaries.get(); }
    // Whether something shows the summaries (the timeline band, a script); off drops a running pass.
    void SetSummariesWanted(bool on);
    // Waits until the pass has summarised the text as far as it was last told (scripts, tests).
    void WaitRecordSummaries();
    // The time a position stands at as the summaries see it: read off the span of the block that holds it, in
    // proportion to the position's place in that block (false when no summarised block there has records).
    // The timeline frames what the window shows with it, reading nothing of the file.
    bool SummarisedTimeAt(TextPos p, std::int64_t& micros) const;

    // --- Filter stack (engine/ShownSet.h, FileWndFilter.cpp) ------------------------------
    // The window's stack of rules and conditions. A stack that can hide a line is scanned in the background
    // whether or not the window applies it, so that its counts are known; setting it scans afresh.
    void SetFilterStack(const shownset::FilterStack& stack);
    const shownset::FilterStack& GetFilterStack() const { return m_filterStack; }
    // Whether the window shows only the lines the stack shows. Turned on, the top moves to the first shown
    // line at or after it; off, the window shows every line again from the same top line.
    void SetShowOnlyFiltered(bool on);
    bool IsShowOnlyFiltered() const { return m_bShowOnlyFiltered; }
    // Whether the window hides lines now: Show Only Filtered with a stack that hides.
    bool IsFiltering() const { return m_bShowOnlyFiltered && m_pShown != nullptr; }
    // Whether the rows shown are filtered: this window's own, or a merged window's files' shown lines.
    bool IsFilteringRows() const;
    // What the scan has found so far (an empty status without a scan).
    shownset::ShownStatus GetShownStatus() const;
    // The scan, for readers of its runs; null without one.
    const shownset::CShownSet* GetShownSet() const { return m_pShown.get(); }
    // Waits until the scan has reached the data's end and takes in what it found (scripts, tests).
    void WaitShownSet();
    // A scan of this window's text with `stack`, apart from the window's own (a list across windows): it
    // reads through a descriptor of its own and holds the format it reads records with, so it may outlive
    // the window. `notify` is called as the scan's news is (from its thread: it must only post). Empty
    // without text or for a stack that hides nothing.
    struct DetachedShownSet {
        std::shared_ptr<const logformat::CFormatSet> formats, chosen;  // keep the format alive, so go last
        std::unique_ptr<shownset::CShownSet> set;
        TextPos end = kNoPos;  // the data's end the scan was told
        platform::FileId fileId{};
    };
    DetachedShownSet StartDetachedShownSet(const shownset::FilterStack& stack, std::function<void()> notify);
    // Whether the window shows lines the scan has not reached yet (the "Scanning…" notice).
    bool IsScanningAhead() const;
    // Of the rows of the last paint (as PaintedRowStarts): whether each follows hidden lines (a rule is drawn
    // above it) and whether it is a context line.
    bool RowFollowsHidden(TextPos rowStart) const;
    bool RowIsContext(TextPos rowStart) const;

    // --- Merged windows (textwnd/MergedWnd.h) ------------------------------------------
    // The window shows the rows of several logs by time (the merge's files, opened by the caller) instead of
    // its own file's lines: painting, scrolling, copy, line numbers and the jumps go to the merge.
    void SetMerged(std::unique_ptr<CMergedWnd> merged);
    CMergedWnd* GetMerged() const { return m_pMerged.get(); }
    // The window of the top row's file, its top at that row, while merged (the status panes show that file);
    // this window otherwise.
    CFileWnd* TopRowWindow();

    // --- Clipboard ----------------------------------------------------------------
    void CopyScreenToClipboard();

    // --- Selection (FileWndSelect.cpp) --------------------------------------------
    // Two positions, where it began (the anchor) and where it ends now (the
    // caret), each on a character boundary as the window draws the text (a
    // UTF-16 surrogate pair, a UTF-8 sequence under the UTF-8 code page and a
    // CR LF pair are never cut). Byte offsets like every kept position, so it
    // stays on its text through scrolling, following and a change of font; a
    // truncation before its end or another file drops it.
    // The boundary nearest to pixel (x, y) of the client area on the row it
    // lies on, as the rows are painted (offset, tabs, wide characters); above
    // the first row the first row, below the last the last; past a line's end
    // the end of its text. kNoPos without text.
    TextPos PositionAt(int x, int y);
    // Selects from anchor to caret; the lower end is moved back to a boundary,
    // the upper one on. Equal ends: no selection, but an anchor to extend from.
    void SetSelection(TextPos anchor, TextPos caret);
    // Moves the caret, keeping the anchor (none: the anchor is set there).
    void ExtendSelection(TextPos caret);
    // The word at p (letters, digits and '_'), a run of blanks, or the one other character there.
    void SelectWord(TextPos p);
    // The line that holds p with its break.
    void SelectLine(TextPos p);
    void ClearSelection();
    bool HasSelection() const { return m_pSelAnchor != kNoPos && m_pSelAnchor != m_pSelCaret; }
    TextPos GetSelectionAnchor() const { return m_pSelAnchor; }
    TextPos GetSelectionCaret() const { return m_pSelCaret; }
    TextPos GetSelectionStart() const { return std::min(m_pSelAnchor, m_pSelCaret); }
    TextPos GetSelectionEnd() const { return std::max(m_pSelAnchor, m_pSelCaret); }
    std::uint64_t SelectionBytes() const;
    // Above this a copy asks first.
    static constexpr std::uint64_t kLargeSelectionBytes = std::uint64_t(64) << 20;
    // The selected bytes, decoded as Copy Screen decodes the screen.
    void CopySelectionToClipboard();
    // Ctrl+C: the selection when there is one, else the screen.
    void CopyToClipboard();
    // Hands the selection to the window system's primary selection (up to kLargeSelectionBytes).
    void PublishSelection();

    // --- Code page of narrow text (platform/CodePage.h) ---------------------------
    // A new window takes the process-wide choice. A change measures the
    // horizontal range afresh, highlights the last match again as the new
    // code page reads it (or no longer), keeps the top and repaints.
    platform::CodePage GetCodePage() const { return m_nCodePage; }
    void SetCodePage(platform::CodePage codePage);
    // Takes the process-wide choice: the shell calls it on every window after
    // platform::SetAnsiCodePage.
    void OnCodePageChanged() { SetCodePage(platform::AnsiCodePage()); }
    // Whether narrow text is decoded from UTF-8 (the code page is UTF-8 and the file is not UTF-16).
    bool DecodesUtf8() const;

    // --- Display state: written as the view writes it, then repainted -----------
    void SetFontColor(platform::COLORREF color);
    void SetPageColor(platform::COLORREF color);
    void SetTextCase(std::int32_t textCase);
    // A full repaint, for a caller that changed the font through SetLogFont
    // (which repaints only when the metrics change).
    void Invalidate();
    // Who hears of alerts and stops (null: nobody); it outlives the window or is reset first.
    void SetListener(IFileWndListener* listener) { m_pListener = listener; }
    // Following was stopped by a stop rule, and the end has not been shown since.
    bool IsFollowStopped() const { return m_bFollowStopped; }
    // Whether LoadFile starts a watcher (the driver and tests turn it off);
    // takes effect at the next load of a new mapping.
    void SetWatchFile(bool watch) { m_bWatchFile = watch; }
    bool IsWatchingFile() const { return m_bWatchFile; }
    // The window told when the name of the file comes to name another file
    // (WM_FILE_REPLACED is passed on to it): the view, which decides with its
    // document what to do. 0: nobody is told.
    void SetNotifyWindow(platform::HWND hwnd) { m_hNotify = hwnd; }

    // --- Read-only state, for the status bar, the driver and the tests ----------
    const platform::LOGFONTW& GetLogFont() const { return m_logFont; }
    platform::COLORREF GetFontColor() const { return m_crFont; }
    platform::COLORREF GetPageColor() const { return m_crPage; }
    std::int32_t GetTextCase() const { return m_nTextCase; }
    TextPos GetTop() const { return m_pTop; }
    // The cached last page top, kNoPos when not computed yet (LastPageTop computes it).
    TextPos GetLastPageTopCache() const { return m_pLastPageTop; }
    std::int32_t GetEncoding() const { return m_nEncoding; }
    std::uint32_t GetBomLength() const { return m_nBomLength; }
    // The break units of a UTF-16 file as the host loads them from its bytes.
    std::uint16_t GetCRUnit() const { return m_lines.CRUnit(); }
    std::uint16_t GetLFUnit() const { return m_lines.LFUnit(); }
    std::int64_t GetHorzOffset() const { return m_nHorzOffset; }
    std::int64_t GetLongestLine() const { return m_nLongestLine; }
    int GetColumns() const { return m_nColumns; }
    TextPos GetHighlightStart() const { return m_pHighlightStart; }
    TextPos GetHighlightEnd() const { return m_pHighlightEnd; }
    TextPos GetFindAnchor() const { return m_pFindAnchor; }
    TextPos GetLastMatch() const { return m_pLastMatch; }
    const std::u16string& GetFindText() const { return m_strFind; }
    bool IsFindNoCase() const { return m_bFindNoCase; }
    CMemoryMappedFile* GetMappedFile() const { return m_pMappedFile; }
    // The watcher of the file, or null when the window does not follow it.
    const CFileWatcher* GetWatcher() const { return m_pWatcher.get(); }

    // For another view of this text that paints single lines in the window's colours (the filter pane): the
    // rule of each of `columns` columns from `hoff` of the line at `lineStart` as ReadLine measured it into
    // `c` (-1: none), and the colours rule `i` shows in this window. False when no rule covers a column.
    bool LineRuleColumns(const CHighlightRules& rules, TextPos lineStart, const LineColumns& c, std::int64_t hoff,
                         std::size_t columns, std::vector<int>& out);
    std::pair<platform::COLORREF, platform::COLORREF> RuleColors(const HighlightRule& rule) const;

private:
    int MeasureFont();
    std::uint64_t LiveSize() const;
    int VisibleLines();
    // Sentence state after the characters of [from, to) that a row could not
    // hold (they are drawn past the right edge and still count).
    bool SentenceStateAfter(TextPos from, TextPos to, bool state) const;
    std::int64_t BeginSearch(bool ignoreCase, const std::u16string& text, bool restart);
    int ConcludeSearch(TextPos m, std::int64_t length);
    // The pattern of `text` for this window's encoding, compiled when any of
    // them changed.
    const regexsearch::CPattern& Pattern(const std::u16string& text);
    TextPos Search(const std::u16string& text, TextPos from, TextPos to, bool forward);
    // The search of the whole text, shown or not.
    TextPos SearchText(const std::u16string& text, TextPos from, TextPos to, bool forward);
    // The reader of long scans, over the mapped file's descriptor.
    CScanReader& Reader();

    // Highlight rules (FileWndRules.cpp). The rule text of [from, to) of the
    // line at lineStart as UTF-8 in m_ruleText, and in m_ruleCols the display
    // column of each of its bytes (one more entry: the column after it).
    void BuildRuleText(TextPos lineStart, TextPos from, TextPos exactFrom, std::int64_t exactColumn, TextPos to);
    // The rule of each of `columns` columns from `hoff` of the row just read into m_rowRules (-1: none);
    // whether any column has one.
    template <typename Draw>
    void DrawRuledRow(Draw& draw, std::size_t total, const std::u16string* decoded, const std::int64_t (&edges)[2],
                      const std::int64_t (&sel)[2], int cw, int left, const std::vector<HighlightRule>& rules);
    // Whether the rules colour records by level here (a text whose format gives levels, a set that colours
    // by level); then the records' reader is ready for RowRules, fresh from the file as it now is.
    bool PrepareLevels(const CHighlightRules& rules);
    bool RowRules(const CHighlightRules& rules, TextPos rowStart, const LineColumns& c, std::int64_t hoff,
                  std::size_t columns);
    struct StopMatch {
        TextPos line = kNoPos, begin = kNoPos, end = kNoPos;
        int rule = -1;
    };
    // The first alert rule that the lines from the one holding oldEnd match, or -1; the first stop match.
    int MatchAppended(const CHighlightRules& rules, TextPos oldEnd, StopMatch& stop);
    TextPos SourceOffset(TextPos from, std::size_t at) const;
    // After a reload that grew the data past oldEnd: tells the listener and stops following on a stop rule. A
    // window on a file of its own hands the matching to a worker (whose news come as WM_RULES_MATCHED), so that
    // text arriving at any rate never holds up the window; one over memory alone matches here.
    void CheckAppended(TextPos oldEnd, bool following);
    void StopAt(const StopMatch& stop, const CHighlightRules& rules);
    // The worker for the rules in force, started afresh when they, the file or the text's form changed; null
    // when the window has no descriptor to read through or no rule can be matched there.
    linefilter::CAlertScanner* AlertScanner(const std::shared_ptr<const CHighlightRules>& rules);
    void OnRulesMatched();

    // Selection (FileWndSelect.cpp): p brought to a character boundary, down or up.
    TextPos SnapToCharacter(TextPos p, bool up);
    // The character at q as drawn and where the next one starts.
    char32_t DrawnCharAt(TextPos q, TextPos& next) const;
    // The clipboard block of the n bytes from `from` as Copy Screen makes it; false when memory ran out.
    bool ClipboardBlock(TextPos from, std::uint64_t n, std::vector<std::uint8_t>& block, unsigned& format);
    void PutOnClipboard(TextPos from, std::uint64_t n);
    void PutBlockOnClipboard(unsigned format, std::vector<std::uint8_t> block);

    // Reads the lines on screen as painting does, so that the horizontal range
    // covers them, and brings the offset within that range.
    void KeepHorzOffsetInRange();
    // Brings every kept position within the mapping as it is now, after
    // another window on the same file re-mapped it smaller (or lost it).
    void SyncWithMapping();
    // Makes (fresh) or brings up to date the line index of the text.
    void AttachLineIndex(bool fresh);

    // The filter stack (FileWndFilter.cpp). The scan started afresh (fresh) or told where the data ends now.
    void SyncShownSet(bool fresh);
    void OnShownSetNews();
    // The record summaries made anew (fresh, or for another format) or told where the data ends now.
    void SyncSummaries(bool fresh);
    // Of the filtered rows: the first shown line at or after the line start p (DataEnd when none is known),
    // and the end of the last shown line before p (kNoPos when none). Where the scan has not reached, the
    // window scans ahead by itself within the budget of the input being handled.
    TextPos NextShown(TextPos p);
    TextPos PrevShownEnd(TextPos p);
    // Where the scan's runs are final: the data's end once it is idle.
    TextPos ShownFinalTo() const;
    // A filtered top kept within the last screenful once the scan is over.
    TextPos ClampShownTop(TextPos p);
    // Whether the top is the last screenful as a following window keeps it (a provisional one only when put there).
    bool FollowsEnd() const;
    // The scan-ahead budget of one key press, scroll or paint.
    void BeginInput() { m_nAheadLeft = kAheadBudget; }
    // After a row read from p: p moved on to the next row's start (the next shown line when filtering).
    void StepRow(TextPos& p);
    static constexpr std::int64_t kAheadBudget = std::int64_t{8} << 20;

    // Tests, the fuzzer and the benchmarks start from states that the window
    // reaches only through a long way round (a top inside a line, an offset kept
    // after a widening, a highlight ending inside a unit); product code never uses it.
    friend class CFileWndTestAccess;
    // The merge reads its files' windows as this class does (their lines, copy blocks, tops).
    friend class CMergedWnd;

    // First, so that it outlives every worker that reads with it.
    std::shared_ptr<const logformat::CFormat> m_pOwnFormat;
    std::function<std::string(TextPos)> m_rowTips;
    platform::LOGFONTW m_logFont{};
    platform::COLORREF m_crPage = platform::Rgb(0, 0, 0);
    platform::COLORREF m_crFont = platform::Rgb(192, 192, 192);
    std::int64_t m_nHorzOffset = 0;
    int m_nLineHeight = 0;
    int m_nCharWidth = 0;
    int m_nColumns = 0;
    TextPos m_pHighlightStart = kNoPos;
    TextPos m_pHighlightEnd = kNoPos;
    TextPos m_pSelAnchor = kNoPos;  // the selection: where it began (kNoPos: none)
    TextPos m_pSelCaret = kNoPos;   // and where it ends now
    bool m_bPainted = false;
    bool m_bSentenceStart = true;
    CMemoryMappedFile* m_pMappedFile = nullptr;
    std::unique_ptr<CFileWatcher> m_pWatcher;
    platform::HWND m_hNotify = 0;
    TextPos m_pTop = kNoPos;
    TextPos m_pLastPageTop = kNoPos;
    std::int32_t m_nEncoding = EncodingNone;
    std::uint32_t m_nBomLength = 0;
    std::int32_t m_nTextCase = TextCaseOriginal;
    std::int64_t m_nLongestLine = 0;
    std::u16string m_strFind;
    TextPos m_pFindAnchor = kNoPos;
    TextPos m_pLastMatch = kNoPos;
    bool m_bFindNoCase = false;
    bool m_bWatchFile = true;
    bool m_bFindRegex = false;
    std::int64_t m_nMatchUnits = 0;  // length of the last regular-expression match
    std::int64_t m_nFoundUnits = 0;  // length of what the last SearchForward/Backward found
    std::unique_ptr<regexsearch::CPattern> m_pPattern;
    std::u16string m_strPattern;
    bool m_bPatternNoCase = false;
    std::int32_t m_nPatternEncoding = EncodingNone;
    platform::CodePage m_nPatternCodePage = platform::CodePage::Windows1252;
    std::string m_strPatternError;
    CScanReader m_scanReader;
    std::atomic<bool> m_bSearchCancel{false};

    IFileWndPort* m_pPort;
    platform::HWND m_hWnd = 0;
    std::uint64_t m_nSeenSize = 0;  // mapped size at the last sync
    CLineModel m_lines;             // the text as lines: the mapping, the mark, the encoding
    platform::CodePage m_nCodePage = platform::AnsiCodePage();
    bool m_bCountLines = false;
    std::unique_ptr<CLineIndex> m_pLineIndex;
    bool m_bStampFormatKnown = false;  // m_nStampFormat found since the last load
    // The log format, found again only for another file, another encoding, a
    // cut, or (while none is found) a file that has doubled since: a growing
    // log costs no detection at every reload.
    bool m_bRecordFormatKnown = false;
    std::int64_t m_nRecordFormatSize = 0;  // the data's size when it was found
    std::int32_t m_nRecordFormatEncoding = EncodingNone;
    std::shared_ptr<const logformat::CFormatSet> m_pFormats;  // keeps m_pRecordFormat alive
    const logformat::CFormat* m_pRecordFormat = nullptr;
    std::string m_strChosenFormat;
    std::shared_ptr<const logformat::CFormatSet> m_pChosenFormats;  // keeps the chosen format alive
    // The top row's record as last read, and what it was read for.
    logformat::Record m_topRecord;
    TextPos m_pTopRecordAt = kNoPos;
    TextPos m_pTopRecordEnd = kNoPos;
    const logformat::CFormat* m_pTopRecordFormat = nullptr;
    // The records that painting reads levels from (null: no colour by level); made again by each paint.
    std::unique_ptr<CPreadChunkReader> m_pLevelChunks;
    std::unique_ptr<logformat::CRecordReader> m_pLevelRecords;
    TextPos m_pLevelEnd = kNoPos;  // the data's end when they were made
    timeseek::StampFormat m_nStampFormat =
        timeseek::StampFormat::None;  // counts through the mapping's descriptor, never its view
    CUtf8LineReader m_utf8;           // reads narrow lines under UTF-8, with the checkpoints of long ones
    IFileWndListener* m_pListener = nullptr;
    bool m_bFollowStopped = false;
    TextPos m_pRulesEnd = kNoPos;  // the data's end when the rules last saw it
    std::unique_ptr<linefilter::CAlertScanner> m_pAlertScan;
    std::shared_ptr<const CHighlightRules> m_pAlertRules;  // what m_pAlertScan matches
    platform::FileHandle m_hAlertFile = platform::kInvalidFile;
    std::int32_t m_nAlertEncoding = EncodingNone;
    platform::CodePage m_nAlertCodePage = platform::CodePage::Windows1252;
    std::string m_ruleText;
    std::vector<std::int64_t> m_ruleCols;
    std::vector<CHighlightRules::Span> m_ruleSpans;
    // Where the rows of the last paint began: the line-number gutter numbers these rather than step over the
    // lines again (a step reads a line to its end; the paint's steps remember long lines).
    std::vector<TextPos> m_paintedRowStarts;
    std::vector<int> m_rowRules;
    std::shared_ptr<CMarkList> m_pMarks = std::make_shared<CMarkList>();
    // The filter stack, its scan and what the window scanned ahead of it.
    shownset::FilterStack m_filterStack;
    bool m_bShowOnlyFiltered = false;
    std::unique_ptr<shownset::CShownSet> m_pShown;
    TextPos m_pShownEnd = kNoPos;  // the data's end the scan was last told
    // The format the scan reads records with, and the sets that keep it alive while it runs.
    const logformat::CFormat* m_pShownFormat = nullptr;
    std::shared_ptr<const logformat::CFormatSet> m_pShownFormats, m_pShownChosen;
    // The record summaries, the format they read with and the sets that keep it alive while they run.
    std::unique_ptr<logformat::CRecordSummaries> m_pSummaries;
    bool m_bSummariesWanted = false;
    const logformat::CFormat* m_pSummariesFormat = nullptr;
    std::shared_ptr<const logformat::CFormatSet> m_pSummariesFormats, m_pSummariesChosen;
    shownset::AheadRuns m_ahead;  // runs past the scan's final point, from m_pAheadFrom
    TextPos m_pAheadFrom = kNoPos;
    std::int64_t m_nAheadLeft = kAheadBudget;
    bool m_bScanningAhead = false;
    // The top was put at the last screenful (End, paging down to it, following): while the scan runs the last
    // screenful is that of what it decided so far, and only such a top follows it to the new end.
    bool m_bShownAtEnd = false;
    bool m_bLastPageProvisional = false;    // the cached last screenful was found while the scan ran
    TextPos m_pLastMark = kNoPos;           // the mark the last jump showed
    TextPos m_pTopAfterMark = kNoPos;       // the top that jump left
    std::unique_ptr<CMergedWnd> m_pMerged;  // while merged
};
