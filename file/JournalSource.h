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
#include <condition_variable>
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
    // The entries of another text in place of these (that text took this one's place).
    void Take(CLineLevels& other);
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

    // A journal of more entries than this shows its newest ones at once, while the whole is read into a file
    // of its own that then takes the text's place (TakeWhole); tests set a few.
    static constexpr std::uint64_t kFirstEntries = 2000;
    static void SetFirstEntries(std::uint64_t entries);

    // UI thread: the whole text when it is ready to take the place of the newest entries: its file (the
    // caller's to put in place) and its levels. Then WholeInPlace says whether it took that place (the
    // reader goes on appending to it) or not (the reader ends).
    bool TakeWhole(platform::FileHandle& text, std::shared_ptr<CLineLevels>& levels);
    void WholeInPlace(bool placed);

private:
    enum class Batch { Kept, Full, Failed };
    // Appends the entries that are there now; Full when the limit is reached.
    Batch ReadAvailable(CStreamSource& source);
    // The whole journal into a file of its own, handed to the UI thread to take the text's place.
    Batch ReadWhole(CStreamSource& source);

    std::unique_ptr<platform::CJournalReader> m_pReader;
    bool m_bFollow;
    bool m_bOnlyOwn;
    std::shared_ptr<CLineLevels> m_pLevels = std::make_shared<CLineLevels>();
    std::atomic<std::uint64_t> m_nRestarts{0}, m_nEntries{0};
    std::atomic<bool> m_bReadAll{false};
    std::uint64_t m_nBytes = 0;       // reader thread: the text's length
    std::uint64_t m_nReadInText = 0;  // reader thread, at the limit: the entries read for the text
    // The whole text waiting to take the place of the newest entries, and the answer (guarded by m_lock).
    std::mutex m_lock;
    std::condition_variable m_answered;
    platform::FileHandle m_hWhole = platform::kInvalidFile;
    std::shared_ptr<CLineLevels> m_pWholeLevels;
    bool m_bWholeReady = false;
    int m_nWholeAnswer = -1;  // -1: none yet, 0: not placed, 1: placed
    bool m_bWoken = false;
};
