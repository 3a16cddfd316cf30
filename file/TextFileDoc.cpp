#include "file/TextFileDoc.h"

#include "file/SshName.h"
#include "platform/Process.h"
#include "platform/SigbusGuard.h"
#include "platform/Window.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstring>
#include <thread>

namespace {

std::atomic<bool> g_followName{false};
std::atomic<std::uint64_t> g_textLimit{0};  // 0: the default

// Whether the regular file starts with the magic of a compressed format.
bool LooksCompressed(platform::FileHandle h)
{
    std::uint8_t head[kCompressionMagicBytes];
    const std::uint64_t n = platform::ReadAt(h, head, sizeof head, 0);
    return DetectCompression(head, static_cast<std::size_t>(n)) != Compression::None;
}

}  // namespace

CTextFileDoc::CTextFileDoc() = default;

CTextFileDoc::~CTextFileDoc()
{
    OnCloseDocument();
}

bool CTextFileDoc::OnOpenDocument(const char* path)
{
    if (!path || !*path)
        return false;
    if (std::strcmp(path, kStandardInputName) == 0)
        return OnOpenStream(platform::kStandardInput, path);
    // One descriptor from the first look on: the file sniffed for compression
    // is the file mapped, even when a rotation puts another under the name
    // meanwhile.
    const platform::FileHandle h = platform::OpenReadShared(path);
    if (h == platform::kInvalidFile)
        return false;
    platform::FileId id;
    const bool hasId = platform::GetFileIdByHandle(h, id);
    if (LooksCompressed(h)) {
        if (!OpenThroughSource(h, false, path))
            return false;
        m_openedId = id;
        m_bHasOpenedId = hasId;
        return true;
    }
    auto mapped = std::make_unique<CMemoryMappedFile>();
    mapped->Adopt(h, path, false);  // owns the descriptor from here on, mapped or not
    if (!mapped->View())
        return false;  // nothing to show (an empty file, a folder): the old mapping stays
    SetPathName(path);
    SetModifiedFlag(false);
    m_pMappedFile = std::move(mapped);
    m_openedId = id;
    m_bHasOpenedId = hasId;
    return true;
}

bool CTextFileDoc::OnOpenStream(platform::FileHandle input, const char* path)
{
    // Standard input redirected from a file is read at offsets like one.
    if (!OpenThroughSource(input, !platform::IsRegularFile(input), path))
        return false;
    m_bHasOpenedId = false;
    return true;
}

bool CTextFileDoc::OnOpenCommand(const std::string& command, std::string& error)
{
    platform::ShellCommand started;
    if (command.empty() || !platform::StartShellCommand(command, started, error))
        return false;
    const std::string name = kCommandPrefix + command;
    if (!OpenThroughSource(started.output, true, name.c_str())) {
        platform::EndCommandGroup(started.pid);
        error = "its output cannot be kept";
        return false;
    }
    m_command = started;
    m_strCommand = command;
    m_bCommandEnded = false;
    m_bHasOpenedId = false;
    return true;
}

bool CTextFileDoc::OnOpenSsh(const std::string& name, std::string& error)
{
    error.clear();
    sshname::Name parsed;
    if (sshname::Parse(name, parsed) != sshname::Problem::None)
        return false;
    const std::string command = sshname::CommandLine(parsed, sshname::Client());
    const platform::FileHandle errors = platform::CreateAnonymousFile("ostrel-ssh-errors");
    platform::ShellCommand started;
    if (errors == platform::kInvalidFile) {
        error = "its messages cannot be kept";
        return false;
    }
    if (!platform::StartShellCommand(command, started, error, errors)) {
        platform::CloseFile(errors);
        return false;
    }
    if (!OpenThroughSource(started.output, true, name.c_str())) {
        platform::EndCommandGroup(started.pid);
        platform::CloseFile(errors);
        error = "its output cannot be kept";
        return false;
    }
    m_command = started;
    m_strCommand = command;
    m_bCommandEnded = false;
    m_bHasOpenedId = false;
    m_strSshName = name;
    m_hSshErrors = errors;
    return true;
}

std::string CTextFileDoc::SshErrors() const
{
    if (m_hSshErrors == platform::kInvalidFile)
        return {};
    constexpr std::int64_t kLast = 4096;
    const std::int64_t size = platform::FileSizeByHandle(m_hSshErrors);
    const std::int64_t from = size > kLast ? size - kLast : 0;
    std::string text(static_cast<std::size_t>(size - from), '\0');
    text.resize(static_cast<std::size_t>(
        platform::ReadAt(m_hSshErrors, reinterpret_cast<std::uint8_t*>(text.data()), text.size(), from)));
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' '))
        text.pop_back();
    const std::size_t last = text.find_last_of("\r\n");
    return last == std::string::npos ? text : text.substr(last + 1);
}

bool CTextFileDoc::RunCommandAgain(std::string& error)
{
    if (!IsCommand() || !m_pMappedFile)
        return false;
    platform::ShellCommand started;
    // A new connection's reason for ending is its own.
    const platform::FileHandle errors =
        IsSsh() ? platform::CreateAnonymousFile("ostrel-ssh-errors") : platform::kInvalidFile;
    if (IsSsh() && errors == platform::kInvalidFile) {
        error = "its messages cannot be kept";
        return false;
    }
    if (!platform::StartShellCommand(m_strCommand, started, error, errors)) {
        if (errors != platform::kInvalidFile)
            platform::CloseFile(errors);
        return false;
    }
    if (errors != platform::kInvalidFile) {
        platform::CloseFile(m_hSshErrors);
        m_hSshErrors = errors;
    }
    const platform::FileHandle text = platform::CreateAnonymousFile("ostrel-text");
    if (text == platform::kInvalidFile) {
        platform::CloseFile(started.output);
        platform::EndCommandGroup(started.pid);
        error = "its output cannot be kept";
        return false;
    }
    // The last run's reader stops before its file goes; the new text takes the old one's descriptor, so that
    // every window's watcher follows it.
    m_pSource.reset();
    platform::EndCommandGroup(m_command.pid);
    m_command = started;
    m_bCommandEnded = false;
    if (!m_pMappedFile->ReplaceFile(text)) {
        platform::CloseFile(text);
        platform::CloseFile(started.output);
        platform::EndCommandGroup(started.pid);
        m_command = {};
        error = "its output cannot be kept";
        return false;
    }
    m_pSource = std::make_unique<CStreamSource>();
    if (!m_pSource->Start(started.output, true, m_pMappedFile->Handle(), TextLimit())) {
        error = "its output cannot be read";
        return false;
    }
    ++m_nReplaceCount;
    for (const platform::HWND h : m_windows)
        if (platform::IsWindow(h)) {
            m_pSource->AddWindow(h);
            platform::PostWindowMessage(h, platform::WM_FILE_REPLACED, 0, 0);
        }
    return true;
}

bool CTextFileDoc::CommandEnded(int& status, int waitMs)
{
    for (int waited = 0; !m_bCommandEnded && m_command.pid > 0; waited += 5) {
        if (platform::PollCommandEnd(m_command.pid, m_nCommandStatus))
            m_bCommandEnded = true;
        else if (waited >= waitMs)
            break;
        else
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    status = m_nCommandStatus;
    return m_bCommandEnded;
}

bool CTextFileDoc::OnOpenJournal(const platform::JournalQuery& query, const std::string& title, std::string& error)
{
    auto reader = std::make_unique<platform::CJournalReader>();
    if (!reader->Open(query, error))
        return false;
    const platform::FileHandle text = platform::CreateAnonymousFile("ostrel-journal");
    if (text == platform::kInvalidFile) {
        error = "its text cannot be kept";
        return false;
    }
    OnCloseDocument();
    m_pMappedFile = std::make_unique<CMemoryMappedFile>();
    m_pMappedFile->Adopt(text, title.c_str(), true);
    SetPathName(title.c_str());
    SetModifiedFlag(false);
    m_bHasOpenedId = false;
    m_journalQuery = query;
    m_pJournal = std::make_shared<CJournalProducer>(std::move(reader), true);
    m_pSource = std::make_unique<CStreamSource>();
    if (!m_pSource->StartProducer(m_pJournal, text, TextLimit())) {
        error = "its reader cannot be started";
        return false;
    }
    return true;
}

bool CTextFileDoc::TakeWholeJournal()
{
    platform::FileHandle whole = platform::kInvalidFile;
    std::shared_ptr<CLineLevels> levels;
    if (!m_pJournal || !m_pMappedFile || !m_pJournal->TakeWhole(whole, levels))
        return false;
    // The levels first: a worker that reads the new text finds its own.
    std::const_pointer_cast<CLineLevels>(m_pJournal->Levels())->Take(*levels);
    if (!m_pMappedFile->ReplaceFile(whole)) {
        platform::CloseFile(whole);
        m_pJournal->WholeInPlace(false);
        return false;
    }
    m_pJournal->WholeInPlace(true);
    ++m_nReplaceCount;
    for (const platform::HWND h : m_windows)
        if (platform::IsWindow(h))
            platform::PostWindowMessage(h, platform::WM_FILE_REPLACED, 0, 0);
    return true;
}

void CTextFileDoc::OnCloseDocument()
{
    // The reader thread ends and is joined before the text it writes goes.
    m_pSource.reset();
    m_pJournal.reset();
    m_pMappedFile.reset();
    // What the command started ends with its window; a shell already reaped leaves only its group to end.
    if (m_command.pid > 0)
        platform::EndCommandGroup(m_command.pid);
    m_command = {};
    if (m_hSshErrors != platform::kInvalidFile)
        platform::CloseFile(m_hSshErrors);
    m_hSshErrors = platform::kInvalidFile;
    m_strSshName.clear();
}

bool CTextFileDoc::OpenThroughSource(platform::FileHandle input, bool pipe, const char* path)
{
    const platform::FileHandle text = platform::CreateAnonymousFile("ostrel-text");
    if (text == platform::kInvalidFile) {
        if (input != platform::kStandardInput)
            platform::CloseFile(input);
        return false;
    }
    OnCloseDocument();
    m_pMappedFile = std::make_unique<CMemoryMappedFile>();
    m_pMappedFile->Adopt(text, path, true);
    SetPathName(path);
    SetModifiedFlag(false);
    m_pSource = std::make_unique<CStreamSource>();
    return m_pSource->Start(input, pipe, text, TextLimit());
}

void CTextFileDoc::SetTextLimit(std::uint64_t bytes)
{
    g_textLimit = bytes;
}

std::uint64_t CTextFileDoc::DefaultTextLimit()
{
    constexpr std::uint64_t kMost = std::uint64_t{4} << 30;
    const std::uint64_t quarter = platform::PhysicalMemoryBytes() / 4;
    return quarter > 0 ? std::min(quarter, kMost) : kMost;
}

std::uint64_t CTextFileDoc::TextLimit()
{
    const std::uint64_t set = g_textLimit.load();
    return set > 0 ? set : DefaultTextLimit();
}

bool CTextFileDoc::IsDecompressed() const
{
    if (!m_pSource)
        return false;
    const CStreamSource::Progress p = m_pSource->GetProgress();
    return p.headKnown && p.compression != Compression::None;
}

bool CTextFileDoc::IsReadyToShow()
{
    if (!m_pSource)
        return m_pMappedFile != nullptr;
    TakeWholeJournal();
    const CStreamSource::Progress p = m_pSource->GetProgress();
    const bool ended = p.state != CStreamSource::State::Running;
    const bool growing = p.headKnown && p.compression == Compression::None && p.bytes >= 4;
    const bool journalRead = m_pJournal && m_pJournal->HasReadAll();
    if (!ended && !growing && !journalRead)
        return false;
    if (m_pMappedFile->Size() != p.bytes)
        m_pMappedFile->Remap(0);
    return true;
}

void CTextFileDoc::SetFollowName(bool follow)
{
    g_followName = follow;
}

bool CTextFileDoc::IsFollowName()
{
    return g_followName.load();
}

bool CTextFileDoc::NameNamesOpenFile() const
{
    platform::FileId open, named;
    return m_pMappedFile && platform::GetFileIdByHandle(m_pMappedFile->Handle(), open) &&
           platform::GetFileId(m_strPathName, named) && named == open;
}

bool CTextFileDoc::NameNamesAnotherFile() const
{
    platform::FileId open;
    return m_pMappedFile && !m_pMappedFile->IsAnonymous() &&
           platform::GetFileIdByHandle(m_pMappedFile->Handle(), open) &&
           platform::NamesAnotherFile(m_strPathName, open);
}

CTextFileDoc::NameChange CTextFileDoc::OnNameReplaced(std::uint32_t& seen)
{
    if (!m_pMappedFile)
        return NameChange::None;
    if (m_pMappedFile->IsAnonymous()) {
        // No name to follow; only a command run again switches the text.
        if (seen == m_nReplaceCount)
            return NameChange::None;
        seen = m_nReplaceCount;
        return NameChange::Reopened;
    }
    if (seen == m_nReplaceCount) {
        // The window's own watcher saw the name change (or the switch was
        // this window's, and told once more).
        if (NameNamesOpenFile())
            return NameChange::None;
        if (!IsFollowName())
            return NameChange::Offered;
        if (!ReopenByName())
            return NameChange::None;
    }
    // Switched by this window, or by another one of the document before.
    seen = m_nReplaceCount;
    return NameChange::Reopened;
}

void CTextFileDoc::AddWindow(platform::HWND hwnd)
{
    if (std::find(m_windows.begin(), m_windows.end(), hwnd) == m_windows.end())
        m_windows.push_back(hwnd);
}

void CTextFileDoc::RemoveWindow(platform::HWND hwnd)
{
    m_windows.erase(std::remove(m_windows.begin(), m_windows.end(), hwnd), m_windows.end());
}

bool CTextFileDoc::ReopenByName()
{
    if (!m_pMappedFile || m_pMappedFile->IsAnonymous() || NameNamesOpenFile())
        return false;
    const platform::FileHandle fresh = platform::OpenReadShared(m_strPathName);
    if (fresh == platform::kInvalidFile)
        return false;
    platform::FileId old;
    platform::GetFileIdByHandle(m_pMappedFile->Handle(), old);
    if (!m_pMappedFile->ReplaceFile(fresh)) {
        platform::CloseFile(fresh);
        return false;
    }
    // The watchers of the old file look at once, and listen for truncations
    // of the new one from then on.
    platform::WakeFileListeners(old.device, old.inode);
    ++m_nReplaceCount;
    for (const platform::HWND h : m_windows)
        if (platform::IsWindow(h))
            platform::PostWindowMessage(h, platform::WM_FILE_REPLACED, 0, 0);
    return true;
}
