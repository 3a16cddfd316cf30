// The code page of narrow text (ANSI files and files with the UTF-8 mark):
// one choice for the whole process, as the system's ANSI code page is on
// Windows. On Linux the system's narrow encoding is the locale's character
// set, so the shell starts from LocaleCodePage(); the user may change it.
//
// Under Windows-1252 each byte is one character of that code page. Under
// UTF-8 each well-formed sequence is one character, and every byte that is
// not part of one is the Windows-1252 character of that byte, so a
// Windows-1252 log still reads right and binary junk stays visible.
// Positions, counts and line breaks are bytes either way.
#pragma once

#include <cstdint>
#include <string_view>

namespace platform {

enum class CodePage : std::uint8_t { Windows1252, Utf8 };

// The code page that a character set name implies: UTF-8 for "UTF-8" (any
// letter case, with or without the hyphen), Windows-1252 for anything else.
CodePage CodePageOfCharset(std::string_view charset);
// The code page of the user's locale: the character set of LC_CTYPE as the
// environment sets it (setlocale(LC_CTYPE, "") and nl_langinfo(CODESET));
// the process's own LC_CTYPE is left as it was. Call it at start, before
// other threads run: the locale belongs to the whole process.
CodePage LocaleCodePage();

// The process-wide choice; Windows-1252 until the shell sets it, so that a
// program that never asks (the probe, the tests) does not depend on the locale.
CodePage AnsiCodePage();
void SetAnsiCodePage(CodePage codePage);

// "UTF-8" or "Windows-1252", the names the user sees.
const char* CodePageName(CodePage codePage);
// The settings value: "utf-8" or "1252".
const char* CodePageKey(CodePage codePage);
// Reads a settings value (as CodePageKey writes it, in any letter case);
// false, and `out` untouched, for anything else.
bool ParseCodePageKey(std::string_view key, CodePage& out);

}  // namespace platform
