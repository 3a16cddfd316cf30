#include "view/qt/TimelineBand.h"

#include "engine/HighlightRules.h"
#include "textwnd/qt/FileWndWidget.h"
#include "view/StringTable.h"

#include <QDateTime>
#include <QHelpEvent>
#include <QImage>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QToolTip>

#include <algorithm>
#include <cmath>
#include <set>

namespace {

bool g_shown = false;
std::set<CTimelineBand*>& Bands()
{
    static std::set<CTimelineBand*> bands;
    return bands;
}

QColor ColourOf(platform::COLORREF c)
{
    return QColor(platform::RedOf(c), platform::GreenOf(c), platform::BlueOf(c));
}

QColor Mix(const QColor& a, const QColor& b)
{
    return QColor((a.red() + b.red()) / 2, (a.green() + b.green()) / 2, (a.blue() + b.blue()) / 2);
}

// Bottom to top: the severe levels first, records without a level last.
constexpr int kStackOrder[] = {1, 2, 3, 4, 5, 6, 0};
const char* const kLevelNames[] = {nullptr, "fatal", "error", "warn", "info", "debug", "trace"};

QString TimeText(std::int64_t micros)
{
    return QDateTime::fromMSecsSinceEpoch(micros / 1000).toString(QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz"));
}

QString LevelName(int level)
{
    return QString::fromUtf8(level == 0 ? text::TimelineNoLevel : kLevelNames[level]);
}

}  // namespace

CTimelineBand::CTimelineBand(CFileWndWidget* textWindow, QWidget* parent) : QWidget(parent), m_pTextWindow(textWindow)
{
    Bands().insert(this);
    setObjectName(QStringLiteral("TimelineBand"));
    setAccessibleName(QString::fromUtf8(text::TimelineName));
    setFixedHeight(kHeight);
    setMouseTracking(false);
    setAttribute(Qt::WA_OpaquePaintEvent);
    connect(textWindow, &CFileWndWidget::summariesNews, this, [this] {
        m_bStale = true;
        Sync();
    });
    connect(textWindow, &CFileWndWidget::textPainted, this, [this] { update(); });
    setVisible(false);
    textWindow->FileWnd().SetSummariesWanted(g_shown);
}

CTimelineBand::~CTimelineBand()
{
    Bands().erase(this);
}

void CTimelineBand::SetShownEverywhere(bool on)
{
    g_shown = on;
    for (CTimelineBand* band : Bands())
        band->Sync();
}

bool CTimelineBand::ShownEverywhere()
{
    return g_shown;
}

void CTimelineBand::Sync()
{
    m_pTextWindow->FileWnd().SetSummariesWanted(g_shown);
    const bool want = g_shown && m_pTextWindow->FileWnd().GetRecordSummaries() != nullptr;
    if (isHidden() == want)
        setVisible(want);
    if (want) {
        setAccessibleDescription(Description());
        update();
    }
}

QSize CTimelineBand::sizeHint() const
{
    return {200, kHeight};
}

QSize CTimelineBand::minimumSizeHint() const
{
    return {1, kHeight};
}

const timeline::CTimeline& CTimelineBand::Columns()
{
    CFileWnd& wnd = m_pTextWindow->FileWnd();
    const logformat::CRecordSummaries* sums = wnd.GetRecordSummaries();
    const int width = std::max(1, this->width());
    if (!sums) {
        m_timeline.Build(nullptr, 0, width);
        m_pBuiltFrom = nullptr;
        return m_timeline;
    }
    // Built again only when something it reads changed: a repaint for a scroll costs the columns' painting.
    const logformat::CRecordSummaries::State state = sums->GetState();
    const std::int64_t end = wnd.DataEnd();
    if (m_bStale || width != m_nBuiltWidth || end != m_nBuiltEnd || sums != m_pBuiltFrom ||
        state.summarisedEnd != m_nBuiltReach || state.blocks != m_nBuiltBlocks) {
        // Final blocks never change until the summaries drop some: only the blocks after those kept are taken.
        if (sums != m_pBuiltFrom || state.drops != m_nBuiltDrops || state.done < m_nFinal)
            m_nFinal = 0;
        m_blocks.resize(m_nFinal);
        const std::vector<logformat::BlockSummary> more = sums->Blocks(m_nFinal, state.blocks - m_nFinal);
        m_blocks.insert(m_blocks.end(), more.begin(), more.end());
        m_nFinal = std::min(state.done, m_blocks.size());
        timeline::Reach reach;
        reach.complete = state.complete;
        reach.reachedBytes = state.summarisedEnd - wnd.DataStart();
        reach.totalBytes = end - wnd.DataStart();
        m_timeline.Build(m_blocks.data(), m_blocks.size(), width, reach);
        m_bStale = false;
        m_nBuiltWidth = width;
        m_nBuiltEnd = end;
        m_pBuiltFrom = sums;
        m_nBuiltReach = state.summarisedEnd;
        m_nBuiltBlocks = state.blocks;
        m_nBuiltDrops = state.drops;
    }
    return m_timeline;
}

std::array<QColor, 7> CTimelineBand::LevelColors() const
{
    const CFileWnd& wnd = m_pTextWindow->FileWnd();
    const platform::COLORREF font = wnd.GetFontColor(), page = wnd.GetPageColor();
    std::array<QColor, 7> c;
    c[4] = ColourOf(font);  // info: the text's own colour, as Log Levels leaves it
    for (const HighlightRule& r : LogLevelRules()) {
        const QColor colour = ColourOf(r.text.Resolve(font, page, font));
        for (int l = 1; l < 7; ++l)
            if (r.levels & (1u << l))
                c[static_cast<std::size_t>(l)] = colour;
    }
    const QColor pageColour = ColourOf(page);
    c[1] = IsDarkPage(page) ? c[2].lighter(130) : c[2].darker(140);      // fatal: apart from error, in its hue
    c[6] = Mix(c[5], pageColour);                                        // trace: fainter than debug
    c[0] = Mix(QColor(128, 128, 128), Mix(ColourOf(font), pageColour));  // no level: neutral
    return c;
}

QColor CTimelineBand::LevelColor(int level) const
{
    return LevelColors()[static_cast<std::size_t>(std::clamp(level, 0, 6))];
}

void CTimelineBand::PaintBars(QPainter& p, const timeline::CTimeline& tl, const std::array<QColor, 7>& colours,
                              const QColor& neutral, int h)
{
    const int w = tl.Width();
    if (w <= 0 || h <= 0)
        return;
    // Written pixel by pixel into an image of its own and drawn at once: a rectangle call per bar and level
    // costs more than the bars' pixels.
    QImage bars(w, h, QImage::Format_ARGB32_Premultiplied);
    bars.fill(Qt::transparent);
    QRgb rgb[7];
    for (std::size_t l = 0; l < 7; ++l)
        rgb[l] = colours[l].rgba();
    const QRgb hatch = neutral.rgba();
    // One scale over the whole band: the square root of the largest column's count fills the height below
    // the top edge's marks.
    constexpr int kTop = 6;
    const double scale = tl.Largest() ? (h - kTop) / std::sqrt(static_cast<double>(tl.Largest())) : 0.0;
    auto* pixels = reinterpret_cast<QRgb*>(bars.bits());
    const qsizetype stride = bars.bytesPerLine() / static_cast<qsizetype>(sizeof(QRgb));
    for (int x = 0; x < w; ++x) {
        const timeline::Column& col = tl.At(x);
        if (col.unreached) {
            // Diagonal hatching, continuous from column to column.
            for (int y = 0; y < h; ++y)
                if ((x + y) % 6 == 0)
                    pixels[y * stride + x] = hatch;
            continue;
        }
        if (!col.Total())
            continue;
        // Stacked as running sums, so that the bar's top is the square root of its total.
        std::uint64_t below = 0;
        int yBelow = h;
        for (const int level : kStackOrder) {
            if (!col.n[level])
                continue;
            below += col.n[level];
            const int y = std::max(0, h - static_cast<int>(std::lround(std::sqrt(static_cast<double>(below)) * scale)));
            for (int r = y; r < yBelow; ++r)
                pixels[r * stride + x] = rgb[level];
            yBelow = std::min(yBelow, y);
        }
    }
    p.drawImage(QRect(0, 0, w, h), bars);
}

void CTimelineBand::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    CFileWnd& wnd = m_pTextWindow->FileWnd();
    const QColor page = ColourOf(wnd.GetPageColor());
    const QColor font = ColourOf(wnd.GetFontColor());
    p.fillRect(rect(), page);
    const timeline::CTimeline& tl = Columns();
    const int w = tl.Width(), h = height();
    const std::array<QColor, 7> colours = LevelColors();
    const QColor neutral = Mix(font, page);
    if (!tl.HasRecords()) {
        p.setPen(neutral);
        p.drawText(rect().adjusted(4, 0, -4, 0), Qt::AlignLeft | Qt::AlignVCenter,
                   QString::fromUtf8(text::TimelineEmpty));
        return;
    }
    PaintBars(p, tl, colours, neutral, h);
    // The filter stack's time range: bright, the rest dimmed.
    const shownset::FilterStack& stack = wnd.GetFilterStack();
    QColor dim = page;
    dim.setAlpha(150);
    if (m_nDragX >= 0 && m_nPressX >= 0) {
        const int lo = std::min(m_nPressX, m_nDragX), hi = std::max(m_nPressX, m_nDragX);
        p.fillRect(QRect(0, 0, lo, h), dim);
        p.fillRect(QRect(hi + 1, 0, w - hi - 1, h), dim);
    } else if (stack.hasFrom || stack.hasTo) {
        const int lo = stack.hasFrom ? tl.ColumnOf(stack.fromMicros) : 0;
        const int hi = stack.hasTo ? tl.ColumnOf(stack.toMicros) : w - 1;
        p.fillRect(QRect(0, 0, lo, h), dim);
        p.fillRect(QRect(hi + 1, 0, std::max(0, w - hi - 1), h), dim);
    }
    // What the window shows: from its top row to its last painted row.
    const std::vector<TextPos>& rows = wnd.PaintedRowStarts();
    std::int64_t t0 = 0, t1 = 0;
    if (!rows.empty() && wnd.SummarisedTimeAt(wnd.GetTop(), t0) && wnd.SummarisedTimeAt(rows.back(), t1)) {
        const int x0 = tl.ColumnOf(std::min(t0, t1)), x1 = tl.ColumnOf(std::max(t0, t1));
        p.setPen(QPen(font, 1));
        p.setBrush(Qt::NoBrush);
        p.drawRect(QRect(x0, 0, std::max(1, x1 - x0), h - 1));
    }
    // Marks: small triangles on the top edge.
    const QColor markColour = CFileWndWidget::MarkColor(palette());
    p.setPen(Qt::NoPen);
    p.setBrush(markColour);
    for (const CMark& mark : wnd.Marks().All()) {
        std::int64_t t = 0;
        if (!wnd.SummarisedTimeAt(mark.pos, t))
            continue;
        const int x = tl.ColumnOf(t);
        const QPointF tri[] = {{x - 3.5, 0.0}, {x + 3.5, 0.0}, {x + 0.5, 5.0}};
        p.drawPolygon(tri, 3);
    }
    // The scale's top, in the corner.
    p.setPen(font);
    QFont small = p.font();
    small.setPixelSize(10);
    p.setFont(small);
    p.drawText(QRect(3, 1, w - 6, 14), Qt::AlignLeft | Qt::AlignTop, QString::number(tl.Largest()));
}

QString CTimelineBand::ColumnToolTip(int x)
{
    const timeline::CTimeline& tl = Columns();
    if (!tl.HasRecords())
        return QString::fromUtf8(text::TimelineEmpty);
    x = std::clamp(x, 0, tl.Width() - 1);
    const timeline::Column& col = tl.At(x);
    QString tip = QString::fromUtf8(text::TimelineColumnTip).arg(TimeText(tl.Start(x)), TimeText(tl.Start(x + 1) - 1));
    if (col.unreached)
        return tip + QLatin1Char('\n') + QString::fromUtf8(text::TimelineUnreached);
    for (const int level : {1, 2, 3, 4, 5, 6, 0})
        tip += QStringLiteral("\n%1 %2").arg(LevelName(level)).arg(col.n[level]);
    return tip;
}

QString CTimelineBand::Description()
{
    const timeline::CTimeline& tl = Columns();
    if (!tl.HasRecords())
        return QString::fromUtf8(text::TimelineEmpty);
    QStringList parts;
    for (const int level : {1, 2, 3, 4, 5, 6, 0})
        parts << QStringLiteral("%1 %2").arg(LevelName(level)).arg(tl.Totals().n[level]);
    return QString::fromUtf8(text::TimelineDescription)
        .arg(TimeText(tl.First()), TimeText(tl.Last()), parts.join(QStringLiteral(", ")));
}

void CTimelineBand::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton)
        return QWidget::mousePressEvent(event);
    m_nPressX = event->position().toPoint().x();
    m_nDragX = -1;
}

void CTimelineBand::mouseMoveEvent(QMouseEvent* event)
{
    if (m_nPressX < 0 || !(event->buttons() & Qt::LeftButton))
        return;
    const int x = event->position().toPoint().x();
    if (m_nDragX >= 0 || std::abs(x - m_nPressX) >= kDragPixels) {
        m_nDragX = std::clamp(x, 0, std::max(0, width() - 1));
        update();
    }
}

void CTimelineBand::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton || m_nPressX < 0)
        return QWidget::mouseReleaseEvent(event);
    const int from = m_nPressX, to = m_nDragX >= 0 ? m_nDragX : event->position().toPoint().x();
    const bool drag = m_nDragX >= 0 || std::abs(to - from) >= kDragPixels;
    m_nPressX = m_nDragX = -1;
    const timeline::CTimeline& tl = Columns();
    if (!tl.HasRecords())
        return;
    if (drag) {
        const timeline::CTimeline::Range r = tl.DragRange(from, to);
        emit rangeSelected(r.from, r.to);
    } else {
        emit timeClicked(tl.ClickTime(from));
    }
    update();
}

void CTimelineBand::mouseDoubleClickEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton)
        return QWidget::mouseDoubleClickEvent(event);
    m_nPressX = m_nDragX = -1;
    emit rangeCleared();
    update();
}

bool CTimelineBand::event(QEvent* event)
{
    if (event->type() == QEvent::ToolTip) {
        auto* help = static_cast<QHelpEvent*>(event);
        QToolTip::showText(help->globalPos(), ColumnToolTip(help->pos().x()), this);
        return true;
    }
    return QWidget::event(event);
}
