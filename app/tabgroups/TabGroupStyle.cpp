#include "app/tabgroups/TabGroupStyle.h"

#include "app/tabgroups/TabGroup.h"

#include <QPainter>
#include <QPainterPath>
#include <QStyleOptionTab>

#include <algorithm>

namespace {

constexpr int kTextPad = 11;     // between a card's edge and its title: room for a mark's dot and a gap
constexpr int kButtonGap = 4;    // right of the close button
constexpr int kVerticalPad = 4;  // above and below the title
constexpr qreal kCorner = 3.5;   // radius of a card's upper corners

bool IsCurrent(const QStyleOptionTab& tab)
{
    return tab.state & QStyle::State_Selected;
}

// The top of a tab's card; the current card stands higher than the others.
int CardTop(const QStyleOptionTab& tab)
{
    return tab.rect.top() + (IsCurrent(tab) ? 0 : CTabGroupStyle::kLift);
}

QRect TextRect(const QStyleOptionTab& tab)
{
    const QRect& r = tab.rect;
    const int right = tab.rightButtonSize.isEmpty() ? kTextPad : kButtonGap + tab.rightButtonSize.width() + kTextPad;
    return QRect(QPoint(r.left() + CTabGroupStyle::Slant(r.height()) + kTextPad, CardTop(tab)),
                 QPoint(r.right() - right, r.bottom()));
}

}  // namespace

QColor CTabGroupStyle::TabColor(int index) const
{
    if (m_theme.tabColors.isEmpty() || index < 0)
        return m_theme.rowBackground;
    return m_theme.tabColors.at(index % m_theme.tabColors.size());
}

void CTabGroupStyle::DrawTab(const QStyleOptionTab& tab, QPainter* p, const QWidget* widget) const
{
    const auto* bar = dynamic_cast<const CTabGroupBar*>(widget);
    const bool current = IsCurrent(tab);
    const bool active = current && bar && bar->IsActiveRow();

    // Pixel edges on half coordinates keep the 1-pixel outline sharp.
    const QRectF r = QRectF(tab.rect).adjusted(0.5, 0.5, 0.5, 0.5);
    const qreal slant = Slant(tab.rect.height());
    const qreal top = CardTop(tab) + 0.5;
    const qreal bottom = r.bottom() + 1;  // runs on into the band under the row
    const qreal left = r.left();
    const qreal right = r.right() + slant - 1;
    const qreal run = slant / (bottom - top);  // horizontal step of the slant per pixel of height

    QPainterPath card;
    card.moveTo(left, bottom);
    card.lineTo(left + slant - run * kCorner, top + kCorner);
    card.quadTo(left + slant, top, left + slant + kCorner, top);
    card.lineTo(right - kCorner, top);
    card.quadTo(right, top, right, top + kCorner);
    card.lineTo(right, bottom);

    QColor fill = TabColor(tab.tabIndex);
    if (!current && (tab.state & State_MouseOver))
        fill = fill.lighter(106);
    p->save();
    p->setRenderHint(QPainter::Antialiasing);
    p->fillPath(card, fill);
    if (active) {  // a strip along the top marks the active window's tab
        QPainterPath strip;
        strip.addRect(QRectF(left - 1, top - 1, right - left + 2, kCorner));
        p->fillPath(card.intersected(strip), m_theme.activeOutline);
    }
    p->setPen(QPen(active ? m_theme.activeOutline : m_theme.tabOutline, 1.0));
    p->drawPath(card);
    p->restore();

    p->setPen(m_theme.tabText);
    p->drawText(TextRect(tab), Qt::AlignCenter | Qt::TextShowMnemonic | Qt::TextSingleLine, tab.text);

    // A window's mark: a dot with a light ring in the padding left of the title, where no tab colour reaches.
    const auto* group = bar ? dynamic_cast<const CTabGroup*>(bar->parentWidget()) : nullptr;
    const QColor mark = CTabGroupArea::TabMark(group ? group->WindowAt(tab.tabIndex) : nullptr);
    if (mark.isValid()) {
        // A diameter of 6 and its ring end 3 pixels short of the title: the dot never touches the label.
        const qreal d = std::min<qreal>(kTextPad - 5, (bottom - top) / 2.5);
        const QPointF c(left + slant + 4.5, (top + bottom) / 2);
        p->save();
        p->setRenderHint(QPainter::Antialiasing);
        p->setPen(QPen(Qt::white, 1.0));
        p->setBrush(mark);
        p->drawEllipse(c, d / 2, d / 2);
        p->restore();
    }
}

void CTabGroupStyle::drawControl(ControlElement element, const QStyleOption* option, QPainter* painter,
                                 const QWidget* widget) const
{
    if (element == CE_TabBarTab) {
        if (const auto* tab = qstyleoption_cast<const QStyleOptionTab*>(option)) {
            DrawTab(*tab, painter, widget);
            return;
        }
    }
    QProxyStyle::drawControl(element, option, painter, widget);
}

QSize CTabGroupStyle::sizeFromContents(ContentsType type, const QStyleOption* option, const QSize& size,
                                       const QWidget* widget) const
{
    if (type == CT_TabBarTab) {
        const int height = size.height() + kLift;
        return QSize(size.width() + Slant(height), height);
    }
    return QProxyStyle::sizeFromContents(type, option, size, widget);
}

QRect CTabGroupStyle::subElementRect(SubElement element, const QStyleOption* option, const QWidget* widget) const
{
    if (const auto* tab = qstyleoption_cast<const QStyleOptionTab*>(option)) {
        if (element == SE_TabBarTabText)
            return TextRect(*tab);
        if (element == SE_TabBarTabRightButton) {
            const QSize button = tab->rightButtonSize;
            const int top = CardTop(*tab);
            return QRect(QPoint(tab->rect.right() + 1 - kButtonGap - button.width(),
                                top + (tab->rect.bottom() + 1 - top - button.height()) / 2),
                         button);
        }
        if (element == SE_TabBarTabLeftButton)
            return QRect();
    }
    return QProxyStyle::subElementRect(element, option, widget);
}

int CTabGroupStyle::pixelMetric(PixelMetric metric, const QStyleOption* option, const QWidget* widget) const
{
    switch (metric) {
    case PM_TabBarTabHSpace: return 2 * kTextPad;
    case PM_TabBarTabVSpace: return 2 * kVerticalPad;
    default: return QProxyStyle::pixelMetric(metric, option, widget);
    }
}

int CTabGroupStyle::styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                              QStyleHintReturn* returnData) const
{
    if (hint == SH_TabBar_Alignment)
        return Qt::AlignLeft;  // the cards are laid from the left, each tucked under the one before
    return QProxyStyle::styleHint(hint, option, widget, returnData);
}
