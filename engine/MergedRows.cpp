// The merge of several logs' rows by time, from each file's head.
#include "engine/MergedRows.h"

#include "engine/CodeUnits.h"
#include "engine/LineUnits.h"
#include "engine/StampParts.h"
#include "engine/TimeSeek.h"

#include <algorithm>
#include <cstring>

namespace merged {
namespace {
constexpr std::int64_t kBlock = 4096;  // a page: a screenful reads a few of each file
constexpr std::int64_t kStampBytes = 256;
// How far the first or the last record is looked for from a file's end: a
// longer head or tail of lines without a record counts at the very start.
constexpr std::int64_t kHeadLimit = 1024 * 1024;
}  // namespace

CMergedRows::CMergedRows(std::vector<Source> sources, Order order) : m_order(order)
{
    if (sources.size() > static_cast<std::size_t>(kMaxSources))
        sources.resize(kMaxSources);
    for (const Source& s : sources) {
        Per p;
        p.src = s;
        linefilter::BreakUnitsOf(s.form.encoding, p.unit, p.cr, p.lf);
        p.src.dataEnd -= (p.src.dataEnd - p.src.dataStart) % p.unit;
        m_sources.push_back(std::move(p));
    }
}

bool CMergedRows::IsBreak(int f, std::uint16_t u) const
{
    return u == m_sources[f].cr || u == m_sources[f].lf;
}

std::uint16_t CMergedRows::Unit(int f, std::int64_t p)
{
    Per& s = m_sources[f];
    if (s.bufAt < 0 || p < s.bufAt || p + s.unit > s.bufAt + static_cast<std::int64_t>(s.buf.size())) {
        // Centred on p: lines are read both ways from a head.
        std::int64_t at = std::max(s.src.dataStart, p - kBlock / 2);
        at -= (at - s.src.dataStart) % s.unit;
        s.buf.resize(kBlock);
        const std::int64_t n = std::min(kBlock, s.src.dataEnd - at);
        s.buf.resize(n > 0 ? s.src.reader->Read(s.buf.data(), static_cast<std::uint64_t>(n), at) : 0);
        s.bufAt = at;
        if (p + s.unit > s.bufAt + static_cast<std::int64_t>(s.buf.size()))
            return 0;
    }
    const std::uint8_t* q = s.buf.data() + (p - s.bufAt);
    return s.unit == 1 ? *q : codeunits::Load16(q);
}

bool CMergedRows::Stamped(int f, std::int64_t start, std::int64_t end, std::int64_t& micros)
{
    Per& s = m_sources[f];
    if (!s.src.format)
        return false;
    std::uint8_t b[kStampBytes * 2];
    const std::int64_t n = std::min<std::int64_t>(end - start, kStampBytes * s.unit);
    std::int64_t i = 0;
    // What the buffer holds of it is copied at once; the rest unit by unit.
    if (n > 0)
        Unit(f, start);  // start into the buffer
    if (n > 0 && s.bufAt >= 0 && start >= s.bufAt) {
        const std::int64_t held = s.bufAt + static_cast<std::int64_t>(s.buf.size()) - start;
        i = std::max<std::int64_t>(0, std::min(n, held)) / s.unit * s.unit;
        std::memcpy(b, s.buf.data() + (start - s.bufAt), static_cast<std::size_t>(i));
    }
    for (; i < n; i += s.unit) {
        const std::uint16_t u = Unit(f, start + i);
        if (s.unit == 2)
            std::memcpy(b + i, &u, 2);  // back as stored: Load16 read it as it lies
        else
            b[i] = static_cast<std::uint8_t>(u);
    }
    const std::string line =
        timeseek::parts::AsciiOfUnits(b, static_cast<std::size_t>(i), BreakUnits{s.unit, s.cr, s.lf}, true);
    logformat::LineRead read;
    if (!s.src.format->Read(line, s.src.ctx, read))
        return false;
    micros = read.micros;
    return true;
}

std::int64_t CMergedRows::FirstTime(int f)
{
    Per& s = m_sources[f];
    if (!s.haveFirst) {
        s.haveFirst = true;
        s.first = kVeryStart;
        for (std::int64_t at = s.src.dataStart; at < s.src.dataEnd && at - s.src.dataStart < kHeadLimit;) {
            std::int64_t end;
            const std::int64_t next = LineNext(f, at, end);
            std::int64_t t;
            if (Stamped(f, at, end, t)) {
                s.first = t;
                break;
            }
            if (next <= at)
                break;
            at = next;
        }
    }
    return s.first;
}

std::int64_t CMergedRows::LastTime(int f)
{
    Per& s = m_sources[f];
    if (!s.haveLast) {
        s.haveLast = true;
        s.last = FirstTime(f);
        std::int64_t at = s.src.dataEnd;
        while (at > s.src.dataStart && s.src.dataEnd - at < kHeadLimit) {
            at = PrevStart(f, at);
            const Row r = RowAt(f, at);
            if (r.startsRecord) {
                s.last = r.micros;
                break;
            }
        }
    }
    return s.last;
}

std::int64_t CMergedRows::LineNext(int f, std::int64_t pos, std::int64_t& end)
{
    const Per& s = m_sources[f];
    std::int64_t e = pos;
    // Narrow text: the break is looked for in what the buffer holds by the C library's scans (LF first, then
    // a CR inside what that leaves); the loop below then checks the unit where they stopped.
    while (s.unit == 1 && e < s.src.dataEnd) {
        Unit(f, e);  // e into the buffer
        if (s.bufAt < 0 || e < s.bufAt || e >= s.bufAt + static_cast<std::int64_t>(s.buf.size()))
            break;
        const std::uint8_t* b = s.buf.data() + (e - s.bufAt);
        const std::size_t n =
            static_cast<std::size_t>(std::min(s.bufAt + static_cast<std::int64_t>(s.buf.size()), s.src.dataEnd) - e);
        const void* lf = std::memchr(b, static_cast<std::uint8_t>(s.lf), n);
        std::size_t k = lf ? static_cast<std::size_t>(static_cast<const std::uint8_t*>(lf) - b) : n;
        if (const void* cr = std::memchr(b, static_cast<std::uint8_t>(s.cr), k))
            k = static_cast<std::size_t>(static_cast<const std::uint8_t*>(cr) - b);
        e += static_cast<std::int64_t>(k);
        if (k < n)
            break;
    }
    while (e < s.src.dataEnd && !IsBreak(f, Unit(f, e)))
        e += s.unit;
    end = e;
    if (e >= s.src.dataEnd)
        return e;
    const std::uint16_t u = Unit(f, e);
    std::int64_t next = e + s.unit;
    if (next < s.src.dataEnd && IsBreak(f, Unit(f, next)) && Unit(f, next) != u)
        next += s.unit;
    return next;
}

Row CMergedRows::RowAt(int f, std::int64_t pos)
{
    Per& s = m_sources[f];
    Row r;
    r.file = f;
    r.start = pos;
    r.next = LineNext(f, pos, r.end);
    if (!s.src.format) {
        // No record anywhere (a rotation set's part without a format): no walk back for one.
        r.micros = kVeryStart;
        return r;
    }
    const std::int64_t e = r.end;
    if (Stamped(f, pos, e, r.micros)) {
        r.startsRecord = true;
        s.lo = pos, s.hi = r.next, s.time = r.micros;
        return r;
    }
    if (pos > s.lo && pos < s.hi) {
        r.micros = s.time;
        return r;
    }
    if (pos == s.hi && s.hi >= 0) {
        r.micros = s.time;
        s.hi = r.next;
        return r;
    }
    // The record above, looked for line by line back.
    std::int64_t at = pos;
    for (;;) {
        if (at <= s.src.dataStart) {
            s.lo = s.src.dataStart - 1, s.time = FirstTime(f);
            break;
        }
        at = PrevStart(f, at);
        std::int64_t end;
        LineNext(f, at, end);
        std::int64_t t;
        if (Stamped(f, at, end, t)) {
            s.lo = at, s.time = t;
            break;
        }
    }
    s.hi = r.next;
    r.micros = s.time;
    return r;
}

std::int64_t CMergedRows::PrevStart(int f, std::int64_t pos)
{
    const Per& s = m_sources[f];
    const std::int64_t u = s.unit;
    if (pos <= s.src.dataStart)
        return s.src.dataStart;
    // Back over the breaks before pos, then over the line before them, to a
    // place that surely starts a line; the lines from there are read forward.
    std::int64_t at = pos;
    while (at > s.src.dataStart && IsBreak(f, Unit(f, at - u)))
        at -= u;
    while (at > s.src.dataStart && !IsBreak(f, Unit(f, at - u)))
        at -= u;
    std::int64_t last = at;
    while (at < pos) {
        last = at;
        std::int64_t end;
        const std::int64_t next = LineNext(f, at, end);
        if (next <= at)
            break;
        at = next;
    }
    return last;
}

std::int64_t CMergedRows::SeekFrom(int f, std::int64_t micros)
{
    Per& s = m_sources[f];
    if (!s.src.format)
        return micros > kVeryStart ? s.src.dataEnd : s.src.dataStart;
    CTimeSeeker seeker(*s.src.reader, s.src.dataStart, s.src.dataEnd, BreakUnits{s.unit, s.cr, s.lf}, s.src.ctx);
    seeker.SetStampReader(logformat::StampReaderOf(s.src.format, s.src.ctx));
    const CTimeSeeker::Result r = seeker.Seek(micros);
    switch (r.outcome) {
    case CTimeSeeker::Outcome::Found:
    case CTimeSeeker::Outcome::BeforeFirst: return r.pos;
    case CTimeSeeker::Outcome::AfterLast: return s.src.dataEnd;
    case CTimeSeeker::Outcome::NoStamps: break;
    }
    return micros > kVeryStart ? s.src.dataEnd : s.src.dataStart;
}

std::int64_t CMergedRows::ShownFrom(int f, std::int64_t pos)
{
    const Per& s = m_sources[f];
    if (!s.src.shown || pos >= s.src.dataEnd)
        return pos;
    // The window's lines may run past the end the rows know: that part is not theirs yet.
    return std::clamp(s.src.shown->NextShown(pos), pos, s.src.dataEnd);
}

std::int64_t CMergedRows::RowBefore(int f, std::int64_t pos)
{
    const Per& s = m_sources[f];
    pos = std::min(pos, s.src.dataEnd);
    if (pos <= s.src.dataStart)
        return -1;
    if (!s.src.shown)
        return PrevStart(f, pos);
    const std::int64_t e = std::min(s.src.shown->PrevShownEnd(pos), pos);
    return e <= s.src.dataStart ? -1 : PrevStart(f, e);
}

Top CMergedRows::TopOfHeads(std::vector<std::int64_t> heads)
{
    Top top;
    for (int f = 0; f < Count(); ++f) {
        if (heads[f] >= m_sources[f].src.dataEnd)
            continue;
        const Row r = RowAt(f, heads[f]);
        if (top.file < 0 || Before(r, Row{top.file, top.pos, 0, 0, false, top.micros})) {
            top.file = f, top.micros = r.micros, top.pos = r.start;
        }
    }
    top.heads = std::move(heads);
    return top;
}

std::vector<std::int64_t> CMergedRows::SequenceHeads(int file, std::int64_t pos) const
{
    std::vector<std::int64_t> heads(m_sources.size());
    for (int f = 0; f < Count(); ++f)
        heads[f] = f < file ? m_sources[f].src.dataEnd : f == file ? pos : m_sources[f].src.dataStart;
    return heads;
}

Top CMergedRows::Place(std::int64_t micros, int file, std::int64_t pos)
{
    std::vector<std::int64_t> heads(Count());
    if (m_order == Order::Sequence)
        heads = SequenceHeads(file, pos);
    else
        for (int f = 0; f < Count(); ++f)
            heads[f] = f == file ? pos
                       : f < file && micros == std::numeric_limits<std::int64_t>::max()
                           ? m_sources[f].src.dataEnd
                           : SeekFrom(f, f < file ? micros + 1 : micros);
    Top top;
    top.micros = micros, top.file = file, top.pos = pos, top.heads = std::move(heads);
    // Every head on a shown line; on a hidden line, the top is the first shown row after that place, whichever
    // file it is in.
    for (int f = 0; f < Count(); ++f)
        top.heads[f] = ShownFrom(f, top.heads[f]);
    if (file >= 0 && file < Count() && top.heads[file] != pos)
        return TopOfHeads(std::move(top.heads));
    return top;
}

std::vector<Row> CMergedRows::Rows(const Top& top, int n)
{
    std::vector<Row> out;
    if (top.heads.size() != m_sources.size())
        return out;
    std::vector<std::int64_t> heads = top.heads;
    std::vector<Row> at(Count());
    auto load = [&](int f) {
        at[f] = heads[f] < m_sources[f].src.dataEnd ? RowAt(f, heads[f]) : Row{};
        if (IShownLines* shown = m_sources[f].src.shown; shown && at[f].file >= 0) {
            at[f].followsHidden = shown->FollowsHidden(at[f].start);
            at[f].context = shown->IsContext(at[f].start);
        }
    };
    for (int f = 0; f < Count(); ++f)
        load(f);
    int forced = top.file;
    while (static_cast<int>(out.size()) < n) {
        int g = forced >= 0 && at[forced].file >= 0 ? forced : -1;
        forced = -1;
        if (g < 0)
            for (int f = 0; f < Count(); ++f)
                if (at[f].file >= 0 && (g < 0 || Before(at[f], at[g])))
                    g = f;
        if (g < 0)
            break;
        out.push_back(at[g]);
        heads[g] = ShownFrom(g, at[g].next);
        load(g);
    }
    return out;
}

int CMergedRows::PageDown(Top& top, int n)
{
    if (top.file < 0 || n <= 0)
        return 0;
    // n + 1 rows: the top's own and n after it; the heads after the n-th.
    std::vector<std::int64_t> heads = top.heads;
    std::vector<Row> at(Count());
    auto load = [&](int f) { at[f] = heads[f] < m_sources[f].src.dataEnd ? RowAt(f, heads[f]) : Row{}; };
    for (int f = 0; f < Count(); ++f)
        load(f);
    int moved = 0;
    int g = top.file;
    for (;;) {
        // g is the next row's file; stepping past it is a move only when a row follows.
        const std::vector<std::int64_t> before = heads;
        heads[g] = ShownFrom(g, at[g].next);
        load(g);
        int h = -1;
        for (int f = 0; f < Count(); ++f)
            if (at[f].file >= 0 && (h < 0 || Before(at[f], at[h])))
                h = f;
        if (h < 0) {
            heads = before;
            break;
        }
        ++moved;
        top.file = h, top.pos = at[h].start, top.micros = at[h].micros, top.heads = heads;
        if (moved == n)
            break;
        g = h;
    }
    return moved;
}

bool CMergedRows::Next(Top& top)
{
    return PageDown(top, 1) == 1;
}

int CMergedRows::PageUp(Top& top, int n)
{
    if (top.heads.size() != m_sources.size())
        return 0;
    std::vector<Row> prev(Count());
    auto load = [&](int f) {
        const std::int64_t before = RowBefore(f, top.heads[f]);
        prev[f] = before >= 0 ? RowAt(f, before) : Row{};
    };
    for (int f = 0; f < Count(); ++f)
        load(f);
    int moved = 0;
    while (moved < n) {
        int g = -1;
        for (int f = 0; f < Count(); ++f)
            if (prev[f].file >= 0 && (g < 0 || !Before(prev[f], prev[g])))
                g = f;
        if (g < 0)
            break;
        top.file = g, top.pos = prev[g].start, top.micros = prev[g].micros;
        top.heads[g] = prev[g].start;
        load(g);
        ++moved;
    }
    return moved;
}

bool CMergedRows::Previous(Top& top)
{
    return PageUp(top, 1) == 1;
}

Top CMergedRows::Home()
{
    std::vector<std::int64_t> heads(Count());
    for (int f = 0; f < Count(); ++f)
        heads[f] = ShownFrom(f, m_sources[f].src.dataStart);
    return TopOfHeads(std::move(heads));
}

Top CMergedRows::PastEnd() const
{
    Top top;
    for (const Per& s : m_sources)
        top.heads.push_back(s.src.dataEnd);
    return top;
}

Top CMergedRows::End(int n)
{
    Top top = PastEnd();
    PageUp(top, n);
    return top;
}

Top CMergedRows::AtTime(std::int64_t micros)
{
    if (m_order == Order::Sequence) {
        // The parts cover their spans one after another: the first that reaches the time holds the row.
        for (int f = 0; f < Count(); ++f) {
            const std::int64_t at = SeekFrom(f, micros);
            if (at < m_sources[f].src.dataEnd)
                return TopOfHeads(SequenceHeads(f, at));
        }
        return TopOfHeads(SequenceHeads(Count(), 0));
    }
    std::vector<std::int64_t> heads(Count());
    for (int f = 0; f < Count(); ++f)
        heads[f] = ShownFrom(f, SeekFrom(f, micros));
    return TopOfHeads(std::move(heads));
}

Top CMergedRows::AtByteFraction(double fraction)
{
    std::int64_t total = 0;
    for (const Per& s : m_sources)
        total += s.src.dataEnd - s.src.dataStart;
    if (total <= 0 || fraction <= 0)
        return Home();
    auto left = static_cast<std::int64_t>(std::min(fraction, 1.0) * static_cast<double>(total));
    for (int f = 0; f < Count(); ++f) {
        const Per& s = m_sources[f];
        const std::int64_t size = s.src.dataEnd - s.src.dataStart;
        if (left >= size && f + 1 < Count()) {
            left -= size;
            continue;
        }
        if (size <= 0)
            break;
        return AtPartByte(f, left);
    }
    return End(1);
}

Top CMergedRows::AtPartByte(int f, std::int64_t offset)
{
    const Per& s = m_sources[f];
    const std::int64_t size = s.src.dataEnd - s.src.dataStart;
    if (size <= 0)  // the first row of the parts after it
        return TopOfHeads(SequenceHeads(f, s.src.dataStart));
    // The line that holds the byte: the start of the line before the unit after it.
    std::int64_t p = s.src.dataStart + std::clamp<std::int64_t>(offset, 0, size - 1);
    p -= (p - s.src.dataStart) % s.unit;
    return TopOfHeads(SequenceHeads(f, PrevStart(f, p + s.unit)));
}

double CMergedRows::ByteFractionOf(const Top& top) const
{
    std::int64_t total = 0, before = 0;
    for (int f = 0; f < Count(); ++f) {
        const std::int64_t size = m_sources[f].src.dataEnd - m_sources[f].src.dataStart;
        total += size;
        if (f < top.file)
            before += size;
        else if (f == top.file)
            before += top.pos - m_sources[f].src.dataStart;
    }
    return total > 0 ? std::clamp(static_cast<double>(before) / static_cast<double>(total), 0.0, 1.0) : 0.0;
}

Top CMergedRows::AtFraction(double fraction)
{
    if (m_order == Order::Sequence)
        return AtByteFraction(fraction);
    std::int64_t lo = std::numeric_limits<std::int64_t>::max(), hi = kVeryStart;
    for (int f = 0; f < Count(); ++f) {
        if (m_sources[f].src.dataEnd <= m_sources[f].src.dataStart)
            continue;
        lo = std::min(lo, FirstTime(f));
        hi = std::max(hi, LastTime(f));
    }
    if (lo > hi || fraction <= 0)
        return Home();
    fraction = std::min(fraction, 1.0);
    return AtTime(lo + static_cast<std::int64_t>(fraction * static_cast<double>(hi - lo)));
}

double CMergedRows::FractionOf(const Top& top)
{
    if (top.file < 0)
        return 1.0;
    if (m_order == Order::Sequence)
        return ByteFractionOf(top);
    std::int64_t lo = std::numeric_limits<std::int64_t>::max(), hi = kVeryStart;
    for (int f = 0; f < Count(); ++f) {
        if (m_sources[f].src.dataEnd <= m_sources[f].src.dataStart)
            continue;
        lo = std::min(lo, FirstTime(f));
        hi = std::max(hi, LastTime(f));
    }
    if (hi <= lo)
        return 0.0;
    return std::clamp(static_cast<double>(top.micros - lo) / static_cast<double>(hi - lo), 0.0, 1.0);
}

void CMergedRows::Grow(int file, std::int64_t newEnd)
{
    Per& s = m_sources[file];
    s.src.dataEnd = newEnd - (newEnd - s.src.dataStart) % s.unit;
    s.bufAt = -1;
    s.hi = -1;
    s.haveFirst = s.haveLast = false;
}

}  // namespace merged
