// The seek bar's bitmaps as compiled in: sizes, gradients and key pixels the drawing relies on.
#include "controls/ControlBitmaps.h"
#include "uikit/Resource.h"

#include "support/Pixels.h"

#include <gtest/gtest.h>

namespace {

using tetrav::test::CountPixels;

constexpr QRgb kKey1 = qRgb(0, 0, 1);
constexpr QRgb kKey2 = qRgb(0, 0, 2);
constexpr QRgb kKey3 = qRgb(0, 0, 3);
constexpr QRgb kKey4 = qRgb(0, 0, 4);
constexpr QRgb kOutline = qRgb(91, 91, 91);

QImage Transposed(const QImage& img) {
    QImage out(img.height(), img.width(), img.format());
    for (int y = 0; y < img.height(); ++y) {
        for (int x = 0; x < img.width(); ++x) {
            out.setPixel(y, x, img.pixel(x, y));
        }
    }
    return out;
}

TEST(SeekBarBitmaps, ChannelGradientAndThumbKeys) {
    const QImage channel = LoadControlBitmap(IDB_HORIZONTAL_SCROLLBAR_CHANNEL);
    EXPECT_EQ(channel.pixel(0, 0), qRgb(164, 164, 164));
    for (int y = 7; y < 12; ++y) {
        EXPECT_EQ(channel.pixel(0, y), qRgb(240, 240, 240)) << y;
    }
    for (int y = 1; y < 7; ++y) {
        EXPECT_GT(qGray(channel.pixel(0, y)), qGray(channel.pixel(0, y - 1)));
    }

    const QImage colour = LoadControlBitmap(IDB_HORIZONTAL_SCROLLBAR_THUMB);
    EXPECT_GT(CountPixels(colour, kKey1), 100) << "the sides in key 1";
    EXPECT_EQ(CountPixels(colour, kKey2), 10) << "two rows of five grip dots";
    EXPECT_GT(CountPixels(colour, kKey3), 0);
    EXPECT_GT(CountPixels(colour, kKey4), 0);
    EXPECT_EQ(colour.pixel(0, 0), kKey3) << "left corners in key 3";
    EXPECT_EQ(colour.pixel(24, 11), kKey4) << "right corners in key 4";
    EXPECT_EQ(colour.pixel(12, 0), kOutline);

    const QImage plain = LoadControlBitmap(IDB_HORIZONTAL_SCROLLBAR_THUMB_NO_COLOR);
    EXPECT_EQ(CountPixels(plain, kKey2), 10);
    EXPECT_EQ(CountPixels(plain, kKey1) + CountPixels(plain, kKey3) + CountPixels(plain, kKey4), 0);
    for (const QPoint p : {QPoint(0, 0), QPoint(24, 0), QPoint(0, 11), QPoint(24, 11), QPoint(0, 5)}) {
        EXPECT_EQ(plain.pixel(p), kOutline) << "a rectangular outline";
    }
    EXPECT_GT(qGray(plain.pixel(5, 1)), qGray(plain.pixel(5, 10))) << "white towards grey";
}

// Each horizontal piece has its size; its vertical twin is the same picture transposed.
TEST(SeekBarBitmaps, SizesAndTheVerticalPiecesAsTheTransposedHorizontalOnes) {
    const struct {
        int horizontal, vertical;
        QSize size;
    } pieces[] = {{IDB_HORIZONTAL_SCROLLBAR_CHANNEL, IDB_VERTICAL_SCROLLBAR_CHANNEL, {1, 12}},
                  {IDB_HORIZONTAL_SCROLLBAR_THUMB, IDB_VERTICAL_SCROLLBAR_THUMB, {25, 12}},
                  {IDB_HORIZONTAL_SCROLLBAR_THUMB_NO_COLOR, IDB_VERTICAL_SCROLLBAR_THUMB_NO_COLOR, {25, 12}},
                  {IDB_HORIZONTAL_SCROLLBAR_LEFTARROW, IDB_VERTICAL_SCROLLBAR_UPARROW, {25, 12}},
                  {IDB_HORIZONTAL_SCROLLBAR_RIGHTARROW, IDB_VERTICAL_SCROLLBAR_DOWNARROW, {25, 12}}};
    for (const auto& p : pieces) {
        const QImage horizontal = LoadControlBitmap(p.horizontal);
        EXPECT_EQ(horizontal.size(), p.size) << p.horizontal;
        EXPECT_EQ(LoadControlBitmap(p.vertical), Transposed(horizontal)) << p.vertical;
    }
    EXPECT_TRUE(LoadControlBitmap(129).isNull());
    EXPECT_EQ(LoadToolBarBitmap(IDR_MAINFRAME).size(), QSize(112, 16)) << "seven 16 x 16 images";
}

} // namespace
