// The pieces that read a timestamp, shared by Go to Time and the log formats.
#include "engine/StampParts.h"

#include "engine/CodeUnits.h"

#include <cstdlib>
#include <cstring>
#include <ctime>
#include <mutex>

namespace timeseek::parts {
namespace {

const char* const kMonths[] = {"jan", "feb", "mar", "apr", "may", "jun", "jul", "aug", "sep", "oct", "nov", "dec"};

char Lower(char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c;
}

// Days since 1970-01-01 of a proleptic Gregorian date (any day number rolls over).
std::int64_t DaysFromCivil(std::int64_t y, int m, int d)
{
    y -= m <= 2;
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const std::int64_t yoe = y - era * 400;
    const std::int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const std::int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

// The offset of local time from UTC for the local calendar time `localSecs`
// (seconds since 1970 as if it were UTC). mktime costs a lock and a look at
// the zone; the lines of a log lie in few hours, so the last answer is kept
// with the zone that tzset last set (its names and offset: a change of TZ
// counts from the next tzset, which mktime itself calls).
std::int64_t LocalOffset(std::int64_t localSecs)
{
    struct Cache {
        std::int64_t hour = INT64_MIN;
        std::int64_t offset = 0;
        const char* names[2] = {nullptr, nullptr};
        long zone = 0;
    };
    thread_local Cache cache;
    const std::int64_t hour = localSecs >= 0 ? localSecs / 3600 : (localSecs - 3599) / 3600;
    if (hour == cache.hour && cache.names[0] == tzname[0] && cache.names[1] == tzname[1] && cache.zone == timezone)
        return cache.offset;
    std::tm tm{};
    const std::time_t t = static_cast<std::time_t>(hour * 3600);
    gmtime_r(&t, &tm);
    tm.tm_isdst = -1;
    // mktime reads TZ again (tzset) and may replace the zone's strings: the pool's threads take turns, once
    // an hour of stamps each.
    static std::mutex zoneLock;
    std::lock_guard<std::mutex> lock(zoneLock);
    const std::time_t utc = std::mktime(&tm);  // sets tzname and timezone from TZ
    cache.hour = hour;
    cache.offset = static_cast<std::int64_t>(utc) - hour * 3600;
    cache.names[0] = tzname[0], cache.names[1] = tzname[1];
    cache.zone = timezone;
    return cache.offset;
}

}  // namespace

bool Digits(std::string_view s, std::size_t at, std::size_t n, int& out)
{
    if (at + n > s.size())
        return false;
    out = 0;
    for (std::size_t i = at; i < at + n; ++i) {
        if (!IsDigit(s[i]))
            return false;
        out = out * 10 + (s[i] - '0');
    }
    return true;
}

int MonthOf(std::string_view s, std::size_t at)
{
    if (at + 3 > s.size())
        return 0;
    const char a = Lower(s[at]), b = Lower(s[at + 1]), c = Lower(s[at + 2]);
    for (int m = 0; m < 12; ++m)
        if (a == kMonths[m][0] && b == kMonths[m][1] && c == kMonths[m][2])
            return m + 1;
    return 0;
}

bool ToMicros(int y, int mo, int d, int h, int mi, int s, bool utc, std::int64_t& micros)
{
    if (mo < 1 || mo > 12 || d < 1 || d > 31 || h > 23 || mi > 59 || s > 60 || h < 0 || mi < 0 || s < 0)
        return false;
    const std::int64_t secs = DaysFromCivil(y, mo, d) * 86400 + h * 3600 + mi * 60 + s;
    micros = (utc ? secs : secs + LocalOffset(secs)) * kMicros;
    return true;
}

std::size_t Fraction(std::string_view s, std::size_t at, std::int64_t& micros)
{
    micros = 0;
    if (at >= s.size() || (s[at] != '.' && s[at] != ','))
        return 0;
    std::size_t i = at + 1;
    std::int64_t scale = kMicros / 10;
    for (; i < s.size() && IsDigit(s[i]); ++i, scale /= 10)
        micros += (s[i] - '0') * scale;
    return i > at + 1 ? i - at : 0;
}

std::size_t Zone(std::string_view s, std::size_t at, int& offset)
{
    offset = 0;
    if (at < s.size() && s[at] == 'Z')
        return 1;
    if (at >= s.size() || (s[at] != '+' && s[at] != '-'))
        return 0;
    int h = 0, m = 0;
    if (!Digits(s, at + 1, 2, h))
        return 0;
    std::size_t n = 3;
    if (at + 3 < s.size() && s[at + 3] == ':' && Digits(s, at + 4, 2, m))
        n = 6;
    else if (Digits(s, at + 3, 2, m))
        n = 5;
    if (h > 14 || m > 59 || (at + n < s.size() && IsDigit(s[at + n])))
        return 0;
    offset = (h * 3600 + m * 60) * (s[at] == '-' ? -1 : 1);
    return n;
}

namespace {

// The date and the minute of an ISO stamp at `at` (its first 16 characters), as if it were UTC: false when
// they are not one.
bool IsoMinuteAt(std::string_view s, std::size_t at, std::int64_t& minute)
{
    // The lines of a log come minute by minute: a stamp whose first 16 characters (up to the minute) are those of
    // the last one read on this thread reuses that minute's date, read and checked then. It is most of the cost
    // of a pass that reads every record's time.
    struct Minute {
        char key[16] = {};
        std::int64_t secs = 0;  // the minute's start, as if it were UTC
        bool set = false;       // else the empty key would pass sixteen NULs for a stamp
    };
    // Lines of many threads or sources come out of order within the day: the day is kept on its own too.
    struct Day {
        char key[10] = {};
        std::int64_t secs = 0;  // the day's start, as if it were UTC
        bool set = false;
    };
    thread_local Minute last;
    thread_local Day lastDay;
    if (at + 16 > s.size())
        return false;
    if (last.set && std::memcmp(s.data() + at, last.key, 16) == 0) {
        minute = last.secs;
        return true;
    }
    int h, mi;
    if ((s[at + 10] != ' ' && s[at + 10] != 'T') || !Digits(s, at + 11, 2, h) || s[at + 13] != ':' ||
        !Digits(s, at + 14, 2, mi) || h > 23 || mi > 59)
        return false;
    std::int64_t day = 0;
    if (lastDay.set && std::memcmp(s.data() + at, lastDay.key, 10) == 0) {
        day = lastDay.secs;
    } else {
        int y, mo, d;
        if (!Digits(s, at, 4, y) || s[at + 4] != '-' || !Digits(s, at + 5, 2, mo) || s[at + 7] != '-' ||
            !Digits(s, at + 8, 2, d) || mo < 1 || mo > 12 || d < 1 || d > 31)
            return false;
        day = DaysFromCivil(y, mo, d) * 86400;
        std::memcpy(lastDay.key, s.data() + at, 10);
        lastDay.secs = day;
        lastDay.set = true;
    }
    minute = day + h * 3600 + mi * 60;
    std::memcpy(last.key, s.data() + at, 16);
    last.secs = minute;
    last.set = true;
    return true;
}

}  // namespace

bool IsIsoStampAt(std::string_view s, std::size_t at)
{
    // Asked of every line of a scan: the shape alone. Lines come hour by hour, so the date and hour (checked
    // once) of the last stamp of this thread that had the shape stand for this one's when its first 13
    // characters are the same.
    struct Hour {
        char key[13] = {};
        bool set = false;  // else thirteen NULs would pass for a stamp
    };
    thread_local Hour last;
    if (at + 19 > s.size())
        return false;
    const char* p = s.data() + at;
    const auto digit = [p](int i) { return static_cast<unsigned>(p[i] - '0') < 10; };
    const auto two = [p](int i) { return (p[i] - '0') * 10 + (p[i + 1] - '0'); };
    const bool sameHour = last.set && std::memcmp(p, last.key, 13) == 0;
    if (!sameHour) {
        if (!(digit(0) && digit(1) && digit(2) && digit(3) && p[4] == '-' && digit(5) && digit(6) && p[7] == '-' &&
              digit(8) && digit(9) && (p[10] == ' ' || p[10] == 'T') && digit(11) && digit(12)))
            return false;
        const int mo = two(5), d = two(8);
        if (mo < 1 || mo > 12 || d < 1 || d > 31 || two(11) > 23)
            return false;
        std::memcpy(last.key, p, 13);
        last.set = true;
    }
    return p[13] == ':' && digit(14) && digit(15) && p[16] == ':' && digit(17) && digit(18) && two(14) <= 59 &&
           two(17) <= 60;
}

std::size_t IsoAt(std::string_view s, std::size_t at, bool secondsRequired, std::int64_t& micros)
{
    int sec = 0;
    std::int64_t minute = 0;
    if (!IsoMinuteAt(s, at, minute))
        return 0;
    std::size_t n = 16;
    std::int64_t frac = 0;
    if (at + n < s.size() && s[at + n] == ':' && Digits(s, at + n + 1, 2, sec)) {
        n += 3;
        n += Fraction(s, at + n, frac);
    } else if (secondsRequired) {
        return 0;
    }
    int offset = 0;
    const std::size_t zone = Zone(s, at + n, offset);
    if (sec > 60)
        return 0;
    const std::int64_t secs = minute + sec;
    micros = (zone > 0 ? secs : secs + LocalOffset(secs)) * kMicros;
    micros += frac - static_cast<std::int64_t>(offset) * kMicros;
    return n + zone;
}

std::string AsciiOfUnits(const std::uint8_t* p, std::size_t n, BreakUnits units, bool stopAtBreak)
{
    std::string out;
    AsciiOfUnits(p, n, units, stopAtBreak, out);
    return out;
}

void AsciiOfUnits(const std::uint8_t* p, std::size_t n, BreakUnits units, bool stopAtBreak, std::string& out)
{
    out.resize(n / units.unit);
    std::size_t k = 0;
    if (units.unit == 1) {
        const std::uint8_t cr = static_cast<std::uint8_t>(units.cr), lf = static_cast<std::uint8_t>(units.lf);
        // Where to stop first, by the C library's scans; then one loop without a way out, which the compiler
        // makes a vector loop (a sample of 128 KiB passes here whole).
        std::size_t stop = n;
        if (stopAtBreak) {
            if (const void* at = std::memchr(p, lf, n))
                stop = static_cast<std::size_t>(static_cast<const std::uint8_t*>(at) - p);
            if (const void* at = std::memchr(p, cr, stop))
                stop = static_cast<std::size_t>(static_cast<const std::uint8_t*>(at) - p);
        }
        char* o = out.data();
        for (; k < stop; ++k) {
            const std::uint8_t c = p[k];
            o[k] = c == cr || c == lf ? '\n' : c < 0x80 ? static_cast<char>(c) : '?';
        }
    } else {
        const bool swap = units.cr != 0x0D;
        for (; k < out.size(); ++k) {
            const std::uint16_t u = codeunits::Load16(p + 2 * k);
            const bool brk = u == units.cr || u == units.lf;
            if (brk && stopAtBreak)
                break;
            const std::uint16_t c = swap ? codeunits::Swap16(u) : u;
            out[k] = brk ? '\n' : c < 0x80 ? static_cast<char>(c) : '?';
        }
    }
    out.resize(k);
}

}  // namespace timeseek::parts
