#include "textwnd/qt/FileWndWidget.h"

#include "engine/Utf8Text.h"
#include "platform/Win1252.h"
#include "platform/Window.h"
#include "textwnd/MergedWnd.h"

#include <QApplication>
#include <QClipboard>
#include <QCoreApplication>
#include <QFile>
#include <QFontMetrics>
#include <QFontMetricsF>
#include <QGlyphRun>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QScrollBar>
#include <QTextLayout>
#include <QTimer>
#include <QToolTip>
#include <QWheelEvent>

#include <algorithm>
#include <atomic>
#include <climits>
#include <cmath>
#include <cstring>

using platform::BlueOf;
using platform::COLORREF;
using platform::GreenOf;
using platform::kCfUnicodeText;
using platform::kIdCancel;
using platform::kIdNo;
using platform::kIdOk;
using platform::kIdYes;
using platform::kLfFaceSize;
using platform::kMbIconError;
using platform::kMbIconInformation;
using platform::kMbIconQuestion;
using platform::kMbIconWarning;
using platform::kMbYesNoCancel;
using platform::LOGFONTW;
using platform::MulDiv;
using platform::RedOf;

namespace {

// Files above INT_MAX bytes put this many steps on the vertical bar.
constexpr std::int64_t kScaledBarRange = std::int64_t(1) << 30;
constexpr int kWheelNotch = 120;
constexpr int kMaxPixelSize = 4096;

QColor ToQColor(COLORREF c)
{
    return QColor(static_cast<int>(RedOf(c)), static_cast<int>(GreenOf(c)), static_cast<int>(BlueOf(c)));
}

QRect ToQRect(const WRect& r)
{
    return QRect(r.left, r.top, r.Width(), r.Height());
}

QString FaceName(const LOGFONTW& lf)
{
    int n = 0;
    while (n < kLfFaceSize && lf.lfFaceName[n])
        ++n;
    return QString::fromUtf16(lf.lfFaceName, n);
}

// Characters that have no picture: the C0 and C1 controls (the five bytes
// Windows-1252 leaves undefined arrive as C1 controls) and DEL. Their cell
// stays empty, as the column grid still counts them.
bool IsControl(char32_t c)
{
    return c < 0x20 || (c >= 0x7F && c <= 0x9F);
}

// No character below the combining diacritical marks is drawn on another.
constexpr char16_t kFirstMark = 0x300;
// The longest cluster placed by hand; a longer one goes to Qt's font matching.
constexpr std::size_t kMaxClusterGlyphs = 8;

bool LogFontsEqual(const LOGFONTW& a, const LOGFONTW& b)
{
    return std::memcmp(&a, &b, sizeof a) == 0;
}

// Posted messages (the watcher's file-changed notes) are delivered from Qt's
// event loop: a post from any thread queues one drain on the application
// object. Posts that arrive while a drain is pending share it.
std::atomic<bool> g_drainScheduled{false};
bool g_pumpInstalled = false;

void InstallPostedMessagePump()
{
    if (g_pumpInstalled)
        return;
    g_pumpInstalled = true;
    platform::SetPostWakeHook([] {
        if (g_drainScheduled.exchange(true))
            return;
        QCoreApplication* app = QCoreApplication::instance();
        if (!app) {
            g_drainScheduled = false;
            return;
        }
        QMetaObject::invokeMethod(
            app,
            [] {
                g_drainScheduled = false;
                platform::DrainPostedMessages();
            },
            Qt::QueuedConnection);
    });
    qAddPostRoutine([] {
        platform::SetPostWakeHook(nullptr);
        g_pumpInstalled = false;
        g_drainScheduled = false;
    });
    // Anything posted before the hook existed.
    QMetaObject::invokeMethod(
        QCoreApplication::instance(), [] { platform::DrainPostedMessages(); }, Qt::QueuedConnection);
}

}  // namespace

int ShowQtMessageBox(QWidget* parent, const std::string& text, const std::string& caption, unsigned type)
{
    QMessageBox box(parent);
    box.setWindowTitle(QString::fromStdString(caption));
    box.setText(QString::fromStdString(text));
    switch (type & 0xF0) {
    case kMbIconError: box.setIcon(QMessageBox::Critical); break;
    case kMbIconQuestion: box.setIcon(QMessageBox::Question); break;
    case kMbIconWarning: box.setIcon(QMessageBox::Warning); break;
    case kMbIconInformation: box.setIcon(QMessageBox::Information); break;
    default: break;
    }
    const bool question = (type & 0xF) == kMbYesNoCancel;
    const bool yesNo = (type & 0xF) == platform::kMbYesNo;
    if (question) {
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
        box.setDefaultButton(QMessageBox::Yes);
        box.setEscapeButton(QMessageBox::Cancel);
    } else if (yesNo) {
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        box.setDefaultButton(QMessageBox::Yes);
        box.setEscapeButton(QMessageBox::No);
    } else {
        box.setStandardButtons(QMessageBox::Ok);
        box.setEscapeButton(QMessageBox::Ok);
    }
    switch (box.exec()) {
    case QMessageBox::Yes: return kIdYes;
    case QMessageBox::No: return kIdNo;
    case QMessageBox::Ok: return kIdOk;
    default: return question ? kIdCancel : yesNo ? kIdNo : kIdOk;  // closed without a button
    }
}

// --- Fonts -----------------------------------------------------------------------------

QFont CQtFontCache::FontFromLogFont(const LOGFONTW& lf, const QPaintDevice* device)
{
    QFont font;
    const QString face = FaceName(lf);
    if (!face.isEmpty())
        font.setFamilies({face});
    // An unknown face must still fall back to a fixed-pitch one: columns are
    // counted with one average width.
    font.setStyleHint(QFont::Monospace);
    font.setFixedPitch(true);
    // Full hinting gives whole-pixel advances, so glyphs sit on the integer
    // column grid without drifting.
    font.setHintingPreference(QFont::PreferFullHinting);
    font.setKerning(false);
    if (lf.lfWeight > 0)
        font.setWeight(static_cast<QFont::Weight>(std::clamp<std::int32_t>(lf.lfWeight, 1, 1000)));
    font.setItalic(lf.lfItalic != 0);
    font.setUnderline(lf.lfUnderline != 0);
    font.setStrikeOut(lf.lfStrikeOut != 0);

    if (lf.lfHeight < 0) {
        // A character (em) height.
        font.setPixelSize(
            static_cast<int>(std::min<std::int64_t>(-static_cast<std::int64_t>(lf.lfHeight), kMaxPixelSize)));
    } else if (lf.lfHeight == 0) {
        // The font mapper's default: 10 points.
        const int dpi = device ? device->logicalDpiY() : 96;
        font.setPixelSize(std::max(1, MulDiv(10, dpi, 72)));
    } else {
        // A cell height (ascent + descent): the largest em whose cell fits.
        const int target = std::min<std::int32_t>(lf.lfHeight, kMaxPixelSize);
        auto cellOf = [&](int px) {
            font.setPixelSize(px);
            return device ? QFontMetrics(font, device).height() : QFontMetrics(font).height();
        };
        int px = target;
        const int h = cellOf(px);
        if (h > 0)
            px = std::clamp(static_cast<int>(std::lround(double(target) * target / h)), 1, kMaxPixelSize);
        for (int i = 0; i < 16 && px > 1 && cellOf(px) > target; ++i)
            --px;
        for (int i = 0; i < 16 && px < kMaxPixelSize && cellOf(px + 1) <= target; ++i)
            ++px;
        font.setPixelSize(px);
    }
    return font;
}

// Many faces give an ascent no higher than their capitals, so that the
// accent of a capital E acute or the ring of a capital A ring would be cut at the row's top: a row
// holds the ink of the face's accented capitals and of its descenders.
void CQtFontCache::HoldTallGlyphs(Entry& e)
{
    static const char16_t kTall[] =
        u"\u00C0\u00C1\u00C2\u00C3\u00C4\u00C5\u00C7\u00C8\u00C9\u00CA\u00CB\u00CC\u00CD\u00CE\u00CF\u00D1\u00D2\u00D3"
        u"\u00D4\u00D5\u00D6\u00D9\u00DA\u00DB\u00DC\u00DD\u0178"
        u"gjpqy";
    constexpr int kCount = static_cast<int>(std::size(kTall)) - 1;
    if (!e.rawFont.isValid())
        return;
    quint32 glyphs[kCount];
    int count = kCount;
    if (!e.rawFont.glyphIndexesForChars(reinterpret_cast<const QChar*>(kTall), kCount, glyphs, &count))
        return;
    for (int i = 0; i < count; ++i) {
        if (glyphs[i] == 0)
            continue;
        const QRectF ink = e.rawFont.boundingRect(glyphs[i]);
        e.ascent = std::max(e.ascent, static_cast<int>(std::ceil(-ink.top() - 1.0 / 64)));
        e.descent = std::max(e.descent, static_cast<int>(std::ceil(ink.bottom() - 1.0 / 64)));
    }
}

const CQtFontCache::Entry& CQtFontCache::Get(const LOGFONTW& lf, const QPaintDevice* device)
{
    if (m_entry && LogFontsEqual(m_entry->logFont, lf))
        return *m_entry;
    Entry e;
    e.logFont = lf;
    e.font = FontFromLogFont(lf, device);
    const QFontMetricsF fmf = device ? QFontMetricsF(e.font, device) : QFontMetricsF(e.font);
    const QFontMetrics fm = device ? QFontMetrics(e.font, device) : QFontMetrics(e.font);
    // The same sample the window measures; a fractional advance is rounded up
    // so that neighbouring glyphs never overlap.
    const qreal advance = fmf.horizontalAdvance(QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXyZ")) / 26.0;
    e.cellWidth = std::max(1, static_cast<int>(std::ceil(advance - 1.0 / 64)));
    e.ascent = fm.ascent();
    e.descent = fm.descent();
    e.underlinePos = std::max(1, fm.underlinePos());
    e.strikeOutPos = fm.strikeOutPos();
    e.lineWidth = std::max(1, fm.lineWidth());
    // The decorations are drawn across whole cells by the painter, not per glyph.
    QFont plain = e.font;
    plain.setUnderline(false);
    plain.setStrikeOut(false);
    e.font = plain;
    e.rawFont = QRawFont::fromFont(plain);
    HoldTallGlyphs(e);
    e.height = std::max(1, e.ascent + e.descent);
    m_entry = std::move(e);
    return *m_entry;
}

// --- Painter ---------------------------------------------------------------------------

CQtFilePainter::CQtFilePainter(QPainter& painter, const QRegion& area, CQtFontCache& fonts, int charWidth,
                               const QPaintDevice* device)
    : m_painter(painter), m_area(area), m_fonts(fonts), m_charWidth(std::max(charWidth, 1)), m_device(device)
{
}

bool CQtFilePainter::RectVisible(const WRect& rc)
{
    return !rc.IsEmpty() && m_area.intersects(ToQRect(rc));
}

void CQtFilePainter::FillSolidRect(const WRect& rc, COLORREF color)
{
    if (!rc.IsEmpty())
        m_painter.fillRect(ToQRect(rc), ToQColor(color));
}

void CQtFilePainter::SelectFont(const LOGFONTW& font)
{
    m_font = &m_fonts.Get(font, m_device);
    m_painter.setFont(m_font->font);
}

void CQtFilePainter::TextOutNarrow(int x, int yBottom, const WRect& opaque, const std::uint8_t* text,
                                   std::size_t length, COLORREF textColor, COLORREF backColor)
{
    m_buffer.resize(length);
    for (std::size_t i = 0; i < length; ++i)
        m_buffer[i] = platform::Win1252ToUnicode(text[i]);
    DrawRun(x, yBottom, opaque, m_buffer.data(), length, textColor, backColor, false);
}

void CQtFilePainter::TextOutWide(int x, int yBottom, const WRect& opaque, const char16_t* text, std::size_t length,
                                 COLORREF textColor, COLORREF backColor)
{
    DrawRun(x, yBottom, opaque, text, length, textColor, backColor, false);
}

void CQtFilePainter::TextOutCells(int x, int yBottom, const WRect& opaque, const char16_t* text, std::size_t length,
                                  COLORREF textColor, COLORREF backColor)
{
    DrawRun(x, yBottom, opaque, text, length, textColor, backColor, true);
}

// A character of another face keeps to its cells too: one that is wider (an
// ideograph where it takes one column) is narrowed to fit, so that it
// neither covers its neighbours nor moves them. A character with combining
// marks is drawn with them as one piece, so that the face places the marks.
void CQtFilePainter::DrawFallback(int cellX, int baseline, const QString& text, int cells)
{
    char32_t key = 0;
    if (text.size() <= 2) {
        std::size_t units = 1;
        key = utf8text::CharAt16(reinterpret_cast<const char16_t*>(text.utf16()), static_cast<std::size_t>(text.size()),
                                 0, &units);
        key = units == static_cast<std::size_t>(text.size()) ? key : 0;
    }
    auto it = key ? m_font->fallbackAdvance.constFind(key) : m_font->fallbackAdvance.constEnd();
    qreal advance;
    if (it != m_font->fallbackAdvance.constEnd()) {
        advance = *it;
    } else {
        advance = QFontMetricsF(m_painter.font(), m_device).horizontalAdvance(text);
        if (key)
            m_font->fallbackAdvance.insert(key, advance);
    }
    const int room = std::max(cells, 1) * m_charWidth;
    if (advance <= room + 0.5) {
        m_painter.drawText(QPointF(cellX, baseline), text);
        return;
    }
    const QTransform saved = m_painter.transform();
    m_painter.translate(cellX, baseline);
    m_painter.scale(room / advance, 1.0);
    m_painter.drawText(QPointF(0, 0), text);
    m_painter.setTransform(saved);
}

// The glyph of a mark that the primary face lacks, from the face Qt's font
// matching picks for it; an empty run when none has it.
const QGlyphRun& CQtFilePainter::FallbackMark(char32_t mark)
{
    auto it = m_font->fallbackMark.find(mark);
    if (it == m_font->fallbackMark.end()) {
        QTextLayout layout(QString::fromUcs4(&mark, 1), m_painter.font());
        layout.beginLayout();
        layout.createLine();
        layout.endLayout();
        QGlyphRun found;
        const QList<QGlyphRun> runs = layout.glyphRuns();
        if (runs.size() == 1 && runs.front().glyphIndexes().size() == 1 && runs.front().glyphIndexes().front() != 0)
            found = runs.front();
        it = m_font->fallbackMark.insert(mark, found);
    }
    return *it;
}

// A character and the marks that follow it, placed as one: the composed
// character when the primary face has it, else the character's glyph with
// each mark's ink centred over it, and a mark above raised as far as the
// character stands above x-height (marks are made for small letters: over a
// capital they would sit in its top). A mark that the primary face lacks
// comes from another face, placed the same way. False when some mark has no
// face at all: Qt's font matching draws the whole cluster then.
bool CQtFilePainter::PlaceCluster(int x, int baseline, qreal cellX, const char16_t* text, std::size_t length,
                                  quint32 baseGlyph, int& kept)
{
    const QRawFont& raw = m_font->rawFont;
    const QString composed =
        QString::fromUtf16(text, static_cast<qsizetype>(length)).normalized(QString::NormalizationForm_C);
    quint32 glyphs[kMaxClusterGlyphs];
    int count = kMaxClusterGlyphs;
    const bool one = composed.size() == 1 || (composed.size() == 2 && composed.at(0).isHighSurrogate());
    if (one && raw.glyphIndexesForChars(composed.constData(), static_cast<int>(composed.size()), glyphs, &count) &&
        count == 1 && glyphs[0] != 0) {
        m_glyphs[kept++] = glyphs[0];
        m_positions.append(QPointF(cellX, 0));
        return true;
    }
    count = kMaxClusterGlyphs;
    if (length > kMaxClusterGlyphs ||
        !raw.glyphIndexesForChars(reinterpret_cast<const QChar*>(text), static_cast<int>(length), glyphs, &count))
        return false;
    char32_t marks[kMaxClusterGlyphs];
    for (std::size_t i = 0, k = 0; i < length && k < kMaxClusterGlyphs; ++k) {
        std::size_t units = 1;
        marks[k] = utf8text::CharAt16(text, length, i, &units);
        i += units;
    }
    for (int k = 1; k < count; ++k)
        if (glyphs[k] == 0 && FallbackMark(marks[k]).glyphIndexes().isEmpty())
            return false;
    const QRectF base = raw.boundingRect(baseGlyph);
    const qreal middle = base.isEmpty() ? m_charWidth / 2.0 : base.center().x();
    const qreal xHeight = raw.xHeight();
    qreal top = std::min(base.top(), -xHeight);  // the highest ink so far: marks above stack over it
    // Written over the unit indexes already read: a cluster takes no more glyphs than it has units.
    m_glyphs[kept++] = baseGlyph;
    m_positions.append(QPointF(cellX, 0));
    for (int k = 1; k < count; ++k) {
        const QGlyphRun* other = glyphs[k] == 0 ? &FallbackMark(marks[k]) : nullptr;
        const QRawFont& face = other ? other->rawFont() : raw;
        const quint32 glyph = other ? other->glyphIndexes().front() : glyphs[k];
        const QRectF ink = face.boundingRect(glyph);
        qreal dx = 0, dy = 0;
        if (!ink.isEmpty()) {
            dx = middle - ink.center().x();
            if (ink.bottom() < -xHeight / 2) {
                const qreal gap = std::max<qreal>(-face.xHeight() - ink.bottom(), 1.0);  // its own gap over an x
                dy = std::min<qreal>(0, top - gap - ink.bottom());
                top = std::min(top, ink.top() + dy);
            }
        }
        const QPointF at(cellX + std::round(dx), std::round(dy));
        if (!other) {
            m_glyphs[kept++] = glyph;
            m_positions.append(at);
            continue;
        }
        QGlyphRun run = *other;
        run.setPositions({at});
        m_painter.drawGlyphRun(QPointF(x, baseline), run);
    }
    return true;
}

void CQtFilePainter::DrawRun(int x, int yBottom, const WRect& opaque, const char16_t* text, std::size_t length,
                             COLORREF textColor, COLORREF backColor, bool cells)
{
    const QRect clip = ToQRect(opaque);
    if (!clip.isEmpty())
        m_painter.fillRect(clip, ToQColor(backColor));
    if (length == 0 || !m_font || clip.isEmpty())
        return;

    // Each character goes to its own column, x + i * width, whatever the
    // font's own advances: the line model, the highlight and the horizontal
    // offset all count in whole columns. Glyphs of the primary face are drawn
    // as one placed run; characters it lacks fall back to Qt's font matching,
    // one by one in their cells. By `cells`, a character takes the columns
    // utf8text::Cells gives it (two for a wide one, a mark none: it joins the
    // character before it); otherwise every code unit takes one.
    const int cw = m_charWidth;
    const int baseline = yBottom - m_font->descent;
    const int room = opaque.right - x;  // pixels from the text to the right edge
    const std::size_t visibleCols = room > 0 ? static_cast<std::size_t>((room + cw - 1) / cw) : 0;
    // +1: a pair may straddle the edge; text with cells is cut by column below.
    const std::size_t n = cells ? length : std::min(length, visibleCols + 1);
    if (n == 0)
        return;

    const QRawFont& raw = m_font->rawFont;
    m_glyphs.resize(static_cast<qsizetype>(n));
    int glyphCount = static_cast<int>(n);
    if (!raw.isValid() || !raw.glyphIndexesForChars(reinterpret_cast<const QChar*>(text), static_cast<int>(n),
                                                    m_glyphs.data(), &glyphCount))
        glyphCount = 0;

    m_painter.setClipRect(clip);
    m_painter.setPen(ToQColor(textColor));
    m_positions.clear();
    int kept = 0;
    int g = 0;
    std::size_t col = 0;
    for (std::size_t i = 0; i < n && col <= visibleCols;) {
        const char16_t c = text[i];
        char32_t cp = c;
        std::size_t units = 1;
        if (QChar::isHighSurrogate(c) && i + 1 < n && QChar::isLowSurrogate(text[i + 1])) {
            cp = QChar::surrogateToUcs4(c, text[i + 1]);
            units = 2;
        } else if (QChar::isSurrogate(c)) {
            cp = 0xFFFD;  // a lone half has no picture of its own
        }
        const quint32 glyph = g < glyphCount ? m_glyphs[g] : 0;
        ++g;
        const int width = cells ? std::max(utf8text::Cells(cp), 1) : 1;  // cells a fallback glyph may fill
        const int cellX = x + static_cast<int>(cells ? col : i) * cw;
        // The marks that follow it are drawn on it. In text without cells each
        // mark keeps the column of its own unit, which stays empty.
        std::size_t end = i + units;
        for (std::size_t more = 1; end < n && text[end] >= kFirstMark; end += more, ++g)
            if (utf8text::Cells(utf8text::CharAt16(text, n, end, &more)) != 0)
                break;
        if (end > i + units) {
            if (IsControl(cp) || glyph == 0 || !PlaceCluster(x, baseline, cellX - x, text + i, end - i, glyph, kept))
                DrawFallback(cellX, baseline, QString::fromUtf16(text + i, static_cast<qsizetype>(end - i)), width);
        } else if (!IsControl(cp) && cp != U' ') {
            if (glyph != 0 && cp != 0xFFFD) {
                m_glyphs[kept++] = glyph;
                m_positions.append(QPointF(cellX - x, 0));
            } else {
                DrawFallback(cellX, baseline, QString::fromUcs4(&cp, 1), width);
            }
        }
        col += cells ? static_cast<std::size_t>(width) : end - i;
        i = end;
    }
    if (kept > 0) {
        QGlyphRun run;
        run.setRawFont(raw);
        run.setGlyphIndexes(QVector<quint32>(m_glyphs.begin(), m_glyphs.begin() + kept));
        run.setPositions(m_positions);
        m_painter.drawGlyphRun(QPointF(x, baseline), run);
    }

    // Underline and strike-out run through every cell of the text, spaces too.
    const LOGFONTW& lf = m_font->logFont;
    if (lf.lfUnderline || lf.lfStrikeOut) {
        const int width = static_cast<int>(std::min<std::size_t>(cells ? col : length, visibleCols + 1)) * cw;
        if (lf.lfUnderline)
            m_painter.fillRect(QRect(x, baseline + m_font->underlinePos, width, m_font->lineWidth),
                               ToQColor(textColor));
        if (lf.lfStrikeOut)
            m_painter.fillRect(QRect(x, baseline - m_font->strikeOutPos, width, m_font->lineWidth),
                               ToQColor(textColor));
    }
    m_painter.setClipping(false);
}

// --- Line-number gutter -------------------------------------------------------------------

// A strip left of the viewport: the scroll area's margin keeps the text area,
// its mouse and its columns starting after it, and no part of the text window
// ever sees it (Copy Screen copies the text, never the gutter).
class CLineGutter : public QWidget {
public:
    explicit CLineGutter(CFileWndWidget* owner) : QWidget(owner), m_pOwner(owner)
    {
        setObjectName(QStringLiteral("lineGutter"));
        setAttribute(Qt::WA_OpaquePaintEvent);
        hide();
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter p(this);
        m_pOwner->PaintGutter(p);
    }

private:
    CFileWndWidget* m_pOwner;
};

bool CFileWndWidget::s_bLineNumbers = false;

namespace {

// The digits of the largest number shown and half a cell either side; none without rows.
int GutterWidthFor(const std::vector<std::int64_t>& numbers, int cellWidth)
{
    if (numbers.empty())
        return 0;
    const std::int64_t largest = std::max<std::int64_t>(*std::max_element(numbers.begin(), numbers.end()), 1);
    return (static_cast<int>(std::to_string(largest).size()) + 1) * cellWidth;
}

}  // namespace

QString CFileWndWidget::GutterText(int row) const
{
    if (row < 0 || row >= static_cast<int>(m_gutterNumbers.size()))
        return {};
    const std::int64_t n = m_gutterNumbers[static_cast<std::size_t>(row)];
    return n < 0 ? QStringLiteral("\u2026") : n == 0 ? QString() : QString::number(n);
}

int CFileWndWidget::MarkColumnWidth()
{
    // A dot about half a row tall with room around it; never narrower than a cell.
    return std::max(m_wnd.GetCharWidth(), m_wnd.GetLineHeight());
}

bool CFileWndWidget::RowMarked(int row) const
{
    return row >= 0 && row < static_cast<int>(m_gutterMarks.size()) &&
           m_gutterMarks[static_cast<std::size_t>(row)] != kNoPos;
}

QString CFileWndWidget::MarkToolTip(int row) const
{
    if (!RowMarked(row))
        return {};
    const std::string* note = m_wnd.SharedMarks()->NoteOf(m_gutterMarks[static_cast<std::size_t>(row)]);
    return note ? QString::fromStdString(*note) : QString();
}

QColor CFileWndWidget::MarkColor(const QPalette& palette)
{
    // Blue: apart from the filter's red and the levels' reds and ambers; deep on a light background, light on a
    // dark one (the high-contrast looks included), so that it reads against the gutter in every look.
    return palette.color(QPalette::Window).lightness() < 128 ? QColor(0x5c, 0xa8, 0xff) : QColor(0x1a, 0x5f, 0xd0);
}

std::optional<QPoint> CFileWndWidget::PointerPoint() const
{
    if (m_menuPoint)
        return m_menuPoint;
    if (m_pointer && viewport()->rect().contains(*m_pointer))
        return m_pointer;
    return std::nullopt;
}

namespace {

// The gutter's width for rows numbered `numbers` (none while the numbers are off) with or without the mark
// column.
int WantedGutterWidth(const std::vector<std::int64_t>& numbers, int cellWidth, bool marks, int markColumn)
{
    const int numbersWidth = GutterWidthFor(numbers, cellWidth);
    return numbersWidth > 0 || marks ? numbersWidth + markColumn : 0;
}

}  // namespace

void CFileWndWidget::UpdateGutter()
{
    m_gutterNumbers.clear();
    m_gutterMarks.clear();
    const bool marks = m_wnd.HasText() && !m_wnd.Marks().Empty();
    if (s_bLineNumbers && m_wnd.HasText())
        m_gutterNumbers = m_wnd.RowLineNumbers();
    if (marks) {
        const std::vector<TextPos>& starts = m_wnd.PaintedRowStarts();
        const TextPos end = m_wnd.DataEnd();
        for (std::size_t i = 0; i < starts.size(); ++i) {
            // A row that repeats the row above (a NUL) has no line of its own: no second dot.
            const bool own = i == 0 || starts[i] != starts[i - 1];
            m_gutterMarks.push_back(own && starts[i] < end && m_wnd.Marks().IsMarked(starts[i]) ? starts[i] : kNoPos);
        }
    }
    if (WantedGutterWidth(m_gutterNumbers, m_wnd.GetCharWidth(), marks, MarkColumnWidth()) != m_nGutterWidth &&
        !m_bGutterLayoutQueued) {
        // Not inside the paint: a new margin resizes the viewport.
        m_bGutterLayoutQueued = true;
        QMetaObject::invokeMethod(this, &CFileWndWidget::LayoutGutter, Qt::QueuedConnection);
    }
    // Asked for inside the text's paint, the gutter's repaint would wait for the next one: while a log grows
    // its numbers would stay a change behind the rows.
    if (m_nGutterWidth > 0)
        QMetaObject::invokeMethod(m_pGutter, qOverload<>(&QWidget::update), Qt::QueuedConnection);
    // The overview strip shows the marks too.
    if (m_pSideStrip && m_wnd.Marks().Version() != m_nMarksVersion)
        m_pSideStrip->update();
    m_nMarksVersion = m_wnd.Marks().Version();
}

void CFileWndWidget::LayoutGutter()
{
    m_bGutterLayoutQueued = false;
    const bool marks = m_wnd.HasText() && !m_wnd.Marks().Empty();
    const int wanted = WantedGutterWidth(s_bLineNumbers ? m_gutterNumbers : std::vector<std::int64_t>{},
                                         m_wnd.GetCharWidth(), marks, MarkColumnWidth());
    if (wanted == m_nGutterWidth)
        return;
    m_nGutterWidth = wanted;
    LayoutMargins();  // the viewport's resize places the gutter
    m_pGutter->setVisible(wanted > 0);
}

void CFileWndWidget::SetSideStrip(QWidget* strip)
{
    m_pSideStrip = strip;
    strip->setParent(this);
    strip->installEventFilter(this);  // its showing and hiding make and take the room
    LayoutMargins();
}

void CFileWndWidget::LayoutMargins()
{
    const int right = m_pSideStrip && !m_pSideStrip->isHidden() ? m_pSideStrip->width() : 0;
    setViewportMargins(m_nGutterWidth, 0, right, 0);
    const QRect text = viewport()->geometry();
    if (m_pSideStrip)
        m_pSideStrip->setGeometry(text.right() + 1, text.top(), m_pSideStrip->width(), text.height());
}

void CFileWndWidget::PaintGutter(QPainter& p)
{
    const QRect area = m_pGutter->rect();
    p.fillRect(area, palette().color(QPalette::Window));
    p.setPen(palette().color(QPalette::Mid));
    p.drawLine(area.right(), area.top(), area.right(), area.bottom());
    const CQtFontCache::Entry& font = m_fonts.Get(m_wnd.GetLogFont(), viewport());
    QFont numbers = font.font;
    numbers.setUnderline(false);
    numbers.setStrikeOut(false);
    p.setFont(numbers);
    p.setPen(palette().color(QPalette::PlaceholderText));
    const QFontMetrics metrics(numbers);
    const int h = m_wnd.GetLineHeight();
    const int right = area.width() - m_wnd.GetCharWidth() / 2;
    for (int row = 0; row < static_cast<int>(m_gutterNumbers.size()); ++row) {
        const QString text = GutterText(row);
        if (!text.isEmpty())
            p.drawText(right - metrics.horizontalAdvance(text), (row + 1) * h - font.descent, text);
    }
    // The dots, in the column at the gutter's left edge.
    const int column = MarkColumnWidth();
    const int d = std::max(4, h * 9 / 16);
    p.setRenderHint(QPainter::Antialiasing, true);
    p.setPen(Qt::NoPen);
    p.setBrush(MarkColor(palette()));
    for (int row = 0; row < static_cast<int>(m_gutterMarks.size()); ++row)
        if (RowMarked(row))
            p.drawEllipse(QRectF((column - d) / 2.0, row * h + (h - d) / 2.0, d, d));
}

// --- Widget ----------------------------------------------------------------------------

CFileWndWidget::CFileWndWidget(QWidget* parent) : QAbstractScrollArea(parent), m_pGutter(new CLineGutter(this))
{
    m_pGutter->installEventFilter(this);
    // Toggle Mark and Mark Note take the line under the pointer: the text area follows it without a button.
    viewport()->setMouseTracking(true);
    setFrameShape(QFrame::NoFrame);
    setFocusPolicy(Qt::StrongFocus);
    // Fixed bars: a bar that comes and goes resizes the viewport, which moves
    // the last screenful, which can change the bar again.
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    // Every paint covers its whole area: nothing to erase first.
    viewport()->setAttribute(Qt::WA_OpaquePaintEvent);
    viewport()->setAutoFillBackground(false);

    for (QScrollBar* bar : {verticalScrollBar(), horizontalScrollBar()}) {
        bar->setRange(0, 0);
        bar->setFocusPolicy(Qt::NoFocus);
        // Its "Scroll here" item sets the value without an action we could follow.
        bar->setContextMenuPolicy(Qt::PreventContextMenu);
        bar->installEventFilter(this);
    }
    connect(verticalScrollBar(), &QAbstractSlider::actionTriggered, this, &CFileWndWidget::OnVBarAction);
    connect(horizontalScrollBar(), &QAbstractSlider::actionTriggered, this, &CFileWndWidget::OnHBarAction);
    // While the thumb is dragged it follows the mouse; on release it shows the top as it is.
    connect(verticalScrollBar(), &QAbstractSlider::sliderReleased, this, [this] { ApplyBar(kSbVert); });
    connect(horizontalScrollBar(), &QAbstractSlider::sliderReleased, this, [this] { ApplyBar(kSbHorz); });

    // While a selection is dragged beyond the text's top or bottom edge, the text scrolls line by line.
    m_pSelectScroll = new QTimer(this);
    m_pSelectScroll->setInterval(50);
    connect(m_pSelectScroll, &QTimer::timeout, this, &CFileWndWidget::OnSelectionScrollTick);

    InstallPostedMessagePump();
}

CFileWndWidget::~CFileWndWidget()
{
    m_wnd.OnDestroy();
}

bool CFileWndWidget::LoadFile(CMemoryMappedFile* file, std::int32_t requestedEncoding)
{
    return m_wnd.LoadFile(file, requestedEncoding);
}

WRect CFileWndWidget::GetClientRect()
{
    return {0, 0, viewport()->width(), viewport()->height()};
}

void CFileWndWidget::MeasureText(const LOGFONTW& font, const char16_t*, int length, int* cx, int* cy)
{
    // Every character is one cell: the extent is the cell width times the
    // length, in whole pixels, and the cell height.
    const CQtFontCache::Entry& e = m_fonts.Get(font, viewport());
    *cx = e.cellWidth * length;
    *cy = e.height;
}

// The resolution the records convert point sizes with, not this widget's own
// screen: a size must come back from a record as the window reports it.
int CFileWndWidget::GetDpiY()
{
    return platform::GetScreenDpiY();
}

void CFileWndWidget::SetScrollInfo(int bar, unsigned mask, std::int64_t min, std::int64_t max, std::int64_t page,
                                   std::int64_t pos, bool)
{
    BarInfo& b = bar == kSbVert ? m_vert : m_horz;
    if (mask & kSifRange) {
        b.min = min;
        b.max = max;
    }
    if (mask & kSifPage)
        b.page = page;
    if (mask & kSifPos)
        b.pos = pos;
    ApplyBar(bar);
}

// The vertical bar in bytes from the start of the data. A Qt bar's maximum is
// its last reachable value, so it is the top of the last screenful and the
// page is what lies below that: the thumb can never ask for a top beyond the
// last screenful. Above INT_MAX bytes the values are scaled; the ends stay
// exact (value 0 is the first byte, the maximum is the last screenful).
int CFileWndWidget::VBarValueOf(std::int64_t bytes) const
{
    const std::int64_t span = std::max<std::int64_t>(m_vert.max - m_vert.min, 0);
    const std::int64_t reach = span - std::clamp<std::int64_t>(m_vert.page, 0, span);
    bytes = std::clamp<std::int64_t>(bytes, 0, reach);
    if (span <= INT_MAX)
        return static_cast<int>(bytes);
    return static_cast<int>(static_cast<__int128>(bytes) * kScaledBarRange / span);
}

std::int64_t CFileWndWidget::VBarBytesOf(int value) const
{
    const std::int64_t span = std::max<std::int64_t>(m_vert.max - m_vert.min, 0);
    const std::int64_t reach = span - std::clamp<std::int64_t>(m_vert.page, 0, span);
    if (value <= 0)
        return 0;
    if (value >= VBarValueOf(reach))
        return reach;
    if (span <= INT_MAX)
        return value;
    return std::min<std::int64_t>(static_cast<std::int64_t>(static_cast<__int128>(value) * span / kScaledBarRange),
                                  reach);
}

void CFileWndWidget::ApplyBar(int bar)
{
    const bool wasSetting = m_bSettingBars;
    m_bSettingBars = true;
    if (bar == kSbVert) {
        QScrollBar* sb = verticalScrollBar();
        const std::int64_t span = std::max<std::int64_t>(m_vert.max - m_vert.min, 0);
        const std::int64_t page = std::clamp<std::int64_t>(m_vert.page, 0, span);
        const int top = VBarValueOf(span - page);
        const std::int64_t step =
            span <= INT_MAX ? page : static_cast<std::int64_t>(static_cast<__int128>(page) * kScaledBarRange / span);
        sb->setRange(0, top);
        sb->setPageStep(static_cast<int>(std::clamp<std::int64_t>(step, 1, INT_MAX)));
        sb->setSingleStep(1);
        if (!sb->isSliderDown())
            sb->setValue(VBarValueOf(m_vert.pos - m_vert.min));
    } else {
        QScrollBar* sb = horizontalScrollBar();
        const std::int64_t span = std::max<std::int64_t>(m_horz.max - m_horz.min, 0);
        const std::int64_t page = std::clamp<std::int64_t>(m_horz.page, 0, span);
        const int top = static_cast<int>(std::min<std::int64_t>(span - page, INT_MAX));
        sb->setRange(0, top);
        sb->setPageStep(static_cast<int>(std::clamp<std::int64_t>(m_horz.page, 1, INT_MAX)));
        sb->setSingleStep(1);
        if (!sb->isSliderDown())
            sb->setValue(static_cast<int>(std::clamp<std::int64_t>(m_horz.pos - m_horz.min, 0, top)));
    }
    m_bSettingBars = wasSetting;
}

std::int64_t CFileWndWidget::GetVScrollTrackPos()
{
    return VBarBytesOf(verticalScrollBar()->sliderPosition());
}

// Qt has already moved the slider by its own idea of the action; the window
// decides where the top goes and the bar is then set to that.
void CFileWndWidget::OnVBarAction(int action)
{
    if (m_bSettingBars)
        return;
    int code;
    switch (action) {
    case QAbstractSlider::SliderSingleStepAdd: code = kSbLineDown; break;
    case QAbstractSlider::SliderSingleStepSub: code = kSbLineUp; break;
    case QAbstractSlider::SliderPageStepAdd: code = kSbPageDown; break;
    case QAbstractSlider::SliderPageStepSub: code = kSbPageUp; break;
    case QAbstractSlider::SliderToMinimum: code = kSbTop; break;
    case QAbstractSlider::SliderToMaximum: code = kSbBottom; break;
    case QAbstractSlider::SliderMove: code = kSbThumbTrack; break;
    default: return;
    }
    m_wnd.OnVScroll(code);
    ApplyBar(kSbVert);
}

void CFileWndWidget::OnHBarAction(int action)
{
    if (m_bSettingBars)
        return;
    int code;
    switch (action) {
    case QAbstractSlider::SliderSingleStepAdd: code = kSbLineRight; break;
    case QAbstractSlider::SliderSingleStepSub: code = kSbLineLeft; break;
    case QAbstractSlider::SliderPageStepAdd: code = kSbPageRight; break;
    case QAbstractSlider::SliderPageStepSub: code = kSbPageLeft; break;
    case QAbstractSlider::SliderToMinimum: code = kSbLeft; break;
    case QAbstractSlider::SliderToMaximum: code = kSbRight; break;
    case QAbstractSlider::SliderMove: code = kSbThumbTrack; break;
    default: return;
    }
    m_wnd.OnHScroll(code, horizontalScrollBar()->sliderPosition());
    ApplyBar(kSbHorz);
}

void CFileWndWidget::scrollContentsBy(int, int)
{
    // The window moves its own image (ScrollWindow); the bars only report.
}

void CFileWndWidget::InvalidateAll()
{
    viewport()->update();
}

void CFileWndWidget::ScrollWindow(int dx, int dy)
{
    viewport()->scroll(dx, dy);
}

int CFileWndWidget::ShowMessageBox(const std::string& text, const std::string& caption, unsigned type)
{
    if (m_messageBoxHook)
        return m_messageBoxHook(text, caption, type);
    return ShowQtMessageBox(this, text, caption, type);
}

bool CFileWndWidget::OpenClipboard()
{
    return qobject_cast<QGuiApplication*>(QCoreApplication::instance()) && QGuiApplication::clipboard();
}

void CFileWndWidget::EmptyClipboard()
{
    // Setting the text below replaces whatever the clipboard held.
}

namespace {

// The text of a clipboard block as the window makes it (see IFileWndPort::SetClipboardData).
QString TextOfBlock(unsigned format, const std::vector<std::uint8_t>& block)
{
    QString text;
    if (format == kCfUnicodeText) {
        std::u16string units(block.size() / 2, u'\0');
        if (!units.empty())
            std::memcpy(units.data(), block.data(), units.size() * 2);
        units.resize(units.find(u'\0') == std::u16string::npos ? units.size() : units.find(u'\0'));
        text = QString::fromUtf16(units.data(), static_cast<qsizetype>(units.size()));
    } else {
        const auto end = std::find(block.begin(), block.end(), std::uint8_t(0));
        text.reserve(static_cast<qsizetype>(end - block.begin()));
        for (auto it = block.begin(); it != end; ++it)
            text.append(QChar(platform::Win1252ToUnicode(*it)));
    }
    return text;
}

}  // namespace

void CFileWndWidget::SetClipboardData(unsigned format, std::vector<std::uint8_t> block)
{
    QGuiApplication::clipboard()->setText(TextOfBlock(format, block));
}

void CFileWndWidget::SetPrimarySelection(unsigned format, std::vector<std::uint8_t> block)
{
    if (!qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
        return;
    QClipboard* clipboard = QGuiApplication::clipboard();
    if (clipboard && clipboard->supportsSelection())
        clipboard->setText(TextOfBlock(format, block), QClipboard::Selection);
}

std::pair<COLORREF, COLORREF> CFileWndWidget::SelectionColors()
{
    auto ref = [](const QColor& c) {
        return platform::Rgb(static_cast<unsigned>(c.red()), static_cast<unsigned>(c.green()),
                             static_cast<unsigned>(c.blue()));
    };
    const QPalette& pal = viewport()->palette();
    return {ref(pal.color(QPalette::HighlightedText)), ref(pal.color(QPalette::Highlight))};
}

bool CFileWndWidget::CloseClipboard()
{
    return true;
}

// --- Events ----------------------------------------------------------------------------

void CFileWndWidget::paintEvent(QPaintEvent* event)
{
    QPainter p(viewport());
    CQtFilePainter painter(p, event->region(), m_fonts, m_wnd.GetCharWidth(), viewport());
    m_wnd.OnPaint(painter);
    UpdateGutter();
    emit textPainted();
}

void CFileWndWidget::resizeEvent(QResizeEvent*)
{
    const QRect text = viewport()->geometry();
    m_pGutter->setGeometry(text.left() - m_nGutterWidth, text.top(), m_nGutterWidth, text.height());
    if (m_pSideStrip)
        m_pSideStrip->setGeometry(text.right() + 1, text.top(), m_pSideStrip->width(), text.height());
    m_wnd.OnSize(viewport()->width(), viewport()->height());
}

void CFileWndWidget::keyPressEvent(QKeyEvent* event)
{
    // Ctrl+C is the frame's shortcut for the view's Copy command: the one way the screen is copied.
    // Alt combinations belong to the menus and shortcuts around the window.
    if (event->key() == Qt::Key_Escape && m_wnd.HasSelection()) {
        m_wnd.ClearSelection();
        event->accept();
        return;
    }
    unsigned vk = 0;
    if (!(event->modifiers() & Qt::AltModifier)) {
        switch (event->key()) {
        case Qt::Key_Space: vk = kVkSpace; break;
        case Qt::Key_PageUp: vk = kVkPrior; break;
        case Qt::Key_PageDown: vk = kVkNext; break;
        case Qt::Key_End: vk = kVkEnd; break;
        case Qt::Key_Home: vk = kVkHome; break;
        case Qt::Key_Left: vk = kVkLeft; break;
        case Qt::Key_Up: vk = kVkUp; break;
        case Qt::Key_Right: vk = kVkRight; break;
        case Qt::Key_Down: vk = kVkDown; break;
        default: break;
        }
    }
    if (!vk) {
        event->ignore();
        return;
    }
    m_wnd.OnKeyDown(vk);
    event->accept();
}

// One window message per notch (120 units); touchpads send parts of a notch,
// which add up. A change of direction drops the part collected so far.
void CFileWndWidget::HandleWheel(int deltaX, int deltaY)
{
    auto collect = [](int& acc, int delta) {
        if (delta == 0)
            return 0;
        if (acc != 0 && (acc > 0) != (delta > 0))
            acc = 0;
        acc = std::clamp(acc + delta, -100 * kWheelNotch, 100 * kWheelNotch);
        const int notches = acc / kWheelNotch;
        acc -= notches * kWheelNotch;
        return notches;
    };
    for (int n = collect(m_nWheelY, deltaY); n != 0; n += n > 0 ? -1 : 1)
        m_wnd.OnMouseWheel(n > 0 ? kWheelNotch : -kWheelNotch);
    // Qt's horizontal delta is positive for a move to the left; the window's
    // is positive for a tilt to the right.
    for (int n = collect(m_nWheelX, -deltaX); n != 0; n += n > 0 ? -1 : 1)
        m_wnd.OnMouseHWheel(n > 0 ? kWheelNotch : -kWheelNotch);
}

void CFileWndWidget::wheelEvent(QWheelEvent* event)
{
    HandleWheel(event->angleDelta().x(), event->angleDelta().y());
    event->accept();
}

bool CFileWndWidget::viewportEvent(QEvent* event)
{
    if (event->type() == QEvent::Enter)
        m_pointer = static_cast<QEnterEvent*>(event)->position().toPoint();
    else if (event->type() == QEvent::Leave)
        m_pointer.reset();
    // A merged window's source column: a letter's tooltip is its file's path.
    if (event->type() == QEvent::ToolTip && m_wnd.GetMerged()) {
        const auto* help = static_cast<QHelpEvent*>(event);
        const int h = m_wnd.GetLineHeight(), cw = m_wnd.GetCharWidth();
        const auto& rows = m_wnd.GetMerged()->PaintedRows();
        const int row = h > 0 ? help->pos().y() / h : -1;
        if (help->pos().x() < mergedwnd::kSourceColumns * cw && row >= 0 && row < static_cast<int>(rows.size()) &&
            rows[static_cast<std::size_t>(row)].file >= 0) {
            const int file = rows[static_cast<std::size_t>(row)].file;
            QToolTip::showText(help->globalPos(),
                               QString(QChar(mergedwnd::Letter(file))) + "  " +
                                   QFile::decodeName(m_wnd.GetMerged()->PathOf(file).c_str()),
                               viewport());
        } else {
            QToolTip::hideText();
            event->ignore();
        }
        return true;
    }
    // A row's tooltip, when the window's document gives its rows one (a journal entry's fields).
    if (event->type() == QEvent::ToolTip) {
        auto* help = static_cast<QHelpEvent*>(event);
        const int h = m_wnd.GetLineHeight();
        const std::string tip = h > 0 ? m_wnd.RowTip(help->pos().y() / h) : std::string();
        if (tip.empty()) {
            QToolTip::hideText();
            event->ignore();
        } else {
            QToolTip::showText(help->globalPos(), QString::fromStdString(tip), viewport());
        }
        return true;
    }
    return QAbstractScrollArea::viewportEvent(event);
}

bool CFileWndWidget::eventFilter(QObject* watched, QEvent* event)
{
    // A dot's tooltip is its mark's note; a row without a note shows none.
    if (watched == m_pGutter && event->type() == QEvent::ToolTip) {
        auto* help = static_cast<QHelpEvent*>(event);
        const int h = m_wnd.GetLineHeight();
        const QString tip = h > 0 ? MarkToolTip(help->pos().y() / h) : QString();
        if (tip.isEmpty()) {
            QToolTip::hideText();
            event->ignore();
        } else {
            QToolTip::showText(help->globalPos(), tip, m_pGutter);
        }
        return true;
    }
    if (watched == m_pSideStrip && (event->type() == QEvent::ShowToParent || event->type() == QEvent::HideToParent))
        LayoutMargins();
    // The wheel over a bar moves the text as over the text itself (a bar
    // would move by its own steps, behind the window's back).
    if (event->type() == QEvent::Wheel &&
        (watched == verticalScrollBar() || watched == horizontalScrollBar() || watched == m_pGutter)) {
        QPoint d = static_cast<QWheelEvent*>(event)->angleDelta();
        if (watched == horizontalScrollBar() && d.x() == 0)
            d = QPoint(d.y(), 0);
        HandleWheel(d.x(), d.y());
        event->accept();
        return true;
    }
    return QAbstractScrollArea::eventFilter(watched, event);
}

void CFileWndWidget::mousePressEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton) {
        m_wnd.OnLButtonDown();
        // The selection: a press only sets where a drag or a Shift+click starts from, and drops the old one.
        const QPoint at = event->position().toPoint();
        const TextPos pos = m_wnd.PositionAt(at.x(), at.y());
        m_bSelectDragging = false;
        if (m_lastDoubleClick.isValid() && m_lastDoubleClick.elapsed() < QApplication::doubleClickInterval() &&
            (at - m_doubleClickAt).manhattanLength() < QApplication::startDragDistance()) {
            m_lastDoubleClick.invalidate();
            m_bSelectPressed = false;
            m_wnd.SelectLine(pos);
            m_wnd.PublishSelection();
            return;
        }
        m_bSelectPressed = true;
        m_selectPress = at;
        if (event->modifiers() & Qt::ShiftModifier) {
            m_bSelectDragging = true;
            m_wnd.ExtendSelection(pos);
            m_wnd.PublishSelection();
        } else {
            m_wnd.SetSelection(pos, pos);
        }
    }
}

void CFileWndWidget::mouseDoubleClickEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton) {
        QAbstractScrollArea::mouseDoubleClickEvent(event);
        return;
    }
    m_wnd.OnLButtonDown();
    const QPoint at = event->position().toPoint();
    m_bSelectPressed = m_bSelectDragging = false;
    m_wnd.SelectWord(m_wnd.PositionAt(at.x(), at.y()));
    m_wnd.PublishSelection();
    m_lastDoubleClick.start();
    m_doubleClickAt = at;
}

void CFileWndWidget::mouseMoveEvent(QMouseEvent* event)
{
    m_pointer = event->position().toPoint();
    m_wnd.OnMouseMove();
    if (!m_bSelectPressed || !(event->buttons() & Qt::LeftButton))
        return;
    const QPoint at = event->position().toPoint();
    if (!m_bSelectDragging && (at - m_selectPress).manhattanLength() < QApplication::startDragDistance())
        return;
    m_bSelectDragging = true;
    DragSelectionTo(at);
}

void CFileWndWidget::DragSelectionTo(const QPoint& pos)
{
    m_selectPointer = pos;
    m_wnd.ExtendSelection(m_wnd.PositionAt(pos.x(), pos.y()));
    const bool outside = pos.y() < 0 || pos.y() >= viewport()->height();
    if (outside && !m_pSelectScroll->isActive())
        m_pSelectScroll->start();
    else if (!outside)
        m_pSelectScroll->stop();
}

void CFileWndWidget::OnSelectionScrollTick()
{
    if (!m_bSelectDragging || !(QApplication::mouseButtons() & Qt::LeftButton)) {
        m_pSelectScroll->stop();
        return;
    }
    m_wnd.OnVScroll(m_selectPointer.y() < 0 ? kSbLineUp : kSbLineDown);
    ApplyBar(kSbVert);
    DragSelectionTo(m_selectPointer);
}

void CFileWndWidget::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton) {
        m_wnd.OnLButtonUp();
        m_pSelectScroll->stop();
        if (m_bSelectDragging)
            m_wnd.PublishSelection();
        m_bSelectPressed = m_bSelectDragging = false;
    }
}
