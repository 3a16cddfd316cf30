// Pattern preparation, verification, the portable and SSE2 scans, and the
// choice of instruction set.
#include "engine/SearchKernels.h"

#include "engine/CodeUnits.h"
#include "engine/ScanReader.h"
#include "engine/UnicodeCase.h"
#include "engine/Utf8Text.h"
#include "engine/WorkPool.h"
#include "file/Encoding.h"
#include "platform/Pages.h"
#include "platform/Win1252.h"

#include <algorithm>
#include <cstring>

#if defined(__x86_64__) || defined(__SSE2__)
#include <emmintrin.h>
#define OSTREL_SEARCH_X86 1
#endif

namespace searchkernels {

using codeunits::Load16;
using codeunits::Swap16;

namespace {

// How often a character turns up in logs and prose, roughly, 0 (never) to 255.
// Only the order matters: the filters go on the rarest units of a pattern, so
// that few positions pass both and need a full comparison.
std::uint8_t CharWeight(std::uint16_t ch)
{
    static const std::uint8_t* table = [] {
        static std::uint8_t t[256];
        for (int c = 0; c < 256; ++c)
            t[c] = c < 0x20 ? 4 : c < 0x7F ? 90 : 24;
        const char* lowerByRank = "etaoinsrhldcumfpgwybvkxjqz";
        for (int i = 0; lowerByRank[i]; ++i) {
            const auto c = static_cast<unsigned char>(lowerByRank[i]);
            t[c] = static_cast<std::uint8_t>(250 - i * 6);
            t[c - 32] = static_cast<std::uint8_t>(170 - i * 4);
        }
        for (int c = '0'; c <= '9'; ++c)
            t[c] = static_cast<std::uint8_t>(c <= '2' ? 215 : 195);
        static const struct {
            unsigned char ch, weight;
        } kOthers[] = {{' ', 255}, {'\n', 190}, {'\r', 180}, {'\t', 120}, {':', 200}, {'.', 200},
                       {'-', 190}, {',', 170},  {'/', 170},  {'=', 165},  {'_', 150}, {'[', 150},
                       {']', 150}, {'(', 140},  {')', 140},  {'"', 150},  {'\'', 130}};
        for (const auto& o : kOthers)
            t[o.ch] = o.weight;
        return t;
    }();
    return ch < 256 ? table[ch] : 16;
}

// A filter accepting exactly the given host-order units (at most four), in
// stored order. Two units that differ only in bit 0x20 share one comparison.
UnitFilter MakeFilter(const std::uint16_t* members, int count, bool swap)
{
    UnitFilter f;
    std::uint16_t rest[4];
    int nRest = 0;
    int pairA = -1, pairB = -1;
    for (int i = 0; i < count && pairA < 0; ++i)
        for (int j = i + 1; j < count; ++j)
            if ((members[i] ^ members[j]) == 0x20) {
                pairA = i, pairB = j;
                break;
            }
    std::uint16_t orMask = 0, first;
    if (pairA >= 0) {
        orMask = 0x20;
        first = static_cast<std::uint16_t>(members[pairA] | 0x20);
    } else {
        first = members[0];
        pairA = 0;
    }
    for (int i = 0; i < count; ++i)
        if (i != pairA && i != pairB)
            rest[nRest++] = members[i];
    auto stored = [&](std::uint16_t v) { return swap ? Swap16(v) : v; };
    f.orMask = stored(orMask);
    f.values[0] = stored(first);
    for (int i = 1; i < 4; ++i)
        f.values[i] = i - 1 < nRest ? stored(rest[i - 1]) : f.values[0];
    f.count = 1 + nRest;
    return f;
}

struct Candidate {
    UnitFilter filter;
    unsigned weight;
    std::uint16_t key;  // the folded unit: two positions with one key filter alike
};

// Puts the two filters on the rarest units of the pattern (preferring units
// that need one comparison), the first at the lower offset.
void ChooseFilters(Needle& nd, const std::vector<Candidate>& cands)
{
    const std::size_t m = cands.size();
    std::size_t a = 0;
    for (std::size_t i = 1; i < m; ++i)
        if (cands[i].weight < cands[a].weight)
            a = i;
    std::size_t b = a;
    for (std::size_t i = 0; i < m; ++i) {
        if (i == a)
            continue;
        const bool distinct = cands[i].key != cands[a].key;
        const bool bDistinct = b != a && cands[b].key != cands[a].key;
        if (b == a || (distinct && !bDistinct) || (distinct == bDistinct && cands[i].weight < cands[b].weight))
            b = i;
    }
    if (b < a)
        std::swap(a, b);
    nd.first = cands[a].filter;
    nd.second = cands[b].filter;
    nd.first.offset = a;
    nd.second.offset = b;
    nd.general = nd.first.count > 1 || nd.second.count > 1;
}

// The filter of one byte of a narrow pattern; ignoring case, an ASCII letter
// passes in either case.
Candidate ByteCandidate(std::uint8_t c, bool ignoreCase)
{
    Candidate k;
    if (ignoreCase && IsLetter8(c)) {
        const std::uint16_t members[2] = {UpperCase8(c), LowerCase8(c)};
        k.filter = MakeFilter(members, 2, false);
        k.weight = CharWeight(members[0]) + CharWeight(members[1]);
    } else {
        const std::uint16_t member = c;
        k.filter = MakeFilter(&member, 1, false);
        k.weight = CharWeight(c);
    }
    k.key = ignoreCase ? UpperCase8(c) : c;
    return k;
}

// A character of a UTF-8 pattern with other spellings: the filter of its
// byte j passes that byte of every spelling.
Candidate SpellingCandidate(const FoldedChar& fc, std::size_t j)
{
    std::uint16_t members[4];
    int count = 0;
    for (int s = 0; s < fc.count; ++s)
        if (std::find(members, members + count, fc.spellings[s][j]) == members + count)
            members[count++] = fc.spellings[s][j];
    Candidate k;
    k.filter = MakeFilter(members, count, false);
    k.weight = 0;
    for (int i = 0; i < count; ++i)
        k.weight += CharWeight(members[i]);
    if (k.filter.count > 1)
        k.weight += 512;  // costs more comparisons per block than any single rare byte
    k.key = static_cast<std::uint16_t>(0x100 | k.filter.values[0]);
    return k;
}

}  // namespace

Needle PrepareNarrow(const std::string& pattern, bool ignoreCase)
{
    Needle nd;
    nd.unitSize = 1;
    nd.ignoreCase = ignoreCase;
    const std::size_t m = std::min(pattern.size(), std::strlen(pattern.c_str()));
    nd.length = m;
    if (m == 0)
        return nd;
    nd.stored.assign(pattern.begin(), pattern.begin() + static_cast<std::ptrdiff_t>(m));
    std::vector<Candidate> cands(m);
    for (std::size_t i = 0; i < m; ++i) {
        const std::uint8_t c = nd.stored[i];
        nd.folded.push_back(UpperCase8(c));
        cands[i] = ByteCandidate(c, ignoreCase);
    }
    ChooseFilters(nd, cands);
    return nd;
}

Needle PrepareUtf8(const std::u16string& pattern, bool ignoreCase)
{
    const std::string bytes = platform::Utf16ToUtf8(pattern.substr(0, pattern.find(u'\0')));
    const bool ascii = std::all_of(bytes.begin(), bytes.end(), [](char c) { return (c & 0x80) == 0; });
    if (!ignoreCase || ascii)
        return PrepareNarrow(bytes, ignoreCase);  // ASCII folds as it always did, at the same speed

    Needle nd;
    nd.unitSize = 1;
    nd.ignoreCase = true;
    nd.length = bytes.size();
    nd.stored.assign(bytes.begin(), bytes.end());
    nd.folded.resize(bytes.size());
    std::vector<Candidate> cands(bytes.size());
    const std::uint8_t* b = nd.stored.data();
    for (std::size_t i = 0; i < bytes.size();) {
        const utf8text::Char c = utf8text::DecodeAt(b + i, b + bytes.size());
        char32_t spellings[4];
        const int count = c.length == 1 ? 1 : utf8text::CaseSpellings(c.ch, spellings);
        if (count == 1) {
            for (std::size_t j = i; j < i + c.length; ++j) {
                nd.folded[j] = UpperCase8(b[j]);
                cands[j] = ByteCandidate(b[j], true);
            }
        } else {
            FoldedChar fc;
            fc.offset = i;
            fc.length = c.length;
            fc.count = static_cast<std::uint8_t>(count);
            for (int s = 0; s < count; ++s) {
                std::string one;
                utf8text::AppendUtf8(one, spellings[s]);
                std::copy(one.begin(), one.end(), fc.spellings[s]);
            }
            for (std::size_t j = 0; j < c.length; ++j) {
                nd.folded[i + j] = kFoldedElsewhere;
                cands[i + j] = SpellingCandidate(fc, j);
            }
            nd.foldedChars.push_back(fc);
        }
        i += c.length;
    }
    ChooseFilters(nd, cands);
    return nd;
}

Needle PrepareWide(const std::u16string& pattern, bool ignoreCase, bool bigEndian)
{
    Needle nd;
    nd.unitSize = 2;
    nd.bigEndian = bigEndian;
    nd.ignoreCase = ignoreCase;
    std::size_t m = 0;
    while (m < pattern.size() && pattern[m] != 0)
        ++m;
    nd.length = m;
    if (m == 0)
        return nd;
    const std::uint16_t* rings = ignoreCase ? CaseFoldRings() : nullptr;
    std::vector<Candidate> cands(m);
    for (std::size_t i = 0; i < m; ++i) {
        const std::uint16_t c = pattern[i];
        const std::uint16_t s = bigEndian ? Swap16(c) : c;
        nd.stored.push_back(static_cast<std::uint8_t>(s & 0xFF));
        nd.stored.push_back(static_cast<std::uint8_t>(s >> 8));
        nd.folded.push_back(UpperCase16(c));
        std::uint16_t members[4] = {c, 0, 0, 0};
        int count = 1;
        if (rings)
            for (std::uint16_t y = rings[c]; y != c && count < 4; y = rings[y])
                members[count++] = y;
        Candidate& k = cands[i];
        k.filter = MakeFilter(members, count, bigEndian);
        k.weight = 0;
        for (int j = 0; j < count; ++j)
            k.weight += CharWeight(members[j]);
        if (k.filter.count > 1)
            k.weight += 512;  // costs more comparisons per block than any single rare unit
        k.key = ignoreCase ? UpperCase16(c) : c;
    }
    ChooseFilters(nd, cands);
    return nd;
}

Needle PrepareForEncoding(const std::u16string& text, std::int32_t encoding, bool ignoreCase,
                          platform::CodePage codePage)
{
    switch (encoding) {
    case EncodingAnsi:
    case EncodingUtf8:
        return codePage == platform::CodePage::Utf8 ? PrepareUtf8(text, ignoreCase)
                                                    : PrepareNarrow(platform::Utf16ToWin1252(text), ignoreCase);
    case EncodingUtf16LE: return PrepareWide(text, ignoreCase, false);
    case EncodingUtf16BE: return PrepareWide(text, ignoreCase, true);
    default: return Needle{};
    }
}

namespace detail {

bool Verify(const Needle& nd, const std::uint8_t* at)
{
    if (!nd.ignoreCase)
        return std::memcmp(at, nd.stored.data(), nd.length * nd.unitSize) == 0;
    if (nd.unitSize == 1 && nd.foldedChars.empty()) {
        for (std::size_t i = 0; i < nd.length; ++i)
            if (UpperCase8(at[i]) != nd.folded[i])
                return false;
        return true;
    }
    if (nd.unitSize == 1) {
        for (std::size_t i = 0; i < nd.length; ++i)
            if (nd.folded[i] != kFoldedElsewhere && UpperCase8(at[i]) != nd.folded[i])
                return false;
        for (const FoldedChar& fc : nd.foldedChars) {
            int s = 0;
            while (s < fc.count && std::memcmp(at + fc.offset, fc.spellings[s], fc.length) != 0)
                ++s;
            if (s == fc.count)
                return false;
        }
        return true;
    }
    for (std::size_t i = 0; i < nd.length; ++i) {
        std::uint16_t u = Load16(at + 2 * i);
        if (nd.bigEndian)
            u = Swap16(u);
        if (UpperCase16(static_cast<char16_t>(u)) != nd.folded[i])
            return false;
    }
    return true;
}

}  // namespace detail

namespace {

// --- Portable scans: the filters one unit at a time. ---------------------------

inline std::uint16_t StoredUnit(const std::uint8_t* p, unsigned unit)
{
    return unit == 1 ? *p : Load16(p);
}

inline bool Passes(const UnitFilter& f, std::uint16_t x)
{
    return static_cast<std::uint16_t>(x | f.orMask) == f.values[0] || x == f.values[1] || x == f.values[2] ||
           x == f.values[3];
}

std::int64_t ScalarForward(const Needle& nd, const std::uint8_t* d, std::size_t units, std::size_t cands, bool* stopped)
{
    *stopped = false;
    const std::size_t m = nd.length;
    if (m == 0 || units < m)
        return -1;
    const unsigned u = nd.unitSize;
    const std::size_t off1 = nd.first.offset * u, off2 = nd.second.offset * u;
    const std::size_t n = std::min(units - m + 1, cands);
    for (std::size_t k = 0; k < n; ++k) {
        const std::uint8_t* p = d + k * u;
        if (StoredUnit(p, u) == 0) {
            *stopped = true;
            return -1;
        }
        if (Passes(nd.first, StoredUnit(p + off1, u)) && Passes(nd.second, StoredUnit(p + off2, u)) &&
            detail::Verify(nd, p))
            return static_cast<std::int64_t>(k);
    }
    return -1;
}

std::int64_t ScalarBackward(const Needle& nd, const std::uint8_t* d, std::size_t units, std::size_t cands)
{
    const std::size_t m = nd.length;
    if (m == 0 || units < m)
        return -1;
    const unsigned u = nd.unitSize;
    const std::size_t off1 = nd.first.offset * u, off2 = nd.second.offset * u;
    for (std::size_t k = std::min(units - m + 1, cands); k-- > 0;) {
        const std::uint8_t* p = d + k * u;
        if (Passes(nd.first, StoredUnit(p + off1, u)) && Passes(nd.second, StoredUnit(p + off2, u)) &&
            detail::Verify(nd, p))
            return static_cast<std::int64_t>(k);
    }
    return -1;
}

const detail::Kernels kScalarKernels{&ScalarForward, &ScalarBackward};

}  // namespace

}  // namespace searchkernels

#if defined(OSTREL_SEARCH_X86)

#include "engine/SearchKernelsImpl.h"

namespace {

struct Sse2 {
    using R = __m128i;
    static constexpr std::size_t kWidth = 16;
    static inline R Load(const std::uint8_t* p) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p)); }
    static inline R Set8(std::uint8_t v) { return _mm_set1_epi8(static_cast<char>(v)); }
    static inline R Set16(std::uint16_t v) { return _mm_set1_epi16(static_cast<short>(v)); }
    static inline R Zero() { return _mm_setzero_si128(); }
    static inline R Or(R a, R b) { return _mm_or_si128(a, b); }
    static inline R And(R a, R b) { return _mm_and_si128(a, b); }
    static inline R Eq8(R a, R b) { return _mm_cmpeq_epi8(a, b); }
    static inline R Eq16(R a, R b) { return _mm_cmpeq_epi16(a, b); }
    static inline std::uint32_t Mask(R a) { return static_cast<std::uint32_t>(_mm_movemask_epi8(a)); }
    static inline bool Any(R a) { return _mm_movemask_epi8(a) != 0; }
};

}  // namespace

const searchkernels::detail::Kernels& searchkernels::detail::Sse2Kernels()
{
    static const Kernels k{&DispatchForward<Sse2>, &DispatchBackward<Sse2>};
    return k;
}

#endif

namespace searchkernels {

bool IsaAvailable(Isa isa)
{
    switch (isa) {
    case Isa::Scalar: return true;
#if defined(OSTREL_SEARCH_X86)
    case Isa::Sse2: return true;
    case Isa::Avx2: {
        static const bool has = [] {
            __builtin_cpu_init();
            return __builtin_cpu_supports("avx2") != 0;
        }();
        return has;
    }
#else
    case Isa::Sse2:
    case Isa::Avx2: return false;
#endif
    }
    return false;
}

Isa BestIsa()
{
    static const Isa best = IsaAvailable(Isa::Avx2) ? Isa::Avx2 : IsaAvailable(Isa::Sse2) ? Isa::Sse2 : Isa::Scalar;
    return best;
}

const char* IsaName(Isa isa)
{
    switch (isa) {
    case Isa::Scalar: return "scalar";
    case Isa::Sse2: return "sse2";
    case Isa::Avx2: return "avx2";
    }
    return "?";
}

namespace {

// An instruction set that the processor lacks falls back to the next one down.
const detail::Kernels& KernelsFor(Isa isa)
{
#if defined(OSTREL_SEARCH_X86)
    if (isa == Isa::Avx2 && IsaAvailable(Isa::Avx2))
        return detail::Avx2Kernels();
    if (isa != Isa::Scalar)
        return detail::Sse2Kernels();
#else
    (void)isa;
#endif
    return kScalarKernels;
}

// Faulting the pages of a chunk in one by one costs more than the scan
// itself on a file that was just mapped; a repeated search finds them mapped.
void MapAheadOnce(const std::uint8_t* p, std::size_t n)
{
    if (!platform::LooksMapped(p, n))
        platform::MapAhead(p, n);
}

}  // namespace

std::int64_t FindForward(const Needle& needle, const std::uint8_t* data, std::size_t units, Isa isa)
{
    if (needle.length == 0 || !data)
        return -1;
    bool stopped = false;
    return KernelsFor(isa).forward(needle, data, units, units, &stopped);
}

std::int64_t FindBackward(const Needle& needle, const std::uint8_t* data, std::size_t units, Isa isa)
{
    if (needle.length == 0 || !data)
        return -1;
    return KernelsFor(isa).backward(needle, data, units, units);
}

namespace {

// [from, to) clamped to [dataStart, dataEnd) and brought onto the code-unit
// grid (positions off it, which callers should not make, go to the next
// boundary inside the range, so no unit is ever read half). False when no
// match fits.
bool ClampRange(const Needle& needle, std::int64_t dataStart, std::int64_t dataEnd, std::int64_t& from,
                std::int64_t& to)
{
    const std::int64_t u = needle.unitSize;
    if (needle.length == 0 || dataStart < 0 || dataEnd <= dataStart)
        return false;
    dataEnd = dataStart + (dataEnd - dataStart) / u * u;
    if (from < dataStart)
        from = dataStart;
    else if (from >= dataEnd)
        return false;
    else
        from = dataStart + (from - dataStart + u - 1) / u * u;
    if (to > dataEnd)
        to = dataEnd;
    else if (to <= dataStart)
        return false;
    else
        to = dataStart + (to - dataStart) / u * u;
    return to - from >= static_cast<std::int64_t>(needle.length) * u;
}

}  // namespace

std::int64_t SearchView(const Needle& needle, const std::uint8_t* view, std::int64_t dataStart, std::int64_t dataEnd,
                        std::int64_t from, std::int64_t to, bool forward, Isa isa, std::size_t chunkBytes)
{
    const std::int64_t u = needle.unitSize;
    if (!view || !ClampRange(needle, dataStart, dataEnd, from, to))
        return -1;
    const std::size_t m = needle.length;
    const auto units = static_cast<std::size_t>((to - from) / u);
    const std::size_t cands = units - m + 1;
    const std::uint8_t* base = view + from;
    const detail::Kernels& k = KernelsFor(isa);

    // Small first chunks keep a near match cheap; later ones amortise the
    // mapping requests.
    const std::size_t fixed = chunkBytes ? std::max<std::size_t>(chunkBytes / static_cast<std::size_t>(u), 1) : 0;
    std::size_t chunk = fixed ? fixed : (std::size_t(256) << 10) / static_cast<std::size_t>(u);
    const std::size_t maxChunk = fixed ? fixed : (std::size_t(16) << 20) / static_cast<std::size_t>(u);
    if (forward) {
        for (std::size_t c = 0; c < cands; c += chunk, chunk = std::min(chunk * 2, maxChunk)) {
            const std::size_t n = std::min(cands - c, chunk);
            const std::uint8_t* d = base + c * u;
            MapAheadOnce(d, (n + m - 1) * u);
            bool stopped = false;
            const std::int64_t hit = k.forward(needle, d, n + m - 1, n, &stopped);
            if (hit >= 0)
                return from + (static_cast<std::int64_t>(c) + hit) * u;
            if (stopped)
                return -1;
        }
    } else {
        for (std::size_t hi = cands; hi > 0; chunk = std::min(chunk * 2, maxChunk)) {
            const std::size_t n = std::min(hi, chunk);
            const std::size_t lo = hi - n;
            const std::uint8_t* d = base + lo * u;
            MapAheadOnce(d, (n + m - 1) * u);
            const std::int64_t hit = k.backward(needle, d, n + m - 1, n);
            if (hit >= 0)
                return from + (static_cast<std::int64_t>(lo) + hit) * u;
            hi = lo;
        }
    }
    return -1;
}

namespace {

// [from, to) (clamped, wide enough for the needle) in windows of the reader's
// chunks; forwards, *nulStop says that a NUL among the candidates ended it.
std::int64_t SearchChunks(const Needle& needle, CScanReader& reader, std::int64_t from, std::int64_t to, bool forward,
                          Isa isa, bool* nulStop)
{
    const auto u = static_cast<std::int64_t>(needle.unitSize);
    const auto m = static_cast<std::int64_t>(needle.length);
    const detail::Kernels& k = KernelsFor(isa);
    std::int64_t found = -1;
    // Each window tries the candidates whose whole match lies inside it; the
    // next one begins (or ends) so that the candidates continue without gap.
    auto visit = [&](std::uint8_t* data, std::size_t n, std::int64_t at) -> std::int64_t {
        const auto units = static_cast<std::int64_t>(n) / u;
        if (units < m)
            return CScanReader::kStop;
        const std::int64_t cands = units - m + 1;
        if (forward) {
            bool stopped = false;
            const std::int64_t hit =
                k.forward(needle, data, static_cast<std::size_t>(units), static_cast<std::size_t>(cands), &stopped);
            if (hit >= 0)
                found = at + hit * u;
            else if (stopped && nulStop)
                *nulStop = true;
            return hit >= 0 || stopped ? CScanReader::kStop : at + cands * u;
        }
        // Backwards, a window is first passed forwards, which runs at the speed of the forward search: one
        // without a match or a NUL is done with; only the window that holds the answer is searched backwards.
        bool stopped = false;
        if (k.forward(needle, data, static_cast<std::size_t>(units), static_cast<std::size_t>(cands), &stopped) < 0 &&
            !stopped)
            return at + (m - 1) * u;
        const std::int64_t hit =
            k.backward(needle, data, static_cast<std::size_t>(units), static_cast<std::size_t>(cands));
        if (hit >= 0)
            found = at + hit * u;
        return hit >= 0 ? CScanReader::kStop : at + (m - 1) * u;
    };
    if (forward)
        reader.Forward(from, to, visit);
    else
        reader.Backward(from, to, visit);
    return found;
}

// On every core: block k tries the candidates [from + k * size,
// from + (k + 1) * size) and reads m - 1 units past them, so that a match
// across a block boundary is found by the block it starts in. Forwards the
// lowest block with a match or a NUL among its candidates decides, as the
// scan in one piece would; backwards the highest block with a match.
std::int64_t SearchBlocks(const Needle& needle, CScanReader& reader, std::int64_t from, std::int64_t to, bool forward,
                          Isa isa, const engine::BlockSplit& split)
{
    const auto u = static_cast<std::int64_t>(needle.unitSize);
    const auto m = static_cast<std::int64_t>(needle.length);
    const std::int64_t size = std::max<std::int64_t>(split.blockBytes / 4 * 4, 4 * m * u);
    const auto n = static_cast<std::size_t>((to - from + size - 1) / size);
    std::vector<std::int64_t> found(n, -1);
    const std::size_t first = engine::FirstDecidingBlock(
        n,
        [&](std::size_t i, const std::atomic<bool>& stop, const std::function<void()>& tick) {
            // Backwards the top block comes first, and NUL units are passed.
            const std::size_t k = forward ? i : n - 1 - i;
            const std::int64_t a = from + static_cast<std::int64_t>(k) * size;
            const std::int64_t b = std::min(to, a + size + (m - 1) * u);
            if (b - a < m * u)
                return false;
            CScanReader block(reader, reader.ChunkBytes(), &stop, tick);
            bool nul = false;
            found[i] = SearchChunks(needle, block, a, b, forward, isa, &nul);
            return found[i] >= 0 || nul;
        },
        reader.CancelFlag(), reader.Poll());
    return first < n ? found[first] : -1;
}

}  // namespace

std::int64_t SearchFile(const Needle& needle, CScanReader& reader, std::int64_t dataStart, std::int64_t dataEnd,
                        std::int64_t from, std::int64_t to, bool forward, Isa isa, const engine::BlockSplit& split)
{
    if (!ClampRange(needle, dataStart, dataEnd, from, to))
        return -1;
    const auto u = static_cast<std::int64_t>(needle.unitSize);
    const auto m = static_cast<std::int64_t>(needle.length);
    // Windows overlap by m - 1 units, so they must hold several patterns.
    if (static_cast<std::int64_t>(reader.ChunkBytes()) < 4 * m * u) {
        // The caller's stop and poll hold in the wider walk too.
        CScanReader wide(reader, static_cast<std::size_t>(4 * m * u), reader.CancelFlag(), reader.Poll());
        return SearchFile(needle, wide, dataStart, dataEnd, from, to, forward, isa, split);
    }
    if (split.Splits(to - from))
        return SearchBlocks(needle, reader, from, to, forward, isa, split);
    return SearchChunks(needle, reader, from, to, forward, isa, nullptr);
}

}  // namespace searchkernels
