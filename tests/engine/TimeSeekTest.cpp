// Go to Time: the stamps it reads, and its bisection against a plain scan of
// the same random logs in every encoding and line-break pairing.
#include "engine/TimeSeek.h"
#include "tests/core/TestUtil.h"

#include <cstring>
#include <ctime>
#include <random>
#include <thread>

using timeseek::StampFormat;

namespace {

using testutil::StringReader;

constexpr std::int64_t kSec = 1000000;
// 2026-12-07 06:41:07 UTC.
constexpr std::int64_t kRef = 1796625667LL * kSec;

std::string Stamp(StampFormat f, std::int64_t micros)
{
    const std::time_t t = static_cast<std::time_t>(micros / kSec);
    std::tm tm{};
    localtime_r(&t, &tm);
    char buf[64];
    switch (f) {
    case StampFormat::Iso:
        std::strftime(buf, sizeof buf, "%Y-%m-%d %H:%M:%S", &tm);
        return std::string(buf) + "." + std::to_string(micros % kSec / 1000 + 1000).substr(1);
    case StampFormat::Syslog: std::strftime(buf, sizeof buf, "%b %e %H:%M:%S", &tm); return buf;
    case StampFormat::WebLog:
        std::strftime(buf, sizeof buf, "[%d/%b/%Y:%H:%M:%S -0500]", &tm);
        return std::string("10.0.0.1 - - ") + buf;
    default: return std::to_string(micros / kSec) + "." + std::to_string(micros % kSec + kSec).substr(1);
    }
}

struct Log {
    std::string bytes;
    std::vector<std::int64_t> starts;  // of the stamped lines
    std::vector<std::int64_t> times;
};

// Lines stamped in time order (a second apart at most, often equal), with
// unstamped continuation lines, ended by any pairing of breaks.
Log RandomLog(std::mt19937& rng, StampFormat f, int unit, bool bigEndian, std::size_t bytes)
{
    static const char* const kBreaks[] = {"\n", "\r\n", "\n\r", "\r"};
    Log log;
    std::int64_t t = kRef - 30LL * 86400 * kSec;
    auto put = [&](const std::string& text) {
        for (const char c : text) {
            if (unit == 1) {
                log.bytes += c;
            } else {
                log.bytes += bigEndian ? '\0' : c;
                log.bytes += bigEndian ? c : '\0';
            }
        }
    };
    const char* brk = kBreaks[rng() % 4];
    while (log.bytes.size() < bytes) {
        t += static_cast<std::int64_t>(rng() % 3) * static_cast<std::int64_t>(rng() % kSec);
        log.starts.push_back(static_cast<std::int64_t>(log.bytes.size()));
        log.times.push_back(f == StampFormat::Iso ? t / 1000 * 1000 : f == StampFormat::Epoch ? t : t / kSec * kSec);
        put(Stamp(f, t) + " worker " + std::to_string(rng() % 1000) + " did something" + brk);
        for (int k = rng() % 8 == 0 ? static_cast<int>(rng() % 4) : 0; k > 0; --k)
            put("    at frame " + std::to_string(rng()) + brk);
        if (rng() % 50 == 0)
            brk = kBreaks[rng() % 4];
    }
    return log;
}

}  // namespace

TEST(TimeSeek, ReadsTheStampsOfEachFormat)
{
    const testutil::ScopedEnv zone("TZ", "EST5", ::tzset);  // five hours west of UTC, no zone database
    const timeseek::StampContext ctx{2026, 12};
    const timeseek::StampContext january{2027, 1};
    const struct {
        StampFormat format;
        const char* line;
        const timeseek::StampContext* ctx;
        bool ok;
        std::int64_t micros;
    } cases[] = {
        {StampFormat::Iso, "2026-12-07 01:41:07.123 INFO x", &ctx, true, kRef + 123000},
        {StampFormat::Iso, "[main] 2026-12-07T06:41:07Z y", &ctx, true, kRef},
        {StampFormat::Iso, "2026-12-07T08:41:07,5+02:00", &ctx, true, kRef + kSec / 2},
        {StampFormat::Iso, "12026-12-07 06:41:07", &ctx, false, 0},
        {StampFormat::Iso, "2026-13-07 06:41:07", &ctx, false, 0},
        {StampFormat::Syslog, "Dec  7 01:41:07 host cron[1]: x", &ctx, true, kRef},
        {StampFormat::Syslog, "Dec  7 01:41:07 host", &january, true, kRef},  // last year's December
        {StampFormat::Syslog, " Dec  7 01:41:07 host", &ctx, false, 0},
        {StampFormat::WebLog, "1.2.3.4 - - [07/Dec/2026:06:41:07 +0000] \"GET /\"", &ctx, true, kRef},
        {StampFormat::WebLog, "1.2.3.4 - - [07/Dec/2026:07:41:07 +0100] \"GET /\"", &ctx, true, kRef},
        {StampFormat::Epoch, "1796625667.25 x", &ctx, true, kRef + kSec / 4},
        {StampFormat::Epoch, "1796625667", &ctx, true, kRef},
        {StampFormat::Epoch, "17966256670 x", &ctx, false, 0},
        {StampFormat::Epoch, "1796625667abc", &ctx, false, 0},
    };
    for (const auto& c : cases) {
        std::int64_t micros = 0;
        EXPECT_EQ(timeseek::ParseStamp(c.format, c.line, *c.ctx, micros), c.ok) << c.line;
        EXPECT_EQ(c.ok ? micros : 0, c.micros) << c.line;  // a refusal's value is no promise
    }
    const struct {
        const char* text;
        bool ok;
        std::int64_t micros;
    } typed[] = {
        {"2026-12-07 01:41", true, kRef - 7 * kSec},
        {" 2026-12-07T06:41:07.5Z ", true, kRef + kSec / 2},
        {"2026-12-07 07:41:07+01:00", true, kRef},
        {"2026-12-07", false, 0},
        {"2026-12-07 06:41 x", false, 0},
    };
    for (const auto& c : typed) {
        std::int64_t micros = 0;
        EXPECT_EQ(timeseek::ParseUserTime(c.text, micros), c.ok) << c.text;
        EXPECT_EQ(c.ok ? micros : 0, c.micros) << c.text;  // a refusal's value is no promise
    }
}

TEST(TimeSeek, BisectionFindsWhatAPlainScanFinds)
{
    const testutil::ScopedEnv zone("TZ", "EST5", ::tzset);  // five hours west of UTC, no zone database
    std::mt19937 rng(2026);
    const StampFormat formats[] = {StampFormat::Iso, StampFormat::Syslog, StampFormat::WebLog, StampFormat::Epoch};
    const struct {
        int unit;
        bool bigEndian;
    } layouts[] = {{1, false}, {2, false}, {2, true}};
    for (const StampFormat f : formats) {
        for (const auto& l : layouts) {
            const Log log = RandomLog(rng, f, l.unit, l.bigEndian, 200000 + rng() % 300000);
            const BreakUnits units{static_cast<unsigned>(l.unit),
                                   static_cast<std::uint16_t>(l.bigEndian ? 0x0D00 : 0x0D),
                                   static_cast<std::uint16_t>(l.bigEndian ? 0x0A00 : 0x0A)};
            StringReader reader(&log.bytes);
            CTimeSeeker seeker(reader, 0, static_cast<std::int64_t>(log.bytes.size()), units, {2026, 12});
            ASSERT_EQ(seeker.Detect(), f);
            for (int k = 0; k < 60; ++k) {
                const std::int64_t span = log.times.back() - log.times.front() + 20 * kSec;
                const std::int64_t target =
                    log.times.front() - 10 * kSec + static_cast<std::int64_t>(rng() % static_cast<std::uint64_t>(span));
                const auto it = std::lower_bound(log.times.begin(), log.times.end(), target);
                const CTimeSeeker::Result r = seeker.Seek(target);
                if (it == log.times.end()) {
                    EXPECT_EQ(r.outcome, CTimeSeeker::Outcome::AfterLast);
                } else {
                    const std::int64_t want = it == log.times.begin() ? 0 : log.starts[it - log.times.begin()];
                    ASSERT_EQ(r.pos, want) << static_cast<int>(f) << " unit " << l.unit << " target " << target;
                }
            }
        }
    }
}

// Lines of one length, so that the bisection's midpoints fall on line starts: the line that starts at a
// midpoint is still found when it is the first at or after the time.
TEST(TimeSeek, ALineStartingAtAMidpointIsFound)
{
    const testutil::ScopedEnv zone("TZ", "UTC0", ::tzset);
    std::string bytes;
    std::vector<std::int64_t> starts;
    constexpr int kLines = 4096;
    for (int i = 0; i < kLines; ++i) {
        starts.push_back(static_cast<std::int64_t>(bytes.size()));
        bytes += Stamp(StampFormat::Iso, kRef + i * kSec) + " line\n";  // 29 bytes a line
    }
    StringReader reader(&bytes);
    CTimeSeeker seeker(reader, 0, static_cast<std::int64_t>(bytes.size()), {1, 0x0D, 0x0A}, {2026, 12});
    ASSERT_EQ(seeker.Detect(), StampFormat::Iso);
    for (int i = 1; i < kLines; ++i) {
        const CTimeSeeker::Result r = seeker.Seek(kRef + i * kSec - kSec / 4);
        ASSERT_EQ(r.pos, starts[static_cast<std::size_t>(i)]) << "line " << i;
    }
}

TEST(TimeSeek, NoStampsAndFewBytesRead)
{
    const std::string plain = "alpha\nbeta\n";
    StringReader reader(&plain);
    CTimeSeeker none(reader, 0, static_cast<std::int64_t>(plain.size()), {}, {2026, 12});
    EXPECT_EQ(none.Detect(), StampFormat::None);
    EXPECT_EQ(none.Seek(kRef).outcome, CTimeSeeker::Outcome::NoStamps);

    std::mt19937 rng(5);
    const Log log = RandomLog(rng, StampFormat::Iso, 1, false, 32 << 20);
    StringReader big(&log.bytes);
    CTimeSeeker seeker(big, 0, static_cast<std::int64_t>(log.bytes.size()), {}, {2026, 12});
    seeker.Detect();
    const std::size_t k = log.times.size() * 2 / 3;
    EXPECT_EQ(seeker.Seek(log.times[k]).pos,
              log.starts[std::lower_bound(log.times.begin(), log.times.end(), log.times[k]) - log.times.begin()]);
    EXPECT_LT(seeker.BytesRead(), 200u * 1024);
}

// Stamps read one after another in any order (the same minute, the same day at other minutes, other days,
// back and forth) each give their own time, as the C library reckons it; what only looks like the last
// stamp read (its bytes NULs, or a broken date in a known minute's place) gives none.
TEST(TimeSeek, IsoStampsInAnyOrderReadAsTheLibraryReckonsThem)
{
    std::mt19937 rng(9);
    const int days[] = {0, 0, 0, 1, 40, -3000, 20000};
    for (int i = 0; i < 4000; ++i) {
        std::tm tm{};
        tm.tm_year = 2024 - 1900, tm.tm_mon = 4, tm.tm_mday = 1 + days[rng() % std::size(days)] % 28;
        tm.tm_year += static_cast<int>(rng() % 3);
        tm.tm_hour = static_cast<int>(rng() % 24), tm.tm_min = static_cast<int>(rng() % 60);
        tm.tm_sec = static_cast<int>(rng() % 60);
        const std::time_t t = timegm(&tm);
        char text[40];
        std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S", &tm);
        const std::string stamp = std::string(text) + ".25Z rest";
        std::int64_t micros = 0;
        ASSERT_EQ(timeseek::parts::IsoAt(stamp, 0, true, micros), 23U) << stamp;
        EXPECT_EQ(micros, static_cast<std::int64_t>(t) * 1000000 + 250000) << stamp;
    }
    // On a thread that has read no stamp yet, NULs are no stamp either.
    std::size_t nulRead = 1;
    std::thread([&] {
        std::int64_t micros = 0;
        nulRead = timeseek::parts::IsoAt(std::string(19, '\0') + "Z", 0, false, micros);
    }).join();
    EXPECT_EQ(nulRead, 0U);
    const std::string bad[] = {std::string(19, '\0') + "Z", "2024-13-01T10:00:00Z", "2024-05-01T24:00:00Z",
                               "2024-05-01T10:60:00Z", "2024-05-0xT10:00:00Z"};
    for (const std::string& s : bad) {
        std::int64_t micros = 0;
        std::int64_t known = 0;
        timeseek::parts::IsoAt("2024-05-01T10:00:00Z", 0, true, known);  // that minute and day read last
        EXPECT_EQ(timeseek::parts::IsoAt(s, 0, true, micros), 0U) << s;
    }
    // Whether a stamp is there, asked alone, is what reading it says, for stamps with one character changed
    // (cut short, at an offset, after a cached minute or not).
    const char alphabet[] = "0123456789-: T:.Z+\x9f\0";
    for (int i = 0; i < 20000; ++i) {
        std::string s = i % 2 ? "2024-05-01T10:00:00.5Z" : "[2026-12-31 23:59:60 x";
        const std::size_t at = s[0] == '[' ? 1 : 0;
        s[rng() % s.size()] = alphabet[rng() % (sizeof alphabet - 1)];
        if (rng() % 4 == 0)
            s.resize(rng() % s.size());
        std::int64_t micros = 0;
        if (rng() % 2)
            timeseek::parts::IsoAt("2024-05-01T10:00:00Z", 0, true, micros);
        EXPECT_EQ(timeseek::parts::IsIsoStampAt(s, at), timeseek::parts::IsoAt(s, at, true, micros) != 0) << s;
    }
}

// The ASCII that records read of a line: breaks as LF (or the end, stopping at the first), characters above
// ASCII as '?', in narrow text and in UTF-16 of both orders.
TEST(TimeSeek, AsciiOfUnitsStopsAtTheFirstBreakOfEitherKind)
{
    const struct {
        const char* text;
        bool stop;
        const char* ascii;
    } cases[] = {
        {"ab\r\ncd", false, "ab\n\ncd"},
        {"ab\r\ncd", true, "ab"},
        {"ab\n\rcd", true, "ab"},
        {"a\xE9z\rq", false, "a?z\nq"},
        {"a\xE9z\rq", true, "a?z"},
        {"abc", true, "abc"},
        {"\nabc", true, ""},
        {"", false, ""},
    };
    for (const auto& c : cases) {
        const std::string text = c.text;
        const auto* narrow = reinterpret_cast<const std::uint8_t*>(text.data());
        EXPECT_EQ(timeseek::parts::AsciiOfUnits(narrow, text.size(), BreakUnits{1, '\r', '\n'}, c.stop), c.ascii)
            << c.text;
        for (const bool big : {false, true}) {
            std::string wide;
            for (const char ch : text) {
                const auto u = static_cast<std::uint8_t>(ch);  // Latin-1 to UTF-16
                wide += big ? std::string{'\0', static_cast<char>(u)} : std::string{static_cast<char>(u), '\0'};
            }
            const BreakUnits units = big ? BreakUnits{2, 0x0D00, 0x0A00} : BreakUnits{2, 0x0D, 0x0A};
            EXPECT_EQ(timeseek::parts::AsciiOfUnits(reinterpret_cast<const std::uint8_t*>(wide.data()), wide.size(),
                                                    units, c.stop),
                      c.ascii)
                << c.text << (big ? " big-endian" : " little-endian");
        }
    }
}
