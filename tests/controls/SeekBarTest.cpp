// The bitmap seek bar as the main window makes it, driven with real mouse input, and its pixels.
#include "controls/CXScrollBar.h"
#include "controls/ColorHls.h"
#include "controls/SeekBarScale.h"
#include "support/ChildCase.h"
#include "support/Pixels.h"
#include "support/XvfbServer.h"
#include "uikit/CBCGPControlIds.h"
#include "uikit/Resource.h"

#include <gtest/gtest.h>

#include <QAccessible>
#include <QAccessibleValueInterface>
#include <QCursor>
#include <QSignalSpy>
#include <QTest>
#include <QWidget>
#include <cmath>
#include <memory>
#include <tuple>

namespace {

using namespace tetrav::test;

constexpr unsigned kStyle = WS_CHILD | WS_VISIBLE | SS_NOTIFY;
constexpr QRgb kBorder = qRgb(76, 85, 118);
constexpr QRgb kOutline = qRgb(91, 91, 91);

using Scroll = std::pair<int, int>; // notification code, position
using Scrolls = std::vector<Scroll>;

// A seek bar made as the main window makes it, over a placeholder at place in window.
CXScrollBar* MakeSeekBar(QWidget* window, const QRect& place, unsigned style = kStyle) {
    auto* placeholder = new QWidget(window);
    placeholder->setGeometry(place);
    SetDlgCtrlID(placeholder, IDC_SEEKBAR_PLACEHOLDER);
    auto* bar = new CXScrollBar();
    EXPECT_TRUE(bar->CreateOverStatic(style, window, IDC_SEEKBAR_PLACEHOLDER, IDC_SEEKBAR));
    return bar;
}

class SeekBar : public ::testing::Test {
protected:
    // A window with the placeholder at (10, 20), w x h, and the seek bar made over it.
    void Make(int w, int h = 10, bool setRange = true, unsigned style = kStyle) {
        window = std::make_unique<QWidget>();
        window->resize(w + 40, h + 60);
        bar = MakeSeekBar(window.get(), QRect(10, 20, w, h), style);
        bar->m_bTintChannel = false; // the main window's look: no thumb colour, grip dots
        if (setRange) {
            bar->SetScrollRange(0, 200, true);
        }
        QObject::connect(bar, &CXScrollBar::hscroll, bar, [this](int code, int pos) {
            scrolls.push_back({code, pos});
            positionsSeen.push_back(bar->GetScrollPos());
        });
        window->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    }

    void Click(int x) { QTest::mouseClick(bar, Qt::LeftButton, {}, QPoint(x, 5)); }

    std::unique_ptr<QWidget> window;
    CXScrollBar* bar = nullptr;
    Scrolls scrolls;
    std::vector<int> positionsSeen; // what the owner reads back at each notification
};

// Without the placeholder, or vertical (the bar is horizontal only, and leaves the placeholder in
// place), creation fails; the bar still moves on a click, telling no one.
TEST(SeekBarCreation, WithoutThePlaceholderOrVerticalCreationFailsAndAClickMovesSilently) {
    QWidget window;
    CXScrollBar bar;
    EXPECT_FALSE(bar.CreateOverStatic(kStyle, &window, IDC_SEEKBAR_PLACEHOLDER, IDC_SEEKBAR));
    EXPECT_FALSE(bar.CreateOverStatic(kStyle, nullptr, IDC_SEEKBAR_PLACEHOLDER, IDC_SEEKBAR));
    auto* placeholder = new QWidget(&window);
    SetDlgCtrlID(placeholder, IDC_SEEKBAR_PLACEHOLDER);
    CXScrollBar vertical;
    EXPECT_FALSE(vertical.CreateOverStatic(kStyle | SBS_VERT, &window, IDC_SEEKBAR_PLACEHOLDER, IDC_SEEKBAR));
    EXPECT_TRUE(placeholder->isVisibleTo(&window));
    EXPECT_EQ(bar.parentWidget(), nullptr);
    QSignalSpy spy(&bar, &CXScrollBar::hscroll);
    bar.resize(625, 10);
    bar.m_rectClient = bar.rect();
    bar.SetScrollRange(0, 200);
    bar.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&bar));
    QTest::mouseClick(&bar, Qt::LeftButton, {}, QPoint(312, 5));
    EXPECT_EQ(bar.GetScrollPos(), 100);
    EXPECT_EQ(spy.count(), 0);
}

// Drags follow the pointer within the range and snap on release; a channel click jumps there with
// one message unless disabled; an arrow steps on release (left at 0 still reports) and repeats
// while held; a stale client rectangle keeps the old geometry.
TEST_F(SeekBar, MouseDragsClicksAndHeldArrows) {
    Make(625);
    ASSERT_EQ(bar->ThumbLeft(), 25);
    Click(30);
    EXPECT_TRUE(scrolls.empty()) << "a thumb pressed and released without moving sends nothing";
    EXPECT_EQ(bar->GetScrollPos(), 0);
    QTest::mousePress(bar, Qt::LeftButton, {}, QPoint(30, 5));
    QTest::mouseMove(bar, QPoint(312, 5));
    EXPECT_EQ(bar->ThumbLeft(), 300);
    EXPECT_EQ(bar->GetScrollPos(), 100);
    ASSERT_FALSE(scrolls.empty());
    EXPECT_EQ(scrolls.back(), (Scroll{SB_THUMBTRACK, 100}));
    EXPECT_EQ(positionsSeen.back(), 100);
    // x = 206 puts the thumb's left edge at 194: position round(169 x 200/550) = 61, whose
    // own place is round(61 x 550/200) + 25 = 193.
    QTest::mouseMove(bar, QPoint(206, 5));
    EXPECT_EQ(bar->ThumbLeft(), 194);
    EXPECT_EQ(bar->GetScrollPos(), 61);
    const size_t before = scrolls.size();
    QTest::mouseRelease(bar, Qt::LeftButton, {}, QPoint(206, 5));
    EXPECT_EQ(scrolls.size(), before) << "the release sends nothing more";
    EXPECT_EQ(bar->ThumbLeft(), 193) << "the thumb snaps to the place of its position";
    EXPECT_EQ(bar->GetScrollPos(), 61);

    // Dragged past the ends, it stays within the range.
    QTest::mousePress(bar, Qt::LeftButton, {}, QPoint(200, 5));
    QTest::mouseMove(bar, QPoint(624, 5));
    EXPECT_EQ(bar->ThumbLeft(), 575);
    EXPECT_EQ(bar->GetScrollPos(), 200);
    QTest::mouseMove(bar, QPoint(-300, 5));
    EXPECT_EQ(bar->ThumbLeft(), 25);
    EXPECT_EQ(bar->GetScrollPos(), 0);
    QTest::mouseRelease(bar, Qt::LeftButton, {}, QPoint(-300, 5));

    scrolls.clear();
    positionsSeen.clear();
    bar->setEnabled(false);
    Click(312);
    Click(5);
    EXPECT_TRUE(scrolls.empty());
    bar->setEnabled(true);
    Click(312);
    EXPECT_EQ(scrolls, (Scrolls{{SB_THUMBTRACK, 100}}));
    EXPECT_EQ(positionsSeen, std::vector<int>{100});
    EXPECT_EQ(bar->ThumbLeft(), 300);

    bar->SetScrollPos(0);
    scrolls.clear();
    Click(5);
    EXPECT_EQ(scrolls, (Scrolls{{SB_LINELEFT, 0}}));
    EXPECT_EQ(bar->GetScrollPos(), 0);
    scrolls.clear();
    QTest::mousePress(bar, Qt::LeftButton, {}, QPoint(615, 5));
    EXPECT_TRUE(scrolls.empty()) << "the step comes with the release";
    QTest::mouseRelease(bar, Qt::LeftButton, {}, QPoint(615, 5));
    EXPECT_EQ(scrolls, (Scrolls{{SB_LINERIGHT, 0}}));
    EXPECT_EQ(positionsSeen.back(), 1);
    bar->SetScrollPos(200);
    scrolls.clear();
    Click(620);
    EXPECT_EQ(scrolls, (Scrolls{{SB_LINERIGHT, 0}}));
    EXPECT_EQ(bar->GetScrollPos(), 200) << "no step past the end";

    scrolls.clear();
    bar->SetScrollPos(100);
    QTest::mousePress(bar, Qt::LeftButton, {}, QPoint(615, 5));
    EXPECT_TRUE(QTest::qWaitFor([&] { return scrolls.size() >= 2; }, 5000)) << "no repeat while held";
    QTest::mouseRelease(bar, Qt::LeftButton, {}, QPoint(615, 5));
    const size_t released = scrolls.size();
    QTest::qWait(500);
    EXPECT_EQ(scrolls.size(), released) << "the repeat stops with the release";
    EXPECT_EQ(scrolls, Scrolls(released, {SB_LINERIGHT, 0}));
    EXPECT_EQ(bar->GetScrollPos(), 100 + static_cast<int>(released));

    bar->SetScrollPos(0);
    bar->resize(400, 10);
    Click(312);
    EXPECT_EQ(bar->GetScrollPos(), 100) << "still computed over 625 pixels";
    bar->m_rectClient = bar->rect();
    Click(250);
    EXPECT_EQ(bar->GetScrollPos(), 131); // (250 - 12 - 25) x 200 / (400 - 75) = 131.1
    bar->SetScrollPos(200);
    EXPECT_EQ(bar->ThumbLeft(), 350);
}

// Made over the placeholder, it takes its place and id; the owner's positions are stored as given,
// the range leaves them alone, screen readers see a slider; the look plain with grip dots,
// without them, and with a coloured thumb and the played part tinted.
TEST_F(SeekBar, TakesThePlaceholdersPlaceTheOwnersPositionAndLooksFramed) {
    Make(625);
    EXPECT_EQ(bar->parentWidget(), window.get());
    EXPECT_EQ(bar->geometry(), QRect(10, 20, 625, 10));
    EXPECT_FALSE(GetDlgItem(window.get(), IDC_SEEKBAR_PLACEHOLDER)->isVisible());
    EXPECT_EQ(GetDlgItem(window.get(), IDC_SEEKBAR), bar);

    int previous = 0;
    for (const auto& [pos, left] : {std::pair{100, 300}, {201, 575}, {-40, 25}, {1 << 30, 575}}) {
        EXPECT_EQ(bar->SetScrollPos(pos), previous);
        EXPECT_EQ(bar->GetScrollPos(), pos);
        EXPECT_EQ(bar->ThumbLeft(), left) << pos << ": the thumb stays between the arrows";
        previous = pos;
    }
    // The range is the absolute span and leaves the position alone.
    bar->SetScrollPos(150);
    bar->SetScrollRange(300, 100, false);
    EXPECT_EQ(bar->Range(), 200);
    EXPECT_EQ(bar->GetScrollPos(), 150);
    bar->SetScrollRange(0, 50);
    EXPECT_EQ(bar->GetScrollPos(), 150);
    EXPECT_TRUE(scrolls.empty()) << "positions set by the owner are not reported";

    bar->SetScrollRange(0, 200);
    bar->SetScrollPos(40);
    QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(bar);
    ASSERT_NE(iface, nullptr);
    EXPECT_EQ(iface->role(), QAccessible::Slider);
    EXPECT_EQ(iface->text(QAccessible::Name), QStringLiteral("进度"));
    QAccessibleValueInterface* value = iface->valueInterface();
    ASSERT_NE(value, nullptr);
    EXPECT_EQ(value->currentValue().toInt(), 40);
    EXPECT_EQ(value->maximumValue().toInt(), 200);
    value->setCurrentValue(150);
    EXPECT_EQ(scrolls, (Scrolls{{SB_THUMBTRACK, 150}}));
    value->setCurrentValue(5000);
    EXPECT_EQ(bar->GetScrollPos(), 200) << "a user's value stays within the range";

    bar->SetScrollPos(100);
    QImage img = Shot(bar);
    ASSERT_EQ(img.size(), QSize(625, 10));
    for (const QPoint p : {QPoint(0, 0), QPoint(624, 9), QPoint(312, 0), QPoint(0, 5), QPoint(624, 5),
                           QPoint(24, 5), QPoint(600, 5)}) {
        EXPECT_EQ(img.pixel(p), kBorder) << p.x() << "," << p.y();
    }
    EXPECT_EQ(img.pixel(300, 5), kOutline);
    EXPECT_EQ(img.pixel(324, 5), kOutline);
    EXPECT_NE(img.pixel(299, 5), kOutline);
    EXPECT_NE(img.pixel(325, 5), kOutline);
    EXPECT_EQ(CountPixels(img.copy(308, 1, 1, 8), kOutline), 2) << "two rows of grip dots";
    EXPECT_EQ(img.pixel(100, 5), img.pixel(500, 5)) << "untinted: played and unplayed alike";
    EXPECT_LT(qGray(img.pixel(100, 1)), qGray(img.pixel(100, 8))) << "lighter towards the bottom";
    EXPECT_LT(qGray(img.pixel(12, 5)), 100) << "the arrow's dark head";
    EXPECT_LT(qGray(img.pixel(612, 5)), 100);
    EXPECT_GT(qGray(img.pixel(5, 5)), 180);

    bar->m_bShowGripper = false;
    img = Shot(bar);
    EXPECT_EQ(CountPixels(img.copy(308, 1, 1, 8), kOutline), 0);
    EXPECT_EQ(img.pixel(308, 5), img.pixel(309, 5)) << "dots take the body's colour";

    bar->m_bUseThumbColor = bar->m_bTintChannel = true;
    bar->m_crThumb = RgbColor(0, 128, 0);
    img = Shot(bar);
    EXPECT_EQ(img.pixel(304, 5), qRgb(0, 128, 0)) << "the thumb body in the thumb colour";
    const QColor played = QColor::fromRgb(img.pixel(100, 5));
    const QColor unplayed = QColor::fromRgb(img.pixel(500, 5));
    EXPECT_GT(played.green(), played.red()) << "tinted towards the thumb's green";
    EXPECT_EQ(unplayed.red(), unplayed.green());
}

// Narrower than three thumbs (75 pixels: no track at all), or with an empty range, the bar
// always gives 0; an empty range shows no thumb, but a press there still drags.
TEST_F(SeekBar, NarrowOrEmptyRangeAlwaysGivesZero) {
    for (const int width : {75, 74, 60, 40}) {
        SCOPED_TRACE(width);
        scrolls.clear();
        Make(width);
        EXPECT_EQ(bar->ThumbLeft(), 25);
        QTest::mousePress(bar, Qt::LeftButton, {}, QPoint(26, 5));
        for (const int x : {width - 1, width / 2, 200}) {
            QTest::mouseMove(bar, QPoint(x, 5));
            EXPECT_EQ(bar->GetScrollPos(), 0);
            EXPECT_EQ(bar->ThumbLeft(), 25) << "the thumb sits against the left arrow";
        }
        ASSERT_FALSE(scrolls.empty());
        EXPECT_EQ(scrolls, Scrolls(scrolls.size(), {SB_THUMBTRACK, 0}));
        QTest::mouseRelease(bar, Qt::LeftButton, {}, QPoint(26, 5));
    }

    scrolls.clear();
    Make(625, 10, false);
    EXPECT_EQ(bar->Range(), 0);
    EXPECT_TRUE(bar->ThumbRect().isEmpty());
    const QImage img = Shot(bar);
    EXPECT_EQ(CountPixels(img.copy(25, 1, 575, 8), kOutline), 0) << "no thumb drawn";
    QTest::mouseMove(bar, QPoint(30, 5));
    EXPECT_FALSE(bar->IsOverThumb()) << "no thumb, no hover";
    QTest::mousePress(bar, Qt::LeftButton, {}, QPoint(30, 5));
    QTest::mouseMove(bar, QPoint(312, 5));
    ASSERT_FALSE(scrolls.empty());
    EXPECT_EQ(scrolls.back(), (Scroll{SB_THUMBTRACK, 0}));
    QTest::mouseRelease(bar, Qt::LeftButton, {}, QPoint(312, 5));
    EXPECT_EQ(bar->ThumbLeft(), 25) << "an empty range puts the thumb at its lowest place";
    bar->SetScrollPos(7);
    EXPECT_EQ(bar->ThumbLeft(), 25);
    EXPECT_TRUE(bar->ThumbRect().isEmpty());
}

// The hover watch reads the real pointer, so this runs on an X server of its own.
TETRAV_CHILD_CASE(SeekBarHoverWatch) {
    QWidget window;
    window.resize(700, 60);
    auto* bar = MakeSeekBar(&window, QRect(10, 20, 625, 10));
    bar->SetScrollRange(0, 200);
    bar->SetScrollPos(100);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    EXPECT_EQ(bar->cursor().shape(), Qt::ArrowCursor);
    const QPoint onThumb(310, 5);
    QCursor::setPos(bar->mapToGlobal(onThumb));
    ASSERT_TRUE(QTest::qWaitFor([&] { return bar->IsOverThumb(); }, 2000))
        << "the pointer's move over the thumb";
    EXPECT_EQ(bar->cursor().shape(), Qt::PointingHandCursor);
    QTest::qWait(150);
    EXPECT_TRUE(bar->IsOverThumb()) << "the hover watch keeps it while the pointer stays";
    // The pointer leaves the window altogether, so the bar gets no further mouse message:
    // the watch notices.
    QCursor::setPos(window.mapToGlobal(QPoint(0, 0)) + QPoint(300, 400));
    EXPECT_TRUE(QTest::qWaitFor([&] { return !bar->IsOverThumb(); }, 2000));
    EXPECT_EQ(bar->cursor().shape(), Qt::ArrowCursor);
    // Released over the thumb after a drag: hovering again.
    QCursor::setPos(bar->mapToGlobal(QPoint(200, 5)));
    QTest::mousePress(bar, Qt::LeftButton, {}, QPoint(310, 5));
    QTest::mouseMove(bar, QPoint(200, 5));
    QTest::mouseRelease(bar, Qt::LeftButton, {}, QPoint(200, 5));
    EXPECT_TRUE(bar->IsOverThumb());
    EXPECT_EQ(bar->cursor().shape(), Qt::PointingHandCursor);
}

TEST(SeekBarPointer, HandCursorOverTheThumbUntilThePointerLeaves) {
    XvfbServer x(QStringLiteral("1024x768x24"));
    ASSERT_TRUE(x.isRunning());
    EXPECT_CHILD_PASSES(RunChildCase(QStringLiteral("SeekBarHoverWatch"), x.environment()));
}

// The display tick draws the position a seek to that position lands on, for every position and for
// short and long references; times outside the reference or without a length stay within 0..200.
TEST(SeekBarScale, EveryPositionComesBackFromTheTimeItSeeksTo) {
    for (const double total : {2.0, 10.0, 3600.0, 0.4, 59.96}) {
        SCOPED_TRACE(total);
        for (int pos = 0; pos <= SeekBarScale::kRange; ++pos) {
            ASSERT_EQ(SeekBarScale::Position(SeekBarScale::Seconds(pos, total), total), pos);
        }
    }
    const std::tuple<double, double, int> odd[] = {
        {5.0, 10.0, 100},       // a click at 100 on 10 s goes to 5 s and is drawn at 100
        {5.024, 10.0, 100},     // a frame just past it (25 fps), still 100
        {12.0, 10.0, 200},      // past the end (a stream longer than it said)
        {-0.3, 10.0, 0},        // a start before zero (MPEG-TS)
        {3.0, 0.0, 0},          // no length
        {std::nan(""), 10.0, 0} // no position
    };
    for (const auto& [current, total, pos] : odd) {
        EXPECT_EQ(SeekBarScale::Position(current, total), pos) << current << " of " << total;
    }
}

} // namespace
