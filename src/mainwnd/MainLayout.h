#pragma once
// The main window's geometry, computed from the screen size alone (all divisions unsigned),
// in client-area coordinates (below the menu bar). When the client area is too small for the
// screen-size figures, the height and width actually available stand in for the screen's so
// that no control ends up behind the status bar or outside the window.
#include <QRect>

struct MainLayoutInput {
    int screenWidth = 0;
    int screenHeight = 0;
    int clientWidth = 0;  // width of the client area (the seek bar runs to its right edge)
    int statusBarTop = 0; // top of the status bar in client coordinates
};

struct MainLayout {
    int effectiveWidth = 0;  // W, or the client width when that is smaller
    int effectiveHeight = 0; // H, or the status bar's top + 50 when that is smaller
    int sixth = 0;           // S = W / 6
    int statusEdges[4] = {0, 0, 0, 0};
    QRect seekBar;
    QRect toolBar;
    QRect volume;
    QRect panes[4];
    QRect zoomedPane;    // a double-clicked pane: the whole video area, (0, 0, W, H - 2 x inset)
    bool mended = false; // true when the available client area replaced the screen size
};

// Space the bottom band needs below the panes: the tool bar ends 50 pixels above H.
constexpr int kBandClearance = 50;
// Space kept free below each row of panes.
constexpr int kPaneInset = 60;

MainLayout ComputeMainLayout(const MainLayoutInput& in);
