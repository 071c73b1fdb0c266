// SPDX-License-Identifier: GPL-3.0-or-later
// artwork_preview: renders every picture (the SVG resources, as the program
// gets them) to PNG files for review. Usage: artwork_preview FOLDER
#include <QDir>
#include <QGuiApplication>
#include <QPainter>

#include <cstdio>

#include "app/ProgramArtwork.h"
#include "xandrel/res/Artwork.h"

namespace {

// Light and dark button faces of common styles.
const QColor kLightFace(239, 239, 239);
const QColor kDarkFace(53, 53, 53);

QImage Enlarged(const QImage& image, int factor)
{
    return image.scaled(image.size() * factor, Qt::IgnoreAspectRatio, Qt::FastTransformation);
}

// The strip as the toolbar shows it: the key colour replaced by `face`.
QImage OnButtonFace(const QImage& strip, const QColor& face)
{
    QImage result = strip.convertToFormat(QImage::Format_RGB32);
    for (int y = 0; y < result.height(); ++y)
        for (int x = 0; x < result.width(); ++x)
            if (result.pixel(x, y) == xandrel::art::kToolbarBackground)
                result.setPixel(x, y, face.rgb());
    return result;
}

QImage Checkerboard(QSize size, int cell)
{
    QImage board(size, QImage::Format_RGB32);
    for (int y = 0; y < size.height(); ++y)
        for (int x = 0; x < size.width(); ++x)
            board.setPixel(x, y, ((x / cell + y / cell) % 2) ? qRgb(204, 204, 204) : qRgb(255, 255, 255));
    return board;
}

// `image` drawn over `background`, enlarged.
QImage Over(const QImage& image, const QImage& background, int factor)
{
    QImage result = background;
    QPainter p(&result);
    p.drawImage(0, 0, image);
    p.end();
    return Enlarged(result, factor);
}

QImage Filled(QSize size, const QColor& colour)
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(colour);
    return image;
}

// The splash as the shaped window shows it: exact black is cut away.
QImage SplashOnCheckerboard(const QImage& splash)
{
    QImage result = Checkerboard(splash.size(), 12);
    for (int y = 0; y < splash.height(); ++y)
        for (int x = 0; x < splash.width(); ++x)
            if ((splash.pixel(x, y) & 0xffffffu) != 0)
                result.setPixel(x, y, splash.pixel(x, y));
    return result;
}

bool Save(const QImage& image, const QDir& folder, const QString& name)
{
    const QString path = folder.filePath(name);
    if (!image.save(path, "PNG")) {
        std::fprintf(stderr, "artwork_preview: cannot write %s\n", qPrintable(path));
        return false;
    }
    std::printf("%s\n", qPrintable(path));
    return true;
}

}  // namespace

int main(int argc, char** argv)
{
    QGuiApplication application(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: artwork_preview FOLDER\n");
        return 2;
    }
    QDir folder(QString::fromLocal8Bit(argv[1]));
    if (!folder.mkpath(".")) {
        std::fprintf(stderr, "artwork_preview: cannot create %s\n", argv[1]);
        return 1;
    }

    bool ok = true;
    const QImage strip = xandrel::art::ToolbarStrip();
    ok &= Save(strip, folder, "toolbar-strip.png");
    ok &= Save(Enlarged(strip, 4), folder, "toolbar-strip-4x.png");
    ok &= Save(OnButtonFace(strip, kLightFace), folder, "toolbar-strip-light.png");
    ok &= Save(Enlarged(OnButtonFace(strip, kLightFace), 4), folder, "toolbar-strip-light-4x.png");
    ok &= Save(Enlarged(OnButtonFace(strip, kDarkFace), 4), folder, "toolbar-strip-dark-4x.png");

    for (const bool present : {true, false}) {
        const QString name = present ? "lamp-signal" : "lamp-no-signal";
        const QImage lamp = xandrel::art::SignalLamp(present).toImage();
        ok &= Save(lamp, folder, name + ".png");
        ok &= Save(Over(lamp, Filled(lamp.size(), kLightFace), 4), folder, name + "-light-4x.png");
        ok &= Save(Over(lamp, Filled(lamp.size(), kDarkFace), 4), folder, name + "-dark-4x.png");
    }

    const QIcon library = xandrel::art::LibraryIcon();
    for (const int size : xandrel::art::kLibraryIconSizes) {
        const QImage icon = library.pixmap(QSize(size, size)).toImage();
        ok &= Save(icon, folder, QString("library-icon-%1.png").arg(size));
        ok &= Save(Over(icon, Checkerboard(icon.size(), 4), 192 / size), folder,
                   QString("library-icon-%1-enlarged.png").arg(size));
    }
    const QIcon program = quellix::art::ProgramIcon();
    for (const int size : quellix::art::kProgramIconSizes) {
        const QImage icon = program.pixmap(QSize(size, size)).toImage();
        ok &= Save(icon, folder, QString("program-icon-%1.png").arg(size));
        if (size <= 64)
            ok &= Save(Over(icon, Checkerboard(icon.size(), 4), 192 / size), folder,
                       QString("program-icon-%1-enlarged.png").arg(size));
    }

    const QImage splash = quellix::art::SplashPicture();
    ok &= Save(splash, folder, "splash.png");
    ok &= Save(SplashOnCheckerboard(splash), folder, "splash-cut.png");
    ok &= Save(Enlarged(SplashOnCheckerboard(splash), 3).copy(0, 0, 600, 300), folder, "splash-cut-corner-3x.png");
    ok &= Save(Enlarged(SplashOnCheckerboard(splash), 3).copy(1110, 510, 600, 300), folder, "splash-cut-shadow-3x.png");
    ok &= Save(Enlarged(splash.copy(30, 50, 320, 150), 2), folder, "splash-lettering-2x.png");
    return ok ? 0 : 1;
}
