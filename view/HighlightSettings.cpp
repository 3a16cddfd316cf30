#include "view/HighlightSettings.h"

#include "engine/Utf8Text.h"

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <sstream>

using platform::COLORREF;

namespace {

bool Flag(const RuleValues& v, const char* key, bool fallback)
{
    const auto it = v.find(key);
    if (it == v.end())
        return fallback;
    return it->second == "true" || it->second == "1"    ? true
           : it->second == "false" || it->second == "0" ? false
                                                        : fallback;
}

std::string Text(const RuleValues& v, const char* key)
{
    const auto it = v.find(key);
    return it == v.end() ? std::string() : it->second;
}

}  // namespace

bool ParseRuleColor(const std::string& text, RuleColor& out)
{
    if (text.empty()) {
        out = {};
        return true;
    }
    if (text.size() != 7 || text[0] != '#')
        return false;
    char* end = nullptr;
    const unsigned long rgb = std::strtoul(text.c_str() + 1, &end, 16);
    if (*end || text[1] == '+' || text[1] == '-' || text[1] == ' ')
        return false;
    out = RuleColor::Of(platform::Rgb((rgb >> 16) & 0xFF, (rgb >> 8) & 0xFF, rgb & 0xFF));
    return true;
}

std::string RuleColorText(const RuleColor& color)
{
    if (color.kind == RuleColor::Unchanged)
        return {};
    const COLORREF c = color.Resolve(0, 0, 0);
    char buf[8];
    std::snprintf(buf, sizeof buf, "#%02x%02x%02x", platform::RedOf(c), platform::GreenOf(c), platform::BlueOf(c));
    return buf;
}

HighlightRule RuleFromValues(const RuleValues& v)
{
    HighlightRule r;
    r.name = Text(v, "name");
    r.pattern = Text(v, "pattern");
    r.regex = Flag(v, "regex", false);
    r.caseSensitive = Flag(v, "caseSensitive", false);
    // A colour that is no colour leaves the text as it is.
    if (!ParseRuleColor(Text(v, "text"), r.text))
        r.text = {};
    if (!ParseRuleColor(Text(v, "background"), r.background))
        r.background = {};
    r.scope = Text(v, "scope") == "match" ? RuleScope::Match : RuleScope::Line;
    r.enabled = Flag(v, "enabled", true);
    r.alert = Flag(v, "alert", false);
    r.stop = Flag(v, "stop", false);
    return r;
}

RuleValues ValuesOfRule(const HighlightRule& r)
{
    auto flag = [](bool b) { return std::string(b ? "true" : "false"); };
    return {{"name", r.name},
            {"pattern", r.pattern},
            {"regex", flag(r.regex)},
            {"caseSensitive", flag(r.caseSensitive)},
            {"text", RuleColorText(r.text)},
            {"background", RuleColorText(r.background)},
            {"scope", r.scope == RuleScope::Match ? "match" : "line"},
            {"enabled", flag(r.enabled)},
            {"alert", flag(r.alert)},
            {"stop", flag(r.stop)}};
}

namespace {

// A value as QSettings writes it: quoted parts, backslash escapes, a comment
// after an unquoted ';', white space around unquoted text dropped.
std::string IniValue(const std::string& raw)
{
    std::string out;
    bool quoted = false;
    std::size_t keep = 0;  // out's length up to the last character that is not unquoted white space
    for (std::size_t i = 0; i < raw.size(); ++i) {
        const char c = raw[i];
        if (c == '"') {
            quoted = !quoted;
            keep = out.size();
            continue;
        }
        if (c == ';' && !quoted)
            break;
        if (c == '\\' && i + 1 < raw.size()) {
            const char e = raw[++i];
            static const std::string from = "abfnrtv", to = "\a\b\f\n\r\t\v";
            if (from.find(e) != std::string::npos) {
                out += to[from.find(e)];
            } else if (e == 'x') {
                std::size_t n = 0;
                const unsigned long code = std::strtoul(raw.substr(i + 1, 4).c_str(), nullptr, 16);
                while (n < 4 && i + 1 + n < raw.size() && std::isxdigit(static_cast<unsigned char>(raw[i + 1 + n])))
                    ++n;
                utf8text::AppendUtf8(out, static_cast<char32_t>(code));
                i += n;
            } else {
                out += e;
            }
            keep = out.size();
            continue;
        }
        if ((c == ' ' || c == '\t') && !quoted && out.empty())
            continue;
        out += c;
        if (quoted || (c != ' ' && c != '\t'))
            keep = out.size();
    }
    out.resize(keep);
    if (out.rfind("@String(", 0) == 0 && out.back() == ')')
        out = out.substr(8, out.size() - 9);
    return out;
}

}  // namespace

bool ReadRulesFromIni(const std::string& text, std::vector<HighlightRule>& rules)
{
    std::istringstream in(text);
    std::string line, group;
    std::map<int, RuleValues> byIndex;
    int size = -1;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        const std::size_t start = line.find_first_not_of(" \t");
        if (start == std::string::npos || line[start] == ';' || line[start] == '#')
            continue;
        if (line[start] == '[') {
            group = line.substr(start + 1, line.find(']') - start - 1);
            continue;
        }
        const std::size_t eq = line.find('=');
        if (group != "HighlightRules" || eq == std::string::npos)
            continue;
        std::string key = line.substr(start, eq - start);
        key.erase(key.find_last_not_of(" \t") + 1);
        const std::string value = IniValue(line.substr(eq + 1));
        const std::size_t sep = key.find_first_of("\\/");
        if (key == "size") {
            size = std::atoi(value.c_str());
        } else if (sep != std::string::npos) {
            const int n = std::atoi(key.substr(0, sep).c_str());
            if (n > 0)
                byIndex[n][key.substr(sep + 1)] = value;
        }
    }
    if (size < 0)
        return false;
    rules.clear();
    for (int n = 1; n <= size; ++n)
        rules.push_back(RuleFromValues(byIndex[n]));
    return true;
}

// --- What is in force ---------------------------------------------------------------

CHighlightSettings::CHighlightSettings(IHighlightStore& store) : m_store(store)
{
    m_rules = store.LoadRules();
    m_bEnabled = store.GetSwitch(kEnabled);
    m_bLogLevels = store.GetSwitch(kLogLevels);
    Install();
}

std::vector<HighlightRule> CHighlightSettings::Effective() const
{
    // Two independent switches: the built-in set needs no rule of the user's to be in force, so that a fresh
    // profile colours its levels with the one check box.
    std::vector<HighlightRule> all;
    if (m_bEnabled)
        all = m_rules;
    if (m_bLogLevels)
        for (HighlightRule& r : LogLevelRules())
            all.push_back(std::move(r));
    return all;
}

void CHighlightSettings::Install()
{
    SetCurrentHighlightRules(m_bEnabled || m_bLogLevels ? std::make_shared<CHighlightRules>(Effective()) : nullptr);
}

void CHighlightSettings::SetRules(std::vector<HighlightRule> rules)
{
    m_rules = std::move(rules);
    m_store.SaveRules(m_rules);
    Install();
}

void CHighlightSettings::SetEnabled(bool on)
{
    m_bEnabled = on;
    m_store.SetSwitch(kEnabled, on);
    Install();
}

void CHighlightSettings::SetLogLevels(bool on)
{
    m_bLogLevels = on;
    m_store.SetSwitch(kLogLevels, on);
    Install();
}

void CHighlightSettings::CopyLogLevels(COLORREF text, COLORREF page)
{
    std::vector<HighlightRule> rules = m_rules;
    for (HighlightRule& r : ResolvedRules(LogLevelRules(), text, page))
        rules.push_back(std::move(r));
    SetRules(std::move(rules));
}
