// The shown set against a plain reference: every line matched on its own
// (plain text by the reference search, regular expressions by std::regex),
// records grouped and decided line by line, context marked around them, and
// paging answered by walking the list of shown lines; over random logs with
// random stacks in every encoding, read in chunks of many sizes, growing and
// truncated.
#include "engine/ShownSet.h"
#include "engine/TimeSeek.h"
#include "tests/engine/ShownSetReference.h"

#include <gtest/gtest.h>

#include <condition_variable>
#include <random>

namespace {

using namespace shownset;
using logformat::Level;
using platform::CodePage;
using testutil::IsoFormat;
using testutil::StringReader;
using namespace textforms;
using namespace shownref;

// Records of a few lines: a stamped first line with a level, continuations indented.
std::string RandomLog(std::mt19937& rng, const Form& f, int lines)
{
    static const char16_t* kWords[] = {u"alpha", u"Beta", u"timeout", u"health", u"\u00E9t\u00E9", u"x1", u"TIMEOUT"};
    static const char16_t* kLevels[] = {u"FATAL", u"ERROR", u"WARN", u"INFO", u"DEBUG", u"TRACE"};
    static const char16_t* kBreaks[] = {u"\n", u"\r\n", u"\r", u"\n"};
    std::u16string text;
    for (int i = 0; i < lines; ++i) {
        if (rng() % 10 < 7) {
            const unsigned m = rng() % 10, s = rng() % 60;
            text += u"2024-05-01 12:0" + std::u16string(1, static_cast<char16_t>(u'0' + m)) + u":" +
                    std::u16string(1, static_cast<char16_t>(u'0' + s / 10)) +
                    std::u16string(1, static_cast<char16_t>(u'0' + s % 10)) + u".000 " + kLevels[rng() % 6];
        } else {
            text += u"  at";
        }
        for (unsigned w = rng() % 4; w > 0; --w)
            text += std::u16string(u" ") + kWords[rng() % 7];
        if (i + 1 < lines || rng() % 2)
            text += kBreaks[rng() % 4];
    }
    return Encode(text, f);
}

std::vector<ShownRun> RunsOf(const std::vector<RefLine>& lines)
{
    std::vector<ShownRun> runs;
    for (const RefLine& l : lines) {
        if (l.kind == 0)
            continue;
        if (!runs.empty() && runs.back().end == l.start && runs.back().context == (l.kind == 2))
            runs.back().end = l.end;
        else
            runs.push_back({l.start, l.end, l.kind == 2});
    }
    return runs;
}

// The set against the reference: its runs, counts and every paging answer at every line start.
void ExpectSame(const CShownSet& set, const std::vector<RefLine>& ref, const FilterStack& st, const std::string& what)
{
    ASSERT_EQ(set.Runs(0, 1 << 30), RunsOf(ref)) << what;
    const ShownStatus s = set.Status();
    EXPECT_EQ(s.totalLines, std::ssize(ref)) << what;
    EXPECT_EQ(s.shownLines, std::count_if(ref.begin(), ref.end(), [](const RefLine& l) { return l.kind; })) << what;
    for (std::size_t r = 0; r < st.rules.size(); ++r)
        EXPECT_EQ(s.ruleCounts[r],
                  std::count_if(ref.begin(), ref.end(), [&](const RefLine& l) { return (l.hits >> r) & 1; }))
            << what << " rule " << r;
    std::int64_t bytes = 0;
    for (std::size_t i = 0; i < ref.size(); ++i) {
        const RefLine& l = ref[i];
        const auto next = std::find_if(ref.begin() + static_cast<std::ptrdiff_t>(i), ref.end(),
                                       [](const RefLine& x) { return x.kind; });
        const auto prev = std::find_if(ref.rbegin() + static_cast<std::ptrdiff_t>(ref.size() - i), ref.rend(),
                                       [](const RefLine& x) { return x.kind; });
        EXPECT_EQ(set.ShownAtOrAfter(l.start), next == ref.end() ? -1 : next->start) << what << " line " << i;
        EXPECT_EQ(set.ShownEndBefore(l.start), prev == ref.rend() ? -1 : prev->end) << what << " line " << i;
        EXPECT_EQ(set.IsShown(l.start), l.kind != 0) << what << " line " << i;
        EXPECT_EQ(set.IsContext(l.start), l.kind == 2) << what << " line " << i;
        EXPECT_EQ(set.ShownBytesBefore(l.start), bytes) << what << " line " << i;
        if (l.kind) {
            EXPECT_EQ(set.FollowsHidden(l.start), i > 0 && ref[i - 1].kind == 0) << what << " line " << i;
            EXPECT_EQ(set.PosAfterShownBytes(bytes), l.start) << what << " line " << i;
        }
        bytes += l.kind ? l.end - l.start : 0;
    }
    EXPECT_EQ(set.ShownBytes(), bytes) << what;
}

FilterStack RandomStack(std::mt19937& rng)
{
    static const FilterRule kRules[] = {
        {true, RuleKind::Include, u"timeout", false, false},
        {true, RuleKind::Include, u"Beta", false, true},
        {true, RuleKind::Include, u"\u00C9T\u00C9", false, false},
        {true, RuleKind::Include, u"time(out)?", true, false},
        {true, RuleKind::Include, u"^2024.*WARN", true, true},
        {true, RuleKind::Include, u"x\\d", true, false},
        {true, RuleKind::Include, u"health", false, false},
        {true, RuleKind::Include, u"a.p", true, false},
    };
    static const Level kLowest[] = {Level::None, Level::None, Level::Fatal, Level::Error,
                                    Level::Warn, Level::Info, Level::Debug};
    FilterStack st;
    for (unsigned n = rng() % 4; n > 0; --n) {
        FilterRule r = kRules[rng() % 8];
        r.on = rng() % 5 != 0;
        r.kind = rng() % 3 ? RuleKind::Include : RuleKind::Exclude;
        r.caseSensitive = rng() % 2;
        st.rules.push_back(r);
    }
    st.combine = rng() % 2 ? Combine::All : Combine::Any;
    st.lowest = kLowest[rng() % 7];
    st.hasFrom = rng() % 3 == 0;
    st.hasTo = rng() % 3 == 0;
    timeseek::ParseUserTime("2024-05-01 12:0" + std::to_string(rng() % 5), st.fromMicros);
    timeseek::ParseUserTime("2024-05-01 12:0" + std::to_string(5 + rng() % 5), st.toMicros);
    st.context = rng() % 4 ? static_cast<int>(rng() % 3) : 9;
    return st;
}

// Each rule kind and condition, taken away: the random stacks must give other results without it.
std::vector<std::pair<const char*, void (*)(FilterStack&)>> Mutants()
{
    return {
        {"include",
         [](FilterStack& s) { std::erase_if(s.rules, [](auto& r) { return r.kind == RuleKind::Include; }); }},
        {"exclude",
         [](FilterStack& s) { std::erase_if(s.rules, [](auto& r) { return r.kind == RuleKind::Exclude; }); }},
        {"on",
         [](FilterStack& s) {
             for (FilterRule& r : s.rules)
                 r.on = true;
         }},
        {"combine", [](FilterStack& s) { s.combine = s.combine == Combine::All ? Combine::Any : Combine::All; }},
        {"case",
         [](FilterStack& s) {
             for (FilterRule& r : s.rules)
                 r.caseSensitive = !r.caseSensitive;
         }},
        {"regex",
         [](FilterStack& s) {
             for (FilterRule& r : s.rules)
                 r.regex = false;
         }},
        {"level", [](FilterStack& s) { s.lowest = Level::None; }},
        {"from", [](FilterStack& s) { s.hasFrom = false; }},
        {"to", [](FilterStack& s) { s.hasTo = false; }},
        {"context", [](FilterStack& s) { s.context = 0; }},
    };
}

TEST(ShownSet, RunsCountsAndPagingMatchThePlainReferenceOnRandomLogs)
{
    std::mt19937 rng(3434);
    std::vector<int> mattered(Mutants().size(), 0);
    const struct {
        std::size_t chunk;
        std::int64_t block;
    } reads[] = {{16, 0}, {64, 24}, {8, 100}, {std::size_t{1} << 20, 0}};
    for (int iter = 0; iter < 60; ++iter) {
        const Form& f = kForms[iter % 4];
        const std::string bytes = RandomLog(rng, f, 1 + static_cast<int>(rng() % 40));
        const FilterStack st = RandomStack(rng);
        const logformat::CFormat* format = iter % 5 == 4 ? nullptr : IsoFormat();
        const std::vector<RefLine> ref = Reference(bytes, f, st, format);
        for (std::size_t m = 0; m < Mutants().size(); ++m) {
            FilterStack mutant = st;
            Mutants()[m].second(mutant);
            mattered[m] += RunsOf(Reference(bytes, f, mutant, format)) != RunsOf(ref);
        }
        for (const auto [chunk, block] : reads) {
            CShownSet set(chunk, block > 0 ? engine::BlockSplit{0, block} : engine::BlockSplit{});
            set.Start(std::make_unique<StringReader>(&bytes), {f.encoding, f.codePage}, st, format, {2024, 5},
                      f.markBytes, static_cast<std::int64_t>(bytes.size()));
            set.WaitIdle();
            ExpectSame(set, ref, st, "iteration " + std::to_string(iter) + " chunk " + std::to_string(chunk));
        }
    }
    for (std::size_t m = 0; m < Mutants().size(); ++m)
        EXPECT_GT(mattered[m], 2) << Mutants()[m].first;
}

TEST(ShownSet, GrowthAndTruncationGiveWhatAFreshScanOfTheTextGives)
{
    std::mt19937 rng(77);
    for (int iter = 0; iter < 24; ++iter) {
        const Form& f = kForms[iter % 4];
        const std::string full = RandomLog(rng, f, 2 + static_cast<int>(rng() % 30));
        const FilterStack st = RandomStack(rng);
        const std::size_t u = static_cast<std::size_t>(EncodingUnitSize(f.encoding));
        const std::size_t body = (full.size() - static_cast<std::size_t>(f.markBytes)) / u;
        std::string bytes = full.substr(0, static_cast<std::size_t>(f.markBytes) + rng() % (body + 1) * u);
        CShownSet set(16);
        set.Start(std::make_unique<StringReader>(&bytes), {f.encoding, f.codePage}, st, IsoFormat(), {2024, 5},
                  f.markBytes, static_cast<std::int64_t>(bytes.size()));
        set.WaitIdle();
        while (bytes.size() < full.size()) {
            bytes = full.substr(0, std::min(full.size(), bytes.size() + (1 + rng() % 30) * u));
            set.Grow(static_cast<std::int64_t>(bytes.size()));
            set.WaitIdle();
            ExpectSame(set, Reference(bytes, f, st, IsoFormat()), st, "grown, iteration " + std::to_string(iter));
        }
        bytes.resize(static_cast<std::size_t>(f.markBytes) + rng() % (body + 1) * u);
        set.Rebuild(static_cast<std::int64_t>(bytes.size()));
        set.WaitIdle();
        ExpectSame(set, Reference(bytes, f, st, IsoFormat()), st, "truncated, iteration " + std::to_string(iter));
    }
}

// Reads by any thread but the one that made it wait at a gate: the worker
// stays where it is while the owner scans ahead.
class GatedReader : public IChunkReader {
public:
    explicit GatedReader(const std::string* bytes) : m_inner(bytes), m_owner(std::this_thread::get_id()) {}
    std::uint64_t Read(std::uint8_t* buffer, std::uint64_t n, std::int64_t offset) override
    {
        if (std::this_thread::get_id() != m_owner) {
            std::unique_lock<std::mutex> lock(m_mutex);
            m_cv.wait(lock, [&] { return m_open; });
        }
        return m_inner.Read(buffer, n, offset);
    }
    void Open()
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_open = true;
        m_cv.notify_all();
    }

private:
    StringReader m_inner;
    std::thread::id m_owner;
    std::mutex m_mutex;
    std::condition_variable m_cv;
    bool m_open = false;
};

TEST(ShownSet, ScanningAheadDecidesWhatTheWorkerHasNotReached)
{
    std::mt19937 rng(5);
    for (int iter = 0; iter < 16; ++iter) {
        const Form& f = kForms[iter % 4];
        const std::string bytes = RandomLog(rng, f, 10 + static_cast<int>(rng() % 30));
        const FilterStack st = RandomStack(rng);
        const std::vector<RefLine> ref = Reference(bytes, f, st, IsoFormat());
        auto gated = std::make_unique<GatedReader>(&bytes);
        GatedReader* gate = gated.get();
        CShownSet set(32);
        set.Start(std::move(gated), {f.encoding, f.codePage}, st, IsoFormat(), {2024, 5}, f.markBytes,
                  static_cast<std::int64_t>(bytes.size()));
        const std::int64_t most = iter % 2 ? 1 << 20 : 40 + static_cast<std::int64_t>(rng() % 100);
        const AheadRuns ahead = set.ScanAhead(f.markBytes, most);
        gate->Open();
        if (most > static_cast<std::int64_t>(bytes.size())) {
            EXPECT_EQ(ahead.reached, static_cast<std::int64_t>(bytes.size()) / EncodingUnitSize(f.encoding) *
                                         EncodingUnitSize(f.encoding));
        }
        // Every line before the point reached is shown as the reference shows it.
        for (const RefLine& l : ref) {
            if (l.start >= ahead.reached)
                break;
            const auto run = std::find_if(ahead.runs.begin(), ahead.runs.end(),
                                          [&](const ShownRun& r) { return r.start <= l.start && l.start < r.end; });
            EXPECT_EQ(run == ahead.runs.end() ? 0 : run->context ? 2 : 1, l.kind) << "iteration " << iter;
        }
        set.WaitIdle();
        ExpectSame(set, ref, st, "after the gate, iteration " + std::to_string(iter));
    }
}

TEST(ShownSet, AnInvalidPatternIsReportedOnItsRuleWhileTheRestApplies)
{
    const std::string bytes = "a timeout\nb\nc timeout\n";
    FilterStack st;
    st.rules = {{true, RuleKind::Include, u"(", true, false}, {true, RuleKind::Include, u"timeout", false, false}};
    CShownSet set;
    set.Start(std::make_unique<StringReader>(&bytes), {EncodingAnsi, CodePage::Windows1252}, st, nullptr, {}, 0,
              static_cast<std::int64_t>(bytes.size()));
    set.WaitIdle();
    const ShownStatus s = set.Status();
    EXPECT_NE(s.ruleErrors[0].find("missing )"), std::string::npos) << s.ruleErrors[0];
    EXPECT_TRUE(s.ruleErrors[1].empty());
    EXPECT_EQ(set.Runs(0, 10), (std::vector<ShownRun>{{0, 10, false}, {12, 22, false}}));
    EXPECT_EQ(s.shownLines, 2);
    EXPECT_EQ(s.totalLines, 3);
}

}  // namespace
