// The small modal dialog of Go to Line and Go to Time: one line of text. Each
// text the user confirms (Return or OK) goes to the taker, which either takes
// it (the dialog closes) or says why not: the dialog shows that under the text
// and stays open with the text selected, ready to be typed over.
#pragma once

#include <QDialog>

#include <functional>
#include <string>

class QLabel;
class QLineEdit;

class CGoToDialog : public QDialog {
public:
    // Returns an empty text when it took `typed`, else what the dialog says.
    using Taker = std::function<std::string(const std::string& typed)>;

    CGoToDialog(const QString& title, const QString& prompt, Taker take, QWidget* parent = nullptr);

    QString Message() const;
    // The text the field starts with, selected so that typing replaces it.
    void SetText(const QString& text);

    void accept() override;

private:
    Taker m_take;
    QLineEdit* m_pText;
    QLabel* m_pMessage;
};
