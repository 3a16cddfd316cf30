#include "app/shell/JournalDialog.h"

#include "engine/TimeSeek.h"
#include "view/StringTable.h"

#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRegularExpression>
#include <QVBoxLayout>

namespace {

// journalctl's names of the priorities, the most urgent first.
const char* const kPriorities[] = {"emerg", "alert", "crit", "err", "warning", "notice", "info", "debug"};

}  // namespace

CUnitsBox::CUnitsBox(QWidget* parent) : QComboBox(parent)
{
    setEditable(true);
    setInsertPolicy(QComboBox::NoInsert);
}

void CUnitsBox::SetFolder(const QString& folder)
{
    m_folder = folder;
    m_bFilled = false;
}

void CUnitsBox::showPopup()
{
    if (!m_bFilled) {
        m_bFilled = true;
        const QString typed = currentText();
        clear();
        platform::JournalQuery query;
        query.directory = QFile::encodeName(m_folder).toStdString();
        platform::CJournalReader reader;
        std::string error;
        if (reader.Open(query, error))
            for (const std::string& unit : reader.Units())
                addItem(QString::fromStdString(unit));
        setEditText(typed);
    }
    QComboBox::showPopup();
}

CJournalDialog::CJournalDialog(const QString& folder, QWidget* parent) : QDialog(parent), m_folder(folder)
{
    setWindowTitle(text::OpenJournalTitle);
    auto* form = new QFormLayout;
    m_pBoot = new QComboBox(this);
    m_pBoot->addItems({text::JournalBootThis, text::JournalBootPrevious, text::JournalBootAll});
    m_pBoot->setCurrentIndex(0);
    form->addRow(new QLabel(text::JournalBootLabel, this), m_pBoot);
    m_pUnits = new CUnitsBox(this);
    m_pUnits->SetFolder(folder);
    form->addRow(new QLabel(text::JournalUnitsLabel, this), m_pUnits);
    m_pPriority = new QComboBox(this);
    for (const char* name : kPriorities)
        m_pPriority->addItem(name);
    m_pPriority->setCurrentIndex(7);
    form->addRow(new QLabel(text::JournalPriorityLabel, this), m_pPriority);
    m_pSince = new QLineEdit(this);
    form->addRow(new QLabel(text::JournalSinceLabel, this), m_pSince);
    for (int row = 0; row < form->rowCount(); ++row)
        if (auto* label = qobject_cast<QLabel*>(form->itemAt(row, QFormLayout::LabelRole)->widget()))
            label->setBuddy(form->itemAt(row, QFormLayout::FieldRole)->widget());
    m_pFolderLabel = new QLabel(this);
    auto* folderButton = new QPushButton(text::JournalFolderButton, this);
    connect(folderButton, &QPushButton::clicked, this, [this] {
        const QString chosen = QFileDialog::getExistingDirectory(this, text::JournalFolderLabel, m_folder);
        if (chosen.isEmpty())
            return;
        m_folder = chosen;
        m_pUnits->SetFolder(chosen);
        ShowFolder();
    });
    auto* folderRow = new QHBoxLayout;
    folderRow->addWidget(m_pFolderLabel, 1);
    folderRow->addWidget(folderButton);
    form->addRow(new QLabel(text::JournalFolderLabel, this), folderRow);
    ShowFolder();

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Ok)->setText(text::JournalOpen);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(buttons);
}

void CJournalDialog::ShowFolder()
{
    m_pFolderLabel->setText(m_folder.isEmpty() ? QString(text::JournalMachine) : m_folder);
}

QString CJournalDialog::Since() const
{
    return m_pSince->text().trimmed();
}

bool CJournalDialog::Query(platform::JournalQuery& query) const
{
    query = {};
    query.directory = QFile::encodeName(m_folder).toStdString();
    query.boot = m_pBoot->currentIndex() == 0   ? platform::JournalQuery::Boot::This
                 : m_pBoot->currentIndex() == 1 ? platform::JournalQuery::Boot::Previous
                                                : platform::JournalQuery::Boot::All;
    for (const QString& unit : m_pUnits->currentText().split(QRegularExpression("[\\s,]+"), Qt::SkipEmptyParts))
        query.units.push_back(unit.toStdString());
    query.lowestPriority = m_pPriority->currentIndex();
    if (!Since().isEmpty()) {
        std::int64_t micros = 0;
        if (!timeseek::ParseUserTime(Since().toStdString(), micros))
            return false;
        query.hasSince = true;
        query.sinceMicros = micros;
    }
    return true;
}

void CJournalDialog::accept()
{
    platform::JournalQuery query;
    if (!Query(query)) {
        QMessageBox::warning(this, text::OpenJournalTitle, text::JournalBadSince);
        m_pSince->setFocus();
        return;
    }
    QDialog::accept();
}
