// Windows-1252, the code page in which narrow text is shown and searched.
// Our own table: the C library's converters depend on the process locale and
// reject the five bytes that the code page leaves undefined.
#pragma once

#include <cstdint>
#include <string>

namespace platform {

// The character of a byte; the undefined 0x81, 0x8D, 0x8F, 0x90 and 0x9D map
// to the C1 controls of the same value.
char16_t Win1252ToUnicode(std::uint8_t byte);
// The byte of a character, or '?' when the code page has none.
std::uint8_t UnicodeToWin1252(char16_t ch);
// Whole-string conversion (surrogate pairs become a single '?').
std::string Utf16ToWin1252(const std::u16string& text);

// UTF-8 <-> UTF-16 for texts crossing the core's edges (paths, messages).
// Invalid UTF-8 yields false from the checked variant.
bool Utf8ToUtf16Checked(const std::string& in, std::u16string& out);
std::u16string Utf8ToUtf16(const std::string& in);  // invalid sequences become U+FFFD
std::string Utf16ToUtf8(const std::u16string& in);  // lone surrogates become U+FFFD

}  // namespace platform
