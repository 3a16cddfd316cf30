#include "app/shell/RibbonElementPorts.h"

#include "app/ribbon/RibbonColorButton.h"
#include "app/ribbon/RibbonComboBox.h"
#include "app/ribbon_content/ColorTables.h"
#include "view/qt/QtFont.h"

#include <QApplication>
#include <QComboBox>
#include <QLineEdit>

namespace {

QString ToQString(const std::u16string& text)
{
    return QString::fromUtf16(text.data(), static_cast<qsizetype>(text.size()));
}

std::u16string FromQString(const QString& text)
{
    return std::u16string(reinterpret_cast<const char16_t*>(text.utf16()), static_cast<std::size_t>(text.size()));
}

}  // namespace

// --- Combo box ---------------------------------------------------------------------------------------------------

std::u16string CRibbonComboPort::GetText()
{
    return m_pBox ? FromQString(m_pBox->GetText()) : std::u16string();
}

void CRibbonComboPort::SetText(const std::u16string& text)
{
    if (m_pBox)
        m_pBox->SetText(ToQString(text));
}

int CRibbonComboPort::GetCount()
{
    return m_pBox ? m_pBox->GetCount() : 0;
}

int CRibbonComboPort::GetCurSel()
{
    return m_pBox ? m_pBox->GetCurSel() : -1;
}

std::u16string CRibbonComboPort::GetItem(int index)
{
    return m_pBox ? FromQString(m_pBox->GetItem(index)) : std::u16string();
}

void CRibbonComboPort::SelectItem(int index)
{
    if (m_pBox)
        m_pBox->SelectItem(index);
}

void CRibbonComboPort::DeleteItem(int index)
{
    if (m_pBox)
        m_pBox->DeleteItem(index);
}

int CRibbonComboPort::InsertItem(int index, const std::u16string& text)
{
    if (!m_pBox)
        return -1;
    if (index < 0 || index > m_pBox->GetCount())
        index = m_pBox->GetCount();
    m_pBox->InsertItem(index, ToQString(text));
    return index;
}

void CRibbonComboPort::SetElementText(const std::u16string& text)
{
    if (m_pBox)
        m_pBox->SetLabel(ToQString(text));
}

bool CRibbonComboPort::HasFocus()
{
    const QWidget* focus = QApplication::focusWidget();
    return m_pBox && focus && (focus == m_pBox || m_pBox->isAncestorOf(focus));
}

void CRibbonComboPort::FocusAndSelectAll()
{
    if (!m_pBox)
        return;
    QComboBox* combo = m_pBox->GetComboBox();
    combo->setFocus(Qt::ShortcutFocusReason);
    if (QLineEdit* edit = combo->lineEdit())
        edit->selectAll();
}

void CRibbonComboPort::SetPlaceholder(const std::u16string& text)
{
    if (m_pBox && m_pBox->GetComboBox()->lineEdit())
        m_pBox->GetComboBox()->lineEdit()->setPlaceholderText(ToQString(text));
}

void CRibbonComboPort::SetProblem(const std::string& text)
{
    if (!m_pBox || (text.empty() && !m_bProblem))
        return;
    if (!m_bProblem)
        m_usualDescription = m_pBox->GetDescription();
    m_bProblem = !text.empty();
    m_pBox->SetToolTipText(m_pBox->GetToolTipTitle(), m_bProblem ? QString::fromStdString(text) : m_usualDescription);
}

// --- Font name box -----------------------------------------------------------------------------------------------

CRibbonFontPort::CRibbonFontPort(CRibbonFontComboBox* box) : m_combo(box) {}

CRibbonFontComboBox* CRibbonFontPort::Element() const
{
    return static_cast<CRibbonFontComboBox*>(m_combo.Element());
}

bool CRibbonFontPort::HasFace(const std::u16string& name)
{
    return Element() && Element()->HasFont(ToQString(name));
}

bool CRibbonFontPort::GetSelectedFace(std::u16string& name, std::uint8_t& charSet, std::uint8_t& pitchAndFamily)
{
    const QString face = Element() ? Element()->GetSelectedFaceName() : QString();
    if (face.isEmpty())
        return false;
    name = FromQString(face);
    charSet = 0;
    pitchAndFamily = kFixedPitchModern;
    return true;
}

void CRibbonFontPort::ShowFace(const std::u16string& name, std::uint8_t)
{
    // The box lists one character set, so the name alone picks the entry.
    if (Element())
        Element()->SetFaceName(ToQString(name));
}

// --- Colour picker -----------------------------------------------------------------------------------------------

platform::COLORREF CRibbonColorPort::GetColor()
{
    return m_pButton ? RefFromColor(m_pButton->GetColor()) : 0;
}

void CRibbonColorPort::SetColor(platform::COLORREF color)
{
    if (m_pButton)
        m_pButton->SetColor(ColorFromRef(color));
}
