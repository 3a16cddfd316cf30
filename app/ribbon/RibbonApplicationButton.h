// The round application button at the left end of the tab row. A click (or
// its key tip) opens the application menu, its main panel.
#pragma once

#include "app/ribbon/RibbonElement.h"

class CRibbonMainPanel;

class CRibbonApplicationButton : public CRibbonElement {
    Q_OBJECT
public:
    // `image` is drawn at `imageSize` in the middle of the button.
    explicit CRibbonApplicationButton(const QIcon& image = {}, const QSize& imageSize = QSize(26, 26),
                                      QWidget* parent = nullptr);

    CRibbonMainPanel* GetMainPanel() const { return m_pMainPanel; }

    void ShowMenu();
    void OnKeyTip() override { ShowMenu(); }
    QAccessible::Role AccessibleRole() const override { return QAccessible::ButtonMenu; }
    QWidget* GetOpenDropDown() const override;
    QPoint KeyTipPos() const override { return rect().center(); }
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    QSize m_imageSize;
    CRibbonMainPanel* m_pMainPanel;
};
