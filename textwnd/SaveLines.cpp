#include "textwnd/SaveLines.h"

#include "platform/ReplacingWriter.h"

#include <algorithm>
#include <cstring>

namespace savelines {

namespace {

constexpr std::size_t kBufferBytes = 256 * 1024;

// Copies bytes of the source to the writer through one buffer that a run of
// neighbouring lines reads once.
class CCopier {
public:
    CCopier(const CLineModel& text, platform::FileHandle source, platform::CReplacingWriter& out)
        : m_text(text), m_source(source), m_out(out), m_buffer(kBufferBytes)
    {
    }

    // The bytes at `pos`, at least one unit of them, in the buffer; null when the file holds none there now.
    const std::uint8_t* At(TextPos pos, std::size_t& available)
    {
        if (m_nStart == kNoPos || pos < m_nStart || pos + m_text.Unit() > m_nStart + static_cast<TextPos>(m_nLength)) {
            m_nStart = pos;
            m_nLength = static_cast<std::size_t>(platform::ReadAt(m_source, m_buffer.data(), m_buffer.size(), pos));
            if (m_nLength < static_cast<std::size_t>(m_text.Unit())) {
                m_nStart = kNoPos;
                return nullptr;
            }
        }
        available = m_nLength - static_cast<std::size_t>(pos - m_nStart);
        return m_buffer.data() + (pos - m_nStart);
    }

    // Copies [from, to); false when the file was cut short meanwhile or the writer failed.
    bool Copy(TextPos from, TextPos to)
    {
        while (from < to) {
            std::size_t n = 0;
            const std::uint8_t* p = At(from, n);
            if (!p)
                return Cut();
            n = std::min<std::size_t>(n, static_cast<std::size_t>(to - from));
            if (!m_out.Write(p, n))
                return false;
            from += static_cast<TextPos>(n);
        }
        return true;
    }

    // Copies the line at `start` with its break; false as Copy.
    bool CopyLine(TextPos start, TextPos end)
    {
        const TextPos unit = m_text.Unit();
        TextPos p = start;
        while (p < end) {
            std::size_t n = 0;
            const std::uint8_t* b = At(p, n);
            if (!b)
                return Cut();
            n = std::min<std::size_t>(n, static_cast<std::size_t>(end - p)) / static_cast<std::size_t>(unit) *
                static_cast<std::size_t>(unit);
            for (std::size_t i = 0; i < n; i += static_cast<std::size_t>(unit)) {
                const std::uint16_t u = UnitOf(b + i);
                if (u != m_text.CRUnit() && u != m_text.LFUnit())
                    continue;
                TextPos after = p + static_cast<TextPos>(i) + unit;
                // A pair is two different break units: CR LF or LF CR.
                if (after < end) {
                    std::size_t m = 0;
                    const std::uint8_t* next = At(after, m);
                    const std::uint16_t v = next ? UnitOf(next) : 0;
                    if (next && v != u && (v == m_text.CRUnit() || v == m_text.LFUnit()))
                        after += unit;
                }
                return Copy(start, after);
            }
            p += static_cast<TextPos>(n);
        }
        return Copy(start, end);
    }

    bool WasCut() const { return m_bCut; }

private:
    std::uint16_t UnitOf(const std::uint8_t* b) const
    {
        if (m_text.Unit() == 1)
            return *b;
        std::uint16_t u;
        std::memcpy(&u, b, 2);
        return u;
    }
    bool Cut()
    {
        m_bCut = true;
        return false;
    }

    const CLineModel& m_text;
    platform::FileHandle m_source;
    platform::CReplacingWriter& m_out;
    std::vector<std::uint8_t> m_buffer;
    TextPos m_nStart = kNoPos;
    std::size_t m_nLength = 0;
    bool m_bCut = false;
};

template <typename Body>
CSaveOutcome Save(const CLineModel& text, platform::FileHandle source, const std::string& target,
                  const std::vector<std::string>& viewed, Body body)
{
    CSaveOutcome outcome;
    if (NamesViewedFile(target, viewed)) {
        outcome.result = SaveResult::ViewedFile;
        return outcome;
    }
    if (!text.HasText()) {
        outcome.error = "the file shows no text";
        return outcome;
    }
    platform::CReplacingWriter out;
    if (!out.Begin(target)) {
        outcome.error = out.Error();
        return outcome;
    }
    CCopier copier(text, source, out);
    const bool copied = copier.Copy(0, text.DataStart()) && body(copier, outcome);
    if (!copied || !out.Commit()) {
        outcome.error = copier.WasCut() ? "the file became shorter while its lines were written" : out.Error();
        out.Abort();
        outcome.lines = 0;
        return outcome;
    }
    outcome.result = SaveResult::Saved;
    outcome.bytes = out.Written();
    return outcome;
}

}  // namespace

CLineSet LinesOf(const std::vector<TextPos>& starts)
{
    return {static_cast<std::int64_t>(starts.size()),
            [&starts](std::int64_t i) { return starts[static_cast<std::size_t>(i)]; }};
}

bool NamesViewedFile(const std::string& target, const std::vector<std::string>& viewed)
{
    const std::string absolute = platform::CleanAbsolutePath(target);
    platform::FileId id;
    const bool exists = platform::GetFileId(target, id);
    for (const std::string& path : viewed) {
        platform::FileId other;
        if (platform::CleanAbsolutePath(path) == absolute ||
            (exists && platform::GetFileId(path, other) && other == id))
            return true;
    }
    return false;
}

CSaveOutcome SaveLines(const CLineModel& text, platform::FileHandle source, const CLineSet& lines,
                       const std::string& target, const std::vector<std::string>& viewed)
{
    return Save(text, source, target, viewed, [&](CCopier& copier, CSaveOutcome& outcome) {
        const TextPos start = text.DataStart();
        const TextPos end = text.DataEnd();
        for (std::int64_t i = 0; i < lines.count; ++i) {
            const TextPos at = lines.at(i);
            if (at < start || at >= end)
                continue;  // no longer in the text (a truncation): nothing of it is left to write
            if (!copier.CopyLine(at, end))
                return false;
            ++outcome.lines;
        }
        return true;
    });
}

CSaveOutcome SaveRange(const CLineModel& text, platform::FileHandle source, TextPos from, TextPos to,
                       const std::string& target, const std::vector<std::string>& viewed)
{
    return Save(text, source, target, viewed, [&](CCopier& copier, CSaveOutcome&) {
        const TextPos start = text.DataStart();
        const TextPos end = text.DataEnd();
        const TextPos a = std::clamp(std::min(from, to), start, end);
        const TextPos b = std::clamp(std::max(from, to), start, end);
        return copier.Copy(a, b);
    });
}

}  // namespace savelines
