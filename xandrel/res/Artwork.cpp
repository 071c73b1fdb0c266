// SPDX-License-Identifier: GPL-3.0-or-later
#include "xandrel/res/Artwork.h"

#include <QPainter>
#include <QSvgRenderer>
#include <QtGlobal>

#include <algorithm>

// The resource is compiled into an object library that ends up in a shared
// library; registering it explicitly does not rely on the linker keeping its
// static initialiser. Q_INIT_RESOURCE must be used outside any namespace.
static void InitArtResource()
{
    static const bool done = [] {
        Q_INIT_RESOURCE(xandrel_art);
        return true;
    }();
    Q_UNUSED(done);
}

namespace xandrel::art {

QImage SvgImage(const QString& path, QSize size)
{
    InitArtResource();
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QSvgRenderer renderer(path);
    if (!renderer.isValid()) {
        qWarning("xandrel: cannot render the picture %s", qPrintable(path));
        return image;
    }
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    renderer.render(&p, QRectF(QPointF(0, 0), QSizeF(size)));
    return image;
}

QImage IconImage(const QString& base, std::span<const int> designs, int size)
{
    if (size <= 0 || designs.empty())
        return QImage();
    const auto design = std::find_if(designs.begin(), designs.end(), [size](int d) { return d >= size; });
    const int chosen = design != designs.end() ? *design : designs.back();
    return SvgImage(QStringLiteral("%1-%2.svg").arg(base).arg(chosen), QSize(size, size));
}

QImage OverKeyColour(const QImage& image, QRgb key)
{
    const QImage source = image.convertToFormat(QImage::Format_ARGB32);
    QImage result(source.size(), QImage::Format_RGB888);
    const QRgb opaqueKey = key | 0xff000000u;
    for (int y = 0; y < source.height(); ++y) {
        const QRgb* in = reinterpret_cast<const QRgb*>(source.constScanLine(y));
        uchar* out = result.scanLine(y);
        for (int x = 0; x < source.width(); ++x) {
            QRgb colour = opaqueKey;
            if (qAlpha(in[x]) >= 128) {
                colour = in[x] | 0xff000000u;
                if (colour == opaqueKey)
                    colour = qRgb(qRed(key), qGreen(key), qBlue(key) ^ 1);
                if ((colour & 0xffffffu) == 0)
                    colour = qRgb(1, 1, 1);
            }
            out[3 * x] = static_cast<uchar>(qRed(colour));
            out[3 * x + 1] = static_cast<uchar>(qGreen(colour));
            out[3 * x + 2] = static_cast<uchar>(qBlue(colour));
        }
    }
    return result;
}

QImage ToolbarStrip()
{
    const QSize size(kToolbarImageSize * kToolbarImageCount, kToolbarImageSize);
    return OverKeyColour(SvgImage(QStringLiteral(":/xandrel/art/toolbar.svg"), size), kToolbarBackground);
}

QImage TakeImage()
{
    const QSize size(kToolbarImageSize, kToolbarImageSize);
    return OverKeyColour(SvgImage(QStringLiteral(":/xandrel/art/take.svg"), size), kToolbarBackground);
}

QImage LineLampImage(LineLamp lamp)
{
    if (lamp == LineLamp::Silent)
        return SvgImage(QStringLiteral(":/xandrel/art/lamp-alarm.svg"), QSize(kSignalLampSize, kSignalLampSize));
    return SignalLampImage(lamp == LineLamp::Answering);
}

QIcon LockIcon()
{
    QIcon icon;
    for (int size : {16, 32})
        icon.addPixmap(QPixmap::fromImage(SvgImage(QStringLiteral(":/xandrel/art/lock.svg"), QSize(size, size))));
    return icon;
}

QImage SignalLampImage(bool present)
{
    return SvgImage(present ? QStringLiteral(":/xandrel/art/lamp-lit.svg")
                            : QStringLiteral(":/xandrel/art/lamp-unlit.svg"),
                    QSize(kSignalLampSize, kSignalLampSize));
}

QPixmap SignalLamp(bool present)
{
    return QPixmap::fromImage(SignalLampImage(present));
}

QImage LibraryIconImage(int size)
{
    static const int kDesigns[] = {16, 24, 32, 48, 64, 256};
    return IconImage(QStringLiteral(":/xandrel/art/library-icon"), kDesigns, size);
}

QIcon IconFromImages(std::span<const int> sizes, QImage (*draw)(int size))
{
    QIcon icon;
    for (const int size : sizes)
        icon.addPixmap(QPixmap::fromImage(draw(size)));
    return icon;
}

QIcon LibraryIcon()
{
    return IconFromImages(kLibraryIconSizes, LibraryIconImage);
}

}  // namespace xandrel::art
