// A window on the systemd journal (file/JournalSource.h): the journal's own
// log format, whose levels and times come from the entries, and what the
// window says of the text.
#include "engine/JournalFormat.h"
#include "textwnd/FileWnd.h"
#include "view/StringTable.h"
#include "view/TextFileView.h"

#include <string>

namespace {

// journalctl's names of the priorities.
const char* const kPriorityNames[] = {"emerg", "alert", "crit", "err", "warning", "notice", "info", "debug"};

std::string WithPart(const char* format, const std::string& part)
{
    std::string out = format;
    out.replace(out.find("%s"), 2, part);
    return out;
}

}  // namespace

std::string JournalTitle(const platform::JournalQuery& query, const std::string& since)
{
    std::vector<std::string> parts;
    if (!query.directory.empty())
        parts.push_back(query.directory);
    if (query.boot == platform::JournalQuery::Boot::This)
        parts.emplace_back(text::JournalThisBoot);
    else if (query.boot == platform::JournalQuery::Boot::Previous)
        parts.emplace_back(text::JournalPreviousBoot);
    for (const std::string& unit : query.units)
        parts.push_back(unit);
    if (query.lowestPriority >= 0 && query.lowestPriority < 7)
        parts.push_back(WithPart(text::JournalLowestFormat, kPriorityNames[query.lowestPriority]));
    if (!since.empty())
        parts.push_back(WithPart(text::JournalSinceFormat, since));
    std::string title = text::JournalTitleText;
    for (std::size_t i = 0; i < parts.size(); ++i)
        title += (i == 0 ? " (" : ", ") + parts[i];
    return parts.empty() ? title : title + ")";
}

void CTextFileView::PrepareJournalWindow()
{
    const CJournalProducer* journal = m_pDocument->Journal();
    if (!journal)
        return;
    m_pFileWnd->SetOwnFormat(logformat::MakeJournalFormat(journal->Levels()));
    // A row's tooltip: the fields of the entry whose first line it shows, read from the journal when asked.
    m_pFileWnd->SetRowTipSource(
        [levels = journal->Levels(), dir = m_pDocument->JournalQueryOf().directory](TextPos lineStart) {
            CLineLevels::Entry entry;
            return levels->Find(lineStart, entry) ? platform::JournalEntryFields(dir, entry.realtime) : std::string();
        });
    SayJournalNews();
}

void CTextFileView::SayJournalNews()
{
    const CJournalProducer* journal = m_pDocument->Journal();
    if (!journal)
        return;
    m_pDocument->TakeWholeJournal();
    if (journal->Restarts() > m_nJournalRestartsSaid) {
        m_nJournalRestartsSaid = journal->Restarts();
        m_pHost->ShowMessage(ViewMessageKind::Warning,
                             WithPart(text::JournalOldestDroppedFormat, std::to_string(CTextFileDoc::TextLimit())));
    } else if (journal->SeesOnlyOwn() && !m_bJournalOwnShown) {
        m_bJournalOwnShown = true;
        m_pHost->ShowMessage(ViewMessageKind::Information, text::JournalOwnEntries);
    } else if (m_bLoaded && journal->HasReadAll() && journal->Entries() == 0 && !m_bJournalEmptyShown) {
        m_bJournalEmptyShown = true;
        m_pHost->ShowMessage(ViewMessageKind::Information, text::JournalNoEntries);
    } else if (m_bJournalEmptyShown && journal->Entries() > 0) {
        m_bJournalEmptyShown = false;
        m_pHost->HideMessage();
    }
}
