#include "app/tabgroups/TabGroup.h"

#include "app/tabgroups/TabGroupAccessible.h"
#include "app/tabgroups/TabGroupStyle.h"

#include <QAccessible>
#include <QBoxLayout>
#include <QContextMenuEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QSignalBlocker>

namespace {

constexpr int kBand = 4;  // height of the band between the row and the pages

// Tab texts and menu entries would take a single "&" for a mnemonic.
QString Escaped(QString title)
{
    return title.replace(QLatin1Char('&'), QLatin1String("&&"));
}

}  // namespace

// --- CTabGroupBar --------------------------------------------------------------------------------------------------

CTabGroupBar::CTabGroupBar(QWidget* parent) : QTabBar(parent)
{
    setMovable(true);
    setExpanding(false);
    setDrawBase(false);
    setUsesScrollButtons(true);
    setElideMode(Qt::ElideNone);  // a crowded row scrolls; every title stays whole
    setSelectionBehaviorOnRemove(QTabBar::SelectRightTab);
    setFocusPolicy(Qt::NoFocus);  // tabs are chosen by the mouse; the keyboard stays with the pages
    tabgroups::installAccessibility();
    // A screen reader hears which tab lost and which took the selection.
    connect(this, &QTabBar::currentChanged, this, [this](int index) {
        for (int tab : {m_nAnnouncedCurrent, index}) {
            if (tab < 0 || tab >= count())
                continue;
            QAccessible::State changed;
            changed.selected = true;
            QAccessibleStateChangeEvent event(this, changed);
            event.setChild(tab);
            QAccessible::updateAccessibility(&event);
        }
        m_nAnnouncedCurrent = index;
    });
}

void CTabGroupBar::SetActiveRow(bool active)
{
    if (m_bActiveRow != active) {
        m_bActiveRow = active;
        update();
        if (currentIndex() >= 0) {
            QAccessible::State changed;
            changed.active = true;
            QAccessibleStateChangeEvent event(this, changed);
            event.setChild(currentIndex());
            QAccessible::updateAccessibility(&event);
        }
    }
}

void CTabGroupBar::mousePressEvent(QMouseEvent* event)
{
    m_bPressedOnTab = event->button() == Qt::LeftButton && tabAt(event->position().toPoint()) >= 0;
    m_bPulledOut = false;
    QTabBar::mousePressEvent(event);  // a pressed tab becomes the current one
}

void CTabGroupBar::mouseMoveEvent(QMouseEvent* event)
{
    if (m_bPressedOnTab && (event->buttons() & Qt::LeftButton)) {
        const int margin = height() / 2;
        if (!m_bPulledOut && !rect().adjusted(-margin, -margin, margin, margin).contains(event->position().toPoint())) {
            // The row ends its own reordering first; the tab waits in its row until it is dropped somewhere.
            QMouseEvent release(QEvent::MouseButtonRelease, event->position(), event->globalPosition(), Qt::LeftButton,
                                Qt::NoButton, event->modifiers());
            QTabBar::mouseReleaseEvent(&release);
            m_bPulledOut = true;
            setCursor(Qt::DragMoveCursor);
        }
        if (m_bPulledOut) {
            emit tabDragged(event->globalPosition().toPoint());
            return;
        }
    }
    QTabBar::mouseMoveEvent(event);
}

void CTabGroupBar::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton) {
        QTabBar::mouseReleaseEvent(event);
        return;
    }
    m_bPressedOnTab = false;
    if (!m_bPulledOut) {
        QTabBar::mouseReleaseEvent(event);
        return;
    }
    m_bPulledOut = false;
    unsetCursor();
    emit tabDropped(event->globalPosition().toPoint());  // may remove this row: nothing may follow
}

void CTabGroupBar::contextMenuEvent(QContextMenuEvent* event)
{
    const int index = tabAt(event->pos());
    if (index >= 0)
        emit tabMenuRequested(index, event->globalPos());
}

// --- CTabRowButton -------------------------------------------------------------------------------------------------

CTabRowButton::CTabRowButton(Glyph glyph, const CTabGroupStyle* style, QWidget* parent)
    : QAbstractButton(parent), m_glyph(glyph), m_pStyle(style)
{
    setFocusPolicy(Qt::NoFocus);  // a click on a button must not take the focus from the page
    setAttribute(Qt::WA_Hover);   // repaint on entering and leaving
    setAccessibleName(glyph == Close ? QStringLiteral("Close") : QStringLiteral("Windows"));
}

QSize CTabRowButton::sizeHint() const
{
    const int side = fontMetrics().height() * 4 / 5;
    return m_glyph == Close ? QSize(side, side) : QSize(side + 4, side + 4);
}

void CTabRowButton::paintEvent(QPaintEvent*)
{
    const CTabGroupTheme& theme = m_pStyle->Theme();
    const QColor ink = m_glyph == Close ? theme.tabText : theme.rowText;
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF box = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
    if (isDown() || underMouse()) {
        QColor shade = ink;
        shade.setAlphaF(isDown() ? 0.28f : 0.15f);
        p.setPen(Qt::NoPen);
        p.setBrush(shade);
        if (m_glyph == Close)
            p.drawEllipse(box);
        else
            p.drawRoundedRect(box, 3, 3);
    }
    const QPointF c = box.center();
    const qreal k = box.height() / 5;
    if (m_glyph == Close) {
        p.setPen(QPen(ink, 1.3, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(c + QPointF(-k, -k), c + QPointF(k, k));
        p.drawLine(c + QPointF(-k, k), c + QPointF(k, -k));
    } else {
        p.setPen(Qt::NoPen);
        p.setBrush(ink);
        p.drawPolygon(
            QPolygonF{c + QPointF(-1.2 * k, -0.5 * k), c + QPointF(1.2 * k, -0.5 * k), c + QPointF(0, 0.8 * k)});
    }
}

// --- CTabGroup -----------------------------------------------------------------------------------------------------

CTabGroup::CTabGroup(CTabGroupStyle* style)
    : m_pStyle(style),
      m_pBar(new CTabGroupBar(this)),
      m_pClose(new CTabRowButton(CTabRowButton::Close, style, m_pBar)),
      m_pList(new CTabRowButton(CTabRowButton::List, style, this)),
      m_pPages(new QWidget(this)),
      m_pPageLayout(new QVBoxLayout(m_pPages))
{
    m_pBar->setStyle(style);
    m_pClose->hide();
    m_pPages->setFocusPolicy(Qt::ClickFocus);
    m_pPageLayout->setContentsMargins(0, 0, 0, 0);

    auto* row = new QHBoxLayout;
    row->setContentsMargins(4, 3, 3, 0);
    row->setSpacing(2);
    row->addWidget(m_pBar, 1, Qt::AlignBottom);
    row->addWidget(m_pList, 0, Qt::AlignVCenter);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addLayout(row);
    layout->addSpacing(kBand);
    layout->addWidget(m_pPages, 1);

    // The band takes the colour of the current tab's position.
    connect(m_pBar, &QTabBar::tabMoved, this, [this] { update(); });
}

int CTabGroup::RowHeight() const
{
    return m_pPages->geometry().top();
}

QWidget* CTabGroup::WindowAt(int index) const
{
    if (index < 0 || index >= Count())
        return nullptr;
    return static_cast<QWidget*>(reinterpret_cast<QObject*>(m_pBar->tabData(index).value<quintptr>()));
}

int CTabGroup::IndexOf(const QObject* window) const
{
    // By address only: `window` may be in the middle of its destruction.
    for (int i = 0; i < Count(); ++i)
        if (m_pBar->tabData(i).value<quintptr>() == reinterpret_cast<quintptr>(window))
            return i;
    return -1;
}

QString CTabGroup::Title(int index) const
{
    return m_pBar->tabText(index).replace(QLatin1String("&&"), QLatin1String("&"));
}

void CTabGroup::SetTitle(int index, const QString& title)
{
    m_pBar->setTabText(index, Escaped(title));
}

void CTabGroup::InsertWindow(int index, QWidget* window, const QString& title, const QString& toolTip)
{
    window->hide();
    m_pPageLayout->addWidget(window);
    {
        const QSignalBlocker quiet(m_pBar);  // a first tab becomes current before its window is attached
        index = m_pBar->insertTab(index, Escaped(title));
        m_pBar->setTabData(index, QVariant::fromValue(reinterpret_cast<quintptr>(static_cast<QObject*>(window))));
        m_pBar->setTabToolTip(index, toolTip);
    }
    ShowCurrent();
}

void CTabGroup::RemoveTab(int index)
{
    if (m_pBar->tabButton(index, QTabBar::RightSide) == m_pClose)
        m_pBar->setTabButton(index, QTabBar::RightSide, nullptr);  // the row deletes the buttons of its tabs
    m_pBar->removeTab(index);
    ShowCurrent();
}

void CTabGroup::SetCurrent(int index)
{
    m_pBar->setCurrentIndex(index);
    ShowCurrent();
}

void CTabGroup::ShowCurrent()
{
    const int current = m_pBar->currentIndex();
    if (QWidget* page = WindowAt(current))
        page->show();  // before the others hide: the focus has somewhere near to go
    for (int i = 0; i < Count(); ++i) {
        if (i == current)
            continue;
        WindowAt(i)->hide();
        if (m_pBar->tabButton(i, QTabBar::RightSide) == m_pClose)
            m_pBar->setTabButton(i, QTabBar::RightSide, nullptr);
    }
    if (current >= 0 && m_pBar->tabButton(current, QTabBar::RightSide) != m_pClose)
        m_pBar->setTabButton(current, QTabBar::RightSide, m_pClose);
    m_pClose->setVisible(current >= 0);
    m_pPageLayout->activate();  // a page hidden until now gets its size before anything paints it
    update();
}

void CTabGroup::paintEvent(QPaintEvent*)
{
    const CTabGroupTheme& theme = m_pStyle->Theme();
    QPainter p(this);
    const int bandTop = m_pBar->geometry().bottom() + 1;
    p.fillRect(0, 0, width(), bandTop, theme.rowBackground);
    const int current = m_pBar->currentIndex();
    p.fillRect(0, bandTop, width(), kBand, current >= 0 ? m_pStyle->TabColor(current) : theme.rowBackground);

    // The band's upper edge leaves a gap where the current tab opens into it.
    int gapLeft = width(), gapRight = width();
    if (current >= 0) {
        const QRect tab = m_pBar->tabRect(current).translated(m_pBar->pos());
        gapLeft = tab.left();
        gapRight = tab.right() + CTabGroupStyle::Slant(tab.height());
    }
    p.setPen(m_pBar->IsActiveRow() ? theme.activeOutline : theme.tabOutline);
    p.drawLine(0, bandTop, gapLeft, bandTop);
    p.drawLine(gapRight, bandTop, width() - 1, bandTop);
    p.drawLine(0, bandTop + kBand - 1, width() - 1, bandTop + kBand - 1);
}
