// A deliberately plain regular-expression search, written straight from the
// rules with std::regex over one line at a time, against which the scanning
// search is checked (tests and the fuzz target). It knows the subset both
// engines read alike (ASCII text; . classes \d \w \s \b alternation groups
// repetitions anchors).
#pragma once

#include <cstdint>
#include <regex>
#include <string>
#include <vector>

namespace regexref {

struct Found {
    std::int64_t pos = -1;  // in characters
    std::int64_t length = 0;
    bool operator==(const Found&) const = default;
};

inline bool IsBreak(char c)
{
    return c == '\r' || c == '\n' || c == '\0';
}

// The engine's match beginning exactly at `p` of `line`, its length or -1.
inline std::int64_t MatchAt(const std::regex& re, const std::string& line, std::size_t p)
{
    std::smatch m;
    auto flags = std::regex_constants::match_continuous;
    if (p > 0)
        flags |= std::regex_constants::match_prev_avail;
    if (!std::regex_search(line.begin() + static_cast<std::ptrdiff_t>(p), line.end(), m, re, flags))
        return -1;
    return m.length(0);
}

// Every line of `text` (breaks: CR, LF, NUL) as [start, end).
inline std::vector<std::pair<std::size_t, std::size_t>> Lines(const std::string& text)
{
    std::vector<std::pair<std::size_t, std::size_t>> out;
    std::size_t start = 0;
    for (std::size_t i = 0; i <= text.size(); ++i)
        if (i == text.size() || IsBreak(text[i])) {
            out.emplace_back(start, i);
            start = i + 1;
        }
    return out;
}

inline std::regex Compile(const std::string& pattern, bool ignoreCase)
{
    return std::regex(pattern, ignoreCase ? std::regex::ECMAScript | std::regex::icase : std::regex::ECMAScript);
}

// Forwards: the lowest start p in [from, to), before the first NUL at or
// after `from`, whose match is not empty and ends by `to`.
inline Found Forward(const std::string& text, const std::string& pattern, bool ignoreCase, std::size_t from,
                     std::size_t to)
{
    const std::regex re = Compile(pattern, ignoreCase);
    const std::size_t nul = text.find('\0', from);
    if (nul != std::string::npos)
        to = std::min(to, nul);
    for (const auto& [s, e] : Lines(text))
        for (std::size_t p = std::max(s, from); p < e && p < to; ++p) {
            const std::int64_t n = MatchAt(re, text.substr(s, e - s), p - s);
            if (n > 0 && p + static_cast<std::size_t>(n) <= to)
                return {static_cast<std::int64_t>(p), n};
        }
    return {};
}

// Backwards: the last of each line's matches, found one after another from
// its start without overlap, that lies wholly in [from, to).
inline Found Backward(const std::string& text, const std::string& pattern, bool ignoreCase, std::size_t from,
                      std::size_t to)
{
    const std::regex re = Compile(pattern, ignoreCase);
    Found best;
    for (const auto& [s, e] : Lines(text)) {
        const std::string line = text.substr(s, e - s);
        for (std::size_t p = s; p < e;) {
            const std::int64_t n = MatchAt(re, line, p - s);
            if (n <= 0) {
                ++p;
                continue;
            }
            if (p >= from && p + static_cast<std::size_t>(n) <= to)
                best = {static_cast<std::int64_t>(p), n};
            p += static_cast<std::size_t>(n);
        }
    }
    return best;
}

}  // namespace regexref
