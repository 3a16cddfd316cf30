#include "textwnd/qt/AllWindowsList.h"

#include "textwnd/qt/FileWndWidget.h"

#include <QHeaderView>
#include <QKeyEvent>
#include <QTimer>

#include <algorithm>
#include <string>

namespace {

// How often the list looks at its windows' files (as the filter pane does).
constexpr int kFollowMs = 500;
// The characters of a line that a row shows: more than any pane is wide.
constexpr std::size_t kRowChars = 400;
// The item data: the section a row belongs to, and a line row's start.
constexpr int kSectionRole = Qt::UserRole;
constexpr int kLineRole = Qt::UserRole + 1;

}  // namespace

CAllWindowsList::CAllWindowsList(QWidget* parent) : QTreeWidget(parent), m_pFollow(new QTimer(this))
{
    setColumnCount(1);
    setHeaderHidden(true);
    setUniformRowHeights(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setFrameShape(QFrame::NoFrame);
    setAccessibleName(QStringLiteral("Lines shown in every window"));
    setToolTip(QStringLiteral("Return or a double-click shows the line in its window"));
    connect(m_pFollow, &QTimer::timeout, this, &CAllWindowsList::FollowFiles);
}

CAllWindowsList::~CAllWindowsList()
{
    m_sections.clear();  // each scan joined while the list can still take its news
}

void CAllWindowsList::Start(const std::vector<Source>& windows, const shownset::FilterStack& stack)
{
    m_sections.clear();
    clear();
    m_stack = stack;
    for (const Source& source : windows) {
        if (!source.window)
            continue;
        auto section = std::make_unique<Section>();
        section->window = source.window;
        section->title = source.title;
        section->id = m_nextId++;
        section->header = new QTreeWidgetItem(this, {source.title});
        section->header->setData(0, kSectionRole, QVariant::fromValue<qulonglong>(section->id));
        QFont bold = font();
        bold.setBold(true);
        section->header->setFont(0, bold);
        section->header->setExpanded(true);
        // A closed window takes its rows with it; the section goes once the window is gone.
        connect(source.window, &QObject::destroyed, this,
                [this] { QTimer::singleShot(0, this, &CAllWindowsList::DropClosed); });
        StartSection(*section);
        m_sections.push_back(std::move(section));
    }
    if (topLevelItemCount() > 0)
        setCurrentItem(topLevelItem(0));
    m_pFollow->start(kFollowMs);
}

void CAllWindowsList::StartSection(Section& section)
{
    qDeleteAll(section.header->takeChildren());
    section.rows = 0;
    section.scan = {};  // the last scan joined first
    CFileWnd& wnd = section.window->FileWnd();
    const std::uint64_t id = section.id;
    std::shared_ptr<std::atomic<bool>> posted = section.newsPosted;
    posted->store(false);
    section.scan = wnd.StartDetachedShownSet(m_stack, [this, id, posted] {
        // At most one call waits at a time: the next news finds everything the last one would have.
        if (!posted->exchange(true))
            QMetaObject::invokeMethod(
                this, [this, id] { OnNews(id); }, Qt::QueuedConnection);
    });
    section.next = wnd.HasText() ? wnd.DataStart() : kNoPos;
    UpdateHeader(section);
}

void CAllWindowsList::OnNews(std::uint64_t id)
{
    for (const std::unique_ptr<Section>& section : m_sections)
        if (section->id == id) {
            section->newsPosted->store(false);
            ListMore(*section);
            UpdateHeader(*section);
            return;
        }
}

void CAllWindowsList::ListMore(Section& section)
{
    if (!section.window || !section.scan.set || section.next == kNoPos)
        return;
    CFileWnd& wnd = section.window->FileWnd();
    if (!wnd.HasText())
        return;
    const shownset::CShownSet& set = *section.scan.set;
    // Only what the scan has decided for good, and what the window has mapped.
    const TextPos final = std::min<TextPos>(set.Status().scannedTo, wnd.DataEnd());
    const QBrush dim = palette().brush(QPalette::Disabled, QPalette::Text);
    QList<QTreeWidgetItem*> rows;
    TextPos p = section.next;
    std::string narrow;
    std::u16string wide;
    while (section.rows + rows.size() < kMaxRows) {
        const shownset::ShownRun run = set.RunAtOrAfter(p);
        if (run.start < 0 || run.start >= final)
            break;
        p = std::max<TextPos>(p, run.start);
        bool stopped = false;
        while (p < run.end && section.rows + rows.size() < kMaxRows) {
            TextPos q = p;
            narrow.clear();
            wide.clear();
            wnd.ReadLine(q, &narrow, &wide, kRowChars);
            if (q <= p || q > final) {  // a line the scan has not decided yet
                stopped = true;
                break;
            }
            // Narrow text is Windows-1252 unless decoded: Latin-1 reads it but for a few punctuation marks.
            const QString text = wide.empty() && !narrow.empty() ? QString::fromLatin1(narrow.data(), narrow.size())
                                                                 : QString::fromStdU16String(wide);
            auto* row = new QTreeWidgetItem({text});
            row->setData(0, kSectionRole, QVariant::fromValue<qulonglong>(section.id));
            row->setData(0, kLineRole, QVariant::fromValue<qlonglong>(p));
            if (run.context)
                row->setForeground(0, dim);
            rows.push_back(row);
            p = q;
        }
        if (stopped || p < run.end)
            break;
    }
    section.next = p;
    section.rows += static_cast<int>(rows.size());
    section.header->addChildren(rows);
}

void CAllWindowsList::UpdateHeader(Section& section)
{
    QString text = section.title;
    if (!section.scan.set) {
        text += QStringLiteral(": no lines to list");
    } else {
        const shownset::ShownStatus status = section.scan.set->Status();
        text += QStringLiteral(": %1 of %2 lines shown").arg(status.shownLines).arg(status.totalLines);
        if (status.running)
            text += QStringLiteral(", scanning (%1%)").arg(status.percent);
        if (section.rows >= kMaxRows)
            text += QStringLiteral(", the first %1 listed").arg(kMaxRows);
    }
    section.header->setText(0, text);
    std::int64_t lines = 0;
    for (const std::unique_ptr<Section>& s : m_sections)
        lines += s->rows;
    setAccessibleDescription(QStringLiteral("%1 lines listed from %2 windows").arg(lines).arg(m_sections.size()));
}

bool CAllWindowsList::Running() const
{
    for (const std::unique_ptr<Section>& section : m_sections)
        if (section->scan.set && section->scan.set->Status().running)
            return true;
    return false;
}

void CAllWindowsList::FollowFiles()
{
    DropClosed();
    for (const std::unique_ptr<Section>& section : m_sections) {
        CFileWnd& wnd = section->window->FileWnd();
        if (!wnd.HasText() || !wnd.GetMappedFile()) {
            if (section->scan.set)
                StartSection(*section);  // the file went: its rows go with it
            continue;
        }
        platform::FileId id{};
        platform::GetFileIdByHandle(wnd.GetMappedFile()->Handle(), id);
        const TextPos end = wnd.DataEnd();
        if (!section->scan.set || !(id == section->scan.fileId) || end < section->scan.end) {
            // Cut or replaced: what was listed may no longer be there.
            StartSection(*section);
        } else if (end > section->scan.end) {
            section->scan.set->Grow(end);
            section->scan.end = end;
        }
        // Lines the window had not mapped yet when the news came.
        ListMore(*section);
        UpdateHeader(*section);
    }
}

void CAllWindowsList::DropClosed()
{
    const auto gone = std::remove_if(m_sections.begin(), m_sections.end(), [](const std::unique_ptr<Section>& s) {
        if (s->window)
            return false;
        delete s->header;
        s->header = nullptr;
        return true;
    });
    m_sections.erase(gone, m_sections.end());
}

CFileWndWidget* CAllWindowsList::WindowOf(const QTreeWidgetItem* row) const
{
    if (!row || !row->parent())
        return nullptr;
    const std::uint64_t id = row->data(0, kSectionRole).toULongLong();
    for (const std::unique_ptr<Section>& section : m_sections)
        if (section->id == id)
            return section->window;
    return nullptr;
}

TextPos CAllWindowsList::LineOf(const QTreeWidgetItem* row) const
{
    return row && row->parent() ? static_cast<TextPos>(row->data(0, kLineRole).toLongLong()) : kNoPos;
}

QTreeWidgetItem* CAllWindowsList::HeaderOf(const CFileWndWidget* window) const
{
    for (const std::unique_ptr<Section>& section : m_sections)
        if (section->window == window)
            return section->header;
    return nullptr;
}

void CAllWindowsList::ChooseCurrent()
{
    CFileWndWidget* window = WindowOf(currentItem());
    const TextPos line = LineOf(currentItem());
    if (window && line != kNoPos)
        emit lineChosen(window, line);
}

void CAllWindowsList::keyPressEvent(QKeyEvent* event)
{
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        if (currentItem() && !currentItem()->parent())
            currentItem()->setExpanded(!currentItem()->isExpanded());
        else
            ChooseCurrent();
        break;
    case Qt::Key_Escape: emit closeAsked(); break;
    default: QTreeWidget::keyPressEvent(event); return;
    }
    event->accept();
}

void CAllWindowsList::mouseDoubleClickEvent(QMouseEvent* event)
{
    QTreeWidgetItem* row = itemAt(event->position().toPoint());
    if (row && row->parent()) {
        setCurrentItem(row);
        ChooseCurrent();
        event->accept();
        return;
    }
    QTreeWidget::mouseDoubleClickEvent(event);
}
