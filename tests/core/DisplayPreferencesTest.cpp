// The preference record: defaults from the profile, font conversions, and the
// point/height arithmetic at the screen's resolution.
#include "view/DisplayPreferences.h"
#include "view/Profile.h"

#include "TestUtil.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstring>

using platform::kFwBold;
using platform::kFwNormal;
using platform::kLfFaceSize;
using platform::LOGFONTW;
using platform::MulDiv;
using platform::Rgb;

namespace {

LOGFONTW MakeFont(const std::u16string& face, std::int32_t height, std::int32_t weight = kFwNormal)
{
    LOGFONTW f{};
    f.lfHeight = height;
    f.lfWeight = weight;
    for (std::size_t i = 0; i < face.size() && i < kLfFaceSize; ++i)
        f.lfFaceName[i] = face[i];
    return f;
}

void StoreLogFont(IProfile& profile, const LOGFONTW& f)
{
    profile.WriteProfileBinary(kPrefsSection, kPrefsLogFont, &f, sizeof f);
}

std::u16string Face(const DisplayPreferences& p)
{
    std::u16string s;
    for (int i = 0; i < kPrefsFaceUnits && p.faceName[i]; ++i)
        s.push_back(p.faceName[i]);
    return s;
}

// Restores the screen resolution that a test changed.
struct DpiGuard {
    int saved = GetScreenDpiY();
    ~DpiGuard() { SetScreenDpiY(saved); }
};

class DisplayPreferencesTest : public ::testing::Test {
protected:
    CMemoryProfile profile;
    CScopedProfile scope{profile};
    DpiGuard dpi;
};

TEST_F(DisplayPreferencesTest, EmptyProfileGivesBuiltInDefaults)
{
    DisplayPreferences p;
    std::memset(&p, 0xAB, sizeof p);  // every byte must be set, none left over
    LoadDefaultPreferences(p);
    EXPECT_EQ(p.requestedEncoding, 0);
    for (char16_t unit : p.path)
        ASSERT_EQ(unit, 0);
    EXPECT_EQ(p.fontColor, 0x00FFFFFFu);
    EXPECT_EQ(p.pageColor, 0u);
    EXPECT_EQ(Face(p), u"Courier New");
    for (int i = 11; i < kPrefsFaceUnits; ++i)
        EXPECT_EQ(p.faceName[i], 0) << i;
    EXPECT_EQ(p.charSet, 0);
    EXPECT_EQ(p.pitchAndFamily, 0);
    EXPECT_EQ(p.reserved[0], 0);
    EXPECT_EQ(p.reserved[1], 0);
    EXPECT_EQ(p.pointSize, -10);
    EXPECT_EQ(p.italic + p.underline + p.strikeOut + p.bold, 0);
    EXPECT_EQ(p.textCase, TextCaseOriginal);
    // The size box shows the absolute size in points: the default -10 gives
    // a 13-pixel cell at 96 dpi, which reads back as -10.
    LOGFONTW f;
    PreferencesToLogFont(f, p);
    EXPECT_EQ(f.lfHeight, 13);
    EXPECT_EQ(HeightToPoints(f.lfHeight), -10);
}

TEST_F(DisplayPreferencesTest, LogFontHeightsBecomePointSizesAt96Dpi)
{
    StoreLogFont(profile, MakeFont(u"Liberation Mono", -16));
    DisplayPreferences p;
    LoadDefaultPreferences(p);
    EXPECT_EQ(p.pointSize, 12);
    EXPECT_EQ(Face(p), u"Liberation Mono");

    StoreLogFont(profile, MakeFont(u"Liberation Mono", 13));
    LoadDefaultPreferences(p);
    EXPECT_EQ(p.pointSize, -10);
}

TEST_F(DisplayPreferencesTest, PointHeightTableRoundsHalvesAwayFromZero)
{
    struct Row {
        int points, dpi, height;
    };
    // 11 pt at 96 dpi is 14.67 px -> 15; 8 pt at 120 dpi is 13.33 -> 13;
    // 9 pt at 96 dpi is exactly 12; 3 pt at 120 dpi is 5.0; 1.5 px halves.
    const Row rows[] = {{10, 96, -13}, {11, 96, -15}, {12, 96, -16}, {1, 96, -1},  {9, 96, -12},
                        {8, 120, -13}, {3, 120, -5},  {-10, 96, 13}, {-11, 96, 15}};
    for (const Row& r : rows) {
        EXPECT_EQ(PointsToHeight(r.points, r.dpi), r.height) << r.points << " pt at " << r.dpi;
        EXPECT_EQ(HeightToPoints(r.height, r.dpi), r.points) << r.height << " px at " << r.dpi;
    }
    // 1 px at 96 dpi is 0.75 pt -> 1; 2 px is 1.5 pt -> 2 (half away from zero).
    EXPECT_EQ(HeightToPoints(-1, 96), 1);
    EXPECT_EQ(HeightToPoints(-2, 96), 2);
    EXPECT_EQ(HeightToPoints(2, 96), -2);
}

TEST_F(DisplayPreferencesTest, ScreenDpiDrivesTheConversionsAndRejectsNonsense)
{
    SetScreenDpiY(144);
    EXPECT_EQ(GetScreenDpiY(), 144);
    EXPECT_EQ(PointsToHeight(10), -20);
    EXPECT_EQ(HeightToPoints(-20), 10);
    SetScreenDpiY(0);
    EXPECT_EQ(GetScreenDpiY(), 96);
    SetScreenDpiY(-5);
    EXPECT_EQ(GetScreenDpiY(), 96);
    // A zero resolution passed directly must not divide by zero either.
    EXPECT_EQ(HeightToPoints(-16, 0), 12);
}

TEST_F(DisplayPreferencesTest, GarbageSizesNeitherOverflowNorTrap)
{
    // Records come from a file anyone can write; sizes may be anything.
    // Where MulDiv overflows it answers -1, whose negation is 1.
    EXPECT_EQ(PointsToHeight(INT_MAX, 96), 1);
    EXPECT_EQ(PointsToHeight(INT_MIN, 96), 1);
    // At 72 dpi INT_MIN passes through MulDiv unchanged and has no negation.
    EXPECT_EQ(HeightToPoints(INT_MIN, 72), INT_MAX);
    EXPECT_EQ(HeightToPoints(INT_MAX, 96), -1610612735);
    // 72/96 of INT_MIN fits; its negation is exact.
    EXPECT_EQ(HeightToPoints(INT_MIN, 96), 1610612736);
}

TEST_F(DisplayPreferencesTest, BoldIsAWeightAboveFiveHundred)
{
    struct Row {
        std::int32_t weight;
        int bold;
        std::int32_t back;
    };
    const Row rows[] = {{500, 0, kFwNormal}, {501, 1, kFwBold}, {600, 1, kFwBold}, {300, 0, kFwNormal},
                        {1000, 1, kFwBold},  {0, 0, kFwNormal}, {-900, 0, kFwNormal}};
    for (const Row& r : rows) {
        DisplayPreferences p{};
        PreferencesFromLogFont(p, MakeFont(u"Courier New", -13, r.weight));
        EXPECT_EQ(p.bold, r.bold) << r.weight;
        LOGFONTW back;
        PreferencesToLogFont(back, p);
        EXPECT_EQ(back.lfWeight, r.back) << r.weight;
    }
}

TEST_F(DisplayPreferencesTest, FaceNamesAreCutTo31Units)
{
    const std::u16string longFace = u"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghij";  // 36 units
    DisplayPreferences p{};
    SetPreferencesFace(p, longFace.c_str(), 2, 49);
    EXPECT_EQ(Face(p), longFace.substr(0, 31));
    EXPECT_EQ(p.faceName[31], 0);
    EXPECT_EQ(p.charSet, 2);
    EXPECT_EQ(p.pitchAndFamily, 49);

    // A LOGFONTW face that fills all 32 units without a terminator.
    LOGFONTW f = MakeFont(longFace, -13);
    ASSERT_NE(f.lfFaceName[31], 0);
    PreferencesFromLogFont(p, f);
    EXPECT_EQ(Face(p), longFace.substr(0, 31));

    // Exactly 31 survives whole, and a shorter name clears what a longer one left.
    SetPreferencesFace(p, longFace.substr(0, 31).c_str(), 0, 0);
    EXPECT_EQ(Face(p), longFace.substr(0, 31));
    SetPreferencesFace(p, u"Mono", 0, 0);
    EXPECT_EQ(Face(p), u"Mono");
    for (int i = 4; i < kPrefsFaceUnits; ++i)
        EXPECT_EQ(p.faceName[i], 0) << i;
}

TEST_F(DisplayPreferencesTest, ToLogFontStopsAtTheFaceTerminatorAndClearsTheRest)
{
    DisplayPreferences p{};
    LoadDefaultPreferences(p);
    // Bytes after the terminator are left over by some other writer.
    p.faceName[11] = 0;
    p.faceName[12] = u'X';
    p.faceName[31] = u'Y';  // unit 31 must never reach the font
    p.italic = 1;
    p.underline = 1;
    p.strikeOut = 0;
    p.pointSize = 12;
    LOGFONTW f;
    std::memset(&f, 0x5A, sizeof f);
    PreferencesToLogFont(f, p);
    EXPECT_EQ(std::u16string(f.lfFaceName), u"Courier New");
    for (int i = 11; i < kLfFaceSize; ++i)
        EXPECT_EQ(f.lfFaceName[i], 0) << i;
    EXPECT_EQ(f.lfHeight, -16);
    EXPECT_EQ(f.lfWidth, 0);
    EXPECT_EQ(f.lfEscapement, 0);
    EXPECT_EQ(f.lfOrientation, 0);
    EXPECT_EQ(f.lfOutPrecision, 0);
    EXPECT_EQ(f.lfClipPrecision, 0);
    EXPECT_EQ(f.lfQuality, 0);
    EXPECT_EQ(f.lfItalic, 1);
    EXPECT_EQ(f.lfUnderline, 1);
    EXPECT_EQ(f.lfStrikeOut, 0);
}

TEST_F(DisplayPreferencesTest, FromLogFontKeepsColoursCaseAndPath)
{
    DisplayPreferences p{};
    LoadDefaultPreferences(p);
    ASSERT_TRUE(SetPreferencesPath(p, u"/var/log/syslog"));
    p.fontColor = Rgb(1, 2, 3);
    p.pageColor = Rgb(4, 5, 6);
    p.textCase = TextCaseSentence;
    p.requestedEncoding = 3;
    LOGFONTW f = MakeFont(u"DejaVu Sans Mono", -15, 700);
    f.lfItalic = 7;  // any non-zero byte is a set flag
    f.lfStrikeOut = 1;
    PreferencesFromLogFont(p, f);
    EXPECT_EQ(p.fontColor, Rgb(1, 2, 3));
    EXPECT_EQ(p.pageColor, Rgb(4, 5, 6));
    EXPECT_EQ(p.textCase, TextCaseSentence);
    EXPECT_EQ(p.requestedEncoding, 3);
    EXPECT_EQ(PreferencesPath(p), u"/var/log/syslog");
    EXPECT_EQ(p.pointSize, 11);
    EXPECT_EQ(p.italic, 1);
    EXPECT_EQ(p.strikeOut, 1);
    EXPECT_EQ(p.underline, 0);
    EXPECT_EQ(p.bold, 1);
}

TEST_F(DisplayPreferencesTest, LogFontWithoutColoursTakesTheColourDefaults)
{
    StoreLogFont(profile, MakeFont(u"Liberation Mono", -16, 700));
    profile.WriteProfileInt(kPrefsSection, kPrefsTextCase, 9);  // kept as read, never validated
    DisplayPreferences p;
    LoadDefaultPreferences(p);
    EXPECT_EQ(Face(p), u"Liberation Mono");
    EXPECT_EQ(p.bold, 1);
    EXPECT_EQ(p.fontColor, 0x00FFFFFFu);
    EXPECT_EQ(p.pageColor, 0u);
    EXPECT_EQ(p.textCase, 9);
}

TEST_F(DisplayPreferencesTest, LogFontOfAnotherSizeCountsAsAbsent)
{
    profile.WriteProfileInt(kPrefsSection, kPrefsFontColor, static_cast<std::int32_t>(Rgb(10, 20, 30)));
    LOGFONTW f = MakeFont(u"Liberation Mono", -16, 700);
    std::string bytes(reinterpret_cast<const char*>(&f), sizeof f);
    for (std::size_t size : {std::size_t(0), std::size_t(28), std::size_t(91), std::size_t(93), std::size_t(184)}) {
        std::string v = bytes;
        v.resize(size, 'Z');
        profile.WriteProfileBinary(kPrefsSection, kPrefsLogFont, v.data(), v.size());
        DisplayPreferences p;
        LoadDefaultPreferences(p);
        EXPECT_EQ(Face(p), u"Courier New") << size;
        EXPECT_EQ(p.pointSize, -10) << size;
        EXPECT_EQ(p.bold, 0) << size;
        // The colour values are independent of the font and still apply.
        EXPECT_EQ(p.fontColor, Rgb(10, 20, 30)) << size;
    }
    // An integer under the font's name is not a font either.
    profile.WriteProfileInt(kPrefsSection, kPrefsLogFont, 5);
    DisplayPreferences p;
    LoadDefaultPreferences(p);
    EXPECT_EQ(Face(p), u"Courier New");
}

TEST_F(DisplayPreferencesTest, SavedWindowStateComesBackThroughANewRecord)
{
    testutil::Window w("line one\nline two\n", 10, 40);
    ASSERT_TRUE(w.loaded);
    LOGFONTW f = MakeFont(u"DejaVu Sans Mono", -21, 600);
    f.lfItalic = 1;
    f.lfUnderline = 1;
    f.lfCharSet = 238;
    f.lfPitchAndFamily = 49;
    f.lfWidth = 9;
    f.lfEscapement = 900;
    f.lfOrientation = 900;
    f.lfOutPrecision = 3;
    f.lfClipPrecision = 2;
    f.lfQuality = 5;
    w.wnd.SetLogFont(f);
    w.wnd.SetFontColor(Rgb(200, 100, 50));
    w.wnd.SetPageColor(Rgb(0, 0, 64));
    w.wnd.SetTextCase(TextCaseLower);
    EXPECT_TRUE(SaveDefaultPreferences(w.wnd));

    // The stored value is the window's whole font, byte for byte.
    std::vector<std::uint8_t> stored;
    ASSERT_TRUE(profile.GetProfileBinary(kPrefsSection, kPrefsLogFont, stored));
    ASSERT_EQ(stored.size(), 92u);
    EXPECT_EQ(std::memcmp(stored.data(), &w.wnd.GetLogFont(), 92), 0);

    DisplayPreferences p;
    LoadDefaultPreferences(p);
    EXPECT_EQ(p.fontColor, Rgb(200, 100, 50));
    EXPECT_EQ(p.pageColor, Rgb(0, 0, 64));
    EXPECT_EQ(p.textCase, TextCaseLower);
    EXPECT_EQ(p.pointSize, 16);  // 21 px at 96 dpi is 15.75 pt
    EXPECT_EQ(p.charSet, 238);
    EXPECT_EQ(p.pitchAndFamily, 49);

    LOGFONTW back;
    PreferencesToLogFont(back, p);
    EXPECT_EQ(std::u16string(back.lfFaceName), u"DejaVu Sans Mono");
    EXPECT_EQ(back.lfHeight, -21);
    EXPECT_EQ(back.lfWeight, kFwBold);  // 600 reads as bold and comes back as 700
    EXPECT_EQ(back.lfItalic, 1);
    EXPECT_EQ(back.lfUnderline, 1);
    EXPECT_EQ(back.lfStrikeOut, 0);
    EXPECT_EQ(back.lfCharSet, 238);
    EXPECT_EQ(back.lfPitchAndFamily, 49);
    EXPECT_EQ(back.lfWidth, 0);
    EXPECT_EQ(back.lfEscapement, 0);
    EXPECT_EQ(back.lfOrientation, 0);
    EXPECT_EQ(back.lfOutPrecision, 0);
    EXPECT_EQ(back.lfClipPrecision, 0);
    EXPECT_EQ(back.lfQuality, 0);

    // A second window given the record's font measures the same size in points.
    testutil::Window w2("x\n", 10, 40);
    ASSERT_TRUE(w2.loaded);
    w2.wnd.SetLogFont(back);
    EXPECT_EQ(w2.wnd.GetFontPoints(), w.wnd.GetFontPoints());
}

TEST_F(DisplayPreferencesTest, PathFieldNeverOverflows)
{
    DisplayPreferences p{};
    std::u16string longest(259, u'a');
    EXPECT_TRUE(SetPreferencesPath(p, longest));
    EXPECT_EQ(PreferencesPath(p), longest);
    EXPECT_EQ(p.path[259], 0);
    EXPECT_FALSE(SetPreferencesPath(p, std::u16string(260, u'b')));
    EXPECT_EQ(PreferencesPath(p), longest);  // unchanged
    EXPECT_FALSE(SetPreferencesPath(p, std::u16string(u"/a\0b", 4)));
    EXPECT_TRUE(SetPreferencesPath(p, u"/x"));
    for (int i = 2; i < kPrefsPathUnits; ++i)
        ASSERT_EQ(p.path[i], 0) << i;
    // A field without a terminator reads as its 260 units, never beyond.
    std::fill(std::begin(p.path), std::end(p.path), u'z');
    EXPECT_EQ(PreferencesPath(p).size(), 260u);
}

}  // namespace
