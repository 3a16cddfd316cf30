#include "file/TextFileDoc.h"

#include <atomic>

namespace {

std::atomic<bool> g_followName{false};

}  // namespace

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

void CTextFileDoc::SetFollowName(bool follow)
{
    g_followName = follow;
}

bool CTextFileDoc::IsFollowName()
{
    return g_followName.load();
}

bool CTextFileDoc::NameNamesOpenFile() const
{
    platform::FileId open, named;
    return m_pMappedFile && platform::GetFileIdByHandle(m_pMappedFile->Handle(), open) &&
           platform::GetFileId(m_strPathName, named) && named == open;
}

CTextFileDoc::NameChange CTextFileDoc::OnNameReplaced()
{
    if (!m_pMappedFile || m_pMappedFile->IsAnonymous())
        return NameChange::None;
    // Another window of this document may have switched already.
    if (NameNamesOpenFile())
        return NameChange::Reopened;
    if (!IsFollowName())
        return NameChange::Offered;
    return ReopenByName() ? NameChange::Reopened : NameChange::None;
}

bool CTextFileDoc::ReopenByName()
{
    if (!m_pMappedFile || m_pMappedFile->IsAnonymous() || NameNamesOpenFile())
        return false;
    const platform::FileHandle fresh = platform::OpenReadShared(m_strPathName);
    if (fresh == platform::kInvalidFile)
        return false;
    if (!m_pMappedFile->ReplaceFile(fresh)) {
        platform::CloseFile(fresh);
        return false;
    }
    return true;
}
