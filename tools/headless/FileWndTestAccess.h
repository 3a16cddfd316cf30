// For tests, the fuzzer and the benchmarks only: puts a text window into a
// state in one step that it otherwise reaches only a long way round (a top
// inside a line after a search in a one-row window, an offset kept after the
// window widened), or into one that painting must bear although no operation
// makes it (a highlight ending between the two bytes of a unit). Product code
// and the probe never use it; prefer the window's own operations where they
// reach the state.
#pragma once

#include "textwnd/FileWnd.h"

class CFileWndTestAccess {
public:
    static void SetTop(CFileWnd& wnd, TextPos top) { wnd.m_pTop = top; }
    static void SetHorzOffset(CFileWnd& wnd, std::int64_t columns) { wnd.m_nHorzOffset = columns; }
    static void SetHighlightRange(CFileWnd& wnd, TextPos start, TextPos end)
    {
        wnd.m_pHighlightStart = start;
        wnd.m_pHighlightEnd = end;
    }
    // Where the next Find Next or Find Previous continues from.
    static void SetFindPlace(CFileWnd& wnd, TextPos anchor, TextPos lastMatch)
    {
        wnd.m_pFindAnchor = anchor;
        wnd.m_pLastMatch = lastMatch;
    }
};
