// The program's texts. Numbered strings (command strings, names, labels,
// document-type strings) are looked up by id; the texts that have no number
// (element labels, messages, dialog and bar texts) are named constants below.
// All texts are UTF-8 and must be shown exactly as they are written here.
//
// Command strings have the form "description\ntitle[\nshortcut]": the
// description is the tooltip's body, the title its heading. Element labels
// have the form "label[\nkeytip]". Document-type strings hold seven fields
// separated by line feeds.
#pragma once

#include <span>
#include <string>
#include <string_view>

// The string with the given id; empty when the program has none.
std::string LoadStringById(int id);

// The n-th line-feed-separated part of `text` (from 0); empty when it has fewer parts.
std::string_view TextPart(std::string_view text, int n);

std::string StringDescription(int id);  // part 0: the whole text when it has no line feed
std::string StringTitle(int id);        // part 1
std::string StringShortcut(int id);     // part 2

// One item of a drop-down menu: its command id and its text ("&" marks the
// mnemonic, a tab separates a shortcut).
struct MenuItemText {
    int id;
    const char* text;
};

// The items of menu `menuId` in order; empty for a menu the program does not have.
std::span<const MenuItemText> MenuItems(int menuId);

// A file-type entry of the Open dialog.
struct FileFilterText {
    const char* name;
    const char* pattern;
};

namespace text {

// --- Ribbon: texts without a number ------------------------------------------------------
inline constexpr const char* AppButton = "\nf";  // no label, key tip "f"
inline constexpr const char* OptionsCategory = "Options";
inline constexpr const char* RecentDocumentDescription = "Open this document";
inline constexpr const char* CopyPage = "Copy Page";
// Asked before a selection of more than 64 MiB goes to the clipboard; %s is its size in MB.
inline constexpr const char* CopyLargeSelectionFormat = "Copy %s MB to the clipboard?";
inline constexpr const char* AutoHideRibbon = "Auto Hide Ribbon";
inline constexpr const char* FontPanel = "Font";
inline constexpr const char* FontPanelKeyTip = "zf";
// The Font panel's launcher has its own tooltip, which differs from the Font Dialog command's string.
inline constexpr const char* FontLauncher = "Launch the windows Select Font dialog\nFont Dialog";
inline constexpr const char* PagePanel = "Page\nzb";
inline constexpr const char* PageColor = "Page Color\npc";
inline constexpr const char* FindPanel = "Find";
inline constexpr const char* FindPrevious = "Find previous instance";
inline constexpr const char* FindNext = "Find next instance";
inline constexpr const char* MatchCase = "Case Sensitive Search";
inline constexpr const char* WindowPanel = "Window\nzw";
inline constexpr const char* NewWindow = "New Window\nn";
inline constexpr const char* SwitchWindows = "Switch Windows\ns";
inline constexpr const char* WindowLauncherKeyTip = "W";
inline constexpr const char* AboutButton = "\na";  // no label, key tip "a"

// --- The "Log" category: its name and key tip, its panels and the labels of their elements -------
inline constexpr const char* LogCategory = "Log\nL";
inline constexpr const char* TextPanel = "Text\nzt";
inline constexpr const char* CodePageUtf8Label = "UTF-8\nu";
inline constexpr const char* CodePage1252Label = "Windows-1252\nw";
inline constexpr const char* SearchPanel = "Search\nzs";
inline constexpr const char* FilterLabel = "Filter\nsf";
inline constexpr const char* FilterInvertLabel = "Invert\nsi";
inline constexpr const char* RegularExpressionLabel = "Regular Expression\nsr";
// What the find box shows while empty with regular expressions on; and what a pattern that does not compile says (the engine's words), in the window's message strip and the box's tooltip.
inline constexpr const char* RegularExpressionPlaceholder = "(regular expression)";
inline constexpr const char* SearchStopped = "Search stopped: Esc was pressed before the search was over.";
inline constexpr const char* PatternErrorPrefix = "The regular expression is not valid: ";
inline constexpr const char* HighlightPanel = "Highlight\nzh";
inline constexpr const char* HighlightEnabledLabel = "Highlight Rules\nhr";
inline constexpr const char* HighlightEditLabel = "Rules...\nhe";
inline constexpr const char* HighlightLogLevelsLabel = "Log Levels\nhl";
// A following window stopped by a rule (the rule's name), and the tooltip line of a tab that an alert marked.
inline constexpr const char* FollowStoppedFormat =
    "Following stopped at a new line that matches the rule \"%s\". Press End to follow the file again.";
inline constexpr const char* TabAlertFormat = "Alert: a new line matches the rule \"%s\"";
inline constexpr const char* GoToPanel = "Go To\nzg";
inline constexpr const char* LineNumbersLabel = "Line Numbers\ngn";
inline constexpr const char* GoToLineLabel = "Go to Line...\ngl";
inline constexpr const char* GoToTimeLabel = "Go to Time...\ngt";
// The two Go To dialogs: title, prompt, and what they say of a text they cannot take (%s: the count of lines).
inline constexpr const char* GoToLineTitle = "Go to Line";
inline constexpr const char* GoToLinePrompt = "Line number (negative: counted from the end, -1 is the last line):";
inline constexpr const char* GoToLineNotNumber = "Type a whole number, such as 120 or -1.";
inline constexpr const char* GoToLineOutOfRangeFormat = "Out of range: the file has %s lines.";
inline constexpr const char* GoToTimeTitle = "Go to Time";
inline constexpr const char* GoToTimePrompt =
    "Date and time (YYYY-MM-DD HH:MM[:SS[.fraction]], optionally Z or +HH:MM; without a zone: local time):";
inline constexpr const char* GoToTimeInvalid = "Type a date and time such as 2026-12-07 06:41 or 2026-12-07T06:41:07Z.";
// Said in the window's message strip where the time lies outside the file's stamps.
inline constexpr const char* GoToTimeAfterLast = "The file's last timestamp is before that time: its end is shown.";
inline constexpr const char* GoToTimeBeforeFirst = "The file's first timestamp is after that time: its start is shown.";
// Go to Time's tooltip while it is disabled.
inline constexpr const char* GoToTimeNoStamps = "Disabled: no timestamps recognised in this file.";
inline constexpr const char* FollowPanel = "Follow\nzo";
inline constexpr const char* FollowNameLabel = "Follow Name\no";
inline constexpr const char* IncludeRotatedLabel = "Include Rotated Parts\nrp";
inline constexpr const char* RecordsPanel = "Records\nzr";
inline constexpr const char* TimelineLabel = "Timeline\ntl";
inline constexpr const char* TimelineName = "Timeline";
// The band's accessible description: its span (%1, %2), then "level count" for each level (%3).
inline constexpr const char* TimelineDescription = "Records from %1 to %2: %3";
inline constexpr const char* TimelineEmpty = "No records with a time yet";
// A column's tooltip: its first and last time, then a line per level.
inline constexpr const char* TimelineColumnTip = "%1 \u2013 %2";
inline constexpr const char* TimelineUnreached = "Not summarised yet";
inline constexpr const char* TimelineNoLevel = "no level";
inline constexpr const char* RecordFormatLabel = "Format\nrf";
// The Format drop-down's first entry: %s is the name of the format found in the file, or RecordFormatNone.
inline constexpr const char* RecordFormatAutomaticFormat = "Automatic (%s)";
inline constexpr const char* RecordFormatNone = "none";
// The Current Char pane's tooltip line of the top row's record: its time and its level.
inline constexpr const char* PaneTopRecordFormat = "Record at the top: %s, %s";
inline constexpr const char* PaneTopRecordNoTime = "no time";
inline constexpr const char* PaneTopRecordNoLevel = "no level";

// --- Colour pickers ------------------------------------------------------------------------
inline constexpr const char* ColorAutomatic = "&Automatic";
inline constexpr const char* ColorMore = "&More Colors...";
inline constexpr const char* ColorMoreTooltip = "More Colors";                 // font colour picker
inline constexpr const char* ColorMoreShadingTooltip = "More Shading Colors";  // page colour picker
inline constexpr const char* ThemeColors = "Theme Colors";
inline constexpr const char* StandardColors = "Standard Colors";

// --- Messages of the view -------------------------------------------------------------------
inline constexpr const char* FontSizeRange = "The font size must be between 1 and 100.";
// A typed font name that the font name box does not list; %s is the typed name.
inline constexpr const char* FontNameNotListed = "The font \"%s\" is not one of the fixed-pitch fonts in the list.";

// Marks: the jumps between them, and Save Lines.
inline constexpr const char* MarksPanel = "Marks\nzm";
inline constexpr const char* ToggleMarkLabel = "Toggle Mark\nmt";
inline constexpr const char* NextMarkLabel = "Next Mark\nmn";
inline constexpr const char* PreviousMarkLabel = "Previous Mark\nmp";
inline constexpr const char* NoMarks = "This window has no marks.";
// The last session reopened: the files left out, named after this.
inline constexpr const char* SessionFilesGone = "Not reopened, no longer there: ";
// A merged window of the last session that cannot be merged again: each file and why, after this.
inline constexpr const char* SessionNotMerged = "Not merged again: ";
inline constexpr const char* MarksWrappedToFirst = "Passed the last mark: back at the first.";
inline constexpr const char* MarksWrappedToLast = "Passed the first mark: on at the last.";
inline constexpr const char* MarkNoteLabel = "Mark Note...\nmo";
inline constexpr const char* SaveLinesLabel = "Save Lines...\nms";
inline constexpr const char* MarkNoteTitle = "Mark Note";
// %s: the line's number ("?" while the lines are not counted that far).
inline constexpr const char* MarkNotePromptFormat = "&Note of the mark on line %s (empty: no note):";
inline constexpr const char* SaveLinesTitle = "Save Lines";
inline constexpr const char* SaveLinesSourceLabel = "Sa&ve:";
// The sources the dialog offers; %s: how many lines (the selection: how many bytes).
inline constexpr const char* SaveLinesMarkedFormat = "The marked lines (%s)";
inline constexpr const char* SaveLinesListedFormat = "The lines the filter lists (%s)";
inline constexpr const char* SaveLinesSelectionFormat = "The selection (%s bytes)";
inline constexpr const char* SaveLinesNothing =
    "Nothing to save: mark lines (Ctrl+M), filter them or select text first.";
// %s: the count of lines, then the file's name.
inline constexpr const char* SaveLinesSavedFormat = "Saved %s lines to %s.";
inline constexpr const char* SaveLinesSavedOneFormat = "Saved 1 line to %s.";
// %s: the file's name, then why.
inline constexpr const char* SaveLinesFailedFormat = "Could not save %s: %s";
inline constexpr const char* SaveLinesViewedFile = "That file is open in the viewer: a viewed file is never written.";
// The last session: the files it named that are gone; %s is their names, separated by commas.
inline constexpr const char* SessionFilesMissingFormat = "Not reopened, no longer there: %s";
// The filter stack of a window: Show Only Filtered and the pane that edits the stack.
inline constexpr const char* FiltersPanel = "Filters\nzl";
inline constexpr const char* ShowOnlyFilteredLabel = "Show Only Filtered\nio";
inline constexpr const char* FilterEditorLabel = "Filters...\nie";
inline constexpr const char* FilterEditorTitle = "Filters";
// The filter pane's context menu and the editor: the active window's stack applied to its whole tab group.
inline constexpr const char* FilterAllWindowsLabel = "Filter All Windows";
inline constexpr const char* FilterAllWindowsNothing =
    "The window's filter stack hides no line: add a rule or a condition in the Filters pane first.";
// %s: the lines shown, then all lines (as far as the scan has read).
inline constexpr const char* ShownLinesFormat = "%s of %s lines shown";
// The message strip while the window shows lines that the filter's scan has not reached yet.
inline constexpr const char* ScanningNotice = "Scanning\u2026";
inline constexpr const char* FilterRuleOn = "On";
inline constexpr const char* FilterRuleKind = "Kind";
inline constexpr const char* FilterRuleText = "Text";
inline constexpr const char* FilterRuleRegex = "Regular Expression";
inline constexpr const char* FilterRuleCase = "Case Sensitive";
inline constexpr const char* FilterRuleCount = "Lines";
inline constexpr const char* FilterInclude = "Include";
inline constexpr const char* FilterExclude = "Exclude";
inline constexpr const char* FilterAdd = "&Add";
inline constexpr const char* FilterRemove = "&Remove";
inline constexpr const char* FilterMoveUp = "Move &Up";
inline constexpr const char* FilterMoveDown = "Move &Down";
inline constexpr const char* FilterLowestLevel = "Lowest &level:";
inline constexpr const char* FilterLevelAny = "any";
inline constexpr const char* FilterFrom = "&From:";
inline constexpr const char* FilterTo = "&To:";
inline constexpr const char* FilterContext = "&Context lines:";
inline constexpr const char* FilterCombineAny = "Any include rule";
inline constexpr const char* FilterCombineAll = "All include rules";
inline constexpr const char* FilterSaveAs = "&Save As...";
inline constexpr const char* FilterLoad = "L&oad";
inline constexpr const char* FilterSaveAsPrompt = "&Name of the filter stack:";
inline constexpr const char* FilterSaveAsEmpty = "Type a name for the filter stack.";
inline constexpr const char* FilterTimeInvalid =
    "Not a time: type a date and time such as 2026-12-07 06:41 or 2026-12-07T06:41:07Z.";
inline constexpr const char* FilterNoWindow = "No window is active.";
inline constexpr const char* ReopenSessionLabel = "Reopen Last Session";
inline constexpr const char* RestoreAtStartLabel = "Restore Windows at Start";

// The name of a window's file came to name another file (log rotation).
inline constexpr const char* FileReopened = "Reopened: the file was replaced";
inline constexpr const char* NameNamesAnotherFile = "The name of this file now names another file.";
inline constexpr const char* ReopenAction = "Reopen";
// A log with older parts beside it (%d: how many), offered once in the strip, and the action that shows them.
inline constexpr const char* RotatedPartsOffer = "Older parts of this log: %d files.";
inline constexpr const char* RotatedPartsAction = "Show them as one log";
// After the current file's name in a rotation set's title: %1, the count of older parts.
inline constexpr const char* RotationTitleFormat = " (and %1 older parts)";
inline constexpr const char* RotationSetRotated = "The log was rotated: its parts are shown by their new names.";
// A compressed older part read as the view reaches it: its name, then the text read so far.
inline constexpr const char* RotatedPartProgressFormat = "Decompressing the older part %s: %s so far";
// A command's window: how the command ended (%s: its status, the exit code or 128 plus a signal's number), and
// its runs.
inline constexpr const char* CommandEndedFormat = "The command ended with status %s.";
inline constexpr const char* CommandOutputClosed = "The command closed its output and goes on running.";
inline constexpr const char* RunAgainAction = "Run Again";
// Open Command: the dialog, in the Log category's Follow panel.
inline constexpr const char* OpenCommandLabel = "Command...\nco";
inline constexpr const char* OpenCommandTitle = "Open Command";
inline constexpr const char* OpenCommandPrompt = "&Command line (run by /bin/sh -c):";
inline constexpr const char* OpenCommandNote =
    "Its output and errors are shown as they arrive. Closing the window ends the command and what it started.";
inline constexpr const char* OpenCommandRun = "&Run";
inline constexpr const char* CommandRunsAgain = "The command runs again.";
// Merged windows: why a file cannot be merged (after its name and a colon).
inline constexpr const char* MergeNoFormat = "no log format recognised in it, so its lines have no time to merge by";
inline constexpr const char* MergeTooMany = "a merged window shows at most 32 files";
inline constexpr const char* MergeCannotOpen = "it cannot be opened";
// A merged window's tab: this, then the files' names.
inline constexpr const char* MergedTitlePrefix = "Merged: ";
// A merged window's context menu: its files, each shown or hidden.
inline constexpr const char* MergedSourcesMenu = "&Sources";
// A tab's context menu: its window's files merged with those of other open windows.
inline constexpr const char* MergeWithLabel = "Merge With...";
inline constexpr const char* MergeWithTitle = "Merge With";
inline constexpr const char* MergeWithPrompt = "&Merge this window's files with the files of these windows:";
// Open Merged: the Open dialog with several files chosen, in the Log category's Follow panel.
inline constexpr const char* OpenMergedLabel = "Open Merged...\ncm";
inline constexpr const char* OpenMergedTitle = "Open Merged";
inline constexpr const char* MergeCheckLabel = "&Merge into one window";
inline constexpr const char* MergeFailedTitle = "Cannot Merge";
// %s: one line for each file that cannot be merged, its name and why.
inline constexpr const char* MergeFailedFormat = "These files cannot be merged:\n%s\n\nOpen each of them on its own?";
// System Journal: the dialog, in the Log category's Follow panel.
inline constexpr const char* OpenJournalLabel = "System Journal...\njo";
inline constexpr const char* OpenJournalTitle = "System Journal";
inline constexpr const char* JournalBootLabel = "&Boot:";
inline constexpr const char* JournalBootThis = "This boot";
inline constexpr const char* JournalBootPrevious = "The previous boot";
inline constexpr const char* JournalBootAll = "All boots";
inline constexpr const char* JournalUnitsLabel = "&Units (all when empty):";
inline constexpr const char* JournalPriorityLabel = "&Lowest priority:";
inline constexpr const char* JournalSinceLabel = "&Since (as Go to Time takes it, or empty):";
inline constexpr const char* JournalFolderLabel = "Journal files:";
inline constexpr const char* JournalMachine = "this machine's journal";
inline constexpr const char* JournalFolderButton = "&Folder...";
inline constexpr const char* JournalOpen = "&Open";
inline constexpr const char* JournalBadSince = "The time after Since is not one that Go to Time reads.";
// %s: the command, then the system's reason.
inline constexpr const char* CommandFailedFormat = "Cannot run \u201c%s\u201d: %s";
// A file on another machine (ssh://): how ssh ended (%s: its status, then the last line it wrote to its
// standard error), connecting again, and what is wrong with a name.
inline constexpr const char* SshEndedFormat = "ssh ended with status %s: %s";
inline constexpr const char* SshEndedQuietFormat = "ssh ended with status %s.";
// %s: the name, then the size read so far.
inline constexpr const char* SshProgressFormat = "Reading %s over ssh: %s so far";
inline constexpr const char* SshOutputClosed = "ssh closed its output and goes on running.";
inline constexpr const char* ReconnectAction = "Reconnect";
inline constexpr const char* SshReconnects = "Connecting again.";
// %s: the name, then what is wrong with it.
inline constexpr const char* SshNameFailedFormat = "Cannot open \u201c%s\u201d: %s";
inline constexpr const char* SshNameBadUser =
    "the user may hold only letters, digits, \u201c.\u201d, \u201c_\u201d and \u201c-\u201d, not first";
inline constexpr const char* SshNameBadHost =
    "the host may hold only letters, digits, \u201c.\u201d, \u201c_\u201d and \u201c-\u201d, not first, or be "
    "an IPv6 address in brackets";
inline constexpr const char* SshNameBadPort = "the port must be a number from 1 to 65535";
inline constexpr const char* SshNameBadPath = "the name needs a path after the host, with no control character";
// A compressed log or standard input read in the background; %s is the size read ("1.94 GB"), or below it
// numbers of bytes.
inline constexpr const char* DecompressProgressFormat = "Decompressing: %s so far";
inline constexpr const char* InputProgressFormat = "Reading standard input: %s so far";
inline constexpr const char* SourceDamagedFormat = "The text stops after %s bytes: %s.";
inline constexpr const char* SourceOverLimitFormat =
    "The text reached the limit of %s bytes (Compressed/MaxBytes): it ends there.";
inline constexpr const char* SourceDeclaredFormat =
    "The text would be %s bytes, more than the limit of %s bytes (Compressed/MaxBytes): it was not decompressed.";
inline constexpr const char* SourceFailed = "The text could not be read.";
// The systemd journal's window: its title ("Journal" and, in brackets, what the query chose), its reader's
// progress (%s: the size read), what it says of the text, and the reason it cannot be read.
inline constexpr const char* JournalTitleText = "Journal";
inline constexpr const char* JournalThisBoot = "this boot";
inline constexpr const char* JournalPreviousBoot = "previous boot";
inline constexpr const char* JournalLowestFormat = "%s and above";
inline constexpr const char* JournalSinceFormat = "since %s";
inline constexpr const char* JournalProgressFormat = "Reading the journal: %s so far";
inline constexpr const char* JournalOwnEntries =
    "Only your own entries: members of the groups adm or systemd-journal see the whole journal";
inline constexpr const char* JournalOldestDroppedFormat =
    "The journal reached the limit of %s bytes (Compressed/MaxBytes): its oldest entries were dropped, the newest "
    "are kept.";
inline constexpr const char* JournalFailedFormat = "Cannot read the journal: %s";
inline constexpr const char* JournalNoEntries = "No entries of the journal match; new ones are shown as they come.";

// --- Status bar -------------------------------------------------------------------------------
inline constexpr const char* PaneCurrentCharLabel = "Index of character at topleft of screen in file";
inline constexpr const char* PaneTotalCharsLabel = "Number of characters in currently viewed file";
inline constexpr const char* PaneEncodingLabel = "Encoding of currently open file";
// The encoding pane's tooltip: the label, then the code page of narrow text ("UTF-8" or "Windows-1252").
inline constexpr const char* PaneEncodingCodePageFormat = "%s (ANSI code page: %s)";
// Added to it for a document decompressed into memory; %s is the format ("gzip", "xz", "zstd", "bzip2").
inline constexpr const char* PaneEncodingDecompressedFormat = "; decompressed from %s";
inline constexpr const char* PaneRefreshLabel = "Refresh";
inline constexpr const char* PaneRefreshText = "Refresh";
inline constexpr const char* PaneLinkLabel = "Link to Ostrel / Corvane website";
inline constexpr const char* PaneCurrentCharFormat = "Current Char: %d";
// The Current Char pane's tooltip adds the line of the top row (%s), or that it is not counted yet.
inline constexpr const char* PaneTopLineFormat = "Line %s at the top";
inline constexpr const char* PaneTopLineUnknown = "Line at the top: still counting";
inline constexpr const char* PaneTotalCharsFormat = "Total Chars: %d";
// The maker's website is not ours to name: a placeholder under a domain reserved for examples.
inline constexpr const char* PaneLinkCaption = "Ostrel on the web";
inline constexpr const char* PaneLinkAddress = "https://www.example.org/ostrel";

// --- Caption bar: the welcome message ---------------------------------------------------
inline constexpr const char* WelcomeMessage =
    "Welcome to Ostrel File Viewer by Corvane. Get the latest version from our website by clicking on the link "
    "on the statusbar below.";
inline constexpr const char* WelcomeTipTitle = "Ostrel File Viewer";
inline constexpr const char* WelcomeTipDescription =
    "Select Help then About from the drop down menu for more information about this software.";

// --- About box ------------------------------------------------------------------------------
inline constexpr const char* AboutTitle = "About Ostrel File Viewer";
inline constexpr const char* AboutVersionFormat = "Ostrel File Viewer, Version %s";  // %s: six digits yymmdd
inline constexpr const char* AboutOk = "OK";
// The two link texts, each with one link; the addresses are placeholders under a reserved domain.
inline constexpr const char* AboutWebLink =
    "Latest version: <a href=\"https://www.example.org/ostrel\">www.example.org/ostrel</a>";
inline constexpr const char* AboutMailLink =
    "Questions, problems or ideas? Write to <a href=\"mailto:support@example.org\">support@example.org</a> "
    "and tell us the version above; we read every message and answer as soon as we can.";

// --- Open dialog ------------------------------------------------------------------------------
inline constexpr const char* OpenEncodingLabel = "File Encoding:";
// Entry n stands for encoding id n (automatic, ANSI, UTF-16 LE, UTF-16 BE).
inline constexpr const char* OpenEncodingEntries[] = {
    "Automatic detection of file encoding",
    "ANSI / ASCII File Encoding",
    "Unicode UTF16 Little Endian File Encoding",
    "Unicode UTF16 Big Endian File Encoding",
};
inline constexpr const char* OpenDialogTitle = "Open";
inline constexpr FileFilterText OpenFilters[] = {
    {"All Files (*.*)", "*.*"},
    {"Text Files (*.txt)", "*.txt"},
    {"Log Files (*.log)", "*.log"},
    {"Compressed Logs (*.gz *.xz *.zst *.bz2)", "*.gz *.xz *.zst *.bz2"},
};

// --- Find dialog (find only: no whole-word option) ------------------------------------------
inline constexpr const char* FindDialogTitle = "Find";
inline constexpr const char* FindDialogRegexTitle = "Find (regular expression)";  // with regular expressions on
inline constexpr const char* FindDialogWhat = "Fi&nd what:";
inline constexpr const char* FindDialogMatchCase = "Match &case";
inline constexpr const char* FindDialogDirection = "Direction";
inline constexpr const char* FindDialogUp = "&Up";
inline constexpr const char* FindDialogDown = "&Down";
inline constexpr const char* FindDialogNext = "&Find Next";
inline constexpr const char* FindDialogCancel = "Cancel";

}  // namespace text
