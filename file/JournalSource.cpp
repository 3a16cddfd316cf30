#include "file/JournalSource.h"

#include <algorithm>

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

void CJournalProducer::Wake()
{
    m_pReader->Wake();
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
    while (!source.StopRequested()) {
        switch (ReadAvailable(source)) {
        case Batch::Failed: return CStreamSource::State::Failed;
        case Batch::Full: {
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
            continue;
        }
        case Batch::Kept: break;
        }
        m_bReadAll = true;
        if (!m_bFollow)
            return CStreamSource::State::Complete;
        m_pReader->Wait(1000);
    }
    return CStreamSource::State::Complete;
}
