// Line numbers and Go to Line: the window's face of the line index.
#include "textwnd/FileWnd.h"

#include <algorithm>

using platform::WM_LINE_INDEX_PROGRESS;

void CFileWnd::SetCountLines(bool background)
{
    m_bCountLines = background;
    if (m_pLineIndex && HasText())
        m_pLineIndex->SetEnd(DataEnd(), m_bCountLines);
}

// A new text gets a new index; a reload tells the index where the text ends
// now, and the index itself notices a file that was cut or written anew.
void CFileWnd::AttachLineIndex(bool fresh)
{
    if (!HasText() || !m_pMappedFile)
        return;
    if (fresh || !m_pLineIndex) {
        m_pLineIndex.reset();
        const BreakUnits units{CodeUnitSize(), m_lines.CRUnit(), m_lines.LFUnit()};
        const platform::HWND hwnd = m_hWnd;
        m_pLineIndex = std::make_unique<CLineIndex>(
            std::make_unique<CPreadChunkReader>(m_pMappedFile->Handle()), DataStart(), units,
            [hwnd] { platform::PostWindowMessage(hwnd, WM_LINE_INDEX_PROGRESS, 0, 0); });
    }
    m_pLineIndex->SetEnd(DataEnd(), m_bCountLines);
}

std::int64_t CFileWnd::LineNumberOf(TextPos p)
{
    SyncWithMapping();
    if (!HasText() || !m_pLineIndex || p == kNoPos)
        return -1;
    return m_pLineIndex->LineNumberAt(std::clamp(p, DataStart(), DataEnd()));
}

std::vector<std::int64_t> CFileWnd::RowLineNumbers()
{
    SyncWithMapping();
    const int rows = VisibleLines() + 1;
    std::vector<std::int64_t> out(static_cast<std::size_t>(std::max(rows, 0)), 0);
    if (!HasText() || !m_pLineIndex || m_pTop == kNoPos)
        return out;
    // Rows as painting reads them: each from where the last one stopped.
    const TextPos end = DataEnd();
    std::vector<TextPos> starts;
    TextPos pos = std::clamp(m_pTop, DataStart(), end);
    for (int r = 0; r < rows && pos < end; ++r) {
        if (r > 0 && pos == starts.back())
            break;  // stopped on a NUL: the rows below repeat it
        starts.push_back(pos);
        pos = m_lines.NextLineStart(pos, end);
    }
    const std::vector<std::int64_t> numbers = m_pLineIndex->LineNumbersAt(starts);
    std::copy(numbers.begin(), numbers.end(), out.begin());
    return out;
}

bool CFileWnd::GoToLine(std::int64_t n)
{
    SyncWithMapping();
    if (!HasText() || !m_pLineIndex)
        return false;
    if (n < 0)
        n += m_pLineIndex->LineCount() + 1;
    const TextPos start = m_pLineIndex->LineStart(n);
    if (start == kNoPos || start > DataEnd())
        return false;
    ShowLineAt(start);
    return true;
}

void CFileWnd::ShowLineAt(TextPos p)
{
    if (!HasText())
        return;
    m_pTop = std::clamp(p, DataStart(), LastPageTop());
    m_pPort->InvalidateAll();
    UpdateScrollPositions();
}
