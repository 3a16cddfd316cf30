// The timeline band above a text window whose file has a log format: the file's records over time, one bar
// per pixel column, stacked by level, read from the window's record summaries (engine/Timeline.h) and never
// from the file, so that a repaint costs the band's width, not the log's size.
//
// Decisions worth knowing:
// - Bars grow with the square root of their count, on one scale over the whole band, so that a quiet hour
//   still shows beside a burst; the largest count is written in the top left corner.
// - Severe levels sit at the bottom (fatal, error, warn, info, debug, trace), records without a level on top
//   in a neutral colour, in the colours the built-in Log Levels set gives on the window's page.
// - What the window shows is framed and its marks are triangles on the top edge; their times are read off
//   the summaries' block spans (CFileWnd::SummarisedTimeAt), so painting reads nothing of the file.
// - The filter stack's time range is bright and the rest dimmed; columns the pass has not reached are hatched.
// - The band says what it is to accessibility: its name, and its span and totals per level.
// - A click, a drag and a double-click are told to the band's owner as signals: the view acts on them by the
//   paths its commands take (Go to Time, the stack's time range and Show Only Filtered).
#pragma once

#include "engine/Timeline.h"

#include <QColor>
#include <QWidget>

#include <array>
#include <cstdint>
#include <vector>

class CFileWndWidget;
class QPainter;

class CTimelineBand : public QWidget {
    Q_OBJECT
public:
    static constexpr int kHeight = 56;     // logical pixels: the screen's scale makes them device pixels
    static constexpr int kDragPixels = 3;  // a press that moves less than this is a click

    // `textWindow` outlives the band.
    CTimelineBand(CFileWndWidget* textWindow, QWidget* parent);
    ~CTimelineBand() override;

    // The Timeline setting, for every band of the process: each shows itself while it is on and its window
    // has summaries.
    static void SetShownEverywhere(bool on);
    static bool ShownEverywhere();
    // Shows or hides the band as the setting and the window's summaries say; repaints it.
    void Sync();

    // The columns for the band's width, built again when the summaries found more.
    const timeline::CTimeline& Columns();
    // The colour a level's records are painted in (indexed by logformat::Level).
    QColor LevelColor(int level) const;
    // The tooltip of column x: its times and each level's count.
    QString ColumnToolTip(int x);
    // The accessible description: span and totals.
    QString Description();

    // The bars of `tl`, `h` pixels high, stacked in `colours` (by logformat::Level); unreached columns hatched
    // in `neutral`. The band's paint, apart from what it draws over them.
    static void PaintBars(QPainter& p, const timeline::CTimeline& tl, const std::array<QColor, 7>& colours,
                          const QColor& neutral, int h);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

signals:
    // A click: the first time of the column clicked.
    void timeClicked(qint64 micros);
    // A drag: the range of time it covers, both ends inclusive.
    void rangeSelected(qint64 from, qint64 to);
    // A double-click: the range goes.
    void rangeCleared();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    bool event(QEvent* event) override;

private:
    std::array<QColor, 7> LevelColors() const;

    CFileWndWidget* m_pTextWindow;
    timeline::CTimeline m_timeline;
    bool m_bStale = true;
    int m_nBuiltWidth = -1;
    std::int64_t m_nBuiltEnd = -1;
    const void* m_pBuiltFrom = nullptr;
    std::int64_t m_nBuiltReach = -1;
    std::size_t m_nBuiltBlocks = 0;
    std::uint64_t m_nBuiltDrops = 0;
    // A copy of the summaries' blocks: the first m_nFinal are final, taken once; the rest again at each build.
    std::vector<logformat::BlockSummary> m_blocks;
    std::size_t m_nFinal = 0;
    int m_nPressX = -1;  // the column a press started at (-1: none)
    int m_nDragX = -1;   // where the drag is now (-1: not dragging)
};
