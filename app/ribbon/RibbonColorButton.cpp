#include "app/ribbon/RibbonColorButton.h"

#include "app/ribbon/RibbonBar.h"
#include "app/ribbon/RibbonColorPalette.h"
#include "app/ribbon/RibbonPaint.h"

#include <QColorDialog>
#include <QPainter>

CRibbonColorButton::CRibbonColorButton(int nID, const QString& label, const QColor& color, const QIcon& small,
                                       const QIcon& large, QWidget* parent)
    : CRibbonButton(nID, label, small, large, parent), m_color(color)
{
    SetLook(Look::Small);
}

void CRibbonColorButton::SetColor(const QColor& color)
{
    if (color == m_color)
        return;
    m_color = color;
    update();
    if (m_pPalette)
        m_pPalette->update();
}

void CRibbonColorButton::SetSimpleButtonLook(bool bSimple)
{
    m_bSimpleLook = bSimple;
    SetLook(bSimple && !GetLargeImage().isNull() ? Look::Large : Look::Small);
}

void CRibbonColorButton::EnableAutomaticButton(const QString& label, const QColor& color, bool bBorder)
{
    m_automaticLabel = label;
    m_automaticColor = color;
    m_bAutomaticBorder = bBorder;
    ContentChanged();
}

void CRibbonColorButton::EnableOtherButton(const QString& label, const QString& toolTip)
{
    m_otherLabel = label;
    m_otherToolTip = toolTip;
    ContentChanged();
}

void CRibbonColorButton::SetColumns(int nColumns)
{
    m_nColumns = std::max(1, nColumns);
    ContentChanged();
}

void CRibbonColorButton::SetColorBoxSize(const QSize& size)
{
    m_boxSize = size;
    ContentChanged();
}

void CRibbonColorButton::AddColorsGroup(const QString& title, const QList<QColor>& colors, const QStringList& names,
                                        bool bContiguousColumns)
{
    m_groups.append(ColorGroup{title, colors, names, bContiguousColumns});
    ContentChanged();
}

CRibbonColorPalette* CRibbonColorButton::GetPalette()
{
    if (!m_pPalette) {
        m_pPalette = new CRibbonColorPalette(this);
        connect(m_pPalette, &CRibbonPopup::closed, this, [this] { SetDropDownOpen(false); });
        m_pPalette->Rebuild();
    }
    return m_pPalette;
}

void CRibbonColorButton::OpenPalette()
{
    CRibbonColorPalette* palette = GetPalette();
    SetDropDownOpen(true);
    palette->ShowAt(PopupPos(palette->size()));
}

QWidget* CRibbonColorButton::GetOpenDropDown() const
{
    return m_pPalette && m_pPalette->isVisible() ? m_pPalette : nullptr;
}

void CRibbonColorButton::ContentChanged()
{
    if (m_pPalette)
        m_pPalette->Rebuild();
}

void CRibbonColorButton::ChooseColor(const QColor& color)
{
    SetColor(color);
    NotifyCommand(GetID());
    emit colorChosen(color);
}

void CRibbonColorButton::ChooseOtherColor()
{
    QWidget* owner = GetBar() ? GetBar()->window() : window();
    const QColor color = QColorDialog::getColor(m_color, owner, ribbon::stripMnemonic(m_otherLabel));
    if (color.isValid())
        ChooseColor(color);
}

void CRibbonColorButton::DrawImage(QPainter& p, const QRectF& r, const QIcon& icon)
{
    if (icon.isNull()) {
        p.fillRect(r.adjusted(2, 2, -2, -2), m_color);
        return;
    }
    CRibbonButton::DrawImage(p, r, icon);
    // The colour as a bar along the bottom of the image.
    const qreal h = r.height() >= 32 ? 5 : 4;
    const QRectF bar = r.width() >= 32 ? QRectF(r.left() + 4, r.bottom() - h, r.width() - 8, h)
                                       : QRectF(r.left(), r.bottom() - h + 1, r.width(), h);
    p.fillRect(bar, isEnabled() ? m_color : Theme().disabledText);
    if (m_color.lightness() > 225) {  // a pale colour needs an outline to be seen
        p.save();
        p.setPen(Theme().controlBorder);
        p.drawRect(bar.adjusted(0.5, 0.5, -0.5, -0.5));
        p.restore();
    }
}
