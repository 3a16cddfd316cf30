// The status bar's three indicators of the active text window: the character
// at the top of the screen, the file's character count and its encoding. The
// bar polls them at every idle moment, so each is a constant-time function of
// the window's state.
#pragma once

#include "platform/CodePage.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

class CFileWnd;

// The text of pane `paneId` (cmd::PaneCurrentChar, cmd::PaneTotalChars or
// cmd::PaneEncoding) for `wnd`. Empty for any other id, and for all three when
// there is no window or it holds no text: figures of a file that is no longer
// shown would be wrong, and without a code-unit size there is nothing to
// divide by. The counts are 64-bit: files of 2 GiB and more show positive figures.
std::string StatusPaneText(int paneId, CFileWnd* wnd);

// The Current Char pane's tooltip: its label and the line of the top row,
// "Line 1234 at the top", or that the lines up to it are still being counted;
// the label alone without text. The pane's own text stays the character index.
// With a log format it adds the top row's record: "Record at the top: 2026-12-07 10:00:00.123, error"
// (local time, "no time" and "no level" where the record has none).
std::string TopLineTooltip(CFileWnd* wnd);
// A record's time as the tooltip shows it: local time to the millisecond.
std::string RecordTimeText(std::int64_t micros);

// "N of M lines shown": the lines the window's filter stack shows of those its scan has read.
std::string ShownLinesText(std::int64_t shown, std::int64_t total);
// The Total Chars pane's tooltip: its label, and while the window hides lines (IsFiltering) under it how many
// it shows.
std::string TotalCharsTooltip(CFileWnd* wnd);

// The encoding pane's tooltip: its label and the code page that narrow text
// is shown in, "Encoding of currently open file (ANSI code page: UTF-8)".
// The pane's own text stays the encoding's name.
// For a document decompressed into memory it adds the format it came from,
// "...; decompressed from gzip".
std::string EncodingPaneTooltip(platform::CodePage codePage, const char* decompressedFrom = nullptr);

// One remembered text length (in characters) per pane, initially 0. The
// status bar is laid out again only when a pane's text changes its length, so
// scrolling within the same number of digits only replaces the text.
class CPaneTextLengths {
public:
    // Remembers the length of `text` for `paneId`; true when it differs from
    // the length remembered before (the bar must be laid out again).
    bool Update(int paneId, std::string_view text);

private:
    static constexpr int kPanes = 3;
    static int Slot(int paneId);

    std::size_t m_nLengths[kPanes] = {0, 0, 0};
};
