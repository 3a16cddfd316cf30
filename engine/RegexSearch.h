// Regular-expression search over a file's text, read through a scan reader
// (engine/ScanReader.h), in every encoding that has lines.
//
// The engine is RE2: its time is linear in the text whatever the pattern, so
// no pattern can hang the viewer. A match lies within one line: the text is
// handed to it with every CR, LF and NUL as a line feed and compiled so that
// `^` and `$` match at every line break, and `.`, classes and `\s` never
// match a break. Narrow text is matched as Latin-1 bytes under Windows-1252
// (the pattern brought to that code page, '?' for what it lacks) and as
// UTF-8 under the UTF-8 code page; UTF-16 text is transcoded to UTF-8 one
// window at a time, so memory stays bounded.
//
// Which matches count, as the search commands need them:
// - a match of length zero is no match;
// - forwards, the leftmost match that lies wholly inside [from, to); the
//   scan ends at the first NUL unit at or after `from`;
// - backwards, the matches of a line are those that a forward scan from the
//   line's start reports one after another without overlap; the result is
//   the last of them, over all lines, that lies wholly inside [from, to).
//   Lines are read backwards in windows and each is scanned from its start.
//
// Speed: most patterns hold a literal text that every match contains (RE2's
// prefilter finds it: "user=u" in `user=u[0-9]{4}`, "ical" in
// `(FATAL|CRIT)ICAL`); the window is scanned for it by the plain search's
// vector kernels and the engine runs only on the lines that hold it.
#pragma once

#include "engine/SearchKernels.h"
#include "platform/CodePage.h"

#include <cstdint>
#include <memory>
#include <string>

class CScanReader;
namespace re2 {
class RE2;
}

namespace regexsearch {

// A pattern compiled for the text of one encoding and code page.
class CPattern {
public:
    CPattern(const std::u16string& pattern, bool ignoreCase, std::int32_t encoding, platform::CodePage codePage);
    ~CPattern();
    CPattern(const CPattern&) = delete;
    CPattern& operator=(const CPattern&) = delete;

    // Compiled: an encoding with lines and a valid pattern.
    bool Ok() const;
    // Why the pattern is invalid, in the engine's words; empty when it is
    // valid (or the encoding has no text).
    const std::string& Error() const { return m_error; }
    unsigned UnitSize() const { return m_unitSize; }
    bool Wide() const { return m_unitSize == 2; }
    bool BigEndian() const { return m_bigEndian; }
    // The subject is UTF-8 (a match starts only on a character boundary).
    bool Utf8() const { return m_utf8; }
    const re2::RE2& Re() const { return *m_re; }
    // A text that every match holds, ignoring case (ASCII), as a needle for
    // the fast scan; of length 0 when the pattern has none. Only the lines
    // that hold it are handed to the engine.
    const searchkernels::Needle& Filter() const { return m_filter; }
    // When the pattern is a plain text that the plain search finds exactly
    // as the engine would (no metacharacter, no break, nothing the two fold
    // apart), that search's needle for it, so that a literal costs what the
    // plain search costs; null otherwise. Backwards only when no two of its
    // matches can overlap: the engine's matches of a line never overlap,
    // the plain search's may.
    const searchkernels::Needle* PlainText(bool forward) const
    {
        return m_plain.length == 0 || !(forward || m_bPlainBackward) ? nullptr : &m_plain;
    }

private:
    std::unique_ptr<re2::RE2> m_re;
    std::string m_error;
    searchkernels::Needle m_filter;
    searchkernels::Needle m_plain;
    bool m_bPlainBackward = false;
    unsigned m_unitSize = 1;
    bool m_bigEndian = false;
    bool m_utf8 = false;
};

// A pattern as the engine reads it, for every user of regular expressions
// over the file's bytes (find and the filter): UTF-8, or else Windows-1252
// bytes read as Latin-1 where a character the code page lacks is a literal
// '?' (a surrogate pair once), never a bare '?' that would change the pattern.
std::string EnginePatternText(const std::u16string& pattern, bool utf8);

// A literal (lower case, printable ASCII, two characters or more) that every match of the compiled
// expression holds, or empty when there is none: a search may look for it first and run the expression
// only around its candidates.
std::string RequiredLiteral(const re2::RE2& re);

// A match: its position (a byte offset, as the positions given) and its
// length in code units; position -1 when none.
struct Match {
    std::int64_t pos = -1;
    std::int64_t units = 0;
};

// Positions are byte offsets into the file the reader reads; [dataStart,
// dataEnd) is its text (after any byte-order mark).
// A range longer than the split's threshold is searched in blocks on every
// core with the same result; the reader's cancel flag stops them all.
Match SearchForward(const CPattern& pattern, CScanReader& reader, std::int64_t dataStart, std::int64_t dataEnd,
                    std::int64_t from, std::int64_t to, const engine::BlockSplit& split = {});
Match SearchBackward(const CPattern& pattern, CScanReader& reader, std::int64_t dataStart, std::int64_t dataEnd,
                     std::int64_t from, std::int64_t to, const engine::BlockSplit& split = {});

}  // namespace regexsearch
