// Log formats: how the first line of a record of one log family is read (where
// its timestamp stands and how it is written, where its level stands and which
// words name which level), the built-in families, formats that users describe
// in files of their own, and the choice of a file's format from its lines.
//
// A line that a format reads starts a record; every other line continues the
// record above it (a stack trace, a wrapped message). Lines are ASCII as
// timeseek::parts::AsciiOfUnits gives them: the stamps and levels of every
// family are ASCII, so UTF-16 and UTF-8 text read alike.
//
// The built-in readers are plain code, not regular expressions: painting
// reads the rows it draws and a background pass reads whole files.
#pragma once

#include "engine/ChunkReader.h"
#include "engine/LineIndex.h"
#include "engine/StampParts.h"

#include <cstdint>
#include <functional>
#include <iosfwd>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace logformat {

enum class Level : std::uint8_t { None, Fatal, Error, Warn, Info, Debug, Trace };

// "fatal" "error" "warn" "info" "debug" "trace", or "-" for None.
const char* LevelName(Level level);
// One of the six names above (any case).
bool ParseLevelName(std::string_view name, Level& level);
// A word as families write it, any case: FATAL CRIT SEVERE EMERG ALERT PANIC,
// ERROR ERR, WARN WARNING, INFO NOTICE, DEBUG DBG, TRACE VERBOSE FINE*.
Level LevelOfWord(std::string_view word);
// A level letter as logcat and klog write it: F A E W I D V (upper case).
Level LevelOfLetter(char c);
// A syslog priority's severity (priority % 8).
Level LevelOfSeverity(int severity);

// What a record's first line says. A stamp without a year takes one from the
// context (parts::YearFor); one without a zone is local time (TZ).
struct LineRead {
    std::int64_t micros = 0;  // since 1970-01-01 00:00 UTC
    Level level = Level::None;
    bool fraction = false;  // the stamp wrote a fraction of a second
};

class CFormat {
public:
    // Where a record's first line writes its stamp and its level.
    enum class TimePlace { LineStart, AfterToken, InBrackets, KeyValue, Pattern };
    enum class LevelPlace { None, Word, Letter, Bracketed, Priority, KeyValue, Pattern };

    CFormat(std::string name, TimePlace timePlace, std::string layout, LevelPlace levelPlace, int rank)
        : m_name(std::move(name)),
          m_layout(std::move(layout)),
          m_timePlace(timePlace),
          m_levelPlace(levelPlace),
          m_nRank(rank)
    {
    }
    virtual ~CFormat() = default;

    const std::string& Name() const { return m_name; }
    // The stamp's layout in strftime letters (%f a fraction, %z a zone).
    const std::string& Layout() const { return m_layout; }
    TimePlace WhereTime() const { return m_timePlace; }
    LevelPlace WhereLevel() const { return m_levelPlace; }
    // Among formats that read as many lines, the higher rank is the more specific one.
    int Rank() const { return m_nRank; }
    // Whether `line` starts a record, and what it says.
    virtual bool Read(std::string_view line, const timeseek::StampContext& ctx, LineRead& out) const = 0;
    // The same for the line that starts at `lineStart` in the text: a format whose text does not say the
    // level (the journal's) reads it from what it keeps beside the text. The readers that know where a line
    // starts (records, summaries, the shown set) ask this.
    virtual bool ReadAt(std::string_view line, std::int64_t lineStart, const timeseek::StampContext& ctx,
                        LineRead& out) const
    {
        (void)lineStart;
        return Read(line, ctx, out);
    }
    // Only whether the line starts a record, for a scan that wants neither its time nor its level (a filter
    // stack of rules alone): a family whose start does not hang on its level skips reading the level.
    virtual bool StartsRecordAt(std::string_view line, std::int64_t lineStart, const timeseek::StampContext& ctx) const
    {
        LineRead unused;
        return ReadAt(line, lineStart, ctx, unused);
    }
    // How many characters of a line StartsRecordAt reads at most: a scan may hand it no more of a long line.
    static constexpr std::size_t kWholeLine = static_cast<std::size_t>(-1);
    virtual std::size_t StartsRecordReach() const { return kWholeLine; }

private:
    std::string m_name, m_layout;
    TimePlace m_timePlace;
    LevelPlace m_levelPlace;
    int m_nRank;
};

// How Go to Time reads a line's time under `format` (as CTimeSeeker::SetStampReader takes it): the record's
// time when the line starts one. `format` outlives the reader.
std::function<bool(std::string_view line, std::int64_t& micros)> StampReaderOf(const CFormat* format,
                                                                               const timeseek::StampContext& ctx);

// The built-in formats, in no particular order (ranks decide ties).
const std::vector<const CFormat*>& BuiltinFormats();

// A user's format: an RE2 pattern for the first line with the named groups
// `time` and optionally `level` and `body`, the time's layout in strftime
// letters (%Y %m %d %H %M %S %b %a %y %j, %f a fraction of any length, %z a
// zone, %s epoch seconds, %% a percent sign; a space matches any run of
// spaces), and optionally words mapped to levels ("E:error,W:warn").
// Null and `error` set when a part is wrong.
std::unique_ptr<CFormat> MakeUserFormat(const std::string& name, const std::string& pattern, const std::string& layout,
                                        const std::string& levels, std::string& error);
// One format from the text of an .ini file: a section [Format] with the keys
// name, pattern, layout and levels.
std::unique_ptr<CFormat> ReadUserFormat(std::string_view ini, std::string& error);

// The user's formats and then the built-in ones, in the order they are tried.
class CFormatSet {
public:
    CFormatSet() = default;
    explicit CFormatSet(std::vector<std::unique_ptr<CFormat>> user);
    const std::vector<const CFormat*>& All() const { return m_all; }
    // The format of that name, or null.
    const CFormat* Find(std::string_view name) const;

private:
    std::vector<std::unique_ptr<CFormat>> m_user;
    std::vector<const CFormat*> m_all;
};

// The *.ini files of `dir` (in name order), each one format; a file that
// cannot be read or is wrong is skipped with one line "warning: FILE: REASON"
// on `errors`. A missing folder gives the built-in formats alone.
std::shared_ptr<const CFormatSet> LoadFormats(const std::string& dir, std::ostream& errors);
// The set that every window detects with (the built-in formats until one is set).
std::shared_ptr<const CFormatSet> CurrentFormats();
void SetCurrentFormats(std::shared_ptr<const CFormatSet> formats);

// The format that reads the most of these lines (separated by CR or LF):
// among as many, the one that read more levels, then more fractions, then
// the higher rank, a user's format before a built-in one. Null when the best
// reads fewer than half of the lines that may start a record (neither blank
// nor indented: an indented line continues one in every family).
const CFormat* DetectFormat(std::string_view lines, const timeseek::StampContext& ctx,
                            const std::vector<const CFormat*>& formats);

// Bytes read from each end of a file for detection.
constexpr std::int64_t kDetectBytes = 64 * 1024;
// The ASCII lines of the first and the last kDetectBytes of [start, end)
// (the tail's first, cut line left out), for DetectFormat.
std::string SampleLines(IChunkReader& reader, std::int64_t start, std::int64_t end, BreakUnits units);

}  // namespace logformat
