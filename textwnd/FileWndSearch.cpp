// Search (not yet).
#include "textwnd/FileWnd.h"

int CFileWnd::FindFirst(bool, const std::u16string&) { return 1; }
int CFileWnd::FindNext(bool, const std::u16string&) { return 1; }
int CFileWnd::FindPrevious(bool, const std::u16string&) { return 1; }
void CFileWnd::SetHighlight(TextPos, std::int64_t) {}
TextPos CFileWnd::SearchForward(const std::u16string&, TextPos, TextPos) { return kNoPos; }
TextPos CFileWnd::SearchBackward(const std::u16string&, TextPos, TextPos) { return kNoPos; }
void CFileWnd::ShowMatch(TextPos, std::int64_t) {}
