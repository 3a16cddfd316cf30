// The search scans of the text window: find a text in mapped code units at
// memory speed, forwards or backwards, with or without letter case.
//
// The results are exactly those of trying every candidate one code unit
// apart: forwards from the start of the range upwards, ending without a
// match at the first NUL unit; backwards from the top of the range down,
// passing NUL units (which never match). A match lies wholly inside the range.
// Only the way candidates are found is fast: two rare units of the pattern
// (with their case twins) are compared 16 or 32 bytes at a time, and each
// position where both agree is verified in full.
#pragma once

#include "engine/WorkPool.h"
#include "platform/CodePage.h"

class CScanReader;

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace searchkernels {

// Instruction sets the scans are built for. Avx2 is chosen at run time when
// the processor has it; Sse2 is always there on x86-64; Scalar runs anywhere.
enum class Isa { Scalar, Sse2, Avx2 };

Isa BestIsa();
bool IsaAvailable(Isa isa);
const char* IsaName(Isa isa);

// A vector filter on one pattern unit: a stored unit x passes when
// (x | orMask) == values[0] or x equals one of values[1..count). Values are
// in stored byte order, so big-endian text is compared as it lies.
struct UnitFilter {
    std::size_t offset = 0;  // in units from the candidate
    std::uint16_t orMask = 0;
    std::uint16_t values[4] = {0, 0, 0, 0};
    int count = 1;
};

// A character of a pattern in UTF-8 ignoring case: every spelling that a
// case-blind comparison takes for it, all of its length.
struct FoldedChar {
    std::size_t offset = 0;  // in bytes from the candidate
    std::uint8_t length = 0;
    std::uint8_t count = 0;
    std::uint8_t spellings[4][4] = {};
};

// A pattern prepared for one kind of text.
struct Needle {
    unsigned unitSize = 1;  // 1 (narrow) or 2 (UTF-16)
    bool bigEndian = false;
    bool ignoreCase = false;
    std::size_t length = 0;             // in units; 0 finds nothing
    std::vector<std::uint8_t> stored;   // the units as they lie in the file
    std::vector<std::uint16_t> folded;  // upper-cased units in host order (ignoring case)
    // UTF-8 ignoring case: the characters outside ASCII that have other
    // spellings; their bytes in `folded` are kFoldedElsewhere.
    std::vector<FoldedChar> foldedChars;
    UnitFilter first, second;  // first.offset <= second.offset
    bool general = false;      // a filter needs more than one comparison
};

inline constexpr std::uint16_t kFoldedElsewhere = 0x100;

// Narrow pattern (bytes). The pattern ends at its first NUL.
Needle PrepareNarrow(const std::string& pattern, bool ignoreCase);
// Pattern for narrow text under UTF-8: its UTF-8 bytes, found byte for
// byte. Ignoring case, ASCII letters fold as in PrepareNarrow and every other
// character by the simple mappings that keep its UTF-8 length (é finds É,
// σ finds Σ and ς). The pattern ends at its first NUL.
Needle PrepareUtf8(const std::u16string& pattern, bool ignoreCase);
// UTF-16 pattern in host order; bigEndian: the text stores units byte-swapped.
// The pattern ends at its first NUL.
Needle PrepareWide(const std::u16string& pattern, bool ignoreCase, bool bigEndian);

// The text of the search in the form of a file of the given encoding, as a
// needle: for narrow files Windows-1252 ('?' for what it lacks) or UTF-8 by
// the code page, UTF-16 as is or byte-swapped. Encodings without text give
// an empty needle.
Needle PrepareForEncoding(const std::u16string& text, std::int32_t encoding, bool ignoreCase,
                          platform::CodePage codePage = platform::CodePage::Windows1252);

// Lowest unit offset k in [0, units) with a match in [0, units), the scan
// ending at the first NUL unit; -1 when none. `data` holds units * unitSize bytes.
std::int64_t FindForward(const Needle& needle, const std::uint8_t* data, std::size_t units, Isa isa = BestIsa());
// Highest such offset; NUL units are passed. -1 when none.
std::int64_t FindBackward(const Needle& needle, const std::uint8_t* data, std::size_t units, Isa isa = BestIsa());

// A whole search over a mapped view: [from, to) clamped to [dataStart,
// dataEnd) and brought onto the code-unit grid, then scanned. Positions are
// byte offsets into `view`; the result is a position or -1. Nothing outside
// [dataStart, dataEnd) is read, whatever the positions say.
//
// The range is scanned in chunks (growing to a few MiB; chunkBytes fixes
// their size, for tests), and the pages of each chunk are mapped in one
// request before it is read: faulting them in one by one costs more than
// the scan itself on a file that was just mapped.
std::int64_t SearchView(const Needle& needle, const std::uint8_t* view, std::int64_t dataStart, std::int64_t dataEnd,
                        std::int64_t from, std::int64_t to, bool forward, Isa isa = BestIsa(),
                        std::size_t chunkBytes = 0);

// The same search through a scan reader (engine/ScanReader.h) over the file the
// positions are offsets into: the same results as SearchView over the same
// bytes, read in chunks instead of touching the mapping. A file that shrank
// under the scan ends it where its bytes end. A range longer than the
// split's threshold is scanned in blocks on every core (engine/WorkPool.h),
// with the same result; the reader's cancel flag stops every block and its
// poll is called on the caller's thread meanwhile.
std::int64_t SearchFile(const Needle& needle, CScanReader& reader, std::int64_t dataStart, std::int64_t dataEnd,
                        std::int64_t from, std::int64_t to, bool forward, Isa isa = BestIsa(),
                        const engine::BlockSplit& split = {});

// Kernels by instruction set (internal; the dispatch above picks one). Each
// tries the candidates [0, cands) of data holding `units` units; forward
// sets *stopped when a NUL among those candidates ended the scan.
namespace detail {
struct Kernels {
    std::int64_t (*forward)(const Needle&, const std::uint8_t* data, std::size_t units, std::size_t cands,
                            bool* stopped);
    std::int64_t (*backward)(const Needle&, const std::uint8_t* data, std::size_t units, std::size_t cands);
};
const Kernels& Sse2Kernels();
const Kernels& Avx2Kernels();
bool Verify(const Needle& needle, const std::uint8_t* at);
}  // namespace detail

}  // namespace searchkernels
