// The filter's worker: reads the text in chunks of whole lines, asks the
// matcher for the leftmost candidate, and lists the line that holds it (or,
// inverted, every line before it and that line when it does not match).
#include "engine/LineFilter.h"

#include "engine/WorkPool.h"

#include "engine/CodeUnits.h"
#include "engine/LineScan.h"
#include "engine/LineUnits.h"
#include "file/Encoding.h"

#include <algorithm>

namespace linefilter {

void COffsetList::Append(std::int64_t v)
{
    if ((m_count >> kShift) >= static_cast<std::int64_t>(m_blocks.size()))
        m_blocks.push_back(std::make_unique<std::int64_t[]>(std::size_t{1} << kShift));
    m_blocks[static_cast<std::size_t>(m_count >> kShift)][m_count & kMask] = v;
    ++m_count;
}

void COffsetList::Clear()
{
    m_blocks.clear();
    m_count = 0;
}

std::int64_t COffsetList::LowerBound(std::int64_t v) const
{
    std::int64_t lo = 0, hi = m_count;
    while (lo < hi) {
        const std::int64_t mid = lo + (hi - lo) / 2;
        if (At(mid) < v)
            lo = mid + 1;
        else
            hi = mid;
    }
    return lo;
}

CLineFilter::CLineFilter(std::size_t chunkBytes, std::int64_t maxEntries, const engine::BlockSplit& split)
    : m_chunkBytes(std::max<std::size_t>(chunkBytes, 4)), m_maxEntries(maxEntries), m_split(split)
{
}

CLineFilter::~CLineFilter()
{
    Stop();
}

bool CLineFilter::Start(std::unique_ptr<IChunkReader> reader, const TextForm& form, const FilterQuery& query,
                        std::int64_t dataStart, std::int64_t dataEnd, std::string* error)
{
    Stop();
    std::unique_ptr<ILineMatcher> matcher = MakeLineMatcher(query, form, error);
    if (!matcher)
        return false;
    m_reader = std::move(reader);
    m_moreMatchers.clear();
    for (unsigned k = 1; k < engine::CWorkPool::Shared().Threads(); ++k)
        m_moreMatchers.push_back(MakeLineMatcher(query, form, nullptr));
    m_pieces.assign(m_moreMatchers.size() + 1, {});
    m_scan = std::make_unique<CScanReader>(*m_reader, m_chunkBytes);
    m_scan->SetCancel(&m_stop);
    m_matcher = std::move(matcher);
    m_query = query;
    m_form = form;
    m_dataStart = dataStart;
    BreakUnitsOf(form.encoding, m_unit, m_cr, m_lf);
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_list.Clear();
        m_capped = m_shortRead = false;
        m_percent = 0;
    }
    Rebuild(dataEnd);
    m_thread = std::thread([this] { Run(); });
    return true;
}

FilterStatus CLineFilter::Status() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    FilterStatus s;
    s.count = m_list.Count();
    s.percent = m_percent;
    s.running = m_running || m_rebuild || m_scanEnd < m_target;
    s.capped = m_capped;
    s.shortRead = m_shortRead;
    return s;
}

std::int64_t CLineFilter::Count() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_list.Count();
}

std::int64_t CLineFilter::At(std::int64_t i) const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return i >= 0 && i < m_list.Count() ? m_list.At(i) : -1;
}

std::vector<std::int64_t> CLineFilter::Entries(std::int64_t first, std::int64_t count) const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    first = std::clamp<std::int64_t>(first, 0, m_list.Count());
    count = std::clamp<std::int64_t>(count, 0, m_list.Count() - first);
    std::vector<std::int64_t> out(static_cast<std::size_t>(count));
    for (std::int64_t i = 0; i < count; ++i)
        out[static_cast<std::size_t>(i)] = m_list.At(first + i);
    return out;
}

std::int64_t CLineFilter::LowerBound(std::int64_t offset) const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_list.LowerBound(offset);
}

// Sleeps until there is more to scan; a rebuild starts from the data's
// start, a growth from the last line start that the previous scan left.
void CLineFilter::Run()
{
    std::unique_lock<std::mutex> lock(m_mutex);
    for (;;) {
        m_wake.wait(lock, [&] { return m_stop || m_rebuild || m_target > m_scanEnd; });
        if (m_stop)
            return;
        if (m_rebuild || m_target < m_scanned) {
            m_list.Clear();
            m_capped = m_shortRead = m_full = false;
            m_scanned = m_dataStart;
            m_rebuild = false;
        }
        while (m_list.Count() > 0 && m_list.At(m_list.Count() - 1) >= m_scanned)
            m_list.PopBack();
        m_listed = m_list.Count();
        m_scanStart = m_reached = m_scanned;
        const std::int64_t end = m_target;
        m_running = true;
        m_scanEnd = end;
        m_percent = 0;
        lock.unlock();
        if (!m_full)
            ScanTo(end);
        Publish(true, true);
        lock.lock();
        m_idle.notify_all();
    }
}

void CLineFilter::ScanTo(std::int64_t end)
{
    std::int64_t pos = m_scanned;
    // A long scan reads a block for every thread of the pool at once.
    m_splitting = m_pieces.size() > 1 && m_split.Splits(end - pos);
    const std::size_t round =
        m_splitting ? std::max(m_chunkBytes, static_cast<std::size_t>(m_split.blockBytes) * m_pieces.size())
                    : m_chunkBytes;
    std::size_t chunk = round;
    while (pos < end && !Cancelled() && !m_full) {
        const std::size_t n = static_cast<std::size_t>(std::min<std::int64_t>(chunk, end - pos)) / m_unit * m_unit;
        if (m_scan->Read(pos, n, m_splitting ? m_pieces.size() : 1) < n) {
            if (Cancelled())
                return;
            std::lock_guard<std::mutex> lock(m_mutex);
            m_shortRead = true;
            return;
        }
        const Units units{m_scan->Data(), m_unit, m_cr, m_lf};
        const bool last = pos + static_cast<std::int64_t>(n) == end;
        const std::size_t cut = last ? n : units.LastCut(n);
        if (cut == 0) {
            chunk *= 2;  // a line longer than the chunk
            continue;
        }
        ListChunk(pos, cut);
        m_scanned = last ? pos + static_cast<std::int64_t>(units.LastCut(n)) : pos + static_cast<std::int64_t>(cut);
        pos += static_cast<std::int64_t>(cut);
        m_reached = pos;
        chunk = round;
        Publish(false);
        if (m_sink)
            m_sink(m_scan->Data(), pos - static_cast<std::int64_t>(cut), cut);
    }
}

// A long scan lists each chunk in pieces on the pool, one matcher each,
// cut at line starts that keep every pair whole, and appends them in order:
// the same list as one piece gives.
void CLineFilter::ListChunk(std::int64_t base, std::size_t cut)
{
    const std::uint8_t* data = m_scan->Data();
    const Units units{data, m_unit, m_cr, m_lf};
    const std::size_t parts = m_splitting ? m_pieces.size() : 1;
    std::vector<std::size_t> at(parts + 1, cut);
    at[0] = 0;
    for (std::size_t k = 1; k < parts; ++k)
        at[k] = std::max(at[k - 1], units.LastCut(cut / m_unit * k / parts * m_unit));
    const std::size_t room =
        static_cast<std::size_t>(std::max<std::int64_t>(m_maxEntries - m_listed - std::ssize(m_pending), 0)) + 1;
    auto list = [&](std::size_t k) {
        m_pieces[k].clear();
        ILineMatcher& matcher = k == 0 ? *m_matcher : *m_moreMatchers[k - 1];
        ListPiece(matcher, data + at[k], base + static_cast<std::int64_t>(at[k]), at[k + 1] - at[k], room, m_pieces[k]);
    };
    if (parts == 1)
        list(0);
    else
        engine::RunBlocks(parts, list);
    for (std::size_t k = 0; k < parts && !m_full; ++k)
        for (const std::int64_t v : m_pieces[k])
            if (!ListLine(v))
                break;
}

// The lines of the n bytes at `data` (whole lines, reading at file offset
// `base`) into `out`, at most `room` of them.
void CLineFilter::ListPiece(ILineMatcher& matcher, const std::uint8_t* data, std::int64_t base, std::size_t cut,
                            std::size_t room, std::vector<std::int64_t>& out) const
{
    const Units units{data, m_unit, m_cr, m_lf};
    auto all = [&](std::size_t from, std::size_t to) {
        for (std::size_t p = from; p < to && out.size() < room;) {
            out.push_back(base + static_cast<std::int64_t>(p));
            const std::size_t le = units.FirstBreak(p, to);
            p = le < to ? units.StepOver(le, to) : to;
        }
    };
    matcher.Load(data, cut);
    std::size_t pos = 0;
    while (pos < cut && out.size() < room) {
        std::size_t b = 0, e = 0;
        if (!matcher.Find(pos, b, e) || b >= cut) {
            if (m_query.invert)
                all(pos, cut);
            return;
        }
        // A candidate on a break belongs to the line that the break run ends.
        std::size_t q = b;
        if (q < cut && units.IsBreak(q))
            while (q > pos && units.IsBreak(q - m_unit))
                q -= m_unit;
        const std::size_t ls = units.LineStart(pos, q);
        const std::size_t le = units.FirstBreak(q, cut);
        const bool hit = (b < le && e > b && e <= le) || matcher.LineMatches(ls, le);
        if (m_query.invert)
            all(pos, ls);
        if (hit != m_query.invert && out.size() < room)
            out.push_back(base + static_cast<std::int64_t>(ls));
        pos = le < cut ? units.StepOver(le, cut) : cut;
    }
}

bool CLineFilter::ListLine(std::int64_t offset)
{
    if (m_listed + static_cast<std::int64_t>(m_pending.size()) >= m_maxEntries) {
        m_full = true;
        return false;
    }
    m_pending.push_back(offset);
    return true;
}

// The last news of a scan is sent with the scan marked over: whoever reads
// the status on it must not see it still running.
void CLineFilter::Publish(bool force, bool last)
{
    std::function<void()> notify;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        for (const std::int64_t v : m_pending)
            m_list.Append(v);
        m_pending.clear();
        m_listed = m_list.Count();
        m_capped = m_full;
        notify = NotePublished(force, last);
    }
    if (notify)
        notify();
}

}  // namespace linefilter
