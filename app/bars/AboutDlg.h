// The About box: the product name with its version, the program's picture
// and two link texts (the website and the support mail), laid out in dialog
// units of its font so that it keeps its proportions at any font size and scale.
#pragma once

#include <QDialog>

class CAboutDlg : public QDialog {
    Q_OBJECT
public:
    // `version` fills the "%s" of the version label (six digits, yymmdd).
    explicit CAboutDlg(const QString& version, QWidget* parent = nullptr);

    // A dialog-unit rectangle in pixels of this dialog's font.
    QRect MapDialogRect(int x, int y, int cx, int cy) const;

private:
    void OpenLink(const QString& address);
};
