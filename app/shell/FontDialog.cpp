#include "app/shell/FontDialog.h"

#include "app/ribbon_content/ColorTables.h"
#include "view/qt/QtFont.h"

#include <QColorDialog>
#include <QDialogButtonBox>
#include <QFontDatabase>
#include <QFontDialog>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>
#include <QVBoxLayout>

CFontDialog::CFontDialog(const platform::LOGFONTW& font, platform::COLORREF color, QWidget* parent)
    : QDialog(parent), m_pFonts(new QFontDialog(this)), m_pColorButton(new QPushButton(tr("&Color..."), this))
{
    setWindowTitle(tr("Font"));
    // Embedded as a page of this dialog: no window of its own and no buttons of its own.
    m_pFonts->setWindowFlags(Qt::Widget);
    m_pFonts->setOptions(QFontDialog::NoButtons | QFontDialog::MonospacedFonts | QFontDialog::DontUseNativeDialog);
    m_pFonts->setCurrentFont(QFontFromLogFont(font));
    m_lastFont = m_wanted = m_pFonts->currentFont();
    connect(m_pFonts, &QFontDialog::currentFontChanged, this, &CFontDialog::KeepStyle);
    m_pColorButton->setAutoDefault(false);
    connect(m_pColorButton, &QPushButton::clicked, this, &CFontDialog::ChooseColor);
    SetColor(ColorFromRef(color));

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    m_pOk = buttons->button(QDialogButtonBox::Ok);
    m_pOk->setDefault(true);
    // The embedded chooser is a dialog of its own that takes Enter and, its own
    // buttons hidden, does nothing with it: Enter anywhere in it confirms here.
    m_pFonts->installEventFilter(this);
    // Its lists accept or reject that inner dialog on Enter or Escape, which
    // would only hide the chooser inside this one: the answer is this dialog's.
    connect(m_pFonts, &QDialog::accepted, this, &QDialog::accept);
    connect(m_pFonts, &QDialog::rejected, this, &QDialog::reject);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* colorRow = new QHBoxLayout;
    auto* colorLabel = new QLabel(tr("Text color:"), this);
    colorLabel->setBuddy(m_pColorButton);
    colorRow->addWidget(colorLabel);
    colorRow->addWidget(m_pColorButton);
    colorRow->addStretch();
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_pFonts);
    layout->addLayout(colorRow);
    layout->addWidget(buttons);
}

bool CFontDialog::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_pFonts && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        const bool plain = key->modifiers() == Qt::NoModifier || key->modifiers() == Qt::KeypadModifier;
        if (plain && (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter)) {
            m_pOk->click();
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

platform::LOGFONTW CFontDialog::GetLogFont() const
{
    return LogFontFromQFont(m_pFonts->currentFont());
}

platform::COLORREF CFontDialog::GetColor() const
{
    return RefFromColor(m_color);
}

void CFontDialog::SetColor(const QColor& color)
{
    m_color = color;
    QPixmap swatch(24, 14);
    swatch.fill(color);
    QPainter(&swatch).drawRect(swatch.rect().adjusted(0, 0, -1, -1));
    m_pColorButton->setIcon(swatch);
    m_pColorButton->setIconSize(swatch.size());
}

void CFontDialog::ChooseColor()
{
    const QColor chosen = QColorDialog::getColor(m_color, this, tr("Text color"));
    if (chosen.isValid())
        SetColor(chosen);
}

void CFontDialog::KeepStyle(const QFont& chosen)
{
    if (m_bKeepingStyle)
        return;
    const bool familyChanged = chosen.family() != m_lastFont.family();
    const bool styleChanged = chosen.styleName() != m_lastFont.styleName() || chosen.bold() != m_lastFont.bold() ||
                              chosen.italic() != m_lastFont.italic();
    m_lastFont = chosen;
    if (!familyChanged && styleChanged) {
        m_wanted = chosen;  // the user's own choice of style
        return;
    }
    if (chosen.bold() == m_wanted.bold() && chosen.italic() == m_wanted.italic())
        return;
    // After the chooser has finished its own update of the style list.
    QMetaObject::invokeMethod(this, &CFontDialog::RestoreStyle, Qt::QueuedConnection);
}

void CFontDialog::RestoreStyle()
{
    const QFont current = m_pFonts->currentFont();
    if (current.bold() == m_wanted.bold() && current.italic() == m_wanted.italic())
        return;
    const QString family = current.family();
    for (const QString& style : QFontDatabase::styles(family)) {
        // A slanted face counts whether its foundry calls it italic or oblique.
        QFont kept = QFontDatabase::font(family, style, current.pointSize());
        if (kept.bold() != m_wanted.bold() || kept.italic() != m_wanted.italic())
            continue;
        kept.setPointSizeF(current.pointSizeF());
        kept.setUnderline(current.underline());
        kept.setStrikeOut(current.strikeOut());
        m_bKeepingStyle = true;
        m_pFonts->setCurrentFont(kept);
        m_bKeepingStyle = false;
        m_lastFont = m_pFonts->currentFont();
        return;
    }
}
