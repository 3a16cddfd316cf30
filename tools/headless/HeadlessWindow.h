// A text window without a window system: a port with a fixed 8 x 16 pixel
// font and a character-cell "screen" that paints record into, so that what
// the window shows can be asserted on (tests) or printed (ostrel-probe).
#pragma once

#include "textwnd/FileWnd.h"

#include <string>
#include <vector>

namespace headless {

struct Cell {
    char32_t ch = 0;       // 0: nothing drawn
    bool inverse = false;  // drawn in the highlight's inverse colours
    bool tail = false;     // the second cell of a wide character (ch repeats it)
    std::u32string marks;  // combining marks drawn in this cell, after ch
    int rule = -1;         // the highlight rule it was drawn for (-1: none)
    platform::COLORREF fg = 0, bg = 0;
};

struct ScrollInfo {
    std::int64_t min = 0, max = 0, page = 0, pos = 0;
};

class HeadlessPort : public IFileWndPort {
public:
    static constexpr int kCharWidth = 8;
    static constexpr int kLineHeight = 16;

    HeadlessPort(int rows, int cols) { Resize(rows, cols); }
    void Resize(int rows, int cols);
    int Rows() const { return m_rows; }
    int Cols() const { return m_cols; }

    WRect GetClientRect() override { return {0, 0, m_cols * kCharWidth, m_rows * kLineHeight}; }
    void MeasureText(const platform::LOGFONTW&, const char16_t*, int length, int* cx, int* cy) override
    {
        *cx = length * kCharWidth;
        *cy = kLineHeight;
    }
    int GetDpiY() override { return m_dpi; }
    void SetScrollInfo(int bar, unsigned mask, std::int64_t min, std::int64_t max, std::int64_t page, std::int64_t pos,
                       bool redraw) override;
    std::int64_t GetVScrollTrackPos() override { return m_trackPos; }
    void InvalidateAll() override;
    void ScrollWindow(int dx, int dy) override;
    int ShowMessageBox(const std::string& text, const std::string& caption, unsigned type) override;
    bool OpenClipboard() override { return m_clipboardOpens; }
    void EmptyClipboard() override { m_clipboard.clear(); }
    void SetClipboardData(unsigned format, std::vector<std::uint8_t> block) override
    {
        m_clipFormat = format;
        m_clipboard = std::move(block);
    }
    bool CloseClipboard() override { return m_clipboardCloses; }
    void SetPrimarySelection(unsigned format, std::vector<std::uint8_t> block) override
    {
        m_primaryFormat = format;
        m_primary = std::move(block);
    }
    void SetCapture() override { m_capture = true; }
    void ReleaseCapture() override { m_capture = false; }
    bool HasCapture() override { return m_capture; }

    // Paints the invalid part of the screen (or all of it) through a recording painter.
    void Paint(CFileWnd& wnd, bool everything = false);
    // Row text: the characters drawn from the left edge, highlighted runs
    // wrapped in « and », as UTF-32. A wide character shows once, its marks
    // after it.
    std::u32string RowText(int row, bool markHighlight = true) const;
    const std::vector<std::vector<Cell>>& Screen() const { return m_screen; }
    bool HasInvalid() const { return !m_invalid.empty(); }

    // Scripted state.
    int m_dpi = 96;
    int m_answer = platform::kIdCancel;  // reply to every question
    std::int64_t m_trackPos = 0;         // vertical tracking position in bytes
    bool m_clipboardOpens = true;
    bool m_clipboardCloses = true;
    std::vector<std::string> m_messages;  // every message box text, in order
    unsigned m_clipFormat = 0;
    std::vector<std::uint8_t> m_clipboard;
    unsigned m_primaryFormat = 0;  // the primary selection, as the clipboard's block
    std::vector<std::uint8_t> m_primary;
    ScrollInfo m_vert, m_horz;
    int m_fullInvalidations = 0;
    int m_scrolls = 0;
    std::vector<WRect> m_invalid;

private:
    friend class RecordingPainter;
    int m_rows = 0, m_cols = 0;
    bool m_capture = false;
    std::vector<std::vector<Cell>> m_screen;  // rows + 2, as painting reaches below the client area
};

class RecordingPainter : public IFilePainter {
public:
    RecordingPainter(HeadlessPort& port, const CFileWnd& wnd, bool everything)
        : m_port(port), m_wnd(wnd), m_everything(everything)
    {
    }
    bool RectVisible(const WRect& rc) override;
    void FillSolidRect(const WRect& rc, platform::COLORREF color) override;
    void DrawRule(const WRect&, platform::COLORREF) override { ++m_rules; }
    int m_rules = 0;  // thin rules drawn
    void SelectFont(const platform::LOGFONTW&) override { ++m_fontSelections; }
    void NoteRule(int rule) override { m_rule = rule; }
    void TextOutNarrow(int x, int yBottom, const WRect& opaque, const std::uint8_t* text, std::size_t length,
                       platform::COLORREF textColor, platform::COLORREF backColor) override;
    void TextOutWide(int x, int yBottom, const WRect& opaque, const char16_t* text, std::size_t length,
                     platform::COLORREF textColor, platform::COLORREF backColor) override;
    void TextOutCells(int x, int yBottom, const WRect& opaque, const char16_t* text, std::size_t length,
                      platform::COLORREF textColor, platform::COLORREF backColor) override;

    struct Call {
        int x, yBottom;
        std::u32string text;
        platform::COLORREF fg, bg;
        WRect opaque;
    };
    std::vector<Call> m_calls;
    int m_fontSelections = 0;

private:
    // Records the call and clears its row from the opaque rectangle on;
    // null when the row lies outside the screen. `inverse`: the colours are the highlight's.
    std::vector<Cell>* Begin(int yBottom, const WRect& opaque, const std::u32string& text, platform::COLORREF fg,
                             platform::COLORREF bg, int x, bool* inverse);
    void Put(int x, int yBottom, const WRect& opaque, const std::u32string& text, platform::COLORREF fg,
             platform::COLORREF bg);
    HeadlessPort& m_port;
    const CFileWnd& m_wnd;
    bool m_everything;
    int m_rule = -1;
};

}  // namespace headless
