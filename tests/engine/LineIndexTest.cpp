// The line index against a plain count of the same text: numbers, starts and
// totals in every encoding and every pairing, over a growing and a truncated file.
#include "engine/CodeUnits.h"
#include "engine/LineIndex.h"
#include "tests/core/TestUtil.h"

#include <cstring>
#include <random>

namespace {

using testutil::StringReader;

using testutil::TempDir;

struct Layout {
    const char* name;
    BreakUnits units;
    bool bigEndian;
};
const Layout kLayouts[] = {
    {"narrow", {1, 0x0D, 0x0A}, false},
    {"utf16le", {2, 0x0D, 0x0A}, false},
    {"utf16be", {2, 0x0D00, 0x0A00}, true},
};

// Units 'a', CR, LF or NUL, with runs of alternating breaks among them; a CR
// kept only once in `crOneIn` (long stretches without one read another way).
std::u16string RandomUnits(std::mt19937& rng, std::size_t n, int breakPercent, unsigned crOneIn = 1)
{
    static const char16_t kBreaks[] = {u'\r', u'\n'};
    std::u16string s;
    while (s.size() < n) {
        const int r = static_cast<int>(rng() % 100);
        if (r < 3) {
            for (std::size_t k = rng() % 9; k > 0; --k)
                s += kBreaks[(k + rng() % 2 * (k == 1)) % 2];
        } else if (r < 3 + breakPercent) {
            s += kBreaks[rng() % 2];
        } else {
            s += rng() % 50 ? u'a' : u'\0';
        }
    }
    s.resize(n);
    for (char16_t& c : s)
        if (c == u'\r' && rng() % crOneIn)
            c = u'\n';
    return s;
}

// `count` copies of `line`, the one at `odd` (when given) replaced by `other`.
std::u16string Lines(int count, std::u16string_view line, int odd = -1, std::u16string_view other = {})
{
    std::u16string t;
    for (int i = 0; i < count; ++i)
        t += i == odd ? other : line;
    return t;
}

std::string Encode(const std::u16string& units, const Layout& l)
{
    return l.units.unit == 1 ? std::string(units.begin(), units.end()) : testutil::Utf16(units, l.bigEndian);
}

// The plain count: where each break ends, pairs formed from the left.
std::vector<std::int64_t> BreakEnds(const std::u16string& s)
{
    std::vector<std::int64_t> ends;
    for (std::size_t i = 0; i < s.size();) {
        const bool brk = s[i] == u'\r' || s[i] == u'\n';
        if (!brk) {
            ++i;
            continue;
        }
        const bool pair = i + 1 < s.size() && (s[i + 1] == u'\r' || s[i + 1] == u'\n') && s[i + 1] != s[i];
        i += pair ? 2 : 1;
        ends.push_back(static_cast<std::int64_t>(i));
    }
    return ends;
}

std::int64_t PlainLineOf(const std::vector<std::int64_t>& ends, std::int64_t unitPos)
{
    return 1 + (std::upper_bound(ends.begin(), ends.end(), unitPos) - ends.begin());
}

std::int64_t PlainCount(const std::vector<std::int64_t>& ends, std::int64_t units)
{
    if (units == 0)
        return 0;
    return static_cast<std::int64_t>(ends.size()) + (!ends.empty() && ends.back() == units ? 0 : 1);
}

// Compares every answer of the index with the plain count; `start` is the
// length of a byte-order mark before the text.
void ExpectAgrees(CLineIndex& index, const std::u16string& units, const Layout& l, std::int64_t start,
                  std::mt19937& rng)
{
    const auto ends = BreakEnds(units);
    const std::int64_t u = l.units.unit;
    const std::int64_t count = PlainCount(ends, static_cast<std::int64_t>(units.size()));
    ASSERT_EQ(index.LineCount(), count) << l.name;
    std::vector<std::int64_t> probes;
    for (int k = 0; k < 300; ++k)
        probes.push_back(static_cast<std::int64_t>(rng() % (units.size() + 1)));
    std::sort(probes.begin(), probes.end());
    std::vector<std::int64_t> bytes;
    for (const auto p : probes)
        bytes.push_back(start + p * u);
    const auto got = index.LineNumbersAt(bytes);
    for (std::size_t k = 0; k < probes.size(); ++k)
        ASSERT_EQ(got[k], PlainLineOf(ends, probes[k])) << l.name << " unit " << probes[k];
    for (int k = 0; k < 100 && count > 0; ++k) {
        const std::int64_t n = 1 + static_cast<std::int64_t>(rng() % static_cast<std::uint64_t>(count));
        const std::int64_t want = n == 1 ? 0 : ends[static_cast<std::size_t>(n - 2)];
        ASSERT_EQ(index.LineStart(n), start + want * u) << l.name << " line " << n;
    }
    EXPECT_EQ(index.LineStart(count + 1), -1);
    EXPECT_EQ(index.LineStart(0), -1);
}

}  // namespace

TEST(LineIndex, AgreesWithAPlainCountInEveryEncoding)
{
    std::mt19937 rng(25);
    // Past a few stretches, the worker counts each in two halves cut where nothing pairs across.
    const std::size_t sizes[] = {0, 1, 2, 63, 64, 65, 129, 5000, 70000, 300000, 1000000, 3000001};
    for (const Layout& l : kLayouts) {
        for (const std::size_t n : sizes) {
            for (const int breakPercent : {1, 20, 60}) {
                const std::u16string units = RandomUnits(rng, n, breakPercent, 1 + breakPercent * 700);
                const std::string bytes = "\xEF\xBB" + Encode(units, l);
                CLineIndex index(std::make_unique<StringReader>(&bytes), 2, l.units);
                index.SetEnd(static_cast<std::int64_t>(bytes.size()), true);
                if (n % 2)
                    index.WaitForWorker();  // else the UI thread counts, racing the worker
                ExpectAgrees(index, units, l, 2, rng);
                if (::testing::Test::HasFatalFailure())
                    return;
            }
        }
    }
}

TEST(LineIndex, UnknownBeyondTheCountedPartAndExactBefore)
{
    std::mt19937 rng(7);
    const std::u16string units = RandomUnits(rng, 3 * CLineIndex::kChunk, 10);
    const std::string bytes = Encode(units, kLayouts[0]);
    CLineIndex index(std::make_unique<StringReader>(&bytes), 0, kLayouts[0].units);
    index.SetEnd(static_cast<std::int64_t>(bytes.size()), false);
    EXPECT_EQ(index.LineNumberAt(0), 1);
    EXPECT_EQ(index.LineNumberAt(10), -1);
    index.CountUpTo(CLineIndex::kChunk + 5);
    const auto ends = BreakEnds(units);
    EXPECT_EQ(index.LineNumberAt(CLineIndex::kChunk), PlainLineOf(ends, CLineIndex::kChunk));
    EXPECT_EQ(index.LineNumberAt(2 * CLineIndex::kChunk), -1);
    EXPECT_FALSE(index.IsComplete());
    // Go to a line far beyond the counted part counts up to it.
    const std::int64_t far = static_cast<std::int64_t>(ends.size()) - 3;
    EXPECT_EQ(index.LineStart(far), ends[static_cast<std::size_t>(far - 2)]);
    EXPECT_LE(index.IndexBytes(), static_cast<std::size_t>(bytes.size() / 1024));
}

// The file itself: it grows while counted, then is cut and written anew.
TEST(LineIndex, FollowsAGrowingFileAndStartsAgainWhenItIsReplaced)
{
    TempDir dir;
    std::mt19937 rng(11);
    for (const Layout& l : kLayouts) {
        std::u16string units = RandomUnits(rng, 200000, 15);
        const std::string path = dir.Write("log", Encode(units, l));
        const platform::FileHandle fd = platform::OpenReadShared(path);
        {
            CLineIndex index(std::make_unique<CPreadChunkReader>(fd), 0, l.units);
            index.SetEnd(static_cast<std::int64_t>(units.size()) * l.units.unit, true);
            for (int step = 0; step < 3; ++step) {
                const std::u16string more = RandomUnits(rng, 1 + rng() % 90000, 15);
                dir.Append("log", Encode(more, l));
                units += more;
                index.SetEnd(static_cast<std::int64_t>(units.size()) * l.units.unit, step % 2 == 0);
                index.WaitForWorker();
                ExpectAgrees(index, units, l, 0, rng);
            }
            // Replaced: shorter, then longer than the counted part with other bytes.
            for (const std::size_t n : {std::size_t{1000}, std::size_t{600000}}) {
                index.WaitForWorker();
                units = RandomUnits(rng, n, 30);
                dir.Write("log", Encode(units, l));
                index.SetEnd(static_cast<std::int64_t>(units.size()) * l.units.unit, true);
                ExpectAgrees(index, units, l, 0, rng);
            }
        }
        platform::CloseFile(fd);
        if (::testing::Test::HasFatalFailure())
            return;
    }
}

// The counter over every instruction set, fed in pieces of many sizes, against
// the plain count and a counter stepped unit by unit: pairs and runs of
// alternating breaks that straddle the 64-unit blocks and the pieces.
TEST(LineIndex, BreakCounterAgreesOnEveryInstructionSetAndPieceSize)
{
    const struct {
        const char* name;
        std::u16string units;
    } texts[] = {
        {"pair across a block", std::u16string(63, u'a') + u"\r\n" + std::u16string(70, u'a')},
        {"LF CR across a block", std::u16string(63, u'a') + u"\n\r" + std::u16string(70, u'a')},
        {"alternating run across a block", std::u16string(60, u'a') + u"\r\n\r\n\r\n\r\n\r" + std::u16string(60, u'b')},
        {"CR CR LF LF at the end of a block", std::u16string(62, u'a') + u"\r\r\n\n" + std::u16string(64, u'a')},
        {"break as the last unit of a block", std::u16string(63, u'a') + u"\r" + std::u16string(63, u'a') + u"\n"},
        {"NUL beside breaks",
         std::u16string(61, u'a') + std::u16string(u"\r\0\n\0\r\n", 6) + std::u16string(66, u'\0')},
        {"every unit a CR", std::u16string(200, u'\r')},
        // Pairs and runs across every eighth unit: a vector's lanes put back in order.
        {"pairs across lanes",
         u"aaaaaaa\r\naaaaa\n\r\r\naaaaaa\r\n\r\naaaaaaaaaaaaaaa\n\r\n" + std::u16string(40, u'a')},
        // Long stretches without a CR, counted in vector lanes that are summed before they overflow.
        {"every unit an LF", std::u16string(20000, u'\n')},
        {"LF lines", Lines(3000, u"abcdef\n")},
        {"CRLF lines", Lines(3000, u"abcdef\r\n")},
        {"a long line, then CRLF lines", std::u16string(10000, u'a') + Lines(2000, u"abcdef\r\n")},
        {"one LF alone deep among CRLF lines", Lines(3000, u"abcdef\r\n", 1700, u"abc\nde\r\n")},
        // Pieces of 65: the first ends with an LF that pairs with the CR the second begins with.
        {"LF then CR LF ... CR across pieces",
         std::u16string(64, u'a') + u"\n" + Lines(32, u"\r\n") + u"\r" + std::u16string(70, u'a')},
        // A CR alone is a break of its own.
        {"one CR deep among LF lines", Lines(3000, u"abcdef\n", 1700, u"abc\rde\n")},
    };
    const searchkernels::Isa isas[] = {searchkernels::Isa::Scalar, searchkernels::Isa::Sse2, searchkernels::Isa::Avx2};
    for (const Layout& l : kLayouts) {
        for (const auto& t : texts) {
            const std::string bytes = Encode(t.units, l);
            const auto* p = reinterpret_cast<const std::uint8_t*>(bytes.data());
            CBreakCounter stepped(l.units);
            for (std::size_t i = 0; i < bytes.size(); i += l.units.unit)
                stepped.Step(l.units.unit == 1 ? p[i] : codeunits::Load16(p + i));
            ASSERT_EQ(stepped.State().breaks, static_cast<std::int64_t>(BreakEnds(t.units).size())) << t.name;
            for (const searchkernels::Isa isa : isas) {
                if (!searchkernels::IsaAvailable(isa))
                    continue;
                for (const std::size_t piece : {std::size_t{1}, std::size_t{63}, std::size_t{64}, std::size_t{65},
                                                std::size_t{130}, std::size_t{9000}, bytes.size()}) {
                    CBreakCounter counter(l.units, {}, isa);
                    const std::size_t step = std::max<std::size_t>(piece / l.units.unit, 1) * l.units.unit;
                    for (std::size_t at = 0; at < bytes.size(); at += step)
                        counter.Feed(p + at, std::min(step, bytes.size() - at));
                    EXPECT_EQ(counter.State().breaks, stepped.State().breaks)
                        << l.name << ", " << t.name << ", " << searchkernels::IsaName(isa) << ", pieces of " << piece;
                    EXPECT_EQ(counter.State().pending, stepped.State().pending)
                        << l.name << ", " << t.name << ", " << searchkernels::IsaName(isa) << ", pieces of " << piece;
                }
            }
        }
    }
}

// The worker reads a stretch in several reads: pairs cut at those reads and
// at the stretches are counted once, and the bytes kept to tell a changed
// file span the last two reads of a stretch.
TEST(LineIndex, PairsAcrossReadsAndTheBytesThatTellAChangedFile)
{
    const std::int64_t cuts[] = {CLineIndex::kRead, 2 * CLineIndex::kRead, CLineIndex::kChunk,
                                 CLineIndex::kChunk + CLineIndex::kRead};
    for (const Layout& l : kLayouts) {
        const std::size_t units = static_cast<std::size_t>(CLineIndex::kChunk + CLineIndex::kRead) + 10;
        std::u16string text(units, u'a');
        for (const std::int64_t cut : cuts) {
            const auto at = static_cast<std::size_t>(cut / l.units.unit);
            text[at - 1] = u'\r';  // a pair whose LF begins the next read
            text[at] = u'\n';
            text[at + 7] = u'\0';
        }
        std::string bytes = Encode(text, l);
        const auto size = static_cast<std::int64_t>(bytes.size());
        CLineIndex index(std::make_unique<StringReader>(&bytes), 0, l.units);
        index.SetEnd(size, true);
        index.WaitForWorker();
        std::mt19937 rng(7);
        ExpectAgrees(index, text, l, 0, rng);
        if (::testing::Test::HasFatalFailure())
            return;
        // The last read of the last stretch is 10 units: the kept bytes reach into the one before.
        const struct {
            std::int64_t fromEnd;
            bool restarts;
        } changes[] = {{1, true}, {64, true}, {65, false}};
        for (const auto& c : changes) {
            std::string live = bytes;
            CLineIndex again(std::make_unique<StringReader>(&live), 0, l.units);
            again.SetEnd(size, true);
            again.WaitForWorker();
            ASSERT_EQ(again.CountedEnd(), size);
            live[static_cast<std::size_t>(size - c.fromEnd)] ^= 0x20;
            again.SetEnd(size, false);
            EXPECT_EQ(again.CountedEnd() == 0, c.restarts) << l.name << ", byte " << c.fromEnd << " from the end";
        }
    }
}
