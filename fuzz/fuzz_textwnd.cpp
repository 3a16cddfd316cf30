// Loads arbitrary bytes as a file in each requested encoding and drives the
// line steps, line reads, the last screenful, painting, scrolling and the
// three searches from arbitrary positions and client sizes, narrow text in
// either code page (and changes of it). AddressSanitizer
// catches any read outside the mapping; the asserts check that steps and
// matches stay within the data.
#include "engine/Utf8Text.h"
#include "platform/Win1252.h"
#include "tools/headless/FileWndTestAccess.h"
#include "tools/headless/HeadlessWindow.h"

#include <cstdio>
#include <cstdlib>
#include <string>
#include <sys/mman.h>
#include <unistd.h>

namespace {

struct Input {
    const std::uint8_t* p;
    size_t n;
    std::uint8_t Byte() { return n ? (--n, *p++) : 0; }
    std::uint32_t U32() { return Byte() | (Byte() << 8) | (Byte() << 16) | (std::uint32_t(Byte()) << 24); }
};

void Check(bool ok, const char* what)
{
    if (!ok) {
        std::fprintf(stderr, "check failed: %s\n", what);
        std::abort();
    }
}

// One in-memory file, rewritten for every input (no disk in the loop).
int MemFile()
{
    static const int fd = memfd_create("ostrel-fuzz", 0);
    return fd;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size)
{
    if (size < 8)
        return 0;
    Input in{data, 8};
    const int encoding = in.Byte() % 4;
    const int rows = in.Byte() % 40;
    const int cols = in.Byte() % 100 + 1;
    const int answer = in.Byte() % 3;
    const std::uint32_t seed = in.U32();
    Input script{data + 8, size > 8 ? std::min<size_t>(64, size - 8) : 0};
    const std::uint8_t* body = data + 8 + script.n;
    const size_t bodySize = size - 8 - script.n;
    if (bodySize == 0)
        return 0;

    const int fd = MemFile();
    if (fd < 0 || ftruncate(fd, 0) != 0 || pwrite(fd, body, bodySize, 0) != static_cast<ssize_t>(bodySize))
        return 0;
    const std::string path = "/proc/self/fd/" + std::to_string(fd);

    CMemoryMappedFile file;
    if (!file.Open(path.c_str(), false))
        return 0;
    headless::HeadlessPort port(rows, cols);
    port.m_answer = answer == 0 ? platform::kIdYes : answer == 1 ? platform::kIdNo : platform::kIdCancel;
    CFileWnd wnd(&port);
    wnd.SetWatchFile(false);
    wnd.SetTextCase(static_cast<int>(seed % 4));
    wnd.SetCodePage(seed & 0x100 ? platform::CodePage::Utf8 : platform::CodePage::Windows1252);
    if (!wnd.LoadFile(&file, encoding))
        return 0;
    if (!wnd.HasText())
        return 0;
    const TextPos start = wnd.DataStart(), end = wnd.DataEnd();
    const TextPos unit = wnd.CodeUnitSize();
    Check(start <= end && end <= static_cast<TextPos>(file.Size()), "data range inside the mapping");
    Check((end - start) % unit == 0, "data end on the code-unit grid");
    const TextPos last = wnd.LastPageTop();
    Check(last >= start && last <= end && (last - start) % unit == 0, "last page top inside the data");
    Check(wnd.GetTop() == last, "a new window shows its last screenful");

    const TextPos span = end - start;
    while (script.n) {
        const std::uint8_t op = script.Byte();
        const TextPos p0 =
            start + (span ? (static_cast<TextPos>(script.Byte() | (script.Byte() << 8)) * unit) % (span + unit) : 0);
        TextPos p = std::min(p0, end);
        switch (op % 14) {
        case 0: {
            const TextPos before = p;
            const bool moved = wnd.NextLineStart(p);
            Check(p >= before && p <= end && moved == (p != before), "forward step");
            break;
        }
        case 1: {
            const TextPos before = p;
            const bool moved = wnd.PrevLineStart(p);
            Check(p >= start && p <= before && (!moved || p < before || before == start), "backward step");
            break;
        }
        case 2: {
            std::string narrow;
            std::u16string wide;
            const TextPos before = p;
            LineColumns columns;
            columns.firstColumn = script.Byte();
            columns.marks[0] = std::min(end, p + unit * (script.Byte() % 9));
            wnd.ReadLine(p, &narrow, &wide, op & 0x80 ? 5 : SIZE_MAX, &columns);
            Check(p >= before && p <= end, "line read");
            Check(columns.storedEnd <= columns.contentEnd && columns.contentEnd <= p, "line read's content");
            Check(columns.markColumns[0] >= 0 && columns.markColumns[0] <= columns.width, "line read's columns");
            if (wnd.DecodesUtf8()) {
                int cells = 0;
                for (std::size_t i = 0, units = 1; i < wide.size(); i += units)
                    cells += utf8text::Cells(utf8text::CharAt16(wide.data(), wide.size(), i, &units));
                Check(narrow.empty() &&
                          (op & 0x80 ? cells <= 6
                                     : cells == std::max<std::int64_t>(columns.width - columns.firstColumn, 0)) &&
                          (wide.empty() || utf8text::Cells(wide[0]) != 0),
                      "decoded columns");
            }
            break;
        }
        case 3: {
            const TextPos q = wnd.LineStartOf(p);
            const TextPos r = wnd.LineLastOf(p);
            Check(q >= start && q <= p, "line start");
            Check(r <= end, "line last");
            break;
        }
        case 4:
            port.Resize(script.Byte() % 30, script.Byte() % 90 + 1);
            wnd.OnSize(port.GetClientRect().Width(), port.GetClientRect().Height());
            break;
        case 5: wnd.OnKeyDown(kVkSpace + script.Byte() % 9); break;
        case 6:
            port.m_trackPos = p - start + (op & 1);
            wnd.OnVScroll(kSbThumbTrack);
            break;
        case 7: wnd.OnMouseWheel((op & 0x10) ? 120 : -120); break;
        case 8: wnd.OnHScroll(kSbThumbTrack, script.Byte()); break;
        case 9: wnd.SetHighlight(p, (std::min(end, p + unit * (script.Byte() % 7)) - p) / unit); break;
        case 10: wnd.CopyScreenToClipboard(); break;
        case 11: CFileWndTestAccess::SetHorzOffset(wnd, script.Byte() % 50); break;
        case 12: {
            // A piece of the text from p (so that matches are likely), searched either way.
            const std::uint8_t* v = wnd.ViewBytes();
            std::u16string text;
            for (TextPos q = p; q < end && text.size() < 1u + script.Byte() % 4; q += unit) {
                const int e = wnd.GetEncoding();
                if (wnd.DecodesUtf8()) {
                    const utf8text::Char c = utf8text::DecodeAt(v + q, v + end);
                    utf8text::AppendUtf16(text, c.ch);
                    q += c.length - 1;
                    continue;
                }
                text.push_back(e == EncodingUtf16LE   ? char16_t(v[q] | v[q + 1] << 8)
                               : e == EncodingUtf16BE ? char16_t(v[q] << 8 | v[q + 1])
                                                      : platform::Win1252ToUnicode(v[q]));
            }
            if (op & 0x20 || text.empty())
                text.insert(0, 1, char16_t(script.Byte()));
            const bool ignoreCase = op & 0x10;
            const int kind = script.Byte() % 3;
            const int found = kind == 0   ? wnd.FindFirst(ignoreCase, text)
                              : kind == 1 ? wnd.FindNext(ignoreCase, text)
                                          : wnd.FindPrevious(ignoreCase, text);
            Check(found == 0 || wnd.GetHighlightStart() == kNoPos, "a failed search clears the highlight");
            Check(found != 0 || (wnd.GetHighlightStart() == wnd.GetLastMatch() && wnd.GetLastMatch() >= start &&
                                 wnd.GetHighlightEnd() <= end && (wnd.GetLastMatch() - start) % unit == 0),
                  "a match lies in the data, on the unit grid");
            break;
        }
        case 13:
            wnd.SetCodePage(wnd.GetCodePage() == platform::CodePage::Utf8 ? platform::CodePage::Windows1252
                                                                          : platform::CodePage::Utf8);
            break;
        }
        Check(wnd.GetTop() >= start && wnd.GetTop() <= wnd.LastPageTop(), "top within the data");
        port.Paint(wnd, (op & 0x40) != 0);
    }
    return 0;
}
