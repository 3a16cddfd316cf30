#include "textwnd/Utf8Lines.h"

#include "engine/Utf8Text.h"

#include <algorithm>
#include <climits>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

using Cursor = CUtf8LineReader::Cursor;

// What the next bytes of a line are: one character, or a tab.
struct Item {
    char32_t ch;
    int length;  // bytes
    int cells;
    bool tab;
    bool mark;   // a combining mark in the cell of the character before it
    bool blank;  // a combining mark with nothing before it: a blank cell holds it
};

inline Item ItemAt(const std::uint8_t* v, TextPos end, const Cursor& cur)
{
    const std::uint8_t b = v[cur.q];
    if (b == '\t')
        return {U' ', 1, static_cast<int>(cur.n % 8), true, false, false};
    if (b < 0x80)
        return {b, 1, 1, false, false, false};
    const utf8text::Char c = utf8text::DecodeAt(v + cur.q, v + end);
    const int cells = utf8text::Cells(c.ch);
    if (cells == 0)
        return cur.based ? Item{c.ch, c.length, 0, false, true, false} : Item{c.ch, c.length, 1, false, false, true};
    return {c.ch, c.length, cells, false, false, false};
}

inline void Consume(Cursor& cur, const Item& it)
{
    cur.q += it.length;
    cur.n += it.cells;
    cur.based = cur.based || it.cells > 0;
}

// Bits set in a 16-bit mask, without a library call where the processor has
// no population count instruction of its own.
inline int Bits16(unsigned x)
{
    x = x - ((x >> 1) & 0x5555);
    x = (x & 0x3333) + ((x >> 2) & 0x3333);
    x = (x + (x >> 4)) & 0x0F0F;
    return static_cast<int>((x + (x >> 8)) & 0x1F);
}

// Moves over the 16 bytes at p (15 when the last is a lead) when they hold
// nothing but ASCII other than the tab and well-formed two-byte characters
// of one cell each: what Latin, Greek and Cyrillic text is made of. Leaves
// the cursor and returns false for anything else.
inline bool SkipBlock(const std::uint8_t* p, Cursor& cur, const bool* oneCellLeads)
{
#if defined(__SSE2__)
    const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    if (_mm_movemask_epi8(_mm_cmpeq_epi8(x, _mm_set1_epi8('\t'))))
        return false;
    const unsigned high = static_cast<unsigned>(_mm_movemask_epi8(x));
    if (high == 0) {
        cur.q += 16;
        cur.n += 16;
        cur.based = true;
        return true;
    }
    // As signed bytes, continuations 0x80..0xBF are -128..-65 and two-byte leads 0xC2..0xDF are -62..-33.
    unsigned cont = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmplt_epi8(x, _mm_set1_epi8(-64))));
    unsigned lead = static_cast<unsigned>(
        _mm_movemask_epi8(_mm_and_si128(_mm_cmpgt_epi8(x, _mm_set1_epi8(-63)), _mm_cmplt_epi8(x, _mm_set1_epi8(-32)))));
    if ((cont | lead) != high)
        return false;
    int len = 16;
    if (lead & 0x8000) {
        len = 15;
        lead &= 0x7FFF;
    }
    // Each lead followed by one continuation, and no continuation alone.
    if (cont != ((lead << 1) & ((1u << len) - 1)))
        return false;
    // Latin (C2..CB), Greek and Cyrillic (CE..D1) leads are checked at once,
    // when the tables say that all their characters take one cell.
    static const bool kRangesOneCell = [oneCellLeads] {
        for (int b = 0xC2; b <= 0xD1; ++b)
            if ((b < 0xCC || b > 0xCD) && !oneCellLeads[b])
                return false;
        return true;
    }();
    if (kRangesOneCell) {
        const __m128i low = _mm_cmplt_epi8(x, _mm_set1_epi8(-52));  // up to 0xCB
        const __m128i mid = _mm_and_si128(_mm_cmpgt_epi8(x, _mm_set1_epi8(-51)), _mm_cmplt_epi8(x, _mm_set1_epi8(-46)));
        lead &= ~static_cast<unsigned>(_mm_movemask_epi8(_mm_or_si128(low, mid)));
    }
    for (unsigned m = lead; m; m &= m - 1)
        if (!oneCellLeads[p[__builtin_ctz(m)]])
            return false;
    cur.q += len;
    cur.n += len - Bits16(cont);
    cur.based = true;
    return true;
#else
    (void)oneCellLeads;
    for (int i = 0; i < 16; ++i)
        if (p[i] >= 0x80 || p[i] == '\t')
            return false;
    cur.q += 16;
    cur.n += 16;
    cur.based = true;
    return true;
#endif
}

// The columns of up to LineColumns::kMarks positions: that of the first character
// starting at or after each.
struct Marks {
    TextPos pos[LineColumns::kMarks];
    bool found[LineColumns::kMarks];
    std::int64_t* col;
    TextPos next = kNoPos;  // the nearest mark not found yet, INT64_MAX when none

    // Marks at or before `start` take its column.
    Marks(const TextPos (&marks)[LineColumns::kMarks], std::int64_t* columns, const Cursor& start) : col(columns)
    {
        for (int i = 0; i < LineColumns::kMarks; ++i) {
            pos[i] = marks[i];
            found[i] = marks[i] <= start.q;
            col[i] = start.n;
        }
        Record(start);
    }
    void Record(const Cursor& cur)
    {
        if (cur.q < next)
            return;
        next = INT64_MAX;
        for (int i = 0; i < LineColumns::kMarks; ++i) {
            if (found[i])
                continue;
            if (pos[i] <= cur.q) {
                found[i] = true;
                col[i] = cur.n;
            } else {
                next = std::min(next, pos[i]);
            }
        }
    }
};

// The characters of the columns [first, stop), as UTF-16.
struct Store {
    std::u16string* out;
    std::int64_t first, stop;
    bool prevStored = false;  // the last character with a cell was stored (its marks go with it)
    bool done = false;
    TextPos storedEnd = kNoPos;
    TextPos storedStart = kNoPos;  // the first character stored, and its column
    std::int64_t storedStartColumn = 0;

    void NoteStart(const Cursor& cur)
    {
        if (storedStart == kNoPos)
            storedStart = cur.q, storedStartColumn = cur.n;
    }

    void Put(const Item& it, const Cursor& cur)
    {
        if (it.mark) {
            if (prevStored)
                utf8text::AppendUtf16(*out, it.ch);
            return;
        }
        const std::int64_t n = cur.n;
        if (n >= stop) {
            done = true;
            storedEnd = cur.q;
            return;
        }
        if (it.tab) {
            const std::int64_t a = std::max(n, first), b = std::min(n + it.cells, stop);
            if (a < b) {
                NoteStart(cur);
                out->append(static_cast<std::size_t>(b - a), u' ');
            }
            if (it.cells > 0)  // a mark after the tab sits on its last space
                prevStored = n + it.cells - 1 >= first && n + it.cells - 1 < stop;
            return;
        }
        prevStored = n >= first;
        if (n + it.cells <= first)
            return;
        NoteStart(cur);
        if (n < first) {
            out->append(static_cast<std::size_t>(n + it.cells - first), u' ');  // the right half of a wide character
            return;
        }
        if (it.blank)
            out->push_back(u' ');
        utf8text::AppendUtf16(*out, it.ch);
    }
};

// Adds a checkpoint every kCheckpointBytes, never within a sequence's
// reach of the end of the data (the file may grow and complete it).
struct Recorder {
    std::vector<Cursor>* checkpoints;
    TextPos limit;
    void Note(const Cursor& cur)
    {
        if (cur.q <= limit && cur.q - checkpoints->back().q >= CUtf8LineReader::kCheckpointBytes)
            checkpoints->push_back(cur);
    }
};

void Walk(const std::uint8_t* v, TextPos contentEnd, Cursor& at, TextPos until, Store* store, Marks* marks,
          Recorder* rec)
{
    const bool* oneCell = utf8text::OneCellLeads();
    Cursor cur = at;  // kept in registers
    for (;;) {
        if (marks)
            marks->Record(cur);
        if (cur.q >= until || (store && store->done)) {
            at = cur;
            return;
        }
        if (until - cur.q >= 16 && (!marks || marks->next >= cur.q + 16) && (!store || cur.n + 16 <= store->first) &&
            SkipBlock(v + cur.q, cur, oneCell)) {
            if (rec)
                rec->Note(cur);
            continue;
        }
        const Item it = ItemAt(v, contentEnd, cur);
        if (store)
            store->Put(it, cur);
        Consume(cur, it);
        if (rec)
            rec->Note(cur);
    }
}

// The last checkpoint whose position (byPosition) or column is at most `at`.
Cursor CheckpointBefore(const std::vector<Cursor>& cps, std::int64_t at, bool byPosition)
{
    auto it = std::upper_bound(cps.begin(), cps.end(), at,
                               [byPosition](std::int64_t a, const Cursor& c) { return a < (byPosition ? c.q : c.n); });
    return it == cps.begin() ? cps.front() : *(it - 1);
}

}  // namespace

void CUtf8LineReader::Forget()
{
    m_entries.clear();
}

void CUtf8LineReader::Validate(const CMemoryMappedFile* file, TextPos dataEnd)
{
    const int handle = file ? file->Handle() : -1;
    if (file != m_pFile || handle != m_nHandle || dataEnd < m_nDataEnd)
        Forget();
    m_pFile = file;
    m_nHandle = handle;
    m_nDataEnd = dataEnd;
}

CUtf8LineReader::Entry* CUtf8LineReader::Find(TextPos start)
{
    for (Entry& e : m_entries)
        if (e.start == start) {
            e.used = ++m_nClock;
            return &e;
        }
    return nullptr;
}

CUtf8LineReader::Entry* CUtf8LineReader::Add(TextPos start)
{
    if (m_entries.size() >= kMaxLines)
        m_entries.erase(std::min_element(m_entries.begin(), m_entries.end(),
                                         [](const Entry& a, const Entry& b) { return a.used < b.used; }));
    Entry& e = m_entries.emplace_back();
    e.start = start;
    e.used = ++m_nClock;
    e.checkpoints.push_back(Cursor{start, 0, false});
    return &e;
}

TextPos CUtf8LineReader::ReadLine(const CLineModel& lines, const CMemoryMappedFile* file, TextPos p,
                                  std::u16string* text, std::size_t maxColumns, LineColumns& c)
{
    const std::uint8_t* v = lines.View();
    const TextPos dataEnd = lines.DataEnd();
    Validate(file, dataEnd);
    if (text)
        text->clear();

    // Where the line ends is the line model's to say; a long line remembers it.
    Entry* e = Find(p);
    TextPos contentEnd, next;
    if (e && (e->contentEnd < e->dataEnd || e->dataEnd == dataEnd)) {
        contentEnd = e->contentEnd;
        next = e->next;
    } else {
        LineColumns scan;
        next = lines.ReadLine(p, nullptr, nullptr, 0, scan);
        contentEnd = scan.contentEnd;
        if (e && contentEnd < e->contentEnd)
            e->checkpoints.resize(1);  // the bytes are not those measured
        if (!e && contentEnd - p >= kLongLineBytes)
            e = Add(p);
        if (e) {
            e->contentEnd = contentEnd;
            e->next = next;
            e->dataEnd = dataEnd;
            e->width = -1;
        }
    }

    const std::int64_t first = std::max<std::int64_t>(c.firstColumn, 0);
    const std::int64_t stop = first + static_cast<std::int64_t>(std::min<std::uint64_t>(maxColumns, INT64_MAX - first));
    const Cursor start{p, 0, false};
    Marks marks(c.marks, c.markColumns, start);
    Recorder recorder{e ? &e->checkpoints : nullptr, dataEnd - 4};
    Recorder* rec = e ? &recorder : nullptr;
    Cursor cur = start;
    Store store{text, first, stop};
    if (text && e)
        cur = CheckpointBefore(e->checkpoints, first, false);
    // Walks that start past the start of the line leave the marks to be placed below.
    Marks* track = cur.q == p ? &marks : nullptr;
    if (text)
        Walk(v, contentEnd, cur, contentEnd, &store, track, rec);
    if (e && e->width >= 0) {
        c.width = e->width;
    } else {
        Walk(v, contentEnd, cur, contentEnd, nullptr, track, rec);
        c.width = cur.n;
        if (e)
            e->width = cur.n;
    }
    // Marks that no walk above placed: each from the checkpoint before it.
    for (int i = 0; i < LineColumns::kMarks; ++i) {
        if (marks.found[i])
            continue;
        if (marks.pos[i] >= contentEnd) {
            c.markColumns[i] = c.width;
            continue;
        }
        Cursor from = e ? CheckpointBefore(e->checkpoints, marks.pos[i], true) : start;
        TextPos one[LineColumns::kMarks] = {marks.pos[i], kNoPos, kNoPos, kNoPos, kNoPos};
        std::int64_t cols[LineColumns::kMarks];
        Marks single(one, cols, from);
        Walk(v, contentEnd, from, marks.pos[i], nullptr, &single, nullptr);
        c.markColumns[i] = cols[0];
    }
    c.storedEnd = store.done ? store.storedEnd : contentEnd;
    c.contentEnd = contentEnd;
    c.storedStart = store.storedStart == kNoPos ? contentEnd : store.storedStart;
    c.storedStartColumn = store.storedStart == kNoPos ? c.width : store.storedStartColumn;
    return next;
}

bool CUtf8LineReader::SentenceStateAfter(const std::uint8_t* view, TextPos from, TextPos to, bool state)
{
    const std::uint8_t* begin = view + from;
    for (const std::uint8_t* q = view + to; q > begin;) {
        const std::uint8_t* s = utf8text::PrevStart(begin, q);
        const char32_t ch = utf8text::DecodeAt(s, q).ch;
        if (ch == U'.')
            return true;
        if (utf8text::IsLetter32(ch))
            return false;
        q = s;
    }
    return state;
}
