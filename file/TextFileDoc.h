// The document of one open file: it owns the file's mapping, which every
// text window on the document reads (they share this one object). It never
// reads, parses or writes the file itself, so closing it never asks to save.
#pragma once

#include "file/MemoryMappedFile.h"

#include <memory>
#include <string>

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
    bool OnOpenDocument(const char* path);
    // Releases the mapping and the file; the document is empty afterwards.
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
    NameChange OnNameReplaced();
    // Puts the file the name names in place of the open one, under the same
    // descriptor, so that every window's watcher follows it; the record and
    // the path stay. False when the name names nothing that can be opened,
    // or names the open file already.
    bool ReopenByName();
    // Whether the name names the file that is open.
    bool NameNamesOpenFile() const;

    const std::string& GetPathName() const { return m_strPathName; }
    void SetPathName(const char* path) { m_strPathName = path ? path : ""; }
    bool IsModified() const { return m_bModified; }
    void SetModifiedFlag(bool modified = true) { m_bModified = modified; }
    CMemoryMappedFile* GetMappedFile() const { return m_pMappedFile.get(); }

    // The mapping of the document's file; null until a successful open.
    std::unique_ptr<CMemoryMappedFile> m_pMappedFile;

private:
    std::string m_strPathName;
    bool m_bModified = false;
};
