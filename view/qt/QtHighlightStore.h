// The highlight rules and their switches in the settings file, through
// QSettings: the array `HighlightRules` and the group `Highlight` (see
// view/HighlightSettings.h). Without a settings object (the file is left
// alone) they live in memory for the run.
#pragma once

#include "view/HighlightSettings.h"

#include <map>

class QSettings;

class CQtHighlightStore : public IHighlightStore {
public:
    explicit CQtHighlightStore(QSettings* settings) : m_pSettings(settings) {}

    std::vector<HighlightRule> LoadRules() override;
    void SaveRules(const std::vector<HighlightRule>& rules) override;
    bool GetSwitch(const std::string& key) override;
    void SetSwitch(const std::string& key, bool on) override;

private:
    QSettings* m_pSettings;
    std::vector<HighlightRule> m_rules;  // without a settings object
    std::map<std::string, bool> m_switches;
};
