#include "app/bars/FindDialog.h"

#include "view/StringTable.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

CFindDialog::CFindDialog(QWidget* parent)
    : QDialog(parent),
      m_pText(new QLineEdit(this)),
      m_pMatchCase(new QCheckBox(QString::fromUtf8(text::FindDialogMatchCase), this)),
      m_pUp(new QRadioButton(QString::fromUtf8(text::FindDialogUp))),
      m_pDown(new QRadioButton(QString::fromUtf8(text::FindDialogDown))),
      m_pFindNext(new QPushButton(QString::fromUtf8(text::FindDialogNext), this))
{
    setObjectName(QStringLiteral("findDialog"));
    setWindowTitle(QString::fromUtf8(text::FindDialogTitle));
    setModal(false);

    m_pText->setObjectName(QStringLiteral("findText"));
    m_pText->setMaxLength(kMaxTextLength);
    m_pText->setMinimumWidth(fontMetrics().averageCharWidth() * 28);
    auto* what = new QLabel(QString::fromUtf8(text::FindDialogWhat), this);
    what->setBuddy(m_pText);
    m_pMatchCase->setObjectName(QStringLiteral("matchCase"));

    auto* direction = new QGroupBox(QString::fromUtf8(text::FindDialogDirection), this);
    auto* directions = new QHBoxLayout(direction);
    m_pUp->setObjectName(QStringLiteral("up"));
    m_pDown->setObjectName(QStringLiteral("down"));
    directions->addWidget(m_pUp);
    directions->addWidget(m_pDown);
    m_pDown->setChecked(true);

    m_pFindNext->setObjectName(QStringLiteral("findNext"));
    m_pFindNext->setDefault(true);
    m_pFindNext->setEnabled(false);
    auto* cancel = new QPushButton(QString::fromUtf8(text::FindDialogCancel), this);
    cancel->setObjectName(QStringLiteral("cancel"));

    // The text above, the options under it; the buttons in a column at the right.
    auto* top = new QHBoxLayout;
    top->addWidget(what);
    top->addWidget(m_pText, 1);
    auto* options = new QHBoxLayout;
    options->addWidget(m_pMatchCase, 0, Qt::AlignBottom);
    options->addStretch(1);
    options->addWidget(direction);
    auto* left = new QVBoxLayout;
    left->addLayout(top);
    left->addLayout(options);
    auto* buttons = new QVBoxLayout;
    buttons->addWidget(m_pFindNext);
    buttons->addWidget(cancel);
    buttons->addStretch(1);
    auto* all = new QHBoxLayout(this);
    all->addLayout(left, 1);
    all->addLayout(buttons);
    all->setSizeConstraint(QLayout::SetFixedSize);

    connect(m_pText, &QLineEdit::textChanged, this,
            [this](const QString& t) { m_pFindNext->setEnabled(!t.isEmpty()); });
    connect(m_pFindNext, &QPushButton::clicked, this,
            [this] { emit findNext(m_pText->text(), m_pMatchCase->isChecked(), m_pDown->isChecked()); });
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
}

void CFindDialog::SetFindText(const QString& text)
{
    m_pText->setText(text);
    m_pText->selectAll();
}

void CFindDialog::SetMatchCase(bool matchCase)
{
    m_pMatchCase->setChecked(matchCase);
}

void CFindDialog::done(int result)
{
    QDialog::done(result);
    emit closing();
}
