// The colours a ribbon is drawn with. One plain struct, so that a look is a
// value that can be built, compared and checked for readability in a test.
#pragma once

#include <QColor>

struct CRibbonTheme {
    // Tab row: its background, the category tabs and their text.
    QColor tabRowTop{0xee, 0xf0, 0xf3};
    QColor tabRowBottom{0xd8, 0xdc, 0xe2};
    QColor tabText{0x1e, 0x21, 0x25};
    QColor tabHover{0xf6, 0xf7, 0xf9};
    QColor activeTabText{0x1e, 0x21, 0x25};

    // The body of the active category (under the tabs) and its panels.
    QColor categoryTop{0xf5, 0xf6, 0xf8};
    QColor categoryBottom{0xdc, 0xe0, 0xe6};
    QColor categoryBorder{0x9e, 0xa5, 0xad};
    QColor panelTop{0xfa, 0xfb, 0xfc};
    QColor panelBottom{0xe6, 0xe9, 0xed};
    QColor panelBorder{0xb4, 0xba, 0xc2};
    QColor panelTitleBack{0xcb, 0xd0, 0xd7};
    QColor panelTitleText{0x26, 0x2a, 0x2f};

    // Element text and the highlights of hovered, pressed and checked elements.
    QColor text{0x1b, 0x1d, 0x20};
    QColor disabledText{0x80, 0x86, 0x8d};
    QColor hoverTop{0xff, 0xf7, 0xdb};
    QColor hoverBottom{0xff, 0xe2, 0x94};
    QColor hoverBorder{0xdb, 0xb3, 0x54};
    QColor pressedTop{0xfb, 0xd3, 0x8c};
    QColor pressedBottom{0xf5, 0xb0, 0x4e};
    QColor pressedBorder{0xc2, 0x8a, 0x34};
    QColor checkedTop{0xfd, 0xe6, 0xad};
    QColor checkedBottom{0xf9, 0xc9, 0x6a};
    QColor checkedBorder{0xc8, 0x98, 0x3c};

    // Edit fields, check boxes and pop-ups (menus, palettes, the application menu).
    QColor controlBack{0xff, 0xff, 0xff};
    QColor controlBorder{0xa3, 0xa9, 0xb1};
    QColor popupBack{0xfa, 0xfb, 0xfc};
    QColor popupBorder{0x86, 0x8d, 0x96};
    QColor popupSideBack{0xee, 0xf0, 0xf3};
    QColor popupTitleBack{0xdd, 0xe1, 0xe6};

    // The round application button.
    QColor appButtonTop{0xf4, 0xf6, 0xf9};
    QColor appButtonBottom{0x9c, 0xa7, 0xb5};
    QColor appButtonBorder{0x69, 0x74, 0x82};

    // Key tips shown over the elements.
    QColor keyTipBack{0xf3, 0xf4, 0xf6};
    QColor keyTipBorder{0x5f, 0x66, 0x70};
    QColor keyTipText{0x1b, 0x1d, 0x20};
};

// WCAG 2 contrast ratio of two opaque colours: 1 (same luminance) to 21
// (black on white). Text should reach 4.5.
double RibbonContrastRatio(const QColor& a, const QColor& b);
