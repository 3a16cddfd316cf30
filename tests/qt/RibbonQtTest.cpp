// The ribbon widget set as its owner uses it, on the viewer's own ribbon:
// commands come from user actions only, elements are found and updated by
// command id, combo boxes keep their text apart from their selection, colour
// pickers, the minimised and collapsed forms, and key tips. (What the ribbon
// holds is RibbonContentTest's.)
#include "app/ribbon/RibbonApplicationButton.h"
#include "app/ribbon/RibbonBar.h"
#include "app/ribbon/RibbonCategory.h"
#include "app/ribbon/RibbonCheckBox.h"
#include "app/ribbon/RibbonColorButton.h"
#include "app/ribbon/RibbonColorPalette.h"
#include "app/ribbon/RibbonComboBox.h"
#include "app/ribbon/RibbonKeyTipFilter.h"
#include "app/ribbon/RibbonMainPanel.h"
#include "app/ribbon/RibbonPanel.h"
#include "app/ribbon_content/ColorTables.h"
#include "app/ribbon_content/RibbonContent.h"
#include "app/shell/Looks.h"
#include "view/CommandIds.h"

#include <QAccessible>
#include <QActionGroup>
#include <QApplication>
#include <QColorDialog>
#include <QComboBox>
#include <QCursor>
#include <QFontDatabase>
#include <QFontInfo>
#include <QLineEdit>
#include <QMenu>
#include <QToolTip>
#include <QVBoxLayout>
#include <QtTest>

#include <functional>

namespace {

// A window with the viewer's ribbon and handles on the elements the tests use.
struct TestRibbon {
    QWidget window;
    CRibbonBar* bar = new CRibbonBar;
    CRibbonApplicationButton* app = nullptr;
    CRibbonButton *copy, *bold, *textCase, *newWindow, *switchWindows, *style, *about;
    CRibbonCheckBox* statusBar;
    CRibbonFontComboBox* fontName;
    CRibbonComboBox *fontSize, *findBox;
    CRibbonColorButton *fontColor, *pageColor;
    CRibbonPanel *fontPanel, *windowPanel;

    TestRibbon()
    {
        auto* layout = new QVBoxLayout(&window);
        layout->setContentsMargins(0, 0, 0, 0);
        layout->addWidget(bar);
        layout->addStretch();
        InitRibbon(*bar);
        AssignKeyTips(*bar);
        app = bar->GetApplicationButton();
        copy = bar->FindByID<CRibbonButton>(cmd::EditCopy);
        bold = bar->FindByID<CRibbonButton>(cmd::FontBold);
        textCase = bar->FindByID<CRibbonButton>(cmd::ChangeCase);
        newWindow = bar->FindByID<CRibbonButton>(cmd::WindowNew);
        statusBar = bar->FindByID<CRibbonCheckBox>(cmd::ViewStatusBar);
        fontName = bar->FindByID<CRibbonFontComboBox>(cmd::FontName);
        fontSize = bar->FindByID<CRibbonComboBox>(cmd::FontSize);
        findBox = bar->FindByID<CRibbonComboBox>(cmd::FindText);
        fontColor = bar->FindByID<CRibbonColorButton>(cmd::FontColor);
        pageColor = bar->FindByID<CRibbonColorButton>(cmd::PageColor);
        fontPanel = bar->GetActiveCategory()->GetPanel(2);
        windowPanel = bar->GetActiveCategory()->GetPanel(5);
        switchWindows = qobject_cast<CRibbonButton*>(windowPanel->GetElement(1));
        style = qobject_cast<CRibbonButton*>(bar->GetTabElements().at(0));
        about = qobject_cast<CRibbonButton*>(bar->GetTabElements().at(1));
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

QList<int> issued(const QSignalSpy& spy)
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
        QCOMPARE(r.bar->FindByID(cmd::EditCopy), r.copy);
        QVERIFY(r.bar->FindByID(4242) == nullptr);
        // The file menu's Open and its quick-access copy; the split button and the launcher.
        QCOMPARE(r.bar->FindAllByID(cmd::FileOpen).size(), 2);
        QCOMPARE(r.bar->FindAllByID(cmd::WindowManager).size(), 2);
        QCOMPARE(r.bar->FindByID<CRibbonLaunchButton>(cmd::WindowManager), r.windowPanel->GetLaunchButton());

        QCOMPARE(r.copy->accessibleName(), QString("Copy Page"));
        QCOMPARE(r.copy->accessibleDescription(),
                 QString("Copy the current screen of text and put it on the Clipboard"));
        QVERIFY(r.copy->toolTip().contains(QRegularExpression("<b>Copy Screen</b>.*Copy the current screen")));
        // Without a label the tooltip title names it; the quick-access button copies the tooltip.
        QCOMPARE(r.app->accessibleName(), QString("File"));
        CRibbonElement* quick = quickAccess(r.bar, cmd::FileOpen);
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
        QCOMPARE(QAccessible::queryAccessibleInterface(r.switchWindows)->role(), QAccessible::ButtonDropDown);
        // The interfaces of the menu buttons are made before their items are added: the role follows the menu.
        QCOMPARE(QAccessible::queryAccessibleInterface(r.style)->role(), QAccessible::ButtonMenu);
        QSignalSpy spy(r.bar, &CRibbonBar::commandTriggered);
        QAccessible::queryAccessibleInterface(r.copy)->actionInterface()->doAction(
            QAccessibleActionInterface::pressAction());
        QCOMPARE(issued(spy), QList<int>{cmd::EditCopy});
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
        r.bar->SetCommandChecked(cmd::FontBold, true);
        r.bar->SetCommandEnabled(cmd::WindowNew, false);
        r.bar->SetCommandRadio(cmd::AppLookOffice2007Blue + 1, true);
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
            {"large button", [&] { clickAt(r.copy); }, cmd::EditCopy},
            {"check box", [&] { clickAt(r.statusBar); }, cmd::ViewStatusBar},
            {"small button in a group", [&] { clickAt(r.bold); }, cmd::FontBold},
            {"quick-access button", [&] { clickAt(quickAccess(r.bar, cmd::FileOpen)); }, cmd::FileOpen},
            {"launcher", [&] { clickAt(r.fontPanel->GetLaunchButton()); }, cmd::FontDialog},
            {"split button, main part", [&] { clickAt(r.switchWindows, QPoint(20, 10)); }, cmd::WindowManager},
            {"split button, arrow and menu item",
             [&] { openMenuAndPick(r.switchWindows, QPoint(20, r.switchWindows->height() - 8), 1); }, cmd::WindowNew},
            {"menu button without default command", [&] { openMenuAndPick(r.textCase, {}, 2); }, cmd::CaseUpper},
            {"tab-row menu", [&] { openMenuAndPick(r.style, {}, 3); }, cmd::AppLookOffice2007Blue + 2},
            {"combo box entry by keyboard",
             [&] {
                 r.fontSize->GetComboBox()->setFocus();
                 QTest::keyClick(r.fontSize->GetComboBox(), Qt::Key_Down);
             },
             cmd::FontSize},
            {"Return in an edit box",
             [&] {
                 r.findBox->GetComboBox()->setFocus();
                 QTest::keyClicks(r.findBox->GetComboBox()->lineEdit(), "needle");
                 QTest::keyClick(r.findBox->GetComboBox()->lineEdit(), Qt::Key_Return);
             },
             cmd::FindText},
            {"file menu entry",
             [&] {
                 r.app->ShowMenu();
                 clickAt(r.bar->FindByID(cmd::FileClose));
             },
             cmd::FileClose},
            {"file menu by keyboard",
             [&] {
                 r.app->ShowMenu();
                 QTest::keyClick(QApplication::focusWidget(), Qt::Key_Down);  // from Open to Close
                 QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
             },
             cmd::FileClose},
            {"recent file",
             [&] {
                 r.app->ShowMenu();
                 clickAt(r.app->GetMainPanel()->GetRecentFileEntry(1));
             },
             cmd::FileMruFirst + 1},
        };
        for (const auto& row : rows) {
            spy.clear();
            row.act();
            QVERIFY2(spy.count() == 1, row.name);
            QVERIFY2(spy.at(0).at(0).toInt() == row.expected, row.name);
        }
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
        QVERIFY(size.SelectItem(size.FindItem("14")));
        QCOMPARE(size.GetText(), QString("14"));
        size.SetText("13");
        QCOMPARE(size.GetText(), QString("13"));
        QCOMPARE(size.GetItem(size.GetCurSel()), QString("14"));
        size.InsertItem(0, "2");
        QCOMPARE(size.GetItem(size.GetCurSel()), QString("14"));
        QCOMPARE(size.GetCount(), 21);
        QVERIFY(size.DeleteItem(size.GetCurSel()));
        QCOMPARE(size.GetCurSel(), -1);
        QCOMPARE(size.GetText(), QString("13"));
        QVERIFY(!size.SelectItem(42));

        // The font box shows any face as given (its entries are fontBoxListsFamiliesOnceAndShowsAStart's).
        CRibbonFontComboBox& font = *r.fontName;
        font.SetFaceName("No Such Face Mono");
        QCOMPARE(font.GetText(), QString("No Such Face Mono"));
        QVERIFY(!font.HasFont("No Such Face Mono"));
        QCOMPARE(font.GetSelectedFaceName(), QString());
        const QString entry = font.GetItem(0);
        QVERIFY(font.HasFont(entry.toUpper()));
        font.SetFaceName(entry.toLower());
        QCOMPARE(font.GetText(), entry.toLower());
        QCOMPARE(font.GetSelectedFaceName(), entry);

        // An entry added from code selects nothing; Return in the edit box inserts nothing and keeps the typed
        // text, not an entry differing in case.
        CRibbonComboBox& find = *r.findBox;
        find.AddItem("NEEDLE");
        find.GetComboBox()->setFocus();
        QTest::keyClicks(find.GetComboBox()->lineEdit(), "needle");
        QTest::keyClick(find.GetComboBox()->lineEdit(), Qt::Key_Return);
        QCOMPARE(find.GetText(), QString("needle"));
        QCOMPARE(find.GetCount(), 1);
        QCOMPARE(find.GetCurSel(), -1);
    }

    void commandStateReachesElementsAndMenuItems()
    {
        TestRibbon r;
        r.bar->SetCommandEnabled(cmd::WindowNew, false);
        QVERIFY(!r.newWindow->isEnabled());
        QVERIFY(!menuAction(r.switchWindows, cmd::WindowNew)->isEnabled());
        r.bar->SetCommandChecked(cmd::FontBold, true);
        r.bar->SetCommandChecked(cmd::ViewStatusBar, true);
        r.bar->SetCommandChecked(cmd::CaseUpper, true);
        QVERIFY(r.bold->IsChecked());
        QVERIFY(r.statusBar->IsChecked());
        QVERIFY(menuAction(r.textCase, cmd::CaseUpper)->isChecked());

        for (int i = 0; i < 4; ++i)
            r.bar->SetCommandRadio(cmd::AppLookOffice2007Blue + i, i == 2);
        QAction* third = menuAction(r.style, cmd::AppLookOffice2007Blue + 2);
        QVERIFY(third->isChecked());
        QVERIFY(third->actionGroup() && third->actionGroup()->isExclusive());  // drawn as a radio mark
        QVERIFY(!menuAction(r.style, cmd::AppLookOffice2007Blue)->isChecked());
        r.bar->SetCommandRadio(cmd::AppLookOffice2007Blue + 2, false);  // no look marked
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
        r.bar->SetCommandEnabled(cmd::WindowNew, false);
        r.bar->SetCommandChecked(cmd::WindowNew, false);
        QCOMPARE(counter.events, 0);
        r.bar->SetCommandEnabled(cmd::WindowNew, true);
        QVERIFY(counter.events > 0);
        QVERIFY(r.newWindow->isEnabled());
    }

    void colourPickerPaletteAndChoice()
    {
        TestRibbon r;
        CRibbonColorPalette* palette = r.fontColor->GetPalette();
        // Items, kinds and the grid of the real palettes are RibbonContentTest's; titled groups stand apart.
        const auto box = [palette](int i) { return palette->GetItem(1 + i).rect; };
        QVERIFY(box(10).top() > box(0).bottom() + 1);
        QVERIFY(box(60).top() > box(59).bottom() + 1);

        QSignalSpy spy(r.bar, &CRibbonBar::commandTriggered);
        clickAt(r.fontColor);
        QVERIFY(palette->isVisible());
        QHelpEvent help(QEvent::ToolTip, box(13).center(), palette->mapToGlobal(box(13).center()));
        QApplication::sendEvent(palette, &help);
        QTRY_COMPARE(QToolTip::text(), ShadeColors().names[3]);
        clickAt(palette, box(13).center());
        QCOMPARE(issued(spy), QList<int>{cmd::FontColor});
        QCOMPARE(r.fontColor->GetColor(), palette->GetItem(1 + 13).color);
        QVERIFY(!palette->isVisible());

        // The keyboard starts on the current colour.
        spy.clear();
        r.fontColor->OpenPalette();
        QCOMPARE(palette->GetHotItem(), 1 + 13);
        QTest::keyClick(palette, Qt::Key_Right);
        QTest::keyClick(palette, Qt::Key_Return);
        QCOMPARE(issued(spy), QList<int>{cmd::FontColor});
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
        QCOMPARE(issued(spy), (QList<int>{cmd::FontColor, cmd::FontColor}));

        // A simple-look picker with a default command: the main part applies the colour shown.
        spy.clear();
        clickAt(r.pageColor, QPoint(r.pageColor->width() / 2, 10));
        QCOMPARE(issued(spy), QList<int>{cmd::PageColor});
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
        QCOMPARE(issued(spy), QList<int>{cmd::ViewStatusBar});
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
        QCOMPARE(issued(spy), QList<int>{cmd::WindowNew});
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
        QCOMPARE(sorted(r.bar->GetShownKeyTips()), sorted({"f", "a", "L", "d", "zf", "zb", "zw", "pc", "n", "s", "W"}));
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
        QCOMPARE(issued(spy), QList<int>{cmd::AppAbout});  // a split button runs its own command

        alt();
        QTest::keyClick(&r.window, Qt::Key_F);
        QTRY_VERIFY(r.app->GetMainPanel()->isVisible());
        r.app->GetMainPanel()->close();

        alt();
        clickAt(&r.window, QPoint(5, 250));
        QVERIFY(!r.bar->AreKeyTipsShown());

        // A category's tip shows that category's tips at once: its commands take no second Alt.
        alt();
        QTest::keyClick(&r.window, Qt::Key_L, Qt::ShiftModifier);
        QVERIFY(r.bar->GetShownKeyTips().contains("gn") && !r.bar->GetShownKeyTips().contains("pc"));
        spy.clear();
        QTest::keyClicks(&r.window, "gn");
        QCOMPARE(issued(spy), QList<int>{cmd::LineNumbers});
        r.bar->SetActiveCategory(r.bar->GetCategory(0));

        // A collapsed panel's tip opens it.
        r.window.resize(420, 300);
        QTRY_VERIFY(r.windowPanel->IsCollapsed());
        alt();
        QTest::keyClicks(&r.window, "zw");
        QTRY_VERIFY(r.newWindow->isVisible());
        // Its elements' tips follow at once: they have no other way to the keys.
        QVERIFY2(r.bar->GetShownKeyTips().contains("n"), qPrintable(r.bar->GetShownKeyTips().join(' ')));
        spy.clear();
        QTest::keyClick(&r.window, Qt::Key_N);
        QCOMPARE(issued(spy), QList<int>{cmd::WindowNew});
    }

    // A drop-down closed while the mouse is elsewhere leaves its button unlit (the pop-up swallowed the leave);
    // in the application menu the entry under the mouse is the one lit, not also the first.
    void oneElementLitAfterDropDownsAndMenuMoves()
    {
        TestRibbon r;
        QVERIFY(QTest::qWaitForWindowExposed(&r.window));
        const QPoint away = r.window.mapToGlobal(QPoint(600, 280));
        for (CRibbonButton* button : {r.style, r.textCase, r.about, static_cast<CRibbonButton*>(r.fontColor),
                                      static_cast<CRibbonButton*>(r.pageColor)}) {
            QCursor::setPos(away);
            const QImage idle = button->grab().toImage();
            const QPoint arrow(button->width() - 4, button->height() - 6);
            QCursor::setPos(button->mapToGlobal(arrow));
            QTest::mouseMove(button, arrow);
            QVERIFY2(button->grab().toImage() != idle, "hover lights the button");
            clickAt(button, arrow);
            QTRY_VERIFY(QApplication::activePopupWidget());
            QCursor::setPos(away);
            // Under X the open pop-up takes the leave: the button still believes the mouse is on it.
            QEnterEvent stale{QPointF(arrow), QPointF(arrow), QPointF(button->mapToGlobal(arrow))};
            QApplication::sendEvent(button, &stale);
            QApplication::activePopupWidget()->close();
            QTRY_VERIFY(!QApplication::activePopupWidget());
            QVERIFY2(button->grab().toImage() == idle, qPrintable(button->accessibleName()));
        }

        clickAt(r.app);
        CRibbonMainPanel* menu = r.app->GetMainPanel();
        QTRY_VERIFY(menu->isVisible());
        const QList<CRibbonButton*> column = menu->GetColumn();
        CRibbonButton* open = column.first();
        CRibbonButton* close = column.last();
        QTRY_VERIFY(open->hasFocus());
        QTest::mouseMove(close, close->rect().center());
        QTRY_VERIFY(close->hasFocus());
        QVERIFY(!open->hasFocus());
        menu->close();
    }

    // The font box lists fixed-pitch families only, each once by its name (no foundry twins, no fontconfig alias
    // that resolves elsewhere), and shows the start of a name too long for it.
    void fontBoxListsFamiliesOnceAndShowsAStart()
    {
        TestRibbon r;
        QVERIFY(r.fontName->GetCount() > 0);
        QStringList seen;
        for (int i = 0; i < r.fontName->GetCount(); ++i) {
            const QString family = r.fontName->GetItem(i);
            QVERIFY2(!seen.contains(family) && !family.contains('['), qPrintable(family));
            QVERIFY2(QFontDatabase::isFixedPitch(family), qPrintable(family));
            QCOMPARE(QFontInfo(QFont(family)).family(), family);
            seen << family;
        }
        QVERIFY(!seen.contains("Monospace"));
        const QString longName = QString("DejaVu Sans Mono ").repeated(4);
        r.fontName->SetFaceName(longName);
        QCOMPARE(r.fontName->GetComboBox()->lineEdit()->cursorPosition(), 0);
    }

    // Every look's panel launcher keeps its mark readable when hovered: the mark's darkest or lightest pixel
    // stands out from the highlight behind it.
    void launcherMarkReadableOnHoverInEveryLook()
    {
        TestRibbon r;
        QVERIFY(QTest::qWaitForWindowExposed(&r.window));
        CRibbonLaunchButton* launcher = r.fontPanel->GetLaunchButton();
        QTest::mouseMove(launcher, launcher->rect().center());
        for (const CLook& look : Looks()) {
            r.bar->SetTheme(look.ribbon);
            const QImage shot = launcher->grab().toImage();
            const QColor back = shot.pixelColor(launcher->width() / 2, 2);
            double best = 1;
            for (int y = 3; y < shot.height() - 2; ++y)
                for (int x = 3; x < shot.width() - 2; ++x)
                    best = std::max(best, RibbonContrastRatio(shot.pixelColor(x, y), back));
            QVERIFY2(best >= 3, qPrintable(look.name));
        }
    }

    void themesAndContrast()
    {
        QCOMPARE(qRound(RibbonContrastRatio(Qt::black, Qt::white) * 100), 2100);
        QCOMPARE(RibbonContrastRatio(QColor(90, 120, 150), QColor(90, 120, 150)), 1.0);
        QCOMPARE(qRound(RibbonContrastRatio(QColor(0x77, 0x77, 0x77), Qt::white) * 100), 448);
        const CRibbonTheme look;
        // Each look's pairs are LooksTest's: the application always applies one over these defaults.

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
