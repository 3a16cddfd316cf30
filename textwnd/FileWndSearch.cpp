// Search: find a text forwards or backwards from the last match, wrapping
// around the end of the text, highlight it and scroll it into view.
//
// The search text is brought to the file's form once per scan (for narrow
// files Windows-1252 or UTF-8 by the code page, UTF-16 as is or
// byte-swapped) and the file is read in chunks through the scan reader
// (engine/ScanReader.h) and scanned by the kernels of SearchKernels.h: reading
// costs less than faulting in the pages of the mapping, which stays for
// what is drawn. A match is as long as the text in the file's form.
//
// With regular expressions on, RegexSearch.h finds the matches instead, and
// a match is as long as the engine says.
#include "textwnd/FileWnd.h"
#include "textwnd/MergedWnd.h"

#include "engine/SearchKernels.h"

#include <algorithm>

namespace {

// The match length in code units: the search text in the file's form (a
// surrogate pair is one '?' in a narrow file under Windows-1252 and four
// bytes under UTF-8, so the text's own length would highlight wrongly).
std::int64_t MatchUnits(const std::u16string& text, std::int32_t encoding, platform::CodePage codePage)
{
    return static_cast<std::int64_t>(searchkernels::PrepareForEncoding(text, encoding, false, codePage).length);
}

}  // namespace

const regexsearch::CPattern& CFileWnd::Pattern(const std::u16string& text)
{
    if (!m_pPattern || text != m_strPattern || m_bFindNoCase != m_bPatternNoCase || m_nEncoding != m_nPatternEncoding ||
        m_nCodePage != m_nPatternCodePage) {
        m_pPattern = std::make_unique<regexsearch::CPattern>(text, m_bFindNoCase, m_nEncoding, m_nCodePage);
        m_strPattern = text;
        m_bPatternNoCase = m_bFindNoCase;
        m_nPatternEncoding = m_nEncoding;
        m_nPatternCodePage = m_nCodePage;
    }
    return *m_pPattern;
}

CScanReader& CFileWnd::Reader()
{
    m_scanReader.SetFile(m_pMappedFile ? m_pMappedFile->Handle() : platform::kInvalidFile);
    return m_scanReader;
}

TextPos CFileWnd::SearchForward(const std::u16string& text, TextPos from, TextPos to)
{
    return Search(text, from, to, true);
}

TextPos CFileWnd::SearchBackward(const std::u16string& text, TextPos from, TextPos to)
{
    return Search(text, from, to, false);
}

TextPos CFileWnd::Search(const std::u16string& text, TextPos from, TextPos to, bool forward)
{
    SyncWithMapping();
    if (!HasText())
        return kNoPos;
    if (!IsFiltering())
        return SearchText(text, from, to, forward);
    // Only matches that start on a shown line count: a match on a hidden line sends the search on from the
    // next shown line (back: from the end of the shown line before it). What the scan decides is waited for.
    m_pShown->WaitIdle();
    for (;;) {
        if (from == kNoPos || to == kNoPos || from >= to)
            return kNoPos;
        const TextPos m = SearchText(text, from, to, forward);
        if (m == kNoPos || m_bSearchCancel.load(std::memory_order_relaxed))
            return m;
        const TextPos line = LineStartOf(m);
        if (m_pShown->IsShown(line))
            return m;
        if (forward) {
            const TextPos next = m_pShown->ShownAtOrAfter(line);
            if (next == -1)
                return kNoPos;
            from = std::max(next, from);
        } else {
            const TextPos e = m_pShown->ShownEndBefore(line);
            if (e == -1)
                return kNoPos;
            to = std::min(e, to);
        }
    }
}

TextPos CFileWnd::SearchText(const std::u16string& text, TextPos from, TextPos to, bool forward)
{
    if (m_bFindRegex) {
        const regexsearch::CPattern& pattern = Pattern(text);
        const regexsearch::Match m =
            forward ? regexsearch::SearchForward(pattern, Reader(), DataStart(), DataEnd(), from, to)
                    : regexsearch::SearchBackward(pattern, Reader(), DataStart(), DataEnd(), from, to);
        m_nFoundUnits = m.units;
        return m.pos < 0 ? kNoPos : m.pos;
    }
    const searchkernels::Needle needle =
        searchkernels::PrepareForEncoding(text, m_nEncoding, m_bFindNoCase, m_nCodePage);
    m_nFoundUnits = static_cast<std::int64_t>(needle.length);
    CScanReader& reader = Reader();
    // A text without a file of its own (never in the viewer) is scanned in its mapping.
    const std::int64_t m =
        reader.File() == platform::kInvalidFile
            ? searchkernels::SearchView(needle, ViewBytes(), DataStart(), DataEnd(), from, to, forward)
            : searchkernels::SearchFile(needle, reader, DataStart(), DataEnd(), from, to, forward);
    return m < 0 ? kNoPos : m;
}

// Found: the match becomes the last match, highlighted and shown (0).
// Not found: the highlight goes and everything else stays (1). An invalid
// pattern searched nothing (2). Cancelled: everything stays (3).
int CFileWnd::ConcludeSearch(TextPos m, std::int64_t length)
{
    if (m_bSearchCancel.load(std::memory_order_relaxed))
        return 3;  // stopped: what a part of the text said decides nothing
    if (m == kNoPos) {
        SetHighlight(kNoPos, 0);
        return m_strPatternError.empty() ? 1 : 2;
    }
    if (m_bFindRegex)
        length = m_nMatchUnits = m_nFoundUnits;
    m_pLastMatch = m;
    SetHighlight(m, length);
    ShowMatch(m, length);
    return 0;
}

// Stores the search; a restart (find first), or any search before the first
// one, takes the top position as the last match. Returns the length L of the
// rules: the text's, or the last match's for a pattern.
std::int64_t CFileWnd::BeginSearch(bool ignoreCase, const std::u16string& text, bool restart)
{
    SyncWithMapping();
    m_bSearchCancel.store(false, std::memory_order_relaxed);
    m_bFindNoCase = ignoreCase;
    m_strFind = text;
    if (restart || m_pFindAnchor == kNoPos)
        m_pFindAnchor = m_pLastMatch = m_pTop;
    m_strPatternError.clear();
    if (m_bFindRegex) {
        m_strPatternError = Pattern(text).Error();
        return m_nMatchUnits;
    }
    return MatchUnits(text, m_nEncoding, m_nCodePage);
}

int CFileWnd::FindFirst(bool ignoreCase, const std::u16string& text)
{
    if (m_pMerged)
        return m_pMerged->Find(ignoreCase, text, true, true);
    const std::int64_t length = BeginSearch(ignoreCase, text, true);
    TextPos m = SearchForward(text, m_pTop, DataEnd());
    if (m == kNoPos)
        m = SearchForward(text, DataStart(), m_pLastMatch);
    return ConcludeSearch(m, length);
}

int CFileWnd::FindNext(bool ignoreCase, const std::u16string& text)
{
    if (m_pMerged)
        return m_pMerged->Find(ignoreCase, text, false, true);
    const std::int64_t length = BeginSearch(ignoreCase, text, false);
    const TextPos after = m_pLastMatch == kNoPos ? kNoPos : m_pLastMatch + length * CodeUnitSize();
    TextPos m = SearchForward(text, after, DataEnd());
    if (m == kNoPos)
        m = SearchForward(text, DataStart(), m_pLastMatch);
    return ConcludeSearch(m, length);
}

int CFileWnd::FindPrevious(bool ignoreCase, const std::u16string& text)
{
    if (m_pMerged)
        return m_pMerged->Find(ignoreCase, text, false, false);
    const std::int64_t length = BeginSearch(ignoreCase, text, false);
    TextPos m = SearchBackward(text, DataStart(), m_pLastMatch);
    if (m == kNoPos && m_pLastMatch != kNoPos)
        m = SearchBackward(text, m_pLastMatch + length * CodeUnitSize(), DataEnd());
    return ConcludeSearch(m, length);
}

void CFileWnd::SetHighlight(TextPos p, std::int64_t length)
{
    const TextPos end = p == kNoPos ? kNoPos : p + length * CodeUnitSize();
    if (p == m_pHighlightStart && end == m_pHighlightEnd)
        return;
    m_pHighlightStart = p;
    m_pHighlightEnd = end;
    m_pPort->InvalidateAll();
}

void CFileWnd::ShowMatch(TextPos m, std::int64_t length)
{
    if (!HasText() || m == kNoPos)
        return;
    const std::int64_t u = CodeUnitSize();
    const int half = VisibleLines() / 2;

    // Centre the match horizontally when it fits; a match wider than the
    // window starts one column from the left edge. All in display columns
    // of the match's line, as painting lays it out (tabs expanded).
    LineColumns columns;
    columns.marks[0] = m;
    columns.marks[1] = m + length * u;
    columns.marks[2] = LineLastOf(m);
    TextPos lineStart = LineStartOf(m);
    ReadLine(lineStart, nullptr, nullptr, 0, &columns);
    const std::int64_t k = columns.markColumns[0];
    const std::int64_t n = columns.markColumns[1] - k;
    const std::int64_t r = columns.markColumns[2] - k;
    const std::int64_t oldOffset = m_nHorzOffset;
    if (std::min(r, k + n) - k < m_nColumns)
        m_nHorzOffset = std::max<std::int64_t>(k + n / 2 - m_nColumns / 2, 0);
    else
        m_nHorzOffset = k == 0 ? 0 : k - 1;

    // About half a screen above the match: from inside a line the first step
    // only reaches the start of the match's own line.
    TextPos t = m;
    for (int i = 0; i < half; ++i)
        if (!PrevLineStart(t))
            break;
    const TextPos last = LastPageTop();
    if (t > last)
        t = last;

    if (t == m_pTop && m_nHorzOffset == oldOffset)
        return;
    m_pTop = t;
    UpdateScrollPositions();
    m_pPort->InvalidateAll();
}
