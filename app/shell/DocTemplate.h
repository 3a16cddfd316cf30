// A document type: its resource number, the seven fields of its template
// string and its icon. Both of the viewer's types (135 log files, 136 text
// files) make the same document, frame and view; they differ in their
// strings and in the icon of their windows.
#pragma once

#include <QIcon>

#include <string>

class CDocTemplate {
public:
    // The fields of the template string, in its order.
    enum DocStringIndex {
        windowTitle,
        docName,
        fileNewName,
        filterName,
        filterExt,
        regFileTypeId,
        regFileTypeName,
    };

    explicit CDocTemplate(int resourceId);

    int GetResourceId() const { return m_nResourceId; }
    std::string GetDocString(DocStringIndex index) const;
    QIcon GetIcon() const { return m_icon; }
    // Whether the path ends in this type's extension, letter case aside.
    bool MatchesExtension(const std::string& path) const;

private:
    int m_nResourceId;
    std::string m_strDocStrings;
    QIcon m_icon;
};
