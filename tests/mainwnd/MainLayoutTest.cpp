// The main window's geometry from the screen size, and the mend for too small a client area.
#include "mainwnd/MainLayout.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

// With room enough (the status bar at the screen's bottom) nothing is mended.
TEST(MainLayout, RoomyScreensGiveTheClassicFiguresDividedUnsignedAndTruncated) {
    MainLayout l = ComputeMainLayout({1280, 1024, 1280, 1024});
    EXPECT_FALSE(l.mended);
    EXPECT_EQ(l.sixth, 213);
    EXPECT_EQ(std::vector<int>(std::begin(l.statusEdges), std::end(l.statusEdges)),
              (std::vector<int>{320, 640, 914, 1280}));
    EXPECT_EQ(
        std::vector<QRect>(std::begin(l.panes), std::end(l.panes)),
        (std::vector<QRect>{{0, 0, 640, 452}, {0, 452, 640, 452}, {640, 0, 640, 452}, {640, 452, 640, 452}}));
    EXPECT_EQ(l.toolBar, QRect(0, 924, 253, 50));
    EXPECT_EQ(l.volume, QRect(223, 924, 80, 25));
    EXPECT_EQ(l.seekBar, QRect(303, 934, 1280 - 213 - 90, 10));

    l = ComputeMainLayout({1025, 769, 1025, 769});
    EXPECT_EQ(l.sixth, 170);             // 1025 / 6
    EXPECT_EQ(l.statusEdges[2], 732);    // trunc(1025 * 5 / 7) = 732.14
    EXPECT_EQ(l.panes[0].height(), 324); // 769 / 2 - 60
    EXPECT_EQ(l.panes[2].x(), 512);
}

// Desktop panels: the screen figures would put the tool bar behind the status bar at 908.
TEST(MainLayout, SmallClientAreaKeepsTheBandAboveTheStatusBarAndNarrowOneEveryPaneInside) {
    MainLayout l = ComputeMainLayout({1280, 1024, 1280, 908});
    EXPECT_TRUE(l.mended);
    EXPECT_EQ(l.effectiveHeight, 958);
    EXPECT_LE(l.toolBar.y() + l.toolBar.height(), 908);
    EXPECT_LE(l.volume.y() + l.volume.height(), 908);
    EXPECT_LE(l.seekBar.y() + l.seekBar.height(), 908);
    // The panes still end above the bottom band, and nothing is cut on the right.
    EXPECT_LE(l.panes[1].bottom(), l.toolBar.top());
    EXPECT_EQ(l.statusEdges[3], 1280);
    // Exactly enough room (the tool bar ends at 768 - 50 = 718) is not mended.
    EXPECT_FALSE(ComputeMainLayout({1024, 768, 1024, 718}).mended);
    EXPECT_TRUE(ComputeMainLayout({1024, 768, 1024, 717}).mended);

    l = ComputeMainLayout({1280, 1024, 1000, 1024});
    EXPECT_TRUE(l.mended);
    EXPECT_EQ(l.effectiveWidth, 1000);
    EXPECT_EQ(l.statusEdges[3], 1000);
    EXPECT_LE(l.panes[2].right(), 999);
    EXPECT_LE(l.seekBar.right(), 999);
    EXPECT_GT(l.seekBar.width(), 0);
}

TEST(MainLayout, ZoomedPaneCoversTheGridAndStaysClearOfTheBand) {
    const MainLayoutInput inputs[] = {
        {1280, 1024, 1280, 1024}, {1024, 768, 1024, 768},   {1025, 769, 1025, 769},
        {1280, 1024, 1280, 908},  {1280, 1024, 1000, 1024}, {1920, 1080, 1920, 1003},
    };
    for (const MainLayoutInput& in : inputs) {
        SCOPED_TRACE(testing::Message() << in.clientWidth << " x " << in.statusBarTop);
        const MainLayout l = ComputeMainLayout(in);
        QRect grid;
        for (const QRect& pane : l.panes) {
            grid = grid.united(pane);
        }
        EXPECT_EQ(l.zoomedPane.topLeft(), QPoint(0, 0));
        EXPECT_TRUE(l.zoomedPane.contains(grid));
        EXPECT_LE(l.zoomedPane.height() - grid.height(), 1) << "only an odd height's last line is added";
        EXPECT_LT(l.zoomedPane.bottom(), l.toolBar.top());
        EXPECT_LE(l.zoomedPane.right(), in.clientWidth - 1);
    }
}

} // namespace
