// Copy of the lines on screen (or of the selection), as the file holds them: breaks and tabs as
// they are, no letter case, no offset. Narrow text under UTF-8 goes as it is
// drawn, decoded (a byte that is not part of a well-formed sequence as its
// Windows-1252 character), in the Unicode format.
#include "textwnd/FileWnd.h"
#include "textwnd/MergedWnd.h"

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
    if (m_pMerged) {
        m_pMerged->CopyScreen();
        return;
    }
    SyncWithMapping();
    const int lines = VisibleLines();
    if (IsFiltering() && HasText() && m_pTop != kNoPos) {
        // The shown rows, each as the file holds it, one after the other.
        BeginInput();
        std::vector<std::uint8_t> all;
        unsigned format = 0;
        TextPos p = std::min(m_pTop, DataEnd());
        for (int i = 0; i <= lines && p < DataEnd(); ++i) {
            const TextPos row = p;
            ReadLine(p, nullptr, nullptr);
            std::vector<std::uint8_t> block;
            if (!ClipboardBlock(row, static_cast<std::uint64_t>(p - row), block, format)) {
                m_pPort->ShowMessageBox("Couldn't allocate memory to copy to clipboard", kApplicationTitle, kMbOk);
                return;
            }
            all.insert(all.end(), block.begin(), block.end() - 2);  // each block ends in its terminator
            if (p == row)
                break;  // a NUL stops the reading
            StepRow(p);
        }
        all.insert(all.end(), 2, 0);
        PutBlockOnClipboard(format, std::move(all));
        return;
    }
    TextPos p = m_pTop;
    std::uint64_t n = 0;
    if (HasText() && p != kNoPos) {
        p = std::min(p, DataEnd());
        const TextPos top = p;
        for (int i = 0; i <= lines && p < DataEnd(); ++i)
            ReadLine(p, nullptr, nullptr);
        n = static_cast<std::uint64_t>(p - top);
    }
    PutOnClipboard(m_pTop, n);
}

bool CFileWnd::ClipboardBlock(TextPos from, std::uint64_t n, std::vector<std::uint8_t>& block, unsigned& format)
{
    const bool decoded = DecodesUtf8();
    format = m_lines.IsWide() || decoded ? kCfUnicodeText : kCfText;
    try {
        std::u16string text;
        if (decoded && n) {
            utf8text::DecodeToUtf16(ViewBytes() + from, ViewBytes() + from + n, text);
            n = text.size() * 2;
        }
        block.assign(n + 2, 0);
        if (decoded)
            std::memcpy(block.data(), text.data(), n);
    } catch (const std::exception&) {
        return false;
    }
    if (n && !decoded) {
        std::memcpy(block.data(), ViewBytes() + from, n);
        m_lines.ToHostOrder(block.data(), n);
    }
    return true;
}

void CFileWnd::PutOnClipboard(TextPos from, std::uint64_t n)
{
    std::vector<std::uint8_t> block;
    unsigned format = 0;
    if (!ClipboardBlock(from, n, block, format)) {
        m_pPort->ShowMessageBox("Couldn't allocate memory to copy to clipboard", kApplicationTitle, kMbOk);
        return;
    }
    PutBlockOnClipboard(format, std::move(block));
}

void CFileWnd::PutBlockOnClipboard(unsigned format, std::vector<std::uint8_t> block)
{
    if (!m_pPort->OpenClipboard()) {
        m_pPort->ShowMessageBox("Unable to open clipboard", kApplicationTitle, kMbOk);
        return;
    }
    m_pPort->EmptyClipboard();
    m_pPort->SetClipboardData(format, std::move(block));
    if (!m_pPort->CloseClipboard())
        m_pPort->ShowMessageBox("Unable to close clipboard", kApplicationTitle, kMbOk);
}
