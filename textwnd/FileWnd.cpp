// The text source (encoding, loading, reloading), font metrics, the line
// model and the window's layout.
#include "textwnd/FileWnd.h"

#include "file/FileWatcher.h"
#include "platform/AppInfo.h"
#include "platform/File.h"
#include "textwnd/LineScan.h"
#include "textwnd/UnicodeCase.h"

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

static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__, "16-bit units are read as little-endian host values");

using linescan::Load16;

namespace {

constexpr std::uint8_t kCR = 0x0D;
constexpr std::uint8_t kLF = 0x0A;

}  // namespace

CFileWnd::CFileWnd(IFileWndPort* port) : m_pPort(port)
{
    m_logFont.lfHeight = 8;
    const char16_t face[] = u"Courier";
    std::memcpy(m_logFont.lfFaceName, face, sizeof face);
    m_hWnd = platform::RegisterWindow(this);
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
    return m_pMappedFile ? m_pMappedFile->View() : nullptr;
}

bool CFileWnd::HasText() const
{
    return ViewBytes() != nullptr && EncodingHasLines(m_nEncoding);
}

TextPos CFileWnd::DataStart() const
{
    return ViewBytes() ? static_cast<TextPos>(m_nBomLength) : kNoPos;
}

TextPos CFileWnd::DataEnd() const
{
    if (!ViewBytes())
        return kNoPos;
    const unsigned unit = EncodingUnitSize(m_nEncoding);
    const std::uint64_t size = LiveSize();
    if (unit == 0 || size <= m_nBomLength)
        return static_cast<TextPos>(m_nBomLength);
    // Whole code units only: the odd trailing byte of a UTF-16 file is never read.
    return static_cast<TextPos>(m_nBomLength + (size - m_nBomLength) / unit * unit);
}

unsigned CFileWnd::CodeUnitSize()
{
    if (m_nEncoding == EncodingUtf16LE) {
        m_chCR = 0x000D, m_chLF = 0x000A, m_chTab = 0x0009;
    } else if (m_nEncoding == EncodingUtf16BE) {
        m_chCR = 0x0D00, m_chLF = 0x0A00, m_chTab = 0x0900;
    }
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
    const std::uint8_t* v = ViewBytes();
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
    CodeUnitSize();  // sets the 16-bit break units for the UTF-16 encodings
    return effective;
}

void CFileWnd::SyncWithMapping()
{
    if (!m_pMappedFile)
        return;
    const std::uint64_t size = LiveSize();
    if (size == m_nSeenSize)
        return;
    m_nSeenSize = size;
    m_nFirstHole = kNoPos;
    if (!HasText())
        return;  // kept, not read; clamped once there is text again
    const TextPos end = DataEnd();
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
        m_nFirstHole = kNoPos;
        if (mapping) {
            m_pMappedFile = mapping;
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
        const bool atEnd = m_pTop == m_pLastPageTop;

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
                m_pWatcher = std::make_unique<CFileWatcher>();
                m_pWatcher->AddWindow(m_pMappedFile->Path(), m_hWnd);
            }
        }

        if (!HasText()) {
            // The re-mapping failed (the file shrank to nothing): show the page
            // colour, keep the place, and remember whether we were following
            // so that the next growth of the file shows its end again.
            m_pLastPageTop = atEnd ? m_pTop : kNoPos;
            m_pPort->InvalidateAll();
            return true;
        }

        const TextPos start = DataStart();
        const TextPos end = DataEnd();
        const TextPos last = LastPageTop();
        m_pTop = atEnd || m_pTop == kNoPos ? last : std::min(m_pTop, last);
        for (TextPos* p : {&m_pHighlightStart, &m_pHighlightEnd, &m_pFindAnchor, &m_pLastMatch})
            *p = *p == kNoPos ? start : std::min(*p, end);
        UpdateScrollPositions();
        m_pPort->InvalidateAll();
        return true;
    } catch (...) {
        m_pMappedFile = nullptr;
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

// Called by ReadLine only (see FileWndRead.cpp for why).
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
    const TextPos end = DataEnd();
    const TextPos limit = std::min(last, end);
    const std::uint8_t* v = ViewBytes();
    const TextPos start = p;
    TextPos q;
    if (IsWide()) {
        q = linescan::FindAny16(v + p, v + limit, 0, m_chCR, m_chLF) - v;
        if (q < limit) {
            const std::uint16_t c = Load16(v + q);
            if (c != 0) {
                const std::uint16_t other = c == m_chCR ? m_chLF : m_chCR;
                q += q + 4 <= end && Load16(v + q + 2) == other ? 4 : 2;
            }
        }
    } else {
        q = linescan::FindAny8(v + p, v + limit, 0, kCR, kLF) - v;
        if (q < limit && v[q] != 0) {
            const std::uint8_t other = v[q] == kCR ? kLF : kCR;
            q += q + 1 < end && v[q + 1] == other ? 2 : 1;
        }
    }
    // Backward pairing can put the last screenful between the two units of a
    // pair that forward pairing steps over whole (a LF | CR LF): stop at it,
    // so that a window brought to the end by any line step follows the file.
    p = std::min(q, last);
    return p != start;
}

TextPos CFileWnd::FirstHole()
{
    if (m_nFirstHole == kNoPos)
        m_nFirstHole = m_pMappedFile ? platform::FirstHole(m_pMappedFile->Handle()) : INT64_MAX;
    return m_nFirstHole;
}

bool CFileWnd::HoldsData(TextPos from, TextPos to)
{
    return to <= FirstHole() || !platform::IsHole(m_pMappedFile->Handle(), from, to);
}

TextPos CFileWnd::FindLastBreak(TextPos from, TextPos to)
{
    // A first chunk, read in place, holds the usual line. A run without a
    // break beyond it is a huge line or zeros (a preallocated log, or one cut
    // short by a crash): it is read in chunks through a buffer, at memory
    // speed, and none of its pages is mapped in (they would stay resident).
    constexpr TextPos kNearChunk = 16 << 10;
    constexpr TextPos kLongChunk = 1 << 20;
    const std::uint8_t* v = ViewBytes();
    const platform::FileHandle fd = m_pMappedFile->Handle();
    const bool wide = IsWide();
    const TextPos unit = wide ? 2 : 1;
    std::unique_ptr<std::uint8_t[]> buffer;
    TextPos chunk = kNearChunk;
    TextPos e = to;
    while (e > from) {
        if (e > FirstHole()) {
            // A hole holds no break: skip it unread, but keep the unit that
            // its start may cut (a data byte and a zero can form a break).
            const TextPos h = platform::HoleStartBefore(fd, e, from);
            const TextPos kept = from + (h - from + unit - 1) / unit * unit;
            if (kept < e) {
                e = kept;
                continue;
            }
        }
        TextPos c = std::max(from, (e - unit) / chunk * chunk);
        c += (c - from) % unit;  // on the unit grid, which an odd mark length shifts
        const auto n = static_cast<std::uint64_t>(e - c);
        const std::uint8_t* b = v + c;
        if (chunk == kLongChunk) {
            if (!buffer)
                buffer = std::make_unique_for_overwrite<std::uint8_t[]>(kLongChunk);
            // Bytes the file no longer holds read as zeros, as in the mapping.
            const std::uint64_t got = platform::ReadAt(fd, buffer.get(), n, c);
            std::memset(buffer.get() + got, 0, n - got);
            b = buffer.get();
        }
        const std::uint8_t* r =
            wide ? linescan::FindLastAny16(b, b + n, m_chCR, m_chLF) : linescan::FindLastAny8(b, b + n, kCR, kLF);
        if (r)
            return c + (r - b);
        chunk = kLongChunk;
        e = c;
    }
    return kNoPos;
}

bool CFileWnd::IsInsidePair(TextPos p) const
{
    const bool wide = IsWide();
    const TextPos unit = wide ? 2 : 1;
    const TextPos start = DataStart();
    if (p - unit < start || p + unit > DataEnd())
        return false;
    const std::uint8_t* v = ViewBytes();
    const std::uint16_t cr = wide ? m_chCR : kCR;
    const std::uint16_t lf = wide ? m_chLF : kLF;
    auto pairAt = [&](TextPos i) {
        const std::uint16_t a = wide ? Load16(v + i) : v[i];
        const std::uint16_t b = wide ? Load16(v + i + 2) : v[i + 1];
        return (a == cr && b == lf) || (a == lf && b == cr);
    };
    if (!pairAt(p - unit))
        return false;
    // Forward reading pairs a run of alternating breaks from its first unit:
    // p - unit opens a pair when it lies an even number of units into the run.
    TextPos s = p - unit;
    while (s - unit >= start && pairAt(s - unit))
        s -= unit;
    return (p - unit - s) / unit % 2 == 0;
}

bool CFileWnd::PrevLineStart(TextPos& p)
{
    const TextPos start = DataStart();
    if (!HasText() || p <= start)
        return false;
    p = std::min(p, DataEnd());
    const std::uint8_t* v = ViewBytes();
    const TextPos unit = IsWide() ? 2 : 1;
    TextPos q = p;
    if (HoldsData(p - unit, p)) {
        if (IsWide()) {
            auto isBreak = [&](TextPos at) {
                const std::uint16_t u = Load16(v + at);
                return u == m_chCR || u == m_chLF;
            };
            if (p - start >= 4 && isBreak(p - 4) && isBreak(p - 2) && Load16(v + p - 4) != Load16(v + p - 2))
                q = p - 4;
            else if (isBreak(p - 2))
                q = p - 2;
        } else {
            auto isBreak = [&](TextPos at) { return v[at] == kCR || v[at] == kLF; };
            if (p - start >= 2 && isBreak(p - 2) && isBreak(p - 1) && v[p - 2] != v[p - 1])
                q = p - 2;
            else if (isBreak(p - 1))
                q = p - 1;
        }
    }
    const TextPos r = FindLastBreak(start, q);
    q = r == kNoPos ? start : r + unit;
    p = q;
    return true;
}

TextPos CFileWnd::LineStartOf(TextPos p)
{
    const TextPos start = DataStart();
    if (!HasText() || p <= start)
        return p == kNoPos ? p : std::max(p, start);
    p = std::min(p, DataEnd());
    const TextPos unit = IsWide() ? 2 : 1;
    // Between the two units of a pair: the line is the one that the pair ends.
    if (HoldsData(p - unit, p + unit) && IsInsidePair(p))
        p -= unit;
    const TextPos r = FindLastBreak(start, p);
    return r == kNoPos ? start : r + unit;
}

TextPos CFileWnd::LineLastOf(TextPos p)
{
    const TextPos end = DataEnd();
    if (!HasText() || p == kNoPos)
        return end;
    const TextPos start = DataStart();
    p = std::clamp(p, start, end);
    const std::uint8_t* v = ViewBytes();
    // A break at the very start leaves no unit before it: the line is empty.
    if (IsWide()) {
        const TextPos q = linescan::FindAny16(v + p, v + end, m_chCR, m_chLF, m_chLF) - v;
        return q < end ? std::max(q - 2, start) : end;
    }
    const TextPos q = linescan::FindAny8(v + p, v + end, kCR, kLF, kLF) - v;
    return q < end ? std::max(q - 1, start) : end;
}

TextPos CFileWnd::LastPageTop()
{
    if (!HasText())
        return kNoPos;
    if (m_pLastPageTop != kNoPos)
        return m_pLastPageTop;
    TextPos p = DataEnd();
    for (int k = VisibleLines(); k > 0; --k)
        if (!PrevLineStart(p))
            break;
    m_pLastPageTop = p;
    return p;
}

// --- Layout ----------------------------------------------------------------------

void CFileWnd::OnSize(int cx, int cy)
{
    SyncWithMapping();
    if (cx <= 0 || cy <= 0 || !HasText())
        return;
    m_pLastPageTop = kNoPos;
    m_nColumns = cx / GetCharWidth();
    const TextPos last = LastPageTop();
    if (m_pTop > last) {
        m_pTop = last;
        m_pPort->InvalidateAll();
    }
    m_pPort->SetScrollInfo(kSbHorz, kSifRange | kSifPage, 0, m_nLongestLine, m_nColumns, 0, true);
    m_pPort->SetScrollInfo(kSbVert, kSifRange | kSifPage, 0, DataEnd() - DataStart(), DataEnd() - last, 0, true);
    UpdateScrollPositions();
}

void CFileWnd::UpdateScrollPositions()
{
    if (!HasText())
        return;
    const TextPos top = m_pTop == kNoPos ? DataStart() : m_pTop;
    m_pPort->SetScrollInfo(kSbVert, kSifPos, 0, 0, 0, top - DataStart(), true);
    m_pPort->SetScrollInfo(kSbHorz, kSifPos, 0, 0, 0, m_nHorzOffset, true);
}

void CFileWnd::ScrollLines(int n)
{
    if (n != 0)
        m_pPort->ScrollWindow(0, -n * GetLineHeight());
}

void CFileWnd::OnDestroy()
{
    if (m_pWatcher) {
        m_pWatcher->RemoveWindow(m_hWnd);
        m_pWatcher.reset();
    }
    if (m_hWnd) {
        platform::UnregisterWindow(m_hWnd);
        m_hWnd = 0;
    }
}
