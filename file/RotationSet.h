// Rotation sets: a log and the older parts that rotation left beside it, found by their names alone.
//
// A part's name is the log's name with a mark of its age, optionally followed by a compression suffix
// (.gz, .xz, .zst, .bz2). For a log named `app.log` (stem `app`, extension `.log`) the marks are:
//
//   app.log.1  app.log.2.gz                 a number (logrotate, newsyslog): the higher, the older
//   app.log-20261206  app.log-2026120610    a date, with or without an hour (logrotate's dateext)
//   app.log.2026-12-06  app.log.2026-12-06_10  app.log.2026-12-06-10  app.log.20261206
//                                           a date after a dot, with an hour (daily and hourly rollers)
//   app.log.2026-12-06.1.gz                 a date and an index (size-and-time rollers): a higher index is newer
//   app-2026-12-06.log  app.2026-12-06.log  app-20261206.log  app.1.log  app-2026-12-06.1.log
//                                           the same marks between the stem and the extension
//
// Dates go earlier first, then hours (none first), then indices (none first); numbers go higher first; dated
// parts are older than numbered ones (a numbered part is what the newest rotations left). A dated name whose
// date is no day of the calendar is no part. Names with anything else after the mark (app.log.1.swp,
// app.log.bak, app.log.1.gz.tmp), other logs' names (other.log.1), folders and the log itself are never parts.
// When a part lies both plain and compressed (a compressor still at work), the plain one is taken.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace rotation {

struct Name {
    std::string name;
    bool regular = true;  // a regular file (folders and devices are never parts)
};

// The names among `folder` that are older parts of the log named `current` (a name, no folder), oldest first.
std::vector<std::string> OlderParts(const std::string& current, const std::vector<Name>& folder);

// The whole set of the log at `path`: the paths of its older parts, oldest first, then `path` itself last.
// Just `path` when it has no parts or its folder cannot be read.
std::vector<std::string> SetOf(const std::string& path);

// Whether a part's name says it is compressed (the text is decompressed before it is read).
bool IsCompressedName(const std::string& name);

// How many bytes of text a part not opened yet holds, to scale a set's thumb before the part is read: its size,
// or for a gzip part the size its trailer gives (that of the last member, modulo 4 GiB: never taken below the
// part's own size). 0 when it cannot be read.
std::int64_t TextSizeOf(const std::string& path);

}  // namespace rotation
