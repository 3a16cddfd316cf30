// 16-bit code units as they lie in mapped bytes: loaded from any address, and
// byte-swapped where big-endian text meets the host's order.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace codeunits {

static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__, "16-bit units are read as little-endian host values");

inline std::uint16_t Load16(const std::uint8_t* p)
{
    std::uint16_t v;
    std::memcpy(&v, p, 2);
    return v;
}

inline std::uint16_t Swap16(std::uint16_t v)
{
    return static_cast<std::uint16_t>((v >> 8) | (v << 8));
}

// Swaps the two bytes of each of the `count` units at p, in place.
inline void SwapUnits(void* p, std::size_t count)
{
    auto* b = static_cast<std::uint8_t*>(p);
    for (std::size_t i = 0; i < count; ++i, b += 2) {
        const std::uint16_t v = Swap16(Load16(b));
        std::memcpy(b, &v, 2);
    }
}

}  // namespace codeunits
