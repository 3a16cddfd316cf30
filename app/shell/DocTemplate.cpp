#include "app/shell/DocTemplate.h"

#include "res/ImageStrip.h"
#include "view/StringTable.h"

#include <algorithm>

namespace {

char AsciiLower(char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

}  // namespace

CDocTemplate::CDocTemplate(int resourceId)
    : m_nResourceId(resourceId), m_strDocStrings(LoadStringById(resourceId)), m_icon(DocumentIcon(resourceId))
{
}

std::string CDocTemplate::GetDocString(DocStringIndex index) const
{
    return std::string(TextPart(m_strDocStrings, index));
}

bool CDocTemplate::MatchesExtension(const std::string& path) const
{
    const std::string ext = GetDocString(filterExt);
    const std::string name = path.substr(path.rfind('/') == std::string::npos ? 0 : path.rfind('/') + 1);
    if (ext.empty() || name.size() <= ext.size())
        return false;
    return std::equal(ext.begin(), ext.end(), name.end() - static_cast<std::ptrdiff_t>(ext.size()),
                      [](char a, char b) { return AsciiLower(a) == AsciiLower(b); });
}
