#include "app/bars/GoToDialog.h"

#include <QAccessible>
#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

CGoToDialog::CGoToDialog(const QString& title, const QString& prompt, Taker take, QWidget* parent)
    : QDialog(parent), m_take(std::move(take)), m_pText(new QLineEdit(this)), m_pMessage(new QLabel(this))
{
    setObjectName(QStringLiteral("goToDialog"));
    setWindowTitle(title);
    auto* label = new QLabel(prompt, this);
    label->setBuddy(m_pText);
    m_pText->setObjectName(QStringLiteral("goToText"));
    m_pText->setMinimumWidth(fontMetrics().averageCharWidth() * 36);
    m_pMessage->setObjectName(QStringLiteral("goToMessage"));
    m_pMessage->setWordWrap(true);
    m_pMessage->hide();
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &CGoToDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &CGoToDialog::reject);

    auto* column = new QVBoxLayout(this);
    column->addWidget(label);
    column->addWidget(m_pText);
    column->addWidget(m_pMessage);
    column->addWidget(buttons);
}

QString CGoToDialog::Message() const
{
    return !m_pMessage->isHidden() ? m_pMessage->text() : QString();
}

void CGoToDialog::accept()
{
    const std::string why = m_take ? m_take(m_pText->text().toStdString()) : std::string();
    if (why.empty()) {
        QDialog::accept();
        return;
    }
    m_pMessage->setText(QString::fromStdString(why));
    m_pMessage->show();
    // Shown is not heard: the refusal is announced, and the field the keys go back to carries it.
    m_pText->setAccessibleDescription(m_pMessage->text());
    QAccessibleEvent alert(m_pMessage, QAccessible::Alert);
    QAccessible::updateAccessibility(&alert);
    m_pText->selectAll();
    m_pText->setFocus();
}
