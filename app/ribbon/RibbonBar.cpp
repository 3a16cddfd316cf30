#include "app/ribbon/RibbonBar.h"

#include "app/ribbon/RibbonApplicationButton.h"
#include "app/ribbon/RibbonButton.h"
#include "app/ribbon/RibbonCategory.h"
#include "app/ribbon/RibbonPaint.h"
#include "app/ribbon/RibbonPanel.h"
#include "app/ribbon/RibbonPopup.h"

#include <QActionGroup>
#include <QApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QMenu>
#include <QPainter>
#include <QPainterPath>

namespace {

constexpr int kTabPadding = 12;  // each side of a tab's text
constexpr int kTabGap = 2;

// A key tip over an element: a small framed label.
class CKeyTipLabel : public QWidget {
public:
    CKeyTipLabel(const QString& text, QWidget* owner) : QWidget(owner, Qt::ToolTip), m_text(text.toUpper())
    {
        setAttribute(Qt::WA_TransparentForMouseEvents);
        setProperty("ribbonKeyTip", true);  // a tooltip for assistive tools, named by its keys
        setAccessibleName(m_text);
        const QFontMetrics fm = fontMetrics();
        resize(std::max(fm.horizontalAdvance(m_text) + 8, fm.height() + 2), fm.height() + 2);
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter p(this);
        const CRibbonTheme& t = ribbon::themeOf(parentWidget());
        p.fillRect(rect(), t.keyTipBack);
        p.setPen(t.keyTipBorder);
        p.drawRect(rect().adjusted(0, 0, -1, -1));
        p.setPen(t.keyTipText);
        p.drawText(rect(), Qt::AlignCenter, m_text);
    }

private:
    QString m_text;
};

bool isModifierKey(int key)
{
    return key == Qt::Key_Shift || key == Qt::Key_Control || key == Qt::Key_Alt || key == Qt::Key_Meta ||
           key == Qt::Key_AltGr || key == Qt::Key_CapsLock;
}

}  // namespace

CRibbonBar::CRibbonBar(QWidget* parent)
    : QWidget(parent),
      m_pQuickAccess(new QWidget(this)),
      m_pQuickAccessLayout(new QHBoxLayout(m_pQuickAccess)),
      m_pTabElements(new QWidget(this)),
      m_pTabElementsLayout(new QHBoxLayout(m_pTabElements))
{
    for (QHBoxLayout* layout : {m_pQuickAccessLayout, m_pTabElementsLayout}) {
        layout->setContentsMargins(0, 0, 0, 0);
        layout->setSpacing(1);
    }
    setMouseTracking(true);
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    setAccessibleName(tr("Ribbon"));
}

CRibbonBar::~CRibbonBar()
{
    HideKeyTips();
}

// --- Content ---------------------------------------------------------------------------

void CRibbonBar::SetApplicationButton(CRibbonApplicationButton* button, const QSize& buttonSize)
{
    delete m_pAppButton;
    m_pAppButton = button;
    button->setParent(this);
    button->setFixedSize(buttonSize);
    button->show();
    LayoutTabRow();
    updateGeometry();
}

CRibbonCategory* CRibbonBar::AddCategory(const QString& name)
{
    auto* category = new CRibbonCategory(name, this);
    m_categories.append(category);
    if (!m_pActive)
        SetActiveCategory(category);
    else
        category->hide();
    LayoutTabRow();
    return category;
}

void CRibbonBar::SetActiveCategory(CRibbonCategory* category)
{
    m_pActive = category;
    for (CRibbonCategory* c : m_categories)
        c->setVisible(c == category && !m_bMinimized);
    LayoutTabRow();
    updateGeometry();
    update();
}

void CRibbonBar::SetQuickAccessCommands(const QList<int>& ids)
{
    while (QLayoutItem* item = m_pQuickAccessLayout->takeAt(0)) {
        delete item->widget();
        delete item;
    }
    for (int nID : ids) {
        const CRibbonElement* source = FindByID(nID);
        auto* button = new CRibbonButton(nID, {});
        if (source) {
            button->SetImages(source->GetSmallImage().isNull() ? source->GetLargeImage() : source->GetSmallImage());
            button->SetToolTipText(source->GetToolTipTitle().isEmpty() ? ribbon::stripMnemonic(source->GetLabel())
                                                                       : source->GetToolTipTitle(),
                                   source->GetDescription());
        }
        button->setProperty("ribbonTabRow", true);
        m_pQuickAccessLayout->addWidget(button);
    }
    LayoutTabRow();
}

void CRibbonBar::AddToTabs(CRibbonElement* element)
{
    element->setProperty("ribbonTabRow", true);
    m_pTabElementsLayout->addWidget(element);
    LayoutTabRow();
}

namespace {

QList<CRibbonElement*> elementsOf(const QLayout* layout)
{
    QList<CRibbonElement*> elements;
    for (int i = 0; i < layout->count(); ++i)
        if (auto* e = qobject_cast<CRibbonElement*>(layout->itemAt(i)->widget()))
            elements.append(e);
    return elements;
}

}  // namespace

QList<int> CRibbonBar::GetQuickAccessCommands() const
{
    QList<int> ids;
    for (const CRibbonElement* e : elementsOf(m_pQuickAccessLayout))
        ids.append(e->GetID());
    return ids;
}

QList<CRibbonElement*> CRibbonBar::GetTabElements() const
{
    return elementsOf(m_pTabElementsLayout);
}

// --- Elements by command id ------------------------------------------------------------

void CRibbonBar::EnsureIndex() const
{
    if (m_nIndexGeneration == ribbon::structureGeneration())
        return;
    m_index.clear();
    m_menus.clear();
    for (CRibbonElement* e : findChildren<CRibbonElement*>()) {
        if (e->GetID() != 0)
            m_index[e->GetID()].append(e);
        if (auto* button = qobject_cast<CRibbonButton*>(e); button && button->GetMenu())
            m_menus.append(button->GetMenu());
    }
    m_nIndexGeneration = ribbon::structureGeneration();
}

CRibbonElement* CRibbonBar::FindByID(int nID) const
{
    EnsureIndex();
    const auto it = m_index.constFind(nID);
    return it == m_index.constEnd() ? nullptr : it->first();
}

QList<CRibbonElement*> CRibbonBar::FindAllByID(int nID) const
{
    EnsureIndex();
    return m_index.value(nID);
}

template <class Apply>
void CRibbonBar::ForEachMenuItem(int nID, Apply&& apply)
{
    std::function<void(QMenu*)> walk = [&](QMenu* menu) {
        for (QAction* action : menu->actions()) {
            if (action->menu())
                walk(action->menu());
            else if (!action->isSeparator() && action->data().toInt() == nID && action->data().isValid())
                apply(menu, action);
        }
    };
    EnsureIndex();
    for (const QPointer<QMenu>& menu : std::as_const(m_menus))
        if (menu)
            walk(menu);
}

void CRibbonBar::SetCommandEnabled(int nID, bool bEnabled)
{
    for (CRibbonElement* e : FindAllByID(nID))
        e->SetCommandEnabled(bEnabled);
    ForEachMenuItem(nID, [bEnabled](QMenu*, QAction* action) { action->setEnabled(bEnabled); });
}

void CRibbonBar::SetCommandToolTipNote(int nID, const QString& note)
{
    for (CRibbonElement* e : FindAllByID(nID))
        e->SetToolTipNote(note);
}

void CRibbonBar::SetCommandChecked(int nID, bool bChecked)
{
    for (CRibbonElement* e : FindAllByID(nID))
        e->SetChecked(bChecked);
    ForEachMenuItem(nID, [bChecked](QMenu*, QAction* action) {
        if (bChecked && !action->isCheckable())
            action->setCheckable(true);
        action->setChecked(bChecked);
    });
}

void CRibbonBar::SetCommandRadio(int nID, bool bRadio)
{
    for (CRibbonElement* e : FindAllByID(nID))
        e->SetRadio(bRadio);
    ForEachMenuItem(nID, [bRadio](QMenu* menu, QAction* action) {
        if (!action->actionGroup()) {
            // Menus draw a round mark for the items of an exclusive group.
            auto* group = menu->findChild<QActionGroup*>(QString(), Qt::FindDirectChildrenOnly);
            if (!group) {
                group = new QActionGroup(menu);
                group->setExclusionPolicy(QActionGroup::ExclusionPolicy::ExclusiveOptional);
            }
            action->setCheckable(true);
            group->addAction(action);
        }
        action->setChecked(bRadio);
    });
}

void CRibbonBar::NotifyCommand(int nID)
{
    emit commandTriggered(nID);
    for (CRibbonPopup* popup : findChildren<CRibbonPopup*>())
        if (popup->isVisible())
            popup->close();
}

// --- Minimised state and theme ---------------------------------------------------------

void CRibbonBar::SetMinimized(bool bMinimized)
{
    if (bMinimized == m_bMinimized)
        return;
    m_bMinimized = bMinimized;
    if (m_pCategoryPopup && m_pCategoryPopup->isVisible())
        m_pCategoryPopup->close();
    SetActiveCategory(m_pActive);
}

void CRibbonBar::ShowCategoryPopup()
{
    if (!m_bMinimized || !m_pActive)
        return;
    if (!m_pCategoryPopup) {
        m_pCategoryPopup = new CRibbonPopup(this);
        connect(m_pCategoryPopup, &CRibbonPopup::closed, this, qOverload<>(&QWidget::update));
    }
    m_pActive->resize(width() - 2, CategoryHeight());
    m_pCategoryPopup->ShowContent(m_pActive, mapToGlobal(QPoint(0, TabRowHeight())));
    update();
}

void CRibbonBar::SetTheme(const CRibbonTheme& theme)
{
    m_theme = theme;
    for (CRibbonElement* e : findChildren<CRibbonElement*>())
        e->OnThemeChanged();
    for (QWidget* w : findChildren<QWidget*>())
        w->update();
    update();
}

// --- Geometry and painting -------------------------------------------------------------

int CRibbonBar::TabRowHeight() const
{
    const int tabs = fontMetrics().height() + 12;
    return std::max(tabs, m_pAppButton ? m_pAppButton->height() : 0);
}

int CRibbonBar::CategoryHeight() const
{
    int height = 0;
    for (CRibbonCategory* c : m_categories)
        height = std::max(height, c->sizeHint().height());
    return height;
}

QSize CRibbonBar::sizeHint() const
{
    const int body = m_bMinimized || m_categories.isEmpty() ? 0 : CategoryHeight() + 2;
    return QSize(m_pActive ? m_pActive->sizeHint().width() : 400, TabRowHeight() + body);
}

QSize CRibbonBar::minimumSizeHint() const
{
    return QSize(200, sizeHint().height());
}

void CRibbonBar::LayoutTabRow()
{
    const int rowHeight = TabRowHeight();
    const int tabHeight = fontMetrics().height() + 9;
    const int tabTop = rowHeight - tabHeight;
    int x = 3;
    if (m_pAppButton) {
        m_pAppButton->move(x, (rowHeight - m_pAppButton->height()) / 2);
        x += m_pAppButton->width() + 4;
    }
    const int elementsY = tabTop + (tabHeight - ribbon::rowHeight(fontMetrics())) / 2;
    const QSize qat = m_pQuickAccess->sizeHint();
    m_pQuickAccess->setGeometry(x, elementsY, qat.width(), qat.height());
    if (m_pQuickAccessLayout->count())
        x += qat.width() + 8;
    m_tabRects.clear();
    for (CRibbonCategory* c : m_categories) {
        const int w = fontMetrics().horizontalAdvance(c->GetName()) + 2 * kTabPadding;
        m_tabRects.append(QRect(x, tabTop, w, tabHeight));
        x += w + kTabGap;
    }
    const QSize right = m_pTabElements->sizeHint();
    m_pTabElements->setGeometry(width() - right.width() - 4, elementsY, right.width(), right.height());
    for (CRibbonCategory* c : m_categories)
        if (c->parentWidget() == this)
            c->setGeometry(1, rowHeight + 1, width() - 2, CategoryHeight());
    update();
}

bool CRibbonBar::event(QEvent* event)
{
    if (event->type() == QEvent::LayoutRequest) {
        LayoutTabRow();
        updateGeometry();
    }
    return QWidget::event(event);
}

void CRibbonBar::resizeEvent(QResizeEvent*)
{
    LayoutTabRow();
}

void CRibbonBar::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    const CRibbonTheme& t = m_theme;
    const int rowHeight = TabRowHeight();
    ribbon::fillGradient(p, QRectF(0, 0, width(), rowHeight), t.tabRowTop, t.tabRowBottom, QColor(), 0);
    const bool bodyShown = !m_bMinimized && m_pActive;
    if (bodyShown) {
        p.setPen(t.categoryBorder);
        p.drawRect(QRect(0, rowHeight, width() - 1, CategoryHeight() + 1));
    } else {
        p.fillRect(QRect(0, rowHeight - 1, width(), 1), t.categoryBorder);
    }

    const bool popupOpen = m_pCategoryPopup && m_pCategoryPopup->isVisible();
    p.setRenderHint(QPainter::Antialiasing);
    for (qsizetype i = 0; i < m_tabRects.size(); ++i) {
        const QRectF r = QRectF(m_tabRects[i]).adjusted(0.5, 0.5, -0.5, 0.5);
        const bool active = m_categories[i] == m_pActive && (bodyShown || popupOpen);
        const bool hover = i == m_nHoverTab;
        if (active || hover) {
            QPainterPath tab;
            tab.moveTo(r.bottomLeft() + QPointF(0, active ? 1 : 0));
            tab.lineTo(r.left(), r.top() + 3);
            tab.quadTo(r.topLeft(), r.topLeft() + QPointF(3, 0));
            tab.lineTo(r.right() - 3, r.top());
            tab.quadTo(r.topRight(), r.topRight() + QPointF(0, 3));
            tab.lineTo(r.bottomRight() + QPointF(0, active ? 1 : 0));
            QLinearGradient g(r.topLeft(), r.bottomLeft());
            g.setColorAt(0, active ? t.panelTop : t.tabHover);
            g.setColorAt(1, active ? t.categoryTop : t.tabHover);
            p.fillPath(tab, g);
            p.setPen(active ? t.categoryBorder : t.panelBorder);
            p.drawPath(tab);
        }
        p.setPen(active ? t.activeTabText : t.tabText);
        p.drawText(m_tabRects[i], Qt::AlignCenter, m_categories[i]->GetName());
    }
}

int CRibbonBar::TabAt(const QPoint& pos) const
{
    for (qsizetype i = 0; i < m_tabRects.size(); ++i)
        if (m_tabRects[i].contains(pos))
            return static_cast<int>(i);
    return -1;
}

void CRibbonBar::OnTabClicked(int nIndex)
{
    if (nIndex < 0)
        return;
    if (m_pCategoryPopup && m_pCategoryPopup->isVisible())
        m_pCategoryPopup->close();  // gives the category it shows back first
    SetActiveCategory(m_categories[nIndex]);
    if (m_bMinimized)
        ShowCategoryPopup();
}

void CRibbonBar::mousePressEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton)
        OnTabClicked(TabAt(event->position().toPoint()));
    QWidget::mousePressEvent(event);
}

void CRibbonBar::mouseMoveEvent(QMouseEvent* event)
{
    const int tab = TabAt(event->position().toPoint());
    if (tab != m_nHoverTab) {
        m_nHoverTab = tab;
        update();
    }
    QWidget::mouseMoveEvent(event);
}

void CRibbonBar::leaveEvent(QEvent* event)
{
    m_nHoverTab = -1;
    update();
    QWidget::leaveEvent(event);
}

// --- Key tips --------------------------------------------------------------------------

void CRibbonBar::AddKeyTip(const QString& text, QWidget* anchor, const QPoint& pos, std::function<void()> activate)
{
    if (text.isEmpty() || !anchor->isVisible())
        return;
    KeyTip tip{text, anchor, pos, std::move(activate)};
    auto* label = new CKeyTipLabel(text, this);
    const QPoint at = anchor->mapToGlobal(pos);
    label->move(at.x() - label->width() / 2, at.y() - label->height() / 2);
    label->show();
    tip.label = label;
    m_keyTips.append(tip);
}

void CRibbonBar::ShowKeyTips()
{
    ShowKeyTipsIn(nullptr);
}

void CRibbonBar::ShowKeyTipsIn(QWidget* scope)
{
    HideKeyTips();
    if (!scope) {
        for (qsizetype i = 0; i < m_categories.size(); ++i) {
            const QRect& r = m_tabRects[i];
            AddKeyTip(m_categories[i]->GetKeyTip(), this, QPoint(r.center().x(), r.bottom()),
                      [this, c = QPointer<CRibbonCategory>(m_categories[i])] {
                          if (!c)
                              return;
                          // The chosen category's own tips follow at once, so that its
                          // commands are reached without a second Alt.
                          OnTabClicked(static_cast<int>(m_categories.indexOf(c)));
                          QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
                          ShowKeyTips();
                      });
        }
    }
    QWidget* root = scope ? scope : this;
    for (CRibbonPanel* panel : root->findChildren<CRibbonPanel*>())
        AddKeyTip(panel->GetKeyTip(), panel, panel->KeyTipPos(), [this, p = QPointer<CRibbonPanel>(panel)] {
            if (!p)
                return;
            p->OnKeyTip();
            // A collapsed panel opens as a pop-up: the tips of its elements follow at once, as a
            // category's do, or its elements could not be reached by keys at all.
            if (QWidget* popup = p->GetOpenPopup())
                ShowKeyTipsIn(popup);
        });
    for (CRibbonElement* e : root->findChildren<CRibbonElement*>()) {
        const QPointer<CRibbonElement> guard(e);
        AddKeyTip(e->GetKeyTip(), e, e->KeyTipPos(), [guard] {
            if (guard)
                guard->OnKeyTip();
        });
        AddKeyTip(e->GetMenuKeyTip(), e, QPoint(e->width() - 6, e->height()), [guard] {
            if (guard)
                guard->OnMenuKeyTip();
        });
    }
    if (!m_keyTips.isEmpty())
        qApp->installEventFilter(this);
}

void CRibbonBar::HideKeyTips()
{
    if (m_keyTips.isEmpty())
        return;
    qApp->removeEventFilter(this);
    for (const KeyTip& tip : std::as_const(m_keyTips))
        delete tip.label;
    m_keyTips.clear();
    m_keyPrefix.clear();
}

QStringList CRibbonBar::GetShownKeyTips() const
{
    QStringList shown;
    for (const KeyTip& tip : m_keyTips)
        if (tip.label->isVisible())
            shown.append(tip.text);
    return shown;
}

void CRibbonBar::OnKeyTipChar(const QString& ch)
{
    const QString prefix = m_keyPrefix + ch;
    bool any = false;
    for (const KeyTip& tip : std::as_const(m_keyTips)) {
        if (tip.text.compare(prefix, Qt::CaseInsensitive) == 0) {
            const std::function<void()> activate = tip.activate;
            HideKeyTips();
            activate();
            return;
        }
        any = any || tip.text.startsWith(prefix, Qt::CaseInsensitive);
    }
    if (!any)
        return;  // a letter no tip goes on with: ignored, as a ribbon does
    m_keyPrefix = prefix;
    for (const KeyTip& tip : std::as_const(m_keyTips))
        tip.label->setVisible(tip.text.startsWith(prefix, Qt::CaseInsensitive));
}

bool CRibbonBar::eventFilter(QObject* watched, QEvent* event)
{
    if (m_keyTips.isEmpty())
        return QWidget::eventFilter(watched, event);
    switch (event->type()) {
    case QEvent::ShortcutOverride:
    case QEvent::KeyPress: {
        auto* key = static_cast<QKeyEvent*>(event);
        if (isModifierKey(key->key()))
            break;  // Alt toggles the tips through the key-tip filter
        const QString text = key->text();
        const bool plain = !(key->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier));
        const bool letter = plain && text.size() == 1 && text[0].isLetterOrNumber();
        if (key->key() == Qt::Key_Escape || letter) {
            if (event->type() == QEvent::ShortcutOverride)
                event->accept();  // no shortcut takes the key while tips show
            else if (letter)
                OnKeyTipChar(text);
            else
                HideKeyTips();
            return true;
        }
        if (event->type() == QEvent::KeyPress)
            HideKeyTips();
        break;
    }
    case QEvent::MouseButtonPress:
    case QEvent::NonClientAreaMouseButtonPress:
    case QEvent::ApplicationDeactivate: HideKeyTips(); break;
    case QEvent::WindowDeactivate:
        if (watched == window())
            HideKeyTips();
        break;
    default: break;
    }
    return QWidget::eventFilter(watched, event);
}
