// The volume slider: its painted wedge, click-to-position, drags, and its accessible value.
#include "controls/CVolumeSlider.h"

#include <gtest/gtest.h>

#include <QAccessible>
#include <QSignalSpy>
#include <QTest>

namespace {

TEST(VolumeSlider, PaintsTheWedgeAndAClickSetsTheProportionalPosition) {
    QWidget window;
    window.resize(200, 60);
    auto* slider = new CVolumeSlider(&window);
    slider->setGeometry(30, 10, 80, 25);
    slider->SetRange(0, 10000);
    slider->SetPos(10000);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));

    const QImage img = slider->grab().toImage();
    const QRect wedge = slider->WedgeRect();
    const QRect thumb = slider->ThumbRect();
    // Thumb at the right end (full volume): the wedge's left part is clear of it.
    ASSERT_GT(thumb.left(), wedge.left() + 10);
    EXPECT_EQ(img.pixel(wedge.left() + 2, wedge.bottom()), qRgb(255, 255, 255));
    // The slant: one shadow pixel per column, lower towards the left.
    auto slantY = [&](int x) {
        for (int y = wedge.top(); y <= wedge.bottom(); ++y) {
            if (img.pixel(x, y) == qRgb(128, 128, 128)) {
                return y;
            }
        }
        return -1;
    };
    const int nearLeft = slantY(wedge.left() + 2);
    const int middle = slantY((wedge.left() + thumb.left()) / 2);
    ASSERT_TRUE(nearLeft >= 0 && middle >= 0);
    EXPECT_GT(nearLeft, middle);
    EXPECT_GE(nearLeft, wedge.bottom() - 2);
    const QRgb face = slider->palette().color(QPalette::Button).rgb();
    EXPECT_EQ(img.pixel(wedge.left() + 4, wedge.top()), face) << "above the slant";
    EXPECT_EQ(img.pixel(2, 2), face) << "plain background";

    QSignalSpy spy(slider, &CBCGPSliderCtrl::hscroll);
    QTest::mouseClick(slider, Qt::LeftButton, {}, QPoint(20, 12));
    EXPECT_EQ(slider->GetPos(), 2500);
    ASSERT_GE(spy.count(), 1);
    EXPECT_EQ(spy.last().at(0).toInt(), 2500) << "the owner reads the new position";
    QTest::mouseClick(slider, Qt::LeftButton, {}, QPoint(0, 12));
    EXPECT_EQ(slider->GetPos(), 0) << "the left edge is the range minimum";
    QTest::mouseClick(slider, Qt::LeftButton, {}, QPoint(79, 12));
    EXPECT_EQ(slider->GetPos(), 9875); // 10000 x 79 / 80

    // Screen readers get the name and the value.
    QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(slider);
    ASSERT_TRUE(iface && iface->valueInterface());
    EXPECT_EQ(iface->text(QAccessible::Name), QStringLiteral("音量"));
    EXPECT_EQ(iface->valueInterface()->currentValue().toInt(), 9875);
    EXPECT_EQ(iface->valueInterface()->maximumValue().toInt(), 10000);

    // A drag is left to the slider: the position is neither the press place nor the release place.
    slider->SetPos(0);
    QTest::mousePress(slider, Qt::LeftButton, {}, QPoint(20, 12));
    QTest::mouseMove(slider, QPoint(60, 12));
    QTest::mouseRelease(slider, Qt::LeftButton, {}, QPoint(60, 12));
    EXPECT_NE(slider->GetPos(), 2500);
    EXPECT_NE(slider->GetPos(), 7500);

    slider->SetRange(-10000, 0);
    QTest::mouseClick(slider, Qt::LeftButton, {}, QPoint(40, 12));
    EXPECT_EQ(slider->GetPos(), -5000);
}

} // namespace
