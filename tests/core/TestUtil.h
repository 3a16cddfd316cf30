// Shared helpers for the core tests: temporary folders, text in the file
// encodings, loaded windows, and running a test as an ordinary user.
#pragma once

#include "engine/ChunkReader.h"
#include "engine/LogFormat.h"
#include "platform/Win1252.h"
#include "textwnd/Marks.h"
#include "tools/headless/FileWndTestAccess.h"
#include "tools/headless/HeadlessWindow.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace testutil {

// An ISO 8601 stamp in UTC with microseconds, as the logs of the record tests write it.
inline std::string IsoStampMicros(std::int64_t micros)
{
    const std::time_t secs = static_cast<std::time_t>(micros / 1000000);
    std::tm tm{};
    gmtime_r(&secs, &tm);
    char stamp[64];
    std::snprintf(stamp, sizeof stamp, "%04d-%02d-%02dT%02d:%02d:%02d.%06dZ", tm.tm_year + 1900, tm.tm_mon + 1,
                  tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec, static_cast<int>(micros % 1000000));
    return stamp;
}

namespace fs = std::filesystem;

// The bytes of a string read as a file would read them; a test may lengthen
// or cut the string between reads.
class StringReader : public IChunkReader {
public:
    explicit StringReader(const std::string* bytes) : m_bytes(bytes) {}
    std::uint64_t Read(std::uint8_t* buffer, std::uint64_t n, std::int64_t offset) override
    {
        const std::uint64_t size = m_bytes->size();
        const std::uint64_t got = static_cast<std::uint64_t>(offset) >= size ? 0 : std::min(n, size - offset);
        std::memcpy(buffer, m_bytes->data() + offset, got);
        return got;
    }

private:
    const std::string* m_bytes;
};

// A whole file's bytes; empty when it cannot be read.
inline std::string ReadFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// A private temporary folder, removed with its content at the end.
class TempDir {
public:
    TempDir()
    {
        std::string tmpl = (fs::temp_directory_path() / "ostrel-test-XXXXXX").string();
        m_path = ::mkdtemp(tmpl.data()) ? tmpl : std::string();
    }
    ~TempDir()
    {
        std::error_code ec;
        if (!m_path.empty())
            fs::remove_all(m_path, ec);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::string& Path() const { return m_path; }
    std::string File(const std::string& name) const { return m_path + "/" + name; }
    std::string Write(const std::string& name, const std::string& bytes) const
    {
        std::ofstream(File(name), std::ios::binary | std::ios::trunc) << bytes;
        return File(name);
    }
    void Append(const std::string& name, const std::string& bytes) const
    {
        std::ofstream(File(name), std::ios::binary | std::ios::app) << bytes;
    }

private:
    std::string m_path;
};

inline std::string Utf16(const std::u16string& s, bool bigEndian, bool bom = false)
{
    std::string out;
    for (char16_t c : bom ? u"\uFEFF" + s : s) {
        const char hi = static_cast<char>(c >> 8), lo = static_cast<char>(c & 0xFF);
        out += bigEndian ? std::string{hi, lo} : std::string{lo, hi};
    }
    return out;
}
inline std::string Utf16LE(const std::u16string& s, bool bom = false)
{
    return Utf16(s, false, bom);
}
inline std::string Utf16BE(const std::u16string& s, bool bom = false)
{
    return Utf16(s, true, bom);
}

// A text as a file of that encoding holds it, with its byte-order mark.
inline const std::int32_t kAllEncodings[] = {EncodingAnsi, EncodingUtf8, EncodingUtf16LE, EncodingUtf16BE};
inline std::string FileBytes(const std::u16string& text, std::int32_t encoding)
{
    if (encoding == EncodingUtf16LE || encoding == EncodingUtf16BE)
        return Utf16(text, encoding == EncodingUtf16BE, true);
    return (encoding == EncodingUtf8 ? "\xEF\xBB\xBF" : "") + platform::Utf16ToWin1252(text);
}

// "<prefix>from\n" ... "<prefix>(to - 1)\n".
inline std::string Lines(int from, int to, const std::string& prefix = "line ")
{
    std::string s;
    for (int i = from; i < to; ++i)
        s += prefix + std::to_string(i) + "\n";
    return s;
}

// Rows hold characters of the Basic Multilingual Plane only.
inline std::string Utf8(const std::u32string& text)
{
    return platform::Utf16ToUtf8(std::u16string(text.begin(), text.end()));
}

// A window of rows x cols cells on a file of the given bytes.
struct Window {
    TempDir dir;
    std::unique_ptr<CMemoryMappedFile> file = std::make_unique<CMemoryMappedFile>();
    headless::HeadlessPort port;
    CFileWnd wnd{&port};
    bool loaded = false;

    Window(const std::string& bytes, int rows = 24, int cols = 80, std::int32_t encoding = EncodingAuto,
           bool watch = false)
        : port(rows, cols)
    {
        wnd.SetWatchFile(watch);
        if (file->Open(dir.Write("text.log", bytes).c_str(), false))
            loaded = wnd.LoadFile(file.get(), encoding);
    }
    std::string Path() const { return dir.File("text.log"); }
    std::int64_t Index(TextPos p) const { return wnd.CharIndex(p); }
    std::int64_t Top() const { return Index(wnd.GetTop()); }
    TextPos At(std::int64_t index) const
    {
        return wnd.DataStart() + index * static_cast<TextPos>(EncodingUnitSize(wnd.GetEncoding()));
    }
    // Row r as UTF-8, highlighted runs in « ».
    std::string Row(int r, bool markHighlight = true)
    {
        port.Paint(wnd, true);
        return Utf8(port.RowText(r, markHighlight));
    }
    // The rows on screen without their trailing blanks, the empty ones at the end dropped.
    std::vector<std::string> Screen()
    {
        std::vector<std::string> rows;
        port.Paint(wnd, true);
        for (int r = 0; r < port.Rows(); ++r) {
            rows.push_back(Utf8(port.RowText(r, false)));
            while (!rows.back().empty() && rows.back().back() == ' ')
                rows.back().pop_back();
        }
        while (!rows.empty() && rows.back().empty())
            rows.pop_back();
        return rows;
    }
};

// "line from" ... "line (to - 1)", as Screen shows them.
inline std::vector<std::string> ScreenOf(int from, int to, const std::string& prefix = "line ")
{
    std::vector<std::string> v;
    for (int i = from; i < to; ++i)
        v.push_back(prefix + std::to_string(i));
    return v;
}

// Sets (or, with null, removes) an environment variable for one scope; `then` runs after each change
// (tzset for TZ, say).
class ScopedEnv {
public:
    ScopedEnv(const char* name, const char* value, void (*then)() = nullptr) : m_name(name), m_then(then)
    {
        if (const char* old = std::getenv(name))
            m_old = old;
        Set(value);
    }
    ~ScopedEnv() { Set(m_old ? m_old->c_str() : nullptr); }
    void Set(const char* value)
    {
        value ? ::setenv(m_name.c_str(), value, 1) : ::unsetenv(m_name.c_str());
        if (m_then)
            m_then();
    }

private:
    std::string m_name;
    std::optional<std::string> m_old;
    void (*m_then)();
};

// What only an ordinary user meets (a file it may not read, a folder it may
// not write) cannot happen to the superuser, as CI runs. Called first in a
// test: as the superuser, runs this test again as the user nobody, from a
// copy of the test program in a folder that nobody can reach, and returns
// true (the test is then done); as anyone else returns false, and the test
// goes on as itself.
inline bool RanAsNobody()
{
    if (::geteuid() != 0)
        return false;
    const TempDir dir;
    const fs::path exe = fs::path(dir.Path()) / "tests";
    std::error_code ec;
    fs::copy_file("/proc/self/exe", exe, ec);
    fs::permissions(dir.Path(),
                    fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec | fs::perms::others_read |
                        fs::perms::others_exec,
                    ec);
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    std::vector<std::string> args = {
        "setpriv",       "--reuid=65534",
        "--regid=65534", "--clear-groups",
        exe.string(),    std::string("--gtest_filter=") + info->test_suite_name() + "." + info->name()};
    std::vector<char*> argv;
    for (std::string& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    pid_t pid = 0;
    int status = -1;
    if (::posix_spawnp(&pid, "setpriv", nullptr, nullptr, argv.data(), environ) == 0)
        ::waitpid(pid, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "the test as nobody: status " << status;
    return true;
}

// The built-in ISO 8601 format, by which the record tests read their stamps.
inline const logformat::CFormat* IsoFormat()
{
    for (const logformat::CFormat* f : logformat::BuiltinFormats())
        if (f->Name() == "ISO 8601")
            return f;
    return nullptr;
}

// The positions of a list's marks, in its order.
inline std::vector<TextPos> Positions(const CMarkList& list)
{
    std::vector<TextPos> out;
    for (const CMark& m : list.All())
        out.push_back(m.pos);
    return out;
}

}  // namespace testutil
