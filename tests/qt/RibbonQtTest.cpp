// The ribbon widget set as its owner uses it: commands come from user actions
// only, elements are found and updated by command id, combo boxes keep their
// text apart from their selection, colour pickers, the minimised and
// collapsed forms, and key tips.
#include "app/ribbon/RibbonApplicationButton.h"
#include "app/ribbon/RibbonBar.h"
#include "app/ribbon/RibbonButtonsGroup.h"
#include "app/ribbon/RibbonCategory.h"
#include "app/ribbon/RibbonCheckBox.h"
#include "app/ribbon/RibbonColorButton.h"
#include "app/ribbon/RibbonColorPalette.h"
#include "app/ribbon/RibbonComboBox.h"
#include "app/ribbon/RibbonKeyTipFilter.h"
#include "app/ribbon/RibbonMainPanel.h"
#include "app/ribbon/RibbonPanel.h"

#include <QAccessible>
#include <QActionGroup>
#include <QApplication>
#include <QColorDialog>
#include <QComboBox>
#include <QFontDatabase>
#include <QLineEdit>
#include <QMenu>
#include <QSignalSpy>
#include <QToolTip>
#include <QVBoxLayout>
#include <QtTest>

#include <functional>
#include <memory>

namespace {

// Command ids of the test ribbon.
enum : int {
    kOpen = 11,
    kClose = 12,
    kExit = 13,
    kFirstRecent = 100,
    kCopy = 21,
    kStatusBar = 22,
    kFontName = 31,
    kFontSize = 32,
    kBold = 33,
    kItalic = 34,
    kFontColor = 35,
    kCase = 36,
    kUpper = 37,
    kLower = 38,
    kFontDialog = 39,
    kPageColor = 40,
    kFindPrev = 41,
    kFindBox = 42,
    kFindNext = 43,
    kMatchCase = 44,
    kNewWindow = 51,
    kSwitchWindows = 52,
    kLookFirst = 61,
    kAbout = 70,
    kWelcome = 71,
};

QIcon placeholder(QColor color)
{
    QPixmap pm(32, 32);
    pm.fill(color);
    return QIcon(pm);
}

void addPalette(CRibbonColorButton* picker, const QColor& automatic)
{
    picker->EnableAutomaticButton("&Automatic", automatic);
    picker->EnableOtherButton("&More Colors...", "More Colors");
    picker->SetColumns(10);
    picker->SetColorBoxSize(QSize(17, 17));
    QList<QColor> colors;
    QStringList names;
    for (int i = 0; i < 10; ++i) {
        colors.append(QColor::fromHsv(i * 36, 200, 200));
        names.append(QString("Theme %1").arg(i));
    }
    picker->AddColorsGroup("Theme Colors", colors, names);
    QList<QColor> shades;
    QStringList shadeNames;
    for (int i = 0; i < 50; ++i) {
        shades.append(QColor::fromHsv((i % 10) * 36, 120, 60 + (i / 10) * 40));
        shadeNames.append(QString("Shade %1").arg(i));
    }
    picker->AddColorsGroup({}, shades, shadeNames, true);
    picker->AddColorsGroup("Standard Colors", {Qt::darkRed, Qt::red}, {"Dark Red", "Red"});
}

// A window with a ribbon in the shape a viewer's would have.
struct TestRibbon {
    QWidget window;
    CRibbonBar* bar = new CRibbonBar;
    CRibbonApplicationButton* app = new CRibbonApplicationButton(placeholder(Qt::blue));
    CRibbonButton* copy = new CRibbonButton(kCopy, "Copy Page", placeholder(Qt::blue), placeholder(Qt::blue));
    CRibbonCheckBox* statusBar = new CRibbonCheckBox(kStatusBar, "Status Bar");
    CRibbonFontComboBox* fontName = new CRibbonFontComboBox(kFontName, 120);
    CRibbonComboBox* fontSize = new CRibbonComboBox(kFontSize, false, 39);
    CRibbonButton* bold = new CRibbonButton(kBold, "Bold", placeholder(Qt::gray));
    CRibbonColorButton* fontColor = new CRibbonColorButton(kFontColor, "Font Color", Qt::red, placeholder(Qt::gray));
    CRibbonButton* textCase = new CRibbonButton(kCase, "Change Case", placeholder(Qt::gray));
    CRibbonColorButton* pageColor = new CRibbonColorButton(kPageColor, "Page Color", QColor(240, 240, 240),
                                                           placeholder(Qt::red), placeholder(Qt::red));
    CRibbonComboBox* findBox = new CRibbonComboBox(kFindBox, true, 100);
    CRibbonCheckBox* matchCase = new CRibbonCheckBox(kMatchCase, "Case Sensitive Search");
    CRibbonButton* newWindow = new CRibbonButton(kNewWindow, "New Window", {}, placeholder(Qt::blue));
    CRibbonButton* switchWindows = new CRibbonButton(kSwitchWindows, "Switch Windows", {}, placeholder(Qt::gray));
    CRibbonButton* style = new CRibbonButton(0, "Style");
    CRibbonButton* about = new CRibbonButton(kAbout, {}, placeholder(Qt::blue));
    CRibbonPanel* fontPanel = nullptr;
    CRibbonPanel* windowPanel = nullptr;

    TestRibbon()
    {
        auto* layout = new QVBoxLayout(&window);
        layout->setContentsMargins(0, 0, 0, 0);
        layout->addWidget(bar);
        layout->addStretch();

        app->SetToolTipText("File");
        app->SetKeys("f");
        bar->SetApplicationButton(app, QSize(45, 45));
        CRibbonMainPanel* menu = app->GetMainPanel();
        menu->Add(kOpen, "&Open...", placeholder(Qt::blue))->SetToolTipText("Open", "Open an existing document");
        menu->AddSeparator();
        menu->Add(kClose, "&Close", placeholder(Qt::gray));
        menu->AddRecentFilesList("Recent Documents", 300, kFirstRecent);
        menu->AddToBottom(kExit, "E&xit", placeholder(Qt::red));

        CRibbonCategory* options = bar->AddCategory("Options");
        CRibbonPanel* clipboard = options->AddPanel("Clipboard", placeholder(Qt::blue));
        clipboard->SetKeys("d");
        copy->SetToolTipText("Copy Screen", "Copy the screen");
        clipboard->Add(copy);
        options->AddPanel("View")->Add(statusBar);

        fontPanel = options->AddPanel("Font");
        fontPanel->SetKeys("zf");
        auto* names = new CRibbonButtonsGroup;
        names->AddButton(fontName);
        for (const char* s : {"4", "7", "10", "12", "14", "16"})
            fontSize->AddItem(s);
        names->AddButton(fontSize);
        fontPanel->Add(names);
        auto* styles = new CRibbonButtonsGroup;
        styles->AddButton(bold);
        styles->AddButton(new CRibbonButton(kItalic, "Italic", placeholder(Qt::gray)));
        fontPanel->Add(styles);
        auto* colors = new CRibbonButtonsGroup;
        addPalette(fontColor, Qt::black);
        colors->AddButton(fontColor);
        textCase->AddMenuItem(kUpper, "&Upper Case");
        textCase->AddMenuItem(kLower, "&Lower Case");
        colors->AddButton(textCase);
        fontPanel->Add(colors);
        fontPanel->EnableLaunchButton(kFontDialog);

        CRibbonPanel* page = options->AddPanel("Page");
        page->SetKeys("zb");
        pageColor->SetSimpleButtonLook();
        pageColor->SetDefaultCommand(true);
        pageColor->SetKeys("pc");
        addPalette(pageColor, Qt::white);
        page->Add(pageColor);

        CRibbonPanel* find = options->AddPanel("Find");
        auto* findRow = new CRibbonButtonsGroup;
        findRow->AddButton(new CRibbonButton(kFindPrev, "Find Previous", placeholder(Qt::green)));
        findRow->AddButton(findBox);
        findRow->AddButton(new CRibbonButton(kFindNext, "Find Next", placeholder(Qt::green)));
        find->Add(findRow);
        find->Add(matchCase);

        windowPanel = options->AddPanel("Window", placeholder(Qt::gray));
        windowPanel->SetKeys("zw");
        newWindow->SetKeys("n");
        windowPanel->Add(newWindow);
        switchWindows->AddMenuItem(kNewWindow, "&New Window");
        switchWindows->SetDefaultCommand(true);
        switchWindows->SetKeys("s");
        windowPanel->Add(switchWindows);
        windowPanel->EnableLaunchButton(kSwitchWindows, placeholder(Qt::gray))->SetKeys("W");

        for (int i = 0; i < 4; ++i)
            style->AddMenuItem(kLookFirst + i, QString("Look %1").arg(i));
        style->SetMenuRightAligned(true);
        bar->AddToTabs(style);
        about->AddMenuItem(kWelcome, "&Welcome");
        about->AddMenuItem(kAbout, "&About...");
        about->SetDefaultCommand(true);
        about->SetKeys("a");
        bar->AddToTabs(about);
        bar->SetQuickAccessCommands({kOpen});

        window.resize(1200, 300);
        window.show();
        window.activateWindow();
    }
};

void clickAt(QWidget* w, QPoint pos = {})
{
    QTest::mouseClick(w, Qt::LeftButton, {}, pos.isNull() ? w->rect().center() : pos);
}

// The quick-access copy of a command (the other one sits in the file menu).
CRibbonElement* quickAccess(CRibbonBar* bar, int nID)
{
    for (CRibbonElement* e : bar->FindAllByID(nID))
        if (e->isVisible())
            return e;
    return nullptr;
}

QAction* menuAction(CRibbonButton* button, int nID)
{
    for (QAction* a : button->GetMenu()->actions())
        if (a->data().toInt() == nID)
            return a;
    return nullptr;
}

QList<int> ids(const QSignalSpy& spy)
{
    QList<int> out;
    for (const QList<QVariant>& call : spy)
        out.append(call.at(0).toInt());
    return out;
}

}  // namespace

class RibbonQtTest : public QObject {
    Q_OBJECT

private slots:
    void elementsAreFoundByIdAndDescribeThemselves()
    {
        TestRibbon r;
        QCOMPARE(r.bar->FindByID(kCopy), r.copy);
        QCOMPARE(r.bar->FindByID<CRibbonColorButton>(kFontColor), r.fontColor);
        QVERIFY(r.bar->FindByID(4242) == nullptr);
        // The file menu's Open and its quick-access copy; the split button and the launcher.
        QCOMPARE(r.bar->FindAllByID(kOpen).size(), 2);
        QCOMPARE(r.bar->FindAllByID(kSwitchWindows).size(), 2);
        QCOMPARE(r.bar->FindByID<CRibbonLaunchButton>(kSwitchWindows), r.windowPanel->GetLaunchButton());

        QCOMPARE(r.copy->accessibleName(), QString("Copy Page"));
        QCOMPARE(r.copy->accessibleDescription(), QString("Copy the screen"));
        QVERIFY(r.copy->toolTip().contains("<b>Copy Screen</b>"));
        QVERIFY(r.copy->toolTip().contains("Copy the screen"));
        // Without a label the tooltip title names it; the quick-access button copies the tooltip.
        QCOMPARE(r.app->accessibleName(), QString("File"));
        CRibbonElement* quick = quickAccess(r.bar, kOpen);
        QVERIFY(quick && quick->GetLabel().isEmpty());
        QCOMPARE(quick->accessibleName(), QString("Open"));
        QCOMPARE(quick->accessibleDescription(), QString("Open an existing document"));
        QCOMPARE(r.app->GetMainPanel()->findChildren<CRibbonButton*>().first()->accessibleName(), QString("Open..."));

        // What assistive tools see: role, name, description, checked state, and a press.
        QAccessibleInterface* box = QAccessible::queryAccessibleInterface(r.statusBar);
        QCOMPARE(box->role(), QAccessible::CheckBox);
        QCOMPARE(box->text(QAccessible::Name), QString("Status Bar"));
        QVERIFY(!box->state().checked);
        r.statusBar->SetChecked(true);
        QVERIFY(box->state().checked);
        QCOMPARE(QAccessible::queryAccessibleInterface(r.copy)->text(QAccessible::Description),
                 QString("Copy the screen"));
        QCOMPARE(QAccessible::queryAccessibleInterface(r.switchWindows)->role(), QAccessible::ButtonDropDown);
        QCOMPARE(QAccessible::queryAccessibleInterface(r.style)->role(), QAccessible::ButtonMenu);
        QSignalSpy spy(r.bar, &CRibbonBar::commandTriggered);
        QAccessibleInterface* copy = QAccessible::queryAccessibleInterface(r.copy);
        copy->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
        QCOMPARE(ids(spy), QList<int>{kCopy});
    }

    void fillingFromCodeIssuesNoCommand()
    {
        TestRibbon r;
        QSignalSpy spy(r.bar, &CRibbonBar::commandTriggered);
        r.fontSize->SelectItem(2);
        r.fontSize->SetText("13");
        r.fontSize->InsertItem(0, "3");
        r.fontSize->DeleteItem(1);
        r.findBox->AddItem("one");
        r.findBox->SelectItem(0);
        r.findBox->SetText("two");
        r.findBox->RemoveAllItems();
        r.fontName->SetFaceName("Courier New");
        r.fontColor->SetColor(Qt::blue);
        r.pageColor->SetColor(Qt::yellow);
        r.statusBar->SetChecked(true);
        r.bar->SetCommandChecked(kBold, true);
        r.bar->SetCommandEnabled(kNewWindow, false);
        r.bar->SetCommandRadio(kLookFirst + 1, true);
        r.app->GetMainPanel()->SetRecentFiles({{"a.log", "/tmp/a.log", "Open this document"}});
        r.bar->SetMinimized(true);
        r.bar->SetMinimized(false);
        r.bar->SetTheme(CRibbonTheme{});
        QCOMPARE(spy.count(), 0);
    }

    void userActionsIssueExactlyOneCommand()
    {
        TestRibbon r;
        r.app->GetMainPanel()->SetRecentFiles(
            {{"a.log", "/tmp/a.log", "Open this document"}, {"b.log", "/tmp/b.log", "Open this document"}});
        QSignalSpy spy(r.bar, &CRibbonBar::commandTriggered);
        QSignalSpy recent(r.app->GetMainPanel(), &CRibbonMainPanel::recentFileChosen);
        auto openMenuAndPick = [](CRibbonButton* button, QPoint at, int downs) {
            clickAt(button, at);
            QMenu* menu = button->GetMenu();
            QTRY_VERIFY(menu->isVisible());
            for (int i = 0; i < downs; ++i)
                QTest::keyClick(menu, Qt::Key_Down);
            QTest::keyClick(menu, Qt::Key_Return);
        };
        const struct {
            const char* name;
            std::function<void()> act;
            int expected;
        } rows[] = {
            {"large button", [&] { clickAt(r.copy); }, kCopy},
            {"check box", [&] { clickAt(r.statusBar); }, kStatusBar},
            {"small button in a group", [&] { clickAt(r.bold); }, kBold},
            {"quick-access button", [&] { clickAt(quickAccess(r.bar, kOpen)); }, kOpen},
            {"launcher", [&] { clickAt(r.fontPanel->GetLaunchButton()); }, kFontDialog},
            {"split button, main part", [&] { clickAt(r.switchWindows, QPoint(20, 10)); }, kSwitchWindows},
            {"split button, arrow and menu item",
             [&] { openMenuAndPick(r.switchWindows, QPoint(20, r.switchWindows->height() - 8), 1); }, kNewWindow},
            {"menu button without default command", [&] { openMenuAndPick(r.textCase, {}, 2); }, kLower},
            {"tab-row menu", [&] { openMenuAndPick(r.style, {}, 3); }, kLookFirst + 2},
            {"combo box entry by keyboard",
             [&] {
                 r.fontSize->GetComboBox()->setFocus();
                 QTest::keyClick(r.fontSize->GetComboBox(), Qt::Key_Down);
             },
             kFontSize},
            {"Return in an edit box",
             [&] {
                 r.findBox->GetComboBox()->setFocus();
                 QTest::keyClicks(r.findBox->GetComboBox()->lineEdit(), "needle");
                 QTest::keyClick(r.findBox->GetComboBox()->lineEdit(), Qt::Key_Return);
             },
             kFindBox},
            {"file menu entry",
             [&] {
                 r.app->ShowMenu();
                 clickAt(r.bar->FindByID(kClose));
             },
             kClose},
            {"file menu by keyboard",
             [&] {
                 r.app->ShowMenu();
                 QTest::keyClick(QApplication::focusWidget(), Qt::Key_Down);  // from Open to Close
                 QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
             },
             kClose},
            {"recent file",
             [&] {
                 r.app->ShowMenu();
                 clickAt(r.app->GetMainPanel()->GetRecentFileEntry(1));
             },
             kFirstRecent + 1},
        };
        for (const auto& row : rows) {
            spy.clear();
            row.act();
            QVERIFY2(spy.count() == 1, row.name);
            QVERIFY2(spy.at(0).at(0).toInt() == row.expected, row.name);
        }
        QCOMPARE(recent.count(), 1);
        QCOMPARE(recent.at(0).at(0).toInt(), 1);
        QCOMPARE(recent.at(0).at(1).toString(), QString("/tmp/b.log"));
        QVERIFY(!r.app->GetMainPanel()->isVisible());

        // Opening a menu or a palette is no command; Escape closes the file menu.
        r.app->ShowMenu();
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
        QVERIFY(!r.app->GetMainPanel()->isVisible());
        spy.clear();
        clickAt(r.style);
        QTRY_VERIFY(r.style->GetMenu()->isVisible());
        r.style->GetMenu()->close();
        clickAt(r.fontColor);
        QVERIFY(r.fontColor->GetPalette()->isVisible());
        r.fontColor->GetPalette()->close();
        QCOMPARE(spy.count(), 0);
    }

    void comboTextIsKeptApartFromItsSelection()
    {
        TestRibbon r;
        CRibbonComboBox& size = *r.fontSize;
        QCOMPARE(size.GetCurSel(), -1);  // entries added from code select nothing
        QVERIFY(size.SelectItem(size.FindItem("14")));
        QCOMPARE(size.GetText(), QString("14"));
        size.SetText("13");
        QCOMPARE(size.GetText(), QString("13"));
        QCOMPARE(size.GetItem(size.GetCurSel()), QString("14"));
        size.InsertItem(0, "2");
        QCOMPARE(size.GetItem(size.GetCurSel()), QString("14"));
        QCOMPARE(size.GetCount(), 7);
        QVERIFY(size.DeleteItem(size.GetCurSel()));
        QCOMPARE(size.GetCurSel(), -1);
        QCOMPARE(size.GetText(), QString("13"));
        QVERIFY(!size.SelectItem(42));

        // The font box: fixed-pitch families only; any face shown as given.
        CRibbonFontComboBox& font = *r.fontName;
        QVERIFY(font.GetCount() > 0);
        for (int i = 0; i < font.GetCount(); ++i)
            QVERIFY2(QFontDatabase::isFixedPitch(font.GetItem(i)), qPrintable(font.GetItem(i)));
        font.SetFaceName("No Such Face Mono");
        QCOMPARE(font.GetText(), QString("No Such Face Mono"));
        QVERIFY(!font.HasFont("No Such Face Mono"));
        QCOMPARE(font.GetSelectedFaceName(), QString());
        const QString entry = font.GetItem(0);
        QVERIFY(font.HasFont(entry.toUpper()));
        font.SetFaceName(entry.toLower());
        QCOMPARE(font.GetText(), entry.toLower());
        QCOMPARE(font.GetSelectedFaceName(), entry);
    }

    void editBoxInsertsNothingAndKeepsTypedText()
    {
        TestRibbon r;
        CRibbonComboBox& find = *r.findBox;
        find.AddItem("NEEDLE");
        find.AddItem("other");
        QSignalSpy spy(r.bar, &CRibbonBar::commandTriggered);
        QLineEdit* edit = find.GetComboBox()->lineEdit();
        find.GetComboBox()->setFocus();
        QTest::keyClicks(edit, "needle");
        QTest::keyClick(edit, Qt::Key_Return);
        QCOMPARE(ids(spy), QList<int>{kFindBox});
        QCOMPARE(find.GetText(), QString("needle"));  // not the entry that differs in case
        QCOMPARE(find.GetCount(), 2);
        QCOMPARE(find.GetCurSel(), -1);
    }

    void commandStateReachesElementsAndMenuItems()
    {
        TestRibbon r;
        r.bar->SetCommandEnabled(kNewWindow, false);
        QVERIFY(!r.newWindow->isEnabled());
        QVERIFY(!menuAction(r.switchWindows, kNewWindow)->isEnabled());
        r.bar->SetCommandChecked(kBold, true);
        r.bar->SetCommandChecked(kStatusBar, true);
        r.bar->SetCommandChecked(kUpper, true);
        QVERIFY(r.bold->IsChecked());
        QVERIFY(r.statusBar->IsChecked());
        QVERIFY(menuAction(r.textCase, kUpper)->isChecked());

        for (int i = 0; i < 4; ++i)
            r.bar->SetCommandRadio(kLookFirst + i, i == 2);
        QAction* third = menuAction(r.style, kLookFirst + 2);
        QVERIFY(third->isChecked());
        QVERIFY(third->actionGroup() && third->actionGroup()->isExclusive());  // drawn as a radio mark
        QVERIFY(!menuAction(r.style, kLookFirst)->isChecked());
        r.bar->SetCommandRadio(kLookFirst + 2, false);  // no look marked
        QVERIFY(!third->isChecked());

        // The update pass repeats unchanged states at every idle moment: nothing happens then.
        struct Counter : QObject {
            int events = 0;
            bool eventFilter(QObject*, QEvent* e) override
            {
                events += e->type() == QEvent::EnabledChange || e->type() == QEvent::ActionChanged;
                return false;
            }
        } counter;
        r.newWindow->installEventFilter(&counter);
        r.switchWindows->GetMenu()->installEventFilter(&counter);
        r.bar->SetCommandEnabled(kNewWindow, false);
        r.bar->SetCommandChecked(kNewWindow, false);
        QCOMPARE(counter.events, 0);
        r.bar->SetCommandEnabled(kNewWindow, true);
        QVERIFY(counter.events > 0);
        QVERIFY(r.newWindow->isEnabled());
    }

    void colourPickerPaletteAndChoice()
    {
        TestRibbon r;
        CRibbonColorPalette* palette = r.fontColor->GetPalette();
        using Kind = CRibbonColorPalette::Item::Kind;
        QCOMPARE(palette->GetItemCount(), 1 + 10 + 50 + 2 + 1);
        QCOMPARE(palette->GetItem(0).kind, Kind::Automatic);
        QCOMPARE(palette->GetItem(palette->GetItemCount() - 1).kind, Kind::Other);
        QCOMPARE(palette->GetItem(palette->GetItemCount() - 1).toolTip, QString("More Colors"));
        // Ten columns of 17 x 17 boxes; the untitled group's rows touch, the others' do not.
        const auto box = [palette](int i) { return palette->GetItem(1 + i).rect; };
        QCOMPARE(box(0).size(), QSize(17, 17));
        QCOMPARE(box(9).top(), box(0).top());
        QCOMPARE(box(9).left() - box(0).left(), 9 * (box(1).left() - box(0).left()));
        QCOMPARE(box(10).left(), box(0).left());
        QCOMPARE(box(20).top(), box(10).bottom() + 1);
        QVERIFY(box(10).top() > box(0).bottom() + 1);
        QVERIFY(box(60).top() > box(59).bottom() + 1);
        QCOMPARE(palette->GetItem(1 + 13).toolTip, QString("Shade 3"));
        QCOMPARE(palette->GetItem(1 + 61).toolTip, QString("Red"));

        QSignalSpy spy(r.bar, &CRibbonBar::commandTriggered);
        clickAt(r.fontColor);
        QVERIFY(palette->isVisible());
        QHelpEvent help(QEvent::ToolTip, box(13).center(), palette->mapToGlobal(box(13).center()));
        QApplication::sendEvent(palette, &help);
        QTRY_COMPARE(QToolTip::text(), QString("Shade 3"));
        clickAt(palette, box(13).center());
        QCOMPARE(ids(spy), QList<int>{kFontColor});
        QCOMPARE(r.fontColor->GetColor(), palette->GetItem(1 + 13).color);
        QVERIFY(!palette->isVisible());

        // The keyboard starts on the current colour.
        spy.clear();
        r.fontColor->OpenPalette();
        QCOMPARE(palette->GetHotItem(), 1 + 13);
        QTest::keyClick(palette, Qt::Key_Right);
        QTest::keyClick(palette, Qt::Key_Return);
        QCOMPARE(ids(spy), QList<int>{kFontColor});
        QCOMPARE(r.fontColor->GetColor(), palette->GetItem(1 + 14).color);

        // Automatic, and the full colour dialog.
        spy.clear();
        r.fontColor->OpenPalette();
        palette->Choose(0);
        QCOMPARE(r.fontColor->GetColor(), QColor(Qt::black));
        QTimer::singleShot(0, [] {
            auto* dialog = qobject_cast<QColorDialog*>(QApplication::activeModalWidget());
            QVERIFY(dialog);
            dialog->setCurrentColor(QColor(1, 2, 3));
            dialog->accept();
        });
        r.fontColor->OpenPalette();
        palette->Choose(palette->GetItemCount() - 1);
        QCOMPARE(r.fontColor->GetColor(), QColor(1, 2, 3));
        QCOMPARE(ids(spy), (QList<int>{kFontColor, kFontColor}));

        // A simple-look picker with a default command: the main part applies the colour shown.
        spy.clear();
        clickAt(r.pageColor, QPoint(r.pageColor->width() / 2, 10));
        QCOMPARE(ids(spy), QList<int>{kPageColor});
        QCOMPARE(r.pageColor->GetColor(), QColor(240, 240, 240));
        QVERIFY(!r.pageColor->GetPalette()->isVisible());
        clickAt(r.pageColor, QPoint(r.pageColor->width() / 2, r.pageColor->height() - 8));
        QVERIFY(r.pageColor->GetPalette()->isVisible());
        QCOMPARE(spy.count(), 1);
    }

    void minimisedRibbonShowsItsPanelsForAMoment()
    {
        TestRibbon r;
        const int fullHeight = r.bar->sizeHint().height();
        r.bar->SetMinimized(true);
        QVERIFY(r.bar->IsMinimized());
        QVERIFY(!r.statusBar->isVisible());
        QVERIFY(r.bar->sizeHint().height() < fullHeight);

        clickAt(r.bar, r.bar->GetTabRect(0).center());
        QTRY_VERIFY(r.statusBar->isVisible());
        QSignalSpy spy(r.bar, &CRibbonBar::commandTriggered);
        clickAt(r.statusBar);
        QCOMPARE(ids(spy), QList<int>{kStatusBar});
        QTRY_VERIFY(!r.statusBar->isVisible());  // the pop-up closes after a command
        QCOMPARE(r.bar->GetActiveCategory()->parentWidget(), r.bar);

        r.bar->SetMinimized(false);
        QVERIFY(r.statusBar->isVisible());
    }

    void collapsedPanelOpensAsAWorkingPopup()
    {
        TestRibbon r;
        r.window.resize(420, 300);
        QTRY_VERIFY(r.windowPanel->IsCollapsed());
        QVERIFY(!r.newWindow->isVisible());
        QVERIFY(!r.bar->GetActiveCategory()->GetPanel(0)->IsCollapsed());  // from the right end

        clickAt(r.windowPanel);
        QTRY_VERIFY(r.newWindow->isVisible());
        QSignalSpy spy(r.bar, &CRibbonBar::commandTriggered);
        clickAt(r.newWindow);
        QCOMPARE(ids(spy), QList<int>{kNewWindow});
        QTRY_VERIFY(!r.newWindow->isVisible());
        QVERIFY(r.newWindow->window() == &r.window);  // back in its panel

        r.window.resize(1200, 300);
        QTRY_VERIFY(r.newWindow->isVisible());
    }

    void keyTips()
    {
        TestRibbon r;
        CRibbonKeyTipFilter filter(r.bar, &r.window);
        QVERIFY(QTest::qWaitForWindowActive(&r.window));
        QSignalSpy spy(r.bar, &CRibbonBar::commandTriggered);
        auto alt = [&] { QTest::keyClick(&r.window, Qt::Key_Alt); };
        auto sorted = [](QStringList l) {
            l.sort();
            return l;
        };

        alt();
        QCOMPARE(sorted(r.bar->GetShownKeyTips()), sorted({"f", "a", "d", "zf", "zb", "zw", "pc", "n", "s", "W"}));
        QTest::keyClick(&r.window, Qt::Key_Escape);
        QVERIFY(!r.bar->AreKeyTipsShown());

        QTest::keyClick(&r.window, Qt::Key_F4, Qt::AltModifier);
        QVERIFY(!r.bar->AreKeyTipsShown());
        alt();
        alt();  // Alt again hides them
        QVERIFY(!r.bar->AreKeyTipsShown());

        // A two-letter tip waits for its second letter; letter case does not matter.
        alt();
        QTest::keyClick(&r.window, Qt::Key_Z);
        QCOMPARE(sorted(r.bar->GetShownKeyTips()), sorted({"zf", "zb", "zw"}));
        QTest::keyClick(&r.window, Qt::Key_F, Qt::ShiftModifier);
        QVERIFY(!r.bar->AreKeyTipsShown());
        QCOMPARE(QApplication::focusWidget()->parentWidget(), r.fontName);  // the panel's first element

        alt();
        QTest::keyClick(&r.window, Qt::Key_A);
        QCOMPARE(ids(spy), QList<int>{kAbout});  // a split button runs its own command

        alt();
        QTest::keyClick(&r.window, Qt::Key_F);
        QTRY_VERIFY(r.app->GetMainPanel()->isVisible());
        r.app->GetMainPanel()->close();

        alt();
        clickAt(&r.window, QPoint(5, 250));
        QVERIFY(!r.bar->AreKeyTipsShown());

        // A collapsed panel's tip opens it.
        r.window.resize(420, 300);
        QTRY_VERIFY(r.windowPanel->IsCollapsed());
        alt();
        QTest::keyClicks(&r.window, "zw");
        QTRY_VERIFY(r.newWindow->isVisible());
    }

    void themesAndContrast()
    {
        QCOMPARE(qRound(RibbonContrastRatio(Qt::black, Qt::white) * 100), 2100);
        QCOMPARE(RibbonContrastRatio(QColor(90, 120, 150), QColor(90, 120, 150)), 1.0);
        QCOMPARE(qRound(RibbonContrastRatio(QColor(0x77, 0x77, 0x77), Qt::white) * 100), 448);
        const CRibbonTheme look;
        for (const auto& [text, back] : {std::pair{look.text, look.panelTop},
                                         {look.text, look.panelBottom},
                                         {look.panelTitleText, look.panelTitleBack},
                                         {look.tabText, look.tabRowBottom},
                                         {look.text, look.hoverBottom},
                                         {look.text, look.popupBack}})
            QVERIFY(RibbonContrastRatio(text, back) >= 4.5);

        TestRibbon r;
        const QPoint spot = r.copy->mapTo(r.bar, QPoint(2, 2)) + QPoint(-3, 0);  // panel background
        const QColor before = r.bar->grab().toImage().pixelColor(spot);
        CRibbonTheme dark = look;
        dark.panelTop = dark.panelBottom = QColor(40, 40, 60);
        r.bar->SetTheme(dark);
        const QColor after = r.bar->grab().toImage().pixelColor(spot);
        QVERIFY(before != after);
        QCOMPARE(after, QColor(40, 40, 60));
    }
};

QTEST_MAIN(RibbonQtTest)
#include "RibbonQtTest.moc"
