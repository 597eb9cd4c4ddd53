// The transport tool bar: buttons, commands and looks. (Tips as names through AT-SPI: TetravDesktopTest.)
#include "controls/CToolBarXP.h"
#include "controls/ColorHls.h"
#include "support/ChildCase.h"
#include "support/Pixels.h"
#include "support/XvfbServer.h"
#include "uikit/CBCGPControlIds.h"
#include "uikit/Resource.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QCursor>
#include <QSignalSpy>
#include <QTest>
#include <QToolButton>
#include <QWidget>

namespace {

using namespace tetrav::test;

QToolButton* Button(CToolBarXP* bar, int id) {
    return qobject_cast<QToolButton*>(bar->widgetForAction(bar->ButtonAction(id)));
}

// Where the play image (a green triangle) has an opaque pixel: (4, 8) of the 16 x 16 image.
constexpr QPoint kPlayPixel(4, 8);
const QRgb kPlayGreen = qRgb(0, 128, 0);

// Made into a window already shown, as the main window does: visible, below the controls made
// before it where they overlap, its buttons in the order of the resource each with its own
// image; the looks plain, disabled, hot and pressed; only enabled buttons sending their
// commands. Hot tracking follows the real pointer, so this runs on an X server of its own.
TETRAV_CHILD_CASE(ToolBarWalk) {
    QWidget window;
    window.resize(400, 100);
    auto* earlier = new QWidget(&window);
    earlier->setGeometry(223, 10, 80, 25);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    auto* bar = new CToolBarXP(&window);
    ASSERT_TRUE(bar->CreateEx(&window, AFX_IDW_TOOLBAR) && bar->LoadToolBar(IDR_MAINFRAME));
    bar->setGeometry(0, 0, 400, 30);
    QToolButton* open = Button(bar, ID_TB_OPEN);
    ASSERT_NE(open, nullptr);
    EXPECT_TRUE(QTest::qWaitFor([&] { return open->isVisible(); }, 2000));
    EXPECT_EQ(window.childAt(bar->mapTo(&window, open->geometry().center())), open);
    EXPECT_EQ(window.childAt(240, 20), earlier);
    EXPECT_EQ(window.childAt(200, 25), bar);

    const QList<int> expected{ID_TB_PLAY,         ID_TB_PAUSE,  ID_TB_STOP, ID_TB_SLOWER,
                              ID_TB_NORMAL_SPEED, ID_TB_FASTER, ID_TB_OPEN};
    EXPECT_EQ(bar->ButtonIds(), expected);
    const auto all = bar->actions();
    ASSERT_EQ(all.size(), 9);
    EXPECT_TRUE(all[3]->isSeparator() && all[7]->isSeparator());
    QList<QImage> images;
    for (int id : expected) {
        const QImage img = bar->ButtonAction(id)->icon().pixmap(16, 16).toImage();
        EXPECT_FALSE(images.contains(img)) << "each button has its own picture";
        images.append(img);
    }
    EXPECT_FALSE(bar->LoadToolBar(999)) << "no such resource";

    const COLORREF face = SysColorBtnFace();
    const COLORREF hl = SysColorHighlight();
    const QRgb background = ToQColor(AdjustHLS(face, 20, 0)).rgb();
    const QRgb frame = ToQColor(hl).rgb();
    QToolButton* play = Button(bar, ID_TB_PLAY);
    QToolButton* stop = Button(bar, ID_TB_STOP);
    EXPECT_EQ(play->size(), QSize(23, 22));
    QCursor::setPos(window.mapToGlobal(QPoint(390, 90))); // away from the bar
    ASSERT_TRUE(QTest::qWaitFor([&] { return !play->underMouse(); }, 2000));

    // Plain: the image at (3, 3) on the light background, no frame.
    QImage img = Shot(play);
    EXPECT_EQ(img.pixel(0, 0), background);
    EXPECT_EQ(img.pixel(kPlayPixel + QPoint(3, 3)), kPlayGreen);
    EXPECT_EQ(CountPixels(img, frame), 0);

    // Disabled: only a grey silhouette at (3, 3), even under the mouse.
    bar->EnableButton(ID_TB_STOP, false);
    QCursor::setPos(stop->mapToGlobal(QPoint(11, 11)));
    ASSERT_TRUE(QTest::qWaitFor([&] { return stop->underMouse(); }, 2000));
    img = Shot(stop);
    EXPECT_EQ(img.pixel(0, 0), background) << "a disabled button is never hot";
    EXPECT_EQ(img.pixel(8, 8), ToQColor(AdjustHLS(face, -27, 0)).rgb());
    EXPECT_EQ(CountPixels(img, qRgb(192, 0, 0)), 0) << "no coloured image";

    // Hot: frame, pale fill, image lifted to (2, 2) over a shadow at (4, 4).
    QCursor::setPos(play->mapToGlobal(QPoint(11, 11)));
    ASSERT_TRUE(QTest::qWaitFor([&] { return play->underMouse(); }, 2000));
    img = Shot(play);
    EXPECT_EQ(img.pixel(0, 0), frame);
    EXPECT_EQ(img.pixel(22, 21), frame);
    EXPECT_EQ(img.pixel(1, 1), ToQColor(AdjustHLS(hl, 70, -57)).rgb());
    EXPECT_EQ(img.pixel(kPlayPixel + QPoint(2, 2)), kPlayGreen);
    // The triangle's right-most column of the shadow shows past the image's.
    EXPECT_EQ(img.pixel(kPlayPixel.x() + 4 + 6, 8 + 4), ToQColor(AdjustHLS(hl, 50, -66)).rgb());

    // Pressed: stronger fill, image back at (3, 3), no shadow.
    QTest::mousePress(play, Qt::LeftButton, {}, QPoint(11, 11));
    img = Shot(play);
    EXPECT_EQ(img.pixel(0, 0), frame);
    EXPECT_EQ(img.pixel(1, 1), ToQColor(AdjustHLS(hl, 50, -50)).rgb());
    EXPECT_EQ(img.pixel(kPlayPixel + QPoint(3, 3)), kPlayGreen);
    EXPECT_EQ(CountPixels(img, ToQColor(AdjustHLS(hl, 50, -66)).rgb()), 0);
    QTest::mouseRelease(play, Qt::LeftButton, {}, QPoint(11, 11));

    // Separators: an etched line in the middle of eight pixels.
    QWidget* sep = bar->widgetForAction(bar->actions().at(3));
    ASSERT_EQ(sep->width(), 8);
    img = Shot(sep);
    const QRgb line = ToQColor(AdjustHLS(face, -15, 0)).rgb();
    EXPECT_EQ(img.pixel(3, img.height() / 2), line);
    EXPECT_NE(img.pixel(4, img.height() / 2), line);
    EXPECT_NE(img.pixel(3, 1), line);

    QSignalSpy spy(bar, &CToolBarXP::command);
    for (int id : bar->ButtonIds()) {
        bar->EnableButton(id, id == ID_TB_OPEN);
    }
    EXPECT_FALSE(play->isEnabled());
    QTest::mouseClick(play, Qt::LeftButton);
    EXPECT_EQ(spy.count(), 0);
    QTest::mouseClick(open, Qt::LeftButton);
    EXPECT_TRUE(bar->EnableButton(ID_TB_PLAY, true));
    QTest::mouseClick(play, Qt::LeftButton);
    ASSERT_EQ(spy.count(), 2);
    EXPECT_EQ(spy.at(0).at(0).toInt(), ID_TB_OPEN);
    EXPECT_EQ(spy.at(1).at(0).toInt(), ID_TB_PLAY);
    EXPECT_FALSE(bar->EnableButton(12345, true));
    EXPECT_FALSE(bar->IsButtonEnabled(12345));
}

TEST(ToolBar, ButtonsFromTheResourceLookFlatAndSendTheirCommandsWhenEnabled) {
    XvfbServer x(QStringLiteral("1024x768x24"));
    ASSERT_TRUE(x.isRunning());
    EXPECT_CHILD_PASSES(RunChildCase(QStringLiteral("ToolBarWalk"), x.environment()));
}

} // namespace
