#pragma once
// Looking at what a widget drew: its picture as the screen would get it, and pixel counts.
#include <QImage>
#include <QWidget>

namespace tetrav::test {

// The widget drawn now, in 32-bit RGB.
inline QImage Shot(QWidget* w) {
    return w->grab().toImage().convertToFormat(QImage::Format_RGB32);
}

// How many pixels of img have colour c.
inline int CountPixels(const QImage& img, QRgb c) {
    int n = 0;
    for (int y = 0; y < img.height(); ++y) {
        for (int x = 0; x < img.width(); ++x) {
            n += img.pixel(x, y) == c ? 1 : 0;
        }
    }
    return n;
}

} // namespace tetrav::test
