// The viewer's pictures: image strips (rows of same-sized images picked by
// index, as the ribbon uses them) and a few single images. All are SVG
// drawings compiled into the program and rendered at the size and device-pixel
// ratio they are shown at, so they stay sharp at any scale.
#pragma once

#include <QIcon>
#include <QList>
#include <QSize>
#include <QStringList>

class CImageStrip {
public:
    // The strip with the given resource number; a number without a strip
    // gives an empty strip (Count() 0, null icons).
    explicit CImageStrip(int resourceId);

    int ResourceId() const { return m_nResourceId; }
    int Count() const { return static_cast<int>(m_files.size()); }
    // Size of one image at 1x; every image of a strip has this size.
    QSize ImageSize() const { return m_size; }
    // Null for an index outside the strip.
    QIcon Icon(int index) const;
    QString FileName(int index) const;

    // Resource numbers of every strip the program carries, ascending.
    static QList<int> Resources();

private:
    int m_nResourceId;
    QStringList m_files;
    QSize m_size;
};

// An icon drawn from one or more SVG designs of the same picture at different
// sizes: each request is rendered from the design that fits its device-pixel
// size best (the same size or the next larger one, else one that scales by a
// whole factor).
// Null when no file can be read as SVG.
QIcon SvgIcon(const QStringList& fileNames);

// Size of the SVG drawing's own canvas; empty if it cannot be read.
QSize SvgSize(const QString& fileName);

QIcon ApplicationIcon();             // the program's icon ("ostrel-viewer" in the icon theme)
QIcon DocumentIcon(int resourceId);  // 135 log files, 136 text files; null for any other number
QIcon WelcomeBitmap();               // 230: the caption bar's welcome picture, 20 x 20
QIcon RefreshIcon();                 // 311: the status bar's Refresh pane, 16 x 16
