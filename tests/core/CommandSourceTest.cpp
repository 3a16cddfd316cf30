// A command line's output as a document: what it writes to standard output
// and standard error in the order it arrives, its status when it ends, its
// process group ended with the document (also a group that ignores SIGTERM),
// and a run made again in place of the last.
#include "FakeViewHost.h"
#include "file/TextFileDoc.h"
#include "tests/core/FollowUtil.h"
#include "tests/core/TestUtil.h"
#include "view/CommandIds.h"
#include "view/StringTable.h"

#include <algorithm>
#include <csignal>
#include <fstream>

using followtest::PumpUntil;
using viewtest::TextOf;
using State = CStreamSource::State;

namespace {

bool Ended(CTextFileDoc& doc)
{
    const bool ended = PumpUntil([&] {
        doc.IsReadyToShow();  // maps what was read
        return doc.GetSource()->GetProgress().state != State::Running;
    });
    doc.IsReadyToShow();  // what came between the last mapping and the end
    return ended;
}

// Whether the process is gone: no longer there, or a zombie that only waits for its parent (here, init).
bool Gone(int pid)
{
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string line;
    if (!std::getline(stat, line))
        return true;
    const std::size_t close = line.rfind(')');
    return close != std::string::npos && close + 2 < line.size() && line[close + 2] == 'Z';
}

TEST(CommandSource, OutputAndErrorsInOrderThenTheStatus)
{
    const struct {
        const char* name;
        const char* command;
        std::string text;
        int status;
    } cases[] = {
        {"both streams, in the order written", "echo out 1; sleep 0.1; echo err 2 >&2; sleep 0.1; echo out 3",
         "out 1\nerr 2\nout 3\n", 0},
        {"an exit status", "echo failing; exit 3", "failing\n", 3},
        {"ended by a signal", "echo killed; kill -TERM $$", "killed\n", 128 + SIGTERM},
        {"standard input is closed", "cat; echo after $?", "", -1},
        {"percent signs are the command's own", "printf '%s\\n' 100%s", "100%s\n", 0},
    };
    for (const auto& c : cases) {
        CTextFileDoc doc;
        std::string error;
        ASSERT_TRUE(doc.OnOpenCommand(c.command, error)) << c.name << ": " << error;
        EXPECT_TRUE(doc.IsCommand());
        EXPECT_EQ(doc.GetPathName(), std::string(CTextFileDoc::kCommandPrefix) + c.command);
        ASSERT_TRUE(Ended(doc)) << c.name;
        int status = -2;
        ASSERT_TRUE(doc.CommandEnded(status, 2000)) << c.name;
        if (c.status >= 0) {
            EXPECT_EQ(TextOf(doc), c.text) << c.name;
            EXPECT_EQ(status, c.status) << c.name;
        } else {
            // cat fails at once on a closed descriptor: the command is not left waiting for input.
            EXPECT_NE(TextOf(doc).find("after 1"), std::string::npos) << c.name << ": " << TextOf(doc);
        }
        int again = -2;
        EXPECT_TRUE(doc.CommandEnded(again)) << c.name;
        EXPECT_EQ(again, status) << c.name;
    }
}

TEST(CommandSource, ClosingEndsTheWholeGroup)
{
    const struct {
        const char* name;
        const char* command;
        int withinMs;  // SIGTERM at once; SIGKILL after 2 s for a group that ignores it
    } cases[] = {
        {"a child in the background", "sleep 30 & echo $!; wait", 1000},
        {"a group that ignores SIGTERM", "trap '' TERM; sleep 30 & echo $!; wait", 4000},
    };
    for (const auto& c : cases) {
        int child = 0;
        {
            CTextFileDoc doc;
            std::string error;
            ASSERT_TRUE(doc.OnOpenCommand(c.command, error)) << error;
            ASSERT_TRUE(PumpUntil([&] {
                doc.IsReadyToShow();
                return TextOf(doc).find('\n') != std::string::npos;
            })) << c.name;
            child = std::stoi(TextOf(doc));
            ASSERT_GT(child, 0);
            EXPECT_FALSE(Gone(child)) << c.name;
        }
        EXPECT_TRUE(PumpUntil([&] { return Gone(child); }, c.withinMs))
            << c.name << ": process " << child << " outlived its window";
        if (!Gone(child))
            ::kill(child, SIGKILL);
    }
}

class CommandSourceView : public followtest::WatchingTest {};

TEST_F(CommandSourceView, RunAgainFromTheStripReplacesTheText)
{
    testutil::TempDir dir;
    const std::string counter = dir.Path() + "/runs";
    CTextFileDoc doc;
    std::string error;
    const std::string command = "echo run >> '" + counter + "'; wc -l < '" + counter + "'";
    ASSERT_TRUE(doc.OnOpenCommand(command, error)) << error;
    viewtest::HostedView hosted(doc, 5, 40);
    viewtest::FakeHost& host = hosted.host;
    CTextFileView& view = *hosted.view;
    // The end is said with its status, and offers to run the command again.
    const std::string ended =
        "The command ended with status 0. [Run Again:" + std::to_string(cmd::RunCommandAgain) + "]";
    ASSERT_TRUE(PumpUntil([&] { return host.Said(ended) == 1; }));
    ASSERT_TRUE(PumpUntil([&] { return view.IsLoaded() && host.Rows() == std::vector<std::string>{"1"}; }));
    ASSERT_TRUE(view.OnCommand(cmd::RunCommandAgain));
    ASSERT_TRUE(PumpUntil([&] { return host.Rows() == std::vector<std::string>{"2"}; }));
    ASSERT_TRUE(PumpUntil([&] { return host.Said(ended) == 2; }));
    EXPECT_EQ(host.Said(text::CommandRunsAgain), 1U);
    EXPECT_EQ(doc.ReplaceCount(), 1U);
}

}  // namespace
