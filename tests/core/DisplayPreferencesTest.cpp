// The preference record: defaults from the profile, font conversions, and the
// point/height arithmetic at the screen's resolution. Saving a window's state
// as the defaults is TextFileViewTest's.
#include "view/DisplayPreferences.h"
#include "view/Profile.h"

#include <gtest/gtest.h>

#include <algorithm>

#include <climits>
#include <cstring>

using platform::kFwBold;
using platform::kFwNormal;
using platform::LOGFONTW;
using platform::Rgb;

namespace {

LOGFONTW MakeFont(const std::u16string& face, std::int32_t height, std::int32_t weight = kFwNormal)
{
    LOGFONTW f{};
    f.lfHeight = height;
    f.lfWeight = weight;
    std::copy(face.begin(), face.begin() + std::min<std::ptrdiff_t>(face.size(), platform::kLfFaceSize), f.lfFaceName);
    return f;
}

std::u16string Face(const DisplayPreferences& p)
{
    return std::u16string(p.faceName, std::find(p.faceName, p.faceName + kPrefsFaceUnits, 0));
}

class DisplayPreferencesTest : public ::testing::Test {
protected:
    void TearDown() override { SetScreenDpiY(96); }
    CMemoryProfile profile;
};

TEST_F(DisplayPreferencesTest, DefaultsComeFromTheProfileOrAreBuiltIn)
{
    const LOGFONTW mono = MakeFont(u"Liberation Mono", -16, 700);
    // One byte too many, written out whole: g++ 12 warns falsely about a string + on this temporary.
    std::string tooLong(reinterpret_cast<const char*>(&mono), 92);
    tooLong.push_back('Z');
    const struct {
        const char* name;
        std::string logFont;  // the stored value ("-": none)
        std::u16string face;
        std::int32_t points;
        int bold;
    } rows[] = {
        {"nothing stored", "-", u"Courier New", -10, 0},
        {"a font", std::string(reinterpret_cast<const char*>(&mono), 92), u"Liberation Mono", 12, 1},
        {"91 bytes is no font", std::string(reinterpret_cast<const char*>(&mono), 91), u"Courier New", -10, 0},
        {"93 bytes is none either", tooLong, u"Courier New", -10, 0},
        {"nor is an empty value", "", u"Courier New", -10, 0},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.name);
        CMemoryProfile own;
        if (r.logFont != "-")
            own.WriteProfileBinary(kPrefsSection, kPrefsLogFont, r.logFont.data(), r.logFont.size());
        DisplayPreferences p;
        std::memset(&p, 0xAB, sizeof p);  // every byte must be set, none left over
        LoadDefaultPreferences(p, own);
        EXPECT_EQ(Face(p), r.face);
        EXPECT_EQ(std::count(p.faceName, p.faceName + kPrefsFaceUnits, 0), kPrefsFaceUnits - std::ssize(r.face));
        EXPECT_EQ(p.pointSize, r.points);
        EXPECT_EQ(p.bold, r.bold);
        EXPECT_EQ(p.italic + p.underline + p.strikeOut + p.charSet + p.pitchAndFamily + p.reserved[0] + p.reserved[1],
                  0);
        EXPECT_EQ(p.requestedEncoding, 0);
        EXPECT_EQ(std::count(p.path, p.path + kPrefsPathUnits, 0), kPrefsPathUnits);
        EXPECT_EQ(p.fontColor, 0x00FFFFFFu);
        EXPECT_EQ(p.pageColor, 0u);
        EXPECT_EQ(p.textCase, TextCaseOriginal);
    }
    // The colours and the case apply on their own, kept as read (a case is never validated).
    profile.WriteProfileInt(kPrefsSection, kPrefsFontColor, static_cast<std::int32_t>(Rgb(10, 20, 30)));
    profile.WriteProfileInt(kPrefsSection, kPrefsTextCase, 9);
    profile.WriteProfileInt(kPrefsSection, kPrefsLogFont, 5);  // an integer is not a font
    DisplayPreferences p;
    LoadDefaultPreferences(p, profile);
    EXPECT_EQ(p.fontColor, Rgb(10, 20, 30));
    EXPECT_EQ(p.textCase, 9);
    EXPECT_EQ(Face(p), u"Courier New");
    // The default -10 is a 13-pixel cell at 96 dpi, which reads back as -10.
    LOGFONTW f;
    PreferencesToLogFont(f, p);
    EXPECT_EQ(f.lfHeight, 13);
}

TEST_F(DisplayPreferencesTest, PointsAndHeightsRoundHalvesAwayFromZeroAndNeverOverflow)
{
    // 11 pt at 96 dpi is 14.67 px -> 15; 8 pt at 120 dpi is 13.33 -> 13; 9 pt at
    // 96 dpi exactly 12; garbage sizes (a record anyone can write) saturate:
    // where MulDiv overflows it answers -1, whose negation is 1.
    const struct {
        int points, dpi, height;
    } toHeight[] = {{10, 96, -13}, {11, 96, -15}, {12, 96, -16}, {1, 96, -1},    {9, 96, -12},     {8, 120, -13},
                    {3, 120, -5},  {-10, 96, 13}, {-11, 96, 15}, {10, 144, -20}, {INT_MAX, 96, 1}, {INT_MIN, 96, 1}};
    for (const auto& r : toHeight)
        EXPECT_EQ(PointsToHeight(r.points, r.dpi), r.height) << r.points << " pt at " << r.dpi;
    const struct {
        int height, dpi, points;
    } toPoints[] = {{-13, 96, 10},
                    {-15, 96, 11},
                    {-16, 96, 12},
                    {13, 96, -10},
                    {-1, 96, 1},
                    {-2, 96, 2},
                    {2, 96, -2},
                    {-13, 120, 8},
                    {-20, 144, 10},
                    {-16, 0, 12},  // a zero resolution is 96
                    {INT_MIN, 72, INT_MAX},
                    {INT_MAX, 96, -1610612735},
                    {INT_MIN, 96, 1610612736}};
    for (const auto& r : toPoints)
        EXPECT_EQ(HeightToPoints(r.height, r.dpi), r.points) << r.height << " px at " << r.dpi;
    SetScreenDpiY(144);
    EXPECT_EQ(PointsToHeight(10), -20);
    SetScreenDpiY(-5);
    EXPECT_EQ(GetScreenDpiY(), 96) << "nonsense restores 96";
}

TEST_F(DisplayPreferencesTest, FontsToRecordsAndBack)
{
    // Bold is a weight above 500, and comes back as 700 or 400.
    for (const auto& [weight, bold] : {std::pair{500, 0}, {501, 1}, {1000, 1}, {0, 0}, {-900, 0}}) {
        DisplayPreferences p{};
        PreferencesFromLogFont(p, MakeFont(u"Courier New", -13, weight));
        EXPECT_EQ(p.bold, bold) << weight;
        LOGFONTW back;
        PreferencesToLogFont(back, p);
        EXPECT_EQ(back.lfWeight, bold ? kFwBold : kFwNormal) << weight;
    }

    // Faces are cut to 31 units, also from a font whose 32 units have no end;
    // a shorter name clears what a longer one left.
    const std::u16string longFace = u"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghij";
    DisplayPreferences p{};
    PreferencesFromLogFont(p, MakeFont(longFace, -13));
    EXPECT_EQ(Face(p), longFace.substr(0, 31));
    SetPreferencesFace(p, u"Mono", 2, 49);
    EXPECT_EQ(Face(p), u"Mono");
    EXPECT_EQ(std::count(p.faceName, p.faceName + kPrefsFaceUnits, 0), kPrefsFaceUnits - 4);
    EXPECT_EQ(p.charSet, 2);

    // Back to a font: the face up to its end (bytes after it are some other
    // writer's leftovers), every field the record does not hold zeroed.
    LoadDefaultPreferences(p, profile);
    p.faceName[12] = u'X';
    p.faceName[31] = u'Y';
    p.italic = p.underline = 1;
    p.pointSize = 12;
    LOGFONTW f;
    std::memset(&f, 0x5A, sizeof f);
    PreferencesToLogFont(f, p);
    EXPECT_EQ(std::u16string(f.lfFaceName), u"Courier New");
    EXPECT_EQ(std::count(f.lfFaceName + 11, f.lfFaceName + platform::kLfFaceSize, 0), platform::kLfFaceSize - 11);
    EXPECT_EQ(f.lfHeight, -16);
    EXPECT_EQ(f.lfWidth + f.lfEscapement + f.lfOrientation + f.lfOutPrecision + f.lfClipPrecision + f.lfQuality, 0);
    EXPECT_EQ(f.lfItalic + f.lfUnderline + f.lfStrikeOut, 2);

    // The path field: 259 units fit, 260 or a NUL do not and leave it as it was; a field without an end reads as
    // its 260 units.
    ASSERT_TRUE(SetPreferencesPath(p, std::u16string(259, u'a')));
    EXPECT_FALSE(SetPreferencesPath(p, std::u16string(260, u'b')));
    EXPECT_FALSE(SetPreferencesPath(p, std::u16string(u"/a\0b", 4)));
    EXPECT_EQ(PreferencesPath(p), std::u16string(259, u'a'));
    std::fill(std::begin(p.path), std::end(p.path), u'z');
    EXPECT_EQ(PreferencesPath(p).size(), 260u);

    // From a font: colours, case, path and encoding stay; any non-zero flag byte is set.
    ASSERT_TRUE(SetPreferencesPath(p, u"/var/log/syslog"));
    EXPECT_EQ(std::count(p.path, p.path + kPrefsPathUnits, 0), kPrefsPathUnits - 15) << "zeros after a shorter path";
    p.fontColor = Rgb(1, 2, 3);
    p.textCase = TextCaseSentence;
    p.requestedEncoding = 3;
    LOGFONTW mono = MakeFont(u"DejaVu Sans Mono", -15, 700);
    mono.lfItalic = 7;
    PreferencesFromLogFont(p, mono);
    EXPECT_EQ(p.fontColor, Rgb(1, 2, 3));
    EXPECT_EQ(p.textCase, TextCaseSentence);
    EXPECT_EQ(p.requestedEncoding, 3);
    EXPECT_EQ(PreferencesPath(p), u"/var/log/syslog");
    EXPECT_EQ(p.pointSize, 11);
    EXPECT_EQ(p.italic + p.underline + p.strikeOut + p.bold, 2);
}

}  // namespace
