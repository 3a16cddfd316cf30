// Open Command: one command line, typed or chosen from the last ones run
// (kept in the settings, the newest first). The dialog only asks; the caller
// runs what it returns and keeps it in the history.
#pragma once

#include <QDialog>
#include <QStringList>

class QComboBox;
class QSettings;

class CCommandDialog : public QDialog {
    Q_OBJECT
public:
    static constexpr int kHistory = 10;
    static constexpr const char* kHistoryKey = "Log/CommandHistory";

    CCommandDialog(const QStringList& history, QWidget* parent);
    QString Command() const;
    QComboBox* Box() const { return m_pBox; }

    // The history with `command` put first (once), at most kHistory long.
    static QStringList WithNewest(QStringList history, const QString& command);
    static QStringList History(const QSettings& settings);

private:
    QComboBox* m_pBox;
};
