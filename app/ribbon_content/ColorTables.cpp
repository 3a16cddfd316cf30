#include "app/ribbon_content/ColorTables.h"

#include <algorithm>
#include <array>

namespace {

struct NamedColor {
    const char* name;
    int r, g, b;
};

constexpr std::array<NamedColor, 10> kTheme{{
    {"White, Background 1", 255, 255, 255},
    {"Black, Text 1", 0, 0, 0},
    {"Tan, Background 2", 238, 236, 225},
    {"Dark Blue, Text 2", 31, 73, 125},
    {"Blue, Accent 1", 79, 129, 189},
    {"Red, Accent 2", 192, 80, 77},
    {"Olive Green, Accent 3", 155, 187, 89},
    {"Purple, Accent 4", 128, 100, 162},
    {"Aqua, Accent 5", 75, 172, 198},
    {"Orange, Accent 6", 245, 150, 70},
}};

// Shade words by row; the first four theme colours have their own, the six
// accents share the last column.
constexpr const char* kShadeWords[5][5] = {
    {"Darker 5%", "Lighter 50%", "Darker 10%", "Lighter 80%", "Lighter 80%"},
    {"Darker 15%", "Lighter 35%", "Darker 25%", "Lighter 60%", "Lighter 60%"},
    {"Darker 25%", "Lighter 25%", "Darker 35%", "Lighter 40%", "Lighter 40%"},
    {"Darker 35%", "Lighter 15%", "Darker 50%", "Darker 25%", "Darker 25%"},
    {"Darker 50%", "Lighter 5%", "Darker 90%", "Darker 50%", "Darker 50%"},
};

constexpr int kShadeValues[5][10][3] = {
    {{242, 242, 242},
     {127, 127, 127},
     {214, 212, 202},
     {210, 218, 229},
     {217, 228, 240},
     {244, 219, 218},
     {234, 241, 221},
     {229, 223, 235},
     {216, 237, 242},
     {255, 234, 218}},
    {{215, 215, 215},
     {89, 89, 89},
     {177, 176, 167},
     {161, 180, 201},
     {179, 202, 226},
     {233, 184, 182},
     {213, 226, 188},
     {203, 191, 215},
     {176, 220, 231},
     {255, 212, 181}},
    {{190, 190, 190},
     {65, 65, 65},
     {118, 117, 112},
     {115, 143, 175},
     {143, 177, 213},
     {222, 149, 147},
     {192, 213, 155},
     {177, 160, 197},
     {137, 203, 218},
     {255, 191, 145}},
    {{163, 163, 163},
     {42, 42, 42},
     {61, 61, 59},
     {20, 57, 92},
     {54, 96, 139},
     {149, 63, 60},
     {114, 139, 71},
     {97, 76, 119},
     {41, 128, 146},
     {190, 112, 59}},
    {{126, 126, 126},
     {20, 20, 20},
     {29, 29, 28},
     {17, 40, 64},
     {38, 66, 94},
     {100, 44, 43},
     {77, 93, 49},
     {67, 53, 81},
     {31, 86, 99},
     {126, 77, 42}},
};

constexpr std::array<NamedColor, 10> kStandard{{
    {"Dark Red", 200, 15, 18},
    {"Red", 255, 20, 24},
    {"Orange", 255, 191, 40},
    {"Yellow", 255, 255, 49},
    {"Light Green", 138, 207, 87},
    {"Green", 0, 175, 84},
    {"Light Blue", 0, 174, 238},
    {"Blue", 0, 111, 189},
    {"Black", 0, 36, 95},  // a dark navy: pure black is the theme's "Black, Text 1"
    {"Purple", 114, 50, 157},
}};

template <std::size_t N>
CColorTable MakeTable(const std::array<NamedColor, N>& entries)
{
    CColorTable table;
    for (const NamedColor& e : entries) {
        table.colors.append(QColor(e.r, e.g, e.b));
        table.names.append(QString::fromUtf8(e.name));
    }
    return table;
}

}  // namespace

const CColorTable& ThemeColors()
{
    static const CColorTable table = MakeTable(kTheme);
    return table;
}

const CColorTable& ShadeColors()
{
    static const CColorTable table = [] {
        CColorTable t;
        for (int row = 0; row < 5; ++row) {
            for (int col = 0; col < 10; ++col) {
                const int* v = kShadeValues[row][col];
                t.colors.append(QColor(v[0], v[1], v[2]));
                const char* word = kShadeWords[row][std::min(col, 4)];
                t.names.append(QString::fromUtf8(kTheme[col].name) + ", " + QString::fromUtf8(word));
            }
        }
        return t;
    }();
    return table;
}

const CColorTable& StandardColors()
{
    static const CColorTable table = MakeTable(kStandard);
    return table;
}

QColor ColorFromRef(platform::COLORREF color)
{
    return QColor(platform::RedOf(color), platform::GreenOf(color), platform::BlueOf(color));
}

platform::COLORREF RefFromColor(const QColor& color)
{
    return platform::Rgb(color.red(), color.green(), color.blue());
}
