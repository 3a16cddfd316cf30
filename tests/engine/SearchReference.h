// A deliberately plain search, written straight from the rules one code
// unit at a time, against which the fast scans are checked (tests and the
// fuzz target). Nothing here is shared with the code under test except the
// fixed case and code-page tables.
#pragma once

#include "engine/UnicodeCase.h"
#include "engine/Utf8Text.h"
#include "file/Encoding.h"
#include "platform/CodePage.h"
#include "platform/Win1252.h"

#include <cstdint>
#include <string>
#include <vector>

namespace searchref {

inline std::uint16_t Swap(std::uint16_t v)
{
    return static_cast<std::uint16_t>((v >> 8) | (v << 8));
}

using platform::CodePage;

inline bool Narrow(std::int32_t encoding)
{
    return encoding == EncodingAnsi || encoding == EncodingUtf8;
}

// The search text as the file would store it: host-order values of the
// units (bytes for narrow files), ending before its first NUL.
inline std::vector<std::uint16_t> Pattern(const std::u16string& text, std::int32_t encoding,
                                          CodePage codePage = CodePage::Windows1252)
{
    std::vector<std::uint16_t> out;
    if (Narrow(encoding)) {
        const bool utf8 = codePage == CodePage::Utf8;
        for (char c : utf8 ? platform::Utf16ToUtf8(text) : platform::Utf16ToWin1252(text)) {
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

// Under UTF-8 a character of the pattern outside ASCII matches, ignoring
// case, a well-formed character of its length whose upper case (when that
// keeps the length) is the pattern character's.
inline int Utf8Bytes(char32_t c)
{
    return c < 0x80 ? 1 : c < 0x800 ? 2 : c < 0x10000 ? 3 : 4;
}

// The length a lead byte announces (a continuation byte is left to the caller).
inline int LeadLength(std::uint8_t b)
{
    return b < 0x80 ? 1 : b < 0xE0 ? 2 : b < 0xF0 ? 3 : 4;
}

inline char32_t FoldKeepingLength(char32_t c)
{
    const char32_t up = utf8text::UpperCase32(c);
    return Utf8Bytes(up) == Utf8Bytes(c) ? up : c;
}

// The character of the `n` bytes at p when they are one well-formed sequence, else 0xFFFFFFFF.
inline char32_t WellFormed(const std::uint8_t* p, int n)
{
    static const std::uint8_t kLeadBits[5] = {0, 0x7F, 0x1F, 0x0F, 0x07};
    if (LeadLength(p[0]) != n || (p[0] & 0xC0) == 0x80)
        return 0xFFFFFFFF;
    char32_t c = p[0] & kLeadBits[n];
    for (int i = 1; i < n; ++i) {
        if ((p[i] & 0xC0) != 0x80)
            return 0xFFFFFFFF;
        c = (c << 6) | (p[i] & 0x3F);
    }
    const bool ok = Utf8Bytes(c) == n && c <= 0x10FFFF && !(c >= 0xD800 && c <= 0xDFFF);
    return ok ? c : 0xFFFFFFFF;
}

inline bool SameUtf8(const std::uint8_t* text, const std::uint16_t* pattern, int n, bool ignoreCase)
{
    if (!ignoreCase || n == 1) {
        for (int i = 0; i < n; ++i)
            if (ignoreCase ? UpperCase8(text[i]) != UpperCase8(static_cast<std::uint8_t>(pattern[i]))
                           : text[i] != pattern[i])
                return false;
        return true;
    }
    std::uint8_t bytes[4];
    for (int i = 0; i < n; ++i)
        bytes[i] = static_cast<std::uint8_t>(pattern[i]);
    const char32_t c = WellFormed(text, n);
    return c != 0xFFFFFFFF && FoldKeepingLength(c) == FoldKeepingLength(WellFormed(bytes, n));
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
                           std::int64_t to, bool forward, CodePage codePage = CodePage::Windows1252)
{
    const std::int64_t u = EncodingHasLines(encoding) ? EncodingUnitSize(encoding) : 0;
    const std::vector<std::uint16_t> pat = Pattern(text, encoding, codePage);
    const bool utf8 = Narrow(encoding) && codePage == CodePage::Utf8;
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
        for (std::int64_t i = 0; i < m;) {
            // One character of the pattern at a time (a unit but under UTF-8).
            const int n = utf8 ? LeadLength(static_cast<std::uint8_t>(pat[i])) : 1;
            if (utf8 ? !SameUtf8(view + p + i, &pat[static_cast<std::size_t>(i)], n, ignoreCase)
                     : !Same(UnitAt(view, p + i * u, encoding), pat[i], encoding, ignoreCase))
                return false;
            i += n;
        }
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
