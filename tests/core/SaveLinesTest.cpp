// Save Lines: chosen lines in the file's own encoding and breaks, a viewed
// file never written, and a failed write that leaves the target as it was.
#include "tests/core/TestUtil.h"
#include "textwnd/SaveLines.h"

#include <filesystem>
#include <sys/resource.h>

namespace {

using testutil::ReadFile;
using testutil::Window;
namespace fs = std::filesystem;

TEST(SaveLines, KeepsTheEncodingAndEachLinesBreak)
{
    const std::u16string lines[] = {u"first caf\u00E9", u"second", u"third", u"fourth"};
    const struct {
        const char* name;
        std::u16string breaks[4];
    } styles[] = {
        {"LF", {u"\n", u"\n", u"\n", u"\n"}},
        {"CR LF", {u"\r\n", u"\r\n", u"\r\n", u"\r\n"}},
        {"CR", {u"\r", u"\r", u"\r", u"\r"}},
        {"LF CR", {u"\n\r", u"\n\r", u"\n\r", u"\n\r"}},
        {"mixed, no break at the end", {u"\r\n", u"\r", u"\n", u""}},
        {"CR CR LF: a lone CR, then a pair", {u"\r", u"\r\r\n", u"\n", u"\n"}},
    };
    for (const std::int32_t encoding : testutil::kAllEncodings) {
        for (const auto& style : styles) {
            SCOPED_TRACE(std::string(EncodingName(encoding)) + ", " + style.name);
            std::u16string text;
            std::vector<std::size_t> starts;  // in characters
            for (int k = 0; k < 4; ++k) {
                starts.push_back(text.size());
                text += lines[k] + style.breaks[k];
            }
            Window w(testutil::FileBytes(text, encoding));
            ASSERT_TRUE(w.loaded);
            const auto at = [&](std::size_t chars) { return w.At(static_cast<std::int64_t>(chars)); };
            const std::string target = w.dir.File("saved.log");
            // Lines 1, 3 and 4; a second save replaces the first.
            std::u16string expected =
                lines[0] + style.breaks[0] + lines[2] + style.breaks[2] + lines[3] + style.breaks[3];
            if (style.breaks[1] == u"\r\r\n")
                expected = lines[0] + style.breaks[0] + u"\r\n" + lines[2] + style.breaks[2] + lines[3] +
                           style.breaks[3];  // the pair after the lone CR is a line of its own
            std::vector<TextPos> chosen = {at(starts[0]), at(starts[2]), at(starts[3])};
            if (style.breaks[1] == u"\r\r\n")
                chosen.insert(chosen.begin() + 1, at(starts[1] + lines[1].size() + 1));
            const std::vector<std::string> viewed = {w.Path()};
            for (int pass = 0; pass < 2; ++pass) {
                const savelines::CSaveOutcome saved =
                    savelines::SaveLines(w.wnd.Lines(), w.file->Handle(), savelines::LinesOf(chosen), target, viewed);
                ASSERT_EQ(saved.result, savelines::SaveResult::Saved) << saved.error;
                EXPECT_EQ(saved.lines, chosen.size());
                EXPECT_EQ(ReadFile(target), testutil::FileBytes(expected, encoding));
            }
            // A stretch (a selection) from inside line 2 to the start of line 4.
            const savelines::CSaveOutcome range =
                savelines::SaveRange(w.wnd.Lines(), w.file->Handle(), at(starts[3]), at(starts[1] + 2), target, viewed);
            ASSERT_EQ(range.result, savelines::SaveResult::Saved);
            EXPECT_EQ(ReadFile(target),
                      testutil::FileBytes(text.substr(starts[1] + 2, starts[3] - starts[1] - 2), encoding));
        }
    }
}

TEST(SaveLines, NeverWritesAViewedFile)
{
    Window w("one\ntwo\n");
    ASSERT_TRUE(w.loaded);
    const std::string other = w.dir.Write("other.log", "another viewed file\n");
    fs::create_symlink(w.Path(), w.dir.File("link.log"));
    fs::create_hard_link(other, w.dir.File("hard.log"));
    const std::vector<std::string> viewed = {other, w.Path()};
    for (const std::string& target :
         {w.Path(), w.dir.Path() + "/./text.log", w.dir.File("link.log"), w.dir.File("hard.log"), other}) {
        SCOPED_TRACE(target);
        const savelines::CSaveOutcome outcome =
            savelines::SaveLines(w.wnd.Lines(), w.file->Handle(), savelines::LinesOf({0}), target, viewed);
        EXPECT_EQ(outcome.result, savelines::SaveResult::ViewedFile);
    }
    EXPECT_EQ(ReadFile(w.Path()), "one\ntwo\n");
    EXPECT_EQ(ReadFile(other), "another viewed file\n");
    EXPECT_EQ(
        savelines::SaveLines(w.wnd.Lines(), w.file->Handle(), savelines::LinesOf({0}), w.dir.File("new.log"), viewed)
            .result,
        savelines::SaveResult::Saved);
}

// A write that the file system refuses half-way (a disk full, here a limit on the size of files) leaves the
// target as it was and no temporary file beside it.
TEST(SaveLines, AFullDiskLeavesTheTargetUntouched)
{
    const std::string text = testutil::Lines(0, 20000);
    Window w(text);
    ASSERT_TRUE(w.loaded);
    const std::string target = w.dir.Write("saved.log", "what was there before\n");
    std::vector<TextPos> all = {0};
    for (std::size_t i = 0; i + 1 < text.size(); ++i)
        if (text[i] == '\n')
            all.push_back(static_cast<TextPos>(i + 1));
    const pid_t pid = ::fork();
    if (pid == 0) {
        const rlimit limit{64 * 1024, 64 * 1024};
        ::setrlimit(RLIMIT_FSIZE, &limit);
        const savelines::CSaveOutcome outcome =
            savelines::SaveLines(w.wnd.Lines(), w.file->Handle(), savelines::LinesOf(all), target, {w.Path()});
        ::_exit(outcome.result == savelines::SaveResult::Failed && outcome.error == std::strerror(EFBIG) ? 0 : 1);
    }
    int status = -1;
    ::waitpid(pid, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    EXPECT_EQ(ReadFile(target), "what was there before\n");
    int files = 0;
    for (const auto& entry : fs::directory_iterator(w.dir.Path()))
        files += entry.is_regular_file() ? 1 : 0;
    EXPECT_EQ(files, 2);  // the viewed file and the target
}

}  // namespace
