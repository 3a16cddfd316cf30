// Reading a line for display: tabs expanded into display columns, each
// column paired with the unit it came from.
//
// The horizontal range counts display columns, and only a read that expands
// tabs knows them, so only ReadLine notes line lengths. That is enough:
// painting reads every line it shows (n + 2 rows from the top, whichever of
// them are repainted), so a line is noted before the user can scroll along
// it, and ShowMatch reads the line of a match before it places it. The line
// steps look for breaks only: a step's unit count is not a line's width once
// tabs are expanded, and expanding them on every step would make scrolling
// pay for columns nobody looks at.
#include "textwnd/FileWnd.h"

#include "textwnd/LineScan.h"

#include <algorithm>
#include <cstring>

namespace {

// The mapped text as one line read sees it.
struct Source {
    const std::uint8_t* v;
    TextPos end;  // DataEnd
    std::uint16_t cr, lf, tab;
    bool swap;  // UTF-16 BE: units leave the window byte-swapped
};

struct Narrow {
    static constexpr TextPos kUnit = 1;
    using Scan = linescan::AnyScan<1>;
    static std::uint16_t At(const Source& s, TextPos at) { return s.v[at]; }
    static void Append(const Source& s, std::string& out, TextPos from, std::int64_t count)
    {
        out.append(reinterpret_cast<const char*>(s.v + from), static_cast<std::size_t>(count));
    }
};

struct Wide {
    static constexpr TextPos kUnit = 2;
    using Scan = linescan::AnyScan<2>;
    static std::uint16_t At(const Source& s, TextPos at) { return linescan::Load16(s.v + at); }
    static void Append(const Source& s, std::u16string& out, TextPos from, std::int64_t count)
    {
        const std::size_t old = out.size();
        out.resize(old + static_cast<std::size_t>(count));
        char16_t* d = out.data() + old;
        std::memcpy(d, s.v + from, static_cast<std::size_t>(count) * 2);
        if (s.swap)
            for (std::int64_t i = 0; i < count; ++i)
                d[i] = static_cast<char16_t>((d[i] >> 8) | (d[i] << 8));
    }
};

// Walks the line from p to its break, NUL or the end of the data, keeping
// the display column: a run between tabs takes one column per unit, a tab
// (n mod 8) columns at column n. The tabs and the end are found with the
// vector scan, so the columns left and right of what is stored cost no more
// than a look at their tabs. Returns where the line's content ends.
template <typename Kind, typename Text>
TextPos WalkLine(const Source& s, TextPos p, Text* out, std::size_t maxChars, LineColumns& c)
{
    constexpr TextPos u = Kind::kUnit;
    const std::int64_t first = std::max<std::int64_t>(c.firstColumn, 0);
    const std::int64_t stop = first + static_cast<std::int64_t>(std::min<std::uint64_t>(maxChars, INT64_MAX - first));
    bool markFound[3];
    for (int i = 0; i < 3; ++i) {
        markFound[i] = c.marks[i] <= p;
        c.markColumns[i] = 0;
    }
    c.storedEnd = kNoPos;
    using Unit = typename Kind::Scan::Unit;
    typename Kind::Scan scan(s.v + p, s.v + s.end, 0, static_cast<Unit>(s.cr), static_cast<Unit>(s.lf),
                             static_cast<Unit>(s.tab));
    std::int64_t n = 0;  // display column of the unit at q
    TextPos q = p;
    for (;;) {
        const TextPos t = scan.Next() - s.v;
        const std::int64_t run = (t - q) / u;
        for (int i = 0; i < 3; ++i)
            if (!markFound[i] && c.marks[i] <= t) {
                markFound[i] = true;
                c.markColumns[i] = n + (c.marks[i] - q + u - 1) / u;
            }
        if (out) {
            const std::int64_t a = std::max(n, first), b = std::min(n + run, stop);
            if (a < b)
                Kind::Append(s, *out, q + (a - n) * u, b - a);
        }
        if (c.storedEnd == kNoPos && stop < n + run)
            c.storedEnd = q + std::max<std::int64_t>(stop - n, 0) * u;
        n += run;
        q = t;
        if (q >= s.end || Kind::At(s, q) != s.tab)
            break;
        if (c.storedEnd == kNoPos && n >= stop)
            c.storedEnd = q;
        const std::int64_t spaces = n % 8;
        if (out) {
            const std::int64_t a = std::max(n, first), b = std::min(n + spaces, stop);
            if (a < b)
                out->append(static_cast<std::size_t>(b - a), ' ');
        }
        n += spaces;
        q += u;
    }
    for (int i = 0; i < 3; ++i)
        if (!markFound[i])
            c.markColumns[i] = n;
    if (c.storedEnd == kNoPos)
        c.storedEnd = q;
    c.width = n;
    c.contentEnd = q;
    return q;
}

}  // namespace

void CFileWnd::ReadLine(TextPos& p, std::string* narrow, std::u16string* wide, std::size_t maxChars,
                        LineColumns* columns)
{
    if (narrow)
        narrow->clear();
    if (wide)
        wide->clear();
    LineColumns local;
    LineColumns& c = columns ? *columns : local;
    const TextPos end = DataEnd();
    if (!HasText() || p == kNoPos || p >= end) {
        c.storedEnd = c.contentEnd = p;
        c.width = 0;
        std::fill(std::begin(c.markColumns), std::end(c.markColumns), 0);
        return;
    }
    const std::uint8_t* v = ViewBytes();
    TextPos q;
    if (IsWide()) {
        const Source s{v, end, m_chCR, m_chLF, m_chTab, m_nEncoding == EncodingUtf16BE};
        q = WalkLine<Wide>(s, p, wide, maxChars, c);
        if (q < end) {
            const std::uint16_t unit = linescan::Load16(v + q);
            if (unit != 0) {
                const std::uint16_t other = unit == m_chCR ? m_chLF : m_chCR;
                q += q + 4 <= end && linescan::Load16(v + q + 2) == other ? 4 : 2;
            }
        }
        NoteLineLength(c.width + (q - c.contentEnd) / 2);
    } else {
        const Source s{v, end, 0x0D, 0x0A, 0x09, false};
        q = WalkLine<Narrow>(s, p, narrow, maxChars, c);
        if (q < end && v[q] != 0) {
            const std::uint8_t other = v[q] == 0x0D ? 0x0A : 0x0D;
            q += q + 1 < end && v[q + 1] == other ? 2 : 1;
        }
        NoteLineLength(c.width + (q - c.contentEnd));
    }
    p = q;
}
