// The line rules over a chunk of stored text (narrow bytes or UTF-16 units
// in the file's byte order): breaks are CR and LF, a CR LF or LF CR pair is
// one break, pairs formed from the left. Offsets are bytes from the chunk's start.
#pragma once

#include "engine/CodeUnits.h"
#include "engine/LineScan.h"
#include "file/Encoding.h"

#include <cstddef>
#include <cstdint>

namespace linefilter {

// The code unit and the break units of text stored in `encoding` (UTF-16 in its own byte order).
inline void BreakUnitsOf(std::int32_t encoding, unsigned& unit, std::uint16_t& cr, std::uint16_t& lf)
{
    const bool swap = encoding == EncodingUtf16BE;
    unit = swap || encoding == EncodingUtf16LE ? 2 : 1;
    cr = swap ? 0x0D00 : 0x0D;
    lf = swap ? 0x0A00 : 0x0A;
}

struct Units {
    const std::uint8_t* data;
    unsigned unit;
    std::uint16_t cr, lf;

    std::uint16_t At(std::size_t i) const { return unit == 1 ? data[i] : codeunits::Load16(data + i); }
    bool IsBreak(std::size_t i) const { return At(i) == cr || At(i) == lf; }
    // The first break unit in [from, to); `to` when none.
    std::size_t FirstBreak(std::size_t from, std::size_t to) const
    {
        const std::uint8_t* hit = unit == 1
                                      ? linescan::FindAny8(data + from, data + to, static_cast<std::uint8_t>(cr),
                                                           static_cast<std::uint8_t>(lf), static_cast<std::uint8_t>(cr))
                                      : linescan::FindAny16(data + from, data + to, cr, lf, cr);
        return static_cast<std::size_t>(hit - data);
    }
    // The last break unit in [from, to); `to` when none.
    std::size_t LastBreak(std::size_t from, std::size_t to) const
    {
        const std::uint8_t* hit = unit == 1
                                      ? linescan::FindLastAny8(data + from, data + to, static_cast<std::uint8_t>(cr),
                                                               static_cast<std::uint8_t>(lf))
                                      : linescan::FindLastAny16(data + from, data + to, cr, lf);
        return hit ? static_cast<std::size_t>(hit - data) : to;
    }
    // Past the break at `at`: a pair, or one unit.
    std::size_t StepOver(std::size_t at, std::size_t end) const
    {
        if (at + unit < end && At(at) != At(at + unit) && IsBreak(at + unit))
            return at + 2 * unit;
        return at + unit;
    }
    // The start of the line that holds `at` (not a break unit), no lower than `floor`.
    std::size_t LineStart(std::size_t floor, std::size_t at) const
    {
        const std::size_t b = LastBreak(floor, at);
        return b == at ? floor : b + unit;
    }
    // The last line start in [0, n) that a break run ends (a non-break
    // unit follows it): a cut there keeps every pair whole. 0 when none.
    std::size_t LastCut(std::size_t n) const
    {
        if (n < 2 * unit)
            return 0;
        std::size_t b = LastBreak(0, n - unit);
        if (b == n - unit)
            return 0;
        if (!IsBreak(b + unit))
            return b + unit;
        while (b > 0 && IsBreak(b - unit))
            b -= unit;
        const std::size_t c = LastBreak(0, b);
        return c == b ? 0 : c + unit;
    }
};

}  // namespace linefilter
