// System Journal: which part of the systemd journal a window shows. The boot
// (this one, the previous one, all), the units (all when none is named; the
// list of the journal's units is read when it is first opened, so that the
// dialog reads no journal until asked), the lowest priority, a first time as
// Go to Time takes it, and the folder of journal files (empty: the
// machine's journal). The dialog only asks; the caller opens the journal.
#pragma once

#include "platform/Journal.h"

#include <QComboBox>
#include <QDialog>

class QLabel;
class QLineEdit;

// A box whose list is filled when it is first opened.
class CUnitsBox : public QComboBox {
    Q_OBJECT
public:
    explicit CUnitsBox(QWidget* parent);
    void SetFolder(const QString& folder);
    void showPopup() override;

private:
    QString m_folder;
    bool m_bFilled = false;
};

class CJournalDialog : public QDialog {
    Q_OBJECT
public:
    CJournalDialog(const QString& folder, QWidget* parent);

    // What the dialog chose; false when Since is not a time Go to Time reads.
    bool Query(platform::JournalQuery& query) const;
    QString Since() const;
    QString Folder() const { return m_folder; }

    QComboBox* BootBox() const { return m_pBoot; }
    CUnitsBox* UnitsBox() const { return m_pUnits; }
    QComboBox* PriorityBox() const { return m_pPriority; }
    QLineEdit* SinceEdit() const { return m_pSince; }

    void accept() override;

private:
    void ShowFolder();

    QString m_folder;
    QComboBox* m_pBoot;
    CUnitsBox* m_pUnits;
    QComboBox* m_pPriority;
    QLineEdit* m_pSince;
    QLabel* m_pFolderLabel;
};
