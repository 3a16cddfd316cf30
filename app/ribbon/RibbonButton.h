// A ribbon button: large (32 image over its label, spanning the panel's
// height), small (16 image with an optional label, one row) or a menu entry
// (32 image beside its label, as in the application menu). With a drop-down
// menu it is either a split button (the main part runs the command, the arrow
// opens the menu) or, without a default command, a menu button.
#pragma once

#include "app/ribbon/RibbonElement.h"

class QAction;
class QMenu;

class CRibbonButton : public CRibbonElement {
    Q_OBJECT
public:
    enum class Look { Small, Large, MenuEntry };

    // Large when a large image is given, small otherwise.
    CRibbonButton(int nID, const QString& label, const QIcon& small = {}, const QIcon& large = {},
                  QWidget* parent = nullptr);

    Look GetLook() const { return m_look; }
    void SetLook(Look look);

    // The drop-down menu, made on first use; its actions carry their command
    // ids as data (AddMenuItem does that) and issue them when chosen.
    QMenu* GetMenu() const { return m_pMenu; }
    QMenu* Menu();
    void SetMenu(QMenu* menu);  // takes ownership
    QAction* AddMenuItem(int nID, const QString& text, const QIcon& icon = {});

    // With a menu: whether pressing the main part runs the button's own
    // command (a split button) or only opens the menu (the default).
    void SetDefaultCommand(bool bDefault);
    bool HasDefaultCommand() const { return m_bDefaultCommand; }
    // Opens the menu with its right edge at the button's right edge.
    void SetMenuRightAligned(bool bRight) { m_bMenuRight = bRight; }

    void OnKeyTip() override;
    void OnMenuKeyTip() override;
    QPoint KeyTipPos() const override;
    QAccessible::Role AccessibleRole() const override;
    QWidget* GetOpenDropDown() const override;
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

signals:
    // A user's press of the main part (also for buttons without a command id).
    void clicked();

protected:
    // Whether the button has a drop-down part at all.
    virtual bool HasDropDown() const;
    virtual void DropDown();
    virtual void ClickMain();
    // Small buttons with an image in a buttons group show only the image.
    virtual bool ShowsLabel() const;
    // Draws the button's image into `r`; the colour button adds its colour.
    virtual void DrawImage(QPainter& p, const QRectF& r, const QIcon& icon);

    bool IsSplit() const { return HasDropDown() && m_bDefaultCommand; }
    void enterEvent(QEnterEvent* event) override;
    // The part that opens the drop-down; empty when the whole button does.
    QRect ArrowRect() const;
    // Places a pop-up of `size` under the button (right-aligned if asked).
    QPoint PopupPos(const QSize& size) const;
    void SetDropDownOpen(bool bOpen);

    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QStringList LargeLabelLines() const;
    QColor TextColor() const;

    Look m_look;
    QMenu* m_pMenu = nullptr;
    bool m_bDefaultCommand = false;
    bool m_bMenuRight = false;
    bool m_bPressed = false;
    bool m_bDropDownOpen = false;
    bool m_bHoverArrow = false;
};
