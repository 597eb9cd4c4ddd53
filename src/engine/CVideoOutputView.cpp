// The video output's painting: the part of the picture the view shows, scaled from the decoded
// frame when the picture on screen is not at the size asked for; zoom, pan and the pane
// information drawn over it.
#include "engine/CVideoOutput.h"

#include "engine/CVideoWidget.h"
#include "engine/FrameImage.h"

#include <QPainter>

#include <cmath>

namespace {

// Fills what of area lies outside inner.
void FillAround(QPainter& painter, const QRect& area, const QRect& inner) {
    if (inner.contains(area)) {
        return;
    }
    if (!inner.intersects(area)) {
        painter.fillRect(area, Qt::black);
        return;
    }
    const QRect in = inner.intersected(area);
    painter.fillRect(QRect(area.left(), area.top(), area.width(), in.top() - area.top()), Qt::black);
    painter.fillRect(QRect(area.left(), in.bottom() + 1, area.width(), area.bottom() - in.bottom()),
                     Qt::black);
    painter.fillRect(QRect(area.left(), in.top(), in.left() - area.left(), in.height()), Qt::black);
    painter.fillRect(QRect(in.right() + 1, in.top(), area.right() - in.right(), in.height()), Qt::black);
}

} // namespace

void CVideoOutput::takeNativeCaps(GstCaps* caps) {
    m_nativeCaps.reset(caps ? gst_caps_ref(caps) : nullptr);
    GstVideoInfo info;
    if (!caps || !gst_video_info_from_caps(&info, caps) || info.width <= 0 || info.height <= 0) {
        return;
    }
    const double par = info.par_n > 0 && info.par_d > 0 ? double(info.par_n) / info.par_d : 1.0;
    m_nativeSize = par >= 1.0 ? QSize(int(std::lround(info.width * par)), info.height)
                              : QSize(info.width, int(std::lround(info.height / par)));
    m_nativeAspect = double(m_nativeSize.width()) / m_nativeSize.height();
    m_waitingMost = WaitingAtMost(info);
}

void CVideoOutput::applyCaps() {
    // The whole picture: fitted into the pane (the painter fills around it). Enlarged: the whole
    // picture at the size it is shown, but never beyond the frame's own (the painter enlarges
    // that), and only the part in the pane is painted. Frames from the next one on are scaled so.
    // A picture no one sees costs a fraction of a millisecond a frame, not a full scaling: the
    // frames are still taken, timed and kept, and the one on screen is scaled from its decoded
    // frame when the picture can be seen again (paint()).
    const bool whole = m_view.isWhole() || !m_onScreen;
    QSize size = m_onScreen ? m_rect.size() : kOffScreenSize;
    if (!whole) {
        double aspect = 0.0;
        QSize native;
        {
            std::lock_guard lock(m_mutex);
            aspect = m_nativeAspect;
            native = m_nativeSize;
        }
        const QSizeF shown = m_view.pictureRect(QRectF(QPointF(0, 0), QSizeF(m_rect.size())), aspect).size();
        size = !native.isEmpty() && shown.width() >= native.width() ? native : shown.toSize();
    }
    if (m_capsSet && size == m_capsSize && whole == m_capsWhole) {
        return;
    }
    std::lock_guard lock(m_mutex);
    m_capsSet = true;
    m_capsSize = size;
    m_capsWhole = whole;
}

void CVideoOutput::setOnScreen(bool onScreen) {
    if (onScreen != m_onScreen) {
        m_onScreen = onScreen;
        applyCaps();
    }
}

void CVideoOutput::repaint() {
    if (m_widget) {
        m_widget->update();
    }
}

void CVideoOutput::zoomAt(const QPointF& at, double factor) {
    double aspect = 0.0;
    {
        std::lock_guard lock(m_mutex);
        aspect = m_nativeAspect;
    }
    if (m_view.zoomAt(at, factor, QRectF(QPointF(0, 0), QSizeF(m_rect.size())), aspect)) {
        applyCaps();
        repaint();
    }
}

void CVideoOutput::panBy(const QPointF& delta) {
    double aspect = 0.0;
    {
        std::lock_guard lock(m_mutex);
        aspect = m_nativeAspect;
    }
    if (m_view.panBy(delta, QRectF(QPointF(0, 0), QSizeF(m_rect.size())), aspect)) {
        applyCaps();
        repaint();
    }
}

void CVideoOutput::resetView() {
    if (!m_view.isWhole()) {
        m_view.reset();
        applyCaps();
        repaint();
    }
}

void CVideoOutput::setInfo(const PaneInfo& info) {
    if (info == m_info) {
        return;
    }
    m_info = info;
    repaint();
}

CVideoOutput::Painted CVideoOutput::paint(QPainter& painter, const QRect& target) {
    std::lock_guard lock(m_mutex);
    const QImage& shown = m_shown.image();
    if (shown.isNull() || target.isEmpty()) {
        return {};
    }
    Painted painted{true, StreamTimeOf(m_shown.sample())};
    const double aspect = m_shownAspect > 0.0 ? m_shownAspect : double(shown.width()) / shown.height();
    const bool whole = m_view.isWhole();
    const QRectF picture =
        whole ? QRectF(CPictureView::fitted(target, aspect)) : m_view.pictureRect(QRectF(target), aspect);

    // The size the pictures are asked for; one of another size (a paused pane that grew, or the
    // first pictures after a zoom) is made afresh from the decoded frame.
    const QSize wanted = whole ? CPictureView::fitted(target, aspect).size() : m_capsSize;
    const QImage* image = &shown;
    if (shown.size() != wanted && !wanted.isEmpty()) {
        const QSize size = whole ? picture.size().toSize() : wanted;
        const GstClockTime pts = GST_BUFFER_PTS(gst_sample_get_buffer(m_shown.sample()));
        if (m_still.isNull() || m_stillPts != pts || m_still.size() != size) {
            GstSampleRef native = nativeOf(m_shown.sample());
            m_still = native ? ScaledFrameImage(native.get(), size) : QImage();
            m_stillPts = pts;
        }
        if (!m_still.isNull()) {
            image = &m_still;
        }
    } else if (!m_still.isNull()) {
        m_still = QImage();
    }
    // The picture fills the image.
    const QRectF source(image->rect());
    const QRectF visible = picture.intersected(QRectF(target));
    if (visible.isEmpty()) {
        painter.fillRect(target, Qt::black);
        return painted;
    }
    const double sx = source.width() / picture.width();
    const double sy = source.height() / picture.height();
    const QRectF from(source.x() + (visible.x() - picture.x()) * sx,
                      source.y() + (visible.y() - picture.y()) * sy, visible.width() * sx,
                      visible.height() * sy);
    FillAround(painter, target, visible.toAlignedRect());
    const QRect exact = visible.toRect();
    if (QRectF(exact) == visible && from.size() == visible.size() && QRectF(from.toRect()) == from) {
        painter.drawImage(exact.topLeft(), *image, from.toRect());
    } else {
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        painter.drawImage(visible, *image, from);
    }
    if (m_dim) {
        painter.fillRect(visible, QColor(0, 0, 0, 150));
    }
    if (m_firstPaintUs == 0) {
        m_firstPaintUs = g_get_monotonic_time();
    }
    return painted;
}
