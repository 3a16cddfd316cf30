// Copy of the lines on screen, as the file holds them: breaks and tabs as
// they are, no letter case, no offset. Narrow text under UTF-8 goes as it is
// drawn, decoded (a byte that is not part of a well-formed sequence as its
// Windows-1252 character), in the Unicode format.
#include "textwnd/FileWnd.h"

#include "engine/Utf8Text.h"
#include "platform/AppInfo.h"

#include <cstring>
#include <new>
#include <vector>

using platform::kCfText;
using platform::kCfUnicodeText;
using platform::kMbOk;

void CFileWnd::CopyScreenToClipboard()
{
    SyncWithMapping();
    const int lines = VisibleLines();
    TextPos p = m_pTop;
    std::uint64_t n = 0;
    if (HasText() && p != kNoPos) {
        p = std::min(p, DataEnd());
        const TextPos top = p;
        for (int i = 0; i <= lines && p < DataEnd(); ++i)
            ReadLine(p, nullptr, nullptr);
        n = static_cast<std::uint64_t>(p - top);
    }
    const bool decoded = DecodesUtf8();
    const bool wide = m_lines.IsWide() || decoded;

    std::vector<std::uint8_t> block;
    try {
        std::u16string text;
        if (decoded && n) {
            utf8text::DecodeToUtf16(ViewBytes() + m_pTop, ViewBytes() + m_pTop + n, text);
            n = text.size() * 2;
        }
        block.assign(n + 2, 0);
        if (decoded)
            std::memcpy(block.data(), text.data(), n);
    } catch (const std::exception&) {
        m_pPort->ShowMessageBox("Couldn't allocate memory to copy to clipboard", kApplicationTitle, kMbOk);
        return;
    }
    if (n && !decoded) {
        std::memcpy(block.data(), ViewBytes() + m_pTop, n);
        m_lines.ToHostOrder(block.data(), n);
    }

    if (!m_pPort->OpenClipboard()) {
        m_pPort->ShowMessageBox("Unable to open clipboard", kApplicationTitle, kMbOk);
        return;
    }
    m_pPort->EmptyClipboard();
    m_pPort->SetClipboardData(wide ? kCfUnicodeText : kCfText, std::move(block));
    if (!m_pPort->CloseClipboard())
        m_pPort->ShowMessageBox("Unable to close clipboard", kApplicationTitle, kMbOk);
}
