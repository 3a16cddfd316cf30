#include "app/ribbon/RibbonPopup.h"

#include "app/ribbon/RibbonPaint.h"

#include <QGuiApplication>
#include <QPainter>
#include <QScreen>

#include <algorithm>

CRibbonPopup::CRibbonPopup(QWidget* owner) : QFrame(owner, Qt::Popup)
{
    setContentsMargins(1, 1, 1, 1);
}

void CRibbonPopup::ShowContent(QWidget* content, const QPoint& globalPos)
{
    m_pContent = content;
    m_pHome = content->parentWidget();
    m_homeGeometry = content->geometry();
    m_bWasHidden = content->isHidden();
    const QSize size = content->size();
    content->setParent(this);
    content->setGeometry(QRect(QPoint(1, 1), size));
    content->show();
    resize(size + QSize(2, 2));
    ShowAt(globalPos);
}

void CRibbonPopup::ShowAt(const QPoint& globalPos)
{
    QPoint pos = globalPos;
    if (const QScreen* s = QGuiApplication::screenAt(globalPos)) {
        const QRect avail = s->availableGeometry();
        pos.setX(std::clamp(pos.x(), avail.left(), std::max(avail.left(), avail.right() + 1 - width())));
        pos.setY(std::clamp(pos.y(), avail.top(), std::max(avail.top(), avail.bottom() + 1 - height())));
    }
    move(pos);
    show();
}

void CRibbonPopup::hideEvent(QHideEvent* event)
{
    QFrame::hideEvent(event);
    if (m_pContent) {
        QWidget* content = m_pContent;
        m_pContent = nullptr;
        content->setParent(m_pHome);
        content->setGeometry(m_homeGeometry);
        content->setVisible(!m_bWasHidden);
    }
    emit closed();
}

void CRibbonPopup::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    const CRibbonTheme& t = ribbon::themeOf(this);
    p.fillRect(rect(), t.popupBack);
    p.setPen(t.popupBorder);
    p.drawRect(rect().adjusted(0, 0, -1, -1));
}
