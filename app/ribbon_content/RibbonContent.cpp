#include "app/ribbon_content/RibbonContent.h"

#include "app/ribbon/RibbonApplicationButton.h"
#include "app/ribbon/RibbonBar.h"
#include "app/ribbon/RibbonButtonsGroup.h"
#include "app/ribbon/RibbonCategory.h"
#include "app/ribbon/RibbonCheckBox.h"
#include "app/ribbon/RibbonColorButton.h"
#include "app/ribbon/RibbonComboBox.h"
#include "app/ribbon/RibbonMainPanel.h"
#include "app/ribbon/RibbonPanel.h"
#include "app/ribbon_content/ColorTables.h"
#include "app/ribbon_content/LogCategory.h"
#include "app/ribbon_content/RibbonText.h"
#include "res/ImageStrip.h"
#include "view/CommandIds.h"
#include "view/StringTable.h"

#include <QFileInfo>

namespace content {

QString Utf8(std::string_view text)
{
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// "label\nkeytip" texts.
QString LabelOf(std::string_view text)
{
    return Utf8(TextPart(text, 0));
}

QString KeyTipOf(std::string_view text)
{
    return Utf8(TextPart(text, 1));
}

QString StringLabel(int id)
{
    return Utf8(LoadStringById(id));
}

// The tooltip of a command's element: the title of its string over its description.
void SetCommandToolTip(CRibbonElement* element, int id)
{
    const std::string text = LoadStringById(id);
    if (!text.empty())
        element->SetToolTipText(Utf8(TextPart(text, 1)), Utf8(TextPart(text, 0)));
}

CRibbonPanel* AddPanel(CRibbonCategory* category, std::string_view name, const QIcon& icon)
{
    CRibbonPanel* panel = category->AddPanel(LabelOf(name), icon);
    panel->SetKeys(KeyTipOf(name));
    return panel;
}

}  // namespace content

using namespace content;

namespace {

// Image indexes in the strips.
constexpr int kOpenImage = 1;       // file menu, small and large
constexpr int kCloseImage = 9;      // file menu, small and large
constexpr int kExitImage = 15;      // file menu, small
constexpr int kCopySmallImage = 2;  // "Options", small
constexpr int kCopyLargeImage = 4;  // "Options", large
constexpr int kPageColorSmallImage = 11;
constexpr int kPageColorLargeImage = 2;
constexpr int kNewWindowImage = 5;       // "Options", large
constexpr int kSwitchWindowsImage = 6;   // "Options", large
constexpr int kWindowLauncherImage = 1;  // "Options", small
constexpr int kFindPreviousImage = 1;    // find buttons
constexpr int kFindNextImage = 2;
constexpr int kAboutIcon = 0;  // panel icons
constexpr int kClipboardIcon = 27;
constexpr int kViewIcon = 7;
constexpr int kFontIcon = 1;
constexpr int kPageIcon = 15;
constexpr int kWindowIcon = 7;

constexpr int kFontNameWidth = 120;
constexpr int kFontSizeWidth = 39;
constexpr int kFindBoxWidth = 100;
constexpr int kRecentListWidth = 300;
constexpr int kInitialFontEntry = 10;  // the eleventh font, when there are that many
constexpr int kInitialSizeEntry = 3;   // "7"

// The font toolbar's buttons in its order, grouped as its separators group them.
constexpr int kFontToolbar[][4] = {
    {cmd::FontGrow, cmd::FontShrink},
    {cmd::FontBold, cmd::FontItalic, cmd::FontUnderline, cmd::FontStrikethrough},
    {cmd::FontColor},
    {cmd::ChangeCase},
};

// Key tips assigned after the content is built: command id and key text;
// "x&y" gives the element key tip x and its menu key tip y.
constexpr std::pair<int, const char*> kKeyTips[] = {
    {cmd::AppAbout, "a"},
};

CRibbonButton* SmallButton(int id, const QIcon& image)
{
    auto* button = new CRibbonButton(id, Utf8(StringTitle(id)), image);
    SetCommandToolTip(button, id);
    return button;
}

void AddMenu(CRibbonButton* button, int menuId)
{
    for (const MenuItemText& item : MenuItems(menuId))
        button->AddMenuItem(item.id, Utf8(item.text));
}

void AddClipboardPanel(CRibbonCategory* options, const CImageStrip& small, const CImageStrip& large,
                       const CImageStrip& icons)
{
    CRibbonPanel* panel = AddPanel(options, LoadStringById(ids::ClipboardPanel), icons.Icon(kClipboardIcon));
    auto* copy = new CRibbonButton(cmd::EditCopy, Utf8(text::CopyPage), small.Icon(kCopySmallImage),
                                   large.Icon(kCopyLargeImage));
    SetCommandToolTip(copy, cmd::EditCopy);
    panel->Add(copy);
}

void AddViewPanel(CRibbonCategory* options, const CImageStrip& icons)
{
    CRibbonPanel* panel = AddPanel(options, LoadStringById(ids::ViewPanel), icons.Icon(kViewIcon));
    auto* statusBar = new CRibbonCheckBox(cmd::ViewStatusBar, StringLabel(ids::StatusBarLabel));
    SetCommandToolTip(statusBar, cmd::ViewStatusBar);
    panel->Add(statusBar);
    panel->Add(new CRibbonCheckBox(cmd::ViewAutoHideRibbon, Utf8(text::AutoHideRibbon)));
}

void AddFontPanel(CRibbonCategory* options, const CImageStrip& icons)
{
    CRibbonPanel* panel = options->AddPanel(Utf8(text::FontPanel), icons.Icon(kFontIcon));
    panel->SetKeys(Utf8(text::FontPanelKeyTip));

    auto* boxes = new CRibbonButtonsGroup;
    auto* fontName = new CRibbonFontComboBox(cmd::FontName, kFontNameWidth);
    if (fontName->GetCount() > kInitialFontEntry)
        fontName->SelectItem(kInitialFontEntry);
    SetCommandToolTip(fontName, cmd::FontName);
    boxes->AddButton(fontName);
    auto* fontSize = new CRibbonComboBox(cmd::FontSize, false, kFontSizeWidth);
    for (const QString& size : FontSizeEntries())
        fontSize->AddItem(size);
    fontSize->SelectItem(kInitialSizeEntry);
    SetCommandToolTip(fontSize, cmd::FontSize);
    boxes->AddButton(fontSize);
    panel->Add(boxes);

    const CImageStrip toolbar(res::FontToolbar);
    int image = 0;
    for (const auto& ids : kFontToolbar) {
        auto* group = new CRibbonButtonsGroup;
        for (int id : ids) {
            if (!id)
                break;
            const QIcon icon = toolbar.Icon(image++);
            if (id == cmd::FontColor) {
                auto* picker = new CRibbonColorButton(id, Utf8(StringTitle(id)), QColor(255, 0, 0), icon);
                SetCommandToolTip(picker, id);
                ConfigureColorPicker(picker, QColor(0, 0, 0), text::ColorMoreTooltip);
                group->AddButton(picker);
                continue;
            }
            CRibbonButton* button = SmallButton(id, icon);
            if (id == cmd::ChangeCase)
                AddMenu(button, res::ChangeCaseMenu);
            group->AddButton(button);
        }
        panel->Add(group);
    }

    // The launcher's tooltip is its own, not the Font Dialog command's string.
    CRibbonLaunchButton* launcher = panel->EnableLaunchButton(cmd::FontDialog);
    launcher->SetToolTipText(Utf8(TextPart(text::FontLauncher, 1)), Utf8(TextPart(text::FontLauncher, 0)));
}

void AddPagePanel(CRibbonCategory* options, const CImageStrip& small, const CImageStrip& large,
                  const CImageStrip& icons)
{
    CRibbonPanel* panel = AddPanel(options, text::PagePanel, icons.Icon(kPageIcon));
    auto* picker = new CRibbonColorButton(cmd::PageColor, LabelOf(text::PageColor), QColor(240, 240, 240),
                                          small.Icon(kPageColorSmallImage), large.Icon(kPageColorLargeImage));
    picker->SetKeys(KeyTipOf(text::PageColor));
    picker->SetSimpleButtonLook();
    // The main part applies the colour it shows; the arrow opens the palette.
    picker->SetDefaultCommand(true);
    SetCommandToolTip(picker, cmd::PageColor);
    ConfigureColorPicker(picker, QColor(255, 255, 255), text::ColorMoreShadingTooltip);
    panel->Add(picker);
}

void AddFindPanel(CRibbonCategory* options)
{
    CRibbonPanel* panel = options->AddPanel(Utf8(text::FindPanel));
    const CImageStrip images(res::FindButtons);
    auto* row = new CRibbonButtonsGroup;
    auto* previous = new CRibbonButton(cmd::FindPrevious, Utf8(text::FindPrevious), images.Icon(kFindPreviousImage));
    SetCommandToolTip(previous, cmd::FindPrevious);
    row->AddButton(previous);
    auto* box = new CRibbonComboBox(cmd::FindText, true, kFindBoxWidth);
    box->ReserveTextWidth(Utf8(text::RegularExpressionPlaceholder));  // shown while patterns are on
    SetCommandToolTip(box, cmd::FindText);
    row->AddButton(box);
    auto* next = new CRibbonButton(cmd::FindNext, Utf8(text::FindNext), images.Icon(kFindNextImage));
    SetCommandToolTip(next, cmd::FindNext);
    row->AddButton(next);
    panel->Add(row);

    auto* matchCase = new CRibbonCheckBox(cmd::FindMatchCase, Utf8(text::MatchCase));
    SetCommandToolTip(matchCase, cmd::FindMatchCase);
    panel->Add(matchCase);

    SetCommandToolTip(panel->EnableLaunchButton(cmd::FindGoTo), cmd::FindGoTo);
}

void AddWindowPanel(CRibbonCategory* options, const CImageStrip& small, const CImageStrip& large,
                    const CImageStrip& icons)
{
    CRibbonPanel* panel = AddPanel(options, text::WindowPanel, icons.Icon(kWindowIcon));

    auto* newWindow = new CRibbonButton(cmd::WindowNew, LabelOf(text::NewWindow), {}, large.Icon(kNewWindowImage));
    newWindow->SetKeys(KeyTipOf(text::NewWindow));
    SetCommandToolTip(newWindow, cmd::WindowNew);
    panel->Add(newWindow);

    auto* switchWindows =
        new CRibbonButton(cmd::WindowManager, LabelOf(text::SwitchWindows), {}, large.Icon(kSwitchWindowsImage));
    switchWindows->SetKeys(KeyTipOf(text::SwitchWindows));
    AddMenu(switchWindows, res::SwitchWindowsMenu);
    // The main part opens the windows dialog; the arrow opens the menu.
    switchWindows->SetDefaultCommand(true);
    SetCommandToolTip(switchWindows, cmd::WindowManager);
    panel->Add(switchWindows);

    CRibbonLaunchButton* launcher = panel->EnableLaunchButton(cmd::WindowManager, small.Icon(kWindowLauncherImage));
    launcher->SetKeys(Utf8(text::WindowLauncherKeyTip));
    SetCommandToolTip(launcher, cmd::WindowManager);
}

void AddTabRowButtons(CRibbonBar& bar, const CImageStrip& icons)
{
    // Style only opens its menu: it has no command of its own.
    auto* style = new CRibbonButton(0, StringLabel(ids::StyleLabel));
    style->SetToolTipText(StringLabel(ids::StyleTooltip), StringLabel(ids::StyleDescription));
    AddMenu(style, res::StyleMenu);
    style->SetMenuRightAligned(true);
    bar.AddToTabs(style);

    auto* about = new CRibbonButton(cmd::AppAbout, LabelOf(text::AboutButton), icons.Icon(kAboutIcon));
    about->SetKeys(KeyTipOf(text::AboutButton));
    SetCommandToolTip(about, cmd::AppAbout);
    AddMenu(about, res::AboutMenu);
    about->SetDefaultCommand(true);
    about->SetMenuRightAligned(true);
    bar.AddToTabs(about);
}

}  // namespace

// The palette both colour pickers share; they differ in the automatic colour
// and the tooltip of the entry that opens the full colour dialog.
void ConfigureColorPicker(CRibbonColorButton* picker, const QColor& automatic, const char* moreToolTip)
{
    picker->EnableAutomaticButton(Utf8(text::ColorAutomatic), automatic, false);
    picker->EnableOtherButton(Utf8(text::ColorMore), Utf8(moreToolTip));
    picker->SetColumns(10);
    picker->SetColorBoxSize(QSize(17, 17));
    picker->AddColorsGroup(Utf8(text::ThemeColors), ThemeColors().colors, ThemeColors().names);
    picker->AddColorsGroup({}, ShadeColors().colors, ShadeColors().names, true);
    picker->AddColorsGroup(Utf8(text::StandardColors), StandardColors().colors, StandardColors().names);
}

QStringList FontSizeEntries()
{
    return {"4",  "5",  "6",  "7",  "8",  "9",  "10", "11", "12", "14",
            "16", "18", "20", "22", "24", "26", "28", "36", "48", "72"};
}

void BuildApplicationMenu(CRibbonBar& bar)
{
    const QString file = StringLabel(ids::FileCategory);
    auto* button = new CRibbonApplicationButton(CImageStrip(res::AppButtonImage).Icon(0), QSize(26, 26));
    button->SetLabel(LabelOf(text::AppButton));
    button->SetKeys(KeyTipOf(text::AppButton));
    button->SetToolTipText(file);
    bar.SetApplicationButton(button, QSize(45, 45));

    const CImageStrip small(res::FileSmallImages);
    const CImageStrip large(res::FileLargeImages);
    CRibbonMainPanel* menu = button->GetMainPanel();
    menu->setAccessibleName(file);
    SetCommandToolTip(
        menu->Add(cmd::FileOpen, StringLabel(ids::OpenLabel), large.Icon(kOpenImage), small.Icon(kOpenImage)),
        cmd::FileOpen);
    menu->AddSeparator();
    SetCommandToolTip(
        menu->Add(cmd::FileClose, StringLabel(ids::CloseLabel), large.Icon(kCloseImage), small.Icon(kCloseImage)),
        cmd::FileClose);
    menu->AddRecentFilesList(StringLabel(ids::RecentDocuments), kRecentListWidth, cmd::FileMruFirst);
    // The last run's windows, beside the files they came from.
    auto* reopen = new CRibbonButton(cmd::FileReopenSession, Utf8(StringTitle(cmd::FileReopenSession)), {});
    SetCommandToolTip(reopen, cmd::FileReopenSession);
    menu->AddUnderRecentFiles(reopen);
    auto* restore = new CRibbonCheckBox(cmd::FileRestoreAtStart, Utf8(StringTitle(cmd::FileRestoreAtStart)));
    SetCommandToolTip(restore, cmd::FileRestoreAtStart);
    menu->AddUnderRecentFiles(restore);
    SetCommandToolTip(menu->AddToBottom(cmd::AppExit, StringLabel(ids::ExitLabel), small.Icon(kExitImage)),
                      cmd::AppExit);
}

void InitRibbon(CRibbonBar& bar)
{
    const CImageStrip icons(res::PanelIcons);
    BuildApplicationMenu(bar);

    const CImageStrip small(res::OptionsSmallImages);
    const CImageStrip large(res::OptionsLargeImages);
    CRibbonCategory* options = bar.AddCategory(Utf8(text::OptionsCategory));
    AddClipboardPanel(options, small, large, icons);
    AddViewPanel(options, icons);
    AddFontPanel(options, icons);
    AddPagePanel(options, small, large, icons);
    AddFindPanel(options);
    AddWindowPanel(options, small, large, icons);

    AddLogCategory(bar);

    AddTabRowButtons(bar, icons);
    bar.SetQuickAccessCommands({cmd::FileOpen});
}

void AssignKeyTips(CRibbonBar& bar)
{
    if (CRibbonApplicationButton* button = bar.GetApplicationButton())
        button->SetKeys(KeyTipOf(text::AppButton));
    for (const auto& [id, keys] : kKeyTips) {
        const QString text = Utf8(keys);
        const qsizetype amp = text.indexOf(u'&');
        const QString keyTip = amp < 0 ? text : text.left(amp);
        const QString menuKeyTip = amp < 0 ? QString() : text.mid(amp + 1);
        for (CRibbonElement* element : bar.FindAllByID(id))
            element->SetKeys(keyTip, menuKeyTip);
    }
}

void SetRecentDocuments(CRibbonBar& bar, const QStringList& paths)
{
    CRibbonApplicationButton* button = bar.GetApplicationButton();
    if (!button)
        return;
    QList<CRibbonRecentFile> files;
    for (qsizetype i = 0; i < paths.size(); ++i)
        files.append({QFileInfo(paths[i]).fileName(), paths[i], StringLabel(cmd::FileMruFirst + static_cast<int>(i))});
    button->GetMainPanel()->SetRecentFiles(files);
}
