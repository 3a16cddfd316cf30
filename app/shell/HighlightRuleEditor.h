// The highlight rule editor: the list of rules (add, remove, move up and
// down, a check box each to enable it; a rule whose pattern does not compile
// is marked and says why), the chosen rule's name, pattern and options, its
// two colours with the ribbon's own colour pickers, whether it colours the
// line or the match, alert and stop, and a live preview of all rules on a
// line of the active window in that window's colours. "Add Log Levels"
// copies the built-in set into the list. Nothing is kept before OK.
#pragma once

#include "engine/HighlightRules.h"

#include <QDialog>

#include <vector>

class CFileWnd;
class CRibbonColorButton;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;

class CHighlightRuleEditor : public QDialog {
    Q_OBJECT
public:
    // `wnd`: the active window, whose top line and colours the preview uses (null: a sample line, black on white).
    // `after`: the rules in force after the user's (the built-in set when it is on), for the preview only.
    CHighlightRuleEditor(QWidget* parent, std::vector<HighlightRule> rules, CFileWnd* wnd,
                         std::vector<HighlightRule> after = {});

    const std::vector<HighlightRule>& Rules() const { return m_rules; }
    // The preview's line, as rich text (tests read it).
    QString PreviewHtml() const;

private:
    void BuildForm();
    void Refill(int select);
    void ShowRule(int index);
    // The form's fields into the selected rule, then the list's marks and the preview.
    void TakeForm();
    void UpdateMarks();
    void UpdatePreview();
    void Move(int step);
    int Current() const;

    std::vector<HighlightRule> m_rules;
    std::vector<HighlightRule> m_after;
    QString m_line;  // the preview's text
    platform::COLORREF m_crText, m_crPage;
    bool m_bFilling = false;  // the form is being filled from a rule: its changes are no edits

    QListWidget* m_pList;
    QPushButton *m_pAdd, *m_pRemove, *m_pUp, *m_pDown, *m_pLogLevels;
    QLineEdit *m_pName, *m_pPattern;
    QCheckBox *m_pRegex, *m_pCase, *m_pTextOn, *m_pBackOn, *m_pAlert, *m_pStop;
    QComboBox* m_pScope;
    CRibbonColorButton *m_pText, *m_pBack;
    QLabel* m_pError;
    QLabel* m_pPreview;
};
