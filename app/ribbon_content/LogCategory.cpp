#include "app/ribbon_content/LogCategory.h"

#include "app/ribbon/RibbonBar.h"
#include "app/ribbon/RibbonButton.h"
#include "app/ribbon/RibbonCategory.h"
#include "app/ribbon/RibbonCheckBox.h"
#include "app/ribbon/RibbonComboBox.h"
#include "app/ribbon/RibbonPanel.h"
#include "app/ribbon_content/RibbonText.h"
#include "res/ImageStrip.h"
#include "view/CommandIds.h"
#include "view/StringTable.h"

using namespace content;

namespace {

constexpr int kTextIcon = 1;        // panel icons: the font's letter
constexpr int kSearchIcon = 8;      // panel icons: the magnifier
constexpr int kHighlightIcon = 15;  // panel icons: the page

CRibbonCheckBox* AddCheckBox(CRibbonPanel* panel, int id, std::string_view label)
{
    auto* box = new CRibbonCheckBox(id, LabelOf(label));
    box->SetKeys(KeyTipOf(label));
    SetCommandToolTip(box, id);
    panel->Add(box);
    return box;
}

// How narrow text is read: UTF-8 or Windows-1252, one of the two checked.
void AddTextPanel(CRibbonCategory* log, const CImageStrip& icons)
{
    CRibbonPanel* panel = AddPanel(log, text::TextPanel, icons.Icon(kTextIcon));
    AddCheckBox(panel, cmd::CodePageUtf8, text::CodePageUtf8Label)->SetRadioItem(true);
    AddCheckBox(panel, cmd::CodePage1252, text::CodePage1252Label)->SetRadioItem(true);
}

// How the find box, F3 and the Find dialog read their text; the filter pane of the active window: its lines
// that hold the find text, or with Invert those that do not.
void AddSearchPanel(CRibbonCategory* log, const CImageStrip& icons)
{
    CRibbonPanel* panel = AddPanel(log, text::SearchPanel, icons.Icon(kSearchIcon));
    AddCheckBox(panel, cmd::RegularExpression, text::RegularExpressionLabel);
    auto* filter = new CRibbonButton(cmd::Filter, LabelOf(text::FilterLabel));
    filter->SetKeys(KeyTipOf(text::FilterLabel));
    SetCommandToolTip(filter, cmd::Filter);
    panel->Add(filter);
    AddCheckBox(panel, cmd::FilterInvert, text::FilterInvertLabel);
}

// The highlight rules: all on or off, their editor, the built-in Log Levels set.
void AddHighlightPanel(CRibbonCategory* log, const CImageStrip& icons)
{
    CRibbonPanel* panel = AddPanel(log, text::HighlightPanel, icons.Icon(kHighlightIcon));
    AddCheckBox(panel, cmd::HighlightEnabled, text::HighlightEnabledLabel);
    auto* edit = new CRibbonButton(cmd::HighlightEdit, LabelOf(text::HighlightEditLabel));
    edit->SetKeys(KeyTipOf(text::HighlightEditLabel));
    SetCommandToolTip(edit, cmd::HighlightEdit);
    panel->Add(edit);
    AddCheckBox(panel, cmd::HighlightLogLevels, text::HighlightLogLevelsLabel);
}

void AddButton(CRibbonPanel* panel, int id, std::string_view label)
{
    auto* button = new CRibbonButton(id, LabelOf(label));
    button->SetKeys(KeyTipOf(label));
    SetCommandToolTip(button, id);
    panel->Add(button);
}

// Where am I: the line-number gutter of every window, and the jumps by line and by time.
void AddGoToPanel(CRibbonCategory* log, const CImageStrip& icons)
{
    CRibbonPanel* panel = AddPanel(log, text::GoToPanel, icons.Icon(kTextIcon));
    AddCheckBox(panel, cmd::LineNumbers, text::LineNumbersLabel);
    AddButton(panel, cmd::GoToLine, text::GoToLineLabel);
    AddButton(panel, cmd::GoToTime, text::GoToTimeLabel);
}

// A rotated log: whether a window goes on with the new file under the name.
void AddFollowPanel(CRibbonCategory* log, const CImageStrip& icons)
{
    CRibbonPanel* panel = AddPanel(log, text::FollowPanel, icons.Icon(kTextIcon));
    AddCheckBox(panel, cmd::FollowName, text::FollowNameLabel);
    // A rotated log's older parts and the log shown as one.
    AddCheckBox(panel, cmd::IncludeRotated, text::IncludeRotatedLabel);
    // A command's output is a log that grows as it is followed.
    AddButton(panel, cmd::OpenCommand, text::OpenCommandLabel);
    // Several logs followed as one.
    AddButton(panel, cmd::OpenMerged, text::OpenMergedLabel);
    // The systemd journal, too, is a log that grows as it is followed.
    AddButton(panel, cmd::OpenJournal, text::OpenJournalLabel);
}

// How the window reads its log's records: the format found in the file, or one the user names. The entries
// are the active window's (its view fills them); wide enough for "Automatic (" and a built-in format's name.
void AddRecordsPanel(CRibbonCategory* log, const CImageStrip& icons)
{
    constexpr int kFormatBoxWidth = 170;
    CRibbonPanel* panel = AddPanel(log, text::RecordsPanel, icons.Icon(kTextIcon));
    auto* box = new CRibbonComboBox(cmd::RecordFormat, false, kFormatBoxWidth, LabelOf(text::RecordFormatLabel));
    box->SetKeys(KeyTipOf(text::RecordFormatLabel));
    SetCommandToolTip(box, cmd::RecordFormat);
    panel->Add(box);
    AddCheckBox(panel, cmd::Timeline, text::TimelineLabel);
}

// The lines the user marked: a mark set or taken away, the jumps between them, a mark's note, and the lines
// written to a file.
void AddMarksPanel(CRibbonCategory* log, const CImageStrip& icons)
{
    CRibbonPanel* panel = AddPanel(log, text::MarksPanel, icons.Icon(kTextIcon));
    AddButton(panel, cmd::ToggleMark, text::ToggleMarkLabel);
    AddButton(panel, cmd::NextMark, text::NextMarkLabel);
    AddButton(panel, cmd::PreviousMark, text::PreviousMarkLabel);
    AddButton(panel, cmd::MarkNote, text::MarkNoteLabel);
    AddButton(panel, cmd::SaveLines, text::SaveLinesLabel);
}

// The window's filter stack: whether the window shows only what it shows, and the pane that edits it.
void AddFiltersPanel(CRibbonCategory* log, const CImageStrip& icons)
{
    CRibbonPanel* panel = AddPanel(log, text::FiltersPanel, icons.Icon(kSearchIcon));
    AddCheckBox(panel, cmd::ShowOnlyFiltered, text::ShowOnlyFilteredLabel);
    AddButton(panel, cmd::FilterEditor, text::FilterEditorLabel);
}

}  // namespace

void AddLogCategory(CRibbonBar& bar)
{
    const CImageStrip icons(res::PanelIcons);
    CRibbonCategory* log = bar.AddCategory(LabelOf(text::LogCategory));
    log->SetKeys(KeyTipOf(text::LogCategory));
    AddTextPanel(log, icons);
    AddSearchPanel(log, icons);
    AddHighlightPanel(log, icons);
    AddGoToPanel(log, icons);
    AddFollowPanel(log, icons);
    AddRecordsPanel(log, icons);
    AddMarksPanel(log, icons);
    AddFiltersPanel(log, icons);
}
