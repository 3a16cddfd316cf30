// The application looks: every text on its background readable in every look,
// the looks clearly apart, the look that each id gives, a look applied over a
// dark desktop leaving nothing of the desktop's palette, and one call
// restyling ribbon, tab rows, status bar and caption bar at once while the
// text window keeps its own colours.
#include "app/bars/CaptionBar.h"
#include "app/bars/StatusBar.h"
#include "app/ribbon/RibbonBar.h"
#include "app/ribbon/RibbonCategory.h"
#include "app/ribbon/RibbonPaint.h"
#include "app/ribbon/RibbonPanel.h"
#include "app/ribbon_content/RibbonContent.h"
#include "app/shell/Looks.h"
#include "file/TextFileDoc.h"
#include "textwnd/qt/FileWndWidget.h"
#include "view/CommandIds.h"

#include <QComboBox>
#include <QDialog>
#include <QEnterEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMainWindow>
#include <QMenu>
#include <QTemporaryDir>
#include <QToolTip>
#include <QVBoxLayout>
#include <QtTest>

#include <cmath>

namespace {

struct Pair {
    QString what;
    QColor text, back;
};

// Every text colour of a look on every background it is drawn on.
QList<Pair> textPairs(const CLook& look)
{
    QList<Pair> pairs;
    auto add = [&pairs](const QString& what, const QColor& text, std::initializer_list<QColor> backs) {
        int i = 0;
        for (const QColor& back : backs)
            pairs.append({QStringLiteral("%1 #%2").arg(what).arg(i++), text, back});
    };
    for (QPalette::ColorGroup g : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
        const QPalette& p = look.palette;
        const QString group = QString::number(g);
        add("window text " + group, p.color(g, QPalette::WindowText), {p.color(g, QPalette::Window)});
        add("text " + group, p.color(g, QPalette::Text),
            {p.color(g, QPalette::Base), p.color(g, QPalette::AlternateBase)});
        add("placeholder " + group, p.color(g, QPalette::PlaceholderText), {p.color(g, QPalette::Base)});
        add("button text " + group, p.color(g, QPalette::ButtonText), {p.color(g, QPalette::Button)});
        add("selected text " + group, p.color(g, QPalette::HighlightedText), {p.color(g, QPalette::Highlight)});
        add("tooltip " + group, p.color(g, QPalette::ToolTipText), {p.color(g, QPalette::ToolTipBase)});
        add("link " + group, p.color(g, QPalette::Link), {p.color(g, QPalette::Base), p.color(g, QPalette::Window)});
    }
    const CRibbonTheme& r = look.ribbon;
    add("ribbon tab", r.tabText, {r.tabRowTop, r.tabRowBottom, r.tabHover});
    add("ribbon active tab", r.activeTabText, {r.panelTop, r.categoryTop});
    add("ribbon text", r.text,
        {r.categoryTop, r.categoryBottom, r.panelTop, r.panelBottom, r.controlBack, r.popupBack, r.popupSideBack,
         r.popupTitleBack, r.hoverTop, r.hoverBottom, r.pressedTop, r.pressedBottom, r.checkedTop, r.checkedBottom});
    add("ribbon disabled", r.disabledText,
        {r.categoryTop, r.categoryBottom, r.panelTop, r.panelBottom, r.controlBack, r.popupBack});
    add("ribbon panel title", r.panelTitleText, {r.panelTitleBack});
    add("ribbon key tip", r.keyTipText, {r.keyTipBack});
    const CTabGroupTheme& t = look.tabs;
    add("tab row", t.rowText, {t.rowBackground});
    for (const QColor& card : t.tabColors)
        add("tab " + card.name(), t.tabText, {card, card.lighter(106)});
    const CStatusBarTheme& s = look.statusBar;
    add("status", s.text, {s.top, s.bottom});
    add("status disabled", s.disabledText, {s.top, s.bottom});
    add("status link", s.link, {s.top, s.bottom});
    const QPalette& c = look.captionBar;
    add("caption", c.color(QPalette::WindowText), {c.color(QPalette::Window)});
    add("caption message", c.color(QPalette::ToolTipText), {c.color(QPalette::ToolTipBase)});
    add("caption button", c.color(QPalette::ButtonText), {c.color(QPalette::Button)});
    return pairs;
}

double distance(const QColor& a, const QColor& b)
{
    return std::hypot(a.red() - b.red(), a.green() - b.green(), a.blue() - b.blue());
}

bool near(const QColor& a, const QColor& b)
{
    return distance(a, b) <= 6;
}

const CLook& look(int id)
{
    int style = 0;
    return LookForId(id, style);
}

QPalette darkDesktop()
{
    QPalette pal(QColor(0x35, 0x35, 0x35), QColor(0x24, 0x24, 0x24));
    for (QPalette::ColorRole role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText, QPalette::ToolTipText})
        pal.setColor(role, QColor(0xf0, 0xf0, 0xf0));
    pal.setColor(QPalette::Base, QColor(0x18, 0x18, 0x18));
    pal.setColor(QPalette::ToolTipBase, QColor(0x10, 0x10, 0x10));
    return pal;
}

}  // namespace

class LooksTest : public QObject {
    Q_OBJECT

private slots:
    void everyTextIsReadable_data()
    {
        QTest::addColumn<int>("id");
        for (const CLook& look : Looks())
            QTest::newRow(qPrintable(look.name)) << look.nId;
    }

    void everyTextIsReadable()
    {
        QFETCH(int, id);
        const QList<Pair> pairs = textPairs(look(id));
        Pair lowest = pairs.front();
        for (const Pair& pair : pairs) {
            const double ratio = RibbonContrastRatio(pair.text, pair.back);
            QVERIFY2(ratio >= 4.5, qPrintable(QStringLiteral("%1: %2 on %3 is %4:1")
                                                  .arg(pair.what, pair.text.name(), pair.back.name())
                                                  .arg(ratio, 0, 'f', 2)));
            if (ratio < RibbonContrastRatio(lowest.text, lowest.back))
                lowest = pair;
        }
        qInfo("%s: lowest %s, %s on %s, %.2f:1", qPrintable(look(id).name), qPrintable(lowest.what),
              qPrintable(lowest.text.name()), qPrintable(lowest.back.name()),
              RibbonContrastRatio(lowest.text, lowest.back));
    }

    // What the eye takes in first: the ribbon's tab row and body, the tab groups' area and the status bar. Every two
    // looks differ clearly in at least three of them; the four Style looks in every one of the tab row, area and bar.
    void looksAreApart()
    {
        const QList<CLook>& looks = Looks();
        QCOMPARE(looks.size(), 9);
        auto main = [](const CLook& l) {
            return QList<QColor>{l.ribbon.tabRowBottom, l.ribbon.categoryBottom, l.tabs.areaBackground,
                                 l.statusBar.bottom};
        };
        for (qsizetype i = 0; i < looks.size(); ++i) {
            for (qsizetype j = i + 1; j < looks.size(); ++j) {
                const QList<QColor> a = main(looks[i]), b = main(looks[j]);
                int apart = 0;
                for (qsizetype k = 0; k < a.size(); ++k)
                    apart += distance(a[k], b[k]) >= 30;
                const bool bothStyles =
                    looks[i].nId >= cmd::AppLookOffice2007Blue && looks[j].nId >= cmd::AppLookOffice2007Blue;
                const bool enough =
                    bothStyles ? distance(a[0], b[0]) >= 30 && distance(a[2], b[2]) >= 30 && distance(a[3], b[3]) >= 30
                               : apart >= 3;
                QVERIFY2(enough, qPrintable(looks[i].name + " and " + looks[j].name + " look alike"));
            }
        }
    }

    void lookForId_data()
    {
        QTest::addColumn<int>("styleBefore");
        QTest::addColumn<int>("id");
        QTest::addColumn<QString>("look");
        QTest::addColumn<int>("styleAfter");
        // Unknown ids with no style yet (blue) are ApplicationLookTest's stored 210 and 4242.
        QTest::newRow("210 after black") << 216 << 210 << "black" << 216;
        QTest::newRow("4242 after silver") << 217 << 4242 << "silver" << 217;
        QTest::newRow("219 after aqua") << 218 << 219 << "aqua" << 218;
        QTest::newRow("214") << 0 << 214 << "blue" << 0;
        QTest::newRow("negative") << 216 << -1 << "black" << 216;
        QTest::newRow("204, below the range") << 0 << 204 << "blue" << 0;
        QTest::newRow("208 has its own") << 218 << 208 << "beige" << 218;
        QTest::newRow("205") << 0 << 205 << "classic" << 0;
        QTest::newRow("209") << 215 << 209 << "darkblue" << 215;
        QTest::newRow("216 sets the style") << 217 << 216 << "black" << 216;
        QTest::newRow("218 sets the style") << 0 << 218 << "aqua" << 218;
    }

    void lookForId()
    {
        QFETCH(int, styleBefore);
        QFETCH(int, id);
        QFETCH(QString, look);
        QFETCH(int, styleAfter);
        int style = styleBefore;
        QCOMPARE(LookForId(id, style).name, look);
        QCOMPARE(style, styleAfter);
    }

    // A dark desktop palette underneath: each widget a look reaches takes all its colours from the look.
    void darkDesktopLeavesNoTrace()
    {
        const QPalette before = QApplication::palette();
        QApplication::setPalette(darkDesktop());
        // Desktops also give menus and lists palettes of their own.
        QApplication::setPalette(darkDesktop(), "QMenu");
        QApplication::setPalette(darkDesktop(), "QAbstractItemView");
        QToolTip::setPalette(darkDesktop());
        QDialog dialog;
        auto* label = new QLabel("Encoding", &dialog);
        auto* edit = new QLineEdit(&dialog);
        auto* combo = new QComboBox(&dialog);
        combo->addItems({"UTF-8", "Windows-1252"});
        auto* column = new QVBoxLayout(&dialog);
        for (QWidget* w : std::initializer_list<QWidget*>{label, edit, combo})
            column->addWidget(w);
        QMenu menu;
        menu.addAction("New Vertical Tab Group");
        for (int id : {217, 205, 206, 207, 208, 209, 215, 216, 218}) {
            const CLook& l = look(id);
            ApplyLook(l, {});
            CMyCaptionBar caption;  // made after the look, as every message's bar is
            dialog.show();
            menu.popup(QPoint(0, 0));
            combo->showPopup();
            QCoreApplication::processEvents();
            const QList<std::pair<const char*, QPalette>> seen{
                {"dialog", dialog.palette()},       {"label", label->palette()}, {"edit", edit->palette()},
                {"list", combo->view()->palette()}, {"menu", menu.palette()},    {"tooltip", QToolTip::palette()}};
            for (const auto& [name, pal] : seen) {
                for (int g = 0; g < QPalette::NColorGroups; ++g) {
                    for (int r = 0; r < QPalette::NColorRoles; ++r) {
                        const auto group = QPalette::ColorGroup(g);
                        const auto role = QPalette::ColorRole(r);
                        QVERIFY2(pal.color(group, role) == l.palette.color(group, role),
                                 qPrintable(
                                     QStringLiteral("%1 in %2: role %3 of group %4").arg(name, l.name).arg(r).arg(g)));
                    }
                }
            }
            for (QPalette::ColorRole role : {QPalette::Window, QPalette::WindowText, QPalette::ToolTipBase,
                                             QPalette::ToolTipText, QPalette::Button, QPalette::ButtonText})
                QCOMPARE(caption.palette().color(role), l.captionBar.color(role));
            combo->hidePopup();
            menu.hide();
            dialog.hide();
        }
        QApplication::setPalette(before);
    }

    // One call restyles every part; the text window keeps the colours of its file.
    void applyRestylesEveryPart()
    {
        QTemporaryDir dir;
        QFile file(dir.filePath("app.log"));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("short\nlines\n");
        file.close();
        CTextFileDoc doc;
        QVERIFY(doc.OnOpenDocument(QFile::encodeName(file.fileName()).constData()));

        QMainWindow window;
        auto* central = new QWidget;
        auto* column = new QVBoxLayout(central);
        column->setContentsMargins(0, 0, 0, 0);
        column->setSpacing(0);
        auto* ribbon = new CRibbonBar;
        InitRibbon(*ribbon);
        column->addWidget(ribbon);
        auto* caption = new CMyCaptionBar;
        caption->SetText("Welcome");
        column->addWidget(caption);
        auto* area = new CTabGroupArea;
        column->addWidget(area, 1);
        auto* text = new CFileWndWidget;
        text->FileWnd().SetPageColor(platform::Rgb(0x10, 0x80, 0x20));
        QVERIFY(text->LoadFile(doc.GetMappedFile()));
        area->AddWindow(text, "app.log");
        area->AddWindow(new QWidget, "other");
        area->MoveWindowToNewGroup(text, 1);
        window.setCentralWidget(central);
        auto* status = new CStatusBar;
        window.setStatusBar(status);
        window.resize(1000, 600);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));

        QWidget* row = area->TabBar(0)->parentWidget();  // the group: its tab row's background above the tabs
        QWidget* panel = ribbon->GetActiveCategory()->GetPanel(0);
        const int titleMiddle = panel->height() - ribbon::titleHeight(panel->fontMetrics()) / 2 - 1;
        struct Probe {
            const char* what;
            QWidget* widget;
            QPoint at;
        };
        const QList<Probe> probes{{"ribbon tab row", ribbon, {ribbon->width() / 2, 0}},
                                  {"panel title", panel, {3, titleMiddle}},
                                  {"tab row", row, {row->width() / 2, 1}},
                                  {"status bar", status, {status->width() * 3 / 4, status->height() / 2}},
                                  {"caption bar", caption, {1, 1}},
                                  {"text window", text->viewport(), {text->viewport()->width() - 5, 40}}};
        auto colours = [&] {
            const QImage shot = window.grab().toImage();
            QList<QColor> seen;
            for (const Probe& p : probes)
                seen.append(shot.pixelColor(p.widget->mapTo(&window, p.at)));
            return seen;
        };
        const CLook& blue = look(cmd::AppLookOffice2007Blue);
        const CLook& black = look(cmd::AppLookOffice2007Black);
        const CLookParts parts{ribbon, area, status};
        ApplyLook(blue, parts);
        const QList<QColor> before = colours();
        ApplyLook(black, parts);
        const QList<QColor> after = colours();

        const QList<QColor> expected{black.ribbon.tabRowTop,
                                     black.ribbon.panelTitleBack,
                                     black.tabs.rowBackground,
                                     QColor(),
                                     black.captionBar.color(QPalette::Window),
                                     QColor(0x10, 0x80, 0x20)};
        for (qsizetype i = 0; i < probes.size(); ++i) {
            const bool keeps = i == probes.size() - 1;
            QVERIFY2((before[i] == after[i]) == keeps, probes[i].what);
            if (expected[i].isValid())
                QVERIFY2(near(after[i], expected[i]),
                         qPrintable(QStringLiteral("%1: %2").arg(probes[i].what, after[i].name())));
        }
        // The status bar stands between the two ends of its own gradient.
        const QColor bar = after[3];
        QVERIFY(bar.lightness() <= black.statusBar.top.lightness() &&
                bar.lightness() >= black.statusBar.bottom.lightness());
        // Its link takes the look's link colour too.
        const auto* link = qobject_cast<QLabel*>(status->Element(cmd::StatusLink));
        QVERIFY(link->text().contains(black.statusBar.link.name()));

        // The Style button on the dark tab row: light text, and dark text on the light highlight once lit.
        CRibbonElement* styleButton = ribbon->GetTabElements().front();
        auto inks = [&] {
            const QImage shot = styleButton->grab().toImage();
            QSet<QRgb> seen;
            for (int y = 0; y < shot.height(); ++y)
                for (int x = 0; x < shot.width(); ++x)
                    seen.insert(shot.pixel(x, y));
            return std::pair{seen.contains(black.ribbon.tabText.rgb()), seen.contains(black.ribbon.text.rgb())};
        };
        QCOMPARE(inks(), std::pair(true, false));
        QEnterEvent enter(QPointF(2, 2), QPointF(2, 2), styleButton->mapToGlobal(QPointF(2, 2)));
        QApplication::sendEvent(styleButton, &enter);
        QCOMPARE(inks(), std::pair(false, true));
    }
};

QTEST_MAIN(LooksTest)
#include "LooksTest.moc"
