// The application looks: every text on its background readable in every look,
// the looks clearly apart, the look that each id gives, and a look applied
// over a dark desktop leaving nothing of the desktop's palette. What one look
// command does to the parts of the window is ApplicationLookTest's.
#include "app/bars/CaptionBar.h"
#include "app/shell/Looks.h"
#include "view/CommandIds.h"

#include <QComboBox>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMenu>
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
        QTest::newRow("214") << 0 << 214 << "blue" << 0;
        QTest::newRow("4242 after silver") << 217 << 4242 << "silver" << 217;
        QTest::newRow("negative, after aqua") << 218 << -1 << "aqua" << 218;
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
};

QTEST_MAIN(LooksTest)
#include "LooksTest.moc"
