// The log format of the systemd journal's text (file/JournalSource.h): each
// entry's first line starts with its stamp as journalctl -o short-iso writes
// it ("2026-12-08T23:22:40+0100"), and names no level. A reader that knows
// where the line starts (ReadAt) takes the entry's level from its PRIORITY
// and its time from __REALTIME_TIMESTAMP, both kept beside the text; one that
// does not (Go to Time's bisection) reads the stamp's second from the text.
#pragma once

#include "engine/LogFormat.h"
#include "file/JournalSource.h"

#include <memory>

namespace logformat {

// Not among the built-in formats: it is the journal's own, held by the windows that show it.
constexpr const char* kJournalFormatName = "systemd journal";
std::shared_ptr<const CFormat> MakeJournalFormat(std::shared_ptr<const CLineLevels> levels);

}  // namespace logformat
