#include "textwnd/UnicodeCase.h"

#include "platform/Win1252.h"

#include <array>

#include "UnicodeCaseTables.inc"

char16_t UpperCase16(char16_t ch)
{
    return static_cast<char16_t>(ch + kUpperStage2[kUpperStage1[ch >> 8]][ch & 0xFF]);
}

char16_t LowerCase16(char16_t ch)
{
    return static_cast<char16_t>(ch + kLowerStage2[kLowerStage1[ch >> 8]][ch & 0xFF]);
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
