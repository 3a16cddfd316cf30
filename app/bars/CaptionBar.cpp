#include "app/bars/CaptionBar.h"

#include "res/ImageStrip.h"
#include "view/StringTable.h"

#include <QHelpEvent>
#include <QImage>
#include <QMouseEvent>
#include <QPainter>
#include <QToolTip>

#include <algorithm>
#include <utility>

CMyCaptionBar::CMyCaptionBar(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("captionBar"));
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    setMouseTracking(true);
    setAttribute(Qt::WA_OpaquePaintEvent);
}

// --- State ---------------------------------------------------------------------------------

void CMyCaptionBar::SetBitmap(const QIcon& image, QSize size, const QColor& transparent)
{
    m_image = image;
    m_imageSize = size;
    m_clrTransparent = transparent;
    update();
}

void CMyCaptionBar::SetImageToolTip(const QString& title, const QString& description)
{
    m_strImageTipTitle = title;
    m_strImageTipDescription = description;
}

void CMyCaptionBar::SetText(const QString& text)
{
    m_strText = text;
    setAccessibleName(text);
    update();
}

// --- Layout ---------------------------------------------------------------------------------

CMyCaptionBar::Box CMyCaptionBar::ClientBox() const
{
    // The border is outside the client area, along the bottom edge.
    return Box{0, 0, width(), std::max(0, height() - kBorderSize)};
}

namespace {

// Moves [lo, hi) inside [areaLo, areaHi) without changing its extent; when it
// is longer than the area it starts at the area's start.
void shiftInto(int& lo, int& hi, int areaLo, int areaHi)
{
    if (hi > areaHi) {
        lo -= hi - areaHi;
        hi = areaHi;
    }
    if (lo < areaLo) {
        hi += areaLo - lo;
        lo = areaLo;
    }
}

// Cuts [lo, hi) to [areaLo, areaHi); an interval outside it ends up empty.
void clipInto(int& lo, int& hi, int areaLo, int areaHi)
{
    lo = std::max(lo, areaLo);
    hi = std::min(hi, areaHi);
    if (hi < lo)
        hi = lo;
}

}  // namespace

void CMyCaptionBar::LayOutElements()
{
    // The bar's height: the taller of a text line and the image, with the
    // margins, the border and the message's frame.
    const int oldHeight = m_nCurrentHeight;
    const int ih = HasImage() ? m_imageSize.height() : 0;
    m_nCurrentHeight = std::max(fontMetrics().height() + 2, ih) + 2 * kMargin + kBorderSize + 8;
    if (m_nCurrentHeight != oldHeight)
        updateGeometry();

    // Nothing to place in an empty bar: the rectangles keep their values.
    Box c = ClientBox();
    if (c.IsEmpty())
        return;

    // The close box at the right end, the message inside a frame left of it.
    const int closeWidth = kCloseGlyph + 8;
    m_rectClose = Box{c.right - closeWidth, c.top + 4, c.right, c.top + 4 + kCloseGlyph + 8};
    c = Box{c.left + 4, c.top + 4, c.right - 4 - closeWidth, c.bottom - 4};
    m_rectMessage = c;
    const Box inner{c.left + kMargin, c.top + kMargin, c.right - kMargin, c.bottom - kMargin};
    PlaceImage(c, inner);
    PlaceText(c, inner);
    RefreshToolTips();
    update();
}

// The image at the message's left margin, centred in height; drawn only while
// it fits in the message.
void CMyCaptionBar::PlaceImage(const Box& message, const Box& inner)
{
    m_rectImage = Box{};
    if (!HasImage())
        return;
    const int ih = m_imageSize.height();
    const int top = ih < message.Height() ? (message.top + message.bottom) / 2 - ih / 2 : inner.top;
    m_rectImage = Box{inner.left, top, inner.left + m_imageSize.width(), top + ih};
    shiftInto(m_rectImage.top, m_rectImage.bottom, inner.top, inner.bottom);
    if (m_rectImage.right > message.right)
        m_rectImage = Box{};
}

// The text after the image's place (kept even where the image does not fit),
// cut to the message less its margins.
void CMyCaptionBar::PlaceText(const Box& message, const Box& inner)
{
    m_rectText = Box{};
    m_bTextIsTruncated = false;
    if (m_strText.isEmpty())
        return;
    const QFontMetrics fm = fontMetrics();
    const int tw = fm.horizontalAdvance(m_strText);
    const int left = inner.left + (HasImage() ? m_imageSize.width() + kElementGap : 0);
    const int top = (message.top + message.bottom) / 2 - fm.height() / 2;
    m_rectText = Box{left, top, left + tw, top + fm.height()};
    clipInto(m_rectText.left, m_rectText.right, inner.left, inner.right);
    clipInto(m_rectText.top, m_rectText.bottom, inner.top, inner.bottom);
    m_bTextIsTruncated = m_rectText.Width() < tw;
}

void CMyCaptionBar::RefreshToolTips()
{
    m_toolTips.clear();
    if (!m_rectImage.IsEmpty() && (!m_strImageTipTitle.isEmpty() || !m_strImageTipDescription.isEmpty())) {
        m_toolTips.emplace_back(m_rectImage,
                                QStringLiteral("<p style='white-space:pre'><b>%1</b></p><p>%2</p>")
                                    .arg(m_strImageTipTitle.toHtmlEscaped(), m_strImageTipDescription.toHtmlEscaped()));
    }
    if (m_bTextIsTruncated)
        m_toolTips.emplace_back(m_rectText, m_strText);
}

QString CMyCaptionBar::ToolTipAt(QPoint pos) const
{
    for (const auto& [box, tip] : m_toolTips) {
        if (box.Contains(pos))
            return tip;
    }
    return {};
}

QSize CMyCaptionBar::sizeHint() const
{
    return QSize(QWidget::sizeHint().width(), m_nCurrentHeight);
}

QSize CMyCaptionBar::minimumSizeHint() const
{
    // Any width: a narrow frame cuts the text.
    return QSize(0, m_nCurrentHeight);
}

// --- Drawing and the mouse --------------------------------------------------------------------

QPixmap CMyCaptionBar::ImagePixmap(QSize size) const
{
    const qreal dpr = devicePixelRatioF();
    QImage image = m_image.pixmap(size, dpr).toImage().convertToFormat(QImage::Format_ARGB32);
    if (m_clrTransparent.isValid()) {
        const QRgb key = m_clrTransparent.rgb();
        for (int y = 0; y < image.height(); ++y) {
            auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
            for (int x = 0; x < image.width(); ++x) {
                if (line[x] == key)
                    line[x] = 0;
            }
        }
    }
    return QPixmap::fromImage(image);
}

void CMyCaptionBar::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    const QPalette& pal = palette();
    p.fillRect(rect(), pal.window());
    if (kBorderSize > 0)
        p.fillRect(QRect(0, height() - kBorderSize, width(), kBorderSize), pal.mid());
    if (!m_rectMessage.IsEmpty()) {
        const QRect box = m_rectMessage.ToQRect();
        p.fillRect(box, pal.toolTipBase());
        p.setPen(pal.mid().color());
        p.drawRect(box.adjusted(0, 0, -1, -1));
    }

    if (!m_rectImage.IsEmpty()) {
        const QRect r = m_rectImage.ToQRect();
        p.drawPixmap(r, ImagePixmap(r.size()));
    }

    if (!m_rectText.IsEmpty()) {
        const QRect r = m_rectText.ToQRect();
        p.setPen(m_rectMessage.IsEmpty() ? pal.windowText().color() : pal.toolTipText().color());
        p.drawText(r, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
                   fontMetrics().elidedText(m_strText, Qt::ElideRight, r.width()));
    }

    if (!m_rectClose.IsEmpty()) {
        const QRect r = m_rectClose.ToQRect();
        p.setRenderHint(QPainter::Antialiasing);
        if (m_bCloseHot) {
            QColor back = pal.highlight().color();
            back.setAlpha(m_bClosePressed ? 90 : 45);
            p.setPen(pal.highlight().color());
            p.setBrush(back);
            p.drawRoundedRect(QRectF(r).adjusted(0.5, 0.5, -0.5, -0.5), 2, 2);
        }
        const QRectF glyph(r.left() + (r.width() - kCloseGlyph) / 2.0, r.top() + (r.height() - kCloseGlyph) / 2.0,
                           kCloseGlyph, kCloseGlyph);
        p.setPen(QPen(pal.windowText().color(), 1.5, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(glyph.topLeft(), glyph.bottomRight());
        p.drawLine(glyph.topRight(), glyph.bottomLeft());
    }
}

void CMyCaptionBar::SetCloseHot(bool hot)
{
    if (hot != m_bCloseHot) {
        m_bCloseHot = hot;
        update();
    }
}

void CMyCaptionBar::mousePressEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton) {
        m_bClosePressed = m_rectClose.Contains(event->position().toPoint());
        update();
    }
    QWidget::mousePressEvent(event);
}

void CMyCaptionBar::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton)
        return QWidget::mouseReleaseEvent(event);
    const bool pressed = std::exchange(m_bClosePressed, false);
    update();
    if (pressed && m_rectClose.Contains(event->position().toPoint()))
        hide();
}

void CMyCaptionBar::mouseMoveEvent(QMouseEvent* event)
{
    SetCloseHot(m_rectClose.Contains(event->position().toPoint()));
    QWidget::mouseMoveEvent(event);
}

void CMyCaptionBar::leaveEvent(QEvent* event)
{
    SetCloseHot(false);
    QWidget::leaveEvent(event);
}

bool CMyCaptionBar::event(QEvent* event)
{
    if (event->type() == QEvent::ToolTip) {
        auto* help = static_cast<QHelpEvent*>(event);
        const QString tip = ToolTipAt(help->pos());
        if (tip.isEmpty())
            QToolTip::hideText();
        else
            QToolTip::showText(help->globalPos(), tip, this);
        return true;
    }
    return QWidget::event(event);
}

void CMyCaptionBar::resizeEvent(QResizeEvent* event)
{
    LayOutElements();
    QWidget::resizeEvent(event);
}

void CMyCaptionBar::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (!event->spontaneous())
        emit shown();
}

void CMyCaptionBar::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::FontChange)
        LayOutElements();
    QWidget::changeEvent(event);
}

// --- The frame's controller ---------------------------------------------------------------

CCaptionBarController::CCaptionBarController(QWidget* frame, QBoxLayout* slot, int index)
    : QObject(frame), m_pFrame(frame), m_pSlot(slot), m_nIndex(index)
{
}

CCaptionBarController::~CCaptionBarController()
{
    delete m_pCaptionBar;
}

bool CCaptionBarController::RecreateCaptionBar()
{
    // Destroyed now, not later: two bars never exist side by side.
    delete m_pCaptionBar;
    m_pCaptionBar = new CMyCaptionBar(m_pFrame);
    connect(m_pCaptionBar, &CMyCaptionBar::shown, this, &CCaptionBarController::captionBarShown);
    if (m_pSlot)
        m_pSlot->insertWidget(m_nIndex, m_pCaptionBar);
    m_pCaptionBar->setVisible(true);
    return m_pCaptionBar != nullptr;
}

void CCaptionBarController::ShowCaptionMessage()
{
    // One repaint for the whole change, not one per step.
    m_pFrame->setUpdatesEnabled(false);
    RecreateCaptionBar();
    CMyCaptionBar* bar = m_pCaptionBar;
    bar->SetBitmap(WelcomeBitmap(), QSize(20, 20), QColor(255, 255, 255));
    bar->SetText(QString::fromUtf8(text::WelcomeMessage));
    bar->SetImageToolTip(QString::fromUtf8(text::WelcomeTipTitle), QString::fromUtf8(text::WelcomeTipDescription));
    bar->LayOutElements();
    m_pFrame->setUpdatesEnabled(true);
    bar->show();
    RelayoutFrame();
}

void CCaptionBarController::ToggleCaptionBar()
{
    if (!m_pCaptionBar)
        return;
    m_pCaptionBar->setVisible(m_pCaptionBar->isHidden());
    RelayoutFrame();
}

bool CCaptionBarController::IsCaptionBarVisible() const
{
    return m_pCaptionBar && !m_pCaptionBar->isHidden();
}

void CCaptionBarController::RelayoutFrame()
{
    QWidget* host = m_pSlot ? m_pSlot->parentWidget() : nullptr;
    if (host && host->layout())
        host->layout()->activate();
}
