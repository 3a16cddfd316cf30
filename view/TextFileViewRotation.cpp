// Rotation sets: the log and the older parts that rotation left beside it, shown as one log
// (textwnd/MergedWnd.h, file/RotationSet.h).
#include "file/RotationSet.h"
#include "file/TextFileDoc.h"
#include "textwnd/FileWnd.h"
#include "textwnd/MergedWnd.h"
#include "view/CommandIds.h"
#include "view/Profile.h"
#include "view/StringTable.h"
#include "view/TextFileView.h"

#include <string>
#include <utility>

namespace {

// Only a file on disk has siblings: not standard input, a command, a journal or a file on another machine.
bool HasFolder(const CTextFileDoc& doc)
{
    return !doc.IsCommand() && !doc.IsJournal() && !doc.IsSsh() &&
           doc.GetPathName() != CTextFileDoc::kStandardInputName && !doc.GetPathName().empty() &&
           doc.GetPathName().front() == '/';
}

std::string WithCount(const char* format, int n)
{
    std::string out = format;
    const std::size_t at = out.find("%d");
    if (at != std::string::npos)
        out.replace(at, 2, std::to_string(n));
    return out;
}

}  // namespace

void CTextFileView::OfferRotationSet()
{
    if (!m_pFileWnd || m_pFileWnd->GetMerged() || !HasFolder(*m_pDocument))
        return;
    m_nRotatedParts = static_cast<int>(rotation::SetOf(m_pDocument->GetPathName()).size()) - 1;
    if (m_nRotatedParts <= 0)
        return;
    if (m_bRotationWanted || m_profile.GetProfileInt(kIncludeRotatedSection, kIncludeRotatedEntry, 0) != 0) {
        ShowRotationSet();
        return;
    }
    m_pHost->ShowMessage(ViewMessageKind::Information, WithCount(text::RotatedPartsOffer, m_nRotatedParts),
                         text::RotatedPartsAction, cmd::ShowRotatedParts);
    m_bRotationOffered = true;
}

void CTextFileView::RequestRotationSet()
{
    if (m_bLoaded)
        ShowRotationSet();
    else
        m_bRotationWanted = true;
}

bool CTextFileView::ShowRotationSet()
{
    if (!m_bLoaded || !m_pFileWnd || m_pFileWnd->GetMerged() || !HasFolder(*m_pDocument))
        return false;
    const std::vector<std::string> parts = rotation::SetOf(m_pDocument->GetPathName());
    if (parts.size() < 2)
        return false;
    auto merged = std::make_unique<CMergedWnd>(*m_pFileWnd);
    if (!merged->OpenSequence(parts, m_pFileWnd->IsWatchingFile(), true))
        return false;
    m_pFileWnd->SetMerged(std::move(merged));
    // Only the offer goes: a notice already in the strip (of a session reopened, say) stays.
    if (std::exchange(m_bRotationOffered, false))
        m_pHost->HideMessage();
    m_pHost->TitleChanged();
    SayPartsProgress();
    return true;
}
