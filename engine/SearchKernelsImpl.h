// The block scans behind SearchKernels.h, written once over a small vector
// interface and compiled per instruction set: SearchKernels.cpp instantiates
// them with SSE2, SearchKernelsAvx2.cpp with AVX2 (under a target pragma, so
// that nothing here may be included by any other file).
//
// A block of W bytes holds W / U candidates (U the unit size). For each
// block the two filter units of every candidate are loaded at once (two
// unaligned loads at the filters' offsets), compared with the filters, and
// the two results ANDed. Going forward the load of the first filter also
// looks for NUL units: a NUL ends the scan, and it cannot hide between
// blocks because the loads at that offset cover every unit from the offset on
// (the units before it are checked once up front).
#pragma once

#include "engine/SearchKernels.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>

namespace {

template <class V, unsigned U>
struct UnitOps {
    using R = typename V::R;
    static inline R Eq(R a, R b)
    {
        if constexpr (U == 1)
            return V::Eq8(a, b);
        else
            return V::Eq16(a, b);
    }
    static inline R Set(std::uint16_t v)
    {
        if constexpr (U == 1)
            return V::Set8(static_cast<std::uint8_t>(v));
        else
            return V::Set16(v);
    }
    // One bit per unit, at the unit's first byte.
    static inline std::uint32_t Bits(R m)
    {
        const std::uint32_t b = V::Mask(m);
        if constexpr (U == 1)
            return b;
        else
            return b & 0x55555555u;
    }
};

template <class V, unsigned U, bool General>
struct VecFilter {
    using R = typename V::R;
    using O = UnitOps<V, U>;
    R orMask, v0, v1, v2, v3;
    explicit VecFilter(const searchkernels::UnitFilter& f)
        : orMask(O::Set(f.orMask)),
          v0(O::Set(f.values[0])),
          v1(O::Set(f.values[1])),
          v2(O::Set(f.values[2])),
          v3(O::Set(f.values[3]))
    {
    }
    inline R Test(R x) const
    {
        R r = O::Eq(V::Or(x, orMask), v0);
        if constexpr (General)
            r = V::Or(V::Or(r, O::Eq(x, v1)), V::Or(O::Eq(x, v2), O::Eq(x, v3)));
        return r;
    }
};

template <unsigned U>
inline bool IsNulAt(const std::uint8_t* p)
{
    if constexpr (U == 1)
        return *p == 0;
    else
        return p[0] == 0 && p[1] == 0;
}

// Settles a forward block at byte offset q with candidate bits and NUL bits;
// true when the scan is over (result set: a unit offset or -1, and whether
// a NUL among the candidates ended it). A NUL past the last candidate only
// shows that no candidate of this call can match; the call for the
// candidates after it stops there.
template <unsigned U>
inline bool SettleForward(const searchkernels::Needle& nd, const std::uint8_t* d, std::size_t q, std::uint32_t cand,
                          std::uint32_t nul, std::size_t nulBase, std::size_t lastCand, std::int64_t& result,
                          bool& stopped)
{
    const std::size_t limit = nul ? nulBase + static_cast<std::size_t>(__builtin_ctz(nul)) : SIZE_MAX;
    const std::size_t bytes = nd.length * U;
    for (; cand; cand &= cand - 1) {
        const std::size_t at = q + static_cast<std::size_t>(__builtin_ctz(cand));
        if (at + bytes > limit)
            break;  // this and every later candidate would reach the NUL
        if (searchkernels::detail::Verify(nd, d + at)) {
            result = static_cast<std::int64_t>(at / U);
            return true;
        }
    }
    if (nul) {
        result = -1;
        stopped = limit <= lastCand;
        return true;
    }
    return false;
}

template <unsigned U>
inline bool SettleBackward(const searchkernels::Needle& nd, const std::uint8_t* d, std::size_t q, std::uint32_t cand,
                           std::int64_t& result)
{
    while (cand) {
        const unsigned bit = 31u - static_cast<unsigned>(__builtin_clz(cand));
        const std::size_t at = q + bit;
        if (searchkernels::detail::Verify(nd, d + at)) {
            result = static_cast<std::int64_t>(at / U);
            return true;
        }
        cand &= ~(1u << bit);
    }
    return false;
}

// Tries the candidates [0, cands) of data holding `units` units (a match may
// run past the last candidate, never past the data).
template <class V, unsigned U, bool General>
std::int64_t ScanForward(const searchkernels::Needle& nd, const std::uint8_t* d, std::size_t units, std::size_t cands,
                         bool& stopped)
{
    using R = typename V::R;
    using O = UnitOps<V, U>;
    constexpr std::size_t W = V::kWidth;
    const std::size_t m = nd.length;
    stopped = false;
    if (m == 0 || units < m || cands == 0)
        return -1;
    const std::size_t lastCand = (std::min(units - m + 1, cands) - 1) * U;  // byte offset of the last candidate
    const std::size_t off1 = nd.first.offset * U;
    const std::size_t off2 = nd.second.offset * U;
    std::size_t q = 0;
    std::int64_t result = -1;
    if (lastCand + U >= W) {
        // The block loads of the first filter see NULs from its offset on; a
        // NUL before that offset leaves no room for any match.
        for (std::size_t i = 0; i < off1; i += U)
            if (IsNulAt<U>(d + i)) {
                stopped = i <= lastCand;
                return -1;
            }
        const VecFilter<V, U, General> f1(nd.first), f2(nd.second);
        const R zero = V::Zero();
        for (; q + 2 * W <= lastCand + U; q += 2 * W) {
            const R a0 = V::Load(d + q + off1);
            const R b0 = V::Load(d + q + off2);
            const R a1 = V::Load(d + q + W + off1);
            const R b1 = V::Load(d + q + W + off2);
            const R c0 = V::And(f1.Test(a0), f2.Test(b0));
            const R c1 = V::And(f1.Test(a1), f2.Test(b1));
            const R z0 = O::Eq(a0, zero);
            const R z1 = O::Eq(a1, zero);
            if (!V::Any(V::Or(V::Or(c0, z0), V::Or(c1, z1))))
                continue;
            if (SettleForward<U>(nd, d, q, O::Bits(c0), O::Bits(z0), q + off1, lastCand, result, stopped))
                return result;
            if (SettleForward<U>(nd, d, q + W, O::Bits(c1), O::Bits(z1), q + W + off1, lastCand, result, stopped))
                return result;
        }
        for (; q + W <= lastCand + U; q += W) {
            const R a = V::Load(d + q + off1);
            const R b = V::Load(d + q + off2);
            const R c = V::And(f1.Test(a), f2.Test(b));
            const R z = O::Eq(a, zero);
            if (!V::Any(V::Or(c, z)))
                continue;
            if (SettleForward<U>(nd, d, q, O::Bits(c), O::Bits(z), q + off1, lastCand, result, stopped))
                return result;
        }
    }
    for (; q <= lastCand; q += U) {
        if (IsNulAt<U>(d + q)) {
            stopped = true;
            return -1;
        }
        if (searchkernels::detail::Verify(nd, d + q))
            return static_cast<std::int64_t>(q / U);
    }
    return -1;
}

template <class V, unsigned U, bool General>
std::int64_t ScanBackward(const searchkernels::Needle& nd, const std::uint8_t* d, std::size_t units, std::size_t cands)
{
    using R = typename V::R;
    using O = UnitOps<V, U>;
    constexpr std::size_t W = V::kWidth;
    const std::size_t m = nd.length;
    if (m == 0 || units < m)
        return -1;
    // Candidates below `top` (a byte offset) are still to be tried.
    std::size_t top = std::min(units - m + 1, cands) * U;
    const std::size_t off1 = nd.first.offset * U;
    const std::size_t off2 = nd.second.offset * U;
    std::int64_t result = -1;
    if (top >= W) {
        const VecFilter<V, U, General> f1(nd.first), f2(nd.second);
        for (; top >= 2 * W; top -= 2 * W) {
            const std::size_t hi = top - W, lo = top - 2 * W;
            const R c1 = V::And(f1.Test(V::Load(d + hi + off1)), f2.Test(V::Load(d + hi + off2)));
            const R c0 = V::And(f1.Test(V::Load(d + lo + off1)), f2.Test(V::Load(d + lo + off2)));
            if (!V::Any(V::Or(c0, c1)))
                continue;
            if (SettleBackward<U>(nd, d, hi, O::Bits(c1), result))
                return result;
            if (SettleBackward<U>(nd, d, lo, O::Bits(c0), result))
                return result;
        }
        for (; top >= W; top -= W) {
            const std::size_t q = top - W;
            const R c = V::And(f1.Test(V::Load(d + q + off1)), f2.Test(V::Load(d + q + off2)));
            if (V::Any(c) && SettleBackward<U>(nd, d, q, O::Bits(c), result))
                return result;
        }
    }
    while (top > 0) {
        top -= U;
        if (searchkernels::detail::Verify(nd, d + top))
            return static_cast<std::int64_t>(top / U);
    }
    return -1;
}

template <class V>
std::int64_t DispatchForward(const searchkernels::Needle& nd, const std::uint8_t* d, std::size_t units,
                             std::size_t cands, bool* stopped)
{
    if (nd.unitSize == 1)
        return nd.general ? ScanForward<V, 1, true>(nd, d, units, cands, *stopped)
                          : ScanForward<V, 1, false>(nd, d, units, cands, *stopped);
    return nd.general ? ScanForward<V, 2, true>(nd, d, units, cands, *stopped)
                      : ScanForward<V, 2, false>(nd, d, units, cands, *stopped);
}

template <class V>
std::int64_t DispatchBackward(const searchkernels::Needle& nd, const std::uint8_t* d, std::size_t units,
                              std::size_t cands)
{
    if (nd.unitSize == 1)
        return nd.general ? ScanBackward<V, 1, true>(nd, d, units, cands)
                          : ScanBackward<V, 1, false>(nd, d, units, cands);
    return nd.general ? ScanBackward<V, 2, true>(nd, d, units, cands) : ScanBackward<V, 2, false>(nd, d, units, cands);
}

}  // namespace
