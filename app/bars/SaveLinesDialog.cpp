#include "app/bars/SaveLinesDialog.h"

#include "view/StringTable.h"

#include <QComboBox>
#include <QGridLayout>
#include <QLabel>

CSaveLinesDialog::CSaveLinesDialog(const std::vector<std::string>& sources, QWidget* parent)
    : QFileDialog(parent), m_pSources(new QComboBox(this))
{
    // The dialog's own widgets (as the Open dialog's), so that the list of sources can join them.
    setObjectName(QStringLiteral("saveLinesDialog"));
    setOption(QFileDialog::DontUseNativeDialog, true);
    setWindowTitle(QString::fromUtf8(text::SaveLinesTitle));
    setAcceptMode(QFileDialog::AcceptSave);
    setFileMode(QFileDialog::AnyFile);

    m_pSources->setObjectName(QStringLiteral("saveLinesSource"));
    for (const std::string& source : sources)
        m_pSources->addItem(QString::fromStdString(source));
    m_pSources->setCurrentIndex(0);
    auto* label = new QLabel(QString::fromUtf8(text::SaveLinesSourceLabel), this);
    label->setBuddy(m_pSources);

    // A new row under "Files of type:", in the same columns.
    if (auto* grid = qobject_cast<QGridLayout*>(layout())) {
        const int row = grid->rowCount();
        grid->addWidget(label, row, 0);
        grid->addWidget(m_pSources, row, 1);
    }
}

std::optional<CSaveLinesChoice> CSaveLinesDialog::Run(const std::vector<std::string>& sources, QWidget* parent)
{
    CSaveLinesDialog dialog(sources, parent);
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    const QStringList files = dialog.selectedFiles();
    if (files.isEmpty() || dialog.m_pSources->currentIndex() < 0)
        return std::nullopt;
    return CSaveLinesChoice{static_cast<std::size_t>(dialog.m_pSources->currentIndex()), files.first()};
}
