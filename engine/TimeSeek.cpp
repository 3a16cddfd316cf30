// Timestamps of log lines and the bisection over a file's bytes.
#include "engine/TimeSeek.h"

#include "engine/CodeUnits.h"
#include "engine/StampParts.h"

#include <algorithm>
#include <cstring>
#include <ctime>

namespace timeseek {
namespace {

using namespace parts;

// Where a stamp may stand: near the start of a line, after a level or a tag.
constexpr std::size_t kSearchWidth = 64;

bool FindIso(std::string_view line, std::int64_t& micros)
{
    const std::size_t stop = std::min(line.size(), kSearchWidth);
    for (std::size_t i = 0; i < stop; ++i)
        if (IsDigit(line[i]) && (i == 0 || !IsDigit(line[i - 1])) && IsoAt(line, i, true, micros))
            return true;
    return false;
}

bool SyslogAt(std::string_view s, const StampContext& ctx, std::int64_t& micros)
{
    int d = 0, h, mi, sec;
    const int mo = MonthOf(s, 0);
    if (!mo || s.size() < 15 || s[3] != ' ')
        return false;
    if (s[4] == ' ' ? !Digits(s, 5, 1, d) : !Digits(s, 4, 2, d))
        return false;
    if (s[6] != ' ' || !Digits(s, 7, 2, h) || s[9] != ':' || !Digits(s, 10, 2, mi) || s[12] != ':' ||
        !Digits(s, 13, 2, sec))
        return false;
    // The year is not written.
    return ToMicros(YearFor(mo, ctx), mo, d, h, mi, sec, false, micros);
}

bool FindWebLog(std::string_view line, std::int64_t& micros)
{
    const std::size_t open = line.find('[');
    if (open == std::string_view::npos || open > kSearchWidth * 2)
        return false;
    const std::string_view s = line.substr(open + 1);
    int d, y, h, mi, sec;
    const int mo = s.size() >= 20 ? MonthOf(s, 3) : 0;
    if (!mo || !Digits(s, 0, 2, d) || s[2] != '/' || s[6] != '/' || !Digits(s, 7, 4, y) || s[11] != ':' ||
        !Digits(s, 12, 2, h) || s[14] != ':' || !Digits(s, 15, 2, mi) || s[17] != ':' || !Digits(s, 18, 2, sec))
        return false;
    int offset = 0;
    const std::size_t zone = s.size() > 21 && s[20] == ' ' ? Zone(s, 21, offset) : 0;
    if (!ToMicros(y, mo, d, h, mi, sec, zone > 0, micros))
        return false;
    micros -= static_cast<std::int64_t>(offset) * kMicros;
    return true;
}

bool EpochAt(std::string_view s, std::int64_t& micros)
{
    std::size_t n = 0;
    std::int64_t secs = 0;
    for (; n < s.size() && IsDigit(s[n]) && n < 12; ++n)
        secs = secs * 10 + (s[n] - '0');
    // Nine or ten digits: 1973 to 2286, not a count or a line number.
    if (n < 9 || n > 10 || (n < s.size() && (IsDigit(s[n]) || std::isalpha(static_cast<unsigned char>(s[n])))))
        return false;
    std::int64_t frac = 0;
    const std::size_t f = s.size() > n && s[n] == '.' ? Fraction(s, n, frac) : 0;
    if (n + f < s.size() && s[n + f] != ' ' && s[n + f] != '\t' && s[n + f] != ']' && s[n + f] != ',')
        return false;
    micros = secs * kMicros + frac;
    return true;
}

}  // namespace

bool ParseUserTime(std::string_view text, std::int64_t& micros)
{
    while (!text.empty() && text.front() == ' ')
        text.remove_prefix(1);
    while (!text.empty() && text.back() == ' ')
        text.remove_suffix(1);
    return !text.empty() && IsoAt(text, 0, false, micros) == text.size();
}

bool ParseStamp(StampFormat format, std::string_view line, const StampContext& ctx, std::int64_t& micros)
{
    switch (format) {
    case StampFormat::Iso: return FindIso(line, micros);
    case StampFormat::Syslog: return SyslogAt(line, ctx, micros);
    case StampFormat::WebLog: return FindWebLog(line, micros);
    case StampFormat::Epoch: return EpochAt(line, micros);
    case StampFormat::None: break;
    }
    return false;
}

StampFormat DetectFormat(std::string_view lines, const StampContext& ctx)
{
    const StampFormat formats[] = {StampFormat::Iso, StampFormat::Syslog, StampFormat::WebLog, StampFormat::Epoch};
    int hits[4] = {};
    std::size_t at = 0;
    while (at < lines.size()) {
        std::size_t end = lines.find_first_of("\r\n", at);
        if (end == std::string_view::npos)
            end = lines.size();
        std::int64_t t;
        for (int f = 0; f < 4; ++f)
            hits[f] += ParseStamp(formats[f], lines.substr(at, end - at), ctx, t) ? 1 : 0;
        at = end + 1;
    }
    const int best = static_cast<int>(std::max_element(hits, hits + 4) - hits);
    return hits[best] > 0 ? formats[best] : StampFormat::None;
}

}  // namespace timeseek

using timeseek::StampFormat;

namespace {
constexpr std::int64_t kPiece = 1024;           // bytes read at once while looking for a line
constexpr std::int64_t kStampBytes = 256;       // bytes of a line read for its stamp
constexpr std::int64_t kLastRange = 16 * 1024;  // scanned line by line at the end of the bisection
constexpr std::int64_t kDetectBytes = 8 * 1024;
}  // namespace

CTimeSeeker::CTimeSeeker(IChunkReader& reader, std::int64_t dataStart, std::int64_t dataEnd, BreakUnits units,
                         timeseek::StampContext ctx)
    : m_reader(reader), m_nStart(dataStart), m_nEnd(dataEnd), m_units(units), m_ctx(ctx)
{
}

std::uint64_t CTimeSeeker::Read(std::uint8_t* buffer, std::uint64_t n, std::int64_t offset)
{
    if (n > static_cast<std::uint64_t>(kPiece)) {
        const std::uint64_t got = m_reader.Read(buffer, n, offset);
        m_nBytesRead += got;
        return got - got % m_units.unit;
    }
    const auto within = [&] {
        return m_nCacheAt >= 0 && offset >= m_nCacheAt &&
               static_cast<std::uint64_t>(offset - m_nCacheAt) + n <= m_nCacheLength;
    };
    if (!within()) {
        m_nCacheAt = offset - offset % 512;
        m_nCacheLength = m_reader.Read(m_cache, sizeof m_cache, m_nCacheAt);
        m_nBytesRead += m_nCacheLength;
    }
    const std::uint64_t have =
        offset >= m_nCacheAt + static_cast<std::int64_t>(m_nCacheLength)
            ? 0
            : std::min<std::uint64_t>(n, m_nCacheLength - static_cast<std::uint64_t>(offset - m_nCacheAt));
    if (have)
        std::memcpy(buffer, m_cache + (offset - m_nCacheAt), have);
    return have - have % m_units.unit;
}

std::uint16_t CTimeSeeker::Unit(const std::uint8_t* p) const
{
    return m_units.unit == 1 ? *p : codeunits::Load16(p);
}

std::string CTimeSeeker::Ascii(std::int64_t from, std::int64_t n, bool stopAtBreak)
{
    std::uint8_t buf[kDetectBytes];
    n = std::min<std::int64_t>({n, m_nEnd - from, kDetectBytes});
    const std::uint64_t got = n > 0 ? Read(buf, static_cast<std::uint64_t>(n), from) : 0;
    return timeseek::parts::AsciiOfUnits(buf, got, m_units, stopAtBreak);
}

StampFormat CTimeSeeker::Detect()
{
    std::string lines = Ascii(m_nStart, kDetectBytes, false);
    if (m_nEnd - m_nStart > kDetectBytes) {
        std::int64_t tail = std::max(m_nStart, m_nEnd - kDetectBytes);
        tail -= (tail - m_nStart) % m_units.unit;
        // The first line of the tail is cut: it starts no line.
        const std::string end = Ascii(tail, kDetectBytes, false);
        const std::size_t cut = end.find('\n');
        lines += '\n';
        lines += cut == std::string::npos ? std::string() : end.substr(cut + 1);
    }
    m_format = timeseek::DetectFormat(lines, m_ctx);
    return m_format;
}

std::int64_t CTimeSeeker::NextLineStart(std::int64_t from, std::int64_t limit)
{
    std::uint8_t buf[kPiece];
    const std::int64_t unit = m_units.unit;
    for (std::int64_t at = from; at < limit;) {
        const std::uint64_t got = Read(buf, static_cast<std::uint64_t>(std::min(kPiece, limit - at)), at);
        if (!got)
            return limit;
        for (std::uint64_t i = 0; i < got; i += unit) {
            const std::uint16_t u = Unit(buf + i);
            if (!IsBreak(u))
                continue;
            std::int64_t next = at + static_cast<std::int64_t>(i) + unit;
            std::uint8_t b[2];
            if (next < m_nEnd && Read(b, static_cast<std::uint64_t>(unit), next) == static_cast<std::uint64_t>(unit) &&
                IsBreak(Unit(b)) && Unit(b) != u)
                next += unit;
            return std::min(next, limit);
        }
        at += static_cast<std::int64_t>(got);
    }
    return limit;
}

CTimeSeeker::Line CTimeSeeker::LineAt(std::int64_t start, std::int64_t limit)
{
    Line line;
    line.start = start;
    const std::string text = Ascii(start, kStampBytes * m_units.unit, true);
    line.stamped =
        m_stampReader ? m_stampReader(text, line.micros) : timeseek::ParseStamp(m_format, text, m_ctx, line.micros);
    line.next = NextLineStart(start, limit);
    return line;
}

CTimeSeeker::Line CTimeSeeker::FirstStampedFrom(std::int64_t from, std::int64_t limit)
{
    for (std::int64_t at = from; at < limit;) {
        const Line line = LineAt(at, m_nEnd);
        if (line.stamped)
            return line;
        if (line.next <= at)
            break;
        at = line.next;
    }
    return {};
}

CTimeSeeker::Result CTimeSeeker::Seek(std::int64_t micros)
{
    if (m_format == StampFormat::None && !m_stampReader)
        return {};
    // Every stamped line starting before lo is earlier than the time; the
    // answer starts before hi or is `found`, the first stamped line after hi.
    // No stamped line seen earlier than the time: the answer is the first one,
    // and the first line of the file is shown (the file's head need not be scanned).
    std::int64_t lo = m_nStart, hi = m_nEnd;
    bool earlier = false;
    Line found;
    const std::int64_t unit = m_units.unit;
    while (hi - lo > kLastRange) {
        std::int64_t mid = lo + (hi - lo) / 2;
        mid -= (mid - m_nStart) % unit;
        // From the unit before mid: a line that starts at mid is probed, not stepped over (the final scan
        // stops before hi = mid, so a line starting there would be lost).
        const Line probe = FirstStampedFrom(mid > m_nStart ? NextLineStart(mid - unit, hi) : mid, hi);
        if (probe.start >= 0 && probe.micros < micros) {
            lo = probe.next;
            earlier = true;
        } else {
            if (probe.start >= 0)
                found = probe;
            hi = mid;
        }
    }
    for (std::int64_t at = lo; at < hi && found.start != at;) {
        const Line line = LineAt(at, m_nEnd);
        if (line.stamped && line.micros >= micros) {
            found = line;
            break;
        }
        earlier = earlier || line.stamped;
        if (line.next <= at)
            break;
        at = line.next;
    }
    if (found.start < 0)
        return {earlier ? Outcome::AfterLast : Outcome::NoStamps, -1};
    if (!earlier)
        return {found.micros > micros ? Outcome::BeforeFirst : Outcome::Found, m_nStart};
    return {Outcome::Found, found.start};
}
