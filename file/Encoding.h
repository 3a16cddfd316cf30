// Encoding ids, their display names and code-unit sizes.
#pragma once

#include <cstdint>

enum : std::int32_t {
    EncodingAuto = 0,
    EncodingAnsi = 1,
    EncodingUtf16LE = 2,
    EncodingUtf16BE = 3,
    EncodingUtf32LE = 4,
    EncodingUtf32BE = 5,
    EncodingUtf8 = 6,
    EncodingNone = 7,
};

// The display text of an encoding id ("Unknown" for ids without one).
const char* EncodingName(std::int32_t encoding);
// Bytes per code unit: 1, 2 or 4; 0 for Auto, None and unknown ids.
unsigned EncodingUnitSize(std::int32_t encoding);
// The encodings a text window can show (narrow ANSI/UTF-8 and the two UTF-16).
inline bool EncodingHasLines(std::int32_t encoding)
{
    return encoding == EncodingAnsi || encoding == EncodingUtf8 || encoding == EncodingUtf16LE ||
           encoding == EncodingUtf16BE;
}
