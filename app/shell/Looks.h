// The program's looks: each one a complete set of colours for every part of
// the main window, and one call that puts a look on all of them at once.
//
// A look is the program's choice, not the desktop's: its palette sets every
// role, so text and background always come from the same look, whatever the
// desktop's own palette is (a dark desktop included). The text windows keep
// the colours of their files in every look; only their frames and scroll bars
// follow it.
#pragma once

#include "app/bars/StatusBar.h"
#include "app/ribbon/RibbonTheme.h"
#include "app/tabgroups/TabGroupArea.h"

#include <QList>
#include <QPalette>
#include <QString>

class CRibbonBar;

struct CLook {
    int nId = 0;        // the look command's id
    QString name;       // short and lower case: "blue", "classic", ...
    QString styleName;  // the Qt style that draws the standard controls
    // Windows, dialogs, menus, tooltips and pop-up lists.
    QPalette palette;
    CRibbonTheme ribbon;
    CTabGroupTheme tabs;
    CStatusBarTheme statusBar;
    // The caption bar: Window and WindowText for the bar, ToolTipBase and
    // ToolTipText for its message, Mid for its edges.
    QPalette captionBar;
};

// Every look with colours of its own, by id: 205 to 209, then the four
// Office 2007 styles 215 to 218.
const QList<CLook>& Looks();

// The look that a look command's id gives. 205 to 209 and the Office 2007
// styles 215 to 218 have their own; an Office 2007 style also becomes
// `office2007Style`, the style set last (0: none yet). Every other id (210 to
// 214, 219, any stored value) gives the Office 2007 look in that style, blue
// when none was set.
const CLook& LookForId(int id, int& office2007Style);

// The parts of the main window that draw with a look's colours of their own;
// any of them may be null. The caption bar needs no pointer: every caption bar,
// also one created later, takes its look's palette.
struct CLookParts {
    CRibbonBar* ribbon = nullptr;
    CTabGroupArea* tabs = nullptr;
    CStatusBar* statusBar = nullptr;
};

// Puts `look` on the whole application at once (style, palettes, the parts)
// and repaints every visible top-level window before returning.
void ApplyLook(const CLook& look, const CLookParts& parts);
