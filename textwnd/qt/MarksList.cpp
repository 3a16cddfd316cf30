#include "textwnd/qt/MarksList.h"

#include "textwnd/qt/FileWndWidget.h"

#include <QHeaderView>
#include <QKeyEvent>
#include <QTimer>

#include <algorithm>
#include <string>

namespace {

// How often a showing list looks at the marks: a change made in another window is seen within this.
constexpr int kWatchMs = 250;
// The characters of a line that a row shows: more than any pane is wide.
constexpr std::size_t kRowChars = 400;
// The item data that holds a row's mark.
constexpr int kMarkRole = Qt::UserRole;

}  // namespace

CMarksList::CMarksList(CFileWndWidget* textWindow, QWidget* parent)
    : QTreeWidget(parent), m_pTextWindow(textWindow), m_pWatch(new QTimer(this))
{
    setColumnCount(3);
    setHeaderLabels({QStringLiteral("Line"), QStringLiteral("Note"), QStringLiteral("Text")});
    setRootIsDecorated(false);
    setUniformRowHeights(true);
    setAllColumnsShowFocus(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setFrameShape(QFrame::NoFrame);
    header()->setStretchLastSection(true);
    setAccessibleName(QStringLiteral("Marked lines"));
    setToolTip(QStringLiteral("Return or a double-click shows the line; Delete takes its mark away"));
    connect(m_pWatch, &QTimer::timeout, this, &CMarksList::Refresh);
}

void CMarksList::Refresh()
{
    CFileWnd& wnd = m_pTextWindow->FileWnd();
    const std::shared_ptr<CMarkList>& marks = wnd.SharedMarks();
    const TextPos end = wnd.HasText() ? wnd.DataEnd() : kNoPos;
    if (marks != m_pListed || marks->Version() != m_nListedVersion || end != m_listedEnd) {
        Rebuild();
        return;
    }
    // The same rows: only numbers the line index has counted since are new.
    if (!m_bUncounted)
        return;
    m_bUncounted = false;
    for (int i = 0; i < topLevelItemCount(); ++i) {
        QTreeWidgetItem* row = topLevelItem(i);
        const std::int64_t number =
            wnd.LineNumberOf(static_cast<TextPos>(row->data(LineColumn, kMarkRole).toLongLong()));
        m_bUncounted = m_bUncounted || number <= 0;
        if (number > 0)
            row->setText(LineColumn, QString::number(number));
    }
    resizeColumnToContents(LineColumn);
}

void CMarksList::Rebuild()
{
    CFileWnd& wnd = m_pTextWindow->FileWnd();
    m_pListed = wnd.SharedMarks();
    m_nListedVersion = m_pListed->Version();
    m_listedEnd = wnd.HasText() ? wnd.DataEnd() : kNoPos;
    m_bUncounted = false;
    const TextPos current = CurrentMark();
    const int currentRow = currentIndex().row();
    QList<QTreeWidgetItem*> rows;
    int keep = -1;
    for (const CMark& mark : m_pListed->All()) {
        // A mark past the end is the window's to drop when it notices the truncation: not a line to show.
        if (!wnd.HasText() || mark.pos >= wnd.DataEnd())
            break;
        const std::int64_t number = wnd.LineNumberOf(mark.pos);
        m_bUncounted = m_bUncounted || number <= 0;
        std::string narrow;
        std::u16string wide;
        TextPos p = mark.pos;
        wnd.ReadLine(p, &narrow, &wide, kRowChars);
        // Narrow text is Windows-1252 unless decoded: Latin-1 reads it but for a few punctuation marks.
        const QString text = wide.empty() && !narrow.empty() ? QString::fromLatin1(narrow.data(), narrow.size())
                                                             : QString::fromStdU16String(wide);
        auto* row = new QTreeWidgetItem(
            {number > 0 ? QString::number(number) : QStringLiteral("?"), QString::fromStdString(mark.note), text});
        row->setData(LineColumn, kMarkRole, QVariant::fromValue<qlonglong>(mark.pos));
        row->setTextAlignment(LineColumn, Qt::AlignRight | Qt::AlignVCenter);
        if (mark.pos == current)
            keep = static_cast<int>(rows.size());
        rows.push_back(row);
    }
    clear();
    addTopLevelItems(rows);
    // The row that was current stays so; a removed one leaves the focus where it was, on the row that follows.
    if (keep < 0 && !rows.isEmpty() && currentRow >= 0)
        keep = std::min(currentRow, static_cast<int>(rows.size()) - 1);
    if (keep < 0 && !rows.isEmpty())
        keep = 0;
    if (keep >= 0)
        setCurrentItem(rows[keep]);
    resizeColumnToContents(LineColumn);
    resizeColumnToContents(NoteColumn);  // notes are short: each read whole, the text after them
    setAccessibleDescription(rows.size() == 1 ? QStringLiteral("1 marked line")
                                              : QStringLiteral("%1 marked lines").arg(rows.size()));
}

TextPos CMarksList::CurrentMark() const
{
    const QTreeWidgetItem* row = currentItem();
    return row ? static_cast<TextPos>(row->data(LineColumn, kMarkRole).toLongLong()) : kNoPos;
}

void CMarksList::ShowCurrent()
{
    const TextPos mark = CurrentMark();
    CFileWnd& wnd = m_pTextWindow->FileWnd();
    if (mark == kNoPos || !wnd.Marks().IsMarked(mark))
        return;
    wnd.ShowMark(mark);
    m_pTextWindow->viewport()->update();
    m_pTextWindow->setFocus(Qt::OtherFocusReason);
    emit markShown();
}

void CMarksList::RemoveCurrent()
{
    const TextPos mark = CurrentMark();
    if (mark == kNoPos)
        return;
    m_pTextWindow->FileWnd().Marks().Remove(mark);
    m_pTextWindow->FileWnd().Invalidate();
    m_pTextWindow->viewport()->update();
    Refresh();
}

void CMarksList::keyPressEvent(QKeyEvent* event)
{
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter: ShowCurrent(); break;
    case Qt::Key_Delete: RemoveCurrent(); break;
    case Qt::Key_Escape: emit closeAsked(); break;
    default: QTreeWidget::keyPressEvent(event); return;
    }
    event->accept();
}

void CMarksList::mouseDoubleClickEvent(QMouseEvent* event)
{
    QTreeWidget::mousePressEvent(event);  // the row under the pointer current first
    if (itemAt(event->position().toPoint()))
        ShowCurrent();
    event->accept();
}

void CMarksList::showEvent(QShowEvent* event)
{
    QTreeWidget::showEvent(event);
    Refresh();
    m_pWatch->start(kWatchMs);
}

void CMarksList::hideEvent(QHideEvent* event)
{
    m_pWatch->stop();
    QTreeWidget::hideEvent(event);
}
