#include "app/ribbon/RibbonButton.h"

#include "app/ribbon/RibbonPaint.h"

#include <QAction>
#include <QCursor>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>

#include <algorithm>

namespace {

constexpr int kLargeIcon = 32;
constexpr int kSmallIcon = 16;
constexpr int kLargeIconArea = kLargeIcon + 6;  // the main part of a large split button
constexpr int kSmallArrow = 12;                 // the arrow part of a small button
constexpr int kMenuEntryHeight = kLargeIcon + 8;
constexpr int kMenuEntryMinWidth = 170;

}  // namespace

CRibbonButton::CRibbonButton(int nID, const QString& label, const QIcon& small, const QIcon& large, QWidget* parent)
    : CRibbonElement(nID, label, parent), m_look(large.isNull() ? Look::Small : Look::Large)
{
    SetImages(small, large);
    setFocusPolicy(Qt::TabFocus);  // reachable by key tips and Tab, but a click leaves the focus where it was
    setMouseTracking(true);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

void CRibbonButton::SetLook(Look look)
{
    m_look = look;
    updateGeometry();
    update();
}

QMenu* CRibbonButton::Menu()
{
    if (!m_pMenu)
        SetMenu(new QMenu);
    return m_pMenu;
}

void CRibbonButton::SetMenu(QMenu* menu)
{
    if (m_pMenu == menu)
        return;
    delete m_pMenu;
    m_pMenu = menu;
    if (menu) {
        menu->setParent(this, menu->windowFlags());  // keeps it a pop-up while the button owns it
        menu->installEventFilter(this);
        connect(menu, &QMenu::triggered, this, [this](QAction* action) {
            bool ok = false;
            const int nID = action->data().toInt(&ok);
            if (ok)
                NotifyCommand(nID);
        });
        connect(menu, &QMenu::aboutToHide, this, [this] { SetDropDownOpen(false); });
    }
    ribbon::structureChanged();
    updateGeometry();
    update();
}

QAction* CRibbonButton::AddMenuItem(int nID, const QString& text, const QIcon& icon)
{
    QAction* action = Menu()->addAction(icon, text);
    action->setData(nID);
    return action;
}

void CRibbonButton::SetDefaultCommand(bool bDefault)
{
    m_bDefaultCommand = bDefault;
    update();
}

void CRibbonButton::OnKeyTip()
{
    if (HasDropDown() && !m_bDefaultCommand)
        DropDown();
    else
        ClickMain();
}

void CRibbonButton::OnMenuKeyTip()
{
    if (HasDropDown())
        DropDown();
}

QPoint CRibbonButton::KeyTipPos() const
{
    if (m_look == Look::Small)
        return QPoint(std::min(width() / 2, 14), height() - 2);
    return CRibbonElement::KeyTipPos();
}

QAccessible::Role CRibbonButton::AccessibleRole() const
{
    if (!HasDropDown())
        return QAccessible::Button;
    return m_bDefaultCommand ? QAccessible::ButtonDropDown : QAccessible::ButtonMenu;
}

QWidget* CRibbonButton::GetOpenDropDown() const
{
    return m_pMenu && m_pMenu->isVisible() ? m_pMenu : nullptr;
}

bool CRibbonButton::HasDropDown() const
{
    return m_pMenu != nullptr;
}

void CRibbonButton::DropDown()
{
    if (!m_pMenu)
        return;
    ribbon::styleMenu(m_pMenu, Theme());
    SetDropDownOpen(true);
    m_pMenu->popup(PopupPos(m_pMenu->sizeHint()));
}

void CRibbonButton::ClickMain()
{
    emit clicked();
    NotifyCommand(GetID());
}

bool CRibbonButton::ShowsLabel() const
{
    return m_look != Look::Small || GetSmallImage().isNull() || !IsInGroup();
}

void CRibbonButton::DrawImage(QPainter& p, const QRectF& r, const QIcon& icon)
{
    ribbon::paintIcon(p, icon, r, isEnabled());
}

QRect CRibbonButton::ArrowRect() const
{
    if (!IsSplit())
        return {};
    switch (m_look) {
    case Look::Large: return QRect(0, kLargeIconArea, width(), height() - kLargeIconArea);
    case Look::Small: return QRect(width() - kSmallArrow, 0, kSmallArrow, height());
    case Look::MenuEntry: break;
    }
    return QRect(width() - 2 * kSmallArrow, 0, 2 * kSmallArrow, height());
}

QPoint CRibbonButton::PopupPos(const QSize& size) const
{
    QPoint pos = mapToGlobal(QPoint(m_bMenuRight ? width() - size.width() : 0, height()));
    if (m_look == Look::MenuEntry)
        pos = mapToGlobal(QPoint(width(), 0));
    if (const QScreen* s = screen()) {
        const QRect avail = s->availableGeometry();
        pos.setX(std::clamp(pos.x(), avail.left(), std::max(avail.left(), avail.right() - size.width())));
    }
    return pos;
}

void CRibbonButton::SetDropDownOpen(bool bOpen)
{
    m_bDropDownOpen = bOpen;
    if (!bOpen) {
        // The pop-up took the mouse while it was open, so the leave event that
        // would have cleared the hover never came: ask where the mouse is now.
        m_bHover = isVisible() && rect().contains(mapFromGlobal(QCursor::pos()));
        m_bHoverArrow = m_bHover && m_bHoverArrow;
    }
    update();
}

void CRibbonButton::enterEvent(QEnterEvent* event)
{
    CRibbonElement::enterEvent(event);
    // In a pop-up (the application menu) the mouse moves the current entry,
    // as in any menu, so only one entry is lit: the focused one follows it.
    if (window()->windowType() == Qt::Popup && isEnabled())
        setFocus(Qt::MouseFocusReason);
}

QStringList CRibbonButton::LargeLabelLines() const
{
    const QString text = ribbon::stripMnemonic(GetLabel());
    const QFontMetrics fm = fontMetrics();
    // Two words or more go on two lines, split where the longer line is shortest.
    int best = -1;
    int bestWidth = fm.horizontalAdvance(text);
    for (int i = text.indexOf(u' '); i >= 0; i = text.indexOf(u' ', i + 1)) {
        const int w = std::max(fm.horizontalAdvance(text.left(i)), fm.horizontalAdvance(text.mid(i + 1)));
        if (best < 0 || w < bestWidth) {
            best = i;
            bestWidth = w;
        }
    }
    if (best < 0)
        return text.isEmpty() ? QStringList() : QStringList{text};
    return {text.left(best), text.mid(best + 1)};
}

QColor CRibbonButton::TextColor() const
{
    const CRibbonTheme& t = Theme();
    if (!isEnabled())
        return t.disabledText;
    // On the tab row's own background the row's text colour; a lit button
    // stands on a highlight, which carries element text in every look.
    const bool lit = m_bHover || hasFocus() || m_bPressed || m_bDropDownOpen || IsChecked();
    return property("ribbonTabRow").toBool() && !lit ? t.tabText : t.text;
}

QSize CRibbonButton::sizeHint() const
{
    const QFontMetrics fm = fontMetrics();
    const QString text = ribbon::stripMnemonic(GetLabel());
    switch (m_look) {
    case Look::Large: {
        const QStringList lines = LargeLabelLines();
        int w = kLargeIcon + 8;
        for (qsizetype i = 0; i < lines.size(); ++i) {
            const bool arrowHere = HasDropDown() && i == 1;
            w = std::max(w, fm.horizontalAdvance(lines[i]) + 10 + (arrowHere ? 10 : 0));
        }
        return QSize(w, ribbon::contentHeight(fm));
    }
    case Look::Small: {
        const QString shown = ShowsLabel() ? text : QString();
        int w = 3;
        if (!GetSmallImage().isNull())
            w += kSmallIcon + 3;
        if (!shown.isEmpty())
            w += fm.horizontalAdvance(shown) + 4;
        w = std::max(w, 22);
        if (HasDropDown())
            w += kSmallArrow - (shown.isEmpty() && !IsSplit() ? 3 : 0);
        return QSize(w, ribbon::rowHeight(fm));
    }
    case Look::MenuEntry: break;
    }
    const int arrow = HasDropDown() ? 2 * kSmallArrow : 0;
    return QSize(std::max(kMenuEntryMinWidth, kLargeIcon + 16 + fm.horizontalAdvance(text) + 24 + arrow),
                 std::max(kMenuEntryHeight, fm.height() + 8));
}

void CRibbonButton::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    const CRibbonTheme& t = Theme();
    const QRectF all = rect();
    const QRect arrow = ArrowRect();
    const QRectF main = arrow.isEmpty()         ? all
                        : m_look == Look::Large ? QRectF(0, 0, width(), kLargeIconArea)
                                                : QRectF(0, 0, width() - arrow.width(), height());
    const qreal radius = IsInGroup() ? 0 : 3;
    const bool hot = isEnabled() && (m_bHover || hasFocus());

    using ribbon::Highlight;
    if (IsChecked()) {
        ribbon::paintHighlight(p, all, t, hot ? Highlight::CheckedHover : Highlight::Checked, radius);
    } else if (m_bPressed || m_bDropDownOpen) {
        if (arrow.isEmpty())
            ribbon::paintHighlight(p, all, t, Highlight::Pressed, radius);
        else {
            ribbon::fillGradient(p, all, t.hoverTop, t.hoverTop, t.hoverBorder, radius);
            ribbon::paintHighlight(p, m_bDropDownOpen ? QRectF(arrow) : main, t, Highlight::Pressed, radius);
        }
    } else if (hot) {
        if (arrow.isEmpty())
            ribbon::paintHighlight(p, all, t, Highlight::Hover, radius);
        else {
            // Both parts framed, the one under the mouse lit.
            ribbon::fillGradient(p, all, t.hoverTop, t.hoverTop, t.hoverBorder, radius);
            ribbon::paintHighlight(p, m_bHoverArrow ? QRectF(arrow) : main, t, Highlight::Hover, radius);
        }
    }

    const QColor textColor = TextColor();
    const QFontMetrics fm = fontMetrics();
    p.setPen(textColor);
    switch (m_look) {
    case Look::Large: {
        DrawImage(p, QRectF((width() - kLargeIcon) / 2, 3, kLargeIcon, kLargeIcon), GetLargeImage());
        const QStringList lines = LargeLabelLines();
        const int lineH = fm.height();
        int y = kLargeIconArea + 1;
        for (qsizetype i = 0; i < lines.size(); ++i, y += lineH) {
            const bool arrowHere = HasDropDown() && i == 1;
            const int tw = fm.horizontalAdvance(lines[i]) + (arrowHere ? 10 : 0);
            const int x = (width() - tw) / 2;
            p.drawText(QRect(x, y, tw, lineH), Qt::AlignLeft | Qt::AlignVCenter, lines[i]);
            if (arrowHere)
                ribbon::paintDropArrow(p, QPointF(x + tw - 3, y + lineH / 2.0), textColor);
        }
        if (HasDropDown() && lines.size() < 2)
            ribbon::paintDropArrow(p, QPointF(width() / 2.0, y + lineH / 2.0), textColor);
        break;
    }
    case Look::Small: {
        int x = 3;
        const QIcon icon = GetSmallImage();
        const QString text = ShowsLabel() ? ribbon::stripMnemonic(GetLabel()) : QString();
        if (!icon.isNull()) {
            const int iconX = text.isEmpty() && !HasDropDown() ? (width() - kSmallIcon) / 2 : x;
            DrawImage(p, QRectF(iconX, (height() - kSmallIcon) / 2, kSmallIcon, kSmallIcon), icon);
            x += kSmallIcon + 3;
        }
        if (!text.isEmpty())
            p.drawText(QRect(x, 0, width() - x, height()), Qt::AlignLeft | Qt::AlignVCenter, text);
        if (HasDropDown()) {
            if (IsSplit() && hot)
                p.fillRect(QRectF(arrow.left(), 3, 1, height() - 6), t.hoverBorder);
            ribbon::paintDropArrow(p, QPointF(width() - kSmallArrow / 2.0, height() / 2.0), textColor);
        }
        break;
    }
    case Look::MenuEntry: {
        DrawImage(p, QRectF(6, (height() - kLargeIcon) / 2, kLargeIcon, kLargeIcon), GetLargeImage());
        const int x = kLargeIcon + 16;
        p.drawText(QRect(x, 0, width() - x, height()), Qt::AlignLeft | Qt::AlignVCenter,
                   ribbon::stripMnemonic(GetLabel()));
        if (HasDropDown())
            ribbon::paintDropArrow(p, QPointF(width() - kSmallArrow, height() / 2.0), textColor);
        break;
    }
    }
}

void CRibbonButton::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton)
        return CRibbonElement::mousePressEvent(event);
    const bool onArrow = HasDropDown() && (!m_bDefaultCommand || ArrowRect().contains(event->position().toPoint()));
    if (onArrow)
        DropDown();
    else {
        m_bPressed = true;
        update();
    }
}

void CRibbonButton::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton || !m_bPressed)
        return CRibbonElement::mouseReleaseEvent(event);
    m_bPressed = false;
    update();
    if (rect().contains(event->position().toPoint()))
        ClickMain();
}

void CRibbonButton::mouseMoveEvent(QMouseEvent* event)
{
    const bool onArrow = ArrowRect().contains(event->position().toPoint());
    if (onArrow != m_bHoverArrow) {
        m_bHoverArrow = onArrow;
        update();
    }
    CRibbonElement::mouseMoveEvent(event);
}

void CRibbonButton::keyPressEvent(QKeyEvent* event)
{
    switch (event->key()) {
    case Qt::Key_Space:
    case Qt::Key_Return:
    case Qt::Key_Enter: OnKeyTip(); return;
    case Qt::Key_Down:
    case Qt::Key_F4:
        if (HasDropDown()) {
            DropDown();
            return;
        }
        break;
    default: break;
    }
    CRibbonElement::keyPressEvent(event);
}

void CRibbonButton::focusInEvent(QFocusEvent* event)
{
    update();
    CRibbonElement::focusInEvent(event);
}

void CRibbonButton::focusOutEvent(QFocusEvent* event)
{
    update();
    CRibbonElement::focusOutEvent(event);
}

bool CRibbonButton::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_pMenu) {
        const QEvent::Type type = event->type();
        if (type == QEvent::ActionAdded || type == QEvent::ActionRemoved || type == QEvent::ActionChanged)
            ribbon::structureChanged();
    }
    return CRibbonElement::eventFilter(watched, event);
}
