#include "view/BuildDate.h"

#include <cstdio>

namespace {

constexpr const char* kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun", "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

char AsciiLower(char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool EqualIgnoringCase(const char* a, const char* b)
{
    for (; *a && *b; ++a, ++b)
        if (AsciiLower(*a) != AsciiLower(*b))
            return false;
    return *a == *b;
}

}  // namespace

std::tm ParseBuildDate(const std::string& date)
{
    std::tm parsed{};
    char month[4] = {};
    int day = 0;
    int year = 0;
    // The widths keep each field to the form's own size ("%3s %2d %4d").
    if (std::sscanf(date.c_str(), "%3s %2d %4d", month, &day, &year) < 3)
        return parsed;
    if (day < 1 || day > 31 || year < 1900 || year > 2999)
        return parsed;
    for (int m = 0; m < 12; ++m) {
        if (EqualIgnoringCase(month, kMonths[m])) {
            parsed.tm_mday = day;
            parsed.tm_mon = m;
            parsed.tm_year = year;
            break;
        }
    }
    return parsed;
}

std::string BuildVersionText(const std::string& date)
{
    const std::tm parsed = ParseBuildDate(date);
    char text[40];  // room for any int the format could meet
    std::snprintf(text, sizeof text, "%2.2d%2.2d%2.2d", parsed.tm_year % 100, parsed.tm_mon + 1, parsed.tm_mday);
    return text;
}

const char* ProgramBuildDate()
{
    return __DATE__;
}
