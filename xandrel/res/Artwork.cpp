#include "xandrel/res/Artwork.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>
#include <QRadialGradient>

#include <algorithm>
#include <cmath>
#include <numbers>

namespace xandrel::art {
namespace {

constexpr int kTile = kToolbarImageSize;
constexpr double kDegree = std::numbers::pi / 180.0;

struct TilePalette {
    QColor top;     // body gradient, top
    QColor bottom;  // body gradient, bottom
    QColor rim;     // the one-pixel outline
    QColor shade;   // the symbols' drop shadow
};

const TilePalette kGreenTile{QColor(110, 192, 96), QColor(38, 132, 58), QColor(22, 88, 40), QColor(12, 64, 26, 150)};
const TilePalette kOrangeTile{QColor(252, 170, 66), QColor(228, 106, 20), QColor(150, 62, 6), QColor(116, 44, 0, 150)};

QImage TransparentImage(int size)
{
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    return image;
}

QPen WhitePen(qreal width, Qt::PenCapStyle cap = Qt::RoundCap)
{
    return QPen(Qt::white, width, Qt::SolidLine, cap, Qt::RoundJoin);
}

// A filled arrowhead whose point is at `tip`, pointing along the unit vector
// `direction`.
void Arrowhead(QPainter& p, QPointF tip, QPointF direction, qreal length, qreal halfWidth)
{
    const QPointF across(-direction.y(), direction.x());
    const QPointF base = tip - direction * length;
    p.save();
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::white);
    p.drawPolygon(QPolygonF{tip, base + across * halfWidth, base - across * halfWidth});
    p.restore();
}

// `image` in one flat colour, keeping its coverage (for drop shadows).
QImage Silhouette(const QImage& image, const QColor& colour)
{
    QImage result = image;
    QPainter p(&result);
    p.setCompositionMode(QPainter::CompositionMode_SourceIn);
    p.fillRect(result.rect(), colour);
    return result;
}

// The symbols of the strip, white on a transparent 32 × 32 layer. Strokes of
// odd width sit on pixel centres and even ones on pixel edges, so straight
// lines stay sharp at this size.

void Spanner(QPainter& p)
{
    p.translate(16, 16.5);
    p.rotate(-45);  // the handle runs from lower left to upper right
    QPainterPath head;
    head.addEllipse(QPointF(6.5, 0), 6.2, 6.2);
    QPainterPath jaw;
    jaw.setFillRule(Qt::WindingFill);
    jaw.addRect(QRectF(6.5, -2.5, 8, 5));
    jaw.addEllipse(QPointF(6.5, 0), 2.5, 2.5);
    QPainterPath handle;
    handle.addRoundedRect(QRectF(-12, -2.7, 17, 5.4), 2.7, 2.7);
    QPainterPath hole;
    hole.addEllipse(QPointF(-9.2, 0), 1.15, 1.15);
    p.fillPath(head.subtracted(jaw).united(handle).subtracted(hole), Qt::white);
}

void CirclingArrows(QPainter& p)
{
    const QPointF centre(16, 16);
    const qreal radius = 7.5;
    const QRectF circle(centre.x() - radius, centre.y() - radius, 2 * radius, 2 * radius);
    p.setPen(WhitePen(2.6, Qt::FlatCap));
    for (const double start : {115.0, 295.0}) {
        const double sweep = -130.0;  // clockwise
        p.drawArc(circle, static_cast<int>(start * 16), static_cast<int>(sweep * 16));
        const double end = (start + sweep) * kDegree;
        const QPointF at = centre + QPointF(radius * std::cos(end), -radius * std::sin(end));
        const QPointF along(std::sin(end), std::cos(end));  // clockwise tangent on screen
        Arrowhead(p, at + along * 3.4, along, 5.6, 4.0);
    }
}

void OpposedArrows(QPainter& p)
{
    p.setPen(WhitePen(3));
    p.drawLine(QPointF(8, 11.5), QPointF(20, 11.5));
    Arrowhead(p, QPointF(25.5, 11.5), QPointF(1, 0), 7, 4.5);
    p.drawLine(QPointF(24, 20.5), QPointF(12, 20.5));
    Arrowhead(p, QPointF(6.5, 20.5), QPointF(-1, 0), 7, 4.5);
}

void ClosedLoop(QPainter& p)
{
    p.setPen(WhitePen(3.2));
    p.drawEllipse(QPointF(16, 16), 7.4, 7.4);
}

void Cross(QPainter& p)
{
    p.setPen(WhitePen(3.6));
    p.drawLine(QPointF(10.5, 10.5), QPointF(21.5, 21.5));
    p.drawLine(QPointF(21.5, 10.5), QPointF(10.5, 21.5));
}

void Chart(QPainter& p)
{
    p.setPen(WhitePen(2, Qt::SquareCap));
    p.drawPolyline(QPolygonF{QPointF(8, 7), QPointF(8, 24), QPointF(25, 24)});
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::white);
    p.drawRoundedRect(QRectF(11, 16, 3, 6), 0.8, 0.8);
    p.drawRoundedRect(QRectF(16, 12, 3, 10), 0.8, 0.8);
    p.drawRoundedRect(QRectF(21, 8, 3, 14), 0.8, 0.8);
}

void LightningBolt(QPainter& p)
{
    p.setPen(QPen(Qt::white, 0.8, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(Qt::white);
    p.drawPolygon(QPolygonF{QPointF(17.5, 5), QPointF(9, 18), QPointF(15, 18), QPointF(12.5, 27.5),
                            QPointF(23, 13), QPointF(17, 13), QPointF(21.5, 5)});
}

// A bold "E", for EDID.
void LetterGlyph(QPainter& p)
{
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::white);
    p.drawRect(QRectF(10, 8, 3, 17));
    p.drawRect(QRectF(10, 8, 12, 3));
    p.drawRect(QRectF(10, 15, 10, 3));
    p.drawRect(QRectF(10, 22, 12, 3));
}

// A serifed "i", the usual sign for information.
void SecondGlyph(QPainter& p)
{
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::white);
    p.drawEllipse(QPointF(16, 8.8), 2.4, 2.4);
    p.drawRect(QRectF(14, 13, 4, 10));
    p.drawRect(QRectF(11, 13, 3, 2));
    p.drawRect(QRectF(11, 23, 10, 2));
}

void ConcentricCircles(QPainter& p)
{
    p.setPen(WhitePen(2));
    p.drawEllipse(QPointF(16, 16), 9, 9);
    p.drawEllipse(QPointF(16, 16), 5, 5);
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::white);
    p.drawEllipse(QPointF(16, 16), 1.8, 1.8);
}

using SymbolPainter = void (*)(QPainter&);

struct TileArt {
    SymbolPainter symbol;
    const TilePalette* palette;
};

const TileArt kStrip[kToolbarImageCount] = {
    {Spanner, &kGreenTile},       {CirclingArrows, &kGreenTile}, {OpposedArrows, &kGreenTile},
    {ClosedLoop, &kGreenTile},    {Cross, &kOrangeTile},         {Chart, &kGreenTile},
    {LightningBolt, &kGreenTile}, {LetterGlyph, &kGreenTile},    {SecondGlyph, &kGreenTile},
    {ConcentricCircles, &kGreenTile},
};

// Which pixels of a 32 × 32 cell belong to the tile: those at least half
// covered by its rounded outline. The outer edge is kept binary because the
// background colour is replaced later by one we cannot know here; a blend
// with it would leave a tinted fringe.
QImage TileMask()
{
    QImage coverage = TransparentImage(kTile);
    QPainter p(&coverage);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::white);
    p.drawRoundedRect(QRectF(1, 1, 30, 30), 6, 6);
    p.end();
    QImage mask(kTile, kTile, QImage::Format_Mono);
    mask.fill(0);
    for (int y = 0; y < kTile; ++y)
        for (int x = 0; x < kTile; ++x)
            if (qAlpha(coverage.pixel(x, y)) >= 128)
                mask.setPixel(x, y, 1);
    return mask;
}

// One tile, opaque over the whole cell (the mask decides what is kept).
QImage TileImage(const TileArt& art)
{
    const TilePalette& palette = *art.palette;
    QImage tile(kTile, kTile, QImage::Format_ARGB32_Premultiplied);
    tile.fill(palette.rim);
    QPainter p(&tile);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);

    QPainterPath body;
    body.addRoundedRect(QRectF(2, 2, 28, 28), 5, 5);
    QLinearGradient fill(0, 2, 0, 30);
    fill.setColorAt(0, palette.top);
    fill.setColorAt(1, palette.bottom);
    p.fillPath(body, fill);

    // A soft sheen over the upper half and a light line under the top rim.
    p.save();
    p.setClipPath(body);
    QLinearGradient sheen(0, 2, 0, 17);
    sheen.setColorAt(0, QColor(255, 255, 255, 70));
    sheen.setColorAt(1, QColor(255, 255, 255, 0));
    p.fillRect(QRectF(2, 2, 28, 15), sheen);
    p.fillRect(QRectF(6, 2, 20, 1), QColor(255, 255, 255, 90));
    p.restore();

    QImage symbol = TransparentImage(kTile);
    {
        QPainter s(&symbol);
        s.setRenderHint(QPainter::Antialiasing);
        art.symbol(s);
    }
    p.drawImage(QPointF(0, 1), Silhouette(symbol, palette.shade));
    p.drawImage(QPointF(0, 0), symbol);
    return tile;
}

// The lit lamp's and the unlit lamp's colours.
struct LampPalette {
    QColor groove;               // the ring between bezel and lens
    QColor lensCentre, lensMid, lensEdge;
    int highlightAlpha;
};

const LampPalette kLit{QColor(18, 96, 34), QColor(244, 255, 236), QColor(120, 240, 116), QColor(18, 136, 44), 230};
const LampPalette kUnlit{QColor(40, 44, 46), QColor(92, 97, 98), QColor(84, 88, 90), QColor(70, 74, 76), 40};

// The library icon's motif, a crosspoint matrix: input lines across, output
// lines down, and a dot where an output takes its input. Drawn per size, with
// the lines on whole pixels where the size allows.
struct CrosspointGrid {
    int size;
    int lines;
    qreal first;  // position of the first line, both ways
    qreal step;
    qreal lineWidth;
    qreal dotRadius;
    qreal overhang;  // how far lines run past the outer ones
};

const CrosspointGrid kGrids[] = {
    {48, 4, 12, 8, 2, 3.6, 5},
    {32, 4, 7, 6, 2, 2.6, 3.5},
    {24, 3, 6, 6, 2, 2.4, 3},
    {16, 3, 4.5, 3.5, 1, 1.8, 2.5},
};

CrosspointGrid GridFor(int size)
{
    for (const CrosspointGrid& grid : kGrids)
        if (grid.size == size)
            return grid;
    // Other sizes: the largest design, scaled.
    const CrosspointGrid& big = kGrids[0];
    const qreal f = static_cast<qreal>(size) / big.size;
    return {size, big.lines, big.first * f, big.step * f, std::max(1.0, big.lineWidth * f),
            std::max(1.5, big.dotRadius * f), big.overhang * f};
}

void DrawCrosspointGrid(QPainter& p, const CrosspointGrid& grid)
{
    static const int kFour[] = {1, 3, 0, 2};
    static const int kThree[] = {2, 0, 1};
    const int* outputs = grid.lines == 4 ? kFour : kThree;
    const qreal last = grid.first + grid.step * (grid.lines - 1);
    p.setPen(QPen(QColor(255, 255, 255, 150), grid.lineWidth, Qt::SolidLine, Qt::FlatCap));
    for (int k = 0; k < grid.lines; ++k) {
        const qreal at = grid.first + grid.step * k;
        p.drawLine(QPointF(grid.first - grid.overhang, at), QPointF(last + grid.overhang, at));
        p.drawLine(QPointF(at, grid.first - grid.overhang), QPointF(at, last + grid.overhang));
    }
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::white);
    for (int k = 0; k < grid.lines; ++k)
        p.drawEllipse(QPointF(grid.first + grid.step * outputs[k], grid.first + grid.step * k), grid.dotRadius,
                      grid.dotRadius);
}

}  // namespace

QImage ToolbarStrip()
{
    const QImage mask = TileMask();
    QImage strip(kTile * kToolbarImageCount, kTile, QImage::Format_RGB888);
    strip.fill(QColor::fromRgb(kToolbarBackground));
    for (int index = 0; index < kToolbarImageCount; ++index) {
        const QImage tile = TileImage(kStrip[index]);
        for (int y = 0; y < kTile; ++y) {
            for (int x = 0; x < kTile; ++x) {
                if (!mask.pixelIndex(x, y))
                    continue;
                QRgb colour = tile.pixel(x, y) | 0xff000000u;
                // Black is the image list's mask colour; never let a tile hold it.
                if ((colour & 0xffffffu) == 0)
                    colour = qRgb(1, 1, 1);
                strip.setPixel(index * kTile + x, y, colour);
            }
        }
    }
    return strip;
}

QImage SignalLampImage(bool present)
{
    const LampPalette& palette = present ? kLit : kUnlit;
    QImage image = TransparentImage(kSignalLampSize);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    const QPointF centre(16, 16);

    if (present) {
        QRadialGradient glow(centre, 16);
        glow.setColorAt(0.66, QColor(80, 230, 80, 210));
        glow.setColorAt(0.84, QColor(80, 230, 80, 90));
        glow.setColorAt(1.0, QColor(80, 230, 80, 0));
        p.setBrush(glow);
        p.drawEllipse(centre, 16, 16);
    }

    QLinearGradient bezel(0, 5, 0, 27);
    bezel.setColorAt(0, QColor(226, 230, 230));
    bezel.setColorAt(1, QColor(100, 106, 108));
    p.setBrush(bezel);
    p.drawEllipse(centre, 11, 11);
    p.setBrush(palette.groove);
    p.drawEllipse(centre, 9.6, 9.6);

    QRadialGradient lens(centre, 8.6, QPointF(14.4, 13.2));
    lens.setColorAt(0, palette.lensCentre);
    lens.setColorAt(0.35, palette.lensMid);
    lens.setColorAt(1, palette.lensEdge);
    p.setBrush(lens);
    p.drawEllipse(centre, 8.6, 8.6);

    QRadialGradient highlight(QPointF(13.2, 11.6), 4.2);
    highlight.setColorAt(0, QColor(255, 255, 255, palette.highlightAlpha));
    highlight.setColorAt(1, QColor(255, 255, 255, 0));
    p.setBrush(highlight);
    p.drawEllipse(QPointF(13.2, 11.6), 4.6, 3.4);
    return image;
}

QPixmap SignalLamp(bool present)
{
    return QPixmap::fromImage(SignalLampImage(present));
}

QImage LibraryIconImage(int size)
{
    QImage image = TransparentImage(size);
    if (size <= 0)
        return image;
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);

    const qreal s = size;
    const qreal inset = s >= 32 ? 1 : 0.5;
    const qreal radius = s * 0.17;
    QPainterPath outline;
    outline.addRoundedRect(QRectF(inset, inset, s - 2 * inset, s - 2 * inset), radius, radius);
    p.fillPath(outline, kGreenTile.rim);
    QPainterPath body;
    body.addRoundedRect(QRectF(inset + 1, inset + 1, s - 2 * inset - 2, s - 2 * inset - 2), radius - 1, radius - 1);
    QLinearGradient fill(0, 0, 0, s);
    fill.setColorAt(0, kGreenTile.top);
    fill.setColorAt(1, kGreenTile.bottom);
    p.fillPath(body, fill);
    p.save();
    p.setClipPath(body);
    QLinearGradient sheen(0, 0, 0, s / 2);
    sheen.setColorAt(0, QColor(255, 255, 255, 70));
    sheen.setColorAt(1, QColor(255, 255, 255, 0));
    p.fillRect(QRectF(0, 0, s, s / 2), sheen);
    p.restore();

    QImage motif = TransparentImage(size);
    {
        QPainter m(&motif);
        m.setRenderHint(QPainter::Antialiasing);
        DrawCrosspointGrid(m, GridFor(size));
    }
    if (size >= 24)
        p.drawImage(QPoint(0, std::max(1, size / 32)), Silhouette(motif, kGreenTile.shade));
    p.drawImage(QPointF(0, 0), motif);
    return image;
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
