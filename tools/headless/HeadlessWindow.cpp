#include "tools/headless/HeadlessWindow.h"

#include "engine/Utf8Text.h"
#include "platform/Win1252.h"

#include <algorithm>

using platform::COLORREF;
using platform::kIdOk;
using platform::kMbOk;

namespace headless {

void HeadlessPort::Resize(int rows, int cols)
{
    m_rows = rows;
    m_cols = cols;
    m_screen.assign(static_cast<size_t>(std::max(rows, 0) + 2),
                    std::vector<Cell>(static_cast<size_t>(std::max(cols, 0))));
    m_invalid.clear();
    m_invalid.push_back(GetClientRect());
}

void HeadlessPort::SetScrollInfo(int bar, unsigned mask, std::int64_t min, std::int64_t max, std::int64_t page,
                                 std::int64_t pos, bool)
{
    ScrollInfo& s = bar == kSbVert ? m_vert : m_horz;
    if (mask & kSifRange)
        s.min = min, s.max = max;
    if (mask & kSifPage)
        s.page = page;
    if (mask & kSifPos)
        s.pos = pos;
}

void HeadlessPort::InvalidateAll()
{
    ++m_fullInvalidations;
    m_invalid.clear();
    m_invalid.push_back(GetClientRect());
}

void HeadlessPort::ScrollWindow(int dx, int dy)
{
    ++m_scrolls;
    const int dr = dy / kLineHeight;
    const int dc = dx / kCharWidth;
    const int rows = m_rows + 2;
    std::vector<std::vector<Cell>> moved(m_screen.size(), std::vector<Cell>(static_cast<size_t>(m_cols)));
    for (int r = 0; r < rows; ++r) {
        const int from = r - dr;
        if (from < 0 || from >= rows)
            continue;
        for (int c = 0; c < m_cols; ++c) {
            const int fc = c - dc;
            if (fc >= 0 && fc < m_cols)
                moved[r][c] = m_screen[from][fc];
        }
    }
    m_screen.swap(moved);
    const WRect client = GetClientRect();
    if (dy < 0)
        m_invalid.push_back({client.left, client.bottom + dy, client.right, client.bottom});
    else if (dy > 0)
        m_invalid.push_back({client.left, client.top, client.right, client.top + dy});
    if (dx < 0)
        m_invalid.push_back({client.right + dx, client.top, client.right, client.bottom});
    else if (dx > 0)
        m_invalid.push_back({client.left, client.top, client.left + dx, client.bottom});
}

int HeadlessPort::ShowMessageBox(const std::string& text, const std::string&, unsigned type)
{
    m_messages.push_back(text);
    return (type & 0xF) == kMbOk ? kIdOk : m_answer;
}

void HeadlessPort::Paint(CFileWnd& wnd, bool everything)
{
    if (everything)
        InvalidateAll();
    if (m_invalid.empty())
        return;
    RecordingPainter painter(*this, wnd, false);
    wnd.OnPaint(painter);
    m_invalid.clear();
}

std::u32string HeadlessPort::RowText(int row, bool markHighlight) const
{
    std::u32string out;
    bool inv = false;
    for (const Cell& c : m_screen[static_cast<size_t>(row)]) {
        if (!c.ch)
            break;
        if (c.tail)
            continue;
        if (markHighlight && c.inverse != inv) {
            out += c.inverse ? U'\u00AB' : U'\u00BB';
            inv = c.inverse;
        }
        out += c.ch;
        out += c.marks;
    }
    if (markHighlight && inv)
        out += U'\u00BB';
    return out;
}

bool RecordingPainter::RectVisible(const WRect& rc)
{
    if (m_everything)
        return true;
    for (const WRect& r : m_port.m_invalid)
        if (rc.left < r.right && r.left < rc.right && rc.top < r.bottom && r.top < rc.bottom)
            return true;
    return false;
}

void RecordingPainter::FillSolidRect(const WRect& rc, COLORREF)
{
    const int h = HeadlessPort::kLineHeight;
    for (int r = std::max(rc.top / h, 0); r < static_cast<int>(m_port.m_screen.size()) && r * h < rc.bottom; ++r)
        for (Cell& c : m_port.m_screen[static_cast<size_t>(r)])
            c = Cell{};
}

std::vector<Cell>* RecordingPainter::Begin(int yBottom, const WRect& opaque, const std::u32string& text, COLORREF fg,
                                           COLORREF bg, int x, bool* inverse)
{
    m_calls.push_back({x, yBottom, text, fg, bg, opaque});
    const int row = yBottom / HeadlessPort::kLineHeight - 1;
    if (row < 0 || row >= static_cast<int>(m_port.m_screen.size()))
        return nullptr;
    auto& cells = m_port.m_screen[static_cast<size_t>(row)];
    const int col0 = opaque.left / HeadlessPort::kCharWidth;
    // Cells the opaque rectangle covers keep its colours, with nothing drawn in them.
    Cell blank;
    blank.fg = fg;
    blank.bg = bg;
    for (int c = std::max(col0, 0); c < m_port.m_cols; ++c)
        cells[static_cast<size_t>(c)] = blank;
    // Inverse video is the page colour on the font colour.
    *inverse = bg == m_wnd.GetFontColor() && fg == m_wnd.GetPageColor() && fg != bg;
    return &cells;
}

void RecordingPainter::Put(int x, int yBottom, const WRect& opaque, const std::u32string& text, COLORREF fg,
                           COLORREF bg)
{
    bool inverse = false;
    std::vector<Cell>* cells = Begin(yBottom, opaque, text, fg, bg, x, &inverse);
    if (!cells)
        return;
    const int xc = x / HeadlessPort::kCharWidth;
    for (size_t i = 0; i < text.size(); ++i) {
        const long c = xc + static_cast<long>(i);
        if (c >= 0 && c < m_port.m_cols)
            (*cells)[static_cast<size_t>(c)] = Cell{text[i], inverse, false, {}, m_rule, fg, bg};
    }
}

void RecordingPainter::TextOutCells(int x, int yBottom, const WRect& opaque, const char16_t* text, std::size_t length,
                                    COLORREF fg, COLORREF bg)
{
    std::u32string s;
    for (std::size_t i = 0, units = 1; i < length; i += units)
        s += utf8text::CharAt16(text, length, i, &units);
    bool inverse = false;
    std::vector<Cell>* cells = Begin(yBottom, opaque, s, fg, bg, x, &inverse);
    if (!cells)
        return;
    long c = x / HeadlessPort::kCharWidth;
    long head = -1;  // the cell of the last character with a cell
    for (const char32_t ch : s) {
        const int n = utf8text::Cells(ch);
        if (n == 0) {
            if (head >= 0 && head < m_port.m_cols)
                (*cells)[static_cast<size_t>(head)].marks += ch;
            continue;
        }
        for (int k = 0; k < n; ++k)
            if (c + k >= 0 && c + k < m_port.m_cols)
                (*cells)[static_cast<size_t>(c + k)] = Cell{ch, inverse, k > 0, {}, m_rule, fg, bg};
        head = c;
        c += n;
    }
}

void RecordingPainter::TextOutNarrow(int x, int yBottom, const WRect& opaque, const std::uint8_t* text,
                                     std::size_t length, COLORREF fg, COLORREF bg)
{
    std::u32string s;
    s.reserve(length);
    for (size_t i = 0; i < length; ++i)
        s += static_cast<char32_t>(platform::Win1252ToUnicode(text[i]));
    Put(x, yBottom, opaque, s, fg, bg);
}

void RecordingPainter::TextOutWide(int x, int yBottom, const WRect& opaque, const char16_t* text, std::size_t length,
                                   COLORREF fg, COLORREF bg)
{
    // Units stay units (a surrogate pair shows as its two halves).
    Put(x, yBottom, opaque, std::u32string(text, text + length), fg, bg);
}

}  // namespace headless
