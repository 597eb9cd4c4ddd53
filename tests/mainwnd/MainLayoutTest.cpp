// The main window's geometry from the screen size, and the mend for a client area too small
// for it.
#include "mainwnd/MainLayout.h"

#include <gtest/gtest.h>

namespace {

MainLayout RoomyLayout(int w, int h) {
    MainLayoutInput in;
    in.screenWidth = w;
    in.screenHeight = h;
    in.clientWidth = w;
    in.statusBarTop = h; // room enough: nothing is mended
    return ComputeMainLayout(in);
}

TEST(MainLayout, Screen1280x1024GivesTheClassicFigures) {
    const MainLayout l = RoomyLayout(1280, 1024);
    EXPECT_FALSE(l.mended);
    EXPECT_EQ(l.sixth, 213);
    EXPECT_EQ(l.statusEdges[0], 320);
    EXPECT_EQ(l.statusEdges[1], 640);
    EXPECT_EQ(l.statusEdges[2], 914);
    EXPECT_EQ(l.statusEdges[3], 1280);
    EXPECT_EQ(l.panes[0], QRect(0, 0, 640, 452));
    EXPECT_EQ(l.panes[1], QRect(0, 452, 640, 452));
    EXPECT_EQ(l.panes[2], QRect(640, 0, 640, 452));
    EXPECT_EQ(l.panes[3], QRect(640, 452, 640, 452));
    EXPECT_EQ(l.toolBar, QRect(0, 924, 253, 50));
    EXPECT_EQ(l.volume, QRect(223, 924, 80, 25));
    EXPECT_EQ(l.seekBar, QRect(303, 934, 1280 - 213 - 90, 10));
    EXPECT_EQ(l.zoomedPane, QRect(0, 0, 1280, 904));
}

TEST(MainLayout, Screen1024x768GivesTheClassicFigures) {
    const MainLayout l = RoomyLayout(1024, 768);
    EXPECT_EQ(l.sixth, 170);
    EXPECT_EQ(l.statusEdges[0], 256);
    EXPECT_EQ(l.statusEdges[1], 512);
    EXPECT_EQ(l.statusEdges[2], 731);
    EXPECT_EQ(l.statusEdges[3], 1024);
    for (const QRect& pane : l.panes) {
        EXPECT_EQ(pane.size(), QSize(512, 324));
    }
    EXPECT_EQ(l.panes[3].topLeft(), QPoint(512, 324));
    EXPECT_EQ(l.toolBar, QRect(0, 668, 210, 50));
    EXPECT_EQ(l.volume, QRect(180, 668, 80, 25));
    EXPECT_EQ(l.seekBar, QRect(260, 678, 1024 - 260, 10));
}

TEST(MainLayout, OddSizesDivideUnsignedAndTruncate) {
    const MainLayout l = RoomyLayout(1025, 769);
    EXPECT_EQ(l.sixth, 170);             // 1025 / 6
    EXPECT_EQ(l.statusEdges[2], 732);    // trunc(1025 * 5 / 7) = 732.14
    EXPECT_EQ(l.panes[0].height(), 324); // 769 / 2 - 60
    EXPECT_EQ(l.panes[2].x(), 512);
}

TEST(MainLayout, SmallClientAreaKeepsTheBandAboveTheStatusBar) {
    // A desktop with panels: the client area of a 1280 x 1024 screen is 1280 x 930, and the
    // status bar starts at 908. The screen figures would put the tool bar at 924..974,
    // behind the status bar.
    MainLayoutInput in;
    in.screenWidth = 1280;
    in.screenHeight = 1024;
    in.clientWidth = 1280;
    in.statusBarTop = 908;
    const MainLayout l = ComputeMainLayout(in);
    EXPECT_TRUE(l.mended);
    EXPECT_EQ(l.effectiveHeight, 958);
    EXPECT_LE(l.toolBar.y() + l.toolBar.height(), in.statusBarTop);
    EXPECT_LE(l.volume.y() + l.volume.height(), in.statusBarTop);
    EXPECT_LE(l.seekBar.y() + l.seekBar.height(), in.statusBarTop);
    // The panes still end above the bottom band and do not overlap it.
    EXPECT_LE(l.panes[1].bottom(), l.toolBar.top());
    EXPECT_EQ(l.panes[1].height(), 958 / 2 - 60);
    // The width is the screen's: nothing is cut on the right.
    EXPECT_EQ(l.statusEdges[3], 1280);
}

TEST(MainLayout, NarrowClientAreaKeepsEveryPaneAndPartInside) {
    MainLayoutInput in;
    in.screenWidth = 1280;
    in.screenHeight = 1024;
    in.clientWidth = 1000;
    in.statusBarTop = 1024;
    const MainLayout l = ComputeMainLayout(in);
    EXPECT_TRUE(l.mended);
    EXPECT_EQ(l.effectiveWidth, 1000);
    EXPECT_EQ(l.statusEdges[3], 1000);
    EXPECT_LE(l.panes[2].right(), 999);
    EXPECT_LE(l.seekBar.right(), 999);
    EXPECT_GT(l.seekBar.width(), 0);
}

TEST(MainLayout, ExactlyEnoughRoomIsNotMended) {
    MainLayoutInput in;
    in.screenWidth = 1024;
    in.screenHeight = 768;
    in.clientWidth = 1024;
    in.statusBarTop = 718; // the tool bar ends at 768 - 50 = 718
    const MainLayout l = ComputeMainLayout(in);
    EXPECT_FALSE(l.mended);
    EXPECT_EQ(l.toolBar.y() + l.toolBar.height(), 718);
    in.statusBarTop = 717;
    EXPECT_TRUE(ComputeMainLayout(in).mended);
}

// A zoomed pane takes the whole video area: every cell of the grid, and nothing of the bottom
// band, also when the layout is reduced for panels or a narrow window.
TEST(MainLayout, ZoomedPaneCoversTheGridAndStaysClearOfTheBand) {
    const MainLayoutInput inputs[] = {
        {1280, 1024, 1280, 1024}, {1024, 768, 1024, 768},   {1025, 769, 1025, 769},
        {1280, 1024, 1280, 908},  {1280, 1024, 1000, 1024}, {1920, 1080, 1920, 1003},
    };
    for (const MainLayoutInput& in : inputs) {
        SCOPED_TRACE(testing::Message() << in.screenWidth << "x" << in.screenHeight << " client "
                                        << in.clientWidth << " status at " << in.statusBarTop);
        const MainLayout l = ComputeMainLayout(in);
        QRect grid;
        for (const QRect& pane : l.panes) {
            grid = grid.united(pane);
        }
        EXPECT_EQ(l.zoomedPane.topLeft(), QPoint(0, 0));
        EXPECT_TRUE(l.zoomedPane.contains(grid)) << "grid " << grid.width() << "x" << grid.height();
        EXPECT_LE(l.zoomedPane.height() - grid.height(), 1) << "only an odd height's last line is added";
        EXPECT_LT(l.zoomedPane.bottom(), l.toolBar.top());
        EXPECT_LE(l.zoomedPane.right(), in.clientWidth - 1);
    }
}

} // namespace
