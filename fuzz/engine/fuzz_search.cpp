// Searches arbitrary bytes for an arbitrary text in every encoding, both
// directions, with and without letter case, over arbitrary ranges and chunk
// sizes, with every instruction set the processor has, and checks each
// result against the plain reference of tests/core/SearchReference.h. The
// kernels also run on exact-size copies of the range, so that
// AddressSanitizer sees any read past either end.
//
// Input: [flags] [pattern units] [from] [to] [chunk] [pattern: 2 bytes a unit] [text...]
//   flags: bits 0-1 encoding (ANSI, UTF-8, UTF-16 LE, UTF-16 BE), bit 2 ignore case,
//          bit 3 fold the pattern's bytes onto a small alphabet (more matches),
//          bit 4 narrow text under the UTF-8 code page.
#include "engine/SearchKernels.h"
#include "tests/engine/SearchReference.h"

#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

void Check(bool ok, const char* what, std::int64_t got, std::int64_t expected)
{
    if (!ok) {
        std::fprintf(stderr, "mismatch: %s: got %lld, expected %lld\n", what, static_cast<long long>(got),
                     static_cast<long long>(expected));
        std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size)
{
    if (size < 5)
        return 0;
    static const std::int32_t kEncodings[] = {EncodingAnsi, EncodingUtf8, EncodingUtf16LE, EncodingUtf16BE};
    const std::int32_t encoding = kEncodings[data[0] & 3];
    const bool ignoreCase = data[0] & 4;
    const bool small = data[0] & 8;
    const platform::CodePage codePage = data[0] & 16 ? platform::CodePage::Utf8 : platform::CodePage::Windows1252;
    const bool utf8 = codePage == platform::CodePage::Utf8 && (encoding == EncodingAnsi || encoding == EncodingUtf8);
    const std::size_t patternUnits = data[1] % 24 + 1;
    const std::uint8_t fromByte = data[2], toByte = data[3];
    const std::size_t chunk = data[4];
    data += 5;
    size -= 5;

    std::u16string text;
    for (std::size_t i = 0; i < patternUnits && size >= 2; ++i, data += 2, size -= 2) {
        char16_t c = static_cast<char16_t>(data[0] | (data[1] << 8));
        if (small)
            c = u"aAbB\u017FsS\u0131iI\u03A3\u03C3\u03C2\r\n"[data[0] % 15];
        text.push_back(c);
    }
    if (small) {
        // The text gets the same treatment so that matches are likely.
        static std::vector<std::uint8_t> folded;
        folded.assign(data, data + size);
        const bool wide = encoding == EncodingUtf16LE || encoding == EncodingUtf16BE;
        if (utf8) {
            // Whole spellings of the pattern's letters, and bytes that are no character.
            static const char* const kPieces[] = {"a",    "A",    "b",        "s",        "S",        "\xC5\xBF",
                                                  "i",    "I",    "\xC4\xB1", "\xCF\x83", "\xCF\x82", "\xCE\xA3",
                                                  "\xCE", "\x83", "\r",       "\n"};
            folded.clear();
            for (std::size_t i = 0; i < size; ++i)
                for (const char* c = kPieces[data[i] % std::size(kPieces)]; *c; ++c)
                    folded.push_back(static_cast<std::uint8_t>(*c));
            size = folded.size();
        }
        for (std::size_t i = 0; i < folded.size() && !utf8; ++i) {
            if (!wide) {
                folded[i] = static_cast<std::uint8_t>("aAbBsSiI?\r\n\0"[folded[i] % 12]);
            } else if (i % 2 == 0 && i + 1 < folded.size()) {
                const char16_t c = u"aAbB\u017FsS\u0131iI\u03A3\u03C3\u03C2\r\n\0"[folded[i] % 16];
                const bool be = encoding == EncodingUtf16BE;
                folded[i] = static_cast<std::uint8_t>(be ? c >> 8 : c & 0xFF);
                folded[i + 1] = static_cast<std::uint8_t>(be ? c & 0xFF : c >> 8);
            }
        }
        data = folded.data();
    }

    const std::int64_t n = static_cast<std::int64_t>(size);
    // Ranges reach a little outside the data and off the unit grid.
    const std::int64_t from = n * fromByte / 255 - 2 + (fromByte & 1);
    const std::int64_t to = n * toByte / 255 + 2 - (toByte & 1);
    const std::int64_t start = encoding == EncodingAnsi ? 0 : (fromByte >> 5) & 3;
    if (start > n)
        return 0;

    const searchkernels::Needle needle = searchkernels::PrepareForEncoding(text, encoding, ignoreCase, codePage);
    for (const bool forward : {true, false}) {
        const std::int64_t expected =
            searchref::Search(data, start, n, encoding, ignoreCase, text, from, to, forward, codePage);
        for (auto isa : {searchkernels::Isa::Scalar, searchkernels::Isa::Sse2, searchkernels::Isa::Avx2}) {
            if (!searchkernels::IsaAvailable(isa))
                continue;
            const std::int64_t got = searchkernels::SearchView(needle, data, start, n, from, to, forward, isa, chunk);
            Check(got == expected, forward ? "forward" : "backward", got, expected);

            // The kernel alone on an exact copy of the range on the grid.
            const std::int64_t u = needle.unitSize;
            const std::int64_t a = std::max(from, start), b = std::min(to, n);
            if (a >= b)
                continue;
            const std::int64_t ga = start + (a - start + u - 1) / u * u;
            const std::int64_t gb = start + (b - start) / u * u;
            if (ga >= gb)
                continue;
            const std::vector<std::uint8_t> copy(data + ga, data + gb);
            const auto units = static_cast<std::size_t>((gb - ga) / u);
            const std::int64_t k = forward ? searchkernels::FindForward(needle, copy.data(), units, isa)
                                           : searchkernels::FindBackward(needle, copy.data(), units, isa);
            const std::int64_t viaCopy = k < 0 ? -1 : ga + k * u;
            Check(viaCopy == expected, forward ? "forward, exact copy" : "backward, exact copy", viaCopy, expected);
        }
    }
    return 0;
}
