// What the seek bar puts on the screen: border, arrows, channel and thumb from its bitmaps.
#include "uikit/CBCGPControlIds.h"
#include "uikit/Resource.h"
#include "controls/CXScrollBar.h"
#include "controls/ColorHls.h"

#include <gtest/gtest.h>

#include <QTest>
#include <QWidget>
#include <memory>

namespace {

constexpr QRgb kBorder = qRgb(76, 85, 118);
constexpr QRgb kOutline = qRgb(91, 91, 91);

class SeekBarPaint : public ::testing::Test {
protected:
    void SetUp() override {
        window = std::make_unique<QWidget>();
        window->resize(700, 60);
        auto* placeholder = new QWidget(window.get());
        placeholder->setGeometry(5, 5, 625, 10);
        SetDlgCtrlID(placeholder, IDC_SEEKBAR_PLACEHOLDER);
        bar = new CXScrollBar();
        ASSERT_TRUE(bar->CreateOverStatic(WS_CHILD | WS_VISIBLE | SS_NOTIFY, window.get(),
                                          IDC_SEEKBAR_PLACEHOLDER, IDC_SEEKBAR));
        bar->m_bUseThumbColor = false;
        bar->m_bTintChannel = false;
        bar->m_bShowGripper = true;
        window->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    }

    QImage Shot() { return bar->grab().toImage().convertToFormat(QImage::Format_RGB32); }

    static int CountInColumn(const QImage& img, int x, QRgb c) {
        int n = 0;
        for (int y = 1; y < img.height() - 1; ++y) {
            n += img.pixel(x, y) == c ? 1 : 0;
        }
        return n;
    }

    std::unique_ptr<QWidget> window;
    CXScrollBar* bar = nullptr;
};

TEST_F(SeekBarPaint, FramedBarWithTheThumbWhereThePositionSaysAndGripDots) {
    bar->SetScrollRange(0, 200);
    bar->SetScrollPos(100);
    const QImage img = Shot();
    ASSERT_EQ(img.size(), QSize(625, 10));
    for (const QPoint p : {QPoint(0, 0), QPoint(624, 9), QPoint(312, 0), QPoint(100, 9), QPoint(0, 5),
                           QPoint(624, 5), QPoint(24, 5), QPoint(600, 5)}) {
        EXPECT_EQ(img.pixel(p), kBorder) << p.x() << "," << p.y();
    }
    EXPECT_EQ(bar->ThumbRect(), QRect(300, 0, 25, 10));
    EXPECT_EQ(img.pixel(300, 5), kOutline);
    EXPECT_EQ(img.pixel(324, 5), kOutline);
    EXPECT_NE(img.pixel(299, 5), kOutline);
    EXPECT_NE(img.pixel(325, 5), kOutline);
    EXPECT_EQ(CountInColumn(img, 308, kOutline), 2) << "two rows of grip dots";
    EXPECT_EQ(CountInColumn(img, 309, kOutline), 0);
    // Untinted: the played and the unplayed channel look alike, lighter towards the bottom.
    EXPECT_EQ(img.pixel(100, 5), img.pixel(500, 5));
    EXPECT_LT(qGray(img.pixel(100, 1)), qGray(img.pixel(100, 8)));
    // The arrows carry a dark head in the middle.
    EXPECT_LT(qGray(img.pixel(12, 5)), 100);
    EXPECT_LT(qGray(img.pixel(612, 5)), 100);
    EXPECT_GT(qGray(img.pixel(5, 5)), 180);
}

TEST_F(SeekBarPaint, GripDotsCanBeHidden) {
    bar->m_bShowGripper = false;
    bar->SetScrollRange(0, 200);
    bar->SetScrollPos(100);
    const QImage img = Shot();
    EXPECT_EQ(CountInColumn(img, 308, kOutline), 0);
    EXPECT_EQ(img.pixel(308, 5), img.pixel(309, 5)) << "dots take the body's colour";
}

TEST_F(SeekBarPaint, EmptyRangeDrawsNoThumb) {
    const QImage img = Shot();
    for (int x = 25; x < 600; ++x) {
        ASSERT_EQ(CountInColumn(img, x, kOutline), 0) << x;
    }
    EXPECT_EQ(img.pixel(0, 0), kBorder);
}

TEST_F(SeekBarPaint, ColourThumbAndTintedPlayedPart) {
    bar->m_bUseThumbColor = true;
    bar->m_bTintChannel = true;
    bar->m_crThumb = RgbColor(0, 128, 0);
    bar->SetScrollRange(0, 200);
    bar->SetScrollPos(100);
    QImage img = Shot();
    EXPECT_EQ(img.pixel(304, 5), qRgb(0, 128, 0)) << "the thumb body in the thumb colour";
    const QColor played = QColor::fromRgb(img.pixel(100, 5));
    const QColor unplayed = QColor::fromRgb(img.pixel(500, 5));
    EXPECT_NE(played, unplayed);
    EXPECT_GT(played.green(), played.red()) << "tinted towards the thumb's green";
    EXPECT_EQ(unplayed.red(), unplayed.green());

    bar->m_bTintChannel = false;
    img = Shot();
    EXPECT_EQ(img.pixel(100, 5), img.pixel(500, 5)) << "tinting is an option";
}

} // namespace
