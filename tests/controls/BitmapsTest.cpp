// The seek bar's bitmaps as compiled in: sizes, gradients and key pixels the drawing relies on.
#include "uikit/Resource.h"
#include "controls/ControlBitmaps.h"

#include <gtest/gtest.h>

namespace {

constexpr QRgb kKey1 = qRgb(0, 0, 1);
constexpr QRgb kKey2 = qRgb(0, 0, 2);
constexpr QRgb kKey3 = qRgb(0, 0, 3);
constexpr QRgb kKey4 = qRgb(0, 0, 4);
constexpr QRgb kOutline = qRgb(91, 91, 91);

int Count(const QImage& img, QRgb c) {
    int n = 0;
    for (int y = 0; y < img.height(); ++y) {
        for (int x = 0; x < img.width(); ++x) {
            n += img.pixel(x, y) == c ? 1 : 0;
        }
    }
    return n;
}

QImage Transposed(const QImage& img) {
    QImage out(img.height(), img.width(), img.format());
    for (int y = 0; y < img.height(); ++y) {
        for (int x = 0; x < img.width(); ++x) {
            out.setPixel(y, x, img.pixel(x, y));
        }
    }
    return out;
}

TEST(SeekBarBitmaps, SizesOfEveryPiece) {
    const struct {
        int id;
        QSize size;
    } expected[] = {{130, {1, 12}}, {131, {25, 12}}, {132, {25, 12}}, {133, {25, 12}}, {134, {25, 12}},
                    {135, {12, 1}}, {136, {12, 25}}, {137, {12, 25}}, {138, {12, 25}}, {139, {12, 25}}};
    for (const auto& e : expected) {
        const QImage img = LoadControlBitmap(e.id);
        ASSERT_FALSE(img.isNull()) << e.id;
        EXPECT_EQ(img.size(), e.size) << e.id;
    }
    EXPECT_TRUE(LoadControlBitmap(129).isNull());
    const QImage strip = LoadToolBarBitmap(IDR_MAINFRAME);
    EXPECT_EQ(strip.size(), QSize(112, 16)) << "seven 16 x 16 images";
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
    EXPECT_GT(Count(colour, kKey1), 100) << "the sides in key 1";
    EXPECT_EQ(Count(colour, kKey2), 10) << "two rows of five grip dots";
    EXPECT_GT(Count(colour, kKey3), 0);
    EXPECT_GT(Count(colour, kKey4), 0);
    EXPECT_EQ(colour.pixel(0, 0), kKey3) << "left corners in key 3";
    EXPECT_EQ(colour.pixel(24, 11), kKey4) << "right corners in key 4";
    EXPECT_EQ(colour.pixel(12, 0), kOutline);

    const QImage plain = LoadControlBitmap(IDB_HORIZONTAL_SCROLLBAR_THUMB_NO_COLOR);
    EXPECT_EQ(Count(plain, kKey2), 10);
    EXPECT_EQ(Count(plain, kKey1) + Count(plain, kKey3) + Count(plain, kKey4), 0);
    for (const QPoint p : {QPoint(0, 0), QPoint(24, 0), QPoint(0, 11), QPoint(24, 11), QPoint(0, 5)}) {
        EXPECT_EQ(plain.pixel(p), kOutline) << "a rectangular outline";
    }
    EXPECT_GT(qGray(plain.pixel(5, 1)), qGray(plain.pixel(5, 10))) << "white towards grey";
}

TEST(SeekBarBitmaps, VerticalPiecesAreTheTransposedHorizontalOnes) {
    EXPECT_EQ(LoadControlBitmap(IDB_VERTICAL_SCROLLBAR_CHANNEL),
              Transposed(LoadControlBitmap(IDB_HORIZONTAL_SCROLLBAR_CHANNEL)));
    EXPECT_EQ(LoadControlBitmap(IDB_VERTICAL_SCROLLBAR_THUMB),
              Transposed(LoadControlBitmap(IDB_HORIZONTAL_SCROLLBAR_THUMB)));
    EXPECT_EQ(LoadControlBitmap(IDB_VERTICAL_SCROLLBAR_THUMB_NO_COLOR),
              Transposed(LoadControlBitmap(IDB_HORIZONTAL_SCROLLBAR_THUMB_NO_COLOR)));
    EXPECT_EQ(LoadControlBitmap(IDB_VERTICAL_SCROLLBAR_UPARROW),
              Transposed(LoadControlBitmap(IDB_HORIZONTAL_SCROLLBAR_LEFTARROW)));
    EXPECT_EQ(LoadControlBitmap(IDB_VERTICAL_SCROLLBAR_DOWNARROW),
              Transposed(LoadControlBitmap(IDB_HORIZONTAL_SCROLLBAR_RIGHTARROW)));
}

} // namespace
