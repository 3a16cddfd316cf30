// A view whose file's name comes to name another file (log rotation), with
// Follow Name on and off, driven by a writer process.
#include "FakeViewHost.h"
#include "file/TextFileDoc.h"
#include "tests/core/FollowUtil.h"
#include "tests/core/TestUtil.h"
#include "view/Profile.h"
#include "view/StringTable.h"
#include "view/TextFileView.h"

#include <filesystem>

using followtest::PumpUntil;
using followtest::WriterProcess;
using testutil::Lines;
using testutil::ScreenOf;

namespace {

using Screen = std::vector<std::string>;

class FollowNameTest : public followtest::WatchingTest {
protected:
    void TearDown() override
    {
        CTextFileDoc::SetFollowName(false);
        WatchingTest::TearDown();
    }

    // One document with two following views of 10 rows (a second window
    // of the document sees what the first one does).
    struct Opened {
        CTextFileDoc doc;
        viewtest::FakeHost host, otherHost;
        CMemoryProfile profile;
        std::unique_ptr<CTextFileView> view, other;
        explicit Opened(const std::string& path)
        {
            EXPECT_TRUE(doc.OnOpenDocument(path.c_str()));
            for (auto [h, v] : {std::pair{&host, &view}, std::pair{&otherHost, &other}}) {
                h->port.Resize(10, 40);
                h->watch = true;
                *v = std::make_unique<CTextFileView>(&doc, h, nullptr, profile);
                EXPECT_TRUE((*v)->OnCreate());
            }
            platform::DrainPostedMessages();
        }
        // Waits for `n` more size checks of the window's watcher.
        bool Checks(int n) { return followtest::WaitChecks(*host.wnd->GetWatcher(), n); }
    };

    testutil::TempDir m_dir;
};

const std::string kOffer =
    std::string(text::NameNamesAnotherFile) + " [" + text::ReopenAction + ":" + std::to_string(cmd::ReopenFile) + "]";

TEST_F(FollowNameTest, RotationsSwitchWithFollowNameAndAreOfferedWithout)
{
    enum Rotation { Rename, Delete, Link };
    const struct {
        Rotation rotation;
        bool gap;  // the name names nothing for a while before the new file comes
    } kCases[] = {{Rename, false}, {Rename, true}, {Delete, false}, {Delete, true}, {Link, false}};
    for (const bool follow : {true, false}) {
        for (const auto& c : kCases) {
            SCOPED_TRACE(std::to_string(c.rotation) + (c.gap ? " with a gap" : "") + (follow ? " following" : ""));
            CTextFileDoc::SetFollowName(follow);
            const std::string target = m_dir.Write("a.log", Lines(0, 50));
            std::string name = target;
            if (c.rotation == Link) {
                name = m_dir.File("current.log");
                std::filesystem::remove(name);
                std::filesystem::create_symlink(target, name);
            }
            Opened o(name);
            ASSERT_EQ(o.host.Rows(), ScreenOf(40, 50));
            WriterProcess writer(name);
            if (c.rotation == Link) {
                m_dir.Write("b.log", "NEW 1\n");
                ASSERT_TRUE(writer.Do("link " + m_dir.File("b.log")));
            } else {
                ASSERT_TRUE(writer.Do(c.rotation == Rename ? "rename " + m_dir.File("a.log.1") : "delete"));
            }
            if (c.gap) {
                ASSERT_TRUE(o.Checks(3));
                EXPECT_EQ(o.host.Rows(), ScreenOf(40, 50)) << "the name names nothing: the old text stays";
                EXPECT_TRUE(o.host.strip.empty());
            }
            if (c.rotation != Link) {
                ASSERT_TRUE(writer.Do("create NEW 1\\n"));
            }
            if (follow) {
                ASSERT_TRUE(PumpUntil([&] { return o.host.Rows() == Screen{"NEW 1"}; }));
                EXPECT_EQ(o.host.strip, Screen{text::FileReopened});
                ASSERT_TRUE(PumpUntil([&] { return o.otherHost.Rows() == Screen{"NEW 1"}; }));
                ASSERT_TRUE(o.Checks(3));
                EXPECT_EQ(o.otherHost.strip, Screen{text::FileReopened}) << "every window, once";
                EXPECT_EQ(o.host.strip.size(), 1u);
                // The new file is followed through the document's descriptor.
                if (c.rotation == Link) {
                    ASSERT_TRUE(writer.Do("reopen"));
                }
                ASSERT_TRUE(writer.Do("append NEW 2\\n"));
                EXPECT_TRUE(PumpUntil([&] { return o.host.Rows() == Screen{"NEW 1", "NEW 2"}; }));
            } else {
                ASSERT_TRUE(PumpUntil([&] { return !o.host.strip.empty(); }));
                ASSERT_TRUE(o.Checks(3));
                EXPECT_EQ(o.host.strip, Screen{kOffer}) << "said once";
                EXPECT_EQ(o.host.Rows(), ScreenOf(40, 50));
                CCmdUI ui(cmd::ReopenFile);
                ASSERT_TRUE(o.view->OnUpdateCommand(ui));
                EXPECT_TRUE(ui.m_bEnabled);
                // The strip's action: the view takes the new file.
                EXPECT_EQ(o.otherHost.strip, Screen{kOffer});
                ASSERT_TRUE(o.view->OnCommand(cmd::ReopenFile));
                EXPECT_EQ(o.host.Rows(), Screen{"NEW 1"});
                EXPECT_EQ(o.host.strip.back(), text::FileReopened);
                ASSERT_TRUE(PumpUntil([&] { return o.otherHost.strip.back() == text::FileReopened; }));
                EXPECT_EQ(o.otherHost.Rows(), Screen{"NEW 1"});
                platform::DrainPostedMessages();
                EXPECT_EQ(o.host.strip.size(), 2u) << "the window that reopened says it once";
                ui = CCmdUI(cmd::ReopenFile);
                ASSERT_TRUE(o.view->OnUpdateCommand(ui));
                EXPECT_FALSE(ui.m_bEnabled) << "the name names the open file again";
            }
            EXPECT_EQ(o.doc.GetPathName(), name) << "the same record and path";
            std::filesystem::remove(m_dir.File("a.log.1"));
        }
    }
}

// Copy-and-truncate rotation keeps the same file: no switch, nothing said.
TEST_F(FollowNameTest, CopyAndTruncateStaysOnTheSameFile)
{
    CTextFileDoc::SetFollowName(true);
    Opened o(m_dir.Write("c.log", Lines(0, 50)));
    WriterProcess writer(m_dir.File("c.log"));
    ASSERT_TRUE(writer.Do("truncate 0"));
    ASSERT_TRUE(writer.Do("append fresh\\n"));
    ASSERT_TRUE(PumpUntil([&] { return o.host.Rows() == Screen{"fresh"}; }));
    ASSERT_TRUE(o.Checks(3));
    EXPECT_TRUE(o.host.strip.empty());
}

}  // namespace
