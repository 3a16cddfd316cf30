#include "app/bars/AboutDlg.h"

#include "res/ImageStrip.h"
#include "view/CommandIds.h"
#include "view/StringTable.h"

#include <QDesktopServices>
#include <QFrame>
#include <QLabel>
#include <QPushButton>
#include <QUrl>

#include <algorithm>

namespace {

// Dialog units: a quarter of the font's average character width across, an
// eighth of its height down.
struct DialogBaseUnits {
    int x;
    int y;
};

DialogBaseUnits baseUnits(const QFont& font)
{
    const QFontMetrics fm(font);
    const QString alphabet = QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
    return {(fm.horizontalAdvance(alphabet) / 26 + 1) / 2, fm.height()};
}

// Rounded to the nearest pixel, as a dialog template is mapped.
int scale(int units, int base, int divisor)
{
    return (units * base + divisor / 2) / divisor;
}

QLabel* linkLabel(const char* text, const QString& name, QWidget* parent)
{
    auto* label = new QLabel(QString::fromUtf8(text), parent);
    label->setObjectName(name);
    label->setTextFormat(Qt::RichText);
    label->setTextInteractionFlags(Qt::LinksAccessibleByMouse | Qt::LinksAccessibleByKeyboard);
    label->setOpenExternalLinks(false);
    label->setWordWrap(true);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    return label;
}

}  // namespace

QRect CAboutDlg::MapDialogRect(int x, int y, int cx, int cy) const
{
    const DialogBaseUnits base = baseUnits(font());
    return QRect(scale(x, base.x, 4), scale(y, base.y, 8), scale(cx, base.x, 4), scale(cy, base.y, 8));
}

CAboutDlg::CAboutDlg(const QString& version, QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("aboutDialog"));
    setWindowTitle(QString::fromUtf8(text::AboutTitle));
    setModal(true);
    setFixedSize(MapDialogRect(0, 0, 255, 114).size());

    // The picture, square at the size of its box.
    const QRect pictureBox = MapDialogRect(14, 14, 17, 16);
    const int side = std::min(pictureBox.width(), pictureBox.height());
    auto* picture = new QLabel(this);
    picture->setObjectName(QStringLiteral("picture"));
    picture->setGeometry(QRect(pictureBox.topLeft(), QSize(side, side)));
    picture->setPixmap(CImageStrip(res::AppButtonImage).Icon(0).pixmap(QSize(side, side), devicePixelRatioF()));

    // The label holds its format until the version fills it in.
    auto* versionLabel = new QLabel(QString::fromUtf8(text::AboutVersionFormat), this);
    versionLabel->setObjectName(QStringLiteral("version"));
    versionLabel->setTextFormat(Qt::PlainText);
    versionLabel->setGeometry(MapDialogRect(41, 15, 207, 9));

    auto* ok = new QPushButton(QString::fromUtf8(text::AboutOk), this);
    ok->setObjectName(QStringLiteral("ok"));
    ok->setDefault(true);
    ok->setGeometry(MapDialogRect(185, 89, 50, 14));
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);

    auto* separator = new QFrame(this);
    separator->setObjectName(QStringLiteral("separator"));
    separator->setFrameShape(QFrame::HLine);
    separator->setFrameShadow(QFrame::Plain);
    separator->setGeometry(MapDialogRect(6, 38, 241, 1));

    QLabel* web = linkLabel(text::AboutWebLink, QStringLiteral("webLink"), this);
    web->setGeometry(MapDialogRect(41, 25, 158, 9));
    QLabel* mail = linkLabel(text::AboutMailLink, QStringLiteral("mailLink"), this);
    mail->setGeometry(MapDialogRect(6, 46, 241, 31));
    for (QLabel* link : {web, mail})
        connect(link, &QLabel::linkActivated, this, &CAboutDlg::OpenLink);

    setTabOrder(ok, web);
    setTabOrder(web, mail);
    ok->setFocus();

    QString label = versionLabel->text();
    const qsizetype at = label.indexOf(QLatin1String("%s"));
    if (at >= 0)
        versionLabel->setText(label.replace(at, 2, version));
}

void CAboutDlg::OpenLink(const QString& address)
{
    QDesktopServices::openUrl(QUrl(address));
}
