#include "platform/Types.h"

#include <atomic>
#include <cstdlib>
#include <limits>

namespace platform {

namespace {

constexpr int kDefaultDpi = 96;
std::atomic<int> g_nScreenDpiY{kDefaultDpi};

}  // namespace

void SetScreenDpiY(int dpi)
{
    g_nScreenDpiY.store(dpi > 0 ? dpi : kDefaultDpi, std::memory_order_relaxed);
}

int GetScreenDpiY()
{
    return g_nScreenDpiY.load(std::memory_order_relaxed);
}

std::int32_t MulDiv(std::int32_t number, std::int32_t numerator, std::int32_t denominator)
{
    if (denominator == 0)
        return -1;
    const std::int64_t product = static_cast<std::int64_t>(number) * numerator;
    const bool negative = (product < 0) != (denominator < 0);
    const std::uint64_t a = product < 0 ? 0 - static_cast<std::uint64_t>(product) : static_cast<std::uint64_t>(product);
    const std::uint64_t d = denominator < 0 ? 0 - static_cast<std::uint64_t>(static_cast<std::int64_t>(denominator))
                                            : static_cast<std::uint64_t>(denominator);
    const std::uint64_t q = (a + d / 2) / d;  // halves away from zero
    if (q > static_cast<std::uint64_t>(std::numeric_limits<std::int32_t>::max()) + (negative ? 1u : 0u))
        return -1;
    return negative ? static_cast<std::int32_t>(0 - q) : static_cast<std::int32_t>(q);
}

}  // namespace platform
