// What a change to the marks costs the UI thread: each one is written to the
// store's database in a transaction of its own before the call returns.
//
//   store_bench [changes] [folder]      (defaults 2000, a folder under TMPDIR)
//
// Marks are added and removed on a file's list, alternately, with a note on
// every tenth; the time of each call is taken. Baseline, in the same run:
// the same calls on a list that no store listens to, and an append of the
// same bytes to a file with write(2), the floor for anything that keeps a
// change. The goal is a 99th percentile under 1 ms per change.
#include "view/StateStore.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

struct Figures {
    double median = 0, p99 = 0, worst = 0;
};

Figures Summarise(std::vector<double> us)
{
    std::sort(us.begin(), us.end());
    if (us.empty())
        return {};
    return {us[us.size() / 2], us[us.size() * 99 / 100], us.back()};
}

template <typename Change>
Figures Time(int changes, Change change)
{
    std::vector<double> us;
    us.reserve(static_cast<std::size_t>(changes));
    for (int i = 0; i < changes; ++i) {
        const auto start = Clock::now();
        change(i);
        us.push_back(std::chrono::duration<double, std::micro>(Clock::now() - start).count());
    }
    return Summarise(std::move(us));
}

void Change(CMarkList& marks, int i)
{
    const TextPos pos = static_cast<TextPos>(i / 2) * 80;
    if (i % 2 == 0) {
        marks.Add(pos);
        if (i % 20 == 0)
            marks.SetNote(pos, "a note on this line");
    } else {
        marks.Remove(pos - 40 * 80 > 0 ? pos - 40 * 80 : pos);
    }
}

}  // namespace

int main(int argc, char** argv)
{
    const int changes = argc > 1 ? std::max(100, std::atoi(argv[1])) : 2000;
    namespace fs = std::filesystem;
    const fs::path folder = argc > 2 ? fs::path(argv[2]) : fs::temp_directory_path() / "ostrel-store-bench";
    fs::remove_all(folder);
    fs::create_directories(folder);
    const std::string log = (folder / "app.log").string();
    {
        std::ofstream out(log);
        for (int i = 0; i < changes; ++i)
            out << std::string(79, 'x') << '\n';
    }

    CStateStore store;
    if (!store.Open((folder / CStateStore::kFileName).string(), std::cerr) || store.IsReadOnly()) {
        std::fprintf(stderr, "store_bench: the store could not be opened\n");
        return 1;
    }
    const platform::FileHandle h = platform::OpenReadShared(log);
    std::shared_ptr<CMarkList> kept = store.MarksFor(log, h);
    const Figures stored = Time(changes, [&](int i) { Change(*kept, i); });
    CMarkList bare;
    const Figures memory = Time(changes, [&](int i) { Change(bare, i); });
    const int fd = ::open((folder / "appended").c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    const std::string record(48, 'm');
    const Figures append = Time(changes, [&](int) { (void)!::write(fd, record.data(), record.size()); });
    ::close(fd);
    platform::CloseFile(h);

    std::printf("store_bench: %d changes, each in its own transaction (microseconds per change)\n", changes);
    std::printf("  %-28s median %8.1f  p99 %8.1f  worst %8.1f\n", "marks written to the store", stored.median,
                stored.p99, stored.worst);
    std::printf("  %-28s median %8.1f  p99 %8.1f  worst %8.1f\n", "marks in memory only", memory.median, memory.p99,
                memory.worst);
    std::printf("  %-28s median %8.1f  p99 %8.1f  worst %8.1f\n", "write(2) of 48 bytes", append.median, append.p99,
                append.worst);
    std::printf("  store / write(2): %.1fx at the median; goal p99 < 1000 us: %s\n",
                append.median > 0 ? stored.median / append.median : 0.0, stored.p99 < 1000 ? "met" : "NOT met");
    fs::remove_all(folder);
    return stored.p99 < 1000 ? 0 : 1;
}
