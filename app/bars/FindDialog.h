// The modeless Find dialog: find only (no replace, no whole-word option), a
// text of at most 80 characters, Match case, and the direction.
#pragma once

#include <QDialog>

class QCheckBox;
class QLineEdit;
class QPushButton;
class QRadioButton;

class CFindDialog : public QDialog {
    Q_OBJECT
public:
    static constexpr int kMaxTextLength = 80;

    explicit CFindDialog(QWidget* parent = nullptr);

    // The setters only show a state; they never ask for a search.
    void SetFindText(const QString& text);
    void SetMatchCase(bool matchCase);

signals:
    void findNext(const QString& text, bool matchCase, bool down);
    // The dialog is closing (Cancel, Escape or its close box). The owner
    // forgets it and deletes it later; it does not delete itself.
    void closing();

protected:
    void done(int result) override;

private:
    QLineEdit* m_pText;
    QCheckBox* m_pMatchCase;
    QRadioButton* m_pUp;
    QRadioButton* m_pDown;
    QPushButton* m_pFindNext;
};
