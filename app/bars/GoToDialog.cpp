#include "app/bars/GoToDialog.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

namespace {

constexpr const char* kAlertProperty = "ostrelAlert";

// A refusal is an alert to a screen reader, which then reads it out as it
// appears; a plain label is only read when the user goes looking.
class CAlertLabelAccessible : public QAccessibleWidget {
public:
    explicit CAlertLabelAccessible(QWidget* w) : QAccessibleWidget(w, QAccessible::AlertMessage) {}
    QString text(QAccessible::Text t) const override
    {
        if (t == QAccessible::Name)
            return static_cast<const QLabel*>(widget())->text();
        return QAccessibleWidget::text(t);
    }
};

QAccessibleInterface* AlertLabelFactory(const QString& className, QObject* object)
{
    if (className == QLatin1String("QLabel") && object && object->property(kAlertProperty).toBool())
        return new CAlertLabelAccessible(static_cast<QWidget*>(object));
    return nullptr;
}

}  // namespace

CGoToDialog::CGoToDialog(const QString& title, const QString& prompt, Taker take, QWidget* parent)
    : QDialog(parent), m_take(std::move(take)), m_pText(new QLineEdit(this)), m_pMessage(new QLabel(this))
{
    setObjectName(QStringLiteral("goToDialog"));
    setWindowTitle(title);
    auto* label = new QLabel(prompt, this);
    label->setBuddy(m_pText);
    m_pText->setObjectName(QStringLiteral("goToText"));
    m_pText->setMinimumWidth(fontMetrics().averageCharWidth() * 36);
    static const bool installed = (QAccessible::installFactory(AlertLabelFactory), true);
    (void)installed;
    m_pMessage->setObjectName(QStringLiteral("goToMessage"));
    m_pMessage->setProperty(kAlertProperty, true);
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

void CGoToDialog::SetText(const QString& text)
{
    m_pText->setText(text);
    m_pText->selectAll();
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
    // Shown afresh each time, so that a screen reader announces a second refusal as it did the first.
    m_pMessage->hide();
    m_pMessage->setText(QString::fromStdString(why));
    m_pMessage->show();
    // Shown is not heard: the refusal is announced, and the field the keys go back to carries it.
    m_pText->setAccessibleDescription(m_pMessage->text());
    QAccessibleEvent alert(m_pMessage, QAccessible::Alert);
    QAccessible::updateAccessibility(&alert);
    m_pText->selectAll();
    m_pText->setFocus();
}
