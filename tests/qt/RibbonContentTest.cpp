// The viewer's ribbon as built: every element in order with its command id,
// label, key tip, tooltip and picture; the colour tables and both pickers'
// palettes; the font size and font name boxes.
#include "app/ribbon/RibbonApplicationButton.h"
#include "app/ribbon/RibbonBar.h"
#include "app/ribbon/RibbonButtonsGroup.h"
#include "app/ribbon/RibbonCategory.h"
#include "app/ribbon/RibbonCheckBox.h"
#include "app/ribbon/RibbonColorButton.h"
#include "app/ribbon/RibbonColorPalette.h"
#include "app/ribbon/RibbonComboBox.h"
#include "app/ribbon/RibbonMainPanel.h"
#include "app/ribbon/RibbonPanel.h"
#include "app/ribbon_content/ColorTables.h"
#include "app/ribbon_content/RibbonContent.h"
#include "res/ImageStrip.h"
#include "view/StringTable.h"

#include <QComboBox>
#include <QMenu>
#include <QtTest>

namespace {

// Which strip image an icon shows, as "strip:index", searched in the strips
// the ribbon uses; "-" for no image, "?" for one found in none of them.
QString ImageOf(const QIcon& icon, int size)
{
    if (icon.isNull())
        return "-";
    const QImage wanted = icon.pixmap(QSize(size, size)).toImage();
    for (int strip : {110, 111, 112, 113, 114, 115, 199, 316}) {
        const CImageStrip images(strip);
        for (int i = 0; i < images.Count(); ++i)
            if (images.Icon(i).pixmap(QSize(size, size)).toImage() == wanted)
                return QString("%1:%2").arg(strip).arg(i);
    }
    return "?";
}

QString Kind(const CRibbonElement* e)
{
    if (auto* font = qobject_cast<const CRibbonFontComboBox*>(e))
        return font->HasEditBox() ? "font+edit" : "font";
    if (auto* combo = qobject_cast<const CRibbonComboBox*>(e))
        return combo->HasEditBox() ? "combo+edit" : "combo";
    if (qobject_cast<const CRibbonCheckBox*>(e))
        return "check";
    if (qobject_cast<const CRibbonLaunchButton*>(e))
        return "launcher";
    if (qobject_cast<const CRibbonApplicationButton*>(e))
        return "app";
    auto* button = qobject_cast<const CRibbonButton*>(e);
    if (!button)
        return "other";
    QString kind = button->GetLook() == CRibbonButton::Look::Large   ? "large"
                   : button->GetLook() == CRibbonButton::Look::Small ? "small"
                                                                     : "entry";
    if (auto* color = qobject_cast<const CRibbonColorButton*>(e))
        kind = color->IsSimpleButtonLook() ? "color+" + kind : "color";
    if (button->GetMenu() || qobject_cast<const CRibbonColorButton*>(e))
        kind += button->HasDefaultCommand() ? "+split" : "+menu";
    return kind;
}

// One row per element: kind|id|label|key tip|tooltip|small image|large image, the tooltip "=" when it is the
// command's own title and description from the string table, else "title|description"; followed by one row per
// drop-down menu item.
void Describe(const CRibbonElement* e, QStringList& rows)
{
    const bool own = e->GetToolTipTitle().toStdString() == StringTitle(e->GetID()) &&
                     e->GetDescription().toStdString() == StringDescription(e->GetID());
    const QString tip = own ? "=" : e->GetToolTipTitle() + "|" + e->GetDescription();
    rows.append(QStringList{Kind(e), QString::number(e->GetID()), e->GetLabel(), e->GetKeyTip(), tip,
                            ImageOf(e->GetSmallImage(), 16), ImageOf(e->GetLargeImage(), 32)}
                    .join('|'));
    if (auto* button = qobject_cast<const CRibbonButton*>(e); button && button->GetMenu())
        for (const QAction* action : button->GetMenu()->actions())
            rows.append(QString("item|%1|%2").arg(action->data().toInt()).arg(action->text()));
}

QStringList Tree(const CRibbonBar& bar)
{
    QStringList rows;
    const CRibbonApplicationButton* app = bar.GetApplicationButton();
    rows.append(QString("app|%1|%2|%3|%4x%5")
                    .arg(app->GetKeyTip(), app->GetToolTipTitle(), ImageOf(app->GetSmallImage(), 26))
                    .arg(app->width())
                    .arg(app->height()));
    const CRibbonMainPanel* menu = app->GetMainPanel();
    for (const CRibbonButton* entry : menu->GetColumn()) {
        if (entry)
            Describe(entry, rows);
        else
            rows.append("separator");
    }
    if (const QWidget* recent = menu->GetRecentFilesPane())
        rows.append(QString("recent|%1|%2").arg(recent->accessibleName()).arg(recent->width()));
    for (const CRibbonButton* bottom : menu->GetBottomButtons())
        Describe(bottom, rows);

    // "Options" in full; the "Log" category has its own test, by rule rather than by row.
    for (int c = 0; c < 1; ++c) {
        const CRibbonCategory* category = bar.GetCategory(c);
        rows.append("category|" + category->GetName());
        for (int p = 0; p < category->GetPanelCount(); ++p) {
            const CRibbonPanel* panel = category->GetPanel(p);
            rows.append(
                QString("panel|%1|%2|%3").arg(panel->GetTitle(), panel->GetKeyTip(), ImageOf(panel->GetIcon(), 16)));
            for (int i = 0; i < panel->GetCount(); ++i) {
                QWidget* item = panel->GetElement(i);
                if (auto* group = qobject_cast<CRibbonButtonsGroup*>(item)) {
                    rows.append("group");
                    for (int b = 0; b < group->GetCount(); ++b)
                        Describe(group->GetButton(b), rows);
                } else if (auto* element = qobject_cast<CRibbonElement*>(item)) {
                    Describe(element, rows);
                }
            }
            if (const CRibbonLaunchButton* launcher = panel->GetLaunchButton())
                Describe(launcher, rows);
        }
    }
    rows.append("tabs");
    for (const CRibbonElement* e : bar.GetTabElements())
        Describe(e, rows);
    for (int id : bar.GetQuickAccessCommands())
        rows.append(QString("quick|%1").arg(id));
    return rows;
}

}  // namespace

class RibbonContentTest : public QObject {
    Q_OBJECT

private slots:
    void elementTreeInOrder()
    {
        CRibbonBar bar;
        InitRibbon(bar);
        AssignKeyTips(bar);
        const QStringList rows = Tree(bar);

        // kind|id|label|key tip|tooltip|small image|large image
        const QStringList expected = {
            "app|f|File|112:0|45x45",
            "entry|57601|&Open...||=|115:1|114:1",
            "separator",
            "entry|57602|&Close||=|115:9|114:9",
            "recent|Recent Documents|300",
            "small|57665|E&xit||=|115:15|-",
            "category|Options",
            "panel|Clipboard|d|113:27",
            "large|57634|Copy Page||=|110:2|111:4",
            "panel|View||113:7",
            "check|59393|Status Bar||=|-|-",
            "check|223|Auto Hide Ribbon||=|-|-",
            "panel|Font|zf|113:1",
            "group",
            "font+edit|32790|||=|-|-",
            "combo|32791|||=|-|-",
            "group",
            "small|32792|Grow Font||=|199:0|-",
            "small|32794|Shrink Font||=|199:1|-",
            "group",
            "small|32786|Bold||=|199:2|-",
            "small|32793|Italic||=|199:3|-",
            "small|32799|Underline||=|199:4|-",
            "small|32795|Strikethrough||=|199:5|-",
            "group",
            "color+menu|32789|Font Color||=|199:6|-",
            "group",
            "small+menu|32787|Change Case||=|199:7|-",
            "item|33305|&Original Case",
            "item|33307|&Upper Case",
            "item|33308|&Lower Case",
            "item|33309|&Sentence Case",
            "launcher|33311|||Font Dialog|Launch the windows Select Font dialog|-|-",
            "panel|Page|zb|113:15",
            "color+large+split|32902|Page Color|pc|=|110:11|111:2",
            "panel|Find||-",
            "group",
            "small|33223|Find previous instance||=|316:1|-",
            "combo+edit|33224|||=|-|-",
            "small|33225|Find next instance||=|316:2|-",
            "check|33227|Case Sensitive Search||=|-|-",
            "launcher|33325|||=|-|-",
            "panel|Window|zw|113:7",
            "large|57648|New Window|n|=|-|111:5",
            "large+split|131|Switch Windows|s|=|-|111:6",
            "item|57648|&New Window",
            "launcher|131||W|=|110:1|-",
            "tabs",
            "small+menu|0|Style||Modify Visual Style|Choose one of the Office 2007 themes|-|-",
            "item|215|Office 2007 (&Blue Style)",
            "item|216|Office 2007 (B&lack Style)",
            "item|217|Office 2007 (&Silver Style)",
            "item|218|Office 2007 (&Aqua Style)",
            "small+split|57664||a|=|113:0|-",
            "item|134|&Welcome",
            "item|57664|&About Ostrel File Viewer...",
            "quick|57601",
        };
        for (qsizetype i = 0; i < std::min(rows.size(), expected.size()); ++i)
            QCOMPARE(rows[i], expected[i]);
        QCOMPARE(rows.size(), expected.size());
    }

    // The "Log" category follows "Options" with key tip L; every element carries an id of its range, a key tip
    // unique within the category and its tooltip from the string table.
    void logCategoryFollowsTheRules()
    {
        CRibbonBar bar;
        InitRibbon(bar);
        QCOMPARE(bar.GetCategoryCount(), 2);
        const CRibbonCategory* log = bar.GetCategory(1);
        QCOMPARE(log->GetName(), QString("Log"));
        QCOMPARE(log->GetKeyTip(), QString("L"));
        QStringList keyTips;
        QStringList panels;
        for (int p = 0; p < log->GetPanelCount(); ++p) {
            const CRibbonPanel* panel = log->GetPanel(p);
            panels << panel->GetTitle();
            keyTips << panel->GetKeyTip();
            for (const CRibbonElement* e : panel->findChildren<CRibbonElement*>()) {
                if (qobject_cast<const CRibbonLaunchButton*>(e))
                    continue;
                // The panels' ranges: 40000-40139, then Filters at 40160-40179 past the last session's.
                const int id = e->GetID();
                QVERIFY2((id >= 40000 && id < 40140) || (id >= 40160 && id < 40180), qPrintable(e->GetLabel()));
                QVERIFY2(!e->GetKeyTip().isEmpty(), qPrintable(e->GetLabel()));
                keyTips << e->GetKeyTip();
                QCOMPARE(e->GetToolTipTitle().toStdString(), StringTitle(e->GetID()));
                QCOMPARE(e->GetDescription().toStdString(), StringDescription(e->GetID()));
            }
        }
        QCOMPARE(panels.first(), QString("Text"));
        // Every tip shown with either category in front is reachable: none is the start of another (a letter
        // that completes a tip runs it at once), the application button's and the tab row's included.
        QWidget window;
        bar.setParent(&window);  // hides it: shown again with the window
        bar.resize(1400, 200);
        bar.show();
        window.resize(1400, 300);
        window.show();
        for (int c = 0; c < bar.GetCategoryCount(); ++c) {
            bar.SetActiveCategory(bar.GetCategory(c));
            QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
            bar.ShowKeyTips();
            const QStringList shown = bar.GetShownKeyTips();
            bar.HideKeyTips();
            QVERIFY(shown.size() > 10);
            for (const QString& a : shown)
                for (const QString& b : shown)
                    QVERIFY2(&a == &b || !b.startsWith(a, Qt::CaseInsensitive), qPrintable(a + " starts " + b));
        }
        bar.setParent(nullptr);
    }

    void colourTables()
    {
        const CColorTable& theme = ThemeColors();
        const CColorTable& shades = ShadeColors();
        const CColorTable& standard = StandardColors();
        // Sizes and values are data, and the pickers' test takes every entry through a palette; what holds
        // across the tables: names pair with colours, shades are named by their column, no value twice.
        for (const CColorTable* t : {&theme, &shades, &standard})
            QCOMPARE(t->names.size(), t->colors.size());
        QCOMPARE(shades.colors.size(), 50);
        // Each column of the shades holds the five shades of one theme colour.
        for (int i = 0; i < 50; ++i)
            QVERIFY2(shades.names[i].startsWith(theme.names[i % 10] + ", "), qPrintable(shades.names[i]));
        // A colour's name is looked up by its value: no value may stand in two places.
        QSet<QRgb> seen;
        for (const CColorTable* t : {&theme, &shades, &standard})
            for (const QColor& c : t->colors) {
                QVERIFY2(!seen.contains(c.rgb()), qPrintable(c.name()));
                seen.insert(c.rgb());
            }
    }

    // The pickers' palettes, the font boxes and the recent documents on one ribbon as built.
    void pickersFontBoxesAndRecentDocuments()
    {
        CRibbonBar bar;
        InitRibbon(bar);
        struct Picker {
            int id;
            QColor initial;
            QColor automatic;
            const char* moreToolTip;
        };
        for (const Picker& p : {Picker{32789, QColor(255, 0, 0), QColor(0, 0, 0), "More Colors"},
                                Picker{32902, QColor(240, 240, 240), QColor(255, 255, 255), "More Shading Colors"}}) {
            auto* picker = bar.FindByID<CRibbonColorButton>(p.id);
            QVERIFY(picker);
            QCOMPARE(picker->GetColor(), p.initial);
            CRibbonColorPalette* palette = picker->GetPalette();
            palette->Rebuild();
            // Automatic, 10 theme colours, 50 shades, 10 standard colours, More Colors.
            QCOMPARE(palette->GetItemCount(), 72);
            using Kind = CRibbonColorPalette::Item::Kind;
            QCOMPARE(palette->GetItem(0).kind, Kind::Automatic);
            QCOMPARE(palette->GetItem(0).color, p.automatic);
            QCOMPARE(palette->GetItem(71).kind, Kind::Other);
            QCOMPARE(palette->GetItem(71).toolTip, QString(p.moreToolTip));
            const QList<const CColorTable*> tables{&ThemeColors(), &ShadeColors(), &StandardColors()};
            int index = 1;
            for (const CColorTable* table : tables) {
                for (int i = 0; i < table->colors.size(); ++i, ++index) {
                    const CRibbonColorPalette::Item& item = palette->GetItem(index);
                    QCOMPARE(item.color, table->colors[i]);
                    QCOMPARE(item.toolTip, table->names[i]);
                    QCOMPARE(item.rect.size(), QSize(17, 17));
                    // Ten columns; the shades' rows touch each other.
                    if (i >= 10) {
                        const QRect above = palette->GetItem(index - 10).rect;
                        QCOMPARE(item.rect.left(), above.left());
                        if (table == &ShadeColors())
                            QCOMPARE(item.rect.top(), above.bottom() + 1);
                    }
                }
            }
        }

        // The font boxes.
        auto* size = bar.FindByID<CRibbonComboBox>(32791);
        QVERIFY(size);
        QStringList entries;
        for (int i = 0; i < size->GetCount(); ++i)
            entries.append(size->GetItem(i));
        QCOMPARE(entries, QStringList({"4",  "5",  "6",  "7",  "8",  "9",  "10", "11", "12", "14",
                                       "16", "18", "20", "22", "24", "26", "28", "36", "48", "72"}));
        QCOMPARE(size->GetCurSel(), 3);
        QCOMPARE(size->GetText(), QString("7"));
        QVERIFY(!size->HasEditBox());

        // The face box's entries and how it shows a face are RibbonQtTest's.
        auto* face = bar.FindByID<CRibbonFontComboBox>(32790);
        QVERIFY(face);
        QCOMPARE(face->GetCurSel(), face->GetCount() > 10 ? 10 : -1);

        auto* find = bar.FindByID<CRibbonComboBox>(33224);
        QVERIFY(find && find->HasEditBox());
        QCOMPARE(find->GetComboBox()->insertPolicy(), QComboBox::NoInsert);

        // The recent documents of the file menu.
        SetRecentDocuments(bar, {"/var/log/syslog", "/home/u/a & b.txt"});
        CRibbonMainPanel* menu = bar.GetApplicationButton()->GetMainPanel();
        QCOMPARE(menu->GetRecentFileCount(), 2);
        const CRibbonButton* second = menu->GetRecentFileEntry(1);
        QCOMPARE(second->GetID(), 57617);
        QCOMPARE(second->GetToolTipTitle(), QString("/home/u/a & b.txt"));
        QCOMPARE(second->GetDescription(), QString("Open this document"));
    }
};

QTEST_MAIN(RibbonContentTest)
#include "RibbonContentTest.moc"
