#include "file/TextFileDoc.h"

CTextFileDoc::CTextFileDoc() = default;

CTextFileDoc::~CTextFileDoc()
{
    OnCloseDocument();
}

bool CTextFileDoc::OnOpenDocument(const char* path)
{
    if (!path || !*path)
        return false;
    try {
        // Throws CFileException when no view results; a partly made object
        // is destroyed on the way out and the old mapping stays.
        auto mapped = std::make_unique<CMemoryMappedFile>(path);
        SetPathName(path);
        SetModifiedFlag(false);
        m_pMappedFile = std::move(mapped);
        return true;
    } catch (...) {
        return false;
    }
}

void CTextFileDoc::OnCloseDocument()
{
    m_pMappedFile.reset();
}
