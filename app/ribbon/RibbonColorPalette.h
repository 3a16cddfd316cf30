// The drop-down palette of a colour button: one widget that draws its
// entries (automatic, group titles, colour boxes, more colours) and lets the
// mouse or the arrow keys pick one. Built from its button's content.
#pragma once

#include "app/ribbon/RibbonPopup.h"

class CRibbonColorButton;

class CRibbonColorPalette : public CRibbonPopup {
    Q_OBJECT
public:
    struct Item {
        enum class Kind { Automatic, Color, Other };
        Kind kind;
        QColor color;
        QString toolTip;
        QRect rect;
        int group = -1;  // the colour group of a colour box
    };

    explicit CRibbonColorPalette(CRibbonColorButton* button);

    // Lays the entries out from the button's current content.
    void Rebuild();

    int GetItemCount() const { return static_cast<int>(m_items.size()); }
    const Item& GetItem(int nIndex) const { return m_items[nIndex]; }
    // What an entry is called: the colour's name, or the entry's label.
    QString GetItemName(int nIndex) const;
    // Whether the entry holds the button's colour.
    bool IsCurrentItem(int nIndex) const;
    int ItemAt(const QPoint& pos) const;
    // The entry the mouse or the keyboard is on, -1 for none.
    int GetHotItem() const { return m_nHot; }
    // Chooses an entry as a click does.
    void Choose(int nIndex);

protected:
    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    int Neighbour(int from, int dx, int dy) const;
    void SetHot(int nIndex);
    void AnnounceHot();

    CRibbonColorButton* m_pButton;
    QList<Item> m_items;
    QList<std::pair<QString, QRect>> m_titles;
    int m_nHot = -1;
};
