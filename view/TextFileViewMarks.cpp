// The view's marks as the user points at them: the line a mark command means,
// the note of a mark, and Save Lines.
#include "view/CommandIds.h"
#include "view/StringTable.h"
#include "view/TextFileView.h"

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

namespace {

// `format` with each "%s" replaced by the next of `values`.
std::string Fill(const char* format, std::initializer_list<std::string> values)
{
    std::string out = format;
    std::size_t at = 0;
    for (const std::string& v : values) {
        at = out.find("%s", at);
        if (at == std::string::npos)
            break;
        out.replace(at, 2, v);
        at += v.size();
    }
    return out;
}

std::string BaseName(const std::string& path)
{
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace

TextPos CTextFileView::MarkTarget()
{
    CFileWnd& wnd = *m_pFileWnd;
    if (!wnd.HasText())
        return kNoPos;
    int x = 0, y = 0;
    if (!m_pHost->PointerInText(x, y))
        return wnd.LineStartOf(wnd.GetTop());
    TextPos p = wnd.PositionAt(x, y);
    // Past the end of a last line without a break: that line still.
    if (p != kNoPos && p >= wnd.DataEnd() && p > wnd.DataStart())
        p = wnd.DataEnd() - wnd.CodeUnitSize();
    return p == kNoPos ? wnd.LineStartOf(wnd.GetTop()) : wnd.LineStartOf(p);
}

void CTextFileView::OnMarkNote()
{
    if (!m_bLoaded || !m_pFileWnd->HasText())
        return;
    CFileWnd& wnd = *m_pFileWnd;
    const TextPos line = MarkTarget();
    if (line == kNoPos || line >= wnd.DataEnd())
        return;
    const bool added = !wnd.Marks().IsMarked(line) && wnd.ToggleMark(line);
    const std::string* note = wnd.Marks().NoteOf(line);
    const std::string initial = note ? *note : std::string();
    const std::int64_t number = wnd.LineNumberOf(line);
    bool accepted = false;
    m_pHost->AskText(
        text::MarkNoteTitle, Fill(text::MarkNotePromptFormat, {number > 0 ? std::to_string(number) : "?"}),
        [&](const std::string& typed) {
            // The line may have lost its mark meanwhile (a truncation, another window): it gets it back.
            wnd.Marks().Add(line);
            wnd.Marks().SetNote(line, typed);
            accepted = true;
            wnd.Invalidate();
            return std::string();
        },
        initial);
    if (!accepted && added)
        wnd.ToggleMark(line);
}

void CTextFileView::OnSaveLines()
{
    if (!m_bLoaded || !m_pFileWnd->HasText())
        return;
    CFileWnd& wnd = *m_pFileWnd;
    const CMemoryMappedFile* file = m_pDocument->GetMappedFile();
    if (!file)
        return;
    enum class Source { Marked, Listed, Selection };
    std::vector<std::pair<Source, std::string>> offered;
    std::vector<TextPos> marked;
    for (const CMark& m : wnd.Marks().All())
        if (m.pos < wnd.DataEnd())
            marked.push_back(m.pos);
    if (!marked.empty())
        offered.emplace_back(Source::Marked, Fill(text::SaveLinesMarkedFormat, {std::to_string(marked.size())}));
    const savelines::CLineSet listed = m_pHost->ListedLines();
    if (listed.count > 0 && listed.at)
        offered.emplace_back(Source::Listed, Fill(text::SaveLinesListedFormat, {std::to_string(listed.count)}));
    if (wnd.HasSelection())
        offered.emplace_back(Source::Selection,
                             Fill(text::SaveLinesSelectionFormat, {std::to_string(wnd.SelectionBytes())}));
    if (offered.empty()) {
        m_pHost->ShowMessage(ViewMessageKind::Information, text::SaveLinesNothing);
        return;
    }
    std::vector<std::string> names;
    for (const auto& o : offered)
        names.push_back(o.second);
    std::size_t chosen = 0;
    std::string path;
    if (!m_pHost->ChooseSaveLines(names, chosen, path) || path.empty() || chosen >= offered.size())
        return;
    // The dialog's event loop may have seen the file change: what is written is what there is now.
    marked.clear();
    for (const CMark& m : wnd.Marks().All())
        if (m.pos < wnd.DataEnd())
            marked.push_back(m.pos);
    const savelines::CLineSet listedNow = m_pHost->ListedLines();
    std::vector<std::string> viewed = m_pHost->ViewedPaths();
    viewed.push_back(m_pDocument->GetPathName());
    savelines::CSaveOutcome outcome;
    switch (offered[chosen].first) {
    case Source::Marked:
        outcome = savelines::SaveLines(wnd.Lines(), file->Handle(), savelines::LinesOf(marked), path, viewed);
        break;
    case Source::Listed: outcome = savelines::SaveLines(wnd.Lines(), file->Handle(), listedNow, path, viewed); break;
    case Source::Selection:
        outcome = savelines::SaveRange(wnd.Lines(), file->Handle(), wnd.GetSelectionStart(), wnd.GetSelectionEnd(),
                                       path, viewed);
        break;
    }
    switch (outcome.result) {
    case savelines::SaveResult::Saved:
        m_pHost->ShowMessage(ViewMessageKind::Information,
                             outcome.lines == 1
                                 ? Fill(text::SaveLinesSavedOneFormat, {BaseName(path)})
                                 : Fill(text::SaveLinesSavedFormat, {std::to_string(outcome.lines), BaseName(path)}));
        break;
    case savelines::SaveResult::ViewedFile:
        m_pHost->ShowMessage(ViewMessageKind::Error, text::SaveLinesViewedFile);
        break;
    case savelines::SaveResult::Failed:
        m_pHost->ShowMessage(ViewMessageKind::Error,
                             Fill(text::SaveLinesFailedFormat, {BaseName(path), outcome.error}));
        break;
    }
}
