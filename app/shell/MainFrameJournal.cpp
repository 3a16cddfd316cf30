// System Journal: the dialog, then the journal in a window of its own.
#include "app/shell/JournalDialog.h"
#include "app/shell/MainFrame.h"
#include "app/shell/TextFileViewerApp.h"
#include "platform/Types.h"
#include "view/StringTable.h"

void CTextFileViewerMainFrame::ShowJournalDialog()
{
    CJournalDialog dialog(m_journalFolder, this);
    if (dialog.exec() != QDialog::Accepted)
        return;
    platform::JournalQuery query;
    if (!dialog.Query(query))
        return;
    m_journalFolder = dialog.Folder();
    std::string error;
    if (!m_pApp->OpenJournal(query, dialog.Since().toStdString(), &error)) {
        const std::string format = text::JournalFailedFormat;
        const std::size_t at = format.find("%s");
        MessageBox(this, format.substr(0, at) + error + format.substr(at + 2),
                   platform::kMbOk | platform::kMbIconError);
    }
}
