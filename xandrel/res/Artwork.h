// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The library's pictures: the toolbar image strip, the two signal lamps of the
// routing panel and the matrix window's icon. Each is an SVG file compiled
// into the library as a Qt resource (xandrel/res/svg, under ":/xandrel/art/")
// and rendered with Qt SVG; the lettering in them is made of paths, so no
// font is needed. The program's own pictures (app/ProgramArtwork.h) are
// rendered the same way from files in the same folder.
//
// The QImage functions work without an application object. QPixmap and QIcon
// need a QGuiApplication, as always in Qt.
#include <QIcon>
#include <QImage>
#include <QPixmap>
#include <QRgb>
#include <QSize>
#include <QString>
#include <span>

#include "xandrel/XandrelExport.h"

namespace xandrel::art {

// The toolbar strip: ten square images side by side.
inline constexpr int kToolbarImageSize = 32;
inline constexpr int kToolbarImageCount = 10;
// Pixels of exactly this colour are the strip's background; the toolbar
// replaces them with the button-face colour of the style in force.
inline constexpr QRgb kToolbarBackground = 0xff408080;  // red 64, green 128, blue 128

// The images of the strip, in their order.
enum class ToolbarImage {
    Setting,      // spanner
    Scan,         // circling arrows
    Linkage,      // two opposed arrows
    Open,         // closed loop
    Close,        // cross on an orange tile
    Mapping,      // chart
    FastSelect,   // lightning bolt
    EdidInfo,     // letter-like glyph
    SecondGlyph,  // a second glyph (not used by the toolbar)
    Circles,      // concentric circles (not used by the toolbar)
};

// 320 × 32, Format_RGB888: ten 32 × 32 images, rounded tiles (green, the
// Close tile orange) with white symbols. Outside the tiles every pixel is
// exactly kToolbarBackground; the tiles' outer edges are not antialiased, so
// no blend of that colour remains once it is replaced. The strip holds no
// pure black pixel (black is the image list's mask colour).
XANDREL_EXPORT QImage ToolbarStrip();

// The signal lamps, 32 × 32 with transparency. Present: a lit green lamp with
// a bright centre, a highlight and a glow around its rim. Absent: the same
// bezel with a flat, dark grey lens and no glow, so the two differ in
// brightness as well as in colour.
inline constexpr int kSignalLampSize = 32;
XANDREL_EXPORT QImage SignalLampImage(bool present);
XANDREL_EXPORT QPixmap SignalLamp(bool present);

// The Take button's image, in the strip's manner: 32 × 32, Format_RGB888, a
// green tile with a white arrow running into a bar, every pixel outside the
// tile exactly kToolbarBackground.
XANDREL_EXPORT QImage TakeImage();

// The lamp of the line in the status bar, 32 × 32 with transparency: lit
// green (the device answers), red (it does not) or unlit (not known).
enum class LineLamp {
    Answering,
    Silent,
    Unknown
};
XANDREL_EXPORT QImage LineLampImage(LineLamp lamp);

// A padlock, 16 × 16 with transparency, beside a locked output's name.
XANDREL_EXPORT QIcon LockIcon();

// The matrix window's built-in icon: a crosspoint matrix on a green tile,
// input lines across, output lines down and a dot on each connection. It is
// designed for each of these sizes, with fewer lines at the small ones, and
// for 64 and 256 pixels (the desktop's icons); other sizes scale the design
// of the next larger size.
inline constexpr int kLibraryIconSizes[] = {48, 32, 24, 16};
XANDREL_EXPORT QImage LibraryIconImage(int size);  // Format_ARGB32_Premultiplied
XANDREL_EXPORT QIcon LibraryIcon();                // one pixmap per kLibraryIconSizes

// An icon with one pixmap per size, each drawn by `draw` for its size.
XANDREL_EXPORT QIcon IconFromImages(std::span<const int> sizes, QImage (*draw)(int size));

// The building blocks, for the program's pictures too.

// The SVG file at `path` (a resource such as ":/xandrel/art/splash.svg")
// rendered antialiased over transparency, scaled to `size`.
// Format_ARGB32_Premultiplied; a file that cannot be read gives a fully
// transparent image (and a warning).
XANDREL_EXPORT QImage SvgImage(const QString& path, QSize size);

// An icon image of `size` from the designs "<base>-<design>.svg", one per
// size in `designs` (ascending): the smallest design at least as large as
// `size`, else the largest, scaled. Format_ARGB32_Premultiplied.
XANDREL_EXPORT QImage IconImage(const QString& base, std::span<const int> designs, int size);

// `image` made opaque over a key colour, Format_RGB888: a pixel at least half
// covered keeps its own colour at full strength; every other pixel becomes
// exactly `key`. So the picture's outline is not blended with the key colour,
// and a kept pixel is never exactly `key` nor pure black (it is moved one step
// away), so either can mark what is not picture.
XANDREL_EXPORT QImage OverKeyColour(const QImage& image, QRgb key);

}  // namespace xandrel::art
