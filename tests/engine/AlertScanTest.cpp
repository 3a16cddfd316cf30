// The worker that matches alert and stop rules over appended text: the first
// line of each, in every encoding, across chunk boundaries, a line matched
// again once it has grown, and nothing more looked for while news wait.
#include "engine/AlertScan.h"
#include "file/Encoding.h"
#include "tests/core/TestUtil.h"

#include <gtest/gtest.h>

using namespace linefilter;

namespace {

// ASCII text in the encoding's code units.
std::string Encode(const std::string& ascii, std::int32_t encoding)
{
    if (encoding != EncodingUtf16LE && encoding != EncodingUtf16BE)
        return ascii;
    std::string out;
    for (const char c : ascii) {
        const char pair[2] = {encoding == EncodingUtf16LE ? c : '\0', encoding == EncodingUtf16LE ? '\0' : c};
        out.append(pair, 2);
    }
    return out;
}

AlertRule Rule(int index, const char16_t* pattern, bool stop, bool regex = false, bool ignoreCase = false)
{
    AlertRule r;
    r.index = index;
    r.stop = stop;
    r.query.pattern = pattern;
    r.query.regex = regex;
    r.query.ignoreCase = ignoreCase;
    return r;
}

}  // namespace

TEST(AlertScan, FirstAlertAndStopLinesInEveryEncodingAndALineMatchedAgainWhenItGrows)
{
    for (const std::int32_t enc : {EncodingAnsi, EncodingUtf8, EncodingUtf16LE, EncodingUtf16BE}) {
        SCOPED_TRACE(enc);
        const std::int64_t u = enc == EncodingUtf16LE || enc == EncodingUtf16BE ? 2 : 1;
        std::string text = Encode("first\r\nan xxy here\n", enc);
        CAlertScanner scanner(16);  // chunks shorter than a line
        ASSERT_TRUE(scanner.Start(std::make_unique<testutil::StringReader>(&text), {enc, platform::CodePage::Utf8},
                                  {Rule(0, u"warn", false, false, true), Rule(1, u"FATAL", true),
                                   Rule(2, u"x+y", false, true), Rule(3, u"([", false, true)}));
        int notified = 0;
        scanner.SetNotify([&] { ++notified; });

        // Only what was asked: the regular expression's line, not the first line before it.
        scanner.Scan(7 * u, static_cast<std::int64_t>(text.size()));
        scanner.WaitIdle();
        AlertNews n = scanner.Take();
        EXPECT_EQ(n.alertLine, 7 * u);
        EXPECT_EQ(n.alertRule, 2);
        EXPECT_EQ(n.stopRule, -1);
        EXPECT_GE(notified, 1);

        // The earliest line wins, then the first rule on it; a stop rule's line is an alert too.
        const std::int64_t old = static_cast<std::int64_t>(text.size());
        text += Encode("nothing at all in this line\nFATAL and WARN\nWarn\nFATAL again\nhalf FA", enc);
        scanner.Scan(old, static_cast<std::int64_t>(text.size()));
        scanner.WaitIdle();
        n = scanner.Take();
        const std::int64_t fatal = old + 28 * u;
        EXPECT_EQ(n.alertLine, fatal);
        EXPECT_EQ(n.alertRule, 0) << "warn is the first rule";
        EXPECT_EQ(n.stopLine, fatal);
        EXPECT_EQ(n.stopRule, 1);

        // The half line grows: it is matched whole from its start.
        const std::int64_t half = static_cast<std::int64_t>(text.size()) - 7 * u;
        text += Encode("TAL\n", enc);
        scanner.Scan(half, static_cast<std::int64_t>(text.size()));
        scanner.WaitIdle();
        n = scanner.Take();
        EXPECT_EQ(n.stopLine, half);
        EXPECT_EQ(n.alertLine, half);

        // While news wait, more text is only counted as seen: the waiting lines stay the first.
        const std::int64_t more = static_cast<std::int64_t>(text.size());
        text += Encode("FATAL 1\n", enc);
        scanner.Scan(more, static_cast<std::int64_t>(text.size()));
        scanner.WaitIdle();
        const std::int64_t later = static_cast<std::int64_t>(text.size());
        text += Encode("FATAL 2\n", enc);
        scanner.Scan(later, static_cast<std::int64_t>(text.size()));
        scanner.WaitIdle();
        n = scanner.Take();
        EXPECT_EQ(n.stopLine, more);
        EXPECT_FALSE(scanner.Take().Any());
    }
}

TEST(AlertScan, NoUsableRuleStartsNothing)
{
    std::string text = "a\n";
    CAlertScanner scanner;
    EXPECT_FALSE(scanner.Start(std::make_unique<testutil::StringReader>(&text),
                               {EncodingUtf8, platform::CodePage::Utf8},
                               {Rule(0, u"([", true, true), Rule(1, u"", false)}));
}
