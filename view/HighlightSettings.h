// The highlight rules as the settings keep them, and the switches that put
// them in force. The rules are an array `HighlightRules` (size, then
// N/key from 1) with the keys below, each value a string; a missing key takes
// the rule's default. `Highlight/Enabled` turns the user's rules on or off, and
// `Highlight/LogLevels` the built-in set, which comes after them; each works
// without the other, and both are off at the first start, so the plain look
// stays the default.
//
// The Qt side stores them with QSettings (view/qt/QtHighlightStore.h); the
// probe reads the same array from an INI file with ReadRulesFromIni.
#pragma once

#include "engine/HighlightRules.h"

#include <map>
#include <memory>
#include <string>
#include <vector>

// The keys of one rule: name, pattern, regex, caseSensitive, text,
// background, scope, enabled, alert, stop.
using RuleValues = std::map<std::string, std::string>;
HighlightRule RuleFromValues(const RuleValues& values);
RuleValues ValuesOfRule(const HighlightRule& rule);
// "#rrggbb" and back; empty for unchanged. False for anything else.
bool ParseRuleColor(const std::string& text, RuleColor& out);
std::string RuleColorText(const RuleColor& color);

// The `HighlightRules` array of an INI file as QSettings writes it (group
// [HighlightRules], keys "size" and "N\key", values with QSettings' quoting
// and escapes). False when the text holds no such array.
bool ReadRulesFromIni(const std::string& text, std::vector<HighlightRule>& rules);

class IHighlightStore {
public:
    virtual ~IHighlightStore() = default;
    virtual std::vector<HighlightRule> LoadRules() = 0;
    virtual void SaveRules(const std::vector<HighlightRule>& rules) = 0;
    // A switch of the group "Highlight" ("Enabled", "LogLevels").
    virtual bool GetSwitch(const std::string& key) = 0;
    virtual void SetSwitch(const std::string& key, bool on) = 0;
};

// What is in force: the user's rules, the two switches, and the compiled set
// installed for every window (CurrentHighlightRules).
class CHighlightSettings {
public:
    static constexpr const char* kEnabled = "Enabled";
    static constexpr const char* kLogLevels = "LogLevels";

    // Reads the store (which outlives this) and installs what it says.
    explicit CHighlightSettings(IHighlightStore& store);

    const std::vector<HighlightRule>& Rules() const { return m_rules; }
    bool IsEnabled() const { return m_bEnabled; }
    bool LogLevelsOn() const { return m_bLogLevels; }
    void SetRules(std::vector<HighlightRule> rules);
    void SetEnabled(bool on);
    void SetLogLevels(bool on);
    // Appends the built-in set, coloured for a window of these colours, to the user's rules.
    void CopyLogLevels(platform::COLORREF text, platform::COLORREF page);
    // The rules in force: the user's when enabled, then the built-in set when on.
    std::vector<HighlightRule> Effective() const;

private:
    void Install();

    IHighlightStore& m_store;
    std::vector<HighlightRule> m_rules;
    bool m_bEnabled = false;
    bool m_bLogLevels = false;
};
