#include "view/StringTable.h"

#include "platform/AppInfo.h"
#include "view/CommandIds.h"

#include <algorithm>
#include <array>
#include <iterator>

namespace {

struct StringEntry {
    int id;
    const char* text;
};

// Sorted by id, so a lookup is a binary search. The texts are the program's
// own, typing slips included: users and their documentation quote them.
constexpr StringEntry kStrings[] = {
    {cmd::WindowManager, "Switch between open windows.\nSwitch Windows"},
    {cmd::Welcome, "Show the Welcome Banner\nWelcome Banner"},
    {res::LogDocument,
     "\nOstrel File Viewer\nOstrel File\nLog Files(*.log)\n.log\nOstrelFileViewer.Log\nOstrel Log File"},
    {res::TextDocument,
     "\nOstrel File Viewer\nOstrel File\nText Files(*.txt)\n.txt\nOstrelFileViewer.Txt\nOstrel Text File"},
    {cmd::ViewCaptionBar, "Show or hide the caption bar\nToggle Caption Bar"},
    {ids::FileCategory, "File"},
    {ids::OpenLabel, "&Open..."},
    {ids::CloseLabel, "&Close"},
    {ids::RecentDocuments, "Recent Documents"},
    {ids::ExitLabel, "E&xit"},
    {ids::ClipboardPanel, "Clipboard\nd"},
    {ids::StyleLabel, "Style"},
    {ids::StyleTooltip, "Modify Visual Style"},
    {ids::StyleDescription, "Choose one of the Office 2007 themes"},
    {ids::StatusBarLabel, "Status Bar"},
    {ids::ViewPanel, "View"},
    {ids::EditMenu, "Edit"},
    {cmd::FontBold, "Make the selected text bold.\nBold"},
    {cmd::ChangeCase,
     "Change all the selected text to UPPERCASE, lowercase, or other common capitalizations.\nChange Case"},
    {cmd::FontColor, "Change the text color.\nFont Color"},
    {cmd::FontName, "Select the font to display the file text in\nSelect Font"},
    {cmd::FontSize, "Select the size of the font to display file text in\nFont Size"},
    {cmd::FontGrow, "Increase the font size.\nGrow Font"},
    {cmd::FontItalic, "Italicize the selcted text.\nItalic"},
    {cmd::FontShrink, "Decrease the font size.\nShrink Font"},
    {cmd::FontStrikethrough, "Draw a line through the middle of the text.\nStrikethrough"},
    {cmd::FontUnderline, "Underline the selected text.\nUnderline"},
    {cmd::PageColor, "Select the color to draw the background of the active window.\nPage Color"},
    {cmd::Refresh, "Read the file again, keeping the place in it\nRefresh"},
    {cmd::FindPrevious, "Find the previous occurance in the active document\nFind Previous\nShift F3"},
    {cmd::FindText, "Enter the text to find and then press Enter\nFind Text"},
    {cmd::FindNext, "Find the next occurance in the active document\nFind Next\nF3"},
    {cmd::FindMatchCase, "Toggle whether searches are performed case sensitive or not.\nCase Sensitive Search"},
    {cmd::CaseOriginal, "Text case will be displayed exactly as it appears in file.\nOriginal Case"},
    {cmd::CaseUpper, "Text will be converted to upper case.\nUpper Case"},
    {cmd::CaseLower, "Text will be converted to lower case.\nLower Case"},
    {cmd::CaseSentence, "The first word of each sentence will be capitalized (Experamental).\nSentence Case"},
    {cmd::FontDialog, "Show the windows Select Font dialog.\nFont Dialog"},
    {cmd::FindDialog, "Search the active document in the Find dialog\nFind Dialog\nCtrl Shift F"},
    {cmd::FindGoTo, "Go to the Find Text user interface\nFind Text\nCtrl F"},
    // The "Log" category.
    {cmd::CodePageUtf8,
     "Show and search text without a byte-order mark, and text marked as UTF-8, as UTF-8, the encoding Linux "
     "programs write; a byte that is no part of UTF-8 shows as its Windows-1252 character\nUTF-8"},
    {cmd::CodePage1252, "Show and search text without a byte-order mark as Windows-1252, one character a byte\n"
                        "Windows-1252"},
    {cmd::RegularExpression, "Take the text of the find box and the Find dialog as a regular expression, in every "
                             "window\nRegular Expression\nCtrl Shift R"},
    {cmd::Filter, "List, under the window, every line that holds the find box's text; Enter or a double-click on a "
                  "listed line shows it in the window\nFilter\nCtrl Shift L"},
    {cmd::FilterInvert, "The filter lists the lines that do not hold the find box's text\nInvert"},
    {cmd::HighlightEnabled, "Colour the lines and words that the highlight rules match, in every window\n"
                            "Highlight Rules"},
    {cmd::HighlightEdit, "Add, change, order and remove the highlight rules\nRules"},
    {cmd::HighlightLogLevels, "Colour errors red, warnings amber and debug lines faint, after your own rules\n"
                              "Log Levels"},
    {cmd::LineNumbers, "Show the number of each line at the left of every window\nLine Numbers"},
    {cmd::GoToLine, "Show a line by its number\nGo to Line\nCtrl G"},
    {cmd::GoToTime, "Show the first line written at or after a date and time\nGo to Time\nCtrl Shift G"},
    {cmd::FollowName, "When the name of an open log comes to name another file (the log was rotated), show and "
                      "follow that file\nFollow Name"},
    {cmd::ReopenFile, "Open the file that the name of this window's file now names\nReopen"},
    {cmd::IncludeRotated, "Open a log whose older parts lie beside it (app.log.1, app.log.2.gz, app.log-20261206, "
                          "app-2026-12-06.log) as one log with them, the oldest first; turned on, the active "
                          "window shows its parts too\nInclude Rotated Parts"},
    {cmd::ShowRotatedParts, "Show the older parts of this window's log and the log as one log\nShow Older Parts"},
    {cmd::RecordFormat, "How this window reads the records of its log: the time and level of each line, for Log "
                        "Levels and Go to Time; Automatic takes the format found in the file\nFormat"},
    {cmd::Timeline, "Show a band above each log's window with its records over time by level: click a time to go "
                    "there, drag over a stretch to show only it, double-click to show all again\nTimeline"},
    {cmd::ToggleMark, "Mark the line under the pointer (or the top line of the window), or take its mark away\n"
                      "Toggle Mark\nCtrl M"},
    {cmd::NextMark, "Show the next marked line at the top of the window\nNext Mark\nF2"},
    {cmd::PreviousMark, "Show the previous marked line at the top of the window\nPrevious Mark\nShift F2"},
    {cmd::MarkNote, "Give the mark of the line under the pointer (or the top line) a note, shown as the mark's "
                    "tooltip\nMark Note\nCtrl Shift M"},
    {cmd::SaveLines, "Write the marked lines, the filter's listed lines or the selection to a file, as they stand "
                     "in this file\nSave Lines\nCtrl Shift S"},
    {cmd::FileReopenSession, "Open again the windows of the last run, each where it was\nReopen Last Session"},
    {cmd::FileRestoreAtStart, "Reopen the last session at every start when no file is named\n"
                              "Restore Windows at Start"},
    {cmd::ShowOnlyFiltered, "Show only the lines that the window's filter stack shows: its records and their context "
                            "lines\nShow Only Filtered\nCtrl Shift H"},
    {cmd::FilterEditor, "Show the pane that edits the active window's filter stack: its rules, the lowest level, the "
                        "time range and the context lines\nFilters"},
    {cmd::OpenCommand, "Run a command line and show what it writes as it arrives, in a window of its own; closing "
                       "the window ends the command\nOpen Command"},
    {cmd::OpenMerged, "Open several logs in one window, their rows merged by time, each row's file shown by a "
                      "letter\nOpen Merged\nCtrl Shift O"},
    {cmd::OpenJournal, "Show the systemd journal (a boot, units, a lowest priority, a first time) in a window of "
                       "its own that follows new entries\nSystem Journal"},
    {ids::AppTitle, kApplicationTitle},
    {cmd::FileOpen, "Open an existing document\nOpen"},
    {cmd::FileClose, "Close the active document\nClose"},
    {cmd::EditCopy, "Copy the current screen of text and put it on the Clipboard\nCopy Screen"},
    {cmd::WindowNew, "Open another view of the active document\nNew Window"},
    {cmd::AppAbout, "Show the version of this program and how to reach its maker\nAbout"},
    {cmd::AppExit, "Quit the application; close all open documents\nExit"},
    {cmd::ViewStatusBar, "Show or hide the status bar\nToggle Status Bar"},
};

constexpr bool IsSortedById()
{
    for (std::size_t i = 1; i < std::size(kStrings); ++i) {
        if (kStrings[i - 1].id >= kStrings[i].id)
            return false;
    }
    return true;
}
static_assert(IsSortedById(), "kStrings must be sorted by id without duplicates");

constexpr MenuItemText kAboutMenu[] = {
    {cmd::Welcome, "&Welcome"},
    {cmd::AppAbout, "&About Ostrel File Viewer..."},
};
constexpr MenuItemText kEditContextMenu[] = {
    {cmd::EditCopy, "&Copy\tCtrl+C"},
    {cmd::ToggleMark, "Toggle &Mark\tCtrl+M"},
};
constexpr MenuItemText kChangeCaseMenu[] = {
    {cmd::CaseOriginal, "&Original Case"},
    {cmd::CaseUpper, "&Upper Case"},
    {cmd::CaseLower, "&Lower Case"},
    {cmd::CaseSentence, "&Sentence Case"},
};
constexpr MenuItemText kSwitchWindowsMenu[] = {
    {cmd::WindowNew, "&New Window"},
};
constexpr MenuItemText kStyleMenu[] = {
    {cmd::AppLookOffice2007Blue, "Office 2007 (&Blue Style)"},
    {cmd::AppLookOffice2007Black, "Office 2007 (B&lack Style)"},
    {cmd::AppLookOffice2007Silver, "Office 2007 (&Silver Style)"},
    {cmd::AppLookOffice2007Aqua, "Office 2007 (&Aqua Style)"},
};

}  // namespace

std::string LoadStringById(int id)
{
    // The recent-file entries share one text.
    if (id >= cmd::FileMruFirst && id <= cmd::FileMruLast)
        return text::RecentDocumentDescription;
    const auto* end = std::end(kStrings);
    const auto* it =
        std::lower_bound(std::begin(kStrings), end, id, [](const StringEntry& e, int key) { return e.id < key; });
    if (it == end || it->id != id)
        return {};
    return it->text;
}

std::string_view TextPart(std::string_view text, int n)
{
    if (n < 0)
        return {};
    std::size_t start = 0;
    for (int i = 0; i < n; ++i) {
        std::size_t lf = text.find('\n', start);
        if (lf == std::string_view::npos)
            return {};
        start = lf + 1;
    }
    std::size_t lf = text.find('\n', start);
    return text.substr(start, lf == std::string_view::npos ? std::string_view::npos : lf - start);
}

std::string StringDescription(int id)
{
    return std::string(TextPart(LoadStringById(id), 0));
}

std::string StringTitle(int id)
{
    return std::string(TextPart(LoadStringById(id), 1));
}

std::string StringShortcut(int id)
{
    return std::string(TextPart(LoadStringById(id), 2));
}

std::span<const MenuItemText> MenuItems(int menuId)
{
    switch (menuId) {
    case res::AboutMenu: return kAboutMenu;
    case res::EditContextMenu: return kEditContextMenu;
    case res::ChangeCaseMenu: return kChangeCaseMenu;
    case res::SwitchWindowsMenu: return kSwitchWindowsMenu;
    case res::StyleMenu: return kStyleMenu;
    default: return {};
    }
}
