// The view's log format: the Records panel's Format drop-down shows the
// active window's choice, and a choice applies to the window at once and is
// kept in the store for the file.
#include "platform/Win1252.h"
#include "view/CommandIds.h"
#include "view/StringTable.h"
#include "view/TextFileView.h"

namespace {

std::u16string AutomaticEntry(const logformat::CFormat* detected)
{
    std::string entry = text::RecordFormatAutomaticFormat;
    entry.replace(entry.find("%s"), 2, detected ? detected->Name() : std::string(text::RecordFormatNone));
    return platform::Utf8ToUtf16(entry);
}

}  // namespace

void CTextFileView::ApplyKeptFormat()
{
    if (m_pStore)
        m_pFileWnd->SetChosenFormat(m_pStore->FormatOf(m_pDocument->GetPathName()));
}

void CTextFileView::SyncRecordFormat()
{
    IRibbonComboElement* box = m_pHost->FindComboElement(cmd::RecordFormat);
    if (!box)
        return;
    const bool shown = m_bLoaded && m_pFileWnd->HasText();
    // Every format by name after Automatic; the entries are made again only when they differ, so that an
    // open drop-down is not emptied under the user's pointer at every activation.
    m_pSyncedDetected = shown ? m_pFileWnd->DetectedFormat() : nullptr;
    std::vector<std::u16string> entries{AutomaticEntry(m_pSyncedDetected)};
    const auto formats = logformat::CurrentFormats();
    for (const logformat::CFormat* format : formats->All())
        entries.push_back(platform::Utf8ToUtf16(format->Name()));
    bool same = box->GetCount() == static_cast<int>(entries.size());
    for (int i = 0; same && i < box->GetCount(); ++i)
        same = box->GetItem(i) == entries[static_cast<std::size_t>(i)];
    if (!same) {
        while (box->GetCount() > 0)
            box->DeleteItem(box->GetCount() - 1);
        for (const std::u16string& entry : entries)
            box->InsertItem(-1, entry);
    }
    // A kept name that names no format any more shows, and works, as Automatic.
    const logformat::CFormat* chosen = shown ? m_pFileWnd->ChosenFormat() : nullptr;
    int selected = 0;
    for (std::size_t i = 0; chosen && i < formats->All().size(); ++i)
        if (formats->All()[i] == chosen)
            selected = static_cast<int>(i) + 1;
    if (box->GetCurSel() != selected || !same)
        box->SelectItem(selected);
}

void CTextFileView::OnRecordFormat()
{
    IRibbonComboElement* box = m_pHost->FindComboElement(cmd::RecordFormat);
    if (!box || !m_bLoaded)
        return;
    const int selected = box->GetCurSel();
    const std::string name = selected <= 0 ? std::string() : platform::Utf16ToUtf8(box->GetItem(selected));
    m_pFileWnd->SetChosenFormat(name);
    if (m_pStore && m_pDocument->GetPathName() != CTextFileDoc::kStandardInputName && !m_pDocument->IsCommand() &&
        !m_pDocument->IsJournal())
        m_pStore->SetFormatOf(m_pDocument->GetPathName(), name);
    SyncRecordFormat();
    m_pHost->FocusTextWindow();
}
