// render_icons: PNGs from the program's SVG drawings.
//
//   render_icons png PATTERN SIZES FILE.svg...
//       renders the picture at each of the comma-separated SIZES (square) to
//       PATTERN with every "%1" replaced by the size, making folders as needed.
//       Several files are designs of one picture for different sizes; each
//       size is drawn from the one that fits it best, as the program does.
//       For the icon theme:
//       render_icons png 'hicolor/%1x%1/apps/ostrel-viewer.png' 16,32,48,64,128,256
//           res/app/ostrel-viewer.svg res/app/ostrel-viewer-16.svg
//   render_icons sheet OUT.png [ZOOM]
//       a contact sheet: every image strip at 1x and 2x, then the single
//       images, on a light and a dark ground; ZOOM (whole number) enlarges
//       the sheet without smoothing so single pixels can be judged.
#include "res/ImageStrip.h"

#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPixmap>

#include <cstdio>
#include <vector>

namespace {

int usage()
{
    std::fprintf(stderr, "usage: render_icons png PATTERN SIZE[,SIZE...] FILE.svg...\n"
                         "       render_icons sheet OUT.png [ZOOM]\n");
    return 2;
}

bool savePng(const QImage& image, const QString& path)
{
    const QFileInfo info(path);
    if (!QDir().mkpath(info.absolutePath()) || !image.save(path, "PNG")) {
        std::fprintf(stderr, "render_icons: cannot write %s\n", qPrintable(path));
        return false;
    }
    return true;
}

int renderPngs(const QString& pattern, const QString& sizes, const QStringList& designs)
{
    const QIcon icon = SvgIcon(designs);
    if (icon.isNull() || icon.availableSizes().size() != designs.size()) {
        std::fprintf(stderr, "render_icons: not every file is a readable SVG drawing\n");
        return 1;
    }
    for (const QString& text : sizes.split(QLatin1Char(','))) {
        bool ok = false;
        const int size = text.toInt(&ok);
        if (!ok || size <= 0 || size > 4096)
            return usage();
        const QString path = pattern.contains(QLatin1String("%1")) ? pattern.arg(size) : pattern;
        if (!savePng(icon.pixmap(QSize(size, size)).toImage(), path))
            return 1;
    }
    return 0;
}

// One picture of the sheet: its caption and the icon at the sizes shown.
struct Entry {
    QString caption;
    QIcon icon;
    QSize size;
};

struct Row {
    QString title;
    std::vector<Entry> entries;
    std::vector<qreal> scales;  // each entry is drawn at size x scale, side by side
};

constexpr int kPad = 6;
constexpr int kCaption = 12;
constexpr int kTitle = 16;

QSize cellSize(const Row& row, const Entry& e)
{
    int w = 0;
    int h = 0;
    for (qreal s : row.scales) {
        const QSize px = (QSizeF(e.size) * s).toSize();
        w += px.width() + kPad;
        h = std::max(h, px.height());
    }
    return {std::max(w, 18), h + kCaption};
}

// Lays the rows out within `width`, drawing when `painter` is set; gives the height used.
int layOut(const std::vector<Row>& rows, int width, QPainter* painter, int top)
{
    int y = top;
    for (const Row& row : rows) {
        if (painter)
            painter->drawText(QRect(kPad, y, width, kTitle), Qt::AlignLeft | Qt::AlignVCenter, row.title);
        y += kTitle;
        int x = kPad;
        int lineHeight = 0;
        for (const Entry& e : row.entries) {
            const QSize cell = cellSize(row, e);
            if (x + cell.width() > width && x > kPad) {
                x = kPad;
                y += lineHeight + kPad;
                lineHeight = 0;
            }
            if (painter) {
                painter->drawText(QRect(x, y, cell.width(), kCaption), Qt::AlignLeft | Qt::AlignTop, e.caption);
                int px = x;
                for (qreal s : row.scales) {
                    QPixmap pm = e.icon.pixmap(e.size, s);
                    pm.setDevicePixelRatio(1.0);  // show the device pixels one to one
                    painter->drawPixmap(px, y + kCaption, pm);
                    px += pm.width() + kPad;
                }
            }
            x += cell.width() + kPad;
            lineHeight = std::max(lineHeight, cell.height());
        }
        y += lineHeight + 2 * kPad;
    }
    return y - top;
}

std::vector<Row> sheetRows()
{
    std::vector<Row> rows;
    for (int id : CImageStrip::Resources()) {
        const CImageStrip strip(id);
        Row row{QStringLiteral("strip %1: %2 x %3, %4 images (1x and 2x)")
                    .arg(id)
                    .arg(strip.ImageSize().width())
                    .arg(strip.ImageSize().height())
                    .arg(strip.Count()),
                {},
                {1.0, 2.0}};
        for (int i = 0; i < strip.Count(); ++i)
            row.entries.push_back({QString::number(i), strip.Icon(i), strip.ImageSize()});
        rows.push_back(std::move(row));
    }
    Row singles{QStringLiteral("single images (1x and 2x)"), {}, {1.0, 2.0}};
    singles.entries.push_back({QStringLiteral("230"), WelcomeBitmap(), QSize(20, 20)});
    singles.entries.push_back({QStringLiteral("311"), RefreshIcon(), QSize(16, 16)});
    for (int id : {135, 136})
        for (int size : {16, 32, 48})
            singles.entries.push_back(
                {QStringLiteral("%1 @%2").arg(id).arg(size), DocumentIcon(id), QSize(size, size)});
    rows.push_back(std::move(singles));
    Row app{QStringLiteral("application icon: 16, 22, 24, 32, 48, 64, 128"), {}, {1.0}};
    for (int size : {16, 22, 24, 32, 48, 64, 128})
        app.entries.push_back({QString::number(size), ApplicationIcon(), QSize(size, size)});
    rows.push_back(std::move(app));
    return rows;
}

int renderSheet(const QString& out, int zoom)
{
    const std::vector<Row> rows = sheetRows();
    constexpr int kWidth = 1100;
    const int half = layOut(rows, kWidth, nullptr, 0);
    QImage sheet(kWidth, 2 * half, QImage::Format_ARGB32_Premultiplied);
    QPainter painter(&sheet);
    QFont font = painter.font();
    font.setPixelSize(10);
    painter.setFont(font);
    // The light ground is the ribbon's; the dark one shows what a dark theme would.
    painter.fillRect(QRect(0, 0, kWidth, half), QColor(0xf3, 0xf5, 0xf8));
    painter.setPen(QColor(0x40, 0x40, 0x40));
    layOut(rows, kWidth, &painter, 0);
    painter.fillRect(QRect(0, half, kWidth, half), QColor(0x35, 0x38, 0x3d));
    painter.setPen(QColor(0xd0, 0xd0, 0xd0));
    layOut(rows, kWidth, &painter, half);
    painter.end();
    if (zoom > 1)
        sheet = sheet.scaled(sheet.size() * zoom, Qt::IgnoreAspectRatio, Qt::FastTransformation);
    return savePng(sheet, out) ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const QStringList args = app.arguments().mid(1);
    if (args.size() >= 4 && args[0] == QLatin1String("png"))
        return renderPngs(args[1], args[2], args.mid(3));
    if ((args.size() == 2 || args.size() == 3) && args[0] == QLatin1String("sheet")) {
        bool ok = true;
        const int zoom = args.size() == 3 ? args[2].toInt(&ok) : 1;
        if (!ok || zoom < 1 || zoom > 8)
            return usage();
        return renderSheet(args[1], zoom);
    }
    return usage();
}
