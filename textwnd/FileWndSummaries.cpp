// The window's record summaries: the background pass that the timeline reads, owned like the filter stack's
// scan and the line index (a reader of its own through the mapping's descriptor, joined before it goes).
#include "textwnd/FileWnd.h"

#include <algorithm>

using platform::WM_SUMMARIES_NEWS;

void CFileWnd::SyncSummaries(bool fresh)
{
    const logformat::CFormat* format = m_bSummariesWanted && HasText() && m_pMappedFile ? RecordFormat() : nullptr;
    if (!format) {
        if (m_pSummaries) {
            m_pSummaries.reset();  // joined before what it reads goes
            m_pSummariesFormat = nullptr;
            m_pPort->SummariesNews();
        }
        return;
    }
    // Records read with another format (found anew as the file grew, or chosen) are summarised afresh. A cut
    // or another file behind the same mapping the summaries notice themselves at SetEnd, and start over.
    if (!fresh && m_pSummaries && format == m_pSummariesFormat) {
        m_pSummaries->SetEnd(DataEnd(), true);
        return;
    }
    m_pSummaries.reset();
    m_pSummariesFormat = format;
    m_pSummariesFormats = m_pFormats;
    m_pSummariesChosen = m_pChosenFormats;
    const BreakUnits units{CodeUnitSize(), m_lines.CRUnit(), m_lines.LFUnit()};
    const platform::HWND hwnd = m_hWnd;
    m_pSummaries = std::make_unique<logformat::CRecordSummaries>(
        std::make_unique<CPreadChunkReader>(m_pMappedFile->Handle()), DataStart(), units, format, StampContextOfFile(),
        [hwnd] { platform::PostWindowMessage(hwnd, WM_SUMMARIES_NEWS, 0, 0); });
    m_pSummaries->SetEnd(DataEnd(), true);
    m_pPort->SummariesNews();
}

void CFileWnd::SetSummariesWanted(bool on)
{
    if (on == m_bSummariesWanted)
        return;
    m_bSummariesWanted = on;
    SyncSummaries(false);
}

void CFileWnd::WaitRecordSummaries()
{
    if (m_pSummaries)
        m_pSummaries->WaitForWorker();
}

bool CFileWnd::SummarisedTimeAt(TextPos p, std::int64_t& micros) const
{
    if (!m_pSummaries || p == kNoPos || !HasText())
        return false;
    const logformat::CRecordSummaries::State state = m_pSummaries->GetState();
    if (state.blocks == 0)
        return false;
    const auto block =
        static_cast<std::size_t>(std::max<TextPos>(p - DataStart(), 0) / logformat::CRecordSummaries::kBlock);
    // The block that holds p, else the nearest one before it with records (a long record spans blocks).
    std::size_t k = std::min(block, state.blocks - 1);
    for (std::size_t looked = 0; looked < 64; ++looked) {
        const std::vector<logformat::BlockSummary> b = m_pSummaries->Blocks(k, 1);
        if (!b.empty() && b[0].HasRecords()) {
            const TextPos from = m_pSummaries->BlockStart(k);
            const double share =
                k == block ? std::clamp(static_cast<double>(p - from) / logformat::CRecordSummaries::kBlock, 0.0, 1.0)
                           : 1.0;
            micros = b[0].minMicros +
                     static_cast<std::int64_t>(share * static_cast<double>(b[0].maxMicros - b[0].minMicros));
            return true;
        }
        if (k == 0)
            break;
        --k;
    }
    return false;
}
