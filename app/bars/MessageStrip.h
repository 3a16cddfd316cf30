// A thin strip at the top of a text window that tells what happened to that
// window's file or search: an invalid pattern, following stopped by a rule, a
// file reopened or replaced, a decompression stopped. An icon, the text, an
// optional action and a close box. A message without an action closes itself
// a while (10 s) after it could first be seen; one that offers an action stays until it is answered
// or closed, since the user may not be looking at that window now.
#pragma once

#include <QWidget>

class QLabel;
class QPushButton;
class QTimer;
class QToolButton;

class CMessageStrip : public QWidget {
    Q_OBJECT
public:
    enum class Kind { Information, Warning, Error };

    explicit CMessageStrip(QWidget* parent = nullptr);

    // Shows the message in place of any earlier one; with `action`, a button of that label.
    void ShowMessage(Kind kind, const QString& text, const QString& action = {});
    QString Text() const;
    QString ActionLabel() const;
    // How long a message without an action stays (10 s unless changed).
    void SetAutoCloseMs(int ms) { m_nAutoCloseMs = ms; }

signals:
    void actionTriggered();
    void closed();

protected:
    void showEvent(QShowEvent* event) override;

private:
    void CloseMessage();
    void StartTimer();

    QLabel* m_pIcon;
    QLabel* m_pText;
    QPushButton* m_pAction;
    QToolButton* m_pClose;
    QTimer* m_pTimer;
    int m_nAutoCloseMs = 10000;
    bool m_bTimerDue = false;  // a message without an action, shown while its window was hidden
};
