#include "app/shell/Looks.h"

#include "app/ribbon/RibbonBar.h"
#include "view/CommandIds.h"

#include <QApplication>
#include <QStyle>
#include <QStyleFactory>
#include <QToolTip>

namespace {

CLook newLook(int id, const QString& name, const QString& styleName)
{
    CLook look;
    look.nId = id;
    look.name = name;
    look.styleName = styleName;
    return look;
}

// The colours a palette is made of; the 3D shades follow from the button colour.
struct PaletteColors {
    QColor window, windowText;
    QColor base, alternateBase, text;
    QColor button, buttonText;
    QColor highlight, highlightedText;
    QColor toolTipBase, toolTipText;
    QColor link;
    QColor disabledText;  // every text role of disabled widgets, and placeholders
};

// A palette with every role set in every group: nothing is left to be taken
// from the desktop's palette, so a dark desktop cannot put its light text on
// a light look.
QPalette makePalette(const PaletteColors& c)
{
    const QPalette shades(c.button, c.window);
    QPalette pal;
    auto set = [&pal](QPalette::ColorRole role, const QColor& normal, const QColor& disabled) {
        pal.setColor(QPalette::Active, role, normal);
        pal.setColor(QPalette::Inactive, role, normal);
        pal.setColor(QPalette::Disabled, role, disabled);
    };
    for (QPalette::ColorRole role :
         {QPalette::Light, QPalette::Midlight, QPalette::Mid, QPalette::Dark, QPalette::Shadow})
        set(role, shades.color(role), shades.color(role));
    set(QPalette::Window, c.window, c.window);
    set(QPalette::WindowText, c.windowText, c.disabledText);
    set(QPalette::Base, c.base, c.base);
    set(QPalette::AlternateBase, c.alternateBase, c.alternateBase);
    set(QPalette::Text, c.text, c.disabledText);
    set(QPalette::PlaceholderText, c.disabledText, c.disabledText);
    set(QPalette::Button, c.button, c.button);
    set(QPalette::ButtonText, c.buttonText, c.disabledText);
    set(QPalette::BrightText, c.highlightedText, c.highlightedText);
    set(QPalette::Highlight, c.highlight, c.highlight);
    set(QPalette::HighlightedText, c.highlightedText, c.highlightedText);
    set(QPalette::ToolTipBase, c.toolTipBase, c.toolTipBase);
    set(QPalette::ToolTipText, c.toolTipText, c.toolTipText);
    set(QPalette::Link, c.link, c.link);
    set(QPalette::LinkVisited, c.link, c.link);
    set(QPalette::NoRole, c.window, c.window);
    return pal;
}

// The caption bar's palette: the look's, with the bar's own background, text,
// message colours and edges.
QPalette captionPalette(const QPalette& look, QColor bar, QColor text, QColor message, QColor messageText, QColor edge)
{
    QPalette pal = look;
    pal.setColor(QPalette::Window, bar);
    pal.setColor(QPalette::WindowText, text);
    pal.setColor(QPalette::ToolTipBase, message);
    pal.setColor(QPalette::ToolTipText, messageText);
    pal.setColor(QPalette::Mid, edge);
    return pal;
}

CTabGroupTheme tabTheme(QColor area, QColor row, QColor rowText, QColor tabText, QColor outline, QColor active)
{
    CTabGroupTheme t;  // the light automatic tab colours
    t.areaBackground = area;
    t.rowBackground = row;
    t.rowText = rowText;
    t.tabText = tabText;
    t.tabOutline = outline;
    t.activeOutline = active;
    return t;
}

CStatusBarTheme statusTheme(QColor top, QColor bottom, QColor border, QColor text, QColor disabledText, QColor link,
                            QColor separatorDark, QColor separatorLight)
{
    return {top, bottom, border, text, disabledText, link, separatorDark, separatorLight};
}

// --- Office 2007: one program in four colour schemes. The schemes share the
// warm highlights of lit, pressed and checked elements (the ribbon's defaults)
// and the yellow selection; they differ in frame, tab row, bodies and bars.

constexpr QColor kOfficeSelection{0xff, 0xdc, 0x87};

CLook blueLook()
{
    CLook look = newLook(cmd::AppLookOffice2007Blue, QStringLiteral("blue"), QStringLiteral("Fusion"));
    const QColor ink(0x15, 0x2b, 0x4e), title(0x15, 0x42, 0x8b), dim(0x48, 0x58, 0x6e), edge(0x7d, 0xa2, 0xd6);
    look.palette = makePalette({.window{0xd5, 0xe4, 0xf7},
                                .windowText = ink,
                                .base{0xff, 0xff, 0xff},
                                .alternateBase{0xee, 0xf4, 0xfc},
                                .text = ink,
                                .button{0xe6, 0xef, 0xfb},
                                .buttonText = title,
                                .highlight = kOfficeSelection,
                                .highlightedText = ink,
                                .toolTipBase{0xf5, 0xf9, 0xfe},
                                .toolTipText{0x24, 0x3a, 0x5c},
                                .link{0x13, 0x4f, 0xa8},
                                .disabledText = dim});
    CRibbonTheme& r = look.ribbon;
    r.tabRowTop = QColor(0xcf, 0xe0, 0xf8);
    r.tabRowBottom = QColor(0xa9, 0xc7, 0xef);
    r.tabText = r.activeTabText = r.panelTitleText = title;
    r.tabHover = QColor(0xe1, 0xec, 0xfb);
    r.categoryTop = QColor(0xe4, 0xee, 0xfb);
    r.categoryBottom = QColor(0xc2, 0xd7, 0xf2);
    r.categoryBorder = edge;
    r.panelTop = QColor(0xee, 0xf4, 0xfc);
    r.panelBottom = QColor(0xce, 0xdf, 0xf5);
    r.panelBorder = QColor(0x95, 0xb6, 0xe2);
    r.panelTitleBack = QColor(0xaf, 0xca, 0xee);
    r.text = r.keyTipText = ink;
    r.disabledText = dim;
    r.controlBorder = QColor(0x91, 0xb0, 0xdb);
    r.popupBack = QColor(0xfa, 0xfc, 0xff);
    r.popupBorder = QColor(0x5b, 0x8a, 0xca);
    r.popupSideBack = QColor(0xe6, 0xef, 0xfb);
    r.popupTitleBack = QColor(0xd0, 0xe0, 0xf5);
    r.appButtonTop = QColor(0xee, 0xf4, 0xfd);
    r.appButtonBottom = QColor(0x4f, 0x84, 0xcc);
    r.appButtonBorder = QColor(0x2a, 0x58, 0x9c);
    r.keyTipBack = QColor(0xf7, 0xfa, 0xfe);
    r.keyTipBorder = QColor(0x5b, 0x8a, 0xca);
    look.tabs = tabTheme(QColor(0x8a, 0xab, 0xdb), QColor(0xc6, 0xda, 0xf5), title, QColor(0x17, 0x22, 0x3c),
                         QColor(0x6f, 0x93, 0xc6), title);
    look.statusBar = statusTheme(QColor(0xd2, 0xe2, 0xf8), QColor(0xa8, 0xc5, 0xee), edge, title,
                                 QColor(0x3f, 0x4f, 0x66), QColor(0x0b, 0x3f, 0x8c), edge, QColor(0xf0, 0xf6, 0xfe));
    look.captionBar = captionPalette(look.palette, QColor(0xc9, 0xdc, 0xf5), ink, QColor(0xff, 0xff, 0xff), ink, edge);
    return look;
}

CLook blackLook()
{
    CLook look = newLook(cmd::AppLookOffice2007Black, QStringLiteral("black"), QStringLiteral("Fusion"));
    look.palette = makePalette({.window{0xe6, 0xe6, 0xe6},
                                .windowText{0x1e, 0x1e, 0x1e},
                                .base{0xff, 0xff, 0xff},
                                .alternateBase{0xf2, 0xf2, 0xf2},
                                .text{0x1e, 0x1e, 0x1e},
                                .button{0xee, 0xee, 0xee},
                                .buttonText{0x1e, 0x1e, 0x1e},
                                .highlight = kOfficeSelection,
                                .highlightedText{0x1e, 0x1e, 0x1e},
                                .toolTipBase{0xf7, 0xf7, 0xf7},
                                .toolTipText{0x2e, 0x2e, 0x2e},
                                .link{0x1f, 0x55, 0xa5},
                                .disabledText{0x58, 0x58, 0x58}});
    CRibbonTheme& r = look.ribbon;
    r.tabRowTop = QColor(0x4c, 0x4c, 0x4c);
    r.tabRowBottom = QColor(0x2c, 0x2c, 0x2c);
    r.tabText = QColor(0xf4, 0xf4, 0xf4);
    r.tabHover = QColor(0x5e, 0x5e, 0x5e);
    r.activeTabText = QColor(0x1e, 0x1e, 0x1e);
    r.categoryTop = QColor(0xee, 0xee, 0xee);
    r.categoryBottom = QColor(0xd0, 0xd0, 0xd0);
    r.categoryBorder = QColor(0x1a, 0x1a, 0x1a);
    r.panelTop = QColor(0xf6, 0xf6, 0xf6);
    r.panelBottom = QColor(0xdc, 0xdc, 0xdc);
    r.panelBorder = QColor(0xa6, 0xa6, 0xa6);
    r.panelTitleBack = QColor(0x55, 0x55, 0x55);
    r.panelTitleText = QColor(0xf4, 0xf4, 0xf4);
    r.text = QColor(0x1e, 0x1e, 0x1e);
    r.disabledText = QColor(0x58, 0x58, 0x58);
    r.controlBorder = QColor(0x9a, 0x9a, 0x9a);
    r.popupBack = QColor(0xf8, 0xf8, 0xf8);
    r.popupBorder = QColor(0x48, 0x48, 0x48);
    r.popupSideBack = QColor(0xe8, 0xe8, 0xe8);
    r.popupTitleBack = QColor(0xd4, 0xd4, 0xd4);
    r.appButtonTop = QColor(0x9a, 0x9a, 0x9a);
    r.appButtonBottom = QColor(0x20, 0x20, 0x20);
    r.appButtonBorder = QColor(0x0c, 0x0c, 0x0c);
    r.keyTipBack = QColor(0xf6, 0xf6, 0xf6);
    r.keyTipBorder = QColor(0x3a, 0x3a, 0x3a);
    r.keyTipText = QColor(0x1e, 0x1e, 0x1e);
    look.tabs = tabTheme(QColor(0x59, 0x59, 0x59), QColor(0x3a, 0x3a, 0x3a), QColor(0xf0, 0xf0, 0xf0),
                         QColor(0x1b, 0x1b, 0x1b), QColor(0x22, 0x22, 0x22), QColor(0xf2, 0xb1, 0x3c));
    look.statusBar = statusTheme(QColor(0x4a, 0x4a, 0x4a), QColor(0x2c, 0x2c, 0x2c), QColor(0x1a, 0x1a, 0x1a),
                                 QColor(0xf4, 0xf4, 0xf4), QColor(0xc4, 0xc4, 0xc4), QColor(0xa8, 0xd4, 0xff),
                                 QColor(0x1e, 0x1e, 0x1e), QColor(0x66, 0x66, 0x66));
    look.captionBar = captionPalette(look.palette, QColor(0x3a, 0x3a, 0x3a), QColor(0xf0, 0xf0, 0xf0),
                                     QColor(0xf4, 0xf4, 0xf4), QColor(0x1e, 0x1e, 0x1e), QColor(0x22, 0x22, 0x22));
    return look;
}

CLook silverLook()
{
    CLook look = newLook(cmd::AppLookOffice2007Silver, QStringLiteral("silver"), QStringLiteral("Fusion"));
    look.palette = makePalette({.window{0xed, 0xef, 0xf2},
                                .windowText{0x1f, 0x23, 0x28},
                                .base{0xff, 0xff, 0xff},
                                .alternateBase{0xf4, 0xf5, 0xf7},
                                .text{0x1f, 0x23, 0x28},
                                .button{0xf3, 0xf4, 0xf6},
                                .buttonText{0x1f, 0x23, 0x28},
                                .highlight = kOfficeSelection,
                                .highlightedText{0x1f, 0x23, 0x28},
                                .toolTipBase{0xf8, 0xf9, 0xfa},
                                .toolTipText{0x34, 0x38, 0x3e},
                                .link{0x1f, 0x55, 0xa5},
                                .disabledText{0x5c, 0x62, 0x6a}});
    CRibbonTheme& r = look.ribbon;  // the ribbon's own defaults are silver
    r.tabRowBottom = QColor(0xd5, 0xda, 0xe2);
    r.categoryBottom = QColor(0xd9, 0xde, 0xe6);
    r.panelTitleBack = QColor(0xc6, 0xcc, 0xd4);
    r.tabText = QColor(0x2f, 0x33, 0x39);
    r.activeTabText = QColor(0x2f, 0x33, 0x39);
    r.panelTitleText = QColor(0x2f, 0x33, 0x39);
    r.disabledText = QColor(0x5c, 0x62, 0x6a);
    look.tabs = tabTheme(QColor(0xa2, 0xaa, 0xb5), QColor(0xdd, 0xe1, 0xe7), QColor(0x3a, 0x42, 0x4e),
                         QColor(0x1e, 0x22, 0x28), QColor(0x8a, 0x94, 0xa2), QColor(0x4a, 0x58, 0x6c));
    look.statusBar = statusTheme(QColor(0xf1, 0xf3, 0xf5), QColor(0xd2, 0xd7, 0xde), QColor(0xa3, 0xaa, 0xb3),
                                 QColor(0x2f, 0x33, 0x39), QColor(0x55, 0x5b, 0x63), QColor(0x1f, 0x55, 0xa5),
                                 QColor(0xa3, 0xaa, 0xb3), QColor(0xfa, 0xfb, 0xfc));
    look.captionBar = captionPalette(look.palette, QColor(0xe3, 0xe6, 0xea), QColor(0x1f, 0x23, 0x28),
                                     QColor(0xff, 0xff, 0xff), QColor(0x1f, 0x23, 0x28), QColor(0xa3, 0xaa, 0xb3));
    return look;
}

CLook aquaLook()
{
    CLook look = newLook(cmd::AppLookOffice2007Aqua, QStringLiteral("aqua"), QStringLiteral("Fusion"));
    const QColor ink(0x12, 0x3c, 0x40), title(0x0f, 0x4a, 0x50), dim(0x3f, 0x5e, 0x60), edge(0x6f, 0xb0, 0xb4);
    look.palette = makePalette({.window{0xd8, 0xee, 0xee},
                                .windowText = ink,
                                .base{0xff, 0xff, 0xff},
                                .alternateBase{0xec, 0xf7, 0xf7},
                                .text = ink,
                                .button{0xe6, 0xf4, 0xf4},
                                .buttonText = title,
                                .highlight = kOfficeSelection,
                                .highlightedText = ink,
                                .toolTipBase{0xf4, 0xfb, 0xfb},
                                .toolTipText{0x1c, 0x4a, 0x4e},
                                .link{0x0a, 0x55, 0x80},
                                .disabledText = dim});
    CRibbonTheme& r = look.ribbon;
    r.tabRowTop = QColor(0xd4, 0xec, 0xec);
    r.tabRowBottom = QColor(0xa3, 0xd3, 0xcf);
    r.tabText = r.activeTabText = r.panelTitleText = title;
    r.tabHover = QColor(0xe3, 0xf3, 0xf3);
    r.categoryTop = QColor(0xe6, 0xf4, 0xf4);
    r.categoryBottom = QColor(0xc0, 0xe1, 0xe2);
    r.categoryBorder = edge;
    r.panelTop = QColor(0xf0, 0xf9, 0xf9);
    r.panelBottom = QColor(0xcf, 0xe8, 0xe9);
    r.panelBorder = QColor(0x8d, 0xc4, 0xc7);
    r.panelTitleBack = QColor(0xa7, 0xd4, 0xd6);
    r.text = r.keyTipText = ink;
    r.disabledText = dim;
    r.controlBorder = QColor(0x82, 0xb9, 0xbc);
    r.popupBack = QColor(0xfa, 0xfd, 0xfd);
    r.popupBorder = QColor(0x4e, 0x9a, 0x9f);
    r.popupSideBack = QColor(0xe2, 0xf2, 0xf2);
    r.popupTitleBack = QColor(0xcd, 0xe7, 0xe8);
    r.appButtonTop = QColor(0xe9, 0xf6, 0xf6);
    r.appButtonBottom = QColor(0x3e, 0x9e, 0xa4);
    r.appButtonBorder = QColor(0x1f, 0x6e, 0x74);
    r.keyTipBack = QColor(0xf6, 0xfc, 0xfc);
    r.keyTipBorder = QColor(0x4e, 0x9a, 0x9f);
    look.tabs = tabTheme(QColor(0x7d, 0xb8, 0xbb), QColor(0xc2, 0xe2, 0xe3), title, QColor(0x17, 0x2a, 0x2c),
                         QColor(0x65, 0xa4, 0xa8), QColor(0x0f, 0x5a, 0x60));
    look.statusBar = statusTheme(QColor(0xd5, 0xed, 0xeb), QColor(0xa2, 0xd2, 0xcd), edge, title,
                                 QColor(0x39, 0x55, 0x57), QColor(0x08, 0x48, 0x6e), edge, QColor(0xf2, 0xfa, 0xfa));
    look.captionBar = captionPalette(look.palette, QColor(0xcd, 0xe8, 0xe9), ink, QColor(0xff, 0xff, 0xff), ink, edge);
    return look;
}

// --- Simpler looks of our own, reachable through a stored value.

// Grey 3D controls of the desktops of the late nineties: flat grey bars, navy selection.
CLook classicLook()
{
    CLook look = newLook(cmd::AppLookWin2000, QStringLiteral("classic"), QStringLiteral("Windows"));
    const QColor face(0xd4, 0xd0, 0xc8), ink(0x00, 0x00, 0x00), grey(0x80, 0x80, 0x80), dim(0x52, 0x50, 0x4a);
    look.palette = makePalette({.window = face,
                                .windowText = ink,
                                .base{0xff, 0xff, 0xff},
                                .alternateBase{0xee, 0xec, 0xe7},
                                .text = ink,
                                .button = face,
                                .buttonText = ink,
                                .highlight{0x0a, 0x24, 0x6a},
                                .highlightedText{0xff, 0xff, 0xff},
                                .toolTipBase{0xff, 0xff, 0xe1},
                                .toolTipText = ink,
                                .link{0x00, 0x33, 0xcc},
                                .disabledText = dim});
    CRibbonTheme& r = look.ribbon;
    // The tab row in the navy of an active title bar of those desktops.
    r.tabRowTop = r.tabRowBottom = QColor(0x0a, 0x24, 0x6a);
    r.tabText = QColor(0xff, 0xff, 0xff);
    r.tabHover = QColor(0x1c, 0x3a, 0x8a);
    r.activeTabText = r.panelTitleText = r.text = r.keyTipText = ink;
    r.categoryTop = r.categoryBottom = face;
    r.categoryBorder = grey;
    r.panelTop = QColor(0xdc, 0xd9, 0xd2);
    r.panelBottom = face;
    r.panelBorder = grey;
    r.panelTitleBack = QColor(0xc0, 0xbc, 0xb3);
    r.disabledText = dim;
    r.hoverTop = r.hoverBottom = QColor(0xe8, 0xe6, 0xe1);
    r.hoverBorder = grey;
    r.pressedTop = r.pressedBottom = QColor(0xbd, 0xb9, 0xb0);
    r.pressedBorder = QColor(0x40, 0x40, 0x40);
    r.checkedTop = r.checkedBottom = QColor(0xea, 0xe8, 0xe3);
    r.checkedBorder = QColor(0x40, 0x40, 0x40);
    r.controlBorder = grey;
    r.popupBack = face;
    r.popupBorder = QColor(0x40, 0x40, 0x40);
    r.popupSideBack = QColor(0xc8, 0xc4, 0xbc);
    r.popupTitleBack = QColor(0xbd, 0xb9, 0xb0);
    r.appButtonTop = QColor(0xec, 0xea, 0xe5);
    r.appButtonBottom = QColor(0xa4, 0xa0, 0x98);
    r.appButtonBorder = QColor(0x40, 0x40, 0x40);
    r.keyTipBack = QColor(0xff, 0xff, 0xe1);
    r.keyTipBorder = ink;
    look.tabs = tabTheme(grey, face, ink, ink, grey, QColor(0x0a, 0x24, 0x6a));
    look.statusBar = statusTheme(face, face, QColor(0xff, 0xff, 0xff), ink, dim, QColor(0x00, 0x33, 0xcc), grey,
                                 QColor(0xff, 0xff, 0xff));
    look.captionBar = captionPalette(look.palette, face, ink, QColor(0xff, 0xff, 0xe1), ink, grey);
    return look;
}

// Flat and white, with blue accents on lit elements and the active window.
CLook flatLook()
{
    CLook look = newLook(cmd::AppLookOfficeXP, QStringLiteral("flat"), QStringLiteral("Fusion"));
    const QColor white(0xff, 0xff, 0xff), ink(0x1f, 0x1f, 0x1f), accent(0x31, 0x6a, 0xc5), dim(0x66, 0x66, 0x66);
    const QColor line(0xc8, 0xd0, 0xdc), wash(0xea, 0xf1, 0xfb);
    look.palette = makePalette({.window{0xf6, 0xf7, 0xf9},
                                .windowText = ink,
                                .base = white,
                                .alternateBase{0xf3, 0xf6, 0xfa},
                                .text = ink,
                                .button = white,
                                .buttonText = ink,
                                .highlight = accent,
                                .highlightedText = white,
                                .toolTipBase = white,
                                .toolTipText = ink,
                                .link{0x1c, 0x5b, 0xba},
                                .disabledText = dim});
    CRibbonTheme& r = look.ribbon;
    r.tabRowTop = r.tabRowBottom = white;
    r.tabText = r.text = r.keyTipText = ink;
    r.tabHover = wash;
    r.activeTabText = QColor(0x1c, 0x4e, 0x9e);
    r.categoryTop = white;
    r.categoryBottom = QColor(0xf6, 0xf8, 0xfb);
    r.categoryBorder = line;
    r.panelTop = r.panelBottom = white;
    r.panelBorder = QColor(0xe0, 0xe5, 0xec);
    r.panelTitleBack = wash;
    r.panelTitleText = QColor(0x1c, 0x4e, 0x9e);
    r.disabledText = dim;
    r.hoverTop = r.hoverBottom = QColor(0xc9, 0xd9, 0xf1);
    r.hoverBorder = accent;
    r.pressedTop = r.pressedBottom = QColor(0xa4, 0xbf, 0xe8);
    r.pressedBorder = accent;
    r.checkedTop = r.checkedBottom = QColor(0xdd, 0xe7, 0xf6);
    r.checkedBorder = accent;
    r.controlBorder = QColor(0xa9, 0xb7, 0xcb);
    r.popupBack = white;
    r.popupBorder = QColor(0x7f, 0x93, 0xb3);
    r.popupSideBack = QColor(0xf2, 0xf5, 0xfa);
    r.popupTitleBack = QColor(0xe4, 0xeb, 0xf5);
    r.appButtonTop = white;
    r.appButtonBottom = QColor(0xc3, 0xd5, 0xf0);
    r.appButtonBorder = accent;
    r.keyTipBack = white;
    r.keyTipBorder = accent;
    look.tabs = tabTheme(QColor(0xe3, 0xe7, 0xed), white, ink, ink, QColor(0xb9, 0xc3, 0xd1), accent);
    look.statusBar = statusTheme(white, white, line, ink, dim, QColor(0x1c, 0x5b, 0xba), line, white);
    look.captionBar = captionPalette(look.palette, white, ink, wash, ink, line);
    return look;
}

// A blue title-like tab row over beige bars, in the manner of an XP desktop.
CLook xpLook()
{
    CLook look = newLook(cmd::AppLookWinXP, QStringLiteral("xp"), QStringLiteral("Fusion"));
    const QColor beige(0xec, 0xe9, 0xd8), ink(0x00, 0x00, 0x00), dim(0x58, 0x55, 0x48), edge(0xac, 0xa8, 0x99);
    const QColor navy(0x0b, 0x2e, 0x6b), cream(0xff, 0xff, 0xe1);
    look.palette = makePalette({.window = beige,
                                .windowText = ink,
                                .base{0xff, 0xff, 0xff},
                                .alternateBase{0xf7, 0xf6, 0xef},
                                .text = ink,
                                .button{0xf5, 0xf4, 0xee},
                                .buttonText = ink,
                                .highlight{0x31, 0x6a, 0xc5},
                                .highlightedText{0xff, 0xff, 0xff},
                                .toolTipBase = cream,
                                .toolTipText = ink,
                                .link{0x0b, 0x4b, 0xb0},
                                .disabledText = dim});
    CRibbonTheme& r = look.ribbon;
    r.tabRowTop = QColor(0x2a, 0x66, 0xc8);
    r.tabRowBottom = QColor(0x1b, 0x4d, 0xa6);
    r.tabText = QColor(0xff, 0xff, 0xff);
    r.tabHover = QColor(0x3a, 0x72, 0xcf);
    r.activeTabText = navy;
    r.categoryTop = QColor(0xf7, 0xf6, 0xef);
    r.categoryBottom = QColor(0xe2, 0xde, 0xcb);
    r.categoryBorder = QColor(0x12, 0x3d, 0x8a);
    r.panelTop = QColor(0xfc, 0xfc, 0xf8);
    r.panelBottom = beige;
    r.panelBorder = QColor(0xc3, 0xbd, 0xa5);
    r.panelTitleBack = QColor(0xd8, 0xd2, 0xbb);
    r.panelTitleText = navy;
    r.text = ink;
    r.disabledText = dim;
    r.hoverTop = QColor(0xff, 0xf5, 0xdb);
    r.hoverBottom = QColor(0xff, 0xdf, 0x9e);
    r.hoverBorder = QColor(0xe3, 0xa2, 0x1a);
    r.controlBorder = QColor(0x7f, 0x9d, 0xb9);
    r.popupBack = QColor(0xff, 0xff, 0xff);
    r.popupBorder = QColor(0x8a, 0x86, 0x7a);
    r.popupSideBack = QColor(0xf1, 0xef, 0xe2);
    r.popupTitleBack = QColor(0xe3, 0xdf, 0xcc);
    r.appButtonTop = QColor(0x7c, 0xcb, 0x6c);
    r.appButtonBottom = QColor(0x2c, 0x8a, 0x2c);
    r.appButtonBorder = QColor(0x1a, 0x5a, 0x1a);
    r.keyTipBack = cream;
    r.keyTipBorder = ink;
    r.keyTipText = ink;
    look.tabs = tabTheme(QColor(0x7d, 0x9c, 0xd0), beige, ink, ink, QColor(0x91, 0x9b, 0x9c), QColor(0xe6, 0x8b, 0x2c));
    look.statusBar =
        statusTheme(beige, beige, edge, ink, dim, QColor(0x0b, 0x4b, 0xb0), edge, QColor(0xff, 0xff, 0xff));
    look.captionBar = captionPalette(look.palette, beige, ink, cream, ink, edge);
    return look;
}

// Warm beige and brown, a soft light look.
CLook beigeLook()
{
    CLook look = newLook(cmd::AppLookOffice2003, QStringLiteral("beige"), QStringLiteral("Fusion"));
    const QColor ink(0x33, 0x29, 0x1c), brown(0x4a, 0x39, 0x20), dim(0x63, 0x55, 0x3f), edge(0xb9, 0xa5, 0x81);
    look.palette = makePalette({.window{0xf4, 0xef, 0xe4},
                                .windowText = ink,
                                .base{0xff, 0xfd, 0xf8},
                                .alternateBase{0xf8, 0xf3, 0xe9},
                                .text = ink,
                                .button{0xf1, 0xea, 0xdb},
                                .buttonText = ink,
                                .highlight{0xf0, 0xd3, 0x98},
                                .highlightedText = ink,
                                .toolTipBase{0xff, 0xf8, 0xe7},
                                .toolTipText = ink,
                                .link{0x86, 0x45, 0x10},
                                .disabledText = dim});
    CRibbonTheme& r = look.ribbon;
    r.tabRowTop = QColor(0xed, 0xe3, 0xce);
    r.tabRowBottom = QColor(0xd6, 0xc0, 0x96);
    r.tabText = r.activeTabText = r.panelTitleText = brown;
    r.tabHover = QColor(0xf5, 0xee, 0xdf);
    r.categoryTop = QColor(0xf8, 0xf3, 0xe8);
    r.categoryBottom = QColor(0xe8, 0xd6, 0xb0);
    r.categoryBorder = edge;
    r.panelTop = QColor(0xfc, 0xf9, 0xf2);
    r.panelBottom = QColor(0xed, 0xe4, 0xd1);
    r.panelBorder = QColor(0xcd, 0xbd, 0x9d);
    r.panelTitleBack = QColor(0xdc, 0xcb, 0xa8);
    r.text = r.keyTipText = ink;
    r.disabledText = dim;
    r.hoverTop = QColor(0xff, 0xf3, 0xd6);
    r.hoverBottom = QColor(0xfb, 0xda, 0x92);
    r.hoverBorder = QColor(0xd2, 0xa2, 0x4c);
    r.pressedTop = QColor(0xf6, 0xca, 0x7d);
    r.pressedBottom = QColor(0xeb, 0xab, 0x4e);
    r.pressedBorder = QColor(0xb9, 0x82, 0x2f);
    r.checkedTop = QColor(0xfb, 0xe3, 0xac);
    r.checkedBottom = QColor(0xf3, 0xc6, 0x6f);
    r.checkedBorder = QColor(0xc0, 0x91, 0x3c);
    r.controlBack = QColor(0xff, 0xfd, 0xf8);
    r.controlBorder = QColor(0xbf, 0xae, 0x8c);
    r.popupBack = QColor(0xff, 0xfc, 0xf6);
    r.popupBorder = QColor(0x9e, 0x8a, 0x66);
    r.popupSideBack = QColor(0xf3, 0xeb, 0xda);
    r.popupTitleBack = QColor(0xe8, 0xdc, 0xc3);
    r.appButtonTop = QColor(0xfb, 0xf3, 0xe2);
    r.appButtonBottom = QColor(0xc3, 0x9c, 0x5f);
    r.appButtonBorder = QColor(0x8c, 0x6a, 0x36);
    r.keyTipBack = QColor(0xff, 0xfc, 0xf3);
    r.keyTipBorder = QColor(0x8c, 0x6a, 0x36);
    look.tabs = tabTheme(QColor(0xbc, 0xa9, 0x8b), QColor(0xea, 0xdf, 0xc8), brown, QColor(0x2e, 0x24, 0x16),
                         QColor(0xa8, 0x92, 0x6e), QColor(0x8c, 0x5a, 0x1e));
    look.statusBar = statusTheme(QColor(0xf1, 0xe8, 0xd5), QColor(0xd6, 0xc0, 0x96), edge, brown,
                                 QColor(0x57, 0x4a, 0x37), QColor(0x7a, 0x3f, 0x0e), edge, QColor(0xfb, 0xf7, 0xee));
    look.captionBar = captionPalette(look.palette, QColor(0xef, 0xe6, 0xd3), ink, QColor(0xff, 0xfb, 0xf0), ink, edge);
    return look;
}

// Dark blue chrome (tab row, tab rows of the windows, caption bar, dialogs and
// menus) around light blue-grey panels, with a strong blue status bar, in the
// manner of a programmer's editor. The panels stay light: the program's
// pictures are drawn for light grounds.
CLook darkBlueLook()
{
    CLook look = newLook(cmd::AppLookVS2005, QStringLiteral("darkblue"), QStringLiteral("Fusion"));
    const QColor light(0xe6, 0xec, 0xf5), dim(0xa4, 0xb1, 0xc4), edge(0x46, 0x59, 0x7a);
    const QColor ink(0x14, 0x21, 0x3a), inkDim(0x44, 0x50, 0x64), accent(0x3d, 0x6d, 0xb5);
    look.palette = makePalette({.window{0x1f, 0x2a, 0x3c},
                                .windowText = light,
                                .base{0x17, 0x21, 0x30},
                                .alternateBase{0x1c, 0x27, 0x38},
                                .text = light,
                                .button{0x2b, 0x3a, 0x52},
                                .buttonText = light,
                                .highlight{0x2a, 0x5f, 0xb4},
                                .highlightedText{0xff, 0xff, 0xff},
                                .toolTipBase{0x2b, 0x3a, 0x52},
                                .toolTipText = light,
                                .link{0x8c, 0xc4, 0xff},
                                .disabledText = dim});
    CRibbonTheme& r = look.ribbon;
    r.tabRowTop = QColor(0x1e, 0x2f, 0x4f);
    r.tabRowBottom = QColor(0x15, 0x24, 0x3f);
    r.tabText = QColor(0xd6, 0xe0, 0xee);
    r.tabHover = QColor(0x2c, 0x3d, 0x5e);
    r.activeTabText = r.text = r.keyTipText = ink;
    r.categoryTop = QColor(0xdc, 0xe3, 0xee);
    r.categoryBottom = QColor(0xb5, 0xc5, 0xdf);
    r.categoryBorder = QColor(0x0e, 0x14, 0x1f);
    r.panelTop = QColor(0xe9, 0xee, 0xf5);
    r.panelBottom = QColor(0xcd, 0xd7, 0xe6);
    r.panelBorder = QColor(0x8c, 0x9d, 0xb8);
    r.panelTitleBack = QColor(0x2b, 0x3a, 0x55);
    r.panelTitleText = QColor(0xdc, 0xe6, 0xf3);
    r.disabledText = inkDim;
    r.hoverTop = QColor(0xd5, 0xe3, 0xf7);
    r.hoverBottom = QColor(0xb7, 0xcd, 0xef);
    r.hoverBorder = accent;
    r.pressedTop = QColor(0x9d, 0xb9, 0xe6);
    r.pressedBottom = QColor(0x8a, 0xaa, 0xdf);
    r.pressedBorder = QColor(0x2f, 0x5b, 0x9e);
    r.checkedTop = QColor(0xc6, 0xd8, 0xf2);
    r.checkedBottom = QColor(0xad, 0xc6, 0xec);
    r.checkedBorder = accent;
    r.controlBorder = r.panelBorder;
    r.popupBack = QColor(0xf7, 0xf9, 0xfc);
    r.popupBorder = QColor(0x3b, 0x4e, 0x6e);
    r.popupSideBack = QColor(0xe4, 0xea, 0xf3);
    r.popupTitleBack = QColor(0xd3, 0xdc, 0xe9);
    r.appButtonTop = QColor(0x5b, 0x8e, 0xdb);
    r.appButtonBottom = QColor(0x1e, 0x4a, 0x8f);
    r.appButtonBorder = QColor(0x0e, 0x2a, 0x55);
    r.keyTipBack = QColor(0xf7, 0xf9, 0xfc);
    r.keyTipBorder = QColor(0x3b, 0x4e, 0x6e);
    look.tabs = tabTheme(QColor(0x12, 0x1a, 0x26), QColor(0x1b, 0x25, 0x36), QColor(0xd6, 0xe0, 0xee),
                         QColor(0xf2, 0xf5, 0xfa), QColor(0x0c, 0x12, 0x1b), QColor(0x6f, 0xa8, 0xff));
    // Dark cards, so that the light titles read on each.
    look.tabs.tabColors = {QColor(0x2f, 0x56, 0x87), QColor(0x33, 0x63, 0x38), QColor(0x85, 0x4f, 0x1f),
                           QColor(0x58, 0x46, 0x82), QColor(0x66, 0x5b, 0x16), QColor(0x22, 0x62, 0x5b),
                           QColor(0x7a, 0x34, 0x4e), QColor(0x5b, 0x51, 0x3e)};
    look.statusBar = statusTheme(QColor(0x14, 0x5a, 0x98), QColor(0x10, 0x4e, 0x86), QColor(0x0b, 0x3f, 0x6e),
                                 QColor(0xff, 0xff, 0xff), QColor(0xc6, 0xd6, 0xe8), QColor(0xd5, 0xe9, 0xff),
                                 QColor(0x0b, 0x3f, 0x6e), QColor(0x3a, 0x7c, 0xba));
    look.captionBar =
        captionPalette(look.palette, QColor(0x1f, 0x2a, 0x3c), light, QColor(0x2b, 0x3a, 0x52), light, edge);
    return look;
}

const CLook& lookById(int id)
{
    for (const CLook& look : Looks())
        if (look.nId == id)
            return look;
    return Looks().front();
}

}  // namespace

const QList<CLook>& Looks()
{
    static const QList<CLook> looks = [] {
        QList<CLook> all;
        for (CLook (*make)() :
             {classicLook, flatLook, xpLook, beigeLook, darkBlueLook, blueLook, blackLook, silverLook, aquaLook})
            all.append(make());
        return all;
    }();
    return looks;
}

const CLook& LookForId(int id, int& office2007Style)
{
    if (id >= cmd::AppLookWin2000 && id <= cmd::AppLookVS2005)
        return lookById(id);
    if (id >= cmd::AppLookOffice2007Blue && id <= cmd::AppLookOffice2007Aqua)
        office2007Style = id;
    return lookById(office2007Style ? office2007Style : cmd::AppLookOffice2007Blue);
}

void ApplyLook(const CLook& look, const CLookParts& parts)
{
    if (QApplication::style()->name().compare(look.styleName, Qt::CaseInsensitive) != 0) {
        if (QStyle* style = QStyleFactory::create(look.styleName))
            QApplication::setStyle(style);  // before the palette: a new style may bring its own
    }
    QApplication::setPalette(look.palette);
    // Tooltips keep a palette of their own, taken from the desktop at start-up.
    QToolTip::setPalette(look.palette);
    QApplication::setPalette(look.captionBar, "CMyCaptionBar");
    if (parts.ribbon)
        parts.ribbon->SetTheme(look.ribbon);
    if (parts.tabs)
        parts.tabs->SetTheme(look.tabs);
    if (parts.statusBar)
        parts.statusBar->SetTheme(look.statusBar);
    for (QWidget* window : QApplication::topLevelWidgets()) {
        if (window->isVisible())
            window->repaint();
    }
}
