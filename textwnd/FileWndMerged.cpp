// Merged windows: the rows of several logs by time, painted, scrolled and copied (textwnd/MergedWnd.h).
#include "textwnd/MergedWnd.h"

#include "platform/AppInfo.h"
#include "platform/Win1252.h"

#include "engine/RegexSearch.h"
#include "file/RotationSet.h"
#include "file/StreamSource.h"

#include <algorithm>
#include <cmath>

using platform::COLORREF;

namespace mergedwnd {

char Letter(int file)
{
    return file < 26 ? static_cast<char>('A' + file) : static_cast<char>('a' + (file - 26));
}

COLORREF LetterColor(int file, COLORREF page)
{
    // Hues a golden angle apart, so that any number of files differ and neighbours differ most; deep on a light
    // page, light on a dark one (the high-contrast looks included), so that each reads on the page.
    const double hue = std::fmod(file * 137.508 + 10.0, 360.0);
    const int pageLight =
        (platform::RedOf(page) * 299 + platform::GreenOf(page) * 587 + platform::BlueOf(page) * 114) / 1000;
    const bool dark = pageLight < 128;
    // Two lightness steps, alternating past the first ring of hues, keep letters apart when hues come close.
    const double l = dark ? (file % 2 ? 0.72 : 0.62) : (file % 2 ? 0.30 : 0.38);
    const double s = 0.85;
    const double c = (1 - std::fabs(2 * l - 1)) * s;
    const double hp = hue / 60.0;
    const double x = c * (1 - std::fabs(std::fmod(hp, 2.0) - 1));
    double r = 0, g = 0, b = 0;
    switch (static_cast<int>(hp)) {
    case 0: r = c, g = x; break;
    case 1: r = x, g = c; break;
    case 2: g = c, b = x; break;
    case 3: g = x, b = c; break;
    case 4: r = x, b = c; break;
    default: r = c, b = x; break;
    }
    const double m = l - c / 2;
    auto byte = [&](double v) { return static_cast<std::uint8_t>(std::clamp((v + m) * 255.0 + 0.5, 0.0, 255.0)); };
    return platform::Rgb(byte(r), byte(g), byte(b));
}

}  // namespace mergedwnd

// The files' windows are never shown: no area, no clipboard, no questions (a file's encoding is found, never
// asked).
struct CMergedWnd::NullPort : IFileWndPort {
    WRect GetClientRect() override { return {}; }
    void MeasureText(const platform::LOGFONTW&, const char16_t*, int length, int* cx, int* cy) override
    {
        *cx = length * 8;
        *cy = 16;
    }
    int GetDpiY() override { return 96; }
    void SetScrollInfo(int, unsigned, std::int64_t, std::int64_t, std::int64_t, std::int64_t, bool) override {}
    std::int64_t GetVScrollTrackPos() override { return 0; }
    void InvalidateAll() override {}
    void ScrollWindow(int, int) override {}
    int ShowMessageBox(const std::string&, const std::string&, unsigned) override { return platform::kIdCancel; }
    bool OpenClipboard() override { return false; }
    void EmptyClipboard() override {}
    void SetClipboardData(unsigned, std::vector<std::uint8_t>) override {}
    bool CloseClipboard() override { return false; }
    void SetCapture() override {}
    void ReleaseCapture() override {}
    bool HasCapture() override { return false; }
};

std::intptr_t CMergedSourceWnd::HandleMessage(unsigned msg, std::uintptr_t wParam, std::intptr_t lParam)
{
    const std::intptr_t r = CFileWnd::HandleMessage(msg, wParam, lParam);
    if (msg == platform::WM_SHOWN_SET_NEWS)
        m_pOwner->OnShownNews(m_nIndex);
    if (msg == platform::WM_FILE_CHANGED)
        m_pOwner->OnSourceChanged(m_nIndex);
    else if (msg == platform::WM_SOURCE_PROGRESS)
        m_pOwner->OnPartProgress(m_nIndex);
    return r;
}

// A file's shown lines as its own window walks them: within the scan's runs, and past them what the window
// scans ahead within its budget.
struct CMergedWnd::ShownLines : merged::IShownLines {
    explicit ShownLines(CFileWnd& wnd) : w(wnd) {}
    std::int64_t NextShown(std::int64_t pos) override { return w.NextShown(pos); }
    std::int64_t PrevShownEnd(std::int64_t pos) override
    {
        const TextPos e = w.PrevShownEnd(pos);
        return e == kNoPos ? -1 : e;
    }
    bool FollowsHidden(std::int64_t lineStart) override { return w.RowFollowsHidden(lineStart); }
    bool IsContext(std::int64_t lineStart) override { return w.RowIsContext(lineStart); }
    CFileWnd& w;
};

CMergedWnd::CMergedWnd(CFileWnd& owner) : m_owner(owner) {}

CMergedWnd::~CMergedWnd()
{
    CloseFiles();
}

void CMergedWnd::CloseFiles()
{
    m_pRows.reset();
    m_wanted = {};
    // Each window goes before its document: its workers read the document's descriptor.
    for (File& f : m_files) {
        f.wnd.reset();
        f.doc.reset();
    }
    m_files.clear();
}

// A pipe's text may be shown as soon as it starts, but a merge must know its format first: it joins once the
// pipe has given as much as a format is found from (the sample's size, or lines enough to judge), or has
// ended.
bool CMergedWnd::ReadyToJoin(File& f) const
{
    if (!f.doc->IsReadyToShow())
        return false;
    CStreamSource* source = f.doc->GetSource();
    if (m_bSequence || !source || !source->IsPipe())
        return true;
    const CStreamSource::Progress p = source->GetProgress();
    if (p.state != CStreamSource::State::Running || p.bytes >= static_cast<std::uint64_t>(2 * logformat::kDetectBytes))
        return true;
    constexpr int kLinesToJudge = 16;
    std::vector<std::uint8_t> head(static_cast<std::size_t>(p.bytes));
    CPreadChunkReader reader(f.doc->GetMappedFile()->Handle());
    const std::uint64_t got = reader.Read(head.data(), head.size(), 0);
    return std::count(head.begin(), head.begin() + static_cast<std::ptrdiff_t>(got), '\n') >= kLinesToJudge;
}

bool CMergedWnd::OpenFile(File& f, int index, bool watch, bool countLines)
{
    f.doc = std::make_unique<CTextFileDoc>();
    if (!f.doc->OnOpenDocument(f.path.c_str()) || !f.doc->GetMappedFile())
        return false;
    if (f.path != CTextFileDoc::kStandardInputName)
        f.doc->SetPathName(platform::CleanAbsolutePath(f.path.c_str()).c_str());
    f.wnd = std::make_unique<CMergedSourceWnd>(m_pPort.get(), this, index);
    f.wnd->SetWatchFile(watch);
    f.wnd->SetCountLines(countLines);
    f.wnd->SetCodePage(m_owner.GetCodePage());
    if (CStreamSource* source = f.doc->GetSource()) {
        // Decompressed in the background: the window loads the text once it is whole (OnPartProgress); a
        // merge takes its rows in then.
        source->AddWindow(f.wnd->GetSafeHwnd());
        if (!ReadyToJoin(f)) {
            f.pending = true;
            return true;
        }
    }
    if (!TakeText(f)) {
        f.wnd.reset();
        return false;
    }
    return true;
}

bool CMergedWnd::TakeText(File& f)
{
    if (!f.wnd->LoadFile(f.doc->GetMappedFile(), EncodingAuto) || !f.wnd->HasText())
        return false;
    f.pending = false;
    f.format = f.wnd->RecordFormat();
    f.formats =
        f.wnd->m_pChosenFormats && f.format == f.wnd->ChosenFormat() ? f.wnd->m_pChosenFormats : f.wnd->m_pFormats;
    f.reader = std::make_unique<CPreadChunkReader>(f.doc->GetMappedFile()->Handle());
    return true;
}

bool CMergedWnd::Open(const std::vector<std::string>& paths, bool watch, bool countLines,
                      std::vector<Failure>& failures)
{
    failures.clear();
    if (paths.empty())
        return false;
    if (paths.size() > static_cast<std::size_t>(merged::kMaxSources)) {
        failures.push_back({paths[merged::kMaxSources], Failure::Why::TooMany});
        return false;
    }
    m_pPort = std::make_unique<NullPort>();
    m_bWatch = watch, m_bCountLines = countLines;
    for (std::size_t i = 0; i < paths.size(); ++i) {
        File f;
        f.path = paths[i];
        // Standard input can be read once.
        const bool input = f.path == CTextFileDoc::kStandardInputName;
        if ((input && std::find(paths.begin(), paths.begin() + static_cast<std::ptrdiff_t>(i), f.path) !=
                          paths.begin() + static_cast<std::ptrdiff_t>(i)) ||
            !OpenFile(f, static_cast<int>(i), watch, countLines)) {
            failures.push_back({paths[i], Failure::Why::CannotOpen});
            continue;
        }
        if (!f.pending && !f.format)
            failures.push_back({paths[i], Failure::Why::NoFormat});
        m_files.push_back(std::move(f));
    }
    if (!failures.empty()) {
        CloseFiles();
        return false;
    }
    Rebuild();
    // A merge opens at its first row, as if Home were the last move: a file read later (compressed, or
    // standard input still arriving) with earlier records comes in above it, as the new first row.
    m_top = m_pRows->Home();
    m_bWentHome = true;
    Settle();
    return true;
}

bool CMergedWnd::OpenSequence(const std::vector<std::string>& given, bool watch, bool countLines)
{
    if (given.empty())
        return false;
    // The newest parts when there are more than a merge holds: the current file always.
    const std::size_t first = given.size() > static_cast<std::size_t>(merged::kMaxSources)
                                  ? given.size() - static_cast<std::size_t>(merged::kMaxSources)
                                  : 0;
    const std::vector<std::string> paths(given.begin() + static_cast<std::ptrdiff_t>(first), given.end());
    m_pPort = std::make_unique<NullPort>();
    m_bSequence = true;
    m_bWatch = watch, m_bCountLines = countLines;
    for (std::size_t i = 0; i < paths.size(); ++i) {
        File f;
        f.path = paths[i];
        const bool current = i + 1 == paths.size();
        // An older part waits until the view reaches it (a compressed one is then read in the background);
        // the current file is opened at once, so that its end shows at once.
        if (!current) {
            f.pending = true;
            f.guess = rotation::TextSizeOf(f.path);
        } else if (!OpenFile(f, static_cast<int>(m_files.size()), current && watch, countLines)) {
            if (current) {
                CloseFiles();
                return false;
            }
            continue;
        }
        m_files.push_back(std::move(f));
    }
    Rebuild();
    m_top = m_pRows->End(Rows());
    Settle();
    return true;
}

CMergedWnd::PartsProgress CMergedWnd::Progress() const
{
    PartsProgress p;
    for (std::size_t i = 0; i < m_files.size(); ++i) {
        const File& f = m_files[i];
        if (!f.pending)
            continue;
        if (f.doc && f.doc->GetSource()) {
            p.reading = static_cast<int>(i);
            p.bytes = f.doc->GetSource()->GetProgress().bytes;
        } else {
            ++p.waiting;
        }
    }
    return p;
}

bool CMergedWnd::IsPending(int file) const
{
    return m_files[static_cast<std::size_t>(file)].pending;
}

void CMergedWnd::StartReading(int file)
{
    File& f = m_files[static_cast<std::size_t>(file)];
    if (!f.pending || f.doc)
        return;
    if (!OpenFile(f, file, false, m_bCountLines)) {
        // Unreadable: it stays without rows.
        f.doc.reset();
        f.pending = false;
        f.hidden = true;
        return;
    }
    if (!f.pending)
        Rebuild();
    // The owner's view shows a decompression's progress in its strip.
    if (f.pending && m_owner.m_hNotify)
        platform::PostWindowMessage(m_owner.m_hNotify, platform::WM_SOURCE_PROGRESS, 0, 0);
}

void CMergedWnd::OnPartProgress(int file)
{
    File& f = m_files[static_cast<std::size_t>(file)];
    if (m_owner.m_hNotify)
        platform::PostWindowMessage(m_owner.m_hNotify, platform::WM_SOURCE_PROGRESS, 0, 0);
    if (!f.pending || !f.doc || !ReadyToJoin(f))
        return;
    if (!TakeText(f)) {
        if (m_wanted.file == file)
            m_wanted = {};
        f.pending = false;
        f.hidden = true;  // nothing to show: an empty or damaged part
        if (!m_bSequence)
            m_lateFailures.push_back({f.path, Failure::Why::CannotOpen});
        return;
    }
    // A compressed file of a merge that turns out to have no times has no place among the rows.
    if (!m_bSequence && !f.format) {
        f.hidden = true;
        m_lateFailures.push_back({f.path, Failure::Why::NoFormat});
    }
    Rebuild();
    if (m_wanted.file == file) {
        const int shown = ShownIndex(file);
        if (shown >= 0 && m_wanted.pos < f.end) {
            m_top = m_pRows->Place(m_wanted.micros, shown, f.wnd->LineStartOf(m_wanted.pos));
            m_bWentHome = false;
            Settle();
        }
        m_wanted = {};
    }
    UpdateScroll();
    m_owner.m_pPort->InvalidateAll();
}

void CMergedWnd::ReadReachedParts()
{
    if (!m_bSequence || !m_pRows)
        return;
    // The files of the row above the screen and of the row below it (none: the very start, the very end).
    merged::Top above = m_top;
    const int n = Rows();
    const int aboveFile = m_pRows->PageUp(above, 1) == 1 ? m_shown[static_cast<std::size_t>(above.file)] : -1;
    const std::vector<merged::Row> rows = m_pRows->Rows(m_top, n + 1);
    const int belowFile = static_cast<int>(rows.size()) > n ? m_shown[static_cast<std::size_t>(rows.back().file)]
                                                            : static_cast<int>(m_files.size());
    for (int f = aboveFile + 1; f < std::min(belowFile, Count()); ++f)
        if (m_files[static_cast<std::size_t>(f)].pending)
            StartReading(f);
}

int CMergedWnd::Back(int n)
{
    int moved = 0;
    // In sequence, a step back that meets an older part not opened yet opens it and goes on into it (a
    // compressed one is read in the background: the step ends there until it is).
    for (;;) {
        moved += m_pRows->PageUp(m_top, n - moved);
        if (moved >= n || !m_bSequence)
            return moved;
        const int top = TopFile();
        int f = (top < 0 ? Count() : top) - 1;
        while (f >= 0 && !m_files[static_cast<std::size_t>(f)].pending)
            --f;
        if (f < 0 || m_files[static_cast<std::size_t>(f)].doc)
            return moved;                // nothing above, or a part being read
        m_bAtEnd = m_bWentHome = false;  // the rows made anew keep this top
        StartReading(f);
        if (m_files[static_cast<std::size_t>(f)].pending)
            return moved;
    }
}

void CMergedWnd::OpenPlainParts()
{
    if (!m_bSequence)
        return;
    for (int f = 0; f < Count(); ++f)
        if (m_files[static_cast<std::size_t>(f)].pending && !m_files[static_cast<std::size_t>(f)].doc &&
            !rotation::IsCompressedName(m_files[static_cast<std::size_t>(f)].path))
            StartReading(f);
}

std::int64_t CMergedWnd::PartBytes(int file) const
{
    const File& f = m_files[static_cast<std::size_t>(file)];
    if (f.hidden)
        return 0;
    if (f.pending || !f.wnd)
        return f.guess;
    return std::max<TextPos>(f.end - f.wnd->DataStart(), 0);
}

double CMergedWnd::SetFractionOf(const merged::Top& top) const
{
    if (top.file < 0)
        return 1.0;
    const int topFile = m_shown[static_cast<std::size_t>(top.file)];
    std::int64_t total = 0, before = 0;
    for (int f = 0; f < Count(); ++f) {
        const std::int64_t bytes = PartBytes(f);
        total += bytes;
        if (f < topFile)
            before += bytes;
        else if (f == topFile)
            before +=
                std::clamp<std::int64_t>(top.pos - m_files[static_cast<std::size_t>(f)].wnd->DataStart(), 0, bytes);
    }
    return total > 0 ? static_cast<double>(before) / static_cast<double>(total) : 0.0;
}

merged::Top CMergedWnd::AtSetFraction(double fraction)
{
    std::int64_t total = 0;
    for (int f = 0; f < Count(); ++f)
        total += PartBytes(f);
    if (total <= 0 || fraction <= 0)
        return m_pRows->Home();
    auto left = static_cast<std::int64_t>(std::min(fraction, 1.0) * static_cast<double>(total));
    int file = 0;
    for (; file + 1 < Count() && left >= PartBytes(file); ++file)
        left -= PartBytes(file);
    // The part the thumb points into is opened (a compressed one starts being read: the top stands on the
    // first row after it, and its rows come in above once it is read).
    const double within = PartBytes(file) > 0 ? static_cast<double>(left) / static_cast<double>(PartBytes(file)) : 0;
    StartReading(file);
    const int shown = ShownIndex(file);
    if (shown < 0) {
        for (int after = file + 1; after < Count(); ++after) {
            if (!rotation::IsCompressedName(m_files[static_cast<std::size_t>(after)].path))
                StartReading(after);  // a plain part opens at once
            if (const int s = ShownIndex(after); s >= 0)
                return m_pRows->AtPartByte(s, 0);
        }
        return m_pRows->End(Rows());
    }
    return m_pRows->AtPartByte(shown, static_cast<std::int64_t>(within * static_cast<double>(PartBytes(file))));
}

void CMergedWnd::FindSetAnew()
{
    if (!m_bSequence || m_files.empty())
        return;
    // The place: the end, or the top row's file by its identity (its name moved on) and its position.
    const bool atEnd = m_bAtEnd;
    platform::FileId topId;
    const int topFile = TopFile();
    const bool haveId = topFile >= 0 && m_files[static_cast<std::size_t>(topFile)].doc &&
                        m_files[static_cast<std::size_t>(topFile)].doc->GetOpenedFileId(topId);
    const TextPos pos = m_top.pos;
    const std::int64_t micros = m_top.micros;
    const std::string current = m_files.back().path;
    // A new current file with nothing in it yet cannot be shown: the set stays as it is (its parts still
    // followed), and is found anew at the next move or change, once the file has text.
    {
        CTextFileDoc probe;
        m_bFindAnew = !probe.OnOpenDocument(current.c_str()) || !probe.GetMappedFile();
        if (m_bFindAnew)
            return;
    }
    CloseFiles();
    m_shown.clear();
    m_painted.clear();
    m_nMatchFile = -1;
    m_pMatchStart = m_pMatchEnd = kNoPos;
    if (!OpenSequence(rotation::SetOf(current), m_bWatch, m_bCountLines))
        return;
    if (!atEnd && haveId) {
        for (std::size_t i = 0; i < m_files.size(); ++i) {
            // The part the top row was in, under its new name: opened (a plain one) if it waits.
            platform::FileId id;
            if (!platform::GetFileId(m_files[i].path, id) || id != topId)
                continue;
            if (m_files[i].pending && !rotation::IsCompressedName(m_files[i].path))
                StartReading(static_cast<int>(i));
            const int shown = ShownIndex(static_cast<int>(i));
            if (shown >= 0 && pos < m_files[i].end) {
                m_top = m_pRows->Place(micros, shown, pos);
                Settle();
            }
            break;
        }
    }
    UpdateScroll();
    m_owner.m_pPort->InvalidateAll();
}

CMergedWnd::Place CMergedWnd::PlaceToKeep() const
{
    const int file = m_wanted.file >= 0 ? m_wanted.file : TopFile();
    Place place;
    place.atEnd = m_wanted.file < 0 && m_bAtEnd;
    if (file < 0)
        return place;
    place.path = PathOf(file);
    place.pos = m_wanted.file >= 0 ? m_wanted.pos : m_top.pos;
    place.micros = m_wanted.file >= 0 ? m_wanted.micros : m_top.micros;
    if (!IdentityOf(file, place.id))
        place.id = {};
    return place;
}

bool CMergedWnd::IdentityOf(int file, platform::FileId& id) const
{
    const File& f = m_files[static_cast<std::size_t>(file)];
    return (f.doc && f.doc->GetOpenedFileId(id)) || platform::GetFileId(f.path, id);
}

bool CMergedWnd::ShowAtTop(const std::string& path, const platform::FileId& id, TextPos lineStart, std::int64_t micros)
{
    m_wanted = {};
    // The file by its identity, wherever a rotation moved its name; by its name when the identity is unknown.
    const bool known = !(id == platform::FileId{});
    int i = 0;
    for (platform::FileId there; i < Count(); ++i)
        if (known ? IdentityOf(i, there) && there == id : PathOf(i) == path)
            break;
    if (i == Count() || lineStart < 0)
        return false;
    File& f = m_files[static_cast<std::size_t>(i)];
    // A compressed part is read in the background: its rows are not there to stand on yet, so the place waits
    // for them.
    StartReading(i);
    if (f.pending && f.doc) {
        m_wanted = {i, lineStart, micros};
        return true;
    }
    const int shown = ShownIndex(i);
    if (!m_pRows || shown < 0 || f.pending || lineStart >= f.end)
        return false;
    // On a line's start even when the file was rewritten meanwhile.
    m_top = m_pRows->Place(micros, shown, f.wnd->LineStartOf(lineStart));
    Settle();
    UpdateScroll();
    m_owner.m_pPort->InvalidateAll();
    return true;
}

int CMergedWnd::ShownIndex(int file) const
{
    const auto it = std::find(m_shown.begin(), m_shown.end(), file);
    return it == m_shown.end() ? -1 : static_cast<int>(it - m_shown.begin());
}

void CMergedWnd::Rebuild()
{
    // The place in time survives: the top's file and position when it is still shown, else its time.
    const bool had = m_pRows != nullptr;
    const int topFile = had && m_top.file >= 0 ? m_shown[static_cast<std::size_t>(m_top.file)] : -1;
    const std::int64_t micros = m_top.micros;
    const TextPos pos = m_top.pos;
    const bool atEnd = m_bAtEnd;
    // Home was the last move: rows that join before the top come above it, as the new Home.
    const bool atHome = had && m_bWentHome;
    std::vector<merged::Source> sources;
    m_shown.clear();
    for (std::size_t i = 0; i < m_files.size(); ++i) {
        File& f = m_files[i];
        if (f.hidden || f.pending || !f.wnd)
            continue;
        f.end = f.wnd->DataEnd();
        merged::Source s;
        s.reader = f.reader.get();
        s.form = {f.wnd->GetEncoding(), f.wnd->GetCodePage()};
        s.format = f.format;
        s.ctx = f.wnd->StampContextOfFile();
        s.dataStart = f.wnd->DataStart();
        s.dataEnd = f.end;
        f.shown.reset();
        if (m_bFiltering && f.wnd && f.wnd->IsFiltering()) {
            f.shown = std::make_unique<ShownLines>(*f.wnd);
            s.shown = f.shown.get();
        }
        sources.push_back(s);
        m_shown.push_back(static_cast<int>(i));
    }
    m_pRows = std::make_unique<merged::CMergedRows>(std::move(sources),
                                                    m_bSequence ? merged::Order::Sequence : merged::Order::ByTime);
    if (!had)
        return;
    BeginInput();
    const int shown = topFile >= 0 ? ShownIndex(topFile) : -1;
    if (atHome)
        m_top = m_pRows->Home();
    else if (atEnd)
        m_top = m_pRows->End(Rows());
    else if (shown >= 0 && pos < m_files[static_cast<std::size_t>(topFile)].end)
        m_top = m_pRows->Place(micros, shown, pos);
    else
        m_top = m_pRows->AtTime(micros);
    Settle();
}

void CMergedWnd::SetHidden(int file, bool hidden)
{
    if (file < 0 || file >= Count() || m_files[static_cast<std::size_t>(file)].hidden == hidden)
        return;
    m_files[static_cast<std::size_t>(file)].hidden = hidden;
    Rebuild();
    UpdateScroll();
    m_owner.m_pPort->InvalidateAll();
}

int CMergedWnd::Rows() const
{
    return std::max(m_owner.m_pPort->GetClientRect().Height() / std::max(m_owner.GetLineHeight(), 1), 1);
}

int CMergedWnd::TopFile() const
{
    return m_top.file >= 0 ? m_shown[static_cast<std::size_t>(m_top.file)] : -1;
}

void CMergedWnd::Settle()
{
    const int n = Rows();
    // Fewer than a screenful below the top: the last screenful instead, as a text window never shows less.
    // While a file's scan runs, the last screenful is only that of what it decided so far: the top stays.
    if (static_cast<int>(m_pRows->Rows(m_top, n).size()) < n && !ScansRunning())
        m_top = m_pRows->End(n);
    m_bAtEnd = static_cast<int>(m_pRows->Rows(m_top, n + 1).size()) <= n;
    ReadReachedParts();
}

void CMergedWnd::OnSize()
{
    if (!m_pRows)
        return;
    // A window at its end stays there when it gets shorter (a bar appears, the manager places it): else its last
    // rows would drop below the edge and it would stop following its files.
    if (m_bAtEnd)
        m_top = m_pRows->End(Rows());
    Settle();
    m_owner.m_pPort->SetScrollInfo(kSbVert, kSifRange | kSifPage, 0, mergedwnd::kThumbScale, 0, 0, true);
    m_owner.m_pPort->SetScrollInfo(kSbHorz, kSifRange | kSifPage, 0, m_owner.m_nLongestLine, m_owner.m_nColumns, 0,
                                   true);
    UpdateScroll();
}

void CMergedWnd::UpdateScroll()
{
    if (!m_pRows)
        return;
    const double f = m_bAtEnd ? 1.0 : m_bSequence ? SetFractionOf(m_top) : m_pRows->FractionOf(m_top);
    const auto pos = static_cast<std::int64_t>(f * static_cast<double>(mergedwnd::kThumbScale));
    m_owner.m_pPort->SetScrollInfo(kSbVert, kSifPos, 0, 0, 0, pos, true);
    m_owner.m_pPort->SetScrollInfo(kSbHorz, kSifPos, 0, 0, 0, m_owner.m_nHorzOffset, true);
}

void CMergedWnd::VScroll(int code)
{
    m_wanted = {};  // moved: the place waiting for a part is not wanted any more
    if (m_bFindAnew)
        FindSetAnew();
    if (!m_pRows)
        return;
    BeginInput();
    const int n = Rows();
    const int page = std::max(n - 2, 1);
    const int quarter = std::max(page / 4, 1);
    int moved = 0;
    m_bWentHome = code == kSbTop;
    switch (code) {
    case kSbLineUp: moved = -Back(1); break;
    case kSbLineDown:
        if (!m_bAtEnd)
            moved = m_pRows->PageDown(m_top, 1);
        break;
    case kSbPageUp: moved = -Back(page); break;
    case kSbQuarterBack: moved = -Back(quarter); break;
    case kSbPageDown:
        if (!m_bAtEnd)
            moved = m_pRows->PageDown(m_top, page);
        break;
    case kSbQuarterForward:
        if (!m_bAtEnd)
            moved = m_pRows->PageDown(m_top, quarter);
        break;
    case kSbThumbPosition:
    case kSbThumbTrack: {
        const std::int64_t track =
            std::clamp<std::int64_t>(m_owner.m_pPort->GetVScrollTrackPos(), 0, mergedwnd::kThumbScale);
        m_bWentHome = track == 0;
        const double fraction = static_cast<double>(track) / static_cast<double>(mergedwnd::kThumbScale);
        m_top = track >= mergedwnd::kThumbScale ? m_pRows->End(n)
                : m_bSequence                   ? AtSetFraction(fraction)
                                                : m_pRows->AtFraction(fraction);
        moved = n;
        break;
    }
    case kSbTop:
        m_top = m_pRows->Home();
        moved = n;
        break;
    case kSbBottom:
        m_top = m_pRows->End(n);
        moved = n;
        break;
    default: return;
    }
    Settle();
    if (moved == 1 || moved == -1)
        m_owner.ScrollLines(moved);
    else if (moved != 0)
        m_owner.m_pPort->InvalidateAll();
    if (m_bAtEnd)
        m_owner.m_bFollowStopped = false;
    UpdateScroll();
}

void CMergedWnd::OnSourceChanged(int file)
{
    File& f = m_files[static_cast<std::size_t>(file)];
    if (m_bFindAnew) {
        FindSetAnew();
        return;  // f is gone when the set was found anew
    }
    // The current file cut (a rotation by copy and truncation): its text went to a new older part.
    if (m_bSequence && file + 1 == Count() && m_pRows && !f.pending && f.wnd && f.wnd->DataEnd() < f.end) {
        FindSetAnew();
        if (!m_bFindAnew)
            return;
    }
    if (!m_pRows || f.pending || !f.wnd || !f.wnd->HasText())
        return;
    const TextPos end = f.wnd->DataEnd();
    if (end == f.end)
        return;
    const int shown = ShownIndex(file);
    BeginInput();
    if (end > f.end && shown >= 0 && f.wnd->RecordFormat() == f.format) {
        f.end = end;
        const bool atEnd = m_bAtEnd;
        m_pRows->Grow(shown, end);
        // The top's heads stay where they were: the rows below the old end come after them.
        if (atEnd)
            m_top = m_pRows->End(Rows());
        Settle();
        // Filtered, what the file grew by is decided by its scan, which runs: the window stays at the end.
        m_bAtEnd = m_bAtEnd || (atEnd && ScansRunning());
    } else {
        // Cut, replaced or another format: the rows start afresh from the same time.
        f.format = f.wnd->RecordFormat() ? f.wnd->RecordFormat() : f.format;
        f.formats = f.wnd->m_pFormats;
        Rebuild();
    }
    UpdateScroll();
    m_owner.m_pPort->InvalidateAll();
}

void CMergedWnd::Paint(IFilePainter& painter)
{
    CFileWnd& w = m_owner;
    const WRect rc = w.m_pPort->GetClientRect();
    const int h = w.GetLineHeight();
    const int cw = w.GetCharWidth();
    const int n = rc.Height() / h;
    BeginInput();
    for (File& f : m_files)
        if (f.wnd && !f.pending)
            f.wnd->SyncWithMapping();
    const std::vector<merged::Row> rows = m_pRows ? m_pRows->Rows(m_top, n + 2) : std::vector<merged::Row>{};
    // Filtered: context lines in the colour halfway between text and page, and a thin rule above a row whose
    // file hides lines before it.
    const COLORREF halfway = platform::Rgb((platform::RedOf(w.m_crFont) + platform::RedOf(w.m_crPage)) / 2,
                                           (platform::GreenOf(w.m_crFont) + platform::GreenOf(w.m_crPage)) / 2,
                                           (platform::BlueOf(w.m_crFont) + platform::BlueOf(w.m_crPage)) / 2);
    const int ruleHeight = std::max(1, h / 12);
    painter.SelectFont(w.m_logFont);
    w.m_bSentenceStart = true;
    w.m_paintedRowStarts.clear();  // positions of several files: no marks' dots
    m_painted.clear();
    const std::int64_t hoff = std::max<std::int64_t>(w.m_nHorzOffset, 0);
    const int textLeft = rc.left + mergedwnd::kSourceColumns * cw;
    const std::size_t cap = static_cast<std::size_t>(std::max(rc.right - textLeft, 0) / cw) + 2;
    std::string narrow;
    std::u16string wide;
    // The rules in force (the levels read by each file's own format), and the colours each shows here.
    const CHighlightRules* rules =
        CurrentHighlightRules() && CurrentHighlightRules()->Any() ? CurrentHighlightRules().get() : nullptr;
    std::vector<std::pair<COLORREF, COLORREF>> ruleColors;
    if (rules)
        for (const HighlightRule& r : rules->Rules())
            ruleColors.push_back(w.RuleColors(r));
    for (int i = 0; i < n + 2; ++i) {
        const int rowTop = rc.top + i * h;
        const int rowBottom = rowTop + h;
        const WRect row{rc.left, rowTop, rc.right, rowBottom};
        PaintedRow pr;
        std::int64_t hl[2] = {0, 0};
        std::vector<int> rowRules;
        narrow.clear();
        wide.clear();
        bool wideOut = false, decoded = false;
        if (i < static_cast<int>(rows.size())) {
            const merged::Row& r = rows[static_cast<std::size_t>(i)];
            pr.file = m_shown[static_cast<std::size_t>(r.file)];
            pr.start = r.start;
            pr.next = r.next;
            pr.followsHidden = r.followsHidden;
            pr.context = r.context;
            CFileWnd& src = *m_files[static_cast<std::size_t>(pr.file)].wnd;
            decoded = src.DecodesUtf8();
            wideOut = decoded || src.m_lines.IsWide();
            LineColumns columns;
            columns.firstColumn = hoff;
            columns.marks[0] = pr.file == m_nMatchFile ? m_pMatchStart : kNoPos;
            columns.marks[1] = pr.file == m_nMatchFile ? m_pMatchEnd : kNoPos;
            TextPos p = r.start;
            src.ReadLine(p, wideOut ? nullptr : &narrow, wideOut ? &wide : nullptr, cap, &columns);
            w.NoteLineLength(columns.width + (p - columns.contentEnd) / src.m_lines.Unit());
            rowRules.clear();
            if (rules)
                src.LineRuleColumns(*rules, r.start, columns, hoff, cap, rowRules);
            // The match's columns on this row (not for decoded text, whose columns are no indices).
            if (pr.file == m_nMatchFile && !decoded && m_pMatchStart < r.next && m_pMatchEnd > r.start) {
                hl[0] = std::max<std::int64_t>(columns.markColumns[0] - hoff, 0);
                hl[1] = std::max<std::int64_t>(columns.markColumns[1] - hoff, 0);
            }
        }
        m_painted.push_back(pr);
        if (!painter.RectVisible(row))
            continue;
        const RuleAbove ruleAbove{
            painter, {rc.left, rowTop, rc.right, rowTop + ruleHeight}, halfway, i > 0 && pr.followsHidden};
        const COLORREF text = pr.context ? halfway : w.m_crFont;
        const WRect letterRect{rc.left, rowTop, textLeft, rowBottom};
        if (pr.file >= 0) {
            const std::uint8_t letter[2] = {static_cast<std::uint8_t>(mergedwnd::Letter(pr.file)), ' '};
            painter.TextOutNarrow(rc.left, rowBottom, letterRect, letter, 2,
                                  mergedwnd::LetterColor(pr.file, w.m_crPage), w.m_crPage);
        } else {
            painter.FillSolidRect(letterRect, w.m_crPage);
        }
        const WRect opaque{textLeft, rowTop, rc.right, rowBottom};
        // The rules' colour of each column; decoded text takes a whole-line rule (a record's level) only.
        const bool ruled = rules && pr.file >= 0 && !rowRules.empty();
        auto ruleAt = [&](std::int64_t k) {
            return ruled && k >= 0 && k < static_cast<std::int64_t>(rowRules.size())
                       ? rowRules[static_cast<std::size_t>(k)]
                       : -1;
        };
        auto colours = [&](bool match, int rule) {
            if (match)
                return std::pair<COLORREF, COLORREF>{w.m_crPage, w.m_crFont};
            return rule >= 0 ? ruleColors[static_cast<std::size_t>(rule)]
                             : std::pair<COLORREF, COLORREF>{text, w.m_crPage};
        };
        if (decoded && !wide.empty()) {
            w.ApplyTextCaseDecoded(wide);
            const int rule =
                ruleAt(0) >= 0 && rules->Rules()[static_cast<std::size_t>(ruleAt(0))].scope != RuleScope::Match
                    ? ruleAt(0)
                    : -1;
            const auto [fg, bg] = colours(false, rule);
            if (rules)
                painter.NoteRule(rule);
            painter.TextOutCells(textLeft, rowBottom, opaque, wide.data(), wide.size(), fg, bg);
        } else if ((wideOut && !wide.empty()) || (!wideOut && !narrow.empty())) {
            if (wideOut)
                w.ApplyTextCase(wide);
            else
                w.ApplyTextCase(narrow);
            // Runs of columns of one look: the match in inverse video, else a rule's colours, else plain.
            const auto len = static_cast<std::int64_t>(wideOut ? wide.size() : narrow.size());
            auto match = [&](std::int64_t k) { return hl[0] <= k && k < hl[1]; };
            for (std::int64_t k = 0; k < len;) {
                std::int64_t e = k + 1;
                while (e < len && match(e) == match(k) && ruleAt(e) == ruleAt(k))
                    ++e;
                const int x = textLeft + static_cast<int>(k) * cw;
                const WRect run{x, rowTop, rc.right, rowBottom};
                const auto [fg, bg] = colours(match(k), ruleAt(k));
                if (rules)
                    painter.NoteRule(match(k) ? -1 : ruleAt(k));
                const auto from = static_cast<std::size_t>(k);
                const auto count = static_cast<std::size_t>(e - k);
                if (wideOut)
                    painter.TextOutWide(x, rowBottom, run, wide.data() + from, count, fg, bg);
                else
                    painter.TextOutNarrow(x, rowBottom, run,
                                          reinterpret_cast<const std::uint8_t*>(narrow.data()) + from, count, fg, bg);
                k = e;
            }
            // After the text: a whole-line rule's background to the right edge, else the page.
            const int rest = ruleAt(len);
            const bool whole = rest >= 0 && rules->Rules()[static_cast<std::size_t>(rest)].scope != RuleScope::Match;
            const std::uint8_t none = ' ';
            const int after = textLeft + static_cast<int>(len) * cw;
            painter.TextOutNarrow(after, rowBottom, {after, rowTop, rc.right, rowBottom}, &none, 0, w.m_crFont,
                                  whole ? ruleColors[static_cast<std::size_t>(rest)].second : w.m_crPage);
        } else {
            const std::uint8_t blank = ' ';
            painter.TextOutNarrow(textLeft, rowBottom, opaque, &blank, 1, w.m_crFont, w.m_crPage);
        }
    }
}

void CMergedWnd::CopyScreen()
{
    CFileWnd& w = m_owner;
    if (!m_pRows)
        return;
    // The rows of the screen (and the partial one below it), each as its file holds it, without the letter:
    // narrow text stays narrow when every row is; otherwise every row goes as UTF-16.
    const int n = Rows();
    const std::vector<merged::Row> rows = m_pRows->Rows(m_top, n + 1);
    std::vector<std::pair<unsigned, std::vector<std::uint8_t>>> blocks;
    bool anyWide = false;
    for (const merged::Row& r : rows) {
        CFileWnd& src = *m_files[static_cast<std::size_t>(m_shown[static_cast<std::size_t>(r.file)])].wnd;
        src.SyncWithMapping();
        std::vector<std::uint8_t> block;
        unsigned format = 0;
        const TextPos next = std::min<TextPos>(r.next, src.DataEnd());
        if (!src.ClipboardBlock(r.start, static_cast<std::uint64_t>(std::max<TextPos>(next - r.start, 0)), block,
                                format)) {
            w.m_pPort->ShowMessageBox("Couldn't allocate memory to copy to clipboard", kApplicationTitle,
                                      platform::kMbOk);
            return;
        }
        block.resize(block.size() - 2);  // each block ends in its terminator
        anyWide = anyWide || format == platform::kCfUnicodeText;
        blocks.emplace_back(format, std::move(block));
    }
    std::vector<std::uint8_t> all;
    for (const auto& [format, block] : blocks) {
        if (!anyWide || format == platform::kCfUnicodeText) {
            all.insert(all.end(), block.begin(), block.end());
            continue;
        }
        for (const std::uint8_t b : block) {
            const char16_t u = platform::Win1252ToUnicode(b);
            const auto* q = reinterpret_cast<const std::uint8_t*>(&u);
            all.insert(all.end(), q, q + 2);
        }
    }
    all.insert(all.end(), 2, 0);
    w.PutBlockOnClipboard(anyWide ? platform::kCfUnicodeText : platform::kCfText, std::move(all));
}

std::vector<std::int64_t> CMergedWnd::RowLineNumbers()
{
    const int rows = Rows() + 1;
    std::vector<std::int64_t> out(static_cast<std::size_t>(rows), 0);
    for (std::size_t i = 0; i < m_painted.size() && i < out.size(); ++i)
        if (m_painted[i].file >= 0)
            out[i] = m_files[static_cast<std::size_t>(m_painted[i].file)].wnd->LineNumberOf(m_painted[i].start);
    return out;
}

bool CMergedWnd::GoToLine(std::int64_t n)
{
    m_wanted = {};
    m_bWentHome = false;
    const int file = TopFile();
    if (file < 0)
        return false;
    CFileWnd& src = *m_files[static_cast<std::size_t>(file)].wnd;
    BeginInput();
    // The file's own window finds the line (filtered: the nearest shown line at or after it); the merge
    // places that line of that file on top.
    if (!src.GoToLine(n))
        return false;
    const TextPos pos = src.GetTop();
    const int shown = ShownIndex(file);
    const merged::Row r = m_pRows->Rows(m_pRows->Place(merged::kVeryStart, shown, pos), 1).front();
    m_top = m_pRows->Place(r.micros, shown, pos);
    Settle();
    UpdateScroll();
    m_owner.m_pPort->InvalidateAll();
    return true;
}

CFileWnd::TimeJump CMergedWnd::GoToMicros(std::int64_t micros)
{
    m_wanted = {};
    m_bWentHome = false;
    if (!m_pRows)
        return CFileWnd::TimeJump::NoTimestamps;
    OpenPlainParts();
    const merged::Top home = m_pRows->Home();
    BeginInput();
    const merged::Top at = m_pRows->AtTime(micros);
    CFileWnd::TimeJump jump = CFileWnd::TimeJump::Shown;
    if (at.file < 0)
        jump = CFileWnd::TimeJump::AfterLast;
    else if (home.file >= 0 && micros < home.micros)
        jump = CFileWnd::TimeJump::BeforeFirst;
    m_top = at.file < 0 ? m_pRows->End(Rows()) : at;
    Settle();
    UpdateScroll();
    m_owner.m_pPort->InvalidateAll();
    return jump;
}

int CMergedWnd::Find(bool ignoreCase, const std::u16string& text, bool restart, bool forward)
{
    m_wanted = {};
    if (!m_pRows)
        return 1;
    OpenPlainParts();
    // Where each file's search starts: the heads of the last match's place (just after it in its file, or at
    // it backwards), or of the top.
    merged::Top from = m_top;
    BeginInput();
    const int matchShown = m_nMatchFile >= 0 ? ShownIndex(m_nMatchFile) : -1;
    if (!restart && matchShown >= 0) {
        CFileWnd& src = *m_files[static_cast<std::size_t>(m_nMatchFile)].wnd;
        const TextPos line = src.LineStartOf(m_pMatchStart);
        const merged::Row r = m_pRows->Rows(m_pRows->Place(m_top.micros, matchShown, line), 1).front();
        from = m_pRows->Place(r.micros, matchShown, line);
        from.heads[static_cast<std::size_t>(matchShown)] = forward ? m_pMatchEnd : m_pMatchStart;
    }
    struct Hit {
        int shown = -1;
        TextPos at = kNoPos, end = kNoPos, line = kNoPos;
        std::int64_t micros = 0;
    } best;
    auto consider = [&](int s, TextPos at, CFileWnd& src, std::int64_t units) {
        const TextPos line = src.LineStartOf(at);
        const merged::Row r = m_pRows->Rows(m_pRows->Place(m_top.micros, s, line), 1).front();
        const bool better =
            best.shown < 0 || (forward ? (r.micros < best.micros || (r.micros == best.micros && s < best.shown))
                                       : (r.micros > best.micros || (r.micros == best.micros && s > best.shown)));
        if (better)
            best = {s, at, at + units * src.CodeUnitSize(), line, r.micros};
    };
    for (int pass = 0; pass < 2 && best.shown < 0; ++pass) {
        for (int s = 0; s < static_cast<int>(m_shown.size()); ++s) {
            CFileWnd& src = *m_files[static_cast<std::size_t>(m_shown[static_cast<std::size_t>(s)])].wnd;
            src.SetRegularExpression(m_owner.IsRegularExpression());
            const std::int64_t length = src.BeginSearch(ignoreCase, text, true);
            if (!src.m_strPatternError.empty()) {
                m_owner.m_strPatternError = src.m_strPatternError;
                return 2;
            }
            const TextPos head = std::clamp(from.heads[static_cast<std::size_t>(s)], src.DataStart(), src.DataEnd());
            // The second pass goes round: from the start (the end, backwards) of every file.
            const TextPos m = forward     ? pass == 0 ? src.SearchForward(text, head, src.DataEnd())
                                                      : src.SearchForward(text, src.DataStart(), head)
                                  : pass == 0 ? src.SearchBackward(text, src.DataStart(), head)
                                          : src.SearchBackward(text, head, src.DataEnd());
            if (src.m_bSearchCancel.load(std::memory_order_relaxed))
                return 3;
            if (m != kNoPos)
                consider(s, m, src, src.m_bFindRegex ? src.m_nFoundUnits : length);
        }
    }
    m_owner.m_strPatternError.clear();
    if (best.shown < 0) {
        m_nMatchFile = -1;
        m_pMatchStart = m_pMatchEnd = kNoPos;
        m_owner.m_pPort->InvalidateAll();
        return 1;
    }
    m_bWentHome = false;
    m_nMatchFile = m_shown[static_cast<std::size_t>(best.shown)];
    m_pMatchStart = best.at;
    m_pMatchEnd = best.end;
    // The match's row about the middle of the screen, as the window shows a match.
    m_top = m_pRows->Place(best.micros, best.shown, best.line);
    m_pRows->PageUp(m_top, Rows() / 2);
    Settle();
    UpdateScroll();
    m_owner.m_pPort->InvalidateAll();
    return 0;
}

bool CMergedWnd::ShowRow(int file, TextPos lineStart, TextPos matchStart, TextPos matchEnd)
{
    m_wanted = {};
    const int shown = file >= 0 && file < Count() ? ShownIndex(file) : -1;
    if (!m_pRows || shown < 0)
        return false;
    BeginInput();
    m_nMatchFile = matchStart == kNoPos ? -1 : file;
    m_pMatchStart = matchStart;
    m_pMatchEnd = matchEnd;
    // The row's time is its record's: the row read from a place of its own file first.
    const merged::Top at = m_pRows->Place(merged::kVeryStart, shown, lineStart);
    const std::vector<merged::Row> row = m_pRows->Rows(at, 1);
    std::int64_t micros = at.micros;
    if (!row.empty() && row.front().file == shown && row.front().start == lineStart) {
        micros = row.front().micros;
    } else {
        // A hidden line: its record's time, as its file's window reads it.
        CFileWnd& src = *m_files[static_cast<std::size_t>(file)].wnd;
        src.m_pTop = lineStart;
        const logformat::Record r = src.TopRecord();
        micros = r.timed ? r.micros : merged::kVeryStart;
    }
    m_top = m_pRows->Place(micros, shown, lineStart);
    m_pRows->PageUp(m_top, Rows() / 2);
    Settle();
    UpdateScroll();
    m_owner.m_pPort->InvalidateAll();
    return true;
}

logformat::Record CMergedWnd::TopRecord()
{
    const int file = TopFile();
    if (file < 0)
        return {};
    CFileWnd& src = *m_files[static_cast<std::size_t>(file)].wnd;
    src.m_pTop = m_top.pos;
    return src.TopRecord();
}

void CMergedWnd::BeginInput()
{
    // A key press or a paint reads at most the window's budget, shared by the files that scan ahead.
    int filtering = 0;
    for (const File& f : m_files)
        filtering += f.shown ? 1 : 0;
    for (File& f : m_files)
        if (f.shown)
            f.wnd->m_nAheadLeft = CFileWnd::kAheadBudget / std::max(filtering, 1);
}

bool CMergedWnd::ScansRunning() const
{
    for (const File& f : m_files)
        if (f.shown && f.wnd->GetShownStatus().running)
            return true;
    return false;
}

bool CMergedWnd::IsScanningAhead() const
{
    for (const File& f : m_files)
        if (f.shown && f.wnd->IsScanningAhead())
            return true;
    return false;
}

void CMergedWnd::SetFilterStack(const shownset::FilterStack& stack)
{
    // A file without a window yet (not opened) gets the stack when it opens.
    for (File& f : m_files)
        if (f.wnd)
            f.wnd->SetFilterStack(stack);
    if (m_pRows)
        Rebuild();
    UpdateScroll();
    m_owner.m_pPort->InvalidateAll();
}

void CMergedWnd::SetShowOnlyFiltered(bool on)
{
    for (File& f : m_files)
        if (f.wnd)
            f.wnd->SetShowOnlyFiltered(on);
    m_bFiltering = on;
    // Rebuild keeps the place: on, the first shown row at or after the top; off, the top row itself.
    if (m_pRows)
        Rebuild();
    UpdateScroll();
    m_owner.m_pPort->InvalidateAll();
}

shownset::ShownStatus CMergedWnd::ShownStatus() const
{
    shownset::ShownStatus sum;
    int counted = 0;
    for (const File& f : m_files) {
        if (f.hidden || !f.wnd)
            continue;
        const shownset::ShownStatus s = f.wnd->GetShownStatus();
        sum.shownLines += s.shownLines;
        sum.totalLines += s.totalLines;
        sum.runs += s.runs;
        sum.scannedTo += s.scannedTo;
        sum.percent += s.percent;
        sum.running = sum.running || s.running;
        sum.shortRead = sum.shortRead || s.shortRead;
        if (sum.ruleCounts.size() < s.ruleCounts.size())
            sum.ruleCounts.resize(s.ruleCounts.size(), 0);
        for (std::size_t i = 0; i < s.ruleCounts.size(); ++i)
            sum.ruleCounts[i] += s.ruleCounts[i];
        // One file's message for a rule is every file's: the pattern is the same.
        if (sum.ruleErrors.size() < s.ruleErrors.size())
            sum.ruleErrors.resize(s.ruleErrors.size());
        for (std::size_t i = 0; i < s.ruleErrors.size(); ++i)
            if (sum.ruleErrors[i].empty())
                sum.ruleErrors[i] = s.ruleErrors[i];
        ++counted;
    }
    sum.percent = counted ? sum.percent / counted : 0;
    return sum;
}

void CMergedWnd::WaitShownSet()
{
    for (File& f : m_files)
        if (f.wnd)
            f.wnd->WaitShownSet();
    OnShownNews(-1);
}

void CMergedWnd::OnShownNews(int)
{
    if (m_pRows && m_bFiltering) {
        // What a file scanned ahead is decided by its scan now, and a head that met the end of what was
        // decided may have rows after it: the heads are found again from the top's place.
        BeginInput();
        const bool atEnd = m_bAtEnd;
        if (atEnd)
            m_top = m_pRows->End(Rows());
        else if (m_top.file >= 0)
            m_top = m_pRows->Place(m_top.micros, m_top.file, m_top.pos);
        Settle();
        m_bAtEnd = m_bAtEnd || (atEnd && ScansRunning());
        UpdateScroll();
        m_owner.m_pPort->InvalidateAll();
    }
    if (m_owner.m_pListener)
        m_owner.m_pListener->OnShownSetNews();
}

// --- The window's side -------------------------------------------------------------

CFileWnd* CFileWnd::TopRowWindow()
{
    const int file = m_pMerged ? m_pMerged->TopFile() : -1;
    if (file < 0)
        return this;
    CFileWnd& src = m_pMerged->WindowOf(file);
    src.SyncWithMapping();
    src.m_pTop = m_pMerged->Top().pos;
    return &src;
}

void CFileWnd::SetMerged(std::unique_ptr<CMergedWnd> merged)
{
    m_pMerged = std::move(merged);
    m_pSelAnchor = m_pSelCaret = kNoPos;
    const WRect rc = m_pPort->GetClientRect();
    OnSize(rc.Width(), rc.Height());
    m_pPort->InvalidateAll();
}
