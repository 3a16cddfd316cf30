// Log formats over arbitrary text: a user's pattern and layout from the
// input (they must make a format or say why), detection among the built-in
// formats and that one (what it picks must read at least half of the lines
// that may start a record), and the records of every line in one of the four
// encodings, checked against a forward walk that carries each read line's
// time and level down to the lines after it.
//
// Input: [flags] [pattern length] [pattern...] [layout length] [layout...] [text...]
//   flags: bits 0-1 the text's encoding (narrow, narrow with CR LF, UTF-16 LE, UTF-16 BE).
#include "engine/LogFormat.h"
#include "engine/LogRecords.h"
#include "tests/core/TestUtil.h"

#include <cstdlib>
#include <string>

namespace {

void Check(bool ok)
{
    if (!ok)
        std::abort();
}

std::string Take(const std::uint8_t*& p, std::size_t& left)
{
    if (!left)
        return {};
    const std::size_t n = std::min<std::size_t>(*p % 48, left - 1);
    std::string s(reinterpret_cast<const char*>(p + 1), n);
    p += n + 1;
    left -= n + 1;
    return s;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size)
{
    if (size < 1)
        return 0;
    const unsigned encoding = data[0] & 3;
    const std::uint8_t* p = data + 1;
    std::size_t left = size - 1;
    const std::string pattern = Take(p, left), layout = Take(p, left);
    std::string narrow(reinterpret_cast<const char*>(p), left);

    std::string error;
    std::vector<std::unique_ptr<logformat::CFormat>> user;
    if (auto format = logformat::MakeUserFormat("fuzz", pattern, layout, "E:error,W:warn", error))
        user.push_back(std::move(format));
    else
        Check(!error.empty());
    const logformat::CFormatSet set(std::move(user));
    const timeseek::StampContext ctx{2026, 12};

    // Detection on the ASCII lines; the winner reads half of the candidates.
    const logformat::CFormat* format = logformat::DetectFormat(narrow, ctx, set.All());
    if (format) {
        int candidates = 0, read = 0;
        std::size_t at = 0;
        while (at < narrow.size()) {
            std::size_t end = narrow.find_first_of("\r\n", at);
            if (end == std::string::npos)
                end = narrow.size();
            const std::string_view line(narrow.data() + at, end - at);
            at = end + 1;
            if (line.empty() || line[0] == ' ' || line[0] == '\t')
                continue;
            ++candidates;
            logformat::LineRead r;
            read += format->Read(line, ctx, r);
        }
        Check(2 * read >= candidates && candidates > 0);
    }

    // The records, in the chosen encoding.
    std::string text;
    BreakUnits units;
    if (encoding < 2) {
        text = narrow;
    } else {
        units = encoding == 2 ? BreakUnits{2} : BreakUnits{2, 0x0D00, 0x0A00};
        for (const char c : narrow) {
            text += encoding == 3 ? '\0' : c;
            text += encoding == 3 ? c : '\0';
        }
    }
    testutil::StringReader reader(&text);
    const auto end = static_cast<std::int64_t>(text.size() - text.size() % units.unit);
    const std::string sample = logformat::SampleLines(reader, 0, end, units);
    Check(sample.size() <= static_cast<std::size_t>(2 * logformat::kDetectBytes + 1));
    if (!format)
        format = set.All()[static_cast<std::size_t>(data[0] >> 2) % set.All().size()];
    logformat::CRecordReader records(reader, 0, end, units, format, ctx);
    bool seen = false;
    logformat::LineRead last;
    for (std::int64_t at = 0; at < end;) {
        logformat::LineRead read;
        const bool starts = format->Read(records.LineText(at), ctx, read);
        if (starts)
            last = read, seen = true;
        const logformat::Record r = records.RecordOf(at);
        Check(r.starts == (starts || at == 0));
        Check(r.timed == seen);
        Check(!seen || (r.micros == last.micros && r.level == last.level));
        const std::int64_t next = records.NextLineStart(at);
        Check(next > at && next <= end && next % units.unit == 0);
        const std::int64_t prev = records.PrevLineStart(next);
        Check(prev < next && prev >= -1);
        at = next;
    }
    return 0;
}
