#include "app/ribbon/RibbonPaint.h"

#include "app/ribbon/RibbonBar.h"

#include <QFontMetrics>
#include <QIcon>
#include <QLinearGradient>
#include <QMenu>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>

namespace ribbon {

namespace {

quint64 g_nStructureGeneration = 0;

}  // namespace

quint64 structureGeneration()
{
    return g_nStructureGeneration;
}

void structureChanged()
{
    ++g_nStructureGeneration;
}

const CRibbonTheme& themeOf(const QWidget* w)
{
    for (; w; w = w->parentWidget())
        if (auto* bar = qobject_cast<const CRibbonBar*>(w))
            return bar->GetTheme();
    static const CRibbonTheme defaultTheme;
    return defaultTheme;
}

void fillGradient(QPainter& p, const QRectF& r, const QColor& top, const QColor& bottom, const QColor& border,
                  qreal radius)
{
    // Half-pixel inset: a one-pixel border lands on whole device pixels at 1x.
    const QRectF rr = border.isValid() ? r.adjusted(0.5, 0.5, -0.5, -0.5) : r;
    QLinearGradient g(rr.topLeft(), rr.bottomLeft());
    g.setColorAt(0, top);
    g.setColorAt(1, bottom);
    p.save();
    p.setRenderHint(QPainter::Antialiasing, radius > 0);
    p.setPen(border.isValid() ? QPen(border, 1) : Qt::NoPen);
    p.setBrush(g);
    p.drawRoundedRect(rr, radius, radius);
    p.restore();
}

void paintHighlight(QPainter& p, const QRectF& r, const CRibbonTheme& t, Highlight h, qreal radius)
{
    switch (h) {
    case Highlight::None: break;
    case Highlight::Hover: fillGradient(p, r, t.hoverTop, t.hoverBottom, t.hoverBorder, radius); break;
    case Highlight::Pressed: fillGradient(p, r, t.pressedTop, t.pressedBottom, t.pressedBorder, radius); break;
    case Highlight::Checked: fillGradient(p, r, t.checkedTop, t.checkedBottom, t.checkedBorder, radius); break;
    case Highlight::CheckedHover: fillGradient(p, r, t.hoverTop, t.checkedBottom, t.checkedBorder, radius); break;
    }
}

void paintDropArrow(QPainter& p, const QPointF& c, const QColor& color)
{
    QPainterPath path;
    path.moveTo(c.x() - 3, c.y() - 1.5);
    path.lineTo(c.x() + 3, c.y() - 1.5);
    path.lineTo(c.x(), c.y() + 1.5);
    path.closeSubpath();
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    p.fillPath(path, color);
    p.restore();
}

void paintIcon(QPainter& p, const QIcon& icon, const QRectF& r, bool enabled)
{
    if (!icon.isNull())
        icon.paint(&p, r.toRect(), Qt::AlignCenter, enabled ? QIcon::Normal : QIcon::Disabled);
}

void styleMenu(QMenu* menu, const CRibbonTheme& t)
{
    QPalette pal = menu->palette();
    pal.setColor(QPalette::Window, t.popupBack);
    pal.setColor(QPalette::Base, t.popupBack);
    pal.setColor(QPalette::WindowText, t.text);
    pal.setColor(QPalette::Text, t.text);
    pal.setColor(QPalette::ButtonText, t.text);
    pal.setColor(QPalette::Highlight, t.hoverBottom);
    pal.setColor(QPalette::HighlightedText, t.text);
    pal.setColor(QPalette::Disabled, QPalette::Text, t.disabledText);
    pal.setColor(QPalette::Disabled, QPalette::WindowText, t.disabledText);
    pal.setColor(QPalette::Disabled, QPalette::ButtonText, t.disabledText);
    menu->setPalette(pal);
}

QString stripMnemonic(const QString& label)
{
    QString out;
    out.reserve(label.size());
    for (qsizetype i = 0; i < label.size(); ++i) {
        if (label[i] == u'&' && i + 1 < label.size())
            ++i;
        else if (label[i] == u'&')
            continue;
        out += label[i];
    }
    return out;
}

QString richToolTip(const QString& title, const QString& description)
{
    if (title.isEmpty() && description.isEmpty())
        return {};
    // Qt's tooltip would wrap even short texts narrowly: lines stay whole up to
    // a comfortable width, longer descriptions wrap at it.
    constexpr int kWrapChars = 48;
    QString html = "<p style='white-space:pre'><b>" + title.toHtmlEscaped() + "</b></p>";
    if (description.size() > kWrapChars)
        html += "<table width='300'><tr><td>" + description.toHtmlEscaped() + "</td></tr></table>";
    else if (!description.isEmpty())
        html += "<p style='white-space:pre'>" + description.toHtmlEscaped() + "</p>";
    return html;
}

int rowHeight(const QFontMetrics& fm)
{
    return std::max(22, fm.height() + 8);
}

int contentHeight(const QFontMetrics& fm)
{
    // Room for a framed buttons group (a row and its frame) in each row.
    return 3 * (rowHeight(fm) + 2);
}

int titleHeight(const QFontMetrics& fm)
{
    return fm.height() + 4;
}

}  // namespace ribbon
