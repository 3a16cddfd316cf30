// The string table's look-up and the splitting of its texts into description,
// title, shortcut and the fields of document-type strings.
#include "view/CommandIds.h"
#include "view/StringTable.h"

#include <gtest/gtest.h>

#include <set>

TEST(StringTableTest, SplitsCommandStrings)
{
    struct Case {
        int id;
        const char* description;
        const char* title;
        const char* shortcut;
    };
    const Case cases[] = {
        {cmd::FileOpen, "Open an existing document", "Open", ""},
        {cmd::FindNext, "Find the next occurance in the active document", "Find Next", "F3"},
        {cmd::FindPrevious, "Find the previous occurance in the active document", "Find Previous", "Shift F3"},
        // A name with a key tip: the key tip is the second part.
        {ids::ClipboardPanel, "Clipboard", "d", ""},
        // No line feed: the whole text is the description.
        {ids::OpenLabel, "&Open...", "", ""},
        // Every recent-file entry, both ends of the range, has the same text.
        {cmd::FileMruFirst, "Open this document", "", ""},
        {cmd::FileMruLast, "Open this document", "", ""},
        // Ids the program has no string for.
        {cmd::FileMruFirst - 1, "", "", ""},
        {cmd::FileMruLast + 1, "", "", ""},
        {cmd::ViewAutoHideRibbon, "", "", ""},
        {0, "", "", ""},
        {-1, "", "", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.id);
        EXPECT_EQ(StringDescription(c.id), c.description);
        EXPECT_EQ(StringTitle(c.id), c.title);
        EXPECT_EQ(StringShortcut(c.id), c.shortcut);
        EXPECT_EQ(LoadStringById(c.id).empty(), *c.description == '\0');
    }
}

TEST(StringTableTest, TextPartCountsEmptyFields)
{
    // A document-type string starts with an empty field (the window title).
    const std::string log = LoadStringById(res::LogDocument);
    EXPECT_EQ(TextPart(log, 0), "");
    EXPECT_EQ(TextPart(log, 1), "Ostrel File Viewer");
    EXPECT_EQ(TextPart(log, 4), ".log");
    EXPECT_EQ(TextPart(log, 6), "Ostrel Log File");
    EXPECT_EQ(TextPart(log, 7), "");

    EXPECT_EQ(TextPart("a\n\nc\n", 1), "");
    EXPECT_EQ(TextPart("a\n\nc\n", 2), "c");
    EXPECT_EQ(TextPart("a\n\nc\n", 3), "");
    EXPECT_EQ(TextPart("a\n\nc\n", 4), "");
    EXPECT_EQ(TextPart("abc", -1), "");
    EXPECT_EQ(TextPart(text::AppButton, 0), "");
    EXPECT_EQ(TextPart(text::AppButton, 1), "f");
}

TEST(StringTableTest, MenusHoldCommandsInOrder)
{
    const auto style = MenuItems(res::StyleMenu);
    ASSERT_EQ(style.size(), 4u);
    for (std::size_t i = 0; i < style.size(); ++i)
        EXPECT_EQ(style[i].id, cmd::AppLookOffice2007Blue + static_cast<int>(i));
    EXPECT_TRUE(MenuItems(res::AppButtonImage).empty());

    // Every menu item's command has a string, except the looks, whose menu texts are their only text.
    std::set<int> withoutString;
    for (int menu : {res::AboutMenu, res::EditContextMenu, res::ChangeCaseMenu, res::SwitchWindowsMenu}) {
        for (const MenuItemText& item : MenuItems(menu)) {
            if (StringTitle(item.id).empty())
                withoutString.insert(item.id);
        }
    }
    EXPECT_TRUE(withoutString.empty());
}
