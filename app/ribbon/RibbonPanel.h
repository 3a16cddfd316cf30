// A panel of a category: its elements left to right over its title, an
// optional launcher in the title's corner, and a collapsed form (the panel's
// icon and title as one button) that opens the elements as a pop-up when the
// window is too narrow for them.
//
// Large elements take the panel's height; small ones stack in columns of up
// to three rows; two or more buttons groups in a row share two rows, as a
// toolbar would. A separator ends a column and draws a line.
#pragma once

#include "app/ribbon/RibbonButton.h"

class CRibbonPanelBody;
class CRibbonPopup;

// The small corner button of a panel's title row.
class CRibbonLaunchButton : public CRibbonButton {
    Q_OBJECT
public:
    CRibbonLaunchButton(int nID, const QIcon& icon, QWidget* parent = nullptr);
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
};

class CRibbonPanel : public QWidget {
    Q_OBJECT
public:
    explicit CRibbonPanel(const QString& title, const QIcon& icon = {}, QWidget* parent = nullptr);

    QString GetTitle() const { return m_title; }
    QIcon GetIcon() const { return m_icon; }

    // An element or a buttons group; the panel takes ownership.
    void Add(QWidget* element);
    void AddSeparator();
    int GetCount() const;
    QWidget* GetElement(int nIndex) const;

    // The launcher with its own command id (and tooltip and key tip, set on it).
    CRibbonLaunchButton* EnableLaunchButton(int nID, const QIcon& icon = {});
    CRibbonLaunchButton* GetLaunchButton() const { return m_pLauncher; }

    QString GetKeyTip() const { return m_keyTip; }
    void SetKeys(const QString& keyTip) { m_keyTip = keyTip; }

    bool IsCollapsed() const { return m_bCollapsed; }
    // Shows the elements of a collapsed panel as a pop-up under it.
    void OpenPopup();
    // The pop-up of a collapsed panel while it is open, else null.
    QWidget* GetOpenPopup() const;
    // The key tip: opens a collapsed panel, else focuses its first element.
    void OnKeyTip();
    QPoint KeyTipPos() const;

    // For the category's layout.
    int ExpandedWidth() const;
    int CollapsedWidth() const;
    void SetCollapsed(bool bCollapsed);
    QSize sizeHint() const override;

protected:
    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    friend class CRibbonPanelBody;
    QIcon CollapsedIcon() const;
    QString m_title;
    QIcon m_icon;
    QString m_keyTip;
    CRibbonPanelBody* m_pBody;
    CRibbonLaunchButton* m_pLauncher = nullptr;
    CRibbonPopup* m_pPopup = nullptr;
    bool m_bCollapsed = false;
    bool m_bHover = false;
};
