#include "engine/UnicodeCase.h"

#include "platform/Win1252.h"

#include <array>
#include <vector>

#include "UnicodeCaseTables.inc"

char16_t UpperCase16(char16_t ch)
{
    return static_cast<char16_t>(ch + kUpperStage2[kUpperStage1[ch >> 8]][ch & 0xFF]);
}

char16_t LowerCase16(char16_t ch)
{
    return static_cast<char16_t>(ch + kLowerStage2[kLowerStage1[ch >> 8]][ch & 0xFF]);
}

const std::uint16_t* CaseFoldRings()
{
    static const std::vector<std::uint16_t> ring = [] {
        std::vector<std::uint16_t> next(65536), last(65536);
        std::vector<bool> seen(65536, false);
        for (unsigned x = 0; x < 65536; ++x) {
            const std::uint16_t up = UpperCase16(static_cast<char16_t>(x));
            if (!seen[up]) {
                seen[up] = true;
                next[x] = static_cast<std::uint16_t>(x);
            } else {
                next[x] = next[last[up]];
                next[last[up]] = static_cast<std::uint16_t>(x);
            }
            last[up] = static_cast<std::uint16_t>(x);
        }
        return next;
    }();
    return ring.data();
}

bool IsLetter16(char16_t ch)
{
    return (kLetterBits[ch >> 3] >> (ch & 7)) & 1;
}

bool IsWin1252Letter(std::uint8_t ch)
{
    static const std::array<bool, 256> kLetters = [] {
        std::array<bool, 256> letters{};
        for (int b = 0; b < 256; ++b)
            letters[b] = IsLetter16(platform::Win1252ToUnicode(static_cast<std::uint8_t>(b)));
        return letters;
    }();
    return kLetters[ch];
}
