#pragma once
// What a screenshot says about one video pane: whether it shows a picture, where, what changed.
#include <QImage>
#include <QRect>

#include <algorithm>
#include <cstdlib>

struct PaneLook {
    double nonBlack = 0; // fraction of the pane's pixels that are not (nearly) black
    QRect picture;       // where the video picture lies inside the pane (screen coordinates)
};

inline PaneLook lookAt(const QImage& screen, const QRect& pane) {
    PaneLook look;
    const QRect area = pane.intersected(screen.rect());
    qint64 nonBlack = 0;
    QRect seen;
    for (int y = area.top(); y <= area.bottom(); ++y) {
        const auto* row = reinterpret_cast<const QRgb*>(screen.constScanLine(y));
        for (int x = area.left(); x <= area.right(); ++x) {
            if (std::max({qRed(row[x]), qGreen(row[x]), qBlue(row[x])}) > 24) {
                ++nonBlack;
                seen |= QRect(x, y, 1, 1);
            }
        }
    }
    if (nonBlack > 0) {
        look.nonBlack = static_cast<double>(nonBlack) / (static_cast<double>(area.width()) * area.height());
        // The picture's top, left and right edges are where the dark blue background starts; its
        // height follows from the clip's 4:3 shape unless the pane stretches it to its own height.
        const int height = std::min(seen.width() * 3 / 4, area.bottom() - seen.top() + 1);
        look.picture = QRect(seen.left(), seen.top(), seen.width(), std::max(height, seen.height()));
        look.picture = look.picture.intersected(area);
    }
    return look;
}

// Pixels of the area that differ clearly between the two shots.
inline int changedPixels(const QImage& a, const QImage& b, const QRect& area) {
    const QRect r = area.intersected(a.rect()).intersected(b.rect());
    int changed = 0;
    for (int y = r.top(); y <= r.bottom(); ++y) {
        const auto* ra = reinterpret_cast<const QRgb*>(a.constScanLine(y));
        const auto* rb = reinterpret_cast<const QRgb*>(b.constScanLine(y));
        for (int x = r.left(); x <= r.right(); ++x) {
            const int d = std::abs(qRed(ra[x]) - qRed(rb[x])) + std::abs(qGreen(ra[x]) - qGreen(rb[x])) +
                          std::abs(qBlue(ra[x]) - qBlue(rb[x]));
            changed += d > 60 ? 1 : 0;
        }
    }
    return changed;
}
