#include "app/tabgroups/TabGroupAccessible.h"

#include "app/tabgroups/TabGroup.h"

#include <QAccessibleWidget>
#include <QHash>
#include <QPointer>

namespace {

// One tab, by its index: the row keeps no object per tab.
class CTabAccessible : public QAccessibleInterface, public QAccessibleActionInterface {
public:
    CTabAccessible(CTabGroupBar* bar, int index) : m_pBar(bar), m_nIndex(index) {}

    CTabGroupBar* bar() const { return m_pBar; }
    int index() const { return m_nIndex; }

    bool isValid() const override { return m_pBar && m_nIndex < m_pBar->count(); }
    QObject* object() const override { return nullptr; }
    QWindow* window() const override { return m_pBar ? m_pBar->window()->windowHandle() : nullptr; }
    QAccessibleInterface* parent() const override { return QAccessible::queryAccessibleInterface(m_pBar.data()); }
    QAccessibleInterface* child(int) const override { return nullptr; }
    int childCount() const override { return 0; }
    int indexOfChild(const QAccessibleInterface*) const override { return -1; }
    QAccessibleInterface* childAt(int, int) const override { return nullptr; }
    void setText(QAccessible::Text, const QString&) override {}

    QString text(QAccessible::Text t) const override
    {
        if (!isValid())
            return {};
        switch (t) {
        case QAccessible::Name: return m_pBar->tabText(m_nIndex).replace(QLatin1String("&&"), QLatin1String("&"));
        case QAccessible::Description: return m_pBar->tabToolTip(m_nIndex);
        default: return {};
        }
    }
    QRect rect() const override
    {
        if (!isValid())
            return {};
        const QRect r = m_pBar->tabRect(m_nIndex);
        return QRect(m_pBar->mapToGlobal(r.topLeft()), r.size());
    }
    QAccessible::Role role() const override { return QAccessible::PageTab; }
    QAccessible::State state() const override
    {
        QAccessible::State s;
        if (!isValid()) {
            s.invalid = true;
            return s;
        }
        const bool current = m_pBar->currentIndex() == m_nIndex;
        s.invisible = !m_pBar->isVisible() || !m_pBar->isTabVisible(m_nIndex);
        s.offscreen = !m_pBar->rect().intersects(m_pBar->tabRect(m_nIndex));
        s.disabled = !m_pBar->isTabEnabled(m_nIndex);
        s.selectable = true;
        s.selected = current;
        // The current tab of the row the keys go to is the active window's.
        s.active = current && m_pBar->IsActiveRow();
        return s;
    }

    void* interface_cast(QAccessible::InterfaceType type) override
    {
        return type == QAccessible::ActionInterface ? static_cast<QAccessibleActionInterface*>(this) : nullptr;
    }
    QStringList actionNames() const override { return {pressAction()}; }
    QStringList keyBindingsForAction(const QString&) const override { return {}; }
    void doAction(const QString& name) override
    {
        if (name == pressAction() && isValid() && m_pBar->isTabEnabled(m_nIndex))
            m_pBar->setCurrentIndex(m_nIndex);
    }

private:
    QPointer<CTabGroupBar> m_pBar;
    int m_nIndex;
};

// The row: its tabs first, then its own child widgets (the close and scroll buttons).
class CTabBarAccessible : public QAccessibleWidget {
public:
    explicit CTabBarAccessible(CTabGroupBar* bar) : QAccessibleWidget(bar, QAccessible::PageTabList) {}
    ~CTabBarAccessible() override
    {
        for (QAccessible::Id id : std::as_const(m_tabs))
            QAccessible::deleteAccessibleInterface(id);
    }

    CTabGroupBar* bar() const { return static_cast<CTabGroupBar*>(widget()); }

    int childCount() const override { return bar()->count() + QAccessibleWidget::childCount(); }
    QAccessibleInterface* child(int index) const override
    {
        if (index < 0)
            return nullptr;
        if (index >= bar()->count())
            return QAccessibleWidget::child(index - bar()->count());
        if (const auto it = m_tabs.constFind(index); it != m_tabs.constEnd())
            if (QAccessibleInterface* tab = QAccessible::accessibleInterface(*it))
                return tab;
        auto* tab = new CTabAccessible(bar(), index);
        m_tabs.insert(index, QAccessible::registerAccessibleInterface(tab));
        return tab;
    }
    int indexOfChild(const QAccessibleInterface* child) const override
    {
        if (const auto* tab = dynamic_cast<const CTabAccessible*>(child))
            return tab->bar() == bar() ? tab->index() : -1;
        const int own = QAccessibleWidget::indexOfChild(child);
        return own < 0 ? -1 : bar()->count() + own;
    }
    QAccessibleInterface* childAt(int x, int y) const override
    {
        const QPoint local = bar()->mapFromGlobal(QPoint(x, y));
        for (QWidget* w : bar()->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
            if (w->isVisible() && w->geometry().contains(local))
                return QAccessible::queryAccessibleInterface(w);
        const int tab = bar()->tabAt(local);
        return tab >= 0 ? child(tab) : nullptr;
    }

private:
    mutable QHash<int, QAccessible::Id> m_tabs;
};

QAccessibleInterface* tabGroupAccessibleFactory(const QString&, QObject* object)
{
    auto* bar = qobject_cast<CTabGroupBar*>(object);
    return bar ? new CTabBarAccessible(bar) : nullptr;
}

}  // namespace

namespace tabgroups {

void installAccessibility()
{
    static const bool installed = (QAccessible::installFactory(tabGroupAccessibleFactory), true);
    Q_UNUSED(installed);
}

}  // namespace tabgroups
