// What the text window needs from the window system, and how it paints.
// The Qt widget implements both; tests and the headless driver use fakes.
#pragma once

#include "platform/Types.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

struct WRect {
    int left = 0, top = 0, right = 0, bottom = 0;
    int Width() const { return right - left; }
    int Height() const { return bottom - top; }
    bool IsEmpty() const { return right <= left || bottom <= top; }
};

// Scroll bars and their codes (the Win32 values), plus the two private quarter codes.
enum : int { SB_HORZ = 0, SB_VERT = 1 };
enum : unsigned { SIF_RANGE = 0x1, SIF_PAGE = 0x2, SIF_POS = 0x4 };
enum : int {
    SB_LINEUP = 0, SB_LINELEFT = 0,
    SB_LINEDOWN = 1, SB_LINERIGHT = 1,
    SB_PAGEUP = 2, SB_PAGELEFT = 2,
    SB_PAGEDOWN = 3, SB_PAGERIGHT = 3,
    SB_THUMBPOSITION = 4, SB_THUMBTRACK = 5,
    SB_TOP = 6, SB_LEFT = 6,
    SB_BOTTOM = 7, SB_RIGHT = 7,
    SB_ENDSCROLL = 8,
    SB_QUARTER_BACK = 666,
    SB_QUARTER_FORWARD = 6667,
};

// Virtual keys the window reacts to.
enum : unsigned {
    VK_SPACE = 0x20, VK_PRIOR = 0x21, VK_NEXT = 0x22, VK_END = 0x23, VK_HOME = 0x24,
    VK_LEFT = 0x25, VK_UP = 0x26, VK_RIGHT = 0x27, VK_DOWN = 0x28,
};

class IFileWndPort {
public:
    virtual ~IFileWndPort() = default;

    virtual WRect GetClientRect() = 0;
    // Extent (width, height) of "ABCDEFGHIJKLMNOPQRSTUVWXyZ" in the font.
    virtual void MeasureText(const LOGFONTW& font, const char16_t* text, int length, int* cx, int* cy) = 0;
    // Pixels per logical inch, vertically.
    virtual int GetDpiY() = 0;

    // Values are in bytes (vertical) or columns (horizontal) and may exceed
    // 32 bits; the implementation scales them onto its bars as needed.
    virtual void SetScrollInfo(int bar, unsigned mask, std::int64_t min, std::int64_t max, std::int64_t page,
                               std::int64_t pos, bool redraw) = 0;
    // The vertical bar's tracking position, in bytes from the start of the data.
    virtual std::int64_t GetVScrollTrackPos() = 0;

    virtual void InvalidateAll() = 0;
    // Moves the whole client image by dx, dy pixels; the uncovered strip is
    // left for the next paint.
    virtual void ScrollWindow(int dx, int dy) = 0;

    // Returns IDOK, IDYES, IDNO or IDCANCEL.
    virtual int MessageBox(const std::string& text, const std::string& caption, unsigned type) = 0;

    virtual bool OpenClipboard() = 0;
    virtual void EmptyClipboard() = 0;
    // Takes the whole block (terminator included); the clipboard owns it after.
    virtual void SetClipboardData(unsigned format, std::vector<std::uint8_t> block) = 0;
    virtual bool CloseClipboard() = 0;

    virtual void SetCapture() = 0;
    virtual void ReleaseCapture() = 0;
    virtual bool HasCapture() = 0;
};

class IFilePainter {
public:
    virtual ~IFilePainter() = default;
    // Whether any part of the rectangle lies in the area being painted.
    virtual bool RectVisible(const WRect& rc) = 0;
    virtual void FillSolidRect(const WRect& rc, COLORREF color) = 0;
    virtual void SelectFont(const LOGFONTW& font) = 0;
    // Draws text with its baseline-bottom at yBottom (text aligned to the
    // bottom of its row), first filling `opaque` with the back colour.
    // Narrow text: each byte is its Windows-1252 character.
    virtual void TextOutNarrow(int x, int yBottom, const WRect& opaque, const std::uint8_t* text, std::size_t length,
                               COLORREF textColor, COLORREF backColor) = 0;
    virtual void TextOutWide(int x, int yBottom, const WRect& opaque, const char16_t* text, std::size_t length,
                             COLORREF textColor, COLORREF backColor) = 0;
};
