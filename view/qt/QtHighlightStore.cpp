#include "view/qt/QtHighlightStore.h"

#include <QSettings>

namespace {

constexpr const char* kArray = "HighlightRules";
constexpr const char* kGroup = "Highlight";
const char* const kKeys[] = {"name",       "pattern", "regex",   "caseSensitive", "text",
                             "background", "scope",   "enabled", "alert",         "stop"};

}  // namespace

std::vector<HighlightRule> CQtHighlightStore::LoadRules()
{
    if (!m_pSettings)
        return m_rules;
    std::vector<HighlightRule> rules;
    const int size = m_pSettings->beginReadArray(kArray);
    for (int i = 0; i < size; ++i) {
        m_pSettings->setArrayIndex(i);
        RuleValues values;
        for (const char* key : kKeys)
            if (m_pSettings->contains(key))
                values[key] = m_pSettings->value(key).toString().toStdString();
        rules.push_back(RuleFromValues(values));
    }
    m_pSettings->endArray();
    return rules;
}

void CQtHighlightStore::SaveRules(const std::vector<HighlightRule>& rules)
{
    if (!m_pSettings) {
        m_rules = rules;
        return;
    }
    // The old array goes whole: a shorter list must leave no rules of the longer one behind.
    m_pSettings->remove(kArray);
    m_pSettings->beginWriteArray(kArray, static_cast<int>(rules.size()));
    for (std::size_t i = 0; i < rules.size(); ++i) {
        m_pSettings->setArrayIndex(static_cast<int>(i));
        for (const auto& [key, value] : ValuesOfRule(rules[i]))
            m_pSettings->setValue(QString::fromStdString(key), QString::fromStdString(value));
    }
    m_pSettings->endArray();
    m_pSettings->sync();
}

bool CQtHighlightStore::GetSwitch(const std::string& key)
{
    if (!m_pSettings)
        return m_switches[key];
    return m_pSettings->value(QString(kGroup) + '/' + QString::fromStdString(key), false).toBool();
}

void CQtHighlightStore::SetSwitch(const std::string& key, bool on)
{
    if (!m_pSettings) {
        m_switches[key] = on;
        return;
    }
    m_pSettings->setValue(QString(kGroup) + '/' + QString::fromStdString(key), on);
    m_pSettings->sync();
}
