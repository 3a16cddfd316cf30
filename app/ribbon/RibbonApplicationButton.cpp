#include "app/ribbon/RibbonApplicationButton.h"

#include "app/ribbon/RibbonMainPanel.h"
#include "app/ribbon/RibbonPaint.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QRadialGradient>

CRibbonApplicationButton::CRibbonApplicationButton(const QIcon& image, const QSize& imageSize, QWidget* parent)
    : CRibbonElement(0, {}, parent), m_imageSize(imageSize), m_pMainPanel(new CRibbonMainPanel(this))
{
    SetImages(image);
    setFocusPolicy(Qt::TabFocus);
    connect(m_pMainPanel, &CRibbonPopup::closed, this, qOverload<>(&QWidget::update));
}

void CRibbonApplicationButton::ShowMenu()
{
    m_pMainPanel->Open(this);
    update();
}

QSize CRibbonApplicationButton::sizeHint() const
{
    return m_imageSize + QSize(16, 16);
}

void CRibbonApplicationButton::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const CRibbonTheme& t = Theme();
    const bool open = m_pMainPanel->isVisible();
    const bool hot = m_bHover || hasFocus();
    const qreal d = std::min(width(), height()) - 3.0;
    const QRectF circle((width() - d) / 2, (height() - d) / 2, d, d);

    QLinearGradient body(circle.topLeft(), circle.bottomLeft());
    body.setColorAt(0, open ? t.pressedTop : hot ? t.hoverTop : t.appButtonTop);
    body.setColorAt(1, open ? t.pressedBottom : hot ? t.hoverBottom : t.appButtonBottom);
    p.setPen(QPen(open || hot ? t.pressedBorder : t.appButtonBorder, 1));
    p.setBrush(body);
    p.drawEllipse(circle);
    // A soft gloss over the upper half.
    QRadialGradient gloss(circle.center().x(), circle.top() + d * 0.28, d * 0.55);
    gloss.setColorAt(0, QColor(255, 255, 255, 150));
    gloss.setColorAt(1, QColor(255, 255, 255, 0));
    p.setPen(Qt::NoPen);
    p.setBrush(gloss);
    p.drawEllipse(circle.adjusted(d * 0.12, 1.5, -d * 0.12, -d * 0.45));

    const QRectF image(QPointF(width() - m_imageSize.width(), height() - m_imageSize.height()) / 2, m_imageSize);
    ribbon::paintIcon(p, GetSmallImage(), image, isEnabled());
}

void CRibbonApplicationButton::mousePressEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton)
        ShowMenu();
    else
        CRibbonElement::mousePressEvent(event);
}

void CRibbonApplicationButton::keyPressEvent(QKeyEvent* event)
{
    const int key = event->key();
    if (key == Qt::Key_Space || key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Down)
        ShowMenu();
    else
        CRibbonElement::keyPressEvent(event);
}

QWidget* CRibbonApplicationButton::GetOpenDropDown() const
{
    return m_pMainPanel->isVisible() ? m_pMainPanel : nullptr;
}
