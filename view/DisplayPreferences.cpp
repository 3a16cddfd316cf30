#include "view/DisplayPreferences.h"

#include "view/Profile.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <vector>

using platform::COLORREF;
using platform::kFwBold;
using platform::kFwNormal;
using platform::kLfFaceSize;
using platform::LOGFONTW;
using platform::MulDiv;

namespace {

constexpr int kDefaultDpi = 96;

// MulDiv results of a garbage size may be INT_MIN, which has no negation.
std::int32_t Negate(std::int32_t v)
{
    return v == INT_MIN ? INT_MAX : -v;
}

int UsableDpi(int dpi)
{
    return dpi > 0 ? dpi : kDefaultDpi;
}

void SetBuiltInFont(DisplayPreferences& prefs)
{
    prefs.fontColor = kDefaultFontColor;
    prefs.pageColor = kDefaultPageColor;
    SetPreferencesFace(prefs, kDefaultFaceName, 0, 0);
    prefs.pointSize = kDefaultPointSize;
    prefs.italic = prefs.underline = prefs.strikeOut = prefs.bold = 0;
    prefs.textCase = TextCaseOriginal;
}

}  // namespace

void SetScreenDpiY(int dpi)
{
    platform::SetScreenDpiY(dpi);
}

int GetScreenDpiY()
{
    return platform::GetScreenDpiY();
}

std::int32_t PointsToHeight(std::int32_t points, int dpi)
{
    return Negate(MulDiv(points, UsableDpi(dpi), 72));
}

std::int32_t HeightToPoints(std::int32_t height, int dpi)
{
    return Negate(MulDiv(height, 72, UsableDpi(dpi)));
}

void LoadDefaultPreferences(DisplayPreferences& prefs, IProfile& profile)
{
    // Everything not named below (path, encoding, the reserved bytes) is zero.
    std::memset(&prefs, 0, sizeof prefs);

    std::vector<std::uint8_t> bytes;
    // A value of another size is not a font of ours; reading it in part would
    // mix a foreign layout into the record.
    if (profile.GetProfileBinary(kPrefsSection, kPrefsLogFont, bytes) && bytes.size() == sizeof(LOGFONTW)) {
        LOGFONTW font;
        std::memcpy(&font, bytes.data(), sizeof font);
        PreferencesFromLogFont(prefs, font);
    } else {
        SetBuiltInFont(prefs);
    }

    prefs.fontColor = static_cast<COLORREF>(
        profile.GetProfileInt(kPrefsSection, kPrefsFontColor, static_cast<std::int32_t>(kDefaultFontColor)));
    prefs.pageColor = static_cast<COLORREF>(
        profile.GetProfileInt(kPrefsSection, kPrefsPageColor, static_cast<std::int32_t>(kDefaultPageColor)));
    prefs.textCase = profile.GetProfileInt(kPrefsSection, kPrefsTextCase, TextCaseOriginal);
}

bool SaveDefaultPreferences(const CFileWnd& wnd, IProfile& profile)
{
    // Every window that loads or is left says its look: the settings file is written only when that look is
    // not the one kept already, not once per window of a start with hundreds.
    std::vector<std::uint8_t> kept;
    const auto keptInt = [&profile](const char* entry, std::int32_t value) {
        return profile.GetProfileInt(kPrefsSection, entry, ~value) == value;
    };
    if (profile.GetProfileBinary(kPrefsSection, kPrefsLogFont, kept) && kept.size() == sizeof(LOGFONTW) &&
        std::memcmp(kept.data(), &wnd.GetLogFont(), sizeof(LOGFONTW)) == 0 &&
        keptInt(kPrefsFontColor, static_cast<std::int32_t>(wnd.GetFontColor())) &&
        keptInt(kPrefsPageColor, static_cast<std::int32_t>(wnd.GetPageColor())) &&
        keptInt(kPrefsTextCase, wnd.GetTextCase()))
        return true;
    profile.WriteProfileBinary(kPrefsSection, kPrefsLogFont, &wnd.GetLogFont(), sizeof(LOGFONTW));
    profile.WriteProfileInt(kPrefsSection, kPrefsFontColor, static_cast<std::int32_t>(wnd.GetFontColor()));
    profile.WriteProfileInt(kPrefsSection, kPrefsPageColor, static_cast<std::int32_t>(wnd.GetPageColor()));
    profile.WriteProfileInt(kPrefsSection, kPrefsTextCase, wnd.GetTextCase());
    profile.Flush();
    return true;
}

void SetPreferencesFace(DisplayPreferences& prefs, const char16_t* face, std::uint8_t charSet,
                        std::uint8_t pitchAndFamily)
{
    std::fill(std::begin(prefs.faceName), std::end(prefs.faceName), char16_t(0));
    for (int i = 0; face && i < kPrefsFaceUnits - 1 && face[i]; ++i)
        prefs.faceName[i] = face[i];
    prefs.charSet = charSet;
    prefs.pitchAndFamily = pitchAndFamily;
}

void PreferencesFromLogFont(DisplayPreferences& prefs, const LOGFONTW& font)
{
    // The LOGFONTW face need not be terminated within its 32 units.
    char16_t face[kLfFaceSize + 1] = {};
    std::copy(std::begin(font.lfFaceName), std::end(font.lfFaceName), face);
    SetPreferencesFace(prefs, face, font.lfCharSet, font.lfPitchAndFamily);
    prefs.pointSize = HeightToPoints(font.lfHeight);
    prefs.italic = font.lfItalic ? 1 : 0;
    prefs.strikeOut = font.lfStrikeOut ? 1 : 0;
    prefs.underline = font.lfUnderline ? 1 : 0;
    prefs.bold = font.lfWeight > 500 ? 1 : 0;
}

void PreferencesToLogFont(LOGFONTW& font, const DisplayPreferences& prefs)
{
    std::memset(&font, 0, sizeof font);
    // Up to the first NUL only: whatever a foreign writer left after it is not
    // part of the name.
    for (int i = 0; i < kLfFaceSize - 1 && prefs.faceName[i]; ++i)
        font.lfFaceName[i] = prefs.faceName[i];
    font.lfCharSet = prefs.charSet;
    font.lfPitchAndFamily = prefs.pitchAndFamily;
    font.lfHeight = PointsToHeight(prefs.pointSize);
    font.lfItalic = prefs.italic;
    font.lfStrikeOut = prefs.strikeOut;
    font.lfUnderline = prefs.underline;
    font.lfWeight = prefs.bold ? kFwBold : kFwNormal;
}

std::u16string PreferencesPath(const DisplayPreferences& prefs)
{
    const char16_t* begin = prefs.path;
    const char16_t* end = std::find(begin, begin + kPrefsPathUnits, char16_t(0));
    return std::u16string(begin, end);
}

bool SetPreferencesPath(DisplayPreferences& prefs, const std::u16string& path)
{
    if (path.size() >= static_cast<std::size_t>(kPrefsPathUnits) || path.find(char16_t(0)) != std::u16string::npos)
        return false;
    std::fill(std::begin(prefs.path), std::end(prefs.path), char16_t(0));
    std::copy(path.begin(), path.end(), prefs.path);
    return true;
}
