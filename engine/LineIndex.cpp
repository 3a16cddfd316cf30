// Counting line breaks at memory speed, and the sparse index built from it.
#include "engine/LineIndex.h"

#include "engine/CodeUnits.h"
#include "engine/LineScan.h"
#include "engine/WorkPool.h"

#include <algorithm>
#include <bit>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#if defined(__x86_64__)
#include <immintrin.h>
#endif

namespace {

constexpr std::uint64_t kEven = 0x5555555555555555ULL;

// Bit i of each mask: unit i of the 64 at p is the CR or LF value.
template <int UnitBytes>
void BreakMasks(const std::uint8_t* p, std::uint16_t cr, std::uint16_t lf, std::uint64_t& crMask, std::uint64_t& lfMask)
{
    crMask = lfMask = 0;
#if defined(__SSE2__)
    if constexpr (UnitBytes == 1) {
        const __m128i vcr = _mm_set1_epi8(static_cast<char>(cr));
        const __m128i vlf = _mm_set1_epi8(static_cast<char>(lf));
        for (int k = 0; k < 4; ++k) {
            const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 16 * k));
            crMask |= static_cast<std::uint64_t>(static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(x, vcr))))
                      << (16 * k);
            lfMask |= static_cast<std::uint64_t>(static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(x, vlf))))
                      << (16 * k);
        }
    } else {
        const __m128i vcr = _mm_set1_epi16(static_cast<short>(cr));
        const __m128i vlf = _mm_set1_epi16(static_cast<short>(lf));
        for (int k = 0; k < 4; ++k) {
            const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 32 * k));
            const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 32 * k + 16));
            const __m128i c = _mm_packs_epi16(_mm_cmpeq_epi16(a, vcr), _mm_cmpeq_epi16(b, vcr));
            const __m128i l = _mm_packs_epi16(_mm_cmpeq_epi16(a, vlf), _mm_cmpeq_epi16(b, vlf));
            crMask |= static_cast<std::uint64_t>(static_cast<unsigned>(_mm_movemask_epi8(c))) << (16 * k);
            lfMask |= static_cast<std::uint64_t>(static_cast<unsigned>(_mm_movemask_epi8(l))) << (16 * k);
        }
    }
#else
    for (int i = 0; i < 64; ++i) {
        const std::uint16_t u = UnitBytes == 1 ? p[i] : codeunits::Load16(p + 2 * i);
        crMask |= static_cast<std::uint64_t>(u == cr) << i;
        lfMask |= static_cast<std::uint64_t>(u == lf) << i;
    }
#endif
}

// The units equal to `lf` among the n units at p. With no CR about, every LF
// is one break and counting them is all: compared 16 bytes at a time, the
// hits summed in byte lanes that are emptied before they can overflow.
template <int UnitBytes>
std::uint64_t CountUnits(const std::uint8_t* p, std::uint64_t units, std::uint16_t lf)
{
    std::uint64_t count = 0;
    std::uint64_t i = 0;
    const std::uint64_t bytes = units * UnitBytes;
#if defined(__SSE2__)
    const __m128i v = UnitBytes == 1 ? _mm_set1_epi8(static_cast<char>(lf)) : _mm_set1_epi16(static_cast<short>(lf));
    const __m128i zero = _mm_setzero_si128();
    while (bytes - i >= 64) {
        __m128i acc = zero;
        for (int k = 0; k < 63 && bytes - i >= 64; ++k, i += 64) {
            for (int j = 0; j < 4; ++j) {
                const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i + 16 * j));
                acc = _mm_sub_epi8(acc, UnitBytes == 1 ? _mm_cmpeq_epi8(x, v) : _mm_cmpeq_epi16(x, v));
            }
        }
        const __m128i sums = _mm_sad_epu8(acc, zero);
        count += static_cast<std::uint64_t>(_mm_cvtsi128_si64(sums)) +
                 static_cast<std::uint64_t>(_mm_cvtsi128_si64(_mm_unpackhi_epi64(sums, sums)));
    }
    if (UnitBytes == 2)
        count /= 2;  // both bytes of a matching unit were counted
#endif
    for (; i < bytes; i += UnitBytes)
        count += (UnitBytes == 1 ? p[i] : codeunits::Load16(p + i)) == lf;
    return count;
}

// One block of 64 units as masks. Pairs form from the left, so a run of
// alternating break units (CR LF CR LF ...) pairs its 1st and 2nd, 3rd and
// 4th units: within each run of possible pair starts, every other one
// starting with the first. Inlined into each loop that feeds blocks, so that
// a loop built for a wider instruction set counts with that set's popcount.
[[gnu::always_inline]] inline void CountBlock(BreakState& s, std::uint16_t ucr, std::uint16_t ulf, std::uint64_t cr,
                                              std::uint64_t lf)
{
    if (!(cr | lf)) {
        s.pending = 0;
        return;
    }
    if ((s.pending == ucr && (lf & 1)) || (s.pending == ulf && (cr & 1))) {
        cr &= ~1ULL;  // completes the pair that the last block began
        lf &= ~1ULL;
    }
    const std::uint64_t any = cr | lf;
    const std::uint64_t starts = (cr & (lf >> 1)) | (lf & (cr >> 1));
    std::uint64_t pairs = starts;
    if (starts & (starts >> 1)) {
        const std::uint64_t runHeads = starts & ~(starts << 1);
        const std::uint64_t evenRuns = starts & ((starts + (runHeads & kEven)) ^ starts);
        pairs = (evenRuns & kEven) | (starts & ~evenRuns & ~kEven);
    }
    s.breaks += std::popcount(any) - std::popcount(pairs);
    const bool lastOpen = (any >> 63) && !((pairs >> 62) & 1);
    s.pending = lastOpen ? ((cr >> 63) ? ucr : ulf) : 0;
}

template <int UnitBytes>
void FeedBlocksBase(const std::uint8_t* p, std::uint64_t blocks, std::uint16_t ucr, std::uint16_t ulf, BreakState& s)
{
    for (std::uint64_t k = 0; k < blocks; ++k, p += 64 * UnitBytes) {
        std::uint64_t cr, lf;
        BreakMasks<UnitBytes>(p, ucr, ulf, cr, lf);
        CountBlock(s, ucr, ulf, cr, lf);
    }
}

#if defined(__x86_64__)
// The same loop for processors with AVX2 (and so POPCNT): the masks of 64
// units in two or four loads, and the counts in one instruction each,
// where the baseline build calls a library routine for every popcount.
template <int UnitBytes>
[[gnu::target("avx2,popcnt")]] void FeedBlocksAvx2(const std::uint8_t* p, std::uint64_t blocks, std::uint16_t ucr,
                                                   std::uint16_t ulf, BreakState& s)
{
    for (std::uint64_t k = 0; k < blocks; ++k, p += 64 * UnitBytes) {
        std::uint64_t cr, lf;
        if constexpr (UnitBytes == 1) {
            const __m256i vcr = _mm256_set1_epi8(static_cast<char>(ucr));
            const __m256i vlf = _mm256_set1_epi8(static_cast<char>(ulf));
            const __m256i a = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
            const __m256i b = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + 32));
            cr = static_cast<std::uint32_t>(_mm256_movemask_epi8(_mm256_cmpeq_epi8(a, vcr))) |
                 static_cast<std::uint64_t>(static_cast<std::uint32_t>(_mm256_movemask_epi8(_mm256_cmpeq_epi8(b, vcr))))
                     << 32;
            lf = static_cast<std::uint32_t>(_mm256_movemask_epi8(_mm256_cmpeq_epi8(a, vlf))) |
                 static_cast<std::uint64_t>(static_cast<std::uint32_t>(_mm256_movemask_epi8(_mm256_cmpeq_epi8(b, vlf))))
                     << 32;
        } else {
            const __m256i vcr = _mm256_set1_epi16(static_cast<short>(ucr));
            const __m256i vlf = _mm256_set1_epi16(static_cast<short>(ulf));
            std::uint32_t m[4];
            for (int h = 0; h < 2; ++h) {
                const __m256i a = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + 64 * h));
                const __m256i b = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + 64 * h + 32));
                // packs works within 128-bit lanes: the permute puts the 32 units back in order.
                const __m256i c = _mm256_permute4x64_epi64(
                    _mm256_packs_epi16(_mm256_cmpeq_epi16(a, vcr), _mm256_cmpeq_epi16(b, vcr)), 0xD8);
                const __m256i l = _mm256_permute4x64_epi64(
                    _mm256_packs_epi16(_mm256_cmpeq_epi16(a, vlf), _mm256_cmpeq_epi16(b, vlf)), 0xD8);
                m[h] = static_cast<std::uint32_t>(_mm256_movemask_epi8(c));
                m[2 + h] = static_cast<std::uint32_t>(_mm256_movemask_epi8(l));
            }
            cr = m[0] | static_cast<std::uint64_t>(m[1]) << 32;
            lf = m[2] | static_cast<std::uint64_t>(m[3]) << 32;
        }
        CountBlock(s, ucr, ulf, cr, lf);
    }
}

[[gnu::target("avx2,popcnt")]] inline std::uint64_t LaneSum(__m256i bytes)
{
    const __m256i v = _mm256_sad_epu8(bytes, _mm256_setzero_si256());
    return static_cast<std::uint64_t>(_mm256_extract_epi64(v, 0)) +
           static_cast<std::uint64_t>(_mm256_extract_epi64(v, 1)) +
           static_cast<std::uint64_t>(_mm256_extract_epi64(v, 2)) +
           static_cast<std::uint64_t>(_mm256_extract_epi64(v, 3));
}

// The breaks among n bytes when they are simple, in one pass: no CR at all
// (every LF is a break), or every CR followed by an LF and every LF after a
// CR (every pair is a break, counted at its CR; a CR at the end waits for its
// LF). False, with nothing counted, for any other mix.
[[gnu::target("avx2,popcnt")]] bool CountSimpleBreaksAvx2(const std::uint8_t* p, std::uint64_t n, std::uint8_t cr,
                                                          std::uint8_t lf, std::uint64_t& breaks,
                                                          std::uint16_t& pending)
{
    if (n == 0 || p[0] == lf)
        return n == 0 ? (breaks = 0, pending = 0, true) : false;
    const __m256i vcr = _mm256_set1_epi8(static_cast<char>(cr));
    const __m256i vlf = _mm256_set1_epi8(static_cast<char>(lf));
    const __m256i zero = _mm256_setzero_si256();
    __m256i odd = zero;  // a CR without an LF after it, or an LF without a CR before it
    std::uint64_t crs = 0, lfs = 0, i = 0;
    bool sawCr = false;
    while (i + 65 <= n) {
        // Byte lanes count at most 255 before they are summed. Until a CR turns
        // up, LFs alone are counted; the stretch with the first CR is counted
        // again with the pairs' checks, as is all that follows.
        if (!sawCr) {
            const std::uint64_t from = i;
            __m256i acc = zero, anyCr = zero;
            for (int k = 0; k < 127 && i + 65 <= n; ++k, i += 64) {
                const __m256i a = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + i));
                const __m256i b = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + i + 32));
                acc = _mm256_sub_epi8(_mm256_sub_epi8(acc, _mm256_cmpeq_epi8(a, vlf)), _mm256_cmpeq_epi8(b, vlf));
                anyCr = _mm256_or_si256(anyCr, _mm256_or_si256(_mm256_cmpeq_epi8(a, vcr), _mm256_cmpeq_epi8(b, vcr)));
            }
            if (_mm256_testz_si256(anyCr, anyCr)) {
                lfs += LaneSum(acc);
                continue;
            }
            sawCr = true;
            i = from;
        }
        __m256i accCr = zero, accLf = zero;
        for (int k = 0; k < 127 && i + 65 <= n; ++k, i += 64) {
            const __m256i a = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + i));
            const __m256i b = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + i + 32));
            const __m256i a1 = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + i + 1));
            const __m256i b1 = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + i + 33));
            const __m256i ca = _mm256_cmpeq_epi8(a, vcr), cb = _mm256_cmpeq_epi8(b, vcr);
            accCr = _mm256_sub_epi8(_mm256_sub_epi8(accCr, ca), cb);
            accLf = _mm256_sub_epi8(_mm256_sub_epi8(accLf, _mm256_cmpeq_epi8(a, vlf)), _mm256_cmpeq_epi8(b, vlf));
            odd = _mm256_or_si256(odd, _mm256_or_si256(_mm256_xor_si256(ca, _mm256_cmpeq_epi8(a1, vlf)),
                                                       _mm256_xor_si256(cb, _mm256_cmpeq_epi8(b1, vlf))));
        }
        crs += LaneSum(accCr);
        lfs += LaneSum(accLf);
    }
    bool pairsOnly = _mm256_testz_si256(odd, odd);
    for (; i < n; ++i) {
        crs += p[i] == cr;
        lfs += p[i] == lf;
        if (i + 1 < n && (p[i] == cr) != (p[i + 1] == lf))
            pairsOnly = false;
    }
    if (crs == 0) {
        breaks = lfs;
        pending = p[n - 1] == lf ? lf : 0;
        return true;
    }
    if (!pairsOnly)
        return false;
    breaks = crs;
    pending = p[n - 1] == cr ? cr : 0;
    return true;
}

bool HasAvx2()
{
    static const bool has = [] {
        __builtin_cpu_init();
        return __builtin_cpu_supports("avx2") != 0 && __builtin_cpu_supports("popcnt") != 0;
    }();
    return has;
}
#endif

template <int UnitBytes>
void FeedBlocks(const std::uint8_t* p, std::uint64_t blocks, std::uint16_t ucr, std::uint16_t ulf, BreakState& s,
                searchkernels::Isa isa)
{
#if defined(__x86_64__)
    if (isa == searchkernels::Isa::Avx2 && HasAvx2())
        return FeedBlocksAvx2<UnitBytes>(p, blocks, ucr, ulf, s);
#else
    (void)isa;
#endif
    FeedBlocksBase<UnitBytes>(p, blocks, ucr, ulf, s);
}

}  // namespace

// --- Counting --------------------------------------------------------------------

void CBreakCounter::Step(std::uint16_t u)
{
    if (u == m_u.cr || u == m_u.lf) {
        if (m_s.pending && m_s.pending != u) {
            m_s.pending = 0;  // the second unit of a pair
        } else {
            ++m_s.breaks;
            m_s.pending = u;
        }
    } else {
        m_s.pending = 0;
    }
}

template <int UnitBytes>
void CBreakCounter::FeedUnits(const std::uint8_t* p, std::uint64_t units)
{
    if (units == 0)
        return;
    const std::uint8_t* end = p + units * UnitBytes;
    const auto last = [&](std::uint64_t k) { return UnitBytes == 1 ? p[k] : codeunits::Load16(p + 2 * k); };
    // Without a CR every LF is one break, but for one that completes the pair the last piece began.
    const std::uint64_t from = m_s.pending == m_u.cr && last(0) == m_u.lf ? 1 : 0;
    std::uint64_t lfs = 0;
    bool noCr;
#if defined(__x86_64__)
    // (An LF that the last piece ended with pairs with a CR here: that is for the general count.)
    if (UnitBytes == 1 && m_isa == searchkernels::Isa::Avx2 && HasAvx2() &&
        !(m_s.pending == m_u.lf && last(0) == m_u.cr)) {
        std::uint16_t pending = 0;
        if (CountSimpleBreaksAvx2(p + from, units - from, static_cast<std::uint8_t>(m_u.cr),
                                  static_cast<std::uint8_t>(m_u.lf), lfs, pending)) {
            m_s.breaks += static_cast<std::int64_t>(lfs);
            m_s.pending = pending;
            return;
        }
        noCr = false;
    } else
#endif
    {
        noCr = UnitBytes == 1 ? std::memchr(p, m_u.cr, units) == nullptr
                              : linescan::FindAny16(p, end, m_u.cr, m_u.cr, m_u.cr) == end;
        if (noCr)
            lfs = CountUnits<UnitBytes>(p + from * UnitBytes, units - from, m_u.lf);
    }
    if (noCr) {
        m_s.breaks += static_cast<std::int64_t>(lfs);
        m_s.pending = from == units ? 0 : last(units - 1) == m_u.lf ? m_u.lf : 0;
        return;
    }
    std::uint64_t i = units / 64 * 64;
    FeedBlocks<UnitBytes>(p, units / 64, m_u.cr, m_u.lf, m_s, m_isa);
    for (; i < units; ++i)
        Step(UnitBytes == 1 ? p[i] : codeunits::Load16(p + 2 * i));
}

void CBreakCounter::Feed(const std::uint8_t* p, std::uint64_t n)
{
    if (m_u.unit == 1)
        FeedUnits<1>(p, n);
    else
        FeedUnits<2>(p, n / 2);
}

// --- The index -------------------------------------------------------------------

CLineIndex::CLineIndex(std::unique_ptr<IChunkReader> reader, std::int64_t dataStart, BreakUnits units,
                       std::function<void()> notify)
    : m_pReader(std::move(reader)),
      m_nStart(dataStart),
      m_units(units),
      m_notify(std::move(notify)),
      m_nCounted(dataStart),
      m_nEnd(dataStart)
{
    m_checkpoints.push_back({});
    m_pUiScan = std::make_unique<CScanReader>(*m_pReader, static_cast<std::size_t>(kChunk));
    m_pUiHalfScan = std::make_unique<CScanReader>(*m_pReader, static_cast<std::size_t>(kRead));
}

CLineIndex::~CLineIndex()
{
    StopWorker();
}

void CLineIndex::Reset()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    ++m_nGeneration;
    m_checkpoints.assign(1, BreakState{});
    m_checkpoints.shrink_to_fit();
    m_nCounted = m_nStart;
    m_tail = {};
    m_nFingerprint = 0;
}

bool CLineIndex::StillReadsTheSame()
{
    std::uint8_t kept[sizeof m_fingerprint], now[sizeof m_fingerprint];
    std::int64_t at;
    int n;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        n = m_nFingerprint;
        at = m_nCounted - n;
        std::memcpy(kept, m_fingerprint, sizeof kept);
    }
    return n == 0 || (m_pReader->Read(now, static_cast<std::uint64_t>(n), at) == static_cast<std::uint64_t>(n) &&
                      std::memcmp(kept, now, static_cast<std::size_t>(n)) == 0);
}

void CLineIndex::SetEnd(std::int64_t end, bool run)
{
    if (end < CountedEnd() || !StillReadsTheSame()) {
        StopWorker();
        Reset();
    }
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_nEnd = end;
    }
    if (!run || CountedEnd() >= end)
        return;
    m_worker.Start([this] { Run(); }, m_notify);
}

void CLineIndex::StopWorker()
{
    m_worker.Stop();
}

void CLineIndex::WaitForWorker()
{
    m_worker.Wait();
}

void CLineIndex::Run()
{
    CScanReader reader(*m_pReader, static_cast<std::size_t>(kRead));
    reader.SetCancel(&m_worker.StopFlag());
    CScanReader halfReader(*m_pReader, static_cast<std::size_t>(kRead));
    halfReader.SetCancel(&m_worker.StopFlag());
    // A notice every 256 MiB: enough for numbers to appear while a large file
    // is counted, few enough not to keep the UI thread repainting.
    constexpr int kChunksPerNotice = static_cast<int>((256 << 20) / kChunk);
    int chunks = 0;
    // Counting is what line numbers and the thumb wait for: a search that
    // fills the pool meanwhile keeps to the other cores.
    const engine::CWorkPool::CKeptCore core(engine::CWorkPool::Shared());
    while (!m_worker.Stopping()) {
        std::int64_t to;
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            to = m_nEnd;
        }
        if (!CountNext(reader, halfReader, to))
            break;
        if (++chunks % kChunksPerNotice == 0 && m_notify)
            m_notify();
    }
}

void CLineIndex::CountPart(CScanReader& reader, std::int64_t from, std::int64_t to, Part& part) const
{
    // Read in pieces that stay in the second-level cache while they are counted.
    const std::int64_t unit = m_units.unit;
    std::int64_t pos = from;
    for (std::int64_t left = to - from; left > 0;) {
        const auto want = static_cast<std::size_t>(std::min<std::int64_t>(left, kRead));
        std::int64_t got = static_cast<std::int64_t>(reader.Read(pos, want));
        got -= got % unit;
        if (got <= 0)
            break;
        const std::uint8_t* buffer = reader.Data();
        for (std::int64_t off = 0; off < got;) {
            const std::int64_t next = m_nStart + ((pos - m_nStart) / kStride + 1) * kStride;
            const std::int64_t piece = std::min(got - off, next - pos);
            part.counter.Feed(buffer + off, static_cast<std::uint64_t>(piece));
            off += piece;
            pos += piece;
            if (pos == next)
                part.found.push_back(part.counter.State());
        }
        // The last bytes counted, for StillReadsTheSame.
        const auto keep = static_cast<std::size_t>(std::min<std::int64_t>(got, sizeof part.tail));
        const std::size_t old = std::min(part.tailBytes, sizeof part.tail - keep);
        std::memmove(part.tail, part.tail + part.tailBytes - old, old);
        std::memcpy(part.tail + old, buffer + got - static_cast<std::int64_t>(keep), keep);
        part.tailBytes = old + keep;
        left -= got;
        if (static_cast<std::size_t>(got) < want)
            break;
    }
    part.pos = pos;
}

std::int64_t CLineIndex::CleanCut(std::int64_t at, std::int64_t limit) const
{
    constexpr std::int64_t kProbe = 4096;
    const std::int64_t unit = m_units.unit;
    std::uint8_t buf[kProbe];
    const std::int64_t n = std::min(kProbe, limit - (at - unit)) / unit * unit;
    if (n <= unit || m_pReader->Read(buf, static_cast<std::uint64_t>(n), at - unit) != static_cast<std::uint64_t>(n))
        return -1;
    for (std::int64_t i = 0; i + unit < n; i += unit) {
        const std::uint16_t u = unit == 1 ? buf[i] : codeunits::Load16(buf + i);
        if (u != m_units.cr && u != m_units.lf)
            return at + i;
    }
    return -1;
}

bool CLineIndex::CountNext(CScanReader& reader, CScanReader& halfReader, std::int64_t to)
{
    Snapshot s;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        s = {m_nCounted, m_tail, m_nGeneration};
    }
    const std::int64_t unit = m_units.unit;
    const std::int64_t limit = std::min(to, m_nStart + ((s.at - m_nStart) / kChunk + 1) * kChunk);
    std::int64_t n = limit - s.at;
    n -= n % unit;
    if (n <= 0)
        return false;
    // A whole stretch is counted in two halves at once, the second on the
    // pool from a cut after a unit that is no break (nothing pairs across it,
    // so it starts afresh and only its count is shifted). When the pool has
    // not begun that half by the time the first is done (it is busy with a
    // search, say), this thread counts it as well; when no thread of it is
    // free to begin with, the stretch is counted here in one piece.
    std::int64_t cut = -1;
    if (n == kChunk && engine::CWorkPool::Shared().Threads() > 1 && engine::CWorkPool::Shared().WouldStartNow()) {
        std::int64_t mid = s.at + n / 2;
        mid -= (mid - m_nStart) % unit;
        cut = CleanCut(mid, s.at + n);
    }
    Part first(CBreakCounter(m_units, s.state));
    if (cut < 0) {
        CountPart(reader, s.at, s.at + n, first);
    } else {
        struct Half {
            explicit Half(CBreakCounter c) : part(c) {}
            std::atomic<bool> taken{false};
            std::mutex mutex;
            std::condition_variable done;
            bool finished = false;
            Part part;
        };
        auto half = std::make_shared<Half>(CBreakCounter(m_units, {}));
        const std::int64_t end = s.at + n;
        CScanReader* halfScan = &halfReader;
        // A task that finds its half taken returns at once, touching nothing of the index.
        engine::CWorkPool::Shared().Post([this, half, halfScan, cut, end] {
            if (half->taken.exchange(true))
                return;
            CountPart(*halfScan, cut, end, half->part);
            {
                std::lock_guard<std::mutex> lock(half->mutex);
                half->finished = true;
            }
            half->done.notify_all();
        });
        CountPart(reader, s.at, cut, first);
        if (!half->taken.exchange(true)) {
            CountPart(*halfScan, cut, end, half->part);
        } else {
            std::unique_lock<std::mutex> lock(half->mutex);
            half->done.wait(lock, [&] { return half->finished; });
        }
        Part& second = half->part;
        if (first.pos == cut && second.pos > cut) {
            const std::int64_t before = first.counter.State().breaks;
            for (BreakState st : second.found) {
                st.breaks += before;
                first.found.push_back(st);
            }
            BreakState last = second.counter.State();
            last.breaks += before;
            first.counter = CBreakCounter(m_units, last);
            const std::size_t old = std::min(first.tailBytes, sizeof first.tail - second.tailBytes);
            std::memmove(first.tail, first.tail + first.tailBytes - old, old);
            std::memcpy(first.tail + old, second.tail, second.tailBytes);
            first.tailBytes = old + second.tailBytes;
            first.pos = second.pos;
        }
    }
    if (first.pos == s.at)
        return false;  // the file is shorter than told: the next change says more
    std::lock_guard<std::mutex> lock(m_mutex);
    if (s.generation != m_nGeneration || s.at != m_nCounted)
        return true;  // someone else counted this stretch, or the file changed under it
    m_checkpoints.insert(m_checkpoints.end(), first.found.begin(), first.found.end());
    m_nCounted = first.pos;
    m_tail = first.counter.State();
    m_nFingerprint = static_cast<int>(first.tailBytes);
    std::memcpy(m_fingerprint, first.tail, first.tailBytes);
    return true;
}

std::int64_t CLineIndex::CountedEnd() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_nCounted;
}

bool CLineIndex::IsComplete() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_nCounted >= m_nEnd;
}

std::size_t CLineIndex::IndexBytes() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_checkpoints.capacity() * sizeof(BreakState);
}

CLineIndex::Snapshot CLineIndex::CheckpointBefore(std::int64_t p) const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    const auto k = std::min<std::size_t>(static_cast<std::size_t>((p - m_nStart) / kStride), m_checkpoints.size() - 1);
    Snapshot s{m_nStart + static_cast<std::int64_t>(k) * kStride, m_checkpoints[k], m_nGeneration};
    if (m_nCounted <= p && m_nCounted > s.at)
        s.at = m_nCounted, s.state = m_tail;
    return s;
}

BreakState CLineIndex::CountRange(BreakState s, std::int64_t from, std::int64_t to)
{
    CBreakCounter counter(m_units, s);
    while (from < to) {
        const std::int64_t n = std::min(to - from, kChunk);
        const auto got = static_cast<std::int64_t>(m_pUiScan->Read(from, static_cast<std::size_t>(n)));
        if (got <= 0)
            break;
        counter.Feed(m_pUiScan->Data(), static_cast<std::uint64_t>(got - got % m_units.unit));
        from += got;
    }
    return counter.State();
}

std::uint16_t CLineIndex::UnitAt(std::int64_t p)
{
    std::uint8_t b[2] = {0, 0};
    if (m_pReader->Read(b, m_units.unit, p) != m_units.unit)
        return 0;
    return m_units.unit == 1 ? b[0] : codeunits::Load16(b);
}

std::int64_t CLineIndex::LineNumberAt(std::int64_t p)
{
    return LineNumbersAt({p}).front();
}

std::vector<std::int64_t> CLineIndex::LineNumbersAt(const std::vector<std::int64_t>& sorted)
{
    std::vector<std::int64_t> out;
    const std::int64_t counted = CountedEnd();
    BreakState s;
    std::int64_t at = -1;
    for (const std::int64_t p : sorted) {
        if (p > counted || p < m_nStart) {
            out.push_back(-1);
            continue;
        }
        const Snapshot snap = CheckpointBefore(p);
        if (at < 0 || p < at || snap.at > at)
            s = snap.state, at = snap.at;
        s = CountRange(s, at, p);
        at = p;
        const CBreakCounter c(m_units, s);
        out.push_back(1 + s.breaks - (c.PairsWith(UnitAt(p)) ? 1 : 0));
    }
    return out;
}

void CLineIndex::CountUpTo(std::int64_t to)
{
    while (CountedEnd() < to && CountNext(*m_pUiScan, *m_pUiHalfScan, to)) {
    }
}

std::int64_t CLineIndex::LineCount()
{
    std::int64_t end;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        end = m_nEnd;
    }
    CountUpTo(end);
    std::int64_t counted;
    BreakState tail;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        counted = m_nCounted;
        tail = m_tail;
    }
    if (counted <= m_nStart)
        return 0;
    const CBreakCounter c(m_units);
    return tail.breaks + (c.IsBreakUnit(UnitAt(counted - m_units.unit)) ? 0 : 1);
}

std::int64_t CLineIndex::LineStart(std::int64_t n)
{
    std::int64_t end;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        end = m_nEnd;
    }
    if (n < 1 || end <= m_nStart)
        return -1;
    if (n == 1)
        return m_nStart;
    const std::int64_t wanted = n - 1;  // the break that ends the line before
    auto known = [this] {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_tail.breaks;
    };
    while (known() < wanted && CountedEnd() < end && CountNext(*m_pUiScan, *m_pUiHalfScan, end)) {
    }
    if (known() < wanted)
        return -1;

    BreakState s;
    std::int64_t at;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        const auto it = std::partition_point(m_checkpoints.begin(), m_checkpoints.end(),
                                             [&](const BreakState& c) { return c.breaks < wanted; });
        const auto k = static_cast<std::int64_t>(it - m_checkpoints.begin()) - 1;
        s = m_checkpoints[static_cast<std::size_t>(k)];
        at = m_nStart + k * kStride;
    }
    CBreakCounter counter(m_units, s);
    const std::int64_t unit = m_units.unit;
    for (std::int64_t got = 0, i = 0; counter.State().breaks < wanted; i += unit, at += unit) {
        if (i >= got) {
            got = static_cast<std::int64_t>(m_pUiScan->Read(at, static_cast<std::size_t>(kStride)));
            got -= got % unit;
            i = 0;
            if (got <= 0)
                return -1;
        }
        const std::uint8_t* u = m_pUiScan->Data() + i;
        counter.Step(unit == 1 ? *u : codeunits::Load16(u));
    }
    std::int64_t begin = at;  // just after the unit that began the break
    if (counter.PairsWith(UnitAt(begin)) && begin < end)
        begin += unit;
    return begin < end ? begin : -1;
}
