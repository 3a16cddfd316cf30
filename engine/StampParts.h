// The pieces that read a timestamp: digits, fractions, zones, month names,
// ISO 8601 stamps and the calendar arithmetic behind them. Go to Time and the
// log formats read stamps with the same pieces, so that a stamp means the same
// time whichever of them reads it. Text is ASCII (other characters as any byte
// that is no digit or letter).
#pragma once

#include "engine/LineIndex.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace timeseek {

// What a stamp without a year or zone needs: the year and month (1..12) of
// the file's modification time, as local time.
struct StampContext {
    int year = 1970;
    int month = 1;
};

namespace parts {

constexpr std::int64_t kMicros = 1000000;

inline bool IsDigit(char c)
{
    return c >= '0' && c <= '9';
}

// n digits at `at`.
bool Digits(std::string_view s, std::size_t at, std::size_t n, int& out);
// 1..3 month names (Jan..Dec, any case) at `at`: 1..12, or 0.
int MonthOf(std::string_view s, std::size_t at);
// Microseconds of a calendar time, taken as UTC or as local time (TZ). Days
// past the month's end roll over as the C library's mktime rolls them.
bool ToMicros(int y, int mo, int d, int h, int mi, int s, bool utc, std::int64_t& micros);
// A fraction of a second after a '.' or ',' at `at`: its microseconds and length (0: none).
std::size_t Fraction(std::string_view s, std::size_t at, std::int64_t& micros);
// Z, ±HH:MM, ±HHMM or ±HH at `at`: the offset east of UTC in seconds and the length (0: none).
std::size_t Zone(std::string_view s, std::size_t at, int& offset);
// An ISO 8601 time at `at` (date, T or space, time, fraction, zone); its
// length, 0 when there is none.
std::size_t IsoAt(std::string_view s, std::size_t at, bool secondsRequired, std::int64_t& micros);
// Whether IsoAt(s, at, true, ...) reads a time, without reading it: the date, the time to the second, and a
// second of at most 60 (what follows the seconds never decides it).
bool IsIsoStampAt(std::string_view s, std::size_t at);
// The year of a stamp that writes none: the file's, unless the month lies
// after the file's month, which only last year's December (say) can.
inline int YearFor(int month, const StampContext& ctx)
{
    return month > ctx.month ? ctx.year - 1 : ctx.year;
}
// A two-digit year: 1970..2069.
inline int CenturyYear(int yy)
{
    return yy < 70 ? 2000 + yy : 1900 + yy;
}

// ASCII of the code units in [p, p + n): breaks as '\n' (or the end, when
// `stopAtBreak`), UTF-16 characters above U+007F as '?', narrow bytes as they are.
std::string AsciiOfUnits(const std::uint8_t* p, std::size_t n, BreakUnits units, bool stopAtBreak);
// The same into `out`, whose storage is reused (a reader of many lines allocates once).
void AsciiOfUnits(const std::uint8_t* p, std::size_t n, BreakUnits units, bool stopAtBreak, std::string& out);

}  // namespace parts
}  // namespace timeseek
