// Windows of several files in the last session: a log shown with its older
// parts and a merged window come back in the next run as they were left.
#include "ShellTestUtil.h"

#include "app/bars/MessageStrip.h"
#include "textwnd/FileWnd.h"
#include "textwnd/MergedWnd.h"
#include "view/StringTable.h"
#include "view/TextFileView.h"

#include <fstream>

using namespace shelltest;

namespace {

// Records one second apart from `first` seconds past ten o'clock.
QByteArray Records(const char* name, int first, int count)
{
    QByteArray text;
    for (int i = first; i < first + count; ++i)
        text += QString::asprintf("2026-12-07 %02d:%02d:%02d.000 INFO %s record %d\n", 10 + i / 3600, i / 60 % 60,
                                  i % 60, name, i)
                    .toUtf8();
    return text;
}

CFileWnd& WndOf(CTextFileViewerChildFrame* frame)
{
    return frame->GetViewWidget()->TextWindow()->FileWnd();
}

const CMergedWnd* MergedOf(CTextFileViewerChildFrame* frame)
{
    return frame ? WndOf(frame).GetMerged() : nullptr;
}

}  // namespace

class SessionSetsTest : public QObject {
    Q_OBJECT

private slots:
    void init() { Reset(); }

    // The log with its older parts, left on a row of the older part, reopens with them at that row although
    // Include Rotated Parts is off by then and the log was rotated meanwhile (the row's part under a new name); the merged window, left at its end, reopens merging the same files
    // at their new end; a merged window whose files are gone, or one that cannot be merged again, is not made,
    // and one notice says so.
    void aRotatedLogAndAMergeComeBackAsTheyWere()
    {
        const std::string older = WriteFile("app.log.1", Records("old", 0, 3000));
        const std::string log = WriteFile("app.log", Records("new", 3000, 3000));
        const std::string m1 = WriteFile("m1.log", Records("m1", 0, 500));
        const std::string m2 = WriteFile("m2.log", Records("m2", 250, 500));
        const std::string g1 = WriteFile("g1.log", Records("g1", 0, 10));
        const std::string g2 = WriteFile("g2.log", Records("g2", 0, 10));
        const std::string h1 = WriteFile("h1.log", Records("h1", 0, 10));
        const std::string h2 = WriteFile("h2.log", Records("h2", 0, 10));
        Settings().setValue("Log/IncludeRotated", 1);
        Settings().setValue("Session/RestoreAtStart", 1);
        TextPos top = 0;
        {
            Started first({log});
            QVERIFY(first.ok && first.Active());
            CTextFileViewerChildFrame* set = first.ActiveFrame();
            QVERIFY(MergedOf(set) && MergedOf(set)->IsSequence());
            QTest::keyClick(set->GetViewWidget()->TextWindow(), Qt::Key_Home);
            for (int i = 0; i < 3; ++i)
                QTest::keyClick(set->GetViewWidget()->TextWindow(), Qt::Key_PageDown);
            QCOMPARE(MergedOf(set)->PathOf(MergedOf(set)->TopFile()), older);
            top = MergedOf(set)->Top().pos;
            QVERIFY(top > 0);

            CTextFileViewerChildFrame* merge = first.app->OpenMerged({m1, m2});
            QVERIFY(merge && first.Settle());
            QTest::keyClick(merge->GetViewWidget()->TextWindow(), Qt::Key_End);
            QVERIFY(MergedOf(merge)->AtEnd());
            QVERIFY(first.app->OpenMerged({g1, g2}) && first.Settle());
            QVERIFY(first.app->OpenMerged({h1, h2}) && first.Settle());
            QVERIFY(first.Frame()->close());
        }
        Settings().setValue("Log/IncludeRotated", 0);
        const std::string oldest = older.substr(0, older.size() - 1) + "2";
        QVERIFY(QFile::rename(QFile::decodeName(older.c_str()), QFile::decodeName(oldest.c_str())));
        QVERIFY(QFile::rename(QFile::decodeName(log.c_str()), QFile::decodeName(older.c_str())));
        WriteFile("app.log", Records("newer", 6000, 10));
        std::ofstream(m1, std::ios::app) << Records("late", 900, 40).toStdString();
        QVERIFY(QFile::remove(QFile::decodeName(g1.c_str())) && QFile::remove(QFile::decodeName(g2.c_str())));
        std::ofstream(h2, std::ios::trunc) << "no times here\n";

        Started second;
        QVERIFY(second.ok && second.Active());
        Idle();  // painted
        const QList<CTextFileViewerChildFrame*> frames = second.Frame()->GetChildFrames();
        QCOMPARE(frames.size(), 2);
        const CMergedWnd* set = MergedOf(frames[0]);
        QVERIFY(set && set->IsSequence() && set->Count() == 3);
        QCOMPARE(set->PathOf(set->TopFile()), oldest);
        QCOMPARE(set->Top().pos, top);

        const CMergedWnd* merge = MergedOf(frames[1]);
        QVERIFY(merge && !merge->IsSequence() && merge->Count() == 2);
        QCOMPARE(merge->PathOf(0), m1);
        QCOMPARE(merge->PathOf(1), m2);
        QVERIFY(merge->AtEnd());
        // The end is the new end: the last row is the last of the lines added to m1.
        second.Frame()->ActivateChildFrame(frames[1]);
        Idle();
        const std::vector<CMergedWnd::PaintedRow>& rows = merge->PaintedRows();
        auto last = std::find_if(rows.rbegin(), rows.rend(), [](const auto& r) { return r.file >= 0; });
        QVERIFY(last != rows.rend());
        QCOMPARE(last->file, 0);
        QCOMPARE(last->next, static_cast<TextPos>(QFileInfo(QFile::decodeName(m1.c_str())).size()));

        // One notice says what did not come back, and why.
        QStringList notices;
        for (CTextFileViewerChildFrame* frame : frames)
            if (const QString text = frame->GetViewWidget()->MessageStrip()->Text(); !text.isEmpty())
                notices << text;
        QCOMPARE(notices, QStringList(QString::fromStdString(std::string(text::SessionFilesGone) + g1 + ", " + g2 +
                                                             "; " + text::SessionNotMerged + h2 + ": " +
                                                             MergeFailureReason(CMergedWnd::Failure::Why::NoFormat))));
    }
};

OSTREL_SHELL_TEST_MAIN(SessionSetsTest)

#include "SessionSetsTest.moc"
