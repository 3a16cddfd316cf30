#include "app/bars/CaptionBar.h"

#include "res/ImageStrip.h"
#include "view/StringTable.h"

#include <QHelpEvent>
#include <QImage>
#include <QMouseEvent>
#include <QPainter>
#include <QStyleOptionButton>
#include <QToolTip>

#include <algorithm>
#include <utility>

namespace {

// The pixel height the layout reads from a font: its line height.
int fontTextHeight(const QFont& font)
{
    return QFontMetrics(font).height();
}

}  // namespace

CMyCaptionBar::CMyCaptionBar(bool messageBarMode, QWidget* parent) : QWidget(parent), m_bMessageBarMode(messageBarMode)
{
    setObjectName(QStringLiteral("captionBar"));
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    setMouseTracking(true);
    setAttribute(Qt::WA_OpaquePaintEvent);
}

// --- State ---------------------------------------------------------------------------------

void CMyCaptionBar::SetBitmap(const QIcon& image, QSize size, const QColor& transparent, bool stretch, int alignment)
{
    m_image = image;
    m_imageSize = size;
    m_clrTransparent = transparent;
    m_bStretchImage = stretch;
    m_nImageAlign = alignment;
    update();
}

void CMyCaptionBar::RemoveBitmap()
{
    m_image = QIcon();
    m_imageSize = QSize();
    update();
}

void CMyCaptionBar::SetImageToolTip(const QString& title, const QString& description)
{
    m_strImageTipTitle = title;
    m_strImageTipDescription = description;
}

void CMyCaptionBar::SetText(const QString& text, int alignment)
{
    m_strText = text;
    m_nTextAlign = alignment;
    setAccessibleName(text);
    update();
}

void CMyCaptionBar::SetButton(const QString& caption, int commandId, int alignment, bool hasDropDownArrow)
{
    m_strButton = caption;
    m_nButtonId = commandId;
    m_nButtonAlign = alignment;
    m_bButtonMenuArrow = hasDropDownArrow;
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
template <typename T>
void shiftInto(T& lo, T& hi, T areaLo, T areaHi)
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
template <typename T>
void clipInto(T& lo, T& hi, T areaLo, T areaHi)
{
    lo = std::max(lo, areaLo);
    hi = std::min(hi, areaHi);
    if (hi < lo)
        hi = lo;
}

}  // namespace

void CMyCaptionBar::LayOutElements()
{
    const int M = kMargin;
    const int G = kElementGap;

    // 1. The font's text height and the image's size.
    const QFontMetrics fm(font());
    const int h = fontTextHeight(font());
    int textHeight = h + 2;
    const int iw = HasImage() ? m_imageSize.width() : 0;
    const int ih = HasImage() ? m_imageSize.height() : 0;

    // 2. The bar's height.
    const int oldHeight = m_nCurrentHeight;
    if (m_nDefaultHeight != -1) {
        m_nCurrentHeight = m_nDefaultHeight;
    } else {
        if (m_bMessageBarMode && !m_strButton.isEmpty())
            textHeight += 10;
        m_nCurrentHeight = std::max(textHeight, ih) + 2 * M + kBorderSize;
    }
    if (m_bMessageBarMode)
        m_nCurrentHeight += 8;
    if (m_nCurrentHeight != oldHeight)
        updateGeometry();

    // 3. Nothing to place in an empty bar: the rectangles keep their values.
    Box c = ClientBox();
    if (c.IsEmpty())
        return;

    // 4. The close box at the right end, the message inside a frame left of it.
    if (m_bMessageBarMode) {
        const int closeWidth = kCloseGlyph + 8;
        m_rectClose = Box{c.right - closeWidth, c.top + 4, c.right, c.top + 4 + kCloseGlyph + 8};
        c = Box{c.left + 4, c.top + 4, c.right - 4 - closeWidth, c.bottom - 4};
    } else {
        m_rectClose = Box{};
    }
    m_rectMessage = c;

    // 5. Free space from both ends, and the placement flags.
    const int yc = (c.top + c.bottom) / 2;
    int xc = (c.left + c.right) / 2;
    int xl = c.left + M;
    int xr = c.right - M;
    bool imageCentered = false, buttonCentered = false, textCentered = false;
    // (No flag for a button left of the image: no step below would read it.)
    bool buttonAfterText = false, textLeftOfImage = false, textLeftOfButton = false;
    // Elements that are not set have no place (a bar whose content changed keeps no stale one).
    if (!HasImage())
        m_rectImage = Box{};
    if (m_strButton.isEmpty())
        m_rectButton = Box{};
    if (m_strText.isEmpty())
        m_rectText = m_rectDrawText = Box{};

    // 6. The image.
    if (HasImage()) {
        m_rectImage.top = ih < c.Height() ? yc - ih / 2 : c.top + M;
        m_rectImage.bottom = m_bStretchImage ? c.bottom - M : m_rectImage.top + ih;
        switch (m_nImageAlign) {
        case CaptionAlignLeft:
            m_rectImage.left = xl;
            m_rectImage.right = m_rectImage.left + iw;
            xl = m_rectImage.right + G;
            break;
        case CaptionAlignRight:
            m_rectImage.left = xr - iw;
            m_rectImage.right = m_rectImage.left + iw;
            xr = m_rectImage.left - G;
            textLeftOfImage = true;
            break;
        case CaptionAlignCenter:
            xc -= iw / 2;
            imageCentered = true;
            textLeftOfImage = m_nTextAlign == CaptionAlignLeft;
            break;
        }
    }

    // 7. The button.
    int bw = 0;
    if (!m_strButton.isEmpty()) {
        bw = fm.horizontalAdvance(m_strButton) + 2 * G;
        if (m_bMessageBarMode)
            bw += 20;
        if (m_bButtonMenuArrow)
            bw += 10;
        m_rectButton.top = c.top;
        m_rectButton.bottom = c.bottom;
        if (m_bMessageBarMode) {
            m_rectButton.top += 5;
            m_rectButton.bottom -= 5;
        }
        switch (m_nButtonAlign) {
        case CaptionAlignLeft:
            if (m_bMessageBarMode && m_nTextAlign == CaptionAlignLeft) {
                buttonAfterText = true;
            } else {
                m_rectButton.left = xl;
                m_rectButton.right = m_rectButton.left + bw;
                xl = m_rectButton.right + G;
            }
            break;
        case CaptionAlignRight:
            m_rectButton.left = xr - bw;
            m_rectButton.right = m_rectButton.left + bw;
            xr = m_rectButton.left - G;
            textLeftOfButton = true;
            break;
        case CaptionAlignCenter:
            xc -= bw / 2;
            buttonCentered = true;
            textLeftOfButton = m_nTextAlign == CaptionAlignLeft;
            break;
        default: return;
        }
    }

    // 8. The text, cut to the client area less the margin.
    const Box inner{c.left + M, c.top + M, c.right - M, c.bottom - M};
    int tw = 0;
    if (!m_strText.isEmpty()) {
        tw = fm.horizontalAdvance(m_strText);
        const int th = fm.height();
        m_rectText.top = yc - th / 2;
        m_rectText.bottom = m_rectText.top + th;
        switch (m_nTextAlign) {
        case CaptionAlignLeft:
            m_rectText.left = xl;
            xl += tw + 2 * M;
            break;
        case CaptionAlignRight: m_rectText.left = xr - tw; break;
        case CaptionAlignCenter:
            xc -= tw / 2;
            textCentered = true;
            break;
        default: return;
        }
        m_rectText.right = m_rectText.left + tw;
        clipInto(m_rectText.left, m_rectText.right, inner.left, inner.right);
        clipInto(m_rectText.top, m_rectText.bottom, inner.top, inner.bottom);
        m_rectDrawText = m_rectText;
    }

    // 9.-11. The centred elements, side by side from xc.
    if (imageCentered) {
        m_rectImage.left = xc;
        m_rectImage.right = xc + iw;
        xc = m_rectImage.right + G;
    }
    if (buttonAfterText) {
        m_rectButton.left = xl;
        m_rectButton.right = xl + bw;
        if (m_rectButton.right + M > c.right) {
            m_rectButton.right = c.right - M;
            m_rectButton.left = m_rectButton.right - bw;
        }
    } else if (buttonCentered) {
        m_rectButton.left = xc;
        m_rectButton.right = xc + bw;
        xc = m_rectButton.right + G;
    }
    if (textCentered) {
        m_rectText.left = xc;
        m_rectText.right = xc + tw;
        clipInto(m_rectText.left, m_rectText.right, inner.left, inner.right);
        clipInto(m_rectText.top, m_rectText.bottom, inner.top, inner.bottom);
        m_rectDrawText = m_rectText;
    }

    // 12. The image moved inside; drawn only while it fits in the client area.
    if (HasImage()) {
        if (m_bStretchImage) {
            clipInto(m_rectImage.left, m_rectImage.right, inner.left, inner.right);
            clipInto(m_rectImage.top, m_rectImage.bottom, inner.top, inner.bottom);
        } else {
            shiftInto(m_rectImage.left, m_rectImage.right, inner.left, inner.right);
            shiftInto(m_rectImage.top, m_rectImage.bottom, inner.top, inner.bottom);
        }
        if (m_rectImage.left < c.left || m_rectImage.right > c.right)
            m_rectImage = Box{};
    }

    // 13. No button where it and the image do not both fit.
    if (!m_strButton.isEmpty() && iw + bw + 2 * M > c.Width())
        m_rectButton = Box{};

    // 14. The text gives way to the image and the button.
    if (!m_strText.isEmpty()) {
        Box& t = m_rectDrawText;
        auto trimAgainst = [&t](const Box& other, bool keepLeft) {
            if (other.IsEmpty() || t.IsEmpty() || other.right <= t.left || other.left >= t.right)
                return;
            if (keepLeft)
                t.right = std::max(t.left, other.left);
            else
                t.left = std::min(t.right, other.right);
        };
        trimAgainst(m_rectImage, textLeftOfImage);
        trimAgainst(m_rectButton, textLeftOfButton || buttonAfterText);
    }

    // 15. The cut mark and the tooltips.
    m_bTextIsTruncated = !m_strText.isEmpty() && m_rectDrawText.Width() < tw;
    RefreshToolTips();
    update();
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
        m_toolTips.emplace_back(m_rectDrawText, m_strText);
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
    QColor textColor = pal.windowText().color();
    if (m_bMessageBarMode && !m_rectMessage.IsEmpty()) {
        const QRect box = m_rectMessage.ToQRect();
        p.fillRect(box, pal.toolTipBase());
        p.setPen(pal.mid().color());
        p.drawRect(box.adjusted(0, 0, -1, -1));
        textColor = pal.toolTipText().color();
    }

    if (!m_rectImage.IsEmpty()) {
        const QRect r = m_rectImage.ToQRect();
        p.drawPixmap(r, ImagePixmap(r.size()));
    }

    if (!m_rectDrawText.IsEmpty()) {
        const QRect r = m_rectDrawText.ToQRect();
        p.setPen(textColor);
        p.drawText(r, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
                   fontMetrics().elidedText(m_strText, Qt::ElideRight, r.width()));
    }

    if (!m_rectButton.IsEmpty()) {
        QStyleOptionButton option;
        option.initFrom(this);
        option.rect = m_rectButton.ToQRect();
        option.text = m_strButton;
        option.state &= ~(QStyle::State_MouseOver | QStyle::State_HasFocus);
        if (m_hot == Part::Button)
            option.state |= QStyle::State_MouseOver;
        option.state |=
            m_pressed == Part::Button && m_hot == Part::Button ? QStyle::State_Sunken : QStyle::State_Raised;
        if (m_bButtonMenuArrow)
            option.features |= QStyleOptionButton::HasMenu;
        style()->drawControl(QStyle::CE_PushButton, &option, &p, this);
    }

    if (!m_rectClose.IsEmpty()) {
        const QRect r = m_rectClose.ToQRect();
        p.setRenderHint(QPainter::Antialiasing);
        if (m_hot == Part::Close) {
            QColor back = pal.highlight().color();
            back.setAlpha(m_pressed == Part::Close ? 90 : 45);
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

CMyCaptionBar::Part CMyCaptionBar::PartAt(QPoint pos) const
{
    if (m_rectClose.Contains(pos))
        return Part::Close;
    if (m_rectButton.Contains(pos))
        return Part::Button;
    return Part::None;
}

void CMyCaptionBar::mousePressEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton) {
        m_pressed = PartAt(event->position().toPoint());
        update();
    }
    QWidget::mousePressEvent(event);
}

void CMyCaptionBar::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton)
        return QWidget::mouseReleaseEvent(event);
    const Part pressed = std::exchange(m_pressed, Part::None);
    update();
    if (pressed == Part::None || PartAt(event->position().toPoint()) != pressed)
        return;
    if (pressed == Part::Close) {
        hide();
        emit closeClicked();
    } else {
        emit buttonClicked(m_nButtonId);
    }
}

void CMyCaptionBar::mouseMoveEvent(QMouseEvent* event)
{
    const Part hot = PartAt(event->position().toPoint());
    if (hot != m_hot) {
        m_hot = hot;
        update();
    }
    QWidget::mouseMoveEvent(event);
}

void CMyCaptionBar::leaveEvent(QEvent* event)
{
    if (m_hot != Part::None) {
        m_hot = Part::None;
        update();
    }
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
    m_pCaptionBar = new CMyCaptionBar(true, m_pFrame);
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
    bar->SetBitmap(WelcomeBitmap(), QSize(20, 20), QColor(255, 255, 255), false, CaptionAlignLeft);
    bar->SetText(QString::fromUtf8(text::WelcomeMessage), CaptionAlignLeft);
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
