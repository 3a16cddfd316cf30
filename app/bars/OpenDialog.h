// The Open dialog: the file dialog with a "File Encoding:" list at its bottom,
// with which the user says how the chosen file is to be read.
#pragma once

#include <QFileDialog>

#include <optional>

class QComboBox;

struct COpenChoice {
    QString path;      // as the dialog returned it
    int encoding = 0;  // index of the encoding list: the encoding id it stands for
};

class COpenDialog : public QFileDialog {
    Q_OBJECT
public:
    explicit COpenDialog(QWidget* parent = nullptr);

    QComboBox* EncodingList() const { return m_pEncoding; }
    int ChosenEncoding() const;
    // The ssh:// name typed into the name box when the dialog was accepted with one; empty otherwise.
    const QString& RemoteName() const { return m_remoteName; }

    // Shows a new dialog (so the list starts at its first entry every time)
    // and returns the chosen file and encoding; nothing on Cancel.
    static std::optional<COpenChoice> Run(QWidget* parent);

    // A file-type entry as the dialog is given it: the shown name, then the
    // pattern that selects on this system, where "*.*" (every file, the dot
    // optional) is "*".
    static QString FilterEntry(const char* name, const char* pattern);

protected:
    // A name on another machine is no file here to check: it is taken as typed.
    void accept() override;

private:
    // The ssh:// name in the name box, trimmed; empty when the box holds none.
    QString TypedRemoteName() const;

    QComboBox* m_pEncoding;
    QString m_remoteName;
};
