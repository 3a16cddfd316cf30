#include "engine/HighlightRules.h"

#include "engine/LogFormat.h"

#include <re2/re2.h>
#include <re2/set.h>

#include <algorithm>
#include <initializer_list>

using logformat::Level;
using platform::COLORREF;
using platform::Rgb;

namespace {

COLORREF Halfway(COLORREF a, COLORREF b)
{
    return Rgb((platform::RedOf(a) + platform::RedOf(b)) / 2, (platform::GreenOf(a) + platform::GreenOf(b)) / 2,
               (platform::BlueOf(a) + platform::BlueOf(b)) / 2);
}

// A literal pattern, or a regular one, in the syntax both the rule and the combined set understand.
std::string SetPattern(const HighlightRule& r)
{
    const std::string body = r.regex ? r.pattern : re2::RE2::QuoteMeta(r.pattern);
    return r.caseSensitive ? body : "(?i:" + body + ")";
}

}  // namespace

COLORREF RuleColor::Resolve(COLORREF textColor, COLORREF page, COLORREF unchanged) const
{
    switch (kind) {
    case Fixed: return dark;
    case ByPage: return IsDarkPage(page) ? dark : light;
    case Halfway: return ::Halfway(textColor, page);
    default: return unchanged;
    }
}

bool IsDarkPage(COLORREF page)
{
    const unsigned luma = 299 * platform::RedOf(page) + 587 * platform::GreenOf(page) + 114 * platform::BlueOf(page);
    return luma < 128 * 1000;
}

std::vector<HighlightRule> LogLevelRules()
{
    auto rule = [](const char* name, const char* pattern, RuleColor text, std::initializer_list<Level> levels) {
        HighlightRule r;
        r.name = name;
        r.pattern = pattern;
        r.regex = true;
        r.caseSensitive = true;
        r.text = text;
        for (const Level l : levels)
            r.levels = static_cast<std::uint8_t>(r.levels | 1u << static_cast<unsigned>(l));
        return r;
    };
    return {
        rule("Errors", R"(\b(FATAL|CRITICAL|CRIT|ERROR|ERR)\b)",
             {RuleColor::ByPage, Rgb(0xe0, 0x44, 0x3a), Rgb(0xc0, 0x28, 0x1b)}, {Level::Fatal, Level::Error}),
        rule("Warnings", R"(\bWARN(ING)?\b)", {RuleColor::ByPage, Rgb(0xe0, 0xa0, 0x30), Rgb(0xb3, 0x6b, 0x00)},
             {Level::Warn}),
        rule("Debug", R"(\b(DEBUG|TRACE)\b)", {RuleColor::Halfway, 0, 0}, {Level::Debug, Level::Trace}),
    };
}

std::vector<HighlightRule> ResolvedRules(std::vector<HighlightRule> rules, COLORREF text, COLORREF page)
{
    for (HighlightRule& r : rules) {
        r.levels = 0;  // a copy among one's own rules colours the words it matches
        for (RuleColor* c : {&r.text, &r.background})
            if (c->kind != RuleColor::Unchanged)
                *c = RuleColor::Of(c->Resolve(text, page, 0));
    }
    return rules;
}

// A plain case-sensitive pattern is found by the string search; anything
// else by its own expression.
struct CHighlightRules::Compiled {
    std::string literal;
    std::unique_ptr<re2::RE2> re;
};

// All patterns in one automaton: which rules match a line takes one pass.
struct CHighlightRules::CombinedSet {
    re2::RE2::Set set;
    explicit CombinedSet(const re2::RE2::Options& options) : set(options, re2::RE2::UNANCHORED) {}
};

CHighlightRules::CHighlightRules(std::vector<HighlightRule> rules, std::vector<std::string>* warnings)
    : m_rules(std::move(rules)), m_errors(m_rules.size()), m_compiled(m_rules.size())
{
    re2::RE2::Options options;
    options.set_log_errors(false);
    re2::RE2::Options setOptions = options;
    setOptions.set_max_mem(64 << 20);
    m_pSet = std::make_unique<CombinedSet>(setOptions);
    for (std::size_t i = 0; i < m_rules.size(); ++i) {
        const HighlightRule& r = m_rules[i];
        if (!r.enabled)
            continue;
        auto c = std::make_unique<Compiled>();
        if (r.pattern.empty()) {
            m_errors[i] = "empty pattern";
        } else if (!r.regex && r.caseSensitive) {
            c->literal = r.pattern;
        } else {
            c->re = std::make_unique<re2::RE2>(SetPattern(r), options);
            // The message names the pattern as the user wrote it, not as it was wrapped.
            if (!c->re->ok())
                m_errors[i] = re2::RE2(r.pattern, options).error();
            if (!c->re->ok() && m_errors[i].empty())
                m_errors[i] = c->re->error();
        }
        if (!m_errors[i].empty()) {
            if (warnings)
                warnings->push_back("rule \"" + r.name + "\" skipped: " + m_errors[i]);
            continue;
        }
        // The set numbers its patterns from 0 in the order added: that of m_active.
        if (m_pSet && m_pSet->set.Add(SetPattern(r), nullptr) < 0)
            m_pSet.reset();
        m_compiled[i] = std::move(c);
        m_active.push_back(static_cast<int>(i));
        m_bAnyAlert = m_bAnyAlert || r.alert;
        m_bAnyByLevel = m_bAnyByLevel || r.levels;
    }
    if (m_pSet && !m_pSet->set.Compile())
        m_pSet.reset();
}

CHighlightRules::~CHighlightRules() = default;

void CHighlightRules::Candidates(std::string_view text, std::vector<int>& out) const
{
    out.clear();
    if (m_pSet) {
        re2::RE2::Set::ErrorInfo info{};
        std::vector<int> hits;
        if (m_pSet->set.Match(re2::StringPiece(text.data(), text.size()), &hits, &info)) {
            std::sort(hits.begin(), hits.end());
            for (int h : hits)
                out.push_back(m_active[static_cast<std::size_t>(h)]);
            return;
        }
        if (info.kind == re2::RE2::Set::kNoError)
            return;  // nothing matched
    }
    out = m_active;  // the set gave up (its memory): every rule looks for itself
}

bool CHighlightRules::FindFrom(const Compiled& c, std::string_view text, std::size_t from, std::size_t& begin,
                               std::size_t& end) const
{
    if (!c.re) {
        const std::size_t at = text.find(c.literal, from);
        if (at == std::string_view::npos)
            return false;
        begin = at;
        end = at + c.literal.size();
        return true;
    }
    re2::StringPiece m;
    if (!c.re->Match(re2::StringPiece(text.data(), text.size()), from, text.size(), re2::RE2::UNANCHORED, &m, 1))
        return false;
    begin = static_cast<std::size_t>(m.data() - text.data());
    end = begin + m.size();
    return true;
}

bool CHighlightRules::Find(std::size_t i, std::string_view text, std::size_t& begin, std::size_t& end) const
{
    return i < m_compiled.size() && m_compiled[i] && FindFrom(*m_compiled[i], text, 0, begin, end);
}

void CHighlightRules::Match(std::string_view text, std::vector<Span>& out, bool byWords) const
{
    out.clear();
    Candidates(text, m_candidates);
    for (const int i : m_candidates) {
        if (!byWords && m_rules[static_cast<std::size_t>(i)].levels)
            continue;
        const Compiled& c = *m_compiled[static_cast<std::size_t>(i)];
        if (m_rules[static_cast<std::size_t>(i)].scope == RuleScope::Line) {
            std::size_t b = 0, e = 0;
            if (!FindFrom(c, text, 0, b, e))
                continue;  // the set's DFA gave up and this rule does not match
            out.push_back({0, text.size(), i, true});
            return;
        }
        for (std::size_t from = 0, b = 0, e = 0; from <= text.size() && FindFrom(c, text, from, b, e);) {
            if (e > b)
                out.push_back({b, e, i, false});
            // An empty match moves on by one character, not into one.
            from = e > b ? e : e + 1;
            while (from < text.size() && (static_cast<unsigned char>(text[from]) & 0xC0) == 0x80)
                ++from;
        }
    }
}

int CHighlightRules::RuleForLevel(int level) const
{
    if (level <= 0 || level >= 8)
        return -1;
    for (const int i : m_active)
        if (m_rules[static_cast<std::size_t>(i)].levels & (1u << level))
            return i;
    return -1;
}

int CHighlightRules::FirstAlert(std::string_view text, bool stopOnly) const
{
    if (!m_bAnyAlert)
        return -1;
    Candidates(text, m_candidates);
    for (const int i : m_candidates) {
        const HighlightRule& r = m_rules[static_cast<std::size_t>(i)];
        std::size_t b = 0, e = 0;
        if (r.alert && (r.stop || !stopOnly) && FindFrom(*m_compiled[static_cast<std::size_t>(i)], text, 0, b, e))
            return i;
    }
    return -1;
}

namespace {
std::shared_ptr<const CHighlightRules>& Current()
{
    static std::shared_ptr<const CHighlightRules> rules;
    return rules;
}
}  // namespace

const std::shared_ptr<const CHighlightRules>& CurrentHighlightRules()
{
    return Current();
}

void SetCurrentHighlightRules(std::shared_ptr<const CHighlightRules> rules)
{
    Current() = std::move(rules);
}
