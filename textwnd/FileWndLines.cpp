// Line numbers, Go to Line and Go to Time: the window's face of the line
// index and of the time bisection.
#include "textwnd/FileWnd.h"
#include "textwnd/MergedWnd.h"

#include <algorithm>
#include <ctime>

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
    if (m_pMerged)
        return m_pMerged->RowLineNumbers();
    SyncWithMapping();
    const int rows = VisibleLines() + 1;
    std::vector<std::int64_t> out(static_cast<std::size_t>(std::max(rows, 0)), 0);
    if (!HasText() || !m_pLineIndex)
        return out;
    std::vector<TextPos> starts;
    for (const TextPos p : m_paintedRowStarts)
        if (starts.size() < out.size() && p < DataEnd())
            starts.push_back(p);
    const std::vector<std::int64_t> numbers = m_pLineIndex->LineNumbersAt(starts);
    std::copy(numbers.begin(), numbers.end(), out.begin());
    return out;
}

bool CFileWnd::GoToLine(std::int64_t n)
{
    if (m_pMerged)
        return m_pMerged->GoToLine(n);
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
    BeginInput();
    // Filtered: the nearest shown line at or after the target.
    if (IsFiltering()) {
        m_pTop = ClampShownTop(NextShown(LineStartOf(std::clamp(p, DataStart(), DataEnd()))));
        m_bShownAtEnd = false;
        m_pPort->InvalidateAll();
        UpdateScrollPositions();
        return;
    }
    m_pTop = std::clamp(p, DataStart(), LastPageTop());
    m_pPort->InvalidateAll();
    UpdateScrollPositions();
}

timeseek::StampContext CFileWnd::StampContextOfFile() const
{
    const std::int64_t secs = m_pMappedFile ? platform::FileModifiedTime(m_pMappedFile->Handle()) : -1;
    const std::time_t t = secs < 0 ? std::time(nullptr) : static_cast<std::time_t>(secs);
    std::tm tm{};
    localtime_r(&t, &tm);
    return {tm.tm_year + 1900, tm.tm_mon + 1};
}

timeseek::StampFormat CFileWnd::TimeStampFormat()
{
    SyncWithMapping();
    if (!HasText())
        return timeseek::StampFormat::None;
    if (!m_bStampFormatKnown) {
        CPreadChunkReader reader(m_pMappedFile->Handle());
        const BreakUnits units{CodeUnitSize(), m_lines.CRUnit(), m_lines.LFUnit()};
        m_nStampFormat = CTimeSeeker(reader, DataStart(), DataEnd(), units, StampContextOfFile()).Detect();
        m_bStampFormatKnown = true;
    }
    return m_nStampFormat;
}

std::string CFileWnd::RowTip(int row)
{
    if (!m_rowTips || row < 0 || row >= static_cast<int>(m_paintedRowStarts.size()))
        return {};
    const TextPos start = m_paintedRowStarts[static_cast<std::size_t>(row)];
    return start == kNoPos ? std::string() : m_rowTips(LineStartOf(start));
}

const logformat::CFormat* CFileWnd::RecordFormat()
{
    if (m_pOwnFormat)
        return HasText() ? m_pOwnFormat.get() : nullptr;
    if (const logformat::CFormat* chosen = ChosenFormat())
        return HasText() ? chosen : nullptr;
    return DetectedFormat();
}

const logformat::CFormat* CFileWnd::ChosenFormat()
{
    if (m_strChosenFormat.empty())
        return nullptr;
    // Formats loaded anew (the user's folder read again) are looked up again.
    if (m_pChosenFormats != logformat::CurrentFormats())
        m_pChosenFormats = logformat::CurrentFormats();
    return m_pChosenFormats->Find(m_strChosenFormat);
}

void CFileWnd::SetChosenFormat(const std::string& name)
{
    if (name == m_strChosenFormat)
        return;
    m_strChosenFormat = name;
    m_pTopRecordAt = kNoPos;
    if (m_pShown)
        SyncShownSet(true);  // records, levels and times read anew
    SyncSummaries(false);    // another format summarises afresh
    m_pPort->InvalidateAll();
}

logformat::Record CFileWnd::TopRecord()
{
    if (m_pMerged)
        return m_pMerged->TopRecord();
    const logformat::CFormat* format = RecordFormat();
    if (!format || !m_pMappedFile)
        return {};
    const TextPos top = LineStartOf(GetTop() == kNoPos ? DataStart() : GetTop());
    if (top != m_pTopRecordAt || DataEnd() != m_pTopRecordEnd || format != m_pTopRecordFormat) {
        CPreadChunkReader reader(m_pMappedFile->Handle());
        const BreakUnits units{CodeUnitSize(), m_lines.CRUnit(), m_lines.LFUnit()};
        logformat::CRecordReader records(reader, DataStart(), DataEnd(), units, format, StampContextOfFile());
        m_topRecord = records.RecordOf(top);
        m_pTopRecordAt = top;
        m_pTopRecordEnd = DataEnd();
        m_pTopRecordFormat = format;
    }
    return m_topRecord;
}

const logformat::CFormat* CFileWnd::DetectedFormat()
{
    SyncWithMapping();
    if (!HasText())
        return nullptr;
    const std::int64_t size = DataEnd() - DataStart();
    if (!m_bRecordFormatKnown || (!m_pRecordFormat && size >= 2 * m_nRecordFormatSize + 1)) {
        CPreadChunkReader reader(m_pMappedFile->Handle());
        const BreakUnits units{CodeUnitSize(), m_lines.CRUnit(), m_lines.LFUnit()};
        m_pFormats = logformat::CurrentFormats();
        m_pRecordFormat = logformat::DetectFormat(logformat::SampleLines(reader, DataStart(), DataEnd(), units),
                                                  StampContextOfFile(), m_pFormats->All());
        m_bRecordFormatKnown = true;
        m_nRecordFormatSize = size;
        m_nRecordFormatEncoding = m_nEncoding;
    }
    return m_pRecordFormat;
}

CFileWnd::TimeJump CFileWnd::GoToTime(const std::string& text)
{
    if (!HasTimeStamps())
        return TimeJump::NoTimestamps;
    std::int64_t micros = 0;
    if (!timeseek::ParseUserTime(text, micros))
        return TimeJump::BadTime;
    return GoToMicros(micros);
}

CFileWnd::TimeJump CFileWnd::GoToMicros(std::int64_t micros)
{
    if (m_pMerged)
        return m_pMerged->GoToMicros(micros);
    if (!HasTimeStamps())
        return TimeJump::NoTimestamps;
    CPreadChunkReader reader(m_pMappedFile->Handle());
    const BreakUnits units{CodeUnitSize(), m_lines.CRUnit(), m_lines.LFUnit()};
    CTimeSeeker seeker(reader, DataStart(), DataEnd(), units, StampContextOfFile());
    seeker.SetFormat(m_nStampFormat);
    if (const logformat::CFormat* format = RecordFormat())
        seeker.SetStampReader(logformat::StampReaderOf(format, StampContextOfFile()));
    const CTimeSeeker::Result r = seeker.Seek(micros);
    switch (r.outcome) {
    case CTimeSeeker::Outcome::Found: ShowLineAt(r.pos); return TimeJump::Shown;
    case CTimeSeeker::Outcome::BeforeFirst: ShowLineAt(DataStart()); return TimeJump::BeforeFirst;
    case CTimeSeeker::Outcome::AfterLast: ShowLineAt(LastPageTop()); return TimeJump::AfterLast;
    case CTimeSeeker::Outcome::NoStamps: break;
    }
    return TimeJump::NoTimestamps;
}
