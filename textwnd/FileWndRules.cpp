// Highlight rules in the text window: which rule colours each column of a
// row, and the rules that appended lines match (alerts, stop on a match).
#include "textwnd/FileWnd.h"

#include "engine/ChunkReader.h"
#include "engine/Utf8Text.h"

#include <algorithm>

// The text a rule sees is UTF-8, whatever the file's encoding: each column
// that the row shows maps back to the bytes of this text. Bytes before
// `exactFrom` (a margin left of what is shown) all take `exactColumn`.
void CFileWnd::BuildRuleText(TextPos lineStart, TextPos from, TextPos exactFrom, std::int64_t exactColumn, TextPos to)
{
    m_ruleText.clear();
    m_ruleCols.clear();
    const std::uint8_t* v = m_lines.View();
    const bool decoded = DecodesUtf8(), wide = m_lines.IsWide();
    const TextPos u = m_lines.Unit();
    std::int64_t n = exactColumn;
    // A combining mark with no character before it on the line takes a cell of its own.
    bool based = from > lineStart;
    auto put = [&](TextPos q, char32_t ch, int cells) {
        const std::size_t before = m_ruleText.size();
        utf8text::AppendUtf8(m_ruleText, ch);
        m_ruleCols.insert(m_ruleCols.end(), m_ruleText.size() - before, n);
        if (q >= exactFrom)
            n += cells;
        based = based || cells > 0;
    };
    for (TextPos q = from; q < to;) {
        if (wide) {
            const char16_t c = m_lines.CharAt(q);
            if (c >= 0xD800 && c <= 0xDBFF && q + u < to) {
                const char16_t lo = m_lines.CharAt(q + u);
                if (lo >= 0xDC00 && lo <= 0xDFFF) {
                    put(q, 0x10000 + ((c - 0xD800) << 10) + (lo - 0xDC00), 2);
                    q += 2 * u;
                    continue;
                }
            }
            const bool lone = c >= 0xD800 && c <= 0xDFFF;
            put(q, lone ? U'\uFFFD' : c, c == u'\t' ? static_cast<int>(n % 8) : 1);
            q += u;
            continue;
        }
        const std::uint8_t b = v[q];
        if (b == '\t') {
            put(q, U'\t', static_cast<int>(n % 8));
            q += 1;
        } else if (b < 0x80 || !decoded) {
            put(q, b < 0x80 ? char32_t{b} : char32_t{platform::Win1252ToUnicode(b)}, 1);
            q += 1;
        } else {
            const utf8text::Char c = utf8text::DecodeAt(v + q, v + to);
            const int cells = utf8text::Cells(c.ch);
            put(q, c.ch, cells > 0 ? cells : based ? 0 : 1);
            q += c.length;
        }
    }
    m_ruleCols.push_back(n);
}

bool CFileWnd::PrepareLevels(const CHighlightRules& rules)
{
    const logformat::CFormat* format = rules.AnyByLevel() ? RecordFormat() : nullptr;
    if (!format || format->WhereLevel() == logformat::CFormat::LevelPlace::None || !m_pMappedFile) {
        m_pLevelRecords.reset();
        return false;
    }
    m_pLevelChunks = std::make_unique<CPreadChunkReader>(m_pMappedFile->Handle());
    const BreakUnits units{CodeUnitSize(), m_lines.CRUnit(), m_lines.LFUnit()};
    m_pLevelRecords = std::make_unique<logformat::CRecordReader>(*m_pLevelChunks, DataStart(), DataEnd(), units, format,
                                                                 StampContextOfFile());
    m_pLevelEnd = DataEnd();
    return true;
}

bool CFileWnd::RowRules(const CHighlightRules& rules, TextPos rowStart, const LineColumns& c, std::int64_t hoff,
                        std::size_t columns)
{
    m_rowRules.assign(columns, -1);
    if (c.contentEnd == kNoPos || c.contentEnd < rowStart)
        return false;
    const TextPos u = m_lines.Unit();
    const TextPos shown = c.storedStart == kNoPos ? c.contentEnd : c.storedStart;
    TextPos from = rowStart, to = c.contentEnd;
    if (static_cast<std::uint64_t>(c.contentEnd - rowStart) > kRuleLineBytes) {
        // A long line: only near what the row shows.
        const TextPos margin = static_cast<TextPos>(kRuleMarginBytes);
        from = std::max(rowStart, shown - margin / u * u);
        to = std::min(c.contentEnd, std::max(c.storedEnd, shown) + margin / u * u);
        if (DecodesUtf8())
            while (from < shown && (m_lines.View()[from] & 0xC0) == 0x80)
                ++from;
    }
    BuildRuleText(rowStart, from, shown, c.storedStartColumn, to);
    // By level, a record is coloured whole by what its first line says, a stack trace's lines too, and a word
    // like "ERROR" inside another record's message colours nothing. After every rule of the user's.
    const bool byLevel = m_pLevelRecords != nullptr && rules.AnyByLevel();
    rules.Match(m_ruleText, m_ruleSpans, !byLevel);
    if (byLevel) {
        const int rule = rules.RuleForLevel(static_cast<int>(m_pLevelRecords->RecordOf(rowStart).level));
        if (rule >= 0)
            m_ruleSpans.push_back({0, m_ruleText.size(), rule, true});
    }
    bool any = false;
    const std::int64_t end = hoff + static_cast<std::int64_t>(columns);
    for (const CHighlightRules::Span& s : m_ruleSpans) {
        const std::int64_t a = s.wholeLine ? hoff : std::max(m_ruleCols[s.begin], hoff);
        const std::int64_t b = s.wholeLine ? end : std::min(m_ruleCols[s.end], end);
        for (std::int64_t k = a; k < b; ++k)
            if (m_rowRules[static_cast<std::size_t>(k - hoff)] < 0)
                m_rowRules[static_cast<std::size_t>(k - hoff)] = s.rule, any = true;
    }
    return any;
}

bool CFileWnd::LineRuleColumns(const CHighlightRules& rules, TextPos lineStart, const LineColumns& c, std::int64_t hoff,
                               std::size_t columns, std::vector<int>& out)
{
    if (!m_pLevelRecords || m_pLevelEnd != DataEnd())
        PrepareLevels(rules);
    if (!RowRules(rules, lineStart, c, hoff, columns))
        return false;
    out = m_rowRules;
    return true;
}

std::pair<platform::COLORREF, platform::COLORREF> CFileWnd::RuleColors(const HighlightRule& rule) const
{
    return {rule.text.Resolve(m_crFont, m_crPage, m_crFont), rule.background.Resolve(m_crFont, m_crPage, m_crPage)};
}

// --- Appended lines ------------------------------------------------------------

int CFileWnd::MatchAppended(const CHighlightRules& rules, TextPos oldEnd, StopMatch& stop)
{
    int alert = -1;
    stop = StopMatch{};
    const TextPos end = DataEnd();
    const TextPos u = m_lines.Unit();
    for (TextPos p = oldEnd <= DataStart() ? DataStart() : LineStartOf(std::min(oldEnd, end)); p < end;) {
        LineColumns c;
        const TextPos next = m_lines.ReadLine(p, nullptr, nullptr, 0, c);
        // A long line: the appended part and a margin before it, no more than a long line's worth.
        TextPos from = p, to = c.contentEnd;
        if (static_cast<std::uint64_t>(to - from) > kRuleLineBytes) {
            from = std::max(p, std::min(oldEnd, to) - static_cast<TextPos>(kRuleMarginBytes) / u * u);
            to = std::min(to, from + static_cast<TextPos>(kRuleLineBytes));
            if (DecodesUtf8())
                while (from < to && (m_lines.View()[from] & 0xC0) == 0x80)
                    ++from;
        }
        BuildRuleText(p, from, from, 0, to);
        const int hit = rules.FirstAlert(m_ruleText, false);
        if (alert < 0)
            alert = hit;
        const int halt = hit < 0 || stop.rule >= 0 ? -1 : rules.FirstAlert(m_ruleText, true);
        std::size_t b = 0, e = 0;
        if (halt >= 0 && rules.Find(static_cast<std::size_t>(halt), m_ruleText, b, e))
            stop = {p, SourceOffset(from, b), SourceOffset(from, e), halt};
        if (next <= p)
            break;  // a NUL ends the reading
        p = next;
    }
    return alert;
}

// The position of byte `at` of the rule text built from `from` (a character's start).
TextPos CFileWnd::SourceOffset(TextPos from, std::size_t at) const
{
    const std::uint8_t* v = m_lines.View();
    const bool decoded = DecodesUtf8(), wide = m_lines.IsWide();
    const TextPos u = m_lines.Unit();
    TextPos q = from;
    for (std::size_t i = 0; i < at;) {
        std::size_t bytes = 1;
        TextPos units = u;
        if (wide) {
            const char16_t ch = m_lines.CharAt(q);
            const bool high = ch >= 0xD800 && ch <= 0xDBFF, surrogate = ch >= 0xD800 && ch <= 0xDFFF;
            const bool pair =
                high && q + u < DataEnd() && m_lines.CharAt(q + u) >= 0xDC00 && m_lines.CharAt(q + u) <= 0xDFFF;
            bytes = pair ? 4 : static_cast<std::size_t>(utf8text::Utf8Length(surrogate ? 0xFFFD : ch));
            units = pair ? 2 * u : u;
        } else if (v[q] >= 0x80) {
            const utf8text::Char c = decoded ? utf8text::DecodeAt(v + q, v + DataEnd())
                                             : utf8text::Char{platform::Win1252ToUnicode(v[q]), 1, false};
            bytes = static_cast<std::size_t>(utf8text::Utf8Length(c.ch));
            units = c.length;
        }
        i += bytes;
        q += units;
    }
    return q;
}

void CFileWnd::CheckAppended(TextPos oldEnd, bool following)
{
    const auto& rules = CurrentHighlightRules();
    if (!rules || !rules->AnyAlert() || !HasText() || oldEnd == kNoPos || DataEnd() <= oldEnd)
        return;
    if (linefilter::CAlertScanner* scanner = AlertScanner(rules)) {
        // From the line that held the old end: a line completed by the growth is matched whole.
        scanner->Scan(oldEnd <= DataStart() ? DataStart() : LineStartOf(std::min(oldEnd, DataEnd())), DataEnd());
        return;
    }
    StopMatch stop;
    const int alert = MatchAppended(*rules, oldEnd, stop);
    if (alert >= 0 && m_pListener)
        m_pListener->OnRuleAlert(rules->Rules()[static_cast<std::size_t>(alert)].name);
    if (following && stop.rule >= 0)
        StopAt(stop, *rules);
}

void CFileWnd::StopAt(const StopMatch& stop, const CHighlightRules& rules)
{
    // The matching line at the bottom of the window, its match highlighted; the end is no longer followed.
    m_bFollowStopped = true;
    TextPos top = stop.line;
    for (int i = VisibleLines() - 1; i > 0 && PrevLineStart(top); --i) {
    }
    m_pTop = std::min(top, LastPageTop());
    m_pHighlightStart = stop.begin;
    m_pHighlightEnd = stop.end;
    UpdateScrollPositions();
    m_pPort->InvalidateAll();
    if (m_pListener)
        m_pListener->OnFollowStopped(rules.Rules()[static_cast<std::size_t>(stop.rule)].name);
}

linefilter::CAlertScanner* CFileWnd::AlertScanner(const std::shared_ptr<const CHighlightRules>& rules)
{
    const platform::FileHandle file = m_pMappedFile ? m_pMappedFile->Handle() : platform::kInvalidFile;
    if (file == platform::kInvalidFile || !m_hWnd)
        return nullptr;
    if (m_pAlertScan && m_pAlertRules == rules && m_hAlertFile == file && m_nAlertEncoding == m_nEncoding &&
        m_nAlertCodePage == m_nCodePage)
        return m_pAlertScan.get();
    m_pAlertScan.reset();
    std::vector<linefilter::AlertRule> wanted;
    for (std::size_t i = 0; i < rules->Rules().size(); ++i) {
        const HighlightRule& r = rules->Rules()[i];
        if (!r.enabled || !r.alert || !rules->Error(i).empty() || r.pattern.empty())
            continue;
        linefilter::AlertRule a{static_cast<int>(i), r.stop, {}};
        const auto* p = reinterpret_cast<const std::uint8_t*>(r.pattern.data());
        utf8text::DecodeToUtf16(p, p + r.pattern.size(), a.query.pattern);
        a.query.regex = r.regex;
        a.query.ignoreCase = !r.caseSensitive;
        wanted.push_back(std::move(a));
    }
    auto scanner = std::make_unique<linefilter::CAlertScanner>();
    const linefilter::TextForm form{m_nEncoding, m_nCodePage};
    if (!scanner->Start(std::make_unique<CPreadChunkReader>(file), form, wanted))
        return nullptr;
    scanner->SetNotify([h = m_hWnd] { platform::PostWindowMessage(h, platform::WM_RULES_MATCHED, 0, 0); });
    m_pAlertScan = std::move(scanner);
    m_pAlertRules = rules;
    m_hAlertFile = file;
    m_nAlertEncoding = m_nEncoding;
    m_nAlertCodePage = m_nCodePage;
    return m_pAlertScan.get();
}

void CFileWnd::OnRulesMatched()
{
    if (!m_pAlertScan)
        return;
    const linefilter::AlertNews news = m_pAlertScan->Take();
    SyncWithMapping();
    if (!HasText() || !m_pAlertRules)
        return;
    const CHighlightRules& rules = *m_pAlertRules;
    if (news.alertRule >= 0 && m_pListener)
        m_pListener->OnRuleAlert(rules.Rules()[static_cast<std::size_t>(news.alertRule)].name);
    // Following is what the window does when the news come: at the end, not stopped.
    const bool following = !m_bFollowStopped && m_pTop == LastPageTop();
    if (news.stopRule < 0 || !following || news.stopLine < DataStart() || news.stopLine >= DataEnd())
        return;
    // The match on its line, as the rule finds it in what the window shows (the line's start when it does not).
    const TextPos p = LineStartOf(news.stopLine);
    LineColumns c;
    m_lines.ReadLine(p, nullptr, nullptr, 0, c);
    const TextPos u = m_lines.Unit();
    const TextPos to = std::min(c.contentEnd, p + static_cast<TextPos>(kRuleLineBytes) / u * u);
    BuildRuleText(p, p, p, 0, to);
    StopMatch stop{p, p, p, news.stopRule};
    std::size_t b = 0, e = 0;
    if (rules.Find(static_cast<std::size_t>(news.stopRule), m_ruleText, b, e))
        stop.begin = SourceOffset(p, b), stop.end = SourceOffset(p, e);
    StopAt(stop, rules);
}
