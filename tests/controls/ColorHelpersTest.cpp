// Colour arithmetic in the HLS model and the scoped drawing helpers.
#include "controls/CBrushSelector.h"
#include "controls/COffscreenDC.h"
#include "controls/CPenSelector.h"
#include "controls/ColorHls.h"
#include "controls/GdiDraw.h"

#include <gtest/gtest.h>

#include <QImage>
#include <QPainter>

namespace {

// The hue, lightness and saturation bytes of the packed form.
int HlsByte(std::uint32_t packed, int which) {
    return static_cast<int>((packed >> (8 * which)) & 0xFF);
}
enum { Hue, Light, Sat };

// The packed form's hue, lightness and saturation bytes (-1: not checked), worked out by hand;
// back from the packed form; adjusted towards the ends.
TEST(ColorHls, PackedFormBackAndAdjusted) {
    const struct {
        COLORREF rgb;
        int bytes[3];
    } cases[] = {
        {RgbColor(255, 0, 0), {255, 127, 255}},   // red's hue is 360, not 0
        {RgbColor(0, 255, 0), {85, -1, -1}},      // 120 x 255 / 360
        {RgbColor(0, 0, 255), {170, -1, -1}},     // 240 x 255 / 360
        {RgbColor(192, 192, 192), {0, 192, 0}},   // grey
        {RgbColor(255, 200, 200), {-1, -1, 255}}, // lightness above one half: the other formula
        {RgbColor(100, 50, 50), {-1, -1, 85}},    // 50 x 255 / 150
    };
    for (const auto& c : cases) {
        const std::uint32_t packed = ColorToPackedHLS(c.rgb);
        SCOPED_TRACE(testing::Message() << std::hex << c.rgb);
        EXPECT_EQ(packed >> 24, 0u);
        for (const int which : {Hue, Light, Sat}) {
            EXPECT_TRUE(c.bytes[which] < 0 || HlsByte(packed, which) == c.bytes[which])
                << which << ": " << HlsByte(packed, which);
        }
    }

    EXPECT_EQ(PackedHLSToColor(0x00008000u), RgbColor(128, 128, 128)) << "no saturation: the lightness byte";
    const COLORREF red = PackedHLSToColor(ColorToPackedHLS(RgbColor(255, 0, 0)));
    EXPECT_TRUE(RedOf(red) >= 250 && GreenOf(red) == 0 && BlueOf(red) == 0) << std::hex << red;
    // A round trip lands within the packing's quantisation.
    for (const COLORREF c : {RgbColor(49, 106, 197), RgbColor(236, 233, 216), RgbColor(10, 200, 30)}) {
        const COLORREF back = PackedHLSToColor(ColorToPackedHLS(c));
        EXPECT_NEAR(RedOf(back), RedOf(c), 4);
        EXPECT_NEAR(GreenOf(back), GreenOf(c), 4);
        EXPECT_NEAR(BlueOf(back), BlueOf(c), 4);
    }

    EXPECT_EQ(AdjustHLS(RgbColor(255, 255, 255), 20, 0), RgbColor(255, 255, 255));
    EXPECT_EQ(AdjustHLS(RgbColor(0, 0, 0), -27, 0), RgbColor(0, 0, 0));
    EXPECT_EQ(AdjustHLS(RgbColor(192, 192, 192), 20, 0), RgbColor(204, 204, 204)); // 192 + 63 x 20 / 100
    EXPECT_EQ(AdjustHLS(RgbColor(200, 200, 200), -15, 0), RgbColor(170, 170, 170));
    EXPECT_EQ(AdjustHLS(RgbColor(192, 192, 192), 0, -50), RgbColor(192, 192, 192));
    // A grey given saturation takes hue 0: red.
    const COLORREF tinted = AdjustHLS(RgbColor(128, 128, 128), 0, 50);
    EXPECT_GT(RedOf(tinted), GreenOf(tinted));
    EXPECT_EQ(GreenOf(tinted), BlueOf(tinted));
    // Lighter and paler, keeping the hue.
    const COLORREF hl = RgbColor(49, 106, 197);
    const std::uint32_t a = ColorToPackedHLS(hl);
    const std::uint32_t b = ColorToPackedHLS(AdjustHLS(hl, 70, -57));
    EXPECT_NEAR(HlsByte(b, Hue), HlsByte(a, Hue), 2);
    EXPECT_GT(HlsByte(b, Light), HlsByte(a, Light));
    EXPECT_LT(HlsByte(b, Sat), HlsByte(a, Sat));
    EXPECT_EQ(AdjustHLS(hl, 0, 0), PackedHLSToColor(a));
}

// The selectors set the pen and brush (a hollow brush draws only the outline) and put the previous
// ones back; the off-screen surface reaches the target only at its end, within the given
// rectangle or, for an empty one, the clip box.
TEST(DrawingHelpers, SelectorsAndOffscreenSurfaceDrawWhereAndWhatTheySay) {
    QImage img(20, 20, QImage::Format_RGB32);
    img.fill(Qt::white);
    QPainter p(&img);
    p.setPen(QPen(Qt::blue));
    p.setBrush(QBrush(Qt::yellow));
    {
        CPenSelector pen(&p, RgbColor(255, 0, 0));
        EXPECT_EQ(pen.GetColor(), RgbColor(255, 0, 0));
        CBrushSelector brush(&p, kNoColor);
        gdi::Rectangle(p, 2, 2, 12, 10);
        brush.SetColor(RgbColor(10, 20, 30));
        gdi::Rectangle(p, 14, 14, 19, 19);
    }
    EXPECT_EQ(p.pen().color(), QColor(Qt::blue));
    EXPECT_EQ(p.brush().color(), QColor(Qt::yellow));
    p.end();
    EXPECT_EQ(img.pixel(2, 2), qRgb(255, 0, 0));
    EXPECT_EQ(img.pixel(11, 9), qRgb(255, 0, 0)) << "right and bottom edges are the last pixels inside";
    EXPECT_EQ(img.pixel(12, 5), qRgb(255, 255, 255));
    EXPECT_EQ(img.pixel(6, 6), qRgb(255, 255, 255)) << "a hollow brush leaves the inside";
    EXPECT_EQ(img.pixel(16, 16), qRgb(10, 20, 30));

    img.fill(Qt::white);
    p.begin(&img);
    {
        COffscreenDC dc(&p, QRect(4, 6, 8, 5));
        EXPECT_EQ(dc.Image().size(), QSize(12, 11)) << "from the origin to the lower right corner";
        dc.fillRect(QRect(0, 0, 20, 20), Qt::red); // clipped to the covered rectangle
        EXPECT_EQ(img.pixel(5, 7), qRgb(255, 255, 255)) << "nothing on the target yet";
        EXPECT_EQ(dc.Image().pixel(2, 2), qRgb(0, 0, 0)) << "left and top bands are excluded";
    }
    p.setClipRect(QRect(13, 13, 5, 5));
    {
        COffscreenDC dc(&p, QRect());
        EXPECT_EQ(dc.CoveredRect(), QRect(13, 13, 5, 5));
        dc.fillRect(QRect(0, 0, 20, 20), Qt::blue);
    }
    p.end();
    const struct {
        QPoint at;
        QRgb colour;
    } expected[] = {
        {{4, 6}, qRgb(255, 0, 0)},     {{11, 10}, qRgb(255, 0, 0)},     {{12, 10}, qRgb(255, 255, 255)},
        {{3, 6}, qRgb(255, 255, 255)}, {{4, 5}, qRgb(255, 255, 255)},   {{13, 13}, qRgb(0, 0, 255)},
        {{17, 17}, qRgb(0, 0, 255)},   {{18, 18}, qRgb(255, 255, 255)}, {{12, 13}, qRgb(255, 255, 255)}};
    for (const auto& e : expected) {
        EXPECT_EQ(img.pixel(e.at), e.colour) << e.at.x() << "," << e.at.y();
    }
}

} // namespace
