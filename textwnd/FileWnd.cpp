// The text source (encoding, loading, reloading), font metrics, the line
// model and the window's layout.
#include "textwnd/FileWnd.h"

#include "engine/UnicodeCase.h"
#include "file/FileWatcher.h"
#include "platform/AppInfo.h"
#include "textwnd/MergedWnd.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

using platform::kIdNo;
using platform::kIdYes;
using platform::kLfFaceSize;
using platform::kMbIconError;
using platform::kMbIconQuestion;
using platform::kMbOk;
using platform::kMbYesNoCancel;
using platform::LOGFONTW;
using platform::MulDiv;
using platform::WM_FILE_CHANGED;

CFileWnd::CFileWnd(IFileWndPort* port) : m_pPort(port)
{
    m_logFont.lfHeight = 8;
    const char16_t face[] = u"Courier";
    std::memcpy(m_logFont.lfFaceName, face, sizeof face);
    m_hWnd = platform::RegisterWindow(this);
    m_scanReader.SetCancel(&m_bSearchCancel);
}

CFileWnd::~CFileWnd()
{
    OnDestroy();
}

// --- Text source ---------------------------------------------------------------

std::uint64_t CFileWnd::LiveSize() const
{
    return m_pMappedFile ? m_pMappedFile->Size() : 0;
}

const std::uint8_t* CFileWnd::ViewBytes() const
{
    return m_lines.View();
}

bool CFileWnd::HasText() const
{
    return m_lines.HasText();
}

TextPos CFileWnd::DataStart() const
{
    return m_lines.DataStart();
}

TextPos CFileWnd::DataEnd() const
{
    return m_lines.DataEnd();
}

unsigned CFileWnd::CodeUnitSize()
{
    return EncodingUnitSize(m_nEncoding);
}

std::uint64_t CFileWnd::CharacterCount()
{
    const unsigned unit = CodeUnitSize();
    const std::uint64_t size = LiveSize();
    if (unit == 0 || size <= m_nBomLength)
        return 0;
    return (size - m_nBomLength) / unit;
}

std::int64_t CFileWnd::CharIndex(TextPos p) const
{
    const unsigned unit = EncodingUnitSize(m_nEncoding);
    if (p == kNoPos || unit == 0)
        return -1;
    return (p - static_cast<TextPos>(m_nBomLength)) / unit;
}

std::int32_t CFileWnd::DetectEncoding(std::int32_t requested)
{
    const std::uint8_t* v = m_pMappedFile ? m_pMappedFile->View() : nullptr;
    const std::uint64_t n = LiveSize();
    std::int32_t detected = EncodingNone;
    std::uint32_t length = 0;
    auto starts = [&](std::initializer_list<std::uint8_t> mark) {
        return v && n >= mark.size() && std::equal(mark.begin(), mark.end(), v);
    };
    if (starts({0xEF, 0xBB, 0xBF}))
        detected = EncodingUtf8, length = 3;
    else if (starts({0xFF, 0xFE, 0x00, 0x00}))
        detected = EncodingUtf32LE, length = 4;
    else if (starts({0xFF, 0xFE}))
        detected = EncodingUtf16LE, length = 2;
    else if (starts({0xFE, 0xFF}))
        detected = EncodingUtf16BE, length = 2;
    else if (starts({0x00, 0x00, 0xFE, 0xFF}))
        detected = EncodingUtf32BE, length = 4;

    m_nBomLength = length;
    std::int32_t effective;
    if (length == 0) {
        effective = requested == EncodingAuto ? EncodingAnsi : requested;
    } else if (requested == detected || requested == EncodingAuto) {
        effective = detected;
    } else {
        char text[512];
        std::snprintf(text, sizeof text,
                      "User requested loading file with encoding %s but file header indicates encoding %s.\r\n"
                      "Click Yes to proceed with user requested encoding, No to proceed with file specified encoding.",
                      EncodingName(requested), EncodingName(detected));
        const int answer = m_pPort->ShowMessageBox(text, kApplicationTitle, kMbYesNoCancel | kMbIconQuestion);
        effective = answer == kIdYes ? requested : answer == kIdNo ? detected : EncodingNone;
    }
    m_nEncoding = effective;
    m_lines.Attach(m_pMappedFile, m_nBomLength, m_nEncoding);
    return effective;
}

void CFileWnd::SyncWithMapping()
{
    if (!m_pMappedFile)
        return;
    const std::uint64_t size = LiveSize();
    if (size == m_nSeenSize)
        return;
    const bool shrank = size < m_nSeenSize;
    m_nSeenSize = size;
    m_lines.ForgetHoles();
    if (!HasText()) {
        if (shrank) {
            m_pMarks->Clear();  // no line is left to carry a mark
            m_pSelAnchor = m_pSelCaret = kNoPos;
        }
        return;  // kept, not read; clamped once there is text again
    }
    const TextPos end = DataEnd();
    if (shrank)
        m_pMarks->DropFrom(end);
    // A selection that the truncation cut is dropped whole: half of it would copy something else.
    if (shrank && m_pSelAnchor != kNoPos && std::max(m_pSelAnchor, m_pSelCaret) > end)
        m_pSelAnchor = m_pSelCaret = kNoPos;
    for (TextPos* p : {&m_pTop, &m_pLastPageTop, &m_pHighlightStart, &m_pHighlightEnd, &m_pFindAnchor, &m_pLastMatch})
        if (*p > end)
            *p = end;
}

bool CFileWnd::LoadFile(CMemoryMappedFile* mapping, std::int32_t requestedEncoding)
{
    if (!mapping && !m_pMappedFile)
        return false;
    try {
        const WRect rc = m_pPort->GetClientRect();
        // Holes may have come or gone with the change that asked for this load.
        m_lines.ForgetHoles();
        if (mapping) {
            m_bFollowStopped = false;
            m_pAlertScan.reset();
            m_pMappedFile = mapping;
            m_pSelAnchor = m_pSelCaret = kNoPos;  // it selected another file's text
            m_nSeenSize = LiveSize();
            DetectEncoding(requestedEncoding);
            if (m_nEncoding == EncodingUtf32LE || m_nEncoding == EncodingUtf32BE) {
                m_pPort->ShowMessageBox("Error: 32bit unicode is not supported.", kApplicationTitle,
                                        kMbOk | kMbIconError);
                return false;
            }
            if (m_nEncoding == EncodingNone)
                return false;
        }
        SyncWithMapping();

        // Positions are offsets from the mapping's start and DataStart never
        // moves, so the reader's place survives the re-mapping as it is.
        // A window that a stop rule stopped stays where it stopped, even when that is the last screenful.
        const bool atEnd = FollowsEnd();

        if (!mapping) {
            m_pMappedFile->Remap(0);
            SyncWithMapping();
        }
        m_nLongestLine = 0;
        // Emptied here even when OnSize below has nothing to do (a window of
        // zero size): a cache from the old mapping must not survive a load.
        m_pLastPageTop = kNoPos;
        OnSize(rc.Width(), rc.Height());

        if (mapping) {
            if (m_pWatcher) {
                m_pWatcher->RemoveWindow(m_hWnd);
                m_pWatcher.reset();
            }
            if (m_bWatchFile && m_pMappedFile->Path()) {
                // Through the mapping's own descriptor: the file this window
                // shows, whatever its name names by now.
                m_pWatcher = std::make_unique<CFileWatcher>();
                m_pWatcher->AddWindow(m_pMappedFile->Path(), m_hWnd, m_pMappedFile->Handle(),
                                      !m_pMappedFile->IsAnonymous());
            }
        }

        AttachLineIndex(mapping != nullptr);
        m_bStampFormatKnown = false;
        if (mapping || !HasText() || DataEnd() - DataStart() < m_nRecordFormatSize ||
            m_nEncoding != m_nRecordFormatEncoding)
            m_bRecordFormatKnown = false;
        SyncShownSet(mapping != nullptr);
        SyncSummaries(mapping != nullptr);
        if (!HasText()) {
            // The re-mapping failed (the file shrank to nothing): show the page
            // colour, keep the place, and remember whether we were following
            // so that the next growth of the file shows its end again.
            m_pLastPageTop = atEnd ? m_pTop : kNoPos;
            m_pRulesEnd = 0;  // whatever comes is new
            m_pAlertScan.reset();
            m_pPort->InvalidateAll();
            return true;
        }

        const TextPos start = DataStart();
        const TextPos end = DataEnd();
        const TextPos last = LastPageTop();
        m_pTop = atEnd || m_pTop == kNoPos ? last : IsFiltering() ? ClampShownTop(m_pTop) : std::min(m_pTop, last);
        m_bShownAtEnd = atEnd;
        for (TextPos* p : {&m_pHighlightStart, &m_pHighlightEnd, &m_pFindAnchor, &m_pLastMatch})
            *p = *p == kNoPos ? start : std::min(*p, end);
        // What the rules see of a growth: from where this window last saw the end (another window on the
        // same mapping may have re-mapped it before this one's reload).
        if (m_pRulesEnd != kNoPos && end < m_pRulesEnd)
            m_pAlertScan.reset();  // shrunk: what the worker holds may lie past the end
        if (!mapping)
            CheckAppended(m_pRulesEnd, atEnd);
        m_pRulesEnd = end;
        // The range was reset: a file that shrank to shorter lines must not
        // leave a window scrolled right past every line it shows.
        KeepHorzOffsetInRange();
        UpdateScrollPositions();
        m_pPort->InvalidateAll();
        return true;
    } catch (...) {
        m_pMappedFile = nullptr;
        m_lines.Attach(nullptr, 0, EncodingNone);
        m_pTop = kNoPos;
        return false;
    }
}

std::intptr_t CFileWnd::OnFileChanged(std::uintptr_t wParam, std::intptr_t)
{
    if (wParam == 1)
        LoadFile(nullptr, EncodingAuto);
    return 0;
}

std::intptr_t CFileWnd::HandleMessage(unsigned msg, std::uintptr_t wParam, std::intptr_t lParam)
{
    if (msg == WM_FILE_CHANGED)
        return OnFileChanged(wParam, lParam);
    if (msg == platform::WM_RULES_MATCHED) {
        OnRulesMatched();
        return 0;
    }
    if (msg == platform::WM_SHOWN_SET_NEWS) {
        OnShownSetNews();
        return 0;
    }
    if (msg == platform::WM_SUMMARIES_NEWS) {
        if (m_pSummaries)
            m_pPort->SummariesNews();
        return 0;
    }
    if (msg == platform::WM_LINE_INDEX_PROGRESS) {
        m_pPort->InvalidateAll();  // numbers shown as unknown may be known now
        return 0;
    }
    if (msg == platform::WM_FILE_REPLACED && m_hNotify)
        platform::PostWindowMessage(m_hNotify, msg, wParam, lParam);
    return 0;
}

// --- Fonts ---------------------------------------------------------------------

int CFileWnd::MeasureFont()
{
    static const char16_t kSample[] = u"ABCDEFGHIJKLMNOPQRSTUVWXyZ";
    int cx = 0, cy = 0;
    m_pPort->MeasureText(m_logFont, kSample, 26, &cx, &cy);
    // Every layout computation divides by these: never let them be zero.
    m_nLineHeight = std::max(cy, 1);
    m_nCharWidth = std::max(cx / 26, 1);
    return m_nLineHeight;
}

int CFileWnd::GetLineHeight()
{
    if (m_nLineHeight == 0)
        MeasureFont();
    return m_nLineHeight;
}

int CFileWnd::GetCharWidth()
{
    if (m_nCharWidth == 0)
        MeasureFont();
    return m_nCharWidth;
}

void CFileWnd::RemeasureFont()
{
    const int oldHeight = m_nLineHeight;
    const int oldWidth = m_nCharWidth;
    m_nCharWidth = 0;
    MeasureFont();
    if (m_nLineHeight != oldHeight || m_nCharWidth != oldWidth) {
        m_pLastPageTop = kNoPos;
        LoadFile(nullptr, EncodingAuto);
    }
}

bool CFileWnd::SetLogFont(const LOGFONTW& font)
{
    const auto* a = reinterpret_cast<const std::uint8_t*>(&font);
    const auto* b = reinterpret_cast<const std::uint8_t*>(&m_logFont);
    bool differs = false;
    for (size_t i = 0; i < sizeof(LOGFONTW) && !differs; ++i)
        differs = LowerCase8(a[i]) != LowerCase8(b[i]);
    if (differs) {
        m_logFont = font;
        RemeasureFont();
    }
    return true;
}

void CFileWnd::SetFontPoints(std::int32_t points)
{
    const std::int32_t height = -MulDiv(points, m_pPort->GetDpiY(), 72);
    if (height != m_logFont.lfHeight) {
        m_logFont.lfHeight = height;
        RemeasureFont();
        m_pPort->InvalidateAll();
    }
}

std::int32_t CFileWnd::GetFontPoints()
{
    return -MulDiv(m_logFont.lfHeight, 72, m_pPort->GetDpiY());
}

void CFileWnd::SetFontFace(const char16_t* face, std::uint8_t charSet, std::uint8_t pitchAndFamily)
{
    if (!face)
        face = u"";
    bool same = m_logFont.lfCharSet == charSet && m_logFont.lfPitchAndFamily == pitchAndFamily;
    for (int i = 0; same; ++i) {
        const char16_t a = i < kLfFaceSize ? m_logFont.lfFaceName[i] : 0;
        if (LowerCase16(a) != LowerCase16(face[i]))
            same = false;
        if (!a || !face[i] || i >= kLfFaceSize)
            break;
    }
    if (same)
        return;
    int i = 0;
    for (; i < kLfFaceSize - 1 && face[i]; ++i)
        m_logFont.lfFaceName[i] = face[i];
    std::fill(m_logFont.lfFaceName + i, m_logFont.lfFaceName + kLfFaceSize, char16_t(0));
    m_logFont.lfCharSet = charSet;
    m_logFont.lfPitchAndFamily = pitchAndFamily;
    RemeasureFont();
    m_pPort->InvalidateAll();
}

// --- Line model ---------------------------------------------------------------

int CFileWnd::VisibleLines()
{
    return m_pPort->GetClientRect().Height() / GetLineHeight();
}

void CFileWnd::NoteLineLength(std::int64_t columns)
{
    if (columns > m_nLongestLine) {
        m_nLongestLine = columns;
        m_pPort->SetScrollInfo(kSbHorz, kSifRange, 0, columns, 0, 0, true);
    }
}

bool CFileWnd::NextLineStart(TextPos& p)
{
    const TextPos last = LastPageTop();
    if (!HasText() || p == kNoPos || p >= last)
        return false;
    const TextPos start = p;
    if (IsFiltering()) {
        const TextPos next = m_lines.NextLineStart(p, DataEnd());
        if (next == start)
            return false;  // a NUL stops the reading
        p = std::min(NextShown(next), last);
    } else {
        p = m_lines.NextLineStart(p, last);
    }
    return p != start;
}

bool CFileWnd::PrevLineStart(TextPos& p)
{
    if (!HasText() || p <= DataStart())
        return false;
    if (IsFiltering()) {
        // The start of the shown line that ends where the shown text before p ends.
        const TextPos e = PrevShownEnd(std::min(p, DataEnd()));
        if (e == kNoPos || e <= DataStart())
            return false;
        p = m_lines.PrevLineStart(e);
        return true;
    }
    p = m_lines.PrevLineStart(std::min(p, DataEnd()));
    return true;
}

TextPos CFileWnd::LineStartOf(TextPos p)
{
    const TextPos start = DataStart();
    if (!HasText() || p <= start)
        return p == kNoPos ? p : std::max(p, start);
    return m_lines.LineStartOf(std::min(p, DataEnd()));
}

TextPos CFileWnd::LineLastOf(TextPos p)
{
    if (!HasText() || p == kNoPos)
        return DataEnd();
    return m_lines.LineLastOf(std::clamp(p, DataStart(), DataEnd()));
}

// Only line reads note line lengths: the horizontal range counts display
// columns, which only a read that expands tabs knows. That is enough:
// painting reads every line it shows (n + 2 rows from the top, whichever of
// them are repainted), so a line is noted before the user can scroll along
// it, and ShowMatch reads the line of a match before it places it. The line
// steps look for breaks only: a step's unit count is not a line's width once
// tabs are expanded, and expanding them on every step would make scrolling
// pay for columns nobody looks at.
void CFileWnd::ReadLine(TextPos& p, std::string* narrow, std::u16string* wide, std::size_t maxChars,
                        LineColumns* columns)
{
    if (narrow)
        narrow->clear();
    if (wide)
        wide->clear();
    LineColumns local;
    LineColumns& c = columns ? *columns : local;
    if (!HasText() || p == kNoPos || p >= DataEnd()) {
        c.storedEnd = c.contentEnd = c.storedStart = p;
        c.storedStartColumn = 0;
        c.width = 0;
        std::fill(std::begin(c.markColumns), std::end(c.markColumns), 0);
        return;
    }
    if (DecodesUtf8())
        p = m_utf8.ReadLine(m_lines, m_pMappedFile, p, wide, maxChars, c);
    else
        p = m_lines.ReadLine(p, narrow, wide, maxChars, c);
    // The break counts as its units.
    NoteLineLength(c.width + (p - c.contentEnd) / m_lines.Unit());
}

TextPos CFileWnd::LastPageTop()
{
    if (!HasText())
        return kNoPos;
    if (m_pLastPageTop != kNoPos)
        return m_pLastPageTop;
    if (IsFiltering()) {
        // The last screenful of the shown lines known so far; none shown: the end itself (an empty page).
        m_bLastPageProvisional = m_pShown->Status().running;
        TextPos p = m_bLastPageProvisional ? std::min<TextPos>(ShownFinalTo(), DataEnd()) : DataEnd();
        if (PrevShownEnd(p) == kNoPos)
            p = DataEnd();
        else {
            p = m_lines.PrevLineStart(PrevShownEnd(p));
            for (int k = VisibleLines() - 1; k > 0; --k)
                if (!PrevLineStart(p))
                    break;
        }
        m_pLastPageTop = p;
        return m_pLastPageTop;
    }
    TextPos p = DataEnd();
    for (int k = VisibleLines(); k > 0; --k)
        if (!PrevLineStart(p))
            break;
    // Forward reading stops at a NUL: a last screenful that started before
    // one would hide the text after it from End, the thumb and following.
    // When less than a screenful follows the last NULs, that text fills the
    // window from the top.
    m_pLastPageTop = m_lines.AfterLastNul(p);
    return m_pLastPageTop;
}

// --- Layout ----------------------------------------------------------------------

void CFileWnd::OnSize(int cx, int cy)
{
    SyncWithMapping();
    if (cx <= 0 || cy <= 0 || !HasText())
        return;
    if (m_pMerged) {
        m_nColumns = std::max(cx / GetCharWidth() - mergedwnd::kSourceColumns, 1);
        m_pMerged->OnSize();
        return;
    }
    // A window showing the last screenful keeps showing it when it gets
    // shorter (a caption bar appears, the user shrinks it): otherwise the last
    // lines would drop below the edge and the window stop following the file.
    const bool wasAtEnd = m_pLastPageTop != kNoPos && m_pTop == m_pLastPageTop;
    m_pLastPageTop = kNoPos;
    m_nColumns = cx / GetCharWidth();
    const TextPos last = LastPageTop();
    if (m_pTop > last || (wasAtEnd && m_pTop != last)) {
        m_pTop = last;
        m_pPort->InvalidateAll();
    }
    m_pPort->SetScrollInfo(kSbHorz, kSifRange | kSifPage, 0, m_nLongestLine, m_nColumns, 0, true);
    if (IsFiltering()) {
        // Scaled over the shown bytes: the thumb stands where the shown text above the top is.
        const std::int64_t shown = m_pShown->ShownBytes();
        m_pPort->SetScrollInfo(kSbVert, kSifRange | kSifPage, 0, shown, shown - m_pShown->ShownBytesBefore(last), 0,
                               true);
    } else {
        m_pPort->SetScrollInfo(kSbVert, kSifRange | kSifPage, 0, DataEnd() - DataStart(), DataEnd() - last, 0, true);
    }
    UpdateScrollPositions();
}

void CFileWnd::KeepHorzOffsetInRange()
{
    const TextPos end = DataEnd();
    TextPos p = m_pTop;
    for (int i = VisibleLines() + 2; i > 0 && p < end; --i) {
        ReadLine(p, nullptr, nullptr, 0);
        StepRow(p);
    }
    m_nHorzOffset = std::clamp<std::int64_t>(m_nHorzOffset, 0, std::max<std::int64_t>(m_nLongestLine - m_nColumns, 0));
}

void CFileWnd::UpdateScrollPositions()
{
    if (m_pMerged) {
        m_pMerged->UpdateScroll();
        return;
    }
    if (!HasText())
        return;
    const TextPos top = m_pTop == kNoPos ? DataStart() : m_pTop;
    const std::int64_t pos = IsFiltering() ? m_pShown->ShownBytesBefore(top) : top - DataStart();
    m_pPort->SetScrollInfo(kSbVert, kSifPos, 0, 0, 0, pos, true);
    m_pPort->SetScrollInfo(kSbHorz, kSifPos, 0, 0, 0, m_nHorzOffset, true);
}

void CFileWnd::ScrollLines(int n)
{
    if (n != 0)
        m_pPort->ScrollWindow(0, -n * GetLineHeight());
}

void CFileWnd::OnDestroy()
{
    m_pMerged.reset();     // its files' windows join their workers too
    m_pLineIndex.reset();  // joins its worker, which reads the document's descriptor
    m_pShown.reset();      // the same
    m_pSummaries.reset();  // the same
    m_pAlertScan.reset();  // the same
    if (m_pWatcher) {
        m_pWatcher->RemoveWindow(m_hWnd);
        m_pWatcher.reset();
    }
    if (m_hWnd) {
        platform::UnregisterWindow(m_hWnd);
        m_hWnd = 0;
    }
}
