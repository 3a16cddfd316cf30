// The Qt home of a text window: a scroll area that owns a CFileWnd, stands
// for its window system (the port) and paints it with QPainter.
#pragma once

#include "textwnd/FileWnd.h"
#include "textwnd/FileWndPort.h"

#include <QAbstractScrollArea>
#include <QElapsedTimer>
#include <QFont>
#include <QGlyphRun>
#include <QHash>
#include <QPointer>
#include <QRawFont>
#include <QRegion>

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

class QPainter;
class QPaintDevice;
class QScrollBar;
class QTimer;

// A LOGFONTW realised as a Qt font, with the integer metrics the line model
// works with. Built once per description and reused while it stays the same.
class CQtFontCache {
public:
    struct Entry {
        platform::LOGFONTW logFont{};
        QFont font;
        QRawFont rawFont;   // the primary face: glyphs placed by hand on the column grid
        int cellWidth = 1;  // whole pixels per column
        int height = 1;     // ascent + descent, whole pixels
        int ascent = 0;
        int descent = 0;
        int underlinePos = 1;
        int strikeOutPos = 1;
        int lineWidth = 1;
        // Advances of the characters that other faces draw, met so far.
        mutable QHash<char32_t, qreal> fallbackAdvance;
        // Marks that other faces draw, met so far (an empty run: no face has it).
        mutable QHash<char32_t, QGlyphRun> fallbackMark;
    };

    // The entry for `lf`, measured on `device` (null: the default screen).
    const Entry& Get(const platform::LOGFONTW& lf, const QPaintDevice* device = nullptr);

    static QFont FontFromLogFont(const platform::LOGFONTW& lf, const QPaintDevice* device = nullptr);

private:
    static void HoldTallGlyphs(Entry& e);
    std::optional<Entry> m_entry;
};

// IFilePainter over a QPainter: colours are COLORREFs, every text call fills
// its opaque rectangle and then draws its characters one column apart.
class CQtFilePainter : public IFilePainter {
public:
    // `area` is what is being repainted (RectVisible tests against it);
    // `charWidth` is the window's column width, the grid the text is placed on.
    CQtFilePainter(QPainter& painter, const QRegion& area, CQtFontCache& fonts, int charWidth,
                   const QPaintDevice* device = nullptr);

    bool RectVisible(const WRect& rc) override;
    void FillSolidRect(const WRect& rc, platform::COLORREF color) override;
    void SelectFont(const platform::LOGFONTW& font) override;
    void TextOutNarrow(int x, int yBottom, const WRect& opaque, const std::uint8_t* text, std::size_t length,
                       platform::COLORREF textColor, platform::COLORREF backColor) override;
    void TextOutWide(int x, int yBottom, const WRect& opaque, const char16_t* text, std::size_t length,
                     platform::COLORREF textColor, platform::COLORREF backColor) override;
    void TextOutCells(int x, int yBottom, const WRect& opaque, const char16_t* text, std::size_t length,
                      platform::COLORREF textColor, platform::COLORREF backColor) override;

private:
    void DrawFallback(int cellX, int baseline, const QString& text, int cells);
    const QGlyphRun& FallbackMark(char32_t mark);
    bool PlaceCluster(int x, int baseline, qreal cellX, const char16_t* text, std::size_t length, quint32 baseGlyph,
                      int& kept);
    void DrawRun(int x, int yBottom, const WRect& opaque, const char16_t* text, std::size_t length,
                 platform::COLORREF textColor, platform::COLORREF backColor, bool cells);

    QPainter& m_painter;
    QRegion m_area;
    CQtFontCache& m_fonts;
    const CQtFontCache::Entry* m_font = nullptr;
    int m_charWidth;
    const QPaintDevice* m_device;
    std::u16string m_buffer;
    QVector<quint32> m_glyphs;
    QVector<QPointF> m_positions;
};

// A modal message box in the window system's manner: `type` holds the
// platform::kMb... buttons and icon; returns the platform::kId... of the
// button pressed (closing the box counts as Cancel, or OK when that is the
// only button).
int ShowQtMessageBox(QWidget* parent, const std::string& text, const std::string& caption, unsigned type);

class CLineGutter;

class CFileWndWidget : public QAbstractScrollArea, public IFileWndPort {
    Q_OBJECT
public:
    explicit CFileWndWidget(QWidget* parent = nullptr);
    ~CFileWndWidget() override;

    CFileWnd& FileWnd() { return m_wnd; }
    // Shows `file` (kept alive by the caller for the widget's whole life).
    bool LoadFile(CMemoryMappedFile* file, std::int32_t requestedEncoding = EncodingAuto);

    // The line-number gutter at the left of every text window, on or off for
    // the whole process; a window takes a change at its next paint.
    static void SetLineNumbers(bool on) { s_bLineNumbers = on; }
    static bool LineNumbers() { return s_bLineNumbers; }
    // The gutter's width in pixels (0 while it is off) and what it shows on
    // row `row`: the number, "…" while not counted, nothing for a row
    // without a line of its own. The gutter is also shown while the window
    // has marks: a dot in its mark column on each marked row. The column is
    // kept whenever the numbers are on, so the first mark moves no text.
    int GutterWidth() const { return m_nGutterWidth; }
    QString GutterText(int row) const;
    int MarkColumnWidth();
    // Whether row `row` shows a mark's dot, and the dot's tooltip there (the mark's note; empty: none).
    bool RowMarked(int row) const;
    QString MarkToolTip(int row) const;
    // The colour of a mark's dot (and its place on the overview strip) on a background of `palette`'s Window
    // colour: apart from the filter's red and readable in every look.
    static QColor MarkColor(const QPalette& palette);

    // The point of the text area that "this line" means (IViewHost::PointerInText): where the context menu was
    // opened while it is open (SetMenuPoint), else the pointer while it is over the text.
    std::optional<QPoint> PointerPoint() const;
    void SetMenuPoint(std::optional<QPoint> point) { m_menuPoint = point; }
    // A narrow strip (the filter's overview) between the text and the
    // vertical bar, as tall as the text: it lines up with the bar's scale and
    // leaves the horizontal bar alone. The widget takes it as a child and
    // makes room while it is shown; whoever made it may delete it.
    void SetSideStrip(QWidget* strip);

    // Message boxes go through this when set (tests answer them without a dialog).
    std::function<int(const std::string& text, const std::string& caption, unsigned type)> m_messageBoxHook;

    // --- IFileWndPort ---------------------------------------------------------------
    WRect GetClientRect() override;
    void MeasureText(const platform::LOGFONTW& font, const char16_t* text, int length, int* cx, int* cy) override;
    int GetDpiY() override;
    void SetScrollInfo(int bar, unsigned mask, std::int64_t min, std::int64_t max, std::int64_t page, std::int64_t pos,
                       bool redraw) override;
    std::int64_t GetVScrollTrackPos() override;
    void InvalidateAll() override;
    void ScrollWindow(int dx, int dy) override;
    int ShowMessageBox(const std::string& text, const std::string& caption, unsigned type) override;
    bool OpenClipboard() override;
    void EmptyClipboard() override;
    void SetClipboardData(unsigned format, std::vector<std::uint8_t> block) override;
    bool CloseClipboard() override;
    void SetPrimarySelection(unsigned format, std::vector<std::uint8_t> block) override;
    std::pair<platform::COLORREF, platform::COLORREF> SelectionColors() override;
    void SetCapture() override { m_bCapture = true; }
    void ReleaseCapture() override { m_bCapture = false; }
    bool HasCapture() override { return m_bCapture; }
    void SummariesNews() override { emit summariesNews(); }

    // Bar values <-> bytes of the vertical bar (exact up to INT_MAX bytes, scaled above).
    int VBarValueOf(std::int64_t bytes) const;
    std::int64_t VBarBytesOf(int value) const;

signals:
    // The window's record summaries were made, dropped or found more.
    void summariesNews();
    // The text area was painted (its top or its rows may have moved).
    void textPainted();

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;
    bool viewportEvent(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    friend class CLineGutter;
    struct BarInfo {
        std::int64_t min = 0, max = 0, page = 0, pos = 0;
    };
    void ApplyBar(int bar);
    void OnVBarAction(int action);
    void OnHBarAction(int action);
    void HandleWheel(int deltaX, int deltaY);
    // While the left button drags a selection: the caret follows the pointer, and the text scrolls under a
    // pointer above or below it, a line at every tick of the timer.
    void DragSelectionTo(const QPoint& pos);
    void OnSelectionScrollTick();
    // After each paint of the text: the numbers of its rows, and a new width
    // (applied after the paint) when they need one.
    void UpdateGutter();
    void LayoutGutter();
    void PaintGutter(QPainter& p);

    CFileWnd m_wnd{this};
    CQtFontCache m_fonts;
    BarInfo m_vert, m_horz;
    bool m_bSettingBars = false;
    bool m_bCapture = false;
    bool m_bSelectPressed = false;  // the left button went down on the text and may drag a selection
    bool m_bSelectDragging = false;
    QPoint m_selectPress;    // where it went down
    QPoint m_selectPointer;  // where the pointer is while dragging
    QTimer* m_pSelectScroll = nullptr;
    QElapsedTimer m_lastDoubleClick;  // a press soon after a double-click is a triple-click
    QPoint m_doubleClickAt;
    int m_nWheelY = 0;  // parts of a notch not yet acted on (touchpads)
    int m_nWheelX = 0;

    static bool s_bLineNumbers;
    CLineGutter* m_pGutter;
    std::vector<std::int64_t> m_gutterNumbers;  // as CFileWnd::RowLineNumbers gives them
    std::vector<TextPos> m_gutterMarks;         // each row's marked line start, kNoPos for a row without a mark
    std::uint64_t m_nMarksVersion = 0;          // the marks the side strip last drew
    std::optional<QPoint> m_menuPoint;
    std::optional<QPoint> m_pointer;  // over the text area, in its coordinates
    int m_nGutterWidth = 0;
    QPointer<QWidget> m_pSideStrip;
    void LayoutMargins();
    bool m_bGutterLayoutQueued = false;
};
