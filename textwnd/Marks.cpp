#include "textwnd/Marks.h"

#include <algorithm>

namespace {

bool Before(const CMark& m, TextPos pos)
{
    return m.pos < pos;
}

}  // namespace

std::vector<CMark>::iterator CMarkList::Find(TextPos pos)
{
    return std::lower_bound(m_marks.begin(), m_marks.end(), pos, Before);
}

std::vector<CMark>::const_iterator CMarkList::Find(TextPos pos) const
{
    return std::lower_bound(m_marks.begin(), m_marks.end(), pos, Before);
}

bool CMarkList::Add(TextPos lineStart)
{
    if (lineStart < 0)
        return false;
    const auto it = Find(lineStart);
    if (it != m_marks.end() && it->pos == lineStart)
        return false;
    const CMark& mark = *m_marks.insert(it, CMark{lineStart, {}});
    ++m_nVersion;
    if (m_pSink)
        m_pSink->OnMarkSet(mark);
    return true;
}

bool CMarkList::Remove(TextPos lineStart)
{
    const auto it = Find(lineStart);
    if (it == m_marks.end() || it->pos != lineStart)
        return false;
    m_marks.erase(it);
    ++m_nVersion;
    if (m_pSink)
        m_pSink->OnMarkRemoved(lineStart);
    return true;
}

bool CMarkList::Toggle(TextPos lineStart)
{
    if (Remove(lineStart))
        return false;
    return Add(lineStart);
}

std::string CMarkList::OneLine(const std::string& note)
{
    std::string line = note;
    for (char& c : line)
        if (c == '\r' || c == '\n')
            c = ' ';
    const auto blank = [](char c) { return c == ' ' || c == '\t'; };
    while (!line.empty() && blank(line.back()))
        line.pop_back();
    std::size_t first = 0;
    while (first < line.size() && blank(line[first]))
        ++first;
    return line.substr(first);
}

bool CMarkList::SetNote(TextPos lineStart, const std::string& note)
{
    const auto it = Find(lineStart);
    if (it == m_marks.end() || it->pos != lineStart)
        return false;
    std::string line = OneLine(note);
    if (line == it->note)
        return true;
    it->note = std::move(line);
    ++m_nVersion;
    if (m_pSink)
        m_pSink->OnMarkSet(*it);
    return true;
}

bool CMarkList::IsMarked(TextPos pos) const
{
    const auto it = Find(pos);
    return it != m_marks.end() && it->pos == pos;
}

const std::string* CMarkList::NoteOf(TextPos pos) const
{
    const auto it = Find(pos);
    return it != m_marks.end() && it->pos == pos ? &it->note : nullptr;
}

TextPos CMarkList::Next(TextPos from, bool* wrapped) const
{
    if (wrapped)
        *wrapped = false;
    if (m_marks.empty())
        return kNoPos;
    const auto it =
        std::upper_bound(m_marks.begin(), m_marks.end(), from, [](TextPos pos, const CMark& m) { return pos < m.pos; });
    if (it != m_marks.end())
        return it->pos;
    if (wrapped)
        *wrapped = true;
    return m_marks.front().pos;
}

TextPos CMarkList::Previous(TextPos from, bool* wrapped) const
{
    if (wrapped)
        *wrapped = false;
    if (m_marks.empty())
        return kNoPos;
    const auto it = Find(from);
    if (it != m_marks.begin())
        return std::prev(it)->pos;
    if (wrapped)
        *wrapped = true;
    return m_marks.back().pos;
}

std::vector<TextPos> CMarkList::Between(TextPos from, TextPos to) const
{
    std::vector<TextPos> out;
    for (auto it = Find(from); it != m_marks.end() && it->pos < to; ++it)
        out.push_back(it->pos);
    return out;
}

void CMarkList::DropFrom(TextPos end)
{
    const auto it = Find(std::max<TextPos>(end, 0));
    if (it == m_marks.end())
        return;
    m_marks.erase(it, m_marks.end());
    ++m_nVersion;
    if (m_pSink)
        m_pSink->OnMarksDroppedFrom(end);
}

void CMarkList::Load(std::vector<CMark> marks)
{
    std::sort(marks.begin(), marks.end(), [](const CMark& a, const CMark& b) { return a.pos < b.pos; });
    marks.erase(std::unique(marks.begin(), marks.end(), [](const CMark& a, const CMark& b) { return a.pos == b.pos; }),
                marks.end());
    std::erase_if(marks, [](const CMark& m) { return m.pos < 0; });
    m_marks = std::move(marks);
    ++m_nVersion;
}
