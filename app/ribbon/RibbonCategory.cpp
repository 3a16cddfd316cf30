#include "app/ribbon/RibbonCategory.h"

#include "app/ribbon/RibbonPaint.h"
#include "app/ribbon/RibbonPanel.h"

#include <QEvent>
#include <QPainter>

namespace {

constexpr int kMargin = 3;
constexpr int kSpacing = 3;

}  // namespace

CRibbonCategory::CRibbonCategory(const QString& name, QWidget* parent) : QWidget(parent), m_name(name)
{
    setAccessibleName(name);
}

CRibbonPanel* CRibbonCategory::AddPanel(const QString& title, const QIcon& icon)
{
    auto* panel = new CRibbonPanel(title, icon, this);
    m_panels.append(panel);
    panel->show();
    updateGeometry();
    Relayout();
    return panel;
}

QSize CRibbonCategory::sizeHint() const
{
    int width = kMargin;
    int height = 0;
    for (CRibbonPanel* panel : m_panels) {
        width += panel->ExpandedWidth() + kSpacing;
        height = std::max(height, panel->sizeHint().height());
    }
    if (m_panels.isEmpty())
        height = ribbon::contentHeight(fontMetrics()) + ribbon::titleHeight(fontMetrics()) + 6;
    return QSize(width + kMargin, height + 2 * kMargin);
}

QSize CRibbonCategory::minimumSizeHint() const
{
    int width = kMargin;
    for (CRibbonPanel* panel : m_panels)
        width += panel->CollapsedWidth() + kSpacing;
    return QSize(width + kMargin, sizeHint().height());
}

bool CRibbonCategory::event(QEvent* event)
{
    if (event->type() == QEvent::LayoutRequest) {
        updateGeometry();
        Relayout();
    }
    return QWidget::event(event);
}

void CRibbonCategory::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    const CRibbonTheme& t = ribbon::themeOf(this);
    ribbon::fillGradient(p, rect(), t.categoryTop, t.categoryBottom, QColor(), 0);
}

void CRibbonCategory::resizeEvent(QResizeEvent*)
{
    Relayout();
}

void CRibbonCategory::Relayout()
{
    // Collapse from the right end until the rest fits.
    int needed = 2 * kMargin;
    for (CRibbonPanel* panel : m_panels)
        needed += panel->ExpandedWidth() + kSpacing;
    qsizetype collapseFrom = m_panels.size();
    while (needed > width() && collapseFrom > 0) {
        --collapseFrom;
        needed -= m_panels[collapseFrom]->ExpandedWidth() - m_panels[collapseFrom]->CollapsedWidth();
    }
    int x = kMargin;
    for (qsizetype i = 0; i < m_panels.size(); ++i) {
        CRibbonPanel* panel = m_panels[i];
        panel->SetCollapsed(i >= collapseFrom);
        const int w = panel->IsCollapsed() ? panel->CollapsedWidth() : panel->ExpandedWidth();
        panel->setGeometry(x, kMargin, w, height() - 2 * kMargin);
        x += w + kSpacing;
    }
}
