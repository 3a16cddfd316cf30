// Texts in each form a scan meets (encoding, code page, byte-order mark) and
// their lines found by walking the units one by one: the shared ground of the
// filter's and the shown set's plain references.
#pragma once

#include "tests/core/TestUtil.h"
#include "tests/engine/SearchReference.h"

#include <regex>

namespace textforms {

using platform::CodePage;

struct Form {
    std::int32_t encoding;
    CodePage codePage;
    std::int64_t markBytes;
};

inline const Form kForms[] = {
    {EncodingAnsi, CodePage::Windows1252, 0},
    {EncodingUtf8, CodePage::Utf8, 3},
    {EncodingUtf16LE, CodePage::Windows1252, 2},
    {EncodingUtf16BE, CodePage::Windows1252, 2},
};

// The text as a file of the form stores it, behind a stand-in mark of the mark's length.
inline std::string Encode(const std::u16string& text, const Form& f)
{
    const std::string mark(static_cast<std::size_t>(f.markBytes), '\xEF');
    if (f.encoding == EncodingUtf16LE || f.encoding == EncodingUtf16BE)
        return mark + testutil::Utf16(text, f.encoding == EncodingUtf16BE);
    return mark + (f.codePage == CodePage::Utf8 ? platform::Utf16ToUtf8(text) : platform::Utf16ToWin1252(text));
}

// Line starts and ends (before the break) by the rules, one unit at a time.
inline std::vector<std::pair<std::int64_t, std::int64_t>> ReferenceLines(const std::string& bytes, const Form& f)
{
    const auto* v = reinterpret_cast<const std::uint8_t*>(bytes.data());
    const std::int64_t u = EncodingUnitSize(f.encoding);
    const std::int64_t end = f.markBytes + (static_cast<std::int64_t>(bytes.size()) - f.markBytes) / u * u;
    auto isBreak = [&](std::int64_t p) {
        const std::uint16_t c = searchref::UnitAt(v, p, f.encoding);
        return c == '\r' || c == '\n';
    };
    std::vector<std::pair<std::int64_t, std::int64_t>> lines;
    for (std::int64_t s = f.markBytes; s < end;) {
        std::int64_t e = s;
        while (e < end && !isBreak(e))
            e += u;
        lines.emplace_back(s, e);
        if (e + u < end && isBreak(e + u) &&
            searchref::UnitAt(v, e, f.encoding) != searchref::UnitAt(v, e + u, f.encoding))
            s = e + 2 * u;
        else
            s = e + u;
    }
    return lines;
}

// The line as ASCII for std::regex: every character outside ASCII is one '~'.
inline std::string AsciiLine(const std::string& bytes, std::int64_t b, std::int64_t e, const Form& f)
{
    const auto* v = reinterpret_cast<const std::uint8_t*>(bytes.data());
    const std::int64_t u = EncodingUnitSize(f.encoding);
    std::string out;
    for (std::int64_t p = b; p < e; p += u) {
        const std::uint16_t c = searchref::UnitAt(v, p, f.encoding);
        if (f.codePage == CodePage::Utf8 && c >= 0x80 && c < 0xC0)
            continue;  // a continuation byte
        out += c < 0x80 ? static_cast<char>(c) : '~';
    }
    return out;
}

// Whether the pattern matches some non-empty text of the line.
inline bool RegexHit(const std::string& line, const std::u16string& pattern, bool ignoreCase)
{
    const std::regex re(platform::Utf16ToUtf8(pattern),
                        ignoreCase ? std::regex::ECMAScript | std::regex::icase : std::regex::ECMAScript);
    for (auto it = std::sregex_iterator(line.begin(), line.end(), re); it != std::sregex_iterator(); ++it)
        if (it->length() > 0)
            return true;
    return false;
}

}  // namespace textforms
