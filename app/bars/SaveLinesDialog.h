// The Save Lines dialog: the file dialog, saving, with a "Save:" list at its
// bottom of what there is to save (the marked lines, the filter's listed
// lines, the selection), so that the user picks both in one step.
#pragma once

#include <QFileDialog>

#include <optional>
#include <string>
#include <vector>

class QComboBox;

struct CSaveLinesChoice {
    std::size_t source = 0;  // index into the sources the dialog was given
    QString path;
};

class CSaveLinesDialog : public QFileDialog {
    Q_OBJECT
public:
    CSaveLinesDialog(const std::vector<std::string>& sources, QWidget* parent = nullptr);

    QComboBox* SourceList() const { return m_pSources; }

    // Shows a new dialog and returns the source and file chosen; nothing on Cancel.
    static std::optional<CSaveLinesChoice> Run(const std::vector<std::string>& sources, QWidget* parent);

private:
    QComboBox* m_pSources;
};
