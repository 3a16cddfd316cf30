// The pane at the right of the main frame that edits the filter stack of the
// active window: its rules (on, Include or Exclude, text, regular expression,
// case, and how many lines each matches as the scan finds them), the lowest
// level, the time range, the context lines and whether a record must match any
// or all Include rules, over the count of lines shown.
//
// Decisions worth knowing:
// - An edit applies by itself once the user has paused for kApplyDelayMs: a
//   scan per keystroke would restart the background scan for nothing.
// - The first rule given to a window without rules also turns its Show Only
//   Filtered on: adding a rule means the user wants the lines hidden.
// - A time the editor cannot read is not applied; the field turns red and the
//   pane says why, the rest of the stack applying as before.
// - The pane follows the active window: another window activated shows that
//   window's stack, and a pending edit goes to the window it was made in first.
// - Stacks are kept by name in the settings file, in the array `FilterStacks`;
//   without a settings object they last for the run.
#pragma once

#include "engine/FilterStack.h"

#include <QPointer>
#include <QString>
#include <QWidget>

#include <string>
#include <utility>
#include <vector>

class CFileWnd;
class CTextFileViewWidget;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSettings;
class QSpinBox;
class QTableWidget;
class QTimer;
class QToolButton;

// A named stack as the settings file keeps it.
struct NamedFilterStack {
    std::string name;
    shownset::FilterStack stack;
};
// The kept stacks, in the order they were first saved; empty without settings.
std::vector<NamedFilterStack> LoadFilterStacks(QSettings& settings);
// Keeps `stack` under `name`, in place of a stack of that name (compared exactly), else after the others.
void SaveFilterStack(QSettings& settings, const NamedFilterStack& stack);

class CFilterStackEditor : public QWidget {
    Q_OBJECT
public:
    static constexpr int kApplyDelayMs = 200;
    // The columns of the rules' list.
    enum Column { ColOn, ColKind, ColText, ColRegex, ColCase, ColCount, ColumnCount };

    // `settings` keeps the named stacks (null: in memory for the run).
    explicit CFilterStackEditor(QSettings* settings, QWidget* parent = nullptr);

    // The window whose stack the pane shows and edits (null: none, the pane is disabled). A pending edit of the
    // window shown before is applied to it first.
    void SetViewWidget(CTextFileViewWidget* widget);
    CFileWnd* Window() const;
    // Shows what the window's scan found: each rule's count or its error, and the lines shown.
    void RefreshStatus();
    // The stack the controls describe; false (with `error`) when a time cannot be read.
    bool StackOfControls(shownset::FilterStack& stack, std::string& error) const;
    // Applies the pending edit now (the timer's end); nothing pending: nothing happens.
    void ApplyNow();
    bool IsApplyPending() const;

    // Wide enough that every column of the rules' list shows beside some of the text: the count last of all,
    // which a narrower pane would push past the right edge.
    QSize sizeHint() const override;

    QTableWidget* Rules() const { return m_pRules; }
    QLabel* Total() const { return m_pTotal; }
    QLabel* Problem() const { return m_pProblem; }

signals:
    // "Filter All Windows": the window's stack (a pending edit applied first) over its whole tab group.
    void filterAllWindowsAsked();

private:
    void ShowStack(const shownset::FilterStack& stack);
    // The time fields from `stack`, and the range they show remembered.
    void ShowTimeRange(const shownset::FilterStack& stack);
    // Shows the window's time range when it changed since the pane last showed or applied one.
    void FollowTimeRange();
    void AddRuleRow(const shownset::FilterRule& rule);
    shownset::FilterRule RuleOfRow(int row) const;
    void MoveRow(int step);
    void Edited();
    void SaveAs();
    void FillLoadMenu();
    void Load(const NamedFilterStack& named);
    void ApplyStack(const shownset::FilterStack& stack);

    QSettings* m_pSettings;
    std::vector<NamedFilterStack> m_memoryStacks;  // without settings
    QPointer<CTextFileViewWidget> m_pWidget;
    bool m_bShowing = false;  // the controls are being filled: no edit to apply
    QTableWidget* m_pRules = nullptr;
    QPushButton* m_pAdd = nullptr;
    QPushButton* m_pRemove = nullptr;
    QPushButton* m_pUp = nullptr;
    QPushButton* m_pDown = nullptr;
    QComboBox* m_pLevel = nullptr;
    QLineEdit* m_pFrom = nullptr;
    QLineEdit* m_pTo = nullptr;
    QSpinBox* m_pContext = nullptr;
    QComboBox* m_pCombine = nullptr;
    QLabel* m_pTotal = nullptr;
    QLabel* m_pProblem = nullptr;
    QPushButton* m_pSaveAs = nullptr;
    QToolButton* m_pLoad = nullptr;
    QPushButton* m_pAllWindows = nullptr;
    QTimer* m_pApplyTimer = nullptr;
    int m_nKindWidth = 0;  // of a rule's Include/Exclude box
    struct TimeRange {
        bool hasFrom = false, hasTo = false;
        std::int64_t from = 0, to = 0;
        bool operator==(const TimeRange&) const = default;
    };
    TimeRange m_shownRange;  // what the time fields last showed or applied
};
