// A window's marks: kept by byte position through appends, cut by a
// truncation, gone with a replaced file; jumps between them go round.
#include "tests/core/TestUtil.h"
#include "textwnd/Marks.h"

#include <filesystem>

namespace {

using testutil::Window;

// Records what a store would be told.
struct RecordingSink : IMarkSink {
    std::vector<std::string> events;
    void OnMarkSet(const CMark& m) override { events.push_back("set " + std::to_string(m.pos) + " " + m.note); }
    void OnMarkRemoved(TextPos pos) override { events.push_back("removed " + std::to_string(pos)); }
    void OnMarksDroppedFrom(TextPos end) override { events.push_back("dropped " + std::to_string(end)); }
};

using testutil::Positions;

TEST(Marks, ListTogglesNotesAndGoesRound)
{
    CMarkList list;
    RecordingSink sink;
    list.SetSink(&sink);
    EXPECT_EQ(list.Next(0), kNoPos);
    EXPECT_TRUE(list.Toggle(30));
    EXPECT_TRUE(list.Toggle(10));
    EXPECT_TRUE(list.Toggle(20));
    EXPECT_FALSE(list.Toggle(20));
    EXPECT_TRUE(list.Toggle(20));
    EXPECT_FALSE(list.Add(20));
    EXPECT_EQ(Positions(list), (std::vector<TextPos>{10, 20, 30}));
    EXPECT_TRUE(list.SetNote(20, "  first line\r\nsecond\t"));
    EXPECT_EQ(*list.NoteOf(20), "first line  second");
    EXPECT_FALSE(list.SetNote(21, "no mark there"));
    EXPECT_EQ(list.NoteOf(21), nullptr);

    const struct {
        TextPos from;
        bool forward;
        TextPos to;
        bool wrapped;
    } jumps[] = {
        {0, true, 10, false},   {10, true, 20, false}, {15, true, 20, false},
        {30, true, 10, true},   {35, true, 10, true},  {30, false, 20, false},
        {25, false, 20, false}, {10, false, 30, true}, {0, false, 30, true},
    };
    for (const auto& j : jumps) {
        bool wrapped = !j.wrapped;
        EXPECT_EQ(j.forward ? list.Next(j.from, &wrapped) : list.Previous(j.from, &wrapped), j.to) << j.from;
        EXPECT_EQ(wrapped, j.wrapped) << j.from << (j.forward ? " forward" : " backward");
    }
    EXPECT_EQ(list.Between(10, 30), (std::vector<TextPos>{10, 20}));

    list.DropFrom(20);
    EXPECT_EQ(Positions(list), (std::vector<TextPos>{10}));
    list.DropFrom(20);  // nothing left there: nobody is told
    list.Load({{50, "kept"}, {40, ""}, {50, "twice"}, {-1, "bad"}});
    EXPECT_EQ(Positions(list), (std::vector<TextPos>{40, 50}));
    EXPECT_EQ(sink.events, (std::vector<std::string>{"set 30 ", "set 10 ", "set 20 ", "removed 20", "set 20 ",
                                                     "set 20 first line  second", "dropped 20"}));
}

// Marks hold their lines while the file grows, lose those a truncation cut, and the jump shows each as the top
// row, going on from a mark that the last screenful held back.
TEST(Marks, WindowKeepsPositionsThroughAppendsAndTruncation)
{
    Window w(testutil::Lines(0, 10), 4);
    ASSERT_TRUE(w.loaded);
    const TextPos line2 = w.At(14), line7 = w.At(49), line8 = w.At(56);
    EXPECT_TRUE(w.wnd.ToggleMark(line2 + 3));  // inside the line: its start is marked
    EXPECT_TRUE(w.wnd.ToggleMark(line7));
    EXPECT_TRUE(w.wnd.ToggleMark(line8));
    EXPECT_FALSE(w.wnd.ToggleMark(w.wnd.DataEnd()));  // past the last line: nothing
    EXPECT_EQ(Positions(w.wnd.Marks()), (std::vector<TextPos>{line2, line7, line8}));

    w.dir.Append("text.log", testutil::Lines(10, 20));
    w.wnd.LoadFile(nullptr, EncodingAuto);
    EXPECT_EQ(Positions(w.wnd.Marks()), (std::vector<TextPos>{line2, line7, line8}));

    w.wnd.OnKeyDown(kVkHome);
    EXPECT_EQ(w.wnd.GoToMark(true), CFileWnd::MarkJump::Shown);
    EXPECT_EQ(w.wnd.GetTop(), line2);
    EXPECT_EQ(w.wnd.GoToMark(true), CFileWnd::MarkJump::Shown);
    EXPECT_EQ(w.wnd.GetTop(), line7);
    EXPECT_EQ(w.wnd.GoToMark(false), CFileWnd::MarkJump::Shown);
    EXPECT_EQ(w.wnd.GetTop(), line2);
    EXPECT_EQ(w.wnd.GoToMark(false), CFileWnd::MarkJump::Wrapped);
    EXPECT_EQ(w.wnd.GetTop(), line8);

    // Cut inside line 7: line 8 goes, what is left of line 7 keeps its mark, and the store hears where.
    RecordingSink sink;
    w.wnd.Marks().SetSink(&sink);
    std::filesystem::resize_file(w.Path(), static_cast<std::uintmax_t>(line7 + 2));
    w.wnd.LoadFile(nullptr, EncodingAuto);
    EXPECT_EQ(Positions(w.wnd.Marks()), (std::vector<TextPos>{line2, line7}));
    EXPECT_EQ(sink.events, (std::vector<std::string>{"dropped " + std::to_string(line7 + 2)}));

    // At the end of a short file the last screenful holds the top back: the jumps still go from mark to mark.
    Window s(testutil::Lines(0, 6), 4);
    ASSERT_TRUE(s.loaded);
    for (int line : {3, 4, 5})
        s.wnd.Marks().Add(s.At(line * 7));
    s.wnd.OnKeyDown(kVkHome);
    for (int k = 0; k < 4; ++k)
        EXPECT_EQ(s.wnd.GoToMark(true), k == 3 ? CFileWnd::MarkJump::Wrapped : CFileWnd::MarkJump::Shown) << k;
    EXPECT_EQ(s.wnd.GetTop(), s.At(14));  // the last screenful, the first mark after going round lies on it

    w.wnd.Marks().SetSink(nullptr);
}

}  // namespace
