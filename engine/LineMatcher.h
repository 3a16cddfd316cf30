// What the filter asks of a pattern: where its leftmost match lies in a run
// of whole lines, and whether one line, alone, holds a match. The filter
// owns the reading and the line rules; a matcher only compares, so that
// another engine can take its place behind the same interface.
//
// A chunk is a run of whole lines as stored (narrow bytes or UTF-16 units in
// the file's byte order), starting at a line start and ending at a line
// start or at the end of the data. Offsets are bytes from the chunk's start.
#pragma once

#include "platform/CodePage.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace linefilter {

// The text a filter reads: its encoding (EncodingAnsi, EncodingUtf8,
// EncodingUtf16LE, EncodingUtf16BE) and the code page of narrow text.
struct TextForm {
    std::int32_t encoding = 0;
    platform::CodePage codePage = platform::CodePage::Windows1252;
};

// What to list: lines holding a match of `pattern` (plain text or a regular
// expression, with or without letter case), or with `invert` those without.
struct FilterQuery {
    std::u16string pattern;
    bool regex = false;
    bool ignoreCase = false;
    bool invert = false;
};

class ILineMatcher {
public:
    virtual ~ILineMatcher() = default;
    // Takes the chunk that the calls below look at (valid until the next Load).
    virtual void Load(const std::uint8_t* chunk, std::size_t bytes) = 0;
    // The leftmost candidate at or after `from` (a line start): [begin, end).
    // A candidate may be empty or cross a line break; the filter then asks
    // LineMatches of the line it starts in. No candidate: false.
    virtual bool Find(std::size_t from, std::size_t& begin, std::size_t& end) = 0;
    // Whether the line [begin, end) of the chunk (its break left out) holds
    // a match of at least one unit when matched on its own.
    virtual bool LineMatches(std::size_t begin, std::size_t end) = 0;
};

// The matcher for a filter, or null with a message in `error` when the
// pattern is not valid (or empty, or the text has no lines).
std::unique_ptr<ILineMatcher> MakeLineMatcher(const FilterQuery& query, const TextForm& form, std::string* error);

}  // namespace linefilter
