// The document of one open file: it owns the file's mapping, which every
// text window on the document reads (they share this one object). It never
// reads, parses or writes the file itself, so closing it never asks to save.
#pragma once

#include "file/JournalSource.h"
#include "file/MemoryMappedFile.h"
#include "file/StreamSource.h"
#include "platform/Process.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class CTextFileDoc {
public:
    CTextFileDoc();
    // Closes the file (the windows on the document are gone by then).
    ~CTextFileDoc();
    CTextFileDoc(const CTextFileDoc&) = delete;
    CTextFileDoc& operator=(const CTextFileDoc&) = delete;

    // There is no empty document to make; kept for the frame's calling order.
    bool OnNewDocument() { return true; }
    // Maps `path` read-only. A file that cannot be opened or mapped (missing,
    // empty, a directory, unreadable, too large for the address space) is
    // refused silently: false, and the document keeps what it had.
    //
    // A file whose first bytes are the magic of a compressed format, and the
    // name kStandardInputName, are read by a background reader into an
    // anonymous file in memory that the document maps instead (GetSource); a
    // window shows it once IsReadyToShow says so.
    bool OnOpenDocument(const char* path);
    // Reads `input` (a pipe, taken) as it arrives, under the name `path`: what
    // OnOpenDocument does for kStandardInputName with standard input.
    bool OnOpenStream(platform::FileHandle input, const char* path);
    // Runs a command line the user gave (platform::StartShellCommand) and
    // reads its output as OnOpenStream reads a pipe; the name is the command
    // with kCommandPrefix before it. False, with the reason in `error`, when
    // it cannot be started. Only ever called with what the user typed or
    // chose: a name read back from anywhere never runs a command.
    bool OnOpenCommand(const std::string& command, std::string& error);
    // Ends the running command, if any, and runs it anew in place of the text
    // it wrote: every window registered with AddWindow is posted
    // WM_FILE_REPLACED, as ReopenByName does, and loads the new text.
    bool RunCommandAgain(std::string& error);
    bool IsCommand() const { return !m_strCommand.empty(); }
    // Opens a file on another machine by its ssh:// name (file/SshName.h): a command as OnOpenCommand runs
    // one, the ssh client, whose standard error is kept apart (SshErrors) and whose output is the text;
    // the name is the document's. RunCommandAgain connects again. False when the name is not one ssh can be
    // run on (`error` empty: sshname::Parse says why) or ssh cannot be started (the reason in `error`).
    bool OnOpenSsh(const std::string& name, std::string& error);
    bool IsSsh() const { return !m_strSshName.empty(); }
    // The last line that ssh or the remote side wrote to the standard error (their reason for ending).
    std::string SshErrors() const;
    const std::string& Command() const { return m_strCommand; }
    // Whether the command has ended, and its status (the exit code, or 128 plus the signal's number); asked
    // again after the end, it gives the same answer. Waits at most `waitMs` for the end (a command's output
    // ends a moment before the command does).
    bool CommandEnded(int& status, int waitMs = 0);
    // Reads the systemd journal that `query` narrows into an anonymous file, as OnOpenStream reads a pipe,
    // and follows its new entries; `title` names the document. False, with the reason in `error`, when the
    // journal cannot be opened.
    bool OnOpenJournal(const platform::JournalQuery& query, const std::string& title, std::string& error);
    bool IsJournal() const { return m_pJournal != nullptr; }
    // The journal's reader (levels, times and what it says of the text); null for any other document.
    const CJournalProducer* Journal() const { return m_pJournal.get(); }
    const platform::JournalQuery& JournalQueryOf() const { return m_journalQuery; }
    // UI thread: once the journal's reader has read the whole journal behind the newest entries it showed
    // first, puts that text in their place as RunCommandAgain does (every window loads it); false when
    // there is nothing to put in place. IsReadyToShow asks it too.
    bool TakeWholeJournal();
    // Releases the mapping and the file, and ends a command's process group; the document is empty afterwards.
    void OnCloseDocument();

    // Follow Name, for every document at once: when the name a document was
    // opened by comes to name another file (log rotation), the document
    // switches to that file by itself; off, it only offers to.
    static void SetFollowName(bool follow);
    static bool IsFollowName();

    // What a document did when one of its windows was told that the name now
    // names another file (WM_FILE_REPLACED).
    enum class NameChange {
        None,      // nothing to do (no name to follow, or nothing openable there)
        Reopened,  // the document shows the new file: the window loads it anew
        Offered,   // Follow Name is off: the window offers ReopenByName
    };
    // `seen`: the window's count of the document's switches (ReplaceCount)
    // it has loaded, brought up to date when it is to load the new file.
    NameChange OnNameReplaced(std::uint32_t& seen);
    // Puts the file the name names in place of the open one, under the same
    // descriptor, so that every window's watcher follows it; the record and
    // the path stay. Then every window registered with AddWindow is posted
    // WM_FILE_REPLACED, so that each loads the new file and says so. False
    // when the name names nothing that can be opened, or names the open file
    // already.
    bool ReopenByName();
    // How many times the document switched to another file.
    std::uint32_t ReplaceCount() const { return m_nReplaceCount; }
    // UI thread: the windows told of a switch; a window gone is skipped.
    void AddWindow(platform::HWND hwnd);
    void RemoveWindow(platform::HWND hwnd);
    // Whether the name names the file that is open.
    bool NameNamesOpenFile() const;
    // Whether the name names another regular file than the open one, which
    // ReopenByName would take.
    bool NameNamesAnotherFile() const;

    // The name that stands for standard input, and the title of its window.
    static constexpr const char* kStandardInputName = "-";
    static constexpr const char* kStandardInputTitle = "(standard input)";
    // What the name of a command's document begins with.
    static constexpr const char* kCommandPrefix = "$ ";
    // The most bytes of text a background reader keeps: the smaller of a
    // quarter of the machine's memory and 4 GiB unless set.
    static void SetTextLimit(std::uint64_t bytes);
    static std::uint64_t TextLimit();
    static std::uint64_t DefaultTextLimit();

    // The background reader; null for a file mapped as it stands.
    CStreamSource* GetSource() const { return m_pSource.get(); }
    // Whether the text was decompressed from the file.
    bool IsDecompressed() const;
    // UI thread: maps the text read so far; true when a window may show it
    // (at once for a file; a compressed file once it is all read, so that its
    // byte-order mark and last screenful are those of the whole text;
    // standard input once a byte-order mark could be told, then as it grows).
    bool IsReadyToShow();

    const std::string& GetPathName() const { return m_strPathName; }
    void SetPathName(const char* path) { m_strPathName = path ? path : ""; }
    bool IsModified() const { return m_bModified; }
    void SetModifiedFlag(bool modified = true) { m_bModified = modified; }
    CMemoryMappedFile* GetMappedFile() const { return m_pMappedFile.get(); }
    // The device and inode of the file that the last successful open read,
    // taken from its descriptor (never again by name, which a rotation may
    // have moved on); false for a pipe.
    bool GetOpenedFileId(platform::FileId& id) const
    {
        id = m_openedId;
        return m_bHasOpenedId;
    }

    // The mapping of the document's file; null until a successful open.
    std::unique_ptr<CMemoryMappedFile> m_pMappedFile;

private:
    // Starts the background reader on `input` (taken, but standard input stays
    // open) into a new anonymous file.
    bool OpenThroughSource(platform::FileHandle input, bool pipe, const char* path);

    // Stopped before the mapping goes: the reader writes to the mapped file.
    std::unique_ptr<CStreamSource> m_pSource;
    platform::FileId m_openedId;
    bool m_bHasOpenedId = false;
    std::string m_strPathName;
    bool m_bModified = false;
    std::uint32_t m_nReplaceCount = 0;
    platform::ShellCommand m_command;  // pid -1: none running
    std::string m_strCommand;
    bool m_bCommandEnded = false;
    int m_nCommandStatus = 0;
    std::vector<platform::HWND> m_windows;
    std::string m_strSshName;                                    // empty: not an ssh document
    platform::FileHandle m_hSshErrors = platform::kInvalidFile;  // an anonymous file: ssh's standard error
    std::shared_ptr<CJournalProducer> m_pJournal;                // kept while the reader runs it, and for its levels
    platform::JournalQuery m_journalQuery;
};
