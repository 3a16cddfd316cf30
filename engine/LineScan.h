// Fast scans for line breaks over mapped text: 16 bytes at a time with SSE2
// where the processor has it (always on x86-64), a word loop elsewhere.
// Narrow text is scanned in bytes, UTF-16 in 16-bit units as stored (so
// big-endian text is matched against byte-swapped break values).
#pragma once

#include "engine/CodeUnits.h"

#include <cstddef>
#include <cstdint>
#include <type_traits>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace linescan {

using codeunits::Load16;

// First byte in [p, end) equal to a, b or c; end when none.
inline const std::uint8_t* FindAny8(const std::uint8_t* p, const std::uint8_t* end, std::uint8_t a, std::uint8_t b,
                                    std::uint8_t c)
{
#if defined(__SSE2__)
    const __m128i va = _mm_set1_epi8(static_cast<char>(a));
    const __m128i vb = _mm_set1_epi8(static_cast<char>(b));
    const __m128i vc = _mm_set1_epi8(static_cast<char>(c));
    while (end - p >= 16) {
        const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        const __m128i m =
            _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(x, va), _mm_cmpeq_epi8(x, vb)), _mm_cmpeq_epi8(x, vc));
        const unsigned mask = static_cast<unsigned>(_mm_movemask_epi8(m));
        if (mask)
            return p + __builtin_ctz(mask);
        p += 16;
    }
#endif
    for (; p < end; ++p)
        if (*p == a || *p == b || *p == c)
            return p;
    return end;
}

// Last byte in [begin, end) equal to a or b; null when none.
inline const std::uint8_t* FindLastAny8(const std::uint8_t* begin, const std::uint8_t* end, std::uint8_t a,
                                        std::uint8_t b)
{
#if defined(__SSE2__)
    const __m128i va = _mm_set1_epi8(static_cast<char>(a));
    const __m128i vb = _mm_set1_epi8(static_cast<char>(b));
    while (end - begin >= 16) {
        const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(end - 16));
        const __m128i m = _mm_or_si128(_mm_cmpeq_epi8(x, va), _mm_cmpeq_epi8(x, vb));
        const unsigned mask = static_cast<unsigned>(_mm_movemask_epi8(m));
        if (mask)
            return end - 16 + (31 - __builtin_clz(mask));
        end -= 16;
    }
#endif
    while (end > begin) {
        --end;
        if (*end == a || *end == b)
            return end;
    }
    return nullptr;
}

// 16-bit units: [p, end) holds whole units (end - p even).
inline const std::uint8_t* FindAny16(const std::uint8_t* p, const std::uint8_t* end, std::uint16_t a, std::uint16_t b,
                                     std::uint16_t c)
{
#if defined(__SSE2__)
    const __m128i va = _mm_set1_epi16(static_cast<short>(a));
    const __m128i vb = _mm_set1_epi16(static_cast<short>(b));
    const __m128i vc = _mm_set1_epi16(static_cast<short>(c));
    while (end - p >= 16) {
        const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        const __m128i m =
            _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi16(x, va), _mm_cmpeq_epi16(x, vb)), _mm_cmpeq_epi16(x, vc));
        const unsigned mask = static_cast<unsigned>(_mm_movemask_epi8(m));
        if (mask)
            return p + __builtin_ctz(mask);  // both bytes of a matching unit are set: the low one is even
        p += 16;
    }
#endif
    for (; end - p >= 2; p += 2) {
        const std::uint16_t u = Load16(p);
        if (u == a || u == b || u == c)
            return p;
    }
    return end;
}

inline const std::uint8_t* FindLastAny16(const std::uint8_t* begin, const std::uint8_t* end, std::uint16_t a,
                                         std::uint16_t b)
{
#if defined(__SSE2__)
    const __m128i va = _mm_set1_epi16(static_cast<short>(a));
    const __m128i vb = _mm_set1_epi16(static_cast<short>(b));
    while (end - begin >= 16) {
        const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(end - 16));
        const __m128i m = _mm_or_si128(_mm_cmpeq_epi16(x, va), _mm_cmpeq_epi16(x, vb));
        const unsigned mask = static_cast<unsigned>(_mm_movemask_epi8(m));
        if (mask)
            return end - 16 + (31 - __builtin_clz(mask)) - 1;  // high byte of the unit, minus one
        end -= 16;
    }
#endif
    while (end - begin >= 2) {
        end -= 2;
        const std::uint16_t u = Load16(end);
        if (u == a || u == b)
            return end;
    }
    return nullptr;
}

// Every unit in [p, end) equal to one of four values, in order (a line read
// looks for the breaks, the NUL and the tabs at once). Blocks of 16 bytes are
// compared and the other hits of a block kept, so that hits close together,
// as the tabs of a line are, cost a bit each rather than a new scan.
// UnitBytes is 1 for bytes, 2 for 16-bit units ([p, end) whole units).
template <int UnitBytes>
class AnyScan {
public:
    using Unit = std::conditional_t<UnitBytes == 1, std::uint8_t, std::uint16_t>;

    AnyScan(const std::uint8_t* p, const std::uint8_t* end, Unit a, Unit b, Unit c, Unit d)
        : m_pos(p), m_end(end), m_a(a), m_b(b), m_c(c), m_d(d)
    {
#if defined(__SSE2__)
        m_va = Splat(a), m_vb = Splat(b), m_vc = Splat(c), m_vd = Splat(d);
#endif
    }

    // The next hit, or end when there is none.
    const std::uint8_t* Next()
    {
#if defined(__SSE2__)
        for (;;) {
            if (m_mask) {
                const unsigned bit = static_cast<unsigned>(__builtin_ctz(m_mask));
                m_mask &= m_mask - 1;
                if (UnitBytes == 2)
                    m_mask &= m_mask - 1;  // both bytes of a matching unit are set
                return m_block + bit;
            }
            if (m_end - m_pos < 16)
                break;
            const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(m_pos));
            const __m128i m = _mm_or_si128(_mm_or_si128(Equal(x, m_va), Equal(x, m_vb)),
                                           _mm_or_si128(Equal(x, m_vc), Equal(x, m_vd)));
            m_mask = static_cast<unsigned>(_mm_movemask_epi8(m));
            m_block = m_pos;
            m_pos += 16;
        }
#endif
        for (; m_end - m_pos >= UnitBytes; m_pos += UnitBytes) {
            const Unit u = UnitBytes == 1 ? *m_pos : Load16(m_pos);
            if (u == m_a || u == m_b || u == m_c || u == m_d) {
                const std::uint8_t* hit = m_pos;
                m_pos += UnitBytes;
                return hit;
            }
        }
        return m_end;
    }

private:
#if defined(__SSE2__)
    static __m128i Splat(Unit u)
    {
        return UnitBytes == 1 ? _mm_set1_epi8(static_cast<char>(u)) : _mm_set1_epi16(static_cast<short>(u));
    }
    static __m128i Equal(__m128i x, __m128i v)
    {
        return UnitBytes == 1 ? _mm_cmpeq_epi8(x, v) : _mm_cmpeq_epi16(x, v);
    }
    __m128i m_va, m_vb, m_vc, m_vd;
    const std::uint8_t* m_block = nullptr;  // the block that m_mask describes
    unsigned m_mask = 0;
#endif
    const std::uint8_t* m_pos;  // first byte not yet compared
    const std::uint8_t* m_end;
    Unit m_a, m_b, m_c, m_d;
};

}  // namespace linescan
