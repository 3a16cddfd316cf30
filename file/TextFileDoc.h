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
