// The tab-group area as its owner and its user meet it: the window order and
// cycling, moving tabs between groups (tab menu, dragging), the close button,
// the list menu, windows going away, focus, and the tab colours.
#include "app/tabgroups/TabGroupArea.h"

#include <QAbstractButton>
#include <QApplication>
#include <QBoxLayout>
#include <QContextMenuEvent>
#include <QLineEdit>
#include <QMenu>
#include <QTabBar>
#include <QtTest>

#include <functional>

namespace {

// A shown area holding windows "w0", "w1", ... in groups of the given sizes, in window order; w0 active.
struct Fixture {
    QWidget top;
    QLineEdit* outside = new QLineEdit(&top);
    CTabGroupArea* area = new CTabGroupArea(&top);
    QList<QWidget*> windows;

    explicit Fixture(const QList<int>& groupSizes)
    {
        auto* layout = new QVBoxLayout(&top);
        layout->addWidget(outside);
        layout->addWidget(area, 1);
        top.resize(900, 400);
        for (int g = 0; g < groupSizes.size(); ++g) {
            for (int i = 0; i < groupSizes[g]; ++i) {
                auto* window = new QWidget;
                const QString name = QStringLiteral("w%1").arg(windows.size());
                window->setObjectName(name);
                area->AddWindow(window, name, QStringLiteral("/logs/") + name);
                if (g > 0)
                    i == 0 ? area->MoveWindowToNewGroup(window, g) : area->MoveWindow(window, g);
                windows.append(window);
            }
        }
        area->SetActiveWindow(windows.first());
        top.show();
    }

    QTabBar* BarOf(QWidget* window) const { return area->TabBar(area->GroupOf(window)); }
    int TabOf(QWidget* window) const
    {
        int tab = 0;
        for (QWidget* w : area->Windows().mid(0, area->Windows().indexOf(window)))
            tab += area->GroupOf(w) == area->GroupOf(window);
        return tab;
    }
    QPoint TabCentre(QWidget* window) const { return BarOf(window)->tabRect(TabOf(window)).center(); }
};

// Runs `open`, which shows a menu and waits for it; records its entries ("*" before a checked one) and chooses
// the entry `choice` (none: closes the menu).
QStringList RunMenu(const std::function<void()>& open, const QString& choice = {})
{
    QStringList entries;
    QTimer answer;  // until the menu shows
    QObject::connect(&answer, &QTimer::timeout, [&] {
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        if (!menu)
            return;
        answer.stop();
        bool found = false;
        for (QAction* action : menu->actions()) {
            entries << (action->isChecked() ? QStringLiteral("*") : QString()) + action->iconText();
            if (action->iconText() == choice) {
                menu->setActiveAction(action);
                found = true;
            }
        }
        QTest::keyClick(menu, found ? Qt::Key_Return : Qt::Key_Escape);
    });
    answer.start(10);
    open();
    return entries;
}

// The tab of a row that carries a button: -1 none, -2 several.
int TabWithButton(const QTabBar* bar)
{
    int found = -1;
    for (int i = 0; i < bar->count(); ++i)
        if (bar->tabButton(i, QTabBar::RightSide) || bar->tabButton(i, QTabBar::LeftSide))
            found = found == -1 ? i : -2;
    return found;
}

}  // namespace

class TabGroupAreaTest : public QObject {
    Q_OBJECT

private slots:
    void windowOrderAndCycling_data()
    {
        QTest::addColumn<QList<int>>("groups");
        QTest::addColumn<int>("start");
        QTest::newRow("one window") << QList<int>{1} << 0;
        QTest::newRow("one row") << QList<int>{3} << 1;
        QTest::newRow("two groups, from the last") << QList<int>{2, 3} << 4;
    }
    void windowOrderAndCycling()
    {
        QFETCH(QList<int>, groups);
        QFETCH(int, start);
        Fixture f(groups);
        QCOMPARE(f.area->Windows(), f.windows);  // groups left to right, tabs left to right
        f.area->SetActiveWindow(f.windows[start]);
        QSignalSpy activated(f.area, &CTabGroupArea::windowActivated);
        const int n = int(f.windows.size());
        for (int step = 1; step <= n; ++step) {
            f.area->ActivateNextWindow();
            QCOMPARE(f.area->ActiveWindow(), f.windows[(start + step) % n]);
        }
        for (int step = 1; step <= n; ++step) {
            f.area->ActivatePreviousWindow();
            QCOMPARE(f.area->ActiveWindow(), f.windows[(start + n - step) % n]);
            QCOMPARE(f.BarOf(f.area->ActiveWindow())->currentIndex(), f.TabOf(f.area->ActiveWindow()));
        }
        QCOMPARE(activated.count(), n == 1 ? 0 : 2 * n);
        for (QWidget* w : f.windows)  // each row shows the page of its current tab only
            QCOMPARE(w->isVisible(), f.BarOf(w)->currentIndex() == f.TabOf(w));
    }

    void tabMenuMovesTabs_data()
    {
        QTest::addColumn<QList<int>>("groups");
        QTest::addColumn<int>("window");
        QTest::addColumn<QStringList>("entries");
        QTest::addColumn<int>("groupsAfter");
        QTest::addColumn<int>("groupAfter");
        const QString split = "New Vertical Tab Group", next = "Move to Next Tab Group",
                      previous = "Move to Previous Tab Group";
        QTest::newRow("split a row") << QList<int>{3} << 1 << QStringList{split} << 2 << 1;
        QTest::newRow("next group") << QList<int>{2, 2} << 0 << QStringList{split, next} << 2 << 1;
        QTest::newRow("back, the group emptied") << QList<int>{2, 1} << 2 << QStringList{previous} << 1 << 0;
        QTest::newRow("middle group") << QList<int>{1, 2, 1} << 1 << QStringList{split, next, previous} << 3 << 0;
        QTest::newRow("nothing to do") << QList<int>{1} << 0 << QStringList{} << 1 << 0;
    }
    void tabMenuMovesTabs()
    {
        QFETCH(QList<int>, groups);
        QFETCH(int, window);
        QFETCH(QStringList, entries);
        QFETCH(int, groupsAfter);
        QFETCH(int, groupAfter);
        Fixture f(groups);
        QWidget* w = f.windows[window];
        const QString choice = entries.isEmpty() ? QString() : entries.last();
        QContextMenuEvent click(QContextMenuEvent::Mouse, f.TabCentre(w), f.BarOf(w)->mapToGlobal(f.TabCentre(w)));
        QCOMPARE(RunMenu([&] { QApplication::sendEvent(f.BarOf(w), &click); }, choice), entries);
        QCOMPARE(f.area->GroupCount(), groupsAfter);
        QCOMPARE(f.area->GroupOf(w), groupAfter);
        // The same widget moved, with its title, and it is the active, shown window.
        QVERIFY(f.area->isAncestorOf(w));
        QCOMPARE(f.area->TabTitle(w), w->objectName());
        QCOMPARE(f.area->ActiveWindow(), w);
        QVERIFY(w->isVisible());
    }

    void draggingTabs_data()
    {
        QTest::addColumn<QList<int>>("groups");
        QTest::addColumn<int>("window");
        QTest::addColumn<QString>("to");
        QTest::addColumn<int>("groupsAfter");
        QTest::addColumn<int>("groupAfter");
        QTest::addColumn<int>("tabAfter");
        QTest::newRow("onto another row") << QList<int>{2, 2} << 0 << "row 1" << 2 << 1 << 2;
        QTest::newRow("before a tab of another row") << QList<int>{2, 2} << 0 << "tab 1" << 2 << 1 << 1;
        QTest::newRow("before a tab of its own row") << QList<int>{3} << 0 << "tab 0" << 1 << 0 << 1;
        QTest::newRow("back into its own row") << QList<int>{3} << 0 << "row 0" << 1 << 0 << 2;
        QTest::newRow("the right edge of a page") << QList<int>{2, 2} << 0 << "edge 1" << 3 << 2 << 0;
        QTest::newRow("out of the area") << QList<int>{3} << 1 << "outside" << 2 << 1 << 0;
        QTest::newRow("onto its own page") << QList<int>{2, 2} << 0 << "page 0" << 2 << 0 << 0;
        QTest::newRow("a group's last tab back") << QList<int>{2, 1} << 2 << "row 0" << 1 << 0 << 2;
    }
    void draggingTabs()
    {
        QFETCH(QList<int>, groups);
        QFETCH(int, window);
        QFETCH(QString, to);
        QFETCH(int, groupsAfter);
        QFETCH(int, groupAfter);
        QFETCH(int, tabAfter);
        Fixture f(groups);
        QVERIFY(QTest::qWaitForWindowExposed(&f.top));
        QWidget* w = f.windows[window];
        const int g = to.section(' ', 1).toInt();
        const QTabBar* row = f.area->TabBar(g);
        const QWidget* group = row->parentWidget();
        QPoint target = f.area->mapToGlobal(QPoint(f.area->width() + 40, 10));  // "outside"
        if (to.startsWith("row"))                                               // the free end of the row
            target = row->mapToGlobal(row->tabRect(row->count() - 1).center() + QPoint(80, 0));
        else if (to.startsWith("tab"))  // the left part of the last tab
            target = row->mapToGlobal(row->tabRect(row->count() - 1).center() - QPoint(8, 0));
        else if (to.startsWith("edge") || to.startsWith("page"))
            target = group->mapToGlobal(
                QPoint(to.startsWith("edge") ? group->width() - 5 : group->width() / 3, group->height() / 2));
        QTabBar* bar = f.BarOf(w);
        QTest::mousePress(bar, Qt::LeftButton, {}, f.TabCentre(w));
        QTest::mouseMove(bar, QPoint(bar->width() / 2, bar->height() * 4));  // out of its row first
        QTest::mouseMove(bar, bar->mapFromGlobal(target));
        QTest::mouseRelease(bar, Qt::LeftButton, {}, bar->mapFromGlobal(target));
        QCOMPARE(f.area->GroupCount(), groupsAfter);
        QCOMPARE(f.area->GroupOf(w), groupAfter);
        QCOMPARE(f.TabOf(w), tabAfter);
        QCOMPARE(f.area->ActiveWindow(), w);
        QVERIFY(w->isVisible());
    }

    void closeButtonOnTheCurrentTabOnly()
    {
        Fixture f({3, 2});
        QCOMPARE(TabWithButton(f.area->TabBar(0)), 0);
        QCOMPARE(TabWithButton(f.area->TabBar(1)), 1);  // w4, moved there last
        // It follows the current tab, whichever way the tab became current.
        QTest::mouseClick(f.BarOf(f.windows[2]), Qt::LeftButton, {}, f.TabCentre(f.windows[2]));
        QCOMPARE(TabWithButton(f.area->TabBar(0)), 2);
        f.area->SetActiveWindow(f.windows[3]);
        QCOMPARE(TabWithButton(f.area->TabBar(1)), 0);
        f.area->MoveWindow(f.windows[0], 1, 0);
        QCOMPARE(TabWithButton(f.area->TabBar(0)), 1);  // w2 took w0's place, w1 and w2 are left
        QCOMPARE(TabWithButton(f.area->TabBar(1)), 0);
        // Pressing it asks the owner; the window stays until the owner removes it.
        QSignalSpy requests(f.area, &CTabGroupArea::closeRequested);
        QTabBar* row = f.area->TabBar(1);
        QTest::mouseClick(qobject_cast<QAbstractButton*>(row->tabButton(0, QTabBar::RightSide)), Qt::LeftButton);
        QCOMPARE(requests.count(), 1);
        QCOMPARE(requests.at(0).at(0).value<QWidget*>(), f.windows[0]);
        QCOMPARE(f.area->WindowCount(), 5);
    }

    void listButtonListsEveryWindow()
    {
        Fixture f({2, 2});
        f.area->SetTabTitle(f.windows[3], "R&D");
        QCOMPARE(f.area->TabTitle(f.windows[3]), QString("R&D"));
        f.area->SetActiveWindow(f.windows[1]);
        QSignalSpy activated(f.area, &CTabGroupArea::windowActivated);
        for (int g = 0; g < 2; ++g) {
            // The row's own button, at its right end, beside the tabs.
            const auto buttons = f.area->TabBar(g)->parentWidget()->findChildren<QAbstractButton*>(
                QString(), Qt::FindDirectChildrenOnly);
            QCOMPARE(buttons.size(), 1);
            const QString choice = g == 0 ? "R&D" : "w0";
            const QStringList entries = RunMenu([&] { QTest::mouseClick(buttons[0], Qt::LeftButton); }, choice);
            const QStringList expected =
                g == 0 ? QStringList{"w0", "*w1", "w2", "R&D"} : QStringList{"w0", "w1", "w2", "*R&D"};
            QCOMPARE(entries, expected);
            QCOMPARE(f.area->ActiveWindow(), f.windows[g == 0 ? 3 : 0]);
            QCOMPARE(activated.count(), g + 1);
        }
    }

    void removingWindows_data()
    {
        QTest::addColumn<QList<int>>("groups");
        QTest::addColumn<int>("active");
        QTest::addColumn<int>("removed");
        QTest::addColumn<bool>("deleted");
        QTest::addColumn<int>("heir");  // the active window afterwards, -1: none
        QTest::addColumn<int>("groupsAfter");
        QTest::newRow("active, mid-row") << QList<int>{3, 1} << 1 << 1 << false << 2 << 2;
        QTest::newRow("active, deleted") << QList<int>{3, 1} << 1 << 1 << true << 2 << 2;
        QTest::newRow("active, end of row") << QList<int>{3, 1} << 2 << 2 << false << 1 << 2;
        QTest::newRow("active, alone in its group") << QList<int>{3, 1} << 3 << 3 << false << 0 << 1;
        QTest::newRow("active, first group emptied") << QList<int>{1, 2} << 0 << 0 << true << 2 << 1;
        QTest::newRow("not the active one") << QList<int>{3, 1} << 0 << 3 << true << 0 << 1;
        QTest::newRow("the last window") << QList<int>{1} << 0 << 0 << false << -1 << 0;
    }
    void removingWindows()
    {
        QFETCH(QList<int>, groups);
        QFETCH(int, active);
        QFETCH(int, removed);
        QFETCH(bool, deleted);
        QFETCH(int, heir);
        QFETCH(int, groupsAfter);
        Fixture f(groups);
        f.area->SetActiveWindow(f.windows[active]);
        QSignalSpy activated(f.area, &CTabGroupArea::windowActivated);
        QWidget* gone = f.windows[removed];
        if (!deleted) {
            f.area->RemoveWindow(gone);
            QVERIFY(!gone->parentWidget() && !gone->isVisible());  // the caller's again
        }
        delete gone;
        const int left = int(f.windows.size()) - 1;
        QCOMPARE(f.area->WindowCount(), left);
        QCOMPARE(f.area->GroupCount(), groupsAfter);
        QWidget* expected = heir >= 0 ? f.windows[heir] : nullptr;
        QCOMPARE(f.area->ActiveWindow(), expected);
        QCOMPARE(activated.count(), heir == active ? 0 : 1);
        if (heir != active)
            QCOMPARE(activated.at(0).at(0).value<QWidget*>(), expected);
    }

    void focusOutsideKeepsClickInsideActivates()
    {
        Fixture f({2, 2});
        f.top.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&f.top));
        QSignalSpy activated(f.area, &CTabGroupArea::windowActivated);
        f.outside->setFocus();
        QTRY_VERIFY(f.outside->hasFocus());
        QCOMPARE(f.area->ActiveWindow(), f.windows[0]);
        // A click on the page of the other group (w3 in front), though the page takes no focus itself.
        QTest::mouseClick(f.windows[3], Qt::LeftButton, {}, QPoint(20, 20));
        QCOMPARE(f.area->ActiveWindow(), f.windows[3]);
        QCOMPARE(activated.count(), 1);
        QVERIFY(f.windows[3]->hasFocus());
    }

    void tabColoursFollowTabOrder()
    {
        Fixture f({10});
        QVERIFY(QTest::qWaitForWindowExposed(&f.top));
        QTabBar* bar = f.area->TabBar(0);
        const auto colourAt = [bar](int tab) {
            const QRect r = bar->tabRect(tab);
            return bar->grab().toImage().pixelColor(r.center().x(), r.bottom() - 1);
        };
        CTabGroupTheme theme = f.area->Theme();
        for (int i = 0; i < bar->count(); ++i)
            QCOMPARE(colourAt(i), theme.tabColors[i % theme.tabColors.size()]);
        theme.tabColors = {QColor(250, 240, 200), QColor(200, 240, 250), QColor(230, 210, 250)};
        f.area->SetTheme(theme);
        for (int i = 0; i < bar->count(); ++i)
            QCOMPARE(colourAt(i), theme.tabColors[i % 3]);
    }
};

QTEST_MAIN(TabGroupAreaTest)

#include "TabGroupAreaTest.moc"
