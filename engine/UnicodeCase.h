// Letter case of text as it is drawn and searched, fixed at build time:
// the same in the viewer, the tests and any locale.
#pragma once

#include <cstdint>

// Unicode simple case mappings of a UTF-16 code unit (surrogates unchanged).
char16_t UpperCase16(char16_t ch);
char16_t LowerCase16(char16_t ch);
// Code units with the same simple upper-case mapping, as rings: ring[c] is the
// next unit after c that goes up to the same unit (at most four in a ring), so
// following it from c visits every unit a case-blind comparison takes for c.
const std::uint16_t* CaseFoldRings();
// The Unicode Alphabetic property of a code unit.
bool IsLetter16(char16_t ch);

// Bytes: ASCII letters only, as the C locale does it.
inline std::uint8_t UpperCase8(std::uint8_t ch)
{
    return ch >= 'a' && ch <= 'z' ? ch - 32 : ch;
}
inline std::uint8_t LowerCase8(std::uint8_t ch)
{
    return ch >= 'A' && ch <= 'Z' ? ch + 32 : ch;
}
inline bool IsLetter8(std::uint8_t ch)
{
    return (ch | 32) >= 'a' && (ch | 32) <= 'z';
}

// Whether a byte is drawn as a letter: the Alphabetic property of its
// Windows-1252 character. Sentence case needs it to see where a word goes
// on (an accented letter must not leave the next letter capitalised); the
// mappings above stay ASCII.
bool IsWin1252Letter(std::uint8_t ch);
