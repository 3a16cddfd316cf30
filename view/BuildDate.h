// The program's build version: the date of its build, given in the
// compiler's build-date form "Mmm dd yyyy" (an English month abbreviation,
// the day in two characters with a leading space below 10, the year), shown
// as six digits "yymmdd".
#pragma once

#include <ctime>
#include <string>

// The date as a broken-down time: only the day of the month, the month (0 to
// 11) and the full year (2009, not years since 1900) are set; every field is
// 0 when the text has fewer than three fields, a day outside 1 to 31, a year
// outside 1900 to 2999 or an unknown month (English, letter case aside,
// whatever the process locale). A value rather than a shared static record:
// the About box and --version both ask, and neither may change what the other read.
std::tm ParseBuildDate(const std::string& date);

// "yymmdd" from the parsed date; "000100" for a text that does not parse.
std::string BuildVersionText(const std::string& date);

// The date this program was built on ("Mmm dd yyyy"; reproducible builds set it through SOURCE_DATE_EPOCH).
const char* ProgramBuildDate();
