// Basic value types of the core, laid out as the Win32 types of the same
// names where bytes of them are stored: the font description travels through
// the profile and the preference database byte for byte, and those bytes keep
// one meaning on every system the program runs on.
//
// Nothing here is named like a macro of <windows.h> (RGB, MB_OK, IDOK,
// CF_TEXT, ...): a namespace does not stop a macro, and a Windows back end
// of this layer has to include both.
#pragma once

#include <cstddef>
#include <cstdint>

namespace platform {

using COLORREF = std::uint32_t;  // 0x00BBGGRR

constexpr COLORREF Rgb(unsigned r, unsigned g, unsigned b)
{
    return static_cast<COLORREF>((r & 0xFF) | ((g & 0xFF) << 8) | ((b & 0xFF) << 16));
}
constexpr unsigned RedOf(COLORREF c)
{
    return c & 0xFF;
}
constexpr unsigned GreenOf(COLORREF c)
{
    return (c >> 8) & 0xFF;
}
constexpr unsigned BlueOf(COLORREF c)
{
    return (c >> 16) & 0xFF;
}

constexpr int kLfFaceSize = 32;

// Same field order and sizes as the Windows LOGFONTW (92 bytes, UTF-16 face).
struct LOGFONTW {
    std::int32_t lfHeight;
    std::int32_t lfWidth;
    std::int32_t lfEscapement;
    std::int32_t lfOrientation;
    std::int32_t lfWeight;
    std::uint8_t lfItalic;
    std::uint8_t lfUnderline;
    std::uint8_t lfStrikeOut;
    std::uint8_t lfCharSet;
    std::uint8_t lfOutPrecision;
    std::uint8_t lfClipPrecision;
    std::uint8_t lfQuality;
    std::uint8_t lfPitchAndFamily;
    char16_t lfFaceName[kLfFaceSize];
};
static_assert(sizeof(LOGFONTW) == 92, "LOGFONTW must keep its stored 92-byte layout");
static_assert(offsetof(LOGFONTW, lfFaceName) == 28);

constexpr std::int32_t kFwNormal = 400;
constexpr std::int32_t kFwBold = 700;

// Window handles are opaque numbers handed out by the window registry
// (platform/Window.h); 0 is no window.
using HWND = std::uintptr_t;

// Private window messages.
constexpr unsigned kWmUser = 0x0400;
constexpr unsigned WM_FILE_CHANGED = kWmUser + 0x447;  // 0x0847
// The name a window's file was opened by now names another file (1, 0).
constexpr unsigned WM_FILE_REPLACED = kWmUser + 0x448;  // 0x0848
// A document's background reader made progress or ended (0, 0).
constexpr unsigned WM_SOURCE_PROGRESS = kWmUser + 0x449;  // 0x0849
constexpr unsigned WM_DEFERRED_LOAD = kWmUser + 0x48F;    // 0x088F
// The line index counted another stretch of the file (or all of it): numbers may be shown.
constexpr unsigned WM_LINE_INDEX_PROGRESS = kWmUser + 0x4A0;  // 0x08A0
// The matcher of alert and stop rules found a line in appended text (0, 0).
constexpr unsigned WM_RULES_MATCHED = kWmUser + 0x4A1;  // 0x08A1
// The scan of a window's filter stack found more or reached the end (0, 0).
constexpr unsigned WM_SHOWN_SET_NEWS = kWmUser + 0x4A2;  // 0x08A2
// A window's record summaries found more or reached the end (0, 0).
constexpr unsigned WM_SUMMARIES_NEWS = kWmUser + 0x4A3;  // 0x08A3

// Message box buttons, icons and answers (the values of the Win32 constants).
constexpr unsigned kMbOk = 0x0;
constexpr unsigned kMbYesNoCancel = 0x3;
constexpr unsigned kMbYesNo = 0x4;
constexpr unsigned kMbIconError = 0x10;
constexpr unsigned kMbIconQuestion = 0x20;
constexpr unsigned kMbIconWarning = 0x30;
constexpr unsigned kMbIconInformation = 0x40;
constexpr int kIdOk = 1;
constexpr int kIdCancel = 2;
constexpr int kIdYes = 6;
constexpr int kIdNo = 7;

// Clipboard formats.
constexpr unsigned kCfText = 1;
constexpr unsigned kCfUnicodeText = 13;

// Multiply then divide with a 64-bit intermediate, rounding halves away from
// zero; -1 on a zero divisor or an overflowing result, as the Win32 call does.
std::int32_t MulDiv(std::int32_t number, std::int32_t numerator, std::int32_t denominator);

// Pixels per logical inch along the screen's vertical axis (LOGPIXELSY). The
// one resolution that converts points to font heights and back, for the
// records and for the text windows alike, so that a size survives the trip
// through a record; the window system sets it (from its primary screen) and
// keeps it current. 96 until then; values below 1 restore 96.
void SetScreenDpiY(int dpi);
int GetScreenDpiY();

}  // namespace platform
