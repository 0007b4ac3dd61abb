#include "screen/glyphs.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QImage>

#include <vector>

namespace {

using Cli_Vop31600::Glyph;

const std::vector<Glyph> allGlyphs{Glyph::Home, Glyph::Up, Glyph::Refresh, Glyph::Abort, Glyph::Download,
                                   Glyph::Upload, Glyph::NewFolder, Glyph::Delete, Glyph::Cancel};

int opaquePixels(const QImage& image)
{
    int count = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            count += qAlpha(image.pixel(x, y)) > 128 ? 1 : 0;
    return count;
}

QImage image16(const QIcon& icon, QIcon::Mode mode = QIcon::Normal)
{
    return icon.pixmap(16, 16, mode).toImage().convertToFormat(QImage::Format_ARGB32);
}

// Average colour of the opaque pixels.
QColor averageColour(const QImage& image)
{
    long red = 0, green = 0, blue = 0, count = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const QRgb pixel = image.pixel(x, y);
            if (qAlpha(pixel) < 200)
                continue;
            red += qRed(pixel), green += qGreen(pixel), blue += qBlue(pixel), ++count;
        }
    return count ? QColor(int(red / count), int(green / count), int(blue / count)) : QColor();
}

TEST(Glyphs, EveryButtonHasItsOwnDrawnGlyphAtBothSizes)
{
    std::vector<QImage> drawn;
    for (Glyph glyph : allGlyphs) {
        const QString resource = Cli_Vop31600::glyphResource(glyph);
        SCOPED_TRACE(resource.toStdString());
        ASSERT_TRUE(QFile::exists(resource)) << "the image is not compiled into the module";
        const QIcon icon = Cli_Vop31600::glyphIcon(glyph);
        ASSERT_FALSE(icon.isNull());
        EXPECT_TRUE(icon.availableSizes().contains(QSize(16, 16)));
        EXPECT_TRUE(icon.availableSizes().contains(QSize(32, 32)));
        const QImage small = image16(icon);
        ASSERT_EQ(small.size(), QSize(16, 16));
        // A glyph fills a good part of its square; a failed render is fully transparent.
        EXPECT_GE(opaquePixels(small), 30);
        EXPECT_GE(opaquePixels(icon.pixmap(32, 32).toImage().convertToFormat(QImage::Format_ARGB32)), 120);
        // Disabled buttons must look disabled.
        EXPECT_NE(image16(icon, QIcon::Disabled), small);
        drawn.push_back(small);
    }
    for (std::size_t i = 0; i < drawn.size(); ++i)
        for (std::size_t j = i + 1; j < drawn.size(); ++j)
            EXPECT_NE(drawn[i], drawn[j]) << "glyphs " << i << " and " << j << " look the same";
}

TEST(Glyphs, LampsAreRedWhenDisconnectedAndGreenWhenConnected)
{
    const QImage off = Cli_Vop31600::lampPixmap(false).toImage().convertToFormat(QImage::Format_ARGB32);
    const QImage on = Cli_Vop31600::lampPixmap(true).toImage().convertToFormat(QImage::Format_ARGB32);
    ASSERT_EQ(off.size(), QSize(16, 16));
    ASSERT_EQ(on.size(), QSize(16, 16));
    EXPECT_GE(opaquePixels(off), 80);
    EXPECT_GE(opaquePixels(on), 80);
    const QColor red = averageColour(off);
    const QColor green = averageColour(on);
    EXPECT_GT(red.red(), red.green() + 60);
    EXPECT_GT(green.green(), green.red() + 60);
    // The lamp is round: the corners stay transparent so the status panel shows through.
    EXPECT_EQ(qAlpha(on.pixel(0, 0)), 0);
    EXPECT_EQ(qAlpha(off.pixel(15, 15)), 0);
}

TEST(Glyphs, AnUnknownGlyphGivesAnEmptyIconRatherThanAnotherButtonsGlyph)
{
    const auto unknown = static_cast<Glyph>(99);
    EXPECT_TRUE(Cli_Vop31600::glyphResource(unknown).isEmpty());
    EXPECT_EQ(opaquePixels(image16(Cli_Vop31600::glyphIcon(unknown))), 0);
}

} // namespace
