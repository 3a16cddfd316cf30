// Regular-expression search over arbitrary texts read through the scan
// engine in windows of arbitrary size, both directions, over arbitrary
// ranges. Two halves:
// - a pattern built from a small grammar that RE2 and std::regex read alike
//   is checked against the line-by-line reference of
//   tests/core/RegexSearchReference.h on a narrow text;
// - the raw bytes as a pattern, in every encoding: it must compile or say
//   why, and a search must end without fault.
//
// Input: [flags] [chunk] [from] [to] [pattern length] [pattern bytes...] [text...]
//   flags: bit 0 ignore case, bit 1 the raw half, bits 2-3 its encoding,
//          bit 4 narrow text under the UTF-8 code page.
#include "engine/RegexSearch.h"
#include "engine/ScanReader.h"
#include "file/Encoding.h"
#include "platform/Win1252.h"
#include "tests/engine/RegexSearchReference.h"

#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

namespace {

// A pattern from the grammar: atoms, quantifiers, groups, alternation and
// anchors, a byte a token.
std::string GrammarPattern(const std::uint8_t* p, std::size_t n)
{
    static const char* const kAtoms[] = {"a", "b", "1", " ", ".", "[ab]", "[^a]", "\\d", "\\w", "\\s", "^", "$", "\\b"};
    static const char* const kQuantifiers[] = {"", "", "*", "+", "?", "{1,2}", "{2}"};
    std::string out;
    int open = 0;
    for (std::size_t i = 0; i < n; ++i) {
        const std::uint8_t c = p[i];
        if (c % 16 == 13 && open < 3) {
            out += "(";
            ++open;
        } else if (c % 16 == 14 && open > 0 && out.back() != '(' && out.back() != '|') {
            out += ")";
            out += kQuantifiers[(c >> 4) % std::size(kQuantifiers)];
            --open;
        } else if (c % 16 == 15 && !out.empty() && out.back() != '(' && out.back() != '|') {
            out += "|";
        } else {
            const std::size_t atom = c % 16 % std::size(kAtoms);
            out += kAtoms[atom];
            if (atom < 10)  // anchors take no quantifier
                out += kQuantifiers[(c >> 4) % std::size(kQuantifiers)];
        }
    }
    if (!out.empty() && out.back() == '|')
        out += "a";
    for (; open > 0; --open)
        out += ")";
    return out.empty() ? "a" : out;
}

std::string TempFile(const std::string& bytes)
{
    static std::string path;
    if (path.empty()) {
        char tmpl[] = "/tmp/fuzz-regex-XXXXXX";
        const int fd = ::mkstemp(tmpl);
        if (fd >= 0)
            ::close(fd);
        path = tmpl;
    }
    FILE* f = std::fopen(path.c_str(), "wb");
    if (f) {
        std::fwrite(bytes.data(), 1, bytes.size(), f);
        std::fclose(f);
    }
    return path;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size)
{
    if (size < 5)
        return 0;
    const bool ignoreCase = data[0] & 1, raw = data[0] & 2;
    const std::size_t chunk = 16 + data[1];
    std::size_t patternBytes = std::min<std::size_t>(data[4] % 24, size - 5);
    const std::uint8_t* pattern = data + 5;
    std::string text(reinterpret_cast<const char*>(pattern + patternBytes), size - 5 - patternBytes);
    static const std::int32_t kEncodings[] = {EncodingAnsi, EncodingUtf8, EncodingUtf16LE, EncodingUtf16BE};
    const std::int32_t encoding = raw ? kEncodings[(data[0] >> 2) & 3] : EncodingAnsi;
    const platform::CodePage codePage = data[0] & 16 ? platform::CodePage::Utf8 : platform::CodePage::Windows1252;
    std::string source;
    if (raw) {
        source.assign(reinterpret_cast<const char*>(pattern), patternBytes);
    } else {
        source = GrammarPattern(pattern, patternBytes);
        for (char& c : text)
            c = "ab1 \r\n\tA_"[static_cast<std::uint8_t>(c) % 9];
    }
    const std::u16string patternText =
        raw ? platform::Utf8ToUtf16(source) : std::u16string(source.begin(), source.end());
    const regexsearch::CPattern compiled(patternText, ignoreCase, encoding, codePage);
    if (!compiled.Ok()) {
        if (compiled.Error().empty())
            std::abort();  // a valid encoding must compile or say why
        return 0;
    }
    const unsigned u = compiled.UnitSize();
    const platform::FileHandle file = platform::OpenReadShared(TempFile(text));
    const auto n = static_cast<std::int64_t>(text.size()) / u;
    std::int64_t from = n ? data[2] % (n + 1) : 0, to = n ? data[3] % (n + 1) : 0;
    if (from > to)
        std::swap(from, to);
    CScanReader reader(file, chunk);
    for (const bool forward : {true, false}) {
        const regexsearch::Match got = forward
                                           ? regexsearch::SearchForward(compiled, reader, 0, n * u, from * u, to * u)
                                           : regexsearch::SearchBackward(compiled, reader, 0, n * u, from * u, to * u);
        if (got.pos >= 0 && (got.pos < from * u || got.pos + got.units * u > to * u || got.units <= 0))
            std::abort();  // a match lies wholly inside its range and is never empty
        if (raw)
            continue;
        const auto ua = static_cast<std::size_t>(from), ub = static_cast<std::size_t>(to);
        const regexref::Found expected = forward ? regexref::Forward(text, source, ignoreCase, ua, ub)
                                                 : regexref::Backward(text, source, ignoreCase, ua, ub);
        if (expected.pos != got.pos || (got.pos >= 0 && expected.length != got.units)) {
            std::fprintf(stderr, "mismatch %s /%s/: got %lld+%lld, expected %lld+%lld\n",
                         forward ? "forward" : "backward", source.c_str(), static_cast<long long>(got.pos),
                         static_cast<long long>(got.units), static_cast<long long>(expected.pos),
                         static_cast<long long>(expected.length));
            std::abort();
        }
    }
    platform::CloseFile(file);
    return 0;
}
