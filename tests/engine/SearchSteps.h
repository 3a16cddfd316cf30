// One runner for the window's search rules, plain text and regular expressions alike: each step searches from
// where the last left off and leaves the highlight (and, where given, the last match) at a known character.
#pragma once

#include "tests/core/TestUtil.h"
#include "tests/engine/SearchReference.h"

#include <gtest/gtest.h>

namespace searchsteps {

struct Step {
    char kind;  // F(ind first), N(ext), P(revious); T: the top to the index `at`
    bool ignoreCase;
    std::u16string text;
    int result;                // 0 found, 1 not found, 2 an invalid pattern
    std::int64_t at;           // the last match afterwards, in characters (-1: not looked at)
    std::int64_t length = -1;  // the highlight's, in characters (-1: the text's own)
};

inline void Run(testutil::Window& w, const std::vector<Step>& steps, std::int32_t encoding)
{
    for (const Step& s : steps) {
        if (s.kind == 'T') {
            CFileWndTestAccess::SetTop(w.wnd, w.At(s.at));
            continue;
        }
        const int got = s.kind == 'F'   ? w.wnd.FindFirst(s.ignoreCase, s.text)
                        : s.kind == 'N' ? w.wnd.FindNext(s.ignoreCase, s.text)
                                        : w.wnd.FindPrevious(s.ignoreCase, s.text);
        EXPECT_EQ(got, s.result) << s.kind << " " << platform::Utf16ToUtf8(s.text);
        EXPECT_EQ(w.wnd.GetPatternError().empty(), s.result != 2);
        if (s.at >= 0) {
            EXPECT_EQ(w.Index(w.wnd.GetLastMatch()), s.at) << s.kind;
        }
        const std::int64_t units =
            s.length >= 0 ? s.length : static_cast<std::int64_t>(searchref::Pattern(s.text, encoding).size());
        EXPECT_EQ(w.wnd.GetHighlightStart(), s.result ? kNoPos : w.At(s.at));
        EXPECT_EQ(w.wnd.GetHighlightEnd(), s.result ? kNoPos : w.At(s.at + units));
    }
}

}  // namespace searchsteps
