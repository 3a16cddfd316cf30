#include "app/ribbon/RibbonCheckBox.h"

#include "app/ribbon/RibbonPaint.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>

namespace {

constexpr int kBox = 13;

}  // namespace

CRibbonCheckBox::CRibbonCheckBox(int nID, const QString& label, QWidget* parent) : CRibbonElement(nID, label, parent)
{
    setFocusPolicy(Qt::TabFocus);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

void CRibbonCheckBox::OnKeyTip()
{
    Toggle();
}

QSize CRibbonCheckBox::sizeHint() const
{
    const QFontMetrics fm = fontMetrics();
    return QSize(4 + kBox + 5 + fm.horizontalAdvance(ribbon::stripMnemonic(GetLabel())) + 4, ribbon::rowHeight(fm));
}

void CRibbonCheckBox::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    const CRibbonTheme& t = Theme();
    const bool hot = isEnabled() && (m_bHover || hasFocus());
    if (hot)
        ribbon::paintHighlight(p, rect(), t, ribbon::Highlight::Hover);

    const QRectF box(4, (height() - kBox) / 2, kBox, kBox);
    ribbon::fillGradient(p, box, t.controlBack, hot ? t.hoverTop : t.controlBack, hot ? t.hoverBorder : t.controlBorder,
                         1.5);
    if (IsChecked()) {
        QPainterPath tick;
        tick.moveTo(box.left() + 3, box.center().y());
        tick.lineTo(box.left() + 5.5, box.bottom() - 3.5);
        tick.lineTo(box.right() - 3, box.top() + 3);
        p.setRenderHint(QPainter::Antialiasing);
        p.setPen(QPen(isEnabled() ? t.text : t.disabledText, 1.8, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        p.setBrush(Qt::NoBrush);
        p.drawPath(tick);
    }
    p.setPen(isEnabled() ? t.text : t.disabledText);
    const int x = static_cast<int>(box.right()) + 6;
    p.drawText(QRect(x, 0, width() - x, height()), Qt::AlignLeft | Qt::AlignVCenter, ribbon::stripMnemonic(GetLabel()));
}

void CRibbonCheckBox::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()))
        Toggle();
    else
        CRibbonElement::mouseReleaseEvent(event);
}

void CRibbonCheckBox::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Space)
        Toggle();
    else
        CRibbonElement::keyPressEvent(event);
}

void CRibbonCheckBox::focusInEvent(QFocusEvent* event)
{
    update();
    CRibbonElement::focusInEvent(event);
}

void CRibbonCheckBox::focusOutEvent(QFocusEvent* event)
{
    update();
    CRibbonElement::focusOutEvent(event);
}

void CRibbonCheckBox::Toggle()
{
    SetChecked(!IsChecked());
    NotifyCommand(GetID());
}
