// What merging logs by time costs: 8 logs of N MiB each (each in time order,
// their times interleaved) against one log of the same total size, in the
// same run. The time to the last screenful (End) and 1000 Page Downs of 50
// rows from the middle, each as a ratio to the single file's. Goals: the last
// screenful under 1.5 times the single file's; a Page Down under 2 ms.
//
//   merged_rows_bench [MiB]   (default 1024, each of the 8 logs)
//
// The logs are made on the fly by a chunk reader: fixed-width lines whose
// time follows from their number, so any size costs no memory or disk.
#include "engine/MergedRows.h"
#include "tests/core/TestUtil.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point since)
{
    return std::chrono::duration<double>(Clock::now() - since).count();
}

constexpr std::int64_t kLine = 64;
constexpr std::int64_t kBase = 1796601600LL * 1000000;  // 2026-12-07 00:00 UTC

// Line i of a log that holds every `stride`-th time from `phase` on.
class GeneratedLog : public IChunkReader {
public:
    GeneratedLog(std::int64_t bytes, int stride, int phase) : m_bytes(bytes), m_stride(stride), m_phase(phase) {}
    std::uint64_t Read(std::uint8_t* buffer, std::uint64_t n, std::int64_t offset) override
    {
        const std::uint64_t got =
            offset >= m_bytes ? 0 : std::min<std::uint64_t>(n, static_cast<std::uint64_t>(m_bytes - offset));
        for (std::uint64_t i = 0; i < got;) {
            const std::int64_t at = offset + static_cast<std::int64_t>(i);
            const std::int64_t line = at / kLine;
            char text[kLine + 1];
            const std::string stamp =
                testutil::IsoStampMicros(kBase + (line * m_stride + m_phase) * 1000);  // a millisecond apart
            std::snprintf(text, sizeof text, "%s INFO line %012lld ........................", stamp.c_str(),
                          static_cast<long long>(line));
            text[kLine - 1] = '\n';
            const std::int64_t from = at % kLine;
            const std::uint64_t take = std::min<std::uint64_t>(got - i, static_cast<std::uint64_t>(kLine - from));
            std::memcpy(buffer + i, text + from, take);
            i += take;
        }
        return got;
    }

private:
    std::int64_t m_bytes;
    int m_stride, m_phase;
};

const logformat::CFormat* Iso()
{
    for (const logformat::CFormat* f : logformat::BuiltinFormats())
        if (f->Name() == "ISO 8601")
            return f;
    return nullptr;
}

struct Figures {
    double end, pages;
};

Figures Measure(std::vector<std::unique_ptr<GeneratedLog>>& logs, std::int64_t bytes)
{
    std::vector<merged::Source> sources;
    for (auto& l : logs) {
        merged::Source s;
        s.reader = l.get();
        s.format = Iso();
        s.dataEnd = bytes;
        sources.push_back(s);
    }
    merged::CMergedRows rows(sources);
    Figures f{};
    auto t0 = Clock::now();
    merged::Top end = rows.End(50);
    f.end = Seconds(t0);
    merged::Top top = rows.AtFraction(0.5);
    t0 = Clock::now();
    int moved = 0;
    for (int i = 0; i < 1000; ++i) {
        moved += rows.PageDown(top, 50);
        moved += static_cast<int>(rows.Rows(top, 50).size());
    }
    f.pages = Seconds(t0) / 1000;
    if (end.file < 0 || moved < 1000 * 50)
        std::printf("unexpected: end file %d, moved %d\n", end.file, moved);
    return f;
}

}  // namespace

int main(int argc, char** argv)
{
    const std::int64_t mib = argc > 1 ? std::atoll(argv[1]) : 1024;
    const std::int64_t each = mib * 1024 * 1024 / kLine * kLine;
    std::vector<std::unique_ptr<GeneratedLog>> eight, one;
    for (int f = 0; f < 8; ++f)
        eight.push_back(std::make_unique<GeneratedLog>(each, 8, f));
    one.push_back(std::make_unique<GeneratedLog>(each * 8, 1, 0));
    const Figures single = Measure(one, each * 8);
    const Figures merged8 = Measure(eight, each);
    std::printf("8 logs of %lld MiB against 1 of %lld MiB\n", static_cast<long long>(mib),
                static_cast<long long>(mib * 8));
    std::printf("End:       single %.3f ms, merged %.3f ms, ratio %.2f (goal < 1.5)\n", single.end * 1e3,
                merged8.end * 1e3, merged8.end / single.end);
    std::printf("Page Down (50 rows, with the screenful's rows): single %.3f ms, merged %.3f ms, ratio %.2f (goal "
                "< 2 ms)\n",
                single.pages * 1e3, merged8.pages * 1e3, merged8.pages / single.pages);
    return 0;
}
