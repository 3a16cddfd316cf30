// Drawing and measuring helpers shared by the ribbon's widgets (not part of
// the ribbon's interface). Everything is drawn from the theme in
// device-independent coordinates, so it stays sharp at any scale factor.
#pragma once

#include "app/ribbon/RibbonTheme.h"

#include <QRectF>
#include <QString>

class QFontMetrics;
class QIcon;
class QMenu;
class QPainter;
class QWidget;

namespace ribbon {

enum class Highlight { None, Hover, Pressed, Checked, CheckedHover };

// The theme of the ribbon bar that `w` belongs to (pop-ups included), or the
// default look for a widget outside any bar.
const CRibbonTheme& themeOf(const QWidget* w);

void fillGradient(QPainter& p, const QRectF& r, const QColor& top, const QColor& bottom, const QColor& border,
                  qreal radius);
void paintHighlight(QPainter& p, const QRectF& r, const CRibbonTheme& theme, Highlight h, qreal radius = 3);
void paintDropArrow(QPainter& p, const QPointF& centre, const QColor& color);
void paintIcon(QPainter& p, const QIcon& icon, const QRectF& r, bool enabled);

// Menus opened from the ribbon take its colours (set as they open, so a new
// look reaches them without the bar tracking every menu).
void styleMenu(QMenu* menu, const CRibbonTheme& theme);

// "E&xit" -> "Exit" ("&&" stays one ampersand).
QString stripMnemonic(const QString& label);
QString richToolTip(const QString& title, const QString& description);

// Counts changes of the ribbon's structure (elements and drop-down menus that
// come, go, move or change their ids), so that a bar re-indexes its elements
// only after one.
quint64 structureGeneration();
void structureChanged();

// Height of one of the up to three rows of small elements in a panel.
int rowHeight(const QFontMetrics& fm);
// Height of a panel's elements area: three rows.
int contentHeight(const QFontMetrics& fm);
int titleHeight(const QFontMetrics& fm);

}  // namespace ribbon
