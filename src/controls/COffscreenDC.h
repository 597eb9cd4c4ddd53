#pragma once
// A buffered paint surface: drawing goes to this painter in the target's coordinates, into an
// off-screen image; the destructor copies the covered rectangle to the target in one step, so
// repaints do not flicker.
#include <QImage>
#include <QPainter>
#include <QRect>

class COffscreenDC : public QPainter {
public:
    // An empty rect covers the target's clip box (its whole device when it has no clipping).
    COffscreenDC(QPainter* target, const QRect& rect);
    ~COffscreenDC();
    COffscreenDC(const COffscreenDC&) = delete;
    COffscreenDC& operator=(const COffscreenDC&) = delete;

    QRect CoveredRect() const { return m_rect; }
    const QImage& Image() const { return m_image; }

private:
    QPainter* m_target;
    QImage m_image; // spans from the origin to the covered rectangle's lower right corner
    QRect m_rect;
};
