#include "tools/headless/NarrowRows.h"

#include <algorithm>
#include <charconv>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace headless {

namespace {

// Printable ASCII but the backslash stands for itself.
bool Plain(std::uint8_t b)
{
    return b >= 0x20 && b < 0x7F && b != '\\';
}

// The first byte of [i, n) that is not Plain, or n.
std::size_t PlainRun(const std::uint8_t* d, std::size_t i, std::size_t n)
{
#if defined(__SSE2__)
    const __m128i below = _mm_set1_epi8(0x20 - 1), above = _mm_set1_epi8(0x7F), slash = _mm_set1_epi8('\\');
    for (; i + 16 <= n; i += 16) {
        const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(d + i));
        // Signed compares: bytes from 0x80 on are negative, so below 0x20 too.
        const __m128i ok = _mm_andnot_si128(_mm_cmpeq_epi8(x, slash),
                                            _mm_and_si128(_mm_cmpgt_epi8(x, below), _mm_cmplt_epi8(x, above)));
        const auto mask = static_cast<unsigned>(_mm_movemask_epi8(ok));
        if (mask != 0xFFFF)
            return i + static_cast<std::size_t>(__builtin_ctz(~mask));
    }
#endif
    while (i < n && Plain(d[i]))
        ++i;
    return i;
}

}  // namespace

CNarrowRows::CNarrowRows(IChunkReader& source, std::int64_t dataEnd,
                         const std::function<void(std::string&, std::uint8_t)>& shown, std::size_t window)
    : m_source(source), m_dataEnd(dataEnd), m_window(std::max<std::size_t>(window, 1))
{
    for (unsigned b = 0; b < 256; ++b) {
        m_plain[b] = Plain(static_cast<std::uint8_t>(b));
        if (!m_plain[b])
            shown(m_escape[b], static_cast<std::uint8_t>(b));
    }
}

std::size_t CNarrowRows::Fill(std::int64_t start, std::int64_t to)
{
    if (start >= m_at && start < m_at + static_cast<std::int64_t>(m_size))
        return static_cast<std::size_t>(m_at + static_cast<std::int64_t>(m_size) - start);
    const auto want = static_cast<std::size_t>(
        std::clamp<std::int64_t>(std::min(to, m_dataEnd) - start, 1,
                                 std::min<std::int64_t>(static_cast<std::int64_t>(m_window), m_dataEnd - start)));
    if (m_buffer.size() < want)
        m_buffer.resize(want);
    m_at = start;
    m_view = m_buffer.data();
    m_size = static_cast<std::size_t>(m_source.Read(m_buffer.data(), want, start));
    return m_size;
}

void CNarrowRows::Hold(const std::uint8_t* data, std::int64_t at, std::size_t size)
{
    m_view = data;
    m_at = at;
    m_size = size;
}

void CNarrowRows::AppendListing(std::string& out, const std::int64_t* starts, std::size_t n)
{
    const auto window = static_cast<std::int64_t>(m_window);
    std::size_t ahead = 0;  // the last line start that a read from here would cover
    for (std::size_t k = 0; k < n; ++k) {
        ahead = std::max(ahead, k);
        while (ahead + 1 < n && starts[ahead + 1] - starts[ahead] <= kGap &&
               starts[ahead + 1] + kSpare - starts[k] <= window)
            ++ahead;
        char number[24];
        char* end = std::to_chars(number, number + sizeof number, starts[k]).ptr;
        *end++ = '\t';
        out.append(number, static_cast<std::size_t>(end - number));
        AppendRow(out, starts[k], starts[ahead] + kSpare);
        out += '\n';
    }
}

void CNarrowRows::AppendRow(std::string& out, std::int64_t start, std::int64_t readTo)
{
    out += '|';
    std::int64_t column = 0;
    for (std::int64_t pos = start; pos >= 0 && pos < m_dataEnd;) {
        // A line that goes on past what was read is read on in whole windows.
        const std::size_t n = Fill(pos, pos == start ? readTo : pos + static_cast<std::int64_t>(m_window));
        if (n == 0)
            break;  // the file is shorter than told
        const std::uint8_t* d = m_view + (pos - m_at);
        std::size_t i = 0;
        bool ended = false;
        while (i < n) {
            const std::size_t j = PlainRun(d, i, n);
            out.append(reinterpret_cast<const char*>(d + i), j - i);
            column += static_cast<std::int64_t>(j - i);
            i = j;
            if (i == n)
                break;
            const std::uint8_t c = d[i];
            if (c == '\r' || c == '\n' || c == 0) {
                ended = true;  // a NUL ends a line's text as the window reads it
                break;
            }
            if (c == '\t') {
                const std::int64_t spaces = column % 8;
                out.append(static_cast<std::size_t>(spaces), ' ');
                column += spaces;
            } else {
                out += m_escape[c];
                ++column;
            }
            ++i;
        }
        if (ended)
            break;
        pos += static_cast<std::int64_t>(n);  // the window ends inside the line
    }
    out += '|';
}

}  // namespace headless
