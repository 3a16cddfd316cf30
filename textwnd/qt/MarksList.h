// The marked lines of a text window, as a list in its filter pane: one row a
// mark, in file order, with the line's number (once the window's line index
// has counted that far; "?" until then), the mark's note and the line's text.
//
// Return or a double-click shows the row's line as the window's top row, the
// way Next Mark does, and gives the keys back to the text; Delete takes the
// mark away. The list is cheap to make (marks are few: the user sets each),
// so it is made again whenever the marks change; it learns of a change by the
// mark list's version, looked at while the list shows, since every window on
// the file may change the list it shares and the window may be handed
// another list (a file replaced, kept marks loaded).
#pragma once

#include "engine/TextPos.h"

#include <QTreeWidget>

#include <cstdint>
#include <memory>

class CFileWndWidget;
class CMarkList;
class QTimer;

class CMarksList : public QTreeWidget {
    Q_OBJECT
public:
    enum Column { LineColumn, NoteColumn, TextColumn };

    // `textWindow` outlives the list.
    CMarksList(CFileWndWidget* textWindow, QWidget* parent);

    // Lists the marks again when they (or the numbers known of their lines) changed since the last time.
    void Refresh();
    // The mark of the current row; kNoPos without one.
    TextPos CurrentMark() const;
    // Shows the current row's line as the window's top row and gives the text the focus.
    void ShowCurrent();
    // Takes the current row's mark away; the next row (or the last) becomes current.
    void RemoveCurrent();

signals:
    // A row's line was shown in the text window.
    void markShown();
    // Escape: the pane is to close.
    void closeAsked();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void Rebuild();

    CFileWndWidget* m_pTextWindow;
    QTimer* m_pWatch;
    // What the rows were made from: the list, its version, the end of the text and whether a number was unknown.
    std::shared_ptr<CMarkList> m_pListed;
    std::uint64_t m_nListedVersion = 0;
    TextPos m_listedEnd = kNoPos;
    bool m_bUncounted = false;
};
