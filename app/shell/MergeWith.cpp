#include "app/shell/MergeWith.h"

#include "app/shell/ChildFrame.h"
#include "app/shell/TextFileViewerApp.h"
#include "textwnd/MergedWnd.h"
#include "view/StringTable.h"
#include "view/TextFileView.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QFile>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QMessageBox>
#include <QPointer>
#include <QVBoxLayout>

#include <algorithm>

namespace {

// The files a window shows: a merged window's, in its order, or its document's.
std::vector<std::string> FilesOf(const CTextFileViewerChildFrame* frame)
{
    const CTextFileView* view = frame ? frame->GetActiveView() : nullptr;
    if (!view || !view->GetFileWnd())
        return {};
    if (const CMergedWnd* merged = view->GetFileWnd()->GetMerged()) {
        std::vector<std::string> files;
        for (int f = 0; f < merged->Count(); ++f)
            files.push_back(merged->PathOf(f));
        return files;
    }
    const std::string& path = view->GetDocument()->GetPathName();
    return path.empty() || path == CTextFileDoc::kStandardInputName ? std::vector<std::string>{}
                                                                    : std::vector<std::string>{path};
}

void MergeWith(CTextFileViewerChildFrame* frame, CTextFileViewerApp& app, QWidget* parent)
{
    std::vector<std::string> files = FilesOf(frame);
    // Every other file open in a window, once each.
    std::vector<std::string> others;
    for (const CTextFileDoc* doc : app.GetDocuments())
        for (const CTextFileViewerChildFrame* other : app.GetFrames(doc))
            for (const std::string& f : FilesOf(other))
                if (std::find(files.begin(), files.end(), f) == files.end() &&
                    std::find(others.begin(), others.end(), f) == others.end())
                    others.push_back(f);
    QDialog dialog(parent);
    dialog.setWindowTitle(QString::fromUtf8(text::MergeWithTitle));
    auto* layout = new QVBoxLayout(&dialog);
    auto* label = new QLabel(QString::fromUtf8(text::MergeWithPrompt), &dialog);
    auto* list = new QListWidget(&dialog);
    label->setBuddy(list);
    for (const std::string& f : others) {
        auto* item = new QListWidgetItem(QFile::decodeName(f.c_str()), list);
        item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
        item->setCheckState(Qt::Unchecked);
    }
    if (list->count())
        list->setCurrentRow(0);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    layout->addWidget(label);
    layout->addWidget(list);
    layout->addWidget(buttons);
    if (dialog.exec() != QDialog::Accepted)
        return;
    for (int i = 0; i < list->count(); ++i)
        if (list->item(i)->checkState() == Qt::Checked)
            files.push_back(others[static_cast<std::size_t>(i)]);
    if (files.size() < 2)
        return;
    std::vector<std::string> reasons;
    if (app.OpenMerged(files, &reasons) || reasons.empty())
        return;
    QString why;
    for (const std::string& r : reasons)
        why += (why.isEmpty() ? "" : "\n") + QString::fromStdString(r);
    QMessageBox::warning(parent, QString::fromUtf8(text::MergeFailedTitle), why);
}

}  // namespace

void AddMergeWithAction(QMenu& menu, CTextFileViewerChildFrame* frame, CTextFileViewerApp& app, QWidget* parent)
{
    if (FilesOf(frame).empty())
        return;
    QAction* action = menu.addAction(QString::fromUtf8(text::MergeWithLabel));
    QPointer<CTextFileViewerChildFrame> window = frame;
    QObject::connect(action, &QAction::triggered, parent, [window, &app, parent] {
        if (window)
            MergeWith(window, app, parent);
    });
}
