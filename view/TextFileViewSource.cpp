// What the view does when the file behind its document changes identity: the
// name it was opened by now names another file (a rotated log).
#include "file/MemoryMappedFile.h"
#include "platform/File.h"
#include "textwnd/FileWnd.h"
#include "textwnd/MergedWnd.h"
#include "view/CommandIds.h"
#include "view/DisplayPreferences.h"
#include "view/StringTable.h"
#include "view/TextFileView.h"

#include <cstdio>
#include <iterator>
#include <string>
#include <utility>

namespace {

std::string Format(const char* format, const std::string& a, const std::string& b = {})
{
    std::string out = format;
    const std::size_t first = out.find("%s");
    out.replace(first, 2, a);
    // Looked for after what was put in: a command may hold "%s" itself.
    if (const std::size_t at = out.find("%s", first + a.size()); at != std::string::npos)
        out.replace(at, 2, b);
    return out;
}

// A size as a reader reads it: bytes below a thousand, else three figures of
// kB, MB or GB (a count of ten digits that changes each moment reads as noise).
std::string ReadableSize(std::uint64_t bytes)
{
    if (bytes < 1000)
        return std::to_string(bytes) + (bytes == 1 ? " byte" : " bytes");
    static const char* const kUnits[] = {"kB", "MB", "GB", "TB", "PB"};
    double value = static_cast<double>(bytes) / 1000;
    std::size_t unit = 0;
    while (value >= 999.5 && unit + 1 < std::size(kUnits)) {
        value /= 1000;
        ++unit;
    }
    char figures[16];
    std::snprintf(figures, sizeof figures, value < 9.995 ? "%.2f" : value < 99.95 ? "%.1f" : "%.0f", value);
    return std::string(figures) + " " + kUnits[unit];
}

}  // namespace

std::string DescribeSourceProgress(const CStreamSource::Progress& p, bool pipe)
{
    return Format(pipe ? text::InputProgressFormat : text::DecompressProgressFormat, ReadableSize(p.bytes));
}

std::string DescribeJournalProgress(const CStreamSource::Progress& p)
{
    return Format(text::JournalProgressFormat, ReadableSize(p.bytes));
}

std::string DescribeSourceEnd(const CStreamSource::Progress& p, bool& error)
{
    using State = CStreamSource::State;
    error = p.state != State::Damaged;
    switch (p.state) {
    case State::Running:
    case State::Complete: return {};
    case State::Damaged: return Format(text::SourceDamagedFormat, std::to_string(p.bytes), p.problem);
    case State::OverLimit: return Format(text::SourceOverLimitFormat, std::to_string(p.limit));
    case State::Declared:
        return Format(text::SourceDeclaredFormat, std::to_string(p.declared), std::to_string(p.limit));
    case State::Failed: return text::SourceFailed;
    }
    return {};
}

std::string DescribeSshProgress(const CStreamSource::Progress& p, const std::string& name)
{
    return Format(text::SshProgressFormat, name, ReadableSize(p.bytes));
}

std::string DescribeSshEnd(bool ended, int status, const std::string& errors)
{
    if (!ended)
        return text::SshOutputClosed;
    return errors.empty() ? Format(text::SshEndedQuietFormat, std::to_string(status))
                          : Format(text::SshEndedFormat, std::to_string(status), errors);
}

const char* SshNameProblemText(sshname::Problem problem)
{
    switch (problem) {
    case sshname::Problem::None: return "";
    case sshname::Problem::BadUser: return text::SshNameBadUser;
    case sshname::Problem::BadHost: return text::SshNameBadHost;
    case sshname::Problem::BadPort: return text::SshNameBadPort;
    case sshname::Problem::BadPath: return text::SshNameBadPath;
    }
    return "";
}

const char* MergeFailureReason(CMergedWnd::Failure::Why why)
{
    switch (why) {
    case CMergedWnd::Failure::Why::NoFormat: return text::MergeNoFormat;
    case CMergedWnd::Failure::Why::TooMany: return text::MergeTooMany;
    case CMergedWnd::Failure::Why::CannotOpen: break;
    }
    return text::MergeCannotOpen;
}

void CTextFileView::OnSourceProgress()
{
    SayPartsProgress();
    SayLateMergeFailures();
    CStreamSource* source = m_pDocument->GetSource();
    if (!source)
        return;
    if (!m_bLoaded) {
        OnDeferredLoad();  // shows the progress until the text can be shown
        return;
    }
    // The text's watcher compares sizes: a new run's text that reaches the size of the last run's before the
    // watcher looks again passes unseen, and the window would keep showing nothing. The source's news says
    // the text was written to, so the window catches up with it here too.
    if (const CMemoryMappedFile* text = m_pDocument->GetMappedFile()) {
        const std::int64_t size = platform::FileSizeByHandle(text->Handle());
        if (size >= 0 && static_cast<std::uint64_t>(size) != text->Size())
            m_pFileWnd->LoadFile(nullptr, EncodingAuto);
    }
    SayJournalNews();
    bool error = false;
    const CStreamSource::Progress progress = source->GetProgress();
    const std::string end = DescribeSourceEnd(progress, error);
    if (!end.empty() && !m_bSourceEndShown) {
        m_bSourceEndShown = true;
        m_pHost->ShowMessage(error ? ViewMessageKind::Error : ViewMessageKind::Warning, end);
    } else if (m_pDocument->IsSsh() && progress.state == CStreamSource::State::Complete && !m_bSourceEndShown) {
        // A dropped connection keeps what was read; the reason is ssh's own.
        m_bSourceEndShown = true;
        int status = 0;
        const bool ended = m_pDocument->CommandEnded(status, 200);
        m_pHost->ShowMessage(ended && status == 0 ? ViewMessageKind::Information : ViewMessageKind::Warning,
                             DescribeSshEnd(ended, status, m_pDocument->SshErrors()), text::ReconnectAction,
                             cmd::RunCommandAgain);
    } else if (m_pDocument->IsCommand() && progress.state == CStreamSource::State::Complete && !m_bSourceEndShown) {
        // Its output ends a moment before the command does.
        m_bSourceEndShown = true;
        int status = 0;
        const bool ended = m_pDocument->CommandEnded(status, 200);
        m_pHost->ShowMessage(
            ended && status == 0 ? ViewMessageKind::Information : ViewMessageKind::Warning,
            ended ? Format(text::CommandEndedFormat, std::to_string(status)) : std::string(text::CommandOutputClosed),
            text::RunAgainAction, cmd::RunCommandAgain);
    }
}

void CTextFileView::SayPartsProgress()
{
    const CMergedWnd* merged = m_pFileWnd ? m_pFileWnd->GetMerged() : nullptr;
    if (!merged || !merged->IsSequence())
        return;
    const CMergedWnd::PartsProgress p = merged->Progress();
    if (p.reading < 0) {
        // Done: the notice goes, unless another message took its place.
        if (m_nPartsMessage)
            m_pHost->HideMessageNumbered(std::exchange(m_nPartsMessage, 0));
        return;
    }
    const std::string& path = merged->PathOf(p.reading);
    m_pHost->ShowMessage(ViewMessageKind::Information, Format(text::RotatedPartProgressFormat,
                                                              path.substr(path.rfind('/') + 1), ReadableSize(p.bytes)));
    m_nPartsMessage = m_pHost->LastMessageNumber();
}

// A compressed file of a merge is judged once its text is whole; one that cannot take part then leaves the
// rows, and the strip says which and why.
void CTextFileView::SayLateMergeFailures()
{
    CMergedWnd* merged = m_pFileWnd ? m_pFileWnd->GetMerged() : nullptr;
    if (!merged)
        return;
    for (const CMergedWnd::Failure& f : merged->TakeLateFailures())
        m_pHost->ShowMessage(ViewMessageKind::Warning, f.path + ": " + MergeFailureReason(f.why));
}

void CTextFileView::OnRunCommandAgain()
{
    std::string error;
    if (!m_bLoaded || !m_pDocument->IsCommand())
        return;
    if (!m_pDocument->RunCommandAgain(error))
        m_pHost->ShowMessage(ViewMessageKind::Error,
                             Format(text::CommandFailedFormat,
                                    m_pDocument->IsSsh() ? m_pDocument->GetPathName() : m_pDocument->Command(), error));
}

void CTextFileView::OnFileReplaced()
{
    // A rotation set finds its parts anew by their new names; the current file is its last part.
    if (CMergedWnd* merged = m_pFileWnd->GetMerged(); merged && merged->IsSequence()) {
        merged->FindSetAnew();
        m_pHost->ShowMessage(ViewMessageKind::Information, text::RotationSetRotated);
        return;
    }
    switch (m_pDocument->OnNameReplaced(m_nReplacesSeen)) {
    case CTextFileDoc::NameChange::Reopened: LoadReplacedFile(); break;
    case CTextFileDoc::NameChange::Offered:
        // Once for each new file (the watcher posts once for each): the strip
        // keeps the offer until the user takes it or closes it.
        m_pHost->ShowMessage(ViewMessageKind::Information, text::NameNamesAnotherFile, text::ReopenAction,
                             cmd::ReopenFile);
        break;
    case CTextFileDoc::NameChange::None: break;
    }
}

void CTextFileView::OnReopenFile()
{
    if (m_bLoaded && m_pDocument->ReopenByName()) {
        m_nReplacesSeen = m_pDocument->ReplaceCount();
        LoadReplacedFile();
    }
}

void CTextFileView::LoadReplacedFile()
{
    const DisplayPreferences* prefs = GetPrefs();
    // A new file: its own byte-order mark decides, as at any opening, and the
    // reader goes on at its end as a follower of the log would.
    if (!m_pFileWnd->LoadFile(m_pDocument->GetMappedFile(), prefs ? prefs->requestedEncoding : EncodingAuto))
        return;
    // The marks belonged to the old file.
    m_pFileWnd->Marks().Clear();
    m_pFileWnd->OnKeyDown(kVkEnd);
    if (m_pDocument->IsJournal())
        return;  // its whole text in place of the newest entries it showed first: nothing to say
    if (m_pDocument->IsCommand()) {
        m_bSourceEndShown = false;  // the new run's end is said in its turn
        m_pHost->ShowMessage(ViewMessageKind::Information,
                             m_pDocument->IsSsh() ? text::SshReconnects : text::CommandRunsAgain);
        return;
    }
    if (m_pStore && m_pDocument->GetMappedFile())
        m_pStore->FileReplaced(m_pDocument->GetPathName(), m_pDocument->GetMappedFile()->Handle());
    m_pHost->ShowMessage(ViewMessageKind::Information, text::FileReopened);
}
