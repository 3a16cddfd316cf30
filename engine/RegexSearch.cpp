#include "engine/RegexSearch.h"

#include "engine/LineScan.h"
#include "engine/ScanReader.h"
#include "file/Encoding.h"
#include "platform/Win1252.h"

#include <re2/filtered_re2.h>
#include <re2/re2.h>

#include <algorithm>
#include <cstring>
#include <numeric>
#include <string_view>
#include <vector>

namespace regexsearch {

namespace {

// The pattern in Windows-1252 bytes, which the engine reads as Latin-1 code
// points, so that a byte of the file matches the character it shows. A
// character the code page lacks becomes a literal '?', as in the plain
// search (a surrogate pair once).
std::string ToWin1252Pattern(const std::u16string& pattern)
{
    std::string out;
    for (std::size_t i = 0; i < pattern.size(); ++i) {
        const char16_t c = pattern[i];
        const std::uint8_t b = platform::UnicodeToWin1252(c);
        if (b == '?' && c != u'?')
            out += "\\?";
        else
            out += static_cast<char>(b);
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < pattern.size() && pattern[i + 1] >= 0xDC00 &&
            pattern[i + 1] <= 0xDFFF)
            ++i;
    }
    return out;
}

constexpr char kMultiLine[] = "(?m)";

// The longest of `texts[0]`'s substrings that every one of them holds.
std::string CommonSubstring(const std::vector<std::string>& texts)
{
    const std::string& first = texts.front();
    for (std::size_t n = first.size(); n > 0; --n)
        for (std::size_t i = 0; i + n <= first.size(); ++i) {
            const std::string piece = first.substr(i, n);
            if (std::all_of(texts.begin(), texts.end(),
                            [&](const std::string& t) { return t.find(piece) != std::string::npos; }))
                return piece;
        }
    return {};
}

// A literal (lower case) that every match of the pattern holds, or empty.
// RE2's prefilter names the texts ("atoms") whose presence a match needs, in
// a formula of ands and ors that it keeps to itself; asking it which sets of
// atoms let the pattern match tells which atom a match cannot do without, or
// else, when a match needs some atom, the text that all atoms share.
std::string RequiredLiteral(const std::string& pattern, const RE2::Options& options)
{
    re2::FilteredRE2 filter(3);
    int id = 0;
    if (filter.Add(pattern, options, &id) != RE2::NoError)
        return {};
    std::vector<std::string> atoms;
    filter.Compile(&atoms);
    if (atoms.empty() || atoms.size() > 16)
        return {};
    auto possible = [&](const std::vector<int>& present) {
        std::vector<int> regexps;
        filter.AllPotentials(present, &regexps);
        return !regexps.empty();
    };
    if (possible({}))
        return {};
    std::string best;
    for (std::size_t i = 0; i < atoms.size(); ++i) {
        std::vector<int> others(atoms.size());
        std::iota(others.begin(), others.end(), 0);
        others.erase(others.begin() + static_cast<std::ptrdiff_t>(i));
        if (!possible(others) && atoms[i].size() > best.size())
            best = atoms[i];
    }
    if (best.empty())
        best = CommonSubstring(atoms);
    const bool ascii = std::all_of(best.begin(), best.end(), [](char c) {
        const auto b = static_cast<std::uint8_t>(c);
        return b >= 0x20 && b < 0x7F;
    });
    return ascii && best.size() >= 2 ? best : std::string();
}

// Whether the plain search finds `pattern` exactly where the engine would: no
// character the engine reads as syntax, no break or NUL (a match lies within
// a line), nothing the transcoding of UTF-16 text could make of another
// unit (surrogates, U+FFFD), and ignoring case only ASCII under
// Windows-1252, where both fold ASCII letters alone.
bool IsPlainText(const std::u16string& pattern, bool ignoreCase, bool utf8)
{
    if (pattern.empty() || pattern.size() > 256)
        return false;
    return std::all_of(pattern.begin(), pattern.end(), [&](char16_t c) {
        if (c < 0x80 && std::strchr("\\.^$|?*+()[]{}\r\n", static_cast<char>(c)))
            return false;  // NUL too: strchr finds the terminator
        if ((c >= 0xD800 && c <= 0xDFFF) || c == 0xFFFD)
            return false;
        return !ignoreCase || (c < 0x80 && !utf8);
    });
}

// Whether a proper prefix of the needle's units equals a suffix of them
// (as compared: folded when ignoring case), so that two matches may overlap.
bool MayOverlap(const searchkernels::Needle& nd)
{
    const std::size_t m = nd.length, u = nd.unitSize;
    for (std::size_t k = 1; k < m; ++k) {
        bool same = true;
        for (std::size_t i = 0; same && i < k; ++i)
            same = nd.ignoreCase ? nd.folded[i] == nd.folded[m - k + i]
                                 : std::memcmp(&nd.stored[i * u], &nd.stored[(m - k + i) * u], u) == 0;
        if (same)
            return true;
    }
    return false;
}

}  // namespace

std::string RequiredLiteral(const re2::RE2& re)
{
    return RequiredLiteral(re.pattern(), re.options());
}

std::string EnginePatternText(const std::u16string& pattern, bool utf8)
{
    return utf8 ? platform::Utf16ToUtf8(pattern) : ToWin1252Pattern(pattern);
}

CPattern::CPattern(const std::u16string& pattern, bool ignoreCase, std::int32_t encoding, platform::CodePage codePage)
{
    if (!EncodingHasLines(encoding))
        return;
    m_unitSize = EncodingUnitSize(encoding);
    m_bigEndian = encoding == EncodingUtf16BE;
    m_utf8 = m_unitSize == 2 || codePage == platform::CodePage::Utf8;
    RE2::Options options;
    options.set_encoding(m_utf8 ? RE2::Options::EncodingUTF8 : RE2::Options::EncodingLatin1);
    options.set_never_nl(true);
    options.set_case_sensitive(!ignoreCase);
    options.set_log_errors(false);
    const std::string text = EnginePatternText(pattern, m_utf8);
    m_re = std::make_unique<RE2>(kMultiLine + text, options);
    if (m_re->ok() && IsPlainText(pattern, ignoreCase, m_utf8)) {
        m_plain = searchkernels::PrepareForEncoding(pattern, encoding, ignoreCase, codePage);
        m_bPlainBackward = !MayOverlap(m_plain);
    }
    if (m_re->ok())
        m_filter = searchkernels::PrepareNarrow(RequiredLiteral(kMultiLine + text, options), true);
    if (!m_re->ok()) {
        // The engine quotes the pattern it was given; the user typed it without our prefix.
        m_error = m_re->error();
        const std::size_t at = m_error.find(kMultiLine);
        if (at != std::string::npos)
            m_error.erase(at, sizeof kMultiLine - 1);
        m_re.reset();
    }
}

CPattern::~CPattern() = default;

bool CPattern::Ok() const
{
    return m_re != nullptr;
}

namespace {

// Every CR and NUL a line feed. Blocks of a fixed size, apart from each
// other, are what the compiler turns into vector code at -O2 as well (a
// plain loop stays byte by byte there).
void NormalizeBreaks(const std::uint8_t* in, std::size_t n, std::uint8_t* out)
{
    constexpr std::size_t kBlock = 32;
    std::size_t i = 0;
    for (; i + kBlock <= n; i += kBlock)
        for (std::size_t j = 0; j < kBlock; ++j) {
            const std::uint8_t c = in[i + j];
            out[i + j] = ((c == '\r') | (c == 0)) ? '\n' : c;
        }
    for (; i < n; ++i) {
        const std::uint8_t c = in[i];
        out[i] = ((c == '\r') | (c == 0)) ? '\n' : c;
    }
}

bool IsBreakByte(std::uint8_t c)
{
    return c == '\r' || c == '\n' || c == 0;
}

// One window of the file as the engine's subject, in which every break unit
// (CR, LF, NUL) reads as a line feed. Narrow text is the read window itself:
// its breaks are made line feeds in place, only on the lines handed to the
// engine (Prepare), since the literal scan finds the few lines that can
// match in the bytes as read, and a pass over every byte would cost as much
// as that scan. UTF-16 is transcoded to UTF-8 whole, with the unit offset of
// every subject byte kept to map matches back.
class CWindowText {
public:
    explicit CWindowText(const CPattern& p) : m_p(p) {}

    // Builds the subject from `n` bytes read at file offset `base` (narrow
    // text: those bytes, which it marks up later); returns the subject index
    // of the first NUL unit at or after byte `nulFrom` of the window, or npos.
    std::size_t Build(std::uint8_t* data, std::size_t n, std::int64_t base, std::size_t nulFrom)
    {
        m_base = base;
        if (m_p.Wide())
            return BuildWide(data, n, nulFrom);
        m_pData = data;
        m_nSize = n;
        return BuildNarrow(data, n, nulFrom);
    }

    std::string_view Text() const
    {
        return m_p.Wide() ? std::string_view(m_text)
                          : std::string_view(reinterpret_cast<const char*>(m_pData), m_nSize);
    }
    std::size_t Size() const { return m_p.Wide() ? m_text.size() : m_nSize; }
    const std::uint8_t* Bytes() const { return reinterpret_cast<const std::uint8_t*>(Text().data()); }
    bool IsBreak(std::size_t i) const { return IsBreakByte(Bytes()[i]); }
    // The first break at or after i (before `end`), or `end`.
    std::size_t NextBreak(std::size_t i, std::size_t end) const
    {
        const std::uint8_t* d = Bytes();
        return static_cast<std::size_t>(linescan::FindAny8(d + i, d + end, '\r', '\n', 0) - d);
    }
    // The last break before `end` at or after `begin`, or npos.
    std::size_t LastBreak(std::size_t begin, std::size_t end) const
    {
        while (end > begin)
            if (IsBreak(--end))
                return end;
        return std::string::npos;
    }
    // Makes [a, b) and the unit on either side what the engine reads.
    void Prepare(std::size_t a, std::size_t b)
    {
        if (m_p.Wide())
            return;
        a = a > 0 ? a - 1 : 0;
        b = std::min(b + 1, m_nSize);
        if (a < b)
            NormalizeBreaks(m_pData + a, b - a, m_pData + a);
    }
    // File offset of subject index i (i up to Size()).
    std::int64_t FilePos(std::size_t i) const
    {
        return m_p.Wide() ? m_base + 2 * static_cast<std::int64_t>(m_units[i]) : m_base + static_cast<std::int64_t>(i);
    }
    // Subject index of file offset `pos` within the window (on a unit).
    std::size_t IndexOf(std::int64_t pos) const
    {
        if (!m_p.Wide())
            return static_cast<std::size_t>(pos - m_base);
        const auto unit = static_cast<std::uint32_t>((pos - m_base) / 2);
        return static_cast<std::size_t>(std::lower_bound(m_units.begin(), m_units.end(), unit) - m_units.begin());
    }
    std::int64_t UnitsBetween(std::size_t a, std::size_t b) const { return (FilePos(b) - FilePos(a)) / m_p.UnitSize(); }
    // The next place a match may begin after index i: the next character.
    std::size_t NextStart(std::size_t i) const
    {
        ++i;
        if (m_p.Utf8())
            while (i < m_text.size() && (static_cast<std::uint8_t>(m_text[i]) & 0xC0) == 0x80)
                ++i;
        return i;
    }

private:
    std::size_t BuildNarrow(const std::uint8_t* data, std::size_t n, std::size_t nulFrom)
    {
        if (nulFrom >= n)
            return std::string::npos;
        const void* nul = std::memchr(data + nulFrom, 0, n - nulFrom);
        return nul ? static_cast<std::size_t>(static_cast<const std::uint8_t*>(nul) - data) : std::string::npos;
    }

    void Put(char c, std::uint32_t unit)
    {
        m_text += c;
        m_units.push_back(unit);
    }

    std::size_t BuildWide(const std::uint8_t* data, std::size_t n, std::size_t nulFrom)
    {
        const std::size_t units = n / 2;
        m_text.clear();
        m_units.clear();
        std::size_t nul = std::string::npos;
        auto unitAt = [&](std::size_t k) -> char16_t {
            const std::uint8_t* q = data + 2 * k;
            return static_cast<char16_t>(m_p.BigEndian() ? (q[0] << 8) | q[1] : q[0] | (q[1] << 8));
        };
        for (std::size_t k = 0; k < units; ++k) {
            const auto at = static_cast<std::uint32_t>(k);
            char32_t c = unitAt(k);
            if (c == 0 && nul == std::string::npos && 2 * k >= nulFrom)
                nul = m_text.size();
            if (c == '\r' || c == '\n' || c == 0) {
                Put('\n', at);
                continue;
            }
            if (c >= 0xD800 && c <= 0xDBFF && k + 1 < units && unitAt(k + 1) >= 0xDC00 && unitAt(k + 1) <= 0xDFFF) {
                c = 0x10000 + ((c - 0xD800) << 10) + (unitAt(k + 1) - 0xDC00);
                ++k;
            } else if (c >= 0xD800 && c <= 0xDFFF) {
                c = 0xFFFD;
            }
            if (c < 0x80) {
                Put(static_cast<char>(c), at);
            } else if (c < 0x800) {
                Put(static_cast<char>(0xC0 | (c >> 6)), at);
                Put(static_cast<char>(0x80 | (c & 0x3F)), at);
            } else if (c < 0x10000) {
                Put(static_cast<char>(0xE0 | (c >> 12)), at);
                Put(static_cast<char>(0x80 | ((c >> 6) & 0x3F)), at);
                Put(static_cast<char>(0x80 | (c & 0x3F)), at);
            } else {
                Put(static_cast<char>(0xF0 | (c >> 18)), at);
                Put(static_cast<char>(0x80 | ((c >> 12) & 0x3F)), at);
                Put(static_cast<char>(0x80 | ((c >> 6) & 0x3F)), at);
                Put(static_cast<char>(0x80 | (c & 0x3F)), at);
            }
        }
        m_units.push_back(static_cast<std::uint32_t>(units));
        return nul;
    }

    const CPattern& m_p;
    std::int64_t m_base = 0;
    std::uint8_t* m_pData = nullptr;
    std::size_t m_nSize = 0;
    std::string m_text;
    std::vector<std::uint32_t> m_units;
};

// [from, to) clamped to the text and onto its unit grid; false when empty.
bool Clamp(unsigned u, std::int64_t dataStart, std::int64_t& dataEnd, std::int64_t& from, std::int64_t& to)
{
    if (dataStart < 0 || dataEnd <= dataStart)
        return false;
    dataEnd = dataStart + (dataEnd - dataStart) / u * u;
    from = std::max(from, dataStart);
    from = dataStart + (from - dataStart + u - 1) / u * u;
    to = std::min(to, dataEnd);
    if (to <= dataStart)
        return false;
    to = dataStart + (to - dataStart) / u * u;
    return from < to;
}

// Reads [at, at + want) on the unit grid; the bytes read, 0 when none.
std::size_t ReadWindow(CScanReader& reader, std::int64_t at, std::int64_t want, unsigned u)
{
    const std::size_t got = reader.Read(at, static_cast<std::size_t>(want));
    return got / u * u;
}

bool Find(const CPattern& p, const CWindowText& w, std::size_t pos, std::size_t end, std::size_t& a, std::size_t& b)
{
    re2::StringPiece m;
    const std::string_view text = w.Text();
    if (pos > end || !p.Re().Match(re2::StringPiece(text.data(), text.size()), pos, end, RE2::UNANCHORED, &m, 1))
        return false;
    a = static_cast<std::size_t>(m.data() - text.data());
    b = a + m.size();
    return true;
}

// Calls visit(a, b) for the stretches [a, b) of [begin, end) of the subject
// where a match may lie, made ready for the engine: with a filter, each line
// (cut to [begin, end)) that holds its literal, or the rest whole once most
// lines have held it; without one, all of it. Ends
// when visit says so. The literal holds no break, so it is looked for in the
// bytes as read; the scan stops at a NUL, and goes on after it when the
// stretch may hold one (`mayHoldNul`).
template <class Visit>
bool ForEachStretch(const CPattern& p, CWindowText& w, std::size_t begin, std::size_t end, bool mayHoldNul, Visit visit)
{
    if (p.Filter().length == 0) {
        w.Prepare(begin, end);
        return begin <= end && visit(begin, end);
    }
    const std::uint8_t* d = w.Bytes();
    std::size_t lines = 0, lined = 0;  // the lines handed over one by one, and their bytes
    for (std::size_t pos = begin; pos < end;) {
        // Where the literal is on most lines, the engine reads the rest of
        // the window whole: one call over a buffer costs far less than one a
        // line, and the lines without the literal cannot match anyway.
        if (lines >= 8 && lined * 4 >= pos - begin) {
            w.Prepare(pos, end);
            return visit(pos, end);
        }
        const std::int64_t k = searchkernels::FindForward(p.Filter(), d + pos, end - pos);
        if (k < 0) {
            const void* nul = mayHoldNul ? std::memchr(d + pos, 0, end - pos) : nullptr;
            if (!nul)
                return false;
            pos = static_cast<std::size_t>(static_cast<const std::uint8_t*>(nul) - d) + 1;
            continue;
        }
        std::size_t a = pos + static_cast<std::size_t>(k);
        const std::size_t b = w.NextBreak(a, end);
        while (a > pos && !w.IsBreak(a - 1))
            --a;
        w.Prepare(a, b);
        ++lines;
        lined += b + 1 - a;
        if (visit(a, b))
            return true;
        pos = b + 1;
    }
    return false;
}

// Where the line holding `to` (or beginning there) ends: its first break
// unit at or after `to`, or the end of the text.
std::int64_t LineEndFrom(const CPattern& p, CScanReader& reader, std::int64_t to, std::int64_t dataEnd)
{
    const unsigned u = p.UnitSize();
    for (std::int64_t at = to; at < dataEnd;) {
        const std::int64_t want = std::min<std::int64_t>(dataEnd - at, static_cast<std::int64_t>(reader.ChunkBytes()));
        const std::size_t got = ReadWindow(reader, at, want, u);
        const std::uint8_t* d = reader.Data();
        for (std::size_t i = 0; i < got; i += u) {
            const unsigned c = u == 1 ? d[i] : p.BigEndian() ? (d[i] << 8) | d[i + 1] : d[i] | (d[i + 1] << 8);
            if (c == '\r' || c == '\n' || c == 0)
                return at + static_cast<std::int64_t>(i);
        }
        if (got < static_cast<std::size_t>(want))
            return at + static_cast<std::int64_t>(got);
        at += static_cast<std::int64_t>(got);
    }
    return dataEnd;
}

// A pattern that is a plain text costs what the plain search costs.
Match PlainSearch(const searchkernels::Needle& plain, CScanReader& reader, std::int64_t dataStart, std::int64_t dataEnd,
                  std::int64_t from, std::int64_t to, bool forward, const engine::BlockSplit& split = {})
{
    const std::int64_t m = searchkernels::SearchFile(plain, reader, dataStart, dataEnd, from, to, forward,
                                                     searchkernels::BestIsa(), split);
    return m < 0 ? Match{} : Match{m, static_cast<std::int64_t>(plain.length)};
}

}  // namespace

namespace {

// The forward search of [from, to) (clamped) in windows of the reader's
// chunks; *nulStop says that it ended at a NUL before `to`.
Match ForwardChunks(const CPattern& p, CScanReader& reader, std::int64_t dataStart, std::int64_t dataEnd,
                    std::int64_t from, std::int64_t to, bool* nulStop)
{
    const unsigned u = p.UnitSize();
    CWindowText w(p);
    const auto chunk = static_cast<std::int64_t>(reader.ChunkBytes());
    // One unit before `from` tells whether a line starts there and where a
    // word does.
    std::int64_t ws = from > dataStart ? from - u : dataStart;
    for (std::int64_t size = chunk; ws < to && !reader.Cancelled();) {
        // Past `to` up to the end of its line: a match there decides what matches before.
        const std::int64_t want = std::min(size, dataEnd - ws);
        const std::size_t got = ReadWindow(reader, ws, want, u);
        if (got == 0)
            return {};
        const std::size_t nulFrom = static_cast<std::size_t>(std::max<std::int64_t>(from - ws, 0));
        const std::size_t nul = w.Build(reader.Data(), got, ws, nulFrom);
        const std::size_t start = w.IndexOf(std::max(from, ws));
        const bool last = nul != std::string::npos || got < static_cast<std::size_t>(want) || ws + want >= dataEnd;
        std::size_t end = nul != std::string::npos ? nul : w.Size();
        if (!last) {
            // Only whole lines: the last one goes on in the next window.
            const std::size_t lf = w.LastBreak(start, end);
            if (lf == std::string::npos) {
                size *= 2;  // a line longer than the window
                continue;
            }
            end = lf;
        }
        Match found;
        // [start, end) holds no NUL: the window ends at the first one.
        const bool decided = ForEachStretch(p, w, start, end, false, [&](std::size_t ra, std::size_t rb) {
            for (std::size_t pos = ra, a = 0, b = 0; Find(p, w, pos, rb, a, b);) {
                if (w.FilePos(a) >= to)
                    return true;
                if (b > a && w.FilePos(b) <= to) {
                    found = {w.FilePos(a), w.UnitsBetween(a, b)};
                    return true;
                }
                pos = w.NextStart(a);
            }
            return false;
        });
        if (decided)
            return found;
        if (last) {
            if (nulStop && nul != std::string::npos && w.FilePos(nul) < to)
                *nulStop = true;
            return {};
        }
        ws = w.FilePos(end + 1);
        size = chunk;
    }
    return {};
}

// The first line start at or after `at`, no later than `to`: a unit that is
// no break right after a break unit. Matches never hold a break, so a block
// that begins there finds what the whole scan finds in it.
std::int64_t LineStartFrom(const CPattern& p, IChunkReader& source, std::int64_t at, std::int64_t dataStart,
                           std::int64_t to)
{
    const unsigned u = p.UnitSize();
    std::uint8_t buffer[4096];
    bool afterBreak = false;
    auto isBreak = [&](const std::uint8_t* d) {
        const unsigned c = u == 1 ? d[0] : p.BigEndian() ? (d[0] << 8) | d[1] : d[0] | (d[1] << 8);
        return c == '\r' || c == '\n';
    };
    for (std::int64_t pos = std::max(at - u, dataStart); pos < to;) {
        const std::int64_t want = std::min<std::int64_t>(to - pos, sizeof buffer);
        const auto got = static_cast<std::int64_t>(source.Read(buffer, static_cast<std::uint64_t>(want), pos)) / u * u;
        if (got <= 0)
            return to;
        for (std::int64_t i = 0; i < got; i += u) {
            const bool brk = isBreak(buffer + i);
            if (afterBreak && !brk && pos + i >= at)
                return pos + i;
            afterBreak = brk;
        }
        pos += got;
    }
    return to;
}

// Forwards on every core: the range is cut at line starts near every
// blockBytes, each block searched whole; the lowest block with a match, or
// with a NUL that ends the search, decides.
Match ForwardBlocks(const CPattern& p, CScanReader& reader, std::int64_t dataStart, std::int64_t dataEnd,
                    std::int64_t from, std::int64_t to, const engine::BlockSplit& split)
{
    const std::int64_t size = std::max<std::int64_t>(split.blockBytes / 4 * 4, 4);
    const auto n = static_cast<std::size_t>((to - from + size - 1) / size);
    auto cut = [&](std::size_t i) {
        return i == 0   ? from
               : i >= n ? to
                        : LineStartFrom(p, reader.Source(), from + static_cast<std::int64_t>(i) * size, dataStart, to);
    };
    std::vector<Match> found(n);
    const std::size_t first = engine::FirstDecidingBlock(
        n,
        [&](std::size_t i, const std::atomic<bool>& stop, const std::function<void()>& tick) {
            const std::int64_t a = cut(i), b = cut(i + 1);
            if (a >= b)
                return false;
            CScanReader block(reader, reader.ChunkBytes(), &stop, tick);
            bool nul = false;
            found[i] = ForwardChunks(p, block, dataStart, dataEnd, a, b, &nul);
            return found[i].pos >= 0 || nul;
        },
        reader.CancelFlag(), reader.Poll());
    return first < n ? found[first] : Match{};
}

}  // namespace

Match SearchForward(const CPattern& p, CScanReader& reader, std::int64_t dataStart, std::int64_t dataEnd,
                    std::int64_t from, std::int64_t to, const engine::BlockSplit& split)
{
    const unsigned u = p.UnitSize();
    if (!p.Ok() || !Clamp(u, dataStart, dataEnd, from, to))
        return {};
    if (const searchkernels::Needle* plain = p.PlainText(true))
        return PlainSearch(*plain, reader, dataStart, dataEnd, from, to, true, split);
    if (split.Splits(to - from))
        return ForwardBlocks(p, reader, dataStart, dataEnd, from, to, split);
    return ForwardChunks(p, reader, dataStart, dataEnd, from, to, nullptr);
}

namespace {

// The backward search of [from, to) (clamped) in windows of the reader's chunks.
Match BackwardChunks(const CPattern& p, CScanReader& reader, std::int64_t dataStart, std::int64_t dataEnd,
                     std::int64_t from, std::int64_t to)
{
    const unsigned u = p.UnitSize();
    CWindowText w(p);
    const auto chunk = static_cast<std::int64_t>(reader.ChunkBytes());
    // The line holding `to` is scanned whole: what follows `to` decides what matches before it.
    std::int64_t we = LineEndFrom(p, reader, to, dataEnd);
    for (std::int64_t size = chunk; !reader.Cancelled();) {
        const std::int64_t ws = std::max(dataStart, we - size);
        const std::size_t got = ReadWindow(reader, ws, we - ws, u);
        if (got < static_cast<std::size_t>(we - ws))
            return {};
        w.Build(reader.Data(), got, ws, got);
        std::size_t lineStart = 0;
        if (ws > dataStart) {
            // Bytes before the first break belong to a line that began earlier.
            const std::size_t lf = w.NextBreak(0, w.Size());
            if (lf + 1 >= w.Size()) {
                size *= 2;  // a line longer than the window
                continue;
            }
            lineStart = lf + 1;
        }
        Match best;
        ForEachStretch(p, w, lineStart, w.Size(), true, [&](std::size_t ra, std::size_t rb) {
            for (std::size_t pos = ra, a = 0, b = 0; Find(p, w, pos, rb, a, b);) {
                if (w.FilePos(a) >= to)
                    return true;
                if (b == a) {
                    pos = w.NextStart(a);
                    continue;
                }
                if (w.FilePos(a) >= from && w.FilePos(b) <= to)
                    best = {w.FilePos(a), w.UnitsBetween(a, b)};
                pos = b;
            }
            return false;
        });
        const std::int64_t linesFrom = w.FilePos(lineStart);
        if (best.pos >= 0 || linesFrom <= from || ws == dataStart)
            return best;
        we = linesFrom;
        size = chunk;
    }
    return {};
}

// Backwards on every core: the blocks of the forward search, the highest
// block with a match deciding (a NUL ends no backward search).
Match BackwardBlocks(const CPattern& p, CScanReader& reader, std::int64_t dataStart, std::int64_t dataEnd,
                     std::int64_t from, std::int64_t to, const engine::BlockSplit& split)
{
    const std::int64_t size = std::max<std::int64_t>(split.blockBytes / 4 * 4, 4);
    const auto n = static_cast<std::size_t>((to - from + size - 1) / size);
    auto cut = [&](std::size_t k) {
        return k == 0   ? from
               : k >= n ? to
                        : LineStartFrom(p, reader.Source(), from + static_cast<std::int64_t>(k) * size, dataStart, to);
    };
    std::vector<Match> found(n);
    const std::size_t first = engine::FirstDecidingBlock(
        n,
        [&](std::size_t i, const std::atomic<bool>& stop, const std::function<void()>& tick) {
            const std::size_t k = n - 1 - i;  // the top block first
            const std::int64_t a = cut(k), b = cut(k + 1);
            if (a >= b)
                return false;
            CScanReader block(reader, reader.ChunkBytes(), &stop, tick);
            found[i] = BackwardChunks(p, block, dataStart, dataEnd, a, b);
            return found[i].pos >= 0;
        },
        reader.CancelFlag(), reader.Poll());
    return first < n ? found[first] : Match{};
}

}  // namespace

Match SearchBackward(const CPattern& p, CScanReader& reader, std::int64_t dataStart, std::int64_t dataEnd,
                     std::int64_t from, std::int64_t to, const engine::BlockSplit& split)
{
    const unsigned u = p.UnitSize();
    if (!p.Ok() || !Clamp(u, dataStart, dataEnd, from, to))
        return {};
    if (const searchkernels::Needle* plain = p.PlainText(false))
        return PlainSearch(*plain, reader, dataStart, dataEnd, from, to, false, split);
    if (split.Splits(to - from))
        return BackwardBlocks(p, reader, dataStart, dataEnd, from, to, split);
    return BackwardChunks(p, reader, dataStart, dataEnd, from, to);
}

}  // namespace regexsearch
