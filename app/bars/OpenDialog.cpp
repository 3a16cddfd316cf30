#include "app/bars/OpenDialog.h"

#include "file/SshName.h"
#include "view/StringTable.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

QString COpenDialog::FilterEntry(const char* name, const char* pattern)
{
    const QString glob = qstrcmp(pattern, "*.*") == 0 ? QStringLiteral("*") : QString::fromUtf8(pattern);
    // With the details hidden the dialog shows what stands before the last
    // parenthesised pattern: the name, whose own pattern is only text.
    return QStringLiteral("%1 (%2)").arg(QString::fromUtf8(name), glob);
}

COpenDialog::COpenDialog(QWidget* parent) : QFileDialog(parent), m_pEncoding(new QComboBox(this))
{
    // The dialog's own widgets, so that the encoding list can join them.
    setOption(QFileDialog::DontUseNativeDialog, true);
    setOption(QFileDialog::HideNameFilterDetails, true);
    setWindowTitle(QString::fromUtf8(text::OpenDialogTitle));
    setAcceptMode(QFileDialog::AcceptOpen);
    setFileMode(QFileDialog::ExistingFile);

    QStringList filters;
    for (const FileFilterText& filter : text::OpenFilters)
        filters << FilterEntry(filter.name, filter.pattern);
    setNameFilters(filters);
    selectNameFilter(filters.first());

    m_pEncoding->setObjectName(QStringLiteral("encodingCombo"));
    for (const char* entry : text::OpenEncodingEntries)
        m_pEncoding->addItem(QString::fromUtf8(entry));
    m_pEncoding->setCurrentIndex(0);
    auto* label = new QLabel(QString::fromUtf8(text::OpenEncodingLabel), this);
    label->setObjectName(QStringLiteral("encodingLabel"));
    label->setBuddy(m_pEncoding);

    // The dialog disables Open for a name that is no file here; an ssh:// name opens all the same. Connected
    // after the dialog's own handler, so it has the last word.
    if (auto* name = findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))) {
        connect(name, &QLineEdit::textChanged, this, [this] {
            auto* buttons = findChild<QDialogButtonBox*>(QStringLiteral("buttonBox"));
            QPushButton* open = buttons ? buttons->button(QDialogButtonBox::Open) : nullptr;
            if (open && !TypedRemoteName().isEmpty())
                open->setEnabled(true);
        });
    }

    // A new row under "Files of type:", in the same columns.
    if (auto* grid = qobject_cast<QGridLayout*>(layout())) {
        const int row = grid->rowCount();
        grid->addWidget(label, row, 0);
        grid->addWidget(m_pEncoding, row, 1);
    }
}

QString COpenDialog::TypedRemoteName() const
{
    const auto* name = findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
    const QString typed = name ? name->text().trimmed() : QString();
    return sshname::IsSshName(typed.toStdString()) ? typed : QString();
}

void COpenDialog::accept()
{
    m_remoteName = TypedRemoteName();
    if (m_remoteName.isEmpty())
        QFileDialog::accept();
    else
        QDialog::accept();
}

int COpenDialog::ChosenEncoding() const
{
    return m_pEncoding->currentIndex();
}

std::optional<COpenChoice> COpenDialog::Run(QWidget* parent)
{
    COpenDialog dialog(parent);
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    if (!dialog.RemoteName().isEmpty())
        return COpenChoice{dialog.RemoteName(), dialog.ChosenEncoding()};
    const QStringList files = dialog.selectedFiles();
    if (files.isEmpty())
        return std::nullopt;
    return COpenChoice{files.first(), dialog.ChosenEncoding()};
}
