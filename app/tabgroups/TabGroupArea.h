// Child windows as note-book tabs in one or more groups side by side, the way
// multi-document programs with tabbed groups show them. Each group is a row of
// tabs over its pages; only the current tab of a row shows its page. The area
// knows nothing of what the windows are: the owner adds, titles and removes
// them and decides what a close request means.
//
// Window order, shared by the list menus, Windows() and next/previous: the
// groups from left to right, within a group its tabs from left to right.
#pragma once

#include <QColor>
#include <QList>
#include <QWidget>

#include <functional>
#include <memory>

class CTabGroup;
class CTabGroupStyle;
class QMenu;
class QRubberBand;
class QSplitter;
class QTabBar;

// The colours of the tab rows. The defaults suit a light look; a look change
// passes a whole new set to SetTheme, which repaints at once.
struct CTabGroupTheme {
    QColor areaBackground{0x8e, 0x99, 0xa8};  // between groups, and the whole area when it is empty
    QColor rowBackground{0xdc, 0xe2, 0xea};   // behind the tabs and the list button
    QColor rowText{0x3a, 0x42, 0x4e};         // the list button's arrow, on the row background
    QColor tabText{0x1e, 0x22, 0x28};         // titles and the close buttons' crosses, on the tabs
    QColor tabOutline{0x8a, 0x94, 0xa2};      // edges of the tabs and of the band under them
    QColor activeOutline{0x1f, 0x4e, 0x8c};   // edges of the active window's tab and band
    // The automatic tab colours, given to each row's tabs in tab order and
    // repeated after the last. All light, so that dark text reads on every one.
    QList<QColor> tabColors = DefaultTabColors();

    // Out of line: g++ -O3 warns falsely about a QList built from an
    // initializer list inside an inlined constructor.
    static QList<QColor> DefaultTabColors();
};

class CTabGroupArea : public QWidget {
    Q_OBJECT
public:
    explicit CTabGroupArea(QWidget* parent = nullptr);
    ~CTabGroupArea() override;

    // --- Windows -----------------------------------------------------------------------------------------------
    // Adds `window` (reparented into the area) as the last tab of `group` (-1: the active group) and makes it the
    // active window. A window that wants the focus on one of its children names it as its focus proxy. With
    // `activate` false the window waits behind its tab (the active window and the focus stay where they are),
    // unless the area had no window, which makes it the active one all the same.
    void AddWindow(QWidget* window, const QString& title, const QString& toolTip = {}, int group = -1,
                   bool activate = true);
    // Takes `window` out of the area: hidden, without a parent, owned by the caller again. A window may also simply
    // be deleted. Either way an active window passes activation to its neighbour (the tab that takes its place in
    // its row, or the current window of the group to the left, else to the right).
    void RemoveWindow(QWidget* window);
    // Every window, in window order.
    QList<QWidget*> Windows() const;
    int WindowCount() const;
    // The title a window's tab shows (and the list menus); "&" is shown as it is.
    QString TabTitle(QWidget* window) const;
    void SetTabTitle(QWidget* window, const QString& title);
    void SetTabToolTip(QWidget* window, const QString& toolTip);

    // --- Marks -------------------------------------------------------------------------------------------------
    // A dot in `color` on the window's tab, its tooltip ending in `text`, until the window is next activated: a
    // mark says that something happened in a window the user is not looking at. The active window takes none.
    void SetTabMark(QWidget* window, const QColor& color, const QString& text);
    void ClearTabMark(QWidget* window);
    // The colour of the window's mark; invalid when it has none.
    static QColor TabMark(const QWidget* window);

    // --- Activation --------------------------------------------------------------------------------------------
    // The window whose tab was activated last; null only when the area is empty. Focus moving to widgets outside
    // the area leaves it unchanged; focus moving into another group's page makes that group's window active.
    QWidget* ActiveWindow() const { return m_pActive; }
    // Selects the window's tab, makes its group the active one and gives the window the focus.
    void SetActiveWindow(QWidget* window);
    // The next or previous window after the active one in window order, wrapping around; one window: no change.
    void ActivateNextWindow();
    void ActivatePreviousWindow();
    // Appends one checkable entry per window in window order, titled as its tab, the active one checked;
    // triggering an entry activates its window. The list button of every row shows such a menu.
    void FillWindowMenu(QMenu* menu);

    // --- Groups ------------------------------------------------------------------------------------------------
    int GroupCount() const;
    // The group holding `window`, -1 if the area does not hold it.
    int GroupOf(QWidget* window) const;
    // The tab row of a group, for looking (the area owns its tabs and their data).
    QTabBar* TabBar(int group) const;
    // Moves `window` into `group` before the tab now at `index` (-1: as its last tab), within its own group too.
    // The same widget moves (reparented) and becomes the active window. A group left empty is removed at once.
    // False if the window or the group is unknown.
    bool MoveWindow(QWidget* window, int group, int index = -1);
    // Moves `window` into a new group placed at `position` (0: leftmost, GroupCount(): rightmost), which takes
    // half the width of its left neighbour (or of the first group). False if the window or position is invalid.
    bool MoveWindowToNewGroup(QWidget* window, int position);

    // --- Look --------------------------------------------------------------------------------------------------
    const CTabGroupTheme& Theme() const;
    void SetTheme(const CTabGroupTheme& theme);

    // Adds the owner's entries to the context menu of a window's tab, after the area's own; the entries act by
    // their own signals while the menu is open.
    void SetTabMenuExtension(std::function<void(QMenu&, QWidget*)> extend) { m_extendTabMenu = std::move(extend); }

signals:
    // The active window changed: a tab or page clicked, SetActiveWindow, next/previous, a move, or the active
    // window removed and another one taking its place. Null when the last window has gone.
    void windowActivated(QWidget* window);
    // The close button of a tab was pressed; the owner decides, and removes or deletes the window if it closes.
    void closeRequested(QWidget* window);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    // Where a tab pulled out of its row would go if released at a point.
    struct DropTarget {
        enum Kind { Nowhere, Row, Page, NewGroup } kind = Nowhere;
        int group = -1;  // the group, or for NewGroup the position of the new one
        int index = -1;  // Row: before this tab, -1: last
        QRect marker;    // what to highlight, in area coordinates
    };

    CTabGroup* Group(int index) const;
    CTabGroup* GroupFor(const QObject* window) const;
    int IndexOfGroup(const CTabGroup* group) const;
    CTabGroup* InsertGroup(int position);
    void DropGroupIfEmpty(CTabGroup* group);
    void Activate(QWidget* window);
    void Transfer(QWidget* window, CTabGroup* from, CTabGroup* to, int index);
    void UpdateRows();
    void OnCurrentChanged(CTabGroup* group);
    void OnFocusChanged(QWidget* now);
    void OnWindowDestroyed(QObject* window);  // also the first step of RemoveWindow
    void ShowTabMenu(CTabGroup* group, int tab, QPoint globalPos);
    void ShowWindowList(CTabGroup* group);
    DropTarget FindDropTarget(QPoint globalPos) const;
    bool MovesNothing(const DropTarget& target, const CTabGroup* source) const;
    void ShowDropTarget(CTabGroup* source, QPoint globalPos);
    void DropCurrentTab(CTabGroup* source, QPoint globalPos);

    std::unique_ptr<CTabGroupStyle> m_pStyle;  // outlives the tab rows that paint with it
    QSplitter* m_pSplitter;
    QRubberBand* m_pDropMarker;
    QWidget* m_pActive = nullptr;  // compared only, never used, once its window is being destroyed
    // Set while tabs and pages change hands: the focus moves on its own then, and must not activate anything.
    bool m_bRearranging = false;
    std::function<void(QMenu&, QWidget*)> m_extendTabMenu;
};
