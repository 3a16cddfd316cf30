#include "app/shell/CommandDialog.h"

#include "view/StringTable.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSettings>
#include <QVBoxLayout>

CCommandDialog::CCommandDialog(const QStringList& history, QWidget* parent)
    : QDialog(parent), m_pBox(new QComboBox(this))
{
    setWindowTitle(text::OpenCommandTitle);
    auto* column = new QVBoxLayout(this);
    auto* label = new QLabel(text::OpenCommandPrompt, this);
    m_pBox->setEditable(true);
    m_pBox->setInsertPolicy(QComboBox::NoInsert);
    m_pBox->addItems(history);
    m_pBox->setCurrentIndex(-1);
    m_pBox->setMinimumContentsLength(48);
    m_pBox->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    label->setBuddy(m_pBox);
    column->addWidget(label);
    column->addWidget(m_pBox);
    auto* note = new QLabel(text::OpenCommandNote, this);
    note->setWordWrap(true);
    column->addWidget(note);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    column->addWidget(buttons);
    QPushButton* ok = buttons->button(QDialogButtonBox::Ok);
    ok->setText(text::OpenCommandRun);
    ok->setEnabled(false);
    connect(m_pBox, &QComboBox::currentTextChanged, ok,
            [ok](const QString& typed) { ok->setEnabled(!typed.trimmed().isEmpty()); });
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    m_pBox->setFocus();
}

QString CCommandDialog::Command() const
{
    return m_pBox->currentText().trimmed();
}

QStringList CCommandDialog::WithNewest(QStringList history, const QString& command)
{
    history.removeAll(command);
    history.prepend(command);
    while (history.size() > kHistory)
        history.removeLast();
    return history;
}

QStringList CCommandDialog::History(const QSettings& settings)
{
    QStringList history = settings.value(kHistoryKey).toStringList();
    history.removeAll(QString());
    while (history.size() > kHistory)
        history.removeLast();
    return history;
}
