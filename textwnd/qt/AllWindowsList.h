// The lines that one filter stack shows in each of several text windows, as
// one list: a header row per window (its file's name and count), the shown
// lines under it in file order, listed as each window's scan finds them.
//
// Each window gets a scan of its own (CFileWnd::StartDetachedShownSet), not
// the window's: the list applies one stack to windows that keep their own
// stacks, and a scan that reads through its own descriptor may outlive its
// window, so a window closed meanwhile only takes its rows away. Rows are
// listed only where the scan is final, so a record at a growing end is never
// listed and then taken back; at most kMaxRows a window, since the list is
// for a look across files and each row costs an item. A timer follows each
// file: growth is scanned on, a file cut or replaced is listed afresh.
//
// Return or a double-click on a line asks for that window on that line
// (lineChosen); Escape asks for the list to close.
#pragma once

#include "engine/FilterStack.h"
#include "textwnd/FileWnd.h"

#include <QPointer>
#include <QTreeWidget>

#include <atomic>
#include <cstdint>
#include <memory>
#include <vector>

class CFileWndWidget;
class QTimer;

class CAllWindowsList : public QTreeWidget {
    Q_OBJECT
public:
    static constexpr int kMaxRows = 10000;

    explicit CAllWindowsList(QWidget* parent = nullptr);
    ~CAllWindowsList() override;  // joins every scan

    struct Source {
        CFileWndWidget* window;
        QString title;  // what its header row calls it
    };
    // Lists, afresh, what `stack` shows in each of `windows`.
    void Start(const std::vector<Source>& windows, const shownset::FilterStack& stack);
    const shownset::FilterStack& Stack() const { return m_stack; }
    // Whether a scan still runs (tests, the caption).
    bool Running() const;
    // The window and line start of a row; null for a header row.
    CFileWndWidget* WindowOf(const QTreeWidgetItem* row) const;
    TextPos LineOf(const QTreeWidgetItem* row) const;
    // The header row of a window; null when it has none (closed, or never listed).
    QTreeWidgetItem* HeaderOf(const CFileWndWidget* window) const;

signals:
    void lineChosen(CFileWndWidget* window, TextPos line);
    void closeAsked();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

private:
    struct Section {
        QPointer<CFileWndWidget> window;
        QString title;
        std::uint64_t id = 0;  // names the section to the news its scan posts
        QTreeWidgetItem* header = nullptr;
        CFileWnd::DetachedShownSet scan;
        TextPos next = kNoPos;  // where listing goes on: the end of the last line listed
        int rows = 0;
        std::shared_ptr<std::atomic<bool>> newsPosted = std::make_shared<std::atomic<bool>>(false);
    };
    void StartSection(Section& section);
    void OnNews(std::uint64_t id);
    void ListMore(Section& section);
    void UpdateHeader(Section& section);
    void FollowFiles();
    void DropClosed();
    void ChooseCurrent();

    shownset::FilterStack m_stack;
    std::vector<std::unique_ptr<Section>> m_sections;
    std::uint64_t m_nextId = 1;
    QTimer* m_pFollow;
};
