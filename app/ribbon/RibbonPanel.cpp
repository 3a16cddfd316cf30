#include "app/ribbon/RibbonPanel.h"

#include "app/ribbon/RibbonButtonsGroup.h"
#include "app/ribbon/RibbonPaint.h"
#include "app/ribbon/RibbonPopup.h"

#include <QKeyEvent>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>

namespace {

constexpr int kMargin = 4;     // left and right of the elements
constexpr int kTop = 3;        // above the elements
constexpr int kColumnGap = 3;  // between columns
constexpr int kSeparator = 7;  // width taken by a separator
constexpr int kLauncher = 15;
constexpr int kMaxRows = 3;

}  // namespace

// --- Launcher --------------------------------------------------------------------------

CRibbonLaunchButton::CRibbonLaunchButton(int nID, const QIcon& icon, QWidget* parent)
    : CRibbonButton(nID, {}, icon, {}, parent)
{
}

QSize CRibbonLaunchButton::sizeHint() const
{
    return QSize(kLauncher, kLauncher);
}

void CRibbonLaunchButton::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    const CRibbonTheme& t = Theme();
    const bool hot = isEnabled() && (m_bHover || hasFocus());
    if (hot)
        ribbon::paintHighlight(p, rect(), t, ribbon::Highlight::Hover, 2);
    // On the highlight the mark takes the elements' text colour: the title
    // colour is made for the title row and can vanish on it (light on light).
    const QColor ink = !isEnabled() ? t.disabledText : hot ? t.text : t.panelTitleText;
    if (!GetSmallImage().isNull()) {
        ribbon::paintIcon(p, GetSmallImage(), QRectF(1.5, 1.5, 12, 12), isEnabled());
        return;
    }
    // The usual corner mark: a box's corner with an arrow pointing into it.
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(ink, 1.1));
    p.drawLine(QPointF(4, 4), QPointF(4, 11));
    p.drawLine(QPointF(4, 4), QPointF(11, 4));
    p.drawLine(QPointF(6.5, 6.5), QPointF(11, 11));
    QPainterPath head;
    head.moveTo(11.5, 11.5);
    head.lineTo(11.5, 7.5);
    head.lineTo(7.5, 11.5);
    head.closeSubpath();
    p.fillPath(head, ink);
}

// --- Body: the expanded panel --------------------------------------------------------

// The elements, the title and the launcher of a panel. It lives in the panel,
// or in the pop-up while a collapsed panel is open.
class CRibbonPanelBody : public QWidget {
public:
    explicit CRibbonPanelBody(CRibbonPanel* panel) : QWidget(panel), m_pPanel(panel) {}

    QList<QWidget*> m_items;  // null stands for a separator
    QList<int> m_separators;  // x of each separator line, as last placed

    // Where everything goes, and the size it needs.
    struct Plan {
        QSize size;
        QList<std::pair<QWidget*, QRect>> placed;
        QList<int> separators;
        QRect launcher;
    };

    Plan Compute() const
    {
        const QFontMetrics fm = fontMetrics();
        const int slot = ribbon::rowHeight(fm) + 2;
        const int content = ribbon::contentHeight(fm);
        Plan plan;
        QList<QWidget*> column;
        int x = kMargin;
        // Places `rows` (lists of widgets side by side) over the panel's
        // height, spread evenly, and moves on past the widest row.
        auto placeRows = [&](const QList<QList<QWidget*>>& rows) {
            const int n = static_cast<int>(rows.size());
            const int gap = (content - n * slot) / (n + 1);
            int widest = 0;
            for (int row = 0; row < n; ++row) {
                int rx = x;
                for (QWidget* w : rows[row]) {
                    const QSize s = w->sizeHint();
                    const int y = kTop + gap + row * (slot + gap) + (slot - s.height()) / 2;
                    plan.placed.append({w, QRect(QPoint(rx, y), s)});
                    rx += s.width() + kColumnGap;
                }
                widest = std::max(widest, rx - x - kColumnGap);
            }
            x += widest + kColumnGap;
        };
        auto flush = [&] {
            QList<QList<QWidget*>> rows;
            for (QWidget* w : column)
                rows.append({w});
            if (!rows.isEmpty())
                placeRows(rows);
            column.clear();
        };
        auto isGroup = [](QWidget* w) { return qobject_cast<CRibbonButtonsGroup*>(w) != nullptr; };
        for (qsizetype i = 0; i < m_items.size(); ++i) {
            QWidget* w = m_items[i];
            qsizetype runEnd = i;
            while (column.isEmpty() && runEnd < m_items.size() && m_items[runEnd] && isGroup(m_items[runEnd]))
                ++runEnd;
            if (runEnd - i >= 2) {
                // A run of buttons groups: two rows, split where the wider one is narrowest.
                const QList<QWidget*> run = m_items.mid(i, runEnd - i);
                auto widthOf = [](const QList<QWidget*>& row) {
                    int sum = -kColumnGap;
                    for (QWidget* g : row)
                        sum += g->sizeHint().width() + kColumnGap;
                    return sum;
                };
                auto widerRow = [&](qsizetype k) { return std::max(widthOf(run.mid(0, k)), widthOf(run.mid(k))); };
                qsizetype split = 1;
                for (qsizetype k = 2; k < run.size(); ++k)
                    if (widerRow(k) < widerRow(split))
                        split = k;
                placeRows({run.mid(0, split), run.mid(split)});
                i = runEnd - 1;
            } else if (!w) {
                flush();
                plan.separators.append(x + 1);
                x += kSeparator;
            } else if (w->sizeHint().height() > slot) {
                flush();
                plan.placed.append({w, QRect(x, kTop, w->sizeHint().width(), content)});
                x += w->sizeHint().width() + kColumnGap;
            } else {
                column.append(w);
                if (column.size() == kMaxRows)
                    flush();
            }
        }
        flush();
        const int used = x - (m_items.isEmpty() ? 0 : kColumnGap) + kMargin;
        const int titleWidth =
            fm.horizontalAdvance(m_pPanel->m_title) + 16 + (m_pPanel->m_pLauncher ? 2 * kLauncher : 0);
        const int width = std::max({used, titleWidth, 40});
        const int titleHeight = ribbon::titleHeight(fm);
        plan.size = QSize(width, kTop + content + 2 + titleHeight + 1);
        // A title wider than the elements centres them.
        const int shift = (width - used) / 2;
        for (auto& [w, r] : plan.placed)
            r.translate(shift, 0);
        for (int& sx : plan.separators)
            sx += shift;
        const int titleTop = plan.size.height() - titleHeight - 1;
        plan.launcher = QRect(width - kLauncher - 3, titleTop + (titleHeight - kLauncher) / 2, kLauncher, kLauncher);
        return plan;
    }

    void Arrange()
    {
        const Plan plan = Compute();
        for (const auto& [w, r] : plan.placed)
            w->setGeometry(r);
        m_separators = plan.separators;
        if (m_pPanel->m_pLauncher)
            m_pPanel->m_pLauncher->setGeometry(plan.launcher);
    }

    QSize sizeHint() const override { return Compute().size; }

protected:
    bool event(QEvent* event) override
    {
        if (event->type() == QEvent::LayoutRequest) {
            Arrange();
            updateGeometry();
        }
        return QWidget::event(event);
    }

    void resizeEvent(QResizeEvent*) override { Arrange(); }

    void paintEvent(QPaintEvent*) override
    {
        QPainter p(this);
        const CRibbonTheme& t = ribbon::themeOf(this);
        const QFontMetrics fm = fontMetrics();
        const QRectF all = rect();
        ribbon::fillGradient(p, all, t.panelTop, t.panelBottom, t.panelBorder, 3);
        const int th = ribbon::titleHeight(fm);
        const QRectF title(1, height() - th - 1, width() - 2, th);
        QPainterPath band;
        band.setFillRule(Qt::WindingFill);  // the two shapes overlap: their union, not the odd part
        band.addRoundedRect(title, 2, 2);
        band.addRect(title.adjusted(0, 0, 0, -3));  // square top corners
        p.save();
        p.setRenderHint(QPainter::Antialiasing);
        p.fillPath(band.simplified(), t.panelTitleBack);
        p.restore();
        p.setPen(t.panelTitleText);
        const int launcher = m_pPanel->m_pLauncher ? kLauncher + 4 : 0;
        p.drawText(title.adjusted(4 + launcher, 0, -4 - launcher, 0), Qt::AlignCenter,
                   fm.elidedText(m_pPanel->m_title, Qt::ElideRight, width() - 8 - 2 * launcher));
        for (int sx : m_separators)
            p.fillRect(QRect(sx + 2, kTop + 4, 1, ribbon::contentHeight(fm) - 8), t.panelBorder);
    }

private:
    CRibbonPanel* m_pPanel;
};

// --- Panel -----------------------------------------------------------------------------

CRibbonPanel::CRibbonPanel(const QString& title, const QIcon& icon, QWidget* parent)
    : QWidget(parent), m_title(title), m_icon(icon), m_pBody(new CRibbonPanelBody(this))
{
    setAttribute(Qt::WA_Hover);
    setAccessibleName(title);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

void CRibbonPanel::Add(QWidget* element)
{
    element->setParent(m_pBody);
    element->show();
    m_pBody->m_items.append(element);
    ribbon::structureChanged();  // a group brings its elements along
    m_pBody->Arrange();
    m_pBody->updateGeometry();
}

void CRibbonPanel::AddSeparator()
{
    m_pBody->m_items.append(nullptr);
    m_pBody->updateGeometry();
}

int CRibbonPanel::GetCount() const
{
    return static_cast<int>(m_pBody->m_items.size());
}

QWidget* CRibbonPanel::GetElement(int nIndex) const
{
    return m_pBody->m_items.value(nIndex);
}

CRibbonLaunchButton* CRibbonPanel::EnableLaunchButton(int nID, const QIcon& icon)
{
    if (!m_pLauncher) {
        m_pLauncher = new CRibbonLaunchButton(nID, icon, m_pBody);
        m_pLauncher->show();
    } else {
        m_pLauncher->SetID(nID);
        m_pLauncher->SetImages(icon);
    }
    m_pBody->Arrange();
    m_pBody->updateGeometry();
    return m_pLauncher;
}

void CRibbonPanel::OpenPopup()
{
    if (!m_bCollapsed)
        return;
    if (!m_pPopup) {
        m_pPopup = new CRibbonPopup(this);
        connect(m_pPopup, &CRibbonPopup::closed, this, qOverload<>(&QWidget::update));
    }
    m_pBody->resize(m_pBody->sizeHint());
    m_pPopup->ShowContent(m_pBody, mapToGlobal(QPoint(0, height())));
    update();
}

QWidget* CRibbonPanel::GetOpenPopup() const
{
    return m_pPopup && m_pPopup->isVisible() ? m_pPopup : nullptr;
}

void CRibbonPanel::OnKeyTip()
{
    if (m_bCollapsed) {
        OpenPopup();
        return;
    }
    const QList<QWidget*> widgets = m_pBody->findChildren<QWidget*>();
    for (QWidget* w : widgets) {
        if (w != m_pLauncher && (w->focusPolicy() & Qt::TabFocus) && w->isEnabled() && w->isVisible()) {
            w->setFocus(Qt::ShortcutFocusReason);
            return;
        }
    }
}

QPoint CRibbonPanel::KeyTipPos() const
{
    return QPoint(width() / 2, height());
}

int CRibbonPanel::ExpandedWidth() const
{
    return m_pBody->sizeHint().width();
}

int CRibbonPanel::CollapsedWidth() const
{
    return std::max(fontMetrics().horizontalAdvance(m_title) + 14, 54);
}

void CRibbonPanel::SetCollapsed(bool bCollapsed)
{
    if (bCollapsed == m_bCollapsed)
        return;
    if (m_pPopup && m_pPopup->isVisible())
        m_pPopup->close();
    m_bCollapsed = bCollapsed;
    m_pBody->setVisible(!bCollapsed);
    setFocusPolicy(bCollapsed ? Qt::TabFocus : Qt::NoFocus);
    updateGeometry();
    update();
}

QSize CRibbonPanel::sizeHint() const
{
    const QSize body = m_pBody->sizeHint();
    return QSize(m_bCollapsed ? CollapsedWidth() : body.width(), body.height());
}

bool CRibbonPanel::event(QEvent* event)
{
    switch (event->type()) {
    case QEvent::LayoutRequest:
        if (!m_bCollapsed)
            m_pBody->setGeometry(rect());
        updateGeometry();
        break;
    case QEvent::HoverEnter:
    case QEvent::HoverLeave:
        m_bHover = event->type() == QEvent::HoverEnter;
        if (m_bCollapsed)
            update();
        break;
    default: break;
    }
    return QWidget::event(event);
}

void CRibbonPanel::resizeEvent(QResizeEvent*)
{
    if (m_pBody->parentWidget() == this)
        m_pBody->setGeometry(rect());
}

QIcon CRibbonPanel::CollapsedIcon() const
{
    if (!m_icon.isNull())
        return m_icon;
    // A panel without an icon of its own shows its first element's picture
    // rather than an empty frame.
    for (const CRibbonElement* e : m_pBody->findChildren<CRibbonElement*>()) {
        const QIcon icon = e->GetSmallImage().isNull() ? e->GetLargeImage() : e->GetSmallImage();
        if (!icon.isNull())
            return icon;
    }
    return {};
}

void CRibbonPanel::paintEvent(QPaintEvent*)
{
    if (!m_bCollapsed)
        return;
    QPainter p(this);
    const CRibbonTheme& t = ribbon::themeOf(this);
    const bool open = m_pPopup && m_pPopup->isVisible();
    if (open)
        ribbon::paintHighlight(p, rect(), t, ribbon::Highlight::Pressed, 3);
    else if (m_bHover || hasFocus())
        ribbon::paintHighlight(p, rect(), t, ribbon::Highlight::Hover, 3);
    else
        ribbon::fillGradient(p, rect(), t.panelTop, t.panelBottom, t.panelBorder, 3);

    // The panel's icon in a small round-cornered frame, the title and an arrow under it.
    const QRectF frame((width() - 32) / 2.0, 8, 32, 32);
    ribbon::fillGradient(p, frame, t.controlBack, t.panelBottom, t.panelBorder, 4);
    ribbon::paintIcon(p, CollapsedIcon(), QRectF(frame.center() - QPointF(8, 8), QSizeF(16, 16)), isEnabled());
    const QFontMetrics fm = fontMetrics();
    p.setPen(t.text);
    const QRect textRect(2, 46, width() - 4, fm.height());
    p.drawText(textRect, Qt::AlignHCenter | Qt::AlignTop, fm.elidedText(m_title, Qt::ElideRight, textRect.width()));
    ribbon::paintDropArrow(p, QPointF(width() / 2.0, textRect.bottom() + 8), t.text);
}

void CRibbonPanel::mousePressEvent(QMouseEvent* event)
{
    if (m_bCollapsed)
        OpenPopup();
    else
        QWidget::mousePressEvent(event);
}

void CRibbonPanel::keyPressEvent(QKeyEvent* event)
{
    const int key = event->key();
    if (m_bCollapsed && (key == Qt::Key_Space || key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Down))
        OpenPopup();
    else
        QWidget::keyPressEvent(event);
}
