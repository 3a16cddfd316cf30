// Records of a log: the line a format reads starts one, the lines after it
// that it does not read continue it and take its time and level, and the
// lines before the first line read form a record without time or level.
// Reads the text through a chunk reader (never a mapping), in any encoding
// that the line index counts.
#pragma once

#include "engine/ChunkReader.h"
#include "engine/LineIndex.h"
#include "engine/LogFormat.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace logformat {

struct Record {
    bool starts = false;  // the line starts the record
    bool timed = false;
    std::int64_t micros = 0;
    Level level = Level::None;
};

class CRecordReader {
public:
    // `format` may be null: then every line is a record of its own without time or level.
    CRecordReader(IChunkReader& reader, std::int64_t dataStart, std::int64_t dataEnd, BreakUnits units,
                  const CFormat* format, timeseek::StampContext ctx);

    // Units of a line read for its time and level.
    static constexpr std::int64_t kLineUnits = 1024;
    // How far back a continuation line looks for the line that starts its record.
    static constexpr std::int64_t kLookBack = 1 << 20;

    // The ASCII of the line that starts at `lineStart` (at most kLineUnits units).
    std::string LineText(std::int64_t lineStart);
    // The record of the line that starts at `lineStart`. A continuation line
    // further than kLookBack from its record's start (or from the data's
    // start) gets neither time nor level. Asked for the line after the one
    // asked last (the rows of a screen, top down), it reads that line alone.
    Record RecordOf(std::int64_t lineStart);
    // The start of the line before the one at `lineStart`; -1 at the data's start.
    std::int64_t PrevLineStart(std::int64_t lineStart);
    // The start of the line after the one at `lineStart`; the data's end after the last.
    std::int64_t NextLineStart(std::int64_t lineStart);

private:
    std::uint16_t UnitAt(std::int64_t pos);
    // LineText into a buffer of the reader's own, read from the last piece when it lies there.
    std::string_view LineView(std::int64_t lineStart);
    bool IsBreak(std::uint16_t u) const { return u == m_units.cr || u == m_units.lf; }

    IChunkReader& m_reader;
    std::int64_t m_nStart, m_nEnd;
    BreakUnits m_units;
    const CFormat* m_pFormat;
    timeseek::StampContext m_ctx;
    // The last piece read: neighbouring lines lie in it.
    std::uint8_t m_piece[4096];
    std::int64_t m_nPieceAt = -1;
    std::int64_t m_nPieceLength = 0;
    std::vector<std::uint8_t> m_line;
    std::string m_ascii;
    // The line asked last and its record (its `starts` as for that line).
    std::int64_t m_nLastLine = -1;
    Record m_lastRecord;
};

}  // namespace logformat
