// ribbon-demo: a window with a representative ribbon built from the ribbon
// widget set, with placeholder images drawn in code, or (--viewer) with the
// viewer's own ribbon content and pictures. For looking at the widgets, at
// any scale factor:
//
//   ribbon-demo [--viewer] [--width N] [--theme blue] [--state NAME] [--shot FILE.png]
//
// --state opens a part for a picture: appmenu, palette, menu, fontlist,
// tooltip, collapsed (a narrow window with a collapsed panel open), minimized,
// minimized-popup, keytips. --shot saves the screen after a moment and quits
// (use under Xvfb).
#include "app/ribbon/RibbonApplicationButton.h"
#include "app/ribbon/RibbonBar.h"
#include "app/ribbon/RibbonButtonsGroup.h"
#include "app/ribbon/RibbonCategory.h"
#include "app/ribbon/RibbonCheckBox.h"
#include "app/ribbon/RibbonColorButton.h"
#include "app/ribbon/RibbonComboBox.h"
#include "app/ribbon/RibbonKeyTipFilter.h"
#include "app/ribbon/RibbonMainPanel.h"
#include "app/ribbon/RibbonPanel.h"
#include "app/ribbon_content/RibbonContent.h"

#include <QApplication>
#include <QComboBox>
#include <QCommandLineParser>
#include <QIconEngine>
#include <QMainWindow>
#include <QPainter>
#include <QPainterPath>
#include <QPlainTextEdit>
#include <QScreen>
#include <QStatusBar>
#include <QTimer>
#include <QToolTip>

namespace {

// A placeholder image drawn as vectors at whatever size and scale it is asked for.
class CPlaceholderIcon : public QIconEngine {
public:
    CPlaceholderIcon(QColor color, QString glyph, bool barBelow) : m_color(color), m_glyph(glyph), m_bBarBelow(barBelow)
    {
    }
    QIconEngine* clone() const override { return new CPlaceholderIcon(*this); }
    void paint(QPainter* p, const QRect& rect, QIcon::Mode mode, QIcon::State) override
    {
        p->save();
        p->setRenderHint(QPainter::Antialiasing);
        const qreal s = rect.width();
        QRectF box = QRectF(rect).adjusted(s * 0.06, s * 0.06, -s * 0.06, -s * 0.06);
        if (m_bBarBelow)
            box.setBottom(rect.top() + s * 0.74);
        const QColor c = mode == QIcon::Disabled ? QColor(160, 160, 160) : m_color;
        QLinearGradient g(box.topLeft(), box.bottomLeft());
        g.setColorAt(0, c.lighter(135));
        g.setColorAt(1, c);
        p->setPen(QPen(c.darker(140), std::max(1.0, s / 24)));
        p->setBrush(g);
        p->drawRoundedRect(box, s * 0.16, s * 0.16);
        QFont f = p->font();
        f.setPixelSize(static_cast<int>(box.height() * 0.62));
        f.setBold(true);
        p->setFont(f);
        p->setPen(Qt::white);
        p->drawText(box, Qt::AlignCenter, m_glyph);
        p->restore();
    }
    QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State state) override
    {
        QPixmap pm(size);
        pm.fill(Qt::transparent);
        QPainter p(&pm);
        paint(&p, QRect(QPoint(), size), mode, state);
        return pm;
    }

private:
    QColor m_color;
    QString m_glyph;
    bool m_bBarBelow;
};

QIcon icon(QColor color, const QString& glyph, bool barBelow = false)
{
    return QIcon(new CPlaceholderIcon(color, glyph, barBelow));
}

QList<QColor> rgbList(std::initializer_list<QRgb> values)
{
    QList<QColor> colors;
    for (QRgb v : values)
        colors.append(QColor(v));
    return colors;
}

void addPalette(CRibbonColorButton* picker, const QColor& automatic)
{
    picker->EnableAutomaticButton("&Automatic", automatic);
    picker->EnableOtherButton("&More Colors...", "More Colors");
    picker->SetColumns(10);
    picker->SetColorBoxSize(QSize(17, 17));
    const QList<QColor> theme =
        rgbList({0xffffff, 0x000000, 0xeeece1, 0x1f497d, 0x4f81bd, 0xc0504d, 0x9bbb59, 0x8064a2, 0x4bacc6, 0xf79646});
    QStringList names;
    for (int i = 0; i < theme.size(); ++i)
        names.append(QString("Theme colour %1").arg(i + 1));
    picker->AddColorsGroup("Theme Colors", theme, names);
    QList<QColor> shades;
    QStringList shadeNames;
    for (int row = 0; row < 5; ++row)
        for (int col = 0; col < theme.size(); ++col) {
            const QColor c = theme[col];
            shades.append(row < 3 ? c.lighter(100 + (3 - row) * 12) : c.darker(100 + (row - 2) * 25));
            shadeNames.append(QString("Theme colour %1, shade %2").arg(col + 1).arg(row + 1));
        }
    picker->AddColorsGroup({}, shades, shadeNames, true);
    picker->AddColorsGroup(
        "Standard Colors",
        rgbList({0xc00000, 0xff0000, 0xffc000, 0xffff00, 0x92d050, 0x00b050, 0x00b0f0, 0x0070c0, 0x002060, 0x7030a0}),
        {"Dark Red", "Red", "Orange", "Yellow", "Light Green", "Green", "Light Blue", "Blue", "Dark Blue", "Purple"});
}

CRibbonButton* smallButton(int id, const QString& label, const QIcon& image, const QString& tip)
{
    auto* b = new CRibbonButton(id, label, image);
    b->SetToolTipText(tip, "Placeholder description of " + tip.toLower() + ".");
    return b;
}

void buildRibbon(CRibbonBar* bar)
{
    const QColor blue(0x3d6fb6), green(0x3f9b5a), orange(0xd9822b), grey(0x6b7785), red(0xc0504d), violet(0x7d5ba6);

    auto* app = new CRibbonApplicationButton(icon(blue, "O"), QSize(26, 26));
    app->SetToolTipText("File");
    app->SetKeys("f");
    bar->SetApplicationButton(app, QSize(45, 45));
    CRibbonMainPanel* menu = app->GetMainPanel();
    menu->Add(1001, "&Open...", icon(blue, "O"), icon(blue, "O"))->SetToolTipText("Open", "Open a document");
    menu->AddSeparator();
    menu->Add(1002, "&Close", icon(grey, "C"), icon(grey, "C"))->SetToolTipText("Close", "Close the document");
    menu->AddRecentFilesList("Recent Documents", 300, 1100);
    menu->SetRecentFiles({{"syslog", "/var/log/syslog", "Open this document"},
                          {"build.log", "/home/user/project/build.log", "Open this document"},
                          {"notes & ideas.txt", "/home/user/notes & ideas.txt", "Open this document"}});
    menu->AddToBottom(1003, "E&xit", icon(red, "x"))->SetToolTipText("Exit", "Quit the program");

    CRibbonCategory* options = bar->AddCategory("Options");

    CRibbonPanel* clipboard = options->AddPanel("Clipboard", icon(blue, "C"));
    clipboard->SetKeys("d");
    auto* copy = new CRibbonButton(2001, "Copy Page", icon(blue, "C"), icon(blue, "C"));
    copy->SetToolTipText("Copy Screen", "Copy the text on the screen to the clipboard, as it stands in the file");
    clipboard->Add(copy);

    CRibbonPanel* view = options->AddPanel("View", icon(green, "V"));
    auto* status = new CRibbonCheckBox(2002, "Status Bar");
    status->SetChecked(true);
    status->SetToolTipText("Toggle Status Bar", "Show or hide the status bar");
    view->Add(status);
    view->Add(new CRibbonCheckBox(2003, "Auto Hide Ribbon"));

    CRibbonPanel* font = options->AddPanel("Font", icon(orange, "F"));
    font->SetKeys("zf");
    auto* names = new CRibbonButtonsGroup;
    auto* face = new CRibbonFontComboBox(2010, 130);
    face->SelectItem(std::min(10, face->GetCount() - 1));
    face->SetToolTipText("Select Font", "Select the font of the text");
    names->AddButton(face);
    auto* size = new CRibbonComboBox(2011, false, 39);
    for (const char* s : {"4", "5", "6", "7", "8", "9", "10", "11", "12", "14", "16", "18", "20"})
        size->AddItem(s);
    size->SelectItem(9);
    size->SetText("13");
    size->SetToolTipText("Font Size", "Select the size of the font");
    names->AddButton(size);
    font->Add(names);
    auto* grow = new CRibbonButtonsGroup;
    grow->AddButton(smallButton(2012, "Grow Font", icon(orange, "A+"), "Grow Font"));
    grow->AddButton(smallButton(2013, "Shrink Font", icon(orange, "A-"), "Shrink Font"));
    font->Add(grow);
    auto* style = new CRibbonButtonsGroup;
    style->AddButton(smallButton(2014, "Bold", icon(grey, "B"), "Bold"));
    style->AddButton(smallButton(2015, "Italic", icon(grey, "I"), "Italic"));
    style->AddButton(smallButton(2016, "Underline", icon(grey, "U"), "Underline"));
    style->AddButton(smallButton(2017, "Strikethrough", icon(grey, "S"), "Strikethrough"));
    font->Add(style);
    auto* colors = new CRibbonButtonsGroup;
    auto* fontColor = new CRibbonColorButton(2018, "Font Color", QColor(255, 0, 0), icon(grey, "A", true));
    fontColor->SetToolTipText("Font Color", "Change the text colour");
    addPalette(fontColor, Qt::black);
    colors->AddButton(fontColor);
    auto* textCase = smallButton(2019, "Change Case", icon(violet, "Aa"), "Change Case");
    textCase->AddMenuItem(2020, "&Original Case");
    textCase->AddMenuItem(2021, "&Upper Case");
    textCase->AddMenuItem(2022, "&Lower Case");
    colors->AddButton(textCase);
    font->Add(colors);
    font->EnableLaunchButton(2023)->SetToolTipText("Font Dialog", "Show the font dialog");

    CRibbonPanel* page = options->AddPanel("Page", icon(red, "P"));
    page->SetKeys("zb");
    auto* pageColor =
        new CRibbonColorButton(2030, "Page Color", QColor(240, 240, 240), icon(red, "P", true), icon(red, "P", true));
    pageColor->SetSimpleButtonLook();
    pageColor->SetDefaultCommand(true);
    pageColor->SetKeys("pc");
    pageColor->SetToolTipText("Page Color", "Select the background colour");
    addPalette(pageColor, Qt::white);
    page->Add(pageColor);

    CRibbonPanel* find = options->AddPanel("Find", icon(green, "?"));
    auto* findRow = new CRibbonButtonsGroup;
    findRow->AddButton(smallButton(2040, "Find Previous", icon(green, "<"), "Find Previous"));
    auto* findBox = new CRibbonComboBox(2041, true, 100);
    findBox->SetToolTipText("Find Text", "Enter the text to find and then press Enter");
    findRow->AddButton(findBox);
    findRow->AddButton(smallButton(2042, "Find Next", icon(green, ">"), "Find Next"));
    find->Add(findRow);
    find->Add(new CRibbonCheckBox(2043, "Case Sensitive Search"));
    find->EnableLaunchButton(2044);

    CRibbonPanel* window = options->AddPanel("Window", icon(grey, "W"));
    window->SetKeys("zw");
    auto* newWindow = new CRibbonButton(2050, "New Window", {}, icon(blue, "N"));
    newWindow->SetKeys("n");
    window->Add(newWindow);
    auto* switchWindows = new CRibbonButton(2051, "Switch Windows", {}, icon(grey, "S"));
    switchWindows->AddMenuItem(2050, "&New Window");
    switchWindows->SetDefaultCommand(true);
    switchWindows->SetKeys("s");
    window->Add(switchWindows);
    CRibbonLaunchButton* launcher = window->EnableLaunchButton(2051, icon(grey, "W"));
    launcher->SetKeys("W");

    auto* styleMenu = new CRibbonButton(0, "Style", {});
    styleMenu->SetToolTipText("Modify Visual Style", "Choose one of the looks");
    for (int i = 0; i < 4; ++i)
        styleMenu->AddMenuItem(3000 + i, QString("Look &%1").arg(i + 1));
    styleMenu->SetMenuRightAligned(true);
    bar->AddToTabs(styleMenu);
    auto* about = new CRibbonButton(3010, {}, icon(blue, "i"));
    about->SetToolTipText("About", "Show the program's version");
    about->AddMenuItem(3011, "&Welcome");
    about->AddMenuItem(3010, "&About...");
    about->SetDefaultCommand(true);
    about->SetMenuRightAligned(true);
    about->SetKeys("a");
    bar->AddToTabs(about);

    bar->SetQuickAccessCommands({1001});
    bar->SetCommandRadio(3001, true);
}

CRibbonTheme blueTheme()
{
    CRibbonTheme t;
    t.tabRowTop = QColor(0xdf, 0xe9, 0xf5);
    t.tabRowBottom = QColor(0xbf, 0xd3, 0xea);
    t.categoryTop = QColor(0xe8, 0xf0, 0xfa);
    t.categoryBottom = QColor(0xc6, 0xd9, 0xf0);
    t.categoryBorder = QColor(0x8d, 0xb2, 0xe3);
    t.panelTop = QColor(0xf2, 0xf7, 0xfd);
    t.panelBottom = QColor(0xd5, 0xe4, 0xf5);
    t.panelBorder = QColor(0xa3, 0xbf, 0xe3);
    t.panelTitleBack = QColor(0xc2, 0xd8, 0xf1);
    t.panelTitleText = QColor(0x15, 0x42, 0x8b);
    t.tabText = t.activeTabText = QColor(0x15, 0x42, 0x8b);
    t.appButtonTop = QColor(0xdd, 0xe9, 0xf8);
    t.appButtonBottom = QColor(0x4f, 0x7f, 0xc0);
    t.appButtonBorder = QColor(0x2f, 0x58, 0x96);
    return t;
}

}  // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QCommandLineParser parser;
    parser.addHelpOption();
    parser.addOption({"viewer", "Build the viewer's own ribbon content."});
    parser.addOption({"width", "Window width.", "pixels", "1100"});
    parser.addOption({"theme", "blue: a second look, set after building.", "name"});
    parser.addOption({"state", "A part to open for a picture.", "name"});
    parser.addOption({"shot", "Save the screen to FILE and quit.", "file"});
    parser.process(app);

    QMainWindow window;
    auto* bar = new CRibbonBar;
    // Ids of the elements the states open, in the sample and in the viewer's content.
    struct Ids {
        int fontColor, about, fontName, copy, autoHide;
    };
    const bool viewer = parser.isSet("viewer");
    const Ids ids = viewer ? Ids{32789, 57664, 32790, 57634, 223} : Ids{2018, 3010, 2010, 2001, 2003};
    if (viewer) {
        InitRibbon(*bar);
        AssignKeyTips(*bar);
        SetRecentDocuments(*bar, {"/var/log/syslog", "/home/user/project/build.log", "/home/user/notes & ideas.txt"});
        // What a view with the default font shows in the boxes.
        bar->FindByID<CRibbonFontComboBox>(ids.fontName)->SetFaceName("Courier New");
        auto* size = bar->FindByID<CRibbonComboBox>(32791);
        size->SelectItem(size->FindItem("10"));
    } else {
        buildRibbon(bar);
    }
    window.setMenuWidget(bar);
    auto* text = new QPlainTextEdit(viewer ? "The viewer's ribbon content.\n"
                                           : "The ribbon widget set, with placeholder images.\n");
    window.setCentralWidget(text);
    window.statusBar()->showMessage("Ready");
    new CRibbonKeyTipFilter(bar, &window);
    QObject::connect(bar, &CRibbonBar::commandTriggered, &window, [&window, bar, ids](int id) {
        window.statusBar()->showMessage(QString("Command %1").arg(id));
        if (id == ids.autoHide)
            bar->SetMinimized(!bar->IsMinimized());
    });
    if (parser.value("theme") == "blue")
        bar->SetTheme(blueTheme());
    window.resize(parser.value("width").toInt(), 420);
    window.move(0, 0);
    window.show();

    const QString state = parser.value("state");
    QTimer::singleShot(300, &window, [bar, state, ids] {
        if (state == "appmenu")
            bar->GetApplicationButton()->ShowMenu();
        else if (state == "palette")
            bar->FindByID<CRibbonColorButton>(ids.fontColor)->OpenPalette();
        else if (state == "menu")
            bar->FindByID<CRibbonButton>(ids.about)->OnMenuKeyTip();
        else if (state == "fontlist")
            bar->FindByID<CRibbonComboBox>(ids.fontName)->GetComboBox()->showPopup();
        else if (state == "tooltip") {
            CRibbonElement* copy = bar->FindByID(ids.copy);
            QToolTip::showText(copy->mapToGlobal(QPoint(4, copy->height() + 4)), copy->toolTip(), copy);
        } else if (state == "keytips")
            bar->ShowKeyTips();
        else if (state == "collapsed")
            bar->GetActiveCategory()->GetPanel(bar->GetActiveCategory()->GetPanelCount() - 2)->OpenPopup();
        else if (state.startsWith("minimized")) {
            bar->SetMinimized(true);
            if (state == "minimized-popup")
                bar->ShowCategoryPopup();
        }
    });
    const QString shot = parser.value("shot");
    if (!shot.isEmpty()) {
        QTimer::singleShot(900, &window, [&window, shot] {
            QPixmap picture = window.screen()->grabWindow(0);
            QCoreApplication::exit(picture.save(shot) ? 0 : 1);
        });
    }
    return app.exec();
}
