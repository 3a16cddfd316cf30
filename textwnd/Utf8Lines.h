// Lines of narrow text read through the UTF-8 code page, in display
// columns: a well-formed sequence is one character, any other byte the
// Windows-1252 character of that byte (engine/Utf8Text.h); a wide character
// takes two columns, a combining mark none (it is drawn in its base's cell),
// a tab expands by display column as everywhere. Where a line starts and
// ends stays the line model's: this reader only decodes what lies between.
//
// A line is measured whole whenever it is read (its width is the horizontal
// range), so reading a very long line would cost its length at every
// repaint. Lines of kLongLineBytes or more therefore keep column checkpoints
// (a position on a character boundary and its column, every
// kCheckpointBytes): a read starts at the checkpoint left of what it stores
// and learns the width from the first read. They are kept per line start for
// the file they were taken from, and dropped when the file shrinks or is
// another file.
#pragma once

#include "file/MemoryMappedFile.h"
#include "textwnd/LineModel.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

class CUtf8LineReader {
public:
    static constexpr TextPos kLongLineBytes = 64 << 10;
    static constexpr TextPos kCheckpointBytes = 64 << 10;
    static constexpr std::size_t kMaxLines = 256;

    // As CLineModel::ReadLine over narrow text, with the characters of the
    // stored columns decoded into `text` (UTF-16, host order; null: not
    // wanted). The text starts exactly at `c.firstColumn`: a wide character
    // cut by it shows as a blank cell. A combining mark that begins a read
    // gets a blank cell of its own to sit on. At most `maxColumns` columns
    // are stored, a wide character at the right end may reach one further.
    // `c.width` and `c.markColumns` count display columns; a mark's column is
    // that of the first character that starts at or after it.
    TextPos ReadLine(const CLineModel& lines, const CMemoryMappedFile* file, TextPos p, std::u16string* text,
                     std::size_t maxColumns, LineColumns& c);

    // Sentence state after [from, to) of the text, both on character
    // boundaries: true after a full stop, false after a letter, `state` when
    // neither is there.
    static bool SentenceStateAfter(const std::uint8_t* view, TextPos from, TextPos to, bool state);

    // Drops every checkpoint.
    void Forget();
    std::size_t CachedLines() const { return m_entries.size(); }

    struct Cursor {
        TextPos q = 0;       // a character boundary
        std::int64_t n = 0;  // its display column
        bool based = false;  // a character with a cell lies before it on the line
    };

private:
    struct Entry {
        TextPos start = 0;
        TextPos contentEnd = 0;
        TextPos next = 0;                 // where the next line starts
        TextPos dataEnd = 0;              // the end of the data when contentEnd was found
        std::int64_t width = -1;          // columns at contentEnd, -1 not measured yet
        std::vector<Cursor> checkpoints;  // the first at the start; in order of position and of column
        std::uint64_t used = 0;
    };

    void Validate(const CMemoryMappedFile* file, TextPos dataEnd);
    Entry* Find(TextPos start);
    Entry* Add(TextPos start);

    const CMemoryMappedFile* m_pFile = nullptr;
    int m_nHandle = -1;
    TextPos m_nDataEnd = 0;
    std::vector<Entry> m_entries;
    std::uint64_t m_nClock = 0;
};
