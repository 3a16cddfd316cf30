// One group of the tab-group area: a row of tabs with the list button at its
// right end, a band in the current tab's colour, and the pages under them, of
// which only the current tab's is shown. The area drives it; a group keeps
// no state beyond its tabs.
#pragma once

#include <QAbstractButton>
#include <QTabBar>
#include <QWidget>

class CTabGroupStyle;
class QVBoxLayout;

class CTabGroupBar : public QTabBar {
    Q_OBJECT
public:
    explicit CTabGroupBar(QWidget* parent);

    // The row of the active window: its current tab is outlined in the active colour.
    bool IsActiveRow() const { return m_bActiveRow; }
    void SetActiveRow(bool active);

signals:
    void tabMenuRequested(int index, QPoint globalPos);
    // The current tab, pulled out of the row, is being dragged / was released.
    void tabDragged(QPoint globalPos);
    void tabDropped(QPoint globalPos);

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    bool m_bActiveRow = false;
    int m_nAnnouncedCurrent = -1;
    bool m_bPressedOnTab = false;
    bool m_bPulledOut = false;
};

// The small flat buttons of a row: the close cross and the list arrow.
class CTabRowButton : public QAbstractButton {
public:
    enum Glyph { Close, List };
    CTabRowButton(Glyph glyph, const CTabGroupStyle* style, QWidget* parent);
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    Glyph m_glyph;
    const CTabGroupStyle* m_pStyle;
};

class CTabGroup : public QWidget {
public:
    explicit CTabGroup(CTabGroupStyle* style);

    CTabGroupBar* Bar() const { return m_pBar; }
    QAbstractButton* CloseButton() const { return m_pClose; }
    QAbstractButton* ListButton() const { return m_pList; }
    // The parent of the pages; it takes the focus when a page that does not want it is clicked.
    QWidget* Pages() const { return m_pPages; }
    // The height of the tab row and the band under it.
    int RowHeight() const;

    int Count() const { return m_pBar->count(); }
    QWidget* WindowAt(int index) const;
    int IndexOf(const QObject* window) const;
    QWidget* CurrentWindow() const { return WindowAt(m_pBar->currentIndex()); }
    QString Title(int index) const;
    void SetTitle(int index, const QString& title);

    // Makes `window` a page (hidden until its tab is current) and inserts its tab at `index` (-1: last).
    void InsertWindow(int index, QWidget* window, const QString& title, const QString& toolTip);
    // Removes a tab; its page stays a child of the group until the caller moves it (it may be dying).
    void RemoveTab(int index);
    void SetCurrent(int index);
    // Shows the current tab's page only and puts the close button on the current tab.
    void ShowCurrent();

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    CTabGroupStyle* m_pStyle;
    CTabGroupBar* m_pBar;
    CTabRowButton* m_pClose;
    CTabRowButton* m_pList;
    QWidget* m_pPages;
    QVBoxLayout* m_pPageLayout;
};
