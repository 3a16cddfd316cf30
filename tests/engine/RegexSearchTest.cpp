#include "engine/RegexSearch.h"
#include "engine/ScanReader.h"
#include "tests/engine/RegexSearchReference.h"
#include "tests/engine/SearchSteps.h"

#include <gtest/gtest.h>

#include <random>

namespace {

using platform::CodePage;

// Patterns of the subset users type; some match nothing but empty text.
const char* const kPatterns[] = {"a", "ab", "a+b", "[0-9]{2,}", "^a", "b$", "^$", "a*", "\\bab\\b", "(a|ab)(b|)", "a.b",
                                 "[^a]+", "\\s+", "\\w+", "\\d", "(ab|a)b*", "b{2}", "a?b", "^ab|ba$", "1 ?_",
                                 "[ab]{2,3}", "^.*$", "\\Bb", "(a|b)*1", "b\\b", ".", "^\\s*\\d+$",
                                 // Literals that every match holds, which the search looks for first.
                                 "ab1", "aba", "(ab1|ba2)", "[ab]b1 ?", "\\bab_", "(ab|ba)ab+", "(aab|bab)\\d",
                                 "^ab1$"};

// Texts of the letters of the patterns and every break (NUL rarely).
std::string MakeText(std::mt19937& rng, std::size_t length)
{
    static const char kAlphabet[] = {'a', 'b', 'A', 'B', '1', '2', ' ', '_', '\t', '\r', '\n'};
    std::string t;
    const std::size_t common = std::uniform_int_distribution<std::size_t>(3, std::size(kAlphabet))(rng);
    for (std::size_t i = 0; i < length; ++i)
        t += rng() % 97 == 0 ? '\0' : kAlphabet[rng() % common];
    return t;
}

// The text as a file of the encoding stores it (no mark).
std::string Stored(const std::string& text, std::int32_t encoding)
{
    if (encoding == EncodingAnsi)
        return text;
    return testutil::Utf16(std::u16string(text.begin(), text.end()), encoding == EncodingUtf16BE);
}

TEST(RegexSearch, AgreesWithALineByLineReferenceOnRandomTexts)
{
    std::mt19937 rng(20240611);
    testutil::TempDir dir;
    int matches = 0, cases = 0;
    const struct {
        std::int32_t encoding;
        CodePage codePage;
    } kinds[] = {{EncodingAnsi, CodePage::Windows1252},
                 {EncodingAnsi, CodePage::Utf8},
                 {EncodingUtf16LE, CodePage::Windows1252},
                 {EncodingUtf16BE, CodePage::Windows1252}};
    for (int iter = 0; iter < 400; ++iter) {
        const auto& kind = kinds[iter % 4];
        const std::string text = MakeText(rng, std::uniform_int_distribution<std::size_t>(0, 160)(rng));
        const std::int64_t u = EncodingUnitSize(kind.encoding);
        const platform::FileHandle file = platform::OpenReadShared(dir.Write("t.txt", Stored(text, kind.encoding)));
        const auto n = static_cast<std::int64_t>(text.size());
        for (const char* pattern : kPatterns) {
            const bool ignoreCase = rng() % 2;
            const regexsearch::CPattern compiled(platform::Utf8ToUtf16(pattern), ignoreCase, kind.encoding,
                                                 kind.codePage);
            ASSERT_TRUE(compiled.Ok()) << pattern << ": " << compiled.Error();
            std::int64_t a = std::uniform_int_distribution<std::int64_t>(0, n)(rng);
            std::int64_t b = std::uniform_int_distribution<std::int64_t>(0, n)(rng);
            if (a > b)
                std::swap(a, b);
            if (rng() % 3 == 0)
                a = 0, b = n;
            // Windows of a few bytes: lines longer than a window and matches across windows abound.
            CScanReader reader(file, std::uniform_int_distribution<std::size_t>(16, 64)(rng));
            for (const bool forward : {true, false}) {
                const auto ua = static_cast<std::size_t>(a), ub = static_cast<std::size_t>(b);
                const regexref::Found expected = forward ? regexref::Forward(text, pattern, ignoreCase, ua, ub)
                                                         : regexref::Backward(text, pattern, ignoreCase, ua, ub);
                const regexsearch::Match got =
                    forward ? regexsearch::SearchForward(compiled, reader, 0, n * u, a * u, b * u)
                            : regexsearch::SearchBackward(compiled, reader, 0, n * u, a * u, b * u);
                const regexref::Found found{got.pos < 0 ? -1 : got.pos / u, got.pos < 0 ? 0 : got.units};
                ASSERT_EQ(found, expected)
                    << (forward ? "forward " : "backward ") << pattern << (ignoreCase ? " nocase" : "") << " encoding "
                    << kind.encoding << " range " << a << ".." << b << " text " << testing::PrintToString(text);
                {
                    // In blocks of a few bytes on the pool: cut inside lines, pairs and matches.
                    const engine::BlockSplit split{0, 4 * std::uniform_int_distribution<std::int64_t>(1, 12)(rng)};
                    const regexsearch::Match inBlocks =
                        forward ? regexsearch::SearchForward(compiled, reader, 0, n * u, a * u, b * u, split)
                                : regexsearch::SearchBackward(compiled, reader, 0, n * u, a * u, b * u, split);
                    ASSERT_EQ(inBlocks.pos, got.pos) << "blocks of " << split.blockBytes << " " << pattern;
                    ASSERT_EQ(inBlocks.units, got.units) << "blocks of " << split.blockBytes << " " << pattern;
                }
                matches += expected.pos >= 0;
                ++cases;
            }
        }
        platform::CloseFile(file);
    }
    EXPECT_GT(matches, cases / 5);
    EXPECT_LT(matches, cases * 4 / 5);
}

// Blocks of 8 bytes, cut where the whole scan would decide differently if
// a block ignored its neighbours.
TEST(RegexSearch, BlocksOnThePoolFindWhatTheWholeScanFinds)
{
    const struct {
        const char* what;
        std::string text;
        const char* pattern;
    } cases[] = {
        {"a match across a block boundary", "xxxxxxxab1 ab1\n", "ab1"},
        {"a match across a boundary, not a literal", "xxxxxxxaab\nab", "a+b"},
        {"a CR LF pair split by a boundary", "aaaaaaa\r\nbbbb\r\n", "^b+"},
        {"an LF CR pair split by a boundary", "aaaaaaa\n\rb\r\n", "^b$"},
        {"a NUL ends the search before a later block", std::string("x\0xxxxxxxxxxxxab\n", 17), "ab"},
        {"a NUL ends the regular expression too", std::string("x\0xxxxxxxxxxxxaab\n", 18), "a+b"},
        {"the first of several blocks with a match", "xxxxxxxxxxxxab\nxxxxab\nab", "a?b"},
        {"a line longer than several blocks", "ab" + std::string(40, 'x') + "yb", "y[ab]"},
        {"nothing found", std::string(50, 'x') + "\r\n" + std::string(30, 'y'), "xy|yx"},
    };
    testutil::TempDir dir;
    for (const auto& c : cases) {
        for (const std::int32_t encoding : {EncodingAnsi, EncodingUtf16LE, EncodingUtf16BE}) {
            const std::int64_t u = EncodingUnitSize(encoding);
            const platform::FileHandle file = platform::OpenReadShared(dir.Write("b.txt", Stored(c.text, encoding)));
            const regexsearch::CPattern compiled(platform::Utf8ToUtf16(c.pattern), false, encoding,
                                                 CodePage::Windows1252);
            const auto n = static_cast<std::int64_t>(c.text.size());
            const regexref::Found expected = regexref::Forward(c.text, c.pattern, false, 0, c.text.size());
            for (const std::int64_t block : {4, 8, 12}) {
                CScanReader reader(file, 16);
                std::atomic<std::int64_t> read{0};
                reader.SetProgress(&read);
                const regexsearch::Match got =
                    regexsearch::SearchForward(compiled, reader, 0, n * u, 0, n * u, {0, block * u});
                EXPECT_EQ((regexref::Found{got.pos < 0 ? -1 : got.pos / u, got.pos < 0 ? 0 : got.units}), expected)
                    << c.what << ", encoding " << encoding << ", blocks of " << block << " units";
                // Every block's reads count towards the caller's progress: a search that found nothing read it all.
                if (expected.pos < 0 && c.text.find('\0') == std::string::npos) {
                    EXPECT_GE(read.load(), n * u) << c.what;
                }
                const regexsearch::Match last =
                    regexsearch::SearchBackward(compiled, reader, 0, n * u, 0, n * u, {0, block * u});
                EXPECT_EQ((regexref::Found{last.pos < 0 ? -1 : last.pos / u, last.pos < 0 ? 0 : last.units}),
                          regexref::Backward(c.text, c.pattern, false, 0, c.text.size()))
                    << c.what << ", backwards, encoding " << encoding << ", blocks of " << block << " units";
            }
            platform::CloseFile(file);
        }
    }
}

using testutil::FileBytes;
using testutil::kAllEncodings;

using searchsteps::Step;

TEST(RegexSearchWindow, RulesOfFirstNextAndPreviousWithPatterns)
{
    const struct {
        const char* name;
        std::u16string text;
        std::vector<Step> steps;  // from the top of the text
    } cases[] = {
        {"backwards, the last match of a forward scan of the line",
         u"alpha 12\r\nbeta 345\ngamma 6789\r\n",
         {{'F', 0, u"[0-9]{3,}", 0, 15, 3},
          {'N', 0, u"[0-9]{3,}", 0, 25, 4},
          {'P', 0, u"[0-9]{3,}", 0, 15, 3},
          {'P', 0, u"[0-9]{3,}", 0, 25, 4}}},
        {"the next search starts after the last match's own length",
         u"ab abbb ab",
         {{'F', 0, u"ab+", 0, 0, 2}, {'N', 0, u"ab+", 0, 3, 4}, {'N', 0, u"ab+", 0, 8, 2}, {'N', 0, u"ab+", 0, 0, 2}}},
        {"anchors at every break, CR alone included; no match across one",
         u"xa\rax\r\nab",
         {{'F', 0, u"^a", 0, 3, 1}, {'N', 0, u"^a", 0, 7, 1}, {'F', 0, u"a$", 0, 1, 1}, {'F', 0, u"x.a", 1, -1, 0}}},
        {"letter case by the flag",
         u"Error ERROR error",
         {{'F', 1, u"^e.ror", 0, 0, 5}, {'F', 0, u"E[A-Z]*R", 0, 6, 5}}},
        {"a pattern matching only empty text finds nothing",
         u"abc\r\n\r\nd",
         {{'F', 0, u"^$", 1, -1, 0}, {'F', 0, u"x*", 1, -1, 0}}},
        {"an invalid pattern searches nothing", u"a(b", {{'F', 0, u"a(b", 2, -1, 0}, {'N', 0, u"(", 2, -1, 0}}},
    };
    for (const auto& c : cases) {
        for (const std::int32_t encoding : kAllEncodings) {
            SCOPED_TRACE(std::string(c.name) + ", encoding " + std::to_string(encoding));
            testutil::Window w(FileBytes(c.text, encoding), 3, 80, encoding);
            ASSERT_EQ(w.wnd.GetEncoding(), encoding);
            w.wnd.SetRegularExpression(true);
            searchsteps::Run(w, c.steps, encoding);
        }
    }
}

// Characters outside ASCII: as the file shows them, in every form of text.
TEST(RegexSearchWindow, CharactersOutsideAsciiInEveryEncoding)
{
    const std::u16string text = u"na\u00EFve caf\u00C9 \u03C3\u03BF\u03C6\u03CC\u03C2 \u20AC5";
    const struct {
        std::int32_t encoding;
        platform::CodePage codePage;
    } kinds[] = {{EncodingAnsi, platform::CodePage::Windows1252},
                 {EncodingAnsi, platform::CodePage::Utf8},
                 {EncodingUtf16LE, platform::CodePage::Windows1252},
                 {EncodingUtf16BE, platform::CodePage::Windows1252}};
    for (const auto& k : kinds) {
        SCOPED_TRACE("encoding " + std::to_string(k.encoding));
        std::string bytes = FileBytes(text, k.encoding);
        if (k.codePage == platform::CodePage::Utf8)
            bytes = platform::Utf16ToUtf8(text);
        testutil::Window w(bytes, 3, 80, k.encoding);
        w.wnd.SetCodePage(k.codePage);
        w.wnd.SetRegularExpression(true);
        // Offsets in code units: UTF-8 takes two bytes for each of these letters, three for the euro sign.
        const bool utf8 = k.codePage == platform::CodePage::Utf8;
        EXPECT_EQ(w.wnd.FindFirst(true, u"CAF\u00E9"), 0);
        EXPECT_EQ(w.wnd.GetHighlightStart(), w.At(utf8 ? 7 : 6));
        EXPECT_EQ(w.wnd.FindFirst(false, u"\u20AC\\d"), 0);
        EXPECT_EQ(w.wnd.GetHighlightEnd(), w.At(utf8 ? 28 : 19));
        // Windows-1252 has no Greek: the pattern's letters and the file's are both '?', as in the plain search.
        EXPECT_EQ(w.wnd.FindFirst(true, u"\u03A3\u039F\u03A6[^ ]+"), 0);
        EXPECT_EQ(w.wnd.GetHighlightStart(), w.At(utf8 ? 13 : 11));
        EXPECT_EQ(w.wnd.GetHighlightEnd(), w.At(utf8 ? 23 : 16));
        EXPECT_EQ(w.wnd.FindFirst(false, u"^.{5} "), 0) << "a dot is one character";
        EXPECT_EQ(w.wnd.GetHighlightEnd(), w.At(utf8 ? 7 : 6));
    }
}

}  // namespace
