// A deliberately plain search, written straight from the rules one code
// unit at a time, against which the fast scans are checked (tests and the
// fuzz target). Nothing here is shared with the code under test except the
// fixed case and code-page tables.
#pragma once

#include "file/Encoding.h"
#include "platform/Win1252.h"
#include "textwnd/UnicodeCase.h"

#include <cstdint>
#include <string>
#include <vector>

namespace searchref {

inline std::uint16_t Swap(std::uint16_t v)
{
    return static_cast<std::uint16_t>((v >> 8) | (v << 8));
}

// The search text as the file would store it: host-order values of the
// units (bytes for narrow files), ending before its first NUL.
inline std::vector<std::uint16_t> Pattern(const std::u16string& text, std::int32_t encoding)
{
    std::vector<std::uint16_t> out;
    if (encoding == EncodingAnsi || encoding == EncodingUtf8) {
        for (char c : platform::Utf16ToWin1252(text)) {
            if (c == 0)
                break;
            out.push_back(static_cast<std::uint8_t>(c));
        }
    } else if (encoding == EncodingUtf16LE || encoding == EncodingUtf16BE) {
        for (char16_t c : text) {
            if (c == 0)
                break;
            out.push_back(c);
        }
    }
    return out;
}

// The unit at p in host order (big-endian units brought to host order).
inline std::uint16_t UnitAt(const std::uint8_t* view, std::int64_t p, std::int32_t encoding)
{
    if (encoding == EncodingUtf16LE)
        return static_cast<std::uint16_t>(view[p] | (view[p + 1] << 8));
    if (encoding == EncodingUtf16BE)
        return static_cast<std::uint16_t>((view[p] << 8) | view[p + 1]);
    return view[p];
}

inline bool Same(std::uint16_t fileUnit, std::uint16_t patternUnit, std::int32_t encoding, bool ignoreCase)
{
    if (!ignoreCase)
        return fileUnit == patternUnit;
    if (encoding == EncodingAnsi || encoding == EncodingUtf8)
        return UpperCase8(static_cast<std::uint8_t>(fileUnit)) == UpperCase8(static_cast<std::uint8_t>(patternUnit));
    return UpperCase16(fileUnit) == UpperCase16(patternUnit);
}

// The match of `text` in [from, to) of the view: forward the lowest, ending
// at the first NUL at or after from; backward the highest. Positions are
// clamped to [dataStart, dataEnd) and moved onto the unit grid (from up, to
// down). -1 when none.
inline std::int64_t Search(const std::uint8_t* view, std::int64_t dataStart, std::int64_t dataEnd,
                           std::int32_t encoding, bool ignoreCase, const std::u16string& text, std::int64_t from,
                           std::int64_t to, bool forward)
{
    const std::int64_t u = EncodingHasLines(encoding) ? EncodingUnitSize(encoding) : 0;
    const std::vector<std::uint16_t> pat = Pattern(text, encoding);
    if (u == 0 || pat.empty() || dataEnd <= dataStart)
        return -1;
    const std::int64_t end = dataStart + (dataEnd - dataStart) / u * u;
    if (from < dataStart)
        from = dataStart;
    while ((from - dataStart) % u != 0)
        ++from;
    if (to > end)
        to = end;
    while (to > dataStart && (to - dataStart) % u != 0)
        --to;
    const std::int64_t m = static_cast<std::int64_t>(pat.size());
    auto matchesAt = [&](std::int64_t p) {
        if (p + m * u > to)
            return false;
        for (std::int64_t i = 0; i < m; ++i)
            if (!Same(UnitAt(view, p + i * u, encoding), pat[i], encoding, ignoreCase))
                return false;
        return true;
    };
    if (forward) {
        for (std::int64_t p = from; p < to; p += u) {
            if (UnitAt(view, p, encoding) == 0)
                return -1;
            if (matchesAt(p))
                return p;
        }
    } else {
        for (std::int64_t p = to - u; p >= from; p -= u)
            if (matchesAt(p))
                return p;
    }
    return -1;
}

}  // namespace searchref
