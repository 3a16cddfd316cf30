#include "app/bars/StatusBar.h"

#include "res/ImageStrip.h"
#include "view/CommandIds.h"
#include "view/StringTable.h"

#include <QDesktopServices>
#include <QEvent>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QLinearGradient>
#include <QPainter>
#include <QStyle>
#include <QToolButton>
#include <QUrl>

namespace {

constexpr int kPanePadding = 4;  // left and right of a pane's text

}  // namespace

CStatusBar::CStatusBar(QWidget* parent) : QStatusBar(parent), m_pLeftArea(new QWidget(this))
{
    setObjectName(QStringLiteral("statusBar"));
    auto* row = new QHBoxLayout(m_pLeftArea);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(2);

    m_pCurrentChar = AddTextPane(cmd::PaneCurrentChar, text::PaneCurrentCharLabel);
    m_pTotalChars = AddTextPane(cmd::PaneTotalChars, text::PaneTotalCharsLabel);
    AddSeparator();
    m_pEncoding = AddTextPane(cmd::PaneEncoding, text::PaneEncodingLabel);
    AddSeparator();

    m_pRefresh = new QToolButton(m_pLeftArea);
    m_pRefresh->setObjectName(QStringLiteral("pane%1").arg(cmd::Refresh));
    m_pRefresh->setAutoRaise(true);
    m_pRefresh->setFocusPolicy(Qt::NoFocus);
    m_pRefresh->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    m_pRefresh->setText(QString::fromUtf8(text::PaneRefreshText));
    m_pRefresh->setIcon(RefreshIcon());
    const int small = style()->pixelMetric(QStyle::PM_SmallIconSize, nullptr, this);
    m_pRefresh->setIconSize(QSize(small, small));
    m_pRefresh->setAccessibleDescription(QString::fromUtf8(text::PaneRefreshLabel));
    m_pRefresh->setToolTip(QString::fromUtf8(text::PaneRefreshLabel));
    connect(m_pRefresh, &QToolButton::clicked, this, [this] { emit commandTriggered(cmd::Refresh); });
    row->addWidget(m_pRefresh);
    m_items.append(m_pRefresh);
    AddSeparator();

    m_strLinkAddress = QString::fromUtf8(text::PaneLinkAddress);
    m_pLink = new QLabel(m_pLeftArea);
    m_pLink->setObjectName(QStringLiteral("pane%1").arg(cmd::StatusLink));
    m_pLink->setTextFormat(Qt::RichText);
    UpdateLinkText();
    m_pLink->setContentsMargins(kPanePadding, 0, kPanePadding, 0);
    m_pLink->setTextInteractionFlags(Qt::LinksAccessibleByMouse);
    m_pLink->setOpenExternalLinks(false);
    m_pLink->setAccessibleDescription(QString::fromUtf8(text::PaneLinkLabel));
    m_pLink->setToolTip(m_strLinkAddress);
    // The click is a command like any other: the frame answers it with OpenLink.
    connect(m_pLink, &QLabel::linkActivated, this, [this] { emit commandTriggered(cmd::StatusLink); });
    row->addWidget(m_pLink);
    m_items.append(m_pLink);
    row->addStretch(1);

    addPermanentWidget(m_pLeftArea, 1);
}

QLabel* CStatusBar::AddTextPane(int id, const char* label)
{
    auto* pane = new QLabel(m_pLeftArea);
    pane->setObjectName(QStringLiteral("pane%1").arg(id));
    pane->setTextFormat(Qt::PlainText);
    pane->setContentsMargins(kPanePadding, 0, kPanePadding, 0);
    // A screen reader names the pane by what it shows ("Current Char: 180"),
    // as a sighted user reads it, and gives what it means as its description.
    pane->setAccessibleDescription(QString::fromUtf8(label));
    pane->setToolTip(QString::fromUtf8(label));
    FitPane(pane);
    m_pLeftArea->layout()->addWidget(pane);
    m_items.append(pane);
    return pane;
}

void CStatusBar::AddSeparator()
{
    auto* line = new QFrame(m_pLeftArea);
    line->setFrameShape(QFrame::VLine);
    line->setFrameShadow(QFrame::Sunken);
    m_pLeftArea->layout()->addWidget(line);
    m_items.append(line);
}

QWidget* CStatusBar::Element(int id) const
{
    switch (id) {
    case cmd::PaneCurrentChar: return m_pCurrentChar;
    case cmd::PaneTotalChars: return m_pTotalChars;
    case cmd::PaneEncoding: return m_pEncoding;
    case cmd::Refresh: return m_pRefresh;
    case cmd::StatusLink: return m_pLink;
    default: return nullptr;
    }
}

QList<QWidget*> CStatusBar::Items() const
{
    return m_items;
}

QLabel* CStatusBar::TextPane(int id) const
{
    QWidget* element = Element(id);
    return element == m_pCurrentChar || element == m_pTotalChars || element == m_pEncoding
               ? static_cast<QLabel*>(element)
               : nullptr;
}

void CStatusBar::FitPane(QLabel* pane)
{
    pane->setFixedWidth(pane->fontMetrics().horizontalAdvance(pane->text()) + 2 * kPanePadding);
}

void CStatusBar::SetPaneText(int id, const QString& text)
{
    QLabel* pane = TextPane(id);
    if (!pane || pane->text() == text)
        return;
    pane->setText(text);
    if (m_lengths.Update(id, text.toStdString()))
        FitPane(pane);
}

void CStatusBar::SetPaneToolTip(int id, const QString& tip)
{
    if (QLabel* pane = TextPane(id))
        pane->setToolTip(tip);
}

QString CStatusBar::PaneText(int id) const
{
    const QLabel* pane = TextPane(id);
    return pane ? pane->text() : QString();
}

bool CStatusBar::OpenLink() const
{
    return QDesktopServices::openUrl(QUrl(m_strLinkAddress));
}

void CStatusBar::UpdateLinkText()
{
    // Rich text takes the link colour when it is set, not when it is drawn.
    m_pLink->setText(QStringLiteral("<a href=\"%1\" style=\"color:%3\">%2</a>")
                         .arg(m_strLinkAddress.toHtmlEscaped(),
                              QString::fromUtf8(text::PaneLinkCaption).toHtmlEscaped(),
                              palette().color(QPalette::Link).name()));
}

void CStatusBar::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::PaletteChange && m_pLink)
        UpdateLinkText();
    // Another font changes every width, whatever the lengths.
    if (event->type() == QEvent::FontChange || event->type() == QEvent::StyleChange) {
        for (QLabel* pane : {m_pCurrentChar, m_pTotalChars, m_pEncoding}) {
            if (pane)
                FitPane(pane);
        }
    }
    QStatusBar::changeEvent(event);
}

void CStatusBar::SetTheme(const CStatusBarTheme& theme)
{
    m_theme = theme;
    // Texts, the Refresh button and the separators draw with the palette; a
    // theme sets the roles they use, no theme gives them back to the desktop.
    QPalette pal;
    if (theme.text.isValid()) {
        for (QPalette::ColorRole role : {QPalette::WindowText, QPalette::ButtonText, QPalette::Text}) {
            pal.setColor(QPalette::Active, role, theme.text);
            pal.setColor(QPalette::Inactive, role, theme.text);
            pal.setColor(QPalette::Disabled, role, theme.disabledText);
        }
        pal.setColor(QPalette::Button, theme.top);
        pal.setColor(QPalette::Window, theme.top);
    }
    if (theme.link.isValid()) {
        pal.setColor(QPalette::Link, theme.link);
        pal.setColor(QPalette::LinkVisited, theme.link);
    }
    if (theme.separatorDark.isValid()) {
        pal.setColor(QPalette::Dark, theme.separatorDark);
        pal.setColor(QPalette::Light, theme.separatorLight);
    }
    setPalette(pal);
    update();
}

void CStatusBar::paintEvent(QPaintEvent* event)
{
    if (m_theme.top.isValid()) {
        QPainter p(this);
        QLinearGradient g(0, 0, 0, height());
        g.setColorAt(0, m_theme.top);
        g.setColorAt(1, m_theme.bottom);
        p.fillRect(rect(), g);
        p.fillRect(0, 0, width(), 1, m_theme.border);
    }
    QStatusBar::paintEvent(event);
}
