#include "app/shell/WindowsDialog.h"

#include "app/shell/ChildFrame.h"
#include "app/shell/MainFrame.h"
#include "app/tabgroups/TabGroupArea.h"
#include "file/TextFileDoc.h"

#include <QDialogButtonBox>
#include <QFile>
#include <QLabel>
#include <QListWidget>
#include <QPointer>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>

CWindowsDialog::CWindowsDialog(CTextFileViewerMainFrame* frame)
    : QDialog(frame), m_pFrame(frame), m_pList(new QListWidget(this))
{
    setWindowTitle(tr("Windows"));
    auto* label = new QLabel(tr("&Select window:"), this);
    label->setBuddy(m_pList);
    auto* buttons = new QDialogButtonBox(this);
    m_pActivate = buttons->addButton(tr("&Activate"), QDialogButtonBox::AcceptRole);
    m_pClose = buttons->addButton(tr("&Close Window"), QDialogButtonBox::ActionRole);
    buttons->addButton(QDialogButtonBox::Cancel);
    m_pActivate->setDefault(true);
    connect(m_pActivate, &QPushButton::clicked, this, &CWindowsDialog::ActivateSelected);
    connect(m_pClose, &QPushButton::clicked, this, &CWindowsDialog::CloseSelected);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(m_pList, &QListWidget::itemActivated, this, &CWindowsDialog::ActivateSelected);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(label);
    layout->addWidget(m_pList);
    layout->addWidget(buttons);
    resize(420, 300);
    Fill();
}

void CWindowsDialog::Fill()
{
    m_pList->clear();
    const CTabGroupArea* area = m_pFrame->GetTabArea();
    for (CTextFileViewerChildFrame* window : m_pFrame->GetChildFrames()) {
        auto* item = new QListWidgetItem(area->TabTitle(window), m_pList);
        item->setToolTip(QFile::decodeName(window->GetDocument()->GetPathName().c_str()));
        item->setData(Qt::UserRole, QVariant::fromValue(QPointer<QWidget>(window)));
        if (window == m_pFrame->GetActiveChildFrame())
            m_pList->setCurrentItem(item);
    }
    m_pActivate->setEnabled(m_pList->count() > 0);
    m_pClose->setEnabled(m_pList->count() > 0);
}

QWidget* CWindowsDialog::Selected() const
{
    const QListWidgetItem* item = m_pList->currentItem();
    return item ? item->data(Qt::UserRole).value<QPointer<QWidget>>().data() : nullptr;
}

void CWindowsDialog::ActivateSelected()
{
    if (auto* window = qobject_cast<CTextFileViewerChildFrame*>(Selected()))
        m_pFrame->ActivateChildFrame(window);
    accept();
}

void CWindowsDialog::CloseSelected()
{
    const int row = m_pList->currentRow();
    if (auto* window = qobject_cast<CTextFileViewerChildFrame*>(Selected()))
        m_pFrame->CloseChildFrame(window);
    Fill();
    m_pList->setCurrentRow(std::min(row, m_pList->count() - 1));
}
