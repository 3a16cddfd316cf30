// The search scans built for AVX2, 32 bytes a block. Only this file is
// compiled for AVX2 (by a target pragma, so the build needs no special
// flags); SearchKernels.cpp calls into it only when the processor has AVX2.
// Every library header is included before the pragma, so that no inline
// function shared with other files is compiled here for AVX2.
#include "engine/SearchKernels.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#if defined(__x86_64__) || defined(__SSE2__)
#include <immintrin.h>

#if defined(__clang__)
#pragma clang attribute push(__attribute__((target("avx2"))), apply_to = function)
#else
#pragma GCC push_options
#pragma GCC target("avx2")
#endif

#include "engine/SearchKernelsImpl.h"

namespace {

struct Avx2 {
    using R = __m256i;
    static constexpr std::size_t kWidth = 32;
    static inline R Load(const std::uint8_t* p) { return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p)); }
    static inline R Set8(std::uint8_t v) { return _mm256_set1_epi8(static_cast<char>(v)); }
    static inline R Set16(std::uint16_t v) { return _mm256_set1_epi16(static_cast<short>(v)); }
    static inline R Zero() { return _mm256_setzero_si256(); }
    static inline R Or(R a, R b) { return _mm256_or_si256(a, b); }
    static inline R And(R a, R b) { return _mm256_and_si256(a, b); }
    static inline R Eq8(R a, R b) { return _mm256_cmpeq_epi8(a, b); }
    static inline R Eq16(R a, R b) { return _mm256_cmpeq_epi16(a, b); }
    static inline std::uint32_t Mask(R a) { return static_cast<std::uint32_t>(_mm256_movemask_epi8(a)); }
    static inline bool Any(R a) { return !_mm256_testz_si256(a, a); }
};

std::int64_t Avx2Forward(const searchkernels::Needle& nd, const std::uint8_t* d, std::size_t units, std::size_t cands,
                         bool* stopped)
{
    return DispatchForward<Avx2>(nd, d, units, cands, stopped);
}

std::int64_t Avx2Backward(const searchkernels::Needle& nd, const std::uint8_t* d, std::size_t units, std::size_t cands)
{
    return DispatchBackward<Avx2>(nd, d, units, cands);
}

}  // namespace

#if defined(__clang__)
#pragma clang attribute pop
#else
#pragma GCC pop_options
#endif

const searchkernels::detail::Kernels& searchkernels::detail::Avx2Kernels()
{
    static const Kernels k{&Avx2Forward, &Avx2Backward};
    return k;
}

#endif
