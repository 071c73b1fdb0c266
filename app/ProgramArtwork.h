// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The program's own pictures: its icon and the built-in splash picture,
// SVG files compiled into the library beside its own pictures
// (xandrel/res/svg) and rendered with Qt SVG. The lettering in them is made
// of paths, so the splash looks the same everywhere and needs no font.
//
// The QImage functions work without an application object; QIcon needs a
// QGuiApplication.
#include <QIcon>
#include <QImage>

namespace quellix::art {

// The program icon: a dark tile with coloured routes between input and
// output dots, the same motif as the matrix window's green icon. It is
// designed for each size up to 64 pixels (fewer routes at the small ones);
// larger sizes scale the 64-pixel design.
inline constexpr int kProgramIconSizes[] = {16, 24, 32, 48, 64, 128, 256};
QImage ProgramIconImage(int size);  // Format_ARGB32_Premultiplied
QIcon ProgramIcon();                // one pixmap per kProgramIconSizes

// The built-in splash picture, used when data/sp.dat is missing: 570 × 270,
// Format_RGB888. Exactly black pixels are the background that the splash
// window cuts away; everything that belongs to the picture (the rounded
// panel, its drop shadow, the lettering and the routing graphic) is kept
// clear of pure black so that it stays solid.
inline constexpr int kSplashWidth = 570;
inline constexpr int kSplashHeight = 270;
QImage SplashPicture();

}  // namespace quellix::art
