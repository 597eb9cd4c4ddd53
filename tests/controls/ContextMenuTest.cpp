// The four pane context menus: their items and ids, and choosing one.
#include "app/Resource.h"
#include "controls/CMenuEx.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

namespace {

struct Expected {
    int resource;
    QString title;
    int titleId;
    int captureId;
};

TEST(ContextMenu, EachPaneMenuHasItsTitleASeparatorAndTheSnapshotItem) {
    const Expected all[] = {
        {IDR_CONTEXT1, QStringLiteral("视频一"), ID_PANE_TITLE_1, ID_CAPTURE_1},
        {IDR_CONTEXT2, QStringLiteral("视频二"), ID_PANE_TITLE_2, ID_CAPTURE_2},
        {IDR_CONTEXT3, QStringLiteral("视频三"), ID_PANE_TITLE_3, ID_CAPTURE_3},
        {IDR_CONTEXT4, QStringLiteral("视频四"), ID_PANE_TITLE_4, ID_CAPTURE_4},
    };
    for (const Expected& e : all) {
        SCOPED_TRACE(e.resource);
        CMenuEx menu;
        ASSERT_TRUE(menu.LoadMenu(e.resource));
        QMenu* popup = menu.GetSubMenu(0);
        ASSERT_NE(popup, nullptr);
        EXPECT_EQ(menu.GetSubMenu(1), nullptr);
        const auto items = popup->actions();
        ASSERT_EQ(items.size(), 3);
        EXPECT_EQ(items[0]->text(), e.title);
        EXPECT_EQ(CMenuEx::CommandId(items[0]), e.titleId);
        EXPECT_TRUE(items[1]->isSeparator());
        EXPECT_EQ(items[2]->text(), QStringLiteral("开始抓图"));
        EXPECT_EQ(CMenuEx::CommandId(items[2]), e.captureId);
        for (QAction* a : items) {
            EXPECT_TRUE(a->isEnabled());
            EXPECT_FALSE(a->isChecked());
        }
    }
    CMenuEx unknown;
    EXPECT_FALSE(unknown.LoadMenu(IDR_MAINFRAME)) << "not a context menu resource";
    EXPECT_EQ(unknown.GetSubMenu(0), nullptr);
    EXPECT_EQ(unknown.TrackPopupMenu(QPoint(10, 10)), 0);
}

// Drives the popup once it is open: the keys given, then Return or Escape.
void WhenOpen(CMenuEx& menu, std::function<void(QMenu*)> act) {
    QTimer::singleShot(0, &menu, [&menu, act] {
        QMenu* popup = menu.GetSubMenu(0);
        if (!QTest::qWaitFor([popup] { return popup->isVisible(); }, 3000)) {
            popup->close();
            return;
        }
        act(popup);
    });
}

TEST(ContextMenu, ChoosingAnItemReturnsAndSendsItsId) {
    CMenuEx menu;
    ASSERT_TRUE(menu.LoadMenu(IDR_CONTEXT3));
    QSignalSpy spy(&menu, &CMenuEx::command);
    WhenOpen(menu, [](QMenu* popup) {
        QAction* capture = popup->actions().at(2);
        QTest::mouseClick(popup, Qt::LeftButton, {}, popup->actionGeometry(capture).center());
    });
    EXPECT_EQ(menu.TrackPopupMenu(QPoint(100, 100)), ID_CAPTURE_3);
    ASSERT_EQ(spy.count(), 1);
    EXPECT_EQ(spy.at(0).at(0).toInt(), ID_CAPTURE_3);

    WhenOpen(menu, [](QMenu* popup) { QTest::keyClick(popup, Qt::Key_Escape); });
    EXPECT_EQ(menu.TrackPopupMenu(QPoint(100, 100)), 0) << "dismissed";
    EXPECT_EQ(spy.count(), 1);
}

} // namespace
