#include "engine/JournalFormat.h"

namespace logformat {

namespace {

class CJournalFormat final : public CFormat {
public:
    explicit CJournalFormat(std::shared_ptr<const CLineLevels> levels)
        : CFormat(kJournalFormatName, TimePlace::LineStart, "%Y-%m-%dT%H:%M:%S%z", LevelPlace::Priority, 0),
          m_pLevels(std::move(levels))
    {
    }

    bool Read(std::string_view line, const timeseek::StampContext&, LineRead& out) const override
    {
        std::int64_t micros = 0;
        const std::size_t n = timeseek::parts::IsoAt(line, 0, true, micros);
        // A stamp, then the host or the identifier: a message's further lines are indented.
        if (n < 19 || n >= line.size() || line[n] != ' ')
            return false;
        out = LineRead{micros, Level::None, false};
        return true;
    }

    bool ReadAt(std::string_view line, std::int64_t lineStart, const timeseek::StampContext& ctx,
                LineRead& out) const override
    {
        if (!Read(line, ctx, out))
            return false;
        CLineLevels::Entry entry;
        if (m_pLevels && m_pLevels->Find(lineStart, entry)) {
            out.micros = static_cast<std::int64_t>(entry.realtime);
            out.fraction = true;
            if (entry.priority >= 0)
                out.level = LevelOfSeverity(entry.priority);
        }
        return true;
    }

private:
    std::shared_ptr<const CLineLevels> m_pLevels;
};

}  // namespace

std::shared_ptr<const CFormat> MakeJournalFormat(std::shared_ptr<const CLineLevels> levels)
{
    return std::make_shared<CJournalFormat>(std::move(levels));
}

}  // namespace logformat
