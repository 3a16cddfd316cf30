#include "app/ribbon/RibbonMainPanel.h"

#include "app/ribbon/RibbonButton.h"
#include "app/ribbon/RibbonCheckBox.h"
#include "app/ribbon/RibbonPaint.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QPainter>
#include <QVBoxLayout>

CRibbonMainPanel::CRibbonMainPanel(QWidget* owner)
    : CRibbonPopup(owner), m_pLeft(new QVBoxLayout), m_pBottom(new QHBoxLayout), m_pTop(new QWidget(this))
{
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(1, 1, 1, 1);
    outer->setSpacing(0);
    auto* top = new QHBoxLayout(m_pTop);
    top->setContentsMargins(0, 0, 0, 0);
    top->setSpacing(0);
    m_pLeft->setContentsMargins(4, 4, 4, 4);
    m_pLeft->setSpacing(1);
    m_pLeft->addStretch();
    top->addLayout(m_pLeft);
    outer->addWidget(m_pTop);
    m_pBottom->setContentsMargins(6, 4, 6, 4);
    m_pBottom->setSpacing(6);
    m_pBottom->addStretch();
    outer->addLayout(m_pBottom);
}

CRibbonButton* CRibbonMainPanel::Add(int nID, const QString& label, const QIcon& large, const QIcon& small)
{
    auto* button = new CRibbonButton(nID, label, small, large, this);
    button->SetLook(CRibbonButton::Look::MenuEntry);
    button->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    m_pLeft->insertWidget(m_pLeft->count() - 1, button);
    m_entries.append(button);
    return button;
}

void CRibbonMainPanel::AddSeparator()
{
    auto* separator = new QWidget(this);
    separator->setFixedHeight(5);
    m_pLeft->insertWidget(m_pLeft->count() - 1, separator);
    m_separators.append(separator);
}

void CRibbonMainPanel::AddRecentFilesList(const QString& title, int nWidth, int nFirstID)
{
    if (m_pRecentPane)
        return;
    m_nFirstRecentID = nFirstID;
    m_pRecentPane = new QWidget(m_pTop);
    m_pRecentPane->setFixedWidth(nWidth);
    m_pRecentPane->setAccessibleName(title);
    m_pRecentLayout = new QVBoxLayout(m_pRecentPane);
    m_pRecentLayout->setContentsMargins(6, 4, 6, 4);
    m_pRecentLayout->setSpacing(0);
    m_recentTitle = title;
    m_pRecentTitle = new QWidget(m_pRecentPane);  // room for the title, drawn with the pane
    m_pRecentTitle->setFixedHeight(fontMetrics().height() + 10);
    m_pRecentLayout->addWidget(m_pRecentTitle);
    m_pRecentLayout->addStretch();
    static_cast<QHBoxLayout*>(m_pTop->layout())->addWidget(m_pRecentPane);
}

void CRibbonMainPanel::SetRecentFiles(const QList<CRibbonRecentFile>& files)
{
    if (!m_pRecentPane)
        return;
    qDeleteAll(m_recent);
    m_recent.clear();
    for (qsizetype i = 0; i < files.size(); ++i) {
        QString name = files[i].name;
        const QString label = QString("&%1 %2").arg(i + 1).arg(name.replace(u'&', QLatin1String("&&")));
        const int nID = m_nFirstRecentID ? m_nFirstRecentID + static_cast<int>(i) : 0;
        auto* entry = new CRibbonButton(nID, label, {}, {}, m_pRecentPane);
        entry->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
        entry->SetToolTipText(files[i].path, files[i].description);
        connect(entry, &CRibbonButton::clicked, this, &QWidget::close);
        m_pRecentLayout->insertWidget(1 + static_cast<int>(i), entry);  // after the title, above what is under them
        m_recent.append(entry);
    }
}

void CRibbonMainPanel::AddUnderRecentFiles(CRibbonElement* element)
{
    if (!m_pRecentPane)
        return;
    if (!m_pUnderRecentLine) {
        m_pUnderRecentLine = new QWidget(m_pRecentPane);  // room for the line, drawn with the pane
        m_pUnderRecentLine->setFixedHeight(9);
        m_pRecentLayout->insertWidget(m_pRecentLayout->count() - 1, m_pUnderRecentLine);
    }
    element->setParent(m_pRecentPane);
    element->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    if (auto* button = qobject_cast<CRibbonButton*>(element))
        connect(button, &CRibbonButton::clicked, this, &QWidget::close);
    m_pRecentLayout->insertWidget(m_pRecentLayout->count() - 1, element);
    m_underRecent.append(element);
}

QList<CRibbonButton*> CRibbonMainPanel::GetColumn() const
{
    QList<CRibbonButton*> column;
    for (int i = 0; i < m_pLeft->count(); ++i) {
        QWidget* w = m_pLeft->itemAt(i)->widget();
        if (auto* button = qobject_cast<CRibbonButton*>(w))
            column.append(button);
        else if (w && m_separators.contains(w))
            column.append(nullptr);
    }
    return column;
}

CRibbonButton* CRibbonMainPanel::AddToBottom(int nID, const QString& label, const QIcon& small)
{
    auto* button = new CRibbonButton(nID, label, small, {}, this);
    m_pBottom->addWidget(button);
    m_bottomButtons.append(button);
    return button;
}

void CRibbonMainPanel::Open(QWidget* anchor)
{
    adjustSize();
    ShowAt(anchor->mapToGlobal(QPoint(0, anchor->height())));
    if (!m_entries.isEmpty())
        m_entries.first()->setFocus(Qt::PopupFocusReason);
}

QList<CRibbonElement*> CRibbonMainPanel::FocusColumn(QWidget* focused) const
{
    QList<CRibbonElement*> column;
    const auto add = [&column](const auto& elements) {
        for (CRibbonElement* element : elements)
            column.append(element);
    };
    auto* element = qobject_cast<CRibbonElement*>(focused);
    if (m_recent.contains(element) || m_underRecent.contains(element)) {
        add(m_recent);
        add(m_underRecent);
    } else {
        add(m_entries);
    }
    add(m_bottomButtons);
    return column;
}

void CRibbonMainPanel::keyPressEvent(QKeyEvent* event)
{
    QWidget* focused = focusWidget();
    const int key = event->key();
    if (key == Qt::Key_Up || key == Qt::Key_Down) {
        // Up and down go round one column (and the bottom row under it).
        QList<CRibbonElement*> column = FocusColumn(focused);
        column.removeIf([](const CRibbonElement* e) { return !e->isEnabled(); });
        if (!column.isEmpty()) {
            const qsizetype at = column.indexOf(qobject_cast<CRibbonElement*>(focused));
            const qsizetype n = column.size();
            const qsizetype next = at < 0 ? 0 : (at + (key == Qt::Key_Down ? 1 : n - 1)) % n;
            column[next]->setFocus(Qt::TabFocusReason);
        }
        return;
    }
    if ((key == Qt::Key_Left || key == Qt::Key_Right) && !(m_recent.isEmpty() && m_underRecent.isEmpty())) {
        // Left and right cross between the entries and the recent files (or what is under them).
        QList<CRibbonElement*> target;
        if (key == Qt::Key_Right) {
            for (CRibbonElement* element : m_recent)
                target.append(element);
            target += m_underRecent;
        } else {
            for (CRibbonElement* element : m_entries)
                target.append(element);
        }
        target.removeIf([](const CRibbonElement* e) { return !e->isEnabled(); });
        if (!target.isEmpty())
            target.first()->setFocus(Qt::TabFocusReason);
        return;
    }
    if ((key == Qt::Key_Return || key == Qt::Key_Enter) && qobject_cast<CRibbonCheckBox*>(focused)) {
        // In a menu Return turns a check box over, as Space does.
        static_cast<CRibbonCheckBox*>(focused)->OnKeyTip();
        return;
    }
    CRibbonPopup::keyPressEvent(event);
}

void CRibbonMainPanel::paintEvent(QPaintEvent* event)
{
    CRibbonPopup::paintEvent(event);
    QPainter p(this);
    const CRibbonTheme& t = ribbon::themeOf(this);
    const QRect top = m_pTop->geometry();
    p.fillRect(QRect(1, top.bottom() + 1, width() - 2, height() - top.bottom() - 2), t.popupTitleBack);
    p.fillRect(QRect(1, top.bottom(), width() - 2, 1), t.panelBorder);
    if (m_pRecentPane) {
        const QRect pane = m_pRecentPane->geometry().translated(top.topLeft());
        p.fillRect(pane, t.popupSideBack);
        p.fillRect(QRect(pane.left(), pane.top(), 1, pane.height()), t.panelBorder);
        const QRect title = m_pRecentTitle->geometry().translated(pane.topLeft());
        p.fillRect(QRect(title.left(), title.bottom() - 2, title.width(), 1), t.panelBorder);
        QFont bold = font();
        bold.setBold(true);
        p.setFont(bold);
        p.setPen(t.text);
        p.drawText(title.adjusted(2, 0, 0, -4), Qt::AlignLeft | Qt::AlignVCenter, m_recentTitle);
        p.setFont(font());
        if (m_pUnderRecentLine) {
            const QRect line = m_pUnderRecentLine->geometry().translated(pane.topLeft());
            p.fillRect(QRect(line.left() + 2, line.center().y(), line.width() - 4, 1), t.panelBorder);
        }
    }
    for (QWidget* separator : m_separators) {
        const QRect r = separator->geometry().translated(top.topLeft());
        p.fillRect(QRect(r.left() + 4, r.center().y(), r.width() - 8, 1), t.panelBorder);
    }
}
