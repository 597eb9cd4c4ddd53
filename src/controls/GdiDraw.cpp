#include "controls/GdiDraw.h"

#include "controls/ColorHls.h"

#include <QPainter>

namespace gdi {

void Rectangle(QPainter& p, int left, int top, int right, int bottom) {
    if (right - left < 1 || bottom - top < 1) {
        return;
    }
    const QPen pen = p.pen();
    if (p.brush().style() != Qt::NoBrush) {
        p.fillRect(QRect(left, top, right - left, bottom - top), p.brush());
    }
    if (pen.style() != Qt::NoPen) {
        FrameRect(p, left, top, right, bottom, FromQColor(pen.color()));
    }
}

void FrameRect(QPainter& p, int left, int top, int right, int bottom, unsigned color) {
    if (right - left < 1 || bottom - top < 1) {
        return;
    }
    const QColor c = ToQColor(color);
    p.fillRect(QRect(left, top, right - left, 1), c);
    p.fillRect(QRect(left, bottom - 1, right - left, 1), c);
    p.fillRect(QRect(left, top, 1, bottom - top), c);
    p.fillRect(QRect(right - 1, top, 1, bottom - top), c);
}

void FillSolidRect(QPainter& p, int left, int top, int right, int bottom, unsigned color) {
    if (right - left < 1 || bottom - top < 1) {
        return;
    }
    p.fillRect(QRect(left, top, right - left, bottom - top), ToQColor(color));
}

void Line(QPainter& p, int x1, int y1, int x2, int y2) {
    if (x1 == x2 && y1 == y2) {
        return;
    }
    // The end point is left out, as with MoveTo/LineTo.
    const int dx = (x2 > x1) - (x2 < x1);
    const int dy = (y2 > y1) - (y2 < y1);
    if (dx == 0 || dy == 0) {
        p.drawLine(x1, y1, x2 - dx, y2 - dy);
        return;
    }
    p.drawLine(x1, y1, x2, y2); // slanted lines keep their end point
}

} // namespace gdi
