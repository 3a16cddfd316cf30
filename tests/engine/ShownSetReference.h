// The shown set's plain reference: every line matched on its own (plain text
// by the reference search, regular expressions by std::regex), records grouped
// and decided line by line, context marked around them.
#pragma once

#include "engine/FilterStack.h"
#include "engine/LogFormat.h"
#include "tests/engine/TextForms.h"

namespace shownref {

using logformat::Level;
using namespace shownset;
using namespace textforms;

struct RefLine {
    std::int64_t start, end;
    std::uint64_t hits = 0;
    bool starts = true, passes = true;
    int kind = 0;  // 0 hidden, 1 a shown record's, 2 context
};

// A record's level and time against the stack, written out by severity rather than by the enum's order.
inline bool RefPasses(const FilterStack& st, std::int64_t micros, Level level)
{
    auto severity = [](Level l) {
        switch (l) {
        case Level::Fatal: return 6;
        case Level::Error: return 5;
        case Level::Warn: return 4;
        case Level::Info: return 3;
        case Level::Debug: return 2;
        case Level::Trace: return 1;
        case Level::None: break;
        }
        return 0;
    };
    const bool levelOk = st.lowest == Level::None || level == Level::None || severity(level) >= severity(st.lowest);
    const bool timeOk = (!st.hasFrom || micros >= st.fromMicros) && (!st.hasTo || micros <= st.toMicros);
    return levelOk && timeOk;
}

inline std::vector<RefLine> Reference(const std::string& bytes, const Form& f, const FilterStack& st,
                                      const logformat::CFormat* format)
{
    const auto* v = reinterpret_cast<const std::uint8_t*>(bytes.data());
    const std::int64_t u = EncodingUnitSize(f.encoding);
    const std::int64_t end = f.markBytes + (static_cast<std::int64_t>(bytes.size()) - f.markBytes) / u * u;
    const auto found = ReferenceLines(bytes, f);
    std::vector<RefLine> lines;
    for (std::size_t k = 0; k < found.size(); ++k) {
        const auto [s, e] = found[k];
        const std::string ascii = AsciiLine(bytes, s, e, f);
        RefLine line{s, k + 1 < found.size() ? found[k + 1].first : end};
        for (std::size_t r = 0; r < st.rules.size(); ++r) {
            const FilterRule& rule = st.rules[r];
            const bool hit = rule.regex ? RegexHit(ascii, rule.text, !rule.caseSensitive)
                                        : searchref::Search(v, s, e, f.encoding, !rule.caseSensitive, rule.text, s, e,
                                                            true, f.codePage) >= 0;
            if (rule.on && hit)
                line.hits |= std::uint64_t{1} << r;
        }
        logformat::LineRead read;
        if (format) {
            line.starts = format->Read(ascii, {2024, 5}, read);
            line.passes = line.starts && RefPasses(st, read.micros, read.level);
        }
        lines.push_back(line);
    }
    std::uint64_t inc = 0, exc = 0;
    for (std::size_t r = 0; r < st.rules.size(); ++r)
        if (st.rules[r].on)
            (st.rules[r].kind == RuleKind::Include ? inc : exc) |= std::uint64_t{1} << r;
    const int n = static_cast<int>(lines.size());
    for (int i = 0; i < n;) {
        int j = i + 1;
        std::uint64_t hits = lines[i].hits;
        for (; j < n && !lines[j].starts; ++j)
            hits |= lines[j].hits;
        const bool included = st.combine == Combine::All ? (hits & inc) == inc : inc == 0 || (hits & inc) != 0;
        if ((!lines[i].starts || lines[i].passes) && included && !(hits & exc))
            for (int k = i; k < j; ++k)
                lines[k].kind = 1;
        i = j;
    }
    for (int i = 0; i < n; ++i)
        if (lines[i].kind == 1)
            for (int k = std::max(0, i - st.context); k <= std::min(n - 1, i + st.context); ++k)
                if (lines[k].kind == 0)
                    lines[k].kind = 2;
    return lines;
}

}  // namespace shownref
