// The application menu: a pop-up with a column of large entries and
// separators, a pane of recent files at its right (with commands of its own
// under the files), and a row of buttons at its bottom (Exit). Arrow keys
// move between the entries, Escape closes it.
#pragma once

#include "app/ribbon/RibbonPopup.h"

class CRibbonButton;
class CRibbonElement;
class QVBoxLayout;
class QHBoxLayout;

struct CRibbonRecentFile {
    QString name;         // shown after its number: "1 name"
    QString path;         // the tooltip's title
    QString description;  // under it
};

class CRibbonMainPanel : public CRibbonPopup {
    Q_OBJECT
public:
    explicit CRibbonMainPanel(QWidget* owner);

    // An entry of the left column (its tooltip is set on the returned button).
    CRibbonButton* Add(int nID, const QString& label, const QIcon& large, const QIcon& small = {});
    void AddSeparator();
    // The recent-files pane, `nWidth` pixels wide. With `nFirstID`, the n-th
    // entry also issues the command nFirstID + n.
    void AddRecentFilesList(const QString& title, int nWidth, int nFirstID = 0);
    void SetRecentFiles(const QList<CRibbonRecentFile>& files);
    int GetRecentFileCount() const { return static_cast<int>(m_recent.size()); }
    CRibbonButton* GetRecentFileEntry(int nIndex) const { return m_recent.value(nIndex); }
    // An element under the recent files, below a line, in the order added (a button or a check box); the pane
    // takes it. A button closes the menu when clicked; a check box leaves it open to show its new state.
    void AddUnderRecentFiles(CRibbonElement* element);
    QList<CRibbonElement*> GetUnderRecentFiles() const { return m_underRecent; }
    // A button in the bottom row, right-aligned, in the order added.
    CRibbonButton* AddToBottom(int nID, const QString& label, const QIcon& small);

    // The left column in order, null standing for a separator.
    QList<CRibbonButton*> GetColumn() const;
    QList<CRibbonButton*> GetBottomButtons() const { return m_bottomButtons; }
    // The recent-files pane (its accessible name is its title), or null.
    QWidget* GetRecentFilesPane() const { return m_pRecentPane; }

    // Shows the menu under `anchor` with the first entry focused.
    void Open(QWidget* anchor);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    QList<CRibbonElement*> FocusColumn(QWidget* focused) const;

    QVBoxLayout* m_pLeft;
    QWidget* m_pRecentPane = nullptr;
    QVBoxLayout* m_pRecentLayout = nullptr;
    QWidget* m_pRecentTitle = nullptr;
    QString m_recentTitle;
    QHBoxLayout* m_pBottom;
    QWidget* m_pTop;
    QList<CRibbonButton*> m_entries;
    QList<CRibbonButton*> m_recent;
    QList<CRibbonElement*> m_underRecent;
    QWidget* m_pUnderRecentLine = nullptr;
    QList<CRibbonButton*> m_bottomButtons;
    QList<QWidget*> m_separators;
    int m_nFirstRecentID = 0;
};
