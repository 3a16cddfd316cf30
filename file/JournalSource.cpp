#include "file/JournalSource.h"

#include <algorithm>

namespace {

std::atomic<std::uint64_t> g_firstEntries{CJournalProducer::kFirstEntries};

}  // namespace

void CLineLevels::Add(const std::vector<Entry>& entries)
{
    std::lock_guard<std::mutex> g(m_lock);
    m_entries.insert(m_entries.end(), entries.begin(), entries.end());
}

void CLineLevels::Clear()
{
    std::lock_guard<std::mutex> g(m_lock);
    m_entries.clear();
}

void CLineLevels::Take(CLineLevels& other)
{
    std::scoped_lock g(m_lock, other.m_lock);
    m_entries.swap(other.m_entries);
    other.m_entries.clear();
}

bool CLineLevels::Find(std::int64_t lineStart, Entry& entry) const
{
    std::lock_guard<std::mutex> g(m_lock);
    const auto it = std::lower_bound(m_entries.begin(), m_entries.end(), lineStart,
                                     [](const Entry& e, std::int64_t at) { return e.lineStart < at; });
    if (it == m_entries.end() || it->lineStart != lineStart)
        return false;
    entry = *it;
    return true;
}

std::size_t CLineLevels::Count() const
{
    std::lock_guard<std::mutex> g(m_lock);
    return m_entries.size();
}

CJournalProducer::CJournalProducer(std::unique_ptr<platform::CJournalReader> reader, bool follow)
    : m_pReader(std::move(reader)), m_bFollow(follow), m_bOnlyOwn(m_pReader->SeesOnlyOwn())
{
}

void CJournalProducer::SetFirstEntries(std::uint64_t entries)
{
    g_firstEntries = entries > 0 ? entries : kFirstEntries;
}

void CJournalProducer::Wake()
{
    {
        std::lock_guard<std::mutex> g(m_lock);
        m_bWoken = true;
    }
    m_answered.notify_all();
    m_pReader->Wake();
}

bool CJournalProducer::TakeWhole(platform::FileHandle& text, std::shared_ptr<CLineLevels>& levels)
{
    std::lock_guard<std::mutex> g(m_lock);
    if (!m_bWholeReady || m_hWhole == platform::kInvalidFile)
        return false;
    text = m_hWhole;
    levels = m_pWholeLevels;
    m_hWhole = platform::kInvalidFile;
    return true;
}

void CJournalProducer::WholeInPlace(bool placed)
{
    {
        std::lock_guard<std::mutex> g(m_lock);
        m_nWholeAnswer = placed ? 1 : 0;
    }
    m_answered.notify_all();
}

CJournalProducer::Batch CJournalProducer::ReadWhole(CStreamSource& source)
{
    const platform::FileHandle whole = platform::CreateAnonymousFile("ostrel-journal");
    if (whole == platform::kInvalidFile)
        return Batch::Failed;
    auto levels = std::make_shared<CLineLevels>();
    constexpr std::size_t kBlock = 1 << 20;
    std::string text;
    text.reserve(kBlock + 64 * 1024);
    std::vector<CLineLevels::Entry> entries;
    std::uint64_t bytes = 0, count = 0;
    auto flush = [&] {
        if (bytes + text.size() > source.Limit())
            return Batch::Full;
        levels->Add(entries);
        if (!text.empty() && !platform::WriteAt(whole, text.data(), text.size(), static_cast<std::int64_t>(bytes)))
            return Batch::Failed;
        bytes += text.size();
        count += entries.size();
        text.clear();
        entries.clear();
        return Batch::Kept;
    };
    m_pReader->SeekFirst();
    platform::JournalEntryInfo info;
    Batch b = Batch::Kept;
    while (b == Batch::Kept && !source.StopRequested() && m_pReader->Next(text, info)) {
        entries.push_back({static_cast<std::int64_t>(bytes + info.lineAt), info.realtime, info.priority});
        if (text.size() >= kBlock)
            b = flush();
    }
    if (b == Batch::Kept)
        b = flush();
    if (b == Batch::Full)
        m_nReadInText = count + entries.size();
    if (b != Batch::Kept || source.StopRequested()) {
        platform::CloseFile(whole);
        return b;
    }
    // The UI thread puts the file in the text's place; the reader waits for that before it appends again.
    {
        std::lock_guard<std::mutex> g(m_lock);
        m_hWhole = whole;
        m_pWholeLevels = levels;
        m_bWholeReady = true;
    }
    source.Notify();
    std::unique_lock<std::mutex> g(m_lock);
    m_answered.wait(g, [&] { return m_nWholeAnswer >= 0 || m_bWoken; });
    const bool placed = m_nWholeAnswer == 1;
    if (m_hWhole != platform::kInvalidFile) {
        platform::CloseFile(m_hWhole);  // never taken (the reader was stopped first)
        m_hWhole = platform::kInvalidFile;
    }
    m_bWholeReady = false;
    g.unlock();
    if (!placed)
        return source.StopRequested() ? Batch::Kept : Batch::Failed;
    m_nBytes = bytes;
    m_nEntries = count;
    source.TextReplaced(bytes);
    return Batch::Kept;
}

CJournalProducer::Batch CJournalProducer::ReadAvailable(CStreamSource& source)
{
    // Appended a block at a time, as the other readers append: each block wakes the windows once.
    constexpr std::size_t kBlock = 1 << 20;
    std::string text;
    text.reserve(kBlock + 64 * 1024);
    std::vector<CLineLevels::Entry> entries;
    auto flush = [&] {
        if (text.empty())
            return Batch::Kept;
        if (m_nBytes + text.size() > source.Limit()) {
            m_nReadInText = m_nEntries.load() + entries.size();
            return Batch::Full;
        }
        // The levels first: a window that sees the text finds its levels.
        m_pLevels->Add(entries);
        if (!source.AppendText(reinterpret_cast<const std::uint8_t*>(text.data()), text.size()))
            return Batch::Failed;
        m_nBytes += text.size();
        m_nEntries += entries.size();
        text.clear();
        entries.clear();
        return Batch::Kept;
    };
    platform::JournalEntryInfo info;
    while (!source.StopRequested() && m_pReader->Next(text, info)) {
        entries.push_back({static_cast<std::int64_t>(m_nBytes + info.lineAt), info.realtime, info.priority});
        if (text.size() >= kBlock)
            if (const Batch b = flush(); b != Batch::Kept)
                return b;
    }
    return flush();
}

CStreamSource::State CJournalProducer::Produce(CStreamSource& source)
{
    // A long journal: its newest entries first (the window shows its last screenful at once), then the whole.
    Batch b = Batch::Kept;
    const std::uint64_t first = g_firstEntries.load();
    if (m_pReader->SeekLast(first) < first) {
        m_pReader->SeekFirst();
        b = ReadAvailable(source);
    } else if ((b = ReadAvailable(source)) == Batch::Kept) {
        b = ReadWhole(source);
    }
    for (;;) {
        if (source.StopRequested())
            return CStreamSource::State::Complete;
        if (b == Batch::Failed)
            return CStreamSource::State::Failed;
        if (b == Batch::Full) {
            // The newest entries that fill about half of the limit, read again from the end.
            const std::uint64_t keep = m_nReadInText / 2;
            if (keep == 0)
                return CStreamSource::State::OverLimit;
            if (!source.ClearText())
                return CStreamSource::State::Failed;
            m_pLevels->Clear();
            m_nBytes = 0;
            m_nEntries = 0;
            ++m_nRestarts;
            m_pReader->SeekLast(keep);
            b = ReadAvailable(source);
            continue;
        }
        // A window that waits for text is told once that everything there was is read, also when that was
        // nothing: it shows an empty journal then, not its progress.
        if (!m_bReadAll.exchange(true))
            source.Notify();
        if (!m_bFollow)
            return CStreamSource::State::Complete;
        m_pReader->Wait(1000);
        b = ReadAvailable(source);
    }
}
