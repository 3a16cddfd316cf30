#include "engine/Utf8Text.h"

#include "engine/UnicodeCase.h"

#include <algorithm>
#include <array>
#include <iterator>
#include <vector>

#include "UnicodeCellTables.inc"

namespace utf8text {

const std::uint8_t* PrevStart(const std::uint8_t* begin, const std::uint8_t* q)
{
    // A continuation byte belongs to the nearest lead before it when that
    // lead's sequence is well-formed and ends exactly at q; else it stands alone.
    if ((q[-1] & 0xC0) == 0x80) {
        for (const std::uint8_t* s = q - 2; s >= begin && s >= q - 4; --s) {
            if ((*s & 0xC0) == 0x80)
                continue;
            const Char c = DecodeAt(s, q);
            return c.valid && s + c.length == q ? s : q - 1;
        }
    }
    return q - 1;
}

int Cells(char32_t ch)
{
    if (ch > 0x10FFFF)
        return 1;
    return (kCellStage2[kCellStage1[ch >> 8]][(ch & 0xFF) >> 2] >> (2 * (ch & 3))) & 3;
}

const bool* OneCellLeads()
{
    static const std::array<bool, 256> kOne = [] {
        std::array<bool, 256> one{};
        for (int lead = 0xC2; lead <= 0xDF; ++lead) {
            one[lead] = true;
            for (char32_t c = (lead & 0x1F) << 6, e = c + 64; c < e; ++c)
                one[lead] = one[lead] && Cells(c) == 1;
        }
        return one;
    }();
    return kOne.data();
}

namespace {

const SupplementaryCase* FindCase(char32_t ch)
{
    const auto* e = std::end(kSupplementaryCase);
    const auto* it = std::lower_bound(std::begin(kSupplementaryCase), e, ch,
                                      [](const SupplementaryCase& s, char32_t c) { return s.ch < c; });
    return it != e && it->ch == ch ? it : nullptr;
}

}  // namespace

char32_t UpperCase32(char32_t ch)
{
    if (ch <= 0xFFFF)
        return UpperCase16(static_cast<char16_t>(ch));
    const SupplementaryCase* s = FindCase(ch);
    return s ? s->upper : ch;
}

char32_t LowerCase32(char32_t ch)
{
    if (ch <= 0xFFFF)
        return LowerCase16(static_cast<char16_t>(ch));
    const SupplementaryCase* s = FindCase(ch);
    return s ? s->lower : ch;
}

bool IsLetter32(char32_t ch)
{
    if (ch <= 0xFFFF)
        return IsLetter16(static_cast<char16_t>(ch));
    const auto* e = std::end(kSupplementaryLetters);
    const auto* it = std::upper_bound(std::begin(kSupplementaryLetters), e, ch,
                                      [](char32_t c, const LetterRange& r) { return c < r.first; });
    return it != std::begin(kSupplementaryLetters) && ch <= (it - 1)->last;
}

char32_t UpperKeepingLength(char32_t ch)
{
    const char32_t m = UpperCase32(ch);
    return Utf8Length(m) == Utf8Length(ch) ? m : ch;
}

char32_t LowerKeepingLength(char32_t ch)
{
    const char32_t m = LowerCase32(ch);
    return Utf8Length(m) == Utf8Length(ch) ? m : ch;
}

int CaseSpellings(char32_t ch, char32_t out[4])
{
    const char32_t key = UpperKeepingLength(ch);
    int n = 0;
    auto add = [&](char32_t c) {
        if (n < 4 && UpperKeepingLength(c) == key && std::find(out, out + n, c) == out + n)
            out[n++] = c;
    };
    add(ch);
    add(key);
    add(LowerCase32(ch));
    add(LowerCase32(key));
    // The rest share the upper-case form but are nobody's lower case (σ and
    // ς both go up to Σ, which comes down to σ only).
    if (ch <= 0xFFFF) {
        const std::uint16_t* ring = CaseFoldRings();
        for (char32_t c = ring[key]; c != key; c = ring[c])
            add(c);
    } else {
        for (const SupplementaryCase& s : kSupplementaryCase)
            if (s.upper == key)
                add(s.ch);
    }
    return n;
}

int Utf8Length(char32_t ch)
{
    return ch < 0x80 ? 1 : ch < 0x800 ? 2 : ch < 0x10000 ? 3 : 4;
}

void AppendUtf8(std::string& out, char32_t ch)
{
    if (ch < 0x80) {
        out.push_back(static_cast<char>(ch));
    } else if (ch < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (ch >> 6)));
        out.push_back(static_cast<char>(0x80 | (ch & 0x3F)));
    } else if (ch < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (ch >> 12)));
        out.push_back(static_cast<char>(0x80 | ((ch >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (ch & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (ch >> 18)));
        out.push_back(static_cast<char>(0x80 | ((ch >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((ch >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (ch & 0x3F)));
    }
}

void AppendUtf16(std::u16string& out, char32_t ch)
{
    if (ch < 0x10000) {
        out.push_back(static_cast<char16_t>(ch));
    } else {
        out.push_back(static_cast<char16_t>(0xD800 + ((ch - 0x10000) >> 10)));
        out.push_back(static_cast<char16_t>(0xDC00 + ((ch - 0x10000) & 0x3FF)));
    }
}

char32_t CharAt16(const char16_t* text, std::size_t length, std::size_t i, std::size_t* units)
{
    const char16_t c = text[i];
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < length && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
        *units = 2;
        return 0x10000 + ((static_cast<char32_t>(c) - 0xD800) << 10) + (text[i + 1] - 0xDC00);
    }
    *units = 1;
    return c;
}

void DecodeToUtf16(const std::uint8_t* p, const std::uint8_t* end, std::u16string& out)
{
    while (p < end) {
        const Char c = DecodeAt(p, end);
        AppendUtf16(out, c.ch);
        p += c.length;
    }
}

}  // namespace utf8text
