// The four pane context menus: their items and ids, and choosing one.
#include "controls/CMenuEx.h"
#include "uikit/Resource.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QMenu>
#include <QSignalSpy>
#include <QTest>

namespace {

// The first and last pane's menus (the others come from the same table): its title, a separator
// and the snapshot item; the flat owner-drawn look; choosing an item sends its id, dismissing
// nothing.
TEST(ContextMenu, ItemsLookAndChoice) {
    const struct {
        int resource;
        QString title;
        int titleId;
        int captureId;
    } all[] = {
        {IDR_CONTEXT1, QStringLiteral("视频一"), ID_PANE_TITLE_1, ID_CAPTURE_1},
        {IDR_CONTEXT4, QStringLiteral("视频四"), ID_PANE_TITLE_4, ID_CAPTURE_4},
    };
    for (const auto& e : all) {
        SCOPED_TRACE(e.resource);
        CMenuEx menu;
        ASSERT_TRUE(menu.LoadMenu(e.resource));
        QMenu* popup = menu.GetSubMenu(0);
        ASSERT_NE(popup, nullptr);
        const auto items = popup->actions();
        ASSERT_EQ(items.size(), 3);
        EXPECT_EQ(items[0]->text(), e.title);
        EXPECT_EQ(CMenuEx::CommandId(items[0]), e.titleId);
        EXPECT_TRUE(items[1]->isSeparator());
        EXPECT_EQ(items[2]->text(), QStringLiteral("开始抓图"));
        EXPECT_EQ(CMenuEx::CommandId(items[2]), e.captureId);
    }
    CMenuEx unknown;
    EXPECT_FALSE(unknown.LoadMenu(IDR_MAINFRAME)) << "not a context menu resource";
    EXPECT_EQ(unknown.GetSubMenu(0), nullptr);
    unknown.TrackPopupMenu(QPoint(10, 10)); // nothing to show

    CMenuEx menu;
    ASSERT_TRUE(menu.LoadMenu(IDR_CONTEXT1));
    QMenu* popup = menu.GetSubMenu(0);
    popup->popup(QPoint(50, 50));
    ASSERT_TRUE(QTest::qWaitForWindowExposed(popup));
    const auto items = popup->actions();
    const QRect title = popup->actionGeometry(items[0]);
    const QRect sep = popup->actionGeometry(items[1]);
    const QRect capture = popup->actionGeometry(items[2]);
    EXPECT_GE(title.width(), popup->fontMetrics().horizontalAdvance(QStringLiteral("视频一")) + 16);

    popup->setActiveAction(items[2]);
    const QImage img = popup->grab().toImage().convertToFormat(QImage::Format_RGB32);
    const int y = title.center().y();
    EXPECT_EQ(img.pixel(title.left() + 5, y), qRgb(190, 190, 190)) << "grey band";
    EXPECT_EQ(img.pixel(title.left() + 22, y), qRgb(235, 240, 245)) << "pale background";
    // The text starts 26 pixels in, and keeps to the top (drawn without the single-line flag
    // vertical centring needs).
    QRect text;
    for (int yy = title.top(); yy <= title.bottom(); ++yy) {
        for (int x = title.left() + 20; x < title.right(); ++x) {
            text |= qGray(img.pixel(x, yy)) < 100 ? QRect(x, yy, 1, 1) : QRect();
        }
    }
    ASSERT_FALSE(text.isEmpty());
    EXPECT_GE(text.left(), title.left() + 26);
    EXPECT_LT(text.left(), title.left() + 40);
    EXPECT_GE((title.bottom() - text.bottom()) - (text.top() - title.top()), 3);
    // Separator: a two-pixel etched line, right of the band.
    const int mid = sep.top() + sep.height() / 2;
    EXPECT_EQ(img.pixel(sep.left() + 30, mid), qRgb(64, 0, 128));
    EXPECT_EQ(img.pixel(sep.left() + 30, mid + 1), qRgb(255, 255, 255));
    EXPECT_EQ(img.pixel(sep.left() + 5, mid), qRgb(190, 190, 190));
    // Selected item: the framed light-blue bar covers the band as well.
    EXPECT_EQ(img.pixel(capture.left(), capture.top()), qRgb(49, 106, 197));
    EXPECT_EQ(img.pixel(capture.left() + 5, capture.center().y()), qRgb(193, 210, 238));
    popup->close();

    QSignalSpy spy(&menu, &CMenuEx::command);
    menu.TrackPopupMenu(QPoint(100, 100));
    ASSERT_TRUE(QTest::qWaitForWindowExposed(popup));
    QTest::mouseClick(popup, Qt::LeftButton, {}, popup->actionGeometry(popup->actions().at(2)).center());
    ASSERT_EQ(spy.count(), 1);
    EXPECT_EQ(spy.at(0).at(0).toInt(), ID_CAPTURE_1);
    EXPECT_FALSE(popup->isVisible());
    menu.TrackPopupMenu(QPoint(100, 100));
    ASSERT_TRUE(QTest::qWaitForWindowExposed(popup));
    QTest::keyClick(popup, Qt::Key_Escape);
    EXPECT_FALSE(popup->isVisible()) << "dismissed";
    EXPECT_EQ(spy.count(), 1);
}

} // namespace
