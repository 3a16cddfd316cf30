// The content of the main window's ribbon: the application button with the
// file menu, the category "Options" with the panels Clipboard, View, Font,
// Page, Find and Window, the Style and About buttons of the tab row and the
// quick-access toolbar. Every element carries the command id the frame's
// update pass and router know it by; tooltips come from the string table.
#pragma once

#include <QColor>
#include <QStringList>

class CRibbonBar;
class CRibbonColorButton;

// Builds the whole ribbon into an empty bar, the file menu included.
void InitRibbon(CRibbonBar& bar);
// The application button and its file menu: Open, Close, the recent
// documents, Exit.
void BuildApplicationMenu(CRibbonBar& bar);
// The key tips that are not part of the elements' labels.
void AssignKeyTips(CRibbonBar& bar);

// Fills the file menu's recent-documents list (most recent first); entry n
// issues the command of recent-file entry n.
void SetRecentDocuments(CRibbonBar& bar, const QStringList& paths);

// The entries of the font size box, in order.
QStringList FontSizeEntries();

// The palette of the font and page colour pickers (theme colours, their shades, standard colours), with
// `automatic` on top and an entry for the full colour dialog whose tooltip is `moreToolTip`.
void ConfigureColorPicker(CRibbonColorButton* picker, const QColor& automatic, const char* moreToolTip);
