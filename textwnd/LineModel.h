// The line model over the mapped text of one file: what a code unit is, where
// lines start and end, and how a line reads in display columns. It knows the
// bytes and the encoding and nothing of a window; the text window's steps,
// painting, search and copy all go through it.
//
// Positions are byte offsets from the start of the mapping; kNoPos ("none")
// compares below every position. Every read is bounded by the mapping as it
// is now: the file's view is read afresh at each call, since another window
// on the same file may have re-mapped it.
//
// The rules (a unit is one code unit, compared with the CR, LF and TAB of the
// encoding; UTF-16 BE units are compared as stored, against byte-swapped values):
// - A line break is CR LF or LF CR (one break of two units), or a lone CR or
//   LF. Reading forward, pairs form from the left: CR CR LF is a lone CR and
//   a pair; LF CR LF a pair and a lone LF. Backward steps pair the two units
//   nearest to them.
// - A NUL unit ends every forward reading: a step or a read stops on it.
//   So that the text after the last NULs stays within reach (a log that a
//   crash left zeros in goes on after them), the last screenful never starts
//   before a NUL that text follows (AfterLastNul).
// - A line reads in display columns: a TAB at column n takes n mod 8 columns,
//   every other unit one.
//
// Long lines: what a long walk found is kept, so that the next walk over the
// same bytes costs only what lies beyond them. A backward scan remembers a
// long stretch that it found free of breaks (or of NULs), a line read the
// column it reached at the end of a long line. A log that grows at the end
// of one long line then costs per reload what was appended, not the line.
// The file's bytes below its old end do not change while it grows; what a
// walk found is dropped when the file shrinks (truncated or replaced), when
// it is reopened by its name and when another file is attached.
#pragma once

#include "engine/TextPos.h"
#include "file/Encoding.h"
#include "file/MemoryMappedFile.h"

#include <cstddef>
#include <cstdint>
#include <string>

// A line read in display columns (tabs expanded), beyond its text: what the
// reader asks for and what it learns on the way.
struct LineColumns {
    // The first display column to store: the columns left of it are stepped
    // over without being stored, their tabs still counted.
    std::int64_t firstColumn = 0;
    // Positions whose display columns are wanted (kNoPos when not): painting asks for the search highlight's
    // two ends and the selection's.
    static constexpr int kMarks = 5;
    TextPos marks[kMarks] = {kNoPos, kNoPos, kNoPos, kNoPos, kNoPos};

    // The display column of the first unit at or after each mark: 0 for a
    // mark at or before the start of the read, the line's width for a mark
    // past its last character.
    std::int64_t markColumns[kMarks] = {};
    std::int64_t width = 0;      // display columns of the whole line
    TextPos storedEnd = kNoPos;  // first unit right of the stored columns, or contentEnd
    // The unit of the first stored column (a tab or wide character cut by the
    // left edge included) and the column it starts at; contentEnd and the
    // line's width when nothing was stored.
    TextPos storedStart = kNoPos;
    std::int64_t storedStartColumn = 0;
    TextPos contentEnd = kNoPos;  // the line's break, its NUL, or the end of the data
};

class CLineModel {
public:
    // The text of `file` from `bomLength` on, in `encoding` (null: no text).
    void Attach(const CMemoryMappedFile* file, std::uint32_t bomLength, std::int32_t encoding);
    // The file's holes may have changed (it was re-mapped or changed size).
    void ForgetHoles() { m_nFirstHole = kNoPos; }

    bool HasText() const;  // a view, in an encoding with lines
    bool IsWide() const { return m_bWide; }
    TextPos Unit() const { return m_nUnit; }
    TextPos DataStart() const;  // kNoPos without a view
    TextPos DataEnd() const;    // kNoPos without a view; on the code-unit grid
    const std::uint8_t* View() const { return m_pFile ? m_pFile->View() : nullptr; }
    std::uint16_t CRUnit() const { return m_chCR; }
    std::uint16_t LFUnit() const { return m_chLF; }

    // The unit at `at` as stored, and as a character in host order.
    std::uint16_t UnitAt(TextPos at) const;
    char16_t CharAt(TextPos at) const;
    bool IsBreakAt(TextPos at) const;
    // Whether the units at `at` and after it form a CR LF or LF CR pair in the data.
    bool IsPairAt(TextPos at) const;
    // Where the line break at `at` ends: past a pair, past a lone CR or LF; a
    // NUL stays where it is.
    TextPos StepOverBreak(TextPos at) const;

    // The text must be there (HasText) for these; positions lie in the data.
    // The next line's start from p, reading no further than `limit` (which a
    // pair is never stepped over), or the NUL that stops the reading.
    TextPos NextLineStart(TextPos p, TextPos limit) const;
    // From inside a line its start, from a line's start the start of the
    // line before; p > DataStart.
    TextPos PrevLineStart(TextPos p);
    // The start of the line that holds p as forward reading pairs its breaks
    // (between the two units of a pair: the line the pair ends); p > DataStart.
    TextPos LineStartOf(TextPos p);
    // Just before the first break after p, never before the start; the end
    // of the data when no break follows.
    TextPos LineLastOf(TextPos p) const;
    // Where the text after the last NUL in [from, DataEnd) starts, NULs that
    // end the data not counted (no text follows them); `from` when no NUL
    // there is followed by text. From there forward reading reaches the end.
    TextPos AfterLastNul(TextPos from);
    // Reads the line from p: at most `maxChars` characters from
    // `c.firstColumn` on into `narrow` (bytes) or `wide` (UTF-16, host order),
    // stepping over the rest; returns where the next line starts.
    TextPos ReadLine(TextPos p, std::string* narrow, std::u16string* wide, std::size_t maxChars, LineColumns& c) const;
    // Brings `n` bytes copied from the text to host order (UTF-16 BE is swapped).
    void ToHostOrder(std::uint8_t* bytes, std::uint64_t n) const;

private:
    // The first unit in [from, to) equal to a, b or c; `to` when none.
    TextPos FindAny(const std::uint8_t* v, TextPos from, TextPos to, std::uint16_t a, std::uint16_t b,
                    std::uint16_t c) const;
    // What a backward scan looks for: a CR or LF, a NUL, or any unit but NUL.
    enum class Seek { Break, Nul, Data };
    // Position of the last unit sought in [from, to), or kNoPos. A long scan
    // skips the file's holes unread (they hold NULs only) and reads the rest
    // through a buffer, so that none of its pages is mapped in.
    TextPos FindLast(TextPos from, TextPos to, Seek seek);
    TextPos FindLastBreak(TextPos from, TextPos to) { return FindLast(from, to, Seek::Break); }
    // The last unit sought in the n bytes at b (n on the unit grid), or null.
    const std::uint8_t* FindLastIn(const std::uint8_t* b, std::uint64_t n, Seek seek) const;
    // Whether p lies between the two units of a pair as forward reading pairs them.
    bool IsInsidePair(TextPos p) const;
    // Offset of the file's first hole (cached until ForgetHoles).
    TextPos FirstHole();
    // Whether [from, to) may hold data (false only for a known hole).
    bool HoldsData(TextPos from, TextPos to);

    // A stretch [from, to) known to hold no unit sought (kNoPos: none known).
    struct KnownRun {
        TextPos from = kNoPos, to = kNoPos;
    };
    // Where a line read reached: the walk of the line from `start` was at
    // `at` (between tabs, before its end) in display column `column`.
    struct WalkMark {
        TextPos start = kNoPos, at = kNoPos;
        std::int64_t column = 0;
    };
    // A walk shorter than this is not worth remembering.
    static constexpr TextPos kLongWalk = 64 << 10;
    // Drops what walks found when the file shrank since they looked at it.
    void CheckKnown() const;
    TextPos FindLastUncached(TextPos from, TextPos to, Seek seek);
    void RememberRun(KnownRun& run, TextPos from, TextPos to);

    const CMemoryMappedFile* m_pFile = nullptr;
    mutable KnownRun m_known[2];  // by Seek: Break, Nul
    mutable WalkMark m_walk;
    mutable std::uint64_t m_nKnownSize = 0;                              // the file's size when they were last checked
    mutable platform::FileHandle m_hKnownFile = platform::kInvalidFile;  // and its descriptor
    TextPos m_nStart = 0;                                                // the mark's length
    std::int32_t m_nEncoding = EncodingNone;
    TextPos m_nUnit = 0;   // the encoding's unit size (0 for none)
    bool m_bWide = false;  // UTF-16: lines of 16-bit units
    bool m_bSwap = false;  // UTF-16 BE: units leave the model byte-swapped
    std::uint16_t m_chCR = 0, m_chLF = 0, m_chTab = 0;
    TextPos m_nFirstHole = kNoPos;  // kNoPos: not asked yet
};
