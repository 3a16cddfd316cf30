// How the ribbon's content turns the string table into elements: labels with
// their key tips ("label\nkeytip"), tooltips of commands (description under
// title), and panels named with their key tips. Shared by the files that build
// the categories.
#pragma once

#include <QIcon>
#include <QString>

#include <string_view>

class CRibbonCategory;
class CRibbonElement;
class CRibbonPanel;

namespace content {

QString Utf8(std::string_view text);
QString LabelOf(std::string_view text);   // part 0 of "label\nkeytip"
QString KeyTipOf(std::string_view text);  // part 1
QString StringLabel(int id);              // the whole string of the id
// The tooltip of a command's element: the title of its string over its description.
void SetCommandToolTip(CRibbonElement* element, int id);
CRibbonPanel* AddPanel(CRibbonCategory* category, std::string_view name, const QIcon& icon);

}  // namespace content
