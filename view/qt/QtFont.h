// Fonts between Qt and the LOGFONTW that the text windows and the records
// hold, for the Font dialog.
//
// One resolution converts point sizes and heights everywhere: the screen
// resolution of platform::GetScreenDpiY, taken from the primary screen and
// kept current by FollowScreenDpi. The records (PointsToHeight and
// HeightToPoints) and the text windows (SetFontPoints, GetFontPoints) use it,
// so that a size goes through a record and comes back as it was.
//
// A Qt font becomes a LOGFONTW as follows: the height is minus the point
// size at that resolution (-MulDiv(points, dpi, 72): a character height), or
// minus the pixel size of a font given in pixels; the weight is Qt's (which
// uses the same 100-900 scale), italic, underline and strike-out are 1 or 0,
// the face is the family name (31 characters at most); the character set is
// 0 and the pitch and family 0x31 (FIXED_PITCH | FF_MODERN) for a fixed-pitch
// face, 0 for any other; width, escapement, orientation, precisions and
// quality are 0.
#pragma once

#include "platform/Types.h"

#include <QFont>

inline constexpr std::uint8_t kFixedPitchModern = 0x31;  // FIXED_PITCH | FF_MODERN

platform::LOGFONTW LogFontFromQFont(const QFont& font);
// The font a LOGFONTW describes, sized in points (as a font dialog shows sizes).
QFont QFontFromLogFont(const platform::LOGFONTW& font);

// Sets platform::SetScreenDpiY from the primary screen now and whenever it
// changes (needs a QGuiApplication; otherwise the resolution stays as it is).
void FollowScreenDpi();
