#include "app/tabgroups/TabGroupArea.h"

#include "app/tabgroups/TabGroup.h"
#include "app/tabgroups/TabGroupStyle.h"

#include <QActionGroup>
#include <QApplication>
#include <QMenu>
#include <QPainter>
#include <QPointer>
#include <QRubberBand>
#include <QScopedValueRollback>
#include <QSplitter>
#include <QVBoxLayout>

namespace {

// The gaps between groups show the area's background.
class CGroupHandle : public QSplitterHandle {
public:
    using QSplitterHandle::QSplitterHandle;

protected:
    void paintEvent(QPaintEvent*) override {}
};

class CGroupSplitter : public QSplitter {
public:
    using QSplitter::QSplitter;

protected:
    QSplitterHandle* createHandle() override { return new CGroupHandle(orientation(), this); }
};

}  // namespace

// All light, so that dark text reads on every one.
QList<QColor> CTabGroupTheme::DefaultTabColors()
{
    return {
        QColor(0xa9, 0xc8, 0xee),  // blue
        QColor(0xbd, 0xe2, 0xa4),  // green
        QColor(0xf7, 0xcb, 0x9c),  // orange
        QColor(0xd4, 0xc3, 0xef),  // violet
        QColor(0xf3, 0xe3, 0x94),  // yellow
        QColor(0x9e, 0xdd, 0xd6),  // teal
        QColor(0xf4, 0xb9, 0xc9),  // rose
        QColor(0xd9, 0xcf, 0xb4),  // sand
    };
}

CTabGroupArea::CTabGroupArea(QWidget* parent)
    : QWidget(parent),
      m_pStyle(std::make_unique<CTabGroupStyle>()),
      m_pSplitter(new CGroupSplitter(Qt::Horizontal, this)),
      m_pDropMarker(new QRubberBand(QRubberBand::Rectangle, this))
{
    m_pSplitter->setChildrenCollapsible(false);
    m_pSplitter->setHandleWidth(4);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_pSplitter);
    connect(qApp, &QApplication::focusChanged, this, [this](QWidget*, QWidget* now) { OnFocusChanged(now); });
}

CTabGroupArea::~CTabGroupArea()
{
    // The windows go with the area; nothing is to be activated or reported while they do.
    disconnect(qApp, nullptr, this, nullptr);
    for (QWidget* window : Windows())
        disconnect(window, nullptr, this, nullptr);
    delete m_pSplitter;
}

// --- Windows -------------------------------------------------------------------------------------------------------

void CTabGroupArea::AddWindow(QWidget* window, const QString& title, const QString& toolTip, int group, bool activate)
{
    if (!window || GroupFor(window))
        return;
    CTabGroup* target = Group(group);
    if (!target)
        target = GroupFor(m_pActive);
    if (!target)
        target = GroupCount() ? Group(0) : InsertGroup(0);
    {
        const QScopedValueRollback<bool> quiet(m_bRearranging, true);
        target->InsertWindow(-1, window, title, toolTip);
    }
    connect(window, &QObject::destroyed, this, &CTabGroupArea::OnWindowDestroyed);
    if (activate || !m_pActive)
        Activate(window);
}

void CTabGroupArea::RemoveWindow(QWidget* window)
{
    if (!GroupFor(window))
        return;
    disconnect(window, &QObject::destroyed, this, &CTabGroupArea::OnWindowDestroyed);
    OnWindowDestroyed(window);
    window->hide();  // only now: the focus went to the heir first
    window->setParent(nullptr);
}

void CTabGroupArea::OnWindowDestroyed(QObject* window)
{
    CTabGroup* group = GroupFor(window);
    if (!group)
        return;
    const int groupIndex = IndexOfGroup(group);
    {
        const QScopedValueRollback<bool> quiet(m_bRearranging, true);
        group->RemoveTab(group->IndexOf(window));
        DropGroupIfEmpty(group);
    }
    if (window == m_pActive) {
        // The tab that took the window's place in its row, else the group to the left (or now first).
        CTabGroup* heir = group->Count() ? group : Group(groupIndex > 0 ? groupIndex - 1 : 0);
        if (heir) {
            Activate(heir->CurrentWindow());
        } else {
            m_pActive = nullptr;
            emit windowActivated(nullptr);
        }
    }
}

QList<QWidget*> CTabGroupArea::Windows() const
{
    QList<QWidget*> windows;
    for (int g = 0; g < GroupCount(); ++g)
        for (int i = 0; i < Group(g)->Count(); ++i)
            windows.append(Group(g)->WindowAt(i));
    return windows;
}

int CTabGroupArea::WindowCount() const
{
    int count = 0;
    for (int g = 0; g < GroupCount(); ++g)
        count += Group(g)->Count();
    return count;
}

QString CTabGroupArea::TabTitle(QWidget* window) const
{
    const CTabGroup* group = GroupFor(window);
    return group ? group->Title(group->IndexOf(window)) : QString();
}

void CTabGroupArea::SetTabTitle(QWidget* window, const QString& title)
{
    if (CTabGroup* group = GroupFor(window))
        group->SetTitle(group->IndexOf(window), title);
}

namespace {

// A mark lives on the window itself, so that it moves with it between groups.
constexpr const char* kMarkColor = "tabMarkColor";
constexpr const char* kMarkText = "tabMarkText";
constexpr const char* kBaseToolTip = "tabBaseToolTip";

}  // namespace

void CTabGroupArea::SetTabToolTip(QWidget* window, const QString& toolTip)
{
    CTabGroup* group = GroupFor(window);
    if (!group)
        return;
    window->setProperty(kBaseToolTip, toolTip);
    const QString mark = window->property(kMarkText).toString();
    group->Bar()->setTabToolTip(group->IndexOf(window), mark.isEmpty() ? toolTip : toolTip + u'\n' + mark);
}

void CTabGroupArea::SetTabMark(QWidget* window, const QColor& color, const QString& text)
{
    CTabGroup* group = GroupFor(window);
    if (!group || window == m_pActive)
        return;
    if (!window->property(kMarkColor).isValid())
        window->setProperty(kBaseToolTip, group->Bar()->tabToolTip(group->IndexOf(window)));
    window->setProperty(kMarkColor, color);
    window->setProperty(kMarkText, text);
    SetTabToolTip(window, window->property(kBaseToolTip).toString());
    group->Bar()->update();
}

void CTabGroupArea::ClearTabMark(QWidget* window)
{
    CTabGroup* group = GroupFor(window);
    if (!group || !window->property(kMarkColor).isValid())
        return;
    window->setProperty(kMarkColor, QVariant());
    window->setProperty(kMarkText, QVariant());
    SetTabToolTip(window, window->property(kBaseToolTip).toString());
    group->Bar()->update();
}

QColor CTabGroupArea::TabMark(const QWidget* window)
{
    return window ? window->property(kMarkColor).value<QColor>() : QColor();
}

// --- Activation ----------------------------------------------------------------------------------------------------

void CTabGroupArea::SetActiveWindow(QWidget* window)
{
    if (GroupFor(window))
        Activate(window);
}

void CTabGroupArea::Activate(QWidget* window)
{
    QWidget* before = m_pActive;
    m_pActive = window;
    ClearTabMark(window);  // seen now
    {
        const QScopedValueRollback<bool> quiet(m_bRearranging, true);
        CTabGroup* group = GroupFor(window);
        group->SetCurrent(group->IndexOf(window));
    }
    // Back to where the focus was inside the window when it was last active.
    QWidget* focus = window->focusWidget();
    (focus ? focus : window)->setFocus(Qt::OtherFocusReason);
    UpdateRows();
    if (window != before)
        emit windowActivated(window);
}

void CTabGroupArea::ActivateNextWindow()
{
    const QList<QWidget*> windows = Windows();
    if (windows.size() > 1)
        Activate(windows.at((windows.indexOf(m_pActive) + 1) % windows.size()));
}

void CTabGroupArea::ActivatePreviousWindow()
{
    const QList<QWidget*> windows = Windows();
    if (windows.size() > 1)
        Activate(windows.at((windows.indexOf(m_pActive) + windows.size() - 1) % windows.size()));
}

void CTabGroupArea::FillWindowMenu(QMenu* menu)
{
    auto* oneOf = new QActionGroup(menu);
    for (QWidget* window : Windows()) {
        const CTabGroup* group = GroupFor(window);
        QAction* entry = menu->addAction(group->Bar()->tabText(group->IndexOf(window)));
        entry->setActionGroup(oneOf);
        entry->setCheckable(true);
        entry->setChecked(window == m_pActive);
        connect(entry, &QAction::triggered, this, [this, target = QPointer<QWidget>(window)] {
            if (target)
                SetActiveWindow(target);
        });
    }
}

void CTabGroupArea::UpdateRows()
{
    const CTabGroup* active = GroupFor(m_pActive);
    for (int g = 0; g < GroupCount(); ++g) {
        Group(g)->Bar()->SetActiveRow(Group(g) == active);
        Group(g)->update();
    }
}

void CTabGroupArea::OnCurrentChanged(CTabGroup* group)
{
    if (m_bRearranging)
        return;  // the code that changes the tabs shows the pages and activates
    // A tab chosen in the active row by other means than a click (the wheel) activates its window.
    const bool activeRow = group->IndexOf(m_pActive) >= 0;
    {
        const QScopedValueRollback<bool> quiet(m_bRearranging, true);
        group->ShowCurrent();
    }
    if (activeRow)
        Activate(group->CurrentWindow());
}

void CTabGroupArea::OnFocusChanged(QWidget* now)
{
    if (m_bRearranging || !now || !isAncestorOf(now))
        return;
    for (int g = 0; g < GroupCount(); ++g) {
        QWidget* pages = Group(g)->Pages();
        if (now != pages && !pages->isAncestorOf(now))
            continue;
        QWidget* window = Group(g)->CurrentWindow();
        // A click on a page that does not take the focus itself gives it to the page parent: pass it on.
        if (window && (window != m_pActive || now == pages))
            Activate(window);
        return;
    }
}

// --- Groups --------------------------------------------------------------------------------------------------------

int CTabGroupArea::GroupCount() const
{
    return m_pSplitter->count();
}

CTabGroup* CTabGroupArea::Group(int index) const
{
    return index >= 0 && index < GroupCount() ? static_cast<CTabGroup*>(m_pSplitter->widget(index)) : nullptr;
}

CTabGroup* CTabGroupArea::GroupFor(const QObject* window) const
{
    if (!window)
        return nullptr;
    for (int g = 0; g < GroupCount(); ++g)
        if (Group(g)->IndexOf(window) >= 0)
            return Group(g);
    return nullptr;
}

int CTabGroupArea::IndexOfGroup(const CTabGroup* group) const
{
    return m_pSplitter->indexOf(const_cast<CTabGroup*>(group));
}

int CTabGroupArea::GroupOf(QWidget* window) const
{
    return IndexOfGroup(GroupFor(window));
}

QTabBar* CTabGroupArea::TabBar(int group) const
{
    CTabGroup* g = Group(group);
    return g ? g->Bar() : nullptr;
}

CTabGroup* CTabGroupArea::InsertGroup(int position)
{
    QList<int> sizes = m_pSplitter->sizes();
    auto* group = new CTabGroup(m_pStyle.get());
    m_pSplitter->insertWidget(position, group);
    if (!sizes.isEmpty()) {
        const int donor = position > 0 ? position - 1 : 0;
        const int half = sizes.at(donor) / 2;
        sizes[donor] -= half;
        sizes.insert(position, half);
        m_pSplitter->setSizes(sizes);
    }

    CTabGroupBar* bar = group->Bar();
    connect(bar, &QTabBar::tabBarClicked, this, [this, group](int index) {
        QWidget* window = group->WindowAt(index);
        SetActiveWindow(window ? window : group->CurrentWindow());  // a click beside the tabs picks the row
    });
    connect(bar, &QTabBar::currentChanged, this, [this, group] { OnCurrentChanged(group); });
    connect(bar, &CTabGroupBar::tabMenuRequested, this,
            [this, group](int index, QPoint at) { ShowTabMenu(group, index, at); });
    connect(bar, &CTabGroupBar::tabDragged, this, [this, group](QPoint at) { ShowDropTarget(group, at); });
    connect(bar, &CTabGroupBar::tabDropped, this, [this, group](QPoint at) { DropCurrentTab(group, at); });
    connect(group->CloseButton(), &QAbstractButton::clicked, this, [this, group] {
        if (QWidget* window = group->CurrentWindow())
            emit closeRequested(window);
    });
    connect(group->ListButton(), &QAbstractButton::clicked, this, [this, group] { ShowWindowList(group); });
    return group;
}

void CTabGroupArea::DropGroupIfEmpty(CTabGroup* group)
{
    if (group->Count())
        return;
    // Out of the splitter at once; deleted later, as the call may come from one of its own buttons.
    group->hide();
    group->setParent(nullptr);
    group->deleteLater();
}

bool CTabGroupArea::MoveWindow(QWidget* window, int group, int index)
{
    CTabGroup* from = GroupFor(window);
    CTabGroup* to = Group(group);
    if (!from || !to)
        return false;
    Transfer(window, from, to, index);
    return true;
}

bool CTabGroupArea::MoveWindowToNewGroup(QWidget* window, int position)
{
    CTabGroup* from = GroupFor(window);
    if (!from || position < 0 || position > GroupCount())
        return false;
    const int fromIndex = IndexOfGroup(from);
    if (from->Count() == 1 && (position == fromIndex || position == fromIndex + 1))
        Activate(window);  // alone in its group already, at that place
    else
        Transfer(window, from, InsertGroup(position), -1);
    return true;
}

void CTabGroupArea::Transfer(QWidget* window, CTabGroup* from, CTabGroup* to, int index)
{
    {
        const QScopedValueRollback<bool> quiet(m_bRearranging, true);
        const int tab = from->IndexOf(window);
        if (from == to) {
            const int last = from->Count() - 1;
            from->Bar()->moveTab(tab, index < 0 || index > last ? last : index > tab ? index - 1 : index);
        } else {
            const QString title = from->Title(tab);
            const QString toolTip = from->Bar()->tabToolTip(tab);
            from->RemoveTab(tab);
            to->InsertWindow(index, window, title, toolTip);
            DropGroupIfEmpty(from);
        }
    }
    Activate(window);
}

// --- Menus ---------------------------------------------------------------------------------------------------------

void CTabGroupArea::ShowTabMenu(CTabGroup* group, int tab, QPoint globalPos)
{
    const QPointer<QWidget> window = group->WindowAt(tab);
    const int g = IndexOfGroup(group);
    QMenu menu(this);
    const QAction* split = group->Count() > 1 ? menu.addAction(tr("New Vertical Tab Group")) : nullptr;
    const QAction* next = g + 1 < GroupCount() ? menu.addAction(tr("Move to Next Tab Group")) : nullptr;
    const QAction* previous = g > 0 ? menu.addAction(tr("Move to Previous Tab Group")) : nullptr;
    if (m_extendTabMenu && window) {
        if (!menu.isEmpty())
            menu.addSeparator();
        m_extendTabMenu(menu, window);
    }
    if (menu.isEmpty())
        return;
    const QAction* chosen = menu.exec(globalPos);
    if (!chosen || !window || GroupOf(window) != g)
        return;  // the window or its group went away while the menu was open
    if (chosen == split)
        MoveWindowToNewGroup(window, g + 1);
    else if (chosen == next)
        MoveWindow(window, g + 1);
    else if (chosen == previous)
        MoveWindow(window, g - 1);
}

void CTabGroupArea::ShowWindowList(CTabGroup* group)
{
    QMenu menu(this);
    FillWindowMenu(&menu);
    const QAbstractButton* button = group->ListButton();
    // Right-aligned under the button, which sits at the right end of the row.
    menu.exec(button->mapToGlobal(QPoint(button->width() - menu.sizeHint().width(), button->height())));
}

// --- Dragging a tab out of its row ---------------------------------------------------------------------------------

CTabGroupArea::DropTarget CTabGroupArea::FindDropTarget(QPoint globalPos) const
{
    const QPoint at = mapFromGlobal(globalPos);
    if (!rect().contains(at))  // outside the area: a new group at the right end
        return {DropTarget::NewGroup, GroupCount(), -1, rect().adjusted(width() * 2 / 3, 0, 0, 0)};
    for (int g = 0; g < GroupCount(); ++g) {
        const CTabGroup* group = Group(g);
        const QRect box(group->mapTo(this, QPoint(0, 0)), group->size());
        if (!box.contains(at))
            continue;
        if (at.y() < box.top() + group->RowHeight()) {  // beside the nearer edge of the tab under the point
            const QTabBar* bar = group->Bar();
            const QPoint onBar = bar->mapFrom(this, at);
            int index = bar->tabAt(onBar);
            if (index >= 0 && onBar.x() > bar->tabRect(index).center().x())
                ++index;
            return {DropTarget::Row, g, index, QRect(box.topLeft(), QSize(box.width(), group->RowHeight()))};
        }
        if (at.x() >= box.right() - box.width() / 4)  // the right edge of a page: a new group beside it
            return {DropTarget::NewGroup, g + 1, -1, box.adjusted(box.width() / 2, 0, 0, 0)};
        return {DropTarget::Page, g, -1, box};
    }
    return {};  // on the gap between two groups
}

bool CTabGroupArea::MovesNothing(const DropTarget& target, const CTabGroup* source) const
{
    switch (target.kind) {
    case DropTarget::Nowhere: return true;
    case DropTarget::Page: return Group(target.group) == source;
    case DropTarget::NewGroup:
        return source->Count() == 1 &&
               (target.group == IndexOfGroup(source) || target.group == IndexOfGroup(source) + 1);
    case DropTarget::Row: break;
    }
    return false;
}

void CTabGroupArea::ShowDropTarget(CTabGroup* source, QPoint globalPos)
{
    const DropTarget target = FindDropTarget(globalPos);
    if (MovesNothing(target, source)) {
        m_pDropMarker->hide();
        return;
    }
    m_pDropMarker->setGeometry(target.marker);
    m_pDropMarker->raise();
    m_pDropMarker->show();
}

void CTabGroupArea::DropCurrentTab(CTabGroup* source, QPoint globalPos)
{
    m_pDropMarker->hide();
    const DropTarget target = FindDropTarget(globalPos);
    QWidget* window = source->CurrentWindow();
    if (!window || MovesNothing(target, source))
        return;
    if (target.kind == DropTarget::NewGroup)
        MoveWindowToNewGroup(window, target.group);
    else
        MoveWindow(window, target.group, target.index);
}

// --- Look ----------------------------------------------------------------------------------------------------------

const CTabGroupTheme& CTabGroupArea::Theme() const
{
    return m_pStyle->Theme();
}

void CTabGroupArea::SetTheme(const CTabGroupTheme& theme)
{
    m_pStyle->SetTheme(theme);
    update();  // with every child in it
}

void CTabGroupArea::paintEvent(QPaintEvent*)
{
    QPainter(this).fillRect(rect(), Theme().areaBackground);
}
