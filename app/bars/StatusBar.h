// The main frame's status bar: three text panes that describe the active
// window's file, a Refresh button and a link to the maker's website, all in
// the left area, in this order, with separators between the groups.
#pragma once

#include "view/StatusIndicators.h"

#include <QColor>
#include <QStatusBar>

class QLabel;
class QToolButton;

// The colours of the bar in the program's own look. Left invalid (the
// default), the bar keeps the desktop's look.
struct CStatusBarTheme {
    QColor top;  // the background, a gradient from top to bottom
    QColor bottom;
    QColor border;        // the line along the upper edge
    QColor text;          // the panes and the Refresh button
    QColor disabledText;  // the Refresh button while it cannot refresh
    QColor link;
    QColor separatorDark;  // the two lines of each sunken separator
    QColor separatorLight;
};

class CStatusBar : public QStatusBar {
    Q_OBJECT
public:
    explicit CStatusBar(QWidget* parent = nullptr);

    // The element with the given command id (cmd::PaneCurrentChar,
    // cmd::PaneTotalChars, cmd::PaneEncoding, cmd::Refresh, cmd::StatusLink), or null.
    QWidget* Element(int id) const;
    // The elements and separators in their order from the left.
    QList<QWidget*> Items() const;

    // Sets the text of a text pane (ignored for other ids). A pane's width is
    // fitted to its text only when the text's length differs from the last one
    // set; otherwise only the text changes, so scrolling does not re-lay the bar out.
    void SetPaneText(int id, const QString& text);
    QString PaneText(int id) const;
    // A text pane's tooltip (its description is kept for screen readers).
    void SetPaneToolTip(int id, const QString& tip);

    // Hands the link's address to the desktop's handler for web addresses.
    bool OpenLink() const;

    void SetTheme(const CStatusBarTheme& theme);

signals:
    // A click on the Refresh pane (cmd::Refresh) or on the link (cmd::StatusLink).
    void commandTriggered(int id);

protected:
    void changeEvent(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    QLabel* AddTextPane(int id, const char* label);
    void AddSeparator();
    QLabel* TextPane(int id) const;
    void FitPane(QLabel* pane);
    void UpdateLinkText();

    // The elements live in one container added as a permanent widget: the
    // status bar hides its normal widgets while it shows a temporary message
    // (a status tip), and the panes must stay visible whatever the frame's
    // actions carry.
    QWidget* m_pLeftArea;
    QList<QWidget*> m_items;
    QLabel* m_pCurrentChar = nullptr;
    QLabel* m_pTotalChars = nullptr;
    QLabel* m_pEncoding = nullptr;
    QToolButton* m_pRefresh = nullptr;
    QLabel* m_pLink = nullptr;
    QString m_strLinkAddress;
    CPaneTextLengths m_lengths;
    CStatusBarTheme m_theme;
};
