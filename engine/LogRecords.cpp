// Records of a log, read line by line through a chunk reader.
#include "engine/LogRecords.h"

#include "engine/CodeUnits.h"

#include <algorithm>
#include <vector>

namespace logformat {

CRecordReader::CRecordReader(IChunkReader& reader, std::int64_t dataStart, std::int64_t dataEnd, BreakUnits units,
                             const CFormat* format, timeseek::StampContext ctx)
    : m_reader(reader), m_nStart(dataStart), m_nEnd(dataEnd), m_units(units), m_pFormat(format), m_ctx(ctx)
{
}

std::uint16_t CRecordReader::UnitAt(std::int64_t pos)
{
    if (m_nPieceAt < 0 || pos < m_nPieceAt || pos + m_units.unit > m_nPieceAt + m_nPieceLength) {
        // Centred on pos, so that walking either way stays in the piece a while.
        std::int64_t at = std::max(m_nStart, pos - static_cast<std::int64_t>(sizeof m_piece) / 2);
        at -= (at - m_nStart) % m_units.unit;
        const std::uint64_t got = m_reader.Read(m_piece, sizeof m_piece, at);
        m_nPieceAt = at;
        m_nPieceLength = static_cast<std::int64_t>(got);
        if (pos + m_units.unit > m_nPieceAt + m_nPieceLength)
            return 0;
    }
    const std::uint8_t* p = m_piece + (pos - m_nPieceAt);
    return m_units.unit == 1 ? *p : codeunits::Load16(p);
}

std::string CRecordReader::LineText(std::int64_t lineStart)
{
    std::vector<std::uint8_t> buf(static_cast<std::size_t>(kLineUnits * m_units.unit));
    const std::int64_t n = std::min<std::int64_t>(static_cast<std::int64_t>(buf.size()), m_nEnd - lineStart);
    const std::uint64_t got = n > 0 ? m_reader.Read(buf.data(), static_cast<std::uint64_t>(n), lineStart) : 0;
    return timeseek::parts::AsciiOfUnits(buf.data(), static_cast<std::size_t>(got), m_units, true);
}

std::string_view CRecordReader::LineView(std::int64_t lineStart)
{
    const std::int64_t n = std::min<std::int64_t>(kLineUnits * m_units.unit, m_nEnd - lineStart);
    if (n <= 0) {
        m_ascii.clear();
        return m_ascii;
    }
    const std::uint8_t* p;
    std::uint64_t got;
    if (m_nPieceAt >= 0 && lineStart >= m_nPieceAt && lineStart + n <= m_nPieceAt + m_nPieceLength) {
        p = m_piece + (lineStart - m_nPieceAt);
        got = static_cast<std::uint64_t>(n);
    } else {
        m_line.resize(static_cast<std::size_t>(kLineUnits * m_units.unit));
        got = m_reader.Read(m_line.data(), static_cast<std::uint64_t>(n), lineStart);
        p = m_line.data();
    }
    timeseek::parts::AsciiOfUnits(p, static_cast<std::size_t>(got), m_units, true, m_ascii);
    return m_ascii;
}

std::int64_t CRecordReader::NextLineStart(std::int64_t lineStart)
{
    const std::int64_t u = m_units.unit;
    for (std::int64_t p = lineStart; p < m_nEnd; p += u) {
        const std::uint16_t c = UnitAt(p);
        if (!IsBreak(c))
            continue;
        if (p + u < m_nEnd && IsBreak(UnitAt(p + u)) && UnitAt(p + u) != c)
            return p + 2 * u;
        return p + u;
    }
    return m_nEnd;
}

std::int64_t CRecordReader::PrevLineStart(std::int64_t lineStart)
{
    const std::int64_t u = m_units.unit;
    if (lineStart <= m_nStart)
        return -1;
    // Over the break that ends the line before: one unit, or a pair of two different ones.
    std::int64_t p = lineStart - u;
    const std::uint16_t last = UnitAt(p);
    if (IsBreak(last) && p - u >= m_nStart && IsBreak(UnitAt(p - u)) && UnitAt(p - u) != last)
        p -= u;
    for (p -= u; p >= m_nStart; p -= u)
        if (IsBreak(UnitAt(p)))
            return p + u;
    return m_nStart;
}

Record CRecordReader::RecordOf(std::int64_t lineStart)
{
    Record r;
    LineRead read;
    if (!m_pFormat) {
        r.starts = true;
        return r;
    }
    // The next row's line: it starts a record or continues the last one.
    const bool next = m_nLastLine >= 0 && lineStart > m_nLastLine && NextLineStart(m_nLastLine) == lineStart;
    m_nLastLine = lineStart;
    for (std::int64_t at = lineStart; at >= 0 && lineStart - at <= kLookBack; at = PrevLineStart(at)) {
        if (m_pFormat->ReadAt(LineView(at), at, m_ctx, read)) {
            r.starts = at == lineStart;
            r.timed = true;
            r.micros = read.micros;
            r.level = read.level;
            return m_lastRecord = r;
        }
        if (next) {
            r = m_lastRecord;
            r.starts = false;
            return m_lastRecord = r;
        }
        if (at == m_nStart) {
            r.starts = at == lineStart;
            return m_lastRecord = r;
        }
    }
    return m_lastRecord = r;
}

}  // namespace logformat
