// Merged windows: several log files shown as one, ordered by time, without
// indexing them. A row is one line of one file; records go by time, then by
// the order of the files, and a record's continuation lines stay under it.
// Lines before a file's first record count as a record at that file's first
// time (at the very start when the file has no record).
//
// A place in the merged order (a top) keeps every file's next line (its
// head): a screenful is a k-way merge forward from the heads, and a step back
// takes the latest of each file's line before its head. Places made from a
// time find each head by Go to Time's bisection (engine/TimeSeek.h), so work
// follows the screen and the number of files, never the files' sizes.
//
// In sequence (a rotation set), the files are parts of one log, oldest first: they are read one after
// another, every row of a file before the next file's, so that no format is needed; a top's heads are the
// ends of the files before its file and the starts of those after it, and the thumb is scaled over the
// parts' bytes. Times, where the parts have a format, serve Go to Time (the first part that reaches the time).
//
// Inside an out-of-order stretch of one file, each file's rows still come in
// that file's order and paging forward from Home to the end (or backward from
// the end) gives every row exactly once; the merged order there is what the
// merge of the heads gives, and a step back need not undo a step forward.
//
// A file whose window hides lines (its filter stack) gives its shown lines
// only: a source with shown lines keeps every head on a shown line, and its
// rows' times are still those of the records they belong to.
#pragma once

#include "engine/ChunkReader.h"
#include "engine/LineMatcher.h"
#include "engine/LogFormat.h"

#include <cstdint>
#include <limits>
#include <vector>

namespace merged {

constexpr int kMaxSources = 32;
// The time of a file's lines when it has no record.
constexpr std::int64_t kVeryStart = std::numeric_limits<std::int64_t>::min();

// The lines a file's filter stack shows, as its window walks them (which may
// scan ahead of its background scan within a budget). Positions are line starts.
class IShownLines {
public:
    virtual ~IShownLines() = default;
    // The first shown line at or after pos (pos itself when shown); the data's end when none.
    virtual std::int64_t NextShown(std::int64_t pos) = 0;
    // Where the shown line before pos ends (its next line's start); -1 when none.
    virtual std::int64_t PrevShownEnd(std::int64_t pos) = 0;
    // Whether the shown line at lineStart follows hidden lines of its file.
    virtual bool FollowsHidden(std::int64_t lineStart) = 0;
    // Whether the shown line at lineStart is a context line.
    virtual bool IsContext(std::int64_t lineStart) = 0;
};

struct Source {
    IChunkReader* reader = nullptr;
    IShownLines* shown = nullptr;  // null: every line is a row
    linefilter::TextForm form;
    const logformat::CFormat* format = nullptr;
    timeseek::StampContext ctx;
    std::int64_t dataStart = 0, dataEnd = 0;
};

struct Row {
    int file = -1;
    std::int64_t start = 0, end = 0;  // the line's start and end (before its break)
    std::int64_t next = 0;            // the next line's start
    bool startsRecord = false;
    std::int64_t micros = 0;  // the record's time
    // With shown lines (Rows only): the line follows hidden lines of its file, or is a context line.
    bool followsHidden = false, context = false;
};

// A place in the merged order: the row at `pos` of `file` at `micros`, and
// every file's head (heads[file] == pos). file -1: past the last row.
struct Top {
    std::int64_t micros = kVeryStart;
    int file = -1;
    std::int64_t pos = 0;
    std::vector<std::int64_t> heads;
};

// How the files' rows are ordered: by time (a merged window), or one file after another (a rotation set).
enum class Order { ByTime, Sequence };

class CMergedRows {
public:
    // At most kMaxSources; the readers outlive this.
    explicit CMergedRows(std::vector<Source> sources, Order order = Order::ByTime);
    Order OrderOf() const { return m_order; }
    int Count() const { return static_cast<int>(m_sources.size()); }

    // The top at (micros, file, pos), pos a line start of that file: the
    // other files' heads by Go to Time (the files before it past `micros`).
    Top Place(std::int64_t micros, int file, std::int64_t pos);
    // The next n rows, the top's own first.
    std::vector<Row> Rows(const Top& top, int n);
    // One row on or back; false (the top kept) at the last or the first row.
    bool Next(Top& top);
    bool Previous(Top& top);
    // Up to n rows on (never past the last row) or back; how many were moved.
    int PageDown(Top& top, int n);
    int PageUp(Top& top, int n);
    Top Home();
    // Past the last row: where appended rows start.
    Top PastEnd() const;
    // The top of the last screenful of n rows.
    Top End(int n);
    // The first row at or after `micros`; PastEnd when none.
    Top AtTime(std::int64_t micros);
    // The thumb: 0..1 of the span from the first record's time to the last's.
    Top AtFraction(double fraction);
    double FractionOf(const Top& top);
    // In sequence: the row of file f that holds its byte `offset` from its data's start (clamped to the file).
    Top AtPartByte(int f, std::int64_t offset);

    // The source's end grew (the caller truncates by starting afresh).
    void Grow(int file, std::int64_t newEnd);

private:
    // The first row of f at or after pos (pos when every line is one); dataEnd when none.
    std::int64_t ShownFrom(int f, std::int64_t pos);
    // The start of f's row before pos; -1 when none.
    std::int64_t RowBefore(int f, std::int64_t pos);
    Row RowAt(int f, std::int64_t pos);
    // The start of the line after the one at `pos`, and that line's end.
    std::int64_t LineNext(int f, std::int64_t pos, std::int64_t& end);
    // The start of the line before the one at `pos` (> dataStart).
    std::int64_t PrevStart(int f, std::int64_t pos);
    std::uint16_t Unit(int f, std::int64_t p);
    bool Stamped(int f, std::int64_t start, std::int64_t end, std::int64_t& micros);
    std::int64_t FirstTime(int f);
    std::int64_t LastTime(int f);
    // The first line of a record at or after `micros` (head lines with the first record).
    std::int64_t SeekFrom(int f, std::int64_t micros);
    Top TopOfHeads(std::vector<std::int64_t> heads);
    bool IsBreak(int f, std::uint16_t u) const;
    // Whether row a goes before row b (a and b of different files; equal ones go in the files' order).
    bool Before(const Row& a, const Row& b) const
    {
        return m_order == Order::ByTime ? a.micros < b.micros : a.file < b.file;
    }
    // The heads of a place in file f at pos, in sequence: the files before it at their ends, after it at
    // their starts.
    std::vector<std::int64_t> SequenceHeads(int f, std::int64_t pos) const;
    // The thumb over the parts' bytes, in sequence.
    Top AtByteFraction(double fraction);
    double ByteFractionOf(const Top& top) const;

    struct Per {
        Source src;
        unsigned unit = 1;
        std::uint16_t cr = 0x0D, lf = 0x0A;
        std::vector<std::uint8_t> buf;
        std::int64_t bufAt = -1;
        // Lines starting in (lo, hi) continue the record at lo, at `time`.
        std::int64_t lo = 0, hi = -1, time = 0;
        bool haveFirst = false, haveLast = false;
        std::int64_t first = kVeryStart, last = kVeryStart;
    };
    std::vector<Per> m_sources;
    Order m_order = Order::ByTime;
};

}  // namespace merged
