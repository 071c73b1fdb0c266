// SPDX-License-Identifier: GPL-3.0-or-later
// quellix-icons: writes the programs' icons as PNG files for installation,
// rendered from the same SVG resources the programs use (these files are
// build outputs).
//
//   quellix-icons FOLDER    writes FOLDER/<size>/quellix.png and quellix-edid.png
#include <QDir>
#include <QImage>
#include <cstdio>

#include "ProgramArtwork.h"
#include "xandrel/res/Artwork.h"

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: quellix-icons FOLDER\n");
        return 2;
    }
    const QString folder = QString::fromLocal8Bit(argv[1]);
    int failures = 0;
    for (int size : quellix::art::kProgramIconSizes) {
        const QString sized = QStringLiteral("%1/%2x%2").arg(folder).arg(size);
        QDir().mkpath(sized);
        failures += !quellix::art::ProgramIconImage(size).save(sized + "/quellix.png");
        // The EDID host wears the matrix window's icon, drawn larger when asked.
        failures += !xandrel::art::LibraryIconImage(size).save(sized + "/quellix-edid.png");
    }
    return failures == 0 ? 0 : 1;
}
