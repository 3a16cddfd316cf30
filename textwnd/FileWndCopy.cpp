// Copy of the lines on screen, as the file holds them.
#include "textwnd/FileWnd.h"

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
    const bool wide = m_lines.IsWide();

    std::vector<std::uint8_t> block;
    try {
        block.assign(n + 2, 0);
    } catch (const std::exception&) {
        m_pPort->ShowMessageBox("Couldn't allocate memory to copy to clipboard", kApplicationTitle, kMbOk);
        return;
    }
    if (n)
        std::memcpy(block.data(), ViewBytes() + m_pTop, n);
    m_lines.ToHostOrder(block.data(), n);

    if (!m_pPort->OpenClipboard()) {
        m_pPort->ShowMessageBox("Unable to open clipboard", kApplicationTitle, kMbOk);
        return;
    }
    m_pPort->EmptyClipboard();
    m_pPort->SetClipboardData(wide ? kCfUnicodeText : kCfText, std::move(block));
    if (!m_pPort->CloseClipboard())
        m_pPort->ShowMessageBox("Unable to close clipboard", kApplicationTitle, kMbOk);
}
