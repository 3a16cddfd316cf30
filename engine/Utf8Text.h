// Narrow text read through the UTF-8 code page (platform/CodePage.h): one
// character per well-formed sequence, and the Windows-1252 character of
// every byte that is not part of one (a lone 0xE9, a sequence cut short by
// the end of the text or by another lead byte, an overlong form, a
// surrogate, bytes 0xF5 to 0xFF). Each such byte stands alone, so a lead
// byte or an ASCII byte always starts a character: reading may begin at any
// of them and meets the same characters as reading from further back.
//
// Also the properties of decoded characters, fixed at build time from ICU:
// the cells each takes on screen and the letter case above U+FFFF.
#pragma once

#include "platform/Win1252.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace utf8text {

struct Char {
    char32_t ch;          // the character (for a lone byte: its Windows-1252 character)
    std::uint8_t length;  // bytes, 1 to 4
    bool valid;           // a well-formed sequence (ASCII included)
};

// The character at p; p < end, and nothing at or past end is read.
inline Char DecodeAt(const std::uint8_t* p, const std::uint8_t* end)
{
    const std::uint8_t b = p[0];
    if (b < 0x80)
        return {b, 1, true};
    const std::size_t room = static_cast<std::size_t>(end - p);
    auto cont = [&](std::size_t i) { return (p[i] & 0xC0) == 0x80; };
    if (b >= 0xC2 && b <= 0xDF) {
        if (room >= 2 && cont(1))
            return {static_cast<char32_t>(((b & 0x1F) << 6) | (p[1] & 0x3F)), 2, true};
    } else if (b >= 0xE0 && b <= 0xEF) {
        // E0 must not be overlong, ED must not reach the surrogates.
        const std::uint8_t lo = b == 0xE0 ? 0xA0 : 0x80, hi = b == 0xED ? 0x9F : 0xBF;
        if (room >= 3 && p[1] >= lo && p[1] <= hi && cont(2))
            return {static_cast<char32_t>(((b & 0x0F) << 12) | ((p[1] & 0x3F) << 6) | (p[2] & 0x3F)), 3, true};
    } else if (b >= 0xF0 && b <= 0xF4) {
        // F0 must not be overlong, F4 must not pass U+10FFFF.
        const std::uint8_t lo = b == 0xF0 ? 0x90 : 0x80, hi = b == 0xF4 ? 0x8F : 0xBF;
        if (room >= 4 && p[1] >= lo && p[1] <= hi && cont(2) && cont(3))
            return {static_cast<char32_t>(((b & 0x07) << 18) | ((p[1] & 0x3F) << 12) | ((p[2] & 0x3F) << 6) |
                                          (p[3] & 0x3F)),
                    4, true};
    }
    return {platform::Win1252ToUnicode(b), 1, false};
}

// Where the character that ends at q starts, reading back no further than
// `begin` (q > begin). `begin` and q must be where reading forward from
// `begin` starts characters.
const std::uint8_t* PrevStart(const std::uint8_t* begin, const std::uint8_t* q);

// Display cells: 0 for a combining mark (general category Mn or Me, drawn
// in the cell of the character before it), 2 for a wide character (East
// Asian Width W or F), 1 for any other.
int Cells(char32_t ch);
// 256 flags by byte: true for a two-byte lead (0xC2 to 0xDF) all of whose
// characters take one cell, so that a run of them is counted without lookups.
const bool* OneCellLeads();

// Unicode simple case mappings and the Alphabetic property of any code point.
char32_t UpperCase32(char32_t ch);
char32_t LowerCase32(char32_t ch);
bool IsLetter32(char32_t ch);
// The mappings restricted to those that keep the character's UTF-8 length
// (ſ, ı, İ and the Kelvin sign keep their own case). Search and display case
// of narrow text use these, so a match is as long as its pattern.
char32_t UpperKeepingLength(char32_t ch);
char32_t LowerKeepingLength(char32_t ch);
// Every character that UpperKeepingLength takes to the same as `ch` (ch
// first), at most four; returns their number.
int CaseSpellings(char32_t ch, char32_t out[4]);

int Utf8Length(char32_t ch);
void AppendUtf8(std::string& out, char32_t ch);
void AppendUtf16(std::u16string& out, char32_t ch);
// The character at text[i] (a surrogate pair is one) and its length in units.
char32_t CharAt16(const char16_t* text, std::size_t length, std::size_t i, std::size_t* units);

// [p, end) decoded as it is drawn, appended to `out` (UTF-16, host order).
void DecodeToUtf16(const std::uint8_t* p, const std::uint8_t* end, std::u16string& out);

}  // namespace utf8text
