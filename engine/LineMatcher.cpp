// The two matchers of the filter: plain text through the search kernels, and
// regular expressions through RE2, whose time is linear in the text for
// every pattern, so that no pattern can stall a scan.
#include "engine/LineMatcher.h"

#include "engine/CodeUnits.h"
#include "engine/LineScan.h"
#include "engine/RegexSearch.h"
#include "engine/SearchKernels.h"
#include "file/Encoding.h"
#include "platform/Win1252.h"

#include <re2/re2.h>

#include <cstring>
#include <vector>

namespace linefilter {
namespace {

bool IsWide(std::int32_t encoding)
{
    return encoding == EncodingUtf16LE || encoding == EncodingUtf16BE;
}

// Plain texts (one, or the alternatives of a regular expression that is
// nothing else): the search kernels stop at a NUL, so each run between NULs
// is scanned on its own (a NUL never matches a character of a text). The
// next hit of each text is kept, so that every text scans a chunk once
// however many of its lines are listed.
class PlainMatcher : public ILineMatcher {
public:
    explicit PlainMatcher(std::vector<searchkernels::Needle> needles)
        : m_needles(std::move(needles)), m_unit(m_needles.front().unitSize), m_next(m_needles.size())
    {
    }

    void Load(const std::uint8_t* chunk, std::size_t bytes) override
    {
        m_data = chunk;
        m_size = bytes;
        m_nul = Next{};
        for (Next& n : m_next)
            n = Next{};
    }

    bool Find(std::size_t from, std::size_t& begin, std::size_t& end) override
    {
        bool found = false;
        for (std::size_t i = 0; i < m_needles.size(); ++i) {
            Next& n = m_next[i];
            if (!n.Knows(from))
                n = {from, FindIn(m_needles[i], from, m_size)};
            if (n.at < m_size && (!found || n.at < begin)) {
                found = true;
                begin = n.at;
                end = begin + m_needles[i].length * m_unit;
            }
        }
        return found;
    }

    bool LineMatches(std::size_t begin, std::size_t end) override
    {
        for (const searchkernels::Needle& needle : m_needles)
            if (FindIn(needle, begin, end) < end)
                return true;
        return false;
    }

private:
    // The first hit at or after `from` is at `at` (the chunk's end: none)
    // for every `from` in [from, at].
    struct Next {
        std::size_t from = 1, at = 0;  // knows nothing
        bool Knows(std::size_t f) const { return f >= from && f <= at; }
    };

    std::size_t NextNul(std::size_t from, std::size_t to)
    {
        if (!m_nul.Knows(from))
            m_nul = {from, FindNul(from)};
        return std::min(m_nul.at, to);
    }

    std::size_t FindNul(std::size_t from) const
    {
        if (m_unit == 1) {
            const void* hit = std::memchr(m_data + from, 0, m_size - from);
            return hit ? static_cast<std::size_t>(static_cast<const std::uint8_t*>(hit) - m_data) : m_size;
        }
        return static_cast<std::size_t>(linescan::FindAny16(m_data + from, m_data + m_size, 0, 0, 0) - m_data);
    }

    // The first match of `needle` wholly in [from, to); `to` when none.
    std::size_t FindIn(const searchkernels::Needle& needle, std::size_t from, std::size_t to)
    {
        while (from < to) {
            const std::size_t nul = NextNul(from, to);
            const std::int64_t k = searchkernels::FindForward(needle, m_data + from, (nul - from) / m_unit);
            if (k >= 0)
                return from + static_cast<std::size_t>(k) * m_unit;
            from = nul + m_unit;
        }
        return to;
    }

    std::vector<searchkernels::Needle> m_needles;
    std::size_t m_unit;
    std::vector<Next> m_next;
    Next m_nul;
    const std::uint8_t* m_data = nullptr;
    std::size_t m_size = 0;
};

// A regular expression over a copy of the chunk in which every line break
// is a LF: RE2's multi-line ^ and $ then stand at every break of the line
// rules (a CR LF pair reads as an empty line between, which never holds a
// match of one unit or more). UTF-16 is transcoded to UTF-8 with a map back.
class RegexMatcher : public ILineMatcher {
public:
    RegexMatcher(std::unique_ptr<RE2> re, TextForm form)
        : m_re(std::move(re)), m_wide(IsWide(form.encoding)), m_bigEndian(form.encoding == EncodingUtf16BE)
    {
    }

    void Load(const std::uint8_t* chunk, std::size_t bytes) override
    {
        m_chunk = chunk;
        m_bytes = bytes;
        m_nul = kUnknown;
        if (m_filter.length)
            return;  // the lines of candidates are read where they lie
        if (m_wide)
            Transcode(chunk, bytes);
        else
            CopyNarrow(chunk, bytes);
    }

    bool Find(std::size_t from, std::size_t& begin, std::size_t& end) override
    {
        if (m_filter.length)
            return FindByLiteral(from, begin, end);
        re2::StringPiece m;
        const re2::StringPiece text(m_text.data(), m_text.size());
        if (!m_re->Match(text, ToText(from), text.size(), RE2::UNANCHORED, &m, 1))
            return false;
        begin = ToChunk(static_cast<std::size_t>(m.data() - m_text.data()));
        end = ToChunk(static_cast<std::size_t>(m.data() + m.size() - m_text.data()));
        return true;
    }

    // The matches a scan from the line's start reports one after another:
    // an empty one moves the scan on by a character.
    bool LineMatches(std::size_t begin, std::size_t end) override
    {
        const std::size_t b = ToText(begin), e = ToText(end);
        const re2::StringPiece line =
            m_filter.length ? re2::StringPiece(reinterpret_cast<const char*>(m_chunk) + begin, end - begin)
                            : re2::StringPiece(m_text.data() + b, e - b);
        if (m_filter.length)
            return m_re->Match(line, 0, line.size(), RE2::UNANCHORED, nullptr, 0);  // never empty, as above
        re2::StringPiece m;
        for (std::size_t pos = 0; pos <= line.size();) {
            if (!m_re->Match(line, pos, line.size(), RE2::UNANCHORED, &m, 1))
                return false;
            if (!m.empty())
                return true;
            pos = static_cast<std::size_t>(m.data() - line.data()) + CharLength(line, m.data() - line.data());
        }
        return false;
    }

private:
    // The line around a candidate, by the C library's vector scans: LF first, then a CR (rarer) inside what
    // that leaves.
    std::size_t LineStartBefore(std::size_t at) const
    {
        const void* lf = ::memrchr(m_chunk, '\n', at);
        const std::size_t from = lf ? static_cast<std::size_t>(static_cast<const std::uint8_t*>(lf) - m_chunk) + 1 : 0;
        const void* cr = ::memrchr(m_chunk + from, '\r', at - from);
        return cr ? static_cast<std::size_t>(static_cast<const std::uint8_t*>(cr) - m_chunk) + 1 : from;
    }
    std::size_t LineEndAfter(std::size_t at) const
    {
        const void* lf = std::memchr(m_chunk + at, '\n', m_bytes - at);
        const std::size_t to = lf ? static_cast<std::size_t>(static_cast<const std::uint8_t*>(lf) - m_chunk) : m_bytes;
        const void* cr = std::memchr(m_chunk + at, '\r', to - at);
        return cr ? static_cast<std::size_t>(static_cast<const std::uint8_t*>(cr) - m_chunk) : to;
    }

    // Narrow text with a literal that every match holds: the literal's candidates are found at the plain
    // search's speed, and the expression runs only over each candidate's line, taken as a text of its own
    // (so ^, $ and \b see its ends as a copy with LF breaks would). A match lies within a line wherever the
    // filter counts it, so no line with a match is passed over.
    bool FindByLiteral(std::size_t from, std::size_t& begin, std::size_t& end)
    {
        const char* text = reinterpret_cast<const char*>(m_chunk);
        for (std::size_t at = from; at < m_bytes;) {
            if (m_nul == kUnknown || m_nul < at) {
                const void* nul = std::memchr(m_chunk + at, 0, m_bytes - at);
                m_nul = nul ? static_cast<std::size_t>(static_cast<const std::uint8_t*>(nul) - m_chunk) : m_bytes;
            }
            const std::int64_t k = searchkernels::FindForward(m_filter, m_chunk + at, m_nul - at);
            if (k < 0) {
                at = m_nul + 1;  // the kernel stops at a NUL; the text goes on after it
                continue;
            }
            const std::size_t hit = at + static_cast<std::size_t>(k);
            const std::size_t ls = LineStartBefore(hit), le = LineEndAfter(hit);
            // Only whether the line matches is asked (RE2 then runs one automaton, not two): every match holds
            // the literal, so none is empty, and the literal itself stands for the candidate.
            const re2::StringPiece line(text + ls, le - ls);
            if (m_leading) {
                // Every match starts with the literal: the automaton runs from this one only, as far as it
                // must to know (the line around it is the context that ^, $ and \b see).
                if (m_re->Match(line, hit - ls, line.size(), RE2::ANCHOR_START, nullptr, 0)) {
                    begin = hit;
                    end = hit + m_filter.length;
                    return true;
                }
                at = hit + 1;
                continue;
            }
            const std::size_t start = from > ls ? from - ls : 0;
            if (m_re->Match(line, start, line.size(), RE2::UNANCHORED, nullptr, 0)) {
                begin = hit;
                end = hit + m_filter.length;
                return true;
            }
            at = le + 1;
        }
        return false;
    }

    std::size_t CharLength(const re2::StringPiece& s, std::ptrdiff_t at) const
    {
        if (!m_utf8 || static_cast<std::size_t>(at) >= s.size())
            return 1;
        std::size_t n = 1;
        while (static_cast<std::size_t>(at) + n < s.size() && (static_cast<std::uint8_t>(s[at + n]) & 0xC0) == 0x80)
            ++n;
        return n;
    }

    std::size_t ToText(std::size_t chunkOffset) const { return m_wide ? m_textOf[chunkOffset / 2] : chunkOffset; }
    std::size_t ToChunk(std::size_t textOffset) const { return m_wide ? m_chunkOf[textOffset] : textOffset; }

    void CopyNarrow(const std::uint8_t* chunk, std::size_t bytes)
    {
        m_text.assign(reinterpret_cast<const char*>(chunk), bytes);
        for (char* p = m_text.data(); (p = static_cast<char*>(std::memchr(p, '\r', m_text.data() + bytes - p)));)
            *p++ = '\n';
    }

    void Append(char c, std::size_t chunkOffset)
    {
        m_text.push_back(c);
        m_chunkOf.push_back(chunkOffset);
    }

    void Transcode(const std::uint8_t* chunk, std::size_t bytes)
    {
        const std::size_t units = bytes / 2;
        m_text.clear();
        m_chunkOf.clear();
        m_textOf.assign(units + 1, 0);
        for (std::size_t i = 0; i < units; ++i) {
            m_textOf[i] = m_text.size();
            std::uint32_t c = Unit(chunk, i);
            std::size_t span = 1;
            if (c >= 0xD800 && c <= 0xDBFF && i + 1 < units && Unit(chunk, i + 1) >= 0xDC00 &&
                Unit(chunk, i + 1) <= 0xDFFF) {
                c = 0x10000 + ((c - 0xD800) << 10) + (Unit(chunk, i + 1) - 0xDC00);
                span = 2;
            } else if (c >= 0xD800 && c <= 0xDFFF) {
                c = 0xFFFD;
            }
            AppendUtf8(c == '\r' ? '\n' : c, i * 2);
            if (span == 2)
                m_textOf[++i] = m_text.size();
        }
        m_textOf[units] = m_text.size();
        m_chunkOf.push_back(units * 2);
    }

    std::uint32_t Unit(const std::uint8_t* chunk, std::size_t i) const
    {
        const std::uint16_t u = codeunits::Load16(chunk + i * 2);
        return m_bigEndian ? static_cast<std::uint16_t>((u >> 8) | (u << 8)) : u;
    }

    void AppendUtf8(std::uint32_t c, std::size_t at)
    {
        if (c < 0x80) {
            Append(static_cast<char>(c), at);
        } else if (c < 0x800) {
            Append(static_cast<char>(0xC0 | (c >> 6)), at);
            Append(static_cast<char>(0x80 | (c & 0x3F)), at);
        } else if (c < 0x10000) {
            Append(static_cast<char>(0xE0 | (c >> 12)), at);
            Append(static_cast<char>(0x80 | ((c >> 6) & 0x3F)), at);
            Append(static_cast<char>(0x80 | (c & 0x3F)), at);
        } else {
            Append(static_cast<char>(0xF0 | (c >> 18)), at);
            Append(static_cast<char>(0x80 | ((c >> 12) & 0x3F)), at);
            Append(static_cast<char>(0x80 | ((c >> 6) & 0x3F)), at);
            Append(static_cast<char>(0x80 | (c & 0x3F)), at);
        }
    }

    std::unique_ptr<RE2> m_re;
    searchkernels::Needle m_filter;  // narrow text: the literal every match holds (length 0: none)
    bool m_leading = false;          // ... and every match starts with it
    const std::uint8_t* m_chunk = nullptr;
    static constexpr std::size_t kUnknown = ~std::size_t{0};
    std::size_t m_bytes = 0, m_nul = kUnknown;  // the first NUL at or after the last look (m_bytes: none)
    bool m_wide, m_bigEndian;
    bool m_utf8 = true;  // the text RE2 reads is UTF-8 (not Latin-1)
    std::string m_text;
    std::vector<std::size_t> m_textOf;   // UTF-16: text offset of each unit (and of the end)
    std::vector<std::size_t> m_chunkOf;  // UTF-16: chunk offset of each text byte (and of the end)

    friend std::unique_ptr<ILineMatcher> MakeRegex(const FilterQuery&, const TextForm&, std::string*);
};

// The alternatives of a regular expression made of ASCII letters, digits
// and punctuation without meaning (ERROR|WARN), or nothing when it has more:
// such a pattern is searched as plain texts, at the plain search's speed.
std::vector<std::u16string> LiteralAlternatives(const std::u16string& pattern)
{
    static const std::u16string kSpecial = u"\\.+*?()[]{}^$";
    std::vector<std::u16string> out(1);
    for (const char16_t c : pattern) {
        if (c == u'|')
            out.emplace_back();
        else if (c < 0x20 || c >= 0x7F || kSpecial.find(c) != std::u16string::npos)
            return {};
        else
            out.back() += c;
    }
    for (const std::u16string& s : out)
        if (s.empty())
            return {};
    return out;
}

std::unique_ptr<ILineMatcher> MakePlain(const std::vector<std::u16string>& texts, const FilterQuery& query,
                                        const TextForm& form, std::string* error)
{
    std::vector<searchkernels::Needle> needles;
    for (const std::u16string& text : texts) {
        needles.push_back(searchkernels::PrepareForEncoding(text, form.encoding, query.ignoreCase, form.codePage));
        if (needles.back().length == 0) {
            if (error)
                *error = "empty pattern";
            return nullptr;
        }
    }
    return std::make_unique<PlainMatcher>(std::move(needles));
}

// The literal that every match of `pattern` starts with: its leading plain ASCII characters, without the last
// when a quantifier follows it; nothing when the pattern has an alternative anywhere (which could start a
// match elsewhere) or starts with syntax.
std::string LeadingLiteral(const std::string& pattern)
{
    static constexpr std::string_view kSpecial = "\\.+*?()[]{}^$|";
    if (pattern.find('|') != std::string::npos)
        return {};
    std::size_t n = 0;
    while (n < pattern.size() && pattern[n] >= 0x20 && pattern[n] < 0x7F && kSpecial.find(pattern[n]) == kSpecial.npos)
        ++n;
    if (n < pattern.size() && n > 0 && std::string_view("*?{+").find(pattern[n]) != std::string_view::npos)
        --n;
    return pattern.substr(0, n);
}

std::unique_ptr<ILineMatcher> MakeRegex(const FilterQuery& query, const TextForm& form, std::string* error)
{
    // Narrow text under Windows-1252 is matched byte for byte as Latin-1
    // (the pattern brought to Windows-1252 the same way); everything else as UTF-8.
    const bool latin1 = !IsWide(form.encoding) && form.codePage == platform::CodePage::Windows1252;
    RE2::Options options(latin1 ? RE2::Latin1 : RE2::DefaultOptions);
    options.set_log_errors(false);
    options.set_case_sensitive(!query.ignoreCase);
    const std::string pattern = regexsearch::EnginePatternText(query.pattern, !latin1);
    auto re = std::make_unique<RE2>("(?m)" + pattern, options);
    if (!re->ok()) {
        if (error) {
            // The error quotes the expression as compiled: without the flag it was given.
            *error = re->error();
            const std::size_t flag = error->find("(?m)");
            if (flag != std::string::npos)
                error->erase(flag, 4);
        }
        return nullptr;
    }
    auto matcher = std::make_unique<RegexMatcher>(std::move(re), form);
    matcher->m_utf8 = !latin1;
    if (!matcher->m_wide) {
        const std::string leading = query.ignoreCase ? std::string() : LeadingLiteral(pattern);
        matcher->m_leading = leading.size() >= 3;
        matcher->m_filter = matcher->m_leading
                                ? searchkernels::PrepareNarrow(leading, false)
                                : searchkernels::PrepareNarrow(regexsearch::RequiredLiteral(*matcher->m_re), true);
    }
    return matcher;
}

}  // namespace

std::unique_ptr<ILineMatcher> MakeLineMatcher(const FilterQuery& query, const TextForm& form, std::string* error)
{
    const bool narrow = form.encoding == EncodingAnsi || form.encoding == EncodingUtf8;
    if (!narrow && !IsWide(form.encoding)) {
        if (error)
            *error = "the text has no lines";
        return nullptr;
    }
    if (query.pattern.empty()) {
        if (error)
            *error = "empty pattern";
        return nullptr;
    }
    if (!query.regex)
        return MakePlain({query.pattern}, query, form, error);
    const std::vector<std::u16string> literals = LiteralAlternatives(query.pattern);
    return literals.empty() ? MakeRegex(query, form, error) : MakePlain(literals, query, form, error);
}

}  // namespace linefilter
