// The built-in log formats, users' formats, and detection.
#include "engine/LogFormat.h"

#include "engine/TimeSeek.h"

#include <re2/re2.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <ostream>
#include <sstream>

namespace logformat {

using namespace timeseek::parts;
using timeseek::StampContext;

namespace {

char Lower(char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c;
}

bool IsAlpha(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

bool IsSpace(char c)
{
    return c == ' ' || c == '\t';
}

std::size_t SkipSpaces(std::string_view s, std::size_t i)
{
    while (i < s.size() && IsSpace(s[i]))
        ++i;
    return i;
}

// The end of the run of characters other than spaces from i.
std::size_t TokenEnd(std::string_view s, std::size_t i)
{
    while (i < s.size() && !IsSpace(s[i]))
        ++i;
    return i;
}

bool EqualsNoCase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (Lower(a[i]) != Lower(b[i]))
            return false;
    return true;
}

// Digits from `at`, at least `min` and at most `max` (more may follow): their value and count (0: none).
std::size_t DigitRun(std::string_view s, std::size_t at, std::size_t min, std::size_t max, std::int64_t& value)
{
    std::size_t n = 0;
    value = 0;
    while (at + n < s.size() && n < max && IsDigit(s[at + n]))
        value = value * 10 + (s[at + n++] - '0');
    return n >= min ? n : 0;
}

// HH:MM:SS at `at`, then a fraction when `fraction` allows one (required when Required).
enum class Frac { No, Optional, Required };
std::size_t ClockAt(std::string_view s, std::size_t at, Frac fraction, int& h, int& mi, int& sec, std::int64_t& frac)
{
    frac = 0;
    if (!Digits(s, at, 2, h) || at + 2 >= s.size() || s[at + 2] != ':' || !Digits(s, at + 3, 2, mi) ||
        at + 5 >= s.size() || s[at + 5] != ':' || !Digits(s, at + 6, 2, sec))
        return 0;
    std::size_t n = 8;
    const std::size_t f = fraction == Frac::No ? 0 : Fraction(s, at + n, frac);
    if (fraction == Frac::Required && !f)
        return 0;
    if (fraction == Frac::No && at + n < s.size() && (s[at + n] == '.' || s[at + n] == ','))
        return 0;
    return n + f;
}

// A number as an epoch time: seconds (9-10 digits, maybe a fraction), milliseconds (12-13),
// microseconds (15-16) or nanoseconds (18-19). Its length, 0 when it is none.
std::size_t EpochNumber(std::string_view s, std::size_t at, std::int64_t& micros, bool& fraction)
{
    std::int64_t v = 0;
    const std::size_t n = DigitRun(s, at, 9, 19, v);
    fraction = false;
    if (!n || (at + n < s.size() && IsDigit(s[at + n])))
        return 0;
    if (n <= 10) {
        std::int64_t frac = 0;
        const std::size_t f = s.size() > at + n && s[at + n] == '.' ? Fraction(s, at + n, frac) : 0;
        micros = v * kMicros + frac;
        fraction = f > 0;
        return n + f;
    }
    fraction = true;
    if (n >= 12 && n <= 13)
        micros = v * 1000;
    else if (n >= 15 && n <= 16)
        micros = v;
    else if (n >= 18)
        micros = v / 1000;
    else
        return 0;
    return n;
}

// The first level word among the first `tokens` words from `from`: a word in
// brackets, or ended by a colon, counts; a separator alone ("-", "|") is no word.
Level LevelInTokens(std::string_view s, std::size_t from, int tokens)
{
    std::size_t i = from;
    while (tokens > 0 && i < s.size()) {
        i = SkipSpaces(s, i);
        if (i >= s.size())
            break;
        std::size_t end = TokenEnd(s, i);
        if (s[i] == '[') {
            const std::size_t close = s.find(']', i);
            if (close != std::string_view::npos && close > end)
                end = close + 1;
        }
        std::string_view word = s.substr(i, end - i);
        const auto strip = [](char c) {
            return c == '[' || c == ']' || c == '(' || c == ')' || c == '<' || c == '>' || c == ':' || c == '|' ||
                   c == '-' || c == ',';
        };
        while (!word.empty() && strip(word.front()))
            word.remove_prefix(1);
        while (!word.empty() && strip(word.back()))
            word.remove_suffix(1);
        if (!word.empty()) {
            const Level level = LevelOfWord(word);
            if (level != Level::None)
                return level;
            --tokens;
        }
        i = end;
    }
    return Level::None;
}

// The level word in brackets at `at` ("[error]", Apache's "[core:error]"): its
// level and the length through the bracket, 0 when there is none.
std::size_t BracketedLevel(std::string_view s, std::size_t at, Level& level)
{
    if (at >= s.size() || s[at] != '[')
        return 0;
    const std::size_t close = s.find(']', at);
    if (close == std::string_view::npos || close - at > 40)
        return 0;
    std::string_view word = s.substr(at + 1, close - at - 1);
    if (const std::size_t colon = word.rfind(':'); colon != std::string_view::npos)
        word.remove_prefix(colon + 1);
    level = LevelOfWord(word);
    return level == Level::None ? 0 : close - at + 1;
}

// A syslog stamp "Mmm dd HH:MM:SS" at `at` (the day as "dd", " d" or "d"); its length.
std::size_t SyslogStampAt(std::string_view s, std::size_t at, Frac fraction, const StampContext& ctx, LineRead& out)
{
    const int mo = MonthOf(s, at);
    if (!mo || at + 4 >= s.size() || s[at + 3] != ' ')
        return 0;
    std::size_t i = at + 4;
    if (s[i] == ' ')
        ++i;
    std::int64_t d = 0;
    const std::size_t dn = DigitRun(s, i, 1, 2, d);
    if (!dn || i + dn >= s.size() || s[i + dn] != ' ')
        return 0;
    i += dn + 1;
    int h, mi, sec;
    std::int64_t frac;
    const std::size_t c = ClockAt(s, i, fraction, h, mi, sec, frac);
    if (!c || !ToMicros(YearFor(mo, ctx), mo, static_cast<int>(d), h, mi, sec, false, out.micros))
        return 0;
    out.micros += frac;
    out.fraction = frac != 0 || fraction == Frac::Required;
    return i + c - at;
}

// An ISO stamp at `at` with seconds; a zone after one space ("+0100") is taken too.
std::size_t IsoStampAt(std::string_view s, std::size_t at, LineRead& out)
{
    std::size_t n = IsoAt(s, at, true, out.micros);
    if (!n)
        return 0;
    out.fraction = at + 19 < s.size() && (s[at + 19] == '.' || s[at + 19] == ',') && n > 20;
    int offset = 0;
    const char last = s[at + n - 1];
    if (IsDigit(last) && at + n + 1 < s.size() && s[at + n] == ' ' && (s[at + n + 1] == '+' || s[at + n + 1] == '-')) {
        const std::size_t z = Zone(s, at + n + 1, offset);
        if (z >= 5) {
            // Read again as UTC, then moved by the zone.
            std::int64_t utc = 0;
            const std::string stamp = std::string(s.substr(at, n)) + "Z";
            IsoAt(stamp, 0, true, utc);
            out.micros = utc - static_cast<std::int64_t>(offset) * kMicros;
            n += 1 + z;
        }
    }
    return n;
}

// --- the families ---------------------------------------------------------------

bool ReadIso(std::string_view s, const StampContext&, LineRead& out)
{
    const std::size_t at = !s.empty() && s[0] == '[' ? 1 : 0;
    const std::size_t n = IsoStampAt(s, at, out);
    if (!n)
        return false;
    out.level = LevelInTokens(s, at + n, 2);
    return true;
}

// ISO lines start a record by their stamp alone, whose shape says it without reading the time.
bool StartsIso(std::string_view s, const StampContext&, LineRead&)
{
    return timeseek::parts::IsIsoStampAt(s, !s.empty() && s[0] == '[' ? 1 : 0);
}

bool ReadIsoAfterToken(std::string_view s, const StampContext&, LineRead& out)
{
    if (s.empty() || IsSpace(s[0]) || IsDigit(s[0]))
        return false;
    const std::size_t at = SkipSpaces(s, TokenEnd(s, 0));
    if (at == TokenEnd(s, 0) || at > 80)
        return false;
    const std::size_t n = IsoStampAt(s, at, out);
    if (!n)
        return false;
    out.level = LevelInTokens(s, at + n, 2);
    return true;
}

bool ReadCbs(std::string_view s, const StampContext&, LineRead& out)
{
    const std::size_t n = IsoAt(s, 0, true, out.micros);
    if (n != 19 || s[10] != ' ' || s.size() < 22 || s[19] != ',' || s[20] != ' ')
        return false;
    const std::size_t w = SkipSpaces(s, 20);
    const std::size_t e = TokenEnd(s, w);
    out.level = LevelOfWord(s.substr(w, e - w));
    return out.level != Level::None && SkipSpaces(s, e) > e && SkipSpaces(s, e) < s.size();
}

// "<PRI>" at the start: its severity's level and the length (0: none).
std::size_t Priority(std::string_view s, Level& level)
{
    if (s.empty() || s[0] != '<')
        return 0;
    std::int64_t pri = 0;
    const std::size_t n = DigitRun(s, 1, 1, 3, pri);
    if (!n || 1 + n >= s.size() || s[1 + n] != '>' || pri > 191)
        return 0;
    level = LevelOfSeverity(static_cast<int>(pri % 8));
    return n + 2;
}

bool ReadSyslog(std::string_view s, const StampContext& ctx, LineRead& out)
{
    Level level = Level::None;
    const std::size_t at = Priority(s, level);
    const std::size_t n = SyslogStampAt(s, at, Frac::No, ctx, out);
    // Then one space and the host.
    if (!n || at + n + 1 >= s.size() || s[at + n] != ' ' || IsSpace(s[at + n + 1]))
        return false;
    out.level = level;
    return true;
}

bool ReadSyslog5424(std::string_view s, const StampContext&, LineRead& out)
{
    Level level = Level::None;
    const std::size_t at = Priority(s, level);
    if (!at || at + 2 >= s.size() || !IsDigit(s[at]) || s[at + 1] != ' ')
        return false;
    const std::size_t n = IsoStampAt(s, at + 2, out);
    if (!n || s[at + 2 + 10] != 'T')
        return false;
    out.level = level;
    return true;
}

bool ReadJournalPrecise(std::string_view s, const StampContext& ctx, LineRead& out)
{
    const std::size_t n = SyslogStampAt(s, 0, Frac::Required, ctx, out);
    return n && n < s.size() && s[n] == ' ';
}

bool ReadJournalIso(std::string_view s, const StampContext&, LineRead& out)
{
    const std::size_t n = IsoStampAt(s, 0, out);
    if (!n || s[10] != 'T' || (s[n - 1] != 'Z' && !IsDigit(s[n - 1])) || n < 20 || n >= s.size() || s[n] != ' ')
        return false;
    // A zone is written: the stamp ends in Z or in the zone's digits after + or -.
    const std::string_view stamp = s.substr(0, n);
    if (stamp.back() != 'Z' && stamp.find_first_of("+-", 19) == std::string_view::npos)
        return false;
    const std::size_t host = n + 1, hostEnd = TokenEnd(s, host);
    if (hostEnd == host || hostEnd >= s.size())
        return false;
    const std::size_t prog = hostEnd + 1, progEnd = TokenEnd(s, prog);
    return progEnd > prog && s[progEnd - 1] == ':';
}

bool ReadLogcat(std::string_view s, const StampContext& ctx, LineRead& out)
{
    int mo, d, h, mi, sec;
    std::int64_t frac, id;
    if (!Digits(s, 0, 2, mo) || s.size() < 20 || s[2] != '-' || !Digits(s, 3, 2, d) || s[5] != ' ')
        return false;
    const std::size_t c = ClockAt(s, 6, Frac::Required, h, mi, sec, frac);
    if (!c)
        return false;
    std::size_t i = 6 + c;
    for (int k = 0; k < 2; ++k) {  // the process and the thread
        const std::size_t sp = SkipSpaces(s, i);
        const std::size_t n = sp > i ? DigitRun(s, sp, 1, 7, id) : 0;
        if (!n)
            return false;
        i = sp + n;
    }
    if (i + 2 >= s.size() || s[i] != ' ' || s[i + 2] != ' ')
        return false;
    out.level = LevelOfLetter(s[i + 1]);
    if (out.level == Level::None || !ToMicros(YearFor(mo, ctx), mo, d, h, mi, sec, false, out.micros))
        return false;
    out.micros += frac;
    out.fraction = true;
    return true;
}

bool ReadApacheError(std::string_view s, const StampContext&, LineRead& out)
{
    // [Www Mmm dd HH:MM:SS[.ffffff] yyyy] [level]
    int d, y, h, mi, sec;
    std::int64_t frac;
    if (s.size() < 28 || s[0] != '[' || !IsAlpha(s[1]) || s[4] != ' ')
        return false;
    const int mo = MonthOf(s, 5);
    if (!mo || s[8] != ' ' || !Digits(s, 9, 2, d) || s[11] != ' ')
        return false;
    const std::size_t c = ClockAt(s, 12, Frac::Optional, h, mi, sec, frac);
    if (!c || s.size() < 12 + c + 6 || s[12 + c] != ' ' || !Digits(s, 13 + c, 4, y) || s[17 + c] != ']')
        return false;
    Level level = Level::None;
    if (!BracketedLevel(s, SkipSpaces(s, 18 + c), level) || !ToMicros(y, mo, d, h, mi, sec, false, out.micros))
        return false;
    out.micros += frac;
    out.fraction = c > 8;
    out.level = level;
    return true;
}

bool ReadApacheAccess(std::string_view s, const StampContext& ctx, LineRead& out)
{
    if (s.empty() || IsSpace(s[0]) || !timeseek::ParseStamp(timeseek::StampFormat::WebLog, s, ctx, out.micros))
        return false;
    const std::size_t close = s.find("] \"");
    return close != std::string_view::npos && close < 160;
}

bool ReadNginx(std::string_view s, const StampContext&, LineRead& out)
{
    int y, mo, d, h, mi, sec;
    std::int64_t frac;
    if (!Digits(s, 0, 4, y) || s.size() < 20 || s[4] != '/' || !Digits(s, 5, 2, mo) || s[7] != '/' ||
        !Digits(s, 8, 2, d) || s[10] != ' ')
        return false;
    const std::size_t c = ClockAt(s, 11, Frac::No, h, mi, sec, frac);
    if (!c || !ToMicros(y, mo, d, h, mi, sec, false, out.micros))
        return false;
    if (11 + c < s.size() && s[11 + c] == ' ')
        BracketedLevel(s, 12 + c, out.level);
    return 11 + c == s.size() || s[11 + c] == ' ';
}

bool ReadKlog(std::string_view s, const StampContext& ctx, LineRead& out)
{
    int mo, d, h, mi, sec;
    std::int64_t frac;
    if (s.size() < 22 || !Digits(s, 1, 2, mo) || !Digits(s, 3, 2, d) || s[5] != ' ')
        return false;
    out.level = LevelOfLetter(s[0]);
    const std::size_t c = ClockAt(s, 6, Frac::Required, h, mi, sec, frac);
    if ((s[0] != 'I' && s[0] != 'W' && s[0] != 'E' && s[0] != 'F') || !c || 6 + c >= s.size() || s[6 + c] != ' ' ||
        !ToMicros(YearFor(mo, ctx), mo, d, h, mi, sec, false, out.micros))
        return false;
    out.micros += frac;
    out.fraction = true;
    return true;
}

bool ReadHdfs(std::string_view s, const StampContext&, LineRead& out)
{
    int y, mo, d, h, mi, sec;
    if (!Digits(s, 0, 2, y) || s.size() < 15 || !Digits(s, 2, 2, mo) || !Digits(s, 4, 2, d) || s[6] != ' ' ||
        !Digits(s, 7, 2, h) || !Digits(s, 9, 2, mi) || !Digits(s, 11, 2, sec) || s[13] != ' ')
        return false;
    std::int64_t pid;
    const std::size_t n = DigitRun(s, 14, 1, 10, pid);
    if (!n || 14 + n >= s.size() || s[14 + n] != ' ')
        return false;
    const std::size_t w = 15 + n, e = TokenEnd(s, w);
    out.level = LevelOfWord(s.substr(w, e - w));
    return ToMicros(CenturyYear(y), mo, d, h, mi, sec, false, out.micros);
}

bool ReadSpark(std::string_view s, const StampContext&, LineRead& out)
{
    int y, mo, d, h, mi, sec;
    std::int64_t frac;
    if (!Digits(s, 0, 2, y) || s.size() < 18 || s[2] != '/' || !Digits(s, 3, 2, mo) || s[5] != '/' ||
        !Digits(s, 6, 2, d) || s[8] != ' ')
        return false;
    const std::size_t c = ClockAt(s, 9, Frac::Optional, h, mi, sec, frac);
    if (!c || !ToMicros(CenturyYear(y), mo, d, h, mi, sec, false, out.micros))
        return false;
    out.micros += frac;
    out.fraction = c > 8;
    out.level = LevelInTokens(s, 9 + c, 1);
    return 9 + c == s.size() || s[9 + c] == ' ';
}

bool ReadCompact(std::string_view s, const StampContext&, LineRead& out)
{
    // yyyyMMdd-HH:mm:ss:SSS
    int y, mo, d, h, mi, sec, ms;
    if (!Digits(s, 0, 4, y) || s.size() < 21 || !Digits(s, 4, 2, mo) || !Digits(s, 6, 2, d) || s[8] != '-' ||
        !Digits(s, 9, 2, h) || s[11] != ':' || !Digits(s, 12, 2, mi) || s[14] != ':' || !Digits(s, 15, 2, sec) ||
        s[17] != ':')
        return false;
    std::int64_t frac;
    const std::size_t n = DigitRun(s, 18, 1, 3, frac);
    ms = static_cast<int>(frac);
    if (!n || (18 + n < s.size() && s[18 + n] != '|' && !IsSpace(s[18 + n])) ||
        !ToMicros(y, mo, d, h, mi, sec, false, out.micros))
        return false;
    out.micros += ms * 1000;
    out.fraction = true;
    return true;
}

bool ReadBracketed(std::string_view s, const StampContext& ctx, LineRead& out)
{
    // [MM.dd HH:mm:ss]
    int mo, d, h, mi, sec;
    std::int64_t frac;
    if (s.size() < 16 || s[0] != '[' || !Digits(s, 1, 2, mo) || s[3] != '.' || !Digits(s, 4, 2, d) || s[6] != ' ')
        return false;
    const std::size_t c = ClockAt(s, 7, Frac::Optional, h, mi, sec, frac);
    if (!c || 7 + c >= s.size() || s[7 + c] != ']' || !ToMicros(YearFor(mo, ctx), mo, d, h, mi, sec, false, out.micros))
        return false;
    out.micros += frac;
    out.fraction = c > 8;
    out.level = LevelInTokens(s, 8 + c, 1);
    return true;
}

bool ReadEpoch(std::string_view s, const StampContext& ctx, LineRead& out)
{
    if (!timeseek::ParseStamp(timeseek::StampFormat::Epoch, s, ctx, out.micros))
        return false;
    out.fraction = s.size() > 10 && (s[9] == '.' || s[10] == '.');
    out.level = LevelInTokens(s, TokenEnd(s, 0), 2);
    return true;
}

bool ReadEpochAfterToken(std::string_view s, const StampContext& ctx, LineRead& out)
{
    if (s.empty() || IsSpace(s[0]) || IsDigit(s[0]))
        return false;
    const std::size_t at = TokenEnd(s, 0);
    if (at + 1 >= s.size() || s[at] != ' ' || at > 40 ||
        !timeseek::ParseStamp(timeseek::StampFormat::Epoch, s.substr(at + 1), ctx, out.micros))
        return false;
    // Where the family writes a level: the ninth word (label, epoch, date,
    // node, time, node, type, component, level).
    std::size_t i = at;
    for (int k = 1; k < 8 && i < s.size(); ++k)
        i = TokenEnd(s, SkipSpaces(s, i));
    const std::size_t w = SkipSpaces(s, i), e = TokenEnd(s, w);
    const std::string_view word = s.substr(w, e - w);
    if (!word.empty() && std::all_of(word.begin(), word.end(), [](char c) { return c >= 'A' && c <= 'Z'; }))
        out.level = LevelOfWord(word);
    return true;
}

// A key's value from `at`: quoted (without its quotes) or up to a space.
std::string_view LogfmtValue(std::string_view s, std::size_t at, std::size_t& end)
{
    if (at < s.size() && s[at] == '"') {
        std::size_t i = at + 1;
        while (i < s.size() && s[i] != '"')
            i += s[i] == '\\' ? 2 : 1;
        end = std::min(i + 1, s.size());
        return s.substr(at + 1, std::min(i, s.size()) - at - 1);
    }
    end = TokenEnd(s, at);
    return s.substr(at, end - at);
}

bool StampValue(std::string_view v, LineRead& out)
{
    if (v.size() >= 19 && IsoAt(v, 0, true, out.micros)) {
        out.fraction = v.size() > 20 && (v[19] == '.' || v[19] == ',');
        return true;
    }
    return EpochNumber(v, 0, out.micros, out.fraction) == v.size() && !v.empty();
}

Level NumericOrWordLevel(std::string_view v)
{
    std::int64_t n = 0;
    if (!v.empty() && DigitRun(v, 0, 1, 3, n) == v.size()) {
        // Bunyan's and pino's numbers.
        return n >= 60   ? Level::Fatal
               : n >= 50 ? Level::Error
               : n >= 40 ? Level::Warn
               : n >= 30 ? Level::Info
               : n >= 20 ? Level::Debug
                         : Level::Trace;
    }
    return LevelOfWord(v);
}

bool ReadLogfmt(std::string_view s, const StampContext&, LineRead& out)
{
    bool timed = false;
    std::size_t i = 0;
    for (int pairs = 0; i < s.size() && pairs < 16; ++pairs) {
        i = SkipSpaces(s, i);
        std::size_t k = i;
        while (k < s.size() && (IsAlpha(s[k]) || IsDigit(s[k]) || s[k] == '_' || s[k] == '.' || s[k] == '@'))
            ++k;
        if (k == i || k >= s.size() || s[k] != '=')
            break;
        const std::string_view key = s.substr(i, k - i);
        std::size_t end = 0;
        const std::string_view value = LogfmtValue(s, k + 1, end);
        if (!timed && (key == "ts" || key == "time" || key == "t" || key == "timestamp"))
            timed = StampValue(value, out);
        else if (out.level == Level::None && (key == "level" || key == "lvl" || key == "severity"))
            out.level = LevelOfWord(value);
        i = end;
    }
    return timed;
}

// The end of a JSON value from `at` (a string, a number, a literal, or a
// nested object or array), or npos when the line ends first.
std::size_t JsonValueEnd(std::string_view s, std::size_t at)
{
    if (at >= s.size())
        return std::string_view::npos;
    if (s[at] == '"') {
        // The next quote that an even run of backslashes (none, mostly) stands before.
        for (std::size_t i = at + 1; i < s.size();) {
            const void* q = std::memchr(s.data() + i, '"', s.size() - i);
            if (!q)
                return std::string_view::npos;
            const auto e = static_cast<std::size_t>(static_cast<const char*>(q) - s.data());
            std::size_t slashes = 0;
            while (e - slashes > at + 1 && s[e - slashes - 1] == '\\')
                ++slashes;
            if (slashes % 2 == 0)
                return e + 1;
            i = e + 1;
        }
        return std::string_view::npos;
    }
    if (s[at] == '{' || s[at] == '[') {
        int depth = 0;
        for (std::size_t i = at; i < s.size(); ++i) {
            const char c = s[i];
            if (c == '"') {
                const std::size_t e = JsonValueEnd(s, i);
                if (e == std::string_view::npos)
                    return e;
                i = e - 1;
            } else if (c == '{' || c == '[') {
                ++depth;
            } else if ((c == '}' || c == ']') && --depth == 0) {
                return i + 1;
            }
        }
        return std::string_view::npos;
    }
    std::size_t i = at;
    while (i < s.size() && s[i] != ',' && s[i] != '}' && !IsSpace(s[i]))
        ++i;
    return i;
}

bool ReadJson(std::string_view s, const StampContext&, LineRead& out)
{
    std::size_t i = SkipSpaces(s, 0);
    if (i >= s.size() || s[i] != '{')
        return false;
    bool timed = false;
    ++i;
    for (int pairs = 0; pairs < 32; ++pairs) {
        i = SkipSpaces(s, i);
        if (i >= s.size() || s[i] != '"')
            break;
        const std::size_t keyEnd = JsonValueEnd(s, i);
        if (keyEnd == std::string_view::npos)
            break;
        const std::string_view key = s.substr(i + 1, keyEnd - i - 2);
        i = SkipSpaces(s, keyEnd);
        if (i >= s.size() || s[i] != ':')
            break;
        i = SkipSpaces(s, i + 1);
        const std::size_t valueEnd = JsonValueEnd(s, i);
        if (valueEnd == std::string_view::npos)
            break;
        std::string_view value = s.substr(i, valueEnd - i);
        if (value.size() >= 2 && value.front() == '"')
            value = value.substr(1, value.size() - 2);
        if (!timed && (key == "time" || key == "timestamp" || key == "@timestamp" || key == "ts"))
            timed = StampValue(value, out);
        else if (out.level == Level::None &&
                 (key == "level" || key == "lvl" || key == "severity" || key == "levelname"))
            out.level = NumericOrWordLevel(value);
        // The first time and level decide: the message after them (most of the line) is not read.
        if (timed && out.level != Level::None)
            break;
        i = SkipSpaces(s, valueEnd);
        if (i >= s.size() || s[i] != ',')
            break;
        ++i;
    }
    return timed;
}

class CBuiltinFormat : public CFormat {
public:
    using Reader = bool (*)(std::string_view, const StampContext&, LineRead&);
    // `starts`: the family's reader without the level, where its start does not hang on it (null: none), and
    // how many characters of a line it reads at most.
    CBuiltinFormat(const char* name, TimePlace t, const char* layout, LevelPlace l, int rank, Reader read,
                   Reader starts = nullptr, std::size_t startsReach = kWholeLine)
        : CFormat(name, t, layout, l, rank), m_read(read), m_starts(starts), m_startsReach(startsReach)
    {
    }
    std::size_t StartsRecordReach() const override { return m_starts ? m_startsReach : kWholeLine; }
    bool Read(std::string_view line, const StampContext& ctx, LineRead& out) const override
    {
        out = {};
        return m_read(line, ctx, out);
    }
    bool StartsRecordAt(std::string_view line, std::int64_t lineStart, const StampContext& ctx) const override
    {
        LineRead unused;
        return m_starts ? m_starts(line, ctx, unused) : ReadAt(line, lineStart, ctx, unused);
    }

private:
    Reader m_read, m_starts;
    std::size_t m_startsReach;
};

using TP = CFormat::TimePlace;
using LP = CFormat::LevelPlace;

// Ranks: a family whose lines another family also reads ranks above it
// (Windows CBS and journald's exports are ISO lines of a stricter shape).
const CBuiltinFormat kBuiltins[] = {
    {"ISO 8601", TP::LineStart, "%Y-%m-%d %H:%M:%S.%f%z", LP::Word, 10, ReadIso, StartsIso, 20},
    {"ISO 8601 after a token", TP::AfterToken, "%Y-%m-%d %H:%M:%S.%f%z", LP::Word, 10, ReadIsoAfterToken},
    {"Windows CBS", TP::LineStart, "%Y-%m-%d %H:%M:%S,", LP::Word, 30, ReadCbs},
    {"syslog (RFC 3164)", TP::LineStart, "%b %d %H:%M:%S", LP::Priority, 20, ReadSyslog},
    {"syslog (RFC 5424)", TP::AfterToken, "%Y-%m-%dT%H:%M:%S.%f%z", LP::Priority, 30, ReadSyslog5424},
    {"journald short-iso", TP::LineStart, "%Y-%m-%dT%H:%M:%S%z", LP::None, 20, ReadJournalIso},
    {"journald short-precise", TP::LineStart, "%b %d %H:%M:%S.%f", LP::None, 30, ReadJournalPrecise},
    {"logcat threadtime", TP::LineStart, "%m-%d %H:%M:%S.%f", LP::Letter, 30, ReadLogcat},
    {"Apache error log", TP::InBrackets, "%a %b %d %H:%M:%S.%f %Y", LP::Bracketed, 30, ReadApacheError},
    {"Apache access log", TP::InBrackets, "%d/%b/%Y:%H:%M:%S %z", LP::None, 20, ReadApacheAccess},
    {"nginx error log", TP::LineStart, "%Y/%m/%d %H:%M:%S", LP::Bracketed, 20, ReadNginx},
    {"klog", TP::AfterToken, "%m%d %H:%M:%S.%f", LP::Letter, 30, ReadKlog},
    {"HDFS", TP::LineStart, "%y%m%d %H%M%S", LP::Word, 20, ReadHdfs},
    {"Spark", TP::LineStart, "%y/%m/%d %H:%M:%S", LP::Word, 20, ReadSpark},
    {"yyyyMMdd-HH:mm:ss:SSS", TP::LineStart, "%Y%m%d-%H:%M:%S:%f", LP::None, 20, ReadCompact},
    {"[MM.dd HH:mm:ss]", TP::InBrackets, "%m.%d %H:%M:%S", LP::None, 20, ReadBracketed},
    {"epoch seconds", TP::LineStart, "%s", LP::Word, 10, ReadEpoch},
    {"epoch seconds after a token", TP::AfterToken, "%s", LP::Word, 20, ReadEpochAfterToken},
    {"logfmt", TP::KeyValue, "%Y-%m-%dT%H:%M:%S.%f%z", LP::KeyValue, 20, ReadLogfmt},
    {"JSON lines", TP::KeyValue, "%Y-%m-%dT%H:%M:%S.%f%z", LP::KeyValue, 20, ReadJson},
};

// --- users' formats -------------------------------------------------------------

struct LayoutItem {
    char letter = 0;  // 0: the literal character
    char literal = 0;
};

bool ParseLayout(const std::string& layout, std::vector<LayoutItem>& items, std::string& error)
{
    static const std::string_view kLetters = "YmdHMSbayjfzs";
    for (std::size_t i = 0; i < layout.size(); ++i) {
        if (layout[i] != '%') {
            items.push_back({0, layout[i]});
            continue;
        }
        if (++i >= layout.size()) {
            error = "layout ends with %";
            return false;
        }
        if (layout[i] == '%') {
            items.push_back({0, '%'});
        } else if (kLetters.find(layout[i]) != std::string_view::npos) {
            items.push_back({layout[i], 0});
        } else {
            error = std::string("layout has the unknown letter %") + layout[i];
            return false;
        }
    }
    if (items.empty()) {
        error = "layout is empty";
        return false;
    }
    return true;
}

bool ReadByLayout(const std::vector<LayoutItem>& items, std::string_view s, const StampContext& ctx, LineRead& out)
{
    int y = -1, mo = 0, d = 1, h = 0, mi = 0, sec = 0, yday = 0, offset = 0;
    bool zoned = false, epoch = false;
    std::int64_t frac = 0, secs = 0, v = 0;
    std::size_t i = 0;
    for (const LayoutItem& it : items) {
        if (!it.letter) {
            if (it.literal == ' ') {
                if (i >= s.size() || !IsSpace(s[i]))
                    return false;
                i = SkipSpaces(s, i);
            } else if (i >= s.size() || s[i++] != it.literal) {
                return false;
            }
            continue;
        }
        std::size_t n = 0;
        switch (it.letter) {
        case 'Y': n = DigitRun(s, i, 4, 4, v), y = static_cast<int>(v); break;
        case 'y': n = DigitRun(s, i, 2, 2, v), y = CenturyYear(static_cast<int>(v)); break;
        case 'm': n = DigitRun(s, i, 1, 2, v), mo = static_cast<int>(v); break;
        case 'd':
            if (i < s.size() && s[i] == ' ')
                ++i;
            n = DigitRun(s, i, 1, 2, v), d = static_cast<int>(v);
            break;
        case 'H': n = DigitRun(s, i, 1, 2, v), h = static_cast<int>(v); break;
        case 'M': n = DigitRun(s, i, 1, 2, v), mi = static_cast<int>(v); break;
        case 'S': n = DigitRun(s, i, 1, 2, v), sec = static_cast<int>(v); break;
        case 'j': n = DigitRun(s, i, 1, 3, v), yday = static_cast<int>(v); break;
        case 'b':
        case 'a':
            if (it.letter == 'b' && !(mo = MonthOf(s, i)))
                return false;
            while (i + n < s.size() && IsAlpha(s[i + n]))
                ++n;
            break;
        case 'f': {
            std::int64_t scale = kMicros / 10;
            frac = 0;
            while (i + n < s.size() && IsDigit(s[i + n])) {
                frac += (s[i + n] - '0') * scale;
                scale /= 10;
                ++n;
            }
            out.fraction = n > 0;
            break;
        }
        case 'z':
            n = Zone(s, i, offset);
            zoned = n > 0;
            break;
        case 's':
            n = DigitRun(s, i, 1, 12, secs);
            epoch = true;
            break;
        }
        if (!n)
            return false;
        i += n;
    }
    if (epoch) {
        out.micros = secs * kMicros + frac;
        return true;
    }
    if (yday) {
        if (y < 0 || yday > 366 || !ToMicros(y, 1, 1, h, mi, sec, zoned, out.micros))
            return false;
        out.micros += static_cast<std::int64_t>(yday - 1) * 86400 * kMicros;
    } else if (!ToMicros(y < 0 ? YearFor(mo, ctx) : y, mo, d, h, mi, sec, zoned, out.micros)) {
        return false;
    }
    out.micros += frac - static_cast<std::int64_t>(offset) * kMicros;
    return true;
}

std::string Trim(std::string_view s)
{
    while (!s.empty() && (IsSpace(s.front()) || s.front() == '\r'))
        s.remove_prefix(1);
    while (!s.empty() && (IsSpace(s.back()) || s.back() == '\r'))
        s.remove_suffix(1);
    return std::string(s);
}

class CUserFormat : public CFormat {
public:
    CUserFormat(const std::string& name, const std::string& layout, std::unique_ptr<RE2> re,
                std::vector<LayoutItem> items, std::vector<std::pair<std::string, Level>> words)
        : CFormat(
              name, TimePlace::Pattern, layout,
              words.empty() && re->NamedCapturingGroups().count("level") == 0 ? LevelPlace::None : LevelPlace::Pattern,
              100),
          m_re(std::move(re)),
          m_items(std::move(items)),
          m_words(std::move(words))
    {
        const auto& groups = m_re->NamedCapturingGroups();
        m_nTime = groups.at("time");
        const auto level = groups.find("level");
        m_nLevel = level == groups.end() ? -1 : level->second;
        m_nGroups = m_re->NumberOfCapturingGroups() + 1;
    }

    bool Read(std::string_view line, const StampContext& ctx, LineRead& out) const override
    {
        out = {};
        re2::StringPiece found[32];
        if (!m_re->Match(re2::StringPiece(line.data(), line.size()), 0, line.size(), RE2::UNANCHORED, found, m_nGroups))
            return false;
        const re2::StringPiece t = found[m_nTime];
        if (!ReadByLayout(m_items, std::string_view(t.data(), t.size()), ctx, out))
            return false;
        if (m_nLevel >= 0) {
            const std::string_view word(found[m_nLevel].data(), found[m_nLevel].size());
            if (m_words.empty()) {
                out.level = LevelOfWord(word);
            } else {
                for (const auto& [w, level] : m_words)
                    if (EqualsNoCase(w, word))
                        out.level = level;
            }
        }
        return true;
    }

private:
    std::unique_ptr<RE2> m_re;
    std::vector<LayoutItem> m_items;
    std::vector<std::pair<std::string, Level>> m_words;
    int m_nTime = 0, m_nLevel = -1, m_nGroups = 1;
};

std::mutex g_currentLock;
std::shared_ptr<const CFormatSet> g_current;

}  // namespace

const char* LevelName(Level level)
{
    switch (level) {
    case Level::Fatal: return "fatal";
    case Level::Error: return "error";
    case Level::Warn: return "warn";
    case Level::Info: return "info";
    case Level::Debug: return "debug";
    case Level::Trace: return "trace";
    case Level::None: break;
    }
    return "-";
}

bool ParseLevelName(std::string_view name, Level& level)
{
    for (const Level l : {Level::Fatal, Level::Error, Level::Warn, Level::Info, Level::Debug, Level::Trace})
        if (EqualsNoCase(name, LevelName(l))) {
            level = l;
            return true;
        }
    return false;
}

Level LevelOfWord(std::string_view word)
{
    if (word.size() < 3 || word.size() > 11)
        return Level::None;
    char w[12];
    for (std::size_t i = 0; i < word.size(); ++i)
        w[i] = Lower(word[i]);
    const std::string_view l(w, word.size());
    // Compared by length first, then by bytes: this runs once per record of a pass over the whole file.
    const auto is = [&l]<std::size_t N>(const char(&text)[N]) {
        return l.size() == N - 1 && std::memcmp(l.data(), text, N - 1) == 0;
    };
    switch (l[0]) {
    case 'f':
        if (is("fatal"))
            return Level::Fatal;
        return l.size() >= 4 && std::memcmp(l.data(), "fine", 4) == 0 ? Level::Trace : Level::None;
    case 'c': return is("crit") || is("critical") ? Level::Fatal : Level::None;
    case 's': return is("severe") ? Level::Fatal : Level::None;
    case 'e':
        return is("error") || is("err") ? Level::Error : is("emerg") || is("emergency") ? Level::Fatal : Level::None;
    case 'a': return is("alert") ? Level::Fatal : Level::None;
    case 'p': return is("panic") ? Level::Fatal : Level::None;
    case 'w': return is("warn") || is("warning") ? Level::Warn : Level::None;
    case 'i': return is("info") || is("information") ? Level::Info : Level::None;
    case 'n': return is("notice") ? Level::Info : Level::None;
    case 'd': return is("debug") || is("dbg") ? Level::Debug : Level::None;
    case 't': return is("trace") ? Level::Trace : Level::None;
    case 'v': return is("verbose") ? Level::Trace : Level::None;
    default: return Level::None;
    }
}

Level LevelOfLetter(char c)
{
    switch (c) {
    case 'F':
    case 'A': return Level::Fatal;
    case 'E': return Level::Error;
    case 'W': return Level::Warn;
    case 'I': return Level::Info;
    case 'D': return Level::Debug;
    case 'V': return Level::Trace;
    default: return Level::None;
    }
}

Level LevelOfSeverity(int severity)
{
    static const Level kLevels[] = {Level::Fatal, Level::Fatal, Level::Fatal, Level::Error,
                                    Level::Warn,  Level::Info,  Level::Info,  Level::Debug};
    return severity >= 0 && severity < 8 ? kLevels[severity] : Level::None;
}

std::function<bool(std::string_view, std::int64_t&)> StampReaderOf(const CFormat* format,
                                                                   const timeseek::StampContext& ctx)
{
    return [format, ctx](std::string_view line, std::int64_t& micros) {
        LineRead read;
        if (!format->Read(line, ctx, read))
            return false;
        micros = read.micros;
        return true;
    };
}

const std::vector<const CFormat*>& BuiltinFormats()
{
    static const std::vector<const CFormat*> all = [] {
        std::vector<const CFormat*> v;
        for (const CBuiltinFormat& f : kBuiltins)
            v.push_back(&f);
        return v;
    }();
    return all;
}

std::unique_ptr<CFormat> MakeUserFormat(const std::string& name, const std::string& pattern, const std::string& layout,
                                        const std::string& levels, std::string& error)
{
    if (name.empty()) {
        error = "no name";
        return nullptr;
    }
    if (pattern.empty()) {
        error = "no pattern";
        return nullptr;
    }
    RE2::Options options;
    options.set_log_errors(false);
    auto re = std::make_unique<RE2>(pattern, options);
    if (!re->ok()) {
        error = "pattern: " + re->error();
        return nullptr;
    }
    if (!re->NamedCapturingGroups().count("time")) {
        error = "pattern has no group (?P<time>...)";
        return nullptr;
    }
    if (re->NumberOfCapturingGroups() >= 32) {
        error = "pattern has more than 31 groups";
        return nullptr;
    }
    std::vector<LayoutItem> items;
    if (layout.empty()) {
        error = "no layout";
        return nullptr;
    }
    if (!ParseLayout(layout, items, error))
        return nullptr;
    std::vector<std::pair<std::string, Level>> words;
    std::stringstream list(levels);
    for (std::string entry; std::getline(list, entry, ',');) {
        entry = Trim(entry);
        if (entry.empty())
            continue;
        const std::size_t colon = entry.rfind(':');
        Level level = Level::None;
        if (colon == std::string::npos || colon == 0 || !ParseLevelName(Trim(entry.substr(colon + 1)), level)) {
            error = "levels: \"" + entry + "\" is not WORD:fatal|error|warn|info|debug|trace";
            return nullptr;
        }
        words.emplace_back(Trim(entry.substr(0, colon)), level);
    }
    return std::make_unique<CUserFormat>(name, layout, std::move(re), std::move(items), std::move(words));
}

std::unique_ptr<CFormat> ReadUserFormat(std::string_view ini, std::string& error)
{
    std::string section, name, pattern, layout, levels;
    bool inFormat = false, sawFormat = false;
    std::size_t at = 0;
    while (at <= ini.size()) {
        std::size_t end = ini.find('\n', at);
        if (end == std::string_view::npos)
            end = ini.size();
        const std::string line = Trim(ini.substr(at, end - at));
        at = end + 1;
        if (line.empty() || line[0] == ';' || line[0] == '#')
            continue;
        if (line[0] == '[') {
            inFormat = line == "[Format]";
            sawFormat = sawFormat || inFormat;
            continue;
        }
        const std::size_t eq = line.find('=');
        if (!inFormat || eq == std::string::npos)
            continue;
        const std::string key = Trim(line.substr(0, eq)), value = Trim(line.substr(eq + 1));
        if (key == "name")
            name = value;
        else if (key == "pattern")
            pattern = value;
        else if (key == "layout")
            layout = value;
        else if (key == "levels")
            levels = value;
    }
    if (!sawFormat) {
        error = "no section [Format]";
        return nullptr;
    }
    return MakeUserFormat(name, pattern, layout, levels, error);
}

CFormatSet::CFormatSet(std::vector<std::unique_ptr<CFormat>> user) : m_user(std::move(user))
{
    for (const auto& f : m_user)
        m_all.push_back(f.get());
    const auto& builtins = BuiltinFormats();
    m_all.insert(m_all.end(), builtins.begin(), builtins.end());
}

const CFormat* CFormatSet::Find(std::string_view name) const
{
    const std::vector<const CFormat*>& all = m_all.empty() ? BuiltinFormats() : m_all;
    for (const CFormat* f : all)
        if (f->Name() == name)
            return f;
    return nullptr;
}

std::shared_ptr<const CFormatSet> LoadFormats(const std::string& dir, std::ostream& errors)
{
    namespace fs = std::filesystem;
    std::vector<fs::path> files;
    std::error_code ec;
    for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec))
        if (it->path().extension() == ".ini")
            files.push_back(it->path());
    std::sort(files.begin(), files.end());
    std::vector<std::unique_ptr<CFormat>> user;
    for (const fs::path& file : files) {
        std::ifstream in(file, std::ios::binary);
        std::stringstream text;
        if (in)
            text << in.rdbuf();
        std::string error;
        std::unique_ptr<CFormat> format = in ? ReadUserFormat(text.str(), error) : nullptr;
        if (!in)
            error = "cannot be read";
        if (format)
            user.push_back(std::move(format));
        else
            errors << "warning: " << file.string() << ": " << error << '\n';
    }
    return std::make_shared<CFormatSet>(std::move(user));
}

std::shared_ptr<const CFormatSet> CurrentFormats()
{
    std::lock_guard<std::mutex> lock(g_currentLock);
    if (!g_current)
        g_current = std::make_shared<CFormatSet>(std::vector<std::unique_ptr<CFormat>>{});
    return g_current;
}

void SetCurrentFormats(std::shared_ptr<const CFormatSet> formats)
{
    std::lock_guard<std::mutex> lock(g_currentLock);
    g_current = std::move(formats);
}

const CFormat* DetectFormat(std::string_view lines, const StampContext& ctx, const std::vector<const CFormat*>& formats)
{
    struct Score {
        int read = 0, levels = 0, fractions = 0;
        bool out = false;  // it cannot be the answer: it was left before the last line
    };
    thread_local std::vector<std::string_view> sample;  // kept: asked once a file, on few threads
    sample.clear();
    for (std::size_t at = 0; at < lines.size();) {
        // The line's end by the C library's scans: LF first, then a CR (rarer) inside what that leaves.
        const char* from = lines.data() + at;
        const void* lf = std::memchr(from, '\n', lines.size() - at);
        std::size_t end = lf ? static_cast<std::size_t>(static_cast<const char*>(lf) - lines.data()) : lines.size();
        if (const void* cr = std::memchr(from, '\r', end - at))
            end = static_cast<std::size_t>(static_cast<const char*>(cr) - lines.data());
        const std::string_view line = lines.substr(at, end - at);
        at = end + 1;
        if (!line.empty() && !IsSpace(line[0]))
            sample.push_back(line);
    }
    const int sampled = static_cast<int>(sample.size());
    if (sampled == 0 || formats.empty())
        return nullptr;
    // Every format is tried on every line only where it might still win: one that can no longer read as many
    // lines as one already tried did, or half of the sample, is left (the answer is the same, found sooner,
    // since most formats fail most lines of a log of another family). The format that reads most of the
    // first lines is tried first, so that the bar is high from the start.
    std::vector<Score> scores(formats.size());
    // A format misses a line: the most it can still read is what it read and every line after this one.
    const auto run = [&](std::size_t f, int from, int to, int bar) {
        Score& s = scores[f];
        for (int i = from; i < to; ++i) {
            LineRead r;
            if (formats[f]->Read(sample[static_cast<std::size_t>(i)], ctx, r)) {
                ++s.read;
                s.levels += r.level != Level::None;
                s.fractions += r.fraction;
            } else if (const int most = s.read + (sampled - i - 1); most < bar || 2 * most < sampled) {
                s.out = true;
                return;
            }
        }
    };
    const int head = std::min(sampled, 16);
    for (std::size_t f = 0; f < formats.size(); ++f)
        run(f, 0, head, 0);
    std::size_t leader = 0;
    for (std::size_t f = 1; f < formats.size(); ++f)
        if (scores[f].read > scores[leader].read)
            leader = f;
    int bar = 0;
    for (std::size_t k = 0; k <= formats.size(); ++k) {
        const std::size_t f = k == 0 ? leader : k - 1;
        if ((k > 0 && f == leader) || scores[f].out)
            continue;
        run(f, head, sampled, bar);
        if (!scores[f].out)
            bar = std::max(bar, scores[f].read);
    }
    std::size_t best = formats.size();
    const auto key = [&](std::size_t f) {
        const Score& s = scores[f];
        return std::make_tuple(s.read, s.levels, s.fractions, formats[f]->Rank());
    };
    for (std::size_t f = 0; f < formats.size(); ++f)
        if (!scores[f].out && (best == formats.size() || key(f) > key(best)))
            best = f;
    if (best == formats.size() || scores[best].read * 2 < sampled)
        return nullptr;
    return formats[best];
}

std::string SampleLines(IChunkReader& reader, std::int64_t start, std::int64_t end, BreakUnits units)
{
    // Every window that shows a log asks this once, a merged window once a file: the buffers stay with the
    // thread, and the sample is made in place, so that no fresh memory is written and thrown away each time.
    thread_local std::vector<std::uint8_t> buf;
    thread_local std::string tailText;
    buf.resize(static_cast<std::size_t>(kDetectBytes));
    const auto read = [&](std::int64_t from, std::int64_t n, std::string& out) {
        const std::uint64_t got = n > 0 ? reader.Read(buf.data(), static_cast<std::uint64_t>(n), from) : 0;
        AsciiOfUnits(buf.data(), static_cast<std::size_t>(got - got % units.unit), units, false, out);
    };
    std::string lines;
    lines.reserve(static_cast<std::size_t>(2 * kDetectBytes / units.unit + 1));
    read(start, std::min(kDetectBytes, end - start), lines);
    if (end - start > kDetectBytes) {
        // The head's last line may be cut too: it is left out of the sample.
        if (const std::size_t cut = lines.rfind('\n'); cut != std::string::npos)
            lines.resize(cut);
        std::int64_t tail = std::max(start + kDetectBytes, end - kDetectBytes);
        tail -= (tail - start) % units.unit;
        read(tail, end - tail, tailText);
        const std::size_t cut = tailText.find('\n');
        if (cut != std::string::npos) {
            lines += '\n';
            lines.append(tailText, cut + 1, std::string::npos);
        }
    }
    return lines;
}

}  // namespace logformat
