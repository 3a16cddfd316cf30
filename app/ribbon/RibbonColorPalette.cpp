#include "app/ribbon/RibbonColorPalette.h"

#include "app/ribbon/RibbonColorButton.h"
#include "app/ribbon/RibbonPaint.h"

#include <QAccessible>
#include <QHelpEvent>
#include <QKeyEvent>
#include <QMap>
#include <QMouseEvent>
#include <QPainter>
#include <QToolTip>

namespace {

constexpr int kMargin = 4;
constexpr int kGap = 4;  // between colour boxes, and between the rows of a group with gaps

}  // namespace

using Kind = CRibbonColorPalette::Item::Kind;

CRibbonColorPalette::CRibbonColorPalette(CRibbonColorButton* button) : CRibbonPopup(button), m_pButton(button)
{
    setMouseTracking(true);
    setFocusPolicy(Qt::StrongFocus);
    setAccessibleName(button->accessibleName());
}

void CRibbonColorPalette::Rebuild()
{
    const CRibbonColorButton& b = *m_pButton;
    const QFontMetrics fm = fontMetrics();
    const QSize box = b.m_boxSize;
    const int columns = b.m_nColumns;
    const int width = 2 * kMargin + columns * box.width() + (columns - 1) * kGap;
    const int rowHeight = std::max(box.height() + 8, fm.height() + 8);
    m_items.clear();
    m_titles.clear();
    m_nHot = -1;

    int y = kMargin;
    if (!b.m_automaticLabel.isEmpty()) {
        m_items.append({Kind::Automatic, b.m_automaticColor, ribbon::stripMnemonic(b.m_automaticLabel),
                        QRect(kMargin, y, width - 2 * kMargin, rowHeight)});
        y += rowHeight + kGap;
    }
    for (qsizetype g = 0; g < b.m_groups.size(); ++g) {
        const CRibbonColorButton::ColorGroup& group = b.m_groups[g];
        if (!group.title.isEmpty()) {
            m_titles.append({group.title, QRect(1, y, width - 2, fm.height() + 6)});
            y += fm.height() + 6 + kGap;
        }
        const int rowGap = group.bContiguous ? 0 : kGap;
        for (qsizetype i = 0; i < group.colors.size(); ++i) {
            const int col = static_cast<int>(i % columns);
            const int row = static_cast<int>(i / columns);
            const QRect r(kMargin + col * (box.width() + kGap), y + row * (box.height() + rowGap), box.width(),
                          box.height());
            const QColor& c = group.colors[i];
            m_items.append({Kind::Color, c, group.names.value(i, c.name()), r, static_cast<int>(g)});
        }
        const int rows = static_cast<int>((group.colors.size() + columns - 1) / columns);
        y += rows * box.height() + std::max(0, rows - 1) * rowGap + kGap + 2;
    }
    if (!b.m_otherLabel.isEmpty()) {
        m_items.append({Kind::Other, QColor(), b.m_otherToolTip, QRect(kMargin, y, width - 2 * kMargin, rowHeight)});
        y += rowHeight;
    }
    resize(width, y + kMargin);
    update();
}

int CRibbonColorPalette::ItemAt(const QPoint& pos) const
{
    for (qsizetype i = 0; i < m_items.size(); ++i)
        if (m_items[i].rect.contains(pos))
            return static_cast<int>(i);
    return -1;
}

QString CRibbonColorPalette::GetItemName(int nIndex) const
{
    const Item& item = m_items[nIndex];
    return item.kind == Kind::Other ? ribbon::stripMnemonic(m_pButton->m_otherLabel) : item.toolTip;
}

bool CRibbonColorPalette::IsCurrentItem(int nIndex) const
{
    // The first entry of the colour, as the keyboard starts on it.
    const QColor current = m_pButton->GetColor();
    for (qsizetype i = 0; i < m_items.size(); ++i)
        if (m_items[i].kind != Kind::Other && m_items[i].color == current)
            return i == nIndex;
    return false;
}

void CRibbonColorPalette::Choose(int nIndex)
{
    if (nIndex < 0 || nIndex >= m_items.size())
        return;
    const Item item = m_items[nIndex];
    close();
    if (item.kind == Kind::Other)
        m_pButton->ChooseOtherColor();
    else
        m_pButton->ChooseColor(item.color);
}

bool CRibbonColorPalette::event(QEvent* event)
{
    if (event->type() == QEvent::ToolTip) {
        auto* help = static_cast<QHelpEvent*>(event);
        const int i = ItemAt(help->pos());
        if (i >= 0)
            QToolTip::showText(help->globalPos(), m_items[i].toolTip, this, m_items[i].rect);
        else
            QToolTip::hideText();
        return true;
    }
    return CRibbonPopup::event(event);
}

void CRibbonColorPalette::paintEvent(QPaintEvent* event)
{
    CRibbonPopup::paintEvent(event);
    QPainter p(this);
    const CRibbonTheme& t = ribbon::themeOf(this);
    QFont bold = font();
    bold.setBold(true);
    for (const auto& [title, r] : m_titles) {
        p.fillRect(r, t.popupTitleBack);
        p.setFont(bold);
        p.setPen(t.text);
        p.drawText(r.adjusted(6, 0, 0, 0), Qt::AlignLeft | Qt::AlignVCenter, title);
    }
    p.setFont(font());

    QMap<std::pair<int, int>, QRect> columns;  // gapless groups: one outline per column
    for (qsizetype i = 0; i < m_items.size(); ++i) {
        const Item& item = m_items[i];
        if (item.kind != Kind::Color) {
            if (i == m_nHot)
                ribbon::paintHighlight(p, item.rect, t, ribbon::Highlight::Hover, 2);
            else if (item.kind == Kind::Automatic && m_pButton->m_bAutomaticBorder)
                ribbon::fillGradient(p, item.rect, t.popupBack, t.popupBack, t.controlBorder, 2);
            int x = item.rect.left() + 6;
            if (item.kind == Kind::Automatic) {
                const QRect swatch(x, item.rect.center().y() - m_pButton->m_boxSize.height() / 2,
                                   m_pButton->m_boxSize.width(), m_pButton->m_boxSize.height());
                p.fillRect(swatch, item.color);
                p.setPen(t.controlBorder);
                p.drawRect(QRectF(swatch).adjusted(0.5, 0.5, -0.5, -0.5));
                x = swatch.right() + 8;
            }
            p.setPen(t.text);
            const QString label = item.kind == Kind::Automatic ? m_pButton->m_automaticLabel : m_pButton->m_otherLabel;
            p.drawText(QRect(x, item.rect.top(), item.rect.right() - x, item.rect.height()),
                       Qt::AlignLeft | Qt::AlignVCenter, ribbon::stripMnemonic(label));
            continue;
        }
        p.fillRect(item.rect, item.color);
        if (m_pButton->m_groups[item.group].bContiguous) {
            QRect& column = columns[{item.group, item.rect.left()}];
            column = column.united(item.rect);
        } else {
            p.setPen(t.controlBorder);
            p.drawRect(QRectF(item.rect).adjusted(0.5, 0.5, -0.5, -0.5));
        }
    }
    p.setPen(t.controlBorder);
    for (const QRect& column : std::as_const(columns))
        p.drawRect(QRectF(column).adjusted(0.5, 0.5, -0.5, -0.5));

    // The current colour's mark and the hot box's frame go over their neighbours.
    const QColor current = m_pButton->GetColor();
    for (qsizetype i = 0; i < m_items.size(); ++i) {
        const Item& item = m_items[i];
        if (item.kind == Kind::Color && item.color == current) {
            p.setPen(QPen(t.pressedBorder, 2));
            p.drawRect(QRectF(item.rect).adjusted(-1, -1, 1, 1));
            break;
        }
    }
    if (m_nHot >= 0 && m_items[m_nHot].kind == Kind::Color) {
        const QRectF r = m_items[m_nHot].rect;
        p.setPen(t.hoverBorder);
        p.drawRect(r.adjusted(-1.5, -1.5, 1.5, 1.5));
        p.setPen(Qt::white);
        p.drawRect(r.adjusted(0.5, 0.5, -0.5, -0.5));
    }
}

void CRibbonColorPalette::mouseMoveEvent(QMouseEvent* event)
{
    SetHot(ItemAt(event->position().toPoint()));
}

void CRibbonColorPalette::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton)
        Choose(ItemAt(event->position().toPoint()));
}

void CRibbonColorPalette::keyPressEvent(QKeyEvent* event)
{
    const int from = m_nHot >= 0 ? m_nHot : 0;
    switch (event->key()) {
    case Qt::Key_Left: SetHot(m_nHot < 0 ? 0 : Neighbour(from, -1, 0)); break;
    case Qt::Key_Right: SetHot(m_nHot < 0 ? 0 : Neighbour(from, 1, 0)); break;
    case Qt::Key_Up: SetHot(m_nHot < 0 ? 0 : Neighbour(from, 0, -1)); break;
    case Qt::Key_Down: SetHot(m_nHot < 0 ? 0 : Neighbour(from, 0, 1)); break;
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Space: Choose(m_nHot); break;
    default: CRibbonPopup::keyPressEvent(event);
    }
}

void CRibbonColorPalette::showEvent(QShowEvent* event)
{
    CRibbonPopup::showEvent(event);
    // The keyboard starts on the current colour.
    m_nHot = -1;
    const QColor current = m_pButton->GetColor();
    for (qsizetype i = 0; i < m_items.size() && m_nHot < 0; ++i)
        if (m_items[i].kind != Kind::Other && m_items[i].color == current)
            m_nHot = static_cast<int>(i);
    setFocus(Qt::PopupFocusReason);
    QAccessibleEvent start(this, QAccessible::PopupMenuStart);
    QAccessible::updateAccessibility(&start);
    AnnounceHot();
}

void CRibbonColorPalette::hideEvent(QHideEvent* event)
{
    QAccessibleEvent end(this, QAccessible::PopupMenuEnd);
    QAccessible::updateAccessibility(&end);
    CRibbonPopup::hideEvent(event);
}

void CRibbonColorPalette::AnnounceHot()
{
    // A screen reader follows the entry the keys are on.
    if (m_nHot < 0 || !isVisible())
        return;
    QAccessibleEvent focus(this, QAccessible::Focus);
    focus.setChild(m_nHot);
    QAccessible::updateAccessibility(&focus);
}

int CRibbonColorPalette::Neighbour(int from, int dx, int dy) const
{
    // The nearest entry in the direction of the key, preferring ones in line.
    const QPoint c = m_items[from].rect.center();
    int best = from;
    long bestScore = 0;
    for (qsizetype i = 0; i < m_items.size(); ++i) {
        const QPoint d = m_items[i].rect.center() - c;
        const int along = dx ? d.x() * dx : d.y() * dy;
        const int across = std::abs(dx ? d.y() : d.x());
        if (along <= 0)
            continue;
        const long score = along + 4L * across;
        if (best == from || score < bestScore) {
            best = static_cast<int>(i);
            bestScore = score;
        }
    }
    return best;
}

void CRibbonColorPalette::SetHot(int nIndex)
{
    if (nIndex == m_nHot)
        return;
    m_nHot = nIndex;
    update();
    AnnounceHot();
}
