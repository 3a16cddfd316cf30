// The view's Go To commands: Go to Line (Ctrl+G) and Go to Time
// (Ctrl+Shift+G). Each asks in a small dialog that stays open, saying why,
// while the window cannot take what was typed; the jump itself is the text
// window's, which counts lines only as far as it needs and bisects by time
// without reading the file through.
#include "view/TextFileView.h"

#include "textwnd/FileWnd.h"
#include "view/StringTable.h"

#include <cctype>
#include <charconv>

namespace {

// A whole number, optionally signed, with spaces around it.
bool ParseLineNumber(const std::string& typed, std::int64_t& n)
{
    std::size_t first = 0, last = typed.size();
    while (first < last && std::isspace(static_cast<unsigned char>(typed[first])))
        ++first;
    while (last > first && std::isspace(static_cast<unsigned char>(typed[last - 1])))
        --last;
    if (first < last && typed[first] == '+')
        ++first;  // from_chars takes a minus only
    const char* end = typed.data() + last;
    const auto [stop, error] = std::from_chars(typed.data() + first, end, n);
    return first < last && error == std::errc() && stop == end;
}

std::string Substitute(std::string format, const std::string& value)
{
    return format.replace(format.find("%s"), 2, value);
}

}  // namespace

void CTextFileView::OnGoToLine()
{
    if (!m_bLoaded || !m_pFileWnd->HasText())
        return;
    m_pHost->AskText(text::GoToLineTitle, text::GoToLinePrompt,
                     [this](const std::string& typed) { return TakeLineNumber(typed); });
}

std::string CTextFileView::TakeLineNumber(const std::string& typed)
{
    std::int64_t n = 0;
    if (!ParseLineNumber(typed, n))
        return text::GoToLineNotNumber;
    if (m_pFileWnd->GoToLine(n))
        return {};
    // A line past the end has counted the whole text on its way: the count costs nothing more.
    CLineIndex* index = m_pFileWnd->GetLineIndex();
    return Substitute(text::GoToLineOutOfRangeFormat, std::to_string(index ? index->LineCount() : 0));
}

void CTextFileView::OnGoToTime()
{
    if (!m_bLoaded || !m_pFileWnd->HasTimeStamps())
        return;
    m_pHost->AskText(text::GoToTimeTitle, text::GoToTimePrompt,
                     [this](const std::string& typed) { return TakeTime(typed); });
}

std::string CTextFileView::TakeTime(const std::string& typed)
{
    const CFileWnd::TimeJump jump = m_pFileWnd->GoToTime(typed);
    switch (jump) {
    case CFileWnd::TimeJump::BadTime: return text::GoToTimeInvalid;
    case CFileWnd::TimeJump::NoTimestamps: return text::GoToTimeNoStamps;
    default: ShowTimeJump(jump); return {};
    }
}

void CTextFileView::ShowTimeJump(CFileWnd::TimeJump jump)
{
    switch (jump) {
    case CFileWnd::TimeJump::BadTime:
    case CFileWnd::TimeJump::NoTimestamps: break;
    case CFileWnd::TimeJump::AfterLast:
    case CFileWnd::TimeJump::BeforeFirst:
        m_pHost->ShowMessage(ViewMessageKind::Information, jump == CFileWnd::TimeJump::AfterLast
                                                               ? text::GoToTimeAfterLast
                                                               : text::GoToTimeBeforeFirst);
        m_bTimeMessageShown = true;
        break;
    case CFileWnd::TimeJump::Shown:
        // What an earlier jump said of its time no longer holds.
        if (m_bTimeMessageShown)
            m_pHost->HideMessage();
        m_bTimeMessageShown = false;
        break;
    }
}
