#pragma once
// Selects a solid one-pixel pen of a colour into a painter for the lifetime of this object;
// the previous pen comes back on destruction.
#include "controls/ColorHls.h"

#include <QPen>

class QPainter;

class CPenSelector {
public:
    CPenSelector(QPainter* painter, COLORREF color);
    ~CPenSelector();
    CPenSelector(const CPenSelector&) = delete;
    CPenSelector& operator=(const CPenSelector&) = delete;

    COLORREF GetColor() const { return FromQColor(m_pen.color()); }

private:
    QPainter* m_painter;
    QPen m_pen;
    QPen m_previous;
};
