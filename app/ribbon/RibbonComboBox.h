// Ribbon combo boxes, with or without an edit field, at a given pixel width.
// The text a box shows and the entry it has selected are kept apart: code can
// show any text (a size box shows "13" while entry "14" is selected), and
// selecting an entry, by the user or by code, also shows that entry's text.
// Typed text never becomes an entry by itself; Return issues the command.
#pragma once

#include "app/ribbon/RibbonElement.h"

class QComboBox;
class CRibbonComboControl;

class CRibbonComboBox : public CRibbonElement {
    Q_OBJECT
public:
    CRibbonComboBox(int nID, bool bHasEditBox, int nWidth, const QString& label = {}, const QIcon& small = {},
                    QWidget* parent = nullptr);

    bool HasEditBox() const;

    int AddItem(const QString& text);
    void InsertItem(int nIndex, const QString& text);
    bool DeleteItem(int nIndex);  // deleting the selected entry leaves none selected
    void RemoveAllItems();
    int GetCount() const;
    QString GetItem(int nIndex) const;
    int FindItem(const QString& text, Qt::CaseSensitivity cs = Qt::CaseSensitive) const;

    int GetCurSel() const;
    bool SelectItem(int nIndex);  // -1 selects nothing and keeps the text

    QString GetText() const;
    void SetText(const QString& text);

    // The edit field is made wide enough to show `text` whole (a placeholder the box may show), however wide
    // the box was asked to be.
    void ReserveTextWidth(const QString& text);

    // The Qt combo box inside (for focus checks and keyboard tests).
    QComboBox* GetComboBox() const;

    void OnKeyTip() override;
    QPoint KeyTipPos() const override;
    QAccessible::Role AccessibleRole() const override { return QAccessible::Grouping; }
    void OnThemeChanged() override;
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void showEvent(QShowEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    friend class CRibbonComboControl;
    int LabelWidth() const;
    void ShowStart();
    // Runs a change of the entries from code: no signals, and the shown text
    // and an empty selection stay as they were.
    template <class Change>
    void Modify(Change&& change);

    CRibbonComboControl* m_pCombo;
    int m_nWidth;
    QString m_reserved;
};

// The font name box: the installed fixed-pitch font families, each drawn in
// its own face. It shows any face name set by code, also one that is no entry
// (a name fontconfig knows only as an alias), as it was given.
class CRibbonFontComboBox : public CRibbonComboBox {
    Q_OBJECT
public:
    CRibbonFontComboBox(int nID, int nWidth, bool bHasEditBox = true, QWidget* parent = nullptr);

    // Whether an entry of this name exists (letter case aside).
    bool HasFont(const QString& faceName) const;
    // Shows `faceName` and selects its entry, or none when there is none.
    void SetFaceName(const QString& faceName);
    // The face name of the selected entry, empty when none is selected.
    QString GetSelectedFaceName() const;
};
