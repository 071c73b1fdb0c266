// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/ProgramArtwork.h"

#include "xandrel/res/Artwork.h"

namespace quellix::art {

QImage ProgramIconImage(int size)
{
    static const int kDesigns[] = {16, 24, 32, 48, 64};
    return xandrel::art::IconImage(QStringLiteral(":/xandrel/art/program-icon"), kDesigns, size);
}

QIcon ProgramIcon()
{
    return xandrel::art::IconFromImages(kProgramIconSizes, ProgramIconImage);
}

QImage SplashPicture()
{
    // Exact black is the background the splash window cuts away: a pixel of
    // the picture less than half covered becomes black, the rest is kept
    // opaque and never black.
    const QImage picture =
        xandrel::art::SvgImage(QStringLiteral(":/xandrel/art/splash.svg"), QSize(kSplashWidth, kSplashHeight));
    return xandrel::art::OverKeyColour(picture, qRgb(0, 0, 0));
}

}  // namespace quellix::art
