// Log formats: every built-in family on lines of its own, detection on mixed
// and ambiguous samples, the records that continuation lines belong to in
// every encoding, and users' formats from good and bad files.
#include "engine/LogFormat.h"
#include "engine/LogRecords.h"
#include "tests/core/TestUtil.h"

#include <ctime>
#include <fstream>
#include <random>
#include <sstream>
#include <tuple>

using logformat::Level;

namespace {

// "YYYY-MM-DDTHH:MM:SS[.ffffff]" as UTC microseconds.
std::int64_t Utc(const char* text)
{
    std::tm tm{};
    int frac = 0;
    const int n = std::sscanf(text, "%d-%d-%dT%d:%d:%d.%d", &tm.tm_year, &tm.tm_mon, &tm.tm_mday, &tm.tm_hour,
                              &tm.tm_min, &tm.tm_sec, &frac);
    EXPECT_GE(n, 6) << text;
    tm.tm_year -= 1900, tm.tm_mon -= 1;
    const char* dot = std::strchr(text, '.');
    for (std::size_t digits = dot ? std::strlen(dot + 1) : 6; digits < 6; ++digits)
        frac *= 10;
    return static_cast<std::int64_t>(timegm(&tm)) * 1000000 + frac;
}

const logformat::CFormat* Builtin(const std::string& name)
{
    for (const logformat::CFormat* f : logformat::BuiltinFormats())
        if (f->Name() == name)
            return f;
    ADD_FAILURE() << "no format " << name;
    return nullptr;
}

struct Case {
    const char* format;
    const char* line;
    const char* utc;  // null: the format does not read the line
    Level level;
    bool january = false;  // the file was last written in January 2027 (else December 2026)
};

// Local times are read in EST5: five hours west of UTC, no summer time.
const Case kCases[] = {
    {"ISO 8601", "2015-07-29 17:41:44,747 - INFO  [QuorumPeer[myid=1]/0:0:0:0:2181:FastLeaderElection@774] - New",
     "2015-07-29T22:41:44.747", Level::Info},
    {"ISO 8601", "2026-12-07 01:41:07.123 [main] WARN  com.x.Y - slow", "2026-12-07T06:41:07.123", Level::Warn},
    {"ISO 8601", "2026-12-07 01:41:07,123 - app.db - ERROR - lost", "2026-12-07T06:41:07.123", Level::Error},
    {"ISO 8601", "2026-12-07T06:41:07.5Z\tDEBUG\tzap says", "2026-12-07T06:41:07.5", Level::Debug},
    {"ISO 8601", "[2026-12-07T07:41:07Z TRACE my_crate] x", "2026-12-07T07:41:07", Level::Trace},
    {"ISO 8601", "2026-12-07 08:41:07 +0200 CRITICAL x", "2026-12-07T06:41:07", Level::Fatal},
    {"ISO 8601", "2026-12-07 01:41:07,5 INFO started; ERROR count reset", "2026-12-07T06:41:07.5", Level::Info},
    {"ISO 8601", "2026-12-07 01:41:07 request failed: ERROR 42", "2026-12-07T06:41:07", Level::None},
    {"ISO 8601", "2026-13-07 01:41:07 x", nullptr, Level::None},
    {"ISO 8601", "2026-12-07 01:41 x", nullptr, Level::None},
    {"ISO 8601", "2026-12-07 01:41:61 x", nullptr, Level::None},
    {"ISO 8601", "[2026-12-07 01:4", nullptr, Level::None},
    {"ISO 8601 after a token", "nova-api.log.1 2017-05-16 00:00:00.008 25746 INFO nova.osapi",
     "2017-05-16T05:00:00.008", Level::Info},
    {"ISO 8601 after a token", "2017-05-16 00:00:00.008 25746 INFO nova.osapi", nullptr, Level::None},
    {"Windows CBS", "2016-09-28 04:30:30, Info                  CBS    Loaded Servicing Stack", "2016-09-28T09:30:30",
     Level::Info},
    {"Windows CBS", "2016-09-28 04:30:31, Error                 CSI    failed", "2016-09-28T09:30:31", Level::Error},
    {"Windows CBS", "2016-09-28 04:30:31, Hello CSI x", nullptr, Level::None},
    {"syslog (RFC 3164)", "Jun 14 15:16:01 combo sshd(pam_unix)[19939]: check pass", "2026-06-14T20:16:01",
     Level::None},
    {"syslog (RFC 3164)", "<11>Jun  4 15:16:01 host su: x", "2026-06-04T20:16:01", Level::Error},
    {"syslog (RFC 3164)", "Dec 7 01:41:07 host cron[1]: x", "2026-12-07T06:41:07", Level::None, true},
    {"syslog (RFC 3164)", "Dec  7 01:41:07.5 host x", nullptr, Level::None},
    {"syslog (RFC 5424)", "<34>1 2026-12-07T10:00:00.123Z host app 1 ID47 - msg", "2026-12-07T10:00:00.123",
     Level::Fatal},
    {"syslog (RFC 5424)", "<165>1 2026-12-07T10:00:00+01:00 host app - - - x", "2026-12-07T09:00:00", Level::Info},
    {"journald short-iso", "2026-12-07T10:00:00+0100 myhost systemd[1]: Started x.", "2026-12-07T09:00:00",
     Level::None},
    {"journald short-iso", "2026-12-07T10:00:00 myhost systemd[1]: no zone", nullptr, Level::None},
    {"journald short-precise", "Dec 07 10:00:00.123456 myhost kernel: usb 1-1: new", "2026-12-07T15:00:00.123456",
     Level::None},
    {"logcat threadtime", "03-17 16:13:38.811  1702  2395 D WindowManager: x", "2026-03-17T21:13:38.811", Level::Debug},
    {"logcat threadtime", "12-31 23:59:59.999 1 2 W Tag: x", "2027-01-01T04:59:59.999", Level::Warn, true},
    {"logcat threadtime", "03-17 16:13:38.811  1702  2395 X Tag: x", nullptr, Level::None},
    {"Apache error log", "[Sun Dec 04 04:47:44 2005] [error] mod_jk child workerEnv in error state 6",
     "2005-12-04T09:47:44", Level::Error},
    {"Apache error log", "[Wed Oct 11 14:32:52.123456 2026] [core:warn] [pid 123] x", "2026-10-11T19:32:52.123456",
     Level::Warn},
    {"Apache access log", "127.0.0.1 - frank [07/Dec/2026:06:41:07 +0000] \"GET /a HTTP/1.1\" 200 2326",
     "2026-12-07T06:41:07", Level::None},
    {"nginx error log", "2026/12/07 06:41:07 [error] 1234#0: *1 open() failed", "2026-12-07T11:41:07", Level::Error},
    {"nginx error log", "2026/12/07 6:41:07 [error] x", nullptr, Level::None},
    {"klog", "I1207 10:00:00.000000    1234 main.go:12] started", "2026-12-07T15:00:00", Level::Info},
    {"klog", "E0101 00:00:01.5 1 x.go:1] x", "2026-01-01T05:00:01.5", Level::Error},
    {"klog", "X1207 10:00:00.000000 1 main.go:12] x", nullptr, Level::None},
    {"HDFS", "081109 203615 148 INFO dfs.DataNode$PacketResponder: x", "2008-11-10T01:36:15", Level::Info},
    {"HDFS", "081109 2036l5 148 INFO x", nullptr, Level::None},
    {"Spark", "17/06/09 20:10:40 INFO executor.CoarseGrainedExecutorBackend: x", "2017-06-10T01:10:40", Level::Info},
    {"yyyyMMdd-HH:mm:ss:SSS", "20171223-22:15:29:606|Step_LSC|30002312|onStandStepChanged 3579",
     "2017-12-24T03:15:29.606", Level::None},
    {"[MM.dd HH:mm:ss]", "[10.30 16:49:06] chrome.exe - proxy.cse.cuhk.edu.hk:5070 open through proxy",
     "2026-10-30T21:49:06", Level::None},
    {"epoch seconds", "1131566461 2005.11.09 dn228 x", "2005-11-09T20:01:01", Level::None},
    {"epoch seconds after a token",
     "- 1117838570 2005.06.03 R02-M1-N0-C:J12-U11 2005-06-03-15.42.50.675872 R02-M1-N0-C:J12-U11 RAS KERNEL INFO "
     "instruction cache parity error corrected",
     "2005-06-03T22:42:50", Level::Info},
    {"epoch seconds after a token",
     "KERNDTLB 1131566461 2005.11.09 tbird-admin1 Nov 9 12:01:01 local@tbird-admin1 postfix/postdrop[10896]: x",
     "2005-11-09T20:01:01", Level::None},
    {"logfmt", "ts=2026-12-07T06:41:07.5Z level=warn msg=\"disk low\"", "2026-12-07T06:41:07.5", Level::Warn},
    {"logfmt", "t=1796625667123 lvl=debug msg=x", "2026-12-07T06:41:07.123", Level::Debug},
    {"logfmt", "msg=\"no time\" level=info", nullptr, Level::None},
    {"JSON lines", R"({"time":"2026-12-07T06:41:07.000Z","level":50,"msg":"x"})", "2026-12-07T06:41:07", Level::Error},
    {"JSON lines", R"({"nested":{"a":[1,"}"]},"@timestamp":"2026-12-07T06:41:07Z","severity":"WARNING"})",
     "2026-12-07T06:41:07", Level::Warn},
    {"JSON lines", R"({"ts":1796625667.25,"level":"info"})", "2026-12-07T06:41:07.25", Level::Info},
    {"JSON lines", R"({"msg":"no time","level":"info"})", nullptr, Level::None},
};

const timeseek::StampContext kDecember{2026, 12};
const timeseek::StampContext kJanuary{2027, 1};

std::string Widen(const std::string& text, bool bigEndian)
{
    std::string out;
    for (const char c : text) {
        out += bigEndian ? '\0' : c;
        out += bigEndian ? c : '\0';
    }
    return out;
}

}  // namespace

TEST(LogFormat, ReadsEveryFamilyAndDetectsItAmongTheOthers)
{
    const testutil::ScopedEnv zone("TZ", "EST5", ::tzset);
    for (const Case& c : kCases) {
        const logformat::CFormat* format = Builtin(c.format);
        ASSERT_TRUE(format);
        const timeseek::StampContext& ctx = c.january ? kJanuary : kDecember;
        logformat::LineRead read;
        ASSERT_EQ(format->Read(c.line, ctx, read), c.utc != nullptr) << c.format << ": " << c.line;
        // Whether a line starts a record is the same asked alone, under every family.
        for (const logformat::CFormat* f : logformat::BuiltinFormats()) {
            logformat::LineRead whole;
            const bool starts = f->Read(c.line, ctx, whole);
            EXPECT_EQ(f->StartsRecordAt(c.line, 0, ctx), starts) << f->Name() << ": " << c.line;
            // ... and with no more of the line than the family says it reads.
            const std::string_view line(c.line);
            EXPECT_EQ(f->StartsRecordAt(line.substr(0, std::min(line.size(), f->StartsRecordReach())), 0, ctx), starts)
                << f->Name() << ": " << c.line;
        }
        if (!c.utc)
            continue;
        EXPECT_EQ(read.micros, Utc(c.utc)) << c.line;
        EXPECT_EQ(read.level, c.level) << c.line;
        // Three such lines and a continuation: this family, not another that reads them too.
        const std::string sample = std::string(c.line) + "\n" + c.line + "\n\tat frame\n" + c.line + "\n";
        const logformat::CFormat* found = logformat::DetectFormat(sample, ctx, logformat::BuiltinFormats());
        EXPECT_EQ(found ? found->Name() : "none", c.format) << c.line;
    }
}

TEST(LogFormat, DetectionOnMixedSamples)
{
    const testutil::ScopedEnv zone("TZ", "EST5", ::tzset);
    const auto detect = [](const std::string& lines) {
        const logformat::CFormat* f = logformat::DetectFormat(lines, kDecember, logformat::BuiltinFormats());
        return f ? f->Name() : std::string("none");
    };
    const std::string logcat = "03-17 16:13:38.811  1702  2395 D Tag: x\n";
    const std::string iso = "2026-12-07 01:41:07,1 INFO x\n";
    // Most lines read: logcat, though ISO lines stand among them.
    EXPECT_EQ(detect("--------- beginning of main\n" + logcat + logcat + iso + logcat), "logcat threadtime");
    // Fewer than half of the lines that may start a record: none.
    EXPECT_EQ(detect("a\nb\nc\n" + iso), "none");
    // Exactly half: a format.
    EXPECT_EQ(detect("a\n" + iso), "ISO 8601");
    // Indented lines continue records and count for no format.
    EXPECT_EQ(detect(iso + "\tat a\n\tat b\n   c\n"), "ISO 8601");
    // A tie goes to the lines with levels: CBS lines without a level word are ISO's.
    EXPECT_EQ(detect("2016-09-28 04:30:30, Info  CBS x\n2016-09-28 04:30:30, Hello CBS x\n"
                     "2016-09-28 04:30:30 INFO x\n"),
              "ISO 8601");
    EXPECT_EQ(detect(""), "none");
    // On samples of lines of many families in any mix, the format is the one that trying every format on
    // every line picks: the most lines read, then levels, fractions and rank, the first of equals.
    const auto everyLine = [](const std::string& text) -> const logformat::CFormat* {
        const std::vector<const logformat::CFormat*>& formats = logformat::BuiltinFormats();
        std::vector<std::tuple<int, int, int, int>> keys(formats.size());
        int sampled = 0;
        std::istringstream in(text);
        for (std::string line; std::getline(in, line);) {
            if (line.empty() || line[0] == ' ' || line[0] == '\t')
                continue;
            ++sampled;
            for (std::size_t f = 0; f < formats.size(); ++f) {
                logformat::LineRead r;
                if (formats[f]->Read(line, kDecember, r))
                    keys[f] = {std::get<0>(keys[f]) + 1, std::get<1>(keys[f]) + (r.level != Level::None),
                               std::get<2>(keys[f]) + r.fraction, formats[f]->Rank()};
            }
        }
        std::size_t best = 0;
        for (std::size_t f = 0; f < formats.size(); ++f) {
            std::get<3>(keys[f]) = formats[f]->Rank();
            if (keys[f] > keys[best])
                best = f;
        }
        return sampled == 0 || std::get<0>(keys[best]) * 2 < sampled ? nullptr : formats[best];
    };
    std::mt19937 rng(5);
    for (int i = 0; i < 400; ++i) {
        std::string text;
        const int families = 1 + static_cast<int>(rng() % 4);
        std::vector<const char*> lines;
        for (int k = 0; k < families; ++k)
            lines.push_back(kCases[rng() % std::size(kCases)].line);
        lines.push_back("\tat a continuation");
        lines.push_back("no stamp at all");
        for (int n = static_cast<int>(rng() % 60); n >= 0; --n)
            text += std::string(lines[rng() % (rng() % 2 ? lines.size() : std::size_t{1})]) + "\n";
        const logformat::CFormat* expected = everyLine(text);
        EXPECT_EQ(detect(text), expected ? expected->Name() : "none") << text;
    }
}

TEST(LogFormat, SampleTakesBothEndsOfAFile)
{
    const testutil::ScopedEnv zone("TZ", "EST5", ::tzset);
    std::string text;
    const std::string noise(200, 'x');
    while (text.size() < 300 * 1024)
        text += noise + "\n";
    // The head and the tail are klog; a middle full of noise is never read.
    std::string head, tail;
    for (int i = 0; i < 40; ++i)
        head += "I1207 10:00:00.000000 1 a.go:1] x\n", tail += "W1207 11:00:00.000000 1 a.go:2] y\n";
    text = head + text + tail;
    testutil::StringReader reader(&text);
    const std::string sample = logformat::SampleLines(reader, 0, static_cast<std::int64_t>(text.size()), {});
    EXPECT_LE(sample.size(), static_cast<std::size_t>(2 * logformat::kDetectBytes));
    EXPECT_NE(sample.find("I1207"), std::string::npos);
    EXPECT_NE(sample.find("W1207"), std::string::npos);
    EXPECT_EQ(sample.find(std::string(300, 'x')), std::string::npos);
}

TEST(LogRecords, ContinuationLinesInEveryEncoding)
{
    const testutil::ScopedEnv zone("TZ", "EST5", ::tzset);
    const std::string lines[] = {"preamble without a stamp", "2026-12-07 01:41:07,1 ERROR db \xC3\xA9t\xC3\xA9 lost",
                                 "java.lang.IllegalStateException: x", "\tat com.x.Y(Y.java:1)",
                                 "2026-12-07 01:41:08,2 INFO \xE9t\xE9 back"};
    struct Expect {
        bool starts, timed;
        Level level;
        const char* utc;
    } expect[] = {
        {true, false, Level::None, nullptr},
        {true, true, Level::Error, "2026-12-07T06:41:07.1"},
        {false, true, Level::Error, "2026-12-07T06:41:07.1"},
        {false, true, Level::Error, "2026-12-07T06:41:07.1"},
        {true, true, Level::Info, "2026-12-07T06:41:08.2"},
    };
    for (int encoding = 0; encoding < 3; ++encoding) {
        for (const char* brk : {"\n", "\r\n"}) {
            std::string narrow;
            for (const std::string& l : lines)
                narrow += l + brk;
            const bool wide = encoding > 0, big = encoding == 2;
            const std::string text = wide ? Widen(narrow, big) : narrow;
            const BreakUnits units = !wide ? BreakUnits{} : big ? BreakUnits{2, 0x0D00, 0x0A00} : BreakUnits{2};
            testutil::StringReader reader(&text);
            const std::int64_t end = static_cast<std::int64_t>(text.size());
            const logformat::CFormat* format = logformat::DetectFormat(logformat::SampleLines(reader, 0, end, units),
                                                                       kDecember, logformat::BuiltinFormats());
            ASSERT_TRUE(format) << encoding;
            EXPECT_EQ(format->Name(), "ISO 8601");
            logformat::CRecordReader records(reader, 0, end, units, format, kDecember);
            std::int64_t at = 0;
            std::vector<std::int64_t> starts;
            for (const Expect& e : expect) {
                const logformat::Record r = records.RecordOf(at);
                EXPECT_EQ(r.starts, e.starts) << encoding << " at " << at;
                EXPECT_EQ(r.timed, e.timed) << encoding << " at " << at;
                EXPECT_EQ(r.level, e.level) << encoding << " at " << at;
                if (e.utc) {
                    EXPECT_EQ(r.micros, Utc(e.utc)) << encoding;
                }
                starts.push_back(at);
                at = records.NextLineStart(at);
            }
            EXPECT_EQ(at, end);
            for (std::size_t k = starts.size(); k-- > 1;)
                EXPECT_EQ(records.PrevLineStart(starts[k]), starts[k - 1]) << encoding << " line " << k;
            // Bottom up, every line looks back for its record (top down, it read the line alone).
            for (std::size_t k = starts.size(); k-- > 0;) {
                const logformat::Record r = records.RecordOf(starts[k]);
                EXPECT_EQ(r.starts, expect[k].starts) << encoding << " line " << k;
                EXPECT_EQ(r.level, expect[k].level) << encoding << " line " << k;
            }
            EXPECT_EQ(records.PrevLineStart(0), -1);
        }
    }
}

TEST(LogFormat, UserFormatsFromGoodAndBadFiles)
{
    const testutil::ScopedEnv zone("TZ", "EST5", ::tzset);
    testutil::TempDir dir;
    const auto write = [&](const char* name, const std::string& text) {
        std::ofstream(dir.Path() + "/" + name) << text;
    };
    write("a-dayofyear.ini", "; a comment\n[Format]\nname=Day of year\n"
                             "pattern=^(?P<time>\\d\\d:\\d\\d:\\d\\d \\d{4}/\\d{3}) (?P<level>[EWI]) (?P<body>.*)\n"
                             "layout=%H:%M:%S %Y/%j\nlevels=E:error, W:warn, I:info\n");
    write("b-zoned.ini", "[Format]\r\nname=Zoned\r\npattern=^@(?P<time>[^ ]+ [^ ]+) (?P<level>\\w+)\r\n"
                         "layout=%d/%b/%Y:%H:%M:%S.%f %z\r\n");
    write("c-epoch.ini", "[Format]\nname=Epoch\npattern=^t(?P<time>[0-9.]+)\nlayout=%s.%f\n");
    write("d-noyear.ini", "[Format]\nname=No year\npattern=^(?P<time>\\w+ +\\d+ [0-9:]+) !\nlayout=%b %d %H:%M:%S\n");
    write("d2-compact.ini", "[Format]\nname=Batch runner\n"
                            "pattern=^(?P<time>\\d{8} \\d{6}\\.\\d+) \\[(?P<level>[EWID])\\] (?P<body>.*)\n"
                            "layout=%Y%m%d %H%M%S.%f\nlevels=E:error,W:warn,I:info,D:debug\n");
    write("e-nosection.ini", "name=x\npattern=(?P<time>.)\nlayout=%S\n");
    write("f-badpattern.ini", "[Format]\nname=x\npattern=(?P<time>[0-9\nlayout=%S\n");
    write("g-notime.ini", "[Format]\nname=x\npattern=(?P<when>.)\nlayout=%S\n");
    write("h-badletter.ini", "[Format]\nname=x\npattern=(?P<time>.)\nlayout=%Q\n");
    write("i-badlevel.ini", "[Format]\nname=x\npattern=(?P<time>.)\nlayout=%S\nlevels=E:err0r\n");
    write("j-noname.ini", "[Format]\npattern=(?P<time>.)\nlayout=%S\n");
    write("k-ignored.txt", "not a format");
    std::ostringstream errors;
    const auto set = logformat::LoadFormats(dir.Path(), errors);
    std::vector<std::string> lines;
    std::istringstream in(errors.str());
    for (std::string l; std::getline(in, l);)
        lines.push_back(l);
    const char* const bad[] = {"e-nosection.ini", "f-badpattern.ini", "g-notime.ini",
                               "h-badletter.ini", "i-badlevel.ini",   "j-noname.ini"};
    ASSERT_EQ(lines.size(), std::size(bad)) << errors.str();
    for (std::size_t i = 0; i < lines.size(); ++i) {
        EXPECT_EQ(lines[i].rfind("warning: ", 0), 0u) << lines[i];
        EXPECT_NE(lines[i].find(bad[i]), std::string::npos) << lines[i];
    }
    EXPECT_NE(lines[3].find("%Q"), std::string::npos);
    EXPECT_NE(lines[4].find("err0r"), std::string::npos);
    ASSERT_EQ(set->All().size(), 5 + logformat::BuiltinFormats().size());
    EXPECT_EQ(set->All()[0]->Name(), "Day of year");

    const struct {
        const char* format;
        const char* line;
        const char* utc;
        Level level;
    } cases[] = {
        {"Day of year", "10:00:00 2026/341 E boom", "2026-12-07T15:00:00", Level::Error},
        {"Day of year", "10:00:00 2026/341 W x", "2026-12-07T15:00:00", Level::Warn},
        {"Day of year", "10:00:00 2026/341 X x", nullptr, Level::None},
        {"Zoned", "@07/Dec/2026:08:41:07.25 +0200 WARNING x", "2026-12-07T06:41:07.25", Level::Warn},
        {"Zoned", "@07/Dek/2026:08:41:07.25 +0200 WARNING x", nullptr, Level::None},
        {"Epoch", "t1796625667.5 x", "2026-12-07T06:41:07.5", Level::None},
        {"No year", "Dec  7 01:41:07 ! x", "2026-12-07T06:41:07", Level::None},
        {"Batch runner", "20261207 014107.25 [W] x", "2026-12-07T06:41:07.25", Level::Warn},
    };
    for (const auto& c : cases) {
        const logformat::CFormat* f = set->Find(c.format);
        ASSERT_TRUE(f) << c.format;
        logformat::LineRead read;
        const bool ok = f->Read(c.line, kDecember, read);
        ASSERT_EQ(ok, c.utc != nullptr) << c.line;
        if (ok) {
            EXPECT_EQ(read.micros, Utc(c.utc)) << c.line;
            EXPECT_EQ(read.level, c.level) << c.line;
        }
    }
    // The year rule: a December stamp in a file written in January is last year's.
    logformat::LineRead read;
    ASSERT_TRUE(set->Find("No year")->Read("Dec  7 01:41:07 ! x", kJanuary, read));
    EXPECT_EQ(read.micros, Utc("2026-12-07T06:41:07"));
    // A user's format reads as many lines as ISO does here: it is tried first and wins.
    std::string error;
    auto iso =
        logformat::MakeUserFormat("Mine", "^(?P<time>\\S+ \\S+) (?P<level>\\w+)", "%Y-%m-%d %H:%M:%S.%f", "", error);
    ASSERT_TRUE(iso) << error;
    std::vector<std::unique_ptr<logformat::CFormat>> mine;
    mine.push_back(std::move(iso));
    const logformat::CFormatSet withMine(std::move(mine));
    const logformat::CFormat* found = logformat::DetectFormat(
        "2026-12-07 01:41:07.1 INFO x\n2026-12-07 01:41:07.2 WARN y\n", kDecember, withMine.All());
    ASSERT_TRUE(found);
    EXPECT_EQ(found->Name(), "Mine");
    // A missing folder: the built-in formats alone, and nothing said.
    std::ostringstream quiet;
    EXPECT_EQ(logformat::LoadFormats(dir.Path() + "/none", quiet)->All().size(), logformat::BuiltinFormats().size());
    EXPECT_TRUE(quiet.str().empty());
}
