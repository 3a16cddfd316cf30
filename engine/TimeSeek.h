// Go to Time: the timestamps of log lines, and the first line stamped at or
// after a given time, found by bisection over byte positions. Logs are written
// in time order, so a few probes near the middle of ever smaller ranges find
// the place in any size of file while reading a few kilobytes each.
//
// A line without a timestamp (a continuation, a stack trace) goes with the
// nearest stamped line before it. The last range is scanned line by line,
// so a short run of lines out of order near the place is still handled.
#pragma once

#include "engine/ChunkReader.h"
#include "engine/LineIndex.h"
#include "engine/StampParts.h"

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace timeseek {

// Times are microseconds since 1970-01-01 00:00 UTC.
enum class StampFormat {
    None,
    Iso,     // 2026-12-07 06:41:07.123, T or space, optional Z or +01:00
    Syslog,  // Dec  7 06:41:07 at the line's start, no year
    WebLog,  // [07/Dec/2026:06:41:07 +0000]
    Epoch,   // 1796625667.123 at the line's start
};

// A time as a user types it: YYYY-MM-DD[ T]HH:MM[:SS[.fraction]], then
// optionally Z or ±HH:MM; without a zone it is local time (TZ).
bool ParseUserTime(std::string_view text, std::int64_t& micros);
// The stamp of one line (ASCII; other characters as '?').
bool ParseStamp(StampFormat format, std::string_view line, const StampContext& ctx, std::int64_t& micros);
// The format that most of these lines (separated by CR or LF) are stamped in.
StampFormat DetectFormat(std::string_view lines, const StampContext& ctx);

}  // namespace timeseek

class CTimeSeeker {
public:
    CTimeSeeker(IChunkReader& reader, std::int64_t dataStart, std::int64_t dataEnd, BreakUnits units,
                timeseek::StampContext ctx);

    // From the lines near the top and near the end.
    timeseek::StampFormat Detect();
    // A format found before (by Detect on the same text).
    void SetFormat(timeseek::StampFormat format) { m_format = format; }
    // Reads each line's stamp instead of the format (a log format's reading
    // of a record's first line, engine/LogFormat.h); ASCII as ParseStamp.
    using StampReader = std::function<bool(std::string_view line, std::int64_t& micros)>;
    void SetStampReader(StampReader reader) { m_stampReader = std::move(reader); }

    enum class Outcome { Found, BeforeFirst, AfterLast, NoStamps };
    struct Result {
        Outcome outcome = Outcome::NoStamps;
        std::int64_t pos = -1;  // the line's start (Found, BeforeFirst)
    };
    // The first line stamped at or after `micros`; the format from Detect.
    Result Seek(std::int64_t micros);
    std::uint64_t BytesRead() const { return m_nBytesRead; }

private:
    struct Line {
        std::int64_t start = -1, next = -1;
        bool stamped = false;
        std::int64_t micros = 0;
    };
    // The start of the line after the one that holds `from` (at most `limit`).
    std::int64_t NextLineStart(std::int64_t from, std::int64_t limit);
    // The line that starts at `start`, its stamp and where the next one starts.
    Line LineAt(std::int64_t start, std::int64_t limit);
    // The first stamped line starting in [from, limit); start -1 when none.
    Line FirstStampedFrom(std::int64_t from, std::int64_t limit);
    // ASCII of the units in [from, from + n) up to the first break.
    std::string Ascii(std::int64_t from, std::int64_t n, bool stopAtBreak);
    std::uint64_t Read(std::uint8_t* buffer, std::uint64_t n, std::int64_t offset);
    std::uint16_t Unit(const std::uint8_t* p) const;
    bool IsBreak(std::uint16_t u) const { return u == m_units.cr || u == m_units.lf; }

    IChunkReader& m_reader;
    std::int64_t m_nStart, m_nEnd;
    BreakUnits m_units;
    timeseek::StampContext m_ctx;
    timeseek::StampFormat m_format = timeseek::StampFormat::None;
    StampReader m_stampReader;
    std::uint64_t m_nBytesRead = 0;
    // The last small piece read: the lines of one probe lie close together.
    std::uint8_t m_cache[2048];
    std::int64_t m_nCacheAt = -1;
    std::uint64_t m_nCacheLength = 0;
};
