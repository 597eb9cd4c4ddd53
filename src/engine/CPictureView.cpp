#include "engine/CPictureView.h"

#include <algorithm>
#include <cmath>

QRectF CPictureView::fitted(const QRectF& area, double aspect) {
    if (area.isEmpty() || !(aspect > 0.0)) {
        return area;
    }
    QSizeF size(area.width(), area.width() / aspect);
    if (size.height() > area.height()) {
        size = QSizeF(area.height() * aspect, area.height());
    }
    return QRectF(area.center().x() - size.width() / 2, area.center().y() - size.height() / 2, size.width(),
                  size.height());
}

QRect CPictureView::fitted(const QRect& area, double aspect) {
    if (area.isEmpty() || !(aspect > 0.0)) {
        return area;
    }
    QSize size(area.width(), int(std::lround(area.width() / aspect)));
    if (size.height() > area.height()) {
        size = QSize(int(std::lround(area.height() * aspect)), area.height());
    }
    size = size.boundedTo(area.size()).expandedTo(QSize(1, 1));
    return QRect(area.x() + (area.width() - size.width()) / 2, area.y() + (area.height() - size.height()) / 2,
                 size.width(), size.height());
}

QRectF CPictureView::pictureRect(const QRectF& pane, double aspect) const {
    const QRectF whole = fitted(pane, aspect);
    if (isWhole()) {
        return whole;
    }
    const QSizeF size = whole.size() * m_zoom;
    return QRectF(pane.center().x() - m_centre.x() * size.width(),
                  pane.center().y() - m_centre.y() * size.height(), size.width(), size.height());
}

bool CPictureView::zoomAt(const QPointF& at, double factor, const QRectF& pane, double aspect) {
    const double zoom = std::clamp(m_zoom * factor, 1.0, kMaxZoom);
    if (pane.isEmpty() || !(aspect > 0.0) || zoom == m_zoom) {
        return false;
    }
    const QRectF before = pictureRect(pane, aspect);
    // The point of the picture under at (0..1 each way while at is over the picture).
    const QPointF held((at.x() - before.x()) / before.width(), (at.y() - before.y()) / before.height());
    const QSizeF size = fitted(pane, aspect).size() * zoom;
    const QPointF topLeft(at.x() - held.x() * size.width(), at.y() - held.y() * size.height());
    m_zoom = zoom;
    m_centre = QPointF((pane.center().x() - topLeft.x()) / size.width(),
                       (pane.center().y() - topLeft.y()) / size.height());
    keepInside(pane, aspect);
    return true;
}

bool CPictureView::panBy(const QPointF& delta, const QRectF& pane, double aspect) {
    if (isWhole() || pane.isEmpty() || !(aspect > 0.0)) {
        return false;
    }
    const QSizeF size = pictureRect(pane, aspect).size();
    const QPointF before = m_centre;
    m_centre -= QPointF(delta.x() / size.width(), delta.y() / size.height());
    keepInside(pane, aspect);
    return m_centre != before;
}

void CPictureView::reset() {
    m_zoom = 1.0;
    m_centre = QPointF(0.5, 0.5);
}

void CPictureView::keepInside(const QRectF& pane, double aspect) {
    if (m_zoom <= 1.0) {
        reset();
        return;
    }
    if (pane.isEmpty() || !(aspect > 0.0)) {
        return;
    }
    const QSizeF size = pictureRect(pane, aspect).size();
    const auto axis = [](double centre, double paneExtent, double extent) {
        if (extent <= paneExtent) {
            return 0.5;
        }
        const double half = paneExtent / 2 / extent;
        return std::clamp(centre, half, 1.0 - half);
    };
    m_centre = QPointF(axis(m_centre.x(), pane.width(), size.width()),
                       axis(m_centre.y(), pane.height(), size.height()));
}
