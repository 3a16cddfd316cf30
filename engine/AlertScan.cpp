// The alert worker: reads what was asked in chunks of whole lines and, for
// each rule in order, asks its matcher for the first line of the chunk that
// holds a match, below the best line found so far.
#include "engine/AlertScan.h"

#include "engine/LineUnits.h"
#include "file/Encoding.h"

#include <algorithm>
#include <limits>

namespace linefilter {

namespace {
constexpr std::int64_t kNone = std::numeric_limits<std::int64_t>::max();
// A line longer than this is matched in pieces of it rather than read whole.
constexpr std::size_t kLongestChunk = std::size_t{16} << 20;
}  // namespace

CAlertScanner::CAlertScanner(std::size_t chunkBytes) : m_chunkBytes(std::max<std::size_t>(chunkBytes, 16) / 4 * 4) {}

CAlertScanner::~CAlertScanner()
{
    Stop();
}

bool CAlertScanner::Start(std::unique_ptr<IChunkReader> reader, const TextForm& form,
                          const std::vector<AlertRule>& rules)
{
    Stop();
    m_matchers.clear();
    for (const AlertRule& r : rules) {
        std::string error;
        if (auto m = MakeLineMatcher(r.query, form, &error))
            m_matchers.push_back({r.index, r.stop, std::move(m)});
    }
    if (m_matchers.empty())
        return false;
    m_reader = std::move(reader);
    BreakUnitsOf(form.encoding, m_unit, m_cr, m_lf);
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_pos = m_target = 0;
        m_rescan = kNone;
        m_news = AlertNews{};
        m_busy = false;
    }
    m_stop = false;
    m_thread = std::thread([this] { Run(); });
    return true;
}

void CAlertScanner::Stop()
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_stop = true;
    }
    m_wake.notify_all();
    if (m_thread.joinable())
        m_thread.join();
    std::lock_guard<std::mutex> lock(m_mutex);
    m_busy = false;
    m_idle.notify_all();
}

void CAlertScanner::Scan(std::int64_t from, std::int64_t to)
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (!m_busy && m_pos >= m_target)
            m_pos = from;  // all seen: the new text starts here
        else
            m_rescan = std::min(m_rescan, from);
        m_target = std::max(m_target, to);
    }
    m_wake.notify_all();
}

bool CAlertScanner::Idle() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return !m_thread.joinable() || (!m_busy && m_pos >= m_target && m_rescan >= m_pos);
}

void CAlertScanner::WaitIdle()
{
    std::unique_lock<std::mutex> lock(m_mutex);
    m_idle.wait(lock, [this] {
        return m_stop.load() || !m_thread.joinable() || (!m_busy && m_pos >= m_target && m_rescan >= m_pos);
    });
}

void CAlertScanner::SetNotify(std::function<void()> notify)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_notify = std::move(notify);
}

AlertNews CAlertScanner::Take()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    AlertNews news = m_news;
    m_news = AlertNews{};
    return news;
}

void CAlertScanner::Run()
{
    std::size_t chunk = m_chunkBytes;
    std::unique_lock<std::mutex> lock(m_mutex);
    for (;;) {
        if (m_rescan < m_pos)
            m_pos = m_rescan;
        m_rescan = kNone;
        if (m_pos >= m_target)
            m_idle.notify_all();
        m_wake.wait(lock, [this] { return m_stop.load() || m_pos < m_target || m_rescan < m_pos; });
        if (m_stop)
            return;
        if (m_rescan < m_pos)
            continue;
        const std::int64_t pos = m_pos, end = m_target;
        const bool wantAlert = m_news.alertRule < 0, wantStop = m_news.stopRule < 0;
        if (!wantAlert && !wantStop) {
            m_pos = end;  // the owner acts on the first of each: nothing more to look for yet
            continue;
        }
        m_busy = true;
        lock.unlock();

        std::size_t n = static_cast<std::size_t>(std::min<std::int64_t>(chunk, end - pos)) / m_unit * m_unit;
        m_buffer.resize(n);
        const std::size_t got = n ? static_cast<std::size_t>(m_reader->Read(m_buffer.data(), n, pos)) : 0;
        // A short read (the file shrank under the scan): the owner starts afresh on the reload that follows.
        const bool shortRead = got < n || n == 0;
        const Units units{m_buffer.data(), m_unit, m_cr, m_lf};
        const bool last = pos + static_cast<std::int64_t>(n) == end;
        std::size_t cut = shortRead ? 0 : last ? n : units.LastCut(n);
        AlertNews found;
        if (!shortRead && cut == 0 && chunk < kLongestChunk) {
            chunk *= 2;  // a line longer than the chunk
        } else {
            if (!shortRead && cut == 0)
                cut = n;
            if (cut)
                MatchChunk(pos, cut, found, wantAlert, wantStop);
            chunk = m_chunkBytes;
        }

        lock.lock();
        m_busy = false;
        if (shortRead)
            m_pos = end;
        else if (cut)
            m_pos = pos + static_cast<std::int64_t>(cut);
        bool news = false;
        if (found.alertRule >= 0 && m_news.alertRule < 0) {
            m_news.alertLine = found.alertLine, m_news.alertRule = found.alertRule;
            news = true;
        }
        if (found.stopRule >= 0 && m_news.stopRule < 0) {
            m_news.stopLine = found.stopLine, m_news.stopRule = found.stopRule;
            news = true;
        }
        if (news && m_notify) {
            const std::function<void()> notify = m_notify;
            lock.unlock();
            notify();
            lock.lock();
        }
    }
}

void CAlertScanner::MatchChunk(std::int64_t base, std::size_t cut, AlertNews& found, bool wantAlert, bool wantStop)
{
    std::size_t alertAt = wantAlert ? cut : 0, stopAt = wantStop ? cut : 0;
    for (Matcher& m : m_matchers) {
        const std::size_t below = std::max(alertAt, m.stop ? stopAt : 0);
        if (below == 0)
            continue;
        m.m->Load(m_buffer.data(), cut);
        const std::size_t line = FirstLine(m, 0, cut, below);
        if (line < alertAt) {
            alertAt = line;
            found.alertLine = base + static_cast<std::int64_t>(line), found.alertRule = m.index;
        }
        if (m.stop && line < stopAt) {
            stopAt = line;
            found.stopLine = base + static_cast<std::int64_t>(line), found.stopRule = m.index;
        }
        if (m_stop.load(std::memory_order_relaxed))
            return;
    }
}

std::size_t CAlertScanner::FirstLine(Matcher& m, std::size_t from, std::size_t cut, std::size_t below)
{
    const Units units{m_buffer.data(), m_unit, m_cr, m_lf};
    for (std::size_t pos = from; pos < below;) {
        std::size_t b = 0, e = 0;
        if (!m.m->Find(pos, b, e) || b >= cut)
            return below;
        // A candidate on a break belongs to the line that the break run ends.
        std::size_t q = b;
        if (units.IsBreak(q))
            while (q > pos && units.IsBreak(q - m_unit))
                q -= m_unit;
        const std::size_t ls = units.LineStart(pos, q), le = units.FirstBreak(q, cut);
        if (ls >= below)
            return below;
        if ((b < le && e > b && e <= le) || m.m->LineMatches(ls, le))
            return ls;
        pos = le < cut ? units.StepOver(le, cut) : cut;
    }
    return below;
}

}  // namespace linefilter
