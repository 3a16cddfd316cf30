// Block summaries of a log's records, against a model made from the lines as
// they were written: every block's times, slice counts and first lines, in
// narrow and UTF-16 text, with CR LF, with lines across block boundaries, and
// as the text grows, is cut or is replaced.
#include "engine/RecordSummaries.h"
#include "tests/core/TestUtil.h"

using logformat::BlockSummary;
using logformat::CRecordSummaries;

namespace {

struct Line {
    std::string text;
    bool record = false;
    std::int64_t micros = 0;
    int level = 0;
};

const char* const kWords[] = {"", "FATAL", "ERROR", "WARN", "INFO", "DEBUG", "TRACE"};

// `head` lines before the first record, then records (a continuation line
// after every fifth, a long one after every 97th); times rise by a few
// milliseconds and jump by a day halfway.
std::vector<Line> MakeLines(int head, int records, int seed)
{
    std::vector<Line> out;
    for (int i = 0; i < head; ++i)
        out.push_back({"starting " + std::to_string(i)});
    std::int64_t t = 1765100000000000 + seed;  // 2025-12-07
    for (int i = 0; i < records; ++i) {
        t += 1000 * ((i * 7 + seed) % 13) + (i == records / 2 ? 86400000000 : 0);
        const std::string stamp = testutil::IsoStampMicros(t);
        const int level = (i * 5 + seed) % 7;  // 0: no level word
        out.push_back({stamp + " " + kWords[level] + (level ? " " : "") + "[main] request " + std::to_string(i) +
                           std::string(static_cast<std::size_t>(i % 40), 'x'),
                       true, t, level});
        if (i % 5 == 4)
            out.push_back({"\tat com.example.Frame(Frame.java:" + std::to_string(i) + ")"});
        if (i % 97 == 3)
            out.push_back({"    " + std::string(70000, 'y')});  // crosses a block boundary
        if (i % 11 == 6)
            out.insert(out.end(), static_cast<std::size_t>(1 + i % 3), Line{});  // blank lines: runs of breaks
    }
    return out;
}

struct Text {
    std::string bytes;
    std::vector<std::int64_t> starts;
};

Text Encode(const std::vector<Line>& lines, unsigned unit, const std::string& eol, bool lastEol = true)
{
    Text t;
    for (std::size_t k = 0; k < lines.size(); ++k) {
        t.starts.push_back(static_cast<std::int64_t>(t.bytes.size()));
        const std::string s = lines[k].text + (k + 1 < lines.size() || lastEol ? eol : "");
        for (const char c : s) {
            t.bytes += c;
            if (unit == 2)
                t.bytes += '\0';
        }
    }
    return t;
}

// The summaries the lines must give, block by block.
std::vector<BlockSummary> Model(const std::vector<Line>& lines, const Text& t)
{
    std::vector<BlockSummary> blocks;
    bool seen = false;
    std::vector<std::vector<const Line*>> recs;
    for (std::size_t k = 0; k < lines.size(); ++k) {
        const auto b = static_cast<std::size_t>(t.starts[k] / CRecordSummaries::kBlock);
        blocks.resize(b + 1);
        recs.resize(b + 1);
        BlockSummary& s = blocks[b];
        const auto off = static_cast<std::uint32_t>(t.starts[k] % CRecordSummaries::kBlock);
        if (s.firstLine == BlockSummary::kNone)
            s.firstLine = off;
        if (lines[k].record) {
            if (s.firstRecord == BlockSummary::kNone)
                s.firstRecord = off;
            recs[b].push_back(&lines[k]);
            seen = true;
        } else if (!seen && s.untimed < 0xFFFF) {
            ++s.untimed;
        }
    }
    for (std::size_t b = 0; b < blocks.size(); ++b) {
        BlockSummary& s = blocks[b];
        if (recs[b].empty())
            continue;
        s.minMicros = s.maxMicros = recs[b][0]->micros;
        for (const Line* l : recs[b])
            s.minMicros = std::min(s.minMicros, l->micros), s.maxMicros = std::max(s.maxMicros, l->micros);
        for (const Line* l : recs[b])
            ++s.counts[(l->micros - s.minMicros) * logformat::kSlices / (s.maxMicros - s.minMicros + 1)][l->level];
    }
    return blocks;
}

void ExpectBlocks(const std::vector<BlockSummary>& want, const CRecordSummaries& got, const std::string& what)
{
    const auto state = got.GetState();
    ASSERT_EQ(state.blocks, want.size()) << what;
    const std::vector<BlockSummary> have = got.Blocks(0, state.blocks);
    for (std::size_t b = 0; b < want.size(); ++b) {
        const BlockSummary &w = want[b], &h = have[b];
        ASSERT_EQ(h.firstLine, w.firstLine) << what << " block " << b;
        ASSERT_EQ(h.firstRecord, w.firstRecord) << what << " block " << b;
        ASSERT_EQ(h.untimed, w.untimed) << what << " block " << b;
        ASSERT_EQ(h.minMicros, w.minMicros) << what << " block " << b;
        ASSERT_EQ(h.maxMicros, w.maxMicros) << what << " block " << b;
        ASSERT_EQ(h.Records(), w.Records()) << what << " block " << b;
        for (int s = 0; s < logformat::kSlices; ++s)
            for (int l = 0; l < logformat::kLevels; ++l)
                ASSERT_EQ(h.counts[s][l], w.counts[s][l]) << what << " block " << b << " slice " << s << " level " << l;
    }
}

enum class Change { None, Grow, Truncate, Replace, NoFormat };

struct Case {
    const char* name;
    unsigned unit;
    const char* eol;
    int head, records;
    Change change;
    bool pieces = false;  // the first pass in small pieces on the pool
};

const Case kCases[] = {
    {"narrow LF", 1, "\n", 3, 9000, Change::None},
    {"narrow CR LF, no head", 1, "\r\n", 0, 6000, Change::None},
    {"UTF-16 LE", 2, "\n", 2, 4000, Change::None},
    {"a head of 65536 blank lines saturates", 1, "\n", 0, 50, Change::None},
    {"growth in the middle of a stamp", 1, "\n", 1, 8000, Change::Grow},
    {"growth, UTF-16 CR LF", 2, "\r\n", 1, 3000, Change::Grow},
    {"truncation", 1, "\n", 1, 9000, Change::Truncate},
    {"replacement by another log", 1, "\n", 1, 5000, Change::Replace},
    {"no format", 1, "\n", 1, 500, Change::NoFormat},
    {"in pieces, narrow LF", 1, "\n", 3, 9000, Change::None, true},
    {"in pieces, CR LF, no head", 1, "\r\n", 0, 9000, Change::None, true},
    {"in pieces, UTF-16 LE CR LF", 2, "\r\n", 2, 5000, Change::None, true},
    {"in pieces, a head of 65536 blank lines", 1, "\n", 0, 3000, Change::None, true},
    {"in pieces, then growth", 1, "\n", 1, 9000, Change::Grow, true},
    {"in pieces, then truncation", 1, "\n", 1, 9000, Change::Truncate, true},
};

}  // namespace

TEST(RecordSummariesTest, BlocksMatchTheLinesWritten)
{
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.name);
        std::vector<Line> lines = MakeLines(c.head, c.records, 1);
        if (std::string(c.name).find("65536") != std::string::npos)
            lines.insert(lines.begin(), 65536, Line{});
        const BreakUnits units{c.unit, 0x0D, 0x0A};
        const Text full = Encode(lines, c.unit, c.eol);
        std::string bytes = full.bytes;
        auto reader = std::make_unique<testutil::StringReader>(&bytes);
        std::atomic<std::int64_t> progress{0};
        CRecordSummaries sums(std::move(reader), 0, units,
                              c.change == Change::NoFormat ? nullptr : testutil::IsoFormat(),
                              timeseek::StampContext{2026, 12}, {},
                              c.pieces ? engine::BlockSplit{0, 3 * CRecordSummaries::kBlock} : engine::BlockSplit{});
        sums.SetProgress(&progress);
        const auto size = [&] { return static_cast<std::int64_t>(bytes.size()); };

        if (c.change == Change::Grow) {
            // First up to the middle of a stamp, then the rest.
            const std::size_t mid = lines.size() / 2;
            bytes = full.bytes.substr(0, static_cast<std::size_t>(full.starts[mid]) + 9 * c.unit);
            sums.SetEnd(size(), true);
            sums.WaitForWorker();
            const auto state = sums.GetState();
            EXPECT_TRUE(state.complete);
            EXPECT_LT(state.done, state.blocks);  // the last block waits for its lines
            bytes = full.bytes;
        }
        if (c.change == Change::NoFormat) {
            sums.SetEnd(size(), true);
            sums.WaitForWorker();
            EXPECT_EQ(sums.GetState().blocks, 0u);
            continue;
        }
        sums.SetEnd(size(), true);
        sums.WaitForWorker();
        ExpectBlocks(Model(lines, full), sums, "whole");
        const auto state = sums.GetState();
        EXPECT_TRUE(state.complete);
        EXPECT_EQ(state.summarisedEnd, size());

        // Time ranges that follow one another share out every record once.
        std::uint64_t records = 0, untimed = 0;
        std::int64_t first = INT64_MAX, last = INT64_MIN;
        for (const Line& l : lines)
            if (l.record)
                ++records, first = std::min(first, l.micros), last = std::max(last, l.micros);
        for (const BlockSummary& b : Model(lines, full))
            untimed += b.untimed;
        const logformat::LevelCounts all = sums.CountsIn(first, last + 1);
        EXPECT_EQ(all.Total(), records);
        EXPECT_EQ(sums.UntimedLines(), untimed);
        for (const std::int64_t cut : {first + (last - first) / 3, first + (last - first) / 2 + 1}) {
            const auto a = sums.CountsIn(first, cut), b = sums.CountsIn(cut, last + 1);
            for (int l = 0; l < logformat::kLevels; ++l)
                EXPECT_EQ(a.n[l] + b.n[l], all.n[l]) << "level " << l;
            EXPECT_GT(a.Total(), 0u);
            EXPECT_GT(b.Total(), 0u);
        }

        if (c.change == Change::Truncate) {
            const std::vector<Line> kept(lines.begin(),
                                         lines.begin() + static_cast<std::ptrdiff_t>(lines.size() * 2 / 3));
            // Cut in the middle of the line after the kept ones.
            const Text cutText = Encode(kept, c.unit, c.eol);
            bytes.resize(cutText.bytes.size() + 12);
            const std::int64_t before = progress;
            sums.SetEnd(size(), true);
            sums.WaitForWorker();
            EXPECT_LT(progress - before, size() / 4);  // only what the cut changed is read again
            std::vector<Line> model = kept;
            model.push_back({bytes.substr(cutText.bytes.size())});  // a stamp's first 12 characters are no stamp
            ExpectBlocks(Model(model, Encode(model, c.unit, c.eol, false)), sums, "truncated");
        }
        if (c.change == Change::Replace) {
            const std::vector<Line> other = MakeLines(0, c.records, 5);
            bytes = Encode(other, c.unit, c.eol).bytes;
            sums.SetEnd(size(), true);
            sums.WaitForWorker();
            ExpectBlocks(Model(other, Encode(other, c.unit, c.eol)), sums, "replaced");
        }
    }
}
