#include "textwnd/qt/FilterPane.h"

#include "engine/HighlightRules.h"
#include "engine/Utf8Text.h"
#include "textwnd/MergedWnd.h"
#include "textwnd/qt/MarksList.h"

#include <QContextMenuEvent>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLocale>
#include <QMenu>
#include <QPainter>
#include <QScrollBar>
#include <QStackedWidget>
#include <QStyle>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>

namespace {

// How often the pane looks at the size of its file: as often as the watcher notices a change.
constexpr int kFollowMs = 300;
// The bytes of a line that the pane looks at for its match: enough for any screen.
constexpr std::int64_t kMatchBytes = std::int64_t{1} << 20;

QColor ColorOf(platform::COLORREF c)
{
    return QColor(static_cast<int>(platform::RedOf(c)), static_cast<int>(platform::GreenOf(c)),
                  static_cast<int>(platform::BlueOf(c)));
}

// The index of display column `column` in a row's text (decoded UTF-8 counts each character's cells).
std::size_t IndexOfColumn(const std::u16string& text, bool decoded, std::int64_t column)
{
    if (!decoded)
        return static_cast<std::size_t>(std::clamp<std::int64_t>(column, 0, static_cast<std::int64_t>(text.size())));
    std::size_t i = 0;
    for (std::int64_t c = 0; i < text.size() && c < column;) {
        std::size_t units = 1;
        c += utf8text::Cells(utf8text::CharAt16(text.data(), text.size(), i, &units));
        i += units;
    }
    return i;
}

}  // namespace

// --- The list --------------------------------------------------------------------------------------------------

CFilterList::CFilterList(CFilterPane* pane, CFileWndWidget* textWindow) : m_pPane(pane), m_pTextWindow(textWindow)
{
    setFrameShape(QFrame::NoFrame);
    setFocusPolicy(Qt::StrongFocus);
    viewport()->setAttribute(Qt::WA_OpaquePaintEvent);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    connect(verticalScrollBar(), &QScrollBar::valueChanged, viewport(), qOverload<>(&QWidget::update));
    connect(horizontalScrollBar(), &QScrollBar::valueChanged, viewport(), qOverload<>(&QWidget::update));
}

int CFilterList::VisibleRows() const
{
    return std::max(1, viewport()->height() / std::max(1, m_pTextWindow->FileWnd().GetLineHeight()));
}

void CFilterList::UpdateRange()
{
    // The bar counts entries: the list is capped far below the range of an int.
    const std::int64_t count = m_pPane->Count();
    verticalScrollBar()->setRange(0, static_cast<int>(std::max<std::int64_t>(0, count - VisibleRows())));
    verticalScrollBar()->setPageStep(VisibleRows());
    const int columns = viewport()->width() / std::max(1, m_pTextWindow->FileWnd().GetCharWidth());
    horizontalScrollBar()->setRange(0, static_cast<int>(std::max<std::int64_t>(0, m_longest - columns + 1)));
    horizontalScrollBar()->setPageStep(std::max(1, columns));
    viewport()->update();
}

void CFilterList::SetCurrent(std::int64_t i)
{
    const std::int64_t count = m_pPane->Count();
    m_current = std::clamp<std::int64_t>(i, 0, std::max<std::int64_t>(0, count - 1));
    const int first = verticalScrollBar()->value();
    if (m_current < first)
        verticalScrollBar()->setValue(static_cast<int>(m_current));
    else if (m_current >= first + VisibleRows())
        verticalScrollBar()->setValue(static_cast<int>(m_current - VisibleRows() + 1));
    viewport()->update();
}

std::int64_t CFilterList::EntryAt(int y) const
{
    return verticalScrollBar()->value() + y / std::max(1, m_pTextWindow->FileWnd().GetLineHeight());
}

void CFilterList::paintEvent(QPaintEvent* event)
{
    CFileWnd& wnd = m_pTextWindow->FileWnd();
    QPainter p(viewport());
    p.fillRect(viewport()->rect(), ColorOf(wnd.GetPageColor()));
    CQtFilePainter painter(p, event->region(), m_fonts, wnd.GetCharWidth(), viewport());
    painter.SelectFont(wnd.GetLogFont());
    const std::int64_t first = verticalScrollBar()->value();
    const int rows = VisibleRows() + 1;
    for (int r = 0; r < rows; ++r) {
        const CFilterPane::Entry e = m_pPane->EntryAt(first + r);
        if (e.at < 0)
            break;
        CFileWnd& src = m_pPane->WindowOf(e.file);
        if (src.HasText() && e.at < src.DataEnd())
            PaintRow(painter, r, e.file, e.at);
    }
    const std::int64_t cur = m_current - first;
    if (hasFocus() && cur >= 0 && cur < rows && m_pPane->Count() > 0) {
        const int h = wnd.GetLineHeight();
        p.setPen(ColorOf(wnd.GetFontColor()));
        p.drawRect(0, static_cast<int>(cur) * h, viewport()->width() - 1, h - 1);
    }
}

// One listed line as the text window paints its rows: tabs expanded, the letter case applied, the highlight
// rules' colours, and the match inverse on top of them.
void CFilterList::PaintRow(IFilePainter& painter, int row, int file, std::int64_t at)
{
    // A merged window's row: its file's letter, then the line as that file's window reads it.
    CFileWnd& owner = m_pTextWindow->FileWnd();
    CFileWnd& wnd = m_pPane->WindowOf(file);
    const int cw = std::max(1, owner.GetCharWidth()), h = owner.GetLineHeight();
    const int left = file >= 0 ? mergedwnd::kSourceColumns * cw : 0;
    if (file >= 0) {
        const std::uint8_t letter[2] = {static_cast<std::uint8_t>(mergedwnd::Letter(file)), ' '};
        painter.TextOutNarrow(0, row * h + h, {0, row * h, left, row * h + h}, letter, 2,
                              mergedwnd::LetterColor(file, owner.GetPageColor()), owner.GetPageColor());
    }
    const std::int64_t hoff = horizontalScrollBar()->value();
    const std::int64_t columns = (viewport()->width() - left) / cw + 1;
    LineColumns c;
    TextPos mb = kNoPos, me = kNoPos;
    const bool match = m_pPane->MatchIn(at, mb, me, file);
    c.marks[0] = mb;
    c.marks[1] = me;
    std::string narrow;
    std::u16string wide;
    TextPos q = at;
    wnd.ReadLine(q, &narrow, &wide, static_cast<std::size_t>(hoff + columns), &c);
    m_longest = std::max(m_longest, c.width);
    const bool decoded = wnd.DecodesUtf8();
    const bool isWide = wnd.GetEncoding() == EncodingUtf16LE || wnd.GetEncoding() == EncodingUtf16BE;
    if (!decoded && !isWide)
        wide.assign(narrow.begin(), narrow.end());  // one unit a column either way; narrow again below
    const std::shared_ptr<const CHighlightRules>& rules = CurrentHighlightRules();
    std::vector<int> ruleOf;
    const bool ruled =
        rules && rules->Any() && wnd.LineRuleColumns(*rules, at, c, hoff, static_cast<std::size_t>(columns), ruleOf);
    // What colours column k: -2 the match, else its rule or -1.
    auto stateAt = [&](std::int64_t k) {
        if (match && k >= c.markColumns[0] && k < c.markColumns[1])
            return -2;
        return ruled ? ruleOf[static_cast<std::size_t>(k - hoff)] : -1;
    };
    const int top = row * h;
    for (std::int64_t a = hoff, b = hoff; a < hoff + columns; a = b) {
        const int state = stateAt(a);
        while (++b < hoff + columns && stateAt(b) == state) {
        }
        std::pair<platform::COLORREF, platform::COLORREF> colors{wnd.GetFontColor(), wnd.GetPageColor()};
        if (state == -2)
            colors = {wnd.GetPageColor(), wnd.GetFontColor()};
        else if (state >= 0)
            colors = wnd.RuleColors(rules->Rules()[static_cast<std::size_t>(state)]);
        const auto [fg, bg] = colors;
        const int x = left + static_cast<int>((a - hoff) * cw);
        const WRect opaque{x, top, b < hoff + columns ? left + static_cast<int>((b - hoff) * cw) : viewport()->width(),
                           top + h};
        const std::size_t from = IndexOfColumn(wide, decoded, a), to = IndexOfColumn(wide, decoded, b);
        if (to <= from) {
            if (bg != wnd.GetPageColor())
                painter.FillSolidRect(opaque, bg);  // a whole-line rule's background past the text
            continue;
        }
        if (decoded || isWide) {
            std::u16string seg = wide.substr(from, to - from);
            decoded ? wnd.ApplyTextCaseDecoded(seg) : wnd.ApplyTextCase(seg);
            decoded ? painter.TextOutCells(x, top + h, opaque, seg.data(), seg.size(), fg, bg)
                    : painter.TextOutWide(x, top + h, opaque, seg.data(), seg.size(), fg, bg);
        } else {
            std::string seg = narrow.substr(from, to - from);
            wnd.ApplyTextCase(seg);
            painter.TextOutNarrow(x, top + h, opaque, reinterpret_cast<const std::uint8_t*>(seg.data()), seg.size(), fg,
                                  bg);
        }
    }
}

void CFilterList::keyPressEvent(QKeyEvent* event)
{
    const int page = VisibleRows();
    switch (event->key()) {
    case Qt::Key_Up: SetCurrent(m_current - 1); break;
    case Qt::Key_Down: SetCurrent(m_current + 1); break;
    case Qt::Key_PageUp: SetCurrent(m_current - page); break;
    case Qt::Key_PageDown: SetCurrent(m_current + page); break;
    case Qt::Key_Home: SetCurrent(0); break;
    case Qt::Key_End: SetCurrent(m_pPane->Count() - 1); break;
    case Qt::Key_Return:
    case Qt::Key_Enter: m_pPane->ShowEntry(m_current); break;
    case Qt::Key_Escape:
        // The first Escape stops a scan under way; with none running it hides the pane.
        if (m_pPane->Running())
            m_pPane->Cancel();
        else
            m_pPane->Close();
        break;
    default: QAbstractScrollArea::keyPressEvent(event); return;
    }
    event->accept();
}

void CFilterList::mousePressEvent(QMouseEvent* event)
{
    setFocus(Qt::MouseFocusReason);
    SetCurrent(EntryAt(event->position().toPoint().y()));
}

void CFilterList::mouseDoubleClickEvent(QMouseEvent* event)
{
    const std::int64_t i = EntryAt(event->position().toPoint().y());
    if (i < m_pPane->Count()) {
        SetCurrent(i);
        m_pPane->ShowEntry(i);
    }
}

void CFilterList::contextMenuEvent(QContextMenuEvent* event)
{
    QMenu menu(this);
    QAction* all = menu.addAction(QStringLiteral("Filter All Windows"));
    if (menu.exec(event->globalPos()) == all)
        emit m_pPane->filterAllWindowsAsked();
}

void CFilterList::resizeEvent(QResizeEvent* event)
{
    QAbstractScrollArea::resizeEvent(event);
    UpdateRange();
}

// --- The overview strip ----------------------------------------------------------------------------------------

COverviewStrip::COverviewStrip(CFilterPane* pane, CFileWndWidget* textWindow, QWidget* parent)
    : QWidget(parent), m_pPane(pane), m_pTextWindow(textWindow)
{
    setFixedWidth(sizeHint().width());
    setCursor(Qt::PointingHandCursor);
    setToolTip(QStringLiteral("Where the listed lines lie in the file; click a mark to go there"));
    setAccessibleName(QStringLiteral("Overview of the listed lines"));
}

bool COverviewStrip::RowBytes(int y, std::int64_t& from, std::int64_t& to) const
{
    CFileWnd& wnd = m_pTextWindow->FileWnd();
    if (!wnd.HasText() || height() <= 0)
        return false;
    const std::int64_t start = wnd.DataStart(), span = wnd.DataEnd() - start;
    // Row y holds the bytes b with b * height / span == y (the bar's scale); the products stay inside 64 bits.
    from = start + (span * y + height() - 1) / height();
    to = start + (span * (y + 1) + height() - 1) / height();
    return span > 0;
}

void COverviewStrip::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.fillRect(rect(), palette().color(QPalette::Window).darker(105));
    const linefilter::CLineFilter& filter = m_pPane->Filter();
    const QColor mark(0xd6, 0x4a, 0x3b);  // the red of the program's pictures, seen on light and dark looks
    std::int64_t from = 0, to = 0;
    for (int y = 0; y < height(); ++y) {
        if (!RowBytes(y, from, to))
            continue;
        const std::int64_t at = filter.At(filter.LowerBound(from));
        if (at >= 0 && at < to)
            p.fillRect(1, y, width() - 2, 2, mark);  // two rows: a single line is hard to see
    }
    // The window's marks over them, in the gutter dots' colour: the left half, so a listed line stays seen.
    const CMarkList& marks = *m_pTextWindow->FileWnd().SharedMarks();
    if (marks.Empty())
        return;
    const QColor dot = CFileWndWidget::MarkColor(palette());
    for (int y = 0; y < height(); ++y)
        if (RowBytes(y, from, to) && !marks.Between(from, to).empty())
            p.fillRect(0, y, width() / 2 + 1, 3, dot);
}

// Goes to the first listed line that the clicked row, or one a few pixels below it, marks.
void COverviewStrip::mousePressEvent(QMouseEvent* event)
{
    const int y = event->position().toPoint().y();
    std::int64_t from = 0, to = 0, unused = 0;
    if (!RowBytes(std::max(0, y - 2), from, unused) || !RowBytes(std::min(height() - 1, y + 2), unused, to))
        return;
    const std::int64_t i = m_pPane->Filter().LowerBound(from);
    const std::int64_t at = m_pPane->Filter().At(i);
    if (at < 0 || at >= to)
        return;
    m_pPane->List()->SetCurrent(i);
    m_pPane->ShowEntry(i);
}

// --- The pane --------------------------------------------------------------------------------------------------

CFilterPane::CFilterPane(CFileWndWidget* textWindow, QWidget* parent)
    : QWidget(parent),
      m_pTextWindow(textWindow),
      m_pFilter(std::make_unique<linefilter::CLineFilter>()),
      m_pStatus(new QLabel(this)),
      m_pFollow(new QTimer(this))
{
    // The frame around paints nothing of its own: the pane fills what its rows leave.
    setAutoFillBackground(true);
    m_pList = new CFilterList(this, textWindow);
    m_pStrip = new COverviewStrip(this, textWindow, nullptr);
    m_pStrip->hide();
    auto* close = new QToolButton(this);
    close->setIcon(style()->standardIcon(QStyle::SP_TitleBarCloseButton));
    close->setAutoRaise(true);
    close->setToolTip(QStringLiteral("Close the filter (Escape)"));
    close->setAccessibleName(QStringLiteral("Close the filter"));
    m_pList->setAccessibleName(QStringLiteral("Filtered lines"));
    connect(close, &QToolButton::clicked, this, &CFilterPane::Close);
    m_pMarks = new CMarksList(textWindow, nullptr);
    connect(m_pMarks, &CMarksList::closeAsked, this, &CFilterPane::Close);
    m_pMarksButton = new QToolButton(this);
    m_pMarksButton->setText(QStringLiteral("Marks"));
    m_pMarksButton->setCheckable(true);
    m_pMarksButton->setAutoRaise(true);
    m_pMarksButton->setToolTip(QStringLiteral("List the marked lines in place of the filtered ones"));
    m_pMarksButton->setAccessibleName(QStringLiteral("Marks"));
    connect(m_pMarksButton, &QToolButton::toggled, this, &CFilterPane::ShowMarks);
    m_pPages = new QStackedWidget(this);
    m_pPages->addWidget(m_pList);
    m_pPages->addWidget(m_pMarks);
    auto* header = new QHBoxLayout;
    header->setContentsMargins(4, 0, 0, 0);
    header->addWidget(m_pStatus, 1);
    header->addWidget(m_pMarksButton);
    header->addWidget(close);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addLayout(header);
    layout->addWidget(m_pPages, 1);
    setFocusProxy(m_pList);
    connect(m_pFollow, &QTimer::timeout, this, &CFilterPane::FollowFile);
    // Called on the worker's thread: one queued call at a time, dropped if the pane has gone.
    m_pFilter->SetNotify([this] {
        if (!m_bNewsPosted.exchange(true))
            QMetaObject::invokeMethod(this, &CFilterPane::OnNews, Qt::QueuedConnection);
    });
}

CFilterPane::~CFilterPane()
{
    m_pFilter.reset();  // cancels and joins the worker before anything it reports to goes
    m_merged.clear();
    delete m_pStrip;
}

bool CFilterPane::Start(const linefilter::FilterQuery& query, std::string* error)
{
    CFileWnd& wnd = m_pTextWindow->FileWnd();
    if (!wnd.HasText() || !wnd.GetMappedFile()) {
        *error = "The window shows no text.";
        return false;
    }
    const linefilter::TextForm form{wnd.GetEncoding(), wnd.GetCodePage()};
    linefilter::FilterQuery plain = query;
    plain.invert = false;
    auto matcher = linefilter::MakeLineMatcher(plain, form, error);
    const platform::FileHandle file = wnd.GetMappedFile()->Handle();
    CMergedWnd* merged = wnd.GetMerged();
    if (!matcher || (!merged && !m_pFilter->Start(std::make_unique<CPreadChunkReader>(file), form, query,
                                                  wnd.DataStart(), wnd.DataEnd(), error)))
        return false;
    m_pMatcher = std::move(matcher);
    m_query = query;
    m_knownEnd = wnd.DataEnd();
    platform::GetFileIdByHandle(file, m_fileId);
    m_merged.clear();
    if (merged) {
        // Every file of the merge, each by its own window's text form (the window's own file is one of them).
        m_pFilter->Stop();
        for (int f = 0; f < merged->Count(); ++f) {
            CFileWnd& src = merged->WindowOf(f);
            Merged m;
            m.filter = std::make_unique<linefilter::CLineFilter>();
            m.filter->SetNotify([this] {
                if (!m_bNewsPosted.exchange(true))
                    QMetaObject::invokeMethod(this, &CFilterPane::OnNews, Qt::QueuedConnection);
            });
            const linefilter::TextForm srcForm{src.GetEncoding(), src.GetCodePage()};
            m.matcher = linefilter::MakeLineMatcher(plain, srcForm, error);
            if (!m.matcher || !src.GetMappedFile() ||
                !m.filter->Start(std::make_unique<CPreadChunkReader>(src.GetMappedFile()->Handle()), srcForm, query,
                                 src.DataStart(), src.DataEnd(), error)) {
                m_merged.clear();
                return false;
            }
            m.knownEnd = src.DataEnd();
            m_merged.push_back(std::move(m));
        }
    }
    m_bCancelled = false;
    ShowMarks(false);  // a new filter is to be seen
    m_pList->SetCurrent(0);
    m_pList->verticalScrollBar()->setValue(0);
    m_pFollow->start(kFollowMs);
    show();
    // The strip is scaled over one file's bytes: a merged window's rows are of several.
    m_pStrip->setVisible(m_merged.empty());
    OnNews();
    return true;
}

void CFilterPane::ShowMarks(bool on)
{
    const bool focused = m_pPages->currentWidget()->hasFocus();
    m_pMarksButton->setChecked(on);  // a call from the toggle itself comes back here no more: it is checked already
    QWidget* page = on ? static_cast<QWidget*>(m_pMarks) : m_pList;
    m_pPages->setCurrentWidget(page);
    setFocusProxy(page);
    if (on) {
        show();
        m_pMarks->Refresh();
    }
    if (focused || on)
        page->setFocus(Qt::OtherFocusReason);
}

bool CFilterPane::MarksShown() const
{
    return m_pPages->currentWidget() == m_pMarks;
}

void CFilterPane::Cancel()
{
    m_pFilter->Stop();
    for (Merged& m : m_merged)
        m.filter->Stop();
    m_pFollow->stop();
    m_bCancelled = true;
    OnNews();
}

void CFilterPane::Close()
{
    Cancel();
    hide();
    m_pStrip->hide();
    emit closed();
}

QString CFilterPane::StatusText() const
{
    linefilter::FilterStatus s = m_pFilter->Status();
    if (!m_merged.empty()) {
        // The files' counts summed; the scan's share is that of the files together.
        s = {};
        for (const Merged& m : m_merged) {
            const linefilter::FilterStatus f = m.filter->Status();
            s.count += f.count;
            s.percent += f.percent;
            s.running = s.running || f.running;
            s.capped = s.capped || f.capped;
        }
        s.percent /= static_cast<int>(m_merged.size());
    }
    const QLocale locale;
    const QString what = QString::fromStdU16String(m_query.pattern);
    QString text =
        (m_query.invert ? QStringLiteral("Lines without \"%1\": %2") : QStringLiteral("Lines with \"%1\": %2"))
            .arg(what, locale.toString(static_cast<qlonglong>(s.count)));
    if (s.running)
        text += QStringLiteral(", %1% of the file scanned").arg(s.percent);
    else if (m_bCancelled && s.percent < 100)
        text += QStringLiteral(", stopped at %1% of the file").arg(s.percent);
    if (s.capped)
        text += QStringLiteral(" (the list is capped at %1 lines)")
                    .arg(locale.toString(static_cast<qlonglong>(linefilter::CLineFilter::kMaxEntries)));
    return text;
}

void CFilterPane::OnNews()
{
    m_bNewsPosted = false;
    m_pStatus->setText(StatusText());
    m_pList->setAccessibleDescription(m_pStatus->text());  // what a screen reader says of the list: its count
    m_pList->UpdateRange();
    m_pStrip->update();
}

void CFilterPane::FollowFile()
{
    CFileWnd& wnd = m_pTextWindow->FileWnd();
    if (CMergedWnd* merged = wnd.GetMerged(); merged && !m_merged.empty()) {
        // Each file's window follows its file: what it grew by is listed on, a cut lists that file afresh.
        for (int f = 0; f < merged->Count() && f < static_cast<int>(m_merged.size()); ++f) {
            CFileWnd& src = merged->WindowOf(f);
            Merged& m = m_merged[static_cast<std::size_t>(f)];
            if (!src.HasText())
                continue;
            const TextPos end = src.DataEnd();
            if (end < m.knownEnd)
                m.filter->Rebuild(end);
            else if (end > m.knownEnd)
                m.filter->Grow(end);
            m.knownEnd = end;
        }
        return;
    }
    if (!wnd.HasText() || !wnd.GetMappedFile())
        return;
    platform::FileId id{};
    platform::GetFileIdByHandle(wnd.GetMappedFile()->Handle(), id);
    const TextPos end = wnd.DataEnd();
    if (!(id == m_fileId) || end < m_knownEnd)
        m_pFilter->Rebuild(end);
    else if (end > m_knownEnd)
        m_pFilter->Grow(end);
    m_fileId = id;
    m_knownEnd = end;
}

bool CFilterPane::Running() const
{
    if (m_merged.empty())
        return m_pFilter->Status().running;
    return std::any_of(m_merged.begin(), m_merged.end(), [](const Merged& m) { return m.filter->Status().running; });
}

std::int64_t CFilterPane::Count() const
{
    if (m_merged.empty())
        return m_pFilter->Count();
    std::int64_t n = 0;
    for (const Merged& m : m_merged)
        n += m.filter->Count();
    return n;
}

CFilterPane::Entry CFilterPane::EntryAt(std::int64_t i) const
{
    if (i < 0)
        return {};
    if (m_merged.empty()) {
        const std::int64_t at = m_pFilter->At(i);
        return {-1, at < 0 ? -1 : at};
    }
    for (int f = 0; f < static_cast<int>(m_merged.size()); ++f) {
        const std::int64_t n = m_merged[static_cast<std::size_t>(f)].filter->Count();
        if (i < n)
            return {f, m_merged[static_cast<std::size_t>(f)].filter->At(i)};
        i -= n;
    }
    return {};
}

CFileWnd& CFilterPane::WindowOf(int file) const
{
    CMergedWnd* merged = m_pTextWindow->FileWnd().GetMerged();
    return merged && file >= 0 && file < merged->Count() ? merged->WindowOf(file) : m_pTextWindow->FileWnd();
}

bool CFilterPane::MatchIn(TextPos at, TextPos& begin, TextPos& end, int file)
{
    CFileWnd& wnd = WindowOf(file);
    linefilter::ILineMatcher* matcher = file >= 0 && file < static_cast<int>(m_merged.size())
                                            ? m_merged[static_cast<std::size_t>(file)].matcher.get()
                                            : m_pMatcher.get();
    const std::uint8_t* bytes = wnd.ViewBytes();
    if (!matcher || !bytes || at < wnd.DataStart() || at >= wnd.DataEnd())
        return false;
    LineColumns c;
    TextPos q = at;
    wnd.ReadLine(q, nullptr, nullptr, 0, &c);
    const std::int64_t n = std::min(c.contentEnd - at, kMatchBytes);
    if (n <= 0)
        return false;
    matcher->Load(bytes + at, static_cast<std::size_t>(n));
    std::size_t b = 0, e = 0;
    if (!matcher->Find(0, b, e) || e <= b || static_cast<std::int64_t>(e) > n)
        return false;
    begin = at + static_cast<TextPos>(b);
    end = at + static_cast<TextPos>(e);
    return true;
}

void CFilterPane::ShowEntry(std::int64_t i)
{
    CFileWnd& wnd = m_pTextWindow->FileWnd();
    if (CMergedWnd* merged = wnd.GetMerged(); merged && !m_merged.empty()) {
        const Entry e = EntryAt(i);
        if (e.at < 0)
            return;
        TextPos b = kNoPos, end = kNoPos;
        if (!MatchIn(e.at, b, end, e.file))
            b = end = kNoPos;
        merged->ShowRow(e.file, e.at, b, end);
        m_pTextWindow->viewport()->update();
        return;
    }
    const std::int64_t at = m_pFilter->At(i);
    if (at < 0 || !wnd.HasText() || at >= wnd.DataEnd())
        return;
    TextPos b = kNoPos, e = kNoPos;
    if (MatchIn(at, b, e)) {
        const std::int64_t units = (e - b) / wnd.CodeUnitSize();
        wnd.SetHighlight(b, units);
        wnd.ShowMatch(b, units);
    } else {
        wnd.SetHighlight(kNoPos, 0);
        wnd.ShowMatch(at, 0);
    }
    m_pTextWindow->viewport()->update();
}
