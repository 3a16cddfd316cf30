// Every command id, window id and resource number of the program. The values
// are fixed: they key the string table, the settings and the ribbon elements,
// so a value once given keeps its meaning in every stored setting.
#pragma once

namespace cmd {

// --- File menu and application ----------------------------------------------------
inline constexpr int FileOpen = 57601;
inline constexpr int FileClose = 57602;
inline constexpr int FileMruFirst = 57616;  // first of the 16 recent-file entries
inline constexpr int FileMruLast = 57631;
inline constexpr int AppAbout = 57664;
inline constexpr int AppExit = 57665;

// --- Clipboard ------------------------------------------------------------------------
inline constexpr int EditCopy = 57634;  // "Copy Page": copies the screen of text

// --- Window -----------------------------------------------------------------------------
inline constexpr int WindowNew = 57648;
inline constexpr int WindowManager = 131;  // "Switch Windows": the windows dialog
inline constexpr int NextPane = 57680;     // F6; no split windows, so no effect
inline constexpr int PrevPane = 57681;     // Shift+F6, likewise

// --- Frame: bars, ribbon, welcome ---------------------------------------------------
inline constexpr int ViewStatusBar = 59393;
inline constexpr int ViewCaptionBar = 221;
inline constexpr int ViewAutoHideRibbon = 223;
inline constexpr int Welcome = 134;
inline constexpr int StatusLink = 33073;  // the status bar's link to the maker's website

// --- Application looks: the whole range is routed to the frame ------------------
inline constexpr int AppLookFirst = 205;
inline constexpr int AppLookWin2000 = 205;
inline constexpr int AppLookOfficeXP = 206;
inline constexpr int AppLookWinXP = 207;
inline constexpr int AppLookOffice2003 = 208;
inline constexpr int AppLookVS2005 = 209;
inline constexpr int AppLookOffice2007Blue = 215;
inline constexpr int AppLookOffice2007Black = 216;
inline constexpr int AppLookOffice2007Silver = 217;
inline constexpr int AppLookOffice2007Aqua = 218;
inline constexpr int AppLookLast = 219;
inline constexpr int AppLookDefault = AppLookOffice2007Silver;

// --- Display commands of the view ----------------------------------------------------
inline constexpr int FontName = 32790;  // the font name box
inline constexpr int FontSize = 32791;  // the font size box
inline constexpr int FontGrow = 32792;
inline constexpr int FontShrink = 32794;
inline constexpr int FontBold = 32786;
inline constexpr int FontItalic = 32793;
inline constexpr int FontUnderline = 32799;
inline constexpr int FontStrikethrough = 32795;
inline constexpr int FontColor = 32789;   // the font colour picker
inline constexpr int ChangeCase = 32787;  // opens the case menu, no action of its own
inline constexpr int CaseOriginal = 33305;
inline constexpr int CaseUpper = 33307;
inline constexpr int CaseLower = 33308;
inline constexpr int CaseSentence = 33309;
inline constexpr int FontDialog = 33311;
inline constexpr int PageColor = 32902;  // the page colour picker
inline constexpr int Refresh = 33220;    // also the status bar's Refresh pane

// --- Find ---------------------------------------------------------------------------------
inline constexpr int FindPrevious = 33223;
inline constexpr int FindText = 33224;  // the find box
inline constexpr int FindNext = 33225;
inline constexpr int FindMatchCase = 33227;
inline constexpr int FindDialog = 33323;
inline constexpr int FindGoTo = 33325;  // Ctrl+F and the Find panel's launcher
inline constexpr int EnterKey = 33326;  // Enter in the accelerator table; nothing handles it

// --- Status bar panes (texts set by the active view) ---------------------------------
inline constexpr int PaneCurrentChar = 33059;
inline constexpr int PaneTotalChars = 32780;
inline constexpr int PaneEncoding = 33221;

// --- Help ----------------------------------------------------------------------------------
inline constexpr int HelpFinder = 57667;
inline constexpr int ContextHelp = 57669;  // Shift+F1
inline constexpr int Help = 57670;         // F1
inline constexpr int DefaultHelp = 57671;

// --- The "Log" category: one range of twenty ids per panel ----------------------------
// Text 40000-40019, Search 40020-40039, Highlight 40040-40059, Go To 40060-40079,
// Follow 40080-40099, Records 40100-40119, Marks 40120-40139, Filters 40160-40179.
inline constexpr int CodePageUtf8 = 40000;        // narrow text as UTF-8
inline constexpr int CodePage1252 = 40001;        // narrow text as Windows-1252
inline constexpr int RegularExpression = 40020;   // searches take their text as a regular expression
inline constexpr int Filter = 40021;              // the filter pane of the active window: lines holding the find text
inline constexpr int FilterInvert = 40022;        // the filter lists the lines without the find text
inline constexpr int HighlightEnabled = 40040;    // every highlight rule on or off
inline constexpr int HighlightEdit = 40041;       // the rule editor
inline constexpr int HighlightLogLevels = 40042;  // the built-in Log Levels set on or off
inline constexpr int LineNumbers = 40060;         // the line-number gutter of every window on or off
inline constexpr int GoToLine = 40061;            // Ctrl+G: a line number's line as the top row
inline constexpr int GoToTime = 40062;            // Ctrl+Shift+G: the first line at or after a time as the top row
inline constexpr int FollowName = 40080;          // a rotated log: go on with the new file under its name
inline constexpr int ReopenFile = 40081;          // the view's file anew from its name (the message strip's action)
inline constexpr int RunCommandAgain = 40082;     // a command's window: the command run anew (the strip's action)
inline constexpr int IncludeRotated = 40083;      // a log with older parts opens as one log with them
inline constexpr int ShowRotatedParts = 40084;    // the view's log and its older parts as one log (the strip's action)
inline constexpr int RecordFormat = 40100;        // the Records panel's Format drop-down: the log format of the window
inline constexpr int Timeline = 40101;            // the timeline band above every window whose file has a format
// The last session (the File button's menu): 40140-40159.
inline constexpr int FileReopenSession = 40140;   // the windows of the last run opened again
inline constexpr int FileRestoreAtStart = 40141;  // the last session reopened at every start without files named
inline constexpr int ToggleMark = 40120;          // Ctrl+M: marks the top line or takes its mark away
inline constexpr int NextMark = 40121;            // F2: the next marked line as the top row
inline constexpr int PreviousMark = 40122;        // Shift+F2: the previous marked line as the top row
inline constexpr int MarkNote = 40123;            // Ctrl+Shift+M: the one-line note of a mark
inline constexpr int SaveLines = 40124;           // Ctrl+Shift+S: marked, listed or selected lines to a file
inline constexpr int ShowOnlyFiltered = 40160;    // Ctrl+Shift+H: the window shows only what its filter stack shows
inline constexpr int FilterEditor = 40161;        // the pane at the right that edits the active window's filter stack
inline constexpr int OpenCommand = 40163;         // the Sources panel: a command line's output in a window of its own
inline constexpr int OpenMerged = 40164;          // Ctrl+Shift+O: several logs in one window, their rows by time
inline constexpr int OpenJournal = 40165;         // the Follow panel: the systemd journal in a window of its own
inline constexpr int FilterAllWindows = 40162;    // the active window's stack listed over every window of its group

}  // namespace cmd

// Ids of strings that are not command strings: names, labels and tooltips.
namespace ids {

inline constexpr int AppTitle = 57344;
inline constexpr int FileCategory = 260;  // "File": the main category and the application button's tooltip
inline constexpr int OpenLabel = 263;
inline constexpr int CloseLabel = 271;
inline constexpr int RecentDocuments = 272;
inline constexpr int ExitLabel = 273;
inline constexpr int ClipboardPanel = 275;
inline constexpr int StyleLabel = 286;
inline constexpr int StyleTooltip = 287;
inline constexpr int StyleDescription = 288;
inline constexpr int StatusBarLabel = 289;
inline constexpr int ViewPanel = 290;
inline constexpr int EditMenu = 306;  // the name the text window's context menu is kept under

}  // namespace ids

// Resource numbers: pictures, menus, document types and dialogs.
namespace res {

inline constexpr int AboutDialog = 100;
inline constexpr int OptionsSmallImages = 110;  // 16 x 16, 16 images
inline constexpr int OptionsLargeImages = 111;  // 32 x 32, 16 images
inline constexpr int AppButtonImage = 112;      // 26 x 26; also the About box's picture
inline constexpr int PanelIcons = 113;          // 16 x 16, 28 images
inline constexpr int FileLargeImages = 114;     // 32 x 32, 15 images
inline constexpr int FileSmallImages = 115;     // 16 x 16, 16 images
inline constexpr int AboutMenu = 118;
inline constexpr int EditContextMenu = 119;
inline constexpr int MainFrame = 128;    // the frame and its accelerator table
inline constexpr int LogDocument = 135;  // document type: template string, icon
inline constexpr int TextDocument = 136;
inline constexpr int ChangeCaseMenu = 151;
inline constexpr int SwitchWindowsMenu = 152;
inline constexpr int FontToolbar = 199;  // 16 x 15, 8 buttons
inline constexpr int StyleMenu = 200;
inline constexpr int WelcomeBitmap = 230;  // 20 x 20
inline constexpr int RefreshIcon = 311;
inline constexpr int OpenEncodingTemplate = 314;
inline constexpr int FindButtons = 316;  // 16 x 16, 10 images

}  // namespace res

// Child-window ids the frame and the view give their windows.
namespace wnd {

inline constexpr int RibbonBar = 59398;
inline constexpr int StatusBar = 59393;
inline constexpr int CaptionBar = 221;
inline constexpr int TextWindow = 2112;

}  // namespace wnd
