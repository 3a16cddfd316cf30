#include "app/FontDialog.h"

#include "app/ColorTables.h"
#include "view/qt/QtFont.h"

#include <QColorDialog>
#include <QDialogButtonBox>
#include <QFontDialog>
#include <QHBoxLayout>
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
    connect(m_pColorButton, &QPushButton::clicked, this, &CFontDialog::ChooseColor);
    SetColor(ColorFromRef(color));

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
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
