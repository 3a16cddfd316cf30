// A view whose log has older parts beside it: the strip's offer and its action, Include Rotated Parts and the
// command line's request, the parts as one log (a compressed part read once the view reaches it), a current
// file that grows and one that is rotated while the set is shown; and a compressed file of a merge that turns
// out, once read, to have no times.
#include "FakeViewHost.h"
#include "file/TextFileDoc.h"
#include "tests/core/CompressUtil.h"
#include "tests/core/FollowUtil.h"
#include "tests/core/TestUtil.h"
#include "textwnd/MergedWnd.h"
#include "view/Profile.h"
#include "view/StringTable.h"
#include "view/TextFileView.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>

using followtest::PumpUntil;

namespace {

// Part p's lines ("p3 line 07"), as the file holds them; each is added to `rows` too.
std::string PartLines(const std::string& part, int count, std::vector<std::string>& rows)
{
    std::string text;
    for (int i = 0; i < count; ++i) {
        char b[48];
        std::snprintf(b, sizeof b, "%s line %02d", part.c_str(), i);
        rows.push_back(b);
        text += rows.back() + "\n";
    }
    return text;
}

class RotationViewTest : public followtest::WatchingTest {
protected:
    // app.log.3.gz, app.log.2, app.log.1 and app.log, 12 lines each; the oldest first in `all`.
    void SetUp() override
    {
        WatchingTest::SetUp();
        const std::vector<std::pair<std::string, std::string>> parts = {
            {"app.log.3.gz", "p3"}, {"app.log.2", "p2"}, {"app.log.1", "p1"}, {"app.log", "p0"}};
        for (const auto& [name, mark] : parts) {
            const std::string text = PartLines(mark, 12, m_all);
            m_dir.Write(name, name.ends_with(".gz") ? compresstest::Compress(Compression::Gzip, text) : text);
        }
        m_dir.Write("app.log.bak", "not a part\n");
    }

    struct Opened {
        CTextFileDoc doc;
        viewtest::FakeHost host;
        CMemoryProfile profile;
        std::unique_ptr<CTextFileView> view;
        Opened(const std::string& path, bool includeRotated, bool request, int rows = 10)
        {
            profile.WriteProfileInt(kIncludeRotatedSection, kIncludeRotatedEntry, includeRotated ? 1 : 0);
            EXPECT_TRUE(doc.OnOpenDocument(path.c_str()));
            doc.SetPathName(path.c_str());
            host.port.Resize(rows, 40);
            host.watch = true;
            view = std::make_unique<CTextFileView>(&doc, &host, nullptr, profile);
            EXPECT_TRUE(view->OnCreate());
            if (request)
                view->RequestRotationSet();
            platform::DrainPostedMessages();
        }
        CMergedWnd* Set() { return host.wnd->GetMerged(); }
        // Waits for `n` more size checks of the window's watcher.
        bool Checks(int n) { return followtest::WaitChecks(*host.wnd->GetWatcher(), n); }
        // The rows' text without the source column.
        std::vector<std::string> Text()
        {
            std::vector<std::string> rows = host.Rows();
            for (std::string& r : rows)
                r = r.size() > 2 ? r.substr(2) : std::string();
            return rows;
        }
    };

    // The compressed file `first` merged with times.log (the window's own) in `o`, once its text is read; null
    // when the merge cannot be opened or the file is not read in time.
    CMergedWnd* MergedOnceRead(Opened& o, const std::string& first)
    {
        auto owned = std::make_unique<CMergedWnd>(*o.host.wnd);
        CMergedWnd* merged = owned.get();
        std::vector<CMergedWnd::Failure> failures;
        if (!merged->Open({m_dir.File(first), m_dir.File("times.log")}, true, true, failures))
            return nullptr;
        o.host.wnd->SetMerged(std::move(owned));
        if (!PumpUntil([&] { return !merged->IsPending(0); }))
            return nullptr;
        platform::DrainPostedMessages();
        return merged;
    }

    std::vector<std::string> Slice(std::size_t from, std::size_t n) const
    {
        return {m_all.begin() + static_cast<std::ptrdiff_t>(from),
                m_all.begin() + static_cast<std::ptrdiff_t>(std::min(from + n, m_all.size()))};
    }

    testutil::TempDir m_dir;
    std::vector<std::string> m_all;
};

TEST_F(RotationViewTest, OfferedOnceOrShownAtOnceThenReadAsOneLog)
{
    const std::string offer = "Older parts of this log: 3 files. [" + std::string(text::RotatedPartsAction) + ":" +
                              std::to_string(cmd::ShowRotatedParts) + "]";
    struct Case {
        const char* what;
        bool includeRotated, request;
        bool offered;  // the strip offers the parts, and the set waits for its action
    };
    const std::vector<Case> cases = {
        {"offered in the strip, taken by its action", false, false, true},
        {"Include Rotated Parts on: shown at once", true, false, false},
        {"asked for on the command line: shown at once", false, true, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Opened o(m_dir.File("app.log"), c.includeRotated, c.request);
        ASSERT_TRUE(o.host.wnd->HasText());
        EXPECT_EQ(o.view->RotatedPartsFound(), 3);
        EXPECT_EQ(o.host.Said(offer), c.offered ? 1U : 0U);
        EXPECT_EQ(o.Set() == nullptr, c.offered);
        if (c.offered) {
            CCmdUI ui(cmd::ShowRotatedParts);
            ASSERT_TRUE(o.view->OnUpdateCommand(ui));
            EXPECT_TRUE(ui.m_bEnabled);
            ASSERT_TRUE(o.view->OnCommand(cmd::ShowRotatedParts));
        }
        ASSERT_NE(o.Set(), nullptr);
        EXPECT_TRUE(o.Set()->IsSequence());
        ASSERT_EQ(o.Set()->Count(), 4);
        EXPECT_EQ(o.Set()->PathOf(0), m_dir.File("app.log.3.gz"));
        // The end of the current part at once; the older parts wait, unopened, until the view reaches them.
        EXPECT_EQ(o.Text(), Slice(m_all.size() - 10, 10));
        EXPECT_EQ(o.Set()->Progress().waiting, 3);
        EXPECT_EQ(o.Set()->Progress().reading, -1);
        // Page Up goes on into the part before (opened as the step meets it); the one before that still waits.
        o.host.wnd->OnKeyDown(kVkPrior);
        EXPECT_EQ(o.Text(), Slice(m_all.size() - 18, 10));
        EXPECT_FALSE(o.Set()->IsPending(2));
        EXPECT_TRUE(o.Set()->IsPending(1));
        EXPECT_TRUE(o.Set()->IsPending(0));
        // Home reaches the other parts: the compressed one read in the background.
        o.host.wnd->OnKeyDown(kVkHome);
        ASSERT_TRUE(PumpUntil([&] { return !o.Set()->IsPending(0) && o.Text().front() == m_all.front(); }));
        EXPECT_EQ(o.Text(), Slice(0, 10));
        // Its progress was told in the strip while it was read.
        EXPECT_TRUE(std::any_of(o.host.strip.begin(), o.host.strip.end(), [](const std::string& m) {
            return m.starts_with("Decompressing the older part app.log.3.gz: ") && m.ends_with(" so far");
        }));
        // Page Down from Home goes through every part in turn.
        for (std::size_t top = 8; top + 10 <= m_all.size(); top += 8) {
            o.host.wnd->OnKeyDown(kVkNext);
            ASSERT_EQ(o.Text(), Slice(top, 10)) << top;
        }
        o.host.wnd->OnKeyDown(kVkEnd);
        EXPECT_EQ(o.Text(), Slice(m_all.size() - 10, 10));
        // Offered no more once shown.
        CCmdUI after(cmd::ShowRotatedParts);
        o.view->OnUpdateCommand(after);
        EXPECT_FALSE(after.m_bEnabled);
    }
}

// A window taller than every row it has: Home pressed before the compressed part is read stays Home once the
// part's rows come in above it, and the window shows every row from the oldest.
TEST_F(RotationViewTest, HomeBeforeThePartIsReadStaysHome)
{
    Opened o(m_dir.File("app.log"), true, false, 60);
    ASSERT_NE(o.Set(), nullptr);
    o.host.wnd->OnKeyDown(kVkHome);
    ASSERT_TRUE(PumpUntil([&] { return !o.Set()->IsPending(0); }));
    EXPECT_EQ(o.Text(), m_all);
}

// The thumb stands where the top is among all four parts (132 bytes of text each, the compressed one's read
// from its trailer), the parts not opened yet included, and dragging it opens the part it points into.
TEST_F(RotationViewTest, TheThumbIsScaledOverEveryPartOpenedOrNot)
{
    Opened o(m_dir.File("app.log"), true, false);
    ASSERT_NE(o.Set(), nullptr);
    const auto thumb = [&] { return static_cast<double>(o.host.port.m_vert.pos) / mergedwnd::kThumbScale; };
    EXPECT_EQ(thumb(), 1.0);
    o.host.wnd->OnKeyDown(kVkPrior);  // 8 rows back, into app.log.1: its 7th line
    ASSERT_EQ(o.Text().front(), "p1 line 06");
    EXPECT_NEAR(thumb(), 330.0 / 528, 1e-6);
    struct Step {
        double fraction;
        const char* top;
    };
    // The compressed part first, before anything else starts reading it: the top waits on the next part's
    // first row, and stays there once the part is read.
    for (const Step& s :
         {Step{0.1, "p2 line 00"}, Step{0.5, "p1 line 00"}, Step{0.3, "p2 line 02"}, Step{0.0, "p3 line 00"}}) {
        SCOPED_TRACE(s.fraction);
        o.host.port.m_trackPos = static_cast<std::int64_t>(s.fraction * mergedwnd::kThumbScale);
        o.host.wnd->OnVScroll(kSbThumbTrack);
        ASSERT_TRUE(PumpUntil([&] { return !o.Set()->IsPending(0) && !o.Text().empty(); }));
        platform::DrainPostedMessages();
        EXPECT_EQ(o.Text().front(), s.top);
    }
    EXPECT_EQ(thumb(), 0.0);
    o.host.port.m_trackPos = mergedwnd::kThumbScale / 4;
    o.host.wnd->OnVScroll(kSbThumbTrack);
    EXPECT_EQ(o.Text().front(), "p2 line 00");
    EXPECT_NEAR(thumb(), 0.25, 1e-6);
}

// A place in the compressed part (a session put back) waits for the part's text, and is the place a session
// keeps meanwhile; a move before the text is whole forgets it.
TEST_F(RotationViewTest, APlaceInACompressedPartWaitsForItsText)
{
    const std::string gz = m_dir.File("app.log.3.gz");
    for (const bool moved : {false, true}) {
        SCOPED_TRACE(moved ? "moved before the part is read" : "left alone");
        Opened o(m_dir.File("app.log"), true, false);
        ASSERT_NE(o.Set(), nullptr);
        platform::FileId id;
        ASSERT_TRUE(platform::GetFileId(gz, id));
        ASSERT_TRUE(o.Set()->ShowAtTop("renamed since", id, 5 * 11, 0));  // found by its identity
        const CWindowState kept = o.view->CaptureState();
        EXPECT_EQ(kept.topPath, gz);
        EXPECT_EQ(kept.top, 55);
        EXPECT_FALSE(kept.following);
        if (moved)
            o.host.wnd->OnKeyDown(kVkPrior);
        const std::vector<std::string> before = o.Text();
        ASSERT_TRUE(PumpUntil([&] { return !o.Set()->IsPending(0); }));
        platform::DrainPostedMessages();
        EXPECT_EQ(o.Text(), moved ? before : Slice(5, 10));
        EXPECT_EQ(o.view->CaptureState().topPath, moved ? m_dir.File("app.log.1") : gz);
    }
}

TEST_F(RotationViewTest, TheCurrentFileGrowsAndIsRotatedWhileShown)
{
    Opened o(m_dir.File("app.log"), true, false);
    ASSERT_NE(o.Set(), nullptr);
    // Made shorter (as a window manager places a new window): its last rows stay in sight, the thumb at the
    // bottom, and it still follows.
    o.host.port.Resize(7, 40);
    o.host.wnd->OnSize(40 * 8, 7 * 16);
    EXPECT_EQ(o.Text(), Slice(m_all.size() - 7, 7));
    EXPECT_TRUE(o.Set()->AtEnd());
    EXPECT_EQ(o.host.port.m_vert.pos, mergedwnd::kThumbScale);
    o.host.port.Resize(10, 40);
    o.host.wnd->OnSize(40 * 8, 10 * 16);
    // Grows: a window at the end stays there.
    m_dir.Append("app.log", "p0 line 12\np0 line 13\n");
    m_all.push_back("p0 line 12");
    m_all.push_back("p0 line 13");
    ASSERT_TRUE(PumpUntil([&] { return o.Text() == Slice(m_all.size() - 10, 10); }));
    // Rotated as logrotate numbers: every part one up, a new current file.
    namespace fs = std::filesystem;
    fs::rename(m_dir.File("app.log.3.gz"), m_dir.File("app.log.4.gz"));
    fs::rename(m_dir.File("app.log.2"), m_dir.File("app.log.3"));
    fs::rename(m_dir.File("app.log.1"), m_dir.File("app.log.2"));
    fs::rename(m_dir.File("app.log"), m_dir.File("app.log.1"));
    m_dir.Write("app.log", "n0 line 00\n");
    m_all.push_back("n0 line 00");
    ASSERT_TRUE(PumpUntil([&] { return o.Set() && o.Set()->Count() == 5 && o.Text().back() == "n0 line 00"; }));
    EXPECT_EQ(o.Set()->PathOf(4), m_dir.File("app.log"));
    EXPECT_EQ(o.Set()->PathOf(3), m_dir.File("app.log.1"));
    EXPECT_EQ(o.Text(), Slice(m_all.size() - 10, 10));
    // Rotated again while the window shows older rows: the same rows stay, their part under its new name.
    o.host.wnd->OnKeyDown(kVkPrior);
    o.host.wnd->OnKeyDown(kVkPrior);
    const std::vector<std::string> shown = o.Text();
    ASSERT_EQ(shown, Slice(m_all.size() - 26, 10));
    fs::rename(m_dir.File("app.log.4.gz"), m_dir.File("app.log.5.gz"));
    for (int k = 3; k >= 1; --k)
        fs::rename(m_dir.File("app.log." + std::to_string(k)), m_dir.File("app.log." + std::to_string(k + 1)));
    fs::rename(m_dir.File("app.log"), m_dir.File("app.log.1"));
    // The new current file is empty, as logrotate creates it: the set is kept until it has text.
    m_dir.Write("app.log", "");
    ASSERT_TRUE(o.Checks(5));
    EXPECT_EQ(o.Set()->Count(), 5);
    EXPECT_EQ(o.Text(), shown);
    m_dir.Write("app.log", "n1 line 00\n");
    m_all.push_back("n1 line 00");
    o.host.wnd->OnKeyDown(kVkUp);  // any move finds it anew
    ASSERT_EQ(o.Set()->Count(), 6);
    EXPECT_EQ(o.Text(), Slice(m_all.size() - 28, 10));
    o.host.wnd->OnKeyDown(kVkEnd);
    EXPECT_EQ(o.Text(), Slice(m_all.size() - 10, 10));
    // The new current file grows and is followed by its name.
    m_dir.Append("app.log", "n0 line 01\n");
    m_all.push_back("n0 line 01");
    ASSERT_TRUE(PumpUntil([&] { return o.Text() == Slice(m_all.size() - 10, 10); }));
}

// Rotated by copy and truncation (logrotate's copytruncate): the current file is cut and its text is a new
// older part; the set is found anew, at its end, once the cut file has text again.
TEST_F(RotationViewTest, ACopyAndTruncateRotationFindsTheSetAnew)
{
    Opened o(m_dir.File("app.log"), true, false);
    ASSERT_NE(o.Set(), nullptr);
    namespace fs = std::filesystem;
    fs::rename(m_dir.File("app.log.3.gz"), m_dir.File("app.log.4.gz"));
    fs::rename(m_dir.File("app.log.2"), m_dir.File("app.log.3"));
    fs::rename(m_dir.File("app.log.1"), m_dir.File("app.log.2"));
    fs::copy_file(m_dir.File("app.log"), m_dir.File("app.log.1"));
    fs::resize_file(m_dir.File("app.log"), 0);
    m_dir.Append("app.log", "c0 line 00\nc0 line 01\n");
    m_all.push_back("c0 line 00");
    m_all.push_back("c0 line 01");
    ASSERT_TRUE(
        PumpUntil([&] { return o.Set() && o.Set()->Count() == 5 && o.Text() == Slice(m_all.size() - 10, 10); }));
    EXPECT_EQ(o.Set()->PathOf(3), m_dir.File("app.log.1"));
}

TEST_F(RotationViewTest, ALogWithoutPartsIsNeitherOfferedNorMerged)
{
    for (const char* name : {"alone.log", "app.log.bak"}) {
        SCOPED_TRACE(name);
        if (std::string(name) == "alone.log")
            m_dir.Write(name, "one\ntwo\n");
        Opened o(m_dir.File(name), true, true);
        EXPECT_EQ(o.view->RotatedPartsFound(), 0);
        EXPECT_EQ(o.Set(), nullptr);
        EXPECT_TRUE(o.host.strip.empty());
    }
}

TEST_F(RotationViewTest, ACompressedFileOfAMergeFoundWithoutTimesLeavesItWithAWarning)
{
    m_dir.Write("times.log", "2026-12-07 06:00:00.000Z INFO a1\n2026-12-07 06:00:03.000Z INFO a2\n");
    m_dir.Write("plain.txt.gz", compresstest::Compress(Compression::Gzip, "no time here\nnor here\n"));
    Opened o(m_dir.File("times.log"), false, false);
    CMergedWnd* merged = MergedOnceRead(o, "plain.txt.gz");
    ASSERT_TRUE(merged);
    EXPECT_TRUE(merged->IsHidden(0));
    EXPECT_FALSE(merged->IsHidden(1));
    const std::string warning = m_dir.File("plain.txt.gz") + ": " + text::MergeNoFormat;
    const auto said = std::find(o.host.strip.begin(), o.host.strip.end(), warning);
    ASSERT_NE(said, o.host.strip.end());
    EXPECT_EQ(o.host.stripKinds[static_cast<std::size_t>(said - o.host.strip.begin())], ViewMessageKind::Warning);
    EXPECT_EQ(o.host.Said(warning), 1U);  // told once
    const std::vector<std::string> rows = o.host.Rows();
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_NE(rows[0].find("a1"), std::string::npos);
    EXPECT_NE(rows[1].find("a2"), std::string::npos);
}

// A merge opens at its first row: a compressed file that joins once it is read, with the earliest records,
// comes in above what was first, as the new first row (not above the top, out of sight).
TEST_F(RotationViewTest, AMergeOpenedAtItsFirstRowKeepsItWhenACompressedFileJoins)
{
    m_dir.Write("times.log", "2026-12-07 06:00:00.500Z INFO a1\n2026-12-07 06:00:03.000Z INFO a2\n");
    std::string early;
    for (int i = 0; i < 20000; ++i)  // long enough to be read after the merge opens
        early += "2026-12-07 06:00:00.000Z INFO z" + std::to_string(i) + "\n";
    m_dir.Write("early.log.gz", compresstest::Compress(Compression::Gzip, early));
    Opened o(m_dir.File("times.log"), false, false);
    ASSERT_TRUE(MergedOnceRead(o, "early.log.gz"));
    const std::vector<std::string> rows = o.host.Rows();
    ASSERT_FALSE(rows.empty());
    EXPECT_NE(rows[0].find("INFO z0"), std::string::npos) << rows[0];
}

}  // namespace
