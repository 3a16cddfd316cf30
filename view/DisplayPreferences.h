// The display preferences of one file: requested encoding, path, colours,
// font and text case. The same 612 bytes are a record of the preference
// database file, so the layout below is a file format: every offset is fixed
// and checked, integers are little-endian.
#pragma once

#include "platform/Types.h"
#include "textwnd/FileWnd.h"  // TextCase

#include <bit>
#include <cstddef>
#include <cstdint>
#include <string>
#include <type_traits>

class IProfile;

inline constexpr int kPrefsPathUnits = 260;  // path field, terminator included
inline constexpr int kPrefsFaceUnits = 32;   // face field, unit 31 always 0

struct DisplayPreferences {
    std::int32_t requestedEncoding;  // 0 detect, 1 ANSI, 2 UTF-16 LE, 3 UTF-16 BE
    char16_t path[kPrefsPathUnits];  // NUL-terminated, zero after the terminator
    platform::COLORREF fontColor;
    platform::COLORREF pageColor;
    char16_t faceName[kPrefsFaceUnits];
    std::uint8_t charSet;
    std::uint8_t pitchAndFamily;
    std::uint8_t reserved[2];  // written as zero, ignored on reading
    std::int32_t pointSize;    // points; negative for a font given by cell height
    std::uint8_t italic;
    std::uint8_t underline;
    std::uint8_t strikeOut;
    std::uint8_t bold;
    std::int32_t textCase;  // a TextCase; other values are kept as they are
};

// The record is read and written in place in a shared mapping: its bytes in
// memory are its bytes in the file.
static_assert(std::endian::native == std::endian::little, "the record layout is little-endian");
static_assert(std::is_standard_layout_v<DisplayPreferences> && std::is_trivially_copyable_v<DisplayPreferences>);
static_assert(sizeof(DisplayPreferences) == 612);
static_assert(alignof(DisplayPreferences) == 4, "612-byte records on a page-aligned mapping stay aligned");
static_assert(offsetof(DisplayPreferences, requestedEncoding) == 0);
static_assert(offsetof(DisplayPreferences, path) == 4);
static_assert(offsetof(DisplayPreferences, fontColor) == 524);
static_assert(offsetof(DisplayPreferences, pageColor) == 528);
static_assert(offsetof(DisplayPreferences, faceName) == 532);
static_assert(offsetof(DisplayPreferences, charSet) == 596);
static_assert(offsetof(DisplayPreferences, pitchAndFamily) == 597);
static_assert(offsetof(DisplayPreferences, reserved) == 598);
static_assert(offsetof(DisplayPreferences, pointSize) == 600);
static_assert(offsetof(DisplayPreferences, italic) == 604);
static_assert(offsetof(DisplayPreferences, underline) == 605);
static_assert(offsetof(DisplayPreferences, strikeOut) == 606);
static_assert(offsetof(DisplayPreferences, bold) == 607);
static_assert(offsetof(DisplayPreferences, textCase) == 608);

// Profile section and values holding the defaults for files not seen before.
inline constexpr const char* kPrefsSection = "TextFileView";
inline constexpr const char* kPrefsLogFont = "LogFont";
inline constexpr const char* kPrefsFontColor = "Font Color";
inline constexpr const char* kPrefsPageColor = "Page Color";
inline constexpr const char* kPrefsTextCase = "Text Case";

inline constexpr platform::COLORREF kDefaultFontColor = 0x00FFFFFF;
inline constexpr platform::COLORREF kDefaultPageColor = 0x00000000;
inline constexpr std::int32_t kDefaultPointSize = -10;
inline constexpr const char16_t* kDefaultFaceName = u"Courier New";

// --- Screen resolution ----------------------------------------------------------
// Pixels per logical inch along the screen's vertical axis, for converting
// between points and font heights: platform::GetScreenDpiY, the resolution the
// text windows use too. 96 until the window system says otherwise (the Qt side
// sets it from the primary screen). Values below 1 restore 96.
void SetScreenDpiY(int dpi);
int GetScreenDpiY();

// height = -platform::MulDiv(points, dpi, 72); points = -platform::MulDiv(height, 72, dpi).
// platform::MulDiv rounds halves away from zero. Results that cannot be negated (a
// garbage record may hold any size) saturate instead of overflowing.
std::int32_t PointsToHeight(std::int32_t points, int dpi);
std::int32_t HeightToPoints(std::int32_t height, int dpi);
inline std::int32_t PointsToHeight(std::int32_t points)
{
    return PointsToHeight(points, GetScreenDpiY());
}
inline std::int32_t HeightToPoints(std::int32_t height)
{
    return HeightToPoints(height, GetScreenDpiY());
}

// --- The record -----------------------------------------------------------------
// Fills the whole record with the defaults of the profile: path and requested
// encoding cleared, the font from "LogFont" (a value of any size other than 92
// bytes counts as absent), then the two colours and the text case. The caller
// names the profile: its owner decides which settings a record starts from.
void LoadDefaultPreferences(DisplayPreferences& prefs, IProfile& profile);

// Stores a text window's font, colours and text case as the profile's defaults.
bool SaveDefaultPreferences(const CFileWnd& wnd, IProfile& profile);

// Copies at most 31 units of `face` (it may lack a terminator within 32
// units) and the two bytes; the rest of the field is zeroed.
void SetPreferencesFace(DisplayPreferences& prefs, const char16_t* face, std::uint8_t charSet,
                        std::uint8_t pitchAndFamily);
// Face, character set, pitch and family, size in points and the four style
// flags from a font (bold: weight above 500). Colours, case, path and
// encoding stay as they are.
void PreferencesFromLogFont(DisplayPreferences& prefs, const platform::LOGFONTW& font);
// The whole font from the record; width, escapement, orientation, the
// precisions and quality come back 0, the weight 700 or 400.
void PreferencesToLogFont(platform::LOGFONTW& font, const DisplayPreferences& prefs);

// The path field as text (up to its first NUL, never past the field).
std::u16string PreferencesPath(const DisplayPreferences& prefs);
// Stores `path` with its terminator and zeros after it. A path of 260 units
// or more, or one holding a NUL, does not fit: false, the field unchanged.
bool SetPreferencesPath(DisplayPreferences& prefs, const std::u16string& path);
