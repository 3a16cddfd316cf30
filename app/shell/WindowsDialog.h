// The windows dialog (Switch Windows): every child window in window order,
// titled as its tab, the active one selected. Activate (or a double click)
// brings the chosen window forward; Close Window closes it and leaves the
// dialog open on the others.
#pragma once

#include <QDialog>

class CTextFileViewerMainFrame;
class QListWidget;
class QPushButton;

class CWindowsDialog : public QDialog {
    Q_OBJECT
public:
    explicit CWindowsDialog(CTextFileViewerMainFrame* frame);

    QListWidget* List() const { return m_pList; }

private:
    void Fill();
    QWidget* Selected() const;
    void ActivateSelected();
    void CloseSelected();

    CTextFileViewerMainFrame* m_pFrame;
    QListWidget* m_pList;
    QPushButton* m_pActivate;
    QPushButton* m_pClose;
};
