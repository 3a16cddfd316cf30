// The About box, the Open dialog with its encoding list, the Find dialog and the Font dialog.
#include "app/bars/AboutDlg.h"
#include "app/bars/FindDialog.h"
#include "app/bars/OpenDialog.h"
#include "app/shell/FontDialog.h"
#include "view/StringTable.h"

#include <QCheckBox>
#include <QColorDialog>
#include <QComboBox>
#include <QDesktopServices>
#include <QFontDialog>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPushButton>
#include <QRadioButton>
#include <QtTest>

class MailSink : public QObject {
    Q_OBJECT
public:
    QList<QUrl> urls;
public slots:
    void open(const QUrl& url) { urls.append(url); }
};

namespace {

QStringList comboItems(const QComboBox* combo)
{
    QStringList items;
    for (int i = 0; combo && i < combo->count(); ++i)
        items << combo->itemText(i);
    return items;
}

// The names the dialog's file list shows in its current folder, sorted.
QStringList listedNames(const QFileDialog& dialog)
{
    const auto* view = dialog.findChild<QListView*>("listView");
    QStringList names;
    for (int r = 0; view && r < view->model()->rowCount(view->rootIndex()); ++r)
        names << view->model()->index(r, 0, view->rootIndex()).data().toString();
    names.sort();
    return names;
}

platform::LOGFONTW LogFontOf(const char16_t* face, int weight, bool italic)
{
    platform::LOGFONTW font{};
    font.lfHeight = -13;
    font.lfWeight = weight;
    font.lfItalic = italic ? 1 : 0;
    std::char_traits<char16_t>::copy(font.lfFaceName, face, std::char_traits<char16_t>::length(face));
    return font;
}

}  // namespace

class DialogsTest : public QObject {
    Q_OBJECT

private slots:
    void aboutBox()
    {
        CAboutDlg dialog("091011");
        QCOMPARE(dialog.windowTitle(), QStringLiteral("About Ostrel File Viewer"));
        QCOMPARE(dialog.findChild<QLabel*>("version")->text(), QStringLiteral("Ostrel File Viewer, Version 091011"));
        auto* ok = dialog.findChild<QPushButton*>("ok");
        QVERIFY(ok->isDefault());
        QCOMPARE(dialog.focusWidget(), ok);
        QVERIFY(!dialog.findChild<QLabel*>("picture")->pixmap().isNull());
        // Every control inside the dialog, whose size follows the font.
        const QFont font = QApplication::font();
        for (int scale : {1, 2}) {
            QFont scaled = font;
            scaled.setPointSizeF(font.pointSizeF() * scale);
            QApplication::setFont(scaled);
            CAboutDlg big("000100");
            QApplication::setFont(font);
            QVERIFY(std::abs(double(big.width()) / dialog.width() - scale) < 0.25);
            QVERIFY(std::abs(double(big.height()) / dialog.height() - scale) < 0.25);
            for (QWidget* child : big.findChildren<QWidget*>())
                QVERIFY(big.rect().contains(child->geometry()));
        }

        // The Tab key reaches the links from OK; Return opens the mail link's address.
        MailSink sink;
        QDesktopServices::setUrlHandler("mailto", &sink, "open");
        dialog.show();
        QVERIFY(QTest::qWaitForWindowActive(&dialog));
        // (A label takes the focus first, then its link.)
        for (int i = 0; i < 4; ++i)
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        auto* mail = dialog.findChild<QLabel*>("mailLink");
        QCOMPARE(QApplication::focusWidget(), mail);
        QCOMPARE(mail->selectedText(), QStringLiteral("support@example.org"));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        QDesktopServices::unsetUrlHandler("mailto");
        QCOMPARE(sink.urls, QList<QUrl>{QUrl("mailto:support@example.org")});
    }

    void openDialogLists()
    {
        QTemporaryDir dir;
        for (const char* name : {"README", "a.txt", "b.log", "c.gz", "d.zst"}) {
            QFile file(dir.filePath(name));
            QVERIFY(file.open(QIODevice::WriteOnly));
        }
        COpenDialog dialog;
        QCOMPARE(comboItems(dialog.EncodingList()),
                 QStringList({text::OpenEncodingEntries[0], text::OpenEncodingEntries[1], text::OpenEncodingEntries[2],
                              text::OpenEncodingEntries[3]}));
        QCOMPARE(dialog.ChosenEncoding(), 0);
        const auto* types = dialog.findChild<QComboBox*>("fileTypeCombo");
        QCOMPARE(comboItems(types), QStringList({"All Files (*.*)", "Text Files (*.txt)", "Log Files (*.log)",
                                                 "Compressed Logs (*.gz *.xz *.zst *.bz2)"}));
        QCOMPARE(types->currentIndex(), 0);
        // The list is the last row, under the file types.
        auto* grid = qobject_cast<QGridLayout*>(dialog.layout());
        int row = -1, typesRow = -1, unused;
        grid->getItemPosition(grid->indexOf(dialog.EncodingList()), &row, &unused, &unused, &unused);
        grid->getItemPosition(grid->indexOf(types), &typesRow, &unused, &unused, &unused);
        QVERIFY(row == grid->rowCount() - 1 && row > typesRow);

        dialog.setDirectory(dir.path());
        dialog.show();
        QTRY_COMPARE(listedNames(dialog), QStringList({"README", "a.txt", "b.log", "c.gz", "d.zst"}));
        dialog.selectNameFilter(dialog.nameFilters().at(1));
        QTRY_COMPARE(listedNames(dialog), QStringList({"a.txt"}));
        dialog.selectNameFilter(dialog.nameFilters().at(3));
        QTRY_COMPARE(listedNames(dialog), QStringList({"c.gz", "d.zst"}));
    }

    // The user picks another face in the list with the mouse and presses Enter: the dialog is accepted (OK is
    // the default button, not the colour button) and the weight and slant the user had are kept.
    void fontDialogKeepsTheStyleAndEnterConfirms_data()
    {
        QTest::addColumn<int>("weight");
        QTest::addColumn<bool>("italic");
        QTest::newRow("regular") << 400 << false;
        QTest::newRow("bold") << 700 << false;
        QTest::newRow("bold italic") << 700 << true;
    }

    void fontDialogKeepsTheStyleAndEnterConfirms()
    {
        QFETCH(int, weight);
        QFETCH(bool, italic);
        CFontDialog dialog(LogFontOf(u"Liberation Mono", weight, italic), 0x00ffffff);
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        QListView* families = nullptr;
        QModelIndex target;
        for (QListView* list : dialog.FontChooser()->findChildren<QListView*>()) {
            const QModelIndexList hits = list->model()->match(list->model()->index(0, 0), Qt::DisplayRole,
                                                              "DejaVu Sans Mono", 1, Qt::MatchExactly);
            if (!hits.isEmpty())
                families = list, target = hits.first();
        }
        QVERIFY(families);
        families->scrollTo(target);
        QTest::mouseClick(families->viewport(), Qt::LeftButton, {}, families->visualRect(target).center());
        QCOMPARE(dialog.FontChooser()->currentFont().family(), QString("DejaVu Sans Mono"));
        QTRY_COMPARE(dialog.FontChooser()->currentFont().italic(), italic);

        bool colorDialogShown = false;
        QTimer guard;  // a colour dialog would block the test: note it and close it
        connect(&guard, &QTimer::timeout, [&] {
            if (auto* chooser = qobject_cast<QColorDialog*>(QApplication::activeModalWidget())) {
                colorDialogShown = true;
                chooser->reject();
            }
        });
        guard.start(20);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        QVERIFY(!colorDialogShown);
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        const platform::LOGFONTW chosen = dialog.GetLogFont();
        QCOMPARE(std::u16string(chosen.lfFaceName), std::u16string(u"DejaVu Sans Mono"));
        QCOMPARE(chosen.lfWeight >= 600, weight >= 600);
        QCOMPARE(chosen.lfItalic != 0, italic);
    }

    void findDialog_data()
    {
        QTest::addColumn<bool>("matchCase");
        QTest::addColumn<bool>("up");
        QTest::newRow("down") << false << false;
        QTest::newRow("up, match case") << true << true;
    }

    void findDialog()
    {
        QFETCH(bool, matchCase);
        QFETCH(bool, up);
        CFindDialog dialog;
        QVERIFY(!dialog.isModal());
        QCOMPARE(dialog.findChildren<QCheckBox*>().size(), 1);  // Match case only, no whole word
        QSignalSpy find(&dialog, &CFindDialog::findNext);
        QSignalSpy closing(&dialog, &CFindDialog::closing);
        dialog.show();
        auto* next = dialog.findChild<QPushButton*>("findNext");
        auto* edit = dialog.findChild<QLineEdit*>("findText");
        QVERIFY(!next->isEnabled());
        QTest::keyClicks(edit, QString(100, 'x'));
        QCOMPARE(edit->text().size(), 80);
        dialog.SetFindText("");
        QVERIFY(!next->isEnabled());
        dialog.SetFindText("abc");
        dialog.SetMatchCase(matchCase);
        QVERIFY(next->isEnabled());
        QCOMPARE(find.count(), 0);  // setters never search

        if (up)
            dialog.findChild<QRadioButton*>("up")->click();
        QTest::mouseClick(next, Qt::LeftButton);
        QCOMPARE(find.count(), 1);
        QCOMPARE(find[0], QVariantList({"abc", matchCase, !up}));
        QTest::keyClick(edit, Qt::Key_Return);  // the default button
        QCOMPARE(find.count(), 2);
        QCOMPARE(closing.count(), 0);
        dialog.findChild<QPushButton*>("cancel")->click();
        QCOMPARE(closing.count(), 1);
    }
};

QTEST_MAIN(DialogsTest)
#include "DialogsTest.moc"
