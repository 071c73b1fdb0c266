// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The splash picture: data/sp.dat when it is a BMP this program reads, else
// the built-in picture. The same bitmap gives the picture and the shape.
#include <QImage>
#include <QRegion>
#include <string>

#include "DibBitmap.h"

namespace quellix {

struct SplashPicture {
    QImage picture;         // what is painted
    DibBitmap bitmap;       // its raw pixels, for the shape
    std::string source;     // the file read, or "built-in"
    std::string problem;    // why the file was not used, if it was there
    std::string shapeNote;  // why the window is not cut to the exact shape, if it is not
};

// Loads `path`, falling back to the built-in picture.
SplashPicture LoadSplashPicture(const std::string& path);

// The window region of a bitmap: its runs of pixels that are not black. A
// shape of more rectangles than a window system takes is replaced by the
// rectangle around those pixels, and `note` (when given) says so.
QRegion SplashRegion(const DibBitmap& bitmap, std::string* note = nullptr);

}  // namespace quellix
