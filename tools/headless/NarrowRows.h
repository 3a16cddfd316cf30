// The rows of a filter's listing over narrow text (one byte a character,
// not decoded as UTF-8), read through a chunk source in large windows, as the
// window's own line reading shows them: the text from a line start to its
// first CR, LF or NUL (or the end of the text), a tab at column n taking n % 8
// spaces, each byte written as a table built once says. A listing of a
// million lines then costs a few reads and a copy of each row, not a walk of
// the line model through the mapping and one call per character.
#pragma once

#include "engine/ChunkReader.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace headless {

class CNarrowRows {
public:
    static constexpr std::size_t kWindow = std::size_t{1} << 20;

    // `shown` appends what a byte that is not printable ASCII (or is a
    // backslash) shows as; it is asked once for each of those bytes.
    CNarrowRows(IChunkReader& source, std::int64_t dataEnd,
                const std::function<void(std::string&, std::uint8_t)>& shown, std::size_t window = kWindow);

    // Bytes [at, at + size) of the text that the caller keeps as they are
    // until the next call: rows in them are taken from there, unread.
    void Hold(const std::uint8_t* data, std::int64_t at, std::size_t size);

    // Appends the listing of the lines that start at starts[0 .. n) (in
    // ascending order): per line its offset, a tab, its row between two '|'
    // and a line feed. A read covers the lines ahead that fit in the window
    // with a little to spare while they lie close together, so that sparse
    // lines read little more than themselves and dense ones few times.
    void AppendListing(std::string& out, const std::int64_t* starts, std::size_t n);
    // Appends the row of the line that starts at `start`; `readTo` is where a
    // read that must start there had best end.
    void AppendRow(std::string& out, std::int64_t start, std::int64_t readTo);

    // Bytes read past the last line start that a read covers (most lines are shorter).
    static constexpr std::int64_t kSpare = 512;
    // The widest gap between two lines that one read spans: copying more
    // costs more than a read of its own.
    static constexpr std::int64_t kGap = 8192;

private:
    // The bytes held from `start` on, read anew up to `to` (and no further than
    // the window or the text's end) when `start` is not held.
    std::size_t Fill(std::int64_t start, std::int64_t to);

    IChunkReader& m_source;
    const std::int64_t m_dataEnd;
    const std::size_t m_window;
    std::string m_escape[256];
    bool m_plain[256] = {};
    std::vector<std::uint8_t> m_buffer;
    const std::uint8_t* m_view = nullptr;  // the bytes held: m_buffer's or the caller's
    std::int64_t m_at = 0;                 // their file offset
    std::size_t m_size = 0;
};

}  // namespace headless
