// The filter pane of a text window: the lines of its file that hold a match
// of a query (or, inverted, those that do not), listed in file order by a
// CLineFilter worker while the window stays live, and an overview strip that
// marks where they lie in the file.
//
// The list is virtual: it keeps nothing per line but the worker's offsets
// (8 bytes a line) and paints only the rows on screen, each read from the
// text window's mapping by its offset with the window's font, colours and
// letter case, the match in inverse colours. Enter or a double-click on a
// line shows it in the text window with its match highlighted; the pane
// keeps its place. The worker's news arrives as a queued call, at most one
// waiting at a time; a timer follows the file: growth is listed on, a file
// that shrank or was replaced is listed afresh.
//
// On a merged window the pane lists every file's lines (a worker for each
// file, on that file's own window), file after file in the order of the
// files, each row carrying its file's letter; Enter goes to that row of the
// merged window.
#pragma once

#include "engine/LineFilter.h"
#include "textwnd/qt/FileWndWidget.h"

#include <QAbstractScrollArea>
#include <QWidget>

#include <atomic>
#include <memory>
#include <string>
#include <vector>

class QLabel;
class QStackedWidget;
class QTimer;
class QToolButton;
class CFilterPane;
class CMarksList;

// The rows of the pane: one listed line each, the current one framed.
class CFilterList : public QAbstractScrollArea {
    Q_OBJECT
public:
    CFilterList(CFilterPane* pane, CFileWndWidget* textWindow);

    std::int64_t Current() const { return m_current; }
    // Makes entry i the current one and scrolls the list to it when it is not on screen.
    void SetCurrent(std::int64_t i);
    // The list's length changed.
    void UpdateRange();
    int VisibleRows() const;

protected:
    void paintEvent(QPaintEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    void PaintRow(IFilePainter& painter, int row, int file, std::int64_t at);
    std::int64_t EntryAt(int y) const;

    CFilterPane* m_pPane;
    CFileWndWidget* m_pTextWindow;
    CQtFontCache m_fonts;
    std::int64_t m_current = 0;
    std::int64_t m_longest = 0;  // display columns of the longest line painted, for the horizontal bar
};

// Marks beside a text window's vertical bar: where the listed lines lie, scaled in bytes as the bar is.
class COverviewStrip : public QWidget {
    Q_OBJECT
public:
    COverviewStrip(CFilterPane* pane, CFileWndWidget* textWindow, QWidget* parent);
    QSize sizeHint() const override { return {10, 100}; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

private:
    // The data's bytes that pixel row y stands for.
    bool RowBytes(int y, std::int64_t& from, std::int64_t& to) const;

    CFilterPane* m_pPane;
    CFileWndWidget* m_pTextWindow;
};

class CFilterPane : public QWidget {
    Q_OBJECT
public:
    // `textWindow` outlives the pane (the pane is destroyed first, which joins the worker).
    CFilterPane(CFileWndWidget* textWindow, QWidget* parent);
    ~CFilterPane() override;

    // Cancels what runs, shows the pane and lists the text window's lines for
    // `query`; false, with the reason in `error`, for a query that cannot be used.
    bool Start(const linefilter::FilterQuery& query, std::string* error);
    // Cancels the scan; the list stays as far as it got.
    void Cancel();
    // Hides the pane (and the strip) and stops the worker.
    void Close();

    const linefilter::CLineFilter& Filter() const { return *m_pFilter; }
    QString StatusText() const;
    CFilterList* List() const { return m_pList; }
    COverviewStrip* Strip() const { return m_pStrip; }
    // The window's marked lines in place of the listed ones (the "Marks" toggle of the pane's header), or back.
    void ShowMarks(bool on);
    bool MarksShown() const;
    CMarksList* MarksList() const { return m_pMarks; }
    QToolButton* MarksButton() const { return m_pMarksButton; }

    // Shows the listed line i in the text window, its match highlighted.
    void ShowEntry(std::int64_t i);
    // The match in the line that starts at `at` (of merged file `file`, or of the window's own file when -1):
    // [begin, end) in bytes; false when the line holds none.
    bool MatchIn(TextPos at, TextPos& begin, TextPos& end, int file = -1);

    // The listed lines: of every file of a merged window, one file after another.
    std::int64_t Count() const;
    // Whether a worker still scans.
    bool Running() const;
    struct Entry {
        int file = -1;  // the merged window's file (-1: the window's own)
        std::int64_t at = -1;
    };
    // Entry i ({-1, -1} past the last).
    Entry EntryAt(std::int64_t i) const;
    // The window the line of `file` is read with.
    CFileWnd& WindowOf(int file) const;

signals:
    // The pane was hidden (close box, Escape).
    void closed();
    // The list's context menu: the window's filter stack over every window of its group.
    void filterAllWindowsAsked();

private:
    void OnNews();
    // Follows the text window's file: growth appended, anything else rebuilt.
    void FollowFile();

    CFileWndWidget* m_pTextWindow;
    std::unique_ptr<linefilter::CLineFilter> m_pFilter;
    // A merged window's files: a worker and a matcher each, and the data's end each was told.
    struct Merged {
        std::unique_ptr<linefilter::CLineFilter> filter;
        std::unique_ptr<linefilter::ILineMatcher> matcher;
        TextPos knownEnd = 0;
    };
    std::vector<Merged> m_merged;
    std::unique_ptr<linefilter::ILineMatcher> m_pMatcher;  // the query, not inverted: the match of a row
    linefilter::FilterQuery m_query;
    QLabel* m_pStatus;
    CFilterList* m_pList;
    CMarksList* m_pMarks;
    QToolButton* m_pMarksButton;
    QStackedWidget* m_pPages;  // the listed lines or the marks
    COverviewStrip* m_pStrip;
    QTimer* m_pFollow;
    TextPos m_knownEnd = 0;
    platform::FileId m_fileId{};
    bool m_bCancelled = false;
    std::atomic<bool> m_bNewsPosted{false};
};
