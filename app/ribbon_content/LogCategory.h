// The "Log" category after "Options": one panel for each capability of the
// viewer that goes beyond a plain text viewer (Text, Search, Highlight, Go To,
// Follow, Records). Its elements carry command ids from the category's own range
// (view/CommandIds.h), its texts come from the string table, and every element
// has a key tip of its own within the category.
#pragma once

class CRibbonBar;

void AddLogCategory(CRibbonBar& bar);
