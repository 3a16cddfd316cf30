// The shown set's worker: reads chunks of whole lines, finds each rule's
// matching lines with the filter's matchers, reads each line's record start
// with the format, and hands the lines in order to the stack's decision.
#include "engine/ShownSet.h"

#include "engine/LineUnits.h"
#include "engine/LogRecords.h"
#include "engine/StampParts.h"

#include <algorithm>
#include <cstring>

namespace shownset {

using linefilter::Units;

namespace {

bool IsAscii(const std::uint8_t* p, std::size_t n)
{
    std::uint64_t any = 0;
    std::size_t i = 0;
    for (; i + 8 <= n; i += 8) {
        std::uint64_t w;
        std::memcpy(&w, p + i, 8);
        any |= w;
    }
    for (; i < n; ++i)
        any |= p[i];
    return (any & 0x8080808080808080ULL) == 0;
}

}  // namespace

// ---- CRunList ----

ShownRun CRunList::At(std::int64_t i) const
{
    return Unpack(Slot(i));
}

void CRunList::Append(const ShownRun& run)
{
    if (run.end <= run.start)
        return;
    if (m_count > 0) {
        Packed& last = Slot(m_count - 1);
        const ShownRun l = Unpack(last);
        if (l.end == run.start && l.context == run.context) {
            last.end = static_cast<std::uint64_t>(run.end) | (run.context ? kContextBit : 0);
            m_bytes += run.end - run.start;
            return;
        }
    }
    if ((m_count >> kShift) >= static_cast<std::int64_t>(m_blocks.size())) {
        m_blocks.push_back(std::make_unique<Packed[]>(std::size_t{1} << kShift));
        m_blockBytes.push_back(m_bytes);
    }
    Slot(m_count) = {run.start, static_cast<std::uint64_t>(run.end) | (run.context ? kContextBit : 0)};
    ++m_count;
    m_bytes += run.end - run.start;
}

void CRunList::Truncate(std::int64_t n)
{
    if (n >= m_count)
        return;
    m_count = std::max<std::int64_t>(n, 0);
    const std::size_t blocks = static_cast<std::size_t>((m_count + kMask) >> kShift);
    m_blocks.resize(blocks);
    m_blockBytes.resize(blocks);
    m_bytes = 0;
    if (blocks > 0) {
        m_bytes = m_blockBytes.back();
        for (std::int64_t j = static_cast<std::int64_t>(blocks - 1) << kShift; j < m_count; ++j) {
            const ShownRun r = At(j);
            m_bytes += r.end - r.start;
        }
    }
}

void CRunList::Clear()
{
    Truncate(0);
}

std::int64_t CRunList::LastAtOrBefore(std::int64_t pos) const
{
    std::int64_t lo = 0, hi = m_count;  // the first run starting after pos
    while (lo < hi) {
        const std::int64_t mid = lo + (hi - lo) / 2;
        if (Slot(mid).start <= pos)
            lo = mid + 1;
        else
            hi = mid;
    }
    return lo - 1;
}

std::int64_t CRunList::BytesBefore(std::int64_t pos) const
{
    const std::int64_t i = LastAtOrBefore(pos - 1);
    if (i < 0)
        return 0;
    std::int64_t bytes = m_blockBytes[static_cast<std::size_t>(i >> kShift)];
    for (std::int64_t j = i & ~kMask; j < i; ++j) {
        const ShownRun r = At(j);
        bytes += r.end - r.start;
    }
    const ShownRun r = At(i);
    return bytes + std::min(pos, r.end) - r.start;
}

std::int64_t CRunList::PosAfterBytes(std::int64_t bytes) const
{
    if (m_count == 0)
        return -1;
    bytes = std::clamp<std::int64_t>(bytes, 0, m_bytes);
    // The last block that starts at or before `bytes`, then its runs one by one.
    const auto b = std::upper_bound(m_blockBytes.begin(), m_blockBytes.end(), bytes);
    std::int64_t j = static_cast<std::int64_t>(b - m_blockBytes.begin() - 1) << kShift;
    std::int64_t before = m_blockBytes[static_cast<std::size_t>(j >> kShift)];
    for (; j < m_count; ++j) {
        const ShownRun r = At(j);
        if (before + (r.end - r.start) > bytes)
            return r.start + (bytes - before);
        before += r.end - r.start;
    }
    return At(m_count - 1).end;
}

std::size_t CRunList::MemoryBytes() const
{
    return m_blocks.size() * ((std::size_t{1} << kShift) * sizeof(Packed) + sizeof(std::int64_t));
}

// ---- CShownSet ----

CShownSet::CShownSet(std::size_t chunkBytes, const engine::BlockSplit& split)
    : m_chunkBytes(std::max<std::size_t>(chunkBytes, 4)), m_split(split)
{
}

CShownSet::~CShownSet()
{
    Stop();
}

CShownSet::Matchers CShownSet::MakeMatchers(std::vector<std::string>* errors) const
{
    Matchers m;
    const std::size_t n = std::min(m_stack.rules.size(), FilterStack::kMaxRules);
    if (errors)
        errors->assign(m_stack.rules.size(), std::string());
    for (std::size_t r = 0; r < n; ++r) {
        const FilterRule& rule = m_stack.rules[r];
        std::unique_ptr<linefilter::ILineMatcher> matcher;
        if (rule.on && !rule.text.empty()) {
            std::string error;
            matcher = linefilter::MakeLineMatcher(
                linefilter::FilterQuery{rule.text, rule.regex, !rule.caseSensitive, false}, m_form, &error);
            if (!matcher && errors)
                (*errors)[r] = error;
        }
        m.rules.push_back(std::move(matcher));
    }
    if (errors)
        for (std::size_t r = n; r < m_stack.rules.size(); ++r)
            (*errors)[r] = "too many rules";
    m.hits.resize(n);
    return m;
}

void CShownSet::Start(std::unique_ptr<IChunkReader> reader, const linefilter::TextForm& form, const FilterStack& stack,
                      const logformat::CFormat* format, timeseek::StampContext ctx, std::int64_t dataStart,
                      std::int64_t dataEnd)
{
    Stop();
    m_reader = std::move(reader);
    m_form = form;
    m_stack = stack;
    m_stack.context = std::clamp(m_stack.context, 0, FilterStack::kMaxContext);
    m_format = format;
    m_ctx = ctx;
    m_dataStart = dataStart;
    linefilter::BreakUnitsOf(form.encoding, m_unit, m_cr, m_lf);
    m_aheadMatchers = MakeMatchers(&m_errors);
    m_include = m_exclude = 0;
    for (std::size_t r = 0; r < m_aheadMatchers.rules.size(); ++r)
        if (m_aheadMatchers.rules[r])
            (m_stack.rules[r].kind == RuleKind::Include ? m_include : m_exclude) |= std::uint64_t{1} << r;
    m_matchers.clear();
    const unsigned threads = std::max(engine::CWorkPool::Shared().Threads(), 1u);
    for (unsigned k = 0; k < threads; ++k)
        m_matchers.push_back(MakeMatchers(nullptr));
    m_pieces.assign(m_matchers.size(), {});
    m_pending.assign(m_matchers.size(), {});
    m_pendingAt.clear();
    m_scan = std::make_unique<CScanReader>(*m_reader, m_chunkBytes);
    m_scan->SetCancel(&m_stop);
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_runs.Clear();
        m_tailFrom = -1;
        m_shortRead = false;
        m_percent = 0;
        m_scanEnd = m_scanned = dataStart;
        m_published = CShownDecision(m_include, m_exclude, m_stack.combine == Combine::All, m_stack.context);
        m_publishedAt = dataStart;
        m_shownLines = m_totalLines = 0;
        m_finalTo = dataStart;
        m_counts.assign(m_stack.rules.size(), 0);
    }
    Rebuild(dataEnd);
    m_thread = std::thread([this] { Run(); });
}

ShownStatus CShownSet::Status() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    ShownStatus s;
    s.shownLines = m_shownLines;
    s.totalLines = m_totalLines;
    s.ruleCounts = m_counts;
    s.ruleErrors = m_errors;
    s.runs = m_runs.Count();
    s.scannedTo = m_finalTo;
    s.percent = m_percent;
    s.running = m_running || m_rebuild || m_scanEnd < m_target;
    s.shortRead = m_shortRead;
    return s;
}

// Sleeps until there is more to read; a rebuild starts from the data's
// start, a growth from the end of the last complete line.
void CShownSet::Run()
{
    std::unique_lock<std::mutex> lock(m_mutex);
    for (;;) {
        m_wake.wait(lock, [&] { return m_stop || m_rebuild || m_target > m_scanEnd; });
        if (m_stop)
            return;
        if (m_rebuild || m_target < m_scanned) {
            m_runs.Clear();
            m_tailFrom = -1;
            m_shortRead = false;
            m_scanned = m_dataStart;
            m_decision = CShownDecision(m_include, m_exclude, m_stack.combine == Combine::All, m_stack.context);
            m_rebuild = false;
        }
        m_new.clear();
        m_haveTail = false;
        m_scanStart = m_reached = m_scanned;
        const std::int64_t end = m_target;
        m_running = true;
        m_scanEnd = end;
        m_percent = 0;
        lock.unlock();
        ScanTo(end);
        Publish(true, true);
        lock.lock();
        m_idle.notify_all();
    }
}

void CShownSet::ScanTo(std::int64_t end)
{
    m_pendingAt.clear();  // a cancelled scan's last round
    std::int64_t pos = m_scanned;
    const bool splitting = m_pieces.size() > 1 && m_split.Splits(end - pos);
    const std::size_t round =
        splitting ? std::max(m_chunkBytes, static_cast<std::size_t>(m_split.blockBytes) * m_pieces.size())
                  : m_chunkBytes;
    std::size_t chunk = round;
    while (pos < end && !Cancelled()) {
        if (splitting && end - pos > static_cast<std::int64_t>(2 * round)) {
            const Split split = SplitRound(pos, pos + static_cast<std::int64_t>(round));
            if (split == Split::Short) {
                if (Cancelled())
                    return;
                std::lock_guard<std::mutex> lock(m_mutex);
                m_shortRead = true;
                return;
            }
            if (split == Split::Done) {
                pos = m_pendingAt.back();
                m_reached = pos;
                Publish(false);
                continue;
            }
        }
        FeedPending();
        const std::size_t n = static_cast<std::size_t>(std::min<std::int64_t>(chunk, end - pos)) / m_unit * m_unit;
        if (n == 0)
            break;
        if (m_scan->Read(pos, n) < n) {
            if (Cancelled())
                return;
            std::lock_guard<std::mutex> lock(m_mutex);
            m_shortRead = true;
            return;
        }
        const std::uint8_t* data = m_scan->Data();
        const Units units{data, m_unit, m_cr, m_lf};
        const bool last = pos + static_cast<std::int64_t>(n) == end;
        const std::size_t cut = units.LastCut(n);
        if (cut == 0 && !last) {
            chunk *= 2;  // a line longer than the chunk
            continue;
        }
        // The complete lines, in pieces on the pool when the scan is long.
        const std::size_t parts = splitting ? m_pieces.size() : 1;
        std::vector<std::size_t> at(parts + 1, cut);
        at[0] = 0;
        for (std::size_t k = 1; k < parts; ++k)
            at[k] = std::max(at[k - 1], units.LastCut(cut / m_unit * k / parts * m_unit));
        auto list = [&](std::size_t k) {
            m_pieces[k].clear();
            ListLines(m_matchers[k], data, pos, at[k], at[k + 1], m_pieces[k]);
        };
        if (parts == 1)
            list(0);
        else
            engine::RunBlocks(parts, list);
        for (std::size_t k = 0; k < parts; ++k)
            Feed(m_decision, m_pieces[k], pos + static_cast<std::int64_t>(at[k + 1]), m_new);
        m_scanned = pos + static_cast<std::int64_t>(cut);
        if (last) {
            // The last lines, maybe without their break yet: decided on a copy.
            m_lines.clear();
            ListLines(m_matchers[0], data, pos, cut, n, m_lines);
            m_tailDecision = m_decision;
            m_tailRuns.clear();
            Feed(m_tailDecision, m_lines, end, m_tailRuns);
            m_tailDecision.Finish(m_tailRuns);
            m_haveTail = true;
            pos = end;
        } else {
            pos += static_cast<std::int64_t>(cut);
        }
        m_reached = pos;
        chunk = round;
        if (!last)
            Publish(false);
    }
}

// A round in pieces on the pool, each cut where a break run ends (a line
// start however its pairs form) and read by its piece's own reader, so that
// the copies from the page cache run in parallel too and each piece reads
// chunks that stay in the processor's cache.
CShownSet::Split CShownSet::SplitRound(std::int64_t from, std::int64_t to)
{
    const std::size_t parts = m_pieces.size();
    std::vector<std::int64_t> at(parts + 1, from);
    for (std::size_t k = 1; k <= parts; ++k) {
        std::int64_t nominal = from + (to - from) * static_cast<std::int64_t>(k) / static_cast<std::int64_t>(parts);
        nominal -= (nominal - m_dataStart) % m_unit;
        at[k] = FirstCut(std::max(nominal, at[k - 1] + m_unit));
        if (at[k] < 0)
            return Cancelled() ? Split::Short : Split::Serial;
    }
    // The decision of the round listed last runs on this thread while the pool lists this one.
    std::atomic<bool> failed{false};
    engine::RunBlocksBeside(
        parts,
        [&](std::size_t k) {
            if (!ListRange(m_matchers[k], at[k], at[k + 1], m_pieces[k]))
                failed = true;
        },
        [&] { FeedPending(); });
    if (failed)
        return Split::Short;
    std::swap(m_pieces, m_pending);
    m_pendingAt = std::move(at);
    return Split::Done;
}

void CShownSet::FeedPending()
{
    if (m_pendingAt.empty())
        return;
    for (std::size_t k = 0; k + 1 < m_pendingAt.size(); ++k)
        Feed(m_decision, m_pending[k], m_pendingAt[k + 1], m_new);
    m_scanned = m_pendingAt.back();
    m_pendingAt.clear();
}

// The first position at or after `at` where a run of breaks ends (before the
// data's end, within a probe's reach); -1 when none.
std::int64_t CShownSet::FirstCut(std::int64_t at)
{
    constexpr std::int64_t kProbe = 64 * 1024;
    std::uint8_t buf[kProbe];
    const std::int64_t base = at - m_unit;
    const std::int64_t n = std::min(kProbe, m_scanEnd - base) / m_unit * m_unit;
    if (n <= m_unit || m_reader->Read(buf, static_cast<std::uint64_t>(n), base) != static_cast<std::uint64_t>(n))
        return -1;
    const Units units{buf, m_unit, m_cr, m_lf};
    const std::size_t len = static_cast<std::size_t>(n);
    for (std::size_t i = 0; i < len;) {
        std::size_t b = units.FirstBreak(i, len);
        while (b < len && units.IsBreak(b))
            b += m_unit;
        if (b >= len)
            return -1;
        if (b >= static_cast<std::size_t>(m_unit))
            return base + static_cast<std::int64_t>(b);
        i = b;
    }
    return -1;
}

bool CShownSet::ListRange(Matchers& m, std::int64_t from, std::int64_t to, std::vector<LineInfo>& out) const
{
    out.clear();
    if (!m.reader) {
        m.reader = std::make_unique<CScanReader>(*m_reader, PieceChunk());
        m.reader->SetCancel(&m_stop);
    }
    std::size_t chunk = PieceChunk();
    for (std::int64_t q = from; q < to;) {
        const std::size_t n = static_cast<std::size_t>(std::min<std::int64_t>(chunk, to - q)) / m_unit * m_unit;
        if (m.reader->Read(q, n) < n)
            return false;
        const Units units{m.reader->Data(), m_unit, m_cr, m_lf};
        const std::size_t cut = q + static_cast<std::int64_t>(n) == to ? n : units.LastCut(n);
        if (cut == 0) {
            chunk *= 2;
            continue;
        }
        ListLines(m, m.reader->Data(), q, 0, cut, out);
        q += static_cast<std::int64_t>(cut);
        chunk = PieceChunk();
    }
    return true;
}

void CShownSet::ListLines(Matchers& m, const std::uint8_t* data, std::int64_t base, std::size_t from, std::size_t to,
                          std::vector<LineInfo>& out) const
{
    const std::uint8_t* p = data + from;
    const std::size_t len = to - from;
    const std::int64_t at = base + static_cast<std::int64_t>(from);
    const Units units{p, m_unit, m_cr, m_lf};
    // Each rule's matching lines, as the filter finds them: the leftmost
    // candidate, then the line that holds it.
    for (std::size_t r = 0; r < m.rules.size(); ++r) {
        std::vector<std::size_t>& hits = m.hits[r];
        hits.clear();
        linefilter::ILineMatcher* matcher = m.rules[r].get();
        if (!matcher)
            continue;
        matcher->Load(p, len);
        std::size_t pos = 0;
        while (pos < len) {
            std::size_t b = 0, e = 0;
            if (!matcher->Find(pos, b, e) || b >= len)
                break;
            std::size_t q = b;
            if (units.IsBreak(q))
                while (q > pos && units.IsBreak(q - m_unit))
                    q -= m_unit;
            const std::size_t ls = units.LineStart(pos, q);
            const std::size_t le = units.FirstBreak(q, len);
            if ((b < le && e > b && e <= le) || matcher->LineMatches(ls, le))
                hits.push_back(ls);
            pos = le < len ? units.StepOver(le, len) : len;
        }
    }
    std::vector<std::size_t> next(m.rules.size(), 0);
    const BreakUnits bu{m_unit, m_cr, m_lf};
    // A stack of rules alone asks of a record only where it starts.
    const bool wantsFacts = m_stack.lowest != logformat::Level::None || m_stack.hasFrom || m_stack.hasTo;
    const std::size_t most = static_cast<std::size_t>(logformat::CRecordReader::kLineUnits) * m_unit;
    const std::size_t reach =
        m_format ? std::min<std::size_t>(m_format->StartsRecordReach(), logformat::CRecordReader::kLineUnits) * m_unit
                 : most;
    const std::size_t bound = wantsFacts ? most : reach;
    // Reads whether the line at offset s (in p, its first break at le or past
    // the bound) starts a record, and whether its time and level pass.
    auto read = [&](LineInfo& line, std::size_t s, std::size_t le) {
        const std::size_t n = std::min(le - s, bound);
        // Narrow ASCII up to its break is read as it lies; other text as the record reader reads it.
        std::string_view text;
        if (m_unit == 1 && IsAscii(p + s, n)) {
            text = {reinterpret_cast<const char*>(p + s), n};
        } else {
            timeseek::parts::AsciiOfUnits(p + s, n, bu, true, m.ascii);
            text = m.ascii;
        }
        if (wantsFacts) {
            logformat::LineRead facts;
            line.startsRecord = m_format->ReadAt(text, line.start, m_ctx, facts);
            line.passes = line.startsRecord && m_stack.Passes(true, facts.micros, facts.level);
        } else {
            line.startsRecord = m_format->StartsRecordAt(text, line.start, m_ctx);
            line.passes = line.startsRecord;  // every record passes
        }
    };
    // With an Include rule on, a record without an Include hit is never shown,
    // so where a record starts matters only in the records that hold one: the
    // format reads the lines of those records and the line after each, the
    // lines up to the first record start, and the last record. Every other
    // line stands as a record of its own that cannot pass, which hides it as
    // the record it is part of would be hidden and shows it as context alike.
    // A line the format has read is "known"; every known line that continues
    // a record follows known lines back to that record's start (or to the
    // first line), so a walk back stops at the first known line.
    const bool sparse = m_format && m_include != 0;
    std::vector<std::uint8_t>& known = m.known;
    const std::size_t first = out.size();
    known.clear();
    bool leading = sparse;  // before the first record start
    bool chase = false;     // the last line belongs to a record with an Include hit
    for (std::size_t s = 0; s < len;) {
        const std::size_t le = units.FirstBreak(s, len);
        std::uint64_t hitsOfLine = 0;
        for (std::size_t r = 0; r < m.hits.size(); ++r) {
            const std::vector<std::size_t>& hits = m.hits[r];
            if (next[r] < hits.size() && hits[next[r]] == s) {
                hitsOfLine |= std::uint64_t{1} << r;
                ++next[r];
            }
        }
        // Written in place: a line built aside and copied in costs more than its reading here.
        LineInfo& line = out.emplace_back();
        line.start = at + static_cast<std::int64_t>(s);
        line.hits = hitsOfLine;
        line.startsRecord = true;
        if (m_format) {
            const bool included = (hitsOfLine & m_include) != 0;
            if (!sparse || leading || chase || included) {
                read(line, s, le);
                if (sparse) {
                    leading = leading && !line.startsRecord;
                    chase = included || (chase && !line.startsRecord);
                    if (included && !line.startsRecord)
                        for (std::size_t j = out.size() - 1; j > first && !known[j - first - 1]; --j) {
                            LineInfo& back = out[j - 1];
                            const auto bs = static_cast<std::size_t>(back.start - at);
                            read(back, bs, units.FirstBreak(bs, std::min(len, bs + bound)));
                            known[j - first - 1] = 1;
                            if (back.startsRecord)
                                break;
                        }
                    known.push_back(1);
                }
            } else {
                line.passes = false;
                known.push_back(0);
            }
        }
        s = le < len ? units.StepOver(le, len) : len;
    }
    // The last record, which the lines after these may continue.
    if (sparse)
        for (std::size_t j = out.size(); j > first && !known[j - first - 1]; --j) {
            LineInfo& back = out[j - 1];
            const auto bs = static_cast<std::size_t>(back.start - at);
            read(back, bs, units.FirstBreak(bs, std::min(len, bs + bound)));
            if (back.startsRecord)
                break;
        }
}

void CShownSet::Feed(CShownDecision& d, const std::vector<LineInfo>& lines, std::int64_t end,
                     std::vector<ShownRun>& out) const
{
    d.Lines(lines.data(), lines.size(), end, out);
}

// The tentative runs of the last publish are taken back first, so that a
// reader never sees the set without them nor with them twice. The last news
// of a scan is sent with the scan marked over.
void CShownSet::Publish(bool force, bool last)
{
    std::function<void()> notify;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (m_tailFrom >= 0) {
            m_runs.Truncate(m_tailFrom - (m_tailLastValid ? 1 : 0));
            if (m_tailLastValid)
                m_runs.Append(m_tailLast);
            m_tailFrom = -1;
        }
        for (const ShownRun& r : m_new)
            m_runs.Append(r);
        m_new.clear();
        m_published = m_decision;
        m_publishedAt = m_scanned;
        const CShownDecision* d = &m_decision;
        m_finalTo = m_decision.FinalBefore();
        if (last && m_haveTail) {
            m_tailFrom = m_runs.Count();
            m_tailLastValid = m_tailFrom > 0;
            if (m_tailLastValid)
                m_tailLast = m_runs.At(m_tailFrom - 1);
            for (const ShownRun& r : m_tailRuns)
                m_runs.Append(r);
            d = &m_tailDecision;
            m_finalTo = m_scanEnd;
        }
        m_shownLines = d->ShownLines();
        m_totalLines = d->Lines();
        for (std::size_t r = 0; r < m_counts.size() && r < FilterStack::kMaxRules; ++r)
            m_counts[r] = d->RuleCount(r);
        notify = NotePublished(force, last);
    }
    if (notify)
        notify();
}

// ---- paging ----

std::int64_t CShownSet::ShownAtOrAfter(std::int64_t pos) const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    const std::int64_t i = m_runs.LastAtOrBefore(pos);
    if (i >= 0 && m_runs.At(i).end > pos)
        return pos;
    return i + 1 < m_runs.Count() ? m_runs.At(i + 1).start : -1;
}

std::int64_t CShownSet::ShownEndBefore(std::int64_t pos) const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    const std::int64_t i = m_runs.LastAtOrBefore(pos - 1);
    return i < 0 ? -1 : std::min(pos, m_runs.At(i).end);
}

bool CShownSet::IsShown(std::int64_t pos) const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    const std::int64_t i = m_runs.LastAtOrBefore(pos);
    return i >= 0 && m_runs.At(i).end > pos;
}

bool CShownSet::IsContext(std::int64_t pos) const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    const std::int64_t i = m_runs.LastAtOrBefore(pos);
    return i >= 0 && m_runs.At(i).end > pos && m_runs.At(i).context;
}

bool CShownSet::FollowsHidden(std::int64_t lineStart) const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    const std::int64_t i = m_runs.LastAtOrBefore(lineStart);
    if (i < 0 || m_runs.At(i).start != lineStart)
        return false;
    return i == 0 ? lineStart > m_dataStart : m_runs.At(i - 1).end != lineStart;
}

std::int64_t CShownSet::PosAfterShownBytes(std::int64_t bytes) const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_runs.PosAfterBytes(bytes);
}

ShownRun CShownSet::RunAtOrAfter(std::int64_t pos) const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    const std::int64_t i = m_runs.LastAtOrBefore(pos);
    if (i >= 0 && m_runs.At(i).end > pos)
        return m_runs.At(i);
    return i + 1 < m_runs.Count() ? m_runs.At(i + 1) : ShownRun{-1, -1, false};
}

std::int64_t CShownSet::ShownBytesBefore(std::int64_t pos) const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_runs.BytesBefore(pos);
}

std::int64_t CShownSet::ShownBytes() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_runs.Bytes();
}

std::vector<ShownRun> CShownSet::Runs(std::int64_t first, std::int64_t n) const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    std::vector<ShownRun> out;
    for (std::int64_t i = std::max<std::int64_t>(first, 0); i < m_runs.Count() && i < first + n; ++i)
        out.push_back(m_runs.At(i));
    return out;
}

AheadRuns CShownSet::ScanAhead(std::int64_t pos, std::int64_t maxBytes)
{
    CShownDecision d;
    std::int64_t from = 0, end = 0;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        end = m_target;
        if (!m_thread.joinable() || (!m_running && !m_rebuild && m_scanEnd >= m_target))
            return {{}, end};  // the set is whole
        if (pos <= m_publishedAt && !m_rebuild) {
            d = m_published;
            from = m_publishedAt;
        } else {
            d = CShownDecision(m_include, m_exclude, m_stack.combine == Combine::All, m_stack.context);
            from = std::max(pos, m_dataStart);
        }
    }
    AheadRuns out;
    out.reached = from;
    CScanReader reader(*m_reader, m_chunkBytes);
    std::vector<LineInfo> lines;
    std::int64_t at = from;
    const std::int64_t stop = std::min(end, from + std::max<std::int64_t>(maxBytes, m_unit));
    std::size_t chunk = m_chunkBytes;
    while (at < stop) {
        const std::int64_t want = std::min<std::int64_t>(static_cast<std::int64_t>(chunk), end - at);
        const std::size_t n = static_cast<std::size_t>(want) / m_unit * m_unit;
        if (n == 0 || reader.Read(at, n) < n)
            break;
        const Units units{reader.Data(), m_unit, m_cr, m_lf};
        const bool last = at + static_cast<std::int64_t>(n) == end;
        const std::size_t cut = last ? n : units.LastCut(n);
        if (cut == 0) {
            if (at + static_cast<std::int64_t>(chunk) >= stop)
                break;  // a line longer than what may be read here
            chunk *= 2;
            continue;
        }
        lines.clear();
        ListLines(m_aheadMatchers, reader.Data(), at, 0, cut, lines);
        Feed(d, lines, at + static_cast<std::int64_t>(cut), out.runs);
        at += static_cast<std::int64_t>(cut);
        out.reached = d.FinalBefore();
        if (last) {
            d.Finish(out.runs);
            out.reached = end;
        }
    }
    std::erase_if(out.runs, [&](const ShownRun& r) { return r.end <= pos; });
    return out;
}

}  // namespace shownset
