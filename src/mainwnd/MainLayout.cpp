#include "mainwnd/MainLayout.h"

#include <algorithm>

MainLayout ComputeMainLayout(const MainLayoutInput& in) {
    MainLayout out;
    int h = in.screenHeight;
    int w = in.screenWidth;
    if (in.statusBarTop + kBandClearance < h) {
        h = std::max(0, in.statusBarTop + kBandClearance);
        out.mended = true;
    }
    if (in.clientWidth < w) {
        w = std::max(0, in.clientWidth);
        out.mended = true;
    }
    const unsigned uw = static_cast<unsigned>(w);
    const unsigned uh = static_cast<unsigned>(h);
    const unsigned s = uw / 6u;
    out.effectiveWidth = w;
    out.effectiveHeight = h;
    out.sixth = static_cast<int>(s);

    out.statusEdges[0] = static_cast<int>(uw / 4u);
    out.statusEdges[1] = static_cast<int>(uw / 2u);
    out.statusEdges[2] = static_cast<int>(static_cast<double>(uw) * 0.7142857142857143);
    out.statusEdges[3] = w;

    const int bottomBand = 90;
    const int margin = 10;
    const int si = static_cast<int>(s);
    out.seekBar = QRect(si + bottomBand, h - bottomBand, in.clientWidth - si - bottomBand, 10);
    out.toolBar = QRect(0, h - bottomBand - margin, si + 4 * margin, 50);
    out.volume = QRect(si + margin, h - bottomBand - margin, 80, 25);

    const int half = static_cast<int>(uw / 2u);
    const int p = static_cast<int>(uh / 2u) - kPaneInset;
    out.panes[0] = QRect(0, 0, half, p);
    out.panes[1] = QRect(0, p, half, p);
    out.panes[2] = QRect(half, 0, half, p);
    out.panes[3] = QRect(half, p, half, p);
    out.zoomedPane = QRect(0, 0, w, std::max(0, h - 2 * kPaneInset));
    return out;
}
