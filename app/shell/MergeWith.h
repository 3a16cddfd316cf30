// "Merge With..." on a tab's context menu: the window's files and those of other open windows, chosen in a
// list, in one new merged window.
#pragma once

class QMenu;
class QWidget;
class CTextFileViewerApp;
class CTextFileViewerChildFrame;

void AddMergeWithAction(QMenu& menu, CTextFileViewerChildFrame* frame, CTextFileViewerApp& app, QWidget* parent);
