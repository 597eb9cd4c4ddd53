#pragma once
// What part of a video picture a pane shows: the whole picture fitted into the pane (zoom 1), or
// the picture enlarged up to 8 times around a point and moved by dragging. Geometry only, in the
// pane's coordinates; the picture's shape is its display aspect ratio (width / height).
//
// While the enlarged picture is wider (taller) than the pane it always covers the pane that way:
// a drag or a zoom never shows space beyond its edges. While it is narrower (shorter), it stays
// centred that way, as the whole picture is.
#include <QPointF>
#include <QRect>
#include <QRectF>
#include <QSize>

class CPictureView {
public:
    static constexpr double kMaxZoom = 8.0;

    double zoom() const { return m_zoom; }
    bool isWhole() const { return m_zoom <= 1.0; }
    // Where the whole picture lies at this zoom (it reaches past the pane once enlarged).
    QRectF pictureRect(const QRectF& pane, double aspect) const;
    // Zooms by factor (the result kept within 1..kMaxZoom) keeping the point of the picture under
    // at where it is. False when nothing changed.
    bool zoomAt(const QPointF& at, double factor, const QRectF& pane, double aspect);
    // Moves the enlarged picture by delta. False when nothing changed.
    bool panBy(const QPointF& delta, const QRectF& pane, double aspect);
    // The whole picture again.
    void reset();
    // Keeps the enlarged picture over the pane after the pane changed its size.
    void keepInside(const QRectF& pane, double aspect);

    // Where a picture of shape aspect lies fitted inside area, centred, in whole pixels.
    static QRect fitted(const QRect& area, double aspect);
    static QRectF fitted(const QRectF& area, double aspect);

private:
    double m_zoom = 1.0;
    QPointF m_centre{0.5, 0.5}; // the picture's point (0..1 each way) at the pane's centre
};
