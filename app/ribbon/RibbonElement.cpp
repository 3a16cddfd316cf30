#include "app/ribbon/RibbonElement.h"

#include "app/ribbon/RibbonAccessible.h"
#include "app/ribbon/RibbonBar.h"
#include "app/ribbon/RibbonButtonsGroup.h"
#include "app/ribbon/RibbonPaint.h"

#include <QEvent>

CRibbonElement::CRibbonElement(int nID, const QString& label, QWidget* parent)
    : QWidget(parent), m_nID(nID), m_label(label)
{
    setAttribute(Qt::WA_Hover);
    ribbon::installAccessibility();
    UpdateAccessibility();
    ribbon::structureChanged();
}

CRibbonElement::~CRibbonElement()
{
    ribbon::structureChanged();
}

void CRibbonElement::SetID(int nID)
{
    m_nID = nID;
    ribbon::structureChanged();
}

void CRibbonElement::SetLabel(const QString& label)
{
    if (label == m_label)
        return;
    m_label = label;
    UpdateAccessibility();
    updateGeometry();
    update();
}

void CRibbonElement::SetImages(const QIcon& small, const QIcon& large)
{
    m_smallImage = small;
    m_largeImage = large;
    updateGeometry();
    update();
}

void CRibbonElement::SetToolTipText(const QString& title, const QString& description)
{
    m_toolTipTitle = title;
    m_description = description;
    SetToolTipNote(m_toolTipNote);
}

void CRibbonElement::SetToolTipNote(const QString& note)
{
    m_toolTipNote = note;
    QString tip = ribbon::richToolTip(m_toolTipTitle, m_description);
    if (!note.isEmpty())
        tip += QStringLiteral("<p style='white-space:pre'><i>%1</i></p>").arg(note.toHtmlEscaped());
    setToolTip(tip);
    UpdateAccessibility();
}

void CRibbonElement::SetKeys(const QString& keyTip, const QString& menuKeyTip)
{
    m_keyTip = keyTip;
    m_menuKeyTip = menuKeyTip;
}

void CRibbonElement::SetCommandEnabled(bool bEnabled)
{
    if (bEnabled == m_bEnabled)
        return;
    m_bEnabled = bEnabled;
    setEnabled(bEnabled);
}

void CRibbonElement::SetChecked(bool bChecked)
{
    if (bChecked == m_bChecked)
        return;
    m_bChecked = bChecked;
    update();
}

void CRibbonElement::SetRadio(bool bRadio)
{
    if (bRadio == m_bRadio)
        return;
    m_bRadio = bRadio;
    update();
}

void CRibbonElement::OnKeyTip()
{
    NotifyCommand(m_nID);
}

QPoint CRibbonElement::KeyTipPos() const
{
    return QPoint(width() / 2, height());
}

CRibbonBar* CRibbonElement::GetBar() const
{
    for (QWidget* w = parentWidget(); w; w = w->parentWidget())
        if (auto* bar = qobject_cast<CRibbonBar*>(w))
            return bar;
    return nullptr;
}

void CRibbonElement::NotifyCommand(int nID)
{
    if (nID == 0)
        return;
    if (CRibbonBar* bar = GetBar())
        bar->NotifyCommand(nID);
}

const CRibbonTheme& CRibbonElement::Theme() const
{
    return ribbon::themeOf(this);
}

bool CRibbonElement::IsInGroup() const
{
    return qobject_cast<CRibbonButtonsGroup*>(parentWidget()) != nullptr;
}

void CRibbonElement::enterEvent(QEnterEvent* event)
{
    m_bHover = true;
    update();
    QWidget::enterEvent(event);
}

void CRibbonElement::leaveEvent(QEvent* event)
{
    m_bHover = false;
    update();
    QWidget::leaveEvent(event);
}

void CRibbonElement::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::ParentChange)
        ribbon::structureChanged();
    QWidget::changeEvent(event);
}

void CRibbonElement::UpdateAccessibility()
{
    const QString name = ribbon::stripMnemonic(m_label);
    setAccessibleName(name.isEmpty() ? m_toolTipTitle : name);
    setAccessibleDescription(m_description);
}
