// The window's marks: toggled at a line start, jumped to as the top row.
#include "textwnd/FileWnd.h"

void CFileWnd::SetMarks(std::shared_ptr<CMarkList> marks)
{
    m_pMarks = marks ? std::move(marks) : std::make_shared<CMarkList>();
    m_pLastMark = m_pTopAfterMark = kNoPos;
    m_pPort->InvalidateAll();
}

bool CFileWnd::ToggleMark(TextPos p)
{
    SyncWithMapping();
    if (!HasText() || p == kNoPos || p >= DataEnd())
        return false;
    const bool marked = m_pMarks->Toggle(LineStartOf(p));
    m_pPort->InvalidateAll();
    return marked;
}

CFileWnd::MarkJump CFileWnd::GoToMark(bool forward)
{
    SyncWithMapping();
    if (!HasText() || m_pMarks->Empty())
        return MarkJump::NoMarks;
    const bool heldBack = m_pLastMark != kNoPos && m_pTop == m_pTopAfterMark && m_pMarks->IsMarked(m_pLastMark);
    const TextPos from = heldBack ? m_pLastMark : LineStartOf(m_pTop);
    bool wrapped = false;
    const TextPos mark = forward ? m_pMarks->Next(from, &wrapped) : m_pMarks->Previous(from, &wrapped);
    ShowMark(mark);
    return wrapped ? MarkJump::Wrapped : MarkJump::Shown;
}

void CFileWnd::ShowMark(TextPos mark)
{
    SyncWithMapping();
    if (!HasText() || mark == kNoPos || mark >= DataEnd())
        return;
    ShowLineAt(mark);
    m_pLastMark = mark;
    m_pTopAfterMark = m_pTop;
}
