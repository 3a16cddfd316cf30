// What the text window needs from the window system, and how it paints.
// The Qt widget implements both; tests and the headless driver use fakes.
#pragma once

#include "platform/Types.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

struct WRect {
    int left = 0, top = 0, right = 0, bottom = 0;
    int Width() const { return right - left; }
    int Height() const { return bottom - top; }
    bool IsEmpty() const { return right <= left || bottom <= top; }
};

// Scroll bars and their codes (the Win32 values), plus the two private quarter
// codes. Named so that they cannot meet the macros of <windows.h>.
enum : int { kSbHorz = 0, kSbVert = 1 };
enum : unsigned { kSifRange = 0x1, kSifPage = 0x2, kSifPos = 0x4 };
enum : int {
    kSbLineUp = 0,
    kSbLineLeft = 0,
    kSbLineDown = 1,
    kSbLineRight = 1,
    kSbPageUp = 2,
    kSbPageLeft = 2,
    kSbPageDown = 3,
    kSbPageRight = 3,
    kSbThumbPosition = 4,
    kSbThumbTrack = 5,
    kSbTop = 6,
    kSbLeft = 6,
    kSbBottom = 7,
    kSbRight = 7,
    kSbEndScroll = 8,
    kSbQuarterBack = 666,
    kSbQuarterForward = 6667,
};

// Virtual keys the window reacts to.
enum : unsigned {
    kVkSpace = 0x20,
    kVkPrior = 0x21,
    kVkNext = 0x22,
    kVkEnd = 0x23,
    kVkHome = 0x24,
    kVkLeft = 0x25,
    kVkUp = 0x26,
    kVkRight = 0x27,
    kVkDown = 0x28,
};

class IFileWndPort {
public:
    virtual ~IFileWndPort() = default;

    virtual WRect GetClientRect() = 0;
    // Extent (width, height) of "ABCDEFGHIJKLMNOPQRSTUVWXyZ" in the font.
    virtual void MeasureText(const platform::LOGFONTW& font, const char16_t* text, int length, int* cx, int* cy) = 0;
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

    // Returns platform::kIdOk, kIdYes, kIdNo or kIdCancel.
    virtual int ShowMessageBox(const std::string& text, const std::string& caption, unsigned type) = 0;

    virtual bool OpenClipboard() = 0;
    virtual void EmptyClipboard() = 0;
    // Takes the whole block (terminator included); the clipboard owns it after.
    virtual void SetClipboardData(unsigned format, std::vector<std::uint8_t> block) = 0;
    virtual bool CloseClipboard() = 0;

    // The window system's primary selection (the middle button's), in a clipboard block's form; none here.
    virtual void SetPrimarySelection(unsigned format, std::vector<std::uint8_t> block)
    {
        (void)format;
        (void)block;
    }
    // The colours a selection is drawn in, text and background: the platform's highlight colours.
    virtual std::pair<platform::COLORREF, platform::COLORREF> SelectionColors()
    {
        return {platform::Rgb(255, 255, 255), platform::Rgb(0, 120, 215)};
    }

    // The window's record summaries were made, dropped or found more (throttled by their pass): a timeline
    // over them repaints.
    virtual void SummariesNews() {}

    virtual void SetCapture() = 0;
    virtual void ReleaseCapture() = 0;
    virtual bool HasCapture() = 0;
};

class IFilePainter {
public:
    virtual ~IFilePainter() = default;
    // Whether any part of the rectangle lies in the area being painted.
    virtual bool RectVisible(const WRect& rc) = 0;
    virtual void FillSolidRect(const WRect& rc, platform::COLORREF color) = 0;
    // A thin line across the text (where hidden lines were left out); a painter of cells leaves the cells be.
    virtual void DrawRule(const WRect& rc, platform::COLORREF color) { FillSolidRect(rc, color); }
    virtual void SelectFont(const platform::LOGFONTW& font) = 0;
    // The highlight rule (its index, -1: none) that the next text calls show;
    // only a painter that records what it draws needs it.
    virtual void NoteRule(int rule) { (void)rule; }
    // Draws text with its baseline-bottom at yBottom (text aligned to the
    // bottom of its row), first filling `opaque` with the back colour.
    // Narrow text: each byte is its Windows-1252 character.
    virtual void TextOutNarrow(int x, int yBottom, const WRect& opaque, const std::uint8_t* text, std::size_t length,
                               platform::COLORREF textColor, platform::COLORREF backColor) = 0;
    virtual void TextOutWide(int x, int yBottom, const WRect& opaque, const char16_t* text, std::size_t length,
                             platform::COLORREF textColor, platform::COLORREF backColor) = 0;
    // Narrow text decoded from UTF-8 (UTF-16, host order): each character
    // takes utf8text::Cells of it columns (engine/Utf8Text.h), so a wide
    // character fills two and a combining mark is drawn in the cell of the
    // character before it. The text never starts with a mark.
    virtual void TextOutCells(int x, int yBottom, const WRect& opaque, const char16_t* text, std::size_t length,
                              platform::COLORREF textColor, platform::COLORREF backColor) = 0;
};

// The thin rule above a row that follows hidden lines: drawn when the row's painting ends (on leaving the
// scope), so that it lies over the row's background and text.
struct RuleAbove {
    IFilePainter& painter;
    WRect line;
    platform::COLORREF color;
    bool draw;
    ~RuleAbove()
    {
        if (draw)
            painter.DrawRule(line, color);
    }
};
