#include "app/ribbon/RibbonButtonsGroup.h"

#include "app/ribbon/RibbonElement.h"
#include "app/ribbon/RibbonPaint.h"

#include <QHBoxLayout>
#include <QPainter>

CRibbonButtonsGroup::CRibbonButtonsGroup(QWidget* parent) : QWidget(parent), m_pLayout(new QHBoxLayout(this))
{
    // One pixel for the frame around the row; the members meet on a shared line.
    m_pLayout->setContentsMargins(1, 1, 1, 1);
    m_pLayout->setSpacing(1);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

void CRibbonButtonsGroup::AddButton(CRibbonElement* element)
{
    m_pLayout->addWidget(element);
}

int CRibbonButtonsGroup::GetCount() const
{
    return m_pLayout->count();
}

CRibbonElement* CRibbonButtonsGroup::GetButton(int nIndex) const
{
    QLayoutItem* item = m_pLayout->itemAt(nIndex);
    return item ? qobject_cast<CRibbonElement*>(item->widget()) : nullptr;
}

void CRibbonButtonsGroup::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    const CRibbonTheme& t = ribbon::themeOf(this);
    ribbon::fillGradient(p, rect(), t.controlBack, t.panelBottom, t.controlBorder, 2.5);
    for (int i = 1; i < m_pLayout->count(); ++i)
        if (QWidget* w = m_pLayout->itemAt(i)->widget())
            p.fillRect(QRect(w->x() - 1, 1, 1, height() - 2), t.controlBorder);
}
