// The systemd journal as a document's text: a producer on the background
// reader's thread (CStreamSource) reads the entries through
// platform::CJournalReader, appends their text to the document's anonymous
// file as journalctl -o short-iso writes it, and then follows new entries.
//
// A journal line names no level, so the reader keeps beside the text where
// each entry's first line starts, with its PRIORITY and its
// __REALTIME_TIMESTAMP (CLineLevels); the journal's log format reads levels
// from there (engine/JournalFormat.h).
//
// At the text limit the oldest entries go: the text is started anew from the
// newest entries that fill half of the limit, so the newest are never lost.
#pragma once

#include "file/StreamSource.h"
#include "platform/Journal.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

// Where entries start in a text, with what each said of itself.
class CLineLevels {
public:
    struct Entry {
        std::int64_t lineStart = 0;
        std::uint64_t realtime = 0;
        int priority = -1;  // 0 emerg .. 7 debug, -1 none
    };
    // Writer: entries that start after every one added before.
    void Add(const std::vector<Entry>& entries);
    // Writer: the text starts anew.
    void Clear();
    // Any thread: the entry whose first line starts at `lineStart`; false when none starts there.
    bool Find(std::int64_t lineStart, Entry& entry) const;
    std::size_t Count() const;

private:
    mutable std::mutex m_lock;
    std::vector<Entry> m_entries;  // by lineStart
};

class CJournalProducer : public CStreamSource::IProducer {
public:
    // `follow`: after the entries there are, waits for new ones until stopped.
    CJournalProducer(std::unique_ptr<platform::CJournalReader> reader, bool follow);

    CStreamSource::State Produce(CStreamSource& source) override;
    void Wake() override;

    // Any thread.
    std::shared_ptr<const CLineLevels> Levels() const { return m_pLevels; }
    // How many times the text reached the limit and started anew from the newest entries.
    std::uint64_t Restarts() const { return m_nRestarts.load(); }
    // How many entries the text holds.
    std::uint64_t Entries() const { return m_nEntries.load(); }
    // Whether the whole of what was there when reading began is in the text.
    bool HasReadAll() const { return m_bReadAll.load(); }
    // Set before the reader runs: whether the user sees only their own entries.
    bool SeesOnlyOwn() const { return m_bOnlyOwn; }

private:
    enum class Batch { Kept, Full, Failed };
    // Appends the entries that are there now; Full when the limit is reached.
    Batch ReadAvailable(CStreamSource& source);

    std::unique_ptr<platform::CJournalReader> m_pReader;
    bool m_bFollow;
    bool m_bOnlyOwn;
    std::shared_ptr<CLineLevels> m_pLevels = std::make_shared<CLineLevels>();
    std::atomic<std::uint64_t> m_nRestarts{0}, m_nEntries{0};
    std::atomic<bool> m_bReadAll{false};
    std::uint64_t m_nBytes = 0;       // reader thread: the text's length
    std::uint64_t m_nReadInText = 0;  // reader thread, at the limit: the entries read for the text
};
