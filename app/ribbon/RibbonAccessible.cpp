#include "app/ribbon/RibbonAccessible.h"

#include "app/ribbon/RibbonColorButton.h"
#include "app/ribbon/RibbonColorPalette.h"
#include "app/ribbon/RibbonElement.h"
#include "app/ribbon/RibbonPaint.h"

#include <QAccessibleWidget>
#include <QAction>
#include <QHash>
#include <QMenu>
#include <QPointer>

namespace {

QAccessibleInterface* ownerOf(const QWidget* dropDown)
{
    return QAccessible::queryAccessibleInterface(dropDown->parentWidget() ? dropDown->parentWidget()
                                                                          : static_cast<QObject*>(qApp));
}

class CRibbonAccessible : public QAccessibleWidget {
public:
    explicit CRibbonAccessible(CRibbonElement* e) : QAccessibleWidget(e, e->AccessibleRole()) {}

    CRibbonElement* element() const { return static_cast<CRibbonElement*>(widget()); }

    // Asked afresh: an element may get its menu after a screen reader first looked at it.
    QAccessible::Role role() const override { return element()->AccessibleRole(); }

    QAccessible::State state() const override
    {
        QAccessible::State s = QAccessibleWidget::state();
        CRibbonElement* e = element();
        s.checkable = e->AccessibleRole() == QAccessible::CheckBox || e->AccessibleRole() == QAccessible::RadioButton;
        s.checked = e->IsChecked();
        const QAccessible::Role r = e->AccessibleRole();
        if (r == QAccessible::ButtonMenu || r == QAccessible::ButtonDropDown) {
            s.hasPopup = s.expandable = true;
            s.expanded = e->GetOpenDropDown() != nullptr;
        }
        return s;
    }
    // Qt would fall back on the tooltip, which is rich text: a screen reader
    // would read its markup aloud. The description is plain: the element's
    // own, else its tooltip title unless that only repeats the name.
    QString text(QAccessible::Text t) const override
    {
        if (t != QAccessible::Description)
            return QAccessibleWidget::text(t);
        CRibbonElement* e = element();
        if (!e->accessibleDescription().isEmpty())
            return e->accessibleDescription();
        return e->GetToolTipTitle() == e->accessibleName() ? QString() : e->GetToolTipTitle();
    }

    // The open drop-down comes after the element's own children.
    int childCount() const override { return QAccessibleWidget::childCount() + (element()->GetOpenDropDown() ? 1 : 0); }
    QAccessibleInterface* child(int index) const override
    {
        const int own = QAccessibleWidget::childCount();
        if (index < own)
            return QAccessibleWidget::child(index);
        QWidget* dropDown = element()->GetOpenDropDown();
        return index == own && dropDown ? QAccessible::queryAccessibleInterface(dropDown) : nullptr;
    }
    int indexOfChild(const QAccessibleInterface* child) const override
    {
        QWidget* dropDown = element()->GetOpenDropDown();
        if (child && dropDown && child->object() == dropDown)
            return QAccessibleWidget::childCount();
        return QAccessibleWidget::indexOfChild(child);
    }

    QStringList actionNames() const override { return {pressAction()}; }
    void doAction(const QString& name) override
    {
        if (name == pressAction() && widget()->isEnabled())
            element()->OnKeyTip();
    }
};

// One entry of a drop-down: an index-free handle on its action, or on a palette's entry by index.
class CItemAccessible : public QAccessibleInterface, public QAccessibleActionInterface {
public:
    explicit CItemAccessible(QWidget* owner) : m_pOwner(owner) {}

    QObject* object() const override { return nullptr; }
    QWindow* window() const override { return m_pOwner ? m_pOwner->window()->windowHandle() : nullptr; }
    QAccessibleInterface* parent() const override { return QAccessible::queryAccessibleInterface(m_pOwner.data()); }
    QAccessibleInterface* child(int) const override { return nullptr; }
    int childCount() const override { return 0; }
    int indexOfChild(const QAccessibleInterface*) const override { return -1; }
    QAccessibleInterface* childAt(int, int) const override { return nullptr; }
    void setText(QAccessible::Text, const QString&) override {}
    void* interface_cast(QAccessible::InterfaceType type) override
    {
        return type == QAccessible::ActionInterface ? static_cast<QAccessibleActionInterface*>(this) : nullptr;
    }
    QStringList actionNames() const override { return {pressAction()}; }
    QStringList keyBindingsForAction(const QString&) const override { return {}; }

protected:
    QRect globalRect(const QRect& local) const
    {
        return m_pOwner ? QRect(m_pOwner->mapToGlobal(local.topLeft()), local.size()) : QRect();
    }
    QPointer<QWidget> m_pOwner;
};

class CMenuItemAccessible : public CItemAccessible {
public:
    CMenuItemAccessible(QMenu* menu, QAction* action) : CItemAccessible(menu), m_pAction(action) {}

    QMenu* menu() const { return static_cast<QMenu*>(m_pOwner.data()); }
    QAction* action() const { return m_pAction; }

    bool isValid() const override { return m_pOwner && m_pAction && menu()->actions().contains(m_pAction.data()); }
    QString text(QAccessible::Text t) const override
    {
        if (!isValid())
            return {};
        switch (t) {
        case QAccessible::Name: return ribbon::stripMnemonic(m_pAction->text());
        case QAccessible::Description:
            return m_pAction->toolTip() == ribbon::stripMnemonic(m_pAction->text()) ? QString() : m_pAction->toolTip();
        case QAccessible::Accelerator: return m_pAction->shortcut().toString(QKeySequence::NativeText);
        default: return {};
        }
    }
    QRect rect() const override { return isValid() ? globalRect(menu()->actionGeometry(m_pAction)) : QRect(); }
    QAccessible::Role role() const override
    {
        return m_pAction && m_pAction->isSeparator() ? QAccessible::Separator : QAccessible::MenuItem;
    }
    QAccessible::State state() const override
    {
        QAccessible::State s;
        if (!isValid()) {
            s.invalid = true;
            return s;
        }
        s.invisible = !m_pAction->isVisible() || !menu()->isVisible();
        s.disabled = !m_pAction->isEnabled();
        s.focusable = !m_pAction->isSeparator();
        s.focused = menu()->activeAction() == m_pAction;
        s.checkable = m_pAction->isCheckable();
        s.checked = m_pAction->isChecked();
        s.hasPopup = m_pAction->menu() != nullptr;
        return s;
    }
    void doAction(const QString& name) override
    {
        if (name != pressAction() || !isValid() || !m_pAction->isEnabled() || m_pAction->isSeparator())
            return;
        const QPointer<QAction> action = m_pAction;
        menu()->hide();
        if (action)
            action->trigger();  // the menu tells its owner, as a chosen entry does
    }

private:
    QPointer<QAction> m_pAction;
};

// Interfaces of entries live in Qt's registry; their drop-down deletes them when it goes.
class CItemCache {
public:
    ~CItemCache()
    {
        for (QAccessible::Id id : std::as_const(m_ids))
            QAccessible::deleteAccessibleInterface(id);
    }
    template <class Make>
    QAccessibleInterface* get(quintptr key, Make&& make) const
    {
        if (const auto it = m_ids.constFind(key); it != m_ids.constEnd())
            if (QAccessibleInterface* iface = QAccessible::accessibleInterface(*it))
                return iface;
        QAccessibleInterface* iface = make();
        m_ids.insert(key, QAccessible::registerAccessibleInterface(iface));
        return iface;
    }

private:
    mutable QHash<quintptr, QAccessible::Id> m_ids;
};

// A ribbon element's drop-down menu: its actions, in the menu's order (which
// Qt's focus events count by), are its children.
class CRibbonMenuAccessible : public QAccessibleWidget {
public:
    explicit CRibbonMenuAccessible(QMenu* menu) : QAccessibleWidget(menu, QAccessible::PopupMenu) {}

    QMenu* menu() const { return static_cast<QMenu*>(widget()); }

    QAccessibleInterface* parent() const override { return ownerOf(menu()); }
    QString text(QAccessible::Text t) const override
    {
        QString text = QAccessibleWidget::text(t);
        if (t == QAccessible::Name && text.isEmpty()) {
            text = ribbon::stripMnemonic(menu()->title());
            if (text.isEmpty() && menu()->parentWidget())
                text = menu()->parentWidget()->accessibleName();
        }
        return text;
    }
    int childCount() const override { return static_cast<int>(menu()->actions().size()); }
    QAccessibleInterface* child(int index) const override
    {
        const QList<QAction*> actions = menu()->actions();
        if (index < 0 || index >= actions.size())
            return nullptr;
        QAction* action = actions[index];
        return m_items.get(reinterpret_cast<quintptr>(action), [&] { return new CMenuItemAccessible(menu(), action); });
    }
    int indexOfChild(const QAccessibleInterface* child) const override
    {
        const auto* item = dynamic_cast<const CMenuItemAccessible*>(child);
        return item && item->menu() == menu() ? static_cast<int>(menu()->actions().indexOf(item->action())) : -1;
    }
    QAccessibleInterface* childAt(int x, int y) const override
    {
        QAction* action = menu()->actionAt(menu()->mapFromGlobal(QPoint(x, y)));
        return action ? child(static_cast<int>(menu()->actions().indexOf(action))) : nullptr;
    }

private:
    CItemCache m_items;
};

class CPaletteItemAccessible : public CItemAccessible {
public:
    CPaletteItemAccessible(CRibbonColorPalette* palette, int index) : CItemAccessible(palette), m_nIndex(index) {}

    CRibbonColorPalette* palette() const { return static_cast<CRibbonColorPalette*>(m_pOwner.data()); }
    int index() const { return m_nIndex; }

    bool isValid() const override { return m_pOwner && m_nIndex < palette()->GetItemCount(); }
    QString text(QAccessible::Text t) const override
    {
        if (!isValid())
            return {};
        if (t == QAccessible::Name)
            return palette()->GetItemName(m_nIndex);
        const QString tip = palette()->GetItem(m_nIndex).toolTip;
        return t == QAccessible::Description && tip != palette()->GetItemName(m_nIndex) ? tip : QString();
    }
    QRect rect() const override { return isValid() ? globalRect(palette()->GetItem(m_nIndex).rect) : QRect(); }
    QAccessible::Role role() const override { return QAccessible::ListItem; }
    QAccessible::State state() const override
    {
        QAccessible::State s;
        if (!isValid()) {
            s.invalid = true;
            return s;
        }
        s.invisible = !palette()->isVisible();
        s.focusable = s.selectable = true;
        s.focused = palette()->GetHotItem() == m_nIndex && palette()->hasFocus();
        s.selected = palette()->IsCurrentItem(m_nIndex);
        return s;
    }
    void doAction(const QString& name) override
    {
        if (name == pressAction() && isValid())
            palette()->Choose(m_nIndex);
    }

private:
    int m_nIndex;
};

// A colour palette: a list of its entries, each named as its tooltip names it.
class CPaletteAccessible : public QAccessibleWidget {
public:
    explicit CPaletteAccessible(CRibbonColorPalette* palette) : QAccessibleWidget(palette, QAccessible::List) {}

    CRibbonColorPalette* palette() const { return static_cast<CRibbonColorPalette*>(widget()); }

    QAccessibleInterface* parent() const override { return ownerOf(palette()); }
    int childCount() const override { return palette()->GetItemCount(); }
    QAccessibleInterface* child(int index) const override
    {
        if (index < 0 || index >= palette()->GetItemCount())
            return nullptr;
        return m_items.get(static_cast<quintptr>(index), [&] { return new CPaletteItemAccessible(palette(), index); });
    }
    int indexOfChild(const QAccessibleInterface* child) const override
    {
        const auto* item = dynamic_cast<const CPaletteItemAccessible*>(child);
        return item && item->palette() == palette() ? item->index() : -1;
    }
    QAccessibleInterface* childAt(int x, int y) const override
    {
        return child(palette()->ItemAt(palette()->mapFromGlobal(QPoint(x, y))));
    }

private:
    CItemCache m_items;
};

QAccessibleInterface* ribbonAccessibleFactory(const QString&, QObject* object)
{
    if (auto* e = qobject_cast<CRibbonElement*>(object))
        return new CRibbonAccessible(e);
    if (auto* palette = qobject_cast<CRibbonColorPalette*>(object))
        return new CPaletteAccessible(palette);
    if (auto* menu = qobject_cast<QMenu*>(object); menu && qobject_cast<CRibbonElement*>(menu->parentWidget()))
        return new CRibbonMenuAccessible(menu);
    if (auto* w = qobject_cast<QWidget*>(object); w && w->property("ribbonKeyTip").toBool())
        return new QAccessibleWidget(w, QAccessible::ToolTip);
    return nullptr;
}

}  // namespace

namespace ribbon {

void installAccessibility()
{
    static const bool installed = (QAccessible::installFactory(ribbonAccessibleFactory), true);
    Q_UNUSED(installed);
}

}  // namespace ribbon
