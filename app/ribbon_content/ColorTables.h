// The colours the two colour pickers offer: ten theme colours, fifty shades of
// them (five rows of ten, each column the shades of one theme colour) and ten
// standard colours, each with the name its tooltip shows.
#pragma once

#include "platform/Types.h"

#include <QColor>
#include <QList>
#include <QStringList>

struct CColorTable {
    QList<QColor> colors;
    QStringList names;  // one per colour, in the same order
};

const CColorTable& ThemeColors();
const CColorTable& ShadeColors();  // row by row: the first ten are the lightest shade of each theme colour
const CColorTable& StandardColors();

// Colours cross the view's interfaces as 0x00BBGGRR values.
QColor ColorFromRef(platform::COLORREF color);
platform::COLORREF RefFromColor(const QColor& color);
