// The demonstration that `make run` shows a newcomer: a sample log that
// another process keeps writing, so the viewer is seen doing its main job.
//
//   demo_log generate DIR        writes DIR/demo.log (a few MiB of an ANSI
//                                service log with tabs and accented words),
//                                DIR/demo-utf16.log (a small UTF-16 LE sibling)
//                                and the demonstration's own settings under
//                                DIR/config (Log Levels and Line Numbers on)
//   demo_log follow FILE SECONDS appends a line every 50-200 ms for SECONDS,
//                                rotating the file once half-way (copy to
//                                FILE.1, then truncate FILE to nothing, as
//                                logrotate's copytruncate does)
//
// Every stamp is later than the one before it, in both files and across the
// generated text and what the writer appends: Go to Time and everything else
// ordered by time must be right on the first log a newcomer sees.
//
// The writer ends with its parent (the run script), so a demonstration never
// leaves a process behind.
#include "platform/AppInfo.h"

#include <sys/prctl.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <thread>

namespace {

// Windows-1252 bytes: the viewer shows ANSI files byte for byte in that code page.
const char* const kComponents[] = {"http", "db.pool", "auth", "cache", "scheduler", "mailer", "export"};
const char* const kUsers[] = {"m\xfcller", "s\xf6ren", "ren\xe9", "zo\xeb", "jos\xe9", "fran\xe7oise", "\xc5sa"};
const char* const kMessages[] = {
    "request served \tstatus=200 \tbytes=%d",
    "slow query \tduration_ms=%d \ttable=orders",
    "login accepted \tuser=%s",
    "cache miss \tkey=session:%d",
    "job finished \tname=caf\xe9-report \tduration_ms=%d",
    "mail queued \tto=%s@example.org",
    "export written \tfile=r\xe9sum\xe9-%d.csv",
};

using Millis = long long;  // since the epoch

Millis NowMillis()
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::system_clock::now().time_since_epoch())
        .count();
}

std::string Stamp(Millis ms)
{
    const std::time_t t = static_cast<std::time_t>(ms / 1000);
    std::tm tm{};
    localtime_r(&t, &tm);
    char buf[64];
    std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d:%02d.%03d", tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday,
                  tm.tm_hour, tm.tm_min, tm.tm_sec, static_cast<int>(ms % 1000));
    return buf;
}

std::string Line(std::mt19937& rng, Millis ms, unsigned seq)
{
    const int kind = static_cast<int>(rng() % 7);
    const unsigned roll = rng() % 100;
    const char* level = roll < 3 ? "ERROR" : roll < 12 ? "WARN " : "INFO ";
    char msg[160];
    const char* user = kUsers[rng() % 7];
    const int number = static_cast<int>(rng() % 90000) + 100;
    if (kind == 2 || kind == 5)
        std::snprintf(msg, sizeof msg, kMessages[kind], user);
    else
        std::snprintf(msg, sizeof msg, kMessages[kind], number);
    char head[96];
    std::snprintf(head, sizeof head, " %s [%-9s] #%06u ", level, kComponents[rng() % 7], seq);
    std::string line = Stamp(ms) + head + msg;
    // Now and then a long line, to show horizontal scrolling.
    if (rng() % 40 == 0)
        for (int i = 0; i < 12; ++i)
            line += " \tfield" + std::to_string(i) + "=value-" + std::to_string(rng() % 100000);
    return line + "\n";
}

std::u16string Widen(const std::string& ansi)
{
    std::u16string out;
    for (unsigned char c : ansi)
        out += static_cast<char16_t>(c);  // the lines hold Latin-1 letters only
    return out;
}

// The settings the demonstration starts with, where the run script points the viewer's configuration: the
// viewer's own defaults leave the log levels uncoloured and the lines unnumbered, and a newcomer should see both.
bool WriteSettings(const std::string& configHome)
{
    const std::filesystem::path folder = std::filesystem::path(configHome) / kProfileOrganization;
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    std::ofstream ini(folder / (std::string(kApplicationTitle) + ".conf"), std::ios::trunc);
    ini << "[Highlight]\nEnabled=true\nLogLevels=true\n\n[Log]\nLineNumbers=1\n";
    return static_cast<bool>(ini);
}

int Generate(const std::string& dir)
{
    std::mt19937 rng(20261207);
    const int lines = 40000;  // about 4 MiB
    // A line every 100 ms give or take: the jitter stays under the step, so each stamp is later than the one
    // before, and the last is a second old, so that the writer's first line comes after it.
    const Millis first = NowMillis() - lines * Millis{100} - 1000;
    std::string text;
    for (int i = 0; i < lines; ++i)
        text += Line(rng, first + i * Millis{100} + (i * 37) % 100, static_cast<unsigned>(i));
    std::ofstream log(dir + "/demo.log", std::ios::binary | std::ios::trunc);
    log << text;

    std::u16string wide = u"\xFEFF";
    const Millis firstWide = NowMillis() - 400 * Millis{1000};
    for (int i = 0; i < 400; ++i)
        wide += Widen(Line(rng, firstWide + i * Millis{1000} + (i * 31) % 1000, static_cast<unsigned>(i)));
    wide += u"UTF-16 text: \u00e9t\u00e9, \u0161koda, \u03b1\u03b2\u03b3, \u041c\u043e\u0441\u043a\u0432\u0430\n";
    std::ofstream utf16(dir + "/demo-utf16.log", std::ios::binary | std::ios::trunc);
    for (char16_t u : wide)
        utf16.put(static_cast<char>(u & 0xFF)).put(static_cast<char>(u >> 8));
    return log && utf16 && WriteSettings(dir + "/config") ? 0 : 1;
}

int Follow(const std::string& path, int seconds)
{
    prctl(PR_SET_PDEATHSIG, SIGTERM);
    std::mt19937 rng(static_cast<unsigned>(std::time(nullptr)));
    const auto start = std::chrono::steady_clock::now();
    const auto stop = start + std::chrono::seconds(seconds);
    bool rotated = false;
    unsigned seq = 900000;
    Millis last = 0;
    while (std::chrono::steady_clock::now() < stop) {
        if (!rotated && std::chrono::steady_clock::now() - start > std::chrono::seconds(seconds) / 2) {
            {
                std::ifstream in(path, std::ios::binary);
                std::ofstream out(path + ".1", std::ios::binary | std::ios::trunc);
                out << in.rdbuf();
            }
            std::ofstream(path, std::ios::binary | std::ios::trunc);
            rotated = true;
        }
        // The wall clock may be set back meanwhile; the stamps go on forward.
        last = std::max(last + 1, NowMillis());
        std::ofstream(path, std::ios::binary | std::ios::app) << Line(rng, last, seq++);
        std::this_thread::sleep_for(std::chrono::milliseconds(50 + rng() % 151));
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc == 3 && std::strcmp(argv[1], "generate") == 0)
        return Generate(argv[2]);
    if (argc == 4 && std::strcmp(argv[1], "follow") == 0)
        return Follow(argv[2], std::atoi(argv[3]));
    std::fprintf(stderr, "usage: demo_log generate DIR | demo_log follow FILE SECONDS\n");
    return 2;
}
