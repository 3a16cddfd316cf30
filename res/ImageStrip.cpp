// SVG icons rendered on demand: every pixmap is drawn from the vector design at
// the exact device-pixel size asked for (1x, 2x or anything between), so no
// bitmap is ever scaled and no image-format plugin is needed.
#include "res/ImageStrip.h"

#include <QDir>
#include <QIconEngine>
#include <QImage>
#include <QPainter>
#include <QPixmapCache>
#include <QSvgRenderer>

#include <algorithm>
#include <vector>

// Resources of a static library are registered by name; this must stand
// outside any namespace.
static void initImageResources()
{
    static const bool done = [] {
        Q_INIT_RESOURCE(ostrel_res);
        return true;
    }();
    (void)done;
}

namespace {

const QString kRoot = QStringLiteral(":/ostrel/");

struct Design {
    QString file;
    QSize size;
};

// The disabled look: the picture in grey at reduced strength.
QImage disabledImage(QImage image)
{
    image = image.convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < image.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            const int grey = 128 + qGray(line[x]) / 2;
            line[x] = qRgba(grey, grey, grey, qAlpha(line[x]) * 2 / 5);
        }
    }
    return image;
}

class CSvgIconEngine : public QIconEngine {
public:
    explicit CSvgIconEngine(std::vector<Design> designs) : m_designs(std::move(designs)) {}

    QIconEngine* clone() const override { return new CSvgIconEngine(m_designs); }
    QString key() const override { return QStringLiteral("CSvgIconEngine"); }
    bool isNull() override { return m_designs.empty(); }

    QList<QSize> availableSizes(QIcon::Mode, QIcon::State) override
    {
        QList<QSize> sizes;
        for (const Design& d : m_designs)
            sizes.append(d.size);
        return sizes;
    }

    // The largest size of the design's proportions that fits into `size`.
    QSize actualSize(const QSize& size, QIcon::Mode, QIcon::State) override
    {
        if (m_designs.empty() || size.isEmpty())
            return {};
        return m_designs.front().size.scaled(size, Qt::KeepAspectRatio);
    }

    QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State state) override
    {
        const QSize target = actualSize(size, mode, state);
        if (target.isEmpty())
            return {};
        const Design& design = pick(target);
        const bool disabled = mode == QIcon::Disabled;
        const QString cacheKey = QStringLiteral("ostrel-svg:%1:%2x%3:%4")
                                     .arg(design.file)
                                     .arg(target.width())
                                     .arg(target.height())
                                     .arg(disabled ? 'd' : 'n');
        QPixmap pm;
        if (QPixmapCache::find(cacheKey, &pm))
            return pm;

        QImage image(target, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        QSvgRenderer renderer(design.file);
        QPainter painter(&image);
        painter.setRenderHints(QPainter::Antialiasing | QPainter::SmoothPixmapTransform);
        renderer.render(&painter, QRectF(QPointF(0, 0), QSizeF(target)));
        painter.end();
        pm = QPixmap::fromImage(disabled ? disabledImage(image) : image);
        QPixmapCache::insert(cacheKey, pm);
        return pm;
    }

    void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode, QIcon::State state) override
    {
        const qreal dpr = painter->device() ? painter->device()->devicePixelRatio() : 1.0;
        const QSize logical = actualSize(rect.size(), mode, state);
        QPixmap pm = pixmap((QSizeF(logical) * dpr).toSize(), mode, state);
        if (pm.isNull())
            return;
        pm.setDevicePixelRatio(dpr);
        const QRect placed(rect.x() + (rect.width() - logical.width()) / 2,
                           rect.y() + (rect.height() - logical.height()) / 2, logical.width(), logical.height());
        painter->drawPixmap(placed, pm);
    }

private:
    // The smallest design at least as large as the target (a design drawn for
    // exactly this size, or one that shrinks: shrinking loses less than
    // enlarging); failing that the largest that scales by a whole factor, so
    // its pixel grid stays on the pixel grid; failing that the largest.
    const Design& pick(const QSize& target) const
    {
        const int want = target.height();
        const Design* larger = nullptr;
        const Design* dividing = nullptr;
        const Design* largest = &m_designs.front();
        for (const Design& d : m_designs) {
            const int h = d.size.height();
            if (h >= want && (!larger || h < larger->size.height()))
                larger = &d;
            if (want % h == 0 && (!dividing || h > dividing->size.height()))
                dividing = &d;
            if (h > largest->size.height())
                largest = &d;
        }
        return larger ? *larger : dividing ? *dividing : *largest;
    }

    std::vector<Design> m_designs;
};

QStringList svgFilesIn(const QString& folder)
{
    initImageResources();
    QStringList files;
    const QDir dir(folder);
    for (const QString& name : dir.entryList({QStringLiteral("*.svg")}, QDir::Files, QDir::Name))
        files.append(dir.filePath(name));
    return files;
}

}  // namespace

QSize SvgSize(const QString& fileName)
{
    initImageResources();
    QSvgRenderer renderer(fileName);
    return renderer.isValid() ? renderer.defaultSize() : QSize();
}

QIcon SvgIcon(const QStringList& fileNames)
{
    std::vector<Design> designs;
    for (const QString& file : fileNames) {
        const QSize size = SvgSize(file);
        if (!size.isEmpty())
            designs.push_back({file, size});
    }
    if (designs.empty())
        return {};
    return QIcon(new CSvgIconEngine(std::move(designs)));
}

CImageStrip::CImageStrip(int resourceId)
    : m_nResourceId(resourceId), m_files(svgFilesIn(kRoot + QStringLiteral("strips/") + QString::number(resourceId)))
{
    if (!m_files.isEmpty())
        m_size = SvgSize(m_files.front());
}

QIcon CImageStrip::Icon(int index) const
{
    if (index < 0 || index >= Count())
        return {};
    return SvgIcon({m_files[index]});
}

QString CImageStrip::FileName(int index) const
{
    return index >= 0 && index < Count() ? m_files[index] : QString();
}

QList<int> CImageStrip::Resources()
{
    initImageResources();
    QList<int> ids;
    for (const QString& name : QDir(kRoot + QStringLiteral("strips")).entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        bool ok = false;
        const int id = name.toInt(&ok);
        if (ok)
            ids.append(id);
    }
    std::sort(ids.begin(), ids.end());
    return ids;
}

QIcon ApplicationIcon()
{
    return SvgIcon(svgFilesIn(kRoot + QStringLiteral("app")));
}

QIcon DocumentIcon(int resourceId)
{
    if (resourceId != 135 && resourceId != 136)
        return {};
    return SvgIcon(svgFilesIn(kRoot + QStringLiteral("documents/") + QString::number(resourceId)));
}

QIcon WelcomeBitmap()
{
    return SvgIcon({kRoot + QStringLiteral("single/230.svg")});
}

QIcon RefreshIcon()
{
    return SvgIcon({kRoot + QStringLiteral("single/311.svg")});
}
