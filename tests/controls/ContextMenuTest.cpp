// The four pane context menus: their items and ids, and choosing one.
#include "controls/CMenuEx.h"
#include "uikit/Resource.h"

#include <gtest/gtest.h>

#include <functional>

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

TEST(ContextMenu, FlatOwnerDrawnLook) {
    CMenuEx menu;
    ASSERT_TRUE(menu.LoadMenu(IDR_CONTEXT1));
    QMenu* popup = menu.GetSubMenu(0);
    popup->popup(QPoint(50, 50));
    ASSERT_TRUE(QTest::qWaitForWindowExposed(popup));
    const auto items = popup->actions();
    const QRect title = popup->actionGeometry(items[0]);
    const QRect sep = popup->actionGeometry(items[1]);
    const QRect capture = popup->actionGeometry(items[2]);
    EXPECT_EQ(title.height(), 19);
    EXPECT_EQ(sep.height(), 10);
    EXPECT_GE(title.width(), popup->fontMetrics().horizontalAdvance(QStringLiteral("视频一")) + 16);

    popup->setActiveAction(items[2]);
    const QImage img = popup->grab().toImage().convertToFormat(QImage::Format_RGB32);
    const int y = title.center().y();
    EXPECT_EQ(img.pixel(title.left() + 5, y), qRgb(190, 190, 190)) << "grey band";
    EXPECT_EQ(img.pixel(title.left() + 22, y), qRgb(235, 240, 245)) << "pale background";
    // Text starts 26 pixels in: nothing dark before it, something dark after it.
    bool darkBefore = false;
    bool darkAfter = false;
    for (int yy = title.top(); yy <= title.bottom(); ++yy) {
        for (int x = title.left() + 20; x < title.left() + 26; ++x) {
            darkBefore |= qGray(img.pixel(x, yy)) < 100;
        }
        for (int x = title.left() + 26; x < title.left() + 40; ++x) {
            darkAfter |= qGray(img.pixel(x, yy)) < 100;
        }
    }
    EXPECT_FALSE(darkBefore);
    EXPECT_TRUE(darkAfter);
    // Separator: a two-pixel etched line from 26 to 2 before the right edge.
    const int mid = sep.top() + sep.height() / 2;
    const int sepRight = sep.left() + sep.width();
    EXPECT_EQ(img.pixel(sep.left() + 30, mid), qRgb(64, 0, 128));
    EXPECT_EQ(img.pixel(sep.left() + 30, mid + 1), qRgb(255, 255, 255));
    EXPECT_EQ(img.pixel(sep.left() + 25, mid), qRgb(235, 240, 245));
    EXPECT_EQ(img.pixel(sepRight - 3, mid + 1), qRgb(255, 255, 255));
    EXPECT_EQ(img.pixel(sepRight - 2, mid), qRgb(235, 240, 245));
    // Selected item: the framed light-blue bar covers the band as well.
    EXPECT_EQ(img.pixel(capture.left(), capture.top()), qRgb(49, 106, 197));
    EXPECT_EQ(img.pixel(capture.left() + 5, capture.center().y()), qRgb(193, 210, 238));
    EXPECT_EQ(img.pixel(capture.left() + 22, capture.top() + 1), qRgb(193, 210, 238));
    popup->close();
}

// Where the check mark and the text land: the mark single-line and vertically centred at the
// left of the icon box (2 pixels in for an enabled item, embossed in grey and white at the box's
// edge for a grayed one); the item text at the top of its rectangle, since it is drawn without
// the single-line flag that vertical centring needs.
TEST(ContextMenu, CheckMarkAndTextPlacement) {
    CMenuEx menu;
    ASSERT_TRUE(menu.LoadMenu(IDR_CONTEXT2));
    QMenu* popup = menu.GetSubMenu(0);
    QAction* title = popup->actions().at(0);
    QAction* capture = popup->actions().at(2);
    for (QAction* a : {title, capture}) {
        a->setCheckable(true);
        a->setChecked(true);
    }
    title->setEnabled(false);
    popup->popup(QPoint(50, 50));
    ASSERT_TRUE(QTest::qWaitForWindowExposed(popup));
    const QImage img = popup->grab().toImage().convertToFormat(QImage::Format_RGB32);

    // The bounding box of the pixels of one colour test inside a rectangle.
    const auto box = [&img](const QRect& area, const std::function<bool(QRgb)>& is) {
        QRect found;
        for (int y = area.top(); y <= area.bottom(); ++y) {
            for (int x = area.left(); x <= area.right(); ++x) {
                if (is(img.pixel(x, y))) {
                    found |= QRect(x, y, 1, 1);
                }
            }
        }
        return found;
    };
    const QRect t = popup->actionGeometry(title);
    const QRect grey = box(QRect(t.left(), t.top(), 20, 19), [](QRgb c) { return c == qRgb(127, 127, 127); });
    const QRect white =
        box(QRect(t.left(), t.top(), 20, 19), [](QRgb c) { return c == qRgb(255, 255, 255); });
    ASSERT_FALSE(grey.isEmpty()) << "the grayed mark in grey";
    ASSERT_FALSE(white.isEmpty()) << "with its white relief";
    EXPECT_LE(grey.left() - t.left(), 2) << "at the left of the box";
    EXPECT_EQ(white.right(), grey.right() + 1) << "the relief one pixel right";
    EXPECT_EQ(white.bottom(), grey.bottom() + 1) << "and one down";
    EXPECT_LE(std::abs((grey.top() - t.top()) - (t.top() + 18 - grey.bottom())), 2) << "centred in 19 pixels";

    const QRect c = popup->actionGeometry(capture);
    const QRect mark = box(QRect(c.left(), c.top(), 20, 19), [](QRgb px) { return qGray(px) < 100; });
    ASSERT_FALSE(mark.isEmpty());
    EXPECT_GE(mark.left() - c.left(), 2) << "2 pixels in";
    EXPECT_LE(mark.left() - c.left(), 4);
    const QRect text = box(QRect(c.left() + 26, c.top(), c.width() - 26, c.height()),
                           [](QRgb px) { return qGray(px) < 100; });
    ASSERT_FALSE(text.isEmpty());
    EXPECT_GE((c.bottom() - text.bottom()) - (text.top() - c.top()), 3) << "the text keeps to the top";
    popup->close();
}

} // namespace
