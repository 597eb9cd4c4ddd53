#include "e2e/PaneCheck.h"

#include <algorithm>
#include <cstdlib>

namespace {

bool nearlyBlack(QRgb p) {
    return std::max({qRed(p), qGreen(p), qBlue(p)}) <= 24;
}
bool nearlyWhite(QRgb p) {
    return std::min({qRed(p), qGreen(p), qBlue(p)}) >= 200;
}

// The clips are 4:3 pictures.
constexpr int kClipWidth = 320;
constexpr int kClipHeight = 240;

} // namespace

PaneLook lookAt(const QImage& screen, const QRect& pane) {
    PaneLook look;
    const QRect area = pane.intersected(screen.rect());
    if (area.isEmpty()) {
        return look;
    }
    qint64 nonBlack = 0;
    int left = area.right() + 1, right = area.left() - 1, top = area.bottom() + 1, bottom = area.top() - 1;
    for (int y = area.top(); y <= area.bottom(); ++y) {
        const auto* row = reinterpret_cast<const QRgb*>(screen.constScanLine(y));
        for (int x = area.left(); x <= area.right(); ++x) {
            if (nearlyBlack(row[x])) {
                continue;
            }
            ++nonBlack;
            look.bright += nearlyWhite(row[x]) ? 1 : 0;
            left = std::min(left, x);
            right = std::max(right, x);
            top = std::min(top, y);
            bottom = std::max(bottom, y);
        }
    }
    look.nonBlack = static_cast<double>(nonBlack) / (static_cast<double>(area.width()) * area.height());
    if (nonBlack > 0) {
        // The picture's top, left and right edges are where the dark blue background starts; its
        // height follows from the clip's shape unless the pane stretches it to its own height.
        const int width = right - left + 1;
        const int height = std::min(width * kClipHeight / kClipWidth, area.bottom() - top + 1);
        look.picture = QRect(left, top, width, std::max(height, bottom - top + 1));
        look.picture = look.picture.intersected(area);
    }
    return look;
}

int changedPixels(const QImage& a, const QImage& b, const QRect& area) {
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

QString describe(const PaneLook& look) {
    return QStringLiteral("%1% not black, %2 bright pixels, picture at %3,%4 %5x%6")
        .arg(look.nonBlack * 100, 0, 'f', 1)
        .arg(look.bright)
        .arg(look.picture.x())
        .arg(look.picture.y())
        .arg(look.picture.width())
        .arg(look.picture.height());
}
