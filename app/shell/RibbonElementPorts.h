// The ribbon's elements as the view sees them: thin adapters that let a
// CRibbonComboBox, a CRibbonFontComboBox and a CRibbonColorButton stand for
// the view's element interfaces. Everything done through them is code
// filling a control, so none of it issues a command.
#pragma once

#include "view/ViewHost.h"

#include <QPointer>

class CRibbonColorButton;
class CRibbonComboBox;
class CRibbonFontComboBox;

class CRibbonComboPort : public IRibbonComboElement {
public:
    explicit CRibbonComboPort(CRibbonComboBox* box) : m_pBox(box) {}
    CRibbonComboBox* Element() const { return m_pBox; }

    std::u16string GetText() override;
    void SetText(const std::u16string& text) override;
    int GetCount() override;
    int GetCurSel() override;
    std::u16string GetItem(int index) override;
    void SelectItem(int index) override;
    void DeleteItem(int index) override;
    int InsertItem(int index, const std::u16string& text) override;
    void SetElementText(const std::u16string& text) override;
    bool HasFocus() override;
    void FocusAndSelectAll() override;
    void SetPlaceholder(const std::u16string& text) override;
    void SetProblem(const std::string& text) override;

private:
    QPointer<CRibbonComboBox> m_pBox;
    bool m_bProblem = false;
    QString m_usualDescription;  // the tooltip's description while a problem stands in its place
};

// The font name box lists fixed-pitch faces only, so each entry is character
// set 0 (the default) with the pitch and family FIXED_PITCH | FF_MODERN.
class CRibbonFontPort : public IRibbonFontElement {
public:
    explicit CRibbonFontPort(CRibbonFontComboBox* box);
    CRibbonFontComboBox* Element() const;

    std::u16string GetText() override { return m_combo.GetText(); }
    void SetText(const std::u16string& text) override { m_combo.SetText(text); }
    int GetCount() override { return m_combo.GetCount(); }
    int GetCurSel() override { return m_combo.GetCurSel(); }
    std::u16string GetItem(int index) override { return m_combo.GetItem(index); }
    void SelectItem(int index) override { m_combo.SelectItem(index); }
    void DeleteItem(int index) override { m_combo.DeleteItem(index); }
    int InsertItem(int index, const std::u16string& text) override { return m_combo.InsertItem(index, text); }
    void SetElementText(const std::u16string& text) override { m_combo.SetElementText(text); }
    bool HasFocus() override { return m_combo.HasFocus(); }
    void FocusAndSelectAll() override { m_combo.FocusAndSelectAll(); }

    bool HasFace(const std::u16string& name) override;
    bool GetSelectedFace(std::u16string& name, std::uint8_t& charSet, std::uint8_t& pitchAndFamily) override;
    void ShowFace(const std::u16string& name, std::uint8_t charSet) override;

private:
    CRibbonComboPort m_combo;
};

class CRibbonColorPort : public IRibbonColorElement {
public:
    explicit CRibbonColorPort(CRibbonColorButton* button) : m_pButton(button) {}
    CRibbonColorButton* Element() const { return m_pButton; }

    platform::COLORREF GetColor() override;
    void SetColor(platform::COLORREF color) override;

private:
    QPointer<CRibbonColorButton> m_pButton;
};
