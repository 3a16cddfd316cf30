#include "app/shell/TextFileViewerApp.h"

#include "app/bars/AboutDlg.h"
#include "app/bars/OpenDialog.h"
#include "app/shell/ChildFrame.h"
#include "app/shell/HighlightRuleEditor.h"
#include "app/shell/MainFrame.h"
#include "app/shell/TextFileViewWidget.h"
#include "app/tabgroups/TabGroupArea.h"
#include "file/SshName.h"
#include "file/TextFileDoc.h"
#include "platform/Win1252.h"
#include "textwnd/FileWnd.h"
#include "textwnd/MergedWnd.h"
#include "textwnd/qt/FileWndWidget.h"
#include "view/BuildDate.h"
#include "view/CommandIds.h"
#include "view/FilePrefDatabase.h"
#include "view/HighlightSettings.h"
#include "view/StateStore.h"
#include "view/StringTable.h"
#include "view/TextFileView.h"
#include "view/qt/QtFont.h"
#include "view/qt/QtHighlightStore.h"
#include "view/qt/QtProfile.h"
#include "view/qt/TimelineBand.h"

#include <QFile>
#include <QMessageBox>
#include <QScopedValueRollback>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <iostream>

namespace {

constexpr const char* kLogSection = "Log";
constexpr const char* kCodePageEntry = "CodePage";
constexpr const char* kFollowNameEntry = "FollowName";
constexpr const char* kRegularExpressionEntry = "RegularExpression";
constexpr const char* kLineNumbersEntry = "LineNumbers";
constexpr const char* kTimelineEntry = "Timeline";
constexpr const char* kSessionSection = "Session";
constexpr const char* kRestoreAtStartEntry = "RestoreAtStart";

}  // namespace

CTextFileViewerApp::CTextFileViewerApp() : m_pErrors(&std::cerr) {}

CTextFileViewerApp::~CTextFileViewerApp()
{
    ExitInstance();
}

bool CTextFileViewerApp::InitInstance(const std::vector<std::string>& files, std::ostream& errors, bool show)
{
    // The settings store, under the organisation and application names that name its file, and the screen
    // resolution that point sizes are converted with.
    m_pProfile = std::make_unique<CQtProfile>();
    if (!m_pProfile->Problem().empty())
        errors << "ostrel-viewer: " << m_pProfile->Problem() << '\n';
    SetCurrentProfile(m_pProfile.get());
    FollowScreenDpi();
    RestoreCodePage();
    RestoreFollowName();
    RestoreLineNumbers();
    CTimelineBand::SetShownEverywhere(m_pProfile->GetProfileInt(kLogSection, kTimelineEntry, 0) != 0);
    m_bRegularExpression = m_pProfile->GetProfileInt(kLogSection, kRegularExpressionEntry, 0) != 0;
    RestoreTextLimit();
    m_pHighlightStore = std::make_unique<CQtHighlightStore>(m_pProfile->Settings());
    m_pHighlight = std::make_unique<CHighlightSettings>(*m_pHighlightStore);
    m_recentFiles.ReadList(*m_pProfile);
    PreLoadState();

    // The preference database object, not opened yet; the first lookup opens it.
    m_pFilePrefDatabase = std::make_unique<CFilePrefDatabase>(*m_pProfile);
    OpenStateStore(errors);

    m_templates.push_back(std::make_unique<CDocTemplate>(res::LogDocument));
    m_templates.push_back(std::make_unique<CDocTemplate>(res::TextDocument));

    m_pMainFrame = new CTextFileViewerMainFrame(this);
    if (!m_pMainFrame->OnCreate()) {
        delete m_pMainFrame;
        m_pMainFrame = nullptr;
        return false;
    }
    m_pMainFrame->setAcceptDrops(true);
    ShowRegularExpression();

    // The first file that opens is opened here, so that a start none of whose files opens fails before any
    // window shows; the rest wait for the event loop.
    m_pErrors = &errors;
    std::size_t next = 0;
    bool opened = false;
    while (next < files.size() && !opened)
        opened = OpenDocument(files[next++], true, nullptr) != nullptr;
    if (!files.empty() && !opened) {
        m_pErrors = &std::cerr;
        delete m_pMainFrame;  // never shown
        m_pMainFrame = nullptr;
        return false;
    }
    // Without files named, the last run's windows come back when the user asked for that.
    if (files.empty() && IsRestoreAtStart())
        ReopenLastSession(false);
    m_startFiles.assign(files.begin() + static_cast<std::ptrdiff_t>(next), files.end());
    if (m_startFiles.empty()) {
        m_pErrors = &std::cerr;
        m_bOpenRotated = false;  // --rotated names the start files alone
    } else {
        m_pStartFirst = m_pStartLast = m_pMainFrame->GetActiveChildFrame();
        // Written with the last start file; until then each opening only adds to the list in memory.
        m_bRecentListUnsaved = false;
        m_bOpeningStartFiles = true;
        if (!m_pStartTimer) {
            m_pStartTimer = new QTimer(this);
            m_pStartTimer->setInterval(0);
            connect(m_pStartTimer, &QTimer::timeout, this, &CTextFileViewerApp::OpenStartFilesSlice);
        }
        m_pStartTimer->start();
    }
    if (show)
        m_pMainFrame->show();
    return true;
}

void CTextFileViewerApp::OpenStateStore(std::ostream& errors)
{
    // Beside the preference database, in the folder made for it; without one the store keeps its marks in
    // memory for the run, and files open all the same.
    m_pStateStore = std::make_unique<CStateStore>();
    const std::string prefs = m_pFilePrefDatabase->GetDatabasePath();
    const std::size_t slash = prefs.rfind('/');
    if (slash != std::string::npos)
        m_pStateStore->Open(prefs.substr(0, slash + 1) + CStateStore::kFileName, errors);
}

void CTextFileViewerApp::OpenStartFilesSlice()
{
    // A slice short enough that a key or a paint waiting behind it goes unnoticed.
    constexpr auto kSlice = std::chrono::milliseconds(8);
    // A message box of an opening runs an event loop of its own, in which the timer fires again.
    if (m_bInStartSlice || !m_bOpeningStartFiles)
        return;
    const QScopedValueRollback<bool> busy(m_bInStartSlice, true);
    const auto start = std::chrono::steady_clock::now();
    while (!m_startFiles.empty()) {
        const std::string path = std::move(m_startFiles.front());
        m_startFiles.pop_front();
        CTextFileViewerChildFrame* frame = nullptr;
        if (OpenDocument(path, false, &frame) && frame)
            m_pStartLast = frame;
        if (std::chrono::steady_clock::now() - start >= kSlice)
            break;
    }
    if (m_startFiles.empty())
        EndStartFiles(true);
}

void CTextFileViewerApp::FinishStartFiles()
{
    while (m_bOpeningStartFiles && !m_bInStartSlice)
        OpenStartFilesSlice();
}

void CTextFileViewerApp::EndStartFiles(bool opened)
{
    if (!m_bOpeningStartFiles)
        return;
    m_bOpeningStartFiles = false;
    m_bOpenRotated = false;
    m_startFiles.clear();
    m_pStartTimer->stop();
    m_pErrors = &std::cerr;
    if (m_bRecentListUnsaved && m_pProfile)
        m_recentFiles.WriteList(*m_pProfile);
    m_bRecentListUnsaved = false;
    if (opened) {
        // As if each file had been activated as it opened: the last one's window ends active. A window the user
        // chose meanwhile (a tab clicked, a window closed) stays active instead.
        if (m_pMainFrame && m_pStartLast && m_pMainFrame->GetActiveChildFrame() == m_pStartFirst)
            m_pMainFrame->ActivateChildFrame(m_pStartLast);
        emit recentFilesChanged();
        emit startFilesOpened();
    }
    m_pStartFirst = m_pStartLast = nullptr;
}

IProfile& CTextFileViewerApp::GetProfile() const
{
    return *m_pProfile;
}

QSettings* CTextFileViewerApp::GetSettings() const
{
    return m_pProfile ? m_pProfile->Settings() : nullptr;
}

int CTextFileViewerApp::ExitInstance()
{
    // Start files not opened yet stay unopened; those opened are in the recent list.
    EndStartFiles(false);
    if (m_pMainFrame && !m_bSessionSaved)
        SaveSession();    // ended without the main window closing (the event loop quit)
    delete m_pMainFrame;  // windows first: each view leaves its document's mapping
    m_pMainFrame = nullptr;
    m_documents.clear();
    m_pFilePrefDatabase.reset();
    m_pStateStore.reset();
    m_pHighlight.reset();
    m_pHighlightStore.reset();
    SetCurrentHighlightRules(nullptr);
    if (m_pProfile && &GetCurrentProfile() == m_pProfile.get())
        SetCurrentProfile(nullptr);
    m_pProfile.reset();
    return 0;
}

void CTextFileViewerApp::PreLoadState()
{
    m_contextMenus[LoadStringById(ids::EditMenu)] = res::EditContextMenu;
}

int CTextFileViewerApp::GetContextMenu(const std::string& name) const
{
    const auto it = m_contextMenus.find(name);
    return it == m_contextMenus.end() ? 0 : it->second;
}

// --- Documents -----------------------------------------------------------------------------------------------------

CTextFileViewerApp::COpenDocument* CTextFileViewerApp::Find(const CTextFileDoc* doc)
{
    for (COpenDocument& entry : m_documents)
        if (entry.doc.get() == doc)
            return &entry;
    return nullptr;
}

const CTextFileViewerApp::COpenDocument* CTextFileViewerApp::FindOpen(const std::string& absolutePath) const
{
    platform::FileId id;
    const bool hasId = platform::GetFileId(absolutePath, id);
    for (const COpenDocument& entry : m_documents)
        if (!entry.bMerged && (entry.doc->GetPathName() == absolutePath || (hasId && entry.bHasId && entry.id == id)))
            return &entry;
    return nullptr;
}

std::string CTextFileViewerApp::DocumentPath(const std::string& path) const
{
    const std::string absolute = sshname::IsSshName(path) ? path : platform::CleanAbsolutePath(path);
    const COpenDocument* entry = FindOpen(absolute);
    return entry ? entry->doc->GetPathName() : absolute;
}

std::vector<CTextFileDoc*> CTextFileViewerApp::GetDocuments() const
{
    std::vector<CTextFileDoc*> docs;
    for (const COpenDocument& entry : m_documents)
        docs.push_back(entry.doc.get());
    return docs;
}

const CDocTemplate* CTextFileViewerApp::GetDocTemplate(const CTextFileDoc* doc) const
{
    for (const COpenDocument& entry : m_documents)
        if (entry.doc.get() == doc)
            return entry.docTemplate;
    return nullptr;
}

const CDocTemplate* CTextFileViewerApp::TemplateForPath(const std::string& path) const
{
    for (const auto& docTemplate : m_templates)
        if (docTemplate->MatchesExtension(path))
            return docTemplate.get();
    return m_templates.empty() ? nullptr : m_templates.front().get();
}

std::vector<CTextFileViewerChildFrame*> CTextFileViewerApp::GetFrames(const CTextFileDoc* doc) const
{
    for (const COpenDocument& entry : m_documents)
        if (entry.doc.get() == doc)
            return entry.frames;
    return {};
}

CTextFileDoc* CTextFileViewerApp::OpenDocumentFile(const std::string& path)
{
    return OpenDocument(path, true, nullptr);
}

CTextFileDoc* CTextFileViewerApp::OpenCommand(const std::string& command, std::string* reason)
{
    if (!m_pMainFrame || command.empty())
        return nullptr;
    COpenDocument entry;
    entry.docTemplate = TemplateForPath(command);
    entry.doc = std::make_unique<CTextFileDoc>();
    std::string error;
    if (!entry.doc->OnOpenCommand(command, error)) {
        *m_pErrors << "ostrel-viewer: cannot run '" << command << "': " << error << '\n';
        if (reason)
            *reason = error;
        return nullptr;
    }
    CTextFileDoc* doc = entry.doc.get();
    m_documents.push_back(std::move(entry));
    if (!MakeFrame(doc, true)) {
        CloseDocument(doc);
        return nullptr;
    }
    return doc;
}

CTextFileViewerChildFrame* CTextFileViewerApp::OpenMerged(const std::vector<std::string>& paths,
                                                          std::vector<std::string>* reasons,
                                                          std::vector<std::string>* failed)
{
    if (!m_pMainFrame || paths.empty())
        return nullptr;
    std::vector<std::string> absolute;
    for (const std::string& p : paths)
        absolute.push_back(p == CTextFileDoc::kStandardInputName ? p : platform::CleanAbsolutePath(p));
    // Standard input is read by the merge's own document for it: the window's document is another file's.
    const auto own = std::find_if(absolute.begin(), absolute.end(),
                                  [](const std::string& p) { return p != CTextFileDoc::kStandardInputName; });
    auto fail = [&](const std::vector<std::string>& why) {
        for (const std::string& w : why)
            *m_pErrors << "ostrel-viewer: cannot merge " << w << '\n';
        if (reasons)
            *reasons = why;
        return nullptr;
    };
    if (own == absolute.end()) {
        if (failed)
            *failed = {absolute.front()};
        return fail({paths.front() + ": " + text::MergeCannotOpen});
    }
    COpenDocument entry;
    entry.docTemplate = TemplateForPath(*own);
    entry.doc = std::make_unique<CTextFileDoc>();
    entry.bMerged = true;
    if (!entry.doc->OnOpenDocument(own->c_str())) {
        if (failed)
            *failed = {*own};
        return fail({paths[static_cast<std::size_t>(own - absolute.begin())] + ": " + text::MergeCannotOpen});
    }
    entry.doc->SetPathName(own->c_str());
    CTextFileDoc* doc = entry.doc.get();
    m_documents.push_back(std::move(entry));
    CTextFileViewerChildFrame* frame = MakeFrame(doc, true);
    CTextFileView* view = frame ? frame->GetActiveView() : nullptr;
    if (!view || !view->GetFileWnd()) {
        CloseDocument(doc);
        return nullptr;
    }
    auto merged = std::make_unique<CMergedWnd>(*view->GetFileWnd());
    std::vector<CMergedWnd::Failure> failures;
    if (!merged->Open(absolute, true, true, failures)) {
        CloseDocument(doc);
        std::vector<std::string> why;
        for (const CMergedWnd::Failure& f : failures) {
            why.push_back(f.path + ": " + MergeFailureReason(f.why));
            if (failed)
                failed->push_back(f.path);
        }
        return fail(why);
    }
    view->GetFileWnd()->SetMerged(std::move(merged));
    // The tab names the files (as the frame's title does); its tooltip gives their paths, each after its letter.
    QString tip;
    for (std::size_t i = 0; i < absolute.size(); ++i)
        tip += (i ? "\n" : "") + QString(QChar(mergedwnd::Letter(static_cast<int>(i)))) + "  " +
               QFile::decodeName(absolute[i].c_str());
    m_pMainFrame->SetChildFrameTitle(frame, frame->GetTitle(), tip);
    return frame;
}

CTextFileDoc* CTextFileViewerApp::OpenJournal(const platform::JournalQuery& query, const std::string& since,
                                              std::string* reason)
{
    if (!m_pMainFrame)
        return nullptr;
    COpenDocument entry;
    const std::string title = JournalTitle(query, since);
    entry.docTemplate = TemplateForPath(title);
    entry.doc = std::make_unique<CTextFileDoc>();
    std::string error;
    if (!entry.doc->OnOpenJournal(query, title, error)) {
        *m_pErrors << "ostrel-viewer: cannot read the journal: " << error << '\n';
        if (reason)
            *reason = error;
        return nullptr;
    }
    CTextFileDoc* doc = entry.doc.get();
    m_documents.push_back(std::move(entry));
    if (!MakeFrame(doc, true)) {
        CloseDocument(doc);
        return nullptr;
    }
    return doc;
}

bool CTextFileViewerApp::OpenSshDocument(CTextFileDoc& doc, const std::string& name)
{
    std::string error;
    if (doc.OnOpenSsh(name, error))
        return true;
    sshname::Name parsed;
    const sshname::Problem problem = sshname::Parse(name, parsed);
    if (error.empty())
        error = SshNameProblemText(problem);
    *m_pErrors << "ostrel-viewer: cannot open '" << name << "': " << error << '\n';
    return false;
}

CTextFileDoc* CTextFileViewerApp::OpenDocument(const std::string& path, bool activate,
                                               CTextFileViewerChildFrame** frame)
{
    if (frame)
        *frame = nullptr;
    if (!m_pMainFrame || path.empty())
        return nullptr;
    // Standard input has no path to clean, and can be read only once; a name on another machine is kept as
    // written.
    const bool input = path == CTextFileDoc::kStandardInputName;
    const bool remote = sshname::IsSshName(path);
    const std::string absolute = input || remote ? path : platform::CleanAbsolutePath(path);
    if (const COpenDocument* open = FindOpen(absolute)) {
        if (!open->frames.empty()) {
            if (activate)
                m_pMainFrame->ActivateChildFrame(open->frames.front());
            if (frame)
                *frame = open->frames.front();
        }
        return open->doc.get();
    }

    COpenDocument entry;
    entry.docTemplate = TemplateForPath(absolute);
    entry.doc = std::make_unique<CTextFileDoc>();
    // The document is opened before its window is made: a file that cannot be opened leaves nothing to undo.
    if (remote) {
        if (!OpenSshDocument(*entry.doc, path))
            return nullptr;
    } else if (!entry.doc->OnOpenDocument(absolute.c_str())) {
        *m_pErrors << "ostrel-viewer: cannot open '" << path << "': " << platform::DescribeOpenFailure(path) << '\n';
        return nullptr;
    }
    entry.doc->SetPathName(absolute.c_str());
    entry.bHasId = !input && entry.doc->GetOpenedFileId(entry.id);
    CTextFileDoc* doc = entry.doc.get();
    m_documents.push_back(std::move(entry));
    if (!input)
        AddToRecentFileList(absolute);
    CTextFileViewerChildFrame* made = MakeFrame(doc, activate);
    if (!made) {
        CloseDocument(doc);
        return nullptr;
    }
    // --rotated: a log with older parts shows them with it.
    if (m_bOpenRotated && !input && !remote)
        if (CTextFileView* view = made->GetActiveView())
            view->RequestRotationSet();
    if (frame)
        *frame = made;
    return doc;
}

CTextFileViewerChildFrame* CTextFileViewerApp::CreateFrame(CTextFileDoc* doc)
{
    return MakeFrame(doc, true);
}

CTextFileViewerChildFrame* CTextFileViewerApp::MakeFrame(CTextFileDoc* doc, bool activate)
{
    COpenDocument* entry = Find(doc);
    if (!entry || !m_pMainFrame)
        return nullptr;
    auto* frame = new CTextFileViewerChildFrame(doc, entry->docTemplate, m_pMainFrame);
    entry->frames.push_back(frame);
    connect(frame, &QObject::destroyed, this, &CTextFileViewerApp::OnFrameDestroyed);
    if (!frame->Create()) {
        delete frame;  // takes itself out of the document's list
        return nullptr;
    }
    if (CTextFileView* view = frame->GetActiveView())
        view->SetRegularExpression(m_bRegularExpression);
    UpdateFrameTitles(*entry);
    m_pMainFrame->AddChildFrame(frame, activate);
    return frame;
}

void CTextFileViewerApp::CloseDocument(CTextFileDoc* doc)
{
    COpenDocument* entry = Find(doc);
    if (!entry || !m_pMainFrame)
        return;
    // Each window that goes takes itself out of the list; the last one takes the document.
    const std::vector<CTextFileViewerChildFrame*> frames = entry->frames;
    for (CTextFileViewerChildFrame* frame : frames)
        m_pMainFrame->CloseChildFrame(frame);
    if (frames.empty())
        std::erase_if(m_documents, [doc](const COpenDocument& e) { return e.doc.get() == doc; });
}

void CTextFileViewerApp::OnFrameDestroyed(const QObject* frame)
{
    const auto holds = [frame](const COpenDocument& e) { return std::ranges::find(e.frames, frame) != e.frames.end(); };
    const auto it = std::ranges::find_if(m_documents, holds);
    if (it == m_documents.end())
        return;
    std::erase(it->frames, frame);
    if (it->frames.empty())
        m_documents.erase(it);
    else
        UpdateFrameTitles(*it);
}

void CTextFileViewerApp::UpdateFrameTitles(COpenDocument& entry)
{
    const bool several = entry.frames.size() > 1;
    int number = 0;
    for (CTextFileViewerChildFrame* frame : entry.frames) {
        frame->SetWindowNumber(several ? ++number : 0);
        if (m_pMainFrame)
            m_pMainFrame->SetChildFrameTitle(frame, frame->GetTitle(),
                                             QFile::decodeName(entry.doc->GetPathName().c_str()));
    }
}

// --- The session -----------------------------------------------------------------------------------------------------

void CTextFileViewerApp::SaveSession()
{
    m_bSessionSaved = true;
    if (!m_pStateStore || !m_pMainFrame)
        return;
    const CTabGroupArea* area = m_pMainFrame->GetTabArea();
    const CTextFileViewerChildFrame* active = m_pMainFrame->GetActiveChildFrame();
    std::vector<CWindowState> windows;
    // Groups are counted among those kept: a group of standard input alone leaves no gap.
    int lastGroup = -1;
    int group = -1;
    for (CTextFileViewerChildFrame* frame : m_pMainFrame->GetChildFrames()) {
        const CTextFileDoc* doc = frame->GetDocument();
        if (!doc || !doc->GetMappedFile() || doc->GetPathName().empty() ||
            doc->GetPathName() == CTextFileDoc::kStandardInputName || doc->IsCommand() || doc->IsJournal())
            continue;
        CWindowState state = frame->CaptureState();
        if (state.path.empty())
            continue;
        const int areaGroup = area ? area->GroupOf(frame) : 0;
        if (group < 0 || areaGroup != lastGroup)
            ++group;
        lastGroup = areaGroup;
        state.group = group;
        state.active = frame == active;
        windows.push_back(std::move(state));
    }
    m_pStateStore->SaveSession(windows);
}

int CTextFileViewerApp::ReopenLastSession(bool asked)
{
    if (!m_pStateStore || !m_pMainFrame)
        return 0;
    const std::vector<CWindowState> session = m_pStateStore->LastSession();  // a copy: opening may save
    CTabGroupArea* area = m_pMainFrame->GetTabArea();
    std::vector<std::string> skipped, unmerged;
    std::vector<CTextFileViewerChildFrame*> used;               // the windows this session has taken or made
    std::map<int, QPointer<CTextFileViewerChildFrame>> groups;  // a window of each kept group, once it has one
    QPointer<CTextFileViewerChildFrame> activate;
    int made = 0;
    for (const CWindowState& state : session) {
        platform::FileId id;
        CTextFileViewerChildFrame* frame = nullptr;
        bool isNew = false;
        if (!state.merged.empty()) {
            // A merged window is made anew from those of its files that are still there.
            std::vector<std::string> paths, reasons;
            for (const std::string& path : state.merged)
                (platform::GetFileId(path, id) ? paths : skipped).push_back(path);
            if (!paths.empty() && !(frame = OpenMerged(paths, &reasons)))
                unmerged.insert(unmerged.end(), reasons.begin(), reasons.end());
            if (!frame)
                continue;
            isNew = true;
        } else {
            if (!platform::GetFileId(state.path, id)) {
                skipped.push_back(state.path);
                continue;
            }
            // A window open before stays as the user left it; the session's second window on a file is made anew.
            const bool wasOpen = FindOpen(platform::CleanAbsolutePath(state.path)) != nullptr;
            CTextFileDoc* doc = OpenDocument(state.path, false, &frame);
            if (!doc) {
                skipped.push_back(state.path);
                continue;
            }
            isNew = !wasOpen;
            if (wasOpen) {
                frame = nullptr;
                for (CTextFileViewerChildFrame* open : GetFrames(doc))
                    if (!frame && std::ranges::find(used, open) == used.end())
                        frame = open;
                if (!frame)
                    isNew = (frame = MakeFrame(doc, false)) != nullptr;
            }
            if (!frame)
                continue;
            if (CTextFileView* view = frame->GetActiveView(); isNew && state.rotated && view)
                view->RequestRotationSet();  // the parts as they are now, found anew
        }
        used.push_back(frame);
        if (isNew) {
            ++made;
            // Into the group that holds the session's windows of the same group, else a new group at the right.
            const auto it = groups.find(state.group);
            if (it != groups.end() && it->second)
                area->MoveWindow(frame, area->GroupOf(it->second));
            else if (!groups.empty())
                area->MoveWindowToNewGroup(frame, area->GroupCount());
            frame->RestoreState(state);
        }
        if (!groups.contains(state.group))
            groups[state.group] = frame;
        if (state.active || !activate)
            activate = frame;
    }
    if (activate)
        m_pMainFrame->ActivateChildFrame(activate);
    if (skipped.empty() && unmerged.empty())
        return made;
    const auto list = [](const std::vector<std::string>& items) {
        std::string out;
        for (const std::string& item : items)
            out += (out.empty() ? "" : ", ") + item;
        return out;
    };
    std::string notice = skipped.empty() ? std::string() : text::SessionFilesGone + list(skipped);
    if (!unmerged.empty())
        notice += (notice.empty() ? "" : "; ") + std::string(text::SessionNotMerged) + list(unmerged);
    if (CTextFileViewerChildFrame* frame = m_pMainFrame->GetActiveChildFrame())
        frame->GetViewWidget()->ShowMessage(ViewMessageKind::Warning, notice);
    else if (asked)
        m_pMainFrame->MessageBox(nullptr, notice, platform::kMbOk | platform::kMbIconWarning);
    else
        *m_pErrors << "ostrel-viewer: " << notice << '\n';
    return made;
}

bool CTextFileViewerApp::IsRestoreAtStart() const
{
    return m_pProfile && m_pProfile->GetProfileInt(kSessionSection, kRestoreAtStartEntry, 0) != 0;
}

void CTextFileViewerApp::SetRestoreAtStart(bool on)
{
    m_pProfile->WriteProfileInt(kSessionSection, kRestoreAtStartEntry, on ? 1 : 0);
    m_pProfile->Flush();
}

// --- Recent files ----------------------------------------------------------------------------------------------------

void CTextFileViewerApp::AddToRecentFileList(const std::string& path)
{
    m_recentFiles.Add(path);
    if (m_bOpeningStartFiles) {
        m_bRecentListUnsaved = true;  // written, and shown, once with the last start file
        return;
    }
    if (m_pProfile)
        m_recentFiles.WriteList(*m_pProfile);
    emit recentFilesChanged();
}

void CTextFileViewerApp::OpenRecentFile(int index)
{
    const std::vector<std::string>& entries = m_recentFiles.Entries();
    if (index < 0 || index >= static_cast<int>(entries.size()))
        return;
    const std::string path = entries[static_cast<std::size_t>(index)];
    if (OpenDocumentFile(path))
        return;
    // An entry that can no longer be opened leaves the list, as the framework does.
    m_recentFiles.Remove(index);
    if (m_pProfile)
        m_recentFiles.WriteList(*m_pProfile);
    emit recentFilesChanged();
}

// --- Open dialog ---------------------------------------------------------------------------------------------------

void CTextFileViewerApp::OnFileOpen()
{
    const std::optional<COpenChoice> choice = COpenDialog::Run(m_pMainFrame);
    if (!choice)
        return;  // cancelled: nothing is touched
    // The record is keyed by the document's path: a file open already under another spelling keeps its one
    // record, where copying the dialog's spelling would start a new record at each opening and lose the choice.
    const std::string path = DocumentPath(QFile::encodeName(choice->path).toStdString());
    if (m_pFilePrefDatabase) {
        // A path too long for the record's field gets the in-memory record: the choice holds for this run only.
        const CPrefRecordRef record = m_pFilePrefDatabase->FindOrAddRecord(path);
        SetPreferencesPath(*record, platform::Utf8ToUtf16(path));  // the key's own form, as the database stores it
        record->requestedEncoding = choice->encoding;
    }
    OpenDocumentFile(path);
}

void CTextFileViewerApp::OnFileOpenMerged()
{
    const std::optional<COpenMergedChoice> choice = COpenDialog::RunMerged(m_pMainFrame);
    if (!choice)
        return;
    std::vector<std::string> paths;
    for (const QString& p : choice->paths)
        paths.push_back(QFile::encodeName(p).toStdString());
    if (!choice->merge) {
        for (const std::string& p : paths)
            OpenDocumentFile(p);
        return;
    }
    std::vector<std::string> reasons, failed;
    if (OpenMerged(paths, &reasons, &failed) || reasons.empty())
        return;
    std::string list;
    for (const std::string& r : reasons)
        list += (list.empty() ? "" : "\n") + r;
    char text[4096];
    std::snprintf(text, sizeof text, text::MergeFailedFormat, list.c_str());
    if (QMessageBox::question(m_pMainFrame, QString::fromUtf8(text::MergeFailedTitle), QString::fromUtf8(text),
                              QMessageBox::Yes | QMessageBox::No, QMessageBox::Yes) != QMessageBox::Yes)
        return;
    for (const std::string& p : failed)
        OpenDocumentFile(p);
}

void CTextFileViewerApp::OnAppAbout()
{
    CAboutDlg about(QString::fromStdString(BuildVersionText(ProgramBuildDate())), m_pMainFrame);
    about.exec();
}

// --- Commands ------------------------------------------------------------------------------------------------------

bool CTextFileViewerApp::OnCommand(int id)
{
    if (id >= cmd::FileMruFirst && id <= cmd::FileMruLast) {
        OpenRecentFile(id - cmd::FileMruFirst);
        return true;
    }
    if (id == cmd::FileOpen) {
        OnFileOpen();
        return true;
    }
    if (id == cmd::OpenMerged) {
        OnFileOpenMerged();
        return true;
    }
    if (id == cmd::FileReopenSession) {
        ReopenLastSession();
        return true;
    }
    if (id == cmd::FileRestoreAtStart) {
        SetRestoreAtStart(!IsRestoreAtStart());
        return true;
    }
    if (id == cmd::AppAbout) {
        OnAppAbout();
        return true;
    }
    if (id == cmd::CodePageUtf8 || id == cmd::CodePage1252) {
        SetCodePage(id == cmd::CodePageUtf8 ? platform::CodePage::Utf8 : platform::CodePage::Windows1252);
        return true;
    }
    if (id == cmd::FollowName) {
        SetFollowName(!CTextFileDoc::IsFollowName());
        return true;
    }
    if (id == cmd::IncludeRotated) {
        const bool on = m_pProfile->GetProfileInt(kIncludeRotatedSection, kIncludeRotatedEntry, 0) == 0;
        m_pProfile->WriteProfileInt(kIncludeRotatedSection, kIncludeRotatedEntry, on ? 1 : 0);
        m_pProfile->Flush();
        // Turned on, it applies to the active window at once; the others keep what they show.
        if (CTextFileView* view = on && m_pMainFrame ? m_pMainFrame->GetActiveView() : nullptr)
            view->ShowRotationSet();
        return true;
    }
    if (id == cmd::LineNumbers) {
        SetLineNumbers(!CFileWndWidget::LineNumbers());
        return true;
    }
    if (id == cmd::RegularExpression) {
        SetRegularExpression(!m_bRegularExpression);
        return true;
    }
    if (id == cmd::Timeline) {
        const bool on = !CTimelineBand::ShownEverywhere();
        CTimelineBand::SetShownEverywhere(on);
        m_pProfile->WriteProfileInt(kLogSection, kTimelineEntry, on ? 1 : 0);
        m_pProfile->Flush();
        return true;
    }
    if (OnHighlightCommand(id))
        return true;
    if (id == cmd::AppExit) {
        if (m_pMainFrame)
            m_pMainFrame->close();
        return true;
    }
    return false;
}

bool CTextFileViewerApp::OnUpdateCommand(CCmdUI& ui)
{
    if (ui.m_nID >= cmd::FileMruFirst && ui.m_nID <= cmd::FileMruLast) {
        ui.Enable(ui.m_nID - cmd::FileMruFirst < static_cast<int>(m_recentFiles.Entries().size()));
        return true;
    }
    if (ui.m_nID == cmd::CodePageUtf8 || ui.m_nID == cmd::CodePage1252) {
        const auto shown = ui.m_nID == cmd::CodePageUtf8 ? platform::CodePage::Utf8 : platform::CodePage::Windows1252;
        ui.Enable();
        ui.SetRadio(platform::AnsiCodePage() == shown);  // one of the two marked, as a pair of radio items
        return true;
    }
    if (ui.m_nID == cmd::IncludeRotated) {
        ui.Enable();
        ui.SetCheck(m_pProfile->GetProfileInt(kIncludeRotatedSection, kIncludeRotatedEntry, 0) != 0 ? 1 : 0);
        return true;
    }
    if (ui.m_nID == cmd::FollowName || ui.m_nID == cmd::RegularExpression) {
        ui.Enable();
        ui.SetCheck((ui.m_nID == cmd::FollowName ? CTextFileDoc::IsFollowName() : m_bRegularExpression) ? 1 : 0);
        return true;
    }
    if (ui.m_nID == cmd::LineNumbers) {
        ui.Enable();
        ui.SetCheck(CFileWndWidget::LineNumbers() ? 1 : 0);
        return true;
    }
    if (ui.m_nID == cmd::Timeline) {
        ui.Enable();
        ui.SetCheck(CTimelineBand::ShownEverywhere() ? 1 : 0);
        return true;
    }
    if (ui.m_nID == cmd::OpenMerged) {
        ui.Enable();
        return true;
    }
    if (ui.m_nID == cmd::FileReopenSession) {
        ui.Enable(m_pStateStore && !m_pStateStore->LastSession().empty());
        return true;
    }
    if (ui.m_nID == cmd::FileRestoreAtStart) {
        ui.Enable();
        ui.SetCheck(IsRestoreAtStart() ? 1 : 0);
        return true;
    }
    if (OnUpdateHighlightCommand(ui))
        return true;
    if (ui.m_nID == cmd::AppExit || ui.m_nID == cmd::FileOpen || ui.m_nID == cmd::AppAbout) {
        ui.Enable();
        return true;
    }
    return false;
}

void CTextFileViewerApp::RestoreCodePage()
{
    platform::CodePage codePage = platform::LocaleCodePage();
    platform::ParseCodePageKey(m_pProfile->GetProfileString(kLogSection, kCodePageEntry, ""), codePage);
    platform::SetAnsiCodePage(codePage);
}

void CTextFileViewerApp::RestoreFollowName()
{
    CTextFileDoc::SetFollowName(m_pProfile->GetProfileInt(kLogSection, kFollowNameEntry, 0) != 0);
}

void CTextFileViewerApp::SetFollowName(bool follow)
{
    // Windows whose name already names another file keep their offer: the
    // choice concerns what happens from now on.
    CTextFileDoc::SetFollowName(follow);
    m_pProfile->WriteProfileInt(kLogSection, kFollowNameEntry, follow ? 1 : 0);
    m_pProfile->Flush();
}

void CTextFileViewerApp::RestoreLineNumbers()
{
    CFileWndWidget::SetLineNumbers(m_pProfile->GetProfileInt(kLogSection, kLineNumbersEntry, 0) != 0);
}

void CTextFileViewerApp::SetLineNumbers(bool shown)
{
    CFileWndWidget::SetLineNumbers(shown);
    m_pProfile->WriteProfileInt(kLogSection, kLineNumbersEntry, shown ? 1 : 0);
    m_pProfile->Flush();
    RepaintWindows();  // each window lays its gutter out at its next paint
}

void CTextFileViewerApp::SetRegularExpression(bool on)
{
    m_bRegularExpression = on;
    m_pProfile->WriteProfileInt(kLogSection, kRegularExpressionEntry, on ? 1 : 0);
    m_pProfile->Flush();
    if (!m_pMainFrame)
        return;
    for (CTextFileViewerChildFrame* frame : m_pMainFrame->GetChildFrames())
        if (CTextFileView* view = frame->GetActiveView())
            view->SetRegularExpression(on);
    ShowRegularExpression();
}

void CTextFileViewerApp::ShowRegularExpression()
{
    if (IRibbonComboElement* box = m_pMainFrame->FindComboElement(cmd::FindText))
        box->SetPlaceholder(m_bRegularExpression ? platform::Utf8ToUtf16(text::RegularExpressionPlaceholder)
                                                 : std::u16string());
}

void CTextFileViewerApp::RestoreTextLimit()
{
    // A number of bytes that may pass 2 GiB: kept as text, not as a 32-bit number.
    const std::string kept = m_pProfile->GetProfileString("Compressed", "MaxBytes", "");
    char* end = nullptr;
    const unsigned long long bytes = std::strtoull(kept.c_str(), &end, 10);
    CTextFileDoc::SetTextLimit(!kept.empty() && end && !*end ? bytes : 0);
}

void CTextFileViewerApp::SetCodePage(platform::CodePage codePage)
{
    if (codePage == platform::AnsiCodePage())
        return;
    platform::SetAnsiCodePage(codePage);
    m_pProfile->WriteProfileString(kLogSection, kCodePageEntry, platform::CodePageKey(codePage));
    m_pProfile->Flush();
    if (!m_pMainFrame)
        return;
    for (CTextFileViewerChildFrame* frame : m_pMainFrame->GetChildFrames())
        if (CTextFileView* view = frame->GetActiveView(); view && view->GetFileWnd())
            view->GetFileWnd()->OnCodePageChanged();
    m_pMainFrame->ShowCodePage();
}

// --- Highlight rules -------------------------------------------------------------------------------------------------

bool CTextFileViewerApp::OnHighlightCommand(int id)
{
    if (!m_pHighlight)
        return false;
    if (id == cmd::HighlightEnabled)
        m_pHighlight->SetEnabled(!m_pHighlight->IsEnabled());
    else if (id == cmd::HighlightLogLevels)
        m_pHighlight->SetLogLevels(!m_pHighlight->LogLevelsOn());
    else if (id == cmd::HighlightEdit)
        EditHighlightRules();
    else
        return false;
    RepaintWindows();
    return true;
}

bool CTextFileViewerApp::OnUpdateHighlightCommand(CCmdUI& ui)
{
    if (ui.m_nID != cmd::HighlightEnabled && ui.m_nID != cmd::HighlightLogLevels && ui.m_nID != cmd::HighlightEdit)
        return false;
    ui.Enable(m_pHighlight != nullptr);
    if (m_pHighlight && ui.m_nID == cmd::HighlightEnabled)
        ui.SetCheck(m_pHighlight->IsEnabled() ? 1 : 0);
    if (m_pHighlight && ui.m_nID == cmd::HighlightLogLevels)
        ui.SetCheck(m_pHighlight->LogLevelsOn() ? 1 : 0);
    return true;
}

void CTextFileViewerApp::EditHighlightRules()
{
    // The preview shows a line of the active window, in its colours.
    CFileWnd* wnd = nullptr;
    if (CTextFileView* view = m_pMainFrame ? m_pMainFrame->GetActiveView() : nullptr)
        wnd = view->GetFileWnd();
    CHighlightRuleEditor editor(m_pMainFrame, m_pHighlight->Rules(), wnd,
                                m_pHighlight->LogLevelsOn() ? LogLevelRules() : std::vector<HighlightRule>{});
    if (editor.exec() == QDialog::Accepted) {
        m_pHighlight->SetRules(editor.Rules());
        // Rules made to be seen: editing them turns highlighting on.
        if (!m_pHighlight->IsEnabled())
            m_pHighlight->SetEnabled(true);
    }
}

void CTextFileViewerApp::RepaintWindows()
{
    if (!m_pMainFrame)
        return;
    for (CTextFileViewerChildFrame* frame : m_pMainFrame->GetChildFrames())
        if (CTextFileView* view = frame->GetActiveView(); view && view->GetFileWnd())
            view->GetFileWnd()->Invalidate();
}
