// SPDX-License-Identifier: GPL-3.0-or-later
#include "SplashPicture.h"

#include <QFile>
#include <QRect>
#include <vector>

#include "ProgramArtwork.h"
#include "RegionFromBitmap.h"

namespace quellix {
namespace {

// Reading more than the largest acceptable picture is never needed.
constexpr qint64 kLargestFile = 14 + 1024 + 4 * 1024 + kLargestPixelCount * 4;

SplashPicture BuiltIn()
{
    SplashPicture splash;
    splash.picture = art::SplashPicture().convertToFormat(QImage::Format_RGB888);
    std::vector<uint8_t> rgb;
    rgb.reserve(static_cast<size_t>(splash.picture.width() * splash.picture.height() * 3));
    for (int y = 0; y < splash.picture.height(); ++y) {
        const uchar* line = splash.picture.constScanLine(y);
        rgb.insert(rgb.end(), line, line + splash.picture.width() * 3);
    }
    splash.bitmap = DibFromRgbRows(splash.picture.width(), splash.picture.height(), rgb.data());
    splash.source = "built-in";
    return splash;
}

}  // namespace

SplashPicture LoadSplashPicture(const std::string& path)
{
    QFile file(QString::fromStdString(path));
    if (!file.exists() || !file.open(QIODevice::ReadOnly))
        return BuiltIn();
    const QByteArray bytes = file.read(kLargestFile);
    std::string problem;
    DibBitmap bitmap = ReadDibFile(std::string_view(bytes.constData(), static_cast<size_t>(bytes.size())), problem);
    QImage picture;
    if (!bitmap.Empty() && !picture.loadFromData(bytes, "BMP"))
        problem = "the picture cannot be drawn";
    if (bitmap.Empty() || picture.isNull() || picture.size() != QSize(bitmap.width, bitmap.height)) {
        SplashPicture splash = BuiltIn();
        splash.problem = path + ": " + (problem.empty() ? "not a picture this program reads" : problem);
        return splash;
    }
    return SplashPicture{picture, std::move(bitmap), path, {}, {}};
}

QRegion SplashRegion(const DibBitmap& bitmap, std::string* note)
{
    const RegionData data = CreateRegionFromBitmap(bitmap);
    if (data.bounded && note)
        *note = "its shape needs more than " + std::to_string(kMostRegionRects)
            + " rectangles; the splash is cut to the rectangle around its pixels that are not black";
    std::vector<QRect> rects;
    rects.reserve(data.rects.size());
    for (const RegionRect& r : data.rects)
        rects.emplace_back(QPoint(r.left, r.top), QPoint(r.right - 1, r.bottom - 1));
    QRegion region;
    region.setRects(rects.data(), static_cast<int>(rects.size()));
    return region;
}

}  // namespace quellix
