#include "view/StatusIndicators.h"

#include "file/Encoding.h"
#include "textwnd/FileWnd.h"
#include "view/CommandIds.h"
#include "view/StringTable.h"

#include <cstdint>
#include <cstdio>
#include <ctime>

namespace {

// The pane's format with its "%d" replaced by `value`, written in full 64 bits.
std::string formatCount(std::string_view format, std::int64_t value)
{
    std::string out(format);
    const std::size_t at = out.find("%d");
    if (at != std::string::npos)
        out.replace(at, 2, std::to_string(value));
    return out;
}

// Characters of a UTF-8 text: its bytes that do not continue a character.
std::size_t charLength(std::string_view text)
{
    std::size_t n = 0;
    for (char c : text)
        n += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    return n;
}

}  // namespace

std::string TopLineTooltip(CFileWnd* wnd)
{
    wnd = wnd ? wnd->TopRowWindow() : nullptr;  // a merged window: the top row's file
    std::string out = text::PaneCurrentCharLabel;
    if (!wnd || !wnd->HasText())
        return out;
    // At most one checkpoint's stretch is counted here: constant work at every idle moment.
    const std::int64_t line = wnd->LineNumberOf(wnd->GetTop() == kNoPos ? wnd->DataStart() : wnd->GetTop());
    std::string note = line < 0 ? text::PaneTopLineUnknown : text::PaneTopLineFormat;
    if (line >= 0)
        note.replace(note.find("%s"), 2, std::to_string(line));
    out += '\n' + note;
    const logformat::Record record = wnd->TopRecord();
    if (wnd->RecordFormat()) {
        std::string line = text::PaneTopRecordFormat;
        line.replace(line.find("%s"), 2, record.timed ? RecordTimeText(record.micros) : text::PaneTopRecordNoTime);
        line.replace(
            line.find("%s"), 2,
            record.level == logformat::Level::None ? text::PaneTopRecordNoLevel : logformat::LevelName(record.level));
        out += '\n' + line;
    }
    return out;
}

std::string RecordTimeText(std::int64_t micros)
{
    // Floor division: a time before 1970 keeps its fraction positive.
    std::int64_t secs = micros / 1000000, frac = micros % 1000000;
    if (frac < 0)
        frac += 1000000, --secs;
    const std::time_t t = static_cast<std::time_t>(secs);
    std::tm tm{};
    localtime_r(&t, &tm);
    char buf[48];
    std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d:%02d.%03d", tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday,
                  tm.tm_hour, tm.tm_min, tm.tm_sec, static_cast<int>(frac / 1000));
    return buf;
}

std::string ShownLinesText(std::int64_t shown, std::int64_t total)
{
    std::string out = text::ShownLinesFormat;
    out.replace(out.find("%s"), 2, std::to_string(shown));
    out.replace(out.find("%s"), 2, std::to_string(total));
    return out;
}

std::string TotalCharsTooltip(CFileWnd* wnd)
{
    std::string out = text::PaneTotalCharsLabel;
    if (wnd && wnd->HasText() && wnd->IsFilteringRows()) {
        const shownset::ShownStatus status = wnd->GetShownStatus();
        out += '\n';
        out += ShownLinesText(status.shownLines, status.totalLines);
    }
    return out;
}

std::string EncodingPaneTooltip(platform::CodePage codePage, const char* decompressedFrom)
{
    std::string out = text::PaneEncodingCodePageFormat;
    out.replace(out.find("%s"), 2, text::PaneEncodingLabel);
    out.replace(out.find("%s"), 2, platform::CodePageName(codePage));
    if (decompressedFrom && *decompressedFrom) {
        std::string from = text::PaneEncodingDecompressedFormat;
        out += from.replace(from.find("%s"), 2, decompressedFrom);
    }
    return out;
}

std::string StatusPaneText(int paneId, CFileWnd* wnd)
{
    wnd = wnd ? wnd->TopRowWindow() : nullptr;  // a merged window: the top row's file
    if (!wnd || !wnd->HasText())
        return {};
    const unsigned unit = wnd->CodeUnitSize();
    if (unit == 0)
        return {};
    switch (paneId) {
    case cmd::PaneCurrentChar: {
        const TextPos top = wnd->GetTop() == kNoPos ? wnd->DataStart() : wnd->GetTop();
        return formatCount(text::PaneCurrentCharFormat, (top - wnd->DataStart()) / static_cast<std::int64_t>(unit));
    }
    case cmd::PaneTotalChars:
        // Below 2^63 for any file a mapping can hold.
        return formatCount(text::PaneTotalCharsFormat, static_cast<std::int64_t>(wnd->CharacterCount()));
    case cmd::PaneEncoding: return EncodingName(wnd->GetEncoding());
    default: return {};
    }
}

int CPaneTextLengths::Slot(int paneId)
{
    switch (paneId) {
    case cmd::PaneCurrentChar: return 0;
    case cmd::PaneTotalChars: return 1;
    case cmd::PaneEncoding: return 2;
    default: return -1;
    }
}

bool CPaneTextLengths::Update(int paneId, std::string_view text)
{
    const int slot = Slot(paneId);
    if (slot < 0)
        return false;
    const std::size_t length = charLength(text);
    if (length == m_nLengths[slot])
        return false;
    m_nLengths[slot] = length;
    return true;
}
