// What the view does when the file behind its document changes identity: the
// name it was opened by now names another file (a rotated log).
#include "textwnd/FileWnd.h"
#include "view/CommandIds.h"
#include "view/DisplayPreferences.h"
#include "view/StringTable.h"
#include "view/TextFileView.h"

void CTextFileView::OnFileReplaced()
{
    switch (m_pDocument->OnNameReplaced()) {
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
    if (m_bLoaded && m_pDocument->ReopenByName())
        LoadReplacedFile();
}

void CTextFileView::LoadReplacedFile()
{
    const DisplayPreferences* prefs = GetPrefs();
    // A new file: its own byte-order mark decides, as at any opening, and the
    // reader goes on at its end as a follower of the log would.
    if (!m_pFileWnd->LoadFile(m_pDocument->GetMappedFile(), prefs ? prefs->requestedEncoding : EncodingAuto))
        return;
    m_pFileWnd->OnKeyDown(kVkEnd);
    m_pHost->ShowMessage(ViewMessageKind::Information, text::FileReopened);
}
