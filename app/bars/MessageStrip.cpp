#include "app/bars/MessageStrip.h"

#include <QAccessible>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QStyle>
#include <QTimer>
#include <QToolButton>

CMessageStrip::CMessageStrip(QWidget* parent)
    : QWidget(parent),
      m_pIcon(new QLabel(this)),
      m_pText(new QLabel(this)),
      m_pAction(new QPushButton(this)),
      m_pClose(new QToolButton(this)),
      m_pTimer(new QTimer(this))
{
    setObjectName(QStringLiteral("messageStrip"));
    // The tooltip colours of the look: a note that stands apart from the text window under it.
    setAutoFillBackground(true);
    setBackgroundRole(QPalette::ToolTipBase);
    setForegroundRole(QPalette::ToolTipText);
    m_pText->setForegroundRole(QPalette::ToolTipText);
    m_pText->setTextFormat(Qt::PlainText);
    m_pText->setWordWrap(false);
    m_pText->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_pClose->setAutoRaise(true);
    m_pClose->setIcon(style()->standardIcon(QStyle::SP_TitleBarCloseButton));
    m_pClose->setAccessibleName(tr("Close message"));
    m_pClose->setToolTip(tr("Close message"));
    m_pTimer->setSingleShot(true);

    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(6, 2, 2, 2);
    row->setSpacing(6);
    row->addWidget(m_pIcon);
    row->addWidget(m_pText, 1);
    row->addWidget(m_pAction);
    row->addWidget(m_pClose);

    connect(m_pClose, &QToolButton::clicked, this, &CMessageStrip::CloseMessage);
    connect(m_pTimer, &QTimer::timeout, this, &CMessageStrip::CloseMessage);
    connect(m_pAction, &QPushButton::clicked, this, [this] {
        CloseMessage();
        emit actionTriggered();
    });
    hide();
}

void CMessageStrip::ShowMessage(Kind kind, const QString& text, const QString& action)
{
    const QStyle::StandardPixmap icon = kind == Kind::Error     ? QStyle::SP_MessageBoxCritical
                                        : kind == Kind::Warning ? QStyle::SP_MessageBoxWarning
                                                                : QStyle::SP_MessageBoxInformation;
    const int size = style()->pixelMetric(QStyle::PM_SmallIconSize, nullptr, this);
    m_pIcon->setPixmap(style()->standardIcon(icon).pixmap(size, size));
    m_pText->setText(text);
    m_pText->setToolTip(text);
    m_pAction->setText(action);
    m_pAction->setVisible(!action.isEmpty());
    setAccessibleName(text);
    // How long a message stays counts from when it can be seen: one shown in a background tab waits for its tab.
    m_pTimer->stop();
    m_bTimerDue = action.isEmpty();
    show();
    if (m_bTimerDue && isVisible())
        StartTimer();
    // Screen readers announce it as a user sees it appear.
    QAccessibleEvent alert(this, QAccessible::Alert);
    QAccessible::updateAccessibility(&alert);
}

QString CMessageStrip::Text() const
{
    return isHidden() ? QString() : m_pText->text();
}

QString CMessageStrip::ActionLabel() const
{
    return m_pAction->isHidden() ? QString() : m_pAction->text();
}

void CMessageStrip::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (m_bTimerDue)
        StartTimer();
}

void CMessageStrip::StartTimer()
{
    m_bTimerDue = false;
    m_pTimer->start(m_nAutoCloseMs);
}

void CMessageStrip::CloseMessage()
{
    m_bTimerDue = false;
    m_pTimer->stop();
    if (isHidden())
        return;
    hide();
    emit closed();
}
