#include "app/ProgramArtwork.h"

#include "xandrel/res/Artwork.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QRadialGradient>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <string_view>
#include <vector>

namespace quellix::art {
namespace {

// Colours shared by the icon and the splash: a deep blue-green panel and the
// route colours.
const QColor kPanelTop(28, 60, 70);
const QColor kPanelBottom(11, 27, 35);
const QColor kPanelRimLight(92, 150, 158);
const QColor kPanelRimDark(24, 48, 56);
const QColor kRouteColours[] = {QColor(96, 220, 112), QColor(84, 200, 232), QColor(236, 204, 96),
                                QColor(236, 122, 150)};

QImage TransparentImage(int width, int height)
{
    QImage image(width, height, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    return image;
}

// ---------------------------------------------------------------------------
// Lettering: a geometric monoline alphabet, only the letters the splash
// needs. Each glyph is a centre line stroked with a round pen; `cap` is the
// capital height, lower case has an x-height of two thirds of it. Glyphs are
// laid out from the origin on the baseline (y grows downwards, so the letters
// stand at negative y).

struct Glyph {
    QPainterPath strokes;  // stroked with the pen
    QPainterPath dots;     // filled
    qreal width = 0;       // of the centre lines
};

Glyph MakeGlyph(char c, qreal cap, qreal pen)
{
    const qreal h = cap;
    const qreal x = cap * 2 / 3;
    Glyph g;
    QPainterPath& s = g.strokes;
    auto line = [&](qreal x0, qreal y0, qreal x1, qreal y1) {
        s.moveTo(x0, y0);
        s.lineTo(x1, y1);
    };
    // A bowl (R, P): from the top of the stem out to `w` and back at `depth`.
    auto bowl = [&](qreal w, qreal depth) {
        const qreal r = depth / 2;
        s.moveTo(0, -h);
        s.lineTo(w - r, -h);
        s.arcTo(QRectF(w - 2 * r, -h, 2 * r, 2 * r), 90, -180);
        s.lineTo(0, -h + depth);
    };
    switch (c) {
    case 'M':
        g.width = 0.9 * h;
        s.moveTo(0, 0);
        s.lineTo(0, -h);
        s.lineTo(g.width / 2, -0.3 * h);
        s.lineTo(g.width, -h);
        s.lineTo(g.width, 0);
        break;
    case 'A':
        g.width = 0.84 * h;
        s.moveTo(0, 0);
        s.lineTo(g.width / 2, -h);
        s.lineTo(g.width, 0);
        line(0.17 * g.width, -0.34 * h, 0.83 * g.width, -0.34 * h);
        break;
    case 'T':
        g.width = 0.7 * h;
        line(0, -h, g.width, -h);
        line(g.width / 2, -h, g.width / 2, 0);
        break;
    case 'R':
        g.width = 0.64 * h;
        line(0, 0, 0, -h);
        bowl(g.width, 0.52 * h);
        line(0.5 * g.width, -0.48 * h, g.width, 0);
        break;
    case 'P':
        g.width = 0.62 * h;
        line(0, 0, 0, -h);
        bowl(g.width, 0.54 * h);
        break;
    case 'I':
        line(0, 0, 0, -h);
        break;
    case 'X':
        g.width = 0.7 * h;
        line(0, -h, g.width, 0);
        line(g.width, -h, 0, 0);
        break;
    case 'C':
        g.width = 0.5 * h * (1 + std::cos(std::numbers::pi / 4));
        s.arcMoveTo(QRectF(0, -h, h, h), 45);
        s.arcTo(QRectF(0, -h, h, h), 45, 270);
        break;
    case 'O':
        g.width = h;
        s.addEllipse(QRectF(0, -h, h, h));
        break;
    case 'N':
        g.width = 0.72 * h;
        s.moveTo(0, 0);
        s.lineTo(0, -h);
        s.lineTo(g.width, 0);
        s.lineTo(g.width, -h);
        break;
    case 'L':
        g.width = 0.54 * h;
        s.moveTo(0, -h);
        s.lineTo(0, 0);
        s.lineTo(g.width, 0);
        break;
    case 'E':
        g.width = 0.56 * h;
        s.moveTo(g.width, -h);
        s.lineTo(0, -h);
        s.lineTo(0, 0);
        s.lineTo(g.width, 0);
        line(0, -h / 2, 0.86 * g.width, -h / 2);
        break;
    case 'Q':
        g.width = h;
        s.addEllipse(QRectF(0, -h, h, h));
        line(0.64 * h, -0.34 * h, 1.0 * h, 0.02 * h);
        break;
    case 'u': {
        g.width = 0.84 * x;
        const qreal r = g.width / 2;
        s.moveTo(0, -x);
        s.lineTo(0, -r);
        s.arcTo(QRectF(0, -2 * r, 2 * r, 2 * r), 180, 180);
        line(g.width, -x, g.width, 0);
        break;
    }
    case 'e':
        g.width = x;
        s.moveTo(0, -x / 2);
        s.lineTo(x, -x / 2);
        s.arcTo(QRectF(0, -x, x, x), 0, 300);
        break;
    case 'l':
        line(0, -1.04 * h, 0, 0);
        break;
    case 'i':
        line(0, -x, 0, 0);
        g.dots.addEllipse(QPointF(0, -x - 0.24 * h), pen * 0.66, pen * 0.66);
        break;
    case 'x':
        g.width = 0.8 * x;
        line(0, -x, g.width, 0);
        line(g.width, -x, 0, 0);
        break;
    default:  // space
        g.width = 0.45 * h;
        break;
    }
    return g;
}

struct Lettering {
    qreal cap;
    qreal pen;       // stroke width
    qreal tracking;  // gap between the outer edges of neighbouring strokes
};

struct PlacedGlyph {
    Glyph glyph;
    qreal x;
};

std::vector<PlacedGlyph> Layout(std::string_view text, const Lettering& style, qreal& width)
{
    std::vector<PlacedGlyph> placed;
    qreal x = style.pen / 2;
    for (const char c : text) {
        Glyph glyph = MakeGlyph(c, style.cap, style.pen);
        const qreal advance = glyph.width + style.pen + style.tracking;
        placed.push_back({std::move(glyph), x});
        x += advance;
    }
    width = text.empty() ? 0 : x - style.tracking - style.pen / 2;
    return placed;
}

qreal TextWidth(std::string_view text, const Lettering& style)
{
    qreal width = 0;
    Layout(text, style, width);
    return width;
}

// Draws `text` with its left edge at `left` and its baseline at `baseline`.
// `colourOf` gives the colour of the character at an index.
template <typename ColourOf>
void DrawText(QPainter& p, std::string_view text, const Lettering& style, QPointF origin, ColourOf colourOf)
{
    qreal width = 0;
    const std::vector<PlacedGlyph> placed = Layout(text, style, width);
    for (size_t k = 0; k < placed.size(); ++k) {
        const QColor colour = colourOf(k);
        const QPointF at = origin + QPointF(placed[k].x, 0);
        p.setPen(QPen(colour, style.pen, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        p.setBrush(Qt::NoBrush);
        p.drawPath(placed[k].glyph.strokes.translated(at));
        p.setPen(Qt::NoPen);
        p.setBrush(colour);
        p.drawPath(placed[k].glyph.dots.translated(at));
    }
}

// ---------------------------------------------------------------------------
// The routing graphic: input dots on the left, output dots on the right,
// each output fed by an input along an S-curve with a soft glow.

struct Routing {
    QRectF area;       // the dot centres lie on its left and right edges
    int rows;
    const int* feeds;  // output k is fed by input feeds[k]
    qreal lineWidth;
    qreal dotRadius;
    bool glow;
};

void DrawRouting(QPainter& p, const Routing& r, const QColor& dotCentre)
{
    const qreal step = r.rows > 1 ? r.area.height() / (r.rows - 1) : 0;
    auto rowY = [&](int row) { return r.area.top() + step * row; };
    const qreal left = r.area.left();
    const qreal right = r.area.right();
    const qreal reach = r.area.width() * 0.5;
    p.setBrush(Qt::NoBrush);
    for (int pass = r.glow ? 0 : 1; pass < 2; ++pass) {
        for (int k = 0; k < r.rows; ++k) {
            const int input = r.feeds[k];
            QColor colour = kRouteColours[input % 4];
            qreal width = r.lineWidth;
            if (pass == 0) {
                colour.setAlpha(60);
                width *= 3;
            }
            p.setPen(QPen(colour, width, Qt::SolidLine, Qt::FlatCap));
            QPainterPath route(QPointF(left, rowY(input)));
            route.cubicTo(QPointF(left + reach, rowY(input)), QPointF(right - reach, rowY(k)),
                          QPointF(right, rowY(k)));
            p.drawPath(route);
        }
    }
    for (int k = 0; k < r.rows; ++k) {
        // Inputs are solid dots; outputs are rings in the colour of their feed.
        p.setPen(Qt::NoPen);
        p.setBrush(kRouteColours[k % 4]);
        p.drawEllipse(QPointF(left, rowY(k)), r.dotRadius, r.dotRadius);
        p.setBrush(kRouteColours[r.feeds[k] % 4]);
        p.drawEllipse(QPointF(right, rowY(k)), r.dotRadius, r.dotRadius);
        if (r.dotRadius >= 3) {  // too small to read as a ring below that
            p.setBrush(dotCentre);
            p.drawEllipse(QPointF(right, rowY(k)), r.dotRadius * 0.45, r.dotRadius * 0.45);
        }
    }
}

// A rounded panel: blue-green gradient with a light upper and a dark lower
// rim, as if lit from above.
void DrawPanel(QPainter& p, const QRectF& rect, qreal radius, qreal rim)
{
    QPainterPath outline;
    outline.addRoundedRect(rect, radius, radius);
    QLinearGradient rimFill(rect.topLeft(), rect.bottomLeft());
    rimFill.setColorAt(0, kPanelRimLight);
    rimFill.setColorAt(0.5, kPanelRimDark);
    rimFill.setColorAt(1, kPanelRimDark);
    p.fillPath(outline, rimFill);

    const QRectF inner = rect.adjusted(rim, rim, -rim, -rim);
    QPainterPath body;
    body.addRoundedRect(inner, radius - rim, radius - rim);
    QLinearGradient fill(inner.topLeft(), inner.bottomLeft());
    fill.setColorAt(0, kPanelTop);
    fill.setColorAt(1, kPanelBottom);
    p.fillPath(body, fill);

    p.save();
    p.setClipPath(body);
    QRadialGradient light(inner.topLeft() + QPointF(inner.width() * 0.25, 0), inner.width() * 0.6);
    light.setColorAt(0, QColor(120, 200, 210, 40));
    light.setColorAt(1, QColor(120, 200, 210, 0));
    p.fillRect(inner, light);
    p.restore();
}

// Spreads `alpha` (width × height) with three box blurs of `radius`,
// close to a Gaussian.
void Blur(std::vector<float>& alpha, int width, int height, int radius)
{
    std::vector<float> scratch(alpha.size());
    auto pass = [&](const std::vector<float>& from, std::vector<float>& to, bool horizontal) {
        const int lines = horizontal ? height : width;
        const int length = horizontal ? width : height;
        for (int line = 0; line < lines; ++line) {
            auto at = [&](int k) -> const float& {
                return horizontal ? from[static_cast<size_t>(line * width + k)]
                                  : from[static_cast<size_t>(k * width + line)];
            };
            for (int k = 0; k < length; ++k) {
                float sum = 0;
                for (int d = -radius; d <= radius; ++d)
                    sum += at(std::clamp(k + d, 0, length - 1));
                const size_t index = horizontal ? static_cast<size_t>(line * width + k)
                                                : static_cast<size_t>(k * width + line);
                to[index] = sum / static_cast<float>(2 * radius + 1);
            }
        }
    };
    for (int round = 0; round < 3; ++round) {
        pass(alpha, scratch, true);
        pass(scratch, alpha, false);
    }
}

}  // namespace

QImage ProgramIconImage(int size)
{
    QImage image = TransparentImage(size, size);
    if (size <= 0)
        return image;
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    const qreal s = size;
    const qreal inset = s >= 32 ? s / 32 : 0.5;
    DrawPanel(p, QRectF(inset, inset, s - 2 * inset, s - 2 * inset), s * 0.18, std::max(1.0, s / 40));

    // Four routes from 64 px, three from 24 px, two below, with lines no
    // thinner than a pixel and a half.
    static const int kFour[] = {2, 0, 3, 1};
    static const int kThree[] = {2, 0, 1};
    static const int kTwo[] = {1, 0};
    const int rows = size >= 64 ? 4 : size >= 24 ? 3 : 2;
    const int* feeds = rows == 4 ? kFour : rows == 3 ? kThree : kTwo;
    const qreal margin = s * (rows == 2 ? 0.27 : 0.24);
    const qreal spread = s * (rows == 4 ? 0.5 : rows == 3 ? 0.46 : 0.38);
    const Routing routing{QRectF(margin, (s - spread) / 2, s - 2 * margin, spread), rows, feeds,
                          std::max(1.5, s * (rows == 4 ? 0.035 : 0.05)), std::max(1.8, s * (rows == 4 ? 0.055 : 0.07)),
                          size >= 48};
    DrawRouting(p, routing, kPanelBottom);
    return image;
}

QIcon ProgramIcon()
{
    return xandrel::art::IconFromImages(kProgramIconSizes, ProgramIconImage);
}

QImage SplashPicture()
{
    const int w = kSplashWidth;
    const int h = kSplashHeight;
    const QRectF panel(8, 6, 546, 248);
    const qreal radius = 18;

    QImage canvas(w, h, QImage::Format_ARGB32_Premultiplied);
    canvas.fill(Qt::black);

    // The drop shadow, down and to the right. It is drawn in dark greys, not
    // black, so it stays when the black background is cut away; where it
    // fades below a threshold it ends, giving the shape a clean outer edge.
    {
        QImage shape = TransparentImage(w, h);
        QPainter s(&shape);
        s.setRenderHint(QPainter::Antialiasing);
        s.setPen(Qt::NoPen);
        s.setBrush(Qt::white);
        s.drawRoundedRect(panel.translated(5, 7), radius, radius);
        s.end();
        std::vector<float> alpha(static_cast<size_t>(w * h));
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                alpha[static_cast<size_t>(y * w + x)] = static_cast<float>(qAlpha(shape.pixel(x, y))) / 255.0f;
        Blur(alpha, w, h, 2);
        for (int y = 0; y < h; ++y) {
            for (int x = 0; x < w; ++x) {
                const float a = alpha[static_cast<size_t>(y * w + x)];
                if (a < 0.25f)
                    continue;
                const int grey = 4 + static_cast<int>(std::lround(a * 26));
                canvas.setPixel(x, y, qRgb(grey, grey, grey + 2));
            }
        }
    }

    // The panel. Over the shadow its edge is blended as usual; over the
    // background a pixel belongs to the panel when at least half covered and
    // then takes the panel's own colour. A blend with the black there would
    // only leave a dark seam, since the window's edge is whole pixels anyway.
    {
        QImage layer = TransparentImage(w, h);
        QPainter l(&layer);
        l.setRenderHint(QPainter::Antialiasing);
        l.setPen(Qt::NoPen);
        DrawPanel(l, panel, radius, 1.5);
        l.end();
        for (int y = 0; y < h; ++y) {
            for (int x = 0; x < w; ++x) {
                const QRgb over = layer.pixel(x, y);  // premultiplied
                const int a = qAlpha(over);
                if (a == 0)
                    continue;
                const QRgb under = canvas.pixel(x, y);
                if ((under & 0xffffffu) == 0) {
                    if (a >= 128)
                        canvas.setPixel(x, y, qUnpremultiply(over) | 0xff000000u);
                    continue;
                }
                auto mix = [a](int top, int bottom) { return top + bottom * (255 - a) / 255; };
                canvas.setPixel(x, y, qRgb(mix(qRed(over), qRed(under)), mix(qGreen(over), qGreen(under)),
                                           mix(qBlue(over), qBlue(under))));
            }
        }
    }

    QPainter p(&canvas);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);

    // The wordmark and, justified to its width, the subtitle.
    const Lettering title{60, 7.2, 9.5};
    const std::string_view name = "Quellix";
    const std::string_view subtitle = "MATRIX CONTROL PANEL";
    const qreal titleWidth = TextWidth(name, title);
    Lettering small{12.5, 1.7, 0};
    small.tracking = (titleWidth - TextWidth(subtitle, small)) / static_cast<qreal>(subtitle.size() - 1);
    const QPointF titleOrigin(44, 150);
    DrawText(p, name, title, titleOrigin, [&](size_t k) {
        return k + 1 == name.size() ? kRouteColours[0] : QColor(236, 244, 244);
    });
    DrawText(p, subtitle, small, titleOrigin + QPointF(0, 38), [](size_t) { return QColor(140, 184, 188); });

    // A thin rule over the wordmark in the route colours.
    const qreal ruleTop = 66;
    const qreal ruleWidth = titleWidth / 4;
    for (int k = 0; k < 4; ++k)
        p.fillRect(QRectF(titleOrigin.x() + k * ruleWidth, ruleTop, ruleWidth - 3, 3), kRouteColours[k]);

    // The routing graphic on the right, set apart by a faint divider.
    p.fillRect(QRectF(352, 40, 1, 180), QColor(92, 150, 158, 70));
    static const int kFeeds[] = {2, 0, 3, 1};
    DrawRouting(p, Routing{QRectF(392, 62, 124, 132), 4, kFeeds, 3, 6.5, true}, kPanelBottom);
    p.end();

    // Nothing inside the panel may be pure black, or the window would have a
    // hole there; lift any such pixel to the darkest grey that is kept.
    QPainterPath interior;
    interior.addRoundedRect(panel.adjusted(1, 1, -1, -1), radius - 1, radius - 1);
    QImage splash = canvas.convertToFormat(QImage::Format_RGB888);
    for (int y = 0; y < h; ++y) {
        uchar* row = splash.scanLine(y);
        for (int x = 0; x < w; ++x) {
            uchar* pixel = row + 3 * x;
            if (pixel[0] == 0 && pixel[1] == 0 && pixel[2] == 0 && interior.contains(QPointF(x + 0.5, y + 0.5)))
                pixel[0] = pixel[1] = pixel[2] = 1;
        }
    }
    return splash;
}

}  // namespace quellix::art
