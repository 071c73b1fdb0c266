// SPDX-License-Identifier: GPL-3.0-or-later
// The pictures rendered from the SVG resources: the facts the toolbar, the
// routing panel, the icons and the shaped splash window rely on. Only QImage
// is used, which needs no QGuiApplication.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>

#include "app/ProgramArtwork.h"
#include "xandrel/res/Artwork.h"

namespace {

using namespace xandrel::art;

bool IsBlack(QRgb colour)
{
    return (colour & 0xffffffu) == 0;
}

int Brightness(QRgb colour)
{
    return qGray(qUnpremultiply(colour));
}

QImage Cell(const QImage& strip, int index)
{
    return strip.copy(index * kToolbarImageSize, 0, kToolbarImageSize, kToolbarImageSize);
}

TEST(ToolbarStrip, IsTenImagesOfThirtyTwoPixelsIn24BitColour)
{
    const QImage strip = ToolbarStrip();
    EXPECT_EQ(strip.size(), QSize(320, 32));
    EXPECT_EQ(strip.format(), QImage::Format_RGB888);
}

TEST(ToolbarStrip, BackgroundIsExactlyTheKeyColourAroundEveryTileAndNowhereInside)
{
    const QImage strip = ToolbarStrip();
    ASSERT_EQ(kToolbarBackground & 0xffffffu, 0x408080u);
    for (int index = 0; index < kToolbarImageCount; ++index) {
        SCOPED_TRACE(index);
        const QImage cell = Cell(strip, index);
        // The frame of the cell and the corners cut off by the rounding.
        for (int k = 0; k < 32; ++k) {
            EXPECT_EQ(cell.pixel(k, 0), kToolbarBackground);
            EXPECT_EQ(cell.pixel(k, 31), kToolbarBackground);
            EXPECT_EQ(cell.pixel(0, k), kToolbarBackground);
            EXPECT_EQ(cell.pixel(31, k), kToolbarBackground);
        }
        for (const QPoint corner : {QPoint(1, 1), QPoint(30, 1), QPoint(1, 30), QPoint(30, 30), QPoint(2, 1)})
            EXPECT_EQ(cell.pixel(corner), kToolbarBackground);
        // Inside the tile the key colour would turn into button face.
        for (int y = 3; y < 29; ++y)
            for (int x = 3; x < 29; ++x)
                ASSERT_NE(cell.pixel(x, y), kToolbarBackground) << x << "," << y;
    }
}

TEST(ToolbarStrip, HoldsNoPureBlackPixel)
{
    const QImage strip = ToolbarStrip();
    for (int y = 0; y < strip.height(); ++y)
        for (int x = 0; x < strip.width(); ++x)
            ASSERT_FALSE(IsBlack(strip.pixel(x, y))) << x << "," << y;
}

TEST(ToolbarStrip, TilesAreDistinctWithWhiteSymbolsAndOnlyCloseIsOrange)
{
    const QImage strip = ToolbarStrip();
    std::set<QByteArray> seen;
    for (int index = 0; index < kToolbarImageCount; ++index) {
        SCOPED_TRACE(index);
        const QImage cell = Cell(strip, index);
        seen.insert(QByteArray(reinterpret_cast<const char*>(cell.constBits()), cell.sizeInBytes()));
        // The tile body just inside its rim, clear of every symbol.
        const QColor body = QColor::fromRgb(cell.pixel(3, 16));
        if (index == static_cast<int>(ToolbarImage::Close))
            EXPECT_GT(body.red(), body.green() + 40);
        else
            EXPECT_GT(body.green(), body.red() + 40);
        int white = 0;
        for (int y = 4; y < 28; ++y)
            for (int x = 4; x < 28; ++x)
                white +=
                    qRed(cell.pixel(x, y)) > 240 && qGreen(cell.pixel(x, y)) > 240 && qBlue(cell.pixel(x, y)) > 240;
        EXPECT_GT(white, 25);
    }
    EXPECT_EQ(seen.size(), static_cast<size_t>(kToolbarImageCount));
}

TEST(SignalLamp, LitAndUnlitDifferInBrightnessNotOnlyInHue)
{
    const QImage lit = SignalLampImage(true);
    const QImage unlit = SignalLampImage(false);
    for (const QImage* lamp : {&lit, &unlit}) {
        EXPECT_EQ(lamp->size(), QSize(kSignalLampSize, kSignalLampSize));
        EXPECT_TRUE(lamp->hasAlphaChannel());
        EXPECT_EQ(qAlpha(lamp->pixel(0, 0)), 0);
        EXPECT_EQ(qAlpha(lamp->pixel(16, 16)), 255);
    }
    EXPECT_GT(Brightness(lit.pixel(15, 14)), Brightness(unlit.pixel(15, 14)) + 60);
    const QColor litCentre = QColor::fromRgb(qUnpremultiply(lit.pixel(16, 18)));
    const QColor unlitCentre = QColor::fromRgb(qUnpremultiply(unlit.pixel(16, 18)));
    EXPECT_GT(litCentre.green(), litCentre.red() + 60);
    EXPECT_LT(unlitCentre.hsvSaturation(), 40);
    // Only the lit lamp glows beyond its bezel.
    EXPECT_GT(qAlpha(lit.pixel(16, 2)), 0);
    EXPECT_EQ(qAlpha(unlit.pixel(16, 2)), 0);
}

// An icon image of `size`: transparent at its corners, opaque in the middle.
void ExpectIconShape(const QImage& icon, int size)
{
    SCOPED_TRACE(size);
    ASSERT_EQ(icon.size(), QSize(size, size));
    for (const QPoint corner : {QPoint(0, 0), QPoint(size - 1, 0), QPoint(0, size - 1), QPoint(size - 1, size - 1)})
        EXPECT_EQ(qAlpha(icon.pixel(corner)), 0);
    EXPECT_EQ(qAlpha(icon.pixel(size / 2, size / 2)), 255);
    EXPECT_EQ(qAlpha(icon.pixel(size / 2, std::max(2, size / 10))), 255);
}

TEST(Icons, EveryRequiredSizeIsDrawnAsATileWithTransparentCorners)
{
    for (const int size : kLibraryIconSizes)
        ExpectIconShape(LibraryIconImage(size), size);
    // The desktop icons are written at the program icon's sizes for both.
    for (const int size : quellix::art::kProgramIconSizes)
        ExpectIconShape(LibraryIconImage(size), size);
    for (const int size : quellix::art::kProgramIconSizes)
        ExpectIconShape(quellix::art::ProgramIconImage(size), size);
    // The two icons must not be mistaken for one another.
    EXPECT_NE(LibraryIconImage(32), quellix::art::ProgramIconImage(32));
}

// The rule the strip and the splash are made opaque by: at least half covered
// is kept at full strength, the rest becomes exactly the key colour, and a
// kept pixel never equals the key colour or pure black.
TEST(OverKeyColour, KeepsHalfCoveredPixelsOpaqueAndKeepsKeyAndBlackForTheBackground)
{
    QImage image(6, 1, QImage::Format_ARGB32);
    image.setPixel(0, 0, qRgba(200, 10, 10, 0));
    image.setPixel(1, 0, qRgba(200, 10, 10, 127));
    image.setPixel(2, 0, qRgba(200, 10, 10, 128));
    image.setPixel(3, 0, kToolbarBackground);
    image.setPixel(4, 0, qRgb(0, 0, 0));
    image.setPixel(5, 0, qRgba(1, 2, 3, 255));
    const QImage result = OverKeyColour(image, kToolbarBackground);
    ASSERT_EQ(result.format(), QImage::Format_RGB888);
    EXPECT_EQ(result.pixel(0, 0), kToolbarBackground);
    EXPECT_EQ(result.pixel(1, 0), kToolbarBackground);
    EXPECT_EQ(result.pixel(2, 0), qRgb(200, 10, 10));
    EXPECT_NE(result.pixel(3, 0), kToolbarBackground);
    EXPECT_FALSE(IsBlack(result.pixel(4, 0)));
    EXPECT_EQ(result.pixel(5, 0), qRgb(1, 2, 3));
    // With black as the key, only uncovered pixels are black.
    const QImage onBlack = OverKeyColour(image, qRgb(0, 0, 0));
    EXPECT_TRUE(IsBlack(onBlack.pixel(1, 0)));
    EXPECT_FALSE(IsBlack(onBlack.pixel(4, 0)));
}

class SplashPicture : public ::testing::Test {
protected:
    static void SetUpTestSuite() { splash_ = new QImage(quellix::art::SplashPicture()); }
    static void TearDownTestSuite() { delete splash_; }
    static const QImage& splash() { return *splash_; }

private:
    static QImage* splash_;
};
QImage* SplashPicture::splash_ = nullptr;

TEST_F(SplashPicture, Is570By270In24BitColourWithABlackBorder)
{
    ASSERT_EQ(splash().size(), QSize(quellix::art::kSplashWidth, quellix::art::kSplashHeight));
    EXPECT_EQ(splash().size(), QSize(570, 270));
    EXPECT_EQ(splash().format(), QImage::Format_RGB888);
    const int w = splash().width();
    const int h = splash().height();
    for (int x = 0; x < w; ++x) {
        EXPECT_TRUE(IsBlack(splash().pixel(x, 0))) << x;
        EXPECT_TRUE(IsBlack(splash().pixel(x, h - 1))) << x;
    }
    for (int y = 0; y < h; ++y) {
        EXPECT_TRUE(IsBlack(splash().pixel(0, y))) << y;
        EXPECT_TRUE(IsBlack(splash().pixel(w - 1, y))) << y;
    }
}

TEST_F(SplashPicture, CentreHasNoHoles)
{
    for (int y = 30; y < 240; ++y)
        for (int x = 30; x < 540; ++x)
            ASSERT_FALSE(IsBlack(splash().pixel(x, y))) << x << "," << y;
}

// What the window keeps must be one solid shape: in every row the kept
// pixels form a single run (a hole or a stray speck makes two), and the shape
// fills most of the picture.
TEST_F(SplashPicture, KeptPixelsFormOneSolidShapeCoveringMostOfThePicture)
{
    long kept = 0;
    for (int y = 0; y < splash().height(); ++y) {
        int runs = 0;
        bool inRun = false;
        for (int x = 0; x < splash().width(); ++x) {
            const bool opaque = !IsBlack(splash().pixel(x, y));
            kept += opaque;
            runs += opaque && !inRun;
            inRun = opaque;
        }
        EXPECT_LE(runs, 1) << "row " << y;
    }
    const double share = static_cast<double>(kept) / (570.0 * 270.0);
    EXPECT_GT(share, 0.75);
    EXPECT_LT(share, 0.99);
}

}  // namespace
