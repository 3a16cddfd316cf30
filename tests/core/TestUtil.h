// Shared helpers for the core tests: temporary files and loaded windows.
#pragma once

#include "tools/headless/FileWndTestAccess.h"
#include "tools/headless/HeadlessWindow.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <string>
#include <unistd.h>

namespace testutil {

// A private temporary folder, removed with its content at the end.
class TempDir {
public:
    TempDir()
    {
        char tmpl[] = "/tmp/ostrel-test-XXXXXX";
        const char* d = ::mkdtemp(tmpl);
        m_path = d ? d : "/tmp";
    }
    ~TempDir()
    {
        const std::string cmd = "rm -rf '" + m_path + "'";
        [[maybe_unused]] int rc = std::system(cmd.c_str());
    }
    const std::string& Path() const { return m_path; }
    std::string File(const std::string& name) const { return m_path + "/" + name; }
    std::string Write(const std::string& name, const std::string& bytes) const
    {
        const std::string p = File(name);
        std::ofstream(p, std::ios::binary | std::ios::trunc) << bytes;
        return p;
    }
    void Append(const std::string& name, const std::string& bytes) const
    {
        std::ofstream(File(name), std::ios::binary | std::ios::app) << bytes;
    }

private:
    std::string m_path;
};

inline std::string Utf16LE(const std::u16string& s, bool bom = false)
{
    std::string out = bom ? std::string("\xFF\xFE", 2) : std::string();
    for (char16_t c : s) {
        out.push_back(static_cast<char>(c & 0xFF));
        out.push_back(static_cast<char>(c >> 8));
    }
    return out;
}

inline std::string Utf16BE(const std::u16string& s, bool bom = false)
{
    std::string out = bom ? std::string("\xFE\xFF", 2) : std::string();
    for (char16_t c : s) {
        out.push_back(static_cast<char>(c >> 8));
        out.push_back(static_cast<char>(c & 0xFF));
    }
    return out;
}

// A window of rows x cols cells on a file of the given bytes.
struct Window {
    TempDir dir;
    std::unique_ptr<CMemoryMappedFile> file;
    headless::HeadlessPort port;
    CFileWnd wnd{&port};
    bool loaded = false;

    Window(const std::string& bytes, int rows = 24, int cols = 80, std::int32_t encoding = EncodingAuto,
           bool watch = false)
        : port(rows, cols)
    {
        wnd.SetWatchFile(watch);
        const std::string path = dir.Write("text.log", bytes);
        file = std::make_unique<CMemoryMappedFile>();
        if (file->Open(path.c_str(), false))
            loaded = wnd.LoadFile(file.get(), encoding);
    }
    std::string Path() const { return dir.File("text.log"); }
    std::int64_t Top() const { return wnd.CharIndex(wnd.GetTop()); }
    std::int64_t Index(TextPos p) const { return wnd.CharIndex(p); }
    TextPos At(std::int64_t index) const
    {
        return wnd.DataStart() + index * static_cast<TextPos>(EncodingUnitSize(wnd.GetEncoding()));
    }
    // Row r as UTF-8, highlighted runs in « ».
    std::string Row(int r, bool markHighlight = true)
    {
        port.Paint(wnd, true);
        std::string out;
        for (char32_t c : port.RowText(r, markHighlight)) {
            if (c < 0x80) {
                out += static_cast<char>(c);
            } else if (c < 0x800) {
                out += static_cast<char>(0xC0 | (c >> 6));
                out += static_cast<char>(0x80 | (c & 0x3F));
            } else {
                out += static_cast<char>(0xE0 | (c >> 12));
                out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
                out += static_cast<char>(0x80 | (c & 0x3F));
            }
        }
        return out;
    }
};

}  // namespace testutil
