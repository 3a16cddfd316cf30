#include "textwnd/UnicodeCase.h"

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
