// The main window: one tab per open file, each a text window on the file's
// document. It will grow into the full shell (ribbon, status bar, tab groups).
#pragma once

#include <QMainWindow>

#include <memory>
#include <vector>

class CFileWndWidget;
class CTextFileDoc;
class QTabWidget;

class CMainWindow : public QMainWindow {
    Q_OBJECT
public:
    explicit CMainWindow(QWidget* parent = nullptr);
    ~CMainWindow() override;

    // Opens `path` read-only in a new tab with the built-in display settings.
    // A file that cannot be opened, or whose load is refused (UTF-32, a
    // cancelled encoding prompt), leaves no tab: false.
    bool OpenFile(const QByteArray& path);

    QTabWidget* Tabs() const { return m_pTabs; }
    CFileWndWidget* FileWindow(int index) const;

private:
    void CloseTab(int index);

    struct OpenDocument {
        CFileWndWidget* widget;  // owned by the tab widget
        std::unique_ptr<CTextFileDoc> doc;
    };
    // A document outlives its window: the window reads its mapping to the end.
    std::vector<OpenDocument> m_docs;
    QTabWidget* m_pTabs;
};
