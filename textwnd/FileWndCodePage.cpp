// The code page of narrow text, and a change of it in a window that shows text.
#include "textwnd/FileWnd.h"

#include "engine/SearchKernels.h"

bool CFileWnd::DecodesUtf8() const
{
    return m_nCodePage == platform::CodePage::Utf8 && m_lines.HasText() && !m_lines.IsWide();
}

void CFileWnd::SetCodePage(platform::CodePage codePage)
{
    if (codePage == m_nCodePage)
        return;
    m_nCodePage = codePage;
    m_utf8.Forget();
    SyncWithMapping();
    if (!HasText())
        return;
    if (m_pShown)
        SyncShownSet(true);  // the rules read the text in the new code page
    // Columns change meaning: the range is measured again by the repaint,
    // as after a load; the top and the offset stay.
    m_nLongestLine = 0;
    m_pPort->SetScrollInfo(kSbHorz, kSifRange | kSifPage, 0, 0, m_nColumns, 0, true);
    // The last match, read in the new code page, may be longer, shorter, or
    // no match at all.
    if (m_pHighlightStart != kNoPos && m_pHighlightStart < m_pHighlightEnd && !m_strFind.empty()) {
        const searchkernels::Needle needle =
            searchkernels::PrepareForEncoding(m_strFind, m_nEncoding, m_bFindNoCase, m_nCodePage);
        const TextPos length = static_cast<TextPos>(needle.length) * CodeUnitSize();
        const TextPos at = m_pHighlightStart;
        const bool still =
            searchkernels::SearchView(needle, ViewBytes(), DataStart(), DataEnd(), at, at + length, true) == at;
        m_pHighlightStart = still ? at : kNoPos;
        m_pHighlightEnd = still ? at + length : kNoPos;
    }
    UpdateScrollPositions();
    m_pPort->InvalidateAll();
}
