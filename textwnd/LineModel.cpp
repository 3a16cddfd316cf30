#include "textwnd/LineModel.h"

#include "engine/CodeUnits.h"
#include "engine/LineScan.h"
#include "platform/File.h"

#include <algorithm>
#include <memory>

using codeunits::Load16;

namespace {

constexpr std::uint8_t kCR = 0x0D;
constexpr std::uint8_t kLF = 0x0A;

}  // namespace

// --- The text and its units ----------------------------------------------------

void CLineModel::Attach(const CMemoryMappedFile* file, std::uint32_t bomLength, std::int32_t encoding)
{
    m_pFile = file;
    m_nStart = bomLength;
    m_nEncoding = encoding;
    m_nUnit = EncodingUnitSize(encoding);
    m_bWide = encoding == EncodingUtf16LE || encoding == EncodingUtf16BE;
    m_bSwap = encoding == EncodingUtf16BE;
    // Compared as the units lie in the file: big-endian ones byte-swapped.
    m_chCR = m_bSwap ? 0x0D00 : 0x000D;
    m_chLF = m_bSwap ? 0x0A00 : 0x000A;
    m_chTab = m_bSwap ? 0x0900 : 0x0009;
    m_nFirstHole = kNoPos;
    m_known[0] = m_known[1] = KnownRun{};
    m_walk = WalkMark{};
    m_nKnownSize = file ? file->Size() : 0;
    m_hKnownFile = file ? file->Handle() : platform::kInvalidFile;
}

void CLineModel::CheckKnown() const
{
    // A file reopened by its name (log rotation) comes in a new descriptor.
    const std::uint64_t size = m_pFile ? m_pFile->Size() : 0;
    const platform::FileHandle file = m_pFile ? m_pFile->Handle() : platform::kInvalidFile;
    if (size < m_nKnownSize || file != m_hKnownFile) {
        m_hKnownFile = file;
        m_known[0] = m_known[1] = KnownRun{};
        m_walk = WalkMark{};
    }
    m_nKnownSize = size;
}

bool CLineModel::HasText() const
{
    return View() != nullptr && EncodingHasLines(m_nEncoding);
}

TextPos CLineModel::DataStart() const
{
    return View() ? m_nStart : kNoPos;
}

TextPos CLineModel::DataEnd() const
{
    if (!View())
        return kNoPos;
    const auto size = static_cast<TextPos>(m_pFile->Size());
    if (m_nUnit == 0 || size <= m_nStart)
        return m_nStart;
    // Whole code units only: the odd trailing byte of a UTF-16 file is never read.
    return m_nStart + (size - m_nStart) / m_nUnit * m_nUnit;
}

std::uint16_t CLineModel::UnitAt(TextPos at) const
{
    const std::uint8_t* v = View() + at;
    return m_bWide ? Load16(v) : *v;
}

char16_t CLineModel::CharAt(TextPos at) const
{
    const std::uint16_t u = UnitAt(at);
    return m_bSwap ? codeunits::Swap16(u) : u;
}

bool CLineModel::IsBreakAt(TextPos at) const
{
    const std::uint16_t u = UnitAt(at);
    return u == m_chCR || u == m_chLF;
}

bool CLineModel::IsPairAt(TextPos at) const
{
    return at + 2 * m_nUnit <= DataEnd() && IsBreakAt(at) && IsBreakAt(at + m_nUnit) &&
           UnitAt(at) != UnitAt(at + m_nUnit);
}

TextPos CLineModel::StepOverBreak(TextPos at) const
{
    if (UnitAt(at) == 0)
        return at;
    return IsPairAt(at) ? at + 2 * m_nUnit : at + m_nUnit;
}

void CLineModel::ToHostOrder(std::uint8_t* bytes, std::uint64_t n) const
{
    if (m_bSwap)
        codeunits::SwapUnits(bytes, n / 2);
}

// --- Line steps -------------------------------------------------------------------

TextPos CLineModel::FindAny(const std::uint8_t* v, TextPos from, TextPos to, std::uint16_t a, std::uint16_t b,
                            std::uint16_t c) const
{
    const std::uint8_t* hit = m_bWide ? linescan::FindAny16(v + from, v + to, a, b, c)
                                      : linescan::FindAny8(v + from, v + to, static_cast<std::uint8_t>(a),
                                                           static_cast<std::uint8_t>(b), static_cast<std::uint8_t>(c));
    return hit - v;
}

TextPos CLineModel::NextLineStart(TextPos p, TextPos limit) const
{
    const std::uint8_t* v = View();
    const TextPos stop = std::min(limit, DataEnd());
    const TextPos q = FindAny(v, p, stop, 0, m_chCR, m_chLF);
    // Backward pairing can put the last screenful between the two units of a
    // pair that forward pairing steps over whole (a LF | CR LF): stop at it,
    // so that a window brought to the end by any line step follows the file.
    return std::min(q < stop ? StepOverBreak(q) : q, limit);
}

TextPos CLineModel::FirstHole()
{
    if (m_nFirstHole == kNoPos)
        m_nFirstHole = m_pFile ? platform::FirstHole(m_pFile->Handle()) : INT64_MAX;
    return m_nFirstHole;
}

bool CLineModel::HoldsData(TextPos from, TextPos to)
{
    return to <= FirstHole() || !platform::IsHole(m_pFile->Handle(), from, to);
}

const std::uint8_t* CLineModel::FindLastIn(const std::uint8_t* b, std::uint64_t n, Seek seek) const
{
    if (seek == Seek::Break)
        return m_bWide ? linescan::FindLastAny16(b, b + n, m_chCR, m_chLF) : linescan::FindLastAny8(b, b + n, kCR, kLF);
    if (seek == Seek::Nul)
        return m_bWide ? linescan::FindLastAny16(b, b + n, 0, 0) : linescan::FindLastAny8(b, b + n, 0, 0);
    const auto unit = static_cast<std::uint64_t>(m_nUnit);
    for (std::uint64_t i = n; i >= unit; i -= unit) {
        const bool nul = m_bWide ? Load16(b + i - unit) == 0 : b[i - 1] == 0;
        if (nul == (seek == Seek::Nul))
            return b + i - unit;
    }
    return nullptr;
}

void CLineModel::RememberRun(KnownRun& run, TextPos from, TextPos to)
{
    // A hole may be written into without the file changing its size.
    if (to - from < kLongWalk || to > FirstHole())
        return;
    if (run.from != kNoPos && from <= run.to && to >= run.from)
        run = {std::min(from, run.from), std::max(to, run.to)};
    else
        run = {from, to};
}

// A stretch known to hold none of what is sought is not read again: only
// what lies above it and below it (from a line start found earlier, that is
// nothing) is scanned.
TextPos CLineModel::FindLast(TextPos from, TextPos to, Seek seek)
{
    if (seek == Seek::Data || from >= to)
        return FindLastUncached(from, to, seek);
    CheckKnown();
    KnownRun& run = m_known[seek == Seek::Break ? 0 : 1];
    const KnownRun known = run;
    TextPos r = kNoPos;
    if (known.from != kNoPos && from < known.to && to > known.from) {
        if (to > known.to)
            r = FindLastUncached(known.to, to, seek);
        if (r == kNoPos && from < known.from)
            r = FindLastUncached(from, known.from, seek);
    } else {
        r = FindLastUncached(from, to, seek);
    }
    RememberRun(run, r == kNoPos ? from : r + m_nUnit, to);
    return r;
}

TextPos CLineModel::FindLastUncached(TextPos from, TextPos to, Seek seek)
{
    // A first chunk, read in place, holds the usual line. A run without a
    // break beyond it is a huge line or zeros (a preallocated log, or one cut
    // short by a crash): it is read in chunks through a buffer, at memory
    // speed, and none of its pages is mapped in (they would stay resident).
    constexpr TextPos kNearChunk = 16 << 10;
    constexpr TextPos kLongChunk = 1 << 20;
    const std::uint8_t* v = View();
    const platform::FileHandle fd = m_pFile->Handle();
    const TextPos unit = m_nUnit;
    std::unique_ptr<std::uint8_t[]> buffer;
    TextPos chunk = kNearChunk;
    TextPos e = to;
    while (e > from) {
        if (e > FirstHole()) {
            // A hole holds NULs only: skip it unread, but keep the unit that
            // its start may cut (a data byte and a zero can form a break).
            const TextPos h = platform::HoleStartBefore(fd, e, from);
            const TextPos kept = from + (h - from + unit - 1) / unit * unit;
            if (kept < e) {
                if (seek == Seek::Nul)
                    return e - unit;
                e = kept;
                continue;
            }
        }
        TextPos c = std::max(from, (e - unit) / chunk * chunk);
        c += (c - from) % unit;  // on the unit grid, which an odd mark length shifts
        const auto n = static_cast<std::uint64_t>(e - c);
        const std::uint8_t* b = v + c;
        if (chunk == kLongChunk) {
            if (!buffer)
                buffer = std::make_unique_for_overwrite<std::uint8_t[]>(kLongChunk);
            // Bytes the file no longer holds read as zeros, as in the mapping.
            const std::uint64_t got = platform::ReadAt(fd, buffer.get(), n, c);
            std::fill(buffer.get() + got, buffer.get() + n, 0);
            b = buffer.get();
        }
        if (const std::uint8_t* r = FindLastIn(b, n, seek))
            return c + (r - b);
        chunk = kLongChunk;
        e = c;
    }
    return kNoPos;
}

bool CLineModel::IsInsidePair(TextPos p) const
{
    const TextPos unit = m_nUnit;
    const TextPos start = DataStart();
    if (p - unit < start || p + unit > DataEnd() || !IsPairAt(p - unit))
        return false;
    // Forward reading pairs a run of alternating breaks from its first unit:
    // p - unit opens a pair when it lies an even number of units into the run.
    TextPos s = p - unit;
    while (s - unit >= start && IsPairAt(s - unit))
        s -= unit;
    return (p - unit - s) / unit % 2 == 0;
}

TextPos CLineModel::PrevLineStart(TextPos p)
{
    const TextPos start = DataStart();
    const TextPos unit = m_nUnit;
    TextPos q = p;
    if (HoldsData(p - unit, p)) {
        if (p - start >= 2 * unit && IsPairAt(p - 2 * unit))
            q = p - 2 * unit;
        else if (IsBreakAt(p - unit))
            q = p - unit;
    }
    const TextPos r = FindLastBreak(start, q);
    return r == kNoPos ? start : r + unit;
}

TextPos CLineModel::LineStartOf(TextPos p)
{
    const TextPos unit = m_nUnit;
    if (HoldsData(p - unit, p + unit) && IsInsidePair(p))
        p -= unit;
    const TextPos r = FindLastBreak(DataStart(), p);
    return r == kNoPos ? DataStart() : r + unit;
}

TextPos CLineModel::LineLastOf(TextPos p) const
{
    const std::uint8_t* v = View();
    const TextPos end = DataEnd();
    const TextPos q = FindAny(v, p, end, m_chCR, m_chLF, m_chLF);
    // A break at the very start leaves no unit before it: the line is empty.
    return q < end ? std::max(q - m_nUnit, DataStart()) : end;
}

TextPos CLineModel::AfterLastNul(TextPos from)
{
    const TextPos lastText = FindLast(from, DataEnd(), Seek::Data);
    if (lastText == kNoPos)
        return from;
    const TextPos nul = FindLast(from, lastText, Seek::Nul);
    return nul == kNoPos ? from : nul + m_nUnit;
}

// --- Reading a line in display columns ------------------------------------------

namespace {

// The mapped text as one line read sees it.
struct Source {
    const std::uint8_t* v;
    TextPos end;  // DataEnd
    std::uint16_t cr, lf, tab;
    bool swap;         // UTF-16 BE: units leave the model byte-swapped
    TextPos longWalk;  // a walk this long is remembered
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
    static std::uint16_t At(const Source& s, TextPos at) { return Load16(s.v + at); }
    static void Append(const Source& s, std::u16string& out, TextPos from, std::int64_t count)
    {
        const std::size_t old = out.size();
        out.resize(old + static_cast<std::size_t>(count));
        char16_t* d = out.data() + old;
        std::memcpy(d, s.v + from, static_cast<std::size_t>(count) * 2);
        if (s.swap)
            codeunits::SwapUnits(d, static_cast<std::size_t>(count));
    }
};

// Where an earlier walk of a long line got to (see CLineModel::WalkMark).
struct Resume {
    TextPos start, at;
    std::int64_t column;
};

// Walks the line from p to its break, NUL or the end of the data, keeping
// the display column: a run between tabs takes one column per unit, a tab
// (n mod 8) columns at column n. The tabs and the end are found with the
// vector scan, so the columns left and right of what is stored cost no more
// than a look at their tabs. Once nothing more is to be stored or marked
// before where an earlier walk from p got to, the walk goes on from there
// (`resume`, which it moves to its own end). Returns where the line's
// content ends.
template <typename Kind, typename Text>
TextPos WalkLine(const Source& s, TextPos p, Text* out, std::size_t maxChars, LineColumns& c, Resume& resume)
{
    constexpr TextPos u = Kind::kUnit;
    const std::int64_t first = std::max<std::int64_t>(c.firstColumn, 0);
    const std::int64_t stop = first + static_cast<std::int64_t>(std::min<std::uint64_t>(maxChars, INT64_MAX - first));
    bool markFound[LineColumns::kMarks];
    for (int i = 0; i < LineColumns::kMarks; ++i) {
        markFound[i] = c.marks[i] <= p;
        c.markColumns[i] = 0;
    }
    c.storedEnd = c.storedStart = kNoPos;
    auto noteStart = [&c](TextPos at, std::int64_t column) {
        if (c.storedStart == kNoPos)
            c.storedStart = at, c.storedStartColumn = column;
    };
    using Unit = typename Kind::Scan::Unit;
    // Until the walk may go on from where an earlier one got to, it scans in
    // short windows, so that it can stop scanning as soon as it may.
    bool resumable = resume.start == p && resume.at > p && resume.at <= s.end;
    TextPos windowEnd = s.end;
    auto scanFrom = [&](TextPos from) {
        windowEnd = resumable ? std::min(s.end, from + s.longWalk) : s.end;
        return typename Kind::Scan(s.v + from, s.v + windowEnd, 0, static_cast<Unit>(s.cr), static_cast<Unit>(s.lf),
                                   static_cast<Unit>(s.tab));
    };
    typename Kind::Scan scan = scanFrom(p);
    std::int64_t n = 0;  // display column of the unit at q
    TextPos q = p;
    for (;;) {
        if (resumable && q < resume.at && (c.storedEnd != kNoPos || resume.column <= first) &&
            std::none_of(std::begin(c.marks), std::end(c.marks),
                         [&](TextPos m) { return m != kNoPos && m > q && m < resume.at; })) {
            q = resume.at;
            n = resume.column;
            resumable = false;
            scan = scanFrom(q);
        }
        const TextPos t = scan.Next() - s.v;
        const std::int64_t run = (t - q) / u;
        for (int i = 0; i < LineColumns::kMarks; ++i)
            if (!markFound[i] && c.marks[i] <= t) {
                markFound[i] = true;
                c.markColumns[i] = n + (c.marks[i] - q + u - 1) / u;
            }
        if (out) {
            const std::int64_t a = std::max(n, first), b = std::min(n + run, stop);
            if (a < b) {
                noteStart(q + (a - n) * u, a);
                Kind::Append(s, *out, q + (a - n) * u, b - a);
            }
        }
        if (c.storedEnd == kNoPos && stop < n + run)
            c.storedEnd = q + std::max<std::int64_t>(stop - n, 0) * u;
        n += run;
        q = t;
        if (q == windowEnd && q < s.end) {
            resumable &= q < resume.at;
            scan = scanFrom(q);
            continue;
        }
        if (q >= s.end || Kind::At(s, q) != s.tab)
            break;
        if (c.storedEnd == kNoPos && n >= stop)
            c.storedEnd = q;
        const std::int64_t spaces = n % 8;
        if (out) {
            const std::int64_t a = std::max(n, first), b = std::min(n + spaces, stop);
            if (a < b) {
                noteStart(q, n);
                out->append(static_cast<std::size_t>(b - a), ' ');
            }
        }
        n += spaces;
        q += u;
    }
    for (int i = 0; i < LineColumns::kMarks; ++i)
        if (!markFound[i])
            c.markColumns[i] = n;
    if (c.storedEnd == kNoPos)
        c.storedEnd = q;
    noteStart(q, n);
    c.width = n;
    c.contentEnd = q;
    if (q - p >= s.longWalk)
        resume = {p, q, n};
    return q;
}

}  // namespace

TextPos CLineModel::ReadLine(TextPos p, std::string* narrow, std::u16string* wide, std::size_t maxChars,
                             LineColumns& c) const
{
    CheckKnown();
    const Source s{View(), DataEnd(), m_chCR, m_chLF, m_chTab, m_bSwap, kLongWalk};
    Resume resume{m_walk.start, m_walk.at, m_walk.column};
    const TextPos q =
        m_bWide ? WalkLine<Wide>(s, p, wide, maxChars, c, resume) : WalkLine<Narrow>(s, p, narrow, maxChars, c, resume);
    m_walk = {resume.start, resume.at, resume.column};
    return q < s.end ? StepOverBreak(q) : q;
}
