// What showing a log with its older parts costs: a rotation set of 20 parts (the 5 oldest compressed with
// gzip) against the current file alone, in the same run, on cached files. The figure is the time to the
// current part's end shown (the document opened, the window loaded, the set found and opened at its end,
// one paint), as a ratio to the current file's alone; the compressed parts must still be unread then (they
// are decompressed only once the view reaches them). Then Ctrl+Home: the time until the oldest part's first
// line is on top, its decompression in the background included.
//
//   rotation_bench [MiB [DIR]]   (each part's size, default 16; the parts are made in a temporary folder
//                                  under DIR, default /tmp, and removed after)
#include "file/RotationSet.h"
#include "file/TextFileDoc.h"
#include "platform/Window.h"
#include "tests/core/CompressUtil.h"
#include "tests/core/TestUtil.h"
#include "textwnd/MergedWnd.h"
#include "tools/headless/HeadlessWindow.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;

double Ms(Clock::time_point since)
{
    return std::chrono::duration<double, std::milli>(Clock::now() - since).count();
}

std::string PartText(int part, std::int64_t bytes)
{
    std::string text;
    text.reserve(static_cast<std::size_t>(bytes) + 128);
    char line[96];
    for (std::int64_t i = 0; static_cast<std::int64_t>(text.size()) < bytes; ++i) {
        std::snprintf(line, sizeof line, "part %02d line %010lld ..................................\n", part,
                      static_cast<long long>(i));
        text += line;
    }
    return text;
}

// Opening as the viewer opens a log: the document, its window loaded at the end and painted.
struct Window {
    CTextFileDoc doc;
    headless::HeadlessPort port{50, 120};
    CFileWnd wnd{&port};
    bool Open(const std::string& path)
    {
        wnd.SetWatchFile(false);
        wnd.SetCountLines(false);
        if (!doc.OnOpenDocument(path.c_str()) || !wnd.LoadFile(doc.GetMappedFile(), EncodingAuto))
            return false;
        doc.SetPathName(path.c_str());
        return true;
    }
};

}  // namespace

int main(int argc, char** argv)
{
    const std::int64_t mib = argc > 1 ? std::max(1, std::atoi(argv[1])) : 16;
    const std::string under = argc > 2 ? argv[2] : "/tmp";
    std::string tmpl = under + "/ostrel-rotation-XXXXXX";
    if (!::mkdtemp(tmpl.data())) {
        std::perror("mkdtemp");
        return 1;
    }
    const std::string dir = tmpl;
    constexpr int kParts = 20, kCompressed = 5;
    for (int k = 0; k < kParts; ++k) {
        const int number = kParts - 1 - k;  // app.log.19 ... app.log.1, app.log
        const std::string text = PartText(number, mib * 1024 * 1024);
        std::string name = "app.log" + (number ? "." + std::to_string(number) : std::string());
        std::string bytes = text;
        if (k < kCompressed) {
            name += ".gz";
            bytes = compresstest::Compress(Compression::Gzip, text);
        }
        std::ofstream(dir + "/" + name, std::ios::binary) << bytes;
    }
    const std::string current = dir + "/app.log";
    std::printf("rotation set: %d parts of %lld MiB (%d gzip-compressed), the current file %s\n", kParts,
                static_cast<long long>(mib), kCompressed, current.c_str());

    constexpr int kRuns = 7;
    std::vector<double> single, set;
    int unread = -1;
    for (int run = 0; run < kRuns + 1; ++run) {  // the first run warms the page cache
        {
            const auto t0 = Clock::now();
            Window w;
            if (!w.Open(current)) {
                std::fprintf(stderr, "cannot open %s\n", current.c_str());
                return 1;
            }
            w.wnd.OnKeyDown(kVkEnd);
            w.port.Paint(w.wnd);
            if (run)
                single.push_back(Ms(t0));
        }
        {
            const auto t0 = Clock::now();
            Window w;
            if (!w.Open(current))
                return 1;
            auto merged = std::make_unique<CMergedWnd>(w.wnd);
            if (!merged->OpenSequence(rotation::SetOf(current), false, false))
                return 1;
            w.wnd.SetMerged(std::move(merged));
            w.port.Paint(w.wnd);
            if (run)
                set.push_back(Ms(t0));
            unread = 0;
            for (int k = 0; k < w.wnd.GetMerged()->Count(); ++k)
                unread += w.wnd.GetMerged()->IsPending(k) && rotation::IsCompressedName(w.wnd.GetMerged()->PathOf(k));
        }
        platform::DrainPostedMessages();
    }
    std::sort(single.begin(), single.end());
    std::sort(set.begin(), set.end());
    const double a = single[single.size() / 2], b = set[set.size() / 2];
    std::printf("current part's end shown:  alone %.2f ms, as a set of %d %.2f ms  (median of %d)\n", a, kParts, b,
                kRuns);
    std::printf("ratio set / alone: %.2f   compressed parts still unread then: %d of %d\n", b / a, unread, kCompressed);

    // Ctrl+Home: the oldest part is decompressed in the background, then shown on top.
    {
        Window w;
        if (!w.Open(current))
            return 1;
        auto merged = std::make_unique<CMergedWnd>(w.wnd);
        if (!merged->OpenSequence(rotation::SetOf(current), false, false))
            return 1;
        w.wnd.SetMerged(std::move(merged));
        const auto t0 = Clock::now();
        w.wnd.OnKeyDown(kVkHome);
        const double key = Ms(t0);
        CMergedWnd& m = *w.wnd.GetMerged();
        while (m.IsPending(0) && Ms(t0) < 120000) {
            platform::DrainPostedMessages();
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        w.port.Paint(w.wnd);
        const bool top =
            !m.PaintedRows().empty() && m.PaintedRows().front().file == 0 && m.PaintedRows().front().start == 0;
        std::printf("Ctrl+Home: the key %.2f ms; the oldest part (%lld MiB decompressed) on top after %.0f ms%s\n", key,
                    static_cast<long long>(mib), Ms(t0), top ? "" : "  (NOT on top)");
    }
    std::filesystem::remove_all(dir);
    return 0;
}
