// A ribbon check box: a box and its label on one row. A click turns the box
// over at once and issues the command; the owner's update pass has the last word.
#pragma once

#include "app/ribbon/RibbonElement.h"

class CRibbonCheckBox : public CRibbonElement {
    Q_OBJECT
public:
    CRibbonCheckBox(int nID, const QString& label, QWidget* parent = nullptr);

    void OnKeyTip() override;
    // One of a set of which one is marked (the update pass marks it): a radio button for assistive tools.
    void SetRadioItem(bool bRadioItem) { m_bRadioItem = bRadioItem; }
    QAccessible::Role AccessibleRole() const override
    {
        return m_bRadioItem ? QAccessible::RadioButton : QAccessible::CheckBox;
    }
    QPoint KeyTipPos() const override { return QPoint(7, height() - 2); }
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    void Toggle();

    bool m_bRadioItem = false;
};
